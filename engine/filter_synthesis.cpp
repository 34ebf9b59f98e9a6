#include "engine/filter_synthesis.h"

#include <cmath>
#include <cstring>

#include "engine/fft.h"
#include "engine/window_shapes.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kMsToSeconds = 0.001;
constexpr int kFftForward = -1;
constexpr int kFftInverse = +1;

void ClearFloats(float* p, long count) { std::memset(p, 0, static_cast<size_t>(count) * sizeof(float)); }

// h[k] *= c + i s, in single precision.
inline void Rotate(float* h, float c, float s) {
    const float re = h[0], im = h[1];
    h[0] = re * c - im * s;
    h[1] = re * s + im * c;
}

}  // namespace

int ImpulseShift(uint32_t spl_only_eq, uint32_t ir_method, int N) {
    if (spl_only_eq == 0) return 4 * N;
    return ir_method == 0 ? kMagnitudeOnlyShiftMethod1 : N / 4;
}

void SynthesizeOutputResponse(const FilterSynthesisInputs& in, FilterSynthesisBuffers& buf, int o) {
    SynthesizeShiftedResponse(in, buf, o, ImpulseShift(in.SplOnlyEq, in.IrMethod, in.N));
}

void SynthesizeShiftedResponse(const FilterSynthesisInputs& in, FilterSynthesisBuffers& buf, int o, int shift) {
    const int N = in.N;
    const int half = 4 * N;   // bin fs/2
    const int points = 8 * N; // FIR length
    float* h = buf.SynthesisWork;
    ClearFloats(h, 2L * 16 * N);

    // 1. The designed response, bins 0..4N.
    std::memcpy(h, in.OutputSpectrum[o], static_cast<size_t>(2 * (half + 1)) * sizeof(float));

    // 2. Phase-linearised: cancel the phase of the acoustic response, plus a constant 0.001 rad.
    if (in.SplOnlyEq == 0) {
        const float* g = in.PhaseReferenceSpectrum[o];
        for (int k = 0; k <= half; ++k) {
            const double re = g[2 * k], im = g[2 * k + 1];
            const double phi = (re == 0.0 && im == 0.0) ? 0.0 : -std::atan2(im, re);
            Rotate(h + 2 * k, static_cast<float>(std::cos(phi + kPhaseReferenceOffset)),
                   static_cast<float>(std::sin(phi + kPhaseReferenceOffset)));
        }
    }

    // 3. Polarity and delay: e^(-i 2 pi f t), a positive delay delays the output.
    const float df = in.SampleRate / static_cast<float>(8 * N);
    const float polarity = static_cast<float>(in.OutputPolarity ? in.OutputPolarity[o] : 1);
    const double delay_ms = in.OutputDelayMs ? in.OutputDelayMs[o] : 0.0f;
    for (int k = 0; k <= half; ++k) {
        float* p = h + 2 * k;
        p[0] = p[0] * polarity;
        p[1] = p[1] * polarity;
        const float a = static_cast<float>(kTwoPi * df * k * delay_ms * kMsToSeconds);
        if (a != 0.0f) Rotate(p, static_cast<float>(std::cos(a)), -static_cast<float>(std::sin(a)));
    }

    // 4. Hermitian completion, so that the inverse transform is real.
    for (int k = half + 1; k < points; ++k) {
        h[2 * k] = h[2 * (points - k)];
        h[2 * k + 1] = -h[2 * (points - k) + 1];
    }

    // 5. The impulse response, scaled by 1/(8N): the only scaling of the whole chain.
    ComplexFft(2 * points, kFftInverse, h, buf.fft.bit_reverse, buf.fft.twiddle);

    // 6. Circular pre-shift: time zero lands on point S.
    float* r = buf.SynthesisRotated;
    ClearFloats(r, 2L * points);
    for (int j = 0; j < points; ++j) {
        const int from = ((j - shift) % points + points) % points;
        r[2 * j] = h[2 * from];
        r[2 * j + 1] = h[2 * from + 1];
    }

    // 7. Global window times the output's taper (none when the output has no taper buffer).
    const float* w = buf.IrWindow;
    const float* t = buf.OutputTaper[o];
    if (t) {
        for (int j = 0; j < points; ++j) {
            h[2 * j] = r[2 * j] * w[2 * j] * t[2 * j];
            h[2 * j + 1] = r[2 * j + 1] * w[2 * j + 1] * t[2 * j + 1];
        }
    } else {
        for (int j = 0; j < points; ++j) {
            h[2 * j] = r[2 * j] * w[2 * j];
            h[2 * j + 1] = r[2 * j + 1] * w[2 * j + 1];
        }
    }
}

void WriteFilterPartitions(const FilterSynthesisBuffers& buf, int N, float* const partitions[kEnginePartitions]) {
    const float* x = buf.SynthesisWork;
    for (int p = 0; p < kEnginePartitions; ++p) {
        float* part = partitions[p];
        ClearFloats(part, 4L * N);
        for (int j = 0; j < N; ++j) part[2 * j] = x[2 * (p * N + j)];  // only the real part reaches the filter
        ComplexFft(4 * N, kFftForward, part, buf.fft.bit_reverse, buf.fft.twiddle);
    }
}

int SynthesizeOutputFilters(const FilterSynthesisInputs& in, FilterSynthesisBuffers& buf) {
    const int N = in.N;
    PrepareFftTables(16 * N, buf.fft.bit_reverse, buf.fft.twiddle);
    for (int o = 0; o < kEngineOutputs; ++o) {
        SynthesizeOutputResponse(in, buf, o);
        WriteFilterPartitions(buf, N, buf.FilterPartitionBank[0][o]);
    }
    ClearFloats(buf.SynthesisWork, 2L * 16 * N);
    if (in.SplOnlyEq == 1) {
        for (int o = 0; o < kEngineOutputs; ++o) {
            for (int p = 0; p < kEnginePartitions; ++p) {
                std::memcpy(buf.FilterPartitionBank[1][o][p], buf.FilterPartitionBank[0][o][p],
                            static_cast<size_t>(4 * N) * sizeof(float));
            }
        }
    }
    return 0;
}

int BuildOutputFilters(const FilterSynthesisInputs& in, const FilterWindowSettings& settings,
                       FilterWindowBuffers& windows, FilterSynthesisBuffers& buf) {
    const int N = in.N;
    ClearFloats(windows.IrWindow, windows.IrWindowFloats);
    for (int o = 0; o < kEngineOutputs; ++o) {
        float* taper = windows.OutputTaper[o];
        for (long i = 0; i < windows.OutputTaperFloats; ++i) taper[i] = 1.0f;
        if (in.SplOnlyEq == 1) FillOutputTaper(settings.TaperLength[o], settings.TaperWindowType[o], N, taper);
    }
    FillImpulseWindow(in.SplOnlyEq, settings.WideWindow, N, windows.IrWindow);
    buf.IrWindow = windows.IrWindow;
    for (int o = 0; o < kEngineOutputs; ++o) buf.OutputTaper[o] = windows.OutputTaper[o];
    return SynthesizeOutputFilters(in, buf);
}

int BuildFilterBanksForPlay(const FilterSynthesisInputs& in, const FilterWindowSettings& settings,
                            FilterWindowBuffers& windows, FilterSynthesisBuffers& buf) {
    FilterSynthesisInputs magnitude_only = in;
    magnitude_only.SplOnlyEq = 1;
    BuildOutputFilters(magnitude_only, settings, windows, buf);
    return BuildOutputFilters(in, settings, windows, buf);
}
