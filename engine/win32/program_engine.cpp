#include "engine/win32/program_engine.h"

#include "engine/engine_globals.h"
#include "engine/win32/engine_status_view.h"
#include "platform/win32/wasapi_streams.h"
#include "platform/win32/win32_threads.h"

namespace {
AudioStreamFactory* g_streams = nullptr;
}

void UseProgramEngineStreams(AudioStreamFactory* streams) { g_streams = streams; }

AudioStreamFactory& ProgramEngineStreams() { return g_streams ? *g_streams : WasapiStreams(); }

int SetUpProgramEngine(HWND frame) {
    if (WireProgramEngine(ProgramEngineStreams()) != 0) return 1;
    if (frame) StartEngineStatusTimer(frame);
    return 0;
}

bool StopProgramEngine() { return StopEngine(ProgramEngine(), kDefaultJoinTimeoutMs, PumpWaitingMessages); }
