// The browser's own folder under %TEMP% (<program>-<process id>) for the files it hands to
// NPP_StreamAsFile. The files stay until the program exits, as a browser cache would keep
// them, unless deleted earlier; then the folder goes.
#pragma once

#include <string>
#include <vector>

// A path the wide calls take whatever its length ("\\?\" prefixed).
std::wstring LongPath(const std::string& path);

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder this process's files go to (it is made with the first of them); empty when
    // the temporary folder has no ANSI name.
    static std::string ProcessFolder();

    // The path of <folder>\<subfolder>\<fileName>, or with `deep` one folder further down
    // whose name takes the path past 260 characters, its folders made; empty on failure.
    // The file is the caller's to write, and goes with the folder.
    std::string Reserve(const std::string& subfolder, const std::string& fileName, bool deep);
    // Writes `bytes` into the file reserved as <streamId>\<fileName>; the path, or empty on failure.
    std::string Store(int streamId, const std::string& fileName, const std::string& bytes, bool deep);
    // Deletes a stored file now, as browsers of later years do once its stream is over.
    bool Delete(const std::string& path);

private:
    bool MakeFolder(const std::string& folder);

    std::string root_;
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
};
