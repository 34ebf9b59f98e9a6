#include "tools/driver_repair.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/driver_fields.h"

namespace {

// A point that is not a finite number holds no data either: interpolating through it would spread it.
bool ValidSpl(float v) { return std::isfinite(v) && v > 1.0f; }
bool ValidPhase(float v) { return std::isfinite(v) && v != 0.0f; }

// Leading, trailing and inner gaps of one curve, linear in the stored unit and in index. The inner walk
// starts at entry 0 with the value the leading fill left there, or with 0 (the phase walk: entry 0 of a
// repaired phase curve, at 0.01 Hz, then reads 0 degrees).
template <typename Valid>
void FillGaps(float* c, int n, Valid valid, bool walk_from_zero) {
    if (n <= 0) return;
    int a = 0;
    while (a < n && !valid(c[a])) ++a;
    if (a == n) return;  // no valid point at all: the curve stays as it is
    for (int j = 0; j < a; ++j) c[j] = c[a];
    int b = n - 1;
    while (b >= 1 && !valid(c[b])) --b;  // entry 0 is not examined
    if (b >= 1)
        for (int j = b + 1; j < n; ++j) c[j] = c[b];
    int p = 0;
    double v = walk_from_zero ? 0.0 : c[0];
    for (int i = 0; i < n; ++i) {
        if (!valid(c[i]) || i <= p) continue;
        const double vi = c[i];
        for (int j = p; j < i; ++j) c[j] = static_cast<float>(v + (j - p) * (vi - v) / (i - p));
        p = i;
        v = vi;
    }
}

}  // namespace

double DriverEfficiency(const HV_Driver_Data& driver) {
    char text[kTextField + 1] = {};
    std::memcpy(text, driver.params[kEfficiencyField], kTextField);  // the field need not end in a NUL
    const double e = std::strtod(text, nullptr);
    // Read as the dialogs read a number: an efficiency that no float holds counts as 0, which is refused.
    return FitsFloat(e) ? e : 0.0;
}

void RepairSplCurve(float* curve, int n) { FillGaps(curve, n, ValidSpl, false); }

void RepairPhaseCurve(float* curve, int n) {
    for (int i = 0; i + 1 < n; ++i) {
        if (!(curve[i + 1] > 130.0f && curve[i] == 0.0f)) continue;
        // Only the gap before point i+1 is searched: the valid point that ends it takes the -179 side of the
        // jump when it lies below -130; a valid point above that means the phase did not wrap, and a gap that
        // reaches entry 0 puts the jump at entries 0 and 1. Valid points further down are never touched.
        int j = i;
        while (j > 0 && !ValidPhase(curve[j])) --j;
        const bool wrapped = curve[j] < -130.0f;
        const bool open_start = j == 0 && !ValidPhase(curve[0]) && i >= 1;
        if (!wrapped && !open_start) continue;
        curve[j] = -179.0f;
        curve[j + 1] = 179.0f;
    }
    FillGaps(curve, n, ValidPhase, true);
}

int RepairDriverCurves(HV_Driver_Data* driver, MessageList* messages) {
    if (!(DriverEfficiency(*driver) > 50.0)) {
        if (messages) {
            HvMessage m = WarningMessage(kEfficiencyError);
            m.caption = kEfficiencyErrorCaption;
            messages->push_back(m);
        }
        return 1;
    }
    RepairSplCurve(driver->spl_log, kLogGridPoints);
    RepairSplCurve(driver->spl_lin, kLinGridPoints);
    RepairPhaseCurve(driver->phase_log, kLogGridPoints);
    RepairPhaseCurve(driver->phase_lin, kLinGridPoints);
    return 0;
}
