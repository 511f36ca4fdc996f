#include "control/ControlWindow.h"

#include "browser/BrowserServices.h"

namespace {

constexpr char kWindowClass[] = "OrbolanthControlWindow";

bool RegisterWindowClass(WNDPROC procedure)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExA(ModuleHandle(), kWindowClass, &windowClass)) return true;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ModuleHandle();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExA(&windowClass) != 0;
}

}  // namespace

bool ControlWindow::Create(HWND parent, const RECT& position, const RECT& clip, ControlWindowOwner* owner)
{
    Destroy();
    if (!RegisterWindowClass(&Procedure)) return false;
    hwnd_ = CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                            position.left, position.top, position.right - position.left,
                            position.bottom - position.top, parent, nullptr, ModuleHandle(), owner);
    if (!hwnd_) return false;
    Clip(position, clip);
    return true;
}

void ControlWindow::Move(const RECT& position, const RECT& clip)
{
    if (!hwnd_) return;
    MoveWindow(hwnd_, position.left, position.top, position.right - position.left, position.bottom - position.top,
               TRUE);
    Clip(position, clip);
}

void ControlWindow::Clip(const RECT& position, const RECT& clip)
{
    RECT visible;
    if (!IntersectRect(&visible, &position, &clip)) SetRectEmpty(&visible);
    if (EqualRect(&visible, &position)) {
        SetWindowRgn(hwnd_, nullptr, TRUE);
        return;
    }
    OffsetRect(&visible, -position.left, -position.top);
    // The window owns the region from here on, unless it refused it.
    HRGN region = CreateRectRgnIndirect(&visible);
    if (region && !SetWindowRgn(hwnd_, region, TRUE)) DeleteObject(region);
}

void ControlWindow::Destroy()
{
    HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    if (hwnd && IsWindow(hwnd)) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
}

LRESULT CALLBACK ControlWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* owner = reinterpret_cast<ControlWindowOwner*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    if (!owner) return DefWindowProcA(hwnd, message, wParam, lParam);
    return owner->HandleMessage(hwnd, message, wParam, lParam);
}

void UnregisterControlWindowClass()
{
    UnregisterClassA(kWindowClass, ModuleHandle());
}
