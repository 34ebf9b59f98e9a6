// The texts a pane writes beside its symbols, for each kind and state, with their fonts, colours and places.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "design/schematic_labels.h"
#include "network_test_support.h"

namespace {

std::vector<std::string> Texts(const std::vector<SchematicLabel>& labels) {
    std::vector<std::string> t;
    for (const SchematicLabel& l : labels) t.push_back(l.text);
    return t;
}

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        net_ = nettest::Alloc<PaneRecord>();
        ClearPaneRecord(net_.get());
    }
    int Add(int kind, int x, int y) { return nettest::Builder(net_.get()).Add(kind, x, y); }
    float* P(int i) { return net_->params[i].p; }
    nettest::Heap<PaneRecord> net_;
};

TEST_F(LabelTest, OutputPortWritesItsElevenLinesWithThePhaseLast) {
    const int i = Add(OutputPort, 200, 100);
    float* p = P(i);
    p[kParamOutputNumber] = 3;
    p[kParamLowEdge] = 20;
    p[kParamHighEdge] = 2500.3f;
    p[kParamChannelDelay] = 1.5f;
    p[kParamOutputGain] = -3.04f;
    p[kParamCabsDelay] = 12.0f;
    p[kParamPlotFlag] = 1.0f;
    p[kParamPolarity] = 1.0f;
    std::strcpy(net_->driver_file_title[i], "tweeter.twe");
    const std::vector<SchematicLabel> l = ElementLabels(*net_, i);
    const std::vector<std::string> expected = {"Out3",        "tweeter.twe", "OK To Plot",     "F1: 20.0 Hz",
                                               "F2: 2500.3 Hz", "Del:",      "1.500 ms",       "Gain: -3.0 dB",
                                               "CABS:",       "12.000 ms",   "IN Phase"};
    EXPECT_EQ(Texts(l), expected);
    EXPECT_EQ(l[0].font, LabelFont::Large);
    EXPECT_EQ(l[0].colour, LabelRgb(164, 0, 0));
    EXPECT_EQ(l[0].x, 215);
    EXPECT_EQ(l[0].y, 108);
    EXPECT_EQ(l[1].font, LabelFont::Tiny);
    EXPECT_EQ(l[1].colour, LabelRgb(128, 0, 0));
    EXPECT_EQ(l[1].x, 205);
    EXPECT_EQ(l[1].y, 130);
    EXPECT_EQ(l[6].x, 235);
    EXPECT_EQ(l[6].y, 170);
    EXPECT_EQ(l[9].x, 245);
    EXPECT_EQ(l[9].y, 200);
    EXPECT_EQ(l[10].y, 180);
    EXPECT_EQ(l[10].colour, LabelRgb(128, 0, 0));
    EXPECT_EQ(l[2].colour, LabelRgb(0, 128, 0));
    // Anything but exactly 1.0 reads as off.
    p[kParamPlotFlag] = 0.999f;
    p[kParamPolarity] = -1.0f;
    const std::vector<std::string> t = Texts(ElementLabels(*net_, i));
    EXPECT_EQ(t[2], "Do NOT Plot");
    EXPECT_EQ(t[10], "OUT of Phase");
}

TEST_F(LabelTest, ATitleWithoutItsNulStopsAtTheField) {
    const int i = Add(OutputPort, 200, 100);
    std::memset(net_->driver_file_title[i], 'A', kDriverPathChars);
    EXPECT_EQ(ElementLabels(*net_, i)[1].text.size(), static_cast<size_t>(kDriverPathChars));
}

TEST_F(LabelTest, InputTerminalShowsItsPort) {
    const int i = Add(InputTerminal, 50, 100);
    P(i)[kParamInputPort] = 2;
    const std::vector<SchematicLabel> l = ElementLabels(*net_, i);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].text, "In2");
    EXPECT_EQ(l[0].x, 30);
    EXPECT_EQ(l[0].y, 70);
    EXPECT_EQ(l[0].colour, LabelRgb(0, 164, 0));
}

TEST_F(LabelTest, FilterBlockLinesByFamily) {
    const int i = Add(FilterBlock, 100, 100);
    float* p = P(i);
    p[kParamFilterFrequency] = 2000;
    p[kParamFilterGain] = -6;
    p[kParamCabsDelay] = 0.707f;
    p[kParamFilterFamily] = 1;
    p[kParamFilterSlope] = 3;
    EXPECT_EQ(Texts(ElementLabels(*net_, i)), (std::vector<std::string>{"Butterworth", "LP -24dB/oct", "Fo: 2000.0 Hz"}));
    const std::vector<SchematicLabel> l = ElementLabels(*net_, i);
    EXPECT_EQ(l[0].x, 95);
    EXPECT_EQ(l[0].y, 117);
    EXPECT_EQ(l[1].x, 105);
    EXPECT_EQ(l[1].y, 130);
    EXPECT_EQ(l[2].y, 140);
    EXPECT_EQ(l[1].colour, LabelRgb(0, 0, 128));
    p[kParamFilterFamily] = 3;
    EXPECT_EQ(Texts(ElementLabels(*net_, i)),
              (std::vector<std::string>{"Q-Parametric", "Q: 0.707", "Gain: -6.00", "Fo: 2000.0 Hz"}));
    p[kParamFilterFamily] = 6;
    EXPECT_EQ(Texts(ElementLabels(*net_, i)), (std::vector<std::string>{"Shelving+6dB", "Gain: -6.0", "Fc: 2000.0 Hz"}));
    p[kParamFilterFamily] = 10;
    p[kParamCabsDelay] = 2.0f;
    EXPECT_EQ(Texts(ElementLabels(*net_, i)), (std::vector<std::string>{"Keele LP-N", "R: 2.0", "Fc: 2000.0 Hz"}));
    p[kParamBypass] = 1.0f;
    EXPECT_EQ(Texts(ElementLabels(*net_, i)), (std::vector<std::string>{"By-Passed"}));
}

TEST_F(LabelTest, AFamilyOrSlopeThatSelectsNoEntryWritesNothingForIt) {
    const int i = Add(FilterBlock, 100, 100);
    float* p = P(i);
    for (float family : {12.0f, -1.0f, 2.5f, std::numeric_limits<float>::quiet_NaN()}) {
        p[kParamFilterFamily] = family;
        EXPECT_TRUE(ElementLabels(*net_, i).empty()) << family;
    }
    p[kParamFilterFamily] = 0;
    for (float slope : {-1.0f, 10.0f, 1e9f, std::numeric_limits<float>::infinity()}) {
        p[kParamFilterSlope] = slope;
        EXPECT_EQ(Texts(ElementLabels(*net_, i)), (std::vector<std::string>{"Bessel", "Fo: 1000.0 Hz"})) << slope;
    }
}

TEST_F(LabelTest, RoomEqBlockShowsItsBand) {
    const int i = Add(RoomEqBlock, 100, 100);
    P(i)[kParamLowEdge] = 20;
    P(i)[kParamHighEdge] = 300;
    P(i)[kParamBypass] = 0;
    const std::vector<SchematicLabel> l = ElementLabels(*net_, i);
    EXPECT_EQ(Texts(l), (std::vector<std::string>{"RoomEQ", "F1: 20.0 Hz", "F2: 300.0 Hz"}));
    EXPECT_EQ(l[0].y, 118);
    P(i)[kParamBypass] = 1;
    EXPECT_EQ(Texts(ElementLabels(*net_, i)), (std::vector<std::string>{"By-Passed"}));
}

TEST_F(LabelTest, JunctionAndGroundHaveNoLabels) {
    EXPECT_TRUE(ElementLabels(*net_, Add(Junction, 10, 10)).empty());
    EXPECT_TRUE(ElementLabels(*net_, Add(Ground, 10, 10)).empty());
}

TEST_F(LabelTest, TheListStopsAtTheFirstEmptyKindOrAfterSlot31) {
    Add(InputTerminal, 50, 100);
    Add(InputTerminal, 50, 200);
    net_->elements[1].kind = 0;
    Add(InputTerminal, 50, 300);
    EXPECT_EQ(PaneElementLabels(*net_).size(), 1u);
    for (int i = 0; i < kMaxElements; ++i) net_->elements[i].kind = InputTerminal;
    EXPECT_EQ(PaneElementLabels(*net_).size(), 32u);
}

TEST(NodeNumbers, PositionsByKindAndNothingForMinusOne) {
    NetworkElement e{};
    e.x1 = 100;
    e.y1 = 100;
    e.x2 = 100;
    e.y2 = 140;
    e.kind = OutputPort;
    e.node1 = 3;
    e.node2 = 0;
    std::vector<SchematicLabel> l = ElementNodeNumbers(e);
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0].text, "3");
    EXPECT_EQ(l[0].x, 104);
    EXPECT_EQ(l[0].y, 95);
    EXPECT_EQ(l[1].text, "0");
    EXPECT_EQ(l[1].x, 88);
    EXPECT_EQ(l[1].y, 134);
    EXPECT_EQ(l[0].colour, LabelRgb(128, 0, 0));
    e.node2 = -1;
    EXPECT_EQ(ElementNodeNumbers(e).size(), 1u);
    e.kind = FilterBlock;
    e.x2 = 140;
    e.y2 = 100;
    e.node2 = 4;
    l = ElementNodeNumbers(e);
    EXPECT_EQ(l[0].x, 92);
    EXPECT_EQ(l[0].y, 88);
    EXPECT_EQ(l[1].x, 135);
    EXPECT_EQ(l[1].y, 88);
    e.kind = Junction;
    e.x2 = 100;
    l = ElementNodeNumbers(e);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].x, 102);
    e.kind = Ground;
    e.node2 = 3;
    l = ElementNodeNumbers(e);
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0].x, 88);
    EXPECT_EQ(l[1].x, 88);
    EXPECT_EQ(l[1].y, 100);
    e.kind = InputTerminal;
    l = ElementNodeNumbers(e);
    EXPECT_EQ(l[0].x, 100);
    EXPECT_EQ(l[0].y, 100);
}

TEST(PaneNames, FixedNamesAndTheSubsByBassMode) {
    EXPECT_STREQ(PaneName(1, 0), "Front-Left");
    EXPECT_STREQ(PaneName(2, 3), "Center");
    EXPECT_STREQ(PaneName(8, 0), "Side Left");
    EXPECT_STREQ(PaneName(9, 0), "Side Right");
    EXPECT_STREQ(PaneName(5, 0), "Subwoofer 1");
    EXPECT_STREQ(PaneName(7, 1), "Sub 2 BBM");
    EXPECT_STREQ(PaneName(5, 2), "Sub 1 SUM");
    EXPECT_STREQ(PaneName(5, 3), "S1 CABS+BBM");
    EXPECT_STREQ(PaneName(7, 3), "S2 CABS+BBM");
    EXPECT_EQ(PaneName(5, 4), nullptr);
    EXPECT_EQ(PaneNameColour(3, 3), LabelRgb(228, 0, 0));
    EXPECT_EQ(PaneNameColour(3, 0), LabelRgb(0, 128, 0));
}

TEST(ToolButtons, OneCheckedPerToolAndNoneForOthers) {
    auto checked = [](int tool) {
        std::vector<int> ids;
        for (const ToolButtonState& s : ToolButtonStates(tool))
            if (s.checked) ids.push_back(s.id);
        return ids;
    };
    EXPECT_EQ(checked(1), std::vector<int>{1002});
    EXPECT_EQ(checked(5), std::vector<int>{1007});
    EXPECT_EQ(checked(6), std::vector<int>{1008});
    EXPECT_EQ(checked(8), std::vector<int>{1016});
    EXPECT_TRUE(checked(7).empty());
    EXPECT_EQ(ToolButtonStates(7).size(), 4u);
}

}  // namespace
