#include "panels/wav_file.h"

#include <cctype>
#include <cstring>
#include <new>

#include "app/raw_file.h"

namespace {

constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kFormFieldBytes = 4;
constexpr uint32_t kFmtFieldsBytes = 16;  // channels at 2, rate at 4, bits at 14
constexpr uint32_t kSpareBytes = 2;

struct Chunk {
    uint64_t data = 0;  // offset of the chunk's first data byte
    uint32_t size = 0;  // declared size
};

uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint32_t Le16(const unsigned char* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }

bool ReadAt(std::FILE* f, uint64_t offset, void* dest, std::size_t bytes) {
    return SeekFile(f, offset) && std::fread(dest, 1, bytes, f) == bytes;
}

uint64_t FileLength(std::FILE* f) {
#ifdef _WIN32
    if (_fseeki64(f, 0, SEEK_END) != 0) return 0;
    const long long n = _ftelli64(f);
#else
    if (fseeko(f, 0, SEEK_END) != 0) return 0;
    const long long n = ftello(f);
#endif
    return n < 0 ? 0 : static_cast<uint64_t>(n);
}

// The first chunk `id` (with form type `form` when one is given) among the chunks from `begin` to `end`,
// stepping over the others and their pad bytes. A chunk that does not fit before `end` ends the search;
// the chunk that is found may declare more than the space left (its reader decides).
bool FindChunk(std::FILE* f, uint64_t begin, uint64_t end, const char* id, const char* form, Chunk* found) {
    uint64_t at = begin;
    while (at + kChunkHeaderBytes <= end) {
        unsigned char header[kChunkHeaderBytes];
        if (!ReadAt(f, at, header, sizeof header)) return false;
        const uint32_t size = Le32(header + 4);
        const uint64_t data = at + kChunkHeaderBytes;
        if (std::memcmp(header, id, 4) == 0) {
            if (!form) {
                *found = {data, size};
                return true;
            }
            unsigned char type[kFormFieldBytes];
            if (size >= kFormFieldBytes && data + kFormFieldBytes <= end && ReadAt(f, data, type, sizeof type) &&
                std::memcmp(type, form, 4) == 0) {
                *found = {data, size};
                return true;
            }
        }
        at = data + size + (size & 1u);
    }
    return false;
}

WavCheck Refuse(MessageList* out, WavCheck why, const char* text) {
    if (out) out->push_back(WavHeaderMessage(text));
    return why;
}

WavCheck RefuseValue(MessageList* out, WavCheck why, const char* format, uint32_t value) {
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<int>(value));
    return Refuse(out, why, text);
}

}  // namespace

HvMessage WavHeaderMessage(std::string text) {
    HvMessage m{std::move(text)};
    m.icon = MessageIcon::None;
    return m;
}

bool SeekFile(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool HasWavExtension(const std::string& path) {
    const std::size_t n = path.size();
    if (n < 3) return false;
    return std::tolower(static_cast<unsigned char>(path[n - 3])) == 'w' &&
           std::tolower(static_cast<unsigned char>(path[n - 2])) == 'a' &&
           std::tolower(static_cast<unsigned char>(path[n - 1])) == 'v';
}

WavCheck InspectWavHeader(std::FILE* f, WavFileInfo* info, MessageList* out) {
    WavFileInfo w;
    w.FileBytes = FileLength(f);

    Chunk riff;
    if (!FindChunk(f, 0, w.FileBytes, "RIFF", "WAVE", &riff)) return Refuse(out, WavCheck::kNotWave, kNotWaveAudio);
    const uint64_t form_end = riff.data + riff.size < w.FileBytes ? riff.data + riff.size : w.FileBytes;

    Chunk fmt;
    if (!FindChunk(f, riff.data + kFormFieldBytes, form_end, "fmt ", nullptr, &fmt))
        return Refuse(out, WavCheck::kNoFmt, kNoFmtChunk);
    // The chunk is read whole; one that is too short to hold the fields, or that claims more than the file
    // holds, cannot be read.
    if (fmt.size < kFmtFieldsBytes || fmt.data + fmt.size > w.FileBytes)
        return Refuse(out, WavCheck::kFmtUnreadable, kFmtReadError);
    unsigned char fields[kFmtFieldsBytes];
    if (!ReadAt(f, fmt.data, fields, sizeof fields)) return Refuse(out, WavCheck::kFmtUnreadable, kFmtReadError);
    w.Channels = Le16(fields + 2);
    w.SampleRate = Le32(fields + 4);
    w.BitsPerSample = Le16(fields + 14);

    // Only the formats the render thread converts are taken: three rates, two or six channels, 16 or 24 bits,
    // six channels only at 24 bits.
    if (w.SampleRate != 44100 && w.SampleRate != 48000 && w.SampleRate != 96000)
        return RefuseValue(out, WavCheck::kRate, "Sampling = %d", w.SampleRate);
    if (w.Channels != 2 && w.Channels != 6) return RefuseValue(out, WavCheck::kChannels, "Channels = %d", w.Channels);
    if ((w.BitsPerSample != 16 && w.BitsPerSample != 24) || (w.Channels == 6 && w.BitsPerSample != 24))
        return RefuseValue(out, WavCheck::kBits, "Bits Per Channel = %d", w.BitsPerSample);

    Chunk data;
    const uint64_t after_fmt = fmt.data + fmt.size + (fmt.size & 1u);
    if (!FindChunk(f, after_fmt, form_end, "data", nullptr, &data)) return Refuse(out, WavCheck::kNoData, kNoDataChunk);
    w.DataOffset = data.data;
    w.DataDeclared = data.size;
    const uint64_t room = w.FileBytes > data.data ? w.FileBytes - data.data : 0;
    w.DataAvailable = data.size < room ? data.size : room;
    // Refused here, so that Add Song and the playlist's check turn it away before it is played.
    if (w.DataAvailable > kLargestSongBytes) return Refuse(out, WavCheck::kTooLarge, kNoDataMemory);
    *info = w;
    return WavCheck::kOk;
}

WavSettings SettingsOfWav(const WavFileInfo& info) {
    WavSettings s;
    s.HV_Sampling = info.SampleRate == 44100 ? 0 : info.SampleRate == 48000 ? 1 : 2;
    s.InputMode = info.Channels == 6 ? 3 : 0;
    s.WavIs24Bit = info.BitsPerSample == 24 ? 1 : 0;
    return s;
}

WavCheck ReadWavSamples(std::FILE* f, const WavFileInfo& info, WavSong* song, MessageList* out) {
    song->Release();
    // What the file holds is read, whatever size the chunk declares.
    const uint64_t want = info.DataAvailable;
    if (want > kLargestSongBytes) return Refuse(out, WavCheck::kTooLarge, kNoDataMemory);
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[want + kSpareBytes]);
    if (!data) return Refuse(out, WavCheck::kTooLarge, kNoDataMemory);
    uint64_t done = 0;
    if (SeekFile(f, info.DataOffset)) {
        while (done < want) {
            const std::size_t n = std::fread(data.get() + done, 1, static_cast<std::size_t>(want - done), f);
            if (n == 0) break;
            done += n;
        }
    }
    data[done] = 0;
    data[done + 1] = 0;
    song->Data = std::move(data);
    song->Size = done;
    song->Channels = info.Channels;
    song->SampleRate = info.SampleRate;
    song->BitsPerSample = info.BitsPerSample;
    return WavCheck::kOk;
}

WavCheck LoadWavSong(const std::string& path, WavFileInfo* info, WavSong* song, MessageList* out, bool* opened) {
    std::FILE* f = OpenRegularFile(path);
    *opened = f != nullptr;
    if (!f) return WavCheck::kNotWave;
    WavCheck check = InspectWavHeader(f, info, out);
    if (check == WavCheck::kOk) check = ReadWavSamples(f, *info, song, out);
    std::fclose(f);
    return check;
}
