#pragma once

#include "FrameBuffer.h"
#include "Scene.h"

namespace orb {

struct RenderWorkers;

// Where one frame's time went, in milliseconds.
struct FrameTimes {
    // Background colours, depth and ids: put back by each thread just before it draws in the same
    // rows, so this is the threads' time at it divided among them, taken out of rasterising.
    double clearing = 0;
    double geometry = 0;     // transforming, lighting, clipping, projecting and setting up the triangles
    double rasterising = 0;  // filling the triangles' pixels
};

// The viewer's turn of the camera around its target, on top of the scene's own camera (radians).
struct ViewAngles {
    float yaw = 0;
    float pitch = 0;
};

// Draws the scene as it stands at a time, seen from the camera turned by the viewer's angles, into the
// frame: background, then every placed node that has a mesh, lit per vertex (smooth) or per face
// (flat). Pick ids are node indices. A frame examines at most kPixelWorkPerPixel times its own
// pixels plus kPixelWorkBase in all, so that no scene makes one frame take long: false when it
// stopped there and left the rest of the scene out. With workers, the frame is shared out among
// their threads, and is the same picture as one drawn on this thread alone.
constexpr size_t kPixelWorkPerPixel = 4;
constexpr size_t kPixelWorkBase = 4u << 20;
bool RenderScene(const Scene& scene, const CameraDef& camera, double seconds, const ViewAngles& view,
                 FrameBuffer& frame, FrameTimes* times = nullptr, RenderWorkers* workers = nullptr);

}  // namespace orb
