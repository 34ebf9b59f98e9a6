#pragma once
// A measurement rig for the thread pair: in-memory render and capture endpoints joined by the loop-back, a
// view that records what the threads draw, the two running flags, and a clock that ticks in step with the
// threads, so that no period is lost to scheduling whatever the machine's load.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "measure/measurement_threads.h"
#include "platform/in_memory_loopback.h"
#include "tests/test_util.h"

struct DrawnText {
    int x, y;
    std::string text;
};

class RecordingThreadView : public MeasurementThreadView {
public:
    void DrawText(int x, int y, const char* text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        drawn_.push_back(DrawnText{x, y, text});
    }
    void ShowErrorTitle(const char* title) override {
        std::lock_guard<std::mutex> lock(mutex_);
        titles_.push_back(title);
    }
    std::vector<DrawnText> Drawn() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return drawn_;
    }
    std::vector<std::string> Titles() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return titles_;
    }
    // The texts drawn at (x, y), in order.
    std::vector<std::string> At(int x, int y) const {
        std::vector<std::string> out;
        for (const DrawnText& d : Drawn())
            if (d.x == x && d.y == y) out.push_back(d.text);
        return out;
    }
    // The last text drawn at (x, y), or "" when none.
    std::string LastAt(int x, int y) const {
        const std::vector<std::string> all = At(x, y);
        return all.empty() ? std::string() : all.back();
    }

private:
    mutable std::mutex mutex_;
    std::vector<DrawnText> drawn_;
    std::vector<std::string> titles_;
};

struct MeasurementRig {
    InMemoryAudioSystem system;
    InMemoryEndpoint& out = system.AddEndpoint(StreamDirection::Render, L"speaker-out", "Loop Out");
    InMemoryEndpoint& in = system.AddEndpoint(StreamDirection::Capture, L"mic-in", "Loop In");
    InMemoryLoopback loop{out, in};
    RecordingThreadView view;
    std::atomic<int> running{0};
    std::atomic<int> render_running{0};
    MeasurementRun run;

    // Wires the run to the rig and to the caller's buffers.
    void Wire(uint8_t* capture, std::size_t capture_bytes, const uint8_t* stimulus, std::size_t stimulus_bytes) {
        run.Streams = &system;
        run.View = &view;
        run.Running = &running;
        run.RenderRunning = &render_running;
        run.Capture = capture;
        run.CaptureBytes = capture_bytes;
        run.Stimulus = stimulus;
        run.StimulusBytes = stimulus_bytes;
    }

    MeasurementThreadSettings Settings(uint32_t capture24, uint32_t rate, uint32_t debug = 0) const {
        return Wired(MlsPageThreadSettings(), capture24, rate, debug);
    }
    // The room equalizer's settings over the same endpoints.
    MeasurementThreadSettings RoomSettings(uint32_t capture24, uint32_t rate, uint32_t debug = 0) const {
        return Wired(RoomEqThreadSettings(), capture24, rate, debug);
    }
    static MeasurementThreadSettings Wired(MeasurementThreadSettings s, uint32_t capture24, uint32_t rate, uint32_t debug) {
        s.SampleRate = rate;
        s.Capture24Bit = capture24;
        s.WasapiDebugMode = debug;
        s.CaptureEndpointId = L"mic-in";
        s.RenderEndpointId = L"speaker-out";
        return s;
    }

    // Starts a run; the endpoints' counts go on from earlier runs, so the steps count from where it found them.
    MeasurementStartResult Start(const MeasurementThreadSettings& s) {
        out_ticks_ = out.Ticks();
        out_releases_ = out.Releases();
        in_ticks_ = in.Ticks();
        in_releases_ = in.Releases();
        return StartMeasurementThreads(run, s);
    }

    // Ticks the loop-back while either thread runs. Before each tick the render thread has handed over its
    // next grant (while its stream runs) and the capture thread has taken every packet so far (while its
    // stream runs). A tick waits while either side is on its way to its start (its flag up, its stream not yet
    // started): the render thread signals its readiness before it starts its stream, so the capture stream
    // may start first, and a period ticked then would reach the capture before any stimulus, or reach the
    // render stream before its first grant. `before_tick` (may be empty) is called with the ticks of this run
    // so far before each tick, for a test that holds the clock until it has acted. Threads that neither take
    // a step nor end for a minute fail the test instead of holding the run for ever.
    void DriveInStep(int tick_pause_us = 0, const std::function<void(uint64_t)>& before_tick = {}) {
        std::atomic<int>& capture_flag = run.Running ? *run.Running : running;
        std::atomic<int>& render_flag = run.RenderRunning ? *run.RenderRunning : render_running;
        const uint64_t loop_ticks = loop.Ticks();
        Deadline stalled;
        while (capture_flag.load() || render_flag.load()) {
            if (stalled.Passed()) {
                ADD_FAILURE() << "the measurement threads stopped taking steps: capture flag " << capture_flag.load()
                              << ", render flag " << render_flag.load() << ", streams started " << in.Started()
                              << "/" << out.Started() << ", " << loop.Ticks() - loop_ticks << " periods played";
                return;
            }
            const bool rendering = out.Started();
            const bool capturing = in.Started();
            const bool render_on_its_way = !rendering && render_flag.load() != 0;
            const bool capture_on_its_way = !capturing && capture_flag.load() != 0;
            if ((!rendering && !capturing) || render_on_its_way || capture_on_its_way) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                continue;
            }
            if (rendering)
                WaitFor([&] { return out.Releases() - out_releases_ > out.Ticks() - out_ticks_ || !out.Started(); }, 30000);
            if (before_tick) before_tick(loop.Ticks() - loop_ticks);
            if (tick_pause_us > 0) std::this_thread::sleep_for(std::chrono::microseconds(tick_pause_us));
            loop.Tick();
            stalled = Deadline();
            if (capturing)
                WaitFor([&] { return in.Releases() - in_releases_ >= in.Ticks() - in_ticks_ || !in.Started(); }, 30000);
        }
    }

    // For a run that someone else starts (on flags of its own): waits until it has started, then drives it.
    void DriveRunStartedElsewhere(std::atomic<int>& capture_flag) {
        if (!WaitFor([&] { return capture_flag.load() != 0; }, 10000)) return;
        DriveInStep();
    }

    // Start, drive, wait: one whole run. Returns what the wait returned.
    bool RunInStep(const MeasurementThreadSettings& s) {
        EXPECT_EQ(Start(s), MeasurementStartResult::kStarted);
        DriveInStep();
        return WaitForMeasurementThreads(run, 10000);
    }

private:
    uint64_t out_ticks_ = 0, out_releases_ = 0, in_ticks_ = 0, in_releases_ = 0;
};
