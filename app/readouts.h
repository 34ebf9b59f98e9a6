#pragma once
// The cursor read-outs that the plot windows show in their title bars.
#include <string>

inline constexpr const char* kSplPlotTitle = "Halvane Equalizer Frequency Domain";
inline constexpr const char* kIrWindowTitle = "Impulse Response Window";

struct SplReadoutInputs {
    int width, height;            // SplPlotClientSize
    int blockFrames;              // N
    unsigned outputMode;          // 0 "8 Outputs", 1 "16 Outputs", 2 "8 + SPDIF"
    const float* binFrequency;    // BinFrequencyTable, at least 8N + 1 entries
    const float* plotFrequency;   // PlotFrequencyTable, 2000 entries
    const float* const* splCurve;    // 16 curves: filter SPL of output o at [o - 1]
    const float* const* phaseCurve;  // 16 curves: its phase
};

// The title for a pointer at (x, y) of the "SPL_Plotting" window: the base title outside the plot or past
// the last bin, else the frequency and every output's SPL/phase at the bin under the pointer.
std::string SplReadoutTitle(const SplReadoutInputs& in, int x, int y);

// The bin the "szChild_IR" mouse read-out points at, or -1 when the window is too narrow to read.
int IrMouseBin(int x, int width, int irTimeScale);
// An arrow key's step of the read-out, kept inside 0..limit.
int IrKeyBin(int bin, int step, int limit);
