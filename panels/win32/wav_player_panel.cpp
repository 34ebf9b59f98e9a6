// The WAV player's "Player Control" panel (WAVE_Player_HV): Play checks the configuration, recomputes the
// panes and builds both banks, then plays the playlist song after song through the crossover: the song
// timer loads the next song, the start timer starts the engine's workers with the WAV render thread, and the
// render thread's end asks for the next song. STOP, the volume, the phase mode and the live keys act as on
// the other panels; a digit key reloads a profile and leaves the player idle.
#include <windows.h>

#include <cstring>
#include <string>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/window_registry.h"
#include "engine/engine_globals.h"
#include "engine/engine_streams.h"
#include "engine/play_checks.h"
#include "engine/win32/endpoints.h"
#include "engine/win32/engine_status_view.h"
#include "engine/win32/program_engine.h"
#include "panels/live_keys.h"
#include "panels/panel_dialogs.h"
#include "panels/play_sequence.h"
#include "panels/program_play.h"
#include "panels/resource_ids.h"
#include "panels/wav_player.h"
#include "panels/wav_render.h"
#include "panels/win32/control_panels.h"
#include "panels/win32/engine_control.h"
#include "panels/win32/level_meters.h"
#include "panels/win32/panel_common.h"
#include "platform/win32/win32_threads.h"

namespace {

constexpr int kSongTimer = 2005;
constexpr int kFirstSongDelayMs = 2000;
constexpr int kNextSongDelayMs = 1000;
constexpr int kStartTimer = 5040;
constexpr int kStartDelayMs = 1000;
constexpr int kTidyTimer = 5044;
constexpr int kTidyDelayMs = 200;
constexpr int kProfileTimer = 5045;
constexpr int kPanelSlot = 21;
constexpr int kFrameOffsetX = 1000;
constexpr int kFrameOffsetY = 55;
constexpr int kFrameWidth = 1300;
constexpr int kFrameHeight = 525;
constexpr uint32_t kSongJoinMs = 5000;

HWND g_panel = nullptr;
HHOOK g_hook = nullptr;
bool g_buffersHeld = false;
WavRun g_run;
uint32_t g_songEndsSeen = 0;

LRESULT CALLBACK WavPlayerKeyHook(int code, WPARAM wParam, LPARAM lParam) {
    return RunLiveKeyHook(LiveKeyPanel::kWavPlayer, g_panel, g_hook, code, wParam, lParam);
}

// The last song's threads are gone (they leave on their own at a song's end), and so is its data.
bool JoinLastSong() {
    const bool ended = JoinEngineThreads(ProgramEngine(), kSongJoinMs, PumpWaitingMessages);
    if (ended) WavPlayer.Song.Release();
    return ended;
}

// The song's data, once no thread of the run is left to read it: one that did not leave within a join's time
// keeps the song until a later join finds it gone (Play's, or the next song's).
void ReleaseSongOnceJoined() {
    if (!EngineThreadsAlive(ProgramEngine())) WavPlayer.Song.Release();
}

// Recomputes the configuration's panes, writing each one's "OK" label; the first failure ends it with the
// validator's or the solver's message shown.
bool RecomputePanes(HWND panel) {
    RefreshBlockGrid();
    MessageList messages;
    const bool solved = RecomputeConfiguration(pr_file->tail.SystemConfiguration, &messages, [&](int pane) {
        if (const PaneStep* step = PaneStepOf(pane)) SetDlgItemTextA(panel, step->label_control, step->ok_label);
    });
    ShowHvMessages(FrameWindow, messages);
    return solved;
}

// The banks in force were built for these settings.
void NoteBuiltSettings() {
    WavPlayer.BuiltSampling = pr_file->tail.HV_Sampling;
    WavPlayer.BuiltInputMode = InputMode;
}

// A song of another rate or channel count than the banks were built for: the Play checks again, the panes
// recomputed for the new rate, both banks rebuilt. False (after the reason was shown) when it cannot play.
bool RebuildForSong(HWND panel) {
    const std::string refusal = WavPlayRefusal(CurrentPlaySettings());
    if (!refusal.empty()) {
        ShowHvMessage(FrameWindow, WarningMessage(refusal));
        return false;
    }
    if (!RecomputePanes(panel)) return false;
    PrepareFilterBanks();
    NoteBuiltSettings();
    return true;
}

BOOL OnInitDialog(HWND panel) {
    g_panel = panel;
    EnumRenderEndpoints();
    OpenPlayerControls(panel);
    g_buffersHeld = true;
    g_hook = SetWindowsHookExA(WH_MSGFILTER, WavPlayerKeyHook, nullptr, GetCurrentThreadId());
    const WindowPlacement& p = WindowPlacements[kPanelSlot];
    MoveWindow(FrameWindow, p.x - kFrameOffsetX, p.y - kFrameOffsetY, kFrameWidth, kFrameHeight, TRUE);
    ShowWindow(FrameWindow, SW_SHOW);
    return FALSE;
}

void OnClose(HWND panel, bool destroy) {
    DestroyDialog(&PlaylistEditorWindow);
    ReleasePanel(panel, &g_hook, &g_buffersHeld, &WavPlayerPanelWindow);
    ReleaseSongOnceJoined();
    g_panel = nullptr;
    if (!destroy) DestroyWindow(panel);
}

void OnTidyUp(HWND panel);
void OnProfileReload(HWND panel);

// Play: the WAV panel's checks, every pane of the configuration, both banks; then playing, with the first
// song loaded two seconds later.
void OnPlay(HWND panel) {
    if (EngineRunning) return;
    // A STOP or a digit key whose timer is still due is finished first: run later, it would stop this Play.
    if (KillTimer(panel, kTidyTimer)) OnTidyUp(panel);
    if (KillTimer(panel, kProfileTimer)) OnProfileReload(panel);
    const std::string refusal = WavPlayRefusal(CurrentPlaySettings());
    if (!refusal.empty()) {
        ShowHvMessage(FrameWindow, WarningMessage(refusal));
        return;
    }
    // Threads of an earlier run still read the banks and the routing: they leave first.
    MessageList messages;
    const bool ready = Engine().readyForPlay(&messages);
    ShowHvMessages(FrameWindow, messages);
    if (!ready) return;
    WavPlayer.Song.Release();
    WavPlayer.InterruptedSong = -1;  // no song in hand: SongIndex names the next one
    if (!RecomputePanes(panel)) return;
    PrepareFilterBanks();
    NoteBuiltSettings();
    messages.clear();
    const bool prepared = PrepareProgramWavPlay(ProgramEngineStreams(), &messages);
    ShowHvMessages(FrameWindow, messages);
    if (!prepared) return;
    StartEngineStatusTimer(FrameWindow);
    WavPlayer.SongJumpRequest = 0;
    g_songEndsSeen = g_run.NextSongRequests.load();
    EngineRunning = 1;
    SetTimer(panel, kSongTimer, kFirstSongDelayMs, nullptr);
    StartMeterTimer(panel);
}

void OnStop(HWND panel) {
    if (!EngineRunning) return;
    SetTimer(panel, kTidyTimer, kTidyDelayMs, nullptr);
    Engine().requestStop();
}

// Timer 2005: the next song into memory and its start armed, or the end of the list.
void LoadSong(HWND panel) {
    if (!JoinLastSong()) {
        ShowHvMessage(FrameWindow, WarningMessage(kEngineStillStopping));
        SendMessageA(panel, WM_COMMAND, IDC_STOP, 0);
        return;
    }
    ClearEngineRunState(ProgramEngine());
    const SongLoadResult r =
        LoadNextSong(&WavPlayer, Playlist, EngineRunning != 0, {&pr_file->tail.HV_Sampling, &InputMode, &WavPlayer.WavIs24Bit});
    if (r.kind == SongLoadKind::kEndOfList) SendMessageA(panel, WM_COMMAND, IDC_STOP, 0);
    if (r.show_title) SetDlgItemTextA(panel, IDC_SONG_TITLE, r.song_title.c_str());
    if (r.select_row >= 0) SelectPlaylistRow(r.select_row);
    if (!r.editor_title.empty()) SetPlaylistEditorTitle(r.editor_title.c_str());
    ShowHvMessages(FrameWindow, r.messages);
    if (r.kind != SongLoadKind::kLoaded) return;
    SetDlgItemTextA(panel, IDC_D2_TEXT, r.bytes_text.c_str());
    if (r.settings_changed && !RebuildForSong(panel)) {
        SendMessageA(panel, WM_COMMAND, IDC_STOP, 0);
        return;
    }
    SetTimer(panel, kStartTimer, kStartDelayMs, nullptr);
}

void OnSongTimer(HWND panel) {
    if (!EngineRunning) return;
    WithWaitCursor([panel] { LoadSong(panel); });  // a long song takes seconds to read
}

// Timer 5040: the engine's four workers and the render thread of the song in memory.
void OnStartTimer(HWND panel) {
    if (!EngineRunning || WavPlayer.Song.Empty()) return;
    g_run.Song = &WavPlayer.Song;
    g_run.SongJumpRequest = &WavPlayer.SongJumpRequest;
    g_run.Format = WavBlockFormatOf(WavPlayer.Song, BassMode, pr_file->tail.SystemConfiguration);
    MessageList messages;
    if (StartProgramWavSong(&g_run, &messages)) return;
    ShowHvMessages(FrameWindow, messages);
    if (messages.empty()) return;  // stopped meanwhile
    // The song cannot start at all: the player stops where it is, with the error title.
    SetWindowTextA(panel, kRenderErrorTitle);
    SetTimer(panel, kTidyTimer, kTidyDelayMs, nullptr);
    Engine().requestStop();
}

// The end of a STOP: the volume back at 9, the interrupted song next again, the run's threads gone (messages
// are handled meanwhile), the song and the meters cleared.
void OnTidyUp(HWND panel) {
    SetVolumePosition(panel, kVolumeAfterStop);
    ResetPaneLabels(panel);
    ReplayInterruptedSong(&WavPlayer);
    Engine().join();
    if (EngineRunning) return;  // a Play taken while the threads left: the song and meters are its own
    ReleaseSongOnceJoined();
    ClearPanelMeters(panel);
}

// Timer 5045, armed by a digit key that has stopped the player: the profile, and the player idle.
void OnProfileReload(HWND panel) {
    Engine().join();  // the digit key stopped the player: its threads leave before the records change
    if (EngineRunning) return;  // a Play taken while they left: the records stay as it built them
    ReleaseSongOnceJoined();
    SetVolumePosition(panel, kVolumeAfterStop);
    MessageList messages;
    std::string path;
    const ProfileLoad load = WithWaitCursor([&] { return LoadProfile(LiveShared.ProfileNumber, &messages, &path); });
    if (load == ProfileLoad::kLoaded) SettleLiveControlsAfterLoad(panel);
    ShowHvMessages(FrameWindow, messages);
    if (load == ProfileLoad::kLoaded) {
        ShowLoadedProfile(panel, path);
        EnumRenderEndpoints();
    }
    SetFocus(panel);
    ClearPanelMeters(panel);
}

// The meters, and the next song once the render thread has ended with the player still playing.
void OnPoll(HWND panel) {
    OnMeterTimer(panel);
    const uint32_t ends = g_run.NextSongRequests.load(std::memory_order_acquire);
    if (ends == g_songEndsSeen) return;
    g_songEndsSeen = ends;
    if (EngineRunning) SetTimer(panel, kSongTimer, kNextSongDelayMs, nullptr);
}

void OnTimer(HWND panel, UINT_PTR timer) {
    if (timer == kMeterTimer) {
        OnPoll(panel);
        return;
    }
    KillTimer(panel, timer);
    switch (timer) {
    case kSongTimer: OnSongTimer(panel); break;
    case kStartTimer: OnStartTimer(panel); break;
    case kTidyTimer: OnTidyUp(panel); break;
    case kProfileTimer: OnProfileReload(panel); break;
    default: break;
    }
}

BOOL OnDrawItem(const DRAWITEMSTRUCT* item) {
    switch (item->CtlID) {
    case IDC_PLAY:
    case IDC_STOP: DrawPlayStopButton(item, PanelButtonStyle::kWavPlayer); return TRUE;
    case IDC_GAIN_TEXT: DrawGainText(item, Gdi.TitleFont); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK WavPlayerPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(panel);
    case WM_PAINT:
        // Only the panel's own meters are cleared; nothing else on the screen is asked to repaint.
        ClearPanelMeters(panel);
        SetDlgItemTextA(panel, IDC_PROFILE_NAME, LoadedProfileName);
        return FALSE;
    case WM_MOVE: TrackPanelMove(lParam, kPanelSlot); return FALSE;
    case WM_CLOSE: OnClose(panel, false); return TRUE;
    case WM_DESTROY: OnClose(panel, true); return FALSE;
    case WM_DRAWITEM: return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_HSCROLL: return OnVolumeScroll(panel, wParam, lParam) ? TRUE : FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LIN_PH: SelectPhaseMode(panel, 0); break;
        case IDC_MIN_PH: SelectPhaseMode(panel, 1); break;
        case IDC_PLAY: OnPlay(panel); break;
        case IDC_STOP: OnStop(panel); break;
        default: break;
        }
        return FALSE;
    case WM_TIMER: OnTimer(panel, wParam); return FALSE;
    default: return FALSE;
    }
}

HWND CreateWavPlayerPanel(HWND owner) {
    return CreateDialogParamA(AppInstance, "WAVE_Player_HV", owner, WavPlayerPanelProc, 0);
}
