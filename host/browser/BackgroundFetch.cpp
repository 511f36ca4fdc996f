#include "BackgroundFetch.h"

#include <windows.h>

#include <atomic>
#include <utility>

#include "base/UniqueHandle.h"

struct BackgroundFetch::Shared {
    Shared(const FetchSettings& settings, Request request, std::function<void()> wake)
        : fetcher(settings), request(std::move(request)), wake(std::move(wake)), start(GetTickCount())
    {
    }

    void Run()
    {
        result = fetcher.Fetch(request.url, request.file, request.limit, control);
        done.store(true, std::memory_order_release);
    }

    UrlFetcher fetcher;
    const Request request;
    const std::function<void()> wake;
    const DWORD start;
    FetchControl control;
    FetchResult result;  // written by the fetch's thread before `done`
    std::atomic<bool> done{false};
};

BackgroundFetch::BackgroundFetch(const FetchSettings& settings, Request request, std::function<void()> wake,
                                 bool inCall)
    : shared_(std::make_shared<Shared>(settings, std::move(request), std::move(wake)))
{
    if (inCall) {
        shared_->Run();
        return;
    }
    // A Win32 thread, not a detached std::thread: when many short detached threads come and
    // go, the thread library now and then starts one with a null argument and its start
    // routine faults (seen in a loaded end-to-end run; a loop of detached threads shows it).
    auto* owned = new std::shared_ptr<Shared>(shared_);
    const KernelHandle thread(CreateThread(nullptr, 0, &BackgroundFetch::ThreadMain, owned, 0, nullptr));
    if (!thread) {
        delete owned;
        shared_->result.error = "cannot start a thread for the fetch";
        shared_->done.store(true, std::memory_order_release);
        shared_->wake();
    }
}

DWORD WINAPI BackgroundFetch::ThreadMain(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(parameter));
    Shared& shared = **owned;
    shared.Run();
    if (!shared.control.Cancelled()) shared.wake();
    return 0;
}

BackgroundFetch::~BackgroundFetch()
{
    Cancel();
}

bool BackgroundFetch::Done() const
{
    return shared_->done.load(std::memory_order_acquire);
}

const FetchResult& BackgroundFetch::Result() const
{
    return shared_->result;
}

const std::string& BackgroundFetch::File() const
{
    return shared_->request.file;
}

FetchProgress BackgroundFetch::Progress() const
{
    FetchProgress progress;
    progress.url = shared_->request.url;
    progress.received = shared_->control.received;
    progress.total = shared_->control.total;
    progress.elapsedMs = GetTickCount() - shared_->start;
    return progress;
}

void BackgroundFetch::Cancel()
{
    if (!Done()) shared_->control.Cancel();
}
