#pragma once
// The WAV player's song chain: which song comes next (SongIndex), the request that ends the playing song
// (SongJumpRequest), the song in memory, and the loading of the next song of the playlist with every check
// before any setting changes. The panel runs the loader on its song timer and does what the result asks.
#include <atomic>
#include <cstdint>
#include <string>

#include "app/messages.h"
#include "panels/playlist.h"
#include "panels/wav_file.h"

struct WavPlayerState {
    int SongIndex = 0;                         // the next song to load (0-based)
    // The song loaded last while SongIndex still stands on the one after it (-1: none, or SongIndex was
    // set since): the song a STOP interrupts.
    int InterruptedSong = -1;
    std::atomic<int32_t> SongJumpRequest{0};   // 1: the playing song ends at its next block
    uint32_t WavIs24Bit = 1;                   // of the last song inspected
    WavSong Song;                              // WavDataBuffer and WavDataSize of the song in hand
    // What the filter banks were built for at Play (or at the last rebuild between songs).
    uint32_t BuiltSampling = 0;
    uint32_t BuiltInputMode = 0;
};
extern WavPlayerState WavPlayer;

// The settings a song writes (HV_Sampling in the system record, InputMode, WavIs24Bit).
struct WavSettingTargets {
    uint32_t* HV_Sampling = nullptr;
    uint32_t* InputMode = nullptr;
    uint32_t* WavIs24Bit = nullptr;
};
void ApplyWavSettings(const WavSettings& s, const WavSettingTargets& to);

enum class SongLoadKind {
    kIdle,       // the player was stopped meanwhile: nothing loaded, nothing advanced
    kEndOfList,  // past the last song: the panel sends STOP; row 0 is selected again
    kRefused,    // a message was added; the chain ends here (until STOP)
    kLoaded,     // in memory: the panel starts it with its start timer
};

struct SongLoadResult {
    SongLoadKind kind = SongLoadKind::kIdle;
    MessageList messages;
    bool show_title = false;          // control 36 := song_title
    std::string song_title;
    int select_row = -1;              // the editor's row to select (-1: none)
    std::string editor_title;         // the editor's new title (empty: unchanged)
    std::string bytes_text;           // control 5031 ("%d Bytes"), for a loaded song
    bool settings_changed = false;    // the song's rate or input mode differ from what the banks were built for
};

// Loads song SongIndex of the playlist into player->Song (the one in hand is released first and
// SongJumpRequest cleared), as the song timer does: nothing at all while the player is stopped; past the last
// song SongIndex returns to 0 and the panel stops; a path that does not end in "wav" ("%s file is not a WAV
// file"), a file that does not open ("Failed to open WAV file 2"), a header the player refuses, or data that
// cannot be held refuse the song with its message and change no setting; a loaded song moves SongIndex on
// (InterruptedSong names it) and writes its settings through `targets`. The caller has stopped and joined the previous song's threads.
SongLoadResult LoadNextSong(WavPlayerState* player, const PlaylistRecord& list, bool engine_running,
                            const WavSettingTargets& targets);

// STOP's tidy-up: SongIndex goes back to the interrupted song, so that the next Play plays it again from its
// start. A STOP before any song was loaded, or after the user chose a song, leaves SongIndex alone: the
// next Play plays the song the editor's title names.
void ReplayInterruptedSong(WavPlayerState* player);

// "Played=%u.%u%%" of the share of the song taken so far (whole percent, then the first decimal).
void FormatPlayedShare(uint64_t position, uint64_t size, char* text, std::size_t chars);
