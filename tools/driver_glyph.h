#pragma once
// The driver glyph of the baffle canvas: a small shaded picture of a loudspeaker seen from the front, built
// as nine bands of 32 quadrilaterals between two circles of 32 points, rotated, projected in perspective
// around the driver's canvas point and filled band by band in a fixed back-to-front order.
#include <array>
#include <vector>

inline constexpr int kGlyphBands = 9;
inline constexpr int kGlyphSegments = 32;  // points per circle

// Band b: points 0..31 the front circle, 32..63 the back circle (point 32 + j belongs to point j). z grows
// away from the viewer.
struct GlyphBand {
    float x[2 * kGlyphSegments], y[2 * kGlyphSegments], z[2 * kGlyphSegments];
};
struct GlyphMesh {
    GlyphBand band[kGlyphBands];
    int segments = kGlyphSegments;
};

// Fills the mesh for the size R (GlyphScale). Circle point j lies at the angle j x 11.25 degrees (turned into
// radians with 3.1416), at (-r cos t, -r sin t, z).
void BuildDriverGlyph(float R, GlyphMesh* mesh);

// The brushes of the bands: light grey 164, dark grey 64, middle grey 128.
enum class GlyphBrush { kLight, kDark, kMiddle };

// One band as painted: its 32 quadrilaterals (front i, front i + 1, back i + 1, back i) in screen pixels.
struct GlyphQuad {
    int x[4], y[4];
};
struct GlyphPaintedBand {
    int band;
    GlyphBrush brush;
    std::array<GlyphQuad, kGlyphSegments> quads;
};

// The bands in painting order (2, 1, 3, 0, 4, 5, 6, 7, 8), each rotated by the angles a1..a3 (degrees),
// pushed back by D, held at depth 1 or more, and projected with focal factor 500 around (X, Y).
std::vector<GlyphPaintedBand> ProjectDriverGlyph(const GlyphMesh& mesh, float a1, float a2, float a3, int X, int Y,
                                                 int D);
