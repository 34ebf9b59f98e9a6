// The room equalizer driven as a user drives it: a right click on a room-EQ block of pane 1 opens "Minimum-
// Phase Room Equalizer"; a saved capture of a known room (made by the test through the in-memory loop-back)
// is loaded at a location through "Use Saved IR" and the picker, and its curve, marker, EQ and location file
// appear; "Done" writes the EQ into the block, and the channel's solved response carries it. Screenshot
// "room-eq-plots" when HV_SCREENSHOT_DIR is set.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/raw_file.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/window_registry.h"
#include "app_session.h"
#include "modal_script.h"
#include "pane_solve.h"
#include "design/pane_editor.h"
#include "measure/mls_test_support.h"
#include "measure/measurement_threads.h"
#include "measure/mls_state.h"
#include "measure/res_file.h"
#include "measure/room_eq.h"
#include "measure/room_eq_controls.h"
#include "measure/room_eq_resource_ids.h"
#include "measure/room_eq_run.h"
#include "measure/room_eq_state.h"
#include "measure/win32/room_eq_windows.h"
#include "screen_capture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kEchoDelay = 480;  // 10 ms at 48 kHz: a comb with peaks at 100 and 200 Hz
constexpr double kEcho = 0.5;
constexpr float kAddDb = 12.0f;  // brings the comb's peaks above the 0 dB threshold, its dips below

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

double EchoLevelDb(double f) {
    return 20.0 * std::log10(std::abs(1.0 + kEcho * std::polar(1.0, -2.0 * kPi * f * kEchoDelay / 48000.0)));
}

class RoomEqUi : public AppSession {
protected:
    void SetUp() override {
        AppSession::SetUp();
        InstallRoomEqualizer();
        ASSERT_TRUE(StartWithPanels());
        Pump();
        ASSERT_NE(PaneWindows[1], nullptr);
        // Pane 1's low-pass block becomes the room-EQ block: the same two-port in the same place.
        PaneRecord& pane = *PaneRecords[0];
        for (int i = 0; i < ElementListLength(pane); ++i)
            if (pane.elements[i].kind == FilterBlock) {
                block_ = i;
                break;
            }
        ASSERT_GE(block_, 0);
        pane.elements[block_].kind = RoomEqBlock;
        float* p = pane.params[block_].p;
        p[kParamLowEdge] = 20.0f;
        p[kParamHighEdge] = 200.0f;
        p[kParamPlotFlag] = kNoCorrectionOutput;
        p[kParamBypass] = p[kParamFilterGain] = p[kParamChannelDelay] = p[kParamPolarity] = p[kParamInputNode] = 0.0f;
        p[kParamOutputGain] = kAddDb;
        for (ComplexPoint& c : pane.element_responses[block_].points) c = ComplexPoint{1.0f, 0.0f};
        recorder_.shown.clear();
        recorder_.owners.clear();
    }
    void TearDown() override {
        SetFilePickerHook(nullptr);
        ClearModalScript();
        MlsSettings.UseSavedBuffer = 0;
        Capture24Bit = 0;
        AppSession::TearDown();
    }
    // Right-clicks the room-EQ block with `script` waiting for the dialog (the script runs in its modal loop).
    void OpenRoomEq(std::function<void(HWND)> script) {
        ArmModalScript(std::move(script));
        const NetworkElement& e = PaneRecords[0]->elements[block_];
        SendMessageA(PaneWindows[1], WM_RBUTTONDOWN, 0, MAKELPARAM(e.x1 + 20, e.y1));
        Pump();
    }
    // Validation and solve of pane 1 as the channel button does; the filter SPL of output 1.
    std::vector<float> SolvedOutput1() {
        LoadPaneNetwork(*PaneRecords[0], WorkingNet);
        MessageList messages;
        EXPECT_EQ(ValidateAndSolveWorkingNetwork(&messages), 0);
        return std::vector<float>(PlotCurveTable[0].Values, PlotCurveTable[0].Values + 4 * BlockFrames + 1);
    }
    // A capture file of the echo room, as a live 24-bit run at 48 kHz with the longest sequence would have left
    // it (with a short output delay, so that nearly all of the one-shot sequence is played).
    std::string EchoRoomFile() {
        MlsOrder = 18;
        MlsSettings.MlsRateIndex = 1;
        MlsSettings.MlsLengthIndex = 5;
        Capture24Bit = 1;
        CopySettingText(MlsOutputDelayText, kSettingTextWidth, "20");
        GenerateMlsStimulus(CurrentStimulusSettings(), GlobalMlsStimulusBuffers());
        std::vector<double> room(kEchoDelay + 1, 0.0);
        room[0] = 1.0;
        room[kEchoDelay] = kEcho;
        const std::vector<uint8_t> capture = PlayThroughLoopback(MlsStimulusBuffer, 1, 48000, 25, room);
        const std::string path = (folder_ / "echo_room.res").string();
        MessageList out;
        EXPECT_EQ(WriteResFile(path, capture.data(), 1, 1, 5, &out), 1);
        return path;
    }

    int block_ = -1;
};

}  // namespace

// "Use Saved IR" and Location 1 with the echo room's capture: location 1 holds the room's comb at the stimulus
// level plus the added 12 dB, its marker turns red, the EQ cuts the comb's peaks at 100 and 200 Hz down to the
// 0 dB threshold, and the capture is written again as Front_Left_L1.res. "Done" stores the EQ: output 1's
// solved response drops by the EQ at 100 Hz.
TEST_F(RoomEqUi, SavedCaptureOfAKnownRoomThroughDone) {
    const std::vector<float> before = SolvedOutput1();
    const std::string path = EchoRoomFile();
    int picked = 0;
    SetFilePickerHook([&](const FilePickerDescription& p, char* chosen, char* title) {
        ++picked;
        EXPECT_EQ(p.filters.at(0).second, "*.res");
        std::strcpy(chosen, path.c_str());
        std::strcpy(title, "echo_room.res");
        return true;
    });
    COLORREF marker = 0, empty_marker = 0;
    std::string caption;
    OpenRoomEq([&](HWND d) {
        Click(d, IDC_ROOMEQ_USE_SAVED);
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_ROOMEQ_USE_SAVED), static_cast<UINT>(BST_CHECKED));
        Click(d, IDC_ROOMEQ_LOCATION_FIRST);
        Pump();
        HDC dc = GetDC(RoomEqMarkerArea);
        marker = GetPixel(dc, 5, 13);
        empty_marker = GetPixel(dc, 5, 37);
        ReleaseDC(RoomEqMarkerArea, dc);
        // The read-out over the SPL plot at 100 Hz.
        SendMessageA(d, WM_MOUSEMOVE, 0, MAKELPARAM(60 + 650, 300));
        char text[160] = {};
        GetWindowTextA(d, text, sizeof text);
        caption = text;
        if (ScreenshotsWanted()) {
            RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            for (int i = 0; i < 10; ++i) {
                Pump();
                Sleep(15);
            }
            RECT r;
            GetWindowRect(d, &r);
            SaveScreenRect("room-eq-plots", r);
        }
        Click(d, IDOK);
    });
    EXPECT_EQ(picked, 1);
    for (const HvMessage& m : recorder_.shown) ADD_FAILURE() << "message: " << m.text;
    ASSERT_TRUE(RoomEqLocationMeasured(RoomEqCurves, 0));
    EXPECT_FALSE(RoomEqLocationMeasured(RoomEqCurves, 1));
    EXPECT_EQ(marker, RGB(228, 0, 0));
    EXPECT_EQ(empty_marker, RGB(0, 228, 0));
    EXPECT_EQ(caption.rfind("Minimum-Phase Room Equalizer: Ampl = ", 0), 0u) << caption;

    const double stimulus_db = 20.0 * std::log10(21346816.0 * MlsSettings.MlsOutputLevel / 256.0 / 102.0) - 90.0 + kAddDb;
    const float* spl = RoomEqCurves[kRoomEqLocationSplSlot].Values;
    const float* eq = RoomEqCurves[kRoomEqEqSplSlot].Values;
    int cut = 0;
    for (int k = 14; BinFrequencyTable[k] < 240.0f; ++k) {
        const double f = BinFrequencyTable[k];
        ASSERT_NEAR(spl[k], stimulus_db + EchoLevelDb(f), 0.3) << f << " Hz";
        if (f > 20.0 && f <= 200.0 && spl[k] > 0.0f) {
            ASSERT_NEAR(eq[k], -spl[k], 1e-4) << f;
            ++cut;
        } else {
            ASSERT_EQ(eq[k], 0.0f) << f;
        }
    }
    EXPECT_GT(cut, 10);
    EXPECT_EQ(RawFileSize((folder_ / "Front_Left_L1.res").string()), kResFileBytes24);

    // Done: the block carries the EQ, and so does the channel's solved response.
    int k100 = 1;
    while (BinFrequencyTable[k100] < 100.0f) ++k100;
    const ComplexPoint r = PaneRecords[0]->element_responses[block_].points[k100];
    EXPECT_NEAR(20.0 * std::log10(std::hypot(r.re, r.im)), eq[k100], 1e-3);
    EXPECT_LT(eq[k100], -3.0f);
    const std::vector<float> after = SolvedOutput1();
    EXPECT_NEAR(after[k100] - before[k100], eq[k100], 0.05);
    int k50 = 1;
    while (BinFrequencyTable[k50] < 49.0f) ++k50;
    EXPECT_EQ(eq[k50], 0.0f);
    EXPECT_NEAR(after[k50] - before[k50], 0.0, 0.05);  // the comb's dip at 50 Hz is not cut
}

// A capture file of another size is refused with "This IR File is NOT Recognized", and a silent capture with
// "Please Generate Impulse Response First", which gives the arrow cursor back; the locations stay unmeasured.
// A click at or above the upper edge is a "Frequency Selection Error". The dialog owns every box: the frame
// it keeps disabled must not come up over it when a box closes.
TEST_F(RoomEqUi, RefusedFilesAndBandClick) {
    const std::string junk_path = (folder_ / "short.res").string();
    std::vector<char> junk(1000, 1);
    std::ofstream(junk_path, std::ios::binary).write(junk.data(), static_cast<std::streamsize>(junk.size()));
    Capture24Bit = 0;
    const std::string silent_path = (folder_ / "silent.res").string();
    std::vector<uint8_t> silence(kMlsCaptureBytes, 0);
    MessageList written;
    ASSERT_EQ(WriteResFile(silent_path, silence.data(), 0, 1, 5, &written), 1);
    std::string path = junk_path;
    SetFilePickerHook([&](const FilePickerDescription&, char* chosen, char* title) {
        std::strcpy(chosen, path.c_str());
        std::strcpy(title, "capture.res");
        return true;
    });
    HCURSOR cursor = nullptr;
    HWND dialog = nullptr;
    OpenRoomEq([&](HWND d) {
        dialog = d;
        Click(d, IDC_ROOMEQ_USE_SAVED);
        Click(d, IDC_ROOMEQ_LOCATION_FIRST + 2);
        path = silent_path;
        Click(d, IDC_ROOMEQ_LOCATION_FIRST + 3);
        cursor = GetCursor();
        // Left click on a column above 200 Hz.
        SendMessageA(d, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60 + 715, 300));
    });
    ASSERT_EQ(recorder_.shown.size(), 3u);
    EXPECT_EQ(recorder_.shown[0].text, kResNotRecognized);
    EXPECT_EQ(recorder_.shown[0].caption, "HV Message");
    EXPECT_EQ(recorder_.shown[1].text, kNoImpulseResponse);
    EXPECT_EQ(recorder_.shown[2].text, kFrequencySelectionError);
    ASSERT_EQ(recorder_.owners.size(), 3u);
    for (const auto& [text, owner] : recorder_.owners) EXPECT_EQ(owner, dialog) << text;
    EXPECT_EQ(cursor, LoadCursor(nullptr, IDC_ARROW));
    EXPECT_FALSE(RoomEqLocationMeasured(RoomEqCurves, 2));
    EXPECT_FALSE(RoomEqLocationMeasured(RoomEqCurves, 3));
    EXPECT_EQ(PaneRecords[0]->params[block_].p[kParamLowEdge], 20.0f);
}

// A location run with no usable device (the endpoint lists are empty here): the capture thread fails to open
// its endpoint and the frame's title reads "CAPTURING ERROR - RESTART"; the run is neither analysed nor
// stored, a message says that the location was not measured, and both running flags are down.
TEST_F(RoomEqUi, LocationWithoutADeviceShowsTheErrorTitle) {
    MlsSettings.UseSavedBuffer = 0;
    bool flags_down = false;
    OpenRoomEq([&](HWND d) {
        Click(d, IDC_ROOMEQ_LOCATION_FIRST + 1);
        flags_down = EngineRunning.load() == 0 && MlsRenderRunning.load() == 0;
    });
    char title[128] = {};
    GetWindowTextA(FrameWindow, title, sizeof title);
    EXPECT_STREQ(title, kMeasurementCaptureErrorTitle);
    EXPECT_TRUE(flags_down);
    EXPECT_FALSE(RoomEqLocationMeasured(RoomEqCurves, 1));
    EXPECT_EQ(RoomEqCurves[kRoomEqReferenceImpulseSlot + 1].Values[kRoomEqImpulsePoints], 0.0f);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, kLocationDeviceFailed);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "Front_Left_L2.res"));
}

namespace {
HWND g_modal_dialog = nullptr;  // the room equalizer
std::vector<HWND> g_owners;     // the owner of each box or picker over it, in order
// Closes the box or picker that has come up over the dialog as the user does (Esc), noting its owner.
void CALLBACK AnswerOverTheDialog(HWND, UINT, UINT_PTR id, DWORD) {
    HWND shown = GetActiveWindow();
    if (!shown || shown == g_modal_dialog) return;
    KillTimer(nullptr, id);
    g_owners.push_back(GetWindow(shown, GW_OWNER));
    PostMessageA(shown, WM_COMMAND, IDCANCEL, 0);
}
}  // namespace

// The real box of a "Frequency Selection Error" and the real picker of a saved capture: the dialog owns both,
// and after each the user is back in the dialog, not in the frame it keeps disabled.
TEST_F(RoomEqUi, BoxesAndPickersOverTheDialogGiveItBack) {
    std::vector<HWND> active;
    bool frame_disabled = false;
    g_owners.clear();
    OpenRoomEq([&](HWND d) {
        g_modal_dialog = d;
        frame_disabled = !IsWindowEnabled(FrameWindow);
        SetMessageHook(nullptr);
        SetTimer(nullptr, 0, 30, AnswerOverTheDialog);
        SendMessageA(d, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60 + 715, 300));
        active.push_back(GetActiveWindow());
        RecordMessages();
        Click(d, IDC_ROOMEQ_USE_SAVED);
        SetTimer(nullptr, 0, 30, AnswerOverTheDialog);
        Click(d, IDC_ROOMEQ_LOCATION_FIRST);
        active.push_back(GetActiveWindow());
    });
    ASSERT_NE(g_modal_dialog, nullptr);
    EXPECT_TRUE(frame_disabled);
    EXPECT_EQ(g_owners, (std::vector<HWND>{g_modal_dialog, g_modal_dialog}));
    EXPECT_EQ(active, (std::vector<HWND>{g_modal_dialog, g_modal_dialog}));
}
