#include "app/print_layout.h"

#include <algorithm>
#include <cstdlib>

PrintSettingsRecord PrintSettings;

const char* const PrintScaleNames[kPrintScaleRows] = {"100 %", "30 %", "50 %", "80 %"};
const uint32_t PrintScalePercents[kPrintScaleRows] = {100, 30, 50, 80};

namespace {
constexpr int kMaxPaletteEntries = 65535;  // palNumEntries is a 16-bit count

int RoundHalfUp(double v) { return static_cast<int>(v + 0.5); }
}  // namespace

int PrintScaleRow(uint32_t percent) {
    for (int i = 0; i < kPrintScaleRows; ++i)
        if (PrintScalePercents[i] == percent) return i;
    return -1;
}

PageRect PrintDestinationRect(const PrintSettingsRecord& settings, int horzres, int vertres) {
    const int s = static_cast<int>(settings.scale) * 10 / 100;
    int x = std::atoi(settings.xOffset);
    const int y = std::atoi(settings.yOffset);
    const bool landscape = settings.orientation == 1;
    if (landscape) x += kLandscapeShift;
    PageRect r;
    r.left = x;
    r.top = y;
    r.right = x + horzres * s / 10;
    r.bottom = landscape ? y + vertres * s / 10 : y + vertres * s / 20;
    return r;
}

bool StretchSourceRect(const PageRect& dest, const PageRect& clip, int dibWidth, int dibHeight, PageRect* drawn,
                       PageRect* source) {
    if (dibWidth <= 0 || dibHeight <= 0 || dest.right <= dest.left || dest.bottom <= dest.top) return false;
    PageRect r{std::max(dest.left, clip.left), std::max(dest.top, clip.top), std::min(dest.right, clip.right),
               std::min(dest.bottom, clip.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) return false;
    const double xScale = static_cast<double>(dest.right - dest.left) / dibWidth;
    const double yScale = static_cast<double>(dest.bottom - dest.top) / dibHeight;
    PageRect s;
    s.left = RoundHalfUp((r.left - dest.left) / xScale);
    s.top = RoundHalfUp((r.top - dest.top) / yScale);
    s.right = RoundHalfUp(s.left + (r.right - r.left) / xScale);
    s.bottom = RoundHalfUp(s.top + (r.bottom - r.top) / yScale);
    *drawn = r;
    *source = s;
    return true;
}

int64_t ScreenColourCount(int bitsPerPixel, int planes) {
    const int exponent = ((bitsPerPixel * planes) % 32 + 32) % 32;
    return int64_t{1} << exponent;
}

int PaletteEntriesToCopy(const char* colourCountText, int paletteSize) {
    const long n = colourCountText ? std::strtol(colourCountText, nullptr, 10) : 0;
    long limit = paletteSize < kMaxPaletteEntries ? paletteSize : kMaxPaletteEntries;
    if (limit < 0) limit = 0;
    if (n < 0) return 0;
    return static_cast<int>(n < limit ? n : limit);
}

int DibBitsPerPixel(int planesTimesBits) {
    if (planesTimesBits <= 1) return 1;
    if (planesTimesBits <= 4) return 4;
    if (planesTimesBits <= 8) return 8;
    return 24;
}

int DibColourEntries(int bitCount, uint32_t coloursUsed) {
    if (coloursUsed != 0) return static_cast<int>(coloursUsed);
    switch (bitCount) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

int64_t DibRowBytes(int bitCount, int width) { return (static_cast<int64_t>(bitCount) * width + 31) / 32 * 4; }

int64_t DibImageBytes(int bitCount, int width, int height) { return DibRowBytes(bitCount, width) * height; }

DefaultPrinterText SplitDefaultPrinter(const char* text) {
    DefaultPrinterText out;
    std::string* fields[3] = {&out.name, &out.driver, &out.port};
    int field = 0;
    bool skipping = false;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == ',' && field < 2) {
            ++field;
            skipping = true;
            continue;
        }
        if (skipping && *p == ' ') continue;
        skipping = false;
        fields[field]->push_back(*p);
    }
    return out;
}
