#include "design/network_validation.h"

#include <algorithm>
#include <vector>

namespace {

constexpr const char* kParallelOutputsText =
    "Parallel Connection of Outputs Is NOT Permitted\nPlease Disconnect This Link";
constexpr const char* kTooManyJointsText = "Unable to proceed, too many joints !";

// A joint slot whose x is 0 is free; a joint whose slot 0 is free is empty.
bool IsFreeSlot(const JointPoint& p) { return p.x == 0; }
bool IsEmptyJoint(const Joint& j) { return IsFreeSlot(j.points[0]); }
bool SamePoint(const JointPoint& a, const JointPoint& b) { return a.x == b.x && a.y == b.y; }
bool IsOrigin(const JointPoint& p) { return p.x == 0 && p.y == 0; }

int FirstFreeSlot(const Joint& j) {
    for (int s = 0; s < kJointPoints; ++s)
        if (IsFreeSlot(j.points[s])) return s;
    return -1;
}

bool JointHolds(const Joint& j, const JointPoint& p) {
    for (int s = 0; s < kJointPoints; ++s)
        if (SamePoint(j.points[s], p)) return true;
    return false;
}

// Number of points a merge scan visits: slot 0, then the following slots while their x is above 0.
int ScannedPointCount(const Joint& j) {
    int n = 1;
    while (n < kJointPoints && j.points[n].x > 0) ++n;
    return n;
}

void RemoveJoint(PaneRecord* net, int index) {
    for (int j = index; j + 1 < kMaxJoints; ++j) net->joints[j] = net->joints[j + 1];
    net->joints[kMaxJoints - 1] = Joint{};
}

int CountNonEmptyJoints(const PaneRecord& net) {
    int n = 0;
    for (int j = 0; j < kMaxJoints; ++j)
        if (!IsEmptyJoint(net.joints[j])) ++n;
    return n;
}

// Index of the first joint that holds the point (free slots included), or -1.
int FindJointOf(const PaneRecord& net, int32_t x, int32_t y) {
    const JointPoint p{x, y};
    for (int j = 0; j < kMaxJoints; ++j)
        if (JointHolds(net.joints[j], p)) return j;
    return -1;
}

bool OnTerminal(const NetworkElement& e, int32_t x, int32_t y) {
    return (e.x1 == x && e.y1 == y) || (e.x2 == x && e.y2 == y);
}

HvMessage SplitterMessage(const char* text) {
    HvMessage m = WarningMessage(text);
    m.caption = kSplitterWindowCaption;
    return m;
}

int Refuse(MessageList* messages, const char* text, int code) {
    AddWarning(messages, text);
    return code;
}

bool BothNodesSet(const NetworkElement& e) { return e.node1 >= 0 && e.node2 >= 0; }

}  // namespace

int32_t TruncatePortNumber(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return kUnrepresentablePort;
    return static_cast<int32_t>(value);
}

int WireEndsOnTerminals(const PaneRecord& net, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    bool start = false;
    bool end = false;
    for (int i = 0; i < kMaxElements; ++i) {
        start = start || OnTerminal(net.elements[i], x1, y1);
        end = end || OnTerminal(net.elements[i], x2, y2);
    }
    return start && end ? 1 : 0;
}

void RemoveRepeatedJointPoints(PaneRecord* net) {
    for (int j = 0; j < kMaxJoints; ++j) {
        Joint& joint = net->joints[j];
        if (IsOrigin(joint.points[0])) break;
        for (int s = 1; s < kJointPoints; ++s) {
            // A repeated point is taken out and the later slots close the gap; the slot then holds the next
            // point, which may be a repeat too.
            for (;;) {
                const JointPoint p = joint.points[s];
                if (IsOrigin(p)) break;
                bool repeated = false;
                for (int t = 0; t < s && !repeated; ++t) repeated = SamePoint(joint.points[t], p);
                if (!repeated) break;
                for (int t = s; t + 1 < kJointPoints; ++t) joint.points[t] = joint.points[t + 1];
                joint.points[kJointPoints - 1] = JointPoint{};
            }
        }
    }
}

int MergeJoints(PaneRecord* net) {
    for (;;) {
        bool merged = false;
        for (int i = 0; i < kMaxJoints && !merged; ++i) {
            Joint& ji = net->joints[i];
            if (IsEmptyJoint(ji)) continue;
            const int pi_count = ScannedPointCount(ji);
            for (int pi = 0; pi < pi_count && !merged; ++pi) {
                const JointPoint p = ji.points[pi];
                for (int j = i + 1; j < kMaxJoints && !merged; ++j) {
                    const Joint& jj = net->joints[j];
                    const int qj_count = ScannedPointCount(jj);
                    for (int qj = 0; qj < qj_count && !merged; ++qj) {
                        if (!SamePoint(jj.points[qj], p)) continue;
                        int dst = FirstFreeSlot(ji);
                        if (dst < 0) continue;  // joint i is full: the pair stays apart
                        for (int s = 0; s < kJointPoints && jj.points[s].x > 0; ++s) {
                            ji.points[dst] = jj.points[s];
                            if (dst == kJointPoints - 1) return 1;
                            ++dst;
                        }
                        RemoveRepeatedJointPoints(net);
                        RemoveJoint(net, j);
                        merged = true;
                    }
                }
            }
        }
        if (!merged) break;
    }
    net->joint_count = static_cast<uint32_t>(CountNonEmptyJoints(*net));
    return 0;
}

void NumberTerminals(PaneRecord* net) {
    for (int i = 0; i < kMaxElements; ++i) {
        net->elements[i].node1 = kNoNode;
        net->elements[i].node2 = kNoNode;
    }
    // Element 0 always, then each next one while its kind is above 0.
    const int len = std::max(1, ElementListLength(*net));
    for (int i = 0; i < len; ++i) {
        NetworkElement& e = net->elements[i];
        const int n1 = FindJointOf(*net, e.x1, e.y1);
        const int n3 = FindJointOf(*net, e.x3, e.y3);
        const int n2 = FindJointOf(*net, e.x2, e.y2);
        if (n1 >= 0) e.node1 = n1;
        if (n3 >= 0) e.node3 = n3;
        if (n2 >= 0) e.node2 = n2;
    }
}

int AddWireToJoints(PaneRecord* net, int32_t xa, int32_t ya, int32_t xb, int32_t yb, MessageList* messages) {
    const JointPoint a{xa, ya};
    const JointPoint b{xb, yb};
    for (int j = 0; j < kMaxJoints; ++j) {
        Joint& joint = net->joints[j];
        if (IsEmptyJoint(joint)) {
            joint.points[0] = a;
            joint.points[1] = b;
            break;
        }
        const int free_slot = FirstFreeSlot(joint);
        if (free_slot < 0) continue;
        if (JointHolds(joint, a)) {
            joint.points[free_slot] = b;
            break;
        }
        if (JointHolds(joint, b)) {
            joint.points[free_slot] = a;
            break;
        }
    }
    // All joints in use and none took the wire: it joins nothing, without a message.
    if (MergeJoints(net) == 1) {
        if (messages) messages->push_back(SplitterMessage(kTooManyJointsText));
        return 1;
    }
    NumberTerminals(net);
    return 0;
}

int RebuildJoints(PaneRecord* net, MessageList* messages) {
    for (int j = 0; j < kMaxJoints; ++j) net->joints[j] = Joint{};
    const int wires = ClampedWireCount(*net);
    if (wires == 0) {
        net->joint_count = 0;
        for (int i = 0; i < kMaxElements; ++i) {
            net->elements[i].node1 = kNoNode;
            net->elements[i].node2 = kNoNode;
        }
    }
    for (int w = 0; w < wires; ++w) {
        const Wire& wire = net->wires[w];
        AddWireToJoints(net, wire.x1, wire.y1, wire.x2, wire.y2, messages);
    }
    const int len = ElementListLength(*net);
    for (int i = 0; i < len; ++i) {
        const NetworkElement& a = net->elements[i];
        if (a.kind != FilterBlock || a.node2 == kNoNode) continue;
        for (int j = i + 1; j < kMaxElements; ++j) {
            const NetworkElement& b = net->elements[j];
            if (b.kind == FilterBlock && b.node2 == a.node2) {
                if (messages) messages->push_back(SplitterMessage(kParallelOutputsText));
                return 1;
            }
        }
    }
    return 0;
}

int ValidateNetwork(const PaneRecord& net, const ValidationContext& context, MessageList* messages) {
    const int len = ElementListLength(net);

    // Steps 1 to 5: refusals that leave the curve flags and the RoutingMatrix as they were.
    if (net.joint_count == 0) return Refuse(messages, "System Not Recognized", kValidationRefused);
    for (int i = 0; i < len; ++i) {
        const NetworkElement& e = net.elements[i];
        if ((e.node1 < 0 || e.node2 < 0) && e.kind < 7) return Refuse(messages, "Network Disjoined", kValidationRefused);
    }
    int inputs = 0;
    int grounds = 0;
    for (int i = 0; i < len; ++i) {
        const NetworkElement& e = net.elements[i];
        if (e.kind == InputTerminal && BothNodesSet(e)) ++inputs;
        if (e.kind == Ground && BothNodesSet(e)) ++grounds;
    }
    if (inputs == 0) return Refuse(messages, "Input Terminal Not Connected", kValidationRefused);
    if (inputs > 1) return Refuse(messages, "Too Many Input Terminals", kValidationRefused);
    if (grounds == 0) return Refuse(messages, "There must be at least one GROUND node", kValidationRefused);

    // Step 6: clear what this run fills.
    if (context.curves)
        for (int c = 0; c < kPlotCurveSlots; ++c) context.curves[c].Visible = 0.0f;
    if (context.routing_matrix)
        for (int r = 0; r < kRoutingMatrixRows; ++r)
            for (int c = 0; c < kRoutingMatrixColumns; ++c) context.routing_matrix[r][c] = 0;

    // Step 7: every output number of the nine panes, plus one extra 0, must be distinct. The list has room
    // for every output port that nine panes can hold.
    std::vector<int32_t> ports;
    ports.reserve(kPaneCount * kMaxElements + 1);
    if (context.panes) {
        for (int p = 0; p < kPaneCount; ++p) {
            const PaneRecord* pane = context.panes[p];
            if (!pane) continue;
            const int plen = ElementListLength(*pane);
            for (int i = 0; i < plen; ++i)
                if (pane->elements[i].kind == OutputPort)
                    ports.push_back(TruncatePortNumber(pane->params[i].p[kParamOutputNumber]));
        }
    }
    ports.push_back(0);
    std::sort(ports.begin(), ports.end());
    if (std::adjacent_find(ports.begin(), ports.end()) != ports.end())
        return Refuse(messages, "Duplicate OUTPUT Ports Found", kValidationDuplicateOutputs);

    // Step 8: the input port. NaN fails the range test too.
    for (int i = 0; i < len; ++i) {
        if (net.elements[i].kind != InputTerminal) continue;
        const float port = net.params[i].p[kParamInputPort];
        if (!(port >= 1.0f && port <= 9.0f))
            return Refuse(messages,
                          "INPUT Port Is Out Of Range (1....9)\n\nPort 9 is a Phantom Port used for BBM",
                          kValidationInputPortRange);
    }

    // Step 9: the channel's outputs, in element order.
    struct ChannelOutput {
        int32_t index;
        int32_t plot;
    };
    ChannelOutput channel[kOutputCount];
    int channel_count = 0;
    for (int i = 0; i < len; ++i) {
        if (net.elements[i].kind != OutputPort) continue;
        const float port = net.params[i].p[kParamOutputNumber];
        if (!(port >= 1.0f && port <= 16.0f))
            return Refuse(messages, "Sound Card OUTPUT Port Is Out Of Range (1.....16)", kValidationRefused);
        if (channel_count < kOutputCount)
            channel[channel_count++] = {static_cast<int32_t>(port - 1.0f),
                                        TruncatePortNumber(net.params[i].p[kParamPlotFlag])};
    }

    // Step 10: routes of all nine panes, each from its first input terminal. Ports outside the matrix route
    // nothing.
    if (context.routing_matrix && context.panes) {
        for (int p = 0; p < kPaneCount; ++p) {
            const PaneRecord* pane = context.panes[p];
            if (!pane) continue;
            const int plen = ElementListLength(*pane);
            int row = -1;
            for (int i = 0; i < plen && row < 0; ++i)
                if (pane->elements[i].kind == InputTerminal) {
                    row = TruncatePortNumber(pane->params[i].p[kParamInputPort]) - 1;
                    if (row < 0 || row >= kNetworkInputPorts) row = kNetworkInputPorts;  // routes nothing
                }
            if (row < 0 || row >= kNetworkInputPorts) continue;
            for (int i = 0; i < plen; ++i) {
                if (pane->elements[i].kind != OutputPort) continue;
                const int32_t port = TruncatePortNumber(pane->params[i].p[kParamOutputNumber]);
                if (port >= 1 && port <= kRoutingMatrixColumns) context.routing_matrix[row][port - 1] = 1;
            }
        }
    }

    // Step 11: an eight-output card carries at most eight routes.
    if (context.output_mode == kOutputModeEight && context.routing_matrix) {
        int routes = 0;
        for (int r = 0; r < kNetworkInputPorts; ++r)
            for (int c = 0; c < kRoutingMatrixColumns; ++c) routes += context.routing_matrix[r][c];
        if (routes >= 9)
            return Refuse(messages, "Sound Card Is Selected For 8 Outputs", kValidationTooManyRoutes);
    }

    // Step 12: the curves of this channel that the plot selection asks for.
    if (context.curves && context.curve_view_flags) {
        static constexpr int kFlagOrder[kCurveViewFlagCount] = {0, 1, 2, 10, 3, 8, 4, 5, 6, 11, 7, 9};
        static constexpr int kFlagSlotBase[kCurveViewFlagCount] = {
            kCurveFilterSpl,   kCurveDriverSpl,   kCurveHbtSpl,   kCurveFinalSpl,
            kCurveFilterPhase, kCurveDriverPhase, kCurveHbtPhase, kCurveFinalPhase,
            kCurveSystemSpl,   kCurveSystemPhase, kCurveHbtFilterSpl, kCurveHbtFilterPhase};
        for (int flag : kFlagOrder) {
            if (context.curve_view_flags[flag] != 1) continue;
            if (flag == 8 || flag == 9) {
                context.curves[kFlagSlotBase[flag]].Visible = 1.0f;
                continue;
            }
            for (int k = 0; k < channel_count; ++k)
                if (channel[k].plot == 1) context.curves[kFlagSlotBase[flag] + channel[k].index].Visible = 1.0f;
        }
    }
    return kValidationOk;
}
