#pragma once
// The "MLS Frequency Domain" plot as data: its geometry, the column table it rebuilds at every paint, the
// labels and markers of its frame, the curves of each page with their legends and pens, the polyline of a
// curve, the pointer read-out, the hit test within 2 pixels and the copies into the compare slots. The Win32
// painter only draws what these give.
#include <cstdint>
#include <string>
#include <vector>

struct PlotCurve;

inline constexpr int kMlsPlotPages = 4;
inline constexpr int kMlsPlotColumns = 2000;
inline constexpr int kFirstCompareSlot = 30;
inline constexpr int kCompareSlots = 20;
inline constexpr int kTemplateSplSlot = 51;
inline constexpr float kCompareKindSpl = 1.0f;
inline constexpr float kCompareKindPhase = 2.0f;
inline constexpr int kHitTolerancePx = 2;
inline constexpr const char* kMlsSplWindowTitle = "MLS Frequency Domain";
inline constexpr const char* kMlsPlotPageTitles[kMlsPlotPages] = {
    "Measured SPL / Phase", "Mike / Preamp Calibration", "Post Processing SPL / Phase", "Compare Plots"};

struct MlsPlotGeometry {
    int width = 0, height = 0;  // client size the window stored
    double fmin = 20.0, fmax = 20000.0;
    double ref = 90.0, dbdiv = 5.0;  // dB at the 90-dB line, dB per division

    double PlotWidth() const { return width - 80.0; }
    double DivisionHeight() const { return (height - 40) / 18.0; }
    double Sx() const;
    double X0() const;
    double FrequencyX(double f) const;
};

// Column i of the table stands for pixel 60 + (i + 1) P / 2000 (the x accumulated as a 32-bit float).
void RebuildPlotColumns(const MlsPlotGeometry& g, float* plot_frequency);

// The frequency grid and its labels, and the degree labels, are the system plot's (design/system_plot.h).
// The 19 dB labels from the top ("125" .. "35" for 90/5).
std::vector<std::string> PlotDbLabels(double ref, double dbdiv);
// The first column (0..1998) above fs / W, 1999 when none: where the window resolution band ends.
int WindowBandEndColumn(const float* plot_frequency, double fs, double window_width);

// How a curve's values become heights.
enum class CurveKind { kSpl, kPhase, kPhaseDifference, kTemplateSpl, kComplexSpl, kComplexPhase };
double CurveY(CurveKind kind, double value, const MlsPlotGeometry& g);
// The SPL and phase of a complex buffer value, as the plot computes them.
double ComplexPlotSpl(float re, float im);
double ComplexPlotPhase(float re, float im);

// A pen style field as GDI knows it: 0 solid, 1 dotted, 2 dashed; any other field is held within 0..3 first
// (so a field above 3 is dashed, one below 0 solid).
int PlotPenStyle(float style_field);

// One curve a page draws.
struct PageCurve {
    const PlotCurve* source = nullptr;       // values (for complex curves: the real part)
    const PlotCurve* imag = nullptr;         // complex curves: the imaginary part
    const PlotCurve* pen = nullptr;          // where the visible flag and pen come from
    CurveKind kind = CurveKind::kSpl;
    const char* legend = "SPL";
    int legend_x_from_right = 75;            // legend word at (Ws - this, legend_y)
    int legend_y = 25;
    int line_y = 25;                         // legend line from (Ws - 50, line_y) to (Ws - 25, line_y)
    bool second_line = false;                // page 3: another legend line from (65, second_y) to (100, second_y)
    int second_y = 0;
};
struct PlotFlags {
    uint32_t show_phase = 0;
    uint32_t template_on = 0;
};
// The curves of a page, in drawing order, that are to be drawn now (visible, and as the flags say).
std::vector<PageCurve> PageCurves(int page, const PlotCurve* mls_curves, const PlotCurve* buffers, const PlotFlags& flags);

struct MlsPlotPoint {
    int x, y;
    bool move;
};
// A curve's polyline: for each bin 0..8N with a column above it, x of the column and y by the kind, held within
// 19..Hs - 21.
std::vector<MlsPlotPoint> CurvePolyline(const PageCurve& curve, const MlsPlotGeometry& g, const float* bin_frequency,
                                     const float* plot_frequency, int block_frames);

// The pointer: column trunc((x - 60) 2000 / (Ws - 80)), inside when 0 <= c <= 1999 and 20 <= y < Hs - 20.
int PlotColumnOf(int x, const MlsPlotGeometry& g);
bool PlotPointerInside(int x, int y, const MlsPlotGeometry& g);
// The first bin 0..8N at or above the column's frequency (8N when none).
int PlotBinOfColumn(int column, const float* bin_frequency, const float* plot_frequency, int block_frames);

// The candidates of pages 0..2 and their SPL and phase at a bin.
std::vector<int> PageCandidates(int page);
double CandidateSpl(int page, int k, int bin, const PlotCurve* mls_curves, const PlotCurve* buffers);
double CandidatePhase(int page, int k, int bin, const PlotCurve* mls_curves, const PlotCurve* buffers);

// The read-out title at a pointer over pages 0..2 ("MLS Frequency Domain, Ampl = ..."), or the plain title
// "MLS Frequency Domain  <microphone calibration path>" outside the plot.
std::string PlotReadoutTitle(int page, int index, int x, int y, const MlsPlotGeometry& g, const float* bin_frequency,
                             const float* plot_frequency, int block_frames, const PlotCurve* mls_curves,
                             const PlotCurve* buffers, const char* mike_cal_path);

// The hit test of a click: the first candidate whose SPL lies within 2 pixels of y at the pointer's bin, or -1.
// A miss leaves the page's index where it was (the last curve hit).
int PlotHitTest(int page, int x, int y, const MlsPlotGeometry& g, const float* bin_frequency,
                const float* plot_frequency, int block_frames, const PlotCurve* mls_curves, const PlotCurve* buffers);

// Copies candidate k of a page, SPL then phase, into the next two compare slots and counts them. False when no
// room is left (19 or 20 filled).
bool CopyCurveToCompare(int page, int k, PlotCurve* mls_curves, const PlotCurve* buffers, int* copied_count);
// "Clear": the compare slots hidden, the count 0.
void ClearCompareCurves(PlotCurve* mls_curves, int* copied_count);
