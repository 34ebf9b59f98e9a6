#pragma once
// What the frame's commands need to know before they run: which are refused while the engine streams or
// while a player window is open.
#include <string>

enum class CommandGuard {
    None,          // never refused
    Engine,        // refused while EngineRunning is 1
    EngineOrPlayer // also refused while the Player, WAV Player or Playlist window exists
};

CommandGuard GuardOfCommand(int id);

// True when the command must do nothing under the present conditions.
bool IsCommandRefused(int id, bool engineRunning, bool playerWindowOpen);

inline constexpr const char* kProgramTitle = "Halvane Equalizer V10.0 - DIGITAL - 8P";
inline constexpr const char* kExitQuestion = "Last chance to save data !\n\nDO YOU WISH TO EXIT ?";
inline constexpr const char* kAboutText =
    "Release: Halvane Equalizer  V10.0 - DIGITAL - 8P\nPlatform: Windows 7, 64-bit (TM)";
inline constexpr const char* kHelpFileName = "HalvaneEqualizer_Help.CHM";
inline constexpr const char* kHelpMissing = "Unable To Locate HalvaneEqualizer_Help.CHM File";

// "<program title> - <path>", the frame title after a file was opened or saved.
std::string FrameTitleWithPath(const std::string& path);

// The name "Save Driver As" proposes: the current name up to the last "." of its file name, then
// "_<block size>b_<rate>k" (for example woofer_2048b_96k). Without a "." in the file name the proposal is
// the suffix alone.
std::string DefaultDriverFileName(const std::string& current, unsigned bufferSizeIndex, unsigned samplingIndex);

inline constexpr const char* kLoadDriverQuestion = "Last chance to save current data !\n\nDO YOU WISH TO LOAD NEW DRIVER ?";
inline constexpr const char* kLoadDriverCaption = "HV MEssage";
inline constexpr const char* kLoadProjectQuestion = "Last chance to save current data !\n\nDO YOU WISH TO LOAD NEW PROJECT ?";
inline constexpr const char* kScreenCopied = "Screen Copied";
