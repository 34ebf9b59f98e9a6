#pragma once
// Zero-filled heap blocks for the large records in tests (never on the stack).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

struct HeapFree {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using HeapRecord = std::unique_ptr<T, HeapFree>;

template <class T>
HeapRecord<T> AllocZeroed() {
    void* p = std::calloc(1, sizeof(T));
    if (!p) std::abort();
    return HeapRecord<T>(static_cast<T*>(p));
}

// A 64-bit FNV-1a digest of a block, to tell "untouched" from "changed" without a second copy.
inline uint64_t Digest(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    uint64_t h = 1469598103934665603ull;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 1099511628211ull;
    }
    for (; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Reads `size` bytes at `offset` of a file, independently of the code under test.
inline std::vector<unsigned char> FileBytesAt(const std::string& path, std::size_t offset, std::size_t size) {
    std::ifstream f(path, std::ios::binary);
    f.seekg(static_cast<std::streamoff>(offset));
    std::vector<unsigned char> v(size);
    f.read(reinterpret_cast<char*>(v.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::size_t>(f.gcount()) != size) v.clear();
    return v;
}

template <class V>
V FileValueAt(const std::string& path, std::size_t offset) {
    V v{};
    auto b = FileBytesAt(path, offset, sizeof v);
    if (b.size() == sizeof v) std::memcpy(&v, b.data(), sizeof v);
    return v;
}

inline void FillPattern(void* data, std::size_t size, uint32_t seed) {
    auto* p = static_cast<unsigned char*>(data);
    uint32_t x = seed;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        p[i] = static_cast<unsigned char>(x >> 24);
    }
}
