// Bytes placed so that they end exactly where an inaccessible page begins: a reader that
// goes one byte past them faults at once instead of reading stray memory.
#pragma once

#include <cstring>
#include <string>

#include "GuardedPages.h"

class GuardedBuffer {
public:
    explicit GuardedBuffer(const std::string& bytes) : pages_(bytes.size()), data_(pages_.End() - bytes.size())
    {
        std::memcpy(data_, bytes.data(), bytes.size());
    }

    const char* Data() const { return data_; }

private:
    GuardedPages pages_;
    char* data_;
};
