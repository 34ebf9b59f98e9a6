#pragma once
// The measurement's capture and render thread pair. One run plays the stimulus on two outputs and records
// two inputs at the same time (left the reference loop-back, right the microphone): each thread opens its
// own endpoint in exclusive, event-driven mode with two channels and 1024-frame periods, the two meet in a
// hand-shake so that the render stream starts first and the capture stream right after it, and each stamps
// its first period with the performance counter so that the caller can correct the start offset.
//
// The MLS acquisition page and the room equalizer run this same pair; MeasurementThreadSettings carries what
// differs between them (the capture's wait for the render side, where its progress counter stands, the word
// of its device step and which device period it reports). Everything goes through the platform seams, so
// tests run the pair against in-memory endpoints.
//
// What the threads show goes to a MeasurementThreadView: status lines of "WASAPI De-Bug Mode", the progress
// counters "C%d " and "R%d " (always), and the error title of a failed stream.
//
// Use: StartMeasurementThreads, then WaitForMeasurementThreads (which joins both threads, within a time-out,
// asking them to stop when it runs out), then read the capture and the stamps. Every path of either thread
// clears its running flag; every thread started is joined and every event closed before the next start.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/audio_stream.h"
#include "platform/threads.h"

inline constexpr int kMeasurementPeriodFrames = 1024;
inline constexpr int kMeasurementCapturePeriods = 330;
inline constexpr int kMeasurementRenderPeriods = 256;
inline constexpr int kMeasurementProgressCapturePeriods = 264;  // "C%d " runs 0..124 over the 330 periods
inline constexpr uint32_t kMeasurementPeriodWaitMs = 1000;     // every wait for a stream's period event
inline constexpr uint32_t kMeasurementRenderHandshakeMs = 1000; // the render side's wait for the capture side
inline constexpr int32_t kMeasurementTimeoutResult = 1460;     // positive: a silent device shows no error title
inline constexpr uint32_t kMeasurementStopGraceMs = 5000;      // after a stop request, before giving up a thread
// Wake-ups a loop takes at most: a device that keeps answering with empty packets cannot hold a thread.
inline constexpr int kMeasurementWakeLimit = 8 * kMeasurementCapturePeriods;
// Frames a complete run captures and plays.
inline constexpr uint32_t kMeasurementCapturedFrames = kMeasurementCapturePeriods * kMeasurementPeriodFrames;
inline constexpr uint32_t kMeasurementRenderedFrames = kMeasurementRenderPeriods * kMeasurementPeriodFrames;

// Exit codes of the two threads.
inline constexpr int kMeasurementCaptureExitCode = 10;
inline constexpr int kMeasurementRenderExitCode = 20;
inline constexpr int kMeasurementRenderNoCaptureExitCode = 1;

// Where the threads write: status line k (1..12) at y = 10 + 20 k, the capture's at x = 10 and the
// render's at x = 300; the progress counters on y = 20, the render's at x = 110.
inline constexpr int kMeasurementCaptureStatusX = 10;
inline constexpr int kMeasurementRenderStatusX = 300;
inline constexpr int kMeasurementStatusLines = 12;
inline constexpr int kMeasurementProgressY = 20;
inline constexpr int kMeasurementRenderProgressX = 110;
inline int MeasurementStatusY(int line) { return 10 + 20 * line; }

inline constexpr const char* kMeasurementCaptureErrorTitle = "CAPTURING ERROR - RESTART";
inline constexpr const char* kMeasurementRenderErrorTitle = "RENDERING ERROR - RESTART";

// The settings of one run. The first group is what tells the MLS page's pair from the room equalizer's.
struct MeasurementThreadSettings {
    uint32_t CaptureHandshakeWaitMs = 2000;      // the capture thread's wait for the render side
    int CaptureProgressX = 65;                   // x of "C%d "
    std::string CaptureDeviceStep = "GetDevice"; // the word of the capture thread's device line
    bool ReportMinimumPeriod = false;            // the period line shows the minimum (else the default) period
    uint32_t RequiredBufferFrames = 0;           // a device buffer of any other size fails set-up (0: any size)

    uint32_t SampleRate = 48000;   // 44100, 48000 or 96000
    uint32_t Capture24Bit = 1;     // 0: 16-bit samples; else 32-bit containers with 24 valid bits
    uint32_t WasapiDebugMode = 0;  // 1: draw the status lines
    std::wstring CaptureEndpointId;
    std::wstring RenderEndpointId;
};

// The MLS acquisition page's settings and the room equalizer's (what differs; the run's fields still to fill).
MeasurementThreadSettings MlsPageThreadSettings();
MeasurementThreadSettings RoomEqThreadSettings();

// The stream format both threads open: 2 channels, mask 3, PCM; 16/16 or 32/24 bits.
StreamFormat MeasurementStreamFormat(uint32_t capture_24bit, uint32_t rate);
// Buffer duration and periodicity: 1024 frames at the rate in 100-ns units, rounded up (232,200 at 44,100 Hz,
// 213,334 at 48,000 Hz, 106,667 at 96,000 Hz).
int64_t MeasurementPeriodDuration(uint32_t rate);

// What the threads show. Both threads call it, each from its own thread, without coordination.
class MeasurementThreadView {
public:
    virtual ~MeasurementThreadView() = default;
    virtual void DrawText(int x, int y, const char* text) = 0;
    virtual void ShowErrorTitle(const char* title) = 0;
};

enum class MeasurementStartResult {
    kStarted,
    kBusy,         // a run is still going or its threads have not been joined
    kBadRun,       // missing wiring, a buffer too small for the run, or a rate the pair does not know
    kNoEvent,      // a hand-shake event could not be made: nothing started
    kNoCaptureThread,  // nothing runs; the capturing error title is shown
    kNoRenderThread,   // the capture thread runs on alone and ends at its hand-shake; the rendering error title
};

// Everything one pair owns: its wiring, the run in progress and what the threads did.
struct MeasurementRun {
    // Wiring.
    AudioStreamFactory* Streams = nullptr;
    MeasurementThreadView* View = nullptr;
    PerformanceCounter* Counter = nullptr;       // null: CurrentPerformanceCounter()
    std::atomic<int>* Running = nullptr;         // EngineRunning: the capture thread clears it
    std::atomic<int>* RenderRunning = nullptr;   // MlsRenderRunning: the render thread clears it
    uint8_t* Capture = nullptr;                  // at least 330 periods of the format
    std::size_t CaptureBytes = 0;
    const uint8_t* Stimulus = nullptr;           // at least 256 periods of the format
    std::size_t StimulusBytes = 0;

    // The run in progress.
    MeasurementThreadSettings Settings;
    std::unique_ptr<AutoResetEvent> CaptureReadyEvent, RenderReadyEvent;
    std::unique_ptr<PlatformThread> CaptureThread, RenderThread;
    std::atomic<int> StopRequest{0};

    // What the threads did.
    std::atomic<uint32_t> StartTimes[2] = {};    // low words of the counter: capture start, render start
    std::atomic<int> Stamped[2] = {};            // 1 once a thread stamped its first period
    std::atomic<int32_t> CaptureResult{0}, RenderResult{0};
    std::atomic<int> CaptureExitCode{0}, RenderExitCode{0};
    std::atomic<uint32_t> CapturedFrames{0}, RenderedFrames{0};

    bool StampsValid() const { return Stamped[0].load() == 1 && Stamped[1].load() == 1; }
};

// Starts one run: both running flags 1, the render side's event then the capture side's, the capture thread,
// then the render thread. Refused while a flag is set or threads of an earlier run are alive. A failure to
// make an event starts nothing and leaves both flags 0; a thread that cannot be created counts as its stream's
// failure (its flag 0 and its error title), so the caller's wait always ends.
MeasurementStartResult StartMeasurementThreads(MeasurementRun& run, const MeasurementThreadSettings& settings);

// Joins both threads, calling `pump` (may be empty) between short slices. When they have not ended within
// timeout_ms, asks them to stop and waits up to kMeasurementStopGraceMs more. Closes the events once both have
// ended. True when both have ended; otherwise the threads are kept (their buffers must stay) and the next
// start or wait joins them again.
bool WaitForMeasurementThreads(MeasurementRun& run, uint32_t timeout_ms, const std::function<void()>& pump = {});

// Asks a running pair to stop at its next period and joins it as above.
bool StopMeasurementThreads(MeasurementRun& run, const std::function<void()>& pump = {});

bool MeasurementThreadsAlive(const MeasurementRun& run);

// After both threads were joined: true when both streams ran every period, neither failing nor timing out.
bool MeasurementRunComplete(const MeasurementRun& run);

// The thread bodies (run by StartMeasurementThreads).
void MeasurementCaptureThread(MeasurementRun& run);
void MeasurementRenderThread(MeasurementRun& run);

// The render side's flag of the measurement runs (the capture side's is EngineRunning).
extern std::atomic<int> MlsRenderRunning;
