#include "PresentFrame.h"

namespace orb {

bool PresentFrame(HWND window, const FrameBuffer& frame)
{
    if (frame.Width() == 0 || frame.Height() == 0)
        return false;
    HDC dc = GetDC(window);
    if (!dc)
        return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = frame.Width();
    info.bmiHeader.biHeight = -frame.Height();  // top-down rows, as the frame keeps them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    int lines = SetDIBitsToDevice(dc, 0, 0, frame.Width(), frame.Height(), 0, 0, 0, frame.Height(),
                                  frame.Pixels(), &info, DIB_RGB_COLORS);
    ReleaseDC(window, dc);
    return lines > 0;
}

}  // namespace orb
