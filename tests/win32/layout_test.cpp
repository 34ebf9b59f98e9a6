// Every dialog and panel of the program, opened as the program opens it at the size it gives it, lays out
// whole: each control inside its parent's client area, each text fitting its control in the control's font.
// A new window is one entry of kWindows below: a name, and either how to open it (a window that stays open)
// or how to run it with the caption it shows (a modal dialog, checked from inside its message loop).
// Screenshots "layout-<name>" when HV_SCREENSHOT_DIR is set.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/splitter_layout.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/settings_windows.h"
#include "app/win32/window_registry.h"
#include "app_session.h"
#include "design/network_model.h"
#include "design/pane_editor.h"
#include "design/win32/design_windows.h"
#include "layout_check.h"
#include "measure/resource_ids.h"
#include "measure/win32/mls_windows.h"
#include "measure/win32/room_eq_windows.h"
#include "panels/resource_ids.h"
#include "panels/win32/control_panels.h"
#include "screen_capture.h"
#include "tools/win32/tool_windows.h"

namespace {

struct LayoutCase {
    const char* name;         // the test's name and the screenshot's
    HWND (*open)();           // a window that stays open: opens it, returns it
    void (*runModal)();       // a modal dialog: runs it to its end
    const char* caption;      // the modal dialog's caption, by which the check finds it
};

// gtest names a failing case by its window.
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

LayoutCase Window(const char* name, HWND (*open)()) { return LayoutCase{name, open, nullptr, nullptr}; }
LayoutCase Modal(const char* name, const char* caption, void (*run)()) { return LayoutCase{name, nullptr, run, caption}; }

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void FrameCommand(int id) {
    SendMessageA(FrameWindow, WM_COMMAND, static_cast<WPARAM>(id), 0);
    Pump();
}

HWND OpenSplitterOf(SplitterKind kind) {
    OpenSplitter(kind);
    return SplitterWindows[static_cast<int>(kind)];
}

// The element dialogs edit the element of the WorkingNetwork at SelectedElement: pane 1 of the start-up
// design (a two-way network) is loaded and its first element of the kind chosen.
void RunElementDialogOfKind(int kind) {
    LoadPaneNetwork(*PaneRecords[0], WorkingNet);
    ActivePane = 1;
    SelectedElement = -1;
    for (int i = 0; i < kMaxElements; ++i)
        if (WorkingNet->elements[i].kind == kind) {
            SelectedElement = i;
            break;
        }
    ASSERT_GE(SelectedElement, 0) << "no element of kind " << kind << " in pane 1";
    RunElementDialog(kind, PaneWindows[1] ? PaneWindows[1] : FrameWindow);
}

// The room equalizer edits a room-EQ block: one is added to pane 1's network after its last element.
void RunRoomEqDialogOfPane1() {
    LoadPaneNetwork(*PaneRecords[0], WorkingNet);
    ActivePane = 1;
    const int slot = ElementListLength(*WorkingNet);
    ASSERT_LT(slot, kMaxElements);
    WorkingNet->elements[slot].kind = RoomEqBlock;
    WorkingNet->params[slot].p[kParamLowEdge] = 20.0f;
    WorkingNet->params[slot].p[kParamHighEdge] = 200.0f;
    WorkingNet->params[slot].p[kParamPlotFlag] = 16.0f;
    SelectedElement = slot;
    // The caption reads out the plot under the mouse: the pointer stays off the dialog, so the check finds it
    // by its title.
    SetCursorPos(0, 0);
    RunElementDialog(RoomEqBlock, PaneWindows[1] ? PaneWindows[1] : FrameWindow);
}

void PanelCommand(int id) { SendMessageA(DesignPlayerPanelWindow, WM_COMMAND, static_cast<WPARAM>(id), 0); }

// The MLS control dialog on its page 0 ("MLS") or 1 ("Processing").
HWND OpenMlsControlOnTab(int tab) {
    FrameCommand(IDM_MLS);
    if (!MlsControlWindow || tab == 0) return MlsControlWindow;
    SendMessageA(MlsTabControl, TCM_SETCURSEL, tab, 0);
    NMHDR hdr{MlsTabControl, IDC_MLS_TAB, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(MlsControlWindow, WM_NOTIFY, IDC_MLS_TAB, reinterpret_cast<LPARAM>(&hdr));
    Pump();
    return MlsControlWindow;
}

// "Create Cal. Files" with one "Use It" box ticked runs "Calibration File Data".
void RunCalibrationDialog() {
    FrameCommand(IDM_MLS);
    MlsSettings.MikeCalUse = 1;
    MlsSettings.PreampCalUse = 0;
    SendMessageA(MlsControlPage, WM_COMMAND, IDC_MLS_CREATE_CAL, 0);
}

// An importer on a small file of the session's folder; the converter's caption is the file's path.
void RunImporter(int command) {
    std::FILE* f = std::fopen("layout.frd", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("* Freq SPL Phase\r\n100 90 0\r\n1000 90 0\r\n", f);
    std::fclose(f);
    SetFilePickerHook([](const FilePickerDescription&, char* path, char* title) {
        lstrcpynA(path, "layout.frd", 2048);
        lstrcpynA(title, "layout.frd", 256);
        return true;
    });
    FrameCommand(command);
    SetFilePickerHook(nullptr);
}

const LayoutCase kWindows[] = {
    Window("DesignPanel", [] { ShowDesignPanel(FrameWindow); return DesignPlayerPanelWindow; }),
    Window("PlayerPanel", [] { FrameCommand(IDM_PLAYER_MODE); return PlayerPanelWindow; }),
    Window("WavPlayerPanel", [] { FrameCommand(IDM_WAVE_PLAYER_MODE); return WavPlayerPanelWindow; }),
    Window("PlaylistEditor", [] { FrameCommand(IDM_WAVE_PLAYER_MODE); return PlaylistEditorWindow; }),
    Window("Preferences", [] { FrameCommand(IDM_PREFERENCES); return PreferencesWindow; }),
    Window("PenColours", [] { FrameCommand(IDM_PEN_COLOURS); return PenColourWindow; }),
    Window("StereoSplitter", [] { return OpenSplitterOf(SplitterKind::Stereo); }),
    Window("HomeTheatreSplitter", [] { return OpenSplitterOf(SplitterKind::HomeTheatre); }),
    Window("QuadroSplitter", [] { return OpenSplitterOf(SplitterKind::Quadro); }),
    Window("Bbm52Splitter", [] { return OpenSplitterOf(SplitterKind::Bbm52); }),
    Window("Bbm72Splitter", [] { return OpenSplitterOf(SplitterKind::Bbm72); }),
    Window("Bbm22Splitter", [] { return OpenSplitterOf(SplitterKind::Bbm22); }),
    Modal("InputPort", "Enter Sound Card INPUT Port", [] { RunElementDialogOfKind(InputTerminal); }),
    Modal("OutputPort", "Driver And Output Port Control", [] { RunElementDialogOfKind(OutputPort); }),
    Modal("FilterBlock", "Filter And Voicing Element Data", [] { RunElementDialogOfKind(FilterBlock); }),
    Modal("CopySpeaker", "Copy Speaker Control", [] { PanelCommand(IDC_COPY_SPEAKER); }),
    Modal("CurveSelection", "Plot Control", [] { PanelCommand(IDC_CURVE_SELECTION); }),
    Modal("TestTones", "Test Tones", [] { PanelCommand(IDC_TEST_TONES); }),
    Modal("PrintoutControl", "Printout Control", [] { PrintWindowImage(FrameWindow, nullptr); }),
    Modal("ProfileList", "Enter Driver FileNames", [] { FrameCommand(IDM_ASSIGN_PROFILES); }),
    Window("MlsAcquire", [] { return OpenMlsControlOnTab(0); }),
    Window("MlsProcess", [] { return OpenMlsControlOnTab(1); }),
    Window("MlsImpulse", [] { FrameCommand(IDM_MLS); return MlsImpWindow; }),
    Window("MlsFrequency", [] { FrameCommand(IDM_MLS); return MlsSplWindow; }),
    Modal("Calibration", "Calibration File Data", RunCalibrationDialog),
    Modal("ImportImp", "layout.frd", [] { RunImporter(IDM_IMPORT_IMP); }),
    Modal("ImportLms", "layout.frd", [] { RunImporter(IDM_IMPORT_LMS); }),
    Modal("ImportClio", "layout.frd", [] { RunImporter(IDM_IMPORT_CLIO); }),
    Window("TransferFunction", [] { FrameCommand(IDM_FILE_EDITOR); return TransferFunctionWindow; }),
    Window("EditorChild", [] { FrameCommand(IDM_FILE_EDITOR); return EditorWindow; }),
    Window("DiffractionCalculator", [] { FrameCommand(IDM_DIFFRACTION_MODEL); return DiffractionCalculatorWindow; }),
    Window("DiffractionChild", [] { FrameCommand(IDM_DIFFRACTION_MODEL); return DiffractionWindow; }),
    Modal("ExportImpulseResponse", "Optimize / Export Impulse Response", [] { FrameCommand(IDM_EXPORT_IR); }),
    Window("IrView", [] { FrameCommand(IDM_POSITION_IR); return IrChildWindow; }),
    Window("IrSplView", [] { FrameCommand(IDM_POSITION_IR); return IrSplChildWindow; }),
    Modal("RoomEqualizer", "Minimum-Phase Room Equalizer", RunRoomEqDialogOfPane1),
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += "  " + l + "\n";
    return s;
}

void Screenshot(const std::string& name, HWND window) { SaveWindowScreenshot("layout-" + name, window, MdiClientWindow); }

// The check of a modal dialog runs from a thread timer, which its modal loop dispatches.
struct ModalCheck {
    const LayoutCase* entry = nullptr;
    HWND dialog = nullptr;
    int ticksSinceCancel = 0;
    bool busy = false;  // the screenshot pumps messages, this timer's among them
    std::vector<std::string> faults;
};
ModalCheck* g_modal = nullptr;

BOOL CALLBACK FindCaption(HWND window, LPARAM lp) {
    auto* check = reinterpret_cast<ModalCheck*>(lp);
    char cls[32] = {}, text[128] = {};
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, text, sizeof text);
    if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window) && std::strcmp(text, check->entry->caption) == 0) {
        check->dialog = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK CheckModalDialog(HWND, UINT, UINT_PTR, DWORD) {
    ModalCheck* check = g_modal;
    if (!check || check->busy) return;
    if (!check->dialog) {
        EnumThreadWindows(GetCurrentThreadId(), FindCaption, reinterpret_cast<LPARAM>(check));
        if (!check->dialog) return;  // not open yet: the timer comes again
        RedrawWindow(check->dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        check->faults = LayoutFaults(check->dialog);
        check->busy = true;
        Screenshot(check->entry->name, check->dialog);
        check->busy = false;
    }
    if (!IsWindow(check->dialog)) return;
    // Cancel as the user does; a dialog that is still there a second later is ended.
    if (check->ticksSinceCancel++ < 30) {
        PostMessageA(check->dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
        EndDialog(check->dialog, IDCANCEL);
    }
}

class WindowLayout : public AppSession, public ::testing::WithParamInterface<LayoutCase> {
protected:
    void SetUp() override {
        AppSession::SetUp();
        InstallToolWindows();
        InstallRoomEqualizer();
        ASSERT_TRUE(StartWithPanels());
        Pump();
    }
    void TearDown() override {
        g_modal = nullptr;
        Dialogs = DialogCreators{};
        AppSession::TearDown();
    }
};

TEST_P(WindowLayout, ControlsInsideTextsWhole) {
    const LayoutCase& entry = GetParam();
    if (entry.open) {
        HWND window = entry.open();
        ASSERT_NE(window, nullptr) << entry.name << " did not open";
        Pump();
        const std::vector<std::string> faults = LayoutFaults(window);
        Screenshot(entry.name, window);
        EXPECT_TRUE(faults.empty()) << entry.name << ":\n" << Joined(faults);
        return;
    }
    ModalCheck check;
    check.entry = &entry;
    g_modal = &check;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, CheckModalDialog);
    entry.runModal();
    KillTimer(nullptr, timer);
    g_modal = nullptr;
    ASSERT_NE(check.dialog, nullptr) << "\"" << entry.caption << "\" did not open";
    EXPECT_FALSE(IsWindow(check.dialog));
    EXPECT_TRUE(check.faults.empty()) << entry.name << ":\n" << Joined(check.faults);
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, WindowLayout, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

int CALLBACK FontFamilyFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// The faces the templates and the frame name are there (without them Wine puts others in their place and
// the dialogs are laid out in the wrong widths): the dialog font, the caption buttons' symbols, and Times
// New Roman and Arial or faces of their metrics.
TEST(LayoutCheck, TheDialogFontsAreInstalled) {
    HDC dc = GetDC(nullptr);
    for (const char* face : {"Tahoma", "MS Sans Serif", "Marlett", "Times New Roman", "Arial"}) {
        LOGFONTA lf{};
        lf.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
        bool found = false;
        EnumFontFamiliesExA(dc, &lf, FontFamilyFound, reinterpret_cast<LPARAM>(&found), 0);
        EXPECT_TRUE(found) << face;
    }
    // "MS Shell Dlg" stands for Tahoma.
    HFONT shell = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
    HGDIOBJ old = SelectObject(dc, shell);
    TEXTMETRICA shellMetrics{};
    GetTextMetricsA(dc, &shellMetrics);
    HFONT tahoma = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    SelectObject(dc, tahoma);
    TEXTMETRICA tahomaMetrics{};
    GetTextMetricsA(dc, &tahomaMetrics);
    SelectObject(dc, old);
    DeleteObject(shell);
    DeleteObject(tahoma);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(shellMetrics.tmAveCharWidth, tahomaMetrics.tmAveCharWidth);
    EXPECT_EQ(shellMetrics.tmHeight, tahomaMetrics.tmHeight);
}

// The fonts the frame shares with every plot, pane and panel draw each glyph whole: axis numbers, units and
// legend words read as their texts. A font too small to tell its glyphs apart is found out.
TEST(LayoutCheck, SharedFontsDrawWholeGlyphs) {
    const std::string text = "0123456789 .- dB deg Hz kHz ms Measured SPL Phase Butterworth Bass Resolution Processing";
    CreateSharedDrawingObjects();
    const std::pair<const char*, HGDIOBJ> fonts[] = {
        {"small", Gdi.SmallFont}, {"label", Gdi.LabelFont}, {"title", Gdi.TitleFont}, {"system", Gdi.StockSystemFont}};
    for (const auto& [name, font] : fonts)
        EXPECT_TRUE(GlyphFaults(static_cast<HFONT>(font), text).empty())
            << name << " font:\n" << Joined(GlyphFaults(static_cast<HFONT>(font), text));
    DeleteSharedDrawingObjects();
    HFONT tiny = CreateFontA(3, 1, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    EXPECT_FALSE(GlyphFaults(tiny, "0123456789").empty());
    DeleteObject(tiny);
}

// The check itself: a control that leaves its parent and texts cut by their controls are found, whole ones
// are not.
TEST(LayoutCheck, FindsControlsOutsideAndTextsCut) {
    HWND parent = CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    auto make = [&](const char* cls, const char* text, DWORD style, int x, int y, int w, int h) {
        return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    };
    const char* words = "Render Timing";
    HWND wide = make("Static", words, SS_LEFT, 0, 0, 150, 20);
    const SIZE need = ControlTextExtent(wide, words, 0, true);
    ASSERT_GT(need.cx, 20);
    ASSERT_LT(need.cx, 150);
    MoveWindow(wide, 0, 0, 150, need.cy, TRUE);
    EXPECT_TRUE(LayoutFaults(parent).empty()) << Joined(LayoutFaults(parent));

    // One pixel too narrow: the static wraps its second word under the first, out of its one line.
    HWND narrow = make("Static", words, SS_LEFT, 0, 25, need.cx - 1, need.cy);
    std::vector<std::string> faults = LayoutFaults(parent);
    ASSERT_EQ(faults.size(), 1u) << Joined(faults);
    EXPECT_NE(faults[0].find("Render Timing"), std::string::npos);
    EXPECT_NE(faults[0].find("high"), std::string::npos);
    DestroyWindow(narrow);

    // A check box needs its box beside the text; a push button its edges.
    HWND box = make("Button", words, BS_CHECKBOX, 0, 25, need.cx + 2, need.cy + 4);
    faults = LayoutFaults(parent);
    ASSERT_EQ(faults.size(), 1u) << Joined(faults);
    EXPECT_NE(faults[0].find("box and text"), std::string::npos);
    DestroyWindow(box);
    HWND push = make("Button", words, BS_PUSHBUTTON, 0, 25, need.cx + 6, need.cy + 6);
    EXPECT_TRUE(LayoutFaults(parent).empty()) << Joined(LayoutFaults(parent));
    DestroyWindow(push);

    // Past the parent's right edge.
    make("Edit", "", WS_BORDER, 150, 50, 60, 20);
    faults = LayoutFaults(parent);
    ASSERT_EQ(faults.size(), 1u) << Joined(faults);
    EXPECT_NE(faults[0].find("outside"), std::string::npos);
    DestroyWindow(parent);
}

}  // namespace
