// The Play steps that reach into the engine: its rules and both filter banks (kept apart from the recompute:
// the solver's and the engine's headers each name the largest block size).
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "engine/filter_synthesis.h"
#include "engine/play_checks.h"
#include "panels/play_sequence.h"

namespace {

constexpr long kIrWindowFloats = 1072000;
constexpr long kOutputTaperFloats = 262144;

// The synthesis scratch, taken once for the largest block and kept (nothing is reallocated while running).
float* SynthesisScratch(int which) {
    static std::vector<float> work(static_cast<size_t>(32 * kMaxBlockFrames) + 8, 0.0f);
    static std::vector<float> rotated(static_cast<size_t>(16 * kMaxBlockFrames) + 8, 0.0f);
    return which == 0 ? work.data() : rotated.data();
}

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

std::string PlayRefusal(PlayPanel panel, const PlaySettings& s) {
    // Rules 1..5 cannot hold for Quadro with "Inputs 1-8", so checking it first keeps the order.
    if (panel == PlayPanel::kPlayer && s.SystemConfiguration == 2 && s.InputMode == 2) return kQuadroEightInputs;
    std::string message;
    CheckPlayRules(RuleInputsOf(s), &message);
    return message;
}

std::string WavPlayRefusal(const PlaySettings& s) {
    // The WAV panel has the table's rules but three: 5.1 with "BBM Input", 5.2 BBM with two inputs, and the
    // 16-bit capture rule (a file has no capture width).
    constexpr uint32_t kNotForSongs = 1u << 3 | 1u << 7 | 1u << 12;
    std::string message;
    CheckPlayRules(RuleInputsOf(s), &message, kNotForSongs);
    return message;
}

void PrepareFilterBanks() {
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
