// The platform side of one applet: its settings, the logo it paints when no renderer
// can run, and the renderer session that its window drives. PluginInstance derives
// from it and says how status text reaches the browser.
#pragma once

#include <windows.h>

#include "settings/AppletSettings.h"

class ResourceFetcher;
struct RendererGroup;

class AppletPlayer : public AppletSettings {
public:
    // Defaults, then the parameter file named in the registry.
    AppletPlayer();
    virtual ~AppletPlayer() = default;
    AppletPlayer(const AppletPlayer&) = delete;
    AppletPlayer& operator=(const AppletPlayer&) = delete;

    virtual void ShowStatus(const char* text) = 0;

    // Reads HKLM "SOFTWARE\Orbolanth\ActiveXOrbolanth" "ParamFile" and applies its pairs.
    void LoadParamFile();

    // Logo display (src/logo).
    LRESULT PaintWindow(HWND hwnd, HDC hdc);
    void PaintLogo(HDC hdc, RECT area);

    // Renderer session (src/session).
    LRESULT StartSession(HWND window, ResourceFetcher* fetcher);
    bool TryLaunch(HWND window);
    bool OnRendererTimer(HWND window, UINT_PTR timerId);
    // What the service tick does, now: a file that has just arrived need not wait for it.
    void ServiceNow(HWND window);
    LRESULT ShutDownRenderer(HWND window);
    LRESULT OnFocus(HWND window);
    LRESULT OnEraseBackground() { return 1; }

    void SetShowLogo(bool on) { showLogo = on; }
    bool ShowLogo() const { return showLogo; }
    RendererGroup* Group() const { return rendererGroup; }
    bool LaunchDone() const { return launchDone; }

protected:
    // Leaves the renderer group and decides between the logo and a blank window.
    void GiveUpRenderer(HWND window, bool wasLauncher, bool logo);

    HBITMAP logoBitmap = nullptr;
    bool launchDone = false;
    ResourceFetcher* resourceProvider = nullptr;
    LOGFONTA logoFont{};
    bool logoFontReady = false;
    RendererGroup* rendererGroup = nullptr;
    bool showLogo = false;
    bool launchInProgress = false;  // guards TryLaunch against itself
};
