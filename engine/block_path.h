#pragma once
// The data path of one audio block over plain buffers: input-FFT stage with the spectrum histories,
// partitioned convolution, output stage. The same functions serve a single-threaded test and the engine's
// worker threads (each worker calls its stage with its own ports or outputs).
#include <cstdint>

#include "app/frequency_grids.h"

inline constexpr int kEngineInputPorts = 9;
inline constexpr int kEngineOutputs = 16;
inline constexpr int kEnginePartitions = 8;
inline constexpr int kEngineBanks = 2;
inline constexpr int kRoutingRows = 10;            // input ports 1..9, row 9 spare
inline constexpr int kDelayRingWords = 32768;      // OutputDelayRing length

// The shared FFT tables (engine/fft.h); prepared for 16N floats before the engine starts.
struct FftTables {
    int32_t* bit_reverse = nullptr;
    float* twiddle = nullptr;
};

// Pointers to the buffers of the block path and the values fixed while the engine runs. Buffers are
// interleaved complex float arrays of 2N points (4N floats) unless said otherwise.
struct EngineBlockContext {
    int N = 0;  // BlockFrames
    FftTables fft;

    float* InputBlock[kEngineInputPorts] = {};                                  // port p at [p - 1]
    float* InputSpectrumHistory[kEngineInputPorts][kEnginePartitions] = {};     // eight arrays per port
    // The history is a ring: HistoryNewest[p - 1] is the array holding port p's newest spectrum, and the
    // spectrum of q blocks earlier is in array (HistoryNewest - q) & 7. ResetBlockPath sets 7, so that at
    // the start array s holds what slot s holds in a history that moves its spectra down every block.
    int32_t HistoryNewest[kEngineInputPorts] = {7, 7, 7, 7, 7, 7, 7, 7, 7};

    float* FilterPartitionBank[kEngineBanks][kEngineOutputs][kEnginePartitions] = {};
    // The banks as the products read them (PackFilterBanks): for each bank and output, points 0..N in
    // groups of eight, each group holding the eight partitions one after the other as eight real parts and
    // eight imaginary parts. One output's filter is one run of memory, read front to back. At least
    // PackedBankFloats(N) floats; without it the products fall back to plain code.
    float* PackedBank = nullptr;
    long PackedBankCapacity = 0;  // floats
    float* OutputAccumulator[kEngineOutputs] = {};  // output o at [o - 1]
    float* OverlapTail[kEngineOutputs] = {};        // N floats
    int32_t* OutputDelayRing[kEngineOutputs] = {};  // kDelayRingWords words, 5N in use
    int32_t* OutputBlock = nullptr;                 // N frames of 8, 16 or 10 words

    // Kept by the block path itself, per output: 1 while the accumulator is known to be all zero (set when
    // the spectral stage clears an unfed output, cleared by whatever writes into it), and 1 while the
    // overlap tail is known to be all zero; the output stage then writes zero words without computing them.
    // ResetBlockPath sets 0, "not known". One byte per output, so that the two convolution workers never
    // write the same memory location.
    uint8_t AccumulatorZero[kEngineOutputs] = {};
    uint8_t TailZero[kEngineOutputs] = {};
    // 1 when the spectral stage left the output's time-domain block compact, samples 0..2N-1 in floats
    // 0..2N-1 (the rest working data); 0 when they are the real parts of the 2N points (OutputSample).
    uint8_t AccumulatorCompact[kEngineOutputs] = {};

    uint32_t OutputMode = 0;  // 0 "8 Outputs", 1 "16 Outputs", 2 "8 + SPDIF"
    uint32_t BassMode = 0;    // 3 "BBM Output" sums after the filters
    const int32_t* RoutingMatrix = nullptr;  // [kRoutingRows][16]; entry 1 routes port row+1 to output col+1
    int32_t SubChannels[2] = {1, 1};         // outputs 1..16 of Sub 1 and Sub 2
    int32_t BbmSourceChannels[2] = {1, 1};   // the source output added into each sub
    const int32_t* CabsEnabled = nullptr;       // [16]
    const int32_t* CabsDelaySamples = nullptr;  // [16]
};

// Values the user-interface thread may change while the engine runs. The worker takes one copy per block,
// so a change lands between two blocks and never inside one (no bank switch in the middle of a spectrum).
struct LiveBlockValues {
    float MasterGain = 1.0f;
    float ChannelTrims[kEngineOutputs] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    float BbmGain = 0.5f;
    int32_t PhaseMode = 0;  // 0 bank 0 ("Linear Phase"), otherwise bank 1
};

// Outputs first..last (1-based, inclusive) served by one convolution worker; empty when last < first.
struct OutputRange {
    int first = 1;
    int last = 0;
    bool Contains(int o) const { return o >= first && o <= last; }
};

enum class ConvolutionWorker { kLow, kHigh };
// The worker's outputs in an output mode: low 1-8 (1-10 in "8 + SPDIF"), high 9-16.
OutputRange ConvolutionRange(uint32_t output_mode, ConvolutionWorker worker);
// Words per frame of OutputBlock: 8, 16 or 10.
int OutputFrameWords(uint32_t output_mode);

// True when the processor runs AVX (and no limit below says otherwise): the 256-bit kernels are taken then.
bool BlockPathHasAvx();
// The same for AVX2, whose lane-crossing permutes the widest kernels use (the lone real transforms' steps,
// the capture conversion, the output stage's interleave of a few live columns).
bool BlockPathHasAvx2();
// The same for AVX-512F: the products, the split of a shared forward transform, the separation of a joined
// pair, the capture conversion of many channels and the output words then run in 512-bit vectors.
bool BlockPathHasAvx512();

// The kernels of the block path: the widest the processor has (default), at most the 256-bit ones of AVX2,
// at most those of AVX, at most 128-bit vectors, or plain scalar code. All give the same results within
// float rounding; tests narrow them to check each form.
enum class BlockKernels { kScalar = 0, kVector128 = 1, kVector256 = 2, kAvx2 = 3, kWidest = 4 };
void LimitBlockPathKernels(BlockKernels widest);

// The ports each input-FFT worker transforms, in its order.
inline constexpr int kInputFftPortsA[5] = {1, 2, 3, 5, 9};
inline constexpr int kInputFftPortsB[4] = {4, 6, 7, 8};

// What the engine start does to the block path: clears the used part of every history array, accumulator,
// tail and ring and the history rings' positions, and packs the banks (PackFilterBanks).
void ResetBlockPath(EngineBlockContext& ctx);

// Array of port p's history holding the spectrum of `blocks_back` blocks earlier (0 = the newest), points
// 0..N in the planar groups above (PlanarRe, PlanarIm).
inline float* HistorySpectrum(const EngineBlockContext& ctx, int port, int blocks_back) {
    return ctx.InputSpectrumHistory[port - 1][(ctx.HistoryNewest[port - 1] - blocks_back) & 7];
}

// Spectra kept by the block path (histories, packed banks) hold points 0..N: the blocks are real, so points
// N+1..2N-1 are the conjugates of points N-1..1 and are never stored. They are planar in groups of eight
// points: group g holds the real parts of points 8g..8g+7, then their imaginary parts. Points 0..N take
// N/8 + 1 groups.
inline constexpr int kPlanarGroupPoints = 8;
inline int PlanarGroups(int N) { return N / kPlanarGroupPoints + 1; }
inline float PlanarRe(const float* s, int k) { return s[2 * kPlanarGroupPoints * (k / kPlanarGroupPoints) + k % kPlanarGroupPoints]; }
inline float PlanarIm(const float* s, int k) {
    return s[2 * kPlanarGroupPoints * (k / kPlanarGroupPoints) + kPlanarGroupPoints + k % kPlanarGroupPoints];
}
inline float& PlanarRe(float* s, int k) { return s[2 * kPlanarGroupPoints * (k / kPlanarGroupPoints) + k % kPlanarGroupPoints]; }
inline float& PlanarIm(float* s, int k) {
    return s[2 * kPlanarGroupPoints * (k / kPlanarGroupPoints) + kPlanarGroupPoints + k % kPlanarGroupPoints];
}

// Floats of the packed banks for block size N, followed by the 2 (N + 1) floats of the twiddles
// e^(-i pi k / N), k = 0..N, that the transforms of a lone port or a lone output take (a real block of 2N
// points through a complex transform of N points); and the packing of one output of one bank or of all of
// them from FilterPartitionBank. ResetBlockPath packs all and makes the twiddles, so every engine start runs
// on the banks as synthesis left them; whoever changes a bank afterwards packs it again.
inline long PackedBankOnlyFloats(int N) {
    return static_cast<long>(kEngineBanks) * kEngineOutputs * PlanarGroups(N) * kEnginePartitions * 2 * kPlanarGroupPoints;
}
inline long PackedBankFloats(int N) { return PackedBankOnlyFloats(N) + 2L * (N + 1); }
void PackFilterBank(EngineBlockContext& ctx, int bank, int output);
void PackFilterBanks(EngineBlockContext& ctx);

// The input ports whose spectra the block needs (bit p - 1 for port p): the routed port of every output the
// output mode serves (1-8, 1-16 or 1-10). The input-side bass-management sums are made before the
// transforms, in the ports themselves, so they need nothing more. Read from the context's routing and
// output mode, so every producer of blocks gets the same selection.
uint32_t PortsInUse(const EngineBlockContext& ctx);

// Input-FFT step for those of the given ports that PortsInUse selects: each port's block (points 0..N-1 of
// its InputBlock, zero-padded to 2N) is forward-transformed and points 0..N of its spectrum become the
// newest of the port's history (planar) (the oldest is dropped). A port no output reads is neither transformed nor
// shifted. The blocks are real, so ports share transforms two at a time; afterwards an InputBlock holds
// working data, not its own spectrum, until the producer writes the next block.
void RunInputFftStage(EngineBlockContext& ctx, const int* ports, int port_count);

// Spectral stage of one convolution worker: each output of the range gets the sum over the eight partitions
// of its routed port's spectra times the partition spectra of the bank chosen by phase_mode, inverse-
// transformed into its OutputAccumulator. An output without a routed port gets a cleared accumulator.
// Real signals only: bins N+1..2N-1 are taken as the mirror of bins N-1..1.
void ComputeOutputBlocks(EngineBlockContext& ctx, OutputRange range, int32_t phase_mode);
// The same, computed literally over all 2N bins with the products summed per bin: the reference.
void ComputeOutputBlocksReference(EngineBlockContext& ctx, OutputRange range, int32_t phase_mode);

// Sample n (0..2N-1) of output o's time-domain block after ComputeOutputBlocks, in either layout.
inline float OutputSample(const EngineBlockContext& ctx, int o, int n) {
    return ctx.OutputAccumulator[o - 1][ctx.AccumulatorCompact[o - 1] ? n : 2 * n];
}

// One convolution worker's whole block: ComputeOutputBlocks then the output stage (engine/output_stage.h).
void RunConvolutionStage(EngineBlockContext& ctx, OutputRange range, const LiveBlockValues& live);

// The whole block single-threaded, in the order the capture thread hands it to the workers: input FFT A
// (and B unless "8 Outputs"), then convolution low (and high in "16 Outputs"). The InputBlocks hold the
// converted block on entry; OutputBlock holds the block's words on return.
void ProcessEngineBlock(EngineBlockContext& ctx, const LiveBlockValues& live);
