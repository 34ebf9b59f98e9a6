#include "measure/ir_windows.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/settings.h"

namespace {

constexpr double kPi = 3.141592653589793;

enum class Shape { kBlackmanHarris, kHanning, kKaiserBessel, kFlat, kSemiRectangular };

// The one-sided shape of each type, in list order.
constexpr Shape kOneSidedShape[kMlsWindowTypeCount] = {
    Shape::kBlackmanHarris, Shape::kHanning, Shape::kFlat, Shape::kKaiserBessel, Shape::kSemiRectangular,
    Shape::kBlackmanHarris, Shape::kHanning, Shape::kKaiserBessel, Shape::kSemiRectangular, Shape::kFlat};

double ShapeValue(Shape s, double t) {
    switch (s) {
        case Shape::kBlackmanHarris: return BlackmanHarrisShape(t);
        case Shape::kHanning: return HanningShape(t);
        case Shape::kKaiserBessel: return KaiserBesselShape(t);
        default: return 1.0;
    }
}

double RaisedCosine(double t) { return 0.5 * (1.0 - std::cos(t)); }

}  // namespace

double BlackmanHarrisShape(double t) {
    return 0.64125 - 0.48829 * std::cos(t + kPi) + 0.14128 * std::cos(2.0 * t + kPi) - 0.01168 * std::cos(3.0 * t + kPi);
}

double HanningShape(double t) { return 0.5 * (1.0 - std::cos(t + kPi)); }

double KaiserBesselShape(double t) { return 0.5 * (1.0 - 1.24 * std::cos(t + kPi) - 0.244 * std::cos(2.0 * t + kPi)); }

double IrWindowWidthAsTyped(const char* width_text) { return SettingTextNumber(width_text); }

IrWindowWidths ReadIrWindowWidths(const char* width_text, int order) {
    const int N = 1 << order;
    IrWindowWidths w;
    const double typed = IrWindowWidthAsTyped(width_text);
    // Held within float range before the conversion, so that the float limit below compares sanely.
    float W = static_cast<float>(typed > 1e30 ? 1e30 : (typed < -1e30 ? -1e30 : typed));
    if (W > static_cast<float>(N - 1)) W = static_cast<float>(N - 1);
    // A width below one sample makes no window (2W - 1 at or below zero): one sample is the least.
    if (!(W >= 1.0f)) W = 1.0f;
    w.W = W;

    int32_t P = SettingTextInteger(width_text);
    if (P > N / 4 - 1) P = N / 4 - 1;
    if (P < 1) P = 1;
    w.P = P;
    return w;
}

int BuildIrWindow(uint32_t type, const char* width_text, int order, float* one_sided, float* two_sided) {
    std::memset(one_sided, 0, kIrWindowClearedEntries * sizeof(float));
    std::memset(two_sided, 0, kIrWindowClearedEntries * sizeof(float));
    if (type >= static_cast<uint32_t>(kMlsWindowTypeCount)) return 0;
    const int N = 1 << order;
    const IrWindowWidths widths = ReadIrWindowWidths(width_text, order);
    const float W = widths.W;
    const int32_t P = widths.P;
    // The step constants are single-precision values, as they have always been; products with an index are
    // exact in double.
    const auto d = static_cast<float>(2.0 * kPi / (2.0 * W - 1.0));
    const auto d2 = static_cast<float>(4.0 * kPi / (4.0 * P - 1.0));
    const auto e = static_cast<float>(16.0 * kPi / (2.0 * W - 1.0));
    const auto e2 = static_cast<float>(16.0 * kPi / (2.0 * P - 1.0));
    const Shape shape = kOneSidedShape[type];

    // One-sided window.
    if (shape == Shape::kSemiRectangular) {
        const float flat_end = W - 0.125f * W;
        for (int i = 0; i < N && static_cast<float>(i) < flat_end; ++i) one_sided[i] = 1.0f;
        for (int i = static_cast<int>(flat_end); i < N && static_cast<float>(i) < W; ++i)
            one_sided[i] = static_cast<float>(RaisedCosine(static_cast<double>(i) * e));
    } else {
        for (int i = 0; i < N && static_cast<float>(i) < W; ++i)
            one_sided[i] = static_cast<float>(ShapeValue(shape, static_cast<double>(i) * d));
    }

    // Two-sided window.
    if (type < kFirstTwoSidedWindow) {
        std::memcpy(two_sided, one_sided, static_cast<std::size_t>(N) * sizeof(float));
    } else if (type == 9) {
        for (int i = 0; i < N && i < 2 * P; ++i) two_sided[i] = 1.0f;
    } else if (type == 8) {
        const int32_t P8 = P / 8;
        for (int i = 0; i < 2 * P - P8; ++i) two_sided[i] = 1.0f;
        for (int j = 0; j < P8; ++j) two_sided[j] = static_cast<float>(RaisedCosine(static_cast<double>(j) * e2));
        for (int j = (15 * P) / 8; j < 2 * P; ++j)
            two_sided[j - P8] = static_cast<float>(RaisedCosine(static_cast<double>(j) * e2));
    } else {
        // The falling half lands at P..2P-1, the rising half at 0..P-1: the peak stands at index P.
        for (int j = 0; j < 2 * P; ++j) {
            const auto v = static_cast<float>(ShapeValue(shape, static_cast<double>(j) * d2));
            if (j < P)
                two_sided[j + P] = v;
            else
                two_sided[j - P] = v;
        }
    }
    return 0;
}
