// A 32-bit top-down picture (0x00RRGGBB words) of width x height: drawn by paint when one
// is given, else copied from source at (x, y). Empty for an empty size.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

std::vector<DWORD> Capture(HDC source, int x, int y, int width, int height,
                           const std::function<void(HDC)>& paint = nullptr);

// How many colours the part [left, right) x [top, bottom) of a window shows on screen, or its
// whole client area: an empty area or a logo shows a handful, a drawn scene (gradients, lit
// faces) hundreds.
size_t Colours(HWND window, int left, int top, int right, int bottom);
size_t Colours(HWND window);
constexpr size_t kDrawn = 40;

SIZE ClientSize(HWND window);
