// Times ComplexFft against FFTW's single-precision complex transform at the engine's sizes
// (2N = 1,024 .. 32,768 points, forward and inverse) and prints the ratios. FFTW runs with MEASURE plans and
// with PATIENT plans; every transform, ours and FFTW's, runs in place on a buffer aligned to 64 bytes.
// Build without sanitizers for meaningful figures, and repeat on a busy machine: scripts/bench fft_bench.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_report.h"
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

// The data of one benchmark: floats on a 64-byte boundary, the same for both libraries.
struct AlignedData {
    float* p;
    explicit AlignedData(int floats)
        : p(static_cast<float*>(std::aligned_alloc(64, (static_cast<size_t>(floats) * sizeof(float) + 63) / 64 * 64))) {
        if (!p) std::abort();
    }
    ~AlignedData() { std::free(p); }
    AlignedData(const AlignedData&) = delete;
    AlignedData& operator=(const AlignedData&) = delete;
};

// Repeated in-place transforms grow (forward) or shrink (scaled inverse) the data by sqrt(points) each time;
// left alone, the inverse would reach denormal numbers and time the processor's slow path instead of the
// transform. So every kRestorePeriod transforms the input is copied back, for both libraries alike.
constexpr int kRestorePeriod = 8;

void TimeComplexFft(benchmark::State& state, FftPath path) {
    const int points = static_cast<int>(state.range(0));
    const int sign = static_cast<int>(state.range(1));
    const auto input = RandomData(2 * points);
    AlignedData data(2 * points);
    std::memcpy(data.p, input.data(), input.size() * sizeof(float));
    PrepareFftTables(16 * 4096, g_bit_reverse.data(), g_twiddle.data());
    int count = 0;
    for (auto _ : state) {
        if (++count == kRestorePeriod) {
            std::memcpy(data.p, input.data(), input.size() * sizeof(float));
            count = 0;
        }
        ComplexFftOnPath(path, 2 * points, sign, data.p, g_bit_reverse.data(), g_twiddle.data());
        benchmark::DoNotOptimize(data.p);
        benchmark::ClobberMemory();
    }
    state.SetLabel(PathLabel(FftPathName(path)));
}

// The path ComplexFft takes here, the AVX2 path (taken on processors without AVX-512F) and the SSE2 path
// (taken on processors without AVX2). A path this processor lacks is skipped.
void TimeComplexFftIfAvailable(benchmark::State& state, FftPath path) {
    if (!FftPathAvailable(path)) {
        state.SkipWithError("path not available on this processor");
        for (auto _ : state) {
        }
        return;
    }
    TimeComplexFft(state, path);
}
void BM_ComplexFft(benchmark::State& state) { TimeComplexFft(state, FftChosenPath()); }
void BM_ComplexFftAvx2(benchmark::State& state) { TimeComplexFftIfAvailable(state, FftPath::kAvx2); }
void BM_ComplexFftSse2(benchmark::State& state) { TimeComplexFft(state, FftPath::kSse2); }

#ifdef HV_BENCH_FFTW
void TimeFftw(benchmark::State& state, unsigned flags, const char* label) {
    const int points = static_cast<int>(state.range(0));
    const int sign = static_cast<int>(state.range(1));
    AlignedData data(2 * points);
    auto* complex = reinterpret_cast<fftwf_complex*>(data.p);
    // Planning overwrites the buffer: the input goes in afterwards.
    fftwf_plan plan = fftwf_plan_dft_1d(points, complex, complex, sign < 0 ? FFTW_FORWARD : FFTW_BACKWARD, flags);
    const auto init = RandomData(2 * points);
    std::memcpy(data.p, init.data(), init.size() * sizeof(float));
    int count = 0;
    for (auto _ : state) {
        if (++count == kRestorePeriod) {
            std::memcpy(data.p, init.data(), init.size() * sizeof(float));
            count = 0;
        }
        fftwf_execute(plan);
        benchmark::DoNotOptimize(data.p);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    state.SetLabel(PathLabel(label));
}
void BM_FftwMeasure(benchmark::State& state) { TimeFftw(state, FFTW_MEASURE, "fftw measure"); }
void BM_FftwPatient(benchmark::State& state) { TimeFftw(state, FFTW_PATIENT, "fftw patient"); }
#endif

void Sizes(benchmark::internal::Benchmark* b) {
    for (int sign : {-1, 1})
        for (int points = 1024; points <= 32768; points *= 2) b->Args({points, sign});
}

BENCHMARK(BM_ComplexFft)->Apply(Sizes);
BENCHMARK(BM_ComplexFftAvx2)->Apply(Sizes);
BENCHMARK(BM_ComplexFftSse2)->Apply(Sizes);
#ifdef HV_BENCH_FFTW
BENCHMARK(BM_FftwMeasure)->Apply(Sizes);
BENCHMARK(BM_FftwPatient)->Apply(Sizes);
#endif

// ComplexFft's time over FFTW's per size and direction, against both kinds of plan.
class FftTableReporter : public TableReporter {
public:
    void Tables() override {
#ifdef HV_BENCH_FFTW
        std::printf("\nComplexFft (%s) against FFTW, ns a transform, 64-byte-aligned data\n",
                    PathLabel(FftPathName(FftChosenPath())).c_str());
        std::printf("%-8s %-8s %12s %12s %12s %12s %12s %10s %10s %10s %10s\n", "points", "dir", "ComplexFft", "AVX2",
                    "SSE2", "MEASURE", "PATIENT", "/MEASURE", "/PATIENT", "AVX2/PAT", "SSE2/PAT");
        for (int sign : {-1, 1}) {
            for (int points = 1024; points <= 32768; points *= 2) {
                char args[32];
                std::snprintf(args, sizeof args, "/%d/%d", points, sign);
                const double ours = Nanoseconds(std::string("BM_ComplexFft") + args);
                const double avx2 = Nanoseconds(std::string("BM_ComplexFftAvx2") + args);
                const double sse = Nanoseconds(std::string("BM_ComplexFftSse2") + args);
                const double measure = Nanoseconds(std::string("BM_FftwMeasure") + args);
                const double patient = Nanoseconds(std::string("BM_FftwPatient") + args);
                if (ours < 0) continue;
                auto ratio = [](double a, double b) { return a > 0 && b > 0 ? a / b : 0.0; };
                std::printf("%-8d %-8s %12.0f %12.0f %12.0f %12.0f %12.0f %10.2f %10.2f %10.2f %10.2f\n", points,
                            sign < 0 ? "forward" : "inverse", ours, avx2, sse, measure, patient, ratio(ours, measure),
                            ratio(ours, patient), ratio(avx2, patient), ratio(sse, patient));
            }
        }
#else
        std::printf("\nFFTW not found at build time: no ratios (install libfftw3-dev).\n");
#endif
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    FftTableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
