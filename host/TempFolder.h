// The host's own folder under %TEMP% for the files it hands to NPP_StreamAsFile. The files
// stay until the host exits, as a browser cache would keep them; then the folder goes.
#pragma once

#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Writes `bytes` as <folder>\<streamId>\<fileName>; the path, or empty on failure.
    std::string Store(int streamId, const std::string& fileName, const std::string& bytes);

private:
    std::string root_;
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
};
