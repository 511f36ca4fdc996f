#include "TestSite.h"

#include <urlmon.h>

namespace {

constexpr char kSiteClass[] = "OrbolanthTestSite";

LRESULT CALLBACK SiteProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

STDMETHODIMP TestBag::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
        *object = static_cast<IPropertyBag*>(this);
    } else if (iid == IID_IPropertyBag2 && listing_) {
        *object = static_cast<IPropertyBag2*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

STDMETHODIMP TestBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*)
{
    asked_.push_back(name);
    for (const auto& pair : values_) {
        if (_wcsicmp(pair.first.c_str(), name) != 0) continue;
        VariantClear(value);
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(pair.second.c_str());
        return S_OK;
    }
    return E_INVALIDARG;
}

STDMETHODIMP TestBag::Read(ULONG count, PROPBAG2* properties, IErrorLog*, VARIANT* values, HRESULT* results)
{
    for (ULONG i = 0; i < count; ++i) {
        VariantInit(&values[i]);
        results[i] = E_INVALIDARG;
        for (const auto& pair : values_) {
            if (!properties[i].pstrName || _wcsicmp(pair.first.c_str(), properties[i].pstrName) != 0) continue;
            values[i].vt = VT_BSTR;
            values[i].bstrVal = SysAllocString(pair.second.c_str());
            results[i] = S_OK;
            break;
        }
    }
    return S_OK;
}

STDMETHODIMP TestBag::CountProperties(ULONG* count)
{
    *count = static_cast<ULONG>(values_.size());
    return S_OK;
}

STDMETHODIMP TestBag::GetPropertyInfo(ULONG index, ULONG count, PROPBAG2* properties, ULONG* got)
{
    *got = 0;
    for (ULONG i = 0; i < count && index + i < values_.size(); ++i, ++*got) {
        const std::wstring& name = values_[index + i].first;
        properties[i] = PROPBAG2{};
        properties[i].vt = VT_BSTR;
        properties[i].pstrName = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(wchar_t)));
        wcscpy(properties[i].pstrName, name.c_str());
    }
    return *got > 0 ? S_OK : E_INVALIDARG;
}

TestSite::TestSite(const std::wstring& pageUrl, int width, int height, bool bindHost)
    : pageUrl_(pageUrl), bindHost_(bindHost), width_(width), height_(height)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &SiteProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kSiteClass;
    RegisterClassA(&windowClass);
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    window_ = CreateWindowExA(0, kSiteClass, "control test", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 40,
                              40, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
}

TestSite::~TestSite()
{
    DestroyWindow();
}

void TestSite::DestroyWindow()
{
    if (window_) ::DestroyWindow(window_);
    window_ = nullptr;
}

STDMETHODIMP TestSite::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
        *object = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
        *object = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
        *object = static_cast<IOleInPlaceFrame*>(this);
    } else if (iid == IID_IServiceProvider) {
        *object = static_cast<IServiceProvider*>(this);
    } else if (iid == IID_IBindHost && bindHost_) {
        *object = static_cast<IBindHost*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

STDMETHODIMP TestSite::GetMoniker(DWORD, DWORD which, IMoniker** moniker)
{
    *moniker = nullptr;
    if (which != OLEWHICHMK_CONTAINER || pageUrl_.empty()) return E_NOTIMPL;
    return CreateURLMoniker(nullptr, pageUrl_.c_str(), moniker);
}

STDMETHODIMP TestSite::GetContainer(IOleContainer** container)
{
    *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestSite::GetWindow(HWND* window)
{
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP TestSite::OnInPlaceActivate()
{
    ++activations_;
    return S_OK;
}

STDMETHODIMP TestSite::OnInPlaceDeactivate()
{
    ++deactivations_;
    return S_OK;
}

STDMETHODIMP TestSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                        LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    *frame = static_cast<IOleInPlaceFrame*>(this);
    *document = nullptr;
    *position = RECT{0, 0, width_, height_};
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP TestSite::SetStatusText(LPCOLESTR text)
{
    statusTexts_.push_back(text ? text : L"");
    return S_OK;
}

STDMETHODIMP TestSite::QueryService(REFGUID service, REFIID iid, void** object)
{
    *object = nullptr;
    if (service != IID_IHlinkFrame || iid != IID_IHlinkFrame) return E_NOINTERFACE;
    *object = static_cast<IHlinkFrame*>(this);
    return S_OK;
}

STDMETHODIMP TestSite::GetBrowseContext(IHlinkBrowseContext** context)
{
    *context = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestSite::Navigate(DWORD, LPBC, IBindStatusCallback*, IHlink* link)
{
    if (!link) return E_INVALIDARG;
    LPWSTR url = nullptr, location = nullptr, frame = nullptr;
    link->GetStringReference(HLINKGETREF_DEFAULT, &url, &location);
    link->GetTargetFrameName(&frame);
    navigations_.push_back(std::wstring(frame ? frame : L"") + L" " + (url ? url : L""));
    CoTaskMemFree(url);
    CoTaskMemFree(location);
    CoTaskMemFree(frame);
    return S_OK;
}

STDMETHODIMP TestSite::CreateMoniker(LPOLESTR name, IBindCtx*, IMoniker** moniker, DWORD)
{
    *moniker = nullptr;
    IMoniker* page = nullptr;
    HRESULT result = CreateURLMoniker(nullptr, pageUrl_.c_str(), &page);
    if (FAILED(result)) return result;
    result = CreateURLMonikerEx(page, name, moniker, URL_MK_UNIFORM);
    page->Release();
    if (SUCCEEDED(result)) ++monikersMade_;
    return result;
}
