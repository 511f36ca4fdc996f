#include "TestFiles.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "base/UniqueHandle.h"

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string LogFolder(const std::string& area)
{
    const std::string folder = ORB_BUILD_DIR "/tests/" + area + "/logs";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "/";
}

std::vector<std::string> FileNames(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    const FindHandle search(FindFirstFileA((folder + (separated ? "" : "\\") + pattern).c_str(), &found));
    if (!search) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search.Get(), &found));
    return names;
}
