#include "app/frame_commands.h"

#include "app/command_ids.h"
#include "design/design_presets.h"

CommandGuard GuardOfCommand(int id) {
    if (FindDesignPreset(id)) return CommandGuard::EngineOrPlayer;
    switch (id) {
        case IDM_EXIT:
        case IDM_ABOUT:
        case IDM_PLAYER_MODE:
        case IDM_CURRENT_SYSTEM:
        case IDM_WAVE_PLAYER_MODE:
            return CommandGuard::Engine;
        case IDM_OPEN_DRIVER:
        case IDM_SAVE_DRIVER:
        case IDM_OPEN_PROJECT:
        case IDM_SAVE_PROJECT:
        case IDM_PREFERENCES:
        case IDM_LAST_DRIVER:
        case IDM_LAST_PROJECT:
        case IDM_ASSIGN_PROFILES:
        case IDM_DIFFRACTION_MODEL:
        case IDM_FILE_EDITOR:
        case IDM_PEN_COLOURS:
        case IDM_IMPORT_IMP:
        case IDM_IMPORT_LMS:
        case IDM_IMPORT_CLIO:
        case IDM_IMPORT_MLSSA:
        case IDM_IMPORT_LMS_ALT:
        case IDM_EXPORT_SPL_PHASE:
        case IDM_EXPORT_IR:
        case IDM_MLS:
        case IDM_HELP:
            return CommandGuard::EngineOrPlayer;
        default:
            // New, Print, Copy, Copy Screen, Position IR Windows, the MDI window list (ids from 40) and
            // every id the menu does not carry: never refused, they reach DefFrameProc unchanged.
            return CommandGuard::None;
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
