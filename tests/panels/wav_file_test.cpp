// The WAV reading of the player: files written by sox and by Python's wave module (16 and 24 bits, two
// and six channels, extensible headers with a "fact" chunk, LIST chunks of odd size before "data") read back
// sample for sample, and hand-built bad files each refused with its own message.
#include "panels/wav_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "panels/wav_block.h"
#include "test_util.h"
#include "wav_test_files.h"

namespace {

// Runs a shell command of the native build; the Windows test binary runs under Wine, without the tools.
bool RunTool(const std::string& command) {
#ifdef _WIN32
    (void)command;
    return false;
#else
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

#ifdef _WIN32
#define SKIP_WITHOUT_TOOLS() GTEST_SKIP() << "sox and Python run in the native build"
#else
#define SKIP_WITHOUT_TOOLS() (void)0
#endif

std::vector<int32_t> RandomSamples(std::size_t count, int bits, unsigned seed) {
    std::mt19937 rng(seed);
    const int32_t top = (1 << (bits - 1)) - 1;
    std::uniform_int_distribution<int32_t> value(-top - 1, top);
    std::vector<int32_t> v(count);
    for (int32_t& s : v) s = value(rng);
    v[0] = top;  // both extremes, so the sign extension is seen
    v[1] = -top - 1;
    return v;
}

void WriteRaw(const std::string& path, const std::vector<int32_t>& samples, int bytes) {
    std::vector<uint8_t> raw;
    for (int32_t s : samples)
        for (int b = 0; b < bytes; ++b) raw.push_back(static_cast<uint8_t>(static_cast<uint32_t>(s) >> (8 * b)));
    WriteFileBytes(path, raw);
}

// Loads the file as the player does and checks every sample of every channel through the block conversion.
void ExpectSamples(const std::string& path, int channels, int bits, uint32_t rate, const std::vector<int32_t>& expected) {
    WavFileInfo info;
    WavSong song;
    MessageList messages;
    bool opened = false;
    ASSERT_EQ(LoadWavSong(path, &info, &song, &messages, &opened), WavCheck::kOk) << path;
    ASSERT_TRUE(messages.empty());
    EXPECT_EQ(info.Channels, static_cast<uint32_t>(channels));
    EXPECT_EQ(info.BitsPerSample, static_cast<uint32_t>(bits));
    EXPECT_EQ(info.SampleRate, rate);
    ASSERT_EQ(song.Size, expected.size() * (bits / 8));

    const int frames = static_cast<int>(expected.size()) / channels;
    std::vector<std::vector<float>> ports(kEnginePortCount, std::vector<float>(4 * frames));
    float* blocks[kEnginePortCount];
    for (int p = 0; p < kEnginePortCount; ++p) blocks[p] = ports[p].data();
    float peaks[kInputPeakCount];
    WavBlockFormat format;
    format.Channels = static_cast<uint32_t>(channels);
    format.Is24Bit = bits == 24;
    ConvertWavBlock(song.Data.get(), frames, format, 0.5f, blocks, peaks);
    // Port of each file channel: stereo left and right to 1 and 3; six channels in WAV order to 1, 3, 2, 5, 4, 6.
    const int stereo[2] = {1, 3};
    const int six[6] = {1, 3, 2, 5, 4, 6};
    const double scale = bits == 16 ? 256.0 : 1.0;
    for (int j = 0; j < frames; ++j) {
        for (int c = 0; c < channels; ++c) {
            const int port = channels == 2 ? stereo[c] : six[c];
            ASSERT_EQ(ports[port - 1][2 * j], expected[static_cast<std::size_t>(j) * channels + c] * scale)
                << path << " frame " << j << " channel " << c;
        }
    }
}

TEST(WavFile, SoxFilesReadSampleForSample) {
    SKIP_WITHOUT_TOOLS();
    ScratchDir dir;
    struct Case {
        int channels, bits;
        uint32_t rate;
    };
    for (const Case c : {Case{2, 16, 44100}, Case{2, 24, 96000}, Case{6, 24, 48000}, Case{2, 24, 44100}}) {
        const std::string raw = dir.File("in.raw"), wav = dir.File("sox.wav");
        const std::vector<int32_t> samples = RandomSamples(static_cast<std::size_t>(c.channels) * 3001, c.bits, c.rate + c.channels);
        WriteRaw(raw, samples, c.bits / 8);
        ASSERT_TRUE(RunTool("sox -D -t raw -r " + std::to_string(c.rate) + " -e signed -b " + std::to_string(c.bits) +
                            " -c " + std::to_string(c.channels) + " -L " + raw + " " + wav));
        ExpectSamples(wav, c.channels, c.bits, c.rate, samples);
        // sox writes the extensible header (40-byte "fmt " and a "fact" chunk) for 24 bits and six channels.
        const std::vector<uint8_t> bytes = ReadFileBytes(wav);
        if (c.bits == 24) {
            EXPECT_EQ(bytes[16], 40);
            EXPECT_EQ(bytes[20], 0xFE);
            EXPECT_EQ(std::string(bytes.begin() + 60, bytes.begin() + 64), "fact");
        }
    }
}

TEST(WavFile, PythonWaveFilesWithOddListChunksBeforeData) {
    SKIP_WITHOUT_TOOLS();
    ScratchDir dir;
    for (int bits : {16, 24}) {
        const std::string raw = dir.File("in.raw"), wav = dir.File("py.wav");
        const std::vector<int32_t> samples = RandomSamples(2 * 1777, bits, 99u + bits);
        WriteRaw(raw, samples, bits / 8);
        // wave writes the plain 16-byte header; two LIST chunks of odd size, each with its pad byte, then go
        // between "fmt " and "data".
        const std::string script =
            "import wave,struct,sys\n"
            "raw=open(sys.argv[1],'rb').read()\n"
            "w=wave.open(sys.argv[2],'wb'); w.setnchannels(2); w.setsampwidth(" + std::to_string(bits / 8) + ");"
            " w.setframerate(48000); w.writeframes(raw); w.close()\n"
            "b=open(sys.argv[2],'rb').read()\n"
            "extra=b'LIST'+struct.pack('<I',5)+b'INFOx'+b'\\0'+b'LIST'+struct.pack('<I',3)+b'abc'+b'\\0'\n"
            "b=b[:36]+extra+b[36:]\n"
            "b=b[:4]+struct.pack('<I',len(b)-8)+b[8:]\n"
            "open(sys.argv[2],'wb').write(b)\n";
        const std::string py = dir.File("make.py");
        WriteFileBytes(py, std::vector<uint8_t>(script.begin(), script.end()));
        ASSERT_TRUE(RunTool("python3 " + py + " " + raw + " " + wav));
        ExpectSamples(wav, 2, bits, 48000, samples);
    }
}

TEST(WavFile, SoxFilesThePlayerCannotPlayAreRefusedWithTheirMessages) {
    SKIP_WITHOUT_TOOLS();
    ScratchDir dir;
    struct Case {
        std::string options;
        std::string message;
    };
    const Case cases[] = {
        {"-r 22050 -b 16 -c 2", "Sampling = 22050"},  {"-r 88200 -b 24 -c 2", "Sampling = 88200"},
        {"-r 48000 -b 16 -c 1", "Channels = 1"},       {"-r 48000 -b 24 -c 3", "Channels = 3"},
        {"-r 48000 -b 24 -c 5", "Channels = 5"},       {"-r 48000 -b 32 -c 2", "Bits Per Channel = 32"},
        {"-r 48000 -b 8 -c 2", "Bits Per Channel = 8"}, {"-r 48000 -b 16 -c 6", "Bits Per Channel = 16"},
    };
    for (const Case& c : cases) {
        const std::string wav = dir.File("refused.wav");
        ASSERT_TRUE(RunTool("sox -D -n " + c.options + " " + wav + " synth 0.01 sine 1000"));
        WavFileInfo info;
        WavSong song;
        MessageList messages;
        bool opened = false;
        EXPECT_NE(LoadWavSong(wav, &info, &song, &messages, &opened), WavCheck::kOk) << c.options;
        ASSERT_EQ(messages.size(), 1u) << c.options;
        EXPECT_EQ(messages[0].text, c.message);
        EXPECT_EQ(messages[0].icon, MessageIcon::None);
        EXPECT_EQ(messages[0].caption, "HV Message");
        EXPECT_TRUE(song.Empty());
    }
}

// One refusal of a hand-built file: the message and nothing read.
void ExpectRefused(const std::vector<uint8_t>& file, const std::string& message, const char* what) {
    ScratchDir dir;
    const std::string path = dir.File("bad.wav");
    WriteFileBytes(path, file);
    WavFileInfo info;
    WavSong song;
    MessageList messages;
    bool opened = false;
    EXPECT_NE(LoadWavSong(path, &info, &song, &messages, &opened), WavCheck::kOk) << what;
    EXPECT_TRUE(opened);
    ASSERT_EQ(messages.size(), 1u) << what;
    EXPECT_EQ(messages[0].text, message) << what;
    EXPECT_EQ(messages[0].icon, MessageIcon::None) << what;
    EXPECT_TRUE(song.Empty()) << what;
}

TEST(WavFile, HandBuiltBadFilesEachGiveTheirMessage) {
    const std::vector<uint8_t> fmt = FmtChunk(2, 48000, 16);
    const std::vector<uint8_t> data = Chunk("data", std::vector<uint8_t>(64, 1));
    ExpectRefused({}, "Not a WAV-audio file", "empty file");
    ExpectRefused(Riff("AVI ", {fmt, data}), "Not a WAV-audio file", "another form");
    ExpectRefused(Chunk("RIFX", std::vector<uint8_t>(40, 0)), "Not a WAV-audio file", "no RIFF chunk");
    ExpectRefused(Riff("WAVE", {data}), "Unable to locate 'fmt' chunk", "no fmt");
    // A "fmt " chunk too short for the three fields, and one that claims more than the file holds.
    std::vector<uint8_t> short_fmt = FmtChunk(2, 48000, 16);
    short_fmt.resize(8 + 14);
    short_fmt[4] = 14;
    ExpectRefused(Riff("WAVE", {short_fmt, data}), "Error reading 'fmt' chunk", "fmt of 14 bytes");
    std::vector<uint8_t> long_fmt = FmtChunk(2, 48000, 16);
    long_fmt[4] = 0xF0;
    long_fmt[5] = 0xFF;
    long_fmt[6] = 0xFF;
    ExpectRefused(Riff("WAVE", {long_fmt}), "Error reading 'fmt' chunk", "fmt past the end");
    // "data" before "fmt " is not found; nor is a "data" behind a chunk that runs past the end of the file.
    ExpectRefused(Riff("WAVE", {data, fmt}), "Unable to locate 'data' chunk", "data before fmt");
    std::vector<uint8_t> runaway = Chunk("LIST", std::vector<uint8_t>(4, 0));
    runaway[5] = 0x10;
    ExpectRefused(Riff("WAVE", {fmt, runaway, data}), "Unable to locate 'data' chunk", "LIST past the end");
}

TEST(WavFile, AShortFileGivesTheBytesItHolds) {
    ScratchDir dir;
    const std::string path = dir.File("short.wav");
    std::vector<uint8_t> samples(1000);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> file = Riff("WAVE", {FmtChunk(2, 44100, 16), Chunk("data", samples)});
    // The data chunk declares 4000 bytes, the file ends after 1000 of them; the form's size is left as
    // written before the samples were cut off.
    file[40] = 0xA0;
    file[41] = 0x0F;
    WriteFileBytes(path, file);
    WavFileInfo info;
    WavSong song;
    MessageList messages;
    bool opened = false;
    ASSERT_EQ(LoadWavSong(path, &info, &song, &messages, &opened), WavCheck::kOk);
    EXPECT_EQ(info.DataDeclared, 4000u);
    EXPECT_EQ(info.DataAvailable, 1000u);
    ASSERT_EQ(song.Size, 1000u);
    EXPECT_EQ(std::memcmp(song.Data.get(), samples.data(), samples.size()), 0);
    EXPECT_EQ(song.Data[1000], 0);
    EXPECT_EQ(song.Data[1001], 0);
}

TEST(WavFile, TheExtensionIsCheckedOnItsLastThreeLetters) {
    EXPECT_TRUE(HasWavExtension("C:\\Music\\a.wav"));
    EXPECT_TRUE(HasWavExtension("C:\\Music\\A.WaV"));
    EXPECT_TRUE(HasWavExtension("wav"));
    EXPECT_FALSE(HasWavExtension("C:\\Music\\a.wave"));
    EXPECT_FALSE(HasWavExtension("av"));
    EXPECT_FALSE(HasWavExtension(""));
}

}  // namespace
