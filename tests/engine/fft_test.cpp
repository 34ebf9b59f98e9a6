#include "engine/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

using Cd = std::complex<double>;
constexpr double kTwoPi = 6.283185307179586476925286766559;

struct Tables {
    std::vector<int32_t> bit_reverse = std::vector<int32_t>(kFftTableEntries, 0);
    std::vector<float> twiddle = std::vector<float>(kFftTableEntries, 0.0f);
};

std::vector<float> RandomData(int floats, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(floats);
    for (float& x : v) x = d(rng);
    return v;
}

// Bin k of the naive DFT in double precision, with the transform's sign and scaling.
Cd NaiveBin(const std::vector<float>& x, int k, int sign) {
    const int points = static_cast<int>(x.size() / 2);
    Cd sum = 0.0;
    for (int j = 0; j < points; ++j) {
        const long long jk = static_cast<long long>(j) * k % points;
        const double angle = (sign >= 0 ? kTwoPi : -kTwoPi) * static_cast<double>(jk) / points;
        sum += Cd(x[2 * j], x[2 * j + 1]) * Cd(std::cos(angle), std::sin(angle));
    }
    return sign >= 0 ? sum / static_cast<double>(points) : sum;
}

double Rms(const std::vector<float>& x) {
    double s = 0.0;
    for (float v : x) s += double(v) * v;
    return std::sqrt(s / x.size());
}

// Compares the transform with the naive DFT on `bins` bins (all of them when bins >= points).
void CheckAgainstNaive(int points, int sign, int bins, unsigned seed) {
    Tables t;
    const auto input = RandomData(2 * points, seed);
    auto out = input;
    ComplexFft(2 * points, sign, out.data(), t.bit_reverse.data(), t.twiddle.data());
    std::mt19937 rng(seed + 1);
    double err2 = 0.0, ref2 = 0.0, max_err = 0.0;
    const int count = std::min(bins, points);
    for (int b = 0; b < count; ++b) {
        const int k = bins >= points ? b : static_cast<int>(rng() % points);
        const Cd want = NaiveBin(input, k, sign);
        const Cd got(out[2 * k], out[2 * k + 1]);
        err2 += std::norm(got - want);
        ref2 += std::norm(want);
        max_err = std::max(max_err, std::abs(got - want));
    }
    // Single-precision rounding grows with log2 of the size; rms relative error stays well under 1e-6.
    EXPECT_LT(std::sqrt(err2 / ref2), 1e-6) << "points=" << points << " sign=" << sign;
    EXPECT_LT(max_err / std::sqrt(ref2 / count), 1e-5) << "points=" << points << " sign=" << sign;
}

TEST(FftTest, AgreesWithNaiveDftForEveryPowerOfTwo) {
    for (int points = 2; points <= 4096; points *= 2) {
        CheckAgainstNaive(points, -1, points, 10 + points);
        CheckAgainstNaive(points, +1, points, 20 + points);
    }
}

TEST(FftTest, AgreesWithNaiveDftAtTheEngineAndSynthesisSizes) {
    // n = 4N and 16N floats for N = 512 .. 4096: up to 32,768 points; checked on sampled bins.
    for (int points = 8192; points <= 32768; points *= 2) {
        CheckAgainstNaive(points, -1, 96, 30 + points);
        CheckAgainstNaive(points, +1, 96, 40 + points);
    }
}

TEST(FftTest, TwoPointWorkedCase) {
    Tables t;
    float d[4] = {1.5f, -2.0f, 0.25f, 4.0f};
    ComplexFft(4, -1, d, t.bit_reverse.data(), t.twiddle.data());
    EXPECT_EQ(d[0], 1.75f);
    EXPECT_EQ(d[1], 2.0f);
    EXPECT_EQ(d[2], 1.25f);
    EXPECT_EQ(d[3], -6.0f);
    float e[4] = {1.5f, -2.0f, 0.25f, 4.0f};
    ComplexFft(4, +1, e, t.bit_reverse.data(), t.twiddle.data());
    EXPECT_EQ(e[0], 0.875f);
    EXPECT_EQ(e[1], 1.0f);
    EXPECT_EQ(e[2], 0.625f);
    EXPECT_EQ(e[3], -3.0f);
}

TEST(FftTest, ImpulseGivesFlatSpectrum) {
    Tables t;
    for (int n : {4, 8, 64, 2048, 65536}) {
        std::vector<float> d(n, 0.0f);
        d[0] = 1.0f;
        ComplexFft(n, -1, d.data(), t.bit_reverse.data(), t.twiddle.data());
        for (int k = 0; k < n / 2; ++k) {
            ASSERT_NEAR(d[2 * k], 1.0f, 1e-6) << n;
            ASSERT_NEAR(d[2 * k + 1], 0.0f, 1e-6) << n;
        }
        std::fill(d.begin(), d.end(), 0.0f);
        d[0] = 1.0f;
        ComplexFft(n, +1, d.data(), t.bit_reverse.data(), t.twiddle.data());
        for (int k = 0; k < n / 2; ++k) {
            ASSERT_NEAR(d[2 * k], 2.0f / n, 1e-6f * 2.0f / n) << n;
            ASSERT_NEAR(d[2 * k + 1], 0.0f, 1e-6f * 2.0f / n) << n;
        }
    }
}

TEST(FftTest, RoundTripAndParseval) {
    Tables t;
    for (int n = 4; n <= 65536; n *= 2) {
        const auto input = RandomData(n, 50 + n);
        auto d = input;
        ComplexFft(n, -1, d.data(), t.bit_reverse.data(), t.twiddle.data());
        // Parseval: sum |X|^2 = (n/2) sum |x|^2.
        const double energy_in = Rms(input) * Rms(input) * n;
        const double energy_out = Rms(d) * Rms(d) * n;
        EXPECT_NEAR(energy_out / (energy_in * (n / 2)), 1.0, 1e-5) << n;
        ComplexFft(n, +1, d.data(), t.bit_reverse.data(), t.twiddle.data());
        double max_err = 0.0;
        for (int i = 0; i < n; ++i) max_err = std::max(max_err, double(std::fabs(d[i] - input[i])));
        EXPECT_LT(max_err, 2e-6) << n;
    }
}

TEST(FftTest, VectorPathsMatchScalarReferenceExactly) {
    Tables t;
    EXPECT_TRUE(FftPathAvailable(FftChosenPath()));
#if defined(__x86_64__)
    EXPECT_TRUE(FftPathAvailable(FftPath::kSse2));  // part of every x86-64 processor
#endif
    for (FftPath path : {FftPath::kSse2, FftPath::kAvx2, FftPath::kAvx512}) {
        if (!FftPathAvailable(path)) continue;
        for (int n = 4; n <= 65536; n *= 2) {
            for (int sign : {-1, 1}) {
                const auto input = RandomData(n, 70 + n);
                auto fast = input;
                auto plain = input;
                ComplexFftOnPath(path, n, sign, fast.data(), t.bit_reverse.data(), t.twiddle.data());
                ComplexFftOnPath(FftPath::kScalar, n, sign, plain.data(), t.bit_reverse.data(), t.twiddle.data());
                ASSERT_EQ(std::memcmp(fast.data(), plain.data(), n * sizeof(float)), 0)
                    << "n=" << n << " sign=" << sign << " path=" << FftPathName(path);
            }
        }
    }
}

// Buffer whose element `offset` lies `offset` floats past a 64-byte boundary.
template <typename T>
T* AtLineOffset(std::vector<T>& storage, int offset) {
    const auto misalignment = reinterpret_cast<uintptr_t>(storage.data()) % 64;
    return storage.data() + (64 - misalignment) % 64 / sizeof(T) + offset;
}

TEST(FftTest, ResultsDoNotDependOnDataOrTableAddresses) {
    // Unaligned data take a scratch block on some paths, and the twiddles are laid out from the table's first
    // cache-line boundary: neither may change a single bit, on any path.
    Tables reference;
    for (int table_offset : {0, 1, 3, 4, 8, 15}) {
        std::vector<int32_t> bit_reverse(kFftTableEntries + 16, 0);
        std::vector<float> twiddle(kFftTableEntries + 16, 0.0f);
        int32_t* words = bit_reverse.data();
        float* table = AtLineOffset(twiddle, table_offset);
        for (FftPath path : {FftPath::kScalar, FftPath::kSse2, FftPath::kAvx2, FftPath::kAvx512}) {
            if (!FftPathAvailable(path)) continue;
            for (int n = 256; n <= 32768; n *= 2) {
                for (int sign : {-1, 1}) {
                    const auto input = RandomData(n, 90 + n);
                    auto want = input;
                    ComplexFftOnPath(FftPath::kScalar, n, sign, want.data(), reference.bit_reverse.data(),
                                     reference.twiddle.data());
                    for (int data_offset : {0, 2, 4, 6}) {
                        std::vector<float> storage(n + 32);
                        float* d = AtLineOffset(storage, data_offset);
                        std::memcpy(d, input.data(), n * sizeof(float));
                        ComplexFftOnPath(path, n, sign, d, words, table);
                        ASSERT_EQ(std::memcmp(d, want.data(), n * sizeof(float)), 0)
                            << "n=" << n << " sign=" << sign << " path=" << FftPathName(path)
                            << " data offset=" << data_offset << " table offset=" << table_offset;
                        const auto begin = d - storage.data();
                        for (std::size_t i = 0; i < storage.size(); ++i) {
                            if (i < static_cast<std::size_t>(begin) || i >= static_cast<std::size_t>(begin + n)) {
                                ASSERT_EQ(storage[i], 0.0f) << "written outside the data at " << i;
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(FftTest, TableGrowthFollowsTheLargestSize) {
    Tables t;
    const int big_n = 4 * 512;  // 4N at N = 512
    auto a = RandomData(big_n, 1);
    ComplexFft(big_n, -1, a.data(), t.bit_reverse.data(), t.twiddle.data());
    EXPECT_EQ(t.bit_reverse[0], 512);
    EXPECT_EQ(t.bit_reverse[1], 1);
    auto b = RandomData(4 * big_n, 2);  // 16N
    ComplexFft(4 * big_n, +1, b.data(), t.bit_reverse.data(), t.twiddle.data());
    EXPECT_EQ(t.bit_reverse[0], 2048);
    const std::vector<float> grown(t.twiddle.begin(), t.twiddle.end());
    auto c = RandomData(big_n, 3);
    auto c_fresh = c;
    ComplexFft(big_n, -1, c.data(), t.bit_reverse.data(), t.twiddle.data());
    EXPECT_EQ(t.bit_reverse[0], 2048);
    EXPECT_TRUE(grown == t.twiddle);  // a smaller transform only reads the tables
    // A table built for the larger size gives the same result as one built for this size.
    Tables small;
    ComplexFft(big_n, -1, c_fresh.data(), small.bit_reverse.data(), small.twiddle.data());
    EXPECT_EQ(small.bit_reverse[0], 512);
    EXPECT_EQ(std::memcmp(c.data(), c_fresh.data(), big_n * sizeof(float)), 0);
}

TEST(FftTest, PreparedTablesAreOnlyReadByTransforms) {
    Tables t;
    PrepareFftTables(65536, t.bit_reverse.data(), t.twiddle.data());
    EXPECT_EQ(t.bit_reverse[0], 16384);
    const auto twiddle_before = t.twiddle;
    const auto words_before = t.bit_reverse;
    for (int n = 4; n <= 65536; n *= 2) {
        auto d = RandomData(n, 5);
        ComplexFft(n, n % 8 ? 1 : -1, d.data(), t.bit_reverse.data(), t.twiddle.data());
    }
    EXPECT_TRUE(twiddle_before == t.twiddle);
    EXPECT_TRUE(words_before == t.bit_reverse);
}

TEST(FftTest, TwoThreadsGiveBitIdenticalResults) {
    // Two engine workers transform 4N floats at the same time, forward and inverse, on shared tables.
    Tables t;
    const int n = 4 * 1024;
    PrepareFftTables(16 * 1024, t.bit_reverse.data(), t.twiddle.data());
    const int kBlocks = 200;
    std::vector<std::vector<float>> inputs;
    for (int i = 0; i < kBlocks; ++i) inputs.push_back(RandomData(n, 900 + i));
    std::vector<std::vector<float>> single(kBlocks);
    for (int i = 0; i < kBlocks; ++i) {
        single[i] = inputs[i];
        ComplexFft(n, i % 2 ? 1 : -1, single[i].data(), t.bit_reverse.data(), t.twiddle.data());
    }
    std::vector<std::vector<float>> out_a(kBlocks), out_b(kBlocks);
    auto worker = [&](std::vector<std::vector<float>>* out, int rounds) {
        for (int r = 0; r < rounds; ++r)
            for (int i = 0; i < kBlocks; ++i) {
                (*out)[i] = inputs[i];
                ComplexFft(n, i % 2 ? 1 : -1, (*out)[i].data(), t.bit_reverse.data(), t.twiddle.data());
            }
    };
    std::thread a(worker, &out_a, 3);
    std::thread b(worker, &out_b, 3);
    a.join();
    b.join();
    for (int i = 0; i < kBlocks; ++i) {
        ASSERT_EQ(std::memcmp(out_a[i].data(), single[i].data(), n * sizeof(float)), 0) << i;
        ASSERT_EQ(std::memcmp(out_b[i].data(), single[i].data(), n * sizeof(float)), 0) << i;
    }
}

TEST(FftTest, UnsupportedSizesAreRefused) {
    EXPECT_FALSE(FftSizeSupported(2));
    EXPECT_FALSE(FftSizeSupported(0));
    EXPECT_FALSE(FftSizeSupported(-8));
    EXPECT_FALSE(FftSizeSupported(12));
    EXPECT_FALSE(FftSizeSupported(2 * kFftMaxFloats));
    EXPECT_TRUE(FftSizeSupported(4));
    EXPECT_TRUE(FftSizeSupported(kFftMaxFloats));
#ifdef NDEBUG
    // Release builds skip the transform and leave data and tables alone.
    Tables t;
    std::vector<float> d = RandomData(24, 9);
    const auto before = d;
    ComplexFft(12, -1, d.data(), t.bit_reverse.data(), t.twiddle.data());
    ComplexFft(2, -1, d.data(), t.bit_reverse.data(), t.twiddle.data());
    EXPECT_TRUE(before == d);
    EXPECT_EQ(t.bit_reverse[0], 0);
#endif
}

TEST(FftTest, LargestSupportedSizeFitsTheTables) {
    Tables t;
    // Guard words beyond the table as allocated would show an overrun under the address sanitizer; here the
    // table vectors are exactly kFftTableEntries long.
    const int n = kFftMaxFloats;
    auto d = RandomData(n, 11);
    const auto input = d;
    ComplexFft(n, -1, d.data(), t.bit_reverse.data(), t.twiddle.data());
    EXPECT_EQ(t.bit_reverse[0], n / 4);
    std::mt19937 rng(12);
    for (int i = 0; i < 4; ++i) {
        const int k = static_cast<int>(rng() % (n / 2));
        const Cd want = NaiveBin(input, k, -1);
        EXPECT_LT(std::abs(Cd(d[2 * k], d[2 * k + 1]) - want), 1e-4 * std::sqrt(n / 2.0)) << k;
    }
}

}  // namespace
