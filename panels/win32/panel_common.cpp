#include "panels/win32/panel_common.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/autostart.h"
#include "app/command_ids.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"
#include "engine/engine_status.h"
#include "panels/resource_ids.h"
#include "panels/win32/engine_control.h"
#include "panels/win32/level_meters.h"

OPENFILENAMEA WavSaveDialogRecord;

namespace {
const char kWavFilter[] = "Wave Files (*.wav)\0*.wav\0";
constexpr double kPlayerBbmOffset = 0.0001;
constexpr const char* kPlayerReloadTitle = "Halvane Equalizer V9.0 - DIGITAL - 8P";
}

void SetVolumePosition(HWND panel, int32_t position) {
    if (position < 0) position = 0;
    if (position > kVolumeBarMax) position = kVolumeBarMax;
    pr_file->tail.VolumePosition = position;
    SetScrollPos(GetDlgItem(panel, kVolumeBar), SB_CTL, position, TRUE);
    LiveShared.MasterGain.store(MasterGainOf(position));
    PublishLiveValues();
    SetDlgItemTextA(panel, kGainText, "");
}

bool OnVolumeScroll(HWND panel, WPARAM wParam, LPARAM lParam) {
    HWND bar = reinterpret_cast<HWND>(lParam);
    if (!bar || GetDlgCtrlID(bar) != kVolumeBar) return false;
    int position = GetScrollPos(bar, SB_CTL);
    switch (LOWORD(wParam)) {
    case SB_LINELEFT: position -= 1; break;
    case SB_LINERIGHT: position += 1; break;
    case SB_PAGELEFT: position -= 3; break;
    case SB_PAGERIGHT: position += 3; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: position = static_cast<int16_t>(HIWORD(wParam)); break;
    case SB_LEFT: position = 0; break;
    case SB_RIGHT: position = kVolumeBarMax; break;
    default: break;
    }
    SetVolumePosition(panel, position);
    return true;
}

void FormatGainText(char* text, size_t size) {
    std::snprintf(text, size, "Gain = %ddB (%.3f)    ", pr_file->tail.VolumePosition - 51,
                  static_cast<double>(LiveShared.MasterGain.load()));
}

void DrawGainText(const DRAWITEMSTRUCT* item, HFONT font) {
    HDC dc = item->hDC;
    FillRect(dc, &item->rcItem, Gdi.CyanBrush);
    char text[64];
    FormatGainText(text, sizeof text);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 0));
    SetBkMode(dc, OPAQUE);
    TextOutA(dc, item->rcItem.left, item->rcItem.top, text, static_cast<int>(std::strlen(text)));
    if (old) SelectObject(dc, old);
}

void SetPhaseBoxes(HWND panel, int32_t phase_mode) {
    CheckDlgButton(panel, kLinearPhaseBox, phase_mode == 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(panel, kMinimumPhaseBox, phase_mode == 0 ? BST_UNCHECKED : BST_CHECKED);
}

void SelectPhaseMode(HWND panel, int32_t phase_mode) {
    SetPhaseBoxes(panel, phase_mode);
    pr_file->tail.PhaseMode = phase_mode;
    PublishLiveValues();
    SetWindowTextA(panel, phase_mode == 0 ? "Linear Phase" : "Minimum Phase");
}

HBRUSH PressedButtonBrush() {
    static HBRUSH brush = CreateSolidBrush(RGB(255, 64, 0));
    return brush;
}

void DrawPlayStopButton(const DRAWITEMSTRUCT* item, PanelButtonStyle style) {
    const bool play = item->CtlID == IDC_PLAY;
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    const bool design = style == PanelButtonStyle::kDesign;
    HDC dc = item->hDC;
    const int w = design ? 47 : 67;
    RECT box{0, 0, w, 38};
    HBRUSH fill = pressed ? PressedButtonBrush() : (play ? Gdi.YellowBrush : Gdi.CyanBrush);
    FillRect(dc, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    FillRect(dc, &box, fill);
    HGDIOBJ oldPen = SelectObject(dc, style == PanelButtonStyle::kWavPlayer ? Gdi.BluePen2 : Gdi.BlackPen1);
    if (style == PanelButtonStyle::kPlayer) {
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, 0, 0, w, 38);
        SelectObject(dc, oldBrush);
    }
    MoveToEx(dc, 2, 36, nullptr);
    LineTo(dc, w - 2, 36);
    LineTo(dc, w - 2, 1);
    SelectObject(dc, oldPen);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    const char* text;
    int x;
    if (play) {
        text = pressed ? "Starting" : "PLAY";
        x = design ? (pressed ? 2 : 8) : (pressed ? 10 : 17);
    } else {
        text = pressed ? "Will Do" : "STOP";
        x = design ? (pressed ? 2 : 8) : (pressed ? 12 : 18);
    }
    TextOutA(dc, x, 10, text, static_cast<int>(std::strlen(text)));
}

namespace {
KeyTarget KeyTargetOf(HWND panel, HWND window) {
    if (!panel || !window || (window != panel && !IsChild(panel, window))) return KeyTarget::kElsewhere;
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, "Edit") == 0 ? KeyTarget::kPanelEdit : KeyTarget::kPanel;
}
}  // namespace

LRESULT RunLiveKeyHook(LiveKeyPanel which, HWND panel, HHOOK own, int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg && LiveKeysActive(code, ModalDialogOpen.load(), panel != nullptr && pr_file != nullptr,
                              KeyTargetOf(panel, msg->hwnd))) {
        const KeyMessage kind = msg->message == WM_CHAR      ? KeyMessage::kChar
                                : msg->message == WM_KEYDOWN ? KeyMessage::kKeyDown
                                                             : KeyMessage::kOther;
        SystemTail& tail = pr_file->tail;
        LiveKeyValues v;
        v.VolumePosition = tail.VolumePosition;
        v.MasterGain = LiveShared.MasterGain.load();
        v.PhaseMode = tail.PhaseMode;
        v.BbmGain = tail.BbmGain;
        for (int i = 0; i < kTrimCount; ++i) v.ChannelTrims[i] = LiveShared.ChannelTrims[i].load();
        v.LastTrimValue = LiveShared.LastTrimValue;
        v.ProfileNumber = LiveShared.ProfileNumber;
        const LiveKeyResult r = ApplyLiveKey(which, kind, static_cast<uint32_t>(msg->wParam), LiveShared.Groups, &v);
        if (r.acted) {
            tail.VolumePosition = v.VolumePosition;
            LiveShared.MasterGain.store(v.MasterGain);
            tail.PhaseMode = v.PhaseMode;
            tail.BbmGain = v.BbmGain;
            for (int i = 0; i < kTrimCount; ++i) LiveShared.ChannelTrims[i].store(v.ChannelTrims[i]);
            LiveShared.LastTrimValue = v.LastTrimValue;
            LiveShared.ProfileNumber = v.ProfileNumber;
            PublishLiveValues();
            if (r.phase_boxes >= 0) SetPhaseBoxes(panel, r.phase_boxes);
            if (r.move_volume_bar) SetScrollPos(GetDlgItem(panel, kVolumeBar), SB_CTL, v.VolumePosition, TRUE);
            if (r.clear_gain_text) SetDlgItemTextA(panel, kGainText, "");
            if (r.set_title) SetWindowTextA(panel, r.title);
            if (r.arm_timer) SetTimer(panel, static_cast<UINT_PTR>(r.arm_timer), static_cast<UINT>(r.timer_ms), nullptr);
            if (r.stop_engine) EngineRunning = 0;
        }
    }
    return CallNextHookEx(own, code, wParam, lParam);
}

void OpenPlayerControls(HWND panel) {
    RebuildPlotGrids(FrequencyAxisRange);
    InputMeterWindow = GetDlgItem(panel, IDC_INPUT_METER);
    OutputMeterWindow = GetDlgItem(panel, IDC_OUTPUT_METER);
    const SystemTail& tail = pr_file->tail;
    SetScrollRange(GetDlgItem(panel, kVolumeBar), SB_CTL, 0, kVolumeBarMax, FALSE);
    SetScrollPos(GetDlgItem(panel, kVolumeBar), SB_CTL, tail.VolumePosition, TRUE);
    LiveShared.MasterGain.store(MasterGainOf(tail.VolumePosition));
    SetPhaseBoxes(panel, tail.PhaseMode);
    EngineRunning = 0;
    RefreshBlockGrid();
    Engine().allocateBuffers();
    SetBbmTitle(panel, kPlayerBbmOffset);
    ResetPaneLabels(panel);
    ResetLiveKeyState();
    ShowProfileName(panel, Preferences->LastProjectPath);
}

void ResetPaneLabels(HWND panel) {
    for (const PaneStep& step : kPaneSteps) SetDlgItemTextA(panel, step.label_control, step.short_name);
}

void ClearPanelMeters(HWND panel) {
    ClearLevelMeters(GetDlgItem(panel, IDC_INPUT_METER), GetDlgItem(panel, IDC_OUTPUT_METER));
}

void ShowProfileName(HWND panel, const char* path) {
    std::string name;
    if (ProfileNameFromPath(path, &name)) CopySettingText(LoadedProfileName, kPathWidth, name.c_str());
    SetDlgItemTextA(panel, IDC_PROFILE_NAME, LoadedProfileName);
}

void ShowLoadedProfile(HWND panel, const std::string& path) {
    ResetPaneLabels(panel);
    // The player panels compose the frame title with their own program text.
    const std::string title = std::string(kPlayerReloadTitle) + " - " + path;
    SetWindowTextA(FrameWindow, title.c_str());
    ModifyMenuA(FileMenu, IDM_LAST_PROJECT, MF_BYCOMMAND | MF_STRING, IDM_LAST_PROJECT, path.c_str());
    ShowProfileName(panel, path.c_str());
    SetBbmTitle(panel, kPlayerBbmOffset);
}

void SetBbmTitle(HWND panel, double offset) {
    char text[64];
    std::snprintf(text, sizeof text, "BBM %.1fdB ", 20.0 * std::log10(static_cast<double>(pr_file->tail.BbmGain) + offset));
    SetWindowTextA(panel, text);
}

void ResetLiveKeyState() {
    ResetChannelTrims(&LiveShared);
    LiveShared.Groups = ParseLiveKeyChannels(pr_file->tail.LiveKeyChannelFields);
    PublishLiveValues();
}

void PublishLiveValues() { Engine().publishLive(); }

void StartMeterTimer(HWND panel) { SetTimer(panel, kMeterTimer, kMeterIntervalMs, nullptr); }

void StartFromTimer(HWND panel) {
    SetDlgItemTextA(panel, kQueueControl, "Del=0");
    MessageList messages;
    if (Engine().start(panel, &messages)) StartMeterTimer(panel);
    ShowHvMessages(FrameWindow, messages);
}

void SettleLiveControlsAfterLoad(HWND panel) {
    SetVolumePosition(panel, pr_file->tail.VolumePosition);
    SetPhaseBoxes(panel, pr_file->tail.PhaseMode);
    PublishLiveValues();
}

void OnMeterTimer(HWND panel) {
    static uint32_t seen = 0;
    float inputs[8], outputs[16];
    if (Engine().latestPeaks(&seen, inputs, outputs)) {
        DrawInputMeters(GetDlgItem(panel, IDC_INPUT_METER), inputs);
        DrawOutputMeters(GetDlgItem(panel, IDC_OUTPUT_METER), outputs);
    }
    if (!EngineRunning) KillTimer(panel, kMeterTimer);
}

void PrepareWavSaveDialog(HWND owner) {
    // Every field the record uses is set; the trailing reserved fields keep their zero.
    WavSaveDialogRecord.lStructSize = sizeof(OPENFILENAMEA);
    WavSaveDialogRecord.hwndOwner = owner;
    WavSaveDialogRecord.hInstance = nullptr;
    WavSaveDialogRecord.lpstrFilter = kWavFilter;
    WavSaveDialogRecord.lpstrCustomFilter = nullptr;
    WavSaveDialogRecord.nMaxCustFilter = 0;
    WavSaveDialogRecord.nFilterIndex = 0;
    WavSaveDialogRecord.lpstrFile = nullptr;
    WavSaveDialogRecord.nMaxFile = 2048;
    WavSaveDialogRecord.lpstrFileTitle = nullptr;
    WavSaveDialogRecord.nMaxFileTitle = 2048;
    WavSaveDialogRecord.lpstrInitialDir = nullptr;
    WavSaveDialogRecord.lpstrTitle = nullptr;
    WavSaveDialogRecord.Flags = 0;
    WavSaveDialogRecord.nFileOffset = 0;
    WavSaveDialogRecord.nFileExtension = 0;
    WavSaveDialogRecord.lpstrDefExt = "*.*";
    WavSaveDialogRecord.lCustData = 0;
    WavSaveDialogRecord.lpfnHook = nullptr;
    WavSaveDialogRecord.lpTemplateName = nullptr;
}

FilePickerDescription WavSavePicker() {
    FilePickerDescription p;
    p.filters = {{"Wave Files (*.wav)", "*.wav"}};
    p.default_extension = "*.*";
    p.for_save = true;
    p.create_prompt = true;
    p.hide_read_only = true;
    return p;
}

void ReleasePanel(HWND panel, HHOOK* hook, bool* buffersHeld, HWND* registryEntry) {
    if (*hook) {
        UnhookWindowsHookEx(*hook);
        *hook = nullptr;
    }
    // The engine threads use what the panel hands back: they leave first.
    if (EngineRunning) Engine().requestStop();
    Engine().join();
    if (*buffersHeld) {
        Engine().releaseBuffers();
        *buffersHeld = false;
    }
    if (InputMeterWindow && GetParent(InputMeterWindow) == panel) InputMeterWindow = nullptr;
    if (OutputMeterWindow && GetParent(OutputMeterWindow) == panel) OutputMeterWindow = nullptr;
    if (*registryEntry == panel) *registryEntry = nullptr;
}

void TrackPanelMove(LPARAM lParam, int slot) {
    int x = static_cast<int>(LOWORD(lParam)) - GetSystemMetrics(SM_CXEDGE) - 1;
    int y = static_cast<int>(HIWORD(lParam)) - GetSystemMetrics(SM_CYCAPTION) - GetSystemMetrics(SM_CYEDGE) - 1;
    if (x > UsableScreenWidth) x = 0;
    if (y > UsableScreenHeight) y = 0;
    WindowPlacements[slot].x = x;
    WindowPlacements[slot].y = y;
}

PlaySettings CurrentPlaySettings() {
    PlaySettings s;
    s.SystemConfiguration = pr_file->tail.SystemConfiguration;
    s.InputMode = InputMode;
    s.BassMode = BassMode;
    s.SampleRate = SampleRateOf(pr_file->tail.HV_Sampling);
    s.HV_Buffer_Size = HV_Buffer_Size;
    s.Capture24Bit = Capture24Bit;
    return s;
}
