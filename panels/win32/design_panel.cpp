// The "System Design + Player" panel: palette and editing tools, channel buttons, meters, volume, switches,
// Play and STOP, and the profile reload of its digit keys.
#include <windows.h>
#include <windowsx.h>

#include <cstring>
#include <string>

#include "app/autostart.h"
#include "app/command_ids.h"
#include "app/frame_commands.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/message_box.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/window_registry.h"
#include "design/pane_editor.h"
#include "design/win32/design_windows.h"
#include "engine/win32/endpoints.h"
#include "panels/level_meters.h"
#include "panels/live_keys.h"
#include "panels/panel_dialogs.h"
#include "panels/play_sequence.h"
#include "panels/resource_ids.h"
#include "panels/win32/control_panels.h"
#include "panels/win32/engine_control.h"
#include "panels/win32/level_meters.h"
#include "panels/win32/panel_common.h"

namespace {

constexpr int kStartTimer = 5040;
constexpr int kStartDelayMs = 3000;
constexpr int kTidyTimer = 10112;
constexpr int kTidyDelayMs = 500;
constexpr int kProfileTimer = 10111;
constexpr int kPanelSlot = 6;
constexpr int kPaletteRow = 40;
constexpr double kOpeningBbmOffset = 0.00001;
constexpr double kReloadBbmOffset = 0.0001;

HWND g_panel = nullptr;      // this panel while it is open; the hook acts only then
HHOOK g_hook = nullptr;      // this panel's own hook
bool g_buffersHeld = false;  // released once, whichever of WM_CLOSE and WM_DESTROY comes first
bool g_recomputeFailed[kPaneCount + 1] = {};
// The grid (block frames, rate index) each pane was last solved on; 0 frames before its first solve here.
struct PaneGrid {
    int frames = 0;
    uint32_t sampling = 0;
};
PaneGrid g_paneGrid[kPaneCount + 1];

LRESULT CALLBACK DesignPanelKeyHook(int code, WPARAM wParam, LPARAM lParam) {
    return RunLiveKeyHook(LiveKeyPanel::kDesign, g_panel, g_hook, code, wParam, lParam);
}

void ShowMessages(const MessageList& messages) { ShowHvMessages(FrameWindow, messages); }

void RaiseSplPlot() {
    if (SplPlotWindow) {
        InvalidateRect(SplPlotWindow, nullptr, TRUE);
    } else {
        OpenSplPlotChild();
    }
    if (SplPlotWindow) BringWindowToTop(SplPlotWindow);
}

void InvalidatePanes() {
    for (int n = 1; n <= kPaneCount; ++n)
        if (PaneWindows[n]) InvalidateRect(PaneWindows[n], nullptr, TRUE);
}

void SetBox(HWND panel, int id, bool on) { CheckDlgButton(panel, id, on ? BST_CHECKED : BST_UNCHECKED); }

// ---- Palette ----------------------------------------------------------------------------------------------

// The palette lies at the panel's client origin, so the panel's device context (the pane editor redraws the
// palette through it) and the palette control's draw alike.
void PaintPalette(HDC dc) {
    DrawToolPalette(dc);
    if (!PaletteArmed || PaletteKind < 1 || PaletteKind > 6) return;
    const int k = PaletteKind;
    RECT mark{0, kPaletteRow * k - kPaletteRow, kPaletteRow, kPaletteRow * k};
    FillRect(dc, &mark, Gdi.CyanBrush);
    int x = 20, y = kPaletteRow * k - 20;
    if (k == 1) y = kPaletteRow * k - kPaletteRow;
    if (k == 3 || k == 6) x = 0;
    HGDIOBJ old = SelectObject(dc, Gdi.BlackPen1);
    DrawElementSymbol(k, dc, x, y);
    SelectObject(dc, old);
}

void OnPaletteClick(HWND panel, int x, int y) {
    if (EngineRunning) return;
    HWND palette = GetDlgItem(panel, IDC_PALETTE);
    POINT p{x, y};
    MapWindowPoints(panel, palette, &p, 1);
    bool counts = false;
    const int kind = PaletteKindAt(p.x, p.y, PaletteKind, &counts);
    if (!counts) return;
    if (kind >= 1) {
        ArmPalette(kind);
    } else {
        // No kind chosen yet and a click on a row edge: armed, Draw, nothing to place.
        PaletteArmed = 1;
        WireInProgress = 0;
        EditTool = 1;
    }
    HDC dc = GetDC(palette);
    PaintPalette(dc);
    ReleaseDC(palette, dc);
    UpdateToolButtons(panel);
}

// ---- Creation and close -----------------------------------------------------------------------------------

BOOL OnInitDialog(HWND panel) {
    g_panel = panel;
    if (CopySourcePane(CopySelection) == 0) SelectCopyBox(&CopySelection, kCopySourceFirstBox);
    if (CopyTargetPane(CopySelection) == 0) SelectCopyBox(&CopySelection, kCopyTargetFirstBox);
    RebuildPlotGrids(FrequencyAxisRange);
    if (RoomEqSpectrumTable) std::memset(RoomEqSpectrumTable, 0, sizeof(float) * 2 * 3100);
    MoveWindow(GetDlgItem(panel, IDC_PALETTE), 0, 0, kPaletteRow, 6 * kPaletteRow, FALSE);
    InputMeterWindow = GetDlgItem(panel, IDC_INPUT_METER);
    OutputMeterWindow = GetDlgItem(panel, IDC_OUTPUT_METER);

    const SystemTail& tail = pr_file->tail;
    SetBox(panel, IDC_SHOW_NODES, ShowNodes != 0);
    SetBox(panel, IDC_SHOW_RASTER, ShowRaster != 0);
    SetBox(panel, IDC_SPL_ONLY_EQ, tail.SplOnlyEq == 1);
    SetBox(panel, IDC_WIDE_WINDOW, WideWindow == 1);
    SetPhaseBoxes(panel, tail.PhaseMode);
    SetBox(panel, IDC_RE_RECORD, RecordOutputChoice.load() == 1);

    SetScrollRange(GetDlgItem(panel, IDC_VOLUME), SB_CTL, 0, kVolumeBarMax, FALSE);
    SetScrollPos(GetDlgItem(panel, IDC_VOLUME), SB_CTL, tail.VolumePosition, TRUE);
    LiveShared.MasterGain.store(MasterGainOf(tail.VolumePosition));

    EnumCaptureEndpoints();
    EnumRenderEndpoints();
    EngineRunning = 0;
    UpdateToolButtons(panel);
    RefreshBlockGrid();
    Engine().allocateBuffers();
    g_buffersHeld = true;
    SetBbmTitle(panel, kOpeningBbmOffset);
    SetDlgItemTextA(panel, IDC_DEL_TEXT, "Del=0");
    g_hook = SetWindowsHookExA(WH_MSGFILTER, DesignPanelKeyHook, nullptr, GetCurrentThreadId());
    ResetLiveKeyState();
    return FALSE;
}

void OnClose(HWND panel, bool destroy) {
    ReleasePanel(panel, &g_hook, &g_buffersHeld, &DesignPlayerPanelWindow);
    g_panel = nullptr;
    if (!destroy) DestroyWindow(panel);
}

// ---- Commands ---------------------------------------------------------------------------------------------

// Recomputes one pane on the current grid and remembers how it went. True when solved.
bool Recompute(int pane) {
    RefreshBlockGrid();
    MessageList messages;
    const RecomputeResult r = RecomputePane(pane, &messages);
    ShowMessages(messages);
    g_recomputeFailed[pane] = r != RecomputeResult::kSolved;
    if (r == RecomputeResult::kSolved) g_paneGrid[pane] = PaneGrid{BlockFrames, pr_file->tail.HV_Sampling};
    return r == RecomputeResult::kSolved;
}

void OnChannelButton(int pane) {
    if (!Recompute(pane)) return;
    RaiseSplPlot();
    InvalidatePanes();
}

// Before Play: a pane of the configuration whose last recompute failed, or that was solved on another
// block size or rate, is recomputed again; its failure (shown by the validator or the solver) ends Play,
// so stale spectra are never played.
bool PanesReadyToPlay() {
    RefreshBlockGrid();
    int panes[kSchedulePanes];
    const int n = PaneSchedule(pr_file->tail.SystemConfiguration, panes);
    for (int i = 0; i < n; ++i) {
        const int pane = panes[i];
        const PaneGrid& g = g_paneGrid[pane];
        const bool stale = g.frames != 0 && (g.frames != BlockFrames || g.sampling != pr_file->tail.HV_Sampling);
        if ((g_recomputeFailed[pane] || stale) && !Recompute(pane)) return false;
    }
    return true;
}

void SetEditTool(HWND panel, int tool) {
    EditTool = tool;
    for (PaneRecord* pane : PaneRecords)
        if (pane) pane->edit_tool = static_cast<uint32_t>(tool);
    if (tool == 5 && WorkingNet) {
        for (NetworkElement& e : WorkingNet->elements) e.drag = 0;
        for (Wire& w : WorkingNet->wires) w.drag_tag = 0;
    }
    UpdateToolButtons(panel);
}

void OnCurveSelection(HWND panel) {
    ModalDialogOpen = 1;
    const INT_PTR r = DialogBoxParamA(AppInstance, "Halvane_Linearizer_Plots", panel, LinearizerPlotsDialogProc, 0);
    if (r > 0) {
        MessageList messages;
        RevalidateWorkingNetwork(&messages);
        ShowMessages(messages);
        RaiseSplPlot();
    }
    ModalDialogOpen = 0;
}

void OnTestTones(HWND panel) {
    ModalDialogOpen = 1;
    const INT_PTR r = DialogBoxParamA(AppInstance, "Halvane_Linearizer_Test_Tones", panel, TestTonesDialogProc, 0);
    if (r > 0) RaiseSplPlot();
    ModalDialogOpen = 0;
}

void SaveRecording();  // with the tidy-up after STOP, below

void OnPlay(HWND panel) {
    if (EngineRunning) return;
    const std::string refusal = PlayRefusal(CurrentPlaySettings());
    if (!refusal.empty()) {
        ShowHvMessage(FrameWindow, WarningMessage(refusal));
        return;
    }
    MessageList waited;
    const bool ready = Engine().readyForPlay(&waited);
    ShowMessages(waited);
    if (!ready) return;
    // A recording no STOP has offered (the run ended on a device failure) is saved before a new one takes
    // its place.
    if (Engine().hasRecording()) SaveRecording();
    if (!PanesReadyToPlay()) return;
    PrepareFilterBanks();
    MessageList messages;
    const bool armed = Engine().prepare(RecordOutputChoice.load(), &messages);
    ShowMessages(messages);
    if (!armed) return;
    SetTimer(panel, kStartTimer, kStartDelayMs, nullptr);
}

void OnStop(HWND panel) {
    if (!EngineRunning) return;
    SetTimer(panel, kTidyTimer, kTidyDelayMs, nullptr);
    Engine().requestStop();
}

void OnCommand(HWND panel, int id) {
    const bool running = EngineRunning.load() != 0;
    if (const int pane = PaneOfChannelButton(id)) {
        if (!running) OnChannelButton(pane);
        return;
    }
    switch (id) {
    case IDC_TOOL_DRAW: if (!running) SetEditTool(panel, 1); break;
    case IDC_TOOL_MOVE: if (!running) SetEditTool(panel, 5); break;
    case IDC_TOOL_WIPE_COMP: if (!running) SetEditTool(panel, 6); break;
    case IDC_TOOL_WIPE_WIRE: if (!running) SetEditTool(panel, 8); break;
    case IDC_SHOW_NODES:
        if (running) break;
        ShowNodes = ShowNodes ? 0 : 1;
        SetBox(panel, id, ShowNodes != 0);
        InvalidatePanes();
        break;
    case IDC_SHOW_RASTER:
        if (running) break;
        ShowRaster = ShowRaster ? 0 : 1;
        SetBox(panel, id, ShowRaster != 0);
        InvalidatePanes();
        break;
    case IDC_SPL_ONLY_EQ:
        if (running) break;
        pr_file->tail.SplOnlyEq = pr_file->tail.SplOnlyEq == 1 ? 0 : 1;
        SetBox(panel, id, pr_file->tail.SplOnlyEq == 1);
        break;
    case IDC_RE_RECORD:
        RecordOutputChoice.store(RecordOutputChoice.load() == 1 ? 0 : 1);
        SetBox(panel, id, RecordOutputChoice.load() == 1);
        PublishLiveValues();
        break;
    case IDC_WIDE_WINDOW:
        WideWindow = WideWindow == 1 ? 0 : 1;
        SetBox(panel, id, WideWindow == 1);
        break;
    case IDC_LIN_PH: SelectPhaseMode(panel, 0); break;
    case IDC_MIN_PH: SelectPhaseMode(panel, 1); break;
    case IDC_COPY_SPEAKER:
        if (!running) DialogBoxParamA(AppInstance, "Halvane_Linearizer_Copy_Speaker", panel, CopySpeakerDialogProc, 0);
        break;
    case IDC_CURVE_SELECTION: if (!running) OnCurveSelection(panel); break;
    case IDC_TEST_TONES: if (!running) OnTestTones(panel); break;
    case IDC_CLEAR_PLOTS:
        if (running) break;
        ClearPlots();
        if (SplPlotWindow) InvalidateRect(SplPlotWindow, nullptr, TRUE);
        break;
    case IDC_PLAY: OnPlay(panel); break;
    case IDC_STOP: OnStop(panel); break;
    default: break;
    }
}

// ---- Timers -----------------------------------------------------------------------------------------------

// Asks where to save the recording and saves it. A save that fails (no room, a folder that cannot be written)
// is said and the recording kept: the picker comes again, so the user can make room or choose another place.
// Cancelling the picker drops the recording.
void SaveRecording() {
    char path[kPathWidth] = {};
    char title[kPathWidth] = {};
    for (;;) {
        PrepareWavSaveDialog(FrameWindow);
        WavSaveDialogRecord.lpstrFile = path;
        WavSaveDialogRecord.lpstrFileTitle = title;
        WavSaveDialogRecord.Flags = OFN_CREATEPROMPT | OFN_HIDEREADONLY;
        ModalDialogOpen = 1;
        const bool chosen = RunFilePicker(FrameWindow, WavSavePicker(), path, title);
        ModalDialogOpen = 0;
        if (!chosen) break;
        MessageList messages;
        const int saved = WithWaitCursor([&] { return Engine().saveRecording(path, &messages); });
        ShowMessages(messages);
        if (saved == 1 || !Engine().hasRecording()) break;
    }
    Engine().dropRecording();
}

void OnTidyUp(HWND panel) {
    Engine().join();  // the threads have left before the recording they filled is read
    SetVolumePosition(panel, kVolumeAfterStop);
    for (HWND splitter : SplitterWindows)
        if (splitter) InvalidateRect(splitter, nullptr, TRUE);
    ClearLevelMeters(GetDlgItem(panel, IDC_INPUT_METER), GetDlgItem(panel, IDC_OUTPUT_METER));
    // Whatever the box says now: unticking "Re-Record" during the run stops the recording, it does not
    // discard what was recorded.
    if (Engine().hasRecording()) SaveRecording();
}

void OnProfileReload(HWND panel) {
    Engine().join();  // the digit key stopped the engine: its threads leave before the records change
    SetVolumePosition(panel, kVolumeAfterStop);
    for (HWND& splitter : SplitterWindows) CloseChild(&splitter);
    MessageList messages;
    std::string path;
    const ProfileLoad load = WithWaitCursor([&] { return LoadProfile(LiveShared.ProfileNumber, &messages, &path); });
    if (load == ProfileLoad::kLoaded) SettleLiveControlsAfterLoad(panel);
    ShowMessages(messages);
    if (load == ProfileLoad::kLoaded) {
        OpenSplitterOfConfiguration(pr_file->tail.SystemConfiguration);
        SetBox(panel, IDC_SPL_ONLY_EQ, pr_file->tail.SplOnlyEq == 1);
        SetBox(panel, IDC_WIDE_WINDOW, WideWindow == 1);
        SetWindowTextA(FrameWindow, FrameTitleWithPath(path).c_str());
        ModifyMenuA(FileMenu, IDM_LAST_PROJECT, MF_BYCOMMAND | MF_STRING, IDM_LAST_PROJECT, path.c_str());
        std::string name;
        if (ProfileNameFromPath(path, &name)) CopySettingText(LoadedProfileName, kPathWidth, name.c_str());
        SetBbmTitle(panel, kReloadBbmOffset);
        EnumCaptureEndpoints();
        EnumRenderEndpoints();
        for (bool& failed : g_recomputeFailed) failed = false;
        for (PaneGrid& g : g_paneGrid) g = PaneGrid{};
        SetTimer(FrameWindow, kAutostartFirstChannelTimer, kAutostartStepMs, nullptr);
    }
    SetFocus(panel);
    ClearLevelMeters(GetDlgItem(panel, IDC_INPUT_METER), GetDlgItem(panel, IDC_OUTPUT_METER));
}

void OnTimer(HWND panel, UINT_PTR timer) {
    if (timer == kMeterTimer) {
        OnMeterTimer(panel);
        return;
    }
    KillTimer(panel, timer);
    switch (timer) {
    case kStartTimer:
        if (EngineRunning) return;
        StartFromTimer(panel);
        break;
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
    case IDC_STOP: DrawPlayStopButton(item, PanelButtonStyle::kDesign); return TRUE;
    case IDC_GAIN_TEXT: DrawGainText(item, static_cast<HFONT>(GetStockObject(SYSTEM_FONT))); return TRUE;
    case IDC_PALETTE: {
        FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
        PaintPalette(item->hDC);
        return TRUE;
    }
    default: return FALSE;
    }
}

}  // namespace

bool PaneRecomputeFailed(int pane) { return pane >= 1 && pane <= kPaneCount && g_recomputeFailed[pane]; }

INT_PTR CALLBACK ComponentCADSelectionProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(panel);
    case WM_PAINT:
        InvalidateRect(GetDlgItem(panel, IDC_PALETTE), nullptr, FALSE);
        ClearLevelMeters(GetDlgItem(panel, IDC_INPUT_METER), GetDlgItem(panel, IDC_OUTPUT_METER));
        return FALSE;
    case WM_MOVE: OnMove(lParam); return FALSE;
    case WM_CLOSE: OnClose(panel, false); return TRUE;
    case WM_DESTROY: OnClose(panel, true); return FALSE;
    case WM_DRAWITEM: return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_HSCROLL: return OnVolumeScroll(panel, wParam, lParam) ? TRUE : FALSE;
    case WM_COMMAND: OnCommand(panel, LOWORD(wParam)); return FALSE;
    case WM_TIMER: OnTimer(panel, wParam); return FALSE;
    case WM_LBUTTONUP: OnPaletteClick(panel, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return FALSE;
    default: return FALSE;
    }
}

HWND CreateDesignPanel(HWND owner) {
    return CreateDialogParamA(AppInstance, "ComponentCADSelection", owner, ComponentCADSelectionProc, 0);
}

void InstallControlPanels() {
    Dialogs.designPanel = CreateDesignPanel;
    Dialogs.playerPanel = CreatePlayerPanel;
    Dialogs.wavPlayerPanel = CreateWavPlayerPanel;
    Dialogs.playlistEditor = CreatePlaylistEditor;
    Dialogs.updateToolButtons = UpdateToolButtons;
}
