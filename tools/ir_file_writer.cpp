#include "tools/ir_file_writer.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/raw_file.h"
#include "engine/window_shapes.h"

namespace {

bool EndsWith(const std::string& name, const char* tail) {
    const std::size_t n = std::strlen(tail);
    if (name.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != tail[i]) return false;
    return true;
}

bool IsWavFormat(int32_t format) { return format >= kIrWavMono && format <= kIrWavStereoDifferent; }

// "%.Ne" with a two-digit exponent on every C library (some write three).
void AppendExponential(std::string* out, const char* prefix, int digits, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", digits, v);
    std::string s(buf);
    const auto e = s.find_last_of("eE");
    if (e != std::string::npos && s.size() - e == 5 && s[e + 2] == '0') s.erase(e + 2, 1);
    *out += prefix;
    *out += s;
}

void Put16(std::string* b, uint32_t v) {
    b->push_back(static_cast<char>(v & 0xFF));
    b->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Put24(std::string* b, int32_t s) {
    const auto u = static_cast<uint32_t>(s);
    b->push_back(static_cast<char>(u & 0xFF));
    b->push_back(static_cast<char>((u >> 8) & 0xFF));
    b->push_back(static_cast<char>((u >> 16) & 0xFF));
}

// True when every sample of the channel is written as 0 (WAV: after the 24-bit truncation).
bool Silent(const float* x, int samples, bool wav) {
    for (int n = 0; n < samples; ++n) {
        int32_t s = 0;
        if (wav ? !IrWavSample(x[2 * n], &s) || s != 0 : x[2 * n] != 0.0f) return false;
    }
    return true;
}

}  // namespace

std::string IrSilentOutputMessage(int output) {
    return "Output Port " + std::to_string(output + 1) + " Has No Impulse Response";
}

FilePickerDescription IrSaveFilePicker() {
    FilePickerDescription p;
    p.filters = {{"Text Files (*.txt)", "*.txt"}, {"WAV Files (*.wav)", "*.wav"}, {"All Files (*.*)", "*.*"}};
    p.default_extension = "*.*";
    p.path_chars = 2048;
    p.title_chars = 256;
    p.for_save = true;
    p.overwrite_prompt = true;
    return p;
}

bool IrWavSample(float x, int32_t* sample) {
    const float scaled = x * kIrWavScale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= static_cast<float>(kIrWavLimit + 1)) return false;
    *sample = static_cast<int32_t>(scaled);
    return true;
}

bool FormatIrText(const IrWriteRequest& r, std::string* text) {
    if (!r.left || r.N < 1) return false;
    const int lines = ImpulseWindowPoints(r.SplOnlyEq, r.WideWindow, r.N);
    text->clear();
    text->reserve(static_cast<std::size_t>(lines) * 32);
    for (int n = 0; n < lines; ++n) {
        const double v = r.left[2 * n];
        if (r.format == kIrCsvCoefficients) {
            char tap[32];
            std::snprintf(tap, sizeof tap, "b%d = ", n);
            AppendExponential(text, tap, 10, v);
            *text += ",";
        } else {
            AppendExponential(text, "", 12, v);
        }
        *text += "\r\n";
    }
    return true;
}

bool FormatIrWav(const IrWriteRequest& r, std::string* b, MessageList* messages) {
    if (!r.left || r.N < 1 || (r.format == kIrWavStereoDifferent && !r.right)) return false;
    const uint32_t channels = r.format == kIrWavMono ? 1 : 2;
    const uint32_t frames = 8u * static_cast<uint32_t>(r.N);
    const uint32_t data_bytes = frames * 3 * channels;
    b->clear();
    b->reserve(kIrWavHeaderBytes + data_bytes);
    b->append("RIFF");
    Put32(b, 38 + data_bytes);
    b->append("WAVEfmt ");
    Put32(b, 18);
    Put16(b, 1);
    Put16(b, channels);
    Put32(b, static_cast<uint32_t>(r.sample_rate));
    Put32(b, static_cast<uint32_t>(r.sample_rate) * channels * 3);
    Put16(b, channels * 3);
    Put16(b, 24);
    Put16(b, 0);
    b->append("data");
    Put32(b, data_bytes);
    for (uint32_t n = 0; n < frames; ++n) {
        int32_t left = 0, right = 0;
        bool ok = IrWavSample(r.left[2 * n], &left);
        if (ok && r.format == kIrWavStereoDifferent) ok = IrWavSample(r.right[2 * n], &right);
        if (!ok) {
            AddWarning(messages, kIrExceedsWavRange);
            b->clear();
            return false;
        }
        Put24(b, left);
        if (channels == 2) Put24(b, r.format == kIrWavStereoDifferent ? right : left);
    }
    return true;
}

int WriteImpulseResponseFile(const std::string& path, const IrWriteRequest& r, MessageList* messages) {
    const bool wav_name = EndsWith(path, "wav");
    const bool text_name = EndsWith(path, "txt") || EndsWith(path, "csv");
    const bool wav_format = IsWavFormat(r.format);
    if (!wav_format && r.format != kIrRawText && r.format != kIrCsvCoefficients) return 0;
    if (wav_format && !wav_name) {
        AddWarning(messages, kIrWavNameNeeded);
        return 0;
    }
    if (!wav_format && !text_name) {
        AddWarning(messages, kIrTextNameNeeded);
        return 0;
    }
    if (r.left && r.N >= 1) {
        const int samples = wav_format ? 8 * r.N : ImpulseWindowPoints(r.SplOnlyEq, r.WideWindow, r.N);
        int silent = Silent(r.left, samples, wav_format) ? r.left_output : -1;
        if (silent < 0 && r.format == kIrWavStereoDifferent && r.right && Silent(r.right, samples, true))
            silent = r.right_output;
        if (silent >= 0) {
            AddWarning(messages, IrSilentOutputMessage(silent));
            return 0;
        }
    }
    std::string bytes;
    if (wav_format) {
        if (!FormatIrWav(r, &bytes, messages)) return 0;
        if (WriteWholeFile(path, bytes) != RawFileStatus::Ok) {
            AddWarning(messages, kIrWavOpenFailed);
            return 0;
        }
        return 1;
    }
    if (!FormatIrText(r, &bytes)) return 0;
    if (WriteWholeFile(path, bytes) != RawFileStatus::Ok) {
        AddWarning(messages, path);
        return 0;
    }
    return 1;
}
