#include "TestListener.h"

volatile LONG TestListener::live_ = 0;

TestListener::TestListener(const std::string& url) : url_(url)
{
    InitializeCriticalSection(&lock_);
    InterlockedIncrement(&live_);
}

TestListener::~TestListener()
{
    DeleteCriticalSection(&lock_);
    InterlockedDecrement(&live_);
}

LONG TestListener::Live() { return live_; }

int TestListener::GetState()
{
    EnterCriticalSection(&lock_);
    int state = state_;
    LeaveCriticalSection(&lock_);
    return state;
}

void TestListener::SetState(int state)
{
    EnterCriticalSection(&lock_);
    state_ = state;
    states_.push_back(state);
    LeaveCriticalSection(&lock_);
}

void TestListener::SetLocalFile(const char* path)
{
    EnterCriticalSection(&lock_);
    localFile_ = path ? path : "";
    LeaveCriticalSection(&lock_);
}

std::string TestListener::LocalFile()
{
    EnterCriticalSection(&lock_);
    std::string file = localFile_;
    LeaveCriticalSection(&lock_);
    return file;
}

std::vector<int> TestListener::States()
{
    EnterCriticalSection(&lock_);
    std::vector<int> states = states_;
    LeaveCriticalSection(&lock_);
    return states;
}

int TestListener::WaitForFinal(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        int state = GetState();
        if (state == StateFailed || state == StateReady) return state;
        if (GetTickCount() - start >= timeoutMs) return 0;
        Sleep(5);
    }
}
