#include "engine/output_stage.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kBassModeBbmOutput = 3;
constexpr int kRingBlocks = 4;  // the ring carries up to four blocks of delay (5N words in use)
constexpr int32_t kSampleWordScale = 1 << kSampleShift;

// Bass-management output sums over the whole block, both halves and both parts, in the order that lets a
// source that is itself Sub 1 carry Sub 1's sum into Sub 2.
void AddBassManagementSums(EngineBlockContext& ctx, OutputRange range, float bbm_gain) {
    const int s1 = ctx.BbmSourceChannels[0], s2 = ctx.BbmSourceChannels[1];
    const int u1 = ctx.SubChannels[0], u2 = ctx.SubChannels[1];
    const bool has_s1 = range.Contains(s1), has_s2 = range.Contains(s2);
    const bool has_u1 = range.Contains(u1), has_u2 = range.Contains(u2);
    if (!(has_s1 && has_u1) && !(has_s2 && has_u2)) return;
    const float factor = 2.0f * bbm_gain;
    float* a_s1 = has_s1 ? ctx.OutputAccumulator[s1 - 1] : nullptr;
    float* a_s2 = has_s2 ? ctx.OutputAccumulator[s2 - 1] : nullptr;
    float* a_u1 = has_u1 ? ctx.OutputAccumulator[u1 - 1] : nullptr;
    float* a_u2 = has_u2 ? ctx.OutputAccumulator[u2 - 1] : nullptr;
    const int floats = 4 * ctx.N;
    for (int i = 0; i < floats; ++i) {
        const float t1 = a_s1 ? factor * a_s1[i] : 0.0f;
        if (a_u1) a_u1[i] = a_u1[i] + t1;
        const float t2 = a_s2 ? factor * a_s2[i] : 0.0f;
        if (a_u2) a_u2[i] = a_u2[i] + t2;
    }
}

}  // namespace

int32_t SaturateTo24Bit(double v) {
    if (!(v == v)) return 0;
    if (v >= static_cast<double>(kSampleFullScale)) return kSampleFullScale;
    if (v <= -static_cast<double>(kSampleFullScale)) return -kSampleFullScale;
    return static_cast<int32_t>(v);  // in range: truncation toward zero
}

int32_t CabsDelayInUse(int32_t cabs_enabled, int32_t cabs_delay_samples, int N) {
    if (cabs_enabled != 1) return 0;
    if (cabs_delay_samples < 0) return 0;
    const int32_t longest = kRingBlocks * N;
    return cabs_delay_samples > longest ? longest : cabs_delay_samples;
}

void RunOutputStage(EngineBlockContext& ctx, OutputRange range, const LiveBlockValues& live) {
    const int N = ctx.N;
    if (ctx.BassMode == kBassModeBbmOutput) AddBassManagementSums(ctx, range, live.BbmGain);

    const int words = OutputFrameWords(ctx.OutputMode);
    const double master = live.MasterGain;
    for (int o = range.first; o <= range.last; ++o) {
        const float* acc = ctx.OutputAccumulator[o - 1];
        float* tail = ctx.OverlapTail[o - 1];
        int32_t* ring = ctx.OutputDelayRing[o - 1];
        const double trim = live.ChannelTrims[o - 1];
        const int32_t d = CabsDelayInUse(ctx.CabsEnabled ? ctx.CabsEnabled[o - 1] : 0,
                                         ctx.CabsDelaySamples ? ctx.CabsDelaySamples[o - 1] : 0, N);
        int32_t* column = ctx.OutputBlock + (o - 1);
        if (d == 0) {
            // Without delay a word passes through the ring within its block and the ring stays all zero,
            // so the words go straight to their column.
            for (int j = 0; j < N; ++j) {
                const double v = (static_cast<double>(acc[2 * j]) + tail[j]) * master * trim;
                tail[j] = acc[2 * (N + j)];
                column[static_cast<long>(j) * words] = SaturateTo24Bit(v) * kSampleWordScale;
            }
            continue;
        }
        for (int j = 0; j < N; ++j) {
            const double v = (static_cast<double>(acc[2 * j]) + tail[j]) * master * trim;
            tail[j] = acc[2 * (N + j)];
            ring[d + j] = SaturateTo24Bit(v) * kSampleWordScale;
        }
        for (int j = 0; j < N; ++j) column[static_cast<long>(j) * words] = ring[j];
        // Words at and above d + N are never written and stay zero from the engine start, so moving the
        // ring down by one block touches only words N .. d + N - 1.
        std::memmove(ring, ring + N, static_cast<size_t>(d) * sizeof(int32_t));
        std::memset(ring + d, 0, static_cast<size_t>(N) * sizeof(int32_t));
    }
}
