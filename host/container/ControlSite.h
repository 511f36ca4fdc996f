// The site of one control on the page, answering as Internet Explorer's does: the client
// and in-place site, the view's advise sink, the page's moniker, relative URLs (IBindHost)
// and the browser services. What the control calls is logged; what it asks of the layout
// (activation, UI activation) is kept for the container's closing order.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <urlmon.h>

#include "CallLog.h"
#include "ComObject.h"
#include "ContainerOptions.h"
#include "FrameServices.h"

class ControlSite : public IOleClientSite,
                    public IOleInPlaceSiteEx,
                    public IAdviseSinkEx,
                    public IServiceProvider,
                    public IBindHost,
                    private RefCounted {
public:
    // `page` is the control's parent window, `frame` the page's in-place frame; `pageMoniker`
    // (may be null) is what GetMoniker and IBindHost resolve against.
    ControlSite(const ContainerOptions& options, CallLog& log, int instance, HWND page, InPlaceFrame* frame,
                IMoniker* pageMoniker);

    ORB_CONTAINER_UNKNOWN

    void SetRect(const RECT& rect) { rect_ = rect; }
    bool InPlaceActive() const { return inPlaceActive_; }
    bool UiActive() const { return uiActive_; }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override;
    // IOleInPlaceSiteEx
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL noRedraw) override;
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override;
    // IAdviseSink
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD aspect, LONG index) override;
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override;
    // IAdviseSinkEx
    void STDMETHODCALLTYPE OnViewStatusChange(DWORD) override {}
    // IServiceProvider
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override;
    // IBindHost
    HRESULT STDMETHODCALLTYPE CreateMoniker(LPOLESTR name, IBindCtx* context, IMoniker** moniker, DWORD) override;
    HRESULT STDMETHODCALLTYPE MonikerBindToStorage(IMoniker*, IBindCtx*, IBindStatusCallback*, REFIID,
                                                   void**) override;
    HRESULT STDMETHODCALLTYPE MonikerBindToObject(IMoniker*, IBindCtx*, IBindStatusCallback*, REFIID,
                                                  void**) override;

private:
    const ContainerOptions& options_;
    CallLog& log_;
    const int instance_;
    const HWND page_;
    InPlaceFrame* frame_;     // referenced
    IMoniker* pageMoniker_;   // referenced; may be null
    RECT rect_ = {};
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    bool viewChanged_ = false;

    ~ControlSite() override;
    void* Find(REFIID iid);
    // "< CALL inst=N DETAILS -> RESULT"; the result.
    HRESULT Logged(const char* call, HRESULT result, const std::string& details = "");
};
