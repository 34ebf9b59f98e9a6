#include "app/win32/message_box.h"

namespace {
MessageHook g_hook;

UINT StyleOf(const HvMessage& m) {
    UINT style = 0;
    switch (m.icon) {
        case MessageIcon::Warning: style |= MB_ICONWARNING; break;
        case MessageIcon::Question: style |= MB_ICONQUESTION; break;
        case MessageIcon::Information: style |= MB_ICONINFORMATION; break;
        case MessageIcon::Error: style |= MB_ICONERROR; break;
        case MessageIcon::None: break;
    }
    switch (m.buttons) {
        case MessageButtons::Ok: style |= MB_OK; break;
        case MessageButtons::YesNo: style |= MB_YESNO; break;
        case MessageButtons::OkCancel: style |= MB_OKCANCEL; break;
    }
    return style;
}

bool TakesInput(HWND window) { return window && IsWindow(window) && IsWindowVisible(window) && IsWindowEnabled(window); }

bool OwnedBy(HWND window, HWND owner) {
    for (HWND w = GetWindow(window, GW_OWNER); w; w = GetWindow(w, GW_OWNER))
        if (w == owner) return true;
    return false;
}
}  // namespace

HWND ModalOwner(HWND owner) {
    if (!owner || !IsWindow(owner)) return owner;
    HWND top = GetAncestor(owner, GA_ROOT);
    if (!top || IsWindowEnabled(top)) return owner;
    HWND active = GetActiveWindow();
    if (TakesInput(active) && OwnedBy(active, top)) return active;
    HWND popup = GetLastActivePopup(top);
    if (popup != top && TakesInput(popup) && OwnedBy(popup, top)) return popup;
    return owner;
}

void SetMessageHook(MessageHook hook) { g_hook = std::move(hook); }

int ShowHvMessage(HWND owner, const HvMessage& message) {
    owner = ModalOwner(owner);
    if (g_hook) return g_hook(owner, message);
    return MessageBoxA(owner, message.text.c_str(), message.caption.c_str(), StyleOf(message));
}

void ShowHvMessages(HWND owner, const MessageList& messages) {
    for (const auto& m : messages) ShowHvMessage(owner, m);
}
