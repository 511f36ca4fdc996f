#include "RendererHost.h"

#include "FramePacing.h"
#include "PresentFrame.h"
#include "base/AnsiPath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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
    : argsSize_(ParseWindowSize(rendererArgs)), session_(output, AnsiLeadBytes()), lastStep_(NowSeconds())
{
    fineTimer_.emplace();  // active from the start
    windows_.emplace_back();
    windows_[0].window = window;
}

void RendererHost::SetWindows(const std::vector<WindowEntry>& records)
{
    std::vector<ViewWindow> next;
    next.push_back(std::move(windows_[0]));
    next[0].view.windowName.clear();
    for (const WindowEntry& record : records) {
        HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(record.window));
        if (window == next[0].window) {
            next[0].view.windowName = record.name;
            continue;
        }
        auto listed = [window](const ViewWindow& w) { return w.window == window; };
        if (!window || std::any_of(next.begin(), next.end(), listed) || !IsWindow(window))
            continue;
        auto kept = std::find_if(windows_.begin() + 1, windows_.end(), [&](const ViewWindow& w) {
            return w.window == window && w.view.windowName == record.name;
        });
        if (kept != windows_.end()) {
            next.push_back(std::move(*kept));
        } else {
            next.emplace_back();
            next.back().window = window;
            next.back().view.windowName = record.name;
        }
    }
    windows_ = std::move(next);
}

void RendererHost::SetActive(bool active)
{
    active_ = active;
    if (!active)
        fineTimer_.reset();
    else if (!fineTimer_)
        fineTimer_.emplace();
}

bool RendererHost::LoadSlice()
{
    const unsigned before = session_.Revision();
    const bool more = session_.LoadSlice();
    if (session_.Revision() != before)
        SceneChanged();
    return more;
}

void RendererHost::SceneChanged()
{
    for (ViewWindow& target : windows_)
        target.drawn = false;
}

bool RendererHost::Fit(ViewWindow& target, bool isMain) const
{
    RECT rect;
    WindowSize size = {0, 0};
    if (GetClientRect(target.window, &rect) && rect.right > 0 && rect.bottom > 0)
        size = {rect.right, rect.bottom};
    else if (isMain)
        size = argsSize_;
    FrameBuffer& frame = target.view.frame;
    if (size.width == frame.Width() && size.height == frame.Height())
        return false;
    frame.Resize(size.width, size.height);
    return true;
}

void RendererHost::Draw(ViewWindow& target, double now, bool present)
{
    session_.RenderFrame(target.view);
    target.drawn = true;
    if (present) {
        PresentFrame(target.window, target.view.frame);
        target.lastPresent = now;
    } else {
        target.lastPresent = now - 1;  // present at the next chance
    }
}

DWORD RendererHost::Step()
{
    double now = NowSeconds();
    // Time spent paused does not move the scene on, and one late turn never jumps it far ahead.
    double elapsed = std::clamp(now - lastStep_, 0.0, 0.25);
    lastStep_ = now;

    if (!active_) {
        for (size_t i = 0; i < windows_.size(); ++i) {
            ViewWindow& target = windows_[i];
            if (!IsWindow(target.window))
                continue;
            if (Fit(target, i == 0) || !target.drawn)
                Draw(target, now, false);
            // The browser may paint over a window at any time; put the still picture back now and then.
            if (now - target.lastPresent >= kPausedRepaintMs / 1000.0) {
                PresentFrame(target.window, target.view.frame);
                target.lastPresent = now;
            }
        }
        return kPausedPollMs;
    }

    session_.AdvanceTime(elapsed);
    pointer_.Poll(windows_, session_);
    bool due = now >= nextFrame_;
    for (size_t i = 0; i < windows_.size(); ++i) {
        ViewWindow& target = windows_[i];
        if (!IsWindow(target.window))
            continue;
        if (Fit(target, i == 0) || due || !target.drawn)
            Draw(target, now, true);
    }
    if (due) {
        ++frames_;
        // Keep a steady cadence, but after a stall start afresh instead of racing to catch up.
        const double interval = NextFrameInterval(NowSeconds() - now);
        nextFrame_ += interval;
        if (nextFrame_ < now)
            nextFrame_ = now + interval;
    }
    // Rounded up: a turn that wakes a fraction of a millisecond early would only spin.
    double wait = std::ceil((nextFrame_ - NowSeconds()) * 1000.0);
    return static_cast<DWORD>(std::clamp(wait, 0.0, double(kInputPollMs)));
}

}  // namespace orb
