// The room equalizer dialog's texts, bars and mouse read-outs, and the geometry of its three plots.
#include "measure/room_eq_controls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/colour_editor.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/startup.h"
#include "design/network_model.h"
#include "design/pane_editor.h"
#include "measure/room_eq_plots.h"
#include "measure/room_eq_state.h"
#include "test_util.h"

namespace {

struct RoomEqDialogLogic : ::testing::Test {
    ScratchDir dir;
    float p[kElementParamCount] = {};
    void SetUp() override {
        MessageList messages;
        ASSERT_TRUE(StartRecords(dir.Path().string() + "/", &messages));
        HV_Buffer_Size = 3;
        RebuildBinGrid(1, 3);  // 48 kHz, N = 4096: bins 1.465 Hz apart
        OpenRoomEqState();
        p[kParamLowEdge] = 20.0f;
        p[kParamHighEdge] = 200.0f;
    }
    void TearDown() override {
        SelectedElement = -1;
        ReleaseRecords();
    }
};

std::vector<std::string> Texts(const std::vector<RoomEqPlotLabel>& labels) {
    std::vector<std::string> t;
    for (const RoomEqPlotLabel& l : labels) t.push_back(l.text);
    return t;
}

}  // namespace

// The boxes: a lower edge below 10.1 Hz and an upper one above 250 Hz are held there; the texts shown at opening.
TEST_F(RoomEqDialogLogic, BoxesKeepTheirLimits) {
    EXPECT_TRUE(ApplyRoomEqBox(6021, "5", p));
    EXPECT_EQ(p[kParamLowEdge], 10.1f);
    EXPECT_TRUE(ApplyRoomEqBox(6022, "300", p));
    EXPECT_EQ(p[kParamHighEdge], 250.0f);
    EXPECT_TRUE(ApplyRoomEqBox(6022, "180.25", p));
    EXPECT_EQ(p[kParamHighEdge], 180.25f);
    EXPECT_TRUE(ApplyRoomEqBox(6023, "-12.5dB", p));
    EXPECT_EQ(p[kParamFilterGain], -12.5f);
    EXPECT_TRUE(ApplyRoomEqBox(10147, "1.2345678912", p));  // nine characters read
    EXPECT_EQ(p[kParamChannelDelay], 1.2345678f);
    EXPECT_FALSE(ApplyRoomEqBox(6030, "7", p));
    const RoomEqBoxTexts t = RoomEqOpeningTexts(p);
    EXPECT_EQ(t.from, "10.1");
    EXPECT_EQ(t.to, "180.2");
    EXPECT_EQ(t.slope, "-12.50");
    EXPECT_EQ(t.add_delay, "1.2346");
    EXPECT_EQ(t.add_db, "0.0");
    EXPECT_EQ(RoomEqCorrectionName(0), "Output Port 1");
    EXPECT_EQ(RoomEqCorrectionName(15), "Output Port 16");
    EXPECT_EQ(RoomEqCorrectionName(16), "No Correction");
}

// A typed "Add dB To SPL" of 901 or 1e39 (no float holds it), a "Projected Slope" of 1e30 or a delay past
// 1000 ms or "nan" is refused with its message and the parameter keeps its value; -100 dB is taken. The same values from a project file: the EQ is
// neither computed nor stored, and the block's response stays as it was.
TEST_F(RoomEqDialogLogic, OutOfRangeLevelSlopeAndDelayAreRefused) {
    MessageList out;
    p[kParamOutputGain] = 3.0f;
    EXPECT_TRUE(ApplyRoomEqBox(10170, "901", p, &out));
    EXPECT_EQ(p[kParamOutputGain], 3.0f);
    EXPECT_TRUE(ApplyRoomEqBox(6023, "1e30", p, &out));
    EXPECT_EQ(p[kParamFilterGain], 0.0f);
    EXPECT_TRUE(ApplyRoomEqBox(10147, "-1000.1", p, &out));
    p[kParamChannelDelay] = 2.0f;
    EXPECT_TRUE(ApplyRoomEqBox(10170, "1e39", p, &out));
    EXPECT_TRUE(ApplyRoomEqBox(10147, "nan", p, &out));
    EXPECT_EQ(p[kParamOutputGain], 3.0f);
    EXPECT_EQ(p[kParamChannelDelay], 2.0f);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].text, kRoomEqAddedLevelRange);
    EXPECT_EQ(out[1].text, kRoomEqSlopeRange);
    EXPECT_EQ(out[2].text, kRoomEqAddedDelayRange);
    EXPECT_EQ(out[3].text, kRoomEqAddedLevelRange);
    EXPECT_EQ(out[4].text, kRoomEqAddedDelayRange);
    EXPECT_EQ(out[2].caption, "HV Message");
    EXPECT_TRUE(ApplyRoomEqBox(10170, "-100", p, &out));
    EXPECT_EQ(p[kParamOutputGain], -100.0f);
    EXPECT_EQ(out.size(), 5u);

    ResetWorkingNetwork(WorkingNet);
    WorkingNet->elements[0].kind = RoomEqBlock;
    WorkingNet->params[0].p[kParamPlotFlag] = 16.0f;
    WorkingNet->params[0].p[kParamOutputGain] = 901.0f;
    WorkingNet->element_responses[0].points[5] = ComplexPoint{0.5f, 0.25f};
    SelectedElement = 0;
    MessageList refused;
    EXPECT_FALSE(ComputeRoomEqNow(&refused));
    EXPECT_FALSE(StoreRoomEqResponseNow(&refused));
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_EQ(refused[1].text, kRoomEqAddedLevelRange);
    EXPECT_EQ(WorkingNet->element_responses[0].points[5].im, 0.25f);
}

// The window time and width: 30,000 samples at 48 kHz show as 625.000 ms; 0.5 ms typed becomes "1.0" with a
// width text of 48.00000 (eight characters); what is not a number counts as too short.
TEST_F(RoomEqDialogLogic, WindowTimeAndWidthTexts) {
    EXPECT_EQ(RoomEqWindowTimeText("30000", 1), "625.000");
    EXPECT_EQ(ApplyRoomEqWindowTime("0.5", 1), "1.0");
    EXPECT_STREQ(MlsSettings.TimeMsText, "1.0");
    EXPECT_STREQ(MlsSettings.WindowWidthText, "48.00000");
    EXPECT_EQ(ApplyRoomEqWindowTime("250", 1), "");
    EXPECT_STREQ(MlsSettings.WindowWidthText, "12000.00");
    EXPECT_EQ(ApplyRoomEqWindowTime("inf", 2), "1.0");
    EXPECT_STREQ(MlsSettings.WindowWidthText, "96.00000");
}

// The bars: the threshold's top is +35 dB, its bottom -55 dB; the volume runs 0..100 %.
TEST_F(RoomEqDialogLogic, ThresholdAndVolumeBars) {
    EXPECT_EQ(RoomEqThresholdScroll(70, kScrollLeft, 0), 35);
    EXPECT_EQ(RoomEqThresholdScroll(70, kScrollRight, 0), 125);
    EXPECT_EQ(RoomEqThresholdScroll(36, kScrollPageLeft, 0), 35);
    EXPECT_EQ(RoomEqThresholdScroll(70, kScrollThumbTrack, 90), 90);
    EXPECT_EQ(RoomEqThresholdScroll(70, kScrollLineRight, 0), 71);
    EXPECT_EQ(RoomEqVolumeScroll(95, kScrollPageRight, 0), 100);
    EXPECT_EQ(RoomEqVolumeScroll(5, kScrollPageLeft, 0), 0);
    EXPECT_EQ(RoomEqVolumeLabel(10), "Volume = 10%");
}

// The mouse over the plots: column trunc((x - 60) x 2000 / 1840) from 0 to 782; the caption reads the averaged
// level (+90 dB) and phase over the SPL plot, the excess group delay over the delay plot, the plain title
// elsewhere, and stays as it was inside a plot off its columns.
TEST_F(RoomEqDialogLogic, CaptionsFollowTheMouse) {
    EXPECT_EQ(RoomEqColumnAt(59), -1);
    EXPECT_EQ(RoomEqColumnAt(60), 0);
    EXPECT_EQ(RoomEqColumnAt(60 + 719), 781);
    EXPECT_EQ(RoomEqColumnAt(60 + 720), 782);
    EXPECT_EQ(RoomEqColumnAt(60 + 721), -1);
    EXPECT_NEAR(RoomEqPlotFrequencyTable[0], 10.04, 0.01);
    EXPECT_NEAR(RoomEqPlotFrequencyTable[1999], 50000.0, 1.0);
    const int c = RoomEqColumnAt(400);
    const int k = RoomEqBinOfColumn(c);
    EXPECT_GE(BinFrequencyTable[k], RoomEqPlotFrequencyTable[c]);
    EXPECT_LT(BinFrequencyTable[k - 1], RoomEqPlotFrequencyTable[c]);
    RoomEqCurves[kRoomEqAverageSplSlot].Values[k] = -3.5f;
    RoomEqCurves[kRoomEqAveragePhaseSlot].Values[k] = 12.25f;
    RoomEqCurves[kRoomEqGroupDelaySlot].Values[k] = 41.04f;
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "Minimum-Phase Room Equalizer: Ampl = 86.50 dB, Phase = 12.25 deg, Freq = %.1f Hz",
                  static_cast<double>(BinFrequencyTable[k]));
    std::string caption;
    ASSERT_TRUE(RoomEqCaptionAt(400, 300, &caption));
    EXPECT_EQ(caption, expected);
    std::snprintf(expected, sizeof expected,
                  "Minimum-Phase Room Equalizer: Excess Group Delay = 41.0 ms,  Freq = %.1f Hz",
                  static_cast<double>(BinFrequencyTable[k]));
    ASSERT_TRUE(RoomEqCaptionAt(400, 600, &caption));
    EXPECT_EQ(caption, expected);
    caption = "unchanged";
    EXPECT_FALSE(RoomEqCaptionAt(30, 300, &caption));
    EXPECT_FALSE(RoomEqCaptionAt(900, 600, &caption));
    EXPECT_EQ(caption, "unchanged");
    ASSERT_TRUE(RoomEqCaptionAt(400, 550, &caption));
    EXPECT_EQ(caption, "Minimum-Phase Room Equalizer");
}

// Clicks in the SPL plot: the left button proposes the lower edge, the right one the upper edge, as the bin's
// frequency to one decimal; an edge that would pass the other is a "Frequency Selection Error".
TEST_F(RoomEqDialogLogic, ClicksSetTheBandEdges) {
    std::string text;
    const int x_low = 60 + 200;  // column 217: about 28 Hz
    const float f = BinFrequencyTable[RoomEqBinOfColumn(RoomEqColumnAt(x_low))];
    ASSERT_EQ(RoomEqClickBand(true, x_low, 300, p, &text), RoomEqBandClick::kSet);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.1f", static_cast<double>(f));
    EXPECT_EQ(text, expected);
    EXPECT_EQ(RoomEqClickBand(false, x_low, 300, p, &text), RoomEqBandClick::kSet);
    p[kParamHighEdge] = f;
    EXPECT_EQ(RoomEqClickBand(true, x_low, 300, p, &text), RoomEqBandClick::kError);
    p[kParamLowEdge] = f;
    EXPECT_EQ(RoomEqClickBand(false, x_low, 300, p, &text), RoomEqBandClick::kError);
    EXPECT_EQ(RoomEqClickBand(true, x_low, 600, p, &text), RoomEqBandClick::kNone);
    EXPECT_EQ(RoomEqClickBand(true, 20, 300, p, &text), RoomEqBandClick::kNone);
}

// The frequency axis at the dialog's range (10 Hz .. 50 kHz): grid lines up to 200 Hz, the labels 10 .. 200 and
// "Hz"; 2.4 times widened, 279 Hz lies at the right edge.
TEST(RoomEqPlots, FrequencyAxisAtTheDialogsRange) {
    const RoomEqFrequencyAxis axis = RoomEqFrequencyAxisOf(10.0, 50000.0, 800, 360);
    EXPECT_EQ(axis.grid_x.size(), 11u);  // 10 .. 90, 100, 200
    EXPECT_EQ(axis.grid_x.front(), 60);
    EXPECT_EQ(Texts(axis.labels), (std::vector<std::string>{"10", "20", "30", "40", "60", "80", "100", "200", "Hz"}));
    const double s = (2.4 * 800 - 80) / std::log10(5000.0);
    EXPECT_EQ(axis.labels[7].x, static_cast<int>(60 + s * std::log10(20.0) - 1.0));
    EXPECT_EQ(axis.labels[7].y, 340);
    EXPECT_NEAR(10.0 * std::pow(10.0, 720.0 / s), 280.0, 2.0);  // at x = W - 20
    const RoomEqFrequencyAxis wide = RoomEqFrequencyAxisOf(1.0, 100000.0, 800, 200);
    EXPECT_EQ(Texts(wide.labels)[0], "1");
    EXPECT_EQ(Texts(wide.labels)[7], "10");  // 1..6 and 8 labelled, 7 and 9 not
}

// A frequency curve visits bins 0..4N in column order and stops past column 781 (about 279 Hz); levels are
// held on the plot's edges, a value that is not a number on the upper one.
TEST(RoomEqPlots, FrequencyCurvesStayInsideTheData) {
    std::vector<float> bins(131072), columns(2000);
    for (int k = 0; k < 131072; ++k) bins[k] = static_cast<float>(k * 48000.0 / 32768.0);
    bins[0] = 0.01f;
    for (int i = 0; i < 2000; ++i) columns[i] = static_cast<float>(10.0 * std::pow(5000.0, (i + 1) / 2000.0));
    const int H = 360;
    int calls = 0;
    const std::vector<RoomEqPlotPoint> curve = RoomEqFrequencyCurve(
        [&](int k) {
            ++calls;
            return k < 20 ? 200.0 : k < 40 ? -200.0 : k < 60 ? std::nan("") : 0.0;
        },
        RoomEqLevelMap(H), 800, H, 4096, bins.data(), columns.data());
    ASSERT_FALSE(curve.empty());
    EXPECT_TRUE(curve.front().move);
    EXPECT_EQ(curve[0].y, 19);
    EXPECT_EQ(curve[25].y, H - 21);
    EXPECT_EQ(curve[45].y, 19);
    EXPECT_EQ(curve[100].y, static_cast<int>(20.0 + 7.0 * 320.0 / 18.0));  // 0 dB re 90 dB: the 90 dB line
    // Bins up to column 781 (below 279.5 Hz) only.
    EXPECT_EQ(calls, static_cast<int>(curve.size()));
    EXPECT_LT(bins[curve.size() - 1], columns[781]);
    EXPECT_GE(bins[curve.size()], columns[781]);
    EXPECT_EQ(curve.back().x, static_cast<int>(60 + 0.0005 * (2.4 * 800 - 80) * 781));
    for (std::size_t i = 1; i < curve.size(); ++i) ASSERT_GE(curve[i].x, curve[i - 1].x);
}

// The impulse plot: 2000 display samples 0.36 pixels apart, the measured trace alone zoomed; the labels 180 ..
// -180 and the times of every 50th sample (0, 1, 2, 3 ms at 48 kHz).
TEST(RoomEqPlots, ImpulsePlotLabelsAndZoom) {
    std::vector<float> v(3100, 0.0f);
    v[100] = 40.0f;
    const int H = 200;
    const std::vector<RoomEqPlotPoint> measured = RoomEqImpulseCurve(v.data(), RoomEqMeasuredImpulseMap(H, 2), 800, H);
    ASSERT_EQ(measured.size(), 2000u);
    EXPECT_EQ(measured[100].x, 96);
    EXPECT_EQ(measured[100].y, static_cast<int>(20.0 + 9.0 * 160.0 / 18.0 - 0.05 * 160.0 / 18.0 * 4.0 * 40.0));
    EXPECT_EQ(measured[0].y, static_cast<int>(20.0 + 9.0 * 160.0 / 18.0));
    const std::vector<RoomEqPlotPoint> reference = RoomEqImpulseCurve(v.data(), RoomEqReferenceImpulseMap(H), 800, H);
    EXPECT_EQ(reference[100].y, static_cast<int>(20.0 + 4.0 * 160.0 / 18.0 - 0.05 * 160.0 / 18.0 * 40.0));
    const std::vector<std::string> t = Texts(RoomEqImpulseLabels(800, H, 48000.0));
    EXPECT_EQ(t[0], "180");
    EXPECT_EQ(t[18], "-180");
    EXPECT_EQ(t[19], "DAC");
    EXPECT_EQ((std::vector<std::string>(t.begin() + 20, t.begin() + 24)), (std::vector<std::string>{"0", "1", "2", "3"}));
    EXPECT_EQ(t.back(), "ms");
    const std::vector<std::string> spl = Texts(RoomEqSplLabels(360));
    EXPECT_EQ(spl[0], "125");
    EXPECT_EQ(spl[1], "180");
    EXPECT_EQ(spl[36], "35");
    const std::vector<RoomEqPlotLabel> delay = RoomEqDelayLabels(200);
    EXPECT_EQ(delay[0].text, "-20");
    EXPECT_EQ(delay[0].y, 170);
    EXPECT_EQ(delay[18].text, "340");
}

// A curve is drawn only when its visible flag is exactly 1.0; its pen is the system plot's pen of the header.
TEST(RoomEqPlots, PensFromCurveHeaders) {
    const float shown[6] = {1.0f, 300.0f, 20.9f, 7.0f, 2.0f, 3.0f};
    EXPECT_TRUE(RoomEqCurveShown(shown));
    const PlotPen a = RoomEqPenOf(shown);
    EXPECT_EQ(a.red, 44);
    EXPECT_EQ(a.green, 20);
    EXPECT_EQ(a.width, 2);
    EXPECT_EQ(a.style, 2);  // dashed
    const float odd[6] = {0.99f, 1.0f, 1.0f, 1.0f, std::nanf(""), 7.0f};
    EXPECT_FALSE(RoomEqCurveShown(odd));
    EXPECT_EQ(RoomEqPenOf(odd).width, 0);
    EXPECT_EQ(RoomEqPenOf(odd).style, 0);  // solid
}
