#include <windows.h>

#include <string>

#include "app/command_ids.h"
#include "app/frame_commands.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"

namespace {

HvMessage Question(const char* text) {
    HvMessage m{text};
    m.icon = MessageIcon::Question;
    m.buttons = MessageButtons::YesNo;
    return m;
}

LRESULT OnCreate(HWND window) {
    CLIENTCREATESTRUCT ccs{};
    ccs.hWindowMenu = FileMenu;
    ccs.idFirstChild = IDM_FIRST_MDI_CHILD;
    MdiClientWindow = CreateWindowA("MDICLIENT", nullptr, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                    window, nullptr, AppInstance, &ccs);
    ShowWindow(MdiClientWindow, SW_SHOW);
    CreateSharedDrawingObjects();
    return 0;
}

// Saves the preferences, then asks whether to leave. Returns true when the user said Yes; the release
// itself runs after the message loop has ended, once no window uses the buffers any more.
bool RunExitSequence(HWND window) {
    MessageList messages;
    SavePreferences(AppDirectory, &messages);
    ShowHvMessages(window, messages);
    MessageBeep(MB_ICONEXCLAMATION);
    if (ShowHvMessage(window, Question(kExitQuestion)) != IDYES) return false;
    PostQuitMessage(0);
    return true;
}

void ShowAbout(HWND window) {
    HvMessage m{kAboutText};
    m.caption = "About Halvane Equalizer";
    m.icon = MessageIcon::Information;
    ShowHvMessage(window, m);
}

void OpenHelp(HWND window) {
    std::string path = std::string(AppDirectory) + kHelpFileName;
    CopySettingText(AppFilePath, kPathWidth, path.c_str());
    auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(window, "open", AppFilePath, nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        HvMessage m{kHelpMissing};
        m.icon = MessageIcon::Information;  // shown with no icon of its own
        ShowHvMessage(FrameWindow, m);
    }
}

// Returns true when the command ran to its end (the message then goes on to DefFrameProc).
bool OnCommand(HWND window, int id) {
    if (IsCommandRefused(id, EngineRunning.load() != 0, PlayerWindowOpen())) return false;
    switch (id) {
        case IDM_EXIT:
            RunExitSequence(window);
            return true;
        case IDM_ABOUT:
            ShowAbout(window);
            return true;
        case IDM_HELP:
            OpenHelp(window);
            return true;
        default:
            return true;
    }
}

}  // namespace

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            break;
        case WM_CLOSE:
            if (EngineRunning.load() != 0) return 1;
            RunExitSequence(window);
            return 0;
        case WM_DESTROY:
            // Everything is released after the message loop, whichever way the frame went.
            PostQuitMessage(0);
            return 0;
        case WM_TIMER:
            if (wParam >= IDT_AUTOSTART_FIRST && wParam <= IDT_AUTOSTART_LAST) {
                KillTimer(window, wParam);
                return 0;
            }
            return 1;
        case WM_COMMAND:
            if (!OnCommand(window, LOWORD(wParam))) return 1;
            break;
        default:
            break;
    }
    return DefFrameProcA(window, MdiClientWindow, message, wParam, lParam);
}
