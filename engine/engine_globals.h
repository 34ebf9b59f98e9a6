#pragma once
// The program's one engine: its session wired to the global records (input blocks, spectrum histories,
// filter banks, accumulators, tails, routing, FFT tables), with the output block, the delay rings and the
// hand-over ring of its own, and the start settings taken from the settings globals and the system record.
#include "engine/engine_streams.h"

// The session, its status board and live controls. Wire it once after the global records are allocated.
EngineSession& ProgramEngine();
EngineStatusBoard& ProgramEngineStatus();
EngineLiveControls& ProgramEngineLive();
RecordingPool& ProgramRecording();

// Wires ProgramEngine() to the global records and `streams`, and allocates its own buffers. Returns 0, or 1
// when memory ran out. Call again after the block size changes (BlockFrames) and before the next Play.
int WireProgramEngine(AudioStreamFactory& streams);

// The start settings from the globals: rate and block size from the system record, the modes, the device
// ids, the queue and timing switches, the debug switch. The caller adds the test tone and "Center->LR".
EngineStartSettings EngineSettingsFromGlobals();
