#pragma once
// Minimum phase from magnitude: the Bode gain-phase integral evaluated numerically on a frequency grid, and
// the driver equalization built on it.
#include <complex>
#include <cstdint>
#include <vector>

// Constants and end terms of one numerical Bode integral. For grid point i, with w_k = angular_scale f_k and
// levels A_k in dB:
//   phase_i = TL_i + phase_scale f_i S_i + TH_i
//   S_i = sum over intervals j of (0.5 / db_per_neper) (wb - wa) [(Aa - A_i)/(wa^2 - w_i^2) + (Ab - A_i)/(wb^2 - w_i^2)]
// where an interval runs from (w_j, A_j) to (w_j+1, A_j+1), except that the two intervals touching i are moved
// off the singular point: interval i starts at (angular_scale f_i + lower_shift (f_i+1 - f_i),
// A_i + level_fraction (A_i+1 - A_i)); interval i-1 ends at (angular_scale f_i + upper_shift (f_i - f_i-1),
// A_i + level_fraction (A_i - A_i-1)).
// The end terms continue the curve below and above the grid with straight lines in (ln w, nepers) through two
// grid points each, bent to the given slope order (0 = flat):
//   TL_i = -(2 w_lo / (pi w_i)) (C0 - A_i / db_per_neper),  C0 = B0 + (ln w_lo - 1) low_slope_order
//   TH_i =  (2 w_i / (pi w_hi)) (C1 - A_i / db_per_neper),  C1 = B1 - (ln w_hi + 1) high_slope_order
// with B0, B1 the lines' values at ln w = 0, w_lo = w at low_first and w_hi = w at high_second.
struct BodeIntegralConstants {
    double angular_scale;
    double db_per_neper;
    double pi;
    double phase_scale;
    double lower_shift;
    double upper_shift;
    double level_fraction;
    int low_first;
    int low_second;
    double low_slope_order;
    int high_first;
    int high_second;
    double high_slope_order;
};

// True when f[k] = k f[1] for every k >= 1 to single-precision rounding, with 0 <= f[0] < f[1]: the linear
// bin grid (whose point 0 stands at 0.01 Hz).
bool GridUniformFromPointOne(const float* f, int count);

// The constants of the driver equalization (and the room equalizer) for a grid of `count` points: end lines
// through points 0 and 10 and through points count-4096 and count-1, both flat.
BodeIntegralConstants DriverEqBodeConstants(int count);

// Phase in radians at every grid point i < count. On a grid that is uniform from point 1 on (the linear bin
// grid) the sum is formed through FFT convolutions in O(count log count); on any other grid, directly in
// double precision. Returns 0, or 1 when the arguments are unusable (count < 2, end points off the grid).
int BodePhase(const float* f, const float* level_db, int count, const BodeIntegralConstants& k, float* phase);

// The same integral summed term by term in single precision, O(count^2): the reference for BodePhase.
int BodePhaseLiteral(const float* f, const float* level_db, int count, const BodeIntegralConstants& k, float* phase);

// Which sum a minimum-phase build uses: BodePhase (through FFT convolutions on the linear grid) or the
// term-by-term BodePhaseLiteral it is tested against.
enum class BodeMethod { kFast, kLiteral };

// The minimum-phase spectrum of a level curve: point i < count of `spectrum` (complex, interleaved) becomes
// 10^(level_db[i] / 20) e^(j phase_i) with the phase of the integral. Returns 0, or 1 when the phase could not
// be formed (the arguments, or memory); the spectrum is then left as it was.
int MinimumPhaseSpectrum(const float* f, const float* level_db, int count, const BodeIntegralConstants& k,
                         BodeMethod method, float* spectrum);

// Number of bins of a driver response and of the level work array.
inline constexpr int kDriverResponseBins = 65536;

// Minimum-phase response of one driver inside the band band_low .. band_high (Hz, clamped to 1.02 .. 49000),
// flat outside it. driver_re/driver_im: the driver's response on the bins of BinFrequencyTable
// (kDriverResponseBins each). N: block frames; the grid has M = 16 N bins. Writes the dB levels of all
// kDriverResponseBins bins into MinPhaseDbWork (flattened outside the band over the first M) and points
// 0 .. M-1 of MinPhaseWorkSpectrum (complex, interleaved); points from M on are left as they are.
// Returns 0, or 1 when N is out of range.
int BuildMinimumPhaseResponse(const float* driver_re, const float* driver_im, float band_low, float band_high,
                              const float* BinFrequencyTable, int N, float* MinPhaseDbWork,
                              float* MinPhaseWorkSpectrum);

// The same with the phase summed term by term (BodePhaseLiteral).
int BuildMinimumPhaseResponseLiteral(const float* driver_re, const float* driver_im, float band_low,
                                     float band_high, const float* BinFrequencyTable, int N, float* MinPhaseDbWork,
                                     float* MinPhaseWorkSpectrum);

// The minimum-phase spectrum of an n-point DFT (n a power of two, at least 4) whose magnitudes at bins
// 0 .. n/2 are `magnitude` (n/2 + 1 values; below 1e-12 they count as 1e-12): the real cepstrum of the log
// magnitude folded onto the non-negative quefrencies. Returns bins 0 .. n/2; their magnitudes are the given
// ones, and the inverse transform of the completed spectrum is the causal response with the least delay.
std::vector<std::complex<double>> DiscreteMinimumPhase(const std::vector<double>& magnitude, int n);
