#pragma once
// The maximum-length sequence of a measurement: the shift-register sequence of one order, the two permutation
// tables that carry a captured period into Hadamard order and back (tagS, tagL), the fast Walsh-Hadamard
// transform, the stimulus the render thread plays and the deconvolution of one captured period.
//
// Everything works on buffers the caller owns (the global records in the program, buffers of the same sizes in
// tests) and allocates nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/block_path.h"

inline constexpr int kMlsMinOrder = 13;
inline constexpr int kMlsMaxOrder = 18;
inline constexpr int kMlsTapOrders = 24;
inline constexpr uint32_t kMlsNoTap = 0xFFFFFFFFu;

// Entries of the sequence words, of tagS and of tagL as allocated; every build clears this many.
inline constexpr int kMlsTableEntries = 268000;
// Bytes of the stimulus buffer: 2,144,000 16-bit or 1,072,000 32-bit elements.
inline constexpr std::size_t kMlsStimulusBytes = 4288000;
inline constexpr int kMlsStimulusElements16 = 2144000;
inline constexpr int kMlsStimulusElements32 = 1072000;

// Sample magnitudes of the plain stimulus per percent of output level, and of the pre-emphasis path.
inline constexpr int32_t kMlsLevelStep16 = 320;
inline constexpr int32_t kMlsLevelStep24 = 21346816;  // 83,386 x 256
// The highest output level, in percent; the pre-emphasised stimulus never peaks above the plain one's there.
inline constexpr double kMlsLevelMax = 100.0;
inline constexpr double kMlsEmphasisScale16 = 320.0;
inline constexpr double kMlsEmphasisScale24 = 83386.0;
inline constexpr float kMlsEmphasisImpulse = 40.0f;
// The 16-bit plain stimulus leaves this many positions at the end of the sequence silent.
inline constexpr int kMlsSilentTail16 = 1500;

// Tap positions [order - 1][tap]; kMlsNoTap marks an empty slot.
extern const uint32_t MlsTapTable[kMlsTapOrders][4];

// L = 2^order - 1.
constexpr int MlsLength(int order) { return (1 << order) - 1; }

// The sequence and its tables: bits (one per position, bit i in bit i % 32 of word i / 32) and the two
// permutations, kMlsTableEntries entries each.
struct MlsTables {
    uint32_t* bits = nullptr;
    int32_t* tagS = nullptr;
    int32_t* tagL = nullptr;
};

inline int MlsBit(const uint32_t* bits, int i) { return static_cast<int>((bits[i >> 5] >> (i & 31)) & 1u); }

// Number of taps of an order's row (leading entries before the first empty one, at most 4).
int MlsTapCount(int order);

// Builds the sequence of `order` (1..24) and both permutation tables, after clearing kMlsTableEntries words of
// each. An order outside 1..24 leaves everything cleared. Returns the sequence length L.
int BuildMlsTables(int order, const MlsTables& t);

// "MLS %d,  Taps [ %d,%d,%d,%d ],  Length = %d   ": the title the impulse window shows after a build.
std::string MlsTitle(int order);

// In-place fast Walsh-Hadamard transform of x[0..n-1], n a power of two; unnormalised. Returns 1.
int FastHadamardTransform(float* x, int n);

// One deconvolution pass (the Hadamard method): hadamard[tagS[i]] = x[i] for i < L, hadamard[0] = 0, the
// transform over 2^order points, y[i] = hadamard[tagL[i]] / L for i < L. `hadamard` holds 2^order floats;
// y may not alias x.
void DeconvolveMls(const float* x, float* y, int order, const MlsTables& t, float* hadamard);

// What the stimulus builders read of the settings.
struct MlsStimulusSettings {
    int order = 18;
    uint32_t level = 10;          // MlsOutputLevel, 0..100
    uint32_t capture24 = 0;       // Capture24Bit: 1 for 32-bit elements with 24 significant bits
    int32_t output_delay = 200;   // atoi(MlsOutputDelay): interleaved elements before the sequence
    double pre_emphasis_ms = 0.0; // atof(MlsPreEmphasisMs); above 0 the stimulus is pre-emphasised
    uint32_t pre_emphasis_both = 1;
    double sample_rate = 48000.0;
};

// Buffers of the stimulus builders.
struct MlsStimulusBuffers {
    MlsTables tables;
    uint8_t* stimulus = nullptr;   // kMlsStimulusBytes
    float* hadamard = nullptr;     // 2^order floats
    float* emphasis = nullptr;     // 2^(order + 1) floats (a complex spectrum)
    float* reversed = nullptr;     // L floats of scratch (the reference impulse buffer before a run)
    FftTables fft;
};

// The delay in elements that fits the buffer: atoi(MlsOutputDelay) held within 0 .. elements - 2L, where
// elements is the buffer's element count of the sample format.
int32_t ClampMlsOutputDelay(int32_t output_delay, int order, uint32_t capture24);

// One pre-emphasised sample e as the stimulus holds it: trunc(320 e) for 16-bit elements, trunc(83,386 e x 256)
// for 32-bit ones, held at the ends of the element's range rather than wrapped round.
int32_t MlsEmphasisedSample(double e, uint32_t capture24);

// Sequence, tables and a mono 16-bit copy of the sequence at `level` from element `output_delay` (clamped).
// Returns L.
int GenerateMls(int order, uint32_t level, int32_t output_delay, const MlsStimulusBuffers& b);

// The level the pre-emphasised samples were built at. They carry the plain stimulus's RMS at the output level
// while their peak stays within the plain stimulus's peak at 100 %, below full scale; a level that would take it
// higher is held there (`held`), and `level` is then the lower level whose plain RMS they carry.
struct MlsEmphasisLevel {
    bool held = false;
    int level = 0;  // percent; 0 for a plain stimulus or silence
};

// Sequence, tables and the stereo stimulus, pre-emphasised when s.pre_emphasis_ms > 0 (at the RMS the plain
// stimulus has at the same level, or held as above; `level`, when given, says which). Returns L.
int GenerateMlsStimulus(const MlsStimulusSettings& s, const MlsStimulusBuffers& b, MlsEmphasisLevel* level = nullptr);
