// The block path against a direct time-domain convolution in double precision with the same FIR taps:
// partitioned convolution, overlap-add, gains, truncation, CABS delays and bass-management output sums.
#include "engine/block_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <random>
#include <vector>

#include "engine/output_stage.h"
#include "engine_test_buffers.h"

namespace {

struct Scenario {
    int N;
    uint32_t output_mode;
    int32_t phase_mode;
    bool bbm_output;
    bool dense;  // every tap random; otherwise a few dozen random taps spread over all partitions
    unsigned seed;
};

std::vector<double> RandomFir(int N, bool dense, std::mt19937& rng) {
    std::vector<double> taps(8 * static_cast<size_t>(N), 0.0);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    if (dense) {
        const double scale = 2.0 / std::sqrt(8.0 * N);
        for (double& t : taps) t = static_cast<float>(value(rng) * scale);
    } else {
        std::uniform_int_distribution<int> in_partition(0, N - 1);
        for (int p = 0; p < kEnginePartitions; ++p) {
            for (int i = 0; i < 5; ++i) taps[p * N + in_partition(rng)] = static_cast<float>(value(rng) * 0.4);
        }
        taps[0] = static_cast<float>(value(rng) * 0.4);
        taps[8 * N - 1] = static_cast<float>(value(rng) * 0.4);
    }
    return taps;
}

struct Tap {
    long index;
    double value;
};
std::vector<Tap> NonZeroTaps(const std::vector<double>& taps) {
    std::vector<Tap> v;
    for (long m = 0; m < static_cast<long>(taps.size()); ++m)
        if (taps[m] != 0.0) v.push_back({m, taps[m]});
    return v;
}

// Output n of the FIR over the whole signal x (zeros before the start), in double precision.
double DirectConvolution(const std::vector<Tap>& taps, const std::vector<double>& x, long n) {
    double sum = 0.0;
    for (const Tap& t : taps) {
        if (t.index > n) break;
        sum += t.value * x[n - t.index];
    }
    return sum;
}

bool PortTransformed(uint32_t output_mode, int port) {
    if (output_mode != 0) return true;
    for (int p : kInputFftPortsA)
        if (p == port) return true;
    return false;
}

void RunScenario(const Scenario& sc) {
    const int N = sc.N;
    const int blocks = 11;  // more than eight: the history fills and wraps
    std::mt19937 rng(sc.seed);
    TestEngineBuffers e(N);
    e.ctx.OutputMode = sc.output_mode;

    // Filters in both banks; the run uses the bank of its phase mode.
    std::vector<Tap> fir[kEngineBanks][kEngineOutputs];
    for (int b = 0; b < kEngineBanks; ++b)
        for (int o = 1; o <= kEngineOutputs; ++o) {
            const std::vector<double> taps = RandomFir(N, sc.dense, rng);
            e.SetFilter(b, o, taps);
            fir[b][o - 1] = NonZeroTaps(taps);
        }
    const int bank = sc.phase_mode == 0 ? 0 : 1;

    // Routing: outputs 5 and 13 unfed, the rest from ports spread over 1..9.
    int port_of[kEngineOutputs + 1] = {};
    for (int o = 1; o <= kEngineOutputs; ++o) {
        if (o == 5 || o == 13) continue;
        port_of[o] = (o * 5 + static_cast<int>(sc.seed)) % 9 + 1;
        e.routing[port_of[o] - 1][o - 1] = 1;
    }
    e.routing[2][12] = 7;  // not 1: does not route

    // CABS delays: exact zero, the ring's longest, beyond it (held to 4N), disabled with a length.
    const int32_t delays[kEngineOutputs] = {0, 3, 4 * N, 5 * N + 7, 17, 0, N, 2 * N + 1, 0, 1, 4 * N, 9, 0, 0, 3 * N, 5};
    const int32_t enabled[kEngineOutputs] = {1, 1, 1, 1, 1, 0, 1, 1, 0, 1, 1, 0, 1, 1, 1, 1};
    for (int o = 0; o < kEngineOutputs; ++o) {
        e.cabs_delay[o] = delays[o];
        e.cabs_enabled[o] = enabled[o];
    }

    LiveBlockValues live;
    live.MasterGain = 0.8f;
    std::uniform_real_distribution<float> trim(0.5f, 1.2f);
    for (float& t : live.ChannelTrims) t = trim(rng);
    live.BbmGain = 0.7f;
    live.PhaseMode = sc.phase_mode;
    if (sc.bbm_output) {
        e.ctx.BassMode = 3;
        e.ctx.SubChannels[0] = 5;  // unfed: carries only its source
        e.ctx.BbmSourceChannels[0] = 1;
        e.ctx.SubChannels[1] = 12;
        e.ctx.BbmSourceChannels[1] = 11;
    }

    const int words = OutputFrameWords(sc.output_mode);
    const OutputRange low = ConvolutionRange(sc.output_mode, ConvolutionWorker::kLow);
    const OutputRange high = sc.output_mode == 1 ? ConvolutionRange(1, ConvolutionWorker::kHigh) : OutputRange{};
    auto served = [&](int o) { return low.Contains(o) || high.Contains(o); };
    auto same_worker = [&](int a, int b) { return (low.Contains(a) && low.Contains(b)) || (high.Contains(a) && high.Contains(b)); };

    std::vector<double> x[kEngineInputPorts];  // what each port's history has seen
    std::uniform_real_distribution<double> sample(-1.0e5, 1.0e5);
    long checked = 0;
    int worst = 0;
    for (int t = 0; t < blocks; ++t) {
        for (int port = 1; port <= kEngineInputPorts; ++port) {
            std::vector<double> block(N);
            for (double& v : block) v = static_cast<float>(sample(rng));
            e.SetInput(port, block.data());
            for (int j = 0; j < N; ++j) x[port - 1].push_back(PortTransformed(sc.output_mode, port) ? block[j] : 0.0);
        }
        ProcessEngineBlock(e.ctx, live);

        for (int o = 1; o <= kEngineOutputs; ++o) {
            if (!served(o)) continue;
            const int d = CabsDelayInUse(enabled[o - 1], delays[o - 1], N);
            ASSERT_LE(d, 4 * N);
            for (int j = 0; j < N; ++j) {
                const long n = static_cast<long>(t) * N + j - d;  // sample of the signal leaving now
                double y = 0.0;
                if (n >= 0) {
                    if (port_of[o]) y = DirectConvolution(fir[bank][o - 1], x[port_of[o] - 1], n);
                    for (int pair = 0; pair < 2 && sc.bbm_output; ++pair) {
                        const int src = e.ctx.BbmSourceChannels[pair];
                        if (e.ctx.SubChannels[pair] != o || !same_worker(src, o) || !port_of[src]) continue;
                        y += 2.0 * live.BbmGain * DirectConvolution(fir[bank][src - 1], x[port_of[src] - 1], n);
                    }
                }
                const double v = y * live.MasterGain * live.ChannelTrims[o - 1];
                const double expected = std::trunc(std::max(-8388607.0, std::min(8388607.0, v)));
                const int32_t word = e.output_block[static_cast<size_t>(j) * words + (o - 1)];
                ASSERT_EQ(word % 256, 0);
                const int diff = static_cast<int>(std::fabs(word / 256 - expected));
                worst = std::max(worst, diff);
                ASSERT_LE(diff, 1) << "block " << t << " output " << o << " frame " << j << " expected " << expected
                                   << " got " << word / 256;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 0);
}

class BlockPathTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(BlockPathTest, MatchesDirectConvolutionWithinOneLsb) { RunScenario(GetParam()); }

// The AVX2, AVX, 128-bit and scalar kernels give the same blocks as the widest ones (the default above).
TEST(BlockPath, EveryKernelFormMatchesDirectConvolution) {
    for (BlockKernels k : {BlockKernels::kScalar, BlockKernels::kVector128, BlockKernels::kVector256, BlockKernels::kAvx2}) {
        LimitBlockPathKernels(k);
        RunScenario({512, 1, 1, true, true, 201});
        RunScenario({1024, 2, 0, true, false, 202});
    }
    LimitBlockPathKernels(BlockKernels::kWidest);
}

std::vector<Scenario> Scenarios() {
    std::vector<Scenario> v;
    unsigned seed = 11;
    for (int N : {512, 1024, 2048, 4096}) {
        for (uint32_t mode : {0u, 1u, 2u}) {
            for (int32_t phase : {0, 1}) {
                if (N >= 2048 && phase != static_cast<int32_t>(mode % 2)) continue;  // keep the large sizes quick
                v.push_back({N, mode, phase, (seed % 3) != 0, false, seed});
                ++seed;
            }
        }
    }
    v.push_back({512, 1, 0, true, true, 101});
    v.push_back({512, 2, 1, false, true, 102});
    return v;
}

std::string ScenarioName(const ::testing::TestParamInfo<Scenario>& info) {
    const Scenario& s = info.param;
    char name[96];
    std::snprintf(name, sizeof name, "N%d_mode%u_bank%d%s%s", s.N, s.output_mode, static_cast<int>(s.phase_mode),
                  s.bbm_output ? "_bbm" : "", s.dense ? "_dense" : "");
    return name;
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockPathTest, ::testing::ValuesIn(Scenarios()), ScenarioName);

// The optimised spectral stage (half spectrum, vector products) against the literal one over all bins.
TEST(BlockPath, OptimisedSpectraMatchLiteralReference) {
    const int N = 512;
    std::mt19937 rng(5);
    TestEngineBuffers a(N), b(N);
    a.ctx.OutputMode = b.ctx.OutputMode = 1;  // all sixteen outputs served
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int o = 1; o <= kEngineOutputs; ++o) {
        std::vector<double> taps(8 * N);
        for (double& t : taps) t = u(rng) * 0.05;
        a.SetFilter(1, o, taps);
        b.SetFilter(1, o, taps);
        a.routing[(o % 9)][o - 1] = b.routing[(o % 9)][o - 1] = 1;
    }
    for (int block = 0; block < 3; ++block) {
        for (int port = 1; port <= 9; ++port) {
            std::vector<double> s(N);
            for (double& v : s) v = u(rng) * 1000.0;
            a.SetInput(port, s.data());
            b.SetInput(port, s.data());
        }
        RunInputFftStage(a.ctx, kInputFftPortsA, 5);
        RunInputFftStage(a.ctx, kInputFftPortsB, 4);
        RunInputFftStage(b.ctx, kInputFftPortsA, 5);
        RunInputFftStage(b.ctx, kInputFftPortsB, 4);
    }
    ComputeOutputBlocks(a.ctx, {1, 16}, 1);
    ComputeOutputBlocksReference(b.ctx, {1, 16}, 1);
    for (int o = 0; o < kEngineOutputs; ++o) {
        double peak = 0.0;
        for (int n = 0; n < 2 * N; ++n) peak = std::max(peak, std::fabs(static_cast<double>(OutputSample(b.ctx, o + 1, n))));
        ASSERT_GT(peak, 1.0);
        for (int n = 0; n < 2 * N; ++n)
            ASSERT_NEAR(OutputSample(a.ctx, o + 1, n), OutputSample(b.ctx, o + 1, n), peak * 1e-5) << o << " " << n;
    }
}

// A single tap d = qN + m passes the routed input delayed by d samples and scaled by the tap.
TEST(BlockPath, SingleTapDelaysTheInput) {
    const int N = 512;
    TestEngineBuffers e(N);
    const int d = 3 * N + 100;
    std::vector<double> taps(8 * N, 0.0);
    taps[d] = 0.5;
    e.SetFilter(0, 2, taps);
    e.routing[0][1] = 1;
    std::vector<double> impulse(N, 0.0);
    impulse[7] = 1001.0;  // 500.5 after the tap: truncation gives 500 whatever the float rounding
    std::vector<double> silence(N, 0.0);
    for (int t = 0; t < 6; ++t) {
        e.SetInput(1, t == 0 ? impulse.data() : silence.data());
        ProcessEngineBlock(e.ctx, LiveBlockValues{});
        for (int j = 0; j < N; ++j) {
            const long n = static_cast<long>(t) * N + j;
            const int32_t expected = n == 7 + d ? 500 * 256 : 0;
            ASSERT_EQ(e.output_block[static_cast<size_t>(j) * 8 + 1], expected) << n;
            ASSERT_EQ(e.output_block[static_cast<size_t>(j) * 8 + 0], 0);
        }
    }
}

// An output that nothing feeds stays silent even after its accumulator held a bass-management sum.
TEST(BlockPath, UnfedOutputCarriesNothingOver) {
    const int N = 512;
    TestEngineBuffers e(N);
    e.ctx.BassMode = 3;
    e.ctx.SubChannels[0] = e.ctx.SubChannels[1] = 4;
    e.ctx.BbmSourceChannels[0] = e.ctx.BbmSourceChannels[1] = 1;
    std::vector<double> taps(8 * N, 0.0);
    taps[0] = 1.0;
    e.SetFilter(0, 1, taps);
    e.routing[0][0] = 1;
    std::vector<double> ones(N, 100.25), silence(N, 0.0);
    LiveBlockValues live;
    live.BbmGain = 0.5f;  // factor 1 per pair; both pairs feed output 4
    e.SetInput(1, ones.data());
    ProcessEngineBlock(e.ctx, live);
    for (int j = 0; j < N; ++j) ASSERT_EQ(e.output_block[static_cast<size_t>(j) * 8 + 3], 200 * 256);
    e.ctx.BassMode = 0;  // the sum stops; the sub is fed by nothing
    for (int t = 0; t < 3; ++t) {
        e.SetInput(1, silence.data());
        ProcessEngineBlock(e.ctx, live);
        for (int j = 0; j < N; ++j) ASSERT_EQ(e.output_block[static_cast<size_t>(j) * 8 + 3], 0) << t << " " << j;
    }
}

// The bank follows the phase mode of the block, for the whole block.
TEST(BlockPath, PhaseModeChoosesTheBankPerBlock) {
    const int N = 512;
    TestEngineBuffers e(N);
    std::vector<double> taps0(8 * N, 0.0), taps1(8 * N, 0.0);
    taps0[0] = 1.0;
    taps1[0] = -0.25;
    e.SetFilter(0, 1, taps0);
    e.SetFilter(1, 1, taps1);
    e.routing[0][0] = 1;
    std::vector<double> x(N, 400.4);
    LiveBlockValues live;
    for (int32_t mode : {0, 1, 2, 0}) {
        live.PhaseMode = mode;
        e.SetInput(1, x.data());
        ProcessEngineBlock(e.ctx, live);
        const int32_t expected = (mode == 0 ? 400 : -100) * 256;  // 400.4 and -100.1 truncated
        for (int j = 0; j < N; ++j) ASSERT_EQ(e.output_block[static_cast<size_t>(j) * 8], expected);
    }
}

// In "8 Outputs" worker B does not run: ports 4, 6, 7 and 8 keep their (zero) history, routed or not.
TEST(BlockPath, EightOutputsLeavesPortsOfWorkerBAlone) {
    const int N = 512;
    TestEngineBuffers e(N);
    for (int port = 1; port <= 8; ++port) e.routing[port - 1][port - 1] = 1;
    std::vector<double> x(N, 1.0);
    for (int port = 1; port <= 9; ++port) e.SetInput(port, x.data());
    ProcessEngineBlock(e.ctx, LiveBlockValues{});
    for (int port : kInputFftPortsB) {
        for (int q = 0; q < 8; ++q) {
            const float* s = HistorySpectrum(e.ctx, port, q);
            for (int i = 0; i < 4 * N; ++i) ASSERT_EQ(s[i], 0.0f);
        }
    }
    EXPECT_FLOAT_EQ(HistorySpectrum(e.ctx, 1, 0)[0], static_cast<float>(N));  // DC bin of N ones
    EXPECT_EQ(HistorySpectrum(e.ctx, 1, 1)[0], 0.0f);
}

// Only the ports that a served output reads are transformed: an unrouted port, a port routed only to an
// output the mode does not serve, and a port that is not the highest routed to its output keep their history.
TEST(BlockPath, TransformsOnlyThePortsTheOutputsRead) {
    const int N = 512;
    TestEngineBuffers e(N);
    e.ctx.OutputMode = 2;          // "8 + SPDIF": outputs 1-10
    e.routing[2][0] = 1;           // port 3 -> output 1
    e.routing[8][9] = 1;           // port 9 -> output 10
    e.routing[5][11] = 1;          // port 6 -> output 12, not served
    e.routing[3][3] = 1;           // port 4 -> output 4, but port 7 is routed there too and replaces it
    e.routing[6][3] = 1;
    EXPECT_EQ(PortsInUse(e.ctx), (1u << 2) | (1u << 8) | (1u << 6));
    std::vector<double> x(N);
    for (int j = 0; j < N; ++j) x[j] = 1.0 + (j % 7);
    for (int port = 1; port <= 9; ++port) e.SetInput(port, x.data());
    ProcessEngineBlock(e.ctx, LiveBlockValues{});
    double dc = 0.0;
    for (double v : x) dc += v;
    for (int port = 1; port <= 9; ++port) {
        const bool used = port == 3 || port == 9 || port == 7;
        EXPECT_EQ(HistorySpectrum(e.ctx, port, 0)[0], used ? static_cast<float>(dc) : 0.0f) << port;
    }
    e.ctx.OutputMode = 1;  // "16 Outputs" serves output 12 as well
    EXPECT_EQ(PortsInUse(e.ctx), (1u << 2) | (1u << 8) | (1u << 6) | (1u << 5));
}

// An unfed sub whose last bass-management sum spilled into its tail plays that tail out in the next block,
// then falls silent; the words written for a silent output are the ones the computation gives.
TEST(BlockPath, UnfedOutputPlaysOutItsTail) {
    const int N = 512;
    TestEngineBuffers e(N);
    e.ctx.BassMode = 3;
    e.ctx.SubChannels[0] = e.ctx.SubChannels[1] = 4;
    e.ctx.BbmSourceChannels[0] = 1;
    e.ctx.BbmSourceChannels[1] = 9;  // not in the low worker's range: adds nothing
    std::vector<double> taps(8 * N, 0.0);
    taps[N - 10] = 1.0;  // ten samples in the current block, the rest spills into the next
    e.SetFilter(0, 1, taps);
    e.routing[0][0] = 1;
    std::vector<double> ones(N, 100.25), silence(N, 0.0);
    LiveBlockValues live;
    live.BbmGain = 0.5f;
    for (int t = 0; t < 4; ++t) {
        e.SetInput(1, t == 0 ? ones.data() : silence.data());
        if (t == 1) e.ctx.BassMode = 0;
        ProcessEngineBlock(e.ctx, live);
        for (int j = 0; j < N; ++j) {
            const bool sounding = (t == 0 && j >= N - 10) || (t == 1 && j < N - 10);
            ASSERT_EQ(e.output_block[static_cast<size_t>(j) * 8 + 3], sounding ? 100 * 256 : 0) << t << " " << j;
            ASSERT_EQ(e.output_block[static_cast<size_t>(j) * 8 + 0], sounding ? 100 * 256 : 0) << t << " " << j;
        }
    }
    EXPECT_EQ(e.ctx.AccumulatorZero[3], 1);
    EXPECT_EQ(e.ctx.TailZero[3], 1);
}

// The vector kernels and the plain kernels give the same words bit for bit, in every output mode and with
// the bass-management sums: they are one computation. Without the packed banks (and so without the twiddles
// of the lone real transforms) the block path runs plain products and full complex transforms: the same
// words within one step of 24 bits.
TEST(BlockPath, KernelFormsAndBankLayoutsGiveTheSameWords) {
    const int N = 1024;
    struct Form {
        BlockKernels kernels;
        bool packed;
    };
    const Form forms[] = {{BlockKernels::kWidest, true},    {BlockKernels::kAvx2, true},      {BlockKernels::kVector256, true},
                          {BlockKernels::kVector128, true}, {BlockKernels::kScalar, true},
                          {BlockKernels::kWidest, false}};
    for (uint32_t mode : {0u, 1u, 2u}) {
        std::vector<std::vector<int32_t>> first;
        for (const Form& form : forms) {
            LimitBlockPathKernels(form.kernels);
            std::mt19937 rng(77 + mode);
            std::uniform_real_distribution<double> u(-1.0, 1.0);
            TestEngineBuffers e(N);
            e.ctx.OutputMode = mode;
            e.ctx.BassMode = 3;
            e.ctx.SubChannels[0] = 3;
            e.ctx.BbmSourceChannels[0] = 2;
            for (int o = 1; o <= kEngineOutputs; ++o) {
                if (o == 6) continue;  // unfed
                // Outputs 1-5 and 7-8 in pairs that share a port, 9-16 each from its own.
                e.routing[(o <= 8 ? (o + 1) / 2 * 4 : o * 4) % 9][o - 1] = 1;
                for (int b = 0; b < kEngineBanks; ++b) {
                    std::vector<double> taps(8 * N);
                    for (double& t : taps) t = u(rng) * 0.02;
                    e.SetFilter(b, o, taps);
                }
            }
            if (!form.packed) e.ctx.PackedBank = nullptr;
            LiveBlockValues live;
            std::vector<std::vector<int32_t>> words;
            for (int t = 0; t < 10; ++t) {
                for (int port = 1; port <= 9; ++port) {
                    std::vector<double> x(N);
                    for (double& v : x) v = u(rng) * 3.0e5;
                    e.SetInput(port, x.data());
                }
                live.PhaseMode = t % 3 == 2;
                ProcessEngineBlock(e.ctx, live);
                words.push_back(e.output_block);
            }
            if (first.empty()) {
                first = words;
                continue;
            }
            for (int t = 0; t < 10; ++t) {
                if (form.packed) {
                    ASSERT_EQ(words[t], first[t]) << "mode " << mode << " block " << t;
                    continue;
                }
                for (size_t i = 0; i < words[t].size(); ++i)
                    ASSERT_LE(std::abs(words[t][i] - first[t][i]), 256) << "mode " << mode << " block " << t << " word " << i;
            }
        }
    }
    LimitBlockPathKernels(BlockKernels::kWidest);
}

}  // namespace
