// The acquisition page "TAB_MLS_Acquire": generator and window settings, Run MLS (live through the thread
// pair, or from a *.RES, WAV or text file), Save IR, Calculate SPL, the calibration curves and the
// resampling. Its settings live in globals, so every visit shows them again.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/driver_data.h"
#include "app/file_picker.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/preferences_controls.h"
#include "app/settings.h"
#include "app/text_export.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/message_box.h"
#include "app/win32/settings_windows.h"
#include "app/win32/window_registry.h"
#include "engine/win32/endpoints.h"
#include "measure/acquire_rules.h"
#include "measure/calibration_synthesis.h"
#include "measure/impulse_view.h"
#include "measure/ir_windows.h"
#include "measure/mls_plot.h"
#include "measure/mls_run.h"
#include "measure/mls_spl.h"
#include "measure/mls_state.h"
#include "measure/res_file.h"
#include "measure/resample.h"
#include "measure/resource_ids.h"
#include "measure/win32/measurement_thread_view.h"
#include "measure/win32/mls_windows.h"
#include "platform/threads.h"

uint32_t WavChannelChoice = 1;
uint32_t ResampleUpsampleDecimate = 1;
uint32_t CalTemplateOn = 0;

namespace {

HWND g_meter = nullptr;
uint32_t g_width_guard = 1;
uint32_t g_ms_guard = 1;
uint32_t g_remembered_block_size = 0;
bool g_filling = false;  // the page's own writes during its set-up change no setting
char g_res_path[kPathWidth] = {};
char g_res_title[kPathWidth] = {};
char g_cal_path[kPathWidth] = {};
char g_cal_title[kPathWidth] = {};

constexpr const char* kZoomNames[7] = {"1xAmpl", "2xAmpl", "4xAmpl", "8xAmpl", "16xAmpl", "32xAmpl", "64xAmpl"};

uint32_t& ShowWindowCurve() { return MlsSettings.DisplayFlags[0]; }
uint32_t& ShowPhase() { return MlsSettings.DisplayFlags[1]; }

void Check(HWND page, int id, uint32_t on) { CheckDlgButton(page, id, on == 1 ? BST_CHECKED : BST_UNCHECKED); }

void FillList(HWND page, int id, const char* const* names, int count, uint32_t selected) {
    SendDlgItemMessageA(page, id, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) SendDlgItemMessageA(page, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
    SendDlgItemMessageA(page, id, CB_SETCURSEL, selected, 0);
}

uint32_t ListSelection(HWND page, int id, uint32_t current) {
    const LRESULT sel = SendDlgItemMessageA(page, id, CB_GETCURSEL, 0, 0);
    return sel == CB_ERR ? current : static_cast<uint32_t>(sel);
}

// An edit's text into a setting field of `width` bytes (at most width - 1 characters).
void ReadEdit(HWND page, int id, char* field, int width) {
    char text[kSettingTextWidth] = {};
    GetDlgItemTextA(page, id, text, width < kSettingTextWidth ? width : kSettingTextWidth);
    CopySettingText(field, width, text);
}

void ShowMessages(HWND owner, const MessageList& messages) { ShowHvMessages(owner, messages); }

// A picker with the live keys quiet meanwhile.
bool WithFilePicker(HWND owner, const FilePickerDescription& picker, char* path, char* title) {
    ModalDialogOpen = 1;
    const bool chosen = RunFilePicker(owner, picker, path, title);
    ModalDialogOpen = 0;
    return chosen;
}

void BuildMlsIrWindow() {
    BuildIrWindow(MlsSettings.WindowTypeIndex, MlsSettings.WindowWidthText, MlsOrder, IrWindow, TwoSidedIrWindow);
}

void MarkWindowCurve() {
    if (ShowWindowCurve() == 1) MlsCurves[kImpulseWindowSlot].Values[kImpulseWindowShownFlag] = 1.0f;
}

void DrawDistanceInImpulseWindow() {
    if (!MlsImpWindow) return;
    HDC dc = GetDC(MlsImpWindow);
    DrawAcousticDistance(dc);
    ReleaseDC(MlsImpWindow, dc);
}

void DrawMeters() {
    const MlsMeterValues m = CurrentMeterValues();
    DrawLevelMeters(g_meter, m.in, m.ref);  // the measured channel on the left, under "In"
}

void RepaintSplWindow() {
    if (MlsSplWindow) InvalidateRect(MlsSplWindow, nullptr, TRUE);
}

// ---- the window width edits, each writing the other once ----

void AfterWindowChange() {
    BuildMlsIrWindow();
    MarkWindowCurve();
    RefreshImpulseCurves();
}

// One of the two edits changed: its text into its field, the other field recomputed from it, and the other
// edit rewritten unless this one is being written from there.
void OnWidthEdit(HWND page, bool samples) {
    char* own = samples ? MlsSettings.WindowWidthText : MlsSettings.TimeMsText;
    char* other = samples ? MlsSettings.TimeMsText : MlsSettings.WindowWidthText;
    ReadEdit(page, samples ? IDC_MLS_WINDOW_WIDTH : IDC_MLS_WINDOW_MS, own, kSettingTextWidth);
    const std::string text = samples ? WindowWidthMsText(own, MlsSampleRate()) : WindowWidthSamplesText(own, MlsSampleRate());
    CopySettingText(other, kSettingTextWidth, text.c_str());
    uint32_t& own_guard = samples ? g_width_guard : g_ms_guard;
    uint32_t& other_guard = samples ? g_ms_guard : g_width_guard;
    if (own_guard == 1) {
        other_guard = 0;
        SetDlgItemTextA(page, samples ? IDC_MLS_WINDOW_MS : IDC_MLS_WINDOW_WIDTH, other);
        other_guard = 1;
    }
    AfterWindowChange();
}

// ---- set-up ----

void OnInitDialog(HWND page) {
    g_filling = true;
    RebuildPlotGrids(FrequencyAxisRange);
    g_meter = GetDlgItem(page, IDC_MLS_METER);
    FillList(page, IDC_MLS_RATE, SampleRateNames, 3, MlsSettings.MlsRateIndex);
    FillList(page, IDC_MLS_ZOOM, kZoomNames, 7, MlsSettings.ZoomIndex);
    FillList(page, IDC_MLS_WINDOW_TYPE, MlsWindowNames, kMlsWindowTypeCount, MlsSettings.WindowTypeIndex);
    FillList(page, IDC_MLS_SPL_SMOOTHING, kSplSmoothingNames, kSplSmoothingChoices, MlsSettings.SplSmoothingIndex);
    FillList(page, IDC_MLS_CPLX_SMOOTHING, kCplxSmoothingNames, kCplxSmoothingLevels, MlsSettings.AcquisitionListIndex);
    SetDlgItemTextA(page, IDC_MLS_WINDOW_WIDTH, MlsSettings.WindowWidthText);
    SetDlgItemTextA(page, IDC_MLS_PULSE_DELAY, MlsSettings.PulseDelayText);
    const std::string ms = WindowWidthMsText(MlsSettings.WindowWidthText, MlsSampleRate());
    CopySettingText(MlsSettings.TimeMsText, kSettingTextWidth, ms.c_str());
    SetDlgItemTextA(page, IDC_MLS_WINDOW_MS, MlsSettings.TimeMsText);
    Check(page, IDC_MLS_TEMPLATE, CalTemplateOn);
    Check(page, IDC_MLS_USE_MIKE, MlsSettings.MikeCalUse);
    Check(page, IDC_MLS_USE_PREAMP, MlsSettings.PreampCalUse);
    Check(page, IDC_MLS_USE_SAVED, MlsSettings.UseSavedBuffer);
    Check(page, IDC_MLS_SHOW_PHASE, ShowPhase());
    Check(page, IDC_MLS_SHOW_WINDOW, ShowWindowCurve());
    Check(page, IDC_MLS_DELAY_READ, MlsSettings.AcquisitionFlag);
    SetDlgItemTextA(page, IDC_MLS_DELAY_READ_MS, MlsSettings.DelayReadText);
    Check(page, IDC_MLS_EMPHASIS_BOTH, MlsSettings.BothChannels);
    Check(page, IDC_MLS_UPSAMPLE, ResampleUpsampleDecimate);
    Check(page, IDC_MLS_INTERPOLATE, ResampleUpsampleDecimate == 1 ? 0 : 1);
    Check(page, IDC_MLS_WAV_CH1, WavChannelChoice);
    Check(page, IDC_MLS_WAV_CH2, WavChannelChoice == 1 ? 0 : 1);
    SetDlgItemTextA(page, IDC_MLS_EMPHASIS, MlsSettings.PreEmphasisText);
    SetDlgItemTextA(page, IDC_MLS_ADD_DB, MlsSettings.AddDbToSplText);
    SetDlgItemTextA(page, IDC_MLS_EFFICIENCY, CurrentDriver->params[kEfficiencyField]);
    SetScrollRange(GetDlgItem(page, IDC_MLS_LEVEL), SB_CTL, 0, 100, FALSE);
    SetScrollPos(GetDlgItem(page, IDC_MLS_LEVEL), SB_CTL, static_cast<int>(MlsSettings.MlsOutputLevel), TRUE);
    SetDlgItemTextA(page, IDC_MLS_LEVEL_TEXT, OutputLevelText(static_cast<int>(MlsSettings.MlsOutputLevel)).c_str());
    EnumCaptureEndpoints();
    EnumRenderEndpoints();
    EngineRunning.store(0);
    MlsRenderRunning.store(0);
    IrCursorXDrawn = 0;
    MlsSettings.MlsLengthIndex = 5;
    MlsOrder = kMlsMaxOrder;
    std::memset(MlsLogWorkCurves[0], 0, 2 * kSplLogPoints * sizeof(float));
    std::memset(MlsLogWorkCurves[1], 0, 2 * kSplLogPoints * sizeof(float));
    if (AllocateMlsCaptureBuffers() != 0) ShowHvMessage(FrameWindow, WarningMessage("Unable To Allocate MLS Buffers"));
    BuildMlsIrWindow();
    MarkWindowCurve();
    RefreshImpulseCurves();
    if (HV_Buffer_Size != g_remembered_block_size) ClearSplSlots(MlsCurves, &MlsSplSlot, &MlsPhaseSlot);
    g_remembered_block_size = HV_Buffer_Size;
    g_filling = false;
}

// ---- Run MLS ----

// The end of every run, load and import: the impulse window's title, distance box, window and repaint.
void FinishRun() {
    SetImpulseWindowTitle();
    DrawDistanceInImpulseWindow();
    BuildMlsIrWindow();
    EngineRunning.store(0);
    MarkWindowCurve();
    RefreshImpulseCurves();
    if (WasapiDebugMode == 1 && MlsImpWindow) ValidateRect(MlsImpWindow, nullptr);  // keep the status lines
    DrawMeters();
}

void ShowPeaksTitle(const MlsAnalysisResult& result) {
    if (MlsSplWindow) SetWindowTextA(MlsSplWindow, MlsPeaksTitle(result).c_str());
}

void DrawDebugStamps() {
    if (WasapiDebugMode != 1 || !MlsImpWindow) return;
    HDC dc = GetDC(MlsImpWindow);
    const std::string stamps = MlsStampsText(MlsStartTimes, MlsStartOffsetMs);
    TextOutA(dc, 650, 60, stamps.c_str(), static_cast<int>(stamps.size()));
    const MlsStartOffset offset = MlsStartOffsetOf(MlsStartTimes, MillisecondsPerTick(CurrentPerformanceCounter()),
                                                   MlsSampleRate(), true);
    if (offset.shift > 0) {
        const std::string shift = MlsShiftText(offset);
        TextOutA(dc, 650, 40, shift.c_str(), static_cast<int>(shift.size()));
    }
    ReleaseDC(MlsImpWindow, dc);
}

void RunLive(HWND page) {
    MeasurementRun& run = MlsRun();
    WindowThreadView view(MlsImpWindow, FrameWindow);
    run.View = &view;
    const MlsLiveRunOutcome outcome = RunLiveMls(run, MlsRunThreadSettings(), PumpSentMessages);
    view.ShowPendingTitle();
    run.View = nullptr;
    // Under the level bar: the level itself, or the lower one a pre-emphasised stimulus was held at.
    SetDlgItemTextA(page, IDC_MLS_LEVEL_TEXT,
                    OutputLevelText(static_cast<int>(MlsSettings.MlsOutputLevel), outcome.emphasis).c_str());
    if (outcome.start == MeasurementStartResult::kNoEvent || outcome.start == MeasurementStartResult::kBadRun)
        SetWindowTextA(FrameWindow, kMeasurementCaptureErrorTitle);
    if (outcome.analysed) {
        ShowPeaksTitle(outcome.analysis);
        DrawDebugStamps();
    } else if (MlsSplWindow) {
        // No peaks to report: the title says so rather than show those of a silent measurement.
        SetWindowTextA(MlsSplWindow, (std::string(kMlsSplWindowTitle) + "  " + kMlsNoCaptureTitle).c_str());
    }
    const std::string failure = MlsRunFailureText(outcome);
    if (!failure.empty()) ShowHvMessage(FrameWindow, WarningMessage(failure));
}

void RunFromFile(HWND page) {
    const bool chosen = WithFilePicker(FrameWindow, ResFilePicker(false), g_res_path, g_res_title);
    if (!chosen) return;
    MessageList messages;
    switch (MlsFileKindOf(g_res_path)) {
        case MlsFileKind::kWav: {
            ImpulseWav wav;
            const bool read = ReadImpulseWav(g_res_path, &wav, &messages);
            ShowMessages(FrameWindow, messages);
            if (!read) return;
            int channel = 0;
            if (wav.channels == 2) channel = ShowHvMessage(FrameWindow, ImportLeftChannelMessage()) == IDYES ? 0 : 1;
            messages.clear();
            ApplyWavImport(wav, channel, &messages);
            ShowMessages(FrameWindow, messages);
            break;
        }
        case MlsFileKind::kRes: {
            MlsAnalysisResult result;
            const bool loaded = LoadMlsResRun(g_res_path, &messages, &result);
            ShowMessages(FrameWindow, messages);
            if (!loaded) return;
            SendDlgItemMessageA(page, IDC_MLS_RATE, CB_SETCURSEL, MlsSettings.MlsRateIndex, 0);
            ShowPeaksTitle(result);
            break;
        }
        case MlsFileKind::kText:
            ImportTextRun(g_res_path, &messages);
            ShowMessages(FrameWindow, messages);
            break;
        case MlsFileKind::kOther: break;
    }
}

void OnRunMls(HWND page) {
    if (!BeginMlsRun()) return;
    if (MlsSettings.UseSavedBuffer == 1) {
        RunFromFile(page);
    } else {
        RunLive(page);
    }
    FinishRun();
}

void OnSaveIr() {
    MessageList refusal;
    if (!MlsIrSavable(&refusal)) {
        ShowMessages(FrameWindow, refusal);
        return;
    }
    ProposeResFileName(g_res_title, sizeof g_res_title, MlsSavedRateIndex);
    ProposeResFileName(g_res_path, sizeof g_res_path, MlsSavedRateIndex);
    if (!WithFilePicker(FrameWindow, ResFilePicker(true), g_res_path, g_res_title)) return;
    MessageList messages;
    SaveMlsIr(g_res_path, &messages);
    ShowMessages(FrameWindow, messages);
}

void OnCalculateSpl(HWND page) {
    HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    MessageList messages;
    const SplResult r = CalculateSplNow(MlsImpulseCursor, &messages);
    ShowMessages(page, messages);
    if (r == SplResult::kStored) SelectMlsSplPage(0);
    SetCursor(old);
}

void OnResample(HWND page) {
    HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    ResampleImpulsesTo44k(ResampleUpsampleDecimate);
    SendDlgItemMessageA(page, IDC_MLS_RATE, CB_SETCURSEL, 0, 0);
    FinishRun();
    if (MlsImpWindow) InvalidateRect(MlsImpWindow, nullptr, TRUE);
    SetCursor(old);
}

// ---- calibration curves ----

void CurveIntoSlots(const float* curve, int spl_slot, int spl_colour, int phase_slot, int phase_colour) {
    PlotCurve& spl = MlsCurves[spl_slot];
    PlotCurve& phase = MlsCurves[phase_slot];
    for (int k = 0; k < kSplLinearPoints; ++k) {
        spl.Values[k] = curve[2 * k];
        phase.Values[k] = curve[2 * k + 1];
    }
    spl.Visible = phase.Visible = 1.0f;
    CopyCurvePen(spl, ColourScheme[spl_colour]);
    CopyCurvePen(phase, ColourScheme[phase_colour]);
}

void OnImportCal(bool mike) {
    char* remembered = mike ? Preferences->MikeCalFilePath : Preferences->PreampCalFilePath;
    CopySettingText(g_cal_path, kPathWidth, remembered);
    MessageList messages;
    float* curve = mike ? MikeCalCurve : PreampCalCurve;
    if (WithFilePicker(FrameWindow, CalImportPicker(), g_cal_path, g_cal_title)) {
        ReadCalCurveFile(g_cal_path, reinterpret_cast<CalPoint*>(curve), BinFrequencyTable, &messages);
        ShowMessages(FrameWindow, messages);
    }
    CopySettingText(remembered, kPathWidth, g_cal_path);
    if (MlsSplWindow) {
        // The file this import chose, for either curve.
        const std::string title = std::string(kMlsSplWindowTitle) + "  " + g_cal_path;
        SetWindowTextA(MlsSplWindow, title.c_str());
    }
    if (mike) CurveIntoSlots(curve, 25, 5, 26, 6);
    else CurveIntoSlots(curve, 27, 3, 28, 4);
    SelectMlsSplPage(1);
}

void OnShowCal() {
    if (MlsSettings.MikeCalUse == 1) CurveIntoSlots(MikeCalCurve, 25, 1, 26, 2);
    if (MlsSettings.PreampCalUse == 1) CurveIntoSlots(PreampCalCurve, 27, 3, 28, 4);
    SelectMlsSplPage(1);
}

void OnResetCal() {
    std::memset(MikeCalCurve, 0, 2 * kSplLinearPoints * sizeof(float));
    std::memset(PreampCalCurve, 0, 2 * kSplLinearPoints * sizeof(float));
    std::memset(CurrentDriver->mike_cal, 0, sizeof CurrentDriver->mike_cal);
    std::memset(CurrentDriver->preamp_cal, 0, sizeof CurrentDriver->preamp_cal);
    for (int slot = 25; slot <= 28; ++slot) std::memset(MlsCurves[slot].Values, 0, sizeof MlsCurves[slot].Values);
    SelectMlsSplPage(1);
}

void OnTemplate(HWND page) {
    CalTemplateOn = CalTemplateOn == 1 ? 0 : 1;
    Check(page, IDC_MLS_TEMPLATE, CalTemplateOn);
    if (CalTemplateOn == 1) {
        for (int k = 0; k < kSplLinearPoints; ++k) {
            MlsCurves[51].Values[k] = 90.0f - CurrentDriver->spl_lin[k];
            MlsCurves[52].Values[k] = CurrentDriver->phase_lin[k];
        }
        for (int slot : {51, 52}) {
            MlsCurves[slot].Visible = 1.0f;
            CopyCurvePen(MlsCurves[slot], ColourScheme[slot == 51 ? 3 : 4]);
        }
    }
    SelectMlsSplPage(1);
}

void OnCreateCal() {
    const std::string refusal = CalConstructionRefusal(MlsSettings.MikeCalUse, MlsSettings.PreampCalUse);
    if (!refusal.empty()) {
        ShowHvMessage(FrameWindow, WarningMessage(refusal));
        return;
    }
    ModalDialogOpen = 1;
    const INT_PTR r = DialogBoxParamA(AppInstance, "EnterCreateCalibration", FrameWindow, CalibrationDialogProc, 0);
    ModalDialogOpen = 0;
    if (r != 1) return;
    HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    MessageList messages;
    if (MlsSettings.MikeCalUse == 1)
        SynthesizeCalibrationCurve(CalTarget::kMike, CalSections, BinFrequencyTable,
                                   reinterpret_cast<CalPoint*>(MikeCalCurve), MlsCurves, CurrentDriver->mike_cal,
                                   ColourScheme, &messages);
    if (MlsSettings.PreampCalUse == 1)
        SynthesizeCalibrationCurve(CalTarget::kPreamp, CalSections, BinFrequencyTable,
                                   reinterpret_cast<CalPoint*>(PreampCalCurve), MlsCurves, CurrentDriver->preamp_cal,
                                   ColourScheme, &messages);
    SetCursor(old);
    ShowMessages(FrameWindow, messages);
    SelectMlsSplPage(1);
}

void OnExportCal() {
    const std::string refusal = CalExportRefusal(MlsSettings.MikeCalUse, MlsSettings.PreampCalUse);
    if (!refusal.empty()) {
        ShowHvMessage(FrameWindow, WarningMessage(refusal));
        return;
    }
    char path[kPathWidth] = {}, title[kPathWidth] = {};
    if (!WithFilePicker(FrameWindow, SplExportPicker(), path, title)) return;
    MessageList messages;
    WriteCalCurveText(path, *CurrentDriver, MlsSettings.MikeCalUse, MlsSettings.PreampCalUse, BinFrequencyTable,
                      &messages);
    ShowMessages(FrameWindow, messages);
}

// ---- the command switch ----

void Toggle(HWND page, int id, uint32_t* flag) {
    *flag = *flag == 1 ? 0 : 1;
    Check(page, id, *flag);
}

INT_PTR OnCommand(HWND page, int id, int code) {
    const bool edit_changed = code == EN_CHANGE && !g_filling;
    switch (id) {
        case IDC_MLS_RUN: OnRunMls(page); return TRUE;
        case IDC_MLS_SAVE_IR: OnSaveIr(); return TRUE;
        case IDC_MLS_CALCULATE_SPL: OnCalculateSpl(page); return TRUE;
        case IDC_MLS_CLEAR_SPL:
            ClearSplSlots(MlsCurves, &MlsSplSlot, &MlsPhaseSlot);
            RepaintSplWindow();
            return TRUE;
        case IDC_MLS_RESAMPLE: OnResample(page); return TRUE;
        case IDC_MLS_USE_MIKE: Toggle(page, id, &MlsSettings.MikeCalUse); return TRUE;
        case IDC_MLS_USE_PREAMP: Toggle(page, id, &MlsSettings.PreampCalUse); return TRUE;
        case IDC_MLS_IMPORT_MIKE: OnImportCal(true); return TRUE;
        case IDC_MLS_IMPORT_PREAMP: OnImportCal(false); return TRUE;
        case IDC_MLS_SHOW_CAL: OnShowCal(); return TRUE;
        case IDC_MLS_RESET_CAL: OnResetCal(); return TRUE;
        case IDC_MLS_TEMPLATE: OnTemplate(page); return TRUE;
        case IDC_MLS_CREATE_CAL: OnCreateCal(); return TRUE;
        case IDC_MLS_EXPORT_CAL: OnExportCal(); return TRUE;
        case IDC_MLS_SHOW_PHASE:
            Toggle(page, id, &ShowPhase());
            RepaintSplWindow();
            return TRUE;
        case IDC_MLS_PRINT:
            if (FrameWindow) PrintWindowImage(FrameWindow, page);
            return TRUE;
        case IDC_MLS_PEN_COLOURS:
            if (!PenColourWindow) {
                OpenPenColourChild();
                UpdateWindow(FrameWindow);
            } else {
                BringWindowToTop(PenColourWindow);
            }
            return TRUE;
        case IDC_MLS_RATE:
            if (EngineRunning.load() != 0 || code != CBN_SELCHANGE) return FALSE;
            MlsSettings.MlsRateIndex = ListSelection(page, id, MlsSettings.MlsRateIndex);
            DrawDistanceInImpulseWindow();
            return FALSE;
        case IDC_MLS_CPLX_SMOOTHING:
            MlsSettings.AcquisitionListIndex = ListSelection(page, id, MlsSettings.AcquisitionListIndex);
            return TRUE;
        case IDC_MLS_SPL_SMOOTHING:
            MlsSettings.SplSmoothingIndex = ListSelection(page, id, MlsSettings.SplSmoothingIndex);
            return TRUE;
        case IDC_MLS_ZOOM:
            MlsSettings.ZoomIndex = ListSelection(page, id, MlsSettings.ZoomIndex);
            RefreshImpulseCurves();
            return TRUE;
        case IDC_MLS_WINDOW_TYPE:
            if (code != CBN_SELCHANGE) return TRUE;
            MlsSettings.WindowTypeIndex = ListSelection(page, id, MlsSettings.WindowTypeIndex);
            AfterWindowChange();
            return TRUE;
        case IDC_MLS_SHOW_WINDOW:
            Toggle(page, id, &ShowWindowCurve());
            MlsCurves[kImpulseWindowSlot].Values[kImpulseWindowShownFlag] = ShowWindowCurve() == 1 ? 1.0f : 0.0f;
            AfterWindowChange();
            return TRUE;
        case IDC_MLS_WINDOW_WIDTH:
            if (edit_changed) OnWidthEdit(page, true);
            return TRUE;
        case IDC_MLS_WINDOW_MS:
            if (edit_changed) OnWidthEdit(page, false);
            return TRUE;
        case IDC_MLS_PULSE_DELAY:
            if (edit_changed) {
                ReadEdit(page, id, MlsSettings.PulseDelayText, kSettingTextWidth);
                DrawDistanceInImpulseWindow();
            }
            return FALSE;
        case IDC_MLS_EMPHASIS:
            if (edit_changed) {
                ReadEdit(page, id, MlsSettings.PreEmphasisText, kSettingTextWidth);
                // A level held for the last run's time constant says nothing of the next one.
                SetDlgItemTextA(page, IDC_MLS_LEVEL_TEXT,
                                OutputLevelText(static_cast<int>(MlsSettings.MlsOutputLevel)).c_str());
            }
            return TRUE;
        case IDC_MLS_DELAY_READ_MS:
            if (edit_changed) ReadEdit(page, id, MlsSettings.DelayReadText, kSettingTextWidth);
            return FALSE;
        case IDC_MLS_ADD_DB:
            if (edit_changed) ReadEdit(page, id, MlsSettings.AddDbToSplText, 10);
            return TRUE;
        case IDC_MLS_EFFICIENCY:
            if (edit_changed) ReadEdit(page, id, CurrentDriver->params[kEfficiencyField], 10);
            return TRUE;
        case IDC_MLS_EMPHASIS_BOTH: Toggle(page, id, &MlsSettings.BothChannels); return TRUE;
        case IDC_MLS_DELAY_READ: Toggle(page, id, &MlsSettings.AcquisitionFlag); return TRUE;
        case IDC_MLS_USE_SAVED: Toggle(page, id, &MlsSettings.UseSavedBuffer); return TRUE;
        case IDC_MLS_WAV_CH1:
        case IDC_MLS_WAV_CH2:
            WavChannelChoice = id == IDC_MLS_WAV_CH1 ? 1 : 0;
            Check(page, IDC_MLS_WAV_CH1, WavChannelChoice);
            Check(page, IDC_MLS_WAV_CH2, WavChannelChoice == 1 ? 0 : 1);
            return TRUE;
        case IDC_MLS_UPSAMPLE:
        case IDC_MLS_INTERPOLATE:
            ResampleUpsampleDecimate = id == IDC_MLS_UPSAMPLE ? 1 : 0;
            Check(page, IDC_MLS_UPSAMPLE, ResampleUpsampleDecimate);
            Check(page, IDC_MLS_INTERPOLATE, ResampleUpsampleDecimate == 1 ? 0 : 1);
            return TRUE;
        default: return FALSE;
    }
}

LevelScroll ScrollRequest(int code) {
    switch (code) {
        case SB_LINELEFT: return LevelScroll::kLineLeft;
        case SB_LINERIGHT: return LevelScroll::kLineRight;
        case SB_PAGELEFT: return LevelScroll::kPageLeft;
        case SB_PAGERIGHT: return LevelScroll::kPageRight;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: return LevelScroll::kThumb;
        case SB_LEFT: return LevelScroll::kLeftEnd;
        case SB_RIGHT: return LevelScroll::kRightEnd;
        default: return LevelScroll::kOther;
    }
}

INT_PTR OnLevelScroll(HWND page, WPARAM wParam, LPARAM lParam) {
    HWND bar = reinterpret_cast<HWND>(lParam);
    if (bar != GetDlgItem(page, IDC_MLS_LEVEL)) return FALSE;
    const int level = ScrolledOutputLevel(GetScrollPos(bar, SB_CTL), ScrollRequest(LOWORD(wParam)), HIWORD(wParam));
    MlsSettings.MlsOutputLevel = static_cast<uint32_t>(level);
    SetScrollPos(bar, SB_CTL, level, TRUE);
    SetDlgItemTextA(page, IDC_MLS_LEVEL_TEXT, OutputLevelText(level).c_str());
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK MlsAcquireDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInitDialog(page); return TRUE;
        case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
        case WM_HSCROLL: return OnLevelScroll(page, wParam, lParam);
        case WM_PAINT: DrawMeters(); return FALSE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlID != IDC_MLS_METER) return FALSE;
            const MlsMeterValues m = CurrentMeterValues();
            DrawMeterLeds(item->hDC, item->rcItem, m.in, m.ref);
            return TRUE;
        }
        case WM_MOUSEMOVE:
            if (MlsSettings.UseSavedBuffer == 1 && EngineRunning.load() == 1) SetCursor(LoadCursor(nullptr, IDC_WAIT));
            return TRUE;
        case WM_DESTROY:
            // The capture buffers stay with the control dialog, so Save IR still writes the last capture.
            g_meter = nullptr;
            return FALSE;
        default: return FALSE;
    }
}
