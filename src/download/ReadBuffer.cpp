#include "download/ReadBuffer.h"

#include <algorithm>

char* ReadBuffer::Space()
{
    if (!bytes_) bytes_.reset(new char[kCapacity]);
    return bytes_.get() + size_;
}

size_t ReadBuffer::ReadSize(size_t available) const
{
    return std::min(std::max<size_t>(available, 1), SpaceLeft());
}
