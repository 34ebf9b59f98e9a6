#include "tools/measurement_import.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "app/raw_file.h"
#include "tools/driver_fields.h"

namespace {

constexpr int kLineReach = 128;       // characters of a line that the skipping and the preview look at
constexpr int kPreviewLines = 21;
constexpr double kWrapDivisor = 57.2958;    // degrees to radians before the wrap
constexpr double kWrapDegrees = 57.288;     // radians back to degrees, as the program writes it
constexpr double kDegreesPerMsHz = 0.001 * 360.0;
constexpr float kGapSpl = 1.0f;

const ImportMemberInfo kMembers[] = {
    {"ImportImpBox", "IMP File Converter", "IMP File Statistics", "%ld", "%.1f", "%.1f", true},
    {"ImportLmsBox", "LMS & LAUD File Converter", "LMS / LAUD File Statistics", "%ld", "%.2f", "%.2f", false},
    {"ImportClioBox", "CLIO/MLSSA File Converter", "CLIO/MLSSA File Statistics", "%d", "%.2f", "%.2f", false},
};

bool IsNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '+' || c == 'E' || c == 'e';
}

// Line ends: CR LF, LF alone or CR alone (classic Mac text). The size of the end starting at `i`: 2 for CR LF,
// 1 for a lone CR or LF, 0 when d[i] ends no line. An LF after a CR belongs to that CR's end.
std::size_t LineEndAt(const char* d, std::size_t size, std::size_t i) {
    if (d[i] == '\r') return i + 1 < size && d[i + 1] == '\n' ? 2 : 1;
    if (d[i] == '\n') return i > 0 && d[i - 1] == '\r' ? 0 : 1;
    return 0;
}

// The line ends in [from, to), each CR LF counted once. Line numbers are 64-bit: a file of 2 GB of line
// ends has more lines than an int counts.
long long CountLineEnds(const char* d, std::size_t size, std::size_t from, std::size_t to) {
    long long n = 0;
    for (std::size_t i = from; i < to; ++i) n += LineEndAt(d, size, i) != 0;
    return n;
}

// Where the line starting at `p` ends: the offset of the first byte of the next line, or 0 when the line has
// no end within reach. The end (CR LF, LF or CR) starts at 1..128.
std::size_t NextLine(const char* d, std::size_t size, std::size_t p) {
    for (std::size_t m = 1; m <= kLineReach && p + m < size; ++m)
        if (const std::size_t end = LineEndAt(d, size, p + m)) return p + m + end;
    return 0;
}

std::string LineMessage(const char* what, long long line) {
    char text[96];
    std::snprintf(text, sizeof text, "%s In Line %lld", what, line);
    return text;
}

std::string NoDataRows(long long line) {
    char text[64];
    std::snprintf(text, sizeof text, "No Data Rows From Line %lld", line);
    return text;
}

double WrapPhase(double degrees) {
    double c = std::cos(degrees / kWrapDivisor);
    const double s = std::sin(degrees / kWrapDivisor);
    if (c == 0.0) c = 1e-9;
    return std::atan2(s, c) * kWrapDegrees;
}

void WriteBin(int count, double sum, float last_phase, float lo, const ImportCorrections& c, float* spl,
              float* phase) {
    double level = kGapSpl, angle = 0.0;
    if (count > 0) {
        level = sum / count + c.efficiency_db + c.scale_db;
        angle = WrapPhase(last_phase + kDegreesPerMsHz * c.delay_ms * lo);
    }
    if (level < kGapSpl) level = kGapSpl;
    if (level > std::numeric_limits<float>::max()) level = std::numeric_limits<float>::max();
    *spl = static_cast<float>(level);
    *phase = static_cast<float>(angle);
}

void ReadText(char* field, double* out) { *out = FieldNumber(field); }

}  // namespace

const ImportMemberInfo& ImportMemberOf(ImportMember member) {
    const int i = static_cast<int>(member);
    return kMembers[i >= 0 && i < 3 ? i : 0];
}

FilePickerDescription ImportFilePicker(ImportMember member) {
    FilePickerDescription p;
    switch (member) {
        case ImportMember::kImp:
            p.filters = {{"IMP Files (*.FRD)", "*.frd"},
                         {"IMP Files (*.IMP)", "*.imp"},
                         {"IMP Files (*.ZMA)", "*.zma"},
                         {"TRG Files (*.TRG)", "*.trg"},
                         {"All Files (*.FRD;*.IMP;*.ZMA;*.TRG)", "*.frd;*.imp;*.zma;*.trg"}};
            break;
        case ImportMember::kLms:
            p.filters = {{"LMS Files (*.TXT)", "*.txt"},
                         {"LMS Files (*.DAT)", "*.dat"},
                         {"LAUD Files (*.FRD)", "*.frd"},
                         {"LAUD Files (*.ZMA)", "*.zma"},
                         {"All Files (*.TXT;*.DAT;*.FRD;*.ZMA)", "*.txt;*.dat;*.frd;*.zma"}};
            break;
        case ImportMember::kClio: p.filters = {{"CLIO Files (*.TXT)", "*.txt"}, {"All Files (*.*)", "*.*"}}; break;
    }
    p.default_extension = "*.*";
    p.create_prompt = true;
    p.hide_read_only = true;
    return p;
}

int LoadImportFile(const std::string& path, std::vector<char>* image, MessageList* messages) {
    // Only a regular file is opened: opening a named pipe or a device could wait for ever.
    std::FILE* f = OpenRegularFile(path);
    if (!f) {
        AddWarning(messages, path);
        return 0;
    }
    long long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) {
#ifdef _WIN32
        length = _ftelli64(f);
#else
        length = static_cast<long long>(ftello(f));
#endif
    }
    if (length > kImportFileLimit) {
        std::fclose(f);
        AddWarning(messages, path + " Is Too Large To Import");
        return 0;
    }
    bool ok = length >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    std::vector<char> bytes;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(length));
        ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    std::fclose(f);
    if (!ok) {
        AddWarning(messages, path);
        return 0;
    }
    if (bytes.empty()) {  // nothing to show or convert (and an empty image has no bytes to point at)
        AddWarning(messages, NoDataRows(1));
        return 0;
    }
    *image = std::move(bytes);
    return 1;
}

ImportColumnMap MapImportColumns(const ImportColumns& c) {
    ImportColumnMap m;
    for (int first = 0; first < 3; ++first) {
        if (c.include[first] != 1) continue;
        m.frequency = first;
        if (c.include[first + 1] == 1) m.amplitude = first + 1;
        if (c.include[first + 2] == 1) m.phase = first + 2;
        break;
    }
    return m;
}

std::size_t ImportDataStart(const char* data, std::size_t size, int erase_lines) {
    std::size_t p = 0;
    for (int line = 0; line < erase_lines; ++line) {
        const std::size_t next = NextLine(data, size, p);
        if (next == 0) break;
        p = next;
    }
    return p;
}

ImportPreview MakeImportPreview(const char* data, std::size_t size) {
    ImportPreview v;
    std::size_t pos = 0;
    for (int r = 0; r < kPreviewLines && pos < size; ++r) {
        std::string line;
        bool ended = false;
        while (pos < size) {
            const char c = data[pos++];
            if (c == '\n' || (c == '\r' && (pos == size || data[pos] != '\n'))) {  // LF or CR alone
                ended = true;
                break;
            }
            line.push_back(c);
            if (pos + 1 < size && data[pos] == '\r' && data[pos + 1] == '\n') {
                pos += 2;
                ended = true;
                break;
            }
            if (static_cast<int>(line.size()) >= kLineReach) break;
        }
        v.lines.push_back(line);
        if (!ended && pos < size) {
            v.line_cut = true;
            return v;
        }
    }
    v.more = static_cast<int>(v.lines.size()) == kPreviewLines && pos < size;
    return v;
}

int ParseImportRows(const char* data, std::size_t size, std::size_t start, const ImportColumns& columns,
                    std::vector<ImportRow>* rows, MessageList* messages) {
    const int count = columns.column_count;
    if (count < 1 || count > kMaxImportColumns) {
        char text[96];
        std::snprintf(text, sizeof text, "Total Number of Columns Must Be 1 ... %d", kMaxImportColumns);
        AddWarning(messages, text);
        return 0;
    }
    const ImportColumnMap map = MapImportColumns(columns);
    if (map.frequency < 0) {
        AddWarning(messages, "Include A Frequency Column (1, 2 or 3)");
        return 0;
    }
    for (int col : {map.frequency, map.amplitude, map.phase}) {
        if (col >= count) {
            char text[96];
            std::snprintf(text, sizeof text, "Include Column %d Is Beyond The Total Number of Columns", col + 1);
            AddWarning(messages, text);
            return 0;
        }
    }
    rows->clear();
    std::size_t pos = start < size ? start : size;
    if (pos > 0 && pos < size && data[pos - 1] == '\r' && data[pos] == '\n') ++pos;  // not inside a CR LF
    long long line = 1 + CountLineEnds(data, size, 0, pos);
    const long long first_line = line;
    // Text in another encoding (UTF-16 puts a zero byte beside every character) splits into one-digit
    // numbers: refused where the first zero byte stands.
    const void* zero = pos < size ? std::memchr(data + pos, 0, size - pos) : nullptr;
    if (zero) {
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(zero) - data);
        AddWarning(messages, LineMessage("Not Plain Text (Zero Byte)", line + CountLineEnds(data, size, pos, at)));
        return 0;
    }
    // One row per line: a line that holds numbers holds exactly `count` of them, so a decimal comma, a missing
    // column or a row cut short by the end of the file is seen on its own line instead of shifting every
    // later row. Lines without numbers or letters (blank, separators only) are passed over.
    for (; pos < size; ++line) {
        std::size_t end = pos;
        while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
        ImportRow row{0.0f, 0.0f, 0.0f};
        int found = 0;
        bool letters = false;
        while (pos < end) {
            if (!IsNumberChar(data[pos])) {
                letters = letters || std::isalpha(static_cast<unsigned char>(data[pos]));
                ++pos;
                continue;
            }
            const std::size_t begin = pos;
            while (pos < end && IsNumberChar(data[pos])) ++pos;
            const int c = found++;
            float* target = c == map.frequency ? &row.frequency
                            : c == map.amplitude ? &row.amplitude
                            : c == map.phase     ? &row.phase
                                                 : nullptr;
            if (!target) continue;
            const std::size_t length = pos - begin;
            if (length > static_cast<std::size_t>(kMaxImportToken)) {
                AddWarning(messages, LineMessage("Number Too Long", line));
                return 0;
            }
            char token[kMaxImportToken + 1];
            std::memcpy(token, data + begin, length);
            token[length] = '\0';
            char* rest = nullptr;
            const double v = std::strtod(token, &rest);
            if (rest != token + length) {  // "-", "e", "1.2.3": not a number as a whole
                AddWarning(messages, LineMessage("Not A Number", line));
                return 0;
            }
            if (!FitsFloat(v)) {
                AddWarning(messages, LineMessage("Number Out Of Range", line));
                return 0;
            }
            *target = static_cast<float>(v);
        }
        pos = end + 1 + (end + 1 < size && data[end] == '\r' && data[end + 1] == '\n');  // CR LF: one end
        if (found == 0 && !letters) continue;
        if (found == 0) {  // "nan", "inf" and other words where numbers belong
            AddWarning(messages, LineMessage("Not A Number", line));
            return 0;
        }
        if (found != count) {
            char what[64];
            std::snprintf(what, sizeof what, "Expected %d Numbers, Found %d", count, found);
            AddWarning(messages, LineMessage(what, line));
            return 0;
        }
        // Every bin's scan stops at the first row above it: rows must come in rising frequency.
        if (!rows->empty() && !(row.frequency > rows->back().frequency)) {
            AddWarning(messages, LineMessage("Frequency Does Not Rise", line));
            return 0;
        }
        rows->push_back(row);
    }
    if (rows->empty()) {
        AddWarning(messages, NoDataRows(first_line));
        return 0;
    }
    return 1;
}

void BinImportRows(const ImportRow* rows, std::size_t count, const float* edges, int bins,
                   const ImportCorrections& corrections, float* spl, float* phase) {
    if (bins <= 0) return;
    std::vector<int> n(static_cast<std::size_t>(bins), 0);
    std::vector<double> sum(static_cast<std::size_t>(bins), 0.0);
    std::vector<float> last(static_cast<std::size_t>(bins), 0.0f);
    // Row i counts in bin b when lo_b <= f_i and no row up to i lies above hi_b (the scan of bin b stops at
    // the first row above its upper edge): with the running maximum m_i of the frequencies, m_i <= hi_b.
    // Those bins are the few at and after the first bin whose upper edge reaches m_i.
    const float* upper = edges + 1;
    float running_max = -std::numeric_limits<float>::infinity();
    for (std::size_t i = 0; i < count; ++i) {
        const float f = rows[i].frequency;
        running_max = std::max(running_max, f);
        int b = static_cast<int>(std::lower_bound(upper, upper + bins, running_max) - upper);
        for (; b < bins && edges[b] <= f; ++b) {
            ++n[b];
            sum[b] += rows[i].amplitude;
            last[b] = rows[i].phase;
        }
    }
    for (int b = 0; b < bins; ++b) WriteBin(n[b], sum[b], last[b], edges[b], corrections, spl + b, phase + b);
}

void BinImportRowsLiteral(const ImportRow* rows, std::size_t count, const float* edges, int bins,
                          const ImportCorrections& corrections, float* spl, float* phase) {
    for (int b = 0; b < bins; ++b) {
        const float lo = edges[b], hi = edges[b + 1];
        int n = 0;
        double sum = 0.0;
        float last = 0.0f;
        for (std::size_t i = 0; i < count; ++i) {
            const float f = rows[i].frequency;
            if (lo <= f && f <= hi) {
                ++n;
                sum += rows[i].amplitude;
                last = rows[i].phase;
            }
            if (f > hi) break;
        }
        WriteBin(n, sum, last, lo, corrections, spl + b, phase + b);
    }
}

int ConvertImportFile(const char* data, std::size_t size, const ImportConversion& conv, HV_Driver_Data* dr,
                      MessageList* messages) {
    ImportCorrections c;
    ReadText(DriverEfficiencyText(*dr), &c.efficiency_db);
    ReadText(DriverImportDelay(*dr), &c.delay_ms);
    ReadText(DriverImportScale(*dr), &c.scale_db);
    if (ImportMemberOf(conv.member).checks_efficiency && !(c.efficiency_db > 0.0)) {
        HvMessage m = WarningMessage(kEnterReferenceEfficiency);
        m.caption = kImportEfficiencyCaption;
        if (messages) messages->push_back(m);
        return 0;
    }
    if (!FitsFloat(c.efficiency_db) || !FitsFloat(c.delay_ms) || !FitsFloat(c.scale_db)) {
        AddWarning(messages, "Correction Factors Out Of Range");
        return 0;
    }
    const int n = conv.block_frames;
    if (!conv.log_table || !conv.bin_table || n < 1 || 8 * n + 1 >= kLinGridPoints) return 0;

    std::vector<ImportRow> rows;
    const std::size_t start = ImportDataStart(data, size, conv.columns.erase_lines);
    if (!ParseImportRows(data, size, start, conv.columns, &rows, messages)) return 0;

    for (float& v : dr->spl_log) v = kGapSpl;
    for (float& v : dr->phase_log) v = 0.0f;
    BinImportRows(rows.data(), rows.size(), conv.log_table, kLogGridPoints - 1, c, dr->spl_log, dr->phase_log);
    for (float& v : dr->spl_lin) v = kGapSpl;
    for (float& v : dr->phase_lin) v = 0.0f;
    BinImportRows(rows.data(), rows.size(), conv.bin_table, 8 * n + 1, c, dr->spl_lin, dr->phase_lin);
    DriverImpedanceData(*dr) = 0;
    return 1;
}
