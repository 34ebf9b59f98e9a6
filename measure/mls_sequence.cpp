#include "measure/mls_sequence.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/fft.h"

// clang-format off
const uint32_t MlsTapTable[kMlsTapOrders][4] = {
    {kMlsNoTap, kMlsNoTap, kMlsNoTap, kMlsNoTap},  // 1
    {0, 1, kMlsNoTap, kMlsNoTap},
    {1, 2, kMlsNoTap, kMlsNoTap},
    {2, 3, kMlsNoTap, kMlsNoTap},
    {0, 1, 3, 4},                                  // 5
    {4, 5, kMlsNoTap, kMlsNoTap},
    {5, 6, kMlsNoTap, kMlsNoTap},
    {1, 2, 4, 7},
    {4, 8, kMlsNoTap, kMlsNoTap},
    {6, 9, kMlsNoTap, kMlsNoTap},                  // 10
    {8, 10, kMlsNoTap, kMlsNoTap},
    {5, 7, 10, 11},
    {8, 9, 11, 12},
    {3, 7, 12, 13},
    {13, 14, kMlsNoTap, kMlsNoTap},                // 15
    {3, 12, 14, 15},
    {13, 16, kMlsNoTap, kMlsNoTap},
    {10, 17, kMlsNoTap, kMlsNoTap},
    {13, 16, 17, 18},
    {16, 19, kMlsNoTap, kMlsNoTap},                // 20
    {18, 20, kMlsNoTap, kMlsNoTap},
    {20, 21, kMlsNoTap, kMlsNoTap},
    {17, 22, kMlsNoTap, kMlsNoTap},
    {16, 21, 22, 23},
};
// clang-format on

namespace {

bool OrderInTable(int order) { return order >= 1 && order <= kMlsTapOrders; }

void ClearTables(const MlsTables& t) {
    std::memset(t.bits, 0, kMlsTableEntries * sizeof(uint32_t));
    std::memset(t.tagS, 0, kMlsTableEntries * sizeof(int32_t));
    std::memset(t.tagL, 0, kMlsTableEntries * sizeof(int32_t));
}

// The shift register: r starts at 1 and is never masked; each step shifts in the parity of the tapped bits,
// which is also the sequence bit of that position.
void BuildSequence(int order, uint32_t* bits) {
    const int L = MlsLength(order);
    const int c = MlsTapCount(order);
    const uint32_t* taps = MlsTapTable[order - 1];
    uint32_t r = 1;
    for (int i = 0; i < L; ++i) {
        uint32_t f = 0;
        for (int t = 0; t < c; ++t) f ^= (r >> taps[t]) & 1u;
        r = 2 * r + f;
        if (f) bits[i >> 5] |= 1u << (i & 31);
    }
}

// tagS[i] holds s[i], s[i-1], .., s[i-n+1] (indices modulo L) from its most significant bit down: the state of
// the register at position i. Each state follows from the one before by a shift.
void BuildTagS(int order, const uint32_t* bits, int32_t* tagS) {
    const int L = MlsLength(order);
    const int n = order;
    uint32_t state = 0;
    for (int j = 0; j < n; ++j) {
        const int idx = ((0 - j) % L + L) % L;
        if (MlsBit(bits, idx)) state |= 1u << (n - 1 - j);
    }
    tagS[0] = static_cast<int32_t>(state);
    for (int i = 1; i < L; ++i) {
        state = (state >> 1) | (static_cast<uint32_t>(MlsBit(bits, i)) << (n - 1));
        tagS[i] = static_cast<int32_t>(state);
    }
}

// Bit column n-1-j of tagL comes from the first window (lowest k) whose only one stands at offset j: tagL[i]
// takes that bit where s[k - i] is 1.
void BuildTagL(int order, const uint32_t* bits, const int32_t* tagS, int32_t* tagL) {
    const int L = MlsLength(order);
    const int n = order;
    const uint32_t all = (n >= 32) ? 0xFFFFFFFFu : ((1u << n) - 1u);
    uint32_t done = 0;
    for (int k = 0; k < L && done != all; ++k) {
        const auto window = static_cast<uint32_t>(tagS[k]);
        if (window == 0 || (window & (window - 1)) != 0) continue;  // not exactly one 1
        int bit = 0;
        while ((window >> bit) != 1u) ++bit;
        const int j = n - 1 - bit;  // offset of the one within the window
        if (done & (1u << j)) continue;
        const uint32_t column = 1u << (n - 1 - j);
        // s[(k - i) mod L] for i = 0..L-1: walk the sequence backwards from k.
        int idx = k;
        for (int i = 0; i < L; ++i) {
            if (MlsBit(bits, idx)) tagL[i] = static_cast<int32_t>(static_cast<uint32_t>(tagL[i]) | column);
            idx = (idx == 0) ? L - 1 : idx - 1;
        }
        done |= 1u << j;
    }
}

int ElementCount(uint32_t capture24) { return capture24 ? kMlsStimulusElements32 : kMlsStimulusElements16; }

int16_t Saturate16(double v) {
    const double t = std::trunc(v);
    if (!(t > -32768.0)) return -32768;  // also NaN, which no finite sequence gives
    if (t > 32767.0) return 32767;
    return static_cast<int16_t>(t);
}

int32_t Saturate32(double v) {
    const double t = std::trunc(v);
    if (!(t > -2147483648.0)) return INT32_MIN;
    if (t > 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(t);
}

// The sequence in stimulus polarity, circularly convolved with a first-order high-pass, into reversed[0..L-1]:
// e[k] = sum over m of h[m] a[(k - m) mod L], a = -1 where the bit is 1 and +1 where it is 0.
void BuildEmphasisedSequence(const MlsStimulusSettings& s, const MlsStimulusBuffers& b) {
    const int n = s.order;
    const int N = 1 << n;
    const int L = N - 1;
    const double df = s.sample_rate / N;
    float* em = b.emphasis;
    for (int k = 0; k < N; ++k) {
        // Each intermediate is kept as a 32-bit float, as the response has always been computed.
        const auto w = static_cast<float>(k * 2.0 * 3.141592653589793 * df);
        const auto x = static_cast<float>(0.001 * s.pre_emphasis_ms * w);
        const auto d = static_cast<float>(x * x + 1.0f);
        // The unit impulse of weight 40 transforms to 40 in every bin; only the positive half is kept.
        if (k < N / 2 && !std::isfinite(d)) {
            // A time constant so long that x * x overflows: the high-pass is 1 there (x / d is below any float
            // the stimulus could show), where the quotients would be inf / inf.
            em[2 * k] = kMlsEmphasisImpulse;
            em[2 * k + 1] = 0.0f;
        } else if (k < N / 2) {
            em[2 * k] = static_cast<float>(x * x / d) * kMlsEmphasisImpulse;
            em[2 * k + 1] = static_cast<float>(x / d) * kMlsEmphasisImpulse;
        } else {
            em[2 * k] = 0.0f;
            em[2 * k + 1] = 0.0f;
        }
    }
    ComplexFft(2 * N, +1, em, b.fft.bit_reverse, b.fft.twiddle);
    float* r = b.reversed;
    for (int i = 0; i < L; ++i) r[L - 1 - i] = em[2 * i];
    float* h = b.hadamard;
    for (int i = 0; i < L; ++i) h[b.tables.tagS[i]] = r[i];
    h[0] = 0.0f;
    FastHadamardTransform(h, N);
    for (int i = 0; i < L; ++i) r[L - 1 - i] = h[b.tables.tagL[i]];
}

// The factor on e. Both widths scale e as level 1 scales the plain sequence (320, and 83,386 x 256 = 21,346,816),
// so the factor that gives e an RMS of `level` gives the samples the plain stimulus's RMS. The emphasised
// sequence peaks well above its RMS, though, and a clipped sequence is no longer an MLS: its peak is kept within
// the plain stimulus's peak at 100 % (32,000 and 2,134,681,600, just below full scale), and a level that would
// take it further is held there, the RMS then that of a lower level.
struct EmphasisGain {
    double gain = 0.0;
    MlsEmphasisLevel level;
};

EmphasisGain MlsEmphasisGain(const float* e, int L, uint32_t level) {
    EmphasisGain g;
    double sum = 0.0, peak = 0.0;
    for (int i = 0; i < L; ++i) {
        sum += static_cast<double>(e[i]) * e[i];
        peak = std::max(peak, std::fabs(static_cast<double>(e[i])));
    }
    const double rms = L > 0 ? std::sqrt(sum / L) : 0.0;
    const double A = level > 100 ? 100.0 : static_cast<double>(level);
    if (!(A > 0.0 && rms > 0.0 && std::isfinite(rms) && std::isfinite(peak))) return g;
    const double by_rms = A / rms;
    const double by_peak = kMlsLevelMax / peak;
    if (!std::isfinite(by_rms) || !std::isfinite(by_peak)) return g;
    if (by_rms <= by_peak) {
        g.gain = by_rms;
        g.level.level = static_cast<int>(A);
    } else {
        g.gain = by_peak;
        g.level.held = true;
        g.level.level = static_cast<int>(kMlsLevelMax * rms / peak);  // the lower level whose RMS this is
    }
    return g;
}

}  // namespace

int MlsTapCount(int order) {
    if (!OrderInTable(order)) return 0;
    int c = 0;
    while (c < 4 && MlsTapTable[order - 1][c] != kMlsNoTap) ++c;
    return c;
}

int BuildMlsTables(int order, const MlsTables& t) {
    ClearTables(t);
    // Orders above 18 have more positions than the tables hold.
    if (order < 1 || order > kMlsMaxOrder) return 0;
    BuildSequence(order, t.bits);
    BuildTagS(order, t.bits, t.tagS);
    BuildTagL(order, t.bits, t.tagS, t.tagL);
    return MlsLength(order);
}

std::string MlsTitle(int order) {
    const bool known = OrderInTable(order);
    int32_t taps[4] = {-1, -1, -1, -1};
    if (known)
        for (int i = 0; i < 4; ++i) taps[i] = static_cast<int32_t>(MlsTapTable[order - 1][i]);
    char text[128];
    std::snprintf(text, sizeof text, "MLS %d,  Taps [ %d,%d,%d,%d ],  Length = %d   ", MlsTapCount(order), taps[0],
                  taps[1], taps[2], taps[3], known ? MlsLength(order) : 0);
    return text;
}

int FastHadamardTransform(float* x, int n) {
    if (n <= 1) return 1;
    for (int h = 1; h < n; h *= 2) {
        for (int b = 0; b < n; b += 2 * h) {
            float* lo = x + b;
            float* hi = x + b + h;
            for (int v = 0; v < h; ++v) {
                const float a = lo[v];
                const float c = hi[v];
                lo[v] = a + c;
                hi[v] = a - c;
            }
        }
    }
    return 1;
}

void DeconvolveMls(const float* x, float* y, int order, const MlsTables& t, float* hadamard) {
    const int N = 1 << order;
    const int L = N - 1;
    for (int i = 0; i < L; ++i) hadamard[t.tagS[i]] = x[i];
    hadamard[0] = 0.0f;
    FastHadamardTransform(hadamard, N);
    const float scale = 1.0f / static_cast<float>(L);
    for (int i = 0; i < L; ++i) y[i] = hadamard[t.tagL[i]] * scale;
}

int32_t MlsEmphasisedSample(double e, uint32_t capture24) {
    return capture24 ? Saturate32(kMlsEmphasisScale24 * e * 256.0) : Saturate16(kMlsEmphasisScale16 * e);
}

int32_t ClampMlsOutputDelay(int32_t output_delay, int order, uint32_t capture24) {
    const int32_t limit = ElementCount(capture24) - 2 * MlsLength(order);
    if (output_delay < 0) return 0;
    return output_delay > limit ? limit : output_delay;
}

int GenerateMls(int order, uint32_t level, int32_t output_delay, const MlsStimulusBuffers& b) {
    const int L = BuildMlsTables(order, b.tables);
    std::memset(b.stimulus, 0, kMlsStimulusBytes);
    if (L == 0) return 0;
    const int32_t o = ClampMlsOutputDelay(output_delay, order, 0);
    auto* e = reinterpret_cast<int16_t*>(b.stimulus);
    const auto a = static_cast<int16_t>(kMlsLevelStep16 * static_cast<int32_t>(level > 100 ? 100 : level));
    for (int i = 0; i < L; ++i) e[o + i] = MlsBit(b.tables.bits, i) ? static_cast<int16_t>(-a) : a;
    return L;
}

int GenerateMlsStimulus(const MlsStimulusSettings& s, const MlsStimulusBuffers& b, MlsEmphasisLevel* level) {
    if (level) *level = MlsEmphasisLevel{};
    const int L = BuildMlsTables(s.order, b.tables);
    std::memset(b.stimulus, 0, kMlsStimulusBytes);
    if (L == 0) return 0;
    const int32_t o = ClampMlsOutputDelay(s.output_delay, s.order, s.capture24);
    const int32_t A = static_cast<int32_t>(s.level > 100 ? 100 : s.level);
    const bool emphasis = s.pre_emphasis_ms > 0.0 && std::isfinite(s.pre_emphasis_ms);
    double gain = 0.0;
    if (emphasis) {
        BuildEmphasisedSequence(s, b);
        // The output level sets the emphasised sequence's power as it sets the plain one's: the same level gives
        // the same RMS, whatever the time constant, as far as the peak allows; level 0 gives silence.
        const EmphasisGain g = MlsEmphasisGain(b.reversed, L, s.level);
        gain = g.gain;
        if (level) *level = g.level;
    }
    const float* e = b.reversed;
    const uint32_t* bits = b.tables.bits;

    if (s.capture24) {
        auto* out = reinterpret_cast<int32_t*>(b.stimulus) + o;
        const int32_t plus = kMlsLevelStep24 * A;
        for (int i = 0; i < L; ++i) {
            const int32_t plain = MlsBit(bits, i) ? -plus : plus;
            if (!emphasis) {
                out[2 * i] = out[2 * i + 1] = plain;
                continue;
            }
            const int32_t emphasised = MlsEmphasisedSample(gain * e[i], 1);
            out[2 * i] = s.pre_emphasis_both ? emphasised : plain;
            out[2 * i + 1] = emphasised;
        }
    } else {
        auto* out = reinterpret_cast<int16_t*>(b.stimulus) + o;
        const auto plus = static_cast<int16_t>(kMlsLevelStep16 * A);
        for (int i = 0; i < L; ++i) {
            const int16_t plain = MlsBit(bits, i) ? static_cast<int16_t>(-plus) : plus;
            if (!emphasis) {
                // The plain 16-bit stimulus ends in silence.
                if (i < L - kMlsSilentTail16) out[2 * i] = out[2 * i + 1] = plain;
                continue;
            }
            const auto emphasised = static_cast<int16_t>(MlsEmphasisedSample(gain * e[i], 0));
            out[2 * i] = s.pre_emphasis_both ? emphasised : plain;
            out[2 * i + 1] = emphasised;
        }
    }
    return L;
}
