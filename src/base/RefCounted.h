// Base of every object that a download thread can reach: a reference count guarded by
// its own spin lock. Made with one reference; the last Release destroys the object.
#pragma once

#include "base/SpinLock.h"

class RefCounted {
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;
    virtual ~RefCounted() = default;

    virtual void AddRef();
    virtual void Release();

    LONG RefCount() const { return count_; }

protected:
    RefCounted();

    // The count changes under the count's own lock; callers that guard the object with a
    // lock of their own take that one first. Returns the new count.
    LONG Increment();
    LONG Decrement();

private:
    SpinLock countLock_;
    LONG count_ = 0;
};
