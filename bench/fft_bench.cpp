// Times ComplexFft against FFTW's single-precision complex transform at the engine's sizes
// (2N = 1,024 .. 32,768 points, forward and inverse) and prints the ratio of the two.
// Build without sanitizers for meaningful figures, and repeat on a busy machine, e.g.
//   cmake -S . -B build/bench -DHV_SANITIZE= -DCMAKE_BUILD_TYPE=Release && cmake --build build/bench --target fft_bench
//   build/bench/fft_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/fft.h"

#ifdef HV_BENCH_FFTW
#include <fftw3.h>
#endif

namespace {

std::vector<int32_t> g_bit_reverse(kFftTableEntries, 0);
std::vector<float> g_twiddle(kFftTableEntries, 0.0f);

std::vector<float> RandomData(int floats) {
    std::mt19937 rng(floats);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(floats);
    for (float& x : v) x = d(rng);
    return v;
}

// Repeated in-place transforms grow (forward) or shrink (scaled inverse) the data by sqrt(points) each time;
// left alone, the inverse would reach denormal numbers and time the processor's slow path instead of the
// transform. So every kRestorePeriod transforms the input is copied back, for both libraries alike.
constexpr int kRestorePeriod = 8;

void TimeComplexFft(benchmark::State& state, FftPath path) {
    const int points = static_cast<int>(state.range(0));
    const int sign = static_cast<int>(state.range(1));
    const auto input = RandomData(2 * points);
    auto data = input;
    PrepareFftTables(16 * 4096, g_bit_reverse.data(), g_twiddle.data());
    int count = 0;
    for (auto _ : state) {
        if (++count == kRestorePeriod) {
            std::memcpy(data.data(), input.data(), input.size() * sizeof(float));
            count = 0;
        }
        ComplexFftOnPath(path, 2 * points, sign, data.data(), g_bit_reverse.data(), g_twiddle.data());
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(FftPathName(path));
}

// The path ComplexFft takes here, and the SSE2 path that the program takes on processors without AVX2.
void BM_ComplexFft(benchmark::State& state) { TimeComplexFft(state, FftChosenPath()); }
void BM_ComplexFftSse2(benchmark::State& state) { TimeComplexFft(state, FftPath::kSse2); }

#ifdef HV_BENCH_FFTW
void BM_Fftw(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    const int sign = static_cast<int>(state.range(1));
    fftwf_complex* data = fftwf_alloc_complex(points);
    fftwf_plan plan = fftwf_plan_dft_1d(points, data, data, sign < 0 ? FFTW_FORWARD : FFTW_BACKWARD, FFTW_MEASURE);
    const auto init = RandomData(2 * points);
    std::memcpy(data, init.data(), init.size() * sizeof(float));
    int count = 0;
    for (auto _ : state) {
        if (++count == kRestorePeriod) {
            std::memcpy(data, init.data(), init.size() * sizeof(float));
            count = 0;
        }
        fftwf_execute(plan);
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}
#endif

void Sizes(benchmark::internal::Benchmark* b) {
    for (int sign : {-1, 1})
        for (int points = 1024; points <= 32768; points *= 2) b->Args({points, sign});
}

BENCHMARK(BM_ComplexFft)->Apply(Sizes);
BENCHMARK(BM_ComplexFftSse2)->Apply(Sizes);
#ifdef HV_BENCH_FFTW
BENCHMARK(BM_Fftw)->Apply(Sizes);
#endif

// Console output as usual, plus a table of ComplexFft time / FFTW time per size and direction at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With --benchmark_repetitions the fastest repetition counts: the least disturbed by other load.
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.iterations <= 0) continue;
            const auto it = ns_.find(r.benchmark_name());
            if (it == ns_.end() || r.GetAdjustedRealTime() < it->second) ns_[r.benchmark_name()] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
#ifdef HV_BENCH_FFTW
        std::printf("\nComplexFft on %s against FFTW\n%-8s %-8s %14s %14s %8s %12s %8s\n", FftPathName(FftChosenPath()),
                    "points", "dir", "ComplexFft ns", "FFTW ns", "ratio", "SSE2 ns", "ratio");
        for (int sign : {-1, 1}) {
            for (int points = 1024; points <= 32768; points *= 2) {
                char ours_name[64], sse_name[64], peer_name[64];
                std::snprintf(ours_name, sizeof ours_name, "BM_ComplexFft/%d/%d", points, sign);
                std::snprintf(sse_name, sizeof sse_name, "BM_ComplexFftSse2/%d/%d", points, sign);
                std::snprintf(peer_name, sizeof peer_name, "BM_Fftw/%d/%d", points, sign);
                const auto ours = ns_.find(ours_name);
                const auto sse = ns_.find(sse_name);
                const auto peer = ns_.find(peer_name);
                if (ours == ns_.end() || peer == ns_.end()) continue;
                const double sse_ns = sse == ns_.end() ? 0.0 : sse->second;
                std::printf("%-8d %-8s %14.0f %14.0f %8.2f %12.0f %8.2f\n", points, sign < 0 ? "forward" : "inverse",
                            ours->second, peer->second, ours->second / peer->second, sse_ns, sse_ns / peer->second);
            }
        }
#else
        std::printf("\nFFTW not found at build time: no ratios (install libfftw3-dev).\n");
#endif
    }

private:
    std::map<std::string, double> ns_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
