#include "engine/block_path.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "engine/fft.h"
#include "engine/output_stage.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

std::atomic<int> g_kernel_limit{static_cast<int>(BlockKernels::kWidest)};

bool UseVector128() { return g_kernel_limit.load(std::memory_order_relaxed) >= static_cast<int>(BlockKernels::kVector128); }

constexpr int kFftForward = -1;
constexpr int kFftInverse = +1;

// Highest input port routed to output o, or 0. Validation leaves at most one per output; were there more,
// each would replace the previous one's result, so the highest decides.
int RoutedPort(const EngineBlockContext& ctx, int o) {
    int port = 0;
    if (!ctx.RoutingMatrix) return 0;
    for (int r = 1; r <= kEngineInputPorts; ++r) {
        if (ctx.RoutingMatrix[(r - 1) * kEngineOutputs + (o - 1)] == 1) port = r;
    }
    return port;
}

int BankOf(int32_t phase_mode) { return phase_mode == 0 ? 0 : 1; }

// The products of MultiplyAccumulatePlanar (engine/block_kernels.inc) one point at a time: the plain form
// of the vector ones, with the same sums in the same order.
void MultiplyAccumulatePlanarScalar(float* acc, const float* const* s, const float* h, int first, int end) {
    constexpr int G = kPlanarGroupPoints;
    for (int g = first; g < end; ++g) {
        const float* hg = h + 2 * G * kEnginePartitions * g;
        for (int i = 0; i < G; ++i) {
            const int f = 2 * G * g + i;
            float rr = s[0][f] * hg[i], ii = s[0][f + G] * hg[i + G];
            float ir = s[0][f + G] * hg[i], ri = s[0][f] * hg[i + G];
            for (int p = 1; p < kEnginePartitions; ++p) {
                const float sr = s[p][f], si = s[p][f + G];
                const float hr = hg[2 * G * p + i], hi = hg[2 * G * p + i + G];
                rr += sr * hr;
                ii += si * hi;
                ir += si * hr;
                ri += sr * hi;
            }
            acc[2 * (G * g + i)] = rr - ii;
            acc[2 * (G * g + i) + 1] = ir + ri;
        }
    }
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__aarch64__))
#define HV_BLOCK_V128 1
namespace v128 {
typedef float V __attribute__((vector_size(16)));
typedef int32_t I __attribute__((vector_size(16)));
constexpr int kPoints = 2;
inline V Load(const float* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(float* p, V v) { std::memcpy(p, &v, sizeof v); }
inline V DupRe(V x) { return __builtin_shuffle(x, I{0, 0, 2, 2}); }
inline V DupIm(V x) { return __builtin_shuffle(x, I{1, 1, 3, 3}); }
inline V SwapPairs(V x) { return __builtin_shuffle(x, I{1, 0, 3, 2}); }
inline V Sign() { return V{-1.0f, 1.0f, -1.0f, 1.0f}; }
inline V Alternate(float a, float b) { return V{a, b, a, b}; }
inline V Reverse(V x) { return __builtin_shuffle(x, I{2, 3, 0, 1}); }  // the order of the complex points
inline I EvenLanes() { return I{-1, 0, -1, 0}; }
inline void Interleave(V re, V im, V* lo, V* hi) {
    *lo = __builtin_shuffle(re, im, I{0, 4, 1, 5});
    *hi = __builtin_shuffle(re, im, I{2, 6, 3, 7});
}
inline void Deinterleave(V lo, V hi, V* re, V* im) {
    *re = __builtin_shuffle(lo, hi, I{0, 2, 4, 6});
    *im = __builtin_shuffle(lo, hi, I{1, 3, 5, 7});
}
#include "engine/block_kernels.inc"
}  // namespace v128
#endif

#if defined(HV_BLOCK_V128) && defined(__x86_64__)
#define HV_BLOCK_V256 1
// Four complex points a vector, taken only when the processor reports AVX at run time; the same kernels
// again for processors with AVX2.
#pragma GCC push_options
#pragma GCC target("avx")
namespace v256 {
#include "engine/block_v256.inc"
}  // namespace v256
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("avx2")
namespace v256x {
#include "engine/block_v256.inc"
}  // namespace v256x
#pragma GCC pop_options

// The steps around the forward and inverse transforms that take a spectrum to or from the planar groups
// (the split of a shared transform, the real transforms of a lone block) in 256-bit vectors with the
// lane-crossing permutes of AVX2, planar inside: eight points at a time, real and imaginary parts in separate
// vectors, so that the arithmetic needs no shuffles. Interleaved points split by one shuffle each into the order 0, 1, 4, 5, 2, 3, 6, 7 (two points
// per 128-bit half); the arithmetic runs in that order, and one shuffle puts a result back. Each point gets
// the operations of RealForwardPoint and RealInversePoint, in their order.
namespace avx2 {

// Points p..p+7 of an interleaved array split into real and imaginary parts, in the order above.
__attribute__((target("avx2"))) inline void SplitPoints(const float* p, __m256* re, __m256* im) {
    const __m256 lo = _mm256_loadu_ps(p), hi = _mm256_loadu_ps(p + 8);
    *re = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
    *im = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
}

// Lane i to lane 7 - i. Points m..m+7 in the order above become, read from the top, points N - k - 0, 1, 4,
// 5, 2, 3, 6, 7 when m = N - k - 7: the mirrors of points k..k+7 in the order of those points, and back.
__attribute__((target("avx2"))) inline __m256 ReverseLanes(__m256 x) {
    return _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

// Eight values in the order above back into their natural order.
__attribute__((target("avx2"))) inline __m256 NaturalOrder(__m256 x) {
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(x), _MM_SHUFFLE(3, 1, 2, 0)));
}

// Real and imaginary parts in the order above interleaved into points p..p+7.
__attribute__((target("avx2"))) inline void StorePoints(float* p, __m256 re, __m256 im) {
    _mm256_storeu_ps(p, _mm256_unpacklo_ps(re, im));
    _mm256_storeu_ps(p + 8, _mm256_unpackhi_ps(re, im));
}

// SplitPairPoint for the points of planar groups first..last (none of them point 0) of a transform of
// `points` points.
__attribute__((target("avx2"))) void SplitPairGroups(const float* z, float* xa, float* xb, int points, int first,
                                                     int last) {
    const __m256 half = _mm256_set1_ps(0.5f);
    for (int g = first; g <= last; ++g) {
        const int k = kPlanarGroupPoints * g;
        __m256 zr, zi, wr, wi;
        SplitPoints(z + 2 * k, &zr, &zi);
        SplitPoints(z + 2 * (points - k - 7), &wr, &wi);
        wr = ReverseLanes(wr);
        wi = ReverseLanes(wi);
        float* a = xa + 2 * kPlanarGroupPoints * g;
        float* b = xb + 2 * kPlanarGroupPoints * g;
        _mm256_storeu_ps(a, NaturalOrder(_mm256_mul_ps(half, _mm256_add_ps(zr, wr))));
        _mm256_storeu_ps(a + kPlanarGroupPoints, NaturalOrder(_mm256_mul_ps(half, _mm256_sub_ps(zi, wi))));
        _mm256_storeu_ps(b, NaturalOrder(_mm256_mul_ps(half, _mm256_add_ps(zi, wi))));
        _mm256_storeu_ps(b + kPlanarGroupPoints, NaturalOrder(_mm256_mul_ps(half, _mm256_sub_ps(wr, zr))));
    }
}

// RealForwardPoint for the points of planar groups first..last (none of them point 0).
__attribute__((target("avx2"))) void RealForwardGroups(const float* z, const float* w, float* x, int N, int first,
                                                       int last) {
    const __m256 half = _mm256_set1_ps(0.5f);
    for (int g = first; g <= last; ++g) {
        const int k = kPlanarGroupPoints * g;
        __m256 zr, zi, mr, mi, tr, ti;
        SplitPoints(z + 2 * k, &zr, &zi);
        SplitPoints(z + 2 * (N - k - 7), &mr, &mi);
        mr = ReverseLanes(mr);
        mi = ReverseLanes(mi);
        SplitPoints(w + 2 * k, &tr, &ti);
        const __m256 er = _mm256_mul_ps(half, _mm256_add_ps(zr, mr)), ei = _mm256_mul_ps(half, _mm256_sub_ps(zi, mi));
        const __m256 orr = _mm256_mul_ps(half, _mm256_add_ps(zi, mi)), oi = _mm256_mul_ps(half, _mm256_sub_ps(mr, zr));
        const __m256 re = _mm256_add_ps(er, _mm256_sub_ps(_mm256_mul_ps(orr, tr), _mm256_mul_ps(oi, ti)));
        const __m256 im = _mm256_add_ps(ei, _mm256_add_ps(_mm256_mul_ps(oi, tr), _mm256_mul_ps(orr, ti)));
        _mm256_storeu_ps(x + 2 * kPlanarGroupPoints * g, NaturalOrder(re));
        _mm256_storeu_ps(x + 2 * kPlanarGroupPoints * g + kPlanarGroupPoints, NaturalOrder(im));
    }
}

// RealInversePoint for the pairs k, N - k of k = first.. in whole runs of eight ending at or before last,
// in place. Returns the first k not done.
__attribute__((target("avx2"))) int RealInversePairs(float* acc, const float* w, int N, int first, int last) {
    const __m256 half = _mm256_set1_ps(0.5f);
    int k = first;
    for (; k + 7 <= last; k += 8) {
        const int m = N - k - 7;
        __m256 yr, yi, mr, mi, tr, ti, ur, ui;
        SplitPoints(acc + 2 * k, &yr, &yi);
        SplitPoints(acc + 2 * m, &mr, &mi);
        mr = ReverseLanes(mr);
        mi = ReverseLanes(mi);
        SplitPoints(w + 2 * k, &tr, &ti);
        SplitPoints(w + 2 * m, &ur, &ui);
        ur = ReverseLanes(ur);
        ui = ReverseLanes(ui);
        // Point k from (y, mirror), point N - k from (mirror, y).
        const __m256 er = _mm256_mul_ps(half, _mm256_add_ps(yr, mr)), ei = _mm256_mul_ps(half, _mm256_sub_ps(yi, mi));
        const __m256 dr = _mm256_sub_ps(yr, mr), di = _mm256_add_ps(yi, mi);
        const __m256 orr = _mm256_mul_ps(half, _mm256_add_ps(_mm256_mul_ps(dr, tr), _mm256_mul_ps(di, ti)));
        const __m256 oi = _mm256_mul_ps(half, _mm256_sub_ps(_mm256_mul_ps(di, tr), _mm256_mul_ps(dr, ti)));
        const __m256 fr = _mm256_mul_ps(half, _mm256_add_ps(mr, yr)), fi = _mm256_mul_ps(half, _mm256_sub_ps(mi, yi));
        const __m256 gr = _mm256_sub_ps(mr, yr), gi = _mm256_add_ps(mi, yi);
        const __m256 pr = _mm256_mul_ps(half, _mm256_add_ps(_mm256_mul_ps(gr, ur), _mm256_mul_ps(gi, ui)));
        const __m256 pi = _mm256_mul_ps(half, _mm256_sub_ps(_mm256_mul_ps(gi, ur), _mm256_mul_ps(gr, ui)));
        StorePoints(acc + 2 * k, _mm256_sub_ps(er, oi), _mm256_add_ps(ei, orr));
        StorePoints(acc + 2 * m, ReverseLanes(_mm256_sub_ps(fr, pi)), ReverseLanes(_mm256_add_ps(fi, pr)));
    }
    return k;
}

}  // namespace avx2
#endif

#if defined(HV_BLOCK_V256)
#define HV_BLOCK_V512 1
// The products and the separation of a joined pair in 512-bit vectors (AVX-512F). A planar group of eight
// points is one vector: real parts in its low half, imaginary parts in its high half. With S a history group
// and H a filter group, S H holds (Sr Hr, Si Hi) and S' H, S' = S with its halves exchanged, holds (Si Hr,
// Sr Hi): the four sums of MultiplyAccumulatePlanar lie in two vectors, each lane taking the operations of
// its sum in the same order, and the halves are brought together once at the end. The same bits as the
// narrower kernels.
#pragma GCC push_options
#pragma GCC target("avx512f")
// GCC 12's AVX-512 intrinsics start results from an undefined vector, which its flow analysis reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
namespace v512 {

inline __m512 ExchangeHalves(__m512 x) { return _mm512_shuffle_f32x4(x, x, _MM_SHUFFLE(1, 0, 3, 2)); }

// Eight points from their real and imaginary parts, interleaved: in order, or reversed (point 7 first).
inline __m512 InterleavePoints(__m256 re, __m256 im) {
    const __m512i order = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    return _mm512_permutex2var_ps(_mm512_castps256_ps512(re), order, _mm512_castps256_ps512(im));
}
inline __m512 InterleavePointsReversed(__m256 re, __m256 im) {
    const __m512i order = _mm512_setr_epi32(7, 23, 6, 22, 5, 21, 4, 20, 3, 19, 2, 18, 1, 17, 0, 16);
    return _mm512_permutex2var_ps(_mm512_castps256_ps512(re), order, _mm512_castps256_ps512(im));
}

// re = rr - ii from (rr, ii) and im = ir + ri from (ir, ri), in the low halves.
inline __m256 RealOfSums(__m512 rr_ii) { return _mm512_castps512_ps256(_mm512_sub_ps(rr_ii, ExchangeHalves(rr_ii))); }
inline __m256 ImagOfSums(__m512 ir_ri) { return _mm512_castps512_ps256(_mm512_add_ps(ir_ri, ExchangeHalves(ir_ri))); }

// The sums of one output for the group at float f of the histories s, its filter group hg: (rr, ii) and
// (ir, ri), each lane taking the operations of its sum in MultiplyAccumulatePlanar's order.
inline void GroupSums(const float* const* s, const float* hg, int f, __m512* rr_ii, __m512* ir_ri) {
    constexpr int G = kPlanarGroupPoints;
    __m512 x = _mm512_loadu_ps(s[0] + f), h = _mm512_loadu_ps(hg);
    __m512 a = _mm512_mul_ps(x, h), b = _mm512_mul_ps(ExchangeHalves(x), h);
    for (int p = 1; p < kEnginePartitions; ++p) {
        x = _mm512_loadu_ps(s[p] + f);
        h = _mm512_loadu_ps(hg + 2 * G * p);
        a = _mm512_add_ps(a, _mm512_mul_ps(x, h));
        b = _mm512_add_ps(b, _mm512_mul_ps(ExchangeHalves(x), h));
    }
    *rr_ii = a;
    *ir_ri = b;
}

void MultiplyAccumulatePlanar(float* acc, const float* const* spectra, const float* h, int first, int end) {
    constexpr int G = kPlanarGroupPoints;
    const float* s[kEnginePartitions];
    for (int p = 0; p < kEnginePartitions; ++p) s[p] = spectra[p];
    for (int g = first; g < end; ++g) {
        __m512 a, b;
        GroupSums(s, h + 2 * G * kEnginePartitions * g, 2 * G * g, &a, &b);
        _mm512_storeu_ps(acc + 2 * G * g, InterleavePoints(RealOfSums(a), ImagOfSums(b)));
    }
}

// MultiplyAccumulatePairJoined of block_kernels.inc, a group a vector (two outputs reading one port load its
// history twice, from the first-level cache the second time).
void MultiplyAccumulatePairJoined(float* za, float* zb, const float* const* spectra_a, const float* const* spectra_b,
                                  const float* ha, const float* hb, int points, int last) {
    constexpr int G = kPlanarGroupPoints;
    constexpr int kRun = 2 * G * kEnginePartitions;
    const float* sa[kEnginePartitions];
    const float* sb[kEnginePartitions];
    for (int p = 0; p < kEnginePartitions; ++p) {
        sa[p] = spectra_a[p];
        sb[p] = spectra_b[p];
    }
    for (int g = 0; g <= last; ++g) {
        __m512 a, b, c, d;
        GroupSums(sa, ha + kRun * g, 2 * G * g, &a, &b);
        GroupSums(sb, hb + kRun * g, 2 * G * g, &c, &d);
        const __m256 rea = RealOfSums(a), ima = ImagOfSums(b), reb = RealOfSums(c), imb = ImagOfSums(d);
        const int k = G * g;
        if (g == 0 || g == last) {
            // Group 0 whole, of the last group point N alone, as they are.
            const __mmask16 keep = g == 0 ? 0xFFFF : 0x0003;
            _mm512_mask_storeu_ps(za + 2 * k, keep, InterleavePoints(rea, ima));
            _mm512_mask_storeu_ps(zb + 2 * k, keep, InterleavePoints(reb, imb));
            continue;
        }
        _mm512_storeu_ps(za + 2 * k, InterleavePoints(_mm256_sub_ps(rea, imb), _mm256_add_ps(ima, reb)));
        _mm512_storeu_ps(za + 2 * (points - k - (G - 1)),
                         InterleavePointsReversed(_mm256_add_ps(rea, imb), _mm256_sub_ps(reb, ima)));
    }
}

// SplitPairPoint for the points of planar groups first..last (none of them point 0), a group a vector: the
// operations of the 256-bit split. With m the mirrors' points in the order of the group's, s = z + m and
// d = z - m, A = (s_re, d_im) / 2 and B = (s_im, -d_re) / 2, and -d_re = m_re - z_re.
void SplitPairGroups(const float* z, float* xa, float* xb, int points, int first, int last) {
    constexpr int G = kPlanarGroupPoints;
    const __m512 half = _mm512_set1_ps(0.5f);
    const __m512i mirror = _mm512_setr_epi32(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    const __m512i planar = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    const __m512i swap = _mm512_setr_epi32(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    constexpr __mmask16 kOdd = 0xAAAA;
    for (int g = first; g <= last; ++g) {
        const int k = G * g;
        const __m512 zk = _mm512_loadu_ps(z + 2 * k);
        const __m512 m = _mm512_permutexvar_ps(mirror, _mm512_loadu_ps(z + 2 * (points - k - (G - 1))));
        const __m512 sum = _mm512_add_ps(zk, m);
        const __m512 a = _mm512_mask_sub_ps(sum, kOdd, zk, m);           // (z_re + m_re, z_im - m_im)
        const __m512 b = _mm512_mask_sub_ps(sum, ~kOdd & 0xFFFF, m, zk);  // (m_re - z_re, z_im + m_im)
        _mm512_storeu_ps(xa + 2 * G * g, _mm512_permutexvar_ps(planar, _mm512_mul_ps(half, a)));
        _mm512_storeu_ps(xb + 2 * G * g, _mm512_permutexvar_ps(planar, _mm512_mul_ps(half, _mm512_permutexvar_ps(swap, b))));
    }
}

int SeparatePairBlocks(float* za, float* yb, int points) {
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odd = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    int j = 0;
    for (; j + 16 <= points; j += 16) {
        const __m512 lo = _mm512_loadu_ps(za + 2 * j), hi = _mm512_loadu_ps(za + 2 * j + 16);
        _mm512_storeu_ps(yb + j, _mm512_permutex2var_ps(lo, odd, hi));
        _mm512_storeu_ps(za + j, _mm512_permutex2var_ps(lo, even, hi));
    }
    return j;
}

}  // namespace v512
#pragma GCC diagnostic pop
#pragma GCC pop_options
#endif

void MultiplyAccumulatePlanarWidest(float* acc, const float* const* s, const float* h, int first, int end) {
#if defined(HV_BLOCK_V512)
    if (BlockPathHasAvx512()) return v512::MultiplyAccumulatePlanar(acc, s, h, first, end);
#endif
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) return v256x::MultiplyAccumulatePlanar(acc, s, h, first, end);
    if (BlockPathHasAvx()) return v256::MultiplyAccumulatePlanar(acc, s, h, first, end);
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::MultiplyAccumulatePlanar(acc, s, h, first, end);
#endif
    MultiplyAccumulatePlanarScalar(acc, s, h, first, end);
}

// The products of two outputs over all groups, joined where MultiplyAccumulatePairJoined joins them; false
// when there is no vector form.
bool MultiplyAccumulatePairJoinedVector(float* za, float* zb, const float* const* sa, const float* const* sb,
                                        const float* ha, const float* hb, int points, int last) {
    const bool shared = sa[0] == sb[0];  // one port: the eight spectra are the same
#if defined(HV_BLOCK_V512)
    if (BlockPathHasAvx512()) return v512::MultiplyAccumulatePairJoined(za, zb, sa, sb, ha, hb, points, last), true;
#endif
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) {
        if (shared) v256x::MultiplyAccumulatePairJoined<true>(za, zb, sa, sb, ha, hb, points, last);
        else v256x::MultiplyAccumulatePairJoined<false>(za, zb, sa, sb, ha, hb, points, last);
        return true;
    }
    if (BlockPathHasAvx()) {
        if (shared) v256::MultiplyAccumulatePairJoined<true>(za, zb, sa, sb, ha, hb, points, last);
        else v256::MultiplyAccumulatePairJoined<false>(za, zb, sa, sb, ha, hb, points, last);
        return true;
    }
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) {
        if (shared) v128::MultiplyAccumulatePairJoined<true>(za, zb, sa, sb, ha, hb, points, last);
        else v128::MultiplyAccumulatePairJoined<false>(za, zb, sa, sb, ha, hb, points, last);
        return true;
    }
#endif
    (void)za, (void)zb, (void)sa, (void)sb, (void)ha, (void)hb, (void)points, (void)last, (void)shared;
    return false;
}

void ToPlanarWidest(const float* x, float* out, int groups) {
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) return v256x::ToPlanar(x, out, groups);
    if (BlockPathHasAvx()) return v256::ToPlanar(x, out, groups);
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::ToPlanar(x, out, groups);
#endif
    for (int k = 0; k < kPlanarGroupPoints * groups; ++k) {
        PlanarRe(out, k) = x[2 * k];
        PlanarIm(out, k) = x[2 * k + 1];
    }
}

// The packed bank of one output of bank b.
float* PackedOutputBank(const EngineBlockContext& ctx, int bank, int o) {
    return ctx.PackedBank + (static_cast<long>(bank) * kEngineOutputs + (o - 1)) * PlanarGroups(ctx.N) *
                                kEnginePartitions * 2 * kPlanarGroupPoints;
}

bool HasPackedBank(const EngineBlockContext& ctx) {
    return ctx.PackedBank && ctx.PackedBankCapacity >= PackedBankFloats(ctx.N);
}

int CompactRealsVector(float* x, int count) {
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) return v256x::CompactReals(x, count);
    if (BlockPathHasAvx()) return v256::CompactReals(x, count);
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::CompactReals(x, count);
#endif
    (void)x, (void)count;
    return 0;
}

// The twiddles e^(-i pi k / N), k = 0..N, interleaved, or null without a packed bank.
const float* RealTwiddles(const EngineBlockContext& ctx) {
    return HasPackedBank(ctx) ? ctx.PackedBank + PackedBankOnlyFloats(ctx.N) : nullptr;
}

// A real block x of 2N points whose last N are zero, through a complex transform of N points: z[j] = x[2j]
// + i x[2j+1], Z its transform, E[k] = (Z[k] + conj Z[N-k]) / 2 the transform of the even samples, O[k] =
// (Z[k] - conj Z[N-k]) / 2i that of the odd ones, and X[k] = E[k] + e^(-i pi k / N) O[k] for k = 0..N.
// Point k of X, stored planar; Z is periodic in N.
inline void RealForwardPoint(const float* z, const float* w, float* x, int N, int k) {
    const int kk = k % N, m = (N - kk) % N;
    const float zr = z[2 * kk], zi = z[2 * kk + 1];
    const float mr = z[2 * m], mi = z[2 * m + 1];
    const float er = 0.5f * (zr + mr), ei = 0.5f * (zi - mi);
    const float orr = 0.5f * (zi + mi), oi = 0.5f * (mr - zr);
    const float tr = w[2 * k], ti = w[2 * k + 1];
    PlanarRe(x, k) = er + (orr * tr - oi * ti);
    PlanarIm(x, k) = ei + (oi * tr + orr * ti);
}

// The reverse, for the half spectrum Y[0..N] of a real block y of 2N points: Z[k] = E[k] + i O[k] with
// E[k] = (Y[k] + conj Y[N-k]) / 2 and O[k] = (Y[k] - conj Y[N-k]) e^(+i pi k / N) / 2, k = 0..N-1, whose
// inverse transform of N points is z[j] = y[2j] + i y[2j+1]. Point k of Z from points k and N - k of Y.
inline void RealInversePoint(float yr, float yi, float mr, float mi, float tr, float ti, float* z) {
    const float er = 0.5f * (yr + mr), ei = 0.5f * (yi - mi);
    const float dr = yr - mr, di = yi + mi;
    const float orr = 0.5f * (dr * tr + di * ti), oi = 0.5f * (di * tr - dr * ti);
    z[0] = er - oi;
    z[1] = ei + orr;
}

void RealForwardPostWidest(const float* z, const float* w, float* x, int N) {
    int groups_done = 0;
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) avx2::RealForwardGroups(z, w, x, N, 1, N / kPlanarGroupPoints - 1), groups_done = 1;
    if (!groups_done && BlockPathHasAvx()) v256::RealForwardGroups(z, w, x, N, 1, N / kPlanarGroupPoints - 1), groups_done = 1;
#endif
#if defined(HV_BLOCK_V128)
    if (!groups_done && UseVector128()) v128::RealForwardGroups(z, w, x, N, 1, N / kPlanarGroupPoints - 1), groups_done = 1;
#endif
    // Group 0 holds point 0, whose mirror is itself; point N is the last.
    for (int k = 0; k < kPlanarGroupPoints; ++k) RealForwardPoint(z, w, x, N, k);
    RealForwardPoint(z, w, x, N, N);
    if (!groups_done)
        for (int k = kPlanarGroupPoints; k < N; ++k) RealForwardPoint(z, w, x, N, k);
}

// Z from Y in place (points 0..N-1 of acc; point N is left with working data), pairs k, N - k at a time.
void RealInversePreWidest(float* acc, const float* w, int N) {
    int k = 1;
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) k = avx2::RealInversePairs(acc, w, N, 1, N / 2 - 1);
    if (BlockPathHasAvx()) k = v256::RealInversePairs(acc, w, N, k, N / 2 - 1);
#endif
#if defined(HV_BLOCK_V128)
    if (k == 1 && UseVector128()) k = v128::RealInversePairs(acc, w, N, 1, N / 2 - 1);
#endif
    for (; k < N / 2; ++k) {
        const int m = N - k;
        const float yr = acc[2 * k], yi = acc[2 * k + 1], mr = acc[2 * m], mi = acc[2 * m + 1];
        RealInversePoint(yr, yi, mr, mi, w[2 * k], w[2 * k + 1], acc + 2 * k);
        RealInversePoint(mr, mi, yr, yi, w[2 * m], w[2 * m + 1], acc + 2 * m);
    }
    // Points 0 (with N) and N/2 (its own partner).
    const float y0r = acc[0], y0i = acc[1], ynr = acc[2 * N], yni = acc[2 * N + 1];
    RealInversePoint(y0r, y0i, ynr, yni, w[0], w[1], acc);
    const int h = N / 2;
    const float yhr = acc[2 * h], yhi = acc[2 * h + 1];
    RealInversePoint(yhr, yhi, yhr, yhi, w[2 * h], w[2 * h + 1], acc + 2 * h);
}

}  // namespace

bool BlockPathHasAvx() {
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool avx = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return avx && g_kernel_limit.load(std::memory_order_relaxed) >= static_cast<int>(BlockKernels::kVector256);
#else
    return false;
#endif
}

bool BlockPathHasAvx2() {
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return avx2 && BlockPathHasAvx() &&
           g_kernel_limit.load(std::memory_order_relaxed) >= static_cast<int>(BlockKernels::kAvx2);
#else
    return false;
#endif
}

bool BlockPathHasAvx512() {
#if defined(HV_BLOCK_V512)
    static const bool avx512 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0;
    }();
    return avx512 && BlockPathHasAvx2() &&
           g_kernel_limit.load(std::memory_order_relaxed) >= static_cast<int>(BlockKernels::kWidest);
#else
    return false;
#endif
}

void LimitBlockPathKernels(BlockKernels widest) { g_kernel_limit.store(static_cast<int>(widest)); }

OutputRange ConvolutionRange(uint32_t output_mode, ConvolutionWorker worker) {
    if (worker == ConvolutionWorker::kLow) return {1, output_mode == 2 ? 10 : 8};
    return {9, 16};
}

int OutputFrameWords(uint32_t output_mode) {
    if (output_mode == 1) return 16;
    if (output_mode == 2) return 10;
    return 8;
}

void PackFilterBank(EngineBlockContext& ctx, int bank, int output) {
    if (!HasPackedBank(ctx)) return;
    constexpr int G = kPlanarGroupPoints;
    const int N = ctx.N;
    float* out = PackedOutputBank(ctx, bank, output);
    for (int g = 0; g < PlanarGroups(N); ++g) {
        for (int p = 0; p < kEnginePartitions; ++p) {
            const float* part = ctx.FilterPartitionBank[bank][output - 1][p];
            float* dst = out + 2 * G * (kEnginePartitions * g + p);
            for (int i = 0; i < G; ++i) {
                const int k = G * g + i;
                dst[i] = part && k <= N ? part[2 * k] : 0.0f;
                dst[i + G] = part && k <= N ? part[2 * k + 1] : 0.0f;
            }
        }
    }
}

void PackFilterBanks(EngineBlockContext& ctx) {
    for (int b = 0; b < kEngineBanks; ++b)
        for (int o = 1; o <= kEngineOutputs; ++o) PackFilterBank(ctx, b, o);
    if (!HasPackedBank(ctx)) return;
    float* w = ctx.PackedBank + PackedBankOnlyFloats(ctx.N);
    const double step = 3.14159265358979323846 / ctx.N;
    for (int k = 0; k <= ctx.N; ++k) {
        w[2 * k] = static_cast<float>(std::cos(step * k));
        w[2 * k + 1] = static_cast<float>(-std::sin(step * k));
    }
}

void ResetBlockPath(EngineBlockContext& ctx) {
    // The processor's features are read here, once, and not in the first block.
    BlockPathHasAvx();
    BlockPathHasAvx2();
    BlockPathHasAvx512();
    PackFilterBanks(ctx);
    const size_t spectrum_bytes = static_cast<size_t>(4 * ctx.N) * sizeof(float);
    for (int r = 0; r < kEngineInputPorts; ++r) {
        for (int s = 0; s < kEnginePartitions; ++s) {
            if (ctx.InputSpectrumHistory[r][s]) std::memset(ctx.InputSpectrumHistory[r][s], 0, spectrum_bytes);
        }
        ctx.HistoryNewest[r] = kEnginePartitions - 1;
    }
    for (int o = 0; o < kEngineOutputs; ++o) {
        ctx.AccumulatorZero[o] = 0;
        ctx.TailZero[o] = 0;
        ctx.AccumulatorCompact[o] = 0;
        if (ctx.OutputAccumulator[o]) std::memset(ctx.OutputAccumulator[o], 0, spectrum_bytes);
        if (ctx.OverlapTail[o]) std::memset(ctx.OverlapTail[o], 0, static_cast<size_t>(ctx.N) * sizeof(float));
        if (ctx.OutputDelayRing[o]) std::memset(ctx.OutputDelayRing[o], 0, kDelayRingWords * sizeof(int32_t));
    }
}

namespace {

// Makes port r's next history array the newest and returns it.
float* AdvanceHistory(EngineBlockContext& ctx, int r) {
    ctx.HistoryNewest[r] = (ctx.HistoryNewest[r] + 1) & 7;
    return ctx.InputSpectrumHistory[r][ctx.HistoryNewest[r]];
}

// Vector forms of the pair kernels where the processor has them; the split returns false when there is
// none, the others the first point they left.
bool SplitPairGroupsVector(const float* z, float* xa, float* xb, int points, int first, int last) {
#if defined(HV_BLOCK_V512)
    if (BlockPathHasAvx512()) return v512::SplitPairGroups(z, xa, xb, points, first, last), true;
#endif
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) return avx2::SplitPairGroups(z, xa, xb, points, first, last), true;
    if (BlockPathHasAvx()) return v256::SplitPairGroups(z, xa, xb, points, first, last), true;
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::SplitPairGroups(z, xa, xb, points, first, last), true;
#endif
    (void)z, (void)xa, (void)xb, (void)points, (void)first, (void)last;
    return false;
}

int JoinPairSpectrumVector(float* za, const float* yb, int points, int first, int last) {
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) return v256x::JoinPairSpectrum(za, yb, points, first, last);
    if (BlockPathHasAvx()) return v256::JoinPairSpectrum(za, yb, points, first, last);
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::JoinPairSpectrum(za, yb, points, first, last);
#endif
    (void)za, (void)yb, (void)points, (void)last;
    return first;
}

int MirrorHalfSpectrumVector(float* acc, int points, int first, int last) {
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) return v256x::MirrorHalfSpectrum(acc, points, first, last);
    if (BlockPathHasAvx()) return v256::MirrorHalfSpectrum(acc, points, first, last);
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::MirrorHalfSpectrum(acc, points, first, last);
#endif
    (void)acc, (void)points, (void)last;
    return first;
}

int SeparatePairBlocksVector(float* za, float* yb, int points) {
#if defined(HV_BLOCK_V512)
    if (BlockPathHasAvx512()) return v512::SeparatePairBlocks(za, yb, points);
#endif
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx2()) return v256x::SeparatePairBlocks(za, yb, points);
    if (BlockPathHasAvx()) return v256::SeparatePairBlocks(za, yb, points);
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::SeparatePairBlocks(za, yb, points);
#endif
    (void)za, (void)yb, (void)points;
    return 0;
}

// Point k of both spectra of a shared transform, stored planar.
inline void SplitPairPoint(const float* z, float* xa, float* xb, int points, int k) {
    const int m = k == 0 ? 0 : points - k;
    const float zr = z[2 * k], zi = z[2 * k + 1];
    const float wr = z[2 * m], wi = z[2 * m + 1];
    PlanarRe(xa, k) = 0.5f * (zr + wr);
    PlanarIm(xa, k) = 0.5f * (zi - wi);
    PlanarRe(xb, k) = 0.5f * (zi + wi);
    PlanarIm(xb, k) = 0.5f * (wr - zr);
}

// Two real blocks a and b share one transform: Z = FFT(a + i b), then A[k] = (Z[k] + conj Z[-k]) / 2 and
// B[k] = (Z[k] - conj Z[-k]) / 2i. The histories get points 0..N, planar: the products read nothing else,
// and the rest is their mirror image.
void TransformPortPair(EngineBlockContext& ctx, int ra, int rb) {
    const int N = ctx.N, points = 2 * N;
    float* z = ctx.InputBlock[ra];
    const float* b = ctx.InputBlock[rb];
    for (int j = 0; j < N; ++j) z[2 * j + 1] = b[2 * j];
    std::memset(z + 2 * N, 0, static_cast<size_t>(2 * N) * sizeof(float));
    ComplexFft(4 * N, kFftForward, z, ctx.fft.bit_reverse, ctx.fft.twiddle);
    float* xa = AdvanceHistory(ctx, ra);
    float* xb = AdvanceHistory(ctx, rb);
    // Group 0 holds point 0, its own mirror, and the last group point N: both go point by point.
    const int last_group = N / kPlanarGroupPoints - 1;
    for (int k = 0; k < kPlanarGroupPoints; ++k) SplitPairPoint(z, xa, xb, points, k);
    SplitPairPoint(z, xa, xb, points, N);
    if (!SplitPairGroupsVector(z, xa, xb, points, 1, last_group))
        for (int k = kPlanarGroupPoints; k < N; ++k) SplitPairPoint(z, xa, xb, points, k);
}

void TransformPort(EngineBlockContext& ctx, int r) {
    const int N = ctx.N;
    float* block = ctx.InputBlock[r];
    if (const float* w = RealTwiddles(ctx)) {
        // The real block as N complex points (even and odd samples), zero from point N/2 on.
        for (int j = CompactRealsVector(block, N); j < N; ++j) block[j] = block[2 * j];
        std::memset(block + N, 0, static_cast<size_t>(N) * sizeof(float));
        ComplexFft(2 * N, kFftForward, block, ctx.fft.bit_reverse, ctx.fft.twiddle);
        RealForwardPostWidest(block, w, AdvanceHistory(ctx, r), N);
        return;
    }
    std::memset(block + 2 * N, 0, static_cast<size_t>(2 * N) * sizeof(float));
    ComplexFft(4 * N, kFftForward, block, ctx.fft.bit_reverse, ctx.fft.twiddle);
    ToPlanarWidest(block, AdvanceHistory(ctx, r), PlanarGroups(N));
}

// Point k of Z = Ya + i Yb and, for 0 < k < N, its mirror 2N - k, from the half spectra in acc_a and acc_b.
inline void JoinPairPoint(float* acc_a, const float* acc_b, int N, int k) {
    const float ar = acc_a[2 * k], ai = acc_a[2 * k + 1];
    const float br = acc_b[2 * k], bi = acc_b[2 * k + 1];
    acc_a[2 * k] = ar - bi;
    acc_a[2 * k + 1] = ai + br;
    if (k > 0 && k < N) {
        acc_a[2 * (2 * N - k)] = ar + bi;
        acc_a[2 * (2 * N - k) + 1] = br - ai;
    }
}

// The inverse transform of a joined pair: the real parts are block a, the imaginary parts block b, and both
// are left compact.
void InverseTransformJoinedPair(EngineBlockContext& ctx, float* acc_a, float* acc_b) {
    const int N = ctx.N, points = 2 * N;
    ComplexFft(4 * N, kFftInverse, acc_a, ctx.fft.bit_reverse, ctx.fft.twiddle);
    int j = SeparatePairBlocksVector(acc_a, acc_b, points);
    for (int k = j; k < points; ++k) acc_b[k] = acc_a[2 * k + 1];
    for (; j < points; ++j) acc_a[j] = acc_a[2 * j];
}

// Half spectra Ya (in acc_a) and Yb (in acc_b), points 0..N, of two real blocks become one inverse
// transform of Z = Ya + i Yb over all 2N points; the real part is block a, the imaginary part block b.
void InverseTransformPair(EngineBlockContext& ctx, float* acc_a, float* acc_b) {
    const int N = ctx.N, points = 2 * N;
    JoinPairPoint(acc_a, acc_b, N, 0);
    JoinPairPoint(acc_a, acc_b, N, N);
    for (int k = JoinPairSpectrumVector(acc_a, acc_b, points, 1, N - 1); k < N; ++k) JoinPairPoint(acc_a, acc_b, N, k);
    InverseTransformJoinedPair(ctx, acc_a, acc_b);
}

// Returns true when the block is left compact, false when it is the real parts of 2N points.
bool InverseTransformSingle(EngineBlockContext& ctx, float* acc) {
    const int N = ctx.N;
    if (const float* w = RealTwiddles(ctx)) {
        // y through a transform of N points, z[j] = y[2j] + i y[2j+1]: the block compact as it stands.
        RealInversePreWidest(acc, w, N);
        ComplexFft(2 * N, kFftInverse, acc, ctx.fft.bit_reverse, ctx.fft.twiddle);
        return true;
    }
    for (int k = MirrorHalfSpectrumVector(acc, 2 * N, 1, N - 1); k < N; ++k) {
        acc[2 * (2 * N - k)] = acc[2 * k];
        acc[2 * (2 * N - k) + 1] = -acc[2 * k + 1];
    }
    ComplexFft(4 * N, kFftInverse, acc, ctx.fft.bit_reverse, ctx.fft.twiddle);
    return false;
}

}  // namespace

uint32_t PortsInUse(const EngineBlockContext& ctx) {
    const int last = ctx.OutputMode == 1 ? kEngineOutputs : ConvolutionRange(ctx.OutputMode, ConvolutionWorker::kLow).last;
    uint32_t used = 0;
    for (int o = 1; o <= last; ++o) {
        const int port = RoutedPort(ctx, o);
        if (port) used |= 1u << (port - 1);
    }
    return used;
}

void RunInputFftStage(EngineBlockContext& ctx, const int* ports, int port_count) {
    // Only the ports some output reads; every block is real, so they go through the transform two at a time.
    const uint32_t used = PortsInUse(ctx);
    int selected[kEngineInputPorts];
    int count = 0;
    for (int i = 0; i < port_count && count < kEngineInputPorts; ++i)
        if (used & (1u << (ports[i] - 1))) selected[count++] = ports[i];
    int i = 0;
    for (; i + 1 < count; i += 2) TransformPortPair(ctx, selected[i] - 1, selected[i + 1] - 1);
    if (i < count) TransformPort(ctx, selected[i] - 1);
}

namespace {

// The eight spectra output o's products meet: port's history p blocks back for partition p.
void OutputSpectra(const EngineBlockContext& ctx, int port, const float* s[kEnginePartitions]) {
    for (int p = 0; p < kEnginePartitions; ++p) s[p] = HistorySpectrum(ctx, port, p);
}

// Products of output o over points 0..N into its accumulator (and the rest of the last group, which the
// inverse transform overwrites): input and filter are real, so points N+1..2N-1 are the conjugates of points
// N-1..1.
void MultiplyOutput(EngineBlockContext& ctx, int o, int port, int bank) {
    const int N = ctx.N;
    float* acc = ctx.OutputAccumulator[o - 1];
    const float* s[kEnginePartitions];
    OutputSpectra(ctx, port, s);
    if (HasPackedBank(ctx)) {
        MultiplyAccumulatePlanarWidest(acc, s, PackedOutputBank(ctx, bank, o), 0, PlanarGroups(N));
        return;
    }
    for (int k = 0; k <= N; ++k) {
        float rr = 0.0f, ii = 0.0f, ir = 0.0f, ri = 0.0f;
        for (int p = 0; p < kEnginePartitions; ++p) {
            const float* h = ctx.FilterPartitionBank[bank][o - 1][p];
            rr += PlanarRe(s[p], k) * h[2 * k];
            ii += PlanarIm(s[p], k) * h[2 * k + 1];
            ir += PlanarIm(s[p], k) * h[2 * k];
            ri += PlanarRe(s[p], k) * h[2 * k + 1];
        }
        acc[2 * k] = rr - ii;
        acc[2 * k + 1] = ir + ri;
    }
}

// Outputs a and b through one inverse transform. Where the vector kernels run, the products of the groups
// away from points 0 and N are joined as they are formed, in one pass over both filters (and over one
// history when both outputs read the same port); the two end groups go the plain way.
void ComputeOutputPair(EngineBlockContext& ctx, int a, int port_a, int b, int port_b, int bank) {
    const int N = ctx.N, points = 2 * N;
    float* acc_a = ctx.OutputAccumulator[a - 1];
    float* acc_b = ctx.OutputAccumulator[b - 1];
    const int last_group = PlanarGroups(N) - 1;
    if (HasPackedBank(ctx)) {
        const float* sa[kEnginePartitions];
        const float* sb[kEnginePartitions];
        OutputSpectra(ctx, port_a, sa);
        OutputSpectra(ctx, port_b, sb);
        const float* ha = PackedOutputBank(ctx, bank, a);
        const float* hb = PackedOutputBank(ctx, bank, b);
        if (MultiplyAccumulatePairJoinedVector(acc_a, acc_b, sa, sb, ha, hb, points, last_group)) {
            // The points of the end groups were left as products; their mirrors lie where no joined group
            // writes.
            for (int k = 0; k < kPlanarGroupPoints; ++k) JoinPairPoint(acc_a, acc_b, N, k);
            JoinPairPoint(acc_a, acc_b, N, N);
            InverseTransformJoinedPair(ctx, acc_a, acc_b);
            ctx.AccumulatorCompact[a - 1] = ctx.AccumulatorCompact[b - 1] = 1;
            return;
        }
    }
    MultiplyOutput(ctx, a, port_a, bank);
    MultiplyOutput(ctx, b, port_b, bank);
    InverseTransformPair(ctx, acc_a, acc_b);
    ctx.AccumulatorCompact[a - 1] = ctx.AccumulatorCompact[b - 1] = 1;
}

}  // namespace

void ComputeOutputBlocks(EngineBlockContext& ctx, OutputRange range, int32_t phase_mode) {
    const int N = ctx.N;
    const int bank = BankOf(phase_mode);
    int pending = 0, pending_port = 0;  // an output waiting for its partner in the inverse transform
    for (int o = range.first; o <= range.last; ++o) {
        const int port = RoutedPort(ctx, o);
        if (port == 0) {
            // An unfed output must not transform last block's time-domain data again.
            if (!ctx.AccumulatorZero[o - 1])
                std::memset(ctx.OutputAccumulator[o - 1], 0, static_cast<size_t>(4 * N) * sizeof(float));
            ctx.AccumulatorZero[o - 1] = 1;
            ctx.AccumulatorCompact[o - 1] = 0;
            continue;
        }
        ctx.AccumulatorZero[o - 1] = 0;
        if (pending) {
            ComputeOutputPair(ctx, pending, pending_port, o, port, bank);
            pending = 0;
        } else {
            pending = o;
            pending_port = port;
        }
    }
    if (pending) {
        MultiplyOutput(ctx, pending, pending_port, bank);
        ctx.AccumulatorCompact[pending - 1] = InverseTransformSingle(ctx, ctx.OutputAccumulator[pending - 1]);
    }
}

void ComputeOutputBlocksReference(EngineBlockContext& ctx, OutputRange range, int32_t phase_mode) {
    const int N = ctx.N;
    const int bank = BankOf(phase_mode);
    for (int k = 0; k < 2 * N; ++k) {
        for (int o = range.first; o <= range.last; ++o) {
            for (int r = 1; r <= kEngineInputPorts; ++r) {
                if (!ctx.RoutingMatrix || ctx.RoutingMatrix[(r - 1) * kEngineOutputs + (o - 1)] != 1) continue;
                const float* s[kEnginePartitions];
                const float* h[kEnginePartitions];
                for (int p = 0; p < kEnginePartitions; ++p) {
                    s[p] = HistorySpectrum(ctx, r, p);  // slot 7 - p: p blocks earlier
                    h[p] = ctx.FilterPartitionBank[bank][o - 1][p];
                }
                // The histories hold points 0..N; point k > N of a real block's spectrum is conj S[2N - k].
                const int m = k <= N ? k : 2 * N - k;
                const float conj = k <= N ? 1.0f : -1.0f;
                float re = 0.0f, im = 0.0f;
                for (int p = 0; p < kEnginePartitions; ++p) {
                    const float a = PlanarRe(s[p], m), b = conj * PlanarIm(s[p], m);
                    const float c = h[p][2 * k], d = h[p][2 * k + 1];
                    re += a * c - b * d;
                    im += a * d + b * c;
                }
                ctx.OutputAccumulator[o - 1][2 * k] = re;
                ctx.OutputAccumulator[o - 1][2 * k + 1] = im;
            }
        }
    }
    for (int o = range.first; o <= range.last; ++o) {
        ctx.AccumulatorCompact[o - 1] = 0;
        ctx.AccumulatorZero[o - 1] = RoutedPort(ctx, o) == 0;
        if (ctx.AccumulatorZero[o - 1]) {
            std::memset(ctx.OutputAccumulator[o - 1], 0, static_cast<size_t>(4 * N) * sizeof(float));
            continue;
        }
        ComplexFft(4 * N, kFftInverse, ctx.OutputAccumulator[o - 1], ctx.fft.bit_reverse, ctx.fft.twiddle);
    }
}

void RunConvolutionStage(EngineBlockContext& ctx, OutputRange range, const LiveBlockValues& live) {
    ComputeOutputBlocks(ctx, range, live.PhaseMode);
    RunOutputStage(ctx, range, live);
}

void ProcessEngineBlock(EngineBlockContext& ctx, const LiveBlockValues& live) {
    RunInputFftStage(ctx, kInputFftPortsA, 5);
    if (ctx.OutputMode != 0) RunInputFftStage(ctx, kInputFftPortsB, 4);
    RunConvolutionStage(ctx, ConvolutionRange(ctx.OutputMode, ConvolutionWorker::kLow), live);
    if (ctx.OutputMode == 1) RunConvolutionStage(ctx, ConvolutionRange(ctx.OutputMode, ConvolutionWorker::kHigh), live);
}
