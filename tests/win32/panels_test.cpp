// The control panels in the real program: the design panel's channel buttons, switches, live keys and
// profile reload, the Player Control panel's Play road, the small dialogs, the meters and the screenshots.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/autostart.h"
#include "app/command_ids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/system_record.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/window_registry.h"
#include "design/network_model.h"
#include "engine/engine_globals.h"
#include "engine/engine_status.h"
#include "engine/recording_file.h"
#include "design/pane_editor.h"
#include "app_session.h"
#include "panel_drive.h"
#include "panels/live_keys.h"
#include "panels/panel_dialogs.h"
#include "panels/resource_ids.h"
#include "panels/win32/control_panels.h"
#include "panels/win32/engine_control.h"
#include "panels/win32/level_meters.h"
#include "panels/win32/panel_common.h"
#include "platform/threads.h"

namespace {

// Saves the screen as a BMP when the run asks for screenshots (HV_SCREENSHOT_DIR).
void MaybeScreenshot(const char* name) {
    const char* dir = std::getenv("HV_SCREENSHOT_DIR");
    if (!dir || !*dir) return;
    RedrawWindow(FrameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // The panels stand above the frame in the picture (with no window manager nothing keeps them there).
    for (HWND panel : {DesignPlayerPanelWindow, PlayerPanelWindow}) {
        if (!panel) continue;
        SetWindowPos(panel, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    for (int i = 0; i < 10; ++i) {
        Pump();
        Sleep(15);
    }
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bih{sizeof bih, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int stride = ((w * 3 + 3) / 4) * 4;
    std::vector<char> pixels(static_cast<size_t>(stride) * h);
    GetDIBits(mem, bmp, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS);
    BITMAPFILEHEADER bfh{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof bih + pixels.size()), 0, 0,
                         sizeof(BITMAPFILEHEADER) + sizeof bih};
    std::ofstream f(std::string(dir) + "/" + name + ".bmp", std::ios::binary);
    f.write(reinterpret_cast<const char*>(&bfh), sizeof bfh);
    f.write(reinterpret_cast<const char*>(&bih), sizeof bih);
    f.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    for (HWND panel : {DesignPlayerPanelWindow, PlayerPanelWindow})
        if (panel) SetWindowPos(panel, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// An engine that records what the panels ask of it.
struct FakeEngine {
    std::vector<std::string> calls;
    bool startSucceeds = true;
    int releases = 0;
    int publishes = 0;
    int peakPolls = 0;
    std::string savedPath;
    bool recorded = false;  // a Play armed the recording and it has not been saved since
};
FakeEngine* g_fake = nullptr;

EngineControl FakeEngineControl() {
    EngineControl e;
    e.start = [](HWND, MessageList*) {
        g_fake->calls.push_back("start");
        if (g_fake->startSucceeds) EngineRunning = 1;
        return g_fake->startSucceeds;
    };
    e.requestStop = [] {
        g_fake->calls.push_back("stop");
        EngineRunning = 0;
    };
    e.join = [] { g_fake->calls.push_back("join"); };
    e.allocateBuffers = [] { g_fake->calls.push_back("allocate"); };
    e.releaseBuffers = [] {
        g_fake->calls.push_back("release");
        ++g_fake->releases;
    };
    e.prepare = [](int32_t record, MessageList*) {
        g_fake->calls.push_back(record == 1 ? "prepare-recording" : "prepare");
        if (record == 1) g_fake->recorded = true;
        return true;
    };
    e.hasRecording = [] { return g_fake->recorded; };
    e.saveRecording = [](const char* path, MessageList*) {
        g_fake->savedPath = path;
        g_fake->recorded = false;
        return 1;
    };
    e.publishLive = [] { ++g_fake->publishes; };
    e.latestPeaks = [](uint32_t* seen, float* in, float* out) {
        ++g_fake->peakPolls;
        if (*seen != 0) return false;
        *seen = 1;
        for (int i = 0; i < 8; ++i) in[i] = 7854000.0f;
        for (int i = 0; i < 16; ++i) out[i] = 2010624000.0f;
        return true;
    };
    return e;
}

int Count(const std::vector<std::string>& calls, const std::string& name) {
    int n = 0;
    for (const auto& c : calls) n += c == name;
    return n;
}

class PanelSession : public AppSession {
protected:
    void SetUp() override {
        AppSession::SetUp();
        ASSERT_TRUE(StartWithPanels());
        Pump();
        recorder_.shown.clear();
    }
    void TearDown() override {
        SetFilePickerHook(nullptr);
        ResetEngineControl();
        g_fake = nullptr;
        RecordOutputChoice = 0;
        ModalDialogOpen = 0;
        EngineRunning = 0;
        Dialogs = DialogCreators{};
        AppSession::TearDown();
    }
    void Command(HWND window, int id) { SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0); }
    bool Checked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }
    void UseFakeEngine() {
        g_fake = &fake_;
        SetEngineControl(FakeEngineControl());
    }
    FakeEngine fake_;
    HWND OpenPlayerPanel() {
        SendMessageA(FrameWindow, WM_COMMAND, IDM_PLAYER_MODE, 0);
        Pump();
        return PlayerPanelWindow;
    }
};

TEST_F(PanelSession, DesignPanelOpensWithItsControlsAndSettings) {
    HWND panel = DesignPlayerPanelWindow;
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(Title(panel), "BBM -6.0dB ");
    for (int id : {IDC_PALETTE, IDC_TOOL_DRAW, IDC_TOOL_MOVE, IDC_TOOL_WIPE_WIRE, IDC_TOOL_WIPE_COMP, IDC_SHOW_NODES,
                   IDC_SHOW_RASTER, IDC_COPY_SPEAKER, IDC_TEST_TONES, IDC_CURVE_SELECTION, IDC_CLEAR_PLOTS,
                   IDC_FRONT_LEFT, IDC_FRONT_RIGHT, IDC_CENTRE, IDC_REAR_LEFT, IDC_REAR_RIGHT, IDC_SUB, IDC_SUB_2,
                   IDC_SIDE_LEFT, IDC_SIDE_RIGHT, IDC_INPUT_METER, IDC_OUTPUT_METER, IDC_RE_RECORD, IDC_SPL_ONLY_EQ,
                   IDC_WIDE_WINDOW, IDC_LIN_PH, IDC_MIN_PH, IDC_PLAY, IDC_STOP, IDC_GAIN_TEXT, IDC_VOLUME,
                   IDC_PT_TEXT, IDC_LT_TEXT, IDC_D1_TEXT, IDC_FR_TEXT, IDC_DEL_TEXT, IDC_D2_TEXT})
        EXPECT_NE(GetDlgItem(panel, id), nullptr) << id;
    EXPECT_EQ(ItemText(panel, IDC_DEL_TEXT), "Del=0");
    EXPECT_EQ(ItemText(panel, IDC_FRONT_RIGHT), "Front Right");
    EXPECT_TRUE(Checked(panel, IDC_LIN_PH));
    EXPECT_FALSE(Checked(panel, IDC_MIN_PH));
    EXPECT_TRUE(Checked(panel, IDC_SHOW_NODES));
    EXPECT_TRUE(Checked(panel, IDC_WIDE_WINDOW));
    EXPECT_TRUE(Checked(panel, IDC_TOOL_DRAW));
    int lo = -1, hi = -1;
    GetScrollRange(GetDlgItem(panel, IDC_VOLUME), SB_CTL, &lo, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 66);
    EXPECT_EQ(GetScrollPos(GetDlgItem(panel, IDC_VOLUME), SB_CTL), 9);
    EXPECT_EQ(InputMeterWindow, GetDlgItem(panel, IDC_INPUT_METER));
    EXPECT_EQ(LiveShared.Groups.RearChannels[0], 3);
    EXPECT_EQ(EngineRunning.load(), 0);
}

TEST_F(PanelSession, ChannelButtonsOfTheStereoDesignShowThePlot) {
    HWND panel = DesignPlayerPanelWindow;
    ASSERT_NE(panel, nullptr);
    std::vector<float> before(OutputSpectrum[0], OutputSpectrum[0] + 64);
    Command(panel, IDC_FRONT_LEFT);
    EXPECT_TRUE(recorder_.shown.empty()) << recorder_.shown[0].text;
    EXPECT_EQ(ActivePane, 1);
    ASSERT_NE(SplPlotWindow, nullptr);
    EXPECT_NE(std::vector<float>(OutputSpectrum[0], OutputSpectrum[0] + 64), before);
    Command(panel, IDC_FRONT_RIGHT);
    EXPECT_TRUE(recorder_.shown.empty());
    EXPECT_EQ(ActivePane, 3);
    EXPECT_FALSE(PaneRecomputeFailed(1));
    EXPECT_FALSE(PaneRecomputeFailed(3));
    Pump();
    MaybeScreenshot("design-panel");

    // Ignored while the engine runs.
    EngineRunning = 1;
    Command(panel, IDC_FRONT_LEFT);
    EngineRunning = 0;
    EXPECT_EQ(ActivePane, 3);
}

TEST_F(PanelSession, AnEmptyPaneFailsAndPlayIsRefusedSilently) {
    HWND panel = DesignPlayerPanelWindow;
    ASSERT_NE(panel, nullptr);
    Command(panel, IDC_CENTRE);  // pane 2 is empty in the Stereo design
    ASSERT_FALSE(recorder_.shown.empty());
    EXPECT_EQ(ActivePane, 2);
    EXPECT_TRUE(PaneRecomputeFailed(2));
    // Stereo does not play pane 2: Play goes on to its timer.
    recorder_.shown.clear();
    Command(panel, IDC_PLAY);
    EXPECT_TRUE(recorder_.shown.empty());
}

TEST_F(PanelSession, ToolsAndSwitches) {
    HWND panel = DesignPlayerPanelWindow;
    Command(panel, IDC_TOOL_MOVE);
    EXPECT_EQ(EditTool, 5);
    EXPECT_TRUE(Checked(panel, IDC_TOOL_MOVE));
    EXPECT_FALSE(Checked(panel, IDC_TOOL_DRAW));
    for (PaneRecord* p : PaneRecords) EXPECT_EQ(p->edit_tool, 5u);
    Command(panel, IDC_TOOL_WIPE_WIRE);
    EXPECT_EQ(EditTool, 8);
    EXPECT_TRUE(Checked(panel, IDC_TOOL_WIPE_WIRE));
    Command(panel, IDC_SHOW_RASTER);
    EXPECT_EQ(ShowRaster, 0);
    EXPECT_FALSE(Checked(panel, IDC_SHOW_RASTER));
    Command(panel, IDC_SPL_ONLY_EQ);
    EXPECT_EQ(pr_file->tail.SplOnlyEq, 1u);
    Command(panel, IDC_MIN_PH);
    EXPECT_EQ(pr_file->tail.PhaseMode, 1);
    EXPECT_EQ(Title(panel), "Minimum Phase");
    EXPECT_TRUE(Checked(panel, IDC_MIN_PH));
    EXPECT_FALSE(Checked(panel, IDC_LIN_PH));

    // While the engine runs: no editing, but "Wide Window" and the phase still work.
    EngineRunning = 1;
    Command(panel, IDC_TOOL_DRAW);
    Command(panel, IDC_SPL_ONLY_EQ);
    Command(panel, IDC_WIDE_WINDOW);
    Command(panel, IDC_LIN_PH);
    EngineRunning = 0;
    EXPECT_EQ(EditTool, 8);
    EXPECT_EQ(pr_file->tail.SplOnlyEq, 1u);
    EXPECT_EQ(WideWindow, 0u);
    EXPECT_EQ(pr_file->tail.PhaseMode, 0);

    // The palette: a click in row 3 arms a filter block with the Draw tool.
    // The palette lies at the panel's client origin, 40 x 240 pixels.
    RECT r;
    GetWindowRect(GetDlgItem(panel, IDC_PALETTE), &r);
    EXPECT_EQ(r.right - r.left, 40);
    EXPECT_EQ(r.bottom - r.top, 240);
    SendMessageA(panel, WM_LBUTTONUP, 0, MAKELPARAM(20, 100));
    EXPECT_EQ(PaletteKind, 3);
    // A row edge keeps the kind, but still arms the palette with Draw.
    Command(panel, IDC_TOOL_MOVE);
    SendMessageA(panel, WM_LBUTTONUP, 0, MAKELPARAM(20, 40));
    EXPECT_EQ(EditTool, 1);
    EXPECT_EQ(PaletteKind, 3);
    EXPECT_EQ(PaletteArmed, 1);
    EXPECT_EQ(EditTool, 1);
    EXPECT_TRUE(Checked(panel, IDC_TOOL_DRAW));
}

TEST_F(PanelSession, VolumeBarSetsTheGain) {
    HWND panel = DesignPlayerPanelWindow;
    HWND bar = GetDlgItem(panel, IDC_VOLUME);
    SendMessageA(panel, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(pr_file->tail.VolumePosition, 66);
    EXPECT_NEAR(LiveShared.MasterGain.load(), 5.6234, 1e-4);
    SendMessageA(panel, WM_HSCROLL, SB_LEFT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(LiveShared.MasterGain.load(), 0.0f);
    SendMessageA(panel, WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(bar));
    SendMessageA(panel, WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(pr_file->tail.VolumePosition, 4);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 4);
    char text[64];
    FormatGainText(text, sizeof text);
    EXPECT_STREQ(text, "Gain = -47dB (0.004)    ");
}

TEST_F(PanelSession, LiveKeysThroughTheHookWriteTheTitle) {
    HWND panel = DesignPlayerPanelWindow;
    ASSERT_NE(panel, nullptr);
    Key(panel, WM_CHAR, 'm');
    EXPECT_EQ(Title(panel), "Minimum Phase");
    EXPECT_EQ(pr_file->tail.PhaseMode, 1);
    EXPECT_TRUE(Checked(panel, IDC_MIN_PH));
    Key(panel, WM_KEYDOWN, VK_UP);
    EXPECT_EQ(pr_file->tail.VolumePosition, 12);
    EXPECT_EQ(GetScrollPos(GetDlgItem(panel, IDC_VOLUME), SB_CTL), 12);
    Key(panel, WM_KEYDOWN, VK_LEFT);
    EXPECT_EQ(Title(panel), "REA 3,4,5,6 -2 DOWN");
    Key(panel, WM_KEYDOWN, VK_PRIOR);
    EXPECT_EQ(Title(panel), "BBM -4.0dB UP");
    Key(panel, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(Title(panel), "SUB 1, 2, 0.0 RESET");
    EXPECT_NE(DesignPlayerPanelWindow, nullptr);  // Escape leaves the panel open
    EXPECT_EQ(LiveShared.ChannelTrims[2].load(), 1.0f);

    ModalDialogOpen = 1;
    Key(panel, WM_KEYDOWN, VK_UP);
    Key(panel, WM_CHAR, 'l');
    ModalDialogOpen = 0;
    EXPECT_EQ(pr_file->tail.VolumePosition, 12);
    EXPECT_EQ(pr_file->tail.PhaseMode, 1);
}

TEST_F(PanelSession, EachPanelKeepsItsOwnHook) {
    HWND design = DesignPlayerPanelWindow;
    ASSERT_NE(design, nullptr);
    // A second panel beside the first, then closed again: the design panel's hook stays.
    OpenModelessDialog(&PlayerPanelWindow, Dialogs.playerPanel, 14, 280, 445);
    ASSERT_NE(PlayerPanelWindow, nullptr);
    SendMessageA(PlayerPanelWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(PlayerPanelWindow, nullptr);
    Key(design, WM_KEYDOWN, VK_HOME);
    EXPECT_EQ(Title(design), "TWE 7,8,9 -1 DOWN");
}

TEST_F(PanelSession, DigitKeyWithAnEmptySlotSaysTheProfileIsMissing) {
    HWND panel = DesignPlayerPanelWindow;
    std::strcpy(Preferences->LastProjectPath, "C:\\kept.hif");
    Key(panel, WM_KEYDOWN, '5');
    EXPECT_EQ(LiveShared.ProfileNumber, 5);
    ASSERT_TRUE(PumpUntil([&] { return !recorder_.shown.empty(); }, 4000));
    EXPECT_EQ(recorder_.shown[0].text, "Requested Profile Not Found");
    EXPECT_STREQ(Preferences->LastProjectPath, "C:\\kept.hif");
    EXPECT_EQ(pr_file->tail.VolumePosition, 9);
}

TEST_F(PanelSession, RefusedProfileKeepsTheLastProjectPath) {
    HWND panel = DesignPlayerPanelWindow;
    const std::string path = (folder_ / "short.hif").string();
    std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
    std::strcpy(Preferences->ProfileSlots[9], path.c_str());
    std::strcpy(Preferences->LastProjectPath, "C:\\kept.hif");
    Key(panel, WM_KEYDOWN, '0');
    ASSERT_TRUE(PumpUntil([&] { return !recorder_.shown.empty(); }, 4000));
    EXPECT_EQ(recorder_.shown[0].text, "This Project File Is Not recognized");
    EXPECT_STREQ(Preferences->LastProjectPath, "C:\\kept.hif");
}

TEST_F(PanelSession, ProfileKeyLoadsTheProfileAndRunsTheChain) {
    // A Quadro design saved as profile 1, loaded over the Stereo design by the digit key.
    const std::string path = (folder_ / "quadro.HIF").string();
    SendMessageA(FrameWindow, WM_COMMAND, IDM_BLANK_QUADRO, 0);
    ASSERT_EQ(pr_file->tail.SystemConfiguration, 2u);
    MessageList messages;
    MirroredSettings settings = GatherMirroredSettings();
    ASSERT_EQ(WriteProjectFile(path, GlobalProjectContext(&settings), &messages), 1);
    SendMessageA(FrameWindow, WM_COMMAND, IDM_STEREO_2X2, 0);
    ASSERT_EQ(pr_file->tail.SystemConfiguration, 0u);
    std::strcpy(Preferences->ProfileSlots[0], path.c_str());
    HWND panel = DesignPlayerPanelWindow;
    ASSERT_NE(panel, nullptr);
    Key(panel, WM_KEYDOWN, '1');
    ASSERT_TRUE(PumpUntil([&] { return pr_file->tail.SystemConfiguration == 2u; }, 8000));
    EXPECT_STREQ(Preferences->LastProjectPath, path.c_str());
    EXPECT_NE(SplitterWindows[static_cast<int>(SplitterKind::Quadro)], nullptr);
    EXPECT_EQ(Title(panel), "BBM -6.0dB ");
    // The frame's chain presses the Quadro channels: the blank panes fail and Play is not started.
    ASSERT_TRUE(PumpUntil([&] { return recorder_.shown.size() >= 4; }, 8000));
    EXPECT_TRUE(PaneRecomputeFailed(1));
}

TEST_F(PanelSession, PlayerPanelPlaysTheStereoDesignUpToTheEngine) {
    HWND panel = OpenPlayerPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(DesignPlayerPanelWindow, nullptr);
    EXPECT_EQ(Title(panel), "BBM -6.0dB ");
    EXPECT_EQ(ItemText(panel, 60), "FL");
    EXPECT_EQ(ItemText(panel, 65), "SB2");
    EXPECT_TRUE(Checked(panel, IDC_LIN_PH));
    MaybeScreenshot("player-panel");

    Command(panel, IDC_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return ItemText(panel, 62) == "FR OK"; }, 6000));
    EXPECT_EQ(ItemText(panel, 60), "FL OK");
    EXPECT_EQ(ItemText(panel, 61), "CC");  // Stereo does not play the centre
    EXPECT_TRUE(recorder_.shown.empty());
    // No sound device here: the start ends in the capture error, without a hang.
    ASSERT_TRUE(PumpUntil([&] { return Title(panel) == kCaptureErrorTitle; }, 8000));
    EXPECT_EQ(EngineRunning.load(), 0);
    EXPECT_EQ(ItemText(panel, IDC_DEL_TEXT), "Del=0");
    // STOP after a failure does nothing.
    Command(panel, IDC_STOP);
    EXPECT_EQ(ItemText(panel, 60), "FL OK");
}

TEST_F(PanelSession, PlayerPanelRefusesAndStopsAtTheFirstFailedPane) {
    HWND panel = OpenPlayerPanel();
    ASSERT_NE(panel, nullptr);
    InputMode = 1;
    Command(panel, IDC_PLAY);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Unable To Process More Than 2 Inputs In Stereo Mode");
    EXPECT_EQ(recorder_.shown[0].caption, "HV Message");
    InputMode = 0;
    recorder_.shown.clear();

    // Home Theatre over the Stereo panes: pane 2 is empty, so the sequence ends after "FL OK".
    pr_file->tail.SystemConfiguration = 1;
    Command(panel, IDC_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return !recorder_.shown.empty(); }, 6000));
    EXPECT_EQ(ItemText(panel, 60), "FL OK");
    EXPECT_EQ(ItemText(panel, 61), "CC");
    EXPECT_EQ(ItemText(panel, 62), "FR");
    Sleep(3500);
    Pump();
    EXPECT_NE(Title(panel), kCaptureErrorTitle);  // nothing was launched
}

// A thread of the last run, still finishing its block when Play is pressed: it lives `ms` and notes whether
// the filter banks it reads changed while it lived.
class LingeringRun {
public:
    explicit LingeringRun(DWORD ms) {
        watched_[0] = kMark;
        ProgramEngine().Threads[kConvolutionLow] = StartThread(
            [this, end = GetTickCount() + ms] {
                while (GetTickCount() < end)
                    if (std::atomic_ref<float>(watched_[0]).load() != kMark) changed_ = true;
            },
            ThreadPriority::Normal);
    }
    ~LingeringRun() { JoinEngineThreads(ProgramEngine(), 5000); }
    bool ChangedWhileItLived() const { return changed_.load(); }
    bool Rebuilt() const { return watched_[0] != kMark; }

private:
    static constexpr float kMark = 1.25e30f;
    float* watched_ = FilterPartitionBank[0][0][0];
    std::atomic<bool> changed_{false};
};

// Each panel's Play waits for the threads of the last run before it rebuilds the banks they read.
TEST_F(PanelSession, EveryPanelsPlayWaitsForTheLastRunBeforeItRebuildsTheBanks) {
    UseFakeEngine();  // with the program's own wait for the last run; nothing streams
    HWND panel = DesignPlayerPanelWindow;
    Command(panel, IDC_FRONT_LEFT);
    Command(panel, IDC_FRONT_RIGHT);
    for (int round = 0; round < 3; ++round) {
        if (round == 1) panel = OpenPlayerPanel();
        if (round == 2) {
            SendMessageA(FrameWindow, WM_COMMAND, IDM_WAVE_PLAYER_MODE, 0);
            panel = WavPlayerPanelWindow;
        }
        ASSERT_NE(panel, nullptr) << round;
        LingeringRun run(round == 1 ? 3500 : 1500);  // the Player Control panel recomputes 2 s after Play
        Command(panel, IDC_PLAY);
        ASSERT_TRUE(PumpUntil([&] { return run.Rebuilt(); }, 8000)) << round;
        EXPECT_FALSE(run.ChangedWhileItLived()) << round;
        Command(panel, IDC_STOP);
        EngineRunning = 0;
    }
    EXPECT_TRUE(recorder_.shown.empty());
}

TEST_F(PanelSession, PlayerPanelDigitKeyLoadsAndPlaysTheProfile) {
    const std::string path = (folder_ / "living room.HIF").string();
    MessageList messages;
    MirroredSettings settings = GatherMirroredSettings();
    pr_file->tail.BbmGain = 0.25f;
    ASSERT_EQ(WriteProjectFile(path, GlobalProjectContext(&settings), &messages), 1);
    pr_file->tail.BbmGain = 0.5f;
    std::strcpy(Preferences->ProfileSlots[1], path.c_str());
    HWND panel = OpenPlayerPanel();
    ASSERT_NE(panel, nullptr);
    Key(panel, WM_KEYDOWN, VK_UP);
    Key(panel, WM_KEYDOWN, '2');
    ASSERT_TRUE(PumpUntil([&] { return ItemText(panel, IDC_PROFILE_NAME) == "living room.HIF"; }, 6000));
    EXPECT_EQ(Title(FrameWindow), "Halvane Equalizer V9.0 - DIGITAL - 8P - " + path);
    EXPECT_STREQ(Preferences->LastProjectPath, path.c_str());
    EXPECT_EQ(pr_file->tail.VolumePosition, 9);
    EXPECT_EQ(Title(panel), "BBM -12.0dB ");
    // Then recomputed and launched without the checks.
    ASSERT_TRUE(PumpUntil([&] { return ItemText(panel, 62) == "FR OK"; }, 6000));
    ASSERT_TRUE(PumpUntil([&] { return Title(panel) == kCaptureErrorTitle; }, 8000));
    EXPECT_TRUE(recorder_.shown.empty());
}

TEST_F(PanelSession, BothPanelsRefuseTheSameQuadroInputModeByName) {
    // Quadro plays from two, six or eight inputs on either panel; the twelve-input mode is refused by both,
    // with the mode named, before anything is recomputed.
    SendMessageA(FrameWindow, WM_COMMAND, IDM_BLANK_QUADRO, 0);
    ASSERT_EQ(pr_file->tail.SystemConfiguration, 2u);
    UseFakeEngine();
    HWND design = DesignPlayerPanelWindow;
    ASSERT_NE(design, nullptr);
    auto play = [&](HWND panel, uint32_t input_mode) {
        InputMode = input_mode;
        recorder_.shown.clear();
        Command(panel, IDC_PLAY);
        return recorder_.shown.empty() ? std::string() : recorder_.shown[0].text;
    };
    EXPECT_EQ(play(design, 1), "Unable To Process 12 Inputs In QUADRO Mode");
    for (uint32_t mode : {2u, 3u}) EXPECT_NE(play(design, mode), "Unable To Process 12 Inputs In QUADRO Mode") << mode;
    HWND player = OpenPlayerPanel();
    ASSERT_NE(player, nullptr);
    ASSERT_EQ(pr_file->tail.SystemConfiguration, 2u);
    EXPECT_EQ(play(player, 1), "Unable To Process 12 Inputs In QUADRO Mode");
    for (uint32_t mode : {0u, 2u, 3u}) EXPECT_EQ(play(player, mode), "") << mode;  // the recompute follows later
    KillTimer(player, 5040);
    InputMode = 0;
}

TEST_F(PanelSession, AProfileKeyStartsQuietAndUpStepsFromPositionNine) {
    // A profile saved at 0 dB: after the digit key the record, the bar, the gain and its text all stand at
    // position 9, and Up goes to 12 (-39 dB), not to 54 (+3 dB).
    const std::string path = (folder_ / "loud.HIF").string();
    pr_file->tail.VolumePosition = 51;
    pr_file->tail.PhaseMode = 1;
    MessageList messages;
    MirroredSettings settings = GatherMirroredSettings();
    ASSERT_EQ(WriteProjectFile(path, GlobalProjectContext(&settings), &messages), 1);
    pr_file->tail.PhaseMode = 0;
    std::strcpy(Preferences->ProfileSlots[2], path.c_str());
    for (bool player : {false, true}) {
        HWND panel = player ? OpenPlayerPanel() : DesignPlayerPanelWindow;
        ASSERT_NE(panel, nullptr);
        SendMessageA(panel, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(GetDlgItem(panel, IDC_VOLUME)));
        ASSERT_TRUE(Checked(panel, IDC_LIN_PH));
        Key(panel, WM_KEYDOWN, '3');
        ASSERT_TRUE(PumpUntil([&] { return std::string(Preferences->LastProjectPath) == path; }, 6000)) << player;
        Pump();
        EXPECT_EQ(pr_file->tail.VolumePosition, 9) << player;
        EXPECT_EQ(GetScrollPos(GetDlgItem(panel, IDC_VOLUME), SB_CTL), 9) << player;
        EXPECT_FLOAT_EQ(LiveShared.MasterGain.load(), static_cast<float>(std::pow(10.0, (9 - 51) * 0.05)));
        EXPECT_TRUE(Checked(panel, IDC_MIN_PH)) << player;  // the file's phase mode, and its radios
        EXPECT_FALSE(Checked(panel, IDC_LIN_PH)) << player;
        char text[64];
        FormatGainText(text, sizeof text);
        EXPECT_STREQ(text, "Gain = -42dB (0.008)    ");
        Key(panel, WM_KEYDOWN, VK_UP);
        EXPECT_EQ(pr_file->tail.VolumePosition, 12) << player;
        EXPECT_EQ(GetScrollPos(GetDlgItem(panel, IDC_VOLUME), SB_CTL), 12) << player;
        EXPECT_FLOAT_EQ(LiveShared.MasterGain.load(), static_cast<float>(std::pow(10.0, (12 - 51) * 0.05)));
        // The chain or the recompute that follows a reload is not this test's: stop it here.
        KillTimer(FrameWindow, kAutostartFirstChannelTimer);
        KillTimer(panel, 5040);
        std::strcpy(Preferences->LastProjectPath, "");
        pr_file->tail.PhaseMode = 0;
        SetPhaseBoxes(panel, 0);
    }
}

TEST_F(PanelSession, PlayerPanelKeysUseTheirOwnCeilingAndReadout) {
    HWND panel = OpenPlayerPanel();
    ASSERT_NE(panel, nullptr);
    SendMessageA(panel, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(GetDlgItem(panel, IDC_VOLUME)));
    EXPECT_EQ(pr_file->tail.VolumePosition, 66);
    Key(panel, WM_KEYDOWN, VK_UP);
    EXPECT_EQ(pr_file->tail.VolumePosition, 63);
    Key(panel, WM_KEYDOWN, VK_RIGHT);
    EXPECT_EQ(Title(panel), "REAR 3,4,5,6 2 UP");
    Key(panel, WM_CHAR, 'm');
    EXPECT_TRUE(Checked(panel, IDC_MIN_PH));
    EXPECT_FALSE(Checked(panel, IDC_LIN_PH));
}

TEST_F(PanelSession, CopySpeakerDialogCopiesAndCancelRestores) {
    HWND panel = DesignPlayerPanelWindow;
    CopySelection = CopySpeakerSelection{};
    HWND dialog = CreateDialogParamA(AppInstance, "Halvane_Linearizer_Copy_Speaker", panel, CopySpeakerDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Title(dialog), "Copy Speaker Control");
    EXPECT_TRUE(Checked(dialog, 4950));
    EXPECT_TRUE(Checked(dialog, 4960));
    Command(dialog, 4952);  // Front Right
    EXPECT_TRUE(Checked(dialog, 4952));
    EXPECT_FALSE(Checked(dialog, 4950));
    Command(dialog, IDCANCEL);
    DestroyWindow(dialog);
    EXPECT_EQ(CopySourcePane(CopySelection), 1);

    // Front Right onto Rear Left, while pane 1 is active: pane 4 gets pane 3, the WorkingNetwork stays.
    ActivePane = 1;
    LoadPaneNetwork(*PaneRecords[0], WorkingNet);
    const uint32_t activeCount = WorkingNet->element_count;
    dialog = CreateDialogParamA(AppInstance, "Halvane_Linearizer_Copy_Speaker", panel, CopySpeakerDialogProc, 0);
    Command(dialog, 4952);
    Command(dialog, 4963);
    Command(dialog, IDOK);
    DestroyWindow(dialog);
    EXPECT_EQ(std::memcmp(PaneRecords[3], PaneRecords[2], sizeof(PaneRecord)), 0);
    EXPECT_EQ(WorkingNet->element_count, activeCount);
}

TEST_F(PanelSession, PlotAndToneDialogs) {
    HWND panel = DesignPlayerPanelWindow;
    for (uint32_t& f : CurveViewFlags) f = 1;
    HWND plots = CreateDialogParamA(AppInstance, "Halvane_Linearizer_Plots", panel, LinearizerPlotsDialogProc, 0);
    ASSERT_NE(plots, nullptr);
    EXPECT_EQ(Title(plots), "Plot Control");
    Command(plots, 4801);
    Command(plots, 4805);
    Command(plots, 4812);
    EXPECT_EQ(CurveViewFlags[0], 0u);
    EXPECT_EQ(CurveViewFlags[5], 0u);
    EXPECT_FALSE(Checked(plots, 4812));
    Command(plots, IDCANCEL);
    DestroyWindow(plots);
    for (uint32_t f : CurveViewFlags) EXPECT_EQ(f, 1u);

    TestTone.Frequency.store(0.0f);
    HWND tones = CreateDialogParamA(AppInstance, "Halvane_Linearizer_Test_Tones", panel, TestTonesDialogProc, 0);
    ASSERT_NE(tones, nullptr);
    EXPECT_EQ(TestTone.Frequency.load(), 1000.0f);
    HWND list = GetDlgItem(tones, IDC_TONE_PORT);
    EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 18);
    SendMessageA(list, CB_SETCURSEL, 17, 0);
    SendMessageA(tones, WM_COMMAND, MAKEWPARAM(IDC_TONE_PORT, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(TestTone.Channel.load(), 17);
    SetDlgItemTextA(tones, IDC_TONE_FREQUENCY, "440");
    SendMessageA(tones, WM_COMMAND, MAKEWPARAM(IDC_TONE_FREQUENCY, EN_CHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(tones, IDC_TONE_FREQUENCY)));
    EXPECT_EQ(TestTone.Frequency.load(), 440.0f);
    SetDlgItemTextA(tones, IDC_TONE_FREQUENCY, "inf");  // the edit's own change notice reads it
    EXPECT_EQ(TestTone.Frequency.load(), 440.0f);
    recorder_.shown.clear();
    ShowWindow(tones, SW_SHOWNA);
    Command(tones, IDOK);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Test Tone Frequency Is Out Of Range");
    EXPECT_TRUE(IsWindowVisible(tones));  // Done stays open
    Command(tones, IDCANCEL);
    DestroyWindow(tones);
    EXPECT_EQ(TestTone.Channel.load(), 17);  // Cancel undoes nothing
    SetTestToneChannel(&TestTone, 0);
}

TEST_F(PanelSession, ClearPlotsHidesEveryCurve) {
    HWND panel = DesignPlayerPanelWindow;
    Command(panel, IDC_FRONT_LEFT);
    Command(panel, IDC_CLEAR_PLOTS);
    for (int c = 0; c < kPlotCurveSlots; ++c) ASSERT_EQ(PlotCurveTable[c].Visible, 0.0f) << c;
    EXPECT_EQ(OutputSpectrum[0][0], 0.0f);
    EXPECT_EQ(PhaseReferenceSpectrum[0][2 * 65535], 1e-7f);
    EXPECT_EQ(PhaseReferenceSpectrum[0][1], 0.0f);
}

TEST_F(PanelSession, MetersDrawTheirBars) {
    HWND panel = DesignPlayerPanelWindow;
    HWND meter = GetDlgItem(panel, IDC_OUTPUT_METER);
    float values[16] = {};
    values[0] = 2010624000.0f;
    DrawOutputMeters(meter, values);
    RECT rc;
    GetClientRect(meter, &rc);
    HDC dc = GetDC(meter);
    const COLORREF bar = GetPixel(dc, rc.left + 4, rc.bottom - 50);
    const COLORREF clip = GetPixel(dc, rc.left + 4, rc.bottom - 180);
    const COLORREF quiet = GetPixel(dc, rc.left + 12, rc.bottom - 50);
    ReleaseDC(meter, dc);
    if (bar == CLR_INVALID) GTEST_SKIP() << "no readable screen";
    EXPECT_EQ(bar, RGB(128, 0, 128));  // output 1: the default CABS sub, purple
    EXPECT_GE(rc.bottom, 184) << "the meter is shorter than its full bar";
    if (rc.bottom >= 184) {
        EXPECT_EQ(clip, RGB(192, 0, 0));
    }
    EXPECT_NE(quiet, RGB(255, 0, 255));  // output 2 shows only its stub
}

TEST_F(PanelSession, WavSaveRecord) {
    PrepareWavSaveDialog(FrameWindow);
    EXPECT_EQ(WavSaveDialogRecord.lStructSize, sizeof(OPENFILENAMEA));
    EXPECT_EQ(WavSaveDialogRecord.hwndOwner, FrameWindow);
    EXPECT_EQ(std::memcmp(WavSaveDialogRecord.lpstrFilter, "Wave Files (*.wav)\0*.wav\0\0", 26), 0);
    EXPECT_EQ(WavSaveDialogRecord.nMaxFile, 2048u);
    EXPECT_EQ(WavSaveDialogRecord.nMaxFileTitle, 2048u);
    EXPECT_STREQ(WavSaveDialogRecord.lpstrDefExt, "*.*");
    EXPECT_EQ(WavSaveDialogRecord.Flags, 0u);
    EXPECT_EQ(WavSaveDialogRecord.lpstrFile, nullptr);
    const FilePickerDescription p = WavSavePicker();
    EXPECT_TRUE(p.for_save);
    EXPECT_TRUE(p.create_prompt);
    EXPECT_TRUE(p.hide_read_only);
}

TEST_F(PanelSession, ClosingThePanelReleasesItsHookAndReopens) {
    HWND panel = DesignPlayerPanelWindow;
    SendMessageA(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(DesignPlayerPanelWindow, nullptr);
    EXPECT_FALSE(IsWindow(panel));
    ShowDesignPanel(FrameWindow);
    ASSERT_NE(DesignPlayerPanelWindow, nullptr);
    Key(DesignPlayerPanelWindow, WM_CHAR, 'm');
    EXPECT_EQ(Title(DesignPlayerPanelWindow), "Minimum Phase");
}

TEST_F(PanelSession, ClosingWhileTheEngineRunsStopsAndJoinsBeforeReleasingOnce) {
    UseFakeEngine();
    HWND panel = DesignPlayerPanelWindow;
    EngineRunning = 1;
    SendMessageA(panel, WM_CLOSE, 0, 0);
    ASSERT_GE(fake_.calls.size(), 3u);
    EXPECT_EQ(fake_.calls[0], "stop");
    EXPECT_EQ(fake_.calls[1], "join");
    EXPECT_EQ(fake_.calls[2], "release");
    EXPECT_EQ(fake_.releases, 1);  // WM_DESTROY after WM_CLOSE releases nothing twice
    EXPECT_EQ(EngineRunning.load(), 0);
}

TEST_F(PanelSession, DesignPanelPlayStopTidyUpAndRecording) {
    UseFakeEngine();
    HWND panel = DesignPlayerPanelWindow;
    Command(panel, IDC_FRONT_LEFT);
    Command(panel, IDC_FRONT_RIGHT);
    ASSERT_TRUE(recorder_.shown.empty());
    Command(panel, IDC_RE_RECORD);
    EXPECT_EQ(RecordOutputChoice.load(), 1);
    Command(panel, IDC_PLAY);
    EXPECT_EQ(Count(fake_.calls, "prepare-recording"), 1);
    ASSERT_TRUE(PumpUntil([&] { return EngineRunning.load() == 1; }, 6000));
    EXPECT_EQ(ItemText(panel, IDC_DEL_TEXT), "Del=0");
    // The meters follow the published peaks.
    ASSERT_TRUE(PumpUntil([&] { return fake_.peakPolls > 0; }, 2000));
    // Play while running does nothing; the live keys reach the engine.
    Command(panel, IDC_PLAY);
    Key(panel, WM_KEYDOWN, VK_DOWN);
    EXPECT_GT(fake_.publishes, 0);
    EXPECT_EQ(pr_file->tail.VolumePosition, 6);

    const std::string wav = (folder_ / "take.wav").string();
    SetFilePickerHook([wav](const FilePickerDescription& d, char* path, char*) {
        EXPECT_EQ(d.filters.at(0).first, "Wave Files (*.wav)");
        std::strcpy(path, wav.c_str());
        return true;
    });
    Command(panel, IDC_STOP);
    EXPECT_EQ(EngineRunning.load(), 0);
    ASSERT_TRUE(PumpUntil([&] { return !fake_.savedPath.empty(); }, 3000));
    EXPECT_EQ(fake_.savedPath, wav);
    EXPECT_EQ(pr_file->tail.VolumePosition, 9);
    EXPECT_EQ(Count(fake_.calls, "start"), 1);
    // STOP while stopped does nothing.
    Command(panel, IDC_STOP);
    EXPECT_EQ(Count(fake_.calls, "stop"), 1);
}

TEST_F(PanelSession, ARecordingWhoseSaveFailedIsOfferedAgainAndSaved) {
    // The program's recording and its WAV writer; the fake engine streams nothing.
    g_fake = &fake_;
    EngineControl e = FakeEngineControl();
    e.hasRecording = nullptr;
    e.saveRecording = nullptr;
    SetEngineControl(e);
    HWND panel = DesignPlayerPanelWindow;
    Command(panel, IDC_FRONT_LEFT);
    Command(panel, IDC_FRONT_RIGHT);
    ASSERT_TRUE(recorder_.shown.empty());
    Command(panel, IDC_RE_RECORD);
    Command(panel, IDC_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return EngineRunning.load() == 1; }, 6000));
    // Two chunks recorded while the engine ran.
    RecordingPool& pool = ProgramRecording();
    ASSERT_EQ(AllocateRecordingPool(&pool, 4), 0);
    for (int c = 0; c < 2; ++c)
        for (int w = 0; w < kRecordChunkBytes / 4; ++w) pool.RecordedWav[c][w] = (c * 10000 + w) * 256;
    pool.Count = 2;

    // The first place cannot be written; the picker comes again with the recording still there.
    const std::string blocked = (folder_ / "no-such-folder" / "take.wav").string();
    const std::string good = (folder_ / "take.wav").string();
    int asked = 0;
    SetFilePickerHook([&](const FilePickerDescription&, char* path, char*) {
        ++asked;
        if (asked == 1) {
            std::strcpy(path, blocked.c_str());
        } else {
            EXPECT_TRUE(RecordingToSave(ProgramRecording()));
            std::strcpy(path, good.c_str());
        }
        return true;
    });
    Command(panel, IDC_STOP);
    ASSERT_TRUE(PumpUntil([&] { return asked >= 2 && !RecordingToSave(ProgramRecording()); }, 5000));
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Failed to open file");
    std::ifstream f(good, std::ios::binary);
    const std::string wav((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_EQ(wav.size(), 68u + 2u * kRecordChunkBytes);
    int32_t word = 0;
    std::memcpy(&word, wav.data() + 68 + kRecordChunkBytes + 4 * 5, 4);
    EXPECT_EQ(word, (10000 + 5) * 256);

    // Cancelling the picker drops the recording.
    RecordOutputChoice = 1;
    SetFilePickerHook([](const FilePickerDescription&, char*, char*) { return false; });
    Command(panel, IDC_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return EngineRunning.load() == 1; }, 6000));
    ASSERT_EQ(AllocateRecordingPool(&pool, 2), 0);
    pool.Count = 1;
    Command(panel, IDC_STOP);
    ASSERT_TRUE(PumpUntil([&] { return !RecordingToSave(ProgramRecording()); }, 5000));
    EXPECT_EQ(ProgramRecording().RecordedWav, nullptr);
}

// The program's recording and WAV writer behind the fake engine, the box ticked and the engine running with one
// chunk recorded; the picker answers `path` and counts its calls.
class RecordingSession : public PanelSession {
protected:
    void PlayAndRecordOneChunk() {
        wav_ = (folder_ / "kept.wav").string();
        g_fake = &fake_;
        EngineControl e = FakeEngineControl();
        e.hasRecording = nullptr;
        e.saveRecording = nullptr;
        SetEngineControl(e);
        panel_ = DesignPlayerPanelWindow;
        Command(panel_, IDC_FRONT_LEFT);
        Command(panel_, IDC_FRONT_RIGHT);
        ASSERT_TRUE(recorder_.shown.empty());
        Command(panel_, IDC_RE_RECORD);
        Command(panel_, IDC_PLAY);
        ASSERT_TRUE(PumpUntil([&] { return EngineRunning.load() == 1; }, 6000));
        RecordingPool& pool = ProgramRecording();
        ASSERT_EQ(AllocateRecordingPool(&pool, 2), 0);
        for (int w = 0; w < kRecordChunkBytes / 4; ++w) pool.RecordedWav[0][w] = (w + 3) * 256;
        pool.Count = 1;
        SetFilePickerHook([this](const FilePickerDescription&, char* path, char*) {
            ++asked_;
            std::strcpy(path, wav_.c_str());
            return true;
        });
    }
    // The file holds the chunk recorded.
    void ExpectSaved() {
        std::ifstream f(wav_, std::ios::binary);
        const std::string wav((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        ASSERT_EQ(wav.size(), 68u + kRecordChunkBytes);
        int32_t word = 0;
        std::memcpy(&word, wav.data() + 68 + 4 * 7, 4);
        EXPECT_EQ(word, 10 * 256);
    }
    HWND panel_ = nullptr;
    int asked_ = 0;
    std::string wav_;
};

// Unticking "Re-Record" during the run stops the recording; STOP still offers what was recorded.
TEST_F(RecordingSession, UntickingReRecordDuringTheRunKeepsWhatWasRecorded) {
    PlayAndRecordOneChunk();
    Command(panel_, IDC_RE_RECORD);
    ASSERT_EQ(RecordOutputChoice.load(), 0);
    Command(panel_, IDC_STOP);
    ASSERT_TRUE(PumpUntil([&] { return asked_ >= 1 && !RecordingToSave(ProgramRecording()); }, 5000));
    EXPECT_EQ(asked_, 1);
    ExpectSaved();
}

// A run that ended on a device failure leaves STOP nothing to do: the next Play offers the recording before it
// arms a new one.
TEST_F(RecordingSession, ARecordingLeftByARunThatFailedIsOfferedAtTheNextPlay) {
    PlayAndRecordOneChunk();
    EngineRunning = 0;  // as the capture thread leaves on a failure
    Command(panel_, IDC_STOP);
    Pump();
    EXPECT_EQ(asked_, 0);
    ASSERT_TRUE(RecordingToSave(ProgramRecording()));
    Command(panel_, IDC_PLAY);
    EXPECT_EQ(asked_, 1);
    EXPECT_FALSE(RecordingToSave(ProgramRecording()));
    ExpectSaved();
    ASSERT_TRUE(PumpUntil([&] { return EngineRunning.load() == 1; }, 6000));
    Command(panel_, IDC_STOP);
    ASSERT_TRUE(PumpUntil([&] { return Count(fake_.calls, "join") >= 1; }, 3000));
    EXPECT_EQ(asked_, 1);
}

TEST_F(PanelSession, DesignPanelPlayRecomputesAFailedPaneAndStopsThere) {
    UseFakeEngine();
    HWND panel = DesignPlayerPanelWindow;
    Command(panel, IDC_FRONT_LEFT);
    ClearPaneRecord(PaneRecords[2]);  // Front Right loses its network
    Command(panel, IDC_FRONT_RIGHT);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_TRUE(PaneRecomputeFailed(3));
    recorder_.shown.clear();
    Command(panel, IDC_PLAY);
    ASSERT_EQ(recorder_.shown.size(), 1u);  // the failure is shown again, Play goes no further
    Sleep(3300);
    Pump();
    EXPECT_EQ(Count(fake_.calls, "start"), 0);
}

// Keys the user meant for a list, a menu, a message box or an edit field pass by the live keys untouched and
// reach their window; the same keys on the panel still act.
int g_listDeletes = 0;
WNDPROC g_listProc = nullptr;
LRESULT CALLBACK CountListDeletes(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_KEYDOWN && wp == VK_DELETE) ++g_listDeletes;
    return CallWindowProcA(g_listProc, w, m, wp, lp);
}
void CALLBACK EndStuckMenu(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }
void CALLBACK KeysIntoMessageBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowA("#32770", "Key Test");
    if (!box) return;
    KillTimer(nullptr, id);
    for (WPARAM vk : {VK_UP, VK_UP, VK_DELETE, VK_END, VK_PRIOR, VK_ESCAPE}) PostMessageA(box, WM_KEYDOWN, vk, 1);
}

TEST_F(PanelSession, LiveKeysTakeOnlyTheKeysMeantForTheirPanel) {
    SendMessageA(FrameWindow, WM_COMMAND, IDM_WAVE_PLAYER_MODE, 0);
    Pump();
    HWND panel = WavPlayerPanelWindow, editor = PlaylistEditorWindow;
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(editor, nullptr);
    auto press = [](HWND window, UINT message, WPARAM code) {
        PostMessageA(window, message, code, 1);
        Pump();
    };
    auto trim = [](int output) { return LiveShared.ChannelTrims[output - 1].load(); };
    ASSERT_EQ(pr_file->tail.VolumePosition, 9);
    press(panel, WM_KEYDOWN, VK_INSERT);  // Sub 1 and 2 down 2 dB, for the Escape cases below
    ASSERT_EQ(Title(panel), "SUB 1, 2, -2.0 DOWN");
    const float sub = trim(1), bbm = pr_file->tail.BbmGain;

    // In the playlist editor's song list: Up scrolls, Delete and End are the list's.
    HWND list = GetDlgItem(editor, IDC_PLAYLIST_VIEW);
    g_listDeletes = 0;
    g_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountListDeletes)));
    const UINT both = LVIS_FOCUSED | LVIS_SELECTED;
    ListView_SetItemState(list, 5, both, both);
    for (int i = 0; i < 3; ++i) press(list, WM_KEYDOWN, VK_UP);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), 2);
    for (int i = 0; i < 3; ++i) press(list, WM_KEYDOWN, VK_DELETE);
    EXPECT_EQ(g_listDeletes, 3);
    press(list, WM_KEYDOWN, VK_END);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), kPlaylistSlots - 1);
    SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
    EXPECT_EQ(Playlist.SongsTotal, 0u);  // the list itself deletes nothing

    // Escape closing the frame's File menu, typed with the focus in the frame and in the panel.
    HMENU file = GetSubMenu(GetMenu(FrameWindow), 0);
    ASSERT_NE(file, nullptr);
    for (HWND focus : {FrameWindow, panel}) {
        PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 1);
        const UINT_PTR guard = SetTimer(nullptr, 0, 3000, EndStuckMenu);
        TrackPopupMenu(file, TPM_LEFTALIGN | TPM_RETURNCMD, 10, 10, 0, FrameWindow, nullptr);
        KillTimer(nullptr, guard);
        Pump();
    }

    // Keys for a message box, the last of them closing it.
    SetTimer(nullptr, 0, 30, KeysIntoMessageBox);
    MessageBoxA(FrameWindow, "keys", "Key Test", MB_OK);

    // Typing into an edit field on the panel.
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 60, 20, panel, nullptr, AppInstance, nullptr);
    press(edit, WM_KEYDOWN, VK_UP);
    press(edit, WM_KEYDOWN, VK_DELETE);
    press(edit, WM_CHAR, 'm');
    EXPECT_EQ(Title(edit), "m");  // the letter went into the field
    DestroyWindow(edit);

    EXPECT_EQ(pr_file->tail.VolumePosition, 9);
    EXPECT_EQ(trim(1), sub);
    EXPECT_EQ(trim(2), sub);
    for (int o : {7, 8, 9}) EXPECT_EQ(trim(o), 1.0f) << o;
    EXPECT_EQ(pr_file->tail.BbmGain, bbm);
    EXPECT_EQ(pr_file->tail.PhaseMode, 0);
    EXPECT_EQ(Title(panel), "SUB 1, 2, -2.0 DOWN");

    // The same keys on the panel and its controls: three Ups from 9 reach 18, three Deletes take Sub 1 from
    // -2 dB to +4 dB, End lifts the tweeters 1 dB, Escape resets.
    for (int i = 0; i < 3; ++i) press(panel, WM_KEYDOWN, VK_UP);
    EXPECT_EQ(pr_file->tail.VolumePosition, 18);
    HWND play = GetDlgItem(panel, IDC_PLAY);
    for (int i = 0; i < 3; ++i) press(play, WM_KEYDOWN, VK_DELETE);
    EXPECT_NEAR(trim(1), std::pow(10.0, 4.0 / 20), 1e-5);
    press(play, WM_KEYDOWN, VK_END);
    EXPECT_NEAR(trim(7), std::pow(10.0, 1.0 / 20), 1e-5);
    press(panel, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(Title(panel), "SUB 1, 2, 0.0 RESET");
    EXPECT_EQ(trim(1), 1.0f);
    EXPECT_EQ(WavPlayerPanelWindow, panel);  // Escape leaves the panel open
}

}  // namespace
