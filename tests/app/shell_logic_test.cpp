#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "app/autostart.h"
#include "app/command_ids.h"
#include "app/frame_commands.h"
#include "app/readouts.h"
#include "app/splitter_layout.h"

namespace {

std::map<int, PaneCell> CellsByPane(SplitterKind kind, SplitterBars bars, int w, int h) {
    std::map<int, PaneCell> m;
    for (const PaneCell& c : LayoutPanes(kind, bars, w, h)) m[c.pane] = c;
    return m;
}

void ExpectCell(const PaneCell& c, int x, int y, int w, int h) {
    EXPECT_EQ(c.x, x) << "pane " << c.pane;
    EXPECT_EQ(c.y, y) << "pane " << c.pane;
    EXPECT_EQ(c.width, w) << "pane " << c.pane;
    EXPECT_EQ(c.height, h) << "pane " << c.pane;
}

}  // namespace

TEST(SplitterLayout, CellsOfEveryGrid) {
    auto stereo = CellsByPane(SplitterKind::Stereo, {500, 0, 0, 0}, 800, 600);
    ASSERT_EQ(stereo.size(), 2u);
    ExpectCell(stereo[1], 1, 1, 498, 597);
    ExpectCell(stereo[3], 501, 1, 297, 597);

    auto ht = CellsByPane(SplitterKind::HomeTheatre, {300, 600, 400, 0}, 1000, 800);
    ASSERT_EQ(ht.size(), 6u);
    ExpectCell(ht[1], 1, 1, 298, 398);
    ExpectCell(ht[2], 301, 1, 300, 398);
    ExpectCell(ht[3], 603, 1, 396, 398);
    ExpectCell(ht[4], 1, 402, 298, 397);
    ExpectCell(ht[5], 301, 402, 300, 397);
    ExpectCell(ht[6], 603, 402, 396, 397);

    auto bbm52 = CellsByPane(SplitterKind::Bbm52, {300, 600, 400, 0}, 1000, 800);
    ASSERT_EQ(bbm52.size(), 7u);
    ExpectCell(bbm52[5], 301, 402, 150, 397);
    ExpectCell(bbm52[7], 453, 402, 148, 397);

    auto bbm72 = CellsByPane(SplitterKind::Bbm72, {300, 600, 200, 500}, 1000, 800);
    ASSERT_EQ(bbm72.size(), 9u);
    ExpectCell(bbm72[2], 301, 1, 300, 198);
    ExpectCell(bbm72[8], 1, 202, 298, 297);
    ExpectCell(bbm72[4], 1, 502, 298, 297);
    ExpectCell(bbm72[9], 603, 202, 396, 297);
    ExpectCell(bbm72[6], 603, 502, 396, 297);
    ExpectCell(bbm72[5], 301, 202, 150, 597);
    ExpectCell(bbm72[7], 453, 202, 148, 597);

    auto quadro = CellsByPane(SplitterKind::Quadro, {400, 0, 300, 0}, 800, 700);
    ExpectCell(quadro[6], 401, 302, 397, 397);
    auto bbm22 = CellsByPane(SplitterKind::Bbm22, {400, 0, 300, 0}, 800, 700);
    ExpectCell(bbm22[7], 401, 302, 397, 397);
    ExpectCell(bbm22[5], 1, 302, 398, 397);
}

TEST(SplitterLayout, BarsAreClampedEachOnItsOwn) {
    // The upper limit is tested first: a client narrower than 100 pixels puts the bar below 50.
    SplitterBars b = ClampBars(SplitterKind::Stereo, {500, 0, 0, 0}, 90, 600);
    EXPECT_EQ(b.X1, 40);
    b = ClampBars(SplitterKind::Stereo, {10, 0, 0, 0}, 800, 600);
    EXPECT_EQ(b.X1, 50);
    // Nothing keeps X1 left of X2.
    b = ClampBars(SplitterKind::HomeTheatre, {700, 200, 900, 0}, 1000, 800);
    EXPECT_EQ(b.X1, 700);
    EXPECT_EQ(b.X2, 200);
    EXPECT_EQ(b.Y1, 750);
    // Unused bars are left alone.
    b = ClampBars(SplitterKind::Stereo, {500, 7, 7, 7}, 800, 600);
    EXPECT_EQ(b.Y1, 7);
}

TEST(SplitterLayout, HitZonesAndCursors) {
    SplitterBars bars{300, 600, 200, 500};
    EXPECT_TRUE(HitBars(SplitterKind::Bbm72, bars, 301, 50).X1);
    EXPECT_FALSE(HitBars(SplitterKind::Bbm72, bars, 302, 50).X1);  // the zone is X - 2 < x < X + 2
    EXPECT_FALSE(HitBars(SplitterKind::Bbm72, bars, 298, 50).X1);
    BarHits cross = HitBars(SplitterKind::Bbm72, bars, 600, 500);
    EXPECT_TRUE(cross.X2 && cross.Y2 && !cross.X1 && !cross.Y1);
    EXPECT_EQ(HoverCursor(cross), SplitterCursor::SizeWE);
    EXPECT_EQ(HoverCursor(HitBars(SplitterKind::Bbm72, bars, 10, 201)), SplitterCursor::SizeNS);
    EXPECT_EQ(HoverCursor(HitBars(SplitterKind::Bbm72, bars, 10, 10)), SplitterCursor::Arrow);
    // A Stereo window has no horizontal bar to hit.
    EXPECT_FALSE(HitBars(SplitterKind::Stereo, bars, 10, 200).Any());
    // By groups: X1 with Y1, then X2 with Y2; the last group with a taken bar decides.
    BarHits taken;
    taken.X1 = true;
    taken.Y2 = true;
    EXPECT_EQ(PressCursor(taken), SplitterCursor::SizeNS);
    taken.X2 = true;
    EXPECT_EQ(PressCursor(taken), SplitterCursor::SizeWE);
}

TEST(SplitterLayout, PlacementTracking) {
    const FrameMetrics m{4, 4, 20};
    WindowPlacement slot{0, 0, 0, 0};
    TrackMove(&slot, 104, 128, m, 1600, 1000);
    EXPECT_EQ(slot.x, 100);
    EXPECT_EQ(slot.y, 104);
    TrackMove(&slot, 1700, 128, m, 1600, 1000);
    EXPECT_EQ(slot.x, 0);
    slot = {-3, 50, 0, 0};
    TrackSize(&slot, 600, 400, m, 1600, 1000);
    EXPECT_EQ(slot.x, 0);
    EXPECT_EQ(slot.cx, 608);
    EXPECT_EQ(slot.cy, 428);
    TrackSize(&slot, 2000, 2000, m, 1600, 1000, 16);
    EXPECT_EQ(slot.cx, 1600);
    EXPECT_EQ(slot.cy, 1000);
}

TEST(Autostart, ChannelOrderOfEveryConfiguration) {
    const std::map<uint32_t, std::vector<int>> expected = {
        {0, {20001, 20002}},
        {1, {20001, 20003, 20002, 20004, 20006, 20005}},
        {2, {20001, 20002, 20004, 20005}},
        {3, {20001, 20003, 20002, 20004, 20006, 20007, 20005}},
        {4, {20001, 20003, 20002, 20008, 20009, 20004, 20006, 20007, 20005}},
        {5, {20001, 20003, 20002, 20008, 20009, 20004, 20006, 20007, 20005}},
        {6, {20001, 20002, 20006, 20007}},
    };
    for (const auto& [config, buttons] : expected) {
        std::vector<int> sent;
        int timer = kAutostartFirstChannelTimer;
        while (timer != 0 && timer != kAutostartPlayTimer && sent.size() < 20) {
            sent.push_back(AutostartButton(timer));
            timer = NextAutostartTimer(timer, config);
        }
        EXPECT_EQ(sent, buttons) << "configuration " << config;
        EXPECT_EQ(timer, kAutostartPlayTimer) << "configuration " << config;
    }
    // An unknown configuration ends the chain after the first button.
    EXPECT_EQ(NextAutostartTimer(10101, 7), 0);
    EXPECT_EQ(AutostartButton(10110), 0);
}

TEST(Autostart, ProfileNameAfterTheLastBackslash) {
    std::string name = "old";
    EXPECT_TRUE(ProfileNameFromPath("C:\\music\\living room.HIF", &name));
    EXPECT_EQ(name, "living room.HIF");
    name = "old";
    EXPECT_FALSE(ProfileNameFromPath("project.HIF", &name));
    EXPECT_EQ(name, "old");
    // The first character is not searched.
    EXPECT_FALSE(ProfileNameFromPath("\\x", &name));
}

TEST(FrameCommands, GuardTable) {
    for (int id : {IDM_NEW, IDM_PRINT, IDM_COPY, IDM_COPY_SCREEN, IDM_POSITION_IR}) {
        EXPECT_FALSE(IsCommandRefused(id, true, true)) << id;
    }
    for (int id : {IDM_EXIT, IDM_ABOUT, IDM_PLAYER_MODE, IDM_CURRENT_SYSTEM, IDM_WAVE_PLAYER_MODE}) {
        EXPECT_TRUE(IsCommandRefused(id, true, false)) << id;
        EXPECT_FALSE(IsCommandRefused(id, false, true)) << id;
    }
    // The MDI window list (ids from 40, "More Windows..." at 49 and the ids of further children) and ids no
    // menu item carries reach DefFrameProc whatever runs.
    for (int id : {IDM_FIRST_MDI_CHILD, IDM_FIRST_MDI_CHILD + 1, IDM_FIRST_MDI_CHILD + 9, IDM_FIRST_MDI_CHILD + 30,
                   111, 203, 405, 9999}) {
        EXPECT_FALSE(IsCommandRefused(id, true, true)) << id;
    }
    for (int id : {IDM_OPEN_DRIVER, IDM_SAVE_DRIVER, IDM_OPEN_PROJECT, IDM_SAVE_PROJECT, IDM_PREFERENCES,
                   IDM_LAST_DRIVER, IDM_LAST_PROJECT, IDM_STEREO_2X3, IDM_STEREO_2X4, IDM_STEREO_2X2, IDM_HT1,
                   IDM_HT2, IDM_HT3, IDM_HT4, IDM_HT5, IDM_HT5_6X1, IDM_HT6_6X2, IDM_BLANK_STEREO, IDM_BLANK_HT,
                   IDM_BLANK_QUADRO, IDM_BLANK_BBM52, IDM_BBM_HT2, IDM_HT72_BBM, IDM_HT72_BBM_CABS,
                   IDM_STEREO_2X2_SUBS, IDM_ASSIGN_PROFILES, IDM_DIFFRACTION_MODEL, IDM_FILE_EDITOR,
                   IDM_PEN_COLOURS, IDM_IMPORT_IMP, IDM_IMPORT_LMS, IDM_IMPORT_CLIO, IDM_IMPORT_MLSSA,
                   IDM_IMPORT_LMS_ALT, IDM_EXPORT_SPL_PHASE, IDM_EXPORT_IR, IDM_MLS, IDM_HELP}) {
        EXPECT_TRUE(IsCommandRefused(id, true, false)) << id;
        EXPECT_TRUE(IsCommandRefused(id, false, true)) << id;
        EXPECT_FALSE(IsCommandRefused(id, false, false)) << id;
    }
}

TEST(FrameCommands, DefaultDriverFileName) {
    EXPECT_EQ(DefaultDriverFileName("woofer.WFR", 2, 2), "woofer_2048b_96k");
    EXPECT_EQ(DefaultDriverFileName("C:\\drivers\\tweeter.TWE", 0, 0), "C:\\drivers\\tweeter_0512b_44k");
    EXPECT_EQ(DefaultDriverFileName("a.b.c", 3, 1), "a.b_4096b_48k");
    // No "." in the file name: the suffix alone, also when a folder name has one.
    EXPECT_EQ(DefaultDriverFileName("woofer", 1, 1), "_1024b_48k");
    EXPECT_EQ(DefaultDriverFileName("C:\\my.dir\\woofer", 1, 1), "_1024b_48k");
    EXPECT_EQ(DefaultDriverFileName("", 1, 1), "_1024b_48k");
}

TEST(Readouts, SplTitleFormatsAndLimits) {
    const int N = 512;
    const double fs = 48000.0;
    std::vector<float> bins(8 * N + 1), plot(2000);
    for (int k = 0; k <= 8 * N; ++k) bins[k] = k == 0 ? 0.01f : static_cast<float>(k * fs / (8 * N));
    for (int i = 0; i < 2000; ++i) plot[i] = static_cast<float>(10.0 * std::pow(5000.0, i / 2000.0));  // 10 Hz..50 kHz
    std::vector<std::vector<float>> spl(16, std::vector<float>(8 * N + 1)), phase = spl;
    std::vector<const float*> splPtr, phasePtr;
    for (int o = 0; o < 16; ++o) {
        for (int k = 0; k <= 8 * N; ++k) {
            spl[o][k] = static_cast<float>(o + 1) + 0.25f;
            phase[o][k] = -static_cast<float>(o + 1) * 10.0f;
        }
        splPtr.push_back(spl[o].data());
        phasePtr.push_back(phase[o].data());
    }
    SplReadoutInputs in{1080, 600, N, 0, bins.data(), plot.data(), splPtr.data(), phasePtr.data()};
    // x = 60 is column 0: 10 Hz, first bin above it is k = 1 (11.72 Hz).
    EXPECT_EQ(SplReadoutTitle(in, 60, 100),
              "Freq[1] = 11.7Hz, 1: 1.2/-10.0, 2: 2.2/-20.0, 3: 3.2/-30.0, 4: 4.2/-40.0, 5: 5.2/-50.0, "
              "6: 6.2/-60.0, 7: 7.2/-70.0, 8: 8.2/-80.0 ");
    in.outputMode = 2;
    std::string ten = SplReadoutTitle(in, 60, 100);
    EXPECT_NE(ten.find(", 10: 10.2/-100.0 "), std::string::npos);
    EXPECT_EQ(ten.back(), ' ');
    in.outputMode = 1;
    EXPECT_NE(SplReadoutTitle(in, 60, 100).find("16: 16.2/-160.0 "), std::string::npos);

    EXPECT_EQ(SplReadoutTitle(in, 59, 100), kSplPlotTitle);
    EXPECT_EQ(SplReadoutTitle(in, 100, 19), kSplPlotTitle);
    EXPECT_EQ(SplReadoutTitle(in, 100, 580), kSplPlotTitle);
    // Columns above the highest bin (24 kHz here) read nothing.
    EXPECT_EQ(SplReadoutTitle(in, 1059, 100), kSplPlotTitle);
    // A window no wider than its margins reads nothing (and divides by nothing).
    in.width = 80;
    EXPECT_EQ(SplReadoutTitle(in, 70, 100), kSplPlotTitle);
}

TEST(Readouts, ImpulseBins) {
    EXPECT_EQ(IrMouseBin(60, 1080, 500), 0);
    EXPECT_EQ(IrMouseBin(560, 1080, 500), 500);
    EXPECT_EQ(IrMouseBin(100, 80, 500), -1);
    EXPECT_EQ(IrKeyBin(-40, 1, 8222), 0);
    EXPECT_EQ(IrKeyBin(9000, -1, 8222), 8222);
    EXPECT_EQ(IrKeyBin(10, -1, 8222), 9);
}

#include "app/frequency_grids.h"

TEST(FrequencyGrids, BinAndPlotGrids) {
    RebuildBinGrid(2, 3);  // 96 kHz, 4096 frames
    EXPECT_EQ(BlockFrames, 4096);
    EXPECT_FLOAT_EQ(BinFrequencyTable[0], 0.01f);
    EXPECT_FLOAT_EQ(BinFrequencyTable[1], 96000.0f / 32768.0f);
    EXPECT_FLOAT_EQ(BinFrequencyTable[16384], 48000.0f);
    RebuildBinGrid(0, 0);
    EXPECT_EQ(BlockFrames, 512);
    EXPECT_FLOAT_EQ(BinFrequencyTable[4096], 44100.0f);

    RebuildPlotGrids({3, 6});  // 10 Hz .. 50 kHz
    EXPECT_FLOAT_EQ(PlotFrequencyTable[0], 10.0f);
    EXPECT_NEAR(PlotFrequencyTable[1000], 10.0 * std::sqrt(5000.0), 1e-3);
    EXPECT_FLOAT_EQ(LogFrequencyTable[kLogGridReference], 10.0f);
    EXPECT_NEAR(LogFrequencyTable[kLogGridReference + 2000], 50000.0, 0.05);
    EXPECT_LT(LogFrequencyTable[0], 10.0f);
    RebuildBinGrid(1, 1);
}
