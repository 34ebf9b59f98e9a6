#pragma once
// The WAV player's render thread: the producer and pacer of the engine while a song plays. It opens only
// the render endpoint (exclusive, event-driven), registers with the multimedia class scheduler as "Pro
// Audio", and for every block takes the next N frames of the song, converts them into the input ports,
// hands the block to the engine's own workers (the input FFTs of the song's channels, then the
// convolutions of the output mode), and delivers the finished block at the device's next period. One
// thread runs per song; it ends at the song's end, at a jump request, at a stop or at a stream failure.
//
// Everything it shows goes through the engine's status board: "Played=%u.%u%" (control 5030), "Pt=" (50),
// "Fr=" (5034), "Lt=" alternately in 5032 and 5036, the input and output meter peaks, the error title, and
// the line at a song's end in the frame. When it ends with EngineRunning still set it counts a request for
// the next song, which the panel turns into its song timer.
#include <atomic>
#include <cstdint>

#include "engine/engine_streams.h"
#include "panels/wav_block.h"
#include "panels/wav_file.h"

inline constexpr const char* kProAudioTask = "Pro Audio";

// One song's run, and what outlives it: the song, the jump request, the timing between songs and the
// counters the panel and the tests read.
struct WavRun {
    WavSong* Song = nullptr;                      // read by the thread; released by it at its end
    std::atomic<int32_t>* SongJumpRequest = nullptr;
    WavBlockFormat Format;

    // Delivery times (low halves of the counter), kept from one song to the next.
    uint32_t DeliveryStart = 0;
    uint32_t PreviousDeliveryStart = 0;

    std::atomic<int32_t> Result{0};              // the thread's last result
    std::atomic<uint32_t> BlocksDelivered{0};    // blocks of the current song
    std::atomic<uint32_t> NextSongRequests{0};   // songs that ended with the player still playing
    std::atomic<uint32_t> RunsEnded{0};          // threads that have ended
};

// The format of the song's blocks for the settings in force.
WavBlockFormat WavBlockFormatOf(const WavSong& song, uint32_t bass_mode, uint32_t system_configuration);

// Timer 5040: the four workers and the render thread of `run` (settings.InputMode 0 for a two-channel song, 3
// for a six-channel one). EngineRunning must be set.
EngineStartResult StartWavSong(EngineSession& e, const EngineStartSettings& settings, WavRun* run);

// The thread body (StartWavSong runs it).
void RunWavRenderThread(EngineSession& e, WavRun& run);

// Copies one block (N frames of `words` words) into a device grant of `grant_frames` frames; frames of the
// grant beyond the block are silence.
void CopyBlockToGrant(uint8_t* grant, uint32_t grant_frames, const int32_t* block, int frames, int words);
