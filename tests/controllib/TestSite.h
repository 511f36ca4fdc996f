// The least of a container that a control needs, for the control's own tests: a property
// bag of name/value pairs, and a client site that is also the in-place site and the frame,
// with a real top-level window as the parent, the page's moniker, and a record of the
// status texts and the in-place calls. (orbcontainer is the full container.)
#pragma once

#include <hlink.h>
#include <urlmon.h>
#include <ocidl.h>
#include <oleidl.h>

#include <utility>
#include <string>
#include <vector>

// Names compare ignoring case, as a page's attributes do. A listing bag also answers
// IPropertyBag2 with its names in the order given.
class TestBag final : public IPropertyBag, public IPropertyBag2 {
public:
    using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;
    explicit TestBag(Pairs values, bool listing = false) : values_(std::move(values)), listing_(listing) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // IPropertyBag
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override;
    STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    // IPropertyBag2
    STDMETHODIMP Read(ULONG count, PROPBAG2* properties, IErrorLog*, VARIANT* values, HRESULT* results) override;
    STDMETHODIMP Write(ULONG, PROPBAG2*, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP CountProperties(ULONG* count) override;
    STDMETHODIMP GetPropertyInfo(ULONG index, ULONG count, PROPBAG2* properties, ULONG* got) override;
    STDMETHODIMP LoadObject(LPCOLESTR, DWORD, IUnknown*, IErrorLog*) override { return E_NOTIMPL; }

    // The names asked for through IPropertyBag, in order.
    const std::vector<std::wstring>& Asked() const { return asked_; }

private:
    Pairs values_;
    bool listing_;
    std::vector<std::wstring> asked_;
};

// Navigation reaches it as a hyperlink frame (IServiceProvider, SID_SHlinkFrame).
class TestSite final : public IOleClientSite,
                       public IOleInPlaceSite,
                       public IOleInPlaceFrame,
                       public IServiceProvider,
                       public IHlinkFrame,
                       public IBindHost {
public:
    // A visible top-level window of the given client size; pageUrl empty: no moniker. A
    // site with a bind host makes the monikers of names against the page's as IE does.
    TestSite(const std::wstring& pageUrl, int width, int height, bool bindHost = false);
    ~TestSite();
    TestSite(const TestSite&) = delete;
    TestSite& operator=(const TestSite&) = delete;

    HWND Window() const { return window_; }
    const std::vector<std::wstring>& StatusTexts() const { return statusTexts_; }
    // "target url" of each navigation.
    const std::vector<std::wstring>& Navigations() const { return navigations_; }
    int InPlaceActivations() const { return activations_; }
    int InPlaceDeactivations() const { return deactivations_; }
    // Destroys the parent window under the control, as a container that goes first does.
    void DestroyWindow();

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow of the in-place site and the frame
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR text) override;
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override;

    // IHlinkFrame
    STDMETHODIMP SetBrowseContext(IHlinkBrowseContext*) override { return S_OK; }
    STDMETHODIMP GetBrowseContext(IHlinkBrowseContext** context) override;
    STDMETHODIMP Navigate(DWORD, LPBC, IBindStatusCallback*, IHlink* link) override;
    STDMETHODIMP OnNavigate(DWORD, IMoniker*, LPCWSTR, LPCWSTR, DWORD) override { return S_OK; }
    STDMETHODIMP UpdateHlink(ULONG, IMoniker*, LPCWSTR, LPCWSTR) override { return S_OK; }

    // IBindHost
    STDMETHODIMP CreateMoniker(LPOLESTR name, IBindCtx*, IMoniker** moniker, DWORD) override;
    STDMETHODIMP MonikerBindToStorage(IMoniker*, IBindCtx*, IBindStatusCallback*, REFIID, void**) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP MonikerBindToObject(IMoniker*, IBindCtx*, IBindStatusCallback*, REFIID, void**) override
    {
        return E_NOTIMPL;
    }
    int MonikersMade() const { return monikersMade_; }

private:
    std::wstring pageUrl_;
    bool bindHost_;
    int monikersMade_ = 0;
    int width_;
    int height_;
    HWND window_ = nullptr;
    std::vector<std::wstring> statusTexts_;
    std::vector<std::wstring> navigations_;
    int activations_ = 0;
    int deactivations_ = 0;
};
