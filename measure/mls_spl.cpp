#include "measure/mls_spl.h"

#include <cmath>
#include <cstring>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "engine/fft.h"
#include "measure/ir_windows.h"
#include "measure/mls_analysis.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kLevelFloor = 1e-16;
constexpr double kZeroPhaseRe = 1e-12;      // an exactly zero real part before atan2 (results)
constexpr double kZeroReferenceRe = 1e-10;  // the same for the reference phase
constexpr float kNormaliserFloorDb = 0.0001f;
constexpr int kResyncInterval = 4096;       // running sums are summed afresh this often

// Complex smoothing levels: pc and kc of w = trunc(kc (log10(1 + 0.025 i))^pc).
constexpr struct {
    double pc, kc;
} kSmoothingLevel[kCplxSmoothingLevels] = {{0, 0}, {3, 1}, {4, 1}, {4, 2}, {4, 3}, {4, 4}, {4, 5}, {5, 5}, {5, 8}};

// Colour scheme entries of the SPL slot n and of the phase slot 10 + m.
constexpr int kSplSlotColour[kMlsSlotPairs] = {1, 6, 3, 4, 5, 2, 7, 8, 9, 10};
constexpr int kPhaseSlotColour[kMlsSlotPairs] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 1};

struct LinearStepRow {
    double system_lo, system_hi, measured_lo, measured_hi;
    int step;
};
constexpr LinearStepRow kLinearSteps[] = {
    {10.5, 11.0, 0.155, 0.171, 64}, {5.3, 5.4, 0.155, 0.171, 32},  {2.6, 2.75, 0.155, 0.171, 16},
    {1.3, 1.4, 0.155, 0.171, 8},    {23.0, 23.6, 0.34, 0.38, 64},  {11.5, 12.0, 0.17, 0.19, 64},
    {11.5, 12.0, 0.34, 0.38, 32},   {5.8, 5.9, 0.17, 0.19, 32},    {5.8, 5.9, 0.34, 0.38, 16},
    {2.9, 2.95, 0.17, 0.19, 16},    {2.9, 2.95, 0.34, 0.38, 8},    {1.4, 1.5, 0.17, 0.19, 8},
};

double LevelDb(double re, double im) { return 10.0 * std::log10(re * re + im * im + kLevelFloor); }

double PhaseOf(double re, double im, double zero_re) { return std::atan2(im, re == 0.0 ? zero_re : re); }

float At(const float* x, long k, long L) { return (k < 0 || k >= L) ? 0.0f : x[k]; }

// --- the kernels ---

int SmoothLiteral(const float* x, float* y, int L, uint32_t level) {
    int w_prev = 0;
    int i = 0;
    for (; i < L - w_prev; ++i) {
        const int w = ComplexSmoothingHalfWidth(i, level);
        double sum = 0.0;
        for (long k = static_cast<long>(i) - w; k <= static_cast<long>(i) + w; ++k) sum += At(x, k, L);
        y[i] = static_cast<float>(sum / (2.0 * w + 1.0));
        w_prev = w;
    }
    return i;
}

// The window [lo, hi] only ever grows at its right end and moves right at its left end, since the half width
// never decreases: a running sum serves, summed afresh now and then so that no rounding accumulates.
int SmoothRunning(const float* x, float* y, int L, uint32_t level) {
    int w_prev = 0;
    int i = 0;
    long lo = 0, hi = -1;
    double sum = 0.0;
    for (; i < L - w_prev; ++i) {
        const int w = ComplexSmoothingHalfWidth(i, level);
        const long new_lo = static_cast<long>(i) - w;
        const long new_hi = static_cast<long>(i) + w;
        if (i % kResyncInterval == 0 || new_lo < lo) {
            lo = new_lo;
            hi = new_hi;
            sum = 0.0;
            for (long k = lo; k <= hi; ++k) sum += At(x, k, L);
        } else {
            while (hi < new_hi) sum += At(x, ++hi, L);
            while (lo < new_lo) sum -= At(x, lo++, L);
        }
        y[i] = static_cast<float>(sum / (2.0 * w + 1.0));
        w_prev = w;
    }
    return i;
}

void MapLiteral(const float* lf, int points, int L, double delta, double nyquist, int32_t* bin_of_point) {
    for (int j = 0; j < points; ++j) bin_of_point[j] = -1;
    for (int i = 0; i < L; ++i) {
        const double f = i * delta;
        int j = 0;
        while (j < points && !(lf[j] > f)) ++j;
        if (j < points && lf[j] < nyquist) bin_of_point[j] = i;
    }
}

void MapWalk(const float* lf, int points, int L, double delta, double nyquist, int32_t* bin_of_point) {
    for (int j = 0; j < points; ++j) bin_of_point[j] = -1;
    int j = 0;
    for (int i = 0; i < L; ++i) {
        const double f = i * delta;
        while (j < points && !(lf[j] > f)) ++j;
        if (j == points) break;  // every later bin lies beyond the grid too
        if (lf[j] < nyquist) bin_of_point[j] = i;
    }
}

void CascadeLiteral(float* c, int g, int passes, float* t) {
    std::memcpy(t, c, static_cast<std::size_t>(g) * sizeof(float));
    for (int p = 0; p < passes; ++p) {
        for (int j = p; j < g - p; ++j) {
            double sum = 0.0;
            for (int k = j - p; k <= j + p; ++k) sum += t[k];
            c[j] = static_cast<float>(sum / (2 * p + 1));
        }
        std::memcpy(t, c, static_cast<std::size_t>(g) * sizeof(float));
    }
}

void CascadeRunning(float* c, int g, int passes, float* t) {
    std::memcpy(t, c, static_cast<std::size_t>(g) * sizeof(float));
    for (int p = 0; p < passes; ++p) {
        if (g - p <= p) break;
        double sum = 0.0;
        for (int k = 0; k <= 2 * p; ++k) sum += t[k];
        for (int j = p; j < g - p; ++j) {
            if (j > p) {
                if ((j - p) % kResyncInterval == 0) {
                    sum = 0.0;
                    for (int k = j - p; k <= j + p; ++k) sum += t[k];
                } else {
                    sum += static_cast<double>(t[j + p]) - t[j - p - 1];
                }
            }
            c[j] = static_cast<float>(sum / (2 * p + 1));
        }
        std::memcpy(t, c, static_cast<std::size_t>(g) * sizeof(float));
    }
}

// --- the steps ---

// Points that received no bin are holes; the walk bridges each run of holes with a straight line from the
// last valid point to the next one. Level rule: valid above -160 dB, starting from point 0's value. Phase
// rule: valid when not exactly 0, starting from 0.
void FillHoles(float* pairs, int which, int points, bool phase_rule) {
    FillLogGridHoles(pairs + which, 2, points, phase_rule);
}

// The calibration of one point: the response A dB, phi degrees divided by the curve's Ac, phic.
void Calibrate(float* level_db, float* phase_deg, double cal_db, double cal_deg) {
    const double m = std::pow(10.0, 0.05 * *level_db);
    const double c = std::pow(10.0, -0.05 * cal_db);
    const double angle = (*phase_deg - cal_deg) / kSplDegreesPerRadian;
    const double re = m * c * std::cos(angle);
    const double im = m * c * std::sin(angle);
    *level_db = static_cast<float>(LevelDb(re, im));
    *phase_deg = static_cast<float>(kSplDegreesPerRadian * PhaseOf(re, im, kZeroPhaseRe));
}

double WrapDegrees(double d) {
    while (d > 180.0) d -= 360.0;
    while (d < -180.0) d += 360.0;
    return d;
}

// The calibration curve at a log-grid frequency: interpolated between the two bins of the system's grid
// around it, the phase along the shorter way round.
CalPoint CalibrationAt(const CalPoint* curve, double f, double spacing) {
    double q = (spacing > 0.0 && std::isfinite(spacing)) ? f / spacing : 0.0;
    if (!(q > 0.0)) q = 0.0;
    const double last = kSplLinearPoints - 1;
    if (q >= last) return curve[kSplLinearPoints - 1];
    const auto k = static_cast<int>(q);
    const double t = q - k;
    const CalPoint& a = curve[k];
    const CalPoint& b = curve[k + 1];
    CalPoint r;
    r.spl_db = static_cast<float>(a.spl_db + t * (static_cast<double>(b.spl_db) - a.spl_db));
    r.phase_deg = static_cast<float>(a.phase_deg + t * WrapDegrees(static_cast<double>(b.phase_deg) - a.phase_deg));
    return r;
}

void CalibrateLogGrid(HV_Driver_Data* d, const CalPoint* curve, const float* lf, double spacing) {
    for (int j = 0; j < kSplLogPoints; ++j) {
        const CalPoint c = CalibrationAt(curve, lf[j], spacing);
        Calibrate(&d->spl_log[j], &d->phase_log[j], c.spl_db, c.phase_deg);
    }
}

void CalibrateLinearGrid(HV_Driver_Data* d, const CalPoint* curve) {
    for (int k = 0; k < kSplLinearPoints; ++k)
        Calibrate(&d->spl_lin[k], &d->phase_lin[k], curve[k].spl_db, curve[k].phase_deg);
}

// Multiplies bin k of the spectrum by e^(-i 2 pi k delta tau) for every bin.
void Rotate(float* spectrum, int L, double delta, double tau) {
    for (int k = 0; k < L; ++k) {
        const double theta = 2.0 * kPi * (k * delta) * tau;
        const double c = std::cos(theta), s = std::sin(theta);
        const double re = spectrum[2 * k], im = spectrum[2 * k + 1];
        spectrum[2 * k] = static_cast<float>(re * c + im * s);
        spectrum[2 * k + 1] = static_cast<float>(im * c - re * s);
    }
}

// Smooths the real and the imaginary parts of the spectrum into b.re and b.im (through the copy array); returns
// the bin where smoothing stopped.
int SmoothSpectrum(const SplBuffers& b, int L, uint32_t level, SplMethod method) {
    int stop = 0;
    for (int part = 0; part < 2; ++part) {
        float* dest = part == 0 ? b.re : b.im;
        for (int i = 0; i < L; ++i) b.copy[i] = b.spectrum[2 * i + part];
        stop = SmoothSpectrumPart(b.copy, dest, L, level, method);
    }
    return stop;
}

void ResetResults(const SplBuffers& b) {
    HV_Driver_Data* d = b.driver;
    for (int j = 0; j < kSplLogPoints; ++j) {
        d->spl_log[j] = kSplFloorDb;
        d->phase_log[j] = 0.0f;
        b.ref_log_response[2 * j] = b.meas_log_response[2 * j] = kSplFloorDb;
        b.ref_log_response[2 * j + 1] = b.meas_log_response[2 * j + 1] = 0.0f;
        b.ref_log_normaliser[j] = 0.0f;
    }
    for (int k = 0; k < kSplLinearPoints; ++k) {
        d->spl_lin[k] = kSplFloorDb;
        d->phase_lin[k] = 0.0f;
        b.ref_bin_normaliser[k] = 0.0f;
        b.ref_bin_phase[k] = 0.0f;
    }
}

void StoreSlots(const SplSettings& s, const SplBuffers& b) {
    const uint32_t n = *b.spl_slot % kMlsSlotPairs;
    const uint32_t m = *b.phase_slot % kMlsSlotPairs;
    PlotCurve& spl = b.mls_curves[n];
    PlotCurve& phase = b.mls_curves[kMlsSlotPairs + m];
    const auto efficiency = static_cast<float>(s.efficiency_db);
    for (int k = 0; k < kSplLinearPoints; ++k) {
        spl.Values[k] = b.driver->spl_lin[k] - efficiency;
        phase.Values[k] = b.driver->phase_lin[k];
    }
    spl.Visible = 1.0f;
    phase.Visible = 1.0f;
    CopyCurvePen(spl, b.colours[kSplSlotColour[n]]);
    CopyCurvePen(phase, b.colours[kPhaseSlotColour[m]]);
    *b.spl_slot = (n + 1) % kMlsSlotPairs;
    *b.phase_slot = (m + 1) % kMlsSlotPairs;
}

bool DriverCurvesFinite(const HV_Driver_Data& d) {
    for (int j = 0; j < kSplLogPoints; ++j)
        if (!std::isfinite(d.spl_log[j]) || !std::isfinite(d.phase_log[j])) return false;
    for (int k = 0; k < kSplLinearPoints; ++k)
        if (!std::isfinite(d.spl_lin[k]) || !std::isfinite(d.phase_lin[k])) return false;
    return true;
}

}  // namespace

int SplSmoothingPasses(uint32_t spl_smoothing_index) {
    return spl_smoothing_index < 5 ? (1 << (5 - spl_smoothing_index)) / 2 : 0;
}

int ComplexSmoothingHalfWidth(long i, uint32_t level) {
    if (level == 0 || level >= static_cast<uint32_t>(kCplxSmoothingLevels) || i <= 0) return 0;
    const double u = std::log10(1.0 + 0.025 * static_cast<double>(i));
    return static_cast<int>(kSmoothingLevel[level].kc * std::pow(u, kSmoothingLevel[level].pc));
}

int LinearGridStep(double system_spacing, double measurement_spacing) {
    for (const LinearStepRow& r : kLinearSteps) {
        if (system_spacing > r.system_lo && system_spacing < r.system_hi && measurement_spacing > r.measured_lo &&
            measurement_spacing < r.measured_hi)
            return r.step;
    }
    return 0;
}

int SmoothSpectrumPart(const float* x, float* y, int L, uint32_t level, SplMethod method) {
    return method == SplMethod::kLiteral ? SmoothLiteral(x, y, L, level) : SmoothRunning(x, y, L, level);
}

void MapBinsToLogGrid(const float* log_frequency, int points, int L, double delta, double nyquist,
                      int32_t* bin_of_point, SplMethod method) {
    if (method == SplMethod::kLiteral)
        MapLiteral(log_frequency, points, L, delta, nyquist, bin_of_point);
    else
        MapWalk(log_frequency, points, L, delta, nyquist, bin_of_point);
}

void SmoothCurveCascade(float* curve, int g, int passes, float* t, SplMethod method) {
    if (method == SplMethod::kLiteral)
        CascadeLiteral(curve, g, passes, t);
    else
        CascadeRunning(curve, g, passes, t);
}

SplResult CalculateSpl(const SplSettings& s, const SplBuffers& b, MessageList* out, SplMethod method) {
    if (s.ref_peak == 0 || s.in_peak == 0 || s.order < kMlsMinOrder || s.order > kMlsMaxOrder) {
        AddWarning(out, kSplNoImpulse);
        return SplResult::kNoImpulse;
    }
    const int L = 1 << s.order;
    // Both window checks come before anything is reset: a refused calculation keeps the last result.
    if (IrWindowWidthAsTyped(s.window_width) > L - 1) {
        AddWarning(out, kSplWindowTooLong);
        return SplResult::kWindowTooLong;
    }
    const bool two_sided = s.window_type >= kFirstTwoSidedWindow;
    // The two-sided window peaks at the limited half width P, so the segment starts P + 1 before the cursor.
    const int32_t P1 = ReadIrWindowWidths(s.window_width, s.order).P + 1;
    if (two_sided && s.cursor_bin < P1) {
        AddWarning(out, kSplWindowBeforeCursor);
        return SplResult::kWindowBeforeCursor;
    }
    if (!InTypedRange(s.add_db, kAddDbRange, out) || !InTypedRange(s.pulse_delay_ms, kPulseDelayRange, out))
        return SplResult::kOutOfRange;

    ResetResults(b);
    BuildIrWindow(s.window_type, s.window_width, s.order, b.ir_window, b.ir_window_two_sided);
    const double fs = s.sample_rate;
    const double nyquist = fs / 2.0;
    const double delta = fs / L;
    for (float* a : {b.re, b.im, b.copy, b.ref_bin_phase}) std::memset(a, 0, kMlsPassEntries * sizeof(float));
    std::memset(b.spectrum, 0, 2 * static_cast<std::size_t>(L) * sizeof(float));
    const uint32_t level = s.cplx_smoothing;
    const double add_db = s.add_db;
    int32_t bin_of_point[kSplLogPoints];

    // Reference pass: the segment from the response's time zero.
    for (int i = 0; i < L; ++i) {
        const std::size_t k = kMlsResponseStart + static_cast<std::size_t>(i);
        b.spectrum[2 * i] = (k < b.impulse_entries ? b.impulse_ref[k] : 0.0f) * b.ir_window[i];
    }
    ComplexFft(2 * L, -1, b.spectrum, b.fft.bit_reverse, b.fft.twiddle);
    if (two_sided) Rotate(b.spectrum, L, delta, -kTwoSidedAdvanceSamples / fs);
    const int ref_stop = SmoothSpectrum(b, L, level, method);
    for (int i = ref_stop; i < L; ++i) b.re[i] = b.im[i] = 0.0f;

    MapBinsToLogGrid(b.log_frequency, kSplLogPoints, L, delta, nyquist, bin_of_point, method);
    for (int j = 0; j < kSplLogPoints; ++j) {
        const int i = bin_of_point[j];
        if (i >= 0) b.ref_log_response[2 * j] = static_cast<float>(LevelDb(b.re[i], b.im[i]));
    }
    FillHoles(b.ref_log_response, 0, kSplLogPoints, false);
    float largest = 0.0f;
    for (int j = 0; j < kSplLogPoints; ++j) largest = std::fmax(largest, std::fmax(b.ref_log_response[2 * j], kNormaliserFloorDb));
    for (int j = 0; j < kSplLogPoints; ++j) {
        const float c = std::fmax(b.ref_log_response[2 * j], kNormaliserFloorDb);
        b.ref_log_normaliser[j] = b.log_frequency[j] < nyquist ? largest - c : 0.0f;
    }
    largest = 0.0f;
    for (int i = 0; i < kSplLinearPoints; ++i) {
        b.ref_bin_normaliser[i] = std::fmax(static_cast<float>(LevelDb(b.re[i], b.im[i])), kNormaliserFloorDb);
        largest = std::fmax(largest, b.ref_bin_normaliser[i]);
    }
    for (int i = 0; i < kSplLinearPoints; ++i) b.ref_bin_normaliser[i] = largest - b.ref_bin_normaliser[i];
    for (int i = 0; i < L; ++i) b.ref_bin_phase[i] = static_cast<float>(PhaseOf(b.re[i], b.im[i], kZeroReferenceRe));

    // Measured pass: from the cursor (one-sided windows) or centred on it (two-sided ones).
    for (float* a : {b.re, b.im, b.copy}) std::memset(a, 0, kMlsPassEntries * sizeof(float));
    std::memset(b.spectrum, 0, 2 * static_cast<std::size_t>(L) * sizeof(float));
    const long start = two_sided ? static_cast<long>(s.cursor_bin) - P1 : s.cursor_bin;
    for (int i = 0; i < L; ++i) {
        const long k = start + i;
        const float x = (k >= 0 && static_cast<std::size_t>(k) < b.impulse_entries) ? b.impulse_in[k] : 0.0f;
        b.spectrum[2 * i] = x * b.ir_window_two_sided[i];
    }
    ComplexFft(2 * L, -1, b.spectrum, b.fft.bit_reverse, b.fft.twiddle);
    Rotate(b.spectrum, L, delta, s.pulse_delay_ms / 1000.0);
    const int in_stop = SmoothSpectrum(b, L, level, method);
    for (int i = in_stop > 0 ? in_stop : 1; i < L; ++i) {
        b.re[i] = b.re[i - 1];
        b.im[i] = b.im[i - 1];
    }
    // The measured bin relative to the reference: Z = Y e^(-i phase_ref).
    auto relative_phase_deg = [&](int i) {
        const double c = std::cos(b.ref_bin_phase[i]), sn = std::sin(b.ref_bin_phase[i]);
        const double zr = b.re[i] * c + b.im[i] * sn;
        const double zi = b.im[i] * c - b.re[i] * sn;
        return kSplDegreesPerRadian * PhaseOf(zr, zi, kZeroPhaseRe);
    };

    HV_Driver_Data* d = b.driver;
    const int step = LinearGridStep(s.system_bin_spacing, delta);
    if (step > 0) {
        for (int i = 0; i < kSplLinearPoints; i += step) {
            const int k = i / step;
            d->spl_lin[k] = static_cast<float>(LevelDb(b.re[i], b.im[i]) + b.ref_bin_normaliser[i] + add_db);
            d->phase_lin[k] = static_cast<float>(relative_phase_deg(i));
        }
    }

    // The log grid takes the same bins for level and phase (the map depends on the frequencies only).
    for (int j = 0; j < kSplLogPoints; ++j) {
        const int i = bin_of_point[j];
        if (i < 0) continue;
        b.meas_log_response[2 * j] = static_cast<float>(LevelDb(b.re[i], b.im[i]));
        b.meas_log_response[2 * j + 1] = static_cast<float>(relative_phase_deg(i));
    }
    FillHoles(b.meas_log_response, 0, kSplLogPoints, false);
    FillHoles(b.meas_log_response, 1, kSplLogPoints, true);
    for (int j = 0; j < kSplLogPoints; ++j) {
        d->spl_log[j] = static_cast<float>(b.meas_log_response[2 * j] + b.ref_log_normaliser[j] + add_db);
        d->phase_log[j] = b.meas_log_response[2 * j + 1];
    }

    // Calibration, then smoothing: the log grid first, then the linear grid.
    const int passes = SplSmoothingPasses(s.spl_smoothing);
    if (s.use_mike_cal == 1) CalibrateLogGrid(d, b.mike_cal, b.log_frequency, s.system_bin_spacing);
    if (s.use_preamp_cal == 1) CalibrateLogGrid(d, b.preamp_cal, b.log_frequency, s.system_bin_spacing);
    SmoothCurveCascade(d->spl_log, kSplLogPoints, passes, b.copy, method);
    if (passes > 0) {
        std::memcpy(b.copy, d->phase_log, kSplLogPoints * sizeof(float));
        for (int j = passes; j < kSplLogPoints - passes; ++j) {
            double sum = 0.0;
            for (int k = j - passes; k <= j + passes; ++k) sum += b.copy[k];
            d->phase_log[j] = static_cast<float>(sum / (2 * passes + 1));
        }
    }
    if (s.use_mike_cal == 1) CalibrateLinearGrid(d, b.mike_cal);
    if (s.use_preamp_cal == 1) CalibrateLinearGrid(d, b.preamp_cal);
    SmoothCurveCascade(d->spl_lin, kSplLinearPoints, passes, b.copy, method);
    SmoothCurveCascade(d->phase_lin, kSplLinearPoints, passes, b.copy, method);

    // A response beyond float range (an imported impulse of absurd size, a calibration curve far out) would fill
    // the curves with inf and NaN: the driver keeps the reset curves instead, and the plots are not touched.
    if (!DriverCurvesFinite(*d)) {
        ResetResults(b);
        AddWarning(out, kSplNotFinite);
        return SplResult::kNotFinite;
    }
    StoreSlots(s, b);
    return SplResult::kStored;
}

void ClearSplSlots(PlotCurve* mls_curves, uint32_t* spl_slot, uint32_t* phase_slot) {
    *spl_slot = 0;
    *phase_slot = 0;
    for (int slot = 0; slot < 2 * kMlsSlotPairs; ++slot) std::memset(&mls_curves[slot], 0, sizeof(PlotCurve));
    for (int slot = 25; slot <= 50; ++slot) std::memset(&mls_curves[slot], 0, sizeof(PlotCurve));
}

void FillLogGridHoles(float* values, int stride, int points, bool phase_rule) {
    auto value = [&](int j) -> float& { return values[static_cast<std::ptrdiff_t>(stride) * j]; };
    int a = 0;
    double va = phase_rule ? 0.0 : value(0);
    for (int j = 0; j < points; ++j) {
        const float v = value(j);
        const bool valid = phase_rule ? v != 0.0f : v > kSplFloorDb;
        if (!valid || j <= a) continue;
        for (int m = a; m < j; ++m) value(m) = static_cast<float>(va + (m - a) * (v - va) / (j - a));
        a = j;
        va = v;
    }
}

void CopyCurvePen(PlotCurve& slot, const ColourEntry& pen) {
    slot.Red = static_cast<float>(pen.red);
    slot.Green = static_cast<float>(pen.green);
    slot.Blue = static_cast<float>(pen.blue);
    slot.PenWidth = static_cast<float>(pen.thickness);
    slot.PenStyle = static_cast<float>(pen.type);
}

