#include "tools/ir_view_build.h"

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "panels/play_sequence.h"
#include "tools/ir_export.h"
#include "tools/ir_file_writer.h"

namespace {

constexpr long kIrWindowFloats = 1072000;
constexpr long kOutputTaperFloats = 262144;
constexpr int kLongerFftPoints = 0x40000;
constexpr int kShorterFftPoints = 0x20000;

FftTables SharedFft() {
    FftTables t;
    t.bit_reverse = FftBitReverseTable;
    t.twiddle = FftTwiddleTable;
    return t;
}

bool Valid(int o) { return o >= 0 && o < kOutputCount && IrExportBuffers[0]; }

}  // namespace

IrPreviewBuffers IrPreviewBuffersOfGlobals() {
    IrPreviewBuffers b;
    b.IrWindow = IrWindow;
    b.IrWindowFloats = kIrWindowFloats;
    for (int o = 0; o < kOutputCount; ++o) {
        b.OutputTaper[o] = OutputTaper[o];
        b.OutputImpulseResponse[o] = OutputImpulseResponse[o];
    }
    b.OutputTaperFloats = kOutputTaperFloats;
    b.IrWorkBuffer = IrExportBuffers[0];
    b.IrShiftBuffer = IrExportBuffers[1];
    b.fft = SharedFft();
    return b;
}

namespace {

// Output o with the dialog's window length and type; `store` keeps the response in OutputImpulseResponse.
void BuildWithDialogWindow(int o, bool store) {
    if (!Valid(o)) return;
    IrPreviewBuffers b = IrPreviewBuffersOfGlobals();
    BuildIrPreview(GlobalSynthesisInputs(), WideWindow, b, o, static_cast<int32_t>(IrDialog.IrWindowLength),
                   static_cast<int32_t>(IrDialog.IrWindowTypeSelection), store);
}

// Output o with its own IrWindowSettings entry, the window the summary lists and the engine's filter uses.
void BuildWithStoredWindow(int o, bool store) {
    if (!Valid(o)) return;
    const IrWindowEntry& stored = pr_file->tail.IrWindowSettings[o];
    IrPreviewBuffers b = IrPreviewBuffersOfGlobals();
    BuildIrPreview(GlobalSynthesisInputs(), WideWindow, b, o, stored.length, stored.window_type, store);
}

}  // namespace

void BuildMainView() { BuildWithDialogWindow(static_cast<int>(IrDialog.IrOutput), true); }

void BuildResponsesToSave() {
    if (IrDialog.IrFileFormat == kIrWavStereoDifferent)
        BuildWithStoredWindow(static_cast<int>(IrDialog.IrSecondOutput), true);
    BuildWithStoredWindow(static_cast<int>(IrDialog.IrOutput), true);
}

void BuildWindowsOnly(int o) { BuildWithDialogWindow(o, false); }

void BuildSummaryView() { BuildWithStoredWindow(static_cast<int>(IrDialog.IrSummaryOutput), false); }

bool BuildDriverConvolution(int o, float* convolved) {
    if (!Valid(o) || !WorkingNet || !LogCurveTable) return false;
    const int element = OutputElementIndex[o];
    if (element < 0 || element >= kMaxElements) return false;
    IrPreviewBuffers b = IrPreviewBuffersOfGlobals();
    const int N = BlockFrames;
    if (ConvolveIrWithDriver(N, b, WorkingNet->driver_responses[element].re, convolved) != 0) return false;
    DriverConvolvedLogCurves(N, SampleRateOf(pr_file->tail.HV_Sampling), convolved, BinFrequencyTable,
                             LogFrequencyTable, FftWorkBuffer, SharedFft(), LogCurveTable[kIrDriverSplSlot].Values,
                             LogCurveTable[kIrDriverPhaseSlot].Values);
    return true;
}

bool BuildMinimumPhaseView(int o) {
    if (!Valid(o)) return false;
    IrPreviewBuffers b = IrPreviewBuffersOfGlobals();
    return BuildNonLinearisedPreview(GlobalSynthesisInputs(), WideWindow, b, o) == 0;
}

void IrLogSpectrumToSlots(const float* response, int spl_slot, int phase_slot) {
    const SystemTail& tail = pr_file->tail;
    const int N = BlockFrames;
    const double fs = SampleRateOf(tail.HV_Sampling);
    LogSpectrumRequest r;
    r.response = response;
    r.samples = 16 * N;
    r.fft_points = IrDialog.IrUseLongerFft ? kLongerFftPoints : kShorterFftPoints;
    r.sample_rate = fs;
    // The known delay of the build: the pre-shift of the method, or the centre of the linear-phase bell.
    const double shift = tail.SplOnlyEq != 1 ? 4.0 * N : IrMethod == 1 ? N / 4.0 : 128.0;
    r.delay_s = -shift / fs;
    r.limit_hz = fs / 2.0;
    r.scratch = FftWorkBuffer;
    r.fft = SharedFft();
    float* spl = LogCurveTable[spl_slot].Values;
    float* phase = LogCurveTable[phase_slot].Values;
    LogGridSpectrum(r, LogFrequencyTable, spl, phase);
    FillLogSplGaps(spl, kLogGridPoints);
    FillLogPhaseGaps(phase, kLogGridPoints);
}
