#pragma once
// The post-processing buffers of the MLS pages: five saved responses and a master, each a complex response
// relative to 90 dB on the linear bin grid, kept in the calibration curve table (buffer b in slots 2b-2 and
// 2b-1, the master in 10 and 11, the phase difference in 12 and 13). Signed sums, a hard merge at a
// frequency, an added gain or delay, the unwrapped phase difference, and the master copied back into a
// buffer or into the driver record (whose log-grid curves are then rebuilt). Also the measured curve pair
// that the plots show of the driver record, and the points of a buffer's legend swatch.
#include <cstdint>
#include <vector>

#include "app/messages.h"
#include "app/typed_numbers.h"

struct ColourEntry;
struct HV_Driver_Data;
struct PlotCurve;

inline constexpr int kPostBuffers = 5;
inline constexpr int kMasterBuffer = 6;
inline constexpr int kMasterRealSlot = 10;
inline constexpr int kPhaseDifferenceSlot = 12;  // 12: source 1 unwrapped, 13: the difference
inline constexpr int kPostSlots = 18;
inline constexpr double kPostRadiansPerDegree = 0.017455662616953;  // 1 / 57.288

inline constexpr const char* kIncorrectMerge1 = "Incorrect MERGE 1 Source";
inline constexpr const char* kIncorrectMerge2 = "Incorrect MERGE 2 Source";
inline constexpr const char* kIncorrectSaveDestination = "Incorrect SAVE Destination";
inline constexpr const char* kIncorrectPhase1 = "Incorrect PHASE 1 Source";
inline constexpr const char* kIncorrectPhase2 = "Incorrect PHASE 2 Source";
inline constexpr const char* kPostResultOutOfRange = "The Result Would Be Out Of Range\nNothing Was Changed";
inline constexpr TypedRange kPostGainRange{-200.0, 200.0, "Gain Is Out Of Range (-200.....+200dB)"};
inline constexpr TypedRange kPostDelayRange{-1000.0, 1000.0, "Delay Is Out Of Range (-1000.....+1000ms)"};

struct PostProcessBuffers {
    PlotCurve* buffers = nullptr;       // the calibration curve table, kPostSlots slots
    PlotCurve* mls_curves = nullptr;    // the measurement curve table
    HV_Driver_Data* driver = nullptr;   // CurrentDriver
    const float* bin_frequency = nullptr;  // 131,072
    const float* log_frequency = nullptr;  // 3100
    const ColourEntry* colours = nullptr;
    uint32_t spl_slot = 0;    // Calculate SPL's next slot pair
    uint32_t phase_slot = 0;
};

// The slots of the last Calculate SPL result: the pair before the next one, round the ten pairs (so after the
// tenth result it is pair 9, not the oldest pair 0).
void MeasuredPairSlots(uint32_t spl_slot, uint32_t phase_slot, int* spl, int* phase);
// The measured pair takes the driver's linear SPL - 90 and phase.
void RefreshMeasuredPair(const PostProcessBuffers& b);
// "Show Driver": both visible flags 1.0 or both 0, as the SPL slot's is not 1.0 now.
void ToggleMeasuredPair(const PostProcessBuffers& b);

// Complex response relative to 90 dB and back.
void SplToComplex(double spl_db, double phase_deg, float* re, float* im);
double ComplexToSpl(float re, float im);
double ComplexToPhase(float re, float im);

// "SPL -> Buffer b" (b 1..5): the driver's linear curves as buffer b, with the pens of colour entries 2b-1, 2b.
// Refused (with its message, nothing changed) when a point's complex value would not fit a float.
bool StoreSplInBuffer(const PostProcessBuffers& b, int buffer, MessageList* out);
// "Clear Buffer b": both slots zero (values and header), the real slot white, the imaginary slot dark red.
void ClearPostBuffer(const PostProcessBuffers& b, int buffer);
// "Execute Above -> Master Buffer": the master is the sum of weight_b x buffer b (weights +1, -1 or 0); a sum
// that a float cannot hold is refused with its message, and the master stays.
bool SumIntoMaster(const PostProcessBuffers& b, const int weights[kPostBuffers], MessageList* out);
// "Merge B": master bins below the split bin from source 1, from it on from source 2. False (with its
// message) for a source outside 1..5.
bool MergeIntoMaster(const PostProcessBuffers& b, const char* source1, const char* source2, const char* frequency,
                     MessageList* out);
// The split bin of a merge frequency F (held within 1 Hz .. the frequency of bin 131,070).
int MergeSplitBin(const float* bin_frequency, double frequency);
// "Add " dB to buffer d (0 the driver's linear SPL, 1..6). False, with its message and nothing changed, for a
// destination outside 0..6, a gain outside kPostGainRange, and a gain that would carry a point beyond float range
// (for the driver: beyond what its complex value holds).
bool AddGainToBuffer(const PostProcessBuffers& b, const char* db_text, const char* destination, MessageList* out);
// "Add" ms of delay to buffer d (0 the driver, 1..6): the response times e^(-j 2 pi f t). Refused like the gain
// for a delay outside kPostDelayRange or a curve that is not finite.
bool AddDelayToBuffer(const PostProcessBuffers& b, const char* ms_text, const char* destination, MessageList* out);
// "Show Phase Difference": slot 12 the unwrapped phase of source 1, slot 13 that of source 2 subtracted from it
// (values above 360 brought down by up to ten turns).
bool ShowPhaseDifference(const PostProcessBuffers& b, const char* source1, const char* source2, MessageList* out);
// The unwrapped phase in degrees of a complex curve, as the phase difference takes it.
void UnwrapBufferPhase(const PlotCurve& re, const PlotCurve& im, float* degrees);
// "Copy Master Buffer To ": d 1..5 a buffer, 0 the driver's linear curves (then its log-grid curves rebuilt).
// The master itself (6) and other values are refused.
bool CopyMasterBuffer(const PostProcessBuffers& b, const char* destination, MessageList* out, int* copied_to);
// The driver's 3100-point curves rebuilt from its linear curves: each point takes the highest bin below it,
// holes bridged (level: above -160 dB counts; phase: not exactly 0 counts).
void RebuildDriverLogCurves(HV_Driver_Data* driver, const float* bin_frequency, const float* log_frequency);
// "Clear Screen": every buffer and the master flat at 90 dB (1.0), the other slots 0; flags kept.
void ClearAllPostBuffers(const PostProcessBuffers& b);

// A buffer's legend swatch in a control of the given client rectangle: for each bin up to 8N that has a plot
// column, a move (column 0) or a line to (left + 2 + 0.06 column, top + y), y = 15 - 5 log10(|H|^2 + 1e-13)
// held within 0..45.
struct SwatchPoint {
    int x, y;
    bool move;
};
std::vector<SwatchPoint> BufferSwatchPoints(const PlotCurve& re, const PlotCurve& im, const float* bin_frequency,
                                            const float* plot_frequency, int block_frames, int left, int top);
