#pragma once
// Driver data repair: makes the curves of a driver record ready for the Hilbert-Bode transform. Importers
// and measurements mark an empty grid point with 1.0 dB and 0 degrees; the repair closes those holes on both
// grids and gives measured phase that wraps from -180 to +180 across a hole an explicit jump.
#include "app/driver_data.h"
#include "app/messages.h"

inline constexpr const char* kEfficiencyError = "Efficiency Error";
inline constexpr const char* kEfficiencyErrorCaption = "HV MEssage";

// The reference efficiency in dB read from the record's text field (0 when empty, not a number or beyond
// float range).
double DriverEfficiency(const HV_Driver_Data& driver);

// Fills the gaps of one SPL curve (a point is valid above 1.0 dB) in place.
void RepairSplCurve(float* curve, int n);
// Gives wrap jumps their explicit -179/+179 step, then fills the gaps (a point is valid when not 0 degrees;
// the inner walk starts from 0 degrees at entry 0, so entry 0 reads 0 once a later point is valid).
void RepairPhaseCurve(float* curve, int n);

// 0 after the repair of all four curves; 1 when the efficiency is not above 50 dB, with "Efficiency Error"
// added to messages and no curve changed.
int RepairDriverCurves(HV_Driver_Data* driver, MessageList* messages);
