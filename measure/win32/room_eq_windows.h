#pragma once
// The room equalizer's dialog ("Room_EQ", caption "Minimum-Phase Room Equalizer"), opened by a right click on
// a room-EQ block, and the painters of its three plots and location markers.
#include <windows.h>

INT_PTR CALLBACK RoomEqDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Hands the dialog to the channel panes (their right click on a room-EQ block runs it).
void InstallRoomEqualizer();

// The dialog's plot areas (null while it is closed): the impulse plot, also where the measurement threads
// write their progress; the SPL plot; the delay plot; the level meter; the location markers.
extern HWND RoomEqImpulseArea;
extern HWND RoomEqSplArea;
extern HWND RoomEqDelayArea;
extern HWND RoomEqMeterArea;
extern HWND RoomEqMarkerArea;

// Each frame painter draws its plot's box, grid, labels and title into the area's device context, then calls
// its curve painter. They select only the shared drawing objects (and restore what was selected); a pen made
// from a curve's header lives for one curve. Each returns 0.
int PaintRoomEqImpulseFrame(HDC dc);
int DrawRoomEqImpulseCurves(HDC dc);
int PaintRoomEqSplFrame(HDC dc);
int DrawRoomEqSplCurves(HDC dc);
int PaintRoomEqDelayFrame(HDC dc);
int DrawRoomEqDelayCurve(HDC dc);
// Six squares, red for a measured location, green for one still to measure.
int PaintLocationMarkers(HDC dc);
