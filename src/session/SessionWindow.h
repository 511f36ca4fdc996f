// The messages of a window that carries a renderer session, answered alike whoever made the
// window: the browser's child window the plug-in subclasses, or the control's own window.
// Paint and erase show what the session decides, timers serve the renderer, focus makes its
// renderer the active one, a click restarts a stopped applet, and destruction ends it.
#pragma once

#include <windows.h>

class SessionDriver;

class SessionWindow {
public:
    explicit SessionWindow(SessionDriver& session) : session_(session) {}
    SessionWindow(const SessionWindow&) = delete;
    SessionWindow& operator=(const SessionWindow&) = delete;

    // True when the message was answered here (result holds the answer); false leaves it to
    // the window's own procedure, after whatever was done here.
    bool Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Ends the renderer session, once: the window is being given up or destroyed.
    void Stop(HWND hwnd);
    bool Stopped() const { return stopped_; }

    // A fetch has ended, or the page's location has come: the session takes its next step
    // from the message loop right away instead of at the next tick. One message at a time.
    void ServiceSoon(HWND hwnd);
    static UINT ServiceSoonMessage();

private:
    SessionDriver& session_;
    bool stopped_ = false;
    bool serviceSoonPosted_ = false;
};
