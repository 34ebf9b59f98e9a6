#pragma once
// Helpers shared by the tests: a scratch folder per test, removed afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <thread>

class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::getenv("HV_TEST_TMP");
        std::filesystem::path root = base && *base ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
        path_ = root / ("hv-" + name + "-" + std::to_string(std::random_device{}()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Polls `done` every 200 microseconds for up to `ms` milliseconds: the engine tests wait on their threads so.
template <typename F>
bool WaitFor(F done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// A bound for a loop that waits on other threads. It is generous: it ends only a wait for something that
// never comes, so that the test fails saying what it missed instead of hanging the run.
class Deadline {
public:
    explicit Deadline(int ms = 60000) : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    bool Passed() const { return std::chrono::steady_clock::now() > end_; }

private:
    std::chrono::steady_clock::time_point end_;
};

// Pixels a sequence of MoveTo/LineTo covers, both ends of each segment included; a line to the point the
// pen stands on draws nothing, as in GDI.
inline std::set<std::pair<int, int>> Rasterise(const std::vector<std::pair<bool, std::pair<int, int>>>& ops) {
    std::set<std::pair<int, int>> px;
    int cx = 0, cy = 0;
    for (const auto& [move, p] : ops) {
        if (!move && !(p.first == cx && p.second == cy)) {
            int x0 = cx, y0 = cy;
            const int x1 = p.first, y1 = p.second;
            const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
            const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
            int err = dx + dy;
            for (;;) {
                px.insert({x0, y0});
                if (x0 == x1 && y0 == y1) break;
                const int e2 = 2 * err;
                if (e2 >= dy) {
                    err += dy;
                    x0 += sx;
                }
                if (e2 <= dx) {
                    err += dx;
                    y0 += sy;
                }
            }
        }
        cx = p.first;
        cy = p.second;
    }
    return px;
}

#ifndef _WIN32
// Makes a named pipe at `path` and runs `read` on it. True when `read` came back by itself; false when it
// opened the pipe and waited for a writer (a writer then opens and closes the pipe to let it go).
inline bool ReturnsOnANamedPipe(const std::string& path, const std::function<void()>& read) {
    if (mkfifo(path.c_str(), 0600) != 0) {
        ADD_FAILURE() << "no named pipe at " << path;
        return false;
    }
    std::atomic<bool> done{false};
    std::thread reader([&] {
        read();
        done = true;
    });
    for (int i = 0; i < 1000 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool returned = done;
    if (!returned) {
        const int w = open(path.c_str(), O_WRONLY);
        if (w >= 0) close(w);
    }
    reader.join();
    return returned;
}
#endif
