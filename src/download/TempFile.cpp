#include "download/TempFile.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/AnsiPath.h"
#include "base/UniqueHandle.h"

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
