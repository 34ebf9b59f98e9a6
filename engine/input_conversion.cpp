#include "engine/input_conversion.h"

#include <cstring>

#include "engine/avx_transpose.h"
#include "engine/block_path.h"
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
// The bass-management sums the multichannel designs make in ports 5 and 9 (none, "BBM Input" over the
// fronts, centre and sides, the same with the backs in 7.2, or "Summed L+R").
enum class SubSums { kNone, kSurround52, kSurround72, kSummed };

// 32-bit containers to the 24-bit scale, v / 256 toward zero (Convert32BitContainer): negative values get
// 255 added before the arithmetic shift.
__attribute__((target("avx2"))) inline __m256 ConvertContainers(__m256i v) {
    return _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_add_epi32(v, _mm256_srli_epi32(_mm256_srai_epi32(v, 31), 24)), 8));
}

// The largest container of each of the channels 0..7 over eight frames, merged into peak.
__attribute__((target("avx2"))) inline __m256i MaxOfEightFrames(const uint8_t* frames, std::ptrdiff_t stride, __m256i peak) {
    __m256i m[4];
    for (int f = 0; f < 4; ++f)
        m[f] = _mm256_max_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(frames + 2 * f * stride)),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frames + (2 * f + 1) * stride)));
    return _mm256_max_epi32(peak, _mm256_max_epi32(_mm256_max_epi32(m[0], m[1]), _mm256_max_epi32(m[2], m[3])));
}

// Container c of frame f (little-endian) in every lane.
__attribute__((target("avx2"))) inline __m256i Broadcast32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return _mm256_set1_epi32(v);
}

// Channel `c` of four frames as the containers of four interleaved points, each with a zero beside it.
__attribute__((target("avx2"))) inline __m256i FourFramesInterleaved(const uint8_t* sample, std::ptrdiff_t stride) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i a = _mm256_blend_epi32(zero, Broadcast32(sample), 0x01);
    const __m256i b = _mm256_blend_epi32(a, Broadcast32(sample + stride), 0x04);
    const __m256i c = _mm256_blend_epi32(b, Broadcast32(sample + 2 * stride), 0x10);
    return _mm256_blend_epi32(c, Broadcast32(sample + 3 * stride), 0x40);
}

// The ports in `ports` when they read at most three channels and no sums: each channel's containers are
// loaded one by one straight into their lanes beside a zero, converted and stored to its ports, without
// rearranging whole frames.
__attribute__((target("avx2"))) void ConvertFewChannelsAvx2(const uint8_t* device, int frames, std::ptrdiff_t stride,
                                                            const int channel_of_port[kEnginePortCount], uint32_t ports,
                                                            float* const blocks[kEnginePortCount], __m256i* peak) {
    constexpr int kMost = 3;
    int channel[kMost];
    float* out[kMost][kEnginePortCount];
    int outs[kMost] = {};
    float* zero_out[kEnginePortCount];
    int channels = 0, zero_outs = 0;
    for (uint32_t w = ports; w; w &= w - 1) {
        const int port = __builtin_ctz(w) + 1;
        const int c = channel_of_port[port - 1];
        if (c < 0) {
            zero_out[zero_outs++] = blocks[port - 1];
            continue;
        }
        int k = 0;
        while (k < channels && channel[k] != c) ++k;
        if (k == channels) channel[channels++] = c;
        out[k][outs[k]++] = blocks[port - 1];
    }
    const __m256 zero = _mm256_setzero_ps();
    __m256i p = *peak;
    for (int j = 0; j < frames; j += 8) {
        const uint8_t* group = device + j * stride;
        p = MaxOfEightFrames(group, stride, p);
        for (int k = 0; k < channels; ++k) {
            const uint8_t* sample = group + 4 * channel[k];
            const __m256 lo = ConvertContainers(FourFramesInterleaved(sample, stride));
            const __m256 hi = ConvertContainers(FourFramesInterleaved(sample + 4 * stride, stride));
            for (int i = 0; i < outs[k]; ++i) {
                _mm256_storeu_ps(out[k][i] + 2 * j, lo);
                _mm256_storeu_ps(out[k][i] + 2 * j + 8, hi);
            }
        }
        for (int i = 0; i < zero_outs; ++i) {
            _mm256_storeu_ps(zero_out[i] + 2 * j, zero);
            _mm256_storeu_ps(zero_out[i] + 2 * j + 8, zero);
        }
    }
    *peak = p;
}

typedef float Floats8 __attribute__((vector_size(32)));
typedef float Floats16 __attribute__((vector_size(64)));

// The value a written port takes from the converted channels x (vectors of frames) with the sums of ports 5
// and 9, in the operations and order of ApplyInputBassSums. For 256- and 512-bit vectors alike; always
// inlined into the vector loops, whose instruction sets it takes on.
template <typename V>
struct PortValues {
    const V* x;
    const int* channel_of_port;
    SubSums sums;
    V zero, sub5, sub9;

    __attribute__((always_inline)) const V& Channel(int port) const {
        const int c = channel_of_port[port - 1];
        return c < 0 ? zero : x[c];
    }
    __attribute__((always_inline)) PortValues(const V* converted, const int* channels, SubSums s, const V& gain)
        : x(converted), channel_of_port(channels), sums(s), zero{}, sub5{}, sub9{} {
        if (sums == SubSums::kSummed) {
            sub5 = sub9 = gain * (Channel(1) + Channel(3));
        } else if (sums != SubSums::kNone) {
            V left = Channel(1) + Channel(2) + Channel(4);
            V right = Channel(3) + Channel(2) + Channel(6);
            if (sums == SubSums::kSurround72) {
                left = left + Channel(7);
                right = right + Channel(8);
            }
            sub5 = Channel(5) + gain * left;
            sub9 = Channel(9) + gain * right;
        }
    }
    __attribute__((always_inline)) const V& Port(int port) const {
        if (sums != SubSums::kNone && port == 5) return sub5;
        if (sums != SubSums::kNone && port == 9) return sub9;
        return Channel(port);
    }
};

// GCC 12's AVX-512 intrinsics start results from an undefined vector, which its flow analysis reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
// The loop of ConvertContainerPortsAvx2 for many channels, sixteen frames at a time in 512-bit vectors: frames
// j..j+7 in the low halves and j+8..j+15 in the high ones, each half transposed as the 256-bit loop does it.
// Returns the peaks of channels 0..7 merged into peak.
__attribute__((target("avx2,avx512f"))) __m256i ConvertManyChannelsAvx512(const uint8_t* device, int frames,
                                                                          std::ptrdiff_t stride, uint32_t wanted,
                                                                          const int* channel_of_port, uint32_t ports,
                                                                          SubSums sums, float g,
                                                                          float* const blocks[kEnginePortCount],
                                                                          __m256i peak256) {
    const __m512 zero = _mm512_setzero_ps(), gain = _mm512_set1_ps(g);
    const __m512i low_lanes = _mm512_setr_epi32(0, 1, 2, 3, 16, 17, 18, 19, 8, 9, 10, 11, 24, 25, 26, 27);
    const __m512i high_lanes = _mm512_setr_epi32(4, 5, 6, 7, 20, 21, 22, 23, 12, 13, 14, 15, 28, 29, 30, 31);
    const __m512i first_points = _mm512_setr_epi32(0, 16, 1, 16, 2, 16, 3, 16, 4, 16, 5, 16, 6, 16, 7, 16);
    const __m512i last_points = _mm512_setr_epi32(8, 16, 9, 16, 10, 16, 11, 16, 12, 16, 13, 16, 14, 16, 15, 16);
    __m512i peak = _mm512_castsi256_si512(peak256);
    peak = _mm512_inserti64x4(peak, peak256, 1);
    for (int j = 0; j < frames; j += 16) {
        __m512 r[8];
        for (int f = 0; f < 8; ++f) {
            const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(device + (j + f) * stride));
            const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(device + (j + 8 + f) * stride));
            const __m512i v = _mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1);
            peak = _mm512_max_epi32(v, peak);
            r[f] = _mm512_castsi512_ps(v);
        }
        // Within each 256-bit half: the 8 x 8 transpose of Transpose8x8, row c becoming channel c.
        __m512 t[8], u[8];
        for (int f = 0; f < 8; f += 2) {
            t[f] = _mm512_unpacklo_ps(r[f], r[f + 1]);
            t[f + 1] = _mm512_unpackhi_ps(r[f], r[f + 1]);
        }
        for (int q = 0; q < 8; q += 4) {
            u[q] = _mm512_shuffle_ps(t[q], t[q + 2], _MM_SHUFFLE(1, 0, 1, 0));
            u[q + 1] = _mm512_shuffle_ps(t[q], t[q + 2], _MM_SHUFFLE(3, 2, 3, 2));
            u[q + 2] = _mm512_shuffle_ps(t[q + 1], t[q + 3], _MM_SHUFFLE(1, 0, 1, 0));
            u[q + 3] = _mm512_shuffle_ps(t[q + 1], t[q + 3], _MM_SHUFFLE(3, 2, 3, 2));
        }
        for (int c = 0; c < 4; ++c) {
            r[c] = _mm512_permutex2var_ps(u[c], low_lanes, u[c + 4]);
            r[c + 4] = _mm512_permutex2var_ps(u[c], high_lanes, u[c + 4]);
        }
        Floats16 x[8];
        for (uint32_t w = wanted; w; w &= w - 1) {
            const int c = __builtin_ctz(w);
            const __m512i v = _mm512_castps_si512(r[c]);
            x[c] = (Floats16)_mm512_cvtepi32_ps(_mm512_srai_epi32(_mm512_add_epi32(v, _mm512_srli_epi32(_mm512_srai_epi32(v, 31), 24)), 8));
        }
        const Floats16 gain16 = (Floats16)gain;
        const PortValues<Floats16> values(x, channel_of_port, sums, gain16);
        for (uint32_t w = ports; w; w &= w - 1) {
            const int port = __builtin_ctz(w) + 1;
            const __m512 c = (__m512)values.Port(port);
            float* out = blocks[port - 1] + 2 * j;
            _mm512_storeu_ps(out, _mm512_permutex2var_ps(c, first_points, zero));
            _mm512_storeu_ps(out + 16, _mm512_permutex2var_ps(c, last_points, zero));
        }
    }
    return _mm256_max_epi32(_mm512_castsi512_si256(peak), _mm512_extracti64x4_epi64(peak, 1));
}
#pragma GCC diagnostic pop

// The ports in `ports` (bit p - 1 for port p) and the eight peaks, eight frames at a time, from 32-bit
// containers. When the written ports read more than three channels, or the sums of ports 5 and 9, the
// channels 0..7 of eight frames (eight 256-bit loads) are transposed into eight frames of each channel, the
// channels in use converted, and the sums made in registers with the operations of ApplyInputBassSums in
// its order; each port's frames go out with their zero imaginary parts. The peaks cover every channel
// whatever is written: a container's value on the 24-bit scale never decreases as the container grows, so
// the largest container of a channel gives its largest value. `frames` is a multiple of 8.
__attribute__((target("avx2"))) void ConvertContainerPortsAvx2(const uint8_t* device, int frames, int channels,
                                                               const int channel_of_port[kEnginePortCount],
                                                               uint32_t ports, SubSums sums, float g,
                                                               float* const blocks[kEnginePortCount],
                                                               float peaks[kInputPeakCount]) {
    constexpr uint32_t kSubPorts = 1u << 4 | 1u << 8;  // ports 5 and 9
    if (!(ports & kSubPorts)) sums = SubSums::kNone;
    // The channels the written ports read, directly or through the sums.
    uint32_t sources = ports;
    if (sums == SubSums::kSummed) sources |= 1u << 0 | 1u << 2;
    if (sums == SubSums::kSurround52 || sums == SubSums::kSurround72) sources |= 0xFFu;
    uint32_t wanted = 0;
    for (int port = 1; port <= kEnginePortCount; ++port)
        if ((sources >> (port - 1) & 1) && channel_of_port[port - 1] >= 0) wanted |= 1u << channel_of_port[port - 1];

    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(channels) * 4;
    __m256i peak = _mm256_setzero_si256();
    if (sums == SubSums::kNone && __builtin_popcount(wanted) <= 3) {
        ConvertFewChannelsAvx2(device, frames, stride, channel_of_port, ports, blocks, &peak);
    } else if (BlockPathHasAvx512() && frames % 16 == 0) {
        peak = ConvertManyChannelsAvx512(device, frames, stride, wanted, channel_of_port, ports, sums, g, blocks, peak);
    } else {
        const __m256 zero = _mm256_setzero_ps();
        const __m256 gain = _mm256_set1_ps(g);
        for (int j = 0; j < frames; j += 8) {
            __m256 r[8];
            for (int f = 0; f < 8; ++f) {
                const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(device + (j + f) * stride));
                peak = _mm256_max_epi32(v, peak);
                r[f] = _mm256_castsi256_ps(v);
            }
            Transpose8x8(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]);  // row c: channel c
            Floats8 x[8];
            for (uint32_t w = wanted; w; w &= w - 1) {
                const int c = __builtin_ctz(w);
                x[c] = (Floats8)ConvertContainers(_mm256_castps_si256(r[c]));
            }
            const Floats8 gain8 = (Floats8)gain;
            const PortValues<Floats8> values(x, channel_of_port, sums, gain8);
            for (uint32_t w = ports; w; w &= w - 1) {
                const int port = __builtin_ctz(w) + 1;
                const __m256 c = (__m256)values.Port(port);
                const __m256 lo = _mm256_unpacklo_ps(c, zero), hi = _mm256_unpackhi_ps(c, zero);
                float* out = blocks[port - 1] + 2 * j;
                _mm256_storeu_ps(out, _mm256_permute2f128_ps(lo, hi, 0x20));
                _mm256_storeu_ps(out + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
            }
        }
    }
    // A port's peak is its channel's (the largest positive value, or 0), 0 for a port without a channel.
    alignas(32) int32_t channel_peaks[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(channel_peaks), peak);
    for (int port = 1; port <= 8; ++port) {
        const int channel = channel_of_port[port - 1];
        peaks[port - 1] = channel < 0 ? 0.0f : Convert32BitContainer(channel_peaks[channel]);
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
                         float* const input_blocks[kEnginePortCount], float input_peaks[kInputPeakCount],
                         uint32_t ports) {
    ports &= kAllEnginePorts;
#ifdef HV_CONVERT_AVX2
    if (!IsTwoChannelFrame(s) && frames % 8 == 0 && BlockPathHasAvx2()) {
        // Device channel of each port (port 9 is port 5's copy), -1 for a port that gets 0.
        const int* port_channel = s.InputMode == 3 ? kPortChannelSixInputs : kPortChannelMultichannel;
        int channel_of_port[kEnginePortCount];
        for (int port = 1; port <= 8; ++port)
            channel_of_port[port - 1] = s.CenterToLr == 1 && port <= 3 ? kCentreChannel : port_channel[port - 1];
        channel_of_port[8] = channel_of_port[4];
        const bool surround_52 = s.SystemConfiguration == kConfiguration52Bbm;
        const bool surround_72 = s.SystemConfiguration == kConfiguration72Bbm || s.SystemConfiguration == kConfiguration72BbmCabs;
        SubSums sums = SubSums::kNone;
        if (surround_52 || surround_72) {
            if (s.BassMode == kBassModeBbmInput) sums = surround_72 ? SubSums::kSurround72 : SubSums::kSurround52;
            if (s.BassMode == kBassModeSummed) sums = SubSums::kSummed;
        }
        ConvertContainerPortsAvx2(device, frames, CaptureFrameChannels(s), channel_of_port, ports, sums, bbm_gain,
                                  input_blocks, input_peaks);
        return;
    }
#endif
    ConvertCaptureBlockReference(device, frames, s, bbm_gain, input_blocks, input_peaks, ports);
}

void ConvertCaptureBlockReference(const uint8_t* device, int frames, const CaptureConversionSettings& s, float bbm_gain,
                                  float* const input_blocks[kEnginePortCount], float input_peaks[kInputPeakCount],
                                  uint32_t ports) {
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
            if (!(ports >> (port - 1) & 1)) continue;
            input_blocks[port - 1][2 * j] = p[port];
            input_blocks[port - 1][2 * j + 1] = 0.0f;
        }
    }
}
