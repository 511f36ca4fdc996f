// Read-write pages followed by one page that faults on any access: the platform's part of
// GuardedBuffer. GuardedPagesWin32.cpp serves the Wine tests, GuardedPagesPosix.cpp the
// native ones.
#pragma once

#include <cstddef>

class GuardedPages {
public:
    // At least one page, enough for bytes.
    explicit GuardedPages(size_t bytes);
    ~GuardedPages();
    GuardedPages(const GuardedPages&) = delete;
    GuardedPages& operator=(const GuardedPages&) = delete;

    // The first byte of the inaccessible page.
    char* End() const { return end_; }

private:
    char* base_ = nullptr;
    size_t size_ = 0;
    char* end_ = nullptr;
};
