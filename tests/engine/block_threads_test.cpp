// The stages run as the worker threads run them: input FFT A and B at the same time, then convolution low
// and high at the same time, on shared FFT tables. The blocks equal those of the single-threaded path.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "engine/block_path.h"
#include "engine_test_buffers.h"

namespace {

TEST(BlockThreads, ConcurrentStagesMatchTheSingleThreadedBlock) {
    const int N = 512;
    TestEngineBuffers a(N), b(N);
    a.ctx.OutputMode = b.ctx.OutputMode = 1;
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int o = 1; o <= kEngineOutputs; ++o) {
        std::vector<double> taps(8 * N);
        for (double& t : taps) t = u(rng) * 0.02;
        a.SetFilter(0, o, taps);
        b.SetFilter(0, o, taps);
        a.routing[(o + 3) % 9][o - 1] = b.routing[(o + 3) % 9][o - 1] = 1;
    }
    LiveBlockValues live;
    const OutputRange low = ConvolutionRange(1, ConvolutionWorker::kLow);
    const OutputRange high = ConvolutionRange(1, ConvolutionWorker::kHigh);
    for (int block = 0; block < 10; ++block) {
        for (int port = 1; port <= 9; ++port) {
            std::vector<double> x(N);
            for (double& v : x) v = u(rng) * 20000.0;
            a.SetInput(port, x.data());
            b.SetInput(port, x.data());
        }
        ProcessEngineBlock(a.ctx, live);
        {
            std::thread fft_a([&] { RunInputFftStage(b.ctx, kInputFftPortsA, 5); });
            std::thread fft_b([&] { RunInputFftStage(b.ctx, kInputFftPortsB, 4); });
            fft_a.join();
            fft_b.join();
        }
        {
            std::thread conv_low([&] { RunConvolutionStage(b.ctx, low, live); });
            std::thread conv_high([&] { RunConvolutionStage(b.ctx, high, live); });
            conv_low.join();
            conv_high.join();
        }
        ASSERT_EQ(a.output_block, b.output_block) << "block " << block;
    }
    bool any = false;
    for (int32_t w : a.output_block) any = any || w != 0;
    EXPECT_TRUE(any);
}

}  // namespace
