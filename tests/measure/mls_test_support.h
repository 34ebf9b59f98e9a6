#pragma once
// One measurement played through the in-memory loop-back the way the measurement threads do it (render period,
// device tick, capture period).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "measure/mls_analysis.h"
#include "platform/in_memory_loopback.h"

// Plays the stimulus buffer as the render thread does (256 periods of 1024 frames, from its start) and records
// 330 periods as the capture thread does, through a loop-back whose measured path is (delay, fir). Returns the
// capture in the layout of the capture buffer (kMlsCaptureBytes).
inline std::vector<uint8_t> PlayThroughLoopback(const uint8_t* stimulus, uint32_t capture24, uint32_t rate, int delay,
                                                const std::vector<double>& fir) {
    InMemoryAudioSystem system;
    InMemoryEndpoint& out = system.AddEndpoint(StreamDirection::Render, L"render", "Loop Out");
    InMemoryEndpoint& mic = system.AddEndpoint(StreamDirection::Capture, L"capture", "Loop In");
    InMemoryLoopback loop(out, mic);
    loop.SetMeasuredPath(delay, fir);
    StreamFormat format;
    format.channels = 2;
    format.samples_per_second = rate;
    format.bits_per_sample = capture24 ? 32 : 16;
    format.valid_bits_per_sample = capture24 ? 24 : 16;
    auto render = system.NewRenderStream();
    auto capture = system.NewCaptureStream();
    const int64_t duration = FramesToDuration(kMlsPeriodFrames, rate);
    for (AudioStream* s : {static_cast<AudioStream*>(render.get()), static_cast<AudioStream*>(capture.get())}) {
        EXPECT_GE(s->InitializeCom(), 0);
        EXPECT_GE(s->CreateEnumerator(), 0);
        EXPECT_GE(s->OpenDevice(s == render.get() ? L"render" : L"capture"), 0);
        EXPECT_GE(s->Activate(), 0);
        EXPECT_GE(s->Initialize(duration, format), 0);
        EXPECT_GE(s->CreatePeriodEvent(), 0);
        EXPECT_GE(s->SetEventHandle(), 0);
        EXPECT_GE(s->GetService(), 0);
    }
    EXPECT_GE(render->Start(), 0);
    EXPECT_GE(capture->Start(), 0);
    const std::size_t period = kMlsPeriodFrames * MlsFrameBytes(capture24);
    std::vector<uint8_t> captured(kMlsCaptureBytes, 0);
    for (int p = 0; p < kMlsCapturePeriods; ++p) {
        if (p < kMlsRenderPeriods) {
            uint8_t* data = nullptr;
            EXPECT_GE(render->GetBuffer(kMlsPeriodFrames, &data), 0);
            std::memcpy(data, stimulus + p * period, period);
            EXPECT_GE(render->ReleaseBuffer(kMlsPeriodFrames, 0), 0);
        }
        EXPECT_TRUE(loop.Tick());
        const uint8_t* data = nullptr;
        uint32_t frames = 0, flags = 0;
        EXPECT_GE(capture->GetBuffer(&data, &frames, &flags), 0);
        EXPECT_EQ(frames, static_cast<uint32_t>(kMlsPeriodFrames));
        if (data && p * period + period <= captured.size()) std::memcpy(captured.data() + p * period, data, period);
        EXPECT_GE(capture->ReleaseBuffer(frames), 0);
    }
    render->Stop();
    capture->Stop();
    return captured;
}
