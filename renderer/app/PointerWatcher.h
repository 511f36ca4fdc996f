#pragma once

#include "SceneSession.h"
#include "ViewWindow.h"

#include <vector>

#include <windows.h>

namespace orb {

// The windows to draw in belong to the browser, so their mouse messages never reach this process:
// the button state and cursor position are polled instead and handed to the session in the client
// coordinates of the window under the pointer, or of the window a press began in until its release.
class PointerWatcher {
public:
    void Poll(std::vector<ViewWindow>& windows, SceneSession& session);

private:
    bool wasDown_ = false;
    HWND tracking_ = nullptr;  // the window a press began over
    HWND wasOver_ = nullptr;
    POINT last_ = {-1, -1};    // screen coordinates
};

}  // namespace orb
