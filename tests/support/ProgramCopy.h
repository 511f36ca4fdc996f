// A copy of a program in a folder of its own in the temp folder, for paths with spaces as
// a user's installation may have them; the copy and the folder go with the object, however
// the test ends.
#pragma once

#include <windows.h>

#include <string>

class ProgramCopy {
public:
    ProgramCopy(const std::string& program, const std::string& folderName, const std::string& fileName)
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + folderName;
        path_ = folder_ + "\\" + fileName;
        CreateDirectoryA(folder_.c_str(), nullptr);
        copied_ = CopyFileA(program.c_str(), path_.c_str(), FALSE) != FALSE;
    }
    ~ProgramCopy()
    {
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    bool Copied() const { return copied_; }
    const std::string& Path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
    bool copied_ = false;
};
