#include "measure/measurement_threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "measure/mls_analysis.h"
#include "measurement_rig.h"
#include "mls_test_buffers.h"

namespace {

constexpr int kOrder = 18;
constexpr int L = (1 << kOrder) - 1;

int32_t Sample(const uint8_t* buffer, std::size_t frame, int channel, uint32_t capture24) {
    if (capture24) {
        int32_t v;
        std::memcpy(&v, buffer + frame * 8 + channel * 4, 4);
        return v;
    }
    int16_t v;
    std::memcpy(&v, buffer + frame * 4 + channel * 2, 2);
    return v;
}

struct PairRun {
    MlsTestBuffers b;
    std::vector<uint8_t> capture = std::vector<uint8_t>(kMlsCaptureBytes, 0xEE);
    MeasurementRig rig;

    explicit PairRun(uint32_t capture24, int32_t output_delay = 2) {
        MlsStimulusSettings s;
        s.order = kOrder;
        s.level = 10;
        s.capture24 = capture24;
        s.output_delay = output_delay;
        GenerateMlsStimulus(s, b.Stimulus());
        rig.Wire(capture.data(), capture.size(), b.stimulus.data(), b.stimulus.size());
    }

    // The reference channel comes back sample for sample: the stimulus's left channel for the 256 periods
    // played, silence for the 74 periods after.
    void ExpectReferenceIsTheStimulus(uint32_t capture24) {
        const std::size_t played = static_cast<std::size_t>(kMlsRenderPeriods) * kMlsPeriodFrames;
        const std::size_t captured = static_cast<std::size_t>(kMlsCapturePeriods) * kMlsPeriodFrames;
        for (std::size_t f = 0; f < captured; ++f) {
            const int32_t want = f < played ? Sample(b.stimulus.data(), f, 0, capture24) : 0;
            ASSERT_EQ(Sample(capture.data(), f, 0, capture24), want) << f;
        }
    }
};

// The lines a complete set-up draws, from CoInitializeEx to Start, at their rows.
void ExpectSetUpLines(const RecordingThreadView& view, int x, const char* device_line, const char* period_line,
                      long long duration, uint32_t frames) {
    const std::string initialize = "Initialize OK, " + std::to_string(duration) + " Duration";
    const std::string buffer = "GetBufferSize OK, " + std::to_string(frames) + " Frames";
    const std::vector<std::string> want = {"CoInitializeEx OK", "CoCreateInstance OK", device_line, "Activate OK",
                                           period_line, "IsFormatSupported OK", initialize, "CreateEvent OK",
                                           "SetEventHandle OK", buffer, "GetService OK", "Start OK"};
    for (int line = 1; line <= kMeasurementStatusLines; ++line)
        EXPECT_EQ(view.At(x, MeasurementStatusY(line)), std::vector<std::string>{want[line - 1]}) << line;
}

}  // namespace

// A whole run through the loop-back with the threads: the reference comes back frame for frame, the capture
// analyses to the known system (delay 48, gain 0.5), both stamps are taken, the counters end at C124 and R99,
// and nothing else is drawn outside "WASAPI De-Bug Mode".
TEST(MlsMeasurementThreads, LoopbackRunRecoversTheKnownSystem) {
    PairRun p(1);
    const int D = 48;
    const double g = 0.5;
    p.rig.loop.SetMeasuredPath(D, {g});
    ASSERT_TRUE(p.rig.RunInStep(p.rig.Settings(1, 48000)));

    EXPECT_EQ(p.rig.running.load(), 0);
    EXPECT_EQ(p.rig.render_running.load(), 0);
    EXPECT_FALSE(MeasurementThreadsAlive(p.rig.run));
    EXPECT_EQ(p.rig.run.CaptureExitCode.load(), kMeasurementCaptureExitCode);
    EXPECT_EQ(p.rig.run.RenderExitCode.load(), kMeasurementRenderExitCode);
    EXPECT_EQ(p.rig.run.CaptureResult.load(), 0);
    EXPECT_EQ(p.rig.run.RenderResult.load(), 0);
    EXPECT_TRUE(p.rig.run.StampsValid());
    EXPECT_EQ(p.rig.run.CapturedFrames.load(), 337920u);
    EXPECT_EQ(p.rig.run.RenderedFrames.load(), 262144u);
    EXPECT_EQ(p.rig.in.DroppedPackets(), 0u);
    EXPECT_EQ(p.rig.out.InitializedDuration(), 213334);
    EXPECT_EQ(p.rig.in.InitializedFormat(), MeasurementStreamFormat(1, 48000));
    EXPECT_EQ(p.rig.in.InitializedFormat().BlockAlign(), 8u);
    EXPECT_EQ(p.rig.in.InitializedFormat().AverageBytesPerSecond(), 384000u);
    EXPECT_TRUE(p.rig.view.Titles().empty());

    // Counters only: C0..C124 at (65, 20), one per period, R0..R99 at (110, 20).
    const std::vector<std::string> c = p.rig.view.At(65, 20);
    const std::vector<std::string> r = p.rig.view.At(110, 20);
    ASSERT_EQ(c.size(), 330u);
    ASSERT_EQ(r.size(), 256u);
    EXPECT_EQ(c.front(), "C0 ");
    EXPECT_EQ(c[264], "C100 ");
    EXPECT_EQ(c.back(), "C124 ");
    EXPECT_EQ(r.front(), "R0 ");
    EXPECT_EQ(r.back(), "R99 ");
    EXPECT_EQ(p.rig.view.Drawn().size(), 330u + 256u);

    p.ExpectReferenceIsTheStimulus(1);
    MlsSplitSettings split;
    split.capture24 = 1;
    MlsLevels levels;
    const MlsAnalysisResult a = AnalyseMlsCapture(p.capture.data(), p.capture.size(), split, MlsStartOffset{}, kOrder,
                                                  p.b.ref.data(), p.b.in.data(), p.b.Deconvolution(), &levels);
    const double M = 21346816.0 * 10 / 256.0 / 102.0;
    EXPECT_EQ(a.ref_peak, 1);
    EXPECT_EQ(a.in_peak - a.ref_peak, D);
    EXPECT_FLOAT_EQ(p.b.ref[kMlsAlignedPeak], static_cast<float>(M));
    EXPECT_NEAR(p.b.in[kMlsAlignedPeak + D], g * M, 4e-3);
    EXPECT_NEAR(p.b.in[kMlsAlignedPeak + D + 1], -g * M / L, 4e-3);
}

// "WASAPI De-Bug Mode" at 44,100 Hz with 16-bit samples: every set-up line of both threads at its place, the
// duration 232,200, the default device period; the room equalizer's settings give its own device word, its
// minimum period and its counter place.
TEST(MlsMeasurementThreads, DebugModeDrawsEverySetUpLine) {
    {
        PairRun p(0);
        ASSERT_TRUE(p.rig.RunInStep(p.rig.Settings(0, 44100, 1)));
        EXPECT_EQ(p.rig.in.InitializedFormat(), MeasurementStreamFormat(0, 44100));
        EXPECT_EQ(p.rig.in.InitializedFormat().bits_per_sample, 16);
        ExpectSetUpLines(p.rig.view, 10, "GetDevice OK", "GetDevicePeriod OK, 10 ms Period", 232200, 1024);
        ExpectSetUpLines(p.rig.view, 300, "GetDevice OK", "GetDevicePeriod OK, 10 ms Period", 232200, 1024);
        EXPECT_EQ(p.rig.view.LastAt(65, 20), "C124 ");
        p.ExpectReferenceIsTheStimulus(0);
    }
    {
        PairRun p(1);
        ASSERT_TRUE(p.rig.RunInStep(p.rig.RoomSettings(1, 96000, 1)));
        ExpectSetUpLines(p.rig.view, 10, "GetDefaultAudioEndpoint OK", "GetDevicePeriod OK, 3 ms Period", 106667, 1024);
        ExpectSetUpLines(p.rig.view, 300, "GetDevice OK", "GetDevicePeriod OK, 3 ms Period", 106667, 1024);
        EXPECT_EQ(p.rig.view.LastAt(70, 20), "C124 ");
        EXPECT_TRUE(p.rig.view.At(65, 20).empty());
    }
}

// A device whose buffer is not 1024 frames: the render thread fills every grant from where the stimulus goes
// on (silence after its 256 periods) and the capture keeps every frame of every packet, so the reference still
// comes back frame for frame.
TEST(MlsMeasurementThreads, OtherBufferSizesKeepEveryFrame) {
    for (uint32_t frames : {1500u, 700u}) {
        SCOPED_TRACE(frames);
        PairRun p(1);
        p.rig.out.SetBufferFrames(frames);
        p.rig.in.SetBufferFrames(frames);
        ASSERT_TRUE(p.rig.RunInStep(p.rig.Settings(1, 48000, 1)));
        EXPECT_EQ(p.rig.view.LastAt(10, MeasurementStatusY(10)), "GetBufferSize OK, " + std::to_string(frames) + " Frames");
        EXPECT_EQ(p.rig.run.CaptureResult.load(), 0);
        EXPECT_EQ(p.rig.run.CapturedFrames.load(), 337920u);
        EXPECT_EQ(p.rig.run.RenderedFrames.load(), 262144u);
        EXPECT_EQ(p.rig.view.LastAt(65, 20), "C124 ");
        EXPECT_EQ(p.rig.view.LastAt(110, 20), "R99 ");
        p.ExpectReferenceIsTheStimulus(1);
    }
}

// The room equalizer's runs take only a device buffer of 1024 frames: another size fails the capture's set-up
// at GetBufferSize with its status line and the capturing error title, nothing is captured, and the render
// side, never signalled, gives up before opening its device.
TEST(MlsMeasurementThreads, RoomRunsRefuseOtherBufferSizesVisibly) {
    PairRun p(1);
    p.rig.out.SetBufferFrames(1500);
    p.rig.in.SetBufferFrames(1500);
    ASSERT_TRUE(p.rig.RunInStep(p.rig.RoomSettings(1, 48000, 1)));
    EXPECT_EQ(p.rig.view.LastAt(10, MeasurementStatusY(10)), "GetBufferSize AUDCLNT_E_BUFFER_SIZE_ERROR");
    EXPECT_EQ(p.rig.run.CaptureResult.load(), HR_AUDCLNT_E_BUFFER_SIZE_ERROR);
    EXPECT_EQ(p.rig.view.Titles(), std::vector<std::string>{kMeasurementCaptureErrorTitle});
    EXPECT_EQ(p.rig.run.CapturedFrames.load(), 0u);
    EXPECT_EQ(p.rig.run.RenderExitCode.load(), kMeasurementRenderNoCaptureExitCode);
    EXPECT_EQ(p.rig.running.load(), 0);
    EXPECT_EQ(p.rig.render_running.load(), 0);
}

namespace {

struct InjectedFailure {
    StreamDirection direction;
    StreamStep step;
    int32_t code;
    uint32_t after;
    int x, y;                  // where its status line stands (y 0: no line)
    const char* line;
    const char* title;         // the one error title, or null
    bool render_opened;        // the render thread got past its hand-shake
};

}  // namespace

// Each failure of a set-up step or of a loop call: its status line, its error title (only a failure code has
// one), both flags cleared, both threads joined, every event and stream closed.
TEST(MlsMeasurementThreads, InjectedFailuresShowTheirLineAndLeaveNothingRunning) {
    const StreamDirection C = StreamDirection::Capture, R = StreamDirection::Render;
    const InjectedFailure cases[] = {
        {C, StreamStep::InitializeCom, HR_RPC_E_CHANGED_MODE, 0, 10, 30, "CoInitializeEx RPC_E_CHANGED_MODE", kMeasurementCaptureErrorTitle, false},
        {C, StreamStep::OpenDevice, HR_E_NOTFOUND, 0, 10, 70, "GetDevice E_NOTFOUND", kMeasurementCaptureErrorTitle, false},
        {C, StreamStep::IsFormatSupported, HR_AUDCLNT_E_UNSUPPORTED_FORMAT, 0, 10, 130, "AUDCLNT_E_UNSUPPORTED_FORMAT", kMeasurementCaptureErrorTitle, false},
        {C, StreamStep::MakeEvent, HR_E_OUTOFMEMORY, 0, 10, 0, nullptr, kMeasurementCaptureErrorTitle, false},
        {R, StreamStep::IsFormatSupported, HR_AUDCLNT_E_UNSUPPORTED_FORMAT, 0, 300, 130, "IsFormatSupported AUDCLNT_E_UNSUPPORTED_FORMAT", kMeasurementRenderErrorTitle, true},
        {R, StreamStep::Initialize, HR_AUDCLNT_E_DEVICE_IN_USE, 0, 300, 150, "Initialize AUDCLNT_E_DEVICE_IN_USE", kMeasurementRenderErrorTitle, true},
        {R, StreamStep::Start, HR_AUDCLNT_E_NOT_INITIALIZED, 0, 300, 250, "Start AUDCLNT_E_NOT_INITIALIZED", kMeasurementRenderErrorTitle, true},
        {C, StreamStep::Start, HR_AUDCLNT_E_SERVICE_NOT_RUNNING, 0, 10, 250, "Start AUDCLNT_E_SERVICE_NOT_RUNNING", kMeasurementCaptureErrorTitle, true},
        {C, StreamStep::GetBuffer, HR_AUDCLNT_E_DEVICE_INVALIDATED, 10, 10, 0, nullptr, kMeasurementCaptureErrorTitle, true},
        {C, StreamStep::ReleaseBuffer, HR_AUDCLNT_E_OUT_OF_ORDER, 3, 10, 0, nullptr, kMeasurementCaptureErrorTitle, true},
        {R, StreamStep::GetBuffer, HR_AUDCLNT_E_BUFFER_ERROR, 5, 300, 0, nullptr, kMeasurementRenderErrorTitle, true},
        {R, StreamStep::ReleaseBuffer, HR_AUDCLNT_E_INVALID_SIZE, 7, 300, 0, nullptr, kMeasurementRenderErrorTitle, true},
    };
    const int events_before = CurrentThreadPlatform().LiveEvents();
    for (const InjectedFailure& f : cases) {
        SCOPED_TRACE(StreamStepName(f.step));
        SCOPED_TRACE(f.direction == C ? "capture" : "render");
        PairRun p(1);
        p.rig.system.InjectFailure(f.direction, f.step, f.code, f.after);
        MeasurementThreadSettings s = p.rig.Settings(1, 48000, 1);
        s.CaptureHandshakeWaitMs = 300;
        ASSERT_TRUE(p.rig.RunInStep(s));
        EXPECT_EQ(p.rig.running.load(), 0);
        EXPECT_EQ(p.rig.render_running.load(), 0);
        EXPECT_FALSE(MeasurementThreadsAlive(p.rig.run));
        EXPECT_EQ(p.rig.system.LiveStreams(), 0);
        EXPECT_EQ(CurrentThreadPlatform().LiveEvents(), events_before);
        EXPECT_FALSE(p.rig.in.InUse());
        EXPECT_FALSE(p.rig.out.InUse());
        EXPECT_EQ(p.rig.view.Titles(), std::vector<std::string>{f.title});
        if (f.line) {
            EXPECT_EQ(p.rig.view.LastAt(f.x, f.y), f.line);
        }
        if (f.step == StreamStep::MakeEvent) {
            EXPECT_EQ(p.rig.run.CaptureResult.load(), HR_E_FAIL);
            EXPECT_TRUE(p.rig.view.At(10, MeasurementStatusY(8)).empty());
        }
        const int32_t failed = f.direction == C ? p.rig.run.CaptureResult.load() : p.rig.run.RenderResult.load();
        if (f.step != StreamStep::MakeEvent) {
            EXPECT_EQ(failed, f.code);
        }
        // The other side ends quietly: the render side at its hand-shake when the capture side never got ready
        // (exit code 1, device never opened), the capture side at its hand-shake or after its 330 periods.
        const int32_t other = f.direction == C ? p.rig.run.RenderResult.load() : p.rig.run.CaptureResult.load();
        EXPECT_GE(other, 0);
        if (!f.render_opened) {
            EXPECT_EQ(p.rig.run.RenderExitCode.load(), kMeasurementRenderNoCaptureExitCode);
            EXPECT_EQ(p.rig.out.StartCount(), 0u);
        } else {
            EXPECT_EQ(p.rig.run.RenderExitCode.load(), kMeasurementRenderExitCode);
        }
        EXPECT_EQ(p.rig.run.CaptureExitCode.load(), kMeasurementCaptureExitCode);
        if (f.direction == R && (f.step == StreamStep::IsFormatSupported || f.step == StreamStep::Initialize)) {
            EXPECT_EQ(p.rig.in.StartCount(), 0u);  // the capture never started without its render side
        }
    }
}

// A capture device that stops delivering: after one second without a period the capture thread stops with
// the positive result 1460 and no title, while the render side plays its 256 periods and ends.
TEST(MlsMeasurementThreads, SilentCaptureDeviceEndsWithoutATitle) {
    PairRun p(1);
    // No loop-back clock: the speaker plays on its own clock, the microphone never delivers.
    InMemoryAudioSystem system;
    InMemoryEndpoint& out = system.AddEndpoint(StreamDirection::Render, L"speaker-out", "Out");
    system.AddEndpoint(StreamDirection::Capture, L"mic-in", "In");
    p.rig.run.Streams = &system;
    ASSERT_EQ(StartMeasurementThreads(p.rig.run, p.rig.Settings(1, 48000)), MeasurementStartResult::kStarted);
    const Deadline deadline;
    while (p.rig.render_running.load() && !deadline.Passed()) {
        if (!out.Started()) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        WaitFor([&] { return out.Releases() > out.Ticks() || !out.Started(); }, 3000);
        out.Tick();
    }
    ASSERT_TRUE(WaitForMeasurementThreads(p.rig.run, 20000));
    EXPECT_EQ(p.rig.run.CaptureResult.load(), kMeasurementTimeoutResult);
    EXPECT_EQ(p.rig.run.RenderResult.load(), 0);
    EXPECT_EQ(p.rig.run.RenderedFrames.load(), 262144u);
    EXPECT_EQ(p.rig.run.CapturedFrames.load(), 0u);
    EXPECT_TRUE(p.rig.view.Titles().empty());
    EXPECT_EQ(p.rig.running.load(), 0);
    EXPECT_EQ(p.rig.render_running.load(), 0);
}

// A wait that runs out asks the threads to stop: they leave at their next period, each with its stream's
// Stop as the result (not a time-out), and are joined. The clock keeps the run from ending before the wait
// has run out, whatever the load: once both threads are in their loops it plays a period only every 20 ms
// until the stop is asked, and none past period 200, so the run can only end through the request; a second
// run on the same pair then records the whole stimulus again, with nothing of the first run before it.
TEST(MlsMeasurementThreads, WaitThatRunsOutStopsTheThreads) {
    PairRun p(1);
    ASSERT_EQ(p.rig.Start(p.rig.Settings(1, 48000)), MeasurementStartResult::kStarted);
    const auto stop_asked = [&] { return p.rig.run.StopRequest.load() != 0; };
    std::thread clock([&] {
        p.rig.DriveInStep(0, [&](uint64_t ticks) {
            if (stop_asked()) return;
            if (ticks >= 200) WaitFor(stop_asked, 60000);
            else std::this_thread::sleep_for(std::chrono::milliseconds(20));
        });
    });
    ASSERT_TRUE(WaitFor([&] { return p.rig.run.CapturedFrames.load() > 0 && p.rig.run.RenderedFrames.load() > 0; }, 30000));
    ASSERT_TRUE(WaitForMeasurementThreads(p.rig.run, 50));
    clock.join();
    EXPECT_FALSE(MeasurementThreadsAlive(p.rig.run));
    EXPECT_GT(p.rig.run.CapturedFrames.load(), 0u);
    EXPECT_LT(p.rig.run.CapturedFrames.load(), 337920u);
    EXPECT_LT(p.rig.run.RenderedFrames.load(), 262144u);
    EXPECT_EQ(p.rig.run.CaptureResult.load(), 0);
    EXPECT_EQ(p.rig.run.RenderResult.load(), 0);
    EXPECT_EQ(p.rig.run.CaptureExitCode.load(), kMeasurementCaptureExitCode);
    EXPECT_EQ(p.rig.run.RenderExitCode.load(), kMeasurementRenderExitCode);
    EXPECT_EQ(p.rig.running.load(), 0);
    EXPECT_EQ(p.rig.render_running.load(), 0);
    EXPECT_TRUE(p.rig.view.Titles().empty());
    // A second run starts on the same pair once the first is joined.
    std::fill(p.capture.begin(), p.capture.end(), 0xEE);
    ASSERT_TRUE(p.rig.RunInStep(p.rig.Settings(1, 48000)));
    EXPECT_EQ(p.rig.run.CaptureResult.load(), 0);
    EXPECT_EQ(p.rig.run.RenderResult.load(), 0);
    EXPECT_EQ(p.rig.run.CapturedFrames.load(), 337920u);
    p.ExpectReferenceIsTheStimulus(1);
}

namespace {

// Threads through the portable platform, except that creation number `fail_at` (0-based) fails, or events do.
class FailingThreadPlatform : public ThreadPlatform {
public:
    int fail_at = -1;
    bool fail_events = false;
    std::unique_ptr<PlatformThread> StartThread(std::function<void()> body, ThreadPriority priority) override {
        if (started_++ == fail_at) return nullptr;
        return PortableThreadPlatform().StartThread(std::move(body), priority);
    }
    std::unique_ptr<AutoResetEvent> MakeEvent() override {
        return fail_events ? nullptr : PortableThreadPlatform().MakeEvent();
    }
    void RaiseProcessPriority() override {}
    int RunningThreads() const override { return PortableThreadPlatform().RunningThreads(); }
    int LiveEvents() const override { return PortableThreadPlatform().LiveEvents(); }

private:
    int started_ = 0;
};

struct PlatformSwap {
    explicit PlatformSwap(ThreadPlatform* p) { SetThreadPlatform(p); }
    ~PlatformSwap() { SetThreadPlatform(nullptr); }
};

}  // namespace

// A thread or an event that cannot be made fails the run visibly and never leaves the caller waiting: no
// capture thread shows the capturing error at once; no render thread shows the rendering error and the
// capture thread ends at its hand-shake; no events start nothing. The flags are 0 in every case.
TEST(MlsMeasurementThreads, FailedThreadOrEventCreationFailsTheRunVisibly) {
    const int events_before = PortableThreadPlatform().LiveEvents();
    for (int fail_at : {0, 1}) {
        SCOPED_TRACE(fail_at);
        PairRun p(1);
        FailingThreadPlatform platform;
        platform.fail_at = fail_at;
        PlatformSwap swap(&platform);
        MeasurementThreadSettings s = p.rig.Settings(1, 48000);
        s.CaptureHandshakeWaitMs = 200;
        const MeasurementStartResult r = p.rig.Start(s);
        EXPECT_EQ(r, fail_at == 0 ? MeasurementStartResult::kNoCaptureThread : MeasurementStartResult::kNoRenderThread);
        p.rig.DriveInStep();
        ASSERT_TRUE(WaitForMeasurementThreads(p.rig.run, 5000));
        EXPECT_EQ(p.rig.running.load(), 0);
        EXPECT_EQ(p.rig.render_running.load(), 0);
        EXPECT_EQ(p.rig.view.Titles(), std::vector<std::string>{fail_at == 0 ? kMeasurementCaptureErrorTitle
                                                                              : kMeasurementRenderErrorTitle});
        EXPECT_EQ(p.rig.in.StartCount(), 0u);
        EXPECT_EQ(PortableThreadPlatform().LiveEvents(), events_before);
        EXPECT_EQ(p.rig.system.LiveStreams(), 0);
    }
    PairRun p(1);
    FailingThreadPlatform platform;
    platform.fail_events = true;
    PlatformSwap swap(&platform);
    EXPECT_EQ(StartMeasurementThreads(p.rig.run, p.rig.Settings(1, 48000)), MeasurementStartResult::kNoEvent);
    EXPECT_EQ(p.rig.running.load(), 0);
    EXPECT_EQ(p.rig.render_running.load(), 0);
    EXPECT_FALSE(MeasurementThreadsAlive(p.rig.run));
}

// Refusals: a run that is still going, a capture buffer too small for 330 periods, a rate the pair does not
// know. Nothing starts and no flag changes.
TEST(MlsMeasurementThreads, RefusesRunsItCannotDo) {
    PairRun p(1);
    p.rig.running.store(1);
    EXPECT_EQ(StartMeasurementThreads(p.rig.run, p.rig.Settings(1, 48000)), MeasurementStartResult::kBusy);
    EXPECT_EQ(p.rig.render_running.load(), 0);
    p.rig.running.store(0);
    MeasurementThreadSettings s = p.rig.Settings(1, 22050);
    EXPECT_EQ(StartMeasurementThreads(p.rig.run, s), MeasurementStartResult::kBadRun);
    p.rig.run.CaptureBytes = 330u * 8192u - 1;
    EXPECT_EQ(StartMeasurementThreads(p.rig.run, p.rig.Settings(1, 48000)), MeasurementStartResult::kBadRun);
    p.rig.run.CaptureBytes = 330u * 4096u;  // enough for 16-bit samples only
    EXPECT_EQ(StartMeasurementThreads(p.rig.run, p.rig.Settings(1, 48000)), MeasurementStartResult::kBadRun);
    EXPECT_EQ(p.rig.running.load(), 0);
    EXPECT_FALSE(MeasurementThreadsAlive(p.rig.run));
}
