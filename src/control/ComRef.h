// One reference to a COM object, given back with the owner.
#pragma once

#include <unknwn.h>

#include <utility>

template <typename T>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* adopted) : object_(adopted) {}
    ~ComRef() { Reset(); }
    ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept
    {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    // A reference of our own to an object someone else holds.
    static ComRef Share(T* object)
    {
        if (object) object->AddRef();
        return ComRef(object);
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void Reset()
    {
        if (object_) std::exchange(object_, nullptr)->Release();
    }
    // For calls that hand out a reference through a pointer.
    T** Receive()
    {
        Reset();
        return &object_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

private:
    T* object_ = nullptr;
};

// The interface of `from`, if it has one.
template <typename T>
ComRef<T> QueryAs(IUnknown* from, REFIID iid)
{
    ComRef<T> found;
    if (from) from->QueryInterface(iid, found.ReceiveVoid());
    return found;
}
