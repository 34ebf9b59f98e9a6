#pragma once
// The settings windows: the "System-Wide Preferences" window, the "Pen Colours" window with the colour
// editor both of them carry, the profile list dialog and printing a window's image.
#include <windows.h>

#include <functional>

// ---- Preferences window ("Preferences_Child") ----
// Run from the window's creation: creates and fills the controls, lists the audio endpoints once, sets the
// marks and the focus. Returns 0.
int CreatePreferencesControls(HWND window);
int PaintPreferences(HDC dc);
// A forwarded command (low word of wParam the control id) or a scroll message (lParam the scroll bar).
int OnPreferencesCommand(HDC dc, WPARAM wParam, LPARAM lParam);
// Lists the capture and render endpoints again into the window's device lists (also done when a device
// list takes the focus, so a device plugged in meanwhile shows up).
void RefreshPreferencesEndpoints();
// Forgets the window's control handles when it is destroyed.
void ForgetPreferencesControls();

// ---- Pen Colours window ("PenColour_Child") ----
// Creates the colour editor's controls in PenColourWindow. Returns 0.
int CreatePenColourControls();
int PaintPenColours(HDC dc);
int OnPenColourCommand(HDC dc, WPARAM wParam, LPARAM lParam);
void ForgetPenColourControls();

// ---- Profile list dialog ("ProjectFile") ----
INT_PTR CALLBACK ProfileListDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The file pickers of the ten slots (n = 1..10).
void InitProfilePicker(int n, HWND owner);
bool RunProfilePicker(int n, HWND owner, char* path, char* title);

// ---- Printing ----
// Asks for the print settings ("EnterScales"), captures the window's client area and prints it on one page
// of the printer the user chooses. Returns 0 when the job ran (a print failure is reported), 1 when
// cancelled or nothing could be captured or no printer was chosen.
int PrintWindowImage(HWND window, HWND second);
INT_PTR CALLBACK EnterScalesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
HGLOBAL CaptureClientToDib(HWND window);
HGLOBAL CaptureScreenRectToDib(const RECT& rect);
HBITMAP CopyScreenRectToBitmap(const RECT& rect);
HGLOBAL BitmapToDib(HBITMAP bitmap, HPALETTE palette);
char* FindDibBits(char* dib);
int DibPaletteSize(const char* dib);
int DibNumColors(const char* dib);
HPALETTE CopySystemPalette();
long long ScreenColourCount(HDC dc);
HDC ChoosePrinterDc(HWND owner);
// 0 printed, 1 locking the DIB failed, 2 starting the job failed, 3 ending the page failed.
int PrintCapturedDib(HWND owner, HGLOBAL dib, HDC printer);
int StretchDibToRect(HDC dc, const RECT& dest, const RECT& clip, const char* dib, const char* bits);

// The default printer's texts as the last print read them.
extern char DefaultPrinterName[81];
extern char DefaultPrinterDriver[81];
extern char DefaultPrinterPort[81];

// Tests choose the printer in the user's place (return a printer DC, or null for a cancelled choice);
// pass nullptr to restore the print dialog.
using PrinterChoiceHook = std::function<HDC(HWND owner)>;
void SetPrinterChoiceHook(PrinterChoiceHook hook);
