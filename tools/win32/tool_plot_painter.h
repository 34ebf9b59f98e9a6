#pragma once
// GDI drawing shared by the data tools' "SPL / Phase vs. Frequency" plots: the frame with its dotted grid, the
// shading outside the plotted range, the title box and the axis labels, curves given as strokes, and pens made
// from a curve's own colour fields.
#include <windows.h>

#include <string>
#include <vector>

#include "tools/tool_plot.h"

struct ToolPlotFrameStyle {
    HPEN frame_pen;          // the box and the title box
    HPEN zero_pen;           // the 0-degree line
    const char* title;
    int title_x;             // from the middle of the plot: W / 2 + title_x
    int grid_row_end;        // the dotted rows run while x < W - grid_row_end
    int grid_column_end;     // the dotted columns run while y < H - grid_column_end
    std::vector<std::string> level_labels;  // rows 0..18 at x = 3
    std::vector<std::string> phase_labels;  // rows 0..18 at x = 30 (none when empty)
    const char* level_unit;  // at (3, H - 15)
};

// Draws the frame, grid, shading, zero line, title box and labels; restores every object it selected.
void DrawToolPlotFrame(HDC dc, const ToolPlot& p, const ToolPlotFrameStyle& style);

// Draws strokes (each begins with a move of the pen) with the pen selected in `dc`.
void DrawStrokes(HDC dc, const std::vector<std::vector<ToolPlotPoint>>& strokes);

// A pen from a curve's colour fields (line type 2 dotted, 3 dashed, else solid; width and colour truncated),
// created for one paint: the caller deletes it.
HPEN CreateCurvePen(float red, float green, float blue, float width, float type);

void PlotText(HDC dc, int x, int y, const std::string& text);

// Draws straight into a window through a device context of its own, when the window is open.
template <typename Paint>
void PaintOnWindow(HWND window, Paint paint) {
    if (!window) return;
    HDC dc = GetDC(window);
    paint(dc);
    ReleaseDC(window, dc);
}
