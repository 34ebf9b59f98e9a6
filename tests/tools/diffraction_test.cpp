#include <cmath>
#include <complex>
#include <functional>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "app/heap_record.h"
#include "app/settings.h"
#include "tools/baffle_geometry.h"
#include "tools/diffraction_run.h"
#include "tools/driver_fields.h"
#include "tools/edge_diffraction.h"

namespace {

using Cd = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;

struct Baffle {
    HeapRecord<BaffleRecord> record = AllocZeroed<BaffleRecord>();
    HeapRecord<BaffleEdgePointList> points = AllocZeroed<BaffleEdgePointList>();
    HeapRecord<BaffleEdgeElements> elements = AllocZeroed<BaffleEdgeElements>();
    HeapRecord<HV_Driver_Data> driver = AllocZeroed<HV_Driver_Data>();
    Baffle() {
        SetDriverRecordDefaults(driver.get());
        DriverMikeDistance(*driver) = 100.0f;
        LoadBaffleExample1(record.get(), points.get(), driver.get());
    }
    void Outline(std::initializer_list<std::pair<int, int>> nodes) {
        int i = 0;
        for (auto [x, y] : nodes) {
            record->Nodes[i].x = x;
            record->Nodes[i].y = y;
            ++i;
        }
        record->NodeCount = i;
        record->OutlineState = 2;
    }
    int Prepare(MessageList* m = nullptr) { return PrepareBaffleEdges(record.get(), points.get(), elements.get(), m); }
    void Raster(const char* text) { CopySettingText(record->Raster, sizeof record->Raster, text); }
    DiffractionScene Scene(const DiffractionSettings& s = {}) {
        return MakeDiffractionScene(*record, *points, *elements, *driver, s);
    }
};

std::vector<float> BinGrid(double fs = 48000.0, int n = 512) {
    std::vector<float> f(131072);
    for (int k = 0; k < 131072; ++k) f[k] = static_cast<float>(k * fs / (8.0 * n));
    f[0] = 0.01f;
    return f;
}

TEST(BaffleGeometry, EdgePointCountsOfTheExamplesAndShapes) {
    Baffle b;
    ASSERT_EQ(b.Prepare(), 0);
    EXPECT_EQ(b.points->PointCount, 160);
    EXPECT_EQ(b.points->ElementCount, 160);
    EXPECT_EQ(b.points->Points[1].x, 2.0f);
    EXPECT_EQ(b.points->Points[39].x, 78.0f);
    EXPECT_EQ(b.elements->Elements[159].next, 0u);
    EXPECT_EQ(b.elements->Elements[159].b.x, 0.0f);
    EXPECT_EQ(b.elements->Elements[159].mid_y, 1.0f);
    EXPECT_EQ(b.record->Nodes[2].fx, 80.0f);

    b.Outline({{10, 10}, {14, 10}, {14, 14}, {10, 14}});
    ASSERT_EQ(b.Prepare(), 0);
    EXPECT_EQ(b.points->PointCount, 4);
    b.Outline({{10, 10}, {14, 10}, {14, 15}, {10, 15}});
    ASSERT_EQ(b.Prepare(), 0);
    ASSERT_EQ(b.points->PointCount, 6);
    EXPECT_EQ(b.points->Points[2].x, 14.0f);
    EXPECT_EQ(b.points->Points[2].y, 12.5f);
    EXPECT_EQ(b.points->Points[5].x, 10.0f);
    EXPECT_EQ(b.points->Points[5].y, 12.5f);
    b.Outline({{10, 10}, {60, 10}, {35, 50}});
    ASSERT_EQ(b.Prepare(), 0);
    EXPECT_EQ(b.points->PointCount, 71);
    EXPECT_EQ(b.elements->Elements[70].next, 0u);
    // A clockwise square whose first edge is vertical passes.
    b.Outline({{0, 0}, {0, 80}, {80, 80}, {80, 0}});
    EXPECT_EQ(b.Prepare(), 0);
    // Three nodes, no subdivided edge: the last element still closes on point 0.
    b.Outline({{0, 0}, {3, 0}, {0, 2}});
    ASSERT_EQ(b.Prepare(), 0);
    EXPECT_EQ(b.points->PointCount, 3);
    EXPECT_EQ(b.elements->Elements[2].next, 0u);
    EXPECT_EQ(b.elements->Elements[2].b.y, 0.0f);
    EXPECT_EQ(b.elements->Elements[2].mid_y, 1.0f);
}

TEST(BaffleGeometry, EdgesLongerThan120UnitsGetAllTheirPoints) {
    Baffle b;
    b.Outline({{0, 0}, {101, 116}, {0, 116}});
    ASSERT_EQ(b.Prepare(), 0);
    // Edge 0 is 153.8 long: n = 76, so its start and 75 further points, the last near the far node.
    const BafflePoint last = b.points->Points[75];
    EXPECT_NEAR(last.x, 101.0 * 75 / 76, 1e-3);
    EXPECT_NEAR(last.y, 116.0 * 75 / 76, 1e-3);
    EXPECT_EQ(b.points->Points[76].x, 101.0f);
    for (int i = 1; i < 76; ++i) ASSERT_NEAR(PointDistance(b.points->Points[i - 1], b.points->Points[i]), 153.8 / 76, 0.01);
}

TEST(BaffleGeometry, RefusalsAndCapacity) {
    Baffle b;
    MessageList m;
    b.Outline({{10, 10}, {60, 10}, {35, 50}});
    b.record->OutlineState = 0;
    EXPECT_EQ(b.Prepare(&m), 1);
    b.Outline({{60, 10}, {10, 10}, {35, 50}});
    b.points->PointCount = 17;
    EXPECT_EQ(b.Prepare(&m), 1);
    EXPECT_EQ(b.points->PointCount, 17);
    EXPECT_EQ(b.points->ElementCount, 3);
    b.Outline({{10, 10}, {60, 10}, {35, 50}, {60, 10}});
    EXPECT_EQ(b.Prepare(&m), 1);
    b.Outline({{10, 10}, {60, 10}});
    EXPECT_EQ(b.Prepare(&m), 1);  // fewer than 3 nodes: no message
    b.Outline({{0, 0}, {1, 0}, {1, 1}});
    b.record->NodeCount = 64;
    EXPECT_EQ(b.Prepare(&m), 1);
    // 100 x 116 twice round: more than 300 points.
    b.Outline({{0, 0}, {100, 0}, {100, 116}, {50, 116}, {50, 2}, {48, 116}, {0, 116}});
    EXPECT_EQ(b.Prepare(&m), 1);
    b.Outline({{0, 0}, {2000000000, 0}, {0, 1000}});
    EXPECT_EQ(b.Prepare(&m), 1);
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0].text, "Unable To Find Closed SPLG (Baffle)");
    EXPECT_EQ(m[1].text, "Boundry Is Oriented CLOCKWISE\nPlease Use 'Clear' Button\nAnd Then Re-draw The SLPG");
    EXPECT_EQ(m[2].text, "Duplicate Points Found\nPlease Use 'Clear' Button\nAnd Then Re-draw The SLPG");
    EXPECT_EQ(m[3].text, "SLPG Size Exceeded");
    EXPECT_EQ(m[4].text, "SLPG Too Long: More Than 300 Edge Points");
    EXPECT_EQ(m[5].text, m[4].text);
    // A 101 x 116 rectangle fits: 216 points.
    b.Outline({{0, 0}, {101, 0}, {101, 116}, {0, 116}});
    ASSERT_EQ(b.Prepare(), 0);
    EXPECT_EQ(b.points->PointCount, 216);
}

TEST(BaffleGeometry, AngleWeightsOfAConvexOutlineSumToTwoPi) {
    Baffle b;
    ASSERT_EQ(b.Prepare(), 0);
    for (auto [x, y] : {std::pair{40.0, 40.0}, {10.0, 70.0}, {3.0, 3.0}, {79.0, 40.5}}) {
        double sum = 0.0;
        for (int i = 0; i < b.points->ElementCount; ++i) sum += ElementAngleWeight(b.elements->Elements[i], x, y);
        EXPECT_NEAR(sum, 2.0 * kPi, 1e-4) << x << " " << y;
    }
    b.Outline({{10, 10}, {60, 10}, {35, 50}});
    ASSERT_EQ(b.Prepare(), 0);
    double sum = 0.0;
    for (int i = 0; i < b.points->ElementCount; ++i) sum += ElementAngleWeight(b.elements->Elements[i], 35.0, 25.0);
    EXPECT_NEAR(sum, 2.0 * kPi, 1e-4);
    // Degenerate geometry gives finite weights: a source on a midpoint weighs pi.
    const BaffleEdgeElement& e = b.elements->Elements[0];
    EXPECT_NEAR(ElementAngleWeight(e, e.mid_x, e.mid_y), kPi, 1e-6);
    EXPECT_TRUE(std::isfinite(ElementAngleWeight(e, e.b.x, e.b.y)));
    EXPECT_TRUE(std::isfinite(ElementAngleWeight(e, e.a.x, e.a.y)));
}

TEST(EdgeDiffraction, ClosedFormCasesOfTheSum) {
    Baffle b;
    ASSERT_EQ(b.Prepare(), 0);
    const double f = 1234.5;
    Cd sum;
    // Raster "0": exactly (1, 0), whatever was summed before.
    b.Raster("0");
    sum = Cd(5.0, 5.0);
    SumEdgeDiffraction(b.Scene(), 40, 40, f, &sum);
    EXPECT_EQ(sum, Cd(1.0, 0.0));
    b.Raster("1.0");
    // No elements: the direct term, 2 / r0, real with relative phases.
    DiffractionScene s = b.Scene();
    s.element_count = 0;
    s.mic_x = 43.0;
    s.mic_y = 44.0;  // 5 cm off the source
    sum = 0.0;
    SumEdgeDiffraction(s, 40, 40, f, &sum);
    const double r0 = std::sqrt(0.05 * 0.05 + 1.0);
    EXPECT_NEAR(sum.real(), 2.0 / r0, 1e-12);
    EXPECT_EQ(sum.imag(), 0.0);
    // Directivity turns the whole contribution by omega r0 / 344 and keeps its magnitude.
    s = b.Scene();
    Cd rel = 0.0, abs = 0.0;
    SumEdgeDiffraction(s, 30, 45, f, &rel);
    s.settings.DirectivityMode = 1;
    SumEdgeDiffraction(s, 30, 45, f, &abs);
    const double r1 = std::sqrt(std::pow(0.01 * std::hypot(10.0, 5.0), 2) + 1.0);
    EXPECT_NEAR(std::abs(abs), std::abs(rel), 1e-12);
    EXPECT_NEAR(std::remainder(std::arg(abs / rel) + 6.284 * f * r1 / 344.0, 2 * kPi), 0.0, 1e-9);
    // Dipole doubles every edge amplitude of every profile; type 3 leaves the direct term alone.
    for (uint32_t type : {0u, 1u, 2u}) {
        DiffractionSettings set;
        set.BaffleEdgeType = type;
        std::vector<DiffractionTone> mono, dipole;
        ASSERT_TRUE(AppendPointTones(b.Scene(set), 30, 45, 1.0, &mono));
        set.DipoleMode = 1;
        ASSERT_TRUE(AppendPointTones(b.Scene(set), 30, 45, 1.0, &dipole));
        ASSERT_EQ(mono.size(), dipole.size());
        EXPECT_EQ(mono.size(), 1u + 160u * (type == 0 ? 1 : type == 1 ? 2 : 5));
        EXPECT_EQ(dipole[0].amplitude, mono[0].amplitude);
        for (std::size_t i = 1; i < mono.size(); ++i) ASSERT_NEAR(dipole[i].amplitude, 2.0 * mono[i].amplitude, 1e-15);
    }
    DiffractionSettings none;
    none.BaffleEdgeType = 3;
    std::vector<DiffractionTone> direct;
    ASSERT_TRUE(AppendPointTones(b.Scene(none), 30, 45, 1.0, &direct));
    EXPECT_EQ(direct.size(), 1u);
    // Round with radius 0: paths 2..5 all run over sqrt(rs^2 + z^2).
    DiffractionSettings round;
    round.BaffleEdgeType = 2;
    round.RoundRadius = 0.0f;
    std::vector<DiffractionTone> r;
    ASSERT_TRUE(AppendPointTones(b.Scene(round), 30, 45, 1.0, &r));
    for (int p = 2; p <= 5; ++p) EXPECT_DOUBLE_EQ(r[1 + 5 * 7 + p - 1].delay, r[1 + 5 * 7 + 1].delay);
    // A source at the microphone foot with no distance: nothing is added.
    s = b.Scene();
    s.mic_distance_cm = 0.0;
    sum = Cd(0.25, 0.0);
    SumEdgeDiffraction(s, 40, 40, f, &sum);
    EXPECT_EQ(sum, Cd(0.25, 0.0));
}

// One element and a geometry of whole distances (the source 10 units from the midpoint, the microphone foot
// 5 from both), every path of every profile against the model's formulas: amplitude K W (c / rho) (-6/7),
// delay (d - r0) / 344.
TEST(EdgeDiffraction, PathsOfOneElementFromTheirFormulas) {
    BaffleEdgeElement e{};
    e.a = {10.0f, -2.0f, 0, 0};
    e.b = {10.0f, 22.0f, 0, 0};
    e.mid_x = e.mid_y = 10.0f;
    DiffractionScene s;
    s.elements = &e;
    s.element_count = 1;
    s.raster_cm = 2.0;
    s.mic_x = 7.0, s.mic_y = 6.0;
    s.mic_distance_cm = 50.0;
    s.settings.BevelA = 3.0f, s.settings.BevelB = 4.0f, s.settings.RoundRadius = 6.0f;
    const double k = 0.02, z = 0.5, rs = 10 * k, rm = std::hypot(z, 5 * k), r0 = std::hypot(z, 5 * k);
    const double q = (0.5 * 24 * k - rs) / (0.5 * 24 * k + rs), theta = std::acos(-0.8);
    const double w = std::atan2(q * std::tan(theta / 2) + q / std::tan(theta / 2), 1 - q * q) + kPi / 2;
    struct Path {
        double c, rho, d;
    };
    const double face = 0.05, rb = std::hypot(rs + 0.04, z + 0.03);  // bevel a = 3 cm, b = 4 cm
    std::vector<Path> round = {{0.45, rm, rs + rm}};
    const double rr = 0.06, e1 = 2 * rr * std::sin(kPi / 16), alpha[4] = {kPi / 8, 0.7855, 3 * kPi / 8, kPi / 2};
    const double c[4] = {0.25, 0.12, 0.06, 0.03};
    for (int p = 0; p < 4; ++p) {
        const double rp = std::hypot(rs + rr * std::sin(alpha[p]), z + rr * (1 - std::cos(alpha[p])));
        round.push_back({c[p], rp + (p + 1) * e1, rs + rp + (p + 1) * e1});
    }
    const std::vector<Path> paths[3] = {{{1.0, rm, rs + rm}}, {{0.65, rm, rs + rm}, {0.55, rb + face, rs + rb + face}}, round};
    const double K[3] = {0.20536121689276818, 0.18724110951987688, 0.18189136353359467};
    for (uint32_t type : {0u, 1u, 2u}) {
        s.settings.BaffleEdgeType = type;
        std::vector<DiffractionTone> tones;
        ASSERT_TRUE(AppendPointTones(s, 4.0, 2.0, 1.0, &tones));
        ASSERT_EQ(tones.size(), 1 + paths[type].size());
        EXPECT_DOUBLE_EQ(tones[0].amplitude, 2.0 / r0);
        for (std::size_t i = 0; i < paths[type].size(); ++i) {
            const Path& p = paths[type][i];
            const double amplitude = K[type] * w * (p.c / p.rho) * (-6.0 / 7.0);
            EXPECT_NEAR(tones[i + 1].amplitude, amplitude, 1e-6 * std::fabs(amplitude)) << type << " " << i;
            EXPECT_NEAR(tones[i + 1].delay, (p.d - r0) / 344.0, 1e-13) << type << " " << i;
        }
    }
}

TEST(EdgeDiffraction, SweepMatchesTheTermByTermSum) {
    Baffle b;
    ASSERT_EQ(b.Prepare(), 0);
    const std::vector<float> bins = BinGrid();
    for (uint32_t type : {0u, 1u, 2u}) {
        for (uint32_t directivity : {0u, 1u}) {
            DiffractionSettings set;
            set.BaffleEdgeType = type;
            set.DirectivityMode = directivity;
            std::vector<DiffractionTone> tones;
            ASSERT_TRUE(AppendPointTones(b.Scene(set), 33, 47, 0.5, &tones));
            ASSERT_TRUE(AppendPointTones(b.Scene(set), 52, 30, 0.5, &tones));
            double total = 0.0;
            for (const auto& t : tones) total += std::fabs(t.amplitude);
            std::vector<Cd> out(bins.size());
            ASSERT_TRUE(SweepTones(tones, bins.data(), static_cast<int>(bins.size()), out.data()));
            EXPECT_EQ(out[0], ToneSum(tones, bins[0]));
            const double df = 48000.0 / 4096.0;
            std::mt19937 rng(type * 2 + directivity);
            for (int i = 0; i < 300; ++i) {
                const int k = i < 10 ? 1 + i : i < 20 ? 131071 - i : 1 + static_cast<int>(rng() % 131071);
                // The sweep's spacing is fitted to the float table, within about 1e-10 of fs / 8N.
                ASSERT_LT(std::abs(out[k] - ToneSum(tones, k * df)), 2e-8 * total) << k;
            }
        }
    }
}

TEST(DiffractionRun, PistonPointCounts) {
    const int want[13] = {5, 12, 13, 24, 37, 44, 61, 76, 89, 112, 137, 156, 177};
    for (uint32_t p = 0; p <= 12; ++p) {
        EXPECT_EQ(PistonGrid(12.5, p).size(), static_cast<std::size_t>(want[p])) << p;
        EXPECT_EQ(PistonGrid(3.0, p).size(), static_cast<std::size_t>(want[p])) << p;
    }
    const auto five = PistonGrid(10.0, 0);
    for (const auto& o : five) EXPECT_NEAR(std::hypot(o.u, o.v), o.u == 0 && o.v == 0 ? 0.0 : 10.0, 1e-12);
}

TEST(DiffractionRun, ExampleOneFillsTheNextSlotsAndTheSixthRunWrapsAround) {
    Baffle b;
    std::vector<PlotCurve> curves(15);
    ColourEntry colours[19] = {};
    colours[1] = {10, 20, 30, 2, 1};
    colours[2] = {40, 50, 60, 1, 3};
    DiffractionRunState st;
    st.curves = curves.data();
    const std::vector<float> bins = BinGrid();
    MessageList m;
    ASSERT_EQ(RunDiffraction(b.record.get(), b.points.get(), b.elements.get(), b.driver.get(), {}, bins.data(), colours, &st, &m), 1);
    EXPECT_TRUE(m.empty());
    EXPECT_EQ(b.points->ElementCount, 160);
    EXPECT_EQ(curves[0].Visible, 1.0f);
    EXPECT_EQ(curves[0].Red, 10.0f);
    EXPECT_EQ(curves[5].PenStyle, 3.0f);
    EXPECT_EQ(curves[10].Visible, 0.0f);
    EXPECT_EQ(st.spl_slot, 1u);
    EXPECT_EQ(st.pair_slot, 0u);
    // The stored curves against the five piston points summed one by one, each with its own geometry.
    const DiffractionScene scene = b.Scene();
    const auto piston = PistonGrid(12.5, 0);
    for (int k : {1, 17, 400, 5000, 131071}) {
        Cd p = 0.0;
        for (const auto& o : piston) SumEdgeDiffraction(scene, 40 + o.u, 40 + o.v, k * 48000.0 / 4096, &p);
        p /= static_cast<double>(piston.size());
        EXPECT_NEAR(curves[0].Values[k], 10.0 * std::log10(std::norm(p) + 1e-7), 1e-4) << k;
        EXPECT_NEAR(curves[5].Values[k], std::arg(p) * 57.288, 2e-3) << k;
    }
    for (int run = 1; run < 5; ++run)
        RunDiffraction(b.record.get(), b.points.get(), b.elements.get(), b.driver.get(), {}, bins.data(), colours, &st, &m);
    EXPECT_EQ(st.spl_slot, 0u);
    curves[0].Values[3] = 99.0f;
    RunDiffraction(b.record.get(), b.points.get(), b.elements.get(), b.driver.get(), {}, bins.data(), colours, &st, &m);
    EXPECT_NE(curves[0].Values[3], 99.0f);
    EXPECT_EQ(st.spl_slot, 1u);
}

TEST(DiffractionRun, ChecksRefuseBeforeAnyCurveChanges) {
    const std::vector<float> bins = BinGrid();
    ColourEntry colours[19] = {};
    struct Case {
        std::function<void(Baffle&)> spoil;
        const char* text;
    };
    const Case cases[] = {
        {[](Baffle& b) { std::strcpy(DriverDiameter(*b.driver), "x"); }, "Driver's Dia Data Error"},
        {[](Baffle& b) { std::strcpy(DriverEnclosureWidth(*b.driver), "4"); }, "Enclosure Geometry Data Error"},
        {[](Baffle& b) { std::strcpy(DriverEnclosureHeight(*b.driver), "201"); }, "Enclosure Geometry Data Error"},
        {[](Baffle& b) { b.record->Positions[0].x = 2.4f; }, "Driver 1 Geometry Data Error"},
        {[](Baffle& b) { b.record->Positions[0].y = 77.6f; }, "Driver 1 Geometry Data Error"},
        {[](Baffle& b) { b.record->Positions[0].x = std::nanf(""); }, "Driver 1 Geometry Data Error"},
        {[](Baffle& b) {
             DriverConfig(*b.driver) = 1;
             b.record->Positions[1] = b.record->Positions[0];
         }, "Driver's Distance Data Error"},
        {[](Baffle& b) {
             DriverConfig(*b.driver) = 2;
             b.record->Positions[1].x = 79.0f;
             b.record->Positions[1].y = 40.0f;
         }, "Driver 2 Geometry Data Error"},
        {[](Baffle& b) { DriverConfig(*b.driver) = 3; }, "Only One Or Two Drivers Can Be Modeled"},
        {[](Baffle& b) {
             b.Raster("2.0");  // 39 grid units are 78 cm: beyond 80 - 2.5
             b.record->Positions[0].x = 39.0f;
         }, "Driver 1 Geometry Data Error"},
    };
    for (const Case& c : cases) {
        Baffle b;
        c.spoil(b);
        std::vector<PlotCurve> curves(15);
        DiffractionRunState st;
        st.curves = curves.data();
        MessageList m;
        EXPECT_EQ(RunDiffraction(b.record.get(), b.points.get(), b.elements.get(), b.driver.get(), {}, bins.data(), colours, &st, &m), 1);
        ASSERT_EQ(m.size(), 1u) << c.text;
        EXPECT_EQ(m[0].text, c.text);
        EXPECT_EQ(curves[0].Visible, 0.0f);
        EXPECT_EQ(curves[0].Values[100], 0.0f);
        EXPECT_EQ(st.spl_slot, 0u);
    }
    // 2.5 cm from the edge passes.
    Baffle b;
    b.record->Positions[0].x = 2.5f;
    DiffractionDrivers d;
    EXPECT_EQ(CheckDiffractionDrivers(*b.driver, *b.record, &d, nullptr), 1);
    // The preparation's own refusal returns 0.
    b.record->OutlineState = 0;
    std::vector<PlotCurve> curves(15);
    DiffractionRunState st;
    st.curves = curves.data();
    EXPECT_EQ(RunDiffraction(b.record.get(), b.points.get(), b.elements.get(), b.driver.get(), {}, bins.data(), colours, &st, nullptr), 0);
}

TEST(DiffractionRun, RasterScalesTheWholeModel) {
    // An 80 cm square at 1 cm per unit and a 40-unit square at 2 cm per unit are one baffle: the piston radius,
    // the checks and the sum all convert the units.
    const std::vector<float> bins = BinGrid();
    Baffle one, two;
    two.Outline({{0, 0}, {40, 0}, {40, 40}, {0, 40}});
    two.Raster("2.0");
    two.record->Positions[0].x = two.record->Positions[0].y = 20.0f;
    two.record->Positions[4].x = 22.0f;
    two.record->Positions[4].y = 20.0f;
    one.record->Positions[4].x = 44.0f;
    DiffractionSettings set;
    set.PistonPoints = 3;
    ASSERT_EQ(one.Prepare(), 0);
    ASSERT_EQ(two.Prepare(), 0);
    DiffractionDrivers d1, d2;
    ASSERT_EQ(CheckDiffractionDrivers(*one.driver, *one.record, &d1, nullptr), 1);
    ASSERT_EQ(CheckDiffractionDrivers(*two.driver, *two.record, &d2, nullptr), 1);
    EXPECT_EQ(d1.radius, 12.5);
    EXPECT_EQ(d2.radius, 6.25);
    std::vector<Cd> a(bins.size()), c(bins.size());
    ASSERT_TRUE(DiffractionResponse(one.Scene(set), d1, bins.data(), 131072, a.data()));
    ASSERT_TRUE(DiffractionResponse(two.Scene(set), d2, bins.data(), 131072, c.data()));
    // The edges are resampled every 2 units in both, so they differ; the direct sound and the totals agree
    // closely at low frequencies where the edge detail does not matter, and the levels stay close throughout.
    for (int k : {1, 5, 20}) EXPECT_NEAR(std::abs(a[k]), std::abs(c[k]), 0.01 * std::abs(a[k])) << k;
    // The two checks in centimetres: 20 units at 2 cm are 40 cm.
    two.record->Positions[0].x = 1.2f;  // 2.4 cm
    EXPECT_EQ(CheckDiffractionDrivers(*two.driver, *two.record, &d2, nullptr), 0);
    two.record->Positions[0].x = 1.25f;  // 2.5 cm
    EXPECT_EQ(CheckDiffractionDrivers(*two.driver, *two.record, &d2, nullptr), 1);
}

TEST(DiffractionRun, SpacingCurveOfTwoDriversTenCentimetresApart) {
    Baffle b;
    DriverConfig(*b.driver) = 1;
    b.record->Positions[0] = {35.0f, 40.0f, 0, 1};
    b.record->Positions[1] = {45.0f, 40.0f, 0, 1};
    std::vector<PlotCurve> curves(15);
    ColourEntry colours[19] = {};
    colours[3] = {1, 2, 3, 4, 2};
    DiffractionRunState st;
    st.curves = curves.data();
    st.pair_slot = 2;
    const std::vector<float> bins = BinGrid();
    ASSERT_EQ(RunDiffraction(b.record.get(), b.points.get(), b.elements.get(), b.driver.get(), {}, bins.data(), colours, &st, nullptr), 1);
    const PlotCurve& pair = curves[12];
    EXPECT_EQ(pair.Visible, 1.0f);
    EXPECT_EQ(pair.PenWidth, 4.0f);
    EXPECT_EQ(st.pair_slot, 3u);
    EXPECT_NEAR(pair.Values[0], 10.0 * std::log10(2.0), 1e-6);
    EXPECT_NEAR(pair.Values[1], 3.01, 0.01);
    int lowest = 1;
    for (int k = 1; k < 1000; ++k)
        if (pair.Values[k] < pair.Values[lowest]) lowest = k;
    EXPECT_NEAR(pair.Values[lowest], -1.06, 0.01);
    const double x = 6.284 * bins[lowest] * 0.1 / 344.0;
    EXPECT_NEAR(x, 4.493, 0.03);
    // The response: each driver's five piston points averaged, the two drivers weighted 0.525 each.
    const DiffractionScene scene = b.Scene();
    const auto piston = PistonGrid(12.5, 0);
    for (int k : {1, 300, 5000}) {
        Cd p = 0.0;
        for (double centre : {35.0, 45.0})
            for (const auto& o : piston) SumEdgeDiffraction(scene, centre + o.u, 40 + o.v, k * 48000.0 / 4096, &p);
        p *= 0.525 / static_cast<double>(piston.size());
        EXPECT_NEAR(curves[0].Values[k], 10.0 * std::log10(std::norm(p) + 1e-7), 1e-4) << k;
    }
}

TEST(DiffractionRun, LargeFlatBaffleStepsUpToHalfSpace) {
    // A 10 m square (100 units at 10 cm) with the driver at its centre and the microphone 20 m out on its
    // axis. At high frequencies the edge waves average out and the level is the half-space 2 / r0, +6 dB over
    // the free field 1 / r0; at low frequencies the edge waves arrive in antiphase and take the level back
    // to the free field (the Square profile's edge constants leave it 0.3 dB below).
    Baffle b;
    b.Outline({{0, 0}, {100, 0}, {100, 100}, {0, 100}});
    b.Raster("10");
    b.record->Positions[4] = {50.0f, 50.0f, 0, 0};
    DriverMikeDistance(*b.driver) = 2000.0f;
    ASSERT_EQ(b.Prepare(), 0);
    DiffractionDrivers d;  // the enclosure fields allow 2 m at most: the model is driven directly
    d.count = 1;
    d.x[0] = d.y[0] = 50.0;
    d.radius = 0.1;
    const std::vector<float> bins = BinGrid(48000.0, 4096);
    std::vector<Cd> p(bins.size());
    ASSERT_TRUE(DiffractionResponse(b.Scene(), d, bins.data(), 131072, p.data()));
    auto level = [&](int k0, int k1) {
        double s = 0.0;
        for (int k = k0; k < k1; ++k) s += 10.0 * std::log10(std::norm(p[k]));
        return s / (k1 - k0);
    };
    const double free_field = 20.0 * std::log10(1.0 / 20.0);
    const double low = level(1, 2);            // 1.5 Hz: a wavelength of 230 m
    const double high = level(20000, 30000);   // 29 .. 44 kHz
    EXPECT_NEAR(high - free_field, 6.02, 0.1);
    EXPECT_NEAR(low - free_field, 0.0, 0.5);
    EXPECT_NEAR(high - low, 6.0, 0.5);
}

}  // namespace
