// Times the MLS analysis of one captured buffer (split, start offset, two deconvolution passes per channel over
// 2^18 points, alignment) and Calculate SPL at complex smoothing level 8 with the system at N = 4096, in its fast
// form and in its literal form (every smoothing sum and log-grid search made afresh for each bin).
// Build without sanitizers for meaningful figures (scripts/bench).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "measure/mls_analysis.h"
#include "measure/mls_sequence.h"
#include "measure/mls_spl.h"
#include "tests/measure/mls_test_buffers.h"

namespace {

constexpr int kOrder = 18;

// A 24-bit capture: the reference looped back, the measured channel 40 samples later at half the level.
struct Analysis {
    MlsTestBuffers b;
    std::vector<uint8_t> capture = std::vector<uint8_t>(kMlsCaptureBytes);

    Analysis() {
        MlsStimulusSettings s;
        s.order = kOrder;
        s.capture24 = 1;
        GenerateMlsStimulus(s, b.Stimulus());
        const auto* played = reinterpret_cast<const int32_t*>(b.stimulus.data());
        auto* heard = reinterpret_cast<int32_t*>(capture.data());
        const int frames = kMlsRenderPeriods * kMlsPeriodFrames;
        for (int f = 0; f < kMlsCapturePeriods * kMlsPeriodFrames; ++f) {
            heard[2 * f] = f < frames ? played[2 * f] : 0;
            heard[2 * f + 1] = (f >= 40 && f - 40 < frames) ? (played[2 * (f - 40) + 1] / 512) * 256 : 0;
        }
    }
    MlsAnalysisResult Run(MlsTestBuffers& into) {
        MlsSplitSettings split;
        split.capture24 = 1;
        return AnalyseMlsCapture(capture.data(), capture.size(), split, MlsStartOffset{}, kOrder, into.ref.data(),
                                 into.in.data(), b.Deconvolution(), nullptr);
    }
};

// Calculate SPL on the responses of that capture: complex smoothing level 8, sixteen passes of curve smoothing,
// a microphone curve applied, the system at 48 kHz and N = 4096.
struct Spl : SplTestBuffers {
    SplSettings s;
    explicit Spl(Analysis& a) {
        const MlsAnalysisResult r = a.Run(mls);
        for (int k = 0; k < kSplLinearPoints; ++k) mike[k] = CalPoint{static_cast<float>(std::sin(k * 1e-4)), 3.0f};
        s.ref_peak = r.ref_peak;
        s.in_peak = r.in_peak;
        s.order = kOrder;
        s.sample_rate = 48000.0;
        s.cplx_smoothing = 8;
        s.spl_smoothing = 0;
        s.use_mike_cal = 1;
        s.system_bin_spacing = 48000.0 / (8 * 4096);
    }
};

void BM_MlsAnalysis(benchmark::State& state) {
    Analysis a;
    MlsTestBuffers out;
    for (auto _ : state) benchmark::DoNotOptimize(a.Run(out));
}

void BM_FastHadamard262144(benchmark::State& state) {
    std::vector<float> x(1 << kOrder);
    std::mt19937 random(1);
    for (float& v : x) v = static_cast<float>(random() % 2000) - 1000.0f;
    for (auto _ : state) {
        FastHadamardTransform(x.data(), 1 << kOrder);
        benchmark::ClobberMemory();
    }
}

void BM_CalculateSplLevel8(benchmark::State& state) {
    Analysis a;
    Spl spl(a);
    const auto method = state.range(0) ? SplMethod::kLiteral : SplMethod::kFast;
    for (auto _ : state) benchmark::DoNotOptimize(CalculateSpl(spl.s, spl.Buffers(), nullptr, method));
    state.SetLabel(state.range(0) ? "literal" : "fast");
}

BENCHMARK(BM_FastHadamard262144)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MlsAnalysis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalculateSplLevel8)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalculateSplLevel8)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// How far the two forms' results lie apart.
void PrintAgreement() {
    Analysis a;
    Spl fast(a), literal(a);
    CalculateSpl(fast.s, fast.Buffers(), nullptr, SplMethod::kFast);
    CalculateSpl(literal.s, literal.Buffers(), nullptr, SplMethod::kLiteral);
    double db = 0.0;
    for (int k = 0; k < 16384; ++k) db = std::fmax(db, std::fabs(fast.driver->spl_lin[k] - literal.driver->spl_lin[k]));
    for (int j = 0; j < 3100; ++j) db = std::fmax(db, std::fabs(fast.driver->spl_log[j] - literal.driver->spl_log[j]));
    std::printf("Calculate SPL, level 8, N = 4096: fast vs literal, largest SPL difference %.6f dB\n", db);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintAgreement();
    return 0;
}
