#include "Rasterizer.h"

#include <algorithm>
#include <cmath>

namespace orb {

namespace {

// Twice the signed area of (a, b, p); positive when p lies to the right of a->b with y growing down.
double Edge(const ScreenVertex& a, const ScreenVertex& b, double px, double py)
{
    return (double(b.x) - a.x) * (py - a.y) - (double(b.y) - a.y) * (px - a.x);
}

// Pixels exactly on an edge belong to the triangle only on its top and left edges, so that two
// triangles sharing an edge never both draw it.
bool IsTopLeft(const ScreenVertex& a, const ScreenVertex& b)
{
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    return dy < 0 || (dy == 0 && dx > 0);
}

bool Finite(const ScreenVertex& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.w);
}

}  // namespace

void FillBackground(FrameBuffer& frame, const Vec3& top, const Vec3& bottom)
{
    int h = frame.Height();
    for (int y = 0; y < h; ++y) {
        uint32_t c = PackColour(Lerp(top, bottom, h > 1 ? float(y) / (h - 1) : 0.0f));
        std::fill(frame.ColourRow(y), frame.ColourRow(y) + frame.Width(), c);
    }
    frame.ClearDepthAndIds();
}

size_t FillTriangle(FrameBuffer& frame, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                  int id)
{
    if (!Finite(a) || !Finite(b) || !Finite(c) || frame.Width() == 0 || frame.Height() == 0)
        return 0;
    const ScreenVertex* v0 = &a;
    const ScreenVertex* v1 = &b;
    const ScreenVertex* v2 = &c;
    double area = Edge(a, b, c.x, c.y);
    if (area < 0) {
        std::swap(v1, v2);
        area = -area;
    }
    if (!(area > 1e-9))
        return 0;

    // The box is cut to the frame while still floating point: a vertex projected far outside it
    // does not fit an int, and an unclamped side would make the loops below run for ever.
    double minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
    double minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
    double lastX = frame.Width() - 1, lastY = frame.Height() - 1;
    if (maxX < 0 || maxY < 0 || minX > lastX || minY > lastY)
        return 0;
    int x0 = static_cast<int>(std::clamp(std::floor(minX), 0.0, lastX));
    int x1 = static_cast<int>(std::clamp(std::ceil(maxX), 0.0, lastX));
    int y0 = static_cast<int>(std::clamp(std::floor(minY), 0.0, lastY));
    int y1 = static_cast<int>(std::clamp(std::ceil(maxY), 0.0, lastY));

    // Edge k is opposite vertex k, so its value over the area is that vertex's weight.
    const ScreenVertex* from[3] = {v1, v2, v0};
    const ScreenVertex* to[3] = {v2, v0, v1};
    bool topLeft[3];
    double stepX[3];
    for (int k = 0; k < 3; ++k) {
        topLeft[k] = IsTopLeft(*from[k], *to[k]);
        stepX[k] = -(double(to[k]->y) - from[k]->y);
    }
    double inv = 1.0 / area;
    for (int y = y0; y <= y1; ++y) {
        double py = y + 0.5;
        double e[3];
        for (int k = 0; k < 3; ++k)
            e[k] = Edge(*from[k], *to[k], x0 + 0.5, py);
        uint32_t* colour = frame.ColourRow(y);
        float* depth = frame.DepthRow(y);
        int* ids = frame.IdRow(y);
        for (int x = x0; x <= x1; ++x) {
            bool inside = true;
            for (int k = 0; k < 3; ++k)
                inside = inside && (e[k] > 0 || (e[k] == 0 && topLeft[k]));
            if (inside) {
                float l0 = float(e[0] * inv), l1 = float(e[1] * inv), l2 = 1.0f - l0 - l1;
                float w = l0 * v0->w + l1 * v1->w + l2 * v2->w;
                if (w > depth[x]) {
                    depth[x] = w;
                    ids[x] = id;
                    colour[x] = PackColour(v0->colour * l0 + v1->colour * l1 + v2->colour * l2);
                }
            }
            for (int k = 0; k < 3; ++k)
                e[k] += stepX[k];
        }
    }
    return static_cast<size_t>(x1 - x0 + 1) * static_cast<size_t>(y1 - y0 + 1);
}

}  // namespace orb
