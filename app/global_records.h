#pragma once
// Every large record, spectrum, curve table and work buffer lives on the heap for the whole run:
// allocated once at start-up, zero-filled, and freed once after the message loop has ended. Nothing is
// reallocated while the program runs, so the engine threads can use these pointers without checks.
#include <cstddef>
#include <cstdint>

#include "app/system_record.h"
#include "design/network_model.h"

#include "app/driver_data.h"
#include "panels/playlist.h"

struct PreferencesRecord;

inline constexpr int kInputPortCount = 9;
inline constexpr int kPartitionCount = 8;
inline constexpr int kFilterBankCount = 2;

inline constexpr std::size_t kSpectrumPoints = 262144;    // complex points per output spectrum
inline constexpr std::size_t kCurvePoints = 131072;       // values per plot curve (one per linear bin)
inline constexpr std::size_t kPortResponsePoints = 131074;
inline constexpr std::size_t kLogPoints = 3100;
inline constexpr std::size_t kEngineBlockFloats = 32768;  // 2N complex points at N = 4096, interleaved
inline constexpr std::size_t kFftTableWords = 1310720;

// One curve of a plot: a value per bin of the linear grid, then its visible flag and pen.
struct PlotCurve {
    float Values[kCurvePoints];
    float Visible;
    float Red, Green, Blue;
    float PenWidth, PenStyle;
    float Trailer[2];
};
static_assert(sizeof(PlotCurve) == (kCurvePoints + 8) * 4);

// Every word of each of `count` curves to 0 (the values, the visible flag, the pen): every curve hidden,
// with no legend.
void ClearPlotCurves(PlotCurve* curves, int count);

// A curve on the logarithmic grid: 3100 values and a 40-byte trailer.
struct LogCurve {
    float Values[kLogPoints];
    float Trailer[10];
};
static_assert(sizeof(LogCurve) == 3110 * 4);

struct SpectrumPoint {
    float re, im;
};

inline constexpr int kPlotCurveSlots = 170;
inline constexpr int kDiffractionCurveSlots = 15;
inline constexpr int kMlsCurveSlots = 53;
inline constexpr int kRoomEqCurveSlots = 40;
inline constexpr int kLogCurveSlots = 138;
inline constexpr int kCalibrationCurveSlots = 18;

#pragma pack(push, 1)
struct BaffleNode {
    int32_t x, y;
    uint32_t Reserved1;
    float fx, fy;  // float copies written by the edge preparation
    uint32_t Reserved2;
};
struct BafflePosition {
    float x, y;
    uint32_t Reserved;
    uint32_t Enabled;
};
// The one baffle record of the diffraction calculator; travels with driver files.
struct BaffleRecord {
    BaffleNode Nodes[64];
    int32_t NodeCount;
    BafflePosition Positions[5];  // drivers 1..4, then the microphone foot point
    char Raster[12];              // centimetres per grid unit
    uint32_t OutlineState;        // 0 open, 2 closed
    uint32_t InsertAfterIndex;
    uint32_t BaffleEditMode;      // 1 Add, 2 Insert, 3 Delete, 8 Move
    char SecondText[12];
    uint8_t Reserved[184];
};
#pragma pack(pop)
static_assert(sizeof(BaffleRecord) == 1840);
static_assert(offsetof(BaffleRecord, NodeCount) == 1536);
static_assert(offsetof(BaffleRecord, Positions) == 1540);
static_assert(offsetof(BaffleRecord, Raster) == 1620);

struct BafflePoint {
    float x, y;
    uint32_t Word3, Word4;
};
inline constexpr int kBaffleEdgeCapacity = 300;
struct BaffleEdgePointList {
    int32_t PointCount;
    int32_t ElementCount;
    BafflePoint Points[kBaffleEdgeCapacity];
};

// --- AllocateSystemBuffers ---
extern SystemRecord* pr_file;
extern HV_Driver_Data* PortDriverBuffer;
extern PaneRecord* PaneRecords[kPaneCount];           // pane n in PaneRecords[n - 1]
extern WorkingNetwork* WorkingNet;                    // the editable copy of the active pane
extern float* OutputSpectrum[kOutputCount];           // 262,144 complex, 1 + 0j
extern float* IrWorkSpectrum;                         // 262,144 complex
extern float* MinPhaseWorkSpectrum;                   // 262,144 complex
extern float* PhaseReferenceSpectrum[kOutputCount];   // 262,144 complex, 1e-7 + 0j
extern float* OutputTaper[kOutputCount];              // 262,144 floats
extern PlotCurve* PlotCurveTable;                     // 170 curves
struct SolverWorkspace {
    int32_t IntTables[4][64][64];
    SpectrumPoint ComplexTables[5][64][64];
    SpectrumPoint ComplexVectors[5][64];
    SpectrumPoint LongVector[256];
    float FloatVector[256];
};
extern SolverWorkspace* SolverWorkMatrices;
extern float* PortElectricalResponse[kOutputCount];   // 131,074 complex
extern float* PortAcousticResponse[kOutputCount];     // 131,074 complex

// --- AllocateCurveBuffers ---
extern PlotCurve* DiffractionCurves;
extern PlotCurve* MlsCurves;
extern PlotCurve* RoomEqCurves;
extern LogCurve* LogCurveTable;
extern PlotCurve* CalibrationCurves;
extern PreferencesRecord* Preferences;                // the PreferencesRecord
extern HV_Driver_Data* CurrentDriver;
extern float* MlsLogWorkCurves[3];                    // 3,100 {f32, f32} each: reference, measured, spare
extern float* RoomEqSpectrumTable;                    // 131,080 {dB, degrees}
extern float* MikeCalCurve;                           // 131,072 {dB, degrees}
extern float* PreampCalCurve;                         // 131,072 {dB, degrees}
extern BaffleRecord* Baffle;                          // the BaffleRecord
extern BafflePoint* BaffleOutlinePoints;              // 64 entries
extern BaffleEdgePointList* BaffleEdgePoints;

// --- AllocateDspBuffers ---
extern float* OutputImpulseResponse[kOutputCount];    // 532,480 floats
extern uint8_t* MlsWorkBuffer;                        // 17,156,096 bytes (the resampler's floats)
extern float* MlsImpulseRef;                          // 1,072,000
extern float* MlsImpulseIn;                           // 1,072,000
extern int32_t* MlsPermutationTables[2];              // 268,000 each: tagS, tagL
extern float* HadamardWorkBuffer;                     // 2,144,000
extern float* IrWindow;                               // 1,072,000
extern float* TwoSidedIrWindow;                       // 1,072,000
extern float* FftWorkBuffer;                          // 2,144,000 (also the MLS scratch and work spectrum)
extern uint8_t* MlsSequenceBits;                      // 8,576,000 bytes
extern uint8_t* MlsStimulusBuffer;                    // 4,288,000 bytes
extern float* MeasurementWorkBuffers[4];              // 1,072,000 each: spectrum re, im, copy, reference phase
extern float* RefBinNormaliser;                       // 131,072: reference level correction per FFT bin
extern float* RefLogNormaliser;                       // 3,100: the same per log-grid point
extern float* InputBlock[kInputPortCount];            // 131,072 each
extern float* OverlapTail[kOutputCount];              // 1,048,576 each
extern int32_t* FftBitReverseTable;                   // 1,310,720 words
extern float* FftTwiddleTable;                        // 1,310,720 words
extern float* InputSpectrumHistory[kInputPortCount][kPartitionCount];  // 32,768 each
extern float* OutputAccumulator[kOutputCount];        // 32,768 each
extern float* FilterPartitionBank[kFilterBankCount][kOutputCount][kPartitionCount];  // 32,768 each
extern float* IrExportBuffers[3];                     // 532,480 each

// Small per-output results of the solver and validation, read by filter synthesis and the engine.
extern int32_t OutputPolarity[kOutputCount];        // +1 / -1
extern float OutputDelayMs[kOutputCount];
extern int32_t CabsEnabled[kOutputCount];
extern int32_t CabsDelaySamples[kOutputCount];
extern int32_t RoutingMatrix[10][kOutputCount];     // row r - 1 = input port r, column o - 1 = output o
extern int32_t OutputElementIndex[kOutputCount];    // WorkingNetwork element of each output of the last solve

extern PlaylistRecord Playlist;                     // the PlaylistRecord

// Each returns 0 when every buffer was allocated; at the first failure it stops and returns non-zero.
// Every buffer is zero-filled before any specific initial content is written.
int AllocateSystemBuffers();
int AllocateCurveBuffers();
int AllocateDspBuffers();
// Free what the matching allocator created and null the pointers; safe to call after a partial
// allocation and more than once. Return 0.
int FreeSystemBuffers();
int FreeCurveBuffers();
int FreeDspBuffers();

// The mirrored settings gathered from their globals, and put back, around a project read or write.
MirroredSettings GatherMirroredSettings();
void ScatterMirroredSettings(const MirroredSettings& s);
// Everything a project file is read into or gathered from, as the allocator laid it out.
ProjectContext GlobalProjectContext(MirroredSettings* settings);

// Fills the baffle record, its outline points and edge counts with the default closed 80 x 80 cm square.
int SetBaffleDefaults();

inline constexpr const char* kAllocationFailed = "Unable To Allocate Memory - Program Will Exit";
