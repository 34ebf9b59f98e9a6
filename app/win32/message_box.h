#pragma once
#include <windows.h>

#include <functional>

#include "app/messages.h"

// The one place that shows a message box. Returns IDOK, IDYES, IDNO, ...
int ShowHvMessage(HWND owner, const HvMessage& message);

// Tests replace the message box with a recorder that answers in its place; pass nullptr to restore it.
using MessageHook = std::function<int(const HvMessage&)>;
void SetMessageHook(MessageHook hook);
// The owner of the message being shown, for a hook to see whose box it stands in for.
HWND CurrentMessageOwner();

// Shows each message of the list in order.
void ShowHvMessages(HWND owner, const MessageList& messages);
