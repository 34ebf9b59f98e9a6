#pragma once
// The WAV files the player plays: the RIFF reading (the "WAVE" form, its "fmt " chunk, then its "data"
// chunk), the formats that play and their messages, the settings a song sets, and the reading of a song's
// sample data into memory.
//
// Chunks are found as the multimedia file functions find them: the "WAVE" form among the file's top-level
// chunks, "fmt " among the form's chunks, "data" among the chunks after "fmt " (one before "fmt " is not
// found); a chunk of odd size is followed by a pad byte. A form whose declared size runs past the end of the
// file ends at the end of the file (writers that stream a file often leave that size unset).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "app/messages.h"

// The messages about a WAV file's header carry no icon.
inline constexpr const char* kNotWaveAudio = "Not a WAV-audio file";
inline constexpr const char* kNoFmtChunk = "Unable to locate 'fmt' chunk";
inline constexpr const char* kFmtReadError = "Error reading 'fmt' chunk";
inline constexpr const char* kNoDataChunk = "Unable to locate 'data' chunk";
inline constexpr const char* kNoDataMemory = "Unable to Allocate 'data' chunk";

// The most sample bytes a song may hold: its size and the two spare bytes after the samples are kept in 32
// bits.
inline constexpr uint64_t kLargestSongBytes = UINT32_MAX - 2;

// The header fields the player reads, and where the sample data lies.
struct WavFileInfo {
    uint32_t Channels = 0;        // u16 at offset 2 of the "fmt " chunk
    uint32_t SampleRate = 0;      // u32 at offset 4
    uint32_t BitsPerSample = 0;   // u16 at offset 14
    uint64_t FileBytes = 0;       // the whole file
    uint64_t DataOffset = 0;      // file offset of the first sample byte
    uint32_t DataDeclared = 0;    // the "data" chunk's declared size
    uint64_t DataAvailable = 0;   // of those, the bytes the file holds

    uint32_t BytesPerSample() const { return BitsPerSample / 8; }
    uint32_t FrameBytes() const { return Channels * BytesPerSample(); }
    uint64_t BytesPerSecond() const { return static_cast<uint64_t>(FrameBytes()) * SampleRate; }
};

enum class WavCheck { kOk, kNotWave, kNoFmt, kFmtUnreadable, kRate, kChannels, kBits, kNoData, kTooLarge };

// A header message: caption "HV Message", no icon.
HvMessage WavHeaderMessage(std::string text);

// True when the path ends in the letters "wav" in any mix of case (a path shorter than that does not).
bool HasWavExtension(const std::string& path);

// Reads the header of an open file (binary, any position) and checks it in the order the player reports:
// the "WAVE" form, the "fmt " chunk, reading it (at least the 16 bytes that hold the three fields, and not
// past the end of the file), the sample rate ("Sampling = %d": 44100, 48000 and 96000 play), the channel
// count ("Channels = %d": 2 or 6), the sample width ("Bits Per Channel = %d": 16 or 24 with two channels,
// 24 with six), the "data" chunk, then whether the sample bytes the file holds can be held at all
// (kLargestSongBytes, "Unable to Allocate 'data' chunk"). The first failure adds its message (no icon) and
// is returned; on kOk `info` holds every field. Nothing outside `info` is changed.
WavCheck InspectWavHeader(std::FILE* file, WavFileInfo* info, MessageList* out);

// The settings a playable song sets: HV_Sampling 0, 1, 2 for 44100, 48000, 96000 Hz; InputMode 0 for two
// channels, 3 for six; WavIs24Bit 1 for 24-bit samples, 0 for 16-bit. Only for a header that passed.
struct WavSettings {
    uint32_t HV_Sampling = 1;
    uint32_t InputMode = 0;
    uint32_t WavIs24Bit = 1;
};
WavSettings SettingsOfWav(const WavFileInfo& info);

// A song in memory: its sample bytes as the file holds them, and its format.
struct WavSong {
    std::unique_ptr<uint8_t[]> Data;  // WavDataBuffer; two spare bytes after the samples
    uint64_t Size = 0;                // WavDataSize: the bytes actually read
    uint32_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t BitsPerSample = 0;

    bool Empty() const { return !Data; }
    void Release() {
        Data.reset();
        Size = 0;
    }
};

// Reads the song's sample data (the part of the "data" chunk the file holds, whatever the chunk declares)
// into `song`, whose earlier data is released first. More than kLargestSongBytes, or memory that cannot be
// had, gives "Unable to Allocate 'data' chunk" (no icon) and kTooLarge. A file shorter than the chunk's
// declared size gives what it holds: song->Size is what was read.
WavCheck ReadWavSamples(std::FILE* file, const WavFileInfo& info, WavSong* song, MessageList* out);

// Opens `path`, inspects and reads it as a song (the player's loader without its playlist steps).
// *opened is false when the file could not be opened (no message is added then).
WavCheck LoadWavSong(const std::string& path, WavFileInfo* info, WavSong* song, MessageList* out, bool* opened);

// Seeks to an absolute position of a file of any size. True on success.
bool SeekFile(std::FILE* file, uint64_t offset);
