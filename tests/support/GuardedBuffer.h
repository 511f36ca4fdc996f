// Bytes placed so that they end exactly where an inaccessible page begins: a reader that
// goes one byte past them faults at once instead of reading stray memory.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

class GuardedBuffer {
public:
    explicit GuardedBuffer(const std::string& bytes)
    {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        const size_t page = system.dwPageSize;
        size_t dataPages = (bytes.size() + page - 1) / page;
        if (dataPages == 0) dataPages = 1;
        size_ = (dataPages + 1) * page;
        base_ = static_cast<char*>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &old);
        data_ = base_ + dataPages * page - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
    }
    ~GuardedBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    const char* Data() const { return data_; }

private:
    char* base_ = nullptr;
    char* data_ = nullptr;
    size_t size_ = 0;
};
