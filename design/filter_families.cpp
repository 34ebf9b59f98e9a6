#include "design/filter_families.h"

#include <cmath>

namespace {

struct Cd {
    double re;
    double im;
};

constexpr Cd kUnity{1.0, 0.0};
constexpr double kPi = 3.14159265358979323846;

// Bessel: coefficients a_k of the reverse Bessel polynomial (a_0 first) and the frequency scale kn that puts
// the magnitude near -3 dB at Fc.
constexpr double kBessel1[] = {1.0, 1.0};
constexpr double kBessel2[] = {3.0, 3.0, 1.0};
constexpr double kBessel3[] = {15.0, 15.0, 6.0, 1.0};
constexpr double kBessel4[] = {105.0, 105.0, 45.0, 10.0, 1.0};
constexpr double kBessel8[] = {2027025.0, 2027025.0, 945945.0, 270270.0, 51975.0, 6930.0, 630.0, 36.0, 1.0};
constexpr double kBesselScale1 = 1.0;
constexpr double kBesselScale2 = 1.35994;
constexpr double kBesselScale3 = 1.74993;
constexpr double kBesselScale4 = 2.13011;
constexpr double kBesselScale8 = 3.17002;

// Butterworth section constants, as rounded for these sections.
constexpr double kButter2Q = 1.414;
constexpr double kButter4P = 3.4145;
constexpr double kButter4Q = 2.6134;
constexpr double kButter4QSquared = 6.8429;
constexpr double kButter8P1 = 13.137;
constexpr double kButter8P2 = 25.688;
constexpr double kButter8Q1 = 5.126;
constexpr double kButter8Q2 = 21.846;

constexpr double kMinimumQ = 0.001;

constexpr double kKeeleWideStopLp = 1e-9;
constexpr double kKeeleWideStopHp = 1e-6;
constexpr double kKeeleNarrowStop = 1e-9;
constexpr double kKeeleComplementFloor = 0.0001;

// Bessel and Butterworth order of a slope: 1, 2, 3, 4, 8 for low-pass slopes 0..4 and high-pass slopes 5..9.
int OrderOfSlope(int slope) {
    static constexpr int kOrder[5] = {1, 2, 3, 4, 8};
    return kOrder[slope % 5];
}

Cd Bessel(int slope, double f, double fc) {
    const int order = OrderOfSlope(slope);
    const double* a = nullptr;
    double kn = 1.0;
    switch (order) {
        case 1: a = kBessel1; kn = kBesselScale1; break;
        case 2: a = kBessel2; kn = kBesselScale2; break;
        case 3: a = kBessel3; kn = kBesselScale3; break;
        case 4: a = kBessel4; kn = kBesselScale4; break;
        default: a = kBessel8; kn = kBesselScale8; break;
    }
    const bool high_pass = slope >= kSlopeHp6;
    const double w = high_pass ? kn * fc / f : kn * f / fc;
    // theta(jw): even powers give the real part with alternating signs, odd powers the imaginary part.
    double re = 0.0, im = 0.0, wk = 1.0;
    for (int k = 0; k <= order; ++k) {
        const double term = a[k] * wk;
        switch (k % 4) {
            case 0: re += term; break;
            case 1: im += term; break;
            case 2: re -= term; break;
            default: im -= term; break;
        }
        wk *= w;
    }
    const double d = re * re + im * im;
    const double a0 = a[0];
    return high_pass ? Cd{a0 * re / d, a0 * im / d} : Cd{a0 * re / d, -a0 * im / d};
}

// Butterworth of the given order (1, 2, 3, 4 or 8) at w = f/Fc; high_pass multiplies by (jw)^order.
Cd Butterworth(int order, bool high_pass, double w) {
    const double u = w * w;
    double p = 0.0, q = 0.0, d = 0.0;
    switch (order) {
        case 1:
            p = 1.0;
            q = w;
            d = 1.0 + u;
            if (high_pass) return {u / d, w / d};
            break;
        case 2:
            p = 1.0 - u;
            q = kButter2Q * w;
            d = (1.0 - u) * (1.0 - u) + 2.0 * u;
            if (high_pass) return {-u * p / d, u * q / d};
            break;
        case 3: {
            p = 1.0 - 2.0 * u;
            q = 2.0 * w - w * u;
            d = p * p + q * q;
            const double w3 = w * u;
            if (high_pass) return {-w3 * q / d, -w3 * p / d};
            break;
        }
        case 4:
            p = u * u - kButter4P * u + 1.0;
            q = kButter4Q * w * (1.0 - u);
            d = p * p + kButter4QSquared * u * (1.0 - u) * (1.0 - u);
            if (high_pass) return {u * u * p / d, -u * u * q / d};
            break;
        default: {
            const double u2 = u * u, u3 = u2 * u, u4 = u2 * u2;
            p = u4 - kButter8P1 * u3 + kButter8P2 * u2 - kButter8P1 * u + 1.0;
            q = w * (kButter8Q1 - kButter8Q2 * u + kButter8Q2 * u2 - kButter8Q1 * u3);
            d = p * p + q * q;
            if (high_pass) return {u4 * p / d, -u4 * q / d};
            break;
        }
    }
    return {p / d, -q / d};
}

Cd Linkwitz(int slope, double w) {
    int half_order = 0;
    switch (slope) {
        case kSlopeLp12: case kSlopeHp12: half_order = 1; break;
        case kSlopeLp24: case kSlopeHp24: half_order = 2; break;
        case kSlopeLp48: case kSlopeHp48: half_order = 4; break;
        default: return kUnity;  // no Linkwitz-Riley form of odd order
    }
    const Cd b = Butterworth(half_order, slope >= kSlopeHp6, w);
    return {b.re * b.re - b.im * b.im, 2.0 * b.re * b.im};
}

Cd QParametric(double q, double gain_db, double w) {
    if (!(q > kMinimumQ)) return kUnity;
    const double a = std::pow(10.0, gain_db / 40.0);
    // A boost keeps Q on the poles and a cut keeps it on the zeros, so that a cut undoes the same boost.
    const double qx = gain_db < 0.0 ? q * a : q / a;
    const double zb = a / qx;
    const double pa = 1.0 / (a * qx);
    const double u = w * w;
    const double d = (1.0 - u) * (1.0 - u) + pa * pa * u;
    return {((1.0 - u) * (1.0 - u) + pa * zb * u) / d, (zb - pa) * w * (1.0 - u) / d};
}

// High-shelf prototype A*(A s^2 + k s + 1)/(s^2 + k s + A) at s = jw.
Cd HighShelf(double a, double k, double w) {
    const double u = w * w;
    const double d = (a - u) * (a - u) + k * k * u;
    return {a * ((1.0 - a * u) * (a - u) + k * k * u) / d, a * k * w * ((a - u) - (1.0 - a * u)) / d};
}

Cd Shelving(int family, double gain_db, double f, double fc) {
    const double a = std::pow(10.0, gain_db / 40.0);
    const double c = (family == kFamilyShelvingMinus6 || family == kFamilyShelvingPlus6) ? 1.0 : 0.0;
    const double k = std::sqrt(a) * std::sqrt((a + 1.0 / a) * c + 2.0);
    if (family == kFamilyShelvingPlus6 || family == kFamilyShelvingPlus12) return HighShelf(a, k, f / fc);
    const Cd h = HighShelf(a, k, fc / f);
    return {h.re, -h.im};
}

float ClampRatio(float* params, float low, float high) {
    float r = params[kFilterParamQOrRatio];
    if (!(r >= low)) r = low;  // also takes a NaN to the low end
    if (r > high) r = high;
    params[kFilterParamQOrRatio] = r;
    return r;
}

double KeeleWide(double w, double r, double stop) {
    if (w <= 1.0) return 1.0;
    if (w <= r) {
        const double num = 0.5 * std::fabs(2.0 * std::cos(kPi * w / (3.0 * r)) - 1.0);
        const double den = std::fabs(std::cos(kPi * w / 3.0) - std::cos(kPi * w / (3.0 * r)));
        return num / den;
    }
    return stop;
}

double KeeleNarrowMiddle(double w) { return 0.5 / (1.0 - std::cos(kPi * w / 3.0)); }

double KeeleNarrow(double w, double r) {
    if (w <= 1.0) return 1.0;
    if (w <= r) return KeeleNarrowMiddle(w);
    if (w <= 2.0 * r) {
        // The ramp starts from the middle band's value at its own edge w = R, so the response at any bin
        // depends on this block alone.
        const double level = KeeleNarrowMiddle(r);
        return 2.0 * level - level * w / r;
    }
    return kKeeleNarrowStop;
}

bool IsWholeIn(float v, int count) {
    return v >= 0.0f && v < static_cast<float>(count) && v == std::floor(v);
}

}  // namespace

AnalogResponse AnalogSectionResponse(int family, int slope, double f, double fc, double q, double gain_db) {
    if (slope < 0 || slope >= kFilterSlopeCount) return {1.0, 0.0};
    Cd h = kUnity;
    switch (family) {
        case kFamilyBessel: h = Bessel(slope, f, fc); break;
        case kFamilyButterworth: h = Butterworth(OrderOfSlope(slope), slope >= kSlopeHp6, f / fc); break;
        case kFamilyLinkwitz: h = Linkwitz(slope, f / fc); break;
        case kFamilyQParametric: h = QParametric(q, gain_db, f / fc); break;
        case kFamilyShelvingMinus6:
        case kFamilyShelvingMinus12:
        case kFamilyShelvingPlus6:
        case kFamilyShelvingPlus12: h = Shelving(family, gain_db, f, fc); break;
        default: break;
    }
    return {h.re, h.im};
}

ComplexF FilterBlockResponse(float* params, float f) {
    if (params[kFilterParamBypass] == 1.0f) return {1.0f, 0.0f};
    const float family_value = params[kFilterParamFamily];
    if (!IsWholeIn(family_value, kFilterFamilyCount)) return {1.0f, 0.0f};
    const int family = static_cast<int>(family_value);
    int slope = 0;
    if (family <= kFamilyLinkwitz) {
        const float slope_value = params[kFilterParamSlope];
        if (!IsWholeIn(slope_value, kFilterSlopeCount)) return {1.0f, 0.0f};
        slope = static_cast<int>(slope_value);
    }
    const double fc = params[kFilterParamFrequency];
    const double freq = f;
    if (!(fc > 0.0) || !std::isfinite(fc)) return {1.0f, 0.0f};

    Cd h = kUnity;
    switch (family) {
        case kFamilyBessel:
        case kFamilyButterworth:
        case kFamilyLinkwitz:
        case kFamilyQParametric:
        case kFamilyShelvingMinus6:
        case kFamilyShelvingMinus12:
        case kFamilyShelvingPlus6:
        case kFamilyShelvingPlus12: {
            const AnalogResponse a =
                AnalogSectionResponse(family, slope, freq, fc, params[kFilterParamQOrRatio], params[kFilterParamGainDb]);
            h = {a.re, a.im};
            break;
        }
        case kFamilyKeeleLpW: h = {KeeleWide(freq / fc, ClampRatio(params, 2.0f, 4.0f), kKeeleWideStopLp), 0.0}; break;
        case kFamilyKeeleHpN:
            h = {1.0 - KeeleWide(freq / fc, ClampRatio(params, 2.0f, 4.0f), kKeeleWideStopHp) + kKeeleComplementFloor,
                 0.0};
            break;
        case kFamilyKeeleLpN: h = {KeeleNarrow(freq / fc, ClampRatio(params, 1.0f, 3.0f)), 0.0}; break;
        default:
            h = {1.0 - KeeleNarrow(freq / fc, ClampRatio(params, 1.0f, 3.0f)) + kKeeleComplementFloor, 0.0};
            break;
    }
    const ComplexF out{static_cast<float>(h.re), static_cast<float>(h.im)};
    if (!std::isfinite(out.re) || !std::isfinite(out.im)) return {1.0f, 0.0f};
    return out;
}
