#pragma once
// The "MLS Impulse Response" window as data: the three display traces it shows (2000 samples from the scroll
// position of both responses, and the window shape placed at the cursor), their polylines, the labels of its
// frame, and the LED columns of the page's input level meter.
#include <cstdint>
#include <string>
#include <vector>

struct PlotCurve;

inline constexpr int kImpulseTraceRefSlot = 20;
inline constexpr int kImpulseTraceInSlot = 21;
inline constexpr int kImpulseWindowSlot = 22;
inline constexpr int kImpulsePoints = 2000;
inline constexpr int kImpulseShownFlag = 2000;       // value index of a trace's shown flag
inline constexpr int kImpulseWindowShownFlag = 2002; // value index of the window overlay's flag
inline constexpr float kImpulseWindowScale = 145.0f;
inline constexpr const char* kImpulseWindowHeading = "Impulse Response vs. Time";

// Refills the three traces from the scroll position (the flags and pens after value 1999 stay): the responses
// times 0.01, and 145 x the window shape from cursor - scroll (less the width for a two-sided type) on.
// `window_shape` holds `window_entries` floats; later indexes count as 0.
void RefreshImpulseTraces(PlotCurve* mls_curves, const float* ref, const float* in, int32_t scroll, int32_t cursor,
                          uint32_t window_type, const char* width_text, const float* window_shape, int window_entries);

struct ImpulseGeometry {
    int width = 0, height = 0;
    double RowHeight() const { return (height - 40) / 18.0; }
    double SampleX(int i) const { return 60 + i * (width - 80) / 2000.0; }
};

enum class ImpulseTrace { kRef, kIn, kWindow };
struct ImpulsePoint {
    int x, y;
    bool draw;  // the window overlay draws a point only while its flag is 1.0
};
// The polyline of a trace (the first point a move, then lines to every point), y held within 19..H - 21.
std::vector<ImpulsePoint> ImpulseTracePolyline(ImpulseTrace trace, const PlotCurve& slot, const ImpulseGeometry& g,
                                               uint32_t zoom_index);
// The cursor's x when it lies in view (scroll .. scroll + 2000), else -1.
int ImpulseCursorX(int32_t cursor, int32_t scroll, const ImpulseGeometry& g);

// The level labels (180 .. -180) and the time labels with their x ("%.1f" ms for t = -50, 0, ..., 1950).
std::vector<std::string> ImpulseLevelLabels();
struct ImpulseTimeLabel {
    int x;
    std::string text;
};
std::vector<ImpulseTimeLabel> ImpulseTimeLabels(int32_t scroll, double fs, const ImpulseGeometry& g);

// The input level meter: LED k of a column lights when the level is at least 2k (none for a level below 0 or
// not a number). Returns the number of lit LEDs of a column, 0..18.
inline constexpr int kMeterLeds = 18;
int LitMeterLeds(float level);
