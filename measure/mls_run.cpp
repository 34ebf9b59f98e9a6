#include "measure/mls_run.h"

#include <cstdio>

#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "engine/endpoints.h"

MeasurementThreadSettings MlsRunThreadSettings() {
    MeasurementThreadSettings s = MlsPageThreadSettings();
    s.SampleRate = static_cast<uint32_t>(MlsSampleRate());
    s.Capture24Bit = Capture24Bit ? 1 : 0;
    s.WasapiDebugMode = WasapiDebugMode;
    s.CaptureEndpointId = CaptureEndpointId;
    s.RenderEndpointId = RenderEndpointId;
    return s;
}

MlsLiveRunOutcome RunLiveMls(MeasurementRun& run, const MeasurementThreadSettings& settings,
                             const std::function<void()>& pump, uint32_t wait_ms) {
    MlsLiveRunOutcome outcome;
    GenerateMlsStimulus(CurrentStimulusSettings(), GlobalMlsStimulusBuffers(), &outcome.emphasis);
    run.Running = &EngineRunning;
    run.RenderRunning = &MlsRenderRunning;
    run.Capture = MlsCaptureBuffer;
    run.CaptureBytes = MlsCaptureBuffer ? kMlsCaptureBytes : 0;
    run.Stimulus = MlsStimulusBuffer;
    run.StimulusBytes = kMlsStimulusBytes;
    outcome.start = StartMeasurementThreads(run, settings);
    if (outcome.start == MeasurementStartResult::kBadRun || outcome.start == MeasurementStartResult::kBusy ||
        outcome.start == MeasurementStartResult::kNoEvent)
        return outcome;
    outcome.joined = WaitForMeasurementThreads(run, wait_ms, pump);
    if (!outcome.joined) return outcome;
    outcome.captured_frames = run.CapturedFrames.load();
    outcome.complete = MeasurementRunComplete(run);
    if (outcome.captured_frames == 0) return outcome;  // nothing to analyse: the responses stay cleared
    MlsStartTimes[0] = run.StartTimes[0].load();
    MlsStartTimes[1] = run.StartTimes[1].load();
    outcome.analysis = FinishLiveMlsRun(run.StampsValid(), outcome.complete);
    outcome.analysed = true;
    return outcome;
}

std::string MlsRunFailureText(const MlsLiveRunOutcome& outcome) {
    if (outcome.complete || !outcome.joined) return "";
    std::string text;
    if (outcome.captured_frames == 0) {
        text = "No Capture Was Made: The Measurement Devices Did Not Stream";
    } else if (outcome.captured_frames < kMeasurementCapturedFrames) {
        char line[128];
        std::snprintf(line, sizeof line, "The Capture Stopped After %u Of %u Frames", outcome.captured_frames,
                      kMeasurementCapturedFrames);
        text = line;
    } else {
        text = "The Stimulus Was Not Played To Its End";
    }
    return text + "\nThe Previous Capture Is Kept For Save IR";
}
