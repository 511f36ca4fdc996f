// Holds one reference to a reference-counted object for a scope: whatever a call made in
// that scope lets go of (a browser may run a message loop inside it, and timers fire in
// there), the object stays until the scope ends.
#pragma once

template <typename T>
class Held {
public:
    explicit Held(T* object) : object_(object)
    {
        if (object_) object_->AddRef();
    }
    ~Held()
    {
        if (object_) object_->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

    T* operator->() const { return object_; }
    T* Get() const { return object_; }

private:
    T* object_;
};
