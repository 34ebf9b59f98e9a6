#include "measure/win32/measurement_thread_view.h"

#include <cstring>

void WindowThreadView::DrawText(int x, int y, const char* text) {
    if (!output_ || !IsWindow(output_)) return;
    HDC dc = GetDC(output_);
    if (!dc) return;
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
    ReleaseDC(output_, dc);
}

void WindowThreadView::ShowErrorTitle(const char* title) { pending_title_.store(title, std::memory_order_release); }

const char* WindowThreadView::ShowPendingTitle() {
    const char* title = pending_title_.exchange(nullptr, std::memory_order_acq_rel);
    if (title && frame_) SetWindowTextA(frame_, title);
    return title;
}

void PumpSentMessages() {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}
