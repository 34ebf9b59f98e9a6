// The MLS control dialog "TAB_MLS_Control": its tab control, the page made anew at every tab change, the two
// measurement windows it opens, and the run's thread pair.
#include <windows.h>
#include <commctrl.h>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/window_registry.h"
#include "engine/win32/program_engine.h"
#include "measure/mls_state.h"
#include "measure/resource_ids.h"
#include "measure/win32/measurement_thread_view.h"
#include "measure/win32/mls_windows.h"
#include "platform/win32/win32_threads.h"

HWND MlsTabControl = nullptr;
HWND MlsControlPage = nullptr;

namespace {

bool g_holds_capture_buffers = false;

AudioStreamFactory* g_run_streams = nullptr;

void OpenMeasurementWindows() {
    if (!MlsSplWindow) OpenMlsSplChild();
    if (!MlsImpWindow) OpenMlsImpChild();
}

// The page of the selection, in the tab control's display area.
void ShowControlPage(int selection) {
    if (MlsControlPage) DestroyWindow(MlsControlPage);
    MlsControlPage = CreateDialogParamA(AppInstance, selection == 0 ? "TAB_MLS_Acquire" : "TAB_MLS_Process",
                                        MlsTabControl, selection == 0 ? MlsAcquireDialogProc : MlsProcessDialogProc, 0);
    if (!MlsControlPage) return;
    RECT area;
    GetClientRect(MlsTabControl, &area);
    SendMessageA(MlsTabControl, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    SetWindowPos(MlsControlPage, HWND_TOP, area.left, area.top, 0, 0, SWP_NOSIZE);
    ShowWindow(MlsControlPage, SW_SHOW);
}

void OnInitDialog(HWND dialog) {
    // The capture buffers are shared with the room equalizer: the dialog is one of their users while it is open.
    g_holds_capture_buffers = AcquireMlsCaptureBuffers() == 0;
    MlsTabControl = CreateWindowA(WC_TABCONTROLA, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 1, 1, 290, 741, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MLS_TAB)), AppInstance, nullptr);
    SendMessageA(MlsTabControl, WM_SETFONT, reinterpret_cast<WPARAM>(Gdi.SmallFont), TRUE);
    const char* items[2] = {"MLS", "Processing"};
    for (int i = 0; i < 2; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(items[i]);
        SendMessageA(MlsTabControl, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    ShowControlPage(0);
    OpenMeasurementWindows();
}

void OnTabChange() {
    const int selection = static_cast<int>(SendMessageA(MlsTabControl, TCM_GETCURSEL, 0, 0));
    ShowControlPage(selection == 1 ? 1 : 0);
    if (selection == 1) {
        OpenMeasurementWindows();
        SelectMlsSplPage(2);
    } else {
        SelectMlsSplPage(0);
    }
}

// The capture buffers live as long as the dialog: a page change keeps the last capture for Save IR. The dialog
// lets them go only when no thread of a run can still be writing them, and they are freed only when the room
// equalizer does not hold them too.
void OnDestroy() {
    MlsControlWindow = nullptr;
    if (MlsControlPage) DestroyWindow(MlsControlPage);
    MlsControlPage = nullptr;
    MlsTabControl = nullptr;
    if (IrPresent == 1) CurrentDriver->block_2148308[kImpedanceFlagWord] = 0;
    if (StopMeasurementThreads(MlsRun(), PumpSentMessages) && g_holds_capture_buffers) ReleaseMlsCaptureBuffers();
    g_holds_capture_buffers = false;
}

}  // namespace

MeasurementRun& MlsRun() {
    static MeasurementRun run;
    run.Streams = g_run_streams ? g_run_streams : &ProgramEngineStreams();
    return run;
}

void UseMlsRunStreams(AudioStreamFactory* streams) { g_run_streams = streams; }

INT_PTR CALLBACK MlsControlDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInitDialog(dialog); break;
        case WM_NOTIFY: {
            const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
            if (hdr->code == TCN_SELCHANGE && hdr->hwndFrom == MlsTabControl) OnTabChange();
            break;
        }
        case WM_MOVE: {
            int x = static_cast<short>(LOWORD(lParam)) - GetSystemMetrics(SM_CXEDGE) - 1;
            int y = static_cast<short>(HIWORD(lParam)) - GetSystemMetrics(SM_CYCAPTION) - GetSystemMetrics(SM_CYEDGE) - 1;
            if (x > UsableScreenWidth) x = 0;
            if (y > UsableScreenHeight) y = 0;
            WindowPlacements[35].x = x;
            WindowPlacements[35].y = y;
            break;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                DestroyWindow(dialog);
                MlsControlWindow = nullptr;
                return TRUE;  // the dialog is gone: nothing more to do for it
            }
            break;
        case WM_DESTROY: OnDestroy(); break;
        default: break;
    }
    return 0;
}

HWND CreateMlsControlDialog(HWND owner) {
    return CreateDialogParamA(AppInstance, "TAB_MLS_Control", owner, MlsControlDialogProc, 0);
}

void InstallMeasurementWindows() {
    Dialogs.mlsControl = CreateMlsControlDialog;
    Painters.mlsImpulse = [](HDC dc) { PaintImpulseWindow(dc); };
    Painters.mlsImpulseClick = [](HWND window, LPARAM position) { TrackIrCursorMouse(window, position); };
    Painters.mlsImpulseKey = [](HWND window, WPARAM key) { TrackIrCursorKey(window, key); };
    Painters.mlsImpulseScrolled = RefreshImpulseCurves;
    Painters.mlsSplPage = CreateMlsSplPage;
}
