#include "GuardedPages.h"

#include <windows.h>

GuardedPages::GuardedPages(size_t bytes)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    size_t dataPages = bytes == 0 ? 1 : (bytes + page - 1) / page;
    size_ = (dataPages + 1) * page;
    base_ = static_cast<char*>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    end_ = base_ + dataPages * page;
    DWORD old;
    VirtualProtect(end_, page, PAGE_NOACCESS, &old);
}

GuardedPages::~GuardedPages()
{
    VirtualFree(base_, 0, MEM_RELEASE);
}
