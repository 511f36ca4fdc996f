// A window size given on a command line as WxH.
#pragma once

#include <cstdio>
#include <string>

// Nothing larger fits any screen; a larger area only costs the renderer memory.
constexpr int kLargestWindowSide = 16384;

// True, with both sides set, for exactly "<width>x<height>" of sides 1 to kLargestWindowSide.
inline bool ParseWindowSize(const std::string& text, int& width, int& height)
{
    int w = 0, h = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &rest) != 2 || w <= 0 || h <= 0 || w > kLargestWindowSide ||
        h > kLargestWindowSide) {
        return false;
    }
    width = w;
    height = h;
    return true;
}
