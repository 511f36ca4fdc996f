#include "session/SessionDriver.h"

#include <cstdio>
#include <cstring>

#include "activity/ActivityController.h"
#include "base/Held.h"
#include "base/MessagePump.h"
#include "base/ResourceFetcher.h"
#include "block/ChannelBlock.h"
#include "block/WindowWord.h"
#include "channel/RendererChannel.h"
#include "channel/RendererGroup.h"
#include "logo/LogoPainter.h"
#include "session/QuotedNames.h"
#include "session/StatusLine.h"
#include "settings/AppletSettings.h"

namespace {

enum TimerId : UINT_PTR { kServiceTimer = 1, kJoinTimer = 2, kLaunchTimer = 3 };
constexpr UINT kTickMs = 100;  // the join timer's
// How long a closing page waits for its renderer before ending it.
constexpr DWORD kQuitWaitMs = 10000;

RendererChannel* ChannelOf(RendererGroup* group)
{
    return group ? group->channel : nullptr;
}

// ORB_SERVICE_PACE=fixed keeps the service timer at the idle interval, for comparison.
bool FixedPaceAsked()
{
    char value[16];
    const DWORD length = GetEnvironmentVariableA("ORB_SERVICE_PACE", value, sizeof value);
    return length > 0 && length < sizeof value && std::strcmp(value, "fixed") == 0;
}

void FillWhite(HDC hdc, const RECT& area)
{
    FillRect(hdc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

}  // namespace

SessionDriver::SessionDriver(const AppletSettings& settings, LogoPainter& logo, StatusLine& status)
    : settings(settings), logo(logo), status(status), pace(FixedPaceAsked())
{
}

SessionDriver::~SessionDriver()
{
    if (resourceProvider) resourceProvider->Release();
    // Normally gone with the window already; a group must never keep a member that is gone.
    if (rendererGroup) Groups().LeaveGroup(rendererGroup, settings.HasSrc(), this);
}

LRESULT SessionDriver::StartSession(HWND window, ResourceFetcher* fetcher)
{
    resourceProvider = fetcher;
    fetcherSource = fetcher;
    if (TryLaunch(window)) return 0;
    // The page's location is usually a moment away; the launch should not wait out a long
    // tick for it, nor poll quickly for a location that never comes.
    const DWORD now = GetTickCount();
    pace.NoteProgress(now);
    launchIntervalMs = pace.IntervalMs(now);
    SetTimer(window, kLaunchTimer, launchIntervalMs, nullptr);
    return 0;
}

void SessionDriver::SetLogo(HWND window, bool on)
{
    // Without a repaint the change would wait for whatever next happens to uncover it.
    if (on != showLogo) InvalidateRect(window, nullptr, FALSE);
    showLogo = on;
}

RendererGroup* SessionDriver::Join(HWND window, bool asLauncher)
{
    memberWindow = window;
    return Groups().JoinGroup(groupName, asLauncher, this);
}

void SessionDriver::GiveUpRenderer(HWND window, bool logo, bool rendererDied)
{
    RendererGroup* group = rendererGroup;
    rendererGroup = nullptr;
    Groups().LeaveGroup(group, settings.HasSrc(), this, rendererDied);
    SetLogo(window, logo);
}

void SessionDriver::GroupEnded(bool rendererDied)
{
    // Only a joiner hears this: its launcher has gone or the renderer died. It waits for
    // the group's next renderer as it waited for the first, showing the logo meanwhile
    // when the applet broke rather than closed.
    rendererGroup = nullptr;
    if (rendererDied) SetLogo(memberWindow, true);
    SetTimer(memberWindow, kJoinTimer, kTickMs, nullptr);
}

void SessionDriver::PaceService(HWND window, const TickReport& tick)
{
    const DWORD now = GetTickCount();
    if (tick.progressed) {
        pace.NoteProgress(now);
    } else if (tick.underWay) {
        pace.NoteUnderWay(now);
    }
    const UINT interval = pace.IntervalMs(now);
    if (interval == serviceIntervalMs) return;
    if (SetTimer(window, kServiceTimer, interval, nullptr)) serviceIntervalMs = interval;
}

void SessionDriver::StopService(HWND window)
{
    KillTimer(window, kServiceTimer);
    serviceIntervalMs = 0;
}

bool SessionDriver::TryLaunch(HWND window)
{
    if (launchDone) return true;
    // A launch-failure box runs its own message loop, which goes on delivering our timers.
    if (launchInProgress) return false;
    const bool hasSrc = settings.HasSrc();
    if (hasSrc && settings.PageLocation().empty()) return false;
    RECT bounds;
    GetWindowRect(window, &bounds);
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (width * height == 0) return false;

    // The block holds URLs of kUrlLimit bytes: a cut src would name another file.
    if (hasSrc && settings.SrcUrl().size() >= kUrlLimit) {
        AbandonLaunch(window);
        return true;
    }

    launchInProgress = true;
    rendererArgs = RendererArguments(settings.CommandLine(), width, height);

    const std::string& windowName = settings.WindowName();
    if (!windowName.empty()) {
        groupName = settings.GroupName();
        if (groupName.empty()) {
            char name[261];
            std::snprintf(name, sizeof name, "Orbolanth0x%lX", static_cast<unsigned long>(WindowWord(window)));
            groupName = name;
        }
        rendererGroup = Join(window, hasSrc);

        if (rendererGroup && hasSrc) {
            LaunchSettings launch;
            launch.window = window;
            launch.alwaysActive = settings.AlwaysActive();
            launch.fetcher = resourceProvider;
            launch.adsMode = settings.AdsMode();
            launch.siteId = settings.SiteId();
            launch.pageLocation = settings.PageLocation();
            launch.appletUrl = settings.SrcUrl();
            launch.rendererArgs = rendererArgs;
            resourceProvider = nullptr;  // handed over to the launch
            if (!StartRenderer(rendererGroup, launch)) {
                GiveUpRenderer(window, true);
            } else {
                SetLogo(window, false);
                // The renderer asks for its applet as soon as it has started.
                PaceService(window, TickReport{true, false});
                RendererChannel* channel = rendererGroup->channel;
                if (ActivityController* controller = GetActivityController()) controller->Activate(channel);
                for (const std::string& name : ParseQuotedNames(settings.OtherWindows())) {
                    HWND found = nullptr;
                    if (!channel->LookupWindow(name, &found) && !channel->ReserveWindowName(name)) {
                        GiveUpRenderer(window, true);
                        break;
                    }
                }
                if (rendererGroup) channel->LoadMappings(settings.ResourceMap());
            }
        }

        if (RendererChannel* channel = ChannelOf(rendererGroup)) {
            if (!channel->RegisterWindow(windowName, window)) GiveUpRenderer(window, true);
        } else if (rendererGroup && !hasSrc) {
            GiveUpRenderer(window, false);
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

void SessionDriver::AbandonLaunch(HWND window)
{
    if (launchDone || launchInProgress) return;
    KillTimer(window, kLaunchTimer);
    if (resourceProvider) resourceProvider->Release();
    resourceProvider = nullptr;
    launchDone = true;
    SetLogo(window, true);
}

void SessionDriver::ShowLogoWhileWaiting(HWND window)
{
    if (!launchDone) SetLogo(window, true);
}

bool SessionDriver::OnRendererTimer(HWND window, UINT_PTR timerId)
{
    switch (timerId) {
    case kServiceTimer: {
        if (ActivityController* controller = GetActivityController()) controller->CheckForeground();
        RendererChannel* channel = ChannelOf(rendererGroup);
        if (!channel) return true;
        Held<RendererChannel> held(channel);
        std::string text;
        if (channel->GetStatusText(text) && !text.empty()) status.ShowStatus(text.c_str());
        // The browser may have run a message loop in there, in which this session was given
        // up or the page closed.
        if (ChannelOf(rendererGroup) != channel) return true;
        if (channel->IsRendererRunning()) {
            const TickReport tick = channel->ServiceTick();
            if (ChannelOf(rendererGroup) == channel) PaceService(window, tick);
        } else {
            channel->TraceExit("renderer gone while its page was open");
            rendererStopped = true;
            GiveUpRenderer(window, true, true);
            StopService(window);
            UpdateWindow(window);
        }
        return true;
    }
    case kJoinTimer: {
        if (rendererGroup) return true;
        if (settings.HasSrc()) return false;
        rendererGroup = Join(window, false);
        if (!rendererGroup) return false;
        if (RendererChannel* channel = rendererGroup->channel) {
            if (channel->RegisterWindow(settings.WindowName(), window)) {
                SetLogo(window, false);
            } else {
                GiveUpRenderer(window, true);
            }
            KillTimer(window, kJoinTimer);
        } else {
            // Still waiting: whatever the window shows stays, the logo of a broken applet too.
            GiveUpRenderer(window, showLogo);
        }
        return true;
    }
    case kLaunchTimer: {
        if (TryLaunch(window)) {
            KillTimer(window, kLaunchTimer);
            return false;
        }
        const UINT interval = pace.IntervalMs(GetTickCount());
        if (interval != launchIntervalMs && SetTimer(window, kLaunchTimer, interval, nullptr)) {
            launchIntervalMs = interval;
        }
        return false;
    }
    default:
        return false;
    }
}

void SessionDriver::ServiceNow(HWND window)
{
    if (!launchDone) {
        OnRendererTimer(window, kLaunchTimer);
        return;
    }
    if (ChannelOf(rendererGroup) && settings.HasSrc()) OnRendererTimer(window, kServiceTimer);
}

LRESULT SessionDriver::ShutDownRenderer(HWND window)
{
    StopService(window);
    KillTimer(window, kJoinTimer);
    KillTimer(window, kLaunchTimer);

    if (rendererGroup) {
        if (RendererChannel* channel = rendererGroup->channel) {
            Held<RendererChannel> held(channel);
            channel->UnregisterWindow(settings.WindowName(), window);
            // The renderer is the launcher's: a joiner, maybe of another page, only takes
            // its window back.
            if (settings.HasSrc()) {
                channel->RequestQuit();
                // Pump while the renderer exits, but a renderer that ignores the request must
                // not hold the closing page for ever: after the bound it is ended.
                const DWORD start = GetTickCount();
                bool pumping = true;
                const char* ending = "page closed";
                while (pumping && channel->IsRendererRunning()) {
                    if (GetTickCount() - start >= kQuitWaitMs) {
                        TerminateProcess(channel->Process(), 1);
                        WaitForSingleObject(channel->Process(), 1000);
                        ending = "no exit within the quit wait, process ended";
                        break;
                    }
                    Sleep(10);
                    pumping = PumpMessages();
                }
                channel->TraceExit(ending);
            }
        }
        GiveUpRenderer(window, false);
    }
    rendererStopped = false;

    HWND parent = GetParent(window);
    if (IsWindow(parent)) {
        SetForegroundWindow(parent);
        SetFocus(parent);
    }
    return 0;
}

LRESULT SessionDriver::OnFocus(HWND window)
{
    if (RendererChannel* channel = ChannelOf(rendererGroup)) {
        if (ActivityController* controller = GetActivityController()) controller->Activate(channel);
    }
    HWND child = GetWindow(window, GW_CHILD);
    if (IsWindow(child)) SetFocus(child);
    return 0;
}

bool SessionDriver::OnClick(HWND window)
{
    if (!rendererStopped) return false;
    if (!restarts.Take(GetTickCount())) return true;
    rendererStopped = false;
    // The note goes, whatever the launch brings.
    InvalidateRect(window, nullptr, FALSE);
    launchDone = false;
    fetcherSource->AddRef();
    resourceProvider = fetcherSource;
    if (!TryLaunch(window)) SetTimer(window, kLaunchTimer, kTickMs, nullptr);
    return true;
}

LRESULT SessionDriver::PaintWindow(HWND hwnd, HDC hdc)
{
    if (ActivityController* controller = GetActivityController()) controller->CheckForeground();
    if (!IsWindow(hwnd)) {
        RECT clip;
        GetClipBox(hdc, &clip);
        FillWhite(hdc, clip);
        return 0;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    if (showLogo) {
        logo.Paint(hdc, client, rendererStopped ? kStoppedNote : nullptr);
    } else {
        FillWhite(hdc, client);
    }
    return 0;
}
