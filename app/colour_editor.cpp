#include "app/colour_editor.h"

ColourEntry ColourEditValues{196, 0, 0, 1, 1};

const char* const ColourEntryNames[kColourSchemeEntries] = {
    "Dialogue Box Background", "Filter SPL Curve",       "Driver SPL Curve",       "HBT SPL Curve",
    "SPL Corrected Curve",     "Filter Phase Curve",     "Driver Phase Curve",     "HBT Phase Curve",
    "Phase Corrected Curve",   "System SPL Corrected",   "System Phase Corrected", "HBT + Filter SPL Curve",
    "Equalized Room SPL",      "Room EQ Curve SPL",      "Room EQ Phase",          "HBT + Filter Phase Curve",
    "Excess Group Delay",      "MLS In",                 "MLS Ref",
};
const char* const ThicknessNames[4] = {"1 = 1 pixel", "2 = 2 pixels", "3 = 3 pixels", "4 = 4 pixels"};
const char* const LineTypeNames[3] = {"1 = Solid", "2 = Dotted", "3 = Dashed"};

const ColourEditorLayout PreferencesColourLayout{0, {190, 210, 230}, 255, 300, {190, 210, 230}, 250, 280};
const ColourEditorLayout PenColourLayout{1, {35, 60, 85}, 110, 130, {35, 60, 85}, 110, 130};

namespace {
constexpr int kFirstBoxLow = 10008;   // entries 0..14
constexpr int kFirstBoxHigh = 10038;  // entries 15..18
constexpr int kMaxColour = 255;
}  // namespace

int ColourEntryBoxId(int entry) {
    if (entry < 0 || entry >= kColourSchemeEntries) return -1;
    return entry < 15 ? kFirstBoxLow + entry : kFirstBoxHigh + entry - 15;
}

int ColourEntryOfBox(int id) {
    if (id >= kFirstBoxLow && id < kFirstBoxLow + 15) return id - kFirstBoxLow;
    if (id >= kFirstBoxHigh && id < kFirstBoxHigh + 4) return 15 + id - kFirstBoxHigh;
    return -1;
}

int ScrollBarValue(int current, int code, int thumb, const ScrollBarSteps& steps, bool* moved) {
    int v = current;
    bool moves = true;
    switch (code) {
        case kScrollLineLeft: v -= steps.line; break;
        case kScrollLineRight: v += steps.line; break;
        case kScrollPageLeft: v -= steps.page; break;
        case kScrollPageRight: v += steps.page; break;
        case kScrollThumbTrack: v = thumb; break;
        case kScrollThumbPosition:
            moves = steps.thumb_position;
            if (moves) v = thumb;
            break;
        case kScrollLeft:
            moves = steps.ends;
            if (moves) v = steps.lo;
            break;
        case kScrollRight:
            moves = steps.ends;
            if (moves) v = steps.hi;
            break;
        default: moves = false; break;
    }
    if (moved) *moved = moves;
    if (v < steps.lo) v = steps.lo;
    if (v > steps.hi) v = steps.hi;
    return v;
}

int ScrollColourValue(int current, int code, int thumb) {
    return ScrollBarValue(current, code, thumb, ScrollBarSteps{1, 10, 0, kMaxColour});
}

int LoadColourEditValues(const int32_t* flags, const ColourEntry* scheme, int first, int last, ColourEntry* values) {
    int loaded = -1;
    for (int k = first; k <= last; ++k) {
        if (flags[k] == 1) {
            *values = scheme[k];
            loaded = k;
        }
    }
    return loaded;
}

void SelectColourEntry(int32_t* flags, int k) {
    for (int i = 0; i < kColourSchemeEntries; ++i) flags[i] = i == k ? 1 : 0;
}

ColourRect ColourSwatchRect(const ColourEditorLayout& layout, int k) {
    const int top = layout.rowTop + 4 + 20 * k;
    return ColourRect{220, top, 320, top + 10};
}

int ColourRowTextY(const ColourEditorLayout& layout, int k) { return layout.rowTop + 20 * k; }

bool ColourEditorCommand(int id, int caretIndex, int32_t* flags, ColourEntry* scheme, ColourEntry* values) {
    if (const int k = ColourEntryOfBox(id); k >= 0) {
        SelectColourEntry(flags, k);
        return true;
    }
    if (id != kColourThicknessList && id != kColourTypeList) return false;
    const int selected = LoadColourEditValues(flags, scheme, 0, kColourSchemeEntries - 1, values);
    const int32_t value = caretIndex + 1;
    if (id == kColourThicknessList) {
        values->thickness = value;
        if (selected >= 0) scheme[selected].thickness = value;
    } else {
        values->type = value;
        if (selected >= 0) scheme[selected].type = value;
    }
    return true;
}

int ColourEditorScroll(int bar, int code, int thumb, int storeFirst, const int32_t* flags, ColourEntry* scheme,
                       ColourEntry* values) {
    const int selected = LoadColourEditValues(flags, scheme, 0, kColourSchemeEntries - 1, values);
    int32_t* channel = bar == 0 ? &values->red : bar == 1 ? &values->green : &values->blue;
    *channel = ScrollColourValue(*channel, code, thumb);
    if (selected >= storeFirst) {
        scheme[selected].red = values->red;
        scheme[selected].green = values->green;
        scheme[selected].blue = values->blue;
    }
    return *channel;
}
