#include "engine/engine_streams.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "engine/fft.h"
#include "engine/input_conversion.h"
#include "engine/test_tone.h"

namespace {

constexpr int kCaptureStream = 0;
constexpr int kRenderStream = 1;
constexpr int kWidestFrameWords = 16;
constexpr std::size_t kHandOverSlotWords = static_cast<std::size_t>(kWidestFrameWords) * kMaxBlockFrames;
constexpr uint32_t kJoinSliceMs = 10;
constexpr int kSpinsBeforeYield = 4096;

// The status texts of the set-up steps, by stream: what a step writes on success and the label that goes
// before the code's name on failure. Row r is drawn at y = 10 + 20 r.
struct StepTexts {
    const char* success;
    const char* label;
};
constexpr StepTexts kStepTexts[2][kStatusRows] = {
    {{"CoInitializeEx OK", "CoInitializeEx"},
     {"CoCreateInstance OK", "CoCreateInstance"},
     {"GetDefaultAudioEndpoint OK", "GetDefaultAudioEndpoint"},
     {"Activate OK", "Activate"},
     {"GetDevicePeriod OK, %d ms Period", "GetDevicePeriod"},
     {"Capturing IsFormatSupported OK", "Capturing"},
     {"Initialize OK, %d Duration", "Initialize"},
     {"CreateEvent OK", nullptr},
     {"SetEventHandle OK", "SetEventHandle"},
     {"GetBufferSize OK, %d Frames", "GetBufferSize"},
     {"GetService OK", "GetService"},
     {"Start OK", "Start"}},
    {{"CoInitializeEx OK", "CoInitializeEx"},
     {"CoCreateInstance OK", "CoCreateInstance"},
     {"GetDevice OK", "GetDevice"},
     {"Activate OK", "Activate"},
     {"GetDevicePeriod OK, %d ms Period", "GetDevicePeriod"},
     {"Rendering IsFormatSupported OK", "Rendering"},
     {"Initialize OK, %d Duration", "Initialize"},
     {"CreateEvent OK", nullptr},
     {"SetEventHandle OK", "SetEventHandle"},
     {"GetBufferSize OK, %d Frames", "GetBufferSize"},
     {"GetService OK", "GetService"},
     {"Start OK", "Start"}},
};
enum StepRow { kRowCom, kRowEnumerator, kRowDevice, kRowActivate, kRowPeriod, kRowFormat, kRowInitialize,
               kRowEvent, kRowEventHandle, kRowBufferSize, kRowService, kRowStart };

bool IsRunning(const EngineSession& e) { return e.Running->load(std::memory_order_seq_cst) != 0; }

PerformanceCounter& CounterOf(const EngineSession& e) { return e.Counter ? *e.Counter : CurrentPerformanceCounter(); }
uint32_t LowTicks(const EngineSession& e) { return static_cast<uint32_t>(CounterOf(e).Now()); }

// Sets every event a thread of the run may be waiting on, after EngineRunning has been cleared: each wait
// checks the flag when it returns, so the waiting threads leave at once instead of at their time-out.
void WakeAll(EngineSession& e) {
    for (auto& event : e.WorkerWakeEvents)
        if (event) event->Set();
    if (e.RenderReadyEvent) e.RenderReadyEvent->Set();
    if (e.CaptureReadyEvent) e.CaptureReadyEvent->Set();
    if (e.OutputBlockEvent) e.OutputBlockEvent->Set();
}

void EndEngine(EngineSession& e) {
    e.Running->store(0, std::memory_order_seq_cst);
    WakeAll(e);
}

// Publishes one status line when "WASAPI De-Bug Mode" is on: the step's success text, or its label and
// the code's name. `value` fills the success text's %d.
void ReportStep(EngineSession& e, int stream, int row, int32_t code, long long value = 0) {
    if (e.Settings.WasapiDebugMode != 1) return;
    const StepTexts& t = kStepTexts[stream][row];
    char text[256];
    if (HrSucceeded(code)) {
        if (row == kRowCom && code == HR_S_FALSE) std::snprintf(text, sizeof text, "CoInitializeEx S_FALSE");
        else std::snprintf(text, sizeof text, t.success, static_cast<int>(value));
    } else if (!t.label) {
        std::snprintf(text, sizeof text, "%s", HresultText(code).c_str());
    } else {
        std::snprintf(text, sizeof text, "%s %s", t.label, HresultText(code).c_str());
    }
    e.Status->StatusLines[stream][row].Write(text);
}

}  // namespace

// A device whose buffer does not hold exactly one block is refused at the buffer-size step: the render side
// would otherwise be asked to write past its grant, the capture side to read past its packet.
int32_t SetUpEngineStream(EngineSession& e, AudioStream& stream, int which, const std::wstring& id,
                          const StreamFormat& format) {
    const EngineStartSettings& s = e.Settings;
    int32_t hr = stream.InitializeCom();
    ReportStep(e, which, kRowCom, hr);
    if (HrFailed(hr)) return hr;
    hr = stream.CreateEnumerator();
    ReportStep(e, which, kRowEnumerator, hr);
    if (HrFailed(hr)) return hr;
    hr = stream.OpenDevice(id.c_str());
    ReportStep(e, which, kRowDevice, hr);
    if (HrFailed(hr)) return hr;
    hr = stream.Activate();
    ReportStep(e, which, kRowActivate, hr);
    if (HrFailed(hr)) return hr;
    int64_t minimum_period = 0;
    hr = stream.GetDevicePeriod(nullptr, &minimum_period);
    ReportStep(e, which, kRowPeriod, hr, minimum_period / 10000);
    if (HrFailed(hr)) return hr;
    hr = stream.IsFormatSupported(format);
    ReportStep(e, which, kRowFormat, hr);
    if (HrFailed(hr)) return hr;
    const int64_t duration = StreamDuration(s.SampleRate, s.BufferSizeIndex, minimum_period);
    hr = stream.Initialize(duration, format);
    ReportStep(e, which, kRowInitialize, hr, duration);
    if (HrFailed(hr)) return hr;
    hr = stream.CreatePeriodEvent();
    if (HrFailed(hr)) hr = HR_E_FAIL;
    ReportStep(e, which, kRowEvent, hr);
    if (HrFailed(hr)) return hr;
    hr = stream.SetEventHandle();
    ReportStep(e, which, kRowEventHandle, hr);
    if (HrFailed(hr)) return hr;
    uint32_t frames = 0;
    hr = stream.GetBufferSize(&frames);
    if (HrSucceeded(hr) && frames != static_cast<uint32_t>(s.BlockFrames())) hr = HR_AUDCLNT_E_BUFFER_SIZE_ERROR;
    ReportStep(e, which, kRowBufferSize, hr, frames);
    if (HrFailed(hr)) return hr;
    hr = stream.GetService();
    ReportStep(e, which, kRowService, hr);
    return hr;
}

int32_t StartEngineStream(EngineSession& e, AudioStream& stream, int which) {
    const int32_t hr = stream.Start();
    ReportStep(e, which, kRowStart, hr);
    return hr;
}

namespace {

// A wait that also ends when the engine has been stopped meanwhile.
bool WaitWhileRunning(EngineSession& e, AutoResetEvent& event) {
    return event.Wait(kEngineWaitMs) == WaitResult::Signalled && IsRunning(e);
}

}  // namespace

// When the engine is stopped during the spin it ends at once; the block's buffers may still be in a worker's
// hands then, so the caller must not touch them. A worker that does not finish within kWorkerSpinLimitMs
// has died or hangs.
HandOffResult HandOffToWorkers(EngineSession& e, const int* workers, int count) {
    for (int i = 0; i < count; ++i) e.WorkerBusyFlags[workers[i]].store(1, std::memory_order_seq_cst);
    for (int i = 0; i < count; ++i) e.WorkerWakeEvents[workers[i]]->Set();
    const auto start = std::chrono::steady_clock::now();
    for (long spins = 0;; ++spins) {
        bool busy = false;
        for (int i = 0; i < count; ++i) busy |= e.WorkerBusyFlags[workers[i]].load(std::memory_order_acquire) != 0;
        if (!busy) return HandOffResult::kDone;
        if (!IsRunning(e)) return HandOffResult::kStopped;
        if (spins >= kSpinsBeforeYield) {
            // Past the first few microseconds a worker is computing, not just waking: give the core away
            // while waiting, and give up when it does not come back at all.
            std::this_thread::yield();
            if ((spins & 255) == 0 &&
                std::chrono::steady_clock::now() - start > std::chrono::milliseconds(kWorkerSpinLimitMs))
                return HandOffResult::kStuck;
        }
    }
}

namespace {

// The worker hand-off of one block by output mode: input FFT A (and B unless "8 Outputs"), then
// convolution low (and high in "16 Outputs").
HandOffResult RunBlockWorkers(EngineSession& e) {
    const uint32_t mode = e.Settings.OutputMode;
    const int fft_both[2] = {kInputFftA, kInputFftB};
    const int conv_both[2] = {kConvolutionLow, kConvolutionHigh};
    const HandOffResult first = HandOffToWorkers(e, fft_both, mode == 0 ? 1 : 2);
    if (first != HandOffResult::kDone) return first;
    return HandOffToWorkers(e, conv_both, mode == 1 ? 2 : 1);
}

int FrameWordsOf(uint32_t output_mode) { return OutputFrameWords(output_mode); }

int32_t* HandOverSlot(EngineSession& e, int32_t index) {
    return e.HandOverStorage.data() + static_cast<std::size_t>(index) * kHandOverSlotWords;
}

enum class AppendResult { kAppended, kFull };

// The producer's side: the block's words into the next free slot, then the count (release), so the
// consumer sees the words before it sees the slot counted.
AppendResult AppendOutputBlock(EngineSession& e) {
    if (e.HandOverCount.load(std::memory_order_acquire) >= kHandOverSlots) return AppendResult::kFull;
    const std::size_t words = static_cast<std::size_t>(FrameWordsOf(e.Settings.OutputMode)) * e.Context->N;
    std::memcpy(HandOverSlot(e, e.HandOverWrite), e.Context->OutputBlock, words * sizeof(int32_t));
    e.HandOverWrite = (e.HandOverWrite + 1) % kHandOverSlots;
    e.HandOverCount.fetch_add(1, std::memory_order_acq_rel);
    return AppendResult::kAppended;
}

void PublishBlockTimes(EngineSession& e, uint32_t block_start, uint32_t block_counter) {
    const uint32_t block_end = LowTicks(e);
    BlockTimeTexts texts;
    FormatBlockTimes(block_start, block_end, &e.PrevBlockStartTicks, e.Settings.TicksToMs,
                     static_cast<int32_t>(block_counter), &texts);
    e.BlockEndTicks.store(block_end, std::memory_order_relaxed);
    e.Status->Text(PanelText::ProcessingTime).Write(texts.ProcessingTime);
    e.Status->Text(PanelText::Period).Write(texts.Period);
    e.Status->Text(PanelText::BlockNumber).Write(texts.BlockNumber);
}

// One leaving of the capture thread, in the order of its steps.
void LeaveCapture(EngineSession& e, std::unique_ptr<CaptureStream>& stream, int32_t hr) {
    EndEngine(e);
    if (stream) stream->Close();
    stream.reset();
    e.CaptureResult.store(hr);
    if (HrFailed(hr)) e.Status->PublishErrorTitle(kCaptureErrorTitle);
    e.CaptureExitCode.store(kCaptureExitCode);
}

// Runs the streaming loop of the capture thread; returns the result that decides the error title.
int32_t StreamCaptureBlocks(EngineSession& e, CaptureStream& stream, const StreamFormat& format) {
    const EngineStartSettings& s = e.Settings;
    EngineBlockContext& ctx = *e.Context;
    const int N = ctx.N;
    const uint32_t frame_bytes = format.BlockAlign();
    CaptureConversionSettings conversion;
    conversion.InputMode = s.InputMode;
    conversion.Capture24Bit = s.Capture24Bit;
    conversion.CenterToLr = s.CenterToLr;
    conversion.BassMode = s.BassMode;
    conversion.SystemConfiguration = s.SystemConfiguration;
    TestToneSettings tone;
    tone.Channel = s.TestToneChannel;
    tone.SampleRate = s.SampleRate;
    tone.OutputMode = s.OutputMode;
    RecordingPool* pool = e.Recording ? e.Recording : &e.NoRecording;
    float input_peaks[kInputPeakCount];
    float output_peaks[kOutputPeakCount];
    char title[64];

    uint32_t block = 0;
    for (uint32_t loops = 0;;) {
        if (!IsRunning(e)) return stream.Stop();
        if (stream.WaitForPeriod(kEngineWaitMs) != WaitResult::Signalled) {
            stream.Stop();
            return kCaptureTimeoutResult;
        }
        if (!IsRunning(e)) continue;  // stopped while waiting: leave through the top of the loop
        const uint32_t block_start = LowTicks(e);

        // The packet: what it holds, silence where it holds nothing (a silent packet, a short packet, no
        // packet at all), never more than one block.
        const uint8_t* data = nullptr;
        uint32_t frames = 0, flags = 0;
        int32_t hr = stream.GetBuffer(&data, &frames, &flags);
        if (HrFailed(hr)) return hr;
        const uint32_t take = std::min<uint32_t>(frames, static_cast<uint32_t>(N));
        uint8_t* device = e.DeviceCaptureBlock.data();
        const std::size_t taken_bytes = (data && !(flags & kBufferFlagSilent)) ? std::size_t{take} * frame_bytes : 0;
        if (taken_bytes) std::memcpy(device, data, taken_bytes);
        std::memset(device + taken_bytes, 0, std::size_t{static_cast<uint32_t>(N)} * frame_bytes - taken_bytes);
        if (frames > 0) {
            hr = stream.ReleaseBuffer(frames);
            if (HrFailed(hr)) return hr;
        }

        e.BlockLive = e.Live->Snapshot();
        // Only the ports the transforms read are filled; the peaks cover all.
        ConvertCaptureBlock(device, N, conversion, e.BlockLive.BbmGain, ctx.InputBlock, input_peaks, PortsInUse(ctx));
        e.Status->RaiseInputPeaks(input_peaks);

        switch (RunBlockWorkers(e)) {
            case HandOffResult::kDone: break;
            case HandOffResult::kStopped: return stream.Stop();  // the block is unfinished: hand nothing over
            case HandOffResult::kStuck: stream.Stop(); return HR_E_FAIL;  // a worker has gone: end with the title
        }
        if (s.TestToneChannel > 0 && s.TestToneChannel < 18) {
            // The tone follows the volume keys from the next block on, as the music does.
            tone.VolumePosition = e.Live->VolumePosition.load(std::memory_order_relaxed);
            GenerateTestTone(s.TestToneFrequency, N, tone, &e.TestTonePhase, ctx.OutputBlock);
        }

        // The hand-over. A full ring means the render side has stopped taking: end as on an under-run.
        if (AppendOutputBlock(e) == AppendResult::kFull) {
            EndEngine(e);
            stream.Stop();
            return HR_S_OK;
        }
        const uint32_t signal_at = s.OutputQueue == 0 ? 0 : s.OutputQueue + 1;
        if (block == signal_at) {
            e.OutputBlockSignalBlock.store(static_cast<int32_t>(block));
            e.OutputBlockSignals.fetch_add(1);
            e.OutputBlockEvent->Set();
        }

        const RecordingTitle recording = MeterAndRecordOutputBlock(
            ctx.OutputBlock, N, s.OutputMode, e.Live->RecordOutput.load(std::memory_order_relaxed), pool, output_peaks);
        e.Status->RaiseOutputPeaks(output_peaks);
        e.Status->CountMeterBlock();
        if (recording != RecordingTitle::kNone) {
            FormatRecordingTitle(recording, pool->Count, title, sizeof title);
            e.Status->DesignPanelTitle.Write(title);
        }
        PublishBlockTimes(e, block_start, block);
        e.BlocksDone.fetch_add(1, std::memory_order_release);

        ++block;
        if (++loops >= kEngineLoopLimit) return stream.Stop();
    }
}

// The render thread's take of one period into `dest` (F frames of C words). Returns false on an
// under-run. *depth is the queue depth before the take (0 in direct mode).
bool TakeOutputBlock(EngineSession& e, uint8_t* dest, uint32_t frames, int32_t* depth) {
    const int words = FrameWordsOf(e.Settings.OutputMode);
    const int N = e.Context->N;
    const std::size_t block_bytes = static_cast<std::size_t>(words) * N * sizeof(int32_t);
    const std::size_t grant_bytes = static_cast<std::size_t>(words) * frames * sizeof(int32_t);
    const std::size_t copy = std::min(block_bytes, grant_bytes);
    int32_t count = e.HandOverCount.load(std::memory_order_acquire);
    if (e.Settings.OutputQueue == 0) {
        *depth = 0;
        // Play the newest finished block; older ones are dropped, the newest stays counted so the capture
        // thread does not write it while it may still be played again.
        if (count > 1) {
            e.HandOverRead = (e.HandOverRead + count - 1) % kHandOverSlots;
            e.HandOverCount.fetch_sub(count - 1, std::memory_order_acq_rel);
            count = 1;
        }
        if (count == 1) std::memcpy(dest, HandOverSlot(e, e.HandOverRead), copy);
        else std::memset(dest, 0, copy);
    } else {
        *depth = count;
        if (count <= 0) return false;
        std::memcpy(dest, HandOverSlot(e, e.HandOverRead), copy);
        e.HandOverRead = (e.HandOverRead + 1) % kHandOverSlots;
        e.HandOverCount.fetch_sub(1, std::memory_order_acq_rel);
    }
    if (grant_bytes > copy) std::memset(dest + copy, 0, grant_bytes - copy);
    return true;
}

void LeaveRender(EngineSession& e, std::unique_ptr<RenderStream>& stream, int32_t hr) {
    if (stream) stream->Close();
    stream.reset();
    e.RenderResult.store(hr);
    if (HrFailed(hr)) {
        // The capture side would only notice at its next hand-over: stop the engine now.
        EndEngine(e);
        e.Status->PublishErrorTitle(kRenderErrorTitle);
    }
    e.RenderExitCode.store(kRenderExitCode);
}

int32_t StreamRenderPeriods(EngineSession& e, RenderStream& stream) {
    const EngineStartSettings& s = e.Settings;
    const uint32_t frames = static_cast<uint32_t>(e.Context->N);
    bool second_control = false;
    char text[64];
    for (uint32_t period = 0;;) {
        const int32_t since_block = static_cast<int32_t>(LowTicks(e) - e.BlockEndTicks.load(std::memory_order_relaxed));
        FormatMilliseconds("D1=", since_block, s.TicksToMs, "  ", text, sizeof text);
        e.Status->Text(second_control ? PanelText::RenderTime2 : PanelText::RenderTime1).Write(text);
        second_control = !second_control;

        uint8_t* data = nullptr;
        int32_t hr = stream.GetBuffer(frames, &data);
        if (HrFailed(hr)) return hr;
        int32_t depth = 0;
        if (!TakeOutputBlock(e, data, frames, &depth)) {
            // Under-run: hand the grant back as silence, then stop the engine without a title.
            stream.ReleaseBuffer(frames, kBufferFlagSilent);
            EndEngine(e);
            stream.Stop();
            return HR_S_OK;
        }
        hr = stream.ReleaseBuffer(frames, 0);
        if (HrFailed(hr)) return hr;
        // The period's texts are published before the count, so whoever sees the count sees its texts.
        std::snprintf(text, sizeof text, "Buffers=%d ", depth);
        e.Status->Text(PanelText::Queue).Write(text);
        e.PeriodsDone.fetch_add(1, std::memory_order_release);

        if (!IsRunning(e)) return stream.Stop();
        if (stream.WaitForPeriod(kEngineWaitMs) != WaitResult::Signalled) return stream.Stop();
        if (++period >= kEngineLoopLimit) return stream.Stop();
    }
}

void RunWorkerLoop(EngineSession& e, EngineWorker worker) {
    AutoResetEvent& wake = *e.WorkerWakeEvents[worker];
    EngineBlockContext& ctx = *e.Context;
    const uint32_t mode = e.Settings.OutputMode;
    for (uint32_t blocks = 0; blocks < kEngineLoopLimit;) {
        const WaitResult woken = wake.Wait(kEngineWaitMs);
        if (woken == WaitResult::Failed || !IsRunning(e) || e.ProducerEnded.load(std::memory_order_acquire)) return;
        if (woken == WaitResult::TimedOut) continue;  // not needed this second; keep waiting while running
        switch (worker) {
            case kInputFftA: RunInputFftStage(ctx, kInputFftPortsA, 5); break;
            case kInputFftB: RunInputFftStage(ctx, kInputFftPortsB, 4); break;
            case kConvolutionLow: RunConvolutionStage(ctx, ConvolutionRange(mode, ConvolutionWorker::kLow), e.BlockLive); break;
            case kConvolutionHigh: RunConvolutionStage(ctx, ConvolutionRange(mode, ConvolutionWorker::kHigh), e.BlockLive); break;
            default: return;
        }
        e.WorkerBusyFlags[worker].store(0, std::memory_order_release);
        ++blocks;
    }
}

bool SettingsFitSession(const EngineSession& e, const EngineStartSettings& s) {
    if (!e.Streams || !e.Context || !e.Status || !e.Live || !e.Running) return false;
    if (e.DeviceCaptureBlock.size() < kDeviceCaptureBlockBytes) return false;
    if (e.HandOverStorage.size() < kHandOverSlots * kHandOverSlotWords) return false;
    if (s.BufferSizeIndex > 3 || s.OutputMode > 2 || s.InputMode > 3 || s.OutputQueue > kMaxOutputQueue) return false;
    if (s.SampleRate != 44100 && s.SampleRate != 48000 && s.SampleRate != 96000) return false;
    if (e.Context->N != s.BlockFrames() || !e.Context->OutputBlock) return false;
    // 16-bit capture converts two channels a frame; a wider stream would be read as garbage.
    if (s.Capture24Bit == 0 && s.InputMode != 0) return false;
    for (int o = 0; o < kEngineOutputs; ++o)
        if (!e.Context->OutputDelayRing[o] || !e.Context->OutputAccumulator[o] || !e.Context->OverlapTail[o]) return false;
    for (int r = 0; r < kEngineInputPorts; ++r)
        if (!e.Context->InputBlock[r]) return false;
    return true;
}

}  // namespace

EngineLiveControls::EngineLiveControls() {
    for (auto& trim : ChannelTrims) trim.store(1.0f);
}

LiveBlockValues EngineLiveControls::Snapshot() const {
    LiveBlockValues v;
    v.MasterGain = MasterGain.load(std::memory_order_relaxed);
    for (int o = 0; o < kEngineOutputs; ++o) v.ChannelTrims[o] = ChannelTrims[o].load(std::memory_order_relaxed);
    v.BbmGain = BbmGain.load(std::memory_order_relaxed);
    v.PhaseMode = PhaseMode.load(std::memory_order_relaxed);
    return v;
}

StreamFormat CaptureStreamFormat(uint32_t input_mode, uint32_t capture_24bit, uint32_t rate) {
    static constexpr uint16_t kChannels[4] = {2, 12, 8, 12};
    static constexpr uint32_t kMasks[4] = {0x3, 0xFFFFFFFFu, 0x63F, 0xFFFFFFFFu};
    const uint32_t mode = input_mode < 4 ? input_mode : 0;
    StreamFormat f;
    f.channels = kChannels[mode];
    f.samples_per_second = rate;
    f.bits_per_sample = capture_24bit ? 32 : 16;
    f.valid_bits_per_sample = capture_24bit ? 24 : 16;
    f.channel_mask = capture_24bit ? kMasks[mode] : 0x3;
    return f;
}

StreamFormat RenderStreamFormat(uint32_t output_mode, uint32_t rate) {
    StreamFormat f;
    f.channels = static_cast<uint16_t>(OutputFrameWords(output_mode));
    f.samples_per_second = rate;
    f.bits_per_sample = 32;
    f.valid_bits_per_sample = 24;
    f.channel_mask = output_mode == 1 ? 0xFFFF : output_mode == 2 ? 0xFFFFFFFFu : 0x63F;
    return f;
}

int64_t StreamDuration(uint32_t rate, uint32_t buffer_size_index, int64_t device_minimum_period) {
    if (buffer_size_index > 3) return device_minimum_period;
    if (rate == 96000 ? buffer_size_index == 0 : buffer_size_index == 3) return device_minimum_period;
    return FramesToDuration(512u << buffer_size_index, rate);
}

int AllocateEngineSessionBuffers(EngineSession& e) {
    try {
        e.DeviceCaptureBlock.assign(kDeviceCaptureBlockBytes, 0);
        e.HandOverStorage.assign(kHandOverSlots * kHandOverSlotWords, 0);
        e.DelayRingStorage.assign(static_cast<std::size_t>(kEngineOutputs) * kDelayRingWords, 0);
    } catch (const std::bad_alloc&) {
        return 1;
    }
    return 0;
}

void UseSessionDelayRings(EngineSession& e) {
    if (!e.Context || e.DelayRingStorage.empty()) return;
    for (int o = 0; o < kEngineOutputs; ++o)
        if (!e.Context->OutputDelayRing[o])
            e.Context->OutputDelayRing[o] = e.DelayRingStorage.data() + static_cast<std::size_t>(o) * kDelayRingWords;
}

bool EngineThreadsAlive(const EngineSession& e) {
    for (const auto& t : e.Threads)
        if (t) return true;
    return false;
}

bool JoinEngineThreads(EngineSession& e, uint32_t timeout_ms, const std::function<void()>& pump) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool all = true;
    for (auto& t : e.Threads) {
        if (!t) continue;
        for (;;) {
            if (t->Join(pump ? kJoinSliceMs : 0)) {
                t.reset();
                break;
            }
            if (pump) pump();
            if (!t) break;  // a message handled meanwhile joined it (a Play or a close waits for the same run)
            if (std::chrono::steady_clock::now() >= deadline) break;
            if (!pump) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (t) all = false;
    }
    if (!all) return false;
    for (auto& event : e.WorkerWakeEvents) event.reset();
    e.RenderReadyEvent.reset();
    e.CaptureReadyEvent.reset();
    e.OutputBlockEvent.reset();
    return true;
}

bool StopEngine(EngineSession& e, uint32_t timeout_ms, const std::function<void()>& pump) {
    if (e.Running) e.Running->store(0, std::memory_order_seq_cst);
    WakeAll(e);
    return JoinEngineThreads(e, timeout_ms, pump);
}

namespace {

// What every start resets before its threads exist: the run's settings, the block path's state and buffers,
// the hand-over, the counters and what the board shows of the last run.
void BeginEngineRun(EngineSession& e, const EngineStartSettings& settings) {
    e.Settings = settings;
    if (e.Settings.TicksToMs <= 0.0f) e.Settings.TicksToMs = MillisecondsPerTick(CounterOf(e));
    EngineBlockContext& ctx = *e.Context;
    ctx.OutputMode = settings.OutputMode;
    ctx.BassMode = settings.BassMode;
    // The transforms of the run must never regrow the shared tables while two workers use them.
    PrepareFftTables(16 * ctx.N, ctx.fft.bit_reverse, ctx.fft.twiddle);
    ResetBlockPath(ctx);
    std::memset(ctx.OutputBlock, 0, static_cast<std::size_t>(kWidestFrameWords) * ctx.N * sizeof(int32_t));
    std::fill(e.DeviceCaptureBlock.begin(), e.DeviceCaptureBlock.end(), 0);
    e.HandOverCount.store(0);
    e.HandOverWrite = e.HandOverRead = 0;
    e.BlockLive = e.Live->Snapshot();
    e.TestTonePhase = 0.0;
    e.CaptureResult.store(0);
    e.RenderResult.store(0);
    e.CaptureExitCode.store(0);
    e.RenderExitCode.store(0);
    e.BlocksDone.store(0);
    e.PeriodsDone.store(0);
    e.OutputBlockSignalBlock.store(-1);
    e.OutputBlockSignals.store(0);
    e.ProducerEnded.store(0);
    e.Status->ClearStatusLines();
    e.Status->ClearPeaks();
}

// The four workers, each after its wake event, in the order convolution low, high, input FFT A, B. On a
// failure what was started is stopped and joined again.
EngineStartResult StartEngineWorkers(EngineSession& e) {
    for (auto& flag : e.WorkerBusyFlags) flag.store(1);
    RaiseProcessPriority();
    using Body = void (*)(EngineSession&);
    static constexpr Body kWorkerBodies[kEngineWorkerCount] = {RunConvolutionThreadLow, RunConvolutionThreadHigh,
                                                               RunInputFftThreadA, RunInputFftThreadB};
    for (int w = 0; w < kEngineWorkerCount; ++w) {
        e.WorkerWakeEvents[w] = MakeAutoResetEvent();
        if (!e.WorkerWakeEvents[w]) return EngineStartResult::kNoEvent;
        const Body body = kWorkerBodies[w];
        e.Threads[w] = StartThread([&e, body] { body(e); }, ThreadPriority::Normal);
        if (!e.Threads[w]) return EngineStartResult::kNoThread;
    }
    return EngineStartResult::kStarted;
}

EngineStartResult FailStart(EngineSession& e, EngineStartResult result) {
    StopEngine(e, kDefaultJoinTimeoutMs);
    return result;
}

}  // namespace

EngineStartResult StartEngine(EngineSession& e, const EngineStartSettings& settings) {
    if (!e.Running || e.Running->load() != 0) return EngineStartResult::kAlreadyRunning;
    if (EngineThreadsAlive(e) && !JoinEngineThreads(e, 0)) return EngineStartResult::kStillStopping;
    if (!SettingsFitSession(e, settings)) return EngineStartResult::kBadSettings;

    BeginEngineRun(e, settings);
    e.Status->Text(PanelText::Queue).Write("Del=0");
    e.Running->store(1);

    e.RenderReadyEvent = MakeAutoResetEvent();
    e.CaptureReadyEvent = MakeAutoResetEvent();
    e.OutputBlockEvent = MakeAutoResetEvent();
    if (!e.RenderReadyEvent || !e.CaptureReadyEvent || !e.OutputBlockEvent) return FailStart(e, EngineStartResult::kNoEvent);
    const EngineStartResult workers = StartEngineWorkers(e);
    if (workers != EngineStartResult::kStarted) return FailStart(e, workers);
    e.Threads[kEngineWorkerCount] = StartThread([&e] { RunCaptureThread(e); }, ThreadPriority::TimeCritical);
    if (!e.Threads[kEngineWorkerCount]) return FailStart(e, EngineStartResult::kNoThread);
    e.Threads[kEngineWorkerCount + 1] = StartThread([&e] { RunRenderThread(e); }, ThreadPriority::Normal);
    if (!e.Threads[kEngineWorkerCount + 1]) return FailStart(e, EngineStartResult::kNoThread);
    return EngineStartResult::kStarted;
}

EngineStartResult StartEngineWithProducer(EngineSession& e, const EngineStartSettings& settings,
                                          std::function<void(EngineSession&)> producer) {
    if (!e.Running || e.Running->load() == 0) return EngineStartResult::kNotRunning;
    if (EngineThreadsAlive(e) && !JoinEngineThreads(e, 0)) return EngineStartResult::kStillStopping;
    if (!SettingsFitSession(e, settings) || !producer) return EngineStartResult::kBadSettings;

    BeginEngineRun(e, settings);
    const EngineStartResult workers = StartEngineWorkers(e);
    if (workers != EngineStartResult::kStarted) return FailStart(e, workers);
    e.Threads[kEngineWorkerCount] =
        StartThread([&e, body = std::move(producer)] { body(e); }, ThreadPriority::TimeCritical);
    if (!e.Threads[kEngineWorkerCount]) return FailStart(e, EngineStartResult::kNoThread);
    return EngineStartResult::kStarted;
}

void ClearEngineRunState(EngineSession& e) {
    if (e.Context) {
        EngineBlockContext& ctx = *e.Context;
        ResetBlockPath(ctx);
        if (ctx.OutputBlock)
            std::memset(ctx.OutputBlock, 0, static_cast<std::size_t>(kWidestFrameWords) * ctx.N * sizeof(int32_t));
    }
    std::fill(e.HandOverStorage.begin(), e.HandOverStorage.end(), 0);
    std::fill(e.DeviceCaptureBlock.begin(), e.DeviceCaptureBlock.end(), 0);
}

void EndProducerRun(EngineSession& e) {
    e.ProducerEnded.store(1, std::memory_order_release);
    for (auto& event : e.WorkerWakeEvents)
        if (event) event->Set();
}

void RunCaptureThread(EngineSession& e) {
    const EngineStartSettings& s = e.Settings;
    std::unique_ptr<CaptureStream> stream = e.Streams->NewCaptureStream();
    if (!stream) return LeaveCapture(e, stream, HR_E_OUTOFMEMORY);
    const StreamFormat format = CaptureStreamFormat(s.InputMode, s.Capture24Bit, s.SampleRate);
    int32_t hr = SetUpEngineStream(e, *stream, kCaptureStream, s.CaptureEndpointId, format);
    if (HrFailed(hr)) return LeaveCapture(e, stream, hr);

    // The hand-shake: the render side opens its stream once this one is set up.
    e.CaptureReadyEvent->Set();
    if (s.CaptureTiming == 1) {
        if (!WaitWhileRunning(e, *e.RenderReadyEvent)) return LeaveCapture(e, stream, HR_S_OK);
        hr = StartEngineStream(e, *stream, kCaptureStream);
        if (HrFailed(hr)) return LeaveCapture(e, stream, hr);
    } else {
        hr = StartEngineStream(e, *stream, kCaptureStream);
        if (HrFailed(hr)) return LeaveCapture(e, stream, hr);
        if (!WaitWhileRunning(e, *e.RenderReadyEvent)) {
            // Only the capture client knows it was started; release it without the error title.
            stream->Stop();
            return LeaveCapture(e, stream, HR_S_OK);
        }
    }
    hr = StreamCaptureBlocks(e, *stream, format);
    LeaveCapture(e, stream, hr);
}

void RunRenderThread(EngineSession& e) {
    const EngineStartSettings& s = e.Settings;
    if (!WaitWhileRunning(e, *e.CaptureReadyEvent)) {
        e.RenderExitCode.store(kRenderNoCaptureExitCode);
        return;
    }
    std::unique_ptr<RenderStream> stream = e.Streams->NewRenderStream();
    if (!stream) return LeaveRender(e, stream, HR_E_OUTOFMEMORY);
    int32_t hr = SetUpEngineStream(e, *stream, kRenderStream, s.RenderEndpointId, RenderStreamFormat(s.OutputMode, s.SampleRate));
    if (HrFailed(hr)) return LeaveRender(e, stream, hr);
    e.RenderReadyEvent->Set();
    if (s.RenderTiming == 1) {
        if (!WaitWhileRunning(e, *e.OutputBlockEvent)) return LeaveRender(e, stream, HR_S_OK);
        hr = StartEngineStream(e, *stream, kRenderStream);
        if (HrFailed(hr)) return LeaveRender(e, stream, hr);
    } else {
        hr = StartEngineStream(e, *stream, kRenderStream);
        if (HrFailed(hr)) return LeaveRender(e, stream, hr);
        if (!WaitWhileRunning(e, *e.OutputBlockEvent)) {
            stream->Stop();
            return LeaveRender(e, stream, HR_S_OK);
        }
    }
    hr = StreamRenderPeriods(e, *stream);
    LeaveRender(e, stream, hr);
}

void RunConvolutionThreadLow(EngineSession& e) { RunWorkerLoop(e, kConvolutionLow); }
void RunConvolutionThreadHigh(EngineSession& e) { RunWorkerLoop(e, kConvolutionHigh); }
void RunInputFftThreadA(EngineSession& e) { RunWorkerLoop(e, kInputFftA); }
void RunInputFftThreadB(EngineSession& e) { RunWorkerLoop(e, kInputFftB); }
