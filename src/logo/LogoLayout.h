// Where the logo goes in a window: centred, at full size when it fits, otherwise reduced
// by the smallest power of two (at least 2) that makes it fit. Plain C++.
#pragma once

struct LogoLayout {
    bool drawable = false;  // false for an area without width or height
    int shrink = 1;
    double x = 0, y = 0;        // top-left corner of the image
    double width = 0, height = 0;
    bool withText = false;      // the version text is drawn at full and half size only
    int textHeight = 0;         // the font's lfHeight for the version text
    // A note under the version text (a stopped applet's) is never smaller than half size,
    // however small the image: it tells the user what a click does.
    int noteHeight = 0;
};

LogoLayout ComputeLogoLayout(int bitmapWidth, int bitmapHeight, int left, int top, int right,
                             int bottom);

// The top of a note line lineHeight pixels high: right under the image, or, when the area
// has no room left below it, as low as the area allows (over the image).
int NoteTop(const LogoLayout& layout, int lineHeight, int areaBottom);
