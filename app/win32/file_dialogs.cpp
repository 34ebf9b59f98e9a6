#include "app/win32/file_dialogs.h"

#include <commdlg.h>

#include "app/win32/message_box.h"

#include <string>

namespace {
FilePickerHook g_hook;
}

void SetFilePickerHook(FilePickerHook hook) { g_hook = std::move(hook); }

bool RunFilePicker(HWND owner, const FilePickerDescription& picker, char* path, char* title) {
    if (g_hook) return g_hook(picker, path, title);
    const std::string filters = FilterString(picker);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = ModalOwner(owner);
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = static_cast<DWORD>(picker.path_chars);
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = static_cast<DWORD>(picker.title_chars);
    ofn.lpstrDefExt = picker.default_extension.empty() ? nullptr : picker.default_extension.c_str();
    DWORD flags = OFN_EXPLORER;
    if (picker.file_must_exist) flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (picker.hide_read_only) flags |= OFN_HIDEREADONLY;
    if (picker.overwrite_prompt) flags |= OFN_OVERWRITEPROMPT;
    if (picker.create_prompt) flags |= OFN_CREATEPROMPT;
    ofn.Flags = flags;
    // A stale name that does not fit the picker makes it refuse to open: start empty then.
    BOOL ok = picker.for_save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!ok && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
        path[0] = '\0';
        ok = picker.for_save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    }
    return ok != FALSE;
}
