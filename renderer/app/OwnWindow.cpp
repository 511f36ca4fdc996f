#include "OwnWindow.h"

namespace orb {

namespace {

const char kClassName[] = "OrbolanthStandaloneWindow";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        // The frame loop repaints the whole client area; only the invalid region needs clearing.
        ValidateRect(window, nullptr);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

OwnWindow::OwnWindow(int clientWidth, int clientHeight)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    RECT rect = {0, 0, clientWidth, clientHeight};
    DWORD style = WS_OVERLAPPEDWINDOW;
    AdjustWindowRect(&rect, style, FALSE);
    window_.Reset(CreateWindowA(kClassName, "Orbolanth", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr));
    if (window_) {
        ShowWindow(window_.Get(), SW_SHOW);
        UpdateWindow(window_.Get());
    }
}

OwnWindow::~OwnWindow()
{
    // Closing it destroyed it already.
    if (!IsWindow(window_.Get()))
        window_.Release();
}

}  // namespace orb
