#pragma once
// A test session of the real program: started in a fresh folder of its own (the current directory it
// takes its files from), with message boxes recorded and answered.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"
#include "measure/win32/mls_windows.h"
#include "panels/win32/control_panels.h"


struct Recorder {
    std::vector<HvMessage> shown;
    std::vector<std::pair<std::string, HWND>> owners;  // each box's text and the window that owned it
    int answer = IDYES;
};

// Runs the program in a fresh folder of its own, as the current directory it takes its files from.
class AppSession : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        folder_ = std::filesystem::path(tmp) / ("hv-frame-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        GetCurrentDirectoryA(MAX_PATH, previous_);
        SetCurrentDirectoryA(folder_.string().c_str());
        RecordMessages();
    }
    // Message boxes are recorded and answered in place of the real ones.
    void RecordMessages() {
        SetMessageHook([this](HWND owner, const HvMessage& m) {
            recorder_.shown.push_back(m);
            recorder_.owners.emplace_back(m.text, owner);
            return recorder_.answer;
        });
    }
    void TearDown() override {
        ReleaseApplication();
        SetMessageHook(nullptr);
        SetCurrentDirectoryA(previous_);
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    bool Start() {
        recorder_.shown.clear();
        recorder_.owners.clear();
        return StartApplication(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_HIDE);
    }
    // Starts the program with the real control panels and shows its frame.
    bool StartWithPanels() {
        InstallControlPanels();
        InstallMeasurementWindows();
        if (!Start()) return false;
        ShowWindow(FrameWindow, SW_SHOW);
        return true;
    }
    // Closes the frame the way the user does and lets the message loop end.
    int CloseAndRun(int answer) {
        recorder_.answer = answer;
        PostMessageA(FrameWindow, WM_CLOSE, 0, 0);
        if (answer != IDYES) {
            // No quit follows a "No": pump what is pending, then stop looking.
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            return -1;
        }
        return RunMessageLoop();
    }
    std::string PreferencesPath() const { return (folder_ / "HV_Preferences.pre").string(); }

    std::filesystem::path folder_;
    char previous_[MAX_PATH] = {};
    Recorder recorder_;
};
