#include "tools/ir_file_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_util.h"

namespace {

constexpr int N = 512;

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

struct Response {
    std::vector<float> left = std::vector<float>(64 * N, 0.0f), right = std::vector<float>(64 * N, 0.0f);
    Response() {
        for (int n = 0; n < 8 * N; ++n) {
            left[2 * n] = 0.5f * std::sin(0.01f * n) * std::exp(-0.001f * n);
            right[2 * n] = -0.25f * std::cos(0.02f * n) * std::exp(-0.002f * n);
            left[2 * n + 1] = 3.0f;  // imaginary halves are not samples
        }
    }
    IrWriteRequest Request(int format) const {
        IrWriteRequest r;
        r.format = format;
        r.left = left.data();
        r.right = right.data();
        r.N = N;
        r.sample_rate = 44100;
        return r;
    }
};

TEST(IrFileWriter, SamplesAreScaledInSinglePrecisionAndTruncated) {
    int32_t s = 0;
    ASSERT_TRUE(IrWavSample(1.00005f, &s));
    EXPECT_EQ(s, 8388419);
    EXPECT_FALSE(IrWavSample(1.0001f, &s));
    EXPECT_FALSE(IrWavSample(-1.0001f, &s));
    ASSERT_TRUE(IrWavSample(-0.25f, &s));
    EXPECT_EQ(s, -2097000);
    ASSERT_TRUE(IrWavSample(0.99999994f, &s));
    EXPECT_EQ(s, 8387999);
    EXPECT_FALSE(IrWavSample(std::nanf(""), &s));
    EXPECT_FALSE(IrWavSample(1e30f, &s));
}

TEST(IrFileWriter, WavHeaderByteForByteAndNegativeSamples) {
    Response r;
    r.left[0] = -0.25f;
    std::string b;
    ASSERT_TRUE(FormatIrWav(r.Request(kIrWavMono), &b, nullptr));
    const unsigned char header[46] = {'R', 'I', 'F', 'F', 0x26, 0x30, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                      18, 0, 0, 0, 1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0xCC, 0x04, 0x02, 0,
                                      3, 0, 24, 0, 0, 0, 'd', 'a', 't', 'a', 0x00, 0x30, 0, 0};
    ASSERT_EQ(b.size(), 46u + 24u * N);
    for (int i = 0; i < 46; ++i) EXPECT_EQ(static_cast<unsigned char>(b[i]), header[i]) << i;
    EXPECT_EQ(static_cast<unsigned char>(b[46]), 0x98);
    EXPECT_EQ(static_cast<unsigned char>(b[47]), 0x00);
    EXPECT_EQ(static_cast<unsigned char>(b[48]), 0xE0);
    // Stereo: twice the data, the RIFF size 38 bytes more than it.
    ASSERT_TRUE(FormatIrWav(r.Request(kIrWavStereoSame), &b, nullptr));
    EXPECT_EQ(b.size(), 46u + 48u * N);
    const uint32_t data = static_cast<unsigned char>(b[42]) | static_cast<unsigned char>(b[43]) << 8 |
                          static_cast<unsigned char>(b[44]) << 16;
    const uint32_t riff = static_cast<unsigned char>(b[4]) | static_cast<unsigned char>(b[5]) << 8 |
                          static_cast<unsigned char>(b[6]) << 16;
    EXPECT_EQ(data, 48u * N);
    EXPECT_EQ(riff, 48u * N + 38u);
    EXPECT_EQ(b.substr(46, 3), b.substr(49, 3));  // right = left
}

TEST(IrFileWriter, TextFormatsLineByLine) {
    Response r;
    r.left[0] = 0.5f;
    std::string t;
    ASSERT_TRUE(FormatIrText(r.Request(kIrRawText), &t));
    EXPECT_EQ(t.substr(0, 20), "5.000000000000e-01\r\n");
    EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), 8 * N);
    IrWriteRequest q = r.Request(kIrCsvCoefficients);
    q.SplOnlyEq = 1;
    ASSERT_TRUE(FormatIrText(q, &t));
    EXPECT_EQ(t.substr(0, 24), "b0 = 5.0000000000e-01,\r\n");
    EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), 4 * N);
    char line[64];
    std::snprintf(line, sizeof line, "b%d = %.10e,\r\n", 4 * N - 1, static_cast<double>(r.left[2 * (4 * N - 1)]));
    EXPECT_EQ(t.substr(t.size() - std::string(line).size()), std::string(line));
}

TEST(IrFileWriter, NamesChooseTheFamilyAndMismatchesAreReported) {
    ScratchDir dir;
    Response r;
    MessageList m;
    EXPECT_EQ(WriteImpulseResponseFile(dir.File("a.WAV"), r.Request(kIrWavMono), &m), 1);
    EXPECT_EQ(WriteImpulseResponseFile(dir.File("b.Wav"), r.Request(kIrWavStereoDifferent), &m), 1);
    EXPECT_EQ(WriteImpulseResponseFile(dir.File("c.txt"), r.Request(kIrRawText), &m), 1);
    EXPECT_EQ(WriteImpulseResponseFile(dir.File("d.CSV"), r.Request(kIrCsvCoefficients), &m), 1);
    EXPECT_EQ(WriteImpulseResponseFile(dir.File("noDotTXT"), r.Request(kIrRawText), &m), 1);
    EXPECT_TRUE(m.empty());
    EXPECT_EQ(ReadAll(dir.File("b.Wav")).size(), 46u + 48u * N);

    struct Bad {
        const char* name;
        int format;
        const char* text;
    };
    for (const Bad& b : {Bad{"e.txt", kIrWavMono, kIrWavNameNeeded}, Bad{"f.wav", kIrRawText, kIrTextNameNeeded},
                         Bad{"g.dat", kIrCsvCoefficients, kIrTextNameNeeded}, Bad{"h", kIrWavStereoSame, kIrWavNameNeeded}}) {
        m.clear();
        EXPECT_EQ(WriteImpulseResponseFile(dir.File(b.name), r.Request(b.format), &m), 0) << b.name;
        ASSERT_EQ(m.size(), 1u) << b.name;
        EXPECT_EQ(m[0].text, b.text);
        EXPECT_FALSE(std::filesystem::exists(dir.File(b.name))) << b.name;  // not even an empty file
    }
    // A sample beyond the bound stops the export before any file exists; an old file stays as it was.
    {
        std::ofstream old(dir.File("i.wav"), std::ios::binary);
        old << "old";
    }
    r.right[2 * 100] = 1.0001f;
    m.clear();
    EXPECT_EQ(WriteImpulseResponseFile(dir.File("i.wav"), r.Request(kIrWavStereoDifferent), &m), 0);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, kIrExceedsWavRange);
    EXPECT_EQ(ReadAll(dir.File("i.wav")), "old");
    // A folder that does not exist: the text file's own name, and the WAV message.
    m.clear();
    const std::string missing = dir.File("no/such/j.txt");
    EXPECT_EQ(WriteImpulseResponseFile(missing, r.Request(kIrRawText), &m), 0);
    EXPECT_EQ(WriteImpulseResponseFile(dir.File("no/such/k.wav"), r.Request(kIrWavMono), &m), 0);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, missing);
    EXPECT_EQ(m[1].text, kIrWavOpenFailed);
}

#ifndef _WIN32
TEST(IrFileWriter, PythonWaveReadsTheFileBack) {
    if (std::system("python3 -c 'import wave' >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 with wave not found";
    ScratchDir dir;
    Response r;
    const std::string path = dir.File("check.wav");
    ASSERT_EQ(WriteImpulseResponseFile(path, r.Request(kIrWavStereoDifferent), nullptr), 1);
    const std::string script =
        "import wave,sys\n"
        "w=wave.open(sys.argv[1],'rb')\n"
        "print(w.getnchannels(),w.getsampwidth(),w.getframerate(),w.getnframes())\n"
        "d=w.readframes(w.getnframes())\n"
        "for i in (0,1,2,100,4095):\n"
        "  l=int.from_bytes(d[6*i:6*i+3],'little',signed=True)\n"
        "  r=int.from_bytes(d[6*i+3:6*i+6],'little',signed=True)\n"
        "  print(l,r)\n";
    const std::string script_path = dir.File("read.py");
    std::ofstream(script_path) << script;
    FILE* pipe = popen(("python3 " + script_path + " " + path).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buf[4096];
    std::string out;
    while (std::fgets(buf, sizeof buf, pipe)) out += buf;
    ASSERT_EQ(pclose(pipe), 0);
    std::string want = "2 3 44100 4096\n";
    for (int i : {0, 1, 2, 100, 4095}) {
        int32_t a = 0, b = 0;
        ASSERT_TRUE(IrWavSample(r.left[2 * i], &a));
        ASSERT_TRUE(IrWavSample(r.right[2 * i], &b));
        want += std::to_string(a) + " " + std::to_string(b) + "\n";
    }
    EXPECT_EQ(out, want);
}
#endif

TEST(IrFileWriter, SavePicker) {
    const auto p = IrSaveFilePicker();
    ASSERT_EQ(p.filters.size(), 3u);
    EXPECT_EQ(p.filters[1].first, "WAV Files (*.wav)");
    EXPECT_TRUE(p.overwrite_prompt);
    EXPECT_EQ(p.title_chars, 256);
    EXPECT_EQ(p.default_extension, "*.*");
}

}  // namespace
