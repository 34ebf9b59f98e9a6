// The "MLS Impulse Response" window's content: its traces, frame and labels, its cursor and the acoustical
// distance box, and the page's input level meter.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/plot_label_painter.h"
#include "app/win32/window_registry.h"
#include "measure/impulse_view.h"
#include "measure/ir_cursor.h"
#include "measure/ir_windows.h"
#include "measure/mls_state.h"
#include "measure/win32/mls_windows.h"

namespace {

ImpulseGeometry Geometry() { return ImpulseGeometry{MlsImpulseClientSize.width, MlsImpulseClientSize.height}; }

void Text(HDC dc, int x, int y, const std::string& text) { TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size())); }

// A pen from a trace's words after value 2000: colour, width, style (1 or less solid, 2 dotted, 3 dashed;
// anything above dashed as dashed).
HPEN TracePen(const PlotCurve& slot) {
    const float* w = slot.Values + kImpulseShownFlag;
    const int r = static_cast<int>(w[1]) & 0xFF, g = static_cast<int>(w[2]) & 0xFF, b = static_cast<int>(w[3]) & 0xFF;
    int style = PS_SOLID;
    if (w[5] >= 3.0f) style = PS_DASH;
    else if (w[5] >= 2.0f) style = PS_DOT;
    return CreatePen(style, static_cast<int>(w[4]), RGB(r, g, b));
}

void DrawPolyline(HDC dc, const std::vector<ImpulsePoint>& points) {
    bool first = true;
    for (const ImpulsePoint& p : points) {
        if (!p.draw) continue;
        if (first) MoveToEx(dc, p.x, p.y, nullptr);
        LineTo(dc, p.x, p.y);
        first = false;
    }
}

void DrawTrace(HDC dc, ImpulseTrace trace, int slot_index, const char* legend, int legend_y) {
    const PlotCurve& slot = MlsCurves[slot_index];
    if (slot.Values[kImpulseShownFlag] != 1.0f) return;
    const ImpulseGeometry g = Geometry();
    HPEN pen = TracePen(slot);
    HGDIOBJ old_pen = SelectObject(dc, pen);
    HGDIOBJ old_font = SelectObject(dc, Gdi.SmallFont);
    Text(dc, g.width - 75, legend_y, legend);
    MoveToEx(dc, g.width - 50, legend_y, nullptr);
    LineTo(dc, g.width - 25, legend_y);
    DrawPolyline(dc, ImpulseTracePolyline(trace, slot, g, MlsSettings.ZoomIndex));
    SelectObject(dc, old_font);
    SelectObject(dc, old_pen);
    DeleteObject(pen);
}

void DrawImpulseTraces(HDC dc) {
    const ImpulseGeometry g = Geometry();
    const int x = ImpulseCursorX(MlsImpulseCursor, MlsImpulseScroll, g);
    if (x >= 0) {
        HGDIOBJ old = SelectObject(dc, Gdi.BlackPen1);
        SetROP2(dc, R2_NOT);
        MoveToEx(dc, x, 19, nullptr);
        LineTo(dc, x, g.height - 20);
        SetROP2(dc, R2_COPYPEN);
        SelectObject(dc, old);
        IrCursorXDrawn = x;
    }
    DrawTrace(dc, ImpulseTrace::kRef, kImpulseTraceRefSlot, "Ref", 30);
    DrawTrace(dc, ImpulseTrace::kIn, kImpulseTraceInSlot, "In", 50);
    if (MlsSettings.DisplayFlags[0] == 1) {
        HGDIOBJ old = SelectObject(dc, Gdi.DarkGreenPen1);
        DrawPolyline(dc, ImpulseTracePolyline(ImpulseTrace::kWindow, MlsCurves[kImpulseWindowSlot], g, 0));
        SelectObject(dc, old);
    }
}

void DrawCursorLine(HWND window, int x) {
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, Gdi.BlackPen1);
    MoveToEx(dc, x, 19, nullptr);
    LineTo(dc, x, MlsImpulseClientSize.height - 20);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    IrCursorXDrawn = x;
}

void AfterCursorMove(HWND window) {
    SetImpulseWindowTitle();
    RefreshImpulseCurves();
    HDC dc = GetDC(window);
    DrawAcousticDistance(dc);
    ReleaseDC(window, dc);
}

}  // namespace

int IrCursorXDrawn = 0;

void SetImpulseWindowTitle() {
    if (!MlsImpWindow || !MlsImpulseRef) return;
    const std::string title = IrCursorReadout(MlsImpulseRef[MlsImpulseCursor], MlsImpulseIn[MlsImpulseCursor],
                                              MlsImpulseCursor, MlsImpulseScroll);
    SetWindowTextA(MlsImpWindow, title.c_str());
}

void RefreshImpulseCurves() {
    if (!MlsCurves || !MlsImpulseRef) return;
    RefreshImpulseTraces(MlsCurves, MlsImpulseRef, MlsImpulseIn, MlsImpulseScroll, MlsImpulseCursor,
                         MlsSettings.WindowTypeIndex, MlsSettings.WindowWidthText, TwoSidedIrWindow,
                         kIrWindowClearedEntries);
    if (MlsImpWindow) InvalidateRect(MlsImpWindow, nullptr, TRUE);
}

int PaintImpulseWindow(HDC dc) {
    const ImpulseGeometry g = Geometry();
    const int W = g.width, H = g.height;
    const double row = g.RowHeight();
    HGDIOBJ old_pen = SelectObject(dc, Gdi.BluePen2);
    Rectangle(dc, 59, 18, W - 18, H - 20);
    for (int r = 1; r <= 17; ++r) {
        const int y = static_cast<int>(20 + r * row);
        for (int x = 60; x < W - 20; x += 2) SetPixel(dc, x, y, RGB(0, 128, 0));
    }
    for (int j = 1; j <= 39; ++j) {
        const int x = static_cast<int>(60 + j * (W - 80) / 40.0);
        for (int y = 19; y < H - 22; y += 2) SetPixel(dc, x, y, RGB(0, 128, 0));
    }
    SelectObject(dc, Gdi.DarkRedPen1);
    const int zero = static_cast<int>(20 + 9 * row);
    MoveToEx(dc, 60, zero, nullptr);
    LineTo(dc, W - 20, zero);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old_brush = SelectObject(dc, Gdi.YellowBrush);
    SelectObject(dc, Gdi.BluePen2);
    const int half = W / 2;
    RoundRect(dc, half - 120, 1, half + 135, 21, 15, 15);
    Text(dc, half - 80, 2, kImpulseWindowHeading);
    HGDIOBJ old_font = SelectObject(dc, Gdi.SmallFont);
    std::vector<PlacedLabel> labels;
    const std::vector<std::string> levels = ImpulseLevelLabels();
    for (int i = 0; i < static_cast<int>(levels.size()); ++i)
        labels.push_back(PlacedLabel{30, static_cast<int>(10 + i * row), levels[i]});
    labels.push_back(PlacedLabel{3, (H - 15) / 2, "DAC"});
    for (const ImpulseTimeLabel& l : ImpulseTimeLabels(MlsImpulseScroll, MlsSampleRate(), g))
        labels.push_back(PlacedLabel{l.x, H - 15, l.text});
    labels.push_back(PlacedLabel{W - 16, H - 28, "ms"});
    DrawPlotLabels(dc, labels);
    SelectObject(dc, old_font);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    SetImpulseWindowTitle();
    DrawImpulseTraces(dc);
    DrawAcousticDistance(dc);
    return 0;
}

int DrawAcousticDistance(HDC dc) {
    const int H = MlsImpulseClientSize.height;
    const std::string text = AcousticDistanceText(MlsImpulseCursor, MlsSampleRate(), SpeedOfSoundText,
                                                  MlsSettings.PulseDelayText);
    HGDIOBJ old_brush = SelectObject(dc, Gdi.YellowBrush);
    const int old_rop = SetROP2(dc, R2_COPYPEN);
    Rectangle(dc, 65, H - 47, 293, H - 27);
    SetROP2(dc, old_rop);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old_font = SelectObject(dc, Gdi.StockSystemFont);
    Text(dc, 70, H - 45, text);
    SelectObject(dc, old_font);
    SelectObject(dc, old_brush);
    SetBkMode(dc, OPAQUE);
    return 0;
}

int TrackIrCursorMouse(HWND window, LPARAM position) {
    const int x = static_cast<short>(LOWORD(position)), y = static_cast<short>(HIWORD(position));
    const int W = MlsImpulseClientSize.width, H = MlsImpulseClientSize.height;
    if (!IrCursorClickTaken(x, y, W, H)) return 0;
    DrawCursorLine(window, IrCursorColumnFromClick(x, W));
    MlsImpulseCursor = IrCursorBinFromClick(x, W, MlsImpulseScroll);
    AfterCursorMove(window);
    return 0;
}

int TrackIrCursorKey(HWND window, WPARAM key) {
    if (!StepIrCursor(&MlsImpulseCursor, MlsImpulseScroll, static_cast<int>(key))) return 0;
    DrawCursorLine(window, IrCursorColumnFromBin(MlsImpulseCursor, MlsImpulseScroll, MlsImpulseClientSize.width));
    AfterCursorMove(window);
    return 0;
}

void DrawMeterLeds(HDC dc, const RECT& rc, float left_level, float right_level) {
    auto led = [&](int column_left, int k, HBRUSH brush) {
        HGDIOBJ old = SelectObject(dc, brush ? static_cast<HGDIOBJ>(brush) : GetStockObject(WHITE_BRUSH));
        const int bottom = rc.bottom - 2 - 10 * k;
        Rectangle(dc, column_left, bottom - 11, column_left + 13, bottom);
        SelectObject(dc, old);
    };
    HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const int lit_left = LitMeterLeds(left_level), lit_right = LitMeterLeds(right_level);
    for (int k = 0; k < kMeterLeds; ++k) led(rc.left + 5, k, nullptr);
    MoveToEx(dc, rc.left, 11, nullptr);
    LineTo(dc, rc.right + 5, 11);
    // The brushes run from dark red to green; LED 0 at the bottom is green.
    for (int k = 0; k < lit_left; ++k) led(rc.left + 5, k, Gdi.MeterBrushes[kMeterLeds - 1 - k]);
    for (int k = 0; k < kMeterLeds; ++k) led(rc.left + 22, k, nullptr);
    for (int k = 0; k < lit_right; ++k) led(rc.left + 22, k, Gdi.MeterBrushes[kMeterLeds - 1 - k]);
    SelectObject(dc, old_pen);
}

int DrawLevelMeters(HWND meter, float left_level, float right_level) {
    if (!meter) return 0;
    InvalidateRect(meter, nullptr, TRUE);
    UpdateWindow(meter);
    HDC dc = GetDC(meter);
    RECT rc;
    GetClientRect(meter, &rc);
    DrawMeterLeds(dc, rc, left_level, right_level);
    ReleaseDC(meter, dc);
    return 0;
}
