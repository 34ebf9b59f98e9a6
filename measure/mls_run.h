#pragma once
// Run MLS with the thread pair, over the global records: the stimulus generated, the pair started on the
// capture and stimulus buffers, joined, and the capture analysed with the stamps it took. The page adds the
// windows around it; the file branches are BeginMlsRun's companions in measure/mls_state.h.
#include <cstdint>
#include <functional>
#include <string>

#include "measure/measurement_threads.h"
#include "measure/mls_state.h"

// Longest wait for a run before the pair is asked to stop: 330 periods at 44,100 Hz take 7.7 s, and a device
// that stalls ends each thread within a second a period.
inline constexpr uint32_t kMlsRunWaitMs = 30000;

struct MlsLiveRunOutcome {
    MeasurementStartResult start = MeasurementStartResult::kBadRun;
    bool joined = false;    // both threads ended (the buffers may be read and freed)
    bool analysed = false;  // the capture was split and deconvolved (not when nothing was captured)
    bool complete = false;  // both streams ran through: the capture was kept for Save IR
    uint32_t captured_frames = 0;
    MlsEmphasisLevel emphasis;  // the level the stimulus was built at when pre-emphasised
    MlsAnalysisResult analysis;
};

// The frequency window's title after a run that captured nothing, after "MLS Frequency Domain".
inline constexpr const char* kMlsNoCaptureTitle = "No Capture Was Made";

// What the page says after a run that was not complete: that no capture was made, or that the capture or the
// stimulus stopped short, and that the previous capture stays for Save IR. Empty for a complete run.
std::string MlsRunFailureText(const MlsLiveRunOutcome& outcome);

// The thread settings of a run from the page's settings: the MLS page's pair, the rate of MlsRateIndex,
// Capture24Bit, "WASAPI De-Bug Mode" and the chosen endpoints' ids.
MeasurementThreadSettings MlsRunThreadSettings();

// The live branch of Run MLS after BeginMlsRun: the stimulus, the pair on the run's streams and view, the
// wait (pumping with `pump`), the stamps into MlsStartTimes and the analysis. A run whose threads could not
// all be joined is not analysed (its buffers are still in use), nor one that captured nothing; only a complete
// run replaces the saved capture.
MlsLiveRunOutcome RunLiveMls(MeasurementRun& run, const MeasurementThreadSettings& settings,
                             const std::function<void()>& pump, uint32_t wait_ms = kMlsRunWaitMs);
