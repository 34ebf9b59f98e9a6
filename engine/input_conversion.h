#pragma once
// Capture conversion: one packet of interleaved device samples becomes the input ports of the engine
// (points 0..N-1 of each InputBlock as {sample, 0}; all nine, or those the outputs read), with "Center->LR",
// the input-side bass-management sums, the phantom port 9 and the input peaks of every port.
#include <cstdint>

inline constexpr int kEnginePortCount = 9;  // InputPort 1..9; port 9 is the phantom copy of port 5
inline constexpr int kInputPeakCount = 8;   // ports 1..8 have a meter
inline constexpr uint32_t kAllEnginePorts = (1u << kEnginePortCount) - 1;  // bit p - 1 for port p

// What the conversion reads of the settings, fixed while the engine runs.
struct CaptureConversionSettings {
    uint32_t InputMode = 0;            // 0 "Inputs 1-2", 1 "Inputs 1-12", 2 "Inputs 1-8", 3 "Inputs 1-6"
    uint32_t Capture24Bit = 1;         // 0: two 16-bit samples a frame; 1: 32-bit containers, 24 valid bits
    uint32_t CenterToLr = 0;           // "Center->LR", on when 1
    uint32_t BassMode = 0;             // 1 "BBM Input" and 2 "Summed L+R" act here
    uint32_t SystemConfiguration = 0;  // 0 Stereo .. 6 2.2 BBM
};

// Device channels in one frame of DeviceCaptureBlock for these settings (2, 8 or 12).
int CaptureFrameChannels(const CaptureConversionSettings& s);
// Bytes of one frame of DeviceCaptureBlock.
int CaptureFrameBytes(const CaptureConversionSettings& s);

// Converts `frames` frames of `device` (little-endian, CaptureFrameBytes each) into points 0..frames-1 of
// the input blocks of the ports in `ports` (bit p - 1 for port p; 4 x frames floats at least; floats 2j and
// 2j + 1 are written) and sets the eight peaks, which cover every port whatever is written. A port left out
// keeps what it held; the engine passes the ports its transforms read (PortsInUse), since the bass-management
// sums of ports 5 and 9 are made from the channels themselves. bbm_gain is BbmGain, read once for the block
// by the caller.
//
// 16-bit capture always carries two channels a frame, so it is converted as "Inputs 1-2" whatever the input
// mode: the ports are refilled every block instead of replaying a stale block.
void ConvertCaptureBlock(const uint8_t* device, int frames, const CaptureConversionSettings& s, float bbm_gain,
                         float* const input_blocks[kEnginePortCount], float input_peaks[kInputPeakCount],
                         uint32_t ports = kAllEnginePorts);
// The same frame by frame in plain code: the reference of the vector form that ConvertCaptureBlock takes
// for 32-bit multichannel capture on processors with AVX2. Both give the same floats.
void ConvertCaptureBlockReference(const uint8_t* device, int frames, const CaptureConversionSettings& s,
                                  float bbm_gain, float* const input_blocks[kEnginePortCount],
                                  float input_peaks[kInputPeakCount], uint32_t ports = kAllEnginePorts);

// The input-side bass-management sums over `frames` frames of the port rows p[1]..p[9] (p[0] unused; each
// row `frames` floats), in place; only ports 5 and 9 change. With two channels "BBM Input" feeds port 5
// from port 1 and port 9 from port 3 and "Summed L+R" both from their sum; with more channels, in the 5.2
// and 7.2 BBM configurations, "BBM Input" adds the fronts, the centre and the sides of each half into
// ports 5 and 9 and "Summed L+R" sets both to the fronts' sum. g is BbmGain.
void ApplyInputBassSums(float* const p[kEnginePortCount + 1], int frames, bool two_channel, uint32_t bass_mode,
                        uint32_t system_configuration, float g);

// One device sample on the 24-bit scale.
inline float Convert16BitSample(int16_t s) { return static_cast<float>(static_cast<int32_t>(s) * 256); }
inline float Convert32BitContainer(int32_t v) { return static_cast<float>(v / 256); }  // toward zero
