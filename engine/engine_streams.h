#pragma once
// The streaming engine: the capture thread (the engine's clock and block driver), the render thread, the
// four worker threads and the hand-over of finished output blocks between capture and render, with start
// and stop. Portable over the platform seams (platform/threads.h, platform/audio_stream.h): the program
// runs it over WASAPI, the tests over the in-memory endpoints, with the same threads.
//
// One block: the capture thread takes a packet, converts it into the nine input ports, hands the input FFTs
// and then the convolutions to the workers and spins until they are done, lets the test tone overwrite the
// block, hands the block to the render thread, and publishes the meters, the recording title and the
// timing texts. The render thread plays what it is handed, one block per period of its own device.
//
// Hand-over: a ring of whole output blocks with an atomic count, one producer (capture) and one consumer
// (render). With a queue depth q of 1..4 the render thread starts after q + 2 blocks and takes one block a
// period; an empty ring at a take (under-run) or a full ring at an append stops the engine without an
// error title. With q = 0 (direct) the render thread plays the newest finished block at each period, and
// plays it again when no newer one has come; it never reads a block that is being written.
//
// Every setting the threads use is taken once at the start (EngineStartSettings); only the live values
// (volume with the test tone's level, trims, BBM gain, phase mode, "Re-Record") change while the engine runs. Stop clears
// EngineRunning, wakes every waiting thread and joins all six with a time-out before anything is freed or
// a new start begins.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/block_path.h"
#include "engine/engine_status.h"
#include "engine/recording.h"
#include "platform/audio_stream.h"
#include "platform/threads.h"

inline constexpr uint32_t kEngineWaitMs = 1000;          // every wait of the engine threads
inline constexpr uint32_t kEngineLoopLimit = 10000000;   // blocks (periods) after which a thread ends
inline constexpr int32_t kCaptureTimeoutResult = 1460;   // positive: an event time-out shows no title
inline constexpr int kHandOverSlots = 8;                 // blocks the hand-over ring holds
inline constexpr int kMaxOutputQueue = 4;
inline constexpr std::size_t kDeviceCaptureBlockBytes = 393216;
inline constexpr uint32_t kWorkerSpinLimitMs = 2000;     // a worker that does not finish in this time ends the engine
inline constexpr uint32_t kDefaultJoinTimeoutMs = 5000;

// Exit codes of the stream threads.
inline constexpr int kCaptureExitCode = 10;
inline constexpr int kRenderNoCaptureExitCode = 1;
inline constexpr int kRenderExitCode = 20;

// The workers, in the order of WorkerBusyFlags and of their start.
enum EngineWorker { kConvolutionLow = 0, kConvolutionHigh = 1, kInputFftA = 2, kInputFftB = 3, kEngineWorkerCount = 4 };

// Settings the engine threads use, taken once when the engine starts.
struct EngineStartSettings {
    uint32_t SampleRate = 48000;    // 44100, 48000 or 96000
    uint32_t BufferSizeIndex = 1;   // HV_Buffer_Size; N = 512 << index
    uint32_t OutputMode = 0;        // 0 "8 Outputs", 1 "16 Outputs", 2 "8 + SPDIF"
    uint32_t InputMode = 0;         // 0 "Inputs 1-2", 1 "Inputs 1-12", 2 "Inputs 1-8", 3 "Inputs 1-6"
    uint32_t Capture24Bit = 1;
    uint32_t CenterToLr = 0;
    uint32_t BassMode = 0;
    uint32_t SystemConfiguration = 0;
    uint32_t OutputQueue = 0;       // 0 direct, 1..4 queued with that pre-roll
    uint32_t CaptureTiming = 0;     // 1: the capture stream starts only after the render side is ready
    uint32_t RenderTiming = 0;      // 1: the render stream starts only after the first block is ready
    uint32_t WasapiDebugMode = 0;   // 1: publish a status line after each set-up step
    int32_t TestToneChannel = 0;    // 1..16 one output, 17 all, else none
    float TestToneFrequency = 1000.0f;
    float TicksToMs = 0.0f;         // 0: taken from the performance counter at the start
    std::wstring CaptureEndpointId;
    std::wstring RenderEndpointId;

    int BlockFrames() const { return 512 << BufferSizeIndex; }
};

// The values the user-interface thread changes while the engine runs. The capture thread copies them once
// per block, so every worker of a block sees the same values.
struct EngineLiveControls {
    std::atomic<float> MasterGain{1.0f};
    std::atomic<float> ChannelTrims[kEngineOutputs];
    std::atomic<float> BbmGain{0.5f};
    std::atomic<int32_t> PhaseMode{0};
    std::atomic<int32_t> RecordOutput{0};
    std::atomic<int32_t> VolumePosition{51};  // the test tone's level, read again for every block

    EngineLiveControls();
    LiveBlockValues Snapshot() const;
};

// The capture and render formats and the buffer duration of a rate and block-size index.
StreamFormat CaptureStreamFormat(uint32_t input_mode, uint32_t capture_24bit, uint32_t rate);
StreamFormat RenderStreamFormat(uint32_t output_mode, uint32_t rate);
// N / rate in 100-ns units rounded up; the device's minimum period for the pairs the Play checks refuse
// (44100 and 48000 Hz with 4096 frames, 96000 Hz with 512).
int64_t StreamDuration(uint32_t rate, uint32_t buffer_size_index, int64_t device_minimum_period);

// Everything one engine owns: its wiring (set once), its buffers (allocated once) and the state of a run.
struct EngineSession {
    // Wiring. `ctx` holds the block path's buffers and its OutputBlock (room for 16 x 4096 words).
    AudioStreamFactory* Streams = nullptr;
    EngineBlockContext* Context = nullptr;
    RecordingPool* Recording = nullptr;        // may be null: nothing is recorded
    EngineStatusBoard* Status = nullptr;
    EngineLiveControls* Live = nullptr;
    std::atomic<int>* Running = nullptr;       // EngineRunning
    PerformanceCounter* Counter = nullptr;     // null: CurrentPerformanceCounter()

    // Buffers, allocated by AllocateEngineSessionBuffers.
    std::vector<uint8_t> DeviceCaptureBlock;
    std::vector<int32_t> HandOverStorage;       // kHandOverSlots blocks of up to 16 x 4096 words
    std::vector<int32_t> DelayRingStorage;      // 16 rings for contexts that have none of their own

    // The run (written by StartEngine before any thread exists, then by the threads as noted).
    EngineStartSettings Settings;
    std::atomic<int32_t> WorkerBusyFlags[kEngineWorkerCount] = {};
    std::atomic<int32_t> ProducerEnded{0};      // set by a producer of its own as it leaves: the workers leave
    std::unique_ptr<AutoResetEvent> WorkerWakeEvents[kEngineWorkerCount];
    std::unique_ptr<AutoResetEvent> RenderReadyEvent, CaptureReadyEvent, OutputBlockEvent;
    std::unique_ptr<PlatformThread> Threads[kEngineWorkerCount + 2];  // workers, capture, render
    LiveBlockValues BlockLive;                  // the capture thread's copy for the current block
    std::atomic<int32_t> HandOverCount{0};      // blocks in the ring
    int32_t HandOverWrite = 0;                  // capture thread only
    int32_t HandOverRead = 0;                   // render thread only
    std::atomic<uint32_t> BlockEndTicks{0};
    uint32_t PrevBlockStartTicks = 0;           // capture thread; kept between runs
    double TestTonePhase = 0.0;                 // capture thread
    RecordingPool NoRecording;                  // stands in when Recording is null

    // What the threads did, for the panels' state and for tests.
    std::atomic<int32_t> CaptureResult{0}, RenderResult{0};
    std::atomic<int> CaptureExitCode{0}, RenderExitCode{0};
    std::atomic<uint32_t> BlocksDone{0};        // capture blocks finished (handed over)
    std::atomic<uint32_t> PeriodsDone{0};       // render periods released
    std::atomic<int32_t> OutputBlockSignalBlock{-1};  // block counter at which OutputBlockEvent was set
    std::atomic<uint32_t> OutputBlockSignals{0};
};

// Allocates the session's own buffers once. Returns 0, or 1 when memory ran out.
int AllocateEngineSessionBuffers(EngineSession& e);
// Points every OutputDelayRing of the context that is still null at the session's own rings.
void UseSessionDelayRings(EngineSession& e);

// Start results.
enum class EngineStartResult { kStarted, kAlreadyRunning, kStillStopping, kBadSettings, kNoEvent, kNoThread, kNotRunning };

// Starts the engine as the panels do: EngineRunning and every busy flag set, the hand-over emptied, the
// process raised to the real-time class, the three hand-shake events, then for each worker (convolution
// low, high, input FFT A, B) its wake event and thread, then the capture thread at time-critical priority
// and the render thread. Refused while EngineRunning is set or threads of an earlier run are still alive,
// and for settings the threads cannot run (a block size or rate out of range, a context of another size,
// 16-bit capture with more than two inputs). When an event or a thread cannot be made, what was started
// is stopped and joined again.
EngineStartResult StartEngine(EngineSession& e, const EngineStartSettings& settings);

// Clears what a run leaves in the session's buffers: the block path's state (spectrum histories,
// accumulators, overlap tails, delay rings), the output block, the hand-over ring and the capture block.
// Only while no thread of the session runs.
void ClearEngineRunState(EngineSession& e);

// A run whose blocks come from a streaming thread of the caller's own (the WAV player's render thread) in
// place of the capture and render pair: with EngineRunning already set by the caller, the run's state is
// reset as StartEngine resets it, every busy flag set, the process raised to the real-time class, the four
// workers started with their wake events in StartEngine's order, then `producer` at time-critical
// priority. The producer hands its blocks to the workers with HandOffToWorkers and ends its run with
// EndProducerRun. kNotRunning when EngineRunning is clear; refused as StartEngine refuses otherwise.
EngineStartResult StartEngineWithProducer(EngineSession& e, const EngineStartSettings& settings,
                                          std::function<void(EngineSession&)> producer);
// The producer's last step: the workers of its run leave at once, whether or not EngineRunning is still set.
void EndProducerRun(EngineSession& e);

// Hands the current block to `count` workers (EngineWorker values): each one's busy flag set, then each
// one's wake event, then a spin until every flag is clear. kStopped when EngineRunning was cleared meanwhile
// (the block's buffers may still be in a worker's hands then), kStuck when a worker did not finish within
// kWorkerSpinLimitMs.
enum class HandOffResult { kDone, kStopped, kStuck };
HandOffResult HandOffToWorkers(EngineSession& e, const int* workers, int count);

// Steps 1 to 11 of a stream's set-up as the engine threads take them, with their status lines in column
// `column` (0 capture, 1 render) in "WASAPI De-Bug Mode"; a device whose buffer is not exactly one block is
// refused with AUDCLNT_E_BUFFER_SIZE_ERROR. Returns the code of the last step taken. StartEngineStream is
// step 12.
int32_t SetUpEngineStream(EngineSession& e, AudioStream& stream, int column, const std::wstring& endpoint_id,
                          const StreamFormat& format);
int32_t StartEngineStream(EngineSession& e, AudioStream& stream, int column);

// Clears EngineRunning, wakes every waiting engine thread and joins all of them, each within what is left
// of timeout_ms, calling `pump` (may be empty) between short slices so that the user-interface thread keeps
// answering. The events are closed after the last thread has ended. True when every thread has ended;
// otherwise the threads are kept and the next start or stop joins them again.
bool StopEngine(EngineSession& e, uint32_t timeout_ms = kDefaultJoinTimeoutMs,
                const std::function<void()>& pump = {});
// The same without clearing EngineRunning: waits for an engine that is ending on its own.
bool JoinEngineThreads(EngineSession& e, uint32_t timeout_ms, const std::function<void()>& pump = {});
// True while any thread of the latest start has not been joined.
bool EngineThreadsAlive(const EngineSession& e);

// The thread bodies (run by StartEngine; tests may run single ones).
void RunCaptureThread(EngineSession& e);
void RunRenderThread(EngineSession& e);
void RunConvolutionThreadLow(EngineSession& e);
void RunConvolutionThreadHigh(EngineSession& e);
void RunInputFftThreadA(EngineSession& e);
void RunInputFftThreadB(EngineSession& e);
