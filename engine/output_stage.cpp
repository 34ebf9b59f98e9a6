#include "engine/output_stage.h"

#include <cmath>
#include <cstring>

#include "engine/avx_transpose.h"

namespace {

constexpr uint32_t kBassModeBbmOutput = 3;
constexpr int kRingBlocks = 4;  // the ring carries up to four blocks of delay (5N words in use)
constexpr int32_t kSampleWordScale = 1 << kSampleShift;
constexpr int kOutputChunkFrames = 256;
constexpr int32_t kZeroWords[kOutputChunkFrames] = {};  // the words of a silent output

// Bass-management output sums over the whole block, both halves and both parts, in the order that lets a
// source that is itself Sub 1 carry Sub 1's sum into Sub 2.
void AddBassManagementSums(EngineBlockContext& ctx, OutputRange range, float bbm_gain) {
    const int s1 = ctx.BbmSourceChannels[0], s2 = ctx.BbmSourceChannels[1];
    const int u1 = ctx.SubChannels[0], u2 = ctx.SubChannels[1];
    const bool has_s1 = range.Contains(s1), has_s2 = range.Contains(s2);
    const bool has_u1 = range.Contains(u1), has_u2 = range.Contains(u2);
    if (!(has_s1 && has_u1) && !(has_s2 && has_u2)) return;
    const float factor = 2.0f * bbm_gain;
    float* a_s1 = has_s1 ? ctx.OutputAccumulator[s1 - 1] : nullptr;
    float* a_s2 = has_s2 ? ctx.OutputAccumulator[s2 - 1] : nullptr;
    float* a_u1 = has_u1 ? ctx.OutputAccumulator[u1 - 1] : nullptr;
    float* a_u2 = has_u2 ? ctx.OutputAccumulator[u2 - 1] : nullptr;
    // A sub that held nothing takes on its source's layout (compact or complex points); the sums work
    // float by float, so a sub and its source in the same layout stay in it.
    if (a_u1 && a_s1 && ctx.AccumulatorZero[u1 - 1]) ctx.AccumulatorCompact[u1 - 1] = ctx.AccumulatorCompact[s1 - 1];
    if (a_u1) ctx.AccumulatorZero[u1 - 1] = 0;
    if (a_u2 && a_s2 && ctx.AccumulatorZero[u2 - 1]) ctx.AccumulatorCompact[u2 - 1] = ctx.AccumulatorCompact[s2 - 1];
    if (a_u2) ctx.AccumulatorZero[u2 - 1] = 0;
    const int floats = 4 * ctx.N;
    for (int i = 0; i < floats; ++i) {
        const float t1 = a_s1 ? factor * a_s1[i] : 0.0f;
        if (a_u1) a_u1[i] = a_u1[i] + t1;
        const float t2 = a_s2 ? factor * a_s2[i] : 0.0f;
        if (a_u2) a_u2[i] = a_u2[i] + t2;
    }
}

// SaturateTo24Bit in a form the compiler turns into vector selects: the same value for every input.
inline int32_t SaturateTo24BitBranchless(double v) {
    constexpr double kHigh = kSampleFullScale;
    double c = v == v ? v : 0.0;
    c = c < kHigh ? c : kHigh;
    c = c > -kHigh ? c : -kHigh;
    return static_cast<int32_t>(c);
}

// Words of `frames` frames of one output: overlap-add, gains, saturation. Sample j of the block is
// acc[Stride j] and sample N + j spill[Stride j]: Stride 2 for a block kept as the real parts of complex
// points, 1 for a compact one.
template <int Stride>
void ComputeOutputWords(const float* __restrict acc, const float* __restrict spill, float* __restrict tail,
                        double master, double trim, int32_t* __restrict w, int frames) {
    for (int j = 0; j < frames; ++j) {
        const double v = (static_cast<double>(acc[Stride * j]) + tail[j]) * master * trim;
        tail[j] = spill[Stride * j];
        w[j] = SaturateTo24BitBranchless(v) * kSampleWordScale;
    }
}

#ifdef HV_AVX_TRANSPOSE
#define HV_OUTPUT_AVX 1
// Four samples: the real parts of four interleaved complex points (Stride 2), or four floats (Stride 1).
template <int Stride>
__attribute__((target("avx"))) inline __m128 FourSamples(const float* p) {
    if (Stride == 1) return _mm_loadu_ps(p);
    const __m256 x = _mm256_loadu_ps(p);
    return _mm_shuffle_ps(_mm256_castps256_ps128(x), _mm256_extractf128_ps(x, 1), _MM_SHUFFLE(2, 0, 2, 0));
}

// The same words four frames at a time in 256-bit double vectors: the sum and the two gains in double as
// above, saturation by min and max (they select exactly as the compares of SaturateTo24BitBranchless do),
// truncation by the converting instruction. Min and max return their second operand when either is a NaN,
// so a NaN reaches the conversion, which gives 0x80000000 for it; the shift into the word's top 24 bits
// makes that 0, the word of a NaN.
template <int Stride>
__attribute__((target("avx"))) void ComputeOutputWordsAvx(const float* __restrict acc, const float* __restrict spill,
                                                          float* __restrict tail, double master, double trim,
                                                          int32_t* __restrict w, int frames) {
    const __m256d vmaster = _mm256_set1_pd(master), vtrim = _mm256_set1_pd(trim);
    const __m256d high = _mm256_set1_pd(kSampleFullScale), low = _mm256_set1_pd(-kSampleFullScale);
    int j = 0;
    for (; j + 4 <= frames; j += 4) {
        const __m256d sum =
            _mm256_add_pd(_mm256_cvtps_pd(FourSamples<Stride>(acc + Stride * j)), _mm256_cvtps_pd(_mm_loadu_ps(tail + j)));
        __m256d v = _mm256_mul_pd(_mm256_mul_pd(sum, vmaster), vtrim);
        __m128 spilled = FourSamples<Stride>(spill + Stride * j);
        __asm__("" : "+x"(spilled));  // see ComputeOutputWordsAvx512
        _mm_storeu_ps(tail + j, spilled);
        v = _mm256_max_pd(low, _mm256_min_pd(high, v));  // a NaN passes through both
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + j), _mm_slli_epi32(_mm256_cvttpd_epi32(v), kSampleShift));
    }
    for (; j < frames; ++j) {
        const double v = (static_cast<double>(acc[Stride * j]) + tail[j]) * master * trim;
        tail[j] = spill[Stride * j];
        w[j] = SaturateTo24BitBranchless(v) * kSampleWordScale;
    }
}

// GCC 12's AVX-512 intrinsics start results from an undefined vector, which its flow analysis reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// Eight samples: the real parts of eight interleaved complex points (Stride 2), or eight floats (Stride 1).
template <int Stride>
__attribute__((target("avx512f"))) inline __m256 EightSamples(const float* p) {
    if (Stride == 1) return _mm256_loadu_ps(p);
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 0, 0, 0, 0, 0, 0, 0, 0);
    return _mm512_castps512_ps256(_mm512_permutexvar_ps(even, _mm512_loadu_ps(p)));
}

// The same words eight frames at a time in 512-bit double vectors, with the operations of
// ComputeOutputWordsAvx.
template <int Stride>
__attribute__((target("avx512f"))) void ComputeOutputWordsAvx512(const float* __restrict acc,
                                                                 const float* __restrict spill, float* __restrict tail,
                                                                 double master, double trim, int32_t* __restrict w,
                                                                 int frames) {
    const __m512d vmaster = _mm512_set1_pd(master), vtrim = _mm512_set1_pd(trim);
    const __m512d high = _mm512_set1_pd(kSampleFullScale), low = _mm512_set1_pd(-kSampleFullScale);
    int j = 0;
    for (; j + 8 <= frames; j += 8) {
        const __m512d sum = _mm512_add_pd(_mm512_cvtps_pd(EightSamples<Stride>(acc + Stride * j)),
                                          _mm512_cvtps_pd(_mm256_loadu_ps(tail + j)));
        __m512d v = _mm512_mul_pd(_mm512_mul_pd(sum, vmaster), vtrim);
        // The spilled samples pass through an empty asm so that the compiler cannot see a plain copy and turn
        // it into a string move after the loop, which costs more than the stores in it.
        __m256 spilled = EightSamples<Stride>(spill + Stride * j);
        __asm__("" : "+x"(spilled));
        _mm256_storeu_ps(tail + j, spilled);
        v = _mm512_max_pd(low, _mm512_min_pd(high, v));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(w + j), _mm256_slli_epi32(_mm512_cvttpd_epi32(v), kSampleShift));
    }
    ComputeOutputWordsAvx<Stride>(acc + Stride * j, spill + Stride * j, tail + j, master, trim, w + j, frames - j);
}
#pragma GCC diagnostic pop

static_assert(kSampleShift >= 1, "the integer a NaN converts to, 0x80000000, shifts out to 0");

// Eight columns of eight frames: column c of frame t comes from source[c][j + t]. An 8 x 8 transpose of
// 32-bit words in registers, one store per frame.
__attribute__((target("avx"))) void InterleaveEightColumnsAvx(const int32_t* const* source, int j, int32_t* frame,
                                                              int words) {
    __m256 r0 = _mm256_loadu_ps(reinterpret_cast<const float*>(source[0] + j));
    __m256 r1 = _mm256_loadu_ps(reinterpret_cast<const float*>(source[1] + j));
    __m256 r2 = _mm256_loadu_ps(reinterpret_cast<const float*>(source[2] + j));
    __m256 r3 = _mm256_loadu_ps(reinterpret_cast<const float*>(source[3] + j));
    __m256 r4 = _mm256_loadu_ps(reinterpret_cast<const float*>(source[4] + j));
    __m256 r5 = _mm256_loadu_ps(reinterpret_cast<const float*>(source[5] + j));
    __m256 r6 = _mm256_loadu_ps(reinterpret_cast<const float*>(source[6] + j));
    __m256 r7 = _mm256_loadu_ps(reinterpret_cast<const float*>(source[7] + j));
    Transpose8x8(r0, r1, r2, r3, r4, r5, r6, r7);
    float* f = reinterpret_cast<float*>(frame);
    _mm256_storeu_ps(f, r0);
    _mm256_storeu_ps(f + words, r1);
    _mm256_storeu_ps(f + 2 * words, r2);
    _mm256_storeu_ps(f + 3 * words, r3);
    _mm256_storeu_ps(f + 4 * words, r4);
    _mm256_storeu_ps(f + 5 * words, r5);
    _mm256_storeu_ps(f + 6 * words, r6);
    _mm256_storeu_ps(f + 7 * words, r7);
}

// Frames 0..frames-1 of the first eight columns when only kLive of them carry words (column[k] goes to
// lane[k]) and the others are silent: each frame is its live words, each loaded into every lane and kept in
// its own, and zeros. Cheaper than the transpose, whose shuffles all go through one port.
template <int kLive>
__attribute__((target("avx2"))) void InterleaveLiveColumnsAvx2(const int32_t* const* column, const int* lane, int frames,
                                                               int32_t* frame, int words) {
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i keep[kLive];
    for (int k = 0; k < kLive; ++k) keep[k] = _mm256_cmpeq_epi32(lanes, _mm256_set1_epi32(lane[k]));
    for (int j = 0; j < frames; ++j, frame += words) {
        __m256i v = _mm256_and_si256(_mm256_set1_epi32(column[0][j]), keep[0]);
        for (int k = 1; k < kLive; ++k) v = _mm256_or_si256(v, _mm256_and_si256(_mm256_set1_epi32(column[k][j]), keep[k]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(frame), v);
    }
}

// The same for whichever of the first eight columns are live (not kZeroWords); returns false, writing
// nothing, when more than three are (the transpose is the quicker way then).
__attribute__((target("avx2"))) bool InterleaveFewColumnsAvx2(const int32_t* const* source, int frames, int32_t* frame,
                                                              int words) {
    const int32_t* column[3];
    int lane[3];
    int live = 0;
    for (int c = 0; c < 8; ++c) {
        if (source[c] == kZeroWords) continue;
        if (live == 3) return false;
        column[live] = source[c];
        lane[live++] = c;
    }
    switch (live) {
        case 0: {
            for (int j = 0; j < frames; ++j) _mm256_storeu_si256(reinterpret_cast<__m256i*>(frame + j * words), _mm256_setzero_si256());
            return true;
        }
        case 1: InterleaveLiveColumnsAvx2<1>(column, lane, frames, frame, words); return true;
        case 2: InterleaveLiveColumnsAvx2<2>(column, lane, frames, frame, words); return true;
        default: InterleaveLiveColumnsAvx2<3>(column, lane, frames, frame, words); return true;
    }
}
#endif

}  // namespace

int32_t SaturateTo24Bit(double v) {
    if (!(v == v)) return 0;
    if (v >= static_cast<double>(kSampleFullScale)) return kSampleFullScale;
    if (v <= -static_cast<double>(kSampleFullScale)) return -kSampleFullScale;
    return static_cast<int32_t>(v);  // in range: truncation toward zero
}

int32_t CabsDelayInUse(int32_t cabs_enabled, int32_t cabs_delay_samples, int N) {
    if (cabs_enabled != 1) return 0;
    if (cabs_delay_samples < 0) return 0;
    const int32_t longest = kRingBlocks * N;
    return cabs_delay_samples > longest ? longest : cabs_delay_samples;
}

void RunOutputStage(EngineBlockContext& ctx, OutputRange range, const LiveBlockValues& live) {
    const int N = ctx.N;
    if (ctx.BassMode == kBassModeBbmOutput) AddBassManagementSums(ctx, range, live.BbmGain);
    if (range.last < range.first) return;

    const int words = OutputFrameWords(ctx.OutputMode);
    const double master = live.MasterGain;
    const int count = range.last - range.first + 1;
    int32_t delay[kEngineOutputs];
    for (int i = 0; i < count; ++i) {
        const int o = range.first + i;
        delay[i] = CabsDelayInUse(ctx.CabsEnabled ? ctx.CabsEnabled[o - 1] : 0,
                                  ctx.CabsDelaySamples ? ctx.CabsDelaySamples[o - 1] : 0, N);
    }

    // Frames go out in chunks, all outputs of a chunk at once, so that each line of the interleaved block
    // is filled while it is in the cache. A word with delay d is read from the ring d frames after it was
    // written there; every such write lies in the same chunk or an earlier one.
    int32_t scratch[kEngineOutputs][kOutputChunkFrames];
    const int32_t* source[kEngineOutputs];
    for (int j0 = 0; j0 < N; j0 += kOutputChunkFrames) {
        const int frames = N - j0 < kOutputChunkFrames ? N - j0 : kOutputChunkFrames;
        for (int i = 0; i < count; ++i) {
            const int o = range.first + i;
            const bool compact = ctx.AccumulatorCompact[o - 1] != 0;
            const int stride = compact ? 1 : 2;
            const float* acc = ctx.OutputAccumulator[o - 1] + stride * j0;
            const float* spill = ctx.OutputAccumulator[o - 1] + stride * (N + j0);
            float* tail = ctx.OverlapTail[o - 1] + j0;
            const double trim = live.ChannelTrims[o - 1];
            int32_t* ring = ctx.OutputDelayRing[o - 1];
            // Without delay a word passes through the ring within its block and the ring stays all zero,
            // so the words go straight to their column.
            int32_t* w = delay[i] == 0 ? scratch[i] : ring + delay[i] + j0;
            source[i] = delay[i] == 0 ? scratch[i] : ring + j0;
            if (ctx.AccumulatorZero[o - 1] && ctx.TailZero[o - 1]) {
                // Nothing feeds the output and nothing is left over: zero words, and the tail stays zero.
                if (delay[i] == 0) source[i] = kZeroWords;
                else std::memset(w, 0, static_cast<size_t>(frames) * sizeof(int32_t));
                continue;
            }
#ifdef HV_OUTPUT_AVX
            if (BlockPathHasAvx512()) {
                if (compact) ComputeOutputWordsAvx512<1>(acc, spill, tail, master, trim, w, frames);
                else ComputeOutputWordsAvx512<2>(acc, spill, tail, master, trim, w, frames);
                continue;
            }
            if (BlockPathHasAvx()) {
                if (compact) ComputeOutputWordsAvx<1>(acc, spill, tail, master, trim, w, frames);
                else ComputeOutputWordsAvx<2>(acc, spill, tail, master, trim, w, frames);
                continue;
            }
#endif
            if (compact) ComputeOutputWords<1>(acc, spill, tail, master, trim, w, frames);
            else ComputeOutputWords<2>(acc, spill, tail, master, trim, w, frames);
        }
        int32_t* frame = ctx.OutputBlock + static_cast<long>(j0) * words + (range.first - 1);
        int j = 0;
#ifdef HV_OUTPUT_AVX
        if (count >= 8 && BlockPathHasAvx()) {
            // The first eight columns: with at most three of them live, frame by frame from the live words.
            if (BlockPathHasAvx2() && InterleaveFewColumnsAvx2(source, frames, frame, words)) {
                for (int t = 0; t < frames; ++t)
                    for (int i = 8; i < count; ++i) frame[t * words + i] = source[i][t];
                j = frames;
            }
            for (; j + 8 <= frames; j += 8, frame += 8 * words) {
                InterleaveEightColumnsAvx(source, j, frame, words);
                for (int t = 0; t < 8; ++t)
                    for (int i = 8; i < count; ++i) frame[t * words + i] = source[i][j + t];
            }
        }
#endif
        for (; j < frames; ++j, frame += words) {
            for (int i = 0; i < count; ++i) frame[i] = source[i][j];
        }
    }

    for (int o = range.first; o <= range.last; ++o) ctx.TailZero[o - 1] = ctx.AccumulatorZero[o - 1];

    // Words at and above d + N are never written and stay zero from the engine start, so moving a ring
    // down by one block touches only words N .. d + N - 1.
    for (int i = 0; i < count; ++i) {
        if (delay[i] == 0) continue;
        int32_t* ring = ctx.OutputDelayRing[range.first + i - 1];
        std::memmove(ring, ring + N, static_cast<size_t>(delay[i]) * sizeof(int32_t));
        std::memset(ring + delay[i], 0, static_cast<size_t>(N) * sizeof(int32_t));
    }
}
