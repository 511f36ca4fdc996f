#include "PointerWatcher.h"

namespace orb {

namespace {

ViewWindow* Find(std::vector<ViewWindow>& windows, HWND window)
{
    for (ViewWindow& w : windows)
        if (w.window == window)
            return &w;
    return nullptr;
}

ViewWindow* Under(std::vector<ViewWindow>& windows, POINT screen)
{
    HWND under = WindowFromPoint(screen);
    for (ViewWindow& w : windows)
        if (under == w.window || IsChild(w.window, under))
            return &w;
    return nullptr;
}

POINT ClientPoint(const ViewWindow& w, POINT screen)
{
    ScreenToClient(w.window, &screen);
    return screen;
}

}  // namespace

void PointerWatcher::Poll(std::vector<ViewWindow>& windows, SceneSession& session)
{
    POINT screen;
    if (!GetCursorPos(&screen))
        return;
    int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    bool down = (GetAsyncKeyState(button) & 0x8000) != 0;
    ViewWindow* over = Under(windows, screen);
    ViewWindow* tracked = tracking_ ? Find(windows, tracking_) : nullptr;
    if (tracking_ && !tracked) {
        // The window the press began in has gone: the press ends with it.
        session.PointerLeft();
        tracking_ = nullptr;
    }
    HWND overWindow = over ? over->window : nullptr;
    bool moved = screen.x != last_.x || screen.y != last_.y || overWindow != wasOver_;

    if (down && !wasDown_) {
        if (over) {
            tracking_ = over->window;
            POINT p = ClientPoint(*over, screen);
            session.PointerPressed(over->view, p.x, p.y);
        }
    } else if (!down && wasDown_) {
        if (tracked) {
            POINT p = ClientPoint(*tracked, screen);
            session.PointerReleased(tracked->view, p.x, p.y);
        }
        tracking_ = nullptr;
    } else if (moved && (tracked || over)) {
        ViewWindow& target = tracked ? *tracked : *over;
        POINT p = ClientPoint(target, screen);
        session.PointerMoved(target.view, p.x, p.y);
    } else if (moved && wasOver_) {
        session.PointerLeft();  // nothing is under the pointer any more
    }
    wasDown_ = down;
    wasOver_ = overWindow;
    last_ = screen;
}

}  // namespace orb
