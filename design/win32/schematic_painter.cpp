// The schematic of a channel pane: background, raster, wires, symbols, labels, node numbers and name, and
// the outline symbols and drag preview the editor draws in not-XOR mode.
#include <windows.h>

#include "app/global_records.h"
#include "app/win32/app_windows.h"
#include "app/settings.h"
#include "design/schematic_labels.h"
#include "design/win32/design_windows.h"

namespace {

// The frame's shared drawing objects under the names the schematic uses.
HPEN OutlinePen() { return Gdi.BlackPen1; }
HPEN WirePen() { return Gdi.BluePen1; }
HPEN DragPen() { return Gdi.DarkGreenPen1; }
HBRUSH SymbolFillBrush() { return Gdi.CyanBrush; }
HBRUSH ConeBrush() { return Gdi.GreyBrush164; }
HFONT FontOf(LabelFont f) {
    switch (f) {
        case LabelFont::Large: return Gdi.TitleFont;
        case LabelFont::Small: return Gdi.LabelFont;
        case LabelFont::Tiny: return Gdi.SmallFont;
    }
    return Gdi.LabelFont;
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}
void Dot(HDC dc, int a, int b, int c, int d) { Ellipse(dc, a, b, c, d); }
// The rounded box of a block: OutlinePen and SymbolFillBrush, then the previous pen and brush again.
void Box(HDC dc, int a, int b, int c, int d) {
    HGDIOBJ pen = SelectObject(dc, OutlinePen());
    HGDIOBJ brush = SelectObject(dc, SymbolFillBrush());
    RoundRect(dc, a, b, c, d, 5, 5);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
}
void LPath(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y1);
    LineTo(dc, x2, y2);
}
void Text(HDC dc, int x, int y, const char* s) { TextOutA(dc, x, y, s, lstrlenA(s)); }

PaneRecord* RecordOf(int pane) { return pane >= 1 && pane <= kPaneCount ? PaneRecords[pane - 1] : nullptr; }

void DrawLabels(HDC dc, const std::vector<SchematicLabel>& labels) {
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    for (const SchematicLabel& l : labels) {
        SelectObject(dc, FontOf(l.font));
        SetTextColor(dc, l.colour);
        TextOutA(dc, l.x, l.y, l.text.c_str(), static_cast<int>(l.text.size()));
    }
    SetTextColor(dc, RGB(0, 0, 0));
    SelectObject(dc, font);
}

void DragItems(HDC dc, bool withDragPen) {
    const WorkingNetwork* net = WorkingNet;
    if (!net) return;
    const int wires = ClampedWireCount(*net);
    for (int i = 0; i < wires; ++i) {
        const Wire& w = net->wires[i];
        if (w.drag_tag <= 0) continue;
        HGDIOBJ old = withDragPen ? SelectObject(dc, DragPen()) : nullptr;
        LPath(dc, w.x1, w.y1, w.x2, w.y2);
        if (old) SelectObject(dc, old);
    }
    const int elements = ClampedElementCount(*net);
    for (int i = 0; i < elements; ++i) {
        const NetworkElement& e = net->elements[i];
        if (e.drag != 1) continue;
        HGDIOBJ old = withDragPen ? SelectObject(dc, DragPen()) : nullptr;
        DrawXorElementSymbol(e.kind, dc, e.x1, e.y1);
        if (old) SelectObject(dc, old);
    }
}

}  // namespace

// ---- Symbols ----

void DrawOutputPortSymbol(HDC dc, int x, int y) {
    Line(dc, x, y, x, y + 10);
    Dot(dc, x - 2, y - 2, x + 3, y + 3);
    HGDIOBJ pen = SelectObject(dc, OutlinePen());
    Line(dc, x - 5, y + 14, x - 5, y + 27);
    Line(dc, x + 4, y + 20, x + 12, y + 20);
    const POINT cone[4] = {{x + 3, y + 15}, {x + 12, y + 8}, {x + 12, y + 32}, {x + 3, y + 25}};
    Polyline(dc, cone, 4);
    HGDIOBJ brush = SelectObject(dc, ConeBrush());
    const POINT upper[4] = {{x + 5, y + 14}, {x + 12, y + 8}, {x + 12, y + 20}, {x + 5, y + 20}};
    const POINT lower[4] = {{x + 5, y + 20}, {x + 12, y + 20}, {x + 12, y + 32}, {x + 5, y + 27}};
    Polygon(dc, upper, 4);
    Polygon(dc, lower, 4);
    SelectObject(dc, brush);
    Rectangle(dc, x + 12, y + 5, x + 15, y + 36);
    brush = SelectObject(dc, SymbolFillBrush());
    RoundRect(dc, x - 4, y + 10, x + 5, y + 31, 4, 4);
    SelectObject(dc, ConeBrush());
    RoundRect(dc, x - 2, y + 10, x + 3, y + 31, 2, 2);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    Line(dc, x, y + 30, x, y + 40);
    Dot(dc, x - 2, y + 38, x + 3, y + 43);
}

void DrawInputTerminalSymbol(HDC dc, int x, int y) {
    Dot(dc, x - 3, y - 3, x + 3, y + 3);
    Line(dc, x - 3, y, x - 7, y);
    Dot(dc, x - 12, y - 3, x - 6, y + 3);
}

void DrawFilterBlockSymbol(HDC dc, int x, int y) {
    Line(dc, x, y, x + 7, y);
    Dot(dc, x - 2, y - 2, x + 3, y + 3);
    Box(dc, x + 6, y - 17, x + 33, y + 18);
    Line(dc, x + 32, y, x + 40, y);
    Dot(dc, x + 37, y - 2, x + 42, y + 3);
    const int mode = SetBkMode(dc, TRANSPARENT);
    Text(dc, x + 9, y - 7, "Filt");
    SetBkMode(dc, mode);
}

void DrawJunctionSymbol(HDC dc, int x, int y) { Dot(dc, x - 3, y - 3, x + 3, y + 3); }

void DrawGroundSymbol(HDC dc, int x, int y) {
    Line(dc, x, y, x, y + 13);
    Dot(dc, x - 2, y - 2, x + 3, y + 3);
    Line(dc, x - 5, y + 13, x + 5, y + 13);
    Line(dc, x - 3, y + 15, x + 3, y + 15);
    Line(dc, x - 1, y + 17, x + 2, y + 17);
}

void DrawRoomEqBlockSymbol(HDC dc, int x, int y) {
    Line(dc, x, y, x + 7, y);
    Dot(dc, x - 2, y - 2, x + 3, y + 3);
    Box(dc, x + 5, y - 17, x + 36, y + 18);
    Line(dc, x + 35, y, x + 40, y);
    Dot(dc, x + 37, y - 2, x + 42, y + 3);
    const int mode = SetBkMode(dc, TRANSPARENT);
    HGDIOBJ font = SelectObject(dc, Gdi.LabelFont);
    Text(dc, x + 8, y - 12, "Room");
    SelectObject(dc, font);
    Text(dc, x + 11, y - 2, "EQ");
    SetBkMode(dc, mode);
}

void DrawElementSymbol(int kind, HDC dc, int x, int y) {
    switch (kind) {
        case OutputPort: DrawOutputPortSymbol(dc, x, y); break;
        case InputTerminal: DrawInputTerminalSymbol(dc, x, y); break;
        case FilterBlock: DrawFilterBlockSymbol(dc, x, y); break;
        case Junction: DrawJunctionSymbol(dc, x, y); break;
        case Ground: DrawGroundSymbol(dc, x, y); break;
        case RoomEqBlock: DrawRoomEqBlockSymbol(dc, x, y); break;
        default: break;
    }
}

// ---- Outlines ----

void DrawOutputPortOutline(HDC dc, int x, int y) {
    Line(dc, x, y, x, y + 10);
    Dot(dc, x - 2, y - 2, x + 3, y + 3);
    const POINT body[5] = {{x - 3, y + 10}, {x + 3, y + 10}, {x + 3, y + 30}, {x - 3, y + 30}, {x - 3, y + 10}};
    Polyline(dc, body, 5);
    Line(dc, x, y + 30, x, y + 40);
    Dot(dc, x - 2, y + 38, x + 3, y + 43);
    const POINT cone[4] = {{x + 3, y + 15}, {x + 12, y + 8}, {x + 12, y + 32}, {x + 3, y + 25}};
    Polyline(dc, cone, 4);
}

void DrawInputTerminalOutline(HDC dc, int x, int y) {
    DrawInputTerminalSymbol(dc, x, y);
    Line(dc, x - 12, y - 17, x - 12, y - 5);
    Line(dc, x - 8, y - 12, x - 8, y - 5);
    Line(dc, x - 2, y - 12, x - 2, y - 5);
    Line(dc, x - 8, y - 12, x - 2, y - 5);
}

void DrawFilterBlockOutline(HDC dc, int x, int y) {
    Line(dc, x, y, x + 7, y);
    Dot(dc, x - 2, y - 2, x + 3, y + 3);
    RoundRect(dc, x + 7, y - 17, x + 33, y + 18, 5, 5);
    Line(dc, x + 32, y, x + 40, y);
    Dot(dc, x + 37, y - 2, x + 42, y + 3);
}

void DrawJunctionOutline(HDC dc, int x, int y) { DrawJunctionSymbol(dc, x, y); }
void DrawGroundOutline(HDC dc, int x, int y) { DrawGroundSymbol(dc, x, y); }
void DrawRoomEqBlockOutline(HDC dc, int x, int y) { DrawFilterBlockOutline(dc, x, y); }

void DrawXorElementSymbol(int kind, HDC dc, int x, int y) {
    switch (kind) {
        case OutputPort: DrawOutputPortOutline(dc, x, y); break;
        case InputTerminal: DrawInputTerminalOutline(dc, x, y); break;
        case FilterBlock: DrawFilterBlockOutline(dc, x, y); break;
        case Junction: DrawJunctionOutline(dc, x, y); break;
        case Ground: DrawGroundOutline(dc, x, y); break;
        case RoomEqBlock: DrawRoomEqBlockOutline(dc, x, y); break;
        default: break;
    }
}

void DrawDragPreview(HDC dc) { DragItems(dc, true); }
void DrawDragPreviewCurrentPen(HDC dc) { DragItems(dc, false); }

// ---- The pane ----

void DrawPaneNetwork(int pane, HWND window, HDC dc) {
    const PaneRecord* r = RecordOf(pane);
    RECT rc;
    GetClientRect(window, &rc);
    HGDIOBJ brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, 0, 0, rc.right, rc.bottom);
    SelectObject(dc, brush);
    if (ShowRaster == 1) {
        for (int i = 1; i < rc.right / 10; ++i)
            for (int j = 1; j < rc.bottom / 10; ++j) SetPixelV(dc, 10 * i, 10 * j, RGB(112, 112, 112));
    }
    if (!r) return;
    const int wires = ClampedWireCount(*r);
    HGDIOBJ pen = SelectObject(dc, WirePen());
    for (int i = 0; i < wires; ++i) LPath(dc, r->wires[i].x1, r->wires[i].y1, r->wires[i].x2, r->wires[i].y2);
    SelectObject(dc, pen);
    const int elements = ClampedElementCount(*r);
    for (int i = 0; i < elements; ++i) {
        const NetworkElement& e = r->elements[i];
        if (e.x1 < 1000) DrawElementSymbol(e.kind, dc, e.x1, e.y1);
    }
}

void DrawPaneElementLabels(int pane, HDC dc) {
    PaneRecord* r = RecordOf(pane);
    if (!r) return;
    SetBkMode(dc, TRANSPARENT);
    DrawLabels(dc, PaneElementLabels(*r));
    SetBkMode(dc, OPAQUE);
    UpdateDerivedNodes(r);
}

void DrawPaneNodeNumbers(int pane, HDC dc) {
    const PaneRecord* r = RecordOf(pane);
    if (!r) return;
    const int mode = SetBkMode(dc, TRANSPARENT);
    DrawLabels(dc, PaneNodeNumbers(*r));
    SetBkMode(dc, mode);
}

void PaintPane(int pane, HWND window, HDC dc) {
    DrawPaneNetwork(pane, window, dc);
    DrawPaneElementLabels(pane, dc);
    if (ShowNodes == 1) DrawPaneNodeNumbers(pane, dc);
    const char* name = PaneName(pane, BassMode);
    if (name) {
        RECT rc;
        GetClientRect(window, &rc);
        HGDIOBJ font = SelectObject(dc, Gdi.TitleFont);
        SetTextColor(dc, PaneNameColour(pane, ActivePane));
        SetBkMode(dc, TRANSPARENT);
        Text(dc, 2, rc.bottom - 30, name);
        SetBkMode(dc, OPAQUE);
        SetTextColor(dc, RGB(0, 0, 0));
        SelectObject(dc, font);
    }
}

// ---- The panel's palette and tool buttons ----

void DrawToolPalette(HDC dc) {
    HGDIOBJ pen = SelectObject(dc, OutlinePen());
    for (int i = 0; i < 6; ++i) Rectangle(dc, 0, 40 * i, 40, 40 * i + 40);
    for (const PalettePoint& p : kPalettePoints) DrawElementSymbol(p.kind, dc, p.x, p.y);
    SelectObject(dc, pen);
}

void UpdateToolButtons(HWND panel) {
    if (!panel) return;
    for (const ToolButtonState& s : ToolButtonStates(EditTool)) CheckDlgButton(panel, s.id, BST_UNCHECKED);
    for (const ToolButtonState& s : ToolButtonStates(EditTool))
        if (s.checked) CheckDlgButton(panel, s.id, BST_CHECKED);
}
