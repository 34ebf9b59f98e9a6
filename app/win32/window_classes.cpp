#include "app/win32/app_windows.h"

namespace {

// Windows whose content comes later still get a class of their own, so that the window registry and the
// layouts can be built and tested before their painters exist.
LRESULT CALLBACK PlainMdiChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefMDIChildProcA(window, message, wParam, lParam);
}
LRESULT CALLBACK PlainChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

enum class Background { ButtonFace, Window, Plot };

struct ClassEntry {
    const char* name;
    WNDPROC procedure;
    int windowExtra;
    Background background;
};

const ClassEntry kClasses[] = {
    {"Frame", FrameWndProc, 0, Background::ButtonFace},
    {"SPL_Plotting", PlainMdiChildProc, 0, Background::Plot},
    {"Splitter", PlainMdiChildProc, 2, Background::Window},
    {"Splitter1", PlainMdiChildProc, 2, Background::Window},
    {"Splitter2", PlainMdiChildProc, 2, Background::Window},
    {"Splitter3", PlainMdiChildProc, 2, Background::Window},
    {"Splitter4", PlainMdiChildProc, 2, Background::Window},
    {"Splitter5", PlainMdiChildProc, 2, Background::Window},
    {"Pane 1", PlainChildProc, 2, Background::Window},
    {"Pane 2", PlainChildProc, 2, Background::Window},
    {"Pane 3", PlainChildProc, 2, Background::Window},
    {"Pane 4", PlainChildProc, 2, Background::Window},
    {"Pane 5", PlainChildProc, 2, Background::Window},
    {"Pane 6", PlainChildProc, 2, Background::Window},
    {"Pane 7", PlainChildProc, 2, Background::Window},
    {"Pane 8", PlainChildProc, 2, Background::Window},
    {"Pane 9", PlainChildProc, 2, Background::Window},
    {"Editor_Child", PlainMdiChildProc, 2, Background::Plot},
    {"Diffraction_Child", PlainMdiChildProc, 2, Background::Plot},
    {"PenColour_Child", PlainMdiChildProc, 2, Background::ButtonFace},
    {"Preferences_Child", PlainMdiChildProc, 2, Background::Plot},
    {"MLS_SPL_Child", PlainMdiChildProc, 2, Background::Plot},
    {"MLS_IMP_Child", PlainMdiChildProc, 2, Background::Plot},
    {"szChild_IR", PlainMdiChildProc, 2, Background::Plot},
    {"szChild_IR_SPL", PlainMdiChildProc, 2, Background::Plot},
};
static_assert(sizeof(kClasses) / sizeof(kClasses[0]) == 25);

HBRUSH BrushOf(Background b) {
    switch (b) {
        case Background::ButtonFace: return reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        case Background::Window: return reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        case Background::Plot: return PlotBackgroundBrush;
    }
    return nullptr;
}

}  // namespace

bool RegisterWindowClasses(HINSTANCE instance) {
    for (const ClassEntry& c : kClasses) {
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = c.procedure;
        wc.cbClsExtra = 0;
        wc.cbWndExtra = c.windowExtra;
        wc.hInstance = instance;
        wc.hIcon = AppIcon;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = BrushOf(c.background);
        wc.lpszMenuName = nullptr;
        wc.lpszClassName = c.name;
        if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    }
    return true;
}

void UnregisterWindowClasses(HINSTANCE instance) {
    for (const ClassEntry& c : kClasses) UnregisterClassA(c.name, instance);
}
