// The data tools' window logic without the windows: the shared plot axis and its polylines, the HBT editor's
// scales and calibration curves, the impulse-response dialog's candidates, texts, limits and sums, the
// diffraction plot's scale, the calculator's mouse editing, the driver glyph and the canvas positions.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/heap_record.h"
#include "test_util.h"
#include "tools/baffle_canvas.h"
#include "tools/diffraction_calculator.h"
#include "tools/diffraction_plot.h"
#include "tools/driver_fields.h"
#include "tools/driver_glyph.h"
#include "tools/hbt_editor.h"
#include "tools/hilbert_bode.h"
#include "tools/ir_export.h"
#include "tools/tool_plot.h"

namespace {

void Text(char* field, const char* t, std::size_t width = kTextField) {
    std::memset(field, 0, width);
    std::strncpy(field, t, width - 1);
}

// ---- The shared axis and its curves ----------------------------------------------------------------------

TEST(ToolPlot, FixedAxisGridAndLabels) {
    const ToolPlot p = MakeToolPlot(880, 400);
    EXPECT_NEAR(ToolAxisX(p, 0.51), 60.0, 1e-9);
    EXPECT_NEAR(ToolAxisX(p, 0.51 * 538509.8039215687), 860.0, 1e-9);
    const std::vector<float>& grid = ToolAxisGridFrequencies();
    ASSERT_EQ(grid.size(), 52u);
    EXPECT_EQ(grid.front(), 0.5f);
    EXPECT_EQ(grid[6], 2.0f);   // the tenths end at 1.0000001, then whole steps
    EXPECT_EQ(grid.back(), 200000.0f);
    std::string all;
    for (const ToolAxisLabel& l : ToolAxisLabels()) all += l.text + " ";
    EXPECT_EQ(all,
              "0.5 0.6 0.7 0.8 0.9 1.0 2.0 3.0 4.0 5.0 6.0 8.0 10 20 30 40 60 80 100 200 300 400 600 1k 2k 3k 4k 6k "
              "8k 10k 20k 30k 40k 50k 60k 80k 100k 200k ");
    const std::vector<int> shaded = ToolPlotShadedIndices();
    EXPECT_EQ(shaded.front(), 0);
    EXPECT_EQ(shaded[174], 696);
    EXPECT_EQ(shaded[175], 2699);
    EXPECT_EQ(shaded.back(), 3099);
    EXPECT_EQ(LogIndexX(p, 0), 60);
    EXPECT_EQ(LogIndexX(p, 3100), 860);
    EXPECT_EQ(ClampToolPlotY(p, -5.0), 19);
    EXPECT_EQ(ClampToolPlotY(p, 1e9), 379);
    EXPECT_EQ(ClampToolPlotY(p, std::nan("")), 19);
}

TEST(ToolPlot, BinsFindTheFirstLogIndexAbove) {
    std::vector<float> log(kToolPlotLogPoints), bins(30000);
    for (int i = 0; i < kToolPlotLogPoints; ++i) log[i] = static_cast<float>(10.0 * std::pow(5000.0, (i - 699) / 2000.0));
    for (int k = 0; k < 30000; ++k) bins[k] = static_cast<float>(k * 48000.0 / 4096.0);
    bins[0] = 0.01f;
    bins[100] = log[1500];  // exactly on a grid point: the next index
    bins[101] = bins[100];
    std::vector<int32_t> index(bins.size());
    MapBinsToLogIndex(bins.data(), static_cast<int>(bins.size()), log.data(), index.data());
    for (std::size_t k = 0; k < bins.size(); ++k) {
        int expect = -1;
        for (int j = 0; j < kToolPlotLogPoints; ++j)
            if (log[j] > bins[k]) {
                expect = j;
                break;
            }
        ASSERT_EQ(index[k], expect) << k;
    }
    EXPECT_EQ(index[100], 1501);
    EXPECT_EQ(index.back(), -1);  // 351 kHz: above the grid's last point, about 275.8 kHz
}

TEST(ToolPlot, ReducedPolylineCoversTheColumnsOfEveryPoint) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> value(-40.0, 40.0);
    const ToolPlot p = MakeToolPlot(700, 380);
    const int count = 5000;
    std::vector<int32_t> index(count);
    std::vector<int> ys(count);
    for (int k = 0; k < count; ++k) {
        index[k] = k < 3 ? 0 : k < 20 ? -1 : 1 + (k * 3) / 7;  // runs of 2 to 3 points per index, a gap, a start
        ys[k] = ClampToolPlotY(p, 200.0 + 5.0 * value(rng));
    }
    const auto strokes = BuildLogIndexPolyline(p, index.data(), count, [&](int k) { return ys[k]; });
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].front().x, 60);
    EXPECT_EQ(strokes[0].front().y, ys[2]);  // the pen moves to each point of index 0: the last one stays
    // Point by point as the literal drawing does it, against the reduced polyline.
    std::vector<std::pair<bool, std::pair<int, int>>> literal{{true, {60, ys[2]}}}, reduced;
    for (int k = 20; k < count; ++k) literal.push_back({false, {LogIndexX(p, index[k]), ys[k]}});
    for (std::size_t i = 0; i < strokes[0].size(); ++i) reduced.push_back({i == 0, {strokes[0][i].x, strokes[0][i].y}});
    EXPECT_EQ(Rasterise(literal), Rasterise(reduced));
    EXPECT_LT(strokes[0].size(), static_cast<std::size_t>(count));
}

// ---- HBT editor ------------------------------------------------------------------------------------------

TEST(HbtEditor, DistanceBarAndItsText) {
    EXPECT_EQ(HbtDistanceOfPosition(0), 1e-6f);
    EXPECT_EQ(HbtDistanceText(HbtDistanceOfPosition(0)), "Dist = 0.00000[m], Delay = 0.00000[ms]");
    EXPECT_EQ(HbtDistanceText(HbtDistanceOfPosition(344)), "Dist = 0.34400[m], Delay = 1.00000[ms]");
    EXPECT_EQ(ScrollBarValue(9995, kScrollPageRight, 0, kHbtDistanceSteps), 10000);
    EXPECT_EQ(ScrollBarValue(5, kScrollPageLeft, 0, kHbtDistanceSteps), 0);
    EXPECT_EQ(ScrollBarValue(5, kScrollRight, 0, kHbtDistanceSteps), 10000);
    EXPECT_EQ(ScrollBarValue(5, kScrollThumbPosition, 777, kHbtDistanceSteps), 777);
    bool moved = true;
    EXPECT_EQ(ScrollBarValue(5, 8 /* end of scroll */, 777, kHbtDistanceSteps, &moved), 5);
    EXPECT_FALSE(moved);
    EXPECT_EQ(HbtPositionOfDistance(1.0f), 1000);
    EXPECT_EQ(HbtPositionOfDistance(std::nanf("")), 0);
    EXPECT_EQ(HbtPositionOfDistance(1e9f), 10000);
    EXPECT_EQ(HbtSamplingText(2), "Sampling = 96000");
    EXPECT_EQ(HbtBufferSizeText(3), "Buffer Size = 4096");
    EXPECT_EQ(HbtSamplingText(3), "");
    EXPECT_EQ(HbtLevelLabel(0), "125");
    EXPECT_EQ(HbtLevelLabel(18), "35");
    EXPECT_EQ(HbtPhaseLabel(18), "-180");
    // 90 dB on row 7, 0 degrees on row 9.
    const ToolPlot p = MakeToolPlot(600, 400);
    EXPECT_EQ(HbtSplY(p, 90.0), static_cast<int>(20 + 7 * 20.0f));
    EXPECT_EQ(HbtSplY(p, 85.0), static_cast<int>(20 + 8 * 20.0f));
    EXPECT_EQ(HbtPhaseY(p, 0.0), 200);
    EXPECT_EQ(HbtPhaseY(p, 360.0), 19);
}

// "Use As Mike Cal File" on the linear HBT of a flat 90 dB curve with Pin 1 and both distance options off: 0 dB
// and 0 degrees at every bin; a 96 dB curve reads 6 dB.
TEST(HbtEditor, CalibrationCurveOfAFlatHbtIsZero) {
    std::vector<float> log(kLogGridPoints), bin(kLinGridPoints), work(kLinGridPoints);
    for (int i = 0; i < kLogGridPoints; ++i) log[i] = static_cast<float>(10.0 * std::pow(5000.0, (i - 699) / 2000.0));
    for (int k = 0; k < kLinGridPoints; ++k) bin[k] = static_cast<float>(k * 48000.0 / 4096.0);
    bin[0] = 0.01f;
    HbtContext cx;
    cx.log_table = log.data();
    cx.bin_table = bin.data();
    cx.HV_Buffer_Size = 0;
    cx.HV_Sampling = 1;
    cx.HbtWorkCurve = work.data();
    auto d = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(d.get());
    Text(DriverInputPower(*d), "1.0");
    Text(DriverHighPassSlope(*d), "0");
    Text(DriverLowPassSlope(*d), "0");
    DriverPhaseDistance(*d) = 0;
    DriverAmplitudeDistance(*d) = 0;
    for (int k = 0; k < kLinGridPoints; ++k) d->spl_lin[k] = 90.0f;
    ASSERT_EQ(RunLinearHbt(d.get(), cx, nullptr), 0);
    std::vector<float> mike(2 * kLinGridPoints, 7.0f);
    auto spl = AllocZeroed<PlotCurve>();
    auto phase = AllocZeroed<PlotCurve>();
    StoreHbtCalibration(*d, mike.data(), d->mike_cal, spl.get(), phase.get());
    for (int k = 0; k < 16384; k += 97) {
        ASSERT_NEAR(mike[2 * k], 0.0f, 1e-4) << k;
        ASSERT_NEAR(mike[2 * k + 1], 0.0f, 1e-3) << k;
        ASSERT_EQ(d->mike_cal[k].spl_db, mike[2 * k]);
        ASSERT_EQ(spl->Values[k], mike[2 * k]);
        ASSERT_EQ(phase->Values[k], mike[2 * k + 1]);
    }
    for (int k = 0; k < 16384; ++k) d->spl_lin[k] = 96.0f;
    ASSERT_EQ(RunLinearHbt(d.get(), cx, nullptr), 0);
    StoreHbtCalibration(*d, mike.data(), nullptr, nullptr, nullptr);
    EXPECT_NEAR(mike[2 * 500], 6.0f, 1e-3);
    // The plot's own reading of the result keeps the 90 dB level.
    EXPECT_NEAR(HbtResultSpl(d->hbt_re_lin[500], d->hbt_im_lin[500]), 96.0, 1e-3);
    EXPECT_NEAR(HbtResultPhase(0.0f, 1.0f), 90.0 * 57.288 / 57.29577951, 1e-7);
}

// ---- Impulse-response dialog ------------------------------------------------------------------------------

TEST(IrExport, CandidateListsOfBothMethods) {
    for (int N : {512, 1024, 2048, 4096}) {
        const IrCandidateList m1 = IrCandidatesOf(0, N);
        EXPECT_EQ(IrCandidateLength(m1, 0), 256);
        EXPECT_EQ(IrCandidateLength(m1, 1), 272);
        EXPECT_EQ(IrCandidateLength(m1, kIrCandidates - 1), 1024);
        const IrCandidateList m2 = IrCandidatesOf(1, N);
        EXPECT_EQ(IrCandidateLength(m2, 0), N / 2);
        EXPECT_EQ(IrCandidateLength(m2, kIrCandidates - 1), 2 * N);
    }
    EXPECT_EQ(IrCandidateLength(IrCandidatesOf(1, 512), 1), 272);
    EXPECT_EQ(IrCandidateLength(IrCandidatesOf(1, 4096), 1), 2176);
    EXPECT_EQ(IrCandidateLabel(2176), "Opt = 2176");
    EXPECT_EQ(IrCandidateLegend(256), "Opt = 256 ");
}

TEST(IrExport, SummaryAndLegendTexts) {
    IrWindowEntry stored{};
    stored.length = 1280;
    stored.window_type = 6;
    EXPECT_EQ(IrSummaryLine(2, 1, stored, 1, 1), "Out3, Met2, 1280,  Hanning");
    EXPECT_EQ(IrSummaryLine(15, 0, stored, 0, 1), "Out16, Wide Window, L-P Mode");
    EXPECT_EQ(IrSummaryLine(0, 0, stored, 0, 0), "Out1, Blackman-Harris Window, L-P Mode");
    EXPECT_EQ(IrSummaryLegend(2, stored, 1, 0), "Out3, Window 1280, Hanning");
    stored.window_type = 42;  // no name for a type out of range
    EXPECT_EQ(IrSummaryLine(0, 0, stored, 1, 0), "Out1, Met1, 1280,  ");
    EXPECT_EQ(IrTimeScalePreset(0, 1), 2060);
    EXPECT_EQ(IrTimeScalePreset(3, 1), 16500);
    EXPECT_EQ(IrTimeScalePreset(3, 0), 33000);
    EXPECT_EQ(IrTimeScaleLabel(33000), "IR Time Scale = 33000");
    EXPECT_EQ(IrMagGainLabel(6), "IR Mag. Gain = 6");
}

TEST(IrExport, BarsNeverLeaveTheirLimitsWhicheverCodeArrives) {
    for (int code = 0; code <= 8; ++code) {
        for (int start : {1, 2, 50, 99, 100, 32999, 33000}) {
            for (int thumb : {0, 1, 16000, 33000, 65535}) {
                bool moved = false;
                const int t = ScrollBarValue(start, code, thumb, kIrTimeScaleSteps, &moved);
                ASSERT_GE(t, 1);
                ASSERT_LE(t, kIrTimeScaleMax);
                // Only line, page and thumb tracking move the time scale.
                ASSERT_EQ(moved, code <= 3 || code == 5) << code;
                if (!moved) {
                    ASSERT_EQ(t, start);
                }
                const int g = ScrollBarValue(start > 10000 ? 10000 : start, code, thumb, kIrMagGainSteps);
                ASSERT_GE(g, 1);
                ASSERT_LE(g, kIrMagGainMax);
            }
        }
    }
    EXPECT_EQ(ScrollBarValue(33000, kScrollPageRight, 0, kIrTimeScaleSteps), 33000);
    EXPECT_EQ(ScrollBarValue(50, kScrollPageLeft, 0, kIrTimeScaleSteps), 1);
    EXPECT_EQ(ScrollBarValue(9995, kScrollPageRight, 0, kIrMagGainSteps), 10000);
}

// Every name says the level it hides below: the label and the rule come from one table.
TEST(IrExport, HidePhaseNamesAreTheirLevels) {
    EXPECT_STREQ(HidePhaseName(0), "NONE");
    EXPECT_EQ(HidePhaseLevelDb(0), -60.0);  // the driver view's level when nothing is chosen
    for (int i = 1; i < kHidePhaseEntries; ++i) {
        const std::string name = HidePhaseName(i);
        ASSERT_EQ(name.substr(name.size() - 2), "dB");
        EXPECT_EQ(std::atof(name.c_str()), HidePhaseLevelDb(i)) << name;
    }
    EXPECT_STREQ(HidePhaseName(7), "-140dB");
    EXPECT_EQ(HidePhaseLevelDb(8), -160.0);
    EXPECT_EQ(HidePhaseLevelDb(99), -60.0);
}

TEST(IrExport, AdvancedSumReadsZerosBeyondTheResponse) {
    const int N = 512;
    std::vector<float> ir1(0x40000, 0.0f), ir2(0x40000, 0.0f);
    for (int j = 0; j < 8 * N; ++j) {
        ir1[2 * j] = static_cast<float>(j);
        ir2[2 * j] = static_cast<float>(1000 + j);
    }
    ir2[2 * 8 * N] = 99.0f;  // past the response: must not be read
    for (long d : {0L, 5L, 4095L, 4096L, 130000L, 200000000L, 2147483647L}) {
        const std::vector<float> s = SumAdvancedResponses(ir1.data(), ir2.data(), N, d);
        ASSERT_EQ(s.size(), 8u * N);
        for (int j = 0; j < 8 * N; ++j) {
            const float second = d < 8 * N - j ? 1000.0f + static_cast<float>(j + d) : 0.0f;
            ASSERT_EQ(s[j], static_cast<float>(j) + second) << d << " " << j;
        }
    }
    EXPECT_EQ(IrAdvanceOf("12abc"), 12);
    EXPECT_EQ(IrAdvanceOf("abc"), 0);
    EXPECT_EQ(IrAdvanceOf("-3"), -3);
    EXPECT_LT(IrAdvanceOf("-99999999999999999999999"), 0);
}

TEST(IrExport, ViewScalesAndOverlays) {
    const IrView v = MakeIrView(1080, 400, 1000, 6);
    EXPECT_EQ(v.u, 20.0);
    EXPECT_EQ(IrSampleX(v, 0), 60.0);
    EXPECT_EQ(IrSampleX(v, 1000), 1060.0);
    // With IrTimeScale 1000 and N = 512 only the block lines P0 and P1 fall inside.
    int inside = 0;
    for (long t = 0; t <= 16 * 512; t += 512) inside += IrInsideView(v, IrSampleX(v, static_cast<double>(t)));
    EXPECT_EQ(inside, 2);
    EXPECT_EQ(IrBlockLabel(1024, 512), "P2");
    EXPECT_EQ(IrBlockTimeLabel(4800, 48000), "100.0ms");
    EXPECT_EQ(IrWindowValueY(v, 1.0), 20.0 + 20.0);
    EXPECT_EQ(IrLinearY(v, 0.0), 200.0);
    EXPECT_NEAR(IrLogY(v, 1.0), 40.0, 1e-12);  // an amplitude of 1.0 on row 1
    EXPECT_EQ(IrTraceY(v, IrLogY(v, 0.0)), 377);  // zero lands on the bottom clamp
    EXPECT_EQ(IrWindowTraceY(v, 1e9), 379);
    // The MLS overlay never starts before sample 0.
    EXPECT_EQ(MlsOverlayOf(50, 0, 1024, 1).start, 0);
    EXPECT_EQ(MlsOverlayOf(5000, 0, 1024, 1).start, 5000 - 4096);
    EXPECT_EQ(MlsOverlayOf(-7, 1, 1024, 1).start, 0);
    EXPECT_EQ(MlsOverlayOf(50, 1, 1024, 1).count, 16 * 1024);
    EXPECT_EQ(MlsOverlayOf(50, 1, 1024, 2).count, 8 * 1024);
    const TemporalMask m = TemporalMaskOf(2, 1);
    EXPECT_EQ(m.c, 2.48);
    EXPECT_EQ(m.k1[0], 4200.0);
    EXPECT_EQ(m.k2[1], 14.0);
    EXPECT_EQ(m.k2_tail, 1.0);
    EXPECT_NEAR(TemporalMaskY(v, m, 3, 0, 2048), 21.0 + 160.0 - 140.0 * std::exp(-1.0 / 2048.0), 1e-9);
    EXPECT_NEAR(TemporalMaskY(v, TemporalMaskOf(0, 0), 1, 0, 512),
                21.0 + 120.0 - 98.0 * 20.0 * std::exp((1.0 - 2.69 * 512) * 4.3 / 512), 1e-9);
    EXPECT_EQ(IrSplY(400, 20.0), 20);
    EXPECT_EQ(IrSplY(400, -160.0), 379);
    EXPECT_EQ(IrPhaseY(400, 0.0), 200);
    EXPECT_EQ(IrSplLabel(18), "-160");
    EXPECT_EQ(IrPhaseLabel(0), "180");
}

// ---- Diffraction plot -----------------------------------------------------------------------------------

TEST(DiffractionPlot, ScaleOfTheRecordAndAStepOfZero) {
    auto d = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(d.get());
    DiffractionScale s = DiffractionScaleOf(*d);
    EXPECT_TRUE(s.levels);
    std::string labels;
    for (int k = 0; k <= 18; ++k) labels += DiffractionDbLabel(s, k) + " ";
    EXPECT_EQ(labels, "125 120 115 110 105 100 95 90 85 80 75 70 65 60 55 50 45 40 35 ");
    const ToolPlot p = MakeToolPlot(800, 400);
    EXPECT_EQ(DiffractionLevelY(p, s, 0.0), 160);        // 0 dB stored = 90 on the axis, row 7
    EXPECT_EQ(DiffractionLevelY(p, s, 5.0), 140);
    EXPECT_EQ(DiffractionLevelY(p, s, 1000.0), 19);
    EXPECT_EQ(DiffractionLevelY(p, s, -1000.0), 379);
    EXPECT_EQ(DiffractionPhaseY(p, -180.0), 379);
    Text(DriverSplStep(*d), "0");
    s = DiffractionScaleOf(*d);
    EXPECT_FALSE(s.levels);
    EXPECT_EQ(DiffractionDbLabel(s, 3), "90");
    Text(DriverSplStep(*d), "x");
    EXPECT_FALSE(DiffractionScaleOf(*d).levels);
    Text(DriverSplReference(*d), "80");
    Text(DriverSplStep(*d), "10");
    s = DiffractionScaleOf(*d);
    EXPECT_EQ(DiffractionDbLabel(s, 7), "80");
    EXPECT_EQ(DiffractionLevelY(p, s, -10.0), 160);  // -10 stored reads 80
    EXPECT_EQ(DiffractionRunTitle(23999.9, -1.234), "Enclosure Diffraction Modeling  Frequency = 23999.9 Hz, SPL = -1.23");
    EXPECT_STREQ(DiffractionGroups()[2].legend, "Cpl");
}

// ---- Calculator -----------------------------------------------------------------------------------------

struct Calculator {
    HeapRecord<BaffleRecord> baffle = AllocZeroed<BaffleRecord>();
    HeapRecord<HV_Driver_Data> driver = AllocZeroed<HV_Driver_Data>();
    BaffleDrag drag;
    Calculator() {
        SetDriverRecordDefaults(driver.get());
        CopySettingText(baffle->Raster, sizeof baffle->Raster, "1.0");
        baffle->InsertAfterIndex = 1;
    }
    CalculatorContext Context() { return CalculatorContext{baffle.get(), driver.get(), &drag, 17}; }
    static int Px(int gx) { return 4 * gx + 4; }
    static int Py(int gy) { return 468 - 4 * gy; }
    CalculatorStep Down(int gx, int gy) { return CalculatorLeftDown(Context(), Px(gx), Py(gy)); }
    CalculatorStep Move(int gx, int gy) { return CalculatorMouseMove(Context(), Px(gx), Py(gy)); }
    CalculatorStep Up(int gx, int gy) { return CalculatorLeftUp(Context(), Px(gx), Py(gy)); }
    void Mode(uint32_t m) { baffle->BaffleEditMode = m; }
    std::vector<std::pair<int, int>> Nodes() const {
        std::vector<std::pair<int, int>> v;
        for (int i = 0; i < baffle->NodeCount; ++i) v.push_back({baffle->Nodes[i].x, baffle->Nodes[i].y});
        return v;
    }
};

std::vector<std::string> Texts(const MessageList& m) {
    std::vector<std::string> v;
    for (const HvMessage& x : m) v.push_back(x.text);
    return v;
}

TEST(DiffractionCalculator, PixelsMapToTheGridInsideTheCanvasOnly) {
    int gx = -9, gy = -9;
    EXPECT_TRUE(CanvasPixelToGrid(4, 468, &gx, &gy));
    EXPECT_EQ(gx, 0);
    EXPECT_EQ(gy, 0);
    EXPECT_TRUE(CanvasPixelToGrid(407, 7, &gx, &gy));
    EXPECT_EQ(gx, 100);
    EXPECT_EQ(gy, 116);
    EXPECT_TRUE(CanvasPixelToGrid(2, 2, &gx, &gy));
    EXPECT_EQ(gx, 0);  // (2 - 4) / 4 truncates toward zero
    for (auto [x, y] : {std::pair{412, 100}, {100, 471}, {0, 100}, {1, 100}, {100, 0}, {100, 1}})
        EXPECT_FALSE(CanvasPixelToGrid(x, y, &gx, &gy)) << x << "," << y;
    Calculator c;
    c.Mode(kEditAdd);
    const CalculatorStep ignored = CalculatorMouseMove(c.Context(), 412, 100);
    EXPECT_FALSE(ignored.handled);
    EXPECT_TRUE(ignored.title.empty());
    EXPECT_FALSE(CalculatorLeftDown(c.Context(), 100, 471).handled);
    EXPECT_EQ(c.baffle->NodeCount, 0);
}

TEST(DiffractionCalculator, AddClosesTheOutlineAndRefusesWhatBreaksIt) {
    Calculator c;
    c.Mode(kEditAdd);
    EXPECT_EQ(c.Move(10, 20).title, "PLACING NODE AT X=10.00, Y=20.00, Ns=17");
    EXPECT_EQ(c.Down(10, 10).title, "PLACING NODE AT X=10.00, Y=10.00");
    c.Down(30, 10);
    c.Down(30, 30);
    CalculatorStep s = c.Down(30, 10);  // an inner node again
    EXPECT_EQ(Texts(s.messages), std::vector<std::string>{"SLPG Closed Incorrectly"});
    EXPECT_EQ(c.baffle->NodeCount, 3);
    EXPECT_EQ(c.baffle->Nodes[3].x, 0);
    s = c.Down(10, 10);
    EXPECT_EQ(Texts(s.messages), std::vector<std::string>{"SLPG Closed"});
    EXPECT_EQ(c.baffle->OutlineState, 2u);
    EXPECT_EQ(c.baffle->NodeCount, 3);
    EXPECT_TRUE(s.redraw);
    // The raster scales every text.
    CopySettingText(c.baffle->Raster, sizeof c.baffle->Raster, "2.5");
    EXPECT_EQ(c.Down(40, 40).title, "PLACING NODE AT X=100.00, Y=100.00");

    // 63 nodes: another is refused and the outline keeps them all; closing on node 0 still works.
    Calculator full;
    full.Mode(kEditAdd);
    for (int i = 0; i < 63; ++i) full.Down(i, i % 2);
    ASSERT_EQ(full.baffle->NodeCount, 63);
    const auto before = full.Nodes();
    s = full.Down(90, 90);
    EXPECT_EQ(Texts(s.messages), std::vector<std::string>{"SLPG Size Exceeded"});
    EXPECT_EQ(full.Nodes(), before);
    s = full.Down(0, 0);
    EXPECT_EQ(Texts(s.messages), std::vector<std::string>{"SLPG Closed"});
    EXPECT_EQ(full.baffle->OutlineState, 2u);
}

TEST(DiffractionCalculator, InsertBoundsAndDelete) {
    Calculator c;
    c.Mode(kEditAdd);
    c.Down(10, 10);
    c.Down(30, 10);
    c.Down(30, 30);
    c.Down(10, 10);
    c.Mode(kEditInsert);
    c.baffle->InsertAfterIndex = 2;  // NodeCount - 1: appends after the last node
    EXPECT_EQ(c.Down(20, 40).title, "INSERTING ENCLOSURE NODE AT X=20.00 Y=40.00");
    EXPECT_EQ(c.Nodes(), (std::vector<std::pair<int, int>>{{10, 10}, {30, 10}, {30, 30}, {20, 40}}));
    c.baffle->InsertAfterIndex = 0;
    c.Down(20, 5);
    EXPECT_EQ(c.Nodes(), (std::vector<std::pair<int, int>>{{10, 10}, {20, 5}, {30, 10}, {30, 30}, {20, 40}}));
    for (uint32_t refused : {5u, InsertIndexOf("-1"), InsertIndexOf("-2000000")}) {
        c.baffle->InsertAfterIndex = refused;
        const CalculatorStep s = c.Down(50, 50);
        EXPECT_EQ(Texts(s.messages), std::vector<std::string>{kInsertBeyondEnd}) << refused;
        EXPECT_EQ(c.baffle->NodeCount, 5);
    }
    EXPECT_EQ(InsertIndexOf("3"), 3u);
    EXPECT_EQ(InsertIndexOf("12345678"), 1234567u);  // at most 7 characters are read

    // At 63 nodes an insert is refused before anything moves.
    Calculator full;
    full.Mode(kEditAdd);
    for (int i = 0; i < 63; ++i) full.Down(i, 3);
    full.Mode(kEditInsert);
    full.baffle->InsertAfterIndex = 10;
    const auto before = full.Nodes();
    EXPECT_EQ(Texts(full.Down(90, 90).messages), std::vector<std::string>{"SLPG Size Exceeded"});
    EXPECT_EQ(full.Nodes(), before);

    // Deleting one node of a closed 3-node outline leaves it closed; one more opens it.
    Calculator t;
    t.Mode(kEditAdd);
    t.Down(10, 10);
    t.Down(30, 10);
    t.Down(30, 30);
    t.Down(10, 10);
    t.Mode(kEditDelete);
    EXPECT_EQ(t.Down(30, 10).title, "DELETING ENCLOSURE NODE AT X=30.00, Y=10.00");
    EXPECT_EQ(t.Nodes(), (std::vector<std::pair<int, int>>{{10, 10}, {30, 30}}));
    EXPECT_EQ(t.baffle->OutlineState, 2u);
    t.Down(10, 10);
    EXPECT_EQ(t.Nodes(), (std::vector<std::pair<int, int>>{{30, 30}}));
    EXPECT_EQ(t.baffle->OutlineState, 0u);
    t.Down(30, 30);
    t.Down(30, 30);
    EXPECT_EQ(t.baffle->NodeCount, 0);
}

TEST(DiffractionCalculator, MovePicksTheNearestAndDragsIt) {
    Calculator c;
    LoadBaffleExample1(c.baffle.get(), AllocZeroed<BaffleEdgePointList>().get(), c.driver.get());
    c.baffle->Positions[1] = BafflePosition{45.0f, 50.0f, 0, 0};  // disabled, still pickable
    c.Mode(kEditMove);
    EXPECT_EQ(c.Move(3, 4).title, "JUST MOVING AROUND AT X=3.00, Y=4.00");
    CalculatorStep s = c.Down(78, 3);  // nearest: node 1 at (80, 0)
    EXPECT_EQ(s.title, "ClOSEST DISTANCE IS N 1  X=80.00, Y=0.00");
    EXPECT_TRUE(s.move_cursor);
    EXPECT_EQ(s.cursor_x, 4 * 80 + 6);
    EXPECT_EQ(s.cursor_y, 4 * 116 + 6);
    EXPECT_EQ(c.drag.DragNode, 1);
    EXPECT_EQ(c.Move(82, 2).title, "MOVING ENCLOSURE NODE AT X=82.00, Y=2.00");
    c.Up(83, 1);
    EXPECT_EQ(c.baffle->Nodes[1].x, 83);
    EXPECT_EQ(c.baffle->Nodes[1].y, 1);
    EXPECT_EQ(c.drag.DragNode, -1);
    // The driver at (40, 40) and the microphone at the same place: the driver wins the tie.
    s = c.Down(41, 40);
    EXPECT_EQ(c.drag.DragPosition, 0);
    EXPECT_EQ(s.title, "ClOSEST DISTANCE IS N 0  X=40.00, Y=40.00");
    // A 25 cm driver (h = 13.75) may not go to x = 90 (90 + 13.75 >= 100), but y follows.
    s = c.Move(90, 60);
    EXPECT_EQ(c.baffle->Positions[0].x, 40.0f);
    EXPECT_EQ(c.baffle->Positions[0].y, 60.0f);
    EXPECT_TRUE(s.driver1_label);
    EXPECT_EQ(s.title, "MOVING DRIVER NODE AT X=90.00, Y=60.00");
    c.Up(85, 110);  // y + 13.75 >= 115: refused; x 85 + 13.75 < 100: taken
    EXPECT_EQ(c.baffle->Positions[0].x, 85.0f);
    EXPECT_EQ(c.baffle->Positions[0].y, 60.0f);
    // The microphone alone near a spot: its pick shows 1.
    c.baffle->Positions[4] = BafflePosition{20.0f, 90.0f, 0, 0};
    s = c.Down(21, 91);
    EXPECT_EQ(c.drag.DragMicrophone, 1);
    EXPECT_EQ(s.title, "ClOSEST DISTANCE IS N 1  X=20.00, Y=90.00");
    s = c.Up(22, 95);
    EXPECT_TRUE(s.microphone_label);
    EXPECT_EQ(MicrophoneLabel(*c.baffle), "MK X=22.0,  Y=95.0 [cm]");
    // Released off the canvas: nothing moves and the pick ends.
    c.Down(21, 94);
    CalculatorLeftUp(c.Context(), 500, 500);
    EXPECT_EQ(c.drag.DragMicrophone, -1);
    EXPECT_EQ(c.baffle->Positions[4].x, 22.0f);
}

TEST(DiffractionCalculator, DriversRasterAndTexts) {
    Calculator c;
    DriverConfig(*c.driver) = 0;
    CalculatorStep s = ToggleTwoDrivers(c.baffle.get(), c.driver.get());
    EXPECT_EQ(DriverConfig(*c.driver), 1u);
    EXPECT_EQ(s.title, "PLACING DRIVER 1 and 2");
    EXPECT_EQ(c.baffle->Positions[1].Enabled, 1u);
    EXPECT_EQ(c.baffle->Positions[1].x, 45.0f);
    EXPECT_EQ(c.baffle->BaffleEditMode, static_cast<uint32_t>(kEditMove));
    EXPECT_EQ(Driver2Label(*c.baffle, Driver2Form::kCentimetres), "Driver 2 X=45.0, Y=50.0 [cm]");
    s = ToggleTwoDrivers(c.baffle.get(), c.driver.get());
    EXPECT_EQ(DriverConfig(*c.driver), 0u);
    EXPECT_EQ(s.title, "PLACING DRIVER 1");
    EXPECT_EQ(c.baffle->Positions[1].Enabled, 0u);
    DriverConfig(*c.driver) = 3;
    ToggleTwoDrivers(c.baffle.get(), c.driver.get());
    EXPECT_EQ(DriverConfig(*c.driver), 1u);
    EnableDriversOf(3, c.baffle.get());
    EXPECT_EQ(c.baffle->Positions[3].Enabled, 1u);
    EnableDriversOf(0, c.baffle.get());
    EXPECT_EQ(c.baffle->Positions[1].Enabled, 0u);

    // A raster typed as "0" stores "0.01"; a positive one rewrites the texts.
    s = SetRasterText(c.baffle.get(), "0");
    EXPECT_STREQ(c.baffle->Raster, "0.01");
    EXPECT_FALSE(s.microphone_label);
    SetRasterText(c.baffle.get(), "nan");
    EXPECT_STREQ(c.baffle->Raster, "0.01");
    s = SetRasterText(c.baffle.get(), "2.0");
    EXPECT_STREQ(c.baffle->Raster, "2.0");
    EXPECT_TRUE(s.driver2_label);
    EXPECT_EQ(Driver1Label(*c.baffle), "Driver 1 X=100.0, Y=110.0 [cm]");
    EXPECT_EQ(Driver2Label(*c.baffle, Driver2Form::kTwoDecimals), "Driver 2 X=90.00, Y=100.00");
    SetRasterText(c.baffle.get(), "123456789012");
    EXPECT_STREQ(c.baffle->Raster, "123456789");

    float v = 10.0f;
    EXPECT_TRUE(ReadEdgeValue("12.5", &v));
    EXPECT_EQ(v, 12.5f);
    EXPECT_TRUE(ReadEdgeValue("123456", &v));  // five characters are read
    EXPECT_EQ(v, 12345.0f);
    EXPECT_FALSE(ReadEdgeValue("1e99", &v));
    EXPECT_FALSE(ReadEdgeValue("inf", &v));
    EXPECT_EQ(v, 12345.0f);
    EXPECT_STREQ(EditModeTitle(kEditInsert), "INSERTING NODE");
    EXPECT_EQ(MikeDistanceText(100.0f), "1.00m");
    EXPECT_EQ(ScrollBarValue(1, kScrollLineLeft, 0, kMikeDistanceSteps), 1);
    EXPECT_EQ(ScrollBarValue(1995, kScrollPageRight, 0, kMikeDistanceSteps), 2000);
    EXPECT_EQ(ScrollBarValue(7, kScrollLeft, 0, kMikeDistanceSteps), 1);
}

// ---- Driver glyph and canvas ------------------------------------------------------------------------------

TEST(DriverGlyph, MeshAndProjection) {
    GlyphMesh mesh;
    const float R = 60.0f;
    BuildDriverGlyph(R, &mesh);
    EXPECT_EQ(mesh.segments, 32);
    // Circle points start at (-r, 0) and pass (0, -r) at j = 8.
    EXPECT_FLOAT_EQ(mesh.band[4].x[0], -R);
    EXPECT_NEAR(mesh.band[4].y[8], -R, 1e-3);
    EXPECT_NEAR(mesh.band[4].x[8], 0.0f, 1e-3);
    // Radii and depths of the bands' circles.
    auto radius = [&](int b, int i) { return std::hypot(mesh.band[b].x[i], mesh.band[b].y[i]); };
    const float expect[kGlyphBands][4] = {
        {R / 3, 0.4f * R, R / 3, 0.5f * R},          {0.5f * R, 0.5f * R, 0.5f * R, 0.7f * R},
        {R / 3, 0.7f * R, R / 3, 0.8f * R},          {0.5f * R, 0.5f * R, 0.5f * R * 0.533f, 0.5f * R},
        {R, 0.0f, R / 3, 0.4f * R},                  {0.4f * R, R / 3, 0.4f * R * 0.05f, R / 3 - 0.05f * R},
        {1.2f * R, 0.0f, 1.2f * R * 0.833f, 0.0f},   {1.2f * R, 0.0f, 1.2f * R, -0.05f * R},
        {1.2f * R, -0.05f * R, 1.2f * R * 0.833f, -0.05f * R},
    };
    for (int b = 0; b < kGlyphBands; ++b) {
        for (int j : {0, 5, 31}) {
            EXPECT_NEAR(radius(b, j), expect[b][0], 1e-3) << b;
            EXPECT_NEAR(mesh.band[b].z[j], expect[b][1], 1e-4) << b;
            EXPECT_NEAR(radius(b, 32 + j), expect[b][2], 1e-3) << b;
            EXPECT_NEAR(mesh.band[b].z[32 + j], expect[b][3], 1e-4) << b;
        }
    }
    // Angles 0, D = 620: depth z is drawn at 500 / (620 + z); the rim of the cone at 500 R / 620.
    const auto bands = ProjectDriverGlyph(mesh, 0, 0, 0, 200, 300, 620);
    ASSERT_EQ(bands.size(), 9u);
    const int order[9] = {2, 1, 3, 0, 4, 5, 6, 7, 8};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(bands[i].band, order[i]);
    EXPECT_EQ(bands[0].brush, GlyphBrush::kLight);
    EXPECT_EQ(bands[1].brush, GlyphBrush::kDark);
    EXPECT_EQ(bands[4].brush, GlyphBrush::kMiddle);
    const GlyphQuad& rim = bands[4].quads[0];  // front 0 = (-R, 0, 0)
    EXPECT_EQ(rim.x[0], static_cast<int>(200.0f - 500.0f * R / 620.0f));
    EXPECT_EQ(rim.y[0], 300);
    const GlyphQuad& flange = bands[7].quads[0];  // back 0 = (-1.2R, 0, -0.05R): slightly larger
    EXPECT_LT(flange.x[3], static_cast<int>(200.0f - 1.2f * 500.0f * R / 620.0f) + 1);
    EXPECT_EQ(flange.x[3], static_cast<int>(200.0f - 500.0f * 1.2f * R / (620.0f - 0.05f * R)));
    // A quadrilateral runs front i, front i + 1, back i + 1, back i.
    const GlyphQuad& q = bands[4].quads[31];
    EXPECT_EQ(q.x[1], rim.x[0]);
    // R = 0: everything on the origin.
    BuildDriverGlyph(0.0f, &mesh);
    for (const GlyphPaintedBand& b : ProjectDriverGlyph(mesh, 10, 20, 30, 17, 23, 620))
        for (const GlyphQuad& g : b.quads)
            for (int c = 0; c < 4; ++c) ASSERT_TRUE(g.x[c] == 17 && g.y[c] == 23);
    // A point closer than depth 1 is drawn as at depth 1.
    BuildDriverGlyph(100.0f, &mesh);
    const auto near = ProjectDriverGlyph(mesh, 0, 0, 0, 0, 0, -100);  // band 4's back circle at depth 40 - 100
    EXPECT_EQ(near[4].quads[0].x[3], static_cast<int>(-500.0f * 100.0f / 3.0f));
    // A quarter turn about the vertical axis (a1 = 90) shows the side: x' = z.
    BuildDriverGlyph(60.0f, &mesh);
    const auto side = ProjectDriverGlyph(mesh, 90, 0, 0, 0, 0, 620);
    const float z = mesh.band[4].z[32], x = mesh.band[4].x[32];
    EXPECT_NEAR(side[4].quads[0].x[3], 500.0f * z / (620.0f - x), 1.0f);
}

TEST(BaffleCanvas, DriversPistonsMicrophoneAndOutline) {
    Calculator c;
    LoadBaffleExample1(c.baffle.get(), AllocZeroed<BaffleEdgePointList>().get(), c.driver.get());
    Text(c.driver->params[kDiameterField], "25.0");
    CanvasDriver d = CanvasDriverOf(*c.baffle, *c.driver, 0, 0);
    EXPECT_EQ(d.cx, 164);
    EXPECT_EQ(d.cy, 308);
    EXPECT_TRUE(d.glyph);
    EXPECT_FLOAT_EQ(d.glyph_scale, 60.0f);  // 2.4 times the diameter in grid units
    ASSERT_EQ(d.piston.size(), 5u);  // the centre and four points R 3.8 / s pixels out on the axes
    std::set<std::pair<int, int>> centres;
    for (const CanvasRect& r : d.piston) {
        EXPECT_EQ(r.right - r.left, 5);
        centres.insert({r.left + 2, r.top + 2});
    }
    const int out = static_cast<int>(3.8 * 12.5);
    EXPECT_EQ(centres, (std::set<std::pair<int, int>>{{164, 308}, {164 - out, 308}, {164 + out, 308}, {164, 308 - out},
                                                      {164, 308 + out}}));
    EXPECT_EQ(CanvasDriverOf(*c.baffle, *c.driver, 0, 12).piston.size(), 177u);
    // A raster that is not a positive number gives no glyph and no piston points.
    CopySettingText(c.baffle->Raster, sizeof c.baffle->Raster, "0");
    d = CanvasDriverOf(*c.baffle, *c.driver, 0, 0);
    EXPECT_FALSE(d.glyph);
    EXPECT_TRUE(d.piston.empty());
    CopySettingText(c.baffle->Raster, sizeof c.baffle->Raster, "1e-300");
    EXPECT_FALSE(CanvasDriverOf(*c.baffle, *c.driver, 0, 0).glyph);
    c.baffle->Positions[4] = BafflePosition{10.0f, 20.0f, 0, 0};
    const CanvasMicrophone m = CanvasMicrophoneOf(*c.baffle);
    EXPECT_EQ(m.ellipse.left, 36);
    EXPECT_EQ(m.ellipse.top, 381);
    EXPECT_EQ(m.ellipse.right, 52);
    EXPECT_EQ(m.ellipse.bottom, 397);
    EXPECT_EQ(m.line_x, 51);
    const CanvasRect box = CanvasBoxAt(80, 0);
    EXPECT_EQ(box.left, 322);
    EXPECT_EQ(box.top, 466);
    EXPECT_EQ(box.bottom, 471);
    EXPECT_EQ(CanvasOutline(*c.baffle).size(), 4u);  // closed: the last node back to node 0
    c.baffle->OutlineState = 0;
    EXPECT_EQ(CanvasOutline(*c.baffle).size(), 3u);
    c.baffle->Positions[0].x = std::nanf("");
    EXPECT_EQ(CanvasDriverOf(*c.baffle, *c.driver, 0, 0).cx, 0);
    EXPECT_TRUE(EdgeProfileSketchOf(2).arc);
    EXPECT_EQ(EdgeProfileSketchOf(1).labels.size(), 2u);
    EXPECT_TRUE(EdgeProfileSketchOf(7).lines.empty());
}

}  // namespace
