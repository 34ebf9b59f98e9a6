#include "app/win32/child_windows.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdio>
#include <string>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/readouts.h"
#include "app/settings.h"
#include "app/splitter_layout.h"
#include "app/win32/app_windows.h"
#include "app/win32/settings_windows.h"
#include "app/win32/window_registry.h"

ClientSize SplPlotClientSize, IrViewClientSize, IrSplViewClientSize, HbtViewClientSize, DiffractionViewClientSize,
    MlsImpulseClientSize, MlsSplPageSize;
ChildPainters Painters;
int32_t IrCursorBin = 0;
int32_t IrTimeScale = 1000;
float* IrDrBuffer = nullptr;
int32_t IrOptRow = 0;
int32_t MlsImpulseScroll = 0;
int32_t MlsImpulseCursor = 50;
int32_t MlsSplPageIndex = 0;
HWND MlsSplTabControl = nullptr;
HWND MlsSplPageDialog = nullptr;

namespace {

constexpr int kMlsScrollMax = 50000;

FrameMetrics Metrics() {
    return FrameMetrics{GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME), GetSystemMetrics(SM_CYCAPTION)};
}

void StoreClientSize(ClientSize* size, LPARAM lParam) {
    size->width = LOWORD(lParam);
    size->height = HIWORD(lParam);
}

// Every paint redraws the whole window.
void PaintWhole(HWND window, void (*paint)(HDC)) {
    InvalidateRect(window, nullptr, TRUE);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    paint(dc);
    EndPaint(window, &ps);
}

void SetSplBaseTitle(HWND window) { SetWindowTextA(window, kSplPlotTitle); }

void UpdateSplReadout(HWND window, int x, int y) {
    if (EngineRunning.load() != 0 || !PlotCurveTable) return;
    const float* spl[16];
    const float* phase[16];
    for (int o = 0; o < 16; ++o) {
        spl[o] = PlotCurveTable[o].Values;
        phase[o] = PlotCurveTable[64 + o].Values;
    }
    SplReadoutInputs in{SplPlotClientSize.width, SplPlotClientSize.height, BlockFrames, OutputMode,
                        BinFrequencyTable,       PlotFrequencyTable,       spl,         phase};
    SetWindowTextA(window, SplReadoutTitle(in, x, y).c_str());
}

void ShowIrReadout(HWND window, bool fromKey, int x) {
    char title[256];
    const double window_value = IrWindow ? IrWindow[IrCursorBin] : 0.0;
    if (fromKey) {
        const double dr = IrDrBuffer ? IrDrBuffer[IrCursorBin] : 0.0;
        std::snprintf(title, sizeof title, "%s, Window = %f, Bin = %d, DR = %f", kIrWindowTitle, window_value,
                      IrCursorBin, dr);
    } else {
        std::snprintf(title, sizeof title, "%s, Window = %f, Bin = %d, X = %d", kIrWindowTitle, window_value,
                      IrCursorBin, x - 60);
    }
    SetWindowTextA(window, title);
}

void SetMlsImpTitle(HWND window) {
    char title[256];
    const double ref = MlsImpulseRef ? MlsImpulseRef[MlsImpulseCursor] : 0.0;
    const double in = MlsImpulseIn ? MlsImpulseIn[MlsImpulseCursor] : 0.0;
    std::snprintf(title, sizeof title, "%s  Ref=%.2f, In=%.2f, Bin=%d, Scroll [%d - %d]", "MLS Impulse Response", ref, in,
                  MlsImpulseCursor, MlsImpulseScroll, MlsImpulseScroll + 2000);
    SetWindowTextA(window, title);
}

void SetMlsSplTitle(HWND window) {
    char title[2200];
    std::snprintf(title, sizeof title, "%s  %s", "MLS Frequency Domain", Preferences ? Preferences->MikeCalFilePath : "");
    SetWindowTextA(window, title);
}

// Returns 0 from everything it handles, with the background reported erased: the settings windows.
LRESULT EraseWithFace(HWND window, HDC dc) {
    RECT rc;
    GetClientRect(window, &rc);
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
    FillRect(dc, &rc, face);
    DeleteObject(face);
    return 1;
}

// The settings windows' handlers draw as they go, on a device context of the window.
void ForwardToSettings(HWND window, int (*handler)(HDC, WPARAM, LPARAM), WPARAM wParam, LPARAM lParam) {
    HDC dc = GetDC(window);
    handler(dc, wParam, lParam);
    ReleaseDC(window, dc);
}

bool IsPreferencesControl(int id) {
    return (id >= 10001 && id <= 10004) || (id >= 10008 && id <= 10030) || (id >= 10033 && id <= 10045) ||
           (id >= 10048 && id <= 10052) || (id >= 10054 && id <= 10066) || id == 10120 ||
           (id >= 10152 && id <= 10155) || (id >= 10158 && id <= 10161);
}

}  // namespace

void TrackChildMove(HWND, int slot, LPARAM lParam) {
    TrackMove(&WindowPlacements[slot], GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), Metrics(), UsableScreenWidth,
              UsableScreenHeight);
}

void TrackChildSize(HWND window, int slot, int extraHeight) {
    RECT rc;
    GetClientRect(window, &rc);
    TrackSize(&WindowPlacements[slot], rc.right, rc.bottom, Metrics(), UsableScreenWidth, UsableScreenHeight,
              extraHeight);
}

namespace {

// What every view host does alike: placement tracking and its title on move and size, the client-size
// record, a full repaint through its painter, and its registry entry cleared when it goes.
struct HostWindow {
    int slot;
    ClientSize* size;   // null: no client-size record
    HWND* handle;
    void (*setTitle)(HWND);
    void (*paint)(HDC);
    int extraHeight;
};

// Returns true when the message is finished (the caller returns 0); false lets it go on to the default.
bool HandleHostMessage(const HostWindow& host, HWND window, UINT message, LPARAM lParam) {
    switch (message) {
        case WM_MOVE:
            TrackChildMove(window, host.slot, lParam);
            host.setTitle(window);
            return false;
        case WM_SIZE:
            if (host.size) StoreClientSize(host.size, lParam);
            TrackChildSize(window, host.slot, host.extraHeight);
            host.setTitle(window);
            return false;
        case WM_PAINT:
            PaintWhole(window, host.paint);
            return true;
        case WM_DESTROY:
            *host.handle = nullptr;
            return false;
        default:
            return false;
    }
}

const HostWindow kSplPlotHost{7, &SplPlotClientSize, &SplPlotWindow, SetSplBaseTitle, [](HDC dc) {
                                  if (Painters.splPlot) Painters.splPlot(dc);
                              }, 0};
const HostWindow kIrHost{59, &IrViewClientSize, &IrChildWindow, [](HWND w) { SetWindowTextA(w, kIrWindowTitle); },
                         [](HDC dc) {
                             if (Painters.irView) Painters.irView(dc, 0);
                         }, 0};
const HostWindow kIrSplHost{58, &IrSplViewClientSize, &IrSplChildWindow,
                            [](HWND w) { SetWindowTextA(w, "Impulse Response SPL Window"); },
                            [](HDC dc) {
                                if (Painters.irSplFrame) Painters.irSplFrame(dc);
                                if (Painters.irSplCurves) Painters.irSplCurves(dc, IrOptRow, 0);
                            }, 0};
const HostWindow kEditorHost{0, &HbtViewClientSize, &EditorWindow, [](HWND w) { SetWindowTextA(w, "HBT Editor Window"); },
                             [](HDC dc) {
                                 if (Painters.hbt) Painters.hbt(dc, 1);
                             }, 0};
const HostWindow kDiffractionHost{4, &DiffractionViewClientSize, &DiffractionWindow,
                                  [](HWND w) { SetWindowTextA(w, "Enclosure Diffraction Modeling"); },
                                  [](HDC dc) {
                                      if (Painters.diffraction) Painters.diffraction(dc);
                                  }, 0};

}  // namespace

LRESULT CALLBACK SplPlottingWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleHostMessage(kSplPlotHost, window, message, lParam)) return 0;
    if (message == WM_MOUSEMOVE) {
        UpdateSplReadout(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK IrChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleHostMessage(kIrHost, window, message, lParam)) return 0;
    switch (message) {
        case WM_MOUSEMOVE: {
            const int x = GET_X_LPARAM(lParam);
            const int bin = IrMouseBin(x, IrViewClientSize.width, IrTimeScale);
            if (bin < 0) return 0;
            IrCursorBin = bin;
            if (IrCursorBin < 16 * BlockFrames + 30) ShowIrReadout(window, false, x);
            return 0;
        }
        case WM_KEYDOWN:
            if (wParam == VK_LEFT || wParam == VK_RIGHT) {
                IrCursorBin = IrKeyBin(IrCursorBin, wParam == VK_LEFT ? -1 : 1, 16 * BlockFrames + 30);
                ShowIrReadout(window, true, 0);
                return 0;
            }
            break;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK IrSplChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleHostMessage(kIrSplHost, window, message, lParam)) return 0;
    return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK EditorChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleHostMessage(kEditorHost, window, message, lParam)) return 0;
    return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK DiffractionChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleHostMessage(kDiffractionHost, window, message, lParam)) return 0;
    switch (message) {
        case WM_LBUTTONDOWN:
            if (!PreferencesWindow && !PenColourWindow) {
                OpenPenColourChild();
                UpdateWindow(FrameWindow);
            }
            return 0;
        case WM_RBUTTONDOWN:
            InvalidateRect(window, nullptr, TRUE);
            return 0;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

// The two settings windows handle their messages themselves and return 0 without the default processing.
LRESULT CALLBACK PenColourChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOVE:
            TrackChildMove(window, 2, lParam);
            SetWindowTextA(window, "Pen Colours");
            return 0;
        case WM_SIZE:
            TrackChildSize(window, 2, 0);
            SetWindowTextA(window, "Pen Colours");
            DefMDIChildProcA(window, message, wParam, lParam);  // keeps the MDI maximise state right
            return 0;
        case WM_ERASEBKGND:
            return EraseWithFace(window, reinterpret_cast<HDC>(wParam));
        case WM_PAINT:
            PaintWhole(window, [](HDC dc) {
                if (Painters.penColours) Painters.penColours(dc);
            });
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if ((id >= 10008 && id <= 10022) || (id >= 10036 && id <= 10041))
                ForwardToSettings(window, OnPenColourCommand, wParam, lParam);
            return 0;
        }
        case WM_HSCROLL:
            ForwardToSettings(window, OnPenColourCommand, wParam, lParam);
            return 0;
        case WM_RBUTTONDOWN:
            CopyWindowToClipboard(FrameWindow);
            return 0;
        case WM_DESTROY:
            PenColourWindow = nullptr;
            ForgetPenColourControls();
            return 0;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK PreferencesChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOVE:
            TrackChildMove(window, 3, lParam);
            SetWindowTextA(window, "System-Wide Preferences");
            return 0;
        case WM_SIZE:
            TrackChildSize(window, 3, 0);
            SetWindowTextA(window, "System-Wide Preferences");
            DefMDIChildProcA(window, message, wParam, lParam);
            return 0;
        case WM_ERASEBKGND:
            return EraseWithFace(window, reinterpret_cast<HDC>(wParam));
        case WM_PAINT:
            PaintWhole(window, [](HDC dc) {
                if (Painters.preferences) Painters.preferences(dc);
            });
            return 0;
        case WM_CREATE:
            CreatePreferencesControls(window);
            return 0;
        case WM_COMMAND:
            if (IsPreferencesControl(LOWORD(wParam))) ForwardToSettings(window, OnPreferencesCommand, wParam, lParam);
            return 0;
        case WM_HSCROLL:
            ForwardToSettings(window, OnPreferencesCommand, wParam, lParam);
            return 0;
        case WM_RBUTTONDOWN:
            CopyWindowToClipboard(FrameWindow);
            return 0;
        case WM_DESTROY:
            PreferencesWindow = nullptr;
            ForgetPreferencesControls();
            return 0;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

namespace {

// The page dialog at (3, 27), the size its painter draws (MlsSplPageSize), so it stays inside the tab control.
void PlaceMlsSplPage() {
    if (!MlsSplPageDialog) return;
    MoveWindow(MlsSplPageDialog, 3, 27, MlsSplPageSize.width, MlsSplPageSize.height, TRUE);
    ShowWindow(MlsSplPageDialog, SW_SHOW);
}

// The page of MlsSplPageIndex made anew in place of the one shown.
void ShowMlsSplPage() {
    if (MlsSplPageDialog) DestroyWindow(MlsSplPageDialog);
    MlsSplPageDialog = nullptr;
    if (!Painters.mlsSplPage || !MlsSplTabControl) return;
    MlsSplPageDialog = Painters.mlsSplPage(MlsSplTabControl, MlsSplPageIndex);
    PlaceMlsSplPage();
}

}  // namespace

LRESULT CALLBACK MlsSplChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            RECT rc;
            GetClientRect(window, &rc);
            MlsSplTabControl = CreateWindowA(WC_TABCONTROLA, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, rc.right,
                                             rc.bottom, window, nullptr, AppInstance, nullptr);
            const char* items[4] = {"SPL + Phase", "Mike + Preamp", "Post Processing", "Overlaped Curves"};
            for (int i = 0; i < 4; ++i) {
                TCITEMA item{};
                item.mask = TCIF_TEXT;
                item.pszText = const_cast<char*>(items[i]);
                SendMessageA(MlsSplTabControl, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
            }
            MlsSplPageIndex = 0;
            ShowMlsSplPage();
            break;
        }
        case WM_NOTIFY: {
            auto* hdr = reinterpret_cast<NMHDR*>(lParam);
            if (hdr->code == TCN_SELCHANGE) {
                MlsSplPageIndex = hdr->hwndFrom == MlsSplTabControl
                                      ? static_cast<int32_t>(SendMessageA(MlsSplTabControl, TCM_GETCURSEL, 0, 0))
                                      : LOWORD(wParam);
                ShowMlsSplPage();
            }
            break;
        }
        case WM_MOVE:
            TrackChildMove(window, 34, lParam);
            SetMlsSplTitle(window);
            break;
        case WM_SIZE: {
            MlsSplPageSize.width = LOWORD(lParam) - 5;
            MlsSplPageSize.height = HIWORD(lParam) - 33;
            TrackChildSize(window, 34, 0);
            SetMlsSplTitle(window);
            const WindowPlacement& p = WindowPlacements[34];
            if (MlsSplTabControl)
                MoveWindow(MlsSplTabControl, 0, 0, p.cx - 2 * GetSystemMetrics(SM_CXFRAME),
                           p.cy - 2 * GetSystemMetrics(SM_CYFRAME) - GetSystemMetrics(SM_CYCAPTION), TRUE);
            PlaceMlsSplPage();
            break;
        }
        case WM_DESTROY:
            MlsSplWindow = nullptr;
            MlsSplTabControl = nullptr;
            MlsSplPageDialog = nullptr;
            break;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK MlsImpChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // It carries a horizontal scroll bar, which its placement counts too.
    const HostWindow host{33, &MlsImpulseClientSize, &MlsImpWindow, SetMlsImpTitle, [](HDC dc) {
                              if (Painters.mlsImpulse) Painters.mlsImpulse(dc);
                          }, GetSystemMetrics(SM_CYHSCROLL)};
    if (HandleHostMessage(host, window, message, lParam)) return 0;
    switch (message) {
        case WM_CREATE:
            SetScrollRange(window, SB_HORZ, 0, kMlsScrollMax, FALSE);
            SetScrollPos(window, SB_HORZ, MlsImpulseScroll, TRUE);
            break;
        case WM_HSCROLL: {
            int pos = MlsImpulseScroll;
            switch (LOWORD(wParam)) {
                case SB_LINELEFT: pos -= 50; break;
                case SB_LINERIGHT: pos += 50; break;
                case SB_PAGELEFT: pos -= 2000; break;
                case SB_PAGERIGHT: pos += 2000; break;
                case SB_THUMBPOSITION:
                case SB_THUMBTRACK: pos = HIWORD(wParam); break;
                default: break;
            }
            if (pos < 0) pos = 0;
            if (pos > kMlsScrollMax) pos = kMlsScrollMax;
            if (pos != GetScrollPos(window, SB_HORZ)) {
                MlsImpulseScroll = pos;
                if (Painters.mlsImpulseScrolled) Painters.mlsImpulseScrolled();
                SetScrollPos(window, SB_HORZ, pos, TRUE);
                SetMlsImpTitle(window);
                InvalidateRect(window, nullptr, TRUE);
            }
            return 0;
        }
        case WM_MOUSEMOVE:
            if (MlsSettings.UseSavedBuffer == 1 && EngineRunning.load() == 1) SetCursor(LoadCursor(nullptr, IDC_WAIT));
            return 0;
        case WM_LBUTTONDOWN:
            if (Painters.mlsImpulseClick) Painters.mlsImpulseClick(window, lParam);
            return 0;
        case WM_KEYDOWN:
            if (Painters.mlsImpulseKey) Painters.mlsImpulseKey(window, wParam);
            break;
        case WM_LBUTTONUP:
            return 0;
        case WM_RBUTTONDOWN:
            CopyWindowToClipboard(FrameWindow);
            break;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}
