#pragma once
// Test tone: replaces the output block with silence and a sine on one output column or on all of them.
#include <cstdint>

inline constexpr int32_t kTestToneAll = 17;        // TestToneChannel "ALL"; 1..16 are "Port 1".."Port 16"
inline constexpr double kTestToneScale = 4560000.0; // peak at volume position 51 is 100 x this
inline constexpr int32_t kVolumeZeroDbPosition = 51;

struct TestToneSettings {
    int32_t Channel = 0;         // TestToneChannel
    int32_t VolumePosition = 51; // 0..66, 1 dB a step, 51 = 0 dB
    double SampleRate = 48000;   // fs
    uint32_t OutputMode = 0;     // 0 "8 Outputs" (8 words a frame), 1 "16 Outputs" (16), 2 "8 + SPDIF" (10)
};

// Tone amplitude factor A = 10^((position - 51) / 20) x 100, stored in single precision.
float TestToneAmplitude(int32_t volume_position);

// Writes `frames` frames of output_block (16 x frames words are cleared, the widest layout) and advances
// *phase (TestTonePhase, radians) by 2 pi frequency / fs per frame, wrapped into [0, 2 pi). Samples are
// already on the scale of the 32-bit word; values beyond it (volume positions 65 and 66) saturate.
void GenerateTestTone(float frequency, int frames, const TestToneSettings& s, double* phase, int32_t* output_block);
