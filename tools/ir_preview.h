#pragma once
// Impulse-response previews: each output's windowed impulse response exactly as the engine's filter synthesis
// builds it (the same window shapes, taper, phase reference, shift and transform), for the impulse-response
// dialog to show, measure and save; its non-linearised and driver-convolved variants; and the spectrum of an
// impulse response on the 3100-point logarithmic grid.
#include <cstdint>

#include "engine/block_path.h"
#include "engine/filter_synthesis.h"

// The buffers of the previews. Complex buffers are interleaved (re, im); windows hold their value in both.
struct IrPreviewBuffers {
    float* IrWindow = nullptr;                     // cleared over IrWindowFloats (at least 32N) before shaping
    long IrWindowFloats = 0;
    float* OutputTaper[kEngineOutputs] = {};       // set to 1.0 over OutputTaperFloats (at least 32N)
    long OutputTaperFloats = 0;
    float* IrWorkBuffer = nullptr;                 // 32N floats: afterwards the windowed response, points 0..8N-1
    float* IrShiftBuffer = nullptr;                // 16N floats: the shifted response
    float* OutputImpulseResponse[kEngineOutputs] = {};  // 64N floats each (0x40000 at N = 4096)
    FftTables fft;                                 // grown here as needed
};

// The main build of output o (0-based) with taper length L and WindowType t: the global window of SplOnlyEq
// and WideWindow, the output's taper, then the engine's synthesis. The response is left in IrWorkBuffer and,
// when `store` is set, in OutputImpulseResponse[o] (real parts of points 0..8N-1; every imaginary part and
// every point from 8N on is 0). Returns 0, or 1 when N or o is out of range.
int BuildIrPreview(const FilterSynthesisInputs& in, uint32_t WideWindow, IrPreviewBuffers& buf, int o, int32_t L,
                   int32_t t, bool store = true);

// The minimum-phase view of output o: the magnitude-only window of WideWindow whatever SplOnlyEq is, no phase
// cancellation, a shift of one point and no taper. Leaves the response in IrWorkBuffer. Returns 0 or 1.
int BuildNonLinearisedPreview(const FilterSynthesisInputs& in, uint32_t WideWindow, IrPreviewBuffers& buf, int o);

// Convolves the response in IrWorkBuffer (transformed there in place) with a driver response given as 65536
// real parts then 65536 imaginary parts on the bins of the linear grid; the result, 8N points, goes into
// IrDriverConvolved (32N floats, cleared first). Returns 0 or 1.
int ConvolveIrWithDriver(int N, IrPreviewBuffers& buf, const float* driver_response, float* IrDriverConvolved);

// The spectrum of an impulse response on the log grid. The response's real parts (every other float of
// `response`, `samples` of them) are transformed over `fft_points` points (a power of two). Bin k lies at
// bin_frequency[k] when given, else at k fs / fft_points; it goes to the first grid index above it, unless
// there is none or that grid frequency is not below `limit_hz` (0: no limit). A later bin overwrites an
// earlier one. The phase is turned by -2 pi f delay_s: a response delayed by t seconds is straightened with
// delay_s = -t (the driver view passes -4N / fs). Points no bin reaches keep their values.
struct LogSpectrumRequest {
    const float* response = nullptr;
    int samples = 0;
    int fft_points = 0;
    double sample_rate = 48000.0;
    const float* bin_frequency = nullptr;
    double delay_s = 0.0;
    double limit_hz = 0.0;
    float* scratch = nullptr;  // 2 fft_points floats
    FftTables fft;
};
void LogGridSpectrum(const LogSpectrumRequest& request, const float* LogFrequencyTable, float* spl_db, float* phase_deg);

// Gap filling of a log-grid SPL curve (a point is an anchor above -160 dB; index 0 always is) and of a phase
// curve (an anchor is not exactly 0; the walk starts from 0 degrees at index 0).
void FillLogSplGaps(float* spl_db, int n);
void FillLogPhaseGaps(float* phase_deg, int n);

// The curves of the driver-convolved view: the SPL first set to -160 dB, then the spectrum of points 0..8N-1
// of IrDriverConvolved over 8N points on the bins of BinFrequencyTable, straightened by 4N samples, with no
// upper limit; then the SPL gaps filled (the phase is not). scratch: 16N floats.
void DriverConvolvedLogCurves(int N, double sample_rate, const float* IrDriverConvolved, const float* BinFrequencyTable,
                              const float* LogFrequencyTable, float* scratch, FftTables fft, float* spl_db,
                              float* phase_deg);
