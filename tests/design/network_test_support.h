#pragma once
// Helpers shared by the validation, solver and preset tests: heap records, a small schematic builder, the
// bin grid and the solver's output buffers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <vector>

#include "design/network_model.h"
#include "design/network_solver.h"
#include "design/network_validation.h"

namespace nettest {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Heap = std::unique_ptr<T, FreeDeleter>;

// Records are 33.7 MB: calloc keeps untouched pages free until they are written.
template <class T>
Heap<T> Alloc() {
    void* p = std::calloc(1, sizeof(T));
    if (!p) std::abort();
    return Heap<T>(static_cast<T*>(p));
}

template <class T>
Heap<T> AllocArray(std::size_t count) {
    void* p = std::calloc(count, sizeof(T));
    if (!p) std::abort();
    return Heap<T>(static_cast<T*>(p));
}

// A fresh WorkingNetwork with the reset defaults.
inline Heap<WorkingNetwork> NewNetwork() {
    auto net = Alloc<WorkingNetwork>();
    ResetWorkingNetwork(net.get());
    return net;
}

// Zeroes the network part of a record (counts, parameters, wires, joints, elements), leaving the large
// response arrays alone: enough for the passes that read only the schematic.
inline void ZeroSchematic(PaneRecord* r) {
    std::memset(static_cast<void*>(r), 0, offsetof(PaneRecord, element_responses));
}

// The nine panes of a system; all-zero (every element list empty) unless `cleared` asks for the clear
// defaults.
struct Panes {
    Heap<PaneRecord> pane[kPaneCount];
    PaneRecord* ptr[kPaneCount];
    explicit Panes(bool cleared = false) {
        for (int i = 0; i < kPaneCount; ++i) {
            pane[i] = Alloc<PaneRecord>();
            ptr[i] = pane[i].get();
        }
        if (cleared) ClearAllPaneRecords(ptr);
    }
    PaneRecord& operator[](int n) { return *ptr[n - 1]; }  // pane n = 1..9
    const PaneRecord* const* Const() const { return ptr; }
};

// Places elements and wires on the grid the way the editor does: terminal 2 of a filter or room-EQ block at
// (x + 40, y), of an output port at (x, y + 40), of a point kind on terminal 1.
class Builder {
public:
    explicit Builder(PaneRecord* net) : net_(net) {}
    int Add(int32_t kind, int32_t x, int32_t y) {
        const int i = static_cast<int>(net_->element_count);
        NetworkElement& e = net_->elements[i];
        e.kind = kind;
        e.x1 = x;
        e.y1 = y;
        e.x2 = x;
        e.y2 = y;
        if (kind == FilterBlock || kind == RoomEqBlock) e.x2 = x + 40;
        if (kind == OutputPort) e.y2 = y + 40;
        net_->element_count = static_cast<uint32_t>(i + 1);
        return i;
    }
    void Wire(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        ::Wire& w = net_->wires[net_->wire_count++];
        w.x1 = x1;
        w.y1 = y1;
        w.x2 = x2;
        w.y2 = y2;
    }
    float* P(int element) { return net_->params[element].p; }

private:
    PaneRecord* net_;
};

// BinFrequencyTable for N at the given rate: k * fs / (8N), bin 0 at 0.01 Hz.
inline std::vector<float> BinFrequencies(int block_frames, double rate = 48000.0) {
    std::vector<float> f(static_cast<size_t>(8 * block_frames + 1));
    for (size_t k = 0; k < f.size(); ++k) f[k] = static_cast<float>(static_cast<double>(k) * rate / (8.0 * block_frames));
    f[0] = 0.01f;
    return f;
}

// Every buffer the solver writes, sized for N.
struct SolverBuffers {
    int bins;
    std::vector<ComplexF> spectrum[kOutputCount];
    std::vector<ComplexF> phase_reference[kOutputCount];
    std::vector<ComplexF> electrical[kOutputCount];
    std::vector<ComplexF> acoustic[kOutputCount];
    std::vector<ComplexF> min_phase;
    int32_t polarity[kOutputCount];
    float delay[kOutputCount];
    int32_t cabs_enabled[kOutputCount];
    int32_t cabs_samples[kOutputCount];
    int32_t element_index[kOutputCount];
    Heap<PlotCurve> curve_table = AllocArray<PlotCurve>(kPlotCurveSlots);  // pages are touched only where written
    PlotCurve* curves = curve_table.get();
    ColourEntry colours[kColourSchemeEntries];
    std::vector<float> frequencies;
    SolverOutputs out;
    SolverInputs in;

    explicit SolverBuffers(int block_frames) : bins(8 * block_frames + 1) {
        for (int o = 0; o < kOutputCount; ++o) {
            spectrum[o].assign(kSolverSpectrumPoints + 16, ComplexF{1.0f, 0.0f});
            phase_reference[o].assign(kSolverSpectrumPoints + 16, ComplexF{1e-7f, 0.0f});
            electrical[o].assign(static_cast<size_t>(bins), ComplexF{0.0f, 0.0f});
            acoustic[o].assign(static_cast<size_t>(bins), ComplexF{0.0f, 0.0f});
            out.output_spectrum[o] = &spectrum[o].data()->re;
            out.phase_reference_spectrum[o] = &phase_reference[o].data()->re;
            out.electrical_response[o] = &electrical[o].data()->re;
            out.acoustic_response[o] = &acoustic[o].data()->re;
            polarity[o] = 7;
            delay[o] = 7.0f;
            cabs_enabled[o] = 7;
            cabs_samples[o] = 7;
            element_index[o] = 7;
        }
        min_phase.assign(kSolverSpectrumPoints, ComplexF{3.0f, 3.0f});
        for (int e = 0; e < kColourSchemeEntries; ++e) colours[e] = ColourEntry{10 * e, 10 * e + 1, 10 * e + 2, 10 * e + 3, 10 * e + 4};
        frequencies = BinFrequencies(block_frames);
        out.output_polarity = polarity;
        out.output_delay_ms = delay;
        out.cabs_enabled = cabs_enabled;
        out.cabs_delay_samples = cabs_samples;
        out.output_element_index = element_index;
        out.curves = curves;
        out.min_phase_work_spectrum = &min_phase.data()->re;
        in.block_frames = block_frames;
        in.bin_frequency = frequencies.data();
        in.colour_scheme = colours;
    }
};

}  // namespace nettest
