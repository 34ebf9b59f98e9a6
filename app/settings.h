#pragma once
// The program's settings variables and process-wide start-up state. Plain globals, as the rest of the
// program reads them in place; flags that engine threads share are atomics.
#include <atomic>
#include <cstdint>

inline constexpr int kColourSchemeEntries = 19;
inline constexpr int kStoredColourFlags = 15;
inline constexpr int kWindowPlacementSlots = 90;
inline constexpr int kDefaultPlacementSlots = 78;  // slots 78..89 have no default
inline constexpr int kCurveViewFlagCount = 12;
inline constexpr int kSettingTextWidth = 11;        // numeric settings edited as text
inline constexpr int kPathWidth = 2048;

struct ColourEntry {
    int32_t red, green, blue, thickness, type;
};
struct WindowPlacement {
    int32_t x, y, cx, cy;
};

struct FrequencyRange {
    uint32_t lowest;   // 0..7 = 1, 2, 5, 10, 20, 50, 100, 200 Hz
    uint32_t highest;  // 0..7 = 500 Hz .. 100 kHz
};

// Lowest and highest plotted frequency of an index pair.
double AxisLowestFrequency(uint32_t index);
double AxisHighestFrequency(uint32_t index);

extern FrequencyRange FrequencyAxisRange;
extern int32_t ColourSelectionFlags[kColourSchemeEntries];
extern ColourEntry ColourScheme[kColourSchemeEntries];
extern int32_t MlsDataPolarity;
extern int32_t MlsReferencePolarity;
extern uint32_t OutputMode;  // 0 "8 Outputs", 1 "16 Outputs", 2 "8 + SPDIF"
extern uint32_t InputMode;   // 0 "Inputs 1-2", 1 "Inputs 1-12", 2 "Inputs 1-8", 3 "Inputs 1-6"
extern uint32_t CaptureDeviceIndex;
extern uint32_t RenderDeviceIndex;
extern uint32_t DeviceIndex3;
extern uint32_t Capture24Bit;     // 0 "16 Bit MLS", 1 "24 Bit MLS"
extern uint32_t WasapiDebugMode;  // "WASAPI De-Bug Mode"
// System settings kept in globals of their own and mirrored into the project record.
extern uint32_t BassMode;         // 0 "Standard", 1 "BBM Input", 2 "Summed L+R", 3 "BBM Output"
extern uint32_t WideWindow;       // "Wide Window"
extern uint32_t HV_Buffer_Size;   // block-size index 0..3 = 512, 1024, 2048, 4096 frames
extern uint32_t IrMethod;         // 0 "Method 1", 1 "Method 2"
extern char ReservedText1[kSettingTextWidth];
extern char ReservedText2[kSettingTextWidth];
extern char MlsOutputDelayText[kSettingTextWidth];
extern char SpeedOfSoundText[kSettingTextWidth];
extern char ReservedText3[kSettingTextWidth];
extern WindowPlacement WindowPlacements[kWindowPlacementSlots];
extern uint32_t CurveViewFlags[kCurveViewFlagCount];

// Screen limits against which remembered placements are clamped.
extern int UsableScreenWidth;
extern int UsableScreenHeight;
extern int ScreenWidth;
extern int WorkAreaBottom;

extern char AppDirectory[kPathWidth];
extern char AppFilePath[kPathWidth];

// Pane editor state the start-up and the presets set.
extern int EditTool;    // 1 Draw, 5 Move, 6 Wipe Comp, 8 Wipe Wire
extern int ActivePane;  // 1..9, 0 for none

// Set while audio streams (engine or a measurement run); every engine loop polls it.
extern std::atomic<int> EngineRunning;
// Set around every modal dialog and file picker; the live keys stay quiet meanwhile.
extern std::atomic<int> ModalDialogOpen;

// The built-in start values of the settings above (what holds when no preferences file exists).
void ResetSettingsToStartValues();

// Copies NUL-terminated text into a fixed-width field: at most width - 1 characters, always terminated.
void CopySettingText(char* dest, int width, const char* src);

// A numeric setting kept as text, read the way atof and atoi read it, except that what is not a finite number
// (or a null text) reads as 0 and an integer beyond the 32-bit range is held at its end.
double SettingTextNumber(const char* text);
int32_t SettingTextInteger(const char* text);

// The pane editor's display flags ("Show Nodes", "Show Raster"), 1 = shown.
extern int ShowNodes;
extern int ShowRaster;

// File-picker buffers of the frame's driver and project commands.
extern char DriverFilePath[kPathWidth];
extern char DriverFileTitle[kPathWidth];
extern char ProjectFilePath[kPathWidth];
extern char ProjectFileTitle[kPathWidth];
// The file name of the last project loaded by the autostart chain or a profile key.
extern char LoadedProfileName[kPathWidth];
