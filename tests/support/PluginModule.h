// The built plug-in library, loaded as a browser loads it: LoadLibrary, then the three
// entry points by their plain names.
#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"
#include "browser/NpapiAbi.h"

std::string PluginDllPath();     // the built npOrbolanth.dll, as Wine sees it
std::string RendererExePath();   // the built reference renderer

class PluginModule {
public:
    explicit PluginModule(const std::string& path = PluginDllPath());

    bool Loaded() const { return module_ && getEntryPoints && initialize && shutdown; }
    HMODULE Handle() const { return module_.Get(); }

    NP_GetEntryPointsProc getEntryPoints = nullptr;
    NP_InitializeProc initialize = nullptr;
    NP_ShutdownProc shutdown = nullptr;

private:
    LoadedModule module_;
};
