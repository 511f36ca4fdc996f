// The line that tells, for a few seconds after full screen begins, how to leave it: a small
// window over the applet, owned by the frame, that never takes the focus from the applet.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

class FullscreenHint {
public:
    static constexpr UINT kShownMs = 4000;
    static constexpr char kText[] = "Press Esc or F11 to leave full screen";

    // Shows the hint at the top of `screen`, over `owner`; the owner hides it after kShownMs.
    void Show(HWND owner, const RECT& screen);
    void Hide() { window_.Reset(); }

private:
    OwnedWindow window_;
};
