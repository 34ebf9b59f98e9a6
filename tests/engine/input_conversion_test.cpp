// Capture conversion: sample scaling, port mapping per input mode, "Center->LR", the bass-management input
// sums and the peaks, on device blocks built byte by byte.
#include "engine/input_conversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/block_path.h"

namespace {

constexpr int kFrames = 4;

struct Ports {
    std::vector<std::vector<float>> blocks = std::vector<std::vector<float>>(9, std::vector<float>(4 * kFrames, -99.0f));
    float* ptr[9];
    float peaks[8];
    Ports() {
        for (int i = 0; i < 9; ++i) ptr[i] = blocks[i].data();
    }
    float at(int port, int frame) const { return blocks[port - 1][2 * frame]; }
};

// Device frames of 32-bit containers holding the 24-bit value v << 8.
std::vector<uint8_t> Device32(int channels, const std::vector<std::vector<int32_t>>& frames) {
    std::vector<uint8_t> out;
    for (const auto& f : frames) {
        for (int c = 0; c < channels; ++c) {
            const uint32_t v = static_cast<uint32_t>(f[c]);
            for (int b = 0; b < 4; ++b) out.push_back(static_cast<uint8_t>(v >> (8 * b)));
        }
    }
    return out;
}

std::vector<int32_t> Frame12(std::initializer_list<int32_t> samples24) {
    std::vector<int32_t> f(12, 0);
    int c = 0;
    for (int32_t v : samples24) f[c++] = v * 256;
    return f;
}

TEST(InputConversion, SampleScales) {
    EXPECT_EQ(Convert16BitSample(-32768), -8388608.0f);
    EXPECT_EQ(Convert16BitSample(32767), 8388352.0f);
    EXPECT_EQ(Convert32BitContainer(-1), 0.0f);
    EXPECT_EQ(Convert32BitContainer(-256), -1.0f);
    EXPECT_EQ(Convert32BitContainer(-257), -1.0f);
    EXPECT_EQ(Convert32BitContainer(255), 0.0f);
    EXPECT_EQ(Convert32BitContainer(INT32_MIN), -8388608.0f);
    EXPECT_EQ(Convert32BitContainer(INT32_MAX), 8388607.0f);
}

TEST(InputConversion, SixteenBitTwoChannels) {
    const int16_t samples[kFrames * 2] = {-32768, 100, 1, -1, 0, 0, 2, 3};
    std::vector<uint8_t> dev(sizeof samples);
    for (int i = 0; i < kFrames * 2; ++i) {
        const uint16_t u = static_cast<uint16_t>(samples[i]);
        dev[2 * i] = static_cast<uint8_t>(u & 0xFF);
        dev[2 * i + 1] = static_cast<uint8_t>(u >> 8);
    }
    Ports p;
    CaptureConversionSettings s;
    s.Capture24Bit = 0;
    s.InputMode = 1;  // 16-bit capture carries two channels whatever the mode
    s.CenterToLr = 1;
    ConvertCaptureBlock(dev.data(), kFrames, s, 0.5f, p.ptr, p.peaks);
    EXPECT_EQ(p.at(1, 0), -8388608.0f);
    EXPECT_EQ(p.at(3, 0), 25600.0f);
    EXPECT_EQ(p.at(3, 1), -256.0f);
    for (int port : {2, 4, 5, 6, 7, 8, 9})
        for (int j = 0; j < kFrames; ++j) EXPECT_EQ(p.at(port, j), 0.0f);
    for (int port = 1; port <= 9; ++port)
        for (int j = 0; j < kFrames; ++j) EXPECT_EQ(p.blocks[port - 1][2 * j + 1], 0.0f);
    EXPECT_EQ(p.peaks[0], 512.0f);
    EXPECT_EQ(p.peaks[2], 25600.0f);
    // Only points 0..N-1 are written.
    EXPECT_EQ(p.blocks[0][2 * kFrames], -99.0f);
}

TEST(InputConversion, PortMappingOfTheMultichannelModes) {
    std::vector<std::vector<int32_t>> frames(kFrames, Frame12({10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21}));
    for (uint32_t mode : {1u, 2u, 3u}) {
        const int channels = mode == 2 ? 8 : 12;
        const auto dev = Device32(channels, frames);
        Ports p;
        CaptureConversionSettings s;
        s.InputMode = mode;
        ConvertCaptureBlock(dev.data(), kFrames, s, 0.5f, p.ptr, p.peaks);
        EXPECT_EQ(p.at(1, 2), 10.0f);
        EXPECT_EQ(p.at(2, 2), 12.0f);
        EXPECT_EQ(p.at(3, 2), 11.0f);
        EXPECT_EQ(p.at(4, 2), 13.0f);
        EXPECT_EQ(p.at(5, 2), 14.0f);
        EXPECT_EQ(p.at(6, 2), 15.0f);
        EXPECT_EQ(p.at(7, 2), mode == 3 ? 0.0f : 16.0f);
        EXPECT_EQ(p.at(8, 2), mode == 3 ? 0.0f : 17.0f);
        EXPECT_EQ(p.at(9, 2), 14.0f);
        EXPECT_EQ(p.peaks[6], mode == 3 ? 0.0f : 16.0f);
        EXPECT_EQ(p.peaks[7], mode == 3 ? 0.0f : 17.0f);
        EXPECT_EQ(CaptureFrameBytes(s), 4 * channels);
    }
}

TEST(InputConversion, TwoInputsIgnoreCentreToLr) {
    const auto dev = Device32(2, std::vector<std::vector<int32_t>>(kFrames, {5 * 256, -7 * 256}));
    Ports p;
    CaptureConversionSettings s;
    s.InputMode = 0;
    s.CenterToLr = 1;
    ConvertCaptureBlock(dev.data(), kFrames, s, 0.5f, p.ptr, p.peaks);
    EXPECT_EQ(p.at(1, 0), 5.0f);
    EXPECT_EQ(p.at(3, 0), -7.0f);
    for (int port : {2, 4, 5, 6, 7, 8, 9}) EXPECT_EQ(p.at(port, 0), 0.0f);
    EXPECT_EQ(p.peaks[2], 0.0f);  // negative samples never raise a peak
}

TEST(InputConversion, CentreToLrFeedsPortsOneTwoThree) {
    const auto dev = Device32(12, std::vector<std::vector<int32_t>>(kFrames, Frame12({1, 2, 3, 4, 5, 6, 7, 8})));
    Ports p;
    CaptureConversionSettings s;
    s.InputMode = 1;
    s.CenterToLr = 1;
    ConvertCaptureBlock(dev.data(), kFrames, s, 0.5f, p.ptr, p.peaks);
    EXPECT_EQ(p.at(1, 0), 3.0f);
    EXPECT_EQ(p.at(2, 0), 3.0f);
    EXPECT_EQ(p.at(3, 0), 3.0f);
    EXPECT_EQ(p.peaks[0], 3.0f);
    EXPECT_EQ(p.peaks[1], 3.0f);
    EXPECT_EQ(p.peaks[2], 3.0f);
}

// Ports 1..8 of the frame are 1..8: device channels 0, 2, 1, 3, 4, 5, 6, 7 carry them.
std::vector<uint8_t> PortsOneToEight() {
    return Device32(12, std::vector<std::vector<int32_t>>(kFrames, Frame12({1, 3, 2, 4, 5, 6, 7, 8})));
}

TEST(InputConversion, BbmInputSums) {
    const auto dev = PortsOneToEight();
    CaptureConversionSettings s;
    s.InputMode = 1;
    s.BassMode = 1;
    s.SystemConfiguration = 3;
    {
        Ports p;
        ConvertCaptureBlock(dev.data(), kFrames, s, 0.5f, p.ptr, p.peaks);
        EXPECT_EQ(p.at(5, 1), 8.5f);
        EXPECT_EQ(p.at(9, 1), 10.5f);
        EXPECT_EQ(p.peaks[4], 5.0f);  // peaks are taken before the sums
    }
    for (uint32_t config : {4u, 5u}) {
        Ports p;
        s.SystemConfiguration = config;
        ConvertCaptureBlock(dev.data(), kFrames, s, 0.5f, p.ptr, p.peaks);
        EXPECT_EQ(p.at(5, 1), 12.0f);
        EXPECT_EQ(p.at(9, 1), 14.5f);
    }
    {
        // Stereo: no sum, port 9 is the raw sub input.
        Ports p;
        s.SystemConfiguration = 0;
        ConvertCaptureBlock(dev.data(), kFrames, s, 0.5f, p.ptr, p.peaks);
        EXPECT_EQ(p.at(5, 1), 5.0f);
        EXPECT_EQ(p.at(9, 1), 5.0f);
    }
}

TEST(InputConversion, SummedLeftRightReplacesTheSubInput) {
    const auto dev = PortsOneToEight();
    CaptureConversionSettings s;
    s.InputMode = 1;
    s.BassMode = 2;
    for (uint32_t config = 0; config <= 6; ++config) {
        Ports p;
        s.SystemConfiguration = config;
        ConvertCaptureBlock(dev.data(), kFrames, s, 0.5f, p.ptr, p.peaks);
        const bool summed = config >= 3 && config <= 5;
        EXPECT_EQ(p.at(5, 0), summed ? 2.0f : 5.0f) << config;  // 0.5 x (1 + 3)
        EXPECT_EQ(p.at(9, 0), summed ? 2.0f : 5.0f) << config;
    }
    // "Inputs 1-2" sums in every configuration.
    const auto two = Device32(2, std::vector<std::vector<int32_t>>(kFrames, {4 * 256, 6 * 256}));
    s.InputMode = 0;
    for (uint32_t config = 0; config <= 6; ++config) {
        Ports p;
        s.SystemConfiguration = config;
        s.BassMode = 2;
        ConvertCaptureBlock(two.data(), kFrames, s, 0.25f, p.ptr, p.peaks);
        EXPECT_EQ(p.at(5, 0), 2.5f);
        EXPECT_EQ(p.at(9, 0), 2.5f);
        s.BassMode = 1;
        ConvertCaptureBlock(two.data(), kFrames, s, 0.25f, p.ptr, p.peaks);
        EXPECT_EQ(p.at(5, 0), 1.0f);
        EXPECT_EQ(p.at(9, 0), 1.5f);
    }
}

TEST(InputConversion, NegativeBlockLeavesPeaksAtZero) {
    const auto dev = Device32(12, std::vector<std::vector<int32_t>>(kFrames, Frame12({-1, -2, -3, -4, -5, -6, -7, -8})));
    Ports p;
    CaptureConversionSettings s;
    s.InputMode = 1;
    for (float& v : p.peaks) v = 123.0f;  // reset every block
    ConvertCaptureBlock(dev.data(), kFrames, s, 0.5f, p.ptr, p.peaks);
    for (float v : p.peaks) EXPECT_EQ(v, 0.0f);
}

}  // namespace

namespace {

// The conversion the engine takes (eight frames at a time on processors with AVX2) gives the reference's
// floats, bit for bit, in every 32-bit multichannel mode, design, bass mode and "Center->LR" setting, for
// random containers and the edge values of the 24-bit scale; asked for some ports only (one port, the two
// sub ports whose sums read the other channels, a few), it writes those ports' floats, leaves the others as
// they were and still gives every peak.
TEST(InputConversion, EveryFormMatchesTheReference) {
    const int frames = 64;
    std::mt19937 rng(9);
    const int32_t edges[] = {-1, -255, -256, -257, 255, 256, INT32_MIN, INT32_MAX, 0, -8388608 * 256, 8388607 * 256};
    std::vector<uint32_t> masks = {kAllEnginePorts, 1u << 4 | 1u << 8, 1u << 0 | 1u << 2, 1u << 1 | 1u << 4 | 1u << 7};
    for (int port = 1; port <= 9; ++port) masks.push_back(1u << (port - 1));
    // The widest kernels (512-bit where the processor has them) and the 256-bit ones.
    for (BlockKernels kernels : {BlockKernels::kWidest, BlockKernels::kAvx2})
    for (uint32_t mode : {1u, 2u, 3u}) {
        LimitBlockPathKernels(kernels);
        CaptureConversionSettings s;
        s.InputMode = mode;
        std::vector<uint8_t> device(static_cast<size_t>(CaptureFrameBytes(s)) * frames);
        for (size_t i = 0; i < device.size(); i += 4) {
            const int32_t v = (rng() % 4 == 0) ? edges[rng() % (sizeof edges / sizeof edges[0])] : static_cast<int32_t>(rng());
            std::memcpy(&device[i], &v, 4);
        }
        for (uint32_t centre : {0u, 1u}) {
            for (uint32_t bass = 0; bass <= 3; ++bass) {
                for (uint32_t config = 0; config <= 6; ++config) {
                    s.CenterToLr = centre;
                    s.BassMode = bass;
                    s.SystemConfiguration = config;
                    std::vector<std::vector<float>> ref(9, std::vector<float>(4 * frames, -7.0f));
                    float* pr[9];
                    for (int i = 0; i < 9; ++i) pr[i] = ref[i].data();
                    float peaks_ref[8];
                    ConvertCaptureBlockReference(device.data(), frames, s, 0.35f, pr, peaks_ref);
                    for (uint32_t mask : masks) {
                        std::vector<std::vector<float>> a(9, std::vector<float>(4 * frames, -7.0f)), b = a;
                        float* pa[9];
                        float* pb[9];
                        for (int i = 0; i < 9; ++i) {
                            pa[i] = a[i].data();
                            pb[i] = b[i].data();
                        }
                        float peaks_a[8], peaks_b[8];
                        ConvertCaptureBlock(device.data(), frames, s, 0.35f, pa, peaks_a, mask);
                        ConvertCaptureBlockReference(device.data(), frames, s, 0.35f, pb, peaks_b, mask);
                        for (int port = 0; port < 9; ++port) {
                            const std::vector<float>& expected = (mask >> port & 1) ? ref[port] : std::vector<float>(4 * frames, -7.0f);
                            ASSERT_EQ(0, std::memcmp(a[port].data(), expected.data(), expected.size() * sizeof(float)))
                                << "mode " << mode << " centre " << centre << " bass " << bass << " config " << config
                                << " mask " << mask << " port " << port + 1;
                            ASSERT_EQ(0, std::memcmp(b[port].data(), expected.data(), expected.size() * sizeof(float)))
                                << "reference, mask " << mask << " port " << port + 1;
                        }
                        ASSERT_EQ(0, std::memcmp(peaks_a, peaks_ref, sizeof peaks_a)) << "mask " << mask;
                        ASSERT_EQ(0, std::memcmp(peaks_b, peaks_ref, sizeof peaks_b)) << "mask " << mask;
                    }
                }
            }
        }
    }
    LimitBlockPathKernels(BlockKernels::kWidest);
}

}  // namespace
