#include "download/TempFile.h"

#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/AnsiPath.h"
#include "base/FetchFolder.h"
#include "base/ProcessIntegrity.h"
#include "base/UniqueHandle.h"

namespace {

// HRESULT IEGetWriteableFolderPath(REFGUID folderId, LPWSTR* path), exported by the browser's
// ieframe.dll from Internet Explorer 7 on; looked up at run time, since a system (or Wine)
// without it must still load the plug-in.
using WriteableFolderPathCall = HRESULT(WINAPI*)(REFGUID, LPWSTR*);

// {352481E8-33BE-4251-BA85-6007CAEDCF9D}: the temporary Internet files, which the browser
// gives a protected process as its low twin.
constexpr GUID kInternetCacheFolder = {0x352481E8, 0x33BE, 0x4251, {0xBA, 0x85, 0x60, 0x07, 0xCA, 0xED, 0xCF, 0x9D}};

std::string BrowserWritableFolder()
{
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    const LoadedModule ieframe(LoadLibraryW((std::wstring(system) + L"\\ieframe.dll").c_str()));
    if (!ieframe) return std::string();
    const auto call = reinterpret_cast<WriteableFolderPathCall>(
        reinterpret_cast<void*>(GetProcAddress(ieframe.Get(), "IEGetWriteableFolderPath")));
    LPWSTR path = nullptr;
    if (!call || FAILED(call(kInternetCacheFolder, &path)) || !path) return std::string();
    std::wstring folder(path);
    CoTaskMemFree(path);
    if (folder.empty()) return std::string();
    if (folder.back() != L'\\') folder += L'\\';
    return AnsiPath(folder);
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string FetchFolder()
{
    return ChooseFetchFolder({ProcessIntegrity(), &BrowserWritableFolder, &IsFolder, AnsiTempFolder()});
}

std::string MakeTempFile(const std::string& folder)
{
    if (folder.empty()) return std::string();
    std::vector<char> name(std::max<size_t>(folder.size() + 15, MAX_PATH) + 1);
    if (GetTempFileNameA(folder.c_str(), "orb", 0, name.data()) == 0) return std::string();
    return std::string(name.data());
}

bool AppendToFile(const std::string& path, const char* data, size_t size)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !SetFilePointerEx(file.Get(), LARGE_INTEGER{}, nullptr, FILE_END)) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}
