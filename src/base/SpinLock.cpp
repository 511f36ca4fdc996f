#include "base/SpinLock.h"

void SpinLock::Acquire(volatile LONG* word)
{
    while (InterlockedIncrement(word) > 0) {
        InterlockedDecrement(word);
        GiveWay();
    }
}

void SpinLock::Release(volatile LONG* word)
{
    InterlockedDecrement(word);
}

void SpinLock::GiveWay()
{
    HANDLE self = GetCurrentThread();
    int priority = GetThreadPriority(self);
    // A failed query gives no priority worth restoring.
    bool lower = priority != THREAD_PRIORITY_LOWEST && priority != THREAD_PRIORITY_ERROR_RETURN;
    if (lower) SetThreadPriority(self, THREAD_PRIORITY_LOWEST);
    Sleep(0);
    if (lower) SetThreadPriority(self, priority);
}
