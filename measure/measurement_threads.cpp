#include "measure/measurement_threads.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

std::atomic<int> MlsRenderRunning{0};

namespace {

constexpr int kCaptureSide = 0;
constexpr int kRenderSide = 1;
constexpr uint32_t kJoinSliceMs = 10;

// The status lines, one per set-up step, in the order the steps run.
enum StatusLine {
    kLineCom = 1, kLineEnumerator, kLineDevice, kLineActivate, kLinePeriod, kLineFormat, kLineInitialize,
    kLineEvent, kLineEventHandle, kLineBufferSize, kLineService, kLineStart
};

bool StopRequested(const MeasurementRun& run) { return run.StopRequest.load(std::memory_order_acquire) != 0; }

uint32_t LowTicks(const MeasurementRun& run) {
    const PerformanceCounter& counter = run.Counter ? *run.Counter : CurrentPerformanceCounter();
    return static_cast<uint32_t>(counter.Now());
}

int StatusX(int side) { return side == kCaptureSide ? kMeasurementCaptureStatusX : kMeasurementRenderStatusX; }

void Draw(const MeasurementRun& run, int x, int y, const char* text) {
    if (run.View) run.View->DrawText(x, y, text);
}

// One status line in "WASAPI De-Bug Mode": the step's OK text on success (its %d filled with `value`), else
// the step's word and the code's name. The capture thread writes a refused format as the bare code name;
// an event that cannot be made draws nothing.
void ReportStep(const MeasurementRun& run, int side, int line, int32_t code, long long value = 0) {
    if (run.Settings.WasapiDebugMode != 1) return;
    const char* word = nullptr;
    const char* ok = nullptr;
    switch (line) {
        case kLineCom: word = "CoInitializeEx"; break;
        case kLineEnumerator: word = "CoCreateInstance"; break;
        case kLineDevice: word = side == kCaptureSide ? run.Settings.CaptureDeviceStep.c_str() : "GetDevice"; break;
        case kLineActivate: word = "Activate"; break;
        case kLinePeriod: word = "GetDevicePeriod"; ok = "GetDevicePeriod OK, %d ms Period"; break;
        case kLineFormat: word = side == kCaptureSide ? nullptr : "IsFormatSupported"; ok = "IsFormatSupported OK"; break;
        case kLineInitialize: word = "Initialize"; ok = "Initialize OK, %d Duration"; break;
        case kLineEvent: ok = "CreateEvent OK"; break;
        case kLineEventHandle: word = "SetEventHandle"; break;
        case kLineBufferSize: word = "GetBufferSize"; ok = "GetBufferSize OK, %d Frames"; break;
        case kLineService: word = "GetService"; break;
        case kLineStart: word = "Start"; break;
        default: return;
    }
    char text[160];
    if (HrSucceeded(code)) {
        if (line == kLineCom && code == HR_S_FALSE)
            std::snprintf(text, sizeof text, "CoInitializeEx S_FALSE");
        else if (ok)
            std::snprintf(text, sizeof text, ok, static_cast<int>(value));
        else
            std::snprintf(text, sizeof text, "%s OK", word);
    } else if (line == kLineEvent) {
        return;
    } else if (!word) {
        std::snprintf(text, sizeof text, "%s", HresultText(code).c_str());
    } else {
        std::snprintf(text, sizeof text, "%s %s", word, HresultText(code).c_str());
    }
    Draw(run, StatusX(side), MeasurementStatusY(line), text);
}

// Steps 1 to 11 of a stream's set-up; the buffer size in *frames. Returns the last step's code (negative on
// failure). A buffer of no frames cannot carry a period and counts as a buffer-size error.
int32_t SetUpStream(const MeasurementRun& run, AudioStream& stream, int side, const std::wstring& id,
                    uint32_t* frames) {
    const MeasurementThreadSettings& s = run.Settings;
    int32_t hr = stream.InitializeCom();
    ReportStep(run, side, kLineCom, hr);
    if (HrFailed(hr)) return hr;
    hr = stream.CreateEnumerator();
    ReportStep(run, side, kLineEnumerator, hr);
    if (HrFailed(hr)) return hr;
    hr = stream.OpenDevice(id.c_str());
    ReportStep(run, side, kLineDevice, hr);
    if (HrFailed(hr)) return hr;
    hr = stream.Activate();
    ReportStep(run, side, kLineActivate, hr);
    if (HrFailed(hr)) return hr;
    int64_t default_period = 0, minimum_period = 0;
    hr = stream.GetDevicePeriod(&default_period, &minimum_period);
    ReportStep(run, side, kLinePeriod, hr, (s.ReportMinimumPeriod ? minimum_period : default_period) / 10000);
    if (HrFailed(hr)) return hr;
    const StreamFormat format = MeasurementStreamFormat(s.Capture24Bit, s.SampleRate);
    hr = stream.IsFormatSupported(format);
    ReportStep(run, side, kLineFormat, hr);
    if (HrFailed(hr)) return hr;
    const int64_t duration = MeasurementPeriodDuration(s.SampleRate);
    hr = stream.Initialize(duration, format);
    ReportStep(run, side, kLineInitialize, hr, duration);
    if (HrFailed(hr)) return hr;
    hr = stream.CreatePeriodEvent();
    if (HrFailed(hr)) hr = HR_E_FAIL;
    ReportStep(run, side, kLineEvent, hr);
    if (HrFailed(hr)) return hr;
    hr = stream.SetEventHandle();
    ReportStep(run, side, kLineEventHandle, hr);
    if (HrFailed(hr)) return hr;
    hr = stream.GetBufferSize(frames);
    if (HrSucceeded(hr) && (*frames == 0 || (s.RequiredBufferFrames != 0 && *frames != s.RequiredBufferFrames)))
        hr = HR_AUDCLNT_E_BUFFER_SIZE_ERROR;
    ReportStep(run, side, kLineBufferSize, hr, *frames);
    if (HrFailed(hr)) return hr;
    hr = stream.GetService();
    ReportStep(run, side, kLineService, hr);
    return hr;
}

int32_t StartStream(const MeasurementRun& run, AudioStream& stream, int side) {
    const int32_t hr = stream.Start();
    ReportStep(run, side, kLineStart, hr);
    return hr;
}

void Stamp(MeasurementRun& run, int side) {
    run.StartTimes[side].store(LowTicks(run), std::memory_order_relaxed);
    run.Stamped[side].store(1, std::memory_order_release);
}

// The capture loop: every packet's frames, as many as it holds, into the capture buffer in order (silence for
// a silent packet) until 330 periods are in. Returns the thread's result.
int32_t CapturePeriods(MeasurementRun& run, CaptureStream& stream) {
    const MeasurementThreadSettings& s = run.Settings;
    const std::size_t frame_bytes = MeasurementStreamFormat(s.Capture24Bit, s.SampleRate).BlockAlign();
    const uint64_t wanted = static_cast<uint64_t>(kMeasurementCapturePeriods) * kMeasurementPeriodFrames;
    uint64_t frames_in = 0;
    char text[32];
    for (int wake = 0; frames_in < wanted && wake < kMeasurementWakeLimit; ++wake) {
        if (wake == 0) Stamp(run, kCaptureSide);
        if (StopRequested(run)) return stream.Stop();
        if (stream.WaitForPeriod(kMeasurementPeriodWaitMs) != WaitResult::Signalled) {
            stream.Stop();
            return kMeasurementTimeoutResult;
        }
        const uint8_t* data = nullptr;
        uint32_t frames = 0, flags = 0;
        int32_t hr = stream.GetBuffer(&data, &frames, &flags);
        if (HrFailed(hr)) return hr;
        const uint64_t take = std::min<uint64_t>(frames, wanted - frames_in);
        uint8_t* dest = run.Capture + frames_in * frame_bytes;
        if (take > 0) {
            if (data && !(flags & kBufferFlagSilent)) std::memcpy(dest, data, take * frame_bytes);
            else std::memset(dest, 0, take * frame_bytes);
        }
        if (frames > 0) {
            hr = stream.ReleaseBuffer(frames);
            if (HrFailed(hr)) return hr;
        }
        if (take > 0) {
            const int period = static_cast<int>(frames_in / kMeasurementPeriodFrames);
            std::snprintf(text, sizeof text, "C%d ", period * 100 / kMeasurementProgressCapturePeriods);
            Draw(run, s.CaptureProgressX, kMeasurementProgressY, text);
        }
        frames_in += take;
        run.CapturedFrames.store(static_cast<uint32_t>(frames_in), std::memory_order_release);
    }
    return stream.Stop();
}

// The render loop: each grant filled from the stimulus where it goes on, silence past its 256 periods, until
// the 256 periods have been handed over. Returns the thread's result.
int32_t RenderPeriods(MeasurementRun& run, RenderStream& stream, uint32_t grant) {
    const MeasurementThreadSettings& s = run.Settings;
    const std::size_t frame_bytes = MeasurementStreamFormat(s.Capture24Bit, s.SampleRate).BlockAlign();
    const uint64_t total = static_cast<uint64_t>(kMeasurementRenderPeriods) * kMeasurementPeriodFrames;
    uint64_t played = 0;
    char text[32];
    for (int wake = 0; played < total && wake < kMeasurementWakeLimit; ++wake) {
        if (wake == 0) Stamp(run, kRenderSide);
        if (StopRequested(run)) return stream.Stop();
        uint8_t* data = nullptr;
        int32_t hr = stream.GetBuffer(grant, &data);
        if (HrFailed(hr)) return hr;
        const uint64_t take = std::min<uint64_t>(grant, total - played);
        if (data) {
            std::memcpy(data, run.Stimulus + played * frame_bytes, take * frame_bytes);
            std::memset(data + take * frame_bytes, 0, (grant - take) * frame_bytes);
        }
        hr = stream.ReleaseBuffer(grant, 0);
        if (HrFailed(hr)) return hr;
        const int period = static_cast<int>(played / kMeasurementPeriodFrames);
        played += take;
        run.RenderedFrames.store(static_cast<uint32_t>(played), std::memory_order_release);
        if (stream.WaitForPeriod(kMeasurementPeriodWaitMs) != WaitResult::Signalled) {
            stream.Stop();
            return kMeasurementTimeoutResult;
        }
        std::snprintf(text, sizeof text, "R%d ", period * 100 / kMeasurementRenderPeriods);
        Draw(run, kMeasurementRenderProgressX, kMeasurementProgressY, text);
    }
    return stream.Stop();
}

// Every way out of a thread: the stream closed (event, interfaces, COM), the flag cleared, the error title
// for a failure.
void Leave(MeasurementRun& run, AudioStream* stream, int side, int32_t hr) {
    if (stream) stream->Close();
    if (side == kCaptureSide) {
        run.CaptureResult.store(hr);
        run.CaptureExitCode.store(kMeasurementCaptureExitCode);
        run.Running->store(0, std::memory_order_seq_cst);
    } else {
        run.RenderResult.store(hr);
        run.RenderExitCode.store(kMeasurementRenderExitCode);
        run.RenderRunning->store(0, std::memory_order_seq_cst);
    }
    if (HrFailed(hr) && run.View)
        run.View->ShowErrorTitle(side == kCaptureSide ? kMeasurementCaptureErrorTitle : kMeasurementRenderErrorTitle);
}

bool RunFits(const MeasurementRun& run, const MeasurementThreadSettings& s) {
    if (!run.Streams || !run.Running || !run.RenderRunning || !run.Capture || !run.Stimulus) return false;
    if (s.SampleRate != 44100 && s.SampleRate != 48000 && s.SampleRate != 96000) return false;
    const std::size_t period_bytes =
        static_cast<std::size_t>(kMeasurementPeriodFrames) * MeasurementStreamFormat(s.Capture24Bit, s.SampleRate).BlockAlign();
    return run.CaptureBytes >= kMeasurementCapturePeriods * period_bytes &&
           run.StimulusBytes >= kMeasurementRenderPeriods * period_bytes;
}

// Joins one thread within the deadline, pumping between slices. True when it has ended (or never ran).
bool JoinBefore(std::unique_ptr<PlatformThread>& thread, std::chrono::steady_clock::time_point deadline,
                const std::function<void()>& pump) {
    while (thread) {
        if (thread->Join(pump ? kJoinSliceMs : 0)) {
            thread.reset();
            return true;
        }
        if (pump) pump();
        if (std::chrono::steady_clock::now() >= deadline) return false;
        if (!pump) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool JoinBoth(MeasurementRun& run, uint32_t timeout_ms, const std::function<void()>& pump) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    const bool capture = JoinBefore(run.CaptureThread, deadline, pump);
    const bool render = JoinBefore(run.RenderThread, deadline, pump);
    return capture && render;
}

void CloseEvents(MeasurementRun& run) {
    run.CaptureReadyEvent.reset();
    run.RenderReadyEvent.reset();
}

}  // namespace

MeasurementThreadSettings MlsPageThreadSettings() {
    MeasurementThreadSettings s;
    s.CaptureHandshakeWaitMs = 2000;
    s.CaptureProgressX = 65;
    s.CaptureDeviceStep = "GetDevice";
    s.ReportMinimumPeriod = false;
    return s;
}

MeasurementThreadSettings RoomEqThreadSettings() {
    MeasurementThreadSettings s;
    s.CaptureHandshakeWaitMs = 1000;
    s.CaptureProgressX = 70;
    s.CaptureDeviceStep = "GetDefaultAudioEndpoint";
    s.ReportMinimumPeriod = true;
    s.RequiredBufferFrames = kMeasurementPeriodFrames;  // the room's runs move whole 1024-frame periods
    return s;
}

StreamFormat MeasurementStreamFormat(uint32_t capture_24bit, uint32_t rate) {
    StreamFormat f;
    f.channels = 2;
    f.samples_per_second = rate;
    f.bits_per_sample = capture_24bit ? 32 : 16;
    f.valid_bits_per_sample = capture_24bit ? 24 : 16;
    f.channel_mask = 0x3;
    return f;
}

int64_t MeasurementPeriodDuration(uint32_t rate) { return FramesToDuration(kMeasurementPeriodFrames, rate); }

bool MeasurementThreadsAlive(const MeasurementRun& run) { return run.CaptureThread || run.RenderThread; }

bool MeasurementRunComplete(const MeasurementRun& run) {
    // The time-out code is no failure (it shows no error title), but the stream stopped short all the same.
    const auto ran_through = [](int32_t result) { return HrSucceeded(result) && result != kMeasurementTimeoutResult; };
    return ran_through(run.CaptureResult.load()) && ran_through(run.RenderResult.load()) &&
           run.CapturedFrames.load() == kMeasurementCapturedFrames &&
           run.RenderedFrames.load() == kMeasurementRenderedFrames;
}

MeasurementStartResult StartMeasurementThreads(MeasurementRun& run, const MeasurementThreadSettings& settings) {
    if (MeasurementThreadsAlive(run)) {
        if (!JoinBoth(run, 0, {})) return MeasurementStartResult::kBusy;
        CloseEvents(run);
    }
    if (!RunFits(run, settings)) return MeasurementStartResult::kBadRun;
    if (run.RenderRunning->load() != 0) return MeasurementStartResult::kBusy;

    run.Settings = settings;
    run.StopRequest.store(0);
    for (int side = 0; side < 2; ++side) {
        run.StartTimes[side].store(0);
        run.Stamped[side].store(0);
    }
    run.CaptureResult.store(0);
    run.RenderResult.store(0);
    run.CaptureExitCode.store(0);
    run.RenderExitCode.store(0);
    run.CapturedFrames.store(0);
    run.RenderedFrames.store(0);

    int expected = 0;
    if (!run.Running->compare_exchange_strong(expected, 1)) return MeasurementStartResult::kBusy;
    run.RenderRunning->store(1);
    run.RenderReadyEvent = MakeAutoResetEvent();
    run.CaptureReadyEvent = MakeAutoResetEvent();
    if (!run.RenderReadyEvent || !run.CaptureReadyEvent) {
        CloseEvents(run);
        run.Running->store(0);
        run.RenderRunning->store(0);
        return MeasurementStartResult::kNoEvent;
    }
    run.CaptureThread = StartThread([&run] { MeasurementCaptureThread(run); }, ThreadPriority::Normal);
    if (!run.CaptureThread) {
        CloseEvents(run);
        run.Running->store(0);
        run.RenderRunning->store(0);
        run.CaptureResult.store(HR_E_FAIL);
        if (run.View) run.View->ShowErrorTitle(kMeasurementCaptureErrorTitle);
        return MeasurementStartResult::kNoCaptureThread;
    }
    run.RenderThread = StartThread([&run] { MeasurementRenderThread(run); }, ThreadPriority::Normal);
    if (!run.RenderThread) {
        // The capture thread finds no render side at its hand-shake and ends by itself.
        run.RenderRunning->store(0);
        run.RenderResult.store(HR_E_FAIL);
        if (run.View) run.View->ShowErrorTitle(kMeasurementRenderErrorTitle);
        return MeasurementStartResult::kNoRenderThread;
    }
    return MeasurementStartResult::kStarted;
}

bool WaitForMeasurementThreads(MeasurementRun& run, uint32_t timeout_ms, const std::function<void()>& pump) {
    if (!JoinBoth(run, timeout_ms, pump)) {
        run.StopRequest.store(1, std::memory_order_release);
        // A thread at its hand-shake wakes at once; it sees the request and leaves.
        if (run.CaptureReadyEvent) run.CaptureReadyEvent->Set();
        if (run.RenderReadyEvent) run.RenderReadyEvent->Set();
        if (!JoinBoth(run, kMeasurementStopGraceMs, pump)) return false;
    }
    CloseEvents(run);
    return true;
}

bool StopMeasurementThreads(MeasurementRun& run, const std::function<void()>& pump) {
    if (!MeasurementThreadsAlive(run)) {
        CloseEvents(run);
        return true;
    }
    return WaitForMeasurementThreads(run, 0, pump);
}

void MeasurementCaptureThread(MeasurementRun& run) {
    std::unique_ptr<CaptureStream> stream = run.Streams->NewCaptureStream();
    if (!stream) return Leave(run, nullptr, kCaptureSide, HR_E_OUTOFMEMORY);
    uint32_t frames = 0;
    int32_t hr = SetUpStream(run, *stream, kCaptureSide, run.Settings.CaptureEndpointId, &frames);
    if (HrFailed(hr)) return Leave(run, stream.get(), kCaptureSide, hr);
    // The hand-shake: the render side sets up its stream and starts it first; without it the capture ends
    // quietly (the render side reports its own failure).
    run.CaptureReadyEvent->Set();
    if (run.RenderReadyEvent->Wait(run.Settings.CaptureHandshakeWaitMs) != WaitResult::Signalled ||
        StopRequested(run))
        return Leave(run, stream.get(), kCaptureSide, hr);
    hr = StartStream(run, *stream, kCaptureSide);
    if (HrFailed(hr)) return Leave(run, stream.get(), kCaptureSide, hr);
    hr = CapturePeriods(run, *stream);
    Leave(run, stream.get(), kCaptureSide, hr);
}

void MeasurementRenderThread(MeasurementRun& run) {
    if (run.CaptureReadyEvent->Wait(kMeasurementRenderHandshakeMs) != WaitResult::Signalled || StopRequested(run)) {
        run.RenderExitCode.store(kMeasurementRenderNoCaptureExitCode);
        run.RenderRunning->store(0, std::memory_order_seq_cst);
        return;
    }
    std::unique_ptr<RenderStream> stream = run.Streams->NewRenderStream();
    if (!stream) return Leave(run, nullptr, kRenderSide, HR_E_OUTOFMEMORY);
    uint32_t frames = 0;
    int32_t hr = SetUpStream(run, *stream, kRenderSide, run.Settings.RenderEndpointId, &frames);
    if (HrFailed(hr)) return Leave(run, stream.get(), kRenderSide, hr);
    run.RenderReadyEvent->Set();
    hr = StartStream(run, *stream, kRenderSide);
    if (HrFailed(hr)) return Leave(run, stream.get(), kRenderSide, hr);
    hr = RenderPeriods(run, *stream, frames);
    Leave(run, stream.get(), kRenderSide, hr);
}
