#include "measure/mls_state.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/driver_data.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "measure/resample.h"
#include "platform/threads.h"
#include "tools/driver_repair.h"

int MlsOrder = kMlsMaxOrder;
int32_t RefPeakIndex = 0;
int32_t InPeakIndex = 0;
float RefLevelPeak = 0.0f;
float InLevelPeak = 0.0f;
uint32_t MlsStartTimes[2] = {};
int32_t MlsStartOffsetMs = 0;
uint32_t IrPresent = 0;
uint32_t MlsSplSlot = 0;
uint32_t MlsPhaseSlot = 0;
uint8_t* MlsCaptureBuffer = nullptr;
uint8_t* MlsSavedBuffer = nullptr;
uint32_t MlsSavedCapture24 = 0;
uint32_t MlsSavedRateIndex = 0;
uint32_t MlsSavedLengthIndex = 0;
bool MlsSavedHoldsCapture = false;
float MlsMeterScale = 1.0f / 1200.0f;

namespace {

constexpr int kReferenceTraceSlot = 20;
constexpr int kMeasuredTraceSlot = 21;
constexpr int kReferenceTraceColour = 18;
constexpr int kMeasuredTraceColour = 17;
constexpr int kOrderOfLengthIndex0 = 13;
constexpr float kLiveMeterScale = 1.0f / 1200.0f;  // live runs and 24-bit files
constexpr float kFileMeterScale = 0.001f;          // 16-bit files and imports
constexpr const char* kMlsBuffersUnavailable = "Unable To Allocate MLS Buffers";

void ClearFloats(float* p, std::size_t n) { std::memset(p, 0, n * sizeof(float)); }

void ShowTraces() {
    FillImpulseTrace(&MlsCurves[kReferenceTraceSlot], MlsImpulseRef, ColourScheme[kReferenceTraceColour]);
    FillImpulseTrace(&MlsCurves[kMeasuredTraceSlot], MlsImpulseIn, ColourScheme[kMeasuredTraceColour]);
}

MlsAnalysisResult AnalyseCapture(uint32_t capture24, const MlsStartOffset& offset) {
    MlsLevels levels;
    const MlsAnalysisResult r = AnalyseMlsCapture(MlsCaptureBuffer, kMlsCaptureBytes, CurrentSplitSettings(capture24),
                                                  offset, MlsOrder, MlsImpulseRef, MlsImpulseIn,
                                                  GlobalMlsDeconvolutionBuffers(), &levels);
    RefLevelPeak = levels.ref;
    InLevelPeak = levels.in;
    MlsStartOffsetMs = offset.offset_ms;
    RefPeakIndex = r.ref_peak;
    InPeakIndex = r.in_peak;
    ShowTraces();
    return r;
}

}  // namespace

void KeepMlsSavedCapture(uint32_t capture24) {
    std::memcpy(MlsSavedBuffer, MlsCaptureBuffer, MlsSavedBytes(capture24));
    MlsSavedCapture24 = capture24 ? 1 : 0;
    MlsSavedRateIndex = MlsSettings.MlsRateIndex;
    MlsSavedLengthIndex = MlsSettings.MlsLengthIndex;
    MlsSavedHoldsCapture = true;
}

int AllocateMlsCaptureBuffers() {
    if (!MlsCaptureBuffer) MlsCaptureBuffer = static_cast<uint8_t*>(std::calloc(kMlsCaptureBytes, 1));
    if (!MlsSavedBuffer) {
        MlsSavedBuffer = static_cast<uint8_t*>(std::calloc(kMlsCaptureBytes, 1));
        MlsSavedHoldsCapture = false;  // a fresh buffer holds zeros, no measurement
    }
    if (MlsCaptureBuffer && MlsSavedBuffer) return 0;
    FreeMlsCaptureBuffers();
    return 1;
}

void FreeMlsCaptureBuffers() {
    std::free(MlsCaptureBuffer);
    std::free(MlsSavedBuffer);
    MlsCaptureBuffer = nullptr;
    MlsSavedBuffer = nullptr;
    MlsSavedHoldsCapture = false;
}

namespace {
int g_capture_buffer_users = 0;
}  // namespace

int AcquireMlsCaptureBuffers() {
    if (AllocateMlsCaptureBuffers() != 0) return 1;
    ++g_capture_buffer_users;
    return 0;
}

void ReleaseMlsCaptureBuffers() {
    if (g_capture_buffer_users > 0 && --g_capture_buffer_users == 0) FreeMlsCaptureBuffers();
}

int MlsCaptureBufferUsers() { return g_capture_buffer_users; }

MlsTables GlobalMlsTables() {
    return MlsTables{reinterpret_cast<uint32_t*>(MlsSequenceBits), MlsPermutationTables[0], MlsPermutationTables[1]};
}

MlsStimulusBuffers GlobalMlsStimulusBuffers() {
    MlsStimulusBuffers b;
    b.tables = GlobalMlsTables();
    b.stimulus = MlsStimulusBuffer;
    b.hadamard = HadamardWorkBuffer;
    b.emphasis = OverlapTail[0];  // no engine stream runs during a measurement
    b.reversed = MlsImpulseRef;   // filled by the run afterwards
    b.fft = FftTables{FftBitReverseTable, FftTwiddleTable};
    return b;
}

MlsDeconvolutionBuffers GlobalMlsDeconvolutionBuffers() {
    MlsDeconvolutionBuffers b;
    b.tables = GlobalMlsTables();
    b.hadamard = HadamardWorkBuffer;
    b.pass = FftWorkBuffer;
    b.raw = IrWindow;  // rebuilt as the window before it is used as one
    return b;
}

SplBuffers GlobalSplBuffers() {
    SplBuffers b;
    b.impulse_ref = MlsImpulseRef;
    b.impulse_in = MlsImpulseIn;
    b.impulse_entries = kMlsImpulseFloats;
    b.ir_window = IrWindow;
    b.ir_window_two_sided = TwoSidedIrWindow;
    b.spectrum = FftWorkBuffer;
    b.re = MeasurementWorkBuffers[0];
    b.im = MeasurementWorkBuffers[1];
    b.copy = MeasurementWorkBuffers[2];
    b.ref_bin_phase = MeasurementWorkBuffers[3];
    b.ref_bin_normaliser = RefBinNormaliser;
    b.ref_log_normaliser = RefLogNormaliser;
    b.ref_log_response = MlsLogWorkCurves[0];
    b.meas_log_response = MlsLogWorkCurves[1];
    b.log_frequency = LogFrequencyTable;
    b.mike_cal = reinterpret_cast<const CalPoint*>(MikeCalCurve);
    b.preamp_cal = reinterpret_cast<const CalPoint*>(PreampCalCurve);
    b.driver = CurrentDriver;
    b.mls_curves = MlsCurves;
    b.spl_slot = &MlsSplSlot;
    b.phase_slot = &MlsPhaseSlot;
    b.colours = ColourScheme;
    b.fft = FftTables{FftBitReverseTable, FftTwiddleTable};
    return b;
}

double MlsSampleRate() { return SampleRateOf(MlsSettings.MlsRateIndex); }

MlsStimulusSettings CurrentStimulusSettings() {
    MlsStimulusSettings s;
    s.order = MlsOrder;
    s.level = MlsSettings.MlsOutputLevel;
    s.capture24 = Capture24Bit ? 1 : 0;
    s.output_delay = SettingTextInteger(MlsOutputDelayText);
    s.pre_emphasis_ms = SettingTextNumber(MlsSettings.PreEmphasisText);
    s.pre_emphasis_both = MlsSettings.BothChannels;
    s.sample_rate = MlsSampleRate();
    return s;
}

MlsSplitSettings CurrentSplitSettings(uint32_t capture24) {
    MlsSplitSettings s;
    s.capture24 = capture24 ? 1 : 0;
    s.delay_read = MlsDelayReadSamples(MlsSettings.AcquisitionFlag, MlsSettings.DelayReadText, MlsSampleRate());
    s.ref_polarity = MlsReferencePolarity;
    s.data_polarity = MlsDataPolarity;
    return s;
}

SplSettings CurrentSplSettings(int32_t cursor_bin) {
    SplSettings s;
    s.ref_peak = RefPeakIndex;
    s.in_peak = InPeakIndex;
    s.order = MlsOrder;
    s.sample_rate = MlsSampleRate();
    s.window_type = MlsSettings.WindowTypeIndex;
    s.window_width = MlsSettings.WindowWidthText;
    s.cursor_bin = cursor_bin;
    // As typed (atof, 0 for no number): Calculate SPL refuses a delay or a level outside its range with its
    // message, where one that no float holds would turn the spectrum or the curves into NaN.
    s.pulse_delay_ms = std::strtod(MlsSettings.PulseDelayText, nullptr);
    s.cplx_smoothing = MlsSettings.AcquisitionListIndex;
    s.spl_smoothing = MlsSettings.SplSmoothingIndex;
    s.add_db = std::strtod(MlsSettings.AddDbToSplText, nullptr);
    s.efficiency_db = DriverEfficiency(*CurrentDriver);
    s.use_mike_cal = MlsSettings.MikeCalUse;
    s.use_preamp_cal = MlsSettings.PreampCalUse;
    s.system_bin_spacing = BinFrequencyTable[1];
    return s;
}

bool BeginMlsRun() {
    ClearFloats(MeasurementWorkBuffers[0], kMlsPassEntries);
    ClearFloats(MeasurementWorkBuffers[1], kMlsPassEntries);
    if (EngineRunning.load() != 0) return false;
    IrPresent = 1;
    for (float* b : {HadamardWorkBuffer, FftWorkBuffer, IrWindow, TwoSidedIrWindow, MlsImpulseRef, MlsImpulseIn})
        ClearFloats(b, kMlsChannelSpan);
    std::memset(MlsStimulusBuffer, 0, kMlsStimulusBytes / 2);
    for (int j = 0; j < kSplLogPoints; ++j) {
        CurrentDriver->spl_log[j] = 1.0f;
        CurrentDriver->phase_log[j] = 0.0f;
        RefLogNormaliser[j] = 0.0f;
    }
    ClearFloats(MlsLogWorkCurves[0], 2 * kSplLogPoints);
    ClearFloats(MlsLogWorkCurves[1], 2 * kSplLogPoints);
    // The responses are gone, and with them what the peaks and the stamps described.
    RefPeakIndex = InPeakIndex = 0;
    MlsStartTimes[0] = MlsStartTimes[1] = 0;
    if (MlsCaptureBuffer) std::memset(MlsCaptureBuffer, 0, kMlsCaptureBytes);
    return true;
}

MlsAnalysisResult FinishLiveMlsRun(bool stamps_valid, bool complete) {
    const uint32_t capture24 = Capture24Bit ? 1 : 0;
    if (complete) KeepMlsSavedCapture(capture24);
    MlsMeterScale = kLiveMeterScale;
    const MlsStartOffset offset = MlsStartOffsetOf(MlsStartTimes, MillisecondsPerTick(CurrentPerformanceCounter()),
                                                   MlsSampleRate(), stamps_valid);
    return AnalyseCapture(capture24, offset);
}

bool LoadMlsResRun(const std::string& path, MessageList* out, MlsAnalysisResult* result) {
    if (AllocateMlsCaptureBuffers() != 0) {
        AddWarning(out, kMlsBuffersUnavailable);
        return false;
    }
    ResFileInfo info;
    if (ReadResFile(path, Capture24Bit, MlsCaptureBuffer, kMlsCaptureBytes, &info, out) != ResReadStatus::kLoaded)
        return false;
    MlsSettings.MlsRateIndex = info.rate_index;
    MlsSettings.MlsLengthIndex = info.length_index;
    MlsOrder = static_cast<int>(info.length_index) + kOrderOfLengthIndex0;
    MlsStimulusBuffers b = GlobalMlsStimulusBuffers();
    GenerateMls(MlsOrder, MlsSettings.MlsOutputLevel, SettingTextInteger(MlsOutputDelayText), b);
    KeepMlsSavedCapture(info.capture24);
    MlsMeterScale = info.capture24 ? kLiveMeterScale : kFileMeterScale;
    // A file is split on the live run's scale, so that it analyses to the level the run did.
    const MlsAnalysisResult r = AnalyseCapture(info.capture24, MlsStartOffset{});
    if (result) *result = r;
    return true;
}

bool MlsIrSavable(MessageList* out) {
    if (EngineRunning.load() != 0 || IrPresent != 1 || !MlsSavedBuffer) return false;
    if (!MlsSavedHoldsCapture) {
        // An import or a run that captured nothing left no measurement here: a file of zeros would read as one.
        AddWarning(out, kMlsNoCaptureToSave);
        return false;
    }
    return true;
}

int SaveMlsIr(const std::string& path, MessageList* out) {
    if (!MlsIrSavable(out)) return 0;
    return WriteResFile(path, MlsSavedBuffer, MlsSavedCapture24, MlsSavedRateIndex, MlsSavedLengthIndex, out);
}

void ApplyWavImport(const ImpulseWav& wav, int channel, MessageList* out) {
    const ImpulseImport r = ImportImpulseWav(wav, channel, MlsImpulseRef, MlsImpulseIn, kMlsImpulseFloats, out);
    RefPeakIndex = InPeakIndex = 1;
    RefLevelPeak = r.ref_level;
    InLevelPeak = r.in_level;
    MlsMeterScale = kFileMeterScale;
    ShowTraces();
}

bool ImportTextRun(const std::string& path, MessageList* out) {
    ImpulseImport r;
    if (!ImportImpulseText(path, MlsImpulseRef, MlsImpulseIn, kMlsImpulseFloats, &r, out)) return false;
    RefPeakIndex = InPeakIndex = 1;
    RefLevelPeak = r.ref_level;
    InLevelPeak = r.in_level;
    MlsMeterScale = kFileMeterScale;
    ShowTraces();
    return true;
}

void ResampleImpulsesTo44k(uint32_t upsample_decimate) {
    auto* work = reinterpret_cast<float*>(MlsWorkBuffer);
    for (float* channel : {MlsImpulseRef, MlsImpulseIn}) {
        if (upsample_decimate == 1)
            ResampleHoldAndPick(channel);
        else
            ResampleLinear(channel, MlsOrder, work);
    }
    ShowTraces();
    MlsSettings.MlsRateIndex = 0;
}

MlsMeterValues CurrentMeterValues() { return MlsMeterValues{RefLevelPeak * MlsMeterScale, InLevelPeak * MlsMeterScale}; }

SplResult CalculateSplNow(int32_t cursor_bin, MessageList* out) {
    return CalculateSpl(CurrentSplSettings(cursor_bin), GlobalSplBuffers(), out);
}
