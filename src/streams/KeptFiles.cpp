#include "streams/KeptFiles.h"

#include <windows.h>

#include <atomic>

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

std::string KeptFiles::Keep(const std::string& browserFile, Method method)
{
    if (browserFile.empty() || !MakeFolder()) return "";
    Kept kept;
    kept.subfolder = folder_ + "\\" + std::to_string(++nextSubfolder_);
    if (!CreateDirectoryA(kept.subfolder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return "";
    kept.path = kept.subfolder + "\\" + FileNameOf(browserFile);
    // Whoever opens it, the renderer included, may only take paths that fit MAX_PATH;
    // a longer one fails here rather than later.
    if (kept.path.size() >= MAX_PATH) {
        Delete(kept);
        return "";
    }
    // A folder left by an earlier process of the same id may still hold a file of that name.
    DeleteFileA(kept.path.c_str());

    bool done = method != Method::CopyOnly &&
                CreateHardLinkA(kept.path.c_str(), browserFile.c_str(), nullptr) != FALSE;
    if (!done && method != Method::LinkOnly) done = CopyFileA(browserFile.c_str(), kept.path.c_str(), FALSE) != FALSE;
    if (!done) {
        Delete(kept);
        return "";
    }
    files_.push_back(kept);
    return kept.path;
}

void KeptFiles::Delete(const Kept& kept)
{
    DeleteFileA(kept.path.c_str());
    RemoveDirectoryA(kept.subfolder.c_str());
}

void KeptFiles::Drop(const std::string& keptFile)
{
    for (auto it = files_.begin(); it != files_.end(); ++it) {
        if (it->path != keptFile) continue;
        Delete(*it);
        files_.erase(it);
        return;
    }
}

void KeptFiles::Clear()
{
    for (const Kept& kept : files_) Delete(kept);
    files_.clear();
    if (!folder_.empty()) RemoveDirectoryA(folder_.c_str());
    folder_.clear();
}
