// The portable thread platform: std::thread with a completion flag so that a join can give up after a
// time-out, and auto-reset events made of a mutex, a condition variable and one flag.
#include "platform/threads.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

const char* ThreadPriorityName(ThreadPriority priority) {
    switch (priority) {
    case ThreadPriority::Idle: return "Idle";
    case ThreadPriority::Lowest: return "Lowest";
    case ThreadPriority::BelowNormal: return "BelowNormal";
    case ThreadPriority::Normal: return "Normal";
    case ThreadPriority::AboveNormal: return "AboveNormal";
    case ThreadPriority::Highest: return "Highest";
    case ThreadPriority::TimeCritical: return "TimeCritical";
    }
    return "?";
}

namespace {

class StdEvent final : public AutoResetEvent {
public:
    explicit StdEvent(std::atomic<int>* live) : live_(live) { live_->fetch_add(1); }
    ~StdEvent() override { live_->fetch_sub(1); }

    void Set() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            signalled_ = true;
        }
        changed_.notify_one();
    }

    WaitResult Wait(uint32_t timeout_ms) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (timeout_ms == kWaitForever) {
            changed_.wait(lock, [this] { return signalled_; });
        } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return signalled_; })) {
            return WaitResult::TimedOut;
        }
        signalled_ = false;  // auto-reset: this waiter took the signal
        return WaitResult::Signalled;
    }

private:
    std::atomic<int>* live_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

// What the running thread and its owner share: the body's end is announced here, so Join can wait with a
// time-out (std::thread::join cannot).
struct ThreadEnd {
    std::mutex mutex;
    std::condition_variable ended_changed;
    bool ended = false;
};

class StdThread final : public PlatformThread {
public:
    StdThread(std::thread thread, std::shared_ptr<ThreadEnd> end, ThreadPriority priority)
        : thread_(std::move(thread)), end_(std::move(end)), priority_(priority) {}
    ~StdThread() override { Join(kWaitForever); }

    bool Join(uint32_t timeout_ms) override {
        if (!thread_.joinable()) return true;
        {
            std::unique_lock<std::mutex> lock(end_->mutex);
            if (timeout_ms == kWaitForever) {
                end_->ended_changed.wait(lock, [this] { return end_->ended; });
            } else if (!end_->ended_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                                     [this] { return end_->ended; })) {
                return false;
            }
        }
        thread_.join();  // the body has returned: this only collects the thread
        return true;
    }

    ThreadPriority Priority() const override { return priority_; }

private:
    std::thread thread_;
    std::shared_ptr<ThreadEnd> end_;
    ThreadPriority priority_;
};

class StdThreadPlatform final : public ThreadPlatform {
public:
    std::unique_ptr<PlatformThread> StartThread(std::function<void()> body, ThreadPriority priority) override {
        auto end = std::make_shared<ThreadEnd>();
        running_.fetch_add(1);
        try {
            std::thread thread([body = std::move(body), end, this] {
                body();
                running_.fetch_sub(1);
                {
                    std::lock_guard<std::mutex> lock(end->mutex);
                    end->ended = true;
                }
                end->ended_changed.notify_all();
            });
            // Priorities are not portable; the request is kept so callers and tests can see it.
            return std::make_unique<StdThread>(std::move(thread), std::move(end), priority);
        } catch (const std::system_error&) {
            running_.fetch_sub(1);
            return nullptr;
        }
    }

    std::unique_ptr<AutoResetEvent> MakeEvent() override { return std::make_unique<StdEvent>(&live_events_); }
    void RaiseProcessPriority() override {}
    int RunningThreads() const override { return running_.load(); }
    int LiveEvents() const override { return live_events_.load(); }

private:
    std::atomic<int> running_{0};
    std::atomic<int> live_events_{0};
};

std::atomic<ThreadPlatform*> g_thread_platform{nullptr};

class SteadyCounter final : public PerformanceCounter {
public:
    int64_t Frequency() const override { return 1'000'000'000; }
    int64_t Now() const override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

std::atomic<PerformanceCounter*> g_counter{nullptr};

}  // namespace

bool JoinWhilePumping(PlatformThread& thread, uint32_t timeout_ms, const std::function<void()>& pump,
                      uint32_t slice_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (pump) pump();
        uint32_t slice = slice_ms;
        if (timeout_ms != kWaitForever) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                    std::chrono::steady_clock::now());
            if (left.count() <= 0) return thread.Join(0);
            slice = static_cast<uint32_t>(std::min<long long>(left.count(), slice_ms));
        }
        if (thread.Join(slice)) return true;
    }
}

ThreadPlatform& PortableThreadPlatform() {
    static StdThreadPlatform platform;
    return platform;
}

ThreadPlatform& CurrentThreadPlatform() {
    ThreadPlatform* installed = g_thread_platform.load();
    return installed ? *installed : PortableThreadPlatform();
}

void SetThreadPlatform(ThreadPlatform* platform) { g_thread_platform.store(platform); }

PerformanceCounter& PortablePerformanceCounter() {
    static SteadyCounter counter;
    return counter;
}

PerformanceCounter& CurrentPerformanceCounter() {
    PerformanceCounter* installed = g_counter.load();
    return installed ? *installed : PortablePerformanceCounter();
}

void SetPerformanceCounter(PerformanceCounter* counter) { g_counter.store(counter); }

FakePerformanceCounter::FakePerformanceCounter(int64_t frequency, int64_t start) : frequency_(frequency), now_(start) {}
int64_t FakePerformanceCounter::Frequency() const { return frequency_.load(); }
int64_t FakePerformanceCounter::Now() const { return now_.load(); }
void FakePerformanceCounter::SetFrequency(int64_t frequency) { frequency_.store(frequency); }
void FakePerformanceCounter::Set(int64_t ticks) { now_.store(ticks); }
void FakePerformanceCounter::Advance(int64_t ticks) { now_.fetch_add(ticks); }

float MillisecondsPerTick(const PerformanceCounter& counter) {
    const int64_t frequency = counter.Frequency();
    return frequency > 0 ? static_cast<float>(1000.0 / static_cast<double>(frequency)) : 0.0f;
}
