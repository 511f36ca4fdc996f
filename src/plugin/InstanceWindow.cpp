// The browser's child window, subclassed while the instance is attached to it: its session's
// messages go to the SessionWindow, the rest to the browser's procedure.
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
    sessionWindow.Stop(hwnd);
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

    // The sweep may send waiting requests to the browser, which may close the page in there.
    if (message == WM_TIMER) self->streams->SweepPendingRequests();
    LRESULT result = 0;
    if (self->sessionWindow.Dispatch(hwnd, message, wParam, lParam, result)) return result;
    return CallWindowProcA(previous, hwnd, message, wParam, lParam);
}

void PluginInstance::ServiceSoon()
{
    sessionWindow.ServiceSoon(hwnd);
}
