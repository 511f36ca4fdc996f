#include "FramePacer.h"

namespace {

// 64-bit FNV-1a: a picture differs from the last when its hash does; a collision costs one
// frame the page would not have seen change.
uint64_t Hash(const void* pixels, size_t bytes, int width, int height)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    auto mix = [&hash](unsigned char byte) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    };
    for (int i = 0; i < 4; ++i) mix(static_cast<unsigned char>(width >> (8 * i)));
    for (int i = 0; i < 4; ++i) mix(static_cast<unsigned char>(height >> (8 * i)));
    const auto* at = static_cast<const unsigned char*>(pixels);
    for (size_t i = 0; i < bytes; ++i) mix(at[i]);
    return hash;
}

}  // namespace

bool FramePacer::Due(uint32_t nowMs) const
{
    if (Unacknowledged() >= kMostUnacknowledged) return false;
    // 1000 / 60 rounded up: never more than 60 in any second.
    constexpr uint32_t kIntervalMs = (1000 + kPerSecond - 1) / kPerSecond;
    return !everSent_ || nowMs - lastMs_ >= kIntervalMs;
}

bool FramePacer::Changed(const void* pixels, size_t bytes, int width, int height)
{
    const uint64_t hash = Hash(pixels, bytes, width, height);
    if (known_ && hash == hash_) return false;
    hash_ = hash;
    known_ = true;
    return true;
}

void FramePacer::Sent(uint32_t nowMs)
{
    ++sent_;
    everSent_ = true;
    lastMs_ = nowMs;
}

bool FramePacer::Acknowledge(int64_t frame)
{
    if (frame > sent_) return false;
    if (frame > acknowledged_) acknowledged_ = frame;
    return true;
}
