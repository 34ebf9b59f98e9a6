#pragma once
// The calibration curves built from filter sections: one "High-Pass Section" and four low-pass sections, each
// a type (Bessel .. By-Pass), a slope, a cut-off, a Q and a gain; their product, inverted on request, becomes
// the microphone or the preamp curve bin by bin, in dB and degrees. The sections are the design's analog
// families, except the shelves, which this dialog names the other way round (its "Shelving-6dB" rises above
// the cut-off).
#include <cstdint>
#include <string>

#include "app/messages.h"
#include "app/typed_numbers.h"

struct CalPoint;
struct ColourEntry;
struct PlotCurve;

inline constexpr int kCalSections = 5;
inline constexpr int kCalFilterTypes = 9;
inline constexpr int kCalTypeLinkwitz = 2;
inline constexpr uint32_t kCalTypeQParametric = 3;
inline constexpr int kCalTypeBypass = 8;
inline constexpr const char* kCalFilterTypeNames[kCalFilterTypes] = {
    "Bessel", "Butterworth", "Linkwitz", "Q-Parametric", "Shelving-6dB", "Shelving-12dB", "Shelving+6dB",
    "Shelving+12dB", "By-Pass"};
inline constexpr const char* kCalSectionTitles[kCalSections] = {
    "High-Pass Section", "Low-Pass Section 1", "Low-Pass Section 2", "Low-Pass Section 3", "Low-Pass Section 4"};

struct CalSection {
    uint32_t type;
    uint32_t slope;
    float cutoff;
    float q;
    float gain;
};
struct CalSectionSet {
    CalSection sections[kCalSections];
    uint32_t invert;
};
// The dialog's settings for the whole run (start: the built-in defaults).
extern CalSectionSet CalSections;
CalSectionSet DefaultCalSections();

struct CalResponse {
    float re, im;
};
// One section's complex response at f (Hz), with the Q and gain of `sections`[section]; 1 + 0j for what
// selects nothing.
CalResponse FilterSectionResponse(const CalSectionSet& sections, float f, uint32_t type, uint32_t slope, float cutoff,
                                  uint32_t section);

// What the sections' typed numbers may be.
inline constexpr TypedRange kCalGainRange{-100.0, 100.0, "Gain Is Out Of Range (-100.....+100dB)"};
inline constexpr TypedRange kCalCutoffRange{1.0, 1000000.0, "Cut-off Frequency Is Out Of Range (1.....1000000Hz)"};
inline constexpr TypedRange kCalQRange{0.0, 1000.0, "Q Is Out Of Range (0.....1000)"};
inline constexpr const char* kCalCurveNotFinite =
    "The Calibration Curve Is Out Of Range At %.2f Hz\nNothing Was Changed";

// "Done": cut-offs below 1 Hz raised to 1 (raised[s] says which), then the first section that is an odd-order
// Linkwitz, or whose cut-off, gain or Q (as far as its type uses them) lies outside its range, refused with its
// message ("HP ..." for section 0, "LP ... s" for section s). True when the dialog may end.
bool AcceptCalSections(CalSectionSet* sections, bool raised[kCalSections], std::string* refusal);

enum class CalTarget { kMike, kPreamp };
// The product of the five sections at every bin (inverted when set), into the curve, the two display slots
// (25/26 microphone, 27/28 preamp: values, visible, pens of colour entries 5/6 or 3/4) and the driver's copy.
// A product too small to invert is held at the curve's floor first (-100 dB microphone, -130 dB preamp), so
// its inverse is the floor's opposite instead of a division by zero. A curve with a point that is not a finite
// number is refused whole (false, with a message naming the frequency): nothing is written.
bool SynthesizeCalibrationCurve(CalTarget target, const CalSectionSet& sections, const float* bin_frequency,
                                CalPoint* curve, PlotCurve* mls_curves, CalPoint* driver_copy,
                                const ColourEntry* colours, MessageList* out);

// The page's refusals of construction and export (both "Use It" boxes, or neither for the export, which would
// otherwise write an empty file): the message, or "" when the command may go on.
std::string CalConstructionRefusal(uint32_t use_mike, uint32_t use_preamp);
std::string CalExportRefusal(uint32_t use_mike, uint32_t use_preamp);
