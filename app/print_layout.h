#pragma once
// Printing a window's image, apart from the printer: the print settings that last for the run, where the
// image goes on the page, which part of the bitmap a clipped stretch reads, the sizes of a packed DIB, the
// screen's colour count and the default-printer text.
#include <cstdint>
#include <string>

struct PrintSettingsRecord {
    uint32_t scale = 80;        // percent: 100, 30, 50 or 80
    uint32_t orientation = 0;   // 1 "Landscape", 0 "Portrait"
    char xOffset[11] = "200";   // device units, at most 6 characters entered
    char yOffset[11] = "200";
    char colourCount[11] = "65536";  // screen colours to capture, at most 9 characters entered
};
extern PrintSettingsRecord PrintSettings;

inline constexpr int kPrintOffsetChars = 6;
inline constexpr int kPrintColourCountChars = 9;
inline constexpr int kLandscapeShift = 100;  // landscape pages start 100 units further right

// The scale list's rows, in their order, and the percent of each.
inline constexpr int kPrintScaleRows = 4;
extern const char* const PrintScaleNames[kPrintScaleRows];  // "100 %", "30 %", "50 %", "80 %"
extern const uint32_t PrintScalePercents[kPrintScaleRows];
int PrintScaleRow(uint32_t percent);  // -1 for a scale not in the list

struct PageRect {
    int left, top, right, bottom;
};
// The destination of the image on a page of horzres x vertres device units.
PageRect PrintDestinationRect(const PrintSettingsRecord& settings, int horzres, int vertres);

// The part `drawn` of `dest` inside `clip` and the bitmap rectangle it shows (top counted from the top of
// the bitmap). False when nothing of `dest` lies inside `clip` or the bitmap is empty.
bool StretchSourceRect(const PageRect& dest, const PageRect& clip, int dibWidth, int dibHeight, PageRect* drawn,
                       PageRect* source);

// 2 to the power (bits per pixel x planes), the exponent taken modulo 32: 32 bits give 1.
int64_t ScreenColourCount(int bitsPerPixel, int planes);

// How many palette entries to copy for a colour-count text: its integer value, held to 0 .. paletteSize
// (the display's system palette) and to what a palette's 16-bit count can hold.
int PaletteEntriesToCopy(const char* colourCountText, int paletteSize);

// Packed DIBs: bits per pixel for a bitmap of planes x bits, colour-table entries, row bytes, image bytes.
int DibBitsPerPixel(int planesTimesBits);
int DibColourEntries(int bitCount, uint32_t coloursUsed);
int64_t DibRowBytes(int bitCount, int width);
int64_t DibImageBytes(int bitCount, int width, int height);

// The "device" entry of the "windows" section: "name,driver,port", blanks after each comma skipped.
struct DefaultPrinterText {
    std::string name, driver, port;
};
DefaultPrinterText SplitDefaultPrinter(const char* text);
