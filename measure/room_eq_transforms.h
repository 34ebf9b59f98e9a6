#pragma once
// The room equalizer's two minimum-phase transforms: the averaged room response and the cut-only EQ curve
// (levels in dB re 90 dB on the linear bin grid) each become a minimum-phase spectrum through the Bode
// gain-phase integral of engine/min_phase, with the driver equalization's constants over the first 16N bins.
// They differ only in how the curve is continued outside the range it can be trusted in: the room response
// is projected below 12 Hz with the user's slope and held flat from 498 Hz; the EQ is held flat outside its
// band.
#include <cstdint>

#include "engine/min_phase.h"

inline constexpr int kRoomEqGridBins = 131072;  // the levels prepared: the whole linear grid

// Corners of the room response's preparation.
inline constexpr float kRoomProjectionCorner = 12.0f;  // Hz: below it the curve follows the projected slope
inline constexpr float kRoomFlatCorner = 498.0f;       // Hz: from here up the curve is held flat

// What both transforms work on.
struct RoomEqTransformGrid {
    const float* bin_frequency = nullptr;  // BinFrequencyTable, kRoomEqGridBins points
    int block_frames = 512;                // N: the integral runs over 16N bins
    uint32_t buffer_size_index = 0;        // HV_Buffer_Size (N = 512 << index)
    float* input_db = nullptr;             // MinPhaseInputDb: kRoomEqGridBins floats, the prepared curve
    float* spectrum = nullptr;             // MinPhaseWorkSpectrum: complex, points 0..16N-1 written
    BodeMethod method = BodeMethod::kFast;
};

// The last bin at or below F among bins 0..16N-1, F held within 1.02 .. 49,000 Hz: the bin before the first one
// above F (0 when that is bin 0, 16N - 1 when none is).
int LastBinAtOrBelow(const float* bin_frequency, int block_frames, float F);

// The averaged, corrected room response (`measured_db`, kRoomEqGridBins values) projected below 12 Hz with
// `slope_db` (the block's "Projected Slope Below 10Hz"), flat from 498 Hz, then transformed. Returns 0, or 1
// when the integral could not be formed (the spectrum is then left as it was).
int MeasuredMinimumPhase(const float* measured_db, float slope_db, const RoomEqTransformGrid& g);

// The cut-only EQ curve (`eq_db`, kRoomEqGridBins values) held flat below band_low and above band_high, then
// transformed. Returns 1 with nothing written when band_low is not below band_high.
int RoomEqMinimumPhase(const float* eq_db, float band_low, float band_high, const RoomEqTransformGrid& g);
