#include "app/driver_data.h"

#include <filesystem>
#include <limits>

#include "app/driver_baffle.h"
#include "app/raw_file.h"
#include "heap_record.h"
#include "test_util.h"

namespace {

std::string TextAt(const std::string& path, std::size_t offset, std::size_t width) {
    auto b = FileBytesAt(path, offset, width);
    return std::string(reinterpret_cast<const char*>(b.data()), strnlen(reinterpret_cast<const char*>(b.data()), width));
}

DriverBaffleState SampleBaffle() {
    DriverBaffleState b{};
    const int32_t xy[5][2] = {{0, 0}, {80, 0}, {80, 80}, {0, 80}, {0, 0}};
    for (int k = 0; k < 5; ++k) b.nodes[k] = {xy[k][0], xy[k][1]};
    b.node_count = 4;
    b.outline_state = 2;
    b.positions[0] = {40.7f, 40.2f, 1};
    b.positions[1] = {0.4f, 50.9f, 0};
    b.positions[2] = {-3.0f, 0.0f, 0};
    b.positions[3] = {35.0f, 40.0f, 0};
    b.positions[4] = {40.0f, 40.0f, 1};
    b.state_words[0] = 5;
    b.state_words[1] = 6;
    b.edge_point_count = 4;
    b.edge_element_count = 3;
    return b;
}

void MakeFileOfSize(const std::string& path, std::size_t size) {
    { std::ofstream f(path, std::ios::binary); }
    std::filesystem::resize_file(path, size);
}

}  // namespace

TEST(DriverData, DefaultFileCarriesTheDefaultsAtTheirOffsets) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get(), DriverDefaultInputs{2, 3, 6});
    const std::string path = dir.File("default.wfr");
    DriverStamps st;
    st.mls_rate_index = 0;     // the measurement rate, whatever the system runs at
    st.hv_buffer_size = 2;
    MessageList msgs;
    ASSERT_EQ(WriteDriverFile(path, dr.get(), nullptr, st, &msgs), 1);
    EXPECT_TRUE(msgs.empty());
    EXPECT_EQ(RawFileSize(path), 4251248);
    EXPECT_EQ(TextAt(path, 0, 10), "##########");
    EXPECT_EQ(TextAt(path, 1024, 11), "0.0");
    EXPECT_EQ(TextAt(path, 1079, 11), "60.0");
    EXPECT_EQ(TextAt(path, 1101, 11), "90.0");
    EXPECT_EQ(TextAt(path, 1134, 11), "25.0");
    EXPECT_EQ(TextAt(path, 1211, 11), "0.0");          // field 17
    EXPECT_EQ(TextAt(path, 1255, 11), "0.00393");
    EXPECT_EQ(TextAt(path, 1266, 20), "Alnico 5");
    EXPECT_EQ(TextAt(path, 1363, 20), "Woofer");
    EXPECT_EQ(TextAt(path, 1383, 20), " ");
    EXPECT_EQ(TextAt(path, 1447, 11), "-3.20");
    EXPECT_EQ(TextAt(path, 1502, 11), "0.0");
    EXPECT_EQ(FileValueAt<float>(path, 1516), 90.0f);
    EXPECT_EQ(FileValueAt<float>(path, 13916 - 4), 90.0f);
    EXPECT_EQ(FileValueAt<float>(path, 26316), 1.0f);
    EXPECT_EQ(FileValueAt<float>(path, 38716), 0.0f);
    EXPECT_EQ(FileValueAt<float>(path, 51116), 90.0f);
    EXPECT_EQ(FileValueAt<float>(path, 575404 - 4), 90.0f);
    EXPECT_EQ(FileValueAt<float>(path, 1099692), 1.0f);
    EXPECT_EQ(FileValueAt<float>(path, 1623980 - 4), 1.0f);
    EXPECT_EQ(FileValueAt<float>(path, 1623980), 0.0f);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2148276), 0u);     // dr.Sampling = MlsRateIndex
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2148280), 2u);     // dr.Buffer_Size
    EXPECT_EQ(FileValueAt<float>(path, 2148284), 1.0f);
    EXPECT_EQ(TextAt(path, 2148388 + 11 * 9, 11), "55.0");
    EXPECT_EQ(FileValueAt<float>(path, 2148500), 100.0f);
    EXPECT_EQ(TextAt(path, 2148608, 12), "80 %");
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2148620), 80u);
    EXPECT_EQ(TextAt(path, 2148650, 11), "65536");
    EXPECT_EQ(TextAt(path, 2148764 + 11 * 13, 11), "60.00");
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2148928), 1u);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2148932), 0u);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2148964), 3u);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2148968), 6u);
    EXPECT_EQ(TextAt(path, 2149314, 11), "1000.0");
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2149328), 10u);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2149332), 1u);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2149336), 2u);
    EXPECT_EQ(FileValueAt<float>(path, 2149344), 1.0f);
    EXPECT_EQ(TextAt(path, 2149348 + 11 * 11, 11), "161");
    EXPECT_EQ(FileValueAt<float>(path, 2149512), 12.0f);
    EXPECT_EQ(FileValueAt<int32_t>(path, 2149556), 50000);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 2149612), 1u);
    EXPECT_EQ(TextAt(path, 2149616, 11), "30000");
    const uint32_t tail_words[] = {0, 1, 0, 0, 1, 0, 0, 1, 0};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(FileValueAt<uint32_t>(path, 2149696 + 4 * k), tail_words[k]) << k;
    EXPECT_EQ(TextAt(path, 4251148, 20), "0.0");
    EXPECT_EQ(FileValueAt<uint32_t>(path, 4251244), 0u);
}

TEST(DriverData, SaveAndReadBackRestoreTheBaffle) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    for (int i = 0; i < kLinGridPoints; ++i) dr->spl_lin[i] = 80.0f + 0.001f * static_cast<float>(i);
    std::vector<CalPoint> mike(kLinGridPoints, CalPoint{1.5f, -2.5f});
    DriverBaffleState baffle = SampleBaffle();
    DriverStamps st;
    st.mike_cal = mike.data();
    st.plot_low_index = 1;
    st.plot_high_index = 7;
    const std::string path = dir.File("w.wfr");
    ASSERT_EQ(WriteDriverFile(path, dr.get(), &baffle, st, nullptr), 1);
    // The stamps stay in memory.
    EXPECT_EQ(dr->plot_low_index, 1u);
    EXPECT_EQ(dr->mike_cal[77].phase_deg, -2.5f);
    EXPECT_EQ(dr->baffle_positions[0].x, 40);
    EXPECT_EQ(baffle.positions[4].enabled, 0u);   // entry 4 disabled by the save
    EXPECT_EQ(FileValueAt<float>(path, 2149512 + 8), 80.0f);
    EXPECT_EQ(FileValueAt<int32_t>(path, 2149552 + 8), 0);  // entry 1 x 0.4 truncated
    EXPECT_EQ(FileValueAt<int32_t>(path, 2149552 + 16), -3);
    EXPECT_EQ(FileValueAt<float>(path, 2149344), 2.0f);

    auto back = AllocZeroed<HV_Driver_Data>();
    DriverBaffleState restored{};
    restored.positions[4].enabled = 1;   // entry 4's flag is the live one, not the file's
    MessageList msgs;
    ASSERT_EQ(ReadDriverFile(path, back.get(), &restored, &msgs), 1);
    EXPECT_TRUE(msgs.empty());
    EXPECT_EQ(std::memcmp(back.get(), dr.get(), sizeof(HV_Driver_Data)), 0);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(restored.nodes[k].x, baffle.nodes[k].x);
        EXPECT_EQ(restored.nodes[k].y, baffle.nodes[k].y);
    }
    EXPECT_EQ(restored.node_count, 4u);
    EXPECT_EQ(restored.outline_state, 2);
    EXPECT_EQ(restored.edge_point_count, 4u);
    EXPECT_EQ(restored.edge_element_count, 3u);
    EXPECT_EQ(restored.state_words[0], 1u);
    EXPECT_EQ(restored.state_words[1], 8u);
    // Positions come back whole; entries 1..4 below 1 are raised to 1.0; entry 0 is enabled.
    EXPECT_EQ(restored.positions[0].x, 40.0f);
    EXPECT_EQ(restored.positions[0].y, 40.0f);
    EXPECT_EQ(restored.positions[0].enabled, 1u);
    EXPECT_EQ(restored.positions[1].x, 1.0f);
    EXPECT_EQ(restored.positions[1].y, 50.0f);
    EXPECT_EQ(restored.positions[1].enabled, 0u);
    EXPECT_EQ(restored.positions[2].x, 1.0f);
    EXPECT_EQ(restored.positions[2].y, 1.0f);
    EXPECT_EQ(restored.positions[3].x, 35.0f);
    EXPECT_EQ(restored.positions[4].x, 40.0f);
    EXPECT_EQ(restored.positions[4].enabled, 1u);
}

TEST(DriverData, EntryZeroAtOriginStaysThere) {
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    dr->baffle_positions[0] = {0, 0};
    dr->baffle_positions[2] = {0, 0};
    DriverBaffleState b{};
    RestoreBaffleFromDriver(*dr, &b);
    EXPECT_EQ(b.positions[0].x, 0.0f);
    EXPECT_EQ(b.positions[0].y, 0.0f);
    EXPECT_EQ(b.positions[2].x, 1.0f);
    EXPECT_EQ(b.positions[2].y, 1.0f);
}

TEST(DriverData, RestoreClampsWhatAFileBrings) {
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    dr->baffle_node_count = 1000;
    dr->baffle_point_count = 301;
    dr->baffle_element_count = 0xFFFFFFFF;
    dr->baffle_outline_state = std::numeric_limits<float>::quiet_NaN();
    dr->baffle_nodes[1] = {std::numeric_limits<float>::infinity(), -7.9f};
    dr->baffle_nodes[2] = {1e30f, -1e30f};
    dr->baffle_positions[3] = {std::numeric_limits<int32_t>::min(), 2000000000};
    DriverBaffleState b{};
    RestoreBaffleFromDriver(*dr, &b);
    EXPECT_EQ(b.node_count, 63u);
    EXPECT_EQ(b.edge_point_count, 300u);
    EXPECT_EQ(b.edge_element_count, 300u);
    EXPECT_EQ(b.outline_state, 0);
    EXPECT_EQ(b.nodes[1].x, 0);
    EXPECT_EQ(b.nodes[1].y, -7);
    EXPECT_EQ(b.nodes[2].x, 100000);
    EXPECT_EQ(b.nodes[2].y, -100000);
    EXPECT_EQ(b.positions[3].x, 1.0f);
    EXPECT_EQ(b.positions[3].y, 100000.0f);
}

TEST(DriverData, WrongSizeIsRefusedAndNothingChanges) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    DriverBaffleState baffle = SampleBaffle();
    const uint64_t before = Digest(dr.get(), sizeof(HV_Driver_Data));
    const uint64_t baffle_before = Digest(&baffle, sizeof baffle);
    for (std::size_t size : {std::size_t{4251247}, std::size_t{4251249}}) {
        const std::string path = dir.File("bad" + std::to_string(size));
        MakeFileOfSize(path, size);
        MessageList msgs;
        EXPECT_EQ(ReadDriverFile(path, dr.get(), &baffle, &msgs), 0);
        ASSERT_EQ(msgs.size(), 1u);
        EXPECT_EQ(msgs[0].text, "This Driver File is NOT Recognized");
        EXPECT_EQ(msgs[0].caption, "HV Message");
    }
    MessageList msgs;
    const std::string missing = dir.File("none.wfr");
    EXPECT_EQ(ReadDriverFile(missing, dr.get(), &baffle, &msgs), 0);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, missing);
    EXPECT_EQ(Digest(dr.get(), sizeof(HV_Driver_Data)), before);
    EXPECT_EQ(Digest(&baffle, sizeof baffle), baffle_before);
}

TEST(DriverData, PortDialogReaderUsesItsOwnTexts) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    const uint64_t before = Digest(dr.get(), sizeof(HV_Driver_Data));
    const std::string path = dir.File("short.wfr");
    MakeFileOfSize(path, 4251247);
    MessageList msgs;
    EXPECT_EQ(ReadDriverImage(path, dr.get(), kPortDriverNotRecognized, kPortDriverOpenFailed, &msgs), 0);
    EXPECT_EQ(ReadDriverImage(dir.File("none.wfr"), dr.get(), kPortDriverNotRecognized, kPortDriverOpenFailed, &msgs), 0);
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].text, "This File Is Not Recognized As HV9 File");
    EXPECT_EQ(msgs[1].text, "Unable to Open This Driver File");
    EXPECT_EQ(Digest(dr.get(), sizeof(HV_Driver_Data)), before);
}

TEST(DriverData, FailedWriteChangesNothingInMemory) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    DriverBaffleState baffle = SampleBaffle();
    const uint64_t before = Digest(dr.get(), sizeof(HV_Driver_Data));
    const uint64_t baffle_before = Digest(&baffle, sizeof baffle);
    DriverStamps st;
    st.plot_low_index = 0;
    st.mls_rate_index = 2;
    const std::string path = dir.File("missing-folder/x.wfr");
    MessageList msgs;
    EXPECT_EQ(WriteDriverFile(path, dr.get(), &baffle, st, &msgs), 0);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, path);
    EXPECT_EQ(Digest(dr.get(), sizeof(HV_Driver_Data)), before);
    EXPECT_EQ(Digest(&baffle, sizeof baffle), baffle_before);
}

TEST(DriverData, ReadKeepsTheFilesMarkerAndTerminatesItsTexts) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    std::memcpy(dr->marker, "ABCDEFGHIJ", 10);
    std::memset(dr->params[kEfficiencyField], '9', 11);
    std::memset(dr->text_4249100, 'x', 2048);
    std::memset(dr->text_2149638, 'y', 22);
    const std::string path = dir.File("odd.wfr");
    ASSERT_EQ(WriteRawImage(path, dr.get(), sizeof(HV_Driver_Data)), RawFileStatus::Ok);
    auto back = AllocZeroed<HV_Driver_Data>();
    ASSERT_EQ(ReadDriverFile(path, back.get(), nullptr, nullptr), 1);
    EXPECT_EQ(std::string(back->marker, 10), "ABCDEFGHIJ");
    EXPECT_EQ(std::string(back->params[kEfficiencyField]), std::string(10, '9'));
    EXPECT_EQ(std::string(back->params[kEfficiencyField + 1]), "0.0");
    EXPECT_EQ(std::strlen(back->text_4249100), 2047u);
    EXPECT_EQ(std::strlen(back->text_2149638), 21u);
    EXPECT_EQ(back->text_4251148[0], '0');   // the next field is untouched
}

TEST(DriverData, PickerDescription) {
    FilePickerDescription s = DriverFilePicker(false);
    ASSERT_EQ(s.filters.size(), 6u);
    EXPECT_EQ(s.filters[0].first, "Woofer Files (*.WFR)");
    EXPECT_EQ(s.filters[4].first, "S/Tweeter Files (*.STW)");
    EXPECT_EQ(s.filters[5].first, "All Drivers (*.WFR;*.UBA;*.MRD;*.TWE;*.STW;)");
    EXPECT_EQ(s.filters[5].second, "*.wfr;*.uba;*.mrd;*.twe;*.stw;");
    EXPECT_EQ(s.default_extension, "*.*");
    EXPECT_TRUE(s.file_must_exist && s.hide_read_only);
    EXPECT_TRUE(DriverFilePicker(true).overwrite_prompt);
}

TEST(DriverData, BaffleRecordsTravelThroughADriverFile) {
    ScratchDir dir;
    auto baffle = AllocZeroed<BaffleRecord>();
    auto edges = AllocZeroed<BaffleEdgePointList>();
    // The default closed square, as start-up leaves it.
    const int32_t sq[5][2] = {{0, 0}, {80, 0}, {80, 80}, {0, 80}, {0, 0}};
    for (int k = 0; k < 5; ++k) baffle->Nodes[k].x = sq[k][0], baffle->Nodes[k].y = sq[k][1];
    baffle->NodeCount = 4;
    baffle->OutlineState = 2;
    baffle->Positions[0] = {40.6f, 40.0f, 0, 1};
    baffle->Positions[1] = {45.0f, 50.0f, 0, 0};
    baffle->Positions[2] = {0.5f, 45.0f, 0, 0};
    baffle->Positions[4] = {40.0f, 40.0f, 0, 1};
    baffle->InsertAfterIndex = 3;
    baffle->BaffleEditMode = 2;
    edges->PointCount = 4;
    edges->ElementCount = 0;
    for (int k = 0; k < 5; ++k) edges->Points[k].Word4 = 9;

    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    DriverBaffleState state = CollectDriverBaffle(*baffle, *edges);
    const std::string path = dir.File("b.wfr");
    ASSERT_EQ(WriteDriverFile(path, dr.get(), &state, DriverStamps{}, nullptr), 1);
    ApplyDriverBaffle(state, baffle.get(), edges.get());
    EXPECT_EQ(baffle->Positions[4].Enabled, 0u);   // the save disables entry 4
    EXPECT_EQ(edges->Points[0].Word4, 0u);

    // Scramble the live baffle, then read the file back into it.
    baffle->NodeCount = 9;
    baffle->Nodes[2].x = 7;
    baffle->Positions[4].Enabled = 1;
    DriverBaffleState live = CollectDriverBaffle(*baffle, *edges);
    ASSERT_EQ(ReadDriverFile(path, dr.get(), &live, nullptr), 1);
    ApplyDriverBaffle(live, baffle.get(), edges.get());
    EXPECT_EQ(baffle->NodeCount, 4);
    EXPECT_EQ(baffle->Nodes[2].x, 80);
    EXPECT_EQ(baffle->OutlineState, 2u);
    EXPECT_EQ(baffle->InsertAfterIndex, 1u);
    EXPECT_EQ(baffle->BaffleEditMode, 8u);
    EXPECT_EQ(baffle->Positions[0].x, 40.0f);
    EXPECT_EQ(baffle->Positions[0].Enabled, 1u);
    EXPECT_EQ(baffle->Positions[2].x, 1.0f);
    EXPECT_EQ(baffle->Positions[2].y, 45.0f);
    EXPECT_EQ(baffle->Positions[4].Enabled, 1u);   // kept from the live record
    EXPECT_EQ(edges->PointCount, 4);
    EXPECT_EQ(edges->ElementCount, 0);
}

// A driver file is someone else's bytes: values in it that are no numbers never reach the curves, the
// Hilbert-Bode transform or a calibration curve. They come back as what the curves take for nothing measured;
// every finite value, however large, is kept as the file has it.
TEST(DriverData, ValuesThatAreNoNumbersComeBackAsGapsAndDefaults) {
    ScratchDir dir;
    auto dr = AllocZeroed<HV_Driver_Data>();
    SetDriverRecordDefaults(dr.get());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    dr->spl_log[3] = nan;
    dr->spl_log[4] = 87.5f;
    dr->phase_log[7] = -inf;
    dr->hbt_re_log[0] = inf;
    dr->hbt_im_log[0] = nan;
    dr->spl_lin[kLinGridPoints - 1] = inf;
    dr->phase_lin[10] = nan;
    dr->phase_lin[11] = 3.0e38f;
    dr->hbt_re_lin[5] = nan;
    dr->hbt_im_lin[5] = inf;
    dr->mike_cal[2] = CalPoint{nan, 12.0f};
    dr->preamp_cal[9] = CalPoint{-1.5f, -inf};
    dr->measuring_distance_m = nan;
    dr->diffraction_param = -inf;
    const std::string path = dir.File("nan.wfr");
    ASSERT_EQ(WriteRawImage(path, dr.get(), sizeof(HV_Driver_Data)), RawFileStatus::Ok);
    auto back = AllocZeroed<HV_Driver_Data>();
    ASSERT_EQ(ReadDriverFile(path, back.get(), nullptr, nullptr), 1);
    EXPECT_EQ(back->spl_log[3], 0.0f);
    EXPECT_EQ(back->spl_log[4], 87.5f);
    EXPECT_EQ(back->spl_log[5], 90.0f);
    EXPECT_EQ(back->phase_log[7], 0.0f);
    EXPECT_EQ(back->hbt_re_log[0], 1.0f);
    EXPECT_EQ(back->hbt_im_log[0], 0.0f);
    EXPECT_EQ(back->spl_lin[kLinGridPoints - 1], 0.0f);
    EXPECT_EQ(back->phase_lin[10], 0.0f);
    EXPECT_EQ(back->phase_lin[11], 3.0e38f);
    EXPECT_EQ(back->hbt_re_lin[5], 1.0f);
    EXPECT_EQ(back->hbt_im_lin[5], 0.0f);
    EXPECT_EQ(back->mike_cal[2].spl_db, 0.0f);
    EXPECT_EQ(back->mike_cal[2].phase_deg, 12.0f);
    EXPECT_EQ(back->preamp_cal[9].spl_db, -1.5f);
    EXPECT_EQ(back->preamp_cal[9].phase_deg, 0.0f);
    EXPECT_EQ(back->measuring_distance_m, 1.0f);
    EXPECT_EQ(back->diffraction_param, 100.0f);
    std::size_t non_finite = 0;
    const float* curves[] = {back->spl_log, back->phase_log, back->hbt_re_log, back->hbt_im_log};
    for (const float* c : curves)
        for (int k = 0; k < kLogGridPoints; ++k) non_finite += !std::isfinite(c[k]);
    EXPECT_EQ(non_finite, 0u);
}
