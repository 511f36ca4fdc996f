#include "TextFiles.h"

#include <windows.h>

#include <fstream>
#include <iterator>

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
