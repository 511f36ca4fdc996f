#include "PluginLibrary.h"

#include <vector>

#include "base/AnsiPath.h"

PluginLibrary::PluginLibrary(const std::string& path)
{
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, previous);
    const size_t slash = AnsiLeadBytes().LastSeparator(path);
    if (slash != std::string::npos) SetCurrentDirectoryA(path.substr(0, slash).c_str());
    module_.Reset(LoadLibraryA(path.c_str()));
    loadError_ = module_ ? 0 : GetLastError();
    SetCurrentDirectoryA(previous);
    if (!module_) return;
    HMODULE module = module_.Get();
    getEntryPoints = reinterpret_cast<NP_GetEntryPointsProc>(GetProcAddress(module, "NP_GetEntryPoints"));
    initialize = reinterpret_cast<NP_InitializeProc>(GetProcAddress(module, "NP_Initialize"));
    shutdown = reinterpret_cast<NP_ShutdownProc>(GetProcAddress(module, "NP_Shutdown"));
}

std::string PluginLibrary::VersionString(const std::string& path, const char* key)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return "";
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return "";
    std::string query = std::string("\\StringFileInfo\\040904e4\\") + key;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value) {
        return "";
    }
    return std::string(value, strnlen(value, length));
}

PluginRegistration PluginLibrary::ReadRegistration(const std::string& path)
{
    return PluginRegistration(VersionString(path, "MIMEType"), VersionString(path, "FileExtents"));
}
