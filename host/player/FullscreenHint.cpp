#include "FullscreenHint.h"

void FullscreenHint::Show(HWND owner, const RECT& screen)
{
    constexpr int kWidth = 320;
    constexpr int kHeight = 32;
    constexpr int kFromTop = 24;
    const int x = screen.left + (screen.right - screen.left - kWidth) / 2;
    window_.Reset(CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "STATIC", kText,
                                  WS_POPUP | WS_BORDER | SS_CENTER | SS_CENTERIMAGE, x, screen.top + kFromTop, kWidth,
                                  kHeight, owner, nullptr, GetModuleHandleA(nullptr), nullptr));
    if (window_) ShowWindow(window_.Get(), SW_SHOWNOACTIVATE);
}
