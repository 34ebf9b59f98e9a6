#include "app/win32/window_registry.h"

#include "app/frame_commands.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/message_box.h"
#include "app/win32/settings_windows.h"

HWND EditorWindow = nullptr;
HWND TransferFunctionWindow = nullptr;
HWND PenColourWindow = nullptr;
HWND PreferencesWindow = nullptr;
HWND DiffractionWindow = nullptr;
HWND DiffractionCalculatorWindow = nullptr;
HWND SplPlotWindow = nullptr;
HWND SplitterWindows[kSplitterKinds] = {};
HWND MlsImpWindow = nullptr;
HWND MlsSplWindow = nullptr;
HWND MlsControlWindow = nullptr;
HWND IrSplChildWindow = nullptr;
HWND IrChildWindow = nullptr;
HWND PaneWindows[10] = {};
DialogCreators Dialogs;

namespace {

constexpr const char* kSettingFields = "Setting Internal Fields....";

HWND CreateMdiChild(HWND* handle, const char* className, const char* title, int slot) {
    const WindowPlacement& p = WindowPlacements[slot];
    MDICREATESTRUCTA mcs{};
    mcs.szClass = className;
    mcs.szTitle = title;
    mcs.hOwner = AppInstance;
    mcs.x = p.x;
    mcs.y = p.y;
    mcs.cx = p.cx;
    mcs.cy = p.cy;
    mcs.style = 0;
    mcs.lParam = 0;
    *handle = reinterpret_cast<HWND>(SendMessageA(MdiClientWindow, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
    return *handle;
}

}  // namespace

HWND OpenIrChild() { return CreateMdiChild(&IrChildWindow, "szChild_IR", "Impulse Response Window", 59); }
HWND OpenIrSplChild() { return CreateMdiChild(&IrSplChildWindow, "szChild_IR_SPL", "Impulse Response SPL Window", 58); }
HWND OpenSplPlotChild() { return CreateMdiChild(&SplPlotWindow, "SPL_Plotting", kSettingFields, 7); }
HWND OpenEditorChild() { return CreateMdiChild(&EditorWindow, "Editor_Child", kSettingFields, 0); }
HWND OpenDiffractionChild() { return CreateMdiChild(&DiffractionWindow, "Diffraction_Child", kSettingFields, 4); }
HWND OpenPenColourChild() {
    if (CreateMdiChild(&PenColourWindow, "PenColour_Child", kSettingFields, 2)) CreatePenColourControls();
    return PenColourWindow;
}
HWND OpenPreferencesChild() { return CreateMdiChild(&PreferencesWindow, "Preferences_Child", kSettingFields, 3); }
HWND OpenMlsImpChild() { return CreateMdiChild(&MlsImpWindow, "MLS_IMP_Child", kSettingFields, 33); }
HWND OpenMlsSplChild() { return CreateMdiChild(&MlsSplWindow, "MLS_SPL_Child", kSettingFields, 34); }

HWND OpenSplitter(SplitterKind kind) {
    const SplitterInfo& info = InfoOf(kind);
    return CreateMdiChild(&SplitterWindows[static_cast<int>(kind)], info.className, info.title, info.placementSlot);
}

void OpenSplitterOfConfiguration(uint32_t configuration) {
    SplitterKind kind;
    if (SplitterForConfiguration(configuration, &kind)) OpenSplitter(kind);
}

void OpenModelessDialog(HWND* handle, HWND (*creator)(HWND), int slot, int width, int height) {
    if (*handle || !creator) return;
    *handle = creator(FrameWindow);
    if (!*handle) return;
    MoveWindow(*handle, WindowPlacements[slot].x, WindowPlacements[slot].y, width, height, TRUE);
    ShowWindow(*handle, SW_SHOW);
}

void CloseChild(HWND* handle) {
    if (*handle && IsWindow(*handle)) SendMessageA(MdiClientWindow, WM_MDIDESTROY, reinterpret_cast<WPARAM>(*handle), 0);
    *handle = nullptr;  // the child clears it too, when it receives WM_DESTROY
}

void DestroyDialog(HWND* handle) {
    if (*handle) {
        HWND w = *handle;
        *handle = nullptr;
        DestroyWindow(w);
    }
}

int ShowDesignPanel(HWND /*owner*/) {
    OpenModelessDialog(&DesignPlayerPanelWindow, Dialogs.designPanel, 6, 232, 678);
    if (SplPlotWindow) {
        InvalidateRect(SplPlotWindow, nullptr, TRUE);
    } else {
        OpenSplPlotChild();
    }
    if (SplPlotWindow) BringWindowToTop(SplPlotWindow);
    return 0;
}

int CloseToolWindows() {
    CloseChild(&MlsImpWindow);
    CloseChild(&MlsSplWindow);
    DestroyDialog(&MlsControlWindow);
    CloseChild(&DiffractionWindow);
    DestroyDialog(&DiffractionCalculatorWindow);
    CloseChild(&EditorWindow);
    DestroyDialog(&TransferFunctionWindow);
    CloseChild(&IrChildWindow);
    CloseChild(&IrSplChildWindow);
    return 0;
}

int CloseSystemWindows() {
    DestroyDialog(&PlaylistEditorWindow);
    DestroyDialog(&PlayerPanelWindow);
    DestroyDialog(&WavPlayerPanelWindow);
    DestroyDialog(&DesignPlayerPanelWindow);
    CloseChild(&SplPlotWindow);
    for (HWND& s : SplitterWindows) CloseChild(&s);
    CloseChild(&IrChildWindow);
    CloseChild(&IrSplChildWindow);
    return 0;
}

int CloseAuxChildren() {
    CloseChild(&PreferencesWindow);
    CloseChild(&PenColourWindow);
    CloseChild(&IrChildWindow);
    CloseChild(&IrSplChildWindow);
    return 0;
}

int CopyWindowToClipboard(HWND window) {
    HDC dc = GetDC(window);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, UsableScreenWidth, UsableScreenHeight);
    bool copied = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(mem, bitmap);
        StretchBlt(mem, 0, 0, UsableScreenWidth, UsableScreenHeight, dc, 0, 0, UsableScreenWidth, UsableScreenHeight,
                   SRCCOPY);
        SelectObject(mem, old);
        if (OpenClipboard(window)) {
            EmptyClipboard();
            // The clipboard owns the bitmap only when it took it.
            copied = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
            CloseClipboard();
        }
        if (!copied) DeleteObject(bitmap);
    }
    DeleteDC(mem);
    ReleaseDC(window, dc);
    if (copied) {
        HvMessage m{kScreenCopied};
        m.icon = MessageIcon::Information;
        ShowHvMessage(window, m);
    } else {
        MessageBeep(static_cast<UINT>(-1));
    }
    return 0;
}
