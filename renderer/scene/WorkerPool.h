#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orb {

// A few threads that share out numbered jobs, the calling thread among them. The threads start
// with the first run that needs them and stay until the pool goes, so a frame pays for none.
class WorkerPool {
public:
    static constexpr int kMaxThreads = 8;

    // As many threads as the machine has cores, at most kMaxThreads.
    static int DefaultThreads();

    // threads counts the caller; it is clamped to 1..kMaxThreads.
    explicit WorkerPool(int threads = DefaultThreads());
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Threads() const { return threads_; }

    // Calls job(i) once for every i in [0, count), spread over the threads; returns when every call
    // has returned. The job must not throw.
    void Run(int count, const std::function<void(int)>& job);

private:
    void Serve();
    // Spins a little while until the condition holds; false if it still does not. Waking a thread
    // that sleeps costs far more than a frame's short runs (a trip through the Windows emulation's
    // server, where there is one), and the runs of a frame follow each other closely.
    template <typename Condition>
    static bool SpinUntil(const Condition& condition);
    // Takes jobs of the current run until none is left.
    void TakeJobs();

    const int threads_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    // Jobs are handed out without the lock: a frame's bands are many and short.
    const std::function<void(int)>* job_ = nullptr;
    int count_ = 0;
    std::atomic<int> next_{0};     // the next job to hand out
    std::atomic<int> pending_{0};  // jobs not yet returned
    std::atomic<int> busy_{0};     // workers inside TakeJobs: a run ends only when none is
    std::atomic<unsigned> run_{0}; // moves on with every run, so that a worker joins each at most once
    int sleeping_ = 0;             // workers waiting on wake_: only they need waking
    bool callerWaiting_ = false;   // the caller of Run waits on finished_
    bool stopping_ = false;
};

}  // namespace orb
