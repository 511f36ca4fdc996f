#include "base/AnsiPath.h"

#include <windows.h>

#include <vector>

namespace {

// For the calls that fill a buffer and return the length, or the size they need when the
// buffer is too small; empty when the call fails.
template <typename Call>
std::wstring WideText(Call call)
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) return std::wstring();
    return std::wstring(buffer.data(), length);
}

}  // namespace

bool ToCodePage(const std::wstring& wide, unsigned codePage, std::string& text)
{
    // UTF-8 (a system whose ANSI code page it is) and UTF-7 spell every character, and the
    // conversion refuses both the best-fit flag and the used-default report for them.
    const bool complete = codePage == CP_UTF8 || codePage == CP_UTF7;
    const DWORD flags = complete ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    const int size =
        WideCharToMultiByte(codePage, flags, wide.c_str(), -1, nullptr, 0, nullptr, complete ? nullptr : &lossy);
    if (size == 0 || lossy) return false;
    std::vector<char> buffer(size);
    if (!WideCharToMultiByte(codePage, flags, wide.c_str(), -1, buffer.data(), size, nullptr, nullptr)) return false;
    text.assign(buffer.data());
    return true;
}

std::string AnsiPath(const std::wstring& path)
{
    std::string ansi;
    // CP_ACP itself would hide a UTF-8 code page from the choice of flags above.
    if (path.empty() || ToCodePage(path, GetACP(), ansi)) return ansi;
    const std::wstring shortForm =
        WideText([&](wchar_t* buffer, DWORD size) { return GetShortPathNameW(path.c_str(), buffer, size); });
    if (shortForm.empty() || !ToCodePage(shortForm, GetACP(), ansi)) return std::string();
    return ansi;
}

std::string AnsiTempFolder()
{
    return AnsiPath(WideText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); }));
}
