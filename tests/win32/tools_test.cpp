// The data tools' windows driven as a user drives them: an import through the frame's menu, the converter
// dialog and the HBT editor it opens; the HBT runs; the impulse-response dialog with its two views, its
// optimisation, its choice of a window and its save; the diffraction calculator edited with the mouse and its
// plot. Screenshots of every window when HV_SCREENSHOT_DIR is set.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/window_registry.h"
#include "app_session.h"
#include "modal_script.h"
#include "screen_capture.h"
#include "engine/window_shapes.h"
#include "tools/diffraction_calculator.h"
#include "tools/driver_fields.h"
#include "tools/ir_export.h"
#include "tools/ir_file_writer.h"
#include "tools/resource_ids.h"
#include "tools/win32/tool_windows.h"

extern int32_t IrOptRow;

namespace {

constexpr double kPi = 3.14159265358979323846;

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string TextOf(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}
std::string ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }
std::string ListText(HWND dialog, int list, int index) {
    char text[256] = {};
    SendDlgItemMessageA(dialog, list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<unsigned char> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Counts the client pixels of a window that have a colour (the window is shown and painted first).
int PixelsOf(HWND window, COLORREF colour) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    RECT rc;
    GetClientRect(window, &rc);
    HDC dc = GetDC(window);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, rc.right, rc.bottom, dc, 0, 0, SRCCOPY);
    int n = 0;
    for (int y = 0; y < rc.bottom; y += 1)
        for (int x = 0; x < rc.right; x += 1) n += GetPixel(mem, x, y) == colour;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(window, dc);
    return n;
}

// What the screen shows now, without a repaint (pictures the dialogs drew straight into their views).
void ShotAsIs(const char* name, HWND window) {
    if (!ScreenshotsWanted() || !window) return;
    Pump();
    RECT r;
    GetWindowRect(window, &r);
    SaveScreenRect(name, r);
}

void Shot(const char* name, HWND window) {
    if (!ScreenshotsWanted() || !window) return;
    HWND child = window;
    while (GetParent(child) && GetParent(child) != MdiClientWindow) child = GetParent(child);
    if (GetParent(child) == MdiClientWindow) SendMessageA(MdiClientWindow, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
    RedrawWindow(GetAncestor(window, GA_ROOT), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (int i = 0; i < 5; ++i) {
        Pump();
        Sleep(15);
    }
    RECT r;
    GetWindowRect(window, &r);
    SaveScreenRect(name, r);
}

// A text file in the IMP shape of a second-order high-pass (60 Hz, Q 0.7), levels relative to 0 dB: a header
// line, then "frequency amplitude phase" rows with CR LF.
std::complex<double> HighPass(double f) {
    const std::complex<double> s(0.0, f / 60.0);
    return s * s / (s * s + s / 0.7 + 1.0);
}

std::string WriteHighPassFile(const std::filesystem::path& folder) {
    const std::filesystem::path path = folder / "woofer.frd";
    std::ofstream out(path, std::ios::binary);
    out << "* Freq(Hz) SPL(dB) Phase(deg)\r\n";
    for (int i = 0; i <= 600; ++i) {
        const double f = 10.0 * std::pow(2000.0, i / 600.0);
        const std::complex<double> h = HighPass(f);
        char line[96];
        std::snprintf(line, sizeof line, "%.4f %.4f %.4f\r\n", f, 20.0 * std::log10(std::abs(h)),
                      std::arg(h) * 180.0 / kPi);
        out << line;
    }
    return path.string();
}

// Runs Python's wave module on a WAV file from inside Wine: the Linux python3 is started with the file's
// Unix path and writes what it read into a result file, which is awaited (a Unix process cannot be waited on).
// Returns false when there is no python3 or no answer came.
bool PythonWaveReads(const std::filesystem::path& wav, std::string* answer) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unix_name = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (!unix_name || !std::filesystem::exists("Z:\\usr\\bin\\python3")) return false;
    auto unix_path = [&](const std::filesystem::path& p) {
        char* name = unix_name(p.wstring().c_str());
        std::string s = name ? name : "";
        if (name) HeapFree(GetProcessHeap(), 0, name);
        return s;
    };
    const std::filesystem::path script = wav.parent_path() / "read_wave.py";
    const std::filesystem::path result = wav.parent_path() / "wave_result.txt";
    std::ofstream(script) << "import wave,sys,os\n"
                             "w=wave.open(sys.argv[1],'rb')\n"
                             "d=w.readframes(w.getnframes())\n"
                             "k=int(sys.argv[3])\n"
                             "v=int.from_bytes(d[3*k:3*k+3],'little',signed=True)\n"
                             "open(sys.argv[2]+'.part','w').write('%d %d %d %d %d' % (w.getnchannels(),"
                             "w.getsampwidth(),w.getframerate(),w.getnframes(),v))\n"
                             "os.rename(sys.argv[2]+'.part',sys.argv[2])\n";
    std::string command = "/usr/bin/python3 " + unix_path(script) + " " + unix_path(wav) + " " +
                          unix_path(wav.parent_path()) + "/wave_result.txt " + std::to_string(BlockFrames / 4);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 200 && !std::filesystem::exists(result); ++i) Sleep(50);
    std::ifstream in(result);
    std::getline(in, *answer);
    return !answer->empty();
}

class ToolsUi : public AppSession {
protected:
    void SetUp() override {
        AppSession::SetUp();
        InstallToolWindows();
        ASSERT_TRUE(Start());
        ShowWindow(FrameWindow, SW_SHOW);
        Pump();
        recorder_.shown.clear();
    }
    void TearDown() override {
        SetFilePickerHook(nullptr);
        ClearModalScript();
        Dialogs = DialogCreators{};
        AppSession::TearDown();
    }
    void Command(int id) {
        SendMessageA(FrameWindow, WM_COMMAND, static_cast<WPARAM>(id), 0);
        Pump();
    }
    // Runs a frame command that opens a modal dialog, with `script` played inside it.
    void CommandWithDialog(int id, std::function<void(HWND)> script) {
        // The modeless tool dialogs stay open beside a modal one.
        ArmModalScript(std::move(script),
                       [](HWND w) { return w == TransferFunctionWindow || w == DiffractionCalculatorWindow; });
        Command(id);
    }
    void PickFile(const std::string& path) {
        SetFilePickerHook([path](const FilePickerDescription&, char* p, char* title) {
            lstrcpynA(p, path.c_str(), kPathWidth);
            lstrcpynA(title, "picked", 256);
            return true;
        });
    }
    std::vector<std::string> Shown() const {
        std::vector<std::string> v;
        for (const HvMessage& m : recorder_.shown) v.push_back(m.text);
        return v;
    }
};

// ---- Import, repair and the HBT editor ---------------------------------------------------------------------

TEST_F(ToolsUi, ImportRepairsAndOpensTheHbtEditor) {
    const std::string path = WriteHighPassFile(folder_);
    PickFile(path);
    Preferences->EraseLines = 1;
    Preferences->TotalColumns = 3;
    bool checked = false;
    CommandWithDialog(IDM_IMPORT_IMP, [&](HWND d) {
        EXPECT_EQ(TextOf(d), path);
        EXPECT_EQ(std::stol(ItemText(d, IDC_IMPORT_LENGTH)), static_cast<long>(std::filesystem::file_size(path)));
        EXPECT_EQ(ItemText(d, IDC_IMPORT_ERASE_LINES), "1");
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_IMPORT_COLUMN_1 + 3), static_cast<UINT>(BST_UNCHECKED));
        Shot("import-imp", d);
        Type(d, IDC_IMPORT_EFFICIENCY, "0");
        Click(d, IDC_IMPORT_CONVERT);
        EXPECT_TRUE(IsWindowVisible(d));
        ASSERT_FALSE(recorder_.shown.empty());
        EXPECT_EQ(recorder_.shown.back().text, "Enter Reference Efficiency");
        EXPECT_EQ(recorder_.shown.back().caption, "HV MEssage");
        Type(d, IDC_IMPORT_EFFICIENCY, "0.0");
        Click(d, IDCANCEL);
        checked = true;
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(EditorWindow, nullptr);  // Cancel: no repair, no editor
    EXPECT_EQ(TransferFunctionWindow, nullptr);
    EXPECT_STREQ(DriverEfficiencyText(*CurrentDriver), "0.0");  // the edited text is kept

    recorder_.shown.clear();
    CommandWithDialog(IDM_IMPORT_IMP, [&](HWND d) {
        Type(d, IDC_IMPORT_EFFICIENCY, "88.5");
        Click(d, IDC_IMPORT_CONVERT);
    });
    EXPECT_TRUE(Shown().empty()) << Shown()[0];
    ASSERT_NE(EditorWindow, nullptr);
    ASSERT_NE(TransferFunctionWindow, nullptr);
    EXPECT_EQ(ModalDialogOpen.load(), 0);
    EXPECT_STREQ(DriverEfficiencyText(*CurrentDriver), "88.5");
    // The curves follow the high-pass on both grids, with no gap left by the repair.
    for (int i = 699; i < 2699; i += 37) {
        const double f = LogFrequencyTable[i];
        if (f < 11.0 || f > 19000.0) continue;
        const double expect = 88.5 + 20.0 * std::log10(std::abs(HighPass(f)));
        ASSERT_NEAR(CurrentDriver->spl_log[i], expect, 0.6) << f;
        ASSERT_GT(CurrentDriver->spl_log[i], 1.0f);
    }
    EXPECT_GT(CurrentDriver->spl_log[3099], 1.0f);  // trailing gap filled by the repair
    EXPECT_NE(CurrentDriver->phase_lin[8 * BlockFrames + 100], 0.0f);
    // The editor shows the driver: its title and its curves.
    UpdateWindow(EditorWindow);
    EXPECT_EQ(TextOf(EditorWindow), "HBT Editor Window");
    EXPECT_EQ(TextOf(TransferFunctionWindow), "HBT Editor Dialogue");
    Shot("hbt-editor-after-import", EditorWindow);
}

// An empty file is refused by its load: the converter does not open on nothing.
TEST_F(ToolsUi, EmptyImportFileIsRefusedBeforeTheConverterOpens) {
    const std::filesystem::path path = folder_ / "empty.txt";
    std::ofstream(path, std::ios::binary).close();
    PickFile(path.string());
    bool opened = false;
    CommandWithDialog(IDM_IMPORT_LMS, [&](HWND d) {
        opened = true;
        Click(d, IDCANCEL);
    });
    EXPECT_FALSE(opened);
    EXPECT_EQ(Shown(), std::vector<std::string>{"No Data Rows From Line 1"});
}

// Opening a driver file opens the HBT editor on it, with the file's fields in the dialog.
TEST_F(ToolsUi, OpeningADriverFileOpensTheHbtEditor) {
    const std::filesystem::path file = folder_ / "tweeter.twe";
    std::strcpy(DriverHighPassStop(*CurrentDriver), "1234.5");
    std::strcpy(DriverEfficiencyText(*CurrentDriver), "91.0");
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(CurrentDriver), sizeof(HV_Driver_Data));
    }
    std::strcpy(DriverHighPassStop(*CurrentDriver), "10.00");
    PickFile(file.string());
    recorder_.answer = IDYES;
    Command(IDM_OPEN_DRIVER);
    ASSERT_NE(EditorWindow, nullptr);
    ASSERT_NE(TransferFunctionWindow, nullptr);
    EXPECT_EQ(ItemText(TransferFunctionWindow, IDC_HBT_HP_STOP), "1234.5");
    EXPECT_EQ(ItemText(TransferFunctionWindow, IDC_HBT_EFFICIENCY), "91.0");
    RECT r;
    GetWindowRect(TransferFunctionWindow, &r);
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(r.bottom - r.top, 242);
}

TEST_F(ToolsUi, HbtRunsFromTheEditor) {
    Command(IDM_FILE_EDITOR);
    ASSERT_NE(EditorWindow, nullptr);
    HWND d = TransferFunctionWindow;
    ASSERT_NE(d, nullptr);
    for (int k = 0; k < kLinGridPoints; ++k) CurrentDriver->spl_lin[k] = 90.0f;
    Type(d, IDC_HBT_INPUT_POWER, "1.00000000000000000");  // "Pin" holds 19 characters
    EXPECT_STREQ(DriverInputPower(*CurrentDriver), "1.00000000000000000");
    Type(d, IDC_HBT_HP_SLOPE, "0");  // no tails: the transform of a flat curve is flat
    Type(d, IDC_HBT_LP_SLOPE, "0");
    EXPECT_STREQ(DriverLowPassSlope(*CurrentDriver), "0");
    // The distance bar: page right from 9995 stops at 10000; 0 is stored as 1e-6 m.
    HWND bar = GetDlgItem(d, IDC_HBT_DISTANCE);
    SetScrollPos(bar, SB_CTL, 9995, FALSE);
    SendMessageA(d, WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 10000);
    EXPECT_FLOAT_EQ(DriverHbtDistance(*CurrentDriver), 10.0f);
    SendMessageA(d, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 344), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(ItemText(d, IDC_HBT_DISTANCE_TEXT), "Dist = 0.34400[m], Delay = 1.00000[ms]");
    SendMessageA(d, WM_HSCROLL, MAKEWPARAM(SB_LEFT, 0), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(DriverHbtDistance(*CurrentDriver), 1e-6f);
    // The distance boxes toggle their flags and marks; both are off for the runs below.
    const uint32_t phase = DriverPhaseDistance(*CurrentDriver);
    Click(d, IDC_HBT_PHASE_DISTANCE);
    EXPECT_EQ(DriverPhaseDistance(*CurrentDriver), phase == 1 ? 0u : 1u);
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_HBT_PHASE_DISTANCE), DriverPhaseDistance(*CurrentDriver) == 1 ? 1u : 0u);
    if (DriverPhaseDistance(*CurrentDriver) == 1) Click(d, IDC_HBT_PHASE_DISTANCE);
    if (DriverAmplitudeDistance(*CurrentDriver) == 1) Click(d, IDC_HBT_AMPLITUDE_DISTANCE);
    EXPECT_EQ(DriverAmplitudeDistance(*CurrentDriver), 0u);
    CurrentDriver->hbt_done = 0;
    Click(d, IDC_HBT_LIN_RUN);
    const int M = 32 * BlockFrames;
    char expect[64];
    std::snprintf(expect, sizeof expect, "Run: %d of %d", M - 1, M);
    EXPECT_EQ(ItemText(d, IDC_HBT_PROGRESS), expect);
    EXPECT_EQ(CurrentDriver->hbt_done, 1u);
    EXPECT_NEAR(CurrentDriver->hbt_re_lin[1000], 1.0f, 1e-3);
    // Use As Mike Cal File: a flat 90 dB transform is 0 dB and 0 degrees.
    Click(d, IDC_HBT_MIKE_CAL);
    EXPECT_NEAR(MikeCalCurve[2 * 1000], 0.0f, 1e-3);
    EXPECT_EQ(CurrentDriver->mike_cal[1000].spl_db, MikeCalCurve[2 * 1000]);
    EXPECT_EQ(MlsCurves[25].Values[1000], MikeCalCurve[2 * 1000]);
    // The plot: the HBT curve of the linear run in the editor window.
    const ColourEntry& hbt = ColourScheme[4];
    EXPECT_GT(PixelsOf(EditorWindow, RGB(hbt.red, hbt.green, hbt.blue)), 100);
    Shot("hbt-editor", FrameWindow);
    // A refused run says so and writes nothing: a slope no tail can have (the log run as the linear one), and
    // no input power.
    CurrentDriver->hbt_done = 0;
    const std::vector<float> log_re(CurrentDriver->hbt_re_log, CurrentDriver->hbt_re_log + kLogGridPoints);
    for (int slope_edit : {IDC_HBT_HP_SLOPE, IDC_HBT_LP_SLOPE}) {
        recorder_.shown.clear();
        Type(d, slope_edit, "1e30");
        Click(d, IDC_HBT_LOG_RUN);
        EXPECT_EQ(Shown(), std::vector<std::string>{"SPL Data Error"}) << slope_edit;
        Type(d, slope_edit, "0");
    }
    EXPECT_EQ(CurrentDriver->hbt_done, 0u);
    EXPECT_EQ(std::memcmp(log_re.data(), CurrentDriver->hbt_re_log, sizeof CurrentDriver->hbt_re_log), 0);
    Type(d, IDC_HBT_INPUT_POWER, "0");
    recorder_.shown.clear();
    Click(d, IDC_HBT_LOG_RUN);
    EXPECT_EQ(Shown(), std::vector<std::string>{"Input Power Error"});
    // No help file beside the program: a plain box says so.
    Click(d, IDC_HBT_HELP);
    ASSERT_EQ(recorder_.shown.size(), 2u);
    EXPECT_EQ(recorder_.shown[1].text, "HILBERT.CHM File");
    EXPECT_EQ(recorder_.shown[1].caption, "HV MEssage");
    EXPECT_EQ(recorder_.shown[1].icon, MessageIcon::None);
    Click(d, IDCANCEL);
    EXPECT_EQ(TransferFunctionWindow, nullptr);
}

// Painting leaves nothing to paint: the plot windows do not invalidate themselves while they paint.
TEST_F(ToolsUi, PlotWindowsPaintOnce) {
    Command(IDM_FILE_EDITOR);
    Command(IDM_DIFFRACTION_MODEL);
    Command(IDM_POSITION_IR);
    for (HWND w : {DiffractionWindow, IrChildWindow, IrSplChildWindow}) {
        ASSERT_NE(w, nullptr);
        InvalidateRect(w, nullptr, TRUE);
        UpdateWindow(w);
        EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));
    }
    Command(IDM_FILE_EDITOR);
    ASSERT_NE(EditorWindow, nullptr);
    InvalidateRect(EditorWindow, nullptr, TRUE);
    UpdateWindow(EditorWindow);
    EXPECT_FALSE(GetUpdateRect(EditorWindow, nullptr, FALSE));
}

TEST_F(ToolsUi, CommandsAreRefusedWhileTheEngineRuns) {
    bool picked = false;
    SetFilePickerHook([&](const FilePickerDescription&, char*, char*) {
        picked = true;
        return false;
    });
    EngineRunning = 1;
    Command(IDM_IMPORT_LMS);
    Command(IDM_FILE_EDITOR);
    Command(IDM_DIFFRACTION_MODEL);
    Command(IDM_EXPORT_IR);
    EXPECT_FALSE(picked);
    EXPECT_EQ(TransferFunctionWindow, nullptr);
    EXPECT_EQ(DiffractionCalculatorWindow, nullptr);
    Command(IDM_POSITION_IR);  // never refused
    EXPECT_NE(IrChildWindow, nullptr);
    EXPECT_NE(IrSplChildWindow, nullptr);
    EngineRunning = 0;
    // A cancelled picker ends the import: nothing opens.
    Command(IDM_IMPORT_IMP);
    EXPECT_TRUE(picked);
    EXPECT_EQ(EditorWindow, nullptr);
}

// ---- Impulse-response optimisation and export -----------------------------------------------------------

TEST_F(ToolsUi, OptimizeChooseAndSaveAnImpulseResponse) {
    // Output 1 solved flat: its filter is a windowed impulse. Output 3 is a magnitude-only high-pass at 300 Hz,
    // whose long symmetric response the candidate windows cut differently.
    for (int o = 0; o < 3; ++o)
        for (int k = 0; k <= 4 * BlockFrames; ++k) {
            const double f = k * 48000.0 / (8.0 * BlockFrames);
            OutputSpectrum[o][2 * k] = o == 0 ? 1.0f : o == 1 ? 0.5f : static_cast<float>(std::abs(HighPass(f / 5.0)));
            OutputSpectrum[o][2 * k + 1] = 0.0f;
        }
    for (int o = 0; o < kOutputCount; ++o) {
        OutputPolarity[o] = 1;
        OutputDelayMs[o] = 0.0f;
    }
    pr_file->tail.SplOnlyEq = 1;
    IrMethod = 0;
    const std::string wav = (folder_ / "out1.wav").string();
    bool ran = false;
    CommandWithDialog(IDM_EXPORT_IR, [&](HWND d) {
        ran = true;
        EXPECT_EQ(TextOf(d), "Optimize / Export Impulse Response");
        ASSERT_NE(IrChildWindow, nullptr);
        ASSERT_NE(IrSplChildWindow, nullptr);
        EXPECT_EQ(ModalDialogOpen.load(), 1);
        EXPECT_EQ(SendDlgItemMessageA(d, IDC_IR_CANDIDATE_LIST, LB_GETCOUNT, 0, 0), kIrCandidates);
        EXPECT_EQ(ListText(d, IDC_IR_CANDIDATE_LIST, 48), "Opt = 1024");
        EXPECT_EQ(ListText(d, IDC_IR_HIDE_PHASE_LIST, 8), "-160dB");
        EXPECT_EQ(ItemText(d, IDC_IR_TIME_LABEL), "IR Time Scale = 4110");  // N = 1024, SPL only
        // The impulse at sample 128 of output 1.
        EXPECT_NEAR(OutputImpulseResponse[0][2 * 128], 1.0f, 0.01f);
        Click(d, IDC_IR_OPTIMIZE);
        for (int s = 0; s < kIrCandidates; ++s) {
            ASSERT_EQ(LogCurveTable[s].Trailer[0], 1.0f) << s;
            ASSERT_NEAR(LogCurveTable[s].Values[1500], 0.0f, 0.1f) << s;  // flat: 0 dB
        }
        EXPECT_EQ(LogCurveTable[3].Trailer[1], static_cast<float>(ColourScheme[4].red));
        // The two views side by side and the dialog beside them, for the pictures.
        MoveWindow(IrChildWindow, 0, 0, 760, 420, TRUE);
        MoveWindow(IrSplChildWindow, 0, 420, 760, 430, TRUE);
        RECT dr;
        GetWindowRect(d, &dr);
        SetWindowPos(d, nullptr, 780, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SendMessageA(MdiClientWindow, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(IrChildWindow), 0);
        Pump();
        Pick(d, IDC_IR_OUTPUT_LIST, 2);
        Click(d, IDC_IR_OPTIMIZE);  // drawn into the views now in sight: 49 curves, one colour each
        int at60 = 0;
        while (LogFrequencyTable[at60] < 60.0f) ++at60;
        const float low256 = LogCurveTable[0].Values[at60], low1024 = LogCurveTable[48].Values[at60];
        EXPECT_GT(std::fabs(low256 - low1024), 0.5f) << low256 << " " << low1024;
        ShotAsIs("ir-optimisation", FrameWindow);
        Pick(d, IDC_IR_OUTPUT_LIST, 0);
        // Method 2 lists N/2 .. 2N.
        Click(d, IDC_IR_METHOD_2);
        EXPECT_EQ(ListText(d, IDC_IR_CANDIDATE_LIST, 0), "Opt = 512");
        EXPECT_EQ(ListText(d, IDC_IR_CANDIDATE_LIST, 48), "Opt = 2048");
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_IR_METHOD_1), static_cast<UINT>(BST_UNCHECKED));
        // A double click stores the candidate's window for output 1.
        Pick(d, IDC_IR_WINDOW_LIST, 2);
        Pick(d, IDC_IR_CANDIDATE_LIST, 5, LBN_DBLCLK);
        EXPECT_EQ(pr_file->tail.IrWindowSettings[0].length, 512 + 5 * 32);
        EXPECT_EQ(pr_file->tail.IrWindowSettings[0].window_type, 2);
        EXPECT_EQ(ListText(d, IDC_IR_SUMMARY_LIST, 0), "Out1, Met2, 672,  4-term Blackman-Harris");
        EXPECT_EQ(IrOptRow, 5);
        // The summary of output 2 in its slot.
        Pick(d, IDC_IR_SUMMARY_LIST, 1, LBN_DBLCLK);
        EXPECT_EQ(LogCurveTable[kIrSummarySlot].Trailer[0], 1.0f);
        EXPECT_NEAR(LogCurveTable[kIrSummarySlot].Values[1500], 20.0 * std::log10(0.5), 0.1);
        // The view's options rebuild it; the bars keep their limits.
        Click(d, IDC_IR_TEMPORAL_MASK);
        Click(d, IDC_IR_LOG_SCALE);
        HWND time = GetDlgItem(d, IDC_IR_TIME_SCALE);
        SendMessageA(d, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 1000), reinterpret_cast<LPARAM>(time));
        EXPECT_EQ(IrTimeScale, 1000);
        Shot("ir-view-options", FrameWindow);
        Click(d, IDC_IR_TEMPORAL_MASK);
        Click(d, IDC_IR_LOG_SCALE);
        // IR1 + IR2 reads no further than the responses and leaves the selected output as the list shows it.
        Pick(d, IDC_IR_OUTPUT_LIST, 3);
        Type(d, IDC_IR_ADVANCE, "999999");
        Click(d, IDC_IR_SUM);
        EXPECT_EQ(IrDialog.IrOutput, 3u);
        recorder_.shown.clear();
        Type(d, IDC_IR_ADVANCE, "-5");
        Click(d, IDC_IR_SUM);
        EXPECT_EQ(Shown(), std::vector<std::string>{"Time Offset Must Be Greater Than 0"});
        Type(d, IDC_IR_ADVANCE, "0");
        // Save output 1 as 24-bit mono WAV.
        Pick(d, IDC_IR_OUTPUT_LIST, 0);
        Pick(d, IDC_IR_FORMAT_LIST, 2);
        PickFile(wav);
        Click(d, IDC_IR_SAVE);
        EXPECT_EQ(ModalDialogOpen.load(), 1);
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(ModalDialogOpen.load(), 0);
    EXPECT_EQ(IrChildWindow, nullptr);  // the views close with the dialog
    EXPECT_EQ(IrSplChildWindow, nullptr);
    ASSERT_TRUE(std::filesystem::exists(wav)) << (Shown().empty() ? "" : Shown().back());
    EXPECT_EQ(std::filesystem::file_size(wav), 24u * BlockFrames + 46u);
    const std::vector<unsigned char> bytes = FileBytes(wav);
    ASSERT_GE(bytes.size(), 46u + 3u * 700u);
    // The impulse of the chosen window (Method 2: N/4 samples in) at full scale.
    const int at = 46 + 3 * (BlockFrames / 4);
    const int sample = bytes[at] | bytes[at + 1] << 8 | static_cast<signed char>(bytes[at + 2]) << 16;
    EXPECT_NEAR(sample, 8388000, 20000);
    // Python's wave module reads it back: one channel of 3 bytes at 48 kHz, 8N frames, the same sample.
    std::string answer;
    ASSERT_TRUE(PythonWaveReads(wav, &answer)) << "python3 did not answer";
    EXPECT_EQ(answer, "1 3 48000 " + std::to_string(8 * BlockFrames) + " " + std::to_string(sample));
}

// "WAV 24bit Stereo, Different Data" writes the second output's response as its own window makes it,
// though that output was never shown; an output with no response is named and nothing is written.
TEST_F(ToolsUi, StereoDifferentDataSavesTheSecondOutputsResponse) {
    // Output 1 flat, output 2 at half level 1 ms (48 samples) later, the others silent. With SPL-only filters
    // and Method 1 an impulse lands 128 samples in, times the falling window W(2 pi n / (8N - 1)).
    const int N = BlockFrames;
    for (int o = 0; o < kOutputCount; ++o) {
        for (int k = 0; k <= 4 * N; ++k) {
            OutputSpectrum[o][2 * k] = o == 0 ? 1.0f : o == 1 ? 0.5f : 0.0f;
            OutputSpectrum[o][2 * k + 1] = 0.0f;
        }
        OutputPolarity[o] = 1;
        OutputDelayMs[o] = o == 1 ? 1.0f : 0.0f;
    }
    pr_file->tail.SplOnlyEq = 1;
    pr_file->tail.HV_Sampling = 1;
    IrMethod = 0;
    WideWindow = 0;
    const std::filesystem::path wav = folder_ / "pair.wav", silent = folder_ / "silent.wav";
    CommandWithDialog(IDM_EXPORT_IR, [&](HWND d) {
        Pick(d, IDC_IR_OUTPUT_LIST, 0);
        Pick(d, IDC_IR_FORMAT_LIST, 4);
        Pick(d, IDC_IR_SECOND_LIST, 1);
        PickFile(wav.string());
        Click(d, IDC_IR_SAVE);
        Pick(d, IDC_IR_SECOND_LIST, 3);
        PickFile(silent.string());
        recorder_.shown.clear();
        Click(d, IDC_IR_SAVE);
        EXPECT_EQ(Shown(), std::vector<std::string>{"Output Port 4 Has No Impulse Response"});
        Click(d, IDCANCEL);
    });
    EXPECT_FALSE(std::filesystem::exists(silent));
    const std::vector<unsigned char> b = FileBytes(wav);
    ASSERT_EQ(b.size(), 46u + 48u * N);
    auto window = [&](int n) {
        const double t = 2.0 * kPi * n / (8.0 * N - 1.0);
        return 0.64125 + 0.48829 * std::cos(t) - 0.14128 * std::cos(2 * t) + 0.01168 * std::cos(3 * t);
    };
    for (int n = 0; n < 8 * N; ++n) {
        const unsigned char* f = b.data() + 46 + 6 * n;
        const int left = f[0] | f[1] << 8 | static_cast<signed char>(f[2]) << 16;
        const int right = f[3] | f[4] << 8 | static_cast<signed char>(f[5]) << 16;
        ASSERT_NEAR(left, n == 128 ? 8388000.0 * window(128) : 0.0, 64.0) << n;
        ASSERT_NEAR(right, n == 176 ? 0.5 * 8388000.0 * window(176) : 0.0, 64.0) << n;
    }
}

// A save writes the selected output with the window the summary lists for it, not with the window the dialog
// was last given for another output: Port 1 chosen with "Nuttall", Port 2 with "Cosine", Port 1 saved again
// is the same file bit for bit. Both are a magnitude-only 300 Hz high-pass whose long response reaches back
// into the fade-in.
TEST_F(ToolsUi, SaveWritesTheOutputWithTheWindowListedForIt) {
    for (int o = 0; o < kOutputCount; ++o) {
        for (int k = 0; k <= 4 * BlockFrames; ++k) {
            const double f = k * 48000.0 / (8.0 * BlockFrames);
            OutputSpectrum[o][2 * k] = o < 2 ? static_cast<float>(std::abs(HighPass(f / 5.0))) : 0.0f;
            OutputSpectrum[o][2 * k + 1] = 0.0f;
        }
        OutputPolarity[o] = 1;
        OutputDelayMs[o] = 0.0f;
    }
    pr_file->tail.SplOnlyEq = 1;
    IrMethod = 0;
    const std::filesystem::path a = folder_ / "a.wav", b = folder_ / "b.wav";
    CommandWithDialog(IDM_EXPORT_IR, [&](HWND d) {
        Pick(d, IDC_IR_FORMAT_LIST, kIrWavMono);
        Pick(d, IDC_IR_OUTPUT_LIST, 0);
        Click(d, IDC_IR_OPTIMIZE);
        Pick(d, IDC_IR_WINDOW_LIST, kWindowNuttall);
        Pick(d, IDC_IR_CANDIDATE_LIST, 5, LBN_DBLCLK);
        PickFile(a.string());
        Click(d, IDC_IR_SAVE);
        Pick(d, IDC_IR_OUTPUT_LIST, 1);
        Click(d, IDC_IR_OPTIMIZE);
        Pick(d, IDC_IR_WINDOW_LIST, kWindowCosine);
        Pick(d, IDC_IR_CANDIDATE_LIST, 10, LBN_DBLCLK);
        Pick(d, IDC_IR_OUTPUT_LIST, 0);
        PickFile(b.string());
        Click(d, IDC_IR_SAVE);
        EXPECT_EQ(ListText(d, IDC_IR_SUMMARY_LIST, 0), "Out1, Met1, 336,  Nuttall");
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(Shown().empty()) << Shown()[0];
    const std::vector<unsigned char> first = FileBytes(a), second = FileBytes(b);
    ASSERT_EQ(first.size(), 46u + 24u * BlockFrames);
    ASSERT_EQ(second.size(), first.size());
    const auto differs = std::mismatch(first.begin(), first.end(), second.begin()).first;
    EXPECT_TRUE(differs == first.end()) << "first difference at byte " << differs - first.begin();
}

// ---- Diffraction calculator and plot ---------------------------------------------------------------------

TEST_F(ToolsUi, CalculatorEditsTheOutlineAndPlots) {
    Command(IDM_DIFFRACTION_MODEL);
    HWND d = DiffractionCalculatorWindow;
    ASSERT_NE(d, nullptr);
    ASSERT_NE(DiffractionWindow, nullptr);
    EXPECT_EQ(TextOf(d), "Enclosure Diffraction Calculator");
    RECT window;
    GetWindowRect(d, &window);
    EXPECT_EQ(window.right - window.left, 615);
    EXPECT_EQ(window.bottom - window.top, 510);
    RECT canvas;
    GetWindowRect(GetDlgItem(d, IDC_DIF_CANVAS), &canvas);
    POINT origin{0, 0};
    ClientToScreen(d, &origin);
    EXPECT_EQ(canvas.left, origin.x);
    EXPECT_EQ(canvas.top, origin.y);
    EXPECT_EQ(Baffle->BaffleEditMode, static_cast<uint32_t>(kEditMove));
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_DIF_MOVE), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(ItemText(d, IDC_DIF_MIKE_POSITION), "MK X=40.0,  Y=40.0 [cm]");

    // Draw a 50 x 60 outline with the mouse: Example 2 clears it, Add places the nodes, node 0 closes it.
    Click(d, IDC_DIF_EXAMPLE_2);
    EXPECT_EQ(Baffle->NodeCount, 0);
    // Plot without a closed outline: the outline's message, owned by the frame.
    recorder_.shown.clear();
    recorder_.owners.clear();
    Click(d, IDC_DIF_PLOT);
    EXPECT_EQ(Shown(), std::vector<std::string>{"Unable To Find Closed SPLG (Baffle)"});
    ASSERT_EQ(recorder_.owners.size(), 1u);
    EXPECT_EQ(recorder_.owners[0].second, FrameWindow);
    Click(d, IDC_DIF_ADD);
    EXPECT_EQ(TextOf(d), "ADDING NODE");
    auto at = [](int gx, int gy) { return MAKELPARAM(4 * gx + 4, 468 - 4 * gy); };
    for (auto [x, y] : {std::pair{10, 10}, {60, 10}, {60, 70}, {10, 70}}) {
        SendMessageA(d, WM_MOUSEMOVE, 0, at(x, y));
        SendMessageA(d, WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
        SendMessageA(d, WM_LBUTTONUP, 0, at(x, y));
    }
    EXPECT_EQ(Baffle->NodeCount, 4);
    recorder_.shown.clear();
    SendMessageA(d, WM_LBUTTONDOWN, MK_LBUTTON, at(10, 10));
    EXPECT_EQ(Shown(), std::vector<std::string>{"SLPG Closed"});
    EXPECT_EQ(recorder_.owners.back().second, FrameWindow);  // a modeless window leaves the box to the frame
    EXPECT_EQ(Baffle->OutlineState, 2u);
    // Move: drag node 2 and the microphone.
    Click(d, IDC_DIF_MOVE);
    SendMessageA(d, WM_LBUTTONDOWN, MK_LBUTTON, at(59, 69));
    EXPECT_EQ(TextOf(d), "ClOSEST DISTANCE IS N 2  X=60.00, Y=70.00");
    SendMessageA(d, WM_MOUSEMOVE, MK_LBUTTON, at(62, 72));
    SendMessageA(d, WM_LBUTTONUP, 0, at(64, 74));
    EXPECT_EQ(Baffle->Nodes[2].x, 64);
    EXPECT_EQ(Baffle->Nodes[2].y, 74);
    SendMessageA(d, WM_LBUTTONDOWN, MK_LBUTTON, at(40, 41));  // driver 1 and the microphone at (40, 40)
    SendMessageA(d, WM_LBUTTONUP, 0, at(30, 35));
    EXPECT_EQ(Baffle->Positions[0].x, 30.0f);
    EXPECT_EQ(ItemText(d, IDC_DIF_DRIVER1), "Driver 1 X=30.0, Y=35.0 [cm]");
    // The enclosure of the record: 80 x 80 holds the driver.
    SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_DIF_PISTON_LIST, LBN_SELCHANGE), 0);
    Click(d, IDC_DIF_ROUND);
    EXPECT_EQ(DiffractionCalculatorSettings.BaffleEdgeType, 2u);
    Click(d, IDC_DIF_SHOW_PHASE);
    EXPECT_EQ(ShowPhase, 1u);
    Click(d, IDC_DIF_PLOT);
    EXPECT_TRUE(Shown().size() == 1) << (Shown().size() > 1 ? Shown()[1] : "");
    EXPECT_EQ(DiffractionCurves[0].Visible, 1.0f);
    EXPECT_EQ(DiffractionCurves[5].Visible, 1.0f);
    EXPECT_NE(DiffractionCurves[10].Visible, 1.0f);
    EXPECT_EQ(DiffractionSlots.spl_slot, 1u);
    EXPECT_EQ(TextOf(DiffractionWindow).rfind("Enclosure Diffraction Modeling  Frequency = ", 0), 0u);
    Shot("diffraction-calculator-drawn", FrameWindow);

    // Example 1 and Plot: the curves of the run in the plot window, in the colours of the scheme.
    Click(d, IDC_DIF_EXAMPLE_1);
    EXPECT_EQ(Baffle->NodeCount, 4);
    Click(d, IDC_DIF_PLOT);
    EXPECT_EQ(DiffractionSlots.spl_slot, 2u);
    EXPECT_EQ(DiffractionCurves[1].Visible, 1.0f);
    const ColourEntry& spl = ColourScheme[1];
    EXPECT_GT(PixelsOf(DiffractionWindow, RGB(spl.red, spl.green, spl.blue)), 200);
    const ColourEntry& phase = ColourScheme[2];
    EXPECT_GT(PixelsOf(DiffractionWindow, RGB(phase.red, phase.green, phase.blue)), 200);
    Shot("diffraction-plot", FrameWindow);
    // Clear hides every curve and starts the slots again.
    Click(d, IDC_DIF_CLEAR);
    EXPECT_EQ(DiffractionCurves[0].Visible, 0.0f);
    EXPECT_EQ(DiffractionSlots.spl_slot, 0u);
    EXPECT_EQ(PixelsOf(DiffractionWindow, RGB(spl.red, spl.green, spl.blue)), 0);
    // A raster typed as 0 stores 0.01; the canvas still draws (no glyph).
    Type(d, IDC_DIF_RASTER, "0");
    EXPECT_STREQ(Baffle->Raster, "0.01");
    EXPECT_EQ(ItemText(d, IDC_DIF_RASTER), "0");
    RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Type(d, IDC_DIF_RASTER, "1.0");
    Click(d, IDCANCEL);
    EXPECT_EQ(DiffractionCalculatorWindow, nullptr);
}

}  // namespace
