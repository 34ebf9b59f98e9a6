#include "tools/baffle_canvas.h"

#include <cmath>

#include "tools/diffraction_run.h"
#include "tools/driver_fields.h"

namespace {
constexpr double kPistonPixelsPerUnit = 3.8;  // the piston points are drawn a little tighter than the grid
}  // namespace

int CanvasPixel(double v) {
    if (v != v) return 0;
    if (v > 1.0e6) return 1000000;
    if (v < -1.0e6) return -1000000;
    return static_cast<int>(v);
}

CanvasRect CanvasBoxAt(double x, double y) {
    return CanvasRect{CanvasPixel(4.0 * x + 2.0), CanvasPixel(466.0 - 4.0 * y), CanvasPixel(4.0 * x + 7.0),
                      CanvasPixel(471.0 - 4.0 * y)};
}

CanvasDriver CanvasDriverOf(const BaffleRecord& baffle, const HV_Driver_Data& driver, int entry, uint32_t piston_points) {
    CanvasDriver d;
    const BafflePosition& p = baffle.Positions[entry];
    d.cx = CanvasPixel(4.0 * p.x + 4.0);
    d.cy = CanvasPixel(468.0 - 4.0 * p.y);
    const double diameter = FieldNumber(driver.params[kDiameterField]);
    const double s = BaffleRaster(baffle);
    if (!(s > 0.0) || !std::isfinite(diameter)) return d;
    const double scale = 1.2 * diameter / (0.5 * s);
    d.glyph = FitsFloat(scale);
    d.glyph_scale = d.glyph ? static_cast<float>(scale) : 0.0f;
    for (const PistonOffset& o : PistonGrid(0.5 * diameter, piston_points)) {
        const int cx = d.cx + CanvasPixel(kPistonPixelsPerUnit * o.u / s);
        const int cy = d.cy - CanvasPixel(kPistonPixelsPerUnit * o.v / s);
        d.piston.push_back(CanvasRect{cx - 2, cy - 2, cx + 3, cy + 3});
    }
    return d;
}

CanvasMicrophone CanvasMicrophoneOf(const BaffleRecord& baffle) {
    const double mx = baffle.Positions[4].x, my = baffle.Positions[4].y;
    CanvasMicrophone m;
    m.ellipse = CanvasRect{CanvasPixel(4.0 * mx - 4.0), CanvasPixel(461.0 - 4.0 * my), CanvasPixel(4.0 * mx + 12.0),
                           CanvasPixel(477.0 - 4.0 * my)};
    m.line_x = CanvasPixel(4.0 * mx + 11.0);
    m.line_top = m.ellipse.top;
    m.line_bottom = m.ellipse.bottom;
    return m;
}

std::vector<CanvasLine> CanvasOutline(const BaffleRecord& baffle) {
    std::vector<CanvasLine> lines;
    const int n = baffle.NodeCount < 0 ? 0 : baffle.NodeCount > 64 ? 64 : baffle.NodeCount;
    auto at = [&](int i, int j) {
        const BaffleNode& a = baffle.Nodes[i];
        const BaffleNode& b = baffle.Nodes[j];
        return CanvasLine{CanvasPixel(4.0 * a.x + 4.0), CanvasPixel(468.0 - 4.0 * a.y), CanvasPixel(4.0 * b.x + 4.0),
                          CanvasPixel(468.0 - 4.0 * b.y)};
    };
    for (int i = 0; i + 1 < n; ++i) lines.push_back(at(i, i + 1));
    const uint32_t state = baffle.OutlineState;
    if (n > 0 && (state == 2 || state == 3 || state == 4)) lines.push_back(at(n - 1, 0));
    return lines;
}

EdgeProfileSketch EdgeProfileSketchOf(uint32_t edge_type) {
    EdgeProfileSketch s;
    switch (edge_type) {
        case 0: s.lines = {{{40, 30, 100, 30}, {100, 30, 100, 80}}}; break;
        case 1:
            s.lines = {{{40, 30, 70, 30}, {70, 30, 100, 60}, {100, 60, 100, 80}},
                       {{74, 30, 98, 30}},
                       {{100, 33, 100, 57}}};
            s.labels = {{"b", 85, 17}, {"a", 103, 38}};
            break;
        case 2:
            s.lines = {{{40, 30, 70, 30}}, {{100, 60, 100, 80}}, {{73, 55, 90, 40}}};
            s.labels = {{"r", 85, 45}};
            s.arc = true;
            break;
        default: break;
    }
    return s;
}
