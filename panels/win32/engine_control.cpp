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
#include "engine/win32/engine_status_view.h"
#include "engine/win32/program_engine.h"
#include "panels/live_keys.h"
#include "panels/panel_dialogs.h"
#include "panels/program_play.h"
#include "platform/win32/win32_threads.h"

std::atomic<int32_t> RecordOutputChoice{0};

namespace {

// ---- The program's engine ---------------------------------------------------------------------------------

void PublishLive() { PublishProgramLiveValues(RecordOutputChoice.load()); }

bool ReadyForPlay(MessageList* out) { return LastRunEnded(PumpWaitingMessages, out); }

bool Prepare(int32_t record_output, MessageList* out) {
    if (!PrepareProgramEngine(ProgramEngineStreams(), record_output, out)) return false;
    StartEngineStatusTimer(FrameWindow);
    return true;
}

bool Start(HWND, MessageList* out) { return StartProgramEngine(RecordOutputChoice.load(), out); }

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

bool LatestPeaks(uint32_t* seen, float inputs[8], float outputs[16]) { return TakeProgramMeterPeaks(seen, inputs, outputs); }

EngineControl ProgramEngineControl() {
    EngineControl e;
    e.readyForPlay = ReadyForPlay;
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
    if (c.readyForPlay) g_engine.readyForPlay = c.readyForPlay;
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
