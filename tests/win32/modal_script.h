#pragma once
// Driving dialogs from a test. A modal dialog runs its own message loop: a thread timer reaches into it and
// plays the test's script there, and a dialog the script leaves open is cancelled, so a test never hangs.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

struct ModalScript {
    std::function<void(HWND)> script;
    std::function<bool(HWND)> skip;  // dialogs that are open already and are not the one awaited
    std::vector<HWND> already_open;  // the dialogs shown when the script was armed (modeless panels among them)
    HWND dialog = nullptr;           // the dialog the script ran in
    UINT_PTR timer = 0;              // the timer that looks for the dialog, until it is found or cleared
};

inline ModalScript& CurrentModalScript() {
    static ModalScript s;
    return s;
}

inline bool IsShownDialog(HWND window) {
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    return std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window);
}

inline BOOL CALLBACK CollectShownDialog(HWND window, LPARAM out) {
    if (IsShownDialog(window)) reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
    return TRUE;
}

// The awaited dialog is one that was not shown when the script was armed. A dialog that pumps messages while
// it sets itself up (an endpoint enumeration does) lets the timer in before it is visible: the modeless
// panels beside it must not be taken for it.
inline BOOL CALLBACK FindScriptDialog(HWND window, LPARAM out) {
    const ModalScript& s = CurrentModalScript();
    const bool was_open = std::find(s.already_open.begin(), s.already_open.end(), window) != s.already_open.end();
    if (IsShownDialog(window) && !was_open && !(s.skip && s.skip(window))) {
        *reinterpret_cast<HWND*>(out) = window;
        return FALSE;
    }
    return TRUE;
}

inline void CALLBACK PlayModalScript(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindScriptDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;  // not open yet: the timer comes again
    KillTimer(nullptr, id);
    ModalScript& s = CurrentModalScript();
    s.timer = 0;
    s.dialog = dialog;
    auto script = std::move(s.script);
    s.script = nullptr;
    if (script) script(dialog);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Arms `script` for the next modal dialog that opens (after the caller's next step).
inline void ArmModalScript(std::function<void(HWND)> script, std::function<bool(HWND)> skip = nullptr) {
    ModalScript& s = CurrentModalScript();
    s.script = std::move(script);
    s.skip = std::move(skip);
    s.already_open.clear();
    EnumThreadWindows(GetCurrentThreadId(), CollectShownDialog, reinterpret_cast<LPARAM>(&s.already_open));
    s.dialog = nullptr;
    if (s.timer) KillTimer(nullptr, s.timer);
    s.timer = SetTimer(nullptr, 0, 30, PlayModalScript);
}

// Disarms a script whose dialog never opened: its timer would otherwise cancel a later test's dialog.
inline void ClearModalScript() {
    ModalScript& s = CurrentModalScript();
    if (s.timer) KillTimer(nullptr, s.timer);
    s = ModalScript{};
}

inline void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
inline void Type(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }
// Selects a list's row and tells the dialog as the list does (a selection change, or a double click).
inline void Pick(HWND dialog, int list, int index, int code = LBN_SELCHANGE) {
    SendDlgItemMessageA(dialog, list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(list, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, list)));
}
