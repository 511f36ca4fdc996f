#pragma once

#include <string>

// A fresh folder under the build tree for one test's files, removed with its contents at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Writes a file (name may hold spaces, not folders) and returns its full path.
    std::string Write(const std::string& name, const std::string& contents) const;

private:
    std::string path_;
};
