#pragma once
// What the measurement threads draw, on a window: their status lines and progress counters go straight into
// the output window through a device context of the drawing thread (a device context of another thread's
// window needs no message), and the error title waits until the user-interface thread, which is blocked in
// the run's wait, can put it into the frame's title. The MLS page passes the "MLS Impulse Response" window,
// the room equalizer its impulse-response area.
#include <windows.h>

#include <atomic>

#include "measure/measurement_threads.h"

class WindowThreadView : public MeasurementThreadView {
public:
    WindowThreadView(HWND output, HWND frame) : output_(output), frame_(frame) {}
    void DrawText(int x, int y, const char* text) override;
    void ShowErrorTitle(const char* title) override;
    // On the user-interface thread after the run's wait: the frame takes the last error title, if any.
    // Returns the title shown, or null.
    const char* ShowPendingTitle();

private:
    HWND output_;
    HWND frame_;
    std::atomic<const char*> pending_title_{nullptr};
};

// The pump of the run's wait: only messages sent from other threads are delivered, so nothing the user
// does reaches the program before the capture has been read.
void PumpSentMessages();
