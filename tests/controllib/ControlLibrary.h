// The built control library, loaded as COM loads it, registered in the test prefix's
// registry for the test's length, with the scripted renderer installed as the renderer.
#pragma once

#include <windows.h>

#include <string>

#include "ConfigurationKey.h"
#include "base/UniqueHandle.h"

std::string ControlDllPath();

class ControlLibrary {
public:
    ControlLibrary();
    ~ControlLibrary();  // unregisters; COM gives back the libraries it loaded
    ControlLibrary(const ControlLibrary&) = delete;
    ControlLibrary& operator=(const ControlLibrary&) = delete;

    bool Loaded() const { return module_ && canUnloadNow && registerServer && unregisterServer; }
    HRESULT Register() { return registerServer(); }
    HRESULT Unregister() { return unregisterServer(); }
    bool CanUnloadNow() { return canUnloadNow() == S_OK; }

    HRESULT(__stdcall* canUnloadNow)() = nullptr;
    HRESULT(__stdcall* registerServer)() = nullptr;
    HRESULT(__stdcall* unregisterServer)() = nullptr;

private:
    LoadedModule module_;
};
