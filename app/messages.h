#pragma once
// Messages as data. Portable code never shows a message box: it hands back what the user is to be told,
// and one Win32 function (app/win32/message_box.cpp) shows it. Tests read the list instead.
#include <string>
#include <vector>

enum class MessageIcon { Warning, Question, Information, Error, None };
enum class MessageButtons { Ok, YesNo, OkCancel };

inline constexpr const char* kHvCaption = "HV Message";

struct HvMessage {
    std::string text;
    std::string caption = kHvCaption;
    MessageIcon icon = MessageIcon::Warning;
    MessageButtons buttons = MessageButtons::Ok;
};

using MessageList = std::vector<HvMessage>;

// The usual failure notice: caption "HV Message", warning icon, OK.
inline HvMessage WarningMessage(std::string text) { return HvMessage{std::move(text)}; }

inline void AddWarning(MessageList* out, std::string text) {
    if (out) out->push_back(WarningMessage(std::move(text)));
}
