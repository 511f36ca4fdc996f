// What a download thread has read from the network and not yet written to its file. It is
// bounded, so a resource of any size passes through it, and made once per thread, so the
// fetches do not churn the heap. The file is opened only to take a full buffer (or the
// last part of one): never while the thread waits for the network.
#pragma once

#include <cstddef>
#include <memory>

class ReadBuffer {
public:
    static constexpr size_t kCapacity = 1024 * 1024;

    ReadBuffer() = default;
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;

    // Where the next read goes; the memory is made on first use.
    char* Space();
    size_t SpaceLeft() const { return kCapacity - size_; }
    // How much to ask for when `available` bytes have arrived: never more than that, so the
    // read returns at once; at least one byte, so the end of the body shows as an empty
    // read; never more than fits.
    size_t ReadSize(size_t available) const;
    void Filled(size_t count) { size_ += count; }

    const char* Data() const { return bytes_.get(); }
    size_t Size() const { return size_; }
    bool Full() const { return size_ == kCapacity; }
    void Clear() { size_ = 0; }

private:
    std::unique_ptr<char[]> bytes_;
    size_t size_ = 0;
};
