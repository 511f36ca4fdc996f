// orbhost's browser: the shared browser driven by the command line, with the test switches
// that play what real browsers did around the plug-in (dialogs inside their services,
// add-ons subclassing its windows) and the ways a test run ends (after a time, at a log
// line, once idle).
#pragma once

#include <string>

#include "Browser.h"
#include "CallLog.h"
#include "HostOptions.h"

class BrowserHost : private BrowserEvents {
public:
    BrowserHost(const HostOptions& options, CallLog& log);
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    // The process exit code: 0 after a clean run, 1 when the page cannot be read, 2 when
    // the plug-in cannot be loaded or initialized.
    int Run();

private:
    static constexpr UINT_PTR kCloseTimer = kFirstOwnerTimer;
    static constexpr UINT_PTR kIdleTimer = kFirstOwnerTimer + 1;

    const HostOptions& options_;
    CallLog& log_;
    Browser browser_;
    std::string closeReason_;
    bool modalLoopDone_ = false;
    bool inModalLoop_ = false;

    static BrowserHost* current_;

    int ShowPage();
    std::string PluginPath() const;
    void RequestClose(const char* reason);
    void CheckIdle();

    void OnNavigate(PageInstance& instance, const std::string& url, const char* target) override;
    void OnCloseRequested() override;
    void OnTimer(UINT_PTR id) override;
    // A browser showing a dialog inside one of its services: a message loop of its own, in
    // which the plug-in's timers go on firing.
    void OnService(const char* call, const char* url) override;
    void OnWindowGiven(PageInstance& instance) override;
    void OnInstanceClosing(PageInstance& instance) override;
    void OnStreamWork() override { CheckIdle(); }

    // The add-on of --subclass-areas: passes everything on to whoever it replaced.
    static LRESULT CALLBACK AddonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
