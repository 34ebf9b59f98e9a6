#pragma once
// The ten profile paths as the profile list dialog edits them: every change goes straight into the record's
// slots, so "Done" and "Cancel" differ only in the dialog's result.
#include "app/settings.h"

struct PreferencesRecord;

inline constexpr int kProfileSlotCount = 10;
inline constexpr int kProfileSlotChars = 2046;  // characters kept of a typed path, before the NUL

// Slot n (1..10) of the record takes the text, cut to kProfileSlotChars characters. Other n: nothing.
void SetProfileSlot(PreferencesRecord* record, int n, const char* text);
