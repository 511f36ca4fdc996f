// Holds a channel block's mutex for a scope. Only a wait that ends with the mutex handed
// over in good order counts; anything else skips the caller's work until the next tick.
#pragma once

#include <windows.h>

constexpr DWORD kMutexWait = 1000;

class MutexGuard {
public:
    explicit MutexGuard(HANDLE mutex, DWORD timeout = kMutexWait) : mutex_(mutex), timeout_(timeout) {}
    ~MutexGuard() { Release(); }
    MutexGuard(const MutexGuard&) = delete;
    MutexGuard& operator=(const MutexGuard&) = delete;

    bool Acquire();
    void Release();
    // For a caller that must let the other side in while its own scope goes on.
    void ReleaseUnconditionally();
    bool Held() const { return held_; }

private:
    HANDLE mutex_;
    DWORD timeout_;
    bool held_ = false;
};
