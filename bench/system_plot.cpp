// Times the portable part of a system plot paint at N = 4096 (32,769 bins): the bin-to-column map (binary
// search, and the literal linear search per bin it replaces) and the polylines of all 162 drawn curve slots.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "design/system_plot.h"

namespace {

constexpr int kN = 4096;
constexpr int kBins = 8 * kN + 1;

struct Grids {
    std::vector<float> bins, columns;
    Grids() : bins(kBins), columns(kPlotColumnCount) {
        for (int k = 0; k < kBins; ++k) bins[k] = static_cast<float>(k * 48000.0 / (8.0 * kN));
        bins[0] = 0.01f;
        for (int j = 0; j < kPlotColumnCount; ++j) columns[j] = static_cast<float>(10.0 * std::pow(5000.0, j / 2000.0));
    }
};

void BM_MapBinsToColumns(benchmark::State& state) {
    Grids g;
    std::vector<int32_t> column(kBins);
    for (auto _ : state) {
        MapBinsToColumns(g.bins.data(), kBins, g.columns.data(), column.data());
        benchmark::DoNotOptimize(column.data());
    }
}
BENCHMARK(BM_MapBinsToColumns)->Unit(benchmark::kMillisecond);

void BM_MapBinsToColumnsLiteral(benchmark::State& state) {
    Grids g;
    std::vector<int32_t> column(kBins);
    for (auto _ : state) {
        MapBinsToColumnsLiteral(g.bins.data(), kBins, g.columns.data(), column.data());
        benchmark::DoNotOptimize(column.data());
    }
}
BENCHMARK(BM_MapBinsToColumnsLiteral)->Unit(benchmark::kMillisecond);

// Every drawn slot visible: the map once, then one polyline per slot.
void BM_AllCurvePolylines(benchmark::State& state) {
    Grids g;
    std::vector<int32_t> column(kBins);
    std::vector<float> values(kBins);
    for (int k = 0; k < kBins; ++k) values[k] = static_cast<float>(-20.0 * std::log10(1.0 + k / 500.0));
    const PlotGeometry geometry = MakePlotGeometry(1600, 900, 10, 50000, 5);
    std::vector<PlotPoint> points;
    for (auto _ : state) {
        MapBinsToColumns(g.bins.data(), kBins, g.columns.data(), column.data());
        size_t total = 0;
        for (int slot : PlotSlotOrder()) {
            BuildCurvePolyline(geometry, values.data(), column.data(), kBins, PlotSlotIsPhase(slot), &points);
            total += points.size();
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_AllCurvePolylines)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
