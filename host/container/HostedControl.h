// One control of the page through its life, in Internet Explorer's call order: created,
// given its site and parameters, activated in place in its rectangle, moved, and closed in
// the order the options name. Every call into the control is logged ("> ...").
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>

#include "CallLog.h"
#include "ContainerOptions.h"
#include "ControlSite.h"
#include "PageControls.h"

// The class a page element asks for: its classid, else its type's CLSID in the MIME
// database, else the type its extension names there; false when none is registered.
bool ClassForControl(const PageControl& control, CLSID& clsid, std::string& from);

class HostedControl {
public:
    HostedControl(const ContainerOptions& options, CallLog& log, int instance, HWND page, InPlaceFrame* frame,
                  IMoniker* pageMoniker);
    ~HostedControl();  // closes it, if still open
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    // Creation, site, parameters and activation in `rect` of the page; false (logged) when
    // the control cannot be created or refuses its parameters.
    bool Open(const CLSID& clsid, const PageControl& element, const RECT& rect);
    void Move(const RECT& rect);  // SetObjectRects, as on every layout change
    void Close();

    HWND Window() const { return window_; }

private:
    const ContainerOptions& options_;
    CallLog& log_;
    const int instance_;
    ControlSite* site_;  // referenced
    IUnknown* control_ = nullptr;
    IOleObject* object_ = nullptr;
    IOleInPlaceObject* inPlace_ = nullptr;
    IViewObject* view_ = nullptr;
    HWND window_ = nullptr;

    // "> CALL inst=N DETAILS -> RESULT"; the result.
    HRESULT Logged(const char* call, HRESULT result, const std::string& details = "");
    bool QuickActivate(DWORD& misc);
    HRESULT Load(const PageControl& element);
    void SetSite(bool present);
    void Unfreeze();
};
