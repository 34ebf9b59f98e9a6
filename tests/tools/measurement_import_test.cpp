#include "tools/measurement_import.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/heap_record.h"
#include "test_util.h"
#include "tools/driver_fields.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The analytic driver of the fixtures: a second-order high-pass at 60 Hz, Q 0.7, and its impedance with the
// resonance peak at the same frequency (Re 6.2 ohm, Res 40 ohm, Qms 4).
std::complex<double> HighPass(double f) {
    const std::complex<double> s(0.0, f / 60.0);
    return s * s / (s * s + s / 0.7 + 1.0);
}
double HighPassDb(double f) { return 20.0 * std::log10(std::abs(HighPass(f))); }
double HighPassDeg(double f) { return std::arg(HighPass(f)) * 180.0 / kPi; }
std::complex<double> Impedance(double f) { return 6.2 + 40.0 / std::complex<double>(1.0, 4.0 * (f / 60.0 - 60.0 / f)); }

std::vector<double> RowFrequencies() {
    std::vector<double> f;
    for (int r = 0; r < 1200; ++r) f.push_back(10.0 * std::pow(2000.0, r / 1199.0));
    return f;
}

// "+1.015140E+001": a sign, seven digits and a three-digit exponent.
std::string LmsNumber(double v) {
    char m[32];
    std::snprintf(m, sizeof m, "%+.6E", v);
    std::string s(m);
    const auto e = s.find('E');
    const int exponent = std::atoi(s.c_str() + e + 1);
    char tail[24];
    std::snprintf(tail, sizeof tail, "E%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return s.substr(0, e) + tail;
}

enum class Shape { kImpComments, kLmsHeader, kClioQuoted, kZmaImpedance };

// The file text and how many header lines it has. Amplitudes are relative (IMP, "Ref=0dB") or absolute.
std::string MakeFile(Shape shape, const char* eol, int* header_lines) {
    std::string t;
    auto line = [&](const std::string& s) { t += s + eol; };
    char b[160];
    switch (shape) {
        case Shape::kImpComments:
            line("* Generated second-order high-pass, 60 Hz");
            line("* Freq(Hz)   SPL(dB)   Phase(deg)");
            *header_lines = 2;
            for (double f : RowFrequencies()) {
                std::snprintf(b, sizeof b, "%.4f   %.4f   %.4f", f, HighPassDb(f), HighPassDeg(f));
                line(b);
            }
            break;
        case Shape::kLmsHeader:
            line("LMS Data Export");
            line("Curve: Generated High-Pass");
            line("Freq(Hz)        SPL(dB)        Phase(Deg)");
            *header_lines = 3;
            for (double f : RowFrequencies())
                line(LmsNumber(f) + ", " + LmsNumber(90.0 + HighPassDb(f)) + ", " + LmsNumber(HighPassDeg(f)));
            break;
        case Shape::kClioQuoted:
            line("\"Generated high-pass 60 Hz\"");
            line("\"Freq\",\"dB\",\"Phase\"");
            *header_lines = 2;
            for (double f : RowFrequencies()) {
                std::snprintf(b, sizeof b, "%.4f,%.4f,%.4f", f, 90.0 + HighPassDb(f), HighPassDeg(f));
                line(b);
            }
            break;
        case Shape::kZmaImpedance:
            line("* Impedance, ohm and degrees");
            *header_lines = 1;
            for (double f : RowFrequencies()) {
                const auto z = Impedance(f);
                std::snprintf(b, sizeof b, "%.4f %.5f %.4f", f, std::abs(z), std::arg(z) * 180.0 / kPi);
                line(b);
            }
            break;
    }
    return t;
}

struct Grids {
    std::vector<float> log = std::vector<float>(kLogGridPoints), bin = std::vector<float>(kLinGridPoints);
    Grids() {
        const double ratio = 50000.0 / 10.0;  // the default plot range
        for (int i = 0; i < kLogGridPoints; ++i) log[i] = static_cast<float>(10.0 * std::pow(ratio, (i - 699) / 2000.0));
        for (int k = 0; k < kLinGridPoints; ++k) bin[k] = static_cast<float>(k * 48000.0 / (8.0 * 1024));
        bin[0] = 0.01f;
    }
};

HeapRecord<HV_Driver_Data> NewDriver(const char* efficiency) {
    auto d = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(d.get());
    std::strcpy(DriverEfficiencyText(*d), efficiency);
    return d;
}

// Every bin with rows lies within the analytic curve's range over the bin (an average and a last value
// both do); every bin whose range holds a row frequency has data; the others are gaps.
void CheckCurve(const float* edges, int bins, const float* spl, const float* phase, double offset_db,
                const std::function<double(double)>& level, const std::function<double(double)>& angle,
                const std::string& what) {
    const auto rows = RowFrequencies();
    int filled = 0;
    for (int b = 0; b < bins; ++b) {
        const double lo = edges[b], hi = edges[b + 1];
        // Rows within a hair of an edge (the text rounds them) may land on either side: only the clear cases
        // are held to being filled or empty.
        auto any_row = [&](double a, double z) {
            return std::any_of(rows.begin(), rows.end(), [&](double f) { return a <= f && f <= z; });
        };
        const double eps = 1e-6 * hi + 1e-4;
        if (!any_row(lo - eps, hi + eps)) {
            ASSERT_EQ(spl[b], 1.0f) << what << " bin " << b;
            ASSERT_EQ(phase[b], 0.0f) << what << " bin " << b;
            continue;
        }
        if (any_row(lo + eps, hi - eps)) {
            ASSERT_NE(spl[b], 1.0f) << what << " bin " << b;
        }
        if (spl[b] == 1.0f && phase[b] == 0.0f) continue;
        ++filled;
        const double a = std::max(lo, 10.0), z = std::min(hi, 20000.0);
        double lmin = 1e9, lmax = -1e9, pmin = 1e9, pmax = -1e9;
        for (int s = 0; s <= 16; ++s) {
            const double f = a + (z - a) * s / 16.0;
            lmin = std::min(lmin, level(f)), lmax = std::max(lmax, level(f));
            pmin = std::min(pmin, angle(f)), pmax = std::max(pmax, angle(f));
        }
        ASSERT_GE(spl[b], offset_db + lmin - 0.01) << what << " bin " << b;
        ASSERT_LE(spl[b], offset_db + lmax + 0.01) << what << " bin " << b;
        // The stored phase went through the wrap, which scales by 57.288 / 57.2958.
        const double k = 57.288 / 57.2958;
        ASSERT_GE(phase[b], k * pmin - 0.02) << what << " bin " << b;
        ASSERT_LE(phase[b], k * pmax + 0.02) << what << " bin " << b;
    }
    EXPECT_GT(filled, 100) << what;
}

TEST(MeasurementImport, EveryShapeWithCrLfLfOrCrBinsToTheAnalyticDriver) {
    const Grids g;
    struct Case {
        Shape shape;
        ImportMember member;
        const char* efficiency;
        double offset;
    };
    // The IMP file with a scale correction of -3.5 dB on its efficiency of 88 dB.
    const Case cases[] = {{Shape::kImpComments, ImportMember::kImp, "88.0", 84.5},
                          {Shape::kLmsHeader, ImportMember::kLms, "0", 90.0},
                          {Shape::kClioQuoted, ImportMember::kClio, "0.0", 90.0}};
    for (const Case& c : cases) {
        std::vector<float> lf_curve;
        for (const char* eol : {"\r\n", "\n", "\r"}) {
            int header = 0;
            const std::string text = MakeFile(c.shape, eol, &header);
            auto d = NewDriver(c.efficiency);
            if (c.member == ImportMember::kImp) std::strcpy(DriverImportScale(*d), "-3.5");
            ImportConversion conv;
            conv.member = c.member;
            conv.columns.erase_lines = header;
            conv.log_table = g.log.data();
            conv.bin_table = g.bin.data();
            conv.block_frames = 1024;
            DriverImpedanceData(*d) = 1;
            MessageList messages;
            const std::string what = std::to_string(int(c.shape)) + (eol[0] == '\n' ? " LF" : eol[1] ? " CRLF" : " CR");
            ASSERT_EQ(ConvertImportFile(text.data(), text.size(), conv, d.get(), &messages), 1) << what;
            EXPECT_TRUE(messages.empty()) << what;
            CheckCurve(g.log.data(), kLogGridPoints - 1, d->spl_log, d->phase_log, c.offset, HighPassDb, HighPassDeg,
                       what + " log");
            CheckCurve(g.bin.data(), 8 * 1024 + 1, d->spl_lin, d->phase_lin, c.offset, HighPassDb, HighPassDeg,
                       what + " linear");
            EXPECT_EQ(d->spl_log[kLogGridPoints - 1], 1.0f);
            for (int k = 8 * 1024 + 1; k < kLinGridPoints; k += 97) ASSERT_EQ(d->spl_lin[k], 1.0f);
            EXPECT_EQ(DriverImpedanceData(*d), 0u);
            // Classic Mac text (CR alone) gives the same curves as its LF twin.
            std::vector<float> curve(d->spl_log, d->spl_log + kLogGridPoints);
            curve.insert(curve.end(), d->phase_lin, d->phase_lin + 8 * 1024 + 1);
            if (eol[0] == '\n') lf_curve = curve;
            if (eol[0] == '\r' && !eol[1]) {
                EXPECT_TRUE(curve == lf_curve) << what;
            }
        }
    }
}

TEST(MeasurementImport, ImpedanceFileKeepsItsPeak) {
    const Grids g;
    int header = 0;
    const std::string text = MakeFile(Shape::kZmaImpedance, "\r\n", &header);
    auto d = NewDriver("1.0");
    ImportConversion conv;
    conv.member = ImportMember::kLms;
    conv.columns.erase_lines = header;
    conv.log_table = g.log.data();
    conv.bin_table = g.bin.data();
    conv.block_frames = 1024;
    std::strcpy(DriverEfficiencyText(*d), "0");
    ASSERT_EQ(ConvertImportFile(text.data(), text.size(), conv, d.get(), nullptr), 1);
    auto mag = [](double f) { return std::abs(Impedance(f)); };
    auto deg = [](double f) { return std::arg(Impedance(f)) * 180.0 / kPi; };
    CheckCurve(g.log.data(), kLogGridPoints - 1, d->spl_log, d->phase_log, 0.0, mag, deg, "zma log");
    const float* peak = std::max_element(d->spl_log, d->spl_log + kLogGridPoints);
    EXPECT_NEAR(*peak, 46.2, 0.05);
    EXPECT_NEAR(g.log[peak - d->spl_log], 60.0, 0.5);
}

TEST(MeasurementImport, FastBinningMatchesTheScanOnUnorderedRows) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> freq(0.0f, 300.0f), level(-20.0f, 100.0f), angle(-180.0f, 180.0f);
    std::vector<float> edges;
    for (int i = 0; i <= 400; ++i) edges.push_back(0.5f * i + (i % 7 == 0 ? 0.0f : 0.01f * (i % 3)));
    std::sort(edges.begin(), edges.end());
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<ImportRow> rows;
        float f = 0.0f;
        for (int r = 0; r < 600; ++r) {
            // Mostly ascending, with jumps back and rows exactly on an edge.
            f = (rng() % 10 == 0) ? freq(rng) : f + 0.3f;
            if (rng() % 13 == 0) f = edges[rng() % edges.size()];
            rows.push_back({f, level(rng), angle(rng)});
        }
        ImportCorrections c{3.0, -1.5, 0.25};
        std::vector<float> s1(400), p1(400), s2(400), p2(400);
        BinImportRows(rows.data(), rows.size(), edges.data(), 400, c, s1.data(), p1.data());
        BinImportRowsLiteral(rows.data(), rows.size(), edges.data(), 400, c, s2.data(), p2.data());
        for (int b = 0; b < 400; ++b) {
            ASSERT_FLOAT_EQ(s1[b], s2[b]) << trial << " " << b;
            ASSERT_EQ(p1[b], p2[b]) << trial << " " << b;
        }
    }
}

TEST(MeasurementImport, BinRulesEdgesOrderDelayAndFloor) {
    const float edges[] = {100.0f, 200.0f, 300.0f, 400.0f};
    std::vector<float> spl(3), phase(3);
    // A row exactly on 200 Hz counts in the bin below and in the bin above it.
    std::vector<ImportRow> rows = {{150.0f, 60.0f, 10.0f}, {200.0f, 70.0f, 20.0f}, {250.0f, 80.0f, 30.0f}};
    BinImportRows(rows.data(), rows.size(), edges, 3, {}, spl.data(), phase.data());
    const double k = 57.288 / 57.2958;
    EXPECT_FLOAT_EQ(spl[0], 65.0f);
    EXPECT_NEAR(phase[0], 20.0 * k, 1e-4);
    EXPECT_FLOAT_EQ(spl[1], 75.0f);
    EXPECT_NEAR(phase[1], 30.0 * k, 1e-4);
    EXPECT_EQ(spl[2], 1.0f);
    EXPECT_EQ(phase[2], 0.0f);
    // A row out of order after a row above the bin is not counted; levels below 1 dB are raised to 1.
    rows = {{350.0f, 50.0f, 0.0f}, {150.0f, -40.0f, 5.0f}};
    BinImportRows(rows.data(), rows.size(), edges, 3, {}, spl.data(), phase.data());
    EXPECT_EQ(spl[0], 1.0f);
    EXPECT_EQ(spl[2], 50.0f);
    rows = {{150.0f, -40.0f, 5.0f}};
    BinImportRows(rows.data(), rows.size(), edges, 3, {}, spl.data(), phase.data());
    EXPECT_EQ(spl[0], 1.0f);
    EXPECT_NEAR(phase[0], 5.0 * k, 1e-5);
    // Delay 2.907 ms at a lower edge of 1000 Hz adds 1046.52 degrees before the wrap.
    const float e2[] = {1000.0f, 1001.0f};
    rows = {{1000.5f, 80.0f, 10.0f}};
    ImportCorrections c;
    c.delay_ms = 2.907;
    BinImportRows(rows.data(), rows.size(), e2, 1, c, spl.data(), phase.data());
    const double wrapped = std::remainder((10.0 + 1046.52) / 57.2958, 2.0 * kPi) * 57.288;
    EXPECT_NEAR(phase[0], wrapped, 1e-3);
    EXPECT_GT(phase[0], -180.0f);
    EXPECT_LT(phase[0], 180.0f);
}

TEST(MeasurementImport, LineSkippingAndPreview) {
    const std::string crlf = "head 1\r\nhead 2\r\n1 2 3\r\n";
    EXPECT_EQ(ImportDataStart(crlf.data(), crlf.size(), 0), 0u);
    EXPECT_EQ(ImportDataStart(crlf.data(), crlf.size(), 2), 16u);
    EXPECT_EQ(ImportDataStart(crlf.data(), crlf.size(), -3), 0u);
    const std::string lf = "head 1\nhead 2\n1 2 3\n";
    EXPECT_EQ(ImportDataStart(lf.data(), lf.size(), 2), 14u);
    // An empty line and the line after it count as one.
    const std::string empty = "a\r\n\r\nb\r\n7 8\r\n";
    EXPECT_EQ(ImportDataStart(empty.data(), empty.size(), 2), 8u);
    // A line longer than 128 characters stops the skipping at its start.
    const std::string longline = "x\r\n" + std::string(140, 'h') + "\r\n5 6\r\n";
    EXPECT_EQ(ImportDataStart(longline.data(), longline.size(), 3), 3u);
    // Skipping more lines than the file has ends at its end: no data.
    EXPECT_EQ(ImportDataStart(crlf.data(), crlf.size(), 10), crlf.size());

    ImportPreview v = MakeImportPreview(crlf.data(), crlf.size());
    ASSERT_EQ(v.lines.size(), 3u);
    EXPECT_EQ(v.lines[0], "head 1");
    EXPECT_EQ(v.lines[2], "1 2 3");
    EXPECT_FALSE(v.line_cut);
    EXPECT_FALSE(v.more);
    v = MakeImportPreview(longline.data(), longline.size());
    ASSERT_EQ(v.lines.size(), 2u);
    EXPECT_TRUE(v.line_cut);
    std::string many;
    for (int i = 0; i < 30; ++i) many += std::to_string(i) + "\n";
    v = MakeImportPreview(many.data(), many.size());
    EXPECT_EQ(v.lines.size(), 21u);
    EXPECT_EQ(v.lines[20], "20");
    EXPECT_TRUE(v.more);
}

// One row per line. Files that are not what the importer reads are refused, naming the line, and the driver
// keeps its curves; what it reads (CR LF or LF, separators of any kind, blank lines, a complete last row
// without a line end however short) is accepted.
TEST(MeasurementImport, OneRowPerLineAndWhatIsNotReadIsRefusedByLine) {
    const Grids g;
    std::string utf16;
    for (char c : std::string("10 60 -5\r\n20 61 -6\r\n")) utf16 += std::string{c, '\0'};
    struct Case {
        std::string text;
        int erase_lines;
        const char* refusal;  // nullptr: accepted
    };
    const Case cases[] = {
        {"10 60 -5\r\n\r\n20,61,-6\n \t\r\n+4.0E+001, 6.3E1, 1", 0, nullptr},
        {"100,5 85,3 -12,4\r\n101,5 85,2 -12,5\r\n", 0, "Expected 3 Numbers, Found 6 In Line 1"},
        {"10 60 -5\r\n20 nan -6\r\n", 0, "Expected 3 Numbers, Found 2 In Line 2"},
        {"10 60 -5\r\n20 -inf -6\r\n", 0, "Not A Number In Line 2"},
        {"10 60 -5\r\nnan nan nan\r\n", 0, "Not A Number In Line 2"},
        {"10 60\r\n20 61\r\n", 0, "Expected 3 Numbers, Found 2 In Line 1"},
        {"10 60 -5\r\n30 61 -6\r\n20 62 -7\r\n", 0, "Frequency Does Not Rise In Line 3"},
        {"10 60 -5\r\n10 61 -6\r\n", 0, "Frequency Does Not Rise In Line 2"},
        {"", 0, "No Data Rows From Line 1"},
        {"Freq SPL Phase\r\n* ---\r\n", 2, "No Data Rows From Line 3"},
        {"Freq SPL Phase\r\n10 60 -5\r\n", 0, "Not A Number In Line 1"},
        // A lone CR ends a line for the skipping and the line count alike; CR LF is one end.
        {"Freq SPL Phase\r* ---\r\n10 60 -5\r\r\n20 61\n", 2, "Expected 3 Numbers, Found 2 In Line 5"},
        {utf16, 0, "Not Plain Text (Zero Byte) In Line 1"},
        {"10 60 -5\r\n20 61 -6\r\n30 6", 0, "Expected 3 Numbers, Found 2 In Line 3"},
    };
    for (const Case& c : cases) {
        auto d = NewDriver("0");
        ImportConversion conv;
        conv.member = ImportMember::kLms;
        conv.columns.erase_lines = c.erase_lines;
        conv.log_table = g.log.data();
        conv.bin_table = g.bin.data();
        conv.block_frames = 1024;
        MessageList m;
        const char* data = c.text.empty() ? nullptr : c.text.data();  // an empty image has no bytes to point at
        const int result = ConvertImportFile(data, c.text.size(), conv, d.get(), &m);
        if (!c.refusal) {
            EXPECT_EQ(result, 1) << c.text;
            EXPECT_TRUE(m.empty()) << c.text;
            std::vector<ImportRow> rows;
            ASSERT_EQ(ParseImportRows(c.text.data(), c.text.size(), 0, conv.columns, &rows, nullptr), 1);
            ASSERT_EQ(rows.size(), 3u);
            EXPECT_EQ(rows[1].amplitude, 61.0f);
            EXPECT_EQ(rows[2].frequency, 40.0f);
            EXPECT_EQ(rows[2].amplitude, 63.0f);
            EXPECT_EQ(rows[2].phase, 1.0f);
            continue;
        }
        EXPECT_EQ(result, 0) << c.refusal;
        ASSERT_EQ(m.size(), 1u) << c.refusal;
        EXPECT_EQ(m[0].text, c.refusal);
        for (int i = 0; i < kLogGridPoints; i += 31) ASSERT_EQ(d->spl_log[i], 90.0f) << c.refusal;  // untouched
        for (int k = 0; k < kLinGridPoints; k += 97) ASSERT_EQ(d->spl_lin[k], 90.0f) << c.refusal;
    }
    // Boxes 2, 3 and 5 ticked: frequency in column 1, amplitude in column 2, phase not included (box 4); a
    // column that is not read may hold what is not a number.
    ImportColumns c;
    c.include[0] = 0, c.include[3] = 0, c.include[4] = 1;
    c.column_count = 4;
    const std::string u = "- 100 70 33\r\n2 200 71 34\r\n";
    std::vector<ImportRow> rows;
    ASSERT_EQ(ParseImportRows(u.data(), u.size(), 0, c, &rows, nullptr), 1);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].frequency, 200.0f);
    EXPECT_EQ(rows[1].amplitude, 71.0f);
    EXPECT_EQ(rows[1].phase, 0.0f);
}

TEST(MeasurementImport, RefusalsSayWhyAndChangeNothing) {
    auto refused = [](const std::string& text, ImportColumns c) {
        std::vector<ImportRow> rows;
        MessageList m;
        EXPECT_EQ(ParseImportRows(text.data(), text.size(), 0, c, &rows, &m), 0);
        return m.empty() ? std::string() : m[0].text;
    };
    ImportColumns c;
    for (int n : {0, -1, 33}) {
        c.column_count = n;
        EXPECT_EQ(refused("1 2 3", c), "Total Number of Columns Must Be 1 ... 32") << n;
    }
    c = ImportColumns{};
    c.include[0] = c.include[1] = c.include[2] = 0;
    c.include[3] = 1;
    EXPECT_EQ(refused("1 2 3", c), "Include A Frequency Column (1, 2 or 3)");
    c = ImportColumns{};
    c.column_count = 2;  // boxes 1, 2, 3: the phase would be column 3 of a two-column row
    EXPECT_EQ(refused("1 2\r\n3 4\r\n", c), "Include Column 3 Is Beyond The Total Number of Columns");
    c = ImportColumns{};
    EXPECT_EQ(refused("1 2 3\r\n4 5 " + std::string(70, '6') + "\r\n", c), "Number Too Long In Line 2");
    EXPECT_EQ(refused("1 2 3\r\n\r\n4 1e39 5\r\n", c), "Number Out Of Range In Line 3");
    EXPECT_EQ(refused("1 2 3\n4 5 -9e99\n", c), "Number Out Of Range In Line 2");
    // A long run of number characters in a column that is not read is only a separator's worth of trouble.
    c.include[2] = 0;
    std::vector<ImportRow> rows;
    const std::string dashes = "1 2 " + std::string(70, '-') + " x";
    EXPECT_EQ(ParseImportRows(dashes.data(), dashes.size(), 0, c, &rows, nullptr), 1);
    EXPECT_EQ(rows.size(), 1u);

    const Grids g;
    ImportConversion conv;
    conv.log_table = g.log.data();
    conv.bin_table = g.bin.data();
    conv.block_frames = 1024;
    const std::string text = "100 -3 10\r\n200 -2 20\r\n";
    for (const char* e : {"0", "", "-5", "abc", "nan"}) {
        auto d = NewDriver(e);
        MessageList m;
        EXPECT_EQ(ConvertImportFile(text.data(), text.size(), conv, d.get(), &m), 0) << e;
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].text, "Enter Reference Efficiency");
        EXPECT_EQ(m[0].caption, "HV MEssage");
        EXPECT_EQ(d->spl_log[0], 90.0f);  // the defaults, untouched
    }
    // The other converters take an efficiency of 0 as it is.
    conv.member = ImportMember::kClio;
    auto d = NewDriver("0");
    EXPECT_EQ(ConvertImportFile(text.data(), text.size(), conv, d.get(), nullptr), 1);
    std::strcpy(DriverImportDelay(*d), "inf");
    MessageList m;
    EXPECT_EQ(ConvertImportFile(text.data(), text.size(), conv, d.get(), &m), 0);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, "Correction Factors Out Of Range");
}

TEST(MeasurementImport, FilesAreLoadedWholeAndHugeOnesRefusedUnread) {
    ScratchDir dir;
    const std::string path = dir.File("small.frd");
    {
        std::ofstream f(path, std::ios::binary);
        f << "10 60 5\r\n";
    }
    std::vector<char> image;
    MessageList m;
    ASSERT_EQ(LoadImportFile(path, &image, &m), 1);
    EXPECT_EQ(std::string(image.begin(), image.end()), "10 60 5\r\n");
    EXPECT_EQ(LoadImportFile(dir.File("missing.frd"), &image, &m), 0);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, dir.File("missing.frd"));
#ifndef _WIN32
    // A sparse file of exactly 2 GB: refused before a byte is read.
    const std::string big = dir.File("big.frd");
    {
        std::ofstream f(big, std::ios::binary);
    }
    std::filesystem::resize_file(big, 2147483648ULL);
    m.clear();
    image.assign(3, 'x');
    EXPECT_EQ(LoadImportFile(big, &image, &m), 0);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, big + " Is Too Large To Import");
    EXPECT_EQ(image.size(), 3u);
    // A named pipe is refused by its path, without waiting for a writer.
    const std::string fifo = dir.File("pipe.frd");
    m.clear();
    int result = -1;
    ASSERT_TRUE(ReturnsOnANamedPipe(fifo, [&] { result = LoadImportFile(fifo, &image, &m); }))
        << "the import opened the pipe and waited";
    EXPECT_EQ(result, 0);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, fifo);
#endif
}

TEST(MeasurementImport, MembersAndPickers) {
    EXPECT_STREQ(ImportMemberOf(ImportMember::kImp).caption, "IMP File Converter");
    EXPECT_TRUE(ImportMemberOf(ImportMember::kImp).checks_efficiency);
    EXPECT_FALSE(ImportMemberOf(ImportMember::kLms).checks_efficiency);
    EXPECT_STREQ(ImportMemberOf(ImportMember::kClio).dialog_template, "ImportClioBox");
    const auto p = ImportFilePicker(ImportMember::kLms);
    ASSERT_EQ(p.filters.size(), 5u);
    EXPECT_EQ(p.filters[2].first, "LAUD Files (*.FRD)");
    EXPECT_EQ(p.filters[4].second, "*.txt;*.dat;*.frd;*.zma");
    EXPECT_TRUE(p.create_prompt && p.hide_read_only);
    EXPECT_EQ(p.default_extension, "*.*");
}

}  // namespace
