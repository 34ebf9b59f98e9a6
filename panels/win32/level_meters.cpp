#include "panels/win32/level_meters.h"

#include "app/win32/app_windows.h"
#include "panels/level_meters.h"

HWND InputMeterWindow = nullptr;
HWND OutputMeterWindow = nullptr;

namespace {

MeterEraseCounter g_inputErase;
MeterEraseCounter g_outputErase;

HPEN PenOf(MeterPen pen) {
    switch (pen) {
    case MeterPen::kGreen: return Gdi.GreenPen5;
    case MeterPen::kOrange: return Gdi.OrangePen5;
    case MeterPen::kBlue: return Gdi.AzurePen5;
    case MeterPen::kMagenta: return Gdi.MagentaPen5;
    case MeterPen::kPurple: return Gdi.PurplePen5;
    case MeterPen::kDarkRed: return Gdi.RedPen5;
    }
    return Gdi.GreenPen5;
}

// Erases the control at once: it repaints itself before the drawing goes on.
void Erase(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

void DrawLines(HWND window, const MeterLine* lines, int n) {
    HDC dc = GetDC(window);
    if (!dc) return;
    for (int i = 0; i < n; ++i) {
        const MeterLine& l = lines[i];
        HGDIOBJ old = l.default_pen ? nullptr : SelectObject(dc, PenOf(l.pen));
        MoveToEx(dc, l.x0, l.y0, nullptr);
        LineTo(dc, l.x1, l.y1);
        if (old) SelectObject(dc, old);
    }
    ReleaseDC(window, dc);
}

}  // namespace

int DrawInputMeters(HWND window, const float in[8]) {
    if (!window) return 0;
    float values[kInputBars];
    for (int i = 0; i < kInputBars; ++i) values[i] = in[i];
    if (g_inputErase.Step()) Erase(window);
    if (IsMeterClearRequest(values[kInputBars - 1])) {
        Erase(window);
        values[kInputBars - 1] = 0.0f;
    }
    RECT rc;
    GetClientRect(window, &rc);
    MeterLine lines[kMaxInputMeterLines];
    const int n = InputMeterLines(rc.left, rc.right, rc.bottom, values, lines);
    DrawLines(window, lines, n);
    return 0;
}

int DrawOutputMeters(HWND window, const float in[16]) {
    if (!window) return 0;
    float values[kOutputBars];
    for (int i = 0; i < kOutputBars; ++i) values[i] = in[i];
    if (g_outputErase.Step()) Erase(window);
    if (IsMeterClearRequest(values[kOutputBars - 1])) {
        Erase(window);
        values[kOutputBars - 1] = 0.0f;
    }
    RECT rc;
    GetClientRect(window, &rc);
    MeterLine lines[kMaxOutputMeterLines];
    const int n = OutputMeterLines(rc.left, rc.right, rc.bottom, values, LiveShared.Groups, lines);
    DrawLines(window, lines, n);
    return 0;
}

void ClearLevelMeters(HWND input_meter, HWND output_meter) {
    float inputs[kInputBars] = {};
    float outputs[kOutputBars] = {};
    inputs[kInputBars - 1] = kMeterClearRequest;
    outputs[kOutputBars - 1] = kMeterClearRequest;
    DrawInputMeters(input_meter, inputs);
    DrawOutputMeters(output_meter, outputs);
}
