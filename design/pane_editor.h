#pragma once
// The channel pane editor: the mouse gestures that draw and edit a channel's network in the WorkingNetwork,
// independent of any window system. The pane's window procedure translates its mouse messages into the calls
// below, draws the previews through a PanePreviewPainter and then does what the returned PaneAction asks
// (save is done here; repaints, message boxes and element dialogs are the window's).
#include <cstdint>

#include "app/messages.h"
#include "design/network_model.h"

inline constexpr int kGridStep = 10;
// Stored points keep x >= 10: a joint slot whose x is 0 is free, so a wire end at x = 0 would vanish.
inline constexpr int kMinStoredX = 10;

inline constexpr const char* kPaneCaptionLow = "Splitter W1";   // panes 1..6
inline constexpr const char* kPaneCaptionHigh = "Splitter W7";  // panes 7..9
inline constexpr const char* kInputNodeExists = "Input Node Exists";
inline constexpr const char* kRoomEqExists = "Room EQ Exists";
inline constexpr const char* kOverlappedTerminal = "Overlapped Terminal Detected";
inline constexpr const char* kElementTableFull = "No Room For Another Element (32 Elements Maximum)";
inline constexpr const char* kWireTableFull = "No Room For Another Wire (32 Wires Maximum)";

// The editing gesture state shared with the design panel's palette: the panel writes PaletteKind,
// PaletteArmed = 1, WireInProgress = 0 and EditTool = 1 on a palette click (ArmPalette does all four).
extern int PaletteKind;      // element kind 1..6 chosen in the palette, 0 before the first choice
extern int PaletteArmed;     // Draw: the next press places; Move: a drag is under way
extern int WireInProgress;   // a Draw press started a wire
extern int PreviewShown;     // the first preview image of the gesture stands
extern int SelectedElement;  // index in the WorkingNetwork of the element an element dialog edits

struct GesturePoint {
    int x = 0, y = 0;    // pixels
    int gx = 0, gy = 0;  // snapped grid point
};
struct PaneGesture {
    GesturePoint press, pointer, release;
    int previewX = 0, previewY = 0;
};
extern PaneGesture Gesture;

// Back to idle: nothing armed, no wire, no preview, points at 0.
void ResetPaneEditorState();
// The panel's palette click: arms placement of `kind` with the Draw tool.
void ArmPalette(int kind);

// (v + 5) / 10 * 10: 0..4 give 0, 5..14 give 10.
int SnapToGrid(int v);
// A snapped x as it is stored: at least kMinStoredX.
int SnapStoredX(int v);

// The caption of pane n's message boxes.
const char* PaneCaption(int pane);

// Terminal 2 of an element of `kind` whose terminal 1 is (x, y).
void TerminalTwoOf(int32_t kind, int32_t x, int32_t y, int32_t* x2, int32_t* y2);

// Whether the grid point lies on the element's symbol axis (a point kind: on its own point).
bool ElementOnPoint(const NetworkElement& e, int x, int y);
// First element slot (0 .. element count - 1) whose symbol axis holds the grid point, or -1.
int HitElement(const PaneRecord& net, int x, int y);
// Whether the grid point lies on wire slot i's hit area (its start row or its end column).
bool HitWire(const Wire& w, int x, int y);

// What the editor draws while a gesture runs. The window implements it with R2_NOTXORPEN / R2_NOT drawing
// straight into the pane; tests record the calls.
class PanePreviewPainter {
public:
    virtual ~PanePreviewPainter() = default;
    virtual void BeginNotXor() = 0;                                 // R2_NOTXORPEN
    virtual void BeginNot() = 0;                                    // R2_NOT
    virtual void OutlineSymbol(int kind, int x, int y) = 0;         // DrawXorElementSymbol
    virtual void RubberBand(int x0, int y0, int x1, int y1) = 0;    // the L path of a wire
    virtual void DragPreview(bool currentPen) = 0;                  // DrawDragPreview(CurrentPen)
    virtual void SelectionSymbol(int kind, int x, int y) = 0;       // DrawElementSymbol with SelectionPen
};

// The pane a message arrived at, and where its network lives.
struct PaneContext {
    int pane = 1;                 // 1..9
    PaneRecord* record = nullptr; // the pane's PaneRecord
    WorkingNetwork* net = nullptr;
};

// What the window does after the editor has handled a message. Saving has been done already.
struct PaneAction {
    bool repaint = false;             // invalidate this pane (with erase)
    bool repaintAllPanes = false;     // ... and every other open pane
    bool redrawPalette = false;       // DrawToolPalette on the panel
    bool updateToolButtons = false;   // UpdateToolButtons on the panel
    int dialogKind = 0;               // element kind whose dialog to run at SelectedElement, then FinishElementDialog
    MessageList messages;             // shown in order, owned by the pane
};

// LoadPaneNNetwork and SavePaneNNetwork with the editor's EditTool: the load makes the pane's stored tool the
// current one; the save stores the current one.
void LoadPaneIntoWorkingNetwork(const PaneContext& ctx);
void SaveWorkingNetworkIntoPane(const PaneContext& ctx);

// Mouse messages, (x, y) in pane pixels. Left-button messages act only in the active pane and return an
// empty action elsewhere; every one returns an empty action while EngineRunning is set.
PaneAction PaneMouseMove(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter);
PaneAction PaneLeftDown(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter);
PaneAction PaneLeftUp(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter);
PaneAction PaneDoubleClick(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter);
PaneAction PaneRightDown(const PaneContext& ctx, int x, int y, PanePreviewPainter& painter);
// After an element dialog, whatever its result: save, and ModalDialogOpen back to 0.
void FinishElementDialog(const PaneContext& ctx);

// The single edits, exposed for tests and the gestures above. Each works on the WorkingNetwork only.
// Placement of PaletteKind at a grid point: 0 placed, else 1 with the refusal in `messages`.
int PlaceElement(WorkingNetwork* net, int kind, int gx, int gy, const char* caption, MessageList* messages);
// A proposed wire: 1 when appended (joints rebuilt, their messages added), 0 when dropped. Only a full wire
// table is reported (with `caption`); the other drops are silent.
int ProposeWire(WorkingNetwork* net, int x1, int y1, int x2, int y2, const char* caption, MessageList* messages);
// Puts element i with its terminal 1 at (x, y) and moves the tagged wire ends with it.
void PutDraggedElement(WorkingNetwork* net, int i, int x, int y);
// Deletes wire slot i: later slots move down, slot 31 keeps its content, the count drops.
void DeleteWireSlot(PaneRecord* net, int i);
// Deletes element slot i with every wire on its terminals; the per-element tables are compacted.
void DeleteElementSlot(PaneRecord* net, int i);
