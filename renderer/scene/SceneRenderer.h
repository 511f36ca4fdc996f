#pragma once

#include "FrameBuffer.h"
#include "Scene.h"

namespace orb {

// The viewer's turn of the camera around its target, on top of the scene's own camera (radians).
struct ViewAngles {
    float yaw = 0;
    float pitch = 0;
};

// Draws the scene as it stands at a time, seen from the camera turned by the viewer's angles, into the
// frame: background, then every placed node that has a mesh, lit per vertex (smooth) or per face
// (flat). Pick ids are node indices.
void RenderScene(const Scene& scene, const CameraDef& camera, double seconds, const ViewAngles& view,
                 FrameBuffer& frame);

}  // namespace orb
