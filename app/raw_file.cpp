#include "app/raw_file.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/file_sync.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { if (f) std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadExactly(std::FILE* f, void* dest, std::size_t size) {
    std::size_t done = 0;
    auto* p = static_cast<unsigned char*>(dest);
    while (done < size) {
        std::size_t n = std::fread(p + done, 1, size - done, f);
        if (n == 0) return false;
        done += n;
    }
    // Nothing may follow: a file that grew between the size check and the read is not this record.
    return std::fgetc(f) == EOF;
}

}  // namespace

long long RawFileSize(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return -1;
    auto n = std::filesystem::file_size(path, ec);
    if (ec) return -1;
    return static_cast<long long>(n);
}

std::FILE* OpenRegularFile(const std::string& path) {
    return RawFileSize(path) < 0 ? nullptr : std::fopen(path.c_str(), "rb");
}

RawFileStatus ReadRawImageInPlace(const std::string& path, void* dest, std::size_t size) {
    long long actual = RawFileSize(path);
    if (actual < 0) return RawFileStatus::OpenFailed;
    if (static_cast<unsigned long long>(actual) != size) return RawFileStatus::WrongSize;
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) return RawFileStatus::OpenFailed;
    return ReadExactly(f.get(), dest, size) ? RawFileStatus::Ok : RawFileStatus::ReadFailed;
}

RawFileStatus ReadRawImage(const std::string& path, void* dest, std::size_t size) {
    long long actual = RawFileSize(path);
    if (actual < 0) return RawFileStatus::OpenFailed;
    if (static_cast<unsigned long long>(actual) != size) return RawFileStatus::WrongSize;
    std::vector<unsigned char> scratch(size);
    RawFileStatus st = ReadRawImageInPlace(path, scratch.data(), size);
    if (st == RawFileStatus::Ok) std::copy(scratch.begin(), scratch.end(), static_cast<unsigned char*>(dest));
    return st;
}

RawFileStatus WriteRawImage(const std::string& path, const void* src, std::size_t size) {
    const std::string tmp = path + ".tmp";
    {
        std::FILE* raw = std::fopen(tmp.c_str(), "wb");
        if (!raw) return RawFileStatus::WriteFailed;
        bool ok = std::fwrite(src, 1, size, raw) == size;
        // On the disk before it takes the target's place.
        ok = ok && FlushFileToDisk(raw);
        ok = (std::fclose(raw) == 0) && ok;
        if (!ok) {
            std::remove(tmp.c_str());
            return RawFileStatus::WriteFailed;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::remove(tmp.c_str());
        return RawFileStatus::ReplaceFailed;
    }
    return RawFileStatus::Ok;
}
