#include "measure/res_file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/raw_file.h"
#include "app/settings.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadAll(std::FILE* f, void* dest, std::size_t size) {
    std::size_t done = 0;
    auto* p = static_cast<uint8_t*>(dest);
    while (done < size) {
        const std::size_t n = std::fread(p + done, 1, size - done, f);
        if (n == 0) return false;
        done += n;
    }
    return true;
}

void Refuse(MessageList* out, const char* text) { AddWarning(out, text); }

void WriteSlot(uint8_t* slot, uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", value);
    std::memset(slot, 0, kResSlotBytes);
    std::memcpy(slot, text, std::strlen(text) < kResSlotBytes ? std::strlen(text) : kResSlotBytes - 1);
}

// True when the slot's text is a decimal number and nothing else (blanks before it, a NUL or blanks after it).
bool ResSlotHoldsNumber(const uint8_t slot[kResSlotBytes]) {
    std::size_t i = 0;
    while (i < kResSlotBytes && slot[i] == ' ') ++i;
    if (i < kResSlotBytes && (slot[i] == '+' || slot[i] == '-')) ++i;
    const std::size_t digits = i;
    while (i < kResSlotBytes && std::isdigit(slot[i])) ++i;
    if (i == digits) return false;
    while (i < kResSlotBytes && slot[i] == ' ') ++i;
    return i == kResSlotBytes || slot[i] == '\0';  // what follows the NUL is not read
}

}  // namespace

int32_t ReadResSlot(const uint8_t slot[kResSlotBytes]) {
    char text[kResSlotBytes + 1] = {};
    std::memcpy(text, slot, kResSlotBytes);
    return SettingTextInteger(text);
}

ResReadStatus ReadResFile(const std::string& path, uint32_t capture24_setting, uint8_t* capture,
                          std::size_t capture_bytes, ResFileInfo* info, MessageList* out) {
    const long long size = RawFileSize(path);
    FilePtr f(size < 0 ? nullptr : std::fopen(path.c_str(), "rb"));
    if (!f) {
        if (out) {
            HvMessage m = WarningMessage(path);
            m.caption = kResUnableToOpenCaption;
            out->push_back(m);
        }
        return ResReadStatus::kOpenFailed;
    }

    uint32_t width24 = 0;
    bool long_variant = false;
    switch (size) {
        case kResFileBytes16: break;
        case kResFileBytes16Long: long_variant = true; break;
        case kResFileBytes24: width24 = 1; break;
        case kResFileBytes24Long: width24 = 1, long_variant = true; break;
        default:
            // The file is not a measurement: say so rather than analyse empty channels.
            Refuse(out, kResNotRecognized);
            return ResReadStatus::kNotRecognized;
    }
    if (width24 != (capture24_setting ? 1u : 0u)) {
        const char* text = width24 ? kResSetTo16Bit : (long_variant ? kResSetTo24BitLong : kResSetTo24BitShort);
        Refuse(out, text);
        return ResReadStatus::kWidthMismatch;
    }

    // The numbers first, so that a file that is refused leaves the capture as it was.
    const std::size_t data_bytes = ResDataBytes(width24);
    uint8_t slots[3][kResSlotBytes] = {};
    if (std::fseek(f.get(), static_cast<long>(data_bytes), SEEK_SET) != 0 ||
        !ReadAll(f.get(), slots, (long_variant ? 3 : 2) * kResSlotBytes)) {
        AddWarning(out, path);
        return ResReadStatus::kReadFailed;
    }
    int32_t rate = ReadResSlot(slots[0]);
    // Older files may carry the rate as 4..6; the long 24-bit files were always written with 0..2.
    if (rate > 3 && size != kResFileBytes24Long) rate -= 4;
    const int32_t length = ReadResSlot(slots[1]);
    const bool rate_ok = rate >= 0 && rate < static_cast<int32_t>(kResRateIndexCount);
    const bool length_ok = length >= 0 && length < static_cast<int32_t>(kResLengthIndexCount);
    const bool width_ok = !long_variant || ReadResSlot(slots[2]) == static_cast<int32_t>(width24);
    // A slot that is not a number would read as 0 (44,100 Hz, order 13) and analyse the capture as that.
    bool numbers = true;
    for (int slot = 0; slot < (long_variant ? 3 : 2); ++slot) numbers = numbers && ResSlotHoldsNumber(slots[slot]);
    if (!numbers || !rate_ok || !length_ok || !width_ok || capture_bytes < data_bytes + 1) {
        Refuse(out, kResNotRecognized);
        return ResReadStatus::kNotRecognized;
    }

    // A fresh capture: the byte the file does not hold (the last of the span) and everything after it are 0.
    std::memset(capture, 0, capture_bytes);
    if (std::fseek(f.get(), 0, SEEK_SET) != 0 || !ReadAll(f.get(), capture, data_bytes)) {
        AddWarning(out, path);
        return ResReadStatus::kReadFailed;
    }
    if (info) {
        info->rate_index = static_cast<uint32_t>(rate);
        info->length_index = static_cast<uint32_t>(length);
        info->capture24 = width24;
    }
    return ResReadStatus::kLoaded;
}

int WriteResFile(const std::string& path, const uint8_t* saved, uint32_t capture24, uint32_t rate_index,
                 uint32_t length_index, MessageList* out) {
    if (!saved || rate_index >= kResRateIndexCount || length_index >= kResLengthIndexCount) {
        AddWarning(out, path);
        return 0;
    }
    const std::size_t data_bytes = ResDataBytes(capture24 ? 1 : 0);
    std::string image(data_bytes + 2 * kResSlotBytes, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(image.data());
    std::memcpy(bytes, saved, data_bytes);
    WriteSlot(bytes + data_bytes, rate_index);
    WriteSlot(bytes + data_bytes + kResSlotBytes, length_index);
    if (WriteWholeFile(path, image) != RawFileStatus::Ok) {
        AddWarning(out, path);
        return 0;
    }
    return 1;
}

void ProposeResFileName(char* buffer, std::size_t capacity, uint32_t rate_index) {
    static const char* const kSuffixes[kResRateIndexCount] = {"_44k", "_48k", "_96k"};
    const char* suffix = kSuffixes[rate_index < kResRateIndexCount ? rate_index : 1];
    if (!buffer || capacity == 0) return;
    const std::size_t suffix_length = std::strlen(suffix);
    const void* nul = std::memchr(buffer, '\0', capacity - 1);
    const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : capacity - 1;
    std::size_t stem = 0;
    for (std::size_t p = length; p-- > 1;) {
        if (buffer[p] == '.') {
            stem = p;
            break;
        }
    }
    if (capacity <= suffix_length) {
        buffer[0] = '\0';
        return;
    }
    if (stem + suffix_length > capacity - 1) stem = capacity - 1 - suffix_length;
    std::memcpy(buffer + stem, suffix, suffix_length + 1);
}

MlsFileKind MlsFileKindOf(const std::string& path) {
    if (path.size() < 3) return MlsFileKind::kOther;
    std::string end = path.substr(path.size() - 3);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (end == "res") return MlsFileKind::kRes;
    if (end == "wav") return MlsFileKind::kWav;
    if (end == "txt") return MlsFileKind::kText;
    return MlsFileKind::kOther;
}

FilePickerDescription ResFilePicker(bool for_save) {
    FilePickerDescription d;
    d.filters = {{"MLS Impulse (*.RES)", "*.res"}, {"Text Files (*.txt)", "*.txt"}, {"WAV Files (*.wav)", "*.wav"},
                 {"All Files (*.*)", "*.*"}};
    d.default_extension = "res";  // a name typed without one is saved as a measurement file
    d.for_save = for_save;
    d.overwrite_prompt = for_save;
    d.create_prompt = !for_save;
    d.hide_read_only = !for_save;
    return d;
}
