#include "app/text_export.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "heap_record.h"
#include "test_util.h"

namespace {

// BinFrequencyTable at 48 kHz and N = 1024: k x 48000 / 8192, bin 0 stored as 0.01 Hz.
std::vector<float> BinTable() {
    std::vector<float> f(kLinGridPoints);
    f[0] = 0.01f;
    for (int k = 1; k < kLinGridPoints; ++k) f[k] = static_cast<float>(k * 48000.0 / 8192.0);
    return f;
}

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos));   // a line without CR LF: shows up as a defect
            break;
        }
        lines.push_back(text.substr(pos, end + 2 - pos));
        pos = end + 2;
    }
    return lines;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

const int kRefBin = 171;   // first bin above 1 kHz at 48 kHz / 1024: 1001.95 Hz

}  // namespace

TEST(CurveText, LineFormatMatchesAnIndependentFormatter) {
    // Expected lines computed with Python's % formatting from the same single-precision inputs.
    EXPECT_EQ(FormatCurveTextLine(0.01f, -5.5f, 123.456f), "0.01    -5.50    123.46  \r\n");
    auto f = BinTable();
    std::vector<float> a(kLinGridPoints, 1.0f), b(kLinGridPoints, 0.0f);
    a[1] = 0.5f, b[1] = -0.25f;
    a[2] = 0.0f, b[2] = 1.0f;      // a of exactly 0 is taken as 1e-12
    a[3] = -1.0f, b[3] = 0.0f;
    a[171] = 0.001f, b[171] = 0.002f;
    a[4095] = 3.7f, b[4095] = -12.25f;
    a[131071] = 1e-9f, b[131071] = 0.0f;
    const std::string text = FormatSplPhaseText(a.data(), b.data(), f.data());
    auto lines = SplitCrLf(text);
    ASSERT_EQ(lines.size(), 131072u);
    EXPECT_EQ(lines[0], "0.01    0.00    0.00  \r\n");
    EXPECT_EQ(lines[1], "5.86    -5.05    -26.57  \r\n");
    EXPECT_EQ(lines[2], "11.72    0.00    90.00  \r\n");
    EXPECT_EQ(lines[3], "17.58    0.00    180.00  \r\n");
    EXPECT_EQ(lines[171], "1001.95    -53.01    63.43  \r\n");
    EXPECT_EQ(lines[4095], "23994.14    22.14    -73.19  \r\n");
    EXPECT_EQ(lines[131071], "767994.12    -159.96    0.00  \r\n");
}

TEST(CurveText, FlatDriverExportsZeroDbAndZeroDegreesOnEveryLine) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());   // HBT response 1 + 0j, SPL curve 90 dB
    auto f = BinTable();
    const std::string path = dir.File("flat.trg");
    ASSERT_EQ(WriteSplPhaseText(path, *dr, f.data(), nullptr), 1);
    const std::string text = ReadAll(path);
    auto lines = SplitCrLf(text);
    ASSERT_EQ(lines.size(), 131072u);
    EXPECT_EQ(text.substr(text.size() - 4), "  \r\n");
    EXPECT_NE(text.substr(text.size() - 6), "\r\n\r\n");
    EXPECT_EQ(lines[0].substr(0, 5), "0.01 ");
    for (int i = 0; i < kLinGridPoints; ++i) {
        char expect[64];
        std::snprintf(expect, sizeof expect, "%.2f    0.00    0.00  \r\n", static_cast<double>(f[i]));
        ASSERT_EQ(lines[i], expect) << i;
    }
}

TEST(CurveText, CalibrationExportWritesTheChosenCurveAsStored) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    for (int i = 0; i < kLinGridPoints; ++i) {
        dr->mike_cal[i] = CalPoint{-1.25f, 45.5f};
        dr->preamp_cal[i] = CalPoint{0.75f, -3.0f};
    }
    auto f = BinTable();
    const std::string mike = dir.File("mike.trg");
    ASSERT_EQ(WriteCalCurveText(mike, *dr, 1, 0, f.data(), nullptr), 1);
    auto lines = SplitCrLf(ReadAll(mike));
    ASSERT_EQ(lines.size(), 131072u);
    EXPECT_EQ(lines[0], "0.01    -1.25    45.50  \r\n");
    const std::string pre = dir.File("pre.trg");
    ASSERT_EQ(WriteCalCurveText(pre, *dr, 0, 1, f.data(), nullptr), 1);
    EXPECT_EQ(SplitCrLf(ReadAll(pre))[1], "5.86    0.75    -3.00  \r\n");
}

TEST(CurveText, CalibrationExportRefusesBeforeTouchingTheFile) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    auto f = BinTable();
    const std::string path = dir.File("keep.trg");
    WriteText(path, "previous contents");
    for (auto flags : {std::pair<uint32_t, uint32_t>{1, 1}, {0, 0}}) {
        MessageList msgs;
        EXPECT_EQ(WriteCalCurveText(path, *dr, flags.first, flags.second, f.data(), &msgs), 0);
        ASSERT_EQ(msgs.size(), 1u);
        EXPECT_EQ(msgs[0].text, "Please Select Either Mike File Or Preamp File For Saving");
        EXPECT_EQ(ReadAll(path), "previous contents");
    }
    MessageList msgs;
    const std::string bad = dir.File("no-folder/x.trg");
    EXPECT_EQ(WriteSplPhaseText(bad, *dr, f.data(), &msgs), 0);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, bad);
}

TEST(CurveText, ImportOfAnExportGivesTheCurveBackNormalisedAtOneKilohertz) {
    ScratchDir dir;
    auto f = BinTable();
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    for (int i = 0; i < kLinGridPoints; ++i) {
        dr->mike_cal[i] = CalPoint{static_cast<float>(3.0 * std::sin(i * 0.001)), static_cast<float>(170.0 * std::cos(i * 0.0007))};
    }
    const std::string path = dir.File("round.trg");
    ASSERT_EQ(WriteCalCurveText(path, *dr, 1, 0, f.data(), nullptr), 1);
    std::vector<CalPoint> curve(kLinGridPoints, CalPoint{9.0f, 9.0f});
    MessageList msgs;
    ASSERT_EQ(ReadMikeCalFile(path, curve.data(), f.data(), &msgs), 1);
    EXPECT_TRUE(msgs.empty());
    // Reference: the SPL as printed with two decimals at bin 171, the first bin above 1000 Hz.
    const double ref = std::round(dr->mike_cal[kRefBin].spl_db * 100.0) / 100.0;
    EXPECT_FLOAT_EQ(curve[kRefBin].spl_db, 0.0f);
    for (int i = 0; i < kLinGridPoints - 1; i += 97) {
        EXPECT_NEAR(curve[i].spl_db, dr->mike_cal[i].spl_db - ref, 0.0051) << i;
        EXPECT_NEAR(curve[i].phase_deg, dr->mike_cal[i].phase_deg, 0.0051) << i;
    }
    EXPECT_EQ(curve[131071].spl_db, curve[131070].spl_db);
    EXPECT_EQ(curve[131071].phase_deg, curve[131070].phase_deg);
}

TEST(CurveText, ImportReadsNumbersSkipsHeadersAndClampsPhase) {
    ScratchDir dir;
    auto f = BinTable();
    std::string text =
        "Freq SPL Phase\r\n"
        "Efficiency 90 dB\r\n"
        "* measured 2026\r\n"
        "\r\n"
        "10 1.5e-3 185\r\n"          // row 0: e-exponent read as one number
        "20,2E1,-190\r\n"            // row 1: commas, capital E
        "30\t-4.25\t180\r\n"         // row 2: tabs; exactly 180 stays
        "5000 +7 -180 extra words\r\n";  // row 3: frequency ignored, words after the third ignored
    for (int r = 4; r <= kRefBin; ++r) text += "1 " + std::to_string(r == kRefBin ? 2 : 0) + " 0\n";
    const std::string path = dir.File("cal.txt");
    WriteText(path, text);
    std::vector<CalPoint> curve(kLinGridPoints, CalPoint{9.0f, 9.0f});
    ASSERT_EQ(ReadPreampCalFile(path, curve.data(), f.data(), nullptr), 1);
    // Every SPL is shifted by the 2 dB found at bin 171.
    EXPECT_FLOAT_EQ(curve[0].spl_db, 0.0015f - 2.0f);
    EXPECT_EQ(curve[0].phase_deg, 179.9f);
    EXPECT_FLOAT_EQ(curve[1].spl_db, 18.0f);
    EXPECT_EQ(curve[1].phase_deg, -179.9f);
    EXPECT_FLOAT_EQ(curve[2].spl_db, -6.25f);
    EXPECT_EQ(curve[2].phase_deg, 180.0f);
    EXPECT_FLOAT_EQ(curve[3].spl_db, 5.0f);
    EXPECT_EQ(curve[3].phase_deg, -180.0f);
    EXPECT_EQ(curve[kRefBin].spl_db, 0.0f);
    // Rows the file does not have read as 0, then take the shift too.
    EXPECT_EQ(curve[5000].spl_db, -2.0f);
    EXPECT_EQ(curve[5000].phase_deg, 0.0f);
}

TEST(CurveText, RowsBeyondTheGridAreIgnored) {
    ScratchDir dir;
    auto f = BinTable();
    std::string text;
    text.reserve(2000000);
    for (int r = 0; r < kLinGridPoints + 5; ++r) text += "1 " + std::to_string(r % 7) + " 1\n";
    text += "this line would be malformed 1 2\n1 x y\n";
    const std::string path = dir.File("long.txt");
    WriteText(path, text);
    std::vector<CalPoint> curve(kLinGridPoints);
    ASSERT_EQ(ReadMikeCalFile(path, curve.data(), f.data(), nullptr), 1);
    const float ref = static_cast<float>(kRefBin % 7);
    EXPECT_EQ(curve[131070].spl_db, static_cast<float>(131070 % 7) - ref);
    EXPECT_EQ(curve[131071].spl_db, curve[131070].spl_db);
}

TEST(CurveText, MalformedTextIsRefusedAndChangesNothing) {
    ScratchDir dir;
    auto f = BinTable();
    const std::vector<CalPoint> before(kLinGridPoints, CalPoint{4.0f, 5.0f});
    struct Case {
        std::string text, message;
    };
    const std::string nr = "This Calibration File is NOT Recognized";
    const std::vector<Case> cases = {
        {"Freq SPL Phase\n100 90 abc\n", nr + "\nLine 2: frequency, SPL and phase expected"},
        {"100 90 0\n200 91\n", nr + "\nLine 2: frequency, SPL and phase expected"},
        {"100 90 0\n200 1e999 0\n", nr + "\nLine 2: frequency, SPL and phase expected"},
        {"100 nan 0\n", nr + "\nLine 1: frequency, SPL and phase expected"},
        {"100 1.2.3 0\n", nr + "\nLine 1: frequency, SPL and phase expected"},
        {"100 90 1e\n", nr + "\nLine 1: frequency, SPL and phase expected"},
        {"", nr + "\nNo frequency, SPL and phase lines found"},
        {"Freq SPL Phase\r\nno numbers here\r\n", nr + "\nNo frequency, SPL and phase lines found"},
        // Every value fits a float, but shifted to 0 dB at bin 171 the first one would be infinite.
        {[] {
             std::string t = "1 3e38 0\n";
             for (int r = 1; r < kRefBin; ++r) t += "1 0 0\n";
             return t + "1 -3e38 0\n";
         }(),
         nr + "\nSPL values out of range"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = dir.File("bad" + std::to_string(n++) + ".txt");
        WriteText(path, c.text);
        std::vector<CalPoint> curve = before;
        MessageList msgs;
        EXPECT_EQ(ReadMikeCalFile(path, curve.data(), f.data(), &msgs), 0) << c.text;
        ASSERT_EQ(msgs.size(), 1u) << c.text;
        EXPECT_EQ(msgs[0].text, c.message) << c.text;
        EXPECT_EQ(msgs[0].caption, "HV Message");
        EXPECT_EQ(std::memcmp(curve.data(), before.data(), before.size() * sizeof(CalPoint)), 0) << c.text;
    }
    std::vector<CalPoint> curve = before;
    MessageList msgs;
    const std::string missing = dir.File("missing.trg");
    EXPECT_EQ(ReadMikeCalFile(missing, curve.data(), f.data(), &msgs), 0);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, missing);
}

TEST(CurveText, PickerDescriptions) {
    FilePickerDescription e = SplExportPicker();
    ASSERT_EQ(e.filters.size(), 3u);
    EXPECT_EQ(e.filters[0].first, "Export SPL/Phase (*.TRG)");
    EXPECT_EQ(e.filters[1].second, "*.txt");
    EXPECT_EQ(e.title_chars, 256);
    EXPECT_TRUE(e.overwrite_prompt && e.for_save);
    FilePickerDescription i = CalImportPicker();
    EXPECT_EQ(i.filters[0].first, "Target Files (*.TRG)");
    EXPECT_EQ(i.filters[2].first, "All Files (*.*)");
    EXPECT_EQ(i.title_chars, 2048);
    EXPECT_TRUE(i.create_prompt && i.hide_read_only && !i.for_save);
}

// A named pipe in the calibration file's place is refused by its path before it is opened: opening it would
// wait for a writer that never comes.
TEST(CurveText, ANamedPipeIsRefusedWithoutWaiting) {
#ifdef _WIN32
    GTEST_SKIP() << "named pipes of this kind are a POSIX matter";
#else
    ScratchDir dir;
    const std::string fifo = dir.File("mike.trg");
    auto f = BinTable();
    std::vector<CalPoint> curve(kLinGridPoints, CalPoint{4.0f, 5.0f});
    MessageList msgs;
    int result = -1;
    ASSERT_TRUE(ReturnsOnANamedPipe(fifo, [&] { result = ReadMikeCalFile(fifo, curve.data(), f.data(), &msgs); }))
        << "the reader opened the pipe and waited";
    EXPECT_EQ(result, 0);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, fifo);
    EXPECT_EQ(curve[0].spl_db, 4.0f);
#endif
}
