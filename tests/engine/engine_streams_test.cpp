// The streaming engine with its real threads over the in-memory endpoints: the rendered stream against the
// single-threaded block path fed the same packets, the hand-over's timing and queue texts, the set-up
// status lines and error titles of every failing step, time-outs, under-run and full queue, and many start
// and stop cycles that must leave no thread, event or stream behind.
#include "engine/engine_streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/input_conversion.h"
#include "engine_test_buffers.h"
#include "platform/in_memory_audio.h"
#include "test_util.h"

namespace {

constexpr int kN = 512;
constexpr uint32_t kRate = 48000;
constexpr uint32_t kSizeIndex = 0;  // 512 frames at 48000 Hz
const std::wstring kCaptureId = L"{capture-engine}";
const std::wstring kRenderId = L"{render-engine}";

std::vector<double> SparseFir(std::mt19937& rng) {
    std::vector<double> taps(8 * kN, 0.0);
    std::uniform_real_distribution<double> value(-0.5, 0.5);
    std::uniform_int_distribution<int> where(0, 8 * kN - 1);
    for (int i = 0; i < 24; ++i) taps[where(rng)] = static_cast<float>(value(rng));
    taps[0] = 0.25;
    return taps;
}

// Routing of the tests: odd outputs from port 1, even outputs from port 3 (the two ports "Inputs 1-2"
// fills), every output with its own FIR.
void Design(TestEngineBuffers& b, unsigned seed) {
    std::mt19937 rng(seed);
    for (int o = 1; o <= kEngineOutputs; ++o) {
        b.routing[(o % 2 == 1) ? 0 : 2][o - 1] = 1;
        const std::vector<double> taps = SparseFir(rng);
        b.SetFilter(0, o, taps);
        b.SetFilter(1, o, taps);
    }
}

// One capture packet of two 24-bit channels in 32-bit containers.
std::vector<uint8_t> RandomPacket(std::mt19937& rng) {
    std::uniform_int_distribution<int32_t> sample(-4000000, 4000000);
    std::vector<int32_t> words(2 * kN);
    for (int32_t& w : words) w = sample(rng) * 256;
    std::vector<uint8_t> bytes(words.size() * 4);
    std::memcpy(bytes.data(), words.data(), bytes.size());
    return bytes;
}

class EngineStreams : public ::testing::Test {
protected:
    EngineStreams()
        : capture_(system_.AddEndpoint(StreamDirection::Capture, kCaptureId, "Capture (Test)")),
          render_(system_.AddEndpoint(StreamDirection::Render, kRenderId, "Render (Test)")),
          buffers_(kN) {
        Design(buffers_, 7);
        session_.Streams = &system_;
        session_.Context = &buffers_.ctx;
        session_.Recording = &pool_;
        session_.Status = &status_;
        session_.Live = &live_;
        session_.Running = &running_;
        session_.Counter = &counter_;
        EXPECT_EQ(AllocateEngineSessionBuffers(session_), 0);
        settings_.SampleRate = kRate;
        settings_.BufferSizeIndex = kSizeIndex;
        settings_.InputMode = 0;
        settings_.Capture24Bit = 1;
        settings_.CaptureEndpointId = kCaptureId;
        settings_.RenderEndpointId = kRenderId;
        settings_.TicksToMs = 0.001f;
    }

    ~EngineStreams() override {
        EndRun();
        FreeRecordingPool(&pool_);
    }

    // Stops the engine, ticking both devices so the stream threads need not wait out their time-outs.
    bool EndRun() {
        running_.store(0);
        for (int i = 0; i < 2000; ++i) {
            capture_.Tick();
            render_.Tick();
            if (StopEngine(session_, 5)) return true;
        }
        return false;
    }

    void Start() { ASSERT_EQ(StartEngine(session_, settings_), EngineStartResult::kStarted); }

    // One capture period with this packet; returns when the capture thread has handed the block over.
    void CaptureBlock(const std::vector<uint8_t>& packet) {
        const uint32_t before = session_.BlocksDone.load();
        capture_.QueueCapturePacket(packet, kN);
        ASSERT_TRUE(capture_.Tick());
        ASSERT_TRUE(WaitFor([&] { return session_.BlocksDone.load() == before + 1; })) << "block " << before;
    }

    void RenderPeriod() {
        const uint32_t before = session_.PeriodsDone.load();
        ASSERT_TRUE(render_.Tick());
        ASSERT_TRUE(WaitFor([&] { return session_.PeriodsDone.load() == before + 1; })) << "period " << before;
    }

    int FrameWords() const { return OutputFrameWords(settings_.OutputMode); }

    std::vector<int32_t> RenderedWords() const {
        const std::vector<uint8_t> bytes = render_.RenderedBytes();
        std::vector<int32_t> words(bytes.size() / 4);
        std::memcpy(words.data(), bytes.data(), words.size() * 4);
        return words;
    }

    InMemoryAudioSystem system_;
    InMemoryEndpoint& capture_;
    InMemoryEndpoint& render_;
    TestEngineBuffers buffers_;
    RecordingPool pool_;
    EngineStatusBoard status_;
    EngineLiveControls live_;
    std::atomic<int> running_{0};
    FakePerformanceCounter counter_{1000000};
    EngineSession session_;
    EngineStartSettings settings_;
};

// The reference: the same packets converted and processed one block at a time on this thread.
std::vector<std::vector<int32_t>> ReferenceBlocks(const std::vector<std::vector<uint8_t>>& packets,
                                                  uint32_t output_mode, const LiveBlockValues& live) {
    TestEngineBuffers ref(kN);
    Design(ref, 7);
    ref.ctx.OutputMode = output_mode;
    CaptureConversionSettings conversion;
    conversion.InputMode = 0;
    conversion.Capture24Bit = 1;
    float peaks[kInputPeakCount];
    std::vector<std::vector<int32_t>> blocks;
    const int words = OutputFrameWords(output_mode) * kN;
    for (const auto& packet : packets) {
        ConvertCaptureBlock(packet.data(), kN, conversion, live.BbmGain, ref.ctx.InputBlock, peaks);
        ProcessEngineBlock(ref.ctx, live);
        blocks.emplace_back(ref.ctx.OutputBlock, ref.ctx.OutputBlock + words);
    }
    return blocks;
}

struct StreamCase {
    uint32_t output_mode;
    uint32_t queue;
};

class EngineStreamsEquality : public EngineStreams, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(EngineStreamsEquality, RenderedStreamIsTheSingleThreadedBlockPath) {
    settings_.OutputMode = GetParam().output_mode;
    settings_.OutputQueue = GetParam().queue;
    settings_.RenderTiming = GetParam().queue % 2;  // both orders of start and first block
    settings_.CaptureTiming = (GetParam().queue / 2) % 2;
    live_.MasterGain.store(0.7f);
    live_.ChannelTrims[3].store(0.5f);
    const int q = static_cast<int>(settings_.OutputQueue);
    const int blocks = 12;
    std::mt19937 rng(100 + GetParam().output_mode * 10 + GetParam().queue);
    std::vector<std::vector<uint8_t>> packets;
    for (int b = 0; b < blocks; ++b) packets.push_back(RandomPacket(rng));

    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    // The pre-roll: the first block alone (direct) or q + 2 blocks before the render thread's first take.
    const int preroll = q == 0 ? 1 : q + 2;
    for (int b = 0; b < preroll; ++b) {
        CaptureBlock(packets[b]);
        if (b < preroll - 1) {
            EXPECT_EQ(session_.OutputBlockSignals.load(), 0u) << b;
        }
    }
    ASSERT_TRUE(WaitFor([&] { return session_.PeriodsDone.load() == 1; }));
    EXPECT_EQ(session_.OutputBlockSignals.load(), 1u);
    EXPECT_EQ(session_.OutputBlockSignalBlock.load(), q == 0 ? 0 : q + 1);
    EXPECT_EQ(status_.Text(PanelText::Queue).Read(), "Buffers=" + std::to_string(q == 0 ? 0 : q + 2) + " ");
    EXPECT_NE(status_.Text(PanelText::RenderTime1).Read().find("D1="), std::string::npos);
    EXPECT_EQ(status_.Text(PanelText::RenderTime2).Read(), "");
    int rendered_blocks = 1;
    for (int b = preroll; b < blocks; ++b) {
        CaptureBlock(packets[b]);
        RenderPeriod();
        ++rendered_blocks;
        EXPECT_EQ(status_.Text(PanelText::Queue).Read(), "Buffers=" + std::to_string(q == 0 ? 0 : q + 2) + " ");
        EXPECT_EQ(status_.Text(PanelText::BlockNumber).Read(), "Fr=" + std::to_string(b));
    }
    EXPECT_NE(status_.Text(PanelText::RenderTime2).Read().find("D1="), std::string::npos);
    ASSERT_TRUE(EndRun());

    const auto expected = ReferenceBlocks(packets, settings_.OutputMode, live_.Snapshot());
    const std::vector<int32_t> words = RenderedWords();
    const std::size_t block_words = static_cast<std::size_t>(FrameWords()) * kN;
    ASSERT_GE(words.size(), block_words * rendered_blocks);
    for (int b = 0; b < rendered_blocks; ++b) {
        long mismatches = 0;
        std::vector<long> nonzero(FrameWords(), 0);
        for (std::size_t i = 0; i < block_words; ++i) {
            const int32_t want = expected[b][i];
            const int32_t got = words[b * block_words + i];
            if (want != 0) ++nonzero[i % FrameWords()];
            // Two builds of the same float code on two threads give the same words; one word of 24-bit
            // rounding is the most a different summation order could move.
            if (std::abs(static_cast<long>(got) - want) > 256) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0) << "block " << b;
        for (int c = 0; c < FrameWords(); ++c) EXPECT_GT(nonzero[c], kN / 2) << "block " << b << " column " << c;
    }
    EXPECT_EQ(running_.load(), 0);
    EXPECT_EQ(status_.DesignPanelTitle.Read(), "");
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), "");
}

std::vector<StreamCase> AllCases() {
    std::vector<StreamCase> cases;
    for (uint32_t mode = 0; mode < 3; ++mode)
        for (uint32_t q = 0; q <= 4; ++q) cases.push_back({mode, q});
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<StreamCase>& info) {
    static const char* const kModes[3] = {"EightOutputs", "SixteenOutputs", "EightPlusSpdif"};
    return std::string(kModes[info.param.output_mode]) + "Queue" + std::to_string(info.param.queue);
}

INSTANTIATE_TEST_SUITE_P(EveryModeAndQueueDepth, EngineStreamsEquality, ::testing::ValuesIn(AllCases()), CaseName);

// Everything at once on the threads: eight capture channels, "BBM Output" sums, CABS delays, the
// minimum-phase bank (different filters from bank 0), volume and trims, four-deep queue.
TEST_F(EngineStreams, EightInputsBbmOutputCabsAndBankOneMatchTheBlockPath) {
    settings_.OutputMode = 1;
    settings_.OutputQueue = 4;
    settings_.InputMode = 2;
    settings_.BassMode = 3;
    settings_.SystemConfiguration = 4;
    live_.PhaseMode.store(1);
    live_.MasterGain.store(0.6f);
    live_.BbmGain.store(0.8f);
    live_.ChannelTrims[12].store(1.25f);
    auto design = [](TestEngineBuffers& b) {
        std::mt19937 rng(21);
        for (int o = 1; o <= kEngineOutputs; ++o) {
            for (int r = 0; r < kRoutingRows; ++r) b.routing[r][o - 1] = 0;
            b.routing[(o - 1) % 8][o - 1] = 1;  // ports 1..8
            b.SetFilter(0, o, SparseFir(rng));
            b.SetFilter(1, o, SparseFir(rng));
        }
        b.cabs_enabled[1] = 1;
        b.cabs_delay[1] = 300;
        b.cabs_enabled[9] = 1;
        b.cabs_delay[9] = 1500;
        b.ctx.SubChannels[0] = 5;
        b.ctx.SubChannels[1] = 13;
        b.ctx.BbmSourceChannels[0] = 1;
        b.ctx.BbmSourceChannels[1] = 9;
    };
    design(buffers_);
    const int blocks = 10, q = 4, preroll = q + 2;
    std::mt19937 rng(22);
    std::uniform_int_distribution<int32_t> sample(-3000000, 3000000);
    std::vector<std::vector<uint8_t>> packets;
    for (int b = 0; b < blocks; ++b) {
        std::vector<int32_t> words(8 * kN);
        for (int32_t& w : words) w = sample(rng) * 256;
        std::vector<uint8_t> bytes(words.size() * 4);
        std::memcpy(bytes.data(), words.data(), bytes.size());
        packets.push_back(std::move(bytes));
    }
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    EXPECT_EQ(capture_.InitializedFormat().channels, 8);
    for (int b = 0; b < preroll; ++b) {
        const uint32_t before = session_.BlocksDone.load();
        capture_.QueueCapturePacket(packets[b], kN);
        ASSERT_TRUE(capture_.Tick());
        ASSERT_TRUE(WaitFor([&] { return session_.BlocksDone.load() == before + 1; }));
    }
    ASSERT_TRUE(WaitFor([&] { return session_.PeriodsDone.load() == 1; }));
    EXPECT_EQ(render_.InitializedFormat().channels, 16);
    EXPECT_EQ(render_.InitializedFormat().channel_mask, 0xFFFFu);
    for (int b = preroll; b < blocks; ++b) {
        const uint32_t before = session_.BlocksDone.load();
        capture_.QueueCapturePacket(packets[b], kN);
        ASSERT_TRUE(capture_.Tick());
        ASSERT_TRUE(WaitFor([&] { return session_.BlocksDone.load() == before + 1; }));
        RenderPeriod();
    }
    ASSERT_TRUE(EndRun());

    TestEngineBuffers ref(kN);
    design(ref);
    ref.ctx.OutputMode = 1;
    ref.ctx.BassMode = 3;
    CaptureConversionSettings conversion;
    conversion.InputMode = 2;
    conversion.Capture24Bit = 1;
    conversion.BassMode = 3;
    conversion.SystemConfiguration = 4;
    const LiveBlockValues live = live_.Snapshot();
    float peaks[kInputPeakCount];
    const std::vector<int32_t> words = RenderedWords();
    const int rendered = blocks - preroll + 1;
    ASSERT_GE(words.size(), static_cast<std::size_t>(rendered) * 16 * kN);
    long nonzero = 0;
    for (int b = 0; b < rendered; ++b) {
        ConvertCaptureBlock(packets[b].data(), kN, conversion, live.BbmGain, ref.ctx.InputBlock, peaks);
        ProcessEngineBlock(ref.ctx, live);
        for (int i = 0; i < 16 * kN; ++i) {
            const int32_t want = ref.ctx.OutputBlock[i];
            nonzero += want != 0;
            ASSERT_LE(std::abs(static_cast<long>(words[static_cast<std::size_t>(b) * 16 * kN + i]) - want), 256)
                << "block " << b << " word " << i;
        }
    }
    EXPECT_GT(nonzero, static_cast<long>(rendered) * 16 * kN / 2);
}

// The capture thread fills only the ports the outputs read. Through the threads, twelve or six captured
// channels in designs that route a few ports (a sub port whose "BBM Input" or "Summed L+R" sum reads
// ports no output reads, one port feeding two outputs, a port without a channel), the words are those of
// the block path fed every port, word for word, and the input meters hold every channel's peak.
TEST_F(EngineStreams, FillingOnlyTheRoutedPortsChangesNoWordAndNoPeak) {
    struct Case {
        uint32_t input_mode, bass_mode, configuration;
        int routes[8];  // port of outputs 1..8, 0 for none
    };
    const Case cases[] = {{1, 1, 4, {5, 0, 0, 0, 0, 0, 0, 0}},
                          {1, 0, 0, {7, 7, 2, 0, 0, 0, 0, 0}},
                          {3, 2, 3, {9, 3, 0, 0, 0, 0, 0, 8}},
                          {1, 1, 3, {1, 9, 0, 4, 0, 0, 0, 0}}};
    for (const Case& c : cases) {
        settings_.OutputMode = 0;
        settings_.OutputQueue = 0;
        settings_.InputMode = c.input_mode;
        settings_.BassMode = c.bass_mode;
        settings_.SystemConfiguration = c.configuration;
        live_.BbmGain.store(0.45f);
        status_.ClearPeaks();
        auto design = [&c](TestEngineBuffers& b) {
            std::mt19937 rng(31);
            for (int o = 1; o <= kEngineOutputs; ++o) {
                for (int r = 0; r < kRoutingRows; ++r) b.routing[r][o - 1] = 0;
                if (o <= 8 && c.routes[o - 1]) b.routing[c.routes[o - 1] - 1][o - 1] = 1;
                b.SetFilter(0, o, SparseFir(rng));
                b.SetFilter(1, o, SparseFir(rng));
            }
        };
        design(buffers_);
        CaptureConversionSettings conversion;
        conversion.InputMode = c.input_mode;
        conversion.Capture24Bit = 1;
        conversion.BassMode = c.bass_mode;
        conversion.SystemConfiguration = c.configuration;
        const int channels = CaptureFrameChannels(conversion);
        const int blocks = 6;
        std::mt19937 rng(32);
        std::uniform_int_distribution<int32_t> sample(-3000000, 3000000);
        std::vector<std::vector<uint8_t>> packets;
        for (int b = 0; b < blocks; ++b) {
            std::vector<int32_t> words(static_cast<std::size_t>(channels) * kN);
            for (int32_t& w : words) w = sample(rng) * 256 + static_cast<int32_t>(rng() % 256);
            std::vector<uint8_t> bytes(words.size() * 4);
            std::memcpy(bytes.data(), words.data(), bytes.size());
            packets.push_back(std::move(bytes));
        }
        const std::size_t rendered_before = render_.RenderedBytes().size() / 4;
        Start();
        ASSERT_TRUE(capture_.WaitUntilStarted(3000));
        CaptureBlock(packets[0]);
        ASSERT_TRUE(WaitFor([&] { return session_.PeriodsDone.load() == 1; }));
        for (int b = 1; b < blocks; ++b) {
            CaptureBlock(packets[b]);
            RenderPeriod();
        }
        ASSERT_TRUE(EndRun());

        TestEngineBuffers ref(kN);
        design(ref);
        const LiveBlockValues live = live_.Snapshot();
        float peaks[kInputPeakCount], highest[kInputPeakCount] = {};
        const std::vector<int32_t> words = RenderedWords();
        ASSERT_GE(words.size(), rendered_before + static_cast<std::size_t>(blocks) * 8 * kN);
        long nonzero = 0;
        for (int b = 0; b < blocks; ++b) {
            ConvertCaptureBlockReference(packets[b].data(), kN, conversion, live.BbmGain, ref.ctx.InputBlock, peaks);
            ProcessEngineBlock(ref.ctx, live);
            for (int i = 0; i < kInputPeakCount; ++i) highest[i] = std::max(highest[i], peaks[i]);
            for (int i = 0; i < 8 * kN; ++i) {
                nonzero += ref.ctx.OutputBlock[i] != 0;
                ASSERT_EQ(words[rendered_before + static_cast<std::size_t>(b) * 8 * kN + i], ref.ctx.OutputBlock[i])
                    << "input mode " << c.input_mode << " block " << b << " word " << i;
            }
        }
        EXPECT_GT(nonzero, static_cast<long>(blocks) * kN / 2);
        for (int i = 0; i < kInputPeakCount; ++i) EXPECT_EQ(status_.InputPeaks[i].load(), highest[i]) << "port " << i + 1;
        EXPECT_GT(highest[c.input_mode == 3 ? 5 : 7], 0.0f);
    }
}

// Each stream's set-up steps with their rows, and what a failure there reads.
struct SetupStep {
    StreamStep step;
    int row;
};
constexpr SetupStep kSetupSteps[] = {
    {StreamStep::InitializeCom, 0}, {StreamStep::CreateEnumerator, 1}, {StreamStep::OpenDevice, 2},
    {StreamStep::Activate, 3},      {StreamStep::GetDevicePeriod, 4},  {StreamStep::IsFormatSupported, 5},
    {StreamStep::Initialize, 6},    {StreamStep::MakeEvent, 7},        {StreamStep::SetEventHandle, 8},
    {StreamStep::GetBufferSize, 9}, {StreamStep::GetService, 10},      {StreamStep::Start, 11},
};

std::vector<std::string> SuccessLines(bool capture) {
    return {"CoInitializeEx OK",
            "CoCreateInstance OK",
            capture ? "GetDefaultAudioEndpoint OK" : "GetDevice OK",
            "Activate OK",
            "GetDevicePeriod OK, 3 ms Period",
            capture ? "Capturing IsFormatSupported OK" : "Rendering IsFormatSupported OK",
            "Initialize OK, 106667 Duration",
            "CreateEvent OK",
            "SetEventHandle OK",
            "GetBufferSize OK, 512 Frames",
            "GetService OK",
            "Start OK"};
}

std::string FailureLine(bool capture, int row, const char* code_name) {
    static const char* const kLabels[2][kStatusRows] = {
        {"CoInitializeEx", "CoCreateInstance", "GetDefaultAudioEndpoint", "Activate", "GetDevicePeriod", "Capturing",
         "Initialize", nullptr, "SetEventHandle", "GetBufferSize", "GetService", "Start"},
        {"CoInitializeEx", "CoCreateInstance", "GetDevice", "Activate", "GetDevicePeriod", "Rendering", "Initialize",
         nullptr, "SetEventHandle", "GetBufferSize", "GetService", "Start"}};
    const char* label = kLabels[capture ? 0 : 1][row];
    return label ? std::string(label) + " " + code_name : std::string("E_FAIL");
}

TEST_F(EngineStreams, EveryFailingSetUpStepWritesItsLineAndTheErrorTitle) {
    settings_.WasapiDebugMode = 1;
    for (int direction = 0; direction < 2; ++direction) {
        const bool capture = direction == 0;
        for (const SetupStep& step : kSetupSteps) {
            SCOPED_TRACE(std::string(capture ? "capture " : "render ") + StreamStepName(step.step));
            const int32_t code = step.step == StreamStep::InitializeCom ? HR_RPC_E_CHANGED_MODE : HR_E_INVALIDARG;
            system_.ClearFailures();
            system_.InjectFailure(capture ? StreamDirection::Capture : StreamDirection::Render, step.step, code);
            status_.DesignPanelTitle.Clear();
            status_.PlayerPanelTitle.Clear();
            Start();
            ASSERT_TRUE(WaitFor([&] { return running_.load() == 0; }, 4000));
            ASSERT_TRUE(StopEngine(session_, 4000));
            const int stream = capture ? 0 : 1;
            const std::vector<std::string> ok = SuccessLines(capture);
            for (int row = 0; row < step.row; ++row) EXPECT_EQ(status_.StatusLines[stream][row].Read(), ok[row]) << row;
            EXPECT_EQ(status_.StatusLines[stream][step.row].Read(),
                      FailureLine(capture, step.row, step.step == StreamStep::InitializeCom ? "RPC_E_CHANGED_MODE" : "E_INVALIDARG"));
            for (int row = step.row + 1; row < kStatusRows; ++row) EXPECT_EQ(status_.StatusLines[stream][row].Read(), "") << row;
            const char* title = capture ? kCaptureErrorTitle : kRenderErrorTitle;
            EXPECT_EQ(status_.DesignPanelTitle.Read(), title);
            EXPECT_EQ(status_.PlayerPanelTitle.Read(), title);
            EXPECT_EQ(system_.LiveStreams(), 0);
            EXPECT_FALSE(capture_.InUse());
            EXPECT_FALSE(render_.InUse());
        }
    }
}

TEST_F(EngineStreams, WithoutDebugModeNoStatusLineAndSFalseGoesOn) {
    system_.InjectFailure(StreamDirection::Capture, StreamStep::InitializeCom, HR_S_FALSE);
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    ASSERT_TRUE(render_.WaitUntilStarted(3000));
    for (const auto& stream : status_.StatusLines)
        for (const PublishedText& line : stream) EXPECT_EQ(line.Read(), "");
    ASSERT_TRUE(EndRun());

    settings_.WasapiDebugMode = 1;
    Start();
    ASSERT_TRUE(render_.WaitUntilStarted(3000));
    EXPECT_EQ(status_.StatusLines[0][0].Read(), "CoInitializeEx S_FALSE");
    EXPECT_EQ(status_.StatusLines[1][0].Read(), "CoInitializeEx OK");
    // Each thread publishes its line after its own Start returns: wait for both.
    EXPECT_TRUE(WaitFor([&] { return status_.StatusLines[0][11].Read() == "Start OK"; }));
    EXPECT_TRUE(WaitFor([&] { return status_.StatusLines[1][11].Read() == "Start OK"; }));
    ASSERT_TRUE(EndRun());
    EXPECT_EQ(status_.DesignPanelTitle.Read(), "");
}

TEST_F(EngineStreams, ADeviceBufferOtherThanOneBlockIsRefused) {
    settings_.WasapiDebugMode = 1;
    render_.SetBufferFrames(kN + 64);
    Start();
    ASSERT_TRUE(WaitFor([&] { return running_.load() == 0; }, 4000));
    ASSERT_TRUE(StopEngine(session_, 4000));
    EXPECT_EQ(status_.StatusLines[1][9].Read(), "GetBufferSize AUDCLNT_E_BUFFER_SIZE_ERROR");
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), kRenderErrorTitle);
}

TEST_F(EngineStreams, ACaptureEventTimeOutEndsWithoutATitle) {
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    // No tick: the capture thread waits one second, stops its stream and ends the engine.
    ASSERT_TRUE(WaitFor([&] { return running_.load() == 0; }, 4000));
    ASSERT_TRUE(StopEngine(session_, 4000));
    EXPECT_EQ(session_.CaptureResult.load(), kCaptureTimeoutResult);
    EXPECT_EQ(session_.CaptureExitCode.load(), kCaptureExitCode);
    EXPECT_EQ(status_.DesignPanelTitle.Read(), "");
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), "");
    EXPECT_GE(capture_.StopCount(), 1u);
}

TEST_F(EngineStreams, ACaptureBufferFailureWhileStreamingShowsTheCaptureTitle) {
    system_.InjectFailure(StreamDirection::Capture, StreamStep::GetBuffer, HR_AUDCLNT_E_DEVICE_INVALIDATED, 2);
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    std::mt19937 rng(3);
    CaptureBlock(RandomPacket(rng));
    CaptureBlock(RandomPacket(rng));
    capture_.Tick();
    ASSERT_TRUE(WaitFor([&] { return running_.load() == 0; }));
    ASSERT_TRUE(EndRun());
    EXPECT_EQ(session_.CaptureResult.load(), HR_AUDCLNT_E_DEVICE_INVALIDATED);
    EXPECT_EQ(status_.DesignPanelTitle.Read(), kCaptureErrorTitle);
}

TEST_F(EngineStreams, ARenderFailureWhileStreamingClearsEngineRunning) {
    system_.InjectFailure(StreamDirection::Render, StreamStep::ReleaseBuffer, HR_AUDCLNT_E_DEVICE_INVALIDATED, 1);
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    std::mt19937 rng(4);
    CaptureBlock(RandomPacket(rng));
    ASSERT_TRUE(WaitFor([&] { return session_.PeriodsDone.load() == 1; }));
    CaptureBlock(RandomPacket(rng));
    render_.Tick();
    ASSERT_TRUE(WaitFor([&] { return running_.load() == 0; }));
    ASSERT_TRUE(EndRun());
    EXPECT_EQ(session_.RenderResult.load(), HR_AUDCLNT_E_DEVICE_INVALIDATED);
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), kRenderErrorTitle);
}

TEST_F(EngineStreams, AnUnderRunReleasesSilenceAndStopsWithoutATitle) {
    settings_.OutputQueue = 1;
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    std::mt19937 rng(5);
    for (int b = 0; b < 3; ++b) CaptureBlock(RandomPacket(rng));
    ASSERT_TRUE(WaitFor([&] { return session_.PeriodsDone.load() == 1; }));
    RenderPeriod();  // block 1
    RenderPeriod();  // block 2: the ring is empty now, which is no under-run yet
    EXPECT_EQ(running_.load(), 1);
    ASSERT_TRUE(render_.Tick());  // nothing to take
    ASSERT_TRUE(WaitFor([&] { return running_.load() == 0; }));
    ASSERT_TRUE(EndRun());
    EXPECT_EQ(session_.RenderResult.load(), HR_S_OK);
    EXPECT_EQ(session_.PeriodsDone.load(), 3u);
    EXPECT_EQ(render_.RenderedFrames(), 4u * kN);  // three blocks and the silent release
    const std::vector<int32_t> words = RenderedWords();
    for (std::size_t i = 3 * 8 * kN; i < words.size(); ++i) ASSERT_EQ(words[i], 0) << i;
    EXPECT_EQ(status_.DesignPanelTitle.Read(), "");
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), "");
}

TEST_F(EngineStreams, AFullQueueStopsWithoutATitle) {
    settings_.OutputQueue = 1;
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    std::mt19937 rng(6);
    for (int b = 0; b < 3; ++b) CaptureBlock(RandomPacket(rng));
    ASSERT_TRUE(WaitFor([&] { return session_.PeriodsDone.load() == 1; }));
    // The render device stands still: the ring (two blocks in it now) fills up after six more blocks.
    for (int b = 0; b < kHandOverSlots - 2; ++b) CaptureBlock(RandomPacket(rng));
    EXPECT_EQ(running_.load(), 1);
    capture_.QueueCapturePacket(RandomPacket(rng), kN);
    ASSERT_TRUE(capture_.Tick());
    ASSERT_TRUE(WaitFor([&] { return running_.load() == 0; }));
    ASSERT_TRUE(EndRun());
    EXPECT_EQ(session_.BlocksDone.load(), 3u + kHandOverSlots - 2);
    EXPECT_EQ(session_.CaptureResult.load(), HR_S_OK);
    EXPECT_EQ(status_.DesignPanelTitle.Read(), "");
}

TEST_F(EngineStreams, ShortAndSilentPacketsBecomeSilenceNotStaleData) {
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    std::mt19937 rng(8);
    CaptureBlock(RandomPacket(rng));
    // A packet of 100 frames: the other 412 frames of the block are silence.
    std::vector<uint8_t> short_packet = RandomPacket(rng);
    short_packet.resize(100 * 8);
    const uint32_t before = session_.BlocksDone.load();
    capture_.QueueCapturePacket(short_packet, 100);
    ASSERT_TRUE(capture_.Tick());
    ASSERT_TRUE(WaitFor([&] { return session_.BlocksDone.load() == before + 1; }));
    uint32_t seen = 0;
    float inputs[8], outputs[16];
    ASSERT_TRUE(status_.TakePeaks(&seen, inputs, outputs));
    EXPECT_GT(inputs[0], 0.0f);
    // A packet flagged silent carries data that must not be played.
    capture_.QueueCapturePacket(RandomPacket(rng), kN, kBufferFlagSilent);
    ASSERT_TRUE(capture_.Tick());
    ASSERT_TRUE(WaitFor([&] { return session_.BlocksDone.load() == before + 2; }));
    ASSERT_TRUE(status_.TakePeaks(&seen, inputs, outputs));
    for (int p = 0; p < 8; ++p) EXPECT_EQ(inputs[p], 0.0f) << p;
    ASSERT_TRUE(EndRun());
}

// A constant packet: every frame's two channels hold these 24-bit samples.
std::vector<uint8_t> ConstantPacket(int32_t left, int32_t right) {
    std::vector<int32_t> words(2 * kN);
    for (int j = 0; j < kN; ++j) {
        words[2 * j] = left * 256;
        words[2 * j + 1] = right * 256;
    }
    std::vector<uint8_t> bytes(words.size() * 4);
    std::memcpy(bytes.data(), words.data(), bytes.size());
    return bytes;
}

TEST_F(EngineStreams, MetersHoldTheHighestPeakOfEveryBlockSinceTheyLastLooked) {
    // The meters look every 50 ms, several blocks apart: a clipping block between two looks must still show,
    // with its clip mark, whatever quieter blocks came after it.
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    uint32_t seen = 0;
    float inputs[8], outputs[16];
    EXPECT_FALSE(status_.TakePeaks(&seen, inputs, outputs));  // nothing streamed yet
    CaptureBlock(ConstantPacket(1000, 2000));
    CaptureBlock(ConstantPacket(8000000, 3000));  // port 1 at the clip mark's level
    CaptureBlock(ConstantPacket(500, 100));
    CaptureBlock(ConstantPacket(500, 100));
    ASSERT_TRUE(status_.TakePeaks(&seen, inputs, outputs));
    EXPECT_EQ(inputs[0], 8000000.0f);  // port 1 is capture channel 0
    EXPECT_EQ(inputs[2], 3000.0f);     // port 3 is capture channel 1
    // Nothing new: nothing taken. The next look shows only what came after the last one.
    EXPECT_FALSE(status_.TakePeaks(&seen, inputs, outputs));
    CaptureBlock(ConstantPacket(700, 100));
    ASSERT_TRUE(status_.TakePeaks(&seen, inputs, outputs));
    EXPECT_EQ(inputs[0], 700.0f);
    EXPECT_EQ(inputs[2], 100.0f);
    ASSERT_TRUE(EndRun());
}

TEST_F(EngineStreams, TheTestToneFollowsTheVolumeWhileItPlays) {
    // Output 1 carries the tone: its level is 10^((VolumePosition - 51) / 20) x 456,000,000 at its peak, and
    // a volume key pressed while it plays changes it from the next block.
    settings_.TestToneChannel = 1;
    settings_.TestToneFrequency = 1000.0f;
    live_.VolumePosition.store(51);
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    CaptureBlock(ConstantPacket(0, 0));
    ASSERT_TRUE(WaitFor([&] { return session_.PeriodsDone.load() == 1; }));  // the first block plays at once
    live_.VolumePosition.store(31);  // -20 dB
    CaptureBlock(ConstantPacket(0, 0));
    RenderPeriod();
    const std::vector<int32_t> words = RenderedWords();
    ASSERT_GE(words.size(), static_cast<size_t>(2 * kN * 8));
    auto peak_of_block = [&](int block) {
        double peak = 0.0;
        for (int j = 0; j < kN; ++j) peak = std::max(peak, std::fabs(static_cast<double>(words[(block * kN + j) * 8])));
        return peak;
    };
    // 48 cycles of 1 kHz a block at 48 kHz: the block's peak is the tone's amplitude within a sample step.
    EXPECT_NEAR(peak_of_block(0), 456000000.0, 456000000.0 * 1e-3);
    EXPECT_NEAR(peak_of_block(1), 45600000.0, 45600000.0 * 1e-3);
    ASSERT_TRUE(EndRun());
}

TEST_F(EngineStreams, TimingTextsComeFromThePerformanceCounter) {
    // The counter stands still inside a block and moves 10.05 ms between two blocks (1 MHz, 1 us a tick).
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    EXPECT_EQ(status_.Text(PanelText::Queue).Read(), "Del=0");
    std::mt19937 rng(11);
    counter_.Set(1000000);
    CaptureBlock(RandomPacket(rng));
    EXPECT_EQ(status_.Text(PanelText::ProcessingTime).Read(), "Pt=0.0  ");
    EXPECT_EQ(status_.Text(PanelText::BlockNumber).Read(), "Fr=0");
    counter_.Advance(10050);
    CaptureBlock(RandomPacket(rng));
    EXPECT_EQ(status_.Text(PanelText::Period).Read(), "Lt=10.5");  // hundredths without a leading zero
    EXPECT_EQ(status_.Text(PanelText::BlockNumber).Read(), "Fr=1");
    // The render side measures from the end of the latest block: 2.5 ms later.
    counter_.Advance(2500);
    RenderPeriod();
    EXPECT_EQ(status_.Text(PanelText::RenderTime2).Read(), "D1=2.50  ");
    ASSERT_TRUE(EndRun());
}

TEST_F(EngineStreams, ModeEightWakesOnlyInputFftAAndConvolutionLow) {
    settings_.OutputMode = 0;
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    std::mt19937 rng(9);
    for (int b = 0; b < 3; ++b) CaptureBlock(RandomPacket(rng));
    // Workers never handed a block keep the busy flag the start set.
    EXPECT_EQ(session_.WorkerBusyFlags[kInputFftB].load(), 1);
    EXPECT_EQ(session_.WorkerBusyFlags[kConvolutionHigh].load(), 1);
    EXPECT_EQ(session_.WorkerBusyFlags[kInputFftA].load(), 0);
    EXPECT_EQ(session_.WorkerBusyFlags[kConvolutionLow].load(), 0);
    ASSERT_TRUE(EndRun());
}

TEST_F(EngineStreams, TheRecordingFillsChunksAndTitlesTheDesignPanel) {
    ASSERT_EQ(AllocateRecordingPool(&pool_, 3), 0);
    live_.RecordOutput.store(1);
    settings_.OutputMode = 1;
    Start();
    ASSERT_TRUE(capture_.WaitUntilStarted(3000));
    std::mt19937 rng(10);
    CaptureBlock(RandomPacket(rng));
    CaptureBlock(RandomPacket(rng));
    EXPECT_EQ(status_.DesignPanelTitle.Read(), "WAV Buffers = 1");  // two blocks of 512 frames: one chunk
    for (int b = 0; b < 5; ++b) CaptureBlock(RandomPacket(rng));
    EXPECT_EQ(status_.DesignPanelTitle.Read(), "WAV File Buffer = FULL");
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), "");
    ASSERT_TRUE(EndRun());
    EXPECT_EQ(pool_.Count, 3);
}

TEST_F(EngineStreams, StartIsRefusedWhileRunningAndForSettingsTheThreadsCannotRun) {
    EngineStartSettings bad = settings_;
    bad.BufferSizeIndex = 1;  // the context holds 512-frame blocks
    EXPECT_EQ(StartEngine(session_, bad), EngineStartResult::kBadSettings);
    bad = settings_;
    bad.Capture24Bit = 0;
    bad.InputMode = 2;
    EXPECT_EQ(StartEngine(session_, bad), EngineStartResult::kBadSettings);
    EXPECT_EQ(running_.load(), 0);
    Start();
    EXPECT_EQ(StartEngine(session_, settings_), EngineStartResult::kAlreadyRunning);
    ASSERT_TRUE(EndRun());
}

TEST_F(EngineStreams, TwoHundredStartStopCyclesLeaveNothingBehind) {
    ThreadPlatform& threads = CurrentThreadPlatform();
    const int threads_before = threads.RunningThreads();
    const int events_before = threads.LiveEvents();
    capture_.SetAutoTick(500);
    render_.SetAutoTick(500);
    for (int cycle = 0; cycle < 200; ++cycle) {
        settings_.OutputMode = cycle % 3;
        settings_.OutputQueue = cycle % 5;
        ASSERT_EQ(StartEngine(session_, settings_), EngineStartResult::kStarted) << cycle;
        // Let a block or two through now and then; stop at once otherwise (mid set-up, mid hand-shake).
        if (cycle % 4 == 0) {
            ASSERT_TRUE(WaitFor([&] { return session_.BlocksDone.load() >= 2 || running_.load() == 0; }));
        }
        ASSERT_TRUE(StopEngine(session_, 5000)) << cycle;
        ASSERT_FALSE(EngineThreadsAlive(session_));
    }
    EXPECT_EQ(threads.RunningThreads(), threads_before);
    EXPECT_EQ(threads.LiveEvents(), events_before);
    EXPECT_EQ(system_.LiveStreams(), 0);
    EXPECT_TRUE(capture_.WaitUntilIdle(1000));
    EXPECT_TRUE(render_.WaitUntilIdle(1000));
}

// A join that handles messages meets a message that waits for the same run (a Play, a panel's close): the
// inner wait joins the threads, the outer one finds them gone.
TEST_F(EngineStreams, AJoinInsideTheMessagesOfAJoinLeavesBothDone) {
    Start();
    running_ = 0;
    int inner = 0;
    EXPECT_TRUE(JoinEngineThreads(session_, 5000, [&] {
        if (inner++ == 0) {
            EXPECT_TRUE(StopEngine(session_, 5000));
        }
    }));
    EXPECT_FALSE(EngineThreadsAlive(session_));
}

TEST(EngineStreamFormats, CaptureAndRenderFormatsAndDurations) {
    StreamFormat f = CaptureStreamFormat(2, 1, 44100);
    EXPECT_EQ(f.channels, 8);
    EXPECT_EQ(f.channel_mask, 0x63Fu);
    EXPECT_EQ(f.bits_per_sample, 32);
    EXPECT_EQ(f.valid_bits_per_sample, 24);
    EXPECT_EQ(f.BlockAlign(), 32u);
    f = CaptureStreamFormat(3, 1, 96000);
    EXPECT_EQ(f.channels, 12);
    EXPECT_EQ(f.channel_mask, 0xFFFFFFFFu);
    f = CaptureStreamFormat(0, 0, 48000);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.bits_per_sample, 16);
    EXPECT_EQ(f.channel_mask, 0x3u);
    EXPECT_EQ(RenderStreamFormat(0, 48000).channel_mask, 0x63Fu);
    EXPECT_EQ(RenderStreamFormat(1, 48000).channel_mask, 0xFFFFu);
    EXPECT_EQ(RenderStreamFormat(2, 48000).channel_mask, 0xFFFFFFFFu);
    EXPECT_EQ(RenderStreamFormat(2, 48000).channels, 10);
    EXPECT_EQ(RenderStreamFormat(1, 96000).AverageBytesPerSecond(), 64u * 96000u);
    // The durations table: N / rate in 100 ns, rounded up; the refused pairs take the device minimum.
    const int64_t table[3][4] = {{116100, 232200, 464400, -1}, {106667, 213334, 426667, -1}, {-1, 106667, 213334, 426667}};
    const uint32_t rates[3] = {44100, 48000, 96000};
    for (int r = 0; r < 3; ++r)
        for (uint32_t k = 0; k < 4; ++k) {
            const int64_t want = table[r][k] < 0 ? 30000 : table[r][k];
            EXPECT_EQ(StreamDuration(rates[r], k, 30000), want) << rates[r] << " " << k;
        }
}

TEST(PublishedText, ReadsBackWhatWasWrittenCutToItsWidth) {
    PublishedText t;
    EXPECT_EQ(t.Read(), "");
    const uint32_t c0 = t.Changes();
    t.Write("Pt=3.45  ");
    EXPECT_EQ(t.Read(), "Pt=3.45  ");
    EXPECT_EQ(t.Changes(), c0 + 1);
    const std::string long_text(100, 'x');
    t.Write(long_text.c_str());
    EXPECT_EQ(t.Read(), std::string(kPublishedTextChars - 1, 'x'));
}

TEST(PublishedText, AReaderNeverSeesAHalfWrittenText) {
    PublishedText t;
    const std::string a(40, 'a'), b(50, 'b');
    std::atomic<bool> done{false}, failed{false};
    std::atomic<long> reads{0};
    // The writer goes on until the reader has overlapped it many times: a thread started late (Wine) would
    // otherwise find the writer already finished.
    std::thread writer([&] {
        for (int i = 0; !failed && (i < 20000 || reads.load() < 2000); ++i) t.Write(i % 2 ? a.c_str() : b.c_str());
        done = true;
    });
    while (!done) {
        const std::string s = t.Read();
        if (!(s.empty() || s == a || s == b)) {
            failed = true;
            writer.join();
            FAIL() << s;
        }
        ++reads;
    }
    writer.join();
}

}  // namespace
