// The page the control sits on, as far as the container tells: its location, the URLs of
// names on it, and navigation in its frames.
#include "control/AppletControl.h"

#include <exdisp.h>
#include <hlink.h>
#include <mshtml.h>
#include <shlguid.h>
#include <urlmon.h>

#include "control/TextConversion.h"
#include "requests/UrlScheme.h"
#include "streams/UrlResolution.h"

namespace {

std::string DisplayNameOf(IMoniker* moniker)
{
    ComRef<IBindCtx> context;
    if (!moniker || FAILED(CreateBindCtx(0, context.Receive()))) return std::string();
    LPOLESTR name = nullptr;
    if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name)) || !name) return std::string();
    std::string text = AnsiFromWide(name);
    CoTaskMemFree(name);
    return text;
}

template <typename T>
ComRef<T> ServiceOf(IUnknown* site, REFGUID service, REFIID iid)
{
    ComRef<T> found;
    ComRef<IServiceProvider> provider = QueryAs<IServiceProvider>(site, IID_IServiceProvider);
    if (provider) provider->QueryService(service, iid, found.ReceiveVoid());
    return found;
}

// The top-level browser's automation object, through the top-level browser service where
// the site has it.
ComRef<IWebBrowser2> BrowserOf(IUnknown* site)
{
    ComRef<IServiceProvider> top = ServiceOf<IServiceProvider>(site, SID_STopLevelBrowser, IID_IServiceProvider);
    ComRef<IWebBrowser2> browser;
    if (top) top->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.ReceiveVoid());
    if (!browser) browser = ServiceOf<IWebBrowser2>(site, SID_SWebBrowserApp, IID_IWebBrowser2);
    return browser;
}

ComRef<IBindHost> BindHostOf(IUnknown* site)
{
    ComRef<IBindHost> host = QueryAs<IBindHost>(site, IID_IBindHost);
    if (!host) host = ServiceOf<IBindHost>(site, SID_SBindHost, IID_IBindHost);
    return host;
}

class Bstr {
public:
    explicit Bstr(const std::string& text) : text_(SysAllocString(WideFromAnsi(text).c_str())) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return text_; }

private:
    BSTR text_;
};

// hlink.dll is loaded only for the rare container that navigates that way, and stays: the
// container may keep the link it was handed, whose code is in there.
using HlinkCreateFromStringProc = HRESULT(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, IHlinkSite*, DWORD, IUnknown*,
                                                    REFIID, void**);

HlinkCreateFromStringProc HlinkCreator()
{
    static const HMODULE hlink = LoadLibraryA("hlink.dll");
    return hlink ? reinterpret_cast<HlinkCreateFromStringProc>(
                       reinterpret_cast<void*>(GetProcAddress(hlink, "HlinkCreateFromString")))
                 : nullptr;
}

bool NavigateThroughHlinkFrame(IUnknown* site, const std::string& url, const std::string& target)
{
    ComRef<IHlinkFrame> frame = ServiceOf<IHlinkFrame>(site, IID_IHlinkFrame, IID_IHlinkFrame);
    if (!frame) return false;
    const HlinkCreateFromStringProc create = HlinkCreator();
    ComRef<IHlink> link;
    if (!create || FAILED(create(WideFromAnsi(url).c_str(), nullptr, nullptr, nullptr, 0, nullptr, IID_IHlink,
                                 link.ReceiveVoid()))) {
        return false;
    }
    if (!target.empty()) link->SetTargetFrameName(WideFromAnsi(target).c_str());
    return SUCCEEDED(frame->Navigate(0, nullptr, nullptr, link.Get()));
}

}  // namespace

std::string AppletControl::FindPageLocation()
{
    std::string location;
    if (site_) {
        ComRef<IMoniker> moniker;
        if (SUCCEEDED(site_->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, moniker.Receive()))) {
            location = DisplayNameOf(moniker.Get());
        }
        if (location.empty()) {
            ComRef<IOleContainer> container;
            if (SUCCEEDED(site_->GetContainer(container.Receive()))) {
                ComRef<IHTMLDocument2> document = QueryAs<IHTMLDocument2>(container.Get(), IID_IHTMLDocument2);
                BSTR url = nullptr;
                if (document && SUCCEEDED(document->get_URL(&url)) && url) {
                    location = AnsiFromWide(url);
                    SysFreeString(url);
                }
            }
        }
    }
    // Without a page (a container that has none to tell), an absolute src is its own base.
    if (location.empty() && !SchemeOf(settings_.SrcUrl()).empty()) {
        location = settings_.SrcUrl();
    }
    return location;
}

std::string AppletControl::ResolveUrl(const std::string& name)
{
    if (ComRef<IBindHost> host = BindHostOf(site_.Get())) {
        ComRef<IMoniker> moniker;
        if (SUCCEEDED(host->CreateMoniker(const_cast<LPOLESTR>(WideFromAnsi(name).c_str()), nullptr,
                                          moniker.Receive(), 0))) {
            const std::string url = DisplayNameOf(moniker.Get());
            if (!url.empty()) return url;
        }
    }
    return ::ResolveUrl(settings_.PageLocation(), name);
}

void AppletControl::Navigate(const std::string& url, const std::string& target)
{
    if (!site_) return;
    SelfHold hold(this);
    ComRef<IOleClientSite> site = ComRef<IOleClientSite>::Share(site_.Get());
    if (ComRef<IWebBrowser2> browser = BrowserOf(site.Get())) {
        Bstr address(url), frame(target);
        VARIANT urlValue, flags, targetValue, empty;
        VariantInit(&urlValue);
        VariantInit(&flags);
        VariantInit(&targetValue);
        VariantInit(&empty);
        urlValue.vt = VT_BSTR;
        urlValue.bstrVal = address.Get();
        targetValue.vt = VT_BSTR;
        targetValue.bstrVal = frame.Get();
        if (SUCCEEDED(browser->Navigate2(&urlValue, &flags, &targetValue, &empty, &empty))) return;
    }
    NavigateThroughHlinkFrame(site.Get(), url, target);
}
