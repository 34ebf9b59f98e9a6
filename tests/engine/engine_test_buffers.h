#pragma once
// Small engine buffers of one block size for the block-path tests, wired into an EngineBlockContext.
#include <cstring>
#include <vector>

#include "engine/block_path.h"
#include "engine/fft.h"

struct TestEngineBuffers {
    int N;
    std::vector<int32_t> bit_reverse = std::vector<int32_t>(kFftTableEntries, 0);
    std::vector<float> twiddle = std::vector<float>(kFftTableEntries, 0.0f);
    std::vector<std::vector<float>> input, history, bank, accumulator, tail;
    std::vector<std::vector<int32_t>> ring;
    std::vector<int32_t> output_block;
    std::vector<float> packed_bank;
    int32_t routing[kRoutingRows][kEngineOutputs] = {};
    int32_t cabs_enabled[kEngineOutputs] = {};
    int32_t cabs_delay[kEngineOutputs] = {};
    EngineBlockContext ctx;

    explicit TestEngineBuffers(int n) : N(n) {
        const size_t floats = 4 * static_cast<size_t>(n);
        input.assign(kEngineInputPorts, std::vector<float>(floats, 0.0f));
        history.assign(kEngineInputPorts * kEnginePartitions, std::vector<float>(floats, 0.0f));
        bank.assign(kEngineBanks * kEngineOutputs * kEnginePartitions, std::vector<float>(floats, 0.0f));
        accumulator.assign(kEngineOutputs, std::vector<float>(floats, 0.0f));
        tail.assign(kEngineOutputs, std::vector<float>(n, 0.0f));
        ring.assign(kEngineOutputs, std::vector<int32_t>(kDelayRingWords, 0));
        output_block.assign(16 * static_cast<size_t>(n), 0);
        packed_bank.assign(static_cast<size_t>(PackedBankFloats(n)), 0.0f);
        ctx.N = n;
        ctx.fft = {bit_reverse.data(), twiddle.data()};
        for (int r = 0; r < kEngineInputPorts; ++r) {
            ctx.InputBlock[r] = input[r].data();
            for (int s = 0; s < kEnginePartitions; ++s) ctx.InputSpectrumHistory[r][s] = history[r * kEnginePartitions + s].data();
        }
        for (int b = 0; b < kEngineBanks; ++b)
            for (int o = 0; o < kEngineOutputs; ++o)
                for (int p = 0; p < kEnginePartitions; ++p)
                    ctx.FilterPartitionBank[b][o][p] = bank[(b * kEngineOutputs + o) * kEnginePartitions + p].data();
        for (int o = 0; o < kEngineOutputs; ++o) {
            ctx.OutputAccumulator[o] = accumulator[o].data();
            ctx.OverlapTail[o] = tail[o].data();
            ctx.OutputDelayRing[o] = ring[o].data();
        }
        ctx.OutputBlock = output_block.data();
        ctx.PackedBank = packed_bank.data();
        ctx.PackedBankCapacity = static_cast<long>(packed_bank.size());
        ctx.RoutingMatrix = &routing[0][0];
        ctx.CabsEnabled = cabs_enabled;
        ctx.CabsDelaySamples = cabs_delay;
        PrepareFftTables(16 * n, ctx.fft.bit_reverse, ctx.fft.twiddle);
        ResetBlockPath(ctx);
    }

    // Partition spectra of an 8N-tap FIR, made the way the engine expects them: taps pN..pN+N-1 zero-padded
    // to 2N points and forward-transformed.
    void SetFilter(int bank_index, int output, const std::vector<double>& taps) {
        for (int p = 0; p < kEnginePartitions; ++p) {
            float* part = ctx.FilterPartitionBank[bank_index][output - 1][p];
            std::memset(part, 0, 4 * static_cast<size_t>(N) * sizeof(float));
            for (int j = 0; j < N; ++j) part[2 * j] = static_cast<float>(taps[p * N + j]);
            ComplexFft(4 * N, -1, part, ctx.fft.bit_reverse, ctx.fft.twiddle);
        }
        PackFilterBank(ctx, bank_index, output);
    }

    void SetInput(int port, const double* samples) {
        float* block = ctx.InputBlock[port - 1];
        for (int j = 0; j < N; ++j) {
            block[2 * j] = static_cast<float>(samples[j]);
            block[2 * j + 1] = 0.0f;
        }
    }
};
