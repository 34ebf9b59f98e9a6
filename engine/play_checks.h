#pragma once
// Play: the rules that refuse a configuration the engine cannot run, with their messages, and the road
// from the Play command to an armed start (buffers cleared, filter banks built, recording prepared). The
// panels call PlaySystem on Play, StartEngine (engine/engine_streams.h) when their start timer fires,
// StopEngine on STOP, and SaveRecordingWav (engine/recording_file.h) in the tidy-up after STOP.
#include <cstdint>
#include <functional>
#include <string>

#include "app/messages.h"
#include "engine/engine_streams.h"

// What the rules look at.
struct PlayRuleInputs {
    uint32_t SystemConfiguration = 0;  // 0 Stereo, 1 Home Theatre, 2 Quadro, 3 5.2 BBM, 4 7.2 BBM, 5 7.2 BBM + CABS, 6 2.2 BBM
    uint32_t InputMode = 0;            // 0 "Inputs 1-2", 1 "Inputs 1-12", 2 "Inputs 1-8", 3 "Inputs 1-6"
    uint32_t BassMode = 0;             // 0 "Standard", 1 "BBM Input", 2 "Summed L+R", 3 "BBM Output"
    uint32_t SampleRate = 48000;       // the decimal value of the rate's name
    uint32_t BufferSizeIndex = 1;      // HV_Buffer_Size
    uint32_t Capture24Bit = 1;         // 0 "16 Bit MLS"
};

inline constexpr int kPlayRuleCount = 13;
inline constexpr const char* kSixteenBitInputsRefused = "16 Bit Capture Can Only Process Inputs 1-2";
inline constexpr const char* kQuadroTwelveInputsRefused = "Unable To Process 12 Inputs In QUADRO Mode";

// The number (1..13) of the first rule the configuration breaks, or 0 when it passes; *message gets the
// rule's text. Rules 1..12 are the panels' own in their order; rule 13 refuses 16-bit capture with more
// than two inputs, whose frames carry two channels only.
// Rule n is left out when bit n - 1 of skipped_rules is set.
int CheckPlayRules(const PlayRuleInputs& in, std::string* message, uint32_t skipped_rules = 0);

inline constexpr const char* kEngineStillStopping =
    "The Engine Has Not Stopped Yet\nPlease Wait A Moment And Press PLAY Again";

enum class PlayResult {
    kIgnored,             // the engine runs
    kStillStopping,       // threads of the last run are still there: kEngineStillStopping
    kRefused,             // a rule refused; its message is in the list
    kNoRecordingMemory,   // "FATAL ERROR, Could Not Allocate WAV Memory"
    kArmed,               // ready: the panel arms its start timer
};

inline constexpr const char* kNoWavMemory = "FATAL ERROR, Could Not Allocate WAV Memory";
inline constexpr int32_t kRecordingChunkSlots = kRecordedWavSlots;

// Play, in the panels' order: ignored while the engine runs; refused while threads of the last run are still
// there (nothing is touched then); the rules; every engine buffer of the session
// cleared (histories, accumulators, tails, delay rings, output block, hand-over ring); `build_filters`
// (may be empty) builds both filter banks; with record_output the recording pool gets `recording_chunks`
// zeroed chunks (any earlier recording is dropped first).
PlayResult PlaySystem(EngineSession& e, const PlayRuleInputs& in, const std::function<int()>& build_filters,
                      int32_t record_output, MessageList* messages,
                      int32_t recording_chunks = kRecordingChunkSlots);
