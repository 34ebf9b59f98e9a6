#include "measure/ir_import.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <vector>

#include "app/raw_file.h"
#include "test_util.h"

#if defined(__SANITIZE_ADDRESS__)
#include <atomic>

// The address sanitiser's allocation hooks (its header is not installed with every compiler).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace {

constexpr std::size_t kCapacity = 1072000;

struct Channels {
    std::vector<float> ref = std::vector<float>(kCapacity), in = std::vector<float>(kCapacity);
};

void WriteRaw(const std::string& path, const std::vector<int32_t>& samples, int bytes_per_sample) {
    std::ofstream f(path, std::ios::binary);
    for (int32_t v : samples) f.write(reinterpret_cast<const char*>(&v), bytes_per_sample);  // little-endian
}

// A WAV written by sox from raw samples, so the header is another program's. Skips when sox is not there.
bool SoxWav(const std::string& raw, const std::string& wav, int bits, int channels) {
#ifdef _WIN32
    (void)raw, (void)wav, (void)bits, (void)channels;
    return false;
#else
    const std::string command = "sox -t raw -r 48000 -e signed-integer -L -b " + std::to_string(bits) + " -c " +
                                std::to_string(channels) + " '" + raw + "' '" + wav + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
#endif
}

}  // namespace

TEST(IrImport, TwentyFourBitWavWrittenBySox) {
    ScratchDir dir;
    std::vector<int32_t> samples = {1, -1, 8388607, -8388608, 256, -2560, 123456};
    WriteRaw(dir.File("a.raw"), samples, 3);
    if (!SoxWav(dir.File("a.raw"), dir.File("a.wav"), 24, 1)) GTEST_SKIP() << "sox is not available";
    ImpulseWav wav;
    MessageList out;
    ASSERT_TRUE(ReadImpulseWav(dir.File("a.wav"), &wav, &out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "WAV File 21 Bytes, Channels = 1, Bits Per Channel = 24, Sampling = 48000 ");
    EXPECT_EQ(out[0].icon, MessageIcon::None);
    Channels c;
    const ImpulseImport r = ImportImpulseWav(wav, 0, c.ref.data(), c.in.data(), kCapacity);
    EXPECT_EQ(r.samples, 7);
    for (std::size_t k = 0; k < samples.size(); ++k) EXPECT_EQ(c.in[50 + k], samples[k] / 256.0f) << k;
    EXPECT_EQ(c.in[49], 0.0f);
    EXPECT_EQ(c.in[57], 0.0f);
    EXPECT_EQ(c.ref[51], 32000.0f);
    EXPECT_EQ(r.ref_level, 32000.0f);
    EXPECT_EQ(r.in_level, 32768.0f);
}

// 16-bit samples are read as 16-bit samples (on the same scale as 24-bit ones divided by 256); No picks the
// right channel.
TEST(IrImport, SixteenBitStereoRightChannel) {
    ScratchDir dir;
    std::vector<int32_t> interleaved;
    for (int k = 0; k < 500; ++k) interleaved.push_back(k), interleaved.push_back(-3 * k);
    WriteRaw(dir.File("s.raw"), interleaved, 2);
    if (!SoxWav(dir.File("s.raw"), dir.File("s.wav"), 16, 2)) GTEST_SKIP() << "sox is not available";
    ImpulseWav wav;
    MessageList out;
    ASSERT_TRUE(ReadImpulseWav(dir.File("s.wav"), &wav, &out));
    EXPECT_EQ(ImportLeftChannelMessage().text, "Importing LEFT Channel? [Press YES]\nImporting RIGHT Channel [Press NO]");
    EXPECT_EQ(ImportLeftChannelMessage().buttons, MessageButtons::YesNo);
    Channels c;
    EXPECT_EQ(ImportImpulseWav(wav, 1, c.ref.data(), c.in.data(), kCapacity).samples, 500);
    for (int k = 0; k < 500; ++k) ASSERT_EQ(c.in[50 + k], -3.0f * k) << k;
    EXPECT_EQ(c.in[550], 0.0f);
}

// Written here rather than by sox, so that the Windows build checks the reader too.
TEST(IrImport, LongDataChunkFillsTheChannelAndStops) {
    ScratchDir dir;
    const uint32_t samples = 1100000, data = 2 * samples;
    std::vector<unsigned char> wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                      1, 0, 1, 0, 0x80, 0xBB, 0, 0, 0, 0x77, 1, 0, 2, 0, 16, 0, 'd', 'a', 't', 'a'};
    for (int b = 0; b < 4; ++b) wav.push_back(static_cast<unsigned char>(data >> (8 * b)));
    const uint32_t riff = static_cast<uint32_t>(wav.size()) - 8 + data;
    for (int b = 0; b < 4; ++b) wav[4 + b] = static_cast<unsigned char>(riff >> (8 * b));
    for (uint32_t k = 0; k < samples; ++k) {
        const auto v = static_cast<int16_t>(k % 30000);
        wav.push_back(static_cast<unsigned char>(v & 0xFF));
        wav.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    }
    std::ofstream(dir.File("l.wav"), std::ios::binary).write(reinterpret_cast<const char*>(wav.data()), wav.size());
    ImpulseWav w;
    ASSERT_TRUE(ReadImpulseWav(dir.File("l.wav"), &w, nullptr));
    Channels c;
    MessageList out;
    EXPECT_EQ(ImportImpulseWav(w, 0, c.ref.data(), c.in.data(), kCapacity, &out).samples, 1071950);
    EXPECT_EQ(c.in[50], 0.0f);
    EXPECT_EQ(c.in[51], 1.0f);
    EXPECT_EQ(c.in[kCapacity - 1], static_cast<float>(1071949 % 30000));
    // The cut is said, with what the file held.
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "This WAV File Holds 1100000 Samples Of The Channel\nOnly The First 1071950 Were Imported");
    EXPECT_EQ(out[0].icon, MessageIcon::Warning);
}

TEST(IrImport, WavRefusals) {
    ScratchDir dir;
    MessageList out;
    ImpulseWav wav;
    EXPECT_FALSE(ReadImpulseWav(dir.File("none.wav"), &wav, &out));
    std::ofstream(dir.File("text.wav")) << "This is not a RIFF file at all";
    EXPECT_FALSE(ReadImpulseWav(dir.File("text.wav"), &wav, &out));
    // A RIFF WAVE with a float format chunk.
    std::vector<unsigned char> f = {'R', 'I', 'F', 'F', 36 + 8, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                    3, 0, 1, 0, 0x80, 0xBB, 0, 0, 0, 0xEE, 2, 0, 4, 0, 32, 0, 'd', 'a', 't', 'a', 8, 0, 0, 0,
                                    0, 0, 0, 0, 0, 0, 0, 0};
    std::ofstream(dir.File("float.wav"), std::ios::binary).write(reinterpret_cast<const char*>(f.data()), f.size());
    EXPECT_FALSE(ReadImpulseWav(dir.File("float.wav"), &wav, &out));
    // The same without its data chunk.
    f.resize(36);
    f[4] = 28;
    std::ofstream(dir.File("nodata.wav"), std::ios::binary).write(reinterpret_cast<const char*>(f.data()), f.size());
    EXPECT_FALSE(ReadImpulseWav(dir.File("nodata.wav"), &wav, &out));
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].text, "Failed to open WAV file 3");
    EXPECT_EQ(out[0].icon, MessageIcon::Warning);
    EXPECT_EQ(out[1].text, "Not a WAV-audio file");
    EXPECT_EQ(out[1].icon, MessageIcon::None);
    EXPECT_EQ(out[2].text.substr(0, 9), "WAV File ");  // the float file's notice, then its refusal
    EXPECT_EQ(out[3].text, kWavUnsupported);
    EXPECT_EQ(out[4].text, "Unable to locate 'data' chunk");
}

#if defined(__SANITIZE_ADDRESS__)
namespace {
// The largest block the heap handed out while armed (the sanitiser's hooks cannot be removed again).
std::atomic<bool> g_watch_allocations{false};
std::atomic<std::size_t> g_largest_allocation{0};
void WatchAllocation(const volatile void*, std::size_t size) {
    if (!g_watch_allocations.load(std::memory_order_relaxed)) return;
    std::size_t seen = g_largest_allocation.load(std::memory_order_relaxed);
    while (size > seen && !g_largest_allocation.compare_exchange_weak(seen, size)) {
    }
}
void IgnoreFree(const volatile void*) {}
}  // namespace
#endif

// A "fmt " chunk whose size claims a gigabyte in a file of a few dozen bytes is refused as unreadable, without
// first asking the heap for the gigabyte.
TEST(IrImport, FmtChunkLargerThanTheFileIsRefusedUnread) {
    ScratchDir dir;
    const std::vector<unsigned char> wav = {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                            0, 0, 0, 0x40, 1, 0, 1, 0, 0x80, 0xBB, 0, 0, 0, 0x77, 1, 0, 2, 0, 16, 0,
                                            'd', 'a', 't', 'a', 0, 0, 0, 0};
    std::ofstream(dir.File("big.wav"), std::ios::binary).write(reinterpret_cast<const char*>(wav.data()), wav.size());
#if defined(__SANITIZE_ADDRESS__)
    static const int hooked = __sanitizer_install_malloc_and_free_hooks(WatchAllocation, IgnoreFree);
    ASSERT_NE(hooked, 0);
    g_largest_allocation = 0;
    g_watch_allocations = true;
#endif
    ImpulseWav w;
    MessageList out;
    const bool read = ReadImpulseWav(dir.File("big.wav"), &w, &out);
#if defined(__SANITIZE_ADDRESS__)
    g_watch_allocations = false;
    EXPECT_LT(g_largest_allocation.load(), std::size_t{1} << 20);
#endif
    EXPECT_FALSE(read);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, kWavFmtReadError);
    EXPECT_EQ(out[0].icon, MessageIcon::None);
}

TEST(IrImport, TextValuesHeadersAndTheLastLines) {
    ScratchDir dir;
    const std::string path = dir.File("ir.txt");
    std::ofstream(path) << "Time Amplitude\r\n* exported impulse\r\n0.5\r\n-0.25 1e-3\r\n\r\n  +2.5E-1\r\n0.125\r\n";
    Channels c;
    ImpulseImport r;
    MessageList out;
    ASSERT_TRUE(ImportImpulseText(path, c.ref.data(), c.in.data(), kCapacity, &r, &out));
    EXPECT_EQ(r.samples, 5);
    const float want[5] = {200000.0f, -100000.0f, 400.0f, 100000.0f, 50000.0f};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(c.in[k], want[k]) << k;
    EXPECT_EQ(c.in[5], 0.0f);
    EXPECT_EQ(c.ref[52], 32500.0f);
    EXPECT_EQ(r.in_level, 200000.0f);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "File=" + std::to_string(RawFileSize(path)) + " bytes, Data=5 points");
    EXPECT_EQ(out[0].caption, "Warning !! Importing Impulse Response TXT File");

    // At most 256,000 values.
    {
        std::ofstream many(path);
        for (int k = 0; k < 300000; ++k) many << (k % 7) * 0.001 << "\n";
    }
    std::fill(c.in.begin(), c.in.end(), 0.0f);
    ASSERT_TRUE(ImportImpulseText(path, c.ref.data(), c.in.data(), kCapacity, &r, nullptr));
    EXPECT_EQ(r.samples, 256000);
    EXPECT_EQ(c.in[255999], static_cast<float>((255999 % 7) * 0.001 * 400000.0));
    EXPECT_EQ(c.in[256000], 0.0f);
}

TEST(IrImport, MalformedTextNamesItsLineAndImportsNothing) {
    ScratchDir dir;
    const std::string path = dir.File("bad.txt");
    std::ofstream(path) << "Header\n0.5\n0.25 1.2.3\n0.1\n";
    Channels c;
    MessageList out;
    EXPECT_FALSE(ImportImpulseText(path, c.ref.data(), c.in.data(), kCapacity, nullptr, &out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "This Impulse Response File is NOT Recognized\nLine 3: 0.25 1.2.3");
    EXPECT_EQ(c.in[0], 0.0f);
    EXPECT_EQ(c.ref[52], 0.0f);
    // A value that overflows a float once scaled is no sample either.
    std::ofstream(path) << "1e40\n";
    out.clear();
    EXPECT_FALSE(ImportImpulseText(path, c.ref.data(), c.in.data(), kCapacity, nullptr, &out));
    EXPECT_EQ(out[0].text, "This Impulse Response File is NOT Recognized\nLine 1: 1e40");
    out.clear();
    EXPECT_FALSE(ImportImpulseText(dir.File("none.txt"), c.ref.data(), c.in.data(), kCapacity, nullptr, &out));
    EXPECT_EQ(out[0].caption, "Unable To Open");
    // A value written as "nan" or "inf" would drop out and move every later sample one place; a file without
    // any value is no response of silence.
    const std::pair<const char*, const char*> refused[] = {
        {"Time Value\n0.5\nnan\n0.25\n", "Line 3: nan"},
        {"0.001 0.5\n0.002\tNaN\n", "Line 2: 0.002\tNaN"},
        {"0.5\n-1.#INF\n", "Line 2: -1.#INF"},
        {"0.5\nInfinity\n", "Line 2: Infinity"},
        {"Time Amplitude\r\n* nothing measured\r\n", "It Holds No Value"},
        {"", "It Holds No Value"},
    };
    for (const auto& [text, named] : refused) {
        std::ofstream(path, std::ios::binary) << text;
        out.clear();
        EXPECT_FALSE(ImportImpulseText(path, c.ref.data(), c.in.data(), kCapacity, nullptr, &out)) << text;
        ASSERT_EQ(out.size(), 1u) << text;
        EXPECT_EQ(out[0].text, std::string("This Impulse Response File is NOT Recognized\n") + named);
        EXPECT_EQ(c.in[0], 0.0f);
    }
}

#ifndef _WIN32
// A named pipe chosen as an impulse file is refused as a file that does not open, without waiting for a writer.
TEST(IrImport, NamedPipeIsRefusedWithoutWaiting) {
    ScratchDir dir;
    Channels c;
    MessageList out;
    ImpulseWav wav;
    EXPECT_TRUE(ReturnsOnANamedPipe(dir.File("p.wav"), [&] {
        EXPECT_FALSE(ReadImpulseWav(dir.File("p.wav"), &wav, &out));
    }));
    EXPECT_TRUE(ReturnsOnANamedPipe(dir.File("p.txt"), [&] {
        EXPECT_FALSE(ImportImpulseText(dir.File("p.txt"), c.ref.data(), c.in.data(), kCapacity, nullptr, &out));
    }));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].text, "Failed to open WAV file 3");
    EXPECT_EQ(out[1].caption, "Unable To Open");
}
#endif
