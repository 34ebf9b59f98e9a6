#include "measure/room_eq_state.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "design/pane_editor.h"
#include "measure/mls_state.h"
#include "measure/res_file.h"
#include "measure/room_eq_controls.h"
#include "measure/room_eq_run.h"

int CurrentLocation = 0;
int EqThreshold = kRoomEqThresholdDefault;
int32_t EqThresholdLine[kRoomEqGridBins] = {};
uint32_t ShowMeasuredPhase = 1;
uint32_t ShowRoomEqPhase = 1;
uint32_t ShowRoomEqSpl = 1;
uint32_t ShowEqualizedSpl = 1;
uint32_t RoomEqBlockSizeMemo = 0;
uint32_t RoomEqRateMemo = 0;
float LevelPeakRef = 0.0f;
float LevelPeakIn = 0.0f;
float RoomEqMeterScale = kLocationMeterScale24;
FrequencyRange RoomEqAxisRange = {3, 6};
float RoomEqPlotFrequencyTable[kRoomEqPlotColumns] = {};
float MinPhaseInputDb[kRoomEqGridBins] = {};

namespace {

constexpr uint32_t kRoomRateIndex = 1;    // 48000 Hz
constexpr uint32_t kRoomLengthIndex = 5;  // "262143"
constexpr int kOrderOfLengthIndex0 = 13;
constexpr uint32_t kRoomWindowType = 0;
constexpr int kLastLocationCurveSlot = kRoomEqAveragePhaseSlot;  // slots 0..33 go with a block size

void ClearFloats(float* p, std::size_t n) { std::memset(p, 0, n * sizeof(float)); }

// Every message of a location run carries the room equalizer's caption.
void UseRoomEqCaption(MessageList* out, std::size_t from) {
    if (!out) return;
    for (std::size_t i = from; i < out->size(); ++i) (*out)[i].caption = kHvCaption;
}

void ConvertCapture(uint32_t capture24) {
    const MlsLevels levels =
        SplitMlsCapture(MlsCaptureBuffer, kMlsCaptureBytes, LocationSplitSettings(capture24, MlsReferencePolarity,
                                                                                   MlsDataPolarity),
                        MlsImpulseRef, MlsImpulseIn);
    LevelPeakRef = levels.ref;
    LevelPeakIn = levels.in;
    RoomEqMeterScale = LocationMeterScale(capture24);
}

bool EditedElementValid() { return WorkingNet && SelectedElement >= 0 && SelectedElement < kMaxElements; }

}  // namespace

RoomEqBuffers GlobalRoomEqBuffers() {
    RoomEqBuffers b;
    b.curves = RoomEqCurves;
    b.bin_frequency = BinFrequencyTable;
    b.block_frames = BlockFrames;
    b.buffer_size_index = HV_Buffer_Size;
    b.colours = ColourScheme;
    b.spectrum_table = RoomEqSpectrumTable;
    b.reference_db = RefBinNormaliser;             // the reference's level correction per bin
    b.reference_phase = MeasurementWorkBuffers[3];  // the reference's phase per bin
    b.fft = FftWorkBuffer;
    b.fft_tables = FftTables{FftBitReverseTable, FftTwiddleTable};
    b.ir_window = IrWindow;
    b.ir_window_shape = TwoSidedIrWindow;
    b.min_phase_db = MinPhaseInputDb;
    b.min_phase_spectrum = MinPhaseWorkSpectrum;
    return b;
}

void OpenRoomEqState() {
    RoomEqAxisRange = FrequencyRange{3, 6};
    CurrentLocation = 0;
    MlsSettings.MlsRateIndex = kRoomRateIndex;
    MlsSettings.MlsLengthIndex = kRoomLengthIndex;
    MlsOrder = static_cast<int>(kRoomLengthIndex) + kOrderOfLengthIndex0;
    MlsSettings.WindowTypeIndex = kRoomWindowType;
    ShowMeasuredPhase = 1;
    const double fmin = AxisLowestFrequency(RoomEqAxisRange.lowest);
    const double fmax = AxisHighestFrequency(RoomEqAxisRange.highest);
    for (int i = 0; i < kRoomEqPlotColumns; ++i)
        RoomEqPlotFrequencyTable[i] = static_cast<float>(fmin * std::pow(fmax / fmin, (i + 1) / 2000.0));
    // Locations measured with another block size or at another system rate lie on another grid: kept, their
    // modes would be cut at frequencies scaled by the ratio of the rates.
    const uint32_t rate = pr_file ? pr_file->tail.HV_Sampling : RoomEqRateMemo;
    if (RoomEqBlockSizeMemo != HV_Buffer_Size || RoomEqRateMemo != rate) {
        ClearRoomEqCurves(RoomEqCurves, 0, kLastLocationCurveSlot);
        ClearFloats(MinPhaseInputDb, kRoomEqGridBins);
    }
    RoomEqBlockSizeMemo = HV_Buffer_Size;
    RoomEqRateMemo = rate;
    SetEqThreshold(EqThreshold);
}

void SetEqThreshold(int position) {
    EqThreshold = position < kRoomEqThresholdTop ? kRoomEqThresholdTop
                  : position > kRoomEqThresholdBottom ? kRoomEqThresholdBottom
                                                      : position;
    const int32_t t = kRoomEqThresholdDefault - EqThreshold;
    for (int32_t& v : EqThresholdLine) v = t;
}

std::string EqThresholdLabel() {
    char text[48];
    std::snprintf(text, sizeof text, "EQ Threshold = %d dB", kRoomEqThresholdDefault - EqThreshold);
    return text;
}

void ClearAllRoomEqData() {
    ClearRoomEqCurves(RoomEqCurves, 0, kRoomEqCurveCount - 1);
    CurrentLocation = 0;
    LevelPeakRef = LevelPeakIn = 0.0f;
}

bool BeginLocationRun() {
    ClearFloats(MeasurementWorkBuffers[0], kMlsPassEntries);
    ClearFloats(MeasurementWorkBuffers[1], kMlsPassEntries);
    if (EngineRunning.load() != 0) return false;
    for (float* b : {HadamardWorkBuffer, FftWorkBuffer, IrWindow, MlsImpulseRef, MlsImpulseIn})
        ClearFloats(b, kMlsChannelSpan);
    std::memset(MlsStimulusBuffer, 0, kMlsStimulusBytes / 2);
    // What a failed run leaves in the capture is never analysed; start it from silence all the same.
    if (MlsCaptureBuffer) std::memset(MlsCaptureBuffer, 0, kMlsCaptureBytes);
    return true;
}

bool LocationRunSettingsFit(MessageList* out) {
    return CheckLocationRunSettings(MlsOrder, MlsSettings.MlsRateIndex, MlsSettings.WindowWidthText,
                                    BinFrequencyTable[1], nullptr, out) == 0;
}

std::string LocationRunFailure(const MeasurementRun& run, bool ended) {
    const int32_t capture = run.CaptureResult.load(), render = run.RenderResult.load();
    if (!ended) return kLocationRunNotEnded;
    if (!HrSucceeded(capture) || !HrSucceeded(render)) return kLocationDeviceFailed;
    if (capture == kMeasurementTimeoutResult) return kLocationCaptureSilent;
    if (render == kMeasurementTimeoutResult) return kLocationRenderSilent;
    if (!MeasurementRunComplete(run)) return kLocationCaptureShort;
    return {};
}

void FinishLiveLocationCapture() {
    const uint32_t capture24 = Capture24Bit ? 1 : 0;
    KeepMlsSavedCapture(capture24);
    ConvertCapture(capture24);
}

bool LoadLocationCapture(const std::string& path, MessageList* out) {
    const std::size_t first = out ? out->size() : 0;
    if (AllocateMlsCaptureBuffers() != 0) {
        AddWarning(out, kAllocationFailed);
        return false;
    }
    ResFileInfo info;
    const ResReadStatus status = ReadResFile(path, Capture24Bit, MlsCaptureBuffer, kMlsCaptureBytes, &info, out);
    UseRoomEqCaption(out, first);
    if (status != ResReadStatus::kLoaded) return false;
    MlsSettings.MlsRateIndex = info.rate_index;
    MlsSettings.MlsLengthIndex = info.length_index;
    MlsOrder = static_cast<int>(info.length_index) + kOrderOfLengthIndex0;
    GenerateMls(MlsOrder, MlsSettings.MlsOutputLevel, SettingTextInteger(MlsOutputDelayText), GlobalMlsStimulusBuffers());
    KeepMlsSavedCapture(info.capture24);
    ConvertCapture(info.capture24);
    return true;
}

LocationRunOutcome ProcessLocationRun(int32_t cursor, const MlsStartOffset& offset, MessageList* out) {
    const int location = CurrentLocation < 0 ? 0 : CurrentLocation >= kRoomEqLocationCount ? kRoomEqLocationCount - 1
                                                                                           : CurrentLocation;
    MlsStartOffsetMs = offset.offset_ms;
    ShiftMlsChannels(MlsImpulseRef, MlsImpulseIn, offset.shift);
    const LocationDeconvolution d =
        DeconvolveLocation(MlsImpulseRef, MlsImpulseIn, MlsOrder, GlobalMlsDeconvolutionBuffers(),
                           &RoomEqCurves[kRoomEqReferenceImpulseSlot + location],
                           &RoomEqCurves[kRoomEqMeasuredImpulseSlot + location], ColourScheme);
    RefPeakIndex = d.ref_peak;
    InPeakIndex = d.in_peak;
    if (!d.aligned) {
        AddWarning(out, kNoImpulseResponse);
        return LocationRunOutcome::kNoResponse;
    }
    if (!EditedElementValid() || !RoomEqParamsInRange(WorkingNet->params[SelectedElement].p, out))
        return LocationRunOutcome::kNotAnalysed;
    const float* p = WorkingNet->params[SelectedElement].p;
    LocationAnalysisSettings s;
    s.order = MlsOrder;
    s.rate_index = MlsSettings.MlsRateIndex;
    s.window_type = MlsSettings.WindowTypeIndex;
    s.window_width = MlsSettings.WindowWidthText;
    s.cursor = cursor;
    s.added_delay_ms = p[kParamChannelDelay];  // p11
    s.added_db = p[kParamOutputGain];          // p13
    s.location = location;
    if (AnalyseLocationRun(MlsImpulseRef, MlsImpulseIn, s, GlobalRoomEqBuffers(), out) != 0)
        return LocationRunOutcome::kNotAnalysed;
    ComputeRoomEqNow(out);  // the location is stored either way; its message tells of an EQ it refused
    return LocationRunOutcome::kStored;
}

int WriteLocationFile(const std::string& directory, int pane, int location, MessageList* out) {
    const std::string name = LocationFileName(pane, location);
    if (name.empty() || !MlsSavedBuffer) return 0;
    const std::size_t first = out ? out->size() : 0;
    const int rc = WriteResFile(directory + name, MlsSavedBuffer, MlsSavedCapture24, MlsSavedRateIndex,
                                MlsSavedLengthIndex, out);
    UseRoomEqCaption(out, first);
    return rc;
}

RoomEqMeterValues CurrentRoomEqMeterValues() {
    return RoomEqMeterValues{LevelPeakIn * RoomEqMeterScale, LevelPeakRef * RoomEqMeterScale};
}

bool ComputeRoomEqNow(MessageList* out) {
    if (!EditedElementValid() || !RoomEqParamsInRange(WorkingNet->params[SelectedElement].p, out)) return false;
    if (ComputeRoomEq(*WorkingNet, SelectedElement, EqThreshold, GlobalRoomEqBuffers())) return true;
    AddWarning(out, kRoomEqNotFinite);
    return false;
}

bool StoreRoomEqResponseNow(MessageList* out) {
    if (!EditedElementValid() || !RoomEqParamsInRange(WorkingNet->params[SelectedElement].p, out)) return false;
    if (StoreRoomEqResponse(WorkingNet, SelectedElement, RoomEqCurves)) return true;
    AddWarning(out, kRoomEqNotFinite);
    return false;
}
