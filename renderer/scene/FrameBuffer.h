#pragma once

#include "Math3.h"

#include <cstdint>
#include <vector>

namespace orb {

// What one frame leaves behind: colours as 0x00RRGGBB words (the layout of a 32-bit top-down DIB),
// inverse depth (larger is nearer, 0 is the far background) and, per pixel, the index of the
// scene object drawn there, or -1, for picking.
class FrameBuffer {
public:
    static constexpr int kMaxSide = 4096;

    // Sizes are clamped to 0..kMaxSide; contents are undefined until the background next goes in.
    void Resize(int width, int height);

    // The background goes back only where the last frame drew, in pieces of this many pixels.
    static constexpr int kPieceWidth = kMaxSide / 64;
    // Remembers the background about to go in; true when the frame holds it already everywhere
    // outside the pieces marked drawn, so that only those need it.
    bool KeepBackground(const Vec3& top, const Vec3& bottom);
    // The pieces that pixels left..right of a row lie in, one bit each, for MarkDrawn.
    static uint64_t PiecesOf(int left, int right)
    {
        return (~uint64_t(0) >> (63 - right / kPieceWidth)) & (~uint64_t(0) << (left / kPieceWidth));
    }
    void MarkDrawn(int y, uint64_t pieces) { drawn_[y] |= pieces; }
    // The pieces of row y marked drawn since the last call, one bit each; clears them.
    uint64_t TakeDrawn(int y) { uint64_t pieces = drawn_[y]; drawn_[y] = 0; return pieces; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    uint32_t* Pixels() { return colour_.data(); }
    const uint32_t* Pixels() const { return colour_.data(); }
    uint32_t PixelAt(int x, int y) const { return Contains(x, y) ? colour_[Index(x, y)] : 0; }
    int IdAt(int x, int y) const { return Contains(x, y) ? ids_[Index(x, y)] : -1; }
    float DepthAt(int x, int y) const { return Contains(x, y) ? depth_[Index(x, y)] : 0; }

    // Raw rows for the rasteriser.
    uint32_t* ColourRow(int y) { return colour_.data() + static_cast<size_t>(y) * width_; }
    float* DepthRow(int y) { return depth_.data() + static_cast<size_t>(y) * width_; }
    int* IdRow(int y) { return ids_.data() + static_cast<size_t>(y) * width_; }

private:
    size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }

    int width_ = 0, height_ = 0;
    std::vector<uint32_t> colour_;
    std::vector<float> depth_;
    std::vector<int> ids_;
    std::vector<uint64_t> drawn_;  // per row
    bool hasBackground_ = false;
    Vec3 top_, bottom_;
};

uint32_t PackColour(const Vec3& c);
Vec3 UnpackColour(uint32_t packed);

}  // namespace orb
