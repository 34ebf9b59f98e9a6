#pragma once
// The MLS measurement windows: the control dialog "TAB_MLS_Control" with its pages "TAB_MLS_Acquire" and
// "TAB_MLS_Process", the painters and cursor of the "MLS Impulse Response" window, the four pages of the
// "MLS Frequency Domain" window, and the calibration dialog. InstallMeasurementWindows hands their creators
// and painters to the frame and its child windows.
#include <windows.h>

#include <cstdint>

#include "measure/measurement_threads.h"

void InstallMeasurementWindows();

// ---- The control dialog and its pages ----
INT_PTR CALLBACK MlsControlDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MlsAcquireDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MlsProcessDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateMlsControlDialog(HWND owner);
extern HWND MlsTabControl;   // the control dialog's tab control
extern HWND MlsControlPage;  // the page shown in it

// The settings of the acquisition page that the preferences do not keep.
extern uint32_t WavChannelChoice;          // 1 "wav ch1", 0 "wav ch2"
extern uint32_t ResampleUpsampleDecimate;  // 1 "Upsample/Decimate", 0 "Linear Interpolation"
extern uint32_t CalTemplateOn;             // "Template"

// The run's thread pair, its streams (the engine's, unless a test hands it others) and the view it draws in.
MeasurementRun& MlsRun();
void UseMlsRunStreams(AudioStreamFactory* streams);

// Shows page 0..3 of the "MLS Frequency Domain" window when it is open, as its own tab would.
void SelectMlsSplPage(int page);

// ---- The "MLS Impulse Response" window ----
void RefreshImpulseCurves();
int PaintImpulseWindow(HDC dc);
int TrackIrCursorMouse(HWND window, LPARAM position);
int TrackIrCursorKey(HWND window, WPARAM key);
int DrawAcousticDistance(HDC dc);
// The input level meter of the page's control 10128: the measured channel left, the reference right.
int DrawLevelMeters(HWND meter, float left_level, float right_level);
// The LEDs into a device context over the meter's client rectangle (the meter's own painting).
void DrawMeterLeds(HDC dc, const RECT& rc, float left_level, float right_level);
// The impulse window's title read-out of the cursor.
void SetImpulseWindowTitle();
// The column of the cursor line drawn last.
extern int IrCursorXDrawn;

// ---- The "MLS Frequency Domain" pages ----
HWND CreateMlsSplPage(HWND tab, int page);
int PaintMlsSplPage(HDC dc, int page);
extern int MlsCopiedCount;
extern int MlsPageCurveIndex[3];

// ---- "EnterCreateCalibration" ----
INT_PTR CALLBACK CalibrationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
