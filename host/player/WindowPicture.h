// Takes the picture of a window as the screen would show it: its client area with whatever its
// children and another process's renderer drew into it, copied into a 32-bit top-down bitmap
// this object owns and reuses. Where the picture is copied from depends on who keeps it:
// Windows' desktop composition keeps every top-level window's whole picture, wherever the
// window is, and the window's own device context reads it; Wine keeps only the drawing of the
// window's own process there, and what another process drew reaches only the screen.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/UniqueHandle.h"

class WindowPicture {
public:
    WindowPicture() = default;
    WindowPicture(const WindowPicture&) = delete;
    WindowPicture& operator=(const WindowPicture&) = delete;

    enum class Source { kWindow, kScreen };

    // False when the window has no client area or the copy failed. kScreen reads the window's
    // place on the screen, so the window must be on it and uncovered.
    bool Take(HWND window, Source source);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // BGRX words, top row first, Width() * 4 bytes a row; the X byte is set to 0xFF.
    const uint8_t* Pixels() const { return bits_; }
    size_t Bytes() const { return static_cast<size_t>(width_) * height_ * 4; }

private:
    MemoryDc dc_;
    GdiObject<HBITMAP> bitmap_;
    HGDIOBJ original_ = nullptr;
    uint8_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;

    bool Size(HDC like, int width, int height);
};
