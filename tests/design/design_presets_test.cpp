#include "design/design_presets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "design/network_solver.h"
#include "design/network_test_support.h"
#include "design/network_validation.h"

using namespace nettest;

namespace {

constexpr PresetNetworkId kAllNetworks[] = {PresetNetworkId::OneWay, PresetNetworkId::TwoWay,
                                            PresetNetworkId::ThreeWay, PresetNetworkId::FourWay,
                                            PresetNetworkId::Sub, PresetNetworkId::Cabs};

// What a pane routes: its input port and the output numbers of its output ports, in element order.
struct PaneRoute {
    int input = 0;
    std::vector<int> outputs;
    bool operator==(const PaneRoute&) const = default;
};

PaneRoute RouteOf(const PaneRecord& pane) {
    PaneRoute r;
    for (int i = 0; i < ElementListLength(pane); ++i) {
        if (pane.elements[i].kind == InputTerminal && r.input == 0) r.input = static_cast<int>(pane.params[i].p[kParamInputPort]);
        if (pane.elements[i].kind == OutputPort) r.outputs.push_back(static_cast<int>(pane.params[i].p[kParamOutputNumber]));
    }
    return r;
}

// Validates and solves every pane that holds a network; returns the panes that do.
std::vector<int> CheckEveryPaneValidatesAndSolves(Panes& panes, WorkingNetwork* net) {
    std::vector<int> used;
    int32_t routing[kRoutingMatrixRows][kRoutingMatrixColumns];
    uint32_t flags[kCurveViewFlagCount];
    std::fill(flags, flags + kCurveViewFlagCount, 1);
    auto buf = std::make_unique<SolverBuffers>(512);
    ValidationContext context;
    context.panes = panes.Const();
    context.output_mode = kOutputModeSixteen;
    context.routing_matrix = routing;
    context.curve_view_flags = flags;
    context.curves = buf->curves;
    for (int p = 1; p <= kPaneCount; ++p) {
        if (ElementListLength(panes[p]) == 0) continue;
        used.push_back(p);
        SCOPED_TRACE(::testing::Message() << "pane " << p);
        LoadPaneNetwork(panes[p], net);
        MessageList messages;
        EXPECT_EQ(ValidateNetwork(*net, context, &messages), 0);
        EXPECT_TRUE(messages.empty()) << (messages.empty() ? "" : messages[0].text);
        EXPECT_EQ(SolveNetwork(net, buf->in, buf->out, &messages), 0);
    }
    return used;
}

}  // namespace

TEST(DesignPresets, RebuildingTheJointsOfEveryNetworkGivesItsNodeGrouping) {
    auto net = Alloc<WorkingNetwork>();
    for (PresetNetworkId id : kAllNetworks) {
        const PresetNetwork& preset = GetPresetNetwork(id);
        SCOPED_TRACE(preset.name);
        ResetWorkingNetwork(net.get());
        LoadPresetNetwork(net.get(), id);
        const int len = static_cast<int>(preset.elements.size());
        ASSERT_EQ(ElementListLength(*net), len);
        std::vector<int> given;
        for (int i = 0; i < len; ++i) {
            given.push_back(net->elements[i].node1);
            given.push_back(net->elements[i].node2);
        }
        MessageList messages;
        ASSERT_EQ(RebuildJoints(net.get(), &messages), 0);
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(static_cast<int>(net->joint_count), preset.node_count);
        std::vector<int> rebuilt;
        for (int i = 0; i < len; ++i) {
            rebuilt.push_back(net->elements[i].node1);
            rebuilt.push_back(net->elements[i].node2);
        }
        for (int a : rebuilt) EXPECT_GE(a, 0);
        // Same grouping: two terminals share a node in one numbering exactly when they do in the other.
        for (size_t a = 0; a < given.size(); ++a)
            for (size_t b = 0; b < given.size(); ++b)
                ASSERT_EQ(given[a] == given[b], rebuilt[a] == rebuilt[b]) << "terminals " << a << ", " << b;
        // Every node number of the preset is used, the input terminal is node 0.
        std::set<int> nodes(given.begin(), given.end());
        EXPECT_EQ(static_cast<int>(nodes.size()), preset.node_count);
        EXPECT_EQ(*nodes.rbegin(), preset.node_count - 1);
        EXPECT_EQ(net->elements[0].kind, InputTerminal);
        EXPECT_EQ(net->elements[0].node1, 0);
        // Every wire joins two terminals, as the editor would demand.
        for (const PresetWire& w : preset.wires) EXPECT_EQ(WireEndsOnTerminals(*net, w.x1, w.y1, w.x2, w.y2), 1);
    }
}

TEST(DesignPresets, ANetworkRoutineWritesOnlyTheTopology) {
    auto before = NewNetwork();
    auto net = NewNetwork();
    LoadFourWayNetwork(net.get());
    EXPECT_EQ(net->joint_count, 15u);
    EXPECT_EQ(net->element_count, 20u);
    EXPECT_EQ(net->wire_count, 19u);
    EXPECT_EQ(net->edit_tool, 1u);
    EXPECT_EQ(std::memcmp(net->params, before->params, sizeof net->params), 0);
    EXPECT_EQ(std::memcmp(net->joints, before->joints, sizeof net->joints), 0);
    for (int i = 0; i < kMaxElements; ++i) {
        EXPECT_EQ(net->elements[i].node3, -1);
        EXPECT_EQ(net->elements[i].x3, 0);
        EXPECT_EQ(net->elements[i].drag, 0);
    }
    for (int w = 0; w < kMaxWires; ++w) EXPECT_EQ(net->wires[w].drag_tag, 0);
    EXPECT_STREQ(net->driver_file_title[6], "No File Loaded");
    // Geometry of the kinds: blocks horizontal, outputs vertical, points on themselves.
    EXPECT_EQ(net->elements[5].x2, 290);
    EXPECT_EQ(net->elements[6].y2, 180);
    EXPECT_EQ(net->elements[13].x2, 330);
    EXPECT_EQ(net->elements[13].y2, 100);
}

TEST(DesignPresets, TwoWayParameterSets) {
    for (int pane = 1; pane <= 6; ++pane) {
        SCOPED_TRACE(pane);
        auto net = NewNetwork();
        LoadTwoWayNetwork(net.get());
        int (*sets[])(WorkingNetwork*) = {SetPane1TwoWayBlocks, SetPane2TwoWayBlocks, SetPane3TwoWayBlocks,
                                         SetPane4TwoWayBlocks, SetPane5TwoWayBlocks, SetPane6TwoWayBlocks};
        EXPECT_EQ(sets[pane - 1](net.get()), 0);
        const float fc[] = {1000, 2000, 1000, 5000, 500, 6000};
        auto p = [&](int e, int k) { return net->params[e].p[k]; };
        EXPECT_EQ(p(0, kParamInputPort), pane);
        for (int e : {1, 2}) {
            EXPECT_EQ(p(e, kParamFilterFamily), 3.0f);
            EXPECT_EQ(p(e, 9), 0.0f);
            EXPECT_EQ(p(e, 10), 0.0f);
        }
        for (int e : {4, 6}) {
            EXPECT_EQ(p(e, kParamFilterFamily), 1.0f);
            EXPECT_EQ(p(e, kParamFilterSlope), 5.0f);
            EXPECT_EQ(p(e, kParamFilterFrequency), fc[pane - 1]);
        }
        for (int e : {5, 7}) {
            EXPECT_EQ(p(e, kParamFilterFamily), 1.0f);
            EXPECT_EQ(p(e, kParamFilterSlope), 0.0f);
            EXPECT_EQ(p(e, kParamFilterFrequency), fc[pane - 1]);
        }
        EXPECT_EQ(p(8, kParamOutputNumber), 2 * pane - 1);
        EXPECT_EQ(p(8, kParamLowEdge), 500.0f);
        EXPECT_EQ(p(8, kParamHighEdge), 15000.0f);
        EXPECT_EQ(p(9, kParamOutputNumber), 2 * pane);
        EXPECT_EQ(p(9, kParamLowEdge), 100.0f);
        EXPECT_EQ(p(9, kParamHighEdge), 5000.0f);
        EXPECT_EQ(p(9, kParamPlotFlag), 1.0f);
        EXPECT_EQ(p(9, kParamPolarity), 1.0f);
        // Parameters a set does not name keep the reset defaults.
        EXPECT_EQ(p(3, kParamLowEdge), 20.0f);
        EXPECT_EQ(p(4, kParamFilterGain), 10.0f);
        EXPECT_EQ(TwoWayCrossoverHz(pane), fc[pane - 1]);
    }
}

TEST(DesignPresets, ATopologyAloneIsRefusedUntilPortsAreWritten) {
    Panes panes;
    auto net = NewNetwork();
    LoadTwoWayNetwork(net.get());
    SavePaneNetwork(*net, &panes[1]);
    ValidationContext context;
    context.panes = panes.Const();
    MessageList messages;
    EXPECT_EQ(ValidateNetwork(*net, context, &messages), 4);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Duplicate OUTPUT Ports Found");

    // The default design of pane 1 routes input port 1 to outputs 1 and 2.
    ResetWorkingNetwork(net.get());
    LoadTwoWayNetwork(net.get());
    SetPane1TwoWayBlocks(net.get());
    SavePaneNetwork(*net, &panes[1]);
    int32_t routing[kRoutingMatrixRows][kRoutingMatrixColumns];
    context.routing_matrix = routing;
    context.output_mode = kOutputModeEight;
    messages.clear();
    EXPECT_EQ(ValidateNetwork(*net, context, &messages), 0);
    for (int r = 0; r < kRoutingMatrixRows; ++r)
        for (int c = 0; c < kRoutingMatrixColumns; ++c) EXPECT_EQ(routing[r][c], r == 0 && c < 2 ? 1 : 0);
}

TEST(DesignPresets, EveryCommandBuildsPanesThatValidateAndSolve) {
    Panes panes;
    auto net = Alloc<WorkingNetwork>();
    std::set<int> ids;
    for (const DesignPreset& preset : DesignPresets()) {
        SCOPED_TRACE(preset.menu_text);
        ids.insert(preset.command_id);
        EXPECT_EQ(FindDesignPreset(preset.command_id), &preset);
        BuildDesignPreset(preset, net.get(), panes.ptr);
        EXPECT_EQ(net->edit_tool, 1u);
        const std::vector<int> used = CheckEveryPaneValidatesAndSolves(panes, net.get());
        // Every output number is used at most once across the panes (validation would refuse otherwise).
        std::multiset<int> outputs;
        for (int p = 1; p <= kPaneCount; ++p)
            for (int o : RouteOf(panes[p]).outputs) outputs.insert(o);
        for (int o : outputs) EXPECT_EQ(outputs.count(o), 1u) << o;
        if (preset.groups.empty() || preset.groups[0].network == PresetNetworkId::Blank) {
            EXPECT_TRUE(used.empty());
            EXPECT_TRUE(preset.closes_plot_window);
        } else {
            EXPECT_FALSE(used.empty());
        }
    }
    EXPECT_EQ(ids, (std::set<int>{200, 201, 202, 210, 211, 212, 213, 214, 220, 221, 230, 231, 232, 235, 236, 237, 238, 239}));
    EXPECT_EQ(FindDesignPreset(203), nullptr);
}

TEST(DesignPresets, OutputAndInputAssignmentsOfTheCommands) {
    Panes panes;
    auto net = Alloc<WorkingNetwork>();
    auto build = [&](int id) {
        const DesignPreset* preset = FindDesignPreset(id);
        EXPECT_NE(preset, nullptr);
        if (preset) BuildDesignPreset(*preset, net.get(), panes.ptr);
    };
    auto all_outputs = [&]() {
        std::vector<int> out;
        for (int p = 1; p <= kPaneCount; ++p)
            for (int o : RouteOf(panes[p]).outputs) out.push_back(o);
        std::sort(out.begin(), out.end());
        return out;
    };
    std::vector<int> one_to_sixteen(16);
    for (int i = 0; i < 16; ++i) one_to_sixteen[i] = i + 1;

    for (int id : {213, 214}) {
        build(id);
        EXPECT_EQ(all_outputs(), one_to_sixteen) << id;
    }
    build(202);
    EXPECT_EQ(all_outputs(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(RouteOf(panes[1]), (PaneRoute{1, {1, 2}}));
    EXPECT_EQ(RouteOf(panes[3]), (PaneRoute{3, {3, 4}}));

    // Stereo presets feed pane 1 from port 1 and pane 3 from port 3; 239 feeds its subs from the same ports.
    for (int id : {200, 201, 202, 239}) {
        build(id);
        EXPECT_EQ(RouteOf(panes[1]).input, 1) << id;
        EXPECT_EQ(RouteOf(panes[3]).input, 3) << id;
    }
    EXPECT_EQ(RouteOf(panes[5]), (PaneRoute{1, {7}}));
    EXPECT_EQ(RouteOf(panes[7]), (PaneRoute{3, {8}}));

    build(201);
    EXPECT_EQ(RouteOf(panes[1]), (PaneRoute{1, {2, 3, 1, 4}}));  // outputs in element order 6, 9, 12, 18
    EXPECT_EQ(RouteOf(panes[3]), (PaneRoute{3, {6, 7, 5, 8}}));

    // 237 and 238: both subs from port 5, rear and side panes from ports 7, 8, 4 and 6.
    for (int id : {237, 238}) {
        build(id);
        EXPECT_EQ(RouteOf(panes[5]).input, 5) << id;
        EXPECT_EQ(RouteOf(panes[7]).input, 5) << id;
        EXPECT_EQ(RouteOf(panes[4]).input, 7) << id;
        EXPECT_EQ(RouteOf(panes[6]).input, 8) << id;
        EXPECT_EQ(RouteOf(panes[8]).input, 4) << id;
        EXPECT_EQ(RouteOf(panes[9]).input, 6) << id;
        EXPECT_EQ(all_outputs(), one_to_sixteen) << id;
    }
    EXPECT_EQ(RouteOf(panes[5]), (PaneRoute{5, {13, 14}}));  // 238: the CABS network's two outputs
    EXPECT_EQ(ElementListLength(panes[5]), 9);
    EXPECT_EQ(ElementListLength(panes[8]), 5);               // 238: subwoofer network in the side panes

    // 221: every pane its own two-way set, without port writes afterwards.
    build(221);
    for (int p = 1; p <= 6; ++p) {
        EXPECT_EQ(RouteOf(panes[p]), (PaneRoute{p, {2 * p - 1, 2 * p}})) << p;
        EXPECT_EQ(panes[p].params[4].p[kParamFilterFrequency], TwoWayCrossoverHz(p));
    }
    EXPECT_EQ(ElementListLength(panes[7]), 0);

    // 211: two-way panes 1..3, 4 and 6, one-way centre sub in pane 5; output 12 is not used.
    build(211);
    EXPECT_EQ(RouteOf(panes[6]), (PaneRoute{6, {10, 11}}));
    EXPECT_EQ(RouteOf(panes[5]), (PaneRoute{5, {9}}));
    EXPECT_EQ(all_outputs(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST(DesignPresets, ConfigurationBassModeAndSplitterOfTheCommands) {
    struct Expect {
        int id;
        int32_t configuration;
        int32_t bass_mode;
        const char* splitter;
    };
    const Expect expects[] = {{202, 0, -1, "Splitter1"}, {239, 6, -1, "Splitter5"}, {210, 1, -1, "Splitter"},
                              {236, 3, -1, "Splitter3"}, {237, 4, 1, "Splitter4"},  {238, 5, 3, "Splitter4"},
                              {232, 2, -1, "Splitter2"}, {235, 3, -1, "Splitter3"}};
    for (const Expect& e : expects) {
        const DesignPreset* p = FindDesignPreset(e.id);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->system_configuration, e.configuration) << e.id;
        EXPECT_EQ(p->bass_mode, e.bass_mode) << e.id;
        EXPECT_STREQ(p->splitter_class, e.splitter) << e.id;
    }
    EXPECT_STREQ(FindDesignPreset(210)->menu_text, "Home Theatre 1: FL2-C1-FR2-RR1-SUB1-RL1 (Delta1010LT)");
    EXPECT_STREQ(FindDesignPreset(235)->menu_text, "Blank 5.2 BBM");
    EXPECT_TRUE(FindDesignPreset(221)->clears_show_flags);
    EXPECT_FALSE(FindDesignPreset(220)->clears_show_flags);
    EXPECT_TRUE(FindDesignPreset(239)->closes_plot_window);
    EXPECT_FALSE(FindDesignPreset(238)->closes_plot_window);
}

TEST(DesignPresets, BlankPresetsHoldTheResetNetworkInTheirPanes) {
    Panes panes;
    auto net = Alloc<WorkingNetwork>();
    BuildDesignPreset(*FindDesignPreset(232), net.get(), panes.ptr);  // Quadro: panes 1, 3, 4, 6
    for (int p = 1; p <= kPaneCount; ++p) {
        const bool listed = p == 1 || p == 3 || p == 4 || p == 6;
        EXPECT_EQ(ElementListLength(panes[p]), 0) << p;
        EXPECT_EQ(panes[p].params[0].p[kParamLowEdge], listed ? 20.0f : 100.0f) << p;
        EXPECT_EQ(panes[p].params[31].p[kParamFilterGain], listed ? 10.0f : 0.0f) << p;
    }
}

TEST(DesignPresets, DefaultDesignIsStereoTwoByTwoWay) {
    Panes panes;
    auto net = Alloc<WorkingNetwork>();
    BuildDefaultDesign(net.get(), panes.ptr);
    EXPECT_EQ(RouteOf(panes[1]), (PaneRoute{1, {1, 2}}));
    EXPECT_EQ(RouteOf(panes[3]), (PaneRoute{3, {5, 6}}));
    EXPECT_EQ(panes[3].params[6].p[kParamFilterFrequency], 1000.0f);
    EXPECT_EQ(ElementListLength(panes[2]), 0);
    const std::vector<int> used = CheckEveryPaneValidatesAndSolves(panes, net.get());
    EXPECT_EQ(used, (std::vector<int>{1, 3}));
}
