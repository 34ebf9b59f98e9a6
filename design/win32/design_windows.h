#pragma once
// The design windows: the nine channel panes with their schematics, the element dialogs and the system plot.
#include <windows.h>

// Window procedures of the classes "Pane 1" .. "Pane 9".
LRESULT CALLBACK Pane1WndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Pane2WndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Pane3WndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Pane4WndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Pane5WndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Pane6WndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Pane7WndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Pane8WndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Pane9WndProc(HWND, UINT, WPARAM, LPARAM);

// The room equalizer's dialog ("Room_EQ") belongs to the measurement side; it registers its runner here.
// While none is registered a right click on a room-EQ block opens nothing.
extern void (*RunRoomEqDialog)(HWND owner);

// ---- Schematic drawing ----
// PaintPaneN: the whole pane n (1..9) from its PaneRecord.
void PaintPane(int pane, HWND window, HDC dc);
void DrawPaneNetwork(int pane, HWND window, HDC dc);
void DrawPaneElementLabels(int pane, HDC dc);
void DrawPaneNodeNumbers(int pane, HDC dc);

void DrawElementSymbol(int kind, HDC dc, int x, int y);
void DrawXorElementSymbol(int kind, HDC dc, int x, int y);
void DrawOutputPortSymbol(HDC dc, int x, int y);
void DrawInputTerminalSymbol(HDC dc, int x, int y);
void DrawFilterBlockSymbol(HDC dc, int x, int y);
void DrawJunctionSymbol(HDC dc, int x, int y);
void DrawGroundSymbol(HDC dc, int x, int y);
void DrawRoomEqBlockSymbol(HDC dc, int x, int y);
void DrawOutputPortOutline(HDC dc, int x, int y);
void DrawInputTerminalOutline(HDC dc, int x, int y);
void DrawFilterBlockOutline(HDC dc, int x, int y);
void DrawJunctionOutline(HDC dc, int x, int y);
void DrawGroundOutline(HDC dc, int x, int y);
void DrawRoomEqBlockOutline(HDC dc, int x, int y);
// The drag preview of the WorkingNetwork: with DragPen, or with the DC's current pen.
void DrawDragPreview(HDC dc);
void DrawDragPreviewCurrentPen(HDC dc);
// The design panel's element palette and tool buttons.
void DrawToolPalette(HDC dc);
void UpdateToolButtons(HWND panel);

// ---- Element dialogs (modal, owner the pane; they edit the WorkingNetwork element at SelectedElement) ----
INT_PTR CALLBACK EnterInputPortDialogProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK EnterOutputPortDialogProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK EnterBehringerDialogProc(HWND, UINT, WPARAM, LPARAM);
// Runs the dialog of an element kind; returns its result (0 for a kind without a dialog).
INT_PTR RunElementDialog(int kind, HWND owner);

// ---- System plot ----
// Draws the whole plot into `dc` for the "SPL_Plotting" window; registered as Painters.splPlot.
int PaintSplPlot(HDC dc);
int DrawSplCurves(HDC dc);
