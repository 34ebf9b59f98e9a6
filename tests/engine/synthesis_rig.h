#pragma once
// One synthesis of every output over engine buffers of one block size: flat unit spectra and references,
// polarity +1, no delay, tapers of 1.0; the banks are the engine context's, ready for the block path.
#include <cmath>
#include <vector>

#include "engine/filter_synthesis.h"
#include "engine_test_buffers.h"

struct Synthesis {
    int N;
    TestEngineBuffers engine{N};
    std::vector<std::vector<float>> spectrum, reference, taper;
    std::vector<float> window, work, rotated;
    int32_t polarity[kEngineOutputs];
    float delay_ms[kEngineOutputs] = {};
    FilterSynthesisInputs in;
    FilterSynthesisBuffers buf;

    explicit Synthesis(int n = 512) : N(n) {
        spectrum.assign(kEngineOutputs, std::vector<float>(2 * (4 * N + 1)));
        reference.assign(kEngineOutputs, std::vector<float>(2 * (4 * N + 1)));
        taper.assign(kEngineOutputs, std::vector<float>(2 * 16 * N, 1.0f));
        window.assign(2 * 16 * N, 0.0f);
        work.assign(2 * 16 * N, 0.0f);
        rotated.assign(2 * 8 * N, 0.0f);
        for (int o = 0; o < kEngineOutputs; ++o) {
            polarity[o] = 1;
            SetFlat(o, 1.0, 0.0);
            for (int k = 0; k <= 4 * N; ++k) reference[o][2 * k] = 1.0f;
        }
        in.N = N;
        in.SampleRate = 48000.0f;
        for (int o = 0; o < kEngineOutputs; ++o) {
            in.OutputSpectrum[o] = spectrum[o].data();
            in.PhaseReferenceSpectrum[o] = reference[o].data();
            buf.OutputTaper[o] = taper[o].data();
        }
        in.OutputPolarity = polarity;
        in.OutputDelayMs = delay_ms;
        buf.IrWindow = window.data();
        buf.SynthesisWork = work.data();
        buf.SynthesisRotated = rotated.data();
        for (int b = 0; b < kEngineBanks; ++b)
            for (int o = 0; o < kEngineOutputs; ++o)
                for (int p = 0; p < kEnginePartitions; ++p) buf.FilterPartitionBank[b][o][p] = engine.ctx.FilterPartitionBank[b][o][p];
        buf.fft = engine.ctx.fft;
    }
    void SetFlat(int o, double re, double im) {
        for (int k = 0; k <= 4 * N; ++k) {
            spectrum[o][2 * k] = static_cast<float>(re);
            spectrum[o][2 * k + 1] = static_cast<float>(im);
        }
    }
    // A smooth window that is not 1 anywhere, so that every tap shows that it was windowed; zero from
    // `length` points on.
    void SetWindow(int length) {
        for (int j = 0; j < 16 * N; ++j) {
            const float w = j < length ? static_cast<float>(0.6 + 0.3 * std::cos(j * 0.01)) : 0.0f;
            window[2 * j] = window[2 * j + 1] = w;
        }
    }
    // The FIR of output o as the synthesis leaves it.
    std::vector<double> Fir(int o) {
        SynthesizeOutputResponse(in, buf, o);
        std::vector<double> taps(8 * N);
        for (int j = 0; j < 8 * N; ++j) taps[j] = work[2 * j];
        return taps;
    }
};

// The windows of a build over the synthesis's own buffers, and the default settings: no wide window,
// every output's taper "Hanning" over 32 points.
inline FilterWindowBuffers WindowsOf(Synthesis& s) {
    FilterWindowBuffers w;
    w.IrWindow = s.window.data();
    w.IrWindowFloats = static_cast<long>(s.window.size());
    for (int o = 0; o < kEngineOutputs; ++o) w.OutputTaper[o] = s.taper[o].data();
    w.OutputTaperFloats = static_cast<long>(s.taper[0].size());
    return w;
}

inline FilterWindowSettings DefaultWindowSettings() {
    FilterWindowSettings settings;
    settings.WideWindow = 0;
    for (int o = 0; o < kEngineOutputs; ++o) {
        settings.TaperLength[o] = 256;  // "Hanning" over 32 points
        settings.TaperWindowType[o] = 6;
    }
    return settings;
}
