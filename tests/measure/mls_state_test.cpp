#include "measure/mls_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "app/driver_data.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/raw_file.h"
#include "app/settings.h"
#include "app/startup.h"
#include "mls_test_buffers.h"
#include "mls_test_support.h"
#include "test_util.h"

namespace {

struct MeasurementPage : ::testing::Test {
    ScratchDir dir;
    void SetUp() override {
        MessageList messages;
        ASSERT_TRUE(StartRecords(dir.Path().string() + "/", &messages));
        ASSERT_EQ(AllocateMlsCaptureBuffers(), 0);
        RebuildBinGrid(1, 3);  // 48 kHz, N = 4096
        MlsOrder = 18;
        MlsSettings.MlsRateIndex = 1;
        MlsSettings.MlsLengthIndex = 5;
        MlsSplSlot = MlsPhaseSlot = 0;
    }
    void TearDown() override {
        FreeMlsCaptureBuffers();
        ReleaseRecords();
        Capture24Bit = 0;
    }

    // A text-imported run: a reference pulse and a measured one of a tenth, at entry 52.
    void ImportPulse() {
        const std::string path = dir.File("pulse.txt");
        {
            std::ofstream f(path);
            for (int k = 0; k < 52; ++k) f << "0\n";
            f << "0.1\n";
            for (int k = 0; k < 40; ++k) f << "0\n";
        }
        ASSERT_TRUE(BeginMlsRun());
        ASSERT_TRUE(ImportTextRun(path, nullptr));
    }
    void ExpectPulseLevelAndPhase() {
        for (int k = 1; k < 16000; ++k) {  // the top bins roll off toward the grid's end
            ASSERT_NEAR(CurrentDriver->spl_lin[k], 20.0 * std::log10(0.1 * 400000.0), 0.02) << k;
            ASSERT_NEAR(CurrentDriver->phase_lin[k], 0.0, 0.05) << k;
        }
    }

    // A live run through the loop-back, as the thread pair would leave it.
    void LiveRun(int delay, double gain) {
        ASSERT_TRUE(BeginMlsRun());
        GenerateMlsStimulus(CurrentStimulusSettings(), GlobalMlsStimulusBuffers());
        const std::vector<uint8_t> capture = PlayThroughLoopback(MlsStimulusBuffer, Capture24Bit, 48000, delay, {gain});
        std::memcpy(MlsCaptureBuffer, capture.data(), capture.size());
        FinishLiveMlsRun(false);
    }
};

}  // namespace

// A 24-bit run saved as a *.RES file and loaded again analyses to the same responses and the same level as the
// live run: the file is split on the live run's 1/102 scale.
TEST_F(MeasurementPage, SavedAndReloadedRunAnalysesToTheLiveLevel) {
    Capture24Bit = 1;
    LiveRun(20, 0.5);
    EXPECT_EQ(RefPeakIndex, 100);
    EXPECT_EQ(InPeakIndex, 120);
    const double M = 21346816.0 * 10 / 256.0 / 102.0;
    EXPECT_NEAR(MlsImpulseRef[kMlsAlignedPeak], M, 0.01 * M);
    EXPECT_FLOAT_EQ(RefLevelPeak, static_cast<float>(M));
    EXPECT_EQ(MlsCurves[20].Values[2000], 1.0f);  // the traces of the impulse window
    EXPECT_EQ(MlsCurves[21].Values[kMlsAlignedPeak + 20], 0.01f * MlsImpulseIn[kMlsAlignedPeak + 20]);
    const std::vector<float> live_in(MlsImpulseIn, MlsImpulseIn + 300000);
    ASSERT_EQ(CalculateSplNow(50, nullptr), SplResult::kStored);
    const std::vector<float> live_spl(CurrentDriver->spl_lin, CurrentDriver->spl_lin + 16384);
    const std::vector<float> live_log(CurrentDriver->spl_log, CurrentDriver->spl_log + 3100);
    // Measured over reference is a flat 1/2, raised by the reference's largest level (about M: the one-shot
    // sequence leaves a little ripple on its spectrum).
    EXPECT_NEAR(live_spl[1000], 20.0 * std::log10(0.5 * M), 0.5);
    for (int k = 100; k < 16000; k += 50) ASSERT_NEAR(live_spl[k], live_spl[1000], 0.05) << k;

    const std::string path = dir.File("run.res");
    MessageList out;
    ASSERT_EQ(SaveMlsIr(path, &out), 1);
    EXPECT_EQ(RawFileSize(path), 2108007);

    MlsStartTimes[0] = 5, MlsStartTimes[1] = 500000;
    ASSERT_TRUE(BeginMlsRun());
    EXPECT_EQ(RefPeakIndex, 0);
    EXPECT_EQ(MlsStartTimes[1], 0u);  // a run never reuses another run's stamps
    for (std::size_t b = 0; b < kMlsCaptureBytes; b += 4093) ASSERT_EQ(MlsCaptureBuffer[b], 0) << b;
    EXPECT_EQ(CalculateSplNow(50, &out), SplResult::kNoImpulse);
    ASSERT_TRUE(LoadMlsResRun(path, &out, nullptr));
    EXPECT_EQ(RefPeakIndex, 100);
    EXPECT_EQ(InPeakIndex, 120);
    EXPECT_EQ(MlsSavedCapture24, 1u);
    EXPECT_FLOAT_EQ(CurrentMeterValues().ref, static_cast<float>(M / 1200.0));  // as after the live run
    for (int k = 0; k < 300000; ++k) ASSERT_EQ(MlsImpulseIn[k], live_in[k]) << k;
    ASSERT_EQ(CalculateSplNow(50, nullptr), SplResult::kStored);
    for (int k = 0; k < 16384; ++k) ASSERT_EQ(CurrentDriver->spl_lin[k], live_spl[k]) << k;
    for (int j = 0; j < 3100; ++j) ASSERT_EQ(CurrentDriver->spl_log[j], live_log[j]) << j;
    EXPECT_EQ(MlsSplSlot, 2u);
}

// The width saved is the width captured, whatever the setting says by the time Save IR is pressed.
TEST_F(MeasurementPage, SaveWritesTheWidthOfTheCapture) {
    Capture24Bit = 0;
    LiveRun(5, 1.0);
    Capture24Bit = 1;
    const std::string path = dir.File("sixteen.res");
    ASSERT_EQ(SaveMlsIr(path, nullptr), 1);
    EXPECT_EQ(RawFileSize(path), 1054007);
    MessageList out;
    ASSERT_TRUE(BeginMlsRun());
    EXPECT_FALSE(LoadMlsResRun(path, &out, nullptr));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "MLS  Is Set To 24bit");
    // While the engine streams, Save IR does nothing.
    EngineRunning = 1;
    EXPECT_EQ(SaveMlsIr(dir.File("busy.res"), nullptr), 0);
    EXPECT_FALSE(BeginMlsRun());
    EngineRunning = 0;
    EXPECT_LT(RawFileSize(dir.File("busy.res")), 0);
}

// The rate and length written are those of the capture, not what the lists say by the time Save IR is pressed
// (the rate list changed afterwards, or the room equalizer having set its own): the file loads back as it was
// measured.
TEST_F(MeasurementPage, SaveWritesTheRateAndLengthOfTheCapture) {
    LiveRun(5, 1.0);
    MlsSettings.MlsRateIndex = 2;
    MlsSettings.MlsLengthIndex = 1;
    const std::string path = dir.File("measured.res");
    ASSERT_EQ(SaveMlsIr(path, nullptr), 1);
    MessageList out;
    ASSERT_TRUE(BeginMlsRun());
    ASSERT_TRUE(LoadMlsResRun(path, &out, nullptr));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(MlsSettings.MlsRateIndex, 1u);
    EXPECT_EQ(MlsSettings.MlsLengthIndex, 5u);
    EXPECT_EQ(MlsOrder, 18);
    EXPECT_EQ(RefPeakIndex, 100);
}

// A text impulse response against its synthetic reference pulse: the level follows the 400,000 scale.
TEST_F(MeasurementPage, TextImportThenCalculateSplAndResampling) {
    ASSERT_NO_FATAL_FAILURE(ImportPulse());
    EXPECT_EQ(RefPeakIndex, 1);
    EXPECT_EQ(MlsImpulseRef[52], 32500.0f);
    // The meters take the reference first, after an import as after a run.
    EXPECT_FLOAT_EQ(CurrentMeterValues().ref, 32.5f);
    EXPECT_FLOAT_EQ(CurrentMeterValues().in, 40.0f);
    ASSERT_EQ(CalculateSplNow(50, nullptr), SplResult::kStored);
    EXPECT_NEAR(CurrentDriver->spl_lin[1000], 20.0 * std::log10(0.1 * 400000.0), 0.02);
    EXPECT_NEAR(CurrentDriver->phase_lin[1000], 0.0, 0.05);

    ResampleImpulsesTo44k(1);
    EXPECT_EQ(MlsSettings.MlsRateIndex, 0u);
    EXPECT_EQ(MlsImpulseIn[50], 0.0f);
    EXPECT_EQ(MlsImpulseIn[50 + 2], 40000.0f);  // old entry 52 = 50 + floor(160 x 2 / 147)
}

// "Add dB To SPL" and the pulse delay as typed: a value outside its range, or no float at all ("1e39", "nan"), is
// refused with its message before anything changes; inside it, the level is raised by what was typed.
TEST_F(MeasurementPage, TypedAddDbAndPulseDelayAreRangeChecked) {
    ASSERT_NO_FATAL_FAILURE(ImportPulse());
    const uint64_t before = Digest(CurrentDriver, sizeof(HV_Driver_Data));
    MessageList out;
    for (const char* db : {"1e39", "nan", "10000", "-201"}) {
        CopySettingText(MlsSettings.AddDbToSplText, sizeof MlsSettings.AddDbToSplText, db);
        EXPECT_EQ(CalculateSplNow(50, &out), SplResult::kOutOfRange) << db;
    }
    CopySettingText(MlsSettings.AddDbToSplText, sizeof MlsSettings.AddDbToSplText, "0.0");
    CopySettingText(MlsSettings.PulseDelayText, sizeof MlsSettings.PulseDelayText, "1e308");
    EXPECT_EQ(CalculateSplNow(50, &out), SplResult::kOutOfRange);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].text, "Add dB To SPL Is Out Of Range (-200.....+200dB)");
    EXPECT_EQ(out[4].text, "Pulse Delay Is Out Of Range (-1000.....+1000ms)");
    EXPECT_EQ(Digest(CurrentDriver, sizeof(HV_Driver_Data)), before);
    CopySettingText(MlsSettings.PulseDelayText, sizeof MlsSettings.PulseDelayText, "0.0");
    CopySettingText(MlsSettings.AddDbToSplText, sizeof MlsSettings.AddDbToSplText, "-200");
    ASSERT_EQ(CalculateSplNow(50, nullptr), SplResult::kStored);
    EXPECT_NEAR(CurrentDriver->spl_lin[1000], 20.0 * std::log10(0.1 * 400000.0) - 200.0, 0.02);
}
