#pragma once
// The data path of one room-equalizer location run, from the raw capture to the two aligned impulse responses
// and their displays: the split (the page's split, with no delayed read), the level meters' scale, the two
// deconvolution passes of each channel with the check for a response between them, and the location files.
#include <cstdint>
#include <string>

#include "measure/mls_analysis.h"

struct ColourEntry;
struct PlotCurve;

inline constexpr const char* kNoImpulseResponse = "Please Generate Impulse Response First";

// The level meters show a 16-bit capture's peaks over 904, a 24-bit capture's over 1200.
inline constexpr float kLocationMeterScale16 = 0.0011061946902654867f;
inline constexpr float kLocationMeterScale24 = 0.0008333333333333334f;
float LocationMeterScale(uint32_t capture24);

// How a room capture is split: the reference on the left, the microphone on the right, no delayed read.
MlsSplitSettings LocationSplitSettings(uint32_t capture24, int32_t ref_polarity, int32_t data_polarity);

struct LocationDeconvolution {
    int32_t ref_peak = 0;  // first-pass peaks; 0 when a channel holds no response
    int32_t in_peak = 0;
    bool aligned = false;  // both channels deconvolved and aligned on the reference's peak
};

// The reference channel in both passes, aligned on its own peak and shown in `ref_display`; then the measured
// channel's first pass. Only when both first passes found a peak does the measured channel take its second
// pass, aligned on the reference's peak (so the acoustic delay stays in it), and go to `in_display`. The
// displays hold kRoomEqImpulsePoints points with the pens of colour-scheme entries 18 and 17.
LocationDeconvolution DeconvolveLocation(float* ref, float* in, int order, const MlsDeconvolutionBuffers& b,
                                         PlotCurve* ref_display, PlotCurve* in_display, const ColourEntry* colours);

// The capture file of a location: "<pane's name>_L<location + 1>.res" ("Front_Left_L1.res" .. for panes
// 1..9), or "" for a pane or location outside the lists.
std::string LocationFileName(int pane, int location);
