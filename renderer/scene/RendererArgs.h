#pragma once

#include <string>

namespace orb {

struct WindowSize {
    int width = 0;
    int height = 0;
};

// Reads " -width W -height H" out of the renderer's argument text; other words are ignored and a
// value that is missing, malformed or outside 1..FrameBuffer::kMaxSide leaves that side at 0.
WindowSize ParseWindowSize(const std::string& args);

}  // namespace orb
