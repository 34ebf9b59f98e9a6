#pragma once
// "Add Diffraction To ": the baffle diffraction of the driver arrangement multiplied, bin by bin, into a
// post-processing buffer, the master buffer or the driver record's linear curves. The baffle, the checks and
// the piston model are the diffraction calculator's own.
#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/messages.h"
#include "tools/diffraction_run.h"

inline constexpr const char* kIncorrectAddDestination = "Incorrect ADD Destination";
inline constexpr const char* kFrontBaffleSetupError = "Front Baffle Setup Error";

// What was changed.
enum class DiffractionTarget { kNone, kBuffer, kDriver };

// destination_text: the edit's text, read as an integer: 0 the driver's linear SPL and phase, 1..5 buffer n
// (CalibrationCurves slots 2n-2 and 2n-1, real and imaginary), 6 the master buffer (slots 10 and 11).
// Checks in order: the destination, the baffle (its own message, then "Front Baffle Setup Error"), then the
// driver checks of the run. Returns what changed; on a refusal nothing did, and the messages say why. After a
// change of the driver's curves the caller refreshes the measured curve pair of the plots.
DiffractionTarget AddDiffractionToBuffer(const char* destination_text, BaffleRecord* baffle, BaffleEdgePointList* points,
                                         BaffleEdgeElements* elements, HV_Driver_Data* driver,
                                         const DiffractionSettings& settings, const float* BinFrequencyTable,
                                         PlotCurve* CalibrationCurves, MessageList* messages);
