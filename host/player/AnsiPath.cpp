#include "AnsiPath.h"

#include <windows.h>

#include <vector>

bool AnsiText(const std::wstring& text, std::string& ansi)
{
    ansi.clear();
    if (text.empty()) return true;
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) return false;
    ansi.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()), &ansi[0], size,
                        nullptr, &lossy);
    return !lossy;
}

std::string AnsiPath(const std::wstring& path)
{
    std::string ansi;
    if (AnsiText(path, ansi)) return ansi;
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) return "";
    std::vector<wchar_t> shortName(size);
    if (GetShortPathNameW(path.c_str(), shortName.data(), size) == 0) return "";
    return AnsiText(shortName.data(), ansi) ? ansi : "";
}
