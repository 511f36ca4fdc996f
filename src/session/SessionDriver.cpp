// Interim session driver: no renderer yet, so a session only gives back its fetcher.
#include "settings/AppletPlayer.h"
#include "streams/ResourceFetcher.h"

LRESULT AppletPlayer::StartSession(HWND window, ResourceFetcher* fetcher)
{
    resourceProvider = fetcher;
    TryLaunch(window);
    return 0;
}

bool AppletPlayer::TryLaunch(HWND)
{
    if (launchDone) return true;
    if (resourceProvider) resourceProvider->Release();
    resourceProvider = nullptr;
    launchDone = true;
    return true;
}

bool AppletPlayer::OnRendererTimer(HWND, UINT_PTR)
{
    return false;
}

LRESULT AppletPlayer::ShutDownRenderer(HWND window)
{
    HWND parent = GetParent(window);
    if (IsWindow(parent)) {
        SetForegroundWindow(parent);
        SetFocus(parent);
    }
    return 0;
}

LRESULT AppletPlayer::OnFocus(HWND window)
{
    HWND child = GetWindow(window, GW_CHILD);
    if (IsWindow(child)) SetFocus(child);
    return 0;
}
