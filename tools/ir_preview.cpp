#include "tools/ir_preview.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/fft.h"
#include "engine/window_shapes.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kDegreesPerRadian = 57.288;
constexpr double kPowerFloor = 1e-16;
constexpr double kZeroRealPart = 1e-12;
constexpr float kSplGap = -160.0f;
constexpr int kFftForward = -1;
constexpr int kFftInverse = +1;
constexpr int kDriverBins = 65536;

bool Usable(const FilterSynthesisInputs& in, int o) {
    return in.N >= 1 && in.N <= kMaxBlockFrames && o >= 0 && o < kEngineOutputs && in.OutputSpectrum[o];
}

void ClearFloats(float* p, long count) {
    if (p && count > 0) std::memset(p, 0, static_cast<std::size_t>(count) * sizeof(float));
}

void ZeroImaginary(float* x, int points) {
    for (int j = 0; j < points; ++j) x[2 * j + 1] = 0.0f;
}

FilterSynthesisBuffers SynthesisBuffers(IrPreviewBuffers& buf, int o, const float* taper) {
    FilterSynthesisBuffers sb;
    sb.IrWindow = buf.IrWindow;
    sb.OutputTaper[o] = taper;
    sb.SynthesisWork = buf.IrWorkBuffer;
    sb.SynthesisRotated = buf.IrShiftBuffer;
    sb.fft = buf.fft;
    return sb;
}

}  // namespace

int BuildIrPreview(const FilterSynthesisInputs& in, uint32_t WideWindow, IrPreviewBuffers& buf, int o, int32_t L,
                   int32_t t, bool store) {
    if (!Usable(in, o)) return 1;
    const int N = in.N;
    // The windows exactly as the engine shapes them before a synthesis.
    ClearFloats(buf.IrWindow, buf.IrWindowFloats);
    FillImpulseWindow(in.SplOnlyEq, WideWindow, N, buf.IrWindow);
    float* taper = buf.OutputTaper[o];
    for (long i = 0; i < buf.OutputTaperFloats; ++i) taper[i] = 1.0f;
    if (in.SplOnlyEq == 1) FillOutputTaper(L, t, N, taper);

    PrepareFftTables(16 * N, buf.fft.bit_reverse, buf.fft.twiddle);
    FilterSynthesisBuffers sb = SynthesisBuffers(buf, o, taper);
    SynthesizeOutputResponse(in, sb, o);
    ZeroImaginary(buf.IrWorkBuffer, 8 * N);

    if (store && buf.OutputImpulseResponse[o]) {
        float* out = buf.OutputImpulseResponse[o];
        ClearFloats(out, 64L * N);
        for (int j = 0; j < 8 * N; ++j) out[2 * j] = buf.IrWorkBuffer[2 * j];
    }
    return 0;
}

int BuildNonLinearisedPreview(const FilterSynthesisInputs& in, uint32_t WideWindow, IrPreviewBuffers& buf, int o) {
    if (!Usable(in, o)) return 1;
    const int N = in.N;
    ClearFloats(buf.IrWindow, buf.IrWindowFloats);
    FillImpulseWindow(1, WideWindow, N, buf.IrWindow);
    FilterSynthesisInputs magnitude_only = in;
    magnitude_only.SplOnlyEq = 1;  // the phase of the acoustic response is kept
    PrepareFftTables(16 * N, buf.fft.bit_reverse, buf.fft.twiddle);
    FilterSynthesisBuffers sb = SynthesisBuffers(buf, o, nullptr);
    SynthesizeShiftedResponse(magnitude_only, sb, o, 1);
    ZeroImaginary(buf.IrWorkBuffer, 8 * N);
    return 0;
}

int ConvolveIrWithDriver(int N, IrPreviewBuffers& buf, const float* driver_response, float* out) {
    if (N < 1 || N > kMaxBlockFrames || !driver_response || !out) return 1;
    const int half = 4 * N, points = 8 * N;
    ClearFloats(out, 32L * N);
    float* x = buf.IrWorkBuffer;
    ComplexFft(2 * points, kFftForward, x, buf.fft.bit_reverse, buf.fft.twiddle);
    const float* dre = driver_response;
    const float* dim = driver_response + kDriverBins;
    for (int k = 0; k <= half; ++k) {
        const float a = x[2 * k], b = x[2 * k + 1];
        out[2 * k] = a * dre[k] - b * dim[k];
        out[2 * k + 1] = a * dim[k] + b * dre[k];
    }
    for (int k = half + 1; k < points; ++k) {
        out[2 * k] = out[2 * (points - k)];
        out[2 * k + 1] = -out[2 * (points - k) + 1];
    }
    ComplexFft(2 * points, kFftInverse, out, buf.fft.bit_reverse, buf.fft.twiddle);
    return 0;
}

void LogGridSpectrum(const LogSpectrumRequest& r, const float* grid, float* spl, float* phase) {
    const int p = r.fft_points;
    if (p < 2 || !FftSizeSupported(2 * p) || !r.scratch || !r.response) return;
    float* x = r.scratch;
    ClearFloats(x, 2L * p);
    const int n = std::min(r.samples, p);
    for (int j = 0; j < n; ++j) x[2 * j] = r.response[2 * j];
    ComplexFft(2 * p, kFftForward, x, r.fft.bit_reverse, r.fft.twiddle);
    const float* end = grid + 3100;
    for (int k = 0; k < p; ++k) {
        const double f = r.bin_frequency ? r.bin_frequency[k] : k * r.sample_rate / p;
        const float* above = std::upper_bound(grid, end, f, [](double v, float g) { return v < g; });
        if (above == end) continue;
        if (r.limit_hz > 0.0 && !(*above < r.limit_hz)) continue;
        const int i = static_cast<int>(above - grid);
        const double re = x[2 * k], im = x[2 * k + 1];
        spl[i] = static_cast<float>(10.0 * std::log10(re * re + im * im + kPowerFloor));
        const double theta = kTwoPi * r.delay_s * f;
        const double c = std::cos(theta), s = std::sin(theta);
        double re2 = re * c + im * s;
        const double im2 = -re * s + im * c;
        if (re2 == 0.0) re2 = kZeroRealPart;
        phase[i] = static_cast<float>(std::atan2(im2, re2) * kDegreesPerRadian);
    }
}

void FillLogSplGaps(float* v, int n) {
    int a = 0;
    for (int b = 1; b < n; ++b) {
        if (!(v[b] > kSplGap)) continue;
        const double va = v[a], vb = v[b];
        for (int j = a; j < b; ++j) v[j] = static_cast<float>(va + (j - a) * (vb - va) / (b - a));
        a = b;
    }
}

void FillLogPhaseGaps(float* v, int n) {
    int p = 0;
    double vp = 0.0;
    for (int b = 0; b < n; ++b) {
        if (v[b] == 0.0f) continue;
        const double vb = v[b];
        for (int j = p; j < b; ++j) v[j] = static_cast<float>(vp + (j - p) * (vb - vp) / (b - p));
        p = b;
        vp = vb;
    }
}

void DriverConvolvedLogCurves(int N, double fs, const float* conv, const float* bins, const float* grid, float* scratch,
                              FftTables fft, float* spl, float* phase) {
    for (int i = 0; i < 3100; ++i) spl[i] = kSplGap;
    LogSpectrumRequest r;
    r.response = conv;
    r.samples = 8 * N;
    r.fft_points = 8 * N;
    r.sample_rate = fs;
    r.bin_frequency = bins;
    r.delay_s = -4.0 * N / fs;
    r.scratch = scratch;
    r.fft = fft;
    LogGridSpectrum(r, grid, spl, phase);
    FillLogSplGaps(spl, 3100);
}
