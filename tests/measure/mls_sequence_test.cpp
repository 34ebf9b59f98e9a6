#include "measure/mls_sequence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <complex>
#include <random>
#include <vector>

#include "mls_test_buffers.h"
#include "mls_test_support.h"

namespace {

int Sign(const MlsTables& t, int i) { return MlsBit(t.bits, i) ? -1 : 1; }

// sum over i of a[i] a[(i + lag) mod L]
long Autocorrelation(const MlsTables& t, int L, int lag) {
    long sum = 0;
    for (int i = 0; i < L; ++i) sum += Sign(t, i) * Sign(t, (i + lag) % L);
    return sum;
}

bool IsPermutationOfOneToL(const int32_t* table, int L) {
    std::vector<char> seen(static_cast<size_t>(L) + 1, 0);
    for (int i = 0; i < L; ++i) {
        if (table[i] < 1 || table[i] > L || seen[table[i]]) return false;
        seen[table[i]] = 1;
    }
    return true;
}

}  // namespace

TEST(MlsSequence, OrdersThirteenToEighteenAreMaximal) {
    MlsTestBuffers b;
    const MlsTables t = b.Tables();
    std::mt19937 random(7);
    for (int order = kMlsMinOrder; order <= kMlsMaxOrder; ++order) {
        SCOPED_TRACE(order);
        const int L = BuildMlsTables(order, t);
        ASSERT_EQ(L, (1 << order) - 1);
        // Balance: one more 1 than 0s.
        int ones = 0;
        for (int i = 0; i < L; ++i) ones += MlsBit(t.bits, i);
        EXPECT_EQ(ones, 1 << (order - 1));
        // tagS lists the register state at every position: all L non-zero states, each once, so the period is L.
        EXPECT_TRUE(IsPermutationOfOneToL(t.tagS, L));
        EXPECT_TRUE(IsPermutationOfOneToL(t.tagL, L));
        // Nothing past the sequence.
        EXPECT_EQ(t.tagS[L], 0);
        EXPECT_EQ(t.bits[(L >> 5) + 1], 0u);
        // Two-valued autocorrelation: L at lag 0, -1 at every other lag (sampled here; every lag at order 13).
        EXPECT_EQ(Autocorrelation(t, L, 0), L);
        for (int k = 0; k < 12; ++k) EXPECT_EQ(Autocorrelation(t, L, 1 + static_cast<int>(random() % (L - 1))), -1);
    }
    BuildMlsTables(13, t);
    for (int lag = 1; lag < 8191; ++lag) ASSERT_EQ(Autocorrelation(t, 8191, lag), -1) << lag;
}

TEST(MlsSequence, TablesFollowTheirDefinitionsAndTitles) {
    MlsTestBuffers b;
    const MlsTables t = b.Tables();
    const int n = 13, L = BuildMlsTables(n, t);
    auto s = [&](long i) { return MlsBit(t.bits, static_cast<int>(((i % L) + L) % L)); };
    // tagS, literally: bit n-1-j of tagS[i] is s[i - j].
    for (int i = 0; i < L; ++i) {
        uint32_t v = 0;
        for (int j = 0; j < n; ++j)
            if (s(i + L - j)) v |= 1u << (n - 1 - j);
        ASSERT_EQ(static_cast<uint32_t>(t.tagS[i]), v) << i;
    }
    // tagL, literally: scan the windows for single ones, the first window of each offset fills its column.
    std::vector<uint32_t> tagL(L, 0);
    uint32_t done = 0;
    for (int k = 0; done != (1u << n) - 1; ++k) {
        int count = 0, where = -1;
        for (int j = 0; j < n; ++j)
            if (s(k + L - j)) ++count, where = j;
        if (count != 1 || (done & (1u << where))) continue;
        for (int i = 0; i < L; ++i)
            if (s(k + L - i)) tagL[i] |= 1u << (n - 1 - where);
        done |= 1u << where;
    }
    for (int i = 0; i < L; ++i) ASSERT_EQ(static_cast<uint32_t>(t.tagL[i]), tagL[i]) << i;

    EXPECT_EQ(MlsTitle(13), "MLS 4,  Taps [ 8,9,11,12 ],  Length = 8191   ");
    EXPECT_EQ(MlsTitle(15), "MLS 2,  Taps [ 13,14,-1,-1 ],  Length = 32767   ");
    EXPECT_EQ(MlsTitle(18), "MLS 2,  Taps [ 10,17,-1,-1 ],  Length = 262143   ");
}

TEST(MlsSequence, HadamardTransformMatchesTheSylvesterMatrix) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    for (int n = 1; n <= 512; n *= 2) {
        std::vector<float> x(n);
        for (float& v : x) v = value(random);
        std::vector<double> expected(n, 0.0);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) expected[i] += (__builtin_popcount(i & j) % 2 ? -1.0 : 1.0) * x[j];
        EXPECT_EQ(FastHadamardTransform(x.data(), n), 1);
        for (int i = 0; i < n; ++i) ASSERT_NEAR(x[i], expected[i], 1e-3 * std::sqrt(n) * 1000.0) << n << " " << i;
    }
}

TEST(MlsSequence, OnePeriodOfThePlainStimulusDeconvolvesToAnImpulse) {
    MlsTestBuffers b;
    MlsStimulusSettings s;
    s.order = 13;
    s.capture24 = 1;
    s.level = 10;
    s.output_delay = 200;
    const int L = GenerateMlsStimulus(s, b.Stimulus());
    const auto* e = reinterpret_cast<const int32_t*>(b.stimulus.data());
    EXPECT_EQ(e[199], 0);
    const double M = 21346816.0 * 10;
    for (int d : {0, 37}) {
        std::vector<float> x(L), y(L);
        for (int i = 0; i < L; ++i) x[(i + d) % L] = static_cast<float>(e[200 + 2 * i + 1]);
        DeconvolveMls(x.data(), y.data(), 13, b.Tables(), b.hadamard.data());
        for (int i = 0; i < L; ++i) ASSERT_NEAR(y[i], i == d ? M : -M / L, M * 1e-6) << d << " " << i;
    }
}

TEST(MlsSequence, PlainStimulusLayoutAndOutputDelay) {
    MlsTestBuffers b;
    MlsStimulusSettings s;
    s.order = 13;
    s.level = 25;
    const int L = GenerateMlsStimulus(s, b.Stimulus());
    const auto* e = reinterpret_cast<const int16_t*>(b.stimulus.data());
    for (int i = 0; i < L; ++i) {
        const int16_t want = i < L - 1500 ? static_cast<int16_t>(MlsBit(b.bits.data(), i) ? -8000 : 8000) : 0;
        ASSERT_EQ(e[200 + 2 * i], want) << i;
        ASSERT_EQ(e[201 + 2 * i], want) << i;
    }
    // An odd delay puts the left-channel data into right-channel slots.
    s.output_delay = 201;
    GenerateMlsStimulus(s, b.Stimulus());
    EXPECT_EQ(e[200], 0);
    EXPECT_EQ(std::abs(e[201]), 8000);
    // A delay beyond the buffer is held where the whole stereo sequence still fits.
    s.capture24 = 1;
    s.output_delay = 2000000000;
    GenerateMlsStimulus(s, b.Stimulus());
    const int32_t limit = 1072000 - 2 * L;
    EXPECT_EQ(ClampMlsOutputDelay(s.output_delay, 13, 1), limit);
    const auto* e32 = reinterpret_cast<const int32_t*>(b.stimulus.data());
    EXPECT_EQ(e32[limit - 1], 0);
    EXPECT_EQ(std::abs(e32[limit + 2 * L - 1]), 21346816 * 25);
    EXPECT_EQ(ClampMlsOutputDelay(-5, 13, 0), 0);
    // The mono copy of GenerateMls.
    GenerateMls(13, 10, 200, b.Stimulus());
    for (int i = 0; i < 40; ++i) EXPECT_EQ(e[200 + i], MlsBit(b.bits.data(), i) ? -3200 : 3200);
}

// The pre-emphasised sequence is the sequence in stimulus polarity circularly convolved with the high-pass's
// response; checked here against the response made by a direct DFT and a brute-force circular convolution.
TEST(MlsSequence, PreEmphasisIsACircularConvolutionWithTheHighPass) {
    MlsTestBuffers b;
    MlsStimulusSettings s;
    s.order = 13;
    s.level = 40;
    s.capture24 = 1;
    s.pre_emphasis_ms = 0.5;
    s.pre_emphasis_both = 0;
    s.sample_rate = 48000.0;
    const int L = GenerateMlsStimulus(s, b.Stimulus());
    const int N = L + 1;
    // h[m]: real part of the inverse transform of 40 x jwT/(1 + jwT) over the positive half of the bins.
    std::vector<std::complex<double>> twiddle(N);
    for (int k = 0; k < N; ++k) twiddle[k] = std::polar(1.0, 2.0 * std::numbers::pi * k / N);
    std::vector<std::complex<double>> H(N / 2);
    for (int k = 0; k < N / 2; ++k) {
        const double x = 0.0005 * k * 2.0 * std::numbers::pi * 48000.0 / N;
        H[k] = 40.0 * std::complex<double>(x * x, x) / (x * x + 1.0);
    }
    std::vector<double> h(N);
    for (int m = 0; m < N; ++m) {
        std::complex<double> sum = 0.0;
        for (int k = 0; k < N / 2; ++k) sum += H[k] * twiddle[(static_cast<long>(m) * k) % N];
        h[m] = sum.real() / N;
    }
    std::vector<double> expected(L, 0.0), a(L);
    for (int i = 0; i < L; ++i) a[i] = MlsBit(b.bits.data(), i) ? -1.0 : 1.0;
    double largest = 0.0, power = 0.0;
    for (int k = 0; k < L; ++k) {
        for (int m = 0; m < L; ++m) expected[k] += h[m] * a[(k - m + L) % L];
        largest = std::max(largest, std::fabs(expected[k]));
        power += expected[k] * expected[k] / L;
    }
    // The emphasised samples carry the plain stimulus's RMS at the output level, 21,346,816 x 40.
    const double scale = 21346816.0 * 40.0 / std::sqrt(power);
    const auto* e = reinterpret_cast<const int32_t*>(b.stimulus.data());
    for (int k = 0; k < L; ++k) {
        ASSERT_NEAR(b.ref[k], expected[k], 1e-4 * largest) << k;
        // Right: the emphasised sample; left: the plain sequence at the output level.
        ASSERT_NEAR(e[200 + 2 * k + 1], scale * expected[k], 2e-4 * scale * largest) << k;
        ASSERT_EQ(e[200 + 2 * k], 21346816 * 40 * static_cast<int32_t>(a[k])) << k;
    }
    // Emphasised samples hold at the ends of the sample range instead of wrapping round.
    EXPECT_EQ(MlsEmphasisedSample(1e6, 0), 32767);
    EXPECT_EQ(MlsEmphasisedSample(-1e6, 0), -32768);
    EXPECT_EQ(MlsEmphasisedSample(1e6, 1), INT32_MAX);
    EXPECT_EQ(MlsEmphasisedSample(-2.5, 0), -800);
}

// The output level sets the emphasised stimulus's level as it sets the plain one's: the same RMS (320 x level for
// 16-bit samples, 21,346,816 x level for 24-bit ones) on both channels, and silence at level 0, as long as the
// peak stays below full scale (32,767; 8,388,607 in the upper three bytes). Beyond that the level is held: the
// peak just below full scale, the RMS that of the lower level reported, and no sample is ever clipped.
TEST(MlsSequence, PreEmphasisedStimulusFollowsTheOutputLevel) {
    MlsTestBuffers b;
    MlsStimulusSettings s;
    s.order = 15;
    s.sample_rate = 48000.0;
    for (double ms : {0.05, 0.5, 10.0}) {
        for (uint32_t capture24 : {0u, 1u}) {
            int held_from = 0;
            for (uint32_t level = 0; level <= 100; level += 5) {
                SCOPED_TRACE(::testing::Message() << ms << " ms, 24-bit " << capture24 << ", level " << level);
                s.pre_emphasis_ms = ms;
                s.capture24 = capture24;
                s.level = level;
                MlsEmphasisLevel built;
                const int L = GenerateMlsStimulus(s, b.Stimulus(), &built);
                double sum[2] = {0.0, 0.0}, peak = 0.0;
                for (std::size_t at = 200; at < 200 + 2 * static_cast<std::size_t>(L); ++at) {
                    const double v = capture24 ? reinterpret_cast<const int32_t*>(b.stimulus.data())[at]
                                               : reinterpret_cast<const int16_t*>(b.stimulus.data())[at];
                    sum[at % 2] += v * v;
                    peak = std::max(peak, std::fabs(v));
                }
                const double step = capture24 ? 21346816.0 : 320.0;
                const double full_scale = capture24 ? 8388607.0 * 256.0 : 32767.0;
                ASSERT_EQ(sum[0], sum[1]);
                ASSERT_LT(peak, full_scale);
                const double rms = std::sqrt(sum[0] / L);
                if (level == 0) {
                    EXPECT_EQ(peak, 0.0);
                    EXPECT_FALSE(built.held);
                } else if (!built.held) {
                    EXPECT_EQ(held_from, 0);  // held once, held at every higher level
                    EXPECT_NEAR(20.0 * std::log10(rms / (step * level)), 0.0, 0.05);
                } else {
                    if (held_from == 0) held_from = static_cast<int>(level);
                    EXPECT_GT(peak, 0.97 * full_scale);
                    EXPECT_LT(built.level, static_cast<int>(level));
                    EXPECT_GE(rms, step * built.level);
                    EXPECT_LT(rms, step * (built.level + 1));
                }
            }
            EXPECT_GT(held_from, 40);  // the short time constants peak highest
        }
    }
    // With "Both Channels" off the plain left channel keeps the output level; only the right one is held.
    s.pre_emphasis_both = 0;
    s.level = 100;
    const int L = GenerateMlsStimulus(s, b.Stimulus());
    const auto* e = reinterpret_cast<const int32_t*>(b.stimulus.data());
    for (int k = 0; k < L; ++k) ASSERT_EQ(e[200 + 2 * k], (MlsBit(b.bits.data(), k) ? -1 : 1) * 2134681600) << k;
}

// A time constant so long that its high-pass is flat above 0 Hz gives the same stimulus however long it is typed:
// where x * x overflows a float the response is 1, not inf / inf, which would fill the stimulus with NaN and play
// it as a full-scale constant.
TEST(MlsSequence, PreEmphasisWithAVeryLongTimeConstantIsTheFlatHighPass) {
    MlsStimulusSettings s;
    s.order = 13;
    s.level = 60;
    s.capture24 = 1;
    s.pre_emphasis_both = 0;
    s.sample_rate = 48000.0;
    s.pre_emphasis_ms = 1e9;  // x * x stays within float range in every bin
    MlsTestBuffers flat;
    const int L = GenerateMlsStimulus(s, flat.Stimulus());
    double largest = 0.0;
    for (int k = 0; k < L; ++k) largest = std::max(largest, std::fabs(static_cast<double>(flat.ref[k])));
    ASSERT_GT(largest, 0.0);
    const auto* want = reinterpret_cast<const int32_t*>(flat.stimulus.data());
    for (double ms : {1e18, 1e30, 3e38, 1e39}) {
        MlsTestBuffers b;
        s.pre_emphasis_ms = ms;
        ASSERT_EQ(GenerateMlsStimulus(s, b.Stimulus()), L);
        const auto* e = reinterpret_cast<const int32_t*>(b.stimulus.data());
        for (int k = 0; k < L; ++k) {
            ASSERT_NEAR(b.ref[k], flat.ref[k], 1e-5 * largest) << ms << " " << k;
            ASSERT_NEAR(e[200 + 2 * k + 1], want[200 + 2 * k + 1], 2.0 + 1e-5 * std::abs(want[200 + 2 * k + 1]))
                << ms << " " << k;
        }
    }
}
