#pragma once
// The control panels: "System Design + Player" (ComponentCADSelection), "Player Control" (Player_HV) and
// the WAV player's "Player Control" (WAVE_Player_HV) with its "Playlist Editor" (Play_List), and the small
// dialogs the design panel opens. InstallControlPanels hands their creators to the frame.
#include <windows.h>

// Sets the frame's creator hooks (Dialogs.designPanel, Dialogs.playerPanel, Dialogs.wavPlayerPanel,
// Dialogs.playlistEditor, and Dialogs.updateToolButtons to the design windows' UpdateToolButtons).
void InstallControlPanels();

HWND CreateDesignPanel(HWND owner);
HWND CreatePlayerPanel(HWND owner);
HWND CreateWavPlayerPanel(HWND owner);
HWND CreatePlaylistEditor(HWND owner);

INT_PTR CALLBACK ComponentCADSelectionProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PlayerPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WavPlayerPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PlaylistEditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopySpeakerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LinearizerPlotsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TestTonesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The panes whose last recompute through a channel button failed. Play recomputes such a pane of its
// configuration again (and one solved on another block size or rate) and ends when that fails.
bool PaneRecomputeFailed(int pane);

// What the song loader shows in an open playlist editor (nothing while it is closed): row `row` selected
// alone, and the editor's title.
void SelectPlaylistRow(int row);
void SetPlaylistEditorTitle(const char* title);
