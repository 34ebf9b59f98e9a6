#pragma once
// The colour editor of the colour scheme, shared by the Preferences window (entries 0..18) and the Pen
// Colours window (entries 1..18): which entry is selected, the values the editor shows, the scroll-bar
// arithmetic and where each window draws what.
#include <cstdint>

#include "app/settings.h"

// The five values the editor currently shows; loaded from the selected entry and written back into it.
extern ColourEntry ColourEditValues;

// Control identifiers.
inline constexpr int kColourRedBar = 10005;
inline constexpr int kColourGreenBar = 10006;
inline constexpr int kColourBlueBar = 10007;
inline constexpr int kColourThicknessList = 10036;
inline constexpr int kColourTypeList = 10037;

extern const char* const ColourEntryNames[kColourSchemeEntries];  // the entry boxes' texts
extern const char* const ThicknessNames[4];                       // "1 = 1 pixel" .. "4 = 4 pixels"
extern const char* const LineTypeNames[3];                        // "1 = Solid", "2 = Dotted", "3 = Dashed"

// The entry box of entry k (10008..10022 for 0..14, 10038..10041 for 15..18), and the reverse (-1: none).
int ColourEntryBoxId(int entry);
int ColourEntryOfBox(int id);

// Scroll codes as the scroll bars report them.
enum ScrollCode : int {
    kScrollLineLeft = 0,
    kScrollLineRight = 1,
    kScrollPageLeft = 2,
    kScrollPageRight = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
    kScrollLeft = 6,
    kScrollRight = 7,
};
// How a scroll bar steps: line and page steps, the value its two ends stand for, and whether the thumb's
// release (kScrollThumbPosition) and the two end codes move it too.
struct ScrollBarSteps {
    int line = 1, page = 10;
    int lo = 0, hi = 255;
    bool thumb_position = true;
    bool ends = true;
};
// The value a scroll bar moves to from `current`, kept in lo..hi; `moved` (when given) tells whether the
// code is one that moves it.
int ScrollBarValue(int current, int code, int thumb, const ScrollBarSteps& steps, bool* moved = nullptr);
// The value a colour scroll bar moves to from `current`, kept in 0..255.
int ScrollColourValue(int current, int code, int thumb);

// Copies the entry whose flag is 1 (the last one, if several) among entries first..last into `values`;
// with no flag set the values stay. Returns the entry copied, or -1.
int LoadColourEditValues(const int32_t* flags, const ColourEntry* scheme, int first, int last, ColourEntry* values);
// Makes entry k the selected one: flag k = 1, every other flag 0.
void SelectColourEntry(int32_t* flags, int k);

// The two layouts of the editor.
struct ColourEditorLayout {
    int firstEntry;       // 0 in the Preferences window, 1 in the Pen Colours window
    int barY[3];          // red, green and blue scroll bars (x 60, 255 x 14)
    int listY;            // thickness list at x 80 (100 x 40), type list at x 220 (90 x 40)
    int rowTop;           // entry k's box at (10, rowTop + 20k), 200 x 20
    int labelY[3];        // "Red", "Green", "Blue"
    int thicknessLabelY;  // "Thickness" at x 10, "Type" at x 185
    int thickTypeLabelY;  // "Thick / Type" at x 315
};
extern const ColourEditorLayout PreferencesColourLayout;
extern const ColourEditorLayout PenColourLayout;

struct ColourRect {
    int left, top, right, bottom;
};
// Entry k's swatch, and where its thickness and type numbers go.
ColourRect ColourSwatchRect(const ColourEditorLayout& layout, int k);
int ColourRowTextY(const ColourEditorLayout& layout, int k);
inline constexpr int kThicknessNumberX = 330;
inline constexpr int kTypeNumberX = 370;
inline constexpr int kRgbNumberX = 325;

// One command of the editor (steps that come before the redraw): an entry box selects its entry, the
// thickness and type lists set the selected entry's values from their caret index. Returns true when `id`
// is one of the editor's controls.
bool ColourEditorCommand(int id, int caretIndex, int32_t* flags, ColourEntry* scheme, ColourEntry* values);

// A scroll-bar step on the selected entry: `bar` 0..2 (red, green, blue). The edit value moves by the
// code; the entry takes the new red, green and blue when it lies in storeFirst..18. Returns the new value.
int ColourEditorScroll(int bar, int code, int thumb, int storeFirst, const int32_t* flags, ColourEntry* scheme,
                       ColourEntry* values);
