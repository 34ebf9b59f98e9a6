#include "measure/mls_plot.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/global_records.h"
#include "measure/mls_spl.h"

namespace {

constexpr int kBins = kSplLinearPoints;

std::string Cut(const char* text, std::size_t n) { return std::string(text).substr(0, n); }

// The candidate's SPL and phase curves on pages 0 and 1 (page 2 reads complex buffers).
const PlotCurve& CandidateSplCurve(int page, int k, const PlotCurve* mls_curves) {
    return page == 0 ? mls_curves[k] : mls_curves[25 + k];
}
const PlotCurve& CandidatePhaseCurve(int page, int k, const PlotCurve* mls_curves) {
    return page == 0 ? mls_curves[k + 10] : mls_curves[26 + k];
}

int BinLimit(int block_frames) {
    const int n = 8 * block_frames;
    return n < kBins ? n : kBins - 1;
}

}  // namespace

double MlsPlotGeometry::Sx() const { return PlotWidth() / std::log10(fmax / fmin); }
double MlsPlotGeometry::X0() const { return 60.0 - std::log10(fmin) * Sx(); }
double MlsPlotGeometry::FrequencyX(double f) const { return std::log10(f) * Sx() + X0(); }

void RebuildPlotColumns(const MlsPlotGeometry& g, float* plot_frequency) {
    const double sx = g.Sx(), x0 = g.X0();
    float x = 60.0f;
    for (int i = 0; i < kMlsPlotColumns; ++i) {
        x = static_cast<float>(x + 0.0005 * g.PlotWidth());
        plot_frequency[i] = static_cast<float>(std::pow(10.0, (x - x0) / sx));
    }
}

std::vector<std::string> PlotDbLabels(double ref, double dbdiv) {
    std::vector<std::string> out;
    char text[32];
    for (int k = 0; k <= 18; ++k) {
        std::snprintf(text, sizeof text, "%.0f", 7 * dbdiv + ref - k * dbdiv);
        out.push_back(Cut(text, 4));
    }
    return out;
}

int WindowBandEndColumn(const float* plot_frequency, double fs, double window_width) {
    const double fr = fs / window_width;
    for (int c = 0; c < kMlsPlotColumns - 1; ++c)
        if (plot_frequency[c] > fr) return c;
    return kMlsPlotColumns - 1;
}

double CurveY(CurveKind kind, double value, const MlsPlotGeometry& g) {
    const double hd = g.DivisionHeight();
    const double per_db = hd / g.dbdiv;
    switch (kind) {
        case CurveKind::kSpl:
        case CurveKind::kComplexSpl: return 20 + 7 * hd - per_db * value + per_db * (g.ref - 90.0);
        case CurveKind::kTemplateSpl: return 20 + 7 * hd + per_db * value + per_db * (g.ref - 90.0);
        case CurveKind::kPhase:
        case CurveKind::kComplexPhase: return 20 + 9 * hd - (hd / 20.0) * value;
        case CurveKind::kPhaseDifference: return 20 + 18 * hd - (hd / 20.0) * value;
    }
    return 0.0;
}

double ComplexPlotSpl(float re, float im) {
    const float s = re * re + im * im;
    return 10.0 * std::log10(static_cast<double>(s) + 1e-13);
}

double ComplexPlotPhase(float re, float im) {
    return std::atan2(static_cast<double>(im), re == 0.0f ? 1e-9 : static_cast<double>(re)) * kSplDegreesPerRadian;
}

int PlotPenStyle(float style_field) {
    double s = std::isfinite(style_field) ? std::trunc(style_field) : 0.0;
    if (s > 3.0) s = 3.0;
    if (s < 2.0) return 0;
    return s == 2.0 ? 1 : 2;
}

std::vector<PageCurve> PageCurves(int page, const PlotCurve* mls, const PlotCurve* buffers, const PlotFlags& flags) {
    std::vector<PageCurve> out;
    auto add = [&](const PlotCurve* source, const PlotCurve* imag, const PlotCurve* pen, CurveKind kind,
                   const char* legend, int legend_y, int line_y) {
        PageCurve c;
        c.source = source;
        c.imag = imag;
        c.pen = pen;
        c.kind = kind;
        c.legend = legend;
        c.legend_y = legend_y;
        c.line_y = line_y;
        out.push_back(c);
        return &out.back();
    };
    auto shown = [](const PlotCurve& c) { return c.Visible == 1.0f; };
    switch (page) {
        case 0:
            for (int k = 0; k < 10; ++k)
                if (shown(mls[k])) add(&mls[k], nullptr, &mls[k], CurveKind::kSpl, "SPL", 25, 25 + 3 * k);
            if (flags.show_phase == 1)
                for (int k = 10; k < 20; ++k)
                    if (shown(mls[k])) add(&mls[k], nullptr, &mls[k], CurveKind::kPhase, "PH", 45, 15 + 3 * k);
            break;
        case 1:
            for (int slot = 25; slot <= 28; ++slot)
                if (shown(mls[slot])) {
                    const bool spl = slot % 2 == 1;
                    add(&mls[slot], nullptr, &mls[slot], spl ? CurveKind::kSpl : CurveKind::kPhase, spl ? "SPL" : "PH",
                        spl ? 25 : 45, spl ? 25 : 45);
                }
            if (flags.template_on == 1) {
                if (shown(mls[51])) add(&mls[51], nullptr, &mls[51], CurveKind::kTemplateSpl, "SPL", 25, 25);
                if (shown(mls[52])) add(&mls[52], nullptr, &mls[52], CurveKind::kPhase, "PH", 45, 45);
            }
            break;
        case 2:
            for (int k = 0; k <= 10; k += 2) {
                if (!shown(buffers[k])) continue;
                add(&buffers[k], &buffers[k + 1], &buffers[k], CurveKind::kComplexSpl, "SPL", 25, 25 + 3 * k);
                if (flags.show_phase == 1)
                    add(&buffers[k], &buffers[k + 1], &buffers[k + 1], CurveKind::kComplexPhase, "PH", 75, 75 + 3 * k);
            }
            if (shown(buffers[12])) {
                PageCurve* c = add(&buffers[13], nullptr, &buffers[13], CurveKind::kPhaseDifference, "PH-DIF", 111, 111);
                c->legend_x_from_right = 90;
            }
            break;
        case 3:
            for (int k = kFirstCompareSlot; k < kFirstCompareSlot + kCompareSlots; k += 2) {
                if (shown(mls[k]) && mls[k].Trailer[1] == kCompareKindSpl) {
                    PageCurve* c = add(&mls[k], nullptr, &mls[k], CurveKind::kSpl, "SPL", 25, 3 * k - 65);
                    c->second_line = true;
                    c->second_y = 12 * k - 330;
                }
                if (flags.show_phase == 1 && shown(mls[k + 1]) && mls[k + 1].Trailer[1] == kCompareKindPhase) {
                    PageCurve* c = add(&mls[k + 1], nullptr, &mls[k + 1], CurveKind::kPhase, "PH", 85, 3 * k - 2);
                    c->second_line = true;
                    c->second_y = 12 * k - 318;
                }
            }
            break;
        default: break;
    }
    return out;
}

std::vector<MlsPlotPoint> CurvePolyline(const PageCurve& curve, const MlsPlotGeometry& g, const float* bin_frequency,
                                     const float* plot_frequency, int block_frames) {
    std::vector<MlsPlotPoint> points;
    const int last = BinLimit(block_frames);
    const double lowest = 19.0, highest = g.height - 21.0;
    int column = 0;
    for (int j = 0; j <= last; ++j) {
        while (column < kMlsPlotColumns && !(plot_frequency[column] > bin_frequency[j])) ++column;
        if (column == kMlsPlotColumns) break;  // the bins rise: no later bin has a column either
        double v;
        switch (curve.kind) {
            case CurveKind::kComplexSpl: v = ComplexPlotSpl(curve.source->Values[j], curve.imag->Values[j]); break;
            case CurveKind::kComplexPhase: v = ComplexPlotPhase(curve.source->Values[j], curve.imag->Values[j]); break;
            default: v = curve.source->Values[j]; break;
        }
        double y = CurveY(curve.kind, v, g);
        if (!(y >= lowest)) y = lowest;  // also a value that is not a number
        if (y > highest) y = highest;
        points.push_back(MlsPlotPoint{static_cast<int>(column * 0.0005 * g.PlotWidth() + 60), static_cast<int>(y), column == 0});
    }
    return points;
}

int PlotColumnOf(int x, const MlsPlotGeometry& g) {
    if (g.PlotWidth() <= 0) return -1;
    return static_cast<int>(std::trunc((x - 60) * 2000.0 / g.PlotWidth()));
}

bool PlotPointerInside(int x, int y, const MlsPlotGeometry& g) {
    const int c = PlotColumnOf(x, g);
    return c >= 0 && c <= kMlsPlotColumns - 1 && y >= 20 && y < g.height - 20 && x >= 60;
}

int PlotBinOfColumn(int column, const float* bin_frequency, const float* plot_frequency, int block_frames) {
    const int last = BinLimit(block_frames);
    for (int j = 0; j <= last; ++j)
        if (bin_frequency[j] >= plot_frequency[column]) return j;
    return last;
}

std::vector<int> PageCandidates(int page) {
    switch (page) {
        case 0: return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        case 1: return {0, 2};
        case 2: return {0, 2, 4, 6, 8, 10};
        default: return {};
    }
}

double CandidateSpl(int page, int k, int bin, const PlotCurve* mls_curves, const PlotCurve* buffers) {
    if (page == 2) return ComplexPlotSpl(buffers[k].Values[bin], buffers[k + 1].Values[bin]);
    return CandidateSplCurve(page, k, mls_curves).Values[bin];
}

double CandidatePhase(int page, int k, int bin, const PlotCurve* mls_curves, const PlotCurve* buffers) {
    if (page == 2) return ComplexPlotPhase(buffers[k].Values[bin], buffers[k + 1].Values[bin]);
    return CandidatePhaseCurve(page, k, mls_curves).Values[bin];
}

std::string PlotReadoutTitle(int page, int index, int x, int y, const MlsPlotGeometry& g, const float* bin_frequency,
                             const float* plot_frequency, int block_frames, const PlotCurve* mls_curves,
                             const PlotCurve* buffers, const char* mike_cal_path) {
    char title[2200];
    const std::vector<int> candidates = PageCandidates(page);
    bool known = false;
    for (int k : candidates) known |= k == index;
    if (!PlotPointerInside(x, y, g) || !known) {
        std::snprintf(title, sizeof title, "%s  %s", kMlsSplWindowTitle, mike_cal_path ? mike_cal_path : "");
        return title;
    }
    const int j = PlotBinOfColumn(PlotColumnOf(x, g), bin_frequency, plot_frequency, block_frames);
    std::snprintf(title, sizeof title, "%s, Ampl = %.2f dB, Phase = %.2f deg, Freq = %.1f Hz", kMlsSplWindowTitle,
                  CandidateSpl(page, index, j, mls_curves, buffers) + 90.0,
                  CandidatePhase(page, index, j, mls_curves, buffers), static_cast<double>(bin_frequency[j]));
    return title;
}

int PlotHitTest(int page, int x, int y, const MlsPlotGeometry& g, const float* bin_frequency,
                const float* plot_frequency, int block_frames, const PlotCurve* mls_curves, const PlotCurve* buffers) {
    if (!PlotPointerInside(x, y, g)) return -1;
    const int j = PlotBinOfColumn(PlotColumnOf(x, g), bin_frequency, plot_frequency, block_frames);
    for (int k : PageCandidates(page)) {
        const double v = CandidateSpl(page, k, j, mls_curves, buffers);
        const double curve_y = std::trunc(CurveY(CurveKind::kSpl, v, g));
        if (std::fabs(curve_y - y) <= kHitTolerancePx) return k;
    }
    return -1;
}

bool CopyCurveToCompare(int page, int k, PlotCurve* mls_curves, const PlotCurve* buffers, int* copied_count) {
    if (*copied_count >= kCompareSlots - 1) return false;
    PlotCurve& spl = mls_curves[kFirstCompareSlot + *copied_count];
    PlotCurve& phase = mls_curves[kFirstCompareSlot + *copied_count + 1];
    auto copy_with_pen = [](PlotCurve& to, const PlotCurve& from) {
        std::memcpy(to.Values, from.Values, sizeof to.Values);
        to.Visible = from.Visible;
        to.Red = from.Red;
        to.Green = from.Green;
        to.Blue = from.Blue;
        to.PenWidth = from.PenWidth;
        to.PenStyle = from.PenStyle;
    };
    auto copy_complex = [&](PlotCurve& to, const PlotCurve& pen_of, bool level) {
        for (int j = 0; j < kBins; ++j)
            to.Values[j] = static_cast<float>(level ? ComplexPlotSpl(buffers[k].Values[j], buffers[k + 1].Values[j])
                                                    : ComplexPlotPhase(buffers[k].Values[j], buffers[k + 1].Values[j]));
        to.Red = pen_of.Red;
        to.Green = pen_of.Green;
        to.Blue = pen_of.Blue;
        to.PenWidth = pen_of.PenWidth;
        to.Visible = 1.0f;
    };
    if (page == 2) {
        copy_complex(spl, buffers[k], true);
        copy_complex(phase, buffers[k + 1], false);
    } else {
        copy_with_pen(spl, CandidateSplCurve(page, k, mls_curves));
        copy_with_pen(phase, CandidatePhaseCurve(page, k, mls_curves));
    }
    spl.Trailer[1] = kCompareKindSpl;
    phase.Trailer[1] = kCompareKindPhase;
    *copied_count += 2;
    return true;
}

void ClearCompareCurves(PlotCurve* mls_curves, int* copied_count) {
    for (int slot = kFirstCompareSlot; slot < kFirstCompareSlot + kCompareSlots; ++slot) mls_curves[slot].Visible = 0.0f;
    *copied_count = 0;
}
