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
    // A tree that does not build the area's tests (the 64-bit one) has no folder for it yet.
    const std::string areaFolder = ORB_BUILD_DIR "/tests/" + area;
    const std::string folder = areaFolder + "/logs";
    CreateDirectoryA(areaFolder.c_str(), nullptr);
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

std::string CacheFile(const std::string& name, const std::string& bytes)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "orbtest-cache-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name;
    std::ofstream file(path, std::ios::binary);
    file << (bytes.empty() ? name : bytes);
    return path;
}

namespace {

void ListUnder(const std::string& root, const std::string& relative, std::vector<std::string>& found)
{
    WIN32_FIND_DATAA entry;
    const FindHandle search(FindFirstFileA((root + relative + "*").c_str(), &entry));
    if (!search) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        found.push_back(relative + name);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListUnder(root, relative + name + "\\", found);
    } while (FindNextFileA(search.Get(), &entry));
}

}  // namespace

std::vector<std::string> TempFiles()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> found;
    ListUnder(temp, "", found);
    return found;
}
