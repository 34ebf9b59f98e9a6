#pragma once
// GDI drawing of the level meters into their static controls. Called by the streaming thread once per block
// and by the panels with a clear request (-1.0 as the last value).
#include <windows.h>

// The meter controls (10128, 10129) of the panel initialised last; null while none is open.
extern HWND InputMeterWindow;
extern HWND OutputMeterWindow;

int DrawInputMeters(HWND window, const float values[8]);
int DrawOutputMeters(HWND window, const float values[16]);

// Both meters of the panel erased: all values 0 and -1.0 as the last.
void ClearLevelMeters(HWND input_meter, HWND output_meter);
