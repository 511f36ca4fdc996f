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
    drawn_.assign(height_, 0);
    hasBackground_ = false;
}

bool FrameBuffer::KeepBackground(const Vec3& top, const Vec3& bottom)
{
    auto same = [](const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
    bool kept = hasBackground_ && same(top, top_) && same(bottom, bottom_);
    hasBackground_ = true;
    top_ = top;
    bottom_ = bottom;
    return kept;
}

uint32_t PackColour(const Vec3& c)
{
    // Not a number reads as dark: the weights of a sliver with huge coordinates can overflow.
    // Through int: 0.5..255.5 fits, and a float converts to int in one instruction.
    auto channel = [](float v) {
        return static_cast<uint32_t>(static_cast<int>((v > 0 ? std::min(v, 1.0f) : 0.0f) * 255.0f + 0.5f));
    };
    return (channel(c.x) << 16) | (channel(c.y) << 8) | channel(c.z);
}

Vec3 UnpackColour(uint32_t packed)
{
    return {((packed >> 16) & 255) / 255.0f, ((packed >> 8) & 255) / 255.0f, (packed & 255) / 255.0f};
}

}  // namespace orb
