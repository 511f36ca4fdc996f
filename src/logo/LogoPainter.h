// What an instance shows when no renderer can run: the logo bitmap scaled into its window,
// white bands around it, and the version text under it when there is room.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

class LogoPainter {
public:
    // The bitmap comes from the plug-in library's resources; none paints white.
    explicit LogoPainter(HINSTANCE module);
    LogoPainter(const LogoPainter&) = delete;
    LogoPainter& operator=(const LogoPainter&) = delete;

    void Paint(HDC hdc, RECT area);

    // The font the version text was last drawn with, made on the first paint with text.
    const LOGFONTA& Font() const { return font; }
    bool FontReady() const { return fontReady; }

private:
    GdiObject<HBITMAP> bitmap;
    LOGFONTA font{};
    bool fontReady = false;
};
