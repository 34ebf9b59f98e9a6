#pragma once
// The recorded output as a WAV file: RIFF "WAVE" with a 40-byte extensible "fmt " chunk (2 channels,
// 32-bit containers with 24 valid bits, front left and right, integer PCM) at the rate the engine ran,
// and a "data" chunk of the recording's 8,192-byte chunks in order. Written after STOP.
#include <cstdint>
#include <string>

#include "app/messages.h"
#include "app/raw_file.h"
#include "engine/recording.h"

inline constexpr int kRecordingHeaderBytes = 68;
inline constexpr int kRecordingFormatChunkBytes = 40;
inline constexpr const char* kRecordingOpenFailed = "Failed to open file";

// The whole file image of the chunks filled so far (a partly filled last chunk counts only after
// FinishRecording).
std::string RecordingWavImage(const RecordingPool& pool, uint32_t sample_rate);

// True when a recording holds frames to save (also after the engine has ended on a failure).
inline bool RecordingToSave(const RecordingPool& pool) {
    return pool.RecordedWav && (pool.Count > 0 || pool.FramesInChunk > 0);
}

// Counts a partly filled last chunk and writes the file through a temporary beside `path`. A written file
// frees every chunk. A failed write adds "Failed to open file" to the messages and keeps the recording, so
// that it can be saved again (elsewhere, or once there is room); the caller drops it when it gives up.
RawFileStatus SaveRecordingWav(const std::string& path, RecordingPool* pool, uint32_t sample_rate,
                               MessageList* messages);
