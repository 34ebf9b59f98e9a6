#pragma once
// A plain radix-2 complex FFT in double precision, for the numerical work that needs more than the single-
// precision transform of the audio path (the Bode sums, the diffraction sweep).
#include <complex>

// In place over n points (a power of two); sign -1 forward, +1 inverse, both unscaled. roots[i] holds
// e^(-2 pi i i / n) for i < n/2 (MakeFftRoots).
void DoubleFft(std::complex<double>* x, int n, int sign, const std::complex<double>* roots);
void MakeFftRoots(int n, std::complex<double>* roots);
