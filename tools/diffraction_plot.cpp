#include "tools/diffraction_plot.h"

#include <cmath>
#include <cstdio>

#include "tools/driver_fields.h"

namespace {

std::string Whole(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", v);
    return text;
}

constexpr DiffractionGroup kGroups[kDiffractionGroups] = {
    {"SPL", 0, 25, 25, false},
    {"Ph", 5, 45, 30, true},
    {"Cpl", 10, 65, 35, false},
};

}  // namespace

DiffractionScale DiffractionScaleOf(const HV_Driver_Data& driver) {
    DiffractionScale s;
    const double ref = FieldNumber(driver.text_2148764[0]);
    const double step = FieldNumber(driver.text_2148764[1]);
    s.ref = FitsFloat(ref) ? ref : 0.0;
    s.step = FitsFloat(step) ? step : 0.0;
    s.levels = s.step != 0.0;
    return s;
}

std::string DiffractionDbLabel(const DiffractionScale& s, int k) { return Whole(7.0 * s.step + s.ref - k * s.step); }

std::string DiffractionPhaseLabel(int k) { return Whole(180.0 - 20.0 * k); }

int DiffractionLevelY(const ToolPlot& p, const DiffractionScale& s, double v) {
    return ClampToolPlotY(p, 20.0 + 7.0 * p.row + (p.row / s.step) * (s.ref - 90.0 - v));
}

int DiffractionPhaseY(const ToolPlot& p, double v) { return ClampToolPlotY(p, 20.0 + 9.0 * p.row - 0.05 * p.row * v); }

const DiffractionGroup* DiffractionGroups() { return kGroups; }

std::string DiffractionRunTitle(double frequency_hz, double spl_db) {
    char text[160];
    std::snprintf(text, sizeof text, "%s  Frequency = %.1f Hz, SPL = %.2f", kDiffractionChildTitle, frequency_hz, spl_db);
    return text;
}
