// Output stage: the worked numbers of truncation, saturation, CABS delays, overlap-add and the
// bass-management output sums, on time-domain blocks written straight into the accumulators.
#include "engine/output_stage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine_test_buffers.h"

namespace {

constexpr int N = 512;

// Real parts of output o's accumulator: sample k of this block's contribution is f(k), k = 0..2N-1.
template <class F>
void FillAccumulator(TestEngineBuffers& e, int o, F f) {
    for (int k = 0; k < 2 * N; ++k) {
        e.accumulator[o - 1][2 * k] = static_cast<float>(f(k));
        e.accumulator[o - 1][2 * k + 1] = 0.0f;
    }
}

int32_t Word(const TestEngineBuffers& e, int words, int frame, int o) {
    return e.output_block[static_cast<size_t>(frame) * words + (o - 1)];
}

TEST(OutputStage, TruncatesTowardZeroAndSaturatesInFloatingPoint) {
    EXPECT_EQ(SaturateTo24Bit(0.9), 0);
    EXPECT_EQ(SaturateTo24Bit(-0.9), 0);
    EXPECT_EQ(SaturateTo24Bit(1.99), 1);
    EXPECT_EQ(SaturateTo24Bit(-1.99), -1);
    EXPECT_EQ(SaturateTo24Bit(8388607.9), 8388607);
    EXPECT_EQ(SaturateTo24Bit(-8388607.5), -8388607);
    EXPECT_EQ(SaturateTo24Bit(-8388608.0), -8388607);
    EXPECT_EQ(SaturateTo24Bit(std::ldexp(1.0, 33)), 8388607);
    EXPECT_EQ(SaturateTo24Bit(-std::ldexp(1.0, 33)), -8388607);
    EXPECT_EQ(SaturateTo24Bit(1e300), 8388607);
    EXPECT_EQ(SaturateTo24Bit(std::numeric_limits<double>::infinity()), 8388607);
    EXPECT_EQ(SaturateTo24Bit(-std::numeric_limits<double>::infinity()), -8388607);
    EXPECT_EQ(SaturateTo24Bit(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(OutputStage, WordsCarryTheSampleInTheUpperBits) {
    TestEngineBuffers e(N);
    FillAccumulator(e, 1, [](int k) { return k == 0 ? 8388607.9 : k == 1 ? -8388608.0 : k == 2 ? 1e12 : k == 3 ? -0.9 : 0.0; });
    e.accumulator[0][2 * 4] = std::numeric_limits<float>::quiet_NaN();
    RunOutputStage(e.ctx, {1, 8}, LiveBlockValues{});
    EXPECT_EQ(Word(e, 8, 0, 1), 8388607 * 256);
    EXPECT_EQ(Word(e, 8, 1, 1), -8388607 * 256);
    EXPECT_EQ(Word(e, 8, 2, 1), 8388607 * 256);
    EXPECT_EQ(Word(e, 8, 3, 1), 0);
    EXPECT_EQ(Word(e, 8, 4, 1), 0);
}

TEST(OutputStage, OverlapAddCarriesTheSecondHalfIntoTheNextBlock) {
    TestEngineBuffers e(N);
    LiveBlockValues live;
    live.MasterGain = 0.5f;
    live.ChannelTrims[2] = 3.0f;
    FillAccumulator(e, 3, [](int k) { return 10.0 * k + 0.25; });
    RunOutputStage(e.ctx, {1, 8}, live);
    for (int j = 0; j < N; ++j) ASSERT_EQ(Word(e, 8, j, 3), static_cast<int32_t>(std::trunc((10.0 * j + 0.25) * 1.5)) * 256);
    FillAccumulator(e, 3, [](int) { return 1.0; });
    RunOutputStage(e.ctx, {1, 8}, live);
    for (int j = 0; j < N; ++j)
        ASSERT_EQ(Word(e, 8, j, 3), static_cast<int32_t>(std::trunc((1.0 + 10.0 * (N + j) + 0.25) * 1.5)) * 256);
}

TEST(OutputStage, MasterGainZeroSilencesWhileTailsAdvance) {
    TestEngineBuffers e(N);
    LiveBlockValues live;
    live.MasterGain = 0.0f;
    FillAccumulator(e, 2, [](int k) { return 1000.0 + k; });
    RunOutputStage(e.ctx, {1, 8}, live);
    for (int j = 0; j < N; ++j) ASSERT_EQ(Word(e, 8, j, 2), 0);
    for (int j = 0; j < N; ++j) ASSERT_EQ(e.tail[1][j], 1000.0f + N + j);
}

// Runs blocks of a ramp through output 1 with the given CABS setting; returns the samples that left.
std::vector<int32_t> DelayedRamp(int32_t enabled, int32_t delay, int blocks) {
    TestEngineBuffers e(N);
    e.cabs_enabled[0] = enabled;
    e.cabs_delay[0] = delay;
    std::vector<int32_t> out;
    for (int t = 0; t < blocks; ++t) {
        FillAccumulator(e, 1, [&](int k) { return k < N ? 1.0 + t * N + k : 0.0; });
        RunOutputStage(e.ctx, {1, 8}, LiveBlockValues{});
        for (int j = 0; j < N; ++j) out.push_back(Word(e, 8, j, 1) / 256);
        // The stage must never touch ring words beyond the 5N in use.
        for (int i = 5 * N; i < kDelayRingWords; ++i) EXPECT_EQ(e.ring[0][i], 0);
    }
    return out;
}

TEST(OutputStage, CabsDelayShiftsByExactlyDFrames) {
    const int blocks = 7;
    for (int32_t d : {0, 1, 17, N - 1, N, N + 3, 2 * N, 4 * N - 1, 4 * N}) {
        const std::vector<int32_t> out = DelayedRamp(1, d, blocks);
        for (int n = 0; n < blocks * N; ++n) {
            const int32_t expected = n < d ? 0 : n - d + 1;
            ASSERT_EQ(out[n], expected) << "delay " << d << " frame " << n;
        }
    }
}

TEST(OutputStage, CabsDelayIsHeldToWhatTheRingCarries) {
    EXPECT_EQ(CabsDelayInUse(1, 5 * N, N), 4 * N);
    EXPECT_EQ(CabsDelayInUse(1, 100000, N), 4 * N);
    EXPECT_EQ(CabsDelayInUse(1, -5, N), 0);
    EXPECT_EQ(CabsDelayInUse(0, 300, N), 0);
    EXPECT_EQ(CabsDelayInUse(2, 300, N), 0);  // only 1 enables
    EXPECT_EQ(CabsDelayInUse(1, 0, N), 0);
    const std::vector<int32_t> longest = DelayedRamp(1, 4 * N, 6);
    EXPECT_EQ(DelayedRamp(1, 1000000, 6), longest);
    EXPECT_EQ(DelayedRamp(0, 1000, 3), DelayedRamp(1, 0, 3));
}

TEST(OutputStage, BassManagementSourceEqualToSubScalesByOnePlusTwoG) {
    TestEngineBuffers e(N);
    e.ctx.BassMode = 3;
    e.ctx.SubChannels[0] = 4;
    e.ctx.BbmSourceChannels[0] = 4;
    e.ctx.SubChannels[1] = 16;  // outside the range: the second pair adds nothing
    e.ctx.BbmSourceChannels[1] = 2;
    LiveBlockValues live;
    live.BbmGain = 0.5f;
    FillAccumulator(e, 4, [](int k) { return k < N ? 100.25 : 0.0; });
    FillAccumulator(e, 2, [](int k) { return k < N ? 7.5 : 0.0; });
    RunOutputStage(e.ctx, {1, 8}, live);
    for (int j = 0; j < N; ++j) {
        ASSERT_EQ(Word(e, 8, j, 4), 200 * 256);  // 100.25 x (1 + 2 x 0.5)
        ASSERT_EQ(Word(e, 8, j, 2), 7 * 256);
    }
}

TEST(OutputStage, BassManagementPairsAndTheirOrder) {
    LiveBlockValues live;
    live.BbmGain = 0.25f;  // factor 0.5
    {
        // Sub 1 equal to Sub 2: both terms add into it.
        TestEngineBuffers e(N);
        e.ctx.BassMode = 3;
        e.ctx.SubChannels[0] = e.ctx.SubChannels[1] = 6;
        e.ctx.BbmSourceChannels[0] = 1;
        e.ctx.BbmSourceChannels[1] = 2;
        FillAccumulator(e, 1, [](int k) { return k < N ? 40.0 : 0.0; });
        FillAccumulator(e, 2, [](int k) { return k < N ? 100.0 : 0.0; });
        FillAccumulator(e, 6, [](int k) { return k < N ? 1.5 : 0.0; });
        RunOutputStage(e.ctx, {1, 8}, live);
        EXPECT_EQ(Word(e, 8, 0, 6), 71 * 256);  // 1.5 + 20 + 50
    }
    {
        // Source 2 is Sub 1: its term already holds Sub 1's sum.
        TestEngineBuffers e(N);
        e.ctx.BassMode = 3;
        e.ctx.SubChannels[0] = 3;
        e.ctx.BbmSourceChannels[0] = 1;
        e.ctx.SubChannels[1] = 7;
        e.ctx.BbmSourceChannels[1] = 3;
        FillAccumulator(e, 1, [](int k) { return k < N ? 40.0 : 0.0; });
        FillAccumulator(e, 3, [](int k) { return k < N ? 10.0 : 0.0; });
        FillAccumulator(e, 7, [](int k) { return k < N ? 0.5 : 0.0; });
        RunOutputStage(e.ctx, {1, 8}, live);
        EXPECT_EQ(Word(e, 8, 0, 3), 30 * 256);  // 10 + 0.5 x 40
        EXPECT_EQ(Word(e, 8, 0, 7), 15 * 256);  // 0.5 + 0.5 x 30
    }
    {
        // "16 Outputs": source 3 with sub 12 lies across the two workers and adds nothing.
        TestEngineBuffers e(N);
        e.ctx.OutputMode = 1;
        e.ctx.BassMode = 3;
        e.ctx.SubChannels[0] = e.ctx.SubChannels[1] = 12;
        e.ctx.BbmSourceChannels[0] = e.ctx.BbmSourceChannels[1] = 3;
        FillAccumulator(e, 3, [](int k) { return k < N ? 400.0 : 0.0; });
        FillAccumulator(e, 12, [](int k) { return k < N ? 2.5 : 0.0; });
        RunOutputStage(e.ctx, ConvolutionRange(1, ConvolutionWorker::kLow), live);
        RunOutputStage(e.ctx, ConvolutionRange(1, ConvolutionWorker::kHigh), live);
        EXPECT_EQ(Word(e, 16, 0, 12), 2 * 256);
        EXPECT_EQ(Word(e, 16, 0, 3), 400 * 256);
    }
    {
        // "8 + SPDIF": outputs 9 and 10 take part and land in columns 8 and 9 of ten.
        TestEngineBuffers e(N);
        e.ctx.OutputMode = 2;
        e.ctx.BassMode = 3;
        e.ctx.SubChannels[0] = e.ctx.SubChannels[1] = 10;
        e.ctx.BbmSourceChannels[0] = e.ctx.BbmSourceChannels[1] = 9;
        FillAccumulator(e, 9, [](int k) { return k < N ? 20.0 : 0.0; });
        FillAccumulator(e, 10, [](int k) { return k < N ? 1.0 : 0.0; });
        RunOutputStage(e.ctx, ConvolutionRange(2, ConvolutionWorker::kLow), live);
        for (int j = 0; j < N; ++j) {
            ASSERT_EQ(e.output_block[static_cast<size_t>(j) * 10 + 8], 20 * 256);
            ASSERT_EQ(e.output_block[static_cast<size_t>(j) * 10 + 9], 21 * 256);  // 1 + 0.5 x 20 x 2 pairs
        }
    }
}

TEST(OutputStage, WithoutBbmOutputSubsCarryOnlyTheirOwnSignal) {
    for (uint32_t bass_mode : {0u, 1u, 2u}) {
        TestEngineBuffers e(N);
        e.ctx.BassMode = bass_mode;
        e.ctx.SubChannels[0] = 5;
        e.ctx.BbmSourceChannels[0] = 1;
        FillAccumulator(e, 1, [](int k) { return k < N ? 40.0 : 0.0; });
        FillAccumulator(e, 5, [](int k) { return k < N ? 3.0 : 0.0; });
        RunOutputStage(e.ctx, {1, 8}, LiveBlockValues{});
        EXPECT_EQ(Word(e, 8, 0, 5), 3 * 256);
    }
}

TEST(OutputStage, SilentOutputGivesZeroWords) {
    TestEngineBuffers e(N);
    e.output_block.assign(e.output_block.size(), 12345);
    RunOutputStage(e.ctx, {1, 8}, LiveBlockValues{});
    for (int j = 0; j < N; ++j)
        for (int o = 1; o <= 8; ++o) ASSERT_EQ(Word(e, 8, j, o), 0);
}

}  // namespace

namespace {

// The stage's words, in every kernel form and both layouts of a block (real parts of complex points, or
// compact), are those of the formula in double precision: (sample + tail) x master x trim, truncated and
// saturated; the tails take the spilled half. Random values and the edges of the scale, NaN and infinities;
// all outputs of a worker live, or some of them with the others silent (zero words, whatever the block held
// before), in each output mode.
TEST(OutputStage, EveryFormGivesTheWordsOfTheFormula) {
    std::mt19937 rng(21);
    std::uniform_real_distribution<double> u(-1.2e7, 1.2e7);
    const float edges[] = {8388607.9f, -8388608.0f, 0.9f, -0.9f, 1e12f, -1e12f, 8388606.5f, -8388606.5f,
                           std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN(), 0.0f, -0.0f, 1.0f, -1.0f};
    auto value = [&] { return rng() % 5 == 0 ? edges[rng() % (sizeof edges / sizeof edges[0])] : static_cast<float>(u(rng)); };
    struct Case {
        uint32_t mode;
        OutputRange range;
        uint32_t live;  // bit o - range.first for output o
    };
    const Case cases[] = {{0, {1, 8}, 0xFF},  {0, {1, 8}, 1u << 4},     {0, {1, 8}, 0x81},        {0, {1, 8}, 0x46},
                          {0, {1, 8}, 0x0F},  {2, {1, 10}, 0x3FF},      {2, {1, 10}, 1u << 9 | 1}, {1, {9, 16}, 0xFF},
                          {1, {9, 16}, 0x24}};
    for (BlockKernels kernels :
         {BlockKernels::kWidest, BlockKernels::kAvx2, BlockKernels::kVector256, BlockKernels::kVector128, BlockKernels::kScalar}) {
        for (uint8_t compact : {0, 1}) {
            for (const Case& c : cases) {
                LimitBlockPathKernels(kernels);
                TestEngineBuffers e(N);
                e.ctx.OutputMode = c.mode;
                const int words = OutputFrameWords(c.mode);
                e.output_block.assign(e.output_block.size(), 12345);
                LiveBlockValues live;
                live.MasterGain = 0.731f;
                for (int o = 0; o < kEngineOutputs; ++o) live.ChannelTrims[o] = 0.5f + 0.07f * o;
                std::vector<float> samples[kEngineOutputs], tails[kEngineOutputs];
                for (int o = c.range.first; o <= c.range.last; ++o) {
                    const bool on = c.live >> (o - c.range.first) & 1;
                    e.ctx.AccumulatorZero[o - 1] = e.ctx.TailZero[o - 1] = on ? 0 : 1;
                    e.ctx.AccumulatorCompact[o - 1] = compact;
                    samples[o - 1].assign(2 * N, 0.0f);
                    tails[o - 1].assign(N, 0.0f);
                    if (!on) continue;
                    for (int k = 0; k < 2 * N; ++k) {
                        samples[o - 1][k] = value();
                        e.accumulator[o - 1][compact ? k : 2 * k] = samples[o - 1][k];
                        if (!compact) e.accumulator[o - 1][2 * k + 1] = value();  // residue, never heard
                    }
                    for (int j = 0; j < N; ++j) e.tail[o - 1][j] = tails[o - 1][j] = value();
                }
                RunOutputStage(e.ctx, c.range, live);
                for (int o = c.range.first; o <= c.range.last; ++o) {
                    for (int j = 0; j < N; ++j) {
                        const double v = (static_cast<double>(samples[o - 1][j]) + tails[o - 1][j]) *
                                         static_cast<double>(live.MasterGain) * static_cast<double>(live.ChannelTrims[o - 1]);
                        ASSERT_EQ(Word(e, words, j, o), SaturateTo24Bit(v) * 256)
                            << "mode " << c.mode << " live " << c.live << " output " << o << " frame " << j;
                        const float spilled = samples[o - 1][N + j];
                        ASSERT_EQ(std::memcmp(&e.tail[o - 1][j], &spilled, sizeof spilled), 0);
                    }
                }
                // The other worker's columns are left as they were.
                for (int j = 0; j < N; ++j) {
                    for (int o = 1; o <= words; ++o) {
                        if (c.range.Contains(o)) continue;
                        ASSERT_EQ(Word(e, words, j, o), 12345) << "mode " << c.mode << " column " << o;
                    }
                }
            }
        }
    }
    LimitBlockPathKernels(BlockKernels::kWidest);
}

}  // namespace
