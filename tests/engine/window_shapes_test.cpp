#include "engine/window_shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Real value of point j of a window stored as complex points; both parts must agree.
float At(const std::vector<float>& w, int j) {
    EXPECT_EQ(w[2 * j], w[2 * j + 1]) << "point " << j;
    return w[2 * j];
}

// The 4-term Blackman-Harris window in its textbook form, for the edge's complement.
double BlackmanHarris4(double theta) {
    return 0.35875 - 0.48829 * std::cos(theta) + 0.14128 * std::cos(2 * theta) - 0.01168 * std::cos(3 * theta);
}

TEST(WindowShapesTest, EdgeValues) {
    EXPECT_NEAR(ImpulseEdge(0.0), 0.99994, 1e-12);
    EXPECT_NEAR(ImpulseEdge(kPi / 2), 0.78253, 1e-12);
    EXPECT_NEAR(ImpulseEdge(kPi), 0.0, 1e-12);
    for (double t = 0.0; t < 2 * kPi; t += 0.1) {
        EXPECT_NEAR(ImpulseEdge(t), 1.0 - BlackmanHarris4(t), 1e-12);
        EXPECT_NEAR(ImpulseEdge(t), ImpulseEdge(2 * kPi - t), 1e-12);
    }
}

TEST(WindowShapesTest, PhaseLinearisedNormalWindow) {
    const int n = 512;
    std::vector<float> w(2 * 16 * n, 0.0f);
    FillImpulseWindow(0, 0, n, w.data());
    EXPECT_NEAR(At(w, 2046), 0.99994f, 1e-7);
    EXPECT_NEAR(At(w, 2048), 0.99994f, 1e-7);
    EXPECT_NEAR(At(w, 2047), 0.99993997f, 1e-7);
    EXPECT_LE(At(w, 2047), At(w, 2048));
    EXPECT_NEAR(At(w, 4095), 0.0f, 1e-7);
    EXPECT_NEAR(At(w, 0), 0.0000014f, 2e-7);
    EXPECT_NEAR(At(w, 4094), 0.0000014f, 2e-7);
    for (int j = 4096; j < 16 * n; ++j) ASSERT_EQ(At(w, j), 0.0f) << j;
    // Right half centred on 4N, left half on 4N - 2.
    for (int i = 0; i < 2046; i += 7) EXPECT_NEAR(At(w, 2048 + i), At(w, 2046 - i), 2e-6) << i;
    // Against the edge evaluated directly in double precision.
    for (int j = 0; j < 4096; j += 37)
        EXPECT_NEAR(At(w, j), ImpulseEdge(kPi / 2047.0 * ((j + 2048) % 4096)), 2e-6) << j;
}

TEST(WindowShapesTest, PhaseLinearisedWideWindow) {
    const int n = 1024;
    std::vector<float> w(2 * 16 * n, 0.0f);
    FillImpulseWindow(0, 1, n, w.data());
    const double s = 2 * kPi / (2 * n - 1);
    EXPECT_NEAR(At(w, 0), ImpulseEdge(s * (n - 1)), 1e-6);
    EXPECT_EQ(At(w, 0), At(w, 8 * n - 1));
    EXPECT_NEAR(At(w, n - 1), 0.99994f, 1e-7);
    EXPECT_NEAR(At(w, 7 * n), 0.99994f, 1e-7);
    for (int j = n; j < 7 * n; ++j) ASSERT_EQ(At(w, j), 1.0f) << j;
    for (int j = 0; j < 8 * n; ++j) ASSERT_EQ(At(w, j), At(w, 8 * n - 1 - j)) << j;  // symmetric about 4N - 0.5
    for (int j = 8 * n; j < 16 * n; ++j) ASSERT_EQ(At(w, j), 0.0f) << j;
}

TEST(WindowShapesTest, MagnitudeOnlyWindows) {
    const int n = 512;
    std::vector<float> w(2 * 16 * n, 0.0f);
    FillImpulseWindow(1, 0, n, w.data());
    EXPECT_NEAR(At(w, 0), 0.99994f, 1e-7);
    EXPECT_NEAR(At(w, 4 * n - 1), 0.0f, 1e-6);
    for (int j = 1; j < 4 * n; ++j) ASSERT_LE(At(w, j), At(w, j - 1)) << j;  // falls monotonically
    EXPECT_NEAR(At(w, 2 * n), ImpulseEdge(2 * kPi / (8 * n - 1) * 2 * n), 1e-6);
    for (int j = 4 * n; j < 16 * n; ++j) ASSERT_EQ(At(w, j), 0.0f) << j;

    std::vector<float> wide(2 * 16 * n, 0.0f);
    FillImpulseWindow(1, 1, n, wide.data());
    // Wide: the whole FIR but for the falling edge of its last N points.
    for (int j = 0; j < 7 * n; ++j) ASSERT_EQ(At(wide, j), 1.0f) << j;
    EXPECT_NEAR(At(wide, 7 * n), 0.99994f, 1e-7);
    EXPECT_NEAR(At(wide, 8 * n - 1), ImpulseEdge(2 * kPi / (2 * n - 1) * (n - 1)), 1e-6);
    EXPECT_LT(At(wide, 8 * n - 1), 1e-4);
    for (int j = 8 * n; j < 16 * n; ++j) ASSERT_EQ(At(wide, j), 0.0f) << j;
}

std::vector<float> Ones(int n) { return std::vector<float>(2 * 16 * n + 8, 1.0f); }

TEST(WindowShapesTest, DefaultTaperIsHanningOver32Points) {
    const int n = 512;
    auto t = Ones(n);
    FillOutputTaper(256, kWindowHanning, n, t.data());
    EXPECT_EQ(At(t, 0), 0.0f);
    EXPECT_NEAR(At(t, 31), 0.99938f, 5e-6);
    for (int i = 0; i < 32; ++i) EXPECT_NEAR(At(t, i), 0.5 - 0.5 * std::cos(2 * kPi * i / 63.0), 1e-6) << i;
    for (int i = 32; i < 16 * n; ++i) ASSERT_EQ(At(t, i), 1.0f) << i;
}

TEST(WindowShapesTest, TaperShapesAgainstTextbookForms) {
    auto plain = [](int type, double x) -> double {
        switch (type) {
            case 0:
            case 1: return 1.0 - (0.42323 - 0.49755 * std::cos(kPi - x) + 0.07922 * std::cos(2 * (kPi - x)));
            case 2:
            case 3: return BlackmanHarris4(x);
            case 4:
                return 0.27105 - 0.43329 * std::cos(x) + 0.21812 * std::cos(2 * x) - 0.06592 * std::cos(3 * x) +
                       0.01081 * std::cos(4 * x) - 0.00077 * std::cos(5 * x) + 0.000013 * std::cos(6 * x);
            case 5: return std::sin(x / 2);
            case 6: return 0.5 - 0.5 * std::cos(x);
            case 7:
                return 0.355768 - 0.487396 * std::cos(x) + 0.144232 * std::cos(2 * x) - 0.012604 * std::cos(3 * x);
            case 8: return std::pow(std::sin(x / 2), 3);
            default: return std::pow(std::sin(x / 2), 9);
        }
    };
    for (int type = 0; type < kWindowTypeCount; ++type)
        for (double x = 0.0; x <= kPi; x += kPi / 50) EXPECT_NEAR(TaperShape(type, float(x)), plain(type, float(x)), 2e-6);
    const double at_zero[10] = {0.0, 0.0, 0.00006, 0.00006, 0.000013, 0, 0, 0, 0, 0};
    const double at_pi[10] = {0.9951, 0.9951, 1.0, 1.0, 0.999973, 1, 1, 1, 1, 1};
    for (int type = 0; type < kWindowTypeCount; ++type) {
        EXPECT_NEAR(TaperShape(type, 0.0f), at_zero[type], 1e-6) << type;
        EXPECT_NEAR(TaperShape(type, float(kPi)), at_pi[type], 2e-6) << type;
    }
    // The 3-term shape rises faster than the plain series.
    EXPECT_NEAR(TaperShape(kWindowBlackman3, float(kPi / 2)), 0.65599, 1e-5);
    EXPECT_EQ(TaperShape(kWindowBlackman3Modified, 1.234f), TaperShape(kWindowBlackman3, 1.234f));
    EXPECT_EQ(TaperShape(kWindowBlackmanHarris4Modified, 1.234f), TaperShape(kWindowBlackmanHarris4, 1.234f));
}

TEST(WindowShapesTest, TaperUsesEveryType) {
    const int n = 512;
    for (int type = 0; type < kWindowTypeCount; ++type) {
        auto t = Ones(n);
        FillOutputTaper(1000, type, n, t.data());  // M = 250, K = 125
        const float s = static_cast<float>(2 * kPi / 249);
        for (int i = 0; i < 125; ++i) ASSERT_EQ(At(t, i), TaperShape(type, s * float(i))) << type << " " << i;
        EXPECT_EQ(At(t, 125), 1.0f);
        EXPECT_LT(At(t, 0), 0.001f);
    }
}

TEST(WindowShapesTest, TaperRefusalsAndLimits) {
    const int n = 512;
    for (int32_t l : {0, 3, 7, -1, -256}) {
        auto t = Ones(n);
        FillOutputTaper(l, kWindowHanning, n, t.data());
        for (float v : t) ASSERT_EQ(v, 1.0f) << l;
    }
    for (int32_t type : {10, 99, -1}) {
        auto t = Ones(n);
        FillOutputTaper(256, type, n, t.data());
        for (float v : t) ASSERT_EQ(v, 1.0f) << type;
    }
    for (int32_t l : {8, 11}) {
        auto t = Ones(n);
        FillOutputTaper(l, kWindowNuttall, n, t.data());
        EXPECT_EQ(At(t, 0), TaperShape(kWindowNuttall, 0.0f));
        EXPECT_EQ(At(t, 1), 1.0f);
    }
    // The taper never runs past 16N points.
    auto t = Ones(n);
    FillOutputTaper(1 << 30, kWindowCosine, n, t.data());
    EXPECT_NE(At(t, 16 * n - 1), 1.0f);
    EXPECT_EQ(t[2 * 16 * n], 1.0f);
    EXPECT_EQ(t[2 * 16 * n + 1], 1.0f);
}

TEST(WindowShapesTest, Names) {
    EXPECT_STREQ(kWindowTypeNames[0], "3-term Blackman");
    EXPECT_STREQ(kWindowTypeNames[3], "4-term Blackman-Harris - Modified");
    EXPECT_STREQ(kWindowTypeNames[6], "Hanning");
    EXPECT_STREQ(kWindowTypeNames[9], "Cosine^9");
}

}  // namespace
