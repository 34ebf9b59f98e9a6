// The four pages of the "MLS Frequency Domain" window and their painter.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/plot_label_painter.h"
#include "app/win32/window_registry.h"
#include "design/system_plot.h"
#include "measure/mls_plot.h"
#include "measure/mls_state.h"
#include "measure/resource_ids.h"
#include "measure/win32/mls_windows.h"

int MlsCopiedCount = 0;
int MlsPageCurveIndex[3] = {0, 0, 0};

namespace {

constexpr double kPlotDbReference = 90.0;  // the dB at the reference line and the dB per division
constexpr double kPlotDbPerDivision = 5.0;

MlsPlotGeometry Geometry() {
    MlsPlotGeometry g;
    g.width = MlsSplPageSize.width;
    g.height = MlsSplPageSize.height;
    g.fmin = AxisLowestFrequency(FrequencyAxisRange.lowest);
    g.fmax = AxisHighestFrequency(FrequencyAxisRange.highest);
    g.ref = kPlotDbReference;
    g.dbdiv = kPlotDbPerDivision;
    return g;
}

const char* MikeCalPath() { return Preferences ? Preferences->MikeCalFilePath : ""; }

void Text(HDC dc, int x, int y, const std::string& text) { TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size())); }

HPEN CurvePen(const PlotCurve& pen) {
    static const int kStyles[3] = {PS_SOLID, PS_DOT, PS_DASH};
    const int r = static_cast<int>(pen.Red) & 0xFF, g = static_cast<int>(pen.Green) & 0xFF,
              b = static_cast<int>(pen.Blue) & 0xFF;
    return CreatePen(kStyles[PlotPenStyle(pen.PenStyle)], static_cast<int>(pen.PenWidth), RGB(r, g, b));
}

void DrawPoints(HDC dc, const std::vector<MlsPlotPoint>& points) {
    for (const MlsPlotPoint& p : points) {
        if (p.move) MoveToEx(dc, p.x, p.y, nullptr);
        LineTo(dc, p.x, p.y);
    }
}

int DrawMlsSplCurves(HDC dc, int page) {
    const MlsPlotGeometry g = Geometry();
    PlotFlags flags;
    flags.show_phase = MlsSettings.DisplayFlags[1];
    flags.template_on = CalTemplateOn;
    HGDIOBJ old_font = SelectObject(dc, Gdi.SmallFont);
    for (const PageCurve& c : PageCurves(page, MlsCurves, CalibrationCurves, flags)) {
        HPEN pen = CurvePen(*c.pen);
        HGDIOBJ old_pen = SelectObject(dc, pen);
        Text(dc, g.width - c.legend_x_from_right, c.legend_y, c.legend);
        MoveToEx(dc, g.width - 50, c.line_y, nullptr);
        LineTo(dc, g.width - 25, c.line_y);
        if (c.second_line) {
            MoveToEx(dc, 65, c.second_y, nullptr);
            LineTo(dc, 100, c.second_y);
        }
        DrawPoints(dc, CurvePolyline(c, g, BinFrequencyTable, PlotFrequencyTable, BlockFrames));
        SelectObject(dc, old_pen);
        DeleteObject(pen);
    }
    SelectObject(dc, old_font);
    return 0;
}

void SetPlainTitle() {
    char title[2200];
    wsprintfA(title, "%s  %s", kMlsSplWindowTitle, MikeCalPath());
    if (MlsSplWindow) SetWindowTextA(MlsSplWindow, title);
}

void OnMouseMove(int page, int x, int y) {
    if (!MlsSplWindow) return;
    int& index = MlsPageCurveIndex[page];
    if (index < 0) index = 0;
    const std::string title = PlotReadoutTitle(page, index, x, y, Geometry(), BinFrequencyTable, PlotFrequencyTable,
                                               BlockFrames, MlsCurves, CalibrationCurves, MikeCalPath());
    SetWindowTextA(MlsSplWindow, title.c_str());
}

void OnLeftButton(HWND pageWindow, int page, int x, int y) {
    const MlsPlotGeometry g = Geometry();
    if (!PlotPointerInside(x, y, g) || MlsCopiedCount >= kCompareSlots - 1) {
        SetPlainTitle();
        return;
    }
    const int k = PlotHitTest(page, x, y, g, BinFrequencyTable, PlotFrequencyTable, BlockFrames, MlsCurves,
                              CalibrationCurves);
    if (k < 0) return;  // a miss keeps the curve the read-out follows
    MlsPageCurveIndex[page] = k;
    const int slot = kFirstCompareSlot + MlsCopiedCount;
    if (!CopyCurveToCompare(page, k, MlsCurves, CalibrationCurves, &MlsCopiedCount)) return;
    // The copy at once in magenta over the page; releasing the button repaints the window.
    PageCurve copy;
    copy.source = &MlsCurves[slot];
    copy.kind = CurveKind::kSpl;
    HDC dc = GetDC(pageWindow);
    HGDIOBJ old = SelectObject(dc, Gdi.MagentaPen2);
    DrawPoints(dc, CurvePolyline(copy, g, BinFrequencyTable, PlotFrequencyTable, BlockFrames));
    SelectObject(dc, old);
    ReleaseDC(pageWindow, dc);
    char title[256];
    wsprintfA(title, "%s  Copied Curve %d, %d Buffer(s) Left", kMlsSplWindowTitle, k + 1, kCompareSlots - MlsCopiedCount);
    if (MlsSplWindow) SetWindowTextA(MlsSplWindow, title);
}

void OnPaint(HWND pageWindow, int page) {
    InvalidateRect(pageWindow, nullptr, FALSE);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(pageWindow, &ps);
    PaintMlsSplPage(dc, page);
    EndPaint(pageWindow, &ps);
}

INT_PTR PlotPageProc(int page, HWND window, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN: OnLeftButton(window, page, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
        case WM_LBUTTONUP:
            if (MlsSplWindow) InvalidateRect(MlsSplWindow, nullptr, TRUE);
            return 0;
        case WM_MOUSEMOVE: OnMouseMove(page, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
        case WM_PAINT: OnPaint(window, page); return 0;
        case WM_ERASEBKGND: return 1;
        default: return 0;
    }
}

INT_PTR CALLBACK MeasuredSplPageProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PlotPageProc(0, w, m, wp, lp); }
INT_PTR CALLBACK CalibrationPageProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PlotPageProc(1, w, m, wp, lp); }
INT_PTR CALLBACK PostProcessingPageProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PlotPageProc(2, w, m, wp, lp); }

INT_PTR CALLBACK ComparePlotsPageProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CreateWindowA("BUTTON", "Clear", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 60, 1, 40, 16, window,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MLS_COMPARE_CLEAR)), AppInstance, nullptr);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_MLS_COMPARE_CLEAR) {
                ClearCompareCurves(MlsCurves, &MlsCopiedCount);
                if (MlsSplWindow) InvalidateRect(MlsSplWindow, nullptr, TRUE);
            }
            return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: OnPaint(window, 3); return 0;
        default: return 0;
    }
}

}  // namespace

HWND CreateMlsSplPage(HWND tab, int page) {
    static const DLGPROC kProcs[kMlsPlotPages] = {MeasuredSplPageProc, CalibrationPageProc, PostProcessingPageProc,
                                                 ComparePlotsPageProc};
    if (page < 0 || page >= kMlsPlotPages) page = 0;
    return CreateDialogParamA(AppInstance, "TAB_MLS_Spl", tab, kProcs[page], 0);
}

void SelectMlsSplPage(int page) {
    if (!MlsSplWindow || !MlsSplTabControl) return;
    SendMessageA(MlsSplTabControl, TCM_SETCURSEL, page, 0);
    NMHDR hdr{};
    hdr.hwndFrom = MlsTabControl;  // not the window's own tab: the page number travels in the first parameter
    hdr.idFrom = static_cast<UINT_PTR>(page);
    hdr.code = TCN_SELCHANGE;
    SendMessageA(MlsSplWindow, WM_NOTIFY, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&hdr));
}

int PaintMlsSplPage(HDC dc, int page) {
    const MlsPlotGeometry g = Geometry();
    const int W = g.width, H = g.height;
    const double hd = g.DivisionHeight();
    HGDIOBJ old_pen = SelectObject(dc, Gdi.BluePen2);
    HGDIOBJ old_brush = SelectObject(dc, Gdi.WhiteBrush);
    Rectangle(dc, 59, 18, W - 19, H - 20);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    SetBkMode(dc, TRANSPARENT);
    for (int k = 1; k <= 17; ++k) {
        const int y = static_cast<int>(20 + k * hd);
        for (int x = 60; x < W - 20; x += 2) SetPixel(dc, x, y, RGB(0, 128, 0));
    }
    RebuildPlotColumns(g, PlotFrequencyTable);
    const std::vector<double> grid = PlotGridFrequencies(g.fmin, g.fmax);
    for (double f : grid) {
        const int x = static_cast<int>(g.FrequencyX(f));
        for (int y = 19; y < H - 22; y += 2) SetPixel(dc, x, y, RGB(0, 128, 0));
    }
    HGDIOBJ old_font = SelectObject(dc, Gdi.SmallFont);
    std::vector<PlacedLabel> labels;
    for (const PlotLabel& l : PlotFrequencyLabels(g.fmin, g.fmax))
        labels.push_back(PlacedLabel{static_cast<int>(g.FrequencyX(l.f) - 1), H - 15, l.text});
    labels.push_back(PlacedLabel{W - 20, H - 15, "Hz"});
    const std::vector<std::string> db = PlotDbLabels(g.ref, g.dbdiv);
    for (int k = 0; k <= 18; ++k) {
        labels.push_back(PlacedLabel{3, static_cast<int>(k * hd + 10), db[k]});
        labels.push_back(PlacedLabel{30, static_cast<int>(k * hd + 10), PlotPhaseLabel(k)});
    }
    labels.push_back(PlacedLabel{3, H - 15, "dB"});
    labels.push_back(PlacedLabel{30, H - 15, "deg"});
    DrawPlotLabels(dc, labels);
    SelectObject(dc, Gdi.DarkRedPen1);
    const int centre = static_cast<int>(9 * hd + 20);
    MoveToEx(dc, 60, centre, nullptr);
    LineTo(dc, W - 20, centre);
    SelectObject(dc, Gdi.YellowBrush);
    SelectObject(dc, Gdi.BluePen2);
    const int half = W / 2;
    RoundRect(dc, half - 120, 1, half + 135, 21, 15, 15);
    SelectObject(dc, Gdi.StockSystemFont);
    Text(dc, half - 80, 2, kMlsPlotPageTitles[page]);
    SelectObject(dc, Gdi.SmallFont);
    if (page != 0 || MlsSettings.DisplayFlags[0] == 1) {
        const double width = SettingTextNumber(MlsSettings.WindowWidthText);
        const int end = WindowBandEndColumn(PlotFrequencyTable, MlsSampleRate(), width > 0 ? width : 1.0);
        for (int c = 0; c < end; c += 4) {
            const int x = static_cast<int>(c * 0.0005 * g.PlotWidth() + 60);
            for (int y = 19; y < H - 22; y += 4) SetPixel(dc, x, y, RGB(128, 128, 128));
        }
    }
    SetBkMode(dc, OPAQUE);
    char bass[64];
    snprintf(bass, sizeof bass, "Bass Resolution = %.2f Hz", static_cast<double>(BinFrequencyTable[1]));
    Text(dc, 65, 25, bass);
    for (int j = 0; j < 50; ++j) {
        if (!(BinFrequencyTable[j] < PlotFrequencyTable[399])) break;
        const int x = static_cast<int>(g.FrequencyX(BinFrequencyTable[j] + 1e-7));
        for (int y = 20; y < H - 20; y += 4) SetPixel(dc, x, y, RGB(0, 64, 228));
    }
    SelectObject(dc, old_font);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    DrawMlsSplCurves(dc, page);
    return 0;
}
