#include "measure/diffraction_buffer.h"

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "app/heap_record.h"
#include "tools/driver_fields.h"

namespace {

using Cd = std::complex<double>;

struct Page {
    HeapRecord<BaffleRecord> baffle = AllocZeroed<BaffleRecord>();
    HeapRecord<BaffleEdgePointList> points = AllocZeroed<BaffleEdgePointList>();
    HeapRecord<BaffleEdgeElements> elements = AllocZeroed<BaffleEdgeElements>();
    HeapRecord<HV_Driver_Data> driver = AllocZeroed<HV_Driver_Data>();
    std::vector<PlotCurve> buffers = std::vector<PlotCurve>(18);
    std::vector<float> bins = std::vector<float>(131072);
    Page() {
        SetDriverRecordDefaults(driver.get());
        DriverMikeDistance(*driver) = 100.0f;
        LoadBaffleExample1(baffle.get(), points.get(), driver.get());
        for (int k = 0; k < 131072; ++k) bins[k] = static_cast<float>(k * 48000.0 / 8192.0);
        bins[0] = 0.01f;
    }
    DiffractionTarget Add(const char* destination, MessageList* m) {
        return AddDiffractionToBuffer(destination, baffle.get(), points.get(), elements.get(), driver.get(), {},
                                      bins.data(), buffers.data(), m);
    }
    // The response the calculator's run computes for the same baffle.
    std::vector<Cd> Response() {
        PrepareBaffleEdges(baffle.get(), points.get(), elements.get(), nullptr);
        DiffractionDrivers d;
        CheckDiffractionDrivers(*driver, *baffle, &d, nullptr);
        std::vector<Cd> out(131072);
        DiffractionResponse(MakeDiffractionScene(*baffle, *points, *elements, *driver, {}), d, bins.data(), 131072, out.data());
        return out;
    }
};

TEST(DiffractionBuffer, MultipliesABufferOrTheMasterByTheResponse) {
    for (const char* dest : {"3", "6"}) {
        Page p;
        const int slot = dest[0] == '3' ? 4 : 10;
        for (int k = 0; k < 131072; ++k) {
            p.buffers[slot].Values[k] = 0.5f;
            p.buffers[slot + 1].Values[k] = -0.25f;
        }
        MessageList m;
        ASSERT_EQ(p.Add(dest, &m), DiffractionTarget::kBuffer);
        EXPECT_TRUE(m.empty());
        const std::vector<Cd> d = p.Response();
        for (int k : {0, 1, 100, 9999, 131071}) {
            const Cd want = Cd(0.5, -0.25) * d[k];
            EXPECT_NEAR(p.buffers[slot].Values[k], want.real(), 1e-6) << k;
            EXPECT_NEAR(p.buffers[slot + 1].Values[k], want.imag(), 1e-6) << k;
        }
        EXPECT_EQ(p.buffers[0].Values[5], 0.0f);  // other buffers untouched
    }
}

TEST(DiffractionBuffer, DriverCurvesTakeTheResponseOnTheirLevelAndPhase) {
    Page p;
    for (int k = 0; k < 131072; ++k) {
        p.driver->spl_lin[k] = 90.0f;
        p.driver->phase_lin[k] = 30.0f;
    }
    ASSERT_EQ(p.Add("0", nullptr), DiffractionTarget::kDriver);
    const std::vector<Cd> d = p.Response();
    for (int k : {1, 77, 4000, 131071}) {
        EXPECT_NEAR(p.driver->spl_lin[k], 90.0 + 20.0 * std::log10(std::abs(d[k])), 1e-3) << k;
        const double want = std::arg(std::polar(1.0, 30.0 / 57.288) * d[k]) * 57.288;
        EXPECT_NEAR(p.driver->phase_lin[k], want, 1e-3) << k;
    }
}

TEST(DiffractionBuffer, RefusalsInOrderAndNothingChanges) {
    Page p;
    MessageList m;
    for (const char* dest : {"7", "-1", "12"}) EXPECT_EQ(p.Add(dest, &m), DiffractionTarget::kNone);
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].text, "Incorrect ADD Destination");
    m.clear();
    p.baffle->Nodes[1].x = -5;  // the first edge now runs toward smaller x
    EXPECT_EQ(p.Add("1", &m), DiffractionTarget::kNone);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, kSplgClockwise);
    EXPECT_EQ(m[1].text, "Front Baffle Setup Error");
    m.clear();
    p.baffle->Nodes[1].x = 80;
    p.baffle->NodeCount = 2;  // too few nodes: no message of its own
    EXPECT_EQ(p.Add("1", &m), DiffractionTarget::kNone);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, "Front Baffle Setup Error");
    p.baffle->NodeCount = 4;
    m.clear();
    std::strcpy(DriverDiameter(*p.driver), "abc");
    EXPECT_EQ(p.Add("", &m), DiffractionTarget::kNone);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, "Driver's Dia Data Error");
    std::strcpy(DriverDiameter(*p.driver), "25.0");
    DriverConfig(*p.driver) = 1;
    p.baffle->Positions[1] = p.baffle->Positions[0];
    m.clear();
    EXPECT_EQ(p.Add("2", &m), DiffractionTarget::kNone);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, "Driver's Distance Data Error");
    for (const PlotCurve& c : p.buffers) EXPECT_EQ(c.Values[10], 0.0f);
}

}  // namespace
