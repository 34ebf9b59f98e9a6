#include "measure/mls_analysis.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/global_records.h"
#include "app/settings.h"

namespace {

// One interleaved sample of the capture as the split reads it.
float CaptureValue(const uint8_t* capture, std::size_t capture_bytes, uint32_t capture24, std::size_t j) {
    if (capture24) {
        if (j >= capture_bytes / 4) return 0.0f;
        int32_t c;
        std::memcpy(&c, capture + 4 * j, 4);
        return static_cast<float>(static_cast<double>(c >> 8) * kMlsScale24);
    }
    if (j >= capture_bytes / 2) return 0.0f;
    int16_t v;
    std::memcpy(&v, capture + 2 * j, 2);
    return static_cast<float>(v);
}

float Polarity(int32_t p) { return p < 0 ? -1.0f : 1.0f; }

}  // namespace

int32_t MlsDelayReadSamples(uint32_t on, const char* ms_text, double fs) {
    if (on == 0) return 0;
    const double frames = fs * 0.001 * SettingTextNumber(ms_text);
    if (!std::isfinite(frames) || frames <= 0.0) return 0;
    if (frames >= kMlsDelayReadLimit / 2) return kMlsDelayReadLimit;
    return 2 * static_cast<int32_t>(std::trunc(frames));
}

MlsLevels SplitMlsCapture(const uint8_t* capture, std::size_t capture_bytes, const MlsSplitSettings& s, float* ref,
                          float* in) {
    MlsLevels levels;
    const float ref_sign = Polarity(s.ref_polarity);
    const float in_sign = Polarity(s.data_polarity);
    const std::size_t d = s.delay_read > 0 ? static_cast<std::size_t>(s.delay_read) : 0;
    for (std::size_t f = 0; f < static_cast<std::size_t>(kMlsSplitFrames); ++f) {
        const float r = CaptureValue(capture, capture_bytes, s.capture24, 2 * f);
        const float m = CaptureValue(capture, capture_bytes, s.capture24, 2 * f + 1 + d);
        levels.ref = std::fmax(levels.ref, std::fabs(r));
        levels.in = std::fmax(levels.in, std::fabs(m));
        ref[f] = ref_sign * r;
        in[f] = in_sign * m;
    }
    const std::size_t rest = static_cast<std::size_t>(kMlsChannelSpan - kMlsSplitFrames) * sizeof(float);
    std::memset(ref + kMlsSplitFrames, 0, rest);
    std::memset(in + kMlsSplitFrames, 0, rest);
    return levels;
}

MlsStartOffset MlsStartOffsetOf(const uint32_t stamps[2], double tick_ms, double fs, bool stamps_valid) {
    MlsStartOffset o;
    if (!stamps_valid || !std::isfinite(tick_ms) || tick_ms <= 0.0 || !std::isfinite(fs) || fs <= 0.0) return o;
    const auto ticks = static_cast<int32_t>(stamps[1] - stamps[0]);  // the counter's low words may wrap
    const double ms = std::trunc(static_cast<double>(ticks) * tick_ms);
    o.offset_ms = ms > 2147483647.0 ? INT32_MAX : (ms < -2147483648.0 ? INT32_MIN : static_cast<int32_t>(ms));
    if (o.offset_ms > 10) {
        const double k = std::trunc(fs * 9.0 * o.offset_ms * 0.0001);
        o.shift = k >= kMlsSplitFrames ? kMlsSplitFrames : static_cast<int32_t>(k);
    }
    return o;
}

void ShiftMlsChannels(float* ref, float* in, int32_t shift) {
    if (shift <= 0) return;
    const int32_t k = shift > kMlsChannelSpan ? kMlsChannelSpan : shift;
    const std::size_t keep = static_cast<std::size_t>(kMlsChannelSpan - k);
    for (float* c : {ref, in}) {
        std::memmove(c, c + k, keep * sizeof(float));
        std::memset(c + keep, 0, static_cast<std::size_t>(k) * sizeof(float));
    }
}

int32_t MlsPeakIndex(const float* y, int count) {
    int32_t best = 0;
    float largest = 0.0f;
    for (int i = 0; i < count; ++i) {
        const float a = std::fabs(y[i]);
        if (a > largest) {
            largest = a;
            best = i;
        }
    }
    return best;
}

MlsFirstPass MlsDeconvolveFirstPass(const float* channel, int order, const MlsDeconvolutionBuffers& b) {
    const int L = MlsLength(order);
    // Beyond one period the raw copy supplies the samples that the second pass takes one period later.
    std::memcpy(b.raw, channel, static_cast<std::size_t>(L + kMlsPeakSearch) * sizeof(float));
    DeconvolveMls(b.raw, b.pass, order, b.tables, b.hadamard);
    MlsFirstPass r;
    r.peak = MlsPeakIndex(b.pass, L < kMlsPeakSearch ? L : kMlsPeakSearch);
    r.peak_value = b.pass[r.peak];
    return r;
}

void MlsDeconvolveSecondPass(float* channel, int order, int32_t own_peak, int32_t align_peak,
                             const MlsDeconvolutionBuffers& b) {
    const int L = MlsLength(order);
    // The samples before the first arrival are taken one period later, where the sequence has wrapped round.
    for (int32_t i = 0; i < own_peak; ++i) b.raw[i] = b.raw[L + i];
    DeconvolveMls(b.raw, b.pass, order, b.tables, b.hadamard);
    std::memset(channel, 0, kMlsPassEntries * sizeof(float));
    // The response moves so that the sample at align_peak lands at entry 60.
    for (int i = 0; i < L && kMlsResponseStart + i < kMlsPassEntries; ++i) {
        const int src = align_peak - kMlsPeakLead + i;
        channel[kMlsResponseStart + i] = (src >= 0 && src < L) ? b.pass[src] : 0.0f;
    }
}

MlsAnalysisResult AnalyseMlsChannels(float* ref, float* in, int order, const MlsStartOffset& offset,
                                     const MlsDeconvolutionBuffers& b) {
    MlsAnalysisResult r;
    r.offset = offset;
    ShiftMlsChannels(ref, in, offset.shift);
    const MlsFirstPass ref_pass = MlsDeconvolveFirstPass(ref, order, b);
    r.ref_peak = ref_pass.peak;
    MlsDeconvolveSecondPass(ref, order, r.ref_peak, r.ref_peak, b);
    const MlsFirstPass in_pass = MlsDeconvolveFirstPass(in, order, b);
    r.in_peak = in_pass.peak;
    r.in_peak_value = in_pass.peak_value;
    MlsDeconvolveSecondPass(in, order, r.in_peak, r.ref_peak, b);
    return r;
}

MlsAnalysisResult AnalyseMlsCapture(const uint8_t* capture, std::size_t capture_bytes, const MlsSplitSettings& split,
                                    const MlsStartOffset& offset, int order, float* ref, float* in,
                                    const MlsDeconvolutionBuffers& b, MlsLevels* levels) {
    const MlsLevels l = SplitMlsCapture(capture, capture_bytes, split, ref, in);
    if (levels) *levels = l;
    return AnalyseMlsChannels(ref, in, order, offset, b);
}

std::string MlsPeaksTitle(const MlsAnalysisResult& r) {
    char text[160];
    std::snprintf(text, sizeof text, "Ref %d,  Meas %d, IR[Meas] %.1f, Delta %d  ", r.ref_peak, r.in_peak,
                  static_cast<double>(r.in_peak_value), r.in_peak - r.ref_peak);
    return text;
}

std::string MlsStampsText(const uint32_t stamps[2], int32_t offset_ms) {
    char text[96];
    std::snprintf(text, sizeof text, "R = %d, C = %d, Od = %d", static_cast<int32_t>(stamps[1]),
                  static_cast<int32_t>(stamps[0]), offset_ms);
    return text;
}

std::string MlsShiftText(const MlsStartOffset& offset) {
    char text[64];
    std::snprintf(text, sizeof text, "D1 = %d, k = %d", offset.offset_ms, offset.shift);
    return text;
}

void FillImpulseTrace(PlotCurve* slot, const float* channel, const ColourEntry& pen, int points) {
    float* v = slot->Values;
    for (int i = 0; i < points; ++i) v[i] = 0.01f * channel[i];
    v[points] = 1.0f;
    v[points + 1] = static_cast<float>(pen.red);
    v[points + 2] = static_cast<float>(pen.green);
    v[points + 3] = static_cast<float>(pen.blue);
    v[points + 4] = static_cast<float>(pen.thickness);
    v[points + 5] = static_cast<float>(pen.type);
}
