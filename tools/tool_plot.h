#pragma once
// What the data tools' "SPL / Phase vs. Frequency" plots share (the HBT editor's, the diffraction plot's and
// the impulse-response SPL view's): a fixed logarithmic frequency axis from 0.51 Hz at x = 60 to about
// 274.6 kHz at x = W - 20 whatever FrequencyAxisRange holds, its 52 grid lines and their labels, 18 rows of
// (H - 40) / 18 pixels, curves placed by their index on the 3100-point log grid, and a curve of many bins
// reduced to the polyline that covers the same pixels.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr double kToolAxisLowHz = 0.51;
inline constexpr double kToolAxisSpan = 538509.8039215687;  // highest / lowest frequency of the axis
inline constexpr int kToolPlotLogPoints = 3100;
inline constexpr int kToolPlotRows = 18;

// The client size and the row height (H - 40) / 18, as the painters compute it (in single precision).
struct ToolPlot {
    int w = 0, h = 0;
    float row = 0.0f;
};
ToolPlot MakeToolPlot(int w, int h);

// x of a frequency on the fixed axis (unrounded).
double ToolAxisX(const ToolPlot& p, double f);
// x of index j of the 3100-point log grid, truncated: 60 + j (W - 80) / 3100.
int LogIndexX(const ToolPlot& p, int j);
// A curve's y held inside the plot: 19 <= y <= H - 21 (NaN on the top edge), truncated toward zero.
int ClampToolPlotY(const ToolPlot& p, double y);

// The grid frequencies: from 0.5 in single-precision steps of 0.1 below 1, 1 below 10, ..., 100000 above,
// while below 274641: 52 lines.
const std::vector<float>& ToolAxisGridFrequencies();

struct ToolAxisLabel {
    float f;
    std::string text;
};
// The frequency labels along the grid: "%.1f" below 7 and at 8; "%.0f" for 10..40, 60, 80, 100..400, 600;
// "%.0fk" of f / 1000 for 1000..4000, 6000, 8000, 10000..50000, 60000, 80000, 100000, 200000.
const std::vector<ToolAxisLabel>& ToolAxisLabels();

// The log-grid indices the plots shade grey: 0, 4, .. below 699 and 2699, 2703, .. below 3100 (the parts of
// the grid outside the plotted range).
std::vector<int> ToolPlotShadedIndices();

// For each bin 0..count-1: the first index of the ascending 3100-point log table whose frequency lies
// strictly above the bin's, or -1. Both tables ascend, so one pointer walks forward through the log table.
void MapBinsToLogIndex(const float* bin_frequency, int count, const float* log_frequency, int32_t* index);

struct ToolPlotPoint {
    int x, y;
};
// The polyline of a curve whose point k lies at log index index[k] (skipped when negative) and at y(k)
// (already clamped): the pen moves to the first point and to every point of index 0, and draws through the
// others. Points that share an index are one vertical stroke, reduced to its first, lowest, highest and last
// y. Returns the strokes: each begins where the pen moves.
std::vector<std::vector<ToolPlotPoint>> BuildLogIndexPolyline(const ToolPlot& p, const int32_t* index, int count,
                                                              const std::function<int(int k)>& y);
