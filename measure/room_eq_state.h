#pragma once
// The room equalizer's state that outlives its dialog, the wiring of its arithmetic to the global records, and
// the steps of a location run over those globals: the dialog ("Minimum-Phase Room Equalizer") only adds the
// controls, the measurement threads, the file picker and the painting around these.
#include <cstdint>
#include <string>

#include "app/messages.h"
#include "app/settings.h"
#include "measure/measurement_threads.h"
#include "measure/mls_analysis.h"
#include "measure/room_eq.h"

inline constexpr int kRoomEqPlotColumns = 2000;

extern int CurrentLocation;                  // 0..5: the location of the run in progress or the last one
extern int EqThreshold;                      // threshold bar position 35..125; T = 70 - position (dB re 90 dB)
extern int32_t EqThresholdLine[kRoomEqGridBins];  // every entry T: the SPL plot's threshold line
extern uint32_t ShowMeasuredPhase;           // the four show boxes of the SPL plot
extern uint32_t ShowRoomEqPhase;
extern uint32_t ShowRoomEqSpl;
extern uint32_t ShowEqualizedSpl;
extern uint32_t RoomEqBlockSizeMemo;         // HV_Buffer_Size at the last opening
extern uint32_t RoomEqRateMemo;              // the system's HV_Sampling at the last opening
extern float LevelPeakRef;                   // peak magnitudes of the last converted capture
extern float LevelPeakIn;
extern float RoomEqMeterScale;               // what the meters multiply them by after the last run
extern FrequencyRange RoomEqAxisRange;       // 10 Hz .. 50 kHz
extern float RoomEqPlotFrequencyTable[kRoomEqPlotColumns];
extern float MinPhaseInputDb[kRoomEqGridBins];

// The arithmetic's buffers as the global records provide them (AllocateDspBuffers and AllocateCurveBuffers
// must have run).
RoomEqBuffers GlobalRoomEqBuffers();

// What the dialog does with the shared state when it opens: the measurement rate, length, cursor and window
// type forced to the room's (48 kHz, 262143, 50, the first window), the measured phase shown, the plot's columns
// built, every room curve cleared when the block size or the system's rate changed since the last opening (the
// locations lie on the bin grid of both), and the threshold line.
void OpenRoomEqState();

// The threshold bar at `position` (held within 35..125) and its line.
void SetEqThreshold(int position);
// "EQ Threshold = %d dB" of the bar's position.
std::string EqThresholdLabel();

// "Clear All Data": every room curve, the location, the levels.
void ClearAllRoomEqData();

// A location run, before the streams start or the picker opens: the spectrum arrays cleared; refused (false)
// while EngineRunning is set; then every run buffer cleared.
bool BeginLocationRun();

// Why a live location run left nothing to analyse (each ends: the location was not measured).
inline constexpr const char* kLocationRunNotEnded = "The Measurement Did Not End\nThe Location Was Not Measured";
inline constexpr const char* kLocationDeviceFailed = "The Sound Device Failed\nThe Location Was Not Measured";
inline constexpr const char* kLocationCaptureSilent =
    "The Capture Device Delivered No Data For One Second\nThe Location Was Not Measured";
inline constexpr const char* kLocationRenderSilent =
    "The Playback Device Took No Data For One Second\nThe Location Was Not Measured";
inline constexpr const char* kLocationCaptureShort = "The Capture Is Short\nThe Location Was Not Measured";

// Before a live run plays its 7 seconds: the measurement rate and length must fall onto the system's bin
// grid, and the impulse window must fit the sequence; otherwise the message the analysis would give after the
// run ("MLS Sampling Rate Does Not Fit The System Sampling Rate", ...) goes to `out` now.
bool LocationRunSettingsFit(MessageList* out);

// After a live run (`ended`: both threads were joined): "" when both threads ran every period, else the
// reason, one of the texts above.
std::string LocationRunFailure(const MeasurementRun& run, bool ended);

// After a live run whose threads both ended well: the capture kept in MlsSavedBuffer and converted into the two
// channels, with the levels for the meters.
void FinishLiveLocationCapture();

// "Use Saved IR": a *.RES file into the capture, its rate and length taken over (the sequence tables rebuilt
// for its order), kept in MlsSavedBuffer and converted. False when it was refused (its message in `out`, with
// the room equalizer's caption); nothing of the measurement state changes then.
bool LoadLocationCapture(const std::string& path, MessageList* out);

enum class LocationRunOutcome {
    kStored,       // the location holds the run, the EQ is recomputed
    kNoResponse,   // "Please Generate Impulse Response First": the reference display only
    kNotAnalysed,  // stopped by the analysis with its message: the impulse displays only
};

// The steps after the capture: the start-offset shift, the deconvolution of both channels with their displays,
// the location's analysis (measured channel read from `cursor`), and the EQ of every measured location.
LocationRunOutcome ProcessLocationRun(int32_t cursor, const MlsStartOffset& offset, MessageList* out);

// The location file of the last run in `directory` (which ends in a separator), named by pane and location.
// Returns 1 when written, 0 when there is no name for the pane or the file could not be made (its path as the
// message).
int WriteLocationFile(const std::string& directory, int pane, int location, MessageList* out);

// The meters' two bars after the last run: the measured channel ("Ri", left) and the reference ("Li", right).
struct RoomEqMeterValues {
    float in = 0.0f;
    float ref = 0.0f;
};
RoomEqMeterValues CurrentRoomEqMeterValues();

// ComputeRoomEq and StoreRoomEqResponse for the element being edited (SelectedElement of the WorkingNetwork).
// Each refuses, with its message in `out` and false, a block whose slope, added level or delay is out of range
// (from a project file) and a result that is not a finite number; StoreRoomEqResponseNow then leaves the
// element's response as it was.
bool ComputeRoomEqNow(MessageList* out);
bool StoreRoomEqResponseNow(MessageList* out);
