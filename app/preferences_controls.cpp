#include "app/preferences_controls.h"

#include <cstring>

#include "app/driver_data.h"
#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/preferences.h"
#include "app/system_record.h"

uint32_t CenterToLr = 0;

const char* const SampleRateNames[3] = {"44100", "48000", "96000"};
const char* const BlockSizeNames[4] = {"512 samples", "1024 samples", "2048 samples", "4096 samples"};
const char* const OutputQueueNames[5] = {"No Buffers", "1 Buffer", "2 Buffers", "3 Buffers", "4 Buffers"};

namespace {

constexpr int kInputBoxes[4] = {kPrefInputs12, kPrefInputs112, kPrefInputs18, kPrefInputs16};
constexpr int kOutputBoxes[3] = {kPrefOutputs8, kPrefOutputs16, kPrefOutputs8Spdif};
constexpr int kBassBoxes[4] = {kPrefBassStandard, kPrefBassBbmInput, kPrefBassSummed, kPrefBassBbmOutput};
constexpr int kMlsBitBoxes[2] = {kPref16BitMls, kPref24BitMls};

// Edits of the live-key fields, by field: 0..3 rear, 4..6 tweeters, 8..9 the BBM sources, 10..13 subs.
struct LiveKeyEdit {
    int id, field;
};
constexpr LiveKeyEdit kLiveKeyEdits[] = {
    {10152, 0}, {10154, 1}, {10153, 2}, {10155, 3}, {10158, 4}, {10159, 5},  {10160, 6},
    {10042, 8}, {10043, 9}, {10054, 10}, {10055, 11}, {10060, 12}, {10061, 13},
};

constexpr float kPhaseReferenceFloor = 1e-7f;

template <std::size_t N>
int IndexIn(const int (&ids)[N], int id) {
    for (std::size_t i = 0; i < N; ++i)
        if (ids[i] == id) return static_cast<int>(i);
    return -1;
}

}  // namespace

PreferencesTargets GlobalPreferencesTargets() {
    PreferencesTargets t;
    t.record = Preferences;
    t.tail = pr_file ? &pr_file->tail : nullptr;
    t.driver = CurrentDriver;
    return t;
}

GridTargets GlobalGridTargets() {
    GridTargets g;
    g.binFrequencies = BinFrequencyTable;
    g.blockFrames = &BlockFrames;
    g.curves = PlotCurveTable;
    g.curveCount = kPlotCurveSlots;
    g.outputSpectrum = OutputSpectrum;
    g.phaseReference = PhaseReferenceSpectrum;
    g.impulseResponses = OutputImpulseResponse;
    g.outputs = kOutputCount;
    return g;
}

bool RefusedWhileStreaming(int id) {
    return IndexIn(kInputBoxes, id) >= 0 || IndexIn(kOutputBoxes, id) >= 0 || IndexIn(kBassBoxes, id) >= 0 ||
           id == kPrefSampleRateList || id == kPrefBlockSizeList || id == kPrefQueueList;
}

uint32_t ToggleOneAndOther(uint32_t v) { return v == 1 ? 0u : 1u; }
uint32_t ToggleNonZero(uint32_t v) { return v != 0 ? 0u : 1u; }
int32_t TogglePolarity(int32_t v) { return v == 1 ? -1 : 1; }

int LiveKeyFieldOfControl(int id) {
    for (const LiveKeyEdit& e : kLiveKeyEdits)
        if (e.id == id) return e.field;
    return -1;
}

bool BlockFramesForIndex(uint32_t index, int* blockFrames) {
    if (index > 3) return false;
    *blockFrames = 512 << index;
    return true;
}

void FillBinFrequencyTable(float* table, int count, int sampleRate, int blockFrames) {
    const float step = static_cast<float>(static_cast<double>(sampleRate) / (8.0 * blockFrames));
    for (int k = 0; k < count; ++k) table[k] = static_cast<float>(static_cast<double>(k) * step);
    if (count > 0) table[0] = 0.01f;
}

void ClearCurvesAndSpectra(const GridTargets& grid) {
    if (grid.curves)
        std::memset(static_cast<void*>(grid.curves), 0, sizeof(PlotCurve) * static_cast<std::size_t>(grid.curveCount));
    for (int o = 0; o < grid.outputs; ++o) {
        if (grid.outputSpectrum && grid.outputSpectrum[o])
            std::memset(grid.outputSpectrum[o], 0, grid.spectrumPoints * 2 * sizeof(float));
        if (grid.phaseReference && grid.phaseReference[o]) {
            float* p = grid.phaseReference[o];
            for (std::size_t k = 0; k < grid.spectrumPoints; ++k) {
                p[2 * k] = kPhaseReferenceFloor;
                p[2 * k + 1] = 0.0f;
            }
        }
    }
}

namespace {

void RebuildTable(const PreferencesTargets& t, const GridTargets& grid) {
    if (!grid.binFrequencies || !grid.blockFrames) return;
    const uint32_t sampling = t.tail ? t.tail->HV_Sampling : 1;
    FillBinFrequencyTable(grid.binFrequencies, kBinCount, SampleRateOf(sampling), *grid.blockFrames);
}

}  // namespace

void ChangeSampleRate(uint32_t index, const PreferencesTargets& t, const GridTargets& grid) {
    if (index > 2 || !t.tail) return;
    t.tail->HV_Sampling = index;
    if (t.driver) t.driver->Sampling = index;
    RebuildTable(t, grid);
    ClearCurvesAndSpectra(grid);
}

void ChangeBlockSize(uint32_t index, const PreferencesTargets& t, const GridTargets& grid) {
    int frames = 0;
    if (!BlockFramesForIndex(index, &frames)) return;
    *t.bufferSize = index;
    if (t.driver) t.driver->Buffer_Size = index;
    if (grid.blockFrames) *grid.blockFrames = frames;
    RebuildTable(t, grid);
    for (int o = 0; o < grid.outputs; ++o)
        if (grid.impulseResponses && grid.impulseResponses[o])
            std::memset(grid.impulseResponses[o], 0, grid.impulseValues * sizeof(float));
    ClearCurvesAndSpectra(grid);
}

bool ApplyPreferencesControl(int id, const ControlReading& reading, bool engineRunning, const PreferencesTargets& t,
                             const GridTargets& grid) {
    if (id < kPreferencesFirstId || id > kPreferencesLastId) return false;
    const bool refused = engineRunning && RefusedWhileStreaming(id);
    const uint32_t caret = reading.caretIndex < 0 ? 0u : static_cast<uint32_t>(reading.caretIndex);
    if (int i = IndexIn(kInputBoxes, id); i >= 0) {
        if (!refused) *t.inputMode = static_cast<uint32_t>(i);
        return true;
    }
    if (int i = IndexIn(kOutputBoxes, id); i >= 0) {
        if (!refused) *t.outputMode = static_cast<uint32_t>(i);
        return true;
    }
    if (int i = IndexIn(kBassBoxes, id); i >= 0) {
        if (!refused) *t.bassMode = static_cast<uint32_t>(i);
        return true;
    }
    if (int i = IndexIn(kMlsBitBoxes, id); i >= 0) {
        *t.capture24Bit = static_cast<uint32_t>(i);
        return true;
    }
    if (int field = LiveKeyFieldOfControl(id); field >= 0) {
        if (t.tail) {
            char text[kLiveKeyTextChars + 1];
            CopySettingText(text, sizeof text, reading.text);
            CopySettingText(t.tail->LiveKeyChannelFields[field], kLiveKeyFieldChars, text);
        }
        return true;
    }
    switch (id) {
        case kPrefInvertMlsData: *t.mlsDataPolarity = TogglePolarity(*t.mlsDataPolarity); return true;
        case kPrefInvertMlsReference: *t.mlsReferencePolarity = TogglePolarity(*t.mlsReferencePolarity); return true;
        case kPrefDebugMode: *t.wasapiDebugMode = ToggleOneAndOther(*t.wasapiDebugMode); return true;
        case kPrefCenterToLr: *t.centerToLr = ToggleOneAndOther(*t.centerToLr); return true;
        case kPrefAutostart:
            if (t.record) t.record->AUTOSTART = ToggleOneAndOther(t.record->AUTOSTART);
            return true;
        case kPrefPlayerMode:
            if (t.record) t.record->PlayerMode = ToggleNonZero(t.record->PlayerMode);
            return true;
        case kPrefRenderTiming:
            if (t.tail) t.tail->RenderTiming = ToggleNonZero(t.tail->RenderTiming);
            return true;
        case kPrefCaptureTiming:
            if (t.tail) t.tail->CaptureTiming = ToggleNonZero(t.tail->CaptureTiming);
            return true;
        case kPrefMlsDelayEdit: {
            char text[kMlsDelayTextChars + 1];
            CopySettingText(text, sizeof text, reading.text);
            CopySettingText(t.mlsOutputDelayText, kSettingTextWidth, text);
            return true;
        }
        case kPrefCaptureList: *t.captureDeviceIndex = caret; return true;
        case kPrefRenderList: *t.renderDeviceIndex = caret; return true;
        case kPrefQueueList:
            if (!refused && t.tail && caret <= 4) t.tail->OutputQueue = caret;
            return true;
        case kPrefSampleRateList:
            if (!refused) ChangeSampleRate(caret, t, grid);
            return true;
        case kPrefBlockSizeList:
            if (!refused) ChangeBlockSize(caret, t, grid);
            return true;
        default: return false;
    }
}

void PreferencesMarks(const PreferencesTargets& t, ControlMark marks[kPreferencesMarkCount]) {
    int n = 0;
    auto mark = [&](int id, bool checked) { marks[n++] = ControlMark{id, checked}; };
    mark(kPrefInvertMlsData, *t.mlsDataPolarity == -1);
    mark(kPrefInvertMlsReference, *t.mlsReferencePolarity == -1);
    for (int i = 0; i < 3; ++i) mark(kOutputBoxes[i], *t.outputMode == static_cast<uint32_t>(i));
    mark(kPrefDebugMode, *t.wasapiDebugMode == 1);
    for (int i = 0; i < 4; ++i) mark(kInputBoxes[i], *t.inputMode == static_cast<uint32_t>(i));
    mark(kPrefAutostart, t.record && t.record->AUTOSTART != 0);
    mark(kPrefPlayerMode, t.record && t.record->PlayerMode != 0);
    for (int i = 0; i < 4; ++i) mark(kBassBoxes[i], *t.bassMode == static_cast<uint32_t>(i));
    mark(kPrefCenterToLr, *t.centerToLr == 1);
    mark(kPrefRenderTiming, t.tail && t.tail->RenderTiming != 0);
    mark(kPrefCaptureTiming, t.tail && t.tail->CaptureTiming != 0);
    mark(kPref24BitMls, *t.capture24Bit != 0);
    mark(kPref16BitMls, *t.capture24Bit == 0);
}
