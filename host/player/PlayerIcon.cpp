#include "PlayerIcon.h"

#include "PlayerResources.h"

namespace {

// Shared icons stay loaded with the module and are never destroyed: nothing to own.
HICON PlayerIcon(int widthMetric, int heightMetric)
{
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kPlayerIcon), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), LR_SHARED));
}

}  // namespace

void ShowPlayerIcon(HWND window)
{
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(PlayerIcon(SM_CXICON, SM_CYICON)));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(PlayerIcon(SM_CXSMICON, SM_CYSMICON)));
}

void ShowPlayerIconForClass(HWND window)
{
    SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(PlayerIcon(SM_CXICON, SM_CYICON)));
    SetClassLongPtrA(window, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(PlayerIcon(SM_CXSMICON, SM_CYSMICON)));
    ShowPlayerIcon(window);
}
