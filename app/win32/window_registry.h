#pragma once
// The window registry: one handle per MDI child, panel and tool dialog, null while it is closed; the
// openers that create each child at its remembered placement; the helpers that close groups of windows.
#include <windows.h>

#include "app/splitter_layout.h"

extern HWND EditorWindow;                 // "Editor_Child", slot 0
extern HWND TransferFunctionWindow;       // TransferFunction dialog, slot 1
extern HWND PenColourWindow;              // "PenColour_Child", slot 2
extern HWND PreferencesWindow;            // "Preferences_Child", slot 3
extern HWND DiffractionWindow;            // "Diffraction_Child", slot 4
extern HWND DiffractionCalculatorWindow;  // DiffractionCalculator dialog, slot 5
extern HWND SplPlotWindow;                // "SPL_Plotting", slot 7
extern HWND SplitterWindows[kSplitterKinds];  // by SplitterKind
extern HWND MlsImpWindow;                 // "MLS_IMP_Child", slot 33
extern HWND MlsSplWindow;                 // "MLS_SPL_Child", slot 34
extern HWND MlsControlWindow;             // TAB_MLS_Control dialog, slot 35
extern HWND IrSplChildWindow;             // "szChild_IR_SPL", slot 58
extern HWND IrChildWindow;                // "szChild_IR", slot 59
extern HWND PaneWindows[10];              // channel panes by number 1..9; entry 0 unused

// Modeless dialogs that other parts of the program provide. Each creator makes its dialog (owner given)
// and returns it; while a creator is not set, the window is not available and is not opened.
struct DialogCreators {
    HWND (*designPanel)(HWND owner) = nullptr;           // "ComponentCADSelection"
    HWND (*playerPanel)(HWND owner) = nullptr;           // "Player_HV"
    HWND (*wavPlayerPanel)(HWND owner) = nullptr;        // "WAVE_Player_HV"
    HWND (*playlistEditor)(HWND owner) = nullptr;        // "Play_List"
    HWND (*transferFunction)(HWND owner) = nullptr;      // "TransferFunction"
    HWND (*diffractionCalculator)(HWND owner) = nullptr; // "DiffractionCalculator"
    HWND (*mlsControl)(HWND owner) = nullptr;            // "TAB_MLS_Control"
    void (*updateToolButtons)(HWND panel) = nullptr;     // sets the panel's tool buttons from EditTool
    // The data tools' modal steps: the importer of a menu command (401..404, 406) with its picker and converter,
    // returning the converter's result; and the "ExportImpulseResponse" dialog.
    int (*importMeasurement)(HWND owner, int command) = nullptr;
    INT_PTR (*exportImpulseResponse)(HWND owner) = nullptr;
};
extern DialogCreators Dialogs;

// MDI child openers: create the child at its slot, store and return its handle (null on failure).
HWND OpenIrChild();
HWND OpenIrSplChild();
HWND OpenSplPlotChild();
HWND OpenSplitter(SplitterKind kind);
HWND OpenEditorChild();
HWND OpenDiffractionChild();
HWND OpenPenColourChild();
HWND OpenPreferencesChild();
HWND OpenMlsImpChild();
HWND OpenMlsSplChild();

// Opens the splitter of a configuration (4 and 5 share one); nothing for another value.
void OpenSplitterOfConfiguration(uint32_t configuration);

// Creates a modeless dialog with `creator`, moves it to the slot's x and y at the given size and shows it.
// Does nothing when the window exists already or no creator is set.
void OpenModelessDialog(HWND* handle, HWND (*creator)(HWND), int slot, int width, int height);

int ShowDesignPanel(HWND owner);
int CloseToolWindows();
int CloseSystemWindows();
int CloseAuxChildren();

// Closes an MDI child through the client (it clears its own handle); destroys a dialog and clears its handle.
void CloseChild(HWND* handle);
void DestroyDialog(HWND* handle);

// Copies the window's image (usable screen size) to the clipboard; "Screen Copied" only when it got there.
int CopyWindowToClipboard(HWND window);
