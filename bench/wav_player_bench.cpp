// Loading a song: a ten-minute 24-bit 96 kHz stereo file (345,600,044 bytes) inspected and read whole into
// memory as the song loader does, beside one plain read of the same file into a buffer of its size (what the
// disk or the file cache gives at best). Both from the file cache after the first round.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "panels/wav_file.h"

namespace {

constexpr uint32_t kRate = 96000;
constexpr uint64_t kSeconds = 600;
constexpr uint64_t kDataBytes = kSeconds * kRate * 2 * 3;

void Put(std::FILE* f, uint32_t v, int bytes) {
    for (int b = 0; b < bytes; ++b) std::fputc(static_cast<int>((v >> (8 * b)) & 0xFF), f);
}

// The song, written once beside the benchmark program's working folder.
const std::string& SongPath() {
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() / "hv-bench-ten-minutes.wav").string();
        std::FILE* f = std::fopen(p.c_str(), "wb");
        if (!f) return std::string();
        std::fwrite("RIFF", 1, 4, f);
        Put(f, static_cast<uint32_t>(kDataBytes + 36), 4);
        std::fwrite("WAVEfmt ", 1, 8, f);
        Put(f, 16, 4);
        Put(f, 1, 2);
        Put(f, 2, 2);
        Put(f, kRate, 4);
        Put(f, kRate * 6, 4);
        Put(f, 6, 2);
        Put(f, 24, 2);
        std::fwrite("data", 1, 4, f);
        Put(f, static_cast<uint32_t>(kDataBytes), 4);
        std::vector<uint8_t> chunk(1 << 20);
        for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>(i * 31 + 7);
        for (uint64_t left = kDataBytes; left > 0;) {
            const std::size_t n = left < chunk.size() ? static_cast<std::size_t>(left) : chunk.size();
            std::fwrite(chunk.data(), 1, n, f);
            left -= n;
        }
        std::fclose(f);
        return p;
    }();
    return path;
}

void BM_LoadTenMinuteSong(benchmark::State& state) {
    if (SongPath().empty()) {
        state.SkipWithError("cannot write the song");
        return;
    }
    for (auto _ : state) {
        WavFileInfo info;
        WavSong song;
        MessageList messages;
        bool opened = false;
        if (LoadWavSong(SongPath(), &info, &song, &messages, &opened) != WavCheck::kOk || song.Size != kDataBytes) {
            state.SkipWithError("the song did not load");
            return;
        }
        benchmark::DoNotOptimize(song.Data[song.Size - 1]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kDataBytes));
}
BENCHMARK(BM_LoadTenMinuteSong)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ReadTenMinuteFilePlainly(benchmark::State& state) {
    if (SongPath().empty()) {
        state.SkipWithError("cannot write the song");
        return;
    }
    const uint64_t bytes = std::filesystem::file_size(SongPath());
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[bytes]);
        std::FILE* f = std::fopen(SongPath().c_str(), "rb");
        const std::size_t n = std::fread(buffer.get(), 1, static_cast<std::size_t>(bytes), f);
        std::fclose(f);
        if (n != bytes) {
            state.SkipWithError("short read");
            return;
        }
        benchmark::DoNotOptimize(buffer[bytes - 1]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReadTenMinuteFilePlainly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove(SongPath(), ec);
    return 0;
}
