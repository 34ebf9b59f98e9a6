#pragma once
// What the element dialogs do with their texts, apart from the controls: the input-port dialog
// ("EnterInputPort"), the output-port dialog with its driver file ("EnterOutputPort") and the filter block
// dialog ("EnterBehringer"). Each opening gives the texts to show; Done and Cancel take the texts the user
// left and the element's parameters, and give the new parameters, the messages, the texts to put back and
// whether the dialog closes.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/file_picker.h"
#include "app/messages.h"
#include "design/network_model.h"

struct HV_Driver_Data;

// Control ids of the dialog templates.
inline constexpr int kIdPortEdit = 1020;
inline constexpr int kIdNodeLabel = 20;
inline constexpr int kIdDriverPath = 1600;
inline constexpr int kIdBrowse = 1601;
inline constexpr int kIdClearDriver = 1607;
inline constexpr int kIdBandLow = 1602;
inline constexpr int kIdBandHigh = 1603;
inline constexpr int kIdChannelDelay = 1518;
inline constexpr int kIdChannelDelayCm = 800;
inline constexpr int kIdCabsDelay = 1516;
inline constexpr int kIdCabsDelayCm = 900;
inline constexpr int kIdReversePhase = 1022;
inline constexpr int kIdChannelGain = 1615;
inline constexpr int kIdPlotFlag = 1610;
inline constexpr int kIdSlopeList = 1509;
inline constexpr int kIdFamilyList = 1512;
inline constexpr int kIdFrequency = 1506;
inline constexpr int kIdBypass = 1053;
inline constexpr int kIdFilterGain = 1515;
inline constexpr int kIdQOrRatio = 1517;

// How many characters of each field are read.
inline constexpr int kPortChars = 4;
inline constexpr int kBandChars = 11;
inline constexpr int kDelayChars = 9;
inline constexpr int kGainChars = 19;
inline constexpr int kPathChars = 2047;
inline constexpr int kFilterGainChars = 7;
inline constexpr int kFilterQChars = 7;
inline constexpr int kFilterFrequencyChars = 9;

inline constexpr double kCentimetresPerMs = 34.4;  // speed of sound 344 m/s
inline constexpr float kBandLowest = 10.0f;
inline constexpr float kBandHighest = 40000.0f;
inline constexpr float kFilterGainCap = 100.0f;
inline constexpr double kChannelGainLimitDb = 100.0;     // channel gains within -100..+100 dB
inline constexpr double kChannelDelayLimitMs = 1000.0;   // channel delays within -1000..+1000 ms
inline constexpr float kFilterQCap = 1000.0f;

inline constexpr const char* kInputPortTaken = "WARNING! This INPUT Port Number Is Already Allocated";
inline constexpr const char* kInputPortRange = "INPUT Port Is Out Of Range (1....9)\n\nPort 9 is a Phantom Port used for BBM";
inline constexpr const char* kOutputPortTaken = "WARNING! This OUTPUT Port Number Is Already Allocated";
inline constexpr const char* kOutputPortRange = "OUTPUT Port Is Out Of Range (1.....16)";
inline constexpr const char* kChannelGainRange = "Channel Gain Is Out Of Range (-100.....+100dB)";
inline constexpr const char* kChannelDelayRange = "Channel Delay Is Out Of Range (-1000.....+1000ms)";
inline constexpr const char* kBandReset = "EQ Band Is Out Of Range, And Is Being Reset To: 10....40000Hz";
inline constexpr const char* kLinkwitzRefused = "Option NOT Applicable To Linkwitz Filters";
inline constexpr const char* kWideKeeleRefused = "Option NOT Applicable To Wide Keele Filters <2.0 - 4.0>, Setting R = 3.0";
inline constexpr const char* kNarrowKeeleRefused =
    "Option NOT Applicable To Narrow Keele Filters <1.1 -- 3.0>, Setting R = 2.0";
inline constexpr const char* kFrequencyRefused = "Cut-off/Center Frequency Must Be Above 0 Hz";
// Gain and Q/R above their caps are held there without a word; what no float holds ("inf", "nan", "1e39") is
// refused with these.
inline constexpr const char* kFilterGainRange = "Filter Gain Is Out Of Range (-100.....+100dB)";
inline constexpr const char* kFilterQRange = "Q/R Is Out Of Range (.....+1000)";
inline constexpr const char* kSampledAtOtherRate = "This File Was Sampled at Different Frequency";
inline constexpr const char* kOtherBufferSize = "This File Has Different Buffer Size";

// The text-to-float reading of the dialogs over at most `maxChars` characters: what is not a number reads as
// 0, and so does "inf" or "nan", and so does a number that no float holds ("1e39"): every value is stored as
// a float, where it would become infinite and reach delays, gains and frequencies.
double ReadDialogNumber(const std::string& text, int maxChars);
// The text-to-integer reading (leading number, 0 for none), over at most `maxChars` characters.
long ReadDialogInteger(const std::string& text, int maxChars);
// "%f", "%.0f", ... of a value.
std::string FormatValue(const char* format, double v);

struct DialogOutcome {
    bool close = false;
    int result = 0;                                 // 1 Done, 2 Cancel, when closing
    MessageList messages;                           // shown in order, owned by the dialog
    std::vector<std::pair<int, std::string>> texts; // control id, text to put into it
};

// ---- Input port ("EnterInputPort") ----
struct InputPortDialogState {
    std::string portText;  // the port shown at opening ("%.0f" of p0), or the last accepted one
};
struct InputPortTexts {
    std::string port, node;
};
InputPortTexts OpenInputPortDialog(const float* p, InputPortDialogState* state);
// Done: `panes` are the nine stored records (null entries skipped) searched for the port.
DialogOutcome InputPortDone(float* p, const std::string& portText, InputPortDialogState* state,
                            const PaneRecord* const* panes);
DialogOutcome InputPortCancel(float* p, const InputPortDialogState& state);

// ---- Output port ("EnterOutputPort") ----
struct OutputPortDialogState {
    std::string portText;
    uint32_t lowBits = 0, highBits = 0;  // F1 and F2 as they were at opening
    std::string delayText, gainText, cabsText;
    std::string pickerFileName;          // PortPickerFileName
};
struct OutputPortTexts {
    std::string path, low, high, port, node, delay, delayCm, gain, cabs, cabsCm;
    bool reversePhase = false;
    bool plot = false;
};
OutputPortTexts OpenOutputPortDialog(const PaneRecord& net, int element, OutputPortDialogState* state);

// The distance label beside a delay edit: value x 34.4 with "%.4f".
std::string DelayDistanceText(const std::string& delayText);

// Live check boxes: each flips its parameter and gives the new check state.
bool TogglePolarity(float* p);
bool TogglePlotFlag(float* p);

// CabsDelayLimit in ms for a rate index and block-size index; 0 where the table sets none.
int CabsDelayLimitMs(uint32_t samplingIndex, uint32_t bufferSizeIndex);
// Where the table sets no limit, the longest delay the engine's output ring carries at that block size.
int CabsRingLimitMs(uint32_t bufferSizeIndex);

struct OutputPortDoneTexts {
    std::string gain, delay, cabs, port, low, high;
};
struct OutputPortEnvironment {
    const PaneRecord* const* panes = nullptr;  // the nine stored records
    uint32_t samplingIndex = 1;                // HV_Sampling
    uint32_t bufferSizeIndex = 1;              // HV_Buffer_Size
    float* minPhaseWork = nullptr;             // MinPhaseWorkSpectrum (at least 65,536 complex points)
    // Builds the element's minimum-phase driver response into minPhaseWork (BuildMinimumPhaseResponse).
    std::function<void(const WorkingNetwork& net, int element)> buildMinimumPhase;
};
DialogOutcome OutputPortDone(WorkingNetwork* net, int element, const OutputPortDoneTexts& texts,
                             OutputPortDialogState* state, const OutputPortEnvironment& env);
DialogOutcome OutputPortCancel(WorkingNetwork* net, int element, const OutputPortDialogState& state);

// ElementResponse := 1 / M for the first 65,536 points of the work spectrum; a point that is 0 or not finite
// leaves the equalization flat there.
void InvertIntoElementResponse(const float* minPhaseWork, ElementResponse* response);

// The output-port dialog's own open-file picker (InitPortDriverPicker).
FilePickerDescription PortDriverPickerDescription();

// Browse, before the picker: the live port must be above 0.
DialogOutcome CheckBrowsePort(const float* p);
// The driver file intake after the picker chose `path` (with `title`, its name alone): the file is read into
// `buffer`, and only a file of the right size, rate and block size replaces the element's driver (response,
// efficiency, path, title) and the picker's file name. A refused file leaves the previous driver in place.
// Returns 1 when the driver was accepted.
int LoadPortDriverFile(const std::string& path, const std::string& title, HV_Driver_Data* buffer,
                       uint32_t samplingIndex, uint32_t bufferSizeIndex, WorkingNetwork* net, int element,
                       OutputPortDialogState* state, DialogOutcome* outcome);
// Clear Loaded Driver.
void ClearLoadedDriver(WorkingNetwork* net, int element, float* minPhaseWork, OutputPortDialogState* state);

// ---- Filter block ("EnterBehringer") ----
struct FilterBlockDialogState {
    float family = 0, slope = 0;
    std::string frequencyText, gainText, qText;
};
struct FilterBlockTexts {
    int familySelection = -1, slopeSelection = -1;  // -1: no entry selected
    std::string frequency, gain, q;
    bool bypass = false;
};
FilterBlockTexts OpenFilterBlockDialog(const float* p, FilterBlockDialogState* state);
bool ToggleBypass(float* p);
DialogOutcome FilterBlockDone(float* p, const std::string& gainText, const std::string& qText,
                              const std::string& frequencyText);
DialogOutcome FilterBlockCancel(float* p, const FilterBlockDialogState& state);
