// One instance's side of its renderer: launch (or join) once the window and the page's
// location are known, serve the block on a timer paced by its activity, relay status text, notice the
// renderer's exit, and take it all down with the window. It decides what the window
// shows: white while a renderer draws in it, the logo when none can.
#pragma once

#include <windows.h>

#include <string>

#include "session/ServicePace.h"

class AppletSettings;
class LogoPainter;
class ResourceFetcher;
class StatusLine;
struct RendererGroup;

class SessionDriver {
public:
    SessionDriver(const AppletSettings& settings, LogoPainter& logo, StatusLine& status);
    ~SessionDriver();
    SessionDriver(const SessionDriver&) = delete;
    SessionDriver& operator=(const SessionDriver&) = delete;

    // Takes over one reference to fetcher: the launch hands it to the channel, anything
    // else gives it back.
    LRESULT StartSession(HWND window, ResourceFetcher* fetcher);
    bool TryLaunch(HWND window);
    bool OnRendererTimer(HWND window, UINT_PTR timerId);
    // What the service tick does, now: a file that has just arrived need not wait for it.
    void ServiceNow(HWND window);
    LRESULT ShutDownRenderer(HWND window);
    LRESULT OnFocus(HWND window);
    LRESULT PaintWindow(HWND hwnd, HDC hdc);
    LRESULT OnEraseBackground() { return 1; }

    void SetShowLogo(bool on) { showLogo = on; }
    bool ShowLogo() const { return showLogo; }
    RendererGroup* Group() const { return rendererGroup; }
    bool LaunchDone() const { return launchDone; }
    // The command line the renderer was given, its window size appended.
    const std::string& RendererArgs() const { return rendererArgs; }

private:
    // Leaves the renderer group and decides between the logo and a blank window.
    void GiveUpRenderer(HWND window, bool wasLauncher, bool logo);
    // Sets the service timer to the pace's interval when that has changed; busy notes activity.
    void PaceService(HWND window, bool busy);
    void StopService(HWND window);

    const AppletSettings& settings;
    LogoPainter& logo;
    StatusLine& status;
    std::string groupName;
    std::string rendererArgs;
    ServicePace pace;
    UINT serviceIntervalMs = 0;  // the service timer's, 0 while it is not set
    UINT launchIntervalMs = 0;   // the launch timer's
    ResourceFetcher* resourceProvider = nullptr;
    RendererGroup* rendererGroup = nullptr;
    bool launchDone = false;
    bool showLogo = false;
    bool launchInProgress = false;  // guards TryLaunch against itself
};
