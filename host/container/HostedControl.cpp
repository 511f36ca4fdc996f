#include "HostedControl.h"

#include <olectl.h>

#include "PageBag.h"

namespace {

std::string ClassText(const CLSID& clsid)
{
    LPOLESTR text = nullptr;
    if (FAILED(StringFromCLSID(clsid, &text))) return "?";
    const std::string narrow = Narrow(text);
    CoTaskMemFree(text);
    return narrow;
}

std::string RegistryText(const std::string& key, const char* value)
{
    char data[256] = "";
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
        return "";
    }
    return data;
}

bool ClassOfType(const std::string& type, CLSID& clsid)
{
    const std::string text = type.empty() ? "" : RegistryText("MIME\\Database\\Content Type\\" + type, "CLSID");
    return !text.empty() && SUCCEEDED(CLSIDFromString(Widen(text).c_str(), &clsid));
}

// Pixels of the screen as HIMETRIC (hundredths of a millimetre), as a container sizes controls.
SIZEL Himetric(const RECT& rect)
{
    const HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return {MulDiv(rect.right - rect.left, 2540, dpiX), MulDiv(rect.bottom - rect.top, 2540, dpiY)};
}

}  // namespace

bool ClassForControl(const PageControl& control, CLSID& clsid, std::string& from)
{
    if (!control.classId.empty()) {
        from = "classid";
        return SUCCEEDED(CLSIDFromString(Widen(control.classId).c_str(), &clsid));
    }
    from = "type";
    if (ClassOfType(control.type, clsid)) return true;
    from = "extension";
    return !control.extension.empty() && ClassOfType(RegistryText(control.extension, "Content Type"), clsid);
}

HostedControl::HostedControl(const ContainerOptions& options, CallLog& log, int instance, HWND page,
                             InPlaceFrame* frame, IMoniker* pageMoniker)
    : options_(options), log_(log), instance_(instance),
      site_(new ControlSite(options, log, instance, page, frame, pageMoniker))
{
}

HostedControl::~HostedControl()
{
    Close();
    site_->Release();
}

HRESULT HostedControl::Logged(const char* call, HRESULT result, const std::string& details)
{
    log_.Line(std::string("> ") + call + " inst=" + std::to_string(instance_) + (details.empty() ? "" : " ") +
              details + " -> " + HresultText(result));
    return result;
}

void HostedControl::SetSite(bool present)
{
    Logged("IOleObject::SetClientSite", object_->SetClientSite(present ? site_ : nullptr),
           present ? "site=given" : "site=(null)");
}

bool HostedControl::QuickActivate(DWORD& misc)
{
    IQuickActivate* quick = nullptr;
    if (!options_.quickActivate || FAILED(control_->QueryInterface(IID_IQuickActivate, reinterpret_cast<void**>(&quick)))) {
        return false;
    }
    QACONTAINER container = {};
    container.cbSize = sizeof container;
    container.pClientSite = site_;
    container.pAdviseSink = site_;
    container.dwAmbientFlags = QACONTAINER_USERMODE | QACONTAINER_MESSAGEREFLECT;
    container.colorFore = GetSysColor(COLOR_WINDOWTEXT);
    container.colorBack = GetSysColor(COLOR_WINDOW);
    container.lcid = GetUserDefaultLCID();
    container.pServiceProvider = site_;
    container.pBindHost = options_.bindHost ? static_cast<IBindHost*>(site_) : nullptr;
    QACONTROL answer = {};
    answer.cbSize = sizeof answer;
    const HRESULT result = quick->QuickActivate(&container, &answer);
    quick->Release();
    misc = answer.dwMiscStatus;
    char details[64];
    std::snprintf(details, sizeof details, "misc=0x%08lX view=0x%08lX", static_cast<unsigned long>(answer.dwMiscStatus),
                  static_cast<unsigned long>(answer.dwViewStatus));
    return SUCCEEDED(Logged("IQuickActivate::QuickActivate", result, details));
}

HRESULT HostedControl::Load(const PageControl& element)
{
    IPersistPropertyBag* persist = nullptr;
    if (!options_.initNew &&
        SUCCEEDED(control_->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)))) {
        auto* bag = new PageBag(element.properties, options_.listingBag, log_, instance_);
        const HRESULT result = Logged("IPersistPropertyBag::Load", persist->Load(bag, nullptr),
                                      "properties=" + std::to_string(element.properties.size()));
        bag->Release();
        persist->Release();
        return result;
    }
    IPersistStreamInit* stream = nullptr;
    if (FAILED(control_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&stream)))) {
        return Logged("IPersistStreamInit::InitNew", E_NOINTERFACE);
    }
    const HRESULT result = Logged("IPersistStreamInit::InitNew", stream->InitNew());
    stream->Release();
    return result;
}

void HostedControl::Unfreeze()
{
    IOleControl* control = nullptr;
    if (SUCCEEDED(control_->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control)))) {
        Logged("IOleControl::FreezeEvents", control->FreezeEvents(FALSE), "freeze=0");
        control->Release();
    }
    IDispatch* dispatch = nullptr;
    if (FAILED(control_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) return;
    DISPPARAMS none = {};
    VARIANT state;
    VariantInit(&state);
    const HRESULT result = dispatch->Invoke(DISPID_READYSTATE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                            &none, &state, nullptr, nullptr);
    VARIANT number;
    VariantInit(&number);
    const bool known = SUCCEEDED(result) && SUCCEEDED(VariantChangeType(&number, &state, 0, VT_I4));
    Logged("IDispatch::Invoke", result, "dispid=readyState value=" + (known ? std::to_string(V_I4(&number)) : "?"));
    VariantClear(&state);
    dispatch->Release();
}

bool HostedControl::Open(const CLSID& clsid, const PageControl& element, const RECT& rect)
{
    site_->SetRect(rect);
    // 1. Created for IUnknown, its events frozen until it is set up.
    const HRESULT created = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                             reinterpret_cast<void**>(&control_));
    if (FAILED(Logged("CoCreateInstance", created, "clsid=" + ClassText(clsid)))) {
        control_ = nullptr;
        return false;
    }
    IOleControl* oleControl = nullptr;
    if (SUCCEEDED(control_->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&oleControl)))) {
        Logged("IOleControl::FreezeEvents", oleControl->FreezeEvents(TRUE), "freeze=1");
        oleControl->Release();
    }
    if (FAILED(Logged("QueryInterface", control_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object_)),
                      "iid=IOleObject"))) {
        object_ = nullptr;
        return false;
    }
    // 2. The site: through IQuickActivate in one call, else before or after Load.
    DWORD misc = 0;
    const bool quick = QuickActivate(misc);
    bool siteGiven = quick;
    if (!quick) {
        const HRESULT miscResult = object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
        Logged("IOleObject::GetMiscStatus", miscResult, "misc=" + std::to_string(misc));
        const bool first = options_.siteOrder == SiteOrder::kFirst ||
                           (options_.siteOrder == SiteOrder::kAsTheControlAsks && (misc & OLEMISC_SETCLIENTSITEFIRST));
        if (first) {
            SetSite(true);
            siteGiven = true;
        }
    }
    // 3. The parameters.
    if (FAILED(Load(element))) return false;
    if (!siteGiven) SetSite(true);
    // 4. The view's advise sink, then events and the ready state.
    if (SUCCEEDED(control_->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view_))) && !quick) {
        Logged("IViewObject::SetAdvise", view_->SetAdvise(DVASPECT_CONTENT, 0, site_));
        IViewObjectEx* viewEx = nullptr;
        if (SUCCEEDED(control_->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&viewEx)))) {
            DWORD status = 0;
            const HRESULT result = viewEx->GetViewStatus(&status);
            Logged("IViewObjectEx::GetViewStatus", result, "status=" + std::to_string(status));
            viewEx->Release();
        }
    }
    Unfreeze();
    // 5. Its size, then activation in place.
    SIZEL extent = Himetric(rect);
    Logged("IOleObject::SetExtent", object_->SetExtent(DVASPECT_CONTENT, &extent),
           "cx=" + std::to_string(extent.cx) + " cy=" + std::to_string(extent.cy));
    SIZEL given = {};
    const HRESULT extentResult = object_->GetExtent(DVASPECT_CONTENT, &given);
    Logged("IOleObject::GetExtent", extentResult, "cx=" + std::to_string(given.cx) + " cy=" + std::to_string(given.cy));
    RECT position = rect;
    HWND page = nullptr;
    site_->GetWindow(&page);
    if (FAILED(Logged("IOleObject::DoVerb", object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, page, &position),
                      "verb=inplaceactivate"))) {
        return false;
    }
    // 6. Its window, and its rectangles.
    if (FAILED(control_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace_)))) {
        inPlace_ = nullptr;
        return true;
    }
    const HRESULT windowResult = inPlace_->GetWindow(&window_);
    Logged("IOleInPlaceObject::GetWindow", windowResult, "window=" + CallLog::Pointer(window_));
    Move(rect);
    return true;
}

void HostedControl::Move(const RECT& rect)
{
    if (!inPlace_) return;
    site_->SetRect(rect);
    RECT clip = {};
    GetClientRect(GetParent(window_) ? GetParent(window_) : window_, &clip);
    Logged("IOleInPlaceObject::SetObjectRects", inPlace_->SetObjectRects(&rect, &clip),
           "pos=" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
               std::to_string(rect.bottom));
}

void HostedControl::Close()
{
    if (!control_) return;
    if (options_.closeOrder == CloseOrder::kDeactivateFirst && inPlace_) {
        if (site_->UiActive()) Logged("IOleInPlaceObject::UIDeactivate", inPlace_->UIDeactivate());
        Logged("IOleInPlaceObject::InPlaceDeactivate", inPlace_->InPlaceDeactivate());
    }
    if (object_) {
        Logged("IOleObject::Close", object_->Close(OLECLOSE_NOSAVE), "save=no");
        SetSite(false);
    }
    if (view_) view_->Release();
    if (inPlace_) inPlace_->Release();
    if (object_) object_->Release();
    view_ = nullptr;
    inPlace_ = nullptr;
    object_ = nullptr;
    const ULONG left = control_->Release();
    control_ = nullptr;
    log_.Line("> Release inst=" + std::to_string(instance_) + " left=" + std::to_string(left));
}
