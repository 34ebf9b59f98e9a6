#include "app/profile_slots.h"

#include "app/preferences.h"

void BeginProfileEdit(const PreferencesRecord& record, ProfileSlotEdit* edit) {
    for (int n = 1; n <= kProfileSlotCount; ++n) SetProfileSlot(edit, n, record.ProfileSlots[n - 1]);
}

void SetProfileSlot(ProfileSlotEdit* edit, int n, const char* text) {
    if (n < 1 || n > kProfileSlotCount) return;
    CopySettingText(edit->slots[n - 1], kProfileSlotChars + 1, text);
}

void CommitProfileEdit(const ProfileSlotEdit& edit, PreferencesRecord* record) {
    for (int n = 1; n <= kProfileSlotCount; ++n)
        CopySettingText(record->ProfileSlots[n - 1], kPathWidth, edit.slots[n - 1]);
}
