#include "tools/driver_repair.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "app/heap_record.h"

namespace {

// Every point a gap: 1.0 dB and 0 degrees, as an importer leaves empty grid points.
HeapRecord<HV_Driver_Data> GapDriver(const char* efficiency) {
    auto d = AllocZeroed<HV_Driver_Data>();
    std::strncpy(d->params[kEfficiencyField], efficiency, kTextField - 1);
    for (float& v : d->spl_log) v = 1.0f;
    for (float& v : d->spl_lin) v = 1.0f;
    return d;
}

TEST(DriverRepair, SplPointsAtTenAndTwentyFillTheWholeLogCurve) {
    auto d = GapDriver("88.5");
    d->spl_log[10] = 80.0f;
    d->spl_log[20] = 90.0f;
    MessageList messages;
    EXPECT_EQ(RepairDriverCurves(d.get(), &messages), 0);
    EXPECT_TRUE(messages.empty());
    for (int i = 0; i <= 10; ++i) EXPECT_EQ(d->spl_log[i], 80.0f) << i;
    for (int i = 11; i < 20; ++i) EXPECT_FLOAT_EQ(d->spl_log[i], 80.0f + (i - 10)) << i;
    for (int i = 20; i < kLogGridPoints; ++i) ASSERT_EQ(d->spl_log[i], 90.0f) << i;
}

TEST(DriverRepair, OnlyEntryZeroValidLeavesTheRestAsGaps) {
    std::vector<float> c(64, 1.0f);
    c[0] = 70.0f;
    RepairSplCurve(c.data(), 64);
    EXPECT_EQ(c[0], 70.0f);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(c[i], 1.0f) << i;
    // Likewise a curve without a single valid point stays as it is.
    std::vector<float> none(64, 0.5f);
    RepairSplCurve(none.data(), 64);
    for (float v : none) EXPECT_EQ(v, 0.5f);
}

TEST(DriverRepair, InnerGapsAreStraightLinesInIndexAgainstAnIndependentFill) {
    // Random valid points over a gap background; every filled point lies on the line through its two
    // neighbouring valid points, computed here from the original curve.
    std::vector<float> c(500, 1.0f);
    std::vector<int> valid;
    unsigned seed = 7;
    for (int i = 3; i < 480; i += 1 + static_cast<int>((seed = seed * 1103515245u + 12345u) >> 28)) {
        c[i] = 40.0f + static_cast<float>((seed >> 8) % 600) / 10.0f;
        valid.push_back(i);
    }
    const std::vector<float> original = c;
    RepairSplCurve(c.data(), static_cast<int>(c.size()));
    for (int i = 0; i < valid.front(); ++i) EXPECT_EQ(c[i], original[valid.front()]);
    for (std::size_t k = 0; k + 1 < valid.size(); ++k) {
        const int a = valid[k], b = valid[k + 1];
        for (int j = a; j < b; ++j) {
            const double expect = original[a] + (j - a) * (double(original[b]) - original[a]) / (b - a);
            EXPECT_NEAR(c[j], expect, 1e-4) << j;
        }
    }
    for (std::size_t i = valid.back(); i < c.size(); ++i) EXPECT_EQ(c[i], original[valid.back()]);
}

TEST(DriverRepair, PhaseWrapAcrossAHoleGetsItsJump) {
    std::vector<float> c(200, 0.0f);
    for (int i = 0; i < 100; ++i) c[i] = -100.0f - 0.5f * i;  // falling to -149.5
    c[100] = -150.0f;
    c[104] = 150.0f;
    for (int i = 105; i < 200; ++i) c[i] = 150.0f - 0.5f * (i - 104);
    RepairPhaseCurve(c.data(), 200);
    EXPECT_EQ(c[100], -179.0f);
    EXPECT_EQ(c[101], 179.0f);
    EXPECT_FLOAT_EQ(c[102], 179.0f - 29.0f / 3.0f);
    EXPECT_FLOAT_EQ(c[103], 179.0f - 2.0f * 29.0f / 3.0f);
    EXPECT_EQ(c[104], 150.0f);
    EXPECT_EQ(c[99], -149.5f);
}

TEST(DriverRepair, PhaseJumpWithNothingBelowMinus130GoesToTheStart) {
    std::vector<float> c(50, 0.0f);
    c[10] = 140.0f;
    c[11] = 120.0f;
    RepairPhaseCurve(c.data(), 50);
    // The jump goes to entries 0 and 1; the inner walk, which starts from 0 degrees, then sets entry 0 to 0
    // and runs from +179 at entry 1 to the point at entry 10.
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(c[1], 179.0f);
    for (int i = 2; i < 10; ++i) EXPECT_FLOAT_EQ(c[i], 179.0f + (i - 1) * (140.0f - 179.0f) / 9.0f) << i;
    for (int i = 11; i < 50; ++i) EXPECT_EQ(c[i], 120.0f) << i;
}

TEST(DriverRepair, JumpSearchStaysInTheGapBeforeThePoint) {
    // A valid point above -130 ends the gap: the phase did not wrap, so no jump is placed, and the valid
    // points further down (one of them below -130) keep their values.
    std::vector<float> c(80, 0.0f);
    for (int i = 0; i <= 50; ++i) c[i] = -160.0f + 1.2f * i;  // -160 .. -100
    c[55] = 150.0f;
    for (int i = 56; i < 80; ++i) c[i] = 150.0f - i + 55;
    const std::vector<float> before = c;
    RepairPhaseCurve(c.data(), 80);
    for (int i = 1; i <= 50; ++i) EXPECT_EQ(c[i], before[i]) << i;
    for (int j = 51; j < 55; ++j) EXPECT_FLOAT_EQ(c[j], -100.0f + (j - 50) * 250.0f / 5.0f) << j;
    // A point right after a valid entry 0 (no gap to hold +179) is left alone too.
    std::vector<float> d = {0.0f, 140.0f, 120.0f};
    RepairPhaseCurve(d.data(), 3);
    EXPECT_EQ(d[0], 0.0f);
    EXPECT_EQ(d[1], 140.0f);
    EXPECT_EQ(d[2], 120.0f);
}

TEST(DriverRepair, PhaseLeadingGapTakesTheFirstPointAndTheWalkFromZeroSetsEntryZero) {
    std::vector<float> c(20, 0.0f);
    c[5] = -40.0f;
    c[6] = -50.0f;
    c[9] = -80.0f;
    RepairPhaseCurve(c.data(), 20);
    // Entries 0..5 take the first point, then the inner walk starting at 0 degrees puts 0 back at entry 0.
    EXPECT_EQ(c[0], 0.0f);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(c[i], -40.0f) << i;
    EXPECT_EQ(c[6], -50.0f);
    EXPECT_FLOAT_EQ(c[7], -60.0f);
    EXPECT_FLOAT_EQ(c[8], -70.0f);
    for (int i = 9; i < 20; ++i) EXPECT_EQ(c[i], -80.0f);
}

TEST(DriverRepair, LinearCurvesAreRepairedToTheirLastEntry) {
    auto d = GapDriver("90");
    const int top = 8 * 1024;  // an import fills up to bin 8N and leaves the rest as gaps
    for (int i = 1; i <= top; ++i) {
        d->spl_lin[i] = 85.0f + 0.001f * i;
        d->phase_lin[i] = -0.01f * i;
    }
    d->spl_log[50] = 85.0f;
    d->phase_log[50] = -10.0f;
    EXPECT_EQ(RepairDriverCurves(d.get(), nullptr), 0);
    EXPECT_EQ(d->spl_lin[kLinGridPoints - 1], d->spl_lin[top]);
    EXPECT_EQ(d->phase_lin[kLinGridPoints - 1], d->phase_lin[top]);
    EXPECT_EQ(d->spl_lin[0], d->spl_lin[1]);
    EXPECT_EQ(d->spl_log[kLogGridPoints - 1], 85.0f);
    EXPECT_EQ(d->phase_log[kLogGridPoints - 1], -10.0f);
}

TEST(DriverRepair, EfficiencyOfFiftyOrLessIsRefusedAndNothingChanges) {
    for (const char* text : {"50", "", "abc", "-3", "nan", "inf", "-1e99"}) {
        auto d = GapDriver(text);
        d->spl_log[10] = 80.0f;
        MessageList messages;
        EXPECT_EQ(RepairDriverCurves(d.get(), &messages), 1) << text;
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "Efficiency Error");
        EXPECT_EQ(messages[0].caption, "HV MEssage");
        EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
        EXPECT_EQ(d->spl_log[0], 1.0f) << text;
    }
    auto d = GapDriver("50.1");
    d->spl_log[10] = 80.0f;
    EXPECT_EQ(RepairDriverCurves(d.get(), nullptr), 0);
    EXPECT_EQ(d->spl_log[0], 80.0f);
}

// An efficiency typed beyond float range reads as 0 and is refused: as a float it would be infinite, and the
// measured SPL shown less the efficiency would be minus infinity.
TEST(DriverRepair, EfficiencyBeyondFloatRangeIsRefused) {
    for (const char* text : {"1e39", "-1e39", "9e300"}) {
        auto d = GapDriver(text);
        d->spl_log[10] = 80.0f;
        EXPECT_EQ(DriverEfficiency(*d), 0.0) << text;
        MessageList messages;
        EXPECT_EQ(RepairDriverCurves(d.get(), &messages), 1) << text;
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "Efficiency Error");
        EXPECT_EQ(d->spl_log[0], 1.0f) << text;
    }
    EXPECT_EQ(DriverEfficiency(*GapDriver("3.4e38")), 3.4e38);  // within float range: as typed
}

TEST(DriverRepair, EfficiencyFieldWithoutATerminatorIsReadWithinItsWidth) {
    auto d = GapDriver("");
    std::memset(d->params[kEfficiencyField], '9', kTextField);  // no NUL: the next field follows
    std::memset(d->params[kEfficiencyField + 1], '1', kTextField);
    EXPECT_EQ(DriverEfficiency(*d), 99999999999.0);
}

TEST(DriverRepair, NonFinitePointsAreTreatedAsGaps) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> spl = {1.0f, 60.0f, nan, 70.0f, std::numeric_limits<float>::infinity(), 1.0f};
    RepairSplCurve(spl.data(), 6);
    EXPECT_EQ(spl[0], 60.0f);
    EXPECT_FLOAT_EQ(spl[2], 65.0f);
    EXPECT_EQ(spl[4], 70.0f);
    EXPECT_EQ(spl[5], 70.0f);
    std::vector<float> phase = {-10.0f, nan, -30.0f};
    RepairPhaseCurve(phase.data(), 3);
    EXPECT_EQ(phase[0], 0.0f);  // the walk from 0 degrees at entry 0 to -30 at entry 2
    EXPECT_FLOAT_EQ(phase[1], -15.0f);
    for (float v : phase) EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
