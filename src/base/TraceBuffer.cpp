#include "base/TraceBuffer.h"

bool TraceBuffer::Add(const std::string& line)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (text_.size() + line.size() > capacity_) {
        ++dropped_;
        return false;
    }
    text_.append(line);
    return true;
}

void TraceBuffer::Take(std::string& text, size_t& dropped)
{
    text.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    text.swap(text_);
    dropped = dropped_;
    dropped_ = 0;
}

void TraceBuffer::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    text_.clear();
    dropped_ = 0;
}
