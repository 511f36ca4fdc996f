#include "Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

namespace orb {

namespace {

// Vertices are snapped to this fraction of a pixel before their edges are set up.
constexpr double kSubpixels = 256;
// How far beyond the frame a triangle may reach before it is cut down to that band: within it,
// the snapped edges' products fit 64 bits with room to spare.
constexpr double kGuardBand = 16384;
// How far an edge's crossing of a row, worked out in double precision, may be from the exact one
// (in pixels): far more than it can be inside the guard band.
constexpr double kCrossingError = 1.0 / 1024;

struct Point {
    double x, y;
};

bool Finite(const ScreenVertex& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.w);
}

// Twice the signed area of (a, b, p); positive when p lies to the right of a->b with y growing down.
double Edge(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& p)
{
    return (double(b.x) - a.x) * (double(p.y) - a.y) - (double(b.y) - a.y) * (double(p.x) - a.x);
}

// Sets plane k of the triangle through the three vertices' values, times `scale` plus `offset`;
// inverseArea is 1 / Edge(v0, v1, v2).
void SetPlane(RasterTriangle& triangle, RasterTriangle::Plane k, const ScreenVertex& v0, const ScreenVertex& v1,
              const ScreenVertex& v2, double inverseArea, float f0, float f1, float f2, double scale = 1,
              double offset = 0)
{
    double x1 = double(v1.x) - v0.x, y1 = double(v1.y) - v0.y;
    double x2 = double(v2.x) - v0.x, y2 = double(v2.y) - v0.y;
    double d1 = double(f1) - f0, d2 = double(f2) - f0;
    const double dx = (d1 * y2 - d2 * y1) * inverseArea;
    const double dy = (d2 * x1 - d1 * x2) * inverseArea;
    triangle.at[k] = (f0 + dx * (0.5 - v0.x) + dy * (0.5 - v0.y)) * scale + offset;
    triangle.dx[k] = dx * scale;
    triangle.dy[k] = dy * scale;
    triangle.step[k] = static_cast<float>(triangle.dx[k]);
}

// Cuts a convex polygon to the half plane where the coordinate (x when onX) is at least `bound`
// (at most, when !atLeast). Returns the new corner count; `out` has room for n + 1.
int ClipPolygon(const Point* in, int n, bool onX, double bound, bool atLeast, Point* out)
{
    auto coordinate = [onX](const Point& p) { return onX ? p.x : p.y; };
    auto inside = [&](const Point& p) { return atLeast ? coordinate(p) >= bound : coordinate(p) <= bound; };
    int count = 0;
    for (int i = 0; i < n; ++i) {
        const Point& a = in[i];
        const Point& b = in[(i + 1) % n];
        if (inside(a))
            out[count++] = a;
        if (inside(a) != inside(b)) {
            double t = (bound - coordinate(a)) / (coordinate(b) - coordinate(a));
            Point cut = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            (onX ? cut.x : cut.y) = bound;
            out[count++] = cut;
        }
    }
    return count;
}

// Snaps the triangle and sets up its edges; false when snapping leaves it without area.
bool SetUpEdges(const Point (&corner)[3], RasterTriangle& triangle)
{
    // Inside the guard band the snapped coordinates fit 32 bits, which converts without a
    // library call on a 32-bit processor.
    auto snap = [](double v) {
        v *= kSubpixels;
        return static_cast<int32_t>(v + (v < 0 ? -0.5 : 0.5));
    };
    // Differences of snapped coordinates fit 32 bits too, and their products are taken as 32 by
    // 32 bits, which is one instruction on a 32-bit processor where 64 by 64 is several.
    auto product = [](int32_t a, int32_t b) { return static_cast<int64_t>(a) * b; };
    int32_t x[3], y[3];
    for (int k = 0; k < 3; ++k) {
        x[k] = snap(corner[k].x);
        y[k] = snap(corner[k].y);
    }
    if (product(x[1] - x[0], y[2] - y[0]) - product(y[1] - y[0], x[2] - x[0]) <= 0)
        return false;
    const int32_t half = static_cast<int32_t>(kSubpixels) / 2;
    // Edge k runs between the two vertices other than k, so it is positive on k's side.
    for (int k = 0; k < 3; ++k) {
        int from = (k + 1) % 3, to = (k + 2) % 3;
        int32_t dx = x[to] - x[from], dy = y[to] - y[from];
        RasterTriangle::Edge& edge = triangle.edges[k];
        edge.x = product(-dy, static_cast<int32_t>(kSubpixels));
        edge.y = product(dx, static_cast<int32_t>(kSubpixels));
        edge.c = product(dx, half - y[from]) - product(dy, half - x[from]);
        // A pixel centre exactly on an edge belongs to the triangle only on its top and left
        // edges, so that two triangles sharing an edge never both draw it.
        bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        if (!topLeft)
            edge.c -= 1;
        if (edge.x != 0) {
            const double across = -1 / double(edge.x);
            edge.crossingY = double(edge.y) * across;
            edge.crossingAt = double(edge.c) * across;
        }
    }
    return true;
}

// Narrows [left, right] to the pixels of row y that the edge covers.
void Narrow(const RasterTriangle::Edge& edge, int y, int& left, int& right)
{
    if (edge.x == 0) {
        if (edge.y * y + edge.c < 0)
            right = left - 1;
        return;
    }
    // Where the edge crosses the row, within far less than a pixel. Outside the span it decides
    // nothing more. Inside, the first pixel on the covered side is exact unless the crossing lies
    // very close to a pixel centre; only then does the exact test settle it.
    const double crossing = edge.crossingY * y + edge.crossingAt;
    if (edge.x > 0 ? crossing <= left - 1 : crossing >= right + 1)
        return;
    if (edge.x > 0 ? crossing > right + 1 : crossing < left - 1) {
        right = left - 1;
        return;
    }
    int x = static_cast<int>(crossing);  // towards zero
    const double past = x - crossing;
    const bool close = std::abs(past) < kCrossingError || std::abs(past) > 1 - kCrossingError;
    if (edge.x > 0) {
        // The first x >= crossing; the edge covers it and everything right of it.
        if (past < 0)
            ++x;
        if (close) {
            const int64_t row = edge.y * y + edge.c;
            auto covers = [&](int at) { return edge.x * at + row >= 0; };
            while (x <= right && !covers(x))
                ++x;
            while (x > left && covers(x - 1))
                --x;
        }
        left = std::max(left, x);
    } else {
        // The last x <= crossing.
        if (past > 0)
            --x;
        if (close) {
            const int64_t row = edge.y * y + edge.c;
            auto covers = [&](int at) { return edge.x * at + row >= 0; };
            while (x >= left && !covers(x))
                --x;
            while (x < right && covers(x + 1))
                ++x;
        }
        right = std::min(right, x);
    }
}

// The four planes' values at the start of a span (w, red, green, blue), two at a time in double
// precision, as at + dx * x + dy * y.
__m128 SpanStarts(const RasterTriangle& triangle, int x, int y)
{
    const __m128d across = _mm_set1_pd(x), down = _mm_set1_pd(y);
    auto two = [&](int k) {
        const __m128d sum = _mm_add_pd(_mm_loadu_pd(triangle.at + k), _mm_mul_pd(_mm_loadu_pd(triangle.dx + k), across));
        return _mm_cvtpd_ps(_mm_add_pd(sum, _mm_mul_pd(_mm_loadu_pd(triangle.dy + k), down)));
    };
    return _mm_movelh_ps(two(RasterTriangle::kW), two(RasterTriangle::kGreen));
}

// One plane's values along a span: start + step * i at its i-th pixel.
struct SpanValues {
    __m128 start, step;

    template <int kPlane>
    static SpanValues Of(const RasterTriangle& triangle, __m128 starts)
    {
        return {_mm_shuffle_ps(starts, starts, _MM_SHUFFLE(kPlane, kPlane, kPlane, kPlane)),
                _mm_set1_ps(triangle.step[kPlane])};
    }
    __m128 At(__m128 i) const { return _mm_add_ps(start, _mm_mul_ps(step, i)); }
};

// Four channels' bytes from their planes' values (not a number reads as 0, as in PackColour).
__m128i ChannelBytes(__m128 v)
{
    return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(v, _mm_set1_ps(0.5f)), _mm_set1_ps(255.5f)));
}

__m128i Select(__m128i mask, __m128i yes, __m128i no)
{
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Draws the four pixels from `at` on where `lanes` (all ones or zeros each) and the depth test
// let it. `index` holds their places in the span, as floats.
template <bool kFlat>
void FillFour(const RasterTriangle& triangle, const SpanValues (&values)[RasterTriangle::kPlanes], __m128 index,
              __m128 lanes, uint32_t* colour, float* depth, int* ids)
{
    const __m128 value = values[RasterTriangle::kW].At(index);
    const __m128 old = _mm_loadu_ps(depth);
    const __m128 wins = _mm_and_ps(lanes, _mm_cmpgt_ps(value, old));
    const int won = _mm_movemask_ps(wins);
    if (won == 0)
        return;
    __m128i packed = _mm_set1_epi32(static_cast<int>(triangle.flatColour));
    if (!kFlat) {
        packed = _mm_or_si128(
            _mm_or_si128(_mm_slli_epi32(ChannelBytes(values[RasterTriangle::kRed].At(index)), 16),
                         _mm_slli_epi32(ChannelBytes(values[RasterTriangle::kGreen].At(index)), 8)),
            ChannelBytes(values[RasterTriangle::kBlue].At(index)));
    }
    const __m128i id = _mm_set1_epi32(triangle.id);
    __m128i* idAt = reinterpret_cast<__m128i*>(ids);
    __m128i* colourAt = reinterpret_cast<__m128i*>(colour);
    if (won == 15) {
        // All four win, as they mostly do: what was there need not be read.
        _mm_storeu_ps(depth, value);
        _mm_storeu_si128(idAt, id);
        _mm_storeu_si128(colourAt, packed);
        return;
    }
    const __m128i mask = _mm_castps_si128(wins);
    _mm_storeu_ps(depth, _mm_or_ps(_mm_and_ps(wins, value), _mm_andnot_ps(wins, old)));
    _mm_storeu_si128(idAt, Select(mask, id, _mm_loadu_si128(idAt)));
    _mm_storeu_si128(colourAt, Select(mask, packed, _mm_loadu_si128(colourAt)));
}

// Draws pixels x..end of row y, four at a time. A pixel's values depend only on its place in the
// span, and drawing one twice changes nothing (it no longer passes the depth test against
// itself), so a span's last pixels go as the four that end it, overlapping those before. A span
// of fewer than four takes four pixels of its own row around it with the others masked out; only
// in a frame narrower than four does each pixel go alone.
template <bool kFlat>
void FillSpan(FrameBuffer& frame, const RasterTriangle& triangle, int x, int end, int y)
{
    const __m128 starts = SpanStarts(triangle, x, y);
    const SpanValues values[RasterTriangle::kPlanes] = {
        SpanValues::Of<RasterTriangle::kW>(triangle, starts), SpanValues::Of<RasterTriangle::kRed>(triangle, starts),
        SpanValues::Of<RasterTriangle::kGreen>(triangle, starts),
        SpanValues::Of<RasterTriangle::kBlue>(triangle, starts)};
    uint32_t* colour = frame.ColourRow(y);
    float* depth = frame.DepthRow(y);
    int* ids = frame.IdRow(y);
    const __m128 lanes = _mm_set_ps(3, 2, 1, 0);
    const __m128 all = _mm_castsi128_ps(_mm_set1_epi32(-1));
    auto fill = [&](int from, __m128 mask) {
        const __m128 index = _mm_add_ps(_mm_set1_ps(static_cast<float>(from - x)), lanes);
        FillFour<kFlat>(triangle, values, index, mask, colour + from, depth + from, ids + from);
    };
    const int count = end - x + 1;
    if (count >= 4) {
        int i = x;
        for (; i + 3 <= end; i += 4)
            fill(i, all);
        if (i <= end)
            fill(end - 3, all);
    } else if (frame.Width() >= 4) {
        const int from = std::min(x, frame.Width() - 4);
        const __m128 place = _mm_add_ps(_mm_set1_ps(static_cast<float>(from - x)), lanes);
        fill(from, _mm_and_ps(_mm_cmpge_ps(place, _mm_setzero_ps()),
                              _mm_cmplt_ps(place, _mm_set1_ps(static_cast<float>(count)))));
    } else {
        for (int i = x; i <= end; ++i) {
            alignas(16) uint32_t c[4] = {colour[i]};
            alignas(16) float d[4] = {depth[i]};
            alignas(16) int n[4] = {ids[i]};
            FillFour<kFlat>(triangle, values, _mm_set1_ps(static_cast<float>(i - x)),
                            _mm_castsi128_ps(_mm_set_epi32(0, 0, 0, -1)), c, d, n);
            colour[i] = c[0];
            depth[i] = d[0];
            ids[i] = n[0];
        }
    }
}

// Sets count 32-bit words to these bits, four at a time.
template <typename Word>
void FillWords(Word* words, int count, uint32_t bits)
{
    static_assert(sizeof(Word) == sizeof(bits), "32-bit words");
    const __m128i four = _mm_set1_epi32(static_cast<int>(bits));
    int i = 0;
    for (; i + 4 <= count; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words + i), four);
    for (; i < count; ++i)
        std::memcpy(words + i, &bits, sizeof(bits));
}

// The number of zero bits below the lowest one; 64 for none.
int CountTrailingZeros(uint64_t bits)
{
    return bits ? __builtin_ctzll(bits) : 64;
}

}  // namespace

void FillBackgroundRows(FrameBuffer& frame, const Vec3& top, const Vec3& bottom, bool kept, int firstRow,
                        int endRow)
{
    const int h = frame.Height(), w = frame.Width();
    for (int y = std::max(firstRow, 0); y < std::min(endRow, h); ++y) {
        const uint32_t c = PackColour(Lerp(top, bottom, h > 1 ? float(y) / (h - 1) : 0.0f));
        auto fill = [&](int from, int to) {
            FillWords(frame.ColourRow(y) + from, to - from, c);
            FillWords(frame.DepthRow(y) + from, to - from, 0);  // 0.0f
            FillWords(frame.IdRow(y) + from, to - from, ~0u);   // -1
        };
        uint64_t drawn = frame.TakeDrawn(y);
        if (!kept) {
            fill(0, w);
            continue;
        }
        // Each run of neighbouring pieces at once.
        for (int piece = 0; drawn;) {
            const int skip = CountTrailingZeros(drawn);
            piece += skip;
            drawn >>= skip;
            const int run = CountTrailingZeros(~drawn);
            fill(piece * FrameBuffer::kPieceWidth, std::min(w, (piece + run) * FrameBuffer::kPieceWidth));
            piece += run;
            drawn = run < 64 ? drawn >> run : 0;
        }
    }
}

void FillBackground(FrameBuffer& frame, const Vec3& top, const Vec3& bottom)
{
    FillBackgroundRows(frame, top, bottom, frame.KeepBackground(top, bottom), 0, frame.Height());
}

size_t SetUpTriangle(int width, int height, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                     int id, std::vector<RasterTriangle>& out)
{
    if (!Finite(a) || !Finite(b) || !Finite(c) || width <= 0 || height <= 0)
        return 0;
    const ScreenVertex* v0 = &a;
    const ScreenVertex* v1 = &b;
    const ScreenVertex* v2 = &c;
    double area = Edge(a, b, c);
    if (area < 0) {
        std::swap(v1, v2);
        area = -area;
    }
    if (!(area > 1e-9))
        return 0;

    // The box is cut to the frame while still floating point: a vertex projected far outside it
    // does not fit an int.
    double minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
    double minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
    double lastX = width - 1, lastY = height - 1;
    if (maxX < 0 || maxY < 0 || minX > lastX || minY > lastY)
        return 0;
    RasterTriangle& triangle = out.emplace_back();
    // Clamped first, the box converts without rounding calls: truncating a value >= 0 floors it.
    auto ceilWithin = [](double v, double last) {
        v = std::clamp(v, 0.0, last);
        int whole = static_cast<int>(v);
        return whole < v ? whole + 1 : whole;
    };
    triangle.left = static_cast<int>(std::clamp(minX, 0.0, lastX));
    triangle.right = ceilWithin(maxX, lastX);
    triangle.top = static_cast<int>(std::clamp(minY, 0.0, lastY));
    triangle.bottom = ceilWithin(maxY, lastY);
    triangle.id = id;
    const double inverseArea = 1 / area;
    SetPlane(triangle, RasterTriangle::kW, *v0, *v1, *v2, inverseArea, v0->w, v1->w, v2->w);
    const Vec3 &c0 = v0->colour, &c1 = v1->colour, &c2 = v2->colour;
    triangle.flat = c0.x == c1.x && c0.x == c2.x && c0.y == c1.y && c0.y == c2.y && c0.z == c1.z && c0.z == c2.z;
    if (triangle.flat) {
        triangle.flatColour = PackColour(c0);
    } else {
        // In bytes, with the half that rounds them, as PackColour does.
        SetPlane(triangle, RasterTriangle::kRed, *v0, *v1, *v2, inverseArea, c0.x, c1.x, c2.x, 255, 0.5);
        SetPlane(triangle, RasterTriangle::kGreen, *v0, *v1, *v2, inverseArea, c0.y, c1.y, c2.y, 255, 0.5);
        SetPlane(triangle, RasterTriangle::kBlue, *v0, *v1, *v2, inverseArea, c0.z, c1.z, c2.z, 255, 0.5);
    }

    const size_t work = static_cast<size_t>(triangle.right - triangle.left + 1) *
                        static_cast<size_t>(triangle.bottom - triangle.top + 1);
    triangle.work = work;
    Point corners[3] = {{v0->x, v0->y}, {v1->x, v1->y}, {v2->x, v2->y}};
    const double low = -kGuardBand, highX = width + kGuardBand, highY = height + kGuardBand;
    if (minX >= low && minY >= low && maxX <= highX && maxY <= highY) {
        if (!SetUpEdges(corners, triangle))
            out.pop_back();
        return work;
    }
    // Beyond the guard band the triangle is cut to it, and the pieces share the whole triangle's
    // planes; the band's edges lie far outside the frame.
    const RasterTriangle whole = triangle;
    out.pop_back();
    Point polygon[7], cut[7];
    int count = ClipPolygon(corners, 3, true, low, true, cut);
    count = ClipPolygon(cut, count, true, highX, false, polygon);
    count = ClipPolygon(polygon, count, false, low, true, cut);
    count = ClipPolygon(cut, count, false, highY, false, polygon);
    const size_t first = out.size();
    for (int k = 1; k + 1 < count; ++k) {
        const Point piece[3] = {polygon[0], polygon[k], polygon[k + 1]};
        out.push_back(whole);
        out.back().work = out.size() == first + 1 ? work : 0;
        if (!SetUpEdges(piece, out.back()))
            out.pop_back();
    }
    return work;
}

void DrawTriangleRows(FrameBuffer& frame, const RasterTriangle& triangle, int firstRow, int endRow)
{
    const int last = std::min({endRow - 1, triangle.bottom, frame.Height() - 1});
    const int left = std::max(triangle.left, 0);
    const int right = std::min(triangle.right, frame.Width() - 1);
    if (left > right)
        return;
    // Each row drawn on marks the pieces of the triangle's whole box: a little more background
    // to put back than was drawn over, for far less work per row.
    const uint64_t pieces = FrameBuffer::PiecesOf(left, right);
    for (int y = std::max({firstRow, triangle.top, 0}); y <= last; ++y) {
        int x = left, end = right;
        for (const RasterTriangle::Edge& edge : triangle.edges)
            Narrow(edge, y, x, end);
        if (x > end)
            continue;
        frame.MarkDrawn(y, pieces);
        if (triangle.flat)
            FillSpan<true>(frame, triangle, x, end, y);
        else
            FillSpan<false>(frame, triangle, x, end, y);
    }
}

size_t FillTriangle(FrameBuffer& frame, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                    int id)
{
    std::vector<RasterTriangle> triangles;
    size_t work = SetUpTriangle(frame.Width(), frame.Height(), a, b, c, id, triangles);
    for (const RasterTriangle& triangle : triangles)
        DrawTriangleRows(frame, triangle, 0, frame.Height());
    return work;
}

}  // namespace orb
