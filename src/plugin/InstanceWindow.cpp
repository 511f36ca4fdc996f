// The browser's child window, subclassed while the instance is attached to it: paint and
// erase go to the logo painter, timers, focus and destruction to the session driver.
#include "plugin/PluginInstance.h"
#include "streams/StreamManager.h"

void PluginInstance::AttachWindow(NPWindow* window)
{
    if (browserWindow) DetachWindow();
    browserWindow = window;
    hwnd = static_cast<HWND>(window->window);
    previousWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&InstanceWndProc)));
    SetPropA(hwnd, kInstanceProperty, this);
    EnableWindow(hwnd, TRUE);
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    if (!sessionStarted) {
        sessionStarted = true;
        streams->AddRef();
        session.StartSession(hwnd, streams);
    }
}

void PluginInstance::DetachWindow()
{
    if (!browserWindow) {
        hwnd = nullptr;
        return;
    }
    if (!stopSent) {
        stopSent = true;
        session.ShutDownRenderer(hwnd);
    }
    if (IsWindow(hwnd)) {
        RemovePropA(hwnd, kInstanceProperty);
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousWndProc));
    }
    previousWndProc = nullptr;
    hwnd = nullptr;
    browserWindow = nullptr;
}

void PluginInstance::RefreshWindow(NPWindow* window)
{
    if (IsWindow(hwnd)) {
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateWindow(hwnd);
    }
    browserWindow = window;
}

LRESULT CALLBACK PluginInstance::InstanceWndProc(HWND hwnd, UINT message, WPARAM wParam,
                                                 LPARAM lParam)
{
    PluginInstance* self = static_cast<PluginInstance*>(GetPropA(hwnd, kInstanceProperty));
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
    Hold hold(self);
    // Captured now: a detach during the message restores the window and clears ours.
    const WNDPROC previous = self->previousWndProc;

    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC hdc = BeginPaint(hwnd, &paint);
        self->session.PaintWindow(hwnd, hdc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DESTROY:
        if (!self->stopSent) {
            self->stopSent = true;
            return self->session.ShutDownRenderer(hwnd);
        }
        break;
    case WM_SETFOCUS:
        return self->session.OnFocus(hwnd);
    case WM_ERASEBKGND:
        return self->session.OnEraseBackground();
    case WM_TIMER:
        self->streams->SweepPendingRequests();
        if (self->session.OnRendererTimer(hwnd, wParam)) return 0;
        break;
    default:
        if (message != ServiceSoonMessage()) break;
        self->serviceSoonPosted = false;
        if (!self->stopSent) self->session.ServiceNow(hwnd);
        return 0;
    }
    return CallWindowProcA(previous, hwnd, message, wParam, lParam);
}

UINT PluginInstance::ServiceSoonMessage()
{
    static const UINT message = RegisterWindowMessageA("OrbolanthServiceSoon");
    return message;
}

void PluginInstance::ServiceSoon()
{
    if (serviceSoonPosted || !hwnd) return;
    serviceSoonPosted = PostMessageA(hwnd, ServiceSoonMessage(), 0, 0) != FALSE;
}
