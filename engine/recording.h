#pragma once
// End-of-block measurements of the capture thread: the output peaks for the meters, the stereo recording
// mix packed into 8,192-byte chunks, and the timing texts "Pt=", "Lt=" and "Fr=".
#include <cstddef>
#include <cstdint>

inline constexpr int kOutputPeakCount = 16;
inline constexpr int kRecordChunkBytes = 8192;
inline constexpr int kRecordChunkFrames = kRecordChunkBytes / 8;  // {int32 left, int32 right}
inline constexpr int32_t kRecordedWavSlots = 15000;               // RecordedWav table size
inline constexpr int kLeftMixPeak = 10;                            // OutputPeaks entries of the mixes
inline constexpr int kRightMixPeak = 11;

// The recording: chunk storage taken before the engine starts (never from the audio thread), filled
// frame after frame without gaps whatever the block size.
struct RecordingPool {
    int32_t** RecordedWav = nullptr;   // Capacity chunks of kRecordChunkBytes, zeroed
    int32_t Capacity = 0;              // RecordedWavCapacity
    int32_t Count = 0;                 // RecordedWavCount: chunks filled
    int32_t FramesInChunk = 0;         // frames already in chunk Count
};

// Allocates `capacity` zeroed chunks; returns 0, or 1 after freeing what it got when memory ran out (the
// caller shows "FATAL ERROR, Could Not Allocate WAV Memory").
int AllocateRecordingPool(RecordingPool* pool, int32_t capacity);
// Frees every chunk and the table; Capacity and Count become 0.
void FreeRecordingPool(RecordingPool* pool);
// After Stop: counts a partly filled last chunk (its rest is silence) so that it is written too.
void FinishRecording(RecordingPool* pool);

// What the panel's title should say after a block.
enum class RecordingTitle {
    kNone,   // not recording
    kCount,  // "WAV Buffers = %d" with pool->Count
    kFull,   // "WAV File Buffer = FULL": frames of this block found no room
};
// The title text for a result ("" for kNone).
void FormatRecordingTitle(RecordingTitle title, int32_t count, char* text, size_t size);

// Sets the sixteen peaks from the N frames of output_block (8, 16 or 10 words a frame by output_mode):
// without recording, the largest positive word of each column; while recording (record_output not 0), the
// peaks of outputs 1, 2, 5, 6, 15 and 16 (those the mode has), and the left and right mixes in entries 10 and
// 11. left = o1 + o2 + o15 + o16, right = o5 + o6 + o15 + o16 (outputs 15 and 16 only in "16 Outputs"),
// summed in 64 bits and saturated to the 24-bit word range.
RecordingTitle MeterAndRecordOutputBlock(const int32_t* output_block, int frames, uint32_t output_mode,
                                         int32_t record_output, RecordingPool* pool,
                                         float output_peaks[kOutputPeakCount]);

// The three timing texts of one block.
struct BlockTimeTexts {
    char ProcessingTime[32];  // "Pt=%u.%u  "
    char Period[32];          // "Lt=%u.%u"
    char BlockNumber[32];     // "Fr=%d"
};
// "%u.%u" of ticks x ticks_to_ms milliseconds: whole milliseconds, then hundredths without a leading zero.
void FormatMilliseconds(const char* prefix, int32_t ticks, float ticks_to_ms, const char* suffix, char* text,
                        size_t size);
// Fills the texts from the low halves of the counter readings and moves *prev_block_start on to
// block_start.
void FormatBlockTimes(uint32_t block_start, uint32_t block_end, uint32_t* prev_block_start, float ticks_to_ms,
                      int32_t block_counter, BlockTimeTexts* out);
