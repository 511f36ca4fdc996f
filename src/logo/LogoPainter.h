// What an instance shows when no renderer can run: the logo bitmap scaled into its window,
// white bands around it, the version text under it when there is room, and optionally one
// line of note below that.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

class LogoPainter {
public:
    // The bitmap comes from the plug-in library's resources; none paints white.
    explicit LogoPainter(HINSTANCE module);
    LogoPainter(const LogoPainter&) = delete;
    LogoPainter& operator=(const LogoPainter&) = delete;

    void Paint(HDC hdc, RECT area, const char* note = nullptr);

    // The font the version text was last drawn with, made on the first paint with text.
    const LOGFONTA& Font() const { return font; }
    bool FontReady() const { return fontReady; }

private:
    // The text font at the given lfHeight; the record is filled on first use.
    HFONT MakeFont(int height);

    GdiObject<HBITMAP> bitmap;
    LOGFONTA font{};
    bool fontReady = false;
};
