#pragma once
// The HBT editor without its windows: the distance bar and its text, the plot's scales, legends and curves,
// and the calibration curves made from the linear HBT result.
#include <cstdint>
#include <string>

#include "app/colour_editor.h"
#include "app/driver_data.h"
#include "app/global_records.h"
#include "tools/tool_plot.h"

inline constexpr const char* kHbtEditorTitle = "HBT Editor Window";
inline constexpr const char* kHbtHelpFile = "HILBERT.CHM";
inline constexpr const char* kHbtHelpMissing = "HILBERT.CHM File";
inline constexpr const char* kHbtHelpCaption = "HV MEssage";
inline constexpr int kHbtDistanceMax = 10000;  // millimetres
inline constexpr int kHbtInputPowerChars = kInputPowerField - 1;

// Check box 5025 "Show Reference Phase": 1 at start, kept while the program runs.
extern uint32_t ShowReferencePhase;

// The distance bar 5005: line 1, page 10, ends 0 and 10000 (millimetres).
inline constexpr ScrollBarSteps kHbtDistanceSteps{1, 10, 0, kHbtDistanceMax, true, true};
// The distance of a bar position in metres: 1e-6 at 0 (the transforms divide by it), else p / 1000.
float HbtDistanceOfPosition(int position);
// The bar position of a distance, truncated and kept in 0..10000.
int HbtPositionOfDistance(float metres);
// "Dist = %.5f[m], Delay = %.5f[ms]" with d and d / 344 * 1000.
std::string HbtDistanceText(float metres);

// "Sampling = %d" and "Buffer Size = %d" of the record's indices; empty for an index out of range.
std::string HbtSamplingText(uint32_t sampling);
std::string HbtBufferSizeText(uint32_t buffer_size);
// The frame's title by the data kind: "SPL / Phase vs. Frequency", or "Impedance / Phase vs. Frequency" for 1.
const char* HbtPlotTitle(uint32_t impedance_data);
// Level labels "%.0f" of 125 - 5k and phase labels of 180 - 20k, cut to four characters.
std::string HbtLevelLabel(int k);
std::string HbtPhaseLabel(int k);

// y of an SPL value (5 dB per row, 90 dB on row 7) and of a phase value (20 degrees per row, 0 on row 9),
// clamped into 19..H - 21.
int HbtSplY(const ToolPlot& p, double spl_db);
int HbtPhaseY(const ToolPlot& p, double phase_deg);

// A point of the HBT result as the plot shows it: 90 + 10 log10(re^2 + im^2 + 1e-23) dB and
// atan2(im, re) x 57.288 degrees (re = 1e-12 when exactly 0).
double HbtResultSpl(float re, float im);
double HbtResultPhase(float re, float im);

// The curves of the plot: mode 0 the log-grid curves, mode 1 the linear ones placed on the log grid.
enum class HbtCurve { kMeasuredSpl, kMeasuredPhase, kResultSpl, kResultPhase };
struct HbtCurveLegend {
    const char* text;
    int y;     // of the text; the legend line is at y + 6 from x 190 to 230
    int pen;   // 1..6
};
HbtCurveLegend HbtLegendOf(int mode, HbtCurve curve);

// "Use As Mike Cal File" / "Use As Preamp Cal File": for every bin of the linear HBT result, 10 log10(re^2 +
// im^2 + 1e-16) dB (a 90 dB driver level reads 0 dB) and atan2(im, re) x 57.288 degrees, written into the
// calibration curve ({dB, degrees} pairs), the record's copy of it and the two MLS curves (SPL, phase).
void StoreHbtCalibration(const HV_Driver_Data& driver, float* calibration_curve, CalPoint* driver_copy,
                         PlotCurve* spl_curve, PlotCurve* phase_curve);
