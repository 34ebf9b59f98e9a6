// The system plot of the "SPL_Plotting" window: frame, grid, labels, title box, window title, channel name,
// then every visible curve with its legend. Positions come from design/system_plot.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/plot_label_painter.h"
#include "app/win32/window_registry.h"
#include "app/settings.h"
#include "design/system_plot.h"
#include "design/win32/design_windows.h"

namespace {

// The SPL step text of the fixed data ("5"), read with the text-to-integer conversion.
constexpr const char kSplStepText[] = "5";

PlotGeometry CurrentGeometry() {
    return MakePlotGeometry(SplPlotClientSize.width, SplPlotClientSize.height,
                            AxisLowestFrequency(FrequencyAxisRange.lowest),
                            AxisHighestFrequency(FrequencyAxisRange.highest), std::atoi(kSplStepText));
}

void Text(HDC dc, int x, int y, const std::string& s) { TextOutA(dc, x, y, s.c_str(), static_cast<int>(s.size())); }

// Every second pixel of a row or a column, in green.
void DottedRow(HDC dc, int y, int x0, int x1) {
    for (int x = x0; x < x1; x += 2) SetPixelV(dc, x, y, RGB(0, 128, 0));
}
void DottedColumn(HDC dc, int x, int y0, int y1) {
    for (int y = y0; y < y1; y += 2) SetPixelV(dc, x, y, RGB(0, 128, 0));
}

// The bin-to-column map of the last paint, rebuilt when the grids behind it change.
std::vector<int32_t> g_binColumn;
std::vector<float> g_mappedBins, g_mappedColumns;

const int32_t* BinColumns(int bins) {
    const bool same = static_cast<int>(g_binColumn.size()) == bins && g_mappedBins.size() == static_cast<size_t>(bins) &&
                      std::equal(g_mappedBins.begin(), g_mappedBins.end(), BinFrequencyTable) &&
                      std::equal(g_mappedColumns.begin(), g_mappedColumns.end(), PlotFrequencyTable);
    if (!same) {
        g_binColumn.resize(static_cast<size_t>(bins));
        g_mappedBins.assign(BinFrequencyTable, BinFrequencyTable + bins);
        g_mappedColumns.assign(PlotFrequencyTable, PlotFrequencyTable + kPlotColumns);
        MapBinsToColumns(BinFrequencyTable, bins, PlotFrequencyTable, g_binColumn.data());
    }
    return g_binColumn.data();
}

}  // namespace

int PaintSplPlot(HDC dc) {
    const PlotGeometry g = CurrentGeometry();
    const int w = g.w, h = g.h;
    // Frame.
    HGDIOBJ pen = SelectObject(dc, Gdi.BluePen2);  // PlotFramePen
    HGDIOBJ brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, 59, 18, w - 19, h - 20);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    // Grid.
    for (int i = 1; i <= 17; ++i) DottedRow(dc, static_cast<int>(20 + i * g.r), 60, w - 20);
    for (double f : PlotGridFrequencies(g.fmin, g.fmax))
        DottedColumn(dc, static_cast<int>(PlotXOfFrequency(g, f)), 19, h - 22);
    pen = SelectObject(dc, Gdi.BluePen1);  // WirePen: the 0-degree row
    MoveToEx(dc, 60, static_cast<int>(20 + 9 * g.r), nullptr);
    LineTo(dc, w - 20, static_cast<int>(20 + 9 * g.r));
    SelectObject(dc, pen);
    // Title box.
    SetBkMode(dc, TRANSPARENT);
    pen = SelectObject(dc, Gdi.BlackPen1);
    brush = SelectObject(dc, Gdi.YellowBrush);
    RoundRect(dc, w / 2 - 120, 1, w / 2 + 135, 21, 15, 15);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    Text(dc, w / 2 - 80, 2, "SPL / Phase vs. Frequency");
    // Axis labels.
    HGDIOBJ font = SelectObject(dc, Gdi.SmallFont);
    std::vector<PlacedLabel> labels;
    for (const PlotLabel& l : PlotFrequencyLabels(g.fmin, g.fmax))
        labels.push_back(PlacedLabel{static_cast<int>(PlotXOfFrequency(g, l.f)) - 1, h - 15, l.text});
    labels.push_back(PlacedLabel{w - 20, h - 15, "Hz"});
    for (int i = 0; i <= 18; ++i) {
        labels.push_back(PlacedLabel{3, static_cast<int>(10 + i * g.r), PlotDbLabel(i, g.s)});
        labels.push_back(PlacedLabel{30, static_cast<int>(10 + i * g.r), PlotPhaseLabel(i)});
    }
    labels.push_back(PlacedLabel{3, h - 15, "dB"});
    labels.push_back(PlacedLabel{30, h - 15, "deg"});
    DrawPlotLabels(dc, labels);
    SelectObject(dc, font);
    // Window title and channel name.
    if (SplPlotWindow) SetWindowTextA(SplPlotWindow, PlotWindowTitle(OutputMode).c_str());
    font = SelectObject(dc, Gdi.TitleFont);
    SetTextColor(dc, RGB(228, 0, 0));
    Text(dc, 67, h - 45, PlotChannelName(ActivePane));
    SetBkMode(dc, OPAQUE);
    SetTextColor(dc, RGB(0, 0, 0));
    SelectObject(dc, font);
    DrawSplCurves(dc);
    return 0;
}

int DrawSplCurves(HDC dc) {
    if (!PlotCurveTable) return 0;
    const PlotGeometry g = CurrentGeometry();
    const int bins = 8 * BlockFrames + 1 <= kBinCount ? 8 * BlockFrames + 1 : kBinCount;
    const int32_t* column = nullptr;
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ font = SelectObject(dc, Gdi.LabelFont);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    const int text_height = static_cast<int>(tm.tmHeight);
    std::vector<PlotPoint> points;
    std::vector<POINT> polyline;
    for (int slot : PlotSlotOrder()) {
        const PlotCurve& c = PlotCurveTable[slot];
        if (c.Visible != 1.0f) continue;
        if (!column) column = BinColumns(bins);
        const PlotPen p = PlotPenOf(c.Red, c.Green, c.Blue, c.PenWidth, c.PenStyle);
        const int style = p.style == 1 ? PS_DOT : p.style == 2 ? PS_DASH : PS_SOLID;
        HPEN curvePen = CreatePen(style, p.width, RGB(p.red, p.green, p.blue));
        HGDIOBJ pen = SelectObject(dc, curvePen);
        const PlotLegend l = PlotSlotLegend(slot, g.w);
        if (LegendRowInsidePlot(l.textY, text_height, g.h - 20)) {  // the frame's bottom edge
            Text(dc, l.textX, l.textY, l.text);
            MoveToEx(dc, l.lineX0, l.lineY, nullptr);
            LineTo(dc, l.lineX1, l.lineY);
        }
        BuildCurvePolyline(g, c.Values, column, bins, PlotSlotIsPhase(slot), &points);
        polyline.resize(points.size());
        for (size_t i = 0; i < points.size(); ++i) polyline[i] = POINT{points[i].x, points[i].y};
        if (polyline.size() >= 2) Polyline(dc, polyline.data(), static_cast<int>(polyline.size()));
        if (!polyline.empty()) MoveToEx(dc, polyline.back().x, polyline.back().y, nullptr);
        SelectObject(dc, pen);
        DeleteObject(curvePen);
    }
    SelectObject(dc, font);
    return 0;
}
