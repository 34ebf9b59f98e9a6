#pragma once
#include <windows.h>

#include <functional>

#include "app/messages.h"

// The one place that shows a message box. Returns IDOK, IDYES, IDNO, ...
// While a modal dialog keeps `owner` disabled, the box is owned by the dialog instead (ModalOwner).
int ShowHvMessage(HWND owner, const HvMessage& message);

// The window that owns a message box or a file picker asked for with `owner`. A box owned by a window that a
// modal dialog has disabled hands the activation back to that window when it closes, and the dialog is left
// behind a frame that takes no input: so while the top-level window of `owner` is disabled, the box belongs to
// the window the user is in (the active window, or else the one last active among those the disabled window
// owns).
HWND ModalOwner(HWND owner);

// Tests replace the message box with a recorder that answers in its place, told the box's owner; pass nullptr
// to restore it.
using MessageHook = std::function<int(HWND owner, const HvMessage&)>;
void SetMessageHook(MessageHook hook);

// Shows each message of the list in order.
void ShowHvMessages(HWND owner, const MessageList& messages);
