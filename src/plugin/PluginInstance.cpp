#include "plugin/PluginInstance.h"

#include <new>
#include <string>

#include "base/AsciiCase.h"
#include "browser/BrowserServices.h"
#include "settings/InstalledParamFile.h"
#include "streams/StreamManager.h"

namespace {

// The value of the first "src" argument; false when there is none.
bool FindSrcArgument(int16_t argc, char* argn[], char* argv[], std::string& value)
{
    for (int i = 0; i < argc && argn; ++i) {
        if (argn[i] && EqualsIgnoringCase(argn[i], "src")) {
            value = argv && argv[i] ? argv[i] : "";
            return true;
        }
    }
    return false;
}

}  // namespace

PluginInstance::PluginInstance(NPP npp)
    : npp(npp), logo(ModuleHandle()), session(settings, logo, *this)
{
    ApplyInstalledParamFile(settings);
    // Last: nothing after it may throw, or the manager would never be released.
    streams = new StreamManager(npp, this);
}

PluginInstance::~PluginInstance()
{
    // The renderer channel may hold the stream manager a little longer than we live.
    streams->Detach();
    streams->Release();
}

NPError PluginInstance::Create(NPP npp, int16_t argc, char* argn[], char* argv[])
{
    PluginInstance* plugin = nullptr;
    try {
        plugin = new PluginInstance(npp);
    } catch (const std::bad_alloc&) {
        plugin = nullptr;
    }
    npp->pdata = plugin;
    if (!plugin) return NPERR_OUT_OF_MEMORY_ERROR;

    // The browser may answer the location request inside the call, and close the page there.
    Hold hold(plugin);
    try {
        std::string src;
        if (FindSrcArgument(argc, argn, argv, src)) plugin->streams->RequestLocation(src);
        plugin->settings.ParseParameters(argc, argn, argv);
    } catch (const std::bad_alloc&) {
        // The pairs applied before memory ran out stay; the page's other settings are lost.
    }
    return NPERR_NO_ERROR;
}

void PluginInstance::ShowStatus(const char* text)
{
    if (!destroyRequested) NPN_Status(npp, text);
}

void PluginInstance::PageLocationArrived(const std::string& location)
{
    settings.SetPageLocation(location);
    // A window that waits for the location launches from the message loop, not at the
    // launch timer's next tick.
    ServiceSoon();
}

void PluginInstance::PageLocationLate()
{
    if (hwnd) session.ShowLogoWhileWaiting(hwnd);
}

void PluginInstance::Destroy()
{
    if (browserWindow) DetachWindow();
    if (holds == 0) {
        delete this;
        return;
    }
    // The browser frees its handle when NPP_Destroy returns: nothing may reach it after.
    destroyRequested = true;
    streams->Detach();
}

void PluginInstance::SetWindow(NPWindow* window)
{
    Hold hold(this);
    HWND handle = window ? static_cast<HWND>(window->window) : nullptr;
    if (!browserWindow) {
        if (handle) AttachWindow(window);
    } else if (handle) {
        if (handle == hwnd) {
            RefreshWindow(window);
        } else {
            DetachWindow();
            AttachWindow(window);
        }
    } else if (window && streams->TakeNullWindowAllowance()) {
        RefreshWindow(window);
    } else {
        DetachWindow();
    }
}

PluginInstance* InstanceOf(NPP instance)
{
    return instance ? static_cast<PluginInstance*>(instance->pdata) : nullptr;
}

NPError NPP_New(NPMIMEType, NPP instance, uint16_t, int16_t argc, char* argn[], char* argv[],
                NPSavedData*)
{
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    DetectBrowserQuirks(instance);
    return PluginInstance::Create(instance, argc, argn, argv);
}

NPError NPP_Destroy(NPP instance, NPSavedData**)
{
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (PluginInstance* plugin = InstanceOf(instance)) plugin->Destroy();
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return NPERR_INVALID_INSTANCE_ERROR;
    plugin->SetWindow(window);
    return NPERR_NO_ERROR;
}

// Every stream callback holds the instance: the first stream or the location's end may
// send the requests that waited for them to the browser, which may run a dialog in there
// and close the page meanwhile.
NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream* stream, NPBool, uint16_t* stype)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return NPERR_INVALID_INSTANCE_ERROR;
    PluginInstance::Hold hold(plugin);
    if (stream) plugin->Streams().NewStream(stream, stype);
    return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return NPERR_INVALID_INSTANCE_ERROR;
    PluginInstance::Hold hold(plugin);
    plugin->Streams().DestroyStream(stream, reason);
    return NPERR_NO_ERROR;
}

void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return;
    PluginInstance::Hold hold(plugin);
    plugin->Streams().StreamAsFile(stream, fname);
}

// Touches no instance.
int32_t NPP_WriteReady(NPP, NPStream*)
{
    return 0x0FFFFFFF;
}

int32_t NPP_Write(NPP instance, NPStream* stream, int32_t, int32_t len, void* buffer)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return len;
    PluginInstance::Hold hold(plugin);
    plugin->Streams().Write(stream, len, buffer);
    return len;
}

void NPP_Print(NPP instance, NPPrint* printInfo)
{
    if (instance && printInfo && printInfo->mode == NP_FULL) {
        printInfo->print.fullPrint.pluginPrinted = false;
    }
}

// A destroyed instance has failed and freed all its requests: a late notification for
// one of them is ignored.
void NPP_URLNotify(NPP instance, const char*, NPReason reason, void* notifyData)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return;
    PluginInstance::Hold hold(plugin);
    plugin->Streams().UrlNotify(notifyData, reason);
}
