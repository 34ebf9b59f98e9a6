// Times BuildMinimumPhaseResponse (FFT-based Bode sum) against the literal term-by-term sum at N = 512 and
// N = 4096 (M = 65,536 bins), and prints how far the two results lie apart.
// Build without sanitizers for meaningful figures (see fft_bench.cpp).
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

#include "engine/min_phase.h"

namespace {

struct Fixture {
    std::vector<float> f = std::vector<float>(131072);
    std::vector<float> re = std::vector<float>(kDriverResponseBins), im = std::vector<float>(kDriverResponseBins);
    std::vector<float> db = std::vector<float>(kDriverResponseBins);
    std::vector<float> out = std::vector<float>(2 * kDriverResponseBins, 1.0f);
    explicit Fixture(int n) {
        for (int k = 0; k < 131072; ++k) f[k] = static_cast<float>(k * 48000.0 / (8.0 * n));
        f[0] = 0.01f;
        for (int k = 0; k < kDriverResponseBins; ++k) {
            const std::complex<double> s(0.0, f[k]);
            const auto h = (s * s / (s * s + 84.0 * s + 3600.0)) / (1.0 + s / 5000.0);
            re[k] = static_cast<float>(h.real());
            im[k] = static_cast<float>(h.imag());
        }
    }
};

void BM_MinPhaseFast(benchmark::State& state) {
    Fixture x(static_cast<int>(state.range(0)));
    for (auto _ : state)
        BuildMinimumPhaseResponse(x.re.data(), x.im.data(), 40.0f, 18000.0f, x.f.data(), static_cast<int>(state.range(0)),
                                  x.db.data(), x.out.data());
}

void BM_MinPhaseLiteral(benchmark::State& state) {
    Fixture x(static_cast<int>(state.range(0)));
    for (auto _ : state)
        BuildMinimumPhaseResponseLiteral(x.re.data(), x.im.data(), 40.0f, 18000.0f, x.f.data(),
                                         static_cast<int>(state.range(0)), x.db.data(), x.out.data());
}

BENCHMARK(BM_MinPhaseFast)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinPhaseLiteral)->Arg(512)->Arg(4096)->Iterations(1)->Unit(benchmark::kMillisecond);

void PrintAgreement(int n) {
    Fixture a(n), b(n);
    BuildMinimumPhaseResponse(a.re.data(), a.im.data(), 40.0f, 18000.0f, a.f.data(), n, a.db.data(), a.out.data());
    BuildMinimumPhaseResponseLiteral(b.re.data(), b.im.data(), 40.0f, 18000.0f, b.f.data(), n, b.db.data(), b.out.data());
    double deg = 0.0, db = 0.0;
    for (int i = 0; i < 16 * n; ++i) {
        const std::complex<double> p(a.out[2 * i], a.out[2 * i + 1]), q(b.out[2 * i], b.out[2 * i + 1]);
        deg = std::max(deg, std::fabs(std::arg(p / q)) * 180.0 / 3.14159265358979);
        db = std::max(db, std::fabs(20.0 * std::log10(std::abs(p) / std::abs(q))));
    }
    std::printf("N = %d: fast vs literal, largest difference %.5f degrees, %.6f dB\n", n, deg, db);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintAgreement(512);
    PrintAgreement(4096);
    return 0;
}
