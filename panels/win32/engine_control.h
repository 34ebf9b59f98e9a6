#pragma once
// What the control panels need of the streaming engine, as one table of functions. The panels call only
// these; the streaming code fills the table with its own start, stop, join and recording functions
// (SetEngineControl). Until it does, the table holds a stand-in that cannot stream: its start reports the
// capture failure the way the capture thread does, so the panels' Play road can be driven end to end.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "app/messages.h"

struct EngineControl {
    // Start step after Play's timer: clear the engine buffers, set EngineRunning and start the threads in
    // their order, each writing its texts into the open panels. False when the engine is not streaming
    // afterwards (the failure is already written into the panels' titles).
    bool (*start)(HWND panel) = nullptr;
    // Clears EngineRunning; every engine thread leaves at its next wake-up.
    void (*requestStop)() = nullptr;
    // Waits until every engine thread has left (before anything they use is freed).
    void (*join)() = nullptr;
    // The buffers the threads use, taken when a panel opens and given back once when it closes.
    void (*allocateBuffers)() = nullptr;
    void (*releaseBuffers)() = nullptr;
    // Recording of the output: prepared at Play (false: memory ran out, "FATAL ERROR, Could Not Allocate WAV
    // Memory" is then shown), whether anything was recorded, the WAV file written after STOP (1 written,
    // 0 with the message in `out`), and the recording dropped.
    bool (*prepareRecording)() = nullptr;
    bool (*hasRecording)() = nullptr;
    int (*saveRecording)(const char* path, MessageList* out) = nullptr;
    void (*dropRecording)() = nullptr;
    // The live values (VolumePosition, PhaseMode and BbmGain of the record, MasterGain and the trims of
    // LiveShared, "Re-Record") changed on the user-interface thread: hand them to the running engine.
    void (*publishLive)() = nullptr;
    // The peaks of the latest streamed block, when a block newer than *seen was published (*seen moves on):
    // inputs 1..8 on the 24-bit scale, outputs 1..16 on the word scale. False when there is nothing new.
    bool (*latestPeaks)(uint32_t* seen, float inputs[8], float outputs[16]) = nullptr;
};

// The table in use. SetEngineControl replaces every entry that is set in `control`; entries left null keep
// the stand-in.
const EngineControl& Engine();
void SetEngineControl(const EngineControl& control);
// Back to the stand-in (tests).
void ResetEngineControl();

inline constexpr const char* kCapturingError = "CAPTURING ERROR - RESTART";
inline constexpr const char* kRenderingError = "RENDERING ERROR - RESTART";
inline constexpr const char* kWavMemoryFailed = "FATAL ERROR, Could Not Allocate WAV Memory";

// The "Re-Record" box: 1 = the capture thread records two output channels (RecordOutput).
extern std::atomic<int32_t> RecordOutputChoice;
