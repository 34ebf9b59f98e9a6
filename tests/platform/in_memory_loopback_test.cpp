#include "platform/in_memory_loopback.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "tests/test_util.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kFrames = 256;

StreamFormat Format(int bits, int valid) {
    StreamFormat f;
    f.channels = 2;
    f.samples_per_second = kRate;
    f.bits_per_sample = static_cast<uint16_t>(bits);
    f.valid_bits_per_sample = static_cast<uint16_t>(valid);
    return f;
}

template <class Stream>
void Open(Stream& s, const wchar_t* id, const StreamFormat& f) {
    ASSERT_GE(s.InitializeCom(), 0);
    ASSERT_GE(s.CreateEnumerator(), 0);
    ASSERT_GE(s.OpenDevice(id), 0);
    ASSERT_GE(s.Activate(), 0);
    ASSERT_GE(s.Initialize(FramesToDuration(kFrames, kRate), f), 0);
    ASSERT_GE(s.CreatePeriodEvent(), 0);
    ASSERT_GE(s.SetEventHandle(), 0);
    ASSERT_GE(s.GetService(), 0);
}

struct Rig {
    InMemoryAudioSystem system;
    InMemoryEndpoint& out = system.AddEndpoint(StreamDirection::Render, L"out", "Out");
    InMemoryEndpoint& in = system.AddEndpoint(StreamDirection::Capture, L"in", "In");
    InMemoryLoopback loop{out, in};
    std::unique_ptr<RenderStream> render = system.NewRenderStream();
    std::unique_ptr<CaptureStream> capture = system.NewCaptureStream();
};

// The measured channel as the loop-back must make it: sum over k of h[k] x[n - D - k], in double.
std::vector<double> Convolve(const std::vector<double>& x, int D, const std::vector<double>& h) {
    std::vector<double> y(x.size(), 0.0);
    for (std::size_t n = 0; n < x.size(); ++n)
        for (std::size_t k = 0; k < h.size(); ++k)
            if (n >= D + k) y[n] += h[k] * x[n - D - k];
    return y;
}

}  // namespace

// Every frame played reaches the capture in the same period: the reference as it was, the measured channel
// through the delay and the FIR (rounded to the capture's valid bits).
TEST(InMemoryAudioLoopback, RenderedFramesReachTheCaptureThroughTheKnownSystem) {
    for (int bits : {16, 32}) {
        SCOPED_TRACE(bits);
        Rig rig;
        const std::vector<double> h = {0.5, -0.3, 0.2};
        const int D = 70;
        rig.loop.SetMeasuredPath(D, h);
        const StreamFormat f = Format(bits, bits == 32 ? 24 : 16);
        Open(*rig.render, L"out", f);
        Open(*rig.capture, L"in", f);
        ASSERT_GE(rig.render->Start(), 0);
        ASSERT_GE(rig.capture->Start(), 0);
        const double full = bits == 16 ? 32768.0 : 2147483648.0;
        std::mt19937 random(1);
        std::uniform_int_distribution<int32_t> sample(-20000, 20000);
        const int periods = 6;
        std::vector<double> left, right, got_left, got_right;
        for (int p = 0; p < periods; ++p) {
            uint8_t* data = nullptr;
            ASSERT_GE(rig.render->GetBuffer(kFrames, &data), 0);
            for (uint32_t n = 0; n < 2 * kFrames; ++n) {
                const int32_t v = sample(random);
                if (bits == 16) {
                    const auto s = static_cast<int16_t>(v);
                    std::memcpy(data + 2 * n, &s, 2);
                } else {
                    const int32_t s = v * 65536;
                    std::memcpy(data + 4 * n, &s, 4);
                }
                (n % 2 ? right : left).push_back((bits == 16 ? v : v * 65536.0) / full);
            }
            ASSERT_GE(rig.render->ReleaseBuffer(kFrames, 0), 0);
            ASSERT_TRUE(rig.loop.Tick());
            const uint8_t* captured = nullptr;
            uint32_t frames = 0, flags = 0;
            ASSERT_GE(rig.capture->GetBuffer(&captured, &frames, &flags), 0);
            ASSERT_EQ(frames, kFrames);
            for (uint32_t n = 0; n < 2 * frames; ++n) {
                int32_t v;
                if (bits == 16) {
                    int16_t s;
                    std::memcpy(&s, captured + 2 * n, 2);
                    v = s;
                } else {
                    std::memcpy(&v, captured + 4 * n, 4);
                    EXPECT_EQ(v & 0xFF, 0);  // 24 valid bits at the top of the container
                }
                (n % 2 ? got_right : got_left).push_back(v / full);
            }
            ASSERT_GE(rig.capture->ReleaseBuffer(frames), 0);
        }
        const std::vector<double> measured = Convolve(right, D, h);
        const double step = bits == 16 ? 1.0 / 32768 : 1.0 / 8388608;
        for (std::size_t n = 0; n < left.size(); ++n) {
            ASSERT_NEAR(got_left[n], left[n], step / 2) << n;
            ASSERT_NEAR(got_right[n], measured[n], step / 2 + 1e-12) << n;
        }
    }
}

TEST(InMemoryAudioLoopback, SilenceWhenNothingWasReleasedAndNothingHeardBeforeTheCaptureStarts) {
    Rig rig;
    const StreamFormat f = Format(16, 16);
    Open(*rig.render, L"out", f);
    Open(*rig.capture, L"in", f);
    EXPECT_FALSE(rig.loop.Tick());  // no stream runs yet
    ASSERT_GE(rig.render->Start(), 0);
    uint8_t* data = nullptr;
    ASSERT_GE(rig.render->GetBuffer(kFrames, &data), 0);
    std::memset(data, 0x11, kFrames * 4);
    ASSERT_GE(rig.render->ReleaseBuffer(kFrames, 0), 0);
    EXPECT_TRUE(rig.loop.Tick());  // played into the air: the capture does not run
    ASSERT_GE(rig.capture->Start(), 0);
    EXPECT_TRUE(rig.loop.Tick());  // the render side under-runs: silence
    const uint8_t* captured = nullptr;
    uint32_t frames = 0, flags = 0;
    ASSERT_GE(rig.capture->GetBuffer(&captured, &frames, &flags), 0);
    ASSERT_EQ(frames, kFrames);
    for (uint32_t b = 0; b < frames * 4; ++b) ASSERT_EQ(captured[b], 0) << b;
    ASSERT_GE(rig.capture->ReleaseBuffer(frames), 0);
    EXPECT_EQ(rig.loop.Ticks(), 2u);
}

// A render thread and a capture thread, each waiting on its stream's period event as the measurement threads
// do, against the loop-back's own clock. The clock does not wait for the threads: a render thread that is late
// for a period leaves a period of silence and its frames come out one period later, so what is checked holds
// whatever the load: every frame of the ramp comes back once and in order on the reference, with nothing but
// silence between, and the measured channel is the reference three frames later throughout. The capture
// thread takes every packet waiting at each wake-up, and the device keeps every packet it has not taken yet,
// so a capture thread starved for many periods loses nothing either.
TEST(InMemoryAudioLoopback, StreamThreadsRunOnTheSharedClock) {
    Rig rig;
    rig.loop.SetMeasuredPath(3, {1.0});
    rig.in.SetReadyPacketLimit(std::numeric_limits<std::size_t>::max());
    const StreamFormat f = Format(16, 16);
    Open(*rig.render, L"out", f);
    Open(*rig.capture, L"in", f);
    constexpr int kPeriods = 12;
    constexpr int kRampFrames = kPeriods * kFrames;
    std::vector<int16_t> heard;  // every captured frame, both channels, in order
    std::atomic<int> ramp_heard{0};
    std::atomic<uint64_t> dropped{~0ull};  // packets the device dropped before the capture had everything
    // Period 0 is written before the clock starts; each wake-up writes the next, when the device has room for
    // it: a thread that wrote late finds the period it wrote still unplayed at its next wake-up, and writes
    // the next period at the one after.
    auto write_period = [&](int p) {
        uint8_t* data = nullptr;
        if (rig.render->GetBuffer(kFrames, &data) < 0) return false;
        auto* s = reinterpret_cast<int16_t*>(data);
        for (uint32_t n = 0; n < kFrames; ++n) s[2 * n] = s[2 * n + 1] = static_cast<int16_t>(p * kFrames + n + 1);
        return rig.render->ReleaseBuffer(kFrames, 0) >= 0;
    };
    ASSERT_GE(rig.render->Start(), 0);
    ASSERT_GE(rig.capture->Start(), 0);
    write_period(0);
    std::thread render_thread([&] {
        const Deadline deadline(20000);
        for (int p = 1; p < kPeriods && !deadline.Passed();) {
            if (rig.render->WaitForPeriod(10000) != WaitResult::Signalled) return;
            if (write_period(p)) ++p;
        }
    });
    std::thread capture_thread([&] {
        // Until the last frame of the ramp and its measured copy three frames later are in.
        const Deadline deadline(20000);
        while ((ramp_heard.load() < kRampFrames || heard.size() < static_cast<std::size_t>(kRampFrames + 4) * 2) &&
               !deadline.Passed()) {
            if (rig.capture->WaitForPeriod(10000) != WaitResult::Signalled) return;
            const uint8_t* data = nullptr;
            uint32_t frames = 0, flags = 0;
            while (rig.capture->GetBuffer(&data, &frames, &flags) == HR_S_OK) {
                const auto* s = reinterpret_cast<const int16_t*>(data);
                for (uint32_t n = 0; n < frames; ++n) {
                    const int16_t ref = (flags & kBufferFlagSilent) ? 0 : s[2 * n];
                    heard.push_back(ref);
                    heard.push_back((flags & kBufferFlagSilent) ? 0 : s[2 * n + 1]);
                    if (ref == ramp_heard.load() + 1) ramp_heard.fetch_add(1);
                }
                rig.capture->ReleaseBuffer(frames);
            }
        }
        dropped = rig.in.DroppedPackets();
    });
    rig.loop.SetAutoTick(20000);
    render_thread.join();
    capture_thread.join();
    rig.loop.SetAutoTick(0);
    EXPECT_EQ(dropped.load(), 0u);
    ASSERT_EQ(ramp_heard.load(), kRampFrames) << "frames of the ramp heard in order before the capture gave up";
    ASSERT_GE(heard.size(), static_cast<std::size_t>(kRampFrames + 4) * 2) << "the measured copy of the ramp's end";
    int next = 1;
    for (std::size_t n = 0; n < heard.size() / 2; ++n) {
        const int16_t ref = heard[2 * n];
        if (ref != 0) {
            ASSERT_EQ(ref, next++) << n;  // nothing but the ramp, in order, and silence
        }
        if (n >= 3) {
            ASSERT_EQ(heard[2 * n + 1], heard[2 * (n - 3)]) << n;
        } else {
            ASSERT_EQ(heard[2 * n + 1], 0) << n;
        }
    }
    EXPECT_EQ(next, kRampFrames + 1);
}
