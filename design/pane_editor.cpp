#include "design/pane_editor.h"

#include <cstring>

#include "app/settings.h"
#include "design/network_validation.h"

int PaletteKind = 0;
int PaletteArmed = 0;
int WireInProgress = 0;
int PreviewShown = 0;
int SelectedElement = 0;
PaneGesture Gesture;

namespace {

bool IsTwoTerminalKind(int32_t kind) { return kind == FilterBlock || kind == RoomEqBlock || kind == OutputPort; }

bool IsActive(const PaneContext& ctx) { return ActivePane == ctx.pane; }

void StoreGrid(GesturePoint* p, int x, int y) {
    p->x = x;
    p->y = y;
    p->gx = SnapStoredX(x);
    p->gy = SnapToGrid(y);
}

HvMessage PaneMessage(const char* text, const char* caption) {
    HvMessage m{text, caption};
    m.icon = MessageIcon::Warning;
    return m;
}

int DraggedElement(const PaneRecord& net) {
    const int n = ClampedElementCount(net);
    for (int i = 0; i < n; ++i)
        if (net.elements[i].drag == 1) return i;
    return -1;
}

void ClearDragMarks(PaneRecord* net) {
    for (NetworkElement& e : net->elements) e.drag = 0;
    for (Wire& w : net->wires) w.drag_tag = 0;
}

bool Between(int v, int a, int b) { return (a <= v && v <= b) || (b <= v && v <= a); }

// Save and repaint: the end of every completed edit.
void Saved(const PaneContext& ctx, PaneAction* action) {
    SaveWorkingNetworkIntoPane(ctx);
    action->repaint = true;
}

}  // namespace

void ResetPaneEditorState() {
    PaletteKind = 0;
    PaletteArmed = 0;
    WireInProgress = 0;
    PreviewShown = 0;
    SelectedElement = 0;
    Gesture = PaneGesture{};
}

void ArmPalette(int kind) {
    PaletteKind = kind;
    PaletteArmed = 1;
    WireInProgress = 0;
    EditTool = EditToolDraw;
}

int SnapToGrid(int v) { return (v + 5) / kGridStep * kGridStep; }

int SnapStoredX(int v) {
    const int s = SnapToGrid(v);
    return s < kMinStoredX ? kMinStoredX : s;
}

const char* PaneCaption(int pane) { return pane >= 7 ? kPaneCaptionHigh : kPaneCaptionLow; }

void TerminalTwoOf(int32_t kind, int32_t x, int32_t y, int32_t* x2, int32_t* y2) {
    *x2 = x;
    *y2 = y;
    if (kind == FilterBlock || kind == RoomEqBlock) *x2 = x + 40;
    if (kind == OutputPort) *y2 = y + 40;
}

bool ElementOnPoint(const NetworkElement& e, int x, int y) {
    if (y == e.y1 && y == e.y2 && e.x1 <= x && x <= e.x2) return true;  // on a horizontal axis
    if (x == e.x1 && x == e.x2 && e.y1 <= y && y <= e.y2) return true;  // on a vertical axis
    return false;
}

int HitElement(const PaneRecord& net, int x, int y) {
    const int n = ClampedElementCount(net);
    for (int i = 0; i < n; ++i) {
        if (ElementOnPoint(net.elements[i], x, y)) return i;
    }
    return -1;
}

bool HitWire(const Wire& w, int x, int y) {
    if (y == w.y1 && Between(x, w.x1, w.x2)) return true;
    if ((x == w.x1 || x == w.x2) && Between(y, w.y1, w.y2)) return true;
    return false;
}

void LoadPaneIntoWorkingNetwork(const PaneContext& ctx) {
    LoadPaneNetwork(*ctx.record, ctx.net);
    EditTool = static_cast<int>(ctx.net->edit_tool);
}

void SaveWorkingNetworkIntoPane(const PaneContext& ctx) {
    ctx.net->edit_tool = static_cast<uint32_t>(EditTool);
    SavePaneNetwork(*ctx.net, ctx.record);
}

int PlaceElement(WorkingNetwork* net, int kind, int gx, int gy, const char* caption, MessageList* messages) {
    if (kind < OutputPort || kind > RoomEqBlock) return 1;
    if (kind == InputTerminal || kind == RoomEqBlock) {
        for (const NetworkElement& e : net->elements) {
            if (e.kind == kind) {
                if (messages) messages->push_back(PaneMessage(kind == InputTerminal ? kInputNodeExists : kRoomEqExists, caption));
                return 1;
            }
        }
    }
    if (IsTwoTerminalKind(kind)) {
        int32_t x2, y2;
        TerminalTwoOf(kind, gx, gy, &x2, &y2);
        const int32_t pts[2][2] = {{gx, gy}, {x2, y2}};
        for (const NetworkElement& e : net->elements) {
            for (const auto& p : pts) {
                if ((p[0] == e.x1 && p[1] == e.y1) || (p[0] == e.x2 && p[1] == e.y2) || (p[0] == e.x3 && p[1] == e.y3)) {
                    if (messages) messages->push_back(PaneMessage(kOverlappedTerminal, caption));
                    return 1;
                }
            }
        }
    }
    if (net->element_count >= static_cast<uint32_t>(kMaxElements)) {
        if (messages) messages->push_back(PaneMessage(kElementTableFull, caption));
        return 1;
    }
    NetworkElement& e = net->elements[net->element_count];
    e.x1 = gx;
    e.y1 = gy;
    TerminalTwoOf(kind, gx, gy, &e.x2, &e.y2);
    e.kind = kind;
    net->element_count += 1;
    return 0;
}

int ProposeWire(WorkingNetwork* net, int x1, int y1, int x2, int y2, const char* caption, MessageList* messages) {
    if (x1 == x2 && y1 == y2) return 0;
    for (const Wire& w : net->wires)
        if (w.x1 == x1 && w.y1 == y1 && w.x2 == x2 && w.y2 == y2) return 0;
    if (!WireEndsOnTerminals(*net, x1, y1, x2, y2)) return 0;
    if (net->wire_count >= static_cast<uint32_t>(kMaxWires)) {
        // Silently dropping a wire the user can see being drawn would be confusing: say why.
        if (messages) messages->push_back(PaneMessage(kWireTableFull, caption));
        return 0;
    }
    Wire& w = net->wires[net->wire_count];
    w.x1 = x1;
    w.y1 = y1;
    w.x2 = x2;
    w.y2 = y2;
    net->wire_count += 1;
    RebuildJoints(net, messages);
    return 1;
}

void PutDraggedElement(WorkingNetwork* net, int i, int x, int y) {
    NetworkElement& e = net->elements[i];
    e.x1 = x;
    e.y1 = y;
    TerminalTwoOf(e.kind, x, y, &e.x2, &e.y2);
    const int wires = ClampedWireCount(*net);
    for (int j = 0; j < wires; ++j) {
        Wire& w = net->wires[j];
        switch (w.drag_tag) {
            case 1: w.x1 = e.x1; w.y1 = e.y1; break;
            case 2: w.x2 = e.x1; w.y2 = e.y1; break;
            case 3: w.x1 = e.x2; w.y1 = e.y2; break;
            case 4: w.x2 = e.x2; w.y2 = e.y2; break;
            default: break;
        }
    }
}

void DeleteWireSlot(PaneRecord* net, int i) {
    for (int j = i + 1; j < kMaxWires; ++j) net->wires[j - 1] = net->wires[j];
    if (net->wire_count > 0) net->wire_count -= 1;
}

void DeleteElementSlot(PaneRecord* net, int i) {
    const NetworkElement e = net->elements[i];
    for (int j = 0; j < ClampedWireCount(*net);) {
        const Wire& w = net->wires[j];
        const bool on = (w.x1 == e.x1 && w.y1 == e.y1) || (w.x2 == e.x1 && w.y2 == e.y1) ||
                        (w.x1 == e.x2 && w.y1 == e.y2) || (w.x2 == e.x2 && w.y2 == e.y2);
        if (on) {
            DeleteWireSlot(net, j);
            j = 0;  // the scan starts again after every deletion
        } else {
            ++j;
        }
    }
    for (int j = i + 1; j < kMaxElements; ++j) {
        net->elements[j - 1] = net->elements[j];
        net->params[j - 1] = net->params[j];
        std::memcpy(net->driver_file_title[j - 1], net->driver_file_title[j], kDriverPathChars);
        std::memcpy(net->driver_file_path[j - 1], net->driver_file_path[j], kDriverPathChars);
        std::memcpy(&net->element_responses[j - 1], &net->element_responses[j], sizeof(ElementResponse));
        std::memcpy(&net->driver_responses[j - 1], &net->driver_responses[j], sizeof(DriverResponse));
    }
    if (net->element_count > 0) net->element_count -= 1;
}

namespace {

PaneAction DrawMove(const PaneContext&, int x, int y, PanePreviewPainter& painter) {
    PaneAction action;
    const int gx = SnapStoredX(x), gy = SnapToGrid(y);
    if (PaletteArmed == 1) {
        painter.BeginNotXor();
        if (PreviewShown == 0) {
            Gesture.previewX = gx;
            Gesture.previewY = gy;
            painter.OutlineSymbol(PaletteKind, gx, gy);
            PreviewShown = 1;
        }
        painter.OutlineSymbol(PaletteKind, Gesture.previewX, Gesture.previewY);
        painter.OutlineSymbol(PaletteKind, gx, gy);
        Gesture.previewX = gx;
        Gesture.previewY = gy;
    }
    if (WireInProgress == 1) {
        painter.BeginNot();
        if (PreviewShown == 0) {
            Gesture.previewX = Gesture.press.gx;
            Gesture.previewY = Gesture.press.gy;
            PreviewShown = 1;
        } else {
            painter.RubberBand(Gesture.press.gx, Gesture.press.gy, Gesture.previewX, Gesture.previewY);
        }
        painter.RubberBand(Gesture.press.gx, Gesture.press.gy, gx, gy);
        Gesture.previewX = gx;
        Gesture.previewY = gy;
    }
    return action;
}

PaneAction MoveMove(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter) {
    PaneAction action;
    if (PaletteArmed != 1) return action;
    const int i = DraggedElement(*ctx.net);
    if (i < 0) return action;
    painter.BeginNotXor();
    if (PreviewShown == 0) {
        PutDraggedElement(ctx.net, i, x, y);
        painter.DragPreview(true);
        PreviewShown = 1;
    } else {
        PutDraggedElement(ctx.net, i, Gesture.previewX, Gesture.previewY);
        painter.DragPreview(true);
        PutDraggedElement(ctx.net, i, x, y);
        painter.DragPreview(true);
    }
    Gesture.previewX = x;
    Gesture.previewY = y;
    return action;
}

PaneAction DrawPress(const PaneContext& ctx, PanePreviewPainter&) {
    PaneAction action;
    PreviewShown = 0;
    if (PaletteArmed == 1) {
        PlaceElement(ctx.net, PaletteKind, Gesture.press.gx, Gesture.press.gy, PaneCaption(ctx.pane), &action.messages);
        Saved(ctx, &action);
        PaletteArmed = 0;
        action.redrawPalette = true;
        return action;
    }
    WireInProgress = 1;
    return action;
}

PaneAction MovePress(const PaneContext& ctx, PanePreviewPainter& painter) {
    PaneAction action;
    ClearDragMarks(ctx.net);
    PaletteArmed = 1;
    PreviewShown = 0;
    const int i = HitElement(*ctx.net, Gesture.press.gx, Gesture.press.gy);
    if (i < 0) return action;
    NetworkElement& e = ctx.net->elements[i];
    e.drag = 1;
    const int wires = ClampedWireCount(*ctx.net);
    for (int j = 0; j < wires; ++j) {
        Wire& w = ctx.net->wires[j];
        if (w.x1 == e.x1 && w.y1 == e.y1) w.drag_tag = 1;
        if (w.x2 == e.x1 && w.y2 == e.y1) w.drag_tag = 2;
        if (w.x1 == e.x2 && w.y1 == e.y2) w.drag_tag = 3;
        if (w.x2 == e.x2 && w.y2 == e.y2) w.drag_tag = 4;
    }
    painter.BeginNotXor();
    painter.DragPreview(false);
    return action;
}

PaneAction DrawRelease(const PaneContext& ctx) {
    PaneAction action;
    PreviewShown = 0;
    if (WireInProgress != 1) return action;
    ProposeWire(ctx.net, Gesture.press.gx, Gesture.press.gy, Gesture.release.gx, Gesture.release.gy, PaneCaption(ctx.pane),
                &action.messages);
    Saved(ctx, &action);
    WireInProgress = 0;
    PaletteArmed = 0;
    return action;
}

PaneAction MoveRelease(const PaneContext& ctx) {
    PaneAction action;
    PreviewShown = 0;
    const int i = DraggedElement(*ctx.net);
    if (i >= 0) {
        PutDraggedElement(ctx.net, i, Gesture.release.gx, Gesture.release.gy);
        ClearDragMarks(ctx.net);
        RebuildJoints(ctx.net, &action.messages);
        Saved(ctx, &action);
    }
    PaletteArmed = 0;
    return action;
}

void AfterWipe(const PaneContext& ctx, PaneAction* action) {
    RebuildJoints(ctx.net, &action->messages);
    Saved(ctx, action);
    PaletteArmed = 0;
    WireInProgress = 0;
}

}  // namespace

PaneAction PaneMouseMove(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter) {
    if (EngineRunning.load() != 0 || !IsActive(ctx)) return {};
    Gesture.pointer.x = x;
    Gesture.pointer.y = y;
    Gesture.pointer.gx = SnapStoredX(x);
    Gesture.pointer.gy = SnapToGrid(y);
    if (EditTool == EditToolMove) return MoveMove(ctx, x, y, painter);
    if (EditTool == EditToolDraw) return DrawMove(ctx, x, y, painter);
    return {};
}

PaneAction PaneLeftDown(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter) {
    if (EngineRunning.load() != 0 || !IsActive(ctx)) return {};
    if (EditTool != EditToolMove && EditTool != EditToolDraw) return {};
    StoreGrid(&Gesture.press, x, y);
    if (EditTool == EditToolMove) return MovePress(ctx, painter);
    return DrawPress(ctx, painter);
}

PaneAction PaneLeftUp(const PaneContext& ctx, int x, int y, PanePreviewPainter&) {
    if (EngineRunning.load() != 0 || !IsActive(ctx)) return {};
    if (EditTool != EditToolMove && EditTool != EditToolDraw) return {};
    StoreGrid(&Gesture.release, x, y);
    if (EditTool == EditToolMove) return MoveRelease(ctx);
    return DrawRelease(ctx);
}

PaneAction PaneDoubleClick(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter) {
    PaneAction action;
    if (EngineRunning.load() != 0 || !IsActive(ctx)) return action;
    const int gx = SnapStoredX(x), gy = SnapToGrid(y);
    if (EditTool == EditToolWipeWire) {
        for (int i = 0; i < ClampedWireCount(*ctx.net); ++i) {
            if (!HitWire(ctx.net->wires[i], gx, gy)) continue;
            DeleteWireSlot(ctx.net, i);
            AfterWipe(ctx, &action);
        }
    } else if (EditTool == EditToolWipeComp) {
        for (int i = 0; i < ClampedElementCount(*ctx.net); ++i) {
            if (!ElementOnPoint(ctx.net->elements[i], gx, gy)) continue;
            DeleteElementSlot(ctx.net, i);
            AfterWipe(ctx, &action);
        }
    } else if (EditTool == EditToolDraw) {
        ActivePane = ctx.pane;
        LoadPaneIntoWorkingNetwork(ctx);
        EditTool = EditToolDraw;
        action.updateToolButtons = true;
        const int i = HitElement(*ctx.net, gx, gy);
        if (i >= 0) {
            const NetworkElement& e = ctx.net->elements[i];
            painter.SelectionSymbol(e.kind, e.x1, e.y1);
            SelectedElement = i;
            float* p = ctx.net->params[i].p;
            float* flag = nullptr;
            if (e.kind == FilterBlock || e.kind == RoomEqBlock) flag = &p[kParamBypass];
            if (e.kind == OutputPort) flag = &p[kParamPlotFlag];
            if (flag) *flag = (*flag == 1.0f) ? 0.0f : 1.0f;
            SaveWorkingNetworkIntoPane(ctx);
        }
        action.repaint = true;
        action.repaintAllPanes = true;
    }
    return action;
}

PaneAction PaneRightDown(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter) {
    PaneAction action;
    if (EngineRunning.load() != 0) return action;
    ActivePane = ctx.pane;
    LoadPaneIntoWorkingNetwork(ctx);
    EditTool = EditToolDraw;
    action.updateToolButtons = true;
    const int i = HitElement(*ctx.net, SnapStoredX(x), SnapToGrid(y));
    if (i >= 0) {
        const NetworkElement& e = ctx.net->elements[i];
        painter.SelectionSymbol(e.kind, e.x1, e.y1);
        SelectedElement = i;
        if (e.kind == InputTerminal || e.kind == FilterBlock || e.kind == OutputPort || e.kind == RoomEqBlock) {
            ModalDialogOpen = 1;
            action.dialogKind = e.kind;
        }
    }
    action.repaint = true;
    action.repaintAllPanes = true;
    return action;
}

void FinishElementDialog(const PaneContext& ctx) {
    SaveWorkingNetworkIntoPane(ctx);
    ModalDialogOpen = 0;
}
