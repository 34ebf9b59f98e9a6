#include "tools/hbt_editor.h"

#include <cmath>
#include <cstdio>

uint32_t ShowReferencePhase = 1;

namespace {

constexpr double kDegreesPerRadian = 57.288;
constexpr double kZeroRealPart = 1e-12;
constexpr double kSpeedOfSound = 344.0;

std::string Formatted(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

double PhaseOf(float re, float im) {
    const double r = re == 0.0f ? kZeroRealPart : static_cast<double>(re);
    return std::atan2(static_cast<double>(im), r) * kDegreesPerRadian;
}

}  // namespace

float HbtDistanceOfPosition(int position) { return position == 0 ? 1e-6f : 0.001f * static_cast<float>(position); }

int HbtPositionOfDistance(float metres) {
    const double p = 1000.0 * static_cast<double>(metres);
    if (!(p >= 0.0)) return 0;
    if (p >= kHbtDistanceMax) return kHbtDistanceMax;
    return static_cast<int>(p);
}

std::string HbtDistanceText(float metres) {
    char text[96];
    const double d = metres;
    std::snprintf(text, sizeof text, "Dist = %.5f[m], Delay = %.5f[ms]", d, d / kSpeedOfSound * 1000.0);
    return text;
}

std::string HbtSamplingText(uint32_t sampling) {
    static const int kRates[3] = {44100, 48000, 96000};
    return sampling < 3 ? Formatted("Sampling = %.0f", kRates[sampling]) : std::string();
}

std::string HbtBufferSizeText(uint32_t buffer_size) {
    return buffer_size < 4 ? Formatted("Buffer Size = %.0f", 512 << buffer_size) : std::string();
}

const char* HbtPlotTitle(uint32_t impedance_data) {
    return impedance_data == 1 ? "Impedance / Phase vs. Frequency" : "SPL / Phase vs. Frequency";
}

std::string HbtLevelLabel(int k) { return Formatted("%.0f", 125.0 - 5.0 * k).substr(0, 4); }
std::string HbtPhaseLabel(int k) { return Formatted("%.0f", 180.0 - 20.0 * k).substr(0, 4); }

int HbtSplY(const ToolPlot& p, double spl_db) {
    return ClampToolPlotY(p, 20.0 + 7.0 * p.row + 0.2 * p.row * (90.0 - spl_db));
}

int HbtPhaseY(const ToolPlot& p, double phase_deg) {
    return ClampToolPlotY(p, 20.0 + 9.0 * p.row - 0.05 * p.row * phase_deg);
}

double HbtResultSpl(float re, float im) {
    const double r = re, i = im;
    return 90.0 + 10.0 * std::log10(r * r + i * i + 1e-23);
}

double HbtResultPhase(float re, float im) { return PhaseOf(re, im); }

HbtCurveLegend HbtLegendOf(int mode, HbtCurve curve) {
    const bool log = mode == 0;
    switch (curve) {
        case HbtCurve::kMeasuredSpl: return {log ? "Measured Log SPL" : "Measured Lin SPL", 22, 1};
        case HbtCurve::kMeasuredPhase: return {log ? "Measured Log PH" : "Measured Lin PH", 42, 2};
        case HbtCurve::kResultSpl: return {log ? "HBT Log SPL" : "HBT Lin SPL", 62, log ? 3 : 5};
        case HbtCurve::kResultPhase: return {log ? "HBT Log PH" : "HBT Lin PH", 82, log ? 4 : 6};
    }
    return {"", 0, 1};
}

void StoreHbtCalibration(const HV_Driver_Data& d, float* calibration_curve, CalPoint* driver_copy, PlotCurve* spl_curve,
                         PlotCurve* phase_curve) {
    for (int k = 0; k < kLinGridPoints; ++k) {
        const double re = d.hbt_re_lin[k], im = d.hbt_im_lin[k];
        const float spl = static_cast<float>(10.0 * std::log10(re * re + im * im + 1e-16));
        const float phase = static_cast<float>(PhaseOf(d.hbt_re_lin[k], d.hbt_im_lin[k]));
        if (calibration_curve) {
            calibration_curve[2 * k] = spl;
            calibration_curve[2 * k + 1] = phase;
        }
        if (driver_copy) driver_copy[k] = CalPoint{spl, phase};
        if (spl_curve) spl_curve->Values[k] = spl;
        if (phase_curve) phase_curve->Values[k] = phase;
    }
}
