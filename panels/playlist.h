#pragma once
// The playlist record and its *.ply file: the raw image of the record, read as far as the file goes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "app/messages.h"

inline constexpr int kPlaylistSlots = 128;
inline constexpr uint32_t kMaxSongs = 127;

struct PlaylistSlot {
    char Title[256];       // file name with extension, no folder
    char Length[48];       // "%02d:%02d:%02d"
    char Size[48];         // "%.2fMb"
    char Type[128];        // "2CH 16/44.1 WAV", "2CH 24/96 WAV" or "6CH 24/96 WAV"
    char BitRate[48];      // "%.1fkbps"
    char Location[2048];   // full path of the WAV file
    uint32_t FileBytes;    // length of the WAV file as Add Song measured it
    uint32_t reserved[9];
};

struct PlaylistRecord {
    PlaylistSlot slots[kPlaylistSlots];
    uint32_t NextFreeSlot;   // always equal to SongsTotal
    uint32_t SongsTotal;     // 0..127; the songs are slots 0 .. SongsTotal - 1
    uint32_t reserved[10];
};

inline constexpr std::size_t kPlaylistRecordBytes = 334896;

static_assert(std::is_trivially_copyable_v<PlaylistRecord> && std::is_standard_layout_v<PlaylistRecord>);
static_assert(sizeof(PlaylistSlot) == 2616);
static_assert(offsetof(PlaylistSlot, Title) == 0);
static_assert(offsetof(PlaylistSlot, Length) == 256);
static_assert(offsetof(PlaylistSlot, Size) == 304);
static_assert(offsetof(PlaylistSlot, Type) == 352);
static_assert(offsetof(PlaylistSlot, BitRate) == 480);
static_assert(offsetof(PlaylistSlot, Location) == 528);
static_assert(offsetof(PlaylistSlot, FileBytes) == 2576);
static_assert(offsetof(PlaylistSlot, reserved) == 2580);
static_assert(offsetof(PlaylistRecord, NextFreeSlot) == 334848);
static_assert(offsetof(PlaylistRecord, SongsTotal) == 334852);
static_assert(offsetof(PlaylistRecord, reserved) == 334856);
static_assert(sizeof(PlaylistRecord) == kPlaylistRecordBytes);

// Empties the record: every text " " (the bytes behind it zero), FileBytes, the counts and every reserved
// word 0. Returns 0.
int ClearPlaylistRecord(PlaylistRecord* list);

// Cuts SongsTotal and NextFreeSlot to 127 and ends every text field that has no NUL at its last byte, so
// that neither the editor nor the player can index past the slots or read past a field.
void SanitisePlaylistRecord(PlaylistRecord* list);

// Reads at most 334,896 bytes of the file over an emptied record (a shorter file fills only what it has, a
// longer one is read only that far), then sanitises it. Returns 1 when read; 0 with the path as the message
// when the file cannot be opened or a read fails, and then the record in memory is unchanged.
int LoadPlaylistFile(const std::string& path, PlaylistRecord* list, MessageList* out);

// Writes the whole record as it lies in memory through a temporary file. Returns 1 when written; 0 with the
// path as the message otherwise, the previous file left as it was.
int SavePlaylistFile(const std::string& path, const PlaylistRecord& list, MessageList* out);
