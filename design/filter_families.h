#pragma once
// Transfer functions of the filter block: closed-form analog prototypes evaluated at s = j*2*pi*f.
#include "design/complex_matrix.h"
#include "design/network_model.h"

// A filter block's parameters, as the network model numbers them.
inline constexpr int kFilterParamFamily = kParamFilterFamily;
inline constexpr int kFilterParamSlope = kParamFilterSlope;
inline constexpr int kFilterParamFrequency = kParamFilterFrequency;
inline constexpr int kFilterParamBypass = kParamBypass;
inline constexpr int kFilterParamQOrRatio = kParamCabsDelay;  // shared slot: Q or R of a filter block
inline constexpr int kFilterParamGainDb = kParamFilterGain;

enum FilterFamily : int {
    kFamilyBessel = 0,
    kFamilyButterworth = 1,
    kFamilyLinkwitz = 2,
    kFamilyQParametric = 3,
    kFamilyShelvingMinus6 = 4,
    kFamilyShelvingMinus12 = 5,
    kFamilyShelvingPlus6 = 6,
    kFamilyShelvingPlus12 = 7,
    kFamilyKeeleLpW = 8,
    kFamilyKeeleHpN = 9,
    kFamilyKeeleLpN = 10,
    kFamilyKeeleTwe = 11,
};
inline constexpr int kFilterFamilyCount = 12;

enum FilterSlope : int {
    kSlopeLp6 = 0,
    kSlopeLp12 = 1,
    kSlopeLp18 = 2,
    kSlopeLp24 = 3,
    kSlopeLp48 = 4,
    kSlopeHp6 = 5,
    kSlopeHp12 = 6,
    kSlopeHp18 = 7,
    kSlopeHp24 = 8,
    kSlopeHp48 = 9,
};
inline constexpr int kFilterSlopeCount = 10;

inline constexpr const char* kFilterFamilyNames[kFilterFamilyCount] = {
    "Bessel",        "Butterworth",   "Linkwitz",   "Q-Parametric", "Shelving-6dB", "Shelving-12dB",
    "Shelving+6dB",  "Shelving+12dB", "Keele LP-W", "Keele HP-N",   "Keele LP-N",   "Keele TWE"};

inline constexpr const char* kFilterSlopeNames[kFilterSlopeCount] = {
    "LP -6dB/oct", "LP -12dB/oct", "LP -18dB/oct", "LP -24dB/oct", "LP -48dB/oct",
    "HP +6dB/oct", "HP +12dB/oct", "HP +18dB/oct", "HP +24dB/oct", "HP +48dB/oct"};

// One analog section of the families Bessel .. Shelving+12dB with a slope 0..9, in double precision: the
// forms a filter block takes, without its by-pass, its checks or the Keele families (the calibration curves
// are built from the same sections). 1 + 0j for a family or slope that selects nothing.
struct AnalogResponse {
    double re, im;
};
AnalogResponse AnalogSectionResponse(int family, int slope, double f, double fc, double q, double gain_db);

// Complex response of one filter block at frequency f (Hz). `params` are the block's 16 element parameters;
// the Keele families clamp their ratio R and write it back into params[kFilterParamQOrRatio]. A by-passed
// block, a family or slope that selects nothing, Fc <= 0 or not finite, or a result that is not finite
// (gains so extreme that the arithmetic breaks down) give 1 + 0j. Each block's response depends only on its
// own parameters and f.
ComplexF FilterBlockResponse(float* params, float f);
