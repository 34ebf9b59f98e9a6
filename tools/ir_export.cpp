#include "tools/ir_export.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/window_shapes.h"

IrDialogState IrDialog;

namespace {

std::string Formatted(const char* format, long v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

const char* WindowMode(uint32_t WideWindow) { return WideWindow ? kIrWideWindowMode : kIrBellWindowMode; }

struct HidePhaseEntry {
    const char* name;
    double level_db;
};
// The names say the levels: "-140dB" hides below -140 dB.
constexpr HidePhaseEntry kHidePhase[kHidePhaseEntries] = {
    {"NONE", -60.0},    {"-70dB", -70.0},   {"-80dB", -80.0},   {"-90dB", -90.0},   {"-100dB", -100.0},
    {"-110dB", -110.0}, {"-120dB", -120.0}, {"-140dB", -140.0}, {"-160dB", -160.0},
};

int HoldY(double y, int lo, int hi) {
    if (!(y >= lo)) return lo;
    if (y > hi) return hi;
    return static_cast<int>(y);
}

}  // namespace

IrCandidateList IrCandidatesOf(uint32_t method, int N) {
    if (method == 1) return IrCandidateList{N / 2, N / 32};
    return IrCandidateList{256, 16};
}

std::string IrCandidateLabel(int length) { return Formatted("Opt = %ld", length); }
std::string IrCandidateLegend(int length) { return Formatted("Opt = %ld ", length); }

const char* IrWindowTypeName(int32_t type) {
    return type >= 0 && type < kWindowTypeCount ? kWindowTypeNames[type] : "";
}

std::string IrSummaryLine(int output, uint32_t method, const IrWindowEntry& stored, uint32_t SplOnlyEq,
                          uint32_t WideWindow) {
    char text[160];
    if (SplOnlyEq == 1) {
        std::snprintf(text, sizeof text, "Out%d, Met%u, %d,  %s", output + 1, method + 1, stored.length,
                      IrWindowTypeName(stored.window_type));
    } else {
        std::snprintf(text, sizeof text, "Out%d, %s", output + 1, WindowMode(WideWindow));
    }
    return text;
}

std::string IrSummaryLegend(int output, const IrWindowEntry& stored, uint32_t SplOnlyEq, uint32_t WideWindow) {
    char text[160];
    if (SplOnlyEq == 1) {
        std::snprintf(text, sizeof text, "Out%d, Window %d, %s", output + 1, stored.length,
                      IrWindowTypeName(stored.window_type));
    } else {
        std::snprintf(text, sizeof text, "Out%d, %s", output + 1, WindowMode(WideWindow));
    }
    return text;
}

int IrTimeScalePreset(uint32_t HV_Buffer_Size, uint32_t SplOnlyEq) {
    static const int kMagnitudeOnly[4] = {2060, 4110, 8220, 16500};
    static const int kLinearPhase[4] = {4110, 8220, 16500, 33000};
    const uint32_t b = HV_Buffer_Size < 4 ? HV_Buffer_Size : 1;
    return SplOnlyEq == 1 ? kMagnitudeOnly[b] : kLinearPhase[b];
}

std::string IrTimeScaleLabel(int value) { return Formatted("IR Time Scale = %ld", value); }
std::string IrMagGainLabel(int value) { return Formatted("IR Mag. Gain = %ld", value); }

const char* HidePhaseName(int index) {
    return index >= 0 && index < kHidePhaseEntries ? kHidePhase[index].name : "";
}

double HidePhaseLevelDb(int index) {
    return kHidePhase[index >= 0 && index < kHidePhaseEntries ? index : 0].level_db;
}

long IrAdvanceOf(const char* text) {
    errno = 0;
    const long v = std::strtol(text, nullptr, 10);
    if (errno == ERANGE) return v < 0 ? LONG_MIN : LONG_MAX;
    return v;
}

std::vector<float> SumAdvancedResponses(const float* ir1, const float* ir2, int N, long d) {
    const long samples = 8L * N;
    std::vector<float> s(static_cast<std::size_t>(samples));
    for (long j = 0; j < samples; ++j) {
        const float second = d >= 0 && d < samples - j ? ir2[2 * (j + d)] : 0.0f;
        s[static_cast<std::size_t>(j)] = ir1[2 * j] + second;
    }
    return s;
}

IrView MakeIrView(int w, int h, int time_scale, int mag_gain) {
    IrView v;
    v.w = w;
    v.h = h;
    v.u = (h - 40) / 18.0;
    v.time_scale = time_scale >= 1 ? time_scale : 1;
    v.mag_gain = mag_gain;
    return v;
}

double IrSampleX(const IrView& v, double n) { return 60.0 + n * (v.w - 80) / v.time_scale; }
bool IrInsideView(const IrView& v, double x) { return x < v.w - 20; }
int IrTraceY(const IrView& v, double y) { return HoldY(y, 19, v.h - 23); }
int IrWindowTraceY(const IrView& v, double y) { return HoldY(y, 19, v.h - 21); }
double IrWindowValueY(const IrView& v, double w) { return 20.0 + 9.0 * v.u - 8.0 * v.u * w; }
double IrLinearY(const IrView& v, double sample) { return 20.0 + 9.0 * v.u - 20.0 * v.mag_gain * sample; }
double IrLogY(const IrView& v, double sample) {
    return 20.0 + v.u - 2.0 * v.u * std::log10(std::fabs(sample) + 1e-17);
}

MlsOverlaySpan MlsOverlayOf(long cursor, uint32_t SplOnlyEq, int N, uint32_t HV_Sampling) {
    MlsOverlaySpan s;
    s.start = SplOnlyEq == 0 ? cursor - 4L * N : cursor;
    if (s.start < 0) s.start = 0;
    s.count = HV_Sampling == 2 ? 8L * N : 16L * N;
    return s;
}

double MlsOverlayLinearY(const IrView& v, double m) { return 20.0 + 9.0 * v.u - 0.0001 * 20.0 * v.mag_gain * m; }
double MlsOverlayLogY(const IrView& v, double m) {
    return 20.0 + v.u - 2.0 * v.u * std::log10(std::fabs(3.6e-7 * 20.0 * v.mag_gain * m) + 1e-17);
}

TemporalMask TemporalMaskOf(uint32_t b, uint32_t r) {
    // {curve 1 K1, K2, curve 2 K1, K2, curve 3 K2} by block size, then rate.
    static const double kTable[4][3][5] = {
        {{98, 4.3, 276, 5.3, 1.5}, {80, 4.0, 222, 5.0, 1.8}, {20, 2.0, 39.5, 2.5, 3.6}},
        {{1450, 8.2, 2000, 8.2, 1.3}, {1250, 8.0, 1700, 8.0, 1.5}, {80, 4.0, 110, 4.0, 3.0}},
        {{6800, 15, 9400, 15, 0.9}, {4200, 14, 5800, 14, 1.0}, {146, 7, 205, 7, 2.0}},
        {{1250, 24, 1750, 24, 0.65}, {800, 22, 1100, 22, 0.7}, {80, 12, 112, 12, 1.4}},
    };
    if (b > 3) b = 1;
    if (r > 2) r = 1;
    const double* k = kTable[b][r];
    TemporalMask m;
    m.c = b <= 1 ? 2.69 : b == 2 ? 2.48 : 2.23;
    m.k1[0] = k[0];
    m.k2[0] = k[1];
    m.k1[1] = k[2];
    m.k2[1] = k[3];
    m.k2_tail = k[4];
    return m;
}

double TemporalMaskY(const IrView& v, const TemporalMask& m, int curve, int j, int N) {
    if (curve == 3) return 21.0 + 8.0 * v.u - 7.0 * v.u * std::exp(-(j + 1.0) / (N * m.k2_tail));
    const int c = curve == 2 ? 1 : 0;
    const double rows = curve == 2 ? 8.0 : 6.0;
    return 21.0 + rows * v.u - m.k1[c] * v.u * std::exp((j + 1.0 - m.c * N) * m.k2[c] / N);
}

std::string IrBlockLabel(long t, int N) { return Formatted("P%ld", N > 0 ? t / N : 0); }

std::string IrBlockTimeLabel(long t, int sample_rate) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1fms", static_cast<double>(t) * 1000.0 / sample_rate);
    return text;
}

int IrSplY(int hs, double spl_db) {
    const double u = (hs - 40) / 18.0;
    return HoldY(20.0 + 2.0 * u - u / 10.0 * spl_db, 19, hs - 21);
}

int IrPhaseY(int hs, double phase_deg) {
    const double u = (hs - 40) / 18.0;
    return HoldY(20.0 + 9.0 * u - u / 20.0 * phase_deg, 19, hs - 21);
}

std::string IrSplLabel(int k) { return Formatted("%ld", 20 - 10L * k); }
std::string IrPhaseLabel(int k) { return Formatted("%ld", 180 - 20L * k); }
