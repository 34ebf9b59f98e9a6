#include "panels/playlist.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/raw_file.h"

namespace {

template <std::size_t N>
void SetEmptyText(char (&field)[N]) {
    std::memset(field, 0, N);
    field[0] = ' ';
}

template <std::size_t N>
void TerminateText(char (&field)[N]) {
    if (std::memchr(field, 0, N) == nullptr) field[N - 1] = '\0';
}

}  // namespace

int ClearPlaylistRecord(PlaylistRecord* list) {
    for (PlaylistSlot& s : list->slots) {
        SetEmptyText(s.Title);
        SetEmptyText(s.Length);
        SetEmptyText(s.Size);
        SetEmptyText(s.Type);
        SetEmptyText(s.BitRate);
        SetEmptyText(s.Location);
        s.FileBytes = 0;
        std::memset(s.reserved, 0, sizeof s.reserved);
    }
    list->NextFreeSlot = 0;
    list->SongsTotal = 0;
    std::memset(list->reserved, 0, sizeof list->reserved);
    return 0;
}

void SanitisePlaylistRecord(PlaylistRecord* list) {
    if (list->SongsTotal > kMaxSongs) list->SongsTotal = kMaxSongs;
    if (list->NextFreeSlot > kMaxSongs) list->NextFreeSlot = kMaxSongs;
    for (PlaylistSlot& s : list->slots) {
        TerminateText(s.Title);
        TerminateText(s.Length);
        TerminateText(s.Size);
        TerminateText(s.Type);
        TerminateText(s.BitRate);
        TerminateText(s.Location);
    }
}

int LoadPlaylistFile(const std::string& path, PlaylistRecord* list, MessageList* out) {
    // A directory opens on some systems; it is no playlist.
    std::FILE* f = OpenRegularFile(path);
    if (!f) {
        AddWarning(out, path);
        return 0;
    }
    // Read over an emptied scratch copy, so that a read error leaves the playlist in memory as it was.
    auto scratch = std::make_unique<PlaylistRecord>();
    ClearPlaylistRecord(scratch.get());
    auto* bytes = reinterpret_cast<unsigned char*>(scratch.get());
    std::size_t done = 0;
    while (done < sizeof(PlaylistRecord)) {
        const std::size_t n = std::fread(bytes + done, 1, sizeof(PlaylistRecord) - done, f);
        if (n == 0) break;
        done += n;
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        AddWarning(out, path);
        return 0;
    }
    SanitisePlaylistRecord(scratch.get());
    std::memcpy(static_cast<void*>(list), scratch.get(), sizeof(PlaylistRecord));
    return 1;
}

int SavePlaylistFile(const std::string& path, const PlaylistRecord& list, MessageList* out) {
    if (WriteRawImage(path, &list, sizeof list) != RawFileStatus::Ok) {
        AddWarning(out, path);
        return 0;
    }
    return 1;
}
