#include "plugin/PluginInstance.h"

#include <cstring>
#include <new>
#include <string>

#include "plugin/BrowserServices.h"
#include "settings/AsciiCase.h"
#include "streams/DownloadListener.h"
#include "streams/StreamManager.h"
#include "streams/StreamRequest.h"
#include "streams/UrlResolution.h"

constexpr int kLogoBitmapId = 103;

PluginInstance::PluginInstance(NPP npp) : npp(npp)
{
    streams = new StreamManager(npp);
    logoBitmap = LoadBitmapA(ModuleHandle(), MAKEINTRESOURCEA(kLogoBitmapId));
}

PluginInstance::~PluginInstance()
{
    // The renderer channel may hold the stream manager a little longer than we live.
    streams->Detach();
    streams->Release();
    for (StreamRequest* request : pendingRequests) delete request;
    pendingRequests.clear();
    if (logoBitmap) DeleteObject(logoBitmap);
}

void PluginInstance::ShowStatus(const char* text)
{
    if (!destroyRequested) NPN_Status(npp, text);
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

PluginInstance* InstanceOf(NPP instance)
{
    return instance ? static_cast<PluginInstance*>(instance->pdata) : nullptr;
}

NPError NPP_New(NPMIMEType, NPP instance, uint16_t, int16_t argc, char* argn[], char* argv[],
                NPSavedData*)
{
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    DetectBrowserQuirks(instance);

    bool hasSrcArgument = false;
    for (int i = 0; i < argc && argn; ++i) {
        if (argn[i] && EqualsIgnoringCase(argn[i], "src")) {
            hasSrcArgument = true;
            break;
        }
    }

    // No exception may reach the browser: an allocation that fails anywhere in the
    // construction means no instance.
    PluginInstance* plugin = nullptr;
    try {
        plugin = new PluginInstance(instance);
    } catch (const std::bad_alloc&) {
        plugin = nullptr;
    }
    instance->pdata = plugin;
    if (!plugin) return NPERR_OUT_OF_MEMORY_ERROR;

    if (hasSrcArgument) plugin->streams->RequestLocation();
    try {
        plugin->ParseParameters(argc, argn, argv);
    } catch (const std::bad_alloc&) {
        // The pairs applied before memory ran out stay; the page's other settings are lost.
    }
    return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (plugin) plugin->Destroy();
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return NPERR_INVALID_INSTANCE_ERROR;
    PluginInstance::Hold hold(plugin);
    HWND handle = window ? static_cast<HWND>(window->window) : nullptr;

    if (!plugin->browserWindow) {
        if (handle) plugin->AttachWindow(window);
    } else if (handle) {
        if (handle == plugin->hwnd) {
            plugin->RefreshWindow(window);
        } else {
            plugin->DetachWindow();
            plugin->AttachWindow(window);
        }
    } else if (window && !Quirks().windowSurvivesRequests && plugin->nullWindowAllowance > 0) {
        --plugin->nullWindowAllowance;
        plugin->RefreshWindow(window);
    } else {
        plugin->DetachWindow();
    }
    return NPERR_NO_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream* stream, NPBool, uint16_t* stype)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return NPERR_INVALID_INSTANCE_ERROR;
    if (!stream) return NPERR_NO_ERROR;

    StreamClass kind = plugin->streams->ClassifyStream(stream->url);
    if (kind.isLocation) {
        plugin->locationStream = stream;
        return NPERR_NO_ERROR;
    }
    if (StreamRequest* request = plugin->FindStreamRequest(stream, false)) {
        request->started = true;
        if (stype) *stype = NP_ASFILE;
    } else if (kind.isAppletCandidate) {
        plugin->appletStream = stream;
        if (stype) *stype = NP_ASFILE;
    }
    return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return NPERR_INVALID_INSTANCE_ERROR;

    if (StreamRequest* request = plugin->FindStreamRequest(stream, true)) {
        if (reason == NPRES_DONE) {
            request->ReportDone();
        } else {
            request->ReportFailed();
        }
        bool travelsAsNotifyData = Quirks().urlNotifyUsable && stream->notifyData == request;
        if (!travelsAsNotifyData) delete request;
        plugin->ServiceSoon();
    } else if (stream && stream == plugin->appletStream) {
        plugin->appletFileState = reason == NPRES_DONE ? 5 : 4;
        plugin->appletStream = nullptr;
    }
    if (stream && stream == plugin->locationStream) plugin->locationStream = nullptr;
    return NPERR_NO_ERROR;
}

void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return;

    if (StreamRequest* request = plugin->FindStreamRequest(stream, false)) {
        if (fname) {
            request->SetLocalFile(fname);
        } else {
            request->ReportFailed();
            plugin->ServiceSoon();
        }
    } else if (stream && stream == plugin->appletStream) {
        if (fname) {
            std::strncpy(plugin->appletFilePath, fname, kAppletPathLength);
            plugin->appletFilePath[kAppletPathLength] = '\0';
        } else {
            plugin->appletFilePath[0] = '\0';
        }
    }
}

int32_t NPP_WriteReady(NPP, NPStream*)
{
    return 0x0FFFFFFF;
}

int32_t NPP_Write(NPP instance, NPStream* stream, int32_t, int32_t len, void* buffer)
{
    PluginInstance* plugin = InstanceOf(instance);
    if (!plugin) return len;
    if (stream && stream == plugin->locationStream && buffer && len > 0) {
        const char* bytes = static_cast<const char*>(buffer);
        std::string text(bytes, strnlen(bytes, static_cast<size_t>(len)));
        if (plugin->streams->TakeLocation(text.c_str())) plugin->locationStream = nullptr;
    }
    return len;
}

void NPP_Print(NPP instance, NPPrint* printInfo)
{
    if (instance && printInfo && printInfo->mode == NP_FULL) {
        printInfo->print.fullPrint.pluginPrinted = false;
    }
}

void NPP_URLNotify(NPP instance, const char*, NPReason, void* notifyData)
{
    if (!notifyData) return;
    StreamRequest* request = static_cast<StreamRequest*>(notifyData);
    if (!request->localFile.empty()) {
        request->ReportDone();
    } else {
        request->ReportFailed();
    }
    delete request;
    if (PluginInstance* plugin = InstanceOf(instance)) plugin->ServiceSoon();
}

// The last path segment of a URL: after the last '/' (and, for stream URLs, '\\').
static const char* LastSegment(const char* url, bool backslashToo)
{
    const char* slash = std::strrchr(url, '/');
    if (backslashToo) {
        const char* backslash = std::strrchr(url, '\\');
        if (backslash && (!slash || backslash > slash)) slash = backslash;
    }
    return slash ? slash + 1 : url;
}

StreamRequest* PluginInstance::FindStreamRequest(NPStream* stream, bool unlink)
{
    if (!stream) return nullptr;
    if (Quirks().urlNotifyUsable && stream->notifyData) {
        return static_cast<StreamRequest*>(stream->notifyData);
    }
    if (!stream->url) return nullptr;
    // Stream URLs come escaped ("a%20b.obv") while request URLs keep their spaces: both
    // sides are compared in the escaped form the request was made with.
    const std::string key = EscapeSpaces(LastSegment(stream->url, true));
    for (auto it = pendingRequests.begin(); it != pendingRequests.end(); ++it) {
        StreamRequest* request = *it;
        if (!request->listener) continue;
        if (EscapeSpaces(LastSegment(request->listener->GetUrl(), false)) != key) continue;
        if (unlink) pendingRequests.erase(it);
        return request;
    }
    return nullptr;
}
