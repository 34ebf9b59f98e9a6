#include "panels/wav_render.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/recording.h"
#include "panels/wav_player.h"

namespace {

constexpr int kRenderColumn = 1;  // the render column of the status lines

bool IsRunning(const EngineSession& e) { return e.Running->load(std::memory_order_seq_cst) != 0; }
PerformanceCounter& CounterOf(const EngineSession& e) { return e.Counter ? *e.Counter : CurrentPerformanceCounter(); }
uint32_t LowTicks(const EngineSession& e) { return static_cast<uint32_t>(CounterOf(e).Now()); }

// The input FFTs a song needs: A for two channels (ports 1, 3, 5, 9), A and B for six.
HandOffResult HandOffInputFfts(EngineSession& e) {
    static constexpr int kBoth[2] = {kInputFftA, kInputFftB};
    return HandOffToWorkers(e, kBoth, e.Settings.InputMode == 3 ? 2 : 1);
}

// The convolutions of the output mode: low, and high as well with sixteen outputs.
HandOffResult HandOffConvolutions(EngineSession& e) {
    static constexpr int kBoth[2] = {kConvolutionLow, kConvolutionHigh};
    return HandOffToWorkers(e, kBoth, e.Settings.OutputMode == 1 ? 2 : 1);
}

// The set-up up to the started stream: the engine's stream steps, one period of silence, the scheduler.
int32_t OpenWavStream(EngineSession& e, RenderStream& stream, void** mmcss) {
    const EngineStartSettings& s = e.Settings;
    int32_t hr = SetUpEngineStream(e, stream, kRenderColumn, s.RenderEndpointId, RenderStreamFormat(s.OutputMode, s.SampleRate));
    if (HrFailed(hr)) return hr;
    const uint32_t frames = static_cast<uint32_t>(e.Context->N);
    uint8_t* grant = nullptr;
    hr = stream.GetBuffer(frames, &grant);
    if (HrFailed(hr)) return hr;
    std::memset(grant, 0, static_cast<std::size_t>(frames) * OutputFrameWords(s.OutputMode) * sizeof(int32_t));
    hr = stream.ReleaseBuffer(frames, 0);
    if (HrFailed(hr)) return hr;
    *mmcss = CurrentThreadPlatform().JoinMultimediaClass(kProAudioTask);
    if (!*mmcss) return HR_E_FAIL;
    return StartEngineStream(e, stream, kRenderColumn);
}

// The blocks of the song until its end, a jump, a stop, a time-out or a failure; returns the last result.
int32_t StreamSong(EngineSession& e, WavRun& run, RenderStream& stream) {
    const EngineStartSettings& s = e.Settings;
    EngineBlockContext& ctx = *e.Context;
    const int N = ctx.N;
    const int words = OutputFrameWords(s.OutputMode);
    const WavSong& song = *run.Song;
    const uint32_t frame_bytes = run.Format.FrameBytes();
    uint8_t staging[kWavStagingBytes];
    float input_peaks[kInputPeakCount];
    float output_peaks[kOutputPeakCount];
    char text[64];
    uint64_t position = 0;
    int32_t shown_block = 0;
    bool second_period_text = false;

    for (uint32_t blocks = 0; blocks < kEngineLoopLimit; ++blocks) {
        if (!IsRunning(e)) return stream.Stop();
        const int32_t jump = run.SongJumpRequest ? run.SongJumpRequest->load() : 0;
        const uint64_t left = song.Size > position ? song.Size - position : 0;
        if (left == 0 || jump == 1) {
            const int32_t hr = stream.Stop();
            std::snprintf(text, sizeof text, "New Song %d, Bytes_Left %lld  ", jump, static_cast<long long>(left));
            e.Status->SongEndLine.Write(text);
            return hr;
        }
        const uint8_t* bytes = TakeWavBlock(song, &position, N, frame_bytes, staging);
        FormatPlayedShare(position, song.Size, text, sizeof text);
        e.Status->Text(PanelText::RenderTime1).Write(text);

        e.BlockLive = e.Live->Snapshot();
        ConvertWavBlock(bytes, N, run.Format, e.BlockLive.BbmGain, ctx.InputBlock, input_peaks);
        e.Status->RaiseInputPeaks(input_peaks);
        HandOffResult handed = HandOffInputFfts(e);
        if (handed == HandOffResult::kDone) handed = HandOffConvolutions(e);
        if (handed == HandOffResult::kStopped) return stream.Stop();
        if (handed == HandOffResult::kStuck) {
            stream.Stop();
            return HR_E_FAIL;
        }
        MeterAndRecordOutputBlock(ctx.OutputBlock, N, s.OutputMode, 0, nullptr, output_peaks);
        e.Status->RaiseOutputPeaks(output_peaks);
        e.Status->CountMeterBlock();
        std::snprintf(text, sizeof text, "Fr=%d", shown_block++);
        e.Status->Text(PanelText::BlockNumber).Write(text);
        FormatMilliseconds("Pt=", static_cast<int32_t>(LowTicks(e) - run.DeliveryStart), s.TicksToMs, "  ", text, sizeof text);
        e.Status->Text(PanelText::ProcessingTime).Write(text);

        // The block was computed ahead; it goes out as soon as the device asks for the next period.
        if (stream.WaitForPeriod(kEngineWaitMs) != WaitResult::Signalled) {
            stream.Stop();
            return kCaptureTimeoutResult;  // positive: no error title, and the next song follows
        }
        run.DeliveryStart = LowTicks(e);
        uint8_t* grant = nullptr;
        int32_t hr = stream.GetBuffer(static_cast<uint32_t>(N), &grant);
        if (HrFailed(hr)) return hr;
        CopyBlockToGrant(grant, static_cast<uint32_t>(N), ctx.OutputBlock, N, words);
        hr = stream.ReleaseBuffer(static_cast<uint32_t>(N), 0);
        if (HrFailed(hr)) return hr;
        run.BlocksDelivered.fetch_add(1, std::memory_order_release);
        FormatMilliseconds("Lt=", static_cast<int32_t>(run.DeliveryStart - run.PreviousDeliveryStart), s.TicksToMs, "",
                           text, sizeof text);
        e.Status->Text(second_period_text ? PanelText::Queue : PanelText::Period).Write(text);
        second_period_text = !second_period_text;
        run.PreviousDeliveryStart = run.DeliveryStart;
    }
    return stream.Stop();
}

}  // namespace

WavBlockFormat WavBlockFormatOf(const WavSong& song, uint32_t bass_mode, uint32_t system_configuration) {
    WavBlockFormat f;
    f.Channels = song.Channels == 6 ? 6 : 2;
    f.Is24Bit = song.BitsPerSample == 24 ? 1 : 0;
    f.BassMode = bass_mode;
    f.SystemConfiguration = system_configuration;
    return f;
}

EngineStartResult StartWavSong(EngineSession& e, const EngineStartSettings& settings, WavRun* run) {
    if (!run || !run->Song || run->Song->Empty()) return EngineStartResult::kBadSettings;
    run->BlocksDelivered.store(0);
    return StartEngineWithProducer(e, settings, [run](EngineSession& session) { RunWavRenderThread(session, *run); });
}

void RunWavRenderThread(EngineSession& e, WavRun& run) {
    std::unique_ptr<RenderStream> stream = e.Streams->NewRenderStream();
    void* mmcss = nullptr;
    int32_t hr = HR_E_OUTOFMEMORY;
    if (stream) {
        hr = OpenWavStream(e, *stream, &mmcss);
        if (HrSucceeded(hr)) hr = StreamSong(e, run, *stream);
    }
    // The exit sequence: the song, the scheduler, the stream; then the title or the next song.
    run.Song->Release();
    CurrentThreadPlatform().LeaveMultimediaClass(mmcss);
    if (stream) stream->Close();
    stream.reset();
    run.Result.store(hr);
    e.RenderResult.store(hr);
    if (HrFailed(hr)) e.Status->PublishErrorTitle(kRenderErrorTitle);
    if (IsRunning(e)) run.NextSongRequests.fetch_add(1, std::memory_order_release);
    e.RenderExitCode.store(kRenderExitCode);
    run.RunsEnded.fetch_add(1, std::memory_order_release);
    EndProducerRun(e);
}

void CopyBlockToGrant(uint8_t* grant, uint32_t grant_frames, const int32_t* block, int frames, int words) {
    const std::size_t frame_bytes = static_cast<std::size_t>(words) * sizeof(int32_t);
    const uint32_t copied = grant_frames < static_cast<uint32_t>(frames) ? grant_frames : static_cast<uint32_t>(frames);
    std::memcpy(grant, block, copied * frame_bytes);
    std::memset(grant + copied * frame_bytes, 0, (grant_frames - copied) * frame_bytes);
}
