// The system plot's geometry: axis positions from their closed forms, label sets, legends, titles, the
// bin-to-column map against a linear search, and the reduced polyline against the literal per-bin drawing
// rasterised pixel by pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "design/system_plot.h"
#include "test_util.h"

namespace {

std::vector<float> PlotColumns(double fmin, double fmax) {
    std::vector<float> f(kPlotColumnCount);
    for (int i = 0; i < kPlotColumnCount; ++i) f[i] = static_cast<float>(fmin * std::pow(fmax / fmin, i / 2000.0));
    return f;
}

std::vector<float> Bins(int N, double rate) {
    std::vector<float> f(static_cast<size_t>(8 * N + 1));
    for (size_t k = 0; k < f.size(); ++k) f[k] = static_cast<float>(k * rate / (8.0 * N));
    f[0] = 0.01f;
    return f;
}

TEST(SystemPlotLabels, TwentyHertzToTwentyKilohertz) {
    std::vector<std::string> texts;
    for (const PlotLabel& l : PlotFrequencyLabels(20, 20000)) texts.push_back(l.text);
    const std::vector<std::string> expected = {"20",  "30",  "40", "60", "80", "100", "200", "300", "400",
                                               "600", "1k",  "2k", "3k", "4k", "6k",  "8k",  "10k"};
    EXPECT_EQ(texts, expected);
}

TEST(SystemPlotLabels, OneHertzToOneHundredKilohertz) {
    std::vector<std::string> texts;
    for (const PlotLabel& l : PlotFrequencyLabels(1, 100000)) texts.push_back(l.text);
    const std::vector<std::string> expected = {"1",  "2",  "3",  "4",   "5",   "6",   "8",   "10", "20", "30",
                                               "40", "60", "80", "100", "200", "300", "400", "600", "1k", "2k",
                                               "3k", "4k", "6k", "8k",  "10k", "20k", "30k", "40k", "60k", "80k"};
    EXPECT_EQ(texts, expected);
}

TEST(SystemPlotLabels, GridStepsByDecadeAndReachesTheTop) {
    const std::vector<double> f = PlotGridFrequencies(20, 20000);
    EXPECT_EQ(f.front(), 20);
    EXPECT_EQ(f.back(), 20000);
    EXPECT_EQ(f.size(), 8u + 9u + 9u + 2u);  // 20..90, 100..900, 1k..9k, 10k, 20k
}

TEST(SystemPlotLabels, ScaleTextsCutToFourCharacters) {
    EXPECT_EQ(PlotDbLabel(0, 5), "20");
    EXPECT_EQ(PlotDbLabel(4, 5), "0");
    EXPECT_EQ(PlotDbLabel(18, 5), "-70");
    EXPECT_EQ(PlotDbLabel(18, 1000), "-140");  // "-14000" cut
    EXPECT_EQ(PlotPhaseLabel(0), "180");
    EXPECT_EQ(PlotPhaseLabel(9), "0");
    EXPECT_EQ(PlotPhaseLabel(18), "-180");
}

TEST(SystemPlotGeometry, AxesFollowTheirClosedForms) {
    const PlotGeometry g = MakePlotGeometry(1080, 760, 20, 20000, 5);
    EXPECT_FLOAT_EQ(g.r, 40.0f);
    EXPECT_DOUBLE_EQ(PlotXOfFrequency(g, 20), 60.0);
    EXPECT_NEAR(PlotXOfFrequency(g, 20000), 1060.0, 1e-9);
    EXPECT_NEAR(PlotXOfFrequency(g, 632.4555320336759), 560.0, 1e-9);  // the geometric middle
    EXPECT_DOUBLE_EQ(PlotColumnX(g, 1000), 560.0);
    EXPECT_DOUBLE_EQ(PlotDbY(g, 0), 180.0);   // row 4
    EXPECT_DOUBLE_EQ(PlotDbY(g, 20), 20.0);   // row 0
    EXPECT_DOUBLE_EQ(PlotDbY(g, -70), 740.0); // row 18
    EXPECT_DOUBLE_EQ(PlotPhaseY(g, 180), 20.0);
    EXPECT_DOUBLE_EQ(PlotPhaseY(g, 0), 380.0);
    EXPECT_DOUBLE_EQ(PlotPhaseY(g, -180), 740.0);
    // Clamping.
    EXPECT_EQ(ClampPlotY(g, PlotDbY(g, 100)), 19);
    EXPECT_EQ(ClampPlotY(g, PlotDbY(g, -200)), 760 - 21);
    EXPECT_EQ(ClampPlotY(g, std::nan("")), 19);
    EXPECT_EQ(ClampPlotY(g, 300.7), 300);
}

TEST(SystemPlotTitles, TitleByOutputModeAndChannelByActivePane) {
    EXPECT_EQ(PlotWindowTitle(0), "Halvane Equalizer Frequency Domain, 8 Outputs");
    EXPECT_EQ(PlotWindowTitle(1), "Halvane Equalizer Frequency Domain, 16 Outputs");
    EXPECT_EQ(PlotWindowTitle(2), "Halvane Equalizer Frequency Domain, 8 Outputs + SPDIF");
    EXPECT_STREQ(PlotChannelName(0), "No Channel Selected");
    EXPECT_STREQ(PlotChannelName(5), "Subwoofer");
    EXPECT_STREQ(PlotChannelName(8), "Side-Left");
    EXPECT_STREQ(PlotChannelName(9), "Side-Right");
}

TEST(SystemPlotLegends, SlotsTextsAndPlaces) {
    const int w = 1000;
    PlotLegend l = PlotSlotLegend(0, w);
    EXPECT_EQ(l.text, "Filter 1 SPL");
    EXPECT_EQ(l.textX, 890);
    EXPECT_EQ(l.textY, 25);
    EXPECT_EQ(l.lineX0, 950);
    EXPECT_EQ(l.lineX1, 975);
    EXPECT_EQ(l.lineY, 30);
    l = PlotSlotLegend(47, w);
    EXPECT_EQ(l.text, "HBT 16 SPL");
    EXPECT_EQ(l.textY, 25 + 9 * 47);
    l = PlotSlotLegend(80, w);
    EXPECT_EQ(l.text, "Driver 1 Phase");
    EXPECT_EQ(l.textX, 790);
    EXPECT_EQ(l.textY, 25 + 9 * 16);
    EXPECT_EQ(l.lineX0, 855);
    l = PlotSlotLegend(127, w);
    EXPECT_EQ(l.text, "Final 16 Phase");
    l = PlotSlotLegend(129, w);
    EXPECT_EQ(l.text, "System SPL");
    EXPECT_EQ(l.textY, 619);
    EXPECT_EQ(l.lineY, 624);
    l = PlotSlotLegend(130, w);
    EXPECT_EQ(l.text, "System Phase");
    EXPECT_EQ(l.textX, 790);
    l = PlotSlotLegend(140, w);
    EXPECT_EQ(l.text, "HBT + Filter 8 SPL");
    EXPECT_EQ(l.textX, 65);
    EXPECT_EQ(l.lineX0, 145);
    l = PlotSlotLegend(164, w);
    EXPECT_EQ(l.text, "HBT + Filter 16 Phase");
    EXPECT_EQ(l.textX, 180);
    EXPECT_EQ(l.lineX1, 295);
    for (int s : {128, 131, 132, 165, 169}) EXPECT_FALSE(PlotSlotDrawn(s)) << s;
    EXPECT_EQ(PlotSlotOrder().size(), 128u + 2u + 32u);
    EXPECT_TRUE(PlotSlotIsPhase(130));
    EXPECT_FALSE(PlotSlotIsPhase(129));
    EXPECT_TRUE(PlotSlotIsPhase(150));
}

TEST(SystemPlotPens, StyleWidthAndColourModulo) {
    PlotPen p = PlotPenOf(300.7f, 12.0f, 255.9f, 2.8f, 3.0f);
    EXPECT_EQ(p.red, 44);
    EXPECT_EQ(p.green, 12);
    EXPECT_EQ(p.blue, 255);
    EXPECT_EQ(p.width, 2);
    EXPECT_EQ(p.style, 2);
    EXPECT_EQ(PlotPenOf(0, 0, 0, 1, 2).style, 1);
    EXPECT_EQ(PlotPenOf(0, 0, 0, 1, 1).style, 0);
    EXPECT_EQ(PlotPenOf(0, 0, 0, 1, 0).style, 0);
    EXPECT_EQ(PlotPenOf(0, 0, 0, 1, 9).style, 0);
}

TEST(SystemPlotMapping, BinarySearchAgreesWithTheLinearSearch) {
    for (int N : {512, 4096}) {
        for (auto range : {std::pair{20.0, 20000.0}, std::pair{1.0, 500.0}, std::pair{200.0, 100000.0}}) {
            const std::vector<float> bins = Bins(N, 48000);
            const std::vector<float> cols = PlotColumns(range.first, range.second);
            std::vector<int32_t> fast(bins.size()), literal(bins.size());
            MapBinsToColumns(bins.data(), static_cast<int>(bins.size()), cols.data(), fast.data());
            MapBinsToColumnsLiteral(bins.data(), static_cast<int>(bins.size()), cols.data(), literal.data());
            EXPECT_EQ(fast, literal);
            EXPECT_EQ(fast[0], 0);  // 0.01 Hz lies below every column
        }
    }
}

TEST(SystemPlotCurve, ReducedPolylineCoversTheSamePixelsAsEveryBin) {
    const int N = 1024;
    const std::vector<float> bins = Bins(N, 48000);
    const std::vector<float> cols = PlotColumns(20, 20000);
    std::vector<int32_t> column(bins.size());
    MapBinsToColumns(bins.data(), static_cast<int>(bins.size()), cols.data(), column.data());
    std::vector<float> values(bins.size());
    // A curve with every kind of run: slow slopes, noise, spikes past the clamps.
    srand(7);
    for (size_t k = 0; k < values.size(); ++k)
        values[k] = static_cast<float>(20 * std::sin(k * 0.01) + (rand() % 200 - 100) * 0.05 + (k % 97 == 0 ? 300 : 0));
    // Values no curve should hold, which must still land where the literal drawing puts them.
    for (size_t k = 3; k < values.size(); k += 501) values[k] = std::nanf("");
    for (size_t k = 5; k < values.size(); k += 777) values[k] = INFINITY;
    for (size_t k = 7; k < values.size(); k += 1003) values[k] = -INFINITY;
    for (bool phase : {false, true}) {
        const PlotGeometry g = MakePlotGeometry(900, 600, 20, 20000, 5);
        std::vector<PlotStroke> strokes;
        BuildCurveStrokesLiteral(g, values.data(), column.data(), static_cast<int>(bins.size()), phase, &strokes);
        std::vector<PlotPoint> points;
        BuildCurvePolyline(g, values.data(), column.data(), static_cast<int>(bins.size()), phase, &points);
        std::vector<std::pair<bool, std::pair<int, int>>> a, b;
        for (const PlotStroke& s : strokes) a.push_back({s.move, {s.x, s.y}});
        for (size_t i = 0; i < points.size(); ++i) b.push_back({i == 0, {points[i].x, points[i].y}});
        EXPECT_EQ(Rasterise(a), Rasterise(b));
        EXPECT_LT(points.size(), 4u * kPlotColumnCount + 1);
        EXPECT_GT(strokes.size(), 4u * points.size() / 3);
        for (const PlotPoint& p : points) {
            EXPECT_GE(p.y, 19);
            EXPECT_LE(p.y, 600 - 21);
        }
    }
}

}  // namespace
