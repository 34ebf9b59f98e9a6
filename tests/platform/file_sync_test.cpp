#include "platform/file_sync.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "test_util.h"

#ifndef _WIN32
#include <unistd.h>
#endif

// The bytes written are in the file once the flush says so, and a flush that the system refuses is
// reported, not taken for a success.
TEST(FileSync, WrittenBytesReachTheFileAndARefusedFlushIsReported) {
    ScratchDir dir;
    const std::string path = dir.File("data.bin");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::string text(100000, 'h');
    ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
    EXPECT_TRUE(FlushFileToDisk(f));
    // Read through another stream while this one is still open: nothing is left in its buffer.
    std::ifstream in(path, std::ios::binary);
    const std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(back, text);
    std::fclose(f);
    EXPECT_FALSE(FlushFileToDisk(nullptr));
#ifndef _WIN32
    // A pipe has no disk to put its data on: the system refuses, and so does the flush.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::FILE* w = fdopen(ends[1], "wb");
    ASSERT_NE(w, nullptr);
    std::fputc('x', w);
    EXPECT_FALSE(FlushFileToDisk(w));
    std::fclose(w);
    close(ends[0]);
#endif
}
