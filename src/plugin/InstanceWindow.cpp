// The browser's child window, subclassed while the instance is attached to it: paint and
// erase go to the logo painter, timers, focus and destruction to the session driver.
//
// Others may subclass the same window after us (browser add-ons, accessibility tools).
// Their procedure then calls ours, so ours cannot leave the chain before they do: it stays
// in it for the window's whole life and forwards to the procedure it replaced, which the
// window itself remembers, independent of any instance.
#include "plugin/PluginInstance.h"
#include "streams/StreamManager.h"

namespace {

WNDPROC ReplacedProcedure(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(GetPropA(hwnd, kReplacedProcProperty));
}

}  // namespace

void PluginInstance::AttachWindow(NPWindow* window)
{
    if (browserWindow) DetachWindow();
    browserWindow = window;
    hwnd = static_cast<HWND>(window->window);
    // A window we once left subclassed by someone else still has our procedure in its
    // chain; a second one there would call itself through theirs.
    previousWndProc = ReplacedProcedure(hwnd);
    if (!previousWndProc) {
        previousWndProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&InstanceWndProc)));
        SetPropA(hwnd, kReplacedProcProperty, reinterpret_cast<HANDLE>(previousWndProc));
    }
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
        const WNDPROC current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
        if (current == &InstanceWndProc) {
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousWndProc));
            RemovePropA(hwnd, kReplacedProcProperty);
        } else {
            // The window may outlive our instances and the browser's wish to unload us; its
            // chain runs through our code as long as it exists.
            HMODULE module = nullptr;
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                               reinterpret_cast<LPCSTR>(&InstanceWndProc), &module);
        }
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
    // Captured now: a detach during the message may restore the window and drop the property.
    const WNDPROC previous = ReplacedProcedure(hwnd);
    // Only a window torn down under us lacks it; its class procedure is out of reach then.
    if (!previous) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) RemovePropA(hwnd, kReplacedProcProperty);
    PluginInstance* self = static_cast<PluginInstance*>(GetPropA(hwnd, kInstanceProperty));
    if (!self) return CallWindowProcA(previous, hwnd, message, wParam, lParam);
    Hold hold(self);

    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC hdc = BeginPaint(hwnd, &paint);
        self->session.PaintWindow(hwnd, hdc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DESTROY:
        // The browser's procedure sees it too, after us: it may have its own to let go of.
        if (!self->stopSent) {
            self->stopSent = true;
            self->session.ShutDownRenderer(hwnd);
        }
        break;
    case WM_SETFOCUS:
        return self->session.OnFocus(hwnd);
    case WM_LBUTTONUP:
        if (!self->stopSent && self->session.OnClick(hwnd)) return 0;
        break;
    case WM_ERASEBKGND:
        return self->session.OnEraseBackground();
    case WM_TIMER:
        self->streams->SweepPendingRequests();
        // The sweep may have sent waiting requests to the browser, which may have closed the page.
        if (!self->stopSent && self->session.OnRendererTimer(hwnd, wParam)) return 0;
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
