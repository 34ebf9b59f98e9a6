#include "measure/mls_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "app/driver_data.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/startup.h"
#include "engine/endpoints.h"
#include "measurement_rig.h"
#include "tests/app/heap_record.h"
#include "test_util.h"

// Run MLS over the global records with the thread pair against the loop-back: the stimulus played, the
// capture analysed with the stamps the threads took, and Calculate SPL gives the known system's response.
TEST(MlsRun, LiveRunThroughThePairRecoversTheKnownSystem) {
    ScratchDir dir;
    MessageList messages;
    ASSERT_TRUE(StartRecords(dir.Path().string() + "/", &messages));
    ASSERT_EQ(AllocateMlsCaptureBuffers(), 0);
    RebuildBinGrid(1, 3);
    MlsOrder = 18;
    MlsSettings.MlsRateIndex = 1;
    MlsSettings.MlsLengthIndex = 5;
    MlsSettings.MikeCalUse = MlsSettings.PreampCalUse = 0;
    MlsSplSlot = MlsPhaseSlot = 0;
    Capture24Bit = 1;
    CaptureEndpointId = L"mic-in";
    RenderEndpointId = L"speaker-out";

    MeasurementRig rig;
    const int D = 24;
    rig.loop.SetMeasuredPath(D, {0.25});
    rig.run.Streams = &rig.system;
    rig.run.View = &rig.view;
    ASSERT_TRUE(BeginMlsRun());
    std::thread clock([&] { rig.DriveRunStartedElsewhere(EngineRunning); });
    const MlsLiveRunOutcome outcome = RunLiveMls(rig.run, MlsRunThreadSettings(), {});
    clock.join();

    EXPECT_EQ(outcome.start, MeasurementStartResult::kStarted);
    ASSERT_TRUE(outcome.joined);
    ASSERT_TRUE(outcome.analysed);
    EXPECT_EQ(EngineRunning.load(), 0);
    EXPECT_EQ(MlsRenderRunning.load(), 0);
    EXPECT_TRUE(rig.run.StampsValid());
    EXPECT_EQ(MlsStartTimes[0], rig.run.StartTimes[0].load());
    EXPECT_EQ(MlsStartTimes[1], rig.run.StartTimes[1].load());
    EXPECT_TRUE(rig.view.Titles().empty());
    EXPECT_EQ(rig.view.LastAt(65, 20), "C124 ");
    EXPECT_EQ(InPeakIndex - RefPeakIndex, D);
    EXPECT_NEAR(MlsImpulseIn[kMlsAlignedPeak + D], 0.25 * MlsImpulseRef[kMlsAlignedPeak], 0.01);
    EXPECT_EQ(MlsCurves[20].Values[2000], 1.0f);

    ASSERT_EQ(CalculateSplNow(50, &messages), SplResult::kStored);
    const float level = CurrentDriver->spl_lin[1000];
    EXPECT_NEAR(level, 20.0 * std::log10(0.25 * MlsImpulseRef[kMlsAlignedPeak]), 0.5);
    for (int k = 100; k < 16000; k += 50) ASSERT_NEAR(CurrentDriver->spl_lin[k], level, 0.05) << k;

    // A run whose capture stream fails part way is analysed as far as it went and says so, but the capture that
    // Save IR writes stays the complete one.
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(MlsRunFailureText(outcome), "");
    const uint64_t kept = Digest(MlsSavedBuffer, kMlsCaptureBytes);
    rig.system.InjectFailure(StreamDirection::Capture, StreamStep::GetBuffer, HR_E_FAIL, 100);
    ASSERT_TRUE(BeginMlsRun());
    std::thread again([&] { rig.DriveRunStartedElsewhere(EngineRunning); });
    const MlsLiveRunOutcome failed = RunLiveMls(rig.run, MlsRunThreadSettings(), {});
    again.join();
    EXPECT_TRUE(failed.analysed);
    EXPECT_FALSE(failed.complete);
    EXPECT_GT(failed.captured_frames, 0u);
    EXPECT_LT(failed.captured_frames, kMeasurementCapturedFrames);
    EXPECT_EQ(MlsRunFailureText(failed).substr(0, 26), "The Capture Stopped After ");
    EXPECT_EQ(Digest(MlsSavedBuffer, kMlsCaptureBytes), kept);
    EXPECT_TRUE(MlsSavedHoldsCapture);

    FreeMlsCaptureBuffers();
    ReleaseRecords();
    Capture24Bit = 0;
    CaptureEndpointId.clear();
    RenderEndpointId.clear();
}
