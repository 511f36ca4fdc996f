// A test's own reference to a reference-counted object, given back when the test ends,
// however it ends: an assertion that returns early must not leak the object.
#pragma once

template <typename T>
class HeldRef {
public:
    HeldRef() = default;
    explicit HeldRef(T* object) : object_(object) {}
    ~HeldRef() { Reset(); }
    HeldRef(const HeldRef&) = delete;
    HeldRef& operator=(const HeldRef&) = delete;

    T* Get() const { return object_; }
    T* operator->() const { return object_; }

    // Gives back the reference held and takes over `object`'s.
    void Reset(T* object = nullptr)
    {
        if (object_) object_->Release();
        object_ = object;
    }

private:
    T* object_ = nullptr;
};
