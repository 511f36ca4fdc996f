#include "ControlSite.h"

#include <exdisp.h>
#include <hlink.h>

namespace {

// The top-level browser's service (shlguid.h declares it without a definition to link).
const GUID kTopLevelBrowser = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

std::string RectText(const RECT& rect)
{
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
           std::to_string(rect.bottom);
}

std::string DisplayName(IMoniker* moniker)
{
    LPOLESTR name = nullptr;
    if (!moniker || FAILED(moniker->GetDisplayName(nullptr, nullptr, &name))) return "";
    const std::string narrow = Narrow(name);
    CoTaskMemFree(name);
    return narrow;
}

}  // namespace

ControlSite::ControlSite(const ContainerOptions& options, CallLog& log, int instance, HWND page, InPlaceFrame* frame,
                         IMoniker* pageMoniker)
    : options_(options), log_(log), instance_(instance), page_(page), frame_(frame), pageMoniker_(pageMoniker)
{
    frame_->AddRef();
    if (pageMoniker_) pageMoniker_->AddRef();
}

ControlSite::~ControlSite()
{
    frame_->Release();
    if (pageMoniker_) pageMoniker_->Release();
}

void* ControlSite::Find(REFIID iid)
{
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) return static_cast<IOleClientSite*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite || iid == IID_IOleInPlaceSiteEx) {
        return static_cast<IOleInPlaceSiteEx*>(this);
    }
    if (iid == IID_IAdviseSink || iid == IID_IAdviseSinkEx) return static_cast<IAdviseSinkEx*>(this);
    if (iid == IID_IServiceProvider) return static_cast<IServiceProvider*>(this);
    if (iid == IID_IBindHost && options_.bindHost) return static_cast<IBindHost*>(this);
    return nullptr;
}

HRESULT ControlSite::Logged(const char* call, HRESULT result, const std::string& details)
{
    log_.Line(std::string("< ") + call + " inst=" + std::to_string(instance_) + (details.empty() ? "" : " ") + details +
              " -> " + HresultText(result));
    return result;
}

HRESULT ControlSite::GetMoniker(DWORD assign, DWORD which, IMoniker** moniker)
{
    if (!moniker) return E_POINTER;
    *moniker = nullptr;
    const std::string details = "assign=" + std::to_string(assign) + " which=" + std::to_string(which);
    if (which != OLEWHICHMK_CONTAINER || !options_.moniker || !pageMoniker_) {
        return Logged("IOleClientSite::GetMoniker", E_NOTIMPL, details);
    }
    pageMoniker_->AddRef();
    *moniker = pageMoniker_;
    return Logged("IOleClientSite::GetMoniker", S_OK, details + " name=" + CallLog::Quote(DisplayName(pageMoniker_)));
}

HRESULT ControlSite::GetContainer(IOleContainer** container)
{
    if (!container) return E_POINTER;
    *container = nullptr;
    return Logged("IOleClientSite::GetContainer", E_NOINTERFACE);
}

HRESULT ControlSite::ShowObject()
{
    return Logged("IOleClientSite::ShowObject", S_OK);
}

HRESULT ControlSite::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = page_;
    return Logged("IOleInPlaceSite::GetWindow", S_OK, "window=" + CallLog::Pointer(page_));
}

HRESULT ControlSite::CanInPlaceActivate()
{
    return Logged("IOleInPlaceSite::CanInPlaceActivate", S_OK);
}

HRESULT ControlSite::OnInPlaceActivate()
{
    inPlaceActive_ = true;
    return Logged("IOleInPlaceSite::OnInPlaceActivate", S_OK);
}

HRESULT ControlSite::OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags)
{
    if (noRedraw) *noRedraw = FALSE;
    inPlaceActive_ = true;
    return Logged("IOleInPlaceSiteEx::OnInPlaceActivateEx", S_OK, "flags=" + std::to_string(flags));
}

HRESULT ControlSite::OnUIActivate()
{
    uiActive_ = true;
    return Logged("IOleInPlaceSite::OnUIActivate", S_OK);
}

HRESULT ControlSite::RequestUIActivate()
{
    return Logged("IOleInPlaceSiteEx::RequestUIActivate", S_OK);
}

HRESULT ControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                      LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    frame_->AddRef();
    *frame = frame_;
    *document = nullptr;  // the page has no tools of its own to share
    *position = rect_;
    GetClientRect(page_, clip);
    info->fMDIApp = FALSE;
    frame_->GetWindow(&info->hwndFrame);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return Logged("IOleInPlaceSite::GetWindowContext", S_OK, "pos=" + RectText(rect_) + " clip=" + RectText(*clip));
}

HRESULT ControlSite::OnUIDeactivate(BOOL)
{
    uiActive_ = false;
    return Logged("IOleInPlaceSite::OnUIDeactivate", S_OK);
}

HRESULT ControlSite::OnInPlaceDeactivate()
{
    inPlaceActive_ = false;
    return Logged("IOleInPlaceSite::OnInPlaceDeactivate", S_OK);
}

HRESULT ControlSite::OnInPlaceDeactivateEx(BOOL)
{
    inPlaceActive_ = false;
    return Logged("IOleInPlaceSiteEx::OnInPlaceDeactivateEx", S_OK);
}

HRESULT ControlSite::OnPosRectChange(LPCRECT rect)
{
    if (!rect) return E_POINTER;
    return Logged("IOleInPlaceSite::OnPosRectChange", S_OK, "pos=" + RectText(*rect));
}

void ControlSite::OnViewChange(DWORD aspect, LONG)
{
    if (viewChanged_) return;  // a drawing control changes its view all the time: the first one tells
    viewChanged_ = true;
    Logged("IAdviseSink::OnViewChange", S_OK, "aspect=" + std::to_string(aspect));
}

void ControlSite::OnClose()
{
    Logged("IAdviseSink::OnClose", S_OK);
}

HRESULT ControlSite::QueryService(REFGUID service, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    const char* name = "other";
    HRESULT result = E_NOINTERFACE;
    if (service == kTopLevelBrowser) {
        // The browser's own provider: controls ask it again for the browser object.
        name = "top-level-browser";
        result = QueryInterface(iid, out);
    } else if (service == IID_IWebBrowserApp) {
        name = "web-browser-app";
        if (options_.navigation == NavigationService::kBrowser) {
            auto* browser = new WebBrowserService(log_);
            result = browser->QueryInterface(iid, out);
            browser->Release();
        }
    } else if (service == IID_IHlinkFrame) {
        name = "hlink-frame";
        if (options_.navigation == NavigationService::kHyperlinkFrame) {
            auto* frame = new HyperlinkFrameService(log_);
            result = frame->QueryInterface(iid, out);
            frame->Release();
        }
    } else if (service == IID_IBindHost) {
        name = "bind-host";
        result = options_.bindHost ? QueryInterface(iid, out) : E_NOINTERFACE;
    }
    return Logged("IServiceProvider::QueryService", result, std::string("service=") + name);
}

HRESULT ControlSite::CreateMoniker(LPOLESTR name, IBindCtx*, IMoniker** moniker, DWORD)
{
    if (!name || !moniker) return E_POINTER;
    *moniker = nullptr;
    const HRESULT result = CreateURLMonikerEx(pageMoniker_, name, moniker, URL_MK_UNIFORM);
    return Logged("IBindHost::CreateMoniker", result,
                  "name=" + CallLog::Quote(Narrow(name)) + " url=" + CallLog::Quote(DisplayName(*moniker)));
}

HRESULT ControlSite::MonikerBindToStorage(IMoniker*, IBindCtx*, IBindStatusCallback*, REFIID, void** out)
{
    if (out) *out = nullptr;
    return Logged("IBindHost::MonikerBindToStorage", E_NOTIMPL);
}

HRESULT ControlSite::MonikerBindToObject(IMoniker*, IBindCtx*, IBindStatusCallback*, REFIID, void** out)
{
    if (out) *out = nullptr;
    return Logged("IBindHost::MonikerBindToObject", E_NOTIMPL);
}
