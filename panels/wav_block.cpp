#include "panels/wav_block.h"

#include "engine/block_path.h"

#include <cmath>
#include <cstring>

namespace {

#if defined(__GNUC__)
#define HV_ROW_INLINE inline __attribute__((always_inline))
#else
#define HV_ROW_INLINE inline
#endif

constexpr int kChunkFrames = 256;  // frames converted at a time, so the rows stay small and in the cache

// Port fed by each channel of a six-channel file, in WAV order.
constexpr int kSixChannelPort[6] = {1, 3, 2, 5, 4, 6};

// One channel of `frames` frames into a row on the 24-bit scale.
HV_ROW_INLINE void DecodeChannel16(const uint8_t* first, uint32_t frame_bytes, int frames, float* row) {
    for (int j = 0; j < frames; ++j) {
        const uint8_t* b = first + static_cast<std::size_t>(j) * frame_bytes;
        const int16_t s = static_cast<int16_t>(static_cast<uint16_t>(b[0] | b[1] << 8));
        row[j] = Convert16BitSample(s);
    }
}

// The three bytes into the top of a word, then an arithmetic shift sign-extends them.
inline float Sample24(uint32_t low_three_bytes) {
    return static_cast<float>(static_cast<int32_t>(low_three_bytes << 8) >> 8);
}

HV_ROW_INLINE void DecodeChannel24(const uint8_t* first, uint32_t frame_bytes, int frames, float* row) {
    // A sample is read with the byte after it in one little-endian word; the last frame's sample may end
    // the block, so it is read byte by byte.
    int j = 0;
    for (; j + 1 < frames; ++j) {
        uint32_t u;
        std::memcpy(&u, first + static_cast<std::size_t>(j) * frame_bytes, sizeof u);
        row[j] = Sample24(u);
    }
    for (; j < frames; ++j) {
        const uint8_t* b = first + static_cast<std::size_t>(j) * frame_bytes;
        row[j] = Sample24(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16);
    }
}

// The largest value of a row and `peak`, in eight lanes so the comparisons do not wait on each other.
template <typename Value>
HV_ROW_INLINE float RowPeakOf(const float* row, int frames, float peak, Value value) {
    constexpr int kLanes = 8;
    float lane[kLanes];
    for (float& l : lane) l = peak;
    int j = 0;
    for (; j + kLanes <= frames; j += kLanes)
        for (int k = 0; k < kLanes; ++k) {
            const float v = value(row[j + k]);
            lane[k] = v > lane[k] ? v : lane[k];
        }
    for (; j < frames; ++j) {
        const float v = value(row[j]);
        lane[0] = v > lane[0] ? v : lane[0];
    }
    for (int k = 1; k < kLanes; ++k) lane[0] = lane[k] > lane[0] ? lane[k] : lane[0];
    return lane[0];
}

HV_ROW_INLINE float RowPeak(const float* row, int frames, float peak) {
    return RowPeakOf(row, frames, peak, [](float v) { return v; });
}

HV_ROW_INLINE float RowMagnitudePeak(const float* row, int frames, float peak) {
    return RowPeakOf(row, frames, peak, [](float v) { return std::fabs(v); });
}

// A row into points 0..frames-1 of an input block as {value, 0}.
HV_ROW_INLINE void StoreRow(const float* row, int frames, float* block) {
    for (int j = 0; j < frames; ++j) {
        block[2 * j] = row[j];
        block[2 * j + 1] = 0.0f;
    }
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
    // Only whole frames: the bytes of an incomplete last frame would sound as a click.
    const uint64_t whole = left - left % frame_bytes;
    std::memcpy(staging, at, static_cast<std::size_t>(whole));
    std::memset(staging + whole, 0, static_cast<std::size_t>(block - whole));
    *position += left;
    return staging;
}

namespace {

// The conversion's body; the wrappers below compile it plainly and, where the processor has it, with AVX
// (the rows' loops then run on wider vectors).
HV_ROW_INLINE void ConvertRows(const uint8_t* bytes, int frames, const WavBlockFormat& f, float bbm_gain,
                               float* const input_blocks[kEnginePortCount], float input_peaks[kInputPeakCount]) {
    for (int i = 0; i < kInputPeakCount; ++i) input_peaks[i] = 0.0f;
    const bool two_channel = f.Channels != 6;
    const uint32_t sample_bytes = f.Is24Bit ? 3 : 2;
    const uint32_t frame_bytes = f.FrameBytes();
    const bool sums = f.BassMode == 1 || f.BassMode == 2;

    // Rows of the nine ports for one chunk. Ports the file does not feed go to the blocks as zeros; of their
    // rows only those of ports 7 and 8 are read (by the 7.2 sums of a six-channel file), so only they are
    // cleared.
    float rows[kEnginePortCount + 1][kChunkFrames];
    float* p[kEnginePortCount + 1];
    for (int port = 0; port <= kEnginePortCount; ++port) p[port] = rows[port];
    if (!two_channel) std::memset(rows[7], 0, sizeof rows[7] + sizeof rows[8]);
    bool fed[kEnginePortCount + 1] = {};

    for (int j0 = 0; j0 < frames; j0 += kChunkFrames) {
        const int n = frames - j0 < kChunkFrames ? frames - j0 : kChunkFrames;
        const uint8_t* at = bytes + static_cast<std::size_t>(j0) * frame_bytes;
        const int channels = two_channel ? 2 : 6;
        for (int c = 0; c < channels; ++c) {
            const int port = two_channel ? (c == 0 ? 1 : 3) : kSixChannelPort[c];
            if (f.Is24Bit) {
                    DecodeChannel24(at + c * sample_bytes, frame_bytes, n, p[port]);
            } else {
                    DecodeChannel16(at + c * sample_bytes, frame_bytes, n, p[port]);
            }
            fed[port] = true;
            // Peaks of the file's channels before the sums, compared signed; port 3 of six by magnitude.
            input_peaks[port - 1] = !two_channel && port == 3 ? RowMagnitudePeak(p[port], n, input_peaks[port - 1])
                                                             : RowPeak(p[port], n, input_peaks[port - 1]);
        }
        if (!two_channel) {
            std::memcpy(p[9], p[5], sizeof(float) * n);
            fed[9] = true;
        }
        if (sums) {
            ApplyInputBassSums(p, n, two_channel, f.BassMode, f.SystemConfiguration, bbm_gain);
            fed[5] = fed[9] = true;
        }
        for (int port = 1; port <= kEnginePortCount; ++port) {
            float* block = input_blocks[port - 1] + 2 * static_cast<std::size_t>(j0);
            if (fed[port]) {
                    StoreRow(p[port], n, block);
            } else {
                    std::memset(block, 0, sizeof(float) * 2 * n);
            }
        }
    }
}

void ConvertWavBlockPlain(const uint8_t* bytes, int frames, const WavBlockFormat& f, float bbm_gain,
                          float* const input_blocks[kEnginePortCount], float input_peaks[kInputPeakCount]) {
    ConvertRows(bytes, frames, f, bbm_gain, input_blocks, input_peaks);
}

#if defined(__GNUC__) && defined(__x86_64__)
#define HV_CONVERT_WAV_AVX 1
__attribute__((target("avx"))) void ConvertWavBlockAvx(const uint8_t* bytes, int frames, const WavBlockFormat& f,
                                                       float bbm_gain, float* const input_blocks[kEnginePortCount],
                                                       float input_peaks[kInputPeakCount]) {
    ConvertRows(bytes, frames, f, bbm_gain, input_blocks, input_peaks);
}
#endif

}  // namespace

void ConvertWavBlock(const uint8_t* bytes, int frames, const WavBlockFormat& f, float bbm_gain,
                     float* const input_blocks[kEnginePortCount], float input_peaks[kInputPeakCount]) {
#ifdef HV_CONVERT_WAV_AVX
    if (BlockPathHasAvx()) return ConvertWavBlockAvx(bytes, frames, f, bbm_gain, input_blocks, input_peaks);
#endif
    ConvertWavBlockPlain(bytes, frames, f, bbm_gain, input_blocks, input_peaks);
}
