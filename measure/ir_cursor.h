#pragma once
// The cursor of the "MLS Impulse Response" window and the acoustic distance it reads: 2000 samples from the
// scroll position fill the trace area x 60 .. width - 20, y 20 .. height - 20; the cursor sample is where the
// measured window starts, and index 50 is the time origin of the responses.
#include <cstdint>
#include <string>

inline constexpr int kIrTraceLeft = 60;
inline constexpr int kIrTraceTop = 20;
inline constexpr int kIrTraceMargin = 20;
inline constexpr int kIrShownSamples = 2000;
inline constexpr int kIrTimeOrigin = 50;
inline constexpr int kVirtualKeyLeft = 37;
inline constexpr int kVirtualKeyRight = 39;
inline constexpr const char* kMlsImpulseTitle = "MLS Impulse Response";

// A left click at (x, y) of a client area width x height moves the cursor when it falls in the trace area
// (60 <= x < width - 18, 20 <= y < height - 20) and the window is wide enough to hold a trace.
bool IrCursorClickTaken(int x, int y, int width, int height);
// The cursor's column and sample for a click at x (the click must be taken).
int32_t IrCursorColumnFromClick(int x, int width);
int32_t IrCursorBinFromClick(int x, int width, int32_t scroll);
// The column of a cursor sample.
int32_t IrCursorColumnFromBin(int32_t bin, int32_t scroll, int width);

// An arrow key: Left and Right move the cursor one sample within scroll .. scroll + 2000. False (and nothing
// moves) for other keys and while the cursor lies outside that range.
bool StepIrCursor(int32_t* bin, int32_t scroll, int virtual_key);

// The distance in cm from the pulse delay and the cursor's time after the origin: (0.001 dp + (bin - 50)/fs) x
// c x 100, c in m/s, fs in Hz, dp in ms.
double AcousticDistanceCm(int32_t bin, double fs, double speed_of_sound, double pulse_delay_ms);
// "Acoustical Distance: %.3f cm", from the settings' texts (speed of sound, pulse delay) as atof reads them.
std::string AcousticDistanceText(int32_t bin, double fs, const char* speed_text, const char* pulse_delay_text);

// The title read-out "MLS Impulse Response  Ref=%.2f, In=%.2f, Bin=%d, Scroll[%d - %d]".
std::string IrCursorReadout(float ref_value, float in_value, int32_t bin, int32_t scroll);
