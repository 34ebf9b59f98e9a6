#pragma once
// The measurement side of a room-equalizer location run: the live run through the measurement threads, the
// picker of a saved capture, the level meters and the debug texts of the start offset.
#include <windows.h>

#include <string>

#include "measure/mls_analysis.h"

// Plays the stimulus and records the room through the measurement thread pair with the room equalizer's
// settings, drawing the threads' progress into the impulse area. True when both threads ran every period
// without a failure (the capture then holds the run and `offset` the start-offset correction of its stamps);
// otherwise `why` says what went wrong.
bool RunRoomEqMeasurement(HWND dialog, MlsStartOffset* offset, std::string* why);

// True while threads of the last run have not been joined (they would not end within the run's wait).
bool RoomEqMeasurementAlive();

// The *.RES picker of "Use Saved IR": true with the chosen path.
bool PickLocationCapture(HWND owner, std::string* path);

// In "WASAPI De-Bug Mode": the stamps and the shift of the last run, drawn into the impulse area.
void ShowRunDebugTexts(HWND area, const MlsStartOffset& offset);
