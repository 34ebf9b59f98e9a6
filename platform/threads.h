#pragma once
// Threads, auto-reset events and the process priority, behind one seam. The engine and the measurement
// threads are started through CurrentThreadPlatform(): natively that is the portable implementation below
// (std::thread and condition variables); the Windows program installs the Win32 one
// (platform/win32/win32_threads.h) at start-up, which uses CreateThread, SetThreadPriority and CreateEvent.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

// Thread priorities in the order Win32 knows them.
enum class ThreadPriority { Idle, Lowest, BelowNormal, Normal, AboveNormal, Highest, TimeCritical };

const char* ThreadPriorityName(ThreadPriority priority);

// A time-out that never runs out (the value of Win32's INFINITE).
inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

enum class WaitResult { Signalled, TimedOut, Failed };

// An auto-reset event: Set() lets exactly one Wait() through (the one waiting now or the next one to come)
// and then clears itself. Setting an event that is already set changes nothing.
class AutoResetEvent {
public:
    virtual ~AutoResetEvent() = default;
    virtual void Set() = 0;
    // Waits up to timeout_ms milliseconds (kWaitForever for no limit; 0 only tests the state).
    virtual WaitResult Wait(uint32_t timeout_ms) = 0;
};

// A started thread. Join before freeing anything the thread uses. Destroying a thread that has not been
// joined waits for it without a time-out, so a thread never outlives its owner.
class PlatformThread {
public:
    virtual ~PlatformThread() = default;
    // Waits up to timeout_ms for the thread to end. True when it has ended (also on every later call).
    virtual bool Join(uint32_t timeout_ms) = 0;
    // The priority asked for at the start.
    virtual ThreadPriority Priority() const = 0;
};

// Joins in short slices and runs `pump` between them, for up to timeout_ms in all (kWaitForever: no
// limit). The user-interface thread passes its message pump, so a thread that is blocked on a call into
// a window of that thread can finish. True when the thread has ended.
bool JoinWhilePumping(PlatformThread& thread, uint32_t timeout_ms, const std::function<void()>& pump,
                      uint32_t slice_ms = 10);

class ThreadPlatform {
public:
    virtual ~ThreadPlatform() = default;
    // Starts `body` on a new thread at `priority`. Null when no thread could be created.
    virtual std::unique_ptr<PlatformThread> StartThread(std::function<void()> body, ThreadPriority priority) = 0;
    // A new auto-reset event, clear. Null when none could be created.
    virtual std::unique_ptr<AutoResetEvent> MakeEvent() = 0;
    // Puts the process into the real-time priority class (the portable implementation has none: no-op).
    virtual void RaiseProcessPriority() = 0;
    // Registers the calling thread with the multimedia class scheduler as `task` ("Pro Audio") and switches
    // off the desktop compositor's own scheduling boost. Returns the registration, null when it failed. The
    // portable implementation has no scheduler: it returns a token and changes nothing.
    virtual void* JoinMultimediaClass(const char* task) {
        (void)task;
        return this;
    }
    // Ends a registration that JoinMultimediaClass returned (null: nothing to end).
    virtual void LeaveMultimediaClass(void* registration) { (void)registration; }
    // Bookkeeping for leak checks: threads started whose body has not yet returned, and events alive.
    virtual int RunningThreads() const = 0;
    virtual int LiveEvents() const = 0;
};

// The std::thread implementation; always available, in both builds.
ThreadPlatform& PortableThreadPlatform();

// The implementation in use (the portable one until another is installed). SetThreadPlatform(nullptr)
// goes back to the portable one. Install before any thread is started.
ThreadPlatform& CurrentThreadPlatform();
void SetThreadPlatform(ThreadPlatform* platform);

// Shorthands through CurrentThreadPlatform().
inline std::unique_ptr<PlatformThread> StartThread(std::function<void()> body, ThreadPriority priority) {
    return CurrentThreadPlatform().StartThread(std::move(body), priority);
}
inline std::unique_ptr<AutoResetEvent> MakeAutoResetEvent() { return CurrentThreadPlatform().MakeEvent(); }
inline void RaiseProcessPriority() { CurrentThreadPlatform().RaiseProcessPriority(); }

// The performance counter: ticks since some fixed start, and ticks per second.
class PerformanceCounter {
public:
    virtual ~PerformanceCounter() = default;
    virtual int64_t Frequency() const = 0;
    virtual int64_t Now() const = 0;
};

// Natively a steady clock in nanoseconds; on Windows the Win32 counter is installed.
PerformanceCounter& PortablePerformanceCounter();
PerformanceCounter& CurrentPerformanceCounter();
void SetPerformanceCounter(PerformanceCounter* counter);  // nullptr: back to the portable one

// A counter a test drives: it stands still until Set or Advance. Safe to read from any thread.
class FakePerformanceCounter : public PerformanceCounter {
public:
    explicit FakePerformanceCounter(int64_t frequency = 10'000'000, int64_t start = 0);
    int64_t Frequency() const override;
    int64_t Now() const override;
    void SetFrequency(int64_t frequency);
    void Set(int64_t ticks);
    void Advance(int64_t ticks);

private:
    std::atomic<int64_t> frequency_;
    std::atomic<int64_t> now_;
};

// Milliseconds per tick of a counter (what the panels hand the engine threads as TicksToMs).
float MillisecondsPerTick(const PerformanceCounter& counter);
