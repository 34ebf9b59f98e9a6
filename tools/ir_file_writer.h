#pragma once
// Impulse-response files: an output's impulse response as the last preview build left it, written as raw
// text, as a CSV list of coefficients for an external DSP, or as 24-bit PCM WAV (mono, or stereo with the
// same or a second output's data). The family written follows the end of the file name.
#include <cstdint>
#include <string>

#include "app/file_picker.h"
#include "app/messages.h"

enum IrFileFormat : int32_t {
    kIrRawText = 0,
    kIrCsvCoefficients = 1,
    kIrWavMono = 2,
    kIrWavStereoSame = 3,
    kIrWavStereoDifferent = 4,
};
inline constexpr int kIrFileFormatCount = 5;
inline constexpr const char* kIrFileFormatNames[kIrFileFormatCount] = {
    "Raw Impulse Response (HV format)", "miniDSP ASCII Format (CSV)", "WAV 24bit Mono", "WAV 24bit Stereo, Same Data",
    "WAV 24bit Stereo, Different Data"};

inline constexpr const char* kIrExceedsWavRange = "Impulse Response exceeds 24bit Dynamic Range of WAV File";
inline constexpr const char* kIrWavOpenFailed = "Failed To Open WAV File";
inline constexpr const char* kIrWavNameNeeded = "WAV Formats Need A File Name Ending In .wav";
inline constexpr const char* kIrTextNameNeeded = "Text Formats Need A File Name Ending In .txt or .csv";

inline constexpr float kIrWavScale = 8388000.0f;  // full scale of the 24-bit samples (not 8388607)
inline constexpr int32_t kIrWavLimit = 8388500;
inline constexpr int kIrWavHeaderBytes = 46;

// The save picker: "Text Files (*.txt)", "WAV Files (*.wav)", "All Files (*.*)", overwrite prompt, default
// extension "*.*", a 2048-character name and a 256-character title.
FilePickerDescription IrSaveFilePicker();

struct IrWriteRequest {
    int32_t format = kIrRawText;     // IrFileFormat
    const float* left = nullptr;     // OutputImpulseResponse of IrOutput: interleaved, real parts are the samples
    const float* right = nullptr;    // OutputImpulseResponse of IrSecondOutput (format 4 only)
    int N = 0;                       // BlockFrames: 8N samples
    uint32_t SplOnlyEq = 0;          // with WideWindow, the window the response was built with: text files
    uint32_t WideWindow = 0;         // hold every tap that plays (ImpulseWindowPoints), WAV files always 8N
    int sample_rate = 48000;
    int left_output = 0;             // IrOutput and IrSecondOutput (0-based), named when a channel is silent
    int right_output = 0;
};

// "Output Port %d Has No Impulse Response" of a 0-based output.
std::string IrSilentOutputMessage(int output);

// One 24-bit sample: x times 8388000 in single precision, truncated toward zero. False when the result lies
// beyond +-8388500 or x is not finite.
bool IrWavSample(float x, int32_t* sample);

// The file contents of a request, or false with the message (a sample beyond the 24-bit bound).
bool FormatIrText(const IrWriteRequest& request, std::string* text);
bool FormatIrWav(const IrWriteRequest& request, std::string* bytes, MessageList* messages);

// Writes the file through a temporary beside it. Names ending in "wav" (any case, no dot needed) take the
// WAV formats; names ending in "txt" or "csv" the text formats; any other pairing is reported and writes
// nothing. A channel every written sample of which is 0 (an output that was never built, or has no
// response) is refused with its output named: a filter file that silences a driver is no success. Returns
// 1 when written; 0 with a message (the file name itself when a text file cannot be written, "Failed To
// Open WAV File" for a WAV file).
int WriteImpulseResponseFile(const std::string& path, const IrWriteRequest& request, MessageList* messages);
