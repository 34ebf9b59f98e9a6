#pragma once
// The messages of the raw-image readers and writers: a file that cannot be opened, read or written is
// reported by its path (the program's long-standing way); a file of the wrong size by its kind's own text.
#include <string>

#include "app/messages.h"
#include "app/raw_file.h"

inline void AddRawFileMessage(MessageList* out, RawFileStatus status, const std::string& path,
                              const char* wrong_size_text) {
    if (status == RawFileStatus::Ok) return;
    AddWarning(out, status == RawFileStatus::WrongSize ? std::string(wrong_size_text) : path);
}
