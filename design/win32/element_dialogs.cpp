// The element dialogs "EnterInputPort", "EnterOutputPort" and "EnterBehringer": each edits the WorkingNetwork
// element at SelectedElement. What Done and Cancel decide lives in design/element_dialogs.
#include <windows.h>

#include <string>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/message_box.h"
#include "app/win32/wait_cursor.h"
#include "design/driver_equalization.h"
#include "design/element_dialogs.h"
#include "design/filter_names.h"
#include "design/pane_editor.h"
#include "design/resource_ids.h"
#include "design/win32/design_windows.h"

static_assert(IDC_PORT_EDIT == kIdPortEdit && IDC_NODE_LABEL == kIdNodeLabel && IDC_DRIVER_PATH == kIdDriverPath &&
              IDC_BROWSE == kIdBrowse && IDC_CLEAR_DRIVER == kIdClearDriver && IDC_BAND_LOW == kIdBandLow &&
              IDC_BAND_HIGH == kIdBandHigh && IDC_CHANNEL_DELAY == kIdChannelDelay &&
              IDC_CHANNEL_DELAY_CM == kIdChannelDelayCm && IDC_CABS_DELAY == kIdCabsDelay &&
              IDC_CABS_DELAY_CM == kIdCabsDelayCm && IDC_REVERSE_PHASE == kIdReversePhase &&
              IDC_CHANNEL_GAIN == kIdChannelGain && IDC_PLOT_FLAG == kIdPlotFlag && IDC_SLOPE_LIST == kIdSlopeList &&
              IDC_FAMILY_LIST == kIdFamilyList && IDC_FREQUENCY == kIdFrequency && IDC_BYPASS == kIdBypass &&
              IDC_FILTER_GAIN == kIdFilterGain && IDC_Q_OR_R == kIdQOrRatio);

namespace {

// A field's text, at most `maxChars` characters.
std::string ItemText(HWND dialog, int id, int maxChars) {
    std::vector<char> buffer(static_cast<size_t>(maxChars) + 1, '\0');
    GetDlgItemTextA(dialog, id, buffer.data(), maxChars + 1);
    return buffer.data();
}

void SetText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

// Shows the messages, puts the texts back, and ends the dialog when the outcome closes it.
void Apply(HWND dialog, const DialogOutcome& outcome) {
    ShowHvMessages(dialog, outcome.messages);
    for (const auto& [id, text] : outcome.texts) SetText(dialog, id, text);
    if (outcome.close) EndDialog(dialog, outcome.result);
}

float* SelectedParams() { return WorkingNet->params[SelectedElement].p; }

bool SelectionUsable() { return WorkingNet && SelectedElement >= 0 && SelectedElement < kMaxElements; }

// ---- Input port ----
InputPortDialogState g_input;

// ---- Output port ----
OutputPortDialogState g_output;
bool g_outputReady = false;  // the opening has filled every field; live edits act from then on

// ---- Filter block ----
FilterBlockDialogState g_filter;

void BuildEqualization(const WorkingNetwork& net, int element) {
    WithWaitCursor([&] { BuildDriverEqualization(net, element, BinFrequencyTable, BlockFrames, MinPhaseWorkSpectrum); });
}

void OutputBrowse(HWND dialog) {
    float* p = SelectedParams();
    const DialogOutcome check = CheckBrowsePort(p);
    if (!check.messages.empty()) {
        Apply(dialog, check);
        return;
    }
    // The picker gets buffers of its own: the element's path and title change only when a file is accepted.
    std::vector<char> path(kDriverPathChars, '\0'), title(kDriverPathChars, '\0');
    g_output.pickerFileName.copy(path.data(), kDriverPathChars - 1);
    path[kDriverPathChars - 1] = '\0';
    if (!RunFilePicker(dialog, PortDriverPickerDescription(), path.data(), title.data())) return;
    path[kDriverPathChars - 1] = '\0';
    title[kDriverPathChars - 1] = '\0';
    DialogOutcome outcome;
    WithWaitCursor([&] {
        LoadPortDriverFile(path.data(), title.data(), PortDriverBuffer, pr_file ? pr_file->tail.HV_Sampling : 0,
                           HV_Buffer_Size, WorkingNet, SelectedElement, &g_output, &outcome);
    });
    Apply(dialog, outcome);
}

void OutputInit(HWND dialog) {
    g_outputReady = false;
    const OutputPortTexts t = OpenOutputPortDialog(*WorkingNet, SelectedElement, &g_output);
    SendDlgItemMessageA(dialog, IDC_DRIVER_PATH, EM_LIMITTEXT, kPathChars, 0);
    SetText(dialog, IDC_BAND_LOW, t.low);
    SetText(dialog, IDC_BAND_HIGH, t.high);
    SetText(dialog, IDC_PORT_EDIT, t.port);
    SetText(dialog, IDC_DRIVER_PATH, t.path);
    SetText(dialog, IDC_NODE_LABEL, t.node);
    SetText(dialog, IDC_CHANNEL_DELAY_CM, t.delayCm);
    SetText(dialog, IDC_CHANNEL_DELAY, t.delay);
    SetText(dialog, IDC_CHANNEL_GAIN, t.gain);
    SetText(dialog, IDC_CABS_DELAY, t.cabs);
    SetText(dialog, IDC_CABS_DELAY_CM, t.cabsCm);
    CheckDlgButton(dialog, IDC_REVERSE_PHASE, t.reversePhase ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PLOT_FLAG, t.plot ? BST_CHECKED : BST_UNCHECKED);
    g_outputReady = true;
}

void OutputCommand(HWND dialog, int id) {
    float* p = SelectedParams();
    switch (id) {
        case IDC_PORT_EDIT:
            if (g_outputReady) p[kParamOutputNumber] = static_cast<float>(ReadDialogNumber(ItemText(dialog, id, kPortChars), kPortChars));
            break;
        case IDC_CHANNEL_DELAY:
            SetText(dialog, IDC_CHANNEL_DELAY_CM, DelayDistanceText(ItemText(dialog, id, kDelayChars)));
            break;
        case IDC_CABS_DELAY:
            SetText(dialog, IDC_CABS_DELAY_CM, DelayDistanceText(ItemText(dialog, id, kDelayChars)));
            break;
        case IDC_DRIVER_PATH:
            if (g_outputReady && p[kParamOutputNumber] > 0.0f) {
                const std::string text = ItemText(dialog, id, kPathChars);
                text.copy(WorkingNet->driver_file_path[SelectedElement], kDriverPathChars - 1);
                WorkingNet->driver_file_path[SelectedElement][text.size() < kDriverPathChars ? text.size() : kDriverPathChars - 1] = '\0';
            }
            break;
        case IDC_REVERSE_PHASE:
            CheckDlgButton(dialog, id, TogglePolarity(p) ? BST_CHECKED : BST_UNCHECKED);
            break;
        case IDC_PLOT_FLAG:
            CheckDlgButton(dialog, id, TogglePlotFlag(p) ? BST_CHECKED : BST_UNCHECKED);
            break;
        case IDC_BROWSE:
            OutputBrowse(dialog);
            break;
        case IDC_CLEAR_DRIVER:
            ClearLoadedDriver(WorkingNet, SelectedElement, MinPhaseWorkSpectrum, &g_output);
            SetText(dialog, IDC_DRIVER_PATH, "");
            break;
        case IDOK: {
            OutputPortDoneTexts texts{ItemText(dialog, IDC_CHANNEL_GAIN, kGainChars),
                                      ItemText(dialog, IDC_CHANNEL_DELAY, kDelayChars),
                                      ItemText(dialog, IDC_CABS_DELAY, kDelayChars),
                                      ItemText(dialog, IDC_PORT_EDIT, kPortChars),
                                      ItemText(dialog, IDC_BAND_LOW, kBandChars),
                                      ItemText(dialog, IDC_BAND_HIGH, kBandChars)};
            OutputPortEnvironment env;
            env.panes = PaneRecords;
            env.samplingIndex = pr_file ? pr_file->tail.HV_Sampling : 0;
            env.bufferSizeIndex = HV_Buffer_Size;
            env.minPhaseWork = MinPhaseWorkSpectrum;
            env.buildMinimumPhase = BuildEqualization;
            Apply(dialog, OutputPortDone(WorkingNet, SelectedElement, texts, &g_output, env));
            break;
        }
        case IDCANCEL:
            Apply(dialog, OutputPortCancel(WorkingNet, SelectedElement, g_output));
            break;
        default: break;
    }
}

void FillFilterLists(HWND dialog) {
    for (int i = 0; i < kFamilyEntries; ++i) SendDlgItemMessageA(dialog, IDC_FAMILY_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FamilyName(i)));
    for (int i = 0; i < kSlopeEntries; ++i) SendDlgItemMessageA(dialog, IDC_SLOPE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(SlopeName(i)));
}

}  // namespace

INT_PTR CALLBACK EnterInputPortDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            if (!SelectionUsable()) {
                EndDialog(dialog, 2);
                return TRUE;
            }
            const InputPortTexts t = OpenInputPortDialog(SelectedParams(), &g_input);
            SetText(dialog, IDC_PORT_EDIT, t.port);
            SetText(dialog, IDC_NODE_LABEL, t.node);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    Apply(dialog, InputPortDone(SelectedParams(), ItemText(dialog, IDC_PORT_EDIT, kPortChars), &g_input,
                                                PaneRecords));
                    return TRUE;
                case IDCANCEL:
                    Apply(dialog, InputPortCancel(SelectedParams(), g_input));
                    return TRUE;
                default: break;
            }
            break;
        default: break;
    }
    return FALSE;
}

INT_PTR CALLBACK EnterOutputPortDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            if (!SelectionUsable()) {
                EndDialog(dialog, 2);
                return TRUE;
            }
            OutputInit(dialog);
            return TRUE;
        case WM_COMMAND:
            OutputCommand(dialog, LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            // The close box keeps every value as it stands.
            EndDialog(dialog, 1);
            return TRUE;
        default: break;
    }
    return FALSE;
}

INT_PTR CALLBACK EnterBehringerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            if (!SelectionUsable()) {
                EndDialog(dialog, 2);
                return TRUE;
            }
            FillFilterLists(dialog);
            const FilterBlockTexts t = OpenFilterBlockDialog(SelectedParams(), &g_filter);
            SendDlgItemMessageA(dialog, IDC_FAMILY_LIST, LB_SETCURSEL, static_cast<WPARAM>(t.familySelection), 0);
            SendDlgItemMessageA(dialog, IDC_SLOPE_LIST, LB_SETCURSEL, static_cast<WPARAM>(t.slopeSelection), 0);
            SetText(dialog, IDC_FREQUENCY, t.frequency);
            SetText(dialog, IDC_FILTER_GAIN, t.gain);
            SetText(dialog, IDC_Q_OR_R, t.q);
            CheckDlgButton(dialog, IDC_BYPASS, t.bypass ? BST_CHECKED : BST_UNCHECKED);
            return TRUE;
        }
        case WM_COMMAND: {
            float* p = SelectedParams();
            switch (LOWORD(wParam)) {
                case IDC_FAMILY_LIST:
                    p[kParamFilterFamily] = static_cast<float>(static_cast<int>(SendDlgItemMessageA(dialog, IDC_FAMILY_LIST, LB_GETCURSEL, 0, 0)));
                    return TRUE;
                case IDC_SLOPE_LIST:
                    p[kParamFilterSlope] = static_cast<float>(static_cast<int>(SendDlgItemMessageA(dialog, IDC_SLOPE_LIST, LB_GETCURSEL, 0, 0)));
                    return TRUE;
                case IDC_BYPASS:
                    CheckDlgButton(dialog, IDC_BYPASS, ToggleBypass(p) ? BST_CHECKED : BST_UNCHECKED);
                    return TRUE;
                case IDC_FREQUENCY:
                case IDC_FILTER_GAIN:
                case IDC_Q_OR_R:
                    return TRUE;
                case IDOK:
                    Apply(dialog, FilterBlockDone(p, ItemText(dialog, IDC_FILTER_GAIN, kFilterGainChars),
                                                  ItemText(dialog, IDC_Q_OR_R, kFilterQChars),
                                                  ItemText(dialog, IDC_FREQUENCY, kFilterFrequencyChars)));
                    return TRUE;
                case IDCANCEL:
                    Apply(dialog, FilterBlockCancel(p, g_filter));
                    return TRUE;
                default: break;
            }
            break;
        }
        default: break;
    }
    return FALSE;
}
