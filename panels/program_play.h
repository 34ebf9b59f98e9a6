#pragma once
// The program's engine as every control panel drives it: the design panel, the Player Control panel and the
// WAV player call these same steps, over the platform's streams in the program and over the in-memory
// endpoints in tests. In the order of a Play:
//   1. LastRunEnded, before anything the engine threads read is touched (panes, routing, CABS delays,
//      filter banks, the engine's wiring);
//   2. the recompute and PrepareFilterBanks (panels/play_sequence.h);
//   3. PrepareProgramEngine;
//   4. when the panel's start timer fires, StartProgramEngine.
// The WAV player takes the same road with PrepareProgramWavPlay, and StartProgramWavSong for each song.
// While it runs: PublishProgramLiveValues after every change of a live value, TakeProgramMeterPeaks when
// the meters are drawn.
#include <cstdint>
#include <functional>

#include "app/messages.h"
#include "platform/audio_stream.h"

struct SystemTail;
struct WavRun;

// How long Play waits for the threads of the last run to leave.
inline constexpr uint32_t kLastRunWaitMs = 5000;

inline constexpr const char* kEngineWiringFailed = "FATAL ERROR, Could Not Allocate Engine Memory";
inline constexpr const char* kEngineSettingsRefused = "The Engine Cannot Run These Settings\nPlease Check The Preferences";
inline constexpr const char* kEngineEventsFailed = "FATAL ERROR, Could Not Create Engine Events";
inline constexpr const char* kEngineThreadsFailed = "FATAL ERROR, Could Not Start Engine Threads";

// True when no thread of an earlier run is left: at once, or after waiting for them (at most `wait_ms`,
// calling `pump` between short slices so the user-interface thread keeps answering). False with
// kEngineStillStopping (engine/play_checks.h) when they are still there; nothing has been changed then.
bool LastRunEnded(const std::function<void()>& pump, MessageList* out, uint32_t wait_ms = kLastRunWaitMs);

// The Sub 1 and Sub 2 rows of the record: the sub outputs (fields 10 and 11) and the output added into each
// (fields 8 and 9), each clamped to 1..16.
void BassManagementRows(const SystemTail& tail, int32_t subs[2], int32_t sources[2]);

// After the filter banks are built: the engine wired to the records and `streams`, the Play rules, the
// bass-management outputs from the record's Sub rows (they do not change while the engine runs), every
// engine buffer cleared and, with record_output 1, the recording prepared. False when Play goes no further,
// with the reason in `out`.
bool PrepareProgramEngine(AudioStreamFactory& streams, int32_t record_output, MessageList* out);

// The WAV player's Play, once its own rules passed and its banks are built: the engine wired to the records
// and `streams`, the bass-management outputs from the Sub rows, every engine buffer cleared. False when Play
// goes no further, with the reason in `out`.
bool PrepareProgramWavPlay(AudioStreamFactory& streams, MessageList* out);

// A loaded song's start (the WAV panel's start timer): the four workers and the render thread of `run`, with
// the settings of the globals (InputMode as the song set it), the live values handed over first. False when
// the song is not playing afterwards; a refused start says why in `out` (a player stopped meanwhile is no
// refusal).
bool StartProgramWavSong(WavRun* run, MessageList* out);

// The start: EngineRunning set and the six threads started with the settings of the globals, the test tone
// and "Center->LR", the live values handed over first. False when the engine is not running afterwards;
// a start that is refused says why in `out` (a run already going is not a refusal: nothing is said).
bool StartProgramEngine(int32_t record_output, MessageList* out);

// The live values into the engine: MasterGain and the trims (LiveShared), BbmGain, PhaseMode and
// VolumePosition (the record), and "Re-Record".
void PublishProgramLiveValues(int32_t record_output);

// The meter peaks since the meters last took them, when a block came after *seen; false otherwise.
bool TakeProgramMeterPeaks(uint32_t* seen, float inputs[8], float outputs[16]);
