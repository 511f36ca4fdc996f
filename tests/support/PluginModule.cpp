#include "PluginModule.h"

std::string PluginDllPath()
{
    return ORB_BUILD_DIR "/src/npOrbolanth.dll";
}

std::string RendererExePath()
{
    return ORB_RENDERER_EXE;
}

PluginModule::PluginModule(const std::string& path)
{
    module_.Reset(LoadLibraryA(path.c_str()));
    if (!module_) return;
    HMODULE module = module_.Get();
    getEntryPoints = reinterpret_cast<NP_GetEntryPointsProc>(GetProcAddress(module, "NP_GetEntryPoints"));
    initialize = reinterpret_cast<NP_InitializeProc>(GetProcAddress(module, "NP_Initialize"));
    shutdown = reinterpret_cast<NP_ShutdownProc>(GetProcAddress(module, "NP_Shutdown"));
}
