#pragma once
// The program's engine over WASAPI: what the frame and the player panels call.
//   - SetUpProgramEngine once after the global records exist (and again after the block size changed):
//     wires ProgramEngine() to the records and the WASAPI streams and starts the status timer on the frame.
//   - Play: PlaySystem(ProgramEngine(), ...); the start timer: StartEngine(ProgramEngine(), settings) with
//     EngineSettingsFromGlobals() plus the test tone and "Center->LR".
//   - STOP, a profile key, closing a panel, leaving the program: StopProgramEngine() before anything the
//     engine uses is changed or freed; then, when RecordingToSave(ProgramRecording()), SaveRecordingWav.
#include <windows.h>

#include "platform/audio_stream.h"

// The streams the program's engine opens: WASAPI, unless a test hands it others (null goes back to WASAPI).
void UseProgramEngineStreams(AudioStreamFactory* streams);
AudioStreamFactory& ProgramEngineStreams();

// Returns 0, or 1 when the engine's own buffers could not be allocated.
int SetUpProgramEngine(HWND frame);
// Clears EngineRunning and joins every engine thread, pumping this thread's messages meanwhile. True when
// all have ended.
bool StopProgramEngine();
