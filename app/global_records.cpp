#include "app/global_records.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/preferences.h"
#include "app/settings.h"

SystemRecord* pr_file = nullptr;
HV_Driver_Data* PortDriverBuffer = nullptr;
PaneRecord* PaneRecords[kPaneCount] = {};
WorkingNetwork* WorkingNet = nullptr;
float* OutputSpectrum[kOutputCount] = {};
float* IrWorkSpectrum = nullptr;
float* MinPhaseWorkSpectrum = nullptr;
float* PhaseReferenceSpectrum[kOutputCount] = {};
float* OutputTaper[kOutputCount] = {};
PlotCurve* PlotCurveTable = nullptr;
SolverWorkspace* SolverWorkMatrices = nullptr;
float* PortElectricalResponse[kOutputCount] = {};
float* PortAcousticResponse[kOutputCount] = {};

PlotCurve* DiffractionCurves = nullptr;
PlotCurve* MlsCurves = nullptr;
PlotCurve* RoomEqCurves = nullptr;
LogCurve* LogCurveTable = nullptr;
PlotCurve* CalibrationCurves = nullptr;
PreferencesRecord* Preferences = nullptr;
HV_Driver_Data* CurrentDriver = nullptr;
float* MlsLogWorkCurves[3] = {};
float* RoomEqSpectrumTable = nullptr;
float* MikeCalCurve = nullptr;
float* PreampCalCurve = nullptr;
BaffleRecord* Baffle = nullptr;
BafflePoint* BaffleOutlinePoints = nullptr;
BaffleEdgePointList* BaffleEdgePoints = nullptr;

float* OutputImpulseResponse[kOutputCount] = {};
uint8_t* MlsWorkBuffer = nullptr;
float* MlsImpulseRef = nullptr;
float* MlsImpulseIn = nullptr;
int32_t* MlsPermutationTables[2] = {};
float* HadamardWorkBuffer = nullptr;
float* IrWindow = nullptr;
float* TwoSidedIrWindow = nullptr;
float* FftWorkBuffer = nullptr;
uint8_t* MlsSequenceBits = nullptr;
uint8_t* MlsStimulusBuffer = nullptr;
float* MeasurementWorkBuffers[4] = {};
float* RefBinNormaliser = nullptr;
float* RefLogNormaliser = nullptr;
float* InputBlock[kInputPortCount] = {};
float* OverlapTail[kOutputCount] = {};
int32_t* FftBitReverseTable = nullptr;
float* FftTwiddleTable = nullptr;
float* InputSpectrumHistory[kInputPortCount][kPartitionCount] = {};
float* OutputAccumulator[kOutputCount] = {};
float* FilterPartitionBank[kFilterBankCount][kOutputCount][kPartitionCount] = {};
float* IrExportBuffers[3] = {};

int32_t OutputPolarity[kOutputCount];
float OutputDelayMs[kOutputCount];
int32_t OutputElementIndex[kOutputCount];
int32_t CabsEnabled[kOutputCount];
int32_t CabsDelaySamples[kOutputCount];
int32_t RoutingMatrix[10][kOutputCount];
PlaylistRecord Playlist;

namespace {

// Every buffer starts on a 64-byte boundary, so the vector kernels of the transforms and the convolution
// never straddle a cache line or need an unaligned path. The block as the C library gave it is kept just
// before the aligned start, for the release.
constexpr std::size_t kBufferAlignment = 64;

// `skew` (a multiple of the alignment) moves the start further on. Large blocks come from the system page
// by page and so all start at the same place in a page; arrays that the engine reads or writes side by side
// are skewed apart, so that they do not compete for the same cache sets.
void* AlignedZeroed(std::size_t bytes, std::size_t skew = 0) {
    if (bytes > SIZE_MAX - kBufferAlignment - sizeof(void*) - skew) return nullptr;
    void* raw = std::calloc(bytes + skew + kBufferAlignment + sizeof(void*), 1);
    if (!raw) return nullptr;
    auto start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    start = ((start + kBufferAlignment - 1) & ~static_cast<std::uintptr_t>(kBufferAlignment - 1)) + skew;
    reinterpret_cast<void**>(start)[-1] = raw;
    return reinterpret_cast<void*>(start);
}

void AlignedFree(void* p) {
    if (p) std::free(static_cast<void**>(p)[-1]);
}

// Allocates `count` zero-filled elements into `slot`; false when the allocation failed. `lane` (0..63)
// skews the start by that many cache lines.
template <typename T>
bool Take(T*& slot, std::size_t count, int lane = 0) {
    if (count > SIZE_MAX / sizeof(T)) return false;
    slot = static_cast<T*>(AlignedZeroed(count * sizeof(T), static_cast<std::size_t>(lane % 64) * kBufferAlignment));
    return slot != nullptr;
}

template <typename T>
bool TakeBytes(T*& slot, std::size_t bytes) {
    slot = static_cast<T*>(AlignedZeroed(bytes));
    return slot != nullptr;
}

template <typename T>
void Release(T*& slot) {
    AlignedFree(slot);
    slot = nullptr;
}

void FillComplex(float* data, std::size_t points, float re, float im) {
    for (std::size_t k = 0; k < points; ++k) {
        data[2 * k] = re;
        data[2 * k + 1] = im;
    }
}

void SetCalibrationCurveDefaults() {
    for (int slot = 0; slot <= 10; slot += 2) {
        float* words = reinterpret_cast<float*>(&CalibrationCurves[slot]);
        for (std::size_t i = 0; i < kCurvePoints + 8; ++i) words[i] = 1.0f;
    }
    for (int slot = 0; slot <= 11; ++slot) {
        CalibrationCurves[slot].Red = 255.0f;
        CalibrationCurves[slot].Green = 255.0f;
        CalibrationCurves[slot].Blue = 255.0f;
    }
}

}  // namespace

int AllocateSystemBuffers() {
    if (!TakeBytes(pr_file, kSystemRecordBytes)) return 1;
    if (!TakeBytes(PortDriverBuffer, kDriverFileBytes)) return 1;
    for (auto& pane : PaneRecords)
        if (!TakeBytes(pane, kPaneRecordBytes)) return 1;
    if (!Take(WorkingNet, 1)) return 1;
    for (auto& s : OutputSpectrum) {
        if (!Take(s, 2 * kSpectrumPoints)) return 1;
        FillComplex(s, kSpectrumPoints, 1.0f, 0.0f);
    }
    if (!Take(IrWorkSpectrum, 2 * kSpectrumPoints)) return 1;
    if (!Take(MinPhaseWorkSpectrum, 2 * kSpectrumPoints)) return 1;
    for (auto& s : PhaseReferenceSpectrum) {
        if (!Take(s, 2 * kSpectrumPoints)) return 1;
        FillComplex(s, kSpectrumPoints, 1e-7f, 0.0f);
    }
    for (auto& t : OutputTaper)
        if (!Take(t, kSpectrumPoints)) return 1;
    if (!Take(PlotCurveTable, kPlotCurveSlots)) return 1;
    if (!Take(SolverWorkMatrices, 1)) return 1;
    for (auto& r : PortElectricalResponse)
        if (!Take(r, 2 * kPortResponsePoints)) return 1;
    for (auto& r : PortAcousticResponse)
        if (!Take(r, 2 * kPortResponsePoints)) return 1;
    return 0;
}

int AllocateCurveBuffers() {
    if (!Take(DiffractionCurves, kDiffractionCurveSlots)) return 1;
    if (!Take(MlsCurves, kMlsCurveSlots)) return 1;
    if (!Take(RoomEqCurves, kRoomEqCurveSlots)) return 1;
    if (!Take(LogCurveTable, kLogCurveSlots)) return 1;
    if (!Take(CalibrationCurves, kCalibrationCurveSlots)) return 1;
    SetCalibrationCurveDefaults();
    if (!Take(Preferences, 1)) return 1;
    if (!TakeBytes(CurrentDriver, kDriverFileBytes)) return 1;
    for (auto& c : MlsLogWorkCurves)
        if (!Take(c, 2 * kLogPoints)) return 1;
    if (!Take(RoomEqSpectrumTable, 2 * 131080)) return 1;
    if (!Take(MikeCalCurve, 2 * kCurvePoints)) return 1;
    if (!Take(PreampCalCurve, 2 * kCurvePoints)) return 1;
    if (!Take(Baffle, 1)) return 1;
    if (!Take(BaffleOutlinePoints, 64)) return 1;
    if (!Take(BaffleEdgePoints, 1)) return 1;
    return 0;
}

int AllocateDspBuffers() {
    for (auto& b : OutputImpulseResponse)
        if (!Take(b, 532480)) return 1;
    if (!TakeBytes(MlsWorkBuffer, 17156096)) return 1;
    if (!Take(MlsImpulseRef, 1072000)) return 1;
    if (!Take(MlsImpulseIn, 1072000)) return 1;
    for (auto& t : MlsPermutationTables)
        if (!Take(t, 268000)) return 1;
    if (!Take(HadamardWorkBuffer, 2144000)) return 1;
    if (!Take(IrWindow, 1072000)) return 1;
    if (!Take(TwoSidedIrWindow, 1072000)) return 1;
    if (!Take(FftWorkBuffer, 2144000)) return 1;
    if (!TakeBytes(MlsSequenceBits, 8576000)) return 1;
    if (!TakeBytes(MlsStimulusBuffer, 4288000)) return 1;
    for (auto& b : MeasurementWorkBuffers)
        if (!Take(b, 1072000)) return 1;
    if (!Take(RefBinNormaliser, kCurvePoints)) return 1;
    if (!Take(RefLogNormaliser, kLogPoints)) return 1;
    // The engine's arrays, each on its own cache lines within a page: the capture conversion writes the
    // nine input blocks side by side, the products read a port's eight history arrays side by side.
    for (int p = 0; p < kInputPortCount; ++p)
        if (!Take(InputBlock[p], kCurvePoints, 3 * p)) return 1;
    for (int o = 0; o < kOutputCount; ++o)
        if (!Take(OverlapTail[o], 1048576, 2 * o + 1)) return 1;
    if (!Take(FftBitReverseTable, kFftTableWords)) return 1;
    if (!Take(FftTwiddleTable, kFftTableWords)) return 1;
    for (int p = 0; p < kInputPortCount; ++p)
        for (int s = 0; s < kPartitionCount; ++s)
            if (!Take(InputSpectrumHistory[p][s], kEngineBlockFloats, 7 * (kPartitionCount * p + s))) return 1;
    for (int o = 0; o < kOutputCount; ++o)
        if (!Take(OutputAccumulator[o], kEngineBlockFloats, 2 * o)) return 1;
    for (auto& bank : FilterPartitionBank)
        for (auto& output : bank)
            for (auto& p : output)
                if (!Take(p, kEngineBlockFloats)) return 1;
    for (auto& b : IrExportBuffers)
        if (!Take(b, 532480)) return 1;
    return 0;
}

int FreeSystemBuffers() {
    Release(pr_file);
    Release(PortDriverBuffer);
    for (auto& p : PaneRecords) Release(p);
    Release(WorkingNet);
    for (auto& s : OutputSpectrum) Release(s);
    Release(IrWorkSpectrum);
    Release(MinPhaseWorkSpectrum);
    for (auto& s : PhaseReferenceSpectrum) Release(s);
    for (auto& t : OutputTaper) Release(t);
    Release(PlotCurveTable);
    Release(SolverWorkMatrices);
    for (auto& r : PortElectricalResponse) Release(r);
    for (auto& r : PortAcousticResponse) Release(r);
    return 0;
}

int FreeCurveBuffers() {
    Release(DiffractionCurves);
    Release(MlsCurves);
    Release(RoomEqCurves);
    Release(LogCurveTable);
    Release(CalibrationCurves);
    Release(Preferences);
    Release(CurrentDriver);
    for (auto& c : MlsLogWorkCurves) Release(c);
    Release(RoomEqSpectrumTable);
    Release(MikeCalCurve);
    Release(PreampCalCurve);
    Release(Baffle);
    Release(BaffleOutlinePoints);
    Release(BaffleEdgePoints);
    return 0;
}

int FreeDspBuffers() {
    for (auto& b : OutputImpulseResponse) Release(b);
    Release(MlsWorkBuffer);
    Release(MlsImpulseRef);
    Release(MlsImpulseIn);
    for (auto& t : MlsPermutationTables) Release(t);
    Release(HadamardWorkBuffer);
    Release(IrWindow);
    Release(TwoSidedIrWindow);
    Release(FftWorkBuffer);
    Release(MlsSequenceBits);
    Release(MlsStimulusBuffer);
    for (auto& b : MeasurementWorkBuffers) Release(b);
    Release(RefBinNormaliser);
    Release(RefLogNormaliser);
    for (auto& b : InputBlock) Release(b);
    for (auto& b : OverlapTail) Release(b);
    Release(FftBitReverseTable);
    Release(FftTwiddleTable);
    for (auto& port : InputSpectrumHistory)
        for (auto& s : port) Release(s);
    for (auto& a : OutputAccumulator) Release(a);
    for (auto& bank : FilterPartitionBank)
        for (auto& output : bank)
            for (auto& p : output) Release(p);
    for (auto& b : IrExportBuffers) Release(b);
    return 0;
}

int SetBaffleDefaults() {
    BaffleRecord& b = *Baffle;
    for (auto& n : b.Nodes) {
        n.x = 0;
        n.y = 0;
        n.fx = 0.0f;
        n.fy = 0.0f;
    }
    b.NodeCount = 0;
    CopySettingText(b.Raster, sizeof b.Raster, "1.0");
    CopySettingText(b.SecondText, sizeof b.SecondText, "1");
    b.InsertAfterIndex = 1;
    b.BaffleEditMode = 8;
    b.OutlineState = 0;
    for (int i = 0; i < 4; ++i) b.Positions[i] = {1.0f, 1.0f, b.Positions[i].Reserved, 0};
    b.Positions[0].x = 40.0f, b.Positions[0].y = 40.0f, b.Positions[0].Enabled = 1;
    b.Positions[1].x = 45.0f, b.Positions[1].y = 50.0f;
    b.Positions[2].x = 40.0f, b.Positions[2].y = 45.0f;
    b.Positions[3].x = 35.0f, b.Positions[3].y = 40.0f;
    BaffleEdgePoints->ElementCount = 0;
    BaffleEdgePoints->PointCount = 0;
    const float square[5][2] = {{0, 0}, {80, 0}, {80, 80}, {0, 80}, {0, 0}};
    for (int i = 0; i < 5; ++i) {
        BaffleOutlinePoints[i].x = square[i][0];
        BaffleOutlinePoints[i].y = square[i][1];
        BaffleEdgePoints->Points[i].Word4 = 0;
    }
    BaffleEdgePoints->PointCount = 4;
    b.NodeCount = 4;
    for (int i = 0; i < 5; ++i) {
        b.Nodes[i].x = static_cast<int32_t>(BaffleOutlinePoints[i].x);
        b.Nodes[i].y = static_cast<int32_t>(BaffleOutlinePoints[i].y);
    }
    CopySettingText(b.Raster, sizeof b.Raster, "1.0");
    b.OutlineState = 2;
    b.Positions[4].x = 40.0f;
    b.Positions[4].y = 40.0f;
    b.Positions[4].Enabled = 0;
    return 0;
}

MirroredSettings GatherMirroredSettings() {
    MirroredSettings s;
    s.BassMode = BassMode;
    s.WideWindow = WideWindow;
    s.InputMode = InputMode;
    s.OutputMode = OutputMode;
    s.Capture24Bit = Capture24Bit;
    s.CaptureDeviceIndex = CaptureDeviceIndex;
    s.RenderDeviceIndex = RenderDeviceIndex;
    s.DeviceIndex3 = DeviceIndex3;
    s.HV_Buffer_Size = HV_Buffer_Size;
    s.IrMethod = IrMethod;
    return s;
}

void ScatterMirroredSettings(const MirroredSettings& s) {
    BassMode = s.BassMode;
    WideWindow = s.WideWindow;
    InputMode = s.InputMode;
    OutputMode = s.OutputMode;
    Capture24Bit = s.Capture24Bit;
    CaptureDeviceIndex = s.CaptureDeviceIndex;
    RenderDeviceIndex = s.RenderDeviceIndex;
    DeviceIndex3 = s.DeviceIndex3;
    HV_Buffer_Size = s.HV_Buffer_Size;
    IrMethod = s.IrMethod;
}

ProjectContext GlobalProjectContext(MirroredSettings* settings) {
    ProjectContext ctx;
    ctx.record = pr_file;
    for (int i = 0; i < kPaneCount; ++i) ctx.panes[i] = PaneRecords[i];
    ctx.settings = settings;
    for (int o = 0; o < kOutputCount; ++o) ctx.output_impulse[o] = OutputImpulseResponse[o];
    return ctx;
}


void ClearPlotCurves(PlotCurve* curves, int count) {
    // The values and the eight words after them (flag, pen, trailer).
    constexpr std::size_t kClearedWords = sizeof(PlotCurve) / sizeof(float);
    for (int c = 0; c < count; ++c) {
        float* words = reinterpret_cast<float*>(&curves[c]);
        std::fill(words, words + kClearedWords, 0.0f);
    }
}
