#include "tools/tool_plot.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr float kGridEnd = 274641.0f;

float GridStep(float f) {
    if (f < 1.0f) return 0.1f;
    if (f < 10.0f) return 1.0f;
    if (f < 100.0f) return 10.0f;
    if (f < 1000.0f) return 100.0f;
    if (f < 10000.0f) return 1000.0f;
    if (f < 100000.0f) return 10000.0f;
    return 100000.0f;
}

}  // namespace

ToolPlot MakeToolPlot(int w, int h) {
    ToolPlot p;
    p.w = w;
    p.h = h;
    p.row = static_cast<float>(h - 40) / 18.0f;
    return p;
}

double ToolAxisX(const ToolPlot& p, double f) {
    return 60.0 + (p.w - 80) * std::log10(f / kToolAxisLowHz) / std::log10(kToolAxisSpan);
}

int LogIndexX(const ToolPlot& p, int j) {
    return static_cast<int>(60.0f + static_cast<float>(j) * static_cast<float>(p.w - 80) / kToolPlotLogPoints);
}

int ClampToolPlotY(const ToolPlot& p, double y) {
    if (!(y >= 19.0)) return 19;
    if (y > p.h - 21.0) return p.h - 21;
    return static_cast<int>(y);
}

const std::vector<float>& ToolAxisGridFrequencies() {
    static const std::vector<float> grid = [] {
        std::vector<float> g;
        for (float f = 0.5f; f < kGridEnd; f += GridStep(f)) g.push_back(f);
        return g;
    }();
    return grid;
}

const std::vector<ToolAxisLabel>& ToolAxisLabels() {
    static const std::vector<ToolAxisLabel> labels = [] {
        std::vector<ToolAxisLabel> out;
        char text[32];
        for (float f : ToolAxisGridFrequencies()) {
            const bool tenths = f < 7.0f || f == 8.0f;
            const bool whole = (f >= 10.0f && f < 50.0f) || f == 60.0f || f == 80.0f || (f >= 100.0f && f < 500.0f) ||
                               f == 600.0f;
            const bool kilo = (f >= 1000.0f && f < 5000.0f) || f == 6000.0f || f == 8000.0f ||
                              (f >= 10000.0f && f <= 50000.0f) || f == 60000.0f || f == 80000.0f || f == 100000.0f ||
                              f == 200000.0f;
            if (tenths) {
                std::snprintf(text, sizeof text, "%.1f", f);
            } else if (whole) {
                std::snprintf(text, sizeof text, "%.0f", f);
            } else if (kilo) {
                std::snprintf(text, sizeof text, "%.0fk", f * 0.001f);
            } else {
                continue;
            }
            out.push_back(ToolAxisLabel{f, text});
        }
        return out;
    }();
    return labels;
}

std::vector<int> ToolPlotShadedIndices() {
    std::vector<int> out;
    for (int j = 0; j < 699; j += 4) out.push_back(j);
    for (int j = 2699; j < kToolPlotLogPoints; j += 4) out.push_back(j);
    return out;
}

void MapBinsToLogIndex(const float* bin_frequency, int count, const float* log_frequency, int32_t* index) {
    int j = 0;
    for (int k = 0; k < count; ++k) {
        // Bins ascend; should one not, the search starts over for it.
        if (k > 0 && bin_frequency[k] < bin_frequency[k - 1]) j = 0;
        while (j < kToolPlotLogPoints && !(log_frequency[j] > bin_frequency[k])) ++j;
        index[k] = j < kToolPlotLogPoints ? j : -1;
    }
}

std::vector<std::vector<ToolPlotPoint>> BuildLogIndexPolyline(const ToolPlot& p, const int32_t* index, int count,
                                                              const std::function<int(int k)>& y) {
    std::vector<std::vector<ToolPlotPoint>> strokes;
    int k = 0;
    while (k < count) {
        const int j = index[k];
        if (j < 0) {
            ++k;
            continue;
        }
        const int x = LogIndexX(p, j);
        const int first = y(k);
        int lo = first, hi = first, last = first;
        int end = k + 1;
        for (; end < count && index[end] == j; ++end) {
            last = y(end);
            lo = last < lo ? last : lo;
            hi = last > hi ? last : hi;
        }
        if (j == 0) {
            // The pen moves to every point of index 0: the run's last point is where the line starts.
            strokes.push_back({ToolPlotPoint{x, last}});
        } else {
            if (strokes.empty()) strokes.emplace_back();  // the first point drawn: the pen moves there
            std::vector<ToolPlotPoint>& s = strokes.back();
            s.push_back(ToolPlotPoint{x, first});
            if (lo != first && lo != last) s.push_back(ToolPlotPoint{x, lo});
            if (hi != first && hi != last && hi != lo) s.push_back(ToolPlotPoint{x, hi});
            if (last != first) s.push_back(ToolPlotPoint{x, last});
        }
        k = end;
    }
    return strokes;
}
