#include "engine/min_phase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

namespace {

using Cd = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;
constexpr int kGridPoints = 131072;

// BinFrequencyTable: k fs / (8N), bin 0 at 0.01 Hz.
std::vector<float> BinGrid(double fs, int n) {
    std::vector<float> f(kGridPoints);
    for (int k = 0; k < kGridPoints; ++k) f[k] = static_cast<float>(k * fs / (8.0 * n));
    f[0] = 0.01f;
    return f;
}

struct Driver {
    std::vector<float> re = std::vector<float>(kDriverResponseBins);
    std::vector<float> im = std::vector<float>(kDriverResponseBins);
};

Driver MakeDriver(const std::vector<float>& f, const std::function<Cd(double)>& h) {
    Driver d;
    for (int k = 0; k < kDriverResponseBins; ++k) {
        const Cd v = h(f[k]);
        d.re[k] = static_cast<float>(v.real());
        d.im[k] = static_cast<float>(v.imag());
    }
    return d;
}

struct Result {
    std::vector<float> db = std::vector<float>(kDriverResponseBins);
    std::vector<float> spectrum = std::vector<float>(2 * kDriverResponseBins, 1.0f);
    double PhaseAt(int i) const { return std::atan2(spectrum[2 * i + 1], spectrum[2 * i]); }
    double DbAt(int i) const { return 20.0 * std::log10(std::hypot(spectrum[2 * i], spectrum[2 * i + 1])); }
};

Result Build(const Driver& d, float lo, float hi, const std::vector<float>& f, int n, bool literal = false) {
    Result r;
    const int rc = literal ? BuildMinimumPhaseResponseLiteral(d.re.data(), d.im.data(), lo, hi, f.data(), n,
                                                              r.db.data(), r.spectrum.data())
                           : BuildMinimumPhaseResponse(d.re.data(), d.im.data(), lo, hi, f.data(), n, r.db.data(),
                                                       r.spectrum.data());
    EXPECT_EQ(rc, 0);
    return r;
}

int BinOf(const std::vector<float>& f, double hz) {
    int k = 1;
    while (f[k] < hz) ++k;
    return k;
}

double Wrap(double x) { return std::remainder(x, 2 * kPi); }

TEST(MinPhaseTest, FlatMagnitudeGivesZeroPhase) {
    const int n = 512;
    const auto f = BinGrid(48000, n);
    const Driver d = MakeDriver(f, [](double) { return Cd(0.3, -0.4); });  // |H| = 0.5
    for (bool literal : {false, true}) {
        const Result r = Build(d, 20.0f, 20000.0f, f, n, literal);
        for (int i = 0; i < 16 * n; ++i) {
            ASSERT_NEAR(r.PhaseAt(i), 0.0, 1e-6) << i << " literal=" << literal;
            ASSERT_NEAR(std::hypot(r.spectrum[2 * i], r.spectrum[2 * i + 1]), 0.5, 1e-6) << i;
        }
    }
}

TEST(MinPhaseTest, ShelfMatchesItsClosedFormPhase) {
    // (1 + s/wa)/(1 + s/wb) is minimum phase and flat at both ends: its phase is atan(f/fa) - atan(f/fb).
    const double fa = 1000.0, fb = 2000.0;
    for (int n : {512, 4096}) {
        const auto f = BinGrid(48000, n);
        const Driver d = MakeDriver(f, [&](double x) { return Cd(1.0, x / fa) / Cd(1.0, x / fb); });
        const Result r = Build(d, 1.0f, 50000.0f, f, n);
        double worst = 0.0;
        for (double hz = 50.0; hz < 20000.0; hz *= 1.05) {
            const int i = BinOf(f, hz);
            const double want = std::atan(f[i] / fa) - std::atan(f[i] / fb);
            worst = std::max(worst, std::fabs(Wrap(r.PhaseAt(i) - want)));
        }
        EXPECT_LT(worst * 180.0 / kPi, 0.5) << "N=" << n;
    }
}

TEST(MinPhaseTest, FirstOrderLowPassFollowsArctangentMidBand) {
    const double fc = 1000.0;
    const int n = 1024;
    const auto f = BinGrid(48000, n);
    const Driver d = MakeDriver(f, [&](double x) { return 1.0 / Cd(1.0, x / fc); });
    const Result r = Build(d, 1.0f, 49000.0f, f, n);
    // The magnitude is held flat above F2 = 49 kHz: that corner, a slope change of +1 in (ln w, nepers), adds
    // a lead of (2/pi)(f/F2) well below it.
    const double f2 = 49000.0;
    for (double hz : {200.0, 500.0, 1000.0, 2000.0, 5000.0}) {
        const int i = BinOf(f, hz);
        const double want = -std::atan(f[i] / fc) + 2.0 / kPi * f[i] / f2;
        EXPECT_NEAR(r.PhaseAt(i) * 180.0 / kPi, want * 180.0 / kPi, 0.25) << hz;
        EXPECT_GT(std::fabs(r.PhaseAt(i) + std::atan(f[i] / fc)), 0.5 * 2.0 / kPi * f[i] / f2) << hz;
    }
    EXPECT_LT(r.PhaseAt(BinOf(f, 1000.0)), 0.0);  // a falling magnitude lags
}

TEST(MinPhaseTest, PhaseIsLinearInTheLevel) {
    const int n = 512;
    const auto f = BinGrid(44100, n);
    auto h1 = [](double x) { return 1.0 / Cd(1.0 - x * x / 4e4, x / 200.0); };
    auto h2 = [](double x) { return Cd(1.0, x / 3000.0) / Cd(1.0, x / 700.0); };
    const Result a = Build(MakeDriver(f, h1), 30.0f, 15000.0f, f, n);
    const Result b = Build(MakeDriver(f, h2), 30.0f, 15000.0f, f, n);
    const Result ab = Build(MakeDriver(f, [&](double x) { return h1(x) * h2(x); }), 30.0f, 15000.0f, f, n);
    for (int i = 0; i < 16 * n; i += 3) {
        ASSERT_NEAR(Wrap(ab.PhaseAt(i) - a.PhaseAt(i) - b.PhaseAt(i)), 0.0, 2e-4) << i;
        ASSERT_NEAR(ab.DbAt(i), a.DbAt(i) + b.DbAt(i), 1e-3) << i;
    }
}

TEST(MinPhaseTest, FastSumAgreesWithLiteralSum) {
    const int n = 512;
    const auto f = BinGrid(48000, n);
    // A driver-like response: second-order roll-off at 60 Hz, a resonance, and a first-order fall above 5 kHz.
    const Driver d = MakeDriver(f, [](double x) {
        const Cd s(0.0, x);
        return (s * s / (s * s + 60.0 * 1.4 * s + 3600.0)) * (1.0 + 0.5 * s / (s * s / 2500.0 + s * 0.02 + 2500.0)) /
               (1.0 + s / 5000.0);
    });
    const Result fast = Build(d, 40.0f, 18000.0f, f, n);
    const Result lit = Build(d, 40.0f, 18000.0f, f, n, true);
    double worst_deg = 0.0, worst_db = 0.0;
    for (int i = 0; i < 16 * n; ++i) {
        worst_deg = std::max(worst_deg, std::fabs(Wrap(fast.PhaseAt(i) - lit.PhaseAt(i))) * 180.0 / kPi);
        worst_db = std::max(worst_db, std::fabs(fast.DbAt(i) - lit.DbAt(i)));
    }
    EXPECT_LT(worst_deg, 0.05);
    EXPECT_LT(worst_db, 0.001);
    EXPECT_GT(std::fabs(fast.PhaseAt(BinOf(f, 5000.0))), 0.1);  // the comparison is not between two zeros
}

TEST(MinPhaseTest, DirectSumOnAnIrregularGridAgreesWithLiteral) {
    // A logarithmic grid, as the data tools use: BodePhase falls back to the direct double-precision sum.
    const int count = 400;
    std::vector<float> f(count), level(count), fast(count), lit(count);
    for (int i = 0; i < count; ++i) {
        f[i] = static_cast<float>(10.0 * std::pow(2000.0, i / double(count - 1)));
        level[i] = static_cast<float>(-10.0 * std::log10(1.0 + std::pow(f[i] / 800.0, 4)));
    }
    BodeIntegralConstants k = DriverEqBodeConstants(count);
    k.high_first = count - 40;
    ASSERT_EQ(BodePhase(f.data(), level.data(), count, k, fast.data()), 0);
    ASSERT_EQ(BodePhaseLiteral(f.data(), level.data(), count, k, lit.data()), 0);
    for (int i = 0; i < count; ++i) ASSERT_NEAR(fast[i], lit[i], 1e-4) << i;
    EXPECT_LT(fast[count / 2], -0.3);
}

TEST(MinPhaseTest, BandEdgesFlattenTheLevel) {
    const int n = 512;
    const auto f = BinGrid(48000, n);
    const Driver d = MakeDriver(f, [](double x) { return Cd(std::pow(x + 1.0, -0.5), 0.0); });  // falls 3 dB/oct
    const Result r = Build(d, 100.0f, 10000.0f, f, n);
    int first_above = 0;
    while (!(f[first_above] > 100.0f)) ++first_above;
    int last_not_above = 0;
    while (f[last_not_above + 1] <= 10000.0f) ++last_not_above;
    const float low_level = static_cast<float>(10.0 * std::log10(double(d.re[first_above]) * d.re[first_above] + 1e-16));
    const float high_level =
        static_cast<float>(10.0 * std::log10(double(d.re[last_not_above]) * d.re[last_not_above] + 1e-16));
    for (int i = 0; i < first_above; ++i) ASSERT_EQ(r.db[i], low_level) << i;
    EXPECT_NE(r.db[first_above + 1], low_level);
    for (int i = last_not_above; i < 16 * n; ++i) ASSERT_EQ(r.db[i], high_level) << i;
    EXPECT_NE(r.db[last_not_above - 1], high_level);
    // Beyond M the levels are the driver's own.
    EXPECT_NE(r.db[16 * n], high_level);
}

TEST(MinPhaseTest, BandEdgesAreClamped) {
    const int n = 512;
    const auto f = BinGrid(48000, n);
    const Driver d = MakeDriver(f, [](double x) { return 1.0 / Cd(1.0, x / 3000.0); });
    const Result clamped = Build(d, 1.02f, 49000.0f, f, n);
    const Result outside = Build(d, 0.1f, 90000.0f, f, n);
    EXPECT_EQ(clamped.spectrum, outside.spectrum);
    EXPECT_EQ(clamped.db, outside.db);
}

TEST(MinPhaseTest, InvertedBandIsFlatWithZeroPhase) {
    const int n = 512;
    const auto f = BinGrid(48000, n);
    const Driver d = MakeDriver(f, [](double x) { return 1.0 / Cd(1.0, x / 3000.0); });
    const Result r = Build(d, 5000.0f, 200.0f, f, n);
    int first_above = 0;
    while (!(f[first_above] > 5000.0f)) ++first_above;
    for (int i = 0; i < 16 * n; ++i) {
        ASSERT_EQ(r.db[i], r.db[first_above]) << i;
        ASSERT_NEAR(r.PhaseAt(i), 0.0, 1e-6) << i;
    }
}

TEST(MinPhaseTest, PointsBeyondTheGridAreNotWritten) {
    const int n = 1024;
    const auto f = BinGrid(96000, n);
    const Driver d = MakeDriver(f, [](double x) { return 1.0 / Cd(1.0, x / 3000.0); });
    const Result r = Build(d, 20.0f, 20000.0f, f, n);
    for (int i = 16 * n; i < kDriverResponseBins; ++i) {
        ASSERT_EQ(r.spectrum[2 * i], 1.0f) << i;
        ASSERT_EQ(r.spectrum[2 * i + 1], 1.0f) << i;
    }
}

TEST(MinPhaseTest, SilentDriverAndBadBlockSize) {
    const int n = 512;
    const auto f = BinGrid(48000, n);
    const Driver silent = MakeDriver(f, [](double) { return Cd(0.0, 0.0); });
    const Result r = Build(silent, 20.0f, 20000.0f, f, n);
    for (int i = 0; i < 16 * n; ++i) {
        ASSERT_FLOAT_EQ(r.db[i], -160.0f);
        ASSERT_TRUE(std::isfinite(r.spectrum[2 * i]) && std::isfinite(r.spectrum[2 * i + 1]));
    }
    Result unused;
    EXPECT_EQ(BuildMinimumPhaseResponse(silent.re.data(), silent.im.data(), 20.0f, 20000.0f, f.data(), 8192,
                                        unused.db.data(), unused.spectrum.data()),
              1);
    EXPECT_EQ(BuildMinimumPhaseResponse(silent.re.data(), silent.im.data(), 20.0f, 20000.0f, f.data(), 0,
                                        unused.db.data(), unused.spectrum.data()),
              1);
}

TEST(MinPhaseTest, EndPointsOffTheGridAreRefused) {
    std::vector<float> f(20, 1.0f), level(20, 0.0f), phase(20);
    for (int i = 0; i < 20; ++i) f[i] = 10.0f * (i + 1);
    BodeIntegralConstants k = DriverEqBodeConstants(20);
    k.high_first = 25;
    EXPECT_EQ(BodePhase(f.data(), level.data(), 20, k, phase.data()), 1);
    EXPECT_EQ(BodePhaseLiteral(f.data(), level.data(), 20, k, phase.data()), 1);
    EXPECT_EQ(BodePhase(f.data(), level.data(), 1, DriverEqBodeConstants(1), phase.data()), 1);
}

}  // namespace
