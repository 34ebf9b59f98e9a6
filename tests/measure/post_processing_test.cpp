#include "measure/post_processing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "measure/mls_spl.h"
#include "tests/app/heap_record.h"

namespace {

constexpr int kBins = kSplLinearPoints;
constexpr double kDeg = 57.288;
constexpr double kPi = 3.14159265358979323846;

struct PostRig {
    std::vector<PlotCurve> buffers = std::vector<PlotCurve>(kPostSlots);
    std::vector<PlotCurve> mls = std::vector<PlotCurve>(kMlsCurveSlots);
    HeapRecord<HV_Driver_Data> driver = AllocZeroed<HV_Driver_Data>();
    std::vector<float> bins = std::vector<float>(kBins);
    std::vector<float> log = std::vector<float>(kSplLogPoints);
    ColourEntry colours[kColourSchemeEntries];
    PostProcessBuffers b;

    PostRig() {
        for (int k = 0; k < kBins; ++k) bins[k] = k == 0 ? 0.01f : static_cast<float>(k * 0.366);  // 96 kHz, N 4096
        for (int j = 0; j < kSplLogPoints; ++j) log[j] = static_cast<float>(20.0 * std::pow(1000.0, (j - 699) / 2000.0));
        for (int c = 0; c < kColourSchemeEntries; ++c) colours[c] = ColourEntry{c, 2 * c, 3 * c, 1, c % 4};
        b.buffers = buffers.data();
        b.mls_curves = mls.data();
        b.driver = driver.get();
        b.bin_frequency = bins.data();
        b.log_frequency = log.data();
        b.colours = colours;
    }
    // Buffer n as the complex response g e^(-j 2 pi f t) (t in seconds).
    void SetDelay(int n, double g, double t) {
        for (int k = 0; k < kBins; ++k) {
            const std::complex<double> h = std::polar(g, -2.0 * kPi * bins[k] * t);
            buffers[2 * n - 2].Values[k] = static_cast<float>(h.real());
            buffers[2 * n - 1].Values[k] = static_cast<float>(h.imag());
        }
    }
    std::complex<double> At(int slot_pair, int k) const {
        return {buffers[slot_pair].Values[k], buffers[slot_pair + 1].Values[k]};
    }
};

double Wrap(double d) {
    d = std::fmod(d, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d <= -180.0) d += 360.0;
    return d;
}

}  // namespace

// The measured pair is the one before the next slot, round the ten pairs: after the tenth result pair 9, not
// the oldest pair 0.
TEST(PostProcessing, MeasuredPairIsTheLastResultRoundTheTenSlots) {
    int spl, phase;
    MeasuredPairSlots(0, 0, &spl, &phase);
    EXPECT_EQ(spl, 9);
    EXPECT_EQ(phase, 19);
    MeasuredPairSlots(3, 3, &spl, &phase);
    EXPECT_EQ(spl, 2);
    EXPECT_EQ(phase, 12);
    PostRig r;
    r.b.spl_slot = r.b.phase_slot = 0;  // after ten results
    for (int k = 0; k < kBins; ++k) r.driver->spl_lin[k] = 93.0f, r.driver->phase_lin[k] = -40.0f;
    RefreshMeasuredPair(r.b);
    EXPECT_EQ(r.mls[9].Values[500], 3.0f);
    EXPECT_EQ(r.mls[19].Values[500], -40.0f);
    EXPECT_EQ(r.mls[0].Values[500], 0.0f);
}

// Store and back: the driver's SPL and phase come back through the buffer's complex form; the sum takes the
// signed buffers; no box gives silence, whose swatch lies on its bottom line, while a flat 90 dB lies at 15.
TEST(PostProcessing, StoreSumAndSwatch) {
    PostRig r;
    for (int k = 0; k < kBins; ++k) {
        r.driver->spl_lin[k] = static_cast<float>(80.0 + 10.0 * std::sin(k * 1e-4));
        r.driver->phase_lin[k] = static_cast<float>(Wrap(k * 0.01));
    }
    ASSERT_TRUE(StoreSplInBuffer(r.b, 2, nullptr));
    for (int k = 1; k < kBins; k += 1013) {
        const std::complex<double> h = r.At(2, k);
        EXPECT_NEAR(ComplexToSpl(static_cast<float>(h.real()), static_cast<float>(h.imag())), r.driver->spl_lin[k], 1e-3);
        EXPECT_NEAR(Wrap(std::arg(h) * kDeg - r.driver->phase_lin[k]), 0.0, 0.02);
    }
    EXPECT_EQ(r.buffers[2].Red, 3.0f);   // colour entry 2b - 1
    EXPECT_EQ(r.buffers[3].Green, 8.0f); // entry 2b
    r.SetDelay(1, 0.5, 0.001);
    r.SetDelay(3, 0.25, 0.0);
    const int weights[kPostBuffers] = {1, 0, -1, 0, 0};
    ASSERT_TRUE(SumIntoMaster(r.b, weights, nullptr));
    for (int k = 0; k < kBins; k += 4099) EXPECT_NEAR(std::abs(r.At(10, k) - (r.At(0, k) - r.At(4, k))), 0.0, 1e-6);
    const int none[kPostBuffers] = {0, 0, 0, 0, 0};
    ASSERT_TRUE(SumIntoMaster(r.b, none, nullptr));
    for (int k = 0; k < kBins; k += 4099) EXPECT_EQ(r.At(10, k), std::complex<double>(0.0, 0.0));

    std::vector<float> plot(2000);
    for (int c = 0; c < 2000; ++c) plot[c] = static_cast<float>(20.0 * std::pow(1000.0, (c + 1) / 2000.0));
    const std::vector<SwatchPoint> silent = BufferSwatchPoints(r.buffers[10], r.buffers[11], r.bins.data(), plot.data(), 4096, 0, 0);
    ASSERT_FALSE(silent.empty());
    for (const SwatchPoint& p : silent) EXPECT_EQ(p.y, 45);
    ClearAllPostBuffers(r.b);
    EXPECT_EQ(r.buffers[10].Values[77], 1.0f);
    EXPECT_EQ(r.buffers[11].Values[77], 0.0f);
    const std::vector<SwatchPoint> flat = BufferSwatchPoints(r.buffers[10], r.buffers[11], r.bins.data(), plot.data(), 4096, 3, 4);
    EXPECT_TRUE(flat.front().move);
    // 15 - 5 log10(1 + 1e-13) lies a hair below 15, and the pixel row is its whole part.
    for (const SwatchPoint& p : flat) EXPECT_EQ(p.y, static_cast<int>(4 + (15.0 - 5.0 * std::log10(1.0 + 1e-13))));
    EXPECT_EQ(flat.size(), 8u * 4096u + 1u);  // every bin up to 8N has a column in 20 Hz .. 20 kHz
    EXPECT_EQ(flat.front().x, 5);
}

// The merge keeps each side's values and splits where the frequency falls, hard; a frequency below the first
// bin takes source 2 everywhere; sources outside 1..5 are refused with their messages and change nothing.
TEST(PostProcessing, MergeKeepsEachSideAndRefusesOtherSources) {
    PostRig r;
    r.SetDelay(4, 0.5, 0.0);
    r.SetDelay(5, 2.0, 0.002);
    MessageList out;
    ASSERT_TRUE(MergeIntoMaster(r.b, "4", "5", "500.0", &out));
    const int m = MergeSplitBin(r.bins.data(), 500.0);
    EXPECT_LT(r.bins[m], 500.0f);
    EXPECT_GE(r.bins[m + 1], 500.0f);
    for (int k = 0; k < kBins; k += 97) {
        const int source = k < m ? 6 : 8;
        ASSERT_EQ(r.At(10, k), r.At(source, k)) << k;
    }
    EXPECT_EQ(r.At(10, m - 1), r.At(6, m - 1));
    EXPECT_EQ(r.At(10, m), r.At(8, m));
    // A frequency below 1 Hz is taken as 1 Hz: the split falls below the first bin above it.
    EXPECT_EQ(MergeSplitBin(r.bins.data(), 0.001), 2);
    ASSERT_TRUE(MergeIntoMaster(r.b, "4", "5", "0.001", &out));
    EXPECT_EQ(r.At(10, 1), r.At(6, 1));
    EXPECT_EQ(r.At(10, 2), r.At(8, 2));
    EXPECT_TRUE(out.empty());
    const std::vector<PlotCurve> before = r.buffers;
    EXPECT_FALSE(MergeIntoMaster(r.b, "0", "5", "500", &out));
    EXPECT_FALSE(MergeIntoMaster(r.b, "4", "6", "500", &out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].text, "Incorrect MERGE 1 Source");
    EXPECT_EQ(out[1].text, "Incorrect MERGE 2 Source");
    EXPECT_EQ(std::memcmp(before.data(), r.buffers.data(), before.size() * sizeof(PlotCurve)), 0);
}

// A delay keeps the level and turns the phase by -360 f D (buffers and the driver alike); a gain multiplies by
// 10^(x/20); destination 7, or 6 for the copy, is refused with "Incorrect SAVE Destination".
TEST(PostProcessing, DelayTurnsThePhaseAndGainScales) {
    PostRig r;
    r.SetDelay(2, 0.7, 0.0);
    MessageList out;
    ASSERT_TRUE(AddDelayToBuffer(r.b, "1.5", "2", &out));
    for (int k = 0; k < kBins; k += 811) {
        const std::complex<double> want = std::polar(0.7, -2.0 * kPi * r.bins[k] * 0.0015);
        ASSERT_NEAR(std::abs(r.At(2, k) - want), 0.0, 2e-5) << k;
    }
    for (int k = 0; k < kBins; ++k) r.driver->spl_lin[k] = 77.0f, r.driver->phase_lin[k] = 10.0f;
    ASSERT_TRUE(AddDelayToBuffer(r.b, "0.25", "0", &out));
    for (int k = 0; k < kBins; k += 811) {
        ASSERT_NEAR(r.driver->spl_lin[k], 77.0, 1e-3);
        ASSERT_NEAR(Wrap(r.driver->phase_lin[k] - (10.0 - 0.36 * r.bins[k] * 0.25)), 0.0, 0.05) << k;
    }
    ASSERT_TRUE(AddGainToBuffer(r.b, "6.0", "6", &out));  // the master accepts a gain
    r.SetDelay(1, 1.0, 0.0);
    ASSERT_TRUE(AddGainToBuffer(r.b, "-6.0", "1", &out));
    EXPECT_NEAR(r.At(0, 1000).real(), std::pow(10.0, -0.3), 1e-6);
    ASSERT_TRUE(AddGainToBuffer(r.b, "3.0", "0", &out));
    EXPECT_FLOAT_EQ(r.driver->spl_lin[5], 80.0f);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(AddGainToBuffer(r.b, "3.0", "7", &out));
    EXPECT_FALSE(AddDelayToBuffer(r.b, "3.0", "-1", &out));
    EXPECT_FALSE(CopyMasterBuffer(r.b, "6", &out, nullptr));
    ASSERT_EQ(out.size(), 3u);
    for (const HvMessage& m : out) EXPECT_EQ(m.text, "Incorrect SAVE Destination");
}

// Typed gains and delays outside their ranges ("800", "3e38", "inf", "nan") are refused with their field's message;
// a result that a float could not hold is refused with its own, nothing changed, so no later step meets a NaN.
TEST(PostProcessing, OutOfRangeGainsDelaysAndResultsAreRefusedWithAMessage) {
    PostRig r;
    r.SetDelay(1, 1.0, 0.0001);
    for (int k = 0; k < kBins; ++k) r.driver->spl_lin[k] = 80.0f, r.driver->phase_lin[k] = 10.0f;
    const std::vector<PlotCurve> before = r.buffers;
    MessageList out;
    for (const char* db : {"800", "3e38", "1e39", "inf", "nan", "-200.5"})
        for (const char* to : {"0", "1"}) EXPECT_FALSE(AddGainToBuffer(r.b, db, to, &out)) << db << " to " << to;
    for (const char* ms : {"1e308", "-1001", "nan"}) EXPECT_FALSE(AddDelayToBuffer(r.b, ms, "2", &out)) << ms;
    ASSERT_EQ(out.size(), 15u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(out[i].text, "Gain Is Out Of Range (-200.....+200dB)") << i;
    for (int i = 12; i < 15; ++i) EXPECT_EQ(out[i].text, "Delay Is Out Of Range (-1000.....+1000ms)") << i;
    EXPECT_EQ(out[0].caption, "HV Message");
    EXPECT_EQ(out[0].icon, MessageIcon::Warning);
    EXPECT_EQ(std::memcmp(before.data(), r.buffers.data(), before.size() * sizeof(PlotCurve)), 0);
    for (int k = 0; k < kBins; k += 997) ASSERT_EQ(r.driver->spl_lin[k], 80.0f);

    // Steps within the range that together pass what a buffer holds (80 + 4 x 200 dB is 10^40 relative to 90 dB):
    // the step that would pass it is refused, so the delay and the store that follow stay finite.
    out.clear();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(AddGainToBuffer(r.b, "200", "0", &out));
    EXPECT_FALSE(AddGainToBuffer(r.b, "200", "0", &out));
    ASSERT_TRUE(AddDelayToBuffer(r.b, "0", "0", &out));
    ASSERT_TRUE(StoreSplInBuffer(r.b, 1, &out));
    for (int k = 0; k < kBins; k += 997) {
        ASSERT_NEAR(r.driver->spl_lin[k], 680.0, 1e-2) << k;
        ASSERT_NEAR(ComplexToSpl(r.buffers[0].Values[k], r.buffers[1].Values[k]), 680.0, 1e-2) << k;
    }
    // A buffer at that level summed with itself would overflow, and a driver curve read from elsewhere at 900 dB
    // has no complex form: both are refused.
    r.SetDelay(2, 3e38, 0.0);
    const int weights[kPostBuffers] = {0, 1, 0, 0, 0};
    const int twice[kPostBuffers] = {0, 1, 0, 1, 0};
    r.SetDelay(4, 3e38, 0.0);
    EXPECT_TRUE(SumIntoMaster(r.b, weights, &out));
    const std::vector<PlotCurve> summed = r.buffers;
    EXPECT_FALSE(SumIntoMaster(r.b, twice, &out));
    for (int k = 0; k < kBins; ++k) r.driver->spl_lin[k] = 900.0f;
    EXPECT_FALSE(StoreSplInBuffer(r.b, 3, &out));
    EXPECT_FALSE(AddDelayToBuffer(r.b, "1", "0", &out));
    EXPECT_EQ(std::memcmp(summed.data(), r.buffers.data(), summed.size() * sizeof(PlotCurve)), 0);
    ASSERT_EQ(out.size(), 4u);
    for (const HvMessage& m : out) EXPECT_EQ(m.text, "The Result Would Be Out Of Range\nNothing Was Changed");
}

// The phase difference of two delays is unwrapped: 360 f (t2 - t1) degrees, brought down by whole turns only
// while above 360 and at most ten times.
TEST(PostProcessing, PhaseDifferenceIsUnwrapped) {
    PostRig r;
    r.SetDelay(1, 1.0, 0.0001);
    r.SetDelay(2, 1.0, 0.0003);
    MessageList out;
    ASSERT_TRUE(ShowPhaseDifference(r.b, "1", "2", &out));
    EXPECT_EQ(r.buffers[12].Visible, 1.0f);
    EXPECT_EQ(r.buffers[13].Visible, 1.0f);
    // Each phase unwrapped as the page does it: the principal value in the page's degrees (57.288 a radian)
    // plus whole turns of 360.
    auto unwrapped = [&](int k, double t) {
        const double theta = -2.0 * kPi * r.bins[k] * t;
        const double principal = std::atan2(std::sin(theta), std::cos(theta));
        return kDeg * principal + 360.0 * std::round((theta - principal) / (2.0 * kPi));
    };
    for (int k = 1; k < 40000; k += 37) {
        double want = unwrapped(k, 0.0001) - unwrapped(k, 0.0003);
        for (int turns = 0; turns < 10 && want > 360.0; ++turns) want -= 360.0;
        ASSERT_NEAR(r.buffers[13].Values[k], want, 0.05) << k;
    }
    EXPECT_FALSE(ShowPhaseDifference(r.b, "9", "2", &out));
    EXPECT_FALSE(ShowPhaseDifference(r.b, "1", "", &out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].text, "Incorrect PHASE 1 Source");
    EXPECT_EQ(out[1].text, "Incorrect PHASE 2 Source");
}

// The master copied into the driver: its linear curves, and the log grid rebuilt from them, each point the
// highest bin below it and the points between bins bridged; points above the last bin stay at -160 dB.
TEST(PostProcessing, CopyToTheDriverRebuildsTheLogGrid) {
    PostRig r;
    r.SetDelay(kMasterBuffer, 0.5, 0.0);  // slots 10 and 11
    for (int k = 0; k < kBins; ++k) {     // a level that rises with the bin, for the bridge to show
        const double g = std::pow(10.0, 0.05 * (-6.0 + 1e-4 * k));
        r.buffers[10].Values[k] = static_cast<float>(g * std::cos(0.3));
        r.buffers[11].Values[k] = static_cast<float>(g * std::sin(0.3));
    }
    MessageList out;
    int copied = -1;
    ASSERT_TRUE(CopyMasterBuffer(r.b, "0", &out, &copied));
    EXPECT_EQ(copied, 0);
    EXPECT_NEAR(r.driver->spl_lin[1000], 84.0 + 0.1, 1e-3);
    EXPECT_NEAR(r.driver->phase_lin[1000], 0.3 * kDeg, 1e-3);
    // Independently: the highest bin below each point, then straight lines between the points that got one.
    std::vector<int> bin_of(kSplLogPoints, -1);
    for (int k = 0; k < kBins; ++k)
        for (int j = 0; j < kSplLogPoints; ++j)
            if (r.bins[k] < r.log[j]) {
                bin_of[j] = k;
                break;
            }
    std::vector<int> valid;
    for (int j = 0; j < kSplLogPoints; ++j)
        if (bin_of[j] >= 0) valid.push_back(j);
    for (std::size_t v = 0; v + 1 < valid.size(); ++v) {
        const int a = valid[v], c = valid[v + 1];
        const double ya = r.driver->spl_lin[bin_of[a]], yc = r.driver->spl_lin[bin_of[c]];
        for (int j = a; j < c; ++j) ASSERT_NEAR(r.driver->spl_log[j], ya + (j - a) * (yc - ya) / (c - a), 1e-3) << j;
    }
    for (int j = valid.back() + 1; j < kSplLogPoints; ++j) ASSERT_EQ(r.driver->spl_log[j], -160.0f);
    EXPECT_NEAR(r.driver->phase_log[valid[5]], 0.3 * kDeg, 1e-3);
    ASSERT_TRUE(CopyMasterBuffer(r.b, "3", &out, &copied));
    EXPECT_EQ(copied, 3);
    EXPECT_EQ(r.buffers[4].Values[99], r.buffers[10].Values[99]);
    EXPECT_EQ(r.buffers[4].Visible, 1.0f);
}
