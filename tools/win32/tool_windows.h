#pragma once
// The windows of the loudspeaker data tools: the measurement-import converters, the HBT editor with its plot,
// the impulse-response optimisation and export dialog with its two views, the baffle diffraction calculator
// with its canvas, and the diffraction plot. InstallToolWindows hands their creators and painters to the frame
// and the child windows.
#include <windows.h>

#include <string>

void InstallToolWindows();

// ---- Measurement import (menu 401..404, 406) ----
// Each pair runs the open picker on the caller's 2048-character buffers, then the member's converter on the
// chosen file. Returns 0 when the picker was cancelled or the file could not be read, else the converter's
// result: 1 after a conversion, 0 after Cancel.
int InitImpImportPicker(HWND owner);
int ImportImpFile(HWND owner, char* path, char* title);
int InitLmsImportPicker(HWND owner);
int ImportLmsFile(HWND owner, char* path, char* title);
int InitClioImportPicker(HWND owner);
int ImportClioFile(HWND owner, char* path, char* title);
int LoadAndConvertImp(HWND owner, const char* path);
int LoadAndConvertLms(HWND owner, const char* path);
int LoadAndConvertClio(HWND owner, const char* path);
// The frame's side: the importer of a menu command with its own path and title buffers.
int RunImportCommand(HWND owner, int command);
INT_PTR CALLBACK ImportImpBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ImportLmsBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ImportClioBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// ---- HBT editor ("TransferFunction" and the "Editor_Child" plot) ----
HWND CreateTransferFunctionDialog(HWND owner);
INT_PTR CALLBACK TransferFunctionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int PaintHbtWindow(HDC dc, int mode);  // 0 log grid, 1 linear grid
int PaintLinearDriverCurves(HDC dc);
int DrawHbtPlotFrame(HDC dc);

// ---- Impulse-response optimisation and export ("ExportImpulseResponse", "szChild_IR", "szChild_IR_SPL") ----
INT_PTR RunExportImpulseResponse(HWND owner);
INT_PTR CALLBACK ExportImpulseResponseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int DrawImpulseResponseView(HDC dc, int frameOnly);
int DrawImpulseResponsePlot(HDC dc);
int DrawIrSplFrame(HDC dc);
int DrawIrSplCurves(HDC dc, int slot);

// ---- Baffle diffraction calculator ("DiffractionCalculator" and the "Diffraction_Child" plot) ----
HWND CreateDiffractionCalculator(HWND owner);
INT_PTR CALLBACK DiffractionCalculatorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int PaintDiffractionPlot(HDC dc);
int DrawDiffractionCurves(HDC dc);
int DrawCanvasGrid(HWND canvas);
int DrawBaffle(HWND canvas);
int DrawEdgeElements(HWND canvas);
int DrawEdgeProfile(HWND sketch);
void PaintDriverGlyph(HDC dc, float a1, float a2, float a3, int X, int Y, int D);
// The canvas with its grid and baffle, and the sketch, drawn whole (their paints and every change).
void PaintCanvasWhole(HWND canvas, HDC dc);
void PaintProfileWhole(HWND sketch, HDC dc);
void RedrawCanvas(HWND canvas);
// The Plot button's run: 0 when the baffle could not be prepared, else 1.
int RunDiffractionPlot(HWND dialog);
