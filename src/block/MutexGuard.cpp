#include "block/MutexGuard.h"

bool MutexGuard::Acquire()
{
    if (held_) return true;
    // With no mutex there is no block to guard; waiting on the -1 pseudo-handle would
    // only stall the thread for the whole timeout.
    if (mutex_ == INVALID_HANDLE_VALUE || !mutex_) return false;
    DWORD result = WaitForSingleObject(mutex_, timeout_);
    // An abandoned mutex is ours now; keeping it would lock the renderer out for good.
    if (result == WAIT_ABANDONED) ReleaseMutex(mutex_);
    held_ = result == WAIT_OBJECT_0;
    return held_;
}

void MutexGuard::Release()
{
    if (held_) ReleaseUnconditionally();
}

void MutexGuard::ReleaseUnconditionally()
{
    ReleaseMutex(mutex_);
    held_ = false;
}
