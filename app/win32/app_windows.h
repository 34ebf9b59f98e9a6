#pragma once
// Process-wide window state of the user-interface thread: instance, frame, menus and the drawing objects
// that every painter borrows.
#include <windows.h>

extern HINSTANCE AppInstance;
extern HICON AppIcon;
extern HBRUSH PlotBackgroundBrush;
extern HWND FrameWindow;
extern HWND MdiClientWindow;
extern HMENU MainMenu;
extern HMENU FileMenu;

// Modeless panels whose messages pass through IsDialogMessage; null while closed.
extern HWND DesignPlayerPanelWindow;     // "ComponentCADSelection"
extern HWND PlayerPanelWindow;     // "Player_HV"
extern HWND WavPlayerPanelWindow;  // "WAVE_Player_HV"
extern HWND PlaylistEditorWindow;  // "Play_List"

struct SharedDrawingObjects {
    HFONT SmallFont, TitleFont, LabelFont;
    HGDIOBJ StockSystemFont;
    HPEN BlackPen1, DarkRedPen1, BluePen1, BluePen2, GreenPen2, DarkGreenPen1, MagentaPen4, RedPen2, RedPen5,
        GreenPen5, AzurePen5, OrangePen5, MagentaPen5, PurplePen5, MagentaPen2;
    HBRUSH CyanBrush, YellowBrush, GreyBrush164, GreyBrush64, WhiteBrush, GreyBrush128, BlueBrush;
    HBRUSH MeterBrushes[18];
    HBRUSH MeasuredMarkerBrush, EmptyMarkerBrush;  // the room equalizer's location markers
};
extern SharedDrawingObjects Gdi;

void CreateSharedDrawingObjects();
void DeleteSharedDrawingObjects();

// Registers the program's 25 window classes (once per process).
bool RegisterWindowClasses(HINSTANCE instance);
void UnregisterWindowClasses(HINSTANCE instance);

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// True while the Player, WAV Player or Playlist window exists.
bool PlayerWindowOpen();

// Start-up up to the open frame (false: a message was shown and the program should end), the message
// loop, and the release of everything after it.
bool StartApplication(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
int RunMessageLoop();
void ReleaseApplication();
