#include "tools/diffraction_run.h"

#include <cmath>

#include "tools/driver_fields.h"

namespace {

using Cd = std::complex<double>;

constexpr double kEdgeMargin = 2.5;       // cm a driver centre keeps from the enclosure's edges
constexpr double kEnclosureMin = 5.0;     // cm
constexpr double kEnclosureMax = 200.0;   // cm
constexpr double kSplFloor = 1e-7;
constexpr double kZeroRealPart = 1e-12;
constexpr double kDegreesPerRadian = 57.288;
constexpr double kSpacingFactor = 0.0029069767441860465;  // 1 / 344
constexpr double kAngularFactor = 6.284;
constexpr int kCurvesPerGroup = 5;

bool InsideEnclosure(double x, double y, double w, double h) {
    return x >= kEdgeMargin && y >= kEdgeMargin && x <= w - kEdgeMargin && y <= h - kEdgeMargin;
}

void SetPen(PlotCurve* c, const ColourEntry& e) {
    c->Visible = 1.0f;
    c->Red = static_cast<float>(e.red);
    c->Green = static_cast<float>(e.green);
    c->Blue = static_cast<float>(e.blue);
    c->PenWidth = static_cast<float>(e.thickness);
    c->PenStyle = static_cast<float>(e.type);
}

uint32_t Advance(uint32_t slot) { return slot + 1 >= kCurvesPerGroup ? 0 : slot + 1; }

}  // namespace

std::vector<PistonOffset> PistonGrid(double radius, uint32_t piston_points) {
    std::vector<PistonOffset> grid;
    if (!(radius > 0.0) || !std::isfinite(radius)) return grid;
    const double step = 2.0 * radius / (static_cast<double>(piston_points) + 2.0);
    const double reach = 1.1 * radius, limit = 1.075 * radius;
    for (int i = 0;; ++i) {
        const double u = -radius + i * step;
        if (!(u < reach)) break;
        for (int j = 0;; ++j) {
            const double v = -radius + j * step;
            if (!(v < reach)) break;
            if (std::sqrt(u * u + v * v + 1e-7) <= limit) grid.push_back(PistonOffset{u, v});
        }
    }
    return grid;
}

int CheckDiffractionDrivers(HV_Driver_Data& driver, const BaffleRecord& baffle, DiffractionDrivers* out,
                            MessageList* messages) {
    DiffractionDrivers d;
    const double raster = BaffleRaster(baffle);
    d.raster_cm = raster > 0.0 ? raster : 1.0;
    const double radius_cm = 0.5 * FieldNumber(DriverDiameter(driver));
    if (!(radius_cm > 0.0) || !std::isfinite(radius_cm)) {
        AddWarning(messages, kDriverDiameterError);
        return 0;
    }
    d.radius = radius_cm / d.raster_cm;
    const double w = FieldNumber(DriverEnclosureWidth(driver)), h = FieldNumber(DriverEnclosureHeight(driver));
    if (!(w >= kEnclosureMin && w <= kEnclosureMax && h >= kEnclosureMin && h <= kEnclosureMax)) {
        AddWarning(messages, kEnclosureGeometryError);
        return 0;
    }
    const uint32_t config = DriverConfig(driver);
    if (config > 2) {
        AddWarning(messages, kDriverConfigError);
        return 0;
    }
    d.count = config == 0 ? 1 : 2;
    for (int k = 0; k < d.count; ++k) {
        d.x[k] = baffle.Positions[k].x;
        d.y[k] = baffle.Positions[k].y;
    }
    const double s = d.raster_cm;
    if (d.count == 2) {
        const double dx = d.x[0] - d.x[1], dy = d.y[0] - d.y[1];
        d.spacing_m = 0.01 * s * std::sqrt(dx * dx + dy * dy);
        if (!(d.spacing_m > 0.0) || !std::isfinite(d.spacing_m)) {
            AddWarning(messages, kDriverDistanceError);
            return 0;
        }
    }
    for (int k = 0; k < d.count; ++k) {
        if (!InsideEnclosure(s * d.x[k], s * d.y[k], w, h)) {
            AddWarning(messages, k == 0 ? kDriver1GeometryError : kDriver2GeometryError);
            return 0;
        }
    }
    *out = d;
    return 1;
}

DiffractionScene MakeDiffractionScene(const BaffleRecord& baffle, const BaffleEdgePointList& points,
                                      const BaffleEdgeElements& elements, HV_Driver_Data& driver,
                                      const DiffractionSettings& settings) {
    DiffractionScene sc;
    sc.elements = elements.Elements;
    const int n = points.ElementCount;
    sc.element_count = n < 0 ? 0 : n > kBaffleEdgeCapacity ? kBaffleEdgeCapacity : n;
    sc.raster_cm = BaffleRaster(baffle);
    sc.mic_x = baffle.Positions[4].x;
    sc.mic_y = baffle.Positions[4].y;
    const double z = DriverMikeDistance(driver);
    sc.mic_distance_cm = std::isfinite(z) ? z : 0.0;
    sc.settings = settings;
    return sc;
}

bool DiffractionResponse(const DiffractionScene& scene, const DiffractionDrivers& drivers, const float* frequency,
                         int bins, Cd* out) {
    const double driver_weight = drivers.count == 2 ? kPairWeight : 1.0;
    if (!(scene.raster_cm > 0.0)) {  // every call of the sum gives the unit response
        for (int k = 0; k < bins; ++k) out[k] = Cd(drivers.count * driver_weight, 0.0);
        return true;
    }
    std::vector<DiffractionTone> tones;
    const std::vector<PistonOffset> piston = PistonGrid(drivers.radius, scene.settings.PistonPoints);
    for (int d = 0; d < drivers.count; ++d) {
        const double weight = driver_weight / static_cast<double>(piston.size());
        for (const PistonOffset& p : piston) AppendPointTones(scene, drivers.x[d] + p.u, drivers.y[d] + p.v, weight, &tones);
    }
    return SweepTones(tones, frequency, bins, out);
}

int RunDiffraction(BaffleRecord* baffle, BaffleEdgePointList* points, BaffleEdgeElements* elements, HV_Driver_Data* driver,
                   const DiffractionSettings& settings, const float* bins, const ColourEntry* colours,
                   DiffractionRunState* state, MessageList* messages) {
    if (PrepareBaffleEdges(baffle, points, elements, messages) != 0) return 0;
    DiffractionDrivers drivers;
    if (!CheckDiffractionDrivers(*driver, *baffle, &drivers, messages)) return 1;
    const DiffractionScene scene = MakeDiffractionScene(*baffle, *points, *elements, *driver, settings);
    std::vector<Cd> p(kCurvePoints);
    if (!DiffractionResponse(scene, drivers, bins, static_cast<int>(kCurvePoints), p.data())) return 1;

    PlotCurve& spl = state->curves[state->spl_slot % kCurvesPerGroup];
    PlotCurve& phase = state->curves[kCurvesPerGroup + state->phase_slot % kCurvesPerGroup];
    for (std::size_t k = 0; k < kCurvePoints; ++k) {
        double re = p[k].real();
        const double im = p[k].imag();
        spl.Values[k] = static_cast<float>(10.0 * std::log10(re * re + im * im + kSplFloor));
        if (re == 0.0) re = kZeroRealPart;
        phase.Values[k] = static_cast<float>(std::atan2(im, re) * kDegreesPerRadian);
    }
    SetPen(&spl, colours[1]);
    SetPen(&phase, colours[2]);
    state->spl_slot = Advance(state->spl_slot);
    state->phase_slot = Advance(state->phase_slot);

    PlotCurve& pair = state->curves[2 * kCurvesPerGroup + state->pair_slot % kCurvesPerGroup];
    if (drivers.count == 2) {
        for (std::size_t k = 0; k < kCurvePoints; ++k) {
            const double x = kAngularFactor * bins[k] * drivers.spacing_m * kSpacingFactor;
            pair.Values[k] = static_cast<float>(10.0 * std::log10(1.0 + std::sin(x) / x));
        }
        SetPen(&pair, colours[3]);
        state->pair_slot = Advance(state->pair_slot);
    } else {
        pair.Visible = 0.0f;
    }
    return 1;
}
