#pragma once
// The room equalizer's arithmetic over buffers of the program's sizes, for the tests and the benchmark: the
// curve table, the staging and scratch arrays, the FFT and minimum-phase work arrays, a network holding one
// room-EQ block, and the linear bin grid at 48 kHz of a chosen block size.
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/global_records.h"
#include "app/settings.h"
#include "design/network_model.h"
#include "engine/fft.h"
#include "measure/mls_analysis.h"
#include "measure/room_eq.h"
#include "tests/app/heap_record.h"

struct RoomEqTestBuffers {
    std::vector<PlotCurve> curves = std::vector<PlotCurve>(kRoomEqCurveCount);
    std::vector<float> bins = std::vector<float>(kRoomEqGridBins);
    std::vector<float> table = std::vector<float>(2 * 131080);
    std::vector<float> reference_db = std::vector<float>(kRoomEqGridBins);
    std::vector<float> reference_phase = std::vector<float>(kRoomEqGridBins);
    std::vector<float> fft = std::vector<float>(kMlsChannelSpan);
    std::vector<int32_t> bit_reverse = std::vector<int32_t>(kFftTableEntries);
    std::vector<float> twiddle = std::vector<float>(kFftTableEntries);
    std::vector<float> window = std::vector<float>(kMlsImpulseFloats);
    std::vector<float> shape = std::vector<float>(kMlsImpulseFloats);
    std::vector<float> input_db = std::vector<float>(kRoomEqGridBins);
    std::vector<float> spectrum = std::vector<float>(2 * 262144);
    HeapRecord<WorkingNetwork> net = AllocZeroed<WorkingNetwork>();
    ColourEntry colours[kColourSchemeEntries];
    int n = 4096;
    uint32_t size_index = 3;
    static constexpr int kBlock = 0;  // the room-EQ block's element

    // Block frames 512 << size_index at 48 kHz; the block is element 0 with p2 = 20, p3 = 200, no correction.
    explicit RoomEqTestBuffers(uint32_t size_index_ = 3) : n(512 << size_index_), size_index(size_index_) {
        for (int k = 0; k < kRoomEqGridBins; ++k) bins[k] = static_cast<float>(k * 48000.0 / (8.0 * n));
        bins[0] = 0.01f;
        for (int c = 0; c < kColourSchemeEntries; ++c) colours[c] = ColourEntry{c, 2 * c, 3 * c, 1 + c % 3, 1 + c % 3};
        net->elements[kBlock].kind = RoomEqBlock;
        float* p = Params();
        p[kParamLowEdge] = 20.0f;
        p[kParamHighEdge] = 200.0f;
        p[kParamPlotFlag] = kNoCorrectionOutput;
        for (ComplexPoint& c : net->element_responses[kBlock].points) c = ComplexPoint{1.0f, 0.0f};
    }
    float* Params() { return net->params[kBlock].p; }
    RoomEqBuffers Buffers(BodeMethod method = BodeMethod::kFast) {
        RoomEqBuffers b;
        b.curves = curves.data();
        b.bin_frequency = bins.data();
        b.block_frames = n;
        b.buffer_size_index = size_index;
        b.colours = colours;
        b.spectrum_table = table.data();
        b.reference_db = reference_db.data();
        b.reference_phase = reference_phase.data();
        b.fft = fft.data();
        b.fft_tables = FftTables{bit_reverse.data(), twiddle.data()};
        b.ir_window = window.data();
        b.ir_window_shape = shape.data();
        b.min_phase_db = input_db.data();
        b.min_phase_spectrum = spectrum.data();
        b.method = method;
        return b;
    }
    // The transforms' grid over these buffers.
    RoomEqTransformGrid Grid() {
        RoomEqTransformGrid g;
        g.bin_frequency = bins.data();
        g.block_frames = n;
        g.buffer_size_index = size_index;
        g.input_db = input_db.data();
        g.spectrum = spectrum.data();
        return g;
    }
    // Location L measured with the given level (dB re 90 dB) and phase (degrees) per bin frequency.
    template <typename Level, typename Phase>
    void SetLocation(int location, Level level, Phase phase) {
        PlotCurve& spl = curves[kRoomEqLocationSplSlot + location];
        PlotCurve& ph = curves[kRoomEqLocationPhaseSlot + location];
        for (int k = 0; k < kRoomEqGridBins; ++k) {
            spl.Values[k] = static_cast<float>(level(bins[k]));
            ph.Values[k] = static_cast<float>(phase(bins[k]));
        }
        spl.Visible = ph.Visible = 1.0f;
        spl.Trailer[0] = 1.0f;
    }
};
