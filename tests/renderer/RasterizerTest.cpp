#include "RasterBatch.h"
#include "Rasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

using namespace orb;

namespace {

ScreenVertex V(float x, float y, float w = 1, Vec3 colour = {1, 1, 1})
{
    ScreenVertex v;
    v.x = x;
    v.y = y;
    v.w = w;
    v.colour = colour;
    return v;
}

FrameBuffer Blank(int w, int h)
{
    FrameBuffer frame;
    frame.Resize(w, h);
    FillBackground(frame, {0, 0, 0}, {0, 0, 0});
    return frame;
}

int CountId(const FrameBuffer& frame, int id)
{
    int n = 0;
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x)
            n += frame.IdAt(x, y) == id;
    return n;
}

// Whether a point lies strictly inside a triangle, by the signs of three cross products.
bool StrictlyInside(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, double x, double y)
{
    auto side = [&](const ScreenVertex& p, const ScreenVertex& q) {
        return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
    };
    double s0 = side(a, b), s1 = side(b, c), s2 = side(c, a);
    return (s0 > 0 && s1 > 0 && s2 > 0) || (s0 < 0 && s1 < 0 && s2 < 0);
}

}  // namespace

TEST(Rasterizer, CoversThePixelsWhoseCentresLieInside)
{
    // Vertices off the pixel grid, so no centre lies on an edge; both windings. Spans of every
    // length, at both sides of frames as narrow as a pixel, and slivers a pixel or two wide.
    struct Case {
        int w, h;
        ScreenVertex a, b, c;
        int atLeast;  // pixels inside
    };
    const Case cases[] = {
        {20, 16, V(1.3f, 0.7f), V(17.6f, 4.2f), V(5.1f, 13.9f), 60},
        {20, 16, V(0.2f, 2.3f), V(19.7f, 3.1f), V(0.4f, 2.9f), 5},
        {20, 16, V(17.2f, 0.3f), V(19.9f, 15.2f), V(18.1f, 0.93f), 5},
        {7, 16, V(5.2f, 0.3f), V(8.9f, 15.2f), V(6.1f, 0.93f), 4},
        {5, 9, V(-1.3f, 0.7f), V(9.6f, 4.2f), V(0.1f, 8.9f), 15},
        {3, 9, V(1.3f, 0.7f), V(9.6f, 4.2f), V(0.1f, 8.9f), 10},
        {2, 6, V(0.7f, -0.4f), V(2.6f, 5.2f), V(-0.2f, 3.9f), 4},
        {1, 5, V(0.3f, 0.2f), V(1.6f, 4.7f), V(-0.2f, 3.9f), 2},
    };
    for (const Case& t : cases)
        for (bool reversed : {false, true}) {
            FrameBuffer frame = Blank(t.w, t.h);
            if (reversed)
                FillTriangle(frame, t.a, t.c, t.b, 3);
            else
                FillTriangle(frame, t.a, t.b, t.c, 3);
            int inside = 0;
            for (int y = 0; y < t.h; ++y)
                for (int x = 0; x < t.w; ++x) {
                    bool expected = StrictlyInside(t.a, t.b, t.c, x + 0.5, y + 0.5);
                    inside += expected;
                    EXPECT_EQ(frame.IdAt(x, y) == 3, expected)
                        << x << "," << y << " in " << t.w << "x" << t.h << " reversed " << reversed;
                    EXPECT_EQ(frame.PixelAt(x, y) == 0xFFFFFF, expected);
                }
            EXPECT_GE(inside, t.atLeast) << t.w << "x" << t.h;
        }
}

TEST(Rasterizer, TwoTrianglesOfARectangleLeaveNoGapAndNoOverhang)
{
    // Edges on pixel centres are where fill rules matter.
    FrameBuffer frame = Blank(12, 12);
    ScreenVertex p0 = V(2.5f, 3.5f), p1 = V(8.5f, 3.5f), p2 = V(8.5f, 9.5f), p3 = V(2.5f, 9.5f);
    FillTriangle(frame, p0, p1, p2, 1);
    FillTriangle(frame, p0, p2, p3, 2);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            bool inRect = x >= 2 && x < 8 && y >= 3 && y < 9;
            EXPECT_EQ(frame.IdAt(x, y) >= 0, inRect) << x << "," << y;
        }
    EXPECT_EQ(CountId(frame, 1) + CountId(frame, 2), 36);
}

TEST(Rasterizer, DepthTestKeepsTheNearerSurfaceInEitherOrder)
{
    for (bool nearFirst : {false, true}) {
        FrameBuffer frame = Blank(10, 10);
        ScreenVertex n0 = V(0, 0, 0.5f, {1, 0, 0}), n1 = V(10, 0, 0.5f, {1, 0, 0}), n2 = V(0, 10, 0.5f, {1, 0, 0});
        // The far triangle spans the whole frame but is nearer than the red one along no pixel.
        ScreenVertex f0 = V(-1, -1, 0.25f, {0, 0, 1}), f1 = V(30, -1, 0.25f, {0, 0, 1}),
                     f2 = V(-1, 30, 0.25f, {0, 0, 1});
        if (nearFirst) {
            FillTriangle(frame, n0, n1, n2, 1);
            FillTriangle(frame, f0, f1, f2, 2);
        } else {
            FillTriangle(frame, f0, f1, f2, 2);
            FillTriangle(frame, n0, n1, n2, 1);
        }
        EXPECT_EQ(frame.IdAt(2, 2), 1);
        EXPECT_EQ(frame.PixelAt(2, 2), 0xFF0000u);
        EXPECT_EQ(frame.IdAt(8, 8), 2);
        EXPECT_EQ(frame.PixelAt(8, 8), 0x0000FFu);
        EXPECT_FLOAT_EQ(frame.DepthAt(2, 2), 0.5f);
    }
}

TEST(Rasterizer, DepthInterpolatesAcrossATiltedTriangle)
{
    // Two triangles crossing each other: each wins where its interpolated depth is larger.
    FrameBuffer frame = Blank(20, 4);
    FillTriangle(frame, V(0, 0, 1.0f), V(20, 0, 0.0f), V(0, 40, 1.0f), 1);
    FillTriangle(frame, V(0, 0, 0.0f), V(20, 0, 1.0f), V(0, 40, 0.0f), 2);
    EXPECT_EQ(frame.IdAt(3, 1), 1);
    EXPECT_EQ(frame.IdAt(12, 1), 2);
}

TEST(Rasterizer, GouraudBlendsVertexColoursWhileEqualColoursStayFlat)
{
    FrameBuffer smooth = Blank(40, 40);
    FillTriangle(smooth, V(0, 0, 1, {1, 0, 0}), V(40, 0, 1, {0, 1, 0}), V(0, 40, 1, {0, 0, 1}), 0);
    std::set<uint32_t> smoothColours, flatColours;
    FrameBuffer flat = Blank(40, 40);
    FillTriangle(flat, V(0, 0, 1, {0.2f, 0.4f, 0.6f}), V(40, 0, 1, {0.2f, 0.4f, 0.6f}),
                 V(0, 40, 1, {0.2f, 0.4f, 0.6f}), 0);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            if (smooth.IdAt(x, y) == 0)
                smoothColours.insert(smooth.PixelAt(x, y));
            if (flat.IdAt(x, y) == 0)
                flatColours.insert(flat.PixelAt(x, y));
        }
    EXPECT_EQ(flatColours.size(), 1u);
    EXPECT_GT(smoothColours.size(), 200u);
    // Near the first corner red dominates; half way along the top edge red and green are even.
    Vec3 corner = UnpackColour(smooth.PixelAt(0, 0));
    EXPECT_GT(corner.x, 0.9f);
    Vec3 middle = UnpackColour(smooth.PixelAt(20, 0));
    EXPECT_NEAR(middle.x, 0.5f, 0.05f);
    EXPECT_NEAR(middle.y, 0.5f, 0.05f);
    EXPECT_LT(middle.z, 0.05f);
}

TEST(Rasterizer, DegenerateAndUnboundedTrianglesAreSafe)
{
    FrameBuffer frame = Blank(16, 16);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    FillTriangle(frame, V(1, 1), V(5, 5), V(9, 9), 1);  // a line
    FillTriangle(frame, V(3, 3), V(3, 3), V(3, 3), 1);  // a point
    FillTriangle(frame, V(nan, 1), V(5, 5), V(1, 9), 1);
    FillTriangle(frame, V(inf, 1), V(5, 5), V(1, 9), 1);
    EXPECT_EQ(CountId(frame, 1), 0);
    // Far outside the frame on every side, still covering it all.
    FillTriangle(frame, V(-1e6f, -1e6f), V(1e6f, -1e6f), V(0, 1e6f), 2);
    EXPECT_EQ(CountId(frame, 2), 16 * 16);
    FillTriangle(frame, V(100, 100, 3), V(200, 100, 3), V(100, 200, 3), 3);
    EXPECT_EQ(CountId(frame, 3), 0);
    // Beyond what an int holds, on either side: nothing to draw, and no endless loop either.
    FillTriangle(frame, V(1.7e10f, 2), V(1.8e10f, 2), V(1.7e10f, 9), 4);
    FillTriangle(frame, V(-1.8e10f, 2), V(-1.7e10f, 2), V(-1.8e10f, 9), 4);
    FillTriangle(frame, V(2, -3e12f), V(9, -3e12f), V(2, -2e12f), 4);
    EXPECT_EQ(CountId(frame, 4), 0);
    // A sliver reaching in from there still draws the pixels it covers.
    FillTriangle(frame, V(-1.7e10f, 7.5f, 2), V(12.5f, 6.5f, 2), V(12.5f, 8.5f, 2), 5);
    EXPECT_GT(CountId(frame, 5), 0);
    EXPECT_EQ(frame.IdAt(13, 7), 2);
    // A frame without rows or columns takes nothing, whatever the triangle covers.
    for (auto size : {std::make_pair(59, 0), std::make_pair(0, 7)}) {
        FrameBuffer empty;
        empty.Resize(size.first, size.second);
        EXPECT_EQ(FillTriangle(empty, V(-5, -5), V(60, -5), V(-5, 60), 6), 0u);
    }
}

TEST(Rasterizer, ColoursOutsideTheRangeAreClamped)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(PackColour({2, 0.5f, -1}), 0xFF8000u);
    EXPECT_EQ(PackColour({nan, inf, -inf}), 0x00FF00u);
}

TEST(Rasterizer, BackgroundIsAVerticalGradient)
{
    FrameBuffer frame;
    frame.Resize(4, 11);
    FillBackground(frame, {1, 1, 1}, {0, 0, 0});
    EXPECT_EQ(frame.PixelAt(0, 0), 0xFFFFFFu);
    EXPECT_EQ(frame.PixelAt(3, 10), 0u);
    EXPECT_EQ(frame.PixelAt(2, 5), frame.PixelAt(0, 5));
    EXPECT_EQ(frame.PixelAt(2, 5), 0x808080u);
    EXPECT_EQ(frame.IdAt(2, 5), -1);
    EXPECT_EQ(frame.DepthAt(2, 5), 0);
}

TEST(Rasterizer, TrianglesSharingEdgesCoverEveryPixelOnce)
{
    // Fans of triangles around a centre, on and off pixel centres, small and reaching far beyond
    // the frame (cut down to the guard band first): no pixel twice, none inside left out.
    const int size = 64;
    struct Fan {
        float cx, cy, radius;
    };
    for (const Fan& fan : {Fan{32.5f, 32.5f, 26}, Fan{31.37f, 29.81f, 23.3f}, Fan{20.2f, 40.7f, 3e5f},
                           Fan{32.5f, 32.5f, 4e9f}}) {
        const int corners = 29;
        std::vector<int> times(size * size, 0);
        for (int k = 0; k < corners; ++k) {
            auto corner = [&](int i) {
                float angle = 2 * kPi * i / corners;
                return V(fan.cx + fan.radius * std::cos(angle), fan.cy + fan.radius * std::sin(angle));
            };
            FrameBuffer frame = Blank(size, size);
            FillTriangle(frame, V(fan.cx, fan.cy), corner(k), corner((k + 1) % corners), 7);
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    times[y * size + x] += frame.IdAt(x, y) == 7;
        }
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                double distance = std::hypot(x + 0.5 - fan.cx, y + 0.5 - fan.cy);
                EXPECT_LE(times[y * size + x], 1) << x << "," << y << " radius " << fan.radius;
                if (distance < fan.radius * 0.99 - 1) {
                    EXPECT_EQ(times[y * size + x], 1) << x << "," << y << " radius " << fan.radius;
                }
            }
    }
}

TEST(Rasterizer, TheBackgroundGoesBackWhereverAFrameDrew)
{
    // Wider than one piece the frame tracks, and drawn over in several of them.
    const Vec3 top = {0.1f, 0.2f, 0.3f}, bottom = {0.9f, 0.5f, 0.0f};
    FrameBuffer fresh;
    fresh.Resize(300, 40);
    FillBackground(fresh, top, bottom);
    FrameBuffer frame;
    frame.Resize(300, 40);
    FillBackground(frame, top, bottom);
    FillTriangle(frame, V(3.5f, 2), V(290, 20), V(140, 39), 4);
    FillTriangle(frame, V(70, 0), V(300, 0), V(300, 40), 5);
    FillBackground(frame, top, bottom);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 300; ++x) {
            ASSERT_EQ(frame.PixelAt(x, y), fresh.PixelAt(x, y)) << x << "," << y;
            ASSERT_EQ(frame.IdAt(x, y), -1) << x << "," << y;
            ASSERT_EQ(frame.DepthAt(x, y), 0) << x << "," << y;
        }
    // Another background, or another size, goes in everywhere.
    FillBackground(frame, bottom, top);
    EXPECT_EQ(frame.PixelAt(299, 0), PackColour(bottom));
    frame.Resize(301, 40);
    FillBackground(frame, bottom, top);
    EXPECT_EQ(frame.PixelAt(300, 39), PackColour(top));
}

TEST(Rasterizer, BandsOnThreadsDrawWhatWholeTrianglesDraw)
{
    // Random triangles, smooth and flat, some reaching far out, drawn one after the other whole,
    // and set up in a batch whose bands a pool's threads share out, each band cleared first.
    uint32_t seed = 12345;
    auto random = [&seed](float low, float high) {
        seed = seed * 1664525u + 1013904223u;
        return low + (high - low) * float(seed >> 8) / float(1 << 24);
    };
    const int width = 150, height = 97;
    FrameBuffer whole = Blank(width, height), banded = Blank(width, height);
    FillTriangle(banded, V(-10, -10), V(400, -10), V(-10, 400), 999);  // left from a frame before
    WorkerPool pool(3);
    RasterBatch batch;
    std::vector<int> clears(height, 0);
    batch.Begin(banded, [&](int firstRow, int endRow) {
        FillBackgroundRows(banded, {0, 0, 0}, {0, 0, 0}, true, firstRow, endRow);
        for (int y = firstRow; y < endRow; ++y)
            ++clears[y];
    });
    std::vector<RasterTriangle> setUp;
    setUp.reserve(400 * 5);  // the batch keeps pointers into it
    for (int id = 0; id < 400; ++id) {
        float reach = id % 50 == 0 ? 1e7f : 60;
        ScreenVertex corner[3];
        for (ScreenVertex& v : corner)
            v = V(random(-reach, width + reach), random(-reach, height + reach), random(0.1f, 1),
                  id % 3 ? Vec3{random(0, 1), random(0, 1), random(0, 1)} : Vec3{0.5f, 0.25f, 1});
        size_t work = FillTriangle(whole, corner[0], corner[1], corner[2], id);
        const size_t first = setUp.size();
        EXPECT_EQ(SetUpTriangle(width, height, corner[0], corner[1], corner[2], id, setUp), work);
        for (size_t i = first; i < setUp.size(); ++i)
            batch.Add(setUp[i]);
        if (id % 150 == 149)
            batch.Draw(pool);
    }
    batch.Draw(pool);
    int differing = 0;
    std::set<int> shown;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            differing += whole.PixelAt(x, y) != banded.PixelAt(x, y) || whole.IdAt(x, y) != banded.IdAt(x, y) ||
                         whole.DepthAt(x, y) != banded.DepthAt(x, y);
            shown.insert(whole.IdAt(x, y));
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(shown.size(), 40u);
    EXPECT_EQ(std::count(clears.begin(), clears.end(), 1), height);

    // With nothing to draw, the first Draw still clears.
    batch.Begin(banded, [&](int firstRow, int endRow) {
        FillBackgroundRows(banded, {0, 0, 0}, {0, 0, 0}, true, firstRow, endRow);
    });
    batch.Draw(pool);
    EXPECT_EQ(banded.IdAt(width / 2, height / 2), -1);
}
