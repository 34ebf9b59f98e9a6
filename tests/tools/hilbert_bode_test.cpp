#include "tools/hilbert_bode.h"

#include <cmath>
#include <complex>
#include <functional>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "app/heap_record.h"
#include "tools/driver_fields.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct HbtSetup {
    std::vector<float> log = std::vector<float>(kLogGridPoints);
    std::vector<float> bin = std::vector<float>(kLinGridPoints);
    std::vector<float> work = std::vector<float>(kLinGridPoints);
    HbtContext cx;
    HeapRecord<HV_Driver_Data> d = AllocZeroed<HV_Driver_Data>();
    HbtSetup(uint32_t sampling, uint32_t size_index, double fmin = 10.0, double fmax = 20000.0) {
        for (int i = 0; i < kLogGridPoints; ++i)
            log[i] = static_cast<float>(fmin * std::pow(fmax / fmin, (i - 699) / 2000.0));
        const double fs = sampling == 0 ? 44100.0 : sampling == 2 ? 96000.0 : 48000.0;
        const int n = 512 << size_index;
        for (int k = 0; k < kLinGridPoints; ++k) bin[k] = static_cast<float>(k * fs / (8.0 * n));
        bin[0] = 0.01f;
        cx.log_table = log.data();
        cx.bin_table = bin.data();
        cx.axis_low_hz = fmin;
        cx.axis_high_hz = fmax;
        cx.HV_Sampling = sampling;
        cx.HV_Buffer_Size = size_index;
        cx.HbtWorkCurve = work.data();
        SetDriverRecordDefaults(d.get());
        Text(DriverInputPower(*d), "1.0");
        Text(DriverHighPassStop(*d), "0");
        Text(DriverHighPassSlope(*d), "0");
        Text(DriverLowPassStart(*d), "1e9");
        Text(DriverLowPassSlope(*d), "0");
        DriverHbtDistance(*d) = 1.0f;
        DriverPhaseDistance(*d) = 0;
        DriverAmplitudeDistance(*d) = 0;
    }
    static void Text(char* field, const char* t) {
        std::memset(field, 0, kTextField);
        std::strncpy(field, t, kTextField - 1);
    }
};

TEST(HilbertBode, PointsPerOctaveAndTailSteps) {
    EXPECT_NEAR(HbtPointsPerOctave(10.0, 20000.0), 182.596, 0.0005);
    EXPECT_NEAR(12.0 / HbtPointsPerOctave(10.0, 20000.0), 0.0657, 0.00005);
    EXPECT_NEAR(HbtLinearTailStep(12.0, 0, 0, 100.0, true), 1.8555, 0.00005);
    EXPECT_NEAR(HbtLinearTailStep(12.0, 0, 0, 100.0, false), 12.0 / 0.413 * 6.355 / 100.0, 1e-12);
    EXPECT_NEAR(HbtLinearTailStep(12.0, 1, 2, 100.0, true), 12.0 / (4 * 0.375) * 6.355 / 100.0, 1e-12);
    EXPECT_NEAR(HbtLinearTailStep(12.0, 2, 3, 50.0, false), 12.0 / (8 * 0.1875) * 6.355 / 50.0, 1e-12);
}

TEST(HilbertBode, LogTailsFallByTheSlopePerPointFromTheirClampedEdges) {
    HbtSetup s(1, 1);
    for (float& v : s.d->spl_log) v = 90.0f;
    HbtSetup::Text(DriverHighPassStop(*s.d), "100");
    HbtSetup::Text(DriverHighPassSlope(*s.d), "12");
    HbtSetup::Text(DriverLowPassStart(*s.d), "1e6");  // above fmax: clamped to 0.98 fmax
    HbtSetup::Text(DriverLowPassSlope(*s.d), "24");
    ASSERT_EQ(RunLogHbt(s.d.get(), s.cx, nullptr), 0);
    int hp = 0;
    while (s.log[hp + 1] <= 100.0f) ++hp;
    const double p = HbtPointsPerOctave(10.0, 20000.0);
    EXPECT_EQ(s.work[hp + 1], 90.0f);
    for (int u = hp; u >= 0; u -= 37) EXPECT_NEAR(s.work[u + 1] - s.work[u], 12.0 / p, 2e-4) << u;
    EXPECT_NEAR(s.work[0], 90.0 - (hp + 1) * 12.0 / p, 0.02);
    int lp = 0;
    while (s.log[lp + 1] <= 0.98f * 20000.0f) ++lp;
    EXPECT_EQ(s.work[lp - 1], 90.0f);
    EXPECT_NEAR(s.work[lp - 1] - s.work[lp], 24.0 / p, 2e-4);
    EXPECT_NEAR(s.work[kLogGridPoints - 1], 90.0 - (kLogGridPoints - lp) * 24.0 / p, 0.05);
    // The driver's own curve is not changed, and the run is marked done.
    EXPECT_EQ(s.d->spl_log[0], 90.0f);
    EXPECT_EQ(s.d->hbt_done, 1u);
    // A high-pass stop of 0 Hz is clamped to 1.02 fmin.
    HbtSetup::Text(DriverHighPassStop(*s.d), "0");
    ASSERT_EQ(RunLogHbt(s.d.get(), s.cx, nullptr), 0);
    int hp0 = 0;
    while (s.log[hp0 + 1] <= 10.2f) ++hp0;
    EXPECT_EQ(s.work[hp0 + 1], 90.0f);
    EXPECT_LT(s.work[hp0], 90.0f);
}

TEST(HilbertBode, LinearTailsUseTheBinMidpointsAndATinyLowPassStartReadsNoBinBelowZero) {
    HbtSetup s(0, 0);  // 44100 Hz, N = 512: bins of 10.77 Hz, grid of 16384
    for (float& v : s.d->spl_lin) v = 90.0f;
    HbtSetup::Text(DriverHighPassStop(*s.d), "300");
    HbtSetup::Text(DriverHighPassSlope(*s.d), "12");
    ASSERT_EQ(RunLinearHbt(s.d.get(), s.cx, nullptr), 0);
    int hp = 0;
    while (s.bin[hp + 1] <= 300.0f) ++hp;
    for (int u = hp; u >= 0; --u) {
        const double step = 12.0 / 0.411 * 6.355 / ((double(s.bin[u]) + s.bin[u + 1]) * 0.5);
        ASSERT_NEAR(s.work[u + 1] - s.work[u], step, 2e-3 * step + 1e-3) << u;
    }
    // A low-pass start below the first bin: the tail runs from bin 0 with no bin below it.
    HbtSetup t(0, 3);  // N = 4096: the first bin above 1.02 Hz is bin 1
    for (float& v : t.d->spl_lin) v = 90.0f;
    HbtSetup::Text(DriverLowPassStart(*t.d), "0.5");
    HbtSetup::Text(DriverLowPassSlope(*t.d), "6");
    ASSERT_EQ(RunLinearHbt(t.d.get(), t.cx, nullptr), 0);
    EXPECT_NEAR(90.0 - t.work[1], 6.0 / (8 * 0.413) * 6.355 / ((double(t.bin[0]) + t.bin[1]) * 0.5), 1e-3);
    for (int k = 0; k < 32 * 4096; k += 4099) ASSERT_TRUE(std::isfinite(t.d->hbt_re_lin[k])) << k;
}

TEST(HilbertBode, FlatCurveGivesRootPowerAndZeroPhase) {
    HbtSetup s(1, 0);
    for (float& v : s.d->spl_log) v = 90.0f;
    for (float& v : s.d->spl_lin) v = 90.0f;
    HbtSetup::Text(DriverInputPower(*s.d), "4");
    ASSERT_EQ(RunLogHbt(s.d.get(), s.cx, nullptr), 0);
    ASSERT_EQ(RunLinearHbt(s.d.get(), s.cx, nullptr), 0);
    for (int i = 0; i < kLogGridPoints; i += 7) {
        ASSERT_NEAR(s.d->hbt_re_log[i], 2.0, 1e-5) << i;
        ASSERT_NEAR(s.d->hbt_im_log[i], 0.0, 1e-5) << i;
    }
    for (int i = 0; i < 32 * 512; i += 5) {
        ASSERT_NEAR(s.d->hbt_re_lin[i], 2.0, 1e-5) << i;
        ASSERT_NEAR(s.d->hbt_im_lin[i], 0.0, 1e-5) << i;
    }
}

// A first-order shelf, +12 dB from 500 Hz to 2 kHz: flat at both ends, so flat tails fit it.
std::complex<double> Shelf(double f) { return std::complex<double>(1.0, f / 500.0) / std::complex<double>(1.0, f / 2000.0); }

TEST(HilbertBode, MinimumPhaseShelfWithinHalfADegreeOfItsClosedForm) {
    HbtSetup s(1, 0);
    for (int i = 0; i < kLogGridPoints; ++i) s.d->spl_log[i] = static_cast<float>(70.0 + 20.0 * std::log10(std::abs(Shelf(s.log[i]))));
    for (int k = 0; k < kLinGridPoints; ++k) s.d->spl_lin[k] = static_cast<float>(70.0 + 20.0 * std::log10(std::abs(Shelf(s.bin[k]))));
    ASSERT_EQ(RunLogHbt(s.d.get(), s.cx, nullptr), 0);
    int progress_calls = 0;
    auto count = [](void* c, int, int total) {
        ++*static_cast<int*>(c);
        EXPECT_EQ(total, 32 * 512);
    };
    ASSERT_EQ(RunLinearHbt(s.d.get(), s.cx, nullptr, count, &progress_calls), 0);
    EXPECT_EQ(progress_calls, 32 * 512);
    double worst_log = 0.0, worst_lin = 0.0;
    for (int i = 0; i < kLogGridPoints; ++i) {
        const double f = s.log[i];
        if (f < 20.0 || f > 20000.0) continue;
        const std::complex<double> h(s.d->hbt_re_log[i], s.d->hbt_im_log[i]);
        worst_log = std::max(worst_log, std::fabs(std::arg(h / Shelf(f))) * 180.0 / kPi);
        // The low-pass tail flattens the curve from 0.98 fmax on.
        if (f < 0.98 * 20000.0) {
            EXPECT_NEAR(20.0 * std::log10(std::abs(h)), 20.0 * std::log10(std::abs(Shelf(f))) - 20.0, 1e-3);
        }
    }
    for (int k = 1; k < 32 * 512; ++k) {
        const double f = s.bin[k];
        if (f < 20.0 || f > 20000.0) continue;
        const std::complex<double> h(s.d->hbt_re_lin[k], s.d->hbt_im_lin[k]);
        worst_lin = std::max(worst_lin, std::fabs(std::arg(h / Shelf(f))) * 180.0 / kPi);
    }
    EXPECT_LT(worst_log, 0.5);
    EXPECT_LT(worst_lin, 0.5);
    // The phase of this shelf reaches about 37 degrees: the comparison is not trivially met.
    EXPECT_GT(std::arg(Shelf(1000.0)) * 180.0 / kPi, 35.0);
}

// The integral for point i summed term by term in double precision from the formulas as the program states
// them: its own constants, singular-interval constants a, c, b and the points the end lines are fitted to.
struct IntegralTerms {
    double a, c, b;
    int low0, low1, high0, high1;
};
double ReferencePhase(const float* f, const float* level, int size, int i, const IntegralTerms& t) {
    auto w = [&](int k) { return 6.284 * f[k]; };
    auto nepers = [&](int k) { return level[k] / 8.686; };
    const double wa = w(t.low0), wb = w(t.low1), wc = w(t.high0), wd = w(t.high1), wi = w(i);
    // Both tails are flat here (slope 0), so the end lines are not bent.
    const double b_lo = (nepers(t.low0) * std::log(wb) - nepers(t.low1) * std::log(wa)) / (std::log(wb) - std::log(wa));
    const double b_hi = (nepers(t.high0) * std::log(wd) - nepers(t.high1) * std::log(wc)) / (std::log(wd) - std::log(wc));
    const double t_lo = -(2.0 * wa / 3.142 / wi) * (b_lo - nepers(i));
    const double t_hi = 2.0 / (wd * 3.142) * wi * (b_hi - nepers(i));
    double sum = 0.0;
    for (int j = 0; j + 1 < size; ++j) {
        double x1 = w(j), y1 = level[j], x2 = w(j + 1), y2 = level[j + 1];
        if (j == i) {
            x1 = 6.284 * f[i] + t.a * (double(f[i + 1]) - f[i]);
            y1 = level[i] + t.b * (double(level[i + 1]) - level[i]);
        }
        if (j == i - 1) {
            x2 = 6.284 * f[i] + t.c * (double(f[i]) - f[i - 1]);
            y2 = level[i] + t.b * (double(level[i]) - level[i - 1]);
        }
        sum += (0.5 / 8.686) * (x2 - x1) * ((y2 - level[i]) / (x2 * x2 - wi * wi) + (y1 - level[i]) / (x1 * x1 - wi * wi));
    }
    return t_lo + 4.0 * f[i] * sum + t_hi;
}

TEST(HilbertBode, BothRunsMatchTheIntegralSummedTermByTerm) {
    // Curves with steep steps (where the singular intervals weigh most) and a rising low end (where the
    // end line's fit points matter), on both grids.
    HbtSetup s(1, 0);
    for (int i = 0; i < kLogGridPoints; ++i) s.d->spl_log[i] = static_cast<float>(80.0 + 12.0 * std::tanh((i - 1500) / 6.0));
    for (int k = 0; k < kLinGridPoints; ++k)
        s.d->spl_lin[k] = static_cast<float>(80.0 + 10.0 * std::tanh((k - 300) / 3.0) + 3.0 * std::sin(k / 7.0));
    HbtSetup::Text(DriverInputPower(*s.d), "4");
    const int m = 32 * 512;
    struct Run {
        bool linear;
        int size;
        IntegralTerms terms;
        std::vector<int> points;
    };
    const Run runs[] = {{false, kLogGridPoints, {0.08, 0.08, 0.02, 0, 164, 2935, 3099}, {705, 1400, 1497, 1500, 1503, 2000, 2690}},
                        {true, m, {0.06, 0.12, 0.01, 0, 20, m - 4096, m - 1}, {1, 2, 5, 15, 40, 297, 300, 303, 2000, m - 2}}};
    for (const Run& r : runs) {
        ASSERT_EQ(r.linear ? RunLinearHbt(s.d.get(), s.cx, nullptr) : RunLogHbt(s.d.get(), s.cx, nullptr), 0);
        const float* f = r.linear ? s.bin.data() : s.log.data();
        for (int i : r.points) {
            const std::complex<double> h(r.linear ? s.d->hbt_re_lin[i] : s.d->hbt_re_log[i],
                                         r.linear ? s.d->hbt_im_lin[i] : s.d->hbt_im_log[i]);
            const double phase = ReferencePhase(f, s.work.data(), r.size, i, r.terms);
            ASSERT_NEAR(std::remainder(std::arg(h) - phase, 2.0 * kPi), 0.0, 2e-6) << r.linear << " " << i;
            ASSERT_NEAR(std::abs(h), 2.0 * std::pow(10.0, 0.05 * (s.work[i] - 90.0)), 1e-6 * std::abs(h)) << i;
        }
    }
}

TEST(HilbertBode, DistanceAndPowerOptions) {
    HbtSetup s(1, 0);
    for (float& v : s.d->spl_log) v = 90.0f;
    HbtSetup::Text(DriverInputPower(*s.d), "9");
    DriverHbtDistance(*s.d) = 2.0f;
    const int i = 2000;
    const double f = s.log[i], theta = 6.284 * 2.0 * f / 344.0;
    struct Case {
        uint32_t phase, amplitude;
        double magnitude;
        bool delayed;
    };
    for (const Case& c : {Case{1, 1, 1.5, true}, Case{0, 1, 1.5, false}, Case{1, 0, 1.0, true}, Case{0, 0, 3.0, false}}) {
        DriverPhaseDistance(*s.d) = c.phase;
        DriverAmplitudeDistance(*s.d) = c.amplitude;
        ASSERT_EQ(RunLogHbt(s.d.get(), s.cx, nullptr), 0);
        const std::complex<double> h(s.d->hbt_re_log[i], s.d->hbt_im_log[i]);
        EXPECT_NEAR(std::abs(h), c.magnitude, 1e-5);
        const double expect = c.delayed ? std::remainder(-theta, 2.0 * kPi) : 0.0;
        EXPECT_NEAR(std::remainder(std::arg(h) - expect, 2.0 * kPi), 0.0, 1e-4);
    }
}

TEST(HilbertBode, RefusalsWriteNothing) {
    auto refused = [](const std::function<void(HbtSetup&)>& spoil, const char* text, bool linear) {
        HbtSetup s(1, 0);
        spoil(s);
        MessageList m;
        const float before = linear ? s.d->hbt_re_lin[5] : s.d->hbt_re_log[5];
        const int r = linear ? RunLinearHbt(s.d.get(), s.cx, &m) : RunLogHbt(s.d.get(), s.cx, &m);
        EXPECT_EQ(r, 1) << text;
        ASSERT_EQ(m.size(), 1u) << text;
        EXPECT_EQ(m[0].text, text);
        EXPECT_EQ(m[0].caption, "HV MEssage");
        EXPECT_EQ(linear ? s.d->hbt_re_lin[5] : s.d->hbt_re_log[5], before);
        EXPECT_EQ(s.d->hbt_done, 0u);
    };
    for (bool linear : {false, true}) {
        for (const char* p : {"0", "", "-1", "nan", "inf"})
            refused([p](HbtSetup& s) { HbtSetup::Text(DriverInputPower(*s.d), p); }, "Input Power Error", linear);
        refused([](HbtSetup& s) { HbtSetup::Text(DriverHighPassSlope(*s.d), "nan"); }, "Tail Data Error", linear);
        refused([](HbtSetup& s) { HbtSetup::Text(DriverLowPassStart(*s.d), "1e999"); }, "Tail Data Error", linear);
        for (float dist : {0.0f, -1.0f, std::nanf("")}) {
            refused([dist](HbtSetup& s) {
                DriverHbtDistance(*s.d) = dist;
                DriverAmplitudeDistance(*s.d) = 1;
            }, "Distance Error", linear);
        }
        refused([](HbtSetup& s) {
            s.d->spl_log[2000] = std::nanf("");
            s.d->spl_lin[2000] = std::nanf("");
        }, "SPL Data Error", linear);
        refused([](HbtSetup& s) {
            s.d->spl_log[2000] = 1e30f;
            s.d->spl_lin[2000] = 1e30f;
        }, "SPL Data Error", linear);
    }
    // The distance is not read when neither option uses it.
    HbtSetup s(1, 0);
    DriverHbtDistance(*s.d) = 0.0f;
    EXPECT_EQ(RunLogHbt(s.d.get(), s.cx, nullptr), 0);
}

}  // namespace
