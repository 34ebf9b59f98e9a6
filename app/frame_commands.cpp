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
