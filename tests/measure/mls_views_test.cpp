// The plot pages, the impulse window, the calibration sections and the acquisition page's rules, as data.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "measure/acquire_rules.h"
#include "measure/calibration_synthesis.h"
#include "measure/impulse_view.h"
#include "measure/mls_plot.h"
#include "tests/app/heap_record.h"

namespace {

constexpr double kDeg = 57.288;

struct PlotRig {
    std::vector<PlotCurve> mls = std::vector<PlotCurve>(kMlsCurveSlots);
    std::vector<PlotCurve> buffers = std::vector<PlotCurve>(18);
    std::vector<float> bins = std::vector<float>(kCurvePoints);
    std::vector<float> plot = std::vector<float>(kMlsPlotColumns);
    MlsPlotGeometry g;
    PlotRig() {
        for (int k = 0; k < static_cast<int>(kCurvePoints); ++k) bins[k] = k == 0 ? 0.01f : static_cast<float>(k * 48000.0 / 32768.0);
        g.width = 880;
        g.height = 400;
        RebuildPlotColumns(g, plot.data());
    }
};

double Db(std::complex<double> h) { return 10.0 * std::log10(std::norm(h)); }

}  // namespace

// Column i stands for pixel 60 + (i + 1) P / 2000 on the log axis; the dB labels run 125 .. 35 for 90/5; the
// window band at 48 kHz and 30000 samples ends at the first column above 1.6 Hz.
TEST(MlsPlot, ColumnsLabelsAndWindowBand) {
    PlotRig r;
    for (int i : {0, 999, 1999}) {
        const double x = 60 + (i + 1) * 800.0 / 2000.0;
        EXPECT_NEAR(std::log10(r.plot[i]), (x - r.g.X0()) / r.g.Sx(), 1e-4) << i;
    }
    const std::vector<std::string> db = PlotDbLabels(90, 5);
    EXPECT_EQ(db.front(), "125");
    EXPECT_EQ(db[7], "90");
    EXPECT_EQ(db.back(), "35");
    r.g.fmin = 1.0;
    RebuildPlotColumns(r.g, r.plot.data());
    const int end = WindowBandEndColumn(r.plot.data(), 48000.0, 30000.0);
    EXPECT_GT(r.plot[end], 1.6f);
    EXPECT_LE(r.plot[end - 1], 1.6f);
    EXPECT_EQ(PlotPenStyle(0), 0);
    EXPECT_EQ(PlotPenStyle(1), 0);
    EXPECT_EQ(PlotPenStyle(2), 1);
    EXPECT_EQ(PlotPenStyle(3), 2);
    EXPECT_EQ(PlotPenStyle(7), 2);  // bounded to dashed, not silently solid
}

// A click within 2 pixels of a curve hits it, 3 pixels away does not; a miss reports no curve (the page keeps
// the one it had); the read-out names the curve's level + 90, its phase and the bin's frequency.
TEST(MlsPlot, HitTestWithinTwoPixelsAndReadout) {
    PlotRig r;
    for (int k = 0; k < static_cast<int>(kCurvePoints); ++k) {
        r.mls[4].Values[k] = 12.0f;   // 102 dB
        r.mls[14].Values[k] = -33.0f;
        r.mls[0].Values[k] = -40.0f;
    }
    const int x = 400;
    const int y = static_cast<int>(std::trunc(CurveY(CurveKind::kSpl, 12.0, r.g)));
    for (int dy : {-2, 0, 2})
        EXPECT_EQ(PlotHitTest(0, x, y + dy, r.g, r.bins.data(), r.plot.data(), 4096, r.mls.data(), r.buffers.data()), 4);
    for (int dy : {-3, 3})
        EXPECT_EQ(PlotHitTest(0, x, y + dy, r.g, r.bins.data(), r.plot.data(), 4096, r.mls.data(), r.buffers.data()), -1);
    EXPECT_EQ(PlotHitTest(0, 59, y, r.g, r.bins.data(), r.plot.data(), 4096, r.mls.data(), r.buffers.data()), -1);
    const std::string title = PlotReadoutTitle(0, 4, x, y, r.g, r.bins.data(), r.plot.data(), 4096, r.mls.data(),
                                               r.buffers.data(), "mic.trg");
    EXPECT_EQ(title.rfind("MLS Frequency Domain, Ampl = 102.00 dB, Phase = -33.00 deg, Freq = ", 0), 0u) << title;
    EXPECT_EQ(PlotReadoutTitle(0, 4, 10, y, r.g, r.bins.data(), r.plot.data(), 4096, r.mls.data(), r.buffers.data(),
                               "mic.trg"),
              "MLS Frequency Domain  mic.trg");
}

// Copies fill the compare slots two at a time (SPL kind 1, phase kind 2), at most ten pairs; a buffer of page 2
// is copied as its level and phase; "Clear" hides them all and starts again.
TEST(MlsPlot, CompareCopiesAndClear) {
    PlotRig r;
    r.mls[3].Values[10] = 5.0f;
    r.mls[3].Red = 7.0f;
    r.mls[13].Values[10] = 45.0f;
    int count = 0;
    ASSERT_TRUE(CopyCurveToCompare(0, 3, r.mls.data(), r.buffers.data(), &count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(r.mls[30].Values[10], 5.0f);
    EXPECT_EQ(r.mls[30].Red, 7.0f);
    EXPECT_EQ(r.mls[30].Trailer[1], 1.0f);
    EXPECT_EQ(r.mls[31].Values[10], 45.0f);
    EXPECT_EQ(r.mls[31].Trailer[1], 2.0f);
    r.buffers[4].Values[10] = 0.0f;
    r.buffers[5].Values[10] = 0.5f;
    r.buffers[4].Blue = 9.0f;
    ASSERT_TRUE(CopyCurveToCompare(2, 4, r.mls.data(), r.buffers.data(), &count));
    EXPECT_NEAR(r.mls[32].Values[10], Db({0.0, 0.5}), 1e-4);
    EXPECT_NEAR(r.mls[33].Values[10], std::atan2(0.5, 1e-9) * kDeg, 1e-4);
    EXPECT_EQ(r.mls[32].Blue, 9.0f);
    EXPECT_EQ(r.mls[32].Visible, 1.0f);
    while (CopyCurveToCompare(0, 1, r.mls.data(), r.buffers.data(), &count)) {
    }
    EXPECT_EQ(count, 20);
    ClearCompareCurves(r.mls.data(), &count);
    EXPECT_EQ(count, 0);
    for (int s = 30; s < 50; ++s) EXPECT_EQ(r.mls[s].Visible, 0.0f);
    PlotFlags flags;
    flags.show_phase = 1;
    EXPECT_TRUE(PageCurves(3, r.mls.data(), r.buffers.data(), flags).empty());
}

// The curves of the measured page with their legends, and a polyline held inside the plot.
TEST(MlsPlot, PageCurvesAndPolyline) {
    PlotRig r;
    r.mls[2].Visible = 1.0f;
    r.mls[12].Visible = 1.0f;
    for (int k = 0; k < static_cast<int>(kCurvePoints); ++k) r.mls[2].Values[k] = k < 5000 ? 0.0f : 500.0f;
    PlotFlags flags;
    std::vector<PageCurve> curves = PageCurves(0, r.mls.data(), r.buffers.data(), flags);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].line_y, 25 + 6);
    flags.show_phase = 1;
    curves = PageCurves(0, r.mls.data(), r.buffers.data(), flags);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[1].line_y, 15 + 3 * 12);
    const std::vector<MlsPlotPoint> points = CurvePolyline(curves[0], r.g, r.bins.data(), r.plot.data(), 4096);
    ASSERT_FALSE(points.empty());
    EXPECT_TRUE(points.front().move);
    const int level0 = static_cast<int>(CurveY(CurveKind::kSpl, 0.0, r.g));
    EXPECT_EQ(points.front().y, level0);
    EXPECT_EQ(points.back().y, 19);  // 500 dB held at the top
}

// Each section type against its closed form at the cut-off: Butterworth -3 dB and -90 degrees, fourth-order
// Bessel -3.06 dB, Linkwitz -6 dB, Q-parametric G dB, every shelf G/2 dB with the dialog's mirrored naming;
// "By-Pass" is 1.
TEST(CalibrationSynthesis, SectionsAtTheirCutOffs) {
    CalSectionSet s = DefaultCalSections();
    s.sections[2].gain = 9.0f;
    s.sections[2].q = 4.0f;
    auto at = [&](float f, uint32_t type, uint32_t slope, uint32_t section = 2) {
        const CalResponse h = FilterSectionResponse(s, f, type, slope, 1000.0f, section);
        return std::complex<double>(h.re, h.im);
    };
    EXPECT_NEAR(Db(at(1000, 1, 1)), -3.01, 0.01);
    EXPECT_NEAR(std::arg(at(1000, 1, 1)) * kDeg, -89.99, 0.01);
    EXPECT_NEAR(Db(at(1000, 1, 8)), -3.01, 0.02);
    EXPECT_NEAR(Db(at(1000, 0, 3)), -3.06, 0.02);
    EXPECT_NEAR(Db(at(1000, 2, 3)), -6.02, 0.02);
    EXPECT_NEAR(Db(at(1000, 3, 0)), 9.0, 1e-4);
    for (uint32_t type = 4; type <= 7; ++type) EXPECT_NEAR(Db(at(1000, type, 0)), 4.5, 1e-3) << type;
    // "Shelving-6dB" rises to G above its cut-off, "Shelving+6dB" lies at G below it.
    EXPECT_NEAR(Db(at(10, 4, 0)), 0.0, 0.05);
    EXPECT_NEAR(Db(at(100000, 4, 0)), 9.0, 0.05);
    EXPECT_NEAR(Db(at(10, 6, 0)), 9.0, 0.05);
    EXPECT_NEAR(Db(at(100000, 6, 0)), 0.0, 0.05);
    EXPECT_EQ(at(1000, 8, 3), std::complex<double>(1.0, 0.0));
    EXPECT_EQ(at(1000, 2, 0), std::complex<double>(1.0, 0.0));  // no odd-order Linkwitz
    s.sections[2].q = 0.0005f;
    EXPECT_EQ(at(1000, 3, 0), std::complex<double>(1.0, 0.0));
}

// The whole curve: the product of the sections in dB and degrees at every bin into the curve, its display slots
// and the driver's copy; inverted, the negative; an inverted zero held at the floor's opposite (+100 dB).
TEST(CalibrationSynthesis, CurveProductInvertedAndFloored) {
    std::vector<float> bins(kCurvePoints);
    for (int k = 0; k < static_cast<int>(kCurvePoints); ++k) bins[k] = k == 0 ? 0.01f : static_cast<float>(k * 0.366);
    std::vector<CalPoint> curve(kCurvePoints), copy(kCurvePoints), inverted(kCurvePoints);
    std::vector<PlotCurve> mls(kMlsCurveSlots);
    ColourEntry colours[kColourSchemeEntries] = {};
    colours[5] = ColourEntry{1, 2, 3, 2, 3};
    CalSectionSet s = DefaultCalSections();
    for (CalSection& c : s.sections) c.type = 8;
    s.sections[1] = CalSection{1, 1, 2000.0f, 1.0f, 0.0f};  // Butterworth LP -12dB/oct at 2 kHz
    ASSERT_TRUE(SynthesizeCalibrationCurve(CalTarget::kMike, s, bins.data(), curve.data(), mls.data(), copy.data(),
                                           colours, nullptr));
    for (int k = 1; k < static_cast<int>(kCurvePoints); k += 5003) {
        const double x = bins[k] / 2000.0, y = x * x;
        const std::complex<double> h(1.0 - y, -1.414 * x);
        const std::complex<double> want = h / ((1 - y) * (1 - y) + 2 * y);
        ASSERT_NEAR(curve[k].spl_db, 10 * std::log10(std::norm(want) + 1e-10), 1e-3) << k;
        ASSERT_NEAR(curve[k].phase_deg, kDeg * std::arg(want), 1e-3) << k;
        EXPECT_EQ(copy[k].spl_db, curve[k].spl_db);
        EXPECT_EQ(mls[25].Values[k], curve[k].spl_db);
        EXPECT_EQ(mls[26].Values[k], curve[k].phase_deg);
    }
    EXPECT_EQ(mls[25].Visible, 1.0f);
    EXPECT_EQ(mls[25].PenStyle, 3.0f);
    s.invert = 1;
    ASSERT_TRUE(SynthesizeCalibrationCurve(CalTarget::kMike, s, bins.data(), inverted.data(), mls.data(), copy.data(),
                                           colours, nullptr));
    for (int k = 1; k < 60000; k += 4001) {
        ASSERT_NEAR(inverted[k].spl_db, -curve[k].spl_db, 1e-3) << k;
        ASSERT_NEAR(inverted[k].phase_deg, -curve[k].phase_deg, 1e-3) << k;
    }
    // Five -48 dB/oct sections at 1 Hz: at the top bins their product underflows to 0.
    for (CalSection& c : s.sections) c = CalSection{1, 4, 1.0f, 1.0f, 0.0f};
    ASSERT_TRUE(SynthesizeCalibrationCurve(CalTarget::kMike, s, bins.data(), inverted.data(), mls.data(), copy.data(),
                                           colours, nullptr));
    EXPECT_TRUE(std::isfinite(inverted[kCurvePoints - 1].spl_db));
    EXPECT_NEAR(inverted[kCurvePoints - 1].spl_db, 100.0, 0.01);
    EXPECT_TRUE(std::isfinite(inverted[kCurvePoints - 1].phase_deg));
    // A Q-Parametric section at 772 dB peaks at 10^38.6, beyond any float: no point of the curve is written.
    s = DefaultCalSections();
    s.sections[2].gain = 772.0f;
    const std::vector<CalPoint> kept = curve;
    MessageList out;
    EXPECT_FALSE(SynthesizeCalibrationCurve(CalTarget::kMike, s, bins.data(), curve.data(), mls.data(), copy.data(),
                                            colours, &out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text.substr(0, 40), "The Calibration Curve Is Out Of Range At");
    EXPECT_EQ(std::memcmp(kept.data(), curve.data(), kept.size() * sizeof(CalPoint)), 0);
}

// "Done": cut-offs below 1 Hz raised to 1, the first odd-order Linkwitz section refused with its message;
// construction and export accept exactly one "Use It" box.
TEST(CalibrationSynthesis, DoneChecksAndRefusals) {
    CalSectionSet s = DefaultCalSections();
    s.sections[3].cutoff = 0.0f;
    s.sections[2].type = 2;
    s.sections[2].slope = 5;
    bool raised[kCalSections];
    std::string refusal;
    EXPECT_FALSE(AcceptCalSections(&s, raised, &refusal));
    EXPECT_EQ(refusal, "LP Option NOT Applicable To Linkwitz Filters 2");
    EXPECT_TRUE(raised[3]);
    EXPECT_EQ(s.sections[3].cutoff, 1.0f);
    s.sections[2].slope = 6;
    s.sections[0].type = 2;
    s.sections[0].slope = 7;
    EXPECT_FALSE(AcceptCalSections(&s, raised, &refusal));
    EXPECT_EQ(refusal, "HP Option NOT Applicable To Linkwitz Filters");
    s.sections[0].slope = 8;
    EXPECT_TRUE(AcceptCalSections(&s, raised, &refusal));
    // Typed numbers outside their ranges, as far as the section's type uses them.
    const struct {
        int section;
        CalSection values;
        const char* refusal;
    } out_of_range[] = {
        {2, {3, 2, 15000.0f, 10.0f, 772.0f}, "LP Gain Is Out Of Range (-100.....+100dB) 2"},
        {0, {6, 5, 100.0f, 1.0f, 1e9f}, "HP Gain Is Out Of Range (-100.....+100dB)"},
        {4, {1, 4, INFINITY, 7.0f, 0.0f}, "LP Cut-off Frequency Is Out Of Range (1.....1000000Hz) 4"},
        {3, {3, 1, 20000.0f, NAN, 14.0f}, "LP Q Is Out Of Range (0.....1000) 3"},
    };
    for (const auto& c : out_of_range) {
        CalSectionSet t = DefaultCalSections();
        t.sections[c.section] = c.values;
        EXPECT_FALSE(AcceptCalSections(&t, raised, &refusal)) << c.refusal;
        EXPECT_EQ(refusal, c.refusal);
        t.sections[c.section].type = 8;  // "By-Pass" uses none of them
        EXPECT_TRUE(AcceptCalSections(&t, raised, &refusal)) << c.refusal;
    }
    EXPECT_EQ(CalConstructionRefusal(1, 1), "Please Select Either Mike File Or Preamp File For Construction");
    EXPECT_EQ(CalConstructionRefusal(1, 0), "");
    EXPECT_EQ(CalExportRefusal(1, 1), "Please Select Either Mike File Or Preamp File For Saving");
    EXPECT_EQ(CalExportRefusal(0, 0), "Please Select Either Mike File Or Preamp File For Saving");
    EXPECT_EQ(CalExportRefusal(0, 1), "");
}

// The traces from the scroll position, the window placed at the cursor (a two-sided one its width earlier),
// the cursor's column and the level meter's LEDs.
TEST(ImpulseView, TracesWindowCursorAndMeter) {
    std::vector<PlotCurve> mls(kMlsCurveSlots);
    std::vector<float> ref(60000), in(60000), shape(268000);
    for (int i = 0; i < 60000; ++i) ref[i] = static_cast<float>(i), in[i] = static_cast<float>(-i);
    for (int i = 0; i < 100; ++i) shape[i] = 1.0f - 0.01f * i;
    mls[20].Values[2000] = 1.0f;
    RefreshImpulseTraces(mls.data(), ref.data(), in.data(), 1000, 1500, 1, "30000", shape.data(), 268000);
    EXPECT_EQ(mls[20].Values[7], 0.01f * 1007);
    EXPECT_EQ(mls[21].Values[7], -0.01f * 1007);
    EXPECT_EQ(mls[20].Values[2000], 1.0f);  // flags stay
    EXPECT_EQ(mls[22].Values[499], 0.0f);
    EXPECT_EQ(mls[22].Values[500], 145.0f);
    EXPECT_EQ(mls[22].Values[510], 145.0f * shape[10]);
    RefreshImpulseTraces(mls.data(), ref.data(), in.data(), 1000, 1500, 6, "40", shape.data(), 268000);
    EXPECT_EQ(mls[22].Values[459], 0.0f);
    EXPECT_EQ(mls[22].Values[460], 145.0f);
    const ImpulseGeometry g{880, 400};
    EXPECT_EQ(ImpulseCursorX(3000, 1000, g), 60 + 800);
    EXPECT_EQ(ImpulseCursorX(3001, 1000, g), -1);
    EXPECT_EQ(ImpulseCursorX(999, 1000, g), -1);
    mls[21].Values[0] = 1000.0f;
    const std::vector<ImpulsePoint> in_trace = ImpulseTracePolyline(ImpulseTrace::kIn, mls[21], g, 6);
    EXPECT_EQ(in_trace[0].y, 19);  // 64 times taller, held at the top
    EXPECT_EQ(LitMeterLeds(34.0f), 18);
    EXPECT_EQ(LitMeterLeds(33.9f), 17);
    EXPECT_EQ(LitMeterLeds(0.0f), 1);
    EXPECT_EQ(LitMeterLeds(5.0f), 3);
    EXPECT_EQ(LitMeterLeds(-0.5f), 0);
    EXPECT_EQ(LitMeterLeds(std::nanf("")), 0);
    const std::vector<ImpulseTimeLabel> t = ImpulseTimeLabels(0, 48000.0, g);
    EXPECT_EQ(t.front().text, "-1.0");
    EXPECT_EQ(t[1].text, "0.0");
    EXPECT_EQ(t[21].text, "20.8");
}

// The width edits write each other: 30000 samples at 48 kHz are 625.000 ms, 20 ms are 960.0 samples, 60000
// samples at 44.1 kHz are cut to 1360.54; the level steps and stays within 0..100.
TEST(AcquireRules, WidthTextsAndLevelSteps) {
    EXPECT_EQ(WindowWidthMsText("30000", 48000.0), "625.000");
    EXPECT_EQ(WindowWidthSamplesText("20", 48000.0), "960.0");
    EXPECT_EQ(WindowWidthMsText("60000", 44100.0), "1360.54");
    EXPECT_EQ(WindowWidthMsText("abc", 48000.0), "0.000");
    EXPECT_EQ(ScrolledOutputLevel(95, LevelScroll::kPageRight, 0), 100);
    EXPECT_EQ(ScrolledOutputLevel(0, LevelScroll::kLineLeft, 0), 0);
    EXPECT_EQ(ScrolledOutputLevel(50, LevelScroll::kThumb, 37), 37);
    EXPECT_EQ(ScrolledOutputLevel(50, LevelScroll::kLeftEnd, 0), 0);
    EXPECT_EQ(ScrolledOutputLevel(50, LevelScroll::kOther, 0), 50);
    EXPECT_EQ(OutputLevelText(10), "Output = 10%");
}
