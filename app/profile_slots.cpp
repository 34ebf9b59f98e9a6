#include "app/profile_slots.h"

#include "app/preferences.h"

void SetProfileSlot(PreferencesRecord* record, int n, const char* text) {
    if (n < 1 || n > kProfileSlotCount) return;
    CopySettingText(record->ProfileSlots[n - 1], kProfileSlotChars + 1, text);
}
