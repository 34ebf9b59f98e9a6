#include "measure/mls_run.h"

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
    GenerateMlsStimulus(CurrentStimulusSettings(), GlobalMlsStimulusBuffers());
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
    MlsStartTimes[0] = run.StartTimes[0].load();
    MlsStartTimes[1] = run.StartTimes[1].load();
    outcome.analysis = FinishLiveMlsRun(run.StampsValid());
    outcome.analysed = true;
    return outcome;
}
