#pragma once
// Output stage of a convolution worker: bass-management output sums, overlap-add, master volume and trims,
// truncation and 24-bit saturation, CABS delay rings and interleaving into OutputBlock.
#include <cstdint>

#include "engine/block_path.h"

inline constexpr int32_t kSampleFullScale = 8388607;  // 24-bit full scale; -8388608 never leaves the engine
inline constexpr int kSampleShift = 8;                 // a 24-bit sample sits in the upper bits of its word

// v truncated toward zero and saturated to -8388607..+8388607; NaN gives 0. Saturation happens in floating
// point first, so no out-of-range value is ever converted to an integer.
int32_t SaturateTo24Bit(double v);

// The CABS delay in use for an output: CabsDelaySamples when CabsEnabled is 1, else 0; held to 0..4N, the
// longest delay the ring carries for block size N (5N of its words move).
int32_t CabsDelayInUse(int32_t cabs_enabled, int32_t cabs_delay_samples, int N);

// The stage for the outputs of `range`, after ComputeOutputBlocks has left their time-domain blocks in the
// OutputAccumulators.
void RunOutputStage(EngineBlockContext& ctx, OutputRange range, const LiveBlockValues& live);
