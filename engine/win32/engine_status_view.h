#pragma once
// Shows what the engine threads published (engine/engine_status.h), on the user-interface thread: the
// set-up status lines of "WASAPI De-Bug Mode" drawn into the frame's client area, the timing and queue
// texts set into the controls of the open player panels, and their titles. A window timer polls the board;
// the engine threads never call into a window.
#include <windows.h>

#include <cstdint>

#include "engine/engine_status.h"

inline constexpr UINT_PTR kEngineStatusTimerId = 10150;
inline constexpr UINT kEngineStatusIntervalMs = 50;

// What the user-interface thread has shown of a board so far.
struct EngineStatusShown {
    uint32_t StatusLines[2][kStatusRows] = {};
    uint32_t PanelTexts[static_cast<int>(PanelText::Count)] = {};
    uint32_t DesignTitle = 0;
    uint32_t PlayerTitle = 0;
    uint32_t SongEndLine = 0;
};

// Draws every non-empty status line at its place: capture lines at x = 2, render lines at x = 300, rows
// from y = 10, 20 pixels apart.
void DrawEngineStatusLines(HDC dc, const EngineStatusBoard& board);

// Brings the windows up to date with the board: new status lines (and the WAV player's line at a song's end,
// at x 400, y 550) are drawn into `frame`, changed texts go
// into controls 50, 5030, 5031, 5032, 5034 and 5036 of each panel that is not null, changed titles into
// the panels' titles. Returns the number of changes shown.
int ShowEngineStatus(const EngineStatusBoard& board, EngineStatusShown* shown, HWND frame, HWND design_panel,
                     HWND player_panel);

// The program's timer: every 50 ms ShowEngineStatus with ProgramEngineStatus(), FrameWindow and the two
// panel windows. Started on the frame once; stopping it is optional (it dies with the frame).
void StartEngineStatusTimer(HWND frame);
void StopEngineStatusTimer(HWND frame);
