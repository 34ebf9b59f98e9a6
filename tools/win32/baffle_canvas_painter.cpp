// The calculator's two pictures: the baffle canvas (dotted grid, outline, nodes, driver glyphs with their
// piston points, the microphone and, after a preparation, the edge elements) and the sketch of the edge profile.
// The canvas is drawn into a bitmap first and then shown whole, so a drag does not flicker.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "app/global_records.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "tools/baffle_canvas.h"
#include "tools/diffraction_calculator.h"
#include "tools/driver_glyph.h"
#include "tools/win32/tool_plot_painter.h"
#include "tools/win32/tool_windows.h"

namespace {

constexpr int kGridRight = 408, kGridBottom = 468;
constexpr COLORREF kGridDot = RGB(0, 0, 0);

float GlyphScale = 0.0f;
GlyphMesh g_mesh;

void Box(HDC dc, const CanvasRect& r) { Rectangle(dc, r.left, r.top, r.right, r.bottom); }

void FillCanvas(HDC dc, const RECT& client) {
    const ColourEntry& c = ColourScheme[0];
    HBRUSH background = CreateSolidBrush(RGB(c.red & 255, c.green & 255, c.blue & 255));
    HGDIOBJ pen = SelectObject(dc, Gdi.BlackPen1);
    HGDIOBJ brush = SelectObject(dc, background);
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    DeleteObject(background);
    for (int x = 4; x <= kGridRight; x += 4)
        for (int y = 4; y <= kGridBottom; y += 4) SetPixelV(dc, x, y, kGridDot);
}

void PaintBaffle(HDC dc) {
    const BaffleRecord& b = *Baffle;
    HGDIOBJ pen = SelectObject(dc, Gdi.BlackPen1);
    for (const CanvasLine& l : CanvasOutline(b)) {
        MoveToEx(dc, l.x0, l.y0, nullptr);
        LineTo(dc, l.x1, l.y1);
    }
    HGDIOBJ brush = SelectObject(dc, Gdi.YellowBrush);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ font = SelectObject(dc, Gdi.SmallFont);
    const int n = b.NodeCount < 0 ? 0 : b.NodeCount > 64 ? 64 : b.NodeCount;
    for (int i = 0; i < n; ++i) {
        const BaffleNode& node = b.Nodes[i];
        Box(dc, CanvasBoxAt(node.x, node.y));
        char text[16];
        std::snprintf(text, sizeof text, "%d", i);
        PlotText(dc, CanvasPixel(4.0 * node.x + 7.0), CanvasPixel(460.0 - 4.0 * node.y), text);
    }
    for (int entry = 0; entry < 2; ++entry) {
        if (b.Positions[entry].Enabled != 1) continue;
        const CanvasDriver d = CanvasDriverOf(b, *CurrentDriver, entry, DiffractionCalculatorSettings.PistonPoints);
        if (d.glyph) {
            GlyphScale = d.glyph_scale;
            BuildDriverGlyph(GlyphScale, &g_mesh);
            PaintDriverGlyph(dc, 0.0f, 0.0f, 0.0f, d.cx, d.cy, 620);
        }
        PlotText(dc, d.cx + 4, d.cy, entry == 0 ? "1" : "2");
        SelectObject(dc, Gdi.BlueBrush);
        for (const CanvasRect& r : d.piston) Box(dc, r);
    }
    SelectObject(dc, Gdi.StockSystemFont);
    SelectObject(dc, Gdi.DarkRedPen1);
    const CanvasMicrophone m = CanvasMicrophoneOf(b);
    Ellipse(dc, m.ellipse.left, m.ellipse.top, m.ellipse.right, m.ellipse.bottom);
    MoveToEx(dc, m.line_x, m.line_top, nullptr);
    LineTo(dc, m.line_x, m.line_bottom);
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, font);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
}

void PaintElements(HDC dc) {
    const int count = BaffleEdgePoints->ElementCount < 0                        ? 0
                      : BaffleEdgePoints->ElementCount > kBaffleEdgeCapacity ? kBaffleEdgeCapacity
                                                                             : BaffleEdgePoints->ElementCount;
    const BaffleEdgeElement* e = BaffleEdgeElementList.Elements;
    HGDIOBJ pen = SelectObject(dc, Gdi.BluePen2);
    for (int i = 0; i < count; ++i) {
        MoveToEx(dc, CanvasPixel(4.0 * e[i].a.x + 4.0), CanvasPixel(468.0 - 4.0 * e[i].a.y), nullptr);
        LineTo(dc, CanvasPixel(4.0 * e[i].b.x + 4.0), CanvasPixel(468.0 - 4.0 * e[i].b.y));
    }
    HGDIOBJ brush = SelectObject(dc, Gdi.YellowBrush);
    for (int i = 0; i < count; ++i) Box(dc, CanvasBoxAt(e[i].a.x, e[i].a.y));
    SelectObject(dc, Gdi.MeterBrushes[17]);  // green (0, 228, 0)
    for (int i = 0; i < count; ++i) Box(dc, CanvasBoxAt(e[i].mid_x, e[i].mid_y));
    SelectObject(dc, brush);
    SelectObject(dc, pen);
}

void PaintProfile(HDC dc, const RECT& client) {
    RECT r = client;
    r.top += 1;
    FillRect(dc, &r, Gdi.YellowBrush);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ font = SelectObject(dc, Gdi.SmallFont);
    PlotText(dc, 40, 2, "Baffle Edge");
    HGDIOBJ pen = SelectObject(dc, Gdi.BluePen2);
    const EdgeProfileSketch s = EdgeProfileSketchOf(DiffractionCalculatorSettings.BaffleEdgeType);
    for (const auto& path : s.lines) {
        if (path.empty()) continue;
        MoveToEx(dc, path[0].x0, path[0].y0, nullptr);
        for (const CanvasLine& l : path) LineTo(dc, l.x1, l.y1);
    }
    if (s.arc) Arc(dc, 40, 30, 100, 90, 100, 60, 70, 30);
    for (const ProfileLabel& l : s.labels) PlotText(dc, l.x, l.y, l.text);
    SelectObject(dc, pen);
    SelectObject(dc, font);
    SetBkMode(dc, OPAQUE);
}

// Draws `paint` into a bitmap of the window's client size, then onto the window.
template <typename Paint>
void PaintBuffered(HWND window, HDC target, Paint paint) {
    RECT client;
    GetClientRect(window, &client);
    HDC mem = CreateCompatibleDC(target);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = client.right;
    bi.bmiHeader.biHeight = -client.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(target, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        DeleteDC(mem);
        paint(target, client);
        return;
    }
    HGDIOBJ old = SelectObject(mem, bitmap);
    paint(mem, client);
    BitBlt(target, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
}

}  // namespace

void PaintDriverGlyph(HDC dc, float a1, float a2, float a3, int X, int Y, int D) {
    HGDIOBJ previous = GetCurrentObject(dc, OBJ_BRUSH);
    for (const GlyphPaintedBand& band : ProjectDriverGlyph(g_mesh, a1, a2, a3, X, Y, D)) {
        SelectObject(dc, band.brush == GlyphBrush::kDark     ? Gdi.GreyBrush64
                         : band.brush == GlyphBrush::kMiddle ? Gdi.GreyBrush128
                                                             : Gdi.GreyBrush164);
        for (const GlyphQuad& q : band.quads) {
            const POINT corners[4] = {{q.x[0], q.y[0]}, {q.x[1], q.y[1]}, {q.x[2], q.y[2]}, {q.x[3], q.y[3]}};
            Polygon(dc, corners, 4);
        }
    }
    SelectObject(dc, previous);
}

int DrawCanvasGrid(HWND canvas) {
    PaintOnWindow(canvas, [&](HDC dc) {
        RECT client;
        GetClientRect(canvas, &client);
        FillCanvas(dc, client);
    });
    return 0;
}

int DrawBaffle(HWND canvas) {
    PaintOnWindow(canvas, [](HDC dc) { PaintBaffle(dc); });
    return 0;
}

int DrawEdgeElements(HWND canvas) {
    PaintOnWindow(canvas, [](HDC dc) { PaintElements(dc); });
    return 0;
}

int DrawEdgeProfile(HWND sketch) {
    PaintOnWindow(sketch, [&](HDC dc) { PaintBuffered(sketch, dc, PaintProfile); });
    return 0;
}

// The canvas with its grid and the baffle in one picture (every paint of the canvas and every change).
void PaintCanvasWhole(HWND canvas, HDC dc) {
    PaintBuffered(canvas, dc, [](HDC mem, const RECT& client) {
        FillCanvas(mem, client);
        PaintBaffle(mem);
    });
}

void PaintProfileWhole(HWND sketch, HDC dc) { PaintBuffered(sketch, dc, PaintProfile); }

void RedrawCanvas(HWND canvas) {
    PaintOnWindow(canvas, [&](HDC dc) { PaintCanvasWhole(canvas, dc); });
}
