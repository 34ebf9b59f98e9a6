#include "measure/res_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/heap_record.h"
#include "app/raw_file.h"
#include "measure/mls_analysis.h"
#include "test_util.h"

namespace {

// A file of `size` bytes: data bytes from a pattern, then the given slot texts.
void WriteFile(const std::string& path, long long size, const std::vector<std::string>& slots, std::size_t data) {
    std::vector<char> bytes(static_cast<std::size_t>(size), 0);
    for (std::size_t i = 0; i < data; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    for (std::size_t s = 0; s < slots.size(); ++s) std::memcpy(&bytes[data + 4 * s], slots[s].c_str(), slots[s].size());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Capture {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kMlsCaptureBytes, 0xEE);
};

}  // namespace

TEST(ResFile, SavedSizesAndSlots) {
    ScratchDir dir;
    std::vector<uint8_t> saved(kMlsCaptureBytes);
    FillPattern(saved.data(), saved.size(), 4);
    MessageList out;
    const std::string p16 = dir.File("run.res"), p24 = dir.File("run24.res");
    ASSERT_EQ(WriteResFile(p16, saved.data(), 0, 1, 5, &out), 1);
    ASSERT_EQ(WriteResFile(p24, saved.data(), 1, 2, 0, &out), 1);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(RawFileSize(p16), 1054007);
    EXPECT_EQ(RawFileSize(p24), 2108007);
    EXPECT_EQ(FileBytesAt(p16, 0, 1053999), std::vector<unsigned char>(saved.begin(), saved.begin() + 1053999));
    EXPECT_EQ(FileBytesAt(p16, 1053999, 8), (std::vector<unsigned char>{'1', 0, 0, 0, '5', 0, 0, 0}));
    EXPECT_EQ(FileBytesAt(p24, 2107999, 8), (std::vector<unsigned char>{'2', 0, 0, 0, '0', 0, 0, 0}));
    EXPECT_FALSE(std::filesystem::exists(p16 + ".tmp"));

    // Read back: the data at the start of the capture, the byte the file lacks and the rest zero.
    Capture c;
    ResFileInfo info;
    ASSERT_EQ(ReadResFile(p24, 1, c.bytes.data(), c.bytes.size(), &info, &out), ResReadStatus::kLoaded);
    EXPECT_EQ(info.rate_index, 2u);
    EXPECT_EQ(info.length_index, 0u);
    EXPECT_EQ(info.capture24, 1u);
    EXPECT_EQ(std::memcmp(c.bytes.data(), saved.data(), 2107999), 0);
    EXPECT_EQ(c.bytes[2107999], 0);
    EXPECT_EQ(c.bytes[kMlsCaptureBytes - 1], 0);
}

TEST(ResFile, WidthMessagesAndRefusalsLeaveTheCaptureAlone) {
    ScratchDir dir;
    const std::string path = dir.File("m.res");
    Capture c;
    ResFileInfo info;
    struct Case {
        long long size;
        uint32_t setting;
        std::vector<std::string> slots;
        const char* message;
    } cases[] = {
        {1054007, 1, {"1", "5"}, "MLS  Is Set To 24bit"},
        {1054027, 1, {"1", "5", "0"}, "MLS Is Set To 24bit"},
        {2108007, 0, {"1", "5"}, "MLS  Is Set To 16bit"},
        {2108027, 0, {"1", "5", "1"}, "MLS  Is Set To 16bit"},
        {1054008, 0, {"1", "5"}, "This IR File is NOT Recognized"},
        {1054007, 0, {"3", "5"}, "This IR File is NOT Recognized"},        // rate 3 is no rate
        {1054007, 0, {"1", "6"}, "This IR File is NOT Recognized"},        // order 19
        {1054007, 0, {"-1", "5"}, "This IR File is NOT Recognized"},
        {1054027, 0, {"1", "5", "1"}, "This IR File is NOT Recognized"},   // a 16-bit size that says 24-bit
        {2108027, 1, {"5", "5", "1"}, "This IR File is NOT Recognized"},   // this variant takes the rate as stored
        // Slots that are not numbers would read as 44,100 Hz and order 13.
        {1054007, 0, {"ab", "5"}, "This IR File is NOT Recognized"},
        {1054007, 0, {"1", ""}, "This IR File is NOT Recognized"},
        {2108007, 1, {"1x", "5"}, "This IR File is NOT Recognized"},
    };
    for (const Case& k : cases) {
        WriteFile(path, k.size, k.slots, static_cast<std::size_t>(k.size - (k.slots.size() == 3 ? 28 : 8)));
        MessageList out;
        EXPECT_NE(ReadResFile(path, k.setting, c.bytes.data(), c.bytes.size(), &info, &out), ResReadStatus::kLoaded);
        ASSERT_EQ(out.size(), 1u) << k.size;
        EXPECT_EQ(out[0].text, k.message) << k.size;
        EXPECT_EQ(out[0].caption, "HV Message");
        for (uint8_t v : c.bytes) ASSERT_EQ(v, 0xEE);
    }
    // Rates stored as 4..6 name 0..2.
    WriteFile(path, 1054007, {"5", "5"}, 1053999);
    ASSERT_EQ(ReadResFile(path, 0, c.bytes.data(), c.bytes.size(), &info, nullptr), ResReadStatus::kLoaded);
    EXPECT_EQ(info.rate_index, 1u);
    WriteFile(path, 1054027, {"0", "2", "0"}, 1053999);
    ASSERT_EQ(ReadResFile(path, 0, c.bytes.data(), c.bytes.size(), &info, nullptr), ResReadStatus::kLoaded);
    EXPECT_EQ(info.capture24, 0u);
    EXPECT_EQ(info.length_index, 2u);
    // A slot without its NUL is read within its four bytes.
    WriteFile(path, 2108027, {"0001", "0005", "1"}, 2107999);
    ASSERT_EQ(ReadResFile(path, 1, c.bytes.data(), c.bytes.size(), &info, nullptr), ResReadStatus::kLoaded);
    EXPECT_EQ(info.rate_index, 1u);

    MessageList out;
    EXPECT_EQ(ReadResFile(dir.File("none.res"), 0, c.bytes.data(), c.bytes.size(), &info, &out),
              ResReadStatus::kOpenFailed);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, dir.File("none.res"));
    EXPECT_EQ(out[0].caption, "Unable To Open");
}

TEST(ResFile, FailedWritesKeepThePreviousFile) {
    ScratchDir dir;
    std::vector<uint8_t> saved(kMlsCaptureBytes, 1);
    const std::string path = dir.File("keep.res");
    std::ofstream(path) << "previous";
    MessageList out;
    EXPECT_EQ(WriteResFile(path, saved.data(), 0, 7, 5, &out), 0);  // no such rate
    EXPECT_EQ(WriteResFile(dir.File("missing/x.res"), saved.data(), 0, 1, 5, &out), 0);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].text, dir.File("missing/x.res"));
    EXPECT_EQ(RawFileSize(path), 8);
}

TEST(ResFile, ProposedNamesAndReaders) {
    char buffer[2048];
    std::strcpy(buffer, "room.res");
    ProposeResFileName(buffer, sizeof buffer, 1);
    EXPECT_STREQ(buffer, "room_48k");
    std::strcpy(buffer, "noname");
    ProposeResFileName(buffer, sizeof buffer, 0);
    EXPECT_STREQ(buffer, "_44k");
    std::strcpy(buffer, "C:\\my.dir\\noname");
    ProposeResFileName(buffer, sizeof buffer, 2);
    EXPECT_STREQ(buffer, "C:\\my_96k");
    std::strcpy(buffer, ".res");  // a dot in the first place is not searched
    ProposeResFileName(buffer, sizeof buffer, 1);
    EXPECT_STREQ(buffer, "_48k");
    // A name that fills the buffer keeps room for its suffix and its NUL.
    char small[10];
    std::memcpy(small, "abcdefg.ij", 10);  // no NUL at all
    ProposeResFileName(small, sizeof small, 1);
    EXPECT_STREQ(small, "abcde_48k");

    EXPECT_EQ(MlsFileKindOf("C:\\a\\B.RES"), MlsFileKind::kRes);
    EXPECT_EQ(MlsFileKindOf("x.Wav"), MlsFileKind::kWav);
    EXPECT_EQ(MlsFileKindOf("x.txt"), MlsFileKind::kText);
    EXPECT_EQ(MlsFileKindOf("x.dat"), MlsFileKind::kOther);
    EXPECT_EQ(MlsFileKindOf("x"), MlsFileKind::kOther);
}
