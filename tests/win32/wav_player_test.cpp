// The WAV player in the real program: "Wave Player Mode" opens the playlist editor and the WAV player's
// panel, songs come in through the picker with their row texts, the editor's buttons and clicks, Play with
// no usable sound device (the error title, the chain through the list and its end), STOP, the live keys of
// the panel and the screenshots of both windows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/window_registry.h"
#include "app_session.h"
#include "cursor_watch.h"
#include "panel_drive.h"
#include "engine/endpoints.h"
#include "engine/engine_globals.h"
#include "engine/engine_status.h"
#include "engine/engine_streams.h"
#include "engine/win32/program_engine.h"
#include "panels/live_keys.h"
#include "panels/playlist_editor.h"
#include "panels/resource_ids.h"
#include "panels/wav_player.h"
#include "panels/win32/control_panels.h"
#include "platform/in_memory_audio.h"
#include "screen_capture.h"

namespace {

// A small 16-bit stereo WAV file.
void WriteSong(const std::string& path, int frames, uint32_t rate = 48000) {
    std::vector<char> data(static_cast<size_t>(frames) * 4);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 13);
    auto le = [](std::ofstream& f, uint32_t v, int bytes) {
        for (int b = 0; b < bytes; ++b) f.put(static_cast<char>(v >> (8 * b)));
    };
    std::ofstream f(path, std::ios::binary);
    f.write("RIFF", 4);
    le(f, static_cast<uint32_t>(36 + data.size()), 4);
    f.write("WAVEfmt ", 8);
    le(f, 16, 4);
    le(f, 1, 2);
    le(f, 2, 2);
    le(f, rate, 4);
    le(f, rate * 4, 4);
    le(f, 4, 2);
    le(f, 16, 2);
    f.write("data", 4);
    le(f, static_cast<uint32_t>(data.size()), 4);
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

class WavPlayerSession : public AppSession {
protected:
    void SetUp() override {
        AppSession::SetUp();
        ASSERT_TRUE(StartWithPanels());
        Pump();
        recorder_.shown.clear();
    }
    void TearDown() override {
        SetFilePickerHook(nullptr);
        if (WavPlayerPanelWindow) SendMessageA(WavPlayerPanelWindow, WM_CLOSE, 0, 0);
        EngineRunning = 0;
        ModalDialogOpen = 0;
        WavPlayer.SongIndex = 0;
        WavPlayer.SongJumpRequest = 0;
        ClearPlaylistRecord(&Playlist);
        Dialogs = DialogCreators{};
        AppSession::TearDown();
    }
    void Command(HWND window, int id) { SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0); }
    bool Checked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

    void EnterWavePlayerMode() {
        SendMessageA(FrameWindow, WM_COMMAND, IDM_WAVE_PLAYER_MODE, 0);
        Pump();
    }

    // The picker answers with the queued paths in turn (the file title is the name after the folder).
    void AnswerPickers() {
        SetFilePickerHook([this](const FilePickerDescription& d, char* path, char* title) {
            pickers_.push_back(d);
            if (answers_.empty()) return false;
            const std::string next = answers_.front();
            answers_.pop_front();
            if (next.empty()) return false;
            std::strcpy(path, next.c_str());
            std::strcpy(title, std::filesystem::path(next).filename().string().c_str());
            EXPECT_EQ(ModalDialogOpen.load(), 1);  // the live keys are quiet while a picker is open
            return true;
        });
    }

    std::string SongPath(int i) const { return (folder_ / ("song " + std::to_string(i) + ".wav")).string(); }

    // Songs 1 and 2 at 48 kHz, song 3 at 44.1 kHz.
    void AddThreeSongs(HWND editor, int song2_frames = 2000) {
        for (int i = 1; i <= 3; ++i) {
            WriteSong(SongPath(i), i == 2 ? song2_frames : 1000 * i, i == 3 ? 44100 : 48000);
            answers_.push_back(SongPath(i));
        }
        AnswerPickers();
        for (int i = 0; i < 3; ++i) Command(editor, IDC_ADD_SONG);
    }

    HWND List(HWND editor) { return GetDlgItem(editor, IDC_PLAYLIST_VIEW); }

    std::string Cell(HWND editor, int row, int column) {
        char text[512] = {};
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(List(editor), LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return text;
    }

    // A click on a row as the list reports it: the row selected, then the click notification.
    void ClickRow(HWND editor, int row) {
        HWND list = List(editor);
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        if (row >= 0) ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
        NMITEMACTIVATE click{};
        click.hdr.hwndFrom = list;
        click.hdr.idFrom = IDC_PLAYLIST_VIEW;
        click.hdr.code = NM_CLICK;
        click.iItem = row;
        SendMessageA(editor, WM_NOTIFY, IDC_PLAYLIST_VIEW, reinterpret_cast<LPARAM>(&click));
    }

    // The picture of windows, each above the others (with no window manager nothing keeps it there), or of
    // the whole screen when `whole` is set.
    void Screenshot(const char* name, std::initializer_list<HWND> windows, bool whole = false) {
        if (!ScreenshotsWanted()) return;
        for (HWND w : windows) {
            SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        }
        for (int i = 0; i < 10; ++i) {
            Pump();
            Sleep(15);
        }
        RECT r{0, 0, 0, 0};
        if (!whole && windows.size() == 1) GetWindowRect(*windows.begin(), &r);
        SaveScreenRect(name, r);
        for (HWND w : windows) SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    std::deque<std::string> answers_;
    std::vector<FilePickerDescription> pickers_;
};

TEST_F(WavPlayerSession, WavePlayerModeOpensTheEditorAndThePanel) {
    EnterWavePlayerMode();
    HWND editor = PlaylistEditorWindow, panel = WavPlayerPanelWindow;
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(DesignPlayerPanelWindow, nullptr);
    EXPECT_EQ(Title(editor), "Playlist Editor: Songs Total = 0, Selected = 1");
    EXPECT_EQ(Title(panel), "BBM -6.0dB ");
    EXPECT_EQ(ItemText(panel, 60), "FL");
    EXPECT_TRUE(Checked(panel, IDC_LIN_PH));
    EXPECT_EQ(ListView_GetItemCount(List(editor)), 128);
    HWND header = ListView_GetHeader(List(editor));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(Header_GetItemCount(header), 6);
    Screenshot("wave-player-mode", {editor, panel}, true);
    // Each at its placement and size.
    RECT r;
    GetWindowRect(editor, &r);
    EXPECT_EQ(r.right - r.left, 960);
    EXPECT_EQ(r.bottom - r.top, 459);
    GetWindowRect(panel, &r);
    EXPECT_EQ(r.right - r.left, 280);
    EXPECT_EQ(r.bottom - r.top, 460);
    // The list stays left of the buttons and inside the dialog.
    RECT list, button, client;
    GetWindowRect(List(editor), &list);
    GetWindowRect(GetDlgItem(editor, IDC_ADD_SONG), &button);
    EXPECT_LT(list.right, button.left);
    GetClientRect(editor, &client);
    MapWindowPoints(editor, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_LE(list.bottom, client.bottom);

    // The command closes the control panels first, so both windows open afresh.
    EnterWavePlayerMode();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_FALSE(IsWindow(panel));
    editor = PlaylistEditorWindow;
    panel = WavPlayerPanelWindow;
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(panel, nullptr);
    // Closing the panel closes the editor too.
    SendMessageA(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(WavPlayerPanelWindow, nullptr);
    EXPECT_EQ(PlaylistEditorWindow, nullptr);
    EXPECT_FALSE(IsWindow(editor));
}

TEST_F(WavPlayerSession, SongsComeInThroughThePickerAndTheEditorEditsThem) {
    EnterWavePlayerMode();
    HWND editor = PlaylistEditorWindow;
    ASSERT_NE(editor, nullptr);
    AddThreeSongs(editor);
    ASSERT_EQ(pickers_.size(), 3u);
    EXPECT_EQ(pickers_[0].filters[0].first, "Wave Files (*.wav)");
    EXPECT_EQ(pickers_[0].filters[0].second, "*.wav");
    EXPECT_FALSE(pickers_[0].for_save);
    EXPECT_EQ(ModalDialogOpen.load(), 0);
    EXPECT_TRUE(recorder_.shown.empty());
    EXPECT_EQ(Playlist.SongsTotal, 3u);
    EXPECT_EQ(Title(editor), "Playlist Editor: Songs Total = 3, Selected = 1");
    EXPECT_EQ(Cell(editor, 1, 0), "song 2.wav");
    EXPECT_EQ(Cell(editor, 1, 1), "00:00:00");
    EXPECT_EQ(Cell(editor, 1, 2), "0.01Mb");
    EXPECT_EQ(Cell(editor, 1, 3), "2CH 16/48 WAV");
    EXPECT_EQ(Cell(editor, 1, 4), "1536.0kbps");
    EXPECT_EQ(Cell(editor, 1, 5), SongPath(2));
    EXPECT_EQ(Cell(editor, 2, 3), "2CH 16/44.1 WAV");
    EXPECT_EQ(Cell(editor, 3, 0), " ");
    EXPECT_EQ(pr_file->tail.HV_Sampling, 0u);  // the last song added
    EXPECT_EQ(InputMode, 0u);

    // A file that is not a WAV file, with its message.
    answers_.push_back((folder_ / "notes.txt").string());
    Command(editor, IDC_ADD_SONG);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, (folder_ / "notes.txt").string() + " file is not a WAV file");
    recorder_.shown.clear();

    // Save, clear, load again: the same three songs, each checked.
    const std::string list_path = (folder_ / "three.ply").string();
    answers_.push_back(list_path);
    Command(editor, IDC_SAVE_PLAYLIST);
    ASSERT_TRUE(std::filesystem::exists(list_path));
    EXPECT_EQ(std::filesystem::file_size(list_path), sizeof(PlaylistRecord));
    EXPECT_TRUE(pickers_.back().for_save);
    EXPECT_EQ(pickers_.back().filters[0].first, "Playlist Files (*.ply)");
    Command(editor, IDC_CLEAR_PLAYLIST);
    EXPECT_EQ(Playlist.SongsTotal, 0u);
    EXPECT_EQ(Title(editor), "Playlist Editor: Songs Total = 0, Selected = 0");
    EXPECT_EQ(Cell(editor, 0, 0), " ");
    answers_.push_back(list_path);
    Command(editor, IDC_LOAD_PLAYLIST);
    EXPECT_TRUE(recorder_.shown.empty());
    EXPECT_EQ(Playlist.SongsTotal, 3u);
    EXPECT_EQ(ListView_GetItemCount(List(editor)), 3);  // after a load only the songs are listed
    EXPECT_EQ(Cell(editor, 2, 0), "song 3.wav");

    // A click on the second song, then Delete: the third moves up.
    ClickRow(editor, 1);
    EXPECT_EQ(WavPlayer.SongIndex, 1);
    EXPECT_EQ(WavPlayer.SongJumpRequest.load(), 1);
    EXPECT_EQ(Title(editor), "Playlist Editor: Songs Total = 3, Selected = 2");
    Command(editor, IDC_DELETE_SONG);
    EXPECT_EQ(Playlist.SongsTotal, 2u);
    EXPECT_EQ(ListView_GetItemCount(List(editor)), 128);
    EXPECT_EQ(Cell(editor, 1, 0), "song 3.wav");
    EXPECT_EQ(Cell(editor, 2, 0), " ");
    // A click below the songs.
    WavPlayer.SongJumpRequest = 0;
    ClickRow(editor, 5);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Unable To Select a Song");
    EXPECT_EQ(WavPlayer.SongIndex, 0);
    EXPECT_EQ(WavPlayer.SongJumpRequest.load(), 0);

    // While the player plays, the buttons and the close command do nothing.
    EngineRunning = 1;
    Command(editor, IDC_CLEAR_PLAYLIST);
    Command(editor, IDOK);
    SendMessageA(editor, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Playlist.SongsTotal, 2u);
    EXPECT_TRUE(IsWindow(editor));
    EngineRunning = 0;
    Command(editor, IDCANCEL);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(PlaylistEditorWindow, nullptr);
    EXPECT_EQ(Playlist.SongsTotal, 2u);  // closing keeps the playlist
}

TEST_F(WavPlayerSession, PlayWithoutASoundDeviceShowsTheErrorAndRunsToTheEndOfTheList) {
    EnterWavePlayerMode();
    HWND editor = PlaylistEditorWindow, panel = WavPlayerPanelWindow;
    ASSERT_NE(panel, nullptr);
    AddThreeSongs(editor);
    // The screenshots: the editor with its songs, and the panel moved beside it as a user would.
    SetWindowPos(panel, HWND_TOP, 980, 400, 0, 0, SWP_NOSIZE);
    Pump();
    Screenshot("playlist-editor", {editor});
    Screenshot("wav-player-panel", {panel});

    Command(panel, IDC_PLAY);
    EXPECT_EQ(EngineRunning.load(), 1);
    EXPECT_EQ(ItemText(panel, 62), "FR OK");
    EXPECT_TRUE(recorder_.shown.empty());
    Command(panel, IDC_PLAY);  // Play while playing does nothing
    // No endpoint here: every song's render thread ends in the error title and the list moves on.
    ASSERT_TRUE(PumpUntil([&] { return Title(panel) == kRenderErrorTitle; }, 10000));
    // Play built the banks for 44.1 kHz, the rate the last song added set; the 48 kHz songs have them
    // rebuilt for their rate before they start, and the 44.1 kHz song again for its own.
    ASSERT_TRUE(PumpUntil([&] { return ItemText(panel, IDC_SONG_TITLE) == "song 2.wav"; }, 10000));
    EXPECT_EQ(WavPlayer.BuiltSampling, 1u);
    EXPECT_FLOAT_EQ(BinFrequencyTable[1], 48000.0f / (8 * BlockFrames));
    ASSERT_TRUE(PumpUntil([&] { return EngineRunning.load() == 0; }, 20000)) << Title(editor);
    EXPECT_EQ(Title(editor), "Playlist Editor: Songs Total = 3, Selected = 1 ");
    EXPECT_EQ(ItemText(panel, IDC_SONG_TITLE), "song 1.wav");
    EXPECT_EQ(ItemText(panel, IDC_D2_TEXT), "12000 Bytes");  // the last song's bytes
    EXPECT_EQ(WavPlayer.BuiltSampling, 0u);
    EXPECT_FLOAT_EQ(BinFrequencyTable[1], 44100.0f / (8 * BlockFrames));
    ASSERT_TRUE(PumpUntil([&] { return ItemText(panel, 62) == "FR"; }, 3000));  // the tidy-up after STOP
    EXPECT_EQ(pr_file->tail.VolumePosition, 9);
    EXPECT_EQ(WavPlayer.SongIndex, 0);
    EXPECT_TRUE(recorder_.shown.empty());
    // STOP while idle does nothing.
    Command(panel, IDC_STOP);
    EXPECT_EQ(EngineRunning.load(), 0);
}

TEST_F(WavPlayerSession, ClosingThePanelWhilePlayingStopsJoinsAndFrees) {
    EnterWavePlayerMode();
    HWND editor = PlaylistEditorWindow, panel = WavPlayerPanelWindow;
    AddThreeSongs(editor);
    Command(panel, IDC_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return ItemText(panel, IDC_SONG_TITLE) == "song 1.wav"; }, 10000));
    EXPECT_FALSE(WavPlayer.Song.Empty());  // loaded, its start a second away
    SendMessageA(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(EngineRunning.load(), 0);
    EXPECT_FALSE(EngineThreadsAlive(ProgramEngine()));
    EXPECT_TRUE(WavPlayer.Song.Empty());
    EXPECT_EQ(WavPlayerPanelWindow, nullptr);
    EXPECT_EQ(PlaylistEditorWindow, nullptr);
    Sleep(1500);  // the panel's timers died with it
    Pump();
    EXPECT_FALSE(EngineThreadsAlive(ProgramEngine()));
}

// A thread of the run that does not leave within STOP's wait may still read the song: the song stays until a
// later join finds the thread gone (here Play's).
TEST_F(WavPlayerSession, StopKeepsTheSongWhileAThreadOfTheRunLingers) {
    EnterWavePlayerMode();
    HWND panel = WavPlayerPanelWindow;
    AddThreeSongs(PlaylistEditorWindow);
    Command(panel, IDC_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return ItemText(panel, IDC_SONG_TITLE) == "song 1.wav"; }, 10000));
    std::atomic<bool> leave{false};
    ProgramEngine().Threads[kConvolutionLow] =
        StartThread([&] { while (!leave.load()) Sleep(1); }, ThreadPriority::Normal);
    Command(panel, IDC_STOP);
    EXPECT_TRUE(PumpUntil([&] { return ItemText(panel, 62) == "FR"; }, 10000));  // the tidy-up, its wait over
    EXPECT_TRUE(EngineThreadsAlive(ProgramEngine()));
    EXPECT_FALSE(WavPlayer.Song.Empty());
    leave = true;
    Command(panel, IDC_PLAY);
    EXPECT_EQ(EngineRunning.load(), 1);
    EXPECT_FALSE(EngineThreadsAlive(ProgramEngine()));
    EXPECT_TRUE(WavPlayer.Song.Empty());
    Command(panel, IDC_STOP);
}

// The player over an in-memory render device that plays a period every 5 ms.
class WavPlayerDevice : public WavPlayerSession {
protected:
    void SetUp() override {
        WavPlayerSession::SetUp();
        render_.SetAutoTick(5000);
        UseProgramEngineStreams(&system_);
    }
    void TearDown() override {
        WavPlayerSession::TearDown();  // the panel's close waits for the threads
        UseProgramEngineStreams(nullptr);
    }
    void EnterWithDevice() {
        EnterWavePlayerMode();
        RenderEndpointId = render_.Id();
    }
    InMemoryAudioSystem system_;
    InMemoryEndpoint& render_ = system_.AddEndpoint(StreamDirection::Render, L"{wav-player}", "Speakers (Test)");
};

// Play at once after STOP plays (the STOP's tidy-up never undoes it), and the song that plays is the one the
// editor's title names: after a STOP before the first song, the song clicked; after a STOP in the middle of
// a song, that song from its start. The song's load shows the wait cursor.
TEST_F(WavPlayerDevice, PlayRightAfterStopPlaysTheSongTheEditorNames) {
    EnterWithDevice();
    HWND editor = PlaylistEditorWindow, panel = WavPlayerPanelWindow;
    AddThreeSongs(editor, 4 * 48000);
    ClickRow(editor, 1);
    Command(panel, IDC_PLAY);
    EXPECT_EQ(WavPlayer.SongJumpRequest.load(), 0);
    Command(panel, IDC_STOP);
    ASSERT_TRUE(PumpUntil([&] { return ItemText(panel, 62) == "FR"; }, 3000));  // the tidy-up
    EXPECT_EQ(ItemText(panel, IDC_SONG_TITLE), "");
    EXPECT_EQ(WavPlayer.SongIndex, 1);
    EXPECT_EQ(Title(editor), "Playlist Editor: Songs Total = 3, Selected = 2");

    Command(panel, IDC_PLAY);
    {
        CursorWatch watch;
        ASSERT_TRUE(PumpUntil([&] { return ItemText(panel, IDC_SONG_TITLE) == "song 2.wav"; }, 5000));
        EXPECT_TRUE(watch.SawWaitCursor());
    }
    ASSERT_TRUE(PumpUntil([&] { return render_.Releases() > 20; }, 5000));
    Command(panel, IDC_STOP);
    Command(panel, IDC_PLAY);
    EXPECT_EQ(EngineRunning.load(), 1);
    ASSERT_TRUE(PumpUntil([&] { return render_.StartCount() == 2; }, 6000));
    EXPECT_EQ(ItemText(panel, IDC_SONG_TITLE), "song 2.wav");
    EXPECT_EQ(Title(editor), "Playlist Editor: Songs Total = 3, Selected = 2");
    EXPECT_TRUE(recorder_.shown.empty());

    // A digit key stops the player and reloads its profile 200 ms later; a Play at once reloads it first,
    // then goes on with the next song.
    Key(panel, WM_KEYDOWN, '4');
    Command(panel, IDC_PLAY);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Requested Profile Not Found");
    EXPECT_EQ(EngineRunning.load(), 1);
    ASSERT_TRUE(PumpUntil([&] { return render_.StartCount() == 3; }, 6000));
    EXPECT_EQ(ItemText(panel, IDC_SONG_TITLE), "song 3.wav");
}

TEST_F(WavPlayerSession, PlayRefusesWhatTheWavPanelCannotPlay) {
    EnterWavePlayerMode();
    HWND panel = WavPlayerPanelWindow;
    BassMode = 1;
    Command(panel, IDC_PLAY);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Unable To Run BBM/Summed In Stereo Mode");
    EXPECT_EQ(EngineRunning.load(), 0);
    BassMode = 0;
    recorder_.shown.clear();
    // Two rules of the capture panels that a song does not break: 5.1 with "BBM Input", and 16-bit capture
    // with more than two inputs. The recompute follows, and stops at the first empty pane of the design.
    for (int round = 0; round < 2; ++round) {
        pr_file->tail.SystemConfiguration = round == 0 ? 1 : 4;
        BassMode = round == 0 ? 1 : 0;
        InputMode = round == 0 ? 0 : 3;
        Capture24Bit = round == 0 ? 1 : 0;
        Command(panel, IDC_PLAY);
        ASSERT_FALSE(recorder_.shown.empty()) << round;
        EXPECT_NE(recorder_.shown[0].text, "Unable To Run BBM In 5.1HT Mode");
        EXPECT_NE(recorder_.shown[0].text, "16 Bit Capture Can Only Process Inputs 1-2");
        EXPECT_EQ(ItemText(panel, 60), "FL OK");
        EXPECT_EQ(EngineRunning.load(), 0);
        recorder_.shown.clear();
    }
    BassMode = 0;
    InputMode = 0;
    Capture24Bit = 1;
}

TEST_F(WavPlayerSession, LiveKeysOfTheWavPanel) {
    EnterWavePlayerMode();
    HWND panel = WavPlayerPanelWindow;
    SendMessageA(panel, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(GetDlgItem(panel, IDC_VOLUME)));
    EXPECT_EQ(pr_file->tail.VolumePosition, 66);
    Key(panel, WM_KEYDOWN, VK_UP);
    EXPECT_EQ(pr_file->tail.VolumePosition, 63);
    Key(panel, WM_KEYDOWN, VK_LEFT);
    EXPECT_EQ(Title(panel), "REAR 3,4,5,6 -2 DOWN");
    for (int i = 0; i < 4; ++i) Key(panel, WM_KEYDOWN, VK_PRIOR);
    EXPECT_EQ(Title(panel), "BBM 0.0dB UP");
    EXPECT_EQ(pr_file->tail.BbmGain, 1.0f);
    Key(panel, WM_CHAR, 'm');
    EXPECT_TRUE(Checked(panel, IDC_MIN_PH));
    EXPECT_EQ(Title(panel), "Minimum Phase");
    EXPECT_EQ(pr_file->tail.PhaseMode, 1);
    // A digit key arms the profile reload (200 ms): an empty slot says so, and the player stays idle.
    Key(panel, WM_KEYDOWN, '4');
    ASSERT_TRUE(PumpUntil([&] { return !recorder_.shown.empty(); }, 3000));
    EXPECT_EQ(recorder_.shown[0].text, "Requested Profile Not Found");
    EXPECT_EQ(pr_file->tail.VolumePosition, 9);
    EXPECT_EQ(EngineRunning.load(), 0);
    // While a picker of the editor is open the keys do nothing.
    ModalDialogOpen = 1;
    Key(panel, WM_CHAR, 'l');
    EXPECT_TRUE(Checked(panel, IDC_MIN_PH));
    ModalDialogOpen = 0;
}

}  // namespace
