#include "measure/room_eq.h"

#include <cmath>
#include <cstring>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "design/network_model.h"
#include "engine/fft.h"
#include "measure/ir_windows.h"
#include "measure/mls_analysis.h"
#include "measure/mls_sequence.h"
#include "measure/mls_spl.h"

namespace {

constexpr int kGridBins = kRoomEqGridBins;
constexpr int kResponseBins = kResponsePoints;   // what the element response holds
constexpr int kReferenceStart = 50;              // the reference is always read from its aligned start
constexpr double kLevelFloor = 1e-16;            // -160 dB for a bin of exactly 0
constexpr double kAverageFloor = 1e-13;
constexpr float kEmptyLevel = -160.0f;
constexpr float kCorrectionFloor = 0.0001f;
constexpr double kZeroReference = 1e-10;         // real parts of exactly 0 before atan2
constexpr double kZeroMeasured = 1e-12;
constexpr double kZeroAverage = 1e-9;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kDelayScale = 9.0 / 3.141592653589793;  // excess group delay from degrees per hertz
constexpr double kUnwrapJump = 270.0;
constexpr int kMaxStrideLog2 = 6;
constexpr double kStrideTolerance = 0.01;

float* Values(const RoomEqBuffers& b, int slot) { return b.curves[slot].Values; }

// Visible flag and the pen of one colour-scheme entry.
void SetHeader(PlotCurve& c, const ColourEntry& pen) {
    c.Visible = 1.0f;
    CopyCurvePen(c, pen);
}

double LevelDb(double re, double im, double floor) { return 10.0 * std::log10(re * re + im * im + floor); }

// One spectrum of 2^order points from a response read from `start`, windowed: complex, interleaved, in b.fft.
void WindowedSpectrum(const float* response, int32_t start, int order, const RoomEqBuffers& b) {
    const int m = 1 << order;
    std::memset(b.fft, 0, 2 * static_cast<std::size_t>(m) * sizeof(float));
    for (int k = 0; k < m; ++k) b.fft[2 * k] = response[start + k] * b.ir_window[k];
    ComplexFft(2 * m, -1, b.fft, b.fft_tables.bit_reverse, b.fft_tables.twiddle);
}

// The measured mean of the location sums (slots 32 and 33 hold real and imaginary parts until then) back to
// dB and degrees.
void StoreAverage(float* level, float* phase, int k, double re, double im) {
    level[k] = static_cast<float>(LevelDb(re, im, kAverageFloor) - kRoomEqLevelOffset);
    phase[k] = static_cast<float>(std::atan2(im, re == 0.0 ? kZeroAverage : re) * kDegreesPerRadian);
}

double Amplitude(float level_db) { return std::pow(10.0, 0.05 * (level_db + kRoomEqLevelOffset)); }

int CorrectionElement(const PaneRecord& net, float output) {
    const int count = ElementListLength(net);
    for (int i = 0; i < count; ++i)
        if (net.elements[i].kind == OutputPort && net.params[i].p[kParamOutputNumber] - 1.0f == output) return i;
    return -1;
}

void FillFlat(float* spectrum) {
    for (int k = 0; k < kGridBins; ++k) {
        spectrum[2 * k] = 1.0f;
        spectrum[2 * k + 1] = 0.0f;
    }
}

RoomEqTransformGrid TransformGrid(const RoomEqBuffers& b) {
    RoomEqTransformGrid g;
    g.bin_frequency = b.bin_frequency;
    g.block_frames = b.block_frames;
    g.buffer_size_index = b.buffer_size_index;
    g.input_db = b.min_phase_db;
    g.spectrum = b.min_phase_spectrum;
    g.method = b.method;
    return g;
}

int LocationRunOrder(int order) { return order < kMlsMinOrder ? kMlsMinOrder : order > kMlsMaxOrder ? kMlsMaxOrder : order; }

}  // namespace

RoomEqStrideCheck RoomEqBinStride(double grid_spacing, double mls_spacing, int* stride) {
    if (!(grid_spacing > 0.0) || !(mls_spacing > 0.0) || !std::isfinite(grid_spacing) || !std::isfinite(mls_spacing))
        return RoomEqStrideCheck::kRatesDoNotFit;
    const double ratio = grid_spacing / mls_spacing;
    const int n = static_cast<int>(std::lround(std::log2(ratio)));
    if (std::fabs(ratio / std::ldexp(1.0, n) - 1.0) > kStrideTolerance || n > kMaxStrideLog2)
        return RoomEqStrideCheck::kRatesDoNotFit;
    // The MLS bins are coarser than the grid: a smaller block widens the grid's bins.
    if (n < 0) return RoomEqStrideCheck::kBufferTooLarge;
    if (stride) *stride = 1 << n;
    return RoomEqStrideCheck::kFits;
}

int CheckLocationRunSettings(int order, uint32_t rate_index, const char* window_width, double grid_spacing,
                             int* stride, MessageList* out) {
    const int m = 1 << LocationRunOrder(order);
    if (IrWindowWidthAsTyped(window_width) > m - 1) {
        AddWarning(out, kReduceWindowLength);
        return 1;
    }
    switch (RoomEqBinStride(grid_spacing, SampleRateOf(rate_index) / static_cast<double>(m), stride)) {
        case RoomEqStrideCheck::kFits: return 0;
        case RoomEqStrideCheck::kBufferTooLarge: AddWarning(out, kReduceBufferSize); return 1;
        case RoomEqStrideCheck::kRatesDoNotFit: AddWarning(out, kRatesDoNotFit); return 1;
    }
    return 1;
}

void FillRoomEqWindowTrace(PlotCurve* slot, const float* ir_window, int32_t cursor) {
    float* v = slot->Values;
    for (int k = 0; k < kRoomEqWindowPoints; ++k)
        v[k] = (k < cursor || k == 0) ? 0.0f : kRoomEqWindowTraceScale * ir_window[k - cursor];
    v[kRoomEqWindowPoints] = 1.0f;
}

int AnalyseLocationRun(const float* impulse_ref, const float* impulse_in, const LocationAnalysisSettings& s,
                       const RoomEqBuffers& b, MessageList* out) {
    for (int k = 0; k < kGridBins; ++k) {
        b.spectrum_table[2 * k] = kEmptyLevel;
        b.spectrum_table[2 * k + 1] = 0.0f;
    }
    std::memset(b.reference_db, 0, kGridBins * sizeof(float));
    std::memset(b.reference_phase, 0, kGridBins * sizeof(float));
    int stride = 1;
    if (CheckLocationRunSettings(s.order, s.rate_index, s.window_width, b.bin_frequency[1], &stride, out) != 0) return 1;
    const int order = LocationRunOrder(s.order);
    const int m = 1 << order;
    BuildIrWindow(s.window_type, s.window_width, order, b.ir_window, b.ir_window_shape);
    // The measured response is read from the cursor, held so that a whole sequence fits the buffer.
    const int32_t cursor = s.cursor < 0 ? 0 : s.cursor > kMlsImpulseFloats - m ? kMlsImpulseFloats - m : s.cursor;
    FillRoomEqWindowTrace(&b.curves[kRoomEqWindowSlot], b.ir_window, cursor);

    const double r = SampleRateOf(s.rate_index) / static_cast<double>(m);

    // The reference's level per bin, turned into the correction that flattens it relative to its strongest bin,
    // and its phase.
    WindowedSpectrum(impulse_ref, kReferenceStart, order, b);
    float largest = 0.0f;
    for (int k = 0; k < kGridBins; ++k) {
        const double re = k < m ? b.fft[2 * k] : 0.0, im = k < m ? b.fft[2 * k + 1] : 0.0;
        const float db = std::fmax(static_cast<float>(LevelDb(re, im, kLevelFloor)), kCorrectionFloor);
        b.reference_db[k] = db;
        b.reference_phase[k] = static_cast<float>(std::atan2(im, re == 0.0 ? kZeroReference : re));
        largest = std::fmax(largest, std::fabs(db));
    }
    for (int k = 0; k < kGridBins; ++k) b.reference_db[k] = largest - b.reference_db[k];

    // The measured response, delayed by p11, over the reference, every stride-th bin onto the grid.
    WindowedSpectrum(impulse_in, cursor, order, b);
    const double delay_per_bin = 0.001 * s.added_delay_ms * kTwoPi * r;
    for (int k = 0; k < kGridBins; k += stride) {
        double re = 0.0, im = 0.0;
        if (k < m) {
            const double x = b.fft[2 * k], y = b.fft[2 * k + 1];
            const double w = delay_per_bin * k;
            re = std::cos(w) * x + std::sin(w) * y;
            im = std::cos(w) * y - std::sin(w) * x;
        }
        const double level = LevelDb(re, im, kLevelFloor) + b.reference_db[k] + s.added_db;
        const double phi = b.reference_phase[k];
        double re2 = std::cos(phi) * re + std::sin(phi) * im;
        const double im2 = std::cos(phi) * im - std::sin(phi) * re;
        if (re2 == 0.0) re2 = kZeroMeasured;
        const int j = k / stride;
        b.spectrum_table[2 * j] = static_cast<float>(level);
        b.spectrum_table[2 * j + 1] = static_cast<float>(std::atan2(im2, re2) * kDegreesPerRadian);
    }

    const int location = s.location < 0 ? 0 : s.location >= kRoomEqLocationCount ? kRoomEqLocationCount - 1 : s.location;
    PlotCurve& spl = b.curves[kRoomEqLocationSplSlot + location];
    PlotCurve& phase = b.curves[kRoomEqLocationPhaseSlot + location];
    SetHeader(spl, b.colours[kPenLocationSpl]);
    SetHeader(phase, b.colours[kPenLocationPhase]);
    for (int k = 0; k < kGridBins; ++k) {
        spl.Values[k] = b.spectrum_table[2 * k] - static_cast<float>(kRoomEqLevelOffset);
        phase.Values[k] = b.spectrum_table[2 * k + 1];
    }
    spl.Trailer[0] = 1.0f;
    return 0;
}

bool RoomEqLocationMeasured(const PlotCurve* curves, int location) {
    return location >= 0 && location < kRoomEqLocationCount && curves[kRoomEqLocationSplSlot + location].Trailer[0] == 1.0f;
}

bool ComputeRoomEq(const PaneRecord& net, int element, int eq_threshold, const RoomEqBuffers& b) {
    const float* p = net.params[element].p;
    const bool scalar = p[kParamInputNode] == 1.0f;  // p14
    float* level = Values(b, kRoomEqAverageSplSlot);
    float* phase = Values(b, kRoomEqAveragePhaseSlot);
    std::memset(level, 0, kGridBins * sizeof(float));
    std::memset(phase, 0, kGridBins * sizeof(float));

    // Average: the sums of the measured locations' complex responses (or of their magnitudes).
    int n = 0;
    for (int i = 0; i < kRoomEqLocationCount; ++i) {
        if (!RoomEqLocationMeasured(b.curves, i)) continue;
        ++n;
        const float* l = Values(b, kRoomEqLocationSplSlot + i);
        const float* a = Values(b, kRoomEqLocationPhaseSlot + i);
        for (int k = 0; k < kGridBins; ++k) {
            const double amplitude = Amplitude(l[k]);
            if (scalar) {
                level[k] = static_cast<float>(level[k] + amplitude);
            } else {
                const double phi = a[k] * kRadiansPerDegree;
                level[k] = static_cast<float>(level[k] + amplitude * std::cos(phi));
                phase[k] = static_cast<float>(phase[k] + amplitude * std::sin(phi));
            }
        }
    }
    if (n > 0)
        for (int k = 0; k < kGridBins; ++k) StoreAverage(level, phase, k, level[k] / n, phase[k] / n);

    // Correction by the driver equalization of one output port.
    if (p[kParamPlotFlag] != kNoCorrectionOutput) {
        const int x = CorrectionElement(net, p[kParamPlotFlag]);
        if (x >= 0) {
            const ComplexPoint* eq = net.element_responses[x].points;
            for (int k = 0; k < kResponseBins; ++k) {
                const double amplitude = Amplitude(level[k]);
                const double phi = phase[k] * kRadiansPerDegree;
                const double re = amplitude * std::cos(phi), im = amplitude * std::sin(phi);
                StoreAverage(level, phase, k, re * eq[k].re - im * eq[k].im, re * eq[k].im + im * eq[k].re);
            }
        }
    }
    SetHeader(b.curves[kRoomEqAverageSplSlot], b.colours[kPenLocationSpl]);
    SetHeader(b.curves[kRoomEqAveragePhaseSlot], b.colours[kPenLocationPhase]);

    // Cut-only EQ: everything above the threshold inside the band comes down to it.
    const float threshold = static_cast<float>(kRoomEqThresholdDefault - eq_threshold);
    const float band_low = p[kParamLowEdge], band_high = p[kParamHighEdge];
    float* eq = Values(b, kRoomEqEqSplSlot);
    float* equalized = Values(b, kRoomEqEqualizedSlot);
    for (int k = 0; k < kGridBins; ++k) {
        const float f = b.bin_frequency[k];
        eq[k] = (level[k] > threshold && band_low < f && f <= band_high) ? threshold - level[k] : 0.0f;
        equalized[k] = level[k] + eq[k];
    }
    SetHeader(b.curves[kRoomEqEqSplSlot], b.colours[kPenEqSpl]);
    SetHeader(b.curves[kRoomEqEqualizedSlot], b.colours[kPenEqualized]);

    // The EQ's minimum phase: the phase of the minimum-phase spectrum of its magnitude, so that the stored
    // response is the causal minimum-phase EQ.
    const RoomEqTransformGrid grid = TransformGrid(b);
    FillFlat(b.min_phase_spectrum);
    RoomEqMinimumPhase(eq, band_low, band_high, grid);
    float* eq_phase = Values(b, kRoomEqEqPhaseSlot);
    for (int k = 0; k < kGridBins; ++k)
        eq_phase[k] = static_cast<float>(
            std::atan2(b.min_phase_spectrum[2 * k + 1], b.min_phase_spectrum[2 * k]) * kDegreesPerRadian);
    SetHeader(b.curves[kRoomEqEqPhaseSlot], b.colours[kPenEqPhase]);

    // The room's minimum phase, taken out of its measured phase: the excess phase.
    FillFlat(b.min_phase_spectrum);
    MeasuredMinimumPhase(level, p[kParamFilterGain], grid);
    float* min_phase = Values(b, kRoomEqMinimumPhaseSlot);
    float* excess = Values(b, kRoomEqExcessPhaseSlot);
    for (int k = 0; k < kGridBins; ++k) {
        // The phase of 1/H: the angle of its conjugate.
        min_phase[k] = static_cast<float>(
            std::atan2(-b.min_phase_spectrum[2 * k + 1], b.min_phase_spectrum[2 * k]) * kDegreesPerRadian);
        excess[k] = scalar ? phase[k] : min_phase[k] + phase[k];
    }

    float* unwrapped = Values(b, kRoomEqUnwrappedSlot);
    float* unwrapped_copy = Values(b, kRoomEqUnwrappedCopySlot);
    float offset = 0.0f, previous = 0.0f;
    for (int k = 0; k < kGridBins; ++k) {
        float x = excess[k] + offset;
        if (k > 0 && std::fabs(previous - x) > kUnwrapJump) {
            const float turn = previous < x ? -360.0f : 360.0f;
            x += turn;
            offset += turn;
        }
        unwrapped[k] = unwrapped_copy[k] = x;
        previous = x;
    }
    b.curves[kRoomEqUnwrappedSlot].Visible = 1.0f;

    float* delay = Values(b, kRoomEqGroupDelaySlot);
    const float* f = b.bin_frequency;
    for (int k = 0; k + 1 < kGridBins; ++k)
        delay[k] = static_cast<float>(
            std::fabs(kDelayScale * (unwrapped_copy[k + 1] - unwrapped_copy[k]) / (double(f[k + 1]) - f[k])));
    SetHeader(b.curves[kRoomEqGroupDelaySlot], b.colours[kPenGroupDelay]);

    // An infinite average (or a NaN from it) would be drawn as garbage and stored as no EQ at all.
    for (int slot = kRoomEqEqSplSlot; slot <= kRoomEqAveragePhaseSlot; ++slot)
        for (int k = 0; k < kGridBins; ++k)
            if (!std::isfinite(Values(b, slot)[k])) {
                for (int c = kRoomEqEqSplSlot; c <= kRoomEqAveragePhaseSlot; ++c)
                    std::memset(Values(b, c), 0, kGridBins * sizeof(float));
                return false;
            }
    return true;
}

bool StoreRoomEqResponse(WorkingNetwork* net, int element, const PlotCurve* curves) {
    const bool amplitude_only = net->params[element].p[kParamPolarity] == 1.0f;  // p12
    const float* eq = curves[kRoomEqEqSplSlot].Values;
    const float* eq_phase = curves[kRoomEqEqPhaseSlot].Values;
    auto point = [&](int k) {
        const double a = std::pow(10.0, 0.05 * eq[k]);
        const double phi = eq_phase[k] * kRadiansPerDegree;
        return ComplexPoint{static_cast<float>(amplitude_only ? a : a * std::cos(phi)),
                            amplitude_only ? 0.0f : static_cast<float>(a * std::sin(phi))};
    };
    // What the solver multiplies with must be a number: an EQ that is not is refused whole, never flattened.
    for (int k = 0; k < kResponseBins; ++k) {
        const ComplexPoint c = point(k);
        if (!std::isfinite(c.re) || !std::isfinite(c.im)) return false;
    }
    ComplexPoint* out = net->element_responses[element].points;
    for (int k = 0; k < kResponseBins; ++k) out[k] = point(k);
    return true;
}

void ClearRoomEqCurves(PlotCurve* curves, int first, int last) {
    for (int s = first; s <= last && s < kRoomEqCurveCount; ++s) std::memset(&curves[s], 0, sizeof(PlotCurve));
}
