#pragma once
// What a channel pane writes beside its symbols: the parameter labels of each element, the node numbers,
// the pane's name and the tool-button states. The painter only draws what these give.
#include <cstdint>
#include <string>
#include <vector>

#include "design/network_model.h"

enum class LabelFont { Large, Small, Tiny };

// Colours as the three bytes of a COLORREF: red | green << 8 | blue << 16.
constexpr uint32_t LabelRgb(int r, int g, int b) {
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}
inline constexpr uint32_t kBlackText = LabelRgb(0, 0, 0);
inline constexpr uint32_t kDarkRedText = LabelRgb(128, 0, 0);
inline constexpr uint32_t kNavyText = LabelRgb(0, 0, 128);
inline constexpr uint32_t kLabelGreen = LabelRgb(0, 128, 0);
inline constexpr uint32_t kOutputNumberRed = LabelRgb(164, 0, 0);
inline constexpr uint32_t kInputNumberGreen = LabelRgb(0, 164, 0);
inline constexpr uint32_t kActiveNameRed = LabelRgb(228, 0, 0);
inline constexpr uint32_t kNodeNumberColour = LabelRgb(128, 0, 0);

struct SchematicLabel {
    std::string text;
    LabelFont font;
    uint32_t colour;
    int x, y;
};

// The labels of element slot i of a record, in drawing order; none for a Junction, a Ground or another kind.
std::vector<SchematicLabel> ElementLabels(const PaneRecord& r, int i);

// Every element's labels, walking the element list (at most 32 slots).
std::vector<SchematicLabel> PaneElementLabels(const PaneRecord& r);

// The node numbers of element slot i ("%d" of each node that is 0 or above), in SmallLabelFont.
std::vector<SchematicLabel> ElementNodeNumbers(const NetworkElement& e);
std::vector<SchematicLabel> PaneNodeNumbers(const PaneRecord& r);

// The name pane n shows; panes 5 and 7 take theirs from BassMode. nullptr: no name.
const char* PaneName(int pane, uint32_t bassMode);
// Red for the active pane, green for the others.
uint32_t PaneNameColour(int pane, int activePane);

#include "design/filter_names.h"

// The check state of the panel's tool buttons "Draw" (1002), "Move" (1007), "Wipe Comp" (1008) and
// "Wipe Wire" (1016) for an EditTool value.
struct ToolButtonState {
    int id;
    bool checked;
};
inline constexpr int kToolButtonDraw = 1002;
inline constexpr int kToolButtonMove = 1007;
inline constexpr int kToolButtonWipeComp = 1008;
inline constexpr int kToolButtonWipeWire = 1016;
std::vector<ToolButtonState> ToolButtonStates(int editTool);

// The palette: six 40-px boxes, one per element kind from top to bottom, and where each symbol stands.
struct PalettePoint {
    int kind, x, y;
};
inline constexpr PalettePoint kPalettePoints[6] = {{OutputPort, 20, 0}, {InputTerminal, 20, 60}, {FilterBlock, 0, 100},
                                                    {Junction, 20, 140}, {Ground, 20, 180}, {RoomEqBlock, 0, 220}};
