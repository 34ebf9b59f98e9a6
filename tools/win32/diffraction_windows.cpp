// The baffle diffraction calculator (the modeless "Enclosure Diffraction Calculator", template
// "DiffractionCalculator"): the outline edited with the mouse on its canvas, the drivers and the microphone,
// the edge profile, and Plot; and the "Diffraction_Child" plot of the curves a run stores.
#include <windows.h>
#include <windowsx.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/message_box.h"
#include "app/win32/settings_windows.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/window_registry.h"
#include "panels/win32/panel_common.h"
#include "tools/diffraction_calculator.h"
#include "tools/diffraction_plot.h"
#include "tools/driver_fields.h"
#include "tools/resource_ids.h"
#include "tools/win32/tool_plot_painter.h"
#include "tools/win32/tool_windows.h"

namespace {

constexpr int kCalculatorSlot = 5;
constexpr int kCanvasWidth = 413, kCanvasHeight = 473;  // grid points 0..100 x 0..116 at 4 pixels, and a margin
constexpr int kDiameterChars = 9;
constexpr int kPistonRows = 13;
constexpr int kModeBoxes[4] = {IDC_DIF_ADD, IDC_DIF_INSERT, IDC_DIF_DELETE, IDC_DIF_MOVE};
constexpr uint32_t kModeOfBox[4] = {kEditAdd, kEditInsert, kEditDelete, kEditMove};

HWND Canvas(HWND dialog) { return GetDlgItem(dialog, IDC_DIF_CANVAS); }

void Check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

void CheckMode(HWND dialog, uint32_t mode) {
    for (int i = 0; i < 4; ++i) Check(dialog, kModeBoxes[i], kModeOfBox[i] == mode);
}

void SetLabel(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

void ShowMikeDistance(HWND dialog) {
    SetLabel(dialog, IDC_DIF_MIKE_TEXT, MikeDistanceText(DriverMikeDistance(*CurrentDriver)));
}

void ShowEdgeValue(HWND dialog, int id, float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    SetDlgItemTextA(dialog, id, text);
}

CalculatorContext Context() {
    return CalculatorContext{Baffle, CurrentDriver, &BaffleDragState, BaffleEdgePoints->ElementCount};
}

// What a step asks: the title, its messages (owned by the frame), the pictures, the labels and the cursor.
// Returns true when a message was shown.
bool Apply(HWND dialog, const CalculatorStep& step, Driver2Form form) {
    if (!step.title.empty()) SetWindowTextA(dialog, step.title.c_str());
    if (step.redraw) RedrawCanvas(Canvas(dialog));
    if (step.microphone_label) SetLabel(dialog, IDC_DIF_MIKE_POSITION, MicrophoneLabel(*Baffle));
    if (step.driver1_label && Baffle->Positions[0].Enabled == 1) SetLabel(dialog, IDC_DIF_DRIVER1, Driver1Label(*Baffle));
    if (step.driver2_label) {
        SetLabel(dialog, IDC_DIF_DRIVER2, Baffle->Positions[1].Enabled == 1 ? Driver2Label(*Baffle, form) : "   ");
    }
    if (step.move_cursor) {
        POINT at{step.cursor_x, step.cursor_y};
        ClientToScreen(dialog, &at);
        SetCursorPos(at.x, at.y);
    }
    ShowHvMessages(FrameWindow, step.messages);
    return !step.messages.empty();
}

void OnInit(HWND dialog) {
    MoveWindow(Canvas(dialog), 0, 0, kCanvasWidth, kCanvasHeight, FALSE);
    BaffleRecord& b = *Baffle;
    HV_Driver_Data& d = *CurrentDriver;
    b.BaffleEditMode = kEditMove;
    SendDlgItemMessageA(dialog, IDC_DIF_RASTER, EM_LIMITTEXT, kRasterChars, 0);
    SendDlgItemMessageA(dialog, IDC_DIF_DIAMETER, EM_LIMITTEXT, kDiameterChars, 0);
    SendDlgItemMessageA(dialog, IDC_DIF_INSERT_INDEX, EM_LIMITTEXT, kInsertIndexChars, 0);
    for (int id : {IDC_DIF_BEVEL_A, IDC_DIF_BEVEL_B, IDC_DIF_ROUND_R})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kEdgeValueChars, 0);
    char text[kTextField + 1] = {};
    std::snprintf(text, sizeof text, "%.*s", kRasterChars, b.Raster);
    SetDlgItemTextA(dialog, IDC_DIF_RASTER, text);
    HWND bar = GetDlgItem(dialog, IDC_DIF_MIKE_DISTANCE);
    SetScrollRange(bar, SB_CTL, kMikeDistanceMin, kMikeDistanceMax, FALSE);
    const float z = DriverMikeDistance(d);
    const int position = !(z >= kMikeDistanceMin) ? kMikeDistanceMin : z > kMikeDistanceMax ? kMikeDistanceMax
                                                                                            : static_cast<int>(z);
    SetScrollPos(bar, SB_CTL, position, TRUE);
    ShowMikeDistance(dialog);
    std::snprintf(text, sizeof text, "%.*s", kDiameterChars, DriverDiameter(d));
    SetDlgItemTextA(dialog, IDC_DIF_DIAMETER, text);
    SetFocus(GetDlgItem(dialog, IDC_DIF_RASTER));
    const DiffractionSettings& s = DiffractionCalculatorSettings;
    Check(dialog, IDC_DIF_DIRECTIVITY, s.DirectivityMode == 1);
    Check(dialog, IDC_DIF_SHOW_PHASE, ShowPhase == 1);
    Check(dialog, IDC_DIF_DIPOLE, s.DipoleMode == 1);
    SendDlgItemMessageA(dialog, IDC_DIF_PISTON_LIST, LB_RESETCONTENT, 0, 0);
    for (int row = 1; row <= kPistonRows; ++row) {
        std::snprintf(text, sizeof text, "%d", row);
        SendDlgItemMessageA(dialog, IDC_DIF_PISTON_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendDlgItemMessageA(dialog, IDC_DIF_PISTON_LIST, LB_SETCURSEL, s.PistonPoints, 0);
    Check(dialog, IDC_DIF_SQUARE, s.BaffleEdgeType == 0);
    Check(dialog, IDC_DIF_BEVEL, s.BaffleEdgeType == 1);
    Check(dialog, IDC_DIF_ROUND, s.BaffleEdgeType == 2);
    ShowEdgeValue(dialog, IDC_DIF_BEVEL_A, s.BevelA);
    ShowEdgeValue(dialog, IDC_DIF_BEVEL_B, s.BevelB);
    ShowEdgeValue(dialog, IDC_DIF_ROUND_R, s.RoundRadius);
    SetLabel(dialog, IDC_DIF_MIKE_POSITION, MicrophoneLabel(b));
    Check(dialog, IDC_DIF_TWO_DRIVERS, DriverConfig(d) == 1);
    EnableDriversOf(DriverConfig(d), &b);
    if (b.Positions[0].Enabled == 1) SetLabel(dialog, IDC_DIF_DRIVER1, Driver1Label(b));
    if (b.Positions[1].Enabled == 1) SetLabel(dialog, IDC_DIF_DRIVER2, Driver2Label(b, Driver2Form::kPlain));
    CheckMode(dialog, b.BaffleEditMode);
    SetDlgItemInt(dialog, IDC_DIF_INSERT_INDEX, static_cast<UINT>(b.InsertAfterIndex), TRUE);
}

void OnMikeDistance(HWND dialog, WPARAM wParam) {
    HWND bar = GetDlgItem(dialog, IDC_DIF_MIKE_DISTANCE);
    const int v = ScrollBarValue(GetScrollPos(bar, SB_CTL), LOWORD(wParam), HIWORD(wParam), kMikeDistanceSteps);
    DriverMikeDistance(*CurrentDriver) = static_cast<float>(v);
    SetScrollPos(bar, SB_CTL, v, TRUE);
    ShowMikeDistance(dialog);
}

std::string EditText(HWND dialog, int id, int chars) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, chars + 1);
    return text;
}

void Toggle(HWND dialog, int id, uint32_t* flag) {
    *flag = *flag == 1 ? 0 : 1;
    Check(dialog, id, *flag == 1);
}

void SetEdgeType(HWND dialog, uint32_t type) {
    DiffractionCalculatorSettings.BaffleEdgeType = type;
    Check(dialog, IDC_DIF_SQUARE, type == 0);
    Check(dialog, IDC_DIF_BEVEL, type == 1);
    Check(dialog, IDC_DIF_ROUND, type == 2);
    DrawEdgeProfile(GetDlgItem(dialog, IDC_DIF_PROFILE));
}

void ClearCurves() {
    for (int s = 0; s < kDiffractionCurveSlots; ++s) DiffractionCurves[s].Visible = 0.0f;
    DiffractionSlots.spl_slot = DiffractionSlots.phase_slot = DiffractionSlots.pair_slot = 0;
    if (DiffractionWindow) InvalidateRect(DiffractionWindow, nullptr, TRUE);
}

void OnCommand(HWND dialog, int id) {
    DiffractionSettings& s = DiffractionCalculatorSettings;
    for (int i = 0; i < 4; ++i) {
        if (kModeBoxes[i] != id) continue;
        Baffle->BaffleEditMode = kModeOfBox[i];
        CheckMode(dialog, kModeOfBox[i]);
        SetWindowTextA(dialog, EditModeTitle(kModeOfBox[i]));
        return;
    }
    switch (id) {
        case IDC_DIF_DIRECTIVITY:
            Toggle(dialog, id, &s.DirectivityMode);
            DrawBaffle(Canvas(dialog));
            break;
        case IDC_DIF_DIPOLE: Toggle(dialog, id, &s.DipoleMode); break;
        case IDC_DIF_SHOW_PHASE:
            Toggle(dialog, id, &ShowPhase);
            if (DiffractionWindow) InvalidateRect(DiffractionWindow, nullptr, TRUE);
            break;
        case IDC_DIF_PISTON_LIST: {
            const LRESULT row = SendDlgItemMessageA(dialog, id, LB_GETCURSEL, 0, 0);
            if (row >= 0 && row < kPistonRows) s.PistonPoints = static_cast<uint32_t>(row);
            RedrawCanvas(Canvas(dialog));
            break;
        }
        case IDC_DIF_SQUARE: SetEdgeType(dialog, 0); break;
        case IDC_DIF_BEVEL: SetEdgeType(dialog, 1); break;
        case IDC_DIF_ROUND: SetEdgeType(dialog, 2); break;
        case IDC_DIF_BEVEL_A: ReadEdgeValue(EditText(dialog, id, kEdgeValueChars).c_str(), &s.BevelA); break;
        case IDC_DIF_BEVEL_B: ReadEdgeValue(EditText(dialog, id, kEdgeValueChars).c_str(), &s.BevelB); break;
        case IDC_DIF_ROUND_R: ReadEdgeValue(EditText(dialog, id, kEdgeValueChars).c_str(), &s.RoundRadius); break;
        case IDC_DIF_DIAMETER:
            CopySettingText(DriverDiameter(*CurrentDriver), kDiameterChars + 1,
                            EditText(dialog, id, kDiameterChars).c_str());
            break;
        case IDC_DIF_RASTER:
            Apply(dialog, SetRasterText(Baffle, EditText(dialog, id, kRasterChars).c_str()), Driver2Form::kTwoDecimals);
            break;
        case IDC_DIF_INSERT_INDEX:
            Baffle->InsertAfterIndex = InsertIndexOf(EditText(dialog, id, kInsertIndexChars).c_str());
            break;
        case IDC_DIF_TWO_DRIVERS: {
            const CalculatorStep step = ToggleTwoDrivers(Baffle, CurrentDriver);
            Check(dialog, id, DriverConfig(*CurrentDriver) == 1);
            CheckMode(dialog, kEditMove);
            Apply(dialog, step, Driver2Form::kCentimetres);
            break;
        }
        case IDC_DIF_EXAMPLE_1:
            LoadBaffleExample1(Baffle, BaffleEdgePoints, CurrentDriver);
            CheckMode(dialog, kEditAdd);
            SetWindowTextA(dialog, EditModeTitle(kEditAdd));
            SetLabel(dialog, IDC_DIF_DRIVER1, Driver1Label(*Baffle));
            SetLabel(dialog, IDC_DIF_MIKE_POSITION, MicrophoneLabel(*Baffle));
            RedrawCanvas(Canvas(dialog));
            break;
        case IDC_DIF_EXAMPLE_2:
            LoadBaffleExample2(Baffle, BaffleEdgePoints, CurrentDriver);
            SetLabel(dialog, IDC_DIF_MIKE_POSITION, MicrophoneLabel(*Baffle));
            SetLabel(dialog, IDC_DIF_DRIVER1, Driver1Label(*Baffle));
            RedrawCanvas(Canvas(dialog));
            break;
        case IDC_DIF_CLEAR: ClearCurves(); break;
        case IDC_DIF_PLOT: RunDiffractionPlot(dialog); break;
        case IDC_DIF_PRINT: PrintWindowImage(FrameWindow, dialog); break;
        case IDCANCEL: DestroyWindow(dialog); break;
        default: break;
    }
}

INT_PTR OnMouse(HWND dialog, UINT message, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    CalculatorStep step;
    switch (message) {
        case WM_LBUTTONDOWN: step = CalculatorLeftDown(Context(), x, y); break;
        case WM_MOUSEMOVE: step = CalculatorMouseMove(Context(), x, y); break;
        default: step = CalculatorLeftUp(Context(), x, y); break;
    }
    if (!step.handled) return FALSE;
    return Apply(dialog, step, Driver2Form::kCentimetres) ? TRUE : FALSE;
}

// ---- The plot ------------------------------------------------------------------------------------------

std::vector<std::string> DbLabels(const DiffractionScale& s) {
    std::vector<std::string> v;
    for (int k = 0; k <= 18; ++k) v.push_back(DiffractionDbLabel(s, k));
    return v;
}

std::vector<std::string> PhaseLabels() {
    std::vector<std::string> v;
    for (int k = 0; k <= 18; ++k) v.push_back(DiffractionPhaseLabel(k));
    return v;
}

ToolPlot DiffractionPlot() { return MakeToolPlot(DiffractionViewClientSize.width, DiffractionViewClientSize.height); }

}  // namespace

int PaintDiffractionPlot(HDC dc) {
    const DiffractionScale scale = DiffractionScaleOf(*CurrentDriver);
    ToolPlotFrameStyle style{Gdi.BluePen2, Gdi.DarkRedPen1, "SPL / Phase vs. Frequency", -80, 20, 22,
                             DbLabels(scale), PhaseLabels(), "dB"};
    DrawToolPlotFrame(dc, DiffractionPlot(), style);
    DrawDiffractionCurves(dc);
    return 0;
}

int DrawDiffractionCurves(HDC dc) {
    if (!DiffractionCurves) return 0;
    const ToolPlot p = DiffractionPlot();
    const DiffractionScale scale = DiffractionScaleOf(*CurrentDriver);
    const int bins = 8 * BlockFrames + 1;
    std::vector<int32_t> index;
    SetBkMode(dc, TRANSPARENT);
    for (int g = 0; g < kDiffractionGroups; ++g) {
        const DiffractionGroup& group = DiffractionGroups()[g];
        if (group.phase && ShowPhase != 1) continue;
        if (!group.phase && !scale.levels) continue;  // a step of 0 cannot place a level
        for (int slot = group.first_slot; slot < group.first_slot + kDiffractionGroupSlots; ++slot) {
            const PlotCurve& c = DiffractionCurves[slot];
            if (c.Visible != 1.0f) continue;
            if (index.empty()) {
                index.resize(static_cast<std::size_t>(bins));
                MapBinsToLogIndex(BinFrequencyTable, bins, LogFrequencyTable, index.data());
            }
            HPEN pen = CreateCurvePen(c.Red, c.Green, c.Blue, c.PenWidth, c.PenStyle);
            HGDIOBJ oldPen = SelectObject(dc, pen);
            HGDIOBJ oldFont = SelectObject(dc, Gdi.SmallFont);
            PlotText(dc, p.w - 75, group.text_y, group.legend);
            const int ys = group.stroke_base + 3 * slot;
            MoveToEx(dc, p.w - 50, ys, nullptr);
            LineTo(dc, p.w - 25, ys);
            DrawStrokes(dc, BuildLogIndexPolyline(p, index.data(), bins, [&](int k) {
                            return group.phase ? DiffractionPhaseY(p, c.Values[k])
                                               : DiffractionLevelY(p, scale, c.Values[k]);
                        }));
            SelectObject(dc, oldFont);
            SelectObject(dc, oldPen);
            DeleteObject(pen);
        }
    }
    SetBkMode(dc, OPAQUE);
    return 0;
}

int RunDiffractionPlot(HWND dialog) {
    MessageList messages;
    HWND canvas = Canvas(dialog);
    const uint32_t slot = DiffractionSlots.spl_slot;
    const bool prepared = WithWaitCursor([&] {
        if (PrepareBaffleEdges(Baffle, BaffleEdgePoints, &BaffleEdgeElementList, &messages) != 0) return false;
        DrawCanvasGrid(canvas);
        DrawEdgeElements(canvas);
        RebuildPlotGrids(FrequencyAxisRange);
        DiffractionSlots.curves = DiffractionCurves;
        RunDiffraction(Baffle, BaffleEdgePoints, &BaffleEdgeElementList, CurrentDriver, DiffractionCalculatorSettings,
                       BinFrequencyTable, ColourScheme, &DiffractionSlots, &messages);
        return true;
    });
    if (!prepared) {
        ShowHvMessages(FrameWindow, messages);  // the outline's messages are the frame's, as the editing ones
        return 0;
    }
    if (!messages.empty()) {
        ShowHvMessages(dialog, messages);
        return 1;
    }
    DrawBaffle(canvas);
    if (DiffractionWindow) {
        // The run leaves the last bin's reading in the title.
        const int last = kBinCount - 1;
        SetWindowTextA(DiffractionWindow,
                       DiffractionRunTitle(BinFrequencyTable[last], DiffractionCurves[slot].Values[last]).c_str());
        InvalidateRect(DiffractionWindow, nullptr, TRUE);
    }
    return 1;
}

INT_PTR CALLBACK DiffractionCalculatorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInit(dialog); return FALSE;  // the focus is set
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlID == IDC_DIF_CANVAS) PaintCanvasWhole(item->hwndItem, item->hDC);
            if (item->CtlID == IDC_DIF_PROFILE) PaintProfileWhole(item->hwndItem, item->hDC);
            return TRUE;
        }
        case WM_MOVE: TrackPanelMove(lParam, kCalculatorSlot); return FALSE;
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_DIF_MIKE_DISTANCE)) OnMikeDistance(dialog, wParam);
            return TRUE;
        case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); return TRUE;
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP: return OnMouse(dialog, message, lParam);
        case WM_RBUTTONDOWN:
            RedrawCanvas(Canvas(dialog));
            CopyWindowToClipboard(FrameWindow);
            return TRUE;
        case WM_CLOSE: DestroyWindow(dialog); return TRUE;
        case WM_DESTROY:
            if (DiffractionCalculatorWindow == dialog) DiffractionCalculatorWindow = nullptr;
            return FALSE;
        default: return FALSE;
    }
}

HWND CreateDiffractionCalculator(HWND owner) {
    return CreateDialogParamA(AppInstance, "DiffractionCalculator", owner, DiffractionCalculatorProc, 0);
}
