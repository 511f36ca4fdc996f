#include "TempFolder.h"

#include <fstream>

#include <windows.h>

#include "base/UniqueHandle.h"

TempFolder::TempFolder()
{
    static int counter = 0;
    std::string base = std::string(ORB_BUILD_DIR) + "\\renderer-test-files";
    CreateDirectoryA(base.c_str(), nullptr);
    do {
        path_ = base + "\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    } while (!CreateDirectoryA(path_.c_str(), nullptr));
}

TempFolder::~TempFolder()
{
    WIN32_FIND_DATAA found;
    {
        // Closed before the folder goes.
        const FindHandle search(FindFirstFileA((path_ + "\\*").c_str(), &found));
        if (search) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA((path_ + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search.Get(), &found));
        }
    }
    RemoveDirectoryA(path_.c_str());
}

std::string TempFolder::Write(const std::string& name, const std::string& contents) const
{
    std::string path = path_ + "\\" + name;
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}
