// Both filter banks from the program's records (kept apart from the recompute: the solver's and the
// engine's headers each name the largest block size).
#include <algorithm>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "engine/filter_synthesis.h"
#include "engine/window_shapes.h"
#include "panels/play_sequence.h"

// ---- Filter banks ---------------------------------------------------------------------------------------

namespace {

// The synthesis scratch, taken once for the largest block and kept (nothing is reallocated while running).
float* SynthesisScratch(int which) {
    static std::vector<float> work(static_cast<size_t>(32 * kMaxBlockFrames) + 8, 0.0f);
    static std::vector<float> rotated(static_cast<size_t>(16 * kMaxBlockFrames) + 8, 0.0f);
    return which == 0 ? work.data() : rotated.data();
}

// Shapes the windows for this synthesis and builds bank 0 (and its copy in bank 1 for SPL Only EQ).
void BuildOutputFilters(uint32_t spl_only_eq) {
    const int N = BlockFrames;
    const SystemTail& tail = pr_file->tail;
    std::fill(IrWindow, IrWindow + 16L * N, 0.0f);
    FillImpulseWindow(spl_only_eq, WideWindow, N, IrWindow);
    for (int o = 0; o < kOutputCount; ++o) {
        std::fill(OutputTaper[o], OutputTaper[o] + 32L * N, 1.0f);
        FillOutputTaper(tail.IrWindowSettings[o].length, tail.IrWindowSettings[o].window_type, N, OutputTaper[o]);
    }
    FilterSynthesisInputs in;
    in.N = N;
    in.SampleRate = static_cast<float>(SampleRateOf(tail.HV_Sampling));
    in.SplOnlyEq = spl_only_eq;
    in.IrMethod = IrMethod;
    for (int o = 0; o < kOutputCount; ++o) {
        in.OutputSpectrum[o] = OutputSpectrum[o];
        in.PhaseReferenceSpectrum[o] = PhaseReferenceSpectrum[o];
    }
    in.OutputPolarity = OutputPolarity;
    in.OutputDelayMs = OutputDelayMs;
    FilterSynthesisBuffers buf;
    buf.IrWindow = IrWindow;
    for (int o = 0; o < kOutputCount; ++o) buf.OutputTaper[o] = OutputTaper[o];
    buf.SynthesisWork = SynthesisScratch(0);
    buf.SynthesisRotated = SynthesisScratch(1);
    for (int b = 0; b < kFilterBankCount; ++b)
        for (int o = 0; o < kOutputCount; ++o)
            for (int p = 0; p < kPartitionCount; ++p) buf.FilterPartitionBank[b][o][p] = FilterPartitionBank[b][o][p];
    buf.fft.bit_reverse = reinterpret_cast<int32_t*>(FftBitReverseTable);
    buf.fft.twiddle = reinterpret_cast<float*>(FftTwiddleTable);
    SynthesizeOutputFilters(in, buf);
}

}  // namespace

void PrepareFilterBanks() {
    const uint32_t user = pr_file->tail.SplOnlyEq;
    pr_file->tail.SplOnlyEq = 1;
    BuildOutputFilters(1);
    pr_file->tail.SplOnlyEq = user;
    BuildOutputFilters(user);
}

