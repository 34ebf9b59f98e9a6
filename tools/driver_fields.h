#pragma once
// The fields of a driver record that the data tools read and write, by the names the tools use. The record
// keeps them in its generic text and word blocks; these accessors say which is which.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/driver_data.h"
#include "app/typed_numbers.h"

inline char* DriverInputPower(HV_Driver_Data& d) { return d.input_power; }         // W, kInputPowerField wide
inline char* DriverLowPassSlope(HV_Driver_Data& d) { return d.text_1403[0]; }     // dB per octave
inline char* DriverLowPassStart(HV_Driver_Data& d) { return d.text_1403[1]; }     // Hz
inline char* DriverHighPassSlope(HV_Driver_Data& d) { return d.text_1403[2]; }    // dB per octave
inline char* DriverHighPassStop(HV_Driver_Data& d) { return d.text_1403[3]; }     // Hz
inline char* DriverImportDelay(HV_Driver_Data& d) { return d.text_1403[8]; }      // ms
inline char* DriverImportScale(HV_Driver_Data& d) { return d.text_1403[9]; }      // dB
inline char* DriverEfficiencyText(HV_Driver_Data& d) { return d.params[kEfficiencyField]; }  // dB
inline char* DriverDiameter(HV_Driver_Data& d) { return d.params[kDiameterField]; }          // cm
inline char* DriverEnclosureWidth(HV_Driver_Data& d) { return d.text_2148388[0]; }   // cm
inline char* DriverEnclosureHeight(HV_Driver_Data& d) { return d.text_2148388[1]; }  // cm
inline char* DriverSplReference(HV_Driver_Data& d) { return d.text_2148764[0]; }     // dB
inline char* DriverSplStep(HV_Driver_Data& d) { return d.text_2148764[1]; }          // dB

inline uint32_t& DriverImpedanceData(HV_Driver_Data& d) { return d.block_2148308[kImpedanceFlagWord]; }
inline uint32_t& DriverPhaseDistance(HV_Driver_Data& d) { return d.block_2148308[kImpedanceFlagWord + 1]; }
inline uint32_t& DriverAmplitudeDistance(HV_Driver_Data& d) { return d.block_2148308[kImpedanceFlagWord + 2]; }
inline float& DriverHbtDistance(HV_Driver_Data& d) { return d.measuring_distance_m; }  // m
inline float& DriverMikeDistance(HV_Driver_Data& d) { return d.diffraction_param; }     // cm
inline uint32_t& DriverConfig(HV_Driver_Data& d) { return d.word_2148504; }  // 0 one driver, 1/2 two, 3 four

// The number at the start of a text field, read by the rule for typed numbers without reading past the
// field's width when the field holds no NUL. May be infinite or NaN ("inf", "1e999"): callers range-check
// what they use.
inline double FieldNumber(const char* field, std::size_t width = kTextField) {
    return TypedNumber(std::string_view(field, width));
}
