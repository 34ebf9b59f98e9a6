#include "app/text_export.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string_view>
#include <vector>

#include "app/raw_file.h"
#include "app/record_file_messages.h"

namespace {

constexpr std::size_t kLineReserve = 48;   // a typical line is under 40 characters

void AppendLine(std::string* text, float f, float spl, float phase) {
    char line[160];
    const int n = std::snprintf(line, sizeof line, "%.2f    %.2f    %.2f  \r\n", static_cast<double>(f),
                                static_cast<double>(spl), static_cast<double>(phase));
    if (n > 0) text->append(line, static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1);
}

std::string FormatCalCurve(const CalPoint* curve, const float* bin_frequency) {
    std::string text;
    text.reserve(kCurveTextLines * kLineReserve);
    for (int i = 0; i < kCurveTextLines; ++i) AppendLine(&text, bin_frequency[i], curve[i].spl_db, curve[i].phase_deg);
    return text;
}

int WriteText(const std::string& path, const std::string& text, MessageList* out) {
    const RawFileStatus st = WriteWholeFile(path, text);
    if (st != RawFileStatus::Ok) {
        AddRawFileMessage(out, st, path, "");
        return 0;
    }
    return 1;
}

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r' || c == '\f' || c == '\v'; }

// A decimal number and nothing else: [+-] digits [. digits] [(e|E) [+-] digits], with at least one digit
// in the mantissa. Converted independently of the locale; a value out of float range is refused.
bool ParseNumber(std::string_view tok, float* value) {
    std::size_t i = 0;
    const std::size_t n = tok.size();
    if (i < n && (tok[i] == '+' || tok[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < n && tok[i] >= '0' && tok[i] <= '9') ++i, ++digits;
    if (i < n && tok[i] == '.') {
        ++i;
        while (i < n && tok[i] >= '0' && tok[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (tok[i] == 'e' || tok[i] == 'E')) {
        ++i;
        if (i < n && (tok[i] == '+' || tok[i] == '-')) ++i;
        std::size_t exp_digits = 0;
        while (i < n && tok[i] >= '0' && tok[i] <= '9') ++i, ++exp_digits;
        if (exp_digits == 0) return false;
    }
    if (i != n) return false;
    std::string_view body = tok;
    if (!body.empty() && body.front() == '+') body.remove_prefix(1);
    double d = 0.0;
    const auto res = std::from_chars(body.data(), body.data() + body.size(), d);
    // Underflow to zero is harmless; overflow is not a calibration value.
    if (res.ec == std::errc::result_out_of_range) {
        bool tiny = false;
        const std::size_t e = body.find_first_of("eE");
        if (e != std::string_view::npos) tiny = body.substr(e + 1).front() == '-';
        if (!tiny) return false;
        d = 0.0;
    } else if (res.ec != std::errc() || res.ptr != body.data() + body.size()) {
        return false;
    }
    if (!std::isfinite(d) || std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max())) return false;
    *value = static_cast<float>(d);
    return true;
}

std::string LineMessage(int line_number, const char* what) {
    return std::string(kCalFileNotRecognized) + "\nLine " + std::to_string(line_number) + ": " + what;
}

}  // namespace

std::string FormatCurveTextLine(float frequency_hz, float spl_db, float phase_deg) {
    std::string s;
    AppendLine(&s, frequency_hz, spl_db, phase_deg);
    return s;
}

std::string FormatSplPhaseText(const float* a, const float* b, const float* bin_frequency) {
    std::string text;
    text.reserve(kCurveTextLines * kLineReserve);
    for (int i = 0; i < kCurveTextLines; ++i) {
        const double re = a[i];
        const double im = b[i];
        const auto spl = static_cast<float>(10.0 * std::log10(re * re + im * im + 1e-16));
        const double re_nz = re == 0.0 ? 1e-12 : re;
        const auto phase = static_cast<float>(-std::atan2(-im, re_nz) * kExactDegreesPerRadian);
        AppendLine(&text, bin_frequency[i], spl, phase);
    }
    return text;
}

int WriteSplPhaseText(const std::string& path, const HV_Driver_Data& driver, const float* bin_frequency,
                      MessageList* out) {
    return WriteText(path, FormatSplPhaseText(driver.hbt_re_lin, driver.hbt_im_lin, bin_frequency), out);
}

int WriteCalCurveText(const std::string& path, const HV_Driver_Data& driver, uint32_t mike_cal_use,
                      uint32_t preamp_cal_use, const float* bin_frequency, MessageList* out) {
    const bool mike = mike_cal_use == 1;
    const bool preamp = preamp_cal_use == 1;
    if (mike == preamp) {
        // Decided before the file is created, so a refusal never empties an existing file.
        AddWarning(out, kSelectOneCalFile);
        return 0;
    }
    return WriteText(path, FormatCalCurve(mike ? driver.mike_cal : driver.preamp_cal, bin_frequency), out);
}

int ReadCalCurveFile(const std::string& path, CalPoint* curve, const float* bin_frequency, MessageList* out) {
    // Only a regular file is opened: opening a named pipe or a device could wait for ever.
    if (RawFileSize(path) < 0) {
        AddWarning(out, path);
        return 0;
    }
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        AddWarning(out, path);
        return 0;
    }
    // Line by line: only as much of the file is held as one line, and reading stops after the last row.
    std::vector<CalPoint> rows(kCurveTextLines, CalPoint{0.0f, 0.0f});
    int row = 0;
    int line_number = 0;
    std::string line_text;
    while (row < kCurveTextLines && std::getline(f, line_text)) {
        const std::string_view line(line_text);
        ++line_number;

        std::string_view tokens[3];
        int count = 0;
        std::size_t i = 0;
        while (i < line.size() && count < 3) {
            while (i < line.size() && IsSeparator(line[i])) ++i;
            const std::size_t start = i;
            while (i < line.size() && !IsSeparator(line[i])) ++i;
            if (i > start) tokens[count++] = line.substr(start, i - start);
        }
        float values[3];
        if (count == 0 || !ParseNumber(tokens[0], &values[0])) continue;   // blank, header or comment line
        if (count < 3) {
            AddWarning(out, LineMessage(line_number, "frequency, SPL and phase expected"));
            return 0;
        }
        for (int k = 1; k < 3; ++k) {
            if (!ParseNumber(tokens[k], &values[k])) {
                AddWarning(out, LineMessage(line_number, "frequency, SPL and phase expected"));
                return 0;
            }
        }
        rows[static_cast<std::size_t>(row++)] = CalPoint{values[1], values[2]};
    }
    if (f.bad()) {
        AddWarning(out, path);
        return 0;
    }
    if (row == 0) {
        AddWarning(out, std::string(kCalFileNotRecognized) + "\nNo frequency, SPL and phase lines found");
        return 0;
    }

    for (auto& p : rows) {
        if (p.phase_deg < -kCalPhaseLimit) p.phase_deg = -kCalPhaseClamp;
        if (p.phase_deg > kCalPhaseLimit) p.phase_deg = kCalPhaseClamp;
    }
    rows[kCurveTextLines - 1] = rows[kCurveTextLines - 2];
    for (int i = 0; i < kCurveTextLines; ++i) {
        if (bin_frequency[i] > kCalNormaliseAboveHz) {
            const float reference = rows[static_cast<std::size_t>(i)].spl_db;
            for (auto& p : rows) p.spl_db -= reference;
            break;
        }
    }
    // Each value fits a float, but a difference of two may not: such a curve would be stamped as infinite
    // into every driver file saved with it.
    for (const CalPoint& p : rows) {
        if (!std::isfinite(p.spl_db)) {
            AddWarning(out, std::string(kCalFileNotRecognized) + "\nSPL values out of range");
            return 0;
        }
    }
    std::memcpy(curve, rows.data(), rows.size() * sizeof(CalPoint));
    return 1;
}

FilePickerDescription SplExportPicker() {
    FilePickerDescription s;
    s.filters = {{"Export SPL/Phase (*.TRG)", "*.trg"}, {"Export SPL/Phase (*.TXT)", "*.txt"}, {"All Files (*.*)", "*.*"}};
    s.default_extension = "*.*";
    s.title_chars = 256;
    s.for_save = true;
    s.overwrite_prompt = true;
    return s;
}

FilePickerDescription CalImportPicker() {
    FilePickerDescription s;
    s.filters = {{"Target Files (*.TRG)", "*.trg"}, {"Text Files (*.TXT)", "*.txt"}, {"All Files (*.*)", "*.*"}};
    s.default_extension = "*.*";
    s.create_prompt = true;
    s.hide_read_only = true;
    return s;
}
