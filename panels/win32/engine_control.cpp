#include "panels/win32/engine_control.h"

#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "engine/win32/endpoints.h"

std::atomic<int32_t> RecordOutputChoice{0};

namespace {

// The stand-in: no stream threads. The start looks for the capture endpoint the engine would open and
// fails as the capture thread does when it cannot stream.
bool StandInStart(HWND) {
    EnumCaptureEndpoints();
    EngineRunning = 0;
    if (DesignPlayerPanelWindow) SetWindowTextA(DesignPlayerPanelWindow, kCapturingError);
    if (PlayerPanelWindow) SetWindowTextA(PlayerPanelWindow, kCapturingError);
    return false;
}
void StandInStop() { EngineRunning = 0; }
void Nothing() {}
bool Yes() { return true; }
bool No() { return false; }
int NothingSaved(const char*, MessageList*) { return 0; }
bool NoPeaks(uint32_t*, float*, float*) { return false; }

EngineControl StandIn() {
    EngineControl e;
    e.start = StandInStart;
    e.requestStop = StandInStop;
    e.join = Nothing;
    e.allocateBuffers = Nothing;
    e.releaseBuffers = Nothing;
    e.prepareRecording = Yes;
    e.hasRecording = No;
    e.saveRecording = NothingSaved;
    e.dropRecording = Nothing;
    e.publishLive = Nothing;
    e.latestPeaks = NoPeaks;
    return e;
}

EngineControl g_engine = StandIn();

}  // namespace

const EngineControl& Engine() { return g_engine; }

void SetEngineControl(const EngineControl& c) {
    if (c.start) g_engine.start = c.start;
    if (c.requestStop) g_engine.requestStop = c.requestStop;
    if (c.join) g_engine.join = c.join;
    if (c.allocateBuffers) g_engine.allocateBuffers = c.allocateBuffers;
    if (c.releaseBuffers) g_engine.releaseBuffers = c.releaseBuffers;
    if (c.prepareRecording) g_engine.prepareRecording = c.prepareRecording;
    if (c.hasRecording) g_engine.hasRecording = c.hasRecording;
    if (c.saveRecording) g_engine.saveRecording = c.saveRecording;
    if (c.dropRecording) g_engine.dropRecording = c.dropRecording;
    if (c.publishLive) g_engine.publishLive = c.publishLive;
    if (c.latestPeaks) g_engine.latestPeaks = c.latestPeaks;
}

void ResetEngineControl() { g_engine = StandIn(); }
