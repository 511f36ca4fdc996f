#include "PointerWatcher.h"

namespace orb {

void PointerWatcher::Poll(HWND window, SceneSession& session)
{
    POINT screen;
    if (!GetCursorPos(&screen))
        return;
    int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    bool down = (GetAsyncKeyState(button) & 0x8000) != 0;
    HWND under = WindowFromPoint(screen);
    bool over = under == window || IsChild(window, under);
    POINT client = screen;
    ScreenToClient(window, &client);

    if (down && !wasDown_) {
        if (over) {
            tracking_ = true;
            session.PointerPressed(client.x, client.y);
        }
    } else if (!down && wasDown_) {
        if (tracking_)
            session.PointerReleased(client.x, client.y);
        tracking_ = false;
    } else if ((over || tracking_) && (client.x != last_.x || client.y != last_.y)) {
        session.PointerMoved(client.x, client.y);
    } else if (!over && wasOver_ && !tracking_) {
        session.PointerMoved(-1, -1);  // left the window: nothing is under the pointer any more
    }
    wasDown_ = down;
    wasOver_ = over;
    last_ = client;
}

}  // namespace orb
