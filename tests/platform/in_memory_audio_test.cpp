// The in-memory endpoints: data in and out in order, the audio client's answers to calls out of order,
// injected failures at every step, and streams driven by real threads.
#include "platform/in_memory_audio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kFrames = 512;

StreamFormat StereoPcm16() {
    StreamFormat f;
    f.channels = 2;
    f.samples_per_second = kRate;
    f.bits_per_sample = 16;
    f.valid_bits_per_sample = 16;
    f.channel_mask = 0x3;
    return f;
}

StreamFormat EightChannel24In32() {
    StreamFormat f;
    f.channels = 8;
    f.samples_per_second = kRate;
    f.bits_per_sample = 32;
    f.valid_bits_per_sample = 24;
    f.channel_mask = 0x63F;
    return f;
}

// Bytes 0, 1, 2, ... from `first`, wrapping at 251 so that neighbouring packets differ.
std::vector<uint8_t> Pattern(std::size_t bytes, std::size_t first) {
    std::vector<uint8_t> out(bytes);
    for (std::size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>((first + i) % 251);
    return out;
}

// The set-up the engine runs, step by step; the first failing step and its code, or Start and S_OK.
struct SetupResult {
    StreamStep step;
    int32_t code;
};

SetupResult RunSetup(AudioStream& stream, const wchar_t* id, const StreamFormat& format, int64_t duration) {
    int32_t code = stream.InitializeCom();
    if (HrFailed(code)) return {StreamStep::InitializeCom, code};
    if (HrFailed(code = stream.CreateEnumerator())) return {StreamStep::CreateEnumerator, code};
    if (HrFailed(code = stream.OpenDevice(id))) return {StreamStep::OpenDevice, code};
    if (HrFailed(code = stream.Activate())) return {StreamStep::Activate, code};
    int64_t minimum = 0;
    if (HrFailed(code = stream.GetDevicePeriod(nullptr, &minimum))) return {StreamStep::GetDevicePeriod, code};
    if (HrFailed(code = stream.IsFormatSupported(format))) return {StreamStep::IsFormatSupported, code};
    if (HrFailed(code = stream.Initialize(duration, format))) return {StreamStep::Initialize, code};
    if (HrFailed(code = stream.CreatePeriodEvent())) return {StreamStep::MakeEvent, code};
    if (HrFailed(code = stream.SetEventHandle())) return {StreamStep::SetEventHandle, code};
    uint32_t frames = 0;
    if (HrFailed(code = stream.GetBufferSize(&frames))) return {StreamStep::GetBufferSize, code};
    if (HrFailed(code = stream.GetService())) return {StreamStep::GetService, code};
    if (HrFailed(code = stream.Start())) return {StreamStep::Start, code};
    return {StreamStep::Start, code};
}

class InMemoryAudio : public ::testing::Test {
protected:
    InMemoryAudio()
        : capture_(system_.AddEndpoint(StreamDirection::Capture, L"{capture-1}", "Line In (Test Card)")),
          render_(system_.AddEndpoint(StreamDirection::Render, L"{render-1}", "Outputs 1-8 (Test Card)")) {}

    InMemoryAudioSystem system_;
    InMemoryEndpoint& capture_;
    InMemoryEndpoint& render_;
    const int64_t duration_ = FramesToDuration(kFrames, kRate);
};

TEST_F(InMemoryAudio, BufferSizeFollowsTheDurationTable) {
    // The durations the engine asks for and the block each must give (N / rate in 100 ns, rounded up).
    struct Row {
        uint32_t rate, frames;
        int64_t duration;
    } rows[] = {{44100, 512, 116100},  {44100, 1024, 232200}, {44100, 2048, 464400}, {48000, 512, 106667},
                {48000, 1024, 213334}, {48000, 2048, 426667}, {96000, 1024, 106667}, {96000, 2048, 213334},
                {96000, 4096, 426667}};
    for (const Row& row : rows) {
        EXPECT_EQ(FramesToDuration(row.frames, row.rate), row.duration) << row.rate << " " << row.frames;
        StreamFormat format = EightChannel24In32();
        format.samples_per_second = row.rate;
        auto stream = system_.NewRenderStream();
        ASSERT_EQ(RunSetup(*stream, L"{render-1}", format, row.duration).code, HR_S_OK);
        uint32_t frames = 0;
        EXPECT_EQ(stream->GetBufferSize(&frames), HR_S_OK);
        EXPECT_EQ(frames, row.frames) << row.rate << " " << row.duration;
    }
}

TEST_F(InMemoryAudio, CaptureDataComesBackInOrder) {
    auto stream = system_.NewCaptureStream();
    ASSERT_EQ(RunSetup(*stream, L"{capture-1}", StereoPcm16(), duration_).code, HR_S_OK);
    const uint32_t align = StereoPcm16().BlockAlign();
    const std::vector<uint8_t> data = Pattern((3 * kFrames + 100) * align, 7);
    capture_.AppendCaptureBytes(data.data(), data.size());

    const uint8_t* bytes = nullptr;
    uint32_t frames = 99, flags = 99;
    EXPECT_EQ(stream->GetBuffer(&bytes, &frames, &flags), HR_AUDCLNT_S_BUFFER_EMPTY);  // no period yet
    EXPECT_EQ(frames, 0u);
    EXPECT_EQ(bytes, nullptr);
    EXPECT_EQ(stream->ReleaseBuffer(0), HR_S_OK);

    for (int packet = 0; packet < 5; ++packet) {
        ASSERT_TRUE(capture_.Tick());
        ASSERT_EQ(stream->WaitForPeriod(0), WaitResult::Signalled);
        ASSERT_EQ(stream->GetBuffer(&bytes, &frames, &flags), HR_S_OK);
        ASSERT_EQ(frames, kFrames);
        const std::size_t offset = static_cast<std::size_t>(packet) * kFrames * align;
        std::vector<uint8_t> expected(kFrames * align, 0);
        if (offset < data.size()) {
            const std::size_t n = std::min<std::size_t>(expected.size(), data.size() - offset);
            std::memcpy(expected.data(), data.data() + offset, n);
        }
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + kFrames * align), expected) << "packet " << packet;
        // Packets 0..3 carry data (3 padded with zeros); packet 4 finds nothing and is silent.
        EXPECT_EQ(flags, packet < 4 ? 0u : kBufferFlagSilent) << "packet " << packet;
        EXPECT_EQ(stream->ReleaseBuffer(frames), HR_S_OK);
    }
    EXPECT_EQ(capture_.Releases(), 5u);
    EXPECT_EQ(stream->Stop(), HR_S_OK);
}

// A period that comes with its sound reaches only a stream that runs: what arrives before the start or after
// the stop is lost, and the next stream of the endpoint hears silence, not what the last one missed.
TEST_F(InMemoryAudio, APeriodWithItsSoundReachesOnlyARunningStream) {
    const uint32_t align = StereoPcm16().BlockAlign();
    const std::vector<uint8_t> early = Pattern(kFrames * align, 1), heard = Pattern(kFrames * align, 2),
                               late = Pattern(kFrames * align, 3);
    const uint8_t* bytes = nullptr;
    uint32_t frames = 0, flags = 0;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        auto stream = system_.NewCaptureStream();
        ASSERT_EQ(RunSetup(*stream, L"{capture-1}", StereoPcm16(), duration_).code, HR_S_OK);
        ASSERT_TRUE(capture_.TickWithCaptureBytes(heard.data(), heard.size()));
        ASSERT_EQ(stream->WaitForPeriod(0), WaitResult::Signalled);
        ASSERT_EQ(stream->GetBuffer(&bytes, &frames, &flags), HR_S_OK);
        ASSERT_EQ(frames, kFrames);
        // The first stream hears its period; the second one the same, nothing of the first stream's late one.
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + kFrames * align), heard);
        EXPECT_EQ(flags, 0u);
        ASSERT_EQ(stream->ReleaseBuffer(frames), HR_S_OK);
        ASSERT_TRUE(capture_.Tick());  // a period with nothing in it: silence
        ASSERT_EQ(stream->GetBuffer(&bytes, &frames, &flags), HR_S_OK);
        EXPECT_EQ(flags, kBufferFlagSilent);
        ASSERT_EQ(stream->ReleaseBuffer(frames), HR_S_OK);
        ASSERT_EQ(stream->Stop(), HR_S_OK);
        EXPECT_FALSE(capture_.TickWithCaptureBytes(late.data(), late.size()));
        stream->Close();
        EXPECT_FALSE(capture_.TickWithCaptureBytes(early.data(), early.size()));
    }
    EXPECT_EQ(capture_.Ticks(), 4u);
}

TEST_F(InMemoryAudio, QueuedPacketsKeepTheirSizeAndFlags) {
    auto stream = system_.NewCaptureStream();
    ASSERT_EQ(RunSetup(*stream, L"{capture-1}", StereoPcm16(), duration_).code, HR_S_OK);
    const std::vector<uint8_t> shorter = Pattern(100 * 4, 3);
    capture_.QueueCapturePacket(shorter, 100, kBufferFlagDataDiscontinuity);
    capture_.Tick();
    const uint8_t* bytes = nullptr;
    uint32_t frames = 0, flags = 0;
    ASSERT_EQ(stream->GetBuffer(&bytes, &frames, &flags), HR_S_OK);
    EXPECT_EQ(frames, 100u);
    EXPECT_EQ(flags, kBufferFlagDataDiscontinuity);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + shorter.size()), shorter);
    // Out of order: a second GetBuffer before the release, a release of another size.
    EXPECT_EQ(stream->GetBuffer(&bytes, &frames, &flags), HR_AUDCLNT_E_OUT_OF_ORDER);
    EXPECT_EQ(stream->ReleaseBuffer(99), HR_AUDCLNT_E_INVALID_SIZE);
    EXPECT_EQ(stream->ReleaseBuffer(100), HR_S_OK);
    EXPECT_EQ(stream->ReleaseBuffer(100), HR_AUDCLNT_E_OUT_OF_ORDER);
}

TEST_F(InMemoryAudio, CaptureThatFallsBehindLosesPeriodsAndIsToldSo) {
    auto stream = system_.NewCaptureStream();
    ASSERT_EQ(RunSetup(*stream, L"{capture-1}", StereoPcm16(), duration_).code, HR_S_OK);
    for (int i = 0; i < 10; ++i) capture_.Tick();
    EXPECT_EQ(capture_.DroppedPackets(), 2u);
    const uint8_t* bytes = nullptr;
    uint32_t frames = 0, flags = 0;
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(stream->GetBuffer(&bytes, &frames, &flags), HR_S_OK);
        ASSERT_EQ(stream->ReleaseBuffer(frames), HR_S_OK);
    }
    capture_.Tick();
    ASSERT_EQ(stream->GetBuffer(&bytes, &frames, &flags), HR_S_OK);
    EXPECT_TRUE(flags & kBufferFlagDataDiscontinuity);
}

TEST_F(InMemoryAudio, RenderedDataReadsBackInOrder) {
    auto stream = system_.NewRenderStream();
    const StreamFormat format = EightChannel24In32();
    ASSERT_EQ(RunSetup(*stream, L"{render-1}", format, duration_).code, HR_S_OK);
    const std::size_t block = kFrames * format.BlockAlign();
    uint8_t* buffer = nullptr;

    ASSERT_EQ(stream->GetBuffer(kFrames, &buffer), HR_S_OK);
    const std::vector<uint8_t> first = Pattern(block, 11);
    std::memcpy(buffer, first.data(), block);
    ASSERT_EQ(stream->ReleaseBuffer(kFrames, 0), HR_S_OK);

    // The device holds a full buffer until its next period.
    EXPECT_EQ(stream->GetBuffer(kFrames, &buffer), HR_AUDCLNT_E_BUFFER_TOO_LARGE);
    ASSERT_TRUE(render_.Tick());
    ASSERT_EQ(stream->WaitForPeriod(0), WaitResult::Signalled);

    ASSERT_EQ(stream->GetBuffer(kFrames, &buffer), HR_S_OK);
    std::memset(buffer, 0x5A, block);
    ASSERT_EQ(stream->ReleaseBuffer(kFrames, kBufferFlagSilent), HR_S_OK);  // plays zeros instead
    render_.Tick();

    // A grant the stream does not fill holds the device's leftovers.
    ASSERT_EQ(stream->GetBuffer(kFrames, &buffer), HR_S_OK);
    EXPECT_EQ(stream->ReleaseBuffer(kFrames + 1, 0), HR_AUDCLNT_E_INVALID_SIZE);
    ASSERT_EQ(stream->ReleaseBuffer(kFrames, 0), HR_S_OK);

    std::vector<uint8_t> expected = first;
    expected.insert(expected.end(), block, 0);
    expected.insert(expected.end(), block, kRenderPoisonByte);
    EXPECT_EQ(render_.RenderedBytes(), expected);
    EXPECT_EQ(render_.RenderedFrames(), 3u * kFrames);
    EXPECT_EQ(render_.Releases(), 3u);
    EXPECT_EQ(render_.TakeRenderedBytes().size(), 3 * block);
    EXPECT_TRUE(render_.RenderedBytes().empty());
}

TEST_F(InMemoryAudio, RenderTickWithNothingReleasedCountsAnUnderflow) {
    auto stream = system_.NewRenderStream();
    ASSERT_EQ(RunSetup(*stream, L"{render-1}", EightChannel24In32(), duration_).code, HR_S_OK);
    render_.Tick();  // the first period after Initialize is the stream's to fill: not counted
    render_.Tick();  // nothing released since the last period
    EXPECT_EQ(render_.RenderUnderflows(), 1u);
}

TEST_F(InMemoryAudio, OpeningAnswersAsTheAudioClientDoes) {
    {
        auto stream = system_.NewCaptureStream();
        EXPECT_EQ(stream->OpenDevice(L"{capture-1}"), HR_E_POINTER);  // no enumerator yet
        EXPECT_EQ(stream->CreateEnumerator(), HR_CO_E_NOTINITIALIZED);
        ASSERT_EQ(stream->InitializeCom(), HR_S_OK);
        ASSERT_EQ(stream->CreateEnumerator(), HR_S_OK);
        EXPECT_EQ(stream->OpenDevice(nullptr), HR_E_POINTER);
        EXPECT_EQ(stream->OpenDevice(L""), HR_E_POINTER);
        EXPECT_EQ(stream->OpenDevice(L"{no-such-device}"), HR_E_NOTFOUND);
        EXPECT_EQ(stream->Activate(), HR_E_POINTER);  // no device
        int64_t period = 0;
        EXPECT_EQ(stream->GetDevicePeriod(nullptr, &period), HR_E_POINTER);
        EXPECT_EQ(stream->Start(), HR_E_POINTER);
        EXPECT_EQ(stream->WaitForPeriod(0), WaitResult::Failed);
    }
    auto stream = system_.NewCaptureStream();
    ASSERT_EQ(stream->InitializeCom(), HR_S_OK);
    ASSERT_EQ(stream->CreateEnumerator(), HR_S_OK);
    ASSERT_EQ(stream->OpenDevice(L"{capture-1}"), HR_S_OK);
    ASSERT_EQ(stream->Activate(), HR_S_OK);
    uint32_t frames = 0;
    EXPECT_EQ(stream->GetBufferSize(&frames), HR_AUDCLNT_E_NOT_INITIALIZED);
    EXPECT_EQ(stream->GetService(), HR_AUDCLNT_E_NOT_INITIALIZED);
    EXPECT_EQ(stream->Start(), HR_AUDCLNT_E_NOT_INITIALIZED);
    EXPECT_EQ(stream->Initialize(29999, StereoPcm16()), HR_AUDCLNT_E_INVALID_DEVICE_PERIOD);
    ASSERT_EQ(stream->Initialize(duration_, StereoPcm16()), HR_S_OK);
    EXPECT_EQ(stream->Initialize(duration_, StereoPcm16()), HR_AUDCLNT_E_ALREADY_INITIALIZED);
    EXPECT_EQ(stream->SetEventHandle(), HR_E_INVALIDARG);  // no event made yet
    EXPECT_EQ(stream->Start(), HR_AUDCLNT_E_EVENTHANDLE_NOT_SET);
    ASSERT_EQ(stream->CreatePeriodEvent(), HR_S_OK);
    ASSERT_EQ(stream->SetEventHandle(), HR_S_OK);
    ASSERT_EQ(stream->GetService(), HR_S_OK);
    EXPECT_EQ(stream->Stop(), HR_S_FALSE);  // not running
    ASSERT_EQ(stream->Start(), HR_S_OK);
    EXPECT_TRUE(capture_.Started());
    EXPECT_EQ(stream->Start(), HR_AUDCLNT_E_NOT_STOPPED);
    EXPECT_EQ(stream->Stop(), HR_S_OK);
    EXPECT_FALSE(capture_.Tick());  // a stopped device has no periods
    EXPECT_EQ(capture_.StartCount(), 1u);
    EXPECT_EQ(capture_.StopCount(), 1u);
}

TEST_F(InMemoryAudio, DevicePeriodsAndFormatsAreTheEndpoints) {
    capture_.SetDevicePeriods(101587, 29025);
    capture_.SetFormatFilter([](const StreamFormat& f) { return f.channels == 2; });
    auto stream = system_.NewCaptureStream();
    ASSERT_EQ(stream->InitializeCom(), HR_S_OK);
    ASSERT_EQ(stream->CreateEnumerator(), HR_S_OK);
    ASSERT_EQ(stream->OpenDevice(L"{capture-1}"), HR_S_OK);
    ASSERT_EQ(stream->Activate(), HR_S_OK);
    int64_t def = 0, minimum = 0;
    ASSERT_EQ(stream->GetDevicePeriod(&def, &minimum), HR_S_OK);
    EXPECT_EQ(def, 101587);
    EXPECT_EQ(minimum, 29025);
    EXPECT_EQ(stream->GetDevicePeriod(nullptr, nullptr), HR_E_POINTER);
    StreamFormat twelve = StereoPcm16();
    twelve.channels = 12;
    EXPECT_EQ(stream->IsFormatSupported(StereoPcm16()), HR_S_OK);
    EXPECT_EQ(stream->IsFormatSupported(twelve), HR_AUDCLNT_E_UNSUPPORTED_FORMAT);
    EXPECT_EQ(stream->Initialize(duration_, twelve), HR_AUDCLNT_E_UNSUPPORTED_FORMAT);
    EXPECT_FALSE(capture_.InUse());
    ASSERT_EQ(stream->Initialize(duration_, StereoPcm16()), HR_S_OK);
    EXPECT_EQ(capture_.InitializedFormat(), StereoPcm16());
    EXPECT_EQ(capture_.InitializedDuration(), duration_);
}

TEST_F(InMemoryAudio, ADeviceWhoseBufferIsNotTheBlockSaysSo) {
    render_.SetBufferFrames(480);
    auto stream = system_.NewRenderStream();
    ASSERT_EQ(RunSetup(*stream, L"{render-1}", EightChannel24In32(), duration_).code, HR_S_OK);
    uint32_t frames = 0;
    ASSERT_EQ(stream->GetBufferSize(&frames), HR_S_OK);
    EXPECT_EQ(frames, 480u);
    uint8_t* buffer = nullptr;
    EXPECT_EQ(stream->GetBuffer(kFrames, &buffer), HR_AUDCLNT_E_BUFFER_TOO_LARGE);
}

TEST_F(InMemoryAudio, OneStreamAtATimeHoldsAnEndpoint) {
    auto first = system_.NewRenderStream();
    ASSERT_EQ(RunSetup(*first, L"{render-1}", EightChannel24In32(), duration_).code, HR_S_OK);
    EXPECT_TRUE(render_.InUse());
    auto second = system_.NewRenderStream();
    const SetupResult refused = RunSetup(*second, L"{render-1}", EightChannel24In32(), duration_);
    EXPECT_EQ(refused.step, StreamStep::Initialize);
    EXPECT_EQ(refused.code, HR_AUDCLNT_E_DEVICE_IN_USE);
    first->Close();
    EXPECT_FALSE(render_.InUse());
    second = system_.NewRenderStream();
    EXPECT_EQ(RunSetup(*second, L"{render-1}", EightChannel24In32(), duration_).code, HR_S_OK);
}

TEST_F(InMemoryAudio, ACaptureStreamOnARenderEndpointIsTheWrongType) {
    auto stream = system_.NewCaptureStream();
    const SetupResult result = RunSetup(*stream, L"{render-1}", EightChannel24In32(), duration_);
    EXPECT_EQ(result.step, StreamStep::GetService);
    EXPECT_EQ(result.code, HR_AUDCLNT_E_WRONG_ENDPOINT_TYPE);
}

TEST_F(InMemoryAudio, InjectedFailuresComeBackFromTheirStep) {
    struct Case {
        StreamStep step;
        int32_t code;
    } cases[] = {
        {StreamStep::InitializeCom, HR_RPC_E_CHANGED_MODE},
        {StreamStep::CreateEnumerator, HR_REGDB_E_CLASSNOTREG},
        {StreamStep::OpenDevice, HR_E_NOTFOUND},
        {StreamStep::Activate, HR_AUDCLNT_E_DEVICE_INVALIDATED},
        {StreamStep::GetDevicePeriod, HR_E_POINTER},
        {StreamStep::IsFormatSupported, HR_AUDCLNT_E_UNSUPPORTED_FORMAT},
        {StreamStep::Initialize, HR_AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED},
        {StreamStep::MakeEvent, HR_E_FAIL},
        {StreamStep::SetEventHandle, HR_AUDCLNT_E_EVENTHANDLE_NOT_EXPECTED},
        {StreamStep::GetBufferSize, HR_AUDCLNT_E_SERVICE_NOT_RUNNING},
        {StreamStep::GetService, HR_E_NOINTERFACE},
        {StreamStep::Start, HR_AUDCLNT_E_NOT_INITIALIZED},
    };
    for (StreamDirection direction : {StreamDirection::Capture, StreamDirection::Render}) {
        for (const Case& c : cases) {
            system_.ClearFailures();
            system_.InjectFailure(direction, c.step, c.code);
            std::unique_ptr<AudioStream> stream;
            if (direction == StreamDirection::Capture) {
                stream = system_.NewCaptureStream();
            } else {
                stream = system_.NewRenderStream();
            }
            const wchar_t* id = direction == StreamDirection::Capture ? L"{capture-1}" : L"{render-1}";
            const SetupResult result = RunSetup(*stream, id, StereoPcm16(), duration_);
            EXPECT_EQ(result.step, c.step) << StreamStepName(c.step);
            EXPECT_EQ(result.code, c.code) << StreamStepName(c.step);
            // The other direction is untouched.
            std::unique_ptr<AudioStream> other;
            if (direction == StreamDirection::Capture) {
                other = system_.NewRenderStream();
            } else {
                other = system_.NewCaptureStream();
            }
            const wchar_t* other_id = direction == StreamDirection::Capture ? L"{render-1}" : L"{capture-1}";
            EXPECT_EQ(RunSetup(*other, other_id, StereoPcm16(), duration_).code, HR_S_OK) << StreamStepName(c.step);
        }
    }
    system_.ClearFailures();
}

TEST_F(InMemoryAudio, AnyFailureInjectedIntoTheEventStepIsEFail) {
    system_.InjectFailure(StreamDirection::Render, StreamStep::MakeEvent, HR_E_OUTOFMEMORY);
    auto stream = system_.NewRenderStream();
    const SetupResult result = RunSetup(*stream, L"{render-1}", StereoPcm16(), duration_);
    EXPECT_EQ(result.step, StreamStep::MakeEvent);
    EXPECT_EQ(result.code, HR_E_FAIL);
}

TEST_F(InMemoryAudio, InjectedSuccessCodeIsReturnedAndTheSetUpGoesOn) {
    system_.InjectFailure(StreamDirection::Capture, StreamStep::InitializeCom, HR_S_FALSE);
    auto stream = system_.NewCaptureStream();
    EXPECT_EQ(stream->InitializeCom(), HR_S_FALSE);
    EXPECT_EQ(stream->CreateEnumerator(), HR_S_OK);
}

TEST_F(InMemoryAudio, BufferFailuresStrikeAfterTheirCount) {
    system_.InjectFailure(StreamDirection::Capture, StreamStep::GetBuffer, HR_AUDCLNT_E_DEVICE_INVALIDATED, 2);
    system_.InjectFailure(StreamDirection::Render, StreamStep::ReleaseBuffer, HR_AUDCLNT_E_BUFFER_ERROR, 1);
    auto capture = system_.NewCaptureStream();
    ASSERT_EQ(RunSetup(*capture, L"{capture-1}", StereoPcm16(), duration_).code, HR_S_OK);
    const uint8_t* bytes = nullptr;
    uint32_t frames = 0, flags = 0;
    for (int i = 0; i < 2; ++i) {
        capture_.Tick();
        ASSERT_EQ(capture->GetBuffer(&bytes, &frames, &flags), HR_S_OK);
        ASSERT_EQ(capture->ReleaseBuffer(frames), HR_S_OK);
    }
    capture_.Tick();
    EXPECT_EQ(capture->GetBuffer(&bytes, &frames, &flags), HR_AUDCLNT_E_DEVICE_INVALIDATED);

    auto render = system_.NewRenderStream();
    ASSERT_EQ(RunSetup(*render, L"{render-1}", StereoPcm16(), duration_).code, HR_S_OK);
    uint8_t* buffer = nullptr;
    ASSERT_EQ(render->GetBuffer(kFrames, &buffer), HR_S_OK);
    ASSERT_EQ(render->ReleaseBuffer(kFrames, 0), HR_S_OK);
    render_.Tick();
    ASSERT_EQ(render->GetBuffer(kFrames, &buffer), HR_S_OK);
    EXPECT_EQ(render->ReleaseBuffer(kFrames, 0), HR_AUDCLNT_E_BUFFER_ERROR);
}

TEST_F(InMemoryAudio, PeriodWaitTimesOutWithoutATick) {
    auto stream = system_.NewCaptureStream();
    ASSERT_EQ(RunSetup(*stream, L"{capture-1}", StereoPcm16(), duration_).code, HR_S_OK);
    EXPECT_EQ(stream->WaitForPeriod(20), WaitResult::TimedOut);
    capture_.Tick();
    EXPECT_EQ(stream->WaitForPeriod(20), WaitResult::Signalled);
    EXPECT_EQ(stream->WaitForPeriod(0), WaitResult::TimedOut);  // auto-reset
}

// A capture loop and a render loop on real threads, as the engine runs them, against the test's clock.
TEST_F(InMemoryAudio, RealThreadsStreamThroughTestDrivenClocks) {
    constexpr int kPeriods = 40;
    const StreamFormat in_format = StereoPcm16();
    const StreamFormat out_format = EightChannel24In32();
    const std::vector<uint8_t> input = Pattern(kPeriods * kFrames * in_format.BlockAlign(), 1);
    capture_.AppendCaptureBytes(input.data(), input.size());

    std::atomic<int> running{1};
    std::vector<uint8_t> captured;
    auto capture_thread = PortableThreadPlatform().StartThread(
        [&] {
            auto stream = system_.NewCaptureStream();
            if (RunSetup(*stream, L"{capture-1}", in_format, duration_).code != HR_S_OK) return;
            while (running.load()) {
                if (stream->WaitForPeriod(1000) != WaitResult::Signalled) break;
                const uint8_t* bytes = nullptr;
                uint32_t frames = 0, flags = 0;
                if (HrFailed(stream->GetBuffer(&bytes, &frames, &flags))) break;
                captured.insert(captured.end(), bytes, bytes + frames * in_format.BlockAlign());
                if (HrFailed(stream->ReleaseBuffer(frames))) break;
            }
            stream->Stop();
            stream->Close();
        },
        ThreadPriority::TimeCritical);
    auto render_thread = PortableThreadPlatform().StartThread(
        [&] {
            auto stream = system_.NewRenderStream();
            if (RunSetup(*stream, L"{render-1}", out_format, duration_).code != HR_S_OK) return;
            uint32_t period = 0;
            const std::size_t block = kFrames * out_format.BlockAlign();
            while (running.load()) {
                uint8_t* buffer = nullptr;
                if (HrFailed(stream->GetBuffer(kFrames, &buffer))) break;
                const std::vector<uint8_t> data = Pattern(block, period++);
                std::memcpy(buffer, data.data(), block);
                if (HrFailed(stream->ReleaseBuffer(kFrames, 0))) break;
                if (stream->WaitForPeriod(1000) != WaitResult::Signalled) break;
            }
            stream->Stop();
            stream->Close();
        },
        ThreadPriority::Normal);

    ASSERT_TRUE(capture_.WaitUntilStarted(5000));
    ASSERT_TRUE(render_.WaitUntilStarted(5000));
    for (uint64_t period = 1; period <= kPeriods; ++period) {
        capture_.Tick();
        ASSERT_TRUE(capture_.WaitUntilReleased(period, 5000));
        ASSERT_TRUE(render_.WaitUntilReleased(period, 5000));
        render_.Tick();
    }
    running = 0;
    capture_.Tick();  // wake both loops so they see the flag
    render_.Tick();
    ASSERT_TRUE(capture_thread->Join(5000));
    ASSERT_TRUE(render_thread->Join(5000));

    EXPECT_EQ(std::vector<uint8_t>(captured.begin(), captured.begin() + static_cast<std::ptrdiff_t>(input.size())),
              input);
    const std::size_t block = kFrames * out_format.BlockAlign();
    const std::vector<uint8_t> rendered = render_.RenderedBytes();
    ASSERT_GE(rendered.size(), kPeriods * block);
    for (uint32_t period = 0; period < kPeriods; ++period) {
        EXPECT_EQ(std::vector<uint8_t>(rendered.begin() + period * block, rendered.begin() + (period + 1) * block),
                  Pattern(block, period))
            << "period " << period;
    }
    EXPECT_FALSE(capture_.InUse());
    EXPECT_FALSE(render_.InUse());
    EXPECT_EQ(system_.LiveStreams(), 0);
}

TEST_F(InMemoryAudio, AutoTickingEndpointRunsByItself) {
    capture_.SetAutoTick(500);
    std::atomic<uint32_t> packets{0};
    auto thread = PortableThreadPlatform().StartThread(
        [&] {
            auto stream = system_.NewCaptureStream();
            if (RunSetup(*stream, L"{capture-1}", StereoPcm16(), duration_).code != HR_S_OK) return;
            while (packets.load() < 20) {
                if (stream->WaitForPeriod(1000) != WaitResult::Signalled) break;
                const uint8_t* bytes = nullptr;
                uint32_t frames = 0, flags = 0;
                while (stream->GetBuffer(&bytes, &frames, &flags) == HR_S_OK) {
                    stream->ReleaseBuffer(frames);
                    ++packets;
                }
            }
            stream->Stop();
        },
        ThreadPriority::TimeCritical);
    ASSERT_TRUE(thread->Join(10000));
    EXPECT_GE(packets.load(), 20u);
    EXPECT_FALSE(capture_.Started());
    EXPECT_FALSE(capture_.InUse());
}

TEST_F(InMemoryAudio, TwoHundredOpenCloseCyclesLeaveNothingBehind) {
    capture_.SetAutoTick(200);
    const int threads_before = PortableThreadPlatform().RunningThreads();
    const int events_before = PortableThreadPlatform().LiveEvents();
    for (int cycle = 0; cycle < 200; ++cycle) {
        auto thread = PortableThreadPlatform().StartThread(
            [&] {
                auto stream = system_.NewCaptureStream();
                if (RunSetup(*stream, L"{capture-1}", StereoPcm16(), duration_).code != HR_S_OK) return;
                stream->WaitForPeriod(1000);
                if (cycle % 2) stream->Stop();  // half the cycles close a running stream
                stream->Close();
            },
            ThreadPriority::Normal);
        ASSERT_TRUE(thread->Join(5000));
        ASSERT_FALSE(capture_.InUse()) << cycle;
    }
    EXPECT_EQ(system_.LiveStreams(), 0);
    EXPECT_EQ(PortableThreadPlatform().RunningThreads(), threads_before);
    EXPECT_EQ(PortableThreadPlatform().LiveEvents(), events_before);
    EXPECT_EQ(capture_.StartCount(), 200u);
}

TEST_F(InMemoryAudio, EnumeratorListsEachDirectionInOrder) {
    system_.AddEndpoint(StreamDirection::Render, L"{render-2}", "S/PDIF Out");
    auto enumerator = system_.NewEnumerator();
    uint32_t count = 0;
    ASSERT_EQ(enumerator->Open(StreamDirection::Render, &count), HR_S_OK);
    ASSERT_EQ(count, 2u);
    std::wstring id;
    std::string name;
    ASSERT_EQ(enumerator->Endpoint(1, &id, &name), HR_S_OK);
    EXPECT_EQ(id, L"{render-2}");
    EXPECT_EQ(name, "S/PDIF Out");
    EXPECT_EQ(enumerator->Endpoint(2, &id, &name), HR_E_INVALIDARG);
    enumerator->Close();
    ASSERT_EQ(enumerator->Open(StreamDirection::Capture, &count), HR_S_OK);
    EXPECT_EQ(count, 1u);
    system_.InjectEnumerationFailure(HR_E_OUTOFMEMORY, 0);
    EXPECT_EQ(enumerator->Endpoint(0, &id, &name), HR_E_OUTOFMEMORY);
    system_.InjectEnumerationFailure(HR_REGDB_E_CLASSNOTREG, -1);
    EXPECT_EQ(enumerator->Open(StreamDirection::Capture, &count), HR_REGDB_E_CLASSNOTREG);
    system_.ClearFailures();
}

}  // namespace
