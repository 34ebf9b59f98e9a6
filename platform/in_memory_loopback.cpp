#include "platform/in_memory_loopback.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {

// A sample of a format as a fraction of its full scale, and back (rounded, held within the scale). Containers
// of 32 bits carry their valid bits at the top, as the capture devices deliver them.
double Decode(const uint8_t* p, const StreamFormat& f) {
    switch (f.bits_per_sample) {
        case 16: {
            int16_t v;
            std::memcpy(&v, p, 2);
            return v / 32768.0;
        }
        case 24: {
            const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                                   static_cast<uint32_t>(p[2]) << 24);
            return v / 2147483648.0;
        }
        case 32: {
            int32_t v;
            std::memcpy(&v, p, 4);
            return v / 2147483648.0;
        }
        default: return 0.0;
    }
}

int64_t Quantise(double v, int bits) {
    const double full = std::ldexp(1.0, bits - 1);
    const double q = std::nearbyint(v * full);
    return static_cast<int64_t>(std::clamp(q, -full, full - 1.0));
}

void Encode(double v, uint8_t* p, const StreamFormat& f) {
    switch (f.bits_per_sample) {
        case 16: {
            const auto s = static_cast<int16_t>(Quantise(v, 16));
            std::memcpy(p, &s, 2);
            break;
        }
        case 24: {
            const auto s = static_cast<uint32_t>(static_cast<int32_t>(Quantise(v, 24)));
            p[0] = static_cast<uint8_t>(s), p[1] = static_cast<uint8_t>(s >> 8), p[2] = static_cast<uint8_t>(s >> 16);
            break;
        }
        case 32: {
            const int valid = f.valid_bits_per_sample ? f.valid_bits_per_sample : 32;
            const auto s = static_cast<int32_t>(static_cast<uint32_t>(Quantise(v, valid)) << (32 - valid));
            std::memcpy(p, &s, 4);
            break;
        }
        default: break;
    }
}

}  // namespace

InMemoryLoopback::InMemoryLoopback(InMemoryEndpoint& render, InMemoryEndpoint& capture)
    : render_(render), capture_(capture), history_(1, 0.0) {}

InMemoryLoopback::~InMemoryLoopback() { SetAutoTick(0); }

void InMemoryLoopback::SetMeasuredPath(int delay_samples, std::vector<double> fir) {
    std::lock_guard<std::mutex> lock(mutex_);
    delay_ = std::max(0, delay_samples);
    fir_ = fir.empty() ? std::vector<double>{0.0} : std::move(fir);
    history_.assign(static_cast<std::size_t>(delay_) + fir_.size(), 0.0);
    history_at_ = 0;
}

// y[n] = sum over k of h[k] x[n - D - k], from the ring of the last D + taps inputs.
double InMemoryLoopback::NextMeasured(double input) {
    const std::size_t n = history_.size();
    history_[history_at_] = input;
    double y = 0.0;
    for (std::size_t k = 0; k < fir_.size(); ++k) {
        const std::size_t back = static_cast<std::size_t>(delay_) + k;  // < n
        y += fir_[k] * history_[(history_at_ + n - back) % n];
    }
    history_at_ = (history_at_ + 1) % n;
    return y;
}

void InMemoryLoopback::ProcessPeriod(const std::vector<uint8_t>& played, const StreamFormat& render_format,
                                     uint32_t frames, std::vector<uint8_t>* captured, const StreamFormat& capture_format) {
    const uint32_t in_align = render_format.BlockAlign();
    const uint32_t in_width = render_format.bits_per_sample / 8;
    const uint32_t out_align = capture_format.BlockAlign();
    const uint32_t out_width = capture_format.bits_per_sample / 8;
    captured->assign(static_cast<std::size_t>(frames) * out_align, 0);
    for (uint32_t f = 0; f < frames; ++f) {
        double reference = 0.0, measured_in = 0.0;
        if (in_align > 0 && (f + 1) * static_cast<std::size_t>(in_align) <= played.size()) {
            const uint8_t* frame = played.data() + static_cast<std::size_t>(f) * in_align;
            reference = Decode(frame, render_format);
            measured_in = render_format.channels > 1 ? Decode(frame + in_width, render_format) : reference;
        }
        const double measured = NextMeasured(measured_in);
        if (out_align == 0) continue;
        uint8_t* out = captured->data() + static_cast<std::size_t>(f) * out_align;
        Encode(reference, out, capture_format);
        if (capture_format.channels > 1) Encode(measured, out + out_width, capture_format);
    }
}

bool InMemoryLoopback::Tick() {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool rendering = render_.Started();
    const bool capturing = capture_.Started();
    if (!rendering && !capturing) return false;
    const StreamFormat render_format = render_.InitializedFormat();
    const StreamFormat capture_format = capture_.InitializedFormat();
    const uint32_t frames = rendering ? render_.BufferFrames() : capture_.BufferFrames();

    // What the device plays this period: the oldest released frames, silence where there are none.
    std::vector<uint8_t> played;
    if (rendering) {
        const std::vector<uint8_t> released = render_.TakeRenderedBytes();
        pending_.insert(pending_.end(), released.begin(), released.end());
        const std::size_t period = static_cast<std::size_t>(frames) * render_format.BlockAlign();
        const std::size_t take = std::min(period, pending_.size());
        played.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(take));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(take));
        render_.Tick();
    }
    std::vector<uint8_t> captured;
    ProcessPeriod(played, render_format, frames, &captured, capture_format);
    // One step: a capture stream that stops meanwhile leaves nothing behind for the next one.
    if (capturing) capture_.TickWithCaptureBytes(captured.data(), captured.size());
    ++ticks_;
    return true;
}

void InMemoryLoopback::SetAutoTick(uint32_t interval_us) {
    if (clock_.joinable()) {
        clock_stop_ = true;
        clock_.join();
    }
    if (interval_us == 0) return;
    clock_stop_ = false;
    clock_ = std::thread([this, interval_us] {
        const auto interval = std::chrono::microseconds(interval_us);
        auto next = std::chrono::steady_clock::now() + interval;
        while (!clock_stop_.load()) {
            std::this_thread::sleep_until(next);
            next += interval;
            Tick();
        }
    });
}
