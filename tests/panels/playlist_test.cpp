#include "panels/playlist.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "app/raw_file.h"
#include "test_util.h"

namespace {

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::unique_ptr<PlaylistRecord> NewList() {
    auto p = std::make_unique<PlaylistRecord>();
    std::memset(static_cast<void*>(p.get()), 0xCC, sizeof(PlaylistRecord));
    return p;
}

}  // namespace

TEST(Playlist, SaveAfterClearWritesEmptySlotsAtTheirOffsets) {
    ScratchDir dir;
    auto list = NewList();
    ClearPlaylistRecord(list.get());
    const std::string path = dir.File("empty.ply");
    ASSERT_EQ(SavePlaylistFile(path, *list, nullptr), 1);
    auto bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 334896u);
    for (int s = 0; s < 128; ++s) {
        for (std::size_t off : {0u, 256u, 304u, 352u, 480u, 528u}) {
            ASSERT_EQ(bytes[2616 * s + off], ' ') << s << " " << off;
            ASSERT_EQ(bytes[2616 * s + off + 1], 0) << s << " " << off;
        }
        for (std::size_t off = 2576; off < 2616; ++off) ASSERT_EQ(bytes[2616 * s + off], 0);
    }
    for (std::size_t off = 334848; off < 334896; ++off) ASSERT_EQ(bytes[off], 0) << off;
}

TEST(Playlist, SavedFileLoadsBackByteForByte) {
    ScratchDir dir;
    auto list = NewList();
    ClearPlaylistRecord(list.get());
    // A shorter title over a longer one leaves the old tail behind the NUL; it must survive the trip.
    std::memcpy(list->slots[0].Title, "a-long-song-name.wav", 21);
    std::memcpy(list->slots[0].Title, "b.wav", 6);
    std::memcpy(list->slots[0].Location, "C:\\Music\\b.wav", 15);
    std::memcpy(list->slots[0].Type, "2CH 24/96 WAV", 14);
    list->slots[0].FileBytes = 123456789;
    std::memcpy(list->slots[1].Title, "c.wav", 6);
    list->SongsTotal = 2;
    list->NextFreeSlot = 2;
    const std::string path = dir.File("two.ply");
    ASSERT_EQ(SavePlaylistFile(path, *list, nullptr), 1);
    auto back = NewList();
    MessageList msgs;
    ASSERT_EQ(LoadPlaylistFile(path, back.get(), &msgs), 1);
    EXPECT_TRUE(msgs.empty());
    EXPECT_EQ(std::memcmp(back.get(), list.get(), sizeof(PlaylistRecord)), 0);
    EXPECT_EQ(std::string(back->slots[0].Title + 6), "-song-name.wav");
}

TEST(Playlist, ShortFileFillsOnlyWhatItHas) {
    ScratchDir dir;
    std::vector<unsigned char> hundred(100);
    for (int i = 0; i < 100; ++i) hundred[i] = static_cast<unsigned char>('A' + i % 26);
    const std::string path = dir.File("short.ply");
    WriteBytes(path, hundred);
    auto list = NewList();
    list->SongsTotal = 9;
    ASSERT_EQ(LoadPlaylistFile(path, list.get(), nullptr), 1);
    EXPECT_EQ(list->SongsTotal, 0u);
    EXPECT_EQ(list->NextFreeSlot, 0u);
    EXPECT_EQ(std::memcmp(list->slots[0].Title, hundred.data(), 100), 0);
    EXPECT_EQ(list->slots[0].Title[100], 0);
    EXPECT_STREQ(list->slots[0].Length, " ");
    EXPECT_STREQ(list->slots[127].Location, " ");
}

TEST(Playlist, LongerFileIsReadOnlyToTheRecordsSize) {
    ScratchDir dir;
    auto list = NewList();
    ClearPlaylistRecord(list.get());
    list->SongsTotal = 5;
    list->NextFreeSlot = 5;
    std::vector<unsigned char> bytes(sizeof(PlaylistRecord) + 1000, 0x77);
    std::memcpy(bytes.data(), list.get(), sizeof(PlaylistRecord));
    const std::string path = dir.File("long.ply");
    WriteBytes(path, bytes);
    auto back = NewList();
    ASSERT_EQ(LoadPlaylistFile(path, back.get(), nullptr), 1);
    EXPECT_EQ(std::memcmp(back.get(), list.get(), sizeof(PlaylistRecord)), 0);
}

TEST(Playlist, CountsAreCutTo127AndTextsEnded) {
    ScratchDir dir;
    auto list = NewList();
    ClearPlaylistRecord(list.get());
    list->SongsTotal = 500;
    list->NextFreeSlot = 0xFFFFFFFF;
    std::memset(list->slots[3].Title, 'T', 256);
    std::memset(list->slots[3].Location, 'L', 2048);
    std::memset(list->slots[127].BitRate, 'B', 48);
    const std::string path = dir.File("odd.ply");
    ASSERT_EQ(WriteRawImage(path, list.get(), sizeof(PlaylistRecord)), RawFileStatus::Ok);
    auto back = NewList();
    ASSERT_EQ(LoadPlaylistFile(path, back.get(), nullptr), 1);
    EXPECT_EQ(back->SongsTotal, 127u);
    EXPECT_EQ(back->NextFreeSlot, 127u);
    EXPECT_EQ(std::strlen(back->slots[3].Title), 255u);
    EXPECT_EQ(std::strlen(back->slots[3].Location), 2047u);
    EXPECT_EQ(std::strlen(back->slots[127].BitRate), 47u);
    EXPECT_STREQ(back->slots[3].Length, " ");
    list->SongsTotal = 127;
    list->NextFreeSlot = 126;
    SanitisePlaylistRecord(list.get());
    EXPECT_EQ(list->SongsTotal, 127u);
    EXPECT_EQ(list->NextFreeSlot, 126u);
}

TEST(Playlist, FailedOpenOrSaveLeavesThingsAsTheyWere) {
    ScratchDir dir;
    auto list = NewList();
    ClearPlaylistRecord(list.get());
    std::memcpy(list->slots[0].Title, "keep.wav", 9);
    list->SongsTotal = 1;
    list->NextFreeSlot = 1;
    std::vector<unsigned char> before(sizeof(PlaylistRecord));
    std::memcpy(before.data(), list.get(), before.size());
    MessageList msgs;
    const std::string missing = dir.File("missing.ply");
    EXPECT_EQ(LoadPlaylistFile(missing, list.get(), &msgs), 0);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, missing);
    EXPECT_EQ(msgs[0].caption, "HV Message");
    EXPECT_EQ(LoadPlaylistFile(dir.Path().string(), list.get(), &msgs), 0);   // a folder is no playlist
    EXPECT_EQ(std::memcmp(list.get(), before.data(), before.size()), 0);

    const std::string existing = dir.File("old.ply");
    WriteBytes(existing, {1, 2, 3});
    msgs.clear();
    const std::string bad = dir.File("no-folder/new.ply");
    EXPECT_EQ(SavePlaylistFile(bad, *list, &msgs), 0);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, bad);
    EXPECT_EQ(ReadAll(existing), (std::vector<unsigned char>{1, 2, 3}));
}
