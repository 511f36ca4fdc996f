// Raw projected vertices, any float at all, into a small frame: the rasteriser stays inside
// the frame, finishes, and marks only ids it was given.
#include <cstdlib>

#include "FuzzInput.h"
#include "Rasterizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    orb::FrameBuffer frame;
    frame.Resize(in.Byte() % 97, in.Byte() % 97);
    orb::FillBackground(frame, {0, 0, 0}, {1, 1, 1});
    for (int id = 0; id < 64 && !in.Empty(); ++id) {
        orb::ScreenVertex v[3];
        for (orb::ScreenVertex& corner : v) {
            corner.x = in.Float();
            corner.y = in.Float();
            corner.w = in.Float();
            corner.colour = {in.Byte() / 255.0f, in.Byte() / 255.0f, in.Byte() / 255.0f};
        }
        orb::FillTriangle(frame, v[0], v[1], v[2], id);
    }
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x)
            if (frame.IdAt(x, y) < -1 || frame.IdAt(x, y) >= 64) std::abort();
    return 0;
}
