#include "Capture.h"

#include <set>

#include "base/UniqueHandle.h"
#include "base/TopDownBitmap.h"

std::vector<DWORD> Capture(HDC source, int x, int y, int width, int height, const std::function<void(HDC)>& paint)
{
    if (width <= 0 || height <= 0) return {};
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    void* bits = nullptr;
    // The bitmap outlives the device context it is selected into.
    const GdiObject<HBITMAP> section(CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const MemoryDc memory(CreateCompatibleDC(source));
    HGDIOBJ previous = SelectObject(memory.Get(), section.Get());
    if (paint) {
        paint(memory.Get());
    } else {
        BitBlt(memory.Get(), 0, 0, width, height, source, x, y, SRCCOPY);
    }
    GdiFlush();
    const DWORD* words = static_cast<const DWORD*>(bits);
    std::vector<DWORD> pixels(words, words + static_cast<size_t>(width) * height);
    for (DWORD& word : pixels) word &= 0x00FFFFFF;
    SelectObject(memory.Get(), previous);
    return pixels;
}

size_t Colours(HWND window, int left, int top, int right, int bottom)
{
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const WindowDc screen(GetDC(nullptr));
    const std::vector<DWORD> pixels = Capture(screen.Get(), origin.x + left, origin.y + top, right - left, bottom - top);
    return std::set<DWORD>(pixels.begin(), pixels.end()).size();
}

size_t Colours(HWND window)
{
    const SIZE size = ClientSize(window);
    return Colours(window, 0, 0, size.cx, size.cy);
}

SIZE ClientSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}
