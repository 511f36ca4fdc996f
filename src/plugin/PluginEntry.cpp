#include "plugin/PluginEntry.h"

#include "activity/ActivityController.h"
#include "base/ModuleHold.h"
#include "base/Trace.h"
#include "browser/BrowserServices.h"
#include "plugin/PluginInstance.h"
#include "settings/TraceSetting.h"

extern "C" NPError __stdcall NP_GetEntryPoints(NPPluginFuncs* pFuncs)
{
    if (!pFuncs) return NPERR_INVALID_FUNCTABLE_ERROR;
    pFuncs->version = (kPluginMajorVersion << 8) | kPluginMinorVersion;
    pFuncs->newp = NPP_New;
    pFuncs->destroy = NPP_Destroy;
    pFuncs->setwindow = NPP_SetWindow;
    pFuncs->newstream = NPP_NewStream;
    pFuncs->destroystream = NPP_DestroyStream;
    pFuncs->asfile = NPP_StreamAsFile;
    pFuncs->writeready = NPP_WriteReady;
    pFuncs->write = NPP_Write;
    pFuncs->print = NPP_Print;
    pFuncs->event = nullptr;
    SetPluginFuncs(pFuncs);
    return NPERR_NO_ERROR;
}

extern "C" NPError __stdcall NP_Initialize(NPNetscapeFuncs* pFuncs)
{
    if (!pFuncs) return NPERR_INVALID_FUNCTABLE_ERROR;
    SetBrowserFuncs(pFuncs);
    if (((pFuncs->version >> 8) & 0xFF) > kPluginMajorVersion) {
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    }
    // A browser that skipped NP_GetEntryPoints has handed us no table to complete.
    NPPluginFuncs* table = PluginFuncs();
    if ((pFuncs->version & 0xFF) >= 9 && table) {
        table->urlnotify = NPP_URLNotify;
        table->javaClass = NPP_GetJavaClass();
    }
    const NPError result = NPP_Initialize();
    std::wstring traceFile;
    if (result == NPERR_NO_ERROR && ConfiguredTraceFile(traceFile) && StartTrace(traceFile)) {
        TraceEvent("plug-in", std::string("initialised, ") + (sizeof(void*) == 8 ? "x86-64" : "i686") +
                                  ", browser's NPAPI " + std::to_string(pFuncs->version >> 8) + "." +
                                  std::to_string(pFuncs->version & 0xFF));
    }
    return result;
}

extern "C" NPError __stdcall NP_Shutdown(void)
{
    NPP_Shutdown();
    TraceEvent("plug-in", "shut down");
    // Here, not at DLL_PROCESS_DETACH: waiting for the writer's thread is safe only outside
    // the loader lock.
    StopTrace();
    SetBrowserFuncs(nullptr);
    ModuleHold::LibraryShutDown();
    return NPERR_NO_ERROR;
}

NPError NPP_Initialize()
{
    SetActivityClass("Netscape");
    return NPERR_NO_ERROR;
}

void NPP_Shutdown() {}

void* NPP_GetJavaClass()
{
    return nullptr;
}
