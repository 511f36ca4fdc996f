#pragma once

#include "FrameBuffer.h"
#include "SceneRenderer.h"

#include <string>

namespace orb {

// One window's picture of a session's scene. Every window that shows the scene keeps its own, so
// each is drawn at its own size, from the camera its name picks, turned by drags in that window.
struct SceneView {
    std::string windowName;  // selects the applet's view statement; "" shows the main camera
    ViewAngles angles;
    FrameBuffer frame;
    FrameTimes times;  // of the last frame drawn
};

}  // namespace orb
