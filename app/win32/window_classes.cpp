#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "design/win32/design_windows.h"

namespace {

enum class Background { ButtonFace, Window, Plot };

struct ClassEntry {
    const char* name;
    WNDPROC procedure;
    int windowExtra;
    Background background;
};

const ClassEntry kClasses[] = {
    {"Frame", FrameWndProc, 0, Background::ButtonFace},
    {"SPL_Plotting", SplPlottingWndProc, 0, Background::Plot},
    {"Splitter", HomeTheatreSplitterWndProc, 2, Background::Window},
    {"Splitter1", StereoSplitterWndProc, 2, Background::Window},
    {"Splitter2", QuadroSplitterWndProc, 2, Background::Window},
    {"Splitter3", Bbm52SplitterWndProc, 2, Background::Window},
    {"Splitter4", Bbm72SplitterWndProc, 2, Background::Window},
    {"Splitter5", Bbm22SplitterWndProc, 2, Background::Window},
    {"Pane 1", Pane1WndProc, 2, Background::Window},
    {"Pane 2", Pane2WndProc, 2, Background::Window},
    {"Pane 3", Pane3WndProc, 2, Background::Window},
    {"Pane 4", Pane4WndProc, 2, Background::Window},
    {"Pane 5", Pane5WndProc, 2, Background::Window},
    {"Pane 6", Pane6WndProc, 2, Background::Window},
    {"Pane 7", Pane7WndProc, 2, Background::Window},
    {"Pane 8", Pane8WndProc, 2, Background::Window},
    {"Pane 9", Pane9WndProc, 2, Background::Window},
    {"Editor_Child", EditorChildWndProc, 2, Background::Plot},
    {"Diffraction_Child", DiffractionChildWndProc, 2, Background::Plot},
    {"PenColour_Child", PenColourChildWndProc, 2, Background::ButtonFace},
    {"Preferences_Child", PreferencesChildWndProc, 2, Background::Plot},
    {"MLS_SPL_Child", MlsSplChildWndProc, 2, Background::Plot},
    {"MLS_IMP_Child", MlsImpChildWndProc, 2, Background::Plot},
    {"szChild_IR", IrChildWndProc, 2, Background::Plot},
    {"szChild_IR_SPL", IrSplChildWndProc, 2, Background::Plot},
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
