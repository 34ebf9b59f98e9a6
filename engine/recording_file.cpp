#include "engine/recording_file.h"

#include <cstring>

namespace {

constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr uint16_t kRecordChannels = 2;
constexpr uint16_t kContainerBits = 32;
constexpr uint16_t kValidBits = 24;
constexpr uint16_t kExtensionBytes = 22;
constexpr uint32_t kFrontLeftRight = 0x3;
// KSDATAFORMAT_SUBTYPE_PCM {00000001-0000-0010-8000-00aa00389b71}, as it lies in the file.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void Put16(std::string* out, uint16_t v) {
    out->push_back(static_cast<char>(v & 0xFF));
    out->push_back(static_cast<char>(v >> 8));
}
void Put32(std::string* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::string RecordingWavImage(const RecordingPool& pool, uint32_t sample_rate) {
    const int32_t chunks = pool.RecordedWav ? pool.Count : 0;
    const uint32_t data_bytes = static_cast<uint32_t>(chunks) * kRecordChunkBytes;
    const uint16_t block_align = kRecordChannels * kContainerBits / 8;
    std::string out;
    out.reserve(kRecordingHeaderBytes + data_bytes);
    out += "RIFF";
    Put32(&out, kRecordingHeaderBytes - 8 + data_bytes);
    out += "WAVE";
    out += "fmt ";
    Put32(&out, kRecordingFormatChunkBytes);
    Put16(&out, kWaveFormatExtensible);
    Put16(&out, kRecordChannels);
    Put32(&out, sample_rate);
    Put32(&out, sample_rate * block_align);
    Put16(&out, block_align);
    Put16(&out, kContainerBits);
    Put16(&out, kExtensionBytes);
    Put16(&out, kValidBits);
    Put32(&out, kFrontLeftRight);
    out.append(reinterpret_cast<const char*>(kPcmSubFormat), sizeof kPcmSubFormat);
    out += "data";
    Put32(&out, data_bytes);
    for (int32_t i = 0; i < chunks; ++i) {
        // Samples are little-endian int32 in both builds' memory.
        out.append(reinterpret_cast<const char*>(pool.RecordedWav[i]), kRecordChunkBytes);
    }
    return out;
}

RawFileStatus SaveRecordingWav(const std::string& path, RecordingPool* pool, uint32_t sample_rate,
                               MessageList* messages) {
    FinishRecording(pool);
    RawFileStatus status = RawFileStatus::WriteFailed;
    try {
        status = WriteWholeFile(path, RecordingWavImage(*pool, sample_rate));
    } catch (const std::bad_alloc&) {
        status = RawFileStatus::WriteFailed;
    }
    if (status != RawFileStatus::Ok) {
        AddWarning(messages, kRecordingOpenFailed);
        return status;
    }
    FreeRecordingPool(pool);
    return status;
}
