// The room equalizer's modal dialog "Room_EQ" ("Minimum-Phase Room Equalizer"): up to six listening locations
// measured through the measurement threads (or loaded from their capture files), the band, threshold and
// options of the cut-only EQ, three plots, and "Done" writing the EQ into the room-EQ block's response. What the
// controls mean lives in measure/room_eq_controls and measure/room_eq_state; the run's measurement side in
// room_eq_measurement.
#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"
#include "design/network_model.h"
#include "design/pane_editor.h"
#include "design/win32/design_windows.h"
#include "engine/win32/endpoints.h"
#include "measure/ir_windows.h"
#include "measure/mls_state.h"
#include "measure/room_eq_controls.h"
#include "measure/room_eq_plots.h"
#include "measure/room_eq_resource_ids.h"
#include "measure/room_eq_state.h"
#include "measure/win32/mls_windows.h"
#include "measure/win32/room_eq_measurement.h"
#include "measure/win32/room_eq_windows.h"

extern int32_t MlsImpulseCursor;  // the impulse start of the measurement windows

HWND RoomEqImpulseArea = nullptr;
HWND RoomEqSplArea = nullptr;
HWND RoomEqDelayArea = nullptr;
HWND RoomEqMeterArea = nullptr;
HWND RoomEqMarkerArea = nullptr;

namespace {

constexpr int32_t kOpeningCursor = 50;

// Pixel layout: the three plots stacked at the left edge at their fixed sizes (the mouse bands over the SPL
// and delay plots are 215..535 and 570..730), the panel of controls to their right.
struct AreaPlace {
    int id, x, y, width, height;
};
constexpr AreaPlace kPlotPlaces[] = {
    {IDC_ROOMEQ_IMPULSE_AREA, 0, 0, kRoomEqPlotWidth, 195},
    {IDC_ROOMEQ_SPL_AREA, 0, 195, kRoomEqPlotWidth, 360},
    {IDC_ROOMEQ_DELAY_AREA, 0, 555, kRoomEqPlotWidth, 200},
};
constexpr int kPanelLeft = kRoomEqPlotWidth + 6;
constexpr int kPlotsHeight = 755;
constexpr int kMargin = 6;
constexpr int kMarkerWidth = 12;
constexpr int kMarkerHeight = 134;

bool g_holds_buffers = false;

float* Params() { return WorkingNet->params[SelectedElement].p; }
bool ElementUsable() { return WorkingNet && SelectedElement >= 0 && SelectedElement < kMaxElements; }

std::string ItemText(HWND dialog, int id, int chars) {
    std::vector<char> buffer(static_cast<std::size_t>(chars) + 1, '\0');
    GetDlgItemTextA(dialog, id, buffer.data(), chars + 1);
    return buffer.data();
}

void SetText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

void Check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

void FillList(HWND dialog, int id, const std::vector<std::string>& entries, int selection) {
    SendDlgItemMessageA(dialog, id, LB_RESETCONTENT, 0, 0);
    for (const std::string& e : entries) SendDlgItemMessageA(dialog, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.c_str()));
    SendDlgItemMessageA(dialog, id, LB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

int ListSelection(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageA(dialog, id, LB_GETCURSEL, 0, 0)); }

void Redraw(HWND area) {
    if (area) RedrawWindow(area, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void RedrawPlots() {
    Redraw(RoomEqSplArea);
    Redraw(RoomEqDelayArea);
    Redraw(RoomEqImpulseArea);
}

void DrawMeters() {
    // The measured channel on the left ("Ri"), the reference on the right ("Li").
    const RoomEqMeterValues v = CurrentRoomEqMeterValues();
    if (RoomEqMeterArea) DrawLevelMeters(RoomEqMeterArea, v.in, v.ref);
}

// The plots and markers at their pixel places, the panel moved right of the plots, the dialog sized to hold
// both.
void LayOut(HWND dialog) {
    for (const AreaPlace& a : kPlotPlaces) MoveWindow(GetDlgItem(dialog, a.id), a.x, a.y, a.width, a.height, FALSE);
    int right = 0, bottom = kPlotsHeight;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(c);
        if (id == IDC_ROOMEQ_IMPULSE_AREA || id == IDC_ROOMEQ_SPL_AREA || id == IDC_ROOMEQ_DELAY_AREA) continue;
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        int width = r.right - r.left, height = r.bottom - r.top;
        if (id == IDC_ROOMEQ_MARKERS) {
            width = kMarkerWidth;
            height = kMarkerHeight;
        }
        MoveWindow(c, r.left + kPanelLeft, r.top, width, height, FALSE);
        right = std::max<int>(right, r.left + kPanelLeft + width);
        bottom = std::max<int>(bottom, r.bottom);
    }
    RECT client = {0, 0, right + kMargin, bottom + kMargin};
    AdjustWindowRectEx(&client, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
    RECT now;
    GetWindowRect(dialog, &now);
    const int width = client.right - client.left, height = client.bottom - client.top;
    const int x = std::max<int>(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    const int y = std::max<int>(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER);
}

void ShowThreshold(HWND dialog) {
    SetScrollPos(GetDlgItem(dialog, IDC_ROOMEQ_THRESHOLD_BAR), SB_CTL, EqThreshold, TRUE);
    SetText(dialog, IDC_ROOMEQ_THRESHOLD_LABEL, EqThresholdLabel());
}

void ShowVolume(HWND dialog) {
    SetScrollPos(GetDlgItem(dialog, IDC_ROOMEQ_VOLUME_BAR), SB_CTL, static_cast<int>(MlsSettings.MlsOutputLevel), TRUE);
    SetText(dialog, IDC_ROOMEQ_VOLUME_LABEL, RoomEqVolumeLabel(MlsSettings.MlsOutputLevel));
}

BOOL OnInitDialog(HWND dialog) {
    OpenRoomEqState();
    MlsImpulseCursor = kOpeningCursor;
    RoomEqImpulseArea = GetDlgItem(dialog, IDC_ROOMEQ_IMPULSE_AREA);
    RoomEqSplArea = GetDlgItem(dialog, IDC_ROOMEQ_SPL_AREA);
    RoomEqDelayArea = GetDlgItem(dialog, IDC_ROOMEQ_DELAY_AREA);
    RoomEqMeterArea = GetDlgItem(dialog, IDC_ROOMEQ_METER);
    RoomEqMarkerArea = GetDlgItem(dialog, IDC_ROOMEQ_MARKERS);
    LayOut(dialog);
    // The capture buffers are shared with the MLS page: this dialog is one of their users while it is open.
    g_holds_buffers = AcquireMlsCaptureBuffers() == 0;
    if (!g_holds_buffers) ShowHvMessage(FrameWindow, WarningMessage(kAllocationFailed));

    SetScrollRange(GetDlgItem(dialog, IDC_ROOMEQ_VOLUME_BAR), SB_CTL, 0, 100, FALSE);
    ShowVolume(dialog);
    EnumCaptureEndpoints();
    EnumRenderEndpoints();

    std::vector<std::string> zoom(std::begin(kRoomEqZoomNames), std::end(kRoomEqZoomNames));
    FillList(dialog, IDC_ROOMEQ_ZOOM, zoom, static_cast<int>(MlsSettings.ZoomIndex));
    FillList(dialog, IDC_ROOMEQ_SAMPLING, {"44100", "48000", "96000"}, static_cast<int>(MlsSettings.MlsRateIndex));
    std::vector<std::string> lengths(std::begin(kRoomEqLengthNames), std::end(kRoomEqLengthNames));
    FillList(dialog, IDC_ROOMEQ_MLS_LENGTH, lengths, static_cast<int>(MlsSettings.MlsLengthIndex));
    std::vector<std::string> outputs;
    for (int i = 0; i < kRoomEqCorrectionEntries; ++i) outputs.push_back(RoomEqCorrectionName(i));
    const float* p = ElementUsable() ? Params() : nullptr;
    const float correction = p ? p[kParamPlotFlag] : kNoCorrectionOutput;
    FillList(dialog, IDC_ROOMEQ_CORRECTION, outputs,
             correction >= 0.0f && correction <= kNoCorrectionOutput ? static_cast<int>(correction) : -1);

    SetScrollRange(GetDlgItem(dialog, IDC_ROOMEQ_THRESHOLD_BAR), SB_CTL, kRoomEqThresholdTop, kRoomEqThresholdBottom, FALSE);
    ShowThreshold(dialog);
    SetText(dialog, IDC_ROOMEQ_WINDOW_TIME,
            RoomEqWindowTimeText(MlsSettings.WindowWidthText, MlsSettings.MlsRateIndex));
    if (p) {
        const RoomEqBoxTexts t = RoomEqOpeningTexts(p);
        SetText(dialog, IDC_ROOMEQ_ADD_DB, t.add_db);
        SetText(dialog, IDC_ROOMEQ_ADD_DELAY, t.add_delay);
        SetText(dialog, IDC_ROOMEQ_FROM, t.from);
        SetText(dialog, IDC_ROOMEQ_TO, t.to);
        SetText(dialog, IDC_ROOMEQ_SLOPE, t.slope);
        Check(dialog, IDC_ROOMEQ_BYPASS, p[kParamBypass] == 1.0f);
        Check(dialog, IDC_ROOMEQ_AMPLITUDE_ONLY, p[kParamPolarity] == 1.0f);
        Check(dialog, IDC_ROOMEQ_SCALAR_AVERAGE, p[kParamInputNode] == 1.0f);
    }
    Check(dialog, IDC_ROOMEQ_USE_SAVED, MlsSettings.UseSavedBuffer == 1);
    Check(dialog, IDC_ROOMEQ_SHOW_MEASURED_PHASE, ShowMeasuredPhase == 1);
    Check(dialog, IDC_ROOMEQ_SHOW_EQ_PHASE, ShowRoomEqPhase == 1);
    Check(dialog, IDC_ROOMEQ_SHOW_EQ_SPL, ShowRoomEqSpl == 1);
    Check(dialog, IDC_ROOMEQ_SHOW_EQUALIZED, ShowEqualizedSpl == 1);
    return FALSE;  // no default focus
}

// One location: measured through the threads, or a saved capture; then analysed, averaged and its capture
// kept in the location's file.
void RunLocationMeasurement(HWND dialog) {
    if (!BeginLocationRun()) return;
    MlsStartOffset offset;
    if (MlsSettings.UseSavedBuffer != 1) {
        // Settings the analysis would refuse are refused before the stimulus plays; a run that failed, timed
        // out or recorded short is neither analysed nor stored, and says why.
        MessageList refused;
        if (!LocationRunSettingsFit(&refused)) {
            ShowHvMessages(dialog, refused);
            return;
        }
        std::string why;
        if (!RunRoomEqMeasurement(dialog, &offset, &why)) {
            ShowHvMessage(dialog, WarningMessage(why));
            return;
        }
        FinishLiveLocationCapture();
        DrawMeters();
    } else {
        std::string path;
        if (!PickLocationCapture(FrameWindow, &path)) return;
        MessageList out;
        if (!LoadLocationCapture(path, &out)) {
            ShowHvMessages(FrameWindow, out);
            return;
        }
        SendDlgItemMessageA(dialog, IDC_ROOMEQ_SAMPLING, LB_SETCURSEL, MlsSettings.MlsRateIndex, 0);
        SendDlgItemMessageA(dialog, IDC_ROOMEQ_MLS_LENGTH, LB_SETCURSEL, MlsSettings.MlsLengthIndex, 0);
        DrawMeters();
        RedrawPlots();
    }
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    ShowRunDebugTexts(RoomEqImpulseArea, offset);
    MessageList out;
    const LocationRunOutcome outcome = ProcessLocationRun(MlsImpulseCursor, offset, &out);
    if (outcome == LocationRunOutcome::kStored) {
        Redraw(RoomEqMarkerArea);
        RedrawPlots();
        ShowHvMessages(dialog, out);
        MessageList file;
        WriteLocationFile(AppDirectory, ActivePane, CurrentLocation, &file);
        ShowHvMessages(FrameWindow, file);
    } else {
        Redraw(RoomEqImpulseArea);
        ShowHvMessages(dialog, out);
    }
    // Every way out of the processing ends with the arrow.
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    SetFocus(dialog);
}

void OnWindowTime(HWND dialog) {
    const std::string shown = ApplyRoomEqWindowTime(ItemText(dialog, IDC_ROOMEQ_WINDOW_TIME, kRoomEqBoxChars),
                                                    MlsSettings.MlsRateIndex);
    if (!shown.empty()) SetText(dialog, IDC_ROOMEQ_WINDOW_TIME, shown);
    BuildIrWindow(MlsSettings.WindowTypeIndex, MlsSettings.WindowWidthText, MlsOrder, IrWindow, TwoSidedIrWindow);
    FillRoomEqWindowTrace(&RoomEqCurves[kRoomEqWindowSlot], IrWindow, MlsImpulseCursor);
    Redraw(RoomEqImpulseArea);
}

void Recalculate(HWND dialog) {
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    MessageList out;
    ComputeRoomEqNow(&out);
    RedrawPlots();
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    ShowHvMessages(dialog, out);
}

// A box whose value is refused says so once for what it holds: every notification of the box runs this, and
// the message box itself takes the focus away from it.
void OnValueBox(HWND dialog, int id) {
    static std::map<int, std::string> refused;
    std::string& last = refused[id];
    const std::string text = ItemText(dialog, id, kRoomEqBoxChars);
    MessageList out;
    ApplyRoomEqBox(id, text, Params(), &out);
    if (out.empty()) {
        last.clear();
    } else if (text != last) {
        last = text;
        ShowHvMessages(dialog, out);
    }
}

void FlipParam(HWND dialog, int id, int param) {
    float& v = Params()[param];
    v = v == 1.0f ? 0.0f : 1.0f;
    Check(dialog, id, v == 1.0f);
}

void FlipFlag(HWND dialog, int id, uint32_t* flag) {
    *flag = *flag == 1 ? 0 : 1;
    Check(dialog, id, *flag == 1);
}

void OnCommand(HWND dialog, int id) {
    if (id >= IDC_ROOMEQ_LOCATION_FIRST && id <= IDC_ROOMEQ_LOCATION_LAST) {
        CurrentLocation = id - IDC_ROOMEQ_LOCATION_FIRST;
        SendMessageA(dialog, WM_COMMAND, IDC_ROOMEQ_RUN_LOCATION, 0);
        return;
    }
    const bool editable = ElementUsable();
    switch (id) {
        case IDC_ROOMEQ_RUN_LOCATION: RunLocationMeasurement(dialog); break;
        case IDC_ROOMEQ_USE_SAVED: FlipFlag(dialog, id, &MlsSettings.UseSavedBuffer); break;
        case IDC_ROOMEQ_CORRECTION: {
            const int s = ListSelection(dialog, id);
            if (editable && EngineRunning.load() == 0 && s >= 0) Params()[kParamPlotFlag] = static_cast<float>(s);
            break;
        }
        case IDC_ROOMEQ_FROM:
        case IDC_ROOMEQ_TO:
        case IDC_ROOMEQ_SLOPE:
        case IDC_ROOMEQ_ADD_DB:
        case IDC_ROOMEQ_ADD_DELAY:
            if (editable) OnValueBox(dialog, id);
            break;
        case IDC_ROOMEQ_RECALCULATE: Recalculate(dialog); break;
        case IDC_ROOMEQ_SHOW_MEASURED_PHASE:
        case IDC_ROOMEQ_SHOW_EQ_PHASE:
        case IDC_ROOMEQ_SHOW_EQ_SPL:
        case IDC_ROOMEQ_SHOW_EQUALIZED: {
            uint32_t* flag = id == IDC_ROOMEQ_SHOW_MEASURED_PHASE ? &ShowMeasuredPhase
                             : id == IDC_ROOMEQ_SHOW_EQ_PHASE     ? &ShowRoomEqPhase
                             : id == IDC_ROOMEQ_SHOW_EQ_SPL       ? &ShowRoomEqSpl
                                                                  : &ShowEqualizedSpl;
            FlipFlag(dialog, id, flag);
            InvalidateRect(dialog, nullptr, TRUE);
            break;
        }
        case IDC_ROOMEQ_ZOOM: {
            const int s = ListSelection(dialog, id);
            if (s >= 0) MlsSettings.ZoomIndex = static_cast<uint32_t>(s);
            Redraw(RoomEqImpulseArea);
            break;
        }
        case IDC_ROOMEQ_MLS_LENGTH: {
            const int s = ListSelection(dialog, id);
            if (s >= 0) {
                MlsSettings.MlsLengthIndex = static_cast<uint32_t>(s);
                MlsOrder = s + kMlsMinOrder;
            }
            break;
        }
        case IDC_ROOMEQ_WINDOW_TIME: OnWindowTime(dialog); break;
        case IDC_ROOMEQ_SAMPLING: {
            const int s = ListSelection(dialog, id);
            if (EngineRunning.load() == 0 && s >= 0) MlsSettings.MlsRateIndex = static_cast<uint32_t>(s);
            break;
        }
        case IDC_ROOMEQ_AMPLITUDE_ONLY:
            if (editable) FlipParam(dialog, id, kParamPolarity);
            break;
        case IDC_ROOMEQ_SCALAR_AVERAGE:
            if (editable) FlipParam(dialog, id, kParamInputNode);
            break;
        case IDC_ROOMEQ_BYPASS:
            if (editable) FlipParam(dialog, id, kParamBypass);
            break;
        case IDC_ROOMEQ_CLEAR_ALL:
            ClearAllRoomEqData();
            EngineRunning = 0;
            InvalidateRect(dialog, nullptr, TRUE);
            break;
        case IDOK: {
            // An EQ that is not a number is not stored; the dialog stays for the values to be put right.
            MessageList out;
            if (!StoreRoomEqResponseNow(&out) && !out.empty()) {
                ShowHvMessages(dialog, out);
                break;
            }
            EndDialog(dialog, 1);
            break;
        }
        case IDCANCEL: EndDialog(dialog, 2); break;
        default: break;
    }
}

void OnScroll(HWND dialog, HWND bar, int code, int thumb) {
    if (bar == GetDlgItem(dialog, IDC_ROOMEQ_VOLUME_BAR)) {
        MlsSettings.MlsOutputLevel = static_cast<uint32_t>(RoomEqVolumeScroll(static_cast<int>(MlsSettings.MlsOutputLevel), code, thumb));
        ShowVolume(dialog);
    } else if (bar == GetDlgItem(dialog, IDC_ROOMEQ_THRESHOLD_BAR)) {
        SetEqThreshold(RoomEqThresholdScroll(EqThreshold, code, thumb));
        ShowThreshold(dialog);
    }
}

void OnMouseMove(HWND dialog, int x, int y) {
    std::string caption;
    if (RoomEqCaptionAt(x, y, &caption)) SetWindowTextA(dialog, caption.c_str());
}

void OnButtonDown(HWND dialog, bool left, int x, int y) {
    if (!ElementUsable()) return;
    std::string text;
    switch (RoomEqClickBand(left, x, y, Params(), &text)) {
        case RoomEqBandClick::kNone: break;
        case RoomEqBandClick::kError: ShowHvMessage(FrameWindow, WarningMessage(kFrequencySelectionError)); break;
        case RoomEqBandClick::kSet:
            // The box's own handler reads the edge back (one decimal, within the limits).
            SetText(dialog, left ? IDC_ROOMEQ_FROM : IDC_ROOMEQ_TO, text);
            SendMessageA(dialog, WM_COMMAND, IDC_ROOMEQ_RECALCULATE, 0);
            break;
    }
}

void OnDrawItem(const DRAWITEMSTRUCT* d) {
    FillRect(d->hDC, &d->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    switch (d->CtlID) {
        case IDC_ROOMEQ_IMPULSE_AREA: PaintRoomEqImpulseFrame(d->hDC); break;
        case IDC_ROOMEQ_SPL_AREA: PaintRoomEqSplFrame(d->hDC); break;
        case IDC_ROOMEQ_DELAY_AREA: PaintRoomEqDelayFrame(d->hDC); break;
        case IDC_ROOMEQ_MARKERS: PaintLocationMarkers(d->hDC); break;
        case IDC_ROOMEQ_METER: {
            const RoomEqMeterValues v = CurrentRoomEqMeterValues();
            DrawMeterLeds(d->hDC, d->rcItem, v.in, v.ref);
            break;
        }
        default: break;
    }
}

}  // namespace

INT_PTR CALLBACK RoomEqDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog(dialog);
        case WM_DRAWITEM: OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
        case WM_HSCROLL:
        case WM_VSCROLL:
            OnScroll(dialog, reinterpret_cast<HWND>(lParam), LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
            return TRUE;
        case WM_MOUSEMOVE: OnMouseMove(dialog, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))); return FALSE;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            OnButtonDown(dialog, message == WM_LBUTTONDOWN, static_cast<short>(LOWORD(lParam)),
                         static_cast<short>(HIWORD(lParam)));
            return FALSE;
        case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); return FALSE;
        case WM_DESTROY:
            RoomEqImpulseArea = RoomEqSplArea = RoomEqDelayArea = RoomEqMeterArea = RoomEqMarkerArea = nullptr;
            // Threads of a run that would not end still write into the capture: it stays until they are joined.
            if (g_holds_buffers && !RoomEqMeasurementAlive()) ReleaseMlsCaptureBuffers();
            g_holds_buffers = false;
            return FALSE;
        default: return FALSE;
    }
}

void InstallRoomEqualizer() {
    RunRoomEqDialog = [](HWND owner) {
        DialogBoxParamA(AppInstance ? AppInstance : GetModuleHandleA(nullptr), "Room_EQ", owner, RoomEqDialogProc, 0);
    };
}
