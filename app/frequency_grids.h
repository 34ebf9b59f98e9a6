#pragma once
// The shared frequency grids and the block size they follow.
#include <cstdint>

#include "app/settings.h"

inline constexpr int kBinCount = 131072;
inline constexpr int kPlotColumns = 2000;
inline constexpr int kLogGridPoints = 3100;
inline constexpr int kLogGridReference = 699;  // LogFrequencyTable[699] is the lowest plotted frequency
inline constexpr int kMaxBlockFrames = 4096;    // the largest N; buffers sized once for it

extern float BinFrequencyTable[kBinCount];       // k * fs / (8N); bin 0 stored as 0.01 Hz
extern float PlotFrequencyTable[kPlotColumns];   // fmin * (fmax/fmin)^(i/2000)
extern float LogFrequencyTable[kLogGridPoints];  // fmin * (fmax/fmin)^((i - 699)/2000)
extern int BlockFrames;                          // N: 512, 1024, 2048 or 4096

// 0 = 44100, 1 = 48000, 2 = 96000 Hz (another index gives 48000).
int SampleRateOf(uint32_t samplingIndex);
// 0..3 = 512, 1024, 2048, 4096 frames (another index gives 1024).
int BlockFramesOf(uint32_t bufferSizeIndex);

// BlockFrames and BinFrequencyTable for a rate and block-size index.
void RebuildBinGrid(uint32_t samplingIndex, uint32_t bufferSizeIndex);
// PlotFrequencyTable and LogFrequencyTable for the plotted range.
void RebuildPlotGrids(const FrequencyRange& range);
