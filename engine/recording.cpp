#include "engine/recording.h"

#include "engine/block_path.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr int64_t kWordFullScale = 8388607LL * 256;  // largest 24-bit sample in its 32-bit word

int FrameWords(uint32_t output_mode) { return output_mode == 1 ? 16 : output_mode == 2 ? 10 : 8; }

int32_t SaturateMix(int64_t v) {
    if (v > kWordFullScale) return static_cast<int32_t>(kWordFullScale);
    if (v < -kWordFullScale) return static_cast<int32_t>(-kWordFullScale);
    return static_cast<int32_t>(v);
}

inline void RaisePeak(float* peak, int32_t v) {
    const float f = static_cast<float>(v);
    if (f > *peak) *peak = f;
}

// The largest word of each of the W columns, 0 when none is positive. The maxima are taken on the words
// and converted once: the conversion keeps their order, so this is the float maximum of the words.
// Compiled plainly and, where the processor has it, with AVX (whose 128-bit integer maximum the plain
// instruction set lacks).
#define HV_COLUMN_PEAKS_BODY                                                                   \
    int32_t top[W] = {};                                                                       \
    for (int j = 0; j < frames; ++j) {                                                         \
        const int32_t* frame = block + static_cast<long>(j) * W;                               \
        for (int c = 0; c < W; ++c) top[c] = frame[c] > top[c] ? frame[c] : top[c];           \
    }                                                                                          \
    for (int c = 0; c < W; ++c) peaks[c] = static_cast<float>(top[c]);

template <int W>
void ColumnPeaksPlain(const int32_t* block, int frames, float* peaks) {
    HV_COLUMN_PEAKS_BODY
}

#if defined(__GNUC__) && defined(__x86_64__)
#define HV_COLUMN_PEAKS_AVX 1
template <int W>
__attribute__((target("avx"))) void ColumnPeaksAvx(const int32_t* block, int frames, float* peaks) {
    HV_COLUMN_PEAKS_BODY
}
#endif

template <int W>
void ColumnPeaks(const int32_t* block, int frames, float* peaks) {
#ifdef HV_COLUMN_PEAKS_AVX
    if (BlockPathHasAvx()) return ColumnPeaksAvx<W>(block, frames, peaks);
#endif
    ColumnPeaksPlain<W>(block, frames, peaks);
}

// Unsigned whole units of a non-negative time, held inside the range of the text.
unsigned WholeUnits(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 4294967295.0) return 4294967295u;
    return static_cast<unsigned>(v);
}

}  // namespace

int AllocateRecordingPool(RecordingPool* pool, int32_t capacity) {
    FreeRecordingPool(pool);
    if (capacity <= 0) return 0;
    pool->RecordedWav = new (std::nothrow) int32_t*[capacity]();
    if (!pool->RecordedWav) return 1;
    for (int32_t i = 0; i < capacity; ++i) {
        pool->RecordedWav[i] = static_cast<int32_t*>(std::calloc(1, kRecordChunkBytes));
        if (!pool->RecordedWav[i]) {
            pool->Capacity = i;
            FreeRecordingPool(pool);
            return 1;
        }
    }
    pool->Capacity = capacity;
    pool->Count = 0;
    pool->FramesInChunk = 0;
    return 0;
}

void FreeRecordingPool(RecordingPool* pool) {
    if (pool->RecordedWav) {
        for (int32_t i = 0; i < pool->Capacity; ++i) std::free(pool->RecordedWav[i]);
        delete[] pool->RecordedWav;
    }
    pool->RecordedWav = nullptr;
    pool->Capacity = 0;
    pool->Count = 0;
    pool->FramesInChunk = 0;
}

void FinishRecording(RecordingPool* pool) {
    if (pool->FramesInChunk > 0 && pool->Count < pool->Capacity) {
        ++pool->Count;
        pool->FramesInChunk = 0;
    }
}

void FormatRecordingTitle(RecordingTitle title, int32_t count, char* text, size_t size) {
    if (size == 0) return;
    switch (title) {
        case RecordingTitle::kCount: std::snprintf(text, size, "WAV Buffers = %d", count); break;
        case RecordingTitle::kFull: std::snprintf(text, size, "WAV File Buffer = FULL"); break;
        case RecordingTitle::kNone: text[0] = '\0'; break;
    }
}

RecordingTitle MeterAndRecordOutputBlock(const int32_t* output_block, int frames, uint32_t output_mode,
                                         int32_t record_output, RecordingPool* pool,
                                         float output_peaks[kOutputPeakCount]) {
    for (int c = 0; c < kOutputPeakCount; ++c) output_peaks[c] = 0.0f;
    const int words = FrameWords(output_mode);

    if (record_output == 0) {
        switch (words) {
            case 8: ColumnPeaks<8>(output_block, frames, output_peaks); break;
            case 10: ColumnPeaks<10>(output_block, frames, output_peaks); break;
            default: ColumnPeaks<16>(output_block, frames, output_peaks); break;
        }
        return RecordingTitle::kNone;
    }

    // Outputs 15 and 16 take part only where the layout has them.
    const bool has_rear_pair = words == 16;
    bool dropped = false;
    for (int j = 0; j < frames; ++j) {
        const int32_t* frame = output_block + static_cast<long>(j) * words;
        int64_t left = static_cast<int64_t>(frame[0]) + frame[1];
        int64_t right = static_cast<int64_t>(frame[4]) + frame[5];
        RaisePeak(&output_peaks[0], frame[0]);
        RaisePeak(&output_peaks[1], frame[1]);
        RaisePeak(&output_peaks[4], frame[4]);
        RaisePeak(&output_peaks[5], frame[5]);
        if (has_rear_pair) {
            const int64_t shared = static_cast<int64_t>(frame[14]) + frame[15];
            left += shared;
            right += shared;
            RaisePeak(&output_peaks[14], frame[14]);
            RaisePeak(&output_peaks[15], frame[15]);
        }
        const int32_t l = SaturateMix(left), r = SaturateMix(right);
        RaisePeak(&output_peaks[kLeftMixPeak], l);
        RaisePeak(&output_peaks[kRightMixPeak], r);

        if (!pool || pool->Count >= pool->Capacity) {
            dropped = true;
            continue;
        }
        int32_t* chunk = pool->RecordedWav[pool->Count];
        chunk[2 * pool->FramesInChunk] = l;
        chunk[2 * pool->FramesInChunk + 1] = r;
        if (++pool->FramesInChunk == kRecordChunkFrames) {
            ++pool->Count;
            pool->FramesInChunk = 0;
        }
    }
    return dropped ? RecordingTitle::kFull : RecordingTitle::kCount;
}

void FormatMilliseconds(const char* prefix, int32_t ticks, float ticks_to_ms, const char* suffix, char* text,
                        size_t size) {
    const float t = static_cast<float>(ticks) * ticks_to_ms;
    const unsigned whole = WholeUnits(t);
    const unsigned hundredths_total = WholeUnits(static_cast<double>(t) * 100.0);
    const unsigned hundredths = hundredths_total >= 100u * whole ? hundredths_total - 100u * whole : 0u;
    std::snprintf(text, size, "%s%u.%u%s", prefix, whole, hundredths, suffix);
}

void FormatBlockTimes(uint32_t block_start, uint32_t block_end, uint32_t* prev_block_start, float ticks_to_ms,
                      int32_t block_counter, BlockTimeTexts* out) {
    FormatMilliseconds("Pt=", static_cast<int32_t>(block_end - block_start), ticks_to_ms, "  ",
                       out->ProcessingTime, sizeof out->ProcessingTime);
    FormatMilliseconds("Lt=", static_cast<int32_t>(block_start - *prev_block_start), ticks_to_ms, "",
                       out->Period, sizeof out->Period);
    *prev_block_start = block_start;
    std::snprintf(out->BlockNumber, sizeof out->BlockNumber, "Fr=%d", block_counter);
}
