// The design panel's modal dialogs: Copy Speaker Control, Plot Control and Test Tones.
#include <windows.h>

#include <cstring>

#include "app/settings.h"
#include "app/win32/message_box.h"
#include "app/win32/window_registry.h"
#include "panels/panel_dialogs.h"
#include "panels/resource_ids.h"
#include "panels/win32/control_panels.h"

namespace {

CopySpeakerSelection g_copyAside;
uint32_t g_plotAside[kPlotBoxes] = {};

void ShowCopyBoxes(HWND dialog) {
    for (int i = 0; i < kCopyBoxes; ++i) {
        CheckDlgButton(dialog, kCopySourceFirstBox + i, CopySelection.flags[i] == 1 ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, kCopyTargetFirstBox + i,
                       CopySelection.flags[kCopyBoxes + i] == 1 ? BST_CHECKED : BST_UNCHECKED);
    }
}

void ShowPlotBoxes(HWND dialog) {
    for (int i = 0; i < kPlotBoxes; ++i)
        CheckDlgButton(dialog, kPlotBoxIds[i], CurveViewFlags[i] == 1 ? BST_CHECKED : BST_UNCHECKED);
}

bool IsCloseBox(UINT message, WPARAM wParam) { return message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE; }

}  // namespace

INT_PTR CALLBACK CopySpeakerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (IsCloseBox(message, wParam)) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        g_copyAside = CopySelection;
        ShowCopyBoxes(dialog);
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (SelectCopyBox(&CopySelection, id)) {
            ShowCopyBoxes(dialog);
            return TRUE;
        }
        if (id == IDOK) {
            const int target = CopySelectedSpeaker(CopySelection);
            if (target && PaneWindows[target]) {
                InvalidateRect(PaneWindows[target], nullptr, TRUE);
                UpdateWindow(PaneWindows[target]);
            }
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (id == IDCANCEL) {
            CopySelection = g_copyAside;
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    default: return FALSE;
    }
}

INT_PTR CALLBACK LinearizerPlotsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (IsCloseBox(message, wParam)) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        std::memcpy(g_plotAside, CurveViewFlags, sizeof g_plotAside);
        ShowPlotBoxes(dialog);
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int value = TogglePlotFlag(CurveViewFlags, id);
        if (value >= 0) {
            CheckDlgButton(dialog, id, value == 1 ? BST_CHECKED : BST_UNCHECKED);
            return TRUE;
        }
        if (id == IDOK) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (id == IDCANCEL) {
            std::memcpy(CurveViewFlags, g_plotAside, sizeof g_plotAside);
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    default: return FALSE;
    }
}

INT_PTR CALLBACK TestTonesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (IsCloseBox(message, wParam)) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG: {
        HWND list = GetDlgItem(dialog, kTonePortList);
        for (int i = 0; i < kTestTonePortCount; ++i)
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TestTonePortName(i)));
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(TestTone.Channel.load()), 0);
        char text[kToneTextChars];
        std::memcpy(text, TestTone.FrequencyText, sizeof text);
        SetDlgItemTextA(dialog, kToneFrequencyEdit, text);
        // Opening already sets the frequency from the text, as the edit's change notice does.
        if (!EngineRunning) SetTestToneFrequencyText(&TestTone, text);
        return TRUE;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == kTonePortList) {
            if (EngineRunning != 1) {
                const LRESULT sel = SendDlgItemMessageA(dialog, kTonePortList, CB_GETCURSEL, 0, 0);
                SetTestToneChannel(&TestTone, static_cast<int>(sel));
            }
            return TRUE;
        }
        if (id == kToneFrequencyEdit) {
            if (EngineRunning != 1) {
                EnableWindow(GetDlgItem(dialog, kToneFrequencyEdit), TRUE);
                char text[kToneTextChars] = {};
                GetDlgItemTextA(dialog, kToneFrequencyEdit, text, kToneTextChars);
                SetTestToneFrequencyText(&TestTone, text);
            }
            return TRUE;
        }
        if (id == IDOK) {
            MessageList messages;
            const bool usable = TestToneDone(TestTone, &messages);
            ShowHvMessages(dialog, messages);
            if (usable) EndDialog(dialog, 1);
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    default: return FALSE;
    }
}
