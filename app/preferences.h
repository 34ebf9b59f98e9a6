#pragma once
// The preferences record: every user setting that survives from one run to the next. Its raw image is
// HV_Preferences.pre in the application directory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/messages.h"
#include "app/settings.h"

#pragma pack(push, 1)

// Settings of the measurement pages, the room equalizer and the driver-record defaults. The measurement
// code owns their meaning; the record only keeps them. The global `MlsSettings` is the live copy.
struct MlsSettingsBlock {
    char DriverText1[11];          // "1000.0", copied into each new driver record
    char KeptText[11];             // "4000.0"
    char DriverText2[11];          // "100.0"
    char DriverText3[11];          // "1000.0"
    uint32_t MlsOutputLevel;       // 0..100 %
    uint32_t KeptSetting;          // 0
    uint32_t MlsRateIndex;         // index into the sample-rate names
    uint32_t DriverSetting1;       // 2
    uint32_t DriverSetting2;       // 1
    float DriverSetting3;          // 1.0
    char DriverTexts4[5][11];      // "180.0", "0.00", "6.10", "5.00", "4.00"
    char DriverText5[11];          // "0.0"
    char AddDbToSplText[11];       // "0.0"
    char MergeFrequencyText[11];   // "500.0"
    char DriverTexts6[4][11];      // "121", "131", "151", "161"
    char DriverText7[11];          // "0.0"
    uint8_t Reserved1;
    uint32_t KeptSettings[4];      // 0, 0, 1, 0
    uint32_t UseSavedBuffer;
    uint32_t MikeCalUse;
    uint32_t PreampCalUse;
    uint32_t MlsLengthIndex;
    uint32_t SplSmoothingIndex;
    uint32_t WindowTypeIndex;
    uint32_t BothChannels;
    uint32_t AcquisitionFlag;
    char PreEmphasisText[11];      // "0.0"
    char WindowWidthText[11];      // "30000"
    char TimeMsText[11];           // ""
    char PulseDelayText[11];       // "0.0"
    char DelayReadText[11];        // "2.00"
    uint8_t Reserved2;
    uint32_t ZoomIndex;
    uint32_t AcquisitionListIndex;
    uint32_t DisplayFlags[2];
    char CopyMasterBufferText[5];  // "5"
    char DbToSplText[10];          // "0.00"
    char DbToSplBufferText[5];     // "5"
    char MsDelayText[10];          // "0.00"
    char MsDelayBufferText[5];     // "5"
    char MergeFirstBufferText[5];  // "4"
    char MergeSecondBufferText[5]; // "5"
    char AddDiffractionBufferText[5];  // "5"
};
static_assert(sizeof(MlsSettingsBlock) == 382);

struct PreferencesRecord {
    uint32_t FrequencyAxisLowest;                 // 0
    uint32_t FrequencyAxisHighest;                // 4
    uint8_t Reserved8[8];                         // 8
    uint32_t ColourSelectionFlags[kStoredColourFlags];  // 16
    ColourEntry ColourScheme[kColourSchemeEntries];     // 76
    uint8_t Reserved456[100];                     // 456
    uint32_t IncludeColumn[5];                    // 556  importer "Include Column:" flags
    uint32_t EraseLines;                          // 576
    uint32_t TotalColumns;                        // 580
    uint32_t Reserved584[3];                      // 584
    int32_t MlsDataPolarity;                      // 596
    int32_t MlsReferencePolarity;                 // 600
    uint32_t OutputMode;                          // 604
    uint32_t InputMode;                           // 608
    uint32_t CaptureDeviceIndex;                  // 612
    uint32_t RenderDeviceIndex;                   // 616
    char ReservedText1[11];                       // 620
    char ReservedText2[11];                       // 631
    char MlsOutputDelayText[11];                  // 642
    char SpeedOfSoundText[11];                    // 653
    char ReservedText3[11];                       // 664
    char LastDriverPath[kPathWidth];              // 675
    char LastProjectPath[kPathWidth];             // 2723
    char ReservedText4771[21];                    // 4771
    float MlsRateScale;                           // 4792
    uint32_t Reserved4796[9];                     // 4796
    uint32_t AUTOSTART;                           // 4832
    uint32_t PlayerMode;                          // 4836
    uint32_t Reserved4840;                        // 4840
    uint32_t Reserved4844;                        // 4844
    uint32_t Reserved4848;                        // 4848
    uint32_t Reserved4852[2];                     // 4852
    uint32_t DeviceIndex3;                        // 4860
    uint32_t Capture24Bit;                        // 4864
    uint32_t WasapiDebugMode;                     // 4868
    WindowPlacement WindowPlacements[kWindowPlacementSlots];  // 4872
    uint8_t Reserved6312[80];                     // 6312
    uint32_t CurveViewFlags8to11[4];              // 6392
    uint32_t CurveViewFlags4to7[4];               // 6408
    uint32_t CurveViewFlags0to3[4];               // 6424
    uint32_t Reserved6440;                        // 6440
    uint8_t Reserved6444[32028];                  // 6444
    char MikeCalFilePath[kPathWidth];             // 38472
    char PreampCalFilePath[kPathWidth];           // 40520
    MlsSettingsBlock MlsSettings;                 // 42568
    char ProfileSlots[10][kPathWidth];            // 42950
    uint8_t Reserved63430[2];                     // 63430
};

#pragma pack(pop)

static_assert(sizeof(PreferencesRecord) == 63432);
static_assert(offsetof(PreferencesRecord, ColourSelectionFlags) == 16);
static_assert(offsetof(PreferencesRecord, ColourScheme) == 76);
static_assert(offsetof(PreferencesRecord, IncludeColumn) == 556);
static_assert(offsetof(PreferencesRecord, EraseLines) == 576);
static_assert(offsetof(PreferencesRecord, TotalColumns) == 580);
static_assert(offsetof(PreferencesRecord, MlsDataPolarity) == 596);
static_assert(offsetof(PreferencesRecord, OutputMode) == 604);
static_assert(offsetof(PreferencesRecord, RenderDeviceIndex) == 616);
static_assert(offsetof(PreferencesRecord, ReservedText1) == 620);
static_assert(offsetof(PreferencesRecord, MlsOutputDelayText) == 642);
static_assert(offsetof(PreferencesRecord, SpeedOfSoundText) == 653);
static_assert(offsetof(PreferencesRecord, ReservedText3) == 664);
static_assert(offsetof(PreferencesRecord, LastDriverPath) == 675);
static_assert(offsetof(PreferencesRecord, LastProjectPath) == 2723);
static_assert(offsetof(PreferencesRecord, ReservedText4771) == 4771);
static_assert(offsetof(PreferencesRecord, MlsRateScale) == 4792);
static_assert(offsetof(PreferencesRecord, AUTOSTART) == 4832);
static_assert(offsetof(PreferencesRecord, PlayerMode) == 4836);
static_assert(offsetof(PreferencesRecord, DeviceIndex3) == 4860);
static_assert(offsetof(PreferencesRecord, Capture24Bit) == 4864);
static_assert(offsetof(PreferencesRecord, WasapiDebugMode) == 4868);
static_assert(offsetof(PreferencesRecord, WindowPlacements) == 4872);
static_assert(offsetof(PreferencesRecord, CurveViewFlags8to11) == 6392);
static_assert(offsetof(PreferencesRecord, CurveViewFlags4to7) == 6408);
static_assert(offsetof(PreferencesRecord, CurveViewFlags0to3) == 6424);
static_assert(offsetof(PreferencesRecord, Reserved6440) == 6440);
static_assert(offsetof(PreferencesRecord, MikeCalFilePath) == 38472);
static_assert(offsetof(PreferencesRecord, PreampCalFilePath) == 40520);
static_assert(offsetof(PreferencesRecord, MlsSettings) == 42568);
static_assert(offsetof(PreferencesRecord, ProfileSlots) == 42950);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, MlsOutputLevel) == 42612);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, MlsRateIndex) == 42620);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, DriverSetting3) == 42632);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, DriverTexts4) == 42636);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, AddDbToSplText) == 42702);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, DriverTexts6) == 42724);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, KeptSettings) == 42780);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, UseSavedBuffer) == 42796);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, AcquisitionFlag) == 42824);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, PreEmphasisText) == 42828);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, DelayReadText) == 42872);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, ZoomIndex) == 42884);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, DisplayFlags) == 42892);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, CopyMasterBufferText) == 42900);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, DbToSplText) == 42905);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, MsDelayText) == 42920);
static_assert(offsetof(PreferencesRecord, MlsSettings) + offsetof(MlsSettingsBlock, AddDiffractionBufferText) == 42945);

inline constexpr const char* kPreferencesFileName = "HV_Preferences.pre";
inline constexpr const char* kPreferencesOpenFailed = "Unable To OPEN Preferences File";
inline constexpr const char* kPreferencesSaveFailed = "Unable To SAVE Preferences File";

// The live measurement settings mirrored by the record's MlsSettings block.
extern MlsSettingsBlock MlsSettings;

// Fills the measurement settings with their start values.
void ResetMlsSettingsToStartValues();

// Fills the record from the settings variables' built-in values; also resets the placements to their
// defaults. Returns 0.
int StoreDefaultPreferences(PreferencesRecord* record);
// Copies a record just read from the file back into the settings, bringing every value into range.
int ApplyPreferences(PreferencesRecord* record);
// Copies the settings into the record just before it is written, clamping the placements.
int CollectPreferences(PreferencesRecord* record);

// Clamps one remembered placement to the usable screen, as at exit.
void ClampPlacement(WindowPlacement* p, int usableWidth, int usableHeight);

// Reads <directory>HV_Preferences.pre over the record and applies it. A missing file, or one that is not
// exactly a preferences record, adds "Unable To OPEN Preferences File" and leaves record and settings alone.
// Returns true when the file was read and applied.
bool LoadPreferencesFile(const std::string& directory, PreferencesRecord* record, MessageList* messages);
// Writes the record to <directory>HV_Preferences.pre through a temporary file; a failure adds
// "Unable To SAVE Preferences File" and leaves the previous file intact.
bool SavePreferencesFile(const std::string& directory, const PreferencesRecord& record, MessageList* messages);
