#pragma once
// The colour editor's controls as one window holds them. The Preferences and the Pen Colours window each
// keep a set of their own, so one window's editor never moves the other's controls.
#include <windows.h>

#include "app/colour_editor.h"

struct ColourEditorControls {
    HWND bars[3] = {};  // red, green, blue
    HWND thicknessList = nullptr;
    HWND typeList = nullptr;
    HWND boxes[kColourSchemeEntries] = {};  // entry boxes; entry 0 only in the Preferences window
};

// Creates the controls of `layout` in `parent` (scroll bars at the edit values, lists filled, entry boxes).
void CreateColourEditor(HWND parent, const ColourEditorLayout& layout, ColourEditorControls* controls);
// The editor's labels, swatches, numbers and marks.
void PaintColourEditor(HDC dc, const ColourEditorLayout& layout, const ColourEditorControls& controls);
// One command or scroll message: selection, lists, then the reload, scroll step and redraw.
void RunColourEditorStep(HDC dc, const ColourEditorLayout& layout, const ColourEditorControls& controls, WPARAM wParam,
                         LPARAM lParam);
// Draws entry k's swatch and its thickness and type numbers.
void DrawColourRow(HDC dc, const ColourEditorLayout& layout, int k);
