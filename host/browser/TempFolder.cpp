#include "TempFolder.h"

#include <windows.h>

#include "base/AnsiPath.h"
#include "base/UniqueHandle.h"

namespace {

// A folder name long enough to take any path under %TEMP% past MAX_PATH.
constexpr size_t kDeepFolderLength = 240;

// The running program's name without its folder and extension: a folder left behind by a
// program that was ended from outside then says whose it is.
std::string ProgramName()
{
    char path[MAX_PATH] = "";
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, length < MAX_PATH ? length : 0);
    name = name.substr(AnsiLeadBytes().LastSeparator(name) + 1);
    name = name.substr(0, name.rfind('.'));
    return name.empty() ? "browser" : name;
}

}  // namespace

// Paths may pass MAX_PATH (deep files): the wide calls with the "\\?\" prefix take them.
std::wstring LongPath(const std::string& path)
{
    return L"\\\\?\\" + AnsiToWide(path);
}

TempFolder::TempFolder() : root_(ProcessFolder())
{
}

std::string TempFolder::ProcessFolder()
{
    // The stream files are handed to the plug-in by ANSI name.
    const std::string temp = AnsiTempFolder();
    return temp.empty() ? std::string() : temp + ProgramName() + "-" + std::to_string(GetCurrentProcessId());
}

TempFolder::~TempFolder()
{
    for (const std::string& file : files_) DeleteFileW(LongPath(file).c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) RemoveDirectoryW(LongPath(*it).c_str());
}

// A host that was ended from outside leaves its folders behind, and process ids come
// round again: a folder that is already there is reused.
bool TempFolder::MakeFolder(const std::string& folder)
{
    if (!CreateDirectoryW(LongPath(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    folders_.push_back(folder);
    return true;
}

std::string TempFolder::Reserve(const std::string& subfolder, const std::string& fileName, bool deep)
{
    if (folders_.empty() && !MakeFolder(root_)) return "";
    std::string folder = root_ + "\\" + subfolder;
    if (!MakeFolder(folder)) return "";
    if (deep) {
        folder += "\\" + std::string(kDeepFolderLength, 'd');
        if (!MakeFolder(folder)) return "";
    }

    std::string name = fileName.empty() ? "stream" : fileName;
    // By character: the second byte of a double-byte character may be a backslash.
    const LeadBytes lead = AnsiLeadBytes();
    for (size_t i = 0; i < name.size(); i = lead.CharEnd(name, i)) {
        const char c = name[i];
        if (std::string("\\/:*?\"<>|").find(c) != std::string::npos || static_cast<unsigned char>(c) < 0x20) {
            name[i] = '_';
        }
    }
    std::string path = folder + "\\" + name;
    files_.push_back(path);
    return path;
}

std::string TempFolder::Store(int streamId, const std::string& fileName, const std::string& bytes, bool deep)
{
    const std::string path = Reserve(std::to_string(streamId), fileName, deep);
    if (path.empty()) return "";
    FileHandle file(CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "";
    DWORD written = 0;
    const bool ok = bytes.empty() || (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                                nullptr) &&
                                      written == bytes.size());
    return ok ? path : "";
}

bool TempFolder::Delete(const std::string& path)
{
    return DeleteFileW(LongPath(path).c_str()) != FALSE;
}
