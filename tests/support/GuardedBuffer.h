// Bytes placed so that they end exactly where an inaccessible page begins: a reader that
// goes one byte past them faults at once instead of reading stray memory.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "base/UniqueHandle.h"

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
        pages_.Reset(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        char* base = static_cast<char*>(pages_.Get());
        DWORD old;
        VirtualProtect(base + dataPages * page, page, PAGE_NOACCESS, &old);
        data_ = base + dataPages * page - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
    }
    const char* Data() const { return data_; }

private:
    VirtualMemory pages_;
    char* data_ = nullptr;
    size_t size_ = 0;
};
