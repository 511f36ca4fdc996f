#pragma once

#include "FrameBuffer.h"

#include <windows.h>

namespace orb {

// Copies the frame into the window's client area through a window DC. The window may belong to
// another process (the browser's plug-in window); GDI allows that.
bool PresentFrame(HWND window, const FrameBuffer& frame);

}  // namespace orb
