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

std::wstring AnsiToWide(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::wstring WidePath(const std::string& path)
{
    // A file that is not there (yet) still lies in folders the user knows by their long names.
    const std::wstring wide = AnsiToWide(path);
    for (size_t end = wide.size(); end != std::wstring::npos && end > 0; end = wide.find_last_of(L"\\/", end - 1)) {
        const std::wstring prefix = wide.substr(0, end);
        const std::wstring longForm =
            WideText([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(prefix.c_str(), buffer, size); });
        if (!longForm.empty()) return longForm + wide.substr(end);
    }
    return wide;
}

std::string AnsiPath(const std::wstring& path)
{
    // CP_ACP itself would hide a UTF-8 code page from the choice of flags above.
    const unsigned codePage = GetACP();
    std::string ansi;
    if (path.empty() || ToCodePage(path, codePage, ansi)) return ansi;
    // Only the folders and the file the code page cannot spell go by their short names: a
    // file keeps its own name (and its own extension, which a short name may cut) wherever
    // it lies.
    ansi.clear();
    for (size_t begin = 0; begin <= path.size();) {
        size_t end = path.find_first_of(L"\\/", begin);
        if (end == std::wstring::npos) end = path.size();
        std::string part;
        if (!ToCodePage(path.substr(begin, end - begin), codePage, part)) {
            const std::wstring prefix = path.substr(0, end);
            const std::wstring shortForm =
                WideText([&](wchar_t* buffer, DWORD size) { return GetShortPathNameW(prefix.c_str(), buffer, size); });
            const size_t cut = shortForm.find_last_of(L"\\/");
            if (shortForm.empty() || !ToCodePage(shortForm.substr(cut + 1), codePage, part)) return std::string();
        }
        ansi += part;
        if (end < path.size()) ansi += static_cast<char>(path[end]);
        begin = end + 1;
    }
    return ansi;
}

const LeadBytes& AnsiLeadBytes()
{
    // A process keeps its ANSI code page for its whole life.
    static const LeadBytes lead = [] {
        LeadBytes read;
        CPINFO info = {};
        if (!GetCPInfo(CP_ACP, &info)) return read;
        for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
            read.AddRange(info.LeadByte[i], info.LeadByte[i + 1]);
        }
        return read;
    }();
    return lead;
}

std::string AnsiTempFolder()
{
    return AnsiPath(WideText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); }));
}
