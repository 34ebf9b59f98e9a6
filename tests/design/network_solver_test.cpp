#include "design/network_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "design/design_presets.h"
#include "design/filter_families.h"
#include "design/network_test_support.h"
#include "tests/engine/synthesis_rig.h"
#include "tests/measure/room_eq_test_buffers.h"

using namespace nettest;

namespace {

using Cd = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;
constexpr int kN = 512;

Cd C(ComplexF z) { return Cd(z.re, z.im); }

// ---- Independent reference: nodal analysis of the physical circuit, built from the element list ----------
//
// Conductances to the reference: 1000 S behind the 1 V source at the input node, 1 uS at every block input;
// each block drives its output node from H * V(in) through 0.1 ohm (Norton: 10 S and 10 H V(in)); each
// output port is 100 uS between its two nodes. Joints holding a Ground are 0 V. Solved by Gaussian
// elimination with full pivoting in double precision.
std::vector<Cd> ReferenceJointVoltages(const WorkingNetwork& net, int bin, float f) {
    const int len = ElementListLength(net);
    const int joints = static_cast<int>(net.joint_count);
    std::vector<bool> ground(joints, false);
    for (int i = 0; i < len; ++i)
        if (net.elements[i].kind == Ground) ground[net.elements[i].node1] = true;
    std::vector<int> index(joints, -1);
    int n = 0;
    for (int j = 0; j < joints; ++j)
        if (!ground[j]) index[j] = n++;
    std::vector<std::vector<Cd>> g(n, std::vector<Cd>(n + 1, 0.0));
    auto add = [&](int r, int c, Cd v) {
        if (r >= 0 && c >= 0) g[r][c] += v;
    };
    for (int i = 0; i < len; ++i) {
        const NetworkElement& e = net.elements[i];
        const int a = index[e.node1];
        const int b = index[e.node2];
        if (e.kind == InputTerminal) {
            add(b, b, 1000.0);
            if (b >= 0) g[b][n] += 1000.0;
        } else if (e.kind == FilterBlock || e.kind == RoomEqBlock) {
            Cd h;
            if (e.kind == FilterBlock) {
                float copy[16];
                std::copy(net.params[i].p, net.params[i].p + 16, copy);
                h = C(FilterBlockResponse(copy, f));
            } else {
                h = net.params[i].p[kParamBypass] == 1.0f ? Cd(1.0)
                                                         : Cd(net.element_responses[i].points[bin].re,
                                                              net.element_responses[i].points[bin].im);
            }
            add(a, a, 1e-6);
            add(b, b, 10.0);
            add(b, a, -10.0 * h);
        } else if (e.kind == OutputPort) {
            add(a, a, 1e-4);
            add(b, b, 1e-4);
            add(a, b, -1e-4);
            add(b, a, -1e-4);
        }
    }
    std::vector<int> col(n);
    std::iota(col.begin(), col.end(), 0);
    for (int k = 0; k < n; ++k) {
        int pr = k, pc = k;
        for (int r = k; r < n; ++r)
            for (int c = k; c < n; ++c)
                if (std::abs(g[r][c]) > std::abs(g[pr][pc])) pr = r, pc = c;
        std::swap(g[k], g[pr]);
        for (auto& row : g) std::swap(row[k], row[pc]);
        std::swap(col[k], col[pc]);
        for (int r = 0; r < n; ++r) {
            if (r == k) continue;
            const Cd m = g[r][k] / g[k][k];
            for (int c = k; c <= n; ++c) g[r][c] -= m * g[k][c];
        }
    }
    std::vector<Cd> x(n);
    for (int k = 0; k < n; ++k) x[col[k]] = g[k][n] / g[k][k];
    std::vector<Cd> v(joints, 0.0);
    for (int j = 0; j < joints; ++j)
        if (index[j] >= 0) v[j] = x[index[j]];
    return v;
}

// The terminal of an output port that does not lie on a ground joint.
int SignalJoint(const WorkingNetwork& net, int element) {
    const int len = ElementListLength(net);
    const NetworkElement& e = net.elements[element];
    for (int i = 0; i < len; ++i)
        if (net.elements[i].kind == Ground && net.elements[i].node1 == e.node1) return e.node2;
    return e.node1;
}

// ---- Random networks -------------------------------------------------------------------------------------

struct RandomShape {
    int blocks;
    int outputs;
    int grounds;
    int junctions;
};

float Uniform(std::mt19937& rng, float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); }
int Pick(std::mt19937& rng, int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

void RandomFilter(float* p, std::mt19937& rng) {
    static const int kLinkwitzSlopes[] = {1, 3, 4, 6, 8, 9};
    const int family = Pick(rng, 8);  // Bessel .. Shelving+12dB
    p[kParamFilterFamily] = static_cast<float>(family);
    p[kParamFilterSlope] = static_cast<float>(family == 2 ? kLinkwitzSlopes[Pick(rng, 6)] : Pick(rng, 10));
    p[kParamFilterFrequency] = 30.0f * std::pow(300.0f, Uniform(rng, 0.0f, 1.0f));
    p[kParamCabsDelay] = Uniform(rng, 0.5f, 5.0f);      // Q
    p[kParamFilterGain] = Uniform(rng, -10.0f, 10.0f);  // gain dB
    p[kParamBypass] = Pick(rng, 10) == 0 ? 1.0f : 0.0f;
}

void SmoothResponse(ComplexPoint* points, int bins, std::mt19937& rng) {
    const float a = Uniform(rng, 0.3f, 2.0f), b = Uniform(rng, -0.5f, 0.5f), w = Uniform(rng, 0.0005f, 0.01f);
    for (int k = 0; k < bins; ++k)
        points[k] = ComplexPoint{a + b * std::cos(w * static_cast<float>(k)), b * std::sin(w * static_cast<float>(k))};
}

// Builds a random solvable network straight from node numbers (the solver never looks at the geometry):
// blocks grow a tree from the input node, some room-EQ outputs land on existing nodes, every output port
// hangs between a node and a ground joint, joints are numbered in a random order and the elements shuffled.
void MakeRandomNetwork(WorkingNetwork* net, std::mt19937& rng, RandomShape shape, int bins) {
    ResetWorkingNetwork(net);
    struct Item {
        int32_t kind;
        int n1, n2;  // logical nodes; ground nodes are -1 - g
        int source;  // index into the block list of a room-EQ response, or output index
    };
    std::vector<Item> items;
    std::vector<bool> filter_driven{false};
    int nodes = 1;
    items.push_back({InputTerminal, 0, 0, 0});
    for (int b = 0; b < shape.blocks; ++b) {
        const bool room = Pick(rng, 4) == 0;
        const int src = Pick(rng, 20) == 0 ? -1 - Pick(rng, shape.grounds) : Pick(rng, nodes);
        int dst = nodes;
        if (src >= 0 && Pick(rng, 5) == 0 && src + 1 < nodes) {
            const int cand = src + 1 + Pick(rng, nodes - src - 1);
            if (room || !filter_driven[cand]) dst = cand;
        }
        if (dst == nodes) {
            ++nodes;
            filter_driven.push_back(false);
        }
        if (!room) filter_driven[dst] = true;
        items.push_back({room ? RoomEqBlock : FilterBlock, src, dst, b});
    }
    for (int o = 0; o < shape.outputs; ++o) {
        const int sig = Pick(rng, nodes);
        const int gnd = -1 - Pick(rng, shape.grounds);
        if (Pick(rng, 2))
            items.push_back({OutputPort, sig, gnd, o});
        else
            items.push_back({OutputPort, gnd, sig, o});
    }
    for (int g = 0; g < shape.grounds; ++g) items.push_back({Ground, -1 - g, -1 - g, 0});
    for (int j = 0; j < shape.junctions; ++j) {
        const int at = Pick(rng, nodes);
        items.push_back({Junction, at, at, 0});
    }
    std::shuffle(items.begin(), items.end(), rng);

    const int joints = nodes + shape.grounds;
    std::vector<int> joint_of(joints);
    std::iota(joint_of.begin(), joint_of.end(), 0);
    std::shuffle(joint_of.begin(), joint_of.end(), rng);
    auto joint = [&](int logical) { return logical >= 0 ? joint_of[logical] : joint_of[nodes + (-1 - logical)]; };

    std::vector<int> numbers(16);
    std::iota(numbers.begin(), numbers.end(), 1);
    std::shuffle(numbers.begin(), numbers.end(), rng);
    net->joint_count = static_cast<uint32_t>(joints);
    net->element_count = static_cast<uint32_t>(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const Item& it = items[i];
        NetworkElement& e = net->elements[i];
        e.kind = it.kind;
        e.x1 = e.x2 = 10 * static_cast<int32_t>(i + 1);
        e.y1 = e.y2 = 10;
        e.node1 = joint(it.n1);
        e.node2 = joint(it.n2);
        float* p = net->params[i].p;
        if (it.kind == InputTerminal) p[kParamInputPort] = 1.0f;
        if (it.kind == FilterBlock) RandomFilter(p, rng);
        if (it.kind == RoomEqBlock) {
            p[kParamBypass] = Pick(rng, 4) == 0 ? 1.0f : 0.0f;
            SmoothResponse(net->element_responses[i].points, bins, rng);
        }
        if (it.kind == OutputPort) {
            p[kParamOutputNumber] = static_cast<float>(numbers[it.source]);
            p[kParamOutputGain] = Uniform(rng, -6.0f, 6.0f);
            p[kParamPolarity] = Pick(rng, 2) ? 1.0f : -1.0f;
            p[kParamChannelDelay] = Uniform(rng, 0.0f, 2.0f);
            p[kParamPlotFlag] = static_cast<float>(Pick(rng, 2));
            p[kParamSignalNode] = 31.0f;  // stale: the solver must derive its own
            if (Pick(rng, 2)) SmoothResponse(net->element_responses[i].points, bins, rng);
            std::vector<ComplexPoint> d(bins);
            SmoothResponse(d.data(), bins, rng);
            for (int k = 0; k < bins; ++k) {
                net->driver_responses[i].re[k] = d[k].re;
                net->driver_responses[i].im[k] = d[k].im;
            }
        }
    }
}

// Curve phases are in the program's degrees (57.288 per radian); compare them across the wrap.
double PhaseGap(double a, double b) {
    const double turn = 2.0 * kPi * 57.288;
    double d = std::fmod(std::fabs(a - b), turn);
    return std::min(d, turn - d);
}

double RelativeError(Cd got, Cd want) { return std::abs(got - want) / (std::abs(want) + 1e-12); }

// A bypassed single chain: input -> filter block -> output port -> ground.
struct ChainNet {
    Heap<WorkingNetwork> net = NewNetwork();
    int input, block, output, ground;
    explicit ChainNet(int32_t block_kind = FilterBlock) {
        Builder b(net.get());
        input = b.Add(InputTerminal, 20, 90);
        block = b.Add(block_kind, 40, 90);
        output = b.Add(OutputPort, 120, 90);
        ground = b.Add(Ground, 120, 150);
        b.Wire(20, 90, 40, 90);
        b.Wire(80, 90, 120, 90);
        b.Wire(120, 130, 120, 150);
        b.P(input)[kParamInputPort] = 1.0f;
        b.P(block)[kParamBypass] = 1.0f;
        b.P(output)[kParamOutputNumber] = 3.0f;
        EXPECT_EQ(RebuildJoints(net.get(), nullptr), 0);
    }
    float* P(int e) { return net->params[e].p; }
};

}  // namespace

TEST(NetworkSolver, BypassedChainGivesTheLoadedSourceAtEveryBin) {
    ChainNet c;
    auto buf = std::make_unique<SolverBuffers>(kN);
    MessageList messages;
    ASSERT_EQ(SolveNetwork(c.net.get(), buf->in, buf->out, &messages), 0);
    EXPECT_TRUE(messages.empty());
    const int o = 2;
    for (int k = 0; k < buf->bins; ++k) {
        ASSERT_NEAR(buf->electrical[o][k].re, 0.99999, 2e-7) << k;
        ASSERT_NEAR(buf->electrical[o][k].im, 0.0, 1e-9) << k;
        ASSERT_NEAR(buf->curves[kCurveFilterSpl + o].Values[k], 20.0 * std::log10(0.99999), 2e-6);
    }
    // Copy-out: bins 0..4N, zero above up to 65,535; the other outputs are left alone.
    for (int k = 0; k <= 4 * kN; ++k) ASSERT_EQ(buf->spectrum[o][k].re, buf->electrical[o][k].re);
    for (int k = 4 * kN + 1; k < kSolverSpectrumPoints; ++k) {
        ASSERT_EQ(buf->spectrum[o][k].re, 0.0f);
        ASSERT_EQ(buf->phase_reference[o][k].re, 0.0f);
    }
    EXPECT_EQ(buf->spectrum[o][kSolverSpectrumPoints].re, 1.0f);  // beyond the cleared points
    EXPECT_NEAR(buf->curves[kCurveFilterSpl + o].Values[8 * kN], 20.0 * std::log10(0.99999), 2e-6);  // up to bin 8N
    EXPECT_EQ(buf->curves[kCurveFilterSpl + o].Values[8 * kN + 1], 0.0f);
    EXPECT_EQ(buf->spectrum[0][0].re, 1.0f);
    EXPECT_EQ(buf->spectrum[5][100].re, 1.0f);
    EXPECT_EQ(buf->polarity[0], 7);
    EXPECT_EQ(buf->polarity[o], 1);
    EXPECT_EQ(buf->element_index[0], c.output);
    EXPECT_EQ(buf->element_index[1], 0);
    EXPECT_EQ(buf->min_phase[0].re, 0.0f);
    EXPECT_EQ(buf->min_phase[kSolverSpectrumPoints - 1].im, 0.0f);
    // The derived signal node was refreshed from the wiring.
    EXPECT_EQ(c.P(c.output)[kParamSignalNode], 1.0f);
    EXPECT_EQ(c.P(c.input)[kParamInputNode], 0.0f);
    // Pens come from the colour scheme entries.
    EXPECT_EQ(buf->curves[kCurveFilterSpl + o].Red, 10.0f);
    EXPECT_EQ(buf->curves[kCurveHbtFilterPhase + o].Red, 150.0f);
    EXPECT_EQ(buf->curves[kCurveSystemPhase].PenStyle, 104.0f);
    EXPECT_EQ(buf->curves[kCurveDriverPhase + o].Blue, 62.0f);
    EXPECT_EQ(buf->curves[kCurveFinalSpl + o].PenWidth, 43.0f);
    EXPECT_EQ(buf->curves[kCurveFilterSpl + o].Visible, 0.0f);  // the valid flags are validation's
}

TEST(NetworkSolver, GainPolarityDelayAndCabs) {
    ChainNet c;
    c.P(c.output)[kParamOutputGain] = 6.0f;
    c.P(c.output)[kParamCabsDelay] = 2.7f;
    c.P(c.output)[kParamChannelDelay] = 1.5f;
    auto plus = std::make_unique<SolverBuffers>(kN);
    ASSERT_EQ(SolveNetwork(c.net.get(), plus->in, plus->out, nullptr), 0);
    const int o = 2;
    EXPECT_NEAR(plus->electrical[o][77].re, 0.99999 * std::pow(10.0, 0.3), 1e-6);
    EXPECT_EQ(plus->cabs_enabled[o], 1);
    EXPECT_EQ(plus->cabs_samples[o], 96);
    EXPECT_EQ(plus->delay[o], 1.5f);

    c.P(c.output)[kParamPolarity] = -1.0f;
    c.P(c.output)[kParamCabsDelay] = 0.0f;
    auto minus = std::make_unique<SolverBuffers>(kN);
    ASSERT_EQ(SolveNetwork(c.net.get(), minus->in, minus->out, nullptr), 0);
    EXPECT_EQ(minus->polarity[o], -1);
    EXPECT_EQ(minus->cabs_enabled[o], 0);
    EXPECT_EQ(minus->cabs_samples[o], 0);
    for (int k = 1; k < minus->bins; k += 97) {
        EXPECT_EQ(minus->spectrum[o][std::min(k, 4 * kN)].re, plus->spectrum[o][std::min(k, 4 * kN)].re);
        double shift = plus->curves[kCurveFinalPhase + o].Values[k] - minus->curves[kCurveFinalPhase + o].Values[k];
        shift = std::fmod(std::fabs(shift), 360.0 * 57.288 / (180.0 / kPi));
        EXPECT_NEAR(shift, 180.0 * 57.288 / (180.0 / kPi), 1e-2) << k;
        // The delay turns the Final phase by -2 pi f tau.
        const double f = plus->frequencies[k];
        const Cd want = 0.99999 * std::pow(10.0, 0.3) * std::exp(Cd(0.0, -2.0 * kPi * f * 1.5e-3));
        EXPECT_LE(PhaseGap(plus->curves[kCurveFinalPhase + o].Values[k], CurvePhaseDegrees(want.real(), want.imag())), 2e-3);
    }
    // A polarity that is not a number plays in phase.
    c.P(c.output)[kParamPolarity] = std::nanf("");
    ASSERT_EQ(SolveNetwork(c.net.get(), minus->in, minus->out, nullptr), 0);
    EXPECT_EQ(minus->polarity[o], 1);
}

TEST(NetworkSolver, RoomEqBlockByPassAndResponse) {
    ChainNet c(RoomEqBlock);
    for (int k = 0; k < 8 * kN + 1; ++k) c.net->element_responses[c.block].points[k] = ComplexPoint{0.5f, 0.25f};
    auto buf = std::make_unique<SolverBuffers>(kN);
    ASSERT_EQ(SolveNetwork(c.net.get(), buf->in, buf->out, nullptr), 0);
    EXPECT_NEAR(buf->electrical[2][300].re, 0.99999, 2e-7);
    EXPECT_NEAR(buf->electrical[2][300].im, 0.0, 1e-9);
    c.P(c.block)[kParamBypass] = 0.0f;
    ASSERT_EQ(SolveNetwork(c.net.get(), buf->in, buf->out, nullptr), 0);
    EXPECT_NEAR(buf->electrical[2][300].re, 0.99999 * 0.5, 2e-7);
    EXPECT_NEAR(buf->electrical[2][300].im, 0.99999 * 0.25, 2e-7);
}

// The room EQ of a room with one 47 Hz mode (+11.8 dB, Q 3) at block 512, stored with "EQ Amplitude Only" as
// "Done" leaves it by default, in a one-way channel: an impulse through the engine's "SPL Only EQ" bank (the
// default wide window) comes out with the dialog's EQ at every cut bin within 0.1 dB. (That bank used to keep
// only the half of the zero-phase cut after its impulse: -3.7 of -7.8 dB.) The phase-linearised bank plays the
// cut zero-phase, twice as long, and its window's edges cost up to 0.16 dB of it at this block size.
TEST(NetworkSolver, RoomEqPlaysTheCutTheDialogShows) {
    RoomEqTestBuffers t(0);
    t.SetLocation(0, [](double f) {
        const Cd s(0.0, f / 47.0), g(std::pow(10.0, 11.8 / 20.0), 0.0);
        return -4.0 + 20.0 * std::log10(std::abs((s * s + s * g / 3.0 + 1.0) / (s * s + s / 3.0 + 1.0)));
    }, [](double) { return 0.0; });
    ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers());
    t.Params()[kParamPolarity] = 1.0f;
    StoreRoomEqResponse(t.net.get(), RoomEqTestBuffers::kBlock, t.curves.data());
    ChainNet c(RoomEqBlock);
    c.P(c.block)[kParamBypass] = 0.0f;
    c.net->element_responses[c.block] = t.net->element_responses[RoomEqTestBuffers::kBlock];
    auto solved = std::make_unique<SolverBuffers>(kN);
    ASSERT_EQ(SolveNetwork(c.net.get(), solved->in, solved->out, nullptr), 0);

    Synthesis s(kN);  // the one-way channel's spectra, as Play synthesises them with the default wide window
    for (int o = 0; o < kEngineOutputs; ++o) {
        s.in.OutputSpectrum[o] = &solved->spectrum[o][0].re;
        s.in.PhaseReferenceSpectrum[o] = &solved->phase_reference[o][0].re;
    }
    s.in.OutputPolarity = solved->polarity;
    s.in.OutputDelayMs = solved->delay;
    FilterWindowSettings settings = DefaultWindowSettings();
    settings.WideWindow = 1;
    FilterWindowBuffers windows = WindowsOf(s);
    ASSERT_EQ(BuildFilterBanksForPlay(s.in, settings, windows, s.buf), 0);
    TestEngineBuffers& e = s.engine;
    PackFilterBanks(e.ctx);
    e.routing[0][2] = 1;  // input port 1 to output 3
    const float* eq = t.curves[kRoomEqEqSplSlot].Values;
    for (int32_t bank = 0; bank < kEngineBanks; ++bank) {
        // 2^22 in, the 8N-sample response out (the engine's words carry 8 bits below the sample).
        std::vector<double> impulse(kN, 0.0), silence(kN, 0.0), y;
        impulse[0] = 4194304.0;
        ResetBlockPath(e.ctx);
        for (int b = 0; b < 8; ++b) {
            e.SetInput(1, b == 0 ? impulse.data() : silence.data());
            LiveBlockValues live;
            live.PhaseMode = bank;
            ProcessEngineBlock(e.ctx, live);
            for (int j = 0; j < kN; ++j) y.push_back(e.output_block[static_cast<size_t>(j) * 8 + 2] / 256.0 / 4194304.0);
        }
        int cuts = 0;
        for (int k = 1; t.bins[k] < 250.0f; ++k) {
            if (eq[k] >= 0.0f) continue;
            Cd sum = 0.0;
            for (int n = 0; n < 8 * kN; ++n) sum += y[n] * std::polar(1.0, -2.0 * kPi * k * n / (8.0 * kN));
            EXPECT_NEAR(20.0 * std::log10(std::abs(sum) / 0.99999), eq[k], bank == 1 ? 0.1 : 0.2)
                << "bank " << bank << ", " << t.bins[k] << " Hz";
            ++cuts;
        }
        EXPECT_GE(cuts, 4);
    }
    EXPECT_NEAR(eq[4], -7.8, 0.1);  // 46.9 Hz
}

TEST(NetworkSolver, TwoOutputsOnOneNodeAndThePlotFlagOfTheSystemCurve) {
    ChainNet c;
    Builder b(c.net.get());
    const int second = b.Add(OutputPort, 160, 90);
    b.Add(Ground, 160, 150);
    b.Wire(120, 90, 160, 90);
    b.Wire(160, 130, 160, 150);
    ASSERT_EQ(RebuildJoints(c.net.get(), nullptr), 0);
    c.P(second)[kParamOutputNumber] = 9.0f;
    c.P(second)[kParamOutputGain] = -6.0f;
    c.P(second)[kParamPlotFlag] = 0.0f;
    c.P(c.output)[kParamChannelDelay] = 1.0f;
    for (uint32_t spl_only : {0u, 1u}) {
        auto buf = std::make_unique<SolverBuffers>(kN);
        buf->in.spl_only_eq = spl_only;
        ASSERT_EQ(SolveNetwork(c.net.get(), buf->in, buf->out, nullptr), 0);
        // Two loads on the block's output: 10 / (10 + 2e-4).
        const double v = 10.0 / (10.0 + 2e-4);
        for (int k = 0; k < buf->bins; k += 101) {
            EXPECT_NEAR(buf->electrical[2][k].re, v, 2e-7);
            EXPECT_NEAR(buf->electrical[8][k].re, v * std::pow(10.0, -0.3), 2e-7);
            // The unplotted output has its curves all the same, but the System curve is output 3 alone.
            EXPECT_NEAR(buf->curves[kCurveFilterSpl + 8].Values[k], 20.0 * std::log10(v) - 6.0, 1e-4);
            EXPECT_NEAR(buf->curves[kCurveSystemSpl].Values[k], 20.0 * std::log10(v), 1e-4);
            const double f = buf->frequencies[k];
            const double phase = spl_only ? -2.0 * kPi * f * 1e-3 : 0.0001 - 2.0 * kPi * f * 1e-3;
            const Cd s = v * std::exp(Cd(0.0, phase));
            EXPECT_LE(PhaseGap(buf->curves[kCurveSystemPhase].Values[k], CurvePhaseDegrees(s.real(), s.imag())), 2e-3) << k;
        }
        EXPECT_EQ(buf->element_index[0], c.output);
        EXPECT_EQ(buf->element_index[1], second);
    }
}

TEST(NetworkSolver, RefusesWhatCannotBeSolvedAndLeavesTheSpectraAlone) {
    struct Variant {
        const char* name;
        void (*change)(ChainNet&);
        const char* text;
    };
    const Variant variants[] = {
        {"floating output port",
         [](ChainNet& c) {
             c.net->elements[c.ground].kind = Junction;
             Builder(c.net.get()).Add(Ground, 300, 300);
             c.net->elements[4].node1 = c.net->elements[4].node2 = 0;  // grounds the input node instead
         },
         kFloatingOutputText},
        {"two input terminals",
         [](ChainNet& c) {
             Builder(c.net.get()).Add(InputTerminal, 20, 90);
             RebuildJoints(c.net.get(), nullptr);
         },
         kReconnectSourceText},
        {"two junctions wired only to each other",
         [](ChainNet& c) {
             Builder b(c.net.get());
             b.Add(Junction, 300, 300);
             b.Add(Junction, 340, 300);
             b.Wire(300, 300, 340, 300);
             RebuildJoints(c.net.get(), nullptr);
         },
         kReconnectNodesText},
        {"no ground and no output",
         [](ChainNet& c) {
             c.net->elements[c.output].kind = Junction;
             c.net->elements[c.ground].kind = Junction;
         },
         kReconnectNodesText},
        {"a node beyond the joint list",
         [](ChainNet& c) { c.net->elements[c.block].node2 = 20; },
         kReconnectNodesText},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        ChainNet c;
        v.change(c);
        auto buf = std::make_unique<SolverBuffers>(kN);
        MessageList messages;
        EXPECT_EQ(SolveNetwork(c.net.get(), buf->in, buf->out, &messages), 1);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, v.text);
        EXPECT_EQ(messages[0].caption, "HV Message");
        EXPECT_EQ(buf->spectrum[2][5].re, 1.0f);
        EXPECT_EQ(buf->phase_reference[2][5].re, 1e-7f);
        EXPECT_EQ(buf->polarity[2], 7);
        EXPECT_EQ(buf->cabs_samples[2], 7);
        messages.clear();
        EXPECT_EQ(SolveNetworkReference(c.net.get(), buf->in, buf->out, &messages), 1);
        EXPECT_EQ(messages.size(), 1u);
    }
}

TEST(NetworkSolver, RandomTopologiesAgreeWithAnIndependentNodalAnalysis) {
    std::mt19937 rng(20261207);
    auto net = Alloc<WorkingNetwork>();
    auto buf = std::make_unique<SolverBuffers>(kN);
    const RandomShape shapes[] = {{1, 1, 1, 0}, {3, 2, 1, 1}, {6, 4, 2, 2}, {8, 6, 2, 1}, {20, 8, 3, 0}};
    int networks = 0;
    for (int round = 0; round < 5; ++round) {
        for (const RandomShape& shape : shapes) {
            SCOPED_TRACE(::testing::Message() << "round " << round << " blocks " << shape.blocks);
            MakeRandomNetwork(net.get(), rng, shape, buf->bins);
            MessageList messages;
            ASSERT_EQ(ValidateNetwork(*net, ValidationContext{}, &messages), 0);
            ASSERT_EQ(SolveNetwork(net.get(), buf->in, buf->out, &messages), 0);
            ++networks;
            const int len = ElementListLength(*net);
            for (int k = 0; k < buf->bins; k += 29) {
                const std::vector<Cd> v = ReferenceJointVoltages(*net, k, buf->frequencies[k]);
                for (int i = 0; i < len; ++i) {
                    if (net->elements[i].kind != OutputPort) continue;
                    const float* p = net->params[i].p;
                    const int o = static_cast<int>(p[kParamOutputNumber]) - 1;
                    const Cd r(net->element_responses[i].points[k].re, net->element_responses[i].points[k].im);
                    const Cd d(net->driver_responses[i].re[k], net->driver_responses[i].im[k]);
                    const Cd e = std::pow(10.0, 0.05 * p[kParamOutputGain]) * v[SignalJoint(*net, i)] * r;
                    ASSERT_LE(RelativeError(C(buf->electrical[o][k]), e), 1e-4) << "bin " << k << " output " << o + 1;
                    ASSERT_LE(RelativeError(C(buf->acoustic[o][k]), e * d), 1e-4) << "bin " << k;
                }
            }
        }
    }
    EXPECT_GE(networks, 20);
}

TEST(NetworkSolver, FastSolveAgreesWithTheLiteralMatrixFormulation) {
    std::mt19937 rng(77);
    auto net = Alloc<WorkingNetwork>();
    auto fast = std::make_unique<SolverBuffers>(kN);
    auto literal = std::make_unique<SolverBuffers>(kN);
    const RandomShape shapes[] = {{2, 2, 1, 0}, {6, 4, 2, 1}, {12, 6, 3, 1}};
    for (int round = 0; round < 3; ++round) {
        for (const RandomShape& shape : shapes) {
            MakeRandomNetwork(net.get(), rng, shape, fast->bins);
            ASSERT_EQ(SolveNetwork(net.get(), fast->in, fast->out, nullptr), 0);
            ASSERT_EQ(SolveNetworkReference(net.get(), literal->in, literal->out, nullptr), 0);
            for (int o = 0; o < kOutputCount; ++o)
                for (int k = 0; k < fast->bins; ++k)
                    ASSERT_LE(RelativeError(C(fast->electrical[o][k]), C(literal->electrical[o][k])), 1e-3)
                        << "output " << o + 1 << " bin " << k;
            for (int c = 0; c < kPlotCurveSlots; ++c)
                for (int k = 0; k < fast->bins; k += 7) {
                    const float a = fast->curves[c].Values[k], b = literal->curves[c].Values[k];
                    if (c >= kCurveFilterPhase && c < kCurveFinalPhase + 16) continue;  // phases wrap near +-180
                    ASSERT_NEAR(a, b, 0.01f + 1e-4f * std::fabs(b)) << "curve " << c << " bin " << k;
                }
        }
    }
}

TEST(NetworkSolver, ThreadsGiveBitIdenticalResults) {
    std::mt19937 rng(5);
    auto net = Alloc<WorkingNetwork>();
    MakeRandomNetwork(net.get(), rng, {10, 6, 2, 1}, 8 * 1024 + 1);
    auto one = std::make_unique<SolverBuffers>(1024);
    auto many = std::make_unique<SolverBuffers>(1024);
    one->in.thread_count = 1;
    many->in.thread_count = 5;
    ASSERT_EQ(SolveNetwork(net.get(), one->in, one->out, nullptr), 0);
    ASSERT_EQ(SolveNetwork(net.get(), many->in, many->out, nullptr), 0);
    for (int o = 0; o < kOutputCount; ++o) {
        EXPECT_EQ(std::memcmp(one->spectrum[o].data(), many->spectrum[o].data(), one->spectrum[o].size() * sizeof(ComplexF)), 0);
        EXPECT_EQ(std::memcmp(one->phase_reference[o].data(), many->phase_reference[o].data(),
                              one->phase_reference[o].size() * sizeof(ComplexF)), 0);
    }
    for (int c = 0; c < kPlotCurveSlots; ++c)
        EXPECT_EQ(std::memcmp(&one->curves[c], &many->curves[c], sizeof(PlotCurve)), 0)
            << c;
}

TEST(NetworkSolver, TwoWayPresetWithFirstOrderButterworthSumsFlat) {
    auto net = NewNetwork();
    LoadTwoWayNetwork(net.get());
    SetPane1TwoWayBlocks(net.get());  // 1 kHz, HP on outputs 1, LP on output 2, two sections per branch
    const double fc = 1000.0;

    // One section per branch: the high- and low-pass halves of a first-order pair add to 1.
    net->params[6].p[kParamBypass] = 1.0f;
    net->params[7].p[kParamBypass] = 1.0f;
    auto buf = std::make_unique<SolverBuffers>(kN);
    buf->in.spl_only_eq = 1;
    ASSERT_EQ(SolveNetwork(net.get(), buf->in, buf->out, nullptr), 0);
    for (int k = 0; k < buf->bins; ++k) {
        const Cd jw(0.0, buf->frequencies[k] / fc);
        const Cd hp = jw / (1.0 + jw), lp = 1.0 / (1.0 + jw);
        const Cd up = C(buf->electrical[0][k]), low = C(buf->electrical[1][k]);
        ASSERT_LE(RelativeError(up, 0.99999 * hp), 1e-5) << k;
        ASSERT_LE(RelativeError(low, 0.99999 * lp), 1e-5) << k;
        ASSERT_NEAR(std::abs(up + low - 0.99999), 0.0, 2e-6) << k;
        ASSERT_NEAR(buf->curves[kCurveSystemSpl].Values[k], 20.0 * std::log10(0.99999), 2e-4) << k;
    }

    // Both sections in each branch: (j w)^2 / (1 + j w)^2 and 1 / (1 + j w)^2 sum flat in magnitude with the
    // low-pass output reversed, which the System curve shows with the true phases (SplOnlyEq 1).
    net->params[6].p[kParamBypass] = 0.0f;
    net->params[7].p[kParamBypass] = 0.0f;
    net->params[9].p[kParamPolarity] = -1.0f;
    ASSERT_EQ(SolveNetwork(net.get(), buf->in, buf->out, nullptr), 0);
    for (int k = 0; k < buf->bins; ++k) {
        const Cd jw(0.0, buf->frequencies[k] / fc);
        const Cd up = C(buf->electrical[0][k]), low = C(buf->electrical[1][k]);
        ASSERT_LE(RelativeError(up, 0.99999 * jw * jw / ((1.0 + jw) * (1.0 + jw))), 1e-5) << k;
        ASSERT_NEAR(buf->curves[kCurveSystemSpl].Values[k], 20.0 * std::log10(0.99999), 2e-4) << k;
        (void)low;
    }
    // With SplOnlyEq 0 each acoustic phase counts as cancelled: the System curve adds signed magnitudes.
    buf->in.spl_only_eq = 0;
    ASSERT_EQ(SolveNetwork(net.get(), buf->in, buf->out, nullptr), 0);
    for (int k = 1; k < buf->bins; k += 13) {
        const double w = buf->frequencies[k] / fc;
        const double want = 0.99999 * std::fabs(w * w - 1.0) / (1.0 + w * w);
        ASSERT_NEAR(std::pow(10.0, buf->curves[kCurveSystemSpl].Values[k] / 20.0), want, 1e-5 + 1e-4 * want) << k;
    }
}

TEST(NetworkSolver, EveryPresetNetworkSolvesLikeTheLiteralFormulation) {
    for (PresetNetworkId id : {PresetNetworkId::OneWay, PresetNetworkId::TwoWay, PresetNetworkId::ThreeWay,
                               PresetNetworkId::FourWay, PresetNetworkId::Sub, PresetNetworkId::Cabs}) {
        SCOPED_TRACE(GetPresetNetwork(id).name);
        auto net = NewNetwork();
        LoadPresetNetwork(net.get(), id);
        // Number the outputs and give the blocks real filters, so the branches differ.
        std::mt19937 rng(static_cast<unsigned>(id) + 1);
        int next = 1;
        for (int i = 0; i < ElementListLength(*net); ++i) {
            if (net->elements[i].kind == OutputPort) net->params[i].p[kParamOutputNumber] = static_cast<float>(next++);
            if (net->elements[i].kind == FilterBlock) RandomFilter(net->params[i].p, rng);
        }
        auto fast = std::make_unique<SolverBuffers>(kN);
        auto literal = std::make_unique<SolverBuffers>(kN);
        ASSERT_EQ(SolveNetwork(net.get(), fast->in, fast->out, nullptr), 0);
        ASSERT_EQ(SolveNetworkReference(net.get(), literal->in, literal->out, nullptr), 0);
        for (int o = 0; o < next - 1; ++o)
            for (int k = 0; k < fast->bins; k += 3) {
                ASSERT_LE(RelativeError(C(fast->electrical[o][k]), C(literal->electrical[o][k])), 1e-3) << o << " " << k;
                const std::vector<Cd> v = ReferenceJointVoltages(*net, k, fast->frequencies[k]);
                const int e = fast->element_index[o];
                ASSERT_LE(RelativeError(C(fast->electrical[o][k]), v[SignalJoint(*net, e)]), 1e-4) << o << " " << k;
            }
    }
}

TEST(NetworkSolver, FullElementListAndDamagedCountsStayInsideTheTables) {
    auto net = NewNetwork();
    // 32 slots: input, one block, 29 output ports on the block's output (all numbered 1), one ground.
    auto add = [&](int i, int32_t kind, int n1, int n2) {
        net->elements[i].kind = kind;
        net->elements[i].node1 = n1;
        net->elements[i].node2 = n2;
    };
    add(0, InputTerminal, 0, 0);
    add(1, FilterBlock, 0, 1);
    for (int i = 2; i < 31; ++i) {
        add(i, OutputPort, 1, 2);
        net->params[i].p[kParamOutputNumber] = 1.0f;
    }
    add(31, Ground, 2, 2);
    net->params[1].p[kParamBypass] = 1.0f;
    net->element_count = 4000000000u;
    net->joint_count = 3;
    auto buf = std::make_unique<SolverBuffers>(kN);
    ASSERT_EQ(SolveNetwork(net.get(), buf->in, buf->out, nullptr), 0);
    // 29 loads of 100 uS on the block's output.
    EXPECT_NEAR(buf->electrical[0][10].re, 10.0 / (10.0 + 29e-4), 1e-6);
    EXPECT_EQ(buf->element_index[15], 17);
    // A joint count beyond the table is clamped; the joints it names without branches make the system singular.
    net->joint_count = 4000000000u;
    MessageList messages;
    EXPECT_EQ(SolveNetwork(net.get(), buf->in, buf->out, &messages), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kReconnectNodesText);
}

TEST(NetworkSolver, APurelyImaginaryBinTakesTheSamePhaseAsSynthesis) {
    // A second-order Butterworth high-pass at 1500 Hz: at N = 512 and 48 kHz bin 128 lies exactly on its
    // corner, where H = j / sqrt(2), +90 degrees. The curves must show what synthesis plays there.
    EXPECT_NEAR(CurvePhaseDegrees(0.0, 0.5), 0.5 * kPi * 57.288, 1e-9);
    EXPECT_NEAR(CurvePhaseDegrees(0.0, -2.0), -0.5 * kPi * 57.288, 1e-9);
    EXPECT_EQ(CurvePhaseDegrees(0.0, 0.0), 0.0);
    ChainNet c;
    c.P(c.block)[kParamBypass] = 0.0f;
    c.P(c.block)[kParamFilterFamily] = static_cast<float>(kFamilyButterworth);
    c.P(c.block)[kParamFilterSlope] = static_cast<float>(kSlopeHp12);
    c.P(c.block)[kParamFilterFrequency] = 1500.0f;
    const int o = 2, corner = 128;
    for (uint32_t spl_only : {0u, 1u}) {
        auto buf = std::make_unique<SolverBuffers>(kN);
        buf->in.spl_only_eq = spl_only;
        ASSERT_EQ(buf->frequencies[corner], 1500.0f);
        ASSERT_EQ(SolveNetwork(c.net.get(), buf->in, buf->out, nullptr), 0);
        // The case in question: the acoustic response of that bin has a real part of exactly 0.
        ASSERT_EQ(buf->acoustic[o][corner].re, 0.0f);
        ASSERT_GT(buf->acoustic[o][corner].im, 0.0f);
        const double quarter_turn = 0.5 * kPi * 57.288;
        EXPECT_NEAR(buf->curves[kCurveFilterPhase + o].Values[corner], quarter_turn, 1e-3);
        EXPECT_NEAR(buf->curves[kCurveFinalPhase + o].Values[corner], quarter_turn, 1e-3);
        // The System phase: with SplOnlyEq 0 the acoustic phase counts as cancelled at every bin, this one
        // included, leaving the small constant; with SplOnlyEq 1 it is the response's own +90 degrees.
        const double system = spl_only ? quarter_turn : 0.0001 * 57.288;
        for (int k : {corner - 1, corner, corner + 1})
            EXPECT_NEAR(buf->curves[kCurveSystemPhase].Values[k], k == corner || !spl_only ? system
                                                                      : buf->curves[kCurveSystemPhase].Values[k], 1e-3)
                << k;
    }
}

TEST(NetworkSolver, ANonFiniteSolutionFailsNamingThePaneAndWritesNothing) {
    // Each of these makes a spectrum that is no number: synthesis would turn it into a NaN filter, and the
    // output stage would play silence. The solve refuses instead, names the channel, and leaves every value
    // that synthesis and the engine read as it was.
    struct Variant {
        const char* name;
        void (*change)(ChainNet&);
    };
    const Variant variants[] = {
        {"a channel gain of 800 dB", [](ChainNet& c) { c.P(c.output)[kParamOutputGain] = 800.0f; }},
        {"an infinite channel delay", [](ChainNet& c) { c.P(c.output)[kParamChannelDelay] = INFINITY; }},
        {"a driver response point that is not a number",
         [](ChainNet& c) { c.net->driver_responses[c.output].re[300] = std::nanf(""); }},
        {"a driver response that overflows with the gain",
         [](ChainNet& c) {
             c.net->driver_responses[c.output].re[5] = 3e38f;
             c.P(c.output)[kParamOutputGain] = 20.0f;
         }},
    };
    for (const Variant& v : variants) {
        ChainNet c;
        c.P(c.output)[kParamCabsDelay] = 5.0f;
        v.change(c);
        auto buf = std::make_unique<SolverBuffers>(kN);
        buf->in.pane_name = "Front-Left";
        MessageList messages;
        EXPECT_EQ(SolveNetwork(c.net.get(), buf->in, buf->out, &messages), 1) << v.name;
        ASSERT_EQ(messages.size(), 1u) << v.name;
        EXPECT_EQ(messages[0].text, std::string("Front-Left") + kNotFiniteText) << v.name;
        EXPECT_EQ(messages[0].caption, "HV Message");
        for (int o = 0; o < kOutputCount; ++o) {
            EXPECT_EQ(buf->spectrum[o][0].re, 1.0f) << v.name;
            EXPECT_EQ(buf->phase_reference[o][100].re, 1e-7f) << v.name;
            EXPECT_EQ(buf->polarity[o], 7) << v.name;
            EXPECT_EQ(buf->delay[o], 7.0f) << v.name;
            EXPECT_EQ(buf->cabs_enabled[o], 7) << v.name;
            EXPECT_EQ(buf->cabs_samples[o], 7) << v.name;
        }
    }
}

TEST(NetworkSolver, ACabsDelayTheEngineRingCannotHoldIsRefused) {
    // At N = 512 the ring holds 4 x 512 = 2048 samples: 42 whole milliseconds at 48 samples each.
    ChainNet c;
    auto buf = std::make_unique<SolverBuffers>(kN);
    buf->in.pane_name = "Subwoofer";
    c.P(c.output)[kParamCabsDelay] = 42.9f;
    ASSERT_EQ(SolveNetwork(c.net.get(), buf->in, buf->out, nullptr), 0);
    EXPECT_EQ(buf->cabs_samples[2], 42 * 48);
    EXPECT_LE(buf->cabs_samples[2], 4 * kN);
    auto refused = std::make_unique<SolverBuffers>(kN);
    refused->in.pane_name = "Subwoofer";
    MessageList messages;
    for (float ms : {43.0f, 1e30f}) {
        c.P(c.output)[kParamCabsDelay] = ms;
        messages.clear();
        EXPECT_EQ(SolveNetwork(c.net.get(), refused->in, refused->out, &messages), 1) << ms;
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "Subwoofer: WARNING! Maximum Delay is 42.0ms");
        EXPECT_EQ(refused->cabs_samples[2], 7);
    }
    // The same delay fits four blocks of 1024.
    c.P(c.output)[kParamCabsDelay] = 43.0f;
    auto larger = std::make_unique<SolverBuffers>(1024);
    ASSERT_EQ(SolveNetwork(c.net.get(), larger->in, larger->out, nullptr), 0);
    EXPECT_EQ(larger->cabs_samples[2], 43 * 48);
}
