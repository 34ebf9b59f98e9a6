#include "design/filter_families.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

namespace {

using Cd = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;

struct Block {
    float p[kElementParamCount] = {};
};

Block Make(float family, float slope, float fc, float q = 0.0f, float gain = 0.0f) {
    Block b;
    b.p[kFilterParamFamily] = family;
    b.p[kFilterParamSlope] = slope;
    b.p[kFilterParamFrequency] = fc;
    b.p[kFilterParamQOrRatio] = q;
    b.p[kFilterParamGainDb] = gain;
    return b;
}

Cd Eval(Block& b, double f) {
    const ComplexF h = FilterBlockResponse(b.p, static_cast<float>(f));
    return Cd(h.re, h.im);
}

double Db(Cd h) { return 20.0 * std::log10(std::abs(h)); }
double Deg(Cd h) { return std::arg(h) * 180.0 / kPi; }

double Factorial(int n) { return n <= 1 ? 1.0 : n * Factorial(n - 1); }

// Reverse Bessel polynomial from its closed form, evaluated at complex s.
Cd ReverseBessel(int n, Cd s) {
    Cd sum = 0.0;
    for (int k = 0; k <= n; ++k)
        sum += Factorial(2 * n - k) / (std::pow(2.0, n - k) * Factorial(k) * Factorial(n - k)) * std::pow(s, k);
    return sum;
}

// Butterworth polynomial from its poles on the unit circle.
Cd ButterworthPoly(int n, Cd s) {
    Cd prod = 1.0;
    for (int k = 1; k <= n; ++k) prod *= s - std::polar(1.0, kPi * (2.0 * k + n - 1.0) / (2.0 * n));
    return prod;
}

constexpr int kOrders[5] = {1, 2, 3, 4, 8};
constexpr double kTableKn[5] = {1.0, 1.35994, 1.74993, 2.13011, 3.17002};

TEST(FilterFamiliesTest, BesselMatchesPolynomialFromClosedForm) {
    const double fc = 1000.0;
    for (int i = 0; i < 5; ++i) {
        const int n = kOrders[i];
        const double a0 = ReverseBessel(n, 0.0).real();
        for (double f : {10.0, 300.0, 999.0, 1000.0, 2500.0, 17000.0}) {
            Block lp = Make(0, float(i), float(fc));
            Block hp = Make(0, float(i + 5), float(fc));
            const Cd s(0.0, float(f) / fc);
            const Cd want_lp = a0 / ReverseBessel(n, kTableKn[i] * s);
            const Cd want_hp = a0 / ReverseBessel(n, kTableKn[i] / s);
            EXPECT_LT(std::abs(Eval(lp, f) - want_lp), 1e-6 + 1e-5 * std::abs(want_lp)) << n << " " << f;
            EXPECT_LT(std::abs(Eval(hp, f) - want_hp), 1e-6 + 1e-5 * std::abs(want_hp)) << n << " " << f;
        }
    }
}

TEST(FilterFamiliesTest, BesselMagnitudeAtCutoffFollowsTable) {
    const double want[5] = {-3.010, -3.003, -2.989, -3.061, -2.992};
    for (int i = 0; i < 5; ++i) {
        Block lp = Make(0, float(i), 2000.0f);
        Block hp = Make(0, float(i + 5), 2000.0f);
        EXPECT_NEAR(Db(Eval(lp, 2000.0)), want[i], 0.0015) << kOrders[i];
        EXPECT_NEAR(Db(Eval(hp, 2000.0)), want[i], 0.0015) << kOrders[i];
    }
}

TEST(FilterFamiliesTest, BesselGroupDelayIsFlatAtLowFrequency) {
    // The normalised Bessel low-pass has unit group delay at DC; scaled by kn, tau(0) = kn / (2 pi Fc).
    const double fc = 500.0;
    for (int i = 1; i < 5; ++i) {
        Block lp = Make(0, float(i), float(fc));
        const double f1 = 1.0, f2 = 2.0;
        const double tau = -(std::arg(Eval(lp, f2)) - std::arg(Eval(lp, f1))) / (2.0 * kPi * (f2 - f1));
        EXPECT_NEAR(tau, kTableKn[i] / (2.0 * kPi * fc), 1e-3 * kTableKn[i] / (2.0 * kPi * fc)) << kOrders[i];
        // Maximally flat: still within 1 % at a fifth of Fc for orders 3 and up.
        if (kOrders[i] >= 3) {
            const double g1 = 100.0, g2 = 101.0;
            const double tau_mid = -(std::arg(Eval(lp, g2)) - std::arg(Eval(lp, g1))) / (2.0 * kPi * (g2 - g1));
            EXPECT_NEAR(tau_mid / tau, 1.0, 0.01) << kOrders[i];
        }
    }
}

TEST(FilterFamiliesTest, ButterworthAgreesWithPoleProduct) {
    const double fc = 800.0;
    for (int i = 0; i < 5; ++i) {
        const int n = kOrders[i];
        for (double f : {20.0, 400.0, 800.0, 1200.0, 6400.0}) {
            const Cd s(0.0, float(f) / fc);
            const Cd want_lp = 1.0 / ButterworthPoly(n, s);
            const Cd want_hp = std::pow(s, n) / ButterworthPoly(n, s);
            Block lp = Make(1, float(i), float(fc));
            Block hp = Make(1, float(i + 5), float(fc));
            // The sections use coefficients rounded to four or five figures.
            EXPECT_LT(std::abs(Eval(lp, f) - want_lp), 2e-3) << n << " " << f;
            EXPECT_LT(std::abs(Eval(hp, f) - want_hp), 2e-3) << n << " " << f;
        }
    }
}

TEST(FilterFamiliesTest, ButterworthAtCutoff) {
    const double lp_phase[5] = {-45.0, -90.0, -135.0, -180.0, 0.0};
    for (int i = 0; i < 5; ++i) {
        Block lp = Make(1, float(i), 1234.0f);
        Block hp = Make(1, float(i + 5), 1234.0f);
        const Cd h = Eval(lp, 1234.0);
        EXPECT_NEAR(Db(h), -3.0103, 0.01) << kOrders[i];
        EXPECT_NEAR(Db(Eval(hp, 1234.0)), -3.0103, 0.01) << kOrders[i];
        double ph = Deg(h);
        if (lp_phase[i] == -180.0 && ph > 0.0) ph -= 360.0;
        EXPECT_NEAR(ph, lp_phase[i], 0.05) << kOrders[i];
    }
}

TEST(FilterFamiliesTest, FirstOrderBesselAndButterworthAgree) {
    Block bessel = Make(0, 0, 300.0f);
    Block butter = Make(1, 0, 300.0f);
    for (double f : {1.0, 100.0, 300.0, 5000.0}) {
        const Cd want = 1.0 / Cd(1.0, float(f) / 300.0);
        EXPECT_LT(std::abs(Eval(bessel, f) - want), 1e-7);
        EXPECT_LT(std::abs(Eval(butter, f) - want), 1e-7);
    }
}

TEST(FilterFamiliesTest, AsymptoticSlopes) {
    for (int family : {0, 1}) {
        for (int i = 0; i < 5; ++i) {
            const int n = kOrders[i];
            Block lp = Make(float(family), float(i), 100.0f);
            Block hp = Make(float(family), float(i + 5), 10000.0f);
            EXPECT_NEAR(Db(Eval(lp, 40000.0)) - Db(Eval(lp, 20000.0)), -6.0206 * n, 0.02) << family << " " << n;
            EXPECT_NEAR(Db(Eval(hp, 50.0)) - Db(Eval(hp, 25.0)), 6.0206 * n, 0.02) << family << " " << n;
        }
    }
    const int lr_slopes[3] = {1, 3, 4};
    const int lr_orders[3] = {2, 4, 8};
    for (int i = 0; i < 3; ++i) {
        Block lp = Make(2, float(lr_slopes[i]), 100.0f);
        EXPECT_NEAR(Db(Eval(lp, 40000.0)) - Db(Eval(lp, 20000.0)), -6.0206 * lr_orders[i], 0.02);
    }
}

TEST(FilterFamiliesTest, LinkwitzIsSquaredButterworth) {
    const int slopes[6] = {1, 3, 4, 6, 8, 9};
    const int half[6] = {1, 2, 4, 1, 2, 4};
    for (int i = 0; i < 6; ++i) {
        Block lr = Make(2, float(slopes[i]), 2500.0f);
        EXPECT_NEAR(Db(Eval(lr, 2500.0)), -6.0206, 0.02) << slopes[i];
        for (double f : {100.0, 2500.0, 9000.0}) {
            const Cd s(0.0, float(f) / 2500.0);
            const Cd b = slopes[i] >= 5 ? std::pow(s, half[i]) / ButterworthPoly(half[i], s)
                                        : 1.0 / ButterworthPoly(half[i], s);
            EXPECT_LT(std::abs(Eval(lr, f) - b * b), 4e-3) << slopes[i] << " " << f;
        }
    }
}

TEST(FilterFamiliesTest, LinkwitzLowAndHighPassSumToUnity) {
    // LR4 and LR8 sum in phase to an all-pass; LR2 sums to an all-pass with the high pass inverted.
    struct Pair { int lp, hp; double sign; };
    for (Pair p : {Pair{1, 6, -1.0}, Pair{3, 8, 1.0}, Pair{4, 9, 1.0}}) {
        Block lp = Make(2, float(p.lp), 1000.0f);
        Block hp = Make(2, float(p.hp), 1000.0f);
        for (double f = 20.0; f < 20000.0; f *= 1.1) {
            const Cd sum = Eval(lp, f) + p.sign * Eval(hp, f);
            EXPECT_NEAR(Db(sum), 0.0, 0.12) << p.lp << " " << f;
        }
    }
}

TEST(FilterFamiliesTest, QParametricGainAtCentreAndInverse) {
    for (float g : {-12.0f, -3.0f, 6.0f, 15.0f}) {
        Block b = Make(3, 0, 1000.0f, 2.5f, g);
        EXPECT_NEAR(Db(Eval(b, 1000.0)), g, 1e-4);
        EXPECT_NEAR(Db(Eval(b, 10.0)), 0.0, 0.01);
    }
    // A cut of -G at the same Q undoes a boost of +G at every frequency.
    Block boost = Make(3, 0, 700.0f, 1.3f, 9.0f);
    Block cut = Make(3, 0, 700.0f, 1.3f, -9.0f);
    for (double f = 10.0; f < 30000.0; f *= 1.3) EXPECT_LT(std::abs(Eval(boost, f) * Eval(cut, f) - 1.0), 1e-5) << f;
    // Independent form: Q on the poles for a boost, H(s) = (s^2 + (A/Qx) s + 1)/(s^2 + s/(A Qx) + 1).
    const double a = std::pow(10.0, 9.0 / 40.0), q = 1.3f, qx = q / a;
    for (double f : {100.0, 700.0, 2000.0}) {
        const Cd s(0.0, float(f) / 700.0);
        const Cd want = (s * s + a / qx * s + 1.0) / (s * s + s / (a * qx) + 1.0);
        EXPECT_LT(std::abs(Eval(boost, f) - want), 1e-5);
    }
}

TEST(FilterFamiliesTest, QParametricRefusals) {
    for (float q : {0.0f, 0.0005f, -1.0f}) {
        Block b = Make(3, 0, 1000.0f, q, 6.0f);
        const ComplexF h = FilterBlockResponse(b.p, 1000.0f);
        EXPECT_EQ(h.re, 1.0f);
        EXPECT_EQ(h.im, 0.0f);
    }
    Block at_limit = Make(3, 0, 1000.0f, 0.001f, 6.0f);  // stored as a little more than 0.001: filters
    EXPECT_NEAR(Db(Eval(at_limit, 1000.0)), 6.0, 1e-3);
    Block flat = Make(3, 0, 1000.0f, 2.0f, 0.0f);
    for (double f : {10.0, 1000.0, 20000.0}) EXPECT_LT(std::abs(Eval(flat, f) - 1.0), 1e-6);
}

TEST(FilterFamiliesTest, ShelvesAgreeWithTransferFunction) {
    for (int family = 4; family <= 7; ++family) {
        for (float g : {-9.0f, 6.0f}) {
            Block b = Make(float(family), 0, 400.0f, 0.0f, g);
            const double a = std::pow(10.0, g / 40.0);
            const double c = (family == 4 || family == 6) ? 1.0 : 0.0;
            const double k = std::sqrt(a) * std::sqrt((a + 1.0 / a) * c + 2.0);
            const bool high = family >= 6;
            for (double f : {4.0, 100.0, 400.0, 1600.0, 40000.0}) {
                const Cd s(0.0, float(f) / 400.0);
                const Cd want = high ? a * (a * s * s + k * s + 1.0) / (s * s + k * s + a)
                                     : a * (s * s + k * s + a) / (a * s * s + k * s + 1.0);
                EXPECT_LT(std::abs(Eval(b, f) - want), 1e-5 * std::abs(want)) << family << " " << f;
            }
            EXPECT_NEAR(Db(Eval(b, 400.0)), g / 2.0, 1e-4) << family;
            EXPECT_NEAR(Db(Eval(b, high ? 400000.0 : 0.01)), g, 0.01) << family;
            EXPECT_NEAR(Db(Eval(b, high ? 0.01 : 400000.0)), 0.0, 0.01) << family;
        }
    }
    // First-order shelf: 6 dB/oct transition; second order is steeper near Fc.
    Block s6 = Make(6, 0, 1000.0f, 0.0f, 20.0f);
    Block s12 = Make(7, 0, 1000.0f, 0.0f, 20.0f);
    EXPECT_GT(Db(Eval(s12, 2000.0)) - Db(Eval(s12, 1000.0)), Db(Eval(s6, 2000.0)) - Db(Eval(s6, 1000.0)));
}

TEST(FilterFamiliesTest, KeeleWide) {
    Block lp = Make(8, 0, 1000.0f, 3.0f);
    EXPECT_EQ(Eval(lp, 500.0), Cd(1.0, 0.0));
    EXPECT_EQ(Eval(lp, 1000.0), Cd(1.0, 0.0));
    EXPECT_NEAR(Eval(lp, 1000.1).real(), 1.0, 1e-3);
    EXPECT_NEAR(Eval(lp, 3000.0).real(), 0.0, 1e-6);
    EXPECT_FLOAT_EQ(float(Eval(lp, 3001.0).real()), 1e-9f);
    // Middle band against the closed form at w = 2, R = 3.
    const double w = 2.0, r = 3.0;
    const double want = 0.5 * std::fabs(2.0 * std::cos(kPi * w / (3 * r)) - 1.0) /
                        std::fabs(std::cos(kPi * w / 3) - std::cos(kPi * w / (3 * r)));
    EXPECT_NEAR(Eval(lp, 2000.0).real(), want, 1e-6);
    EXPECT_EQ(Eval(lp, 2000.0).imag(), 0.0);

    Block hp = Make(9, 0, 1000.0f, 3.0f);
    EXPECT_NEAR(Eval(hp, 500.0).real(), 0.0001, 1e-9);
    EXPECT_NEAR(Eval(hp, 5000.0).real(), 1.000099, 1e-6);
    EXPECT_NEAR(Eval(hp, 2000.0).real(), 1.0 - want + 0.0001, 1e-6);
}

TEST(FilterFamiliesTest, KeeleRatioIsClampedAndWrittenBack) {
    Block w = Make(8, 0, 1000.0f, 5.0f);
    Eval(w, 100.0);
    EXPECT_EQ(w.p[kFilterParamQOrRatio], 4.0f);
    Block w_low = Make(9, 0, 1000.0f, 1.0f);
    Eval(w_low, 100.0);
    EXPECT_EQ(w_low.p[kFilterParamQOrRatio], 2.0f);
    Block n = Make(10, 0, 1000.0f, 0.5f);
    Eval(n, 100.0);
    EXPECT_EQ(n.p[kFilterParamQOrRatio], 1.0f);
    Block n_high = Make(11, 0, 1000.0f, 7.0f);
    Eval(n_high, 100.0);
    EXPECT_EQ(n_high.p[kFilterParamQOrRatio], 3.0f);
    // A by-passed block reads nothing and so clamps nothing.
    Block by = Make(8, 0, 1000.0f, 5.0f);
    by.p[kFilterParamBypass] = 1.0f;
    Eval(by, 100.0);
    EXPECT_EQ(by.p[kFilterParamQOrRatio], 5.0f);
}

TEST(FilterFamiliesTest, KeeleNarrowRampIsPerBlockAndContinuous) {
    Block n = Make(10, 0, 1000.0f, 2.0f);
    EXPECT_EQ(Eval(n, 1000.0), Cd(1.0, 0.0));
    EXPECT_NEAR(Eval(n, 1000.01).real(), 1.0, 1e-4);
    EXPECT_NEAR(Eval(n, 2000.0).real(), 1.0 / 3.0, 1e-6);
    // The ramp starts at the middle band's edge value L = 0.5/(1 - cos(pi R/3)) and reaches 0 at 2R.
    const double level = 0.5 / (1.0 - std::cos(kPi * 2.0 / 3.0));
    EXPECT_NEAR(Eval(n, 2000.2).real(), level, 1e-4);
    EXPECT_NEAR(Eval(n, 3000.0).real(), level * 0.5, 1e-6);
    EXPECT_NEAR(Eval(n, 4000.0).real(), 0.0, 1e-6);
    EXPECT_FLOAT_EQ(float(Eval(n, 4001.0).real()), 1e-9f);

    // Evaluated alone, in any order, after any other block: the same values. R = 1 has no middle band and its
    // ramp starts from 1.
    Block other = Make(10, 0, 50.0f, 3.0f);
    Block r1 = Make(10, 0, 1000.0f, 1.0f);
    const double first = Eval(r1, 1500.0).real();
    Eval(other, 120.0);
    EXPECT_EQ(Eval(r1, 1500.0).real(), first);
    EXPECT_NEAR(first, 0.5, 1e-6);
    EXPECT_NEAR(Eval(r1, 1000.5).real(), 1.0, 1e-3);

    Block twe = Make(11, 0, 1000.0f, 3.0f);
    EXPECT_NEAR(Eval(twe, 900.0).real(), 0.0001, 1e-9);
    EXPECT_NEAR(Eval(twe, 6001.0).real(), 1.0001, 1e-6);
}

TEST(FilterFamiliesTest, BypassAndSelectionsThatGiveUnity) {
    auto expect_unity = [](Block b, float f) {
        const ComplexF h = FilterBlockResponse(b.p, f);
        EXPECT_EQ(h.re, 1.0f);
        EXPECT_EQ(h.im, 0.0f);
    };
    for (int family = 0; family < 12; ++family) {
        Block b = Make(float(family), 3, 1000.0f, 2.0f, 6.0f);
        b.p[kFilterParamBypass] = 1.0f;
        expect_unity(b, 1500.0f);
    }
    Block half = Make(1, 3, 1000.0f);
    half.p[kFilterParamBypass] = 0.5f;  // not a by-pass
    EXPECT_NEAR(Db(Eval(half, 1000.0)), -3.01, 0.01);

    for (float slope : {0.0f, 2.0f, 5.0f, 7.0f}) expect_unity(Make(2, slope, 1000.0f), 1500.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float family : {12.0f, -1.0f, 2.5f, nan}) expect_unity(Make(family, 3, 1000.0f), 1500.0f);
    for (float slope : {10.0f, -1.0f, 1.5f, nan}) expect_unity(Make(1, slope, 1000.0f), 1500.0f);
}

TEST(FilterFamiliesTest, BadCornerFrequencyOrExtremeGainGivesUnityNotNan) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int family = 0; family < 12; ++family) {
        for (float fc : {0.0f, -100.0f, nan, inf}) {
            Block b = Make(float(family), 3, fc, 2.0f, 6.0f);
            const ComplexF h = FilterBlockResponse(b.p, 1000.0f);
            EXPECT_EQ(h.re, 1.0f) << family << " " << fc;
            EXPECT_EQ(h.im, 0.0f) << family << " " << fc;
        }
    }
    for (int family = 3; family <= 7; ++family) {
        for (float g : {-20000.0f, 20000.0f, nan}) {
            Block b = Make(float(family), 0, 1000.0f, 2.0f, g);
            for (float f : {0.01f, 999.0f, 1000.0f, 48000.0f}) {
                const ComplexF h = FilterBlockResponse(b.p, f);
                EXPECT_TRUE(std::isfinite(h.re) && std::isfinite(h.im)) << family << " " << g << " " << f;
            }
        }
    }
    // High passes at the lowest bin (0.01 Hz) stay finite.
    for (int slope = 5; slope < 10; ++slope) {
        Block b = Make(0, float(slope), 20000.0f);
        const ComplexF h = FilterBlockResponse(b.p, 0.01f);
        EXPECT_TRUE(std::isfinite(h.re) && std::isfinite(h.im));
    }
}

TEST(FilterFamiliesTest, DisplayNames) {
    EXPECT_STREQ(kFilterFamilyNames[0], "Bessel");
    EXPECT_STREQ(kFilterFamilyNames[5], "Shelving-12dB");
    EXPECT_STREQ(kFilterFamilyNames[11], "Keele TWE");
    EXPECT_STREQ(kFilterSlopeNames[4], "LP -48dB/oct");
    EXPECT_STREQ(kFilterSlopeNames[9], "HP +48dB/oct");
}

}  // namespace
