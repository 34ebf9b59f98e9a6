// The channel pane windows: one procedure for the nine classes, parameterised by the pane number. It turns
// mouse messages into pane editor calls, draws the previews straight into the window and carries out what
// the editor asks for (message boxes, element dialogs, repaints).
#include <windows.h>

#include "app/global_records.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/message_box.h"
#include "app/win32/window_registry.h"
#include "app/settings.h"
#include "design/pane_editor.h"
#include "design/win32/design_windows.h"

void (*RunRoomEqDialog)(HWND owner) = nullptr;

namespace {

// The previews of a gesture, drawn into one device context of the pane that lives for one message.
class WindowPreviewPainter : public PanePreviewPainter {
public:
    explicit WindowPreviewPainter(HWND window) : window_(window) {}
    ~WindowPreviewPainter() override {
        if (dc_) ReleaseDC(window_, dc_);
    }
    void BeginNotXor() override { SetROP2(Dc(), R2_NOTXORPEN); }
    void BeginNot() override { SetROP2(Dc(), R2_NOT); }
    void OutlineSymbol(int kind, int x, int y) override { DrawXorElementSymbol(kind, Dc(), x, y); }
    void RubberBand(int x0, int y0, int x1, int y1) override {
        MoveToEx(Dc(), x0, y0, nullptr);
        LineTo(Dc(), x1, y0);
        LineTo(Dc(), x1, y1);
    }
    void DragPreview(bool currentPen) override {
        if (currentPen) {
            DrawDragPreviewCurrentPen(Dc());
        } else {
            DrawDragPreview(Dc());
        }
    }
    void SelectionSymbol(int kind, int x, int y) override {
        HGDIOBJ pen = SelectObject(Dc(), Gdi.GreenPen2);  // SelectionPen
        DrawElementSymbol(kind, Dc(), x, y);
        SelectObject(Dc(), pen);
    }

private:
    HDC Dc() {
        if (!dc_) dc_ = GetDC(window_);
        return dc_;
    }
    HWND window_;
    HDC dc_ = nullptr;
};

void RepaintAllPanes() {
    for (int n = 1; n <= kPaneCount; ++n)
        if (PaneWindows[n]) InvalidateRect(PaneWindows[n], nullptr, TRUE);
}

void Carry(HWND window, const PaneContext& ctx, PaneAction& action) {
    ShowHvMessages(window, action.messages);
    if (action.updateToolButtons && DesignPlayerPanelWindow) UpdateToolButtons(DesignPlayerPanelWindow);
    if (action.redrawPalette && DesignPlayerPanelWindow) {
        HDC dc = GetDC(DesignPlayerPanelWindow);
        DrawToolPalette(dc);
        ReleaseDC(DesignPlayerPanelWindow, dc);
    }
    if (action.dialogKind != 0) {
        RunElementDialog(action.dialogKind, window);
        FinishElementDialog(ctx);
    }
    if (action.repaint) InvalidateRect(window, nullptr, TRUE);
    if (action.repaintAllPanes) RepaintAllPanes();
}

LRESULT PaneWndProc(int pane, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (EngineRunning.load() != 0) return DefWindowProcA(window, message, wParam, lParam);
    const int x = LOWORD(lParam), y = HIWORD(lParam);
    const PaneContext ctx{pane, PaneRecords[pane - 1], WorkingNet};
    const bool ready = ctx.record && ctx.net;
    switch (message) {
        case WM_PAINT: {
            InvalidateRect(window, nullptr, TRUE);
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            PaintPane(pane, window, dc);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            if (PaneWindows[pane] == window) PaneWindows[pane] = nullptr;
            break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN: {
            if (!ready) break;
            PaneAction action;
            {
                WindowPreviewPainter painter(window);
                switch (message) {
                    case WM_MOUSEMOVE: action = PaneMouseMove(ctx, x, y, painter); break;
                    case WM_LBUTTONDOWN: action = PaneLeftDown(ctx, x, y, painter); break;
                    case WM_LBUTTONUP: action = PaneLeftUp(ctx, x, y, painter); break;
                    case WM_LBUTTONDBLCLK: action = PaneDoubleClick(ctx, x, y, painter); break;
                    default: action = PaneRightDown(ctx, x, y, painter); break;
                }
            }
            Carry(window, ctx, action);
            break;
        }
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The system plot paints through the shell's plot window, and the frame sets the panel's tool buttons
// through the registry after a design change.
const bool kDesignHooksRegistered = [] {
    Painters.splPlot = [](HDC dc) { PaintSplPlot(dc); };
    if (!Dialogs.updateToolButtons) Dialogs.updateToolButtons = UpdateToolButtons;
    return true;
}();

}  // namespace

INT_PTR RunElementDialog(int kind, HWND owner) {
    HINSTANCE instance = AppInstance ? AppInstance : GetModuleHandleA(nullptr);
    switch (kind) {
        case InputTerminal: return DialogBoxParamA(instance, "EnterInputPort", owner, EnterInputPortDialogProc, 0);
        case OutputPort: return DialogBoxParamA(instance, "EnterOutputPort", owner, EnterOutputPortDialogProc, 0);
        case FilterBlock: return DialogBoxParamA(instance, "EnterBehringer", owner, EnterBehringerDialogProc, 0);
        case RoomEqBlock:
            if (RunRoomEqDialog) RunRoomEqDialog(owner);
            return 0;
        default: return 0;
    }
}

LRESULT CALLBACK Pane1WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PaneWndProc(1, w, m, wp, lp); }
LRESULT CALLBACK Pane2WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PaneWndProc(2, w, m, wp, lp); }
LRESULT CALLBACK Pane3WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PaneWndProc(3, w, m, wp, lp); }
LRESULT CALLBACK Pane4WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PaneWndProc(4, w, m, wp, lp); }
LRESULT CALLBACK Pane5WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PaneWndProc(5, w, m, wp, lp); }
LRESULT CALLBACK Pane6WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PaneWndProc(6, w, m, wp, lp); }
LRESULT CALLBACK Pane7WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PaneWndProc(7, w, m, wp, lp); }
LRESULT CALLBACK Pane8WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PaneWndProc(8, w, m, wp, lp); }
LRESULT CALLBACK Pane9WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return PaneWndProc(9, w, m, wp, lp); }
