#pragma once
// Buffers of the measurement functions at their program sizes, for the tests and the benchmarks: the sequence,
// stimulus and deconvolution buffers, and everything Calculate SPL reads and writes.
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "tests/app/heap_record.h"
#include "app/settings.h"
#include "engine/fft.h"
#include "measure/mls_analysis.h"
#include "measure/mls_sequence.h"
#include "measure/mls_spl.h"

struct MlsTestBuffers {
    std::vector<uint32_t> bits = std::vector<uint32_t>(kMlsTableEntries);
    std::vector<int32_t> tagS = std::vector<int32_t>(kMlsTableEntries);
    std::vector<int32_t> tagL = std::vector<int32_t>(kMlsTableEntries);
    std::vector<uint8_t> stimulus = std::vector<uint8_t>(kMlsStimulusBytes);
    std::vector<float> hadamard = std::vector<float>(2144000);
    std::vector<float> scratch = std::vector<float>(2144000);
    std::vector<float> emphasis = std::vector<float>(1 << 20);
    std::vector<float> ref = std::vector<float>(kMlsImpulseFloats);
    std::vector<float> in = std::vector<float>(kMlsImpulseFloats);
    std::vector<float> window = std::vector<float>(kMlsImpulseFloats);
    std::vector<float> window2 = std::vector<float>(kMlsImpulseFloats);
    std::vector<int32_t> bit_reverse = std::vector<int32_t>(kFftTableEntries);
    std::vector<float> twiddle = std::vector<float>(kFftTableEntries);

    MlsTables Tables() { return MlsTables{bits.data(), tagS.data(), tagL.data()}; }
    MlsStimulusBuffers Stimulus() {
        MlsStimulusBuffers b;
        b.tables = Tables();
        b.stimulus = stimulus.data();
        b.hadamard = hadamard.data();
        b.emphasis = emphasis.data();
        b.reversed = ref.data();
        b.fft = FftTables{bit_reverse.data(), twiddle.data()};
        return b;
    }
    MlsDeconvolutionBuffers Deconvolution() {
        MlsDeconvolutionBuffers b;
        b.tables = Tables();
        b.hadamard = hadamard.data();
        b.pass = scratch.data();
        b.raw = window.data();
        return b;
    }
};

// Calculate SPL's own arrays besides the impulse responses (which come from `mls`), a log grid from 20 Hz to
// 20 kHz, a zeroed driver record and curve table, and a colour scheme whose entry c is (c, 2c, 3c, c % 3, c % 4).
struct SplTestBuffers {
    MlsTestBuffers mls;
    std::vector<float> re = std::vector<float>(kMlsPassEntries), im = std::vector<float>(kMlsPassEntries);
    std::vector<float> copy = std::vector<float>(kMlsPassEntries), phase = std::vector<float>(kMlsPassEntries);
    std::vector<float> bin_normaliser = std::vector<float>(kSplLinearPoints);
    std::vector<float> log_normaliser = std::vector<float>(kSplLogPoints);
    std::vector<float> ref_log = std::vector<float>(2 * kSplLogPoints), meas_log = std::vector<float>(2 * kSplLogPoints);
    std::vector<float> lf = std::vector<float>(kSplLogPoints);
    std::vector<CalPoint> mike = std::vector<CalPoint>(kSplLinearPoints), preamp = std::vector<CalPoint>(kSplLinearPoints);
    HeapRecord<HV_Driver_Data> driver = AllocZeroed<HV_Driver_Data>();
    std::vector<PlotCurve> curves = std::vector<PlotCurve>(kMlsCurveSlots);
    uint32_t spl_slot = 0, phase_slot = 0;
    ColourEntry colours[kColourSchemeEntries];

    SplTestBuffers() {
        for (int i = 0; i < kSplLogPoints; ++i) lf[i] = static_cast<float>(20.0 * std::pow(1000.0, (i - 699) / 2000.0));
        for (int c = 0; c < kColourSchemeEntries; ++c) colours[c] = ColourEntry{c, 2 * c, 3 * c, c % 3, c % 4};
    }
    SplBuffers Buffers() {
        SplBuffers b;
        b.impulse_ref = mls.ref.data();
        b.impulse_in = mls.in.data();
        b.impulse_entries = mls.in.size();
        b.ir_window = mls.window.data();
        b.ir_window_two_sided = mls.window2.data();
        b.spectrum = mls.scratch.data();
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
        b.fft = FftTables{mls.bit_reverse.data(), mls.twiddle.data()};
        return b;
    }
};
