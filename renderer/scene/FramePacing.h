#pragma once

#include <algorithm>

namespace orb {

// The display's own pace, and the slowest the frame loop ever goes while active (25 a second).
constexpr double kDisplayFrameSeconds = 1.0 / 60;
constexpr double kSlowestFrameSeconds = 0.040;

// How long after the start of one frame the next is due, from what that frame cost in all
// (drawing and showing every window). A frame that takes at most half a display frame runs at the
// display's pace. A dearer one is given twice its cost, so that the renderer keeps to about half
// a core and the browser and the page stay responsive, but never more than 40 ms: an applet never
// moves less smoothly than it did at a fixed 25 frames a second.
inline double NextFrameInterval(double lastFrameCostSeconds)
{
    return std::clamp(2 * lastFrameCostSeconds, kDisplayFrameSeconds, kSlowestFrameSeconds);
}

}  // namespace orb
