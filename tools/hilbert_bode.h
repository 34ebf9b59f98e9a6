#pragma once
// Hilbert-Bode transforms: a driver's minimum-phase complex response from its SPL curve alone, with the
// unreliable ends of the curve replaced by straight tails of a chosen slope. One run per grid: the 3100-point
// logarithmic grid (for display) and the first 32N points of the linear bin grid (what an output port takes
// over). Both evaluate the Bode gain-phase integral with the shared kernel of engine/min_phase.
#include <cstdint>

#include "app/driver_data.h"
#include "app/messages.h"
#include "engine/min_phase.h"

inline constexpr const char* kHbtCaption = "HV MEssage";
inline constexpr const char* kInputPowerError = "Input Power Error";
inline constexpr const char* kTailDataError = "Tail Data Error";
inline constexpr const char* kHbtDistanceError = "Distance Error";
inline constexpr const char* kSplDataError = "SPL Data Error";

// What a run reads besides the driver record.
struct HbtContext {
    const float* log_table = nullptr;  // LogFrequencyTable, 3100 points
    const float* bin_table = nullptr;  // BinFrequencyTable, 131072 points
    double axis_low_hz = 10.0;         // FrequencyAxisRange: the log run's tail clamps and points per octave
    double axis_high_hz = 50000.0;
    uint32_t HV_Buffer_Size = 1;       // N = 512 << HV_Buffer_Size; the linear grid has 32N points
    uint32_t HV_Sampling = 1;          // 0 = 44100, 1 = 48000, 2 = 96000 Hz
    float* HbtWorkCurve = nullptr;     // 131072 floats: the SPL curve with its tails, which the integral reads
};

// The linear run reports each point written: (point index, grid size).
using HbtProgress = void (*)(void* context, int point, int total);

// Points per octave of the log run: the octaves between fmin and fmax counted with a linear remainder.
double HbtPointsPerOctave(double fmin, double fmax);

// Decrement per bin of a linear-grid tail of `slope` dB per octave between two bins whose mean frequency is
// `mid_hz`. The high-pass and low-pass tails use slightly different rate constants at 44100 Hz.
double HbtLinearTailStep(double slope, uint32_t HV_Sampling, uint32_t HV_Buffer_Size, double mid_hz, bool high_pass);

// The integral constants of the two grids (slopes in dB per octave, the end lines bent by slope / 6).
BodeIntegralConstants LogHbtConstants(double hp_slope, double lp_slope);
BodeIntegralConstants LinearHbtConstants(int grid_points, double hp_slope, double lp_slope);

// Each returns 0 after a run (the result curves and the HBT done flag written), or 1 when refused with a
// message and nothing written: input power not above 0, a tail text or the distance (when used) not a usable
// number, or an SPL curve that is not finite, too large to give a magnitude or, with its tails, gives a phase
// that is not finite or too large for a float to keep ("SPL Data Error", both runs alike: a slope of 1e30).
int RunLogHbt(HV_Driver_Data* driver, const HbtContext& context, MessageList* messages);
int RunLinearHbt(HV_Driver_Data* driver, const HbtContext& context, MessageList* messages,
                 HbtProgress progress = nullptr, void* progress_context = nullptr);
