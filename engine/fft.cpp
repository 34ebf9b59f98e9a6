#include "engine/fft.h"

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Twiddle layout. A radix-4 stage that joins four transforms of m points reads w^k and w^2k,
// w = e^(-2 pi i / 4m), k < m, from its own block of 4m floats at offset 4m - 8. The blocks depend only on
// m, so a table built for the largest size serves every smaller one. For size word nw the transform has
// up to 2 nw points, its last stage m = nw / 2, and the table ends at 4 nw - 8 floats. Only the stages
// beyond kSpreadLargest (below) read this layout; the smaller ones keep no block here.
inline const float* StageTwiddles(const float* table, int m) { return table + 4 * m - 8; }

// The stages up to m = 2^15 also read w^3k from a second region after the first (2m floats at offset
// 2^20 + 2m - 8); larger stages form it as w^k w^2k.
constexpr int kStoredW3Largest = 1 << 15;
constexpr int kW3Region = 1 << 20;
inline const float* StageTwiddles3(const float* table, int m) { return table + kW3Region + 2 * m - 8; }
inline float* StageTwiddles3(float* table, int m) { return table + kW3Region + 2 * m - 8; }

// Twiddles spread for the vector products, x w = x (re, re) + swap(x) (-im, im): each twiddle w takes four
// floats, its real part twice in one run and (-im, im) in another, so that a product needs no shuffle of w.
// A stage with R twiddles per point keeps them in groups of eight points k = 8g .. 8g + 7: group g holds 2R
// runs of 16 floats (one cache line), (re, re) of the first twiddle of the eight points, then their
// (-im, im), then the same for the second twiddle, and so on. Every vector width finds its points inside one
// run, and a stage reads its twiddles as one sequential stream.
constexpr int kGroupPoints = 8;
constexpr int kRunFloats = 2 * kGroupPoints;
inline const float* SpreadGroup(const float* e, int runs, int k) {
    return e + (k / kGroupPoints) * (2 * kGroupPoints * runs) + 2 * (k % kGroupPoints);
}
inline float* SpreadGroup(float* e, int runs, int k) {
    return e + (k / kGroupPoints) * (2 * kGroupPoints * runs) + 2 * (k % kGroupPoints);
}

// The radix-4 stages up to m = 2^12 (all stages of up to 16,384 points): w^k, w^2k, w^3k spread (6 runs),
// 12 m floats per stage (m = 4, half a group, takes a whole one: 96 floats) at offset 12 m (m = 4: 0) of the
// third region.
constexpr int kSpreadLargest = 1 << 12;
constexpr int kSpreadRegion = kW3Region + 4 * kStoredW3Largest;
constexpr int SpreadStageOffset(int m) { return m < kGroupPoints ? 0 : 12 * m; }
static_assert(SpreadStageOffset(4) + 6 * kRunFloats == SpreadStageOffset(8), "stage m = 4 (one group) ends at m = 8");
static_assert(SpreadStageOffset(8) + 12 * 8 == SpreadStageOffset(16), "stage m >= 8 takes m / 8 groups of 6 runs");
inline const float* StageSpreadTwiddles(const float* table, int m) {
    return table + kSpreadRegion + SpreadStageOffset(m);
}
inline float* StageSpreadTwiddles(float* table, int m) { return table + kSpreadRegion + SpreadStageOffset(m); }

// The radix-8 stages that join eight transforms of m = 8 and 64 points: w^rk, w = e^(-2 pi i / 8m),
// r = 1..7, k < m, spread (14 runs), 28 m floats per stage; stage m starts at 4 (m - 8) in the fourth region.
// (At m = 512 the eight rows of a butterfly lie 4 KiB apart and fight over the same cache sets: two radix-4
// stages are faster there.)
constexpr int kRadix8Largest = 64;
constexpr int kRadix8Region = kSpreadRegion + SpreadStageOffset(2 * kSpreadLargest);
constexpr int kRadix8Floats = 4 * (8 * kRadix8Largest - 8);
inline const float* Radix8Twiddles(const float* table, int m) { return table + kRadix8Region + 4 * (m - 8); }
inline float* Radix8Twiddles(float* table, int m) { return table + kRadix8Region + 4 * (m - 8); }

// The same twiddles paired for the 256- and 512-bit paths, x w = dupre(x) (re, im) + dupim(x) (-im, re):
// those paths load dupre(x) and dupim(x) straight from memory (a load, no shuffle), so that a product takes
// no shuffle at all. Run 2 (r - 1) of a group holds (re, im) of twiddle r, run 2 (r - 1) + 1 its (-im, re).
// Lane by lane a product adds the same two products as the spread form (in the other order in the imaginary
// part), so the bits are the same. The radix-4 stages up to m = kPairedLargest (at the offsets of the spread
// stages, from kPairedRegion), then the radix-8 stages (at the offsets of the spread radix-8 ones).
constexpr int kPairedLargest = 1 << 10;
constexpr int kPairedRegion = kRadix8Region + kRadix8Floats;
constexpr int kPairedRadix8Region = kPairedRegion + SpreadStageOffset(2 * kPairedLargest);
inline const float* PairedStageTwiddles(const float* table, int m) { return table + kPairedRegion + SpreadStageOffset(m); }
inline float* PairedStageTwiddles(float* table, int m) { return table + kPairedRegion + SpreadStageOffset(m); }
inline const float* PairedRadix8Twiddles(const float* table, int m) {
    return table + kPairedRadix8Region + 4 * (m - 8);
}
inline float* PairedRadix8Twiddles(float* table, int m) { return table + kPairedRadix8Region + 4 * (m - 8); }

// Bit-reversal permutation for the largest size, 2 nw entries from word 2 of FftBitReverseTable. A size
// smaller by 2^s takes the same entries shifted right by s.
constexpr int kReverseOffset = 2;

constexpr int32_t kLargestSizeWord = kFftMaxFloats / 4;

// All regions above are counted from the first 64-byte boundary in FftTwiddleTable, so that vectors of
// twiddles never straddle a cache line. The distance in floats (0..15) is kept in FftBitReverseTable after
// the permutation, so a transform reads the layout its tables were built with.
constexpr int kMaxTwiddlePad = 15;
constexpr int kTwiddlePadWord = kReverseOffset + 2 * kLargestSizeWord;

static_assert(4 * kLargestSizeWord - 8 <= kW3Region, "first region of the largest transform ends before the second");
static_assert(kPairedRadix8Region + kRadix8Floats + kMaxTwiddlePad <= kFftTableEntries, "all regions fit the table");
static_assert(kTwiddlePadWord < kFftTableEntries, "permutation and twiddle offset fit the table");

int TwiddlePad(const float* table) {
    const auto misalignment = reinterpret_cast<uintptr_t>(table) % 64;
    return misalignment % sizeof(float) ? 0 : static_cast<int>((64 - misalignment) % 64 / sizeof(float));
}

int Log2(int points) {
    int l = 0;
    while ((1 << l) < points) ++l;
    return l;
}

bool IsPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

inline void SwapPoints(float* d, int i, int j) {
    uint64_t a, b;  // one complex point
    std::memcpy(&a, d + 2 * i, sizeof a);
    std::memcpy(&b, d + 2 * j, sizeof b);
    std::memcpy(d + 2 * i, &b, sizeof b);
    std::memcpy(d + 2 * j, &a, sizeof a);
}

// Bit-reversal permutation point by point, for the small sizes (under 64 points) that have no fused first
// stage.
void BitReversePermute(float* d, int points, const int32_t* reverse, int shift) {
    for (int i = 0; i < points; ++i) {
        const int j = reverse[i] >> shift;
        if (i < j) SwapPoints(d, i, j);
    }
}

#if defined(__GNUC__)
#define HV_VECTOR_EXTENSIONS 1
#define HV_NOINLINE __attribute__((noinline))
#else
#define HV_NOINLINE
#endif

// One complex point per "vector": the plain fallback, and the reference the wider paths are tested against.
namespace v64 {
#ifdef HV_VECTOR_EXTENSIONS
typedef float V __attribute__((vector_size(8)));
typedef int32_t I __attribute__((vector_size(8)));
inline V SwapPairs(V x) { return __builtin_shuffle(x, I{1, 0}); }
inline V DupRe(V x) { return __builtin_shuffle(x, I{0, 0}); }
inline V DupIm(V x) { return __builtin_shuffle(x, I{1, 1}); }
inline V Alternate(float a, float b) { return V{a, b}; }
inline V AddSubAlternate(V a, V b) { return a + b * V{-1.0f, 1.0f}; }
inline V NegateOdd(V x) { return (V)((I)x ^ I{0, INT32_MIN}); }
inline V NegateEven(V x) { return (V)((I)x ^ I{INT32_MIN, 0}); }
#else
struct V {
    float re, im;
};
inline V operator+(V a, V b) { return {a.re + b.re, a.im + b.im}; }
inline V operator-(V a, V b) { return {a.re - b.re, a.im - b.im}; }
inline V operator*(V a, V b) { return {a.re * b.re, a.im * b.im}; }
inline V SwapPairs(V x) { return {x.im, x.re}; }
inline V DupRe(V x) { return {x.re, x.re}; }
inline V DupIm(V x) { return {x.im, x.im}; }
inline V Alternate(float a, float b) { return {a, b}; }
inline V AddSubAlternate(V a, V b) { return a + b * V{-1.0f, 1.0f}; }
inline V NegateOdd(V x) { return {x.re, -x.im}; }
inline V NegateEven(V x) { return {-x.re, x.im}; }
#endif
constexpr int kLanes = 2;
inline V Load(const float* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(float* p, V v) { std::memcpy(p, &v, sizeof v); }
template <bool Swap>
inline void TransposeTiles(V& a, V& b, V& c, V& d) {
    if (Swap) {
        a = SwapPairs(a);
        b = SwapPairs(b);
        c = SwapPairs(c);
        d = SwapPairs(d);
    }
}
constexpr bool kTransposeStores = false;
template <bool Swap>
inline void TransposeBlock(V* y, float* const*) {
    TransposeTiles<Swap>(y[0], y[1], y[2], y[3]);
    TransposeTiles<Swap>(y[4], y[5], y[6], y[7]);
}
constexpr int kScratchPoints = 0;
constexpr bool kPairedTwiddles = false;
inline V LoadDupRe(const float* p) { return DupRe(Load(p)); }
inline V LoadDupIm(const float* p) { return DupIm(Load(p)); }
template <bool Inv>
void NarrowerTransform(float*, int, const float*, const int32_t*, int) {}  // never needed at one point per vector
#include "engine/fft_kernels.inc"
}  // namespace v64

#if defined(HV_VECTOR_EXTENSIONS) && (defined(__x86_64__) || defined(__aarch64__))
#define HV_FFT_V128 1
// 128-bit vectors (two complex points): SSE2 is part of every x86-64 processor.
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
inline V AddSubAlternate(V a, V b) { return a + b * V{-1.0f, 1.0f, -1.0f, 1.0f}; }
inline V NegateOdd(V x) { return (V)((I)x ^ I{0, INT32_MIN, 0, INT32_MIN}); }
inline V NegateEven(V x) { return (V)((I)x ^ I{INT32_MIN, 0, INT32_MIN, 0}); }
template <bool Swap>
inline void TransposeTiles(V& a, V& b, V& c, V& d) {
    constexpr I kLow = Swap ? I{1, 0, 5, 4} : I{0, 1, 4, 5};
    constexpr I kHigh = Swap ? I{3, 2, 7, 6} : I{2, 3, 6, 7};
    const V a1 = __builtin_shuffle(a, b, kLow);
    const V b1 = __builtin_shuffle(a, b, kHigh);
    const V c1 = __builtin_shuffle(c, d, kLow);
    const V d1 = __builtin_shuffle(c, d, kHigh);
    a = a1;
    b = b1;
    c = c1;
    d = d1;
}
constexpr bool kTransposeStores = false;
template <bool Swap>
inline void TransposeBlock(V* y, float* const*) {
    TransposeTiles<Swap>(y[0], y[1], y[2], y[3]);
    TransposeTiles<Swap>(y[4], y[5], y[6], y[7]);
}
constexpr int kScratchPoints = 0;  // the allocator's 16-byte alignment suffices
// SSE2 has no duplicating load: the spread form takes one shuffle a product, the paired one would take two.
constexpr bool kPairedTwiddles = false;
inline V LoadDupRe(const float* p) { return DupRe(Load(p)); }
inline V LoadDupIm(const float* p) { return DupIm(Load(p)); }
template <bool Inv>
void NarrowerTransform(float* d, int points, const float* tw, const int32_t* rev, int shift) {
    v64::Transform<Inv>(d, points, tw, rev, shift);
}
#include "engine/fft_kernels.inc"
}  // namespace v128
#endif

#if defined(HV_FFT_V128) && defined(__x86_64__)
#define HV_FFT_V256 1
// 256-bit vectors (four complex points), taken only when the processor reports AVX2 at run time.
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
// a - b on even lanes, a + b on odd ones: the same bits as a + b * {-1, 1, ...} in one instruction.
inline V AddSubAlternate(V a, V b) { return _mm256_addsub_ps(a, b); }
inline V NegateOdd(V x) { return (V)((I)x ^ I{0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN}); }
inline V NegateEven(V x) { return (V)((I)x ^ I{INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0}); }
template <bool Swap>
inline void TransposeTiles(V& a, V& b, V& c, V& d) {
    constexpr I kLow = Swap ? I{1, 0, 9, 8, 5, 4, 13, 12} : I{0, 1, 8, 9, 4, 5, 12, 13};
    constexpr I kHigh = Swap ? I{3, 2, 11, 10, 7, 6, 15, 14} : I{2, 3, 10, 11, 6, 7, 14, 15};
    const V t0 = __builtin_shuffle(a, b, kLow);
    const V t1 = __builtin_shuffle(a, b, kHigh);
    const V t2 = __builtin_shuffle(c, d, kLow);
    const V t3 = __builtin_shuffle(c, d, kHigh);
    a = __builtin_shuffle(t0, t2, I{0, 1, 2, 3, 8, 9, 10, 11});
    b = __builtin_shuffle(t1, t3, I{0, 1, 2, 3, 8, 9, 10, 11});
    c = __builtin_shuffle(t0, t2, I{4, 5, 6, 7, 12, 13, 14, 15});
    d = __builtin_shuffle(t1, t3, I{4, 5, 6, 7, 12, 13, 14, 15});
}
constexpr bool kTransposeStores = false;
template <bool Swap>
inline void TransposeBlock(V* y, float* const*) {
    TransposeTiles<Swap>(y[0], y[1], y[2], y[3]);
    TransposeTiles<Swap>(y[4], y[5], y[6], y[7]);
}
// 8,192 points (the engine's largest block transform) take 64 KiB of stack.
constexpr int kScratchPoints = 8192;
constexpr bool kPairedTwiddles = true;
// One duplicating load each (vmovsldup, vmovshdup from memory): no shuffle.
inline V LoadDupRe(const float* p) { return _mm256_moveldup_ps(_mm256_loadu_ps(p)); }
inline V LoadDupIm(const float* p) { return _mm256_movehdup_ps(_mm256_loadu_ps(p)); }
template <bool Inv>
void NarrowerTransform(float* d, int points, const float* tw, const int32_t* rev, int shift);
#include "engine/fft_kernels.inc"
}  // namespace v256
#pragma GCC pop_options
// Defined outside the AVX2 region: small sizes run the 128-bit code.
template <bool Inv>
void v256::NarrowerTransform(float* d, int points, const float* tw, const int32_t* rev, int shift) {
    v128::Transform<Inv>(d, points, tw, rev, shift);
}
#endif

#if defined(HV_FFT_V256)
#define HV_FFT_V512 1
// 512-bit vectors (eight complex points), taken only when the processor reports AVX-512F at run time.
#pragma GCC push_options
#pragma GCC target("avx2,avx512f")
namespace v512 {
typedef float V __attribute__((vector_size(64)));
typedef int32_t I __attribute__((vector_size(64)));
constexpr int kLanes = 16;
inline V Load(const float* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(float* p, V v) { std::memcpy(p, &v, sizeof v); }
inline V SwapPairs(V x) { return __builtin_shuffle(x, I{1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14}); }
inline V DupRe(V x) { return __builtin_shuffle(x, I{0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14}); }
inline V DupIm(V x) { return __builtin_shuffle(x, I{1, 1, 3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13, 13, 15, 15}); }
inline V Alternate(float a, float b) { return V{a, b, a, b, a, b, a, b, a, b, a, b, a, b, a, b}; }
constexpr I kOddSigns = {0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN,
                         0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN};
inline V NegateOdd(V x) { return (V)((I)x ^ kOddSigns); }
inline V NegateEven(V x) { return (V)((I)x ^ (kOddSigns ^ INT32_MIN)); }
// a + (-b) and a - b are the same number, so the even lanes give the bits of a + b * -1.
inline V AddSubAlternate(V a, V b) { return a + NegateEven(b); }
// The eight vectors as one 8 x 8 tile of complex points (64-bit elements): element pairs, then pairs of
// pairs are interleaved, and the halves of the result are stored straight into the rows (a 256-bit store
// of either half takes no shuffle). With Swap the first step also exchanges the parts of every point.
constexpr bool kTransposeStores = true;
// The high half as one extracting store (vextractf64x4 to memory), which takes no shuffle. (The masked form
// with every lane set: the unmasked one's header reads an undefined vector that GCC 12 warns about, and so
// does its cast to the low half.)
inline void StoreLow(float* p, V v) {
    const __m256 low = __builtin_shufflevector(v, v, 0, 1, 2, 3, 4, 5, 6, 7);
    _mm256_storeu_ps(p, low);
}
inline void StoreHigh(float* p, V v) {
    const __m256d high = _mm512_mask_extractf64x4_pd(_mm256_setzero_pd(), 0xff, _mm512_castps_pd(v), 1);
    _mm256_storeu_pd(reinterpret_cast<double*>(p), high);
}
template <bool Swap>
inline void TransposeBlock(V* y, float* const* rows) {
    constexpr I kPairLow = Swap ? I{1, 0, 17, 16, 5, 4, 21, 20, 9, 8, 25, 24, 13, 12, 29, 28}
                                : I{0, 1, 16, 17, 4, 5, 20, 21, 8, 9, 24, 25, 12, 13, 28, 29};
    constexpr I kPairHigh = kPairLow + 2;
    constexpr I kQuadLow = {0, 1, 2, 3, 16, 17, 18, 19, 8, 9, 10, 11, 24, 25, 26, 27};
    constexpr I kQuadHigh = kQuadLow + 4;
    V p[8], q[8];
    for (int i = 0; i < 4; ++i) {
        p[i] = __builtin_shuffle(y[2 * i], y[2 * i + 1], kPairLow);       // element 2e of the pair, e = 0..3
        p[i + 4] = __builtin_shuffle(y[2 * i], y[2 * i + 1], kPairHigh);  // element 2e + 1
    }
    for (int i = 0; i < 8; i += 2) {
        q[i] = __builtin_shuffle(p[i], p[i + 1], kQuadLow);
        q[i + 1] = __builtin_shuffle(p[i], p[i + 1], kQuadHigh);
    }
    // q[0]: elements 0 and 4 of y[0..3]; q[1]: 2 and 6; q[2], q[3]: the same of y[4..7]; q[4..7]: odd elements.
    // Row e receives element e of y[0..3] (a low or high half of q) and then of y[4..7].
    for (int i = 0; i < 2; ++i) {
        StoreLow(rows[i], q[4 * i]);  // elements 0 (i = 0) and 1
        StoreLow(rows[i] + 8, q[4 * i + 2]);
        StoreHigh(rows[i + 4], q[4 * i]);  // 4 and 5
        StoreHigh(rows[i + 4] + 8, q[4 * i + 2]);
        StoreLow(rows[i + 2], q[4 * i + 1]);  // 2 and 3
        StoreLow(rows[i + 2] + 8, q[4 * i + 3]);
        StoreHigh(rows[i + 6], q[4 * i + 1]);  // 6 and 7
        StoreHigh(rows[i + 6] + 8, q[4 * i + 3]);
    }
}
// As on the 256-bit path, and aligned to the 64-byte vectors.
constexpr int kScratchPoints = 8192;
constexpr bool kPairedTwiddles = true;
// One duplicating load each (vmovsldup, vmovshdup from memory): no shuffle. (The all-lanes mask keeps
// the unmasked form, whose header reads an undefined vector that GCC 12 warns about.)
inline V LoadDupRe(const float* p) { return _mm512_maskz_moveldup_ps(0xffff, _mm512_loadu_ps(p)); }
inline V LoadDupIm(const float* p) { return _mm512_maskz_movehdup_ps(0xffff, _mm512_loadu_ps(p)); }
template <bool Inv>
void NarrowerTransform(float* d, int points, const float* tw, const int32_t* rev, int shift);
#include "engine/fft_kernels.inc"
}  // namespace v512
#pragma GCC pop_options
// Defined outside the AVX-512 region: sizes below 64 points run the 256-bit code.
template <bool Inv>
void v512::NarrowerTransform(float* d, int points, const float* tw, const int32_t* rev, int shift) {
    v256::Transform<Inv>(d, points, tw, rev, shift);
}
#endif

using Path = FftPath;

Path DetectPath() {
#ifdef HV_FFT_V256
    __builtin_cpu_init();
#ifdef HV_FFT_V512
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx2")) return Path::kAvx512;
#endif
    if (__builtin_cpu_supports("avx2")) return Path::kAvx2;
#endif
#ifdef HV_FFT_V128
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
    const int pad = TwiddlePad(FftTwiddleTable);
    FftTwiddleTable += pad;
    // Twiddles in double precision, stored in single precision. The first two regions serve only the stages
    // beyond the spread ones.
    for (int m = 2 * kSpreadLargest; m <= nw / 2; m *= 2) {
        float* w1 = FftTwiddleTable + 4 * m - 8;
        float* w2 = w1 + 2 * m;
        const double step = -kTwoPi / (4.0 * m);
        for (int k = 0; k < m; ++k) {
            w1[2 * k] = static_cast<float>(std::cos(step * k));
            w1[2 * k + 1] = static_cast<float>(std::sin(step * k));
            w2[2 * k] = static_cast<float>(std::cos(step * 2.0 * k));
            w2[2 * k + 1] = static_cast<float>(std::sin(step * 2.0 * k));
        }
        if (m <= kStoredW3Largest) {
            float* w3 = StageTwiddles3(FftTwiddleTable, m);
            for (int k = 0; k < m; ++k) {
                w3[2 * k] = static_cast<float>(std::cos(step * 3.0 * k));
                w3[2 * k + 1] = static_cast<float>(std::sin(step * 3.0 * k));
            }
        }
    }
    // Spread form of twiddle r (1-based) of point k at angle a, in a table of `runs` runs per group, and the
    // paired form in a second table p (null: none).
    auto spread = [](float* e, float* p, int runs, int r, int k, double a) {
        const int run = 2 * kGroupPoints * 2 * (r - 1);
        const float c = static_cast<float>(std::cos(a));
        const float s = static_cast<float>(std::sin(a));
        float* re = SpreadGroup(e, runs, k) + run;
        re[0] = c;
        re[1] = c;
        re[2 * kGroupPoints] = -s;
        re[2 * kGroupPoints + 1] = s;
        if (p) {
            float* w = SpreadGroup(p, runs, k) + run;
            w[0] = c;
            w[1] = s;
            w[2 * kGroupPoints] = -s;
            w[2 * kGroupPoints + 1] = c;
        }
    };
    for (int m = 4; m <= nw / 2 && m <= kSpreadLargest; m *= 2) {
        float* e = StageSpreadTwiddles(FftTwiddleTable, m);
        float* p = m <= kPairedLargest ? PairedStageTwiddles(FftTwiddleTable, m) : nullptr;
        const double step = -kTwoPi / (4.0 * m);
        for (int r = 1; r <= 3; ++r)
            for (int k = 0; k < m; ++k) spread(e, p, 6, r, k, step * r * k);
    }
    for (int m = 8; m <= kRadix8Largest && 8 * m <= 2 * nw; m *= 8) {
        float* w8 = Radix8Twiddles(FftTwiddleTable, m);
        float* p8 = PairedRadix8Twiddles(FftTwiddleTable, m);
        for (int r = 1; r < 8; ++r)
            for (int k = 0; k < m; ++k) spread(w8, p8, 14, r, k, -kTwoPi * r * k / (8.0 * m));
    }
    const int points = 2 * nw;
    const int bits = Log2(points);
    int32_t* reverse = FftBitReverseTable + kReverseOffset;
    for (int i = 0; i < points; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
        reverse[i] = r;
    }
    FftBitReverseTable[kTwiddlePadWord] = pad;
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

namespace {

template <bool Inv>
void Run(Path path, float* data, int points, const int32_t* bit_reverse_table, const float* twiddles) {
    const int32_t* reverse = bit_reverse_table + kReverseOffset;
    const int shift = Log2(2 * bit_reverse_table[0]) - Log2(points);
    twiddles += bit_reverse_table[kTwiddlePadWord] & kMaxTwiddlePad;
    switch (path) {
#ifdef HV_FFT_V512
        case Path::kAvx512: v512::Transform<Inv>(data, points, twiddles, reverse, shift); return;
#endif
#ifdef HV_FFT_V256
        case Path::kAvx2: v256::Transform<Inv>(data, points, twiddles, reverse, shift); return;
#endif
#ifdef HV_FFT_V128
        case Path::kSse2: v128::Transform<Inv>(data, points, twiddles, reverse, shift); return;
#endif
        default: v64::Transform<Inv>(data, points, twiddles, reverse, shift); return;
    }
}

void Dispatch(Path path, int n, int sign, float* data, int32_t* FftBitReverseTable, float* FftTwiddleTable) {
    if (!FftSizeSupported(n)) {
        assert(!"FFT size not supported");
        return;
    }
    PrepareFftTables(n, FftBitReverseTable, FftTwiddleTable);
    if (sign >= 0)
        Run<true>(path, data, n / 2, FftBitReverseTable, FftTwiddleTable);
    else
        Run<false>(path, data, n / 2, FftBitReverseTable, FftTwiddleTable);
}

}  // namespace

bool FftPathAvailable(FftPath path) {
    switch (path) {
        case FftPath::kScalar: return true;
#ifdef HV_FFT_V128
        case FftPath::kSse2: return true;
#endif
#ifdef HV_FFT_V256
        case FftPath::kAvx2: return ChosenPath() == FftPath::kAvx2 || ChosenPath() == FftPath::kAvx512;
#endif
#ifdef HV_FFT_V512
        case FftPath::kAvx512: return ChosenPath() == FftPath::kAvx512;
#endif
        default: return false;
    }
}

FftPath FftChosenPath() { return ChosenPath(); }

const char* FftPathName(FftPath path) {
    switch (path) {
        case FftPath::kAvx512: return "avx512";
        case FftPath::kAvx2: return "avx2";
        case FftPath::kSse2: return "sse2";
        default: return "scalar";
    }
}

void ComplexFftOnPath(FftPath path, int n, int sign, float* data, int32_t* FftBitReverseTable, float* FftTwiddleTable) {
    if (!FftPathAvailable(path)) {
        assert(!"FFT path not available on this processor");
        return;
    }
    Dispatch(path, n, sign, data, FftBitReverseTable, FftTwiddleTable);
}

void ComplexFft(int n, int sign, float* data, int32_t* FftBitReverseTable, float* FftTwiddleTable) {
    Dispatch(ChosenPath(), n, sign, data, FftBitReverseTable, FftTwiddleTable);
}
