// The playlist editor's work on the record: the worked examples of the slot texts, Add Song's checks (no
// setting written for a refused song), the 127-song limit, Delete, Clear, the check of a loaded list and
// a click on a row.
#include "panels/playlist_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "panels/wav_player.h"
#include "test_util.h"
#include "wav_test_files.h"

namespace {

std::unique_ptr<PlaylistRecord> EmptyList() {
    auto list = std::make_unique<PlaylistRecord>();
    ClearPlaylistRecord(list.get());
    return list;
}

// A file of `bytes` bytes whose header says what is given: the header, then zeros (sparse where the system
// allows), the data chunk declaring the rest.
std::string SizedWav(const ScratchDir& dir, const std::string& name, uint32_t channels, uint32_t rate, uint32_t bits,
                     uint64_t bytes) {
    const std::string path = dir.File(name);
    std::vector<uint8_t> head = Riff("WAVE", {FmtChunk(channels, rate, bits), Chunk("data", {})});
    const uint32_t data = static_cast<uint32_t>(bytes - head.size());
    head[40] = static_cast<uint8_t>(data);
    head[41] = static_cast<uint8_t>(data >> 8);
    head[42] = static_cast<uint8_t>(data >> 16);
    head[43] = static_cast<uint8_t>(data >> 24);
    const uint32_t riff = static_cast<uint32_t>(bytes - 8);
    for (int b = 0; b < 4; ++b) head[4 + b] = static_cast<uint8_t>(riff >> (8 * b));
    WriteFileBytes(path, head);
    std::filesystem::resize_file(path, bytes);
    return path;
}

TEST(PlaylistEditor, WorkedExamplesOfTheSlotTexts) {
    ScratchDir dir;
    auto list = EmptyList();
    WavSettings applied;
    MessageList messages;
    const std::string big = SizedWav(dir, "big.wav", 2, 96000, 24, 57600044);
    ASSERT_EQ(AddSongToPlaylist(list.get(), big, "big.wav", &applied, &messages), AddSongResult::kAdded);
    const PlaylistSlot& s = list->slots[0];
    EXPECT_STREQ(s.Title, "big.wav");
    EXPECT_STREQ(s.Length, "00:01:40");
    EXPECT_STREQ(s.Size, "57.60Mb");
    EXPECT_STREQ(s.Type, "2CH 24/96 WAV");
    EXPECT_STREQ(s.BitRate, "4608.0kbps");
    EXPECT_STREQ(s.Location, big.c_str());
    EXPECT_EQ(s.FileBytes, 57600044u);  // exact, not the nearest float
    EXPECT_EQ(applied.HV_Sampling, 2u);
    EXPECT_EQ(applied.InputMode, 0u);
    EXPECT_EQ(applied.WavIs24Bit, 1u);
    EXPECT_EQ(list->SongsTotal, 1u);
    EXPECT_EQ(list->NextFreeSlot, 1u);
    EXPECT_STREQ(PlaylistViewRows[0].Length, "00:01:40");

    // A 16-bit stereo 44.1 kHz file of 176,400 x 59 bytes lasts 59 seconds, one byte less 58.
    ASSERT_EQ(AddSongToPlaylist(list.get(), SizedWav(dir, "a.wav", 2, 44100, 16, 176400 * 59), "a.wav", &applied, &messages),
              AddSongResult::kAdded);
    ASSERT_EQ(AddSongToPlaylist(list.get(), SizedWav(dir, "b.wav", 2, 44100, 16, 176400 * 59 - 1), "b.wav", &applied, &messages),
              AddSongResult::kAdded);
    EXPECT_STREQ(list->slots[1].Length, "00:00:59");
    EXPECT_STREQ(list->slots[1].Type, "2CH 16/44.1 WAV");
    EXPECT_STREQ(list->slots[2].Length, "00:00:58");
    // The time and type follow the file's own rate and width: 16-bit 48 kHz, and six 24-bit channels.
    ASSERT_EQ(AddSongToPlaylist(list.get(), SizedWav(dir, "c.wav", 2, 48000, 16, 192000 * 61 + 44), "c.wav", &applied, &messages),
              AddSongResult::kAdded);
    EXPECT_STREQ(list->slots[3].Length, "00:01:01");
    EXPECT_STREQ(list->slots[3].Type, "2CH 16/48 WAV");
    EXPECT_STREQ(list->slots[3].BitRate, "1536.0kbps");
    ASSERT_EQ(AddSongToPlaylist(list.get(), SizedWav(dir, "d.wav", 6, 96000, 24, 1728000ull * 61 + 44), "d.wav", &applied, &messages),
              AddSongResult::kAdded);
    EXPECT_STREQ(list->slots[4].Length, "00:01:01");
    EXPECT_STREQ(list->slots[4].Type, "6CH 24/96 WAV");
    EXPECT_EQ(list->slots[4].FileBytes, 1728000u * 61 + 44);
    EXPECT_EQ(applied.InputMode, 3u);
    EXPECT_TRUE(messages.empty());
}

TEST(PlaylistEditor, ARefusedSongAddsNothingAndSetsNothing) {
    ScratchDir dir;
    auto list = EmptyList();
    MessageList messages;
    WavSettings applied;
    applied.HV_Sampling = 7;
    applied.InputMode = 7;
    applied.WavIs24Bit = 7;
    // Rate and channels pass, the width does not: neither HV_Sampling nor InputMode are written.
    const std::string odd = SizedWav(dir, "odd.wav", 2, 96000, 20, 1000);
    EXPECT_EQ(AddSongToPlaylist(list.get(), odd, "odd.wav", &applied, &messages), AddSongResult::kRefused);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Bits Per Channel = 20");
    EXPECT_EQ(messages[0].icon, MessageIcon::None);
    EXPECT_EQ(applied.HV_Sampling, 7u);
    EXPECT_EQ(applied.InputMode, 7u);
    EXPECT_EQ(list->SongsTotal, 0u);
    EXPECT_STREQ(list->slots[0].Title, " ");

    messages.clear();
    EXPECT_EQ(AddSongToPlaylist(list.get(), dir.File("x.wave"), "x.wave", &applied, &messages), AddSongResult::kRefused);
    EXPECT_EQ(AddSongToPlaylist(list.get(), dir.File("missing.wav"), "missing.wav", &applied, &messages), AddSongResult::kRefused);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, dir.File("x.wave") + " file is not a WAV file");
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(messages[1].text, "Failed to open file");
    EXPECT_EQ(list->SongsTotal, 0u);
}

TEST(PlaylistEditor, TheListHoldsAtMost127Songs) {
    ScratchDir dir;
    auto list = EmptyList();
    const std::string path = SizedWav(dir, "s.wav", 2, 44100, 16, 1000);
    WavSettings applied;
    MessageList messages;
    for (int i = 0; i < 127; ++i)
        ASSERT_EQ(AddSongToPlaylist(list.get(), path, "s.wav", &applied, &messages), AddSongResult::kAdded) << i;
    EXPECT_EQ(AddSongToPlaylist(list.get(), path, "s.wav", &applied, &messages), AddSongResult::kFull);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(list->SongsTotal, 127u);
    EXPECT_STREQ(list->slots[127].Title, " ");
    // Deleting from a full list moves the empty last slot up.
    EXPECT_TRUE(DeleteSongFromPlaylist(list.get(), 0));
    EXPECT_EQ(list->SongsTotal, 126u);
    EXPECT_STREQ(list->slots[126].Title, " ");
    EXPECT_STREQ(list->slots[125].Title, "s.wav");
}

TEST(PlaylistEditor, DeleteMovesTheLaterSongsUpAndIgnoresAnIndexPastTheSongs) {
    ScratchDir dir;
    auto list = EmptyList();
    WavSettings applied;
    MessageList messages;
    for (const char* name : {"one.wav", "two.wav", "three.wav"})
        ASSERT_EQ(AddSongToPlaylist(list.get(), SizedWav(dir, name, 2, 44100, 16, 1000), name, &applied, &messages),
                  AddSongResult::kAdded);
    list->slots[1].reserved[0] = 77;  // reserved words stay where they are
    EXPECT_TRUE(DeleteSongFromPlaylist(list.get(), 1));
    EXPECT_EQ(list->SongsTotal, 2u);
    EXPECT_EQ(list->NextFreeSlot, 2u);
    EXPECT_STREQ(list->slots[1].Title, "three.wav");
    EXPECT_STREQ(PlaylistViewRows[1].Title, "three.wav");
    EXPECT_STREQ(list->slots[2].Title, " ");
    EXPECT_STREQ(PlaylistViewRows[2].Title, " ");
    EXPECT_EQ(list->slots[2].FileBytes, 0u);
    EXPECT_EQ(list->slots[1].reserved[0], 77u);
    // After the last song went, the selection may name no song: Delete then does nothing.
    EXPECT_FALSE(DeleteSongFromPlaylist(list.get(), 2));
    EXPECT_FALSE(DeleteSongFromPlaylist(list.get(), -1));
    EXPECT_EQ(list->SongsTotal, 2u);
    EXPECT_TRUE(DeleteSongFromPlaylist(list.get(), 0));
    EXPECT_TRUE(DeleteSongFromPlaylist(list.get(), 0));
    EXPECT_EQ(list->SongsTotal, 0u);
    EXPECT_FALSE(DeleteSongFromPlaylist(list.get(), 0));
    EXPECT_EQ(PlaylistEditorTitle(list->SongsTotal, 1), "Playlist Editor: Songs Total = 0, Selected = 1");
}

TEST(PlaylistEditor, ClearEmptiesTheSongsButNotAnEmptyList) {
    ScratchDir dir;
    auto list = EmptyList();
    EXPECT_FALSE(ClearPlaylistSongs(list.get()));
    WavSettings applied;
    MessageList messages;
    ASSERT_EQ(AddSongToPlaylist(list.get(), SizedWav(dir, "a.wav", 2, 44100, 16, 1000), "a.wav", &applied, &messages),
              AddSongResult::kAdded);
    list->slots[0].reserved[3] = 5;
    EXPECT_TRUE(ClearPlaylistSongs(list.get()));
    EXPECT_EQ(list->SongsTotal, 0u);
    EXPECT_EQ(list->NextFreeSlot, 0u);
    EXPECT_STREQ(list->slots[0].Location, " ");
    EXPECT_EQ(list->slots[0].FileBytes, 0u);
    EXPECT_EQ(list->slots[0].reserved[3], 5u);
    EXPECT_STREQ(PlaylistViewRows[0].Title, " ");
}

TEST(PlaylistEditor, LoadCheckStopsAtTheFirstSongThatFails) {
    ScratchDir dir;
    auto list = EmptyList();
    WavSettings applied;
    MessageList messages;
    const std::string good = SizedWav(dir, "good.wav", 2, 44100, 16, 1000);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(AddSongToPlaylist(list.get(), good, "good.wav", &applied, &messages), AddSongResult::kAdded);
    EXPECT_EQ(CheckPlaylistSongs(*list, &messages), 3);
    EXPECT_TRUE(messages.empty());

    std::filesystem::remove(good);
    EXPECT_EQ(CheckPlaylistSongs(*list, &messages), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Failed to open WAV file 0");

    messages.clear();
    SizedWav(dir, "good.wav", 2, 44100, 16, 1000);
    WriteFileBytes(dir.File("mono.wav"), Riff("WAVE", {FmtChunk(1, 44100, 16), Chunk("data", {0, 0})}));
    std::strcpy(list->slots[2].Location, dir.File("mono.wav").c_str());
    EXPECT_EQ(CheckPlaylistSongs(*list, &messages), 2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Channels = 1");
}

TEST(PlaylistEditor, AChunkLargerThanItsFilePlaysWhatItHoldsAndOnlyWhatCannotBeHeldIsRefused) {
    ScratchDir dir;
    auto list = EmptyList();
    WavSettings applied;
    MessageList messages;
    // A "data" chunk that declares 0xFFFFFFFF bytes where the file holds 12,000: added, checked and played.
    std::vector<uint8_t> file = Riff("WAVE", {FmtChunk(2, 48000, 16), Chunk("data", std::vector<uint8_t>(12000, 3))});
    for (int b = 40; b < 44; ++b) file[b] = 0xFF;
    const std::string open_ended = dir.File("open ended.wav");
    WriteFileBytes(open_ended, file);
    ASSERT_EQ(AddSongToPlaylist(list.get(), open_ended, "open ended.wav", &applied, &messages), AddSongResult::kAdded);
    EXPECT_EQ(CheckPlaylistSongs(*list, &messages), 1);
    WavPlayerState player;
    const SongLoadResult r = LoadNextSong(&player, *list, true, {});
    ASSERT_EQ(r.kind, SongLoadKind::kLoaded);
    EXPECT_EQ(r.bytes_text, "12000 Bytes");
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(r.messages.empty());
    // Sample bytes that the 32-bit size cannot hold with its two spare bytes (a sparse file whose sizes are
    // left unset, as a streaming writer leaves them): refused at Add Song already.
    const std::string huge = dir.File("huge.wav");
    std::vector<uint8_t> head = Riff("WAVE", {FmtChunk(2, 48000, 16), Chunk("data", {})});
    for (int b : {4, 5, 6, 7, 40, 41, 42, 43}) head[b] = 0xFF;
    WriteFileBytes(huge, head);
    std::filesystem::resize_file(huge, head.size() + 0xFFFFFFFFull);
    EXPECT_EQ(AddSongToPlaylist(list.get(), huge, "huge.wav", &applied, &messages), AddSongResult::kRefused);
    std::strcpy(list->slots[1].Location, huge.c_str());
    list->SongsTotal = 2;
    EXPECT_EQ(CheckPlaylistSongs(*list, &messages), 1);
    ASSERT_EQ(messages.size(), 2u);
    for (const HvMessage& m : messages) {
        EXPECT_EQ(m.text, "Unable to Allocate 'data' chunk");
        EXPECT_EQ(m.icon, MessageIcon::None);
    }
}

#ifndef _WIN32
// A named pipe given as a song is no file: every reader of the songs refuses it at once instead of waiting
// for a writer that never comes.
TEST(PlaylistEditor, ANamedPipeIsRefusedByEveryReaderOfTheSongs) {
    ScratchDir dir;
    auto list = EmptyList();
    WavSettings applied;
    MessageList messages;
    AddSongResult added = AddSongResult::kAdded;
    EXPECT_TRUE(ReturnsOnANamedPipe(dir.File("a.wav"), [&] {
        added = AddSongToPlaylist(list.get(), dir.File("a.wav"), "a.wav", &applied, &messages);
    }));
    EXPECT_EQ(added, AddSongResult::kRefused);
    std::strcpy(list->slots[0].Location, dir.File("b.wav").c_str());
    list->SongsTotal = 1;
    EXPECT_TRUE(ReturnsOnANamedPipe(dir.File("b.wav"), [&] { CheckPlaylistSongs(*list, &messages); }));
    WavPlayerState player;
    std::filesystem::remove(dir.File("b.wav"));
    SongLoadResult r;
    EXPECT_TRUE(ReturnsOnANamedPipe(dir.File("b.wav"), [&] { r = LoadNextSong(&player, *list, true, {}); }));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, "Failed to open WAV file 2");
    bool opened = true;
    WavFileInfo info;
    EXPECT_TRUE(ReturnsOnANamedPipe(dir.File("c.wav"), [&] { LoadWavSong(dir.File("c.wav"), &info, &player.Song, &messages, &opened); }));
    EXPECT_FALSE(opened);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Failed to open file");
    EXPECT_EQ(messages[1].text, "Failed to open WAV file 0");
}
#endif

TEST(PlaylistEditor, AClickOnASongAsksForTheJumpAndAnEmptyRowSelectsTheFirst) {
    MessageList messages;
    int index = 9;
    EXPECT_TRUE(ClickPlaylistRow(1, 3, &index, &messages));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(ClickPlaylistRow(3, 3, &index, &messages));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(ClickPlaylistRow(-1, 3, &index, &messages));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Unable To Select a Song");
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
}

TEST(PlaylistEditor, RowsCutEachTextToItsColumn) {
    PlaylistSlot slot{};
    std::memset(slot.Title, 'T', sizeof slot.Title);  // no NUL at all
    std::strcpy(slot.Length, "00:00:01");
    std::strcpy(slot.Size, "0123456789ABCDEFGHIJ");
    std::strcpy(slot.Type, "2CH 24/96 WAV");
    std::strcpy(slot.BitRate, "4608.0kbps");
    std::strcpy(slot.Location, "C:\\a.wav");
    PlaylistViewRow row;
    RefreshPlaylistViewRow(&row, slot);
    EXPECT_EQ(std::string(row.Column(0)), std::string(255, 'T'));
    EXPECT_STREQ(row.Column(1), "00:00:01");
    EXPECT_STREQ(row.Column(2), "0123456789ABCDE");
    EXPECT_STREQ(row.Column(3), "2CH 24/96 WAV");
    EXPECT_STREQ(row.Column(4), "4608.0kbps");
    EXPECT_STREQ(row.Column(5), "C:\\a.wav");
    EXPECT_STREQ(row.Column(6), "");
}

}  // namespace
