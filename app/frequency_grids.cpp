#include "app/frequency_grids.h"

#include <cmath>

float BinFrequencyTable[kBinCount];
float PlotFrequencyTable[kPlotColumns];
float LogFrequencyTable[kLogGridPoints];
int BlockFrames = 1024;

int SampleRateOf(uint32_t samplingIndex) {
    switch (samplingIndex) {
        case 0: return 44100;
        case 2: return 96000;
        default: return 48000;
    }
}

int BlockFramesOf(uint32_t bufferSizeIndex) { return 512 << (bufferSizeIndex < 4 ? bufferSizeIndex : 1); }

void RebuildBinGrid(uint32_t samplingIndex, uint32_t bufferSizeIndex) {
    BlockFrames = BlockFramesOf(bufferSizeIndex);
    const double step = static_cast<double>(SampleRateOf(samplingIndex)) / (8.0 * BlockFrames);
    BinFrequencyTable[0] = 0.01f;
    for (int k = 1; k < kBinCount; ++k) BinFrequencyTable[k] = static_cast<float>(k * step);
}

void RebuildPlotGrids(const FrequencyRange& range) {
    const double fmin = AxisLowestFrequency(range.lowest);
    const double ratio = AxisHighestFrequency(range.highest) / fmin;
    for (int i = 0; i < kPlotColumns; ++i) PlotFrequencyTable[i] = static_cast<float>(fmin * std::pow(ratio, i / 2000.0));
    for (int i = 0; i < kLogGridPoints; ++i)
        LogFrequencyTable[i] = static_cast<float>(fmin * std::pow(ratio, (i - kLogGridReference) / 2000.0));
}
