#include <gtest/gtest.h>

#include <vector>

#include "measure/ir_cursor.h"
#include "measure/resample.h"

TEST(Resample, LinearInterpolationOfARampIsExactAtEveryOutput) {
    const int order = 13, N = 1 << order;
    std::vector<float> x(1072000, 0.0f), work(N);
    for (int i = 0; i <= N; ++i) x[i] = static_cast<float>(i);
    x[0] = -7.0f;  // entries 0..4 keep their values
    ResampleLinear(x.data(), order, work.data());
    EXPECT_EQ(x[0], -7.0f);
    EXPECT_EQ(x[4], 4.0f);
    // Output j sits at input position 160 j / 147 and lands in entry 5 + j; j = 0 and j = 147 coincide with input
    // samples 0 and 160 and take them.
    for (int j = 1; 160L * j / 147 < N; ++j) ASSERT_NEAR(x[5 + j], 160.0 * j / 147.0, 1e-3) << j;
    EXPECT_EQ(x[5], -7.0f);
    EXPECT_EQ(x[5 + 147], 160.0f);
    EXPECT_NEAR(x[6], 1.0 + 48000.0 * (1.0 / 44100 - 1.0 / 48000), 1e-6);
    // Outputs whose position lies beyond the input are 0.
    EXPECT_EQ(x[5 + N - 1], 0.0f);
}

TEST(Resample, HoldAndPickKeepsEvery160thOf147Holds) {
    std::vector<float> x(1072000);
    for (int i = 0; i < 1072000; ++i) x[i] = static_cast<float>(i);
    ResampleHoldAndPick(x.data());
    EXPECT_EQ(x[60], 60.0f);  // k = 10: floor(1600 / 147) = 10
    for (int k = 0; k < 26800; ++k) ASSERT_EQ(x[50 + k], static_cast<float>(50 + (160L * k) / 147)) << k;
    EXPECT_EQ(x[50 + 26799], 50.0f + 29168.0f);  // the last input that reaches the output
    EXPECT_EQ(x[49], 0.0f);
    EXPECT_EQ(x[26850], 0.0f);
    EXPECT_EQ(x[1071999], 0.0f);
}

TEST(IrCursor, ClicksKeysAndDistance) {
    const int W = 880, H = 400;  // a plot width of 800 pixels for 2000 samples
    EXPECT_TRUE(IrCursorClickTaken(60, 20, W, H));
    EXPECT_FALSE(IrCursorClickTaken(59, 100, W, H));
    EXPECT_FALSE(IrCursorClickTaken(100, H - 20, W, H));
    EXPECT_FALSE(IrCursorClickTaken(W - 18, 100, W, H));
    EXPECT_FALSE(IrCursorClickTaken(70, 100, 80, H));  // no room for a trace: nothing to divide by
    EXPECT_EQ(IrCursorBinFromClick(60, W, 1234), 1234);
    EXPECT_EQ(IrCursorBinFromClick(460, W, 0), 1000);
    EXPECT_EQ(IrCursorColumnFromClick(460, W), 460);
    EXPECT_EQ(IrCursorColumnFromBin(1000, 0, W), 460);

    int32_t bin = 2000;
    EXPECT_TRUE(StepIrCursor(&bin, 0, kVirtualKeyRight));
    EXPECT_EQ(bin, 2000);
    bin = 0;
    EXPECT_TRUE(StepIrCursor(&bin, 0, kVirtualKeyLeft));
    EXPECT_EQ(bin, 0);
    EXPECT_TRUE(StepIrCursor(&bin, 0, kVirtualKeyRight));
    EXPECT_EQ(bin, 1);
    bin = 5000;  // scrolled out of view
    EXPECT_FALSE(StepIrCursor(&bin, 0, kVirtualKeyLeft));
    EXPECT_EQ(bin, 5000);
    EXPECT_FALSE(StepIrCursor(&bin, 4000, 38));

    EXPECT_EQ(AcousticDistanceText(50, 48000.0, "344.00", "0.0"), "Acoustical Distance: 0.000 cm");
    EXPECT_EQ(AcousticDistanceText(190, 48000.0, "344.00", "0.0"), "Acoustical Distance: 100.333 cm");
    EXPECT_EQ(AcousticDistanceText(50, 48000.0, "344.00", "1.0"), "Acoustical Distance: 34.400 cm");
    EXPECT_EQ(AcousticDistanceText(2, 48000.0, "344.00", "0.0"), "Acoustical Distance: -34.400 cm");
    EXPECT_EQ(IrCursorReadout(1.5f, -2.25f, 60, 0), "MLS Impulse Response  Ref=1.50, In=-2.25, Bin=60, Scroll[0 - 2000]");
}
