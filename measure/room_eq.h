#pragma once
// The room equalizer's arithmetic: one location's SPL and phase from the two deconvolved impulse responses of a
// run, the average of every measured location, the cut-only EQ above a threshold inside a band with its minimum
// phase, the room's minimum and excess phase with the excess group delay, and the EQ written into the room-EQ
// element's response.
//
// Curves live in the 40 records of RoomEqCurves (the slots below); SPL curves hold dB re 90 dB, phase curves
// degrees, converted from radians by 57.288 as everywhere in the measurement code.
#include <cstdint>

#include "app/messages.h"
#include "engine/block_path.h"
#include "engine/min_phase.h"
#include "measure/room_eq_transforms.h"

struct ColourEntry;
struct PaneRecord;
struct PlotCurve;
struct WorkingNetwork;

inline constexpr int kRoomEqLocationCount = 6;

// Slots of RoomEqCurves.
inline constexpr int kRoomEqReferenceImpulseSlot = 0;  // + L: reference impulse display of location L
inline constexpr int kRoomEqMeasuredImpulseSlot = 6;   // + L: measured impulse display
inline constexpr int kRoomEqLocationSplSlot = 12;      // + L: SPL of location L, its measured flag
inline constexpr int kRoomEqLocationPhaseSlot = 18;    // + L: phase of location L
inline constexpr int kRoomEqEqSplSlot = 24;            // the cut-only EQ, dB (0 or below)
inline constexpr int kRoomEqEqPhaseSlot = 25;          // the EQ's minimum phase
inline constexpr int kRoomEqEqualizedSlot = 26;        // average + EQ
inline constexpr int kRoomEqMinimumPhaseSlot = 27;     // phase of the reciprocal of the room's minimum phase
inline constexpr int kRoomEqExcessPhaseSlot = 28;
inline constexpr int kRoomEqUnwrappedSlot = 29;        // slot 28 unwrapped (also in slot 30)
inline constexpr int kRoomEqUnwrappedCopySlot = 30;
inline constexpr int kRoomEqGroupDelaySlot = 31;       // excess group delay, ms
inline constexpr int kRoomEqAverageSplSlot = 32;       // averaged, corrected SPL
inline constexpr int kRoomEqAveragePhaseSlot = 33;
inline constexpr int kRoomEqWindowSlot = 34;           // the time window over the impulse plot
inline constexpr int kRoomEqCurveCount = 40;

// Impulse displays hold this many points, then the visible flag and the pen; the window trace 2000 points
// and its flag.
inline constexpr int kRoomEqImpulsePoints = 3100;
inline constexpr int kRoomEqWindowPoints = 2000;
inline constexpr float kRoomEqWindowTraceScale = 145.0f;

// Entries of the colour scheme the curves take their pens from.
inline constexpr int kPenLocationSpl = 1;
inline constexpr int kPenLocationPhase = 2;
inline constexpr int kPenEqualized = 12;
inline constexpr int kPenEqSpl = 13;
inline constexpr int kPenEqPhase = 14;
inline constexpr int kPenGroupDelay = 16;
inline constexpr int kPenMeasuredImpulse = 17;
inline constexpr int kPenReferenceImpulse = 18;

// The level scale: SPL curves hold the level less 90 dB.
inline constexpr double kRoomEqLevelOffset = 90.0;
inline constexpr double kDegreesPerRadian = 57.288;
inline constexpr double kRadiansPerDegree = 0.01745566261695294;  // 1 / 57.288

inline constexpr int kRoomEqThresholdTop = 35;      // scroll positions of the threshold bar
inline constexpr int kRoomEqThresholdBottom = 125;
inline constexpr int kRoomEqThresholdDefault = 70;  // T = 70 - position, dB re 90 dB
inline constexpr float kNoCorrectionOutput = 16.0f;  // p7

inline constexpr const char* kReduceWindowLength = "Please reduce Timw Window Length";
inline constexpr const char* kReduceBufferSize = "Please reduce Buffer Size in Preference screen";
inline constexpr const char* kRatesDoNotFit = "MLS Sampling Rate Does Not Fit The System Sampling Rate";
inline constexpr const char* kRoomEqNotFinite =
    "The Room EQ Is Not A Finite Number\nPlease Check Add dB To SPL And The Projected Slope";

// The buffers of the arithmetic (the global records in the program).
struct RoomEqBuffers {
    PlotCurve* curves = nullptr;            // RoomEqCurves, kRoomEqCurveCount records
    const float* bin_frequency = nullptr;   // BinFrequencyTable, 131,072 points
    int block_frames = 512;                 // N
    uint32_t buffer_size_index = 0;         // HV_Buffer_Size
    const ColourEntry* colours = nullptr;   // ColourScheme
    float* spectrum_table = nullptr;        // RoomEqSpectrumTable: 131,072 pairs {dB, degrees}
    float* reference_db = nullptr;          // ReferenceCorrectionDb: 131,072
    float* reference_phase = nullptr;       // ReferencePhase: 131,072, radians
    float* fft = nullptr;                   // the complex FFT buffer: 2^19 floats at least
    FftTables fft_tables;
    float* ir_window = nullptr;             // IrWindow: the one-sided window, 1,072,000 floats
    float* ir_window_shape = nullptr;       // the window laid out for display, 1,072,000 floats
    float* min_phase_db = nullptr;          // MinPhaseInputDb: 131,072
    float* min_phase_spectrum = nullptr;    // MinPhaseWorkSpectrum: 131,072 complex points at least
    BodeMethod method = BodeMethod::kFast;
};

// What one location's analysis reads besides the impulse responses.
struct LocationAnalysisSettings {
    int order = 18;                      // MlsOrder
    uint32_t rate_index = 1;             // MlsRateIndex
    uint32_t window_type = 0;            // MlsWindowType
    const char* window_width = "30000";  // MlsWindowWidthText, samples
    int32_t cursor = 50;                 // MlsImpulseCursor: where the measured response starts
    float added_delay_ms = 0.0f;         // p11
    float added_db = 0.0f;               // p13
    int location = 0;                    // CurrentLocation, 0..5
};

// How the MLS bins fall onto the grid: every stride-th MLS bin is one grid point. The stride is the grid's
// spacing over the MLS spacing, which must be a power of two from 1 to 64.
enum class RoomEqStrideCheck { kFits, kBufferTooLarge, kRatesDoNotFit };
RoomEqStrideCheck RoomEqBinStride(double grid_spacing, double mls_spacing, int* stride);

// The checks of a location run's settings that need no response, in the analysis's order: the impulse window
// must fit the sequence (the order held within 13..18), and the measurement's bins (the rate of rate_index over
// 2^order) must fall onto a grid of spacing `grid_spacing`. 0 with *stride set (when not null), or 1 with the
// failed check's message ("Please reduce Timw Window Length", "Please reduce Buffer Size in Preference screen",
// "MLS Sampling Rate Does Not Fit The System Sampling Rate").
int CheckLocationRunSettings(int order, uint32_t rate_index, const char* window_width, double grid_spacing,
                             int* stride, MessageList* out);

// The window trace over the impulse plot: point k < 2000 is 145 x window[k - cursor] from the cursor on
// (0 before it and at k = 0), then the flag 1.0.
void FillRoomEqWindowTrace(PlotCurve* slot, const float* ir_window, int32_t cursor);

// A location's SPL and phase from the aligned responses (reference from sample 50, measured from the cursor):
// both windowed and transformed, the measured one delayed by p11 and flattened by the reference, its bins
// mapped onto the grid, written into slots 12 + L and 18 + L with the measured flag. Returns 0 when stored,
// 1 when stopped with a message (window longer than the sequence, or bin spacings that do not fit): the
// location's slots are then untouched.
int AnalyseLocationRun(const float* impulse_ref, const float* impulse_in, const LocationAnalysisSettings& s,
                       const RoomEqBuffers& b, MessageList* out);

// True when location L (0..5) holds a measurement.
bool RoomEqLocationMeasured(const PlotCurve* curves, int location);

// Average of the measured locations (vector or, with p14, scalar), corrected by the driver equalization of the
// output p7 names, the cut-only EQ above T = 70 - eq_threshold inside p2 < f <= p3 with its minimum phase, the
// room's minimum and excess phase, unwrapped, and the excess group delay: slots 24..33. False when any of them
// came out as no finite number: slots 24..33 are then all 0 (no cut), so no curve or stored EQ carries it.
bool ComputeRoomEq(const PaneRecord& net, int element, int eq_threshold, const RoomEqBuffers& b);

// The EQ of slots 24 and 25 into the element's response, bins 0..65,535 (its magnitude alone with p12). False,
// with the response untouched, when a point of it would not be a finite number.
bool StoreRoomEqResponse(WorkingNetwork* net, int element, const PlotCurve* curves);

// Clears slots first..last of the curve table, values and header alike.
void ClearRoomEqCurves(PlotCurve* curves, int first, int last);
