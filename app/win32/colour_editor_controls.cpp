#include "app/win32/colour_editor_controls.h"

#include <cstdio>

#include "app/settings.h"
#include "app/win32/app_windows.h"
#include "app/win32/child_windows.h"
#include "app/win32/settings_windows.h"
#include "app/win32/window_registry.h"

namespace {

constexpr int kBarX = 60, kBarWidth = 255, kBarHeight = 14;
constexpr int kThicknessListX = 80, kThicknessListWidth = 100;
constexpr int kTypeListX = 220, kTypeListWidth = 90, kListHeight = 40;
constexpr int kBoxX = 10, kBoxWidth = 200, kBoxHeight = 20;
constexpr DWORD kListStyle = WS_BORDER | WS_VSCROLL | LBS_NOTIFY;

ColourEditorControls g_penControls;

HWND CreateControl(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
    return CreateWindowA(cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AppInstance, nullptr);
}

int32_t EditValueOfBar(int bar) {
    return bar == 0 ? ColourEditValues.red : bar == 1 ? ColourEditValues.green : ColourEditValues.blue;
}

void DrawNumber(HDC dc, int x, int y, const char* format, int value) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, format, value);
    TextOutA(dc, x, y, text, n);
}

void SelectListItems(const ColourEditorControls& c) {
    SendMessageA(c.thicknessList, LB_SETCURSEL, static_cast<WPARAM>(ColourEditValues.thickness - 1), 0);
    SendMessageA(c.typeList, LB_SETCURSEL, static_cast<WPARAM>(ColourEditValues.type - 1), 0);
}

void DrawRgbNumbers(HDC dc, const ColourEditorLayout& layout) {
    for (int bar = 0; bar < 3; ++bar) DrawNumber(dc, kRgbNumberX, layout.barY[bar], "%d     ", EditValueOfBar(bar));
}

void SetOpaqueFaceBackground(HDC dc) {
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(COLOR_3DFACE));
}

}  // namespace

void CreateColourEditor(HWND parent, const ColourEditorLayout& layout, ColourEditorControls* c) {
    const int first = layout.firstEntry;
    LoadColourEditValues(ColourSelectionFlags, ColourScheme, first, kColourSchemeEntries - 1, &ColourEditValues);
    const int barIds[3] = {kColourRedBar, kColourGreenBar, kColourBlueBar};
    for (int bar = 0; bar < 3; ++bar) {
        c->bars[bar] = CreateControl(parent, "scrollbar", nullptr, SBS_HORZ, kBarX, layout.barY[bar], kBarWidth,
                                     kBarHeight, barIds[bar]);
        SetScrollRange(c->bars[bar], SB_CTL, 0, 255, FALSE);
        SetScrollPos(c->bars[bar], SB_CTL, EditValueOfBar(bar), FALSE);
    }
    c->thicknessList = CreateControl(parent, "Listbox", nullptr, kListStyle, kThicknessListX,
                                     layout.listY, kThicknessListWidth, kListHeight, kColourThicknessList);
    c->typeList = CreateControl(parent, "Listbox", nullptr, kListStyle, kTypeListX, layout.listY,
                                kTypeListWidth, kListHeight, kColourTypeList);
    for (const char* name : ThicknessNames)
        SendMessageA(c->thicknessList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    for (const char* name : LineTypeNames) SendMessageA(c->typeList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    for (int k = first; k < kColourSchemeEntries; ++k) {
        c->boxes[k] = CreateControl(parent, "button", ColourEntryNames[k], BS_CHECKBOX, kBoxX,
                                    ColourRowTextY(layout, k), kBoxWidth, kBoxHeight, ColourEntryBoxId(k));
    }
}

void DrawColourRow(HDC dc, const ColourEditorLayout& layout, int k) {
    const ColourEntry& e = ColourScheme[k];
    const ColourRect r = ColourSwatchRect(layout, k);
    HBRUSH brush = CreateSolidBrush(RGB(e.red & 0xFF, e.green & 0xFF, e.blue & 0xFF));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, Gdi.BlackPen1);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    const int y = ColourRowTextY(layout, k);
    DrawNumber(dc, kThicknessNumberX, y, "%d   ", e.thickness);
    DrawNumber(dc, kTypeNumberX, y, "%d   ", e.type);
}

void PaintColourEditor(HDC dc, const ColourEditorLayout& layout, const ColourEditorControls& c) {
    static const char* const kLabels[3] = {"Red", "Green", "Blue"};
    for (int bar = 0; bar < 3; ++bar) TextOutA(dc, 10, layout.labelY[bar], kLabels[bar], lstrlenA(kLabels[bar]));
    TextOutA(dc, 10, layout.thicknessLabelY, "Thickness", 9);
    TextOutA(dc, 185, layout.thicknessLabelY, "Type", 4);
    TextOutA(dc, 315, layout.thickTypeLabelY, "Thick / Type", 12);
    SelectListItems(c);
    for (int k = layout.firstEntry; k < kColourSchemeEntries; ++k)
        if (ColourSelectionFlags[k] == 1 && c.boxes[k]) SendMessageA(c.boxes[k], BM_SETCHECK, BST_CHECKED, 0);
    for (int k = layout.firstEntry; k < kColourSchemeEntries; ++k) DrawColourRow(dc, layout, k);
    DrawRgbNumbers(dc, layout);
}

void RunColourEditorStep(HDC dc, const ColourEditorLayout& layout, const ColourEditorControls& c, WPARAM wParam,
                         LPARAM lParam) {
    const HWND sender = reinterpret_cast<HWND>(lParam);
    int bar = -1;
    for (int b = 0; b < 3; ++b)
        if (sender && sender == c.bars[b]) bar = b;
    if (bar < 0) {
        const int id = LOWORD(wParam);
        const HWND list = id == kColourThicknessList ? c.thicknessList : id == kColourTypeList ? c.typeList : nullptr;
        const int caret = list ? static_cast<int>(SendMessageA(list, LB_GETCARETINDEX, 0, 0)) : 0;
        if (ColourEditorCommand(id, caret, ColourSelectionFlags, ColourScheme, &ColourEditValues) &&
            ColourEntryOfBox(id) >= 0) {
            for (int k = layout.firstEntry; k < kColourSchemeEntries; ++k) {
                const WPARAM mark = ColourSelectionFlags[k] == 1 ? BST_CHECKED : BST_UNCHECKED;
                if (c.boxes[k]) SendMessageA(c.boxes[k], BM_SETCHECK, mark, 0);
            }
        }
    }
    // Then, whatever the message: reload, show the values, apply a scroll step, redraw the selected entry.
    const int selected =
        LoadColourEditValues(ColourSelectionFlags, ColourScheme, 0, kColourSchemeEntries - 1, &ColourEditValues);
    for (int b = 0; b < 3; ++b) SetScrollPos(c.bars[b], SB_CTL, EditValueOfBar(b), TRUE);
    SelectListItems(c);
    if (bar >= 0) {
        const int value = ColourEditorScroll(bar, LOWORD(wParam), HIWORD(wParam), layout.firstEntry,
                                             ColourSelectionFlags, ColourScheme, &ColourEditValues);
        SetScrollPos(c.bars[bar], SB_CTL, value, TRUE);
    }
    SetOpaqueFaceBackground(dc);
    HGDIOBJ oldFont = SelectObject(dc, Gdi.StockSystemFont);
    if (selected >= layout.firstEntry) DrawColourRow(dc, layout, selected);
    DrawRgbNumbers(dc, layout);
    SelectObject(dc, oldFont);
}

// ---- The Pen Colours window ------------------------------------------------------------------------------

int CreatePenColourControls() {
    if (!PenColourWindow) return 0;
    g_penControls = ColourEditorControls{};
    Painters.penColours = [](HDC dc) { PaintPenColours(dc); };
    CreateColourEditor(PenColourWindow, PenColourLayout, &g_penControls);
    return 0;
}

int PaintPenColours(HDC dc) {
    HGDIOBJ oldPen = SelectObject(dc, Gdi.BlackPen1);
    HGDIOBJ oldFont = SelectObject(dc, Gdi.StockSystemFont);
    SetOpaqueFaceBackground(dc);
    static const char kHeading[] = "Colour Scheme [click on X to exit]";
    TextOutA(dc, 10, 10, kHeading, sizeof kHeading - 1);
    PaintColourEditor(dc, PenColourLayout, g_penControls);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldPen);
    if (PenColourWindow) {
        char title[32] = {};
        GetWindowTextA(PenColourWindow, title, sizeof title);
        if (lstrcmpA(title, "Pen Colours") != 0) SetWindowTextA(PenColourWindow, "Pen Colours");
    }
    return 0;
}

int OnPenColourCommand(HDC dc, WPARAM wParam, LPARAM lParam) {
    const HWND sender = reinterpret_cast<HWND>(lParam);
    const bool fromBar = sender && (sender == g_penControls.bars[0] || sender == g_penControls.bars[1] ||
                                    sender == g_penControls.bars[2]);
    const int id = LOWORD(wParam);
    if (!fromBar && (id < 10009 || id > 10041)) return 0;
    RunColourEditorStep(dc, PenColourLayout, g_penControls, wParam, lParam);
    return 0;
}

void ForgetPenColourControls() { g_penControls = ColourEditorControls{}; }
