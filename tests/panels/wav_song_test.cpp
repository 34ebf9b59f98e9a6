// One song into the engine: the block conversion (16- and 24-bit scales, the stereo and six-channel port
// maps, the input-side bass sums, the peaks), the last partial block padded with silence, the "Played=" text,
// and the song loader's chain: end of the list, refused songs that change no setting, a stop before the
// load, a path too short to carry an extension.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/block_path.h"
#include "panels/playlist_editor.h"
#include "panels/wav_block.h"
#include "panels/wav_player.h"
#include "test_util.h"
#include "wav_test_files.h"

namespace {

struct Ports {
    std::vector<std::vector<float>> v;
    float* blocks[kEnginePortCount];
    explicit Ports(int frames) : v(kEnginePortCount, std::vector<float>(4 * static_cast<std::size_t>(frames), -9.0f)) {
        for (int p = 0; p < kEnginePortCount; ++p) blocks[p] = v[p].data();
    }
    float At(int port, int frame) const { return v[port - 1][2 * frame]; }
};

std::vector<uint8_t> Bytes(const std::vector<int32_t>& samples, int bytes) {
    std::vector<uint8_t> out;
    for (int32_t s : samples) PutLe(&out, static_cast<uint32_t>(s), bytes);
    return out;
}

TEST(WavBlock, SixteenBitSamplesMeetTwentyFourBitOnesOnOneScale) {
    const std::vector<int32_t> s16 = {32767, -32768, 1, -1, 0, 12345, -300, 77};
    std::vector<int32_t> s24;
    for (int32_t s : s16) s24.push_back(s * 256);
    Ports a(4), b(4);
    float pa[kInputPeakCount], pb[kInputPeakCount];
    WavBlockFormat f16, f24;
    f24.Is24Bit = 1;
    ConvertWavBlock(Bytes(s16, 2).data(), 4, f16, 0.5f, a.blocks, pa);
    ConvertWavBlock(Bytes(s24, 3).data(), 4, f24, 0.5f, b.blocks, pb);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(a.At(1, j), s16[2 * j] * 256.0f);
        EXPECT_EQ(a.At(3, j), s16[2 * j + 1] * 256.0f);
        for (int port = 1; port <= kEnginePortCount; ++port) {
            EXPECT_EQ(a.At(port, j), b.At(port, j)) << port << " " << j;
            EXPECT_EQ(a.v[port - 1][2 * j + 1], 0.0f);
            if (port != 1 && port != 3) {
                EXPECT_EQ(a.At(port, j), 0.0f);
            }
        }
    }
    // Peaks of the two file channels only, compared signed.
    EXPECT_EQ(pa[0], 32767.0f * 256);
    EXPECT_EQ(pa[2], 12345.0f * 256);
    for (int k : {1, 3, 4, 5, 6, 7}) EXPECT_EQ(pa[k], 0.0f);
    for (int k = 0; k < kInputPeakCount; ++k) EXPECT_EQ(pa[k], pb[k]);
}

TEST(WavBlock, StereoBassSums) {
    const std::vector<int32_t> s = {1000, 3000, -2000, 500};
    const float g = 0.25f;
    for (uint32_t mode : {1u, 2u}) {
        Ports p(2);
        float peaks[kInputPeakCount];
        WavBlockFormat f;
        f.BassMode = mode;
        ConvertWavBlock(Bytes(s, 2).data(), 2, f, g, p.blocks, peaks);
        for (int j = 0; j < 2; ++j) {
            const float l = s[2 * j] * 256.0f, r = s[2 * j + 1] * 256.0f;
            EXPECT_EQ(p.At(5, j), mode == 1 ? g * l : g * (l + r));
            EXPECT_EQ(p.At(9, j), mode == 1 ? g * r : g * (l + r));
        }
    }
}

TEST(WavBlock, SixChannelMapSumsAndPeaks) {
    // Channels in WAV order: FL, FR, C, LFE, BL, BR.
    const std::vector<int32_t> frame0 = {100, 200, 300, 400, 500, 600};
    const std::vector<int32_t> frame1 = {-10, -2000, -3000, -40, -50, -60};
    std::vector<int32_t> s = frame0;
    s.insert(s.end(), frame1.begin(), frame1.end());
    const float g = 0.5f;
    struct Case {
        uint32_t configuration, bass;
        BlockKernels kernels;  // the plain conversion as well as the widest the processor has
    };
    for (const Case c : {Case{1, 1, BlockKernels::kWidest}, Case{3, 0, BlockKernels::kScalar}, Case{3, 1, BlockKernels::kWidest},
                         Case{3, 2, BlockKernels::kWidest}, Case{4, 1, BlockKernels::kScalar}, Case{4, 1, BlockKernels::kWidest},
                         Case{5, 2, BlockKernels::kScalar}}) {
        LimitBlockPathKernels(c.kernels);
        Ports p(2);
        float peaks[kInputPeakCount];
        WavBlockFormat f;
        f.Channels = 6;
        f.Is24Bit = 1;
        f.SystemConfiguration = c.configuration;
        f.BassMode = c.bass;
        ConvertWavBlock(Bytes(s, 3).data(), 2, f, g, p.blocks, peaks);
        for (int j = 0; j < 2; ++j) {
            const std::vector<int32_t>& x = j == 0 ? frame0 : frame1;
            const float fl = x[0], fr = x[1], cc = x[2], lfe = x[3], bl = x[4], br = x[5];
            EXPECT_EQ(p.At(1, j), fl);
            EXPECT_EQ(p.At(2, j), cc);
            EXPECT_EQ(p.At(3, j), fr);
            EXPECT_EQ(p.At(4, j), bl);
            EXPECT_EQ(p.At(6, j), br);
            EXPECT_EQ(p.At(7, j), 0.0f);
            EXPECT_EQ(p.At(8, j), 0.0f);
            float sub5 = lfe, sub9 = lfe;
            const bool surround = c.configuration >= 3 && c.configuration <= 5;
            if (surround && c.bass == 1) {
                sub5 = lfe + g * (fl + cc + bl);
                sub9 = lfe + g * (fr + cc + br);
            } else if (surround && c.bass == 2) {
                sub5 = sub9 = g * (fl + fr);
            }
            EXPECT_EQ(p.At(5, j), sub5) << c.configuration << "/" << c.bass;
            EXPECT_EQ(p.At(9, j), sub9) << c.configuration << "/" << c.bass;
        }
        EXPECT_EQ(peaks[0], 100.0f);
        EXPECT_EQ(peaks[1], 300.0f);
        EXPECT_EQ(peaks[2], 2000.0f);  // port 3 alone by magnitude
        EXPECT_EQ(peaks[3], 500.0f);
        EXPECT_EQ(peaks[4], 400.0f);
        EXPECT_EQ(peaks[5], 600.0f);
        EXPECT_EQ(peaks[6], 0.0f);
        EXPECT_EQ(peaks[7], 0.0f);
    }
    LimitBlockPathKernels(BlockKernels::kWidest);
}

TEST(WavBlock, TheLastPartialBlockIsPaddedWithSilence) {
    WavSong song;
    song.Size = 4 * 10 + 3;  // ten frames of 16-bit stereo and three bytes of an eleventh
    song.Data.reset(new uint8_t[song.Size + 2]);
    for (uint64_t i = 0; i < song.Size; ++i) song.Data[i] = static_cast<uint8_t>(i + 1);
    std::vector<uint8_t> staging(kWavStagingBytes, 0xEE);
    uint64_t position = 0;
    const uint8_t* first = TakeWavBlock(song, &position, 4, 4, staging.data());
    EXPECT_EQ(first, song.Data.get());  // a whole block is converted where it lies
    EXPECT_EQ(position, 16u);
    const uint8_t* second = TakeWavBlock(song, &position, 4, 4, staging.data());
    EXPECT_EQ(second, song.Data.get() + 16);
    const uint8_t* last = TakeWavBlock(song, &position, 4, 4, staging.data());
    ASSERT_EQ(last, staging.data());
    EXPECT_EQ(position, song.Size);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(last[i], 33 + i);
    for (int i = 8; i < 16; ++i) EXPECT_EQ(last[i], 0) << i;  // the incomplete frame is silence too
    EXPECT_EQ(TakeWavBlock(song, &position, 4, 4, staging.data()), nullptr);
}

TEST(WavBlock, PlayedShareIsPrintedWithAPercentSign) {
    char text[32];
    FormatPlayedShare(0, 1000, text, sizeof text);
    EXPECT_STREQ(text, "Played=0.0%");
    FormatPlayedShare(456, 1000, text, sizeof text);
    EXPECT_STREQ(text, "Played=45.6%");
    FormatPlayedShare(1000, 1000, text, sizeof text);
    EXPECT_STREQ(text, "Played=100.0%");
    FormatPlayedShare(5, 0, text, sizeof text);
    EXPECT_STREQ(text, "Played=0.0%");
}

class SongLoader : public ::testing::Test {
protected:
    SongLoader() : list_(std::make_unique<PlaylistRecord>()) {
        ClearPlaylistRecord(list_.get());
        player_.BuiltSampling = 1;
        player_.BuiltInputMode = 0;
        targets_.HV_Sampling = &sampling_;
        targets_.InputMode = &input_mode_;
        targets_.WavIs24Bit = &is24_;
    }
    void AddSong(const std::string& name, const std::vector<uint8_t>& file) {
        const std::string path = dir_.File(name);
        WriteFileBytes(path, file);
        SetSong(list_->SongsTotal, name, path);
        list_->SongsTotal += 1;
        list_->NextFreeSlot = list_->SongsTotal;
    }
    void SetSong(uint32_t slot, const std::string& title, const std::string& path) {
        std::strcpy(list_->slots[slot].Title, title.c_str());
        std::strcpy(list_->slots[slot].Location, path.c_str());
    }
    SongLoadResult Load(bool running = true) { return LoadNextSong(&player_, *list_, running, targets_); }

    ScratchDir dir_;
    std::unique_ptr<PlaylistRecord> list_;
    WavPlayerState player_;
    WavSettingTargets targets_;
    uint32_t sampling_ = 9, input_mode_ = 9, is24_ = 9;
};

TEST_F(SongLoader, SongsLoadInTurnUntilTheEndOfTheList) {
    AddSong("a.wav", WavFileOf(2, 48000, 16, std::vector<int32_t>(200, 5)));
    AddSong("b.wav", WavFileOf(6, 96000, 24, std::vector<int32_t>(60, -7)));
    player_.SongJumpRequest = 1;
    SongLoadResult r = Load();
    ASSERT_EQ(r.kind, SongLoadKind::kLoaded);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(player_.SongJumpRequest.load(), 0);
    EXPECT_EQ(player_.SongIndex, 1);
    EXPECT_EQ(player_.Song.Size, 400u);
    EXPECT_EQ(r.bytes_text, "400 Bytes");
    EXPECT_EQ(r.song_title, "a.wav");
    EXPECT_EQ(r.select_row, 0);
    EXPECT_EQ(r.editor_title, "Playlist Editor: Songs Total = 2, Selected = 1");
    EXPECT_FALSE(r.settings_changed);
    EXPECT_EQ(sampling_, 1u);
    EXPECT_EQ(input_mode_, 0u);
    EXPECT_EQ(is24_, 0u);

    r = Load();
    ASSERT_EQ(r.kind, SongLoadKind::kLoaded);
    EXPECT_TRUE(r.settings_changed);  // a new rate and six channels: the banks are built again
    EXPECT_EQ(sampling_, 2u);
    EXPECT_EQ(input_mode_, 3u);
    EXPECT_EQ(is24_, 1u);
    EXPECT_EQ(player_.Song.Size, 180u);
    EXPECT_EQ(player_.Song.Data[0], 0xF9);

    r = Load();
    EXPECT_EQ(r.kind, SongLoadKind::kEndOfList);
    EXPECT_TRUE(player_.Song.Empty());
    EXPECT_EQ(player_.SongIndex, 0);
    EXPECT_EQ(r.select_row, 0);
    EXPECT_EQ(r.song_title, "a.wav");
    EXPECT_EQ(r.editor_title, "Playlist Editor: Songs Total = 2, Selected = 1 ");
}

TEST_F(SongLoader, AStopBeforeTheTimerLoadsNothingAndKeepsTheIndex) {
    AddSong("a.wav", WavFileOf(2, 48000, 16, std::vector<int32_t>(20, 1)));
    const SongLoadResult r = Load(false);
    EXPECT_EQ(r.kind, SongLoadKind::kIdle);
    EXPECT_EQ(player_.SongIndex, 0);
    EXPECT_TRUE(player_.Song.Empty());
    EXPECT_EQ(sampling_, 9u);
}

TEST_F(SongLoader, AStopReplaysTheInterruptedSongOnlyWhileSongIndexStandsPastIt) {
    AddSong("a.wav", WavFileOf(2, 48000, 16, std::vector<int32_t>(20, 1)));
    AddSong("b.wav", WavFileOf(2, 48000, 16, std::vector<int32_t>(20, 1)));
    ASSERT_EQ(Load().kind, SongLoadKind::kLoaded);
    ReplayInterruptedSong(&player_);
    EXPECT_EQ(player_.SongIndex, 0);
    ReplayInterruptedSong(&player_);  // a second STOP before the next load
    EXPECT_EQ(player_.SongIndex, 0);
    // The second song chosen, then stopped before it was loaded: it stays the next one.
    player_.SongIndex = 1;
    ReplayInterruptedSong(&player_);
    EXPECT_EQ(player_.SongIndex, 1);
}

TEST_F(SongLoader, RefusedSongsChangeNoSetting) {
    // The rate passes, the channel count does not.
    AddSong("three.wav", WavFileOf(3, 44100, 24, std::vector<int32_t>(30, 1)));
    SongLoadResult r = Load();
    EXPECT_EQ(r.kind, SongLoadKind::kRefused);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, "Channels = 3");
    EXPECT_EQ(r.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(sampling_, 9u);
    EXPECT_EQ(input_mode_, 9u);
    EXPECT_EQ(player_.SongIndex, 0);

    // Paths too short to carry an extension, one that ends otherwise, and a file that is not there.
    for (const char* path : {"", "v", "av", "x.wave"}) {
        SetSong(0, "s", path);
        r = Load();
        EXPECT_EQ(r.kind, SongLoadKind::kRefused) << path;
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_EQ(r.messages[0].text, std::string(path) + " file is not a WAV file");
        EXPECT_EQ(r.messages[0].icon, MessageIcon::Warning);
    }
    SetSong(0, "s", dir_.File("gone.wav"));
    r = Load();
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, "Failed to open WAV file 2");
    EXPECT_EQ(sampling_, 9u);
    EXPECT_EQ(player_.SongIndex, 0);
}

TEST_F(SongLoader, AnEmptyListEndsAtOnce) {
    const SongLoadResult r = Load();
    EXPECT_EQ(r.kind, SongLoadKind::kEndOfList);
    EXPECT_EQ(r.song_title, " ");
    EXPECT_EQ(r.editor_title, "Playlist Editor: Songs Total = 0, Selected = 1 ");
}

}  // namespace
