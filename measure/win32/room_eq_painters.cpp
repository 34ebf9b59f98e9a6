// The room equalizer's plots: the impulse responses of the current location with the time window, the
// measured SPL and phase with the EQ, the threshold and the equalized result, and the excess group delay; and
// the six location markers. Positions come from measure/room_eq_plots.
#include <windows.h>

#include <string>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/plot_label_painter.h"
#include "measure/room_eq.h"
#include "measure/room_eq_plots.h"
#include "measure/room_eq_state.h"
#include "measure/win32/room_eq_windows.h"

namespace {

constexpr int W = kRoomEqPlotWidth;
constexpr int kMarkerTops[kRoomEqLocationCount] = {8, 32, 54, 77, 98, 122};
constexpr COLORREF kGridDot = RGB(0, 128, 0);

void Text(HDC dc, int x, int y, const std::string& s) { TextOutA(dc, x, y, s.c_str(), static_cast<int>(s.size())); }

// Axis labels, in the label font.
void Labels(HDC dc, const std::vector<RoomEqPlotLabel>& labels) {
    HGDIOBJ font = SelectObject(dc, Gdi.LabelFont);
    std::vector<PlacedLabel> placed;
    for (const RoomEqPlotLabel& l : labels) placed.push_back(PlacedLabel{l.x, l.y, l.text});
    DrawPlotLabels(dc, placed);
    SelectObject(dc, font);
}

void DottedRow(HDC dc, int y, int x0, int x1) {
    for (int x = x0; x < x1; x += 2) SetPixelV(dc, x, y, kGridDot);
}
void DottedColumn(HDC dc, int x, int y0, int y1) {
    for (int y = y0; y < y1; y += 2) SetPixelV(dc, x, y, kGridDot);
}

void Polyline(HDC dc, const std::vector<RoomEqPlotPoint>& points) {
    for (const RoomEqPlotPoint& p : points) {
        if (p.move)
            MoveToEx(dc, p.x, p.y, nullptr);
        else
            LineTo(dc, p.x, p.y);
    }
}

// A pen made from a curve's header for one drawing; null when the curve is not shown.
class CurvePen {
public:
    CurvePen(HDC dc, const float header[6]) : dc_(dc) {
        if (!RoomEqCurveShown(header)) return;
        const PlotPen p = RoomEqPenOf(header);
        pen_ = CreatePen(p.style == 1 ? PS_DOT : p.style == 2 ? PS_DASH : PS_SOLID, p.width, RGB(p.red, p.green, p.blue));
        if (pen_) old_ = SelectObject(dc_, pen_);
    }
    ~CurvePen() {
        if (!pen_) return;
        SelectObject(dc_, old_);
        DeleteObject(pen_);
    }
    explicit operator bool() const { return pen_ != nullptr; }

private:
    HDC dc_;
    HPEN pen_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

const float* Header(const PlotCurve& c) { return &c.Visible; }
const float* ImpulseHeader(const PlotCurve& c) { return &c.Values[kRoomEqImpulsePoints]; }

// The plot box, the row grid, the title; what lies between them is the caller's.
void Box(HDC dc, int H, int right) {
    HGDIOBJ pen = SelectObject(dc, Gdi.BluePen2);
    HGDIOBJ brush = SelectObject(dc, Gdi.WhiteBrush);
    Rectangle(dc, 59, 18, right, H - 20);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    const double ys = RoomEqRowHeight(H);
    for (int i = 1; i <= 17; ++i) DottedRow(dc, static_cast<int>(20 + i * ys), 60, W - 20);
    SetBkMode(dc, TRANSPARENT);
}

void Title(HDC dc, const char* text, int x) {
    HGDIOBJ pen = SelectObject(dc, Gdi.BlackPen1);
    HGDIOBJ brush = SelectObject(dc, Gdi.YellowBrush);
    RoundRect(dc, W / 2 - 120, 1, W / 2 + 135, 21, 15, 15);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    HGDIOBJ font = SelectObject(dc, Gdi.StockSystemFont);
    Text(dc, x, 2, text);
    SelectObject(dc, font);
}

void MiddleLine(HDC dc, int H, HPEN pen) {
    const int y = static_cast<int>(20 + 9 * RoomEqRowHeight(H));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, 60, y, nullptr);
    LineTo(dc, W - 20, y);
    SelectObject(dc, old);
}

void FrequencyAxis(HDC dc, int H) {
    const RoomEqFrequencyAxis axis = RoomEqFrequencyAxisOf(AxisLowestFrequency(RoomEqAxisRange.lowest),
                                                           AxisHighestFrequency(RoomEqAxisRange.highest), W, H);
    for (int x : axis.grid_x) DottedColumn(dc, x, 19, H - 22);
    Labels(dc, axis.labels);
}

void LegendBox(HDC dc, int bottom) {
    HGDIOBJ pen = SelectObject(dc, Gdi.BlackPen1);
    HGDIOBJ brush = SelectObject(dc, Gdi.WhiteBrush);
    RoundRect(dc, W - 133, 20, W - 22, bottom, 5, 5);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
}

// A legend entry: its text, and a stroke in the curve's pen (which the caller has selected).
void LegendEntry(HDC dc, const char* text, int y, int line_y) {
    HGDIOBJ font = SelectObject(dc, Gdi.SmallFont);
    Text(dc, W - 130, y, text);
    SelectObject(dc, font);
    MoveToEx(dc, W - 50, line_y, nullptr);
    LineTo(dc, W - 25, line_y);
}

int Location() {
    return CurrentLocation < 0 ? 0 : CurrentLocation >= kRoomEqLocationCount ? kRoomEqLocationCount - 1 : CurrentLocation;
}

// A frequency curve of the SPL or delay plot, drawn in its own pen when its flag says so.
bool FrequencyCurve(HDC dc, const PlotCurve& c, const RoomEqYMap& map, int H) {
    CurvePen pen(dc, Header(c));
    if (!pen) return false;
    Polyline(dc, RoomEqFrequencyCurve([&](int k) { return c.Values[k]; }, map, W, H, BlockFrames, BinFrequencyTable,
                                      RoomEqPlotFrequencyTable));
    return true;
}

}  // namespace

int PaintRoomEqImpulseFrame(HDC dc) {
    const int H = kRoomEqImpulsePlotHeight;
    Box(dc, H, W - 18);
    for (int i = 1; i <= 39; ++i) DottedColumn(dc, 60 + 18 * i, 19, H - 22);
    MiddleLine(dc, H, Gdi.DarkRedPen1);
    Labels(dc, RoomEqImpulseLabels(W, H, SampleRateOf(MlsSettings.MlsRateIndex)));
    Title(dc, "Impulse Response", W / 2 - 60);
    return DrawRoomEqImpulseCurves(dc);
}

int DrawRoomEqImpulseCurves(HDC dc) {
    const int H = kRoomEqImpulsePlotHeight;
    const int L = Location();
    const PlotCurve& ref = RoomEqCurves[kRoomEqReferenceImpulseSlot + L];
    const PlotCurve& in = RoomEqCurves[kRoomEqMeasuredImpulseSlot + L];
    const PlotCurve& window = RoomEqCurves[kRoomEqWindowSlot];
    {
        CurvePen pen(dc, ImpulseHeader(ref));
        if (pen) Polyline(dc, RoomEqImpulseCurve(ref.Values, RoomEqReferenceImpulseMap(H), W, H));
    }
    {
        CurvePen pen(dc, ImpulseHeader(in));
        if (pen) Polyline(dc, RoomEqImpulseCurve(in.Values, RoomEqMeasuredImpulseMap(H, MlsSettings.ZoomIndex), W, H));
    }
    if (window.Values[kRoomEqWindowPoints] == 1.0f) {
        HGDIOBJ old = SelectObject(dc, Gdi.DarkGreenPen1);
        Polyline(dc, RoomEqImpulseCurve(window.Values, RoomEqWindowMap(H), W, H));
        SelectObject(dc, old);
    }
    LegendBox(dc, 70);
    {
        CurvePen pen(dc, ImpulseHeader(ref));
        if (pen) LegendEntry(dc, "Reference IR", 30, 30 + 3 * L);
    }
    {
        CurvePen pen(dc, ImpulseHeader(in));
        if (pen) LegendEntry(dc, "Measured IR", 50, 50 + 3 * L);
    }
    return 0;
}

int PaintRoomEqSplFrame(HDC dc) {
    const int H = kRoomEqSplPlotHeight;
    Box(dc, H, W - 19);
    FrequencyAxis(dc, H);
    MiddleLine(dc, H, Gdi.BluePen1);
    Labels(dc, RoomEqSplLabels(H));
    Title(dc, "Measured SPL / Phase", W / 2 - 80);
    return DrawRoomEqSplCurves(dc);
}

int DrawRoomEqSplCurves(HDC dc) {
    const int H = kRoomEqSplPlotHeight;
    const PlotCurve& spl = RoomEqCurves[kRoomEqAverageSplSlot];
    const PlotCurve& phase = RoomEqCurves[kRoomEqAveragePhaseSlot];
    const PlotCurve& eq = RoomEqCurves[kRoomEqEqSplSlot];
    const PlotCurve& eq_phase = RoomEqCurves[kRoomEqEqPhaseSlot];
    const PlotCurve& equalized = RoomEqCurves[kRoomEqEqualizedSlot];
    FrequencyCurve(dc, spl, RoomEqLevelMap(H), H);
    if (ShowMeasuredPhase == 1) FrequencyCurve(dc, phase, RoomEqPhaseMap(H), H);
    if (ShowRoomEqSpl == 1) FrequencyCurve(dc, eq, RoomEqLevelMap(H), H);
    if (ShowRoomEqPhase == 1) FrequencyCurve(dc, eq_phase, RoomEqPhaseMap(H), H);
    {
        HGDIOBJ old = SelectObject(dc, Gdi.BlackPen1);
        Polyline(dc, RoomEqFrequencyCurve([](int k) { return EqThresholdLine[k]; }, RoomEqLevelMap(H), W, H,
                                          BlockFrames, BinFrequencyTable, RoomEqPlotFrequencyTable));
        SelectObject(dc, old);
    }
    if (ShowEqualizedSpl == 1) FrequencyCurve(dc, equalized, RoomEqLevelMap(H), H);

    LegendBox(dc, 116);
    struct Entry {
        const char* text;
        int y;
        const PlotCurve& curve;
        bool shown;
    };
    const Entry entries[] = {{"Measured SPL", 20, spl, true},
                             {"Measured PH", 40, phase, ShowMeasuredPhase == 1},
                             {"Room EQ PH", 60, eq_phase, ShowRoomEqPhase == 1},
                             {"Room EQ SPL", 80, eq, ShowRoomEqSpl == 1},
                             {"Equalized Room", 100, equalized, ShowEqualizedSpl == 1}};
    for (const Entry& e : entries) {
        if (!e.shown) continue;
        CurvePen pen(dc, Header(e.curve));
        if (pen) LegendEntry(dc, e.text, e.y, e.y + 5);
    }
    return 0;
}

int PaintRoomEqDelayFrame(HDC dc) {
    const int H = kRoomEqDelayPlotHeight;
    Box(dc, H, W - 19);
    FrequencyAxis(dc, H);
    Labels(dc, RoomEqDelayLabels(H));
    Title(dc, "Excess Group Delay", W / 2 - 60);
    return DrawRoomEqDelayCurve(dc);
}

int DrawRoomEqDelayCurve(HDC dc) {
    const int H = kRoomEqDelayPlotHeight;
    const PlotCurve& delay = RoomEqCurves[kRoomEqGroupDelaySlot];
    FrequencyCurve(dc, delay, RoomEqDelayMap(H), H);
    LegendBox(dc, 35);
    CurvePen pen(dc, Header(delay));
    if (pen) LegendEntry(dc, "Excess Gr Del", 20, 25);
    return 0;
}

int PaintLocationMarkers(HDC dc) {
    for (int i = 0; i < kRoomEqLocationCount; ++i) {
        HGDIOBJ old = SelectObject(dc, RoomEqLocationMeasured(RoomEqCurves, i) ? Gdi.MeasuredMarkerBrush : Gdi.EmptyMarkerBrush);
        Rectangle(dc, 0, kMarkerTops[i], 10, kMarkerTops[i] + 10);
        SelectObject(dc, old);
    }
    return 0;
}
