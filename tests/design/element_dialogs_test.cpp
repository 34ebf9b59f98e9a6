// Done and Cancel of the element dialogs case by case: port ranges and warnings, the EQ band reset, the CABS
// limits per rate and block size, the driver-file intake, the filter block's refusals and caps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "design/driver_equalization.h"
#include "design/element_dialogs.h"
#include "network_test_support.h"

namespace {

std::vector<std::string> Texts(const DialogOutcome& o) {
    std::vector<std::string> t;
    for (const HvMessage& m : o.messages) t.push_back(m.text);
    return t;
}

TEST(DialogNumbers, NonNumbersAndNonFiniteReadAsZero) {
    EXPECT_EQ(ReadDialogNumber("abc", 9), 0.0);
    EXPECT_EQ(ReadDialogNumber("inf", 9), 0.0);
    EXPECT_EQ(ReadDialogNumber("-infinity", 9), 0.0);
    EXPECT_EQ(ReadDialogNumber("nan", 9), 0.0);
    EXPECT_EQ(ReadDialogNumber("1e999", 9), 0.0);
    EXPECT_EQ(ReadDialogNumber("1e39", 9), 0.0);    // no float holds it
    EXPECT_EQ(ReadDialogNumber("-4e38", 9), 0.0);
    EXPECT_DOUBLE_EQ(ReadDialogNumber("3e38", 9), 3e38);
    EXPECT_DOUBLE_EQ(ReadDialogNumber(" 12.5ms", 9), 12.5);
    EXPECT_DOUBLE_EQ(ReadDialogNumber("-12.3456789", 7), -12.345);
    EXPECT_EQ(ReadDialogInteger("16.9", 4), 16);
    EXPECT_EQ(ReadDialogInteger("12345", 4), 1234);
}

// ---- Input port ----

class InputPortTest : public ::testing::Test {
protected:
    nettest::Panes panes_{true};
    float p_[16] = {};
    InputPortDialogState state_;
};

TEST_F(InputPortTest, OpeningShowsPortAndNode) {
    p_[kParamInputPort] = 3;
    p_[kParamInputNode] = 2;
    const InputPortTexts t = OpenInputPortDialog(p_, &state_);
    EXPECT_EQ(t.port, "3");
    EXPECT_EQ(t.node, "[Node 2]");
}

TEST_F(InputPortTest, PortNineIsAcceptedZeroAndTenAreRefused) {
    p_[kParamInputPort] = 1;
    OpenInputPortDialog(p_, &state_);
    DialogOutcome o = InputPortDone(p_, "10", &state_, panes_.Const());
    EXPECT_FALSE(o.close);
    ASSERT_EQ(Texts(o), std::vector<std::string>{"INPUT Port Is Out Of Range (1....9)\n\nPort 9 is a Phantom Port used for BBM"});
    EXPECT_EQ(o.messages[0].caption, "HV Message");
    EXPECT_EQ(p_[kParamInputPort], 1.0f);
    ASSERT_EQ(o.texts.size(), 1u);
    EXPECT_EQ(o.texts[0], (std::pair<int, std::string>{1020, "1"}));
    o = InputPortDone(p_, "0", &state_, panes_.Const());
    EXPECT_FALSE(o.close);
    EXPECT_EQ(p_[kParamInputPort], 1.0f);
    o = InputPortDone(p_, "9", &state_, panes_.Const());
    EXPECT_TRUE(o.close);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(p_[kParamInputPort], 9.0f);
}

TEST_F(InputPortTest, UnchangedTextClosesAtOnceSoANewTerminalKeepsZero) {
    p_[kParamInputPort] = 0;
    OpenInputPortDialog(p_, &state_);
    const DialogOutcome o = InputPortDone(p_, "0", &state_, panes_.Const());
    EXPECT_TRUE(o.close);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(p_[kParamInputPort], 0.0f);
    // What no float holds reads as no port at all, yet is not "unchanged": it is refused with the range.
    for (const char* text : {"inf", "nan", "-inf", "1e39"}) {
        const DialogOutcome r = InputPortDone(p_, text, &state_, panes_.Const());
        EXPECT_FALSE(r.close) << text;
        EXPECT_EQ(Texts(r), std::vector<std::string>{kInputPortRange}) << text;
        EXPECT_EQ(r.texts, (std::vector<std::pair<int, std::string>>{{1020, "0"}})) << text;
        EXPECT_EQ(p_[kParamInputPort], 0.0f) << text;
    }
}

TEST_F(InputPortTest, APortInUseIsOnlyAWarning) {
    panes_[4].params[0].p[kParamInputPort] = 5;
    p_[kParamInputPort] = 1;
    OpenInputPortDialog(p_, &state_);
    const DialogOutcome o = InputPortDone(p_, "5", &state_, panes_.Const());
    EXPECT_TRUE(o.close);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"WARNING! This INPUT Port Number Is Already Allocated"});
    EXPECT_EQ(p_[kParamInputPort], 5.0f);
}

TEST_F(InputPortTest, CancelRestoresThePortShown) {
    p_[kParamInputPort] = 2;
    OpenInputPortDialog(p_, &state_);
    p_[kParamInputPort] = 7;
    const DialogOutcome o = InputPortCancel(p_, state_);
    EXPECT_TRUE(o.close);
    EXPECT_EQ(o.result, 2);
    EXPECT_EQ(p_[kParamInputPort], 2.0f);
}

// ---- Output port ----

class OutputPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        net_ = nettest::NewNetwork();
        e_ = nettest::Builder(net_.get()).Add(OutputPort, 200, 100);
        P()[kParamOutputNumber] = 2;
        P()[kParamLowEdge] = 20;
        P()[kParamHighEdge] = 200;
        P()[kParamOutputGain] = -3;
        P()[kParamChannelDelay] = 0.5f;
        P()[kParamCabsDelay] = 0;
        std::strcpy(net_->driver_file_path[e_], "C:\\drivers\\woofer.wfr");
        work_.assign(2 * 262144, 0.0f);
        env_.panes = panes_.Const();
        env_.samplingIndex = 1;
        env_.bufferSizeIndex = 1;
        env_.minPhaseWork = work_.data();
        env_.buildMinimumPhase = [this](const WorkingNetwork&, int) {
            ++builds_;
            // A response of 3 + 4j at every point: its inverse is 0.12 - 0.16j.
            for (int k = 0; k < 16 * 1024; ++k) {
                work_[2 * k] = 3.0f;
                work_[2 * k + 1] = 4.0f;
            }
        };
        texts_ = OpenOutputPortDialog(*net_, e_, &state_);
    }
    float* P() { return net_->params[e_].p; }
    OutputPortDoneTexts Done(std::string port = "2", std::string low = "20.00", std::string high = "200.00",
                             std::string cabs = "0.000000") {
        return OutputPortDoneTexts{"-3.000000", "0.500000", cabs, port, low, high};
    }
    nettest::Heap<WorkingNetwork> net_;
    nettest::Panes panes_{true};
    int e_ = 0;
    std::vector<float> work_;
    int builds_ = 0;
    OutputPortEnvironment env_;
    OutputPortDialogState state_;
    OutputPortTexts texts_;
};

TEST_F(OutputPortTest, OpeningShowsEveryField) {
    EXPECT_EQ(texts_.low, "20.00");
    EXPECT_EQ(texts_.high, "200.00");
    EXPECT_EQ(texts_.port, "2");
    EXPECT_EQ(texts_.path, "C:\\drivers\\woofer.wfr");
    EXPECT_EQ(state_.pickerFileName, texts_.path);
    EXPECT_EQ(texts_.delay, "0.500000");
    EXPECT_EQ(texts_.delayCm, "17.2000");
    EXPECT_EQ(texts_.gain, "-3.000000");
    EXPECT_EQ(texts_.cabs, "0.000000");
    EXPECT_FALSE(texts_.reversePhase);
    EXPECT_TRUE(texts_.plot);
    EXPECT_EQ(DelayDistanceText("2"), "68.8000");
}

TEST_F(OutputPortTest, DoneBuildsTheEqualizationAsTheInverseOfTheMinimumPhaseResponse) {
    const DialogOutcome o = OutputPortDone(net_.get(), e_, Done(), &state_, env_);
    EXPECT_TRUE(o.close);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(builds_, 1);
    EXPECT_FLOAT_EQ(net_->element_responses[e_].points[100].re, 0.12f);
    EXPECT_FLOAT_EQ(net_->element_responses[e_].points[100].im, -0.16f);
    // Above the 16N points the build wrote, the work spectrum was set flat first.
    EXPECT_FLOAT_EQ(net_->element_responses[e_].points[60000].re, 1.0f);
    EXPECT_FLOAT_EQ(net_->element_responses[e_].points[60000].im, 0.0f);
    EXPECT_STREQ(net_->driver_file_path[e_], "C:\\drivers\\woofer.wfr");
}

TEST_F(OutputPortTest, PortSixteenAcceptedSeventeenRefused) {
    DialogOutcome o = OutputPortDone(net_.get(), e_, Done("17"), &state_, env_);
    EXPECT_FALSE(o.close);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"OUTPUT Port Is Out Of Range (1.....16)"});
    EXPECT_EQ(P()[kParamOutputNumber], 2.0f);
    EXPECT_EQ(o.texts[0], (std::pair<int, std::string>{1020, "2"}));
    o = OutputPortDone(net_.get(), e_, Done("16"), &state_, env_);
    EXPECT_TRUE(o.close);
    EXPECT_EQ(P()[kParamOutputNumber], 16.0f);
}

TEST_F(OutputPortTest, TheRangeIsCheckedEvenWhenThePortTextIsUnchanged) {
    P()[kParamOutputNumber] = 0;  // a new port
    OpenOutputPortDialog(*net_, e_, &state_);
    const DialogOutcome o = OutputPortDone(net_.get(), e_, Done("0"), &state_, env_);
    EXPECT_FALSE(o.close);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"OUTPUT Port Is Out Of Range (1.....16)"});
}

TEST_F(OutputPortTest, AnOutputInUseIsWarnedAbout) {
    panes_[3].params[2].p[kParamOutputNumber] = 5;
    const DialogOutcome o = OutputPortDone(net_.get(), e_, Done("5"), &state_, env_);
    EXPECT_TRUE(o.close);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"WARNING! This OUTPUT Port Number Is Already Allocated"});
}

TEST_F(OutputPortTest, BandOutsideTenToFortyThousandIsResetWithOneMessage) {
    DialogOutcome o = OutputPortDone(net_.get(), e_, Done("2", "5", "5"), &state_, env_);
    EXPECT_FALSE(o.close);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"EQ Band Is Out Of Range, And Is Being Reset To: 10....40000Hz"});
    EXPECT_EQ(P()[kParamLowEdge], 10.0f);
    EXPECT_EQ(P()[kParamHighEdge], 40000.0f);
    ASSERT_EQ(o.texts.size(), 2u);
    EXPECT_EQ(o.texts[0].second, "10.00");
    EXPECT_EQ(o.texts[1].second, "40000.00");
    EXPECT_EQ(builds_, 0);
    o = OutputPortDone(net_.get(), e_, Done("2", "50000", "45000"), &state_, env_);
    EXPECT_EQ(P()[kParamLowEdge], 40000.0f);
    EXPECT_EQ(P()[kParamHighEdge], 40000.0f);
    o = OutputPortDone(net_.get(), e_, Done("2", "10", "40000"), &state_, env_);
    EXPECT_TRUE(o.close);
    // F1 above F2 is accepted.
    o = OutputPortDone(net_.get(), e_, Done("2", "5000", "100"), &state_, env_);
    EXPECT_TRUE(o.close);
}

TEST_F(OutputPortTest, CabsLimitsAreWhatTheEngineRingHolds) {
    // The ring carries 4N samples and the solver stores whole milliseconds x 48 samples: floor(4N / 48) ms,
    // 42, 85, 170 and 341 ms for N = 512 .. 4096. The table's own limits hold where they are smaller.
    const int ring[4] = {4 * 512 / 48, 4 * 1024 / 48, 4 * 2048 / 48, 4 * 4096 / 48};
    EXPECT_EQ(ring[0], 42);
    for (uint32_t size = 0; size < 4; ++size) EXPECT_EQ(CabsRingLimitMs(size), ring[size]);
    const int expected[3][4] = {{42, 85, 170, 341}, {41, 84, 168, 341}, {42, 41, 84, 168}};
    for (uint32_t rate = 0; rate < 3; ++rate)
        for (uint32_t size = 0; size < 4; ++size)
            EXPECT_EQ(CabsDelayLimitMs(rate, size), expected[rate][size]) << rate << " " << size;
    env_.samplingIndex = 1;
    env_.bufferSizeIndex = 1;
    DialogOutcome o = OutputPortDone(net_.get(), e_, Done("2", "20", "200", "84"), &state_, env_);
    EXPECT_TRUE(o.close);
    o = OutputPortDone(net_.get(), e_, Done("2", "20", "200", "84.5"), &state_, env_);
    EXPECT_FALSE(o.close);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"WARNING! Maximum Delay is 84.0ms"});
    // The refusal comes after the equalization was rebuilt.
    EXPECT_EQ(builds_, 2);
    // 44.1 kHz and 512 frames: 44 ms would be played as 42.67 ms; the ring's 42 ms is the limit.
    env_.samplingIndex = 0;
    env_.bufferSizeIndex = 0;
    o = OutputPortDone(net_.get(), e_, Done("2", "20", "200", "44"), &state_, env_);
    EXPECT_FALSE(o.close);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"WARNING! Maximum Delay is 42.0ms"});
    o = OutputPortDone(net_.get(), e_, Done("2", "20", "200", "42"), &state_, env_);
    EXPECT_TRUE(o.close);
    env_.bufferSizeIndex = 2;
    o = OutputPortDone(net_.get(), e_, Done("2", "20", "200", "176"), &state_, env_);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"WARNING! Maximum Delay is 170.0ms"});
    // 96000 Hz and 512 frames, where the table sets none: the ring's limit.
    env_.samplingIndex = 2;
    env_.bufferSizeIndex = 0;
    o = OutputPortDone(net_.get(), e_, Done("2", "20", "200", "500"), &state_, env_);
    EXPECT_FALSE(o.close);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"WARNING! Maximum Delay is 42.0ms"});
    // Cancel goes back to the last delay that was accepted, never to the refused one.
    OutputPortCancel(net_.get(), e_, state_);
    EXPECT_EQ(P()[kParamCabsDelay], 42.0f);
}

TEST_F(OutputPortTest, CancelAfterAStayingDoneRestoresWhatDoneRead) {
    const float cabs_at_opening = P()[kParamCabsDelay];
    OutputPortDoneTexts t = Done("2", "20", "200", "99");
    t.gain = "-7.5";
    t.delay = "1.25";
    DialogOutcome o = OutputPortDone(net_.get(), e_, t, &state_, env_);
    EXPECT_FALSE(o.close);
    P()[kParamOutputGain] = 0;
    P()[kParamChannelDelay] = 0;
    P()[kParamLowEdge] = 999;
    o = OutputPortCancel(net_.get(), e_, state_);
    EXPECT_EQ(o.result, 2);
    EXPECT_EQ(P()[kParamOutputGain], -7.5f);
    EXPECT_EQ(P()[kParamChannelDelay], 1.25f);
    EXPECT_EQ(P()[kParamCabsDelay], cabs_at_opening);  // 99 ms was refused
    EXPECT_EQ(P()[kParamLowEdge], 20.0f);  // the bit image from the opening
}

TEST_F(OutputPortTest, WhatNoFloatHoldsGetsTheFieldsMessageAndChangesNothing) {
    // 48 kHz, 1024-frame blocks: the CABS limit is 84 ms.
    const char* const messages[3] = {"Channel Gain Is Out Of Range (-100.....+100dB)",
                                     "Channel Delay Is Out Of Range (-1000.....+1000ms)",
                                     "WARNING! Maximum Delay is 84.0ms"};
    const int edits[3] = {kIdChannelGain, kIdChannelDelay, kIdCabsDelay};
    float before[kElementParamCount];
    std::memcpy(before, P(), sizeof before);
    const std::string path = net_->driver_file_path[e_];
    for (const char* bad : {"inf", "-inf", "nan", "1e39", "-1e39"}) {
        for (int field = 0; field < 3; ++field) {
            OutputPortDoneTexts t = Done();
            std::string* text[3] = {&t.gain, &t.delay, &t.cabs};
            *text[field] = bad;
            const DialogOutcome o = OutputPortDone(net_.get(), e_, t, &state_, env_);
            EXPECT_FALSE(o.close) << bad << field;
            EXPECT_EQ(Texts(o), std::vector<std::string>{messages[field]}) << bad << field;
            ASSERT_FALSE(o.texts.empty());
            EXPECT_EQ(o.texts[0].first, edits[field]);
            EXPECT_EQ(std::memcmp(before, P(), sizeof before), 0) << bad << field;
        }
    }
    EXPECT_EQ(builds_, 0);
    EXPECT_EQ(net_->driver_file_path[e_], path);
    // Nothing refused was remembered: Cancel brings back what the opening showed.
    OutputPortCancel(net_.get(), e_, state_);
    EXPECT_EQ(std::memcmp(before, P(), sizeof before), 0);
}

TEST_F(OutputPortTest, GainsAndDelaysOutOfRangeAreRefusedBeforeTheyAreStored) {
    OutputPortDoneTexts t = Done();
    t.gain = "-6";
    t.delay = "2.5";
    ASSERT_TRUE(OutputPortDone(net_.get(), e_, t, &state_, env_).close);
    for (const char* gain : {"800", "-100.5"}) {
        t.gain = gain;
        const DialogOutcome o = OutputPortDone(net_.get(), e_, t, &state_, env_);
        EXPECT_FALSE(o.close) << gain;
        EXPECT_EQ(Texts(o), std::vector<std::string>{"Channel Gain Is Out Of Range (-100.....+100dB)"}) << gain;
        EXPECT_EQ(P()[kParamOutputGain], -6.0f) << gain;
        ASSERT_EQ(o.texts.size(), 1u);
        EXPECT_EQ(o.texts[0], (std::pair<int, std::string>{kIdChannelGain, "-6"}));
    }
    t.gain = "100";
    for (const char* delay : {"-1000.5", "1000.5"}) {
        t.delay = delay;
        const DialogOutcome o = OutputPortDone(net_.get(), e_, t, &state_, env_);
        EXPECT_FALSE(o.close) << delay;
        EXPECT_EQ(Texts(o), std::vector<std::string>{"Channel Delay Is Out Of Range (-1000.....+1000ms)"}) << delay;
        EXPECT_EQ(P()[kParamChannelDelay], 2.5f) << delay;
    }
    t.delay = "-1000";
    EXPECT_TRUE(OutputPortDone(net_.get(), e_, t, &state_, env_).close);
    EXPECT_EQ(P()[kParamOutputGain], 100.0f);
    EXPECT_EQ(P()[kParamChannelDelay], -1000.0f);
    // A port no float holds reads as 0, which is out of range.
    t.port = "1e39";
    const std::vector<std::string> port = Texts(OutputPortDone(net_.get(), e_, t, &state_, env_));
    ASSERT_FALSE(port.empty());
    EXPECT_EQ(port.back(), "OUTPUT Port Is Out Of Range (1.....16)");
    for (int k = 0; k < kElementParamCount; ++k) EXPECT_TRUE(std::isfinite(P()[k])) << k;
}

TEST_F(OutputPortTest, LiveCheckBoxesFlipTheirParameters) {
    EXPECT_TRUE(TogglePolarity(P()));
    EXPECT_EQ(P()[kParamPolarity], -1.0f);
    EXPECT_FALSE(TogglePolarity(P()));
    EXPECT_EQ(P()[kParamPolarity], 1.0f);
    EXPECT_FALSE(TogglePlotFlag(P()));
    EXPECT_EQ(P()[kParamPlotFlag], 0.0f);
    P()[kParamPlotFlag] = 0.5f;
    EXPECT_TRUE(TogglePlotFlag(P()));
    EXPECT_EQ(P()[kParamPlotFlag], 1.0f);
}

TEST_F(OutputPortTest, ClearLoadedDriverThenDoneLeavesThePathEmptyAndAFlatDriverEqualized) {
    net_->driver_responses[e_].re[10] = 5.0f;
    ClearLoadedDriver(net_.get(), e_, work_.data(), &state_);
    EXPECT_EQ(net_->driver_responses[e_].re[10], 1.0f);
    EXPECT_STREQ(net_->driver_file_path[e_], "");
    EXPECT_STREQ(net_->driver_file_title[e_], "");
    env_.buildMinimumPhase = nullptr;  // a flat driver's minimum-phase response is flat
    const DialogOutcome o = OutputPortDone(net_.get(), e_, Done(), &state_, env_);
    EXPECT_TRUE(o.close);
    EXPECT_STREQ(net_->driver_file_path[e_], "");
    EXPECT_EQ(net_->element_responses[e_].points[7].re, 1.0f);
}

TEST_F(OutputPortTest, BrowseNeedsAPortAboveZero) {
    P()[kParamOutputNumber] = 0;
    EXPECT_EQ(Texts(CheckBrowsePort(P())), std::vector<std::string>{"OUTPUT Port Is Out Of Range (1.....16)"});
    P()[kParamOutputNumber] = 1;
    EXPECT_TRUE(CheckBrowsePort(P()).messages.empty());
}

TEST(InvertIntoElementResponse, ZeroOrNonFiniteStaysFlat) {
    std::vector<float> m(2 * 65536, 0.0f);
    m[2] = 0.5f;
    m[5] = NAN;
    auto r = nettest::Alloc<ElementResponse>();
    InvertIntoElementResponse(m.data(), r.get());
    EXPECT_EQ(r->points[0].re, 1.0f);
    EXPECT_EQ(r->points[1].re, 2.0f);
    EXPECT_EQ(r->points[2].re, 1.0f);
}

// ---- Filter block ----

class FilterBlockTest : public ::testing::Test {
protected:
    void SetUp() override {
        p_[kParamFilterFamily] = 1;
        p_[kParamFilterSlope] = 3;
        p_[kParamFilterFrequency] = 1234.56f;
        p_[kParamFilterGain] = 2;
        p_[kParamCabsDelay] = 0.707f;
        texts_ = OpenFilterBlockDialog(p_, &state_);
    }
    float p_[16] = {};
    FilterBlockDialogState state_;
    FilterBlockTexts texts_;
};

TEST_F(FilterBlockTest, OpeningSelectsAndFormats) {
    EXPECT_EQ(texts_.familySelection, 1);
    EXPECT_EQ(texts_.slopeSelection, 3);
    EXPECT_EQ(texts_.frequency, "1234.6");
    EXPECT_EQ(texts_.gain, "2.000000");
    EXPECT_EQ(texts_.q, "0.707000");
    EXPECT_FALSE(texts_.bypass);
    FilterBlockDialogState s;
    for (float family : {12.0f, -1.0f, NAN}) {
        p_[kParamFilterFamily] = family;
        EXPECT_EQ(OpenFilterBlockDialog(p_, &s).familySelection, -1) << family;
    }
    p_[kParamFilterFamily] = 3.7f;  // the integer part
    EXPECT_EQ(OpenFilterBlockDialog(p_, &s).familySelection, 3);
}

TEST_F(FilterBlockTest, LinkwitzRefusesTheOddSlopes) {
    p_[kParamFilterFamily] = 2;
    p_[kParamFilterSlope] = 3;  // LP -24dB/oct
    EXPECT_TRUE(FilterBlockDone(p_, "0", "0.7", "1000").close);
    for (float slope : {0.0f, 2.0f, 5.0f, 7.0f}) {
        p_[kParamFilterSlope] = slope;
        const DialogOutcome o = FilterBlockDone(p_, "0", "0.7", "1000");
        EXPECT_FALSE(o.close);
        EXPECT_EQ(Texts(o), std::vector<std::string>{"Option NOT Applicable To Linkwitz Filters"});
    }
}

TEST_F(FilterBlockTest, KeeleRatiosAreReplaced) {
    p_[kParamFilterFamily] = 10;
    DialogOutcome o = FilterBlockDone(p_, "0", "1.05", "1000");
    EXPECT_FALSE(o.close);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"Option NOT Applicable To Narrow Keele Filters <1.1 -- 3.0>, Setting R = 2.0"});
    EXPECT_EQ(p_[kParamCabsDelay], 2.0f);
    EXPECT_EQ(o.texts[0], (std::pair<int, std::string>{1517, "2.000000"}));
    EXPECT_TRUE(FilterBlockDone(p_, "0", "2.000000", "1000").close);
    EXPECT_TRUE(FilterBlockDone(p_, "0", "1.1", "1000").close);  // compared in double: 1.1f lies above 1.1
    p_[kParamFilterFamily] = 9;
    EXPECT_TRUE(FilterBlockDone(p_, "0", "4.0", "1000").close);
    o = FilterBlockDone(p_, "0", "4.5", "1000");
    EXPECT_EQ(Texts(o), std::vector<std::string>{"Option NOT Applicable To Wide Keele Filters <2.0 - 4.0>, Setting R = 3.0"});
    EXPECT_EQ(p_[kParamCabsDelay], 3.0f);
}

TEST_F(FilterBlockTest, GainAndQAreCappedWithoutAMessage) {
    DialogOutcome o = FilterBlockDone(p_, "150", "5000", "1000");
    EXPECT_TRUE(o.close);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(p_[kParamFilterGain], 100.0f);
    EXPECT_EQ(p_[kParamCabsDelay], 1000.0f);
    // Held below as above.
    FilterBlockDone(p_, "-150", "-3", "1000");
    EXPECT_EQ(p_[kParamFilterGain], -100.0f);
    EXPECT_EQ(p_[kParamCabsDelay], -3.0f);
    // What no float holds is no value beyond a cap: each field refuses it with its message, nothing stored.
    float before[16];
    std::memcpy(before, p_, sizeof before);
    for (const char* bad : {"-1e39", "1e39", "inf", "-inf", "nan"}) {
        const std::pair<DialogOutcome, const char*> cases[3] = {
            {FilterBlockDone(p_, bad, "1", "500"), kFilterGainRange},
            {FilterBlockDone(p_, "6", bad, "500"), kFilterQRange},
            {FilterBlockDone(p_, "6", "1", bad), "Cut-off/Center Frequency Must Be Above 0 Hz"}};
        for (const auto& [o, message] : cases) {
            EXPECT_FALSE(o.close) << bad;
            EXPECT_EQ(Texts(o), std::vector<std::string>{message}) << bad;
        }
        EXPECT_EQ(std::memcmp(before, p_, sizeof before), 0) << bad;
    }
    FilterBlockDone(p_, "-12.3456789", "1", "1000");
    EXPECT_FLOAT_EQ(p_[kParamFilterGain], -12.345f);
}

TEST_F(FilterBlockTest, AFrequencyOfZeroOrBelowOrNotFiniteIsRefused) {
    for (const char* f : {"0", "-100", "inf", "nan", "abc"}) {
        const DialogOutcome o = FilterBlockDone(p_, "0", "1", f);
        EXPECT_FALSE(o.close) << f;
        EXPECT_EQ(Texts(o), std::vector<std::string>{"Cut-off/Center Frequency Must Be Above 0 Hz"});
        EXPECT_EQ(p_[kParamFilterFrequency], 1234.56f);
    }
    EXPECT_TRUE(FilterBlockDone(p_, "0", "1", "0.5").close);
    EXPECT_EQ(p_[kParamFilterFrequency], 0.5f);
}

TEST_F(FilterBlockTest, CancelRestoresTheShownValuesButKeepsTheBypass) {
    p_[kParamFilterFamily] = 10;
    FilterBlockDone(p_, "5", "1.05", "800");  // refused; R replaced
    p_[kParamFilterSlope] = 7;
    EXPECT_TRUE(ToggleBypass(p_));
    const DialogOutcome o = FilterBlockCancel(p_, state_);
    EXPECT_EQ(o.result, 2);
    EXPECT_EQ(p_[kParamFilterFamily], 1.0f);
    EXPECT_EQ(p_[kParamFilterSlope], 3.0f);
    EXPECT_FLOAT_EQ(p_[kParamFilterFrequency], 1234.6f);
    EXPECT_FLOAT_EQ(p_[kParamFilterGain], 2.0f);
    EXPECT_FLOAT_EQ(p_[kParamCabsDelay], 0.707f);
    EXPECT_EQ(p_[kParamBypass], 1.0f);
    EXPECT_FALSE(ToggleBypass(p_));
    EXPECT_EQ(p_[kParamBypass], 0.0f);
}

}  // namespace

namespace {

// The dialog's Done with the real minimum-phase routine: a driver of constant level has a constant,
// zero-phase minimum-phase response, so its equalization is the inverse gain, flat in phase.
TEST(DriverEqualization, ConstantDriverIsEqualizedByItsInverseGain) {
    const int N = 512;
    const std::vector<float> bins = [&] {
        std::vector<float> f(65536);
        for (int k = 0; k < 65536; ++k) f[k] = static_cast<float>(k * 48000.0 / (8.0 * N));
        f[0] = 0.01f;
        return f;
    }();
    auto net = nettest::NewNetwork();
    const int e = nettest::Builder(net.get()).Add(OutputPort, 100, 100);
    net->params[e].p[kParamOutputNumber] = 1;
    net->params[e].p[kParamLowEdge] = 20;
    net->params[e].p[kParamHighEdge] = 20000;
    for (int k = 0; k < 65536; ++k) {
        net->driver_responses[e].re[k] = 2.0f;  // +6 dB
        net->driver_responses[e].im[k] = 0.0f;
    }
    std::vector<float> work(2 * 262144, 0.0f);
    OutputPortDialogState state;
    OpenOutputPortDialog(*net, e, &state);
    OutputPortEnvironment env;
    env.samplingIndex = 1;
    env.bufferSizeIndex = 0;
    env.minPhaseWork = work.data();
    env.buildMinimumPhase = [&](const WorkingNetwork& n, int element) {
        EXPECT_EQ(BuildDriverEqualization(n, element, bins.data(), N, work.data()), 0);
    };
    const DialogOutcome o = OutputPortDone(net.get(), e, OutputPortDoneTexts{"0", "0", "0", "1", "20", "20000"}, &state, env);
    ASSERT_TRUE(o.close);
    for (int k : {100, 1000, 2000}) {  // inside the band
        const ComplexPoint c = net->element_responses[e].points[k];
        EXPECT_NEAR(std::hypot(c.re, c.im), 0.5, 0.01) << k;
        EXPECT_NEAR(std::atan2(c.im, c.re), 0.0, 0.02) << k;
    }
}

}  // namespace
