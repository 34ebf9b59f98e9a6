#include "app/global_records.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "app/preferences.h"
#include "app/settings.h"
#include "app/startup.h"
#include "test_util.h"

namespace {

struct StartedRecords : ::testing::Test {
    ScratchDir dir;
    MessageList messages;
    void SetUp() override { ASSERT_TRUE(StartRecords(dir.Path().string() + "/", &messages)); }
    void TearDown() override { ReleaseRecords(); }
};

bool AllWordsEqual(const PlotCurve& c, float v) {
    const float* w = reinterpret_cast<const float*>(&c);
    for (size_t i = 0; i < kCurvePoints + 8; ++i)
        if (w[i] != v) return false;
    return true;
}

}  // namespace

TEST_F(StartedRecords, InitialContents) {
    // No preferences file in a fresh folder.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Unable To OPEN Preferences File");

    for (int o = 0; o < kOutputCount; ++o) {
        for (size_t k : {size_t{0}, size_t{1}, kSpectrumPoints / 2, kSpectrumPoints - 1}) {
            EXPECT_EQ(OutputSpectrum[o][2 * k], 1.0f);
            EXPECT_EQ(OutputSpectrum[o][2 * k + 1], 0.0f);
            EXPECT_EQ(PhaseReferenceSpectrum[o][2 * k], 1e-7f);
            EXPECT_EQ(PhaseReferenceSpectrum[o][2 * k + 1], 0.0f);
        }
        EXPECT_EQ(OverlapTail[o][1048575], 0.0f);
        EXPECT_EQ(FilterPartitionBank[1][o][7][32767], 0.0f);
    }
    EXPECT_EQ(InputSpectrumHistory[8][7][32767], 0.0f);
    // Buffers start on cache-line boundaries, as the vector kernels want them.
    for (const void* p : {static_cast<const void*>(InputBlock[0]), static_cast<const void*>(FilterPartitionBank[1][15][7]),
                          static_cast<const void*>(OutputAccumulator[3]), static_cast<const void*>(FftWorkBuffer)})
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u);
    EXPECT_EQ(FftBitReverseTable[kFftTableWords - 1], 0);

    // Slot 1 is zero but for its white pen; slot 12 all zero.
    // Calibration slots 0, 2, .., 10 are 1.0 in every word but the colour words, which are white.
    for (int slot = 0; slot <= 10; slot += 2) {
        auto expected = std::make_unique<PlotCurve>();
        float* w = reinterpret_cast<float*>(expected.get());
        for (size_t i = 0; i < kCurvePoints + 8; ++i) w[i] = 1.0f;
        expected->Red = expected->Green = expected->Blue = 255.0f;
        EXPECT_EQ(std::memcmp(expected.get(), &CalibrationCurves[slot], sizeof(PlotCurve)), 0) << slot;
    }
    EXPECT_EQ(CalibrationCurves[1].Values[777], 0.0f);
    EXPECT_EQ(CalibrationCurves[1].Visible, 0.0f);
    EXPECT_EQ(CalibrationCurves[1].Red, 255.0f);
    EXPECT_EQ(CalibrationCurves[1].Blue, 255.0f);
    EXPECT_EQ(CalibrationCurves[1].PenWidth, 0.0f);
    EXPECT_TRUE(AllWordsEqual(CalibrationCurves[12], 0.0f));

    // The defaults and settings of start-up.
    EXPECT_EQ(FrequencyAxisRange.lowest, 3u);
    EXPECT_EQ(FrequencyAxisRange.highest, 6u);
    EXPECT_EQ(CurveViewFlags[0], 1u);
    EXPECT_EQ(CurveViewFlags[1], 0u);
    EXPECT_EQ(EditTool, 1);
    EXPECT_STREQ(Preferences->LastDriverPath, "**");
}

TEST_F(StartedRecords, DefaultDesignAndRecordDefaults) {
    // Stereo 2 x 2 Way with the panes' own two-way sets: pane n takes input n and outputs 2n - 1 and 2n.
    const PaneRecord& front_left = *PaneRecords[0];
    const PaneRecord& front_right = *PaneRecords[2];
    EXPECT_EQ(front_left.elements[0].kind, InputTerminal);
    EXPECT_EQ(front_left.params[0].p[kParamInputPort], 1.0f);
    EXPECT_EQ(front_left.elements[8].kind, OutputPort);
    EXPECT_EQ(front_left.params[8].p[kParamOutputNumber], 1.0f);
    EXPECT_EQ(front_left.params[9].p[kParamOutputNumber], 2.0f);
    EXPECT_EQ(front_right.params[0].p[kParamInputPort], 3.0f);
    EXPECT_EQ(front_right.params[8].p[kParamOutputNumber], 5.0f);
    EXPECT_EQ(front_right.params[9].p[kParamOutputNumber], 6.0f);
    for (int pane : {1, 3, 4, 5, 6, 7, 8}) EXPECT_EQ(PaneRecords[pane]->element_count, 0u) << pane + 1;
    EXPECT_EQ(pr_file->tail.SystemConfiguration, 0u);
    // A cleared playlist shows one blank in every text, never an empty string.
    EXPECT_STREQ(Playlist.slots[0].Title, " ");
    EXPECT_STREQ(Playlist.slots[127].Location, " ");
    for (int o = 0; o < kOutputCount; ++o) EXPECT_EQ(OutputPolarity[o], 0);
}

TEST_F(StartedRecords, BaffleDefaultsAreTheClosedSquare) {
    const BaffleRecord& b = *Baffle;
    EXPECT_EQ(b.NodeCount, 4);
    EXPECT_EQ(b.OutlineState, 2u);
    const int corners[5][2] = {{0, 0}, {80, 0}, {80, 80}, {0, 80}, {0, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(b.Nodes[i].x, corners[i][0]);
        EXPECT_EQ(b.Nodes[i].y, corners[i][1]);
    }
    EXPECT_EQ(b.Positions[0].x, 40.0f);
    EXPECT_EQ(b.Positions[0].Enabled, 1u);
    EXPECT_EQ(b.Positions[1].x, 45.0f);
    EXPECT_EQ(b.Positions[1].y, 50.0f);
    EXPECT_EQ(b.Positions[1].Enabled, 0u);
    EXPECT_EQ(b.Positions[4].x, 40.0f);
    EXPECT_EQ(b.Positions[4].Enabled, 0u);
    EXPECT_STREQ(b.Raster, "1.0");
    EXPECT_EQ(b.InsertAfterIndex, 1u);
    EXPECT_EQ(b.BaffleEditMode, 8u);
    EXPECT_EQ(BaffleEdgePoints->PointCount, 4);
    EXPECT_EQ(BaffleEdgePoints->ElementCount, 0);
}

TEST(GlobalRecords, ReleaseIsSafeTwiceAndAfterPartialAllocation) {
    ASSERT_EQ(AllocateSystemBuffers(), 0);
    // Only the first allocator ran: releasing all three must not touch what was never allocated.
    ReleaseRecords();
    ReleaseRecords();
    EXPECT_EQ(pr_file, nullptr);
    EXPECT_EQ(OutputSpectrum[15], nullptr);
    EXPECT_EQ(FilterPartitionBank[1][15][7], nullptr);
}
