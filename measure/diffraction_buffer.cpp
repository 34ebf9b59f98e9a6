#include "measure/diffraction_buffer.h"

#include <cmath>
#include <complex>
#include <cstdlib>
#include <vector>

#include "tools/driver_fields.h"

namespace {

using Cd = std::complex<double>;

constexpr double kDegreesPerRadian = 57.288;
constexpr double kPowerFloor = 1e-16;
constexpr double kZeroRealPart = 1e-12;
constexpr int kMasterBuffer = 6;

}  // namespace

DiffractionTarget AddDiffractionToBuffer(const char* text, BaffleRecord* baffle, BaffleEdgePointList* points,
                                         BaffleEdgeElements* elements, HV_Driver_Data* driver,
                                         const DiffractionSettings& settings, const float* bins, PlotCurve* curves,
                                         MessageList* messages) {
    const int d = text ? std::atoi(text) : 0;
    if (d < 0 || d > kMasterBuffer) {
        AddWarning(messages, kIncorrectAddDestination);
        return DiffractionTarget::kNone;
    }
    if (PrepareBaffleEdges(baffle, points, elements, messages) != 0) {
        AddWarning(messages, kFrontBaffleSetupError);
        return DiffractionTarget::kNone;
    }
    DiffractionDrivers drivers;
    if (!CheckDiffractionDrivers(*driver, *baffle, &drivers, messages)) return DiffractionTarget::kNone;
    const DiffractionScene scene = MakeDiffractionScene(*baffle, *points, *elements, *driver, settings);
    std::vector<Cd> response(kCurvePoints);
    if (!DiffractionResponse(scene, drivers, bins, static_cast<int>(kCurvePoints), response.data()))
        return DiffractionTarget::kNone;

    if (d >= 1) {
        const int slot = d == kMasterBuffer ? 10 : 2 * d - 2;
        float* re = curves[slot].Values;
        float* im = curves[slot + 1].Values;
        for (std::size_t k = 0; k < kCurvePoints; ++k) {
            const Cd v = Cd(re[k], im[k]) * response[k];
            re[k] = static_cast<float>(v.real());
            im[k] = static_cast<float>(v.imag());
        }
        return DiffractionTarget::kBuffer;
    }
    for (std::size_t k = 0; k < kCurvePoints; ++k) {
        // A point whose level does not give a finite value keeps what it held.
        if (!std::isfinite(driver->spl_lin[k]) || !std::isfinite(driver->phase_lin[k])) continue;
        const Cd v = std::polar(std::pow(10.0, 0.05 * driver->spl_lin[k]), driver->phase_lin[k] / kDegreesPerRadian) *
                     response[k];
        double re = v.real();
        const double im = v.imag();
        const double spl = 10.0 * std::log10(re * re + im * im + kPowerFloor);
        if (re == 0.0) re = kZeroRealPart;
        const double phase = std::atan2(im, re) * kDegreesPerRadian;
        if (!FitsFloat(spl) || !std::isfinite(phase)) continue;
        driver->spl_lin[k] = static_cast<float>(spl);
        driver->phase_lin[k] = static_cast<float>(phase);
    }
    return DiffractionTarget::kDriver;
}
