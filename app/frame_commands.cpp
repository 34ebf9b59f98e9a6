#include "app/frame_commands.h"

#include "app/command_ids.h"

CommandGuard GuardOfCommand(int id) {
    switch (id) {
        case IDM_NEW:
        case IDM_PRINT:
        case IDM_COPY:
        case IDM_COPY_SCREEN:
        case IDM_POSITION_IR:
            return CommandGuard::None;
        case IDM_EXIT:
        case IDM_ABOUT:
        case IDM_PLAYER_MODE:
        case IDM_CURRENT_SYSTEM:
        case IDM_WAVE_PLAYER_MODE:
            return CommandGuard::Engine;
        default:
            return CommandGuard::EngineOrPlayer;
    }
}

bool IsCommandRefused(int id, bool engineRunning, bool playerWindowOpen) {
    switch (GuardOfCommand(id)) {
        case CommandGuard::None: return false;
        case CommandGuard::Engine: return engineRunning;
        case CommandGuard::EngineOrPlayer: return engineRunning || playerWindowOpen;
    }
    return false;
}

std::string FrameTitleWithPath(const std::string& path) { return std::string(kProgramTitle) + " - " + path; }

std::string DefaultDriverFileName(const std::string& current, unsigned bufferSizeIndex, unsigned samplingIndex) {
    static const char* const kBlocks[4] = {"0512", "1024", "2048", "4096"};
    static const char* const kRates[3] = {"44", "48", "96"};
    std::string suffix = std::string("_") + kBlocks[bufferSizeIndex < 4 ? bufferSizeIndex : 1] + "b_" +
                         kRates[samplingIndex < 3 ? samplingIndex : 1] + "k";
    // Only a "." of the file name counts: a folder such as "C:\my.dir\" is not an extension.
    const size_t nameStart = current.find_last_of("\\/");
    const size_t dot = current.rfind('.');
    if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) return suffix;
    return current.substr(0, dot) + suffix;
}
