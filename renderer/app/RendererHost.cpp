#include "RendererHost.h"

#include "PresentFrame.h"

#include <algorithm>

namespace orb {

namespace {

double NowSeconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

RendererHost::RendererHost(HWND window, const std::string& rendererArgs, SessionOutput& output)
    : window_(window), argsSize_(ParseWindowSize(rendererArgs)), session_(output), lastStep_(NowSeconds())
{
}

void RendererHost::SetActive(bool active)
{
    active_ = active;
}

WindowSize RendererHost::CurrentSize() const
{
    RECT rect;
    if (GetClientRect(window_, &rect) && rect.right > 0 && rect.bottom > 0)
        return {rect.right, rect.bottom};
    return argsSize_;
}

DWORD RendererHost::Step()
{
    double now = NowSeconds();
    // Time spent paused does not move the scene on, and one late turn never jumps it far ahead.
    double elapsed = std::clamp(now - lastStep_, 0.0, 0.25);
    lastStep_ = now;

    WindowSize size = CurrentSize();
    bool resized = size.width != session_.Frame().Width() || size.height != session_.Frame().Height();
    session_.Resize(size.width, size.height);

    if (!active_) {
        if (resized || !drawn_) {
            session_.RenderFrame();
            drawn_ = true;
            lastPresent_ = now - 1;
        }
        // The browser may paint over the window at any time; put the still picture back now and then.
        if (now - lastPresent_ >= kPausedRepaintMs / 1000.0) {
            PresentFrame(window_, session_.Frame());
            lastPresent_ = now;
        }
        return kPausedPollMs;
    }

    session_.AdvanceTime(elapsed);
    pointer_.Poll(window_, session_);
    if (now >= nextFrame_ || resized) {
        session_.RenderFrame();
        PresentFrame(window_, session_.Frame());
        ++frames_;
        drawn_ = true;
        lastPresent_ = now;
        // Keep a steady cadence, but after a stall start afresh instead of racing to catch up.
        nextFrame_ += kFrameMs / 1000.0;
        if (nextFrame_ < now)
            nextFrame_ = now + kFrameMs / 1000.0;
    }
    double wait = (nextFrame_ - NowSeconds()) * 1000.0;
    return static_cast<DWORD>(std::clamp(wait, 0.0, double(kInputPollMs)));
}

}  // namespace orb
