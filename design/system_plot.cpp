#include "design/system_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

PlotGeometry MakePlotGeometry(int w, int h, double fmin, double fmax, int dbStep) {
    PlotGeometry g;
    g.w = w;
    g.h = h;
    g.fmin = fmin;
    g.fmax = fmax;
    // A step of 0 would put every value at infinity; the text holds "5", but keep the division defined.
    g.s = dbStep != 0 ? dbStep : 5;
    g.r = static_cast<float>(h - 40) / 18.0f;
    return g;
}

double PlotXOfFrequency(const PlotGeometry& g, double f) {
    return 60.0 + (g.w - 80) * std::log10(f / g.fmin) / std::log10(g.fmax / g.fmin);
}

double PlotColumnX(const PlotGeometry& g, int j) { return 60.0 + j * static_cast<double>(g.w - 80) / kPlotColumnCount; }

double PlotDbY(const PlotGeometry& g, double v) { return 20.0 + 4.0 * g.r - v * g.r / g.s; }

double PlotPhaseY(const PlotGeometry& g, double p) { return 20.0 + 9.0 * g.r - p * g.r / 20.0; }

int ClampPlotY(const PlotGeometry& g, double y) {
    const double lo = 19.0, hi = g.h - 21.0;
    if (!(y >= lo)) return 19;  // NaN lands on the top edge too
    if (y > hi) return g.h - 21;
    return static_cast<int>(y);
}

namespace {
double GridStep(double f) {
    if (f < 10) return 1;
    if (f < 100) return 10;
    if (f < 1000) return 100;
    if (f < 10000) return 1000;
    return 10000;
}
}  // namespace

std::vector<double> PlotGridFrequencies(double fmin, double fmax) {
    std::vector<double> out;
    for (double f = fmin; f < fmax + 1; f += GridStep(f)) out.push_back(f);
    return out;
}

std::vector<PlotLabel> PlotFrequencyLabels(double fmin, double fmax) {
    std::vector<PlotLabel> out;
    char text[32];
    for (double f = fmin; f < fmax; f += GridStep(f)) {
        const bool plain = f < 7 || f == 8 || (f >= 10 && f < 50) || f == 60 || f == 80 || (f >= 100 && f < 500) ||
                           f == 600;
        const bool kilo = (f >= 1000 && f < 5000) || f == 6000 || f == 8000 || (f >= 10000 && f < 50000) ||
                          f == 60000 || f == 80000;
        if (plain) {
            std::snprintf(text, sizeof text, "%.0f", f);
        } else if (kilo) {
            std::snprintf(text, sizeof text, "%.0fk", f / 1000);
        } else {
            continue;
        }
        out.push_back(PlotLabel{text, f});
    }
    return out;
}

namespace {
std::string FourCharacters(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", v);
    return std::string(text).substr(0, 4);
}
}  // namespace

std::string PlotDbLabel(int row, double s) { return FourCharacters((4 - row) * s); }
std::string PlotPhaseLabel(int row) { return FourCharacters(180 - 20 * row); }

std::string PlotWindowTitle(uint32_t outputMode) {
    std::string title = "Halvane Equalizer Frequency Domain";
    switch (outputMode) {
        case 0: title += ", 8 Outputs"; break;
        case 1: title += ", 16 Outputs"; break;
        case 2: title += ", 8 Outputs + SPDIF"; break;
        default: break;
    }
    return title;
}

const char* PlotChannelName(int activePane) {
    static const char* const kNames[10] = {"No Channel Selected", "Front-Left", "Center",      "Front-Right",
                                           "Rear-Left",           "Subwoofer",  "Rear-Right",  "Subwoofer 2",
                                           "Side-Left",           "Side-Right"};
    return activePane >= 0 && activePane <= 9 ? kNames[activePane] : "";
}

const std::vector<int>& PlotSlotOrder() {
    static const std::vector<int> order = [] {
        std::vector<int> v;
        for (int s = 0; s < 128; ++s) v.push_back(s);
        v.push_back(129);
        v.push_back(130);
        for (int s = 133; s < 165; ++s) v.push_back(s);
        return v;
    }();
    return order;
}

bool PlotSlotDrawn(int slot) { return (slot >= 0 && slot < 128) || slot == 129 || slot == 130 || (slot >= 133 && slot < 165); }

bool PlotSlotIsPhase(int slot) { return (slot >= 64 && slot < 128) || slot == 130 || (slot >= 149 && slot < 165); }

PlotLegend PlotSlotLegend(int slot, int w) {
    char text[64] = "";
    PlotLegend l{};
    auto dbColumn = [&](int row) {
        l.textX = w - 110;
        l.textY = 25 + 9 * row;
        l.lineX0 = w - 50;
        l.lineX1 = w - 25;
        l.lineY = 30 + 9 * row;
    };
    auto phaseColumn = [&](int row) {
        l.textX = w - 210;
        l.textY = 25 + 9 * row;
        l.lineX0 = w - 145;
        l.lineX1 = w - 120;
        l.lineY = 30 + 9 * row;
    };
    static const char* const kGroups[4] = {"Filter", "Driver", "HBT", "Final"};
    if (slot >= 0 && slot < 64) {
        std::snprintf(text, sizeof text, "%s %d SPL", kGroups[slot / 16], slot % 16 + 1);
        dbColumn(slot);
    } else if (slot >= 64 && slot < 128) {
        std::snprintf(text, sizeof text, "%s %d Phase", kGroups[(slot - 64) / 16], (slot - 64) % 16 + 1);
        phaseColumn(slot - 64);
    } else if (slot == 129) {
        std::snprintf(text, sizeof text, "System SPL");
        l = PlotLegend{"", w - 110, 619, w - 50, w - 25, 624};
    } else if (slot == 130) {
        std::snprintf(text, sizeof text, "System Phase");
        l = PlotLegend{"", w - 210, 619, w - 145, w - 120, 624};
    } else if (slot >= 133 && slot < 149) {
        std::snprintf(text, sizeof text, "HBT + Filter %d SPL", slot - 132);
        l = PlotLegend{"", 65, 25 + 9 * (slot - 133), 145, 170, 30 + 9 * (slot - 133)};
    } else if (slot >= 149 && slot < 165) {
        std::snprintf(text, sizeof text, "HBT + Filter %d Phase", slot - 148);
        l = PlotLegend{"", 180, 25 + 9 * (slot - 149), 270, 295, 30 + 9 * (slot - 149)};
    }
    l.text = text;
    return l;
}

PlotPen PlotPenOf(float red, float green, float blue, float width, float lineType) {
    auto channel = [](float v) {
        if (!std::isfinite(v) || std::fabs(v) > 2.0e9f) return 0;
        const int i = static_cast<int>(v) % 256;
        return i < 0 ? i + 256 : i;
    };
    PlotPen pen{};
    const int type = std::isfinite(lineType) && std::fabs(lineType) < 1e9f ? static_cast<int>(lineType) : 0;
    pen.style = type == 2 ? 1 : type == 3 ? 2 : 0;
    pen.width = std::isfinite(width) && width > 0 && width < 100 ? static_cast<int>(width) : 0;
    pen.red = channel(red);
    pen.green = channel(green);
    pen.blue = channel(blue);
    return pen;
}

void MapBinsToColumns(const float* binFrequency, int bins, const float* plotFrequency, int32_t* column) {
    const float* end = plotFrequency + kPlotColumnCount;
    for (int k = 0; k < bins; ++k) {
        const float* above = std::upper_bound(plotFrequency, end, binFrequency[k]);
        column[k] = above == end ? -1 : static_cast<int32_t>(above - plotFrequency);
    }
}

void MapBinsToColumnsLiteral(const float* binFrequency, int bins, const float* plotFrequency, int32_t* column) {
    for (int k = 0; k < bins; ++k) {
        column[k] = -1;
        for (int j = 0; j < kPlotColumnCount; ++j) {
            if (plotFrequency[j] > binFrequency[k]) {
                column[k] = j;
                break;
            }
        }
    }
}

namespace {
int CurveY(const PlotGeometry& g, float v, bool phase) { return ClampPlotY(g, phase ? PlotPhaseY(g, v) : PlotDbY(g, v)); }
}  // namespace

void BuildCurveStrokesLiteral(const PlotGeometry& g, const float* values, const int32_t* column, int bins, bool phase,
                              std::vector<PlotStroke>* strokes) {
    strokes->clear();
    for (int k = 0; k < bins; ++k) {
        const int j = column[k];
        if (j < 0) continue;
        const int x = static_cast<int>(PlotColumnX(g, j));
        const int y = CurveY(g, values[k], phase);
        if (j == 0) strokes->push_back(PlotStroke{true, x, y});
        strokes->push_back(PlotStroke{false, x, y});
    }
}

void BuildCurvePolyline(const PlotGeometry& g, const float* values, const int32_t* column, int bins, bool phase,
                        std::vector<PlotPoint>* points) {
    points->clear();
    int k = 0;
    // Column 0 only moves the pen: its last bin is where the line starts.
    for (; k < bins; ++k) {
        const int j = column[k];
        if (j < 0) continue;
        if (j != 0) break;
        if (points->empty()) points->push_back(PlotPoint{static_cast<int>(PlotColumnX(g, 0)), 0});
        points->back().y = CurveY(g, values[k], phase);
    }
    // A run of bins in one column is a vertical stroke from its first to its last value through its extremes.
    // A value's position is monotonic in the value (an affine map, then the clamp), so the extreme positions
    // belong to the extreme values and only four values per run are positioned. NaN sits on the top edge.
    while (k < bins) {
        const int j = column[k];
        if (j < 0) {
            ++k;
            continue;
        }
        const float firstV = values[k];
        float lowV = std::numeric_limits<float>::infinity(), highV = -lowV;
        bool anyNan = false;
        for (; k < bins && column[k] == j; ++k) {
            const float v = values[k];
            anyNan |= v != v;
            lowV = v < lowV ? v : lowV;
            highV = v > highV ? v : highV;
        }
        const float lastV = values[k - 1];
        const int x = static_cast<int>(PlotColumnX(g, j));
        const int first = CurveY(g, firstV, phase), last = CurveY(g, lastV, phase);
        int lo = std::min(first, last), hi = std::max(first, last);
        if (lowV <= highV) {
            const int a = CurveY(g, lowV, phase), b = CurveY(g, highV, phase);
            lo = std::min(lo, std::min(a, b));
            hi = std::max(hi, std::max(a, b));
        }
        if (anyNan) lo = std::min(lo, 19);
        // first -> lowest -> highest -> last walks the whole vertical extent of the run.
        for (int y : {first, lo, hi, last})
            if (points->empty() || points->back().x != x || points->back().y != y) points->push_back(PlotPoint{x, y});
    }
}
