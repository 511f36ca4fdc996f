#include "logo/LogoLayout.h"

#include <cmath>

namespace {

// How many halvings (at least one) bring a ratio's ceiling down to 2 or less.
int Halvings(double ratio)
{
    double t = std::ceil(ratio);
    int n = 1;
    while (t > 2) {
        t /= 2;
        ++n;
    }
    return n;
}

}  // namespace

LogoLayout ComputeLogoLayout(int bitmapWidth, int bitmapHeight, int left, int top, int right,
                             int bottom)
{
    LogoLayout layout;
    double availW = right - left;
    double availH = bottom - top;
    if (availW <= 0 || availH <= 0 || bitmapWidth <= 0 || bitmapHeight <= 0) return layout;
    layout.drawable = true;

    if (bitmapWidth <= availW && bitmapHeight <= availH) {
        layout.shrink = 1;
    } else {
        int n = Halvings(bitmapWidth / availW);
        int nh = Halvings(bitmapHeight / availH);
        if (nh > n) n = nh;
        layout.shrink = 1 << n;
    }
    layout.width = static_cast<double>(bitmapWidth) / layout.shrink;
    layout.height = static_cast<double>(bitmapHeight) / layout.shrink;
    layout.x = left + (availW - layout.width) * 0.5;
    layout.y = top + (availH - layout.height) * 0.5;
    layout.withText = layout.shrink <= 2;
    layout.textHeight = -14 / layout.shrink;
    layout.noteHeight = layout.withText ? layout.textHeight : -7;
    return layout;
}

int NoteTop(const LogoLayout& layout, int lineHeight, int areaBottom)
{
    const int below = static_cast<int>(layout.y + layout.height);
    return below + lineHeight <= areaBottom ? below : areaBottom - lineHeight;
}
