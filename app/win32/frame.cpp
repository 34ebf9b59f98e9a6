#include <windows.h>

#include <string>

#include "app/autostart.h"
#include "app/command_ids.h"
#include "app/driver_baffle.h"
#include "app/driver_data.h"
#include "app/frame_commands.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/splitter_layout.h"
#include "app/startup.h"
#include "app/system_record.h"
#include "app/text_export.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/message_box.h"
#include "app/win32/settings_windows.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/window_registry.h"
#include "design/design_presets.h"
#include "tools/driver_repair.h"

namespace {

constexpr int kSplOnlyEqBox = 4910;
constexpr int kWideWindowBox = 20011;
constexpr int kShowNodesBox = 1050;
constexpr int kShowRasterBox = 1051;

HvMessage Question(const char* text, const char* caption = kHvCaption) {
    HvMessage m{text, caption};
    m.icon = MessageIcon::Question;
    m.buttons = MessageButtons::YesNo;
    return m;
}

// Confirmations beep first, then ask Yes/No.
bool Confirm(HWND window, const char* text, const char* caption = kHvCaption) {
    MessageBeep(MB_ICONEXCLAMATION);
    return ShowHvMessage(window, Question(text, caption)) == IDYES;
}

// Runs a modal step with the live keys quiet meanwhile.
template <typename Step>
auto WithModalDialog(Step step) {
    ModalDialogOpen = 1;
    auto result = step();
    ModalDialogOpen = 0;
    return result;
}

void SetFrameTitle(HWND window, const char* path) { SetWindowTextA(window, FrameTitleWithPath(path).c_str()); }

void SetMenuPath(int id, const char* path) { ModifyMenuA(FileMenu, id, MF_BYCOMMAND | MF_STRING, id, path); }

void CheckPanelBox(int id, bool checked) {
    if (DesignPlayerPanelWindow) CheckDlgButton(DesignPlayerPanelWindow, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void SetPanelBoxesFromSettings() {
    CheckPanelBox(kSplOnlyEqBox, pr_file->tail.SplOnlyEq == 1);
    CheckPanelBox(kWideWindowBox, WideWindow == 1);
}

void OpenDesignPanelAtSlot() { OpenModelessDialog(&DesignPlayerPanelWindow, Dialogs.designPanel, 6, 232, 678); }

void OpenHbtEditor() {
    if (EditorWindow) {
        InvalidateRect(EditorWindow, nullptr, TRUE);
    } else {
        OpenEditorChild();
    }
}

void OpenOrReloadTransferFunction() {
    if (TransferFunctionWindow) {
        SendMessageA(TransferFunctionWindow, WM_INITDIALOG, 0, 0);
    } else {
        OpenModelessDialog(&TransferFunctionWindow, Dialogs.transferFunction, 1, 600, 242);
    }
}

// ---- Files -------------------------------------------------------------------------------------------------

void OpenDriverFile(HWND window) {
    if (!Confirm(window, kLoadDriverQuestion, kLoadDriverCaption)) return;
    MessageList messages;
    const bool read = WithModalDialog([&] {
        if (!RunFilePicker(window, DriverFilePicker(false), DriverFilePath, DriverFileTitle)) return false;
        DriverBaffleState baffle = CollectDriverBaffle(*Baffle, *BaffleEdgePoints);
        if (!WithWaitCursor([&] { return ReadDriverFile(DriverFilePath, CurrentDriver, &baffle, &messages); }))
            return false;
        ApplyDriverBaffle(baffle, Baffle, BaffleEdgePoints);
        return true;
    });
    UpdateWindow(window);
    ShowHvMessages(window, messages);
    if (!read) return;
    CloseToolWindows();
    CloseAuxChildren();
    CloseSystemWindows();
    // The curves' holes are closed before the editor shows them; a refused efficiency is said, and the
    // editor opens all the same.
    MessageList repair;
    RepairDriverCurves(CurrentDriver, &repair);
    ShowHvMessages(EditorWindow ? EditorWindow : window, repair);
    OpenHbtEditor();
    OpenOrReloadTransferFunction();
    SetFrameTitle(window, DriverFilePath);
    CopySettingText(Preferences->LastDriverPath, kPathWidth, DriverFilePath);
    SetMenuPath(IDM_LAST_DRIVER, Preferences->LastDriverPath);
}

void SaveDriverFile(HWND window) {
    MessageList messages;
    const bool saved = WithModalDialog([&] {
        const std::string proposal = DefaultDriverFileName(DriverFilePath, HV_Buffer_Size, pr_file->tail.HV_Sampling);
        CopySettingText(DriverFileTitle, kPathWidth, proposal.c_str());
        CopySettingText(DriverFilePath, kPathWidth, proposal.c_str());
        if (!RunFilePicker(window, DriverFilePicker(true), DriverFilePath, DriverFileTitle)) return false;
        DriverStamps stamps;
        stamps.plot_low_index = FrequencyAxisRange.lowest;
        stamps.plot_high_index = FrequencyAxisRange.highest;
        stamps.mls_rate_index = MlsSettings.MlsRateIndex;
        stamps.hv_buffer_size = HV_Buffer_Size;
        stamps.mike_cal = reinterpret_cast<const CalPoint*>(MikeCalCurve);
        stamps.preamp_cal = reinterpret_cast<const CalPoint*>(PreampCalCurve);
        DriverBaffleState baffle = CollectDriverBaffle(*Baffle, *BaffleEdgePoints);
        if (!WithWaitCursor([&] { return WriteDriverFile(DriverFilePath, CurrentDriver, &baffle, stamps, &messages); }))
            return false;
        ApplyDriverBaffle(baffle, Baffle, BaffleEdgePoints);
        return true;
    });
    UpdateWindow(window);
    ShowHvMessages(window, messages);
    if (saved) SetFrameTitle(window, DriverFilePath);
}

void OpenSplitterAndPanelFor(uint32_t configuration) {
    OpenSplitterOfConfiguration(configuration);
    OpenDesignPanelAtSlot();
    SetPanelBoxesFromSettings();
}

void OpenProjectFile(HWND window) {
    if (!Confirm(window, kLoadProjectQuestion)) return;
    // The current design is replaced only by a project that was actually read: a cancelled picker or a
    // refused file leaves it as it was.
    MessageList messages;
    const bool read = WithModalDialog([&] {
        if (!RunFilePicker(window, ProjectFilePicker(false), ProjectFilePath, ProjectFileTitle)) return false;
        MirroredSettings settings = GatherMirroredSettings();
        if (!WithWaitCursor([&] { return ReadProjectFile(ProjectFilePath, GlobalProjectContext(&settings), &messages); }))
            return false;
        ScatterMirroredSettings(settings);
        return true;
    });
    UpdateWindow(window);
    ShowHvMessages(window, messages);
    if (!read) return;
    CloseAuxChildren();
    ResetWorkingNetwork(WorkingNet);
    ActivePane = 0;
    RebuildBinGrid(pr_file->tail.HV_Sampling, HV_Buffer_Size);
    CloseToolWindows();
    CloseSystemWindows();
    OpenSplitterAndPanelFor(pr_file->tail.SystemConfiguration);
    SetFrameTitle(window, ProjectFilePath);
    CopySettingText(Preferences->LastProjectPath, kPathWidth, ProjectFilePath);
    SetMenuPath(IDM_LAST_PROJECT, Preferences->LastProjectPath);
    if (Preferences->AUTOSTART == 1) SetTimer(window, kAutostartFirstChannelTimer, kAutostartStepMs, nullptr);
}

void SaveProjectFile(HWND window) {
    MessageList messages;
    const bool saved = WithModalDialog([&] {
        if (!RunFilePicker(window, ProjectFilePicker(true), ProjectFilePath, ProjectFileTitle)) return false;
        MirroredSettings settings = GatherMirroredSettings();
        return WithWaitCursor([&] { return WriteProjectFile(ProjectFilePath, GlobalProjectContext(&settings), &messages); }) == 1;
    });
    UpdateWindow(window);
    ShowHvMessages(window, messages);
    if (saved) SetFrameTitle(window, ProjectFilePath);
}

void ExportSplPhase(HWND window) {
    static char path[kPathWidth], title[kPathWidth];
    MessageList messages;
    WithModalDialog([&] {
        if (!RunFilePicker(window, SplExportPicker(), path, title)) return false;
        return WriteSplPhaseText(path, *CurrentDriver, BinFrequencyTable, &messages) == 1;
    });
    ShowHvMessages(window, messages);
}

// ---- Windows and modes -------------------------------------------------------------------------------------

void LeavePlayerModes(HWND window) {
    if (PlayerWindowOpen()) MoveWindow(window, 0, 0, ScreenWidth, WorkAreaBottom, TRUE);
    CloseToolWindows();
    CloseAuxChildren();
    CloseSystemWindows();
    OpenSplitterOfConfiguration(pr_file->tail.SystemConfiguration);
    ShowDesignPanel(window);
    SetPanelBoxesFromSettings();
    if (SplPlotWindow) {
        InvalidateRect(SplPlotWindow, nullptr, TRUE);
        BringWindowToTop(SplPlotWindow);
    }
}

void EnterPlayerMode() {
    CloseAuxChildren();
    CloseToolWindows();
    CloseSystemWindows();
    OpenModelessDialog(&PlayerPanelWindow, Dialogs.playerPanel, 14, 280, 445);
}

void EnterWavePlayerMode() {
    CloseAuxChildren();
    CloseToolWindows();
    CloseSystemWindows();
    OpenModelessDialog(&PlaylistEditorWindow, Dialogs.playlistEditor, 22, 960, 459);
    OpenModelessDialog(&WavPlayerPanelWindow, Dialogs.wavPlayerPanel, 21, 280, 460);
}

void OpenDiffractionModel() {
    CloseSystemWindows();
    CloseAuxChildren();
    CloseToolWindows();
    if (!DiffractionWindow) OpenDiffractionChild();
    OpenModelessDialog(&DiffractionCalculatorWindow, Dialogs.diffractionCalculator, 5, 615, 510);
}

void OpenFileEditor() {
    CloseSystemWindows();
    CloseAuxChildren();
    CloseToolWindows();
    if (!EditorWindow) OpenEditorChild();
    OpenModelessDialog(&TransferFunctionWindow, Dialogs.transferFunction, 1, 600, 242);
}

void OpenMeasurements() {
    CloseAuxChildren();
    CloseSystemWindows();
    CloseChild(&DiffractionWindow);
    DestroyDialog(&DiffractionCalculatorWindow);
    CloseChild(&EditorWindow);
    DestroyDialog(&TransferFunctionWindow);
    OpenModelessDialog(&MlsControlWindow, Dialogs.mlsControl, 35, 300, 770);
}

void OpenImpulseResponseWindows() {
    if (!IrChildWindow) OpenIrChild();
    if (!IrSplChildWindow) OpenIrSplChild();
}

// 502: the dialog runs modally beside its two plot windows, which close with it.
void OptimizeExportImpulseResponse(HWND window) {
    CloseAuxChildren();
    CloseToolWindows();
    OpenImpulseResponseWindows();
    if (Dialogs.exportImpulseResponse) WithModalDialog([&] { return Dialogs.exportImpulseResponse(window); });
    CloseChild(&IrChildWindow);
    CloseChild(&IrSplChildWindow);
}

// 401..404, 406: an import into the current driver is repaired and opens the HBT editor on it.
void ImportMeasurement(HWND window, int command) {
    if (!Dialogs.importMeasurement) return;
    const int result = WithModalDialog([&] { return Dialogs.importMeasurement(window, command); });
    if (result != 1 && result != 9011 && result != 9014 && result != 9015) {
        UpdateWindow(window);
        return;
    }
    CloseChild(&PreferencesWindow);
    CloseToolWindows();
    CloseSystemWindows();
    MessageList repair;
    RepairDriverCurves(CurrentDriver, &repair);
    ShowHvMessages(window, repair);
    if (!EditorWindow) OpenEditorChild();
    OpenModelessDialog(&TransferFunctionWindow, Dialogs.transferFunction, 1, 600, 242);
}

void RunDesignPreset(HWND window, const DesignPreset& preset) {
    CloseAuxChildren();
    CloseToolWindows();
    BuildDesignPreset(preset, WorkingNet, PaneRecords);
    // The switches the panes draw by change before the panes are painted again.
    if (preset.clears_show_flags) {
        ShowNodes = 0;
        ShowRaster = 0;
    }
    // A blank design has no curves: those of the design before it are not shown over it, nor their legends.
    if (PresetIsBlank(preset) && PlotCurveTable) ClearPlotCurves(PlotCurveTable, kPlotCurveSlots);
    SplitterKind own;
    const bool hasOwn = SplitterForConfiguration(static_cast<uint32_t>(preset.system_configuration), &own);
    for (int k = 0; k < kSplitterKinds; ++k)
        if (!hasOwn || k != static_cast<int>(own)) CloseChild(&SplitterWindows[k]);
    if (preset.closes_plot_window) CloseChild(&SplPlotWindow);
    if (hasOwn) {
        HWND& splitter = SplitterWindows[static_cast<int>(own)];
        if (splitter) {
            RedrawWindow(splitter, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        } else {
            OpenSplitter(own);
        }
    }
    ShowDesignPanel(window);
    EditTool = 1;
    ActivePane = 0;
    pr_file->tail.SystemConfiguration = static_cast<uint32_t>(preset.system_configuration);
    if (preset.bass_mode != kBassModeUnchanged) BassMode = static_cast<uint32_t>(preset.bass_mode);
    if (DesignPlayerPanelWindow && Dialogs.updateToolButtons) Dialogs.updateToolButtons(DesignPlayerPanelWindow);
    if (preset.clears_show_flags) {
        CheckPanelBox(kShowNodesBox, false);
        CheckPanelBox(kShowRasterBox, false);
    }
}

// ---- Exit, About, Help -------------------------------------------------------------------------------------

// Saves the preferences, then asks whether to leave. Returns true when the user said Yes; the release
// itself runs after the message loop has ended, once no window uses the buffers any more.
bool RunExitSequence(HWND window) {
    MessageList messages;
    SavePreferences(AppDirectory, &messages);
    ShowHvMessages(window, messages);
    if (!Confirm(window, kExitQuestion)) return false;
    PostQuitMessage(0);
    return true;
}

void ShowAbout(HWND window) {
    HvMessage m{kAboutText};
    m.caption = "About Halvane Equalizer";
    m.icon = MessageIcon::Information;
    ShowHvMessage(window, m);
}

void OpenHelp(HWND window) {
    CloseSystemWindows();
    std::string path = std::string(AppDirectory) + kHelpFileName;
    CopySettingText(AppFilePath, kPathWidth, path.c_str());
    auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(window, "open", AppFilePath, nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        HvMessage m{kHelpMissing};
        m.icon = MessageIcon::None;
        ShowHvMessage(FrameWindow, m);
    }
}

// ---- Autostart chain ---------------------------------------------------------------------------------------

void ReloadLastProject(HWND window) {
    MessageList messages;
    MirroredSettings settings = GatherMirroredSettings();
    const std::string path = Preferences->LastProjectPath;
    const int read = WithWaitCursor(
        [&] { return ReadProjectFile(path, GlobalProjectContext(&settings), &messages, kProfileNotRecognized); });
    ShowHvMessages(window, messages);
    if (!read) return;
    ScatterMirroredSettings(settings);
    RebuildBinGrid(pr_file->tail.HV_Sampling, HV_Buffer_Size);
    std::string name;
    if (ProfileNameFromPath(path, &name)) CopySettingText(LoadedProfileName, kPathWidth, name.c_str());
    CopySettingText(ProjectFilePath, kPathWidth, path.c_str());
    CloseToolWindows();
    CloseAuxChildren();
    CloseSystemWindows();
    if (Preferences->PlayerMode) {
        OpenModelessDialog(&PlayerPanelWindow, Dialogs.playerPanel, 14, 280, 445);
        if (PlayerPanelWindow) SetTimer(PlayerPanelWindow, kPlayerStartTimer, kPlayerStartDelayMs, nullptr);
        return;
    }
    const uint32_t configuration = pr_file->tail.SystemConfiguration;
    OpenSplitterOfConfiguration(configuration);
    OpenDesignPanelAtSlot();
    if (configuration <= 6) SetTimer(window, kAutostartFirstChannelTimer, kAutostartStepMs, nullptr);
}

void OnAutostartTimer(HWND window, int timer) {
    KillTimer(window, timer);
    if (timer == kAutostartReloadTimer) {
        ReloadLastProject(window);
        return;
    }
    if (timer == kAutostartPlayTimer) {
        if (DesignPlayerPanelWindow) SendMessageA(DesignPlayerPanelWindow, WM_COMMAND, kPlayCommand, 0);
        if (PlayerPanelWindow) SendMessageA(PlayerPanelWindow, WM_COMMAND, kPlayCommand, 0);
        // The title names the file that was actually loaded (a profile key may have loaded another one).
        SetFrameTitle(window, ProjectFilePath[0] ? ProjectFilePath : Preferences->LastProjectPath);
        return;
    }
    const int button = AutostartButton(timer);
    if (DesignPlayerPanelWindow) SendMessageA(DesignPlayerPanelWindow, WM_COMMAND, static_cast<WPARAM>(button), 0);
    const int next = NextAutostartTimer(timer, pr_file->tail.SystemConfiguration);
    if (next) SetTimer(window, next, kAutostartStepMs, nullptr);
}

// ---- Dispatch ----------------------------------------------------------------------------------------------

LRESULT OnCreate(HWND window) {
    CLIENTCREATESTRUCT ccs{};
    ccs.hWindowMenu = FileMenu;
    ccs.idFirstChild = IDM_FIRST_MDI_CHILD;
    MdiClientWindow = CreateWindowA("MDICLIENT", nullptr, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                    window, nullptr, AppInstance, &ccs);
    ShowWindow(MdiClientWindow, SW_SHOW);
    CreateSharedDrawingObjects();
    return 0;
}

// Returns true when the command ran to its end (the message then goes on to DefFrameProc).
bool OnCommand(HWND window, int id) {
    if (IsCommandRefused(id, EngineRunning.load() != 0, PlayerWindowOpen())) return false;
    if (const DesignPreset* preset = FindDesignPreset(id)) {
        RunDesignPreset(window, *preset);
        return true;
    }
    switch (id) {
        case IDM_OPEN_DRIVER: OpenDriverFile(window); break;
        case IDM_LAST_DRIVER:
            CopySettingText(DriverFilePath, kPathWidth, Preferences->LastDriverPath);
            OpenDriverFile(window);
            break;
        case IDM_SAVE_DRIVER: SaveDriverFile(window); break;
        case IDM_OPEN_PROJECT: OpenProjectFile(window); break;
        case IDM_LAST_PROJECT:
            CopySettingText(ProjectFilePath, kPathWidth, Preferences->LastProjectPath);
            OpenProjectFile(window);
            break;
        case IDM_SAVE_PROJECT: SaveProjectFile(window); break;
        case IDM_EXIT: RunExitSequence(window); break;
        case IDM_ABOUT: ShowAbout(window); break;
        case IDM_PREFERENCES:
            CloseSystemWindows();
            CloseToolWindows();
            if (!PreferencesWindow) OpenPreferencesChild();
            break;
        case IDM_PLAYER_MODE: EnterPlayerMode(); break;
        case IDM_CURRENT_SYSTEM: LeavePlayerModes(window); break;
        case IDM_WAVE_PLAYER_MODE: EnterWavePlayerMode(); break;
        case IDM_DIFFRACTION_MODEL: OpenDiffractionModel(); break;
        case IDM_FILE_EDITOR: OpenFileEditor(); break;
        case IDM_PEN_COLOURS:
            if (!PreferencesWindow && !PenColourWindow) {
                OpenPenColourChild();
                UpdateWindow(window);
            }
            break;
        case IDM_EXPORT_SPL_PHASE: ExportSplPhase(window); break;
        case IDM_EXPORT_IR: OptimizeExportImpulseResponse(window); break;
        case IDM_IMPORT_IMP:
        case IDM_IMPORT_LMS:
        case IDM_IMPORT_CLIO:
        case IDM_IMPORT_MLSSA:
        case IDM_IMPORT_LMS_ALT: ImportMeasurement(window, id); break;
        case IDM_POSITION_IR: OpenImpulseResponseWindows(); break;
        case IDM_MLS: OpenMeasurements(); break;
        case IDM_HELP: OpenHelp(window); break;
        case IDM_ASSIGN_PROFILES:
            WithModalDialog(
                [&] { return DialogBoxParamA(AppInstance, "ProjectFile", window, ProfileListDialogProc, 0); });
            UpdateWindow(window);
            break;
        default: break;
    }
    return true;
}

}  // namespace

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            break;
        case WM_CLOSE:
            if (EngineRunning.load() != 0) return 1;
            RunExitSequence(window);
            return 0;
        case WM_DESTROY:
            // Everything is released after the message loop, whichever way the frame went.
            PostQuitMessage(0);
            return 0;
        case WM_TIMER:
            if (wParam >= IDT_AUTOSTART_FIRST && wParam <= IDT_AUTOSTART_LAST) {
                OnAutostartTimer(window, static_cast<int>(wParam));
                return 0;
            }
            return 1;
        case WM_COMMAND:
            if (!OnCommand(window, LOWORD(wParam))) return 1;
            break;
        default:
            break;
    }
    return DefFrameProcA(window, MdiClientWindow, message, wParam, lParam);
}
