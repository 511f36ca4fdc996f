#pragma once

#include "FrameBuffer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orb {

// A projected vertex: pixel coordinates (pixel centres at +0.5), w = 1 / distance along the view
// axis (larger is nearer), and the colour lit at that vertex.
struct ScreenVertex {
    float x = 0, y = 0;
    float w = 0;
    Vec3 colour;
};

// A triangle made ready for drawing rows of it. Its edges are exact integer functions of the
// pixel, on vertices snapped to 1/256 of a pixel, so a pixel's coverage never depends on where
// drawing started, and two triangles sharing an edge never both draw a pixel on it (nor leave
// it out). Depth and colour are planes over the whole screen, for the same reason.
struct RasterTriangle {
    // Edge k covers pixel (x, y) when edge[k].x * x + edge[k].y * y + edge[k].c >= 0; along row y
    // it changes sign near x = crossingY * y + crossingAt (unused when x is 0).
    struct Edge {
        int64_t x = 0, y = 0, c = 0;
        double crossingY = 0, crossingAt = 0;
    };
    Edge edges[3];
    int left = 0, top = 0, right = 0, bottom = 0;  // the pixels it may touch, inside the frame
    // The planes of w and of red, green and blue in bytes, plus a half for rounding (0.5 for 0,
    // 255.5 for 1), side by side so that a row's starts are worked out two at a time: the value
    // of plane k at pixel (x, y) is at[k] + dx[k] * x + dy[k] * y, and steps along a row by
    // step[k] (dx[k] as a float).
    enum Plane { kW, kRed, kGreen, kBlue, kPlanes };
    double at[kPlanes] = {}, dx[kPlanes] = {}, dy[kPlanes] = {};
    float step[kPlanes] = {};
    bool flat = false;        // one colour: packed below, the colour planes unused
    uint32_t flatColour = 0;
    int id = 0;
    size_t work = 0;  // what SetUpTriangle returned, on the first of the triangles it appended
};

// Puts a vertical gradient across the whole frame behind rows [firstRow, endRow) and clears their
// depth and ids; only where they were drawn over when `kept` (FrameBuffer::KeepBackground).
void FillBackgroundRows(FrameBuffer& frame, const Vec3& top, const Vec3& bottom, bool kept, int firstRow,
                        int endRow);
void FillBackground(FrameBuffer& frame, const Vec3& top, const Vec3& bottom);

// Makes a triangle of either winding ready for drawing into frames of this size, appending what
// it takes (none when nothing of it shows; more than one when it reaches far beyond the frame and
// is cut down first). Returns the number of pixels of its box inside the frame: the measure of
// the work it can cost.
size_t SetUpTriangle(int width, int height, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                     int id, std::vector<RasterTriangle>& out);

// Draws the triangle's pixels in rows [firstRow, endRow) with a depth test, interpolating colour
// across it (equal vertex colours give flat shading); id goes to the pick buffer wherever the
// triangle wins.
void DrawTriangleRows(FrameBuffer& frame, const RasterTriangle& triangle, int firstRow, int endRow);

// Sets up and draws a whole triangle; returns what SetUpTriangle does.
size_t FillTriangle(FrameBuffer& frame, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                    int id);

}  // namespace orb
