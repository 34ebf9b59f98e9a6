// The program's engine over the global records: wired to them, started from the settings globals, and
// streaming a known signal through a one-tap filter to the in-memory render device, where the rendered
// words must be the captured ones.
#include "engine/engine_globals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "app/global_records.h"
#include "app/settings.h"
#include "engine/endpoints.h"
#include "engine/play_checks.h"
#include "platform/in_memory_audio.h"
#include "test_util.h"

namespace {

struct DspBuffers {
    DspBuffers() { ok = AllocateDspBuffers() == 0; }
    ~DspBuffers() { FreeDspBuffers(); }
    bool ok;
};

// Puts back the globals the test changes, for the tests that run after it in the same process.
struct GlobalsScope {
    uint32_t size = HV_Buffer_Size, output = OutputMode, input = InputMode, bits = Capture24Bit, bass = BassMode,
             debug = WasapiDebugMode;
    std::wstring capture = CaptureEndpointId, render = RenderEndpointId;
    ~GlobalsScope() {
        HV_Buffer_Size = size;
        OutputMode = output;
        InputMode = input;
        Capture24Bit = bits;
        BassMode = bass;
        WasapiDebugMode = debug;
        CaptureEndpointId = capture;
        RenderEndpointId = render;
        RoutingMatrix[0][0] = 0;
        EngineRunning.store(0);
    }
};

TEST(ProgramEngine, StreamsThroughTheGlobalRecords) {
    GlobalsScope globals;
    DspBuffers dsp;
    ASSERT_TRUE(dsp.ok);
    InMemoryAudioSystem system;
    InMemoryEndpoint& capture = system.AddEndpoint(StreamDirection::Capture, L"{c}", "Capture");
    InMemoryEndpoint& render = system.AddEndpoint(StreamDirection::Render, L"{r}", "Render");
    HV_Buffer_Size = 1;  // 1024 frames at 48000 Hz (pr_file is not there: the rate defaults to 48000)
    OutputMode = 0;
    InputMode = 0;
    Capture24Bit = 1;
    BassMode = 0;
    WasapiDebugMode = 0;
    CaptureEndpointId = L"{c}";
    RenderEndpointId = L"{r}";
    ASSERT_EQ(WireProgramEngine(system), 0);
    EngineSession& e = ProgramEngine();
    EXPECT_EQ(e.Context->InputBlock[4], InputBlock[4]);
    EXPECT_EQ(e.Context->FilterPartitionBank[1][15][7], FilterPartitionBank[1][15][7]);
    EXPECT_EQ(e.Context->RoutingMatrix, &RoutingMatrix[0][0]);

    const EngineStartSettings settings = EngineSettingsFromGlobals();
    EXPECT_EQ(settings.SampleRate, 48000u);
    EXPECT_EQ(settings.BlockFrames(), 1024);
    EXPECT_EQ(settings.CaptureEndpointId, L"{c}");
    const int N = settings.BlockFrames();

    // A one-tap filter on output 1 from port 1: partition 0 of a unit impulse is 1 in every bin.
    MessageList messages;
    auto build = [&] {
        for (int k = 0; k < 2 * N; ++k) {
            FilterPartitionBank[0][0][0][2 * k] = 1.0f;
            FilterPartitionBank[0][0][0][2 * k + 1] = 0.0f;
        }
        return 0;
    };
    RoutingMatrix[0][0] = 1;
    PlayRuleInputs rules;
    rules.BufferSizeIndex = settings.BufferSizeIndex;
    ASSERT_EQ(PlaySystem(e, rules, build, 0, &messages), PlayResult::kArmed);
    ASSERT_EQ(StartEngine(e, settings), EngineStartResult::kStarted);
    ASSERT_TRUE(capture.WaitUntilStarted(3000));

    std::vector<int32_t> sent;
    for (int b = 0; b < 3; ++b) {
        std::vector<int32_t> words(2 * N);
        for (int j = 0; j < N; ++j) {
            words[2 * j] = ((b * N + j) % 4000 - 2000) * 1000 * 256;  // left: a ramp within 24 bits
            words[2 * j + 1] = 77 * 256;
            sent.push_back(words[2 * j]);
        }
        std::vector<uint8_t> bytes(words.size() * 4);
        std::memcpy(bytes.data(), words.data(), bytes.size());
        const uint32_t before = e.BlocksDone.load();
        capture.QueueCapturePacket(bytes, N);
        ASSERT_TRUE(capture.Tick());
        ASSERT_TRUE(WaitFor([&] { return e.BlocksDone.load() == before + 1; }));
        if (b > 0) {
            const uint32_t periods = e.PeriodsDone.load();
            ASSERT_TRUE(render.Tick());
            ASSERT_TRUE(WaitFor([&] { return e.PeriodsDone.load() == periods + 1; }));
        } else {
            ASSERT_TRUE(WaitFor([&] { return e.PeriodsDone.load() == 1; }));
        }
    }
    EngineRunning.store(0);
    for (int i = 0; i < 2000 && !StopEngine(e, 5); ++i) {
        capture.Tick();
        render.Tick();
    }
    ASSERT_FALSE(EngineThreadsAlive(e));
    const std::vector<uint8_t> out = render.RenderedBytes();
    ASSERT_GE(out.size(), 3u * N * 8 * 4);
    for (int j = 0; j < 3 * N; ++j) {
        int32_t w[8];
        std::memcpy(w, out.data() + static_cast<std::size_t>(j) * 32, sizeof w);
        // The float transforms round a sample by a fraction; truncation toward zero may then lose one step.
        ASSERT_LE(std::abs(static_cast<long>(w[0]) - sent[j]), 256) << j;
        for (int c = 1; c < 8; ++c) ASSERT_EQ(w[c], 0) << j << " " << c;
    }
}

}  // namespace
