#include "panels/wav_block.h"

#include <cmath>
#include <cstring>

namespace {

// Port fed by each channel of a six-channel file, in WAV order.
constexpr int kSixChannelPort[6] = {1, 3, 2, 5, 4, 6};

inline float Sample16(const uint8_t* p) {
    const int16_t s = static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
    return Convert16BitSample(s);
}

inline float Sample24(const uint8_t* p) {
    // The three bytes into the top of a word, then an arithmetic shift sign-extends them.
    const uint32_t u = static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 24;
    int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return static_cast<float>(v >> 8);
}

}  // namespace

const uint8_t* TakeWavBlock(const WavSong& song, uint64_t* position, int frames, uint32_t frame_bytes,
                            uint8_t* staging) {
    if (!song.Data || *position >= song.Size) return nullptr;
    const uint64_t block = static_cast<uint64_t>(frames) * frame_bytes;
    const uint64_t left = song.Size - *position;
    const uint8_t* at = song.Data.get() + *position;
    if (left >= block) {
        *position += block;
        return at;
    }
    std::memcpy(staging, at, static_cast<std::size_t>(left));
    std::memset(staging + left, 0, static_cast<std::size_t>(block - left));
    *position += left;
    return staging;
}

void ConvertWavBlock(const uint8_t* bytes, int frames, const WavBlockFormat& f, float bbm_gain,
                     float* const input_blocks[kEnginePortCount], float input_peaks[kInputPeakCount]) {
    for (int i = 0; i < kInputPeakCount; ++i) input_peaks[i] = 0.0f;
    const bool two_channel = f.Channels != 6;
    const uint32_t sample_bytes = f.Is24Bit ? 3 : 2;
    const uint32_t frame_bytes = f.FrameBytes();
    for (int j = 0; j < frames; ++j) {
        const uint8_t* frame = bytes + static_cast<std::size_t>(j) * frame_bytes;
        float p[kEnginePortCount + 1] = {};  // p[1]..p[9]
        if (two_channel) {
            p[1] = f.Is24Bit ? Sample24(frame) : Sample16(frame);
            p[3] = f.Is24Bit ? Sample24(frame + sample_bytes) : Sample16(frame + sample_bytes);
            if (p[1] > input_peaks[0]) input_peaks[0] = p[1];
            if (p[3] > input_peaks[2]) input_peaks[2] = p[3];
        } else {
            for (int c = 0; c < 6; ++c) p[kSixChannelPort[c]] = Sample24(frame + 3 * c);
            p[9] = p[5];
            for (int port = 1; port <= 6; ++port) {
                const float v = port == 3 ? std::fabs(p[port]) : p[port];
                if (v > input_peaks[port - 1]) input_peaks[port - 1] = v;
            }
        }
        ApplyInputBassSums(p, two_channel, f.BassMode, f.SystemConfiguration, bbm_gain);
        for (int port = 1; port <= kEnginePortCount; ++port) {
            input_blocks[port - 1][2 * j] = p[port];
            input_blocks[port - 1][2 * j + 1] = 0.0f;
        }
    }
}
