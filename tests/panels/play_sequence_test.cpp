// Play checks of both panels, the panes each configuration recomputes and the channel buttons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panels/play_sequence.h"

namespace {

PlaySettings Settings(uint32_t s, uint32_t i, uint32_t b, int rate = 48000, uint32_t k = 1) {
    PlaySettings p;
    p.SystemConfiguration = s;
    p.InputMode = i;
    p.BassMode = b;
    p.SampleRate = rate;
    p.HV_Buffer_Size = k;
    return p;
}

std::string Refusal(const PlaySettings& s) { return PlayRefusal(s); }

TEST(PlayChecksTest, StereoRules) {
    {
        EXPECT_EQ(Refusal(Settings(0, 0, 0)), "");
        EXPECT_EQ(Refusal(Settings(0, 0, 3)), "");
        EXPECT_EQ(Refusal(Settings(0, 0, 1)), "Unable To Run BBM/Summed In Stereo Mode");
        EXPECT_EQ(Refusal(Settings(0, 0, 2)), "Unable To Run BBM/Summed In Stereo Mode");
        for (uint32_t i : {1u, 2u, 3u})
            EXPECT_EQ(Refusal(Settings(0, i, 1)), "Unable To Process More Than 2 Inputs In Stereo Mode");
        // 2.2 BBM: two inputs only, every bass mode.
        for (uint32_t b = 0; b < 4; ++b) EXPECT_EQ(Refusal(Settings(6, 0, b)), "") << b;
        EXPECT_EQ(Refusal(Settings(6, 2, 0)), "Unable To Process More Than 2 Inputs In Stereo Mode");
    }
}

TEST(PlayChecksTest, ConfigurationRules) {
    {
        EXPECT_EQ(Refusal(Settings(1, 1, 1)), "Unable To Run BBM In 5.1HT Mode");
        EXPECT_EQ(Refusal(Settings(1, 1, 2)), "");
        EXPECT_EQ(Refusal(Settings(2, 0, 2)), "Unable To Run BBM/Summed In QUADRO Mode");
        for (uint32_t i = 0; i < 4; ++i)
            EXPECT_EQ(Refusal(Settings(3, i, 0)), "Unable To Run Standard Bass In BBM Mode") << i;
        EXPECT_EQ(Refusal(Settings(3, 0, 1)), "Unable To Run BBM With Stereo Inputs");
        EXPECT_EQ(Refusal(Settings(3, 1, 1)), "");
        for (uint32_t s : {4u, 5u})
            for (uint32_t i = 0; i < 4; ++i)
                for (uint32_t b = 0; b < 4; ++b) EXPECT_EQ(Refusal(Settings(s, i, b)), "");
    }
}

TEST(PlayChecksTest, QuadroRefusesTheTwelveInputModeByName) {
    // Four channels play from two, six or eight inputs; the twelve-input mode is refused and named.
    EXPECT_EQ(Refusal(Settings(2, 1, 0)), "Unable To Process 12 Inputs In QUADRO Mode");
    for (uint32_t i : {0u, 2u, 3u})
        for (uint32_t b : {0u, 3u}) EXPECT_EQ(Refusal(Settings(2, i, b)), "") << i << " " << b;
    // Rule 5 comes before the input-mode rule.
    EXPECT_EQ(Refusal(Settings(2, 0, 1)), "Unable To Run BBM/Summed In QUADRO Mode");
}

TEST(PlayChecksTest, SixteenBitCaptureTakesTwoInputsOnly) {
    PlaySettings s = Settings(1, 2, 0);
    s.Capture24Bit = 0;
    EXPECT_EQ(Refusal(s), "16 Bit Capture Can Only Process Inputs 1-2");
    s.InputMode = 0;
    EXPECT_EQ(Refusal(s), "");
}

TEST(PlayChecksTest, RateAndBlockSizeRules) {
    EXPECT_EQ(Refusal(Settings(0, 0, 0, 32000)),
              "Sampling Rate In This Release Must Be Set To\n44100 / 48000 / 96000 Samples/Second");
    EXPECT_EQ(Refusal(Settings(0, 0, 0, 192000)),
              "Sampling Rate In This Release Must Be Set To\n44100 / 48000 / 96000 Samples/Second");
    EXPECT_EQ(Refusal(Settings(0, 0, 0, 96000, 0)),
              "For 96kHz Sampling Rate, Please select 1024 OR 2048 OR 4096 buffer Size\n");
    EXPECT_EQ(Refusal(Settings(0, 0, 0, 96000, 3)), "");
    EXPECT_EQ(Refusal(Settings(0, 0, 0, 48000, 3)),
              "For 48kHz Sampling Rate, Please select 512 OR 1024 OR 2048 buffer Size\n");
    EXPECT_EQ(Refusal(Settings(0, 0, 0, 44100, 3)),
              "For 44.1kHz Sampling Rate, Please select 512 OR 1024 OR 2048 buffer Size\n");
    EXPECT_EQ(Refusal(Settings(0, 0, 0, 44100, 0)), "");
    // The configuration rules come first.
    EXPECT_EQ(Refusal(Settings(0, 0, 1, 96000, 0)), "Unable To Run BBM/Summed In Stereo Mode");
}

std::vector<int> Schedule(uint32_t s) {
    int panes[kSchedulePanes];
    const int n = PaneSchedule(s, panes);
    return std::vector<int>(panes, panes + n);
}

// The WAV player's table: the shared rules but the three its panel does not have, in the same order.
TEST(PlayChecksTest, TheWavPlayerKeepsItsOwnRules) {
    PlaySettings ht = Settings(1, 0, 1);
    EXPECT_EQ(Refusal(ht), "Unable To Run BBM In 5.1HT Mode");
    EXPECT_EQ(WavPlayRefusal(ht), "");
    PlaySettings bbm52 = Settings(3, 0, 1);
    EXPECT_EQ(Refusal(bbm52), "Unable To Run BBM With Stereo Inputs");
    EXPECT_EQ(WavPlayRefusal(bbm52), "");
    PlaySettings sixteen = Settings(4, 3, 0);
    sixteen.Capture24Bit = 0;
    EXPECT_EQ(Refusal(sixteen), "16 Bit Capture Can Only Process Inputs 1-2");
    EXPECT_EQ(WavPlayRefusal(sixteen), "");
    // The others hold for a song as for live input, in their order.
    const PlaySettings refused[] = {Settings(0, 0, 2), Settings(0, 3, 0), Settings(6, 3, 1), Settings(2, 0, 1),
                                    Settings(2, 1, 0), Settings(3, 3, 0), Settings(3, 0, 0, 22050),
                                    Settings(0, 0, 0, 96000, 0), Settings(0, 0, 0, 48000, 3), Settings(0, 0, 0, 44100, 3)};
    for (const PlaySettings& s : refused) {
        EXPECT_NE(WavPlayRefusal(s), "") << s.SystemConfiguration << "/" << s.InputMode << "/" << s.BassMode;
        EXPECT_EQ(WavPlayRefusal(s), Refusal(s));
    }
    EXPECT_EQ(WavPlayRefusal(Settings(3, 3, 2)), "");
}

TEST(PaneScheduleTest, PanesOfEachConfigurationInOrder) {
    EXPECT_EQ(Schedule(0), (std::vector<int>{1, 3}));
    EXPECT_EQ(Schedule(1), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Schedule(2), (std::vector<int>{1, 3, 4, 6}));
    EXPECT_EQ(Schedule(3), (std::vector<int>{1, 2, 3, 4, 5, 7, 6}));
    EXPECT_EQ(Schedule(4), (std::vector<int>{1, 2, 3, 4, 5, 7, 6, 8, 9}));
    EXPECT_EQ(Schedule(5), (std::vector<int>{1, 2, 3, 4, 5, 7, 6, 8, 9}));
    EXPECT_EQ(Schedule(6), (std::vector<int>{1, 3, 5, 7}));
    EXPECT_TRUE(Schedule(7).empty());
}

TEST(PaneScheduleTest, LabelsOfThePanes) {
    const char* ok[10] = {nullptr, "FL OK", "CC OK", "FR OK", "RL OK", "SB OK", "RR OK", "SB2 OK", "SL OK", "SR OK"};
    const int control[10] = {0, 60, 61, 62, 63, 64, 66, 65, 67, 68};
    for (int pane = 1; pane <= 9; ++pane) {
        const PaneStep* step = PaneStepOf(pane);
        ASSERT_NE(step, nullptr);
        EXPECT_STREQ(step->ok_label, ok[pane]);
        EXPECT_EQ(step->label_control, control[pane]);
        EXPECT_EQ(std::string(step->ok_label), std::string(step->short_name) + " OK");
    }
    EXPECT_EQ(PaneStepOf(0), nullptr);
}

TEST(PaneScheduleTest, ChannelButtonsLoadTheirPanes) {
    EXPECT_EQ(PaneOfChannelButton(20001), 1);
    EXPECT_EQ(PaneOfChannelButton(20002), 3);  // "Front Right"
    EXPECT_EQ(PaneOfChannelButton(20003), 2);  // "Centre"
    EXPECT_EQ(PaneOfChannelButton(20006), 5);  // "Sub"
    EXPECT_EQ(PaneOfChannelButton(20005), 6);  // "Rear Right"
    EXPECT_EQ(PaneOfChannelButton(20007), 7);
    EXPECT_EQ(PaneOfChannelButton(20009), 9);
    EXPECT_EQ(PaneOfChannelButton(20010), 0);
}

TEST(PaletteTest, KindsOfTheRowsAndTheirEdges) {
    bool counts = false;
    EXPECT_EQ(PaletteKindAt(20, 1, 0, &counts), 1);
    EXPECT_TRUE(counts);
    EXPECT_EQ(PaletteKindAt(20, 39, 0, &counts), 1);
    EXPECT_EQ(PaletteKindAt(20, 41, 0, &counts), 2);
    EXPECT_EQ(PaletteKindAt(39, 239, 0, &counts), 6);
    // A row edge keeps the previous kind but still counts.
    for (int edge : {40, 80, 120, 160, 200}) {
        EXPECT_EQ(PaletteKindAt(20, edge, 4, &counts), 4) << edge;
        EXPECT_TRUE(counts) << edge;
    }
    // Outside 0 < x < 40, 0 < y < 240 nothing counts.
    for (auto [x, y] : {std::pair{0, 20}, std::pair{40, 20}, std::pair{20, 0}, std::pair{20, 240}, std::pair{-3, 20}}) {
        PaletteKindAt(x, y, 2, &counts);
        EXPECT_FALSE(counts) << x << "," << y;
    }
}

}  // namespace
