#include "measure/win32/room_eq_measurement.h"

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/file_dialogs.h"
#include "engine/endpoints.h"
#include "engine/win32/program_engine.h"
#include "measure/measurement_threads.h"
#include "measure/mls_state.h"
#include "measure/res_file.h"
#include "measure/room_eq_state.h"
#include "measure/win32/measurement_thread_view.h"
#include "measure/win32/room_eq_windows.h"

namespace {

// A run takes about 7 s at 48 kHz (3.5 s at 96 kHz, 7.7 s at 44.1 kHz); the wait gives it ample room.
constexpr uint32_t kRoomRunWaitMs = 30000;

// The room equalizer's run of the one measurement pair, and the view its threads draw into. Both outlive a
// run whose threads would not end in time: those threads still hold them until the next start joins them.
MeasurementRun g_run;
WindowThreadView* g_view = nullptr;

}  // namespace

bool RoomEqMeasurementAlive() { return MeasurementThreadsAlive(g_run); }

bool RunRoomEqMeasurement(HWND, MlsStartOffset* offset, std::string* why) {
    GenerateMlsStimulus(CurrentStimulusSettings(), GlobalMlsStimulusBuffers());
    if (!MeasurementThreadsAlive(g_run)) {
        delete g_view;
        g_view = new WindowThreadView(RoomEqImpulseArea, FrameWindow);
    }
    g_run.Streams = &ProgramEngineStreams();
    g_run.View = g_view;
    g_run.Running = &EngineRunning;
    g_run.RenderRunning = &MlsRenderRunning;
    g_run.Capture = MlsCaptureBuffer;
    g_run.CaptureBytes = MlsCaptureBuffer ? kMlsCaptureBytes : 0;
    g_run.Stimulus = MlsStimulusBuffer;
    g_run.StimulusBytes = kMlsStimulusBytes;
    MeasurementThreadSettings s = RoomEqThreadSettings();
    s.SampleRate = static_cast<uint32_t>(SampleRateOf(MlsSettings.MlsRateIndex));
    s.Capture24Bit = Capture24Bit ? 1 : 0;
    s.WasapiDebugMode = WasapiDebugMode;
    s.CaptureEndpointId = CaptureEndpointId;
    s.RenderEndpointId = RenderEndpointId;

    const MeasurementStartResult started = StartMeasurementThreads(g_run, s);
    bool ended = true;
    if (started == MeasurementStartResult::kStarted || started == MeasurementStartResult::kNoRenderThread)
        ended = WaitForMeasurementThreads(g_run, kRoomRunWaitMs, PumpSentMessages);
    g_view->ShowPendingTitle();
    // A run that could not start at all is as visible as a failed stream.
    if (started == MeasurementStartResult::kBadRun || started == MeasurementStartResult::kNoEvent)
        SetWindowTextA(FrameWindow, kMeasurementCaptureErrorTitle);
    if (started != MeasurementStartResult::kStarted) {
        *why = ended ? kLocationDeviceFailed : kLocationRunNotEnded;
        return false;
    }
    *why = LocationRunFailure(g_run, ended);
    if (!why->empty()) return false;
    MlsStartTimes[0] = g_run.StartTimes[0].load();
    MlsStartTimes[1] = g_run.StartTimes[1].load();
    *offset = MlsStartOffsetOf(MlsStartTimes, MillisecondsPerTick(CurrentPerformanceCounter()),
                               SampleRateOf(MlsSettings.MlsRateIndex), g_run.StampsValid());
    return true;
}

bool PickLocationCapture(HWND owner, std::string* path) {
    static char file[kPathWidth], title[kPathWidth];  // the picker starts on the last capture chosen
    if (!RunFilePicker(owner, ResFilePicker(false), file, title)) return false;
    *path = file;
    return true;
}

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
