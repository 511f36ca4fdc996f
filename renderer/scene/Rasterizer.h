#pragma once

#include "FrameBuffer.h"

#include <cstddef>

namespace orb {

// A projected vertex: pixel coordinates (pixel centres at +0.5), w = 1 / distance along the view
// axis (larger is nearer), and the colour lit at that vertex.
struct ScreenVertex {
    float x = 0, y = 0;
    float w = 0;
    Vec3 colour;
};

// Fills the frame with a vertical gradient and clears depth and ids.
void FillBackground(FrameBuffer& frame, const Vec3& top, const Vec3& bottom);

// Draws a triangle of either winding with a depth test, interpolating colour across it (equal
// vertex colours give flat shading); id goes to the pick buffer wherever the triangle wins.
// Returns the number of pixels it examined, the measure of its work.
size_t FillTriangle(FrameBuffer& frame, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                  int id);

}  // namespace orb
