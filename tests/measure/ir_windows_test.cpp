#include "measure/ir_windows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

struct Windows {
    std::vector<float> one = std::vector<float>(1072000, 7.0f);
    std::vector<float> two = std::vector<float>(1072000, 7.0f);
    void Build(uint32_t type, const char* width, int order) { BuildIrWindow(type, width, order, one.data(), two.data()); }
};

// The closed forms, in double, with the step rounded to float as the window builder keeps it.
double Bh(double t) { return 0.64125 + 0.48829 * std::cos(t) - 0.14128 * std::cos(2 * t) + 0.01168 * std::cos(3 * t); }
double Hann(double t) { return 0.5 * (1.0 + std::cos(t)); }
double Kb(double t) { return 0.5 * (1.0 + 1.24 * std::cos(t) + 0.244 * std::cos(2 * t)); }
double Step(double numerator, double denominator) { return static_cast<float>(numerator * std::numbers::pi / denominator); }

}  // namespace

TEST(IrWindows, OneSidedShapesFollowTheirClosedForms) {
    Windows w;
    const double W = 1000.0;
    const double d = Step(2.0, 2 * W - 1);
    struct Case {
        uint32_t type;
        double (*shape)(double);
    } cases[] = {{0, Bh}, {1, Hann}, {3, Kb}, {5, Bh}, {6, Hann}, {7, Kb}};
    for (const Case& c : cases) {
        w.Build(c.type, "1000", 18);
        for (int i : {0, 1, 250, 500, 999}) EXPECT_NEAR(w.one[i], c.shape(i * d), 1e-6) << c.type << " " << i;
        EXPECT_EQ(w.one[1000], 0.0f);
        if (c.type < 5) {
            for (int i = 0; i < 1001; ++i) ASSERT_EQ(w.two[i], w.one[i]);  // two-sided = one-sided below "Symm"
        }
    }
    w.Build(0, "1000", 18);
    EXPECT_NEAR(w.one[0], 0.99994, 1e-6);
    w.Build(1, "1000", 18);
    EXPECT_EQ(w.one[0], 1.0f);
    w.Build(3, "1000", 18);
    EXPECT_NEAR(w.one[0], 1.242, 1e-6);
    EXPECT_NEAR(w.one[999], 0.002, 1e-3);
    for (uint32_t type : {2u, 9u}) {
        w.Build(type, "100.5", 18);
        EXPECT_EQ(w.one[100], 1.0f);  // the float comparison i < 100.5
        EXPECT_EQ(w.one[101], 0.0f);
    }
    // Semi-rectangular, W = 800: flat below 700, a raised-cosine fade over 700..799, nothing from 800.
    for (uint32_t type : {4u, 8u}) {
        w.Build(type, "800", 18);
        const double e = Step(16.0, 1599.0);
        EXPECT_EQ(w.one[699], 1.0f);
        for (int i = 700; i < 800; ++i) ASSERT_NEAR(w.one[i], 0.5 * (1.0 - std::cos(i * e)), 1e-6) << i;
        EXPECT_EQ(w.one[800], 0.0f);
    }
}

TEST(IrWindows, TwoSidedShapesPeakAtHalfTheirWidth) {
    Windows w;
    const int P = 400;
    const double d2 = Step(4.0, 4 * P - 1);
    for (uint32_t type : {5u, 6u, 7u}) {
        w.Build(type, "400", 18);
        double (*shape)(double) = type == 5 ? Bh : (type == 6 ? Hann : Kb);
        for (int j = 0; j < 2 * P; ++j) {
            const int at = j < P ? j + P : j - P;
            ASSERT_NEAR(w.two[at], shape(j * d2), 1e-6) << type << " " << j;
        }
        EXPECT_EQ(w.two[2 * P], 0.0f);
        EXPECT_GT(w.two[P], w.two[P - 1]);
        EXPECT_GT(w.two[P], w.two[P + 1]);
    }
    // "Semi-Rectangular Symm": rise over 0..P8-1, flat, fall over the last P8 entries before 2P - P8.
    w.Build(8, "400", 18);
    const int P8 = P / 8;
    const double e2 = Step(16.0, 2 * P - 1);
    for (int j = 0; j < P8; ++j) ASSERT_NEAR(w.two[j], 0.5 * (1.0 - std::cos(j * e2)), 1e-6);
    EXPECT_EQ(w.two[P], 1.0f);
    for (int j = (15 * P) / 8; j < 2 * P; ++j) ASSERT_NEAR(w.two[j - P8], 0.5 * (1.0 - std::cos(j * e2)), 1e-6);
    EXPECT_EQ(w.two[2 * P - P8], 0.0f);
    w.Build(9, "400", 18);
    EXPECT_EQ(w.two[2 * P - 1], 1.0f);
    EXPECT_EQ(w.two[2 * P], 0.0f);
}

TEST(IrWindows, WidthsAreHeldWithinTheSequenceAndAtLeastOneSample) {
    IrWindowWidths w = ReadIrWindowWidths("30000", 13);
    EXPECT_EQ(w.W, 8191.0f);
    EXPECT_EQ(w.P, 2047);
    w = ReadIrWindowWidths("100.5", 18);
    EXPECT_EQ(w.W, 100.5f);
    EXPECT_EQ(w.P, 100);
    Windows win;
    // Widths below one sample, texts that are no number: a one-sample window, never an infinite step.
    for (const char* text : {"0", "-40", "0.3", "", "nan", "inf", "1e400"}) {
        w = ReadIrWindowWidths(text, 18);
        EXPECT_GE(w.W, 1.0f) << text;
        EXPECT_GE(w.P, 1) << text;
        for (uint32_t type = 0; type < 10; ++type) {
            win.Build(type, text, 18);
            for (int i = 0; i < 1000; ++i) ASSERT_TRUE(std::isfinite(win.one[i]) && std::isfinite(win.two[i])) << text;
        }
    }
    // Types beyond the list clear both arrays; the first 268,000 entries are always cleared.
    win.Build(10, "1000", 13);
    for (int i = 0; i < 268000; ++i) ASSERT_TRUE(win.one[i] == 0.0f && win.two[i] == 0.0f);
    EXPECT_EQ(win.one[268000], 7.0f);
}
