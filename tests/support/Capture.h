// A 32-bit top-down picture (0x00RRGGBB words) of width x height: drawn by paint when one
// is given, else copied from source at (x, y). Empty for an empty size.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

std::vector<DWORD> Capture(HDC source, int x, int y, int width, int height,
                           const std::function<void(HDC)>& paint = nullptr);
