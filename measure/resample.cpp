#include "measure/resample.h"

#include <cstring>

ResamplePosition ResamplePositionOf(long j) {
    const long scaled = kResampleDown * j;
    return ResamplePosition{scaled / kResampleUp, static_cast<double>(scaled % kResampleUp) / kResampleUp};
}

void ResampleLinear(float* x, int order, float* work) {
    const long N = 1L << order;
    for (long j = 0; j < N; ++j) {
        const ResamplePosition p = ResamplePositionOf(j);
        if (p.index >= N) {
            work[j] = 0.0f;
            continue;
        }
        const double a = x[p.index];
        const double b = x[p.index + 1];
        work[j] = static_cast<float>(a + (b - a) * p.fraction);
    }
    std::memcpy(x + kInterpolationLead, work, static_cast<std::size_t>(N) * sizeof(float));
}

void ResampleHoldAndPick(float* x) {
    // The source index never falls behind the destination, so the walk can run in place.
    for (long k = 0; k < kHoldPickSamples; ++k) x[kHoldPickStart + k] = x[kHoldPickStart + ResamplePositionOf(k).index];
    std::memset(x, 0, kHoldPickStart * sizeof(float));
    std::memset(x + kHoldPickStart + kHoldPickSamples, 0,
                static_cast<std::size_t>(kResampleChannelEntries - kHoldPickStart - kHoldPickSamples) * sizeof(float));
}
