#pragma once
// One block of a song into the engine: the next N frames of file bytes (the last, partial block padded with
// silence) converted into the nine input ports, with the input-side bass management and the input peaks.
#include <cstdint>

#include "engine/input_conversion.h"
#include "panels/wav_file.h"

// What the conversion reads, fixed while a song plays.
struct WavBlockFormat {
    uint32_t Channels = 2;             // 2, or 6 (24-bit only)
    uint32_t Is24Bit = 0;              // WavIs24Bit: 24-bit samples packed in 3 bytes, else 16-bit
    uint32_t BassMode = 0;             // 1 "BBM Input" and 2 "Summed L+R" act here
    uint32_t SystemConfiguration = 0;  // the six-channel sums act in 5.2 and 7.2 BBM

    uint32_t FrameBytes() const { return Channels * (Is24Bit ? 3u : 2u); }
};

// Bytes of the largest block: six 24-bit channels of 4096 frames.
inline constexpr int kWavStagingBytes = 6 * 3 * 4096;

// The next block of the song from *position: a pointer into the song while a whole block remains; for the
// last, partial block the whole frames left copied into `staging` (at least frames x frame_bytes) followed
// by silence, an incomplete last frame included. *position moves on by the bytes taken. Null when nothing
// is left.
const uint8_t* TakeWavBlock(const WavSong& song, uint64_t* position, int frames, uint32_t frame_bytes,
                            uint8_t* staging);

// Converts `frames` frames into points 0..frames-1 of the nine input blocks ({sample, 0}) on the 24-bit scale
// (a 16-bit sample s is s x 256, a 24-bit one is sign-extended) and sets the eight peaks.
// Two channels: left to port 1, right to port 3, the other ports 0, then the two-channel sums. Six channels
// in WAV order (front left, front right, centre, low-frequency, back left, back right): ports 1, 3, 2, 5,
// 4, 6, port 9 a copy of port 5, ports 7 and 8 0, then the multichannel sums.
// Peaks are the file's channels before the sums, the largest sample compared signed: ports 1 and 3 of a
// two-channel file, ports 1 to 6 of a six-channel file, where port 3 takes the largest magnitude.
void ConvertWavBlock(const uint8_t* bytes, int frames, const WavBlockFormat& format, float bbm_gain,
                     float* const input_blocks[kEnginePortCount], float input_peaks[kInputPeakCount]);
