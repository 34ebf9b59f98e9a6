#include "app/preferences.h"

#include <cmath>
#include <cstring>

#include "app/raw_file.h"

MlsSettingsBlock MlsSettings;

namespace {

constexpr WindowPlacement kDefaultPlacements[kDefaultPlacementSlots] = {
    {0, 0, 900, 500},     {150, 450, 820, 230}, {0, 0, 900, 560},     {0, 0, 1016, 720},
    {0, 0, 675, 455},     {0, 460, 675, 255},   {660, 60, 355, 652},  {0, 0, 900, 500},
    {10, 10, 1000, 800},  {450, 440, 900, 20},  {10, 10, 800, 800},   {500, 450, 600, 20},
    {10, 10, 800, 800},   {500, 400, 600, 20},  {50, 100, 300, 600},  {0, 290, 600, 200},
    {0, 290, 800, 400},   {0, 290, 600, 300},   {0, 290, 800, 400},   {10, 10, 800, 800},
    {500, 400, 600, 500}, {10, 400, 600, 300},  {10, 400, 600, 300},  {10, 10, 800, 800},
    {500, 400, 600, 500}, {550, 0, 460, 360},   {0, 0, 460, 360},     {0, 345, 460, 360},
    {550, 345, 460, 360}, {300, 150, 460, 360}, {530, 370, 600, 500}, {0, 0, 900, 600},
    {200, 450, 600, 300}, {0, 0, 650, 350},     {0, 360, 650, 350},   {700, 50, 500, 300},
    {0, 0, 650, 350},     {0, 360, 650, 350},   {700, 50, 500, 300},  {0, 0, 750, 350},
    {0, 360, 750, 350},   {800, 50, 500, 300},  {0, 0, 650, 350},     {0, 360, 650, 350},
    {700, 40, 500, 300},  {560, 0, 400, 300},   {0, 330, 650, 370},   {0, 0, 550, 300},
    {700, 200, 500, 300}, {10, 10, 400, 300},   {200, 10, 650, 370},  {100, 10, 650, 370},
    {100, 10, 650, 370},  {100, 10, 250, 250},  {100, 10, 250, 250},  {480, 10, 450, 350},
    {850, 50, 460, 360},  {10, 10, 450, 350},   {10, 370, 500, 500},  {100, 350, 300, 250},
    {100, 350, 300, 250}, {400, 350, 300, 250}, {350, 50, 850, 350},  {350, 50, 850, 650},
    {100, 100, 300, 250}, {100, 100, 300, 250}, {400, 350, 300, 250}, {400, 350, 300, 250},
    {400, 350, 300, 250}, {400, 350, 300, 250}, {400, 350, 300, 250}, {400, 350, 300, 250},
    {400, 350, 300, 250}, {400, 350, 300, 250}, {400, 350, 300, 250}, {400, 350, 300, 250},
    {400, 350, 300, 250}, {400, 350, 300, 250},
};

template <size_t N>
void SetText(char (&dest)[N], const char* src) {
    CopySettingText(dest, static_cast<int>(N), src);
}

template <size_t N>
void Terminate(char (&field)[N]) {
    field[N - 1] = '\0';
}

uint32_t Flag(uint32_t v) { return v ? 1u : 0u; }

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Measurement rates are stored as rate indices; indices 4..6 of older files name the same rates as 0..2.
void ReduceMlsRateIndex(MlsSettingsBlock* block) {
    if (block->MlsRateIndex > 3) block->MlsRateIndex -= 4;
}

void TerminateMlsTexts(MlsSettingsBlock* b) {
    Terminate(b->DriverText1);
    Terminate(b->KeptText);
    Terminate(b->DriverText2);
    Terminate(b->DriverText3);
    for (auto& t : b->DriverTexts4) Terminate(t);
    Terminate(b->DriverText5);
    Terminate(b->AddDbToSplText);
    Terminate(b->MergeFrequencyText);
    for (auto& t : b->DriverTexts6) Terminate(t);
    Terminate(b->DriverText7);
    Terminate(b->PreEmphasisText);
    Terminate(b->WindowWidthText);
    Terminate(b->TimeMsText);
    Terminate(b->PulseDelayText);
    Terminate(b->DelayReadText);
    Terminate(b->CopyMasterBufferText);
    Terminate(b->DbToSplText);
    Terminate(b->DbToSplBufferText);
    Terminate(b->MsDelayText);
    Terminate(b->MsDelayBufferText);
    Terminate(b->MergeFirstBufferText);
    Terminate(b->MergeSecondBufferText);
    Terminate(b->AddDiffractionBufferText);
}

void CopyCurveViewFlagsToRecord(PreferencesRecord* r) {
    for (int i = 0; i < 4; ++i) {
        r->CurveViewFlags0to3[i] = CurveViewFlags[i];
        r->CurveViewFlags4to7[i] = CurveViewFlags[4 + i];
        r->CurveViewFlags8to11[i] = CurveViewFlags[8 + i];
    }
}

void CopyCommonToRecord(PreferencesRecord* r) {
    r->FrequencyAxisLowest = FrequencyAxisRange.lowest;
    r->FrequencyAxisHighest = FrequencyAxisRange.highest;
    CopyCurveViewFlagsToRecord(r);
    for (int i = 0; i < kStoredColourFlags; ++i) r->ColourSelectionFlags[i] = static_cast<uint32_t>(ColourSelectionFlags[i]);
    for (int i = 0; i < kColourSchemeEntries; ++i) r->ColourScheme[i] = ColourScheme[i];
    r->MlsDataPolarity = MlsDataPolarity;
    r->MlsReferencePolarity = MlsReferencePolarity;
    r->OutputMode = OutputMode;
    r->InputMode = InputMode;
    r->CaptureDeviceIndex = CaptureDeviceIndex;
    r->RenderDeviceIndex = RenderDeviceIndex;
    SetText(r->ReservedText1, ReservedText1);
    SetText(r->ReservedText2, ReservedText2);
    SetText(r->MlsOutputDelayText, MlsOutputDelayText);
    SetText(r->SpeedOfSoundText, SpeedOfSoundText);
    SetText(r->ReservedText3, ReservedText3);
}

}  // namespace

void ResetMlsSettingsToStartValues() {
    MlsSettingsBlock& b = MlsSettings;
    std::memset(&b, 0, sizeof b);
    SetText(b.DriverText1, "1000.0");
    SetText(b.KeptText, "4000.0");
    SetText(b.DriverText2, "100.0");
    SetText(b.DriverText3, "1000.0");
    b.MlsOutputLevel = 10;
    b.KeptSetting = 0;
    b.MlsRateIndex = 1;
    b.DriverSetting1 = 2;
    b.DriverSetting2 = 1;
    b.DriverSetting3 = 1.0f;
    const char* texts4[5] = {"180.0", "0.00", "6.10", "5.00", "4.00"};
    for (int i = 0; i < 5; ++i) SetText(b.DriverTexts4[i], texts4[i]);
    SetText(b.DriverText5, "0.0");
    SetText(b.AddDbToSplText, "0.0");
    SetText(b.MergeFrequencyText, "500.0");
    const char* texts6[4] = {"121", "131", "151", "161"};
    for (int i = 0; i < 4; ++i) SetText(b.DriverTexts6[i], texts6[i]);
    SetText(b.DriverText7, "0.0");
    b.KeptSettings[0] = 0;
    b.KeptSettings[1] = 0;
    b.KeptSettings[2] = 1;
    b.KeptSettings[3] = 0;
    b.UseSavedBuffer = 0;
    b.MikeCalUse = 1;
    b.PreampCalUse = 1;
    b.MlsLengthIndex = 2;
    b.SplSmoothingIndex = 2;
    b.WindowTypeIndex = 1;
    b.BothChannels = 1;
    b.AcquisitionFlag = 0;
    SetText(b.PreEmphasisText, "0.0");
    SetText(b.WindowWidthText, "30000");
    SetText(b.TimeMsText, "");
    SetText(b.PulseDelayText, "0.0");
    SetText(b.DelayReadText, "2.00");
    b.ZoomIndex = 0;
    b.AcquisitionListIndex = 1;
    b.DisplayFlags[0] = b.DisplayFlags[1] = 0;
    SetText(b.CopyMasterBufferText, "5");
    SetText(b.DbToSplText, "0.00");
    SetText(b.DbToSplBufferText, "5");
    SetText(b.MsDelayText, "0.00");
    SetText(b.MsDelayBufferText, "5");
    SetText(b.MergeFirstBufferText, "4");
    SetText(b.MergeSecondBufferText, "5");
    SetText(b.AddDiffractionBufferText, "5");
}

void ClampPlacement(WindowPlacement* p, int w, int h) {
    if (p->x < 0) p->x = 0;
    if (p->y < 0) p->y = 0;
    if (p->cx < 0) p->cx = 50;
    if (p->cy < 0) p->cy = 50;
    if (p->x > w) p->x = 0;
    if (p->y > h) p->y = 0;
    if (p->cx > w) p->cx = w;
    if (p->cy > h) p->cy = h;
}

int StoreDefaultPreferences(PreferencesRecord* r) {
    CopyCommonToRecord(r);
    // Importer settings.
    std::memset(r->IncludeColumn, 0, 10 * sizeof(uint32_t));
    r->IncludeColumn[0] = r->IncludeColumn[1] = r->IncludeColumn[2] = 1;
    r->EraseLines = 0;
    r->TotalColumns = 3;
    SetText(r->LastDriverPath, "**");
    SetText(r->LastProjectPath, "**");
    SetText(r->ReservedText4771, "0.0");
    // Words 4792..4868.
    r->MlsRateScale = 0.0f;
    std::memset(r->Reserved4796, 0, sizeof r->Reserved4796);
    r->AUTOSTART = 0;
    r->PlayerMode = 0;
    r->Reserved4840 = 2;
    r->Reserved4844 = 0;
    r->Reserved4848 = 2;
    r->Reserved4852[0] = r->Reserved4852[1] = 0;
    r->DeviceIndex3 = DeviceIndex3;
    r->Capture24Bit = 0;  // the record's default, not the variable's start value
    r->WasapiDebugMode = WasapiDebugMode;
    for (int i = 0; i < kDefaultPlacementSlots; ++i) WindowPlacements[i] = kDefaultPlacements[i];
    for (int i = 0; i < kWindowPlacementSlots; ++i) r->WindowPlacements[i] = WindowPlacements[i];
    SetText(r->MikeCalFilePath, "");
    SetText(r->PreampCalFilePath, "");
    ReduceMlsRateIndex(&MlsSettings);
    r->MlsSettings = MlsSettings;
    r->Reserved6440 = 0;
    return 0;
}

int ApplyPreferences(PreferencesRecord* r) {
    // Bring everything the file brings into range first, so the record that is written back at exit
    // is sound as well.
    if (r->FrequencyAxisLowest > 7) r->FrequencyAxisLowest = 3;
    if (r->FrequencyAxisHighest > 7) r->FrequencyAxisHighest = 6;
    for (auto& f : r->ColourSelectionFlags) f = Flag(f);
    for (auto& c : r->ColourScheme) {
        c.red = Clamp(c.red, 0, 255);
        c.green = Clamp(c.green, 0, 255);
        c.blue = Clamp(c.blue, 0, 255);
        c.thickness = Clamp(c.thickness, 1, 4);
        c.type = Clamp(c.type, 1, 3);
    }
    for (auto& w : r->IncludeColumn) w = Flag(w);
    if (r->TotalColumns < 2 || r->TotalColumns > 5) r->TotalColumns = 3;
    r->MlsDataPolarity = r->MlsDataPolarity < 0 ? -1 : 1;
    r->MlsReferencePolarity = r->MlsReferencePolarity < 0 ? -1 : 1;
    if (r->OutputMode > 2) r->OutputMode = 1;
    if (r->InputMode > 3) r->InputMode = 0;
    Terminate(r->ReservedText1);
    Terminate(r->ReservedText2);
    Terminate(r->MlsOutputDelayText);
    Terminate(r->SpeedOfSoundText);
    Terminate(r->ReservedText3);
    Terminate(r->LastDriverPath);
    Terminate(r->LastProjectPath);
    Terminate(r->ReservedText4771);
    if (!std::isfinite(r->MlsRateScale)) r->MlsRateScale = 0.0f;
    r->AUTOSTART = Flag(r->AUTOSTART);
    r->PlayerMode = Flag(r->PlayerMode);
    r->Capture24Bit = Flag(r->Capture24Bit);
    r->WasapiDebugMode = Flag(r->WasapiDebugMode);
    for (auto& p : r->WindowPlacements) ClampPlacement(&p, UsableScreenWidth, UsableScreenHeight);
    for (auto& f : r->CurveViewFlags0to3) f = Flag(f);
    for (auto& f : r->CurveViewFlags4to7) f = Flag(f);
    for (auto& f : r->CurveViewFlags8to11) f = Flag(f);
    Terminate(r->MikeCalFilePath);
    Terminate(r->PreampCalFilePath);
    TerminateMlsTexts(&r->MlsSettings);
    ReduceMlsRateIndex(&r->MlsSettings);
    if (r->MlsSettings.MlsRateIndex > 3) r->MlsSettings.MlsRateIndex = 1;
    if (r->MlsSettings.MlsOutputLevel > 100) r->MlsSettings.MlsOutputLevel = 100;
    if (!std::isfinite(r->MlsSettings.DriverSetting3)) r->MlsSettings.DriverSetting3 = 1.0f;
    for (auto& p : r->ProfileSlots) Terminate(p);

    FrequencyAxisRange = {r->FrequencyAxisLowest, r->FrequencyAxisHighest};
    for (int i = 0; i < 4; ++i) {
        CurveViewFlags[i] = r->CurveViewFlags0to3[i];
        CurveViewFlags[4 + i] = r->CurveViewFlags4to7[i];
        CurveViewFlags[8 + i] = r->CurveViewFlags8to11[i];
    }
    for (int i = 0; i < kStoredColourFlags; ++i) ColourSelectionFlags[i] = static_cast<int32_t>(r->ColourSelectionFlags[i]);
    for (int i = 0; i < kColourSchemeEntries; ++i) ColourScheme[i] = r->ColourScheme[i];
    MlsDataPolarity = r->MlsDataPolarity;
    MlsReferencePolarity = r->MlsReferencePolarity;
    OutputMode = r->OutputMode;
    InputMode = r->InputMode;
    CaptureDeviceIndex = r->CaptureDeviceIndex;
    RenderDeviceIndex = r->RenderDeviceIndex;
    DeviceIndex3 = r->DeviceIndex3;
    Capture24Bit = r->Capture24Bit;
    WasapiDebugMode = r->WasapiDebugMode;
    SetText(ReservedText1, r->ReservedText1);
    SetText(ReservedText2, r->ReservedText2);
    SetText(MlsOutputDelayText, r->MlsOutputDelayText);
    SetText(SpeedOfSoundText, r->SpeedOfSoundText);
    SetText(ReservedText3, r->ReservedText3);
    for (int i = 0; i < kWindowPlacementSlots; ++i) WindowPlacements[i] = r->WindowPlacements[i];
    MlsSettings = r->MlsSettings;
    return 0;
}

int CollectPreferences(PreferencesRecord* r) {
    CopyCommonToRecord(r);
    r->DeviceIndex3 = DeviceIndex3;
    r->Capture24Bit = Capture24Bit;
    r->WasapiDebugMode = WasapiDebugMode;
    for (int i = 0; i < kWindowPlacementSlots; ++i) {
        ClampPlacement(&WindowPlacements[i], UsableScreenWidth, UsableScreenHeight);
        r->WindowPlacements[i] = WindowPlacements[i];
    }
    ReduceMlsRateIndex(&MlsSettings);
    r->MlsSettings = MlsSettings;
    return 0;
}

bool LoadPreferencesFile(const std::string& directory, PreferencesRecord* record, MessageList* messages) {
    // A file of any other size is not a preferences record: taking its front over the defaults would
    // mix two records, so it is refused whole and the defaults stay.
    RawFileStatus st = ReadRawImage(directory + kPreferencesFileName, record, sizeof(PreferencesRecord));
    if (st != RawFileStatus::Ok) {
        AddWarning(messages, kPreferencesOpenFailed);
        return false;
    }
    ApplyPreferences(record);
    return true;
}

bool SavePreferencesFile(const std::string& directory, const PreferencesRecord& record, MessageList* messages) {
    if (WriteRawImage(directory + kPreferencesFileName, &record, sizeof record) != RawFileStatus::Ok) {
        AddWarning(messages, kPreferencesSaveFailed);
        return false;
    }
    return true;
}
