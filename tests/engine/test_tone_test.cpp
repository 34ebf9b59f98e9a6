// Test tone: first sample, peak level, columns per output mode, phase carry and wrap, saturation.
#include "engine/test_tone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586;

TEST(TestTone, FirstSampleIsZeroAndPeakAtPosition51) {
    std::vector<int32_t> block(16 * 8, -5);
    TestToneSettings s;
    s.Channel = 3;
    s.SampleRate = 48000.0;
    double phase = 0.0;
    GenerateTestTone(12000.0f, 8, s, &phase, block.data());  // a quarter turn a frame
    EXPECT_EQ(block[0 * 8 + 2], 0);
    EXPECT_EQ(block[1 * 8 + 2], 456000000);
    EXPECT_EQ(block[3 * 8 + 2], -456000000);
    for (int j = 0; j < 8; ++j)
        for (int c = 0; c < 8; ++c) {
            if (c != 2) {
                EXPECT_EQ(block[j * 8 + c], 0);
            }
        }
    for (size_t i = 64; i < block.size(); ++i) EXPECT_EQ(block[i], 0);  // the widest layout is cleared
    EXPECT_FLOAT_EQ(TestToneAmplitude(51), 100.0f);
}

TEST(TestTone, SamplesFollowTheSineAcrossBlocks) {
    TestToneSettings s;
    s.Channel = kTestToneAll;
    s.OutputMode = 2;
    s.SampleRate = 44100.0;
    s.VolumePosition = 45;
    const float f = 997.0f;
    double phase = 0.0;
    std::vector<int32_t> block(16 * 64);
    double expected_phase = 0.0;
    const double amplitude = 4560000.0 * static_cast<float>(std::pow(10.0, -6 * 0.05) * 100.0);
    for (int b = 0; b < 5; ++b) {
        GenerateTestTone(f, 64, s, &phase, block.data());
        for (int j = 0; j < 64; ++j) {
            const int32_t want = static_cast<int32_t>(std::sin(expected_phase) * amplitude);
            for (int c = 0; c < 10; ++c) ASSERT_NEAR(block[j * 10 + c], want, 2) << b << " " << j;
            expected_phase += kTwoPi * f / 44100.0;
            if (expected_phase > kTwoPi) expected_phase -= kTwoPi;
        }
    }
    EXPECT_NEAR(phase, expected_phase, 1e-9);
}

TEST(TestTone, ChannelOutsideTheLayoutWritesNothingButAdvances) {
    TestToneSettings s;
    s.Channel = 12;
    s.OutputMode = 0;
    std::vector<int32_t> block(16 * 32, 7);
    double phase = 0.0;
    GenerateTestTone(1000.0f, 32, s, &phase, block.data());
    for (int32_t v : block) ASSERT_EQ(v, 0);
    EXPECT_NEAR(phase, 32 * kTwoPi * 1000.0 / 48000.0, 1e-9);
}

TEST(TestTone, ZeroFrequencyHoldsTheLevel) {
    TestToneSettings s;
    s.Channel = 1;
    double phase = 1.0;
    std::vector<int32_t> block(16 * 16);
    GenerateTestTone(0.0f, 16, s, &phase, block.data());
    for (int j = 0; j < 16; ++j) ASSERT_EQ(block[j * 8], static_cast<int32_t>(std::sin(1.0) * 456000000.0));
}

TEST(TestTone, PhaseStaysWrappedForAnyFrequency) {
    TestToneSettings s;
    s.Channel = 1;
    std::vector<int32_t> block(16 * 256);
    for (float f : {150000.0f, -3000.0f, 1e30f}) {
        double phase = 0.0;
        for (int b = 0; b < 4; ++b) {
            GenerateTestTone(f, 256, s, &phase, block.data());
            ASSERT_GE(phase, 0.0) << f;
            ASSERT_LT(phase, kTwoPi) << f;
        }
    }
    // Above fs the phase moves by the step modulo 2 pi, as a sine sampled at fs sees it.
    double phase = 0.0;
    GenerateTestTone(48000.0f + 12000.0f, 4, s, &phase, block.data());
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[8], 456000000);
}

TEST(TestTone, LoudPositionsSaturate) {
    TestToneSettings s;
    s.Channel = 1;
    std::vector<int32_t> block(16 * 4);
    for (int32_t position : {64, 65, 66}) {
        s.VolumePosition = position;
        double phase = 0.0;
        GenerateTestTone(12000.0f, 4, s, &phase, block.data());
        const double peak = 4560000.0 * TestToneAmplitude(position);
        const int32_t want_max = peak >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(peak);
        const int32_t want_min = peak >= 2147483648.0 ? INT32_MIN : -static_cast<int32_t>(peak);
        EXPECT_EQ(block[8], want_max) << position;
        EXPECT_EQ(block[24], want_min) << position;
    }
    EXPECT_LT(4560000.0 * TestToneAmplitude(64), 2147483647.0);
    EXPECT_GT(4560000.0 * TestToneAmplitude(65), 2147483647.0);
}

}  // namespace
