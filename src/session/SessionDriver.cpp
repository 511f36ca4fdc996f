// The instance's side of its renderer: launch (or join) once the window and the page's
// location are known, serve the block on a 100 ms timer, relay status text, notice the
// renderer's exit, and take it all down with the window.
#include <cstdio>

#include "activity/ActivityController.h"
#include "channel/RendererChannel.h"
#include "channel/RendererGroup.h"
#include "session/QuotedNames.h"
#include "settings/AppletPlayer.h"
#include "streams/ResourceFetcher.h"

namespace {

enum TimerId : UINT_PTR { kServiceTimer = 1, kJoinTimer = 2, kLaunchTimer = 3 };
constexpr UINT kTickMs = 100;
// How long a closing page waits for its renderer before ending it.
constexpr DWORD kQuitWaitMs = 10000;

RendererChannel* ChannelOf(RendererGroup* group)
{
    return group ? group->channel : nullptr;
}

// Keeps the thread's messages flowing; false once a WM_QUIT waits in the queue, which is
// left there for the thread's own loop.
bool PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (message.message == WM_QUIT) return false;
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) return false;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

}  // namespace

LRESULT AppletPlayer::StartSession(HWND window, ResourceFetcher* fetcher)
{
    resourceProvider = fetcher;
    if (!TryLaunch(window)) SetTimer(window, kLaunchTimer, kTickMs, nullptr);
    return 0;
}

void AppletPlayer::GiveUpRenderer(HWND window, bool wasLauncher, bool logo)
{
    Groups().LeaveGroup(rendererGroup, wasLauncher);
    rendererGroup = nullptr;
    // The window was last painted blank; without a repaint the logo would wait for
    // whatever next happens to uncover it.
    if (logo && !showLogo) InvalidateRect(window, nullptr, FALSE);
    showLogo = logo;
}

bool AppletPlayer::TryLaunch(HWND window)
{
    if (launchDone) return true;
    // A launch-failure box runs its own message loop, which goes on delivering our timers.
    if (launchInProgress) return false;
    if (hasSrc && pageLocation.empty()) return false;
    RECT bounds;
    GetWindowRect(window, &bounds);
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (width * height == 0) return false;

    launchInProgress = true;
    char size[64];
    std::snprintf(size, sizeof size, " -width %d -height %d", width, height);
    commandLine += size;

    if (!windowName.empty()) {
        if (groupName.empty()) {
            char name[261];
            std::snprintf(name, sizeof name, "Orbolanth0x%lX", reinterpret_cast<unsigned long>(window));
            groupName = name;
        }
        rendererGroup = Groups().JoinGroup(groupName, hasSrc);

        if (rendererGroup && hasSrc) {
            LaunchSettings settings;
            settings.window = window;
            settings.alwaysActive = alwaysActive;
            settings.fetcher = resourceProvider;
            settings.adsMode = adsMode;
            settings.siteId = siteId;
            settings.pageLocation = pageLocation;
            settings.appletUrl = srcUrl;
            settings.rendererArgs = commandLine;
            resourceProvider = nullptr;  // handed over to the launch
            if (!StartRenderer(rendererGroup, settings)) {
                GiveUpRenderer(window, true, true);
            } else {
                SetTimer(window, kServiceTimer, kTickMs, nullptr);
                RendererChannel* channel = rendererGroup->channel;
                if (ActivityController* controller = GetActivityController()) controller->Activate(channel);
                for (const std::string& name : ParseQuotedNames(otherWindows)) {
                    HWND found = nullptr;
                    if (!channel->LookupWindow(name, &found) && !channel->ReserveWindowName(name)) {
                        GiveUpRenderer(window, true, true);
                        break;
                    }
                }
                if (rendererGroup) channel->LoadMappings(resourceMap);
            }
        }

        if (RendererChannel* channel = ChannelOf(rendererGroup)) {
            if (!channel->RegisterWindow(windowName, window)) GiveUpRenderer(window, false, true);
        } else if (rendererGroup && !hasSrc) {
            GiveUpRenderer(window, false, false);
            SetTimer(window, kJoinTimer, kTickMs, nullptr);
        }
    }

    // A joiner fetches nothing, and an instance that launched nothing has nobody to hand
    // its stream manager to.
    if (resourceProvider) resourceProvider->Release();
    resourceProvider = nullptr;
    launchDone = true;
    launchInProgress = false;
    return true;
}

bool AppletPlayer::OnRendererTimer(HWND window, UINT_PTR timerId)
{
    switch (timerId) {
    case kServiceTimer: {
        if (ActivityController* controller = GetActivityController()) controller->CheckForeground();
        if (RendererChannel* channel = ChannelOf(rendererGroup)) {
            std::string status;
            if (channel->GetStatusText(status) && !status.empty()) ShowStatus(status.c_str());
            if (channel->IsRendererRunning()) {
                channel->ServiceTick();
            } else {
                GiveUpRenderer(window, hasSrc, true);
                KillTimer(window, kServiceTimer);
                UpdateWindow(window);
            }
        }
        return true;
    }
    case kJoinTimer: {
        if (rendererGroup) return true;
        if (hasSrc) return false;
        rendererGroup = Groups().JoinGroup(groupName, false);
        if (!rendererGroup) return false;
        if (RendererChannel* channel = rendererGroup->channel) {
            if (!channel->RegisterWindow(windowName, window)) GiveUpRenderer(window, false, true);
            KillTimer(window, kJoinTimer);
        } else {
            GiveUpRenderer(window, false, false);
        }
        return true;
    }
    case kLaunchTimer:
        if (TryLaunch(window)) KillTimer(window, kLaunchTimer);
        return false;
    default:
        return false;
    }
}

void AppletPlayer::ServiceNow(HWND window)
{
    if (ChannelOf(rendererGroup) && hasSrc) OnRendererTimer(window, kServiceTimer);
}

LRESULT AppletPlayer::ShutDownRenderer(HWND window)
{
    KillTimer(window, kServiceTimer);
    KillTimer(window, kJoinTimer);
    KillTimer(window, kLaunchTimer);

    if (rendererGroup) {
        if (RendererChannel* channel = rendererGroup->channel) {
            channel->UnregisterWindow(windowName, window);
            channel->RequestQuit();
            // Pump while the renderer exits, but a renderer that ignores the request must
            // not hold the closing page for ever: after the bound it is ended.
            const DWORD start = GetTickCount();
            bool pumping = true;
            while (pumping && channel->IsRendererRunning()) {
                if (GetTickCount() - start >= kQuitWaitMs) {
                    TerminateProcess(channel->Process(), 1);
                    WaitForSingleObject(channel->Process(), 1000);
                    break;
                }
                Sleep(10);
                pumping = PumpMessages();
            }
        }
        GiveUpRenderer(window, hasSrc, false);
    }

    HWND parent = GetParent(window);
    if (IsWindow(parent)) {
        SetForegroundWindow(parent);
        SetFocus(parent);
    }
    return 0;
}

LRESULT AppletPlayer::OnFocus(HWND window)
{
    if (RendererChannel* channel = ChannelOf(rendererGroup)) {
        if (ActivityController* controller = GetActivityController()) controller->Activate(channel);
    }
    HWND child = GetWindow(window, GW_CHILD);
    if (IsWindow(child)) SetFocus(child);
    return 0;
}
