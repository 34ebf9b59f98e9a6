#include "panels/win32/engine_control.h"

#include <string>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences_controls.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "engine/engine_globals.h"
#include "engine/play_checks.h"
#include "engine/recording_file.h"
#include "engine/win32/program_engine.h"
#include "panels/live_keys.h"
#include "panels/panel_dialogs.h"

std::atomic<int32_t> RecordOutputChoice{0};

namespace {

// ---- The program's engine ---------------------------------------------------------------------------------

void PublishLive() {
    EngineLiveControls& live = ProgramEngineLive();
    live.MasterGain.store(LiveShared.MasterGain.load());
    for (int o = 0; o < kTrimCount; ++o) live.ChannelTrims[o].store(LiveShared.ChannelTrims[o].load());
    if (pr_file) {
        live.BbmGain.store(pr_file->tail.BbmGain);
        live.PhaseMode.store(pr_file->tail.PhaseMode);
    }
    live.RecordOutput.store(RecordOutputChoice.load());
}

bool Prepare(int32_t record_output, MessageList* out) {
    // Wired again each time: the block size may have changed since the last Play.
    if (SetUpProgramEngine(FrameWindow) != 0) return false;
    PlayRuleInputs in;
    in.SystemConfiguration = pr_file->tail.SystemConfiguration;
    in.InputMode = InputMode;
    in.BassMode = BassMode;
    in.SampleRate = static_cast<uint32_t>(SampleRateOf(pr_file->tail.HV_Sampling));
    in.BufferSizeIndex = HV_Buffer_Size;
    in.Capture24Bit = Capture24Bit;
    // The panels have built both banks already; the engine clears its buffers and takes the recording.
    return PlaySystem(ProgramEngine(), in, {}, record_output, out) == PlayResult::kArmed;
}

bool Start(HWND) {
    EngineStartSettings s = EngineSettingsFromGlobals();
    s.TestToneChannel = TestTone.Channel.load();
    s.TestToneFrequency = TestTone.Frequency.load();
    s.CenterToLr = CenterToLr;
    PublishLive();
    return StartEngine(ProgramEngine(), s) == EngineStartResult::kStarted;
}

void RequestStop() { EngineRunning = 0; }
void Join() { StopProgramEngine(); }
void WireEngine() { SetUpProgramEngine(FrameWindow); }
void Nothing() {}
bool HasRecording() { return RecordingToSave(ProgramRecording()); }

int SaveRecording(const char* path, MessageList* out) {
    // The header states the rate the capture thread recorded at.
    const uint32_t rate = static_cast<uint32_t>(SampleRateOf(pr_file->tail.HV_Sampling));
    return SaveRecordingWav(path, &ProgramRecording(), rate, out) == RawFileStatus::Ok ? 1 : 0;
}

void DropRecording() { FreeRecordingPool(&ProgramRecording()); }

bool LatestPeaks(uint32_t* seen, float inputs[8], float outputs[16]) {
    const EngineStatusBoard& board = ProgramEngineStatus();
    const uint32_t blocks = board.MeterBlocks.load(std::memory_order_acquire);
    if (blocks == *seen) return false;
    *seen = blocks;
    for (int i = 0; i < 8; ++i) inputs[i] = board.InputPeaks[i].load();
    for (int i = 0; i < 16; ++i) outputs[i] = board.OutputPeaks[i].load();
    return true;
}

EngineControl ProgramEngineControl() {
    EngineControl e;
    e.prepare = Prepare;
    e.start = Start;
    e.requestStop = RequestStop;
    e.join = Join;
    e.allocateBuffers = WireEngine;
    e.releaseBuffers = Nothing;
    e.hasRecording = HasRecording;
    e.saveRecording = SaveRecording;
    e.dropRecording = DropRecording;
    e.publishLive = PublishLive;
    e.latestPeaks = LatestPeaks;
    return e;
}

EngineControl g_engine = ProgramEngineControl();

}  // namespace

const EngineControl& Engine() { return g_engine; }

void SetEngineControl(const EngineControl& c) {
    if (c.prepare) g_engine.prepare = c.prepare;
    if (c.start) g_engine.start = c.start;
    if (c.requestStop) g_engine.requestStop = c.requestStop;
    if (c.join) g_engine.join = c.join;
    if (c.allocateBuffers) g_engine.allocateBuffers = c.allocateBuffers;
    if (c.releaseBuffers) g_engine.releaseBuffers = c.releaseBuffers;
    if (c.hasRecording) g_engine.hasRecording = c.hasRecording;
    if (c.saveRecording) g_engine.saveRecording = c.saveRecording;
    if (c.dropRecording) g_engine.dropRecording = c.dropRecording;
    if (c.publishLive) g_engine.publishLive = c.publishLive;
    if (c.latestPeaks) g_engine.latestPeaks = c.latestPeaks;
}

void ResetEngineControl() { g_engine = ProgramEngineControl(); }
