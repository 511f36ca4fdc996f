#pragma once

#include "PointerWatcher.h"
#include "RendererArgs.h"
#include "TimerResolution.h"
#include "SceneSession.h"
#include "ViewWindow.h"

#include <optional>
#include <vector>

#include <windows.h>

#include "block/RendererClient.h"

namespace orb {

// Runs a SceneSession in its windows: the main window and any others that join it. Each turn it
// sizes every window's frame to that window's client area, advances the clock and draws every
// window once per frame while active, keeps the last pictures on screen while paused, and feeds the
// session the pointer. Frames come at the display's pace while they are cheap, further apart as
// they grow dear (NextFrameInterval). A driver calls Step in its loop and waits the time Step returns.
class RendererHost {
public:
    static constexpr DWORD kInputPollMs = 10;    // pointer polling between frames
    static constexpr DWORD kPausedPollMs = 100;
    static constexpr DWORD kPausedRepaintMs = 250;

    // window: the main window. rendererArgs: " -width W -height H", the size to use while the main
    // window reports none.
    RendererHost(HWND window, const std::string& rendererArgs, SessionOutput& output);

    SceneSession& Session() { return session_; }
    HWND Window() const { return windows_[0].window; }
    const FrameBuffer& MainFrame() const { return windows_[0].view.frame; }

    // The windows that show the scene besides the main one, by name (as the block's window records
    // list them; the main window's own record gives it its name). Windows of handle 0, that no
    // longer exist or that are listed twice are left out; a window kept from the last call keeps
    // its view.
    void SetWindows(const std::vector<WindowEntry>& records);
    size_t WindowCount() const { return windows_.size(); }

    void SetActive(bool active);
    // Reads a slice of what has arrived (SceneSession::LoadSlice). Once a file joins the scene,
    // every window is drawn at the next step: waiting for the next frame would show a loaded
    // applet up to a frame late, and a paused window would keep its old picture.
    bool LoadSlice();
    bool Active() const { return active_; }
    int FramesDrawn() const { return frames_; }

    // One turn of the loop; returns the milliseconds to wait before the next turn.
    DWORD Step();

private:
    // Sizes the window's frame to its client area; true when that changed it.
    bool Fit(ViewWindow& target, bool isMain) const;
    void Draw(ViewWindow& target, double now, bool present);
    // Every window is drawn at the next step instead of at its next frame.
    void SceneChanged();

    WindowSize argsSize_;
    SceneSession session_;
    std::vector<ViewWindow> windows_;  // the main window first
    PointerWatcher pointer_;
    bool active_ = true;
    std::optional<TimerResolution> fineTimer_;  // while active
    int frames_ = 0;
    double lastStep_;  // seconds on the performance counter
    double nextFrame_ = 0;
};

}  // namespace orb
