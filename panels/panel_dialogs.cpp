#include "panels/panel_dialogs.h"

#include <cfloat>
#include <cstdlib>
#include <cstring>

#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "app/typed_numbers.h"
#include "design/element_dialogs.h"
#include "design/network_model.h"
#include "panels/live_keys.h"
#include "panels/play_sequence.h"

CopySpeakerSelection CopySelection;
TestToneRequest TestTone;

// ---- Copy Speaker Control -------------------------------------------------------------------------------

bool SelectCopyBox(CopySpeakerSelection* s, int box_id) {
    int group;
    if (box_id >= kCopySourceFirstBox && box_id < kCopySourceFirstBox + kCopyBoxes) {
        group = 0;
    } else if (box_id >= kCopyTargetFirstBox && box_id < kCopyTargetFirstBox + kCopyBoxes) {
        group = 1;
    } else {
        return false;
    }
    const int first = group == 0 ? kCopySourceFirstBox : kCopyTargetFirstBox;
    for (int i = 0; i < kCopyBoxes; ++i) s->flags[group * kCopyBoxes + i] = (first + i == box_id) ? 1u : 0u;
    return true;
}

namespace {
int SelectedPane(const CopySpeakerSelection& s, int group) {
    for (int i = 0; i < kCopyBoxes; ++i)
        if (s.flags[group * kCopyBoxes + i] == 1) return kCopyBoxPanes[i];
    return 0;
}
}  // namespace

int CopySourcePane(const CopySpeakerSelection& s) { return SelectedPane(s, 0); }
int CopyTargetPane(const CopySpeakerSelection& s) { return SelectedPane(s, 1); }

int CopySelectedSpeaker(const CopySpeakerSelection& s) {
    const int source = CopySourcePane(s), target = CopyTargetPane(s);
    if (source == 0 || target == 0 || source == target) return 0;
    PaneRecord* from = PaneRecords[source - 1];
    PaneRecord* to = PaneRecords[target - 1];
    if (!from || !to) return 0;
    std::memcpy(static_cast<void*>(to), from, sizeof(PaneRecord));
    if (target == ActivePane && WorkingNet) LoadPaneNetwork(*to, WorkingNet);
    return target;
}

// ---- Plot Control ---------------------------------------------------------------------------------------

int PlotFlagOfBox(int box_id) {
    for (int i = 0; i < kPlotBoxes; ++i)
        if (kPlotBoxIds[i] == box_id) return i;
    return -1;
}

int TogglePlotFlag(uint32_t* flags, int box_id) {
    const int i = PlotFlagOfBox(box_id);
    if (i < 0) return -1;
    flags[i] = flags[i] != 0 ? 0u : 1u;
    return static_cast<int>(flags[i]);
}

// ---- Test Tones -----------------------------------------------------------------------------------------

const char* TestTonePortName(int index) {
    static const char* const names[kTestTonePortCount] = {
        "NONE",    "Port 1",  "Port 2",  "Port 3",  "Port 4",  "Port 5",  "Port 6",  "Port 7",  "Port 8",
        "Port 9",  "Port 10", "Port 11", "Port 12", "Port 13", "Port 14", "Port 15", "Port 16", "ALL"};
    return index >= 0 && index < kTestTonePortCount ? names[index] : "";
}

void SetTestToneFrequencyText(TestToneRequest* t, const char* text) {
    char copy[kToneTextChars] = {};
    std::memcpy(copy, text, strnlen(text, kToneTextChars - 1));  // the text may be FrequencyText itself
    std::memcpy(t->FrequencyText, copy, sizeof copy);
    // The text changes as it is typed: a value no float holds leaves the tone as it was, and Done says so.
    float frequency = 0.0f;
    if (TypedFloatWithin(t->FrequencyText, -FLT_MAX, FLT_MAX, &frequency, kToneTextChars)) t->Frequency.store(frequency);
}

bool TestToneDone(const TestToneRequest& t, MessageList* out) {
    float frequency = 0.0f;
    if (TypedFloatWithin(t.FrequencyText, -FLT_MAX, FLT_MAX, &frequency, kToneTextChars)) return true;
    AddWarning(out, kToneFrequencyRange);
    return false;
}

void SetTestToneChannel(TestToneRequest* t, int selection) {
    if (selection >= 0 && selection < kTestTonePortCount) t->Channel.store(selection);
}

// ---- Profile reload -------------------------------------------------------------------------------------

int ProfileSlotIndex(int32_t profile_number) {
    if (profile_number == 0) return 9;
    if (profile_number >= 1 && profile_number <= 9) return profile_number - 1;
    return -1;
}

ProfileLoad LoadProfile(int32_t profile_number, MessageList* out, std::string* path) {
    const int slot = ProfileSlotIndex(profile_number);
    path->clear();
    if (slot >= 0) {
        const char* stored = Preferences->ProfileSlots[slot];
        path->assign(stored, strnlen(stored, kPathWidth));
    }
    if (path->empty()) {
        AddWarning(out, kProfileNotFound);
        return ProfileLoad::kNotFound;
    }
    MirroredSettings settings = GatherMirroredSettings();
    MessageList messages;
    const int read = ReadProjectFile(*path, GlobalProjectContext(&settings), &messages, kProfileNotRecognized,
                                     kProfileNotFound);
    const bool missing = !messages.empty() && messages.front().text == kProfileNotFound;
    if (out) out->insert(out->end(), messages.begin(), messages.end());
    if (!read) return missing ? ProfileLoad::kNotFound : ProfileLoad::kRefused;
    ScatterMirroredSettings(settings);
    CopySettingText(Preferences->LastProjectPath, kPathWidth, path->c_str());
    CopySettingText(ProjectFilePath, kPathWidth, path->c_str());
    RefreshBlockGrid();
    // Every profile load starts quiet: the file's own volume position would otherwise come back with the
    // record while the gain stays where the reload put it, and the next volume key would jump from there.
    pr_file->tail.VolumePosition = kVolumeAfterStop;
    LiveShared.MasterGain.store(MasterGainOf(kVolumeAfterStop));
    ResetChannelTrims(&LiveShared);
    LiveShared.Groups = ParseLiveKeyChannels(pr_file->tail.LiveKeyChannelFields);
    return ProfileLoad::kLoaded;
}
