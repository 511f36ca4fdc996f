#pragma once

#include "PointerWatcher.h"
#include "RendererArgs.h"
#include "SceneSession.h"

#include <windows.h>

namespace orb {

// Runs a SceneSession in a window: sizes the frame to the window's client area, advances the clock
// and draws while active, keeps the last picture on screen while paused, and feeds it the pointer.
// A driver calls Step in its loop and waits the time Step returns.
class RendererHost {
public:
    static constexpr DWORD kFrameMs = 40;        // 25 frames a second while active
    static constexpr DWORD kInputPollMs = 10;    // pointer polling between frames
    static constexpr DWORD kPausedPollMs = 100;
    static constexpr DWORD kPausedRepaintMs = 250;

    // rendererArgs: " -width W -height H", the size to use while the window reports none.
    RendererHost(HWND window, const std::string& rendererArgs, SessionOutput& output);

    SceneSession& Session() { return session_; }
    HWND Window() const { return window_; }

    void SetActive(bool active);
    bool Active() const { return active_; }
    int FramesDrawn() const { return frames_; }

    // One turn of the loop; returns the milliseconds to wait before the next turn.
    DWORD Step();

private:
    WindowSize CurrentSize() const;

    HWND window_;
    WindowSize argsSize_;
    SceneSession session_;
    PointerWatcher pointer_;
    bool active_ = true;
    int frames_ = 0;
    bool drawn_ = false;
    double lastStep_;  // seconds on the performance counter
    double nextFrame_ = 0;
    double lastPresent_ = 0;
};

}  // namespace orb
