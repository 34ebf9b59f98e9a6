#include "engine/input_conversion.h"

#include <cstring>

namespace {

// Device channel feeding ports 1..8 in the multi-channel modes (-1: the port gets 0).
constexpr int kPortChannelMultichannel[8] = {0, 2, 1, 3, 4, 5, 6, 7};
constexpr int kPortChannelSixInputs[8] = {0, 2, 1, 3, 4, 5, -1, -1};
constexpr int kPortChannelTwoInputs[8] = {0, -1, 1, -1, -1, -1, -1, -1};
constexpr int kCentreChannel = 2;

constexpr uint32_t kBassModeBbmInput = 1;
constexpr uint32_t kBassModeSummed = 2;
constexpr uint32_t kConfiguration52Bbm = 3;
constexpr uint32_t kConfiguration72Bbm = 4;
constexpr uint32_t kConfiguration72BbmCabs = 5;

bool IsTwoChannelFrame(const CaptureConversionSettings& s) { return s.Capture24Bit == 0 || s.InputMode == 0; }

int32_t ReadLe32(const uint8_t* p) {
    uint32_t u = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
                 static_cast<uint32_t>(p[3]) << 24;
    int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

int16_t ReadLe16(const uint8_t* p) {
    uint16_t u = static_cast<uint16_t>(p[0] | p[1] << 8);
    int16_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

}  // namespace

int CaptureFrameChannels(const CaptureConversionSettings& s) {
    if (IsTwoChannelFrame(s)) return 2;
    return s.InputMode == 2 ? 8 : 12;
}

int CaptureFrameBytes(const CaptureConversionSettings& s) {
    return CaptureFrameChannels(s) * (s.Capture24Bit == 0 ? 2 : 4);
}

namespace {

// "BBM Input" of a multichannel frame: each half's front, the centre and its side (and, in 7.2, its back)
// added into its sub port. Parameters, not locals, carry the promise that the rows do not overlap.
template <bool kWithBacks>
void AddSurroundBassSums(float* __restrict p5, float* __restrict p9, const float* __restrict p1,
                         const float* __restrict p2, const float* __restrict p3, const float* __restrict p4,
                         const float* __restrict p6, const float* __restrict p7, const float* __restrict p8,
                         int frames, float g) {
    for (int j = 0; j < frames; ++j) {
        float left = p1[j] + p2[j] + p4[j];
        float right = p3[j] + p2[j] + p6[j];
        if (kWithBacks) {
            left = left + p7[j];
            right = right + p8[j];
        }
        p5[j] = p5[j] + g * left;
        p9[j] = p9[j] + g * right;
    }
}

void SumFronts(float* __restrict p5, float* __restrict p9, const float* __restrict p1, const float* __restrict p3,
               int frames, float g) {
    for (int j = 0; j < frames; ++j) p5[j] = p9[j] = g * (p1[j] + p3[j]);
}

void ScaleRow(float* __restrict to, const float* __restrict from, int frames, float g) {
    for (int j = 0; j < frames; ++j) to[j] = g * from[j];
}

}  // namespace

void ApplyInputBassSums(float* const p[kEnginePortCount + 1], int frames, bool two_channel, uint32_t bass_mode,
                        uint32_t system_configuration, float g) {
    const bool bbm_input = bass_mode == kBassModeBbmInput;
    const bool summed = bass_mode == kBassModeSummed;
    if (!bbm_input && !summed) return;
    if (two_channel) {
        if (bbm_input) {
            ScaleRow(p[5], p[1], frames, g);
            ScaleRow(p[9], p[3], frames, g);
        } else {
            SumFronts(p[5], p[9], p[1], p[3], frames, g);
        }
        return;
    }
    const bool surround_52 = system_configuration == kConfiguration52Bbm;
    const bool surround_72 =
        system_configuration == kConfiguration72Bbm || system_configuration == kConfiguration72BbmCabs;
    if (!surround_52 && !surround_72) return;
    if (summed) {
        SumFronts(p[5], p[9], p[1], p[3], frames, g);
    } else if (surround_72) {
        AddSurroundBassSums<true>(p[5], p[9], p[1], p[2], p[3], p[4], p[6], p[7], p[8], frames, g);
    } else {
        AddSurroundBassSums<false>(p[5], p[9], p[1], p[2], p[3], p[4], p[6], p[7], p[8], frames, g);
    }
}

void ConvertCaptureBlock(const uint8_t* device, int frames, const CaptureConversionSettings& s, float bbm_gain,
                         float* const input_blocks[kEnginePortCount], float input_peaks[kInputPeakCount]) {
    for (int i = 0; i < kInputPeakCount; ++i) input_peaks[i] = 0.0f;

    const bool two_channel = IsTwoChannelFrame(s);
    const int channels = CaptureFrameChannels(s);
    const int frame_bytes = CaptureFrameBytes(s);
    const int* port_channel = two_channel            ? kPortChannelTwoInputs
                              : s.InputMode == 3     ? kPortChannelSixInputs
                                                     : kPortChannelMultichannel;
    const bool centre_to_lr = !two_channel && s.CenterToLr == 1;

    float ch[12];
    float p[kEnginePortCount + 1];  // p[1]..p[9]
    float* const rows[kEnginePortCount + 1] = {p, p + 1, p + 2, p + 3, p + 4, p + 5, p + 6, p + 7, p + 8, p + 9};
    for (int j = 0; j < frames; ++j) {
        const uint8_t* frame = device + static_cast<long>(j) * frame_bytes;
        for (int c = 0; c < channels; ++c) {
            ch[c] = s.Capture24Bit == 0 ? Convert16BitSample(ReadLe16(frame + 2 * c))
                                        : Convert32BitContainer(ReadLe32(frame + 4 * c));
        }
        for (int port = 1; port <= 8; ++port) {
            const int c = port_channel[port - 1];
            p[port] = c < 0 ? 0.0f : ch[c];
        }
        if (centre_to_lr) p[1] = p[2] = p[3] = ch[kCentreChannel];
        p[9] = two_channel ? 0.0f : p[5];

        for (int port = 1; port <= 8; ++port) {
            if (p[port] > input_peaks[port - 1]) input_peaks[port - 1] = p[port];
        }

        ApplyInputBassSums(rows, 1, two_channel, s.BassMode, s.SystemConfiguration, bbm_gain);

        for (int port = 1; port <= kEnginePortCount; ++port) {
            input_blocks[port - 1][2 * j] = p[port];
            input_blocks[port - 1][2 * j + 1] = 0.0f;
        }
    }
}
