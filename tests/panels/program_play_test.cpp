// The Play road every control panel takes into the program's engine (panels/program_play.h), run over the
// global records with the in-memory endpoints: what reaches the loudspeakers with the Sub rows of the
// preferences in "BBM Output", the volume after a profile load, and a Play that meets threads of the last run.
#include "panels/program_play.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "design/network_solver.h"  // with engine/block_path.h below: one largest block size for both
#include "engine/block_path.h"
#include "engine/endpoints.h"
#include "engine/engine_globals.h"
#include "engine/play_checks.h"
#include "panels/live_keys.h"
#include "panels/panel_dialogs.h"
#include "panels/wav_render.h"
#include "platform/in_memory_audio.h"
#include "platform/threads.h"
#include "test_util.h"
#include "app/heap_record.h"

namespace {

void SetField(int field, const char* text) {
    std::memset(pr_file->tail.LiveKeyChannelFields[field], 0, kLiveKeyFieldChars);
    std::strcpy(pr_file->tail.LiveKeyChannelFields[field], text);
}

// The program's records, settings and engine for one test, put back afterwards.
class ProgramPlay : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AllocateSystemBuffers(), 0);
        ASSERT_EQ(AllocateDspBuffers(), 0);
        saved_prefs_ = Preferences;
        Preferences = prefs_.get();
        HV_Buffer_Size = 1;  // 1024 frames
        pr_file->tail.HV_Sampling = 1;  // 48000 Hz
        pr_file->tail.SystemConfiguration = 0;
        pr_file->tail.BbmGain = 0.5f;
        OutputMode = 0;
        InputMode = 0;
        Capture24Bit = 1;
        BassMode = 3;  // "BBM Output"
        WasapiDebugMode = 0;
        CaptureEndpointId = L"{c}";
        RenderEndpointId = L"{r}";
        LiveShared.MasterGain.store(1.0f);
        ResetChannelTrims(&LiveShared);
        std::memset(RoutingMatrix, 0, sizeof RoutingMatrix);
        for (int o = 0; o < kOutputCount; ++o) CabsEnabled[o] = CabsDelaySamples[o] = 0;
    }
    void TearDown() override {
        EngineRunning.store(0);
        EndRun();
        Preferences = saved_prefs_;
        HV_Buffer_Size = size_;
        OutputMode = output_;
        InputMode = input_;
        Capture24Bit = bits_;
        BassMode = bass_;
        WasapiDebugMode = debug_;
        CaptureEndpointId = capture_id_;
        RenderEndpointId = render_id_;
        std::memset(RoutingMatrix, 0, sizeof RoutingMatrix);
        LiveShared.MasterGain.store(0.0f);
        FreeDspBuffers();
        FreeSystemBuffers();
    }

    // A one-tap filter of gain 1 from `port` to `output` in both banks: partition 0 is 1 in every bin.
    void UnityPath(int port, int output) {
        RoutingMatrix[port - 1][output - 1] = 1;
        const int N = BlockFramesOf(HV_Buffer_Size);
        for (int b = 0; b < kFilterBankCount; ++b)
            for (int k = 0; k < 2 * N; ++k) {
                FilterPartitionBank[b][output - 1][0][2 * k] = 1.0f;
                FilterPartitionBank[b][output - 1][0][2 * k + 1] = 0.0f;
            }
    }

    bool EndRun() {
        EngineSession& e = ProgramEngine();
        for (int i = 0; i < 2000 && EngineThreadsAlive(e); ++i) {
            if (capture_) capture_->Tick();
            if (render_) render_->Tick();
            StopEngine(e, 5);
        }
        return !EngineThreadsAlive(e);
    }

    // Plays three blocks of a constant `level` on both capture channels (ports 1 and 3) and returns the
    // rendered frames of 8 words.
    std::vector<int32_t> PlayConstant(int32_t level) {
        InMemoryAudioSystem system;
        capture_ = &system.AddEndpoint(StreamDirection::Capture, L"{c}", "Capture");
        render_ = &system.AddEndpoint(StreamDirection::Render, L"{r}", "Render");
        MessageList messages;
        EXPECT_TRUE(LastRunEnded(nullptr, &messages));
        EXPECT_TRUE(PrepareProgramEngine(system, 0, &messages));
        EXPECT_TRUE(StartProgramEngine(0, &messages));
        EXPECT_TRUE(messages.empty());
        EngineSession& e = ProgramEngine();
        const int N = e.Context->N;
        std::vector<int32_t> words(2 * N);
        for (int j = 0; j < N; ++j) words[2 * j] = words[2 * j + 1] = level * 256;
        std::vector<uint8_t> bytes(words.size() * 4);
        std::memcpy(bytes.data(), words.data(), bytes.size());
        EXPECT_TRUE(capture_->WaitUntilStarted(3000));
        for (int b = 0; b < 3; ++b) {
            const uint32_t before = e.BlocksDone.load();
            capture_->QueueCapturePacket(bytes, N);
            EXPECT_TRUE(capture_->Tick());
            EXPECT_TRUE(WaitFor([&] { return e.BlocksDone.load() == before + 1; }));
            const uint32_t periods = e.PeriodsDone.load();
            if (b > 0) {
                EXPECT_TRUE(render_->Tick());
            }
            EXPECT_TRUE(WaitFor([&] { return e.PeriodsDone.load() == (b > 0 ? periods + 1 : 1u); }));
        }
        // STOP: EngineRunning cleared; the next Play finds the threads and waits for them itself.
        EngineRunning.store(0);
        std::vector<uint8_t> out = render_->RenderedBytes();
        std::vector<int32_t> rendered(out.size() / 4);
        std::memcpy(rendered.data(), out.data(), rendered.size() * 4);
        EXPECT_TRUE(EndRun());
        capture_ = render_ = nullptr;
        return rendered;
    }

    // The WAV player's Play and a song of three blocks of constant levels `left` and `right` (24-bit), as the
    // panel's Play and start timer take them. Returns the song's rendered frames of 8 words (after the silent
    // period that opens it); the meters' peaks of the song go to `inputs` and `outputs`.
    std::vector<int32_t> PlayWavConstant(int32_t left, int32_t right, float inputs[8], float outputs[16]) {
        InMemoryAudioSystem system;
        render_ = &system.AddEndpoint(StreamDirection::Render, L"{r}", "Render");
        render_->SetAutoTick(1000);
        MessageList messages;
        EXPECT_TRUE(LastRunEnded(nullptr, &messages));
        EXPECT_TRUE(PrepareProgramWavPlay(system, &messages));
        const std::size_t N = static_cast<std::size_t>(ProgramEngine().Context->N);
        WavSong song;
        song.Channels = 2;
        song.BitsPerSample = 24;
        song.Size = 3 * N * 6;
        song.Data.reset(new uint8_t[song.Size + 2]);
        for (uint64_t i = 0; i < song.Size; ++i) song.Data[i] = static_cast<uint8_t>((i % 6 < 3 ? left : right) >> (8 * (i % 3)));
        WavRun run;
        run.Song = &song;
        run.Format = WavBlockFormatOf(song, BassMode, pr_file->tail.SystemConfiguration);
        EngineRunning.store(1);
        EXPECT_TRUE(StartProgramWavSong(&run, &messages));
        EXPECT_TRUE(messages.empty());
        EXPECT_TRUE(WaitFor([&] { return run.RunsEnded.load() == 1; }));
        uint32_t seen = 0;
        EXPECT_TRUE(TakeProgramMeterPeaks(&seen, inputs, outputs));
        EngineRunning.store(0);
        EXPECT_TRUE(EndRun());
        const std::vector<uint8_t> out = render_->RenderedBytes();
        render_ = nullptr;
        if (out.size() < 32 * N) return {};
        std::vector<int32_t> rendered(out.size() / 4 - 8 * N);
        std::memcpy(rendered.data(), out.data() + 32 * N, rendered.size() * 4);
        return rendered;
    }

    // Every frame of the run: output o (1..8) carries want[o - 1] x 256, within the float transforms' step.
    static void ExpectOutputs(const std::vector<int32_t>& frames, const int32_t want[8]) {
        const size_t count = frames.size() / 8;
        ASSERT_GE(count, 3u * 1024);
        for (size_t j = 0; j < count; ++j)
            for (int o = 0; o < 8; ++o)
                ASSERT_LE(std::abs(static_cast<long>(frames[j * 8 + o]) - want[o] * 256L), 256L)
                    << "frame " << j << " output " << o + 1;
    }

    HeapRecord<PreferencesRecord> prefs_ = AllocZeroed<PreferencesRecord>();
    PreferencesRecord* saved_prefs_ = nullptr;
    InMemoryEndpoint* capture_ = nullptr;
    InMemoryEndpoint* render_ = nullptr;
    ScratchDir dir_;
    uint32_t size_ = HV_Buffer_Size, output_ = OutputMode, input_ = InputMode, bits_ = Capture24Bit,
             bass_ = BassMode, debug_ = WasapiDebugMode;
    std::wstring capture_id_ = CaptureEndpointId, render_id_ = RenderEndpointId;
};

TEST_F(ProgramPlay, BbmOutputFeedsTheSubsOfThePreferencesRowsAtEveryPlay) {
    // Inputs 1 and 3 carry a constant 1000 through unity filters to outputs 1 and 2. Sub 1 is output 5 fed
    // from output 1, Sub 2 output 6 fed from output 2; at BbmGain 0.5 each source is added at 2 x 0.5 = 1.
    UnityPath(1, 1);
    UnityPath(3, 2);
    SetField(10, "5");
    SetField(8, "1");
    SetField(11, "6");
    SetField(9, "2");
    const int32_t first[8] = {1000, 1000, 0, 0, 1000, 1000, 0, 0};
    ExpectOutputs(PlayConstant(1000), first);

    // The rows are read again at the next Play: Sub 1 = output 7 from output 2, Sub 2 = output 8 from
    // output 1, and a BbmGain of 0.25 adds each source at half its level.
    SetField(10, "7");
    SetField(8, "2");
    SetField(11, "8");
    SetField(9, "1");
    pr_file->tail.BbmGain = 0.25f;
    const int32_t second[8] = {1000, 1000, 0, 0, 0, 0, 500, 500};
    ExpectOutputs(PlayConstant(1000), second);

    // The WAV player's Play reads them as well: Sub 1 = output 6 from output 1, Sub 2 = output 5 from output 2
    // (the song's channels differ, so a Sub fed from the other output shows). Its meters show the song's
    // samples and the highest word of each output.
    SetField(10, "6");
    SetField(8, "1");
    SetField(11, "5");
    SetField(9, "2");
    float inputs[8], outputs[16];
    const std::vector<int32_t> wav = PlayWavConstant(1000, 600, inputs, outputs);
    const int32_t third[8] = {1000, 600, 0, 0, 300, 500, 0, 0};
    ExpectOutputs(wav, third);
    EXPECT_EQ(inputs[0], 1000.0f);
    EXPECT_EQ(inputs[2], 600.0f);
    for (int o = 0; o < 8; ++o) {
        int32_t top = 0;
        for (std::size_t j = o; j < wav.size(); j += 8) top = std::max(top, wav[j]);
        EXPECT_EQ(outputs[o], static_cast<float>(top)) << "output " << o + 1;
    }
}

TEST_F(ProgramPlay, AProfileLoadStartsAtPositionNineAndUpStepsFromThere) {
    // A profile saved at 0 dB (position 51), loaded while the volume stands at position 30.
    const std::string profile_ = dir_.File("living room.hif");
    pr_file->tail.VolumePosition = 51;
    pr_file->tail.PhaseMode = 1;
    MirroredSettings settings = GatherMirroredSettings();
    MessageList messages;
    ASSERT_EQ(WriteProjectFile(profile_, GlobalProjectContext(&settings), &messages), 1);
    std::strcpy(Preferences->ProfileSlots[2], profile_.c_str());
    pr_file->tail.VolumePosition = 30;
    pr_file->tail.PhaseMode = 0;
    LiveShared.MasterGain.store(MasterGainOf(30));

    std::string path;
    ASSERT_EQ(LoadProfile(3, &messages, &path), ProfileLoad::kLoaded);
    EXPECT_EQ(pr_file->tail.VolumePosition, 9);
    EXPECT_FLOAT_EQ(LiveShared.MasterGain.load(), static_cast<float>(std::pow(10.0, (9 - 51) / 20.0)));
    EXPECT_EQ(pr_file->tail.PhaseMode, 1);  // the phase mode is the file's

    // Up, as the hook hands it the record's values: one step of 3 from position 9.
    LiveKeyValues v;
    v.VolumePosition = pr_file->tail.VolumePosition;
    v.MasterGain = LiveShared.MasterGain.load();
    v.PhaseMode = pr_file->tail.PhaseMode;
    v.BbmGain = pr_file->tail.BbmGain;
    ASSERT_TRUE(ApplyLiveKey(LiveKeyPanel::kPlayer, KeyMessage::kKeyDown, kKeyUp, LiveShared.Groups, &v).acted);
    EXPECT_EQ(v.VolumePosition, 12);
    EXPECT_FLOAT_EQ(v.MasterGain, static_cast<float>(std::pow(10.0, (12 - 51) * 0.05)));

    // What the engine gets: the gain of position 12, the phase mode of the file, the tone level of 12.
    pr_file->tail.VolumePosition = v.VolumePosition;
    LiveShared.MasterGain.store(v.MasterGain);
    PublishProgramLiveValues(0);
    EXPECT_FLOAT_EQ(ProgramEngineLive().MasterGain.load(), 0.011220185f);
    EXPECT_EQ(ProgramEngineLive().VolumePosition.load(), 12);
    EXPECT_EQ(ProgramEngineLive().PhaseMode.load(), 1);
}

TEST_F(ProgramPlay, PlayWaitsForTheLastRunAndRefusesWhileAThreadLingers) {
    InMemoryAudioSystem system;
    MessageList messages;
    ASSERT_TRUE(PrepareProgramEngine(system, 0, &messages));
    EngineSession& e = ProgramEngine();
    ASSERT_EQ(e.Context->N, 1024);
    // A worker of the last run that is still finishing its block.
    std::atomic<bool> release{false};
    e.Threads[kConvolutionLow] = StartThread(
        [&] {
            while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        ThreadPriority::Normal);
    ASSERT_TRUE(EngineThreadsAlive(e));
    HV_Buffer_Size = 0;  // a rewiring would make the block 512 frames
    e.Context->RoutingMatrix = nullptr;
    EXPECT_FALSE(LastRunEnded(nullptr, &messages, 50));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kEngineStillStopping);
    messages.clear();
    EXPECT_FALSE(PrepareProgramEngine(system, 0, &messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kEngineStillStopping);
    EXPECT_EQ(e.Context->N, 1024);  // nothing was rewired under the thread
    EXPECT_EQ(e.Context->RoutingMatrix, nullptr);
    messages.clear();
    EXPECT_FALSE(StartProgramEngine(0, &messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kEngineStillStopping);
    EXPECT_EQ(EngineRunning.load(), 0);

    // Once it has left, the wait finds it gone and Play goes on.
    release = true;
    messages.clear();
    EXPECT_TRUE(LastRunEnded(nullptr, &messages));
    EXPECT_FALSE(EngineThreadsAlive(e));
    EXPECT_TRUE(PrepareProgramEngine(system, 0, &messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(e.Context->N, 512);
}

}  // namespace
