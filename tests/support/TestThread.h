// A Win32 thread running a callable, joined when the object goes away; its real handle
// lets a test read and set the thread's priority from outside.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

#include "base/UniqueHandle.h"

class TestThread {
public:
    explicit TestThread(std::function<void()> body, int priority = THREAD_PRIORITY_NORMAL)
        : body_(std::move(body))
    {
        handle_.Reset(CreateThread(nullptr, 0, &Run, this, CREATE_SUSPENDED, nullptr));
        if (!handle_) return;
        SetThreadPriority(handle_.Get(), priority);
        ResumeThread(handle_.Get());
    }
    ~TestThread() { Join(); }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    bool Started() const { return handle_.Valid(); }
    HANDLE Handle() const { return handle_.Get(); }
    void Join()
    {
        if (handle_) WaitForSingleObject(handle_.Get(), INFINITE);
    }
    bool Finished() const { return handle_ && WaitForSingleObject(handle_.Get(), 0) == WAIT_OBJECT_0; }

private:
    static DWORD WINAPI Run(void* self)
    {
        static_cast<TestThread*>(self)->body_();
        return 0;
    }

    std::function<void()> body_;
    KernelHandle handle_;
};
