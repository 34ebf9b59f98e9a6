#pragma once
// Impulse responses made elsewhere: a WAV file (mono, or one channel of a stereo file) or a text file of
// sample values becomes the measured channel, and a single pulse the reference channel, so that Calculate SPL
// and the impulse window work on the pair as after a measurement. No deconvolution follows.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/messages.h"

inline constexpr int kWavImportStart = 50;           // the WAV samples start at this entry
inline constexpr int kWavReferencePulseIndex = 51;
inline constexpr float kWavReferencePulse = 32000.0f;
inline constexpr int kTextReferencePulseIndex = 52;
inline constexpr float kTextReferencePulse = 32500.0f;
inline constexpr double kTextImportScale = 400000.0;
inline constexpr int kTextImportLimit = 256000;       // values read from a text file at most
inline constexpr int kTextLevelSpan = 527000;         // entries the text import's level peaks look at
inline constexpr float kImportMeterScale = 0.001f;    // the level meters after an import

inline constexpr const char* kWavOpenFailed = "Failed to open WAV file 3";
inline constexpr const char* kWavNotWave = "Not a WAV-audio file";
inline constexpr const char* kWavNoFmt = "Unable to locate 'fmt' chunk";
inline constexpr const char* kWavFmtReadError = "Error reading 'fmt' chunk";
inline constexpr const char* kWavNoData = "Unable to locate 'data' chunk";
inline constexpr const char* kWavDataAllocation = "Unable to Allocate 'data' chunk";
inline constexpr const char* kWavUnsupported = "Only 16 or 24 Bit PCM WAV Files With 1 or 2 Channels Can Be Imported";
inline constexpr const char* kImportLeftQuestion = "Importing LEFT Channel? [Press YES]\nImporting RIGHT Channel [Press NO]";
inline constexpr const char* kTextImportCaption = "Warning !! Importing Impulse Response TXT File";
inline constexpr const char* kTextNotRecognized = "This Impulse Response File is NOT Recognized";
inline constexpr const char* kTextNoValues = "It Holds No Value";
inline constexpr const char* kWavImportCut =
    "This WAV File Holds %lld Samples Of The Channel\nOnly The First %lld Were Imported";

// A WAV file read as far as the import needs it.
struct ImpulseWav {
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint16_t bits_per_sample = 0;
    std::vector<uint8_t> data;  // the "data" chunk as read
};

// Reads the RIFF "WAVE" file: its "fmt " and "data" chunks. Each failure adds its message (caption "HV Message",
// OK; no icon, except the warning of a file that does not open) and returns false. On success adds the notice
// "WAV File %d Bytes, Channels = %d, Bits Per Channel = %d, Sampling = %d " (no icon) and returns true; a format
// the import cannot decode (not PCM, not 16 or 24 bits, not 1 or 2 channels) is refused after the notice.
bool ReadImpulseWav(const std::string& path, ImpulseWav* wav, MessageList* out);

// The question asked for a stereo file: Yes imports the left channel, No the right one.
HvMessage ImportLeftChannelMessage();

// What an import leaves besides the two channels.
struct ImpulseImport {
    int32_t samples = 0;      // values imported into the measured channel
    float ref_level = 0.0f;   // RefLevelPeak
    float in_level = 0.0f;    // InLevelPeak
};

// The chosen channel (0 left, 1 right; a mono file has only 0) of a file ReadImpulseWav accepted, into
// in[50 ..] on the 16-bit scale (24-bit samples divided by 256), as far as `capacity` entries reach (a longer
// channel is cut there, and a warning says how much was left out); the reference pulse 32000 at ref[51]. Both
// channels are expected cleared over `capacity` entries.
ImpulseImport ImportImpulseWav(const ImpulseWav& wav, int channel, float* ref, float* in, std::size_t capacity,
                               MessageList* out = nullptr);

// A text file: every run of the characters 0-9 - . + E e is one value, scaled by 400,000 into in[0 ..], at most
// 256,000 of them; the reference pulse 32500 at ref[52]. Lines that start with anything else (headers,
// comments) are passed over; a run on a value line that is not a number, or a "nan" or "inf" anywhere a value
// could stand, refuses the file with a message that names the line, and nothing is imported; so does a file
// without any value. On success adds the notice "File=%d bytes, Data=%d points".
// Returns false when nothing was imported (a file that does not open: the path under "Unable To Open").
bool ImportImpulseText(const std::string& path, float* ref, float* in, std::size_t capacity, ImpulseImport* result,
                       MessageList* out);
