// Filter synthesis: closed-form FIRs of flat spectra, polarity and delay, partitions checked by an inverse DFT,
// and the whole chain against an independent double-precision synthesis with a naive inverse DFT.
#include "engine/filter_synthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "synthesis_rig.h"

namespace {

using Cd = std::complex<double>;
constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr int N = 512;

void ExpectSingleTap(const std::vector<double>& taps, int at, double value, double tolerance) {
    for (int j = 0; j < static_cast<int>(taps.size()); ++j) {
        ASSERT_NEAR(taps[j], j == at ? value : 0.0, tolerance) << "tap " << j;
    }
}

TEST(FilterSynthesis, ImpulseShifts) {
    EXPECT_EQ(ImpulseShift(0, 0, N), 4 * N);
    EXPECT_EQ(ImpulseShift(0, 1, N), 4 * N);
    EXPECT_EQ(ImpulseShift(1, 0, N), 128);
    EXPECT_EQ(ImpulseShift(1, 1, N), N / 4);
    EXPECT_EQ(ImpulseShift(1, 7, 4096), 1024);
}

TEST(FilterSynthesis, FlatMagnitudeOnlyGivesOneTapAtTheShift) {
    Synthesis s;
    s.in.SplOnlyEq = 1;
    s.SetWindow(4 * N);
    for (int j = 0; j < 16 * N; ++j) s.taper[3][2 * j] = s.taper[3][2 * j + 1] = 0.9f - 0.00001f * j;
    s.in.IrMethod = 0;
    ExpectSingleTap(s.Fir(3), 128, s.window[2 * 128] * s.taper[3][2 * 128], 1e-5);
    s.in.IrMethod = 1;
    ExpectSingleTap(s.Fir(3), N / 4, s.window[2 * (N / 4)] * s.taper[3][2 * (N / 4)], 1e-5);
}

TEST(FilterSynthesis, FlatPhaseLinearisedGivesMainTapAtTheMiddle) {
    Synthesis s;
    s.in.SplOnlyEq = 0;
    s.SetWindow(8 * N);
    const std::vector<double> taps = s.Fir(0);
    EXPECT_NEAR(taps[4 * N], std::cos(0.001) * s.window[2 * 4 * N], 1e-6);
    // The sin(0.001) part leaves an odd residue: with the Hermitian completion, tap 4N + m (before the
    // window) is -(2 sin 0.001 / 8N) x sum over k = 1..4N-1 of sin(2 pi m k / 8N).
    for (int m : {1, 2, 3, 10, 101, 1000, 2047}) {
        double sum = 0.0;
        for (int k = 1; k < 4 * N; ++k) sum += std::sin(kTwoPi * m * k / (8.0 * N));
        const double residue = -2.0 * std::sin(0.001) / (8.0 * N) * sum;
        EXPECT_NEAR(taps[4 * N + m], residue * s.window[2 * (4 * N + m)], 2e-7) << m;
        EXPECT_NEAR(taps[4 * N - m], -residue * s.window[2 * (4 * N - m)], 2e-7) << m;
    }
}

TEST(FilterSynthesis, PolarityNegatesEveryTap) {
    Synthesis s;
    s.SetWindow(8 * N);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (float& v : s.spectrum[2]) v = u(rng);
    for (float& v : s.reference[2]) v = u(rng);
    const std::vector<double> plus = s.Fir(2);
    s.polarity[2] = -1;
    const std::vector<double> minus = s.Fir(2);
    double peak = 0.0;
    for (int j = 0; j < 8 * N; ++j) {
        ASSERT_EQ(minus[j], -plus[j]) << j;
        peak = std::max(peak, std::fabs(plus[j]));
    }
    EXPECT_GT(peak, 0.01);
}

TEST(FilterSynthesis, WholeSampleDelayShiftsTheResponse) {
    Synthesis s;
    s.in.SplOnlyEq = 1;
    for (int j = 0; j < 16 * N; ++j) s.window[2 * j] = s.window[2 * j + 1] = 1.0f;  // no window: pure shift
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int k = 0; k <= 4 * N; ++k) {
        s.spectrum[1][2 * k] = u(rng);
        s.spectrum[1][2 * k + 1] = (k == 0 || k == 4 * N) ? 0.0f : u(rng);
    }
    const std::vector<double> base = s.Fir(1);
    for (int m : {1, 48, 480}) {
        s.delay_ms[1] = static_cast<float>(m * 1000.0 / 48000.0);
        const std::vector<double> shifted = s.Fir(1);
        for (int j = 0; j < 8 * N; ++j) ASSERT_NEAR(shifted[(j + m) % (8 * N)], base[j], 2e-4) << "delay " << m << " tap " << j;
    }
}

TEST(FilterSynthesis, PartitionsAreTheTransformsOfTheirTaps) {
    Synthesis s;
    s.SetWindow(8 * N);
    std::mt19937 rng(6);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (float& v : s.spectrum[5]) v = u(rng);
    const std::vector<double> taps = s.Fir(5);
    float* parts[kEnginePartitions];
    for (int p = 0; p < kEnginePartitions; ++p) parts[p] = s.buf.FilterPartitionBank[0][5][p];
    WriteFilterPartitions(s.buf, N, parts);
    // Naive inverse DFT of each partition in double precision.
    const int M = 2 * N;
    std::vector<Cd> twiddle(M);
    for (int i = 0; i < M; ++i) twiddle[i] = std::polar(1.0, kTwoPi * i / M);
    for (int p = 0; p < kEnginePartitions; ++p) {
        for (int n = 0; n < M; n += 3) {  // every third sample keeps the test quick
            Cd sum = 0.0;
            for (int k = 0; k < M; ++k) sum += Cd(parts[p][2 * k], parts[p][2 * k + 1]) * twiddle[(static_cast<long>(n) * k) % M];
            sum /= M;
            ASSERT_NEAR(sum.real(), n < N ? taps[p * N + n] : 0.0, 1e-5) << p << " " << n;
            ASSERT_NEAR(sum.imag(), 0.0, 1e-5);
        }
    }
}

// The whole chain for one output against the same steps in double precision with a naive inverse DFT.
std::vector<double> ReferenceFir(const Synthesis& s, int o) {
    const int points = 8 * N, half = 4 * N;
    std::vector<Cd> H(points);
    const double df = static_cast<float>(s.in.SampleRate / (8.0 * N));
    for (int k = 0; k <= half; ++k) {
        Cd h(s.spectrum[o][2 * k], s.spectrum[o][2 * k + 1]);
        if (s.in.SplOnlyEq == 0) {
            const Cd g(s.reference[o][2 * k], s.reference[o][2 * k + 1]);
            const double phase = g == Cd(0.0, 0.0) ? 0.0 : std::arg(g);
            h *= std::polar(1.0, -phase + 0.001);
        }
        h *= s.polarity[o];
        h *= std::polar(1.0, -kTwoPi * df * k * s.delay_ms[o] * 0.001);
        H[k] = h;
    }
    for (int k = half + 1; k < points; ++k) H[k] = std::conj(H[points - k]);
    std::vector<Cd> tw(points);
    for (int i = 0; i < points; ++i) tw[i] = std::polar(1.0, kTwoPi * i / points);
    const int shift = ImpulseShift(s.in.SplOnlyEq, s.in.IrMethod, N);
    std::vector<double> fir(points);
    for (int j = 0; j < points; ++j) {
        const int n = ((j - shift) % points + points) % points;
        Cd sum = 0.0;
        for (int k = 0; k < points; ++k) sum += H[k] * tw[(static_cast<long>(n) * k) % points];
        fir[j] = (sum / static_cast<double>(points)).real() * s.window[2 * j] * s.taper[o][2 * j];
    }
    return fir;
}

TEST(FilterSynthesis, MatchesDoublePrecisionSynthesis) {
    Synthesis s;
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const int o = 6;
    // A smooth random response and a phase reference whose real part is exactly 0 at some bins.
    for (int k = 0; k <= 4 * N; ++k) {
        const double f = static_cast<double>(k) / (4 * N);
        s.spectrum[o][2 * k] = static_cast<float>(std::cos(40 * f) + 0.1 * u(rng));
        s.spectrum[o][2 * k + 1] = static_cast<float>(std::sin(25 * f) + 0.1 * u(rng));
        s.reference[o][2 * k] = (k % 7 == 3) ? 0.0f : u(rng);
        s.reference[o][2 * k + 1] = (k % 11 == 5) ? 0.0f : u(rng);
    }
    s.reference[o][2 * 10] = 0.0f;  // both parts 0: phase 0
    s.reference[o][2 * 10 + 1] = 0.0f;
    s.polarity[o] = -1;
    s.delay_ms[o] = 0.37f;
    s.SetWindow(8 * N);
    for (uint32_t spl_only : {0u, 1u}) {
        s.in.SplOnlyEq = spl_only;
        const std::vector<double> got = s.Fir(o);
        const std::vector<double> want = ReferenceFir(s, o);
        double peak = 0.0;
        for (double v : want) peak = std::max(peak, std::fabs(v));
        ASSERT_GT(peak, 0.01);
        for (int j = 0; j < 8 * N; ++j) ASSERT_NEAR(got[j], want[j], 2e-5 * peak + 1e-7) << spl_only << " " << j;
    }
}

TEST(FilterSynthesis, SplOnlyEqCopiesBankZeroIntoBankOne) {
    Synthesis s;
    s.in.SplOnlyEq = 1;
    s.SetWindow(4 * N);  // magnitude-only windows end at 4N
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int o = 0; o < kEngineOutputs; ++o)
        for (float& v : s.spectrum[o]) v = u(rng);
    ASSERT_EQ(SynthesizeOutputFilters(s.in, s.buf), 0);
    for (int o = 0; o < kEngineOutputs; ++o) {
        for (int p = 0; p < kEnginePartitions; ++p) {
            const float* b0 = s.buf.FilterPartitionBank[0][o][p];
            const float* b1 = s.buf.FilterPartitionBank[1][o][p];
            bool any = false;
            for (int i = 0; i < 4 * N; ++i) {
                ASSERT_EQ(b0[i], b1[i]);
                if (p >= 4) {
                    ASSERT_EQ(b0[i], 0.0f);
                }
                any = any || b0[i] != 0.0f;
            }
            if (p < 4) {
                EXPECT_TRUE(any) << o << " " << p;
            }
        }
    }
    for (float v : s.work) ASSERT_EQ(v, 0.0f);  // the work buffer is left clear
}

TEST(FilterSynthesis, PhaseLinearisedLeavesBankOneAndTheSpectraAlone) {
    Synthesis s;
    s.SetWindow(8 * N);
    for (int o = 0; o < kEngineOutputs; ++o)
        for (int p = 0; p < kEnginePartitions; ++p) s.buf.FilterPartitionBank[1][o][p][5] = 42.0f;
    const std::vector<float> spectrum = s.spectrum[4];
    const std::vector<float> reference = s.reference[4];
    s.delay_ms[4] = 2.5f;
    ASSERT_EQ(SynthesizeOutputFilters(s.in, s.buf), 0);
    std::vector<float> first(s.buf.FilterPartitionBank[0][4][3], s.buf.FilterPartitionBank[0][4][3] + 4 * N);
    ASSERT_EQ(SynthesizeOutputFilters(s.in, s.buf), 0);
    for (int i = 0; i < 4 * N; ++i) ASSERT_EQ(first[i], s.buf.FilterPartitionBank[0][4][3][i]);
    EXPECT_EQ(s.spectrum[4], spectrum);
    EXPECT_EQ(s.reference[4], reference);
    for (int o = 0; o < kEngineOutputs; ++o)
        for (int p = 0; p < kEnginePartitions; ++p) ASSERT_EQ(s.buf.FilterPartitionBank[1][o][p][5], 42.0f);
}

}  // namespace

namespace {

// The window shapes in closed form: the impulse edge and the "Hanning" fade-in.
double ImpulseEdgeClosedForm(double t) { return 0.64125 + 0.48829 * std::cos(t) - 0.14128 * std::cos(2 * t) + 0.01168 * std::cos(3 * t); }
double HanningClosedForm(double t) { return 0.5 - 0.5 * std::cos(t); }

// Tap j of output o's FIR, read back through an inverse transform of partition j / N of bank b.
double TapFromBank(Synthesis& s, int b, int o, int j) {
    std::vector<float> part(s.buf.FilterPartitionBank[b][o][j / N], s.buf.FilterPartitionBank[b][o][j / N] + 4 * N);
    ComplexFft(4 * N, +1, part.data(), s.buf.fft.bit_reverse, s.buf.fft.twiddle);
    return part[2 * (j % N)];
}

TEST(BuildOutputFilters, MagnitudeOnlyFlatSpectrumWithTheRealWindows) {
    Synthesis s;
    s.in.SplOnlyEq = 1;
    s.in.IrMethod = 0;
    FilterWindowBuffers windows = WindowsOf(s);
    FilterWindowSettings settings = DefaultWindowSettings();
    settings.TaperLength[2] = 2048;  // K = 256: tap 128 lies inside this output's fade-in
    ASSERT_EQ(BuildOutputFilters(s.in, settings, windows, s.buf), 0);
    // Magnitude-only window: E(2 pi j / (8N - 1)); the default taper is 1.0 from point 32 on.
    const double edge = ImpulseEdgeClosedForm(kTwoPi / (8.0 * N - 1.0) * 128);
    EXPECT_NEAR(TapFromBank(s, 0, 0, 128), edge, 1e-5);
    EXPECT_NEAR(TapFromBank(s, 1, 0, 128), edge, 1e-5);
    EXPECT_NEAR(TapFromBank(s, 0, 0, 129), 0.0, 1e-5);
    const double taper = HanningClosedForm(kTwoPi / (2048 / 4 - 1) * 128);
    EXPECT_NEAR(TapFromBank(s, 0, 2, 128), edge * taper, 1e-5);
    EXPECT_LT(taper, 0.9);
    for (int o = 0; o < kEngineOutputs; ++o)
        for (int p = 4; p < kEnginePartitions; ++p)
            for (int i = 0; i < 4 * N; ++i) ASSERT_EQ(s.buf.FilterPartitionBank[1][o][p][i], 0.0f);
}

TEST(BuildOutputFilters, PlayBuildsMagnitudeOnlyBankOneAndTheUsersBankZero) {
    Synthesis s;
    s.in.SplOnlyEq = 0;  // the user's setting: phase-linearised
    FilterWindowBuffers windows = WindowsOf(s);
    ASSERT_EQ(BuildFilterBanksForPlay(s.in, DefaultWindowSettings(), windows, s.buf), 0);
    // Bank 0: main tap at 4N, cos(0.001) x E(0) = 0.9999995 x 0.99994.
    EXPECT_NEAR(TapFromBank(s, 0, 5, 4 * N), std::cos(0.001) * 0.99994, 2e-5);
    EXPECT_NEAR(TapFromBank(s, 0, 5, 128), 0.0, 1e-3);
    // Bank 1 kept the magnitude-only filters of the first pass: tap 128.
    EXPECT_NEAR(TapFromBank(s, 1, 5, 128), ImpulseEdgeClosedForm(kTwoPi / (8.0 * N - 1.0) * 128), 1e-5);
    EXPECT_NEAR(TapFromBank(s, 1, 5, 4 * N), 0.0, 1e-5);
    // Phase-linearised: the tapers stay 1.0 everywhere and the window spans 8N points.
    for (float v : s.taper[5]) ASSERT_EQ(v, 1.0f);
    EXPECT_EQ(s.window[2 * 8 * N], 0.0f);
}

}  // namespace

namespace {

// A phase reference of 0 + 1i is a phase of 90 degrees, not 0: the flat response turns by -90 degrees
// (+0.001 rad), so the main tap is cos(-pi/2 + 0.001) = sin(0.001) of the window instead of about 1.
TEST(FilterSynthesis, ReferenceWithZeroRealPartIsNinetyDegrees) {
    Synthesis s;
    s.SetWindow(8 * N);
    for (int k = 0; k <= 4 * N; ++k) {
        s.reference[0][2 * k] = 0.0f;
        s.reference[0][2 * k + 1] = 1.0f;
    }
    const std::vector<double> taps = s.Fir(0);
    EXPECT_NEAR(taps[4 * N], std::sin(0.001) * s.window[2 * 4 * N], 1e-6);
}

}  // namespace
