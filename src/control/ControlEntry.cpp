#include "control/ControlEntry.h"

#include "browser/BrowserServices.h"
#include "control/ClassFactory.h"
#include "control/ControlClassId.h"
#include "control/ControlModule.h"
#include "control/ControlRegistry.h"

#include <olectl.h>

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID classId, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (classId != CLSID_OrbolanthControl) return CLASS_E_CLASSNOTAVAILABLE;
    return TheClassFactory().QueryInterface(iid, object);
}

extern "C" HRESULT __stdcall DllCanUnloadNow(void)
{
    return ControlModule::CanUnload() ? S_OK : S_FALSE;
}

extern "C" HRESULT __stdcall DllRegisterServer(void)
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(ModuleHandle(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
    return RegisterControl(path);
}

extern "C" HRESULT __stdcall DllUnregisterServer(void)
{
    return UnregisterControl();
}
