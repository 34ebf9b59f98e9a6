// The streaming engine over the real WASAPI streams and Win32 threads. Under Wine no exclusive, event-driven
// device opens, so these check what a user sees then: with "WASAPI De-Bug Mode" the set-up status lines
// up to the failing step drawn into the frame, the error title in the open panels, and an engine that ends
// and joins instead of hanging. With a listed render endpoint the whole set-up is tried as well.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "engine/endpoints.h"
#include "engine/engine_streams.h"
#include "engine/engine_test_buffers.h"
#include "engine/win32/endpoints.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "engine/engine_globals.h"
#include "engine/win32/engine_status_view.h"
#include "engine/win32/program_engine.h"
#include "platform/in_memory_audio.h"
#include "platform/win32/wasapi_streams.h"
#include "platform/win32/win32_threads.h"

namespace {

constexpr int kN = 512;

struct Win32PlatformScope {
    Win32PlatformScope() { InstallWin32Platform(); }
    ~Win32PlatformScope() {
        SetThreadPlatform(nullptr);
        SetPerformanceCounter(nullptr);
    }
};

// A plain window with child statics carrying the engine's control ids, standing in for a player panel.
struct FakePanel {
    HWND window = nullptr;
    explicit FakePanel(const char* title = "Player Control") {
        window = CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        for (int id : {50, 5030, 5031, 5032, 5034, 5036})
            CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    }
    ~FakePanel() { DestroyWindow(window); }
    std::string Title() const {
        char text[256] = {};
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
    std::string Control(int id) const {
        char text[256] = {};
        GetDlgItemTextA(window, id, text, sizeof text);
        return text;
    }
};

class WasapiEngine : public ::testing::Test {
protected:
    WasapiEngine() : buffers_(kN) {
        session_.Streams = &WasapiStreams();
        session_.Context = &buffers_.ctx;
        session_.Status = &status_;
        session_.Live = &live_;
        session_.Running = &running_;
        EXPECT_EQ(AllocateEngineSessionBuffers(session_), 0);
        settings_.SampleRate = 48000;
        settings_.BufferSizeIndex = 0;
        settings_.WasapiDebugMode = 1;
    }
    ~WasapiEngine() override { StopEngine(session_, 5000, PumpWaitingMessages); }

    // Runs the engine until it ends on its own, pumping this thread's messages; false when it hangs.
    bool RunUntilItEnds(int ms) {
        if (StartEngine(session_, settings_) != EngineStartResult::kStarted) return false;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (running_.load() != 0) {
            if (std::chrono::steady_clock::now() > end) return false;
            PumpWaitingMessages();
            Sleep(5);
        }
        return JoinEngineThreads(session_, 5000, PumpWaitingMessages);
    }

    Win32PlatformScope platform_;
    TestEngineBuffers buffers_;
    EngineStatusBoard status_;
    EngineLiveControls live_;
    std::atomic<int> running_{0};
    EngineSession session_;
    EngineStartSettings settings_;
};

TEST_F(WasapiEngine, AnEmptyCaptureIdEndsAtTheDeviceStepWithTheCaptureTitle) {
    settings_.CaptureEndpointId.clear();
    settings_.RenderEndpointId.clear();
    ASSERT_TRUE(RunUntilItEnds(5000));
    EXPECT_EQ(status_.StatusLines[0][0].Read(), "CoInitializeEx OK");
    EXPECT_EQ(status_.StatusLines[0][1].Read(), "CoCreateInstance OK");
    EXPECT_EQ(status_.StatusLines[0][2].Read(), "GetDefaultAudioEndpoint E_POINTER");
    for (int row = 3; row < kStatusRows; ++row) EXPECT_EQ(status_.StatusLines[0][row].Read(), "") << row;
    // The render thread never saw the capture side ready: it ends without a line or a title.
    for (int row = 0; row < kStatusRows; ++row) EXPECT_EQ(status_.StatusLines[1][row].Read(), "") << row;
    EXPECT_EQ(session_.RenderExitCode.load(), kRenderNoCaptureExitCode);
    EXPECT_EQ(status_.DesignPanelTitle.Read(), kCaptureErrorTitle);
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), kCaptureErrorTitle);

    // What the user-interface thread shows of it: the lines in the frame, the title and texts in a panel.
    FakePanel frame(""), panel;
    ShowWindow(frame.window, SW_SHOW);
    UpdateWindow(frame.window);
    EngineStatusShown shown;
    EXPECT_GT(ShowEngineStatus(status_, &shown, frame.window, nullptr, panel.window), 0);
    EXPECT_EQ(panel.Title(), kCaptureErrorTitle);
    EXPECT_EQ(panel.Control(5036), "Del=0");
    EXPECT_EQ(ShowEngineStatus(status_, &shown, frame.window, nullptr, panel.window), 0);  // nothing new

    // The lines are in the frame's client area: ink on the three capture rows at x = 2, none on the
    // fourth row, none in the render column.
    HDC dc = GetDC(frame.window);
    const COLORREF paper = GetPixel(dc, 250, 200);
    auto ink = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += GetPixel(dc, x, y) != paper ? 1 : 0;
        return n;
    };
    for (int row = 0; row < 3; ++row) EXPECT_GT(ink(2, StatusRowY(row), 120, StatusRowY(row) + 14), 20) << row;
    EXPECT_EQ(ink(2, StatusRowY(3), 120, StatusRowY(3) + 14), 0);
    EXPECT_EQ(ink(300, 10, 390, 250), 0);
    ReleaseDC(frame.window, dc);
}

TEST_F(WasapiEngine, AnUnknownCaptureIdFailsAtTheDeviceStepWithoutHanging) {
    settings_.CaptureEndpointId = L"{0.0.1.00000000}.{00000000-no-such-capture}";
    settings_.RenderEndpointId = L"{0.0.0.00000000}.{00000000-no-such-render}";
    ASSERT_TRUE(RunUntilItEnds(5000));
    const std::string line = status_.StatusLines[0][2].Read();
    EXPECT_EQ(line.rfind("GetDefaultAudioEndpoint ", 0), 0u) << line;
    EXPECT_EQ(status_.PlayerPanelTitle.Read(), kCaptureErrorTitle);
}

TEST_F(WasapiEngine, TheListedEndpointsAreTriedAndTheEngineEndsWithAText) {
    // Whatever this machine lists: with no device the capture side fails at its device step; Wine's drivers
    // refuse the exclusive, event-driven stream at a later step. Either way the engine must end, with the
    // failing step's line and an error title.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EnumCaptureEndpoints();
    EnumRenderEndpoints();
    if (SUCCEEDED(com)) CoUninitialize();
    settings_.CaptureEndpointId = CaptureEndpointId;
    settings_.RenderEndpointId = RenderEndpointId;
    if (!RunUntilItEnds(8000)) {
        // Only a device that streams keeps the engine running: stop it, which must not hang either.
        ASSERT_TRUE(StopEngine(session_, 5000, PumpWaitingMessages));
        return;
    }
    const std::string title = status_.PlayerPanelTitle.Read();
    EXPECT_TRUE(title == kCaptureErrorTitle || title == kRenderErrorTitle) << title;
    int lines = 0;
    for (const auto& stream : status_.StatusLines)
        for (const PublishedText& line : stream) lines += line.Read().empty() ? 0 : 1;
    EXPECT_GE(lines, 3);
}

TEST_F(WasapiEngine, FiftyStartStopCyclesOnWin32ThreadsLeaveNoThreadOrEvent) {
    // The same engine over in-memory devices, with the Win32 threads, events and priorities.
    InMemoryAudioSystem system;
    InMemoryEndpoint& capture = system.AddEndpoint(StreamDirection::Capture, L"{c}", "Capture");
    InMemoryEndpoint& render = system.AddEndpoint(StreamDirection::Render, L"{r}", "Render");
    capture.SetAutoTick(1000);
    render.SetAutoTick(1000);
    session_.Streams = &system;
    settings_.WasapiDebugMode = 0;
    settings_.CaptureEndpointId = L"{c}";
    settings_.RenderEndpointId = L"{r}";
    ThreadPlatform& threads = Win32ThreadPlatform();
    const int threads_before = threads.RunningThreads();
    const int events_before = threads.LiveEvents();
    for (int cycle = 0; cycle < 50; ++cycle) {
        settings_.OutputMode = cycle % 3;
        settings_.OutputQueue = cycle % 5;
        ASSERT_EQ(StartEngine(session_, settings_), EngineStartResult::kStarted) << cycle;
        ASSERT_TRUE(session_.Threads[kEngineWorkerCount]);
        EXPECT_EQ(session_.Threads[kEngineWorkerCount]->Priority(), ThreadPriority::TimeCritical);
        EXPECT_EQ(session_.Threads[kEngineWorkerCount + 1]->Priority(), ThreadPriority::Normal);
        if (cycle % 5 == 0) {
            // Blocks flow; on a loaded machine an auto-ticked device may miss its one-second event and end
            // the engine by itself, which is a clean end as well.
            for (int i = 0; i < 5000 && session_.BlocksDone.load() < 2 && running_.load(); ++i) Sleep(1);
            if (running_.load()) {
                EXPECT_GE(session_.BlocksDone.load(), 2u) << cycle;
            }
        }
        ASSERT_TRUE(StopEngine(session_, 5000, PumpWaitingMessages)) << cycle;
    }
    EXPECT_EQ(threads.RunningThreads(), threads_before);
    EXPECT_EQ(threads.LiveEvents(), events_before);
    EXPECT_EQ(system.LiveStreams(), 0);
}

TEST(ProgramEngineWasapi, PlayerPanelShowsTheErrorTitleThroughTheTimer) {
    // The program's own path: the engine wired to the global records and WASAPI, started from the
    // globals with no device chosen, its end shown by the frame's status timer in the open player panel.
    Win32PlatformScope platform;
    const bool own_buffers = InputBlock[0] == nullptr;  // an application session may hold them already
    if (own_buffers) {
        ASSERT_EQ(AllocateDspBuffers(), 0);
    }
    FakePanel frame(""), panel;
    HWND saved_player = PlayerPanelWindow;
    PlayerPanelWindow = panel.window;
    const std::wstring saved_capture = CaptureEndpointId, saved_render = RenderEndpointId;
    const uint32_t saved_debug = WasapiDebugMode;
    CaptureEndpointId.clear();
    RenderEndpointId.clear();
    WasapiDebugMode = 1;
    ASSERT_EQ(SetUpProgramEngine(frame.window), 0);
    EngineStartSettings settings = EngineSettingsFromGlobals();
    EXPECT_EQ(StartEngine(ProgramEngine(), settings), EngineStartResult::kStarted);
    bool titled = false;
    for (int i = 0; i < 500 && !titled; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        titled = panel.Title() == kCaptureErrorTitle;
        Sleep(10);
    }
    EXPECT_TRUE(titled) << panel.Title();
    EXPECT_EQ(EngineRunning.load(), 0);
    EXPECT_TRUE(StopProgramEngine());
    EXPECT_EQ(ProgramEngineStatus().StatusLines[0][2].Read(), "GetDefaultAudioEndpoint E_POINTER");
    StopEngineStatusTimer(frame.window);
    PlayerPanelWindow = saved_player;
    CaptureEndpointId = saved_capture;
    RenderEndpointId = saved_render;
    WasapiDebugMode = saved_debug;
    if (own_buffers) FreeDspBuffers();
}

}  // namespace
