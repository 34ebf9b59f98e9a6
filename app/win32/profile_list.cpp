// The profile list dialog "ProjectFile": one edit and one "Browse" button per profile slot. Every change goes
// straight into the slots; "Done" and "Cancel" differ only in the result.
#include <windows.h>

#include "app/file_picker.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/profile_slots.h"
#include "app/resource_ids.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/settings_windows.h"

namespace {

struct ProfilePicker {
    HWND owner = nullptr;
    FilePickerDescription description;
    char path[kPathWidth] = {};
    char title[kPathWidth] = {};
};
ProfilePicker g_pickers[kProfileSlotCount];

}  // namespace

void InitProfilePicker(int n, HWND owner) {
    if (n < 1 || n > kProfileSlotCount) return;
    ProfilePicker& p = g_pickers[n - 1];
    p.owner = owner;
    p.description = FilePickerDescription{};
    p.description.filters = {{"Project Files (*.HIF)", "*.hif"}};
    p.description.default_extension = "*.*";
    p.description.create_prompt = true;
    p.description.hide_read_only = true;
}

bool RunProfilePicker(int n, HWND owner, char* path, char* title) {
    if (n < 1 || n > kProfileSlotCount) return false;
    ProfilePicker& p = g_pickers[n - 1];
    p.owner = owner;
    return RunFilePicker(owner, p.description, path, title);
}

INT_PTR CALLBACK ProfileListDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            for (int n = 1; n <= kProfileSlotCount; ++n) {
                // Setting the edit reports a change, which copies the slot onto itself (cut to its length).
                char text[kPathWidth] = {};
                CopySettingText(text, kProfileSlotChars + 1, Preferences->ProfileSlots[n - 1]);
                SetDlgItemTextA(dialog, IDC_PROFILE_EDIT_FIRST + n - 1, text);
                InitProfilePicker(n, dialog);
            }
            SetFocus(GetDlgItem(dialog, IDC_PROFILE_EDIT_FIRST));
            return FALSE;  // the focus is set
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id >= IDC_PROFILE_EDIT_FIRST && id <= IDC_PROFILE_EDIT_LAST) {
                char text[kPathWidth] = {};
                GetDlgItemTextA(dialog, id, text, kPathWidth);
                SetProfileSlot(Preferences, id - IDC_PROFILE_EDIT_FIRST + 1, text);
                return TRUE;
            }
            if (id >= IDC_PROFILE_BROWSE_FIRST && id <= IDC_PROFILE_BROWSE_LAST) {
                const int n = id - IDC_PROFILE_BROWSE_FIRST + 1;
                ProfilePicker& p = g_pickers[n - 1];
                const bool chosen = RunProfilePicker(n, dialog, p.path, p.title);
                UpdateWindow(dialog);
                p.path[kPathWidth - 1] = '\0';
                if (chosen) {
                    SetProfileSlot(Preferences, n, p.path);
                    SetDlgItemTextA(dialog, IDC_PROFILE_EDIT_FIRST + n - 1, Preferences->ProfileSlots[n - 1]);
                }
                return TRUE;
            }
            if (id == IDOK) {
                EndDialog(dialog, 1);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        }
        default: return FALSE;
    }
}
