#pragma once
// The control panels: "System Design + Player" (ComponentCADSelection) and "Player Control" (Player_HV),
// with the small dialogs the design panel opens. InstallControlPanels hands their creators to the frame.
#include <windows.h>

// Sets the frame's creator hooks (Dialogs.designPanel, Dialogs.playerPanel, and Dialogs.updateToolButtons to
// the design windows' UpdateToolButtons).
void InstallControlPanels();

HWND CreateDesignPanel(HWND owner);
HWND CreatePlayerPanel(HWND owner);

INT_PTR CALLBACK ComponentCADSelectionProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PlayerPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopySpeakerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LinearizerPlotsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TestTonesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The panes whose last recompute through a channel button failed. Play recomputes such a pane of its
// configuration again (and one solved on another block size or rate) and ends when that fails.
bool PaneRecomputeFailed(int pane);
