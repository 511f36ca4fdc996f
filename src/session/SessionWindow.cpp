#include "session/SessionWindow.h"

#include "session/SessionDriver.h"

bool SessionWindow::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC hdc = BeginPaint(hwnd, &paint);
        session_.PaintWindow(hwnd, hdc);
        EndPaint(hwnd, &paint);
        return true;
    }
    case WM_DESTROY:
        // Whoever made the window sees it too, after us: it may have its own to let go of.
        Stop(hwnd);
        return false;
    case WM_SETFOCUS:
        result = session_.OnFocus(hwnd);
        return true;
    case WM_LBUTTONUP:
        return !stopped_ && session_.OnClick(hwnd);
    case WM_ERASEBKGND:
        result = session_.OnEraseBackground();
        return true;
    case WM_TIMER:
        return !stopped_ && session_.OnRendererTimer(hwnd, wParam);
    default:
        if (message != ServiceSoonMessage()) return false;
        serviceSoonPosted_ = false;
        if (!stopped_) session_.ServiceNow(hwnd);
        return true;
    }
}

void SessionWindow::Stop(HWND hwnd)
{
    if (stopped_) return;
    stopped_ = true;
    session_.ShutDownRenderer(hwnd);
}

UINT SessionWindow::ServiceSoonMessage()
{
    static const UINT message = RegisterWindowMessageA("OrbolanthServiceSoon");
    return message;
}

void SessionWindow::ServiceSoon(HWND hwnd)
{
    if (serviceSoonPosted_ || !hwnd) return;
    serviceSoonPosted_ = PostMessageA(hwnd, ServiceSoonMessage(), 0, 0) != FALSE;
}
