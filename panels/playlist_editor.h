#pragma once
// The playlist editor's work on the PlaylistRecord, as plain functions the dialog calls: the display copy
// of the rows, the texts of an added song's slot, Add Song, Delete Song, Clear Playlist, the check of every
// song after a playlist load, and a click on a row.
#include <cstdint>
#include <string>

#include "app/messages.h"
#include "panels/playlist.h"
#include "panels/wav_file.h"

inline constexpr int kPlaylistViewColumns = 6;  // Title, Length, Size, Type, Bit Rate, Location

// One row of the list as the list control shows it; each text cut to fit (15 characters in the four narrow
// columns, 255 in Title, 2047 in Location).
struct PlaylistViewRow {
    char Title[256];
    char Length[16];
    char Size[16];
    char Type[16];
    char BitRate[16];
    char Location[2048];

    // The text of column 0..5 (an empty text for another column).
    const char* Column(int column) const;
};

// The display copy of the 128 slots, from which the list takes its texts.
extern PlaylistViewRow PlaylistViewRows[kPlaylistSlots];

void RefreshPlaylistViewRow(PlaylistViewRow* row, const PlaylistSlot& slot);
void RefreshPlaylistView(PlaylistViewRow* rows, const PlaylistRecord& list);  // all 128 rows

// "Playlist Editor: Songs Total = %d, Selected = %d" with the count and the 1-based selection.
std::string PlaylistEditorTitle(uint32_t songs_total, int selected);

// The texts of the slot of an added song from its file and header: Title and Location as given, Length as
// "%02d:%02d:%02d" of the file's length over its own byte rate, Size "%.2fMb" of the length x 0.000001,
// Type "%dCH %d/%s WAV" (the rate in kHz: "44.1", "48", "96"), BitRate "%.1fkbps" of bits x channels x
// rate x 0.001, and FileBytes the exact length.
void FillSongSlot(PlaylistSlot* slot, const std::string& title, const std::string& path, const WavFileInfo& info);

enum class AddSongResult { kAdded, kFull, kRefused };

// Add Song once the picker gave `path` (and the file name `title`): the "wav" ending ("%s file is not a WAV
// file"), the file opened ("Failed to open file"), its header checked with the player's messages; then the
// slot NextFreeSlot filled and counted. The settings of the song go to *applied only when every check has
// passed (the caller writes HV_Sampling, InputMode and WavIs24Bit from it). With 127 songs nothing happens.
AddSongResult AddSongToPlaylist(PlaylistRecord* list, const std::string& path, const std::string& title,
                                WavSettings* applied, MessageList* out);

// Delete Song of the song at song_index: the slots after it move up one (texts and FileBytes), the counts go
// down. Nothing happens (false) when song_index names no song.
bool DeleteSongFromPlaylist(PlaylistRecord* list, int song_index);

// Clear Playlist: every slot's texts " " and FileBytes 0, the counts 0 (reserved words untouched). False,
// and nothing changed, when the playlist is empty.
bool ClearPlaylistSongs(PlaylistRecord* list);

// The check after a playlist load: every song's file opened ("Failed to open WAV file %d" with its index)
// and its header checked as Add Song does, without changing a setting, until the first that fails. Returns
// how many passed (SongsTotal when all did).
int CheckPlaylistSongs(const PlaylistRecord& list, MessageList* out);

// A click on the list with the first selected row (-1 for none): a song row becomes *song_index and asks for
// the jump (true); any other row shows "Unable To Select a Song" and selects song 0.
bool ClickPlaylistRow(int first_selected, uint32_t songs_total, int* song_index, MessageList* out);
