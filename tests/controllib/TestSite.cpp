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
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*)
{
    asked_.push_back(name);
    // Names compare ignoring case, as a page's attributes do.
    for (const auto& pair : values_) {
        if (_wcsicmp(pair.first.c_str(), name) != 0) continue;
        VariantClear(value);
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(pair.second.c_str());
        return S_OK;
    }
    return E_INVALIDARG;
}

TestSite::TestSite(const std::wstring& pageUrl, int width, int height)
    : pageUrl_(pageUrl), width_(width), height_(height)
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
