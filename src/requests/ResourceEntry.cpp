#include "requests/ResourceEntry.h"

int ResourceEntry::GetState()
{
    SpinGuard guard(lock);
    return state;
}

void ResourceEntry::SetState(int newState)
{
    SpinGuard guard(lock);
    state = newState;
}

void ResourceEntry::SetLocalFile(const char* path)
{
    SpinGuard guard(lock);
    localFile = path ? path : "";
}

std::string ResourceEntry::GetLocalFile()
{
    SpinGuard guard(lock);
    return localFile;
}

void ResourceEntry::AddRef()
{
    SpinGuard guard(lock);
    Increment();
}

void ResourceEntry::Release()
{
    LONG left;
    {
        SpinGuard guard(lock);
        left = Decrement();
    }
    // Both locks are let go before the entry goes away.
    if (left <= 0) delete this;
}
