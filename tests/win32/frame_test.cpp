// Drives the real start-up, frame window and exit sequence under Wine, with message boxes recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"
#include "app_session.h"

namespace {

using FrameSession = AppSession;

std::string MenuText(HMENU menu, UINT position) {
    char text[256] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

}  // namespace

TEST_F(FrameSession, FirstStartWarnsThenExitWritesPreferences) {
    ASSERT_TRUE(Start());
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Unable To OPEN Preferences File");
    EXPECT_EQ(recorder_.shown[0].caption, "HV Message");
    EXPECT_EQ(recorder_.shown[0].icon, MessageIcon::Warning);

    ASSERT_NE(FrameWindow, nullptr);
    char title[256] = {};
    GetWindowTextA(FrameWindow, title, sizeof title);
    EXPECT_STREQ(title, "Halvane Equalizer V10.0 - DIGITAL - 8P");
    char cls[64] = {};
    GetClassNameA(FrameWindow, cls, sizeof cls);
    EXPECT_STREQ(cls, "Frame");
    RECT r;
    GetWindowRect(FrameWindow, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right - r.left, ScreenWidth);
    EXPECT_EQ(r.bottom - r.top, WorkAreaBottom);
    EXPECT_NE(MdiClientWindow, nullptr);

    // A setting changed during the run travels through the file.
    OutputMode = 2;
    recorder_.shown.clear();
    EXPECT_EQ(CloseAndRun(IDYES), 0);
    ASSERT_EQ(recorder_.shown.size(), 1u);
    EXPECT_EQ(recorder_.shown[0].text, "Last chance to save data !\n\nDO YOU WISH TO EXIT ?");
    EXPECT_EQ(recorder_.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(recorder_.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(std::filesystem::file_size(PreferencesPath()), 63432u);
    ReleaseApplication();

    ResetSettingsToStartValues();
    ASSERT_TRUE(Start());
    EXPECT_TRUE(recorder_.shown.empty()) << recorder_.shown[0].text;
    EXPECT_EQ(OutputMode, 2u);
    EXPECT_EQ(WindowPlacements[6].x, 660);
}

TEST_F(FrameSession, AnsweringNoKeepsTheProgramAndTheWrittenFile) {
    ASSERT_TRUE(Start());
    CloseAndRun(IDNO);
    EXPECT_TRUE(IsWindow(FrameWindow));
    EXPECT_EQ(std::filesystem::file_size(PreferencesPath()), 63432u);
    EXPECT_NE(pr_file, nullptr);  // nothing was released
}

TEST_F(FrameSession, CloseIsIgnoredWhileTheEngineRuns) {
    ASSERT_TRUE(Start());
    recorder_.shown.clear();
    EngineRunning = 1;
    SendMessageA(FrameWindow, WM_CLOSE, 0, 0);
    SendMessageA(FrameWindow, WM_COMMAND, IDM_EXIT, 0);
    EngineRunning = 0;
    EXPECT_TRUE(recorder_.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(PreferencesPath()));
}

TEST_F(FrameSession, MainMenuHasEveryPopupItemAndId) {
    ASSERT_TRUE(Start());
    HMENU menu = GetMenu(FrameWindow);
    ASSERT_NE(menu, nullptr);
    struct Popup {
        const char* text;
        std::vector<int> ids;  // 0 for a separator
    };
    const std::vector<Popup> expected = {
        {"   File   ", {100, 0, 101, 102, 0, 103, 104, 0, 105, 0, 106, 0, 107, 0, 108, 0, 109, 0, 110, 0, 113, 114}},
        {"Import/Export Data", {401, 402, 403, 404, 0, 501, 0, 502, 0, 503}},
        {"Driver Files", {306, 0, 308, 0, 310}},
        {"  System Design  ", {240, 0, 202, 200, 201, 0, 239, 0, 210, 211, 212, 213, 214, 0, 220, 221, 0, 236, 0, 230,
                               0, 231, 0, 232, 0, 235, 0, 237, 238, 0, 233}},
        {"Playback", {234, 250}},
        {"Measurements", {1102}},
        {"Help", {1201}},
    };
    ASSERT_EQ(GetMenuItemCount(menu), 7);
    for (size_t p = 0; p < expected.size(); ++p) {
        EXPECT_EQ(MenuText(menu, p), expected[p].text);
        HMENU popup = GetSubMenu(menu, p);
        ASSERT_NE(popup, nullptr);
        // The File popup also carries the MDI window list after its own items.
        if (p == 0) {
            ASSERT_GE(GetMenuItemCount(popup), static_cast<int>(expected[p].ids.size()));
        } else {
            ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(expected[p].ids.size())) << expected[p].text;
        }
        for (size_t i = 0; i < expected[p].ids.size(); ++i) {
            int id = expected[p].ids[i];
            if (id == 0) {
                MENUITEMINFOA info{};
                info.cbSize = sizeof info;
                info.fMask = MIIM_FTYPE;
                GetMenuItemInfoA(popup, i, TRUE, &info);
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << expected[p].text << " item " << i;
            } else {
                EXPECT_EQ(static_cast<int>(GetMenuItemID(popup, i)), id) << expected[p].text << " item " << i;
            }
        }
    }
    HMENU design = GetSubMenu(menu, 3);
    EXPECT_EQ(MenuText(design, 2), "Stereo 2 x 2 Way (Delta1010LT)");
    EXPECT_EQ(MenuText(design, 8), "Home Theatre 1: FL2-C1-FR2-RR1-SUB1-RL1 (Delta1010LT)");
    EXPECT_EQ(MenuText(design, 30), "Assign Profiles Remote");
    HMENU file = GetSubMenu(menu, 0);
    EXPECT_EQ(MenuText(file, 0), "  New   ");
    EXPECT_EQ(MenuText(file, 10), "  Exit   ");
    // Items 113 and 114 show the stored paths: "**" without a preferences file.
    EXPECT_EQ(MenuText(file, 20), "**");
    EXPECT_EQ(MenuText(file, 21), "**");
    EXPECT_EQ(MenuText(GetSubMenu(menu, 1), 5), "Export SPL/Phase At 0.0dB [.TRG/.TXT]");
    EXPECT_EQ(MenuText(GetSubMenu(menu, 5), 0), "Digital - MLS");
}
