// Output peaks, the recording mix with its continuous chunks, and the timing texts.
#include "engine/recording.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<int32_t> Block(int frames, int words, int32_t (*f)(int j, int c)) {
    std::vector<int32_t> b(static_cast<size_t>(frames) * words);
    for (int j = 0; j < frames; ++j)
        for (int c = 0; c < words; ++c) b[static_cast<size_t>(j) * words + c] = f(j, c);
    return b;
}

TEST(OutputPeaks, PerModeWithoutRecording) {
    const int frames = 16;
    for (uint32_t mode : {0u, 1u, 2u}) {
        const int words = mode == 1 ? 16 : mode == 2 ? 10 : 8;
        const auto b = Block(frames, words, [](int j, int c) { return (j == 5 ? 1000 : 10) * 256 * (c + 1); });
        float peaks[16];
        EXPECT_EQ(MeterAndRecordOutputBlock(b.data(), frames, mode, 0, nullptr, peaks), RecordingTitle::kNone);
        for (int c = 0; c < 16; ++c) EXPECT_EQ(peaks[c], c < words ? 1000.0f * 256 * (c + 1) : 0.0f) << mode << " " << c;
    }
    const auto negative = Block(frames, 16, [](int, int c) { return -256 * (c + 1); });
    float peaks[16];
    MeterAndRecordOutputBlock(negative.data(), frames, 1, 0, nullptr, peaks);
    for (float p : peaks) EXPECT_EQ(p, 0.0f);
}

TEST(Recording, MixesAndPeaksInSixteenOutputs) {
    RecordingPool pool;
    ASSERT_EQ(AllocateRecordingPool(&pool, 4), 0);
    const auto b = Block(1024, 16, [](int j, int c) { return (c + 1) * 256 + j; });
    float peaks[16];
    EXPECT_EQ(MeterAndRecordOutputBlock(b.data(), 1024, 1, 1, &pool, peaks), RecordingTitle::kCount);
    EXPECT_EQ(pool.Count, 1);
    const int32_t* chunk = pool.RecordedWav[0];
    for (int j = 0; j < 1024; ++j) {
        ASSERT_EQ(chunk[2 * j], (1 + 2 + 15 + 16) * 256 + 4 * j);
        ASSERT_EQ(chunk[2 * j + 1], (5 + 6 + 15 + 16) * 256 + 4 * j);
    }
    for (int c : {2, 3, 6, 7, 8, 9, 12, 13}) EXPECT_EQ(peaks[c], 0.0f) << c;
    for (int c : {0, 1, 4, 5, 14, 15}) EXPECT_EQ(peaks[c], static_cast<float>((c + 1) * 256 + 1023)) << c;
    EXPECT_EQ(peaks[kLeftMixPeak], static_cast<float>(34 * 256 + 4 * 1023));
    EXPECT_EQ(peaks[kRightMixPeak], static_cast<float>(42 * 256 + 4 * 1023));
    FreeRecordingPool(&pool);
}

TEST(Recording, EachModeReadsItsOwnLayout) {
    RecordingPool pool;
    ASSERT_EQ(AllocateRecordingPool(&pool, 2), 0);
    const auto b = Block(1024, 10, [](int, int c) { return (c + 1) * 256; });
    float peaks[16];
    MeterAndRecordOutputBlock(b.data(), 1024, 2, 1, &pool, peaks);
    EXPECT_EQ(pool.RecordedWav[0][0], (1 + 2) * 256);
    EXPECT_EQ(pool.RecordedWav[0][1], (5 + 6) * 256);
    EXPECT_EQ(peaks[14], 0.0f);
    FreeRecordingPool(&pool);
}

TEST(Recording, MixSaturatesInsteadOfWrapping) {
    RecordingPool pool;
    ASSERT_EQ(AllocateRecordingPool(&pool, 1), 0);
    const auto b = Block(4, 16, [](int j, int) { return (j % 2 ? -8388607 : 8388607) * 256; });
    float peaks[16];
    MeterAndRecordOutputBlock(b.data(), 4, 1, 1, &pool, peaks);
    EXPECT_EQ(pool.RecordedWav[0][0], 8388607 * 256);
    EXPECT_EQ(pool.RecordedWav[0][1], 8388607 * 256);
    EXPECT_EQ(pool.RecordedWav[0][2], -8388607 * 256);
    FreeRecordingPool(&pool);
}

TEST(Recording, FramesPackContinuouslyForEveryBlockSize) {
    for (int frames : {512, 2048, 4096}) {
        RecordingPool pool;
        ASSERT_EQ(AllocateRecordingPool(&pool, 64), 0);
        int counter = 0;
        float peaks[16];
        std::vector<int32_t> b(static_cast<size_t>(frames) * 8);
        for (int block = 0; block < 5; ++block) {
            for (int j = 0; j < frames; ++j) {
                b[static_cast<size_t>(j) * 8 + 0] = counter;  // left = o1 + o2 = counter
                b[static_cast<size_t>(j) * 8 + 4] = -counter;
                ++counter;
            }
            EXPECT_EQ(MeterAndRecordOutputBlock(b.data(), frames, 0, 1, &pool, peaks), RecordingTitle::kCount);
        }
        const int total = 5 * frames;
        EXPECT_EQ(pool.Count, total / kRecordChunkFrames);
        EXPECT_EQ(pool.FramesInChunk, total % kRecordChunkFrames);
        FinishRecording(&pool);
        for (int n = 0; n < total; ++n) {
            const int32_t* chunk = pool.RecordedWav[n / kRecordChunkFrames];
            ASSERT_EQ(chunk[2 * (n % kRecordChunkFrames)], n) << frames;
            ASSERT_EQ(chunk[2 * (n % kRecordChunkFrames) + 1], -n) << frames;
        }
        FreeRecordingPool(&pool);
    }
}

TEST(Recording, FullPoolDropsFramesAndSaysSo) {
    RecordingPool pool;
    ASSERT_EQ(AllocateRecordingPool(&pool, 1), 0);
    const auto b = Block(4096, 8, [](int, int) { return 256; });
    float peaks[16];
    EXPECT_EQ(MeterAndRecordOutputBlock(b.data(), 4096, 0, 1, &pool, peaks), RecordingTitle::kFull);
    EXPECT_EQ(pool.Count, 1);
    char text[64];
    FormatRecordingTitle(RecordingTitle::kFull, pool.Count, text, sizeof text);
    EXPECT_STREQ(text, "WAV File Buffer = FULL");
    FormatRecordingTitle(RecordingTitle::kCount, 17, text, sizeof text);
    EXPECT_STREQ(text, "WAV Buffers = 17");
    FreeRecordingPool(&pool);
    // Not armed: nothing to write into.
    EXPECT_EQ(MeterAndRecordOutputBlock(b.data(), 4096, 0, 1, &pool, peaks), RecordingTitle::kFull);
    EXPECT_EQ(pool.Count, 0);
}

TEST(TimingTexts, Formats) {
    char text[32];
    FormatMilliseconds("Pt=", 3456, 0.001f, "  ", text, sizeof text);
    EXPECT_STREQ(text, "Pt=3.45  ");
    FormatMilliseconds("Lt=", 1050, 0.001f, "", text, sizeof text);
    EXPECT_STREQ(text, "Lt=1.5");  // hundredths without a leading zero
    FormatMilliseconds("Lt=", 10700, 0.001f, "", text, sizeof text);
    EXPECT_STREQ(text, "Lt=10.70");
    FormatMilliseconds("Pt=", -5, 0.001f, "", text, sizeof text);
    EXPECT_STREQ(text, "Pt=0.0");

    BlockTimeTexts t;
    uint32_t prev = 0xFFFFFF00u;  // the counter's low half wraps between the readings
    FormatBlockTimes(0x00000100u, 0x00000200u, &prev, 0.0625f, 0, &t);
    EXPECT_STREQ(t.ProcessingTime, "Pt=16.0  ");
    EXPECT_STREQ(t.Period, "Lt=32.0");
    EXPECT_STREQ(t.BlockNumber, "Fr=0");
    EXPECT_EQ(prev, 0x00000100u);
    FormatBlockTimes(0x00000128u, 0x00000130u, &prev, 0.0625f, 41, &t);
    EXPECT_STREQ(t.ProcessingTime, "Pt=0.50  ");
    EXPECT_STREQ(t.Period, "Lt=2.50");
    EXPECT_STREQ(t.BlockNumber, "Fr=41");
}

}  // namespace
