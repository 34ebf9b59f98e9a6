#include "engine/block_path.h"

#include <cstring>

#include "engine/fft.h"
#include "engine/output_stage.h"

namespace {

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

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__aarch64__))
#define HV_BLOCK_VECTORS 1
typedef float V4 __attribute__((vector_size(16)));
typedef int32_t I4 __attribute__((vector_size(16)));

inline V4 LoadV4(const float* p) {
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Two complex points per vector (SSE2 on every x86-64 processor). Returns the first point not done.
int MultiplyAccumulateVector(float* acc, const float* const* s, const float* const* h, int points) {
    const V4 sign = {-1.0f, 1.0f, -1.0f, 1.0f};
    const int pairs = points / 2;
    for (int q = 0; q < pairs; ++q) {
        const int f = 4 * q;
        V4 sum = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int p = 0; p < kEnginePartitions; ++p) {
            const V4 a = LoadV4(s[p] + f);
            const V4 b = LoadV4(h[p] + f);
            const V4 re = __builtin_shuffle(b, I4{0, 0, 2, 2});
            const V4 im = __builtin_shuffle(b, I4{1, 1, 3, 3}) * sign;
            const V4 swapped = __builtin_shuffle(a, I4{1, 0, 3, 2});
            sum += a * re + swapped * im;
        }
        std::memcpy(acc + f, &sum, sizeof sum);
    }
    return 2 * pairs;
}
#endif

void MultiplyAccumulate(float* acc, const float* const* s, const float* const* h, int points) {
    int done = 0;
#ifdef HV_BLOCK_VECTORS
    done = MultiplyAccumulateVector(acc, s, h, points);
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
        if (ctx.OutputAccumulator[o]) std::memset(ctx.OutputAccumulator[o], 0, spectrum_bytes);
        if (ctx.OverlapTail[o]) std::memset(ctx.OverlapTail[o], 0, static_cast<size_t>(ctx.N) * sizeof(float));
        if (ctx.OutputDelayRing[o]) std::memset(ctx.OutputDelayRing[o], 0, kDelayRingWords * sizeof(int32_t));
    }
}

void RunInputFftStage(EngineBlockContext& ctx, const int* ports, int port_count) {
    const int N = ctx.N;
    for (int i = 0; i < port_count; ++i) {
        const int r = ports[i] - 1;
        float* block = ctx.InputBlock[r];
        std::memset(block + 2 * N, 0, static_cast<size_t>(2 * N) * sizeof(float));
        ComplexFft(4 * N, kFftForward, block, ctx.fft.bit_reverse, ctx.fft.twiddle);
        // The oldest array becomes the newest: one copy instead of moving seven spectra down.
        const int32_t newest = (ctx.HistoryNewest[r] + 1) & 7;
        std::memcpy(ctx.InputSpectrumHistory[r][newest], block, static_cast<size_t>(4 * N) * sizeof(float));
        ctx.HistoryNewest[r] = newest;
    }
}

void ComputeOutputBlocks(EngineBlockContext& ctx, OutputRange range, int32_t phase_mode) {
    const int N = ctx.N;
    const int bank = BankOf(phase_mode);
    for (int o = range.first; o <= range.last; ++o) {
        float* acc = ctx.OutputAccumulator[o - 1];
        const int port = RoutedPort(ctx, o);
        if (port == 0) {
            // An unfed output must not transform last block's time-domain data again.
            std::memset(acc, 0, static_cast<size_t>(4 * N) * sizeof(float));
            continue;
        }
        const float* s[kEnginePartitions];
        const float* h[kEnginePartitions];
        GatherSpectra(ctx, port, o, bank, s, h);
        // Input and filter are real, so bins N+1..2N-1 are the conjugates of bins N-1..1.
        MultiplyAccumulate(acc, s, h, N + 1);
        for (int k = 1; k < N; ++k) {
            acc[2 * (2 * N - k)] = acc[2 * k];
            acc[2 * (2 * N - k) + 1] = -acc[2 * k + 1];
        }
        ComplexFft(4 * N, kFftInverse, acc, ctx.fft.bit_reverse, ctx.fft.twiddle);
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
                GatherSpectra(ctx, r, o, bank, s, h);
                MultiplyAccumulateScalar(ctx.OutputAccumulator[o - 1], s, h, k, k + 1);
            }
        }
    }
    for (int o = range.first; o <= range.last; ++o) {
        if (RoutedPort(ctx, o) == 0) {
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
