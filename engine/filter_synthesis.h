#pragma once
// Filter synthesis: from each output's solved spectrum (bins 0..4N on the grid k fs / 8N) the 8N-tap FIR,
// phase-linearised or magnitude-only, cut into eight partitions of N taps whose 2N-point spectra fill
// FilterPartitionBank bank 0 (and bank 1 in "SPL Only EQ" mode).
#include <cstdint>

#include "engine/block_path.h"

// Phase added to every bin of a phase-linearised filter, in radians.
inline constexpr double kPhaseReferenceOffset = 0.001;
// Where time zero of the response lands in the FIR (complex points): the middle for phase-linearised filters;
// near the start for magnitude-only ones, 128 points ("Method 1") or N/4 ("Method 2").
inline constexpr int kMagnitudeOnlyShiftMethod1 = 128;

// What one synthesis reads. Spectra are interleaved complex arrays with at least 4N + 1 points.
struct FilterSynthesisInputs {
    int N = 0;                  // BlockFrames
    float SampleRate = 48000;   // fs of HV_Sampling
    uint32_t SplOnlyEq = 0;     // 1: magnitude-only filters
    uint32_t IrMethod = 0;      // pre-shift of magnitude-only filters
    const float* OutputSpectrum[kEngineOutputs] = {};
    const float* PhaseReferenceSpectrum[kEngineOutputs] = {};  // read only when SplOnlyEq is 0
    const int32_t* OutputPolarity = nullptr;                    // [16], +1 or -1
    const float* OutputDelayMs = nullptr;                       // [16]
};

// Buffers of one synthesis. IrWindow and the tapers are real windows stored as complex points (the same
// value in both parts), shaped for this synthesis before it runs.
struct FilterSynthesisBuffers {
    const float* IrWindow = nullptr;                    // >= 8N points
    const float* OutputTaper[kEngineOutputs] = {};      // >= 8N points each
    float* SynthesisWork = nullptr;                     // 16N points (32N floats)
    float* SynthesisRotated = nullptr;                  // 8N points (16N floats)
    float* FilterPartitionBank[kEngineBanks][kEngineOutputs][kEnginePartitions] = {};  // 2N points each
    FftTables fft;                                      // grown to 16N floats here if needed
};

// The pre-shift S in complex points.
int ImpulseShift(uint32_t spl_only_eq, uint32_t ir_method, int N);

// The windowed impulse response of output o (0-based): leaves x[0..8N-1] in points 0..8N-1 of
// SynthesisWork (the FIR is the real parts). SynthesisWork is cleared first.
void SynthesizeOutputResponse(const FilterSynthesisInputs& in, FilterSynthesisBuffers& buf, int o);
// The same with a pre-shift of `shift` points of the caller's choice; a null OutputTaper[o] means no taper.
// (The impulse-response views build their non-linearised response this way, shifted by one point.)
void SynthesizeShiftedResponse(const FilterSynthesisInputs& in, FilterSynthesisBuffers& buf, int o, int shift);

// Partition p of the FIR in SynthesisWork: the unscaled 2N-point forward transform of taps pN..pN+N-1.
void WriteFilterPartitions(const FilterSynthesisBuffers& buf, int N, float* const partitions[kEnginePartitions]);

// Every output into bank 0, and bank 0 into bank 1 when SplOnlyEq is 1; the windows must already be shaped
// (BuildOutputFilters shapes them). The spectra, polarities and delays are left unchanged. Returns 0.
int SynthesizeOutputFilters(const FilterSynthesisInputs& in, FilterSynthesisBuffers& buf);

// The window settings of a synthesis: "Wide Window" and each output's IrWindowSettings entry.
struct FilterWindowSettings {
    uint32_t WideWindow = 1;
    int32_t TaperLength[kEngineOutputs] = {};      // IrWindowSettings[o].length
    int32_t TaperWindowType[kEngineOutputs] = {};  // IrWindowSettings[o].window_type (WindowType)
};

// The global IrWindow and the per-output tapers, shaped on every synthesis. The float counts are the
// arrays' whole lengths: the window is cleared and the tapers set to 1.0 over all of them, at least 32N.
struct FilterWindowBuffers {
    float* IrWindow = nullptr;
    long IrWindowFloats = 0;
    float* OutputTaper[kEngineOutputs] = {};
    long OutputTaperFloats = 0;
};

// One whole synthesis: clears IrWindow and sets every taper to 1.0, shapes the tapers (only with
// "SPL Only EQ") and the window, then SynthesizeOutputFilters with them. Returns 0.
int BuildOutputFilters(const FilterSynthesisInputs& in, const FilterWindowSettings& settings,
                       FilterWindowBuffers& windows, FilterSynthesisBuffers& buf);

// What Play runs before the engine starts: a build with "SPL Only EQ" forced on (both banks get the
// magnitude-only filters), then one with in.SplOnlyEq, the user's setting (bank 0 again). Returns 0.
int BuildFilterBanksForPlay(const FilterSynthesisInputs& in, const FilterWindowSettings& settings,
                            FilterWindowBuffers& windows, FilterSynthesisBuffers& buf);
