#pragma once
// Converting an impulse response sampled at 48000 Hz to 44100 Hz in place, without filtering: by linear
// interpolation, or by holding each sample 147 times and keeping every 160th.
#include <cstddef>

inline constexpr int kResampleUp = 147;    // 44100 / 300
inline constexpr int kResampleDown = 160;  // 48000 / 300
inline constexpr int kInterpolationLead = 5;       // the interpolated output lands 5 entries later
inline constexpr int kHoldPickStart = 50;          // hold-and-pick works from the response's time zero
inline constexpr int kHoldPickSamples = 26800;     // and keeps this many output samples
inline constexpr int kResampleChannelEntries = 1072000;

// Output j of 44.1 kHz sits at input position 160 j / 147: input index i = floor(160 j / 147) plus the
// fraction (160 j mod 147) / 147. Integer arithmetic, so an output that coincides with an input sample takes it
// exactly.
struct ResamplePosition {
    long index;
    double fraction;
};
ResamplePosition ResamplePositionOf(long j);

// Linear interpolation: y[j] = x[i] + (x[i + 1] - x[i]) x fraction for every output j whose input index i is
// below N = 2^order (y[j] = 0 beyond), then x[5 + j] = y[j] for j < N; entries 0..4 keep their values. `x` holds
// at least N + 5 floats, `work` N floats.
void ResampleLinear(float* x, int order, float* work);

// Hold and pick: x[50 + k] takes the old x[50 + floor(160 k / 147)] for k < 26,800; entries 0..49 and from
// 26,850 on become 0 (over kResampleChannelEntries).
void ResampleHoldAndPick(float* x);
