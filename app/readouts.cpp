#include "app/readouts.h"

#include <cstdio>

std::string SplReadoutTitle(const SplReadoutInputs& in, int x, int y) {
    // A plot narrower than its margins has no columns to read.
    if (in.width <= 80) return kSplPlotTitle;
    const double colValue = static_cast<double>(x - 60) * 2000.0 / static_cast<double>(in.width - 80);
    const int col = static_cast<int>(colValue);
    if (colValue < 0 || col > 1999 || y < 20 || y >= in.height - 20) return kSplPlotTitle;
    const int lastBin = 8 * in.blockFrames;
    int k = -1;
    for (int b = 0; b <= lastBin; ++b) {
        if (in.binFrequency[b] > in.plotFrequency[col]) {
            k = b;
            break;
        }
    }
    if (k < 0) return kSplPlotTitle;
    const int outputs = in.outputMode == 0 ? 8 : (in.outputMode == 1 ? 16 : 10);
    char buf[64];
    std::snprintf(buf, sizeof buf, "Freq[%d] = %.1fHz, ", k, static_cast<double>(in.binFrequency[k]));
    std::string title = buf;
    for (int o = 1; o <= outputs; ++o) {
        std::snprintf(buf, sizeof buf, "%d: %.1f/%.1f", o, static_cast<double>(in.splCurve[o - 1][k]),
                      static_cast<double>(in.phaseCurve[o - 1][k]));
        title += buf;
        title += (o < outputs) ? ", " : " ";
    }
    return title;
}

int IrMouseBin(int x, int width, int irTimeScale) {
    if (width <= 80) return -1;
    return static_cast<int>(static_cast<double>(x - 60) * 2.0 * irTimeScale / static_cast<double>(width - 80));
}

int IrKeyBin(int bin, int step, int limit) {
    int b = bin + step;
    if (b < 0) b = 0;
    if (b > limit) b = limit;
    return b;
}
