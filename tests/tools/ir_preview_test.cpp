#include "tools/ir_preview.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/fft.h"
#include "engine/window_shapes.h"
#include "test_util.h"
#include "tools/ir_file_writer.h"

namespace {

using Cd = std::complex<double>;
constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr int N = 512;
constexpr double kFs = 48000.0;

struct Preview {
    std::vector<int32_t> bit_reverse = std::vector<int32_t>(kFftTableEntries, 0);
    std::vector<float> twiddle = std::vector<float>(kFftTableEntries, 0.0f);
    std::vector<std::vector<float>> spectrum, reference, taper, impulse;
    std::vector<float> window = std::vector<float>(64 * N), work = std::vector<float>(32 * N),
                       shift = std::vector<float>(16 * N);
    int32_t polarity[kEngineOutputs];
    float delay_ms[kEngineOutputs] = {};
    FilterSynthesisInputs in;
    IrPreviewBuffers buf;
    Preview() {
        spectrum.assign(kEngineOutputs, std::vector<float>(2 * (4 * N + 1)));
        reference.assign(kEngineOutputs, std::vector<float>(2 * (4 * N + 1)));
        taper.assign(kEngineOutputs, std::vector<float>(32 * N));
        impulse.assign(kEngineOutputs, std::vector<float>(64 * N, 7.0f));
        in.N = N;
        in.SampleRate = static_cast<float>(kFs);
        for (int o = 0; o < kEngineOutputs; ++o) {
            polarity[o] = 1;
            SetResponse(o, {1.0});
            for (int k = 0; k <= 4 * N; ++k) reference[o][2 * k] = 1.0f;
            in.OutputSpectrum[o] = spectrum[o].data();
            in.PhaseReferenceSpectrum[o] = reference[o].data();
            buf.OutputTaper[o] = taper[o].data();
            buf.OutputImpulseResponse[o] = impulse[o].data();
        }
        in.OutputPolarity = polarity;
        in.OutputDelayMs = delay_ms;
        buf.IrWindow = window.data();
        buf.IrWindowFloats = static_cast<long>(window.size());
        buf.OutputTaperFloats = 32 * N;
        buf.IrWorkBuffer = work.data();
        buf.IrShiftBuffer = shift.data();
        buf.fft = {bit_reverse.data(), twiddle.data()};
    }
    // The spectrum of a short FIR h (taps at samples 0, 1, ...) on the bins k fs / 8N.
    void SetResponse(int o, const std::vector<double>& h) {
        for (int k = 0; k <= 4 * N; ++k) {
            Cd x = 0.0;
            for (std::size_t m = 0; m < h.size(); ++m) x += h[m] * std::polar(1.0, -kTwoPi * k * double(m) / (8.0 * N));
            spectrum[o][2 * k] = static_cast<float>(x.real());
            spectrum[o][2 * k + 1] = static_cast<float>(x.imag());
        }
    }
    double Sample(int o, int n) const { return impulse[o][2 * n]; }
};

TEST(IrPreview, PreviewAndTextExportsMatchTheEngineFilterOfEveryWindowCase) {
    // The engine builds its bank from the same spectra; the taps of its partitions, transformed back, are
    // the preview's samples, and the text and CSV files saved from the preview hold every tap that plays:
    // line n is tap n, and each tap of the bank after the last line is 0.
    ScratchDir dir;
    std::vector<int32_t> br(kFftTableEntries, 0);
    std::vector<float> tw(kFftTableEntries, 0.0f);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (uint32_t spl_only : {0u, 1u}) {
        for (uint32_t wide : {0u, 1u}) {
            for (uint32_t method : {0u, 1u}) {
                Preview p;
                const int o = 5;
                for (float& v : p.spectrum[o]) v = u(rng);
                for (float& v : p.reference[o]) v = u(rng);
                p.delay_ms[o] = 0.37f;
                p.polarity[o] = -1;
                p.in.SplOnlyEq = spl_only;
                p.in.IrMethod = method;
                ASSERT_EQ(BuildIrPreview(p.in, wide, p.buf, o, 512, kWindowNuttall), 0);

                std::vector<float> ew(64 * N), work(32 * N), rot(16 * N);
                std::vector<std::vector<float>> et(kEngineOutputs, std::vector<float>(32 * N));
                std::vector<std::vector<float>> parts(2 * kEngineOutputs * kEnginePartitions, std::vector<float>(4 * N));
                FilterWindowSettings settings;
                settings.WideWindow = wide;
                for (int k = 0; k < kEngineOutputs; ++k) settings.TaperLength[k] = 512, settings.TaperWindowType[k] = kWindowNuttall;
                FilterWindowBuffers windows;
                windows.IrWindow = ew.data();
                windows.IrWindowFloats = static_cast<long>(ew.size());
                for (int k = 0; k < kEngineOutputs; ++k) windows.OutputTaper[k] = et[k].data();
                windows.OutputTaperFloats = 32 * N;
                FilterSynthesisBuffers sb;
                sb.SynthesisWork = work.data();
                sb.SynthesisRotated = rot.data();
                for (int b = 0; b < kEngineBanks; ++b)
                    for (int k = 0; k < kEngineOutputs; ++k)
                        for (int q = 0; q < kEnginePartitions; ++q)
                            sb.FilterPartitionBank[b][k][q] = parts[(b * kEngineOutputs + k) * kEnginePartitions + q].data();
                sb.fft = {br.data(), tw.data()};
                BuildOutputFilters(p.in, settings, windows, sb);
                double peak = 0.0;
                std::vector<float> bank(8 * N);
                for (int q = 0; q < kEnginePartitions; ++q) {
                    std::vector<float> x = parts[o * kEnginePartitions + q];
                    ComplexFft(4 * N, +1, x.data(), br.data(), tw.data());
                    for (int j = 0; j < N; ++j) {
                        bank[q * N + j] = x[2 * j];
                        ASSERT_NEAR(x[2 * j], p.Sample(o, q * N + j), 2e-6)
                            << spl_only << wide << method << " tap " << q * N + j;
                        peak = std::max(peak, std::fabs(p.Sample(o, q * N + j)));
                    }
                }
                EXPECT_GT(peak, 1e-3);
                IrWriteRequest r;
                r.left = p.impulse[o].data();
                r.N = N;
                r.SplOnlyEq = spl_only;
                r.WideWindow = wide;
                for (int format : {kIrRawText, kIrCsvCoefficients}) {
                    r.format = format;
                    ASSERT_EQ(WriteImpulseResponseFile(dir.File("taps.txt"), r, nullptr), 1);
                    std::ifstream f(dir.File("taps.txt"), std::ios::binary);
                    int n = 0, index = 0;
                    double tap = 0.0;
                    for (std::string line; std::getline(f, line); ++n) {
                        ASSERT_LT(n, 8 * N);
                        if (format == kIrCsvCoefficients) {
                            ASSERT_EQ(std::sscanf(line.c_str(), "b%d = %lf,", &index, &tap), 2) << line;
                            ASSERT_EQ(index, n);
                        } else {
                            ASSERT_EQ(std::sscanf(line.c_str(), "%lf", &tap), 1) << line;
                        }
                        ASSERT_NEAR(tap, bank[n], 2e-6) << spl_only << wide << method << format << " line " << n;
                    }
                    for (int j = n; j < 8 * N; ++j)
                        ASSERT_EQ(bank[j], 0.0f) << spl_only << wide << method << format << " tap not written " << j;
                }
                for (int j = 0; j < 32 * N; ++j) ASSERT_EQ(p.impulse[o][2 * j + 1], 0.0f);
                for (int j = 8 * N; j < 32 * N; ++j) ASSERT_EQ(p.impulse[o][2 * j], 0.0f);
            }
        }
    }
}

TEST(IrPreview, LinearPhaseResponseIsCentredAndTheLengthHasNoEffect) {
    Preview p;
    p.in.SplOnlyEq = 0;
    ASSERT_EQ(BuildIrPreview(p.in, 0, p.buf, 0, 256, kWindowHanning), 0);
    const std::vector<float> first = p.impulse[0];
    ASSERT_EQ(BuildIrPreview(p.in, 0, p.buf, 0, 4096, kWindowCosine9), 0);
    EXPECT_EQ(first, p.impulse[0]);
    for (int j = 0; j < 32 * N; ++j) ASSERT_EQ(p.taper[0][j], 1.0f);
    int peak = 0;
    for (int n = 0; n < 8 * N; ++n)
        if (std::fabs(p.Sample(0, n)) > std::fabs(p.Sample(0, peak))) peak = n;
    EXPECT_EQ(peak, 4 * N);
    EXPECT_NEAR(p.Sample(0, 4 * N), std::cos(0.001) * 0.99994, 1e-5);
}

TEST(IrPreview, HanningTaperOfMethodOne) {
    // L = 256, "Hanning": samples 0..31 are tapered by (1 - cos(2 pi n / 63)) / 2 and time zero sits at
    // sample 128. A delay of -100 samples puts the impulse at sample 28, inside the taper.
    Preview p;
    p.in.SplOnlyEq = 1;
    p.in.IrMethod = 0;
    p.delay_ms[2] = static_cast<float>(-100.0 / kFs * 1000.0);
    ASSERT_EQ(BuildIrPreview(p.in, 1, p.buf, 2, 256, kWindowHanning), 0);
    for (int n = 0; n < 32; ++n) EXPECT_NEAR(p.taper[2][2 * n], (1.0 - std::cos(kTwoPi * n / 63.0)) / 2.0, 2e-6) << n;
    EXPECT_EQ(p.taper[2][2 * 32], 1.0f);
    const double expect = (1.0 - std::cos(kTwoPi * 28 / 63.0)) / 2.0;  // the wide window is 1.0 there
    EXPECT_NEAR(p.Sample(2, 28), expect, 2e-3);
    // Without the delay, a three-tap response lands from sample 128 on, untouched by the taper.
    p.delay_ms[2] = 0.0f;
    p.SetResponse(2, {0.5, -0.25, 0.125});
    ASSERT_EQ(BuildIrPreview(p.in, 1, p.buf, 2, 256, kWindowHanning), 0);
    EXPECT_NEAR(p.Sample(2, 128), 0.5, 1e-5);
    EXPECT_NEAR(p.Sample(2, 129), -0.25, 1e-5);
    EXPECT_NEAR(p.Sample(2, 130), 0.125, 1e-5);
    EXPECT_NEAR(p.Sample(2, 127), 0.0, 1e-5);
}

TEST(IrPreview, NonLinearisedViewIsShiftedByOneSampleWithoutTaper) {
    Preview p;
    p.in.SplOnlyEq = 0;  // the view keeps the acoustic phase whatever the setting
    for (int k = 0; k <= 4 * N; ++k) p.reference[3][2 * k + 1] = 1.0f;  // a phase reference that would turn it
    p.SetResponse(3, {1.0, 0.5});
    for (float& v : p.taper[3]) v = 0.25f;
    ASSERT_EQ(BuildNonLinearisedPreview(p.in, 0, p.buf, 3), 0);
    std::vector<float> w(64 * N, 0.0f);
    FillImpulseWindow(1, 0, N, w.data());
    EXPECT_NEAR(p.work[2 * 1], 1.0 * w[2], 1e-5);
    EXPECT_NEAR(p.work[2 * 2], 0.5 * w[4], 1e-5);
    EXPECT_NEAR(p.work[0], 0.0, 1e-5);
    EXPECT_EQ(p.taper[3][0], 0.25f);  // no taper is built or applied
}

TEST(IrPreview, DriverConvolutionIsACircularConvolution) {
    Preview p;
    p.in.SplOnlyEq = 1;
    p.in.IrMethod = 1;
    p.SetResponse(0, {0.8, -0.3, 0.1});
    ASSERT_EQ(BuildIrPreview(p.in, 1, p.buf, 0, 256, kWindowHanning), 0);
    std::vector<double> h(8 * N);
    for (int n = 0; n < 8 * N; ++n) h[n] = p.work[2 * n];
    const std::vector<double> d = {0.6, 0.25, -0.2, 0.05};
    std::vector<float> driver(2 * 65536, 0.0f);
    for (int k = 0; k < 65536; ++k) {
        Cd x = 0.0;
        for (std::size_t m = 0; m < d.size(); ++m) x += d[m] * std::polar(1.0, -kTwoPi * k * double(m) / (8.0 * N));
        driver[k] = static_cast<float>(x.real());
        driver[65536 + k] = static_cast<float>(x.imag());
    }
    std::vector<float> out(32 * N, 9.0f);
    ASSERT_EQ(ConvolveIrWithDriver(N, p.buf, driver.data(), out.data()), 0);
    for (int n = 0; n < 8 * N; ++n) {
        double y = 0.0;
        for (std::size_t m = 0; m < d.size(); ++m) y += d[m] * h[(n - static_cast<int>(m) + 8 * N) % (8 * N)];
        ASSERT_NEAR(out[2 * n], y, 2e-6) << n;
    }
    for (int n = 8 * N; n < 16 * N; ++n) ASSERT_EQ(out[2 * n], 0.0f);
}

TEST(IrPreview, LogGridSpectrumOfADelayedImpulseAgainstItsClosedForm) {
    Preview p;
    std::vector<float> grid(3100);
    for (int i = 0; i < 3100; ++i) grid[i] = static_cast<float>(10.0 * std::pow(5000.0, (i - 699) / 2000.0));
    std::vector<float> ir(32 * N, 0.0f), scratch(2 * 0x20000);
    ir[2 * 5] = 0.5f;  // an impulse of 0.5 at sample 5
    std::vector<float> spl(3100, -160.0f), phase(3100, 0.0f);
    LogSpectrumRequest r;
    r.response = ir.data();
    r.samples = 16 * N;
    r.fft_points = 0x20000;
    r.sample_rate = kFs;
    r.limit_hz = kFs / 2;
    r.scratch = scratch.data();
    r.fft = p.buf.fft;
    LogGridSpectrum(r, grid.data(), spl.data(), phase.data());
    int reached = 0;
    for (int i = 0; i < 3100; ++i) {
        if (spl[i] == -160.0f) continue;
        ++reached;
        EXPECT_NEAR(spl[i], 20.0 * std::log10(0.5), 1e-4);
        EXPECT_LT(grid[i], 24000.0f);
        // The bin mapped here is the last one below grid[i]: its phase is that of a 5-sample delay.
        const double f = std::floor(grid[i] * 0x20000 / kFs - 1e-9) * kFs / 0x20000;
        const double expect = std::remainder(-kTwoPi * f * 5.0 / kFs, kTwoPi) * 57.288;
        EXPECT_NEAR(phase[i], expect, 2e-3) << i;
    }
    EXPECT_GT(reached, 1500);
    // Straightening the known delay leaves a phase of 0 everywhere (the real part is never exactly 0 here).
    r.delay_s = -5.0 / kFs;
    LogGridSpectrum(r, grid.data(), spl.data(), phase.data());
    for (int i = 0; i < 3100; ++i)
        if (spl[i] != -160.0f) {
            ASSERT_NEAR(phase[i], 0.0, 1e-3) << i << " " << grid[i];
        }
}

TEST(IrPreview, DriverConvolvedCurvesAreStraightenedByHalfTheResponse) {
    // An impulse at sample 4N, as a linear-phase build leaves it: flat SPL and zero phase once straightened.
    Preview p;
    std::vector<float> grid(3100), bins(131072), conv(32 * N, 0.0f), scratch(16 * N);
    for (int i = 0; i < 3100; ++i) grid[i] = static_cast<float>(10.0 * std::pow(5000.0, (i - 699) / 2000.0));
    for (int k = 0; k < 131072; ++k) bins[k] = static_cast<float>(k * kFs / (8.0 * N));
    bins[0] = 0.01f;
    conv[2 * 4 * N] = 2.0f;
    std::vector<float> spl(3100, 5.0f), phase(3100, 0.0f);
    DriverConvolvedLogCurves(N, kFs, conv.data(), bins.data(), grid.data(), scratch.data(), p.buf.fft, spl.data(),
                             phase.data());
    for (int i = 0; i < 3100; ++i) {
        if (grid[i - (i > 0)] > 47995.0f) {  // beyond the grid point of the last bin, (8N - 1) fs / 8N
            ASSERT_EQ(spl[i], -160.0f);
            continue;
        }
        ASSERT_NEAR(spl[i], 20.0 * std::log10(2.0), 1e-3) << i;
        // Bin 0 stands at 0.01 Hz, where the straightening turns it by 0.15 degrees.
        ASSERT_NEAR(phase[i], 0.0, i == 0 ? 0.16 : 0.01) << i;
    }
}

TEST(IrPreview, GapFillingOfLogCurves) {
    std::vector<float> spl = {-170.0f, -160.0f, -160.0f, 10.0f, -160.0f, 20.0f, -160.0f};
    FillLogSplGaps(spl.data(), 7);
    const std::vector<float> want = {-170.0f, -110.0f, -50.0f, 10.0f, 15.0f, 20.0f, -160.0f};
    for (int i = 0; i < 7; ++i) EXPECT_FLOAT_EQ(spl[i], want[i]) << i;
    std::vector<float> ph = {0.0f, 0.0f, 30.0f, 0.0f, 0.0f, -30.0f, 0.0f};
    FillLogPhaseGaps(ph.data(), 7);
    const std::vector<float> wp = {0.0f, 15.0f, 30.0f, 10.0f, -10.0f, -30.0f, 0.0f};
    for (int i = 0; i < 7; ++i) EXPECT_FLOAT_EQ(ph[i], wp[i]) << i;
}

}  // namespace
