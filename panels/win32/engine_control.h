#pragma once
// What the control panels need of the streaming engine, as one table of functions. By default the table
// drives the program's engine (engine/engine_globals.h, engine/win32/program_engine.h); tests put in their
// own entries with SetEngineControl.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "app/messages.h"

struct EngineControl {
    // First of all on Play, before the panes or the banks change: the threads of the last run are gone
    // (waited for a bounded time). False, with the reason in `out`, when Play must not go on.
    bool (*readyForPlay)(MessageList* out) = nullptr;
    // After the banks are built, before the start timer: every engine buffer cleared and, with
    // record_output 1, the recording prepared. False when Play goes no further (the reason, if any, in
    // `out`: "FATAL ERROR, Could Not Allocate WAV Memory", or a rule the engine refuses).
    bool (*prepare)(int32_t record_output, MessageList* out) = nullptr;
    // The start timer: EngineRunning set and the six threads started in their order. False when the
    // engine is not streaming afterwards; a refused start says why in `out`.
    bool (*start)(HWND panel, MessageList* out) = nullptr;
    // STOP and the digit keys: EngineRunning cleared; every engine thread leaves at its next wake-up.
    void (*requestStop)() = nullptr;
    // Waits until every engine thread has left (clearing EngineRunning), before anything they use changes.
    void (*join)() = nullptr;
    // When a panel opens and closes: the engine wired to the records, and anything it holds for the panel
    // handed back (once).
    void (*allocateBuffers)() = nullptr;
    void (*releaseBuffers)() = nullptr;
    // The recording after STOP: whether anything was recorded, the WAV file written (1 written and the
    // recording freed; 0 with the message in `out` and the recording kept for another try), the recording
    // dropped.
    bool (*hasRecording)() = nullptr;
    int (*saveRecording)(const char* path, MessageList* out) = nullptr;
    void (*dropRecording)() = nullptr;
    // The live values (VolumePosition, PhaseMode and BbmGain of the record, MasterGain and the trims of
    // LiveShared, "Re-Record") changed on the user-interface thread: hand them to the running engine.
    void (*publishLive)() = nullptr;
    // The highest peaks of every block since the last call, when a block newer than *seen was published
    // (*seen moves on): inputs 1..8 on the 24-bit scale, outputs 1..16 on the word scale. False when there
    // is nothing new.
    bool (*latestPeaks)(uint32_t* seen, float inputs[8], float outputs[16]) = nullptr;
};

// The table in use. SetEngineControl replaces every entry that is set in `control`; ResetEngineControl goes
// back to the program's engine.
const EngineControl& Engine();
void SetEngineControl(const EngineControl& control);
void ResetEngineControl();

// The "Re-Record" box: 1 = the capture thread records two output channels (RecordOutput).
extern std::atomic<int32_t> RecordOutputChoice;
