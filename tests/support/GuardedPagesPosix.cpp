#include "GuardedPages.h"

#include <sys/mman.h>
#include <unistd.h>

GuardedPages::GuardedPages(size_t bytes)
{
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t dataPages = bytes == 0 ? 1 : (bytes + page - 1) / page;
    size_ = (dataPages + 1) * page;
    base_ = static_cast<char*>(mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    end_ = base_ + dataPages * page;
    mprotect(end_, page, PROT_NONE);
}

GuardedPages::~GuardedPages()
{
    munmap(base_, size_);
}
