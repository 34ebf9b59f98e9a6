#include "panels/playlist_editor.h"

#include <cstdio>
#include <cstring>

#include "app/raw_file.h"

PlaylistViewRow PlaylistViewRows[kPlaylistSlots];

namespace {

template <std::size_t N>
void CopyCut(char (&dest)[N], const char* src) {
    const std::size_t n = strnlen(src, N - 1);
    std::memcpy(dest, src, n);
    dest[n] = '\0';
}

template <std::size_t N>
void CopyField(char (&dest)[N], const char (&src)[N]) {
    std::memcpy(dest, src, N);
}

template <std::size_t N>
void SetEmpty(char (&field)[N]) {
    std::memset(field, 0, N);
    field[0] = ' ';
}

template <std::size_t N, typename... Args>
void Format(char (&dest)[N], const char* format, Args... args) {
    std::snprintf(dest, N, format, args...);
}

const char* KiloHertzText(uint32_t rate) {
    switch (rate) {
    case 44100: return "44.1";
    case 48000: return "48";
    case 96000: return "96";
    default: return "?";
    }
}

}  // namespace

const char* PlaylistViewRow::Column(int column) const {
    switch (column) {
    case 0: return Title;
    case 1: return Length;
    case 2: return Size;
    case 3: return Type;
    case 4: return BitRate;
    case 5: return Location;
    default: return "";
    }
}

void RefreshPlaylistViewRow(PlaylistViewRow* row, const PlaylistSlot& slot) {
    CopyCut(row->Title, slot.Title);
    CopyCut(row->Length, slot.Length);
    CopyCut(row->Size, slot.Size);
    CopyCut(row->Type, slot.Type);
    CopyCut(row->BitRate, slot.BitRate);
    CopyCut(row->Location, slot.Location);
}

void RefreshPlaylistView(PlaylistViewRow* rows, const PlaylistRecord& list) {
    for (int i = 0; i < kPlaylistSlots; ++i) RefreshPlaylistViewRow(&rows[i], list.slots[i]);
}

std::string PlaylistEditorTitle(uint32_t songs_total, int selected) {
    char text[96];
    std::snprintf(text, sizeof text, "Playlist Editor: Songs Total = %d, Selected = %d", static_cast<int>(songs_total),
                  selected);
    return text;
}

void FillSongSlot(PlaylistSlot* slot, const std::string& title, const std::string& path, const WavFileInfo& info) {
    CopyCut(slot->Title, title.c_str());
    const uint64_t rate = info.BytesPerSecond();
    const uint64_t seconds = rate ? info.FileBytes / rate : 0;
    const uint64_t hours = seconds / 3600, minutes = (seconds - 3600 * hours) / 60, rest = seconds % 60;
    Format(slot->Length, "%02d:%02d:%02d", static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(rest));
    Format(slot->Size, "%.2fMb", static_cast<double>(info.FileBytes) * 0.000001);
    Format(slot->Type, "%dCH %d/%s WAV", static_cast<int>(info.Channels), static_cast<int>(info.BitsPerSample),
           KiloHertzText(info.SampleRate));
    const uint64_t bits = static_cast<uint64_t>(info.BitsPerSample) * info.Channels * info.SampleRate;
    Format(slot->BitRate, "%.1fkbps", static_cast<double>(bits) * 0.001);
    CopyCut(slot->Location, path.c_str());
    slot->FileBytes = info.FileBytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(info.FileBytes);
}

AddSongResult AddSongToPlaylist(PlaylistRecord* list, const std::string& path, const std::string& title,
                                WavSettings* applied, MessageList* out) {
    if (list->SongsTotal >= kMaxSongs) return AddSongResult::kFull;
    if (!HasWavExtension(path)) {
        AddWarning(out, path + " file is not a WAV file");
        return AddSongResult::kRefused;
    }
    std::FILE* f = OpenRegularFile(path);
    if (!f) {
        AddWarning(out, "Failed to open file");
        return AddSongResult::kRefused;
    }
    WavFileInfo info;
    const WavCheck check = InspectWavHeader(f, &info, out);
    std::fclose(f);
    if (check != WavCheck::kOk) return AddSongResult::kRefused;

    *applied = SettingsOfWav(info);
    const uint32_t slot = list->SongsTotal;
    FillSongSlot(&list->slots[slot], title, path, info);
    RefreshPlaylistViewRow(&PlaylistViewRows[slot], list->slots[slot]);
    list->SongsTotal = slot + 1;
    list->NextFreeSlot = list->SongsTotal;
    return AddSongResult::kAdded;
}

bool DeleteSongFromPlaylist(PlaylistRecord* list, int song_index) {
    if (song_index < 0 || static_cast<uint32_t>(song_index) >= list->SongsTotal) return false;
    for (int i = song_index; i + 1 < kPlaylistSlots && i <= static_cast<int>(list->SongsTotal); ++i) {
        PlaylistSlot& to = list->slots[i];
        const PlaylistSlot& from = list->slots[i + 1];
        CopyField(to.Title, from.Title);
        CopyField(to.Length, from.Length);
        CopyField(to.Size, from.Size);
        CopyField(to.Type, from.Type);
        CopyField(to.BitRate, from.BitRate);
        CopyField(to.Location, from.Location);
        to.FileBytes = from.FileBytes;
        RefreshPlaylistViewRow(&PlaylistViewRows[i], to);
    }
    list->SongsTotal -= 1;
    list->NextFreeSlot = list->SongsTotal;
    return true;
}

bool ClearPlaylistSongs(PlaylistRecord* list) {
    if (list->SongsTotal < 1) return false;
    for (int i = 0; i < kPlaylistSlots; ++i) {
        PlaylistSlot& s = list->slots[i];
        SetEmpty(s.Title);
        SetEmpty(s.Length);
        SetEmpty(s.Size);
        SetEmpty(s.Type);
        SetEmpty(s.BitRate);
        SetEmpty(s.Location);
        s.FileBytes = 0;
        RefreshPlaylistViewRow(&PlaylistViewRows[i], s);
    }
    list->SongsTotal = 0;
    list->NextFreeSlot = 0;
    return true;
}

int CheckPlaylistSongs(const PlaylistRecord& list, MessageList* out) {
    const uint32_t total = list.SongsTotal <= kMaxSongs ? list.SongsTotal : kMaxSongs;
    for (uint32_t i = 0; i < total; ++i) {
        const PlaylistSlot& slot = list.slots[i];
        const std::string path(slot.Location, strnlen(slot.Location, sizeof slot.Location));
        std::FILE* f = OpenRegularFile(path);
        if (!f) {
            AddWarning(out, "Failed to open WAV file " + std::to_string(i));
            return static_cast<int>(i);
        }
        WavFileInfo info;
        const WavCheck check = InspectWavHeader(f, &info, out);
        std::fclose(f);
        if (check != WavCheck::kOk) return static_cast<int>(i);
    }
    return static_cast<int>(total);
}

bool ClickPlaylistRow(int first_selected, uint32_t songs_total, int* song_index, MessageList* out) {
    *song_index = first_selected;
    if (first_selected < 0 || static_cast<uint32_t>(first_selected) >= songs_total) {
        AddWarning(out, "Unable To Select a Song");
        *song_index = 0;
        return false;
    }
    return true;
}
