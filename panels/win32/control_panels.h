#pragma once
// The control panels: "System Design + Player" (ComponentCADSelection) and "Player Control" (Player_HV),
// with the small dialogs the design panel opens. InstallControlPanels hands their creators to the frame.
#include <windows.h>

// Sets the frame's creator hooks (Dialogs.designPanel, Dialogs.playerPanel, Dialogs.updateToolButtons).
void InstallControlPanels();

HWND CreateDesignPanel(HWND owner);
HWND CreatePlayerPanel(HWND owner);

// The tool buttons of the design panel from EditTool: 1002 Draw, 1007 Move, 1008 Wipe Comp, 1016 Wipe Wire.
void UpdateDesignPanelToolButtons(HWND panel);

INT_PTR CALLBACK ComponentCADSelectionProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PlayerPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopySpeakerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LinearizerPlotsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TestTonesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The palette's drawing and its gesture state belong to the pane editor. Until the editor provides them,
// the panel draws plain labelled boxes and keeps the chosen kind itself.
struct PalettePainters {
    void (*drawToolPalette)(HDC dc) = nullptr;                         // DrawToolPalette
    void (*drawElementSymbol)(HDC dc, int kind, int x, int y) = nullptr;  // DrawElementSymbol, black
    void (*armPalette)(int kind) = nullptr;  // PaletteKind, PaletteArmed = 1, WireInProgress = 0, EditTool = 1
};
extern PalettePainters PanelPalette;
// The kind the last palette click chose (0 before the first).
int PanelPaletteKind();

// The panes whose last recompute through a channel button failed. Play recomputes such a pane of its
// configuration again (and one solved on another block size or rate) and ends when that fails.
bool PaneRecomputeFailed(int pane);
