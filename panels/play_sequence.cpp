#include "panels/play_sequence.h"

#include <algorithm>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "design/network_model.h"
#include "design/network_solver.h"
#include "design/network_validation.h"
#include "design/schematic_labels.h"
#include "engine/filter_synthesis.h"
#include "engine/play_checks.h"

namespace {

constexpr long kIrWindowFloats = 1072000;
constexpr long kOutputTaperFloats = 262144;

constexpr uint16_t Configs(std::initializer_list<int> list) {
    uint16_t bits = 0;
    for (int s : list) bits = static_cast<uint16_t>(bits | (1u << s));
    return bits;
}

}  // namespace

// ---- Play checks ----------------------------------------------------------------------------------------

// ---- Pane schedule --------------------------------------------------------------------------------------

const PaneStep kPaneSteps[kSchedulePanes] = {
    {1, 60, "FL", "FL OK", Configs({0, 1, 2, 3, 4, 5, 6})},
    {2, 61, "CC", "CC OK", Configs({1, 3, 4, 5})},
    {3, 62, "FR", "FR OK", Configs({0, 1, 2, 3, 4, 5, 6})},
    {4, 63, "RL", "RL OK", Configs({1, 2, 3, 4, 5})},
    {5, 64, "SB", "SB OK", Configs({1, 3, 4, 5, 6})},
    {7, 65, "SB2", "SB2 OK", Configs({3, 4, 5, 6})},
    {6, 66, "RR", "RR OK", Configs({1, 2, 3, 4, 5})},
    {8, 67, "SL", "SL OK", Configs({4, 5})},
    {9, 68, "SR", "SR OK", Configs({4, 5})},
};

int PaneSchedule(uint32_t configuration, int panes[kSchedulePanes]) {
    if (configuration > 6) return 0;
    int n = 0;
    for (const PaneStep& step : kPaneSteps)
        if (step.configurations & (1u << configuration)) panes[n++] = step.pane;
    return n;
}

const PaneStep* PaneStepOf(int pane) {
    for (const PaneStep& step : kPaneSteps)
        if (step.pane == pane) return &step;
    return nullptr;
}

int PaneOfChannelButton(int id) {
    switch (id) {
    case 20001: return 1;  // "Front Left"
    case 20003: return 2;  // "Centre"
    case 20002: return 3;  // "Front Right"
    case 20004: return 4;  // "Rear Left"
    case 20006: return 5;  // "Sub"
    case 20005: return 6;  // "Rear Right"
    case 20007: return 7;  // "Sub 2"
    case 20008: return 8;  // "Side Left"
    case 20009: return 9;  // "Side Right"
    default: return 0;
    }
}

// ---- Recompute ------------------------------------------------------------------------------------------

RecomputeResult RecomputePane(int pane, MessageList* messages) {
    if (pane < 1 || pane > kPaneCount || !PaneRecords[pane - 1] || !WorkingNet) return RecomputeResult::kInvalid;
    ActivePane = pane;
    LoadPaneNetwork(*PaneRecords[pane - 1], WorkingNet);

    ValidationContext validation;
    validation.panes = PaneRecords;
    validation.output_mode = OutputMode;
    validation.curve_view_flags = CurveViewFlags;
    validation.routing_matrix = RoutingMatrix;
    validation.curves = PlotCurveTable;
    if (ValidateNetwork(*WorkingNet, validation, messages) != kValidationOk) return RecomputeResult::kInvalid;

    SolverInputs in;
    in.block_frames = BlockFrames;
    in.bin_frequency = BinFrequencyTable;
    in.spl_only_eq = pr_file->tail.SplOnlyEq;
    in.colour_scheme = ColourScheme;
    in.pane_name = PaneName(pane, BassMode);
    SolverOutputs out;
    for (int o = 0; o < kOutputCount; ++o) {
        out.output_spectrum[o] = OutputSpectrum[o];
        out.phase_reference_spectrum[o] = PhaseReferenceSpectrum[o];
        out.electrical_response[o] = PortElectricalResponse[o];
        out.acoustic_response[o] = PortAcousticResponse[o];
    }
    out.output_polarity = OutputPolarity;
    out.output_delay_ms = OutputDelayMs;
    out.cabs_enabled = CabsEnabled;
    out.cabs_delay_samples = CabsDelaySamples;
    out.output_element_index = OutputElementIndex;
    out.curves = PlotCurveTable;
    out.min_phase_work_spectrum = MinPhaseWorkSpectrum;
    if (SolveNetwork(WorkingNet, in, out, messages) != 0) return RecomputeResult::kUnsolvable;
    return RecomputeResult::kSolved;
}

void RefreshBlockGrid() { RebuildBinGrid(pr_file->tail.HV_Sampling, HV_Buffer_Size); }

// ---- Design panel helpers -------------------------------------------------------------------------------

int PaletteKindAt(int x, int y, int previous, bool* counts) {
    constexpr int kRow = 40;
    *counts = x > 0 && x < kRow && y > 0 && y < 6 * kRow;
    if (!*counts) return previous;
    if (y % kRow == 0) return previous;
    return y / kRow + 1;
}

void ClearPlots() {
    constexpr int kClearedBins = 65536;
    if (PlotCurveTable) ClearPlotCurves(PlotCurveTable, kPlotCurveSlots);
    for (int o = 0; o < kOutputCount; ++o) {
        if (OutputSpectrum[o]) std::fill(OutputSpectrum[o], OutputSpectrum[o] + 2 * kClearedBins, 0.0f);
        if (float* p = PhaseReferenceSpectrum[o]) {
            for (int k = 0; k < kClearedBins; ++k) {
                p[2 * k] = 1e-7f;
                p[2 * k + 1] = 0.0f;
            }
        }
    }
}

int RevalidateWorkingNetwork(MessageList* messages) {
    if (!WorkingNet) return kValidationRefused;
    ValidationContext validation;
    validation.panes = PaneRecords;
    validation.output_mode = OutputMode;
    validation.curve_view_flags = CurveViewFlags;
    validation.routing_matrix = RoutingMatrix;
    validation.curves = PlotCurveTable;
    return ValidateNetwork(*WorkingNet, validation, messages);
}

// ---- Filter banks ---------------------------------------------------------------------------------------

namespace {

// The synthesis scratch, taken once for the largest block and kept (nothing is reallocated while running).
float* SynthesisScratch(int which) {
    static std::vector<float> work(static_cast<size_t>(32 * kMaxBlockFrames) + 8, 0.0f);
    static std::vector<float> rotated(static_cast<size_t>(16 * kMaxBlockFrames) + 8, 0.0f);
    return which == 0 ? work.data() : rotated.data();
}

}  // namespace

namespace {

PlayRuleInputs RuleInputsOf(const PlaySettings& s) {
    PlayRuleInputs in;
    in.SystemConfiguration = s.SystemConfiguration;
    in.InputMode = s.InputMode;
    in.BassMode = s.BassMode;
    in.SampleRate = static_cast<uint32_t>(s.SampleRate < 0 ? 0 : s.SampleRate);
    in.BufferSizeIndex = s.HV_Buffer_Size;
    in.Capture24Bit = s.Capture24Bit;
    return in;
}

}  // namespace

std::string PlayRefusal(const PlaySettings& s) {
    std::string message;
    CheckPlayRules(RuleInputsOf(s), &message);
    return message;
}

std::string WavPlayRefusal(const PlaySettings& s) {
    // Rules 4 and 8 and the 16-bit capture rule, 13, are not the WAV panel's.
    constexpr uint32_t kNotForSongs = 1u << 3 | 1u << 7 | 1u << 12;
    std::string message;
    CheckPlayRules(RuleInputsOf(s), &message, kNotForSongs);
    return message;
}

FilterSynthesisInputs GlobalSynthesisInputs() {
    const SystemTail& tail = pr_file->tail;
    FilterSynthesisInputs in;
    in.N = BlockFrames;
    in.SampleRate = static_cast<float>(SampleRateOf(tail.HV_Sampling));
    in.SplOnlyEq = tail.SplOnlyEq;
    in.IrMethod = IrMethod;
    for (int o = 0; o < kOutputCount; ++o) {
        in.OutputSpectrum[o] = OutputSpectrum[o];
        in.PhaseReferenceSpectrum[o] = PhaseReferenceSpectrum[o];
    }
    in.OutputPolarity = OutputPolarity;
    in.OutputDelayMs = OutputDelayMs;
    return in;
}

void PrepareFilterBanks() {
    const SystemTail& tail = pr_file->tail;
    const FilterSynthesisInputs in = GlobalSynthesisInputs();

    FilterWindowSettings settings;
    settings.WideWindow = WideWindow;
    for (int o = 0; o < kOutputCount; ++o) {
        settings.TaperLength[o] = tail.IrWindowSettings[o].length;
        settings.TaperWindowType[o] = tail.IrWindowSettings[o].window_type;
    }
    FilterWindowBuffers windows;
    windows.IrWindow = IrWindow;
    windows.IrWindowFloats = kIrWindowFloats;
    for (int o = 0; o < kOutputCount; ++o) windows.OutputTaper[o] = OutputTaper[o];
    windows.OutputTaperFloats = kOutputTaperFloats;

    FilterSynthesisBuffers buf;
    buf.SynthesisWork = SynthesisScratch(0);
    buf.SynthesisRotated = SynthesisScratch(1);
    for (int b = 0; b < kFilterBankCount; ++b)
        for (int o = 0; o < kOutputCount; ++o)
            for (int p = 0; p < kPartitionCount; ++p) buf.FilterPartitionBank[b][o][p] = FilterPartitionBank[b][o][p];
    buf.fft.bit_reverse = reinterpret_cast<int32_t*>(FftBitReverseTable);
    buf.fft.twiddle = reinterpret_cast<float*>(FftTwiddleTable);
    // The user's SplOnlyEq is read, never changed: the forced pass is the engine's own argument.
    BuildFilterBanksForPlay(in, settings, windows, buf);
}
