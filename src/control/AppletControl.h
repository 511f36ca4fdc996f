// One applet on a page hosted as a control: the container's parameters (property bag), its
// page (the site's moniker, else the document's URL), the control's own child window of
// the in-place site, which carries the renderer session as the plug-in's window does,
// status text for the frame and navigation through the site. Lives as long as the
// container holds a reference; its window and session go with in-place deactivation, Close
// or the parent window's end, whichever comes first.
#pragma once

#include <ocidl.h>
#include <objsafe.h>
#include <oleidl.h>

#include <memory>
#include <string>

#include "base/LiveCount.h"
#include "control/BagParameters.h"
#include "control/ComRef.h"
#include "control/ControlWindow.h"
#include "control/PageServices.h"
#include "logo/LogoPainter.h"
#include "session/SessionDriver.h"
#include "session/SessionWindow.h"
#include "session/StatusLine.h"
#include "settings/AppletSettings.h"

class ControlFetcher;

class AppletControl final : public IOleObject,
                            public IOleInPlaceObject,
                            public IOleInPlaceActiveObject,
                            public IViewObject2,
                            public IPersistPropertyBag,
                            public IPersistStreamInit,
                            public IObjectSafety,
                            public IOleControl,
                            public IDispatch,
                            public IQuickActivate,
                            public LiveCount<AppletControl>,
                            private StatusLine,
                            private PageServices,
                            private ControlWindowOwner {
public:
    // A new control with one reference, or null when memory ran out.
    static AppletControl* Create();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* classId) override;
    STDMETHODIMP GetUserType(DWORD, LPOLESTR* userType) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advises) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, of both in-place interfaces
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG) override { return S_FALSE; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void*, DVTARGETDEVICE*, HDC, HDC hdc, LPCRECTL bounds,
                      LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override;

    // IPersist, of both persistence interfaces
    STDMETHODIMP GetClassID(CLSID* classId) override;
    // IPersistPropertyBag
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* errorLog) override;
    STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }
    // IPersistStreamInit
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM) override { return E_NOTIMPL; }
    STDMETHODIMP Save(LPSTREAM, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

    // IObjectSafety: safe for initialising from untrusted data, never for scripting.
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    // The control fires no events: nothing to hold back.
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // IDispatch: readyState alone.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

    // IQuickActivate
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    STDMETHODIMP SetContentExtent(LPSIZEL size) override;
    STDMETHODIMP GetContentExtent(LPSIZEL size) override;

private:
    AppletControl();
    ~AppletControl();

    // Keeps the control alive across work that may run a message loop or call the container.
    class SelfHold {
    public:
        explicit SelfHold(AppletControl* control) : control_(control) { control_->AddRef(); }
        ~SelfHold() { control_->Release(); }
        SelfHold(const SelfHold&) = delete;
        SelfHold& operator=(const SelfHold&) = delete;

    private:
        AppletControl* control_;
    };

    HRESULT ActivateInPlace();
    HRESULT Initialise(const ParameterPairs* pairs);
    // Where the page is: the site's moniker, else the document's URL through the container.
    std::string FindPageLocation();
    void StopSession();

    void ShowStatus(const char* text) override;
    std::string ResolveUrl(const std::string& name) override;
    void Navigate(const std::string& url, const std::string& target) override;
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    LONG references_ = 1;
    ComRef<IOleClientSite> site_;
    ComRef<IOleInPlaceSite> inPlaceSite_;
    ComRef<IOleInPlaceFrame> frame_;
    ComRef<IOleInPlaceUIWindow> document_;
    ComRef<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    ComRef<IOleAdviseHolder> adviseHolder_;
    AppletSettings settings_;
    LogoPainter logo_;
    // One renderer session per in-place activation: a control deactivated and activated
    // again starts anew in its new window.
    struct Session {
        Session(const AppletSettings& settings, LogoPainter& logo, StatusLine& status)
            : driver(settings, logo, status)
        {
        }
        SessionDriver driver;
        SessionWindow window{driver};
    };
    std::unique_ptr<Session> session_;
    // Calls under way in the session (its window's messages, its shutdown): it is replaced
    // only when none is.
    int sessionCalls_ = 0;
    ControlFetcher* fetcher_ = nullptr;
    ControlWindow window_;
    SIZEL extent_{};  // HIMETRIC
    bool initialised_ = false;
    LONG readyState_ = 0;
    DWORD safety_ = 0;
    std::string lastStatus_;
};
