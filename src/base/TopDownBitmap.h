// The header of a 32-bit device-independent bitmap whose rows run top down: the layout of
// pictures as the renderer, the logo and the native host keep them (0x00RRGGBB words).
#pragma once

#include <windows.h>

inline BITMAPINFO TopDownBitmapInfo(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
