#include "tools/hilbert_bode.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "app/frequency_grids.h"
#include "tools/driver_fields.h"

namespace {

// Constants as the program writes them.
constexpr double kAngularScale = 6.284;
constexpr double kDbPerNeper = 8.686;
constexpr double kPiApprox = 3.142;
constexpr double kPhaseScale = 4.0;  // 2 w / pi with the constants above, over 6.284
constexpr double kSpeedOfSound = 344.0;
constexpr double kTailRate = 6.355;
constexpr double kSlopeOrderPerDb = 1.0 / 6.0;

constexpr int kLogLowSecond = 164;
constexpr int kLogHighFirst = 2935;
constexpr int kLinearLowSecond = 20;
constexpr int kLinearHighSpan = 4096;
constexpr double kLinearLowestHz = 1.0;
constexpr double kLinearHighestHz = 50000.0;

struct Tails {
    double hp_stop, hp_slope, lp_start, lp_slope;
};

void Refuse(MessageList* messages, const char* text) {
    if (!messages) return;
    HvMessage m = WarningMessage(text);
    m.caption = kHbtCaption;
    messages->push_back(m);
}

// The index before the first grid point above s: 0 when the first point already is, the last index (held
// one short of the end, so that a tail always has a neighbour) when none is.
int IndexBefore(const float* f, int size, double s) {
    const int first_above = static_cast<int>(std::upper_bound(f, f + size, s, [](double v, float x) { return v < x; }) - f);
    const int idx = first_above == 0 ? 0 : first_above - 1;
    return std::min(idx, size - 2);
}

double Clamp(double s, double fmin, double fmax) {
    if (s < fmin * 1.02) s = fmin * 1.02;
    if (s > fmax * 0.98) s = fmax * 0.98;
    return s;
}

// Checks shared by both runs. Returns the input power, or a value <= 0 after a refusal.
double CheckInputs(HV_Driver_Data& d, Tails* t, MessageList* messages) {
    const double pin = FieldNumber(DriverInputPower(d), kInputPowerField);
    if (!(pin > 0.0) || !FitsFloat(pin)) {
        Refuse(messages, kInputPowerError);
        return 0.0;
    }
    *t = Tails{FieldNumber(DriverHighPassStop(d)), FieldNumber(DriverHighPassSlope(d)), FieldNumber(DriverLowPassStart(d)),
               FieldNumber(DriverLowPassSlope(d))};
    if (!FitsFloat(t->hp_stop) || !FitsFloat(t->hp_slope) || !FitsFloat(t->lp_start) || !FitsFloat(t->lp_slope)) {
        Refuse(messages, kTailDataError);
        return 0.0;
    }
    const double dist = DriverHbtDistance(d);
    if ((DriverPhaseDistance(d) == 1 || DriverAmplitudeDistance(d) == 1) && !(dist > 0.0 && std::isfinite(dist))) {
        Refuse(messages, kHbtDistanceError);
        return 0.0;
    }
    return pin;
}

// Magnitude, phase, distance and power into the result arrays, computed first into scratch so that a
// refusal writes nothing. Returns false when a value is not a finite float.
bool WriteResult(HV_Driver_Data& d, const float* f, const float* w, const float* phase, int size, double pin, float* re_out,
                 float* im_out, HbtProgress progress, void* progress_context) {
    std::vector<float> re(static_cast<std::size_t>(size)), im(static_cast<std::size_t>(size));
    const double dist = DriverHbtDistance(d);
    const bool use_phase = DriverPhaseDistance(d) == 1, use_amplitude = DriverAmplitudeDistance(d) == 1;
    const double root = std::sqrt(pin);
    for (int i = 0; i < size; ++i) {
        const double m = std::pow(10.0, 0.05 * (w[i] - 90.0));
        const double a = m * std::cos(phase[i]), b = m * std::sin(phase[i]);
        double x = a, y = b;
        if (use_phase) {
            const double theta = dist / (kSpeedOfSound / f[i]) * kAngularScale;
            const double c = std::cos(theta), s = std::sin(theta);
            x = a * c + b * s;
            y = b * c - a * s;
        }
        if (use_amplitude) {
            x *= root / dist;
            y *= root / dist;
        } else if (!use_phase) {
            x *= root;
            y *= root;
        }
        if (!FitsFloat(x) || !FitsFloat(y)) return false;
        re[static_cast<std::size_t>(i)] = static_cast<float>(x);
        im[static_cast<std::size_t>(i)] = static_cast<float>(y);
    }
    std::memcpy(re_out, re.data(), re.size() * sizeof(float));
    std::memcpy(im_out, im.data(), im.size() * sizeof(float));
    if (progress)
        for (int i = 0; i < size; ++i) progress(progress_context, i, size);
    d.hbt_done = 1;
    return true;
}

bool AllFinite(const float* w, int size) {
    for (int i = 0; i < size; ++i)
        if (!std::isfinite(w[i])) return false;
    return true;
}

// Radians up to which a float keeps a phase to 1/1024 rad; beyond, its steps grow and cos and sin of it are
// noise. Real curves and tails stay far below (a tail adds about a quarter radian per dB/oct of slope); a
// slope such as 1e30 drives the integral past it, or to infinity.
constexpr float kPhaseLimit = 8192.0f;

// The check of the integral's output, the same for both runs: every phase finite and within the limit.
bool PhaseUsable(const float* phase, int size) {
    for (int i = 0; i < size; ++i)
        if (!(std::fabs(phase[i]) <= kPhaseLimit)) return false;  // NaN fails too
    return true;
}

int Finish(HV_Driver_Data& d, const float* f, float* w, int size, const BodeIntegralConstants& k, double pin,
           float* re_out, float* im_out, MessageList* messages, HbtProgress progress, void* progress_context) {
    if (!AllFinite(w, size)) {
        Refuse(messages, kSplDataError);
        return 1;
    }
    std::unique_ptr<float[]> phase(new (std::nothrow) float[static_cast<std::size_t>(size)]);
    if (!phase || BodePhase(f, w, size, k, phase.get()) != 0 || !PhaseUsable(phase.get(), size) ||
        !WriteResult(d, f, w, phase.get(), size, pin, re_out, im_out, progress, progress_context)) {
        Refuse(messages, kSplDataError);
        return 1;
    }
    return 0;
}

double RateConstant(uint32_t sampling, bool high_pass) {
    switch (sampling) {
        case 0: return high_pass ? 0.411 : 0.413;
        case 2: return 0.1875;
        default: return 0.375;
    }
}

}  // namespace

double HbtPointsPerOctave(double fmin, double fmax) {
    double f = fmin;
    int k = 0;
    while (2.0 * f <= fmax) {
        f *= 2.0;
        ++k;
    }
    const double octaves = k + (fmax - f) / f;
    return static_cast<float>(2000.0 / octaves);
}

double HbtLinearTailStep(double slope, uint32_t sampling, uint32_t buffer_size, double mid_hz, bool high_pass) {
    const double t = slope / (static_cast<double>(1u << (buffer_size < 4 ? buffer_size : 1)) * RateConstant(sampling, high_pass));
    return t * kTailRate / mid_hz;
}

BodeIntegralConstants LogHbtConstants(double hp_slope, double lp_slope) {
    BodeIntegralConstants k;
    k.angular_scale = kAngularScale;
    k.db_per_neper = kDbPerNeper;
    k.pi = kPiApprox;
    k.phase_scale = kPhaseScale;
    k.lower_shift = 0.08;
    k.upper_shift = 0.08;
    k.level_fraction = 0.02;
    k.low_first = 0;
    k.low_second = kLogLowSecond;
    k.low_slope_order = hp_slope * kSlopeOrderPerDb;
    k.high_first = kLogHighFirst;
    k.high_second = kLogGridPoints - 1;
    k.high_slope_order = lp_slope * kSlopeOrderPerDb;
    return k;
}

BodeIntegralConstants LinearHbtConstants(int m, double hp_slope, double lp_slope) {
    BodeIntegralConstants k = LogHbtConstants(hp_slope, lp_slope);
    k.lower_shift = 0.06;
    k.upper_shift = 0.12;
    k.level_fraction = 0.01;
    k.low_second = kLinearLowSecond;
    k.high_first = m > kLinearHighSpan ? m - kLinearHighSpan : 0;
    k.high_second = m - 1;
    return k;
}

int RunLogHbt(HV_Driver_Data* driver, const HbtContext& cx, MessageList* messages) {
    HV_Driver_Data& d = *driver;
    Tails t{};
    const double pin = CheckInputs(d, &t, messages);
    if (pin <= 0.0) return 1;
    const int size = kLogGridPoints;
    const float* f = cx.log_table;
    float* w = cx.HbtWorkCurve;
    std::memcpy(w, d.spl_log, sizeof d.spl_log);
    const double fmin = cx.axis_low_hz, fmax = cx.axis_high_hz;
    const double p = HbtPointsPerOctave(fmin, fmax);

    const int hp = IndexBefore(f, size, Clamp(t.hp_stop, fmin, fmax));
    for (int u = hp; u >= 0; --u) w[u] = static_cast<float>(w[u + 1] - t.hp_slope / p);
    const int lp = std::max(1, IndexBefore(f, size, Clamp(t.lp_start, fmin, fmax)));
    for (int k = lp; k < size; ++k) w[k] = static_cast<float>(w[k - 1] - t.lp_slope / p);

    return Finish(d, f, w, size, LogHbtConstants(t.hp_slope, t.lp_slope), pin, d.hbt_re_log, d.hbt_im_log, messages,
                  nullptr, nullptr);
}

int RunLinearHbt(HV_Driver_Data* driver, const HbtContext& cx, MessageList* messages, HbtProgress progress,
                 void* progress_context) {
    HV_Driver_Data& d = *driver;
    Tails t{};
    const double pin = CheckInputs(d, &t, messages);
    if (pin <= 0.0) return 1;
    const int m = 32 * BlockFramesOf(cx.HV_Buffer_Size);
    const float* f = cx.bin_table;
    float* w = cx.HbtWorkCurve;
    std::memcpy(w, d.spl_lin, sizeof d.spl_lin);
    const uint32_t rate = cx.HV_Sampling, size_index = cx.HV_Buffer_Size;

    const int hp = IndexBefore(f, m, Clamp(t.hp_stop, kLinearLowestHz, kLinearHighestHz));
    for (int u = hp; u >= 0; --u)
        w[u] = static_cast<float>(w[u + 1] - HbtLinearTailStep(t.hp_slope, rate, size_index, (f[u] + f[u + 1]) * 0.5, true));
    const int lp = IndexBefore(f, m, Clamp(t.lp_start, kLinearLowestHz, kLinearHighestHz));
    for (int k = lp; k <= m - 2; ++k) {
        // The step over bin k uses the mean of bins k and k-1; bin 0 has no bin below it, so there the mean of
        // bins 0 and 1 stands in.
        const double mid = (f[k] + f[k == 0 ? 1 : k - 1]) * 0.5;
        w[k + 1] = static_cast<float>(w[k] - HbtLinearTailStep(t.lp_slope, rate, size_index, mid, false));
    }

    return Finish(d, f, w, m, LinearHbtConstants(m, t.hp_slope, t.lp_slope), pin, d.hbt_re_lin, d.hbt_im_lin, messages,
                  progress, progress_context);
}
