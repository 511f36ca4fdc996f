#include "logo/LogoPainter.h"

#include "OrbolanthVersion.h"
#include "logo/LogoLayout.h"

namespace {

constexpr int kLogoBitmapId = 103;
constexpr char kVersionText[] = "Version " ORB_VERSION_SHORT;

void FillWhite(HDC hdc, int left, int top, int right, int bottom)
{
    RECT band = {left, top, right, bottom};
    FillRect(hdc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

}  // namespace

LogoPainter::LogoPainter(HINSTANCE module)
    : bitmap(LoadBitmapA(module, MAKEINTRESOURCEA(kLogoBitmapId)))
{
}

void LogoPainter::Paint(HDC hdc, RECT area, const char* note)
{
    BITMAP info = {};
    if (bitmap) GetObjectA(bitmap.Get(), sizeof info, &info);
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
    MemoryDc memory(CreateCompatibleDC(hdc));
    HGDIOBJ previousBitmap = SelectObject(memory.Get(), bitmap.Get());
    StretchBlt(hdc, x, y, width, height, memory.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memory.Get(), previousBitmap);
    SetStretchBltMode(hdc, previousMode);

    FillWhite(hdc, area.left, area.top, area.right, y);
    FillWhite(hdc, area.left, y + height, area.right, area.bottom);
    FillWhite(hdc, area.left, area.top, x, area.bottom);
    FillWhite(hdc, x + width, area.top, area.right, area.bottom);

    if (!layout.withText && !note) return;
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(0, 0, 0));
    if (layout.withText) {
        GdiObject<HFONT> textFont(MakeFont(layout.textHeight));
        HGDIOBJ previousFont = SelectObject(hdc, textFont.Get());
        SIZE extent = {};
        GetTextExtentPoint32A(hdc, kVersionText, lstrlenA(kVersionText), &extent);
        RECT text = {static_cast<int>(layout.x + (layout.width - extent.cx) * 0.9),
                     static_cast<int>((layout.y + layout.height) - extent.cy), area.right, area.bottom};
        DrawTextA(hdc, kVersionText, lstrlenA(kVersionText), &text, 0);
        SelectObject(hdc, previousFont);
    }
    if (note) {
        GdiObject<HFONT> noteFont(MakeFont(layout.noteHeight));
        HGDIOBJ previousFont = SelectObject(hdc, noteFont.Get());
        SIZE extent = {};
        GetTextExtentPoint32A(hdc, note, lstrlenA(note), &extent);
        RECT line = {area.left, NoteTop(layout, extent.cy, area.bottom), area.right, area.bottom};
        DrawTextA(hdc, note, lstrlenA(note), &line, DT_CENTER | DT_SINGLELINE);
        SelectObject(hdc, previousFont);
    }
}

HFONT LogoPainter::MakeFont(int height)
{
    if (!fontReady) {
        font = LOGFONTA{};
        font.lfHeight = -14;
        font.lfWeight = FW_BOLD;
        font.lfCharSet = ANSI_CHARSET;
        font.lfQuality = DRAFT_QUALITY;
        lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
        fontReady = true;
    }
    font.lfHeight = height;
    return CreateFontIndirectA(&font);
}
