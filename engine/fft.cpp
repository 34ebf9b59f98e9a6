#include "engine/fft.h"

#include <cassert>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Twiddle layout. A radix-4 stage that joins four transforms of m points (m >= 2) reads w^k and w^2k,
// w = e^(-2 pi i / 4m), k < m, from its own block of 4m floats at offset 4m - 8. The blocks depend only on
// m, so a table built for the largest size serves every smaller one. For size word nw the largest stage has
// m = nw / 2 and the table ends at 4 nw - 8 floats.
inline const float* StageTwiddles(const float* table, int m) { return table + 4 * m - 8; }

constexpr int32_t kLargestSizeWord = kFftMaxFloats / 4;
static_assert(4 * kLargestSizeWord - 8 <= kFftTableEntries, "twiddles of the largest transform fit the table");

int Log2(int points) {
    int l = 0;
    while ((1 << l) < points) ++l;
    return l;
}

bool IsPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

void BitReverse(float* d, int points) {
    int j = 0;
    for (int i = 0; i < points - 1; ++i) {
        if (i < j) {
            std::swap(d[2 * i], d[2 * j]);
            std::swap(d[2 * i + 1], d[2 * j + 1]);
        }
        int bit = points >> 1;
        while (j & bit) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
}

void ScaleAll(float* d, int points, float scale) {
    for (int i = 0; i < 2 * points; ++i) d[i] *= scale;
}

// Two-point transforms of neighbouring pairs.
template <bool Inv>
void Radix2First(float* d, int points) {
    for (int i = 0; i < points; i += 2) {
        float* p = d + 2 * i;
        const float ar = p[0], ai = p[1], br = p[2], bi = p[3];
        p[0] = ar + br;
        p[1] = ai + bi;
        p[2] = ar - br;
        p[3] = ai - bi;
    }
}

// Four-point transforms of neighbouring quadruples, in bit-reversed order (x0, x2, x1, x3).
template <bool Inv>
void Radix4First(float* d, int points) {
    for (int i = 0; i < points; i += 4) {
        float* p = d + 2 * i;
        const float s0r = p[0] + p[2], s0i = p[1] + p[3];
        const float s1r = p[0] - p[2], s1i = p[1] - p[3];
        const float s2r = p[4] + p[6], s2i = p[5] + p[7];
        const float dr = p[4] - p[6], di = p[5] - p[7];
        // s3 = -i (a1 - a3) forward, +i (a1 - a3) inverse
        const float s3r = Inv ? -di : di;
        const float s3i = Inv ? dr : -dr;
        p[0] = s0r + s2r;
        p[1] = s0i + s2i;
        p[2] = s1r + s3r;
        p[3] = s1i + s3i;
        p[4] = s0r - s2r;
        p[5] = s0i - s2i;
        p[6] = s1r - s3r;
        p[7] = s1i - s3i;
    }
}

// Scalar radix-4 stage; the same arithmetic, in the same order, as the vector stages.
template <bool Inv, bool Scale>
void SmallRadix4Stage(float* d, int points, int m, const float* tw, float scale) {
    const float* w1 = tw;
    const float* w2 = tw + 2 * m;
    auto mul = [](float xr, float xi, float wr, float wi, bool conj, float* outr, float* outi) {
        if (conj) {
            *outr = xr * wr + xi * wi;
            *outi = xi * wr + (-xr) * wi;
        } else {
            *outr = xr * wr + (-xi) * wi;
            *outi = xi * wr + xr * wi;
        }
    };
    for (int b = 0; b < points; b += 4 * m) {
        float* p0 = d + 2 * b;
        float* p1 = p0 + 2 * m;
        float* p2 = p1 + 2 * m;
        float* p3 = p2 + 2 * m;
        for (int k = 0; k < m; ++k) {
            const float c1 = w1[2 * k], s1 = w1[2 * k + 1];
            const float c2 = w2[2 * k], s2 = w2[2 * k + 1];
            float c3, s3;
            mul(c1, s1, c2, s2, false, &c3, &s3);
            const float a0r = p0[2 * k], a0i = p0[2 * k + 1];
            float a2r, a2i, a1r, a1i, a3r, a3i;
            mul(p1[2 * k], p1[2 * k + 1], c2, s2, Inv, &a2r, &a2i);
            mul(p2[2 * k], p2[2 * k + 1], c1, s1, Inv, &a1r, &a1i);
            mul(p3[2 * k], p3[2 * k + 1], c3, s3, Inv, &a3r, &a3i);
            const float s0r = a0r + a2r, s0i = a0i + a2i;
            const float s1r = a0r - a2r, s1i = a0i - a2i;
            const float s2r = a1r + a3r, s2i = a1i + a3i;
            const float dr = a1r - a3r, di = a1i - a3i;
            const float s3r = Inv ? di * -1.0f : di * 1.0f;
            const float s3i = Inv ? dr * 1.0f : dr * -1.0f;
            float y[8] = {s0r + s2r, s0i + s2i, s1r + s3r, s1i + s3i, s0r - s2r, s0i - s2i, s1r - s3r, s1i - s3i};
            if (Scale)
                for (float& v : y) v *= scale;
            p0[2 * k] = y[0];
            p0[2 * k + 1] = y[1];
            p1[2 * k] = y[2];
            p1[2 * k + 1] = y[3];
            p2[2 * k] = y[4];
            p2[2 * k + 1] = y[5];
            p3[2 * k] = y[6];
            p3[2 * k + 1] = y[7];
        }
    }
}

template <bool Inv>
void ScalarTransform(float* d, int points, const float* table) {
    BitReverse(d, points);
    int m = 1;
    if (Log2(points) & 1) {
        Radix2First<Inv>(d, points);
        m = 2;
    } else {
        Radix4First<Inv>(d, points);
        m = 4;
    }
    const float scale = 1.0f / static_cast<float>(points);
    for (; 4 * m <= points; m *= 4) {
        if (Inv && 4 * m == points)
            SmallRadix4Stage<Inv, true>(d, points, m, StageTwiddles(table, m), scale);
        else
            SmallRadix4Stage<Inv, false>(d, points, m, StageTwiddles(table, m), scale);
    }
    if (Inv && points <= 4) ScaleAll(d, points, scale);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__) || defined(__aarch64__))
#define HV_FFT_VECTORS 1
#endif

#ifdef HV_FFT_VECTORS
// 128-bit vectors: two complex points. Part of the x86-64 baseline (SSE2), so always available there.
namespace v128 {
typedef float V __attribute__((vector_size(16)));
typedef int32_t I __attribute__((vector_size(16)));
constexpr int kLanes = 4;
inline V Load(const float* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(float* p, V v) { std::memcpy(p, &v, sizeof v); }
inline V SwapPairs(V x) { return __builtin_shuffle(x, I{1, 0, 3, 2}); }
inline V DupRe(V x) { return __builtin_shuffle(x, I{0, 0, 2, 2}); }
inline V DupIm(V x) { return __builtin_shuffle(x, I{1, 1, 3, 3}); }
inline V Alternate(float a, float b) { return V{a, b, a, b}; }
#include "engine/fft_kernels.inc"
}  // namespace v128
#endif

#if defined(HV_FFT_VECTORS) && (defined(__x86_64__) || defined(__i386__))
#define HV_FFT_AVX2 1
// 256-bit vectors (four complex points), used only when the processor reports AVX2 at run time.
#pragma GCC push_options
#pragma GCC target("avx2")
namespace v256 {
typedef float V __attribute__((vector_size(32)));
typedef int32_t I __attribute__((vector_size(32)));
constexpr int kLanes = 8;
inline V Load(const float* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(float* p, V v) { std::memcpy(p, &v, sizeof v); }
inline V SwapPairs(V x) { return __builtin_shuffle(x, I{1, 0, 3, 2, 5, 4, 7, 6}); }
inline V DupRe(V x) { return __builtin_shuffle(x, I{0, 0, 2, 2, 4, 4, 6, 6}); }
inline V DupIm(V x) { return __builtin_shuffle(x, I{1, 1, 3, 3, 5, 5, 7, 7}); }
inline V Alternate(float a, float b) { return V{a, b, a, b, a, b, a, b}; }
template <bool Inv, bool Scale>
void SmallRadix4Stage(float* d, int points, int m, const float* tw, float scale) {
    v128::VectorRadix4Stage<Inv, Scale>(d, points, m, tw, scale);
}
#include "engine/fft_kernels.inc"
}  // namespace v256
#pragma GCC pop_options
#endif

enum class Path { kScalar, kSse2, kAvx2 };

Path DetectPath() {
#ifdef HV_FFT_AVX2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return Path::kAvx2;
#endif
#ifdef HV_FFT_VECTORS
    return Path::kSse2;
#else
    return Path::kScalar;
#endif
}

Path ChosenPath() {
    static const Path path = DetectPath();
    return path;
}

bool TablesServe(const int32_t* bit_reverse_table, int n) {
    const int32_t nw = bit_reverse_table[0];
    return bit_reverse_table[1] == 1 && nw >= 1 && nw <= kLargestSizeWord && n <= 4 * nw;
}

}  // namespace

bool FftSizeSupported(int n) { return n >= 4 && n <= kFftMaxFloats && IsPowerOfTwo(n); }

void MakeFftTwiddles(int nw, int32_t* FftBitReverseTable, float* FftTwiddleTable) {
    if (!(nw >= 1 && nw <= kLargestSizeWord && IsPowerOfTwo(nw))) {
        assert(!"FFT table size word out of range");
        return;
    }
    for (int m = 2; m <= nw / 2; m *= 2) {
        float* w1 = FftTwiddleTable + 4 * m - 8;
        float* w2 = w1 + 2 * m;
        const double step = -kTwoPi / (4.0 * m);
        for (int k = 0; k < m; ++k) {
            w1[2 * k] = static_cast<float>(std::cos(step * k));
            w1[2 * k + 1] = static_cast<float>(std::sin(step * k));
            w2[2 * k] = static_cast<float>(std::cos(step * 2.0 * k));
            w2[2 * k + 1] = static_cast<float>(std::sin(step * 2.0 * k));
        }
    }
    FftBitReverseTable[0] = nw;
    FftBitReverseTable[1] = 1;
}

void PrepareFftTables(int n, int32_t* FftBitReverseTable, float* FftTwiddleTable) {
    if (!FftSizeSupported(n)) {
        assert(!"FFT size not supported");
        return;
    }
    if (!TablesServe(FftBitReverseTable, n)) MakeFftTwiddles(n / 4, FftBitReverseTable, FftTwiddleTable);
}

void ComplexFftScalar(int n, int sign, float* data, int32_t* FftBitReverseTable, float* FftTwiddleTable) {
    if (!FftSizeSupported(n)) {
        assert(!"FFT size not supported");
        return;
    }
    PrepareFftTables(n, FftBitReverseTable, FftTwiddleTable);
    if (sign >= 0)
        ScalarTransform<true>(data, n / 2, FftTwiddleTable);
    else
        ScalarTransform<false>(data, n / 2, FftTwiddleTable);
}

void ComplexFft(int n, int sign, float* data, int32_t* FftBitReverseTable, float* FftTwiddleTable) {
    if (!FftSizeSupported(n)) {
        assert(!"FFT size not supported");
        return;
    }
    PrepareFftTables(n, FftBitReverseTable, FftTwiddleTable);
    const int points = n / 2;
    switch (ChosenPath()) {
#ifdef HV_FFT_AVX2
        case Path::kAvx2:
            if (sign >= 0)
                v256::VectorTransform<true>(data, points, FftTwiddleTable);
            else
                v256::VectorTransform<false>(data, points, FftTwiddleTable);
            return;
#endif
#ifdef HV_FFT_VECTORS
        case Path::kSse2:
            if (sign >= 0)
                v128::VectorTransform<true>(data, points, FftTwiddleTable);
            else
                v128::VectorTransform<false>(data, points, FftTwiddleTable);
            return;
#endif
        default:
            if (sign >= 0)
                ScalarTransform<true>(data, points, FftTwiddleTable);
            else
                ScalarTransform<false>(data, points, FftTwiddleTable);
            return;
    }
}

const char* FftVectorPath() {
    switch (ChosenPath()) {
        case Path::kAvx2: return "avx2";
        case Path::kSse2: return "sse2";
        default: return "scalar";
    }
}
