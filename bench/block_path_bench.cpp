// The engine's block path timed per block against zita-convolver (when installed) doing the same
// convolutions: 9 inputs available, 1, 2, 4, 8 or 16 outputs, 8N-tap filters with every partition non-zero,
// uniform partitions of N, everything in the calling thread. The engine runs twice: on small buffers of its
// own (as the tests build them) and on the program's own global buffers (AllocateDspBuffers, wired by
// WireProgramEngine), so that a layout the allocator makes slow shows. A table at the end gives the engine's
// time over zita's per block size and output count. Then: the block times of a 100,000-block run with the
// allocations counted, an estimate of what the arithmetic and the memory traffic of one block need on this
// machine, what the WAV player's render thread adds to a block at N = 512, and the two-pass filter synthesis
// at N = 4096.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "app/global_records.h"
#include "app/settings.h"
#include "bench/bench_report.h"
#include "engine/block_path.h"
#include "engine/output_stage.h"
#include "engine/engine_globals.h"
#include "engine/fft.h"
#include "engine/filter_synthesis.h"
#include "engine/input_conversion.h"
#include "engine/recording.h"
#include "panels/wav_block.h"
#include "panels/wav_render.h"
#include "platform/in_memory_audio.h"
#include "tests/engine/engine_test_buffers.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#ifdef HV_BENCH_ZITA
#include <zita-convolver.h>
#endif

// Every allocation of the program counted, so that the long run can show that the block path makes none.
namespace {
std::atomic<long> g_allocations{0};
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

constexpr int kSizes[] = {512, 1024, 2048, 4096};
constexpr int kOutputCounts[] = {1, 2, 4, 8, 16};

// The designs benchmarked: up to 8 outputs in "8 Outputs" from the first worker's ports (as in the stereo
// and 2.2 designs), 16 outputs in "16 Outputs" from all nine ports in turn.
uint32_t OutputModeFor(int outputs) { return outputs <= 8 ? 0 : 1; }
int PortOfOutput(int outputs, int o) {
    return outputs <= 8 ? kInputFftPortsA[(o - 1) % 5] : (o - 1) % kEngineInputPorts + 1;
}

std::vector<std::vector<float>> RandomFirs(int n, int outputs) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<std::vector<float>> fir(outputs, std::vector<float>(8 * static_cast<size_t>(n)));
    for (auto& f : fir)
        for (float& t : f) t = u(rng) * 0.01f;
    return fir;
}

// The program's own engine context for block size n, on the global records.
EngineBlockContext& ProgramContext(int n) {
    static const bool allocated = AllocateDspBuffers() == 0;
    static InMemoryAudioSystem streams;
    if (!allocated) std::abort();
    HV_Buffer_Size = n == 512 ? 0 : n == 1024 ? 1 : n == 2048 ? 2 : 3;
    if (WireProgramEngine(streams) != 0) std::abort();
    return *ProgramEngine().Context;
}

enum class Layout { kTestBuffers, kProgram };

// One engine of block size n with `outputs` routed outputs and random filters in both banks, fed by twelve
// captured 32-bit channels.
struct BenchEngine {
    int N;
    int outputs;
    std::unique_ptr<TestEngineBuffers> own;
    EngineBlockContext* ctx = nullptr;
    int32_t routing[kRoutingRows][kEngineOutputs] = {};
    std::vector<std::vector<float>> fir;
    std::vector<uint8_t> device;
    CaptureConversionSettings capture;
    float peaks[kInputPeakCount];

    BenchEngine(int n, int output_count, Layout layout) : N(n), outputs(output_count), fir(RandomFirs(n, output_count)) {
        if (layout == Layout::kTestBuffers) {
            own = std::make_unique<TestEngineBuffers>(n);
            ctx = &own->ctx;
        } else {
            ctx = &ProgramContext(n);
        }
        ctx->N = n;
        for (int o = 1; o <= outputs; ++o) routing[PortOfOutput(outputs, o) - 1][o - 1] = 1;
        ctx->RoutingMatrix = &routing[0][0];
        ctx->OutputMode = OutputModeFor(outputs);
        ctx->BassMode = 0;
        PrepareFftTables(16 * n, ctx->fft.bit_reverse, ctx->fft.twiddle);
        for (int b = 0; b < kEngineBanks; ++b) {
            for (int o = 0; o < kEngineOutputs; ++o) {
                for (int p = 0; p < kEnginePartitions; ++p) {
                    float* part = ctx->FilterPartitionBank[b][o][p];
                    std::memset(part, 0, 4 * static_cast<size_t>(n) * sizeof(float));
                    if (o >= outputs) continue;
                    for (int j = 0; j < n; ++j) part[2 * j] = fir[o][p * n + j];
                    ComplexFft(4 * n, -1, part, ctx->fft.bit_reverse, ctx->fft.twiddle);
                }
            }
        }
        ResetBlockPath(*ctx);  // as the engine start does, after synthesis
        capture.InputMode = 1;  // twelve 32-bit channels
        device.resize(static_cast<size_t>(CaptureFrameBytes(capture)) * n);
        std::mt19937 rng(7);
        for (auto& b : device) b = static_cast<uint8_t>(rng());
    }

    void Block(const LiveBlockValues& live) {
        ConvertCaptureBlock(device.data(), N, capture, live.BbmGain, ctx->InputBlock, peaks, PortsInUse(*ctx));
        ProcessEngineBlock(*ctx, live);
    }
};

// The transform's instruction path and the block kernels', e.g. "fft avx2, block avx512 path, cpu avx512f".
std::string EngineLabel() {
    const char* block = BlockPathHasAvx512() ? "avx512" : BlockPathHasAvx2() ? "avx2" : BlockPathHasAvx() ? "avx" : "sse2";
    return PathLabel(std::string("fft ") + FftPathName(FftChosenPath()) + ", block " + block);
}

// The whole block of the engine, single-threaded: conversion of twelve captured channels into the ports
// the outputs read (as the capture thread does it) with the peaks of all, the input transforms, the
// outputs' products and inverse transforms, the output stage.
void TimeEngineBlock(benchmark::State& state, Layout layout) {
    BenchEngine e(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), layout);
    LiveBlockValues live;
    for (auto _ : state) {
        e.Block(live);
        benchmark::DoNotOptimize(e.ctx->OutputBlock);
        benchmark::ClobberMemory();
    }
    state.SetLabel(EngineLabel());
}
void BM_EngineBlock(benchmark::State& state) { TimeEngineBlock(state, Layout::kTestBuffers); }
void BM_EngineBlockProgram(benchmark::State& state) { TimeEngineBlock(state, Layout::kProgram); }
// The same with the block kernels held to AVX2 (the transform keeps its own path): what the 512-bit
// kernels give, in the same run.
void BM_EngineBlockProgramAvx2Kernels(benchmark::State& state) {
    LimitBlockPathKernels(BlockKernels::kAvx2);
    TimeEngineBlock(state, Layout::kProgram);
    LimitBlockPathKernels(BlockKernels::kWidest);
}

// The output stage alone (overlap-add, gains, saturation, interleave) of both workers, on the accumulators a
// block left, with the block kernels the processor has and held to AVX2.
void TimeOutputStage(benchmark::State& state, BlockKernels kernels) {
    BenchEngine e(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), Layout::kProgram);
    LiveBlockValues live;
    e.Block(live);
    LimitBlockPathKernels(kernels);
    for (auto _ : state) {
        RunOutputStage(*e.ctx, ConvolutionRange(e.ctx->OutputMode, ConvolutionWorker::kLow), live);
        if (e.ctx->OutputMode == 1) RunOutputStage(*e.ctx, ConvolutionRange(1, ConvolutionWorker::kHigh), live);
        benchmark::DoNotOptimize(e.ctx->OutputBlock);
        benchmark::ClobberMemory();
    }
    LimitBlockPathKernels(BlockKernels::kWidest);
    state.SetLabel(EngineLabel());
}
void BM_OutputStage(benchmark::State& state) { TimeOutputStage(state, BlockKernels::kWidest); }
void BM_OutputStageAvx2Kernels(benchmark::State& state) { TimeOutputStage(state, BlockKernels::kAvx2); }
BENCHMARK(BM_OutputStage)->Args({512, 16})->Args({4096, 16})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OutputStageAvx2Kernels)->Args({512, 16})->Args({4096, 16})->Unit(benchmark::kMicrosecond);

// The block on the program's buffers without the capture conversion (the ports already filled), the part
// that corresponds to what zita-convolver does with float inputs.
void BM_EngineConvolutionProgram(benchmark::State& state) {
    BenchEngine e(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), Layout::kProgram);
    LiveBlockValues live;
    for (auto _ : state) {
        ProcessEngineBlock(*e.ctx, live);
        benchmark::DoNotOptimize(e.ctx->OutputBlock);
        benchmark::ClobberMemory();
    }
    state.SetLabel(EngineLabel());
}


#ifdef HV_BENCH_ZITA
// zita-convolver with the same routes and filters: one uniform partition level of N, processed in the
// calling thread (quantum = partition size). It is given only the inputs the routes use.
void BM_ZitaConvolver(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int outputs = static_cast<int>(state.range(1));
    const auto fir = RandomFirs(n, outputs);
    int input_of_port[kEngineInputPorts + 1];
    std::fill(std::begin(input_of_port), std::end(input_of_port), -1);
    int inputs = 0;
    for (int o = 1; o <= outputs; ++o) {
        const int port = PortOfOutput(outputs, o);
        if (input_of_port[port] < 0) input_of_port[port] = inputs++;
    }
    Convproc conv;
    conv.set_options(Convproc::OPT_VECTOR_MODE | Convproc::OPT_FFTW_MEASURE);
    if (conv.configure(inputs, outputs, 8 * n, n, n, n, 1.0f / inputs)) {
        state.SkipWithError("zita-convolver: configure failed");
        return;
    }
    for (int o = 1; o <= outputs; ++o)
        conv.impdata_create(input_of_port[PortOfOutput(outputs, o)], o - 1, 1, const_cast<float*>(fir[o - 1].data()), 0,
                            8 * n);
    if (conv.start_process(0, 0)) {
        state.SkipWithError("zita-convolver: start_process failed");
        return;
    }
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> signal(static_cast<size_t>(n));
    for (float& v : signal) v = u(rng);
    for (auto _ : state) {
        for (int i = 0; i < inputs; ++i) std::memcpy(conv.inpdata(i), signal.data(), sizeof(float) * n);
        conv.process(true);
        benchmark::DoNotOptimize(conv.outdata(0));
        benchmark::ClobberMemory();
    }
    conv.stop_process();
    conv.cleanup();
    state.SetLabel(PathLabel("fftw"));
}
#endif

// Per block size and output count the engine on both layouts and zita-convolver one after the other, so
// that the load of a shared machine falls on all three alike.
void RegisterSideBySide() {
    for (int n : kSizes) {
        for (int k : kOutputCounts) {
            benchmark::RegisterBenchmark("BM_EngineBlock", BM_EngineBlock)->Args({n, k})->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark("BM_EngineBlockProgram", BM_EngineBlockProgram)->Args({n, k})->Unit(benchmark::kMicrosecond);
            if (BlockPathHasAvx512())
                benchmark::RegisterBenchmark("BM_EngineBlockProgramAvx2Kernels", BM_EngineBlockProgramAvx2Kernels)
                    ->Args({n, k})
                    ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark("BM_EngineConvolutionProgram", BM_EngineConvolutionProgram)
                ->Args({n, k})
                ->Unit(benchmark::kMicrosecond);
#ifdef HV_BENCH_ZITA
            benchmark::RegisterBenchmark("BM_ZitaConvolver", BM_ZitaConvolver)
                ->Args({n, k})
                ->Unit(benchmark::kMicrosecond)
                ->MeasureProcessCPUTime();
#endif
        }
    }
}

// What the WAV player's render thread adds to each block, beside the engine's work above: the next block of
// the song, its conversion into the nine ports with the bass sums, the output meters' scan and the copy into
// the device grant. Argument: the song's channels (2 or 6, 24-bit), at N = 512 in "16 Outputs".
void BM_WavProducerBlock(benchmark::State& state) {
    const int n = 512;
    BenchEngine e(n, 16, Layout::kTestBuffers);
    WavSong song;
    song.Channels = static_cast<uint32_t>(state.range(0));
    song.BitsPerSample = 24;
    const WavBlockFormat format = WavBlockFormatOf(song, 1, 4);
    const uint64_t blocks = 64;
    song.Size = blocks * n * format.FrameBytes();
    song.Data.reset(new uint8_t[song.Size + 2]);
    std::mt19937 rng(5);
    for (uint64_t i = 0; i < song.Size; ++i) song.Data[i] = static_cast<uint8_t>(rng());
    std::vector<uint8_t> staging(kWavStagingBytes), grant(static_cast<size_t>(16) * n * 4);
    float input_peaks[kInputPeakCount], output_peaks[kOutputPeakCount];
    uint64_t position = 0;
    for (auto _ : state) {
        if (position >= song.Size) position = 0;
        const uint8_t* bytes = TakeWavBlock(song, &position, n, format.FrameBytes(), staging.data());
        ConvertWavBlock(bytes, n, format, 0.5f, e.ctx->InputBlock, input_peaks);
        MeterAndRecordOutputBlock(e.ctx->OutputBlock, n, 1, 0, nullptr, output_peaks);
        CopyBlockToGrant(grant.data(), static_cast<uint32_t>(n), e.ctx->OutputBlock, n, 16);
        benchmark::DoNotOptimize(grant.data());
        benchmark::DoNotOptimize(input_peaks);
        benchmark::DoNotOptimize(output_peaks);
    }
    state.SetLabel(EngineLabel());
}
BENCHMARK(BM_WavProducerBlock)->Arg(2)->Arg(6)->Unit(benchmark::kMicrosecond);

// Block times over a 100,000-block run at N = 512 with 16 outputs on the program's buffers: median,
// 99.9th percentile and maximum, the period at 48 kHz, and the allocations made during the run.
void BM_EngineBlockLongRun(benchmark::State& state) {
    BenchEngine e(512, 16, Layout::kProgram);
    LiveBlockValues live;
    const int blocks = static_cast<int>(state.range(0));
    std::vector<double> times(blocks);
    long allocations = 0;
    for (auto _ : state) {
        const long before = g_allocations.load();
        for (int b = 0; b < blocks; ++b) {
            const auto start = std::chrono::steady_clock::now();
            e.Block(live);
            const auto end = std::chrono::steady_clock::now();
            times[b] = std::chrono::duration<double, std::micro>(end - start).count();
        }
        allocations = g_allocations.load() - before;
    }
    std::sort(times.begin(), times.end());
    const double period_us = 512.0 / 48000.0 * 1e6;
    state.counters["median_us"] = times[blocks / 2];
    state.counters["p999_us"] = times[static_cast<size_t>(blocks * 0.999)];
    state.counters["max_us"] = times.back();
    state.counters["period_us"] = period_us;
    state.counters["p999_of_period_pct"] = 100.0 * times[static_cast<size_t>(blocks * 0.999)] / period_us;
    state.counters["allocations"] = static_cast<double>(allocations);
    state.SetLabel(EngineLabel());
}
BENCHMARK(BM_EngineBlockLongRun)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// --- What one block needs: arithmetic at the machine's measured peak plus memory traffic at its measured
// bandwidth, each counted at its minimum for the block's work. ---

#if defined(__GNUC__) && defined(__x86_64__)
// Floating-point operations a nanosecond with vectors of type Vec (Lanes floats), multiplies and adds as
// separate instructions (the build never fuses them): twelve independent multiply chains and twelve add chains.
template <typename Vec, int Lanes>
__attribute__((always_inline)) inline double PeakFlopsPerNsOf() {
    double best = 0.0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        Vec m[12], a[12];
        for (int i = 0; i < 12; ++i) {
            m[i] = Vec{} + (1.0f + i * 1e-3f);
            a[i] = Vec{} + static_cast<float>(i);
        }
        const Vec f = Vec{} + 0.9999999f, c = Vec{} + 1e-7f;
        const int rounds = 20000;
        const auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < rounds; ++r) {
#pragma GCC unroll 12
            for (int i = 0; i < 12; ++i) {
                m[i] = m[i] * f;
                a[i] = a[i] + c;
            }
        }
        const auto end = std::chrono::steady_clock::now();
        float sink = 0.0f;
        for (int i = 0; i < 12; ++i) sink += m[i][0] + a[i][0];
        benchmark::DoNotOptimize(sink);
        const double ns = std::chrono::duration<double, std::nano>(end - start).count();
        best = std::max(best, rounds * 24.0 * Lanes / ns);
    }
    return best;
}

// Bytes a nanosecond read with loads of type Vec from a buffer of `bytes` (warm in the caches it fits).
template <typename Vec, int Lanes>
__attribute__((always_inline)) inline double ReadBytesPerNsOf(size_t bytes) {
    std::vector<float> buffer(bytes / sizeof(float), 1.0f);
    double best = 0.0;
    for (int attempt = 0; attempt < 50; ++attempt) {
        // Eight independent sums: the adds keep up with two loads a cycle, so the loads set the pace.
        Vec s[8];
        for (auto& v : s) v = Vec{};
        const auto start = std::chrono::steady_clock::now();
        for (size_t i = 0; i + 8 * Lanes <= buffer.size(); i += 8 * Lanes) {
#pragma GCC unroll 8
            for (int c = 0; c < 8; ++c) {
                Vec v;
                std::memcpy(&v, &buffer[i + Lanes * c], sizeof v);
                s[c] = s[c] + v;
            }
        }
        const auto end = std::chrono::steady_clock::now();
        for (int c = 1; c < 8; ++c) s[0] = s[0] + s[c];
        benchmark::DoNotOptimize(s[0][0]);
        best = std::max(best, bytes / std::chrono::duration<double, std::nano>(end - start).count());
    }
    return best;
}

typedef float Float8 __attribute__((vector_size(32)));
typedef float Float16 __attribute__((vector_size(64)));
__attribute__((target("avx"), noinline)) double PeakFlopsPerNs256() { return PeakFlopsPerNsOf<Float8, 8>(); }
__attribute__((target("avx"), noinline)) double ReadBytesPerNs256(size_t bytes) { return ReadBytesPerNsOf<Float8, 8>(bytes); }
__attribute__((target("avx512f"), noinline)) double PeakFlopsPerNs512() { return PeakFlopsPerNsOf<Float16, 16>(); }
__attribute__((target("avx512f"), noinline)) double ReadBytesPerNs512(size_t bytes) { return ReadBytesPerNsOf<Float16, 16>(bytes); }

// The machine's peaks with the widest vectors the block kernels use.
double PeakFlopsPerNs() { return BlockPathHasAvx512() ? std::max(PeakFlopsPerNs256(), PeakFlopsPerNs512()) : PeakFlopsPerNs256(); }
double ReadBytesPerNs(size_t bytes) {
    return BlockPathHasAvx512() ? std::max(ReadBytesPerNs256(bytes), ReadBytesPerNs512(bytes)) : ReadBytesPerNs256(bytes);
}
#endif

struct BlockNeeds {
    double flops = 0.0;  // in single-precision lane operations
    double bytes = 0.0;  // moved to or from the level-2 cache
};

// The least work one block of N frames does with P transformed ports and K outputs: transforms of 2N points
// at 4 n log2 n operations (the split-radix count), the eight complex products of each output at points
// 0..N (8 operations each), the pair splits and joins, the output stage in double precision (two float lanes
// a double), and the capture conversion; every filter, block and word read or written once, and each
// port's eight history spectra read `history_reads` times (once per port at the least; once per output when
// outputs of one port are served by different workers, as the two convolution workers are).
BlockNeeds EstimateBlock(int N, int ports, int outputs, int history_reads) {
    const double points = 2.0 * N, half = N + 1.0;
    const double transform = 4.0 * points * std::log2(points);
    BlockNeeds need;
    need.flops += std::ceil(ports / 2.0) * transform + ports * half * 3.0;  // forward pairs and splits
    need.flops += outputs * kEnginePartitions * half * 8.0;                 // products
    need.flops += std::ceil(outputs / 2.0) * transform + outputs * half * 2.0;  // joins and inverse pairs
    need.flops += outputs * N * 5.0 * 2.0;                                  // output stage
    need.flops += 12.0 * N;                                                 // conversion
    need.bytes += 12.0 * N * 4 + ports * points * 8;                        // capture, the port blocks in use
    need.bytes += history_reads * half * 8 * kEnginePartitions + ports * half * 8;  // histories read, written
    need.bytes += outputs * half * 8 * kEnginePartitions;                   // partition spectra
    need.bytes += outputs * (points * 8 + N * 4 * 2 + N * 4);               // accumulators, tails, words
    return need;
}

void BM_BlockBound(benchmark::State& state) {
#if defined(__GNUC__) && defined(__x86_64__)
    const int N = static_cast<int>(state.range(0));
    const int outputs = static_cast<int>(state.range(1));
    uint32_t used = 0;
    for (int o = 1; o <= outputs; ++o) used |= 1u << (PortOfOutput(outputs, o) - 1);
    const int ports = __builtin_popcount(used);
    const BlockNeeds need = EstimateBlock(N, ports, outputs, ports);
    const BlockNeeds per_output = EstimateBlock(N, ports, outputs, outputs);
    double flops_per_ns = 0.0, bytes_per_ns = 0.0;
    for (auto _ : state) {
        flops_per_ns = PeakFlopsPerNs();
        bytes_per_ns = ReadBytesPerNs(static_cast<size_t>(need.bytes));
    }
    const double arithmetic_us = need.flops / flops_per_ns / 1000.0;
    const double memory_us = need.bytes / bytes_per_ns / 1000.0;
    state.counters["flop_per_ns"] = flops_per_ns;
    state.counters["GB_per_s"] = bytes_per_ns;
    state.counters["arith_us"] = arithmetic_us;
    state.counters["memory_us"] = memory_us;
    state.counters["bound_us"] = arithmetic_us + memory_us;
    state.counters["bound_per_output_history_us"] = arithmetic_us + per_output.bytes / bytes_per_ns / 1000.0;
    state.SetLabel(PathLabel(BlockPathHasAvx512() ? "avx512" : "avx"));
#else
    state.SkipWithError("no estimate on this processor");
#endif
}
BENCHMARK(BM_BlockBound)->Args({512, 16})->Iterations(1)->Unit(benchmark::kMillisecond);

// The two synthesis passes before Play at N = 4096: "SPL Only EQ" into both banks, then bank 0 again.
void BM_BuildOutputFiltersTwice(benchmark::State& state) {
    const int n = 4096;
    BenchEngine e(n, 16, Layout::kTestBuffers);
    std::vector<std::vector<float>> spectrum(kEngineOutputs, std::vector<float>(2 * (4 * n + 1)));
    std::vector<std::vector<float>> reference(kEngineOutputs, std::vector<float>(2 * (4 * n + 1)));
    // Window and tapers as long as the program's arrays.
    std::vector<std::vector<float>> taper(kEngineOutputs, std::vector<float>(262144, 1.0f));
    std::vector<float> window(1072000, 0.0f), work(2 * 16 * n), rotated(2 * 8 * n);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    int32_t polarity[kEngineOutputs];
    float delay[kEngineOutputs];
    FilterSynthesisInputs in;
    FilterSynthesisBuffers buf;
    in.N = n;
    for (int o = 0; o < kEngineOutputs; ++o) {
        for (float& v : spectrum[o]) v = u(rng);
        for (float& v : reference[o]) v = u(rng);
        polarity[o] = o % 2 ? -1 : 1;
        delay[o] = 0.1f * o;
        in.OutputSpectrum[o] = spectrum[o].data();
        in.PhaseReferenceSpectrum[o] = reference[o].data();
        buf.OutputTaper[o] = taper[o].data();
    }
    in.OutputPolarity = polarity;
    in.OutputDelayMs = delay;
    FilterWindowBuffers windows;
    windows.IrWindow = window.data();
    windows.IrWindowFloats = static_cast<long>(window.size());
    for (int o = 0; o < kEngineOutputs; ++o) windows.OutputTaper[o] = taper[o].data();
    windows.OutputTaperFloats = static_cast<long>(taper[0].size());
    FilterWindowSettings settings;
    for (int o = 0; o < kEngineOutputs; ++o) {
        settings.TaperLength[o] = 256;
        settings.TaperWindowType[o] = 6;
    }
    buf.SynthesisWork = work.data();
    buf.SynthesisRotated = rotated.data();
    std::memcpy(buf.FilterPartitionBank, e.ctx->FilterPartitionBank, sizeof buf.FilterPartitionBank);
    buf.fft = e.ctx->fft;
    in.SplOnlyEq = 0;
    for (auto _ : state) {
        BuildFilterBanksForPlay(in, settings, windows, buf);
        benchmark::DoNotOptimize(buf.FilterPartitionBank[0][0][0]);
    }
    state.SetLabel(EngineLabel());
}
BENCHMARK(BM_BuildOutputFiltersTwice)->Unit(benchmark::kMillisecond);

// The engine's time over zita-convolver's per block size and output count, on both layouts.
class BlockTableReporter : public TableReporter {
public:
    void Tables() override {
        std::printf("\nEngine block against zita-convolver, processor time a block in us (%s)\n", EngineLabel().c_str());
        std::printf("engine: test buffers; program: the program's global buffers; no capture: program without the\n"
                    "conversion of the captured channels; zita: zita-convolver, same routes and filters; avx2 kernels:\n"
                    "program with the block kernels held to AVX2 (-1: the processor has no wider ones)\n");
        std::printf("%-6s %-8s %10s %10s %11s %12s %10s %10s %10s %11s\n", "N", "outputs", "engine", "program", "no capture",
                    "avx2 kernels", "zita", "eng/zita", "prog/zita", "nocap/zita");
        for (int n : kSizes) {
            for (int k : kOutputCounts) {
                char args[32];
                std::snprintf(args, sizeof args, "/%d/%d", n, k);
                const double ours = Nanoseconds(std::string("BM_EngineBlock") + args);
                const double program = Nanoseconds(std::string("BM_EngineBlockProgram") + args);
                const double convolution = Nanoseconds(std::string("BM_EngineConvolutionProgram") + args);
                const double avx2_kernels = Nanoseconds(std::string("BM_EngineBlockProgramAvx2Kernels") + args);
                const double zita = Nanoseconds(std::string("BM_ZitaConvolver") + args + "/process_time");
                if (ours < 0 && program < 0) continue;
                auto us = [](double ns) { return ns < 0 ? -1.0 : ns / 1000.0; };
                auto ratio = [&](double a) { return a > 0 && zita > 0 ? a / zita : 0.0; };
                std::printf("%-6d %-8d %10.1f %10.1f %11.1f %12.1f %10.1f %10.2f %10.2f %11.2f\n", n, k, us(ours), us(program),
                            us(convolution), us(avx2_kernels), us(zita), ratio(ours), ratio(program), ratio(convolution));
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    RegisterSideBySide();
    benchmark::Initialize(&argc, argv);
    BlockTableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
