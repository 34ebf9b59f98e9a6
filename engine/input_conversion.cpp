#include "engine/input_conversion.h"

#include <cstring>

#include "engine/avx_transpose.h"
#ifdef HV_AVX_TRANSPOSE
#define HV_CONVERT_AVX2 1
#endif

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

#ifdef HV_CONVERT_AVX2
bool ProcessorHasAvx2() {
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return avx2;
}

// Ports 1..9 of eight frames at a time from 32-bit containers, without the bass-management sums: the eight
// channels 0..7 of a frame are one 256-bit load, converted and rearranged into port order in one vector;
// eight such vectors are transposed into eight frames of each port, which go out with their zero imaginary
// parts. Port 9 is a copy of port 5. `frames` is a multiple of 8.
__attribute__((target("avx2"))) void ConvertContainerPortsAvx2(const uint8_t* device, int frames, int channels,
                                                               const int* port_channel, bool centre_to_lr,
                                                               float* const blocks[kEnginePortCount],
                                                               float peaks[kInputPeakCount]) {
    // Device channel of each port (port 9 is port 5's copy), -1 for a port that gets 0.
    int channel_of_port[kEnginePortCount];
    for (int port = 1; port <= 8; ++port) {
        int c = port_channel[port - 1];
        if (centre_to_lr && port <= 3) c = kCentreChannel;
        channel_of_port[port - 1] = c;
    }
    channel_of_port[8] = channel_of_port[4];
    const __m256 zero = _mm256_setzero_ps();
    __m256 peak = zero;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(channels) * 4;
    for (int j = 0; j < frames; j += 8) {
        __m256 r[8];
        for (int f = 0; f < 8; ++f) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(device + (j + f) * stride));
            // v / 256 toward zero: negative values get 255 added before the arithmetic shift.
            const __m256i q = _mm256_srai_epi32(_mm256_add_epi32(v, _mm256_srli_epi32(_mm256_srai_epi32(v, 31), 24)), 8);
            const __m256 x = _mm256_cvtepi32_ps(q);  // channels 0..7
            peak = _mm256_max_ps(x, peak);
            r[f] = x;
        }
        Transpose8x8(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]);  // row c: channel c of the eight frames
        for (int port = 1; port <= kEnginePortCount; ++port) {
            const int channel = channel_of_port[port - 1];
            const __m256 c = channel < 0 ? zero : r[channel];
            const __m256 lo = _mm256_unpacklo_ps(c, zero), hi = _mm256_unpackhi_ps(c, zero);
            float* out = blocks[port - 1] + 2 * j;
            _mm256_storeu_ps(out, _mm256_permute2f128_ps(lo, hi, 0x20));
            _mm256_storeu_ps(out + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
        }
    }
    // A port's peak is its channel's (the largest positive value, or 0), 0 for a port without a channel.
    float channel_peaks[8];
    _mm256_storeu_ps(channel_peaks, peak);
    for (int port = 1; port <= 8; ++port) {
        const int channel = channel_of_port[port - 1];
        peaks[port - 1] = channel < 0 ? 0.0f : channel_peaks[channel];
    }
}
#endif

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
#ifdef HV_CONVERT_AVX2
    if (!IsTwoChannelFrame(s) && frames % 8 == 0 && ProcessorHasAvx2()) {
        ConvertContainerPortsAvx2(device, frames, CaptureFrameChannels(s),
                                  s.InputMode == 3 ? kPortChannelSixInputs : kPortChannelMultichannel, s.CenterToLr == 1,
                                  input_blocks, input_peaks);
        // The sums of the multichannel designs, frame by frame in the order of the reference.
        const bool surround_52 = s.SystemConfiguration == kConfiguration52Bbm;
        const bool surround_72 = s.SystemConfiguration == kConfiguration72Bbm || s.SystemConfiguration == kConfiguration72BbmCabs;
        if (!surround_52 && !surround_72) return;
        const float g = bbm_gain;
        float* const* p = input_blocks - 1;  // p[port]
        if (s.BassMode == kBassModeBbmInput) {
            for (int i = 0; i < 2 * frames; i += 2) {
                float left = p[1][i] + p[2][i] + p[4][i];
                float right = p[3][i] + p[2][i] + p[6][i];
                if (surround_72) {
                    left = left + p[7][i];
                    right = right + p[8][i];
                }
                p[5][i] = p[5][i] + g * left;
                p[9][i] = p[9][i] + g * right;
            }
        } else if (s.BassMode == kBassModeSummed) {
            for (int i = 0; i < 2 * frames; i += 2) p[5][i] = p[9][i] = g * (p[1][i] + p[3][i]);
        }
        return;
    }
#endif
    ConvertCaptureBlockReference(device, frames, s, bbm_gain, input_blocks, input_peaks);
}

void ConvertCaptureBlockReference(const uint8_t* device, int frames, const CaptureConversionSettings& s, float bbm_gain,
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
