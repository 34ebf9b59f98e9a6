#include "app/raw_file.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "test_util.h"

namespace {

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(RawFile, RoundTripAndSizeRefusal) {
    ScratchDir dir;
    const std::string path = dir.File("record.bin");
    std::vector<unsigned char> image(1000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 7);
    ASSERT_EQ(WriteRawImage(path, image.data(), image.size()), RawFileStatus::Ok);
    EXPECT_EQ(RawFileSize(path), 1000);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    std::vector<unsigned char> back(1000, 0);
    ASSERT_EQ(ReadRawImage(path, back.data(), back.size()), RawFileStatus::Ok);
    EXPECT_EQ(back, image);

    // Saving again replaces the existing file (rename over a target must work on Windows too).
    image[0] ^= 0xFF;
    ASSERT_EQ(WriteRawImage(path, image.data(), image.size()), RawFileStatus::Ok);
    ASSERT_EQ(ReadRawImage(path, back.data(), back.size()), RawFileStatus::Ok);
    EXPECT_EQ(back, image);

    // One byte short and one byte long are both another kind of file; the destination stays untouched.
    std::vector<unsigned char> untouched(1000, 0xAB);
    WriteBytes(path, std::vector<unsigned char>(999, 1));
    EXPECT_EQ(ReadRawImage(path, untouched.data(), untouched.size()), RawFileStatus::WrongSize);
    WriteBytes(path, std::vector<unsigned char>(1001, 1));
    EXPECT_EQ(ReadRawImage(path, untouched.data(), untouched.size()), RawFileStatus::WrongSize);
    EXPECT_EQ(untouched, std::vector<unsigned char>(1000, 0xAB));

    EXPECT_EQ(ReadRawImage(dir.File("missing.bin"), untouched.data(), untouched.size()), RawFileStatus::OpenFailed);
}

TEST(RawFile, FailedWriteKeepsPreviousFile) {
    ScratchDir dir;
    const std::string path = dir.File("keep.bin");
    std::vector<unsigned char> old(16, 0x11);
    ASSERT_EQ(WriteRawImage(path, old.data(), old.size()), RawFileStatus::Ok);

    // A folder in the temporary file's place makes the write fail before the target is touched.
    std::filesystem::create_directory(path + ".tmp");
    std::vector<unsigned char> fresh(16, 0x22);
    EXPECT_EQ(WriteRawImage(path, fresh.data(), fresh.size()), RawFileStatus::WriteFailed);
    std::vector<unsigned char> back(16);
    ASSERT_EQ(ReadRawImage(path, back.data(), back.size()), RawFileStatus::Ok);
    EXPECT_EQ(back, old);

    // Writing into a folder that does not exist fails and reports it.
    EXPECT_EQ(WriteRawImage(dir.File("no/such/folder/x.bin"), fresh.data(), fresh.size()), RawFileStatus::WriteFailed);
}
