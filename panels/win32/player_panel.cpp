// The "Player Control" panel: Play recomputes every pane of the configuration, builds both banks and starts
// the engine; its digit keys load a profile and play it.
#include <windows.h>

#include <cstring>
#include <string>

#include "app/autostart.h"
#include "app/command_ids.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/window_registry.h"
#include "engine/win32/endpoints.h"
#include "panels/live_keys.h"
#include "panels/panel_dialogs.h"
#include "panels/play_sequence.h"
#include "panels/resource_ids.h"
#include "panels/win32/control_panels.h"
#include "panels/win32/engine_control.h"
#include "panels/win32/level_meters.h"
#include "panels/win32/panel_common.h"

namespace {

constexpr int kRecomputeTimer = 5040;
constexpr int kRecomputeDelayMs = 2000;
constexpr int kLaunchTimer = 5044;
constexpr int kLaunchDelayMs = 3000;
constexpr int kTidyTimer = 10110;
constexpr int kTidyDelayMs = 500;
constexpr int kProfileTimer = 10111;
constexpr int kPanelSlot = 14;
constexpr int kCompactFrameWidth = 290;
constexpr int kCompactFrameHeight = 525;

HWND g_panel = nullptr;
HHOOK g_hook = nullptr;
bool g_buffersHeld = false;

LRESULT CALLBACK PlayerPanelKeyHook(int code, WPARAM wParam, LPARAM lParam) {
    return RunLiveKeyHook(LiveKeyPanel::kPlayer, g_panel, g_hook, code, wParam, lParam);
}

BOOL OnInitDialog(HWND panel) {
    g_panel = panel;
    if (RoomEqSpectrumTable) std::memset(RoomEqSpectrumTable, 0, sizeof(float) * 2 * 3100);
    EnumCaptureEndpoints();
    EnumRenderEndpoints();
    OpenPlayerControls(panel);
    g_buffersHeld = true;
    SetDlgItemTextA(panel, IDC_DEL_TEXT, "Del=0");
    g_hook = SetWindowsHookExA(WH_MSGFILTER, PlayerPanelKeyHook, nullptr, GetCurrentThreadId());
    // Opening the panel turns the frame into the compact player frame around it.
    const WindowPlacement& p = WindowPlacements[kPanelSlot];
    MoveWindow(FrameWindow, p.x - 5, p.y - 75, kCompactFrameWidth, kCompactFrameHeight, TRUE);
    ShowWindow(FrameWindow, SW_SHOW);
    return FALSE;
}

void OnClose(HWND panel, bool destroy) {
    ReleasePanel(panel, &g_hook, &g_buffersHeld, &PlayerPanelWindow);
    g_panel = nullptr;
    if (!destroy) DestroyWindow(panel);
}

void OnPlay(HWND panel) {
    if (EngineRunning) return;
    const std::string refusal = PlayRefusal(CurrentPlaySettings());
    if (!refusal.empty()) {
        ShowHvMessage(FrameWindow, WarningMessage(refusal));
        return;
    }
    SetTimer(panel, kRecomputeTimer, kRecomputeDelayMs, nullptr);
}

void OnStop(HWND panel) {
    if (!EngineRunning) return;
    SetTimer(panel, kTidyTimer, kTidyDelayMs, nullptr);
    Engine().requestStop();
}

// Timer 5040: every pane of the configuration, both banks, then the launch 3000 ms later. The first pane
// that fails to validate or to solve ends it with its message shown; nothing is launched.
void OnRecompute(HWND panel) {
    if (EngineRunning) return;
    MessageList waited;
    const bool ready = Engine().readyForPlay(&waited);
    ShowHvMessages(FrameWindow, waited);
    if (!ready) return;
    RefreshBlockGrid();
    MessageList messages;
    const bool solved = RecomputeConfiguration(pr_file->tail.SystemConfiguration, &messages, [&](int pane) {
        if (const PaneStep* step = PaneStepOf(pane)) SetDlgItemTextA(panel, step->label_control, step->ok_label);
    });
    ShowHvMessages(FrameWindow, messages);
    if (!solved) return;
    PrepareFilterBanks();
    MessageList refusals;
    const bool armed = Engine().prepare(0, &refusals);
    ShowHvMessages(FrameWindow, refusals);
    if (!armed) return;
    SetTimer(panel, kLaunchTimer, kLaunchDelayMs, nullptr);
}

void OnLaunch(HWND panel) {
    if (EngineRunning) return;
    StartFromTimer(panel);
}

void OnTidyUp(HWND panel) {
    Engine().join();
    SetVolumePosition(panel, kVolumeAfterStop);
    ResetPaneLabels(panel);
    ClearPanelMeters(panel);
}

void OnProfileReload(HWND panel) {
    Engine().join();  // the digit key stopped the engine: its threads leave before the records change
    SetVolumePosition(panel, kVolumeAfterStop);
    MessageList messages;
    std::string path;
    const ProfileLoad load = WithWaitCursor([&] { return LoadProfile(LiveShared.ProfileNumber, &messages, &path); });
    if (load == ProfileLoad::kLoaded) SettleLiveControlsAfterLoad(panel);
    ShowHvMessages(FrameWindow, messages);
    if (load == ProfileLoad::kNotFound) {
        SetFocus(panel);
        return;
    }
    if (load == ProfileLoad::kLoaded) {
        ShowLoadedProfile(panel, path);
        EnumCaptureEndpoints();
        EnumRenderEndpoints();
        SetTimer(panel, kRecomputeTimer, kRecomputeDelayMs, nullptr);
    }
    SetFocus(panel);
    ClearPanelMeters(panel);
}

void OnTimer(HWND panel, UINT_PTR timer) {
    if (timer == kMeterTimer) {
        OnMeterTimer(panel);
        return;
    }
    KillTimer(panel, timer);
    switch (timer) {
    case kRecomputeTimer: OnRecompute(panel); break;
    case kLaunchTimer: OnLaunch(panel); break;
    case kTidyTimer: OnTidyUp(panel); break;
    case kProfileTimer: OnProfileReload(panel); break;
    default: break;
    }
}

void OnMove(LPARAM lParam) {
    TrackPanelMove(lParam, kPanelSlot);
}

BOOL OnDrawItem(const DRAWITEMSTRUCT* item) {
    switch (item->CtlID) {
    case IDC_PLAY:
    case IDC_STOP: DrawPlayStopButton(item, PanelButtonStyle::kPlayer); return TRUE;
    case IDC_GAIN_TEXT: DrawGainText(item, Gdi.TitleFont); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK PlayerPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(panel);
    case WM_PAINT:
        ClearPanelMeters(panel);
        SetDlgItemTextA(panel, IDC_PROFILE_NAME, LoadedProfileName);
        return FALSE;
    case WM_MOVE: OnMove(lParam); return FALSE;
    case WM_CLOSE: OnClose(panel, false); return TRUE;
    case WM_DESTROY: OnClose(panel, true); return FALSE;
    case WM_DRAWITEM: return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_HSCROLL: return OnVolumeScroll(panel, wParam, lParam) ? TRUE : FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LIN_PH: SelectPhaseMode(panel, 0); break;
        case IDC_MIN_PH: SelectPhaseMode(panel, 1); break;
        case IDC_PLAY: OnPlay(panel); break;
        case IDC_STOP: OnStop(panel); break;
        default: break;
        }
        return FALSE;
    case WM_TIMER: OnTimer(panel, wParam); return FALSE;
    default: return FALSE;
    }
}

HWND CreatePlayerPanel(HWND owner) {
    return CreateDialogParamA(AppInstance, "Player_HV", owner, PlayerPanelProc, 0);
}
