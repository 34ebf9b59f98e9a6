#include "engine/double_fft.h"

#include <utility>

void MakeFftRoots(int n, std::complex<double>* roots) {
    const double two_pi = 6.283185307179586476925286766559;
    for (int i = 0; i < n / 2; ++i) roots[i] = std::polar(1.0, -two_pi * i / n);
}

void DoubleFft(std::complex<double>* x, int n, int sign, const std::complex<double>* roots) {
    using Cd = std::complex<double>;
    for (int i = 1, j = 0; i < n; ++i) {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) std::swap(x[i], x[j]);
    }
    for (int len = 2; len <= n; len <<= 1) {
        const int step = n / len;
        for (int b = 0; b < n; b += len) {
            for (int k = 0; k < len / 2; ++k) {
                const Cd r = sign < 0 ? roots[k * step] : std::conj(roots[k * step]);
                const Cd u = x[b + k];
                const Cd v = x[b + k + len / 2] * r;
                x[b + k] = u + v;
                x[b + k + len / 2] = u - v;
            }
        }
    }
}
