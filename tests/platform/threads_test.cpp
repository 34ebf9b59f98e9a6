// The portable thread platform with real threads: auto-reset semantics, honoured time-outs, joins that
// give up and joins that succeed, and no thread or event left behind after many cycles.
#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

ThreadPlatform& Platform() { return PortableThreadPlatform(); }

TEST(AutoResetEvent, StartsClearAndTimesOut) {
    auto event = Platform().MakeEvent();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->Wait(0), WaitResult::TimedOut);
    const auto start = Clock::now();
    EXPECT_EQ(event->Wait(60), WaitResult::TimedOut);
    EXPECT_GE(MillisecondsSince(start), 55);  // it waited (about) the time-out before giving up
}

TEST(AutoResetEvent, OneSetLetsExactlyOneWaitThrough) {
    auto event = Platform().MakeEvent();
    event->Set();
    event->Set();  // setting a set event changes nothing
    EXPECT_EQ(event->Wait(0), WaitResult::Signalled);
    EXPECT_EQ(event->Wait(0), WaitResult::TimedOut);
    event->Set();
    EXPECT_EQ(event->Wait(kWaitForever), WaitResult::Signalled);
}

TEST(AutoResetEvent, WakesAWaitingThread) {
    auto event = Platform().MakeEvent();
    std::atomic<int> result{-1};
    auto thread = Platform().StartThread([&] { result = static_cast<int>(event->Wait(kWaitForever)); },
                                         ThreadPriority::Normal);
    ASSERT_TRUE(thread);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(result.load(), -1);  // still waiting
    event->Set();
    EXPECT_TRUE(thread->Join(5000));
    EXPECT_EQ(result.load(), static_cast<int>(WaitResult::Signalled));
}

TEST(AutoResetEvent, OneSetReleasesOneOfTwoWaiters) {
    auto event = Platform().MakeEvent();
    std::atomic<int> signalled{0}, timed_out{0};
    auto waiter = [&] {
        if (event->Wait(300) == WaitResult::Signalled) {
            ++signalled;
        } else {
            ++timed_out;
        }
    };
    auto a = Platform().StartThread(waiter, ThreadPriority::Normal);
    auto b = Platform().StartThread(waiter, ThreadPriority::Normal);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    event->Set();
    EXPECT_TRUE(a->Join(5000));
    EXPECT_TRUE(b->Join(5000));
    EXPECT_EQ(signalled.load(), 1);
    EXPECT_EQ(timed_out.load(), 1);
}

TEST(AutoResetEvent, PingPongLosesNoSignal) {
    // Two threads hand a token back and forth through two events, as the producer and a worker do.
    auto ping = Platform().MakeEvent();
    auto pong = Platform().MakeEvent();
    constexpr int kRounds = 2000;
    std::atomic<int> worker_rounds{0};
    auto worker = Platform().StartThread(
        [&] {
            for (int i = 0; i < kRounds; ++i) {
                if (ping->Wait(5000) != WaitResult::Signalled) return;
                ++worker_rounds;
                pong->Set();
            }
        },
        ThreadPriority::TimeCritical);
    int producer_rounds = 0;
    for (int i = 0; i < kRounds; ++i) {
        ping->Set();
        if (pong->Wait(5000) != WaitResult::Signalled) break;
        ++producer_rounds;
    }
    EXPECT_TRUE(worker->Join(5000));
    EXPECT_EQ(producer_rounds, kRounds);
    EXPECT_EQ(worker_rounds.load(), kRounds);
}

TEST(PlatformThread, JoinGivesUpAfterItsTimeOutAndSucceedsLater) {
    auto release = Platform().MakeEvent();
    auto thread = Platform().StartThread([&] { release->Wait(kWaitForever); }, ThreadPriority::Normal);
    ASSERT_TRUE(thread);
    const auto start = Clock::now();
    EXPECT_FALSE(thread->Join(50));
    EXPECT_GE(MillisecondsSince(start), 45);
    EXPECT_FALSE(thread->Join(0));
    release->Set();
    EXPECT_TRUE(thread->Join(kWaitForever));
    EXPECT_TRUE(thread->Join(0));  // stays joined
}

TEST(PlatformThread, KeepsThePriorityAskedFor) {
    for (ThreadPriority p : {ThreadPriority::Normal, ThreadPriority::TimeCritical, ThreadPriority::Lowest}) {
        auto thread = Platform().StartThread([] {}, p);
        ASSERT_TRUE(thread);
        EXPECT_EQ(thread->Priority(), p);
        EXPECT_TRUE(thread->Join(5000));
    }
    EXPECT_STREQ(ThreadPriorityName(ThreadPriority::TimeCritical), "TimeCritical");
}

TEST(PlatformThread, DestroyingAnUnjoinedThreadWaitsForIt) {
    std::atomic<bool> finished{false};
    {
        auto thread = Platform().StartThread(
            [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                finished = true;
            },
            ThreadPriority::Normal);
        ASSERT_TRUE(thread);
    }
    EXPECT_TRUE(finished.load());
}

TEST(PlatformThread, TwoHundredCyclesLeaveNothingBehind) {
    const int threads_before = Platform().RunningThreads();
    const int events_before = Platform().LiveEvents();
    for (int cycle = 0; cycle < 200; ++cycle) {
        auto wake = Platform().MakeEvent();
        auto done = Platform().MakeEvent();
        std::atomic<int> seen{0};
        auto thread = Platform().StartThread(
            [&] {
                if (wake->Wait(5000) == WaitResult::Signalled) seen = cycle + 1;
                done->Set();
            },
            cycle % 2 ? ThreadPriority::TimeCritical : ThreadPriority::Normal);
        ASSERT_TRUE(thread);
        EXPECT_EQ(Platform().RunningThreads(), threads_before + 1);
        wake->Set();
        ASSERT_EQ(done->Wait(5000), WaitResult::Signalled);
        ASSERT_TRUE(thread->Join(5000));
        EXPECT_EQ(seen.load(), cycle + 1);
        EXPECT_EQ(Platform().RunningThreads(), threads_before);
    }
    EXPECT_EQ(Platform().LiveEvents(), events_before);
}

TEST(JoinWhilePumping, LetsAThreadBlockedOnTheJoinerFinish) {
    // The thread waits for an answer that only the joining thread's pump gives, as a cross-thread window
    // call waits for the user-interface thread: a plain join would run out.
    std::atomic<bool> asked{false}, answered{false};
    auto thread = Platform().StartThread(
        [&] {
            asked = true;
            while (!answered.load()) std::this_thread::yield();
        },
        ThreadPriority::Normal);
    EXPECT_FALSE(thread->Join(30));
    int pumps = 0;
    EXPECT_TRUE(JoinWhilePumping(*thread, 5000, [&] {
        ++pumps;
        if (asked.load()) answered = true;
    }));
    EXPECT_GE(pumps, 1);
    answered = true;  // a pump that never answered must not leave the thread spinning for its owner to wait on
}

TEST(JoinWhilePumping, GivesUpAtItsTimeOut) {
    auto release = Platform().MakeEvent();
    auto thread = Platform().StartThread([&] { release->Wait(kWaitForever); }, ThreadPriority::Normal);
    // The joins it makes, so that what is checked does not hang on how often a loaded machine lets it run.
    struct SeenJoins final : PlatformThread {
        PlatformThread& thread;
        std::vector<uint32_t> slices;
        explicit SeenJoins(PlatformThread& t) : thread(t) {}
        bool Join(uint32_t ms) override {
            slices.push_back(ms);
            return thread.Join(ms);
        }
        ThreadPriority Priority() const override { return thread.Priority(); }
    } seen(*thread);
    std::size_t pumps = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(JoinWhilePumping(seen, 60, [&] { ++pumps; }, 10));
    EXPECT_GE(MillisecondsSince(start), 55);
    ASSERT_GE(seen.slices.size(), 2u);
    EXPECT_EQ(pumps, seen.slices.size());  // pumped before every slice, not once at the start
    for (std::size_t i = 0; i + 1 < seen.slices.size(); ++i) EXPECT_LE(seen.slices[i], 10u) << i;
    EXPECT_EQ(seen.slices.back(), 0u);  // the last look, once the time is up
    release->Set();
    EXPECT_TRUE(JoinWhilePumping(*thread, kWaitForever, nullptr));
}

TEST(ThreadPlatform, ShorthandsGoThroughTheInstalledPlatform) {
    // A platform that counts what it was asked for and hands the work to the portable one.
    struct Counting final : ThreadPlatform {
        int threads = 0, events = 0, raises = 0;
        std::unique_ptr<PlatformThread> StartThread(std::function<void()> body, ThreadPriority p) override {
            ++threads;
            return PortableThreadPlatform().StartThread(std::move(body), p);
        }
        std::unique_ptr<AutoResetEvent> MakeEvent() override {
            ++events;
            return PortableThreadPlatform().MakeEvent();
        }
        void RaiseProcessPriority() override { ++raises; }
        int RunningThreads() const override { return 0; }
        int LiveEvents() const override { return 0; }
    } counting;
    SetThreadPlatform(&counting);
    auto event = MakeAutoResetEvent();
    auto thread = StartThread([&] { event->Set(); }, ThreadPriority::Highest);
    RaiseProcessPriority();
    EXPECT_EQ(event->Wait(5000), WaitResult::Signalled);
    EXPECT_TRUE(thread->Join(5000));
    SetThreadPlatform(nullptr);
    EXPECT_EQ(&CurrentThreadPlatform(), &PortableThreadPlatform());
    EXPECT_EQ(counting.threads, 1);
    EXPECT_EQ(counting.events, 1);
    EXPECT_EQ(counting.raises, 1);
}

TEST(PerformanceCounter, FakeStandsStillUntilMoved) {
    FakePerformanceCounter counter(3'579'545, 100);
    EXPECT_EQ(counter.Frequency(), 3'579'545);
    EXPECT_EQ(counter.Now(), 100);
    EXPECT_EQ(counter.Now(), 100);
    counter.Advance(25);
    EXPECT_EQ(counter.Now(), 125);
    counter.Set(7);
    EXPECT_EQ(counter.Now(), 7);
    counter.SetFrequency(1000);
    EXPECT_FLOAT_EQ(MillisecondsPerTick(counter), 1.0f);
}

TEST(PerformanceCounter, MillisecondsPerTickOfTenMegahertzIsOneTenThousandth) {
    FakePerformanceCounter counter(10'000'000);
    EXPECT_FLOAT_EQ(MillisecondsPerTick(counter), 1.0e-4f);
    counter.SetFrequency(0);
    EXPECT_EQ(MillisecondsPerTick(counter), 0.0f);
}

TEST(PerformanceCounter, InstalledCounterIsWhatCallersRead) {
    FakePerformanceCounter fake(1000, 42);
    SetPerformanceCounter(&fake);
    EXPECT_EQ(CurrentPerformanceCounter().Now(), 42);
    SetPerformanceCounter(nullptr);
    EXPECT_EQ(&CurrentPerformanceCounter(), &PortablePerformanceCounter());
}

TEST(PerformanceCounter, PortableCounterFollowsTheSteadyClock) {
    PerformanceCounter& counter = PortablePerformanceCounter();
    const int64_t before = counter.Now();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int64_t after = counter.Now();
    const long long elapsed_ms = MillisecondsSince(start);
    const double counted_ms = static_cast<double>(after - before) * 1000.0 / static_cast<double>(counter.Frequency());
    EXPECT_GE(counted_ms, 19.0);
    EXPECT_LE(counted_ms, static_cast<double>(elapsed_ms) + 1.0);
}

}  // namespace
