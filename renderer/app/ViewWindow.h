#pragma once

#include "SceneView.h"

#include <windows.h>

namespace orb {

// A window the scene is drawn into, with its own view of the scene and when it was last painted.
struct ViewWindow {
    HWND window = nullptr;
    SceneView view;
    bool drawn = false;
    double lastPresent = 0;  // seconds on the performance counter
};

}  // namespace orb
