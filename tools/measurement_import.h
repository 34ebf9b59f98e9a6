#pragma once
// Measurement text import: frequency-response text files of other measuring systems (IMP, LMS and LAUD,
// CLIO and MLSSA) into the SPL and phase curves of a driver record, on the logarithmic and the linear grid.
// A file is parsed once into rows of numbers, then the rows are averaged into the bins of each grid.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/driver_data.h"
#include "app/file_picker.h"
#include "app/messages.h"

// The three converters share one design and differ only in these data.
enum class ImportMember { kImp = 0, kLms = 1, kClio = 2 };

struct ImportMemberInfo {
    const char* dialog_template;     // "ImportImpBox", ...
    const char* caption;             // "IMP File Converter", ...
    const char* statistics_group;    // "IMP File Statistics", ...
    const char* length_format;       // file length in control 9000
    const char* amplitude_format;    // control 9002
    const char* phase_format;        // control 9003
    bool checks_efficiency;          // only IMP: the efficiency must be above 0 dB
};
const ImportMemberInfo& ImportMemberOf(ImportMember member);
// The member's open-file picker: its filters in order, default extension "*.*", create prompt, no read-only box.
FilePickerDescription ImportFilePicker(ImportMember member);

inline constexpr const char* kEnterReferenceEfficiency = "Enter Reference Efficiency";
inline constexpr const char* kImportEfficiencyCaption = "HV MEssage";
inline constexpr long long kImportFileLimit = 2147483647LL;  // lengths are signed 32-bit: 2 GB and more refused
inline constexpr int kMaxImportColumns = 32;
inline constexpr int kMaxImportToken = 63;                    // characters of one number
inline constexpr int kImportColumnBoxes = 5;

// Reads the whole file. Returns 1 with the bytes in `image`; 0 with a message (the path when it cannot be
// opened or read; the path and "Is Too Large To Import" from 2 GB on, before anything is read; "No Data Rows
// From Line 1" for an empty file).
int LoadImportFile(const std::string& path, std::vector<char>* image, MessageList* messages);

// The column settings of the dialog (kept in the preferences record).
struct ImportColumns {
    uint32_t include[kImportColumnBoxes] = {1, 1, 1, 0, 0};  // "Include Column" 1..5
    int32_t column_count = 3;                                // "Total Number of Columns"
    int32_t erase_lines = 0;                                 // "Erase Lines"
};

// Which token of a row holds what (-1: not included), from the first ticked box among the first three.
struct ImportColumnMap {
    int frequency = -1, amplitude = -1, phase = -1;
};
ImportColumnMap MapImportColumns(const ImportColumns& columns);

// Byte offset where the data start after skipping `erase_lines` lines. A line is 1..128 characters ended by
// CR LF, by LF alone or by CR alone (classic Mac text); the search for the end starts one character into the
// line, so an empty line and the line after it count as one. A line with no end within reach stops the
// skipping at its start.
std::size_t ImportDataStart(const char* data, std::size_t size, int erase_lines);

// The dialog's preview: up to 21 lines from the start of the file, each as drawn (at most 128 characters).
struct ImportPreview {
    std::vector<std::string> lines;
    bool line_cut = false;   // the last line had no end within 128 characters: "[.......]" on its row
    bool more = false;       // 21 lines shown and the file goes on: "[.......]" below them
};
ImportPreview MakeImportPreview(const char* data, std::size_t size);

struct ImportRow {
    float frequency, amplitude, phase;
};

// Parses the data into rows, one per line (ended as above, a CR LF counting as one end), in file order. A
// number is a run of the characters 0-9 + - . E e; every other byte separates numbers. A line that holds
// numbers holds exactly `column_count` of them (the last line may end without a line end); lines holding
// neither numbers nor letters are passed over. Columns that are not included are 0. Returns 1, or 0 with a
// message: settings that name a column the rows do not have; or, naming the line, a zero byte (text that is
// not plain 8-bit), a line with another count of numbers (a decimal comma, a missing column, a row cut short)
// or with words in place of numbers, an included number that is not one as a whole ("-", "e"), too long or
// beyond float range, a frequency that does not rise above the row before; or no data row at all.
int ParseImportRows(const char* data, std::size_t size, std::size_t start, const ImportColumns& columns,
                    std::vector<ImportRow>* rows, MessageList* messages);

// Corrections added to every bin: efficiency and scale in dB, delay in ms.
struct ImportCorrections {
    double efficiency_db = 0.0, scale_db = 0.0, delay_ms = 0.0;
};

// Bins b = 0 .. bins-1 with edges lo = edges[b], hi = edges[b+1]. A bin averages the amplitudes of the rows
// with lo <= f <= hi that come before the first row above hi, in file order, and takes the phase of the last
// of them (plus the delay at lo, wrapped); an empty bin is 1.0 dB and 0 degrees; SPL is at least 1.0 dB.
void BinImportRows(const ImportRow* rows, std::size_t count, const float* edges, int bins,
                   const ImportCorrections& corrections, float* spl, float* phase);
// The same, scanning the rows from the first for every bin: the reference for BinImportRows.
void BinImportRowsLiteral(const ImportRow* rows, std::size_t count, const float* edges, int bins,
                          const ImportCorrections& corrections, float* spl, float* phase);

// What the "Amplitude" button converts with.
struct ImportConversion {
    ImportMember member = ImportMember::kImp;
    ImportColumns columns;
    const float* log_table = nullptr;  // LogFrequencyTable, 3100 points
    const float* bin_table = nullptr;  // BinFrequencyTable, 131072 points
    int block_frames = 0;              // N: the linear curves are filled up to bin 8N
};

// The conversion: corrections from the record's efficiency, delay and scale texts, rows parsed once, then
// both grids binned. On success the four curves are overwritten whole (log entry 3099 and linear entries
// above 8N are 1.0 dB and 0 degrees), the impedance flag is 0 and the result is 1. On a refusal nothing of
// the record changes, the messages say why and the result is 0 (the dialog stays open).
int ConvertImportFile(const char* data, std::size_t size, const ImportConversion& conversion, HV_Driver_Data* driver,
                      MessageList* messages);
