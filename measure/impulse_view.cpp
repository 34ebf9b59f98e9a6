#include "measure/impulse_view.h"

#include <cmath>
#include <cstdio>

#include "app/global_records.h"
#include "app/settings.h"
#include "measure/ir_windows.h"

void RefreshImpulseTraces(PlotCurve* mls_curves, const float* ref, const float* in, int32_t scroll, int32_t cursor,
                          uint32_t window_type, const char* width_text, const float* window_shape, int window_entries) {
    const long offset = window_type >= kFirstTwoSidedWindow ? SettingTextInteger(width_text) : 0;
    float* r = mls_curves[kImpulseTraceRefSlot].Values;
    float* m = mls_curves[kImpulseTraceInSlot].Values;
    float* w = mls_curves[kImpulseWindowSlot].Values;
    const long s = static_cast<long>(cursor) - scroll - offset;
    for (int i = 0; i < kImpulsePoints; ++i) {
        r[i] = 0.01f * ref[scroll + i];
        m[i] = 0.01f * in[scroll + i];
        const long at = i - s;
        w[i] = (at < 0 || at >= window_entries) ? 0.0f : kImpulseWindowScale * window_shape[at];
    }
}

std::vector<ImpulsePoint> ImpulseTracePolyline(ImpulseTrace trace, const PlotCurve& slot, const ImpulseGeometry& g,
                                               uint32_t zoom_index) {
    std::vector<ImpulsePoint> points;
    points.reserve(kImpulsePoints);
    const double row = g.RowHeight();
    const double base = trace == ImpulseTrace::kRef ? 20 + 4 * row : 20 + 9 * row;
    const double gain = trace == ImpulseTrace::kIn ? std::ldexp(1.0, static_cast<int>(zoom_index > 6 ? 6 : zoom_index)) : 1.0;
    const bool window_shown = slot.Values[kImpulseWindowShownFlag] == 1.0f;
    for (int i = 0; i < kImpulsePoints; ++i) {
        double y = base - gain * 0.05 * row * slot.Values[i];
        if (!(y >= 19.0)) y = 19.0;
        if (y > g.height - 21.0) y = g.height - 21.0;
        const bool draw = trace != ImpulseTrace::kWindow || window_shown;
        points.push_back(ImpulsePoint{static_cast<int>(g.SampleX(i)), static_cast<int>(y), draw});
    }
    return points;
}

int ImpulseCursorX(int32_t cursor, int32_t scroll, const ImpulseGeometry& g) {
    if (cursor < scroll || cursor > scroll + kImpulsePoints) return -1;
    return static_cast<int>(60 + (cursor - scroll) * (g.width - 80) / 2000.0);
}

std::vector<std::string> ImpulseLevelLabels() {
    std::vector<std::string> out;
    char text[16];
    for (int i = 0; i <= 18; ++i) {
        std::snprintf(text, sizeof text, "%.0f", 180.0 - 20.0 * i);
        out.push_back(text);
    }
    return out;
}

std::vector<ImpulseTimeLabel> ImpulseTimeLabels(int32_t scroll, double fs, const ImpulseGeometry& g) {
    std::vector<ImpulseTimeLabel> out;
    char text[32];
    for (int t = -50; t <= 1950; t += 50) {
        std::snprintf(text, sizeof text, "%.1f", (t + scroll) * 1000.0 / fs);
        out.push_back(ImpulseTimeLabel{static_cast<int>(50 + (t + 51) * (g.width - 80) / 2000.0), text});
    }
    return out;
}

int LitMeterLeds(float level) {
    if (!(level >= 0.0f)) return 0;
    int lit = 0;
    while (lit < kMeterLeds && level >= 2.0f * lit) ++lit;
    return lit;
}
