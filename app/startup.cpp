#include "app/startup.h"

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "design/design_presets.h"
#include "app/preferences.h"
#include "app/settings.h"

namespace {
bool g_allocated = false;
}

bool RecordsAllocated() { return g_allocated; }

void ReleaseRecords() {
    FreeSystemBuffers();
    FreeCurveBuffers();
    FreeDspBuffers();
    g_allocated = false;
}

bool StartRecords(const std::string& appDirectory, MessageList* messages) {
    if (g_allocated) ReleaseRecords();
    if (AllocateSystemBuffers() != 0 || AllocateCurveBuffers() != 0 || AllocateDspBuffers() != 0) {
        ReleaseRecords();
        AddWarning(messages, kAllocationFailed);
        return false;
    }
    g_allocated = true;

    ResetSettingsToStartValues();
    ResetMlsSettingsToStartValues();
    FrequencyAxisRange = {3, 6};
    StoreDefaultPreferences(Preferences);

    EditTool = 1;
    ActivePane = 0;
    for (int o = 0; o < kOutputCount; ++o) {
        OutputPolarity[o] = 0;
        OutputDelayMs[o] = 0.0f;
    }

    const DriverDefaultInputs driverInputs{HV_Buffer_Size, FrequencyAxisRange.lowest, FrequencyAxisRange.highest};
    SetDriverRecordDefaults(PortDriverBuffer, driverInputs);
    SetDriverRecordDefaults(CurrentDriver, driverInputs);
    SetBaffleDefaults();
    SetSystemRecordDefaults(pr_file, GatherMirroredSettings());
    ClearPlaylistRecord(&Playlist);

    for (auto& f : CurveViewFlags) f = 0;
    CurveViewFlags[0] = 1;

    LoadPreferencesFile(appDirectory, Preferences, messages);

    RebuildBinGrid(pr_file->tail.HV_Sampling, HV_Buffer_Size);
    RebuildPlotGrids(FrequencyAxisRange);

    // The default design, Stereo 2 x 2 Way, in panes 1 and 3; the other panes cleared.
    ResetWorkingNetwork(WorkingNet);
    BuildDefaultDesign(WorkingNet, PaneRecords);
    return true;
}

bool SavePreferences(const std::string& appDirectory, MessageList* messages) {
    CollectPreferences(Preferences);
    return SavePreferencesFile(appDirectory, *Preferences, messages);
}
