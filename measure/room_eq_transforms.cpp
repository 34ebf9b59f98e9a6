#include "measure/room_eq_transforms.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kLowestCorner = 1.02f;
constexpr float kHighestCorner = 0.98f * 50000.0f;
// The projection below 12 Hz: the slope per bin and the step of each bin toward 0 Hz.
constexpr float kSlopeBinScale = 0.375f;
constexpr float kProjectionStep = 6.355f;
constexpr float kSlopeOrderPerDb = 1.0f / 6.0f;

int IntegralBins(int block_frames) { return 16 * block_frames; }

bool GridUsable(const RoomEqTransformGrid& g) {
    return g.bin_frequency && g.input_db && g.spectrum && g.block_frames >= 1 &&
           IntegralBins(g.block_frames) <= kRoomEqGridBins;
}

int Transform(const RoomEqTransformGrid& g, float slope_order) {
    const int p = IntegralBins(g.block_frames);
    BodeIntegralConstants k = DriverEqBodeConstants(p);
    k.low_slope_order = slope_order;
    return MinimumPhaseSpectrum(g.bin_frequency, g.input_db, p, k, g.method, g.spectrum);
}

}  // namespace

int LastBinAtOrBelow(const float* f, int block_frames, float F) {
    const float corner = std::isnan(F) ? kLowestCorner : std::fmin(std::fmax(F, kLowestCorner), kHighestCorner);
    const int p = IntegralBins(block_frames);
    for (int k = 0; k < p; ++k)
        if (f[k] > corner) return k == 0 ? 0 : k - 1;
    return p - 1;
}

int MeasuredMinimumPhase(const float* measured_db, float slope_db, const RoomEqTransformGrid& g) {
    if (!GridUsable(g) || !std::isfinite(slope_db)) return 1;
    const float* f = g.bin_frequency;
    float* L = g.input_db;
    std::memcpy(L, measured_db, kRoomEqGridBins * sizeof(float));
    // Below 12 Hz the curve falls toward 0 Hz by the projected slope, bin by bin from the first bin above 12 Hz.
    const float per_bin = slope_db / (kSlopeBinScale * static_cast<float>(1u << (g.buffer_size_index & 31u)));
    for (int j = LastBinAtOrBelow(f, g.block_frames, kRoomProjectionCorner); j >= 0; --j)
        L[j] = L[j + 1] - kProjectionStep * per_bin / (0.5f * (f[j] + f[j + 1]));
    // A room is measured to a few hundred hertz: above that the curve is held at its last value.
    for (int j = LastBinAtOrBelow(f, g.block_frames, kRoomFlatCorner); j < kRoomEqGridBins; ++j)
        if (j > 0) L[j] = L[j - 1];
    return Transform(g, slope_db * kSlopeOrderPerDb);
}

int RoomEqMinimumPhase(const float* eq_db, float band_low, float band_high, const RoomEqTransformGrid& g) {
    if (!(band_low < band_high) || !GridUsable(g)) return 1;
    const float* f = g.bin_frequency;
    float* L = g.input_db;
    std::memcpy(L, eq_db, kRoomEqGridBins * sizeof(float));
    for (int j = LastBinAtOrBelow(f, g.block_frames, band_low); j >= 0; --j) L[j] = L[j + 1];
    for (int j = LastBinAtOrBelow(f, g.block_frames, band_high); j < kRoomEqGridBins; ++j)
        if (j > 0) L[j] = L[j - 1];
    return Transform(g, 0.0f);
}
