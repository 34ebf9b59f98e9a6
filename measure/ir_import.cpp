#include "measure/ir_import.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "app/raw_file.h"
#include "measure/res_file.h"

namespace {

constexpr uint16_t kWavFormatPcm = 1;
constexpr uint16_t kWavFormatExtensible = 0xFFFE;
constexpr std::size_t kFmtMinimumBytes = 16;

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The header messages of the WAV import are shown without an icon.
void Plain(MessageList* out, const std::string& text) {
    if (!out) return;
    HvMessage m{text};
    m.icon = MessageIcon::None;
    out->push_back(m);
}

// Walks the chunks of the RIFF body for one id; on success the stream stands at its data and *size holds its
// declared size.
bool FindChunk(std::ifstream& f, long long body_start, long long body_end, const char id[4], uint32_t* size) {
    f.clear();
    f.seekg(body_start);
    long long at = body_start;
    while (at + 8 <= body_end) {
        uint8_t header[8];
        if (!f.read(reinterpret_cast<char*>(header), 8)) return false;
        const uint32_t chunk = Le32(header + 4);
        if (std::memcmp(header, id, 4) == 0) {
            *size = chunk;
            return true;
        }
        at += 8 + static_cast<long long>(chunk) + (chunk & 1u);  // chunks are padded to even sizes
        f.seekg(at);
    }
    return false;
}

bool IsNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '+' || c == 'E' || c == 'e';
}

// The whole run must be a number that fits a float once scaled.
bool ParseValue(std::string_view run, float* value) {
    std::string text(run);
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    const double scaled = v * kTextImportScale;
    if (!(std::fabs(scaled) <= static_cast<double>(FLT_MAX))) return false;
    *value = static_cast<float>(scaled);
    return true;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "nan", "inf" or "infinity" in any case, standing as a word from position i: what another program writes for a
// value that is not a number. Read as a separator it would drop the sample and shift every later one.
bool NonFiniteWordAt(std::string_view line, std::size_t i) {
    if (i >= line.size() || !IsLetter(line[i]) || (i > 0 && (IsLetter(line[i - 1]) || IsNumberChar(line[i - 1]))))
        return false;
    std::size_t end = i;
    std::string word;
    while (end < line.size() && IsLetter(line[end])) word += static_cast<char>(line[end++] | 0x20);
    return word == "nan" || word == "inf" || word == "infinity";
}

bool HoldsNonFiniteWord(std::string_view line, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (NonFiniteWordAt(line, i)) return true;
    return false;
}

std::string LineForMessage(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    constexpr std::size_t kShown = 60;
    std::string s(line.substr(0, kShown));
    if (line.size() > kShown) s += "...";
    return s;
}

float LargestMagnitude(const float* x, std::size_t count) {
    float m = 0.0f;
    for (std::size_t i = 0; i < count; ++i) m = std::fmax(m, std::fabs(x[i]));
    return m;
}

}  // namespace

bool ReadImpulseWav(const std::string& path, ImpulseWav* wav, MessageList* out) {
    // Only a regular file is opened: opening a pipe or a device would wait for a writer that never comes.
    const long long file_size = RawFileSize(path);
    std::ifstream f;
    if (file_size >= 0) f.open(path, std::ios::binary);
    if (file_size < 0 || !f) {
        AddWarning(out, kWavOpenFailed);
        return false;
    }
    uint8_t riff[12];
    if (!f.read(reinterpret_cast<char*>(riff), 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        Plain(out, kWavNotWave);
        return false;
    }
    const long long body_end = std::min<long long>(file_size, 8 + static_cast<long long>(Le32(riff + 4)));

    uint32_t fmt_size = 0;
    if (!FindChunk(f, 12, body_end, "fmt ", &fmt_size)) {
        Plain(out, kWavNoFmt);
        return false;
    }
    // A chunk that claims more than the file holds cannot be read: refused before its buffer is had, so that
    // a damaged size never asks for gigabytes.
    const long long fmt_room = file_size - static_cast<long long>(f.tellg());
    if (fmt_size < kFmtMinimumBytes || static_cast<long long>(fmt_size) > fmt_room) {
        Plain(out, kWavFmtReadError);
        return false;
    }
    std::vector<uint8_t> fmt(fmt_size < 64 ? 64 : fmt_size, 0);
    if (!f.read(reinterpret_cast<char*>(fmt.data()), fmt_size)) {
        Plain(out, kWavFmtReadError);
        return false;
    }
    uint32_t data_size = 0;
    if (!FindChunk(f, 12, body_end, "data", &data_size)) {
        Plain(out, kWavNoData);
        return false;
    }
    // What the file really holds of the chunk; a declared size beyond the end is read as far as it goes.
    const long long data_start = static_cast<long long>(f.tellg());
    const long long available = file_size - data_start;
    const std::size_t bytes = static_cast<std::size_t>(std::max<long long>(0, std::min<long long>(data_size, available)));

    ImpulseWav w;
    w.format_tag = Le16(fmt.data());
    w.channels = Le16(fmt.data() + 2);
    w.sample_rate = Le32(fmt.data() + 4);
    w.bits_per_sample = Le16(fmt.data() + 14);
    try {
        w.data.resize(bytes);
    } catch (const std::bad_alloc&) {
        Plain(out, kWavDataAllocation);
        return false;
    }
    f.read(reinterpret_cast<char*>(w.data.data()), static_cast<std::streamsize>(bytes));
    w.data.resize(static_cast<std::size_t>(f.gcount()));

    char notice[160];
    std::snprintf(notice, sizeof notice, "WAV File %d Bytes, Channels = %d, Bits Per Channel = %d, Sampling = %d ",
                  static_cast<int>(w.data.size()), w.channels, w.bits_per_sample, static_cast<int>(w.sample_rate));
    Plain(out, notice);

    bool pcm = w.format_tag == kWavFormatPcm;
    if (w.format_tag == kWavFormatExtensible && fmt_size >= 26) pcm = Le16(fmt.data() + 24) == kWavFormatPcm;
    const bool decodable = pcm && (w.bits_per_sample == 16 || w.bits_per_sample == 24) &&
                           (w.channels == 1 || w.channels == 2);
    if (!decodable) {
        AddWarning(out, kWavUnsupported);
        return false;
    }
    *wav = std::move(w);
    return true;
}

HvMessage ImportLeftChannelMessage() {
    HvMessage m{kImportLeftQuestion};
    m.buttons = MessageButtons::YesNo;
    return m;
}

ImpulseImport ImportImpulseWav(const ImpulseWav& wav, int channel, float* ref, float* in, std::size_t capacity,
                               MessageList* out) {
    ImpulseImport r;
    const std::size_t width = wav.bits_per_sample / 8;
    const std::size_t block = width * wav.channels;
    const std::size_t c = (channel == 1 && wav.channels == 2) ? 1 : 0;
    const uint8_t* p = wav.data.data();
    const std::size_t n = wav.data.size();
    std::size_t k = 0;
    // A long chunk fills the channel and stops there.
    for (; block > 0 && k * block + (c + 1) * width <= n && kWavImportStart + k < capacity; ++k) {
        const uint8_t* s = p + k * block + c * width;
        float v;
        if (width == 2) {
            v = static_cast<float>(static_cast<int16_t>(Le16(s)));
        } else {
            const int32_t s24 = static_cast<int32_t>(static_cast<uint32_t>(s[0]) << 8 | static_cast<uint32_t>(s[1]) << 16 |
                                                     static_cast<uint32_t>(s[2]) << 24) >> 8;
            v = static_cast<float>(s24) / 256.0f;
        }
        in[kWavImportStart + k] = v;
    }
    r.samples = static_cast<int32_t>(k);
    const std::size_t in_file = block > 0 && n >= (c + 1) * width ? (n - (c + 1) * width) / block + 1 : 0;
    if (in_file > k) {
        char text[160];
        std::snprintf(text, sizeof text, kWavImportCut, static_cast<long long>(in_file), static_cast<long long>(k));
        AddWarning(out, text);
    }
    if (capacity > kWavReferencePulseIndex) ref[kWavReferencePulseIndex] = kWavReferencePulse;
    const std::size_t span = std::min(capacity, std::max<std::size_t>(kWavImportStart + k, kWavReferencePulseIndex + 1));
    r.ref_level = LargestMagnitude(ref, span);
    r.in_level = LargestMagnitude(in, span);
    return r;
}

bool ImportImpulseText(const std::string& path, float* ref, float* in, std::size_t capacity, ImpulseImport* result,
                       MessageList* out) {
    const long long size = RawFileSize(path);
    std::ifstream f;
    if (size >= 0) f.open(path, std::ios::binary);  // a pipe or a device is never opened (it would block)
    if (size < 0 || !f) {
        if (out) {
            HvMessage m = WarningMessage(path);
            m.caption = kResUnableToOpenCaption;
            out->push_back(m);
        }
        return false;
    }
    const std::size_t limit = capacity < static_cast<std::size_t>(kTextImportLimit) ? capacity : kTextImportLimit;
    std::vector<float> values;
    values.reserve(4096);
    std::string line;
    int line_number = 0;
    auto refuse_line = [&] {
        AddWarning(out, std::string(kTextNotRecognized) + "\nLine " + std::to_string(line_number) + ": " +
                            LineForMessage(line));
        return false;
    };
    while (values.size() < limit && std::getline(f, line)) {
        ++line_number;
        std::size_t i = 0;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size() || !IsNumberChar(line[i])) {
            // A blank, header or comment line, unless it starts with a value that is not a number.
            if (NonFiniteWordAt(line, i)) return refuse_line();
            continue;
        }
        while (i < line.size() && values.size() < limit) {
            const std::size_t gap = i;
            while (i < line.size() && !IsNumberChar(line[i])) ++i;
            if (HoldsNonFiniteWord(line, gap, i)) return refuse_line();
            const std::size_t start = i;
            while (i < line.size() && IsNumberChar(line[i])) ++i;
            if (i == start) break;
            float v;
            // "1.#INF" and its kin: the digits are only the start of a value that is not a number.
            if (!ParseValue(std::string_view(line).substr(start, i - start), &v) || (i < line.size() && line[i] == '#'))
                return refuse_line();
            values.push_back(v);
        }
    }
    if (f.bad()) {
        AddWarning(out, path);
        return false;
    }
    if (values.empty()) {
        // Not an impulse response of silence: a file without a single value.
        AddWarning(out, std::string(kTextNotRecognized) + "\n" + kTextNoValues);
        return false;
    }
    std::memcpy(in, values.data(), values.size() * sizeof(float));
    if (capacity > kTextReferencePulseIndex) ref[kTextReferencePulseIndex] = kTextReferencePulse;

    ImpulseImport r;
    r.samples = static_cast<int32_t>(values.size());
    const std::size_t span = capacity < static_cast<std::size_t>(kTextLevelSpan) ? capacity : kTextLevelSpan;
    r.ref_level = LargestMagnitude(ref, span);
    r.in_level = LargestMagnitude(in, span);
    if (result) *result = r;
    if (out) {
        char notice[96];
        std::snprintf(notice, sizeof notice, "File=%lld bytes, Data=%d points", size, r.samples);
        HvMessage m{notice};
        m.caption = kTextImportCaption;
        out->push_back(m);
    }
    return true;
}
