#include "app/settings.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

FrequencyRange FrequencyAxisRange{3, 6};
int32_t ColourSelectionFlags[kColourSchemeEntries];
ColourEntry ColourScheme[kColourSchemeEntries];
int32_t MlsDataPolarity = 1;
int32_t MlsReferencePolarity = 1;
uint32_t OutputMode = 1;
uint32_t InputMode = 0;
uint32_t CaptureDeviceIndex = 0;
uint32_t RenderDeviceIndex = 0;
uint32_t DeviceIndex3 = 0;
uint32_t Capture24Bit = 1;
uint32_t WasapiDebugMode = 0;
uint32_t BassMode = 0;
uint32_t WideWindow = 1;
uint32_t HV_Buffer_Size = 1;
uint32_t IrMethod = 0;
char ReservedText1[kSettingTextWidth];
char ReservedText2[kSettingTextWidth];
char MlsOutputDelayText[kSettingTextWidth];
char SpeedOfSoundText[kSettingTextWidth];
char ReservedText3[kSettingTextWidth];
WindowPlacement WindowPlacements[kWindowPlacementSlots];
uint32_t CurveViewFlags[kCurveViewFlagCount];

int UsableScreenWidth = 0;
int UsableScreenHeight = 0;
int ScreenWidth = 0;
int WorkAreaBottom = 0;
char AppDirectory[kPathWidth];
char AppFilePath[kPathWidth];

int EditTool = 1;
int ActivePane = 0;
std::atomic<int> EngineRunning{0};
std::atomic<int> ModalDialogOpen{0};

namespace {
constexpr double kLowestFrequencies[8] = {1, 2, 5, 10, 20, 50, 100, 200};
constexpr double kHighestFrequencies[8] = {500, 1000, 2000, 5000, 10000, 20000, 50000, 100000};

constexpr ColourEntry kDefaultColourScheme[kColourSchemeEntries] = {
    {142, 185, 210, 1, 1},  // Dialogue Box Background
    {196, 0, 0, 1, 1},      // Filter SPL Curve
    {0, 164, 0, 1, 1},      // Driver SPL Curve
    {0, 0, 196, 1, 1},      // HBT SPL Curve
    {196, 0, 196, 1, 1},    // SPL Corrected Curve
    {96, 0, 0, 1, 1},       // Filter Phase Curve
    {128, 128, 0, 1, 1},    // Driver Phase Curve
    {0, 196, 255, 1, 1},    // HBT Phase Curve
    {228, 128, 0, 1, 1},    // Phase Corrected Curve
    {0, 128, 128, 1, 1},    // System SPL Corrected
    {128, 128, 128, 1, 1},  // System Phase Corrected
    {128, 228, 0, 1, 1},    // HBT + Filter SPL Curve
    {76, 154, 255, 1, 1},   // Equalized Room SPL
    {196, 196, 196, 1, 1},  // Room EQ Curve SPL
    {0, 0, 0, 1, 1},        // Room EQ Phase
    {0, 164, 0, 1, 1},      // HBT + Filter Phase Curve
    {164, 0, 0, 1, 1},      // Excess Group Delay
    {0, 0, 164, 1, 1},      // MLS In
    {128, 128, 128, 1, 1},  // MLS Ref
};
}  // namespace

double AxisLowestFrequency(uint32_t index) { return kLowestFrequencies[index < 8 ? index : 7]; }
double AxisHighestFrequency(uint32_t index) { return kHighestFrequencies[index < 8 ? index : 7]; }

double SettingTextNumber(const char* text) {
    if (!text) return 0.0;
    const double v = std::strtod(text, nullptr);
    return std::isfinite(v) ? v : 0.0;
}

int32_t SettingTextInteger(const char* text) {
    if (!text) return 0;
    const long long v = std::strtoll(text, nullptr, 10);
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}

void CopySettingText(char* dest, int width, const char* src) {
    if (width <= 0) return;
    int n = 0;
    if (src) {
        while (n < width - 1 && src[n] != '\0') ++n;
        std::memmove(dest, src, static_cast<size_t>(n));
    }
    dest[n] = '\0';
}

void ResetSettingsToStartValues() {
    FrequencyAxisRange = {3, 6};
    for (int i = 0; i < kColourSchemeEntries; ++i) {
        ColourScheme[i] = kDefaultColourScheme[i];
        ColourSelectionFlags[i] = (i == 1) ? 1 : 0;
    }
    MlsDataPolarity = 1;
    MlsReferencePolarity = 1;
    OutputMode = 1;
    InputMode = 0;
    CaptureDeviceIndex = RenderDeviceIndex = DeviceIndex3 = 0;
    Capture24Bit = 1;
    WasapiDebugMode = 0;
    BassMode = 0;
    WideWindow = 1;
    HV_Buffer_Size = 1;
    IrMethod = 0;
    CopySettingText(ReservedText1, kSettingTextWidth, "0.0");
    CopySettingText(ReservedText2, kSettingTextWidth, "0.0");
    CopySettingText(MlsOutputDelayText, kSettingTextWidth, "200");
    CopySettingText(SpeedOfSoundText, kSettingTextWidth, "344.00");
    CopySettingText(ReservedText3, kSettingTextWidth, "10");
    for (auto& p : WindowPlacements) p = {0, 0, 0, 0};
    for (auto& f : CurveViewFlags) f = 0;
    EditTool = 1;
    ActivePane = 0;
}

int ShowNodes = 1;
int ShowRaster = 1;
char DriverFilePath[kPathWidth];
char DriverFileTitle[kPathWidth];
char ProjectFilePath[kPathWidth];
char ProjectFileTitle[kPathWidth];
char LoadedProfileName[kPathWidth];
