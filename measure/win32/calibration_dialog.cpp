// "Calibration File Data": the five filter sections of a synthesised calibration curve.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/messages.h"
#include "app/win32/message_box.h"
#include "design/filter_families.h"
#include "measure/calibration_synthesis.h"
#include "measure/resource_ids.h"
#include "measure/win32/mls_windows.h"

namespace {

struct SectionControls {
    int type, slope, cutoff, gain, q;
};
constexpr SectionControls kSections[kCalSections] = {
    {IDC_CAL_TYPE_0, IDC_CAL_SLOPE_0, IDC_CAL_CUTOFF_0, IDC_CAL_GAIN_0, IDC_CAL_Q_0},
    {IDC_CAL_TYPE_1, IDC_CAL_SLOPE_1, IDC_CAL_CUTOFF_1, IDC_CAL_GAIN_1, IDC_CAL_Q_1},
    {IDC_CAL_TYPE_2, IDC_CAL_SLOPE_2, IDC_CAL_CUTOFF_2, IDC_CAL_GAIN_2, IDC_CAL_Q_2},
    {IDC_CAL_TYPE_3, IDC_CAL_SLOPE_3, IDC_CAL_CUTOFF_3, IDC_CAL_GAIN_3, IDC_CAL_Q_3},
    {IDC_CAL_TYPE_4, IDC_CAL_SLOPE_4, IDC_CAL_CUTOFF_4, IDC_CAL_GAIN_4, IDC_CAL_Q_4},
};

void SetNumber(HWND dialog, int id, float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
    SetDlgItemTextA(dialog, id, text);
}

// An edit's text (at most 9 characters) as the number atof reads, 0 for none. A number no float holds stays
// what it is ("inf", "nan", "1e39" as infinite): "Done" refuses it with its field's message.
float EditNumber(HWND dialog, int id) {
    char text[10] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return static_cast<float>(std::atof(text));
}

void Fill(HWND dialog) {
    CheckDlgButton(dialog, IDC_CAL_INVERT, CalSections.invert == 1 ? BST_CHECKED : BST_UNCHECKED);
    for (int s = 0; s < kCalSections; ++s) {
        const SectionControls& c = kSections[s];
        const CalSection& v = CalSections.sections[s];
        for (const char* name : kCalFilterTypeNames)
            SendDlgItemMessageA(dialog, c.type, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        for (const char* name : kFilterSlopeNames)
            SendDlgItemMessageA(dialog, c.slope, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        SendDlgItemMessageA(dialog, c.type, LB_SETCURSEL, v.type, 0);
        SendDlgItemMessageA(dialog, c.slope, LB_SETCURSEL, v.slope, 0);
        SetNumber(dialog, c.cutoff, v.cutoff);
        SetNumber(dialog, c.q, v.q);
        SetNumber(dialog, c.gain, v.gain);
    }
}

// Every change lands in the settings at once: a list's selection, an edit's number.
void Store(HWND dialog, int id) {
    for (int s = 0; s < kCalSections; ++s) {
        const SectionControls& c = kSections[s];
        CalSection& v = CalSections.sections[s];
        if (id == c.type || id == c.slope) {
            const LRESULT sel = SendDlgItemMessageA(dialog, id, LB_GETCURSEL, 0, 0);
            if (sel == LB_ERR) return;
            (id == c.type ? v.type : v.slope) = static_cast<uint32_t>(sel);
        } else if (id == c.cutoff) {
            v.cutoff = EditNumber(dialog, id);
        } else if (id == c.gain) {
            v.gain = EditNumber(dialog, id);
        } else if (id == c.q) {
            v.q = EditNumber(dialog, id);
        }
    }
}

void OnDone(HWND dialog) {
    bool raised[kCalSections];
    std::string refusal;
    const bool accepted = AcceptCalSections(&CalSections, raised, &refusal);
    for (int s = 0; s < kCalSections; ++s)
        if (raised[s]) SetNumber(dialog, kSections[s].cutoff, CalSections.sections[s].cutoff);
    if (!accepted) {
        ShowHvMessage(dialog, WarningMessage(refusal));
        return;
    }
    EndDialog(dialog, 1);
}

}  // namespace

INT_PTR CALLBACK CalibrationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: Fill(dialog); return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK) {
                OnDone(dialog);
            } else if (id == IDCANCEL) {
                EndDialog(dialog, 2);
            } else if (id == IDC_CAL_INVERT) {
                CalSections.invert = CalSections.invert == 1 ? 0 : 1;
                CheckDlgButton(dialog, IDC_CAL_INVERT, CalSections.invert == 1 ? BST_CHECKED : BST_UNCHECKED);
            } else {
                Store(dialog, id);
            }
            return TRUE;
        }
        default: return FALSE;
    }
}
