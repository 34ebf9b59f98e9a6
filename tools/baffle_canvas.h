#pragma once
// What the calculator's canvas and edge-profile sketch draw, as positions: the node boxes and labels, each
// enabled driver's glyph and piston points, the microphone, the edge elements, and the sketch of the chosen
// edge profile. Grid point (x, y) lies at canvas pixel (4x + 4, 468 - 4y).
#include <cstdint>
#include <vector>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "tools/baffle_geometry.h"

struct CanvasRect {
    int left, top, right, bottom;
};

// A pixel as GDI takes it: truncated toward zero, held inside +-1e6 (NaN at 0).
int CanvasPixel(double v);

// The box of grid point (x, y): (4x + 2, 466 - 4y) to (4x + 7, 471 - 4y).
CanvasRect CanvasBoxAt(double x, double y);

// A driver as drawn: its canvas centre, its glyph size and its piston points.
struct CanvasDriver {
    int cx = 0, cy = 0;
    bool glyph = false;      // false when the raster is not a positive number (the glyph has no size then)
    float glyph_scale = 0;   // GlyphScale: 1.2 D / (0.5 s), 2.4 times the diameter in grid units
    std::vector<CanvasRect> piston;  // 5 x 5 pixel boxes, 3.8 pixels per grid unit
};
// Driver entry 0 or 1 of the record (the caller draws it only when its enabled word is 1).
CanvasDriver CanvasDriverOf(const BaffleRecord& baffle, const HV_Driver_Data& driver, int entry, uint32_t piston_points);

// The microphone: the ellipse (4mx - 4, 461 - 4my) to (4mx + 12, 477 - 4my) and a vertical line at 4mx + 11.
struct CanvasMicrophone {
    CanvasRect ellipse;
    int line_x, line_top, line_bottom;
};
CanvasMicrophone CanvasMicrophoneOf(const BaffleRecord& baffle);

// The outline's lines: node i to i + 1, and the last back to node 0 when the outline is closed (state 2, 3
// or 4).
struct CanvasLine {
    int x0, y0, x1, y1;
};
std::vector<CanvasLine> CanvasOutline(const BaffleRecord& baffle);

// The sketch of an edge profile (0 Square, 1 Bevel, 2 Round): polylines, label texts with their places, and
// for Round the arc of the ellipse in (40, 30)-(100, 90) from (100, 60) to (70, 30).
struct ProfileLabel {
    const char* text;
    int x, y;
};
struct EdgeProfileSketch {
    std::vector<std::vector<CanvasLine>> lines;
    std::vector<ProfileLabel> labels;
    bool arc = false;
};
EdgeProfileSketch EdgeProfileSketchOf(uint32_t edge_type);
