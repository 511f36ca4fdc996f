// One instance's side of its renderer: launch (or join) once the window and the page's
// location are known, serve the block on a timer paced by its activity, relay status text, notice the
// renderer's exit, and take it all down with the window. It decides what the window
// shows: white while a renderer draws in it, the logo when none can. A renderer that dies
// while its page is open can be started again with a click on the logo.
#pragma once

#include <windows.h>

#include <string>

#include "channel/RendererGroup.h"
#include "session/RestartBudget.h"
#include "session/ServicePace.h"

class AppletSettings;
class LogoPainter;
class ResourceFetcher;
class StatusLine;
struct TickReport;

// What the logo says under the version text while a click can start the applet again.
constexpr const char kStoppedNote[] = "The 3-D applet stopped. Click to start it again.";

class SessionDriver : private GroupMember {
public:
    SessionDriver(const AppletSettings& settings, LogoPainter& logo, StatusLine& status);
    ~SessionDriver();
    SessionDriver(const SessionDriver&) = delete;
    SessionDriver& operator=(const SessionDriver&) = delete;

    // Takes over one reference to fetcher: the launch hands it to the channel, anything
    // else gives it back. The fetcher must outlive the session: a restart takes a new
    // reference on it.
    LRESULT StartSession(HWND window, ResourceFetcher* fetcher);
    bool TryLaunch(HWND window);
    // The page's location is late: the logo shows until a launch, which still comes once
    // the location does, replaces it.
    void ShowLogoWhileWaiting(HWND window);
    bool OnRendererTimer(HWND window, UINT_PTR timerId);
    // What the service tick does, now: a file that has just arrived need not wait for it.
    // Before the launch, what the launch timer does: nor need a location that has just come.
    void ServiceNow(HWND window);
    LRESULT ShutDownRenderer(HWND window);
    LRESULT OnFocus(HWND window);
    // A click on the window: starts a renderer that died again, within the restart budget.
    // True when the click was the plug-in's.
    bool OnClick(HWND window);
    LRESULT PaintWindow(HWND hwnd, HDC hdc);
    LRESULT OnEraseBackground() { return 1; }

    void SetShowLogo(bool on) { showLogo = on; }
    bool ShowLogo() const { return showLogo; }
    RendererGroup* Group() const { return rendererGroup; }
    bool LaunchDone() const { return launchDone; }
    // The launcher's renderer died under a running page; the logo offers to start it again.
    bool RendererStopped() const { return rendererStopped; }
    // The command line the renderer was given, its window size appended.
    const std::string& RendererArgs() const { return rendererArgs; }

private:
    // No launch can ever succeed: the logo, and no more waiting.
    void AbandonLaunch(HWND window);
    // Leaves the renderer group and decides between the logo and a blank window.
    void GiveUpRenderer(HWND window, bool logo, bool rendererDied = false);
    RendererGroup* Join(HWND window, bool asLauncher);
    void SetLogo(HWND window, bool on);
    void GroupEnded(bool rendererDied) override;
    // Sets the service timer to the pace's interval when that has changed, after telling
    // the pace what the tick found.
    void PaceService(HWND window, const TickReport& tick);
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
    ResourceFetcher* fetcherSource = nullptr;  // not owned; for a restart's new reference
    RendererGroup* rendererGroup = nullptr;
    HWND memberWindow = nullptr;  // the window registered with the group
    bool launchDone = false;
    bool showLogo = false;
    bool rendererStopped = false;
    RestartBudget restarts;
    bool launchInProgress = false;  // guards TryLaunch against itself
};
