// Times the MLS analysis of one captured buffer (split, start offset, two deconvolution passes per channel over
// 2^18 points, alignment) and Calculate SPL at complex smoothing level 8 with the system at N = 4096, in its fast
// form and in its literal form (every smoothing sum and log-grid search made afresh for each bin).
// Build without sanitizers for meaningful figures (scripts/bench).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "engine/fft.h"
#include "measure/mls_analysis.h"
#include "measure/mls_sequence.h"
#include "measure/mls_spl.h"

namespace {

constexpr int kOrder = 18;

struct Analysis {
    std::vector<uint32_t> bits = std::vector<uint32_t>(kMlsTableEntries);
    std::vector<int32_t> tagS = std::vector<int32_t>(kMlsTableEntries), tagL = std::vector<int32_t>(kMlsTableEntries);
    std::vector<uint8_t> stimulus = std::vector<uint8_t>(kMlsStimulusBytes);
    std::vector<uint8_t> capture = std::vector<uint8_t>(kMlsCaptureBytes);
    std::vector<float> hadamard = std::vector<float>(2144000), pass = std::vector<float>(2144000);
    std::vector<float> emphasis = std::vector<float>(1 << 20);
    std::vector<float> ref = std::vector<float>(kMlsImpulseFloats), in = std::vector<float>(kMlsImpulseFloats);
    std::vector<float> raw = std::vector<float>(kMlsImpulseFloats);
    std::vector<int32_t> bit_reverse = std::vector<int32_t>(kFftTableEntries);
    std::vector<float> twiddle = std::vector<float>(kFftTableEntries);

    // A 24-bit capture: the reference looped back, the measured channel 40 samples later at half the level.
    Analysis() {
        MlsStimulusSettings s;
        s.order = kOrder;
        s.capture24 = 1;
        MlsStimulusBuffers b;
        b.tables = Tables();
        b.stimulus = stimulus.data();
        b.hadamard = hadamard.data();
        b.emphasis = emphasis.data();
        b.reversed = ref.data();
        b.fft = FftTables{bit_reverse.data(), twiddle.data()};
        GenerateMlsStimulus(s, b);
        const auto* played = reinterpret_cast<const int32_t*>(stimulus.data());
        auto* heard = reinterpret_cast<int32_t*>(capture.data());
        const int frames = kMlsRenderPeriods * kMlsPeriodFrames;
        for (int f = 0; f < kMlsCapturePeriods * kMlsPeriodFrames; ++f) {
            heard[2 * f] = f < frames ? played[2 * f] : 0;
            heard[2 * f + 1] = (f >= 40 && f - 40 < frames) ? (played[2 * (f - 40) + 1] / 512) * 256 : 0;
        }
    }
    MlsTables Tables() { return MlsTables{bits.data(), tagS.data(), tagL.data()}; }
    MlsDeconvolutionBuffers Deconvolution() {
        MlsDeconvolutionBuffers b;
        b.tables = Tables();
        b.hadamard = hadamard.data();
        b.pass = pass.data();
        b.raw = raw.data();
        return b;
    }
    MlsAnalysisResult Run() {
        MlsSplitSettings split;
        split.capture24 = 1;
        return AnalyseMlsCapture(capture.data(), capture.size(), split, MlsStartOffset{}, kOrder, ref.data(), in.data(),
                                 Deconvolution(), nullptr);
    }
};

struct Spl {
    Analysis run;
    std::vector<float> window = std::vector<float>(kMlsImpulseFloats), window2 = std::vector<float>(kMlsImpulseFloats);
    std::vector<float> spectrum = std::vector<float>(2144000);
    std::vector<float> re = std::vector<float>(268000), im = std::vector<float>(268000), copy = std::vector<float>(268000),
                       phase = std::vector<float>(268000);
    std::vector<float> bin_normaliser = std::vector<float>(131072), log_normaliser = std::vector<float>(3100);
    std::vector<float> ref_log = std::vector<float>(6200), meas_log = std::vector<float>(6200), lf = std::vector<float>(3100);
    std::vector<CalPoint> mike = std::vector<CalPoint>(131072), preamp = std::vector<CalPoint>(131072);
    std::unique_ptr<HV_Driver_Data> driver = std::make_unique<HV_Driver_Data>();
    std::vector<PlotCurve> curves = std::vector<PlotCurve>(kMlsCurveSlots);
    uint32_t spl_slot = 0, phase_slot = 0;
    ColourEntry colours[19] = {};
    SplSettings s;

    Spl() {
        const MlsAnalysisResult r = run.Run();
        for (int i = 0; i < 3100; ++i) lf[i] = static_cast<float>(20.0 * std::pow(1000.0, (i - 699) / 2000.0));
        for (int k = 0; k < 131072; ++k) mike[k] = CalPoint{static_cast<float>(std::sin(k * 1e-4)), 3.0f};
        s.ref_peak = r.ref_peak;
        s.in_peak = r.in_peak;
        s.order = kOrder;
        s.sample_rate = 48000.0;
        s.cplx_smoothing = 8;
        s.spl_smoothing = 0;  // "1/6 oct": sixteen passes
        s.use_mike_cal = 1;
        s.system_bin_spacing = 48000.0 / (8 * 4096);
    }
    SplBuffers Buffers() {
        SplBuffers b;
        b.impulse_ref = run.ref.data();
        b.impulse_in = run.in.data();
        b.impulse_entries = run.in.size();
        b.ir_window = window.data();
        b.ir_window_two_sided = window2.data();
        b.spectrum = spectrum.data();
        b.re = re.data();
        b.im = im.data();
        b.copy = copy.data();
        b.ref_bin_phase = phase.data();
        b.ref_bin_normaliser = bin_normaliser.data();
        b.ref_log_normaliser = log_normaliser.data();
        b.ref_log_response = ref_log.data();
        b.meas_log_response = meas_log.data();
        b.log_frequency = lf.data();
        b.mike_cal = mike.data();
        b.preamp_cal = preamp.data();
        b.driver = driver.get();
        b.mls_curves = curves.data();
        b.spl_slot = &spl_slot;
        b.phase_slot = &phase_slot;
        b.colours = colours;
        b.fft = FftTables{run.bit_reverse.data(), run.twiddle.data()};
        return b;
    }
};

void BM_MlsAnalysis(benchmark::State& state) {
    Analysis a;
    for (auto _ : state) benchmark::DoNotOptimize(a.Run());
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
    Spl spl;
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
    Spl fast, literal;
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
