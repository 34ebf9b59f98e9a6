#pragma once
// Raw memory-image files: a record written as it lies in memory, recognised by its exact size.
#include <cstddef>
#include <cstdio>
#include <string>

enum class RawFileStatus {
    Ok,
    OpenFailed,   // missing or unreadable
    WrongSize,    // exists but is not exactly the record's size
    ReadFailed,   // short read or I/O error
    WriteFailed,  // could not create, write, flush or close the temporary file
    ReplaceFailed // the temporary file was written but could not take the target's place
};

// Size of a file in bytes, or -1 when it cannot be opened.
long long RawFileSize(const std::string& path);

// Opens a file for binary reading; null when it cannot be opened or is no regular file (opening a pipe or a
// device could hold the reader for ever).
std::FILE* OpenRegularFile(const std::string& path);

// Reads exactly `size` bytes into a scratch copy first: `dest` is only overwritten when the file has the
// right size and every byte was read, so a refused file leaves the record untouched.
RawFileStatus ReadRawImage(const std::string& path, void* dest, std::size_t size);

// Reads into `dest` directly (for records too large to copy): the size is checked before anything is read,
// but a read error after that point leaves `dest` partly overwritten. Callers that must not lose data on a
// read error use ReadRawImage.
RawFileStatus ReadRawImageInPlace(const std::string& path, void* dest, std::size_t size);

// Writes the image to "<path>.tmp" beside the target, checks every byte, puts the file on the disk
// (FlushFileToDisk) and checks the close, then replaces the target. On any failure the previous file is left as it was and the temporary is removed.
RawFileStatus WriteRawImage(const std::string& path, const void* src, std::size_t size);

// Same replace-through-a-temporary for text or other content produced into memory first.
inline RawFileStatus WriteWholeFile(const std::string& path, const std::string& bytes) {
    return WriteRawImage(path, bytes.data(), bytes.size());
}
