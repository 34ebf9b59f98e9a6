// The settings windows' arithmetic: what each Preferences control does to the settings, the table rebuild
// and clearing after a rate or block-size change, the colour editor, the print layout and the profile copy.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "app/colour_editor.h"
#include "app/driver_data.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/preferences_controls.h"
#include "app/print_layout.h"
#include "app/profile_slots.h"
#include "app/system_record.h"
#include "heap_record.h"

namespace {

// Settings of a test's own, so nothing global changes.
struct LocalSettings {
    uint32_t input = 0, output = 1, bass = 0, center = 0, capture24 = 1, debug = 0, captureIndex = 0,
             renderIndex = 0, bufferSize = 1;
    int32_t dataPolarity = 1, referencePolarity = 1;
    char delayText[kSettingTextWidth] = "200";
    HeapRecord<PreferencesRecord> record = AllocZeroed<PreferencesRecord>();
    HeapRecord<SystemTail> tail = AllocZeroed<SystemTail>();
    HeapRecord<HV_Driver_Data> driver = AllocZeroed<HV_Driver_Data>();

    PreferencesTargets Targets() {
        PreferencesTargets t;
        t.inputMode = &input;
        t.outputMode = &output;
        t.bassMode = &bass;
        t.centerToLr = &center;
        t.capture24Bit = &capture24;
        t.wasapiDebugMode = &debug;
        t.mlsDataPolarity = &dataPolarity;
        t.mlsReferencePolarity = &referencePolarity;
        t.mlsOutputDelayText = delayText;
        t.captureDeviceIndex = &captureIndex;
        t.renderDeviceIndex = &renderIndex;
        t.bufferSize = &bufferSize;
        t.record = record.get();
        t.tail = tail.get();
        t.driver = driver.get();
        return t;
    }
};

// A small stand-in for the curve table and the per-output arrays: three curves, two outputs, eight points
// cleared out of sixteen, so the tests see both what is cleared and what is left.
struct LocalGrid {
    static constexpr int kOutputs = 2;
    static constexpr std::size_t kPoints = 16;
    static constexpr std::size_t kCleared = 8;
    std::vector<float> table = std::vector<float>(kBinCount, -1.0f);
    int blockFrames = 1024;
    HeapRecord<PlotCurve> curves{static_cast<PlotCurve*>(std::calloc(3, sizeof(PlotCurve)))};
    std::vector<float> spectrum[kOutputs], phase[kOutputs], impulse[kOutputs];
    float* spectrumPtr[kOutputs];
    float* phasePtr[kOutputs];
    float* impulsePtr[kOutputs];

    LocalGrid() {
        for (int o = 0; o < kOutputs; ++o) {
            spectrum[o].assign(2 * kPoints, 1.0f);
            phase[o].assign(2 * kPoints, 2.0f);
            impulse[o].assign(kPoints, 3.0f);
            spectrumPtr[o] = spectrum[o].data();
            phasePtr[o] = phase[o].data();
            impulsePtr[o] = impulse[o].data();
        }
        for (int c = 0; c < 3; ++c) {
            curves.get()[c].Values[5] = 4.0f;
            curves.get()[c].Visible = 1.0f;
            curves.get()[c].PenWidth = 2.0f;
        }
    }
    GridTargets Targets() {
        GridTargets g;
        g.binFrequencies = table.data();
        g.blockFrames = &blockFrames;
        g.curves = curves.get();
        g.curveCount = 2;  // the third curve lies outside and must stay
        g.outputSpectrum = spectrumPtr;
        g.phaseReference = phasePtr;
        g.impulseResponses = impulsePtr;
        g.outputs = kOutputs;
        g.spectrumPoints = kCleared;
        g.impulseValues = kCleared;
        return g;
    }
};

bool Apply(int id, LocalSettings& s, LocalGrid& g, int caret = 0, const char* text = "", bool running = false) {
    return ApplyPreferencesControl(id, ControlReading{caret, text}, running, s.Targets(), g.Targets());
}

bool MarkOf(const PreferencesTargets& t, int id) {
    ControlMark marks[kPreferencesMarkCount];
    PreferencesMarks(t, marks);
    for (const ControlMark& m : marks)
        if (m.id == id) return m.checked;
    ADD_FAILURE() << "no mark for " << id;
    return false;
}

}  // namespace

TEST(BinFrequencyTable, FollowsRateAndBlockSize) {
    std::vector<float> table(kBinCount);
    FillBinFrequencyTable(table.data(), kBinCount, 48000, 1024);
    EXPECT_EQ(table[0], 0.01f);
    EXPECT_EQ(table[1], 5.859375f);  // 48000 / 8192, exact in binary
    for (int k : {2, 3, 1000, 65536, 131071})
        EXPECT_EQ(table[k], static_cast<float>(k * 48000.0 / 8192.0)) << k;
    FillBinFrequencyTable(table.data(), kBinCount, 44100, 4096);
    EXPECT_EQ(table[1], static_cast<float>(44100.0 / 32768.0));
    EXPECT_NEAR(table[131071], 131071 * 44100.0 / 32768.0, 1e-2);
    FillBinFrequencyTable(table.data(), kBinCount, 96000, 512);
    EXPECT_EQ(table[4096], 96000.0f);  // bin 4096 of 8N = 4096 is the sample rate
}

TEST(BlockSize, IndexGivesFramesAndAnotherIndexLeavesThem) {
    int n = 7;
    const int expected[4] = {512, 1024, 2048, 4096};
    for (uint32_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(BlockFramesForIndex(i, &n));
        EXPECT_EQ(n, expected[i]);
        EXPECT_EQ(2 * n, expected[i] * 2);
    }
    EXPECT_FALSE(BlockFramesForIndex(4, &n));
    EXPECT_EQ(n, 4096);
}

TEST(PreferencesControls, Toggles) {
    EXPECT_EQ(ToggleOneAndOther(1), 0u);
    EXPECT_EQ(ToggleOneAndOther(0), 1u);
    EXPECT_EQ(ToggleOneAndOther(7), 1u);  // any other value becomes 1
    EXPECT_EQ(ToggleNonZero(7), 0u);      // non-zero becomes 0
    EXPECT_EQ(ToggleNonZero(0), 1u);
    EXPECT_EQ(TogglePolarity(1), -1);
    EXPECT_EQ(TogglePolarity(-1), 1);
    EXPECT_EQ(TogglePolarity(0), 1);  // an unexpected 0 becomes 1, not -1
}

TEST(PreferencesControls, RadioGroupsAndTheirMarks) {
    LocalSettings s;
    LocalGrid g;
    const auto t = s.Targets();
    const int inputs[4] = {10001, 10002, 10003, 10004};
    for (uint32_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(Apply(inputs[i], s, g));
        EXPECT_EQ(s.input, i);
        for (uint32_t j = 0; j < 4; ++j) EXPECT_EQ(MarkOf(t, inputs[j]), i == j);
    }
    ASSERT_TRUE(Apply(10025, s, g));
    EXPECT_EQ(s.output, 0u);
    ASSERT_TRUE(Apply(10026, s, g));
    EXPECT_EQ(s.output, 2u);  // "8 + SPDIF"
    EXPECT_TRUE(MarkOf(t, 10026));
    EXPECT_FALSE(MarkOf(t, 10027));
    ASSERT_TRUE(Apply(10027, s, g));
    EXPECT_EQ(s.output, 1u);
    s.output = 5;  // another value checks none
    EXPECT_FALSE(MarkOf(t, 10025) || MarkOf(t, 10026) || MarkOf(t, 10027));
    ASSERT_TRUE(Apply(10059, s, g));
    EXPECT_EQ(s.bass, 3u);
    EXPECT_TRUE(MarkOf(t, 10059));
    ASSERT_TRUE(Apply(10064, s, g));
    EXPECT_EQ(s.capture24, 0u);
    EXPECT_TRUE(MarkOf(t, 10064));
    EXPECT_FALSE(MarkOf(t, 10065));
    ASSERT_TRUE(Apply(10065, s, g));
    EXPECT_EQ(s.capture24, 1u);
}

TEST(PreferencesControls, CheckBoxes) {
    LocalSettings s;
    LocalGrid g;
    const auto t = s.Targets();
    Apply(10023, s, g);
    EXPECT_EQ(s.dataPolarity, -1);
    EXPECT_TRUE(MarkOf(t, 10023));
    Apply(10023, s, g);
    EXPECT_EQ(s.dataPolarity, 1);
    s.referencePolarity = 0;
    EXPECT_FALSE(MarkOf(t, 10024));
    Apply(10024, s, g);
    EXPECT_EQ(s.referencePolarity, 1);
    Apply(10035, s, g);
    EXPECT_EQ(s.debug, 1u);
    Apply(10066, s, g);
    EXPECT_EQ(s.center, 1u);
    EXPECT_TRUE(MarkOf(t, 10066));
    s.record->AUTOSTART = 3;
    EXPECT_TRUE(MarkOf(t, 10048));
    Apply(10048, s, g);
    EXPECT_EQ(s.record->AUTOSTART, 1u);
    Apply(10048, s, g);
    EXPECT_EQ(s.record->AUTOSTART, 0u);
    s.record->PlayerMode = 3;
    Apply(10050, s, g);
    EXPECT_EQ(s.record->PlayerMode, 0u);
    Apply(10062, s, g);
    Apply(10063, s, g);
    EXPECT_EQ(s.tail->RenderTiming, 1u);
    EXPECT_EQ(s.tail->CaptureTiming, 1u);
    EXPECT_TRUE(MarkOf(t, 10062) && MarkOf(t, 10063));
}

TEST(PreferencesControls, EditsAreCutToTheirLimits) {
    LocalSettings s;
    LocalGrid g;
    Apply(10028, s, g, 0, "1234567890123");
    EXPECT_STREQ(s.delayText, "123456789");
    Apply(10152, s, g, 0, "3+4abcdefg");
    EXPECT_STREQ(s.tail->LiveKeyChannelFields[0], "3+4abcd");
    Apply(10154, s, g, 0, "4");
    Apply(10153, s, g, 0, "5");
    EXPECT_STREQ(s.tail->LiveKeyChannelFields[1], "4");
    EXPECT_STREQ(s.tail->LiveKeyChannelFields[2], "5");
    Apply(10043, s, g, 0, "12");
    EXPECT_STREQ(s.tail->LiveKeyChannelFields[9], "12");
    Apply(10061, s, g, 0, "16");
    EXPECT_STREQ(s.tail->LiveKeyChannelFields[13], "16");
    EXPECT_EQ(LiveKeyFieldOfControl(10156), -1);
    EXPECT_STREQ(s.tail->LiveKeyChannelFields[7], "");  // no edit writes field 7
}

TEST(PreferencesControls, ListsTakeTheirCaret) {
    LocalSettings s;
    LocalGrid g;
    Apply(10029, s, g, 57);  // an empty line still sets the index
    EXPECT_EQ(s.captureIndex, 57u);
    Apply(10030, s, g, 2);
    EXPECT_EQ(s.renderIndex, 2u);
    Apply(10051, s, g, 4);
    EXPECT_EQ(s.tail->OutputQueue, 4u);
    EXPECT_FALSE(Apply(10161, s, g));  // outside the window's range of settings
    EXPECT_FALSE(Apply(10000, s, g));
}

TEST(PreferencesControls, SampleRateRebuildsTheTableAndClears) {
    LocalSettings s;
    LocalGrid g;
    s.tail->HV_Sampling = 1;
    Apply(10120, s, g, 0);
    EXPECT_EQ(s.tail->HV_Sampling, 0u);
    EXPECT_EQ(s.driver->Sampling, 0u);
    EXPECT_EQ(g.table[0], 0.01f);
    EXPECT_EQ(g.table[2], static_cast<float>(2 * 44100.0 / 8192.0));
    // The first two curve records are zero throughout (values, flag and pen), the third untouched.
    const PlotCurve* c = g.curves.get();
    EXPECT_EQ(Digest(&c[0], sizeof(PlotCurve)), Digest(&c[1], sizeof(PlotCurve)));
    EXPECT_EQ(c[0].Values[5], 0.0f);
    EXPECT_EQ(c[1].Visible, 0.0f);
    EXPECT_EQ(c[1].PenWidth, 0.0f);
    EXPECT_EQ(c[2].Values[5], 4.0f);
    for (int o = 0; o < LocalGrid::kOutputs; ++o) {
        for (std::size_t k = 0; k < LocalGrid::kPoints; ++k) {
            const bool cleared = k < LocalGrid::kCleared;
            EXPECT_EQ(g.spectrum[o][2 * k], cleared ? 0.0f : 1.0f);
            EXPECT_EQ(g.spectrum[o][2 * k + 1], cleared ? 0.0f : 1.0f);
            EXPECT_EQ(g.phase[o][2 * k], cleared ? 1e-7f : 2.0f);
            EXPECT_EQ(g.phase[o][2 * k + 1], cleared ? 0.0f : 2.0f);
            EXPECT_EQ(g.impulse[o][k], 3.0f);  // a rate change leaves the impulse responses
        }
    }
    // Clicking the list without changing the item still rebuilds and clears.
    g.spectrum[0][0] = 9.0f;
    Apply(10120, s, g, 0);
    EXPECT_EQ(g.spectrum[0][0], 0.0f);
}

TEST(PreferencesControls, BlockSizeSetsFramesAndClearsImpulses) {
    LocalSettings s;
    LocalGrid g;
    s.tail->HV_Sampling = 1;
    Apply(10052, s, g, 3);  // 4096 at 48000 is accepted here; Play refuses it
    EXPECT_EQ(s.bufferSize, 3u);
    EXPECT_EQ(s.driver->Buffer_Size, 3u);
    EXPECT_EQ(g.blockFrames, 4096);
    EXPECT_EQ(g.table[1], static_cast<float>(48000.0 / 32768.0));
    for (int o = 0; o < LocalGrid::kOutputs; ++o)
        for (std::size_t k = 0; k < LocalGrid::kPoints; ++k)
            EXPECT_EQ(g.impulse[o][k], k < LocalGrid::kCleared ? 0.0f : 3.0f);
    EXPECT_EQ(g.spectrum[1][0], 0.0f);
    EXPECT_EQ(g.phase[1][0], 1e-7f);
}

TEST(PreferencesControls, StreamingEngineRefusesWhatWouldOverrunItsBuffers) {
    LocalSettings s;
    LocalGrid g;
    s.tail->HV_Sampling = 1;
    s.tail->OutputQueue = 2;
    const std::vector<float> tableBefore = g.table;
    for (int id : {10002, 10025, 10057, 10051, 10120, 10052}) Apply(id, s, g, 0, "", /*running=*/true);
    EXPECT_EQ(s.input, 0u);
    EXPECT_EQ(s.output, 1u);
    EXPECT_EQ(s.bass, 0u);
    EXPECT_EQ(s.tail->OutputQueue, 2u);
    EXPECT_EQ(s.tail->HV_Sampling, 1u);
    EXPECT_EQ(s.bufferSize, 1u);
    EXPECT_EQ(g.blockFrames, 1024);
    EXPECT_EQ(g.table, tableBefore);
    EXPECT_EQ(g.spectrum[0][0], 1.0f);
    // What the engine does not size its buffers by still changes.
    Apply(10066, s, g, 0, "", true);
    Apply(10152, s, g, 0, "7", true);
    EXPECT_EQ(s.center, 1u);
    EXPECT_STREQ(s.tail->LiveKeyChannelFields[0], "7");
    EXPECT_TRUE(RefusedWhileStreaming(10004));
    EXPECT_FALSE(RefusedWhileStreaming(10029));
}

TEST(ColourEditor, ScrollArithmeticIsClamped) {
    EXPECT_EQ(ScrollColourValue(250, kScrollPageRight, 0), 255);  // not 260
    EXPECT_EQ(ScrollColourValue(5, kScrollPageLeft, 0), 0);
    EXPECT_EQ(ScrollColourValue(100, kScrollLineLeft, 0), 99);
    EXPECT_EQ(ScrollColourValue(100, kScrollLineRight, 0), 101);
    EXPECT_EQ(ScrollColourValue(100, kScrollPageRight, 0), 110);
    EXPECT_EQ(ScrollColourValue(100, kScrollThumbTrack, 42), 42);
    EXPECT_EQ(ScrollColourValue(100, kScrollThumbPosition, 300), 255);
    EXPECT_EQ(ScrollColourValue(100, kScrollLeft, 0), 0);
    EXPECT_EQ(ScrollColourValue(100, kScrollRight, 0), 255);
    EXPECT_EQ(ScrollColourValue(100, 8, 0), 100);  // end-scroll and above change nothing
}

TEST(ColourEditor, BoxesSelectAndListsSetThePen) {
    ColourEntry scheme[kColourSchemeEntries] = {};
    for (int k = 0; k < kColourSchemeEntries; ++k) scheme[k] = ColourEntry{k, 2 * k, 3 * k, 1, 1};
    int32_t flags[kColourSchemeEntries] = {};
    flags[1] = 1;
    ColourEntry values{};
    EXPECT_EQ(ColourEntryBoxId(0), 10008);
    EXPECT_EQ(ColourEntryBoxId(14), 10022);
    EXPECT_EQ(ColourEntryBoxId(15), 10038);
    EXPECT_EQ(ColourEntryBoxId(18), 10041);
    for (int k = 0; k < kColourSchemeEntries; ++k) EXPECT_EQ(ColourEntryOfBox(ColourEntryBoxId(k)), k);
    EXPECT_EQ(ColourEntryOfBox(10023), -1);
    EXPECT_EQ(ColourEntryOfBox(10037), -1);

    ASSERT_TRUE(ColourEditorCommand(10040, 0, flags, scheme, &values));  // "MLS In"
    for (int k = 0; k < kColourSchemeEntries; ++k) EXPECT_EQ(flags[k], k == 17 ? 1 : 0);
    ASSERT_TRUE(ColourEditorCommand(kColourThicknessList, 2, flags, scheme, &values));
    ASSERT_TRUE(ColourEditorCommand(kColourTypeList, 1, flags, scheme, &values));
    EXPECT_EQ(scheme[17].thickness, 3);
    EXPECT_EQ(scheme[17].type, 2);
    EXPECT_EQ(values.red, 17);
    EXPECT_EQ(values.thickness, 3);
    EXPECT_FALSE(ColourEditorCommand(10001, 0, flags, scheme, &values));

    // Several flags: the last wins; none: the values stay.
    flags[3] = 1;
    EXPECT_EQ(LoadColourEditValues(flags, scheme, 0, 18, &values), 17);
    std::memset(flags, 0, sizeof flags);
    values = ColourEntry{9, 9, 9, 9, 9};
    EXPECT_EQ(LoadColourEditValues(flags, scheme, 0, 18, &values), -1);
    EXPECT_EQ(values.red, 9);
}

TEST(ColourEditor, ScrollStoresIntoTheSelectedEntryOfItsWindow) {
    ColourEntry scheme[kColourSchemeEntries] = {};
    scheme[0] = ColourEntry{142, 185, 210, 1, 1};
    scheme[4] = ColourEntry{250, 10, 20, 1, 1};
    int32_t flags[kColourSchemeEntries] = {};
    ColourEntry values{};
    SelectColourEntry(flags, 4);
    EXPECT_EQ(ColourEditorScroll(0, kScrollPageRight, 0, 1, flags, scheme, &values), 255);
    EXPECT_EQ(scheme[4].red, 255);
    EXPECT_EQ(ColourEditorScroll(2, kScrollThumbTrack, 77, 1, flags, scheme, &values), 77);
    EXPECT_EQ(scheme[4].blue, 77);
    // Entry 0 selected in the Pen Colours window: the bar moves, no entry changes.
    SelectColourEntry(flags, 0);
    EXPECT_EQ(ColourEditorScroll(1, kScrollLineLeft, 0, 1, flags, scheme, &values), 184);
    EXPECT_EQ(scheme[0].green, 185);
    // In the Preferences window the same step stores it.
    EXPECT_EQ(ColourEditorScroll(1, kScrollLineLeft, 0, 0, flags, scheme, &values), 184);
    EXPECT_EQ(scheme[0].green, 184);
}

TEST(ColourEditor, LayoutsOfTheTwoWindows) {
    EXPECT_EQ(ColourSwatchRect(PreferencesColourLayout, 0).top, 304);
    EXPECT_EQ(ColourSwatchRect(PreferencesColourLayout, 18).top, 304 + 360);
    EXPECT_EQ(ColourSwatchRect(PreferencesColourLayout, 18).bottom, 314 + 360);
    EXPECT_EQ(ColourSwatchRect(PenColourLayout, 1).top, 154);
    EXPECT_EQ(ColourSwatchRect(PenColourLayout, 1).left, 220);
    EXPECT_EQ(ColourSwatchRect(PenColourLayout, 1).right, 320);
    EXPECT_EQ(ColourRowTextY(PenColourLayout, 18), 130 + 360);
}

TEST(PrintLayout, DestinationByScaleAndOrientation) {
    PrintSettingsRecord p;  // 80 %, portrait, offsets 200
    const int H = 4800, V = 6600;
    PageRect r = PrintDestinationRect(p, H, V);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.right - r.left, H * 80 / 100);  // 80 % of the width
    EXPECT_EQ(r.bottom - r.top, V * 40 / 100);  // 40 % of the height
    p.orientation = 1;
    r = PrintDestinationRect(p, H, V);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.right - r.left, H * 80 / 100);
    EXPECT_EQ(r.bottom - r.top, V * 80 / 100);
    p.scale = 30;
    p.orientation = 0;
    std::strcpy(p.xOffset, "0");
    std::strcpy(p.yOffset, "50");
    r = PrintDestinationRect(p, 1000, 1000);
    EXPECT_EQ(r.right, 300);
    EXPECT_EQ(r.bottom, 50 + 150);
    EXPECT_EQ(PrintScaleRow(80), 3);
    EXPECT_EQ(PrintScaleRow(100), 0);
    EXPECT_EQ(PrintScaleRow(75), -1);
}

TEST(PrintLayout, ClippedStretchReadsTheMatchingPartOfTheBitmap) {
    const PageRect dest{100, 100, 900, 500};  // 800 x 400 from a 400 x 200 bitmap: scale 2
    PageRect drawn, src;
    ASSERT_TRUE(StretchSourceRect(dest, dest, 400, 200, &drawn, &src));
    EXPECT_EQ(src.left, 0);
    EXPECT_EQ(src.top, 0);
    EXPECT_EQ(src.right, 400);
    EXPECT_EQ(src.bottom, 200);
    ASSERT_TRUE(StretchSourceRect(dest, PageRect{500, 300, 2000, 2000}, 400, 200, &drawn, &src));
    EXPECT_EQ(drawn.left, 500);
    EXPECT_EQ(drawn.top, 300);
    EXPECT_EQ(drawn.right, 900);
    EXPECT_EQ(drawn.bottom, 500);
    EXPECT_EQ(src.left, 200);
    EXPECT_EQ(src.top, 100);
    EXPECT_EQ(src.right, 400);
    EXPECT_EQ(src.bottom, 200);
    // A scale of 3: (1 / 3 + 0.5) rounds down, (2 / 3 + 0.5) up.
    ASSERT_TRUE(StretchSourceRect(PageRect{0, 0, 300, 300}, PageRect{1, 2, 300, 300}, 100, 100, &drawn, &src));
    EXPECT_EQ(src.left, 0);
    EXPECT_EQ(src.top, 1);
    EXPECT_FALSE(StretchSourceRect(dest, PageRect{0, 0, 50, 50}, 400, 200, &drawn, &src));
    EXPECT_FALSE(StretchSourceRect(dest, dest, 0, 200, &drawn, &src));
}

TEST(PrintLayout, ColourCountsAndPalettes) {
    EXPECT_EQ(ScreenColourCount(32, 1), 1);
    EXPECT_EQ(ScreenColourCount(24, 1), 16777216);
    EXPECT_EQ(ScreenColourCount(16, 1), 65536);
    EXPECT_EQ(ScreenColourCount(8, 1), 256);
    EXPECT_EQ(ScreenColourCount(1, 4), 16);
    EXPECT_EQ(ScreenColourCount(1, 1), 2);
    // The count text is held to the display's palette and to a 16-bit count.
    EXPECT_EQ(PaletteEntriesToCopy("65536", 256), 256);
    EXPECT_EQ(PaletteEntriesToCopy("16777216", 100000), 65535);
    EXPECT_EQ(PaletteEntriesToCopy("20", 256), 20);
    EXPECT_EQ(PaletteEntriesToCopy("-3", 256), 0);
    EXPECT_EQ(PaletteEntriesToCopy("abc", 256), 0);
    EXPECT_EQ(PaletteEntriesToCopy("999999999999999999999", 256), 256);
    EXPECT_EQ(PaletteEntriesToCopy("256", 0), 0);  // no palette on a display without one
}

TEST(PrintLayout, PackedDibSizes) {
    EXPECT_EQ(DibBitsPerPixel(1), 1);
    EXPECT_EQ(DibBitsPerPixel(2), 4);
    EXPECT_EQ(DibBitsPerPixel(8), 8);
    EXPECT_EQ(DibBitsPerPixel(16), 24);
    EXPECT_EQ(DibBitsPerPixel(32), 24);
    EXPECT_EQ(DibColourEntries(1, 0), 2);
    EXPECT_EQ(DibColourEntries(4, 0), 16);
    EXPECT_EQ(DibColourEntries(8, 0), 256);
    EXPECT_EQ(DibColourEntries(24, 0), 0);
    EXPECT_EQ(DibColourEntries(8, 12), 12);
    EXPECT_EQ(DibRowBytes(24, 3), 12);  // 9 bytes padded to 12
    EXPECT_EQ(DibRowBytes(24, 4), 12);
    EXPECT_EQ(DibRowBytes(1, 33), 8);
    EXPECT_EQ(DibImageBytes(24, 5, 7), 16 * 7);
}

TEST(PrintLayout, DefaultPrinterSplitAtTheFirstTwoCommas) {
    DefaultPrinterText p = SplitDefaultPrinter("Office Laser,winspool,  LPT1:");
    EXPECT_EQ(p.name, "Office Laser");
    EXPECT_EQ(p.driver, "winspool");
    EXPECT_EQ(p.port, "LPT1:");
    p = SplitDefaultPrinter("A, B ,C,D");
    EXPECT_EQ(p.name, "A");
    EXPECT_EQ(p.driver, "B ");
    EXPECT_EQ(p.port, "C,D");
    p = SplitDefaultPrinter("OnlyName");
    EXPECT_EQ(p.name, "OnlyName");
    EXPECT_EQ(p.driver, "");
    EXPECT_EQ(p.port, "");
    p = SplitDefaultPrinter("");
    EXPECT_EQ(p.name, "");
}

TEST(ProfileSlots, TypedTextIsStoredCutToItsLength) {
    auto record = AllocZeroed<PreferencesRecord>();
    std::strcpy(record->ProfileSlots[0], "C:\\one.HIF");
    SetProfileSlot(record.get(), 3, "D:\\three.HIF");
    SetProfileSlot(record.get(), 11, "ignored");
    SetProfileSlot(record.get(), 0, "ignored");
    EXPECT_STREQ(record->ProfileSlots[2], "D:\\three.HIF");
    EXPECT_STREQ(record->ProfileSlots[0], "C:\\one.HIF");
    const std::string longPath(3000, 'p');
    SetProfileSlot(record.get(), 10, longPath.c_str());
    EXPECT_EQ(std::strlen(record->ProfileSlots[9]), 2046u);
    EXPECT_EQ(record->ProfileSlots[9][2046], '\0');
}
