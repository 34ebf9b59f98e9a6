#include "engine/block_path.h"

#include <atomic>
#include <cstring>

#include "engine/fft.h"
#include "engine/output_stage.h"

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

// acc[k] = sum over p = 0..7 of s[p][k] x h[p][k] for complex points k in [0, points), products added in the
// order p = 0..7. The scalar form is the reference of the vector form.
void MultiplyAccumulateScalar(float* acc, const float* const* s, const float* const* h, int first, int points) {
    for (int k = first; k < points; ++k) {
        float re = 0.0f, im = 0.0f;
        for (int p = 0; p < kEnginePartitions; ++p) {
            const float a = s[p][2 * k], b = s[p][2 * k + 1];
            const float c = h[p][2 * k], d = h[p][2 * k + 1];
            re += a * c - b * d;
            im += a * d + b * c;
        }
        acc[2 * k] = re;
        acc[2 * k + 1] = im;
    }
}

// The vector forms keep two accumulators per point, u = sum a x Re(c) and v = sum a x Im(c), and join them
// once at the end (re = u.re - v.im, im = u.im + v.re): two shuffles per product instead of three.
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
#include "engine/block_kernels.inc"
}  // namespace v128
#endif

#if defined(HV_BLOCK_V128) && defined(__x86_64__)
#define HV_BLOCK_V256 1
// Four complex points a vector, taken only when the processor reports AVX at run time.
#pragma GCC push_options
#pragma GCC target("avx")
namespace v256 {
typedef float V __attribute__((vector_size(32)));
typedef int32_t I __attribute__((vector_size(32)));
constexpr int kPoints = 4;
inline V Load(const float* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(float* p, V v) { std::memcpy(p, &v, sizeof v); }
inline V DupRe(V x) { return __builtin_shuffle(x, I{0, 0, 2, 2, 4, 4, 6, 6}); }
inline V DupIm(V x) { return __builtin_shuffle(x, I{1, 1, 3, 3, 5, 5, 7, 7}); }
inline V SwapPairs(V x) { return __builtin_shuffle(x, I{1, 0, 3, 2, 5, 4, 7, 6}); }
inline V Sign() { return V{-1.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f}; }
inline V Alternate(float a, float b) { return V{a, b, a, b, a, b, a, b}; }
inline V Reverse(V x) { return __builtin_shuffle(x, I{6, 7, 4, 5, 2, 3, 0, 1}); }
inline I EvenLanes() { return I{-1, 0, -1, 0, -1, 0, -1, 0}; }
#include "engine/block_kernels.inc"
}  // namespace v256
#pragma GCC pop_options

#endif

void MultiplyAccumulate(float* acc, const float* const* s, const float* const* h, int points) {
    int done = 0;
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx()) done = v256::MultiplyAccumulate(acc, s, h, points);
    else if (UseVector128()) done = v128::MultiplyAccumulate(acc, s, h, points);
#elif defined(HV_BLOCK_V128)
    if (UseVector128()) done = v128::MultiplyAccumulate(acc, s, h, points);
#endif
    MultiplyAccumulateScalar(acc, s, h, done, points);
}

void GatherSpectra(const EngineBlockContext& ctx, int port, int o, int bank, const float* s[kEnginePartitions],
                   const float* h[kEnginePartitions]) {
    for (int p = 0; p < kEnginePartitions; ++p) {
        s[p] = HistorySpectrum(ctx, port, p);  // slot 7 - p: p blocks earlier
        h[p] = ctx.FilterPartitionBank[bank][o - 1][p];
    }
}

}  // namespace

bool BlockPathHasAvx() {
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool avx = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return avx && g_kernel_limit.load(std::memory_order_relaxed) >= static_cast<int>(BlockKernels::kWidest);
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

void ResetBlockPath(EngineBlockContext& ctx) {
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

// Vector forms of the pair kernels where the processor has them; each returns the first point it left.
int SplitPairSpectrumVector(const float* z, float* xa, float* xb, int points, int first, int last) {
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx()) return v256::SplitPairSpectrum(z, xa, xb, points, first, last);
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::SplitPairSpectrum(z, xa, xb, points, first, last);
#endif
    (void)z, (void)xa, (void)xb, (void)points, (void)last;
    return first;
}

int JoinPairSpectrumVector(float* za, const float* yb, int points, int first, int last) {
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx()) return v256::JoinPairSpectrum(za, yb, points, first, last);
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::JoinPairSpectrum(za, yb, points, first, last);
#endif
    (void)za, (void)yb, (void)points, (void)last;
    return first;
}

int SeparatePairBlocksVector(float* za, float* yb, int points) {
#if defined(HV_BLOCK_V256)
    if (BlockPathHasAvx()) return v256::SeparatePairBlocks(za, yb, points);
#endif
#if defined(HV_BLOCK_V128)
    if (UseVector128()) return v128::SeparatePairBlocks(za, yb, points);
#endif
    (void)za, (void)yb, (void)points;
    return 0;
}

// Point k of both spectra of a shared transform.
inline void SplitPairPoint(const float* z, float* xa, float* xb, int points, int k) {
    const int m = k == 0 ? 0 : points - k;
    const float zr = z[2 * k], zi = z[2 * k + 1];
    const float wr = z[2 * m], wi = z[2 * m + 1];
    xa[2 * k] = 0.5f * (zr + wr);
    xa[2 * k + 1] = 0.5f * (zi - wi);
    xb[2 * k] = 0.5f * (zi + wi);
    xb[2 * k + 1] = 0.5f * (wr - zr);
}

// Two real blocks a and b share one transform: Z = FFT(a + i b), then A[k] = (Z[k] + conj Z[-k]) / 2 and
// B[k] = (Z[k] - conj Z[-k]) / 2i. The histories get points 0..N (HalfSpectrumPoints): the products read
// nothing else, and the rest is their mirror image.
void TransformPortPair(EngineBlockContext& ctx, int ra, int rb) {
    const int N = ctx.N, points = 2 * N;
    float* z = ctx.InputBlock[ra];
    const float* b = ctx.InputBlock[rb];
    for (int j = 0; j < N; ++j) z[2 * j + 1] = b[2 * j];
    std::memset(z + 2 * N, 0, static_cast<size_t>(2 * N) * sizeof(float));
    ComplexFft(4 * N, kFftForward, z, ctx.fft.bit_reverse, ctx.fft.twiddle);
    float* xa = AdvanceHistory(ctx, ra);
    float* xb = AdvanceHistory(ctx, rb);
    SplitPairPoint(z, xa, xb, points, 0);
    SplitPairPoint(z, xa, xb, points, N);
    for (int k = SplitPairSpectrumVector(z, xa, xb, points, 1, N - 1); k < N; ++k) SplitPairPoint(z, xa, xb, points, k);
}

void TransformPort(EngineBlockContext& ctx, int r) {
    const int N = ctx.N;
    float* block = ctx.InputBlock[r];
    std::memset(block + 2 * N, 0, static_cast<size_t>(2 * N) * sizeof(float));
    ComplexFft(4 * N, kFftForward, block, ctx.fft.bit_reverse, ctx.fft.twiddle);
    std::memcpy(AdvanceHistory(ctx, r), block, static_cast<size_t>(2 * HalfSpectrumPoints(N)) * sizeof(float));
}

// Half spectra Ya (in acc_a) and Yb (in acc_b), points 0..N, of two real blocks become one inverse
// transform of Z = Ya + i Yb over all 2N points; the real part is block a, the imaginary part block b.
void InverseTransformPair(EngineBlockContext& ctx, float* acc_a, float* acc_b) {
    const int N = ctx.N, points = 2 * N;
    auto join = [&](int k) {
        const float ar = acc_a[2 * k], ai = acc_a[2 * k + 1];
        const float br = acc_b[2 * k], bi = acc_b[2 * k + 1];
        acc_a[2 * k] = ar - bi;
        acc_a[2 * k + 1] = ai + br;
        if (k > 0 && k < N) {
            acc_a[2 * (points - k)] = ar + bi;
            acc_a[2 * (points - k) + 1] = br - ai;
        }
    };
    join(0);
    join(N);
    for (int k = JoinPairSpectrumVector(acc_a, acc_b, points, 1, N - 1); k < N; ++k) join(k);
    ComplexFft(4 * N, kFftInverse, acc_a, ctx.fft.bit_reverse, ctx.fft.twiddle);
    for (int j = SeparatePairBlocksVector(acc_a, acc_b, points); j < points; ++j) {
        acc_b[2 * j] = acc_a[2 * j + 1];
        acc_b[2 * j + 1] = 0.0f;
        acc_a[2 * j + 1] = 0.0f;
    }
}

void InverseTransformSingle(EngineBlockContext& ctx, float* acc) {
    const int N = ctx.N;
    for (int k = 1; k < N; ++k) {
        acc[2 * (2 * N - k)] = acc[2 * k];
        acc[2 * (2 * N - k) + 1] = -acc[2 * k + 1];
    }
    ComplexFft(4 * N, kFftInverse, acc, ctx.fft.bit_reverse, ctx.fft.twiddle);
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

void ComputeOutputBlocks(EngineBlockContext& ctx, OutputRange range, int32_t phase_mode) {
    const int N = ctx.N;
    const int bank = BankOf(phase_mode);
    float* pending = nullptr;  // a half spectrum waiting for its partner in the inverse transform
    for (int o = range.first; o <= range.last; ++o) {
        float* acc = ctx.OutputAccumulator[o - 1];
        const int port = RoutedPort(ctx, o);
        if (port == 0) {
            // An unfed output must not transform last block's time-domain data again.
            if (!ctx.AccumulatorZero[o - 1]) std::memset(acc, 0, static_cast<size_t>(4 * N) * sizeof(float));
            ctx.AccumulatorZero[o - 1] = 1;
            continue;
        }
        ctx.AccumulatorZero[o - 1] = 0;
        const float* s[kEnginePartitions];
        const float* h[kEnginePartitions];
        GatherSpectra(ctx, port, o, bank, s, h);
        // Input and filter are real, so bins N+1..2N-1 are the conjugates of bins N-1..1.
        MultiplyAccumulate(acc, s, h, N + 1);
        if (pending) {
            InverseTransformPair(ctx, pending, acc);
            pending = nullptr;
        } else {
            pending = acc;
        }
    }
    if (pending) InverseTransformSingle(ctx, pending);
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
                GatherSpectra(ctx, r, o, bank, s, h);
                // The histories hold points 0..N; point k > N of a real block's spectrum is conj S[2N - k].
                const int m = k <= N ? k : 2 * N - k;
                const float conj = k <= N ? 1.0f : -1.0f;
                float re = 0.0f, im = 0.0f;
                for (int p = 0; p < kEnginePartitions; ++p) {
                    const float a = s[p][2 * m], b = conj * s[p][2 * m + 1];
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
