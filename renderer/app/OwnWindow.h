#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

namespace orb {

// A plain top-level window for running an applet without a browser. Closing it destroys it; the
// owner notices through IsWindow.
class OwnWindow {
public:
    OwnWindow(int clientWidth, int clientHeight);
    ~OwnWindow();
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;

    HWND Handle() const { return window_.Get(); }

private:
    OwnedWindow window_;
};

}  // namespace orb
