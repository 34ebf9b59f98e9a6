#include "measure/mls_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "mls_test_buffers.h"
#include "mls_test_support.h"

namespace {

constexpr int kOrder = 18;
constexpr int L = (1 << kOrder) - 1;

struct LoopbackRun {
    MlsTestBuffers b;
    MlsAnalysisResult result;
    MlsLevels levels;

    // Generates the stimulus, plays it through the loop-back and analyses the capture.
    void Measure(uint32_t capture24, int32_t output_delay, int delay, const std::vector<double>& fir) {
        MlsStimulusSettings s;
        s.order = kOrder;
        s.level = 10;
        s.capture24 = capture24;
        s.output_delay = output_delay;
        GenerateMlsStimulus(s, b.Stimulus());
        const std::vector<uint8_t> capture = PlayThroughLoopback(b.stimulus.data(), capture24, 48000, delay, fir);
        MlsSplitSettings split;
        split.capture24 = capture24;
        result = AnalyseMlsCapture(capture.data(), capture.size(), split, MlsStartOffset{}, kOrder, b.ref.data(),
                                   b.in.data(), b.Deconvolution(), &levels);
    }
};

// What a channel holds after the alignment when its periodic response is r: channel[50 + i] = r[ref_peak - 10 + i].
template <class Response>
void ExpectAligned(const std::vector<float>& channel, int32_t ref_peak, Response r, double tolerance) {
    for (int k = 0; k < kMlsPassEntries; ++k) {
        const long src = static_cast<long>(k) - kMlsResponseStart + ref_peak - 10;
        const bool outside = k < kMlsResponseStart || k - kMlsResponseStart >= L || src < 0 || src >= L;
        const double want = outside ? 0.0 : r(src);
        ASSERT_NEAR(channel[k], want, tolerance) << k;
    }
}

}  // namespace

// Delay D and gain g, one full period played (the sequence starts one frame in): the responses are the
// system scaled as the Hadamard method scales it, M g (L + 1)/L at the delay and -M g/L elsewhere.
TEST(MlsAnalysis, LoopbackGainAndDelayComeBackWithTheSequenceScaling) {
    LoopbackRun run;
    const int D = 48;
    const double g = 0.5;
    run.Measure(1, 2, D, {g});
    const double M = 21346816.0 * 10 / 256.0 * (1.0 / 102.0);
    EXPECT_EQ(run.result.ref_peak, 1);
    EXPECT_EQ(run.result.in_peak, 1 + D);
    // The first pass lacks the 49 samples before the arrival, which the second pass takes one period later.
    EXPECT_NEAR(run.result.in_peak_value, g * M * (1.0 - 49.0 / L), 1e-2);
    ExpectAligned(run.b.ref, 1, [&](long i) { return i == 1 ? M * (L + 1.0) / L - M / L : -M / L; }, 4e-3);
    ExpectAligned(run.b.in, 1, [&](long i) { return i == 1 + D ? g * M * (L + 1.0) / L - g * M / L : -g * M / L; }, 4e-3);
    EXPECT_FLOAT_EQ(run.b.ref[kMlsAlignedPeak], static_cast<float>(M));
    EXPECT_NEAR(run.b.in[kMlsAlignedPeak + D], g * M, 4e-3);
    EXPECT_EQ(MlsPeaksTitle(run.result), "Ref 1,  Meas 49, IR[Meas] 4086.8, Delta 48  ");
    EXPECT_FLOAT_EQ(run.levels.ref, static_cast<float>(M));
}

// An FIR whose largest tap is its first: the measured response is M h (L + 1)/L - M sum(h)/L, up to the few
// samples at the start of the one-shot sequence that a periodic excitation would have filled.
TEST(MlsAnalysis, LoopbackFirComesBackAlignedOnTheReferencePeak) {
    LoopbackRun run;
    const int D = 37;
    const std::vector<double> h = {0.6, -0.25, 0.1, 0.05};
    run.Measure(1, 2, D, h);
    const double M = 21346816.0 * 10 / 256.0 / 102.0;
    const double sum = 0.6 - 0.25 + 0.1 + 0.05;
    EXPECT_EQ(run.result.in_peak - run.result.ref_peak, D);
    EXPECT_NEAR(run.b.ref[kMlsAlignedPeak], M, 4e-3);
    const double tolerance = (h.size() - 1) * M * 1.0 / L + 4e-3;
    ExpectAligned(run.b.in, run.result.ref_peak, [&](long i) {
        const long k = i - run.result.ref_peak - D;
        return (k >= 0 && k < static_cast<long>(h.size()) ? M * h[k] * (L + 1.0) / L : 0.0) - M * sum / L;
    }, tolerance);
}

// The default stimulus: 16-bit with its silent tail, 100 frames of output delay, the last 99 frames never
// played. The responses come back within a per cent.
TEST(MlsAnalysis, SixteenBitRunWithTheDefaultOutputDelay) {
    LoopbackRun run;
    run.Measure(0, 200, 5, {1.0});
    const double M = 3200.0;
    EXPECT_EQ(run.result.ref_peak, 100);
    EXPECT_EQ(run.result.in_peak, 105);
    EXPECT_NEAR(run.b.ref[kMlsAlignedPeak], M, 0.01 * M);
    EXPECT_NEAR(run.b.in[kMlsAlignedPeak + 5], M, 0.01 * M);
    float largest_elsewhere = 0.0f;
    for (int k = 0; k < 20000; ++k)
        if (k != kMlsAlignedPeak + 5) largest_elsewhere = std::fmax(largest_elsewhere, std::fabs(run.b.in[k]));
    EXPECT_LT(largest_elsewhere, 0.01 * M);
    EXPECT_EQ(run.levels.ref, 3200.0f);
    EXPECT_EQ(MlsPeaksTitle(run.result).substr(0, 20), "Ref 100,  Meas 105, ");
}

TEST(MlsAnalysis, AllZeroCaptureGivesZeroResponses) {
    MlsTestBuffers b;
    BuildMlsTables(kOrder, b.Tables());
    std::vector<uint8_t> capture(kMlsCaptureBytes, 0);
    std::fill(b.ref.begin(), b.ref.end(), 5.0f);
    const MlsAnalysisResult r = AnalyseMlsCapture(capture.data(), capture.size(), MlsSplitSettings{}, MlsStartOffset{},
                                                  kOrder, b.ref.data(), b.in.data(), b.Deconvolution(), nullptr);
    EXPECT_EQ(r.ref_peak, 0);
    EXPECT_EQ(r.in_peak, 0);
    for (int k = 0; k < kMlsChannelSpan; ++k) ASSERT_TRUE(b.ref[k] == 0.0f && b.in[k] == 0.0f) << k;
}

TEST(MlsAnalysis, SplitReadsDelayPolarityAndLevelsOverEveryFrame) {
    std::vector<uint8_t> capture(kMlsCaptureBytes, 0);
    auto* s16 = reinterpret_cast<int16_t*>(capture.data());
    for (int f = 0; f < kMlsSplitFrames + 200; ++f) {
        s16[2 * f] = static_cast<int16_t>(f % 1000);
        s16[2 * f + 1] = static_cast<int16_t>(-(f % 2000));
    }
    s16[2 * 200000] = 30000;  // the loudest reference sample, far past the first half of the frames
    std::vector<float> ref(kMlsChannelSpan, 9.0f), in(kMlsChannelSpan, 9.0f);
    MlsSplitSettings s;
    s.delay_read = MlsDelayReadSamples(1, "2.00", 48000.0);
    EXPECT_EQ(s.delay_read, 192);
    s.ref_polarity = -1;
    const MlsLevels levels = SplitMlsCapture(capture.data(), capture.size(), s, ref.data(), in.data());
    EXPECT_EQ(levels.ref, 30000.0f);
    EXPECT_EQ(levels.in, 1999.0f);
    EXPECT_EQ(ref[7], -7.0f);
    EXPECT_EQ(in[7], -103.0f);  // frame 7 + 96
    EXPECT_EQ(ref[kMlsSplitFrames], 0.0f);
    EXPECT_EQ(in[kMlsChannelSpan - 1], 0.0f);

    EXPECT_EQ(MlsDelayReadSamples(0, "2.00", 48000.0), 0);
    EXPECT_EQ(MlsDelayReadSamples(1, "-3", 48000.0), 0);
    EXPECT_EQ(MlsDelayReadSamples(1, "1e9", 48000.0), kMlsDelayReadLimit);
    EXPECT_EQ(MlsDelayReadSamples(1, "nan", 48000.0), 0);

    // 24-bit: the container's upper three bytes, on the 1/102 scale.
    auto* s32 = reinterpret_cast<int32_t*>(capture.data());
    std::memset(capture.data(), 0, capture.size());
    s32[0] = 8388607 * 256;
    s32[1] = -8388608 * 256;
    s.capture24 = 1;
    s.delay_read = 0;
    s.ref_polarity = 1;
    SplitMlsCapture(capture.data(), capture.size(), s, ref.data(), in.data());
    EXPECT_EQ(ref[0], static_cast<float>(8388607 * 0.00980392156862745));
    EXPECT_EQ(in[0], static_cast<float>(-8388608 * 0.00980392156862745));
}

TEST(MlsAnalysis, StartOffsetCorrectionIsBoundedAndOnlyForValidStamps) {
    const double tick_ms = 0.0001;  // a 10 MHz counter
    uint32_t stamps[2] = {1000, 1000 + 110000};
    EXPECT_EQ(MlsStartOffsetOf(stamps, tick_ms, 48000.0, true).offset_ms, 11);
    EXPECT_EQ(MlsStartOffsetOf(stamps, tick_ms, 48000.0, true).shift, 475);
    EXPECT_EQ(MlsStartOffsetOf(stamps, tick_ms, 48000.0, false).shift, 0);
    stamps[1] = 1000 + 100000;
    EXPECT_EQ(MlsStartOffsetOf(stamps, tick_ms, 48000.0, true).shift, 0);  // exactly 10 ms moves nothing
    const uint32_t wrapped[2] = {0xFFFFFF00u, 110000u - 0x100u};       // the low words wrapped in between
    EXPECT_EQ(MlsStartOffsetOf(wrapped, tick_ms, 48000.0, true).offset_ms, 11);
    const uint32_t far[2] = {0, 0x7FFFFFFFu};
    const MlsStartOffset o = MlsStartOffsetOf(far, 1.0, 96000.0, true);
    EXPECT_EQ(o.shift, kMlsSplitFrames);
    EXPECT_EQ(MlsShiftText(MlsStartOffsetOf(stamps, tick_ms, 48000.0, true)), "D1 = 10, k = 0");
    EXPECT_EQ(MlsStampsText(stamps, 10), "R = 101000, C = 1000, Od = 10");

    std::vector<float> ref(kMlsImpulseFloats), in(kMlsImpulseFloats);
    for (int i = 0; i < kMlsImpulseFloats; ++i) ref[i] = in[i] = static_cast<float>(i);
    ShiftMlsChannels(ref.data(), in.data(), 475);
    EXPECT_EQ(ref[0], 475.0f);
    EXPECT_EQ(in[kMlsChannelSpan - 476], static_cast<float>(kMlsChannelSpan - 1));
    EXPECT_EQ(in[kMlsChannelSpan - 475], 0.0f);
    ShiftMlsChannels(ref.data(), in.data(), o.shift);
    ShiftMlsChannels(ref.data(), in.data(), INT32_MAX);
    for (int i = 0; i < kMlsChannelSpan; ++i) ASSERT_EQ(ref[i], 0.0f);
    EXPECT_EQ(ref[kMlsChannelSpan], static_cast<float>(kMlsChannelSpan));  // nothing beyond the span is touched
}
