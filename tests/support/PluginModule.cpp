#include "PluginModule.h"

std::string PluginDllPath()
{
    return ORB_BUILD_DIR "/src/npOrbolanth.dll";
}

std::string RendererExePath()
{
    return ORB_BUILD_DIR "/renderer/orbrenderer.exe";
}

PluginModule::PluginModule(const std::string& path)
{
    module_ = LoadLibraryA(path.c_str());
    if (!module_) return;
    getEntryPoints = reinterpret_cast<NP_GetEntryPointsProc>(GetProcAddress(module_, "NP_GetEntryPoints"));
    initialize = reinterpret_cast<NP_InitializeProc>(GetProcAddress(module_, "NP_Initialize"));
    shutdown = reinterpret_cast<NP_ShutdownProc>(GetProcAddress(module_, "NP_Shutdown"));
}

PluginModule::~PluginModule()
{
    if (module_) FreeLibrary(module_);
}
