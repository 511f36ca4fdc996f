#include "WindowPicture.h"

bool WindowPicture::Size(HDC like, int width, int height)
{
    if (bitmap_ && width == width_ && height == height_) return true;
    if (dc_ && original_) SelectObject(dc_.Get(), original_);
    bitmap_.Reset();
    bits_ = nullptr;
    if (!dc_) dc_.Reset(CreateCompatibleDC(like));
    if (!dc_) return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_.Reset(CreateDIBSection(like, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_) return false;
    bits_ = static_cast<uint8_t*>(bits);
    original_ = SelectObject(dc_.Get(), bitmap_.Get());
    width_ = width;
    height_ = height;
    return true;
}

bool WindowPicture::Take(HWND window, Source source)
{
    RECT client = {};
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return false;
    POINT origin = {0, 0};
    HWND owner = window;
    if (source == Source::kScreen) {
        ClientToScreen(window, &origin);
        owner = nullptr;
    }
    // Children included: the plug-in's windows inside the area are part of its picture.
    const WindowDc dc(owner ? GetDCEx(owner, nullptr, DCX_CACHE) : GetDC(nullptr), WindowDcTraits{owner});
    if (!dc || !Size(dc.Get(), client.right, client.bottom)) return false;
    if (!BitBlt(dc_.Get(), 0, 0, width_, height_, dc.Get(), origin.x, origin.y, SRCCOPY)) return false;
    GdiFlush();
    for (size_t at = 3; at < Bytes(); at += 4) bits_[at] = 0xFF;
    return true;
}
