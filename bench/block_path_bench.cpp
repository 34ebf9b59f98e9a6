// The engine's block path timed per block, side by side with zita-convolver (when installed) convolving the
// same 16 filters of 8N taps from 9 inputs with the same block size in uniform partitions; what the WAV
// player's render thread adds to a block at N = 512; the worst-case block time over a long run at N = 512;
// and the two-pass filter synthesis at N = 4096.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/block_path.h"
#include "engine/fft.h"
#include "engine/filter_synthesis.h"
#include "engine/input_conversion.h"
#include "engine/recording.h"
#include "panels/wav_block.h"
#include "panels/wav_render.h"
#include "tests/engine/engine_test_buffers.h"

#ifdef HV_BENCH_ZITA
#include <zita-convolver.h>
#endif

namespace {

// Every engine buffer of one block size, 9 inputs routed to 16 outputs, random 8N-tap filters in both banks.
struct BenchEngine : TestEngineBuffers {
    std::vector<uint8_t> device;
    std::vector<std::vector<float>> fir;  // the 16 filters, for the peer
    CaptureConversionSettings capture;
    float peaks[8];

    explicit BenchEngine(int n) : TestEngineBuffers(n) {
        for (int o = 0; o < kEngineOutputs; ++o) routing[o % kEngineInputPorts][o] = 1;
        ctx.OutputMode = 1;  // "16 Outputs"

        std::mt19937 rng(1);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        fir.assign(kEngineOutputs, std::vector<float>(8 * static_cast<size_t>(n)));
        for (int o = 0; o < kEngineOutputs; ++o) {
            for (float& t : fir[o]) t = u(rng) * 0.01f;
            for (int b = 0; b < kEngineBanks; ++b) {
                for (int p = 0; p < kEnginePartitions; ++p) {
                    float* part = ctx.FilterPartitionBank[b][o][p];
                    for (int j = 0; j < n; ++j) part[2 * j] = fir[o][p * n + j];
                    ComplexFft(4 * n, -1, part, ctx.fft.bit_reverse, ctx.fft.twiddle);
                }
            }
        }
        capture.InputMode = 1;  // twelve 32-bit channels
        device.resize(static_cast<size_t>(CaptureFrameBytes(capture)) * n);
        for (auto& b : device) b = static_cast<uint8_t>(rng());
    }

    void Block(const LiveBlockValues& live) {
        ConvertCaptureBlock(device.data(), N, capture, live.BbmGain, ctx.InputBlock, peaks);
        ProcessEngineBlock(ctx, live);
    }
};

// The whole block of the engine, single-threaded: conversion of twelve captured channels, nine input
// transforms, sixteen outputs of eight partitions, output stage into the 16-column block.
void BM_EngineBlock(benchmark::State& state) {
    BenchEngine e(static_cast<int>(state.range(0)));
    LiveBlockValues live;
    for (auto _ : state) {
        e.Block(live);
        benchmark::DoNotOptimize(e.output_block.data());
    }
    state.SetLabel(FftPathName(FftChosenPath()));
}
BENCHMARK(BM_EngineBlock)->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);

// The convolution stages alone (input transforms, spectral products, inverse transforms, output stage).
void BM_EngineConvolution(benchmark::State& state) {
    BenchEngine e(static_cast<int>(state.range(0)));
    LiveBlockValues live;
    for (auto _ : state) {
        ProcessEngineBlock(e.ctx, live);
        benchmark::DoNotOptimize(e.output_block.data());
    }
}
BENCHMARK(BM_EngineConvolution)->Arg(512)->Arg(1024)->Unit(benchmark::kMicrosecond);

// The engine's part of a stereo song's block in "8 Outputs": input FFT A, eight outputs, the output stage.
void BM_EngineConvolutionEightOutputs(benchmark::State& state) {
    BenchEngine e(static_cast<int>(state.range(0)));
    e.ctx.OutputMode = 0;
    LiveBlockValues live;
    for (auto _ : state) {
        ProcessEngineBlock(e.ctx, live);
        benchmark::DoNotOptimize(e.output_block.data());
    }
}
BENCHMARK(BM_EngineConvolutionEightOutputs)->Arg(512)->Unit(benchmark::kMicrosecond);

// What the WAV player's render thread adds to each block, beside the engine's work above: the next block of
// the song, its conversion into the nine ports with the bass sums, the output meters' scan and the copy into
// the device grant. Argument: the song's channels (2 or 6, 24-bit), at N = 512 in "16 Outputs".
void BM_WavProducerBlock(benchmark::State& state) {
    const int n = 512;
    BenchEngine e(n);
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
        ConvertWavBlock(bytes, n, format, 0.5f, e.ctx.InputBlock, input_peaks);
        MeterAndRecordOutputBlock(e.ctx.OutputBlock, n, 1, 0, nullptr, output_peaks);
        CopyBlockToGrant(grant.data(), static_cast<uint32_t>(n), e.ctx.OutputBlock, n, 16);
        benchmark::DoNotOptimize(grant.data());
        benchmark::DoNotOptimize(input_peaks);
        benchmark::DoNotOptimize(output_peaks);
    }
}
BENCHMARK(BM_WavProducerBlock)->Arg(2)->Arg(6)->Unit(benchmark::kMicrosecond);

#ifdef HV_BENCH_ZITA
// zita-convolver with the same routing and filters: one uniform partition level of N, processed in the
// calling thread (quantum = partition size).
void BM_ZitaConvolver(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    BenchEngine e(n);
    Convproc conv;
    conv.set_options(Convproc::OPT_VECTOR_MODE | Convproc::OPT_FFTW_MEASURE);
    if (conv.configure(kEngineInputPorts, kEngineOutputs, 8 * n, n, n, n, 16.0f / (kEngineInputPorts * kEngineOutputs))) {
        state.SkipWithError("zita-convolver: configure failed");
        return;
    }
    for (int o = 0; o < kEngineOutputs; ++o) conv.impdata_create(o % kEngineInputPorts, o, 1, e.fir[o].data(), 0, 8 * n);
    if (conv.start_process(0, 0)) {
        state.SkipWithError("zita-convolver: start_process failed");
        return;
    }
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> signal(static_cast<size_t>(n));
    for (float& v : signal) v = u(rng);
    for (auto _ : state) {
        for (int i = 0; i < kEngineInputPorts; ++i) std::memcpy(conv.inpdata(i), signal.data(), sizeof(float) * n);
        conv.process(true);
        benchmark::DoNotOptimize(conv.outdata(0));
    }
    conv.stop_process();
    conv.cleanup();
}
BENCHMARK(BM_ZitaConvolver)->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
#endif

// Block times over a long run at N = 512: median and 99.9th percentile of the single-threaded block.
void BM_EngineBlockWorstCase(benchmark::State& state) {
    BenchEngine e(512);
    LiveBlockValues live;
    const int blocks = static_cast<int>(state.range(0));
    std::vector<double> times(blocks);
    for (auto _ : state) {
        for (int b = 0; b < blocks; ++b) {
            const auto start = std::chrono::steady_clock::now();
            e.Block(live);
            const auto end = std::chrono::steady_clock::now();
            times[b] = std::chrono::duration<double, std::micro>(end - start).count();
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times[blocks / 2];
    state.counters["p999_us"] = times[static_cast<size_t>(blocks * 0.999)];
    state.counters["max_us"] = times.back();
    state.counters["period_us"] = 512.0 / 48000.0 * 1e6;
}
BENCHMARK(BM_EngineBlockWorstCase)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The two synthesis passes before Play at N = 4096: "SPL Only EQ" into both banks, then bank 0 again.
void BM_BuildOutputFiltersTwice(benchmark::State& state) {
    const int n = 4096;
    BenchEngine e(n);
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
    std::memcpy(buf.FilterPartitionBank, e.ctx.FilterPartitionBank, sizeof buf.FilterPartitionBank);
    buf.fft = e.ctx.fft;
    in.SplOnlyEq = 0;
    for (auto _ : state) {
        BuildFilterBanksForPlay(in, settings, windows, buf);
        benchmark::DoNotOptimize(buf.FilterPartitionBank[0][0][0]);
    }
}
BENCHMARK(BM_BuildOutputFiltersTwice)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
