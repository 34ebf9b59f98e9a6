// The meters' thresholds, bar heights at every step edge, pens and the erase rhythm.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "panels/level_meters.h"

namespace {

TEST(LevelMetersTest, OutputThresholdsAreTheExactFloors) {
    const auto& u = OutputMeterThresholds();
    // The figures the meter is specified by.
    EXPECT_EQ(u[0], 1340239u);
    EXPECT_EQ(u[1], 1576752u);
    EXPECT_EQ(u[2], 1855003u);
    EXPECT_EQ(u[43], 1452675840u);
    EXPECT_EQ(u[44], 1709030400u);
    EXPECT_EQ(u[45], 2010624000u);
    EXPECT_EQ(u[45], 256u * 7854000u);
    // Every step is 0.85 of the next (1.41 dB): the floor lies within one of the real product.
    for (int k = 0; k < 45; ++k) {
        const long double exact = 2010624000.0L * std::pow(0.85L, 45 - k);
        EXPECT_LE(static_cast<long double>(u[k]), exact + 1e-6L) << k;
        EXPECT_GT(static_cast<long double>(u[k]) + 1.0L, exact - 1e-6L) << k;
        EXPECT_NEAR(20.0 * std::log10(static_cast<double>(u[k + 1]) / u[k]), 1.41, 0.005) << k;
    }
}

TEST(LevelMetersTest, OutputThresholdsCheckedInExactIntegers) {
    // For n = 45 - k up to 23 the products fit 128 bits: u 20^n <= 2,010,624,000 17^n < (u + 1) 20^n.
    const auto& u = OutputMeterThresholds();
    for (int n = 0; n <= 23; ++n) {
        unsigned __int128 p17 = 1, p20 = 1;
        for (int i = 0; i < n; ++i) {
            p17 *= 17;
            p20 *= 20;
        }
        const unsigned __int128 exact = static_cast<unsigned __int128>(2010624000u) * p17;
        const unsigned __int128 floor = u[45 - n];
        EXPECT_LE(floor * p20, exact) << n;
        EXPECT_GT((floor + 1) * p20, exact) << n;
    }
}

TEST(LevelMetersTest, InputHeightsAtEveryThresholdEdge) {
    for (int k = 1; k <= 33; ++k) {
        const float at = static_cast<float>(kInputMeterThresholds[k]);
        const float below = static_cast<float>(kInputMeterThresholds[k] - 1);
        EXPECT_EQ(InputBarHeight(at), 5 * k) << k;
        EXPECT_EQ(InputBarHeight(below), 5 * (k - 1)) << k;
    }
    EXPECT_EQ(InputBarHeight(25638.0f), 5);
    EXPECT_EQ(InputBarHeight(25637.0f), 0);
    EXPECT_EQ(InputBarHeight(0.0f), 0);
    EXPECT_EQ(InputBarHeight(7854000.0f), 165);
    EXPECT_TRUE(InputClipped(7854000.0f));
    EXPECT_FALSE(InputClipped(7853999.0f));
    EXPECT_EQ(InputBarHeight(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_FALSE(InputClipped(std::numeric_limits<float>::quiet_NaN()));
}

TEST(LevelMetersTest, OutputHeightsAtEveryThresholdEdge) {
    const auto& u = OutputMeterThresholds();
    for (int k = 1; k <= 44; ++k) {
        // Peaks are floats: the largest float not above the threshold - 1 and the smallest not below it.
        const float at = std::nextafter(static_cast<float>(u[k]), 1e12f);
        const float below = std::nextafter(static_cast<float>(u[k]), 0.0f);
        const float atExact = static_cast<float>(u[k]);
        EXPECT_EQ(OutputBarHeight(at), 4 * k) << k;
        if (static_cast<double>(atExact) >= u[k]) {
            EXPECT_EQ(OutputBarHeight(atExact), 4 * k) << k;
        }
        if (static_cast<double>(below) < u[k]) {
            EXPECT_EQ(OutputBarHeight(below), 4 * (k - 1)) << k;
        }
    }
    EXPECT_EQ(OutputBarHeight(2010624000.0f), 176);
    EXPECT_TRUE(OutputClipped(2010624000.0f));
    EXPECT_FALSE(OutputClipped(2010623000.0f));
    EXPECT_EQ(OutputBarHeight(0.0f), 0);
}

TEST(LevelMetersTest, LinesOfAQuietAndALoudMeter) {
    float quiet[8] = {};
    MeterLine lines[kMaxInputMeterLines];
    int n = InputMeterLines(0, 74, 165, quiet, lines);
    ASSERT_EQ(n, 9);
    EXPECT_TRUE(lines[0].default_pen);
    EXPECT_EQ(lines[0].y0, 23);
    EXPECT_EQ(lines[0].x1, 74);
    // The 5-pixel stub of every bar, 8 pixels apart from x 4.
    for (int i = 1; i <= 8; ++i) {
        EXPECT_EQ(lines[i].x0, 4 + 8 * (i - 1));
        EXPECT_EQ(lines[i].y0, 163);
        EXPECT_EQ(lines[i].y1, 158);
    }
    float loud[8] = {7854000.0f, 0, 0, 0, 0, 0, 0, 0};
    n = InputMeterLines(10, 84, 200, loud, lines);
    ASSERT_EQ(n, 10);
    EXPECT_EQ(lines[1].x0, 14);
    EXPECT_EQ(lines[1].y1, 200 - 7 - 165);
    EXPECT_EQ(lines[2].pen, MeterPen::kDarkRed);
    EXPECT_EQ(lines[2].y0, 200 - 172);
    EXPECT_EQ(lines[2].y1, 200 - 177);

    float outputs[16] = {};
    outputs[15] = 2010624000.0f;
    MeterLine out[kMaxOutputMeterLines];
    n = OutputMeterLines(0, 148, 165, outputs, LiveKeyGroups{}, out);
    ASSERT_EQ(n, 18);
    EXPECT_EQ(out[1].y0, 165);
    EXPECT_EQ(out[1].y1, 158);
    EXPECT_EQ(out[16].x0, 4 + 8 * 15);
    EXPECT_EQ(out[16].y1, 165 - 7 - 176);
    EXPECT_EQ(out[17].y0, 165 - 177);
    EXPECT_EQ(out[17].y1, 165 - 184);
}

TEST(LevelMetersTest, PensOfTheBars) {
    const MeterPen inputs[8] = {MeterPen::kGreen, MeterPen::kOrange,  MeterPen::kGreen, MeterPen::kBlue,
                                MeterPen::kMagenta, MeterPen::kBlue, MeterPen::kGreen, MeterPen::kGreen};
    for (int i = 1; i <= 8; ++i) EXPECT_EQ(InputBarPen(i), inputs[i - 1]) << i;

    LiveKeyGroups g;  // rear 3..6, subs 1, 2, CABS subs 1, 2
    EXPECT_EQ(OutputBarPen(1, g), MeterPen::kPurple);  // sub and CABS sub: purple wins over magenta
    EXPECT_EQ(OutputBarPen(3, g), MeterPen::kBlue);    // rear replaces orange
    EXPECT_EQ(OutputBarPen(7, g), MeterPen::kGreen);
    g.RearChannels[0] = 9;
    g.RearChannels[1] = 10;
    g.RearChannels[2] = 11;
    g.RearChannels[3] = 12;
    g.CabsSubChannels[0] = 13;
    g.CabsSubChannels[1] = 14;
    EXPECT_EQ(OutputBarPen(3, g), MeterPen::kOrange);
    EXPECT_EQ(OutputBarPen(4, g), MeterPen::kOrange);
    EXPECT_EQ(OutputBarPen(2, g), MeterPen::kMagenta);
    EXPECT_EQ(OutputBarPen(13, g), MeterPen::kPurple);
    g.SubChannels[0] = 9;  // sub and rear: blue
    EXPECT_EQ(OutputBarPen(9, g), MeterPen::kBlue);
}

TEST(LevelMetersTest, EveryTenthCallErases) {
    MeterEraseCounter c;
    for (int round = 0; round < 3; ++round) {
        for (int i = 1; i <= 9; ++i) EXPECT_FALSE(c.Step()) << i;
        EXPECT_TRUE(c.Step());
    }
}

TEST(LevelMetersTest, OnlyMinusOneIsAClearRequest) {
    EXPECT_TRUE(IsMeterClearRequest(-1.0f));
    EXPECT_FALSE(IsMeterClearRequest(-2.0f));
    EXPECT_FALSE(IsMeterClearRequest(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(IsMeterClearRequest(0.0f));
}

}  // namespace
