#include "app/preferences.h"
#include "app/raw_file.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "test_util.h"

namespace {

// Reads record words by byte offset, independently of the struct's field names.
uint32_t WordAt(const PreferencesRecord& r, size_t offset) {
    uint32_t v;
    std::memcpy(&v, reinterpret_cast<const char*>(&r) + offset, 4);
    return v;
}
int32_t IntAt(const PreferencesRecord& r, size_t offset) { return static_cast<int32_t>(WordAt(r, offset)); }
std::string TextAt(const PreferencesRecord& r, size_t offset) { return reinterpret_cast<const char*>(&r) + offset; }

struct PreferencesFixture : ::testing::Test {
    std::unique_ptr<PreferencesRecord> record = std::make_unique<PreferencesRecord>();
    void SetUp() override {
        std::memset(record.get(), 0, sizeof *record);
        ResetSettingsToStartValues();
        ResetMlsSettingsToStartValues();
        UsableScreenWidth = 1600;
        UsableScreenHeight = 1000;
        StoreDefaultPreferences(record.get());
    }
};

}  // namespace

TEST_F(PreferencesFixture, DefaultsAtTheirOffsets) {
    EXPECT_EQ(WordAt(*record, 0), 3u);
    EXPECT_EQ(WordAt(*record, 4), 6u);
    // Colour selection: only entry 1, "Filter SPL Curve".
    EXPECT_EQ(WordAt(*record, 16), 0u);
    EXPECT_EQ(WordAt(*record, 20), 1u);
    // Entry 1 of the colour scheme {196, 0, 0, 1, 1}; entry 18 {128, 128, 128, 1, 1}.
    EXPECT_EQ(WordAt(*record, 76 + 20), 196u);
    EXPECT_EQ(WordAt(*record, 76 + 20 + 16), 1u);
    EXPECT_EQ(WordAt(*record, 76 + 18 * 20 + 8), 128u);
    // Importer settings: columns 1..3 used, no lines erased, three columns.
    const uint32_t importer[7] = {1, 1, 1, 0, 0, 0, 3};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(WordAt(*record, 556 + 4 * i), importer[i]) << i;
    EXPECT_EQ(IntAt(*record, 596), 1);
    EXPECT_EQ(WordAt(*record, 604), 1u);  // "16 Outputs"
    EXPECT_EQ(TextAt(*record, 620), "0.0");
    EXPECT_EQ(TextAt(*record, 642), "200");
    EXPECT_EQ(TextAt(*record, 653), "344.00");
    EXPECT_EQ(TextAt(*record, 664), "10");
    EXPECT_EQ(TextAt(*record, 675), "**");
    EXPECT_EQ(TextAt(*record, 2723), "**");
    EXPECT_EQ(TextAt(*record, 4771), "0.0");
    EXPECT_EQ(WordAt(*record, 4832), 0u);
    EXPECT_EQ(WordAt(*record, 4840), 2u);
    EXPECT_EQ(WordAt(*record, 4848), 2u);
    EXPECT_EQ(WordAt(*record, 4864), 0u);  // the record's own default, not the variable's 1
    // Placement slot 6 {660, 60, 355, 652}; slot 77 {400, 350, 300, 250}; slot 78 untouched.
    EXPECT_EQ(IntAt(*record, 4872 + 6 * 16), 660);
    EXPECT_EQ(IntAt(*record, 4872 + 6 * 16 + 12), 652);
    EXPECT_EQ(IntAt(*record, 4872 + 77 * 16 + 4), 350);
    EXPECT_EQ(IntAt(*record, 4872 + 78 * 16 + 8), 0);
    EXPECT_EQ(TextAt(*record, 38472), "");
    EXPECT_EQ(TextAt(*record, 42568), "1000.0");
    EXPECT_EQ(WordAt(*record, 42612), 10u);
    EXPECT_EQ(WordAt(*record, 42620), 1u);
    EXPECT_EQ(TextAt(*record, 42636 + 2 * 11), "6.10");
    EXPECT_EQ(TextAt(*record, 42724 + 3 * 11), "161");
    EXPECT_EQ(WordAt(*record, 42788), 1u);
    EXPECT_EQ(WordAt(*record, 42800), 1u);
    EXPECT_EQ(TextAt(*record, 42839), "30000");
    EXPECT_EQ(TextAt(*record, 42872), "2.00");
    EXPECT_EQ(TextAt(*record, 42935), "4");
    EXPECT_EQ(TextAt(*record, 42945), "5");
}

TEST_F(PreferencesFixture, CollectClampsPlacementsAndOrdersFlags) {
    WindowPlacements[7] = {-5, 20, -1, 3000};
    WindowPlacements[8] = {2000, 1001, 1700, 10};
    const uint32_t flags[12] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    std::memcpy(CurveViewFlags, flags, sizeof flags);
    CollectPreferences(record.get());

    EXPECT_EQ(IntAt(*record, 4872 + 7 * 16), 0);
    EXPECT_EQ(IntAt(*record, 4872 + 7 * 16 + 4), 20);
    EXPECT_EQ(IntAt(*record, 4872 + 7 * 16 + 8), 50);
    EXPECT_EQ(IntAt(*record, 4872 + 7 * 16 + 12), 1000);
    EXPECT_EQ(IntAt(*record, 4872 + 8 * 16), 0);
    EXPECT_EQ(IntAt(*record, 4872 + 8 * 16 + 4), 0);
    EXPECT_EQ(IntAt(*record, 4872 + 8 * 16 + 8), 1600);
    // The variables are clamped in place too.
    EXPECT_EQ(WindowPlacements[7].cx, 50);

    const uint32_t expected[12] = {0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(WordAt(*record, 6392 + 4 * i), expected[i]) << i;
    EXPECT_EQ(WordAt(*record, 4864), 1u);  // Capture24Bit's start value is written at exit
}

TEST_F(PreferencesFixture, MlsRateIndexAboveThreeIsReducedByFour) {
    for (uint32_t stored : {4u, 5u, 6u}) {
        MlsSettings.MlsRateIndex = stored;
        CollectPreferences(record.get());
        EXPECT_EQ(WordAt(*record, 42620), stored - 4);
        EXPECT_EQ(MlsSettings.MlsRateIndex, stored - 4);
    }
    record->MlsSettings.MlsRateIndex = 6;
    ApplyPreferences(record.get());
    EXPECT_EQ(MlsSettings.MlsRateIndex, 2u);
}

TEST_F(PreferencesFixture, ApplyBringsValuesIntoRange) {
    record->OutputMode = 7;
    record->InputMode = 99;
    record->FrequencyAxisHighest = 12;
    record->ColourScheme[3] = {300, -4, 128, 9, 0};
    record->WindowPlacements[5] = {-5, 20, -1, 3000};
    std::memset(record->SpeedOfSoundText, '9', sizeof record->SpeedOfSoundText);  // no terminator
    std::memset(record->LastProjectPath, 'x', sizeof record->LastProjectPath);
    record->ColourSelectionFlags[2] = 1;
    ColourSelectionFlags[16] = 1;  // flags 15..18 are not stored and keep their value
    ApplyPreferences(record.get());

    EXPECT_EQ(OutputMode, 1u);
    EXPECT_EQ(InputMode, 0u);
    EXPECT_EQ(FrequencyAxisRange.highest, 6u);
    EXPECT_EQ(ColourScheme[3].red, 255);
    EXPECT_EQ(ColourScheme[3].green, 0);
    EXPECT_EQ(ColourScheme[3].thickness, 4);
    EXPECT_EQ(ColourScheme[3].type, 1);
    EXPECT_EQ(WindowPlacements[5].cx, 50);
    EXPECT_EQ(WindowPlacements[5].cy, 1000);
    EXPECT_EQ(std::strlen(SpeedOfSoundText), 10u);
    EXPECT_EQ(std::strlen(record->LastProjectPath), 2047u);
    EXPECT_EQ(ColourSelectionFlags[2], 1);
    EXPECT_EQ(ColourSelectionFlags[16], 1);
}

TEST_F(PreferencesFixture, FileRoundTripAndRefusals) {
    ScratchDir dir;
    const std::string folder = dir.Path().string() + "/";
    MessageList messages;

    OutputMode = 2;
    CopySettingText(SpeedOfSoundText, kSettingTextWidth, "343.50");
    WindowPlacements[20] = {11, 22, 333, 444};
    CollectPreferences(record.get());
    ASSERT_TRUE(SavePreferencesFile(folder, *record, &messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(RawFileSize(folder + "HV_Preferences.pre"), 63432);

    ResetSettingsToStartValues();
    auto fresh = std::make_unique<PreferencesRecord>();
    std::memset(fresh.get(), 0, sizeof *fresh);
    ASSERT_TRUE(LoadPreferencesFile(folder, fresh.get(), &messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(OutputMode, 2u);
    EXPECT_STREQ(SpeedOfSoundText, "343.50");
    EXPECT_EQ(WindowPlacements[20].cy, 444);

    // One byte short: refused with the message, the record keeps what it had, the settings too.
    std::vector<char> bytes(63431, 0);
    std::ofstream(folder + "HV_Preferences.pre", std::ios::binary).write(bytes.data(), 63431);
    std::vector<char> before(reinterpret_cast<char*>(fresh.get()), reinterpret_cast<char*>(fresh.get()) + 63432);
    EXPECT_FALSE(LoadPreferencesFile(folder, fresh.get(), &messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Unable To OPEN Preferences File");
    EXPECT_EQ(messages[0].caption, "HV Message");
    EXPECT_EQ(std::memcmp(before.data(), fresh.get(), 63432), 0);
    EXPECT_EQ(OutputMode, 2u);

    // A save that cannot be written is reported and not taken for success.
    messages.clear();
    EXPECT_FALSE(SavePreferencesFile(folder + "missing/", *record, &messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Unable To SAVE Preferences File");
}
