#include "design/network_validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "design/network_test_support.h"

using namespace nettest;

namespace {

// Input terminal -> filter block -> output port (terminal 2 grounded), built and wired like the editor does.
struct Chain {
    int input, block, output, ground;
};

Chain BuildChain(PaneRecord* net, float input_port = 1.0f, float output_number = 1.0f) {
    Builder b(net);
    Chain c;
    c.input = b.Add(InputTerminal, 20, 90);
    c.block = b.Add(FilterBlock, 40, 90);
    c.output = b.Add(OutputPort, 120, 90);
    c.ground = b.Add(Ground, 120, 150);
    b.Wire(20, 90, 40, 90);
    b.Wire(80, 90, 120, 90);
    b.Wire(120, 130, 120, 150);
    b.P(c.input)[kParamInputPort] = input_port;
    b.P(c.output)[kParamOutputNumber] = output_number;
    b.P(c.output)[kParamPlotFlag] = 1.0f;
    EXPECT_EQ(RebuildJoints(net, nullptr), 0);
    return c;
}

// A pane of its own: one input port feeding `outputs` output ports numbered from `first`.
void BuildFan(PaneRecord* pane, float input_port, int first, int outputs) {
    ZeroSchematic(pane);
    Builder b(pane);
    const int in = b.Add(InputTerminal, 20, 30);
    b.P(in)[kParamInputPort] = input_port;
    for (int k = 0; k < outputs; ++k) {
        const int o = b.Add(OutputPort, 100 + 20 * k, 30);
        b.P(o)[kParamOutputNumber] = static_cast<float>(first + k);
    }
}

struct Fixture {
    Panes panes;
    Heap<WorkingNetwork> net = Alloc<WorkingNetwork>();
    int32_t routing[kRoutingMatrixRows][kRoutingMatrixColumns];
    Heap<PlotCurve> curves = AllocArray<PlotCurve>(kPlotCurveSlots);
    uint32_t flags[kCurveViewFlagCount];
    ValidationContext context;
    MessageList messages;

    Fixture() {
        for (uint32_t& f : flags) f = 1;
        context.panes = panes.Const();
        context.output_mode = kOutputModeSixteen;
        context.curve_view_flags = flags;
        context.routing_matrix = routing;
        context.curves = curves.get();
        Reset();
    }
    // A valid one-chain channel in pane 1 and in the WorkingNetwork; other panes empty; sentinels in the
    // matrix and the flags so the test sees what validation touched.
    void Reset() {
        for (int p = 1; p <= kPaneCount; ++p) ZeroSchematic(&panes[p]);
        ZeroSchematic(net.get());
        BuildChain(net.get());
        SaveSchematic();
        for (auto& row : routing)
            for (int32_t& v : row) v = 7;
        for (int c = 0; c < kPlotCurveSlots; ++c) curves.get()[c].Visible = 0.5f;
        messages.clear();
    }
    void SaveSchematic() { std::memcpy(static_cast<void*>(&panes[1]), net.get(), offsetof(PaneRecord, element_responses)); }
    int Validate() { return ValidateNetwork(*net, context, &messages); }

    bool RoutingAll(int32_t v) const {
        for (const auto& row : routing)
            for (int32_t x : row)
                if (x != v) return false;
        return true;
    }
    bool FlagsAll(float v) const {
        for (int c = 0; c < kPlotCurveSlots; ++c)
            if (curves.get()[c].Visible != v) return false;
        return true;
    }
};

enum class After { Untouched, Cleared, RoutedFlagsCleared, Done };

struct Case {
    const char* name;
    std::function<void(Fixture&)> change;
    int code;
    const char* text;
    After after;
};

}  // namespace

TEST(NetworkValidation, EveryStepItsMessageCodeAndSideEffects) {
    static const std::vector<Case> cases = {
        {"no wires",
         [](Fixture& f) {
             f.net->wire_count = 0;
             RebuildJoints(f.net.get(), nullptr);
         },
         1, "System Not Recognized", After::Untouched},
        {"lone junction",
         [](Fixture& f) {
             Builder(f.net.get()).Add(Junction, 300, 300);
             RebuildJoints(f.net.get(), nullptr);
         },
         1, "Network Disjoined", After::Untouched},
        {"lone ground symbol with the rest complete",
         [](Fixture& f) {
             Builder(f.net.get()).Add(Ground, 300, 300);
             RebuildJoints(f.net.get(), nullptr);
         },
         1, "Network Disjoined", After::Untouched},
        {"no input terminal", [](Fixture& f) { f.net->elements[0].kind = Junction; }, 1,
         "Input Terminal Not Connected", After::Untouched},
        {"two input terminals",
         [](Fixture& f) {
             Builder(f.net.get()).Add(InputTerminal, 20, 90);
             RebuildJoints(f.net.get(), nullptr);
         },
         1, "Too Many Input Terminals", After::Untouched},
        {"no ground", [](Fixture& f) { f.net->elements[3].kind = Junction; }, 1,
         "There must be at least one GROUND node", After::Untouched},
        {"output number used in another pane", [](Fixture& f) { BuildFan(&f.panes[2], 2.0f, 1, 1); }, 4,
         "Duplicate OUTPUT Ports Found", After::Cleared},
        {"output port still 0 in another pane", [](Fixture& f) { BuildFan(&f.panes[9], 2.0f, 0, 1); }, 4,
         "Duplicate OUTPUT Ports Found", After::Cleared},
        {"output number 0.5 truncates to 0",
         [](Fixture& f) {
             f.net->params[2].p[kParamOutputNumber] = 0.5f;
             f.SaveSchematic();
         },
         4, "Duplicate OUTPUT Ports Found", After::Cleared},
        {"input port 0", [](Fixture& f) { f.net->params[0].p[kParamInputPort] = 0.0f; }, 2,
         "INPUT Port Is Out Of Range (1....9)\n\nPort 9 is a Phantom Port used for BBM", After::Cleared},
        {"input port 9.5", [](Fixture& f) { f.net->params[0].p[kParamInputPort] = 9.5f; }, 2,
         "INPUT Port Is Out Of Range (1....9)\n\nPort 9 is a Phantom Port used for BBM", After::Cleared},
        {"input port not a number", [](Fixture& f) { f.net->params[0].p[kParamInputPort] = std::nanf(""); }, 2,
         "INPUT Port Is Out Of Range (1....9)\n\nPort 9 is a Phantom Port used for BBM", After::Cleared},
        {"output number 17",
         [](Fixture& f) {
             f.net->params[2].p[kParamOutputNumber] = 17.0f;
             f.SaveSchematic();
         },
         1, "Sound Card OUTPUT Port Is Out Of Range (1.....16)", After::Cleared},
        {"output number not a number",
         [](Fixture& f) {
             f.net->params[2].p[kParamOutputNumber] = std::nanf("");
             f.SaveSchematic();
         },
         1, "Sound Card OUTPUT Port Is Out Of Range (1.....16)", After::Cleared},
        {"eight-output card with nine routes",
         [](Fixture& f) {
             f.context.output_mode = kOutputModeEight;
             BuildFan(&f.panes[5], 5.0f, 2, 8);
         },
         5, "Sound Card Is Selected For 8 Outputs", After::RoutedFlagsCleared},
        {"eight-output card with eight routes",
         [](Fixture& f) {
             f.context.output_mode = kOutputModeEight;
             BuildFan(&f.panes[5], 5.0f, 2, 7);
         },
         0, nullptr, After::Done},
        {"sixteen-output card with nine routes", [](Fixture& f) { BuildFan(&f.panes[5], 5.0f, 2, 8); }, 0, nullptr,
         After::Done},
        {"S/PDIF card with nine routes",
         [](Fixture& f) {
             f.context.output_mode = kOutputModeSpdif;
             BuildFan(&f.panes[5], 5.0f, 2, 8);
         },
         0, nullptr, After::Done},
        {"valid chain", [](Fixture&) {}, 0, nullptr, After::Done},
    };
    Fixture f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.Reset();
        f.context.output_mode = kOutputModeSixteen;
        c.change(f);
        EXPECT_EQ(f.Validate(), c.code);
        if (c.text) {
            ASSERT_EQ(f.messages.size(), 1u);
            EXPECT_EQ(f.messages[0].text, c.text);
            EXPECT_EQ(f.messages[0].caption, "HV Message");
            EXPECT_EQ(f.messages[0].icon, MessageIcon::Warning);
            EXPECT_EQ(f.messages[0].buttons, MessageButtons::Ok);
        } else {
            EXPECT_TRUE(f.messages.empty());
        }
        switch (c.after) {
            case After::Untouched:
                EXPECT_TRUE(f.RoutingAll(7));
                EXPECT_TRUE(f.FlagsAll(0.5f));
                break;
            case After::Cleared:
                EXPECT_TRUE(f.RoutingAll(0));
                EXPECT_TRUE(f.FlagsAll(0.0f));
                break;
            case After::RoutedFlagsCleared:
                EXPECT_EQ(f.routing[0][0], 1);
                EXPECT_EQ(f.routing[4][1], 1);
                EXPECT_EQ(f.routing[4][8], 1);
                EXPECT_TRUE(f.FlagsAll(0.0f));
                break;
            case After::Done:
                EXPECT_EQ(f.routing[0][0], 1);
                EXPECT_EQ(f.curves.get()[kCurveFilterSpl].Visible, 1.0f);
                break;
        }
    }
}

TEST(NetworkValidation, SuccessFillsTheRoutingMatrixFromAllNinePanes) {
    Fixture f;
    BuildFan(&f.panes[3], 3.0f, 5, 2);  // port 3 -> outputs 5, 6
    BuildFan(&f.panes[9], 9.0f, 16, 1); // phantom port 9 -> output 16
    BuildFan(&f.panes[7], 2.5f, 9, 1);  // a fractional port routes as its whole part
    // A second input terminal in a pane routes nothing of its own.
    Builder(&f.panes[3]).Add(InputTerminal, 300, 300);
    f.panes[3].params[f.panes[3].element_count - 1].p[kParamInputPort] = 4.0f;
    EXPECT_EQ(f.Validate(), 0);
    int32_t expect[kRoutingMatrixRows][kRoutingMatrixColumns] = {};
    expect[0][0] = 1;
    expect[2][4] = expect[2][5] = 1;
    expect[8][15] = 1;
    expect[1][8] = 1;
    for (int r = 0; r < kRoutingMatrixRows; ++r)
        for (int c = 0; c < kRoutingMatrixColumns; ++c) EXPECT_EQ(f.routing[r][c], expect[r][c]) << r << "," << c;
}

TEST(NetworkValidation, FractionalInputPortPassesAndRoutesAsItsWholePart) {
    Fixture f;
    f.net->params[0].p[kParamInputPort] = 2.5f;
    f.SaveSchematic();
    EXPECT_EQ(f.Validate(), 0);
    EXPECT_EQ(f.routing[1][0], 1);
    EXPECT_EQ(f.routing[0][0], 0);
}

TEST(NetworkValidation, PortsOutsideTheTablesInOtherPanesAreSkipped) {
    Fixture f;
    // Every pane full of output ports with numbers beyond 16, and input ports beyond the matrix: nothing may
    // be written outside the port list or the RoutingMatrix (the sanitizers watch), and they route nothing.
    for (int p = 2; p <= kPaneCount; ++p) BuildFan(&f.panes[p], p % 2 ? 10.0f : 3.0f, 100 + 40 * p, 31);
    EXPECT_EQ(f.Validate(), 0);
    int routes = 0;
    for (const auto& row : f.routing)
        for (int32_t v : row) routes += v;
    EXPECT_EQ(routes, 1);
    EXPECT_EQ(f.routing[0][0], 1);
}

TEST(NetworkValidation, CurveFlagsFollowThePlotSelectionAndThePlotFlags) {
    Fixture f;
    // Add a second output (number 4) whose plot flag is 0, sharing the block's output node.
    Builder b(f.net.get());
    const int o = b.Add(OutputPort, 160, 90);
    const int g = b.Add(Ground, 160, 150);
    (void)g;
    b.Wire(120, 90, 160, 90);
    b.Wire(160, 130, 160, 150);
    b.P(o)[kParamOutputNumber] = 4.0f;
    b.P(o)[kParamPlotFlag] = 0.0f;
    ASSERT_EQ(RebuildJoints(f.net.get(), nullptr), 0);
    f.SaveSchematic();
    for (uint32_t& x : f.flags) x = 0;
    f.flags[0] = 1;   // Filter SPL
    f.flags[7] = 1;   // Final phase
    f.flags[8] = 1;   // System SPL
    f.flags[11] = 1;  // HBT + Filter phase
    EXPECT_EQ(f.Validate(), 0);
    std::vector<int> marked;
    for (int c = 0; c < kPlotCurveSlots; ++c)
        if (f.curves.get()[c].Visible == 1.0f) marked.push_back(c);
        else EXPECT_EQ(f.curves.get()[c].Visible, 0.0f) << c;
    EXPECT_EQ(marked, (std::vector<int>{0, 112, 129, 149}));
    EXPECT_EQ(f.routing[0][3], 1);  // the unplotted output is routed all the same
}

// ---- Joints ----------------------------------------------------------------------------------------------

TEST(NetworkJoints, NoWiresLeavesNoJointsAndEveryTerminalUnconnected) {
    auto net = Alloc<WorkingNetwork>();
    Builder b(net.get());
    b.Add(InputTerminal, 20, 90);
    b.Add(FilterBlock, 40, 90);
    net->joint_count = 5;
    for (auto& e : net->elements) e.node1 = e.node2 = 3;
    EXPECT_EQ(RebuildJoints(net.get(), nullptr), 0);
    EXPECT_EQ(net->joint_count, 0u);
    for (const auto& e : net->elements) {
        EXPECT_EQ(e.node1, -1);
        EXPECT_EQ(e.node2, -1);
    }
}

TEST(NetworkJoints, ParallelWiresGiveOneJointHoldingAPointTwice) {
    auto net = Alloc<WorkingNetwork>();
    Chain c = BuildChain(net.get());
    Builder(net.get()).Wire(20, 90, 40, 90);
    ASSERT_EQ(RebuildJoints(net.get(), nullptr), 0);
    EXPECT_EQ(net->joint_count, 3u);
    const Joint& j0 = net->joints[0];
    EXPECT_EQ(j0.points[0].x, 20);
    EXPECT_EQ(j0.points[1].x, 40);
    EXPECT_EQ(j0.points[2].x, 40);
    EXPECT_EQ(j0.points[3].x, 0);
    EXPECT_EQ(net->elements[c.input].node1, 0);
    EXPECT_EQ(net->elements[c.block].node1, 0);
    EXPECT_EQ(net->elements[c.block].node2, 1);
}

TEST(NetworkJoints, AWireJoiningTwoJointsMergesIntoTheLowerAndRenumbers) {
    auto net = Alloc<WorkingNetwork>();
    Builder b(net.get());
    const int j1 = b.Add(Junction, 20, 20);
    const int j2 = b.Add(Junction, 60, 20);
    const int j3 = b.Add(Junction, 100, 20);
    const int j4 = b.Add(Junction, 140, 20);
    const int j5 = b.Add(Junction, 180, 20);
    b.Wire(20, 20, 20, 40);    // node 0: j1
    b.Wire(60, 20, 60, 40);    // node 1: j2
    b.Wire(100, 20, 100, 40);  // node 2: j3
    b.Wire(140, 20, 180, 20);  // node 3: j4, j5
    ASSERT_EQ(RebuildJoints(net.get(), nullptr), 0);
    EXPECT_EQ(net->joint_count, 4u);
    EXPECT_EQ(net->elements[j3].node1, 2);
    EXPECT_EQ(net->elements[j4].node1, 3);
    b.Wire(20, 40, 60, 40);  // joins nodes 0 and 1
    ASSERT_EQ(RebuildJoints(net.get(), nullptr), 0);
    EXPECT_EQ(net->joint_count, 3u);
    EXPECT_EQ(net->elements[j1].node1, 0);
    EXPECT_EQ(net->elements[j2].node1, 0);
    EXPECT_EQ(net->elements[j3].node1, 1);
    EXPECT_EQ(net->elements[j4].node1, 2);
    EXPECT_EQ(net->elements[j5].node2, 2);
    // The merged joint lists each point once.
    std::vector<std::pair<int, int>> points;
    for (const JointPoint& p : net->joints[0].points)
        if (p.x != 0) points.emplace_back(p.x, p.y);
    EXPECT_EQ(points, (std::vector<std::pair<int, int>>{{20, 20}, {20, 40}, {60, 40}, {60, 20}}));
}

TEST(NetworkJoints, ParallelFilterOutputsAreRefusedOtherSharedNodesAllowed) {
    struct Variant {
        int32_t second_kind;
        bool outputs_joined;
        int expect;
    };
    for (Variant v : {Variant{FilterBlock, true, 1}, Variant{RoomEqBlock, true, 0}, Variant{FilterBlock, false, 0}}) {
        auto net = Alloc<WorkingNetwork>();
        Builder b(net.get());
        b.Add(FilterBlock, 40, 40);       // (40,40)-(80,40)
        b.Add(v.second_kind, 40, 100);    // (40,100)-(80,100)
        if (v.outputs_joined)
            b.Wire(80, 40, 80, 100);
        else
            b.Wire(40, 40, 40, 100);      // two inputs on one node
        MessageList messages;
        EXPECT_EQ(RebuildJoints(net.get(), &messages), v.expect);
        if (v.expect == 1) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, "Parallel Connection of Outputs Is NOT Permitted\nPlease Disconnect This Link");
            EXPECT_EQ(messages[0].caption, "Splitter Window");
            // Refused at every rebuild until the wire goes.
            messages.clear();
            EXPECT_EQ(RebuildJoints(net.get(), &messages), 1);
            EXPECT_EQ(messages.size(), 1u);
        } else {
            EXPECT_TRUE(messages.empty());
        }
    }
}

TEST(NetworkJoints, AnOverfullMergeRaisesTooManyJointsAndTheRebuildGoesOn) {
    auto net = Alloc<WorkingNetwork>();
    Builder b(net.get());
    // A star of 29 wires puts 30 points into joint 0; a chain R1-R2-R3 is joint 1; a wire from the star to R1
    // fills joint 0's slot 30, and the merge then writes slot 31.
    for (int k = 1; k <= 29; ++k) b.Wire(500, 500, 10 * k, 10);
    b.Wire(10, 400, 20, 400);
    b.Wire(20, 400, 30, 400);
    b.Wire(290, 10, 10, 400);
    const int junction = b.Add(Junction, 30, 400);
    MessageList messages;
    EXPECT_EQ(RebuildJoints(net.get(), &messages), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Unable to proceed, too many joints !");
    EXPECT_EQ(messages[0].caption, "Splitter Window");
    EXPECT_EQ(net->joints[0].points[31].x, 10);  // R1, copied into the last slot
    EXPECT_NE(net->joints[1].points[0].x, 0);    // joint 1 stays
    EXPECT_EQ(net->elements[junction].node1, 1);  // numbered by the wire before; the failed merge renumbers nothing
}

TEST(NetworkJoints, WireEndsOnTerminalsLooksAtEverySlot) {
    auto net = Alloc<WorkingNetwork>();
    Chain c = BuildChain(net.get());
    (void)c;
    EXPECT_EQ(WireEndsOnTerminals(*net, 20, 90, 120, 130), 1);
    EXPECT_EQ(WireEndsOnTerminals(*net, 80, 90, 80, 90), 1);   // both ends on one terminal
    EXPECT_EQ(WireEndsOnTerminals(*net, 20, 90, 30, 90), 0);
    EXPECT_EQ(WireEndsOnTerminals(*net, 50, 50, 20, 90), 0);
    // A slot beyond the list offers the points it holds: (0, 0) in a zeroed record.
    EXPECT_EQ(WireEndsOnTerminals(*net, 0, 0, 20, 90), 1);
}

TEST(NetworkJoints, TruncationOfPortNumbers) {
    EXPECT_EQ(TruncatePortNumber(1.9f), 1);
    EXPECT_EQ(TruncatePortNumber(-0.5f), 0);
    EXPECT_EQ(TruncatePortNumber(16.0f), 16);
    EXPECT_EQ(TruncatePortNumber(std::nanf("")), kUnrepresentablePort);
    EXPECT_EQ(TruncatePortNumber(3e9f), kUnrepresentablePort);
}

TEST(NetworkJoints, AFullJointIsPassedOverInsteadOfMerged) {
    auto net = Alloc<WorkingNetwork>();
    Builder b(net.get());
    // 31 wires from P fill joint 0 with 32 points; one more wire from P starts joint 1, which cannot merge.
    for (int k = 1; k <= 31; ++k) b.Wire(500, 500, 10 * k, 10);
    b.Wire(500, 500, 600, 600);
    const int at_p = b.Add(Junction, 500, 500);
    const int at_r = b.Add(Junction, 600, 600);
    MessageList messages;
    EXPECT_EQ(RebuildJoints(net.get(), &messages), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(net->joint_count, 2u);
    EXPECT_EQ(net->joints[0].points[31].x, 310);
    EXPECT_EQ(net->elements[at_p].node1, 0);
    EXPECT_EQ(net->elements[at_r].node1, 1);
}

TEST(NetworkJoints, AWireThatNoJointTakesIsDroppedSilently) {
    auto net = Alloc<WorkingNetwork>();
    Builder b(net.get());
    for (int k = 0; k < 32; ++k) b.Wire(10 + 20 * k, 10, 10 + 20 * k, 30);  // 32 separate joints
    const int lone = b.Add(Junction, 700, 700);
    ASSERT_EQ(RebuildJoints(net.get(), nullptr), 0);
    EXPECT_EQ(net->joint_count, 32u);
    MessageList messages;
    EXPECT_EQ(AddWireToJoints(net.get(), 700, 700, 720, 700, &messages), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(net->joint_count, 32u);
    EXPECT_EQ(net->elements[lone].node1, -1);
}

TEST(NetworkJoints, RemoveRepeatedJointPointsKeepsTheFirstOfEach) {
    auto net = Alloc<WorkingNetwork>();
    const JointPoint pts[] = {{10, 10}, {20, 10}, {10, 10}, {20, 10}, {20, 10}, {30, 10}};
    for (int s = 0; s < 6; ++s) net->joints[0].points[s] = pts[s];
    net->joints[1].points[0] = {40, 40};
    net->joints[1].points[1] = {40, 40};
    RemoveRepeatedJointPoints(net.get());
    EXPECT_EQ(net->joints[0].points[0].x, 10);
    EXPECT_EQ(net->joints[0].points[1].x, 20);
    EXPECT_EQ(net->joints[0].points[2].x, 30);
    EXPECT_EQ(net->joints[0].points[3].x, 0);
    EXPECT_EQ(net->joints[1].points[1].x, 0);
}

TEST(NetworkJoints, DamagedCountsAreClampedToTheTables) {
    auto net = Alloc<WorkingNetwork>();
    Chain c = BuildChain(net.get());
    net->wire_count = 4000000000u;   // the unused wire slots hold (0, 0)-(0, 0)
    net->element_count = 4000000000u;
    EXPECT_EQ(RebuildJoints(net.get(), nullptr), 0);
    EXPECT_EQ(net->joint_count, 3u);
    EXPECT_EQ(net->elements[c.output].node1, 1);
    net->joint_count = 4000000000u;
    ValidationContext context;
    EXPECT_EQ(ValidateNetwork(*net, context, nullptr), 0);
}
