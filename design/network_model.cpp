#include "design/network_model.h"

#include <cmath>
#include <cstring>

namespace {

// The steps shared by the clear and the reset; only the parameter defaults differ.
void FillEmptyNetwork(PaneRecord* r, const ElementParams& slot_defaults) {
    r->joint_count = 0;
    r->wire_count = 0;
    r->edit_tool = EditToolNone;
    r->element_count = 0;
    for (auto& p : r->params) p = slot_defaults;
    std::memset(r->wires, 0, sizeof r->wires);
    std::memset(r->reserved, 0, sizeof r->reserved);
    std::memset(r->joints, 0, sizeof r->joints);
    std::memset(r->elements, 0, sizeof r->elements);
    for (auto& e : r->elements) {
        e.node1 = kNoNode;
        e.node2 = kNoNode;
        e.node3 = kNoNode;
    }
    for (int i = 0; i < kMaxElements; ++i) {
        std::memset(r->driver_file_title[i], 0, kDriverPathChars);
        std::memcpy(r->driver_file_title[i], kNoFileLoaded, std::strlen(kNoFileLoaded));
        std::memset(r->driver_file_path[i], 0, kDriverPathChars);
    }
    for (auto& resp : r->element_responses)
        for (auto& pt : resp.points) pt = ComplexPoint{1.0f, 0.0f};
    for (auto& d : r->driver_responses) {
        for (auto& v : d.re) v = 1.0f;
        for (auto& v : d.im) v = 0.0f;
        d.efficiency_db = kDefaultEfficiencyDb;
    }
}

}  // namespace

int ElementListLength(const PaneRecord& r) {
    int n = 0;
    while (n < kMaxElements && r.elements[n].kind > 0) ++n;
    return n;
}

namespace {

ElementParams ClearParamDefaults() {
    ElementParams d{};
    d.p[kParamLowEdge] = 100.0f;
    d.p[kParamHighEdge] = 10000.0f;
    d.p[kParamFilterFrequency] = 1000.0f;
    d.p[kParamPlotFlag] = 1.0f;
    d.p[kParamPolarity] = 1.0f;
    return d;
}

void ClampNode(int32_t* node) {
    if (*node < kNoNode || *node >= kMaxJoints) *node = kNoNode;
}

void TerminateText(char* field, std::size_t size) {
    if (std::memchr(field, 0, size) == nullptr) field[size - 1] = '\0';
}

}  // namespace

void ClearPaneRecord(PaneRecord* pane) { FillEmptyNetwork(pane, ClearParamDefaults()); }

int FlattenUnusableResponsePoints(float* re, float* im, int stride, int count) {
    int flattened = 0;
    for (int k = 0; k < count; ++k) {
        float& r = re[static_cast<std::size_t>(k) * stride];
        float& i = im[static_cast<std::size_t>(k) * stride];
        // A NaN fails both comparisons, so it is flattened too.
        if (std::fabs(r) <= kResponsePointLimit && std::fabs(i) <= kResponsePointLimit) continue;
        r = 1.0f;
        i = 0.0f;
        ++flattened;
    }
    return flattened;
}

void SanitiseElementResponses(PaneRecord* pane, int element) {
    ComplexPoint* points = pane->element_responses[element].points;
    FlattenUnusableResponsePoints(&points[0].re, &points[0].im, 2, kResponsePoints);
    DriverResponse& d = pane->driver_responses[element];
    FlattenUnusableResponsePoints(d.re, d.im, 1, kResponsePoints);
    if (!std::isfinite(d.efficiency_db)) d.efficiency_db = kDefaultEfficiencyDb;
}

void SanitisePaneRecord(PaneRecord* pane) {
    pane->joint_count = static_cast<uint32_t>(ClampedJointCount(*pane));
    pane->wire_count = static_cast<uint32_t>(ClampedWireCount(*pane));
    pane->element_count = static_cast<uint32_t>(ClampedElementCount(*pane));
    switch (pane->edit_tool) {
        case EditToolNone: case EditToolDraw: case EditToolMove: case EditToolWipeComp: case EditToolWipeWire: break;
        default: pane->edit_tool = EditToolNone;
    }
    const ElementParams defaults = ClearParamDefaults();
    for (int i = 0; i < kMaxElements; ++i) {
        for (int k = 0; k < kElementParamCount; ++k)
            if (!std::isfinite(pane->params[i].p[k])) pane->params[i].p[k] = defaults.p[k];
        ClampNode(&pane->elements[i].node1);
        ClampNode(&pane->elements[i].node2);
        ClampNode(&pane->elements[i].node3);
        TerminateText(pane->driver_file_title[i], kDriverPathChars);
        TerminateText(pane->driver_file_path[i], kDriverPathChars);
        SanitiseElementResponses(pane, i);
    }
}

void ClearAllPaneRecords(PaneRecord* const panes[kPaneCount]) {
    for (int n = 0; n < kPaneCount; ++n)
        if (panes[n]) ClearPaneRecord(panes[n]);
}

void ResetWorkingNetwork(WorkingNetwork* net) {
    ElementParams d{};
    d.p[kParamLowEdge] = 20.0f;
    d.p[kParamHighEdge] = 200.0f;
    d.p[kParamFilterFrequency] = 1000.0f;
    d.p[kParamPlotFlag] = 1.0f;
    d.p[kParamFilterGain] = 10.0f;
    d.p[kParamPolarity] = 1.0f;
    FillEmptyNetwork(net, d);
}

void SavePaneNetwork(const WorkingNetwork& net, PaneRecord* pane) {
    const PaneRecord& src = net;
    if (pane != &src) std::memcpy(static_cast<void*>(pane), &src, sizeof(PaneRecord));
}

void LoadPaneNetwork(const PaneRecord& pane, WorkingNetwork* net) {
    PaneRecord* dst = net;
    if (dst != &pane) std::memcpy(static_cast<void*>(dst), &pane, sizeof(PaneRecord));
}

void UpdateDerivedNodes(PaneRecord* pane) {
    // Only the element list takes part: slots past its end marker are not part of the network, even when
    // they still hold an old Ground.
    const int n = ElementListLength(*pane);
    for (int i = 0; i < n; ++i) {
        if (pane->elements[i].kind == InputTerminal) {
            pane->params[i].p[kParamInputNode] = static_cast<float>(pane->elements[i].node1);
            break;
        }
    }
    for (int i = 0; i < n; ++i) {
        const NetworkElement& port = pane->elements[i];
        if (port.kind != OutputPort) continue;
        for (int g = 0; g < n; ++g) {
            const NetworkElement& gnd = pane->elements[g];
            if (gnd.kind != Ground) continue;
            // "Not connected" (-1) on both sides is no shared node.
            if (port.node1 >= 0 && (port.node1 == gnd.node1 || port.node1 == gnd.node2)) {
                pane->params[i].p[kParamSignalNode] = static_cast<float>(port.node2);
                break;
            }
            if (port.node2 >= 0 && (port.node2 == gnd.node1 || port.node2 == gnd.node2)) {
                pane->params[i].p[kParamSignalNode] = static_cast<float>(port.node1);
                break;
            }
        }
    }
}
