// The two plot windows of the impulse-response dialog: the impulse-response view ("szChild_IR") with its
// windows, overlays and temporal mask, and the SPL/phase view ("szChild_IR_SPL") with the curves of the
// candidates and of the summary output. The impulse-response painters build what they draw first, so drawing
// and building are one step.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/frequency_grids.h"
#include "app/global_records.h"
#include "app/plot_labels.h"
#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/plot_label_painter.h"
#include "app/win32/window_registry.h"
#include "engine/window_shapes.h"
#include "tools/ir_export.h"
#include "tools/ir_preview.h"
#include "tools/ir_view_build.h"
#include "tools/win32/tool_plot_painter.h"
#include "tools/win32/tool_windows.h"

extern int32_t MlsImpulseCursor;

namespace {

constexpr COLORREF kGridGrey = RGB(128, 128, 128);
constexpr COLORREF kFineGrey = RGB(196, 196, 196);
constexpr long kMlsImpulseValues = 1072000;

IrView CurrentView() { return MakeIrView(IrViewClientSize.width, IrViewClientSize.height, IrTimeScale, IrDialog.IrMagGain); }

// A trace of samples: the pen moves to the first point drawn and draws through the others while x stays
// left of the plot's right edge.
template <typename Y>
void DrawTrace(HDC dc, HPEN pen, const IrView& v, long first_sample, long count, Y y) {
    std::vector<POINT> points;
    for (long j = 0; j < count; ++j) {
        const double x = IrSampleX(v, static_cast<double>(first_sample + j));
        if (!IrInsideView(v, x)) break;
        points.push_back(POINT{static_cast<int>(x), y(j)});
    }
    if (points.empty()) return;
    HGDIOBJ old = SelectObject(dc, pen);
    if (points.size() == 1) points.push_back(points[0]);
    Polyline(dc, points.data(), static_cast<int>(points.size()));
    SelectObject(dc, old);
}

// A phase curve of the log grid over points 0..end-1: the pen draws to point i only where the level at
// point i + 1 lies above `hide` dB, and moves there otherwise.
void DrawPhaseAboveLevel(HDC dc, const ToolPlot& p, const float* level, const float* phase, int end, double hide) {
    MoveToEx(dc, LogIndexX(p, 0), IrPhaseY(p.h, phase[0]), nullptr);
    for (int i = 0; i < end; ++i) {
        const int x = LogIndexX(p, i), y = IrPhaseY(p.h, phase[i]);
        if (level[i + 1] > hide) {
            LineTo(dc, x, y);
        } else {
            MoveToEx(dc, x, y, nullptr);
        }
    }
}

int SampleY(const IrView& v, float sample, bool log) {
    return IrTraceY(v, log ? IrLogY(v, sample) : IrLinearY(v, sample));
}

// Every second pixel of a column, from y = 19 up to the bottom of the plot.
void DottedColumn(HDC dc, int x, int h, COLORREF colour) {
    for (int y = 19; y < h - 21; y += 2) SetPixelV(dc, x, y, colour);
}

void DrawTemporalMask(HDC dc, const IrView& v) {
    const int N = BlockFrames;
    const TemporalMask m = TemporalMaskOf(HV_Buffer_Size, pr_file->tail.HV_Sampling);
    for (int curve = 1; curve <= 2; ++curve) {
        std::vector<POINT> points;
        for (int j = 0; j < 2 * N; ++j) {
            const double x = IrSampleX(v, 2.0 * j);
            if (!IrInsideView(v, x)) break;
            points.push_back(POINT{static_cast<int>(x), IrTraceY(v, TemporalMaskY(v, m, curve, j, N))});
        }
        HGDIOBJ old = SelectObject(dc, curve == 1 ? Gdi.GreenPen2 : Gdi.MagentaPen2);
        if (points.size() >= 2) Polyline(dc, points.data(), static_cast<int>(points.size()));
        SelectObject(dc, old);
    }
    DrawTrace(dc, Gdi.MagentaPen2, v, 4L * N, 12L * N, [&](long j) {
        return IrTraceY(v, TemporalMaskY(v, m, 3, static_cast<int>(j), N));
    });
}

// The frame of both impulse-response painters. `full`: the view's two label columns, its 16N block lines and
// the options; otherwise the summary plot's reduced frame.
void DrawViewFrame(HDC dc, const IrView& v, bool full) {
    const int w = v.w, h = v.h, N = BlockFrames;
    HGDIOBJ pen = SelectObject(dc, Gdi.BluePen2);
    HGDIOBJ brush = SelectObject(dc, Gdi.WhiteBrush);
    Rectangle(dc, 59, 18, w - 19, h - 20);
    SelectObject(dc, brush);
    if (full && IrDialog.IrShowTemporalMask) DrawTemporalMask(dc, v);
    for (int k = 1; k <= 17; ++k) {
        const int y = static_cast<int>(20 + k * v.u);
        for (int x = 60; x < w - 20; x += 2) SetPixelV(dc, x, y, kGridGrey);
    }
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ font = SelectObject(dc, Gdi.SmallFont);
    std::vector<PlacedLabel> levels;
    for (int k = 0; k <= 18; ++k) {
        const int y = static_cast<int>(10 + k * v.u);
        levels.push_back(PlacedLabel{full ? 30 : 20, y, std::to_string(90 - 10 * k)});
        if (full) levels.push_back(PlacedLabel{5, y, std::to_string(10 - 10 * k)});
    }
    if (full) levels.push_back(PlacedLabel{5, h - 18, "dB"});
    DrawPlotLabels(dc, levels);
    const int fs = SampleRateOf(pr_file->tail.HV_Sampling);
    const long last_block = full ? 16L * N : 8L * N;
    std::vector<PlacedLabel> blocks, times;  // a partition's number and start time at each block line
    for (long t = 0; t <= last_block; t += N) {
        const double x = IrSampleX(v, static_cast<double>(t));
        if (!IrInsideView(v, x)) break;
        DottedColumn(dc, static_cast<int>(x), h, kGridGrey);
        blocks.push_back(PlacedLabel{static_cast<int>(x) + 2, 20, IrBlockLabel(t, N), true});
        times.push_back(PlacedLabel{static_cast<int>(x) - 2, h - 40, IrBlockTimeLabel(t, fs)});
    }
    SelectObject(dc, Gdi.SmallFont);
    DrawPlotLabels(dc, blocks);
    SelectObject(dc, Gdi.LabelFont);
    DrawPlotLabels(dc, times);
    if (full && IrDialog.IrFineTimeScale) {
        const int step = N / 10;
        for (long b = 0; b < 32L * N; b += N)
            for (long m = 0; step > 0 && m < N; m += step) {
                const double x = IrSampleX(v, static_cast<double>(b + m));
                if (IrInsideView(v, x)) DottedColumn(dc, static_cast<int>(x), h, kFineGrey);
            }
    }
    SelectObject(dc, Gdi.BluePen2);
    brush = SelectObject(dc, Gdi.YellowBrush);
    RoundRect(dc, w / 2 - 80, 1, w / 2 + 110, 21, 15, 15);
    SelectObject(dc, brush);
    SelectObject(dc, Gdi.StockSystemFont);
    PlotText(dc, w / 2 - 45, 2, kIrViewTitle);
    SelectObject(dc, font);
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, pen);
}

// The global window and the output's taper, over samples 0..16N-1.
void DrawWindows(HDC dc, const IrView& v, int o) {
    const long samples = 16L * BlockFrames;
    DrawTrace(dc, Gdi.BluePen2, v, 0, samples, [&](long j) { return IrWindowTraceY(v, IrWindowValueY(v, IrWindow[2 * j])); });
    const float* taper = OutputTaper[o];
    DrawTrace(dc, Gdi.DarkGreenPen1, v, 0, samples, [&](long j) { return IrWindowTraceY(v, IrWindowValueY(v, taper[2 * j])); });
}

void DrawResponse(HDC dc, HPEN pen, const IrView& v, const float* response, bool log) {
    DrawTrace(dc, pen, v, 0, 8L * BlockFrames, [&](long j) { return SampleY(v, response[2 * j], log); });
}

// The driver-convolved response in the view, and its SPL and phase in the SPL/phase view.
void DrawDriverOverlay(HDC dc, const IrView& v) {
    float* convolved = IrExportBuffers[2];
    if (!BuildDriverConvolution(IrDialog.IrOutput, convolved)) return;
    DrawResponse(dc, Gdi.RedPen2, v, convolved, IrDialog.IrLogScale != 0);
    if (!IrSplChildWindow) return;
    HDC spl = GetDC(IrSplChildWindow);
    DrawIrSplFrame(spl);
    const int ws = IrSplViewClientSize.width, hs = IrSplViewClientSize.height;
    const ToolPlot p = MakeToolPlot(ws, hs);
    const double nyquist = SampleRateOf(pr_file->tail.HV_Sampling) / 2.0;
    const float* level = LogCurveTable[kIrDriverSplSlot].Values;
    const float* phase = LogCurveTable[kIrDriverPhaseSlot].Values;
    const double hide = HidePhaseLevelDb(static_cast<int>(IrDialog.IrHidePhaseIndex));
    SetBkMode(spl, TRANSPARENT);
    HGDIOBJ font = SelectObject(spl, Gdi.SmallFont);
    HGDIOBJ pen = SelectObject(spl, Gdi.RedPen2);
    PlotText(spl, 70, 25, "SPL: EQ Filter (*) Driver");
    MoveToEx(spl, 250, 32, nullptr);
    LineTo(spl, 300, 32);
    bool down = false;
    for (int i = 0; i < kLogGridPoints && LogFrequencyTable[i] < nyquist; ++i) {
        const int x = LogIndexX(p, i), y = IrSplY(hs, level[i]);
        if (down) {
            LineTo(spl, x, y);
        } else {
            MoveToEx(spl, x, y, nullptr);
            down = true;
        }
    }
    SelectObject(spl, Gdi.BluePen2);
    PlotText(spl, 70, 45, "Phase: EQ Filter (*) Driver");
    MoveToEx(spl, 250, 52, nullptr);
    LineTo(spl, 300, 52);
    int end = 0;
    while (end < kLogGridPoints - 1 && LogFrequencyTable[end] < nyquist) ++end;
    DrawPhaseAboveLevel(spl, p, level, phase, end, hide);
    SelectObject(spl, pen);
    SelectObject(spl, font);
    SetBkMode(spl, OPAQUE);
    ReleaseDC(IrSplChildWindow, spl);
}

// The non-linearised response, drawn 4N samples on: it starts with a line from the left edge.
void DrawMinimumPhaseOverlay(HDC dc, const IrView& v) {
    if (!BuildMinimumPhaseView(IrDialog.IrOutput)) return;
    const bool log = IrDialog.IrLogScale != 0;
    const float* r = IrExportBuffers[0];
    HGDIOBJ old = SelectObject(dc, Gdi.BluePen2);
    MoveToEx(dc, 60, log ? v.h - 23 : SampleY(v, r[0], false), nullptr);
    const long N = BlockFrames;
    for (long j = 0; j < 8 * N; ++j) {
        const double x = IrSampleX(v, static_cast<double>(4 * N + j));
        if (!IrInsideView(v, x)) break;
        LineTo(dc, static_cast<int>(x), SampleY(v, r[2 * j], log));
    }
    SelectObject(dc, old);
}

// The measured impulse response of the MLS page, each point weighted by the window value of its sample.
void DrawMlsOverlay(HDC dc, const IrView& v) {
    if (!MlsImpulseIn) return;
    const MlsOverlaySpan span = MlsOverlayOf(MlsImpulseCursor, pr_file->tail.SplOnlyEq, BlockFrames,
                                             pr_file->tail.HV_Sampling);
    const long count = std::max(0L, std::min(span.count, kMlsImpulseValues - span.start));
    const bool log = IrDialog.IrLogScale != 0;
    DrawTrace(dc, Gdi.RedPen2, v, 0, count, [&](long j) {
        const double m = MlsImpulseIn[span.start + j] * IrWindow[2 * j];
        return IrTraceY(v, log ? MlsOverlayLogY(v, m) : MlsOverlayLinearY(v, m));
    });
}

void DrawSplCurve(HDC dc, int slot) {
    const LogCurve& c = LogCurveTable[slot];
    const int ws = IrSplViewClientSize.width, hs = IrSplViewClientSize.height;
    const ToolPlot p = MakeToolPlot(ws, hs);
    HPEN pen = CreateCurvePen(c.Trailer[1], c.Trailer[2], c.Trailer[3], c.Trailer[4], c.Trailer[5]);
    HGDIOBJ old = SelectObject(dc, pen);
    HGDIOBJ font = SelectObject(dc, Gdi.SmallFont);
    SetBkMode(dc, TRANSPARENT);
    if (slot < kIrCandidates) {
        const IrCandidateList list = IrCandidatesOf(IrMethod, BlockFrames);
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        if (LegendRowInsidePlot(11 * slot + 25, static_cast<int>(tm.tmHeight), hs - 20)) {  // the frame's bottom
            PlotText(dc, ws - 110, 11 * slot + 25, IrCandidateLegend(IrCandidateLength(list, slot)));
            MoveToEx(dc, ws - 55, 11 * slot + 30, nullptr);
            LineTo(dc, ws - 25, 11 * slot + 30);
        }
    } else if (slot == kIrSummarySlot) {
        const int o = static_cast<int>(IrDialog.IrSummaryOutput);
        PlotText(dc, ws / 2 - 100, 25,
                 IrSummaryLegend(o, pr_file->tail.IrWindowSettings[o], pr_file->tail.SplOnlyEq, WideWindow));
        MoveToEx(dc, ws / 2 - 40, 40, nullptr);
        LineTo(dc, ws / 2 + 40, 40);
    }
    MoveToEx(dc, LogIndexX(p, 0), IrSplY(hs, c.Values[0]), nullptr);
    for (int i = 1; i < kLogGridPoints; ++i) LineTo(dc, LogIndexX(p, i), IrSplY(hs, c.Values[i]));
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, font);
    SelectObject(dc, old);
    DeleteObject(pen);
}

}  // namespace

int DrawImpulseResponseView(HDC dc, int frameOnly) {
    if (IrDrBuffer == nullptr) IrDrBuffer = IrExportBuffers[2];
    const IrView v = CurrentView();
    DrawViewFrame(dc, v, true);
    if (frameOnly) return 0;
    const int o = static_cast<int>(IrDialog.IrOutput);
    if (IrDialog.IrFromMls) {
        BuildWindowsOnly(o);
        DrawWindows(dc, v, o);
        DrawMlsOverlay(dc, v);
        return 0;
    }
    BuildMainView();
    DrawWindows(dc, v, o);
    DrawResponse(dc, Gdi.GreenPen2, v, IrExportBuffers[0], IrDialog.IrLogScale != 0);
    if (IrDialog.IrConvolveDriver) DrawDriverOverlay(dc, v);
    if (IrDialog.IrShowMinimumPhase) DrawMinimumPhaseOverlay(dc, v);
    return 0;
}

int DrawImpulseResponsePlot(HDC dc) {
    const IrView v = CurrentView();
    DrawViewFrame(dc, v, false);
    const int o = static_cast<int>(IrDialog.IrSummaryOutput);
    BuildSummaryView();
    DrawWindows(dc, v, o);
    DrawResponse(dc, Gdi.RedPen2, v, IrExportBuffers[0], false);
    return 0;
}

int DrawIrSplFrame(HDC dc) {
    std::vector<std::string> levels, phases;
    for (int k = 0; k <= 18; ++k) {
        levels.push_back(IrSplLabel(k));
        phases.push_back(IrPhaseLabel(k));
    }
    HGDIOBJ brush = SelectObject(dc, Gdi.WhiteBrush);
    ToolPlotFrameStyle style{Gdi.BluePen2, Gdi.DarkRedPen1, kIrSplViewTitle, -80, 20, 22, levels, phases, "dB"};
    DrawToolPlotFrame(dc, MakeToolPlot(IrSplViewClientSize.width, IrSplViewClientSize.height), style);
    SelectObject(dc, brush);
    return 0;
}

int DrawIrSplCurves(HDC dc, int slot) {
    if (!LogCurveTable || slot < 0 || slot >= kLogCurveSlots) return 0;
    const LogCurve& c = LogCurveTable[slot];
    if (c.Trailer[0] == 1.0f) DrawSplCurve(dc, slot);
    const int index = static_cast<int>(IrDialog.IrHidePhaseIndex);
    if (index == 0) return 0;
    const int phase_slot = slot == kIrSummarySlot ? kIrSummaryPhaseSlot : slot + kIrPhaseSlotOffset;
    if (phase_slot >= kLogCurveSlots) return 0;
    const float* level = c.Values;
    const float* phase = LogCurveTable[phase_slot].Values;
    const ToolPlot p = MakeToolPlot(IrSplViewClientSize.width, IrSplViewClientSize.height);
    HGDIOBJ old = SelectObject(dc, Gdi.BluePen1);
    DrawPhaseAboveLevel(dc, p, level, phase, kLogGridPoints - 1, HidePhaseLevelDb(index));
    SelectObject(dc, old);
    return 0;
}
