#include "tools/driver_glyph.h"

#include <cmath>

namespace {

constexpr float kDegreesPerSegment = 11.25f;
constexpr float kPiOfTheCircle = 3.1416f;  // the circle's angles use this value of pi
constexpr double kPi = 3.14159265358979323846;
constexpr float kFocal = 500.0f;

// A circle of radius r at depth z into points offset..offset + 31 of a band.
void Circle(GlyphBand* b, int offset, float r, float z) {
    for (int j = 0; j < kGlyphSegments; ++j) {
        const float t = (static_cast<float>(j) * kDegreesPerSegment) * kPiOfTheCircle / 180.0f;
        b->x[offset + j] = -r * std::cos(t);
        b->y[offset + j] = -r * std::sin(t);
        b->z[offset + j] = z;
    }
}

// The back circle as the front circle with x and y scaled by f, at depth z.
void ScaledBack(GlyphBand* b, float f, float z) {
    for (int j = 0; j < kGlyphSegments; ++j) {
        b->x[kGlyphSegments + j] = b->x[j] * f;
        b->y[kGlyphSegments + j] = b->y[j] * f;
        b->z[kGlyphSegments + j] = z;
    }
}

struct BandPaint {
    int band;
    GlyphBrush brush;
};
constexpr BandPaint kOrder[kGlyphBands] = {
    {2, GlyphBrush::kLight}, {1, GlyphBrush::kDark},  {3, GlyphBrush::kDark},
    {0, GlyphBrush::kLight}, {4, GlyphBrush::kMiddle}, {5, GlyphBrush::kLight},
    {6, GlyphBrush::kLight}, {7, GlyphBrush::kLight}, {8, GlyphBrush::kLight},
};

// Pixels as GDI takes them: truncated toward zero, held well inside the integer range.
int Pixel(float v) {
    if (!(v > -1.0e6f)) return -1000000;
    if (v > 1.0e6f) return 1000000;
    return static_cast<int>(v);
}

}  // namespace

void BuildDriverGlyph(float R, GlyphMesh* mesh) {
    const float third = R / 3.0f;
    const float r2 = 0.2f * R, r1 = 0.1f * R, r05 = 0.05f * R;
    const float z04 = r2 + r2;             // 0.4 R
    const float z05 = r1 + z04;            // 0.5 R
    const float z07 = r1 + r2 + z04;       // 0.7 R
    const float wide = 1.2f * R;
    GlyphBand* b = mesh->band;
    Circle(&b[0], 0, third, z04);
    ScaledBack(&b[0], 1.0f, z04 + r1);
    Circle(&b[1], 0, 0.5f * R, z05);
    ScaledBack(&b[1], 1.0f, z05 + r2);
    Circle(&b[2], 0, third, z07);
    ScaledBack(&b[2], 1.0f, z07 + r1);
    Circle(&b[3], 0, 0.5f * R, z05);
    ScaledBack(&b[3], 0.533f, z05);
    Circle(&b[4], 0, R, 0.0f);
    ScaledBack(&b[4], 1.0f / 3.0f, z04);
    Circle(&b[5], 0, R * 1.2f / 3.0f, third);
    ScaledBack(&b[5], 0.05f, third - r05);
    Circle(&b[6], 0, wide, 0.0f);
    ScaledBack(&b[6], 0.833f, 0.0f);
    Circle(&b[7], 0, wide, 0.0f);
    ScaledBack(&b[7], 1.0f, -r05);
    Circle(&b[8], 0, wide, -r05);
    ScaledBack(&b[8], 0.833f, -r05);
    mesh->segments = kGlyphSegments;
}

std::vector<GlyphPaintedBand> ProjectDriverGlyph(const GlyphMesh& mesh, float a1, float a2, float a3, int X, int Y,
                                                 int D) {
    const double k = kPi / 180.0;
    const double s1 = std::sin(a1 * k), c1 = std::cos(a1 * k);
    const double s2 = std::sin(a2 * k), c2 = std::cos(a2 * k);
    const double s3 = std::sin(a3 * k), c3 = std::cos(a3 * k);
    const float m[3][3] = {
        {static_cast<float>(s1 * s2 * s3 + c1 * c3), static_cast<float>(c3 * s1 * s2 - c1 * s3), static_cast<float>(c2 * s1)},
        {static_cast<float>(c2 * s3), static_cast<float>(c2 * c3), static_cast<float>(-s2)},
        {static_cast<float>(c1 * s2 * s3 - c3 * s1), static_cast<float>(c1 * c3 * s2 + s1 * s3), static_cast<float>(c1 * c2)},
    };
    std::vector<GlyphPaintedBand> out;
    out.reserve(kGlyphBands);
    for (const BandPaint& paint : kOrder) {
        const GlyphBand& b = mesh.band[paint.band];
        float sx[2 * kGlyphSegments], sy[2 * kGlyphSegments];
        for (int i = 0; i < 2 * kGlyphSegments; ++i) {
            const float x = m[0][0] * b.x[i] + m[0][1] * b.y[i] + m[0][2] * b.z[i];
            const float y = m[1][0] * b.x[i] + m[1][1] * b.y[i] + m[1][2] * b.z[i];
            float depth = m[2][0] * b.x[i] + m[2][1] * b.y[i] + m[2][2] * b.z[i] + static_cast<float>(D);
            if (!(depth >= 1.0f)) depth = 1.0f;
            sx[i] = static_cast<float>(X) + kFocal * x / depth;
            sy[i] = static_cast<float>(Y) + kFocal * y / depth;
        }
        GlyphPaintedBand painted;
        painted.band = paint.band;
        painted.brush = paint.brush;
        for (int i = 0; i < kGlyphSegments; ++i) {
            const int next = (i + 1) % kGlyphSegments;
            const int corner[4] = {i, next, kGlyphSegments + next, kGlyphSegments + i};
            for (int c = 0; c < 4; ++c) {
                painted.quads[i].x[c] = Pixel(sx[corner[c]]);
                painted.quads[i].y[c] = Pixel(sy[corner[c]]);
            }
        }
        out.push_back(painted);
    }
    return out;
}
