#pragma once
// Driving the control panels as a user does: the message loop's pass through the modeless panels, waits that
// keep pumping, window texts, and keys handed through IsDialogMessage (which runs the thread's
// message-filter hooks first).
#include <windows.h>

#include <string>

#include "app/win32/app_windows.h"

// Handles the waiting messages as the program's loop does, the modeless panels' through IsDialogMessage.
inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        bool handled = false;
        for (HWND panel : {DesignPlayerPanelWindow, PlayerPanelWindow, WavPlayerPanelWindow, PlaylistEditorWindow})
            if (!handled && panel && IsDialogMessageA(panel, &msg)) handled = true;
        if (handled) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Pump();
        Sleep(5);
    }
    return true;
}

inline std::string Title(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

inline std::string ItemText(HWND window, int id) {
    char text[256] = {};
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

// A key as the message loop hands it to the panel.
inline void Key(HWND panel, UINT message, WPARAM code) {
    MSG msg{};
    msg.hwnd = panel;
    msg.message = message;
    msg.wParam = code;
    msg.lParam = 1;
    IsDialogMessageA(panel, &msg);
}
