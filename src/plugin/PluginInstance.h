// One per embed of our MIME type: the applet's settings and session (AppletPlayer), its
// browser window, its stream manager, and the browser's stream of the applet file.
#pragma once

#include <windows.h>

#include <deque>

#include "plugin/NpapiAbi.h"
#include "settings/AppletPlayer.h"

class StreamManager;
class StreamRequest;

constexpr const char kInstanceProperty[] = "THISPTR";
constexpr int kAppletPathLength = 260;

class PluginInstance : public AppletPlayer {
public:
    explicit PluginInstance(NPP npp);
    ~PluginInstance() override;

    void ShowStatus(const char* text) override;

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

    // The browser's child window, subclassed while attached.
    void AttachWindow(NPWindow* window);
    void DetachWindow();
    void RefreshWindow(NPWindow* window);
    static LRESULT CALLBACK InstanceWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Fails requests that never started while the browser cannot notify.
    void SweepPendingRequests();
    // A fetch has ended: the renderer's block is served from the message loop right away
    // instead of at the next tick.
    void ServiceSoon();
    static UINT ServiceSoonMessage();
    StreamRequest* FindStreamRequest(NPStream* stream, bool unlink);

    // Read and written by the stream manager and the callbacks below.
    std::deque<StreamRequest*> pendingRequests;
    NPStream* appletStream = nullptr;
    char appletFilePath[kAppletPathLength + 1] = {};
    int32_t appletFileState = 0;
    NPStream* locationStream = nullptr;
    NPP npp;
    bool sessionStarted = false;
    NPWindow* browserWindow = nullptr;
    HWND hwnd = nullptr;
    StreamManager* streams = nullptr;
    int32_t timerTicks = 0;
    int32_t nullWindowAllowance = 0;
    WNDPROC previousWndProc = nullptr;
    bool stopSent = false;
    int holds = 0;
    bool destroyRequested = false;  // the browser is done with it; the NPP handle is gone
    bool serviceSoonPosted = false;
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
