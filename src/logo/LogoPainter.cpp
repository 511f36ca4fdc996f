// What the instance's window shows itself: white while a renderer draws in it, the logo
// with its version text when no renderer can run.
#include "activity/ActivityController.h"
#include "logo/LogoLayout.h"
#include "settings/AppletPlayer.h"

namespace {

constexpr char kVersionText[] = "Version 1.3.2";

void FillWhite(HDC hdc, int left, int top, int right, int bottom)
{
    RECT band = {left, top, right, bottom};
    FillRect(hdc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

}  // namespace

LRESULT AppletPlayer::PaintWindow(HWND hwnd, HDC hdc)
{
    if (ActivityController* controller = GetActivityController()) controller->CheckForeground();
    if (IsWindow(hwnd)) {
        RECT client;
        GetClientRect(hwnd, &client);
        if (showLogo) {
            PaintLogo(hdc, client);
        } else {
            FillRect(hdc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        }
    } else {
        RECT clip;
        GetClipBox(hdc, &clip);
        FillRect(hdc, &clip, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    return 0;
}

void AppletPlayer::PaintLogo(HDC hdc, RECT area)
{
    BITMAP info = {};
    if (logoBitmap) GetObjectA(logoBitmap, sizeof info, &info);
    LogoLayout layout = ComputeLogoLayout(info.bmWidth, info.bmHeight, area.left, area.top,
                                          area.right, area.bottom);
    if (!layout.drawable) {
        // Nothing to scale into (or no picture): clear what there is.
        FillWhite(hdc, area.left, area.top, area.right, area.bottom);
        return;
    }

    // The bands meet the pixels actually drawn: measured from the rounded corner and size,
    // a fractional corner would otherwise leave a stale row and column between image and band.
    const int x = static_cast<int>(layout.x), y = static_cast<int>(layout.y);
    const int width = static_cast<int>(layout.width), height = static_cast<int>(layout.height);
    int previousMode = SetStretchBltMode(hdc, COLORONCOLOR);
    HDC memory = CreateCompatibleDC(hdc);
    HGDIOBJ previousBitmap = SelectObject(memory, logoBitmap);
    StretchBlt(hdc, x, y, width, height, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memory, previousBitmap);
    DeleteDC(memory);
    SetStretchBltMode(hdc, previousMode);

    FillWhite(hdc, area.left, area.top, area.right, y);
    FillWhite(hdc, area.left, y + height, area.right, area.bottom);
    FillWhite(hdc, area.left, area.top, x, area.bottom);
    FillWhite(hdc, x + width, area.top, area.right, area.bottom);

    if (!layout.withText) return;
    if (!logoFontReady) {
        logoFont = LOGFONTA{};
        logoFont.lfHeight = -14;
        logoFont.lfWeight = FW_BOLD;
        logoFont.lfCharSet = ANSI_CHARSET;
        logoFont.lfQuality = DRAFT_QUALITY;
        lstrcpynA(logoFont.lfFaceName, "Arial", LF_FACESIZE);
        logoFontReady = true;
    }
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(0, 0, 0));
    logoFont.lfHeight = layout.textHeight;
    HFONT font = CreateFontIndirectA(&logoFont);
    HGDIOBJ previousFont = SelectObject(hdc, font);
    SIZE extent = {};
    GetTextExtentPoint32A(hdc, kVersionText, lstrlenA(kVersionText), &extent);
    RECT text = {static_cast<int>(layout.x + (layout.width - extent.cx) * 0.9),
                 static_cast<int>((layout.y + layout.height) - extent.cy), area.right, area.bottom};
    DrawTextA(hdc, kVersionText, lstrlenA(kVersionText), &text, 0);
    SelectObject(hdc, previousFont);
    DeleteObject(font);
}
