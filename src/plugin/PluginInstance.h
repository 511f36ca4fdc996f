// One per embed of our MIME type: the applet's settings, the logo, the renderer session
// that its window drives, its stream manager, and the browser's child window it is
// attached to. The NPAPI callbacks find it through the NPP handle and forward to it.
#pragma once

#include <windows.h>

#include "browser/NpapiAbi.h"
#include "logo/LogoPainter.h"
#include "session/SessionDriver.h"
#include "session/SessionWindow.h"
#include "session/StatusLine.h"
#include "settings/AppletSettings.h"
#include "streams/StreamOwner.h"

class StreamManager;

constexpr const char kInstanceProperty[] = "THISPTR";
// The procedure the plug-in replaced on a window, kept while its procedure is in the
// window's chain (after the instance has gone, when someone subclassed the window after it).
constexpr const char kReplacedProcProperty[] = "OrbolanthReplacedProc";

class PluginInstance final : private StatusLine, private StreamOwner {
public:
    // NPP_New: makes the instance and hangs it on the handle. No exception reaches the
    // browser: a construction that runs out of memory leaves no instance.
    static NPError Create(NPP npp, int16_t argc, char* argn[], char* argv[]);
    ~PluginInstance();

    // Work that may run a nested message loop (the modal launch-failure box, the wait for
    // the renderer) holds the instance: a browser that destroys it meanwhile only marks it,
    // and the outermost holder deletes it once that work has finished.
    class Hold {
    public:
        explicit Hold(PluginInstance* instance) : instance_(instance) { ++instance_->holds; }
        ~Hold()
        {
            if (--instance_->holds == 0 && instance_->destroyRequested) delete instance_;
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        PluginInstance* instance_;
    };
    // NPP_Destroy: deletes the instance now, or as soon as nothing holds it.
    void Destroy();

    void SetWindow(NPWindow* window);
    StreamManager& Streams() { return *streams; }

    // A fetch has ended, or the page's location has come: the session takes its next step
    // (serving the block, or the launch) from the message loop right away instead of at
    // the next tick.
    void ServiceSoon();
    static UINT ServiceSoonMessage() { return SessionWindow::ServiceSoonMessage(); }

    void ShowStatus(const char* text) override;

    const AppletSettings& Settings() const { return settings; }
    SessionDriver& Session() { return session; }
    LogoPainter& Logo() { return logo; }
    // The window it is attached to, as the browser's last record gave it.
    const NPWindow* BrowserWindow() const { return browserWindow; }
    HWND Window() const { return hwnd; }
    WNDPROC PreviousWndProc() const { return previousWndProc; }
    bool SessionStarted() const { return sessionStarted; }
    bool StopSent() const { return sessionWindow.Stopped(); }

private:
    explicit PluginInstance(NPP npp);
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    void PageLocationArrived(const std::string& location) override;
    void PageLocationLate() override;
    void FetchEnded() override { ServiceSoon(); }

    // The browser's child window, subclassed while attached.
    void AttachWindow(NPWindow* window);
    void DetachWindow();
    void RefreshWindow(NPWindow* window);
    static LRESULT CALLBACK InstanceWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    NPP npp;
    AppletSettings settings;
    LogoPainter logo;
    SessionDriver session;
    SessionWindow sessionWindow{session};
    StreamManager* streams = nullptr;
    bool sessionStarted = false;
    NPWindow* browserWindow = nullptr;
    HWND hwnd = nullptr;
    WNDPROC previousWndProc = nullptr;
    int holds = 0;
    bool destroyRequested = false;  // the browser is done with it; the NPP handle is gone
};

// The instance callbacks handed to the browser.
NPError NPP_New(NPMIMEType type, NPP instance, uint16_t mode, int16_t argc, char* argn[],
                char* argv[], NPSavedData* saved);
NPError NPP_Destroy(NPP instance, NPSavedData** save);
NPError NPP_SetWindow(NPP instance, NPWindow* window);
NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                      uint16_t* stype);
NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname);
int32_t NPP_WriteReady(NPP instance, NPStream* stream);
int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer);
void NPP_Print(NPP instance, NPPrint* printInfo);
void NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData);

// The instance behind a handle, or none.
PluginInstance* InstanceOf(NPP instance);
