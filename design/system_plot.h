#pragma once
// Geometry of the system plot (SPL and phase against a logarithmic frequency axis): axis positions, grid and
// label sets, the legends of the curve slots, the titles, and the polyline of one curve. The Win32 painter
// draws what these give.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kPlotColumnCount = 2000;
inline constexpr int kPlotCurveSlotCount = 170;

struct PlotGeometry {
    int w = 0, h = 0;        // client size
    double fmin = 20, fmax = 20000;
    double s = 5;            // dB per grid row
    float r = 0;             // row step (h - 40) / 18
};
PlotGeometry MakePlotGeometry(int w, int h, double fmin, double fmax, int dbStep);

// x of a frequency; x of plot column j; y of a dB and of a phase value (unclamped, as floats).
double PlotXOfFrequency(const PlotGeometry& g, double f);
double PlotColumnX(const PlotGeometry& g, int j);
double PlotDbY(const PlotGeometry& g, double v);
double PlotPhaseY(const PlotGeometry& g, double p);
// A curve point's y held inside the plot: 19 <= y <= h - 21.
int ClampPlotY(const PlotGeometry& g, double y);

// The vertical grid frequencies: fmin, stepping 1 / 10 / 100 / 1000 / 10000 by decade, while f < fmax + 1.
std::vector<double> PlotGridFrequencies(double fmin, double fmax);

struct PlotLabel {
    std::string text;
    double f;  // the frequency it stands at (frequency labels only)
};
// The frequency labels, fmin up to (not including) fmax: "20", "30", ... "1k" ...
std::vector<PlotLabel> PlotFrequencyLabels(double fmin, double fmax);
// Row i's scale texts: (4 - i) * s and 180 - 20 i, "%.0f" cut to four characters.
std::string PlotDbLabel(int row, double s);
std::string PlotPhaseLabel(int row);

// "Halvane Equalizer Frequency Domain" with the output mode, and the channel name by ActivePane.
std::string PlotWindowTitle(uint32_t outputMode);
const char* PlotChannelName(int activePane);

// The slots the plot draws, in drawing order.
const std::vector<int>& PlotSlotOrder();
bool PlotSlotDrawn(int slot);
bool PlotSlotIsPhase(int slot);

struct PlotLegend {
    std::string text;
    int textX, textY;
    int lineX0, lineX1, lineY;
};
PlotLegend PlotSlotLegend(int slot, int w);

// The pen of a curve from its record: style 0 solid, 1 dotted, 2 dashed (line types 0/1, 2, 3; anything else
// solid), width truncated, colour channels truncated and taken modulo 256.
struct PlotPen {
    int style;  // 0 solid, 1 dot, 2 dash
    int width;
    int red, green, blue;
};
PlotPen PlotPenOf(float red, float green, float blue, float width, float lineType);

// For every bin 0..bins-1: the first plot column whose frequency lies strictly above the bin's, or -1.
// Computed once per paint; a binary search per bin over the ascending column table.
void MapBinsToColumns(const float* binFrequency, int bins, const float* plotFrequency, int32_t* column);
// The same by a linear search per bin: the reference.
void MapBinsToColumnsLiteral(const float* binFrequency, int bins, const float* plotFrequency, int32_t* column);

struct PlotPoint {
    int x, y;
};
// The polyline of one curve: the pen moves to the first point, then draws through the others. Every bin
// with a column is a point at that column's x; bins of column 0 only move the pen. Consecutive bins in one
// column draw a vertical stroke, so each such run is reduced to its first, lowest, highest and last point,
// which covers the same pixels.
void BuildCurvePolyline(const PlotGeometry& g, const float* values, const int32_t* column, int bins, bool phase,
                        std::vector<PlotPoint>* points);
// Every bin as its own point (move for column 0, line otherwise): the literal drawing, for tests.
struct PlotStroke {
    bool move;
    int x, y;
};
void BuildCurveStrokesLiteral(const PlotGeometry& g, const float* values, const int32_t* column, int bins, bool phase,
                              std::vector<PlotStroke>* strokes);
