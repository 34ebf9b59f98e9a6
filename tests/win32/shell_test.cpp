// The frame's commands driven as a user drives them: presets and their splitters, guards, project files
// through the pickers, and the autostart chain against a panel that records what it is sent.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/autostart.h"
#include "app/command_ids.h"
#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/window_registry.h"
#include "app_session.h"
#include "cursor_watch.h"
#include "screen_capture.h"
#include "design/design_presets.h"

namespace {

std::vector<WPARAM> g_panelCommands;

LRESULT CALLBACK RecordingPanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        g_panelCommands.push_back(wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Stands in for the design panel: a plain window that records the commands it receives.
HWND CreateRecordingPanel(HWND owner) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingPanelProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "RecordingPanel";
        RegisterClassA(&wc);
        registered = true;
    }
    return CreateWindowA("RecordingPanel", "panel", WS_POPUP, 0, 0, 10, 10, owner, nullptr, GetModuleHandleA(nullptr),
                         nullptr);
}

std::set<std::string> ChildClasses(HWND parent) {
    std::set<std::string> classes;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(c, name, sizeof name);
        classes.insert(name);
    }
    return classes;
}

std::set<std::string> PaneClassesOf(std::initializer_list<int> panes) {
    std::set<std::string> s;
    for (int p : panes) s.insert("Pane " + std::to_string(p));
    return s;
}

// Saves the screen as a BMP when the run asks for screenshots (HV_SCREENSHOT_DIR).
void MaybeScreenshot(const char* name, HWND front) {
    const char* dir = std::getenv("HV_SCREENSHOT_DIR");
    if (!dir || !*dir) return;
    // The stand-in panel is no part of the picture; the window shown is brought to the front.
    if (DesignPlayerPanelWindow) ShowWindow(DesignPlayerPanelWindow, SW_HIDE);
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(front), 0);
    RedrawWindow(FrameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    UpdateWindow(FrameWindow);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    SaveScreen(name);
}

class ShellSession : public AppSession {
protected:
    void SetUp() override {
        AppSession::SetUp();
        g_panelCommands.clear();
        Dialogs.designPanel = CreateRecordingPanel;
        ASSERT_TRUE(Start());
        ShowWindow(FrameWindow, SW_SHOW);
        recorder_.shown.clear();
    }
    void TearDown() override {
        SetFilePickerHook(nullptr);
        Dialogs = DialogCreators{};
        AppSession::TearDown();
        // The stand-in panel does not clear its handle when it goes, as the real one does.
        DesignPlayerPanelWindow = nullptr;
    }
    void Command(int id) { SendMessageA(FrameWindow, WM_COMMAND, id, 0); }
    // Pumps messages until `done` or the time-out.
    template <typename Done>
    bool PumpUntil(Done done, DWORD timeoutMs) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs) return false;
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            Sleep(5);
        }
        return true;
    }
    void AnswerPickerWith(const std::string& path) {
        SetFilePickerHook([path](const FilePickerDescription&, char* p, char* title) {
            std::strcpy(p, path.c_str());
            std::strcpy(title, std::filesystem::path(path).filename().string().c_str());
            return true;
        });
    }
};

}  // namespace

TEST_F(ShellSession, EveryPresetOpensItsSplitterWithItsPanes) {
    struct Expect {
        int id;
        SplitterKind splitter;
        std::set<std::string> panes;
        uint32_t configuration;
    };
    const std::vector<Expect> cases = {
        {IDM_STEREO_2X2, SplitterKind::Stereo, PaneClassesOf({1, 3}), 0},
        {IDM_HT1, SplitterKind::HomeTheatre, PaneClassesOf({1, 2, 3, 4, 5, 6}), 1},
        {IDM_BLANK_QUADRO, SplitterKind::Quadro, PaneClassesOf({1, 3, 4, 6}), 2},
        {IDM_BBM_HT2, SplitterKind::Bbm52, PaneClassesOf({1, 2, 3, 4, 5, 6, 7}), 3},
        {IDM_HT72_BBM, SplitterKind::Bbm72, PaneClassesOf({1, 2, 3, 4, 5, 6, 7, 8, 9}), 4},
        {IDM_HT72_BBM_CABS, SplitterKind::Bbm72, PaneClassesOf({1, 2, 3, 4, 5, 6, 7, 8, 9}), 5},
        {IDM_STEREO_2X2_SUBS, SplitterKind::Bbm22, PaneClassesOf({1, 3, 5, 7}), 6},
    };
    for (const Expect& c : cases) {
        Command(c.id);
        HWND splitter = SplitterWindows[static_cast<int>(c.splitter)];
        ASSERT_NE(splitter, nullptr) << c.id;
        char cls[32] = {};
        GetClassNameA(splitter, cls, sizeof cls);
        EXPECT_STREQ(cls, InfoOf(c.splitter).className) << c.id;
        EXPECT_EQ(ChildClasses(splitter), c.panes) << c.id;
        EXPECT_EQ(pr_file->tail.SystemConfiguration, c.configuration) << c.id;
        // Only the preset's own splitter stays open.
        for (int k = 0; k < kSplitterKinds; ++k) {
            if (k != static_cast<int>(c.splitter)) {
                EXPECT_EQ(SplitterWindows[k], nullptr) << c.id << " kind " << k;
            }
        }
        EXPECT_NE(SplPlotWindow, nullptr) << c.id;
        EXPECT_NE(DesignPlayerPanelWindow, nullptr) << c.id;
        if (c.id == IDM_HT72_BBM) {
            EXPECT_EQ(BassMode, 1u);
            MaybeScreenshot("splitter-7.2-bbm", splitter);
        }
        if (c.id == IDM_HT72_BBM_CABS) {
            EXPECT_EQ(BassMode, 3u);
        }
        if (c.id == IDM_STEREO_2X2) MaybeScreenshot("splitter-stereo", splitter);
    }
    // Panes 5 and 7 of the 7.2 window share the middle column, side by side.
    RECT r5, r7;
    GetWindowRect(PaneWindows[5], &r5);
    GetWindowRect(PaneWindows[7], &r7);
    EXPECT_LT(r5.right, r7.left);
    EXPECT_EQ(r5.top, r7.top);
}

TEST_F(ShellSession, GuardedCommandsDoNothingWhileTheEngineRuns) {
    Command(IDM_HT1);
    ASSERT_EQ(pr_file->tail.SystemConfiguration, 1u);
    EngineRunning = 1;
    Command(IDM_STEREO_2X2);
    Command(IDM_OPEN_PROJECT);
    Command(IDM_PREFERENCES);
    Command(IDM_EXIT);
    EngineRunning = 0;
    EXPECT_EQ(pr_file->tail.SystemConfiguration, 1u);
    EXPECT_NE(SplitterWindows[static_cast<int>(SplitterKind::HomeTheatre)], nullptr);
    EXPECT_EQ(PreferencesWindow, nullptr);
    EXPECT_TRUE(recorder_.shown.empty());
    // Position IR Windows has no guard.
    EngineRunning = 1;
    Command(IDM_POSITION_IR);
    EngineRunning = 0;
    EXPECT_NE(IrChildWindow, nullptr);
    EXPECT_NE(IrSplChildWindow, nullptr);
}

TEST_F(ShellSession, WindowListCommandsWorkWhileTheEngineRunsOrAPlayerIsOpen) {
    Command(IDM_STEREO_2X2);
    HWND splitter = SplitterWindows[static_cast<int>(SplitterKind::Stereo)];
    ASSERT_NE(splitter, nullptr);
    ASSERT_NE(SplPlotWindow, nullptr);
    auto active = [] { return reinterpret_cast<HWND>(SendMessageA(MdiClientWindow, WM_MDIGETACTIVE, 0, 0)); };
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(SplPlotWindow), 0);
    ASSERT_EQ(active(), SplPlotWindow);
    // The File menu's window list names each child by its id (from 40): choosing it activates the child.
    EngineRunning = 1;
    Command(GetDlgCtrlID(splitter));
    EngineRunning = 0;
    EXPECT_EQ(active(), splitter);
    HWND player = CreateRecordingPanel(FrameWindow);
    PlaylistEditorWindow = player;
    Command(GetDlgCtrlID(SplPlotWindow));
    PlaylistEditorWindow = nullptr;
    DestroyWindow(player);
    EXPECT_EQ(active(), SplPlotWindow);
    EXPECT_GE(GetDlgCtrlID(SplPlotWindow), IDM_FIRST_MDI_CHILD);
}

TEST_F(ShellSession, PresetsRepaintThePanesAndBlankOnesHideTheOldCurves) {
    Command(IDM_HT5_6X1);
    HWND splitter = SplitterWindows[static_cast<int>(SplitterKind::HomeTheatre)];
    ASSERT_NE(splitter, nullptr);
    ASSERT_EQ(ShowRaster, 1);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    ASSERT_FALSE(GetUpdateRect(PaneWindows[1], nullptr, FALSE));
    // 221 on the open Home Theatre window: the raster goes, and every pane is painted again without it.
    Command(IDM_HT6_6X2);
    ASSERT_EQ(SplitterWindows[static_cast<int>(SplitterKind::HomeTheatre)], splitter);
    EXPECT_EQ(ShowRaster, 0);
    EXPECT_EQ(ShowNodes, 0);
    for (int pane = 1; pane <= 6; ++pane) EXPECT_TRUE(GetUpdateRect(PaneWindows[pane], nullptr, FALSE)) << pane;

    // Curves of the design before a blank one are not shown over it, nor their legends.
    for (int c : {0, 17, kPlotCurveSlots - 1}) PlotCurveTable[c].Visible = 1.0f;
    Command(IDM_HT1);
    EXPECT_EQ(PlotCurveTable[17].Visible, 1.0f);  // a design with networks keeps them until it is solved
    for (int id : {IDM_BLANK_STEREO, IDM_BLANK_HT, IDM_BLANK_QUADRO, IDM_BLANK_BBM52}) {
        PlotCurveTable[17].Visible = 1.0f;
        Command(id);
        for (int c = 0; c < kPlotCurveSlots; ++c) ASSERT_NE(PlotCurveTable[c].Visible, 1.0f) << id << " curve " << c;
        EXPECT_NE(SplPlotWindow, nullptr) << id;
    }
}

TEST_F(ShellSession, MissingHelpFileIsSaidWithoutAnIcon) {
    Command(IDM_HELP);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Unable To Locate HalvaneEqualizer_Help.CHM File");
    EXPECT_EQ(recorder_.shown[0].caption, "HV Message");
    EXPECT_EQ(recorder_.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(recorder_.shown[0].buttons, MessageButtons::Ok);
}

TEST_F(ShellSession, ProjectSavedAndOpenedRestoresTheDesign) {
    const std::string path = (folder_ / "house.HIF").string();
    Command(IDM_HT4);  // all 16 outputs assigned
    const float output12 = PaneRecords[3]->params[9].p[kParamOutputNumber];
    AnswerPickerWith(path);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    CursorWatch saving;
    Command(IDM_SAVE_PROJECT);
    EXPECT_TRUE(saving.SawWaitCursor()) << "no wait cursor while the project was written";
    EXPECT_NE(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
    ASSERT_EQ(std::filesystem::file_size(path), 303332072u);
    char title[2300] = {};
    GetWindowTextA(FrameWindow, title, sizeof title);
    EXPECT_EQ(std::string(title), "Halvane Equalizer V10.0 - DIGITAL - 8P - " + path);

    Command(IDM_BLANK_STEREO);
    ASSERT_EQ(pr_file->tail.SystemConfiguration, 0u);
    recorder_.answer = IDYES;
    {
        CursorWatch reading;
        Command(IDM_OPEN_PROJECT);
        EXPECT_TRUE(reading.SawWaitCursor()) << "no wait cursor while the project was read";
    }
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Last chance to save current data !\n\nDO YOU WISH TO LOAD NEW PROJECT ?");
    EXPECT_EQ(pr_file->tail.SystemConfiguration, 1u);
    EXPECT_EQ(PaneRecords[3]->params[9].p[kParamOutputNumber], output12);
    EXPECT_NE(SplitterWindows[static_cast<int>(SplitterKind::HomeTheatre)], nullptr);
    EXPECT_STREQ(Preferences->LastProjectPath, path.c_str());

    // A file of another size is refused and the design in memory stays as it was.
    const std::string wrong = (folder_ / "short.HIF").string();
    std::ofstream(wrong, std::ios::binary) << "not a project";
    Command(IDM_BLANK_QUADRO);
    AnswerPickerWith(wrong);
    recorder_.shown.clear();
    Command(IDM_OPEN_PROJECT);
    ASSERT_EQ(recorder_.shown.size(), 2u);
    EXPECT_EQ(recorder_.shown[1].text, "This Project File is NOT Recognized");
    EXPECT_EQ(pr_file->tail.SystemConfiguration, 2u);
    EXPECT_NE(SplitterWindows[static_cast<int>(SplitterKind::Quadro)], nullptr);

    // Answering No to the question leaves everything alone, the picker is not even shown.
    SetFilePickerHook([](const FilePickerDescription&, char*, char*) -> bool {
        ADD_FAILURE() << "picker shown after No";
        return false;
    });
    recorder_.answer = IDNO;
    Command(IDM_OPEN_PROJECT);
    EXPECT_EQ(pr_file->tail.SystemConfiguration, 2u);
}

TEST_F(ShellSession, DriverOpenedRepairsItsCurvesBeforeTheEditorShowsThem) {
    // A driver whose log SPL holds two measured points and gaps (1.0 dB) elsewhere, saved by the program.
    const std::string path = (folder_ / "woofer.WFR").string();
    std::strcpy(CurrentDriver->params[kEfficiencyField], "88");
    for (float& v : CurrentDriver->spl_log) v = 1.0f;
    CurrentDriver->spl_log[10] = 80.0f;
    CurrentDriver->spl_log[20] = 90.0f;
    AnswerPickerWith(path);
    {
        CursorWatch saving;
        Command(IDM_SAVE_DRIVER);
        EXPECT_TRUE(saving.SawWaitCursor()) << "no wait cursor while the driver file was written";
    }
    ASSERT_TRUE(std::filesystem::exists(path));
    for (float& v : CurrentDriver->spl_log) v = 0.0f;

    recorder_.answer = IDYES;
    recorder_.shown.clear();
    {
        CursorWatch reading;
        Command(IDM_OPEN_DRIVER);
        EXPECT_TRUE(reading.SawWaitCursor()) << "no wait cursor while the driver file was read";
    }
    ASSERT_EQ(recorder_.shown.size(), 1u);  // the question only
    EXPECT_EQ(recorder_.shown[0].text, "Last chance to save current data !\n\nDO YOU WISH TO LOAD NEW DRIVER ?");
    EXPECT_EQ(CurrentDriver->spl_log[0], 80.0f);
    EXPECT_FLOAT_EQ(CurrentDriver->spl_log[15], 85.0f);
    EXPECT_EQ(CurrentDriver->spl_log[kLogGridPoints - 1], 90.0f);
    EXPECT_NE(EditorWindow, nullptr);
    EXPECT_STREQ(Preferences->LastDriverPath, path.c_str());

    // An implausible efficiency is said and the curves stay as read; the editor opens all the same.
    std::strcpy(CurrentDriver->params[kEfficiencyField], "50");
    for (float& v : CurrentDriver->spl_log) v = 1.0f;
    CurrentDriver->spl_log[10] = 80.0f;
    Command(IDM_SAVE_DRIVER);
    recorder_.shown.clear();
    Command(IDM_OPEN_DRIVER);
    ASSERT_EQ(recorder_.shown.size(), 2u);
    EXPECT_EQ(recorder_.shown[1].text, "Efficiency Error");
    EXPECT_EQ(recorder_.shown[1].caption, "HV MEssage");
    EXPECT_EQ(CurrentDriver->spl_log[0], 1.0f);
    EXPECT_EQ(CurrentDriver->spl_log[10], 80.0f);
    EXPECT_NE(EditorWindow, nullptr);
}

TEST_F(ShellSession, AutostartChainPressesTheChannelsThenPlay) {
    const std::string path = (folder_ / "stereo.HIF").string();
    Command(IDM_STEREO_2X2);
    AnswerPickerWith(path);
    Command(IDM_SAVE_PROJECT);
    SetFilePickerHook(nullptr);
    CopySettingText(Preferences->LastProjectPath, kPathWidth, path.c_str());
    CloseSystemWindows();

    g_panelCommands.clear();
    SetTimer(FrameWindow, kAutostartReloadTimer, kAutostartFirstDelayMs, nullptr);
    ASSERT_TRUE(PumpUntil([] { return !g_panelCommands.empty() && g_panelCommands.back() == 5000; }, 8000));
    EXPECT_EQ(g_panelCommands, (std::vector<WPARAM>{20001, 20002, 5000}));
    EXPECT_NE(SplitterWindows[static_cast<int>(SplitterKind::Stereo)], nullptr);
    EXPECT_STREQ(LoadedProfileName, "stereo.HIF");

    // A missing last project shows its path and opens nothing.
    CloseSystemWindows();
    CopySettingText(Preferences->LastProjectPath, kPathWidth, (folder_ / "gone.HIF").string().c_str());
    recorder_.shown.clear();
    SendMessageA(FrameWindow, WM_TIMER, kAutostartReloadTimer, 0);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, (folder_ / "gone.HIF").string());
    EXPECT_EQ(DesignPlayerPanelWindow, nullptr);
}

namespace {

// Answers the next common file dialog of this process from another thread, as a user would: types the
// name into the dialog's file-name box and presses OK.
class PickerDriver {
public:
    explicit PickerDriver(std::string path) : path_(std::move(path)) {
        thread_ = CreateThread(nullptr, 0, &PickerDriver::Run, this, 0, nullptr);
    }
    ~PickerDriver() {
        WaitForSingleObject(thread_, 70000);
        CloseHandle(thread_);
    }
    bool Answered() const { return answered_; }

private:
    static BOOL CALLBACK FindDialog(HWND w, LPARAM lp) {
        char cls[16] = {};
        GetClassNameA(w, cls, sizeof cls);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (std::strcmp(cls, "#32770") == 0 && pid == GetCurrentProcessId() && IsWindowVisible(w)) {
            *reinterpret_cast<HWND*>(lp) = w;
            return FALSE;
        }
        return TRUE;
    }
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<PickerDriver*>(p);
        for (int i = 0; i < 2400 && !self->answered_; ++i) {
            Sleep(25);
            HWND dialog = nullptr;
            EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
            if (!dialog) continue;
            // The file-name box is a combo box (cmb13) in the explorer-style dialog, an edit (edt1) otherwise.
            HWND box = GetDlgItem(dialog, 0x47c);
            if (!box) box = GetDlgItem(dialog, 0x480);
            if (!box) continue;
            SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(self->path_.c_str()));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            self->answered_ = true;
        }
        return 0;
    }
    std::string path_;
    HANDLE thread_ = nullptr;
    volatile bool answered_ = false;
};

}  // namespace

TEST_F(ShellSession, ProjectThroughTheRealPickers) {
    const std::string path = (folder_ / "real.HIF").string();
    Command(IDM_BBM_HT2);
    {
        PickerDriver driver(path);
        Command(IDM_SAVE_PROJECT);
        EXPECT_TRUE(driver.Answered());
    }
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 303332072u);
    Command(IDM_BLANK_STEREO);
    recorder_.answer = IDYES;
    {
        PickerDriver driver(path);
        Command(IDM_OPEN_PROJECT);
        EXPECT_TRUE(driver.Answered());
    }
    EXPECT_EQ(pr_file->tail.SystemConfiguration, 3u);
    EXPECT_NE(SplitterWindows[static_cast<int>(SplitterKind::Bbm52)], nullptr);
}

TEST_F(ShellSession, DraggedBarIsRememberedAndClampedAtLayout) {
    Command(IDM_STEREO_2X2);
    HWND splitter = SplitterWindows[static_cast<int>(SplitterKind::Stereo)];
    ASSERT_NE(splitter, nullptr);
    // A press at x0, a move to x1 and the release there, then the layout the release posts.
    auto drag = [splitter](int x0, int x1) {
        SendMessageA(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x0, 100));
        SendMessageA(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x1, 100));
        SendMessageA(splitter, WM_LBUTTONUP, 0, MAKELPARAM(x1, 100));
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    };
    RECT rc;
    GetClientRect(splitter, &rc);
    const int bar = WindowPlacements[11].x > rc.right - 50 ? rc.right - 50 : WindowPlacements[11].x;
    drag(bar, 200);
    EXPECT_EQ(WindowPlacements[11].x, 200);
    RECT left, right;
    GetWindowRect(PaneWindows[1], &left);
    GetWindowRect(PaneWindows[3], &right);
    EXPECT_EQ(left.right - left.left, 198);   // X - 2
    EXPECT_EQ(right.left - left.left, 200);   // X + 1 against 1
    // A drag far to the left is kept as dragged in the slot but laid out at the lower limit.
    drag(200, 10);
    EXPECT_EQ(WindowPlacements[11].x, 10);
    GetWindowRect(PaneWindows[1], &left);
    EXPECT_EQ(left.right - left.left, 48);
    // The bar is grabbed where it is drawn, at the limit, not where the pointer left it.
    drag(50, 150);
    EXPECT_EQ(WindowPlacements[11].x, 150);
    GetWindowRect(PaneWindows[1], &left);
    EXPECT_EQ(left.right - left.left, 148);
    // Where it was left, nothing is grabbed any more.
    drag(10, 300);
    EXPECT_EQ(WindowPlacements[11].x, 150);
    // Closing the splitter clears its panes from the table.
    CloseSystemWindows();
    EXPECT_EQ(PaneWindows[1], nullptr);
    EXPECT_EQ(PaneWindows[3], nullptr);
}

TEST_F(ShellSession, ClipboardCopySaysSoOnlyWhenItGotThere) {
    CopyWindowToClipboard(FrameWindow);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Screen Copied");
    ASSERT_TRUE(OpenClipboard(FrameWindow));
    HANDLE bitmap = GetClipboardData(CF_BITMAP);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, UsableScreenWidth);
    EXPECT_EQ(info.bmHeight, UsableScreenHeight);
    CloseClipboard();
}
