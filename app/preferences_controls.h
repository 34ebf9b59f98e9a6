#pragma once
// What the "System-Wide Preferences" window's controls do to the settings, apart from the window itself:
// which setting each control edits, the toggles, the marks the boxes show, and the table rebuild and the
// clearing of curves and spectra that follow a sample-rate or block-size change.
#include <cstddef>
#include <cstdint>

#include "app/settings.h"

struct PlotCurve;
struct PreferencesRecord;
struct SystemTail;
struct HV_Driver_Data;

// "Center->LR": copy the centre input into left and right. Not kept in any file.
extern uint32_t CenterToLr;

// Control identifiers of the window.
enum PreferencesControlId : int {
    kPrefInputs12 = 10001,
    kPrefInputs112 = 10002,
    kPrefInputs18 = 10003,
    kPrefInputs16 = 10004,
    kPrefInvertMlsData = 10023,
    kPrefInvertMlsReference = 10024,
    kPrefOutputs8 = 10025,
    kPrefOutputs8Spdif = 10026,
    kPrefOutputs16 = 10027,
    kPrefMlsDelayEdit = 10028,
    kPrefCaptureList = 10029,
    kPrefRenderList = 10030,
    kPrefDebugMode = 10035,
    kPrefSub1SourceEdit = 10042,
    kPrefSub2SourceEdit = 10043,
    kPrefAutostart = 10048,
    kPrefPlayerMode = 10050,
    kPrefQueueList = 10051,
    kPrefBlockSizeList = 10052,
    kPrefBassStandard = 10056,
    kPrefBassBbmInput = 10057,
    kPrefBassSummed = 10058,
    kPrefBassBbmOutput = 10059,
    kPrefRenderTiming = 10062,
    kPrefCaptureTiming = 10063,
    kPref16BitMls = 10064,
    kPref24BitMls = 10065,
    kPrefCenterToLr = 10066,
    kPrefSampleRateList = 10120,
};
inline constexpr int kPreferencesFirstId = 10001;
inline constexpr int kPreferencesLastId = 10160;

inline constexpr int kMlsDelayTextChars = 9;  // read limits of the edit fields
inline constexpr int kLiveKeyTextChars = 7;

extern const char* const SampleRateNames[3];   // "44100", "48000", "96000"
extern const char* const BlockSizeNames[4];    // "512 samples" .. "4096 samples"
extern const char* const OutputQueueNames[5];  // "No Buffers" .. "4 Buffers"

// The settings the window edits, where they live. The globals by default; tests point them elsewhere.
struct PreferencesTargets {
    uint32_t* inputMode = &InputMode;
    uint32_t* outputMode = &OutputMode;
    uint32_t* bassMode = &BassMode;
    uint32_t* centerToLr = &CenterToLr;
    uint32_t* capture24Bit = &Capture24Bit;
    uint32_t* wasapiDebugMode = &WasapiDebugMode;
    int32_t* mlsDataPolarity = &MlsDataPolarity;
    int32_t* mlsReferencePolarity = &MlsReferencePolarity;
    char* mlsOutputDelayText = MlsOutputDelayText;
    uint32_t* captureDeviceIndex = &CaptureDeviceIndex;
    uint32_t* renderDeviceIndex = &RenderDeviceIndex;
    uint32_t* bufferSize = &HV_Buffer_Size;
    PreferencesRecord* record = nullptr;  // AUTOSTART, PlayerMode
    SystemTail* tail = nullptr;           // HV_Sampling, OutputQueue, the timing flags, the live-key fields
    HV_Driver_Data* driver = nullptr;     // dr.Sampling, dr.Buffer_Size
};

// What a rate or block-size change rebuilds and clears. The counts are the program's own by default.
struct GridTargets {
    float* binFrequencies = nullptr;  // kBinCount entries
    int* blockFrames = nullptr;
    PlotCurve* curves = nullptr;
    int curveCount = 170;
    float* const* outputSpectrum = nullptr;  // kOutputCount arrays of interleaved complex points
    float* const* phaseReference = nullptr;
    float* const* impulseResponses = nullptr;
    int outputs = 16;
    std::size_t spectrumPoints = 65536;   // complex points cleared at the front of each spectrum
    std::size_t impulseValues = 524288;   // values cleared at the front of each impulse response
};

// The program's globals (pr_file, Preferences, CurrentDriver, the curve table, the spectra).
PreferencesTargets GlobalPreferencesTargets();
GridTargets GlobalGridTargets();

// What the window reads from a control before acting on it: a list's caret index, an edit's text.
struct ControlReading {
    int caretIndex = 0;
    const char* text = "";
};

// Controls whose change would pull buffers from under a streaming engine: they do nothing while it runs.
bool RefusedWhileStreaming(int id);

// The toggles of the check boxes.
uint32_t ToggleOneAndOther(uint32_t v);  // 1 becomes 0, anything else 1
uint32_t ToggleNonZero(uint32_t v);      // non-zero becomes 0, 0 becomes 1
int32_t TogglePolarity(int32_t v);       // 1 becomes -1, anything else 1

// The LiveKeyChannelFields entry an edit control holds, or -1.
int LiveKeyFieldOfControl(int id);

// Runs the setting part of one command from control `id` (the colour editor is separate). Returns true
// when the id belongs to a setting control, whether or not the value changed. `engineRunning` makes the
// refused controls do nothing.
bool ApplyPreferencesControl(int id, const ControlReading& reading, bool engineRunning, const PreferencesTargets& t,
                             const GridTargets& grid);

// The mark every box of the window should show for the current settings.
struct ControlMark {
    int id;
    bool checked;
};
inline constexpr int kPreferencesMarkCount = 21;
void PreferencesMarks(const PreferencesTargets& t, ControlMark marks[kPreferencesMarkCount]);

// N from a block-size index 0..3 (512 .. 4096); false and N unchanged for another index.
bool BlockFramesForIndex(uint32_t index, int* blockFrames);
// f[k] = k * (fs / 8N) in single precision for k = 0..count-1, then f[0] = 0.01.
void FillBinFrequencyTable(float* table, int count, int sampleRate, int blockFrames);
// Zeroes the whole curve records, sets the front of every output spectrum to 0 + 0j and of every phase
// reference to 1e-7 + 0j.
void ClearCurvesAndSpectra(const GridTargets& grid);
// Sample-rate and block-size changes: the setting, the driver's stamp, the table and the cleared data.
// An index outside the lists is ignored.
void ChangeSampleRate(uint32_t index, const PreferencesTargets& t, const GridTargets& grid);
void ChangeBlockSize(uint32_t index, const PreferencesTargets& t, const GridTargets& grid);
