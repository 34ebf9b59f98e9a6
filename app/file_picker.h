#pragma once
// What a file picker shows, as plain data: the Win32 side turns it into an OPENFILENAMEA (its own structure
// size, the owner window and the caller's buffers) and maps the flags onto the OFN_ constants.
#include <string>
#include <utility>
#include <vector>

struct FilePickerDescription {
    std::vector<std::pair<std::string, std::string>> filters;  // (name, pattern) pairs, in order
    std::string default_extension;                            // without the dot, e.g. "hif", or "*.*"
    int path_chars = 2048;                                    // size of the caller's path buffer
    int title_chars = 2048;                                   // size of the caller's file-title buffer
    bool for_save = false;                                    // save dialog rather than open dialog
    // Flags.
    bool file_must_exist = false;    // OFN_FILEMUSTEXIST
    bool hide_read_only = false;     // OFN_HIDEREADONLY
    bool overwrite_prompt = false;   // OFN_OVERWRITEPROMPT
    bool create_prompt = false;      // OFN_CREATEPROMPT
};

// The double-NUL-terminated filter text an OPENFILENAMEA expects ("name\0pattern\0...\0").
inline std::string FilterString(const FilePickerDescription& picker) {
    std::string s;
    for (const auto& [name, pattern] : picker.filters) {
        s += name;
        s.push_back('\0');
        s += pattern;
        s.push_back('\0');
    }
    s.push_back('\0');
    return s;
}
