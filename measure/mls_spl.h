#pragma once
// Calculate SPL: the two impulse responses of a run become the device's frequency response. Both are windowed
// and transformed, their spectra smoothed; the measured spectrum is divided by the reference one and scaled by
// the reference's largest level (in dB: measured - reference + largest reference; in phase: measured -
// reference). The result goes to the driver record on both grids (3100 log points, 131,072 linear bins),
// corrected by the microphone and preamp calibration curves when their "Use It" boxes are ticked, smoothed,
// raised by "Add dB", and copied into the next pair of measurement plot slots.
#include <cstddef>
#include <cstdint>

#include "app/messages.h"
#include "app/typed_numbers.h"
#include "engine/block_path.h"

struct CalPoint;
struct ColourEntry;
struct HV_Driver_Data;
struct PlotCurve;

inline constexpr int kSplLogPoints = 3100;
inline constexpr int kSplLinearPoints = 131072;
inline constexpr double kSplDegreesPerRadian = 57.288;  // the measurement's own factor
inline constexpr float kSplFloorDb = -160.0f;
inline constexpr int kCplxSmoothingLevels = 9;          // "None", "Level 1" .. "Level 8"
inline constexpr int kSplSmoothingChoices = 6;          // "1/6 oct" .. "1/96 oct", "None"
inline constexpr int kMlsSlotPairs = 10;                // SPL slots 0..9, phase slots 10..19
inline constexpr double kTwoSidedAdvanceSamples = 9.86; // two-sided windows: the reference pass's advance

// The typed level and delay of Calculate SPL: what they may be, and what is said when they are not.
inline constexpr TypedRange kAddDbRange{-200.0, 200.0, "Add dB To SPL Is Out Of Range (-200.....+200dB)"};
inline constexpr TypedRange kPulseDelayRange{-1000.0, 1000.0, "Pulse Delay Is Out Of Range (-1000.....+1000ms)"};

inline constexpr const char* kSplNoImpulse = "Please Generate Impulse Response First";
inline constexpr const char* kSplNotFinite = "The Response Is Out Of Range: No SPL Was Stored";
inline constexpr const char* kSplWindowTooLong = "Please reduce Timw Window Length";
inline constexpr const char* kSplWindowBeforeCursor = "Please reduce Time Window Length\n OR Re-position the Time Window";

// The smoothing choices as their lists name them.
inline constexpr const char* kCplxSmoothingNames[kCplxSmoothingLevels] = {
    "None", "Level 1", "Level 2", "Level 3", "Level 4", "Level 5", "Level 6", "Level 7", "Level 8"};
inline constexpr const char* kSplSmoothingNames[kSplSmoothingChoices] = {"1/6 oct",  "1/12 oct", "1/24 oct",
                                                                          "1/48 oct", "1/96 oct", "None"};

// Passes of the curve smoothing for an "SPL Smoothing" index: 16, 8, 4, 2, 1, 0.
int SplSmoothingPasses(uint32_t spl_smoothing_index);
// Half width of the complex smoothing at bin i for a "Cplx. Smoothing" level:
// trunc(kc (log10(1 + 0.025 i))^pc), 0 for "None" and for levels outside the list.
int ComplexSmoothingHalfWidth(long i, uint32_t level);
// The linear grid's bin step s for the system's bin spacing and the measurement's (the table of pairs that
// fit), or 0 when the pair has no row.
int LinearGridStep(double system_spacing, double measurement_spacing);

// What one calculation reads besides its buffers.
struct SplSettings {
    int32_t ref_peak = 0;           // RefPeakIndex
    int32_t in_peak = 0;            // InPeakIndex
    int order = 18;                 // MlsOrder: the transform has 2^order points
    double sample_rate = 48000.0;   // of the measurement (MlsRateIndex)
    uint32_t window_type = 1;       // MlsWindowType
    const char* window_width = "30000";
    int32_t cursor_bin = 50;        // where the measured segment starts
    double pulse_delay_ms = 0.0;    // atof(MlsPulseDelay), within kPulseDelayRange
    uint32_t cplx_smoothing = 1;    // CplxSmoothingIndex
    uint32_t spl_smoothing = 2;     // SplSmoothingIndex
    double add_db = 0.0;            // atof(AddDbText), within kAddDbRange
    double efficiency_db = 90.0;    // the driver's efficiency text, subtracted in the plotted copy only
    uint32_t use_mike_cal = 0;
    uint32_t use_preamp_cal = 0;
    double system_bin_spacing = 1.0;  // BinFrequencyTable[1] = fs_system / 8N
};

struct SplBuffers {
    const float* impulse_ref = nullptr;  // MlsImpulseRef
    const float* impulse_in = nullptr;   // MlsImpulseIn
    std::size_t impulse_entries = 0;     // length of both
    float* ir_window = nullptr;          // IrWindow, rebuilt here
    float* ir_window_two_sided = nullptr;
    float* spectrum = nullptr;           // 2^(order + 1) floats: the complex work spectrum
    float* re = nullptr;                 // the part arrays and the copy array, 268,000 floats each
    float* im = nullptr;
    float* copy = nullptr;
    float* ref_bin_phase = nullptr;      // RefBinPhase, 268,000
    float* ref_bin_normaliser = nullptr; // RefBinNormaliser, 131,072
    float* ref_log_normaliser = nullptr; // RefLogNormaliser, 3100
    float* ref_log_response = nullptr;   // RefLogResponse, 3100 {dB, degrees}
    float* meas_log_response = nullptr;  // MeasLogResponse, 3100 {dB, degrees}
    const float* log_frequency = nullptr;  // LogFrequencyTable
    const CalPoint* mike_cal = nullptr;    // MikeCalCurve, on the system's bin grid
    const CalPoint* preamp_cal = nullptr;  // PreampCalCurve
    HV_Driver_Data* driver = nullptr;      // CurrentDriver
    PlotCurve* mls_curves = nullptr;       // MlsCurves: slots 0..19 are written
    uint32_t* spl_slot = nullptr;          // MlsSplSlot
    uint32_t* phase_slot = nullptr;        // MlsPhaseSlot
    const ColourEntry* colours = nullptr;  // ColourScheme
    FftTables fft;
};

enum class SplResult {
    kStored,               // the driver curves and the next slot pair hold the result
    kNoImpulse,            // "Please Generate Impulse Response First": nothing changed
    kWindowTooLong,        // "Please reduce Timw Window Length": nothing changed
    kWindowBeforeCursor,   // the two-line message: nothing changed
    kOutOfRange,           // "Add dB" or the pulse delay outside its range, with its message: nothing changed
    kNotFinite,            // a level or phase that is not a number: the driver curves left reset, no slots stored
};

// How the three long loops are computed: running sums and increasing walks, or each value summed and searched
// anew (the reference the fast form is checked against).
enum class SplMethod { kFast, kLiteral };

// The whole calculation. Every check of the settings comes before the driver curves are reset, so such a refusal
// changes nothing; a result that is not finite everywhere is never stored.
SplResult CalculateSpl(const SplSettings& s, const SplBuffers& b, MessageList* out, SplMethod method = SplMethod::kFast);

// The kernels, exposed for their tests and for the benchmark.
// Complex smoothing of x[0..L-1] into y; returns the bin where it stopped (y[stop..] untouched). Values
// outside 0..L-1 count as 0.
int SmoothSpectrumPart(const float* x, float* y, int L, uint32_t level, SplMethod method);
// For each log-grid point j, the bin whose value it takes (the highest bin i with i x delta below LF[j] that lies
// at or above LF[j-1], when LF[j] < nyquist), or -1 for a hole.
void MapBinsToLogGrid(const float* log_frequency, int points, int L, double delta, double nyquist, int32_t* bin_of_point,
                      SplMethod method);
// The curve smoothing cascade: `passes` passes of 1, 3, 5, .. points over a curve of g points; `t` is scratch of g.
void SmoothCurveCascade(float* curve, int g, int passes, float* t, SplMethod method);

// Clear SPL: both slot counters to 0 and slots 0..19 and 25..50 zeroed whole (values, flag and pen).
void ClearSplSlots(PlotCurve* mls_curves, uint32_t* spl_slot, uint32_t* phase_slot);

// A curve slot takes a colour-scheme entry's pen: red, green, blue, thickness and line type as floats.
void CopyCurvePen(PlotCurve& slot, const ColourEntry& pen);

// The hole filling of the log grid, over `points` values `stride` floats apart: each run of holes bridged by a
// straight line from the last valid point to the next. Level rule: valid above -160 dB, starting from point 0's
// value; phase rule: valid when not exactly 0, starting from 0. Points after the last valid one stay.
void FillLogGridHoles(float* values, int stride, int points, bool phase_rule);
