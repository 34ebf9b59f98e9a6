#pragma once
// What a person sees of a window's layout, as a list of faults: every visible control must lie inside its
// parent's client area, and every text of a static, a button, a check box, a radio button, a group box and a
// tab must fit its control (its tab) when drawn in the control's own font; a tab's font must draw the
// label's glyphs whole. Owner-drawn controls draw their own texts and are only checked for their place.
#include <windows.h>

#include <string>
#include <vector>

// One line per fault, naming the window, the control (id, class, text) and what is wrong. Empty when the
// window lays out whole.
std::vector<std::string> LayoutFaults(HWND window);

// The room a text needs drawn in the control's own font: the width and height of one line, or of the
// wrapped lines when `wrapWidth` is above 0, less the internal leading above the first line.
SIZE ControlTextExtent(HWND control, const std::string& text, int wrapWidth, bool prefix);

// What a font does to the glyphs of `text`, as a list of faults: a character whose ink, drawn alone, leaves
// the cell the font gives it (its advance, widened by the overhangs the font states, and its height), and two
// different characters that draw the same pixels, which is what a glyph cut down to a part of itself does
// ("0" reads "C", "d" and "o" read "c"). Empty when every glyph is drawn whole.
std::vector<std::string> GlyphFaults(HFONT font, const std::string& text);
