// The MLS measurement windows in the real program: "Digital - MLS" opens the control dialog with its pages and
// the two measurement windows; Run MLS without a usable device ends in the capture error title; a *.RES file
// of a known system, made here, goes through "Use Saved Buffer", draws both traces, and Calculate SPL fills
// the measured page with that system's response. Screenshots "mls-*" when HV_SCREENSHOT_DIR is set.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/driver_data.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/window_registry.h"
#include "app_session.h"
#include "layout_check.h"
#include "memory_canvas.h"
#include "measure/mls_analysis.h"
#include "measure/mls_sequence.h"
#include "measure/mls_state.h"
#include "measure/res_file.h"
#include "measure/resource_ids.h"
#include "measure/win32/mls_windows.h"
#include "measure/mls_test_support.h"
#include "panels/wav_test_files.h"
#include "screen_capture.h"

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string Title(HWND window) {
    char text[2200] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

void Shot(const char* name, HWND window) { SaveWindowScreenshot(name, window, MdiClientWindow); }

void PageCommand(int id, int code = BN_CLICKED) {
    SendMessageA(MlsControlPage, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(MlsControlPage, id)));
    Pump();
}

void SelectList(int id, int index) {
    SendDlgItemMessageA(MlsControlPage, id, CB_SETCURSEL, index, 0);
    PageCommand(id, CBN_SELCHANGE);
}

void SelectControlTab(int tab) {
    SendMessageA(MlsTabControl, TCM_SETCURSEL, tab, 0);
    NMHDR hdr{MlsTabControl, IDC_MLS_TAB, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(MlsControlWindow, WM_NOTIFY, IDC_MLS_TAB, reinterpret_cast<LPARAM>(&hdr));
    Pump();
}

// The label columns x0..x1 of a plot painted at its stored size, as the heights of their runs of rows inked in
// the labels' black (not the blue of the bin markers that may cross them): a label that stands clear of the
// others is one run; labels that run into each other make one taller run.
std::vector<int> LabelInkRuns(int (*paint)(HDC), const ClientSize& size, int x0, int x1) {
    const MemoryCanvas canvas(size.width, size.height);
    paint(canvas.Dc());
    std::vector<int> runs{0};
    for (int y = 0; y < size.height; ++y) {
        bool ink = false;
        for (int x = x0; x < x1 && !ink; ++x) ink = canvas.At(x, y) == RGB(0, 0, 0);
        if (ink) ++runs.back();
        else if (runs.back() > 0) runs.push_back(0);
    }
    if (runs.back() == 0) runs.pop_back();
    return runs;
}

class MlsSession : public AppSession {
protected:
    void SetUp() override {
        AppSession::SetUp();
        ASSERT_TRUE(StartWithPanels());
        recorder_.shown.clear();  // the first start's note that there is no preferences file yet
        Pump();
    }
    void TearDown() override {
        SetFilePickerHook(nullptr);
        Dialogs = DialogCreators{};
        AppSession::TearDown();
    }
    void OpenMls() {
        SendMessageA(FrameWindow, WM_COMMAND, IDM_MLS, 0);
        Pump();
    }
};

}  // namespace

// "Digital - MLS" opens the control dialog on its acquisition page and both measurement windows; the
// "Processing" tab shows the process page and turns the frequency window to its post-processing page, the
// "MLS" tab back to the measured page; closing the dialog keeps nothing running.
TEST_F(MlsSession, CommandOpensTheThreeWindowsAndThePagesFollowTheTabs) {
    OpenMls();
    ASSERT_NE(MlsControlWindow, nullptr);
    ASSERT_NE(MlsImpWindow, nullptr);
    ASSERT_NE(MlsSplWindow, nullptr);
    EXPECT_EQ(Title(MlsControlWindow), "MLS Measurements Control");
    ASSERT_NE(MlsControlPage, nullptr);
    EXPECT_NE(GetDlgItem(MlsControlPage, IDC_MLS_RUN), nullptr);
    EXPECT_NE(MlsSplPageDialog, nullptr);
    EXPECT_EQ(MlsSplPageIndex, 0);
    EXPECT_EQ(MlsOrder, 18);
    EXPECT_NE(MlsCaptureBuffer, nullptr);
    char text[32] = {};
    GetDlgItemTextA(MlsControlPage, IDC_MLS_LEVEL_TEXT, text, sizeof text);
    EXPECT_EQ(std::string(text), "Output = " + std::to_string(MlsSettings.MlsOutputLevel) + "%");
    Shot("mls-acquire", MlsControlWindow);
    Shot("mls-impulse", MlsImpWindow);
    Shot("mls-frequency", MlsSplWindow);
    // Every label of the dB and deg columns and of the impulse window's levels stands at the size they open at
    // (19 numbers and the unit, 19 levels). At 420 x 260 the rows come 8-9 pixels apart: the numbers that would
    // run into the one above are left out, so no run of ink is taller than one label's.
    const auto columns = [] {
        const auto frequency = [](HDC dc) { return PaintMlsSplPage(dc, 0); };
        return std::vector<std::vector<int>>{LabelInkRuns(frequency, MlsSplPageSize, 0, 28),
                                             LabelInkRuns(frequency, MlsSplPageSize, 30, 57),
                                             LabelInkRuns(PaintImpulseWindow, MlsImpulseClientSize, 30, 48)};
    };
    const std::vector<std::vector<int>> tall = columns();
    EXPECT_EQ(tall[0].size(), 20u);
    ASSERT_EQ(tall[1].size(), 20u);
    EXPECT_EQ(tall[2].size(), 19u);
    const int label_ink = *std::max_element(tall[1].begin(), tall[1].end());
    RECT opened{};
    GetWindowRect(MlsSplWindow, &opened);
    const auto resize = [](int w, int h) {
        for (HWND window : {MlsSplWindow, MlsImpWindow})
            SetWindowPos(window, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER);
        Pump();
    };
    resize(420, 260);
    Shot("mls-impulse-short", MlsImpWindow);
    Shot("mls-frequency-short", MlsSplWindow);
    ASSERT_LT(MlsSplPageSize.height, 40 + 18 * 10);
    for (const std::vector<int>& runs : columns()) {
        ASSERT_GE(runs.size(), 8u);
        EXPECT_LE(*std::max_element(runs.begin(), runs.end()), label_ink);
    }
    resize(opened.right - opened.left, opened.bottom - opened.top);

    SelectControlTab(1);
    ASSERT_NE(MlsControlPage, nullptr);
    EXPECT_NE(GetDlgItem(MlsControlPage, IDC_PP_EXECUTE), nullptr);
    EXPECT_EQ(GetDlgItem(MlsControlPage, IDC_MLS_RUN), nullptr);
    EXPECT_EQ(MlsSplPageIndex, 2);
    EXPECT_NE(MlsCaptureBuffer, nullptr);  // a page change keeps the capture for Save IR
    Shot("mls-process", MlsControlWindow);
    Shot("mls-frequency-post", MlsSplWindow);
    SelectControlTab(0);
    EXPECT_EQ(MlsSplPageIndex, 0);

    SendMessageA(MlsControlWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_EQ(MlsControlWindow, nullptr);
    EXPECT_EQ(MlsCaptureBuffer, nullptr);
    EXPECT_FALSE(MeasurementThreadsAlive(MlsRun()));
}

// Without a usable device (no endpoint here) Run MLS ends at once in the capture error title: the flags drop,
// both threads are joined, and the page says that no capture was made instead of showing the peaks of a silent
// one. Save IR then has nothing to save and says so. The stimulus was built all the same: pre-emphasised at
// 0.1 ms it would peak beyond full scale at 100 %, and the text under the level bar says where it was held.
TEST_F(MlsSession, RunMlsWithoutADeviceSaysSoAndSavesNothing) {
    OpenMls();
    ASSERT_NE(MlsControlPage, nullptr);
    MlsSettings.UseSavedBuffer = 0;
    SetDlgItemTextA(MlsControlPage, IDC_MLS_EMPHASIS, "0.1");
    HWND level = GetDlgItem(MlsControlPage, IDC_MLS_LEVEL);
    SendMessageA(MlsControlPage, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(level));
    const DWORD start = GetTickCount();
    PageCommand(IDC_MLS_RUN);
    EXPECT_LT(GetTickCount() - start, 15000u);
    EXPECT_EQ(Title(FrameWindow), kMeasurementCaptureErrorTitle);
    EXPECT_EQ(EngineRunning.load(), 0);
    EXPECT_EQ(MlsRenderRunning.load(), 0);
    EXPECT_FALSE(MeasurementThreadsAlive(MlsRun()));
    EXPECT_EQ(IrPresent, 1u);
    EXPECT_EQ(MlsImpulseIn[kMlsAlignedPeak], 0.0f);
    EXPECT_EQ(Title(MlsSplWindow), "MLS Frequency Domain  No Capture Was Made");
    char text[32] = {};
    GetDlgItemTextA(MlsControlPage, IDC_MLS_LEVEL_TEXT, text, sizeof text);
    EXPECT_EQ(std::string(text), "Held At 51%");
    for (const std::string& fault : LayoutFaults(MlsControlPage)) ADD_FAILURE() << fault;
    SetDlgItemTextA(MlsControlPage, IDC_MLS_EMPHASIS, "0.0");  // a new time constant: the note goes
    GetDlgItemTextA(MlsControlPage, IDC_MLS_LEVEL_TEXT, text, sizeof text);
    EXPECT_EQ(std::string(text), "Output = 100%");
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "No Capture Was Made: The Measurement Devices Did Not Stream\n"
                                       "The Previous Capture Is Kept For Save IR");
    bool picked = false;
    SetFilePickerHook([&](const FilePickerDescription&, char*, char*) { return picked = true; });
    PageCommand(IDC_MLS_SAVE_IR);
    EXPECT_FALSE(picked);
    ASSERT_EQ(recorder_.shown.size(), 2u);
    EXPECT_EQ(recorder_.shown[1].text, kMlsNoCaptureToSave);
}

// A calibration import names the file it chose in the frequency window's caption, the preamp's as the
// microphone's, also when the file is refused.
TEST_F(MlsSession, CalibrationImportCaptionNamesTheChosenFile) {
    OpenMls();
    ASSERT_NE(MlsControlPage, nullptr);
    const std::string path = (folder_ / "preamp.txt").string();
    std::ofstream(path) << "20 0.5\n";  // a row without its phase
    CopySettingText(Preferences->MikeCalFilePath, kPathWidth, "C:\\earlier\\mike.txt");
    SetFilePickerHook([&](const FilePickerDescription&, char* chosen, char*) {
        std::strcpy(chosen, path.c_str());
        return true;
    });
    PageCommand(IDC_MLS_IMPORT_PREAMP);
    EXPECT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(Title(MlsSplWindow), "MLS Frequency Domain  " + path);
    EXPECT_EQ(std::string(Preferences->PreampCalFilePath), path);
}

// A *.RES file of a known system (the measured channel half the reference, 30 samples later), made here
// through the loop-back, loaded through "Use Saved Buffer": both traces shown, the delay in the frequency
// window's title; Calculate SPL then shows the measured page with the system's flat level and its delay's
// phase, -360 f D / fs.
TEST_F(MlsSession, SavedRunOfAKnownSystemDrawsBothTracesAndItsResponse) {
    const int D = 30;
    const double g = 0.5;
    Capture24Bit = 1;
    MlsOrder = 18;
    MlsSettings.MlsRateIndex = 1;
    MlsStimulusSettings s = CurrentStimulusSettings();
    s.output_delay = 2;
    GenerateMlsStimulus(s, GlobalMlsStimulusBuffers());
    const std::vector<uint8_t> capture = PlayThroughLoopback(MlsStimulusBuffer, 1, 48000, D, {g});
    const std::string path = (folder_ / "known.res").string();
    MessageList messages;
    ASSERT_EQ(WriteResFile(path, capture.data(), 1, 1, 5, &messages), 1);

    OpenMls();
    ASSERT_NE(MlsControlPage, nullptr);
    MlsSettings.UseSavedBuffer = 0;
    PageCommand(IDC_MLS_USE_SAVED);
    EXPECT_EQ(MlsSettings.UseSavedBuffer, 1u);
    EXPECT_EQ(IsDlgButtonChecked(MlsControlPage, IDC_MLS_USE_SAVED), static_cast<UINT>(BST_CHECKED));
    SetFilePickerHook([&](const FilePickerDescription& d, char* chosen, char* title) {
        EXPECT_EQ(d.filters.front().first, "MLS Impulse (*.RES)");
        EXPECT_EQ(d.default_extension, "res");
        std::strcpy(chosen, path.c_str());
        std::strcpy(title, "known.res");
        return true;
    });
    PageCommand(IDC_MLS_RUN);
    EXPECT_EQ(InPeakIndex - RefPeakIndex, D);
    EXPECT_NE(Title(MlsSplWindow).find("Delta 30"), std::string::npos) << Title(MlsSplWindow);
    EXPECT_EQ(MlsCurves[20].Values[2000], 1.0f);
    EXPECT_EQ(MlsCurves[21].Values[2000], 1.0f);
    EXPECT_NEAR(MlsCurves[21].Values[kMlsAlignedPeak + D], g * MlsCurves[20].Values[kMlsAlignedPeak], 0.01);
    EXPECT_EQ(EngineRunning.load(), 0);
    Shot("mls-impulse-run", MlsImpWindow);

    SelectList(IDC_MLS_CPLX_SMOOTHING, 0);
    SelectList(IDC_MLS_SPL_SMOOTHING, 5);
    MlsSettings.MikeCalUse = MlsSettings.PreampCalUse = 0;
    MlsSplPageIndex = 3;
    PageCommand(IDC_MLS_CALCULATE_SPL);
    EXPECT_TRUE(recorder_.shown.empty()) << recorder_.shown.front().text;
    EXPECT_EQ(MlsSplPageIndex, 0);
    int bins = 0;
    const double fs = 48000.0;
    const float level = CurrentDriver->spl_lin[200];
    for (int k = 100; k < 20000; k += 23) {
        const double f = BinFrequencyTable[k];
        if (f > 16000.0) break;
        ASSERT_NEAR(CurrentDriver->spl_lin[k], level, 0.1) << f;
        double want = std::fmod(-360.0 * f * D / fs, 360.0);
        if (want < -180.0) want += 360.0;
        if (std::fabs(std::fabs(want) - 180.0) < 5.0) continue;  // the wrap itself
        ASSERT_NEAR(CurrentDriver->phase_lin[k], want, 1.5) << f;
        ++bins;
    }
    EXPECT_GT(bins, 50) << "bins checked";
    EXPECT_EQ(MlsCurves[0].Visible, 1.0f);
    Shot("mls-frequency-run", MlsSplWindow);

    // The process page and back: the loaded capture is still there, and Save IR writes it as it was read.
    SelectControlTab(1);
    SelectControlTab(0);
    const std::string saved = (folder_ / "saved.res").string();
    SetFilePickerHook([&](const FilePickerDescription& d, char* chosen, char* title) {
        EXPECT_TRUE(d.for_save);
        EXPECT_EQ(std::string(title), "known_48k");  // the proposed name
        EXPECT_EQ(std::string(chosen), (folder_ / "known_48k").string());
        std::strcpy(chosen, saved.c_str());
        return true;
    });
    PageCommand(IDC_MLS_SAVE_IR);
    EXPECT_TRUE(recorder_.shown.empty());
    EXPECT_EQ(ReadFileBytes(saved).size(), 2108007u);
    EXPECT_TRUE(ReadFileBytes(saved) == ReadFileBytes(path));

    // The response into buffer 1 of the process page: its level at a bin is the driver's, relative to 90 dB.
    SelectControlTab(1);
    SendMessageA(MlsControlPage, WM_COMMAND, IDC_PP_STORE_1, 0);
    Pump();
    const int k = 2000;
    const double re = CalibrationCurves[0].Values[k], im = CalibrationCurves[1].Values[k];
    EXPECT_NEAR(10.0 * std::log10(re * re + im * im) + 90.0, CurrentDriver->spl_lin[k], 0.01);
    EXPECT_EQ(MlsSplPageIndex, 2);
    Shot("mls-process-run", MlsControlWindow);
    Shot("mls-frequency-post-run", MlsSplWindow);

    // A live run that fails (no device here) keeps the loaded capture: Save IR still writes the file as it was
    // read, not a well-formed file of zeros.
    SelectControlTab(0);
    PageCommand(IDC_MLS_USE_SAVED);
    ASSERT_EQ(MlsSettings.UseSavedBuffer, 0u);
    recorder_.shown.clear();
    PageCommand(IDC_MLS_RUN);
    EXPECT_EQ(Title(FrameWindow), kMeasurementCaptureErrorTitle);
    EXPECT_EQ(recorder_.shown.size(), 1u);
    std::filesystem::remove(saved);
    SetFilePickerHook([&](const FilePickerDescription&, char* chosen, char*) {
        std::strcpy(chosen, saved.c_str());
        return true;
    });
    PageCommand(IDC_MLS_SAVE_IR);
    EXPECT_EQ(recorder_.shown.size(), 1u);
    EXPECT_TRUE(ReadFileBytes(saved) == ReadFileBytes(path));
}
