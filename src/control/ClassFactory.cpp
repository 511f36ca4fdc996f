#include "control/ClassFactory.h"

#include "activity/ActivityController.h"
#include "control/AppletControl.h"
#include "control/ControlModule.h"

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
