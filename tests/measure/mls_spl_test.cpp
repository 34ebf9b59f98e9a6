#include "measure/mls_spl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <complex>
#include <random>
#include <vector>

#include "mls_test_buffers.h"

namespace {

constexpr double kFs = 48000.0;
constexpr double kSystemSpacing = 48000.0 / 32768.0;  // N = 4096 at 48 kHz: bin step 8
constexpr double kDeg = 57.288;

struct SplFixture : SplTestBuffers {
    std::vector<float>& ref = mls.ref;
    std::vector<float>& in = mls.in;
    SplSettings s;

    SplFixture() {
        s.ref_peak = s.in_peak = 1;
        s.sample_rate = kFs;
        s.cplx_smoothing = 0;
        s.spl_smoothing = 5;  // "None"
        s.efficiency_db = 0.0;
        s.system_bin_spacing = kSystemSpacing;
        ref[60] = 1.0f;
    }
    SplResult Calculate(MessageList* out = nullptr, SplMethod method = SplMethod::kFast) {
        return CalculateSpl(s, Buffers(), out, method);
    }
    // Frequency of linear point k (bin 8k of the measurement's 262,144).
    static double LinearFrequency(int k) { return 8.0 * k * kFs / 262144.0; }
    // The measurement bin whose value log point j holds, or -1 for a hole (independent of the program's walk).
    int BinOfLogPoint(int j) const {
        const double delta = kFs / 262144.0;
        if (!(lf[j] < kFs / 2)) return -1;
        const int i = static_cast<int>(std::ceil(lf[j] / delta)) - 1;
        if (i < 0 || (j > 0 && i * delta < lf[j - 1])) return -1;
        return i;
    }
};

double WrapRadians(double a) { return std::remainder(a, 2.0 * std::numbers::pi); }

uint64_t DriverDigest(const HV_Driver_Data& d) { return Digest(&d, sizeof d); }

}  // namespace

TEST(MlsSpl, ReferenceEqualToMeasuredGivesZeroDbAndZeroDegrees) {
    SplFixture f;
    f.in[60] = 1.0f;
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    for (int k = 0; k < 16384; ++k) {
        ASSERT_NEAR(f.driver->spl_lin[k], 0.0, 1e-3) << k;
        ASSERT_NEAR(f.driver->phase_lin[k], 0.0, 1e-2) << k;
    }
    EXPECT_EQ(f.driver->spl_lin[16384], -160.0f);
    for (int j = 0; j < 3100; ++j) {
        if (f.lf[j] < kFs / 2) {
            ASSERT_NEAR(f.driver->spl_log[j], 0.0, 1e-3) << j;
            ASSERT_NEAR(f.driver->phase_log[j], 0.0, 1e-2) << j;
        } else {
            ASSERT_EQ(f.driver->spl_log[j], -160.0f) << j;
        }
    }
}

TEST(MlsSpl, GainAndDelayGiveTheirLevelAndPhaseSlope) {
    SplFixture f;
    const int D = 48;
    const double g = 0.25;
    f.in[60 + D] = static_cast<float>(g);
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    const double level = 20.0 * std::log10(g);
    int checked = 0;
    for (int k = 1; k < 16384; k += 7) {
        ASSERT_NEAR(f.driver->spl_lin[k], level, 2e-3) << k;
        const double want = kDeg * WrapRadians(-2.0 * std::numbers::pi * SplFixture::LinearFrequency(k) * D / kFs);
        if (std::fabs(want) > 178.0) continue;
        ASSERT_NEAR(f.driver->phase_lin[k], want, 0.05) << k;
        ++checked;
    }
    EXPECT_GT(checked, 2000);
    checked = 0;
    for (int j = 0; j < 3100; ++j) {
        if (!(f.lf[j] < kFs / 2)) continue;
        ASSERT_NEAR(f.driver->spl_log[j], level, 2e-3) << j;
        // Point 0 is where the phase walk starts from 0 degrees; it keeps that.
        const int i = j == 0 ? -1 : f.BinOfLogPoint(j);
        if (i < 0) continue;
        const double want = kDeg * WrapRadians(-2.0 * std::numbers::pi * (i * kFs / 262144.0) * D / kFs);
        if (std::fabs(want) > 178.0 || want == 0.0) continue;
        ASSERT_NEAR(f.driver->phase_log[j], want, 0.05) << j;
        ++checked;
    }
    EXPECT_GT(checked, 500);
}

// A peaking biquad measured against a unit reference: the SPL follows |H| and the phase arg H.
TEST(MlsSpl, BiquadResponseWithoutSmoothing) {
    SplFixture f;
    const double f0 = 1000.0, Q = 1.5, gain_db = 6.0;
    const double A = std::pow(10.0, gain_db / 40.0), w0 = 2.0 * std::numbers::pi * f0 / kFs, alpha = std::sin(w0) / (2.0 * Q);
    const double b0 = 1 + alpha * A, b1 = -2 * std::cos(w0), b2 = 1 - alpha * A;
    const double a0 = 1 + alpha / A, a1 = -2 * std::cos(w0), a2 = 1 - alpha / A;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (int n = 0; n < 20000; ++n) {
        const double x = n == 0 ? 1.0 : 0.0;
        const double y = (b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        f.in[60 + n] = static_cast<float>(y);
    }
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    for (int k = 2; k < 16384; k += 5) {
        const double fk = SplFixture::LinearFrequency(k);
        if (fk < 20.0 || fk > 20000.0) continue;
        const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * fk / kFs);
        const std::complex<double> H = (b0 + b1 * z + b2 * z * z) / (a0 + a1 * z + a2 * z * z);
        ASSERT_NEAR(f.driver->spl_lin[k], 20.0 * std::log10(std::abs(H)), 0.1) << fk;
        ASSERT_NEAR(f.driver->phase_lin[k], kDeg * std::arg(H), 0.5) << fk;
    }
}

// A two-sided window advances the reference by 9.86 samples, and the pulse delay turns the measured phase back by
// 360 f t: a reference pulse 10 samples into its segment and a measured one under the window's peak (P samples
// into its own) differ by P - 10 + 9.86 samples plus the pulse delay.
TEST(MlsSpl, TwoSidedAdvanceAndPulseDelayTurnThePhase) {
    SplFixture f;
    f.s.window_type = 6;  // "Hanning Symm"
    f.s.window_width = "400";
    f.s.cursor_bin = 1000;
    f.s.pulse_delay_ms = 0.1;
    f.in[1000 - 1] = 1.0f;  // the segment starts P + 1 = 401 before the cursor: this is its entry P
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    const double samples = 400.0 - 10.0 + 9.86 + 0.1e-3 * kFs;
    int checked = 0;
    for (int k = 1; k < 16384; k += 3) {
        const double f_k = SplFixture::LinearFrequency(k);
        const double want = kDeg * WrapRadians(-2.0 * std::numbers::pi * f_k * samples / kFs);
        if (std::fabs(want) > 178.0) continue;
        ASSERT_NEAR(f.driver->phase_lin[k], want, 0.05) << k;
        ++checked;
    }
    EXPECT_GT(checked, 4000);
}

// Order 17 against a 48 kHz system of N = 512 (bin step 32): the top linear points lie past the bin where the
// complex smoothing stops. The measured spectrum there keeps its last smoothed value (1, a unit pulse) while the
// reference's is 0, so those points read 0 dB plus the largest reference level, 20 log10(2) - 0.0001, where the
// others read 0. On the log grid nothing is normalised from the Nyquist frequency on: -160 dB exactly.
TEST(MlsSpl, SmoothingStopCarriesTheLastValueAndNyquistIsNotNormalised) {
    SplFixture f;
    f.s.order = 17;
    f.s.system_bin_spacing = 48000.0 / 4096.0;
    f.s.window_type = 2;  // "Rectangular": 1 from the segment's start
    f.s.cplx_smoothing = 1;
    f.ref[60] = 0.0f;
    f.ref[50] = 2.0f;
    f.in[50] = 1.0f;
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    EXPECT_NEAR(f.driver->spl_lin[3000], 0.0, 1e-3);
    EXPECT_NEAR(f.driver->spl_lin[4095], 20.0 * std::log10(2.0) - 0.0001, 1e-3);  // bin 131,040 of 131,072
    int above = 0;
    for (int j = 0; j < 3100; ++j) {
        if (f.lf[j] < kFs / 2) continue;
        ASSERT_EQ(f.driver->spl_log[j], -160.0f) << j;
        ++above;
    }
    EXPECT_GT(above, 100);
}

// The log grid's smoothing, against its passes made here over the unsmoothed curves of the same
// measurement: "1/6 oct" runs 16 passes of 1, 3, .., 31 points over the SPL, and one 33-point pass over the phase.
TEST(MlsSpl, LogGridSmoothingFollowsThePasses) {
    SplFixture f;
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    for (int n = 0; n < 4000; ++n) f.in[60 + n] = std::exp(-n / 300.0f) * noise(random);
    ASSERT_EQ(f.Calculate(), SplResult::kStored);  // "None"
    const std::vector<double> spl(f.driver->spl_log, f.driver->spl_log + 3100);
    const std::vector<double> phase(f.driver->phase_log, f.driver->phase_log + 3100);
    f.s.spl_smoothing = 0;  // "1/6 oct"
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    std::vector<double> want = spl, t = spl;
    for (int p = 0; p < 16; ++p) {
        for (int j = p; j < 3100 - p; ++j) {
            double sum = 0.0;
            for (int m = -p; m <= p; ++m) sum += t[j + m];
            want[j] = sum / (2 * p + 1);
        }
        t = want;
    }
    for (int j = 0; j < 3100; ++j) {
        ASSERT_NEAR(f.driver->spl_log[j], want[j], 2e-3) << j;
        double sum = 0.0;
        for (int m = -16; m <= 16; ++m) sum += (j < 16 || j >= 3100 - 16) ? 0.0 : phase[j + m];
        const double smoothed = (j < 16 || j >= 3100 - 16) ? phase[j] : sum / 33.0;
        ASSERT_NEAR(f.driver->phase_log[j], smoothed, 2e-3) << j;
    }
}

TEST(MlsSpl, RefusalsComeBeforeTheCurvesAreReset) {
    SplFixture f;
    f.in[60] = 1.0f;
    for (int k = 0; k < 131072; ++k) f.driver->spl_lin[k] = 77.0f;
    const uint64_t before = DriverDigest(*f.driver);
    MessageList out;
    f.s.in_peak = 0;
    EXPECT_EQ(f.Calculate(&out), SplResult::kNoImpulse);
    f.s.in_peak = 1;
    f.s.window_width = "262144";
    EXPECT_EQ(f.Calculate(&out), SplResult::kWindowTooLong);
    f.s.window_width = "400";
    f.s.window_type = 6;
    f.s.cursor_bin = 400;  // the two-sided window would start before the response
    EXPECT_EQ(f.Calculate(&out), SplResult::kWindowBeforeCursor);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].text, "Please Generate Impulse Response First");
    EXPECT_EQ(out[1].text, "Please reduce Timw Window Length");
    EXPECT_EQ(out[2].text, "Please reduce Time Window Length\n OR Re-position the Time Window");
    for (const HvMessage& m : out) EXPECT_EQ(m.caption, "HV Message");
    EXPECT_EQ(DriverDigest(*f.driver), before);
    EXPECT_EQ(f.spl_slot, 0u);

    // A response whose spectrum no float holds is not stored: the curves stay finite, the plots untouched.
    f.s.window_type = 1;
    f.s.cursor_bin = 50;
    for (int i = 0; i < 64; ++i) f.in[60 + i] = 3e38f;
    out.clear();
    EXPECT_EQ(f.Calculate(&out), SplResult::kNotFinite);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "The Response Is Out Of Range: No SPL Was Stored");
    for (int k = 0; k < 131072; ++k) ASSERT_EQ(f.driver->spl_lin[k], -160.0f) << k;
    for (int j = 0; j < 3100; ++j) ASSERT_TRUE(std::isfinite(f.driver->spl_log[j])) << j;
    EXPECT_EQ(f.spl_slot, 0u);
    EXPECT_EQ(f.curves[0].Visible, 0.0f);
    for (int i = 0; i < 64; ++i) f.in[60 + i] = 0.0f;
    f.in[60] = 1.0f;

    f.s.window_type = 6;
    f.s.cursor_bin = 401;
    EXPECT_EQ(f.Calculate(), SplResult::kStored);
    f.s.window_type = 1;
    f.s.window_width = "262143";
    EXPECT_EQ(f.Calculate(), SplResult::kStored);
}

// The two-sided window peaks at its limited half width P; the measured segment starts P + 1 before the
// cursor, so a response one sample before the cursor sits under the peak however long the typed width is.
TEST(MlsSpl, TwoSidedWindowUsesTheLimitedHalfWidth) {
    SplFixture f;
    f.s.window_type = 6;           // "Hanning Symm"
    f.s.window_width = "200000";   // P is limited to 65,535
    f.s.cursor_bin = 250000;
    f.in[249999] = 1.0f;
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    for (int k = 1; k < 16384; k += 97) ASSERT_NEAR(f.driver->spl_lin[k], 0.0, 0.01) << k;
}

TEST(MlsSpl, CalibrationCurvesAreDividedOutOnBothGrids) {
    SplFixture f;
    f.in[60] = 1.0f;
    for (int k = 0; k < 131072; ++k) {
        f.mike[k] = CalPoint{static_cast<float>(3.0 + 0.001 * k), 10.0f};
        f.preamp[k] = CalPoint{1.0f, -4.0f};
    }
    f.s.use_mike_cal = f.s.use_preamp_cal = 1;
    f.s.add_db = 2.5;
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    for (int k = 1; k < 16384; k += 11) {
        ASSERT_NEAR(f.driver->spl_lin[k], 2.5 - (3.0 + 0.001 * k) - 1.0, 2e-3) << k;
        ASSERT_NEAR(f.driver->phase_lin[k], -6.0, 0.02) << k;
    }
    // The log grid takes the curve at its own frequencies, between the bins of the system's grid.
    for (int j = 0; j < 3100; ++j) {
        if (!(f.lf[j] < kFs / 2)) continue;
        const double bin = f.lf[j] / kSystemSpacing;
        ASSERT_NEAR(f.driver->spl_log[j], 2.5 - (3.0 + 0.001 * bin) - 1.0, 2e-3) << j;
        ASSERT_NEAR(f.driver->phase_log[j], -6.0, 0.02) << j;
    }
}

TEST(MlsSpl, ResultsGoToTheNextSlotPairWithTheirPens) {
    SplFixture f;
    f.in[60] = 0.5f;
    f.s.efficiency_db = 90.0;
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    const PlotCurve& spl = f.curves[0];
    const PlotCurve& phase = f.curves[10];
    EXPECT_EQ(spl.Visible, 1.0f);
    EXPECT_EQ(phase.Visible, 1.0f);
    EXPECT_NEAR(spl.Values[100], -6.0206 - 90.0, 2e-3);
    EXPECT_EQ(spl.Values[100], f.driver->spl_lin[100] - 90.0f);
    EXPECT_EQ(phase.Values[100], f.driver->phase_lin[100]);
    EXPECT_EQ(spl.Red, 1.0f);
    EXPECT_EQ(phase.Green, 4.0f);  // entry 2
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    EXPECT_EQ(f.curves[1].Red, 6.0f);    // entry 6
    EXPECT_EQ(f.curves[11].Blue, 9.0f);  // entry 3
    f.spl_slot = f.phase_slot = 9;
    ASSERT_EQ(f.Calculate(), SplResult::kStored);
    EXPECT_EQ(f.curves[9].Red, 10.0f);
    EXPECT_EQ(f.curves[19].Red, 1.0f);
    EXPECT_EQ(f.spl_slot, 0u);
    EXPECT_EQ(f.phase_slot, 0u);

    for (int slot = 20; slot < 25; ++slot) f.curves[slot].Values[5] = 3.0f;
    f.curves[30].Visible = 1.0f;
    ClearSplSlots(f.curves.data(), &f.spl_slot, &f.phase_slot);
    EXPECT_EQ(f.curves[0].Visible, 0.0f);
    EXPECT_EQ(f.curves[19].Values[100], 0.0f);
    EXPECT_EQ(f.curves[30].Visible, 0.0f);
    EXPECT_EQ(f.curves[22].Values[5], 3.0f);
}

TEST(MlsSpl, SmoothingWidthsStepsAndPasses) {
    const int expected[9][3] = {{0, 0, 0},    {2, 13, 39},    {4, 33, 133},   {8, 66, 266},    {12, 99, 400},
                                {16, 132, 533}, {20, 165, 666}, {28, 397, 2265}, {45, 636, 3624}};
    for (uint32_t level = 0; level < 9; ++level) {
        EXPECT_EQ(ComplexSmoothingHalfWidth(1000, level), expected[level][0]) << level;
        EXPECT_EQ(ComplexSmoothingHalfWidth(10000, level), expected[level][1]) << level;
        EXPECT_EQ(ComplexSmoothingHalfWidth(100000, level), expected[level][2]) << level;
    }
    EXPECT_EQ(ComplexSmoothingHalfWidth(100000, 9), 0);
    const int passes[6] = {16, 8, 4, 2, 1, 0};
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(SplSmoothingPasses(i), passes[i]);
    EXPECT_EQ(LinearGridStep(44100.0 / 32768, 44100.0 / 262144), 8);
    EXPECT_EQ(LinearGridStep(48000.0 / 4096, 96000.0 / 262144), 32);
    EXPECT_EQ(LinearGridStep(96000.0 / 4096, 48000.0 / 262144), 0);  // 48 kHz against 96 kHz, N = 512
    EXPECT_EQ(LinearGridStep(48000.0 / 32768, 96000.0 / 262144), 0);
}

// The running sums and walks against the sums and searches made afresh for every bin.
TEST(MlsSpl, FastKernelsMatchTheLiteralOnes) {
    std::mt19937 random(11);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    const int L = 32768;
    std::vector<float> x(L), fast(L, -1.0f), literal(L, -1.0f);
    for (int i = 0; i < L; ++i) x[i] = 1000.0f * std::exp(-i / 3000.0f) * noise(random) + (i % 97 == 0 ? 5e4f : 0.0f);
    for (uint32_t level : {1u, 5u, 8u}) {
        const int a = SmoothSpectrumPart(x.data(), fast.data(), L, level, SplMethod::kFast);
        const int b = SmoothSpectrumPart(x.data(), literal.data(), L, level, SplMethod::kLiteral);
        ASSERT_EQ(a, b);
        for (int i = 0; i < L; ++i) ASSERT_NEAR(fast[i], literal[i], 1e-3f + 1e-5f * std::fabs(literal[i])) << level << " " << i;
    }
    SplFixture f;
    std::vector<int32_t> walk(3100), scan(3100);
    for (int order : {14, 16}) {
        const int n = 1 << order;
        MapBinsToLogGrid(f.lf.data(), 3100, n, kFs / n, kFs / 2, walk.data(), SplMethod::kFast);
        MapBinsToLogGrid(f.lf.data(), 3100, n, kFs / n, kFs / 2, scan.data(), SplMethod::kLiteral);
        EXPECT_EQ(walk, scan);
        for (int j = 1; j < 3100; ++j) {
            if (walk[j] < 0) continue;  // a hole: no bin lies between this frequency and the one before
            ASSERT_LT(walk[j] * (kFs / n), f.lf[j]);
            ASSERT_GE(walk[j] * (kFs / n), f.lf[j - 1]);
            ASSERT_GE((walk[j] + 1) * (kFs / n), f.lf[j]);
        }
    }
    std::vector<float> curve(131072), other(131072), t(131072);
    for (int i = 0; i < 131072; ++i) curve[i] = other[i] = 80.0f + 10.0f * noise(random);
    SmoothCurveCascade(curve.data(), 131072, 16, t.data(), SplMethod::kFast);
    SmoothCurveCascade(other.data(), 131072, 16, t.data(), SplMethod::kLiteral);
    for (int i = 0; i < 131072; ++i) ASSERT_NEAR(curve[i], other[i], 1e-4) << i;
    EXPECT_EQ(curve[14], other[14]);  // points within p of the ends keep the value of their last pass
}

TEST(MlsSpl, FastCalculationMatchesTheLiteralOne) {
    SplFixture fast, literal;
    std::normal_distribution<float> noise(0.0f, 1.0f);
    for (SplFixture* f : {&fast, &literal}) {
        std::mt19937 same(9);
        for (int n = 0; n < 6000; ++n) f->in[3950 + n] = 3000.0f * std::exp(-n / 400.0f) * noise(same);
        for (int k = 0; k < 131072; ++k) f->mike[k] = CalPoint{static_cast<float>(std::sin(k * 1e-3)), static_cast<float>(k % 360) - 180.0f};
        f->s.order = 14;
        f->s.window_type = 7;
        f->s.window_width = "3000";
        f->s.cursor_bin = 4000;
        f->s.pulse_delay_ms = 0.3;
        f->s.cplx_smoothing = 8;
        f->s.spl_smoothing = 0;
        f->s.add_db = 1.5;
        f->s.use_mike_cal = 1;
    }
    ASSERT_EQ(fast.Calculate(nullptr, SplMethod::kFast), SplResult::kStored);
    ASSERT_EQ(literal.Calculate(nullptr, SplMethod::kLiteral), SplResult::kStored);
    for (int j = 0; j < 3100; ++j) {
        ASSERT_NEAR(fast.driver->spl_log[j], literal.driver->spl_log[j], 1e-3) << j;
        ASSERT_NEAR(fast.driver->phase_log[j], literal.driver->phase_log[j], 1e-2) << j;
    }
    EXPECT_EQ(fast.curves[0].Values[5], literal.curves[0].Values[5]);
}
