#pragma once
// Geometry of the room equalizer's three plots (impulse, SPL and phase, excess group delay): where the grid,
// the labels and every curve point fall, in pixels of the plot's own area. The painters only draw what these
// give. Sizes are fixed: every plot is 800 pixels wide, the impulse and delay plots 200 high, the SPL plot 360.
// The data region runs from x = 60 to W - 20 and y = 20 to H - 20 in 18 rows; curve points are held within
// y = 19 .. H - 21. The frequency axis is the system plot's, laid out 2.4 times wider so that only its low end
// (10 Hz to about 280 Hz) shows.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "design/system_plot.h"

inline constexpr int kRoomEqPlotWidth = 800;
inline constexpr int kRoomEqImpulsePlotHeight = 200;
inline constexpr int kRoomEqSplPlotHeight = 360;
inline constexpr int kRoomEqDelayPlotHeight = 200;
inline constexpr int kRoomEqPlotLeft = 60;
inline constexpr int kRoomEqLastDrawnColumn = 781;  // about 279 Hz at 10 Hz .. 50 kHz

struct RoomEqPlotPoint {
    int x = 0, y = 0;
    bool move = false;  // move the pen here rather than draw to it
};

struct RoomEqPlotLabel {
    int x = 0, y = 0;
    std::string text;
};

// One row of the plot: (H - 40) / 18 pixels.
double RoomEqRowHeight(int H);

// y = base - scale x value, for each kind of curve.
struct RoomEqYMap {
    double base = 0.0;
    double scale = 0.0;
};
RoomEqYMap RoomEqLevelMap(int H);                     // dB re 90 dB: 0 on the 90 dB line, 5 dB a row
RoomEqYMap RoomEqPhaseMap(int H);                     // degrees: 0 on the middle line, 20 degrees a row
RoomEqYMap RoomEqDelayMap(int H);                     // ms: 0 on the 17th row line, 20 ms a row
RoomEqYMap RoomEqReferenceImpulseMap(int H);          // 0 on the row labelled 100
RoomEqYMap RoomEqMeasuredImpulseMap(int H, uint32_t zoom_index);  // 0 on the middle line, gain 2^zoom
RoomEqYMap RoomEqWindowMap(int H);

// y of a value, truncated to a pixel and held within 19 .. H - 21 as the system plot holds its curves.
int RoomEqPlotY(const RoomEqYMap& map, double value, int H);

// The frequency axis of the SPL and delay plots between fmin and fmax: the x of each dotted grid line (the
// system plot's grid frequencies, up to before 280 Hz) and the labels below them.
struct RoomEqFrequencyAxis {
    std::vector<int> grid_x;
    std::vector<RoomEqPlotLabel> labels;
};
RoomEqFrequencyAxis RoomEqFrequencyAxisOf(double fmin, double fmax, int W, int H);

// A curve on the frequency axis: bins 0..4N of the bin grid, each on the first column whose frequency lies
// above the bin's; bins beyond column 781 are not drawn.
std::vector<RoomEqPlotPoint> RoomEqFrequencyCurve(const std::function<double(int)>& value, const RoomEqYMap& map,
                                                  int W, int H, int block_frames, const float* bin_frequency,
                                                  const float* column_frequency);

// A curve on the impulse plot's time axis: display samples 0..1999 at 0.36 pixels each.
std::vector<RoomEqPlotPoint> RoomEqImpulseCurve(const float* values, const RoomEqYMap& map, int W, int H);

// The left-hand labels of each plot ("%.0f", at most 4 characters) with their unit texts, and the impulse
// plot's time labels (ms at the rate of `sample_rate`) with "ms".
std::vector<RoomEqPlotLabel> RoomEqImpulseLabels(int W, int H, double sample_rate);
std::vector<RoomEqPlotLabel> RoomEqSplLabels(int H);
std::vector<RoomEqPlotLabel> RoomEqDelayLabels(int H);

// A curve's header words in their order (visible, red, green, blue, width, style): drawn only when the visible
// flag is exactly 1.0, with the system plot's pen of the rest.
bool RoomEqCurveShown(const float header[6]);
PlotPen RoomEqPenOf(const float header[6]);
