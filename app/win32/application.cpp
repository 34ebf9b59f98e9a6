#include <objbase.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/command_ids.h"
#include "app/frame_commands.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"
#include "app/win32/window_registry.h"
#include "engine/win32/program_engine.h"
#include "platform/win32/win32_threads.h"

HINSTANCE AppInstance = nullptr;
HICON AppIcon = nullptr;
HBRUSH PlotBackgroundBrush = nullptr;
HWND FrameWindow = nullptr;
HWND MdiClientWindow = nullptr;
HMENU MainMenu = nullptr;
HMENU FileMenu = nullptr;
HWND DesignPlayerPanelWindow = nullptr;
HWND PlayerPanelWindow = nullptr;
HWND WavPlayerPanelWindow = nullptr;
HWND PlaylistEditorWindow = nullptr;

namespace {
bool g_comInitialised = false;

void MeasureScreen() {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    WorkAreaBottom = work.bottom;
    UsableScreenWidth = ScreenWidth - 2 * GetSystemMetrics(SM_CXFRAME);
    UsableScreenHeight = WorkAreaBottom - GetSystemMetrics(SM_CYMENU) - GetSystemMetrics(SM_CYFRAME) -
                         GetSystemMetrics(SM_CYCAPTION) - 2 * GetSystemMetrics(SM_CYEDGE);
}

void FixAppDirectory() {
    char current[513] = {};
    DWORD n = GetCurrentDirectoryA(512, current);
    if (n == 0 || n > 512) current[0] = '\0';
    std::string dir = current;
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    CopySettingText(AppDirectory, kPathWidth, dir.c_str());
    CopySettingText(AppFilePath, kPathWidth, AppDirectory);
}

void SetLastPathMenuTexts() {
    ModifyMenuA(FileMenu, IDM_LAST_DRIVER, MF_BYCOMMAND | MF_STRING, IDM_LAST_DRIVER, Preferences->LastDriverPath);
    ModifyMenuA(FileMenu, IDM_LAST_PROJECT, MF_BYCOMMAND | MF_STRING, IDM_LAST_PROJECT, Preferences->LastProjectPath);
}

HWND CreateFrame(LPSTR commandLine) {
    int x = 0, y = 0, cx = ScreenWidth, cy = WorkAreaBottom;
    if (Preferences->PlayerMode) {
        x = WindowPlacements[14].x - 5;
        y = WindowPlacements[14].y - 75;
        cx = 290;
        cy = 525;
    }
    return CreateWindowA("Frame", kProgramTitle, WS_OVERLAPPEDWINDOW, x, y, cx, cy, nullptr, MainMenu, AppInstance,
                         commandLine);
}

}  // namespace

bool PlayerWindowOpen() { return PlayerPanelWindow || WavPlayerPanelWindow || PlaylistEditorWindow; }

bool StartApplication(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    // Engine and measurement threads, events and the performance counter are the Windows ones.
    InstallWin32Platform();
    g_comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    AppInstance = instance;
    if (!previous) {
        AppIcon = LoadIconA(instance, "MyIcon");
        PlotBackgroundBrush = CreateSolidBrush(RGB(158, 194, 216));
        if (!RegisterWindowClasses(instance)) {
            ShowHvMessage(nullptr, WarningMessage("Unable To Register Window Classes"));
            return false;
        }
    }
    MeasureScreen();
    FixAppDirectory();

    MessageList messages;
    if (!StartRecords(AppDirectory, &messages)) {
        ShowHvMessages(nullptr, messages);
        return false;
    }
    // The start-up messages have no owner: the frame does not exist yet.
    ShowHvMessages(nullptr, messages);

    MainMenu = LoadMenuA(instance, "Main_Menu");
    FileMenu = GetSubMenu(MainMenu, 0);
    FrameWindow = CreateFrame(commandLine);
    if (!FrameWindow) {
        ShowHvMessage(nullptr, WarningMessage("Unable To Create The Main Window"));
        ReleaseRecords();
        return false;
    }
    if (SetUpProgramEngine(FrameWindow) != 0) {
        ShowHvMessage(nullptr, WarningMessage(kAllocationFailed));
        ReleaseRecords();
        return false;
    }
    ShowWindow(FrameWindow, showCommand);
    UpdateWindow(FrameWindow);
    SetLastPathMenuTexts();

    if (Preferences->AUTOSTART == 1) {
        SetTimer(FrameWindow, IDT_AUTOSTART_FIRST, 100, nullptr);
    } else if (!Preferences->PlayerMode) {
        if (!SplPlotWindow) OpenSplPlotChild();
        OpenSplitter(SplitterKind::Stereo);
        OpenModelessDialog(&DesignPlayerPanelWindow, Dialogs.designPanel, 6, 232, 678);
    } else {
        OpenModelessDialog(&PlayerPanelWindow, Dialogs.playerPanel, 14, 280, 445);
    }
    return true;
}

int RunMessageLoop() {
    MSG msg;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        if (DesignPlayerPanelWindow && IsDialogMessageA(DesignPlayerPanelWindow, &msg)) continue;
        if (PlayerPanelWindow && IsDialogMessageA(PlayerPanelWindow, &msg)) continue;
        if (WavPlayerPanelWindow && IsDialogMessageA(WavPlayerPanelWindow, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return got == -1 ? 1 : static_cast<int>(msg.wParam);
}

void ReleaseApplication() {
    // Every engine thread has ended before anything it uses goes; then the windows, then the buffers they
    // painted from.
    StopProgramEngine();
    if (FrameWindow) {
        HWND frame = FrameWindow;
        FrameWindow = nullptr;
        SetMenu(frame, nullptr);
        DestroyWindow(frame);
        // Drain what the destruction posted (the frame's own quit request among it).
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    MdiClientWindow = nullptr;
    if (RecordsAllocated()) ReleaseRecords();
    if (MainMenu) DestroyMenu(MainMenu);
    MainMenu = FileMenu = nullptr;
    DeleteSharedDrawingObjects();
    UnregisterWindowClasses(AppInstance);
    if (AppIcon) DestroyIcon(AppIcon);
    AppIcon = nullptr;
    if (PlotBackgroundBrush) DeleteObject(PlotBackgroundBrush);
    PlotBackgroundBrush = nullptr;
    if (g_comInitialised) CoUninitialize();
    g_comInitialised = false;
}
