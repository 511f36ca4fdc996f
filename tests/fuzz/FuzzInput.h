// Reads a fuzzer's bytes as a sequence of small decisions; past the end every read gives 0,
// so any input is a complete run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ >= size_; }

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

    uint16_t Short() { return static_cast<uint16_t>(Byte() | Byte() << 8); }

    uint32_t Word()
    {
        uint32_t low = Short();
        return low | static_cast<uint32_t>(Short()) << 16;
    }

    float Float()
    {
        uint32_t bits = Word();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Up to the next byte equal to end (dropped) or to the end of the input.
    std::string Until(char end)
    {
        std::string text;
        while (at_ < size_ && static_cast<char>(data_[at_]) != end) text += static_cast<char>(data_[at_++]);
        if (at_ < size_) ++at_;
        return text;
    }

    std::string Rest()
    {
        std::string text(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};
