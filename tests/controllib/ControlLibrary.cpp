#include "ControlLibrary.h"

std::string ControlDllPath()
{
    return ORB_BUILD_DIR "/src/OrbolanthControl.dll";
}

namespace {

template <typename T>
void Find(HMODULE module, const char* name, T& function)
{
    function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

ControlLibrary::ControlLibrary() : module_(LoadLibraryA(ControlDllPath().c_str()))
{
    if (!module_) return;
    Find(module_.Get(), "DllCanUnloadNow", canUnloadNow);
    Find(module_.Get(), "DllRegisterServer", registerServer);
    Find(module_.Get(), "DllUnregisterServer", unregisterServer);
}

ControlLibrary::~ControlLibrary()
{
    if (unregisterServer) unregisterServer();
}
