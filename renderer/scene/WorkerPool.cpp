#include "WorkerPool.h"

#include <algorithm>
#include <chrono>

namespace orb {

int WorkerPool::DefaultThreads()
{
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

WorkerPool::WorkerPool(int threads) : threads_(std::clamp(threads, 1, kMaxThreads)) {}

WorkerPool::~WorkerPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

template <typename Condition>
bool WorkerPool::SpinUntil(const Condition& condition)
{
    constexpr auto kSpin = std::chrono::microseconds(1000);
    const auto until = std::chrono::steady_clock::now() + kSpin;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::yield();
    }
    return true;
}

void WorkerPool::Run(int count, const std::function<void(int)>& job)
{
    if (threads_ == 1 || count <= 1) {
        for (int i = 0; i < count; ++i)
            job(i);
        return;
    }
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        while (static_cast<int>(workers_.size()) < threads_ - 1)
            workers_.emplace_back([this] { Serve(); });
        job_ = &job;
        count_ = count;
        next_ = 0;
        pending_ = count;
        ++run_;
        wake = sleeping_ > 0;
    }
    if (wake)
        wake_.notify_all();
    TakeJobs();
    auto done = [this] { return pending_ == 0 && busy_ == 0; };
    SpinUntil(done);
    std::unique_lock<std::mutex> lock(mutex_);
    callerWaiting_ = true;
    finished_.wait(lock, done);
    callerWaiting_ = false;
    job_ = nullptr;
}

void WorkerPool::TakeJobs()
{
    for (int index; (index = next_.fetch_add(1)) < count_;) {
        (*job_)(index);
        if (pending_.fetch_sub(1) == 1) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (callerWaiting_)
                finished_.notify_all();
        }
    }
}

void WorkerPool::Serve()
{
    unsigned served = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        lock.unlock();
        SpinUntil([&] { return run_ != served; });
        lock.lock();
        ++sleeping_;
        wake_.wait(lock, [&] { return stopping_ || (run_ != served && job_); });
        --sleeping_;
        if (stopping_)
            return;
        served = run_;
        ++busy_;
        lock.unlock();
        TakeJobs();
        lock.lock();
        if (--busy_ == 0 && callerWaiting_)
            finished_.notify_all();
    }
}

}  // namespace orb
