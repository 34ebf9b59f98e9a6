// The process page "TAB_MLS_Process": five saved responses and a master, their sums, merges, gains, delays and
// phase difference, and the master copied back into a buffer or the driver record.
#include <windows.h>

#include <cstring>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/message_box.h"
#include "app/win32/settings_windows.h"
#include "app/win32/window_registry.h"
#include "measure/diffraction_buffer.h"
#include "tools/diffraction_calculator.h"
#include "measure/mls_state.h"
#include "measure/post_processing.h"
#include "measure/resource_ids.h"
#include "measure/win32/mls_windows.h"

namespace {

int g_signs[kPostBuffers][2] = {};  // "+" and "-" of each buffer
char g_phase_source_1[5] = "1";
char g_phase_source_2[5] = "2";
HWND g_swatches[kPostBuffers] = {};

PostProcessBuffers Buffers() {
    PostProcessBuffers b;
    b.buffers = CalibrationCurves;
    b.mls_curves = MlsCurves;
    b.driver = CurrentDriver;
    b.bin_frequency = BinFrequencyTable;
    b.log_frequency = LogFrequencyTable;
    b.colours = ColourScheme;
    b.spl_slot = MlsSplSlot;
    b.phase_slot = MlsPhaseSlot;
    return b;
}

// An edit's field and its capacity.
struct EditField {
    int id;
    char* text;
    int capacity;
};
EditField Fields(int i) {
    switch (i) {
        case 0: return {IDC_PP_COPY_DEST, MlsSettings.CopyMasterBufferText, 5};
        case 1: return {IDC_PP_GAIN_DB, MlsSettings.DbToSplText, 10};
        case 2: return {IDC_PP_GAIN_DEST, MlsSettings.DbToSplBufferText, 5};
        case 3: return {IDC_PP_DELAY_MS, MlsSettings.MsDelayText, 10};
        case 4: return {IDC_PP_DELAY_DEST, MlsSettings.MsDelayBufferText, 5};
        case 5: return {IDC_PP_MERGE_SOURCE_1, MlsSettings.MergeFirstBufferText, 5};
        case 6: return {IDC_PP_MERGE_SOURCE_2, MlsSettings.MergeSecondBufferText, 5};
        case 7: return {IDC_PP_MERGE_FREQUENCY, MlsSettings.MergeFrequencyText, 10};
        case 8: return {IDC_PP_DIFFRACTION_DEST, MlsSettings.AddDiffractionBufferText, 5};
        case 9: return {IDC_PP_PHASE_SOURCE_1, g_phase_source_1, 5};
        default: return {IDC_PP_PHASE_SOURCE_2, g_phase_source_2, 5};
    }
}
constexpr int kEditFields = 11;

void Check(HWND page, int id, bool on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }

void RefreshPlot() {
    if (MlsSplPageDialog) InvalidateRect(MlsSplPageDialog, nullptr, TRUE);
}

// A buffer's legend into a device context over the swatch's client rectangle: the rectangle cleared with the
// context's default pen and brush, then the buffer's level curve in its own colour and style.
void DrawBufferLegend(HDC dc, const RECT& rc, int buffer) {
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
    const PlotCurve& re = CalibrationCurves[2 * buffer - 2];
    const PlotCurve& im = CalibrationCurves[2 * buffer - 1];
    int style = PS_SOLID;
    if (re.PenStyle >= 3.0f) style = PS_DASH;
    else if (re.PenStyle >= 2.0f) style = PS_DOT;
    HPEN pen = CreatePen(style, 1,
                         RGB(static_cast<int>(re.Red) & 0xFF, static_cast<int>(re.Green) & 0xFF,
                             static_cast<int>(re.Blue) & 0xFF));
    SelectObject(dc, pen);
    for (const SwatchPoint& p : BufferSwatchPoints(re, im, BinFrequencyTable, PlotFrequencyTable, BlockFrames, rc.left,
                                                   rc.top)) {
        if (p.move) MoveToEx(dc, p.x, p.y, nullptr);
        else LineTo(dc, p.x, p.y);
    }
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    DeleteObject(pen);
}

// Repaints a swatch now (it is owner-drawn: its painting is DrawBufferLegend).
void PaintBufferLegend(HWND swatch, int) {
    if (!swatch) return;
    InvalidateRect(swatch, nullptr, TRUE);
    UpdateWindow(swatch);
}

void PaintAllSwatches() {
    for (int b = 1; b <= kPostBuffers; ++b) PaintBufferLegend(g_swatches[b - 1], b);
}

void OnInitDialog(HWND page) {
    for (int b = 0; b < kPostBuffers; ++b) {
        Check(page, IDC_PP_PLUS_1 + 2 * b, g_signs[b][0] == 1);
        Check(page, IDC_PP_MINUS_1 + 2 * b, g_signs[b][1] == 1);
        Check(page, IDC_PP_SHOW_1 + b, CalibrationCurves[2 * b].Visible == 1.0f);
        g_swatches[b] = GetDlgItem(page, IDC_PP_SWATCH_1 + b);
    }
    Check(page, IDC_PP_SHOW_MASTER, CalibrationCurves[kMasterRealSlot].Visible == 1.0f);
    Check(page, IDC_PP_SHOW_PHASE, MlsSettings.DisplayFlags[1] == 1);
    int spl, phase;
    MeasuredPairSlots(MlsSplSlot, MlsPhaseSlot, &spl, &phase);
    Check(page, IDC_PP_SHOW_DRIVER, MlsCurves[spl].Visible == 1.0f);
    for (int i = 0; i < kEditFields; ++i) SetDlgItemTextA(page, Fields(i).id, Fields(i).text);
}

void OnSign(HWND page, int buffer, int which) {
    int* mine = &g_signs[buffer][which];
    int* other = &g_signs[buffer][1 - which];
    const int mine_id = IDC_PP_PLUS_1 + 2 * buffer + which;
    const int other_id = IDC_PP_PLUS_1 + 2 * buffer + (1 - which);
    if (*mine == 1) {
        *mine = 0;
    } else {
        *mine = 1;
        *other = 0;
    }
    Check(page, mine_id, *mine == 1);
    Check(page, other_id, *other == 1);
}

// The diffraction calculator's baffle, edge elements and settings.
void AddDiffraction() {
    MessageList messages;
    const DiffractionTarget t = AddDiffractionToBuffer(MlsSettings.AddDiffractionBufferText, Baffle, BaffleEdgePoints,
                                                       &BaffleEdgeElementList, CurrentDriver,
                                                       DiffractionCalculatorSettings, BinFrequencyTable,
                                                       CalibrationCurves, &messages);
    ShowHvMessages(FrameWindow, messages);
    if (t == DiffractionTarget::kDriver) RefreshMeasuredPair(Buffers());
}

bool ReadEdit(HWND page, int id) {
    for (int i = 0; i < kEditFields; ++i) {
        const EditField f = Fields(i);
        if (f.id != id) continue;
        char text[kSettingTextWidth] = {};
        GetDlgItemTextA(page, id, text, f.capacity);
        CopySettingText(f.text, f.capacity, text);
        return true;
    }
    return false;
}

// Runs one of the operations with its refusals shown; on success the plot and the swatches follow.
template <typename Operation>
void Run(Operation op, bool swatches) {
    MessageList messages;
    const bool done = op(&messages);
    ShowHvMessages(FrameWindow, messages);
    if (!done) return;
    RefreshPlot();
    if (swatches) PaintAllSwatches();
}

void OnCommand(HWND page, int id, int code) {
    const PostProcessBuffers b = Buffers();
    if (id >= IDC_PP_PLUS_1 && id < IDC_PP_PLUS_1 + 2 * kPostBuffers) {
        OnSign(page, (id - IDC_PP_PLUS_1) / 2, (id - IDC_PP_PLUS_1) % 2);
        return;
    }
    if (id >= IDC_PP_STORE_1 && id < IDC_PP_STORE_1 + 2 * kPostBuffers) {
        const int buffer = (id - IDC_PP_STORE_1) / 2 + 1;
        MessageList messages;
        if ((id - IDC_PP_STORE_1) % 2 == 0) StoreSplInBuffer(b, buffer, &messages);
        else ClearPostBuffer(b, buffer);
        ShowHvMessages(FrameWindow, messages);
        RefreshPlot();
        PaintBufferLegend(g_swatches[buffer - 1], buffer);
        return;
    }
    if (id >= IDC_PP_SHOW_1 && id <= IDC_PP_SHOW_MASTER) {
        PlotCurve& c = CalibrationCurves[2 * (id - IDC_PP_SHOW_1)];
        c.Visible = c.Visible == 1.0f ? 0.0f : 1.0f;
        Check(page, id, c.Visible == 1.0f);
        RefreshPlot();
        return;
    }
    if (code == EN_CHANGE && ReadEdit(page, id)) return;
    switch (id) {
        case IDC_PP_EXECUTE: {
            int weights[kPostBuffers];
            for (int i = 0; i < kPostBuffers; ++i) weights[i] = g_signs[i][0] - g_signs[i][1];
            Run([&](MessageList* out) { return SumIntoMaster(b, weights, out); }, false);
            break;
        }
        case IDC_PP_MERGE:
            Run([&](MessageList* out) {
                return MergeIntoMaster(b, MlsSettings.MergeFirstBufferText, MlsSettings.MergeSecondBufferText,
                                       MlsSettings.MergeFrequencyText, out);
            }, true);
            break;
        case IDC_PP_ADD_GAIN:
            Run([&](MessageList* out) {
                return AddGainToBuffer(b, MlsSettings.DbToSplText, MlsSettings.DbToSplBufferText, out);
            }, true);
            break;
        case IDC_PP_ADD_DELAY:
            Run([&](MessageList* out) {
                return AddDelayToBuffer(b, MlsSettings.MsDelayText, MlsSettings.MsDelayBufferText, out);
            }, true);
            break;
        case IDC_PP_PHASE_DIFF:
            Run([&](MessageList* out) { return ShowPhaseDifference(b, g_phase_source_1, g_phase_source_2, out); }, false);
            break;
        case IDC_PP_COPY_MASTER: {
            int copied_to = -1;
            Run([&](MessageList* out) { return CopyMasterBuffer(b, MlsSettings.CopyMasterBufferText, out, &copied_to); },
                true);
            if (copied_to >= 1) {
                SetFocus(g_swatches[copied_to - 1]);
                Check(page, IDC_PP_SHOW_1 + copied_to - 1, true);
            }
            break;
        }
        case IDC_PP_ADD_DIFFRACTION:
            AddDiffraction();
            RefreshPlot();
            PaintAllSwatches();
            break;
        case IDC_PP_SHOW_DRIVER:
            ToggleMeasuredPair(b);
            {
                int spl, phase;
                MeasuredPairSlots(MlsSplSlot, MlsPhaseSlot, &spl, &phase);
                Check(page, id, MlsCurves[spl].Visible == 1.0f);
            }
            RefreshPlot();
            break;
        case IDC_PP_SHOW_PHASE:
            MlsSettings.DisplayFlags[1] = MlsSettings.DisplayFlags[1] == 1 ? 0 : 1;
            Check(page, id, MlsSettings.DisplayFlags[1] == 1);
            RefreshPlot();
            break;
        case IDC_PP_CLEAR_SCREEN:
            ClearAllPostBuffers(b);
            RefreshPlot();
            break;
        case IDC_PP_PEN_COLOURS:
            if (!PenColourWindow) {
                OpenPenColourChild();
                UpdateWindow(FrameWindow);
            } else {
                BringWindowToTop(PenColourWindow);
            }
            break;
        case IDC_PP_PRINT:
            if (FrameWindow) PrintWindowImage(FrameWindow, page);
            break;
        default: break;
    }
}

}  // namespace

INT_PTR CALLBACK MlsProcessDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInitDialog(page); return TRUE;
        case WM_PAINT: return FALSE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlID < IDC_PP_SWATCH_1 || item->CtlID >= IDC_PP_SWATCH_1 + kPostBuffers) return FALSE;
            DrawBufferLegend(item->hDC, item->rcItem, static_cast<int>(item->CtlID - IDC_PP_SWATCH_1) + 1);
            return TRUE;
        }
        case WM_RBUTTONDOWN: CopyWindowToClipboard(FrameWindow); return TRUE;
        case WM_COMMAND: OnCommand(page, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_DESTROY:
            for (HWND& s : g_swatches) s = nullptr;
            return FALSE;
        default: return FALSE;
    }
}
