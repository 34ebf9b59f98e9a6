// The settings windows driven as a user drives them: every Preferences control, the refusals while the
// engine streams, the two colour editors, the profile list dialog and printing a window's image.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/colour_editor.h"
#include "app/command_ids.h"
#include "app/driver_data.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/preferences_controls.h"
#include "app/print_layout.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/settings_windows.h"
#include "app/win32/window_registry.h"
#include "app_session.h"
#include "screen_capture.h"
#include "engine/endpoints.h"
#include "engine/win32/endpoints.h"

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// Saves the screen as a BMP when the run asks for screenshots (HV_SCREENSHOT_DIR), the given child in front.
void SaveScreenshot(const char* name, HWND front) {
    const char* dir = std::getenv("HV_SCREENSHOT_DIR");
    if (!dir || !*dir) return;
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(front), 0);
    RedrawWindow(FrameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    SaveScreen(name);
}

// Acts on the next visible dialog of this process with the given caption, from a thread of its own, as a
// user would while the user-interface thread runs the dialog's modal loop.
class DialogDriver {
public:
    DialogDriver(std::string caption, std::function<void(HWND)> act)
        : caption_(std::move(caption)), act_(std::move(act)) {
        thread_ = CreateThread(nullptr, 0, &DialogDriver::Run, this, 0, nullptr);
    }
    ~DialogDriver() {
        WaitForSingleObject(thread_, 70000);
        CloseHandle(thread_);
    }
    bool Acted() const { return acted_; }

private:
    struct Search {
        const char* caption;
        HWND found;
    };
    static BOOL CALLBACK Find(HWND w, LPARAM lp) {
        auto* s = reinterpret_cast<Search*>(lp);
        char text[128] = {};
        GetWindowTextA(w, text, sizeof text);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w) && std::strcmp(text, s->caption) == 0) {
            s->found = w;
            return FALSE;
        }
        return TRUE;
    }
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<DialogDriver*>(p);
        for (int i = 0; i < 2400 && !self->acted_; ++i) {
            Sleep(25);
            Search s{self->caption_.c_str(), nullptr};
            EnumWindows(Find, reinterpret_cast<LPARAM>(&s));
            if (!s.found) continue;
            self->act_(s.found);
            self->acted_ = true;
        }
        return 0;
    }
    std::string caption_;
    std::function<void(HWND)> act_;
    HANDLE thread_ = nullptr;
    volatile bool acted_ = false;
};

class SettingsSession : public AppSession {
protected:
    void SetUp() override {
        AppSession::SetUp();
        ASSERT_TRUE(Start());
        ShowWindow(FrameWindow, SW_SHOW);
        recorder_.shown.clear();
    }
    void TearDown() override {
        EngineRunning = 0;
        SetFilePickerHook(nullptr);
        SetPrinterChoiceHook(nullptr);
        AppSession::TearDown();
    }
    void Command(int id) { SendMessageA(FrameWindow, WM_COMMAND, id, 0); }
    HWND OpenPreferences() {
        Command(IDM_PREFERENCES);
        Pump();
        return PreferencesWindow;
    }
    HWND Item(int id) const { return GetDlgItem(PreferencesWindow, id); }
    // What a click or a list selection reports to the window.
    void Notify(HWND window, int id, int code) {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    }
    void Click(int id) { Notify(PreferencesWindow, id, BN_CLICKED); }
    // As a click does: the item becomes the selection and the caret.
    void Choose(int listId, int item) {
        SendMessageA(Item(listId), LB_SETCURSEL, item, 0);
        SendMessageA(Item(listId), LB_SETCARETINDEX, item, FALSE);
        Notify(PreferencesWindow, listId, LBN_SELCHANGE);
    }
    bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    int Selected(int listId) const { return static_cast<int>(SendMessageA(Item(listId), LB_GETCURSEL, 0, 0)); }
    void Scroll(HWND window, int barId, int code, int thumb = 0) {
        SendMessageA(window, WM_HSCROLL, MAKEWPARAM(code, thumb), reinterpret_cast<LPARAM>(GetDlgItem(window, barId)));
    }
};

}  // namespace

TEST_F(SettingsSession, PreferencesWindowOpensWithItsControls) {
    ASSERT_NE(OpenPreferences(), nullptr);
    char title[64] = {};
    GetWindowTextA(PreferencesWindow, title, sizeof title);
    EXPECT_STREQ(title, "System-Wide Preferences");
    // The device lists always hold 100 lines; the other lists their names.
    EXPECT_EQ(SendMessageA(Item(kPrefCaptureList), LB_GETCOUNT, 0, 0), 100);
    EXPECT_EQ(SendMessageA(Item(kPrefRenderList), LB_GETCOUNT, 0, 0), 100);
    EXPECT_EQ(SendMessageA(Item(kPrefSampleRateList), LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(Item(kPrefBlockSizeList), LB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageA(Item(kPrefQueueList), LB_GETCOUNT, 0, 0), 5);
    char text[64] = {};
    SendMessageA(Item(kPrefBlockSizeList), LB_GETTEXT, 3, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "4096 samples");
    GetWindowTextA(Item(kPrefInvertMlsReference), text, sizeof text);
    EXPECT_STREQ(text, "Invert MLS Reference Channel");
    EXPECT_EQ(Selected(kPrefSampleRateList), static_cast<int>(pr_file->tail.HV_Sampling));
    EXPECT_EQ(Selected(kPrefBlockSizeList), static_cast<int>(HV_Buffer_Size));
    // The start values' marks: 16 Outputs, Inputs 1-2, Standard, 24 Bit MLS.
    EXPECT_TRUE(Checked(kPrefOutputs16));
    EXPECT_TRUE(Checked(kPrefInputs12));
    EXPECT_TRUE(Checked(kPrefBassStandard));
    EXPECT_TRUE(Checked(kPref24BitMls));
    EXPECT_FALSE(Checked(kPref16BitMls));
    GetWindowTextA(Item(kPrefMlsDelayEdit), text, sizeof text);
    EXPECT_STREQ(text, "200");
    // The colour editor with entry 0, and the entry selected at start ("Filter SPL Curve").
    ASSERT_NE(Item(10008), nullptr);
    EXPECT_TRUE(SendMessageA(Item(10009), BM_GETCHECK, 0, 0) == BST_CHECKED);
    EXPECT_EQ(GetScrollPos(Item(kColourRedBar), SB_CTL), ColourScheme[1].red);
    // The endpoints are listed at creation and when a device list takes the focus, not at every paint.
    CaptureEndpointCount = 77;
    InvalidateRect(PreferencesWindow, nullptr, TRUE);
    UpdateWindow(PreferencesWindow);
    EXPECT_EQ(CaptureEndpointCount, 77u);
    Notify(PreferencesWindow, kPrefCaptureList, LBN_SETFOCUS);
    const uint32_t listed = CaptureEndpointCount;
    CaptureEndpointCount = 77;
    EnumCaptureEndpoints();  // what the system lists
    EXPECT_EQ(listed, CaptureEndpointCount);
    std::printf("[ devices  ] %u capture, %u render endpoints listed\n", CaptureEndpointCount, RenderEndpointCount);
    SaveScreenshot("preferences", PreferencesWindow);
}

TEST_F(SettingsSession, EveryControlChangesItsSetting) {
    ASSERT_NE(OpenPreferences(), nullptr);
    Click(kPrefInputs18);
    EXPECT_EQ(InputMode, 2u);
    EXPECT_TRUE(Checked(kPrefInputs18));
    EXPECT_FALSE(Checked(kPrefInputs12));
    Click(kPrefOutputs8Spdif);
    EXPECT_EQ(OutputMode, 2u);
    EXPECT_TRUE(Checked(kPrefOutputs8Spdif));
    EXPECT_FALSE(Checked(kPrefOutputs16));
    Click(kPrefBassSummed);
    EXPECT_EQ(BassMode, 2u);
    Click(kPref16BitMls);
    EXPECT_EQ(Capture24Bit, 0u);
    EXPECT_TRUE(Checked(kPref16BitMls));
    Click(kPrefInvertMlsData);
    EXPECT_EQ(MlsDataPolarity, -1);
    EXPECT_TRUE(Checked(kPrefInvertMlsData));
    Click(kPrefInvertMlsReference);
    EXPECT_EQ(MlsReferencePolarity, -1);
    Click(kPrefDebugMode);
    EXPECT_EQ(WasapiDebugMode, 1u);
    Click(kPrefCenterToLr);
    EXPECT_EQ(CenterToLr, 1u);
    Click(kPrefAutostart);
    EXPECT_EQ(Preferences->AUTOSTART, 1u);
    Click(kPrefPlayerMode);
    EXPECT_EQ(Preferences->PlayerMode, 1u);
    Click(kPrefPlayerMode);
    EXPECT_EQ(Preferences->PlayerMode, 0u);
    EXPECT_FALSE(Checked(kPrefPlayerMode));
    Click(kPrefRenderTiming);
    Click(kPrefCaptureTiming);
    EXPECT_EQ(pr_file->tail.RenderTiming, 1u);
    EXPECT_EQ(pr_file->tail.CaptureTiming, 1u);
    // Edits report their change themselves.
    SetWindowTextA(Item(kPrefMlsDelayEdit), "35012345678");
    EXPECT_STREQ(MlsOutputDelayText, "350123456");
    SetWindowTextA(Item(10152), "4");
    SetWindowTextA(Item(kPrefSub1SourceEdit), "1");
    SetWindowTextA(Item(10061), "16");
    EXPECT_STREQ(pr_file->tail.LiveKeyChannelFields[0], "4");
    EXPECT_STREQ(pr_file->tail.LiveKeyChannelFields[8], "1");
    EXPECT_STREQ(pr_file->tail.LiveKeyChannelFields[13], "16");
    Choose(kPrefCaptureList, 5);  // an empty line: the index is kept all the same
    EXPECT_EQ(CaptureDeviceIndex, 5u);
    Choose(kPrefRenderList, 2);
    EXPECT_EQ(RenderDeviceIndex, 2u);
    Choose(kPrefQueueList, 3);
    EXPECT_EQ(pr_file->tail.OutputQueue, 3u);
}

TEST_F(SettingsSession, RateAndBlockSizeRebuildTheTableAndClearTheCurves) {
    ASSERT_NE(OpenPreferences(), nullptr);
    PlotCurveTable[7].Visible = 1.0f;
    PlotCurveTable[169].Values[10] = 3.0f;
    OutputSpectrum[3][0] = 1.0f;
    PhaseReferenceSpectrum[3][2 * 65535] = 0.5f;
    PhaseReferenceSpectrum[3][2 * 65536] = 0.5f;  // beyond the cleared front
    Choose(kPrefSampleRateList, 0);
    EXPECT_EQ(pr_file->tail.HV_Sampling, 0u);
    EXPECT_EQ(CurrentDriver->Sampling, 0u);
    EXPECT_EQ(BinFrequencyTable[0], 0.01f);
    EXPECT_EQ(BinFrequencyTable[1], static_cast<float>(44100.0 / (8.0 * BlockFrames)));
    EXPECT_EQ(PlotCurveTable[7].Visible, 0.0f);
    EXPECT_EQ(PlotCurveTable[169].Values[10], 0.0f);
    EXPECT_EQ(OutputSpectrum[3][0], 0.0f);
    EXPECT_EQ(PhaseReferenceSpectrum[3][2 * 65535], 1e-7f);
    EXPECT_EQ(PhaseReferenceSpectrum[3][2 * 65536], 0.5f);

    OutputImpulseResponse[5][100] = 1.0f;
    OutputImpulseResponse[5][524288] = 2.0f;
    Choose(kPrefBlockSizeList, 2);
    EXPECT_EQ(HV_Buffer_Size, 2u);
    EXPECT_EQ(CurrentDriver->Buffer_Size, 2u);
    EXPECT_EQ(BlockFrames, 2048);
    EXPECT_EQ(BinFrequencyTable[1], static_cast<float>(44100.0 / 16384.0));
    EXPECT_EQ(OutputImpulseResponse[5][100], 0.0f);
    EXPECT_EQ(OutputImpulseResponse[5][524288], 2.0f);

    // Leaving the list without changing the item clears again.
    PlotCurveTable[7].Visible = 1.0f;
    Notify(PreferencesWindow, kPrefBlockSizeList, LBN_KILLFOCUS);
    EXPECT_EQ(PlotCurveTable[7].Visible, 0.0f);
}

TEST_F(SettingsSession, StreamingEngineRefusesModesRateBlockSizeAndQueue) {
    ASSERT_NE(OpenPreferences(), nullptr);
    const uint32_t sampling = pr_file->tail.HV_Sampling;
    const int frames = BlockFrames;
    PlotCurveTable[0].Visible = 1.0f;
    EngineRunning = 1;
    Click(kPrefInputs112);
    Click(kPrefOutputs8);
    Click(kPrefBassBbmOutput);
    Choose(kPrefSampleRateList, 2);
    Choose(kPrefBlockSizeList, 3);
    Choose(kPrefQueueList, 4);
    Click(kPrefRenderTiming);  // not refused: the engine reads it as it goes
    EngineRunning = 0;
    EXPECT_EQ(InputMode, 0u);
    EXPECT_EQ(OutputMode, 1u);
    EXPECT_EQ(BassMode, 0u);
    EXPECT_EQ(pr_file->tail.HV_Sampling, sampling);
    EXPECT_EQ(BlockFrames, frames);
    EXPECT_EQ(pr_file->tail.OutputQueue, 0u);
    EXPECT_EQ(PlotCurveTable[0].Visible, 1.0f);
    EXPECT_EQ(pr_file->tail.RenderTiming, 1u);
    // The marks and lists still show the settings in force.
    EXPECT_TRUE(Checked(kPrefInputs12));
    EXPECT_FALSE(Checked(kPrefInputs112));
    EXPECT_TRUE(Checked(kPrefOutputs16));
    EXPECT_EQ(Selected(kPrefSampleRateList), static_cast<int>(sampling));
    EXPECT_EQ(Selected(kPrefQueueList), 0);
}

TEST_F(SettingsSession, PreferencesColourEditor) {
    ASSERT_NE(OpenPreferences(), nullptr);
    ColourScheme[4].red = 250;
    Click(10012);  // "SPL Corrected Curve"
    EXPECT_EQ(ColourSelectionFlags[4], 1);
    EXPECT_EQ(ColourSelectionFlags[1], 0);
    EXPECT_TRUE(SendMessageA(Item(10012), BM_GETCHECK, 0, 0) == BST_CHECKED);
    EXPECT_FALSE(SendMessageA(Item(10009), BM_GETCHECK, 0, 0) == BST_CHECKED);
    EXPECT_EQ(GetScrollPos(Item(kColourRedBar), SB_CTL), 250);
    Scroll(PreferencesWindow, kColourRedBar, SB_PAGERIGHT);
    EXPECT_EQ(ColourScheme[4].red, 255);
    EXPECT_EQ(GetScrollPos(Item(kColourRedBar), SB_CTL), 255);
    Scroll(PreferencesWindow, kColourGreenBar, SB_THUMBTRACK, 77);
    EXPECT_EQ(ColourScheme[4].green, 77);
    Choose(kColourThicknessList, 3);
    Choose(kColourTypeList, 2);
    EXPECT_EQ(ColourScheme[4].thickness, 4);
    EXPECT_EQ(ColourScheme[4].type, 3);
    // Another control redraws the entry and changes no colour.
    Click(kPrefDebugMode);
    EXPECT_EQ(ColourScheme[4].red, 255);
    // Entry 0 ("Dialogue Box Background") is editable here.
    Click(10008);
    Scroll(PreferencesWindow, kColourBlueBar, SB_LINELEFT);
    EXPECT_EQ(ColourScheme[0].blue, 209);
}

TEST_F(SettingsSession, PenColoursWindowKeepsItsOwnControls) {
    Command(IDM_PEN_COLOURS);
    Pump();
    ASSERT_NE(PenColourWindow, nullptr);
    EXPECT_EQ(GetDlgItem(PenColourWindow, 10008), nullptr);  // entries 1..18 only
    ASSERT_NE(GetDlgItem(PenColourWindow, 10041), nullptr);
    char title[32] = {};
    UpdateWindow(PenColourWindow);
    GetWindowTextA(PenColourWindow, title, sizeof title);
    EXPECT_STREQ(title, "Pen Colours");
    SaveScreenshot("pen-colours", PenColourWindow);

    // Opening the Preferences window leaves the Pen Colours window open; each editor moves its own bars.
    ASSERT_NE(OpenPreferences(), nullptr);
    ASSERT_NE(PenColourWindow, nullptr);
    HWND penRed = GetDlgItem(PenColourWindow, kColourRedBar);
    HWND prefRed = Item(kColourRedBar);
    ColourScheme[1].red = 100;
    Notify(PenColourWindow, 10009, BN_CLICKED);
    Scroll(PenColourWindow, kColourRedBar, SB_LINERIGHT);
    EXPECT_EQ(ColourScheme[1].red, 101);
    EXPECT_EQ(GetScrollPos(penRed, SB_CTL), 101);
    SetScrollPos(prefRed, SB_CTL, 7, FALSE);
    Scroll(PenColourWindow, kColourRedBar, SB_LINERIGHT);
    EXPECT_EQ(GetScrollPos(penRed, SB_CTL), 102);
    EXPECT_EQ(GetScrollPos(prefRed, SB_CTL), 7);  // the other window's bar is not touched

    // Entry 0 selected in the Preferences window: the Pen Colours bars move but change no entry.
    Click(10008);
    const ColourEntry before = ColourScheme[0];
    Scroll(PenColourWindow, kColourRedBar, SB_PAGELEFT);
    EXPECT_EQ(ColourScheme[0].red, before.red);
    EXPECT_EQ(GetScrollPos(penRed, SB_CTL), before.red - 10);
    for (int k = 1; k < kColourSchemeEntries; ++k) EXPECT_EQ(ColourSelectionFlags[k], 0);
}

TEST_F(SettingsSession, ProfileDialogStoresEveryChangeWhicheverButtonEndsIt) {
    std::strcpy(Preferences->ProfileSlots[0], "C:\\first.HIF");
    int modalSeen = -1;
    {
        DialogDriver driver("Enter Driver FileNames", [&](HWND d) {
            modalSeen = ModalDialogOpen.load();
            char text[64] = {};
            GetDlgItemTextA(d, IDC_PROFILE_EDIT_FIRST, text, sizeof text);
            EXPECT_STREQ(text, "C:\\first.HIF");
            SetDlgItemTextA(d, IDC_PROFILE_EDIT_FIRST + 2, "C:\\third.HIF");
            PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
        });
        Command(IDM_ASSIGN_PROFILES);
        EXPECT_TRUE(driver.Acted());
    }
    EXPECT_EQ(modalSeen, 1);
    EXPECT_EQ(ModalDialogOpen.load(), 0);
    EXPECT_STREQ(Preferences->ProfileSlots[2], "C:\\third.HIF");  // Cancel keeps what was typed
    EXPECT_STREQ(Preferences->ProfileSlots[0], "C:\\first.HIF");

    const std::string chosen = (folder_ / "tenth.HIF").string();
    SetFilePickerHook([&](const FilePickerDescription& picker, char* path, char* title) {
        EXPECT_EQ(picker.filters.at(0).first, "Project Files (*.HIF)");
        EXPECT_EQ(picker.filters.at(0).second, "*.hif");
        EXPECT_TRUE(picker.create_prompt);
        std::strcpy(path, chosen.c_str());
        std::strcpy(title, "tenth.HIF");
        return true;
    });
    {
        DialogDriver driver("Enter Driver FileNames", [&](HWND d) {
            SetDlgItemTextA(d, IDC_PROFILE_EDIT_FIRST + 1, "C:\\second.HIF");
            SendMessageA(d, WM_COMMAND, IDC_PROFILE_BROWSE_LAST, 0);
            char text[MAX_PATH] = {};
            GetDlgItemTextA(d, IDC_PROFILE_EDIT_LAST, text, sizeof text);
            EXPECT_EQ(std::string(text), chosen);
            PostMessageA(d, WM_COMMAND, IDOK, 0);
        });
        Command(IDM_ASSIGN_PROFILES);
        EXPECT_TRUE(driver.Acted());
    }
    EXPECT_STREQ(Preferences->ProfileSlots[1], "C:\\second.HIF");
    EXPECT_STREQ(Preferences->ProfileSlots[2], "C:\\third.HIF");
    EXPECT_EQ(std::string(Preferences->ProfileSlots[9]), chosen);
    EXPECT_STREQ(Preferences->ProfileSlots[0], "C:\\first.HIF");

    // A file chosen by "Browse" stays too when the dialog is cancelled; a cancelled picker changes nothing.
    const std::string other = (folder_ / "other.HIF").string();
    SetFilePickerHook([&](const FilePickerDescription&, char* path, char*) {
        std::strcpy(path, other.c_str());
        return true;
    });
    {
        DialogDriver driver("Enter Driver FileNames", [&](HWND d) {
            SendMessageA(d, WM_COMMAND, IDC_PROFILE_BROWSE_FIRST + 4, 0);
            SetFilePickerHook([](const FilePickerDescription&, char*, char*) { return false; });
            SendMessageA(d, WM_COMMAND, IDC_PROFILE_BROWSE_FIRST, 0);
            PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
        });
        Command(IDM_ASSIGN_PROFILES);
        EXPECT_TRUE(driver.Acted());
    }
    EXPECT_EQ(std::string(Preferences->ProfileSlots[4]), other);
    EXPECT_STREQ(Preferences->ProfileSlots[0], "C:\\first.HIF");
}

TEST_F(SettingsSession, CapturedClientAreaIsAPackedDib) {
    ASSERT_NE(OpenPreferences(), nullptr);
    // The capture reads the screen: other programs' windows (tests running beside this one) stay below.
    SetWindowPos(FrameWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(FrameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HGLOBAL dib = CaptureClientToDib(PreferencesWindow);
    ASSERT_NE(dib, nullptr);
    auto* bytes = static_cast<char*>(GlobalLock(dib));
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    RECT rc;
    GetClientRect(PreferencesWindow, &rc);
    POINT origin{0, 0};
    ClientToScreen(PreferencesWindow, &origin);
    const int visibleWidth = std::min<int>(rc.right, GetSystemMetrics(SM_CXSCREEN) - origin.x);
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, visibleWidth);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, 24);  // a 24- or 32-bit display is captured at 24 bits
    EXPECT_EQ(static_cast<SIZE_T>(GlobalSize(dib)),
              40 + static_cast<SIZE_T>(DibImageBytes(24, h->biWidth, h->biHeight)));
    // The pixel at client (2, 170) is the window's face colour, as the screen shows it.
    HDC screen = GetDC(nullptr);
    const COLORREF onScreen = GetPixel(screen, origin.x + 2, origin.y + 170);
    ReleaseDC(nullptr, screen);
    const unsigned char* bits = reinterpret_cast<const unsigned char*>(FindDibBits(bytes));
    const int row = h->biHeight - 1 - 170;
    const unsigned char* px = bits + static_cast<std::ptrdiff_t>(row) * DibRowBytes(24, h->biWidth) + 2 * 3;
    EXPECT_EQ(RGB(px[2], px[1], px[0]), onScreen);
    GlobalUnlock(dib);
    GlobalFree(dib);
    SetWindowPos(FrameWindow, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

TEST_F(SettingsSession, DibStretchedOntoAPageAndClipped) {
    // A 4 x 2 bitmap, red on the left half and blue on the right, as the screen would give it.
    HDC screen = GetDC(nullptr);
    HBITMAP picture = CreateCompatibleBitmap(screen, 4, 2);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, picture);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT left{0, 0, 2, 2}, right{2, 0, 4, 2};
    FillRect(mem, &left, red);
    FillRect(mem, &right, blue);
    SelectObject(mem, old);
    // Only a palette display has a palette to copy, whatever the colour count says.
    std::strcpy(PrintSettings.colourCount, "65536");
    if (!(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE)) {
        EXPECT_EQ(CopySystemPalette(), nullptr);
    }
    ReleaseDC(nullptr, screen);
    HGLOBAL dib = BitmapToDib(picture, nullptr);
    DeleteObject(picture);
    ASSERT_NE(dib, nullptr);
    char* bytes = static_cast<char*>(GlobalLock(dib));
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    EXPECT_EQ(h->biWidth, 4);
    EXPECT_EQ(h->biHeight, 2);
    EXPECT_EQ(DibNumColors(bytes), 0);
    EXPECT_EQ(FindDibBits(bytes), bytes + 40);

    // A white 400 x 300 page.
    BITMAPINFO pageInfo{};
    pageInfo.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 400, -300, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pagePixels = nullptr;
    HBITMAP page = CreateDIBSection(mem, &pageInfo, DIB_RGB_COLORS, &pagePixels, nullptr, 0);
    ASSERT_NE(page, nullptr);
    old = SelectObject(mem, page);
    auto pixel = [&](int x, int y) {
        GdiFlush();
        const uint32_t v = static_cast<const uint32_t*>(pagePixels)[y * 400 + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    };
    auto clear = [&] {
        RECT all{0, 0, 400, 300};
        FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    };
    const RECT dest{100, 50, 300, 150};
    clear();
    EXPECT_EQ(StretchDibToRect(mem, dest, dest, bytes, FindDibBits(bytes)), 0);
    EXPECT_EQ(pixel(120, 100), RGB(255, 0, 0));
    EXPECT_EQ(pixel(280, 100), RGB(0, 0, 255));
    EXPECT_EQ(pixel(99, 100), RGB(255, 255, 255));
    EXPECT_EQ(pixel(200, 151), RGB(255, 255, 255));
    // Clipped to the right half: only the blue half of the bitmap is drawn, where it belongs.
    clear();
    EXPECT_EQ(StretchDibToRect(mem, dest, RECT{200, 0, 400, 300}, bytes, FindDibBits(bytes)), 0);
    EXPECT_EQ(pixel(150, 100), RGB(255, 255, 255));
    EXPECT_EQ(pixel(210, 60), RGB(0, 0, 255));
    EXPECT_EQ(pixel(290, 140), RGB(0, 0, 255));
    // Nothing of the destination inside the clip: nothing drawn, no failure.
    clear();
    EXPECT_EQ(StretchDibToRect(mem, dest, RECT{0, 0, 50, 50}, bytes, FindDibBits(bytes)), 0);
    EXPECT_EQ(pixel(150, 100), RGB(255, 255, 255));
    SelectObject(mem, old);
    DeleteObject(page);
    DeleteDC(mem);
    DeleteObject(red);
    DeleteObject(blue);
    GlobalUnlock(dib);
    GlobalFree(dib);
}

namespace {

// The printers the system offers, by name.
std::vector<std::string> OfferedPrinters() {
    std::vector<std::string> names;
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0) return names;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, buffer.data(), needed, &needed,
                       &count))
        return names;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(printers[i].pPrinterName);
    return names;
}

constexpr const char* kTestPrinter = "Halvane Test PostScript";

// A PostScript printer of the test's own whose port is a file: Wine's PostScript driver with a small PPD
// the test writes. Returns false where the system has no such driver (then nothing is printed to a file).
bool InstallFilePrinter(const std::string& outputPath) {
    if (HANDLE old = nullptr; OpenPrinterA(const_cast<char*>(kTestPrinter), &old, nullptr)) {
        DeletePrinter(old);
        ClosePrinter(old);
    }
    char dir[MAX_PATH] = {};
    DWORD size = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &size)) return false;
    const std::string ppdDir = std::string(dir) + "\\3";
    CreateDirectoryA(ppdDir.c_str(), nullptr);
    const std::string ppd = ppdDir + "\\hv_test.ppd";
    std::ofstream(ppd) << "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
                          "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"HVTEST.PPD\"\n"
                          "*Manufacturer: \"Halvane\"\n*Product: \"(Test)\"\n*ModelName: \"Halvane Test PostScript\"\n"
                          "*ShortNickName: \"Halvane Test PostScript\"\n*NickName: \"Halvane Test PostScript\"\n"
                          "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: True\n"
                          "*DefaultColorSpace: RGB\n*DefaultResolution: 300dpi\n*OpenUI *PageSize: PickOne\n"
                          "*DefaultPageSize: A4\n*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
                          "*CloseUI: *PageSize\n*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"0 0 595 842\"\n"
                          "*DefaultPaperDimension: A4\n*PaperDimension A4/A4: \"595 842\"\n";
    DRIVER_INFO_3A driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<char*>("Wine PostScript Driver");
    driver.pDriverPath = const_cast<char*>("wineps.drv");
    driver.pConfigFile = const_cast<char*>("wineps.drv");
    driver.pDataFile = const_cast<char*>(ppd.c_str());
    driver.pDefaultDataType = const_cast<char*>("RAW");
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES)) return false;
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<char*>(kTestPrinter);
    info.pPortName = const_cast<char*>(outputPath.c_str());
    info.pDriverName = driver.pName;
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!printer) return false;
    ClosePrinter(printer);
    return true;
}

void RemoveFilePrinter() {
    HANDLE printer = nullptr;
    if (OpenPrinterA(const_cast<char*>(kTestPrinter), &printer, nullptr)) {
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
}

}  // namespace

TEST_F(SettingsSession, PrintSettingsDialogDoneAndCancel) {
    PrintSettings = PrintSettingsRecord{};
    int printerAsked = 0;
    SetPrinterChoiceHook([&](HWND) -> HDC {
        ++printerAsked;
        return nullptr;  // the user cancels the printer choice
    });
    {
        DialogDriver driver("Printout Control", [](HWND d) {
            char text[32] = {};
            GetDlgItemTextA(d, IDC_PRINT_SCALE_TEXT, text, sizeof text);
            EXPECT_STREQ(text, "80 %");
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_PRINT_PORTRAIT), static_cast<UINT>(BST_CHECKED));
            SendMessageA(d, WM_COMMAND, IDC_PRINT_LANDSCAPE, 0);
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_PRINT_PORTRAIT), static_cast<UINT>(BST_UNCHECKED));
            SendDlgItemMessageA(d, IDC_PRINT_SCALE_LIST, LB_SETCURSEL, 2, 0);
            SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_PRINT_SCALE_LIST, LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_PRINT_SCALE_LIST)));
            GetDlgItemTextA(d, IDC_PRINT_SCALE_TEXT, text, sizeof text);
            EXPECT_STREQ(text, "50 %");
            SetDlgItemTextA(d, IDC_PRINT_X_OFFSET, "12345678");
            SetDlgItemTextA(d, IDC_PRINT_Y_OFFSET, "50");
            PostMessageA(d, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(PrintWindowImage(FrameWindow, nullptr), 1);  // no printer chosen
        EXPECT_TRUE(driver.Acted());
    }
    EXPECT_EQ(printerAsked, 1);
    EXPECT_EQ(PrintSettings.orientation, 1u);
    EXPECT_EQ(PrintSettings.scale, 50u);
    EXPECT_STREQ(PrintSettings.xOffset, "123456");  // at most 6 characters
    EXPECT_STREQ(PrintSettings.yOffset, "50");
    // The colour count shown was the screen's own.
    HDC screen = GetDC(nullptr);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%lld", ScreenColourCount(screen));
    ReleaseDC(nullptr, screen);
    EXPECT_STREQ(PrintSettings.colourCount, expected);
    EXPECT_TRUE(recorder_.shown.empty());

    // Cancel: the offsets keep their values and no printer is asked for.
    {
        DialogDriver driver("Printout Control", [](HWND d) {
            SetDlgItemTextA(d, IDC_PRINT_X_OFFSET, "999");
            PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(PrintWindowImage(FrameWindow, nullptr), 1);
        EXPECT_TRUE(driver.Acted());
    }
    EXPECT_STREQ(PrintSettings.xOffset, "123456");
    EXPECT_EQ(printerAsked, 1);
}

TEST_F(SettingsSession, PrintingOnWhatWineOffers) {
    PrintSettings = PrintSettingsRecord{};
    for (const std::string& name : OfferedPrinters()) std::printf("[ printer  ] offered: %s\n", name.c_str());
    const std::string output = (folder_ / "printed.ps").string();
    const bool filePrinter = InstallFilePrinter(output);
    std::printf("[ printer  ] %s\n", filePrinter ? "printing to a PostScript file" : "no printer: the failure path");
    SetPrinterChoiceHook([&](HWND) -> HDC {
        // Without a printer, a device that cannot take a print job stands in: the display.
        if (!filePrinter) return CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        return CreateDCA(nullptr, kTestPrinter, nullptr, nullptr);
    });
    {
        DialogDriver driver("Printout Control", [](HWND d) { PostMessageA(d, WM_COMMAND, IDOK, 0); });
        EXPECT_EQ(PrintWindowImage(FrameWindow, nullptr), 0);
        EXPECT_TRUE(driver.Acted());
    }
    if (!filePrinter) {
        ASSERT_EQ(recorder_.shown.size(), 1u);
        EXPECT_EQ(recorder_.shown[0].text, "Unable To Start Print Job");
        EXPECT_EQ(recorder_.shown[0].caption, "Test");
        EXPECT_EQ(recorder_.shown[0].icon, MessageIcon::Warning);
        return;
    }
    RemoveFilePrinter();
    EXPECT_TRUE(recorder_.shown.empty());
    std::ifstream f(output, std::ios::binary);
    const std::string ps((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(ps.rfind("%!PS-Adobe", 0), 0u);
    EXPECT_NE(ps.find("%%Title: Sonavix"), std::string::npos);
    EXPECT_NE(ps.find("%%Pages: 1"), std::string::npos);
    EXPECT_NE(ps.find("image"), std::string::npos);  // the captured bitmap
    if (const char* dir = std::getenv("HV_PRINT_DIR"); dir && *dir)
        std::filesystem::copy_file(output, std::string(dir) + "/printed.ps",
                                   std::filesystem::copy_options::overwrite_existing);
}
