#include "RecordingListener.h"

volatile LONG RecordingListener::live_ = 0;

RecordingListener::RecordingListener(std::string url)
    : url_(std::move(url)), released_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    InterlockedIncrement(&live_);
}

RecordingListener::~RecordingListener()
{
    InterlockedDecrement(&live_);
}

LONG RecordingListener::Live()
{
    return live_;
}

int RecordingListener::GetState()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return state_;
}

void RecordingListener::SetState(int state)
{
    std::lock_guard<std::mutex> guard(mutex_);
    state_ = state;
    calls_.push_back(StateCall(state));
}

void RecordingListener::SetLocalFile(const char* path)
{
    std::lock_guard<std::mutex> guard(mutex_);
    localFile_ = path;
    calls_.push_back(std::string("file:") + path);
}

void RecordingListener::Release()
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (releases_++ == 0) releasingThread_ = GetCurrentThreadId();
        calls_.push_back("release");
    }
    SetEvent(released_.Get());
    RefCounted::Release();
}

std::vector<std::string> RecordingListener::Calls()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return calls_;
}

std::string RecordingListener::LocalFile()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return localFile_;
}

int RecordingListener::Releases()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return releases_;
}

DWORD RecordingListener::ReleasingThread()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return releasingThread_;
}

bool RecordingListener::WaitForRelease(DWORD timeoutMs)
{
    return WaitForSingleObject(released_.Get(), timeoutMs) == WAIT_OBJECT_0;
}
