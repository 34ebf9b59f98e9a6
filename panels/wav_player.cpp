#include "panels/wav_player.h"

#include <cstdio>
#include <cstring>

#include "app/raw_file.h"
#include "panels/playlist_editor.h"

WavPlayerState WavPlayer;

namespace {

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

}  // namespace

void ApplyWavSettings(const WavSettings& s, const WavSettingTargets& to) {
    if (to.HV_Sampling) *to.HV_Sampling = s.HV_Sampling;
    if (to.InputMode) *to.InputMode = s.InputMode;
    if (to.WavIs24Bit) *to.WavIs24Bit = s.WavIs24Bit;
}

SongLoadResult LoadNextSong(WavPlayerState* player, const PlaylistRecord& list, bool engine_running,
                            const WavSettingTargets& targets) {
    SongLoadResult r;
    // A STOP between the song's end and this timer: the chain ends where it stands.
    if (!engine_running) return r;
    player->Song.Release();
    player->SongJumpRequest.store(0);

    const uint32_t total = list.SongsTotal <= kMaxSongs ? list.SongsTotal : kMaxSongs;
    if (player->SongIndex < 0) player->SongIndex = 0;
    if (static_cast<uint32_t>(player->SongIndex) + 1 > total) {
        r.kind = SongLoadKind::kEndOfList;
        player->SongIndex = 0;
        player->InterruptedSong = -1;
        r.show_title = true;
        r.song_title = FieldText(list.slots[0].Title);
        r.select_row = 0;
        r.editor_title = PlaylistEditorTitle(total, 1) + " ";
        return r;
    }

    const PlaylistSlot& slot = list.slots[player->SongIndex];
    const std::string path = FieldText(slot.Location);
    r.kind = SongLoadKind::kRefused;
    if (!HasWavExtension(path)) {
        AddWarning(&r.messages, path + " file is not a WAV file");
        return r;
    }
    std::FILE* f = OpenRegularFile(path);
    if (!f) {
        AddWarning(&r.messages, "Failed to open WAV file 2");
        return r;
    }
    WavFileInfo info;
    if (InspectWavHeader(f, &info, &r.messages) != WavCheck::kOk) {
        std::fclose(f);
        return r;
    }
    r.show_title = true;
    r.song_title = FieldText(slot.Title);
    r.select_row = player->SongIndex;
    r.editor_title = PlaylistEditorTitle(total, player->SongIndex + 1);
    const WavCheck read = ReadWavSamples(f, info, &player->Song, &r.messages);
    std::fclose(f);
    if (read != WavCheck::kOk) return r;

    char text[48];
    std::snprintf(text, sizeof text, "%llu Bytes", static_cast<unsigned long long>(player->Song.Size));
    r.bytes_text = text;
    const WavSettings settings = SettingsOfWav(info);
    player->WavIs24Bit = settings.WavIs24Bit;
    r.settings_changed = settings.HV_Sampling != player->BuiltSampling || settings.InputMode != player->BuiltInputMode;
    ApplyWavSettings(settings, targets);
    player->InterruptedSong = player->SongIndex;
    player->SongIndex += 1;
    r.kind = SongLoadKind::kLoaded;
    return r;
}

void ReplayInterruptedSong(WavPlayerState* player) {
    if (player->InterruptedSong >= 0 && player->SongIndex == player->InterruptedSong + 1)
        player->SongIndex = player->InterruptedSong;
    player->InterruptedSong = -1;
}

void FormatPlayedShare(uint64_t position, uint64_t size, char* text, std::size_t chars) {
    const float p = size ? static_cast<float>(static_cast<double>(position) * 100.0 / static_cast<double>(size)) : 0.0f;
    const int whole = static_cast<int>(p);
    int tenths = static_cast<int>(10.0f * p) - 10 * whole;
    tenths = tenths < 0 ? 0 : tenths > 9 ? 9 : tenths;
    std::snprintf(text, chars, "Played=%u.%u%%", static_cast<unsigned>(whole), static_cast<unsigned>(tenths));
}
