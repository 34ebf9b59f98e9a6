#pragma once
// Hand-built RIFF files for the WAV tests: chunks put together byte by byte.
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

inline void PutLe(std::vector<uint8_t>* v, uint32_t value, int bytes) {
    for (int b = 0; b < bytes; ++b) v->push_back(static_cast<uint8_t>(value >> (8 * b)));
}

// A chunk: its id, its size, its bytes and the pad byte after an odd size.
inline std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> c(id, id + 4);
    PutLe(&c, static_cast<uint32_t>(body.size()), 4);
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() & 1) c.push_back(0);
    return c;
}

// A plain 16-byte PCM "fmt " chunk.
inline std::vector<uint8_t> FmtChunk(uint32_t channels, uint32_t rate, uint32_t bits) {
    std::vector<uint8_t> b;
    PutLe(&b, 1, 2);
    PutLe(&b, channels, 2);
    PutLe(&b, rate, 4);
    PutLe(&b, rate * channels * (bits / 8), 4);
    PutLe(&b, channels * (bits / 8), 2);
    PutLe(&b, bits, 2);
    return Chunk("fmt ", b);
}

// The RIFF chunk of form `form` around the given chunks.
inline std::vector<uint8_t> Riff(const char* form, std::initializer_list<std::vector<uint8_t>> chunks) {
    std::vector<uint8_t> body(form, form + 4);
    for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return Chunk("RIFF", body);
}

// A playable file of these samples (little-endian, interleaved, bits / 8 bytes each).
inline std::vector<uint8_t> WavFileOf(uint32_t channels, uint32_t rate, uint32_t bits, const std::vector<int32_t>& samples) {
    std::vector<uint8_t> data;
    for (int32_t s : samples) PutLe(&data, static_cast<uint32_t>(s), static_cast<int>(bits / 8));
    return Riff("WAVE", {FmtChunk(channels, rate, bits), Chunk("data", data)});
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
