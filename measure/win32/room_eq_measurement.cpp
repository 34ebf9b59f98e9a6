#include "measure/win32/room_eq_measurement.h"

#include "app/settings.h"
#include "app/win32/file_dialogs.h"
#include "measure/mls_state.h"

bool RunRoomEqMeasurement(HWND, MlsStartOffset*) { return false; }

bool PickLocationCapture(HWND owner, std::string* path) {
    FilePickerDescription d;
    d.filters = {{"MLS Impulse (*.RES)", "*.res"}, {"Text Files (*.txt)", "*.txt"}, {"WAV Files (*.wav)", "*.wav"},
                 {"All Files (*.*)", "*.*"}};
    d.hide_read_only = true;
    d.create_prompt = true;
    static char file[kPathWidth], title[kPathWidth];
    if (!RunFilePicker(owner, d, file, title)) return false;
    *path = file;
    return true;
}

void DrawRoomEqMeters(HWND, float, float) {}

void ShowRunDebugTexts(HWND area, const MlsStartOffset& offset) {
    if (WasapiDebugMode != 1 || !area) return;
    HDC dc = GetDC(area);
    const std::string stamps = MlsStampsText(MlsStartTimes, offset.offset_ms);
    TextOutA(dc, 600, 60, stamps.c_str(), static_cast<int>(stamps.size()));
    if (offset.offset_ms > 10) {
        const std::string shift = MlsShiftText(offset);
        TextOutA(dc, 600, 40, shift.c_str(), static_cast<int>(shift.size()));
    }
    ReleaseDC(area, dc);
}
