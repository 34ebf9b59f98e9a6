#include "measure/room_eq_plots.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr int kRows = 18;
constexpr double kAxisWiden = 2.4;     // the axis is laid out as if 2.4 times wider: only its low end shows
constexpr double kGridStop = 280.0;    // Hz: no grid line or label from here on
constexpr double kColumnStep = 0.0005; // of the (widened) width per column: 2000 columns
constexpr int kImpulsePoints = 2000;

int Trunc(double v) { return v > -2147483648.0 && v < 2147483647.0 ? static_cast<int>(v) : 0; }

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", v);
    return std::string(text).substr(0, 4);
}

double Step(int W) { return kColumnStep * (kAxisWiden * W - 80.0); }

}  // namespace

double RoomEqRowHeight(int H) { return (H - 40) / static_cast<double>(kRows); }

RoomEqYMap RoomEqLevelMap(int H) { return {20.0 + 7.0 * RoomEqRowHeight(H), RoomEqRowHeight(H) / 5.0}; }
RoomEqYMap RoomEqPhaseMap(int H) { return {20.0 + 9.0 * RoomEqRowHeight(H), 0.05 * RoomEqRowHeight(H)}; }
RoomEqYMap RoomEqDelayMap(int H) { return {20.0 + 17.0 * RoomEqRowHeight(H), 0.05 * RoomEqRowHeight(H)}; }
RoomEqYMap RoomEqReferenceImpulseMap(int H) { return {20.0 + 4.0 * RoomEqRowHeight(H), 0.05 * RoomEqRowHeight(H)}; }
RoomEqYMap RoomEqMeasuredImpulseMap(int H, uint32_t zoom_index) {
    const int z = zoom_index > 6 ? 6 : static_cast<int>(zoom_index);
    return {20.0 + 9.0 * RoomEqRowHeight(H), 0.05 * RoomEqRowHeight(H) * std::ldexp(1.0, z)};
}
RoomEqYMap RoomEqWindowMap(int H) { return {20.0 + 9.0 * RoomEqRowHeight(H), 0.05 * RoomEqRowHeight(H)}; }

int RoomEqPlotY(const RoomEqYMap& map, double value, int H) {
    PlotGeometry g;
    g.h = H;
    return ClampPlotY(g, map.base - map.scale * value);
}

RoomEqFrequencyAxis RoomEqFrequencyAxisOf(double fmin, double fmax, int W, int H) {
    RoomEqFrequencyAxis axis;
    const double s = (kAxisWiden * W - 80.0) / std::log10(fmax / fmin);
    auto x = [&](double f) { return kRoomEqPlotLeft + s * std::log10(f / fmin); };
    for (double f : PlotGridFrequencies(fmin, kGridStop - 1.0)) axis.grid_x.push_back(Trunc(x(f)));
    for (const PlotLabel& l : PlotFrequencyLabels(fmin, kGridStop))
        axis.labels.push_back(RoomEqPlotLabel{Trunc(x(l.f) - 1.0), H - 20, l.text});
    axis.labels.push_back(RoomEqPlotLabel{W - 30, H - 20, "Hz"});
    return axis;
}

std::vector<RoomEqPlotPoint> RoomEqFrequencyCurve(const std::function<double(int)>& value, const RoomEqYMap& map,
                                                  int W, int H, int block_frames, const float* bin_frequency,
                                                  const float* column_frequency) {
    const int bins = 4 * block_frames + 1;
    std::vector<int32_t> column(static_cast<std::size_t>(bins));
    MapBinsToColumns(bin_frequency, bins, column_frequency, column.data());
    std::vector<RoomEqPlotPoint> points;
    for (int k = 0; k < bins; ++k) {
        const int j = column[k];
        if (j < 0 || j > kRoomEqLastDrawnColumn) continue;
        points.push_back(RoomEqPlotPoint{Trunc(kRoomEqPlotLeft + Step(W) * j), RoomEqPlotY(map, value(k), H),
                                         j == 0 || points.empty()});
    }
    return points;
}

std::vector<RoomEqPlotPoint> RoomEqImpulseCurve(const float* values, const RoomEqYMap& map, int W, int H) {
    std::vector<RoomEqPlotPoint> points(kImpulsePoints);
    for (int k = 0; k < kImpulsePoints; ++k)
        points[k] = RoomEqPlotPoint{Trunc(kRoomEqPlotLeft + kColumnStep * (W - 80.0) * k), RoomEqPlotY(map, values[k], H),
                                    k == 0};
    return points;
}

std::vector<RoomEqPlotLabel> RoomEqImpulseLabels(int W, int H, double sample_rate) {
    std::vector<RoomEqPlotLabel> labels;
    const double ys = RoomEqRowHeight(H);
    for (int i = 0; i <= kRows; ++i) labels.push_back(RoomEqPlotLabel{30, Trunc(10.0 + i * ys), PlotPhaseLabel(i)});
    labels.push_back(RoomEqPlotLabel{3, (H - 15) / 2, "DAC"});
    for (int k = 0; k < kImpulsePoints; k += 50)
        labels.push_back(RoomEqPlotLabel{Trunc(59.0 + kColumnStep * (W - 80.0) * k), H - 20, Number(k * 1000.0 / sample_rate)});
    labels.push_back(RoomEqPlotLabel{W - 30, H - 20, "ms"});
    return labels;
}

std::vector<RoomEqPlotLabel> RoomEqSplLabels(int H) {
    std::vector<RoomEqPlotLabel> labels;
    const double ys = RoomEqRowHeight(H);
    for (int i = 0; i <= kRows; ++i) {
        labels.push_back(RoomEqPlotLabel{3, Trunc(10.0 + i * ys), Number(125.0 - 5.0 * i)});
        labels.push_back(RoomEqPlotLabel{30, Trunc(10.0 + i * ys), PlotPhaseLabel(i)});
    }
    labels.push_back(RoomEqPlotLabel{3, H - 15, "dB"});
    labels.push_back(RoomEqPlotLabel{30, H - 15, "deg"});
    return labels;
}

std::vector<RoomEqPlotLabel> RoomEqDelayLabels(int H) {
    std::vector<RoomEqPlotLabel> labels;
    const double ys = RoomEqRowHeight(H);
    for (int i = 0; i <= kRows; ++i)
        labels.push_back(RoomEqPlotLabel{20, H - 20 - Trunc(10.0 + i * ys), Number(-20.0 + 20.0 * i)});
    labels.push_back(RoomEqPlotLabel{20, H - 15, "ms"});
    return labels;
}

bool RoomEqCurveShown(const float header[6]) { return header[0] == 1.0f; }

PlotPen RoomEqPenOf(const float header[6]) { return PlotPenOf(header[1], header[2], header[3], header[4], header[5]); }
