#include "engine/min_phase.h"

#include "engine/double_fft.h"

#include <cmath>
#include <complex>
#include <memory>
#include <new>

namespace {

using Cd = std::complex<double>;

// Constants of the driver equalization, as the program writes them.
constexpr double kAngularScale = 6.284;   // 2 pi
constexpr double kDbPerNeper = 8.686;
constexpr double kPiApprox = 3.142;
constexpr double kPhaseScale = 4.0;       // 2 w_i / pi without the 6.284
constexpr double kSingularShift = 0.1508;  // 6.284 x 0.024: 2.4 % of a bin
constexpr double kSingularLevel = 0.02;
constexpr int kLowSecondPoint = 10;
constexpr int kHighSpan = 4096;

constexpr float kLowestBandEdge = 1.02f;
constexpr float kHighestBandEdge = 49000.0f;
constexpr double kPowerFloor = 1e-16;  // -160 dB for a response of exactly 0

bool EndPointsOk(int count, const BodeIntegralConstants& k) {
    auto on_grid = [count](int i) { return i >= 0 && i < count; };
    return count >= 2 && on_grid(k.low_first) && on_grid(k.low_second) && k.low_first != k.low_second &&
           on_grid(k.high_first) && on_grid(k.high_second) && k.high_first != k.high_second;
}

// The end lines, computed once per integral.
struct EndTerms {
    double low_factor;   // 2 w_lo / pi
    double low_level;    // C0, nepers
    double high_factor;  // 2 / (pi w_hi)
    double high_level;   // C1, nepers
};

EndTerms MakeEndTerms(const float* f, const float* a, const BodeIntegralConstants& k) {
    auto w = [&](int i) { return k.angular_scale * f[i]; };
    auto alpha = [&](int i) { return a[i] / k.db_per_neper; };
    EndTerms e;
    const double la = std::log(w(k.low_first)), lb = std::log(w(k.low_second));
    const double b0 = (alpha(k.low_first) * lb - alpha(k.low_second) * la) / (lb - la);
    e.low_factor = 2.0 * w(k.low_first) / k.pi;
    e.low_level = b0 + (la - 1.0) * k.low_slope_order;
    const double ha = std::log(w(k.high_first)), hb = std::log(w(k.high_second));
    const double b1 = (alpha(k.high_first) * hb - alpha(k.high_second) * ha) / (hb - ha);
    e.high_factor = 2.0 / (k.pi * w(k.high_second));
    e.high_level = b1 - (hb + 1.0) * k.high_slope_order;
    return e;
}

double EndPhase(const EndTerms& e, double wi, double alpha_i) {
    return -(e.low_factor / wi) * (e.low_level - alpha_i) + e.high_factor * wi * (e.high_level - alpha_i);
}

// Main sum for point i, term by term in double precision, with w given per point.
template <typename W>
double DirectSum(const float* f, const float* a, int count, const BodeIntegralConstants& k, int i, W w) {
    const double c = 0.5 / k.db_per_neper;
    const double wi = w(i), ai = a[i], wi2 = wi * wi;
    double s = 0.0;
    for (int j = 0; j + 1 < count; ++j) {
        double wa = w(j), aa = a[j], wb = w(j + 1), ab = a[j + 1];
        if (j == i) {
            wa = wi + k.lower_shift * (double(f[i + 1]) - f[i]);
            aa = ai + k.level_fraction * (double(a[i + 1]) - ai);
        }
        if (j == i - 1) {
            wb = wi + k.upper_shift * (double(f[i]) - f[i - 1]);
            ab = ai + k.level_fraction * (ai - a[i - 1]);
        }
        s += c * (wb - wa) * ((aa - ai) / (wa * wa - wi2) + (ab - ai) / (wb * wb - wi2));
    }
    return s;
}


// The main sums S_i of every point on a grid uniform from point 1 (w_k = kappa k), through convolutions.
// With trapezoid weights H_k, the sum over the ordinary intervals is
//   c [ sum_{k != i} H_k (A_k - A_i)/(w_k^2 - w_i^2)  -  shares of the two moved intervals ]
// and for k >= 1, 1/(w_k^2 - w_i^2) = (1/(2 i kappa^2)) (1/(k - i) - 1/(k + i)): a Toeplitz and a Hankel
// sum, both convolutions with 1/d. The moved intervals and point 0 are added term by term.
bool UniformSums(const float* f, const float* a, int count, const BodeIntegralConstants& k, double* sums) {
    const int m = count;
    int size = 1;
    while (size < 2 * m) size <<= 1;
    std::unique_ptr<Cd[]> buffer(new (std::nothrow) Cd[5 * size]);
    if (!buffer) return false;
    Cd* roots = buffer.get();
    Cd* toeplitz = roots + size;
    Cd* hankel = toeplitz + size;
    Cd* kernel_t = hankel + size;
    Cd* kernel_h = kernel_t + size;
    MakeFftRoots(size, roots);

    const double kappa = k.angular_scale * f[1];
    auto w = [&](int i) { return i == 0 ? k.angular_scale * f[0] : kappa * i; };
    const double c = 0.5 / k.db_per_neper;
    auto weight = [&](int i) {  // trapezoid weight H_i
        double h = 0.0;
        if (i > 0) h += w(i) - w(i - 1);
        if (i + 1 < m) h += w(i + 1) - w(i);
        return h;
    };

    // u_k + i v_k with u = H A, v = H, for k >= 1; forward and reversed.
    for (int i = 0; i < size; ++i) toeplitz[i] = hankel[i] = kernel_t[i] = kernel_h[i] = 0.0;
    for (int i = 1; i < m; ++i) {
        const Cd uv(weight(i) * a[i], weight(i));
        toeplitz[i] = uv;
        hankel[m - 1 - i] = uv;
    }
    // D_i = sum u_k / (k - i) = (u * r)(i) with r(d) = -1/d; E_i = sum u_k / (k + i) = (reversed u * 1/s)(m - 1 + i).
    for (int d = 1; d < m; ++d) {
        kernel_t[d] = -1.0 / d;
        kernel_t[size - d] = 1.0 / d;
    }
    for (int s = 1; s < 2 * m - 1; ++s) kernel_h[s] = 1.0 / s;
    DoubleFft(toeplitz, size, -1, roots);
    DoubleFft(hankel, size, -1, roots);
    DoubleFft(kernel_t, size, -1, roots);
    DoubleFft(kernel_h, size, -1, roots);
    for (int i = 0; i < size; ++i) {
        toeplitz[i] *= kernel_t[i];
        hankel[i] *= kernel_h[i];
    }
    DoubleFft(toeplitz, size, 1, roots);
    DoubleFft(hankel, size, 1, roots);

    for (int i = 1; i < m; ++i) {
        const double ai = a[i], wi = w(i), wi2 = wi * wi;
        auto g = [&](int j) { return (a[j] - ai) / (w(j) * w(j) - wi2); };
        const Cd d = toeplitz[i] / double(size);
        const Cd e = hankel[m - 1 + i] / double(size) - Cd(weight(i) * ai, weight(i)) / (2.0 * i);
        const Cd pair = (d - e) / (2.0 * i);  // sum over k >= 1, k != i of (u_k, v_k) / (k^2 - i^2)
        double sum = (pair.real() - ai * pair.imag()) / (kappa * kappa) + weight(0) * g(0);
        // The intervals i-1 and i are not ordinary: take their shares of points i-1 and i+1 back out ...
        sum -= g(i - 1) * (wi - w(i - 1));
        if (i + 1 < m) sum -= g(i + 1) * (w(i + 1) - wi);
        double s = c * sum;
        // ... and add them with their moved ends.
        {
            const double wb = wi + k.upper_shift * (double(f[i]) - f[i - 1]);
            const double ab = ai + k.level_fraction * (ai - a[i - 1]);
            s += c * (wb - w(i - 1)) * (g(i - 1) + (ab - ai) / (wb * wb - wi2));
        }
        if (i + 1 < m) {
            const double wa = wi + k.lower_shift * (double(f[i + 1]) - f[i]);
            const double aa = ai + k.level_fraction * (double(a[i + 1]) - ai);
            s += c * (w(i + 1) - wa) * ((aa - ai) / (wa * wa - wi2) + g(i + 1));
        }
        sums[i] = s;
    }
    sums[0] = DirectSum(f, a, m, k, 0, w);
    return true;
}

// Steps shared by both builds: levels, band clamping and flat extension. Returns the grid size M.
int PrepareLevels(const float* driver_re, const float* driver_im, float band_low, float band_high,
                  const float* f, int n, float* db) {
    for (int i = 0; i < kDriverResponseBins; ++i) {
        const double re = driver_re[i], im = driver_im[i];
        db[i] = static_cast<float>(10.0 * std::log10(re * re + im * im + kPowerFloor));
    }
    const int m = 16 * n;
    auto clamp = [](float v, float fallback) {
        if (std::isnan(v)) return fallback;
        return v < kLowestBandEdge ? kLowestBandEdge : v > kHighestBandEdge ? kHighestBandEdge : v;
    };
    const float f1 = clamp(band_low, kLowestBandEdge);
    const float f2 = clamp(band_high, kHighestBandEdge);
    // Index of the last bin not above the edge: the bin before the first bin above it.
    auto last_not_above = [&](float edge) {
        for (int k = 0; k < m; ++k)
            if (f[k] > edge) return k == 0 ? 0 : k - 1;
        return m - 1;
    };
    const int k1 = last_not_above(f1);
    for (int j = k1; j >= 0 && j + 1 < kDriverResponseBins; --j) db[j] = db[j + 1];
    const int k2 = last_not_above(f2);
    for (int j = k2 + 1; j < m; ++j) db[j] = db[j - 1];
    return m;
}

void WriteSpectrum(const float* db, const float* phase, int m, float* out) {
    for (int i = 0; i < m; ++i) {
        const double g = std::pow(10.0, 0.05 * db[i]);
        out[2 * i] = static_cast<float>(g * std::cos(phase[i]));
        out[2 * i + 1] = static_cast<float>(g * std::sin(phase[i]));
    }
}

bool BlockFramesOk(int n) { return n >= 1 && 16 * n <= kDriverResponseBins; }

}  // namespace

BodeIntegralConstants DriverEqBodeConstants(int count) {
    BodeIntegralConstants k;
    k.angular_scale = kAngularScale;
    k.db_per_neper = kDbPerNeper;
    k.pi = kPiApprox;
    k.phase_scale = kPhaseScale;
    k.lower_shift = kSingularShift;
    k.upper_shift = kSingularShift;
    k.level_fraction = kSingularLevel;
    k.low_first = 0;
    k.low_second = kLowSecondPoint;
    k.low_slope_order = 0.0;
    k.high_first = count > kHighSpan ? count - kHighSpan : 0;
    k.high_second = count - 1;
    k.high_slope_order = 0.0;
    return k;
}

int BodePhase(const float* f, const float* level_db, int count, const BodeIntegralConstants& k, float* phase) {
    if (!EndPointsOk(count, k)) return 1;
    const EndTerms e = MakeEndTerms(f, level_db, k);
    std::unique_ptr<double[]> sums(new (std::nothrow) double[count]);
    const bool fast = sums && count >= 4 && GridUniformFromPointOne(f, count) && UniformSums(f, level_db, count, k, sums.get());
    auto w = [&](int i) { return k.angular_scale * f[i]; };
    for (int i = 0; i < count; ++i) {
        const double s = fast ? sums[i] : DirectSum(f, level_db, count, k, i, w);
        const double wi = w(i);
        phase[i] = static_cast<float>(EndPhase(e, wi, level_db[i] / k.db_per_neper) + k.phase_scale * f[i] * s);
    }
    return 0;
}

int BodePhaseLiteral(const float* f, const float* level_db, int count, const BodeIntegralConstants& k,
                     float* phase) {
    if (!EndPointsOk(count, k)) return 1;
    const EndTerms e = MakeEndTerms(f, level_db, k);
    const float scale = static_cast<float>(k.angular_scale);
    const float c = static_cast<float>(0.5 / k.db_per_neper);
    const float lower = static_cast<float>(k.lower_shift), upper = static_cast<float>(k.upper_shift);
    const float frac = static_cast<float>(k.level_fraction);
    const float* a = level_db;
    for (int i = 0; i < count; ++i) {
        const float wi = scale * f[i], ai = a[i], wi2 = wi * wi;
        float s = 0.0f;
        for (int j = 0; j + 1 < count; ++j) {
            float wa = scale * f[j], aa = a[j], wb = scale * f[j + 1], ab = a[j + 1];
            if (j == i) {
                wa = wi + lower * (f[i + 1] - f[i]);
                aa = ai + frac * (a[i + 1] - ai);
            }
            if (j == i - 1) {
                wb = wi + upper * (f[i] - f[i - 1]);
                ab = ai + frac * (ai - a[i - 1]);
            }
            s += c * (wb - wa) * ((aa - ai) / (wa * wa - wi2) + (ab - ai) / (wb * wb - wi2));
        }
        const float t3 = static_cast<float>(k.phase_scale) * f[i] * s;
        phase[i] = static_cast<float>(EndPhase(e, wi, ai / k.db_per_neper) + t3);
    }
    return 0;
}

int MinimumPhaseSpectrum(const float* f, const float* level_db, int count, const BodeIntegralConstants& k,
                         BodeMethod method, float* spectrum) {
    if (count < 1) return 1;
    std::unique_ptr<float[]> phase(new (std::nothrow) float[count]);
    if (!phase) return 1;
    const int rc = method == BodeMethod::kLiteral ? BodePhaseLiteral(f, level_db, count, k, phase.get())
                                                  : BodePhase(f, level_db, count, k, phase.get());
    if (rc != 0) return 1;
    WriteSpectrum(level_db, phase.get(), count, spectrum);
    return 0;
}

int BuildMinimumPhaseResponse(const float* driver_re, const float* driver_im, float band_low, float band_high,
                              const float* BinFrequencyTable, int N, float* MinPhaseDbWork,
                              float* MinPhaseWorkSpectrum) {
    if (!BlockFramesOk(N)) return 1;
    const int m = PrepareLevels(driver_re, driver_im, band_low, band_high, BinFrequencyTable, N, MinPhaseDbWork);
    return MinimumPhaseSpectrum(BinFrequencyTable, MinPhaseDbWork, m, DriverEqBodeConstants(m), BodeMethod::kFast,
                                MinPhaseWorkSpectrum);
}

int BuildMinimumPhaseResponseLiteral(const float* driver_re, const float* driver_im, float band_low,
                                     float band_high, const float* BinFrequencyTable, int N, float* MinPhaseDbWork,
                                     float* MinPhaseWorkSpectrum) {
    if (!BlockFramesOk(N)) return 1;
    const int m = PrepareLevels(driver_re, driver_im, band_low, band_high, BinFrequencyTable, N, MinPhaseDbWork);
    return MinimumPhaseSpectrum(BinFrequencyTable, MinPhaseDbWork, m, DriverEqBodeConstants(m), BodeMethod::kLiteral,
                                MinPhaseWorkSpectrum);
}

bool GridUniformFromPointOne(const float* f, int count) {
    const double df = f[1];
    if (!(df > 0.0) || !(f[0] >= 0.0) || !(f[0] < df)) return false;
    for (int i = 2; i < count; ++i)
        if (std::fabs(f[i] - i * df) > 1e-6 * i * df) return false;
    return true;
}

std::vector<std::complex<double>> DiscreteMinimumPhase(const std::vector<double>& magnitude, int n) {
    constexpr double kMagnitudeFloor = 1e-12;
    const int half = n / 2;
    if (n < 4 || (n & (n - 1)) != 0 || static_cast<int>(magnitude.size()) < half + 1) return {};
    std::vector<Cd> roots(static_cast<std::size_t>(half)), c(static_cast<std::size_t>(n));
    MakeFftRoots(n, roots.data());
    for (int k = 0; k < n; ++k) c[k] = std::log(std::fmax(magnitude[k <= half ? k : n - k], kMagnitudeFloor));
    DoubleFft(c.data(), n, +1, roots.data());
    // The cepstrum is even; its causal fold keeps the log magnitude and gives the phase of least delay.
    for (int q = 0; q < n; ++q) c[q] *= (q == 0 || q == half ? 1.0 : q < half ? 2.0 : 0.0) / n;
    DoubleFft(c.data(), n, -1, roots.data());
    std::vector<Cd> spectrum(static_cast<std::size_t>(half + 1));
    for (int k = 0; k <= half; ++k) spectrum[k] = std::exp(c[k]);
    return spectrum;
}
