#pragma once
// The data path of one MLS run, from the raw capture to the two aligned impulse responses: the split of the
// interleaved capture into the reference (left) and measured (right) channels, the start-offset correction
// between the two streams, the two deconvolution passes of each channel and the alignment on the reference
// peak. The MLS page and the room equalizer run the same steps on their captures.
//
// The capture layout is what the measurement threads write: 330 periods of 1024 interleaved stereo frames,
// 16-bit samples or 32-bit containers with 24 valid bits in their upper three bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "measure/mls_sequence.h"

struct ColourEntry;
struct PlotCurve;

inline constexpr int kMlsCapturePeriods = 330;
inline constexpr int kMlsRenderPeriods = 256;
inline constexpr int kMlsPeriodFrames = 1024;
inline constexpr std::size_t kMlsCaptureBytes = 3162000;  // MlsCaptureBuffer and MlsSavedBuffer
inline constexpr int kMlsSplitFrames = 263500;            // frames split into each channel
inline constexpr int kMlsImpulseFloats = 1072000;         // MlsImpulseRef, MlsImpulseIn
inline constexpr int kMlsChannelSpan = 536000;            // entries of a channel the run clears and moves
inline constexpr int kMlsPassEntries = 268000;            // entries of one deconvolution pass's arrays
inline constexpr int kMlsPeakSearch = 100000;             // the peak is searched in entries 0..99,999
inline constexpr int kMlsResponseStart = 50;              // time zero of the aligned responses
inline constexpr int kMlsAlignedPeak = 60;                // where the reference peak lands
inline constexpr int kMlsPeakLead = kMlsAlignedPeak - kMlsResponseStart;
inline constexpr int32_t kMlsDelayReadLimit = 192000;     // interleaved samples
inline constexpr int kMlsDisplayPoints = 2000;            // the impulse window's 2000-sample traces

// 24-bit samples are the container shifted right by 8, times 1/102.
inline constexpr double kMlsScale24 = 0.00980392156862745;

// Bytes of one captured frame, and the bytes of a capture that a measurement keeps (263,500 frames).
constexpr std::size_t MlsFrameBytes(uint32_t capture24) { return capture24 ? 8 : 4; }
constexpr std::size_t MlsSavedBytes(uint32_t capture24) { return MlsFrameBytes(capture24) * kMlsSplitFrames; }

// Delay Read: d = 2 trunc(fs x 0.001 x ms) interleaved samples when `on` is 1, held within 0..192,000; 0 when it
// is off or the text is not a finite number.
int32_t MlsDelayReadSamples(uint32_t on, const char* ms_text, double fs);

struct MlsSplitSettings {
    uint32_t capture24 = 0;
    int32_t delay_read = 0;     // d: the measured channel is read d/2 frames later
    int32_t ref_polarity = 1;   // MlsRefPolarity (-1 inverts)
    int32_t data_polarity = 1;  // MlsDataPolarity
};

// The largest absolute sample of each channel, before the polarity.
struct MlsLevels {
    float ref = 0.0f;
    float in = 0.0f;
};

// Splits frames 0..263,499 of the capture into ref[f] = polarity x value(2f) and in[f] = polarity x
// value(2f + 1 + d), and clears entries 263,500..535,999 of both. Samples past `capture_bytes` read as 0.
// Both channels hold kMlsChannelSpan floats. The levels are taken over all frames.
MlsLevels SplitMlsCapture(const uint8_t* capture, std::size_t capture_bytes, const MlsSplitSettings& s, float* ref,
                          float* in);

// The start offset of a run: the render stamp minus the capture stamp in whole milliseconds, and the shift
// (nine tenths of it in samples) when it is above 10 ms. `stamps_valid` is false when a thread failed or did not
// stamp its first period: the stamps then mean nothing and no correction is made. The shift is held within
// 0..kMlsSplitFrames, what the channels hold.
struct MlsStartOffset {
    int32_t offset_ms = 0;
    int32_t shift = 0;  // k: both channels move this many samples earlier
};
MlsStartOffset MlsStartOffsetOf(const uint32_t stamps[2], double tick_ms, double fs, bool stamps_valid);

// Moves both channels `shift` samples earlier over their first kMlsChannelSpan entries (entries that come from
// beyond the span become 0).
void ShiftMlsChannels(float* ref, float* in, int32_t shift);

// Buffers of the deconvolution.
struct MlsDeconvolutionBuffers {
    MlsTables tables;
    float* hadamard = nullptr;  // 2^order floats
    float* pass = nullptr;      // kMlsPassEntries floats: one pass's response
    float* raw = nullptr;       // L + kMlsPeakSearch floats: the channel's raw samples
};

// Index of the largest |y[i]| over i < count (the first of equal ones); 0 when all are 0.
int32_t MlsPeakIndex(const float* y, int count);

struct MlsFirstPass {
    int32_t peak = 0;          // the peak index of the first-pass response
    float peak_value = 0.0f;   // the response there
};

// First pass over a channel: its raw samples are kept in b.raw, the response goes to b.pass.
MlsFirstPass MlsDeconvolveFirstPass(const float* channel, int order, const MlsDeconvolutionBuffers& b);

// Second pass: the raw samples before `own_peak` are taken one period later, the channel is deconvolved again
// and aligned on `align_peak` (the reference's peak for both channels): channel[50 + i] = response[align_peak -
// 10 + i] for i < L, entries 0..49 and from 50 + L on 0 (over the first kMlsPassEntries).
void MlsDeconvolveSecondPass(float* channel, int order, int32_t own_peak, int32_t align_peak,
                             const MlsDeconvolutionBuffers& b);

struct MlsAnalysisResult {
    int32_t ref_peak = 0;         // RefPeakIndex
    int32_t in_peak = 0;          // InPeakIndex
    float in_peak_value = 0.0f;   // the measured first-pass response at its peak
    MlsStartOffset offset;
};

// The start-offset shift, then both channels deconvolved and aligned on the reference peak (reference first).
MlsAnalysisResult AnalyseMlsChannels(float* ref, float* in, int order, const MlsStartOffset& offset,
                                     const MlsDeconvolutionBuffers& b);

// The whole path from a capture: split, start offset, deconvolution. Levels go to *levels when not null.
MlsAnalysisResult AnalyseMlsCapture(const uint8_t* capture, std::size_t capture_bytes, const MlsSplitSettings& split,
                                    const MlsStartOffset& offset, int order, float* ref, float* in,
                                    const MlsDeconvolutionBuffers& b, MlsLevels* levels);

// "Ref %d,  Meas %d, IR[Meas] %.1f, Delta %d  ": the frequency-domain window's title after a run.
std::string MlsPeaksTitle(const MlsAnalysisResult& r);
// The debug lines of the start-offset correction: "R = %d, C = %d, Od = %d" and "D1 = %d, k = %d".
std::string MlsStampsText(const uint32_t stamps[2], int32_t offset_ms);
std::string MlsShiftText(const MlsStartOffset& offset);

// One trace of the impulse window: 0.01 x the channel's first `points` samples (2000 in the MLS impulse
// window, 3100 in the room equalizer's displays), then at value `points` the visible flag 1.0 and after it the
// pen (red, green, blue, thickness, type).
void FillImpulseTrace(PlotCurve* slot, const float* channel, const ColourEntry& pen, int points = kMlsDisplayPoints);
