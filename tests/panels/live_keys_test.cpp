// The live keys against the sequences a user plays: exact floats where the steps land on their bounds, the
// readouts as the caption shows them, and the differences between the three panels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "panels/live_keys.h"

namespace {

LiveKeyResult Key(LiveKeyValues* v, uint32_t code, LiveKeyPanel panel = LiveKeyPanel::kDesign,
                  const LiveKeyGroups& g = LiveKeyGroups{}) {
    return ApplyLiveKey(panel, KeyMessage::kKeyDown, code, g, v);
}
LiveKeyResult Char(LiveKeyValues* v, uint32_t code) {
    return ApplyLiveKey(LiveKeyPanel::kDesign, KeyMessage::kChar, code, LiveKeyGroups{}, v);
}

TEST(LiveKeysTest, TenLeftPressesReachMinusTwentyDecibelsAndStay) {
    LiveKeyValues v;
    LiveKeyResult r;
    for (int i = 0; i < 10; ++i) r = Key(&v, kKeyLeft);
    for (int o : {3, 4, 5, 6}) EXPECT_EQ(v.ChannelTrims[o - 1], 0.1f) << o;
    EXPECT_STREQ(r.title, "REA 3,4,5,6 -20 DOWN");
    r = Key(&v, kKeyLeft);
    EXPECT_EQ(v.ChannelTrims[2], 0.1f);
    EXPECT_STREQ(r.title, "REA 3,4,5,6 -20 DOWN");
    // Outputs outside the group keep their trim.
    EXPECT_EQ(v.ChannelTrims[0], 1.0f);
    EXPECT_EQ(v.ChannelTrims[6], 1.0f);
}

TEST(LiveKeysTest, PlayerPanelsSpellTheRearReadoutOut) {
    LiveKeyValues v;
    EXPECT_STREQ(Key(&v, kKeyRight, LiveKeyPanel::kPlayer).title, "REAR 3,4,5,6 2 UP");
    LiveKeyValues w;
    EXPECT_STREQ(Key(&w, kKeyLeft, LiveKeyPanel::kWavPlayer).title, "REAR 3,4,5,6 -2 DOWN");
}

TEST(LiveKeysTest, TenHomePressesReachTheTweeterFloor) {
    LiveKeyValues v;
    LiveKeyResult r;
    for (int i = 0; i < 10; ++i) r = Key(&v, kKeyHome);
    EXPECT_EQ(v.ChannelTrims[6], 0.31622776f);
    EXPECT_STREQ(r.title, "TWE 7,8,9 -10 DOWN");
}

TEST(LiveKeysTest, TenEndPressesGiveTheProductTheEleventhTheBound) {
    LiveKeyValues v;
    LiveKeyResult r;
    for (int i = 0; i < 10; ++i) r = Key(&v, kKeyEnd);
    // 1.12201845^10 in float steps: just below sqrt(10), not above the 3.163 test, so not replaced.
    EXPECT_NEAR(v.ChannelTrims[6], 3.1622775, 2e-7);
    EXPECT_LE(v.ChannelTrims[6], 3.163f);
    EXPECT_NE(v.ChannelTrims[6], 3.1622777f);
    EXPECT_STREQ(r.title, "TWE 7,8,9  10 UP");
    Key(&v, kKeyEnd);
    EXPECT_EQ(v.ChannelTrims[6], 3.1622777f);
    EXPECT_EQ(v.ChannelTrims[6], static_cast<float>(std::sqrt(10.0)));
}

TEST(LiveKeysTest, BbmGainStepsAndReadouts) {
    LiveKeyValues v;  // BbmGain 0.5
    LiveKeyResult r;
    for (int i = 0; i < 3; ++i) r = Key(&v, kKeyPageUp);
    EXPECT_NEAR(v.BbmGain, 0.99763, 5e-6);
    EXPECT_STREQ(r.title, "BBM -0.0dB UP");
    r = Key(&v, kKeyPageUp);
    EXPECT_EQ(v.BbmGain, 1.0f);
    EXPECT_STREQ(r.title, "BBM 0.0dB UP");

    LiveKeyValues w;
    r = Key(&w, kKeyPageDown);
    EXPECT_NEAR(w.BbmGain, 0.39716, 5e-6);
    EXPECT_STREQ(r.title, "BBM -8.0dB DOWN");
    for (int i = 0; i < 6; ++i) Key(&w, kKeyPageDown);
    EXPECT_EQ(w.BbmGain, 0.1f);  // the seventh press reaches the floor
}

TEST(LiveKeysTest, BbmReadoutOffsetDiffersByPanel) {
    // At the floor 0.1 the offsets are still below the printed precision; at a tiny gain they are not.
    LiveKeyValues v;
    v.BbmGain = 1e-6f;  // below the floor: Page Up steps from where it stands
    const LiveKeyResult design = Key(&v, kKeyPageUp, LiveKeyPanel::kDesign);
    LiveKeyValues w;
    w.BbmGain = 1e-6f;
    const LiveKeyResult player = Key(&w, kKeyPageUp, LiveKeyPanel::kPlayer);
    char expect[64];
    std::snprintf(expect, sizeof expect, "BBM %.1fdB UP", 20.0 * std::log10(1.25892541e-6 + 0.000001));
    EXPECT_STREQ(design.title, expect);
    std::snprintf(expect, sizeof expect, "BBM %.1fdB UP", 20.0 * std::log10(1.25892541e-6 + 0.0001));
    EXPECT_STREQ(player.title, expect);
}

TEST(LiveKeysTest, VolumePositionsAndGains) {
    EXPECT_EQ(MasterGainOf(0), 0.0f);
    EXPECT_NEAR(MasterGainOf(1), 0.0031623, 1e-7);
    EXPECT_NEAR(MasterGainOf(2), 0.0035481, 1e-7);
    EXPECT_EQ(MasterGainOf(51), 1.0f);
    EXPECT_NEAR(MasterGainOf(66), 5.6234, 1e-4);
    EXPECT_NEAR(MasterGainOf(9), 0.0079433, 1e-7);

    LiveKeyValues v;
    v.VolumePosition = 2;
    const LiveKeyResult r = Key(&v, kKeyDown);
    EXPECT_EQ(v.VolumePosition, 0);
    EXPECT_EQ(v.MasterGain, 0.0f);
    EXPECT_TRUE(r.move_volume_bar);
    EXPECT_TRUE(r.clear_gain_text);
    EXPECT_FALSE(r.set_title);
}

TEST(LiveKeysTest, VolumeCeilingIsSixtySixOnTheDesignPanelSixtyThreeOnThePlayers) {
    LiveKeyValues v;
    v.VolumePosition = 66;
    Key(&v, kKeyUp, LiveKeyPanel::kDesign);
    EXPECT_EQ(v.VolumePosition, 66);
    for (int start : {63, 64, 65, 66}) {
        LiveKeyValues w;
        w.VolumePosition = start;
        Key(&w, kKeyUp, LiveKeyPanel::kPlayer);
        EXPECT_EQ(w.VolumePosition, 63) << start;
        EXPECT_EQ(w.MasterGain, MasterGainOf(63));
    }
}

TEST(LiveKeysTest, PhaseKeysAreLowerCaseCharactersOnly) {
    LiveKeyValues v;
    LiveKeyResult r = Char(&v, 'm');
    EXPECT_EQ(v.PhaseMode, 1);
    EXPECT_EQ(r.phase_boxes, 1);
    EXPECT_STREQ(r.title, "Minimum Phase");
    r = Char(&v, 'M');
    EXPECT_FALSE(r.acted);
    EXPECT_EQ(v.PhaseMode, 1);
    r = Char(&v, 'L');
    EXPECT_FALSE(r.acted);
    EXPECT_EQ(v.PhaseMode, 1);
    r = Char(&v, 'l');
    EXPECT_EQ(v.PhaseMode, 0);
    EXPECT_EQ(r.phase_boxes, 0);
    EXPECT_STREQ(r.title, "Linear Phase");
    // 'm' as a key-down code (0x6D is VK_SUBTRACT) is no phase key.
    EXPECT_FALSE(Key(&v, 0x6D).acted);
}

TEST(LiveKeysTest, DigitsArmTheProfileTimerOfEachPanel) {
    LiveKeyValues v;
    LiveKeyResult r = Key(&v, '7', LiveKeyPanel::kDesign);
    EXPECT_EQ(v.ProfileNumber, 7);
    EXPECT_EQ(r.arm_timer, 10111);
    EXPECT_EQ(r.timer_ms, 1000);
    EXPECT_TRUE(r.stop_engine);
    r = Key(&v, '0', LiveKeyPanel::kPlayer);
    EXPECT_EQ(v.ProfileNumber, 0);
    EXPECT_EQ(r.arm_timer, 10111);
    r = Key(&v, '3', LiveKeyPanel::kWavPlayer);
    EXPECT_EQ(r.arm_timer, 5045);
    EXPECT_EQ(r.timer_ms, 200);
}

TEST(LiveKeysTest, KeypadDigitsAndOtherKeysDoNothing) {
    LiveKeyValues v;
    const LiveKeyValues before = v;
    for (uint32_t code = 0x60; code <= 0x69; ++code) EXPECT_FALSE(Key(&v, code).acted) << code;  // VK_NUMPAD0..9
    for (uint32_t code : {0x0Du, 0x20u, 0x41u, 0x70u}) EXPECT_FALSE(Key(&v, code).acted) << code;
    EXPECT_FALSE(ApplyLiveKey(LiveKeyPanel::kDesign, KeyMessage::kOther, kKeyUp, LiveKeyGroups{}, &v).acted);
    EXPECT_EQ(std::memcmp(&v, &before, sizeof v), 0);
}

TEST(LiveKeysTest, OnlyKeysTheDialogManagerHandsOnForThePanelItselfAct) {
    EXPECT_TRUE(LiveKeysActive(0, 0, true, KeyTarget::kPanel));  // MSGF_DIALOGBOX
    // A negative code, then a menu's, a scroll bar's and the task switcher's.
    for (int code : {-1, 2, 5, 6}) EXPECT_FALSE(LiveKeysActive(code, 0, true, KeyTarget::kPanel)) << code;
    EXPECT_FALSE(LiveKeysActive(0, 0, true, KeyTarget::kPanelEdit));
    EXPECT_FALSE(LiveKeysActive(0, 0, true, KeyTarget::kElsewhere));
    EXPECT_FALSE(LiveKeysActive(0, 1, true, KeyTarget::kPanel));
    EXPECT_FALSE(LiveKeysActive(0, 0, false, KeyTarget::kPanel));
}

TEST(LiveKeysTest, EscapeResetsTrimsAndBbmOnly) {
    LiveKeyValues v;
    v.VolumePosition = 40;
    v.PhaseMode = 1;
    v.BbmGain = 0.2f;
    v.ChannelTrims[0] = 3.0f;
    v.ChannelTrims[15] = 0.2f;
    v.LastTrimValue = 0.7f;
    const LiveKeyResult r = Key(&v, kKeyEscape);
    EXPECT_STREQ(r.title, "SUB 1, 2, 0.0 RESET");
    for (float t : v.ChannelTrims) EXPECT_EQ(t, 1.0f);
    EXPECT_EQ(v.BbmGain, 0.5f);
    EXPECT_EQ(v.VolumePosition, 40);
    EXPECT_EQ(v.PhaseMode, 1);
    EXPECT_EQ(v.LastTrimValue, 0.7f);
}

TEST(LiveKeysTest, SubKeysAndGroupOverlaps) {
    LiveKeyGroups g;
    g.SubChannels[0] = 5;
    g.SubChannels[1] = 5;  // named twice: two steps per press
    LiveKeyValues v;
    LiveKeyResult r = Key(&v, kKeyDelete, LiveKeyPanel::kDesign, g);
    EXPECT_NEAR(v.ChannelTrims[4], 1.25892541 * 1.25892541, 1e-6);
    EXPECT_STREQ(r.title, "SUB 5, 5, 4.0 UP");
    r = Key(&v, kKeyInsert, LiveKeyPanel::kDesign, g);
    r = Key(&v, kKeyInsert, LiveKeyPanel::kDesign, g);
    EXPECT_NEAR(v.ChannelTrims[4], 0.794328234 * 0.794328234, 1e-6);
    EXPECT_STREQ(r.title, "SUB 5, 5, -4.0 DOWN");

    // Output 7 both rear and tweeter: Right to +20 dB, then End lowers it to the tweeter ceiling.
    LiveKeyGroups overlap;
    overlap.RearChannels[0] = 7;
    LiveKeyValues w;
    for (int i = 0; i < 12; ++i) Key(&w, kKeyRight, LiveKeyPanel::kDesign, overlap);
    EXPECT_EQ(w.ChannelTrims[6], 10.0f);
    Key(&w, kKeyEnd, LiveKeyPanel::kDesign, overlap);
    EXPECT_EQ(w.ChannelTrims[6], 3.1622777f);
}

TEST(LiveKeysTest, MembersKeepTheirRatioAndTheReadoutShowsTheLast) {
    LiveKeyValues v;
    v.ChannelTrims[2] = 0.5f;  // output 3
    const LiveKeyResult r = Key(&v, kKeyRight);
    EXPECT_NEAR(v.ChannelTrims[2] / v.ChannelTrims[5], 0.5, 1e-6);
    EXPECT_EQ(v.LastTrimValue, v.ChannelTrims[5]);
    EXPECT_STREQ(r.title, "REA 3,4,5,6 2 UP");
}

TEST(LiveKeysTest, ChannelFieldsAreClampedIntoOneToSixteen) {
    EXPECT_EQ(ParseLiveKeyChannel("0", 20), 1);
    EXPECT_EQ(ParseLiveKeyChannel("20", 20), 16);
    EXPECT_EQ(ParseLiveKeyChannel("99", 20), 16);
    EXPECT_EQ(ParseLiveKeyChannel("", 20), 1);
    EXPECT_EQ(ParseLiveKeyChannel("  12", 20), 12);
    EXPECT_EQ(ParseLiveKeyChannel("-4", 20), 1);
    char full[20];
    std::memset(full, '9', sizeof full);  // no NUL: read up to the last byte, then clamped
    EXPECT_EQ(ParseLiveKeyChannel(full, 20), 16);

    char fields[20][20] = {};
    const char* text[20] = {"3", "4", "5", "6", "7", "8", "9", "", "11", "12", "1", "2", "13", "14"};
    for (int i = 0; i < 20; ++i)
        if (text[i]) std::strcpy(fields[i], text[i]);
    const LiveKeyGroups g = ParseLiveKeyChannels(fields);
    EXPECT_EQ(g.RearChannels[3], 6);
    EXPECT_EQ(g.TweeterChannels[2], 9);
    EXPECT_EQ(g.BbmSourceChannels[0], 11);
    EXPECT_EQ(g.BbmSourceChannels[1], 12);
    EXPECT_EQ(g.SubChannels[0], 1);
    EXPECT_EQ(g.SubChannels[1], 2);
    EXPECT_EQ(g.CabsSubChannels[0], 13);
    EXPECT_EQ(g.CabsSubChannels[1], 14);
}

}  // namespace

// The WAV player's keys as a user plays them: its ceiling, its BBM readout, its reset.
TEST(LiveKeysTest, WavPlayerSequences) {
    const LiveKeyPanel wav = LiveKeyPanel::kWavPlayer;
    for (int32_t start : {63, 64, 65, 66}) {
        LiveKeyValues v;
        v.VolumePosition = start;
        const LiveKeyResult r = Key(&v, kKeyUp, wav);
        EXPECT_EQ(v.VolumePosition, 63) << start;
        EXPECT_TRUE(r.move_volume_bar);
        EXPECT_TRUE(r.clear_gain_text);
        EXPECT_EQ(v.MasterGain, static_cast<float>(std::pow(10.0, 12 * 0.05)));
    }
    LiveKeyValues v;
    v.VolumePosition = 4;
    Key(&v, kKeyDown, wav);
    EXPECT_EQ(v.VolumePosition, 1);
    EXPECT_NEAR(v.MasterGain, 0.0031623, 1e-6);
    Key(&v, kKeyDown, wav);
    EXPECT_EQ(v.VolumePosition, 0);
    EXPECT_EQ(v.MasterGain, 0.0f);

    LiveKeyResult r;
    for (int i = 0; i < 3; ++i) r = Key(&v, kKeyPageUp, wav);
    EXPECT_LT(v.BbmGain, 1.0f);
    r = Key(&v, kKeyPageUp, wav);
    EXPECT_EQ(v.BbmGain, 1.0f);
    EXPECT_STREQ(r.title, "BBM 0.0dB UP");
    v.BbmGain = 0.5f;
    for (int i = 0; i < 6; ++i) r = Key(&v, kKeyPageDown, wav);
    EXPECT_GT(v.BbmGain, 0.1f);
    r = Key(&v, kKeyPageDown, wav);
    EXPECT_EQ(v.BbmGain, 0.1f);
    EXPECT_STREQ(r.title, "BBM -20.0dB DOWN");

    v.PhaseMode = 1;
    v.ChannelTrims[12] = 3.0f;
    Key(&v, kKeyInsert, wav);
    r = Key(&v, kKeyEscape, wav);
    EXPECT_STREQ(r.title, "SUB 1, 2, 0.0 RESET");
    EXPECT_EQ(v.BbmGain, 0.5f);
    for (float t : v.ChannelTrims) EXPECT_EQ(t, 1.0f);
    EXPECT_EQ(v.VolumePosition, 0);
    EXPECT_EQ(v.PhaseMode, 1);
}
