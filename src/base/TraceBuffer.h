// The trace's lines between the threads that trace and the one that writes them. Adding
// never waits on the file: the lock is held only to append a line or to swap the whole
// buffer out, never across a write. Its size is bounded; a line that does not fit is
// counted and dropped, and the writer says how many went.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

// Text the buffer holds at most between two writes.
constexpr size_t kTraceBufferBytes = 256 * 1024;

class TraceBuffer {
public:
    explicit TraceBuffer(size_t capacityBytes = kTraceBufferBytes) : capacity_(capacityBytes) {}
    TraceBuffer(const TraceBuffer&) = delete;
    TraceBuffer& operator=(const TraceBuffer&) = delete;

    // False when the line does not fit: it is dropped and counted.
    bool Add(const std::string& line);
    // Moves out what was added since the last call, and how many lines were dropped meanwhile.
    void Take(std::string& text, size_t& dropped);
    void Clear();

private:
    std::mutex mutex_;
    std::string text_;
    size_t dropped_ = 0;
    const size_t capacity_;
};
