// Times SolveNetwork at N = 4096 (32,769 bins): the nine panes of "7.2 Home Theatre + BBM", a worst-case
// pane of 32 elements, and the literal matrix formulation on one two-way pane for comparison.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "design/design_presets.h"
#include "design/network_model.h"
#include "design/network_solver.h"

namespace {

constexpr int kN = 4096;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
std::unique_ptr<T, FreeDeleter> Alloc() {
    void* p = std::calloc(1, sizeof(T));
    if (!p) std::abort();
    return std::unique_ptr<T, FreeDeleter>(static_cast<T*>(p));
}

// Every buffer the solver writes, at their global sizes.
struct Buffers {
    std::vector<float> spectrum[kOutputCount], reference[kOutputCount];
    std::vector<float> electrical[kOutputCount], acoustic[kOutputCount];
    std::unique_ptr<PlotCurve, FreeDeleter> curves{static_cast<PlotCurve*>(std::calloc(kPlotCurveSlots, sizeof(PlotCurve)))};
    std::vector<float> frequencies;
    int32_t polarity[16], cabs[16], cabs_samples[16], element_index[16];
    float delay[16];
    ColourEntry colours[kColourSchemeEntries] = {};
    SolverInputs in;
    SolverOutputs out;
    Buffers() {
        for (int o = 0; o < kOutputCount; ++o) {
            spectrum[o].assign(2 * 262144, 0.0f);
            reference[o].assign(2 * 262144, 0.0f);
            electrical[o].assign(2 * 131074, 0.0f);
            acoustic[o].assign(2 * 131074, 0.0f);
            out.output_spectrum[o] = spectrum[o].data();
            out.phase_reference_spectrum[o] = reference[o].data();
            out.electrical_response[o] = electrical[o].data();
            out.acoustic_response[o] = acoustic[o].data();
        }
        if (!curves) std::abort();
        frequencies.resize(8 * kN + 1);
        for (size_t k = 0; k < frequencies.size(); ++k) frequencies[k] = static_cast<float>(k * 48000.0 / (8.0 * kN));
        frequencies[0] = 0.01f;
        out.output_polarity = polarity;
        out.output_delay_ms = delay;
        out.cabs_enabled = cabs;
        out.cabs_delay_samples = cabs_samples;
        out.output_element_index = element_index;
        out.curves = curves.get();
        in.block_frames = kN;
        in.bin_frequency = frequencies.data();
        in.colour_scheme = colours;
    }
};

using Network = std::unique_ptr<WorkingNetwork, FreeDeleter>;

// The nine panes of preset 237, each loaded into a WorkingNetwork of its own.
std::vector<Network>& HomeTheatrePanes() {
    static std::vector<Network> nets = [] {
        std::vector<std::unique_ptr<PaneRecord, FreeDeleter>> panes;
        PaneRecord* ptr[kPaneCount];
        for (int p = 0; p < kPaneCount; ++p) {
            panes.push_back(Alloc<PaneRecord>());
            ptr[p] = panes.back().get();
        }
        auto work = Alloc<WorkingNetwork>();
        BuildDesignPreset(*FindDesignPreset(237), work.get(), ptr);
        std::vector<Network> out;
        for (int p = 0; p < kPaneCount; ++p) {
            out.push_back(Alloc<WorkingNetwork>());
            LoadPaneNetwork(*ptr[p], out.back().get());
        }
        return out;
    }();
    return nets;
}

// 32 elements: input, a chain of 4 blocks, 8 branches of 2 blocks each into 8 outputs, 3 grounds.
Network& WorstCasePane() {
    static Network net = [] {
        Network n = Alloc<WorkingNetwork>();
        ResetWorkingNetwork(n.get());
        int e = 0;
        auto add = [&](int32_t kind, int n1, int n2) {
            n->elements[e].kind = kind;
            n->elements[e].node1 = n1;
            n->elements[e].node2 = n2;
            return e++;
        };
        const int ground0 = 21;
        add(InputTerminal, 0, 0);
        for (int k = 0; k < 4; ++k) add(FilterBlock, k, k + 1);
        int node = 5;
        for (int b = 0; b < 8; ++b) {
            add(FilterBlock, 4, node);
            add(FilterBlock, node, node + 1);
            const int out = add(OutputPort, node + 1, ground0 + b % 3);
            n->params[out].p[kParamOutputNumber] = static_cast<float>(b + 1);
            node += 2;
        }
        for (int g = 0; g < 3; ++g) add(Ground, ground0 + g, ground0 + g);
        for (int i = 0; i < e; ++i)
            if (n->elements[i].kind == FilterBlock) {
                float* p = n->params[i].p;
                p[kParamFilterFamily] = 1.0f;                    // Butterworth
                p[kParamFilterSlope] = i % 2 ? 4.0f : 9.0f;      // 48 dB/oct low and high
                p[kParamFilterFrequency] = 100.0f * static_cast<float>(i);
            }
        n->element_count = static_cast<uint32_t>(e);
        n->joint_count = 24;
        return n;
    }();
    return net;
}

void BM_SolveNinePanes72HomeTheatreBbm(benchmark::State& state) {
    auto& nets = HomeTheatrePanes();
    auto buf = std::make_unique<Buffers>();
    buf->in.thread_count = static_cast<int>(state.range(0));
    for (auto _ : state)
        for (auto& net : nets)
            if (SolveNetwork(net.get(), buf->in, buf->out, nullptr) != 0) state.SkipWithError("refused");
}
BENCHMARK(BM_SolveNinePanes72HomeTheatreBbm)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SolveWorstCasePane(benchmark::State& state) {
    auto& net = WorstCasePane();
    auto buf = std::make_unique<Buffers>();
    buf->in.thread_count = static_cast<int>(state.range(0));
    for (auto _ : state)
        if (SolveNetwork(net.get(), buf->in, buf->out, nullptr) != 0) state.SkipWithError("refused");
}
BENCHMARK(BM_SolveWorstCasePane)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LiteralFormulationTwoWayPane(benchmark::State& state) {
    auto& nets = HomeTheatrePanes();
    auto buf = std::make_unique<Buffers>();
    for (auto _ : state)
        if (SolveNetworkReference(nets[0].get(), buf->in, buf->out, nullptr) != 0) state.SkipWithError("refused");
}
BENCHMARK(BM_LiteralFormulationTwoWayPane)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LiteralFormulationWorstCasePane(benchmark::State& state) {
    auto& net = WorstCasePane();
    auto buf = std::make_unique<Buffers>();
    for (auto _ : state)
        if (SolveNetworkReference(net.get(), buf->in, buf->out, nullptr) != 0) state.SkipWithError("refused");
}
BENCHMARK(BM_LiteralFormulationWorstCasePane)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
