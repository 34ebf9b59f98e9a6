// The pane editor's gestures against the rules a user meets: snapping, placing with its refusals, wires,
// Move, the wipes, the toggles, activation, and the previews drawn on the way.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/settings.h"
#include "design/pane_editor.h"
#include "network_test_support.h"

namespace {

struct RecordingPainter : PanePreviewPainter {
    std::vector<std::string> calls;
    void BeginNotXor() override { calls.push_back("notxor"); }
    void BeginNot() override { calls.push_back("not"); }
    void OutlineSymbol(int kind, int x, int y) override {
        calls.push_back("outline " + std::to_string(kind) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void RubberBand(int x0, int y0, int x1, int y1) override {
        calls.push_back("band " + std::to_string(x0) + "," + std::to_string(y0) + "-" + std::to_string(x1) + "," +
                        std::to_string(y1));
    }
    void DragPreview(bool currentPen) override { calls.push_back(currentPen ? "drag current" : "drag pen"); }
    void SelectionSymbol(int kind, int x, int y) override {
        calls.push_back("select " + std::to_string(kind) + " " + std::to_string(x) + "," + std::to_string(y));
    }
};

class PaneEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        record_ = nettest::Alloc<PaneRecord>();
        net_ = nettest::Alloc<WorkingNetwork>();
        ClearPaneRecord(record_.get());
        ResetWorkingNetwork(net_.get());
        ResetPaneEditorState();
        EngineRunning = 0;
        ModalDialogOpen = 0;
        ActivePane = 1;
        EditTool = 1;
        ctx_ = PaneContext{1, record_.get(), net_.get()};
    }
    void TearDown() override {
        EngineRunning = 0;
        ModalDialogOpen = 0;
        ActivePane = 0;
        EditTool = 1;
    }
    // A palette click and a press in the active pane.
    PaneAction Place(int kind, int x, int y) {
        ArmPalette(kind);
        PaneAction a = PaneLeftDown(ctx_, x, y, painter_);
        PaneLeftUp(ctx_, x, y, painter_);
        return a;
    }
    PaneAction Wire(int x0, int y0, int x1, int y1) {
        PaneLeftDown(ctx_, x0, y0, painter_);
        PaneMouseMove(ctx_, x1, y1, painter_);
        return PaneLeftUp(ctx_, x1, y1, painter_);
    }
    nettest::Heap<PaneRecord> record_;
    nettest::Heap<WorkingNetwork> net_;
    PaneContext ctx_;
    RecordingPainter painter_;
};

TEST(PaneEditorSnap, RoundsToTheTenPixelGrid) {
    EXPECT_EQ(SnapToGrid(4), 0);
    EXPECT_EQ(SnapToGrid(5), 10);
    EXPECT_EQ(SnapToGrid(14), 10);
    EXPECT_EQ(SnapToGrid(15), 20);
    EXPECT_EQ(SnapToGrid(104), 100);
    // Stored points never sit at x = 0, which the joints take for a free slot.
    EXPECT_EQ(SnapStoredX(4), 10);
    EXPECT_EQ(SnapStoredX(0), 10);
    EXPECT_EQ(SnapStoredX(26), 30);
}

TEST(PaneEditorCaption, PanesOneToSixAndSevenToNine) {
    for (int n = 1; n <= 6; ++n) EXPECT_STREQ(PaneCaption(n), "Splitter W1");
    for (int n = 7; n <= 9; ++n) EXPECT_STREQ(PaneCaption(n), "Splitter W7");
}

TEST_F(PaneEditorTest, PlacingAFilterBlockWritesItsGeometryAndSavesAtOnce) {
    const PaneAction a = Place(FilterBlock, 103, 96);
    EXPECT_TRUE(a.messages.empty());
    EXPECT_TRUE(a.repaint);
    EXPECT_TRUE(a.redrawPalette);
    EXPECT_EQ(PaletteArmed, 0);
    ASSERT_EQ(record_->element_count, 1u);
    const NetworkElement& e = record_->elements[0];
    EXPECT_EQ(e.kind, FilterBlock);
    EXPECT_EQ(e.x1, 100);
    EXPECT_EQ(e.y1, 100);
    EXPECT_EQ(e.x2, 140);
    EXPECT_EQ(e.y2, 100);
    // An output port stands upright.
    Place(OutputPort, 300, 200);
    EXPECT_EQ(record_->elements[1].x2, 300);
    EXPECT_EQ(record_->elements[1].y2, 240);
    // The parameters of the slot stay as the slot held them (the reset defaults).
    EXPECT_EQ(record_->params[0].p[kParamFilterFrequency], 1000.0f);
    EXPECT_EQ(record_->edit_tool, 1u);
}

TEST_F(PaneEditorTest, SecondInputTerminalAndRoomEqAreRefusedWithTheirMessages) {
    EXPECT_TRUE(Place(InputTerminal, 50, 50).messages.empty());
    PaneAction a = Place(InputTerminal, 80, 300);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].text, "Input Node Exists");
    EXPECT_EQ(a.messages[0].caption, "Splitter W1");
    EXPECT_EQ(a.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(a.repaint);  // refused, saved and repainted all the same
    EXPECT_EQ(PaletteArmed, 0);
    EXPECT_TRUE(Place(RoomEqBlock, 200, 200).messages.empty());
    a = Place(RoomEqBlock, 300, 300);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].text, "Room EQ Exists");
    EXPECT_EQ(record_->element_count, 2u);
}

TEST_F(PaneEditorTest, PaneSevenRefusesWithItsOwnCaption) {
    ActivePane = 7;
    ctx_.pane = 7;
    Place(InputTerminal, 50, 50);
    const PaneAction a = Place(InputTerminal, 90, 50);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].caption, "Splitter W7");
}

TEST_F(PaneEditorTest, OverlappingTerminalsAreRefusedButPointKindsGoAnywhere) {
    Place(FilterBlock, 100, 100);
    // Terminal 2 of the new block would fall on terminal 1 of the first.
    PaneAction a = Place(FilterBlock, 60, 100);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].text, "Overlapped Terminal Detected");
    // An output port whose terminal 1 is the first block's terminal 2.
    a = Place(OutputPort, 140, 100);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(record_->element_count, 1u);
    // Junctions and grounds, any number, also on a terminal.
    EXPECT_TRUE(Place(Junction, 140, 100).messages.empty());
    EXPECT_TRUE(Place(Ground, 140, 100).messages.empty());
    EXPECT_TRUE(Place(Ground, 140, 100).messages.empty());
    EXPECT_EQ(record_->element_count, 4u);
}

TEST_F(PaneEditorTest, AThirtyThirdElementIsNotAppended) {
    for (int i = 0; i < 32; ++i) ASSERT_TRUE(Place(Junction, 20 + 10 * i, 20).messages.empty());
    EXPECT_EQ(record_->element_count, 32u);
    const PaneAction a = Place(Junction, 20, 300);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].text, kElementTableFull);
    EXPECT_EQ(record_->element_count, 32u);
}

TEST_F(PaneEditorTest, APressAtTheLeftEdgeStoresXTen) {
    Place(Junction, 3, 50);
    Place(FilterBlock, 2, 100);
    EXPECT_EQ(record_->elements[0].x1, 10);
    EXPECT_EQ(record_->elements[1].x1, 10);
    EXPECT_EQ(record_->elements[1].x2, 50);
    // A wire from there keeps its start off the free-slot marker of the joints.
    Wire(4, 50, 10, 100);
    ASSERT_EQ(record_->wire_count, 1u);
    EXPECT_EQ(record_->wires[0].x1, 10);
    EXPECT_GE(record_->elements[0].node1, 0);
    EXPECT_EQ(record_->elements[0].node1, record_->elements[1].node1);
}

TEST_F(PaneEditorTest, ArmedWithKindZeroPlacesNothingAndDisarms) {
    ArmPalette(0);
    const PaneAction a = PaneLeftDown(ctx_, 100, 100, painter_);
    EXPECT_TRUE(a.messages.empty());
    EXPECT_EQ(PaletteArmed, 0);
    EXPECT_EQ(record_->element_count, 0u);
    EXPECT_EQ(WireInProgress, 0);
}

TEST_F(PaneEditorTest, WiresNeedTwoTerminalsAndNoDuplicate) {
    Place(InputTerminal, 50, 100);
    Place(FilterBlock, 100, 100);
    // A press and release on one grid point makes nothing.
    Wire(50, 100, 52, 98);
    EXPECT_EQ(record_->wire_count, 0u);
    // An end off every terminal is dropped silently.
    PaneAction a = Wire(50, 100, 80, 160);
    EXPECT_TRUE(a.messages.empty());
    EXPECT_EQ(record_->wire_count, 0u);
    a = Wire(50, 100, 100, 100);
    EXPECT_EQ(record_->wire_count, 1u);
    EXPECT_TRUE(a.repaint);
    EXPECT_EQ(WireInProgress, 0);
    // The joints were rebuilt: both terminals on one node.
    EXPECT_GE(record_->elements[0].node1, 0);
    EXPECT_EQ(record_->elements[0].node1, record_->elements[1].node1);
    // The same wire again is a duplicate; the opposite direction is a new wire.
    Wire(50, 100, 100, 100);
    EXPECT_EQ(record_->wire_count, 1u);
    Wire(100, 100, 50, 100);
    EXPECT_EQ(record_->wire_count, 2u);
    const ::Wire& w = record_->wires[1];
    EXPECT_EQ(w.x1, 100);
    EXPECT_EQ(w.x2, 50);
}

TEST_F(PaneEditorTest, RubberBandRestoresTheOldPathBeforeDrawingTheNew) {
    Place(InputTerminal, 50, 100);
    painter_.calls.clear();
    PaneLeftDown(ctx_, 50, 100, painter_);
    PaneMouseMove(ctx_, 71, 119, painter_);
    PaneMouseMove(ctx_, 90, 140, painter_);
    const std::vector<std::string> expected = {"not", "band 50,100-70,120", "not", "band 50,100-70,120",
                                               "band 50,100-90,140"};
    EXPECT_EQ(painter_.calls, expected);
}

TEST_F(PaneEditorTest, PlacementPreviewLeavesOneImage) {
    ArmPalette(Ground);
    PaneMouseMove(ctx_, 100, 100, painter_);
    PaneMouseMove(ctx_, 120, 100, painter_);
    const std::vector<std::string> expected = {"notxor", "outline 5 100,100", "outline 5 100,100", "outline 5 100,100",
                                               "notxor", "outline 5 100,100", "outline 5 120,100"};
    EXPECT_EQ(painter_.calls, expected);
}

TEST_F(PaneEditorTest, MovePressInTheMiddleOfABlockMovesTerminalOneThere) {
    Place(InputTerminal, 50, 100);
    Place(FilterBlock, 100, 100);
    Wire(50, 100, 100, 100);
    EditTool = 5;
    painter_.calls.clear();
    PaneLeftDown(ctx_, 121, 99, painter_);
    EXPECT_EQ(net_->elements[1].drag, 1);
    EXPECT_EQ(net_->wires[0].drag_tag, 2);  // the wire's end sits on terminal 1
    EXPECT_EQ(painter_.calls, (std::vector<std::string>{"notxor", "drag pen"}));
    const PaneAction a = PaneLeftUp(ctx_, 121, 99, painter_);
    EXPECT_TRUE(a.repaint);
    EXPECT_EQ(record_->elements[1].x1, 120);
    EXPECT_EQ(record_->elements[1].x2, 160);
    EXPECT_EQ(record_->wires[0].x2, 120);
    EXPECT_EQ(record_->wires[0].y2, 100);
    EXPECT_EQ(record_->elements[1].drag, 0);
    EXPECT_EQ(record_->wires[0].drag_tag, 0);
    EXPECT_EQ(PaletteArmed, 0);
}

TEST_F(PaneEditorTest, DraggingFollowsThePointerAndDropsOnTheGrid) {
    Place(OutputPort, 200, 100);
    Place(Ground, 200, 140);
    Place(Junction, 150, 100);
    Wire(150, 100, 200, 100);
    EditTool = 5;
    PaneLeftDown(ctx_, 200, 120, painter_);
    PaneMouseMove(ctx_, 233, 77, painter_);
    // During the drag the element follows the unsnapped pointer.
    EXPECT_EQ(net_->elements[0].x1, 233);
    EXPECT_EQ(net_->elements[0].y2, 117);
    EXPECT_EQ(net_->wires[0].x2, 233);
    PaneMouseMove(ctx_, 247, 81, painter_);
    PaneLeftUp(ctx_, 247, 81, painter_);
    EXPECT_EQ(record_->elements[0].x1, 250);
    EXPECT_EQ(record_->elements[0].y1, 80);
    EXPECT_EQ(record_->elements[0].y2, 120);
    EXPECT_EQ(record_->wires[0].x2, 250);
    EXPECT_EQ(record_->wires[0].y2, 80);
}

TEST_F(PaneEditorTest, LeftGesturesInAnInactivePaneDoNothing) {
    ActivePane = 2;
    ArmPalette(FilterBlock);
    const PaneAction a = PaneLeftDown(ctx_, 100, 100, painter_);
    EXPECT_FALSE(a.repaint);
    EXPECT_EQ(record_->element_count, 0u);
    EXPECT_EQ(PaletteArmed, 1);
}

TEST_F(PaneEditorTest, DoubleClickTogglesThePlotFlagAndTheBypass) {
    Place(OutputPort, 200, 100);
    Place(FilterBlock, 100, 100);
    net_->params[0].p[kParamPlotFlag] = 0.5f;
    SaveWorkingNetworkIntoPane(ctx_);
    // A double click reaches the pane as press, release, double click, release.
    auto doubleClick = [&](int x, int y) {
        PaneLeftDown(ctx_, x, y, painter_);
        PaneLeftUp(ctx_, x, y, painter_);
        PaneAction a = PaneDoubleClick(ctx_, x, y, painter_);
        PaneLeftUp(ctx_, x, y, painter_);
        return a;
    };
    PaneAction a = doubleClick(200, 120);
    EXPECT_EQ(record_->params[0].p[kParamPlotFlag], 1.0f);
    EXPECT_EQ(SelectedElement, 0);
    EXPECT_TRUE(a.repaintAllPanes);
    EXPECT_TRUE(a.updateToolButtons);
    doubleClick(200, 120);
    EXPECT_EQ(record_->params[0].p[kParamPlotFlag], 0.0f);
    doubleClick(120, 100);
    EXPECT_EQ(record_->params[1].p[kParamBypass], 1.0f);
    EXPECT_EQ(SelectedElement, 1);
    EXPECT_EQ(record_->wire_count, 0u);  // the single clicks made no wire
}

TEST_F(PaneEditorTest, RightClickActivatesAndOpensTheDialogOfTheKind) {
    Place(FilterBlock, 100, 100);
    Place(Junction, 300, 300);
    ActivePane = 3;
    EditTool = 6;
    PaneAction a = PaneRightDown(ctx_, 500, 500, painter_);
    EXPECT_EQ(ActivePane, 1);
    EXPECT_EQ(EditTool, 1);
    EXPECT_EQ(a.dialogKind, 0);
    EXPECT_TRUE(a.repaintAllPanes);
    EXPECT_TRUE(a.updateToolButtons);
    EXPECT_EQ(ModalDialogOpen.load(), 0);
    a = PaneRightDown(ctx_, 110, 102, painter_);
    EXPECT_EQ(a.dialogKind, FilterBlock);
    EXPECT_EQ(SelectedElement, 0);
    EXPECT_EQ(ModalDialogOpen.load(), 1);
    EXPECT_EQ(painter_.calls.back(), "select 3 100,100");
    net_->params[0].p[kParamFilterFrequency] = 2500.0f;  // what a dialog writes
    FinishElementDialog(ctx_);
    EXPECT_EQ(ModalDialogOpen.load(), 0);
    EXPECT_EQ(record_->params[0].p[kParamFilterFrequency], 2500.0f);
    // A junction has no dialog.
    a = PaneRightDown(ctx_, 300, 300, painter_);
    EXPECT_EQ(a.dialogKind, 0);
    EXPECT_EQ(SelectedElement, 1);
}

TEST_F(PaneEditorTest, RightClickLoadsThePaneIntoTheWorkingNetwork) {
    Place(FilterBlock, 100, 100);
    ResetWorkingNetwork(net_.get());  // another pane's network was loaded meanwhile
    ActivePane = 2;
    PaneRightDown(ctx_, 10, 10, painter_);
    EXPECT_EQ(net_->element_count, 1u);
    EXPECT_EQ(net_->elements[0].kind, FilterBlock);
}

TEST_F(PaneEditorTest, WipeWireDeletesTheFirstOfTwoWiresThroughAPoint) {
    Place(InputTerminal, 50, 100);
    Place(Junction, 150, 100);
    Place(Junction, 150, 200);
    Wire(50, 100, 150, 100);
    Wire(50, 100, 150, 200);  // shares the row y = 100 with the first
    ASSERT_EQ(record_->wire_count, 2u);
    EditTool = 8;
    PaneAction a = PaneDoubleClick(ctx_, 100, 100, painter_);
    EXPECT_TRUE(a.repaint);
    ASSERT_EQ(record_->wire_count, 1u);
    EXPECT_EQ(record_->wires[0].y2, 200);
    // Slot 31 keeps its content; slot 1 took slot 2's.
    PaneDoubleClick(ctx_, 100, 100, painter_);
    EXPECT_EQ(record_->wire_count, 0u);
}

TEST_F(PaneEditorTest, WipeCompDeletesTheElementWithItsWiresAndCompactsTheTables) {
    Place(InputTerminal, 50, 100);
    Place(FilterBlock, 100, 100);
    Place(OutputPort, 200, 100);
    Wire(50, 100, 100, 100);
    Wire(140, 100, 200, 100);
    net_->params[2].p[kParamOutputNumber] = 7.0f;
    std::strcpy(net_->driver_file_title[2], "woofer.wfr");
    net_->element_responses[2].points[5] = ComplexPoint{0.25f, -0.5f};
    net_->driver_responses[2].re[9] = 3.0f;
    SaveWorkingNetworkIntoPane(ctx_);
    EditTool = 6;
    PaneDoubleClick(ctx_, 120, 100, painter_);
    ASSERT_EQ(record_->element_count, 2u);
    EXPECT_EQ(record_->wire_count, 0u);
    EXPECT_EQ(record_->elements[1].kind, OutputPort);
    EXPECT_EQ(record_->params[1].p[kParamOutputNumber], 7.0f);
    EXPECT_STREQ(record_->driver_file_title[1], "woofer.wfr");
    EXPECT_EQ(record_->element_responses[1].points[5].im, -0.5f);
    EXPECT_EQ(record_->driver_responses[1].re[9], 3.0f);
}

TEST_F(PaneEditorTest, NothingChangesWhileTheEngineRuns) {
    EngineRunning = 1;
    ArmPalette(FilterBlock);
    EXPECT_FALSE(PaneLeftDown(ctx_, 100, 100, painter_).repaint);
    ActivePane = 2;
    EXPECT_FALSE(PaneRightDown(ctx_, 100, 100, painter_).repaint);
    EXPECT_EQ(ActivePane, 2);
    EXPECT_EQ(record_->element_count, 0u);
    EXPECT_TRUE(painter_.calls.empty());
}

TEST_F(PaneEditorTest, AThirtyThirdWireIsNotAppended) {
    for (int i = 0; i < 17; ++i) ASSERT_TRUE(Place(Junction, 20 + 10 * i, 20).messages.empty());
    for (int i = 0; i < 16; ++i) Wire(20 + 10 * i, 20, 30 + 10 * i, 20);
    for (int i = 0; i < 16; ++i) Wire(30 + 10 * i, 20, 20 + 10 * i, 20);
    ASSERT_EQ(record_->wire_count, 32u);
    const PaneAction a = Wire(20, 20, 40, 20);
    EXPECT_EQ(record_->wire_count, 32u);
    bool told = false;
    for (const HvMessage& m : a.messages) told = told || (m.text == kWireTableFull && m.caption == "Splitter W1");
    EXPECT_TRUE(told);
}

TEST(PaneEditorHits, WireHitIncludesBothBoundsEitherWay) {
    ::Wire w{100, 50, 40, 90, 0, 0};
    EXPECT_TRUE(HitWire(w, 40, 50));
    EXPECT_TRUE(HitWire(w, 100, 50));
    EXPECT_TRUE(HitWire(w, 40, 90));
    EXPECT_TRUE(HitWire(w, 40, 70));
    EXPECT_FALSE(HitWire(w, 30, 50));
    EXPECT_FALSE(HitWire(w, 70, 70));
}

}  // namespace
