#include "download/TempFile.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace {

// False when a character has no form in the ANSI code page (the narrow calls would turn it
// into '?' and name a folder that does not exist).
bool ToAnsi(const std::wstring& wide, std::string& ansi)
{
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (size == 0 || lossy) return false;
    std::vector<char> buffer(size);
    if (!WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, buffer.data(), size, nullptr,
                             nullptr)) {
        return false;
    }
    ansi.assign(buffer.data());
    return true;
}

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

// The temporary folder as an ANSI path ending in a backslash; empty when it has none.
std::string AnsiTempFolder()
{
    std::wstring folder = WideText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
    std::string ansi;
    if (folder.empty() || ToAnsi(folder, ansi)) return ansi;
    std::wstring shortForm = WideText(
        [&](wchar_t* buffer, DWORD size) { return GetShortPathNameW(folder.c_str(), buffer, size); });
    // Volumes without short names leave no ANSI path to hand over.
    if (shortForm.empty() || !ToAnsi(shortForm, ansi)) return std::string();
    return ansi;
}

}  // namespace

std::string MakeTempFile()
{
    std::string folder = AnsiTempFolder();
    if (folder.empty()) return std::string();
    std::vector<char> name(std::max<size_t>(folder.size() + 15, MAX_PATH) + 1);
    if (GetTempFileNameA(folder.c_str(), "orb", 0, name.data()) == 0) return std::string();
    return std::string(name.data());
}

bool AppendToFile(const std::string& path, const char* data, size_t size)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !SetFilePointerEx(file.Get(), LARGE_INTEGER{}, nullptr, FILE_END)) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}
