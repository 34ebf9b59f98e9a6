#include "engine/test_tone.h"

#include <cmath>
#include <cstring>

#include "engine/block_path.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kWidestFrameWords = 16;

int32_t SaturateToWord(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return static_cast<int32_t>(-2147483647 - 1);
    return static_cast<int32_t>(v);
}

}  // namespace

float TestToneAmplitude(int32_t volume_position) {
    return static_cast<float>(std::pow(10.0, (volume_position - kVolumeZeroDbPosition) * 0.05) * 100.0);
}

void GenerateTestTone(float frequency, int frames, const TestToneSettings& s, double* phase, int32_t* output_block) {
    std::memset(output_block, 0, static_cast<size_t>(kWidestFrameWords) * frames * sizeof(int32_t));
    const int words = OutputFrameWords(s.OutputMode);
    const double peak = kTestToneScale * TestToneAmplitude(s.VolumePosition);
    const double step = kTwoPi * frequency / s.SampleRate;
    int first = 0, last = -1;  // columns written
    if (s.Channel == kTestToneAll) {
        last = words - 1;
    } else if (s.Channel >= 1 && s.Channel <= words) {
        first = last = s.Channel - 1;
    }
    if (!std::isfinite(*phase)) *phase = 0.0;
    for (int j = 0; j < frames; ++j) {
        const int32_t v = SaturateToWord(std::sin(*phase) * peak);
        for (int c = first; c <= last; ++c) output_block[static_cast<long>(j) * words + c] = v;
        double next = *phase + step;
        if (!std::isfinite(next)) next = 0.0;
        if (next >= kTwoPi || next < 0.0) {
            next = std::fmod(next, kTwoPi);
            if (next < 0.0) next += kTwoPi;
        }
        *phase = next;
    }
}
