#include "PresentFrame.h"

#include "base/TopDownBitmap.h"
#include "base/UniqueHandle.h"

namespace orb {

namespace {

int CopyFrame(HDC dc, int x, int y, const FrameBuffer& frame)
{
    const BITMAPINFO info = TopDownBitmapInfo(frame.Width(), frame.Height());
    return SetDIBitsToDevice(dc, x, y, frame.Width(), frame.Height(), 0, 0, 0, frame.Height(), frame.Pixels(),
                             &info, DIB_RGB_COLORS);
}

// Under Wine, what another process draws through the DC of a child window never reaches the
// screen; through its top-level window's DC it does. So a child is drawn through its top-level
// window, clipped to the part of the child that is visible.
int CopyThroughTopLevel(HWND window, HWND top, const FrameBuffer& frame)
{
    GdiObject<HRGN> visible;
    bool clipped = false;
    {
        const WindowDc own(GetDC(window), WindowDcTraits{window});
        if (!own)
            return 0;
        visible.Reset(CreateRectRgn(0, 0, 0, 0));
        clipped = visible && GetRandomRgn(own.Get(), visible.Get(), SYSRGN) == 1;  // screen coordinates
    }
    int lines = 0;
    POINT child = {0, 0}, topOrigin = {0, 0};
    ClientToScreen(window, &child);
    ClientToScreen(top, &topOrigin);
    // The children are not cut out of this one.
    const WindowDc dc(clipped ? GetDCEx(top, nullptr, DCX_CACHE) : nullptr, WindowDcTraits{top});
    if (dc) {
        OffsetRgn(visible.Get(), -topOrigin.x, -topOrigin.y);
        SelectClipRgn(dc.Get(), visible.Get());
        lines = CopyFrame(dc.Get(), child.x - topOrigin.x, child.y - topOrigin.y, frame);
    }
    return lines;
}

}  // namespace

bool PresentFrame(HWND window, const FrameBuffer& frame)
{
    if (frame.Width() == 0 || frame.Height() == 0)
        return false;
    HWND top = GetAncestor(window, GA_ROOT);
    if (top && top != window)
        return CopyThroughTopLevel(window, top, frame) > 0;
    const WindowDc dc(GetDC(window), WindowDcTraits{window});
    if (!dc)
        return false;
    return CopyFrame(dc.Get(), 0, 0, frame) > 0;
}

}  // namespace orb
