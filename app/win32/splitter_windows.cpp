// The six splitter windows: MDI children that lay out the channel panes of one configuration in a grid
// with split bars the user drags.
#include <windows.h>
#include <windowsx.h>

#include "app/settings.h"
#include "app/splitter_layout.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/window_registry.h"

namespace {

struct SplitterState {
    SplitterBars bars;
    BarHits dragging;
    HCURSOR sizeWE = nullptr, sizeNS = nullptr, arrow = nullptr;
};
SplitterState g_state[kSplitterKinds];

HCURSOR CursorOf(const SplitterState& s, SplitterCursor c) {
    switch (c) {
        case SplitterCursor::SizeWE: return s.sizeWE;
        case SplitterCursor::SizeNS: return s.sizeNS;
        case SplitterCursor::Arrow: break;
    }
    return s.arrow;
}

RECT ClientOf(HWND window) {
    RECT rc;
    GetClientRect(window, &rc);
    return rc;
}

// The inverting outline of each dragged bar: drawn once to show it, once more to remove it.
void DrawBarOutlines(HWND window, SplitterKind kind, const SplitterState& s) {
    const RECT rc = ClientOf(window);
    const SplitterInfo& info = InfoOf(kind);
    HDC dc = GetDC(window);
    auto vertical = [&](int32_t x) {
        RECT r{x - 2, 0, x + 2, rc.bottom};
        DrawFocusRect(dc, &r);
    };
    auto horizontal = [&](int32_t y) {
        RECT r{1, y - 2, rc.right, y + 2};
        DrawFocusRect(dc, &r);
    };
    if (s.dragging.X1) vertical(s.bars.X1);
    if (info.verticalBars == 2 && s.dragging.X2) vertical(s.bars.X2);
    if (info.horizontalBars >= 1 && s.dragging.Y1) horizontal(s.bars.Y1);
    if (info.horizontalBars == 2 && s.dragging.Y2) horizontal(s.bars.Y2);
    ReleaseDC(window, dc);
}

void LayOut(HWND window, SplitterKind kind, WPARAM sizeType) {
    const RECT rc = ClientOf(window);
    SplitterBars& bars = g_state[static_cast<int>(kind)].bars;
    // The bars stand where they are drawn, so the pointer grabs them there; the bar slot keeps what was
    // dragged. A minimised window has no client area to clamp against.
    if (sizeType != SIZE_MINIMIZED) bars = ClampBars(kind, bars, rc.right, rc.bottom);
    for (const PaneCell& cell : LayoutPanes(kind, bars, rc.right, rc.bottom)) {
        if (PaneWindows[cell.pane]) MoveWindow(PaneWindows[cell.pane], cell.x, cell.y, cell.width, cell.height, FALSE);
    }
    InvalidateRect(window, nullptr, TRUE);
}

void OnCreate(HWND window, SplitterKind kind, const CREATESTRUCTA* cs) {
    const SplitterInfo& info = InfoOf(kind);
    SplitterState& s = g_state[static_cast<int>(kind)];
    s.bars = BarsFromSlot(WindowPlacements[info.barSlot]);
    s.dragging = BarHits{};
    for (int i = 0; i < 9 && info.panes[i] != 0; ++i) {
        const int pane = info.panes[i];
        char cls[16], name[16];
        wsprintfA(cls, "Pane %d", pane);
        wsprintfA(name, "Child %d", pane);
        PaneWindows[pane] = CreateWindowExA(WS_EX_WINDOWEDGE, cls, name, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0,
                                            0, window, nullptr, cs->hInstance, nullptr);
    }
    s.sizeWE = LoadCursor(nullptr, IDC_SIZEWE);
    s.sizeNS = LoadCursor(nullptr, IDC_SIZENS);
    s.arrow = LoadCursor(nullptr, IDC_ARROW);
}

void OnMouseMove(HWND window, SplitterKind kind, WPARAM keys, int x, int y) {
    SplitterState& s = g_state[static_cast<int>(kind)];
    if (keys != MK_LBUTTON) {
        SetCursor(CursorOf(s, HoverCursor(HitBars(kind, s.bars, x, y))));
        return;
    }
    if (!s.dragging.Any()) return;
    DrawBarOutlines(window, kind, s);
    if (s.dragging.X1) s.bars.X1 = x;
    if (s.dragging.X2) s.bars.X2 = x;
    if (s.dragging.Y1) s.bars.Y1 = y;
    if (s.dragging.Y2) s.bars.Y2 = y;
    DrawBarOutlines(window, kind, s);
    BarsToSlot(kind, s.bars, &WindowPlacements[InfoOf(kind).barSlot]);
}

void OnButtonDown(HWND window, SplitterKind kind, int x, int y) {
    SplitterState& s = g_state[static_cast<int>(kind)];
    s.dragging = HitBars(kind, s.bars, x, y);
    if (!s.dragging.Any()) return;
    SetCapture(window);
    SetCursor(CursorOf(s, PressCursor(s.dragging)));
    DrawBarOutlines(window, kind, s);
}

void OnButtonUp(HWND window, SplitterKind kind) {
    SplitterState& s = g_state[static_cast<int>(kind)];
    if (s.dragging.Any()) {
        ReleaseCapture();
        DrawBarOutlines(window, kind, s);
        s.dragging = BarHits{};
    }
    PostMessageA(window, WM_SIZE, 0, 0);
}

void OnDestroy(SplitterKind kind) {
    const SplitterInfo& info = InfoOf(kind);
    SplitterWindows[static_cast<int>(kind)] = nullptr;
    // The panes die with their splitter: nobody may repaint them through the table any more.
    for (int i = 0; i < 9 && info.panes[i] != 0; ++i) PaneWindows[info.panes[i]] = nullptr;
}

template <SplitterKind Kind>
LRESULT CALLBACK SplitterWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            OnCreate(window, Kind, cs);
            break;
        }
        case WM_MOVE:
            TrackChildMove(window, InfoOf(Kind).placementSlot, lParam);
            break;
        case WM_SIZE:
            TrackChildSize(window, InfoOf(Kind).placementSlot, 0);
            LayOut(window, Kind, wParam);
            break;
        case WM_MOUSEMOVE:
            OnMouseMove(window, Kind, wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            break;
        case WM_LBUTTONDOWN:
            OnButtonDown(window, Kind, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            break;
        case WM_LBUTTONUP:
            OnButtonUp(window, Kind);
            break;
        case WM_CLOSE:
            SendMessageA(MdiClientWindow, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0);
            return 0;
        case WM_DESTROY:
            OnDestroy(Kind);
            break;
        default:
            break;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK HomeTheatreSplitterWndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return SplitterWndProc<SplitterKind::HomeTheatre>(w, m, wp, lp);
}
LRESULT CALLBACK StereoSplitterWndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return SplitterWndProc<SplitterKind::Stereo>(w, m, wp, lp);
}
LRESULT CALLBACK QuadroSplitterWndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return SplitterWndProc<SplitterKind::Quadro>(w, m, wp, lp);
}
LRESULT CALLBACK Bbm52SplitterWndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return SplitterWndProc<SplitterKind::Bbm52>(w, m, wp, lp);
}
LRESULT CALLBACK Bbm72SplitterWndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return SplitterWndProc<SplitterKind::Bbm72>(w, m, wp, lp);
}
LRESULT CALLBACK Bbm22SplitterWndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return SplitterWndProc<SplitterKind::Bbm22>(w, m, wp, lp);
}
