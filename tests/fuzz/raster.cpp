// Raw projected vertices, any float at all, into a small frame: the rasteriser stays inside
// the frame, finishes, and marks only ids it was given; drawn in bands of rows, the triangles
// give the very same frame.
#include <cstdlib>
#include <vector>

#include "FuzzInput.h"
#include "RasterBatch.h"
#include "Rasterizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    orb::FrameBuffer frame;
    frame.Resize(in.Byte() % 97, in.Byte() % 97);
    orb::FillBackground(frame, {0, 0, 0}, {1, 1, 1});
    orb::FrameBuffer banded;
    banded.Resize(frame.Width(), frame.Height());
    orb::FillBackground(banded, {0, 0, 0}, {1, 1, 1});
    orb::RasterBatch batch;
    batch.Begin(banded);
    std::vector<orb::RasterTriangle> setUp;
    setUp.reserve(64 * 5);  // the batch keeps pointers into it
    for (int id = 0; id < 64 && !in.Empty(); ++id) {
        orb::ScreenVertex v[3];
        for (orb::ScreenVertex& corner : v) {
            corner.x = in.Float();
            corner.y = in.Float();
            corner.w = in.Float();
            corner.colour = {in.Byte() / 255.0f, in.Byte() / 255.0f, in.Byte() / 255.0f};
        }
        const size_t first = setUp.size();
        if (orb::FillTriangle(frame, v[0], v[1], v[2], id) !=
            orb::SetUpTriangle(frame.Width(), frame.Height(), v[0], v[1], v[2], id, setUp))
            std::abort();
        for (size_t i = first; i < setUp.size(); ++i) batch.Add(setUp[i]);
    }
    orb::WorkerPool pool(1);
    batch.Draw(pool);
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x)
            if (frame.IdAt(x, y) < -1 || frame.IdAt(x, y) >= 64 || frame.IdAt(x, y) != banded.IdAt(x, y) ||
                frame.PixelAt(x, y) != banded.PixelAt(x, y) || frame.DepthAt(x, y) != banded.DepthAt(x, y))
                std::abort();
    return 0;
}
