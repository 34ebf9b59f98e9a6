// Threads with CreateThread (started suspended, so the priority holds from the first instruction),
// joins with WaitForSingleObject, auto-reset events with CreateEvent, the counter with
// QueryPerformanceCounter, the multimedia class scheduler with AvSetMmThreadCharacteristics.
#include "platform/win32/win32_threads.h"

#include <avrt.h>
#include <dwmapi.h>

#include <atomic>
#include <functional>
#include <memory>

int Win32ThreadPriorityValue(ThreadPriority priority) {
    switch (priority) {
    case ThreadPriority::Idle: return THREAD_PRIORITY_IDLE;
    case ThreadPriority::Lowest: return THREAD_PRIORITY_LOWEST;
    case ThreadPriority::BelowNormal: return THREAD_PRIORITY_BELOW_NORMAL;
    case ThreadPriority::Normal: return THREAD_PRIORITY_NORMAL;
    case ThreadPriority::AboveNormal: return THREAD_PRIORITY_ABOVE_NORMAL;
    case ThreadPriority::Highest: return THREAD_PRIORITY_HIGHEST;
    case ThreadPriority::TimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
    }
    return THREAD_PRIORITY_NORMAL;
}

namespace {

class Win32Event final : public AutoResetEvent {
public:
    Win32Event(HANDLE handle, std::atomic<int>* live) : handle_(handle), live_(live) { live_->fetch_add(1); }
    ~Win32Event() override {
        CloseHandle(handle_);
        live_->fetch_sub(1);
    }
    void Set() override { SetEvent(handle_); }
    WaitResult Wait(uint32_t timeout_ms) override {
        switch (WaitForSingleObject(handle_, timeout_ms == kWaitForever ? INFINITE : timeout_ms)) {
        case WAIT_OBJECT_0: return WaitResult::Signalled;
        case WAIT_TIMEOUT: return WaitResult::TimedOut;
        default: return WaitResult::Failed;
        }
    }

private:
    HANDLE handle_;
    std::atomic<int>* live_;
};

struct ThreadStart {
    std::function<void()> body;
    std::atomic<int>* running;
};

DWORD WINAPI RunThreadBody(LPVOID parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    start->body();
    start->running->fetch_sub(1);
    return 0;
}

class Win32Thread final : public PlatformThread {
public:
    Win32Thread(HANDLE handle, ThreadPriority priority) : handle_(handle), priority_(priority) {}
    ~Win32Thread() override { Join(kWaitForever); }

    bool Join(uint32_t timeout_ms) override {
        if (!handle_) return true;
        if (WaitForSingleObject(handle_, timeout_ms == kWaitForever ? INFINITE : timeout_ms) != WAIT_OBJECT_0)
            return false;
        CloseHandle(handle_);
        handle_ = nullptr;
        return true;
    }
    ThreadPriority Priority() const override { return priority_; }

private:
    HANDLE handle_;
    ThreadPriority priority_;
};

class Win32Threads final : public ThreadPlatform {
public:
    std::unique_ptr<PlatformThread> StartThread(std::function<void()> body, ThreadPriority priority) override {
        auto* start = new ThreadStart{std::move(body), &running_};
        running_.fetch_add(1);
        DWORD id = 0;
        HANDLE handle = CreateThread(nullptr, 0, RunThreadBody, start, CREATE_SUSPENDED, &id);
        if (!handle) {
            running_.fetch_sub(1);
            delete start;
            return nullptr;
        }
        SetThreadPriority(handle, Win32ThreadPriorityValue(priority));
        ResumeThread(handle);
        return std::make_unique<Win32Thread>(handle, priority);
    }

    std::unique_ptr<AutoResetEvent> MakeEvent() override {
        HANDLE handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!handle) return nullptr;
        return std::make_unique<Win32Event>(handle, &live_events_);
    }

    void RaiseProcessPriority() override { SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS); }
    void* JoinMultimediaClass(const char* task) override {
        DWORD index = 0;
        HANDLE registration = AvSetMmThreadCharacteristicsA(task, &index);
        if (!registration) return nullptr;
        DwmEnableMMCSS(FALSE);
        return registration;
    }
    void LeaveMultimediaClass(void* registration) override {
        if (registration) AvRevertMmThreadCharacteristics(registration);
    }
    int RunningThreads() const override { return running_.load(); }
    int LiveEvents() const override { return live_events_.load(); }

private:
    std::atomic<int> running_{0};
    std::atomic<int> live_events_{0};
};

class Win32Counter final : public PerformanceCounter {
public:
    int64_t Frequency() const override {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }
    int64_t Now() const override {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }
};

}  // namespace

ThreadPlatform& Win32ThreadPlatform() {
    static Win32Threads platform;
    return platform;
}

PerformanceCounter& Win32PerformanceCounter() {
    static Win32Counter counter;
    return counter;
}

void PumpWaitingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool JoinPumpingMessages(PlatformThread& thread, uint32_t timeout_ms) {
    return JoinWhilePumping(thread, timeout_ms, PumpWaitingMessages);
}

void InstallWin32Platform() {
    SetThreadPlatform(&Win32ThreadPlatform());
    SetPerformanceCounter(&Win32PerformanceCounter());
}
