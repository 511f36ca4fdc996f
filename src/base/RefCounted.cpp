#include "base/RefCounted.h"

RefCounted::RefCounted()
{
    Increment();
}

LONG RefCounted::Increment()
{
    SpinGuard guard(countLock_);
    return ++count_;
}

LONG RefCounted::Decrement()
{
    SpinGuard guard(countLock_);
    return --count_;
}

void RefCounted::AddRef()
{
    Increment();
}

void RefCounted::Release()
{
    // The guard inside Decrement is let go before the object goes away.
    if (Decrement() <= 0) delete this;
}
