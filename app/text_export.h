#pragma once
// Curve text files (*.TRG, *.TXT): one line per bin of the linear frequency grid, 131,072 lines of
// "%.2f    %.2f    %.2f  " + CR LF holding the frequency in Hz, the SPL in dB and the phase in degrees.
#include <cstdint>
#include <string>

#include "app/driver_data.h"
#include "app/file_picker.h"
#include "app/messages.h"

inline constexpr int kCurveTextLines = kLinGridPoints;
// 180 / pi: the text export converts its phase exactly (the program's curves elsewhere use 57.288).
inline constexpr double kExactDegreesPerRadian = 57.29577951308232;
inline constexpr float kCalNormaliseAboveHz = 1000.0f;
inline constexpr float kCalPhaseLimit = 180.0f;
inline constexpr float kCalPhaseClamp = 179.9f;

inline constexpr const char* kSelectOneCalFile = "Please Select Either Mike File Or Preamp File For Saving";
inline constexpr const char* kCalFileNotRecognized = "This Calibration File is NOT Recognized";

// One line of the file, CR LF included.
std::string FormatCurveTextLine(float frequency_hz, float spl_db, float phase_deg);

// The whole driver-response text: for each bin, (a, b) as the real and imaginary parts of the response,
// SPL = 10 log10(a^2 + b^2 + 1e-16) and phase = -atan2(-b, a) in degrees (a of exactly 0 taken as 1e-12),
// both computed in double and rounded to single precision before printing.
std::string FormatSplPhaseText(const float* a, const float* b, const float* bin_frequency);

// "Export SPL/Phase At 0.0dB": writes the driver's linear-grid HBT response (real and imaginary parts), so a
// flat driver exports 0.00 dB and 0.00 degrees everywhere. `bin_frequency` is BinFrequencyTable (131,072
// values). Returns 1 when written, 0 with the path as the message (the previous file is then kept).
int WriteSplPhaseText(const std::string& path, const HV_Driver_Data& driver, const float* bin_frequency,
                      MessageList* out);

// "Export Cal. Files": writes the driver's microphone calibration copy when `mike_cal_use` is 1, its preamp
// copy when `preamp_cal_use` is 1, values as stored. Both or neither set is refused with
// kSelectOneCalFile before any file is created. Returns 1 when written, 0 otherwise.
int WriteCalCurveText(const std::string& path, const HV_Driver_Data& driver, uint32_t mike_cal_use,
                      uint32_t preamp_cal_use, const float* bin_frequency, MessageList* out);

// Reads a calibration curve into `curve` (MikeCalCurve or PreampCalCurve, 131,072 points). The text is read
// as numbers, line by line: a line whose first word is not a number (a header or a comment) is skipped; a
// line that starts with a number must hold at least three (frequency, SPL, phase; exponents with e or E,
// words after the third ignored), and row r goes to bin r whatever its frequency. Rows beyond 131,072 are
// ignored; missing rows read as 0. Phases beyond +-180 become +-179.9, the last entry takes the one before
// it, and the SPL is shifted to 0 dB at the first bin above 1 kHz. A file that cannot be opened is reported
// by its path; a malformed line, a value out of float range or a file without a single row is reported
// with kCalFileNotRecognized and the line. In every refusal `curve` is left untouched. Returns 1 or 0.
int ReadCalCurveFile(const std::string& path, CalPoint* curve, const float* bin_frequency, MessageList* out);

inline int ReadMikeCalFile(const std::string& path, CalPoint* mike_cal_curve, const float* bin_frequency,
                           MessageList* out) {
    return ReadCalCurveFile(path, mike_cal_curve, bin_frequency, out);
}
inline int ReadPreampCalFile(const std::string& path, CalPoint* preamp_cal_curve, const float* bin_frequency,
                             MessageList* out) {
    return ReadCalCurveFile(path, preamp_cal_curve, bin_frequency, out);
}

// Picker descriptions: the export record (title buffer 256, overwrite prompt) shared by the driver and the
// calibration exports, and the microphone/preamp import records (create prompt, hide read-only).
FilePickerDescription SplExportPicker();
FilePickerDescription CalImportPicker();
