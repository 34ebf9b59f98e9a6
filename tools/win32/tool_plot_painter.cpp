#include "tools/win32/tool_plot_painter.h"

#include "app/win32/app_windows.h"
#include "app/win32/plot_label_painter.h"
#include "design/system_plot.h"

namespace {

constexpr COLORREF kGridColour = RGB(0, 128, 0);
constexpr COLORREF kShadeColour = RGB(128, 128, 128);

}  // namespace

void PlotText(HDC dc, int x, int y, const std::string& text) {
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void DrawToolPlotFrame(HDC dc, const ToolPlot& p, const ToolPlotFrameStyle& style) {
    const int w = p.w, h = p.h;
    HGDIOBJ pen = SelectObject(dc, style.frame_pen);
    Rectangle(dc, 59, 18, w - 19, h - 20);
    // The dotted rows and the grid lines of the frequency axis.
    for (int k = 1; k <= 17; ++k) {
        const int y = static_cast<int>(20.0f + static_cast<float>(k) * p.row);
        for (int x = 60; x < w - style.grid_row_end; x += 2) SetPixelV(dc, x, y, kGridColour);
    }
    for (float f : ToolAxisGridFrequencies()) {
        const int x = static_cast<int>(ToolAxisX(p, f));
        for (int y = 19; y < h - style.grid_column_end; y += 2) SetPixelV(dc, x, y, kGridColour);
    }
    // The log grid outside the plotted range.
    for (int j : ToolPlotShadedIndices()) {
        const int x = LogIndexX(p, j);
        for (int y = 19; y < h - 22; y += 4) SetPixelV(dc, x, y, kShadeColour);
    }
    SelectObject(dc, style.zero_pen);
    const int zero = static_cast<int>(20.0f + 9.0f * p.row);
    MoveToEx(dc, 60, zero, nullptr);
    LineTo(dc, w - 20, zero);
    // Title box.
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, style.frame_pen);
    HGDIOBJ brush = SelectObject(dc, Gdi.YellowBrush);
    RoundRect(dc, w / 2 - 120, 1, w / 2 + 135, 21, 15, 15);
    SelectObject(dc, brush);
    HGDIOBJ font = SelectObject(dc, Gdi.StockSystemFont);
    PlotText(dc, w / 2 + style.title_x, 2, style.title);
    // Axis labels.
    SelectObject(dc, Gdi.SmallFont);
    std::vector<PlacedLabel> labels;
    for (const ToolAxisLabel& l : ToolAxisLabels())
        labels.push_back(PlacedLabel{static_cast<int>(ToolAxisX(p, l.f)) - 1, h - 15, l.text});
    labels.push_back(PlacedLabel{w - 20, h - 15, "Hz"});
    for (int k = 0; k < static_cast<int>(style.level_labels.size()); ++k)
        labels.push_back(PlacedLabel{3, static_cast<int>(10.0f + static_cast<float>(k) * p.row), style.level_labels[k]});
    labels.push_back(PlacedLabel{3, h - 15, style.level_unit});
    if (!style.phase_labels.empty()) {
        for (int k = 0; k < static_cast<int>(style.phase_labels.size()); ++k)
            labels.push_back(PlacedLabel{30, static_cast<int>(10.0f + static_cast<float>(k) * p.row), style.phase_labels[k]});
        labels.push_back(PlacedLabel{30, h - 15, "deg"});
    }
    DrawPlotLabels(dc, labels);
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, font);
    SelectObject(dc, pen);
}

void DrawStrokes(HDC dc, const std::vector<std::vector<ToolPlotPoint>>& strokes) {
    std::vector<POINT> points;
    for (const auto& s : strokes) {
        if (s.empty()) continue;
        points.resize(s.size());
        for (std::size_t i = 0; i < s.size(); ++i) points[i] = POINT{s[i].x, s[i].y};
        if (points.size() >= 2) Polyline(dc, points.data(), static_cast<int>(points.size()));
        MoveToEx(dc, points.back().x, points.back().y, nullptr);
    }
}

HPEN CreateCurvePen(float red, float green, float blue, float width, float type) {
    const PlotPen p = PlotPenOf(red, green, blue, width, type);
    const int style = p.style == 1 ? PS_DOT : p.style == 2 ? PS_DASH : PS_SOLID;
    return CreatePen(style, p.width, RGB(p.red, p.green, p.blue));
}
