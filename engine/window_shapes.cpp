#include "engine/window_shapes.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// Impulse-window edge coefficients.
constexpr double kEdge0 = 0.64125;
constexpr double kEdge1 = 0.48829;
constexpr double kEdge2 = 0.14128;
constexpr double kEdge3 = 0.01168;

constexpr double kBlackman3[3] = {0.42323, 0.49755, 0.07922};
constexpr double kBlackmanHarris4[4] = {0.35875, 0.48829, 0.14128, 0.01168};
constexpr double kBlackmanHarris7[7] = {0.27105, 0.43329, 0.21812, 0.06592, 0.01081, 0.00077, 0.000013};
constexpr double kNuttall[4] = {0.355768, 0.487396, 0.144232, 0.012604};
constexpr double kHanning[2] = {0.5, 0.5};

// Steps are formed in double precision and held in single precision, as are the arguments built from them.
float Step(double numerator, int denominator) { return static_cast<float>(numerator / denominator); }
float Argument(float step, int index) { return step * static_cast<float>(index); }

void Put(float* window, int point, float value) {
    window[2 * point] = value;
    window[2 * point + 1] = value;
}

// a0 - a1 cos t + a2 cos 2t - ..., evaluated as a0 + a1 cos(t + pi) - a2 cos(2t + pi) + ...
template <int Terms>
double RisingCosineSeries(const double (&a)[Terms], double theta) {
    double sum = a[0];
    for (int k = 1; k < Terms; ++k) {
        const double term = a[k] * std::cos(k * theta + kPi);
        sum += (k % 2) ? term : -term;
    }
    return sum;
}

}  // namespace

double ImpulseEdge(double theta) {
    return kEdge0 + kEdge1 * std::cos(theta) - kEdge2 * std::cos(2.0 * theta) + kEdge3 * std::cos(3.0 * theta);
}

int ImpulseWindowPoints(uint32_t SplOnlyEq, uint32_t WideWindow, int N) {
    if (N <= 0) return 0;
    return SplOnlyEq && !WideWindow ? 4 * N : 8 * N;
}

void FillImpulseWindow(uint32_t SplOnlyEq, uint32_t WideWindow, int N, float* IrWindow) {
    if (N <= 0) return;
    const int n4 = 4 * N, n8 = 8 * N, kept = ImpulseWindowPoints(SplOnlyEq, WideWindow, N);
    if (!SplOnlyEq && !WideWindow) {
        // One sweep of the edge over 8N points, stored rotated by 4N: the bell's peak sits at the centre 4N.
        const float s = Step(kPi, n4 - 1);
        for (int j = 0; j < n8; ++j) Put(IrWindow, j, static_cast<float>(ImpulseEdge(Argument(s, (j + n4) % n8))));
    } else if (!SplOnlyEq) {
        for (int j = 0; j < n8; ++j) Put(IrWindow, j, 1.0f);
        const float s = Step(kTwoPi, 2 * N - 1);
        for (int i = 0; i < N; ++i) {
            const float e = static_cast<float>(ImpulseEdge(Argument(s, i)));
            Put(IrWindow, 7 * N + i, e);
            Put(IrWindow, N - 1 - i, e);
        }
    } else if (!WideWindow) {
        const float s = Step(kTwoPi, n8 - 1);
        for (int j = 0; j < kept; ++j) Put(IrWindow, j, static_cast<float>(ImpulseEdge(Argument(s, j))));
    } else {
        // A causal response keeps the whole FIR but its last N points, where the phase-linearised wide window
        // falls too: a minimum-phase cut of a narrow low-frequency mode rings on for several thousand taps.
        for (int j = 0; j < 7 * N; ++j) Put(IrWindow, j, 1.0f);
        const float s = Step(kTwoPi, 2 * N - 1);
        for (int i = 0; i < N; ++i) Put(IrWindow, 7 * N + i, static_cast<float>(ImpulseEdge(Argument(s, i))));
    }
}

float TaperShape(int32_t type, float theta) {
    const double t = theta;
    switch (type) {
        case kWindowBlackman3:
        case kWindowBlackman3Modified:
            // One minus the 3-term series at pi - theta: rises faster than the plain series and ends at 0.9951.
            return static_cast<float>(
                1.0 - (kBlackman3[0] + kBlackman3[1] * std::cos(t) + kBlackman3[2] * std::cos(2.0 * t)));
        case kWindowBlackmanHarris4:
        case kWindowBlackmanHarris4Modified: return static_cast<float>(RisingCosineSeries(kBlackmanHarris4, t));
        case kWindowBlackmanHarris7: return static_cast<float>(RisingCosineSeries(kBlackmanHarris7, t));
        case kWindowCosine: return static_cast<float>(std::sin(t / 2.0));
        case kWindowHanning: return static_cast<float>(RisingCosineSeries(kHanning, t));
        case kWindowNuttall: return static_cast<float>(RisingCosineSeries(kNuttall, t));
        case kWindowCosine3:
        case kWindowCosine9: {
            const double c = static_cast<float>(std::sin(t / 2.0));
            const double c3 = c * c * c;
            return static_cast<float>(type == kWindowCosine3 ? c3 : c3 * c3 * c3);
        }
        default: return 1.0f;
    }
}

void FillOutputTaper(int32_t L, int32_t window_type, int N, float* OutputTaper) {
    if (static_cast<uint32_t>(window_type) >= static_cast<uint32_t>(kWindowTypeCount)) return;
    const int32_t m = L / 4;
    const int32_t k = L / 8;
    const int32_t count = std::min<int64_t>(k, 16LL * N);
    if (count <= 0) return;
    // theta runs from 0 to about pi: the rising half of a window of m points.
    const float s = Step(kTwoPi, m - 1);
    for (int i = 0; i < count; ++i) Put(OutputTaper, i, TaperShape(window_type, Argument(s, i)));
}
