#include "app/driver_baffle.h"

namespace {

uint32_t NonNegative(int32_t v) { return v < 0 ? 0u : static_cast<uint32_t>(v); }

}  // namespace

DriverBaffleState CollectDriverBaffle(const BaffleRecord& baffle, const BaffleEdgePointList& edges) {
    DriverBaffleState s{};
    for (int k = 0; k < kBaffleTransferNodes; ++k) {
        s.nodes[k] = DriverBaffleState::Node{baffle.Nodes[k].x, baffle.Nodes[k].y};
        s.positions[k] = DriverBaffleState::Position{baffle.Positions[k].x, baffle.Positions[k].y, baffle.Positions[k].Enabled};
    }
    s.node_count = NonNegative(baffle.NodeCount);
    s.outline_state = static_cast<int32_t>(baffle.OutlineState);
    s.state_words[0] = baffle.InsertAfterIndex;
    s.state_words[1] = baffle.BaffleEditMode;
    s.edge_point_count = NonNegative(edges.PointCount);
    s.edge_element_count = NonNegative(edges.ElementCount);
    return s;
}

void ApplyDriverBaffle(const DriverBaffleState& s, BaffleRecord* baffle, BaffleEdgePointList* edges) {
    for (int k = 0; k < kBaffleTransferNodes; ++k) {
        baffle->Nodes[k].x = s.nodes[k].x;
        baffle->Nodes[k].y = s.nodes[k].y;
        baffle->Positions[k].x = s.positions[k].x;
        baffle->Positions[k].y = s.positions[k].y;
        baffle->Positions[k].Enabled = s.positions[k].enabled;
        edges->Points[k].Word4 = 0;
    }
    baffle->NodeCount = static_cast<int32_t>(s.node_count < kMaxBaffleNodes ? s.node_count : kMaxBaffleNodes);
    baffle->OutlineState = static_cast<uint32_t>(s.outline_state);
    baffle->InsertAfterIndex = s.state_words[0];
    baffle->BaffleEditMode = s.state_words[1];
    const auto cap = static_cast<uint32_t>(kBaffleEdgeCapacity);
    edges->PointCount = static_cast<int32_t>(s.edge_point_count < cap ? s.edge_point_count : cap);
    edges->ElementCount = static_cast<int32_t>(s.edge_element_count < cap ? s.edge_element_count : cap);
}
