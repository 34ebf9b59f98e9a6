#pragma once
// The impulse-response optimisation and export dialog without its windows: its view state, the candidate
// window lengths, the texts of its lists and legends, the scroll limits, the phase-hiding thresholds, the
// "IR1 + IR2" sum, and the scales of the impulse-response view and the SPL/phase view.
#include <cstdint>
#include <string>
#include <vector>

#include "app/colour_editor.h"
#include "app/system_record.h"

inline constexpr int kIrCandidates = 49;       // list 6506, curve slots 0..48 (phase 50..98)
inline constexpr int kIrSummarySlot = 99;      // SPL of the summary output; its phase in slot 135
inline constexpr int kIrSummaryPhaseSlot = 135;
inline constexpr int kIrDriverSplSlot = 136;   // the driver-convolved response
inline constexpr int kIrDriverPhaseSlot = 137;
inline constexpr int kIrPhaseSlotOffset = 50;
inline constexpr float kIrSplFloor = -160.0f;
inline constexpr int kIrOutputs = 16;
inline constexpr int kIrTimeScaleMax = 33000;
inline constexpr int kIrMagGainMax = 10000;
inline constexpr int kIrAdvanceChars = 9;

inline constexpr const char* kIrDialogCaption = "Optimize / Export Impulse Response";
inline constexpr const char* kIrViewTitle = "Impulse Response";
inline constexpr const char* kIrSplViewTitle = "SPL / Phase vs. Frequency";
inline constexpr const char* kIrNegativeAdvance = "Time Offset Must Be Greater Than 0";
inline constexpr const char* kIrWideWindowMode = "Wide Window, L-P Mode";
inline constexpr const char* kIrBellWindowMode = "Blackman-Harris Window, L-P Mode";

// The dialog's state; it lives for the program's run (IrMethod and the window settings of the outputs are
// the system record's; the time scale and the shown candidate are kept where the view windows read them).
struct IrDialogState {
    int32_t IrMagGain = 6;        // 1..10000
    uint32_t IrOutput = 0;        // 0..15
    uint32_t IrSecondOutput = 0;
    uint32_t IrFileFormat = 0;
    uint32_t IrWindowLength = 256;
    uint32_t IrOptimizeStep = 16;
    uint32_t IrWindowTypeSelection = 6;
    uint32_t IrOptimizeEntry = 0;
    uint32_t IrSummaryOutput = 0;
    uint32_t IrUseLongerFft = 0;
    uint32_t IrShowReferenceSpl = 1;
    uint32_t IrHidePhaseIndex = 0;
    uint32_t IrShowTemporalMask = 0, IrShowMinimumPhase = 0, IrLogScale = 0, IrConvolveDriver = 0, IrFromMls = 0,
             IrFineTimeScale = 0;
    char IrAdvanceText[10] = "0";
    uint32_t IrCurveSlot = 0;
};
extern IrDialogState IrDialog;

// The candidates of a method: Method 1 (0) from 256 in steps of 16, Method 2 (1) from N/2 in steps of N/32.
struct IrCandidateList {
    int start, step;
};
IrCandidateList IrCandidatesOf(uint32_t method, int N);
inline int IrCandidateLength(const IrCandidateList& c, int i) { return c.start + i * c.step; }
// "Opt = %d" (list 6506) and "Opt = %d " (the legend of a candidate's curve).
std::string IrCandidateLabel(int length);
std::string IrCandidateLegend(int length);

// The name of a WindowType, empty outside 0..9.
const char* IrWindowTypeName(int32_t type);
// Line o (0-based) of the summary list 6513: "Out%d, Met%d, %d,  %s" with the output's stored window when
// SplOnlyEq is 1, else "Out%d, %s" with the mode of the global window.
std::string IrSummaryLine(int output, uint32_t method, const IrWindowEntry& stored, uint32_t SplOnlyEq,
                          uint32_t WideWindow);
// The summary curve's legend: "Out%d, Window %d, %s", or "Out%d, %s" with the window mode.
std::string IrSummaryLegend(int output, const IrWindowEntry& stored, uint32_t SplOnlyEq, uint32_t WideWindow);

// The time scale the dialog starts with, by block size and SplOnlyEq.
int IrTimeScalePreset(uint32_t HV_Buffer_Size, uint32_t SplOnlyEq);
// The bars: only line, page and thumb-tracking steps move them; the time scale by 1 and 100 in 1..33000, the
// magnitude gain by 1 and 10 in 1..10000.
inline constexpr ScrollBarSteps kIrTimeScaleSteps{1, 100, 1, kIrTimeScaleMax, false, false};
inline constexpr ScrollBarSteps kIrMagGainSteps{1, 10, 1, kIrMagGainMax, false, false};
std::string IrTimeScaleLabel(int value);  // "IR Time Scale = %d"
std::string IrMagGainLabel(int value);    // "IR Mag. Gain = %d"

// "Hide Phase Below" (list 6515): one table gives both the names and the levels below which the phase is not
// drawn. Entry 0 "NONE" draws no phase in the SPL/phase curves; the driver view still uses its level, -60 dB.
inline constexpr int kHidePhaseEntries = 9;
const char* HidePhaseName(int index);
double HidePhaseLevelDb(int index);

// The advance of "IR1 + IR2 Advanced by": the integer at the start of the text (0 when there is none).
long IrAdvanceOf(const char* text);
// s(j) = IR1(j) + IR2(j + d) for j = 0 .. 8N - 1; each response holds 8N samples (the real parts of an
// interleaved array), and IR2 beyond them reads as 0.
std::vector<float> SumAdvancedResponses(const float* ir1, const float* ir2, int N, long d);

// Scales of the impulse-response view (client W x H): u = (H - 40) / 18; sample n at x = 60 + n (W - 80) /
// IrTimeScale, drawn while x < W - 20. A trace's y is held in 19..H - 23 (windows: H - 21).
struct IrView {
    int w = 0, h = 0;
    double u = 0;
    int time_scale = 1000;
    int mag_gain = 6;
};
IrView MakeIrView(int w, int h, int time_scale, int mag_gain);
double IrSampleX(const IrView& v, double n);
bool IrInsideView(const IrView& v, double x);
int IrTraceY(const IrView& v, double y);
int IrWindowTraceY(const IrView& v, double y);
double IrWindowValueY(const IrView& v, double w);      // 20 + 9u - 8u w
double IrLinearY(const IrView& v, double sample);      // 20 + 9u - 20 IrMagGain v
double IrLogY(const IrView& v, double sample);         // 20 + u - 2u log10(|v| + 1e-17)
// The measured impulse response of the MLS page drawn over the view: from the MLS cursor on, 4N samples earlier
// when SplOnlyEq is 0 (a start before sample 0 reads from 0); 16N points at 44.1 and 48 kHz, 8N at 96 kHz.
struct MlsOverlaySpan {
    long start, count;
};
MlsOverlaySpan MlsOverlayOf(long cursor, uint32_t SplOnlyEq, int N, uint32_t HV_Sampling);
double MlsOverlayLinearY(const IrView& v, double m);   // 20 + 9u - 0.0001 x 20 IrMagGain m
double MlsOverlayLogY(const IrView& v, double m);      // 20 + u - 2u log10(|3.6e-7 x 20 IrMagGain m| + 1e-17)

// The temporal mask: three decaying curves whose constants depend on the block size b and the rate index r.
struct TemporalMask {
    double c;                  // 2.69 for b 0 and 1, 2.48 for 2, 2.23 for 3
    double k1[2], k2[2];       // curves 1 and 2
    double k2_tail;            // curve 3
};
TemporalMask TemporalMaskOf(uint32_t HV_Buffer_Size, uint32_t HV_Sampling);
// Point j of curve 1 or 2 (at sample 2j) and of curve 3 (at sample 4N + j).
double TemporalMaskY(const IrView& v, const TemporalMask& m, int curve, int j, int N);

// "P%d" and "%.1fms" of a block line at sample t.
std::string IrBlockLabel(long t, int N);
std::string IrBlockTimeLabel(long t, int sample_rate);

// Scales of the SPL/phase view (client Ws x Hs): U = (Hs - 40) / 18; SPL s at 20 + 2U - (U / 10) s, phase p at
// 20 + 9U - (U / 20) p, held in 19..Hs - 21.
int IrSplY(int hs, double spl_db);
int IrPhaseY(int hs, double phase_deg);
// Level labels "%.0f" of 20 - 10k and phase labels of 180 - 20k.
std::string IrSplLabel(int k);
std::string IrPhaseLabel(int k);
