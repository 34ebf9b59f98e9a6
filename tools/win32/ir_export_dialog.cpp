// The modal "Optimize / Export Impulse Response" dialog: one output's impulse response with the engine's
// windows, the 49 candidate window lengths compared by their frequency responses, the chosen window stored for
// the engine's filters, the windows summary, the "IR1 + IR2" sum, and the save to file.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/message_box.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/window_registry.h"
#include "engine/window_shapes.h"
#include "tools/ir_export.h"
#include "tools/ir_file_writer.h"
#include "tools/ir_view_build.h"
#include "tools/resource_ids.h"
#include "tools/win32/tool_plot_painter.h"
#include "tools/win32/tool_windows.h"

extern int32_t IrOptRow;

namespace {

char IrSaveFileName[kPathWidth];
char IrSaveFileTitle[256];

struct OptionBox {
    int id;
    uint32_t IrDialogState::*flag;
    bool rebuilds;  // the view is rebuilt and redrawn after a toggle
};
const OptionBox kOptionBoxes[] = {
    {IDC_IR_TEMPORAL_MASK, &IrDialogState::IrShowTemporalMask, true},
    {IDC_IR_MINIMUM_PHASE, &IrDialogState::IrShowMinimumPhase, true},
    {IDC_IR_CONVOLVE_DRIVER, &IrDialogState::IrConvolveDriver, true},
    {IDC_IR_LOG_SCALE, &IrDialogState::IrLogScale, true},
    {IDC_IR_FROM_MLS, &IrDialogState::IrFromMls, true},
    {IDC_IR_FINE_TIME, &IrDialogState::IrFineTimeScale, true},
    {IDC_IR_LONGER_FFT, &IrDialogState::IrUseLongerFft, false},
    {IDC_IR_REFERENCE_SPL, &IrDialogState::IrShowReferenceSpl, false},
};

void Check(HWND dialog, int id, uint32_t flag) { CheckDlgButton(dialog, id, flag == 1 ? BST_CHECKED : BST_UNCHECKED); }

void FillList(HWND dialog, int id, const char* const* names, int count, uint32_t selected) {
    SendDlgItemMessageA(dialog, id, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) SendDlgItemMessageA(dialog, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
    SendDlgItemMessageA(dialog, id, LB_SETCURSEL, selected, 0);
}

// The list's selection into `value`; an empty selection leaves it.
void StoreSelection(HWND dialog, int id, uint32_t* value) {
    const LRESULT sel = SendDlgItemMessageA(dialog, id, LB_GETCURSEL, 0, 0);
    if (sel != LB_ERR) *value = static_cast<uint32_t>(sel);
}

int Selection(HWND dialog, int id) {
    const LRESULT sel = SendDlgItemMessageA(dialog, id, LB_GETCURSEL, 0, 0);
    return sel == LB_ERR ? -1 : static_cast<int>(sel);
}

// Rebuilds the selected output's impulse response and redraws the view. The response is built also while the
// view is closed: the candidates and the saved file must come from the window chosen.
void RebuildView() {
    if (IrChildWindow) {
        PaintOnWindow(IrChildWindow, [](HDC dc) { DrawImpulseResponseView(dc, 0); });
    } else if (!IrDialog.IrFromMls) {
        BuildMainView();
    }
}

void DrawSplSlots(std::initializer_list<int> slots) {
    PaintOnWindow(IrSplChildWindow, [&](HDC dc) {
        DrawIrSplFrame(dc);
        for (int s : slots) DrawIrSplCurves(dc, s);
    });
}

void SetSlotHeader(int slot, const ColourEntry& colour, const ColourEntry& pen) {
    float* t = LogCurveTable[slot].Trailer;
    t[0] = 1.0f;
    t[1] = static_cast<float>(colour.red);
    t[2] = static_cast<float>(colour.green);
    t[3] = static_cast<float>(colour.blue);
    t[4] = static_cast<float>(pen.thickness);
    t[5] = static_cast<float>(pen.type);
}

void FillSlot(int slot, float value) {
    for (float& v : LogCurveTable[slot].Values) v = value;
}

void SetCandidateWindow(uint32_t method) {
    const IrCandidateList c = IrCandidatesOf(method, BlockFrames);
    IrDialog.IrWindowLength = static_cast<uint32_t>(c.start);
    IrDialog.IrOptimizeStep = static_cast<uint32_t>(c.step);
}

void FillCandidates(HWND dialog) {
    const IrCandidateList c = IrCandidatesOf(IrMethod, BlockFrames);
    SendDlgItemMessageA(dialog, IDC_IR_CANDIDATE_LIST, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < kIrCandidates; ++i) {
        const std::string text = IrCandidateLabel(IrCandidateLength(c, i));
        SendDlgItemMessageA(dialog, IDC_IR_CANDIDATE_LIST, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendDlgItemMessageA(dialog, IDC_IR_CANDIDATE_LIST, LB_SETCURSEL, IrDialog.IrOptimizeEntry, 0);
}

std::string SummaryLine(int o) {
    return IrSummaryLine(o, IrMethod, pr_file->tail.IrWindowSettings[o], pr_file->tail.SplOnlyEq, WideWindow);
}

void RewriteSummaryLine(HWND dialog, int o) {
    const std::string text = SummaryLine(o);
    SendDlgItemMessageA(dialog, IDC_IR_SUMMARY_LIST, LB_DELETESTRING, o, 0);
    SendDlgItemMessageA(dialog, IDC_IR_SUMMARY_LIST, LB_INSERTSTRING, o, reinterpret_cast<LPARAM>(text.c_str()));
}

void ShowBar(HWND dialog, int bar, int label, int value, std::string (*text)(int)) {
    SetScrollPos(GetDlgItem(dialog, bar), SB_CTL, value, TRUE);
    SetDlgItemTextA(dialog, label, text(value).c_str());
}

void OnInit(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_IR_ADVANCE, IrDialog.IrAdvanceText);
    SendDlgItemMessageA(dialog, IDC_IR_ADVANCE, EM_LIMITTEXT, kIrAdvanceChars, 0);
    for (const OptionBox& b : kOptionBoxes) Check(dialog, b.id, IrDialog.*b.flag);
    Check(dialog, IDC_IR_METHOD_1, IrMethod == 1 ? 0 : 1);
    Check(dialog, IDC_IR_METHOD_2, IrMethod == 1 ? 1 : 0);
    SetScrollRange(GetDlgItem(dialog, IDC_IR_TIME_SCALE), SB_CTL, 0, kIrTimeScaleMax, FALSE);
    ShowBar(dialog, IDC_IR_TIME_SCALE, IDC_IR_TIME_LABEL, IrTimeScale, IrTimeScaleLabel);
    SetScrollRange(GetDlgItem(dialog, IDC_IR_MAG_GAIN), SB_CTL, 0, kIrMagGainMax, FALSE);
    ShowBar(dialog, IDC_IR_MAG_GAIN, IDC_IR_GAIN_LABEL, IrDialog.IrMagGain, IrMagGainLabel);
    FillList(dialog, IDC_IR_FORMAT_LIST, kIrFileFormatNames, kIrFileFormatCount, IrDialog.IrFileFormat);
    const char* outputs[kIrOutputs];
    static char names[kIrOutputs][20];
    for (int o = 0; o < kIrOutputs; ++o) {
        std::snprintf(names[o], sizeof names[o], "Output Port %d", o + 1);
        outputs[o] = names[o];
    }
    FillList(dialog, IDC_IR_OUTPUT_LIST, outputs, kIrOutputs, IrDialog.IrOutput);
    FillList(dialog, IDC_IR_SECOND_LIST, outputs, kIrOutputs, IrDialog.IrSecondOutput);
    FillList(dialog, IDC_IR_WINDOW_LIST, kWindowTypeNames, kWindowTypeCount, IrDialog.IrWindowTypeSelection);
    SetCandidateWindow(IrMethod);
    FillCandidates(dialog);
    const char* hide[kHidePhaseEntries];
    for (int i = 0; i < kHidePhaseEntries; ++i) hide[i] = HidePhaseName(i);
    FillList(dialog, IDC_IR_HIDE_PHASE_LIST, hide, kHidePhaseEntries, IrDialog.IrHidePhaseIndex);
    IrTimeScale = IrTimeScalePreset(HV_Buffer_Size, pr_file->tail.SplOnlyEq);
    RebuildView();
    ShowBar(dialog, IDC_IR_TIME_SCALE, IDC_IR_TIME_LABEL, IrTimeScale, IrTimeScaleLabel);
    SendDlgItemMessageA(dialog, IDC_IR_SUMMARY_LIST, LB_RESETCONTENT, 0, 0);
    for (int o = 0; o < kIrOutputs; ++o)
        SendDlgItemMessageA(dialog, IDC_IR_SUMMARY_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(SummaryLine(o).c_str()));
}

void OnScroll(HWND dialog, WPARAM wParam, LPARAM lParam) {
    HWND bar = reinterpret_cast<HWND>(lParam);
    const int code = LOWORD(wParam), thumb = HIWORD(wParam);
    bool moved = false;
    if (bar == GetDlgItem(dialog, IDC_IR_TIME_SCALE)) {
        IrTimeScale = ScrollBarValue(GetScrollPos(bar, SB_CTL), code, thumb, kIrTimeScaleSteps, &moved);
        if (moved) RebuildView();
        ShowBar(dialog, IDC_IR_TIME_SCALE, IDC_IR_TIME_LABEL, IrTimeScale, IrTimeScaleLabel);
    } else if (bar == GetDlgItem(dialog, IDC_IR_MAG_GAIN)) {
        IrDialog.IrMagGain = ScrollBarValue(GetScrollPos(bar, SB_CTL), code, thumb, kIrMagGainSteps, &moved);
        if (moved) RebuildView();
        ShowBar(dialog, IDC_IR_MAG_GAIN, IDC_IR_GAIN_LABEL, IrDialog.IrMagGain, IrMagGainLabel);
    }
}

void SelectMethod(HWND dialog, uint32_t method) {
    Check(dialog, IDC_IR_METHOD_1, method == 0 ? 1 : 0);
    Check(dialog, IDC_IR_METHOD_2, method == 1 ? 1 : 0);
    IrMethod = method;
    SetCandidateWindow(method);
    FillCandidates(dialog);
    RebuildView();
}

// Each candidate window built and measured in turn: its curves in its slots, drawn as they come.
void BuildCandidates(const IrCandidateList& c) {
    for (int i = 0; i < kIrCandidates; ++i) {
        IrDialog.IrCurveSlot = static_cast<uint32_t>(i);
        IrDialog.IrWindowLength = static_cast<uint32_t>(IrCandidateLength(c, i));
        RebuildView();
        IrLogSpectrumToSlots(OutputImpulseResponse[IrDialog.IrOutput], i, i + kIrPhaseSlotOffset);
        SetSlotHeader(i, ColourScheme[i % 18 + 1], ColourScheme[1]);
        PaintOnWindow(IrSplChildWindow, [&](HDC dc) { DrawIrSplCurves(dc, i); });
        if (pr_file->tail.SplOnlyEq != 1) break;  // the window length plays no part
    }
}

void RunOptimisation(HWND dialog) {
    for (const OptionBox& b : kOptionBoxes) {
        if (!b.rebuilds) continue;
        IrDialog.*b.flag = 0;
        Check(dialog, b.id, 0);
    }
    IrDialog.IrCurveSlot = 0;
    DrawSplSlots({});
    for (int s = 0; s < kIrCandidates; ++s) FillSlot(s, kIrSplFloor);
    for (int s = kIrCandidates; s < 2 * kIrCandidates + 1; ++s) FillSlot(s, 0.0f);
    WithWaitCursor([] { BuildCandidates(IrCandidatesOf(IrMethod, BlockFrames)); });
}

void ChooseCandidate(HWND dialog) {
    const int sel = Selection(dialog, IDC_IR_CANDIDATE_LIST);
    if (sel < 0) return;
    IrDialog.IrOptimizeEntry = static_cast<uint32_t>(sel);
    IrOptRow = sel;
    if (IrDialog.IrShowReferenceSpl == 1) {
        DrawSplSlots({0, IrOptRow});
    } else {
        DrawSplSlots({IrOptRow});
    }
    if (pr_file->tail.SplOnlyEq != 1) return;
    const IrCandidateList c = IrCandidatesOf(IrMethod, BlockFrames);
    const int length = IrCandidateLength(c, sel);
    IrDialog.IrWindowLength = static_cast<uint32_t>(length);
    IrWindowEntry& entry = pr_file->tail.IrWindowSettings[IrDialog.IrOutput];
    entry.length = length;
    entry.window_type = static_cast<int32_t>(IrDialog.IrWindowTypeSelection);
    RewriteSummaryLine(dialog, static_cast<int>(IrDialog.IrOutput));
    RebuildView();
}

void ShowSummaryOutput(HWND dialog) {
    const int sel = Selection(dialog, IDC_IR_SUMMARY_LIST);
    if (sel < 0) return;
    IrDialog.IrSummaryOutput = static_cast<uint32_t>(sel);
    if (IrChildWindow) {
        PaintOnWindow(IrChildWindow, [](HDC dc) { DrawImpulseResponsePlot(dc); });
    } else {
        BuildSummaryView();
    }
    IrDialog.IrCurveSlot = kIrSummarySlot;
    FillSlot(kIrSummarySlot, kIrSplFloor);
    FillSlot(kIrSummaryPhaseSlot, 0.0f);
    IrLogSpectrumToSlots(IrExportBuffers[0], kIrSummarySlot, kIrSummaryPhaseSlot);
    SetSlotHeader(kIrSummarySlot, ColourScheme[8], ColourScheme[8]);
    DrawSplSlots({kIrSummarySlot});
}

void ClearSplResponse() {
    for (int s = 0; s <= kIrSummaryPhaseSlot; ++s) {
        FillSlot(s, kIrSplFloor);
        LogCurveTable[s].Trailer[0] = 0.0f;
    }
    DrawSplSlots({0});
}

// IR1 + IR2: outputs 1 and 2 are built, then their sum is drawn with the second advanced by the samples typed.
void DrawAdvancedSum(HWND dialog) {
    const long d = IrAdvanceOf(IrDialog.IrAdvanceText);
    if (d < 0) {
        ShowHvMessage(dialog, WarningMessage(kIrNegativeAdvance));
        return;
    }
    if (!IrChildWindow) return;
    const uint32_t shown = IrDialog.IrOutput;
    for (uint32_t o : {0u, 1u}) {
        IrDialog.IrOutput = o;
        RebuildView();
    }
    IrDialog.IrOutput = shown;  // the list still shows it: the view goes on with it
    const std::vector<float> s = SumAdvancedResponses(OutputImpulseResponse[0], OutputImpulseResponse[1], BlockFrames, d);
    PaintOnWindow(IrChildWindow, [&](HDC dc) {
        DrawImpulseResponseView(dc, 1);
        const IrView v = MakeIrView(IrViewClientSize.width, IrViewClientSize.height, IrTimeScale, IrDialog.IrMagGain);
        const bool log = IrDialog.IrLogScale != 0;
        HGDIOBJ old = SelectObject(dc, Gdi.RedPen2);
        bool down = false;
        for (std::size_t j = 0; j < s.size(); ++j) {
            const double x = IrSampleX(v, static_cast<double>(j));
            if (!IrInsideView(v, x)) break;
            const int y = IrTraceY(v, log ? IrLogY(v, s[j]) : IrLinearY(v, s[j]));
            if (down) {
                LineTo(dc, static_cast<int>(x), y);
            } else {
                MoveToEx(dc, static_cast<int>(x), y, nullptr);
                down = true;
            }
        }
        SelectObject(dc, old);
    });
}

void SaveResponse(HWND dialog) {
    MessageList messages;
    // The dialog itself is modal: the keys stay quiet until it closes, not only while the picker is open.
    const int before = ModalDialogOpen.exchange(1);
    if (RunFilePicker(dialog, IrSaveFilePicker(), IrSaveFileName, IrSaveFileTitle)) {
        // Each channel built now with its own window as the summary lists it, not as some earlier build (or
        // none) left it, nor with the window the dialog shows, which may have been chosen for another output.
        BuildResponsesToSave();
        IrWriteRequest r;
        r.format = static_cast<int32_t>(IrDialog.IrFileFormat);
        r.left = OutputImpulseResponse[IrDialog.IrOutput];
        r.right = OutputImpulseResponse[IrDialog.IrSecondOutput];
        r.N = BlockFrames;
        r.SplOnlyEq = pr_file->tail.SplOnlyEq;
        r.WideWindow = WideWindow;
        r.sample_rate = SampleRateOf(pr_file->tail.HV_Sampling);
        r.left_output = static_cast<int>(IrDialog.IrOutput);
        r.right_output = static_cast<int>(IrDialog.IrSecondOutput);
        WriteImpulseResponseFile(IrSaveFileName, r, &messages);
    }
    ModalDialogOpen = before;
    ShowHvMessages(FrameWindow, messages);
    RebuildView();
    DrawSplSlots({0});
}

void OnCommand(HWND dialog, int id, int code) {
    for (const OptionBox& b : kOptionBoxes) {
        if (b.id != id) continue;
        IrDialog.*b.flag = IrDialog.*b.flag == 1 ? 0 : 1;
        Check(dialog, id, IrDialog.*b.flag);
        if (b.rebuilds) RebuildView();
        return;
    }
    switch (id) {
        case IDC_IR_OUTPUT_LIST: StoreSelection(dialog, id, &IrDialog.IrOutput); break;
        case IDC_IR_WINDOW_LIST: StoreSelection(dialog, id, &IrDialog.IrWindowTypeSelection); break;
        case IDC_IR_FORMAT_LIST: StoreSelection(dialog, id, &IrDialog.IrFileFormat); break;
        case IDC_IR_SECOND_LIST: StoreSelection(dialog, id, &IrDialog.IrSecondOutput); break;
        case IDC_IR_HIDE_PHASE_LIST: StoreSelection(dialog, id, &IrDialog.IrHidePhaseIndex); break;
        case IDC_IR_METHOD_1: SelectMethod(dialog, 0); break;
        case IDC_IR_METHOD_2: SelectMethod(dialog, 1); break;
        case IDC_IR_OPTIMIZE: RunOptimisation(dialog); break;
        case IDC_IR_CANDIDATE_LIST:
            if (code == LBN_DBLCLK) ChooseCandidate(dialog);
            break;
        case IDC_IR_SUMMARY_LIST:
            if (code == LBN_DBLCLK) ShowSummaryOutput(dialog);
            break;
        case IDC_IR_CLEAR: ClearSplResponse(); break;
        case IDC_IR_ADVANCE:
            EnableWindow(GetDlgItem(dialog, id), TRUE);
            GetDlgItemTextA(dialog, id, IrDialog.IrAdvanceText, kIrAdvanceChars + 1);
            break;
        case IDC_IR_SUM: DrawAdvancedSum(dialog); break;
        case IDC_IR_SAVE: SaveResponse(dialog); break;
        case IDCANCEL: EndDialog(dialog, 0); break;
        default: break;
    }
}

}  // namespace

INT_PTR CALLBACK ExportImpulseResponseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInit(dialog); return TRUE;
        case WM_HSCROLL: OnScroll(dialog, wParam, lParam); return TRUE;
        case WM_COMMAND: OnCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
        default: return FALSE;
    }
}

INT_PTR RunExportImpulseResponse(HWND owner) {
    return DialogBoxParamA(AppInstance, "ExportImpulseResponse", owner, ExportImpulseResponseDialogProc, 0);
}
