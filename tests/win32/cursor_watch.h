#pragma once
// Watches the cursor of the user-interface thread from a thread that shares its input state: whether the
// wait cursor was up while the user-interface thread was busy.
#include <windows.h>

class CursorWatch {
public:
    CursorWatch() : ui_(GetCurrentThreadId()) {
        thread_ = CreateThread(nullptr, 0, &CursorWatch::Run, this, 0, nullptr);
        for (int ms = 0; ms < 10000 && !attached_; ++ms) Sleep(1);
    }
    ~CursorWatch() { Stop(); }
    bool SawWaitCursor() {
        Stop();
        return sawWait_;
    }

private:
    void Stop() {
        if (!thread_) return;
        stop_ = true;
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<CursorWatch*>(p);
        AttachThreadInput(GetCurrentThreadId(), self->ui_, TRUE);
        const HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
        self->attached_ = true;
        // Without a pause: a file is read in a few milliseconds.
        while (!self->stop_) {
            if (GetCursor() == wait) self->sawWait_ = true;
        }
        AttachThreadInput(GetCurrentThreadId(), self->ui_, FALSE);
        return 0;
    }
    DWORD ui_;
    HANDLE thread_ = nullptr;
    volatile bool attached_ = false, stop_ = false, sawWait_ = false;
};
