#include "FrameBuffer.h"

#include <algorithm>

namespace orb {

void FrameBuffer::Resize(int width, int height)
{
    width_ = std::clamp(width, 0, kMaxSide);
    height_ = std::clamp(height, 0, kMaxSide);
    size_t n = static_cast<size_t>(width_) * height_;
    colour_.resize(n);
    depth_.resize(n);
    ids_.resize(n);
}

void FrameBuffer::ClearDepthAndIds()
{
    std::fill(depth_.begin(), depth_.end(), 0.0f);
    std::fill(ids_.begin(), ids_.end(), -1);
}

uint32_t PackColour(const Vec3& c)
{
    // Not a number reads as dark: the weights of a sliver with huge coordinates can overflow.
    auto channel = [](float v) { return static_cast<uint32_t>((v > 0 ? std::min(v, 1.0f) : 0.0f) * 255.0f + 0.5f); };
    return (channel(c.x) << 16) | (channel(c.y) << 8) | channel(c.z);
}

Vec3 UnpackColour(uint32_t packed)
{
    return {((packed >> 16) & 255) / 255.0f, ((packed >> 8) & 255) / 255.0f, (packed & 255) / 255.0f};
}

}  // namespace orb
