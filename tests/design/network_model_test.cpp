#include "design/network_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using HeapRecord = std::unique_ptr<T, FreeDeleter>;

template <class T>
HeapRecord<T> AllocRecord() {
    void* p = std::calloc(1, sizeof(T));
    if (!p) std::abort();
    return HeapRecord<T>(static_cast<T*>(p));
}

// Reads a value at a byte offset of the raw image, as a file reader would see it.
template <class V>
V At(const void* record, std::size_t offset) {
    V v;
    std::memcpy(&v, static_cast<const unsigned char*>(record) + offset, sizeof v);
    return v;
}

constexpr std::size_t kParams = 16, kWires = 2064, kReserved = 2832, kJoints = 6928, kElements = 15120,
                      kElemResp = 17168, kDrvResp = 16794384, kTitles = 33571728, kPaths = 33637264;

}  // namespace

TEST(NetworkModel, ClearDefaultsAtTheDocumentedOffsets) {
    auto pane = AllocRecord<PaneRecord>();
    std::memset(pane.get(), 0x5A, sizeof(PaneRecord));
    ClearPaneRecord(pane.get());
    const void* img = pane.get();
    for (std::size_t w = 0; w < 4; ++w) EXPECT_EQ(At<uint32_t>(img, 4 * w), 0u);
    EXPECT_EQ(ElementListLength(*pane), 0);
    for (int s = 0; s < 32; ++s) {
        const std::size_t p = kParams + 64 * s;
        const float expect[16] = {0, 0, 100, 10000, 0, 0, 1000, 1, 0, 0, 0, 0, 1, 0, 0, 0};
        for (int k = 0; k < 16; ++k) EXPECT_EQ(At<float>(img, p + 4 * k), expect[k]) << "slot " << s << " p" << k;
        const std::size_t e = kElements + 64 * s;
        for (int k = 0; k < 16; ++k) {
            int32_t want = (k == 5 || k == 6 || k == 10) ? -1 : 0;
            EXPECT_EQ(At<int32_t>(img, e + 4 * k), want) << "slot " << s << " word " << k;
        }
        EXPECT_STREQ(reinterpret_cast<const char*>(img) + kTitles + 2048 * s, "No File Loaded");
        for (int k = 0; k < 2048; ++k) ASSERT_EQ(At<char>(img, kPaths + 2048 * s + k), 0);
        for (int k = 15; k < 2048; ++k) ASSERT_EQ(At<char>(img, kTitles + 2048 * s + k), 0);
        for (std::size_t i = 0; i < 65536; i += 4099) {
            EXPECT_EQ(At<float>(img, kElemResp + 524288u * s + 8 * i), 1.0f);
            EXPECT_EQ(At<float>(img, kElemResp + 524288u * s + 8 * i + 4), 0.0f);
            EXPECT_EQ(At<float>(img, kDrvResp + 524292u * s + 4 * i), 1.0f);
            EXPECT_EQ(At<float>(img, kDrvResp + 524292u * s + 262144 + 4 * i), 0.0f);
        }
        EXPECT_EQ(At<float>(img, kDrvResp + 524292u * s + 524288), 90.0f);
    }
    for (std::size_t b = kWires; b < kElements; ++b) ASSERT_EQ(At<unsigned char>(img, b), 0) << b;
    // The last point of the last response and the last driver efficiency end exactly where the titles begin.
    EXPECT_EQ(At<float>(img, kDrvResp - 4), 0.0f);
    EXPECT_EQ(At<float>(img, kTitles - 4), 90.0f);
}

TEST(NetworkModel, ResetDiffersFromClearOnlyInTheParameterDefaults) {
    auto net = AllocRecord<WorkingNetwork>();
    auto pane = AllocRecord<PaneRecord>();
    ResetWorkingNetwork(net.get());
    ClearPaneRecord(pane.get());
    for (int s = 0; s < 32; ++s) {
        EXPECT_EQ(net->params[s].p[2], 20.0f);
        EXPECT_EQ(net->params[s].p[3], 200.0f);
        EXPECT_EQ(net->params[s].p[6], 1000.0f);
        EXPECT_EQ(net->params[s].p[7], 1.0f);
        EXPECT_EQ(net->params[s].p[10], 10.0f);
        EXPECT_EQ(net->params[s].p[12], 1.0f);
        EXPECT_EQ(pane->params[s].p[10], 0.0f);
    }
    // Everything outside the parameter block is the same.
    const auto* a = reinterpret_cast<const unsigned char*>(static_cast<PaneRecord*>(net.get()));
    const auto* b = reinterpret_cast<const unsigned char*>(pane.get());
    EXPECT_EQ(std::memcmp(a, b, kParams), 0);
    EXPECT_EQ(std::memcmp(a + kWires, b + kWires, sizeof(PaneRecord) - kWires), 0);
}

TEST(NetworkModel, SaveThenLoadKeepsEveryByte) {
    auto net = AllocRecord<WorkingNetwork>();
    auto pane = AllocRecord<PaneRecord>();
    auto back = AllocRecord<WorkingNetwork>();
    auto* bytes = reinterpret_cast<unsigned char*>(static_cast<PaneRecord*>(net.get()));
    uint32_t x = 12345;
    for (std::size_t i = 0; i < sizeof(PaneRecord); ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = static_cast<unsigned char>(x >> 24);
    }
    SavePaneNetwork(*net, pane.get());
    LoadPaneNetwork(*pane, back.get());
    EXPECT_EQ(std::memcmp(static_cast<PaneRecord*>(net.get()), pane.get(), sizeof(PaneRecord)), 0);
    EXPECT_EQ(std::memcmp(static_cast<PaneRecord*>(net.get()), static_cast<PaneRecord*>(back.get()), sizeof(PaneRecord)), 0);

    // A freshly reset network saved into a cleared pane carries the reset defaults into the pane.
    ClearPaneRecord(pane.get());
    ResetWorkingNetwork(net.get());
    SavePaneNetwork(*net, pane.get());
    EXPECT_EQ(pane->params[5].p[2], 20.0f);
    EXPECT_EQ(pane->params[5].p[3], 200.0f);
    EXPECT_EQ(pane->params[5].p[10], 10.0f);
    // Loading a cleared pane makes its stored tool (0, none) and count current.
    ClearPaneRecord(pane.get());
    back->edit_tool = EditToolDraw;
    back->element_count = 7;
    LoadPaneNetwork(*pane, back.get());
    EXPECT_EQ(back->edit_tool, 0u);
    EXPECT_EQ(back->element_count, 0u);
}

TEST(NetworkModel, ClearAllClearsEveryPaneGiven) {
    // Nine full records are 303 MB; two real panes and seven nulls check the walk without that cost.
    auto p1 = AllocRecord<PaneRecord>();
    auto p9 = AllocRecord<PaneRecord>();
    PaneRecord* panes[kPaneCount] = {p1.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, p9.get()};
    p1->elements[0].kind = OutputPort;
    p9->element_count = 4;
    ClearAllPaneRecords(panes);
    EXPECT_EQ(p1->elements[0].kind, 0);
    EXPECT_EQ(p1->elements[0].node1, -1);
    EXPECT_EQ(p9->element_count, 0u);
    EXPECT_STREQ(p9->driver_file_title[31], "No File Loaded");
}

TEST(NetworkModel, ElementListEndsAtFirstEmptyKindOrAfterSlot31) {
    auto pane = AllocRecord<PaneRecord>();
    ClearPaneRecord(pane.get());
    for (int i = 0; i < 32; ++i) pane->elements[i].kind = Junction;
    EXPECT_EQ(ElementListLength(*pane), 32);
    pane->elements[7].kind = -3;
    EXPECT_EQ(ElementListLength(*pane), 7);
    pane->elements[0].kind = 0;
    EXPECT_EQ(ElementListLength(*pane), 0);
    pane->element_count = 4000000000u;
    EXPECT_EQ(ClampedElementCount(*pane), 32);
    pane->wire_count = 33;
    EXPECT_EQ(ClampedWireCount(*pane), 32);
    pane->joint_count = 5;
    EXPECT_EQ(ClampedJointCount(*pane), 5);
}

namespace {

void Place(PaneRecord* r, int slot, int32_t kind, int32_t n1, int32_t n2) {
    r->elements[slot].kind = kind;
    r->elements[slot].node1 = n1;
    r->elements[slot].node2 = n2;
}

}  // namespace

TEST(NetworkModel, DerivedNodePassWritesInputAndSignalNodes) {
    auto pane = AllocRecord<PaneRecord>();
    ClearPaneRecord(pane.get());
    Place(pane.get(), 0, Junction, 4, 4);
    Place(pane.get(), 1, InputTerminal, 3, 3);
    Place(pane.get(), 2, InputTerminal, 9, 9);   // only the first input terminal is taken
    Place(pane.get(), 3, OutputPort, 6, 2);      // node2 on the ground: signal node is node1
    Place(pane.get(), 4, Ground, 2, 2);
    Place(pane.get(), 5, OutputPort, 2, 7);      // node1 on the ground: signal node is node2
    Place(pane.get(), 6, OutputPort, 8, 13);     // no ground in the list: keeps what it had
    Place(pane.get(), 7, Ground, 10, 10);        // a second ground, later in slot order
    Place(pane.get(), 8, OutputPort, 10, 2);     // both grounded: the first ground (slot 4) wins -> node1
    Place(pane.get(), 9, OutputPort, -1, 11);    // unconnected terminal 1 ...
    Place(pane.get(), 10, Ground, -1, -1);       // ... does not "share" -1 with an unconnected ground
    // Slot 11 ends the list; an old Ground behind it is no part of the network.
    Place(pane.get(), 12, Ground, 8, 8);
    pane->params[6].p[15] = 42.0f;
    pane->params[9].p[15] = 43.0f;

    UpdateDerivedNodes(pane.get());
    EXPECT_EQ(pane->params[1].p[14], 3.0f);
    EXPECT_EQ(pane->params[2].p[14], 0.0f);
    EXPECT_EQ(pane->params[3].p[15], 6.0f);
    EXPECT_EQ(pane->params[5].p[15], 7.0f);
    EXPECT_EQ(pane->params[6].p[15], 42.0f);
    EXPECT_EQ(pane->params[8].p[15], 10.0f);      // slot 4 matches node2 first; slot 7 would have given 2
    EXPECT_EQ(pane->params[9].p[15], 43.0f);
}

TEST(NetworkModel, SanitisingLeavesASoundRecordAlone) {
    auto pane = AllocRecord<PaneRecord>();
    ClearPaneRecord(pane.get());
    Place(pane.get(), 0, OutputPort, 0, 31);
    pane->params[0].p[kParamChannelDelay] = -2.5f;
    pane->element_count = 1;
    pane->wire_count = 32;
    pane->joint_count = 32;
    pane->edit_tool = EditToolWipeWire;
    auto copy = AllocRecord<PaneRecord>();
    std::memcpy(static_cast<void*>(copy.get()), pane.get(), sizeof(PaneRecord));
    SanitisePaneRecord(pane.get());
    EXPECT_EQ(std::memcmp(copy.get(), pane.get(), sizeof(PaneRecord)), 0);
    pane->edit_tool = 2;
    pane->elements[0].node3 = 40;
    SanitisePaneRecord(pane.get());
    EXPECT_EQ(pane->edit_tool, 0u);
    EXPECT_EQ(pane->elements[0].node3, -1);
}

TEST(NetworkModel, SanitisingFlattensResponsePointsThatAreNoNumberOrBeyondAnyResponse) {
    // What a damaged project brings: NaN, infinities and values beyond 200 dB in the stored responses.
    auto pane = AllocRecord<PaneRecord>();
    ClearPaneRecord(pane.get());
    ElementResponse& eq = pane->element_responses[3];
    eq.points[10] = ComplexPoint{std::nanf(""), 0.5f};
    eq.points[11] = ComplexPoint{0.25f, -INFINITY};
    eq.points[12] = ComplexPoint{2e10f, 0.0f};
    eq.points[13] = ComplexPoint{-9e9f, 9e9f};  // within the limit: kept
    DriverResponse& d = pane->driver_responses[31];
    d.re[0] = INFINITY;
    d.im[65535] = -3e38f;
    d.re[700] = 0.125f;
    d.im[700] = -0.5f;
    d.efficiency_db = std::nanf("");
    SanitisePaneRecord(pane.get());
    for (int k : {10, 11, 12}) {
        EXPECT_EQ(eq.points[k].re, 1.0f) << k;
        EXPECT_EQ(eq.points[k].im, 0.0f) << k;
    }
    EXPECT_EQ(eq.points[13].re, -9e9f);
    EXPECT_EQ(eq.points[13].im, 9e9f);
    EXPECT_EQ(d.re[0], 1.0f);
    EXPECT_EQ(d.im[0], 0.0f);
    EXPECT_EQ(d.re[65535], 1.0f);
    EXPECT_EQ(d.im[65535], 0.0f);
    EXPECT_EQ(d.re[700], 0.125f);
    EXPECT_EQ(d.im[700], -0.5f);
    EXPECT_EQ(d.efficiency_db, 90.0f);
}
