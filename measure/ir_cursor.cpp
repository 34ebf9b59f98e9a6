#include "measure/ir_cursor.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/settings.h"

namespace {

int PlotWidth(int width) { return width - kIrTraceLeft - kIrTraceMargin; }

int32_t TruncToInt(double v) {
    if (!(v > -2147483648.0)) return INT32_MIN;
    if (v >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(v);
}

}  // namespace

bool IrCursorClickTaken(int x, int y, int width, int height) {
    if (PlotWidth(width) <= 0) return false;
    return x >= kIrTraceLeft && x < width - 18 && y >= kIrTraceTop && y < height - kIrTraceMargin;
}

int32_t IrCursorColumnFromClick(int x, int width) {
    const double w = PlotWidth(width);
    const double samples = (2000.0 * x - 120000.0) / w;
    return TruncToInt(samples * (0.0005 * w) + kIrTraceLeft);
}

int32_t IrCursorBinFromClick(int x, int width, int32_t scroll) {
    return TruncToInt((2000.0 * x - 120000.0) / PlotWidth(width) + scroll);
}

int32_t IrCursorColumnFromBin(int32_t bin, int32_t scroll, int width) {
    return TruncToInt((static_cast<double>(bin) - scroll) * 0.0005 * PlotWidth(width) + kIrTraceLeft);
}

bool StepIrCursor(int32_t* bin, int32_t scroll, int virtual_key) {
    if (*bin < scroll || *bin > scroll + kIrShownSamples) return false;
    if (virtual_key == kVirtualKeyLeft) {
        if (*bin > scroll) --*bin;
        return true;
    }
    if (virtual_key == kVirtualKeyRight) {
        if (*bin < scroll + kIrShownSamples) ++*bin;
        return true;
    }
    return false;
}

double AcousticDistanceCm(int32_t bin, double fs, double speed_of_sound, double pulse_delay_ms) {
    const double t = fs > 0.0 ? (static_cast<double>(bin) - kIrTimeOrigin) / fs : 0.0;
    return (0.001 * pulse_delay_ms + t) * (speed_of_sound * 100.0);
}

std::string AcousticDistanceText(int32_t bin, double fs, const char* speed_text, const char* pulse_delay_text) {
    char text[96];
    std::snprintf(text, sizeof text, "Acoustical Distance: %.3f cm",
                  AcousticDistanceCm(bin, fs, SettingTextNumber(speed_text), SettingTextNumber(pulse_delay_text)));
    return text;
}

std::string IrCursorReadout(float ref_value, float in_value, int32_t bin, int32_t scroll) {
    char text[256];
    std::snprintf(text, sizeof text, "%s  Ref=%.2f, In=%.2f, Bin=%d, Scroll[%d - %d]", kMlsImpulseTitle,
                  static_cast<double>(ref_value), static_cast<double>(in_value), bin, scroll, scroll + kIrShownSamples);
    return text;
}
