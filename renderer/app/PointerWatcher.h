#pragma once

#include "SceneSession.h"

#include <windows.h>

namespace orb {

// The window to draw in belongs to the browser, so its mouse messages never reach this process:
// the button state and cursor position are polled instead and handed to the session in the
// window's client coordinates.
class PointerWatcher {
public:
    void Poll(HWND window, SceneSession& session);

private:
    bool wasDown_ = false;
    bool tracking_ = false;  // a press began over the window
    bool wasOver_ = false;
    POINT last_ = {-1, -1};
};

}  // namespace orb
