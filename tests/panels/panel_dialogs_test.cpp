// The small dialogs' state and actions, and the refusals of the profile reload.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "panels/panel_dialogs.h"
#include "test_util.h"
#include "app/heap_record.h"

namespace {

TEST(CopySpeakerTest, OneSourceAndOneTargetAtATime) {
    CopySpeakerSelection s;
    EXPECT_EQ(CopySourcePane(s), 1);
    EXPECT_EQ(CopyTargetPane(s), 1);
    EXPECT_TRUE(SelectCopyBox(&s, 4955));  // "Subwoofer 2"
    EXPECT_TRUE(SelectCopyBox(&s, 4966));  // "Rear Right"
    EXPECT_EQ(CopySourcePane(s), 7);
    EXPECT_EQ(CopyTargetPane(s), 6);
    EXPECT_TRUE(SelectCopyBox(&s, 4955));  // clicking the checked box keeps it
    EXPECT_EQ(CopySourcePane(s), 7);
    int sources = 0;
    for (int i = 0; i < 9; ++i) sources += static_cast<int>(s.flags[i]);
    EXPECT_EQ(sources, 1);
    EXPECT_FALSE(SelectCopyBox(&s, 4959));
    EXPECT_FALSE(SelectCopyBox(&s, 1));
}

// Points panes 6, 7 and the WorkingNetwork at test records for the length of a test.
class CopyPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_[0] = PaneRecords[5];
        saved_[1] = PaneRecords[6];
        savedNet_ = WorkingNet;
        savedActive_ = ActivePane;
        PaneRecords[5] = six_.get();
        PaneRecords[6] = seven_.get();
        WorkingNet = net_.get();
        seven_->element_count = 5;
        seven_->params[2].p[3] = 123.0f;
        six_->element_count = 2;
        net_->element_count = 9;
    }
    void TearDown() override {
        PaneRecords[5] = saved_[0];
        PaneRecords[6] = saved_[1];
        WorkingNet = savedNet_;
        ActivePane = savedActive_;
    }
    HeapRecord<PaneRecord> six_ = AllocZeroed<PaneRecord>();
    HeapRecord<PaneRecord> seven_ = AllocZeroed<PaneRecord>();
    HeapRecord<WorkingNetwork> net_ = AllocZeroed<WorkingNetwork>();
    PaneRecord* saved_[2] = {};
    WorkingNetwork* savedNet_ = nullptr;
    int savedActive_ = 0;
};

TEST_F(CopyPaneTest, CopiesTheRecordAndLeavesTheWorkingNetworkOfAnotherPane) {
    CopySpeakerSelection s;
    SelectCopyBox(&s, 4955);  // pane 7
    SelectCopyBox(&s, 4966);  // pane 6
    ActivePane = 1;
    EXPECT_EQ(CopySelectedSpeaker(s), 6);
    EXPECT_EQ(std::memcmp(six_.get(), seven_.get(), sizeof(PaneRecord)), 0);
    EXPECT_EQ(net_->element_count, 9u);  // still the active pane's network
}

TEST_F(CopyPaneTest, ReloadsTheWorkingNetworkWhenTheTargetIsActive) {
    CopySpeakerSelection s;
    SelectCopyBox(&s, 4955);
    SelectCopyBox(&s, 4966);
    ActivePane = 6;
    EXPECT_EQ(CopySelectedSpeaker(s), 6);
    EXPECT_EQ(net_->element_count, 5u);
    EXPECT_EQ(net_->params[2].p[3], 123.0f);
}

TEST_F(CopyPaneTest, SamePaneOrNoTargetCopiesNothing) {
    CopySpeakerSelection s;  // Front Left to Front Left
    EXPECT_EQ(CopySelectedSpeaker(s), 0);
    SelectCopyBox(&s, 4956);
    SelectCopyBox(&s, 4966);  // Rear Right to Rear Right
    EXPECT_EQ(CopySelectedSpeaker(s), 0);
    EXPECT_EQ(six_->element_count, 2u);
}

TEST(PlotControlTest, BoxesToggleTheirEntries) {
    uint32_t flags[12] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(TogglePlotFlag(flags, 4801), 0);
    EXPECT_EQ(flags[0], 0u);
    EXPECT_EQ(TogglePlotFlag(flags, 4800), 0);
    EXPECT_EQ(flags[1], 0u);
    EXPECT_EQ(TogglePlotFlag(flags, 4812), 0);
    EXPECT_EQ(flags[11], 0u);
    EXPECT_EQ(TogglePlotFlag(flags, 4801), 1);
    flags[4] = 7;  // any non-zero flag reads as shown
    EXPECT_EQ(TogglePlotFlag(flags, 4806), 0);
    EXPECT_EQ(TogglePlotFlag(flags, 4810), -1);
    EXPECT_EQ(PlotFlagOfBox(4804), 8);
    EXPECT_EQ(PlotFlagOfBox(4809), 9);
}

TEST(TestTonesTest, TextAndPort) {
    TestToneRequest t;
    SetTestToneFrequencyText(&t, t.FrequencyText);
    EXPECT_EQ(t.Frequency.load(), 1000.0f);
    SetTestToneFrequencyText(&t, "440.5");
    EXPECT_EQ(t.Frequency.load(), 440.5f);
    SetTestToneFrequencyText(&t, "abc");
    EXPECT_EQ(t.Frequency.load(), 0.0f);
    SetTestToneFrequencyText(&t, "12345678901234");
    EXPECT_STREQ(t.FrequencyText, "123456789");
    EXPECT_EQ(t.Frequency.load(), 123456789.0f);
    SetTestToneChannel(&t, 17);
    EXPECT_EQ(t.Channel.load(), 17);
    SetTestToneChannel(&t, 18);
    EXPECT_EQ(t.Channel.load(), 17);
    EXPECT_STREQ(TestTonePortName(0), "NONE");
    EXPECT_STREQ(TestTonePortName(16), "Port 16");
    EXPECT_STREQ(TestTonePortName(17), "ALL");
}

// The engine takes the tone's frequency as a float: a text that gives no finite float leaves the tone as it
// was, and Done refuses it with the field's message.
TEST(TestTonesTest, FrequencyNoFloatHoldsChangesNothingAndDoneSaysSo) {
    TestToneRequest t;
    MessageList shown;
    for (const char* text : {"1e39", "-1e39", "inf", "nan", "1e308"}) {
        SetTestToneFrequencyText(&t, "440");
        SetTestToneFrequencyText(&t, text);
        EXPECT_EQ(t.Frequency.load(), 440.0f) << text;
        EXPECT_STREQ(t.FrequencyText, text);
        EXPECT_FALSE(TestToneDone(t, &shown)) << text;
    }
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0].text, "Test Tone Frequency Is Out Of Range");
    SetTestToneFrequencyText(&t, "3.4e38");
    EXPECT_EQ(t.Frequency.load(), 3.4e38f);
    EXPECT_TRUE(TestToneDone(t, &shown));
    EXPECT_EQ(shown.size(), 5u);
}

TEST(ProfileReloadTest, SlotsOfTheDigits) {
    EXPECT_EQ(ProfileSlotIndex(1), 0);
    EXPECT_EQ(ProfileSlotIndex(9), 8);
    EXPECT_EQ(ProfileSlotIndex(0), 9);
    EXPECT_EQ(ProfileSlotIndex(10), -1);
}

// A refused profile leaves the remembered last project path alone.
class ProfileRefusalTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Preferences;
        Preferences = prefs_.get();
        std::strcpy(Preferences->LastProjectPath, "C:\\old.hif");
    }
    void TearDown() override { Preferences = saved_; }
    HeapRecord<PreferencesRecord> prefs_ = AllocZeroed<PreferencesRecord>();
    PreferencesRecord* saved_ = nullptr;
    ScratchDir dir_;
};

TEST_F(ProfileRefusalTest, MissingAndEmptySlots) {
    MessageList out;
    std::string path;
    EXPECT_EQ(LoadProfile(4, &out, &path), ProfileLoad::kNotFound);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "Requested Profile Not Found");
    EXPECT_EQ(out[0].caption, "HV Message");

    const std::string missing = dir_.File("nowhere.hif");
    std::strcpy(Preferences->ProfileSlots[9], missing.c_str());
    out.clear();
    EXPECT_EQ(LoadProfile(0, &out, &path), ProfileLoad::kNotFound);
    EXPECT_EQ(path, missing);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "Requested Profile Not Found");
    EXPECT_STREQ(Preferences->LastProjectPath, "C:\\old.hif");
}

TEST_F(ProfileRefusalTest, WrongSizeIsRefused) {
    const std::string shortFile = dir_.File("short.hif");
    std::ofstream(shortFile, std::ios::binary) << std::string(1000, 'x');
    std::strcpy(Preferences->ProfileSlots[0], shortFile.c_str());
    MessageList out;
    std::string path;
    EXPECT_EQ(LoadProfile(1, &out, &path), ProfileLoad::kRefused);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "This Project File Is Not recognized");
    EXPECT_STREQ(Preferences->LastProjectPath, "C:\\old.hif");
}

}  // namespace
