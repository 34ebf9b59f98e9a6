// The recording's WAV file parsed back field by field: the real rate in the header, the chunks in order,
// the chunks freed once saved and kept after a failed save.
#include "engine/recording_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "test_util.h"

namespace {

uint32_t U32(const std::string& s, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
    return v;
}
uint16_t U16(const std::string& s, std::size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// A pool of `chunks` full chunks whose frame j of chunk c holds {c * 1000 + j, -(c * 1000 + j)}, and half a
// chunk more.
void FillPool(RecordingPool* pool, int chunks) {
    ASSERT_EQ(AllocateRecordingPool(pool, chunks + 2), 0);
    for (int c = 0; c <= chunks; ++c) {
        const int frames = c < chunks ? kRecordChunkFrames : kRecordChunkFrames / 2;
        for (int j = 0; j < frames; ++j) {
            pool->RecordedWav[c][2 * j] = (c * 1000 + j) * 256;
            pool->RecordedWav[c][2 * j + 1] = -(c * 1000 + j) * 256;
        }
    }
    pool->Count = chunks;
    pool->FramesInChunk = kRecordChunkFrames / 2;
}

TEST(RecordingFile, HeaderStatesTheRealRateAndTheDataFollowsInOrder) {
    for (uint32_t rate : {44100u, 48000u, 96000u}) {
        ScratchDir dir;
        const std::string path = dir.File("out.wav");
        RecordingPool pool;
        FillPool(&pool, 3);
        EXPECT_TRUE(RecordingToSave(pool));
        MessageList messages;
        ASSERT_EQ(SaveRecordingWav(path, &pool, rate, &messages), RawFileStatus::Ok);
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(pool.RecordedWav, nullptr);  // freed
        EXPECT_EQ(pool.Count, 0);
        EXPECT_FALSE(RecordingToSave(pool));

        const std::string f = ReadAll(path);
        const uint32_t chunks = 4;  // three full and the half-filled last one
        ASSERT_EQ(f.size(), 68u + chunks * 8192u);
        EXPECT_EQ(f.substr(0, 4), "RIFF");
        EXPECT_EQ(U32(f, 4), f.size() - 8);
        EXPECT_EQ(f.substr(8, 4), "WAVE");
        EXPECT_EQ(f.substr(12, 4), "fmt ");
        EXPECT_EQ(U32(f, 16), 40u);
        EXPECT_EQ(U16(f, 20), 0xFFFE);
        EXPECT_EQ(U16(f, 22), 2);
        EXPECT_EQ(U32(f, 24), rate);
        EXPECT_EQ(U32(f, 28), rate * 8);
        EXPECT_EQ(U16(f, 32), 8);
        EXPECT_EQ(U16(f, 34), 32);
        EXPECT_EQ(U16(f, 36), 22);
        EXPECT_EQ(U16(f, 38), 24);
        EXPECT_EQ(U32(f, 40), 3u);
        // KSDATAFORMAT_SUBTYPE_PCM: {00000001-0000-0010-8000-00AA00389B71}
        EXPECT_EQ(U32(f, 44), 1u);
        EXPECT_EQ(U16(f, 48), 0);
        EXPECT_EQ(U16(f, 50), 0x10);
        const uint8_t tail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        EXPECT_EQ(std::memcmp(f.data() + 52, tail, 8), 0);
        EXPECT_EQ(f.substr(60, 4), "data");
        EXPECT_EQ(U32(f, 64), chunks * 8192u);
        for (uint32_t c = 0; c < chunks; ++c) {
            for (int j : {0, 1, 511, 1023}) {
                const std::size_t at = 68 + c * 8192 + 8 * j;
                const bool written = c < 3 || j < kRecordChunkFrames / 2;
                const int32_t want = written ? static_cast<int32_t>((c * 1000 + j) * 256) : 0;
                EXPECT_EQ(static_cast<int32_t>(U32(f, at)), want) << c << " " << j;
                EXPECT_EQ(static_cast<int32_t>(U32(f, at + 4)), -want) << c << " " << j;
            }
        }
    }
}

TEST(RecordingFile, AFailedWriteIsReportedAndKeepsTheRecordingForAnotherSave) {
    ScratchDir dir;
    RecordingPool pool;
    FillPool(&pool, 1);
    MessageList messages;
    EXPECT_NE(SaveRecordingWav(dir.File("missing-folder/out.wav"), &pool, 48000, &messages), RawFileStatus::Ok);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Failed to open file");
    ASSERT_TRUE(RecordingToSave(pool));
    EXPECT_EQ(pool.Count, 2);  // the half chunk counted once, however often the save is tried
    EXPECT_NE(SaveRecordingWav(dir.File("missing-folder/out.wav"), &pool, 48000, &messages), RawFileStatus::Ok);
    EXPECT_EQ(pool.Count, 2);

    // Saved again elsewhere: the whole recording is there, and only now freed.
    const std::string path = dir.File("out.wav");
    ASSERT_EQ(SaveRecordingWav(path, &pool, 48000, &messages), RawFileStatus::Ok);
    EXPECT_EQ(pool.RecordedWav, nullptr);
    const std::string f = ReadAll(path);
    ASSERT_EQ(f.size(), 68u + 2 * 8192u);
    EXPECT_EQ(static_cast<int32_t>(U32(f, 68 + 8 * 1023)), 1023 * 256);
    EXPECT_EQ(static_cast<int32_t>(U32(f, 68 + 8192 + 8 * 511)), (1000 + 511) * 256);
    EXPECT_EQ(static_cast<int32_t>(U32(f, 68 + 8192 + 8 * 512)), 0);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(RecordingFile, AnEmptyRecordingIsAValidFileWithNoData) {
    RecordingPool pool;
    const std::string f = RecordingWavImage(pool, 44100);
    ASSERT_EQ(f.size(), 68u);
    EXPECT_EQ(U32(f, 4), 60u);
    EXPECT_EQ(U32(f, 64), 0u);
}

}  // namespace
