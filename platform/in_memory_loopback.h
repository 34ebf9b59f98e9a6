#pragma once
// A measurement set-up in memory: a render endpoint whose output reaches a capture endpoint, the way a sound
// card's loop-back cable and a microphone in front of a loudspeaker do. Channel 0 (the reference) is looped
// back directly; channel 1 (the measured channel) passes through a known system, a delay of D samples and an
// FIR h. The measurement threads run against it through the ordinary stream seam.
//
// One clock drives both endpoints: each Tick() plays one render period (what the render stream released
// since the last tick, silence for what it did not), passes it through the system, and hands the same
// number of frames to the capture endpoint as its next packet, so frame n of the capture holds what was
// played as frame n of the same period. What is played while no capture stream runs is lost, as in the air.
// Both streams use the format they initialised with; samples are converted through their full scale.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/in_memory_audio.h"

class InMemoryLoopback {
public:
    // The endpoints belong to `system` and outlive the loop-back.
    InMemoryLoopback(InMemoryEndpoint& render, InMemoryEndpoint& capture);
    ~InMemoryLoopback();
    InMemoryLoopback(const InMemoryLoopback&) = delete;
    InMemoryLoopback& operator=(const InMemoryLoopback&) = delete;

    // The measured path: delay in samples and FIR taps (h[0] first). Default: no delay, h = {1}.
    void SetMeasuredPath(int delay_samples, std::vector<double> fir);
    // One period of the shared clock. False when neither endpoint has a started stream.
    bool Tick();
    // Runs the clock on a thread of its own, one tick every interval_us (0 stops it).
    void SetAutoTick(uint32_t interval_us);

    uint64_t Ticks() const { return ticks_.load(); }

private:
    void ProcessPeriod(const std::vector<uint8_t>& played, const StreamFormat& render_format, uint32_t frames,
                       std::vector<uint8_t>* captured, const StreamFormat& capture_format);
    double NextMeasured(double input);

    InMemoryEndpoint& render_;
    InMemoryEndpoint& capture_;
    std::mutex mutex_;
    std::vector<double> fir_{1.0};
    int delay_ = 0;
    std::vector<double> history_;   // the measured channel's input: a ring of delay + taps samples
    std::size_t history_at_ = 0;    // where the next input goes
    std::vector<uint8_t> pending_;  // released render bytes not yet played
    std::atomic<uint64_t> ticks_{0};

    std::thread clock_;
    std::atomic<bool> clock_stop_{false};
};
