// The WAV player's render thread with the engine's real workers over the in-memory render endpoint: what
// reaches the device equals a direct convolution of the file's samples with each output's FIR (within one
// step of 24 bits), song after song through the loader, after a jump to another song, and up to a stop in
// the middle of a song; the set-up failures, the device time-out and the timing texts.
//
// The device's clock runs in step with the thread (a period passes once the thread has handed over its
// grant), so no period is lost to scheduling however loaded the machine is.
#include "panels/wav_render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine_test_buffers.h"
#include "panels/playlist_editor.h"
#include "panels/wav_player.h"
#include "platform/in_memory_audio.h"
#include "test_util.h"
#include "wav_test_files.h"

namespace {

constexpr int kN = 512;
const std::wstring kRenderId = L"{render-wav}";

template <typename F>
bool WaitFor(F done, int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

struct Tap {
    int index;
    double value;
};

// A song as the test wrote it: its channels' samples on the 24-bit scale.
struct TestSong {
    std::string path;
    int channels;
    std::vector<std::vector<double>> channel;  // [c][frame]
    int Frames() const { return static_cast<int>(channel[0].size()); }
};

class WavRender : public ::testing::Test {
protected:
    WavRender() : render_(system_.AddEndpoint(StreamDirection::Render, kRenderId, "Speakers (Test)")), buffers_(kN) {
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> value(-0.45, 0.45);
        std::uniform_int_distribution<int> where(0, 8 * kN - 1);
        // Outputs 1..12 each from one port, with a sparse FIR spread over all eight partitions.
        for (int o = 1; o <= 12; ++o) {
            port_of_[o] = (o - 1) % 6 + 1;
            buffers_.routing[port_of_[o] - 1][o - 1] = 1;
            std::vector<double> taps(8 * kN, 0.0);
            for (int i = 0; i < 20; ++i) taps[where(rng)] = static_cast<float>(value(rng));
            taps[0] = 0.3;
            for (int b = 0; b < 2; ++b) buffers_.SetFilter(b, o, taps);
            for (int m = 0; m < 8 * kN; ++m)
                if (taps[m] != 0.0) fir_[o].push_back({m, taps[m]});
        }
        session_.Streams = &system_;
        session_.Context = &buffers_.ctx;
        session_.Status = &status_;
        session_.Live = &live_;
        session_.Running = &running_;
        EXPECT_EQ(AllocateEngineSessionBuffers(session_), 0);
        live_.MasterGain = 1.0f;
        settings_.SampleRate = 48000;
        settings_.BufferSizeIndex = 0;
        settings_.OutputMode = 1;  // sixteen outputs: both convolution workers
        settings_.RenderEndpointId = kRenderId;
        settings_.TicksToMs = 0.001f;
        ClearPlaylistRecord(list_.get());
        player_.BuiltSampling = 1;
        targets_.InputMode = &input_mode_;
        run_.Song = &player_.Song;
        run_.SongJumpRequest = &player_.SongJumpRequest;
        clock_ = std::thread([this, played = render_.Releases()] { RunDeviceClock(played); });
    }
    ~WavRender() override {
        running_ = 0;
        StopEngine(session_, 5000);
        clock_stop_ = true;
        clock_.join();
    }

    // The device plays a period once the thread has released a grant since the last one (the silent period
    // that opens a song, then each block): the thread is never overtaken by the device, whatever the load.
    // From block slow_from_block_ on, while the song neither was stopped nor asked to jump, a period passes
    // only every 200 ms: the song cannot end before the test has acted, and the thread's one-second wait for
    // its period never runs out.
    void RunDeviceClock(uint64_t played) {
        while (!clock_stop_.load()) {
            const uint64_t released = render_.Releases();
            if (!clock_on_.load() || released == played || !render_.Started()) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                continue;
            }
            if (run_.BlocksDelivered.load() >= slow_from_block_.load() && running_.load() != 0 &&
                player_.SongJumpRequest.load() == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (render_.Tick()) played = released;
        }
    }

    // `stray` ends the data with one byte of an incomplete frame, as a sloppy writer leaves it.
    TestSong AddSong(const std::string& name, int channels, int bits, int frames, unsigned seed, bool stray = false) {
        TestSong song;
        song.path = dir_.File(name);
        song.channels = channels;
        song.channel.assign(channels, std::vector<double>(frames));
        std::mt19937 rng(seed);
        const int32_t top = bits == 16 ? 400 : 100000;
        std::uniform_int_distribution<int32_t> value(-top, top);
        std::vector<uint8_t> data;
        for (int j = 0; j < frames; ++j)
            for (int c = 0; c < channels; ++c) {
                const int32_t s = value(rng);
                PutLe(&data, static_cast<uint32_t>(s), bits / 8);
                song.channel[c][j] = bits == 16 ? s * 256.0 : s;
            }
        if (stray) data.push_back(0x7F);
        const auto fmt = FmtChunk(static_cast<uint32_t>(channels), 48000, static_cast<uint32_t>(bits));
        WriteFileBytes(song.path, Riff("WAVE", {fmt, Chunk("data", data)}));
        PlaylistSlot& slot = list_->slots[list_->SongsTotal];
        std::strcpy(slot.Title, name.c_str());
        std::strcpy(slot.Location, song.path.c_str());
        list_->SongsTotal += 1;
        return song;
    }

    // The panel's song timer and start timer: the last song's threads joined, the engine cleared, the
    // next song loaded and started.
    SongLoadResult LoadAndStart() {
        EXPECT_TRUE(JoinEngineThreads(session_, 5000));
        ClearEngineRunState(session_);
        SongLoadResult r = LoadNextSong(&player_, *list_, running_.load() != 0, targets_);
        if (r.kind != SongLoadKind::kLoaded) return r;
        settings_.InputMode = input_mode_;
        run_.Format = WavBlockFormatOf(player_.Song, 0, 0);
        EXPECT_EQ(StartWavSong(session_, settings_, &run_), EngineStartResult::kStarted);
        return r;
    }

    void WaitForRunEnd(uint32_t runs) {
        ASSERT_TRUE(WaitFor([&] { return run_.RunsEnded.load() >= runs; }));
        ASSERT_TRUE(JoinEngineThreads(session_, 5000));
    }

    // The words the device received, from frame `first` on, against the song's convolution over `blocks`
    // blocks (the song's samples, then silence), after the one period of silence that opens every song.
    void ExpectSongRendered(const std::vector<int32_t>& words, std::size_t first, const TestSong& song, int blocks) {
        const int W = 16;
        ASSERT_GE(words.size(), (first + static_cast<std::size_t>(blocks + 1) * kN) * W);
        for (std::size_t i = first * W; i < (first + kN) * W; ++i) ASSERT_EQ(words[i], 0) << "pre-roll word " << i;
        const int six[6] = {0, 2, 1, 4, 3, 5};  // file channel feeding ports 1..6 of a six-channel song
        int worst = 0;
        for (int o = 1; o <= 16; ++o) {
            const int port = port_of_[o];
            int channel = -1;
            if (port) channel = song.channels == 6 ? six[port - 1] : (port == 1 ? 0 : port == 3 ? 1 : -1);
            for (long n = 0; n < static_cast<long>(blocks) * kN; ++n) {
                double y = 0.0;
                if (channel >= 0)
                    for (const Tap& t : fir_[o])
                        if (t.index <= n && n - t.index < song.Frames()) y += t.value * song.channel[channel][n - t.index];
                const double expected = std::trunc(std::max(-8388607.0, std::min(8388607.0, y)));
                const int32_t word = words[(first + kN + n) * W + (o - 1)];
                ASSERT_EQ(word % 256, 0);
                const int diff = static_cast<int>(std::fabs(word / 256 - expected));
                worst = std::max(worst, diff);
                ASSERT_LE(diff, 1) << "output " << o << " frame " << n << " expected " << expected << " got " << word / 256;
            }
        }
    }

    static std::vector<int32_t> Words(const std::vector<uint8_t>& bytes) {
        std::vector<int32_t> w(bytes.size() / 4);
        std::memcpy(w.data(), bytes.data(), w.size() * 4);
        return w;
    }

    ScratchDir dir_;
    InMemoryAudioSystem system_;
    InMemoryEndpoint& render_;
    TestEngineBuffers buffers_;
    EngineSession session_;
    EngineStatusBoard status_;
    EngineLiveControls live_;
    std::atomic<int> running_{0};
    EngineStartSettings settings_;
    std::unique_ptr<PlaylistRecord> list_ = std::make_unique<PlaylistRecord>();
    WavPlayerState player_;
    WavSettingTargets targets_;
    uint32_t input_mode_ = 0;
    WavRun run_;
    int port_of_[17] = {};
    std::vector<Tap> fir_[17];
    std::atomic<bool> clock_on_{true};
    std::atomic<uint32_t> slow_from_block_{~0u};
    std::atomic<bool> clock_stop_{false};
    std::thread clock_;
};

TEST_F(WavRender, SongsPlayInTurnAsTheirConvolutionAndEndTheList) {
    // A stereo 16-bit song whose last block is partial and whose last frame is incomplete (silence, not a
    // click), then a six-channel 24-bit one of whole blocks.
    const TestSong a = AddSong("a.wav", 2, 16, 3 * kN + 100, 1, true);
    const TestSong b = AddSong("b.wav", 6, 24, 2 * kN, 2);
    running_ = 1;
    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    EXPECT_EQ(input_mode_, 0u);
    WaitForRunEnd(1);
    EXPECT_EQ(run_.NextSongRequests.load(), 1u);  // the song ended by itself: the next follows
    EXPECT_EQ(run_.BlocksDelivered.load(), 4u);
    EXPECT_TRUE(player_.Song.Empty());            // the thread gave the song back
    EXPECT_EQ(status_.SongEndLine.Read(), "New Song 0, Bytes_Left 0  ");
    EXPECT_EQ(status_.Text(PanelText::RenderTime1).Read(), "Played=100.0%");
    EXPECT_EQ(status_.Text(PanelText::BlockNumber).Read(), "Fr=3");

    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    EXPECT_EQ(input_mode_, 3u);
    WaitForRunEnd(2);
    EXPECT_EQ(run_.BlocksDelivered.load(), 2u);
    EXPECT_EQ(LoadAndStart().kind, SongLoadKind::kEndOfList);
    EXPECT_EQ(player_.SongIndex, 0);

    const std::vector<int32_t> words = Words(render_.RenderedBytes());
    ASSERT_EQ(words.size(), static_cast<std::size_t>(16) * kN * (1 + 4 + 1 + 2));
    ExpectSongRendered(words, 0, a, 4);
    ExpectSongRendered(words, 5 * kN, b, 2);  // from silence again: nothing of song a rings on
    EXPECT_EQ(render_.StopCount(), 2u);
}

TEST_F(WavRender, AJumpEndsTheSongAtItsNextBlockAndTheChosenSongStartsFromSilence) {
    const TestSong a = AddSong("a.wav", 2, 24, 40 * kN, 3);
    AddSong("b.wav", 2, 16, kN, 4);
    const TestSong c = AddSong("c.wav", 2, 16, 2 * kN, 5);
    slow_from_block_ = 3;
    running_ = 1;
    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    ASSERT_TRUE(WaitFor([&] { return run_.BlocksDelivered.load() >= 3; }));
    // A click on the third song in the editor.
    player_.SongIndex = 2;
    player_.SongJumpRequest = 1;
    WaitForRunEnd(1);
    const uint32_t delivered = run_.BlocksDelivered.load();
    EXPECT_LT(delivered, 40u);
    EXPECT_EQ(run_.NextSongRequests.load(), 1u);
    EXPECT_EQ(status_.SongEndLine.Read().rfind("New Song 1, Bytes_Left ", 0), 0u) << status_.SongEndLine.Read();

    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    EXPECT_EQ(player_.SongJumpRequest.load(), 0);
    WaitForRunEnd(2);
    const std::vector<int32_t> words = Words(render_.RenderedBytes());
    ASSERT_EQ(words.size(), static_cast<std::size_t>(16) * kN * (1 + delivered + 1 + 2));
    ExpectSongRendered(words, 0, a, static_cast<int>(delivered));
    ExpectSongRendered(words, static_cast<std::size_t>(1 + delivered) * kN, c, 2);
    EXPECT_EQ(player_.SongIndex, 3);
}

TEST_F(WavRender, AStopInTheMiddleOfASongEndsItWithoutTheNextSong) {
    const TestSong a = AddSong("a.wav", 2, 16, 60 * kN, 6);
    AddSong("b.wav", 2, 16, kN, 7);
    slow_from_block_ = 5;
    running_ = 1;
    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    ASSERT_TRUE(WaitFor([&] { return run_.BlocksDelivered.load() >= 5; }));
    running_ = 0;  // STOP
    WaitForRunEnd(1);
    EXPECT_EQ(run_.NextSongRequests.load(), 0u);
    EXPECT_EQ(run_.Result.load(), HR_S_OK);
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), "");
    const uint32_t delivered = run_.BlocksDelivered.load();
    const std::vector<int32_t> words = Words(render_.RenderedBytes());
    ASSERT_EQ(words.size(), static_cast<std::size_t>(16) * kN * (1 + delivered));
    ExpectSongRendered(words, 0, a, static_cast<int>(delivered));
    // The song timer after the stop loads nothing.
    EXPECT_EQ(LoadAndStart().kind, SongLoadKind::kIdle);
    EXPECT_EQ(player_.SongIndex, 1);
}

TEST_F(WavRender, ARefusedDeviceShowsTheErrorTitleAndTheListGoesOn) {
    AddSong("a.wav", 2, 16, kN, 8);
    AddSong("b.wav", 2, 16, kN, 9);
    system_.InjectFailure(StreamDirection::Render, StreamStep::IsFormatSupported, HR_AUDCLNT_E_UNSUPPORTED_FORMAT);
    running_ = 1;
    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    WaitForRunEnd(1);
    EXPECT_EQ(run_.Result.load(), HR_AUDCLNT_E_UNSUPPORTED_FORMAT);
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), kRenderErrorTitle);
    EXPECT_EQ(run_.NextSongRequests.load(), 1u);
    EXPECT_EQ(running_.load(), 1);  // the thread never clears it
    system_.ClearFailures();
    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    WaitForRunEnd(2);
    EXPECT_EQ(run_.Result.load(), HR_S_OK);
    EXPECT_EQ(run_.BlocksDelivered.load(), 1u);
}

TEST_F(WavRender, ADeviceThatStopsTickingMovesOnWithoutATitle) {
    AddSong("a.wav", 2, 16, 4 * kN, 10);
    clock_on_ = false;
    running_ = 1;
    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    ASSERT_TRUE(render_.WaitUntilStarted(5000));
    WaitForRunEnd(1);  // one second without a period event
    EXPECT_EQ(run_.Result.load(), kCaptureTimeoutResult);
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), "");
    EXPECT_EQ(run_.NextSongRequests.load(), 1u);
}

// The portable threads, with the multimedia class scheduler's registrations counted (and refused on request);
// installed for as long as it lives.
struct SchedulerWatch final : ThreadPlatform {
    SchedulerWatch() { SetThreadPlatform(this); }
    ~SchedulerWatch() override { SetThreadPlatform(nullptr); }
    std::atomic<int> joins{0}, leaves{0};
    std::atomic<bool> refuse{false};
    std::string task;
    std::unique_ptr<PlatformThread> StartThread(std::function<void()> body, ThreadPriority priority) override {
        return PortableThreadPlatform().StartThread(std::move(body), priority);
    }
    std::unique_ptr<AutoResetEvent> MakeEvent() override { return PortableThreadPlatform().MakeEvent(); }
    void RaiseProcessPriority() override {}
    int RunningThreads() const override { return PortableThreadPlatform().RunningThreads(); }
    int LiveEvents() const override { return PortableThreadPlatform().LiveEvents(); }
    void* JoinMultimediaClass(const char* name) override {
        task = name;
        joins.fetch_add(1);
        return refuse.load() ? nullptr : this;
    }
    void LeaveMultimediaClass(void* registration) override {
        if (registration) leaves.fetch_add(1);
    }
};

TEST_F(WavRender, EachSongRegistersAsProAudioAndARefusalEndsItWithTheTitle) {
    SchedulerWatch watch;
    AddSong("a.wav", 2, 16, kN, 12);
    AddSong("b.wav", 2, 16, kN, 13);
    running_ = 1;
    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    WaitForRunEnd(1);
    EXPECT_EQ(watch.task, "Pro Audio");
    EXPECT_EQ(watch.joins.load(), 1);
    EXPECT_EQ(watch.leaves.load(), 1);
    EXPECT_EQ(run_.Result.load(), HR_S_OK);
    watch.refuse = true;
    ASSERT_EQ(LoadAndStart().kind, SongLoadKind::kLoaded);
    WaitForRunEnd(2);
    EXPECT_EQ(run_.Result.load(), HR_E_FAIL);
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), kRenderErrorTitle);
    EXPECT_EQ(run_.BlocksDelivered.load(), 0u);
    EXPECT_EQ(watch.leaves.load(), 1);
}

TEST(WavRenderCopy, AGrantLargerThanTheBlockIsFilledWithSilence) {
    const int words = 8, frames = 4;
    std::vector<int32_t> block(words * frames);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<int32_t>(i + 1) << 8;
    std::vector<uint8_t> grant(static_cast<std::size_t>(words) * 7 * 4, kRenderPoisonByte);
    CopyBlockToGrant(grant.data(), 7, block.data(), frames, words);
    EXPECT_EQ(std::memcmp(grant.data(), block.data(), block.size() * 4), 0);
    for (std::size_t i = block.size() * 4; i < grant.size(); ++i) ASSERT_EQ(grant[i], 0) << i;
}

}  // namespace
