// The control's in-place life: its own window in the site's window, the session in it, and
// the way out again, whichever of the container's close orders comes.
#include "control/AppletControl.h"

#include "control/ControlFetcher.h"
#include "control/TextConversion.h"

STDMETHODIMP AppletControl::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = window_.Handle();
    return *window ? S_OK : E_FAIL;
}

HRESULT AppletControl::ActivateInPlace()
{
    if (window_.Handle()) return S_OK;
    if (!site_) return E_UNEXPECTED;
    SelfHold hold(this);
    inPlaceSite_ = QueryAs<IOleInPlaceSite>(site_.Get(), IID_IOleInPlaceSite);
    if (!inPlaceSite_) return E_NOINTERFACE;
    if (inPlaceSite_->CanInPlaceActivate() != S_OK) {
        inPlaceSite_.Reset();
        return E_FAIL;
    }
    inPlaceSite_->OnInPlaceActivate();

    HWND parent = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    if (FAILED(inPlaceSite_->GetWindow(&parent)) || !parent ||
        FAILED(inPlaceSite_->GetWindowContext(frame_.Receive(), document_.Receive(), &position, &clip,
                                              &frameInfo)) ||
        !window_.Create(parent, position, clip, this)) {
        InPlaceDeactivate();
        return E_FAIL;
    }
    site_->ShowObject();

    if (sessionCalls_ == 0) {
        session_ = std::make_unique<Session>(settings_, logo_, static_cast<StatusLine&>(*this));
        const std::string location = FindPageLocation();
        if (!location.empty()) settings_.SetPageLocation(location);
        fetcher_->AddRef();
        session_->driver.StartSession(window_.Handle(), fetcher_);
        // Without a page nor an absolute src nothing can be fetched: the logo says so.
        if (settings_.HasSrc() && settings_.PageLocation().empty()) {
            session_->driver.ShowLogoWhileWaiting(window_.Handle());
        }
    }
    return S_OK;
}

void AppletControl::StopSession()
{
    HWND hwnd = window_.Handle();
    if (!hwnd) return;
    // The renderer's shutdown pumps messages, in which the container may let go of us.
    SelfHold hold(this);
    if (session_) {
        ++sessionCalls_;
        session_->window.Stop(hwnd);
        --sessionCalls_;
    }
    window_.Destroy();
}

STDMETHODIMP AppletControl::InPlaceDeactivate()
{
    SelfHold hold(this);
    StopSession();
    if (inPlaceSite_) {
        ComRef<IOleInPlaceSite> site = std::move(inPlaceSite_);
        site->OnInPlaceDeactivate();
    }
    frame_.Reset();
    document_.Reset();
    return S_OK;
}

STDMETHODIMP AppletControl::SetObjectRects(LPCRECT position, LPCRECT clip)
{
    if (!position) return E_POINTER;
    window_.Move(*position, clip ? *clip : *position);
    return S_OK;
}

LRESULT AppletControl::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    SelfHold hold(this);
    LRESULT result = 0;
    if (session_) {
        ++sessionCalls_;
        const bool answered = session_->window.Dispatch(hwnd, message, wParam, lParam, result);
        --sessionCalls_;
        if (answered) return result;
    }
    if (message == WM_NCDESTROY) window_.Forget(hwnd);
    if (message == WM_MOUSEACTIVATE) {
        // A click gives the applet the keyboard, as the plug-in's window has it.
        SetFocus(hwnd);
        return MA_ACTIVATE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void AppletControl::ShowStatus(const char* text)
{
    if (!text || lastStatus_ == text) return;
    lastStatus_ = text;
    if (!frame_) return;
    // The frame may run a message loop in there.
    SelfHold hold(this);
    ComRef<IOleInPlaceFrame> frame = ComRef<IOleInPlaceFrame>::Share(frame_.Get());
    frame->SetStatusText(WideFromAnsi(lastStatus_).c_str());
}
