#include "app/system_record.h"

#include "app/raw_file.h"

#include <cmath>
#include <filesystem>
#include <limits>

#include "heap_record.h"
#include "test_util.h"

namespace {

constexpr std::size_t kPane = 33702800;

// One record, two real panes (1 and 9) and two impulse arrays keep a test near 400 MB.
struct ProjectFixture {
    HeapRecord<SystemRecord> record = AllocZeroed<SystemRecord>();
    HeapRecord<PaneRecord> pane1 = AllocZeroed<PaneRecord>();
    HeapRecord<PaneRecord> pane9 = AllocZeroed<PaneRecord>();
    std::vector<float> ir1 = std::vector<float>(532480, 7.0f);
    std::vector<float> ir16 = std::vector<float>(532480, 7.0f);
    MirroredSettings settings;
    ProjectContext ctx;

    ProjectFixture() {
        ctx.record = record.get();
        ctx.panes[0] = pane1.get();
        ctx.panes[8] = pane9.get();
        ctx.settings = &settings;
        ctx.output_impulse[0] = ir1.data();
        ctx.output_impulse[15] = ir16.data();
        ClearPaneRecord(pane1.get());
        ClearPaneRecord(pane9.get());
        SetSystemRecordDefaults(record.get(), settings);
    }
};

void MakeFileOfSize(const std::string& path, std::size_t size) {
    { std::ofstream f(path, std::ios::binary); }
    std::filesystem::resize_file(path, size);
}

}  // namespace

TEST(SystemRecord, DefaultsLandAtTheGoldenOffsetsOfAWrittenFile) {
    ScratchDir dir;
    ProjectFixture fx;
    fx.settings.IrMethod = 1;
    SetSystemRecordDefaults(fx.record.get(), fx.settings);
    const std::string path = dir.File("default.hif");
    MessageList msgs;
    ASSERT_EQ(WriteProjectFile(path, fx.ctx, &msgs), 1);
    EXPECT_TRUE(msgs.empty());
    EXPECT_EQ(RawFileSize(path), 303332072);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330444), 1u);          // HV_Sampling
    EXPECT_EQ(FileValueAt<float>(path, 303331008), 0.5f);           // BbmGain
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330452), 0u);          // SystemConfiguration
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330456), 1u);          // reserved word, default 1
    EXPECT_EQ(FileValueAt<int32_t>(path, 303330460), 9);            // VolumePosition
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330480), 1u);          // WideWindow
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330488), 1u);          // OutputMode "16 Outputs"
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330492), 1u);          // Capture24Bit
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330968), 1u);          // HV_Buffer_Size
    const char* keys[] = {"3", "4", "5", "6", "7", "8", "9", "10", "1", "2", "1", "2", "0", "0", "0", "0", "0", "0", "0", "0"};
    for (int k = 0; k < 20; ++k) {
        auto field = FileBytesAt(path, 303330568 + 20 * k, 20);
        EXPECT_STREQ(reinterpret_cast<const char*>(field.data()), keys[k]) << k;
    }
    for (int e = 0; e < 32; ++e) {
        // IrMethod (1 here) was written after the window settings and so wins entry 17's first word.
        EXPECT_EQ(FileValueAt<int32_t>(path, 303331048 + 32 * e), e == 17 ? 1 : 256) << e;
        EXPECT_EQ(FileValueAt<int32_t>(path, 303331048 + 32 * e + 4), 6) << e;
    }
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303331592), 1u);
    // Every reserved byte is zero, except the word at 303,330,456.
    auto tail = FileBytesAt(path, 303325200, 6872);
    ASSERT_EQ(tail.size(), 6872u);
    for (std::size_t i = 0; i < 5244; ++i) ASSERT_EQ(tail[i], 0) << i;
    for (std::size_t off : {303330448u, 303330476u, 303330496u, 303330500u}) EXPECT_EQ(FileValueAt<uint32_t>(path, off), 0u);
    for (std::size_t off = 303330508; off < 303330536; off += 4) EXPECT_EQ(FileValueAt<uint32_t>(path, off), 0u);
    for (std::size_t off = 303330544; off < 303330568; off += 4) EXPECT_EQ(FileValueAt<uint32_t>(path, off), 0u);
    // Pane 1 and pane 9 images are the cleared PaneRecords.
    EXPECT_EQ(FileValueAt<int32_t>(path, 15120 + 20), -1);                     // pane 1, element 0 node1
    EXPECT_EQ(FileValueAt<float>(path, 8 * kPane + 17168), 1.0f);             // pane 9, element response
    auto title = FileBytesAt(path, 8 * kPane + 33571728, 15);
    EXPECT_EQ(std::string(title.begin(), title.end() - 1), "No File Loaded");
}

TEST(SystemRecord, SaveThenReadGivesPanesAndSettingsBackByteForByte) {
    ScratchDir dir;
    ProjectFixture fx;
    FillPattern(fx.pane1.get(), sizeof(PaneRecord), 11);
    SanitisePaneRecord(fx.pane1.get());   // a pattern is not a sound network; the sanitised one round-trips
    FillPattern(fx.pane9.get(), sizeof(PaneRecord), 99);
    SanitisePaneRecord(fx.pane9.get());
    const uint64_t d1 = Digest(fx.pane1.get(), sizeof(PaneRecord));
    const uint64_t d9 = Digest(fx.pane9.get(), sizeof(PaneRecord));
    fx.settings = MirroredSettings{3, 0, 2, 2, 0, 4, 5, 6, 3, 1};
    SystemTail& t = fx.record->tail;
    t.HV_Sampling = 2;
    t.SystemConfiguration = 5;
    t.VolumePosition = 33;
    t.PhaseMode = 1;
    t.SplOnlyEq = 1;
    t.BbmGain = 0.75f;
    t.OutputQueue = 3;
    t.IrWindowSettings[4] = IrWindowEntry{512, 2, {}};
    std::memcpy(t.LiveKeyChannelFields[13], "16", 3);
    // Rubbish in the reserved words is not carried into the file.
    for (auto& w : t.reserved_5308) w = 0xDEADBEEF;
    for (auto& w : t.reserved_5344) w = 0xDEADBEEF;
    std::memset(t.reserved_head, 0xAB, sizeof t.reserved_head);

    const std::string path = dir.File("p.hif");
    ASSERT_EQ(WriteProjectFile(path, fx.ctx, nullptr), 1);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330508), 0u);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330564), 0u);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303325200), 0u);
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330472), 3u);   // BassMode from the global
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303330540), 6u);   // DeviceIndex3
    EXPECT_EQ(FileValueAt<uint32_t>(path, 303331592), 1u);   // IrMethod

    // Change everything in memory, then read the file back.
    ClearPaneRecord(fx.pane1.get());
    ClearPaneRecord(fx.pane9.get());
    fx.settings = MirroredSettings{};
    SetSystemRecordDefaults(fx.record.get(), fx.settings);
    MessageList msgs;
    ASSERT_EQ(ReadProjectFile(path, fx.ctx, &msgs), 1);
    EXPECT_TRUE(msgs.empty());
    EXPECT_EQ(Digest(fx.pane1.get(), sizeof(PaneRecord)), d1);
    EXPECT_EQ(Digest(fx.pane9.get(), sizeof(PaneRecord)), d9);
    EXPECT_EQ(fx.settings.BassMode, 3u);
    EXPECT_EQ(fx.settings.WideWindow, 0u);
    EXPECT_EQ(fx.settings.InputMode, 2u);
    EXPECT_EQ(fx.settings.OutputMode, 2u);
    EXPECT_EQ(fx.settings.Capture24Bit, 0u);
    EXPECT_EQ(fx.settings.CaptureDeviceIndex, 4u);
    EXPECT_EQ(fx.settings.RenderDeviceIndex, 5u);
    EXPECT_EQ(fx.settings.DeviceIndex3, 6u);
    EXPECT_EQ(fx.settings.HV_Buffer_Size, 3u);
    EXPECT_EQ(fx.settings.IrMethod, 1u);
    EXPECT_EQ(fx.record->tail.HV_Sampling, 2u);
    EXPECT_EQ(fx.record->tail.SystemConfiguration, 5u);
    EXPECT_EQ(fx.record->tail.VolumePosition, 33);
    EXPECT_EQ(fx.record->tail.PhaseMode, 1);
    EXPECT_EQ(fx.record->tail.BbmGain, 0.75f);
    EXPECT_EQ(fx.record->tail.IrWindowSettings[4].length, 512);
    EXPECT_STREQ(fx.record->tail.LiveKeyChannelFields[13], "16");
    // Applying cleared the first 262,144 impulse-response values of each output, and only those.
    EXPECT_EQ(fx.ir1[0], 0.0f);
    EXPECT_EQ(fx.ir1[262143], 0.0f);
    EXPECT_EQ(fx.ir1[262144], 7.0f);
    EXPECT_EQ(fx.ir16[100000], 0.0f);
}

TEST(SystemRecord, WrongSizeIsRefusedWithItsMessageAndNothingChanges) {
    ScratchDir dir;
    ProjectFixture fx;
    fx.pane1->elements[0].kind = OutputPort;
    fx.record->tail.VolumePosition = 20;
    const uint64_t before_record = Digest(fx.record.get(), sizeof(SystemRecord));
    const uint64_t before_pane = Digest(fx.pane1.get(), sizeof(PaneRecord));
    const MirroredSettings settings_before = fx.settings;
    for (std::size_t size : {std::size_t{303332071}, std::size_t{303332073}, std::size_t{0}}) {
        const std::string path = dir.File("bad" + std::to_string(size) + ".hif");
        MakeFileOfSize(path, size);
        MessageList msgs;
        EXPECT_EQ(ReadProjectFile(path, fx.ctx, &msgs), 0);
        ASSERT_EQ(msgs.size(), 1u);
        EXPECT_EQ(msgs[0].text, "This Project File is NOT Recognized");
        EXPECT_EQ(msgs[0].caption, "HV Message");
        EXPECT_EQ(msgs[0].icon, MessageIcon::Warning);
    }
    MessageList msgs;
    const std::string missing = dir.File("missing.hif");
    EXPECT_EQ(ReadProjectFile(missing, fx.ctx, &msgs), 0);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, missing);
    EXPECT_EQ(Digest(fx.record.get(), sizeof(SystemRecord)), before_record);
    EXPECT_EQ(Digest(fx.pane1.get(), sizeof(PaneRecord)), before_pane);
    EXPECT_EQ(fx.settings.HV_Buffer_Size, settings_before.HV_Buffer_Size);
    EXPECT_EQ(fx.ir1[5], 7.0f);
}

TEST(SystemRecord, ProfileLoadsUseTheirOwnTexts) {
    ScratchDir dir;
    ProjectFixture fx;
    const std::string path = dir.File("profile.hif");
    MakeFileOfSize(path, 303332073);
    MessageList msgs;
    EXPECT_EQ(ReadProjectFile(path, fx.ctx, &msgs, kProfileNotRecognized, kProfileNotFound), 0);
    EXPECT_EQ(ReadProjectFile(dir.File("gone.hif"), fx.ctx, &msgs, kProfileNotRecognized, kProfileNotFound), 0);
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].text, "This Project File Is Not recognized");
    EXPECT_EQ(msgs[1].text, "Requested Profile Not Found");
}

TEST(SystemRecord, FailedWriteIsReportedByItsPath) {
    ScratchDir dir;
    ProjectFixture fx;
    const std::string path = dir.File("no-such-folder/p.hif");
    MessageList msgs;
    EXPECT_EQ(WriteProjectFile(path, fx.ctx, &msgs), 0);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, path);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SystemRecord, BbmGainBelowPointOneOrNotFiniteBecomesHalf) {
    auto tail = std::make_unique<SystemTail>();
    const float cases[][2] = {{0.05f, 0.5f}, {0.1f, 0.1f}, {0.0999f, 0.5f}, {1.0f, 1.0f}, {-3.0f, 0.5f},
                              {std::numeric_limits<float>::quiet_NaN(), 0.5f},
                              {std::numeric_limits<float>::infinity(), 0.5f}};
    for (const auto& c : cases) {
        std::memset(tail.get(), 0, sizeof(SystemTail));
        tail->BbmGain = c[0];
        SanitiseSystemTail(tail.get());
        EXPECT_EQ(tail->BbmGain, c[1]) << c[0];
    }
}

TEST(SystemRecord, ApplyBringsTailEnumerationsAndIndicesIntoRange) {
    auto tail = std::make_unique<SystemTail>();
    std::memset(tail.get(), 0, sizeof(SystemTail));
    tail->HV_Sampling = 3;
    tail->SystemConfiguration = 7;
    tail->VolumePosition = 67;
    tail->PhaseMode = -1;
    tail->SplOnlyEq = 2;
    tail->BassMode = 4;
    tail->WideWindow = 9;
    tail->InputMode = 4;
    tail->OutputMode = 3;
    tail->Capture24Bit = 2;
    tail->CaptureDeviceIndex = 100;
    tail->RenderDeviceIndex = 0xFFFFFFFF;
    tail->DeviceIndex3 = 99;
    tail->HV_Buffer_Size = 4;
    tail->RenderTiming = 2;
    tail->OutputQueue = 5;
    tail->CaptureTiming = 1;
    tail->BbmGain = 0.5f;
    std::memset(tail->LiveKeyChannelFields[3], '7', 20);
    tail->IrWindowSettings[0] = IrWindowEntry{-1, 10, {}};
    tail->IrWindowSettings[15] = IrWindowEntry{262145, -1, {}};
    tail->IrWindowSettings[7] = IrWindowEntry{262144, 9, {}};
    tail->IrWindowSettings[20] = IrWindowEntry{-5, 77, {}};   // no output uses it: left alone
    SetIrMethod(tail.get(), 2);
    SanitiseSystemTail(tail.get());
    EXPECT_EQ(tail->HV_Sampling, 1u);
    EXPECT_EQ(tail->SystemConfiguration, 0u);
    EXPECT_EQ(tail->VolumePosition, 9);
    EXPECT_EQ(tail->PhaseMode, 0);
    EXPECT_EQ(tail->SplOnlyEq, 0u);
    EXPECT_EQ(tail->BassMode, 0u);
    EXPECT_EQ(tail->WideWindow, 1u);
    EXPECT_EQ(tail->InputMode, 0u);
    EXPECT_EQ(tail->OutputMode, 1u);
    EXPECT_EQ(tail->Capture24Bit, 1u);
    EXPECT_EQ(tail->CaptureDeviceIndex, 0u);
    EXPECT_EQ(tail->RenderDeviceIndex, 0u);
    EXPECT_EQ(tail->DeviceIndex3, 99u);
    EXPECT_EQ(tail->HV_Buffer_Size, 1u);
    EXPECT_EQ(tail->RenderTiming, 0u);
    EXPECT_EQ(tail->OutputQueue, 0u);
    EXPECT_EQ(tail->CaptureTiming, 1u);
    EXPECT_EQ(std::string(tail->LiveKeyChannelFields[3]), std::string(19, '7'));
    EXPECT_EQ(tail->IrWindowSettings[0].length, 256);
    EXPECT_EQ(tail->IrWindowSettings[0].window_type, 6);
    EXPECT_EQ(tail->IrWindowSettings[15].length, 256);
    EXPECT_EQ(tail->IrWindowSettings[15].window_type, 6);
    EXPECT_EQ(tail->IrWindowSettings[7].length, 262144);
    EXPECT_EQ(tail->IrWindowSettings[7].window_type, 9);
    EXPECT_EQ(tail->IrWindowSettings[20].window_type, 77);
    EXPECT_EQ(GetIrMethod(*tail), 0u);
}

TEST(SystemRecord, ApplySanitisesThePanesItCopies) {
    ProjectFixture fx;
    PaneRecord& img = fx.record->panes[0];
    ClearPaneRecord(&img);
    img.element_count = 40;
    img.wire_count = 1000;
    img.joint_count = 33;
    img.edit_tool = 3;
    img.elements[2].node1 = 32;
    img.elements[2].node2 = -2;
    img.elements[3].node1 = 31;
    img.params[4].p[kParamChannelDelay] = std::numeric_limits<float>::quiet_NaN();
    img.params[4].p[kParamPlotFlag] = std::numeric_limits<float>::infinity();
    img.params[4].p[kParamOutputNumber] = 3.0f;
    std::memset(img.driver_file_title[5], 'A', 2048);
    std::memset(img.driver_file_path[6], 'B', 2048);
    ApplyProjectRecord(fx.ctx);
    const PaneRecord& p = *fx.pane1;
    EXPECT_EQ(p.element_count, 32u);
    EXPECT_EQ(p.wire_count, 32u);
    EXPECT_EQ(p.joint_count, 32u);
    EXPECT_EQ(p.edit_tool, 0u);
    EXPECT_EQ(p.elements[2].node1, -1);
    EXPECT_EQ(p.elements[2].node2, -1);
    EXPECT_EQ(p.elements[3].node1, 31);
    EXPECT_EQ(p.params[4].p[kParamChannelDelay], 0.0f);
    EXPECT_EQ(p.params[4].p[kParamPlotFlag], 1.0f);
    EXPECT_EQ(p.params[4].p[kParamOutputNumber], 3.0f);
    EXPECT_EQ(std::strlen(p.driver_file_title[5]), 2047u);
    EXPECT_EQ(std::strlen(p.driver_file_path[6]), 2047u);
    EXPECT_STREQ(p.driver_file_title[4], "No File Loaded");
}

TEST(SystemRecord, PickerDescription) {
    FilePickerDescription open = ProjectFilePicker(false);
    ASSERT_EQ(open.filters.size(), 1u);
    EXPECT_EQ(open.filters[0].first, "Project Files (*.HIF)");
    EXPECT_EQ(open.filters[0].second, "*.hif");
    EXPECT_EQ(open.default_extension, "hif");
    EXPECT_TRUE(open.file_must_exist && open.hide_read_only && !open.overwrite_prompt);
    FilePickerDescription save = ProjectFilePicker(true);
    EXPECT_TRUE(save.overwrite_prompt && !save.file_must_exist);
    EXPECT_EQ(FilterString(open), std::string("Project Files (*.HIF)\0*.hif\0\0", 29));
}
