#pragma once
// The time windows laid over a measured impulse response before it is transformed: a one-sided window that
// starts at its peak at index 0, and for the "Symm" types a two-sided one that rises and falls around a centre.
#include <cstdint>

inline constexpr int kMlsWindowTypeCount = 10;
inline constexpr uint32_t kFirstTwoSidedWindow = 5;  // types 5..9 are the "Symm" ones
inline constexpr int kIrWindowClearedEntries = 268000;

// The names of the "Window Type" list, in index order.
inline constexpr const char* MlsWindowNames[kMlsWindowTypeCount] = {
    "Blackmann-Harris",      "Hanning",      "Rectangular",        "Kaiser-Bessel",
    "Semi-Rectangular",      "Blackmann-Harris Symm", "Hanning Symm", "Kaiser-Bessel Symm",
    "Semi-Rectangular Symm", "Rectangular Symm"};

// The width text read both ways: W = atof as a 32-bit float (one-sided width) and P = atoi (half the two-sided
// width), each held within 1 .. its limit for a sequence of 2^order points (W <= N - 1, P <= N/4 - 1). A text
// that is not a number, or not finite, counts as 0 and so gives 1.
struct IrWindowWidths {
    float W = 1.0f;
    int32_t P = 1;
};
IrWindowWidths ReadIrWindowWidths(const char* width_text, int order);
// The width as typed, before any limit (what Calculate SPL compares with the sequence length); 0 for a text
// that is not a finite number.
double IrWindowWidthAsTyped(const char* width_text);

// The three shapes at angle t, with every cosine argument as written (cos(t + pi), not -cos t).
double BlackmanHarrisShape(double t);
double HanningShape(double t);
double KaiserBesselShape(double t);

// Fills both windows for `type` and the width text: entries 0..kIrWindowClearedEntries-1 of each are cleared
// first, then indices 0..N-1 carry the window (N = 2^order). A type above 9 leaves both cleared. Both arrays
// hold at least max(kIrWindowClearedEntries, N) floats. Returns 0.
int BuildIrWindow(uint32_t type, const char* width_text, int order, float* one_sided, float* two_sided);
