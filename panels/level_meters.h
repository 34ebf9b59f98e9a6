#pragma once
// The level meters' model: which bar height and clip mark a peak lights, which pen each bar takes, where the
// lines go, and when the meter is erased. The panels' GDI code draws what these functions return.
#include <array>
#include <atomic>
#include <cstdint>

#include "panels/live_keys.h"

inline constexpr int kInputBars = 8;
inline constexpr int kOutputBars = 16;
inline constexpr int kInputThresholdCount = 35;   // T0..T34
inline constexpr int kOutputThresholdCount = 46;  // U0..U45
inline constexpr int kMeterEraseEvery = 10;
inline constexpr float kMeterClearRequest = -1.0f;

// Peaks on the 24-bit sample scale: Tk lights 5k pixels (k = 1..33), T34 the clip mark.
inline constexpr int32_t kInputMeterThresholds[kInputThresholdCount] = {
    21638,   25638,   30605,   36605,   43289,   52289,   61229,   72229,   86605,   104605,  122496,  152496,
    173262,  213262,  245067,  295067,  346629,  416629,  490282,  590282,  693468,  853468,  980860,  1180860,
    1387356, 1687356, 1962314, 2312314, 2775551, 3315551, 3925814, 4792581, 5552778, 6752778, 7854000};

// Peaks of the 32-bit output word: Uk = floor(2,010,624,000 x 0.85^(45 - k)), worked out in exact integer
// arithmetic (17^n / 20^n); Uk lights 4k pixels (k = 1..44), U45 the clip mark.
const std::array<uint32_t, kOutputThresholdCount>& OutputMeterThresholds();

// Bar height in pixels for a peak (0 below the first step; a NaN lights nothing), and the clip mark.
int InputBarHeight(float value);
bool InputClipped(float value);
int OutputBarHeight(float value);
bool OutputClipped(float value);

enum class MeterPen { kGreen, kOrange, kBlue, kMagenta, kPurple, kDarkRed };

// Pen of input bar i (1..8) and of output bar i (1..16) with the panel's groups: orange for 3 and 4, else
// green; then magenta for a sub, purple for a CABS sub, blue for a rear output, each replacing the last.
MeterPen InputBarPen(int bar);
MeterPen OutputBarPen(int bar, const LiveKeyGroups& groups);

struct MeterLine {
    int x0, y0, x1, y1;
    MeterPen pen;
    bool default_pen;  // drawn with the device context's own pen (the reference line)
};

// Every line of one meter drawing for the control's client rectangle (left, right, bottom): the reference line
// at y 23, then per bar its bar and, when clipped, its mark. Returns the number written (at most 1 + 2 bars).
int InputMeterLines(int left, int right, int bottom, const float values[kInputBars], MeterLine* out);
int OutputMeterLines(int left, int right, int bottom, const float values[kOutputBars], const LiveKeyGroups& groups,
                     MeterLine* out);
inline constexpr int kMaxInputMeterLines = 1 + 2 * kInputBars;
inline constexpr int kMaxOutputMeterLines = 1 + 2 * kOutputBars;

// Calls since the last periodic erase. Step() counts one call and says whether it is the tenth (the count
// then starts again). The streaming thread and the panels both call it, so the count is atomic.
struct MeterEraseCounter {
    std::atomic<int> count{0};
    bool Step();
};

// Whether the last value asks for a clear: exactly -1.0, nothing else (not -2.0, not NaN).
inline bool IsMeterClearRequest(float last) { return last == kMeterClearRequest; }
