// The plug-in library, loaded the way Windows browsers load one: registration read from
// its version resource first, then LoadLibrary with its folder as the current directory,
// then the three entry points by their plain names. Unloaded when this goes away.
#pragma once

#include <windows.h>

#include <string>

#include "PluginRegistration.h"
#include "base/UniqueHandle.h"
#include "browser/NpapiAbi.h"

class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& path);
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool Loaded() const { return module_ && getEntryPoints && initialize && shutdown; }
    DWORD LoadError() const { return loadError_; }

    // "\StringFileInfo\040904e4\<key>" of the file's version resource; empty when absent.
    static std::string VersionString(const std::string& path, const char* key);
    static PluginRegistration ReadRegistration(const std::string& path);

    NP_GetEntryPointsProc getEntryPoints = nullptr;
    NP_InitializeProc initialize = nullptr;
    NP_ShutdownProc shutdown = nullptr;

private:
    LoadedModule module_;
    DWORD loadError_ = 0;
};
