// What the data tools' windows compute between two pictures:
//  - one linear curve of the HBT editor or the diffraction plot: 65,536 bins placed on the 3100-point log grid
//    and reduced to the polyline that covers the same pixels (the editor draws four such curves per paint);
//  - the impulse-response optimisation at N = 4096: 49 candidate windows, each a build of the output's impulse
//    response (the engine's synthesis of 8N taps) and its spectrum on the log grid over 0x20000 points.
// Build without sanitizers for meaningful figures (scripts/bench tool_windows_bench).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/fft.h"
#include "tools/ir_export.h"
#include "tools/ir_preview.h"
#include "tools/tool_plot.h"

namespace {

std::vector<float> LogGrid() {
    std::vector<float> g(kToolPlotLogPoints);
    for (int i = 0; i < kToolPlotLogPoints; ++i) g[i] = static_cast<float>(10.0 * std::pow(5000.0, (i - 699) / 2000.0));
    return g;
}

void BM_LinearCurvePlacement(benchmark::State& state) {
    const int bins = 65536;
    const std::vector<float> log = LogGrid();
    std::vector<float> f(bins), v(bins);
    for (int k = 0; k < bins; ++k) {
        f[k] = static_cast<float>(k * 48000.0 / 8192.0);
        v[k] = static_cast<float>(200.0 + 50.0 * std::sin(k * 0.001));
    }
    f[0] = 0.01f;
    const ToolPlot p = MakeToolPlot(1000, 560);
    std::vector<int32_t> index(bins);
    for (auto _ : state) {
        MapBinsToLogIndex(f.data(), bins, log.data(), index.data());
        auto strokes = BuildLogIndexPolyline(p, index.data(), bins, [&](int k) { return ClampToolPlotY(p, v[k]); });
        benchmark::DoNotOptimize(strokes.data());
    }
}
BENCHMARK(BM_LinearCurvePlacement)->Unit(benchmark::kMillisecond);

void BM_IrOptimisation49CandidatesN4096(benchmark::State& state) {
    const int N = 4096;
    std::vector<float> spectrum(2 * (4 * N + 1)), reference(2 * (4 * N + 1), 1.0f);
    for (int k = 0; k <= 4 * N; ++k) {
        const double f = k * 48000.0 / (8.0 * N);
        spectrum[2 * k] = static_cast<float>(f * f / std::sqrt((f * f - 90000.0) * (f * f - 90000.0) + 1.8e5 * f * f + 1.0));
    }
    int32_t polarity[16];
    float delay[16] = {};
    for (int32_t& p : polarity) p = 1;
    FilterSynthesisInputs in;
    in.N = N;
    in.SampleRate = 48000.0f;
    in.SplOnlyEq = 1;
    in.IrMethod = 0;
    in.OutputSpectrum[0] = spectrum.data();
    in.PhaseReferenceSpectrum[0] = reference.data();
    in.OutputPolarity = polarity;
    in.OutputDelayMs = delay;
    std::vector<int32_t> bit_reverse(kFftTableEntries);
    std::vector<float> twiddle(kFftTableEntries);
    std::vector<float> window(64 * N), taper(64 * N), work(32 * N), shift(16 * N), response(64 * N),
        scratch(2 * 0x20000);
    IrPreviewBuffers b;
    b.IrWindow = window.data();
    b.IrWindowFloats = static_cast<long>(window.size());
    b.OutputTaper[0] = taper.data();
    b.OutputTaperFloats = static_cast<long>(taper.size());
    b.IrWorkBuffer = work.data();
    b.IrShiftBuffer = shift.data();
    b.OutputImpulseResponse[0] = response.data();
    b.fft.bit_reverse = bit_reverse.data();
    b.fft.twiddle = twiddle.data();
    const std::vector<float> log = LogGrid();
    std::vector<float> spl(kToolPlotLogPoints), phase(kToolPlotLogPoints);
    const IrCandidateList c = IrCandidatesOf(0, N);
    for (auto _ : state) {
        for (int i = 0; i < kIrCandidates; ++i) {
            BuildIrPreview(in, 1, b, 0, IrCandidateLength(c, i), 6, true);
            LogSpectrumRequest r;
            r.response = response.data();
            r.samples = 16 * N;
            r.fft_points = 0x20000;
            r.sample_rate = 48000.0;
            r.delay_s = -128.0 / 48000.0;
            r.limit_hz = 24000.0;
            r.scratch = scratch.data();
            r.fft = b.fft;
            LogGridSpectrum(r, log.data(), spl.data(), phase.data());
            FillLogSplGaps(spl.data(), kToolPlotLogPoints);
            FillLogPhaseGaps(phase.data(), kToolPlotLogPoints);
        }
        benchmark::DoNotOptimize(spl.data());
    }
}
BENCHMARK(BM_IrOptimisation49CandidatesN4096)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
