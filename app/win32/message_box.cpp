#include "app/win32/message_box.h"

namespace {
MessageHook g_hook;
HWND g_owner = nullptr;

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
}  // namespace

void SetMessageHook(MessageHook hook) { g_hook = std::move(hook); }

HWND CurrentMessageOwner() { return g_owner; }

int ShowHvMessage(HWND owner, const HvMessage& message) {
    g_owner = owner;
    if (g_hook) return g_hook(message);
    return MessageBoxA(owner, message.text.c_str(), message.caption.c_str(), StyleOf(message));
}

void ShowHvMessages(HWND owner, const MessageList& messages) {
    for (const auto& m : messages) ShowHvMessage(owner, m);
}
