#include "control/ClassFactory.h"

#include <string>

#include "activity/ActivityController.h"
#include "base/Trace.h"
#include "control/AppletControl.h"
#include "control/ControlModule.h"
#include "settings/TraceSetting.h"

namespace {

// The trace the plug-in's key turns on, for the controls too; its writer's thread keeps the
// library loaded while it runs, so nothing here needs to stop it.
void StartTraceOnce()
{
    static bool asked = false;
    if (asked) return;
    asked = true;
    std::wstring file;
    if (ConfiguredTraceFile(file) && StartTrace(file)) {
        TraceEvent("control", std::string("first control created, ") + (sizeof(void*) == 8 ? "x86-64" : "i686"));
    }
}

}  // namespace

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    // Controls of this library take turns with each other only, not with a plug-in that
    // the same process may have loaded.
    SetActivityClass("ActiveX");
    StartTraceOnce();
    AppletControl* control = AppletControl::Create();
    if (!control) return E_OUTOFMEMORY;
    const HRESULT result = control->QueryInterface(iid, object);
    control->Release();
    return result;
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock) {
        ControlModule::Lock();
    } else {
        ControlModule::Unlock();
    }
    return S_OK;
}

ClassFactory& TheClassFactory()
{
    static ClassFactory factory;
    return factory;
}
