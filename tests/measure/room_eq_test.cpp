// The room equalizer's arithmetic against closed forms: a location's SPL and phase from known impulse responses,
// the bin stride, the averages, the cut-only EQ and its band edges, the two minimum-phase transforms, and the
// causality of the response "Done" stores.
#include "measure/room_eq.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "engine/fft.h"
#include "measure/mls_analysis.h"
#include "room_eq_model_phase.h"
#include "room_eq_test_buffers.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFs = 48000.0;

// The angle between two phases in radians, wrapped into (-pi, pi].
double AngleBetween(double a, double b) { return std::remainder(a - b, 2.0 * kPi); }

struct Impulses {
    std::vector<float> ref = std::vector<float>(kMlsImpulseFloats);
    std::vector<float> in = std::vector<float>(kMlsImpulseFloats);
};

LocationAnalysisSettings Rectangular(int location) {
    LocationAnalysisSettings s;
    s.order = 18;
    s.rate_index = 1;
    s.window_type = 2;  // rectangular: the responses pass unchanged
    s.window_width = "30000";
    s.cursor = 50;
    s.location = location;
    return s;
}

uint64_t SlotDigest(const RoomEqTestBuffers& t, int slot) { return Digest(&t.curves[slot], sizeof(PlotCurve)); }

}  // namespace

// A unit reference at the aligned peak and a measured g delta D samples later: the location's level is
// 20 log10 g + p13 - 90 dB at every mapped grid point and its phase -360 f D / fs (plus the added delay p11), in
// the program's degrees; grid points past the mapped MLS bins keep the empty -160 dB. At 48 kHz with N = 4096
// and 262,143 points every eighth MLS bin is a grid point.
TEST(RoomEqAnalysis, DelayedGainGivesItsLevelAndPhaseSlope) {
    RoomEqTestBuffers t;
    Impulses x;
    const int D = 37;
    const double g = 0.5;
    x.ref[kMlsAlignedPeak] = 1.0f;
    x.in[kMlsAlignedPeak + D] = static_cast<float>(g);
    LocationAnalysisSettings s = Rectangular(2);
    s.added_db = 3.5f;
    s.added_delay_ms = 0.25f;
    MessageList out;
    ASSERT_EQ(AnalyseLocationRun(x.ref.data(), x.in.data(), s, t.Buffers(), &out), 0);
    EXPECT_TRUE(out.empty());
    const PlotCurve& spl = t.curves[kRoomEqLocationSplSlot + 2];
    const PlotCurve& phase = t.curves[kRoomEqLocationPhaseSlot + 2];
    EXPECT_TRUE(RoomEqLocationMeasured(t.curves.data(), 2));
    EXPECT_FALSE(RoomEqLocationMeasured(t.curves.data(), 1));
    EXPECT_EQ(spl.Visible, 1.0f);
    EXPECT_EQ(spl.Red, 1.0f);  // pen of colour entry 1
    EXPECT_EQ(phase.Green, 4.0f);  // entry 2
    const double level = 20.0 * std::log10(g) + 3.5 - 90.0;
    const double delay_s = D / kFs + 0.25e-3;
    for (int j = 1; j < 16384; j += 97) {
        ASSERT_NEAR(spl.Values[j], level, 1e-3) << j;
        const double expected = std::remainder(-2.0 * kPi * t.bins[j] * delay_s, 2.0 * kPi);
        ASSERT_NEAR(AngleBetween(phase.Values[j] / kDegreesPerRadian, expected), 0.0, 1e-4) << j;
        // The stored degrees are radians times 57.288, not 180 / pi.
        ASSERT_NEAR(phase.Values[j], expected * kDegreesPerRadian, 1e-2) << j;
    }
    // 131,072 / 8 grid points are mapped; the rest keep -160 dB (re 90 dB: -250) at 0 degrees.
    for (int j : {16384, 50000, 131071}) {
        EXPECT_EQ(spl.Values[j], -250.0f);
        EXPECT_EQ(phase.Values[j], 0.0f);
    }
    // The window trace over the impulse plot: 145 x the window from the cursor on.
    const PlotCurve& w = t.curves[kRoomEqWindowSlot];
    EXPECT_EQ(w.Values[49], 0.0f);
    EXPECT_EQ(w.Values[50], 145.0f);
    EXPECT_EQ(w.Values[1999], 145.0f);
    EXPECT_EQ(w.Values[2000], 1.0f);
}

// A two-tap echo (1 and c, 96 samples apart) is a comb with notches every 500 Hz: its level at each grid point
// is 10 log10(1 + c^2 + 2c cos(2 pi f 96 / fs)) - 90 dB, here with a reference of amplitude 1000, whose level the
// correction takes out relative to its own (flat) level.
TEST(RoomEqAnalysis, TwoTapEchoCombLandsOnTheMappedBins) {
    RoomEqTestBuffers t(0);  // N = 512: every 64th MLS bin
    Impulses x;
    const double c = 0.5;
    x.ref[kMlsAlignedPeak] = 1000.0f;
    x.in[kMlsAlignedPeak + 5] = 1.0f;
    x.in[kMlsAlignedPeak + 101] = static_cast<float>(c);
    ASSERT_EQ(AnalyseLocationRun(x.ref.data(), x.in.data(), Rectangular(0), t.Buffers(), nullptr), 0);
    const float* spl = t.curves[kRoomEqLocationSplSlot].Values;
    for (int j = 1; j < 2048; j += 7) {
        const double f = t.bins[j];
        const double expected = 10.0 * std::log10(1.0 + c * c + 2.0 * c * std::cos(2.0 * kPi * f * 96.0 / kFs)) - 90.0;
        ASSERT_NEAR(spl[j], expected, 2e-3) << j << " at " << f << " Hz";
    }
    EXPECT_EQ(spl[2048], -250.0f);
}

// A reference that is not flat, 1000 (1 + a z^-d), and a measured g z^-(D + d0): the location's level is
// 20 log g plus the correction 20 log(1 + a) - 20 log|1 + a e^-jwd| (the reference flattened relative to its
// strongest bin) plus p13 - 90, and its phase -w D - arg(1 + a e^-jwd): the reference's phase taken out.
TEST(RoomEqAnalysis, NonFlatReferenceIsTakenOutOfLevelAndPhase) {
    RoomEqTestBuffers t(0);
    Impulses x;
    const double a = 0.5, g = 0.25;
    const int d = 7, D = 23;
    x.ref[kMlsAlignedPeak] = 1000.0f;
    x.ref[kMlsAlignedPeak + d] = static_cast<float>(1000.0 * a);
    x.in[kMlsAlignedPeak + D] = static_cast<float>(g);
    LocationAnalysisSettings s = Rectangular(0);
    s.added_db = 4.0f;
    ASSERT_EQ(AnalyseLocationRun(x.ref.data(), x.in.data(), s, t.Buffers(), nullptr), 0);
    for (int j = 1; j < 2048; j += 13) {
        const double w = 2.0 * kPi * t.bins[j] / kFs;
        const std::complex<double> r = 1.0 + a * std::polar(1.0, -w * d);
        const double level = 20.0 * std::log10(g) + 20.0 * std::log10(1.0 + a) - 20.0 * std::log10(std::abs(r)) + 4.0 - 90.0;
        ASSERT_NEAR(t.curves[kRoomEqLocationSplSlot].Values[j], level, 1e-3) << j;
        const double phase = t.curves[kRoomEqLocationPhaseSlot].Values[j] / kDegreesPerRadian;
        ASSERT_NEAR(AngleBetween(phase, -w * D - std::arg(r)), 0.0, 1e-4) << j;
    }
}

// The stride is the grid spacing over the MLS spacing when that is a power of two from 1 to 64: it reproduces
// every cell of the table the rates and block sizes give, and also serves 44.1 kHz. MLS bins coarser than the
// grid ask for a smaller block; spacings that share no power of two are refused.
TEST(RoomEqAnalysis, BinStrideIsEveryPowerOfTwoUpTo64) {
    const double grids[] = {48000.0 / 4096, 48000.0 / 8192, 48000.0 / 16384, 48000.0 / 32768};  // N = 512 .. 4096
    const double mls[] = {48000.0 / 262144, 48000.0 / 131072, 48000.0 / 65536, 48000.0 / 32768};
    const int table[4][4] = {{64, 32, 16, 8}, {32, 16, 8, 4}, {16, 8, 4, 2}, {8, 4, 2, 1}};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            int stride = 0;
            ASSERT_EQ(RoomEqBinStride(grids[row], mls[col], &stride), RoomEqStrideCheck::kFits) << row << col;
            EXPECT_EQ(stride, table[row][col]) << row << col;
        }
    int stride = 0;
    EXPECT_EQ(RoomEqBinStride(48000.0 / 65536, 48000.0 / 32768, &stride), RoomEqStrideCheck::kBufferTooLarge);
    EXPECT_EQ(RoomEqBinStride(44100.0 / 4096, 44100.0 / 262144, &stride), RoomEqStrideCheck::kFits);
    EXPECT_EQ(stride, 64);
    EXPECT_EQ(RoomEqBinStride(44100.0 / 4096, 48000.0 / 262144, &stride), RoomEqStrideCheck::kRatesDoNotFit);
    EXPECT_EQ(RoomEqBinStride(96000.0 / 4096, 48000.0 / 262144, &stride), RoomEqStrideCheck::kRatesDoNotFit);  // 128
    EXPECT_EQ(RoomEqBinStride(0.0, 1.0, &stride), RoomEqStrideCheck::kRatesDoNotFit);
}

// A run whose spacings do not fit, or whose window is longer than the sequence, stops with its message and
// leaves the location as it was: not measured, its curves untouched.
TEST(RoomEqAnalysis, RefusedRunsLeaveTheLocationUntouched) {
    RoomEqTestBuffers t;
    for (int k = 0; k < kRoomEqGridBins; ++k) t.bins[k] = static_cast<float>(k * 44100.0 / 32768.0);
    Impulses x;
    x.ref[kMlsAlignedPeak] = x.in[kMlsAlignedPeak] = 1.0f;
    const uint64_t spl = SlotDigest(t, kRoomEqLocationSplSlot + 3), phase = SlotDigest(t, kRoomEqLocationPhaseSlot + 3);
    MessageList out;
    EXPECT_EQ(AnalyseLocationRun(x.ref.data(), x.in.data(), Rectangular(3), t.Buffers(), &out), 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, kRatesDoNotFit);
    EXPECT_EQ(out[0].caption, "HV Message");
    LocationAnalysisSettings s = Rectangular(3);
    s.window_width = "262144";
    EXPECT_EQ(AnalyseLocationRun(x.ref.data(), x.in.data(), s, t.Buffers(), &out), 1);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].text, kReduceWindowLength);
    EXPECT_EQ(SlotDigest(t, kRoomEqLocationSplSlot + 3), spl);
    EXPECT_EQ(SlotDigest(t, kRoomEqLocationPhaseSlot + 3), phase);
    EXPECT_FALSE(RoomEqLocationMeasured(t.curves.data(), 3));
    // The same run at 44.1 kHz throughout is analysed.
    s = Rectangular(3);
    s.rate_index = 0;
    EXPECT_EQ(AnalyseLocationRun(x.ref.data(), x.in.data(), s, t.Buffers(), &out), 0);
    EXPECT_TRUE(RoomEqLocationMeasured(t.curves.data(), 3));
    EXPECT_NEAR(t.curves[kRoomEqLocationSplSlot + 3].Values[500], -90.0, 1e-3);
}

// Two locations in antiphase: their vector average falls far below either, their scalar average keeps the
// level. A driver correction multiplies in the output port's equalization over the element response's bins.
TEST(RoomEqCompute, VectorAndScalarAveragesAndTheDriverCorrection) {
    RoomEqTestBuffers t(0);
    const double half_turn = kPi * kDegreesPerRadian;  // 180 degrees on the program's scale
    t.SetLocation(0, [](double) { return 10.0; }, [](double) { return 30.0; });
    t.SetLocation(4, [](double) { return 10.0; }, [&](double) { return 30.0 + half_turn; });
    ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers());
    const float* level = t.curves[kRoomEqAverageSplSlot].Values;
    for (int k = 0; k < kRoomEqGridBins; k += 4099) ASSERT_LT(level[k], 10.0 - 60.0) << k;

    t.Params()[kParamInputNode] = 1.0f;  // scalar average
    ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers());
    const float* phase = t.curves[kRoomEqAveragePhaseSlot].Values;
    for (int k = 0; k < kRoomEqGridBins; k += 4099) {
        ASSERT_NEAR(level[k], 10.0, 1e-3) << k;
        ASSERT_EQ(phase[k], 0.0f) << k;
        // Scalar: the excess phase is the averaged phase itself.
        ASSERT_EQ(t.curves[kRoomEqExcessPhaseSlot].Values[k], phase[k]) << k;
    }
    EXPECT_EQ(t.curves[kRoomEqAverageSplSlot].Visible, 1.0f);

    // Output port 3 (p7 = 2) holds an equalization of 0.5: -6.02 dB on bins 0..65,535 only.
    const int port = 5;
    t.net->elements[port - 1].kind = Junction;
    t.net->elements[port].kind = OutputPort;
    t.net->params[port].p[kParamOutputNumber] = 3.0f;
    for (ComplexPoint& c : t.net->element_responses[port].points) c = ComplexPoint{0.0f, 0.5f};
    for (int i = 1; i < port - 1; ++i) t.net->elements[i].kind = Junction;
    t.Params()[kParamPlotFlag] = 2.0f;
    ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers());
    EXPECT_NEAR(level[100], 10.0 + 20.0 * std::log10(0.5), 1e-3);
    EXPECT_NEAR(phase[100], 90.0 / 180.0 * half_turn, 1e-3);  // times j
    EXPECT_NEAR(level[65535], 10.0 - 6.0206, 1e-3);
    EXPECT_NEAR(level[65536], 10.0, 1e-3);
    // An output the network lacks corrects nothing.
    t.Params()[kParamPlotFlag] = 7.0f;
    ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers());
    EXPECT_NEAR(level[100], 10.0, 1e-3);
}

// The phase chain against closed forms. A flat room whose phase is a delay tau: the averaged phase is
// -2 pi f tau wrapped, the room's minimum phase 0, so the excess phase is that wrapped delay; steps of about
// 150 degrees wrap by about 210, which stays below the 270 of the unwrap, while steps of about 42 wrap by 318
// and are unwrapped into the straight line, by 360 a turn although the program's turn is 2 pi x 57.288. The
// excess group delay is |9 x step / (pi df)|. A +12 dB resonance at 80 Hz (Q 3, within 0.2 dB of 0 dB at 12 and
// 498 Hz, where the room curve is held) at zero phase has the phase of the reciprocal of its minimum-phase form,
// -arg H, as room phase and excess phase.
TEST(RoomEqCompute, PhaseChainAgainstClosedForms) {
    RoomEqTestBuffers t(0);
    const double df = t.bins[1];
    auto wrapped = [](double radians) { return std::remainder(radians, 2.0 * kPi) * kDegreesPerRadian; };
    auto unwrapped_by_360 = [&](double radians) {
        return wrapped(radians) + 360.0 * std::round((radians - std::remainder(radians, 2.0 * kPi)) / (2.0 * kPi));
    };
    for (const double step : {150.0, 42.0}) {
        const double tau = step / (2.0 * kPi * df * kDegreesPerRadian);
        t.SetLocation(1, [](double) { return -20.0; }, [&](double f) { return -2.0 * kPi * f * tau * kDegreesPerRadian; });
        ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers());
        for (int k = 1; k < 2000; ++k) {
            const double expected = wrapped(-2.0 * kPi * t.bins[k] * tau);
            ASSERT_NEAR(t.curves[kRoomEqAveragePhaseSlot].Values[k], expected, 2e-3) << step << " " << k;
            ASSERT_NEAR(t.curves[kRoomEqMinimumPhaseSlot].Values[k], 0.0, 1e-3) << step << " " << k;
            ASSERT_NEAR(t.curves[kRoomEqExcessPhaseSlot].Values[k], expected, 2e-3) << step << " " << k;
            const double unwrapped = step > 100.0 ? expected : unwrapped_by_360(-2.0 * kPi * t.bins[k] * tau);
            ASSERT_NEAR(t.curves[kRoomEqUnwrappedSlot].Values[k], unwrapped, 0.02) << step << " " << k;
            const double next = step > 100.0 ? wrapped(-2.0 * kPi * t.bins[k + 1] * tau)
                                             : unwrapped_by_360(-2.0 * kPi * t.bins[k + 1] * tau);
            ASSERT_NEAR(t.curves[kRoomEqGroupDelaySlot].Values[k], 9.0 * std::fabs(next - unwrapped) / (kPi * df), 0.005)
                << step << " " << k;
        }
    }

    RoomEqTestBuffers room(3);
    auto resonance = [](double f) {
        const std::complex<double> s(0.0, f / 80.0);
        return (s * s + s * 4.0 / 3.0 + 1.0) / (s * s + s / 3.0 + 1.0);
    };
    room.SetLocation(0, [&](double f) { return 20.0 * std::log10(std::abs(resonance(f))); }, [](double) { return 0.0; });
    ComputeRoomEq(*room.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, room.Buffers());
    for (int k = 14; room.bins[k] < 300.0f; k += 5) {
        const double expected = -std::arg(resonance(room.bins[k])) * kDegreesPerRadian;
        ASSERT_NEAR(room.curves[kRoomEqMinimumPhaseSlot].Values[k], expected, 1.0) << room.bins[k] << " Hz";
        ASSERT_EQ(room.curves[kRoomEqExcessPhaseSlot].Values[k], room.curves[kRoomEqMinimumPhaseSlot].Values[k]);
    }
}

// A room 6 dB above the threshold everywhere is cut by 6 dB inside the band: held flat outside the band, the
// cut's curve is flat over the whole grid, so its minimum phase is 0 everywhere.
TEST(RoomEqCompute, FlatCutHasNoPhase) {
    RoomEqTestBuffers t(0);
    t.SetLocation(0, [](double) { return 6.0; }, [](double) { return 0.0; });
    ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers());
    EXPECT_NEAR(t.curves[kRoomEqEqSplSlot].Values[10], -6.0, 1e-5);
    for (int k = 0; k < 8 * t.n; k += 7) ASSERT_NEAR(t.curves[kRoomEqEqPhaseSlot].Values[k], 0.0, 1e-3) << k;
}

// The cut-only EQ is never above 0 dB: inside p2 < f <= p3 everything above T comes down to T, and the
// equalized curve is the average plus the EQ. A bin at exactly p2 is outside, one at exactly p3 inside, a
// level at or just below T is not cut, and one 0.01 dB above it is cut by 0.01 dB. With no location measured
// the average is 0 dB and 0 degrees.
TEST(RoomEqCompute, CutOnlyEqInsideItsBand) {
    RoomEqTestBuffers t(0);
    ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers());
    for (int k = 0; k < kRoomEqGridBins; k += 1000) {
        ASSERT_EQ(t.curves[kRoomEqAverageSplSlot].Values[k], 0.0f);
        ASSERT_EQ(t.curves[kRoomEqEqSplSlot].Values[k], 0.0f);
    }
    const int lo = 3, hi = 15, exact = 9, above = 10;  // bins 35.2, 175.8, 105.5 and 117.2 Hz at N = 512
    t.SetLocation(2, [](double f) { return 8.0 * std::sin(f / 9.0) + 2.0; }, [](double) { return 0.0; });
    t.curves[kRoomEqLocationSplSlot + 2].Values[exact] = -5.001f;
    t.curves[kRoomEqLocationSplSlot + 2].Values[above] = -4.99f;
    t.curves[kRoomEqLocationSplSlot + 2].Values[lo] = t.curves[kRoomEqLocationSplSlot + 2].Values[hi] = 6.0f;
    t.Params()[kParamLowEdge] = t.bins[lo];
    t.Params()[kParamHighEdge] = t.bins[hi];
    const int position = 75;  // T = -5 dB
    ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, position, t.Buffers());
    const float* m = t.curves[kRoomEqAverageSplSlot].Values;
    const float* eq = t.curves[kRoomEqEqSplSlot].Values;
    const float* equalized = t.curves[kRoomEqEqualizedSlot].Values;
    int cut = 0;
    for (int k = 0; k < kRoomEqGridBins; ++k) {
        ASSERT_LE(eq[k], 0.0f) << k;
        const bool inside = k > lo && k <= hi;
        if (inside && m[k] > -5.0f) {
            ASSERT_NEAR(eq[k], -5.0 - m[k], 1e-5) << k;
            ++cut;
        } else {
            ASSERT_EQ(eq[k], 0.0f) << k;
        }
        ASSERT_EQ(equalized[k], m[k] + eq[k]) << k;
    }
    EXPECT_GT(cut, 5);
    EXPECT_EQ(eq[lo], 0.0f);
    EXPECT_NEAR(eq[hi], -11.0, 1e-3);
    EXPECT_NEAR(m[exact], -5.001, 1e-4);
    EXPECT_EQ(eq[exact], 0.0f);
    EXPECT_NEAR(eq[above], -0.01, 1e-4);
    EXPECT_EQ(t.curves[kRoomEqEqSplSlot].Red, 13.0f);  // pen of entry 13
    EXPECT_EQ(t.curves[kRoomEqEqualizedSlot].Red, 12.0f);
    EXPECT_EQ(t.curves[kRoomEqGroupDelaySlot].Red, 16.0f);
}

// A location 800 dB above 90 dB (no float holds its amplitude) makes the average infinite: the result is
// refused, slots 24..33 are all 0 rather than infinite or NaN; an EQ slot of +800 dB is not stored.
TEST(RoomEqCompute, ResultsThatAreNotFiniteAreRefused) {
    RoomEqTestBuffers t(0);
    t.SetLocation(0, [](double) { return 800.0; }, [](double) { return 0.0; });
    EXPECT_FALSE(ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers()));
    for (int slot = kRoomEqEqSplSlot; slot <= kRoomEqAveragePhaseSlot; ++slot)
        for (int k = 0; k < kRoomEqGridBins; k += 997) ASSERT_EQ(t.curves[slot].Values[k], 0.0f) << slot << " " << k;
    t.curves[kRoomEqEqSplSlot].Values[7] = 800.0f;
    EXPECT_FALSE(StoreRoomEqResponse(t.net.get(), RoomEqTestBuffers::kBlock, t.curves.data()));
    EXPECT_EQ(t.net->element_responses[RoomEqTestBuffers::kBlock].points[7].re, 1.0f);
}

// The EQ transform of a first-order shelf, 0 dB falling to -12 dB between 20 and 80 Hz, against the phase of
// (1 + jf/80) / (1 + jf/20) within 0.5 degrees; the magnitude is the curve's. A curve flat over the grid gives
// phase 0; a band with p2 >= p3 writes nothing.
TEST(RoomEqTransforms, ShelfAgainstItsClosedForm) {
    RoomEqTestBuffers t(3);
    std::vector<float> shelf(kRoomEqGridBins);
    for (int k = 0; k < kRoomEqGridBins; ++k) {
        const std::complex<double> h = std::complex<double>(1.0, t.bins[k] / 80.0) / std::complex<double>(1.0, t.bins[k] / 20.0);
        shelf[k] = static_cast<float>(20.0 * std::log10(std::abs(h)));
    }
    const RoomEqTransformGrid g = t.Grid();
    ASSERT_EQ(RoomEqMinimumPhase(shelf.data(), 1.5f, 3000.0f, g), 0);
    for (int k = 4; t.bins[k] < 1000.0f; k += 3) {
        const double f = t.bins[k];
        const double expected = std::atan(f / 80.0) - std::atan(f / 20.0);
        const double phase = std::atan2(t.spectrum[2 * k + 1], t.spectrum[2 * k]);
        ASSERT_NEAR(phase * 180.0 / kPi, expected * 180.0 / kPi, 0.5) << f << " Hz";
        ASSERT_NEAR(20.0 * std::log10(std::hypot(t.spectrum[2 * k], t.spectrum[2 * k + 1])), shelf[k], 1e-4) << f;
    }

    std::vector<float> flat(kRoomEqGridBins, -3.0f);
    ASSERT_EQ(RoomEqMinimumPhase(flat.data(), 20.0f, 200.0f, g), 0);
    ASSERT_EQ(MeasuredMinimumPhase(flat.data(), 0.0f, g), 0);
    for (int k = 0; k < 16 * t.n; k += 511) {
        ASSERT_NEAR(t.spectrum[2 * k + 1], 0.0, 1e-6) << k;
        ASSERT_NEAR(t.spectrum[2 * k], std::pow(10.0, -0.15), 1e-6) << k;
    }
    t.spectrum[0] = 7.0f;
    EXPECT_EQ(RoomEqMinimumPhase(flat.data(), 200.0f, 200.0f, g), 1);
    EXPECT_EQ(t.spectrum[0], 7.0f);
}

// The room transform's preparation at block 512 and 48 kHz (f[1] = 11.72 Hz): bins 1 and 0 lie at or below
// 12 Hz and follow the projected slope from bin 2; from bin 42 (the last at or below 498 Hz) the curve is flat
// at bin 41's value.
TEST(RoomEqTransforms, RoomCurveProjectedBelowTwelveAndFlatFrom498Hz) {
    RoomEqTestBuffers t(0);
    EXPECT_EQ(LastBinAtOrBelow(t.bins.data(), t.n, 12.0f), 1);
    EXPECT_EQ(LastBinAtOrBelow(t.bins.data(), t.n, 498.0f), 42);
    EXPECT_EQ(LastBinAtOrBelow(t.bins.data(), t.n, 0.0f), 0);        // held at 1.02 Hz: bin 0 is below it
    EXPECT_EQ(LastBinAtOrBelow(t.bins.data(), t.n, 1e9f), 4181);  // held at 49,000 Hz
    std::vector<float> room(kRoomEqGridBins);
    for (int k = 0; k < kRoomEqGridBins; ++k) room[k] = static_cast<float>(-0.01 * k);
    const RoomEqTransformGrid g = t.Grid();
    const float slope = 12.0f;
    ASSERT_EQ(MeasuredMinimumPhase(room.data(), slope, g), 0);
    const float* L = t.input_db.data();
    const float per_bin = slope / 0.375f;
    EXPECT_FLOAT_EQ(L[2], room[2]);
    EXPECT_FLOAT_EQ(L[1], room[2] - 6.355f * per_bin / (0.5f * (t.bins[1] + t.bins[2])));
    EXPECT_FLOAT_EQ(L[0], L[1] - 6.355f * per_bin / (0.5f * (t.bins[0] + t.bins[1])));
    for (int k = 41; k < kRoomEqGridBins; k += 997) ASSERT_EQ(L[k], room[41]) << k;
}

// The room transform against a model of its written steps made apart from the code (room_eq_model.py): a
// curve projected below 12 Hz with a slope of 12 dB, held flat from 498 Hz and transformed with the low end's
// slope order; at the lowest bins the phase hangs on both.
TEST(RoomEqTransforms, RoomTransformAgainstAModelOfItsSteps) {
    RoomEqTestBuffers t(0);
    std::vector<float> room(kRoomEqGridBins);
    for (int k = 0; k < kRoomEqGridBins; ++k) room[k] = static_cast<float>(6.0 * std::sin(t.bins[k] / 40.0) - 0.02 * t.bins[k]);
    ASSERT_EQ(MeasuredMinimumPhase(room.data(), 12.0f, t.Grid()), 0);
    for (const RoomModelPoint& m : kRoomModelPhase)
        EXPECT_NEAR(AngleBetween(std::atan2(t.spectrum[2 * m.bin + 1], t.spectrum[2 * m.bin]), m.phase), 0.0, 1e-3) << m.bin;
}

// "Done" stores the EQ so that the room-EQ block is a causal filter: the cut of a 50 Hz room resonance, made
// into an 8N-point impulse response from bins 0..4N of the element response, keeps its energy after t = 0;
// what lies before it is negligible. The stored phase is the slot's, the magnitude 10^(slot 24 / 20); with
// "EQ Amplitude Only" the imaginary parts are 0 and bins from 65,536 up keep what they held.
TEST(RoomEqCompute, StoredResponseIsCausal) {
    RoomEqTestBuffers t(3);
    auto resonance = [](double f) {  // +12 dB peak, Q 4, at 50 Hz
        const std::complex<double> s(0.0, f / 50.0);
        const std::complex<double> h = (s * s + s + 1.0) / (s * s + s / 4.0 + 1.0);
        return 20.0 * std::log10(std::abs(h));
    };
    t.SetLocation(0, resonance, [](double) { return 0.0; });
    ComputeRoomEq(*t.net, RoomEqTestBuffers::kBlock, kRoomEqThresholdDefault, t.Buffers());
    StoreRoomEqResponse(t.net.get(), RoomEqTestBuffers::kBlock, t.curves.data());
    const ComplexPoint* r = t.net->element_responses[RoomEqTestBuffers::kBlock].points;
    EXPECT_NEAR(20.0 * std::log10(std::hypot(r[34].re, r[34].im)), t.curves[kRoomEqEqSplSlot].Values[34], 1e-4);
    EXPECT_LT(t.curves[kRoomEqEqSplSlot].Values[34], -10.0f);  // 50 Hz is cut by about 12 dB

    const int points = 8 * t.n;
    std::vector<float> h(2 * points);
    for (int k = 0; k <= points / 2; ++k) {
        h[2 * k] = r[k].re;
        h[2 * k + 1] = r[k].im;
        if (k > 0 && k < points / 2) {
            h[2 * (points - k)] = r[k].re;
            h[2 * (points - k) + 1] = -r[k].im;
        }
    }
    ComplexFft(2 * points, 1, h.data(), t.bit_reverse.data(), t.twiddle.data());
    // The EQ is 1 (an impulse at t = 0) plus the cut: compare the cut's energy after and before t = 0.
    h[0] -= 1.0f;
    double after = 0.0, before = 0.0;
    for (int n = 0; n < points / 2; ++n) after += double(h[2 * n]) * h[2 * n];
    for (int n = points / 2; n < points; ++n) before += double(h[2 * n]) * h[2 * n];
    EXPECT_GT(after, 1e-4);
    // (The EQ with the phase of 1/H instead, the conjugate, puts more than 99 % of it before t = 0.)
    EXPECT_LT(before, 1e-2 * after) << "energy after t = 0: " << after << ", before: " << before;

    t.Params()[kParamPolarity] = 1.0f;  // "EQ Amplitude Only"
    t.net->element_responses[RoomEqTestBuffers::kBlock].points[0].im = 5.0f;
    StoreRoomEqResponse(t.net.get(), RoomEqTestBuffers::kBlock, t.curves.data());
    for (int k = 0; k < kResponsePoints; k += 101) {
        ASSERT_EQ(r[k].im, 0.0f) << k;
        ASSERT_NEAR(r[k].re, std::pow(10.0, 0.05 * t.curves[kRoomEqEqSplSlot].Values[k]), 1e-6) << k;
    }
}
