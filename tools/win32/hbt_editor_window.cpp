// The HBT editor: the modeless "HBT Editor Dialogue" (template "TransferFunction") with the tails, power,
// efficiency and distance of the current driver and the run buttons, and the plot of the "Editor_Child"
// window that compares the measured curves with the transforms.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/message_box.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/window_registry.h"
#include "panels/win32/panel_common.h"
#include "tools/driver_fields.h"
#include "tools/hbt_editor.h"
#include "tools/hilbert_bode.h"
#include "tools/resource_ids.h"
#include "tools/win32/tool_plot_painter.h"
#include "tools/win32/tool_windows.h"

namespace {

constexpr int kHbtTextChars = 9;
constexpr int kHbtDialogSlot = 1;
constexpr int kLinearBinsShown = 65536;
constexpr int kLogPhaseFirst = 160, kLogPhaseEnd = 2860;  // the log HBT phase is drawn over 160..2859
constexpr int kProgressEvery = 4096;                      // points between two progress texts

// The transforms' shared work curve, taken once.
std::vector<float>& HbtWorkCurve() {
    static std::vector<float> curve(kLinGridPoints);
    return curve;
}

// The plot's six pens from the colour scheme: the measured SPL and phase, the log HBT SPL (which also draws
// the frame) and phase (also the 0-degree line), the linear HBT SPL and phase.
struct HbtPens {
    HPEN pen[7] = {};
    HbtPens() {
        static const int kEntries[7] = {0, 2, 6, 3, 7, 4, 8};
        for (int i = 1; i <= 6; ++i) {
            const ColourEntry& e = ColourScheme[kEntries[i]];
            pen[i] = CreateCurvePen(static_cast<float>(e.red), static_cast<float>(e.green), static_cast<float>(e.blue),
                                    static_cast<float>(e.thickness), static_cast<float>(e.type));
        }
    }
    ~HbtPens() {
        for (HPEN p : pen)
            if (p) DeleteObject(p);
    }
};

ToolPlot EditorPlot() { return MakeToolPlot(HbtViewClientSize.width, HbtViewClientSize.height); }

std::vector<std::string> Labels(std::string (*label)(int)) {
    std::vector<std::string> v;
    for (int k = 0; k <= 18; ++k) v.push_back(label(k));
    return v;
}

void DrawFrameWith(HDC dc, const HbtPens& pens) {
    const uint32_t kind = DriverImpedanceData(*CurrentDriver);
    ToolPlotFrameStyle style{pens.pen[3], pens.pen[4], HbtPlotTitle(kind), kind == 1 ? -100 : -80, 20, 22,
                             Labels(HbtLevelLabel), Labels(HbtPhaseLabel), "dB"};
    DrawToolPlotFrame(dc, EditorPlot(), style);
}

// A curve through the log grid, point i at index i, over [first, end).
void DrawLogCurve(HDC dc, HPEN pen, int first, int end, const std::function<int(int)>& y) {
    std::vector<int32_t> index(kLogGridPoints, -1);
    for (int i = first; i < end; ++i) index[i] = i;
    HGDIOBJ old = SelectObject(dc, pen);
    DrawStrokes(dc, BuildLogIndexPolyline(EditorPlot(), index.data(), kLogGridPoints, y));
    SelectObject(dc, old);
}

// A curve of linear bins 0..65535, each at the first log index above its frequency.
void DrawLinearCurve(HDC dc, HPEN pen, const std::vector<int32_t>& index, const std::function<int(int)>& y) {
    HGDIOBJ old = SelectObject(dc, pen);
    DrawStrokes(dc, BuildLogIndexPolyline(EditorPlot(), index.data(), static_cast<int>(index.size()), y));
    SelectObject(dc, old);
}

std::vector<int32_t> LinearBinIndex() {
    std::vector<int32_t> index(kLinearBinsShown);
    MapBinsToLogIndex(BinFrequencyTable, kLinearBinsShown, LogFrequencyTable, index.data());
    return index;
}

void DrawMeasuredLinear(HDC dc, const HbtPens& pens, bool phase) {
    const ToolPlot p = EditorPlot();
    const HV_Driver_Data& d = *CurrentDriver;
    const std::vector<int32_t> index = LinearBinIndex();
    DrawLinearCurve(dc, pens.pen[1], index, [&](int k) { return HbtSplY(p, d.spl_lin[k]); });
    if (phase) DrawLinearCurve(dc, pens.pen[2], index, [&](int k) { return HbtPhaseY(p, d.phase_lin[k]); });
}

void Legend(HDC dc, HPEN pen, const HbtCurveLegend& l) {
    PlotText(dc, 66, l.y, l.text);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, 190, l.y + 6, nullptr);
    LineTo(dc, 230, l.y + 6);
    SelectObject(dc, old);
}

// ---- The dialog ----------------------------------------------------------------------------------------

struct EditField {
    int id;
    char* (*field)(HV_Driver_Data&);
    int chars;
};
const EditField kEditFields[] = {
    {IDC_HBT_HP_STOP, DriverHighPassStop, kHbtTextChars},     {IDC_HBT_HP_SLOPE, DriverHighPassSlope, kHbtTextChars},
    {IDC_HBT_LP_START, DriverLowPassStart, kHbtTextChars},    {IDC_HBT_LP_SLOPE, DriverLowPassSlope, kHbtTextChars},
    {IDC_HBT_INPUT_POWER, DriverInputPower, kHbtInputPowerChars},
    {IDC_HBT_EFFICIENCY, DriverEfficiencyText, kHbtTextChars},
};

void Check(HWND dialog, int id, uint32_t flag) { CheckDlgButton(dialog, id, flag == 1 ? BST_CHECKED : BST_UNCHECKED); }

void ShowDistance(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_HBT_DISTANCE_TEXT, HbtDistanceText(DriverHbtDistance(*CurrentDriver)).c_str());
}

// Init, also sent by the frame after a driver file was read: every field again from the record.
void OnInit(HWND dialog) {
    RebuildPlotGrids(FrequencyAxisRange);
    HV_Driver_Data& d = *CurrentDriver;
    for (const EditField& e : kEditFields) {
        SendDlgItemMessageA(dialog, e.id, EM_LIMITTEXT, e.chars, 0);
        // A field is shown up to its width less the NUL (a record from elsewhere may hold more than typed).
        char text[kInputPowerField + 1] = {};
        std::snprintf(text, sizeof text, "%.*s", std::max(e.chars, kTextField - 1), e.field(d));
        SetDlgItemTextA(dialog, e.id, text);
    }
    Check(dialog, IDC_HBT_PHASE_DISTANCE, DriverPhaseDistance(d));
    Check(dialog, IDC_HBT_AMPLITUDE_DISTANCE, DriverAmplitudeDistance(d));
    Check(dialog, IDC_HBT_REFERENCE_PHASE, ShowReferencePhase);
    HWND bar = GetDlgItem(dialog, IDC_HBT_DISTANCE);
    SetScrollRange(bar, SB_CTL, 0, kHbtDistanceMax, FALSE);
    SetScrollPos(bar, SB_CTL, HbtPositionOfDistance(DriverHbtDistance(d)), TRUE);
    ShowDistance(dialog);
    DriverImpedanceData(d) = 0;
}

HbtContext RunContext() {
    HbtContext cx;
    cx.log_table = LogFrequencyTable;
    cx.bin_table = BinFrequencyTable;
    cx.axis_low_hz = AxisLowestFrequency(FrequencyAxisRange.lowest);
    cx.axis_high_hz = AxisHighestFrequency(FrequencyAxisRange.highest);
    cx.HV_Buffer_Size = HV_Buffer_Size;
    cx.HV_Sampling = pr_file->tail.HV_Sampling;
    cx.HbtWorkCurve = HbtWorkCurve().data();
    return cx;
}

void ShowProgress(void* context, int point, int total) {
    if (point % kProgressEvery != 0 && point != total - 1) return;
    char text[64];
    std::snprintf(text, sizeof text, "Run: %d of %d", point, total);
    HWND label = GetDlgItem(static_cast<HWND>(context), IDC_HBT_PROGRESS);
    SetWindowTextA(label, text);
    UpdateWindow(label);
}

// Draws straight into the editor window, when it is open.
void PaintEditor(int (*paint)(HDC, int), int mode) {
    PaintOnWindow(EditorWindow, [&](HDC dc) { paint(dc, mode); });
}

void ShowRunMessages(const MessageList& messages) { ShowHvMessages(EditorWindow ? EditorWindow : FrameWindow, messages); }

void OnCommand(HWND dialog, int id) {
    HV_Driver_Data& d = *CurrentDriver;
    for (const EditField& e : kEditFields) {
        if (e.id != id) continue;
        char text[32] = {};
        GetDlgItemTextA(dialog, id, text, e.chars + 1);
        CopySettingText(e.field(d), e.chars + 1, text);
        return;
    }
    switch (id) {
        case IDC_HBT_PHASE_DISTANCE:
            DriverPhaseDistance(d) = DriverPhaseDistance(d) == 1 ? 0 : 1;
            Check(dialog, id, DriverPhaseDistance(d));
            break;
        case IDC_HBT_AMPLITUDE_DISTANCE:
            DriverAmplitudeDistance(d) = DriverAmplitudeDistance(d) == 1 ? 0 : 1;
            Check(dialog, id, DriverAmplitudeDistance(d));
            break;
        case IDC_HBT_REFERENCE_PHASE:
            ShowReferencePhase = ShowReferencePhase == 1 ? 0 : 1;
            Check(dialog, id, ShowReferencePhase);
            if (EditorWindow) InvalidateRect(EditorWindow, nullptr, TRUE);
            break;
        case IDC_HBT_LOG_RUN: {
            MessageList messages;
            RunLogHbt(&d, RunContext(), &messages);
            ShowRunMessages(messages);
            PaintEditor(PaintHbtWindow, 0);
            break;
        }
        case IDC_HBT_LIN_RUN: {
            MessageList messages;
            WithWaitCursor([&] { return RunLinearHbt(&d, RunContext(), &messages, ShowProgress, dialog); });
            ShowRunMessages(messages);
            PaintEditor(PaintHbtWindow, 1);
            break;
        }
        case IDC_HBT_SHOW_LIN: PaintEditor(PaintHbtWindow, 1); break;
        case IDC_HBT_REFRESH_LIN:
            PaintEditor([](HDC dc, int) { return PaintLinearDriverCurves(dc); }, 0);
            break;
        case IDC_HBT_HELP: {
            const std::string path = std::string(AppDirectory) + kHbtHelpFile;
            const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(dialog, "open", path.c_str(), nullptr, nullptr,
                                                                        SW_SHOWNORMAL));
            if (result <= 32) {
                HvMessage m{kHbtHelpMissing, kHbtHelpCaption};
                m.icon = MessageIcon::None;  // a plain box
                ShowHvMessage(dialog, m);
            }
            break;
        }
        case IDC_HBT_MIKE_CAL: StoreHbtCalibration(d, MikeCalCurve, d.mike_cal, &MlsCurves[25], &MlsCurves[26]); break;
        case IDC_HBT_PREAMP_CAL:
            StoreHbtCalibration(d, PreampCalCurve, d.preamp_cal, &MlsCurves[27], &MlsCurves[28]);
            break;
        case IDCANCEL: DestroyWindow(dialog); break;
        default: break;
    }
}

void OnDistanceScroll(HWND dialog, WPARAM wParam) {
    HWND bar = GetDlgItem(dialog, IDC_HBT_DISTANCE);
    const int p = ScrollBarValue(GetScrollPos(bar, SB_CTL), LOWORD(wParam), HIWORD(wParam), kHbtDistanceSteps);
    DriverHbtDistance(*CurrentDriver) = HbtDistanceOfPosition(p);
    SetScrollPos(bar, SB_CTL, p, TRUE);
    ShowDistance(dialog);
}

}  // namespace

int DrawHbtPlotFrame(HDC dc) {
    HbtPens pens;
    DrawFrameWith(dc, pens);
    return 0;
}

int PaintHbtWindow(HDC dc, int mode) {
    HbtPens pens;
    DrawFrameWith(dc, pens);
    const HV_Driver_Data& d = *CurrentDriver;
    HGDIOBJ pen = SelectObject(dc, Gdi.BlackPen1);
    HGDIOBJ brush = SelectObject(dc, Gdi.WhiteBrush);
    Rectangle(dc, 62, 20, 250, 140);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    HGDIOBJ font = SelectObject(dc, Gdi.LabelFont);
    SetBkMode(dc, TRANSPARENT);
    PlotText(dc, 66, 102, HbtSamplingText(d.Sampling));
    PlotText(dc, 66, 122, HbtBufferSizeText(d.Buffer_Size));
    const ToolPlot p = EditorPlot();
    const bool log = mode == 0;
    const int spl_pen = log ? 3 : 5, phase_pen = log ? 4 : 6;
    Legend(dc, pens.pen[1], HbtLegendOf(mode, HbtCurve::kMeasuredSpl));
    if (ShowReferencePhase == 1) Legend(dc, pens.pen[2], HbtLegendOf(mode, HbtCurve::kMeasuredPhase));
    Legend(dc, pens.pen[spl_pen], HbtLegendOf(mode, HbtCurve::kResultSpl));
    Legend(dc, pens.pen[phase_pen], HbtLegendOf(mode, HbtCurve::kResultPhase));
    if (log) {
        DrawLogCurve(dc, pens.pen[1], 0, kLogGridPoints, [&](int i) { return HbtSplY(p, d.spl_log[i]); });
        if (ShowReferencePhase == 1)
            DrawLogCurve(dc, pens.pen[2], 0, kLogGridPoints, [&](int i) { return HbtPhaseY(p, d.phase_log[i]); });
        DrawLogCurve(dc, pens.pen[3], 0, kLogGridPoints,
                     [&](int i) { return HbtSplY(p, HbtResultSpl(d.hbt_re_log[i], d.hbt_im_log[i])); });
        DrawLogCurve(dc, pens.pen[4], kLogPhaseFirst, kLogPhaseEnd,
                     [&](int i) { return HbtPhaseY(p, HbtResultPhase(d.hbt_re_log[i], d.hbt_im_log[i])); });
    } else {
        DrawMeasuredLinear(dc, pens, ShowReferencePhase == 1);
        std::vector<int32_t> index = LinearBinIndex();
        DrawLinearCurve(dc, pens.pen[5], index,
                        [&](int k) { return HbtSplY(p, HbtResultSpl(d.hbt_re_lin[k], d.hbt_im_lin[k])); });
        for (int32_t& j : index)
            if (j >= kLogPhaseEnd) j = -1;
        DrawLinearCurve(dc, pens.pen[6], index,
                        [&](int k) { return HbtPhaseY(p, HbtResultPhase(d.hbt_re_lin[k], d.hbt_im_lin[k])); });
    }
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, font);
    if (EditorWindow) SetWindowTextA(EditorWindow, kHbtEditorTitle);
    return 0;
}

int PaintLinearDriverCurves(HDC dc) {
    DriverImpedanceData(*CurrentDriver) = 0;
    HbtPens pens;
    DrawFrameWith(dc, pens);
    DrawMeasuredLinear(dc, pens, true);
    return 0;
}

INT_PTR CALLBACK TransferFunctionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInit(dialog); return TRUE;
        case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); return TRUE;
        case WM_HSCROLL: OnDistanceScroll(dialog, wParam); return TRUE;
        case WM_MOVE: TrackPanelMove(lParam, kHbtDialogSlot); return FALSE;
        case WM_RBUTTONDOWN: CopyWindowToClipboard(FrameWindow); return TRUE;
        case WM_CLOSE: DestroyWindow(dialog); return TRUE;
        case WM_DESTROY:
            if (TransferFunctionWindow == dialog) TransferFunctionWindow = nullptr;
            return FALSE;
        default: return FALSE;
    }
}

HWND CreateTransferFunctionDialog(HWND owner) {
    return CreateDialogParamA(AppInstance, "TransferFunction", owner, TransferFunctionProc, 0);
}
