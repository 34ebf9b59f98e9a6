#include "design/design_presets.h"

#include "design/filter_families.h"

namespace {

constexpr int32_t kOut = OutputPort;
constexpr int32_t kIn = InputTerminal;
constexpr int32_t kBlock = FilterBlock;
constexpr int32_t kJunction = Junction;
constexpr int32_t kGround = Ground;

// Point elements repeat their terminal and node.
constexpr PresetElement Point(int32_t kind, int32_t x, int32_t y, int32_t node) {
    return PresetElement{kind, x, y, x, y, node, node};
}
// Filter blocks are horizontal 40-pixel symbols, terminal 1 on the left.
constexpr PresetElement Block(int32_t x, int32_t y, int32_t node1, int32_t node2) {
    return PresetElement{kBlock, x, y, x + 40, y, node1, node2};
}
// Output ports are vertical 40-pixel symbols, terminal 1 (signal) on top.
constexpr PresetElement Output(int32_t x, int32_t y, int32_t node1, int32_t node2) {
    return PresetElement{kOut, x, y, x, y + 40, node1, node2};
}

constexpr PresetElement kFourWayElements[] = {
    Point(kIn, 20, 140, 0),          Block(30, 140, 0, 1),        Block(100, 140, 1, 2),
    Point(kJunction, 170, 140, 2),   Block(180, 140, 2, 4),       Block(250, 140, 4, 13),
    Output(330, 140, 13, 8),         Block(180, 240, 2, 5),       Block(250, 240, 5, 6),
    Output(330, 240, 6, 9),          Block(180, 40, 2, 3),        Block(250, 40, 3, 12),
    Output(330, 40, 12, 7),          Point(kGround, 330, 100, 7), Point(kGround, 330, 200, 8),
    Point(kGround, 330, 300, 9),     Block(180, 340, 2, 10),      Block(250, 340, 10, 14),
    Output(330, 340, 14, 11),        Point(kGround, 330, 400, 11),
};
constexpr PresetWire kFourWayWires[] = {
    {20, 140, 30, 140},   {70, 140, 100, 140},  {140, 140, 170, 140}, {170, 140, 180, 140}, {220, 40, 250, 40},
    {220, 140, 250, 140}, {220, 240, 250, 240}, {290, 240, 330, 240}, {330, 80, 330, 100},  {330, 180, 330, 200},
    {330, 280, 330, 300}, {180, 40, 180, 140},  {180, 140, 180, 340}, {180, 240, 180, 340}, {220, 340, 250, 340},
    {330, 380, 330, 400}, {290, 40, 330, 40},   {290, 140, 330, 140}, {290, 340, 330, 340},
};

constexpr PresetElement kThreeWayElements[] = {
    Point(kIn, 20, 140, 0),        Block(30, 140, 0, 1),        Block(100, 140, 1, 2),
    Point(kJunction, 170, 140, 2), Block(180, 140, 2, 4),       Block(250, 140, 4, 10),
    Output(330, 140, 10, 7),       Block(180, 240, 2, 5),       Block(250, 240, 5, 11),
    Output(330, 240, 11, 8),       Block(180, 40, 2, 3),        Block(250, 40, 3, 9),
    Output(330, 40, 9, 6),         Point(kGround, 330, 100, 6), Point(kGround, 330, 200, 7),
    Point(kGround, 330, 300, 8),
};
constexpr PresetWire kThreeWayWires[] = {
    {20, 140, 30, 140},  {70, 140, 100, 140},  {140, 140, 170, 140}, {170, 140, 180, 140}, {180, 40, 170, 140},
    {180, 240, 170, 140}, {220, 40, 250, 40},  {220, 140, 250, 140}, {220, 240, 250, 240}, {330, 80, 330, 100},
    {330, 180, 330, 200}, {330, 280, 330, 300}, {290, 40, 330, 40},  {290, 140, 330, 140}, {290, 240, 330, 240},
};

constexpr PresetElement kTwoWayElements[] = {
    Point(kIn, 20, 90, 0),        Block(30, 90, 0, 1),        Block(100, 90, 1, 2),       Point(kJunction, 170, 90, 2),
    Block(180, 30, 2, 3),         Block(180, 130, 2, 4),      Block(250, 30, 3, 7),       Block(250, 130, 4, 8),
    Output(330, 30, 7, 5),        Output(330, 130, 8, 6),     Point(kGround, 330, 90, 5), Point(kGround, 330, 190, 6),
};
constexpr PresetWire kTwoWayWires[] = {
    {20, 90, 30, 90},    {70, 90, 100, 90},   {140, 90, 170, 90},  {180, 30, 170, 90},
    {180, 130, 170, 90}, {220, 30, 250, 30},  {220, 130, 250, 130}, {330, 70, 330, 90},
    {330, 170, 330, 190}, {290, 30, 330, 30}, {290, 130, 330, 130},
};

constexpr PresetElement kOneWayElements[] = {
    Point(kIn, 20, 70, 0), Block(30, 70, 0, 1),   Block(100, 70, 1, 2),       Block(180, 70, 2, 3),
    Block(250, 70, 3, 5),  Output(330, 70, 5, 4), Point(kGround, 330, 130, 4),
};
constexpr PresetWire kOneWayWires[] = {
    {20, 70, 30, 70}, {70, 70, 100, 70}, {140, 70, 180, 70}, {220, 70, 250, 70}, {330, 110, 330, 130}, {290, 70, 330, 70},
};

constexpr PresetElement kSubElements[] = {
    Point(kIn, 20, 30, 0), Block(30, 30, 0, 1), Block(90, 30, 1, 2), Output(130, 100, 2, 3), Point(kGround, 130, 150, 3),
};
constexpr PresetWire kSubWires[] = {
    {20, 30, 30, 30}, {70, 30, 90, 30}, {130, 30, 130, 100}, {130, 140, 130, 150},
};

constexpr PresetElement kCabsElements[] = {
    Point(kIn, 20, 30, 0),  Block(30, 30, 0, 1),  Block(90, 30, 1, 2),  Output(130, 100, 2, 3), Point(kGround, 130, 150, 3),
    Block(30, 270, 0, 4),   Block(90, 270, 4, 5), Output(130, 340, 5, 6), Point(kGround, 130, 390, 6),
};
constexpr PresetWire kCabsWires[] = {
    {20, 30, 30, 30},  {70, 30, 90, 30},  {130, 30, 130, 100},  {130, 140, 130, 150},
    {30, 270, 20, 30}, {70, 270, 90, 270}, {130, 270, 130, 340}, {130, 380, 130, 390},
};

const PresetNetwork kBlankNetwork{"Blank", 0, {}, {}};
const PresetNetwork kOneWayNetwork{"One-way", 6, kOneWayElements, kOneWayWires};
const PresetNetwork kTwoWayNetwork{"Two-way", 9, kTwoWayElements, kTwoWayWires};
const PresetNetwork kThreeWayNetwork{"Three-way", 12, kThreeWayElements, kThreeWayWires};
const PresetNetwork kFourWayNetwork{"Four-way", 15, kFourWayElements, kFourWayWires};
const PresetNetwork kSubNetwork{"Subwoofer", 4, kSubElements, kSubWires};
const PresetNetwork kCabsNetwork{"CABS", 7, kCabsElements, kCabsWires};

// ---- Two-way parameter sets ---------------------------------------------------------------------------------

constexpr int kTwoWayPanes = 6;
constexpr float kTwoWayCrossoverHz[kTwoWayPanes] = {1000.0f, 2000.0f, 1000.0f, 5000.0f, 500.0f, 6000.0f};

// Element roles on the two-way network.
constexpr int kTwoWayInput = 0;
constexpr int kTwoWayEqualizers[] = {1, 2};
constexpr int kTwoWayUpperBlocks[] = {4, 6};
constexpr int kTwoWayLowerBlocks[] = {5, 7};
constexpr int kTwoWayUpperOutput = 8;
constexpr int kTwoWayLowerOutput = 9;

// ---- System Design commands ---------------------------------------------------------------------------------

using G = PresetGroup;
using W = PresetPortWrite;
using N = PresetNetworkId;

constexpr W In(int pane, int input) { return W{pane, input, 0, {}, {}}; }
constexpr W In(int pane, int input, int e0, int o0) { return W{pane, input, 1, {e0}, {o0}}; }
constexpr W In(int pane, int input, int e0, int o0, int e1, int o1) { return W{pane, input, 2, {e0, e1}, {o0, o1}}; }
constexpr W In(int pane, int input, int e0, int o0, int e1, int o1, int e2, int o2) {
    return W{pane, input, 3, {e0, e1, e2}, {o0, o1, o2}};
}
constexpr W In(int pane, int input, int e0, int o0, int e1, int o1, int e2, int o2, int e3, int o3) {
    return W{pane, input, 4, {e0, e1, e2, e3}, {o0, o1, o2, o3}};
}

// 202 "Stereo 2 x 2 Way"
constexpr G k202Groups[] = {{N::TwoWay, false, 2, {1, 3}}};
constexpr W k202Ports[] = {In(1, 1, 8, 1, 9, 2), In(3, 3, 8, 3, 9, 4)};
// 200 "Stereo 2 x 3 Way"
constexpr G k200Groups[] = {{N::ThreeWay, false, 2, {1, 3}}};
constexpr W k200Ports[] = {In(1, 1, 6, 2, 9, 3, 12, 1), In(3, 3, 6, 5, 9, 6, 12, 4)};
// 201 "Stereo 2 x 4 Way"
constexpr G k201Groups[] = {{N::FourWay, false, 1, {1}}, {N::FourWay, false, 1, {3}}};
constexpr W k201Ports[] = {In(1, 1, 6, 2, 9, 3, 12, 1, 18, 4), In(3, 3, 6, 6, 9, 7, 12, 5, 18, 8)};
// 239 "Stereo 2 x 2 Way + Subs"
constexpr G k239Groups[] = {{N::TwoWay, false, 2, {1, 3}}, {N::Sub, false, 2, {5, 7}}};
constexpr W k239Ports[] = {In(1, 1, 8, 1, 9, 2), In(3, 3, 8, 3, 9, 4), In(5, 1, 3, 7), In(7, 3, 3, 8)};
// 210 "Home Theatre 1"
constexpr G k210Groups[] = {{N::TwoWay, false, 2, {1, 3}}, {N::OneWay, false, 4, {2, 5, 4, 6}}};
constexpr W k210Ports[] = {In(1, 1, 8, 1, 9, 2), In(3, 3, 8, 3, 9, 4), In(2, 2, 5, 5),
                           In(4, 4, 5, 6),       In(5, 5, 5, 7),       In(6, 6, 5, 8)};
// 211 "Home Theatre 2"
constexpr G k211Groups[] = {{N::TwoWay, false, 3, {1, 2, 3}}, {N::TwoWay, false, 2, {4, 6}}, {N::OneWay, false, 1, {5}}};
constexpr W k211Ports[] = {In(1, 1, 8, 1, 9, 2), In(2, 2, 8, 3, 9, 4),   In(3, 3, 8, 5, 9, 6),
                           In(4, 4, 8, 7, 9, 8), In(6, 6, 8, 10, 9, 11), In(5, 5, 5, 9)};
// 212 "Home Theatre 3"
constexpr G k212Groups[] = {{N::ThreeWay, false, 3, {1, 2, 3}}, {N::TwoWay, false, 2, {4, 6}}, {N::OneWay, false, 1, {5}}};
constexpr W k212Ports[] = {In(1, 1, 6, 2, 9, 3, 12, 1), In(2, 2, 6, 5, 9, 6, 12, 4), In(3, 3, 6, 8, 9, 9, 12, 7),
                           In(4, 4, 8, 10, 9, 11),      In(6, 6, 8, 13, 9, 14),      In(5, 5, 5, 12)};
// 213 "Home Theatre 4"
constexpr G k213Groups[] = {{N::ThreeWay, false, 3, {1, 2, 3}}, {N::ThreeWay, false, 2, {4, 6}}, {N::OneWay, false, 1, {5}}};
constexpr W k213Ports[] = {In(1, 1, 6, 2, 9, 3, 12, 1),    In(2, 2, 6, 5, 9, 6, 12, 4),    In(3, 3, 6, 8, 9, 9, 12, 7),
                           In(4, 4, 6, 11, 9, 12, 12, 10), In(6, 6, 6, 15, 9, 16, 12, 14), In(5, 5, 5, 13)};
// 214 "Home Theatre 5: FL4-C3-FR4-RR2-SUB1-RL2"
constexpr G k214Groups[] = {{N::FourWay, false, 2, {1, 3}},
                            {N::ThreeWay, false, 1, {2}},
                            {N::TwoWay, false, 2, {4, 6}},
                            {N::OneWay, false, 1, {5}}};
constexpr W k214Ports[] = {In(1, 1, 6, 2, 9, 3, 12, 1, 18, 4), In(3, 3, 6, 9, 9, 10, 12, 8, 18, 11),
                           In(2, 2, 6, 6, 9, 7, 12, 5),        In(4, 4, 8, 12, 9, 13),
                           In(6, 6, 8, 15, 9, 16),             In(5, 5, 5, 14)};
// 220 "Home Theatre 5: 6 x 1 Way"
constexpr G k220Groups[] = {{N::OneWay, false, 6, {1, 2, 3, 4, 5, 6}}};
constexpr W k220Ports[] = {In(1, 1, 5, 1), In(2, 2, 5, 2), In(3, 3, 5, 3),
                           In(4, 4, 5, 4), In(5, 5, 5, 5), In(6, 6, 5, 6)};
// 221 "Home Theatre 6: 6 x 2 Way": each pane its own two-way set, no port writes.
constexpr G k221Groups[] = {{N::TwoWay, true, 1, {1}}, {N::TwoWay, true, 1, {2}}, {N::TwoWay, true, 1, {3}},
                            {N::TwoWay, true, 1, {4}}, {N::TwoWay, true, 1, {5}}, {N::TwoWay, true, 1, {6}}};
// 236 "BBM Home Theatre 2"
constexpr G k236Groups[] = {{N::TwoWay, false, 3, {1, 2, 3}}, {N::TwoWay, false, 2, {4, 6}}, {N::Sub, false, 2, {5, 7}}};
constexpr W k236Ports[] = {In(1, 1, 8, 1, 9, 2), In(2, 2, 8, 3, 9, 4),   In(3, 3, 8, 5, 9, 6),
                           In(4, 4, 8, 7, 9, 8), In(6, 6, 8, 11, 9, 12), In(5, 5, 3, 9), In(7, 5, 3, 10)};
// 237 "7.2 Home Theatre + BBM"
constexpr G k237Groups[] = {{N::TwoWay, false, 3, {1, 2, 3}},
                            {N::TwoWay, false, 2, {8, 9}},
                            {N::TwoWay, false, 2, {4, 6}},
                            {N::Sub, false, 2, {5, 7}}};
constexpr W k237Ports[] = {In(1, 1, 8, 1, 9, 2),   In(2, 2, 8, 3, 9, 4),   In(3, 3, 8, 5, 9, 6),
                           In(8, 4, 8, 7, 9, 8),   In(9, 6, 8, 9, 9, 10),  In(4, 7, 8, 11, 9, 12),
                           In(6, 8, 8, 13, 9, 14), In(5, 5, 3, 15),        In(7, 5, 3, 16)};
// 238 "7.2 Home Theatre + BBM + CABS"
constexpr G k238Groups[] = {{N::TwoWay, false, 3, {1, 2, 3}},
                            {N::Sub, false, 2, {8, 9}},
                            {N::TwoWay, false, 2, {4, 6}},
                            {N::Cabs, false, 2, {5, 7}}};
constexpr W k238Ports[] = {In(1, 1, 8, 1, 9, 2),   In(2, 2, 8, 3, 9, 4),          In(3, 3, 8, 5, 9, 6),
                           In(8, 4, 3, 7),         In(9, 6, 3, 8),                In(4, 7, 8, 9, 9, 10),
                           In(6, 8, 8, 11, 9, 12), In(5, 5, 3, 13, 7, 14),        In(7, 5, 3, 15, 7, 16)};
// Blank presets: the reset working network into the configuration's panes.
constexpr G k230Groups[] = {{N::Blank, false, 2, {1, 3}}};
constexpr G k231Groups[] = {{N::Blank, false, 6, {1, 2, 3, 4, 5, 6}}};
constexpr G k232Groups[] = {{N::Blank, false, 4, {1, 3, 4, 6}}};
constexpr G k235Groups[] = {{N::Blank, false, 7, {1, 2, 3, 4, 5, 6, 7}}};

const DesignPreset kDesignPresets[] = {
    {202, "Stereo 2 x 2 Way (Delta1010LT)", 0, kBassModeUnchanged, "Splitter1", false, false, k202Groups, k202Ports},
    {200, "Stereo 2 x 3 Way (Delta1010LT)", 0, kBassModeUnchanged, "Splitter1", false, false, k200Groups, k200Ports},
    {201, "Stereo 2 x 4 Way (Delta1010LT)", 0, kBassModeUnchanged, "Splitter1", false, false, k201Groups, k201Ports},
    {239, "Stereo 2 x 2 Way + Subs", 6, kBassModeUnchanged, "Splitter5", true, false, k239Groups, k239Ports},
    {210, "Home Theatre 1: FL2-C1-FR2-RR1-SUB1-RL1 (Delta1010LT)", 1, kBassModeUnchanged, "Splitter", false, false,
     k210Groups, k210Ports},
    {211, "Home Theatre 2: FL2-C2-FR2-RR2-SUB1-RL2", 1, kBassModeUnchanged, "Splitter", false, false, k211Groups,
     k211Ports},
    {212, "Home Theatre 3: FL3-C3-FR3-RR2-SUB1-RL2", 1, kBassModeUnchanged, "Splitter", false, false, k212Groups,
     k212Ports},
    {213, "Home Theatre 4: FL3-C3-FR3-RR3-SUB1-RL3", 1, kBassModeUnchanged, "Splitter", false, false, k213Groups,
     k213Ports},
    {214, "Home Theatre 5: FL4-C3-FR4-RR2-SUB1-RL2", 1, kBassModeUnchanged, "Splitter", false, false, k214Groups,
     k214Ports},
    {220, "Home Theatre 5: 6 x 1 Way (Delta1010LT)", 1, kBassModeUnchanged, "Splitter", false, false, k220Groups,
     k220Ports},
    {221, "Home Theatre 6: 6 x 2 Way", 1, kBassModeUnchanged, "Splitter", false, true, k221Groups, {}},
    {236, "BBM Home Theatre 2: FL2-C2-FR2-RR2-SUB1-SUB2-RL2", 3, kBassModeUnchanged, "Splitter3", false, false,
     k236Groups, k236Ports},
    {237, "7.2 Home Theatre + BBM", 4, 1, "Splitter4", false, false, k237Groups, k237Ports},
    {238, "7.2 Home Theatre + BBM + CABS", 5, 3, "Splitter4", false, false, k238Groups, k238Ports},
    {230, "BLANK Stereo", 0, kBassModeUnchanged, "Splitter1", true, false, k230Groups, {}},
    {231, "BLANK Home Theatre", 1, kBassModeUnchanged, "Splitter", true, false, k231Groups, {}},
    {232, "BLANK Quadro", 2, kBassModeUnchanged, "Splitter2", true, false, k232Groups, {}},
    {235, "Blank 5.2 BBM", 3, kBassModeUnchanged, "Splitter3", true, false, k235Groups, {}},
};

PaneRecord* PaneOf(PaneRecord* const panes[kPaneCount], int pane) {
    return pane >= 1 && pane <= kPaneCount ? panes[pane - 1] : nullptr;
}

}  // namespace

const PresetNetwork& GetPresetNetwork(PresetNetworkId id) {
    switch (id) {
        case PresetNetworkId::OneWay: return kOneWayNetwork;
        case PresetNetworkId::TwoWay: return kTwoWayNetwork;
        case PresetNetworkId::ThreeWay: return kThreeWayNetwork;
        case PresetNetworkId::FourWay: return kFourWayNetwork;
        case PresetNetworkId::Sub: return kSubNetwork;
        case PresetNetworkId::Cabs: return kCabsNetwork;
        case PresetNetworkId::Blank: break;
    }
    return kBlankNetwork;
}

int LoadPresetNetwork(WorkingNetwork* net, PresetNetworkId id) {
    if (id == PresetNetworkId::Blank) return 0;
    const PresetNetwork& preset = GetPresetNetwork(id);
    net->joint_count = static_cast<uint32_t>(preset.node_count);
    net->element_count = static_cast<uint32_t>(preset.elements.size());
    net->wire_count = static_cast<uint32_t>(preset.wires.size());
    net->edit_tool = EditToolDraw;
    for (size_t i = 0; i < preset.elements.size(); ++i) {
        const PresetElement& p = preset.elements[i];
        NetworkElement& e = net->elements[i];
        e.x1 = p.x1;
        e.y1 = p.y1;
        e.x2 = p.x2;
        e.y2 = p.y2;
        e.kind = p.kind;
        e.node1 = p.node1;
        e.node2 = p.node2;
    }
    for (size_t w = 0; w < preset.wires.size(); ++w) {
        const PresetWire& p = preset.wires[w];
        Wire& wire = net->wires[w];
        wire.x1 = p.x1;
        wire.y1 = p.y1;
        wire.x2 = p.x2;
        wire.y2 = p.y2;
    }
    return 0;
}

int LoadFourWayNetwork(WorkingNetwork* net) { return LoadPresetNetwork(net, PresetNetworkId::FourWay); }
int LoadThreeWayNetwork(WorkingNetwork* net) { return LoadPresetNetwork(net, PresetNetworkId::ThreeWay); }
int LoadTwoWayNetwork(WorkingNetwork* net) { return LoadPresetNetwork(net, PresetNetworkId::TwoWay); }
int LoadOneWayNetwork(WorkingNetwork* net) { return LoadPresetNetwork(net, PresetNetworkId::OneWay); }
int LoadSubNetwork(WorkingNetwork* net) { return LoadPresetNetwork(net, PresetNetworkId::Sub); }
int LoadCabsNetwork(WorkingNetwork* net) { return LoadPresetNetwork(net, PresetNetworkId::Cabs); }

float TwoWayCrossoverHz(int pane) { return pane >= 1 && pane <= kTwoWayPanes ? kTwoWayCrossoverHz[pane - 1] : 0.0f; }

int SetPaneTwoWayBlocks(WorkingNetwork* net, int pane) {
    if (pane < 1 || pane > kTwoWayPanes) return 0;
    const float fc = kTwoWayCrossoverHz[pane - 1];
    net->params[kTwoWayInput].p[kParamInputPort] = static_cast<float>(pane);
    for (int e : kTwoWayEqualizers) {
        float* p = net->params[e].p;
        p[kParamFilterFamily] = static_cast<float>(kFamilyQParametric);
        p[kFilterParamQOrRatio] = 0.0f;
        p[kFilterParamGainDb] = 0.0f;
    }
    for (int e : kTwoWayUpperBlocks) {
        float* p = net->params[e].p;
        p[kParamFilterFamily] = static_cast<float>(kFamilyButterworth);
        p[kParamFilterSlope] = static_cast<float>(kSlopeHp6);
        p[kParamFilterFrequency] = fc;
        p[kParamOutputGain] = 0.0f;
    }
    for (int e : kTwoWayLowerBlocks) {
        float* p = net->params[e].p;
        p[kParamFilterFamily] = static_cast<float>(kFamilyButterworth);
        p[kParamFilterSlope] = static_cast<float>(kSlopeLp6);
        p[kParamFilterFrequency] = fc;
        p[kParamOutputGain] = 0.0f;
    }
    float* upper = net->params[kTwoWayUpperOutput].p;
    upper[kParamOutputNumber] = static_cast<float>(2 * pane - 1);
    upper[kParamLowEdge] = 500.0f;
    upper[kParamHighEdge] = 15000.0f;
    upper[kParamPlotFlag] = 1.0f;
    upper[kParamPolarity] = 1.0f;
    float* lower = net->params[kTwoWayLowerOutput].p;
    lower[kParamOutputNumber] = static_cast<float>(2 * pane);
    lower[kParamLowEdge] = 100.0f;
    lower[kParamHighEdge] = 5000.0f;
    lower[kParamPlotFlag] = 1.0f;
    lower[kParamPolarity] = 1.0f;
    return 0;
}

int SetPane1TwoWayBlocks(WorkingNetwork* net) { return SetPaneTwoWayBlocks(net, 1); }
int SetPane2TwoWayBlocks(WorkingNetwork* net) { return SetPaneTwoWayBlocks(net, 2); }
int SetPane3TwoWayBlocks(WorkingNetwork* net) { return SetPaneTwoWayBlocks(net, 3); }
int SetPane4TwoWayBlocks(WorkingNetwork* net) { return SetPaneTwoWayBlocks(net, 4); }
int SetPane5TwoWayBlocks(WorkingNetwork* net) { return SetPaneTwoWayBlocks(net, 5); }
int SetPane6TwoWayBlocks(WorkingNetwork* net) { return SetPaneTwoWayBlocks(net, 6); }

std::span<const DesignPreset> DesignPresets() { return kDesignPresets; }

bool PresetIsBlank(const DesignPreset& preset) {
    if (preset.groups.empty()) return false;
    for (const PresetGroup& g : preset.groups)
        if (g.network != PresetNetworkId::Blank) return false;
    return true;
}

const DesignPreset* FindDesignPreset(int command_id) {
    for (const DesignPreset& p : kDesignPresets)
        if (p.command_id == command_id) return &p;
    return nullptr;
}

void BuildDesignPreset(const DesignPreset& preset, WorkingNetwork* net, PaneRecord* const panes[kPaneCount]) {
    ClearAllPaneRecords(panes);
    ResetWorkingNetwork(net);
    for (const PresetGroup& group : preset.groups) {
        if (group.two_way_sets) {
            // Each pane gets its own parameter set, so each is built afresh.
            for (int i = 0; i < group.pane_count; ++i) {
                ResetWorkingNetwork(net);
                LoadPresetNetwork(net, group.network);
                SetPaneTwoWayBlocks(net, group.panes[i]);
                if (PaneRecord* pane = PaneOf(panes, group.panes[i])) SavePaneNetwork(*net, pane);
            }
            continue;
        }
        ResetWorkingNetwork(net);
        LoadPresetNetwork(net, group.network);
        for (int i = 0; i < group.pane_count; ++i)
            if (PaneRecord* pane = PaneOf(panes, group.panes[i])) SavePaneNetwork(*net, pane);
    }
    for (const PresetPortWrite& write : preset.port_writes) {
        PaneRecord* pane = PaneOf(panes, write.pane);
        if (!pane) continue;
        pane->params[0].p[kParamInputPort] = static_cast<float>(write.input_port);
        for (int k = 0; k < write.output_count; ++k)
            pane->params[write.elements[k]].p[kParamOutputNumber] = static_cast<float>(write.outputs[k]);
    }
    net->edit_tool = EditToolDraw;  // after every design change the Draw tool is current
}

void BuildDefaultDesign(WorkingNetwork* net, PaneRecord* const panes[kPaneCount]) {
    ClearAllPaneRecords(panes);
    for (int pane : {1, 3}) {
        ResetWorkingNetwork(net);
        LoadTwoWayNetwork(net);
        SetPaneTwoWayBlocks(net, pane);
        if (PaneRecord* record = PaneOf(panes, pane)) SavePaneNetwork(*net, record);
    }
    net->edit_tool = EditToolDraw;
}
