// The design windows driven as a user drives them: mouse messages draw a two-way chain in a channel pane,
// right clicks open the element dialogs, which are filled in and pressed through their controls, the chain
// is solved and the system plot painted. Screenshots of a pane and of the plot when HV_SCREENSHOT_DIR is set.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/window_registry.h"
#include "app_session.h"
#include "memory_canvas.h"
#include "modal_script.h"
#include "pane_solve.h"
#include "screen_capture.h"
#include "design/pane_editor.h"
#include "design/win32/design_windows.h"
#include "design/network_solver.h"
#include "design/network_validation.h"

namespace {

// Saves a window's picture as a BMP when the run asks for screenshots (HV_SCREENSHOT_DIR).
void MaybeWindowShot(const char* name, HWND window) {
    const char* dir = std::getenv("HV_SCREENSHOT_DIR");
    if (!dir || !*dir || !window) return;
    // The MDI child that holds the window comes to the front.
    HWND child = window;
    while (GetParent(child) && GetParent(child) != MdiClientWindow) child = GetParent(child);
    if (GetParent(child) == MdiClientWindow) SendMessageA(MdiClientWindow, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
    RedrawWindow(FrameWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    RECT r;
    GetWindowRect(window, &r);
    SaveScreenRect(name, r);
}

class DesignUi : public AppSession {
protected:
    void SetUp() override {
        AppSession::SetUp();
        ASSERT_TRUE(Start());
        ShowWindow(FrameWindow, SW_SHOW);
        Pump();
        recorder_.shown.clear();
    }
    void TearDown() override {
        SetFilePickerHook(nullptr);
        ClearModalScript();
        AppSession::TearDown();
    }
    void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    void Command(int id) { SendMessageA(FrameWindow, WM_COMMAND, id, 0); }
    static LPARAM At(int x, int y) { return MAKELPARAM(x, y); }
    void Mouse(UINT message, int x, int y, int pane = 1) { SendMessageA(PaneWindows[pane], message, 0, At(x, y)); }
    void PlaceAt(int kind, int x, int y) {
        ArmPalette(kind);
        Mouse(WM_MOUSEMOVE, x + 7, y + 3);
        Mouse(WM_LBUTTONDOWN, x, y);
        Mouse(WM_LBUTTONUP, x, y);
    }
    void WireFrom(int x0, int y0, int x1, int y1) {
        Mouse(WM_LBUTTONDOWN, x0, y0);
        Mouse(WM_MOUSEMOVE, (x0 + x1) / 2, (y0 + y1) / 2);
        Mouse(WM_MOUSEMOVE, x1, y1);
        Mouse(WM_LBUTTONUP, x1, y1);
    }
    // Right-clicks (x, y) of pane 1 with `script` waiting for the dialog that opens.
    void RightClickWithDialog(int x, int y, std::function<void(HWND)> script) {
        ArmModalScript(std::move(script));
        Mouse(WM_RBUTTONDOWN, x, y);
    }
    const PaneRecord& Pane1() const { return *PaneRecords[0]; }
    int Solve(std::vector<std::string>* texts) {
        MessageList messages;
        const int code = ValidateAndSolveWorkingNetwork(&messages);
        for (const HvMessage& m : messages) texts->push_back(m.text);
        return code;
    }
    // The two-way chain: input, a low-pass and a high-pass block, two output ports and a ground.
    void DrawTwoWayChain() {
        Command(IDM_BLANK_STEREO);
        Pump();
        ASSERT_NE(PaneWindows[1], nullptr);
        Mouse(WM_RBUTTONDOWN, 5, 5);  // activates pane 1
        ASSERT_EQ(ActivePane, 1);
        PlaceAt(InputTerminal, 50, 200);
        PlaceAt(FilterBlock, 100, 150);
        PlaceAt(FilterBlock, 100, 250);
        PlaceAt(OutputPort, 200, 150);
        PlaceAt(OutputPort, 260, 250);
        PlaceAt(Ground, 200, 330);
        WireFrom(50, 200, 100, 150);
        WireFrom(50, 200, 100, 250);
        WireFrom(140, 150, 200, 150);
        WireFrom(140, 250, 260, 250);
        WireFrom(200, 190, 200, 330);
        WireFrom(260, 290, 200, 330);
    }
};

TEST_F(DesignUi, DefaultDesignPaneAndPlot) {
    ASSERT_NE(PaneWindows[1], nullptr);
    ASSERT_NE(SplPlotWindow, nullptr);
    EXPECT_GT(Pane1().element_count, 0u);
    // Recompute the front-left channel as the panel does, then paint the plot.
    ActivePane = 1;
    LoadPaneNetwork(Pane1(), WorkingNet);
    std::vector<std::string> texts;
    ASSERT_EQ(Solve(&texts), 0) << (texts.empty() ? "" : texts[0]);
    InvalidateRect(SplPlotWindow, nullptr, TRUE);
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    UpdateWindow(SplPlotWindow);
    QueryPerformanceCounter(&t1);
    std::printf("system plot paint: %.1f ms\n", 1000.0 * (t1.QuadPart - t0.QuadPart) / f.QuadPart);
    char title[256] = {};
    GetWindowTextA(SplPlotWindow, title, sizeof title);
    EXPECT_STREQ(title, "Halvane Equalizer Frequency Domain, 16 Outputs");
    OutputMode = 0;
    RedrawWindow(SplPlotWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GetWindowTextA(SplPlotWindow, title, sizeof title);
    EXPECT_STREQ(title, "Halvane Equalizer Frequency Domain, 8 Outputs");
    // Painting the pane refreshed the derived nodes of its record.
    InvalidateRect(PaneWindows[1], nullptr, TRUE);
    UpdateWindow(PaneWindows[1]);
    EXPECT_TRUE(recorder_.shown.empty());
    MaybeWindowShot("pane-default-design", PaneWindows[1]);
    MaybeWindowShot("system-plot-default-design", SplPlotWindow);
}

TEST_F(DesignUi, MouseDrawsATwoWayChainThatSolves) {
    DrawTwoWayChain();
    ASSERT_TRUE(recorder_.shown.empty()) << recorder_.shown[0].text;
    const PaneRecord& r = Pane1();
    ASSERT_EQ(r.element_count, 6u);
    EXPECT_EQ(r.wire_count, 6u);
    const int32_t kinds[6] = {InputTerminal, FilterBlock, FilterBlock, OutputPort, OutputPort, Ground};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r.elements[i].kind, kinds[i]) << i;
    EXPECT_EQ(r.elements[3].y2, 190);
    EXPECT_EQ(r.elements[0].node1, r.elements[1].node1);
    EXPECT_EQ(r.elements[3].node2, r.elements[5].node1);
    // Ports and the high-pass slope, then the solve.
    PaneRecords[0]->params[0].p[kParamInputPort] = 1;
    PaneRecords[0]->params[3].p[kParamOutputNumber] = 1;
    PaneRecords[0]->params[4].p[kParamOutputNumber] = 2;
    PaneRecords[0]->params[2].p[kParamFilterSlope] = 8;
    LoadPaneNetwork(Pane1(), WorkingNet);
    std::vector<std::string> texts;
    ASSERT_EQ(Solve(&texts), 0) << (texts.empty() ? "" : texts[0]);
    EXPECT_EQ(PlotCurveTable[0].Visible, 1.0f);
    RedrawWindow(SplPlotWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    MaybeWindowShot("pane-drawn-two-way", PaneWindows[1]);
    MaybeWindowShot("system-plot-two-way", SplPlotWindow);
}

TEST_F(DesignUi, RefusalsAreShownWithThePaneCaption) {
    DrawTwoWayChain();
    recorder_.shown.clear();
    PlaceAt(InputTerminal, 400, 400);
    PlaceAt(FilterBlock, 60, 150);  // its terminal 2 would lie on the first block's terminal 1
    ASSERT_EQ(recorder_.shown.size(), 2u);
    EXPECT_EQ(recorder_.shown[0].text, "Input Node Exists");
    EXPECT_EQ(recorder_.shown[0].caption, "Splitter W1");
    EXPECT_EQ(recorder_.shown[1].text, "Overlapped Terminal Detected");
    EXPECT_EQ(Pane1().element_count, 6u);
}

TEST_F(DesignUi, MoveWipeAndToggleThroughTheMouse) {
    DrawTwoWayChain();
    EditTool = 5;
    Mouse(WM_LBUTTONDOWN, 260, 270);  // on the second output port's axis
    Mouse(WM_MOUSEMOVE, 300, 260);
    Mouse(WM_MOUSEMOVE, 321, 258);
    Mouse(WM_LBUTTONUP, 321, 258);
    EXPECT_EQ(Pane1().elements[4].x1, 320);
    EXPECT_EQ(Pane1().elements[4].y1, 260);
    EXPECT_EQ(Pane1().wires[3].x2, 320);  // the wire from the high-pass block followed
    EditTool = 1;
    Mouse(WM_LBUTTONDOWN, 200, 170);
    Mouse(WM_LBUTTONUP, 200, 170);
    Mouse(WM_LBUTTONDBLCLK, 200, 170);
    Mouse(WM_LBUTTONUP, 200, 170);
    EXPECT_EQ(Pane1().params[3].p[kParamPlotFlag], 0.0f);
    EditTool = 6;
    Mouse(WM_LBUTTONDBLCLK, 120, 250);
    EXPECT_EQ(Pane1().element_count, 5u);
    EXPECT_EQ(Pane1().wire_count, 4u);
    EditTool = 8;
    Mouse(WM_LBUTTONDBLCLK, 200, 250);  // the ground wire's column
    EXPECT_EQ(Pane1().wire_count, 3u);
}

TEST_F(DesignUi, FilterBlockDialogThroughItsControls) {
    DrawTwoWayChain();
    RightClickWithDialog(120, 150, [](HWND d) {
        char caption[64] = {};
        GetWindowTextA(d, caption, sizeof caption);
        EXPECT_STREQ(caption, "Filter And Voicing Element Data");
        EXPECT_EQ(SendDlgItemMessageA(d, 1512, LB_GETCOUNT, 0, 0), 12);
        EXPECT_EQ(SendDlgItemMessageA(d, 1509, LB_GETCOUNT, 0, 0), 10);
        Pick(d, 1512, 10);  // Keele LP-N
        Type(d, 1517, "1.05");
        Type(d, 1506, "2500");
        Click(d, IDOK);
        EXPECT_TRUE(IsWindowVisible(d));  // refused: R replaced
        char q[32] = {};
        GetDlgItemTextA(d, 1517, q, sizeof q);
        EXPECT_STREQ(q, "2.000000");
        Click(d, IDOK);
    });
    EXPECT_FALSE(IsWindow(CurrentModalScript().dialog));
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Option NOT Applicable To Narrow Keele Filters <1.1 -- 3.0>, Setting R = 2.0");
    EXPECT_EQ(Pane1().params[1].p[kParamFilterFamily], 10.0f);
    EXPECT_EQ(Pane1().params[1].p[kParamFilterFrequency], 2500.0f);
    EXPECT_EQ(Pane1().params[1].p[kParamCabsDelay], 2.0f);
    EXPECT_EQ(ModalDialogOpen.load(), 0);
    // Cancel restores family and frequency; the by-pass toggled in the dialog stays.
    RightClickWithDialog(120, 150, [](HWND d) {
        Pick(d, 1512, 1);
        Type(d, 1506, "100");
        Click(d, 1053);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(Pane1().params[1].p[kParamFilterFamily], 10.0f);
    EXPECT_EQ(Pane1().params[1].p[kParamFilterFrequency], 2500.0f);
    EXPECT_EQ(Pane1().params[1].p[kParamBypass], 1.0f);
}

TEST_F(DesignUi, InputPortDialogThroughItsControls) {
    DrawTwoWayChain();
    RightClickWithDialog(50, 200, [](HWND d) {
        char caption[64] = {};
        GetWindowTextA(d, caption, sizeof caption);
        EXPECT_STREQ(caption, "Enter Sound Card INPUT Port");
        Type(d, 1020, "10");
        Click(d, IDOK);
        EXPECT_TRUE(IsWindowVisible(d));
        Type(d, 1020, "9");
        Click(d, IDOK);
    });
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "INPUT Port Is Out Of Range (1....9)\n\nPort 9 is a Phantom Port used for BBM");
    EXPECT_EQ(Pane1().params[0].p[kParamInputPort], 9.0f);
}

TEST_F(DesignUi, OutputPortDialogLoadsADriverFile) {
    DrawTwoWayChain();
    // A driver file made at the system's rate and block size.
    const std::string path = (folder_ / "woofer.wfr").string();
    {
        std::vector<char> image(kDriverFileBytes, 0);
        auto* d = reinterpret_cast<HV_Driver_Data*>(image.data());
        d->Sampling = pr_file->tail.HV_Sampling;
        d->Buffer_Size = HV_Buffer_Size;
        std::strcpy(d->params[kEfficiencyField], "91.5");
        for (int k = 0; k < 65536; ++k) {
            d->hbt_re_lin[k] = 2.0f;
            d->hbt_im_lin[k] = 0.0f;
        }
        std::ofstream(path, std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    SetFilePickerHook([&](const FilePickerDescription& p, char* chosen, char* title) {
        EXPECT_EQ(p.filters.at(0).second, "*.wfr;*.uba;*.mrd;*.twe;*.stw");
        std::strcpy(chosen, path.c_str());
        std::strcpy(title, "woofer.wfr");
        return true;
    });
    RightClickWithDialog(200, 170, [](HWND d) {
        char caption[64] = {};
        GetWindowTextA(d, caption, sizeof caption);
        EXPECT_STREQ(caption, "Driver And Output Port Control");
        Type(d, 1020, "17");
        Click(d, IDOK);
        EXPECT_TRUE(IsWindowVisible(d));
        Type(d, 1020, "3");
        Click(d, 1601);  // Browse
        Type(d, 1602, "5");
        Click(d, IDOK);
        EXPECT_TRUE(IsWindowVisible(d));
        char low[32] = {};
        GetDlgItemTextA(d, 1602, low, sizeof low);
        EXPECT_STREQ(low, "10.00");
        Type(d, 1518, "2");
        char cm[32] = {};
        GetDlgItemTextA(d, 800, cm, sizeof cm);
        EXPECT_STREQ(cm, "68.8000");
        Click(d, 1022);  // Reverse Phase
        Click(d, IDOK);
    });
    EXPECT_FALSE(IsWindow(CurrentModalScript().dialog));
    std::vector<std::string> texts;
    for (const HvMessage& m : recorder_.shown)
        if (m.text.find("Already Allocated") == std::string::npos) texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"OUTPUT Port Is Out Of Range (1.....16)",
                                               "EQ Band Is Out Of Range, And Is Being Reset To: 10....40000Hz"}));
    const float* p = Pane1().params[3].p;
    EXPECT_EQ(p[kParamOutputNumber], 3.0f);
    EXPECT_EQ(p[kParamChannelDelay], 2.0f);
    EXPECT_EQ(p[kParamPolarity], -1.0f);
    EXPECT_EQ(p[kParamLowEdge], 10.0f);
    EXPECT_STREQ(Pane1().driver_file_path[3], path.c_str());
    EXPECT_STREQ(Pane1().driver_file_title[3], "woofer.wfr");
    EXPECT_EQ(Pane1().driver_responses[3].re[500], 2.0f);
    EXPECT_EQ(Pane1().driver_responses[3].efficiency_db, 91.5f);
    // The equalization of the driver went into the element's response, finite everywhere.
    for (int k = 0; k < 65536; k += 4096) {
        EXPECT_TRUE(std::isfinite(Pane1().element_responses[3].points[k].re)) << k;
    }
    MaybeWindowShot("pane-after-dialogs", PaneWindows[1]);
}

// The painter into a bitmap of the pane's size: raster dots, a wire, a block's fill and the active name.
TEST_F(DesignUi, PainterDrawsRasterWiresSymbolsAndTheName) {
    DrawTwoWayChain();
    RECT rc;
    GetClientRect(PaneWindows[1], &rc);
    HDC screen = GetDC(PaneWindows[1]);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(dc, bmp);
    ShowRaster = 1;
    PaintPane(1, PaneWindows[1], dc);
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(112, 112, 112));
    EXPECT_EQ(GetPixel(dc, 15, 10), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 170, 150), RGB(0, 0, 192));   // the wire from the low-pass block to output 1
    EXPECT_EQ(GetPixel(dc, 115, 140), RGB(0, 255, 255)); // inside the block's box
    bool red = false;  // the active pane's name
    for (int x = 2; x < 60 && !red; ++x)
        for (int y = rc.bottom - 30; y < rc.bottom - 5 && !red; ++y) red = GetPixel(dc, x, y) == RGB(228, 0, 0);
    EXPECT_TRUE(red);
    ShowRaster = 0;
    PaintPane(1, PaneWindows[1], dc);
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 255, 255));
    ShowRaster = 1;
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(PaneWindows[1], screen);
}

// Every drawn slot visible at N = 4096: the paint time is printed (speed is benchmarked, never asserted).
TEST_F(DesignUi, EveryCurveVisibleAtTheLargestBlock) {
    RebuildBinGrid(pr_file->tail.HV_Sampling, 3);
    ASSERT_EQ(BlockFrames, 4096);
    for (int slot = 0; slot < kPlotCurveSlots; ++slot) {
        PlotCurve& c = PlotCurveTable[slot];
        const bool phase = (slot >= 64 && slot < 128) || slot == 130 || slot >= 149;
        for (int k = 0; k <= 8 * 4096; ++k)
            c.Values[k] = phase ? static_cast<float>(180.0 * std::sin(k * 0.001 + slot))
                                : static_cast<float>(-3.0 * (slot % 16) - 10.0 * std::log10(1.0 + k / (20.0 + slot)));
        c.Visible = 1.0f;
        c.Red = static_cast<float>(slot * 37 % 256);
        c.Green = static_cast<float>(slot * 91 % 256);
        c.Blue = 128.0f;
        c.PenWidth = 1.0f;
        c.PenStyle = static_cast<float>(1 + slot % 3);
    }
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(SplPlotWindow), 0);
    Pump();
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        InvalidateRect(SplPlotWindow, nullptr, TRUE);
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&t0);
        UpdateWindow(SplPlotWindow);
        QueryPerformanceCounter(&t1);
        best = std::min(best, 1000.0 * (t1.QuadPart - t0.QuadPart) / f.QuadPart);
    }
    std::printf("system plot paint, %d curves at N = 4096: %.1f ms\n", 162, best);
    MaybeWindowShot("system-plot-every-curve", SplPlotWindow);
    EXPECT_TRUE(recorder_.shown.empty());

    // The legends of the lower slots have rows below a 500-pixel plot: they are left out rather than written
    // over the frequency labels, so the curves and legends leave the band under the frame blank.
    SetWindowPos(SplPlotWindow, nullptr, 0, 0, 900, 500, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
    RECT rc;
    GetClientRect(SplPlotWindow, &rc);
    ASSERT_EQ(SplPlotClientSize.height, rc.bottom);
    ASSERT_LT(rc.bottom, 25 + 9 * 63);
    const MemoryCanvas canvas(rc.right, rc.bottom);
    DrawSplCurves(canvas.Dc());
    int ink_below = 0, ink_in_first_legend = 0;
    for (int x = 0; x < rc.right; ++x) {
        for (int y = rc.bottom - 20; y < rc.bottom; ++y) ink_below += canvas.At(x, y) != RGB(255, 255, 255);
        if (x >= rc.right - 110 && x < rc.right - 60)
            for (int y = 25; y < 34; ++y) ink_in_first_legend += canvas.At(x, y) != RGB(255, 255, 255);
    }
    EXPECT_EQ(ink_below, 0);
    EXPECT_GT(ink_in_first_legend, 0);  // "Filter 1 SPL" still stands in its row
}

TEST_F(DesignUi, PanesTakeNoInputWhileTheEngineRuns) {
    DrawTwoWayChain();
    EngineRunning = 1;
    PlaceAt(Junction, 400, 400);
    Mouse(WM_RBUTTONDOWN, 120, 150);
    EngineRunning = 0;
    EXPECT_EQ(Pane1().element_count, 6u);
    EXPECT_EQ(ModalDialogOpen.load(), 0);
}

}  // namespace
