#include "FrameServices.h"

void* InPlaceFrame::Find(REFIID iid)
{
    if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
        return static_cast<IOleInPlaceFrame*>(this);
    }
    return nullptr;
}

HRESULT InPlaceFrame::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = window_;
    return S_OK;
}

HRESULT InPlaceFrame::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name)
{
    log_.Line("< IOleInPlaceFrame::SetActiveObject object=" + std::string(object ? "given" : "(null)") +
              " name=" + (name ? CallLog::Quote(Narrow(name)) : "(null)") + " -> 0x00000000");
    return S_OK;
}

HRESULT InPlaceFrame::SetStatusText(LPCOLESTR text)
{
    log_.Line("< IOleInPlaceFrame::SetStatusText text=" + (text ? CallLog::Quote(Narrow(text)) : "(null)") +
              " -> 0x00000000");
    return S_OK;
}

void* WebBrowserService::Find(REFIID iid)
{
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser || iid == IID_IWebBrowserApp ||
        iid == IID_IWebBrowser2) {
        return static_cast<IWebBrowser2*>(this);
    }
    return nullptr;
}

void WebBrowserService::Logged(const char* call, const std::string& url, VARIANT* target)
{
    std::string frame = "(null)";
    if (target && V_VT(target) == VT_BSTR) frame = CallLog::Quote(Narrow(V_BSTR(target)));
    log_.Line(std::string("< ") + call + " url=" + CallLog::Quote(url) + " target=" + frame + " -> 0x00000000");
}

HRESULT WebBrowserService::Navigate(BSTR url, VARIANT*, VARIANT* target, VARIANT*, VARIANT*)
{
    Logged("IWebBrowser2::Navigate", Narrow(url), target);
    return S_OK;
}

HRESULT WebBrowserService::Navigate2(VARIANT* url, VARIANT*, VARIANT* target, VARIANT*, VARIANT*)
{
    if (!url || V_VT(url) != VT_BSTR) return E_INVALIDARG;
    Logged("IWebBrowser2::Navigate2", Narrow(V_BSTR(url)), target);
    return S_OK;
}

void* HyperlinkFrameService::Find(REFIID iid)
{
    if (iid == IID_IUnknown || iid == IID_IHlinkFrame) return static_cast<IHlinkFrame*>(this);
    return nullptr;
}

HRESULT HyperlinkFrameService::Navigate(DWORD, LPBC, IBindStatusCallback*, IHlink* link)
{
    if (!link) return E_INVALIDARG;
    LPWSTR target = nullptr, location = nullptr, frame = nullptr;
    const HRESULT reference = link->GetStringReference(HLINKGETREF_DEFAULT, &target, &location);
    link->GetTargetFrameName(&frame);
    std::string url = Narrow(target);
    if (location && *location) url += "#" + Narrow(location);
    log_.Line("< IHlinkFrame::Navigate url=" + CallLog::Quote(url) + " target=" +
              (frame ? CallLog::Quote(Narrow(frame)) : "(null)") + " -> " + HresultText(reference));
    CoTaskMemFree(target);
    CoTaskMemFree(location);
    CoTaskMemFree(frame);
    return SUCCEEDED(reference) ? S_OK : reference;
}
