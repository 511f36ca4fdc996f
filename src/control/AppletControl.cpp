#include "control/AppletControl.h"

#include <olectl.h>

#include <cstdio>
#include <new>

#include "browser/BrowserServices.h"
#include "control/ControlClassId.h"
#include "control/ControlFetcher.h"
#include "control/ControlRegistration.h"
#include "control/PropertyBagReader.h"
#include "control/TextConversion.h"
#include "settings/InstalledParamFile.h"

namespace {

// What a container is told before it gives a size: the plug-in's default embed, 160x120
// pixels at 96 dots per inch, in HIMETRIC.
constexpr LONG kDefaultWidthHimetric = 160 * 2540 / 96;
constexpr LONG kDefaultHeightHimetric = 120 * 2540 / 96;

std::string SubjectOf(const void* control)
{
    char subject[32];
    std::snprintf(subject, sizeof subject, "control %p", control);
    return subject;
}

}  // namespace

AppletControl* AppletControl::Create()
{
    return new (std::nothrow) AppletControl();
}

AppletControl::AppletControl() : logo_(ModuleHandle())
{
    extent_ = {kDefaultWidthHimetric, kDefaultHeightHimetric};
    ApplyInstalledParamFile(settings_);
    fetcher_ = new ControlFetcher(this, SubjectOf(this));
}

AppletControl::~AppletControl()
{
    StopSession();
    fetcher_->Detach();
    fetcher_->Release();
}

STDMETHODIMP AppletControl::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) {
        *object = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
        *object = static_cast<IOleInPlaceObject*>(this);
    } else if (iid == IID_IOleInPlaceActiveObject) {
        *object = static_cast<IOleInPlaceActiveObject*>(this);
    } else if (iid == IID_IViewObject || iid == IID_IViewObject2) {
        *object = static_cast<IViewObject2*>(this);
    } else if (iid == IID_IPersist || iid == IID_IPersistPropertyBag) {
        *object = static_cast<IPersistPropertyBag*>(this);
    } else if (iid == IID_IPersistStreamInit) {
        *object = static_cast<IPersistStreamInit*>(this);
    } else if (iid == IID_IObjectSafety) {
        *object = static_cast<IObjectSafety*>(this);
    } else if (iid == IID_IOleControl) {
        *object = static_cast<IOleControl*>(this);
    } else if (iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
    } else if (iid == IID_IQuickActivate) {
        *object = static_cast<IQuickActivate*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) AppletControl::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

STDMETHODIMP_(ULONG) AppletControl::Release()
{
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) {
        // The destructor's own holds on the way out must not bring the count to 0 again.
        references_ = 1;
        delete this;
    }
    return static_cast<ULONG>(left);
}

// ---- IOleObject

STDMETHODIMP AppletControl::SetClientSite(IOleClientSite* site)
{
    site_ = ComRef<IOleClientSite>::Share(site);
    return S_OK;
}

STDMETHODIMP AppletControl::GetClientSite(IOleClientSite** site)
{
    if (!site) return E_POINTER;
    *site = site_.Get();
    if (*site) (*site)->AddRef();
    return S_OK;
}

STDMETHODIMP AppletControl::Close(DWORD)
{
    SelfHold hold(this);
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

STDMETHODIMP AppletControl::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (!moniker) return E_POINTER;
    *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP AppletControl::GetClipboardData(DWORD, IDataObject** data)
{
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP AppletControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT)
{
    if (site && !site_) site_ = ComRef<IOleClientSite>::Share(site);
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return ActivateInPlace();
    case OLEIVERB_HIDE:
        if (window_.Handle()) ShowWindow(window_.Handle(), SW_HIDE);
        return S_OK;
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP AppletControl::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (verbs) *verbs = nullptr;
    return OLEOBJ_E_NOVERBS;
}

STDMETHODIMP AppletControl::GetUserClassID(CLSID* classId)
{
    return GetClassID(classId);
}

STDMETHODIMP AppletControl::GetUserType(DWORD, LPOLESTR* userType)
{
    if (userType) *userType = nullptr;
    return OLE_S_USEREG;
}

STDMETHODIMP AppletControl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP AppletControl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP AppletControl::Advise(IAdviseSink* sink, DWORD* connection)
{
    if (!adviseHolder_ && FAILED(CreateOleAdviseHolder(adviseHolder_.Receive()))) return E_OUTOFMEMORY;
    return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP AppletControl::Unadvise(DWORD connection)
{
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP AppletControl::EnumAdvise(IEnumSTATDATA** advises)
{
    if (!advises) return E_POINTER;
    *advises = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advises) : S_OK;
}

STDMETHODIMP AppletControl::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status) return E_POINTER;
    *status = kControlMiscStatus;
    return S_OK;
}

// ---- IViewObject2

STDMETHODIMP AppletControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdc, LPCRECTL bounds,
                                 LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!hdc) return E_INVALIDARG;
    // A still picture for printing, thumbnails and windowless drawing: the logo.
    RECT area;
    if (bounds) {
        area = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    } else if (!window_.Handle() || !GetClientRect(window_.Handle(), &area)) {
        return E_INVALIDARG;
    }
    logo_.Paint(hdc, area);
    return S_OK;
}

STDMETHODIMP AppletControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    viewAspects_ = aspects;
    viewFlags_ = flags;
    viewSink_ = ComRef<IAdviseSink>::Share(sink);
    return S_OK;
}

STDMETHODIMP AppletControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_.Get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP AppletControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

// ---- persistence

STDMETHODIMP AppletControl::GetClassID(CLSID* classId)
{
    if (!classId) return E_POINTER;
    *classId = CLSID_OrbolanthControl;
    return S_OK;
}

STDMETHODIMP AppletControl::InitNew()
{
    return Initialise(nullptr);
}

STDMETHODIMP AppletControl::Load(IPropertyBag* bag, IErrorLog* errorLog)
{
    if (!bag) return E_POINTER;
    if (initialised_) return CO_E_ALREADYINITIALIZED;
    const ParameterPairs pairs = ReadPropertyBag(bag, errorLog);
    return Initialise(&pairs);
}

HRESULT AppletControl::Initialise(const ParameterPairs* pairs)
{
    if (initialised_) return CO_E_ALREADYINITIALIZED;
    initialised_ = true;
    if (pairs) {
        for (const auto& pair : *pairs) settings_.ApplyParameter(pair.first.c_str(), pair.second.c_str());
    }
    readyState_ = READYSTATE_COMPLETE;
    return S_OK;
}

// ---- IObjectSafety

STDMETHODIMP AppletControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled) return E_POINTER;
    *supported = 0;
    *enabled = 0;
    if (iid == IID_IPersistPropertyBag || iid == IID_IPersistStreamInit || iid == IID_IPersist) {
        *supported = INTERFACESAFE_FOR_UNTRUSTED_DATA;
        *enabled = safety_;
        return S_OK;
    }
    IUnknown* probe = nullptr;
    if (FAILED(QueryInterface(iid, reinterpret_cast<void**>(&probe)))) return E_NOINTERFACE;
    probe->Release();
    return S_OK;
}

STDMETHODIMP AppletControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled)
{
    const DWORD asked = mask & enabled;
    if (iid == IID_IPersistPropertyBag || iid == IID_IPersistStreamInit || iid == IID_IPersist) {
        if (asked & ~static_cast<DWORD>(INTERFACESAFE_FOR_UNTRUSTED_DATA)) return E_FAIL;
        safety_ = (safety_ & ~mask) | asked;
        return S_OK;
    }
    // No interface of ours may be driven by a page's script.
    return asked == 0 ? S_OK : E_FAIL;
}

// ---- IOleControl

STDMETHODIMP AppletControl::GetControlInfo(CONTROLINFO* info)
{
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

// ---- IDispatch

STDMETHODIMP AppletControl::GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP AppletControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids) return E_POINTER;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
        if (names[i] && _wcsicmp(names[i], L"readyState") == 0 && i == 0) {
            ids[i] = DISPID_READYSTATE;
        } else {
            ids[i] = DISPID_UNKNOWN;
            result = DISP_E_UNKNOWNNAME;
        }
    }
    return result;
}

STDMETHODIMP AppletControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*)
{
    if (id != DISPID_READYSTATE) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    VariantInit(result);
    result->vt = VT_I4;
    result->lVal = readyState_;
    return S_OK;
}

// ---- IQuickActivate

STDMETHODIMP AppletControl::QuickActivate(QACONTAINER* container, QACONTROL* control)
{
    if (!container || !control) return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) return E_INVALIDARG;
    SetClientSite(container->pClientSite);
    if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    control->dwMiscStatus = kControlMiscStatus;
    control->dwViewStatus = VIEWSTATUS_OPAQUE;
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
}

STDMETHODIMP AppletControl::SetContentExtent(LPSIZEL size)
{
    return SetExtent(DVASPECT_CONTENT, size);
}

STDMETHODIMP AppletControl::GetContentExtent(LPSIZEL size)
{
    return GetExtent(DVASPECT_CONTENT, size);
}
