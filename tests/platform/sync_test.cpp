// Events, wait-any priority, the recursive critical section, bounded joins
// and the scaled clock.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using plat::Event;

TEST(Events, WaitAnyReturnsLowestSignalledAndConsumesOnlyIt) {
    testsupport::Sandbox box;
    Event first(false), second(false), manual(true, true);
    Event* events[] = {&first, &second, &manual};
    second.Set();
    first.Set();
    EXPECT_EQ(plat::WaitAny(events, 3, 0), 0);  // all three set: the lowest wins
    EXPECT_EQ(plat::WaitAny(events, 3, 0), 1);  // first was consumed, second was not
    EXPECT_EQ(plat::WaitAny(events, 3, 0), 2);  // manual reset stays set...
    EXPECT_EQ(plat::WaitAny(events, 3, 0), 2);
    manual.Reset();
    EXPECT_EQ(plat::WaitAny(events, 3, 10), plat::kWaitTimeout);
    // Bad arguments fail without consuming a signal.
    Event* withNull[] = {&first, nullptr};
    first.Set();
    EXPECT_EQ(plat::WaitAny(nullptr, 1, 0), plat::kWaitFailed);
    EXPECT_EQ(plat::WaitAny(withNull, 0, 0), plat::kWaitFailed);
    EXPECT_EQ(plat::WaitAny(withNull, 2, 0), plat::kWaitFailed);
    EXPECT_TRUE(first.Wait(0));
    EXPECT_FALSE(first.Wait(0));
}

// Two threads hand a token back and forth, one waiting on a single event,
// the other on any of two; a lost wake-up hangs the test (its time limit and
// the bounded waits catch it).
TEST(Events, PingPongLosesNoWakeUp) {
    testsupport::Sandbox box;
    Event idle(false), ping(false), pong(false);
    Event* events[] = {&idle, &ping};
    constexpr int kRounds = 2000;
    std::atomic<int> answered{0};
    plat::Thread partner;
    ASSERT_TRUE(partner.Start([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (plat::WaitAny(events, 2, 250000) != 1) return;
            ++answered;
            pong.Set();
        }
    }));
    for (int i = 0; i < kRounds; ++i) {
        ping.Set();
        ASSERT_TRUE(pong.Wait(250000)) << "round " << i;
    }
    EXPECT_TRUE(partner.Join(250000));
    EXPECT_EQ(answered.load(), kRounds);
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
    plat::CriticalSection lock;
    lock.Enter();
    lock.Enter();
    std::atomic<int> otherGot{-1};
    auto tryFromOtherThread = [&] {
        plat::Thread other;
        other.Start([&] { otherGot = lock.TryEnter() ? (lock.Leave(), 1) : 0; });
        other.Join(plat::kInfinite);
        return otherGot.load();
    };
    EXPECT_EQ(tryFromOtherThread(), 0);
    lock.Leave();
    EXPECT_EQ(tryFromOtherThread(), 0) << "still held once";
    lock.Leave();
    EXPECT_EQ(tryFromOtherThread(), 1);
}

TEST(Thread, JoinIsBoundedStartRefusedWhileRunningAndDestroyingDetaches) {
    testsupport::Sandbox box;
    auto release = std::make_shared<Event>(true);
    std::atomic<int> finished{0};
    {
        plat::Thread worker;
        ASSERT_TRUE(worker.Start([release, &finished] {
            release->Wait(plat::kInfinite);
            ++finished;
        }));
        EXPECT_TRUE(worker.Running());
        EXPECT_FALSE(worker.Start([] {}));
        EXPECT_FALSE(worker.Join(100));
    }  // still running: detached
    release->Set();
    EXPECT_TRUE(testsupport::Eventually([&] { return finished == 1; }));
    plat::Thread again;
    ASSERT_TRUE(again.Start([] {}));
    EXPECT_TRUE(again.Join(250000));
    EXPECT_FALSE(again.Running());
    EXPECT_TRUE(again.Start([] {})) << "a finished thread object starts again";
    EXPECT_TRUE(again.Join(250000));
}

TEST(Clock, SleepAndTickCountFollowTheScale) {
    testsupport::Sandbox box(100.0);
    uint32_t before = plat::TickCount();
    plat::Sleep(3000);  // 30 ms of real time
    uint32_t elapsed = plat::TickCount() - before;
    EXPECT_GE(elapsed, 3000u);
    plat::SetTimeScale(1.0);
    uint32_t rebased = plat::TickCount();
    EXPECT_GE(rebased, before + 3000u) << "changing the scale must not move the clock back";
}

}  // namespace
