#pragma once
// The diffraction run: one or two drivers on the baffle, each a disc of piston points, summed with the edge
// diffraction of every point over all linear bins; the response stored as SPL and phase curves, with the
// effect of the driver spacing as a third curve. The checks and the piston model are shared with the
// measurement page that adds the diffraction to a buffer.
#include <complex>
#include <cstdint>
#include <vector>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/messages.h"
#include "app/settings.h"
#include "tools/edge_diffraction.h"

inline constexpr const char* kDriverDiameterError = "Driver's Dia Data Error";
inline constexpr const char* kEnclosureGeometryError = "Enclosure Geometry Data Error";
inline constexpr const char* kDriver1GeometryError = "Driver 1 Geometry Data Error";
inline constexpr const char* kDriver2GeometryError = "Driver 2 Geometry Data Error";
inline constexpr const char* kDriverDistanceError = "Driver's Distance Data Error";
inline constexpr const char* kDriverConfigError = "Only One Or Two Drivers Can Be Modeled";
inline constexpr double kPairWeight = 0.525;  // each of two drivers (not 0.5)

// The piston offsets (grid units) around a driver centre: a grid of PistonPoints + 2 divisions per axis over
// the square of side 2 radius, kept where the distance is within 1.075 radius.
struct PistonOffset {
    double u, v;
};
std::vector<PistonOffset> PistonGrid(double radius, uint32_t piston_points);

// The driver arrangement after the checks.
struct DiffractionDrivers {
    int count = 0;                    // 1 or 2
    double x[2] = {}, y[2] = {};      // centres, grid units
    double radius = 0.0;              // piston radius, grid units
    double spacing_m = 0.0;           // two drivers: their distance
    double raster_cm = 1.0;           // the raster the checks used (1 when the record's is not above 0)
};

// The checks of the driver data against the enclosure, in order: diameter, width and height (5 to 200 cm),
// the arrangement (0 one driver, 1 or 2 two; anything else refused), the spacing, each driver at least 2.5 cm
// inside W x H. Grid coordinates are converted with the raster. Returns 1 with `out` filled, or 0 with the
// message.
int CheckDiffractionDrivers(HV_Driver_Data& driver, const BaffleRecord& baffle, DiffractionDrivers* out,
                            MessageList* messages);

// The scene of the sum from the record, the prepared elements and the settings.
DiffractionScene MakeDiffractionScene(const BaffleRecord& baffle, const BaffleEdgePointList& points,
                                      const BaffleEdgeElements& elements, HV_Driver_Data& driver,
                                      const DiffractionSettings& settings);

// The averaged response of the arrangement at every bin: each driver's piston points averaged, two drivers
// weighted 0.525 each. A raster not above 0 gives the flat response (1 per driver). Returns false when memory
// runs out.
bool DiffractionResponse(const DiffractionScene& scene, const DiffractionDrivers& drivers, const float* frequency,
                         int bins, std::complex<double>* out);

// What the run writes into.
struct DiffractionRunState {
    PlotCurve* curves = nullptr;      // DiffractionCurves, 15
    uint32_t spl_slot = 0;            // DiffractionSplSlot, next of 0..4
    uint32_t phase_slot = 0;          // DiffractionPhaseSlot
    uint32_t pair_slot = 0;           // DiffractionPairSlot
};

// The run of "Plot": the baffle prepared, the drivers checked, the response of every bin stored as SPL
// (10 log10(|p|^2 + 1e-7)) and phase in the next slots, pens from ColourScheme entries 1 and 2; with two
// drivers the spacing curve 10 log10(1 + sin x / x) in the next spacing slot (entry 3), else that slot is
// marked not valid. Returns 0 when the preparation fails, 1 otherwise (also after a refused check, which
// changes no curve and no counter).
int RunDiffraction(BaffleRecord* baffle, BaffleEdgePointList* points, BaffleEdgeElements* elements, HV_Driver_Data* driver,
                   const DiffractionSettings& settings, const float* BinFrequencyTable, const ColourEntry* ColourScheme,
                   DiffractionRunState* state, MessageList* messages);
