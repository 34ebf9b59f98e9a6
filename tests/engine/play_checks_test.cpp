// The Play rules in their order with their exact messages, and Play's road to an armed start.
#include "engine/play_checks.h"

#include <gtest/gtest.h>

#include "engine_test_buffers.h"

namespace {

PlayRuleInputs Inputs(uint32_t S, uint32_t I, uint32_t B, uint32_t rate = 48000, uint32_t K = 1, uint32_t bits24 = 1) {
    PlayRuleInputs in;
    in.SystemConfiguration = S;
    in.InputMode = I;
    in.BassMode = B;
    in.SampleRate = rate;
    in.BufferSizeIndex = K;
    in.Capture24Bit = bits24;
    return in;
}

int Rule(const PlayRuleInputs& in, std::string* text = nullptr) { return CheckPlayRules(in, text); }

TEST(PlayRules, EachRuleWithItsMessage) {
    struct Case {
        PlayRuleInputs in;
        int rule;
        const char* text;
    };
    const Case cases[] = {
        {Inputs(0, 0, 1), 1, "Unable To Run BBM/Summed In Stereo Mode"},
        {Inputs(0, 0, 2), 1, "Unable To Run BBM/Summed In Stereo Mode"},
        {Inputs(0, 2, 0), 2, "Unable To Process More Than 2 Inputs In Stereo Mode"},
        {Inputs(6, 3, 0), 3, "Unable To Process More Than 2 Inputs In Stereo Mode"},
        {Inputs(1, 1, 1), 4, "Unable To Run BBM In 5.1HT Mode"},
        {Inputs(2, 0, 2), 5, "Unable To Run BBM/Summed In QUADRO Mode"},
        {Inputs(2, 1, 0), 6, "Unable To Process 12 Inputs In QUADRO Mode"},
        {Inputs(3, 1, 0), 7, "Unable To Run Standard Bass In BBM Mode"},
        {Inputs(3, 0, 1), 8, "Unable To Run BBM With Stereo Inputs"},
        {Inputs(0, 0, 0, 22050), 9, "Sampling Rate In This Release Must Be Set To\n44100 / 48000 / 96000 Samples/Second"},
        {Inputs(0, 0, 0, 192000), 9, "Sampling Rate In This Release Must Be Set To\n44100 / 48000 / 96000 Samples/Second"},
        {Inputs(0, 0, 0, 96000, 0), 10, "For 96kHz Sampling Rate, Please select 1024 OR 2048 OR 4096 buffer Size\n"},
        {Inputs(0, 0, 0, 48000, 3), 11, "For 48kHz Sampling Rate, Please select 512 OR 1024 OR 2048 buffer Size\n"},
        {Inputs(0, 0, 0, 44100, 3), 12, "For 44.1kHz Sampling Rate, Please select 512 OR 1024 OR 2048 buffer Size\n"},
        {Inputs(4, 2, 1, 48000, 1, 0), 13, kSixteenBitInputsRefused},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(Rule(c.in, &text), c.rule) << c.text;
        EXPECT_EQ(text, c.text);
    }
}

TEST(PlayRules, TheFirstMatchingRuleWins) {
    // Stereo with "BBM Input" and two inputs: rule 1 before rule 2 is looked at; with more inputs rule 2.
    EXPECT_EQ(Rule(Inputs(0, 0, 1)), 1);
    EXPECT_EQ(Rule(Inputs(0, 1, 1)), 2);
    // A configuration rule comes before the rate rules.
    EXPECT_EQ(Rule(Inputs(3, 2, 0, 96000, 0)), 7);
    // 5.2 BBM with "Standard" refuses whatever the input mode.
    for (uint32_t I = 0; I < 4; ++I) EXPECT_EQ(Rule(Inputs(3, I, 0)), 7) << I;
    // A rate rule comes before the 16-bit rule.
    EXPECT_EQ(Rule(Inputs(4, 2, 0, 48000, 3, 0)), 11);
}

TEST(PlayRules, ConfigurationsThatPass) {
    std::string text = "x";
    EXPECT_EQ(Rule(Inputs(0, 0, 0), &text), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(Rule(Inputs(0, 0, 3)), 0);                  // Stereo with "BBM Output"
    EXPECT_EQ(Rule(Inputs(6, 0, 1)), 0);                  // 2.2 BBM takes every bass mode
    EXPECT_EQ(Rule(Inputs(6, 0, 2)), 0);
    EXPECT_EQ(Rule(Inputs(2, 2, 0)), 0);                  // Quadro with "Inputs 1-8" and "Inputs 1-6"
    EXPECT_EQ(Rule(Inputs(2, 3, 3)), 0);
    EXPECT_EQ(Rule(Inputs(4, 1, 0)), 0);                  // 7.2 BBM and 7.2 BBM + CABS: no configuration rule
    EXPECT_EQ(Rule(Inputs(5, 3, 1)), 0);
    EXPECT_EQ(Rule(Inputs(0, 0, 0, 96000, 3)), 0);        // 96 kHz with 4096 frames
    EXPECT_EQ(Rule(Inputs(0, 0, 0, 44100, 0)), 0);
    EXPECT_EQ(Rule(Inputs(0, 0, 0, 44100, 2, 0)), 0);     // 16-bit with two inputs
}

class PlaySystemTest : public ::testing::Test {
protected:
    PlaySystemTest() : buffers_(512) {
        session_.Context = &buffers_.ctx;
        session_.Running = &running_;
        session_.Recording = &pool_;
        EXPECT_EQ(AllocateEngineSessionBuffers(session_), 0);
    }
    ~PlaySystemTest() override { FreeRecordingPool(&pool_); }

    TestEngineBuffers buffers_;
    std::atomic<int> running_{0};
    RecordingPool pool_;
    EngineSession session_;
    MessageList messages_;
};

TEST_F(PlaySystemTest, IgnoredWhileRunning) {
    running_ = 1;
    int builds = 0;
    EXPECT_EQ(PlaySystem(session_, Inputs(0, 0, 0), [&] { return ++builds, 0; }, 0, &messages_), PlayResult::kIgnored);
    EXPECT_EQ(builds, 0);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(PlaySystemTest, ARefusalShowsItsMessageAndChangesNothing) {
    buffers_.ctx.OutputAccumulator[0][5] = 3.0f;
    int builds = 0;
    EXPECT_EQ(PlaySystem(session_, Inputs(1, 0, 1), [&] { return ++builds, 0; }, 0, &messages_), PlayResult::kRefused);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, "Unable To Run BBM In 5.1HT Mode");
    EXPECT_EQ(messages_[0].caption, "HV Message");
    EXPECT_EQ(messages_[0].icon, MessageIcon::Warning);
    EXPECT_EQ(builds, 0);
    EXPECT_EQ(buffers_.ctx.OutputAccumulator[0][5], 3.0f);
}

TEST_F(PlaySystemTest, ArmsWithClearedBuffersBuiltFiltersAndARecording) {
    EngineBlockContext& ctx = buffers_.ctx;
    ctx.OutputAccumulator[3][7] = 1.0f;
    ctx.OverlapTail[15][511] = 2.0f;
    ctx.OutputDelayRing[2][100] = 5;
    ctx.InputSpectrumHistory[8][3][0] = 4.0f;
    ctx.OutputBlock[16 * 512 - 1] = 9;
    session_.HandOverStorage[1000] = 7;
    int builds = 0;
    EXPECT_EQ(PlaySystem(session_, Inputs(0, 0, 0), [&] { return ++builds, 0; }, 1, &messages_, 4), PlayResult::kArmed);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(ctx.OutputAccumulator[3][7], 0.0f);
    EXPECT_EQ(ctx.OverlapTail[15][511], 0.0f);
    EXPECT_EQ(ctx.OutputDelayRing[2][100], 0);
    EXPECT_EQ(ctx.InputSpectrumHistory[8][3][0], 0.0f);
    EXPECT_EQ(ctx.OutputBlock[16 * 512 - 1], 0);
    EXPECT_EQ(session_.HandOverStorage[1000], 0);
    EXPECT_EQ(pool_.Capacity, 4);
    EXPECT_EQ(pool_.Count, 0);
}
}  // namespace
