// The yielding spin lock and its scoped holder, with real threads contending.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <vector>

#include "TestThread.h"
#include "base/SpinLock.h"

namespace {

TEST(SpinLock, WordIsMinusOneWhenFreeAndZeroWhenHeld)
{
    SpinLock lock;
    EXPECT_EQ(lock.Value(), -1);
    lock.Acquire();
    EXPECT_EQ(lock.Value(), 0);
    lock.Release();
    EXPECT_EQ(lock.Value(), -1);
}

TEST(SpinLock, GuardHoldsOnceAndReleasesOnceOnEveryExit)
{
    SpinLock lock;
    {
        SpinGuard guard(lock);
        EXPECT_EQ(lock.Value(), 0);
        guard.Acquire();  // already held: must not spin on its own lock
        EXPECT_EQ(lock.Value(), 0);
        guard.Release();
        EXPECT_EQ(lock.Value(), -1);
        guard.Release();  // not held: must not free it a second time
        EXPECT_EQ(lock.Value(), -1);
        guard.Acquire();
        EXPECT_EQ(lock.Value(), 0);
    }
    EXPECT_EQ(lock.Value(), -1);

    try {
        SpinGuard guard(lock.Word());
        throw std::runtime_error("leaving the scope");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(lock.Value(), -1);
}

TEST(SpinLock, FourThreadsCountingUnderTheLockLoseNoIncrement)
{
    constexpr int kThreads = 4;
    constexpr int kIncrements = 20000;
    SpinLock lock;
    volatile long counter = 0;
    volatile long inside = 0;
    volatile long overlaps = 0;
    auto work = [&] {
        for (int i = 0; i < kIncrements; ++i) {
            SpinGuard guard(lock);
            if (inside++ != 0) ++overlaps;
            long value = counter;  // a plain read-modify-write that only the lock keeps whole
            counter = value + 1;
            --inside;
        }
    };
    std::vector<std::unique_ptr<TestThread>> threads;
    for (int t = 0; t < kThreads; ++t) threads.push_back(std::make_unique<TestThread>(work));
    for (auto& thread : threads) {
        ASSERT_TRUE(thread->Started());
        thread->Join();
    }
    EXPECT_EQ(counter, kThreads * kIncrements);
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(lock.Value(), -1);
}

// A thread meets a lock that the test holds. While it waits, its priority is read from
// outside; once the lock is given back it takes it and reads its own priority inside.
class ContendedPriority : public ::testing::TestWithParam<int> {};

TEST_P(ContendedPriority, WaiterYieldsAtLowestAndComesBackToItsOwnPriority)
{
    const int priority = GetParam();
    SpinLock lock;
    lock.Acquire();

    volatile LONG acquired = 0;
    int priorityInside = 99;
    TestThread waiter([&] {
        SpinGuard guard(lock);
        priorityInside = GetThreadPriority(GetCurrentThread());
        InterlockedExchange(&acquired, 1);
    }, priority);
    ASSERT_TRUE(waiter.Started());

    std::set<int> prioritiesSeen;
    std::set<LONG> wordsSeen;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 250) {
        prioritiesSeen.insert(GetThreadPriority(waiter.Handle()));
        wordsSeen.insert(lock.Value());
    }
    EXPECT_EQ(acquired, 0);
    lock.Release();
    waiter.Join();

    EXPECT_EQ(acquired, 1);
    EXPECT_EQ(priorityInside, priority);
    EXPECT_EQ(GetThreadPriority(waiter.Handle()), priority);
    EXPECT_EQ(lock.Value(), -1);
    // Held means 0; a waiter's undone attempt shows as 1 for a moment, never more.
    EXPECT_TRUE(wordsSeen.count(0));
    for (LONG word : wordsSeen) EXPECT_TRUE(word == 0 || word == 1) << word;

    std::set<int> expected = {priority, THREAD_PRIORITY_LOWEST};
    EXPECT_EQ(prioritiesSeen, expected);
}

INSTANTIATE_TEST_SUITE_P(Priorities, ContendedPriority,
                         ::testing::Values(THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL,
                                           THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_ABOVE_NORMAL,
                                           THREAD_PRIORITY_HIGHEST));

}  // namespace
