#pragma once
// Edge diffraction: the sound pressure at a microphone in front of a baffle from one radiating point on it,
// the direct sound plus one secondary source on every edge element with one, two or five paths according to
// the edge profile (Square, Bevel or Round). Every path is a tone of fixed amplitude and delay, so a point
// (or a whole piston of points) is a list of tones; the sweep over all bins sums the tones of every point with
// its own geometry.
#include <complex>
#include <cstdint>
#include <vector>

#include "tools/baffle_geometry.h"

// The calculator's settings (initial values as at start-up).
struct DiffractionSettings {
    uint32_t BaffleEdgeType = 0;  // 0 Square, 1 Bevel, 2 Round; any other value: no edge paths
    float BevelA = 10.0f;         // cm, bevel depth
    float BevelB = 10.0f;         // cm, bevel width
    float RoundRadius = 10.0f;    // cm
    uint32_t DirectivityMode = 0; // 1: absolute phases; 0: phases relative to the direct path
    uint32_t DipoleMode = 0;      // 1: dipole coefficients
    uint32_t PistonPoints = 0;    // 0..12: the piston grid has PistonPoints + 2 divisions per axis
};

// Everything the sum reads besides the source point.
struct DiffractionScene {
    const BaffleEdgeElement* elements = nullptr;
    int element_count = 0;
    double raster_cm = 1.0;         // centimetres per grid unit; not above 0: a flat unit response
    double mic_x = 40.0, mic_y = 40.0;  // MicrophonePosition, grid units
    double mic_distance_cm = 100.0; // dr.Mike_Distance: from the baffle plane
    DiffractionSettings settings;
};

// A path of the model: pressure amplitude x e^(-i 6.284 f delay).
struct DiffractionTone {
    double amplitude;
    double delay;  // s (path length over 344 m/s)
};

// The angle weight W of an element seen from source point (x, y): atan2(q tan(t/2) + q / tan(t/2), 1 - q^2)
// + pi/2 with q = (L/2 - rs) / (L/2 + rs) and t the angle at the midpoint between the source and the element's
// end; pi for a source on the midpoint, 0 for an element of no length.
double ElementAngleWeight(const BaffleEdgeElement& element, double x, double y);

// Appends the tones of source point (x, y) (grid units), every amplitude multiplied by `weight`: the direct
// path with amplitude 2/r0, then the paths of every element. Geometry that has no defined angle is given its
// limit: a source on an element's midpoint weighs pi, a zero-length element nothing. Returns false, with
// nothing appended, when the source lies on the microphone axis at distance 0 (r0 = 0).
bool AppendPointTones(const DiffractionScene& scene, double x, double y, double weight, std::vector<DiffractionTone>* tones);

// The sum of tones at frequency f, evaluated term by term.
std::complex<double> ToneSum(const std::vector<DiffractionTone>& tones, double frequency_hz);

// The pressure of source point (x, y) at frequency f added to `sum`, with the point's own geometry; a raster
// not above 0 sets `sum` to (1, 0) instead. Returns 0.
int SumEdgeDiffraction(const DiffractionScene& scene, double x, double y, double frequency_hz, std::complex<double>* sum);

// The tone sum at every bin of a frequency table. On a table uniform from bin 1 (the linear bin grid) the
// bins from 1 on come from one non-uniform FFT (Gaussian gridding, about 1e-11 of the summed amplitudes);
// bin 0 and any other table are summed term by term. Returns false when memory runs out.
bool SweepTones(const std::vector<DiffractionTone>& tones, const float* frequency, int bins, std::complex<double>* out);
