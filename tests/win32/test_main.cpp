// The Windows-side test programs' main, with a watchdog. Under Wine a test that hangs (a thread that never
// comes back, a process that does not end after its last test) would otherwise run into the harness's
// time-out with nothing said of where it stopped: the watchdog names the test and ends the process, failed.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTestLimitSeconds = 180;  // the longest test takes about ten seconds; HV_TEST_LIMIT_SECONDS sets it
constexpr int kExitLimitSeconds = 60;   // from the last test to the end of the process

struct Watch {
    std::mutex lock;
    std::string what;  // the running test, or what the program is doing after its tests
    Clock::time_point deadline = Clock::time_point::max();
    std::atomic<int> result{1};

    void Arm(std::string name, int seconds) {
        std::lock_guard<std::mutex> hold(lock);
        what = std::move(name);
        deadline = Clock::now() + std::chrono::seconds(seconds);
    }
    void Disarm() {
        std::lock_guard<std::mutex> hold(lock);
        deadline = Clock::time_point::max();
    }
};

Watch& TheWatch() {
    static Watch* watch = new Watch;  // never destroyed: the watchdog reads it during the process's end
    return *watch;
}

int TestLimitSeconds() {
    const char* text = std::getenv("HV_TEST_LIMIT_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : kTestLimitSeconds;
}

class WatchListener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo& info) override {
        TheWatch().Arm(std::string(info.test_suite_name()) + "." + info.name(), TestLimitSeconds());
    }
    void OnTestEnd(const testing::TestInfo&) override { TheWatch().Disarm(); }
};

void WatchForever() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Watch& w = TheWatch();
        std::lock_guard<std::mutex> hold(w.lock);
        if (Clock::now() < w.deadline) continue;
        std::fprintf(stderr, "\n[  HUNG    ] %s: no end after its time limit; the process is ended\n", w.what.c_str());
        std::fflush(stderr);
        std::fflush(stdout);
        // Not ExitProcess: what hangs may be the process's own ending. A hung test fails the run; an ending
        // that hangs after the tests ran keeps their result, and the line above says what happened.
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(w.result.load()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new WatchListener);
    std::thread(WatchForever).detach();
    const int result = RUN_ALL_TESTS();
    TheWatch().result = result;
    TheWatch().Arm("the end of the process after every test ran", kExitLimitSeconds);
    std::fflush(stdout);
    return result;
}
