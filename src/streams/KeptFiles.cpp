#include "streams/KeptFiles.h"

#include <windows.h>

#include <atomic>
#include <utility>

#include "base/AnsiPath.h"
#include "base/AsciiCase.h"

namespace {

std::atomic<unsigned> foldersMade{0};
// Names passed over before giving up: each is a folder of another copy or a leftover.
constexpr unsigned kFolderAttempts = 1000;

}  // namespace

std::string FileNameOf(const std::string& path)
{
    const size_t separator = AnsiLeadBytes().LastSeparator(path);
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    return name.empty() ? "stream" : name;
}

KeptFiles::~KeptFiles()
{
    Clear();
}

bool KeptFiles::MakeFolder()
{
    if (!folder_.empty()) return true;
    // The renderer opens the kept files by their ANSI paths.
    const std::string temp = AnsiTempFolder();
    if (temp.empty()) return false;
    // Only a folder this call creates is ours. Another copy of the plug-in in this process
    // (a second browser's plug-in folder) counts from 1 as well, and an earlier process of
    // the same id may have left its folders: a name already taken is passed over, never
    // shared, so nobody else's file is replaced or deleted here.
    const std::string stem = temp + "orbkeep-" + std::to_string(GetCurrentProcessId()) + "-";
    for (unsigned attempt = 0; attempt < kFolderAttempts; ++attempt) {
        std::string folder = stem + std::to_string(++foldersMade);
        if (CreateDirectoryA(folder.c_str(), nullptr)) {
            folder_ = std::move(folder);
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

std::string KeptFiles::SubfolderPath(size_t index) const
{
    return folder_ + "\\" + std::to_string(index + 1);
}

size_t KeptFiles::SubfolderFor(const std::string& key)
{
    for (size_t i = 0; i < namesIn_.size(); ++i) {
        if (!namesIn_[i].count(key)) return i;
    }
    const std::string path = SubfolderPath(namesIn_.size());
    if (!CreateDirectoryA(path.c_str(), nullptr)) return std::string::npos;
    namesIn_.emplace_back();
    return namesIn_.size() - 1;
}

std::string KeptFiles::Keep(const std::string& browserFile, Method method)
{
    if (browserFile.empty() || !MakeFolder()) return "";
    const std::string name = FileNameOf(browserFile);
    const std::string key = AsciiLowerCase(name);
    const size_t subfolder = SubfolderFor(key);
    if (subfolder == std::string::npos) return "";
    const std::string path = SubfolderPath(subfolder) + "\\" + name;
    // Whoever opens it, the renderer included, may only take paths that fit MAX_PATH;
    // a longer one fails here rather than later.
    if (path.size() >= MAX_PATH) return "";

    // The folder is this object's own since it was made, so the name is free.
    bool done = method != Method::CopyOnly && CreateHardLinkA(path.c_str(), browserFile.c_str(), nullptr);
    if (!done && method != Method::LinkOnly) done = CopyFileA(browserFile.c_str(), path.c_str(), FALSE) != FALSE;
    if (!done) return "";
    namesIn_[subfolder].insert(key);
    files_[path] = {subfolder, key};
    return path;
}

void KeptFiles::Drop(const std::string& keptFile)
{
    auto found = files_.find(keptFile);
    // A file still open somewhere stays kept, its name taken, until Clear tries again.
    if (found == files_.end() || !DeleteFileA(keptFile.c_str())) return;
    namesIn_[found->second.subfolder].erase(found->second.key);
    files_.erase(found);
}

void KeptFiles::Clear()
{
    for (const auto& [path, kept] : files_) DeleteFileA(path.c_str());
    files_.clear();
    for (size_t i = 0; i < namesIn_.size(); ++i) RemoveDirectoryA(SubfolderPath(i).c_str());
    namesIn_.clear();
    if (!folder_.empty()) RemoveDirectoryA(folder_.c_str());
    folder_.clear();
}
