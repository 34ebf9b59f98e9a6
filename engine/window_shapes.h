#pragma once
// Time windows of the synthesised impulse responses: the global impulse window and the per-output fade-in.
// Both are real windows stored as complex points (interleaved re, im) with the same value in both parts, so
// that they can multiply a complex buffer point by point. The impulse-response export builds its windows
// with these same functions, so exported and running filters match.
#include <cstdint>

enum WindowType : int32_t {
    kWindowBlackman3 = 0,
    kWindowBlackman3Modified = 1,
    kWindowBlackmanHarris4 = 2,
    kWindowBlackmanHarris4Modified = 3,
    kWindowBlackmanHarris7 = 4,
    kWindowCosine = 5,
    kWindowHanning = 6,
    kWindowNuttall = 7,
    kWindowCosine3 = 8,
    kWindowCosine9 = 9,
};
inline constexpr int kWindowTypeCount = 10;

inline constexpr const char* kWindowTypeNames[kWindowTypeCount] = {
    "3-term Blackman", "3-term Blackman - Modified", "4-term Blackman-Harris", "4-term Blackman-Harris - Modified",
    "7-term Blackman-Harris", "Cosine", "Hanning", "Nuttall", "Cosine^3", "Cosine^9"};

// Edge of the impulse window, the complement of the 4-term Blackman-Harris curve: 0.99994 at 0, 0 at pi.
double ImpulseEdge(double theta);

// How many points of the 8N-tap FIR the impulse window keeps, so how many taps of a filter play: 4N for the
// normal magnitude-only form (zero from 4N on), 8N for the others. 0 when N is not positive.
int ImpulseWindowPoints(uint32_t SplOnlyEq, uint32_t WideWindow, int N);

// Shapes IrWindow (complex points) for block size N (frames). The caller has cleared it to 0 for at least
// 8N points; only points 0 .. ImpulseWindowPoints - 1 are written: 0 .. 8N-1 (phase-linearised, SplOnlyEq = 0,
// and the wide magnitude-only form) or 0 .. 4N-1 (the normal magnitude-only form). WideWindow != 0 selects the
// wide form: for magnitude-only filters 1.0 up to 7N, then the falling edge of the phase-linearised wide form.
void FillImpulseWindow(uint32_t SplOnlyEq, uint32_t WideWindow, int N, float* IrWindow);

// Value of fade-in shape `type` (0..9) at theta; the taper uses theta from 0 up to about pi.
float TaperShape(int32_t type, float theta);

// Shapes one output's fade-in from its settings: taper length L (samples) and WindowType. The caller has set
// the taper to 1.0 for at least 16N points; points 0 .. min(L/8, 16N)-1 take the rising half of a window of
// L/4 points. A length below 8 or a type outside 0..9 leaves the taper at 1.0.
void FillOutputTaper(int32_t L, int32_t window_type, int N, float* OutputTaper);
