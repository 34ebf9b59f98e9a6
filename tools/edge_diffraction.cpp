#include "tools/edge_diffraction.h"

#include <cmath>
#include <memory>
#include <new>

#include "engine/double_fft.h"
#include "engine/min_phase.h"

namespace {

using Cd = std::complex<double>;

// Constants of the model, each with the value the program uses.
constexpr double kAngularFactor = 6.284;  // omega = 6.284 f
constexpr double kSpeedOfSound = 344.0;
constexpr double kEdgePolarity = -0.8571428571428572;  // -6/7
constexpr double kSquareK = 0.20536121689276818;
constexpr double kBevelK = 0.18724110951987688;
constexpr double kRoundK = 0.18189136353359467;
constexpr double kWeightOffset = 1.5707963267948966;  // pi / 2
constexpr double kHalfArcStep = 0.19634954084936207;  // pi / 16
constexpr double kRoundAngles[4] = {0.39269908169872414, 0.7855, 1.1780972450961724, 1.5707963267948966};
constexpr double kRoundCoefficient[5] = {0.9, 0.5, 0.24, 0.12, 0.06};  // dipole; halved otherwise
constexpr double kCmToM = 0.01;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// Gaussian gridding of the non-uniform FFT: spreading half-width and oversampling.
constexpr int kSpread = 12;

struct Geometry {
    double k;   // metres per grid unit
    double z;   // microphone distance from the baffle plane, m
};

// The angle weight of an element seen from the source: atan2(q tan(t/2) + q / tan(t/2), 1 - q^2) + pi/2,
// written as atan2(2q, (1 - q^2) sin t) + pi/2 (the same angle for 0 < t < pi, since tan(t/2) + 1/tan(t/2) =
// 2 / sin t), which stays defined at t = 0 and t = pi.
double AngleWeight(double q, double theta) { return std::atan2(2.0 * q, (1.0 - q * q) * std::sin(theta)) + kWeightOffset; }

void AddPath(double weight_k, double c, double rho, double d, double r0, bool absolute, std::vector<DiffractionTone>* t) {
    if (!(rho > 0.0)) return;  // no spreading distance: the path has no defined amplitude
    const double amplitude = weight_k * (c / rho) * kEdgePolarity;
    const double length = absolute ? d : d - r0;
    t->push_back(DiffractionTone{amplitude, length / kSpeedOfSound});
}

}  // namespace

double ElementAngleWeight(const BaffleEdgeElement& e, double x, double y) {
    const BafflePoint source{static_cast<float>(x), static_cast<float>(y), 0, 0};
    const BafflePoint mid{e.mid_x, e.mid_y, 0, 0};
    const double half = 0.5 * PointDistance(e.a, e.b), rs = PointDistance(source, mid);
    if (!(half > 0.0)) return 0.0;
    const double q = (half - rs) / (half + rs);  // the grid-to-metre factor cancels
    return AngleWeight(q, VertexAngle(mid, source, e.b));
}

bool AppendPointTones(const DiffractionScene& sc, double x, double y, double weight, std::vector<DiffractionTone>* tones) {
    if (!(sc.raster_cm > 0.0)) return false;
    const Geometry g{kCmToM * sc.raster_cm, kCmToM * sc.mic_distance_cm};
    const double ex = sc.mic_x - x, ey = sc.mic_y - y;
    const double r0 = std::sqrt(g.k * g.k * (ex * ex + ey * ey) + g.z * g.z);
    if (!(r0 > 0.0)) return false;
    const DiffractionSettings& s = sc.settings;
    const bool absolute = s.DirectivityMode == 1;
    const bool dipole = s.DipoleMode == 1;
    tones->push_back(DiffractionTone{weight * 2.0 / r0, absolute ? r0 / kSpeedOfSound : 0.0});
    if (s.BaffleEdgeType > 2) return true;

    const BafflePoint source{static_cast<float>(x), static_cast<float>(y), 0, 0};
    for (int i = 0; i < sc.element_count; ++i) {
        const BaffleEdgeElement& e = sc.elements[i];
        const BafflePoint mid{e.mid_x, e.mid_y, 0, 0};
        const double mx = sc.mic_x - e.mid_x, my = sc.mic_y - e.mid_y;
        const double rm = std::sqrt(g.z * g.z + g.k * g.k * (mx * mx + my * my));
        const double length = g.k * PointDistance(e.a, e.b);
        if (!(length > 0.0)) continue;  // a zero-length element diffracts nothing
        const double rs = g.k * PointDistance(source, mid);
        const double w = ElementAngleWeight(e, x, y);
        const double z = g.z;
        switch (s.BaffleEdgeType) {
            case 0: AddPath(weight * kSquareK * w, dipole ? 2.0 : 1.0, rm, rs + rm, r0, absolute, tones); break;
            case 1: {
                const double a = s.BevelA, b = s.BevelB;
                const double face = kCmToM * std::sqrt(a * a + b * b);
                const double rb = std::hypot(rs + kCmToM * b, z + kCmToM * a);
                AddPath(weight * kBevelK * w, dipole ? 1.3 : 0.65, rm, rs + rm, r0, absolute, tones);
                AddPath(weight * kBevelK * w, dipole ? 1.1 : 0.55, rb + face, rs + rb + face, r0, absolute, tones);
                break;
            }
            case 2: {
                const double rr = kCmToM * s.RoundRadius;
                const double e1 = 2.0 * rr * std::sin(kHalfArcStep);
                const double kw = weight * kRoundK * w;
                const double scale = dipole ? 1.0 : 0.5;
                AddPath(kw, scale * kRoundCoefficient[0], rm, rs + rm, r0, absolute, tones);
                for (int p = 0; p < 4; ++p) {
                    const double alpha = kRoundAngles[p];
                    const double rp = std::hypot(rs + rr * std::sin(alpha), z + rr * (1.0 - std::cos(alpha)));
                    const double arc = (p + 1) * e1;
                    AddPath(kw, scale * kRoundCoefficient[p + 1], rp + arc, rs + rp + arc, r0, absolute, tones);
                }
                break;
            }
        }
    }
    return true;
}

Cd ToneSum(const std::vector<DiffractionTone>& tones, double f) {
    const double omega = kAngularFactor * f;
    Cd sum = 0.0;
    for (const DiffractionTone& t : tones) sum += std::polar(t.amplitude, -omega * t.delay);
    return sum;
}

int SumEdgeDiffraction(const DiffractionScene& scene, double x, double y, double f, Cd* sum) {
    if (!(scene.raster_cm > 0.0)) {
        *sum = Cd(1.0, 0.0);
        return 0;
    }
    std::vector<DiffractionTone> tones;
    if (AppendPointTones(scene, x, y, 1.0, &tones)) *sum += ToneSum(tones, f);
    return 0;
}

bool SweepTones(const std::vector<DiffractionTone>& tones, const float* f, int bins, Cd* out) {
    if (bins <= 0) return true;
    if (bins < 4 || !GridUniformFromPointOne(f, bins)) {
        for (int k = 0; k < bins; ++k) out[k] = ToneSum(tones, f[k]);
        return true;
    }
    out[0] = ToneSum(tones, f[0]);
    // The spacing of the table, fitted over all bins: the float entries scatter around k df.
    double num = 0.0, den = 0.0;
    for (int k = 1; k < bins; ++k) {
        num += double(k) * f[k];
        den += double(k) * k;
    }
    const double df = num / den;

    // F(k) = sum_j A_j e^(-i k theta_j), theta_j = 6.284 df delay_j mod 2 pi, for k = 0 .. K-1: modes centred
    // on K/2, spread onto an oversampled periodic grid with a Gaussian, transformed, and the Gaussian divided
    // out again (Greengard and Lee's gridding).
    const int modes = bins, centre = bins / 2;
    int grid = 1;
    while (grid < 2 * modes) grid <<= 1;
    const double ratio = double(grid) / modes;
    const double tau = kPi * kSpread / (double(modes) * modes * ratio * (ratio - 0.5));
    const double h = kTwoPi / grid;
    std::unique_ptr<Cd[]> data(new (std::nothrow) Cd[static_cast<std::size_t>(grid) + grid / 2]);
    if (!data) return false;
    Cd* x = data.get();
    Cd* roots = x + grid;
    for (int m = 0; m < grid; ++m) x[m] = 0.0;
    double e3[2 * kSpread];
    for (int l = -kSpread + 1; l <= kSpread; ++l) e3[l + kSpread - 1] = std::exp(-(l * h) * (l * h) / (4.0 * tau));

    for (const DiffractionTone& t : tones) {
        const double cycles = kAngularFactor * df * t.delay / kTwoPi;
        const double theta = kTwoPi * (cycles - std::floor(cycles));
        const double shift = std::fmod(centre * (theta / kTwoPi), 1.0) * kTwoPi;
        const Cd c = std::polar(t.amplitude, -shift);
        const long m0 = static_cast<long>(std::floor(theta / h));
        const double delta = theta - m0 * h;
        const double e1 = std::exp(-delta * delta / (4.0 * tau));
        const double e2 = std::exp(delta * h / (2.0 * tau));
        double e2l = std::pow(e2, -kSpread + 1);
        for (int l = -kSpread + 1; l <= kSpread; ++l, e2l *= e2) {
            const long m = ((m0 + l) % grid + grid) % grid;
            x[m] += c * (e1 * e2l * e3[l + kSpread - 1]);
        }
    }
    MakeFftRoots(grid, roots);
    DoubleFft(x, grid, -1, roots);
    const double norm = std::sqrt(kPi / tau) / grid;
    for (int k = 1; k < bins; ++k) {
        const int kk = k - centre;
        out[k] = x[(kk + grid) % grid] * (norm * std::exp(double(kk) * kk * tau));
    }
    return true;
}
