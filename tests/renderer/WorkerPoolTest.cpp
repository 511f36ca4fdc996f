#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <chrono>
#include <mutex>
#include <thread>

using namespace orb;

TEST(WorkerPool, RunsEveryJobOnceAndReturnsWhenAllAreDone)
{
    for (int threads : {1, 2, 3, 8}) {
        WorkerPool pool(threads);
        EXPECT_EQ(pool.Threads(), threads);
        // Runs back to back, so that a worker late for one run cannot take jobs of the next.
        for (int run = 0; run < 300; ++run) {
            const int count = run % 41;
            std::unique_ptr<std::atomic<int>[]> calls(new std::atomic<int>[count + 1]());
            pool.Run(count, [&](int i) { calls[i].fetch_add(1); });
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(calls[i].load(), 1) << threads << " threads, run " << run << ", job " << i;
        }
    }
    EXPECT_EQ(WorkerPool(0).Threads(), 1);
    EXPECT_EQ(WorkerPool(99).Threads(), WorkerPool::kMaxThreads);
    EXPECT_GE(WorkerPool::DefaultThreads(), 1);
    EXPECT_LE(WorkerPool::DefaultThreads(), WorkerPool::kMaxThreads);
}

TEST(WorkerPool, SharesJobsAmongItsThreads)
{
    // Each job waits until a second thread has joined, so one thread alone could never finish.
    WorkerPool pool(2);
    std::atomic<int> started{0};
    std::set<std::thread::id> seen;
    std::mutex mutex;
    pool.Run(2, [&](int) {
        started.fetch_add(1);
        for (int spin = 0; started.load() < 2 && spin < 5000; ++spin)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::lock_guard<std::mutex> lock(mutex);
        seen.insert(std::this_thread::get_id());
    });
    EXPECT_EQ(started.load(), 2);
    EXPECT_EQ(seen.size(), 2u);
}
