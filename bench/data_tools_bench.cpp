// The loudspeaker data tools against their bounds:
//  - a 10,000-row measurement import at N = 4096 (parse once, bin both grids) under 0.5 s, beside the scan
//    that rereads the rows from the first for every bin;
//  - the linear Hilbert-Bode run at N = 4096 (131,072 points through the shared Bode kernel) under 1 s, beside
//    the literal term-by-term sum, timed at N = 512 and N = 1024 and scaled by M^2 to N = 4096;
//  - the diffraction run of Example 1 under 1 s, and the worst case the limits allow under 30 s: two drivers
//    of 177 piston points each (piston model 13), an outline of 300 edge elements, the Round profile (five
//    paths per element): 531,354 tones at each of 131,072 bins; beside the term-by-term sum of Example 1.
// Build without sanitizers for meaningful figures (scripts/bench data_tools_bench).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "engine/min_phase.h"
#include "tools/baffle_geometry.h"
#include "tools/diffraction_run.h"
#include "tools/driver_fields.h"
#include "tools/edge_diffraction.h"
#include "tools/hilbert_bode.h"
#include "tools/measurement_import.h"

namespace {

std::vector<float> LogGrid() {
    std::vector<float> g(kLogGridPoints);
    for (int i = 0; i < kLogGridPoints; ++i) g[i] = static_cast<float>(10.0 * std::pow(5000.0, (i - 699) / 2000.0));
    return g;
}

std::vector<float> BinGrid(int n, double fs = 48000.0) {
    std::vector<float> g(kLinGridPoints);
    for (int k = 0; k < kLinGridPoints; ++k) g[k] = static_cast<float>(k * fs / (8.0 * n));
    g[0] = 0.01f;
    return g;
}

std::unique_ptr<HV_Driver_Data> NewDriver() {
    auto d = std::make_unique<HV_Driver_Data>();
    SetDriverRecordDefaults(d.get());
    return d;
}

// ---- Import ----

std::string ImportText() {
    std::string t = "* generated\r\n* Freq  SPL  Phase\r\n";
    char line[96];
    for (int r = 0; r < 10000; ++r) {
        const double f = 10.0 * std::pow(2000.0, r / 9999.0);
        std::snprintf(line, sizeof line, "%.4f  %.3f  %.3f\r\n", f, 85.0 + 3.0 * std::sin(r * 0.01), -90.0 + 0.01 * r);
        t += line;
    }
    return t;
}

void BM_Import10000RowsN4096(benchmark::State& state) {
    const std::string text = ImportText();
    const std::vector<float> log = LogGrid(), bins = BinGrid(4096);
    auto d = NewDriver();
    ImportConversion c;
    c.member = ImportMember::kLms;
    c.columns.erase_lines = 2;
    c.log_table = log.data();
    c.bin_table = bins.data();
    c.block_frames = 4096;
    for (auto _ : state) benchmark::DoNotOptimize(ConvertImportFile(text.data(), text.size(), c, d.get(), nullptr));
}
BENCHMARK(BM_Import10000RowsN4096)->Unit(benchmark::kMillisecond);

void BM_ImportBinningLiteralN4096(benchmark::State& state) {
    const std::string text = ImportText();
    const std::vector<float> log = LogGrid(), bins = BinGrid(4096);
    std::vector<ImportRow> rows;
    ImportColumns columns;
    ParseImportRows(text.data(), text.size(), ImportDataStart(text.data(), text.size(), 2), columns, &rows, nullptr);
    std::vector<float> spl(kLinGridPoints), phase(kLinGridPoints);
    for (auto _ : state) {
        BinImportRowsLiteral(rows.data(), rows.size(), log.data(), kLogGridPoints - 1, {}, spl.data(), phase.data());
        BinImportRowsLiteral(rows.data(), rows.size(), bins.data(), 8 * 4096 + 1, {}, spl.data(), phase.data());
    }
}
BENCHMARK(BM_ImportBinningLiteralN4096)->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- Linear HBT ----

struct HbtFixture {
    std::vector<float> log = LogGrid(), bins, work = std::vector<float>(kLinGridPoints);
    std::unique_ptr<HV_Driver_Data> d = NewDriver();
    HbtContext cx;
    explicit HbtFixture(uint32_t size_index) : bins(BinGrid(512 << size_index)) {
        for (int k = 0; k < kLinGridPoints; ++k) {
            const std::complex<double> s(0.0, bins[k] / 50.0);
            d->spl_lin[k] = static_cast<float>(90.0 + 20.0 * std::log10(std::abs(s * s / (s * s + s / 0.7 + 1.0))));
        }
        std::strcpy(DriverHighPassStop(*d), "20");
        std::strcpy(DriverHighPassSlope(*d), "12");
        std::strcpy(DriverLowPassStart(*d), "20000");
        std::strcpy(DriverLowPassSlope(*d), "24");
        cx.log_table = log.data();
        cx.bin_table = bins.data();
        cx.HV_Buffer_Size = size_index;
        cx.HV_Sampling = 1;
        cx.HbtWorkCurve = work.data();
    }
};

void BM_LinearHbtN4096(benchmark::State& state) {
    HbtFixture x(3);
    for (auto _ : state) benchmark::DoNotOptimize(RunLinearHbt(x.d.get(), x.cx, nullptr));
}
BENCHMARK(BM_LinearHbtN4096)->Unit(benchmark::kMillisecond);

// The literal sum of the same run: the work curve with its tails through BodePhaseLiteral.
double LiteralHbtSeconds(uint32_t size_index) {
    HbtFixture x(size_index);
    RunLinearHbt(x.d.get(), x.cx, nullptr);  // leaves the curve with its tails in the work array
    const int m = 32 * (512 << size_index);
    std::vector<float> phase(static_cast<std::size_t>(m));
    const auto t0 = std::chrono::steady_clock::now();
    BodePhaseLiteral(x.bins.data(), x.work.data(), m, LinearHbtConstants(m, 12.0, 24.0), phase.data());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// ---- Diffraction ----

struct DiffractionFixture {
    std::unique_ptr<BaffleRecord> baffle = std::make_unique<BaffleRecord>();
    std::unique_ptr<BaffleEdgePointList> points = std::make_unique<BaffleEdgePointList>();
    std::unique_ptr<BaffleEdgeElements> elements = std::make_unique<BaffleEdgeElements>();
    std::unique_ptr<HV_Driver_Data> d = NewDriver();
    std::vector<PlotCurve> curves = std::vector<PlotCurve>(15);
    std::vector<float> bins = BinGrid(512);
    ColourEntry colours[19] = {};
    DiffractionSettings settings;
    DiffractionRunState state;
    explicit DiffractionFixture(bool worst) {
        std::memset(baffle.get(), 0, sizeof *baffle);
        DriverMikeDistance(*d) = 100.0f;
        LoadBaffleExample1(baffle.get(), points.get(), d.get());
        if (worst) {
            // A notched 100 x 116 outline of exactly 300 edge points.
            const int nodes[8][2] = {{0, 0}, {100, 0}, {100, 116}, {60, 116}, {60, 32}, {40, 32}, {40, 116}, {0, 116}};
            for (int i = 0; i < 8; ++i) baffle->Nodes[i].x = nodes[i][0], baffle->Nodes[i].y = nodes[i][1];
            baffle->NodeCount = 8;
            std::strcpy(DriverEnclosureWidth(*d), "200");
            std::strcpy(DriverEnclosureHeight(*d), "200");
            DriverConfig(*d) = 1;
            baffle->Positions[0] = {20.0f, 50.0f, 0, 1};
            baffle->Positions[1] = {80.0f, 50.0f, 0, 1};
            settings.PistonPoints = 12;
            settings.BaffleEdgeType = 2;
            settings.DirectivityMode = 1;
        }
        state.curves = curves.data();
    }
    int Run() {
        return RunDiffraction(baffle.get(), points.get(), elements.get(), d.get(), settings, bins.data(), colours, &state, nullptr);
    }
};

void BM_DiffractionExample1(benchmark::State& state) {
    DiffractionFixture x(false);
    for (auto _ : state) benchmark::DoNotOptimize(x.Run());
}
BENCHMARK(BM_DiffractionExample1)->Unit(benchmark::kMillisecond);

void BM_DiffractionWorstCase(benchmark::State& state) {
    DiffractionFixture x(true);
    for (auto _ : state) benchmark::DoNotOptimize(x.Run());
}
BENCHMARK(BM_DiffractionWorstCase)->Unit(benchmark::kMillisecond);

// The term-by-term sum of Example 1 over a sample of bins, scaled to all of them.
double LiteralExample1Seconds() {
    DiffractionFixture x(false);
    PrepareBaffleEdges(x.baffle.get(), x.points.get(), x.elements.get(), nullptr);
    DiffractionDrivers drivers;
    CheckDiffractionDrivers(*x.d, *x.baffle, &drivers, nullptr);
    const DiffractionScene scene = MakeDiffractionScene(*x.baffle, *x.points, *x.elements, *x.d, x.settings);
    const auto piston = PistonGrid(drivers.radius, x.settings.PistonPoints);
    const int sample = 4096;
    std::complex<double> sink = 0.0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < sample; ++k) {
        std::complex<double> p = 0.0;
        for (const auto& o : piston) SumEdgeDiffraction(scene, 40 + o.u, 40 + o.v, x.bins[k * 32], &p);
        sink += p;
    }
    const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    benchmark::DoNotOptimize(sink);
    return t * 131072.0 / sample;
}

void PrintWorstCase() {
    DiffractionFixture x(true);
    PrepareBaffleEdges(x.baffle.get(), x.points.get(), x.elements.get(), nullptr);
    std::printf("worst case: %d edge elements, %zu piston points per driver, 2 drivers, Round profile\n",
                x.points->ElementCount, PistonGrid(12.5, 12).size());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintWorstCase();
    const double t512 = LiteralHbtSeconds(0), t1024 = LiteralHbtSeconds(1);
    std::printf("literal linear HBT: N = 512 %.2f s, N = 1024 %.2f s; scaled by M^2 to N = 4096: about %.0f s\n", t512,
                t1024, t1024 * 16.0);
    std::printf("literal diffraction sum, Example 1, all 131,072 bins: about %.2f s\n", LiteralExample1Seconds());
    return 0;
}
