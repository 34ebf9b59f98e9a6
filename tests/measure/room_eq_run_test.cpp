// A location run over the program's global records: a sparse room played through the in-memory loop-back into
// the capture buffer, converted, deconvolved, aligned, analysed and stored, then its location file written and
// loaded back.
#include "measure/room_eq_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <thread>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/raw_file.h"
#include "app/settings.h"
#include "app/startup.h"
#include "design/pane_editor.h"
#include "measure/mls_state.h"
#include "measure/res_file.h"
#include "measure/room_eq_run.h"
#include "measurement_rig.h"
#include "mls_test_support.h"
#include "tests/app/heap_record.h"
#include "test_util.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct RoomEqRun : ::testing::Test {
    ScratchDir dir;
    void SetUp() override {
        MessageList messages;
        ASSERT_TRUE(StartRecords(dir.Path().string() + "/", &messages));
        ASSERT_EQ(AllocateMlsCaptureBuffers(), 0);
        HV_Buffer_Size = 3;
        RebuildBinGrid(1, 3);  // 48 kHz, N = 4096
        ResetWorkingNetwork(WorkingNet);
        WorkingNet->elements[0].kind = RoomEqBlock;
        float* p = WorkingNet->params[0].p;
        p[kParamPlotFlag] = kNoCorrectionOutput;
        p[kParamInputNode] = 0.0f;
        p[kParamFilterGain] = 0.0f;
        SelectedElement = 0;
        ActivePane = 1;
        Capture24Bit = 0;
        OpenRoomEqState();
    }
    void TearDown() override {
        FreeMlsCaptureBuffers();
        ReleaseRecords();
        Capture24Bit = 0;
        SelectedElement = -1;
    }

    // A live run through the loop-back (measured path: a delay and an FIR), up to the analysis.
    LocationRunOutcome LiveRun(int delay, const std::vector<double>& fir, MessageList* out) {
        EXPECT_TRUE(BeginLocationRun());
        GenerateMlsStimulus(CurrentStimulusSettings(), GlobalMlsStimulusBuffers());
        const std::vector<uint8_t> capture = PlayThroughLoopback(MlsStimulusBuffer, Capture24Bit, 48000, delay, fir);
        std::memcpy(MlsCaptureBuffer, capture.data(), capture.size());
        FinishLiveLocationCapture();
        return ProcessLocationRun(50, MlsStartOffset{}, out);
    }
};

}  // namespace

// A sparse room (direct sound and three reflections, 37 samples behind the loop-back), captured in 24 bits,
// comes back in the measured response within 1e-3 of the stimulus level, with the reference peak at 60 and every
// response value where the deconvolution of a one-shot sequence puts it: M (h (L+1)/L - sum h / L). The
// location's curve is the room's response at the stimulus level, and the displays and the meters are filled.
TEST_F(RoomEqRun, SparseRoomIsRecoveredAlignedOnTheReference) {
    CurrentLocation = 2;
    Capture24Bit = 1;
    CopySettingText(MlsOutputDelayText, kSettingTextWidth, "20");
    const int D = 37;
    std::vector<double> room(700, 0.0);
    room[0] = 0.6;
    room[113] = -0.25;
    room[380] = 0.15;
    room[699] = 0.05;
    MessageList out;
    ASSERT_EQ(LiveRun(D, room, &out), LocationRunOutcome::kStored);
    EXPECT_TRUE(out.empty());
    const int L = MlsLength(18);
    const double M = 21346816.0 * MlsSettings.MlsOutputLevel / 256.0 / 102.0;
    double sum = 0.0;
    for (double h : room) sum += h;
    EXPECT_EQ(MlsPeakIndex(MlsImpulseRef, 100000), kMlsAlignedPeak);
    EXPECT_NEAR(MlsImpulseRef[kMlsAlignedPeak], M * (L + 1.0) / L - M / L, 1e-3 * M);
    for (int i = 0; i < 2000; ++i) {
        const double h = i >= D && i - D < static_cast<int>(room.size()) ? room[i - D] : 0.0;
        ASSERT_NEAR(MlsImpulseIn[kMlsAlignedPeak + i], M * (h * (L + 1.0) / L - sum / L), 1e-3 * M) << i;
    }
    EXPECT_TRUE(RoomEqLocationMeasured(RoomEqCurves, 2));
    EXPECT_EQ(RoomEqCurves[2].Values[kRoomEqImpulsePoints], 1.0f);
    EXPECT_FLOAT_EQ(RoomEqCurves[2].Values[kMlsAlignedPeak], 0.01f * MlsImpulseRef[kMlsAlignedPeak]);
    EXPECT_FLOAT_EQ(RoomEqCurves[8].Values[kMlsAlignedPeak + D], 0.01f * MlsImpulseIn[kMlsAlignedPeak + D]);
    EXPECT_EQ(RoomEqCurves[8].Values[kRoomEqImpulsePoints + 1], static_cast<float>(ColourScheme[17].red));
    // The reference's flat level comes out; the room's response at the stimulus level stays, within what the
    // one-shot sequence leaves on both spectra (the output delay is short here, so little of it goes unplayed).
    const float* spl = RoomEqCurves[kRoomEqLocationSplSlot + 2].Values;
    for (int j : {3, 7, 14, 20, 30, 40, 77, 150, 300, 1000, 5000}) {
        std::complex<double> h = 0.0;
        const double w = 2.0 * kPi * BinFrequencyTable[j] / 48000.0;
        for (int i = 0; i < static_cast<int>(room.size()); ++i) h += room[i] * std::polar(1.0, -w * i);
        EXPECT_NEAR(spl[j], 20.0 * std::log10(M * std::abs(h)) - 90.0, 0.3) << j;
    }
    EXPECT_FLOAT_EQ(LevelPeakRef, static_cast<float>(M));
    EXPECT_NEAR(CurrentRoomEqMeterValues().ref, M / 1200.0, 1e-3);
    // The EQ was computed: the average is this one location.
    EXPECT_FLOAT_EQ(RoomEqCurves[kRoomEqAverageSplSlot].Values[40], spl[40]);
}

// The location file of pane 1, location 3, holds the capture less its last byte and the two indices: 1,054,007
// bytes of 16-bit capture. Loaded back at another location it analyses to the same curve and is written again
// under that location's name; with the program set to 24 bits it is refused and nothing changes.
TEST_F(RoomEqRun, LocationFileIsWrittenLoadedAndWrittenAgain) {
    CurrentLocation = 2;
    ASSERT_EQ(LiveRun(20, {0.7, 0.2}, nullptr), LocationRunOutcome::kStored);
    const std::string directory = dir.Path().string() + "/";
    MessageList out;
    ASSERT_EQ(WriteLocationFile(directory, ActivePane, CurrentLocation, &out), 1);
    EXPECT_EQ(RawFileSize(dir.File("Front_Left_L3.res")), kResFileBytes16);
    const std::vector<float> curve(RoomEqCurves[kRoomEqLocationSplSlot + 2].Values,
                                   RoomEqCurves[kRoomEqLocationSplSlot + 2].Values + kRoomEqGridBins);

    Capture24Bit = 1;
    const uint64_t before = Digest(RoomEqCurves, sizeof(PlotCurve) * kRoomEqCurveCount);
    ASSERT_TRUE(BeginLocationRun());
    EXPECT_FALSE(LoadLocationCapture(dir.File("Front_Left_L3.res"), &out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, kResSetTo24BitShort);
    EXPECT_EQ(out[0].caption, "HV Message");
    EXPECT_EQ(Digest(RoomEqCurves, sizeof(PlotCurve) * kRoomEqCurveCount), before);

    Capture24Bit = 0;
    out.clear();
    MlsSettings.MlsRateIndex = 0;
    MlsSettings.MlsLengthIndex = 0;
    ActivePane = 2;
    CurrentLocation = 1;
    ASSERT_TRUE(BeginLocationRun());
    ASSERT_TRUE(LoadLocationCapture(dir.File("Front_Left_L3.res"), &out));
    EXPECT_EQ(MlsSettings.MlsRateIndex, 1u);
    EXPECT_EQ(MlsSettings.MlsLengthIndex, 5u);
    EXPECT_EQ(MlsOrder, 18);
    EXPECT_EQ(MlsCaptureBuffer[kResDataBytes16], 0);  // the byte the file lacks
    ASSERT_EQ(ProcessLocationRun(50, MlsStartOffset{}, &out), LocationRunOutcome::kStored);
    EXPECT_TRUE(out.empty());
    for (int k = 0; k < kRoomEqGridBins; k += 37)
        ASSERT_EQ(RoomEqCurves[kRoomEqLocationSplSlot + 1].Values[k], curve[k]) << k;
    ASSERT_EQ(WriteLocationFile(directory, ActivePane, CurrentLocation, &out), 1);
    EXPECT_EQ(RawFileSize(dir.File("Centre_L2.res")), kResFileBytes16);
}

// Panes 7 to 9 have names of their own; a pane outside 1..9 has none, and nothing is written for it.
TEST(RoomEqLocationFiles, NamesPerPane) {
    const char* names[] = {"Front_Left_L1.res", "Centre_L2.res",     "Front_Right_L3.res",
                           "Rear_Left_L4.res",  "Subwoofer_L5.res",  "Rear_Right_L6.res",
                           "Subwoofer2_L1.res", "Side_Left_L2.res",  "Side_Right_L3.res"};
    for (int pane = 1; pane <= 9; ++pane) EXPECT_EQ(LocationFileName(pane, (pane - 1) % 6), names[pane - 1]);
    EXPECT_EQ(LocationFileName(0, 0), "");
    EXPECT_EQ(LocationFileName(10, 0), "");
    EXPECT_EQ(LocationFileName(1, 6), "");
}

// A capture without a signal has no impulse response: the run stops with "Please Generate Impulse Response
// First", the location stays unmeasured and only its reference display is new.
TEST_F(RoomEqRun, SilentCaptureStoresNothing) {
    CurrentLocation = 4;
    ASSERT_TRUE(BeginLocationRun());
    FinishLiveLocationCapture();
    MessageList out;
    EXPECT_EQ(ProcessLocationRun(50, MlsStartOffset{}, &out), LocationRunOutcome::kNoResponse);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, kNoImpulseResponse);
    EXPECT_FALSE(RoomEqLocationMeasured(RoomEqCurves, 4));
    EXPECT_EQ(RoomEqCurves[4].Values[kRoomEqImpulsePoints], 1.0f);
    EXPECT_EQ(RoomEqCurves[10].Values[kRoomEqImpulsePoints], 0.0f);
    // While audio streams a run does nothing.
    EngineRunning = 1;
    EXPECT_FALSE(BeginLocationRun());
    EngineRunning = 0;
}

// Before a live run plays: a measurement rate off the system's grid, or a window longer than the sequence, is
// told at once. After one: a microphone that delivers nothing names that as the reason; a full run names none.
TEST_F(RoomEqRun, LiveRunFailuresAreToldBeforeAndAfterPlaying) {
    MessageList out;
    EXPECT_TRUE(LocationRunSettingsFit(&out));
    MlsSettings.MlsRateIndex = 0;  // 44.1 kHz against the system's 48
    EXPECT_FALSE(LocationRunSettingsFit(&out));
    MlsSettings.MlsRateIndex = 1;
    CopySettingText(MlsSettings.WindowWidthText, kSettingTextWidth, "262144");
    EXPECT_FALSE(LocationRunSettingsFit(&out));
    CopySettingText(MlsSettings.WindowWidthText, kSettingTextWidth, "30000");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].text, kRatesDoNotFit);
    EXPECT_EQ(out[1].text, kReduceWindowLength);

    GenerateMlsStimulus(CurrentStimulusSettings(), GlobalMlsStimulusBuffers());
    MeasurementRig rig;
    rig.Wire(MlsCaptureBuffer, kMlsCaptureBytes, MlsStimulusBuffer, kMlsStimulusBytes);
    ASSERT_EQ(rig.Start(rig.RoomSettings(0, 48000)), MeasurementStartResult::kStarted);
    rig.DriveInStep();
    ASSERT_TRUE(WaitForMeasurementThreads(rig.run, 20000));
    EXPECT_EQ(LocationRunFailure(rig.run, true), "");
    InMemoryAudioSystem deaf;  // the speaker plays on its own clock, the microphone never delivers
    InMemoryEndpoint& speaker = deaf.AddEndpoint(StreamDirection::Render, L"speaker-out", "Out");
    deaf.AddEndpoint(StreamDirection::Capture, L"mic-in", "In");
    rig.run.Streams = &deaf;
    ASSERT_EQ(StartMeasurementThreads(rig.run, rig.RoomSettings(0, 48000)), MeasurementStartResult::kStarted);
    const Deadline deadline;
    while (rig.render_running.load() && !deadline.Passed()) {
        if (speaker.Started() && WaitFor([&] { return speaker.Releases() > speaker.Ticks() || !speaker.Started(); }, 3000))
            speaker.Tick();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    ASSERT_TRUE(WaitForMeasurementThreads(rig.run, 20000));
    EXPECT_EQ(LocationRunFailure(rig.run, true), kLocationCaptureSilent);
    EXPECT_EQ(LocationRunFailure(rig.run, false), kLocationRunNotEnded);
}

// Opening keeps the locations of the same block size and system rate and clears them after a change of either;
// the threshold bar and its label.
TEST_F(RoomEqRun, OpeningClearsLocationsOfAnotherBlockSizeOrRate) {
    CurrentLocation = 0;
    ASSERT_EQ(LiveRun(10, {1.0}, nullptr), LocationRunOutcome::kStored);
    OpenRoomEqState();
    EXPECT_TRUE(RoomEqLocationMeasured(RoomEqCurves, 0));
    pr_file->tail.HV_Sampling = 0;  // 44.1 kHz, the same block size
    OpenRoomEqState();
    EXPECT_FALSE(RoomEqLocationMeasured(RoomEqCurves, 0));
    pr_file->tail.HV_Sampling = 1;
    OpenRoomEqState();
    ASSERT_EQ(LiveRun(10, {1.0}, nullptr), LocationRunOutcome::kStored);
    HV_Buffer_Size = 2;
    OpenRoomEqState();
    EXPECT_FALSE(RoomEqLocationMeasured(RoomEqCurves, 0));
    EXPECT_EQ(RoomEqBlockSizeMemo, 2u);
    SetEqThreshold(kRoomEqThresholdTop);
    EXPECT_EQ(EqThresholdLabel(), "EQ Threshold = 35 dB");
    EXPECT_EQ(EqThresholdLine[12345], 35);
    SetEqThreshold(500);
    EXPECT_EQ(EqThresholdLabel(), "EQ Threshold = -55 dB");
    SetEqThreshold(kRoomEqThresholdDefault);
    EXPECT_EQ(EqThresholdLabel(), "EQ Threshold = 0 dB");
}

// The capture buffers of the MLS page and the room equalizer: the first window to open allocates them, a window
// that closes while the other is open leaves them (and what they hold) alone, the last one frees them.
TEST(MlsCaptureBuffers, FreedOnlyByTheirLastUser) {
    FreeMlsCaptureBuffers();
    ASSERT_EQ(AcquireMlsCaptureBuffers(), 0);  // the MLS page opens
    ASSERT_NE(MlsSavedBuffer, nullptr);
    MlsSavedBuffer[123] = 7;
    ASSERT_EQ(AcquireMlsCaptureBuffers(), 0);  // the room equalizer opens
    EXPECT_EQ(MlsCaptureBufferUsers(), 2);
    ReleaseMlsCaptureBuffers();                // the page closes first
    ASSERT_NE(MlsSavedBuffer, nullptr);
    EXPECT_EQ(MlsSavedBuffer[123], 7);
    ReleaseMlsCaptureBuffers();
    EXPECT_EQ(MlsSavedBuffer, nullptr);
    EXPECT_EQ(MlsCaptureBuffer, nullptr);
    ReleaseMlsCaptureBuffers();  // one release too many changes nothing
    EXPECT_EQ(MlsCaptureBufferUsers(), 0);
}
