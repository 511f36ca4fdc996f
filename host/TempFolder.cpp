#include "TempFolder.h"

#include <windows.h>

#include <cstdio>

TempFolder::TempFolder()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "orbhost-" + std::to_string(GetCurrentProcessId());
}

TempFolder::~TempFolder()
{
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) RemoveDirectoryA(it->c_str());
}

std::string TempFolder::Store(int streamId, const std::string& fileName, const std::string& bytes)
{
    if (folders_.empty()) {
        if (!CreateDirectoryA(root_.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return "";
        folders_.push_back(root_);
    }
    // A host that was ended from outside leaves its folders behind, and process ids come
    // round again: a folder that is already there is reused.
    std::string folder = root_ + "\\" + std::to_string(streamId);
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return "";
    folders_.push_back(folder);

    std::string name = fileName.empty() ? "stream" : fileName;
    for (char& c : name) {
        if (std::string("\\/:*?\"<>|").find(c) != std::string::npos || static_cast<unsigned char>(c) < 0x20) {
            c = '_';
        }
    }
    std::string path = folder + "\\" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return "";
    files_.push_back(path);
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fclose(file) == 0 && written;
    return written ? path : "";
}
