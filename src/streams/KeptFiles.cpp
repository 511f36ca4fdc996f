#include "streams/KeptFiles.h"

#include <windows.h>

#include <atomic>

#include "base/AsciiCase.h"

namespace {

std::atomic<unsigned> foldersMade{0};

}  // namespace

std::string FileNameOf(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
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
    char temp[MAX_PATH + 1] = "";
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length > MAX_PATH) return false;
    // Process id and a count: instances of one process, and processes, never share one.
    std::string folder = std::string(temp) + "orbkeep-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(++foldersMade);
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    folder_ = folder;
    return true;
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
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return std::string::npos;
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

    auto link = [&] { return CreateHardLinkA(path.c_str(), browserFile.c_str(), nullptr) != FALSE; };
    bool done = false;
    if (method != Method::CopyOnly) {
        done = link();
        // A folder left by an earlier process of the same id may still hold the name.
        if (!done && GetLastError() == ERROR_ALREADY_EXISTS && DeleteFileA(path.c_str())) done = link();
    }
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
