#pragma once
// The ten profile paths as the profile list dialog edits them: on a copy, so that "Cancel" leaves the
// stored slots as they were and only "Done" commits.
#include "app/settings.h"

struct PreferencesRecord;

inline constexpr int kProfileSlotCount = 10;
inline constexpr int kProfileSlotChars = 2046;  // characters kept of a typed path, before the NUL

struct ProfileSlotEdit {
    char slots[kProfileSlotCount][kPathWidth] = {};
};

// Takes a copy of the record's slots (each cut to kProfileSlotChars characters).
void BeginProfileEdit(const PreferencesRecord& record, ProfileSlotEdit* edit);
// Slot n (1..10) of the copy takes the text, cut to kProfileSlotChars characters. Other n: nothing.
void SetProfileSlot(ProfileSlotEdit* edit, int n, const char* text);
// Writes the copy back into the record.
void CommitProfileEdit(const ProfileSlotEdit& edit, PreferencesRecord* record);
