#include "browser/BrowserServices.h"

#include <cstring>

namespace {

BrowserQuirks quirks;
NPPluginFuncs* pluginFuncs = nullptr;
NPNetscapeFuncs* browserFuncs = nullptr;
HINSTANCE moduleHandle = nullptr;

int BrowserMinor()
{
    return browserFuncs ? (browserFuncs->version & 0xFF) : 0;
}

}  // namespace

BrowserQuirks& Quirks() { return quirks; }

NPPluginFuncs* PluginFuncs() { return pluginFuncs; }
void SetPluginFuncs(NPPluginFuncs* funcs) { pluginFuncs = funcs; }
NPNetscapeFuncs* BrowserFuncs() { return browserFuncs; }
void SetBrowserFuncs(NPNetscapeFuncs* funcs) { browserFuncs = funcs; }

void StoreModuleHandle(HINSTANCE module)
{
    if (!moduleHandle) moduleHandle = module;
}

HINSTANCE ModuleHandle() { return moduleHandle; }

void DetectBrowserQuirks(NPP instance)
{
    int pluginMajor, pluginMinor, browserMajor, browserMinor;
    NPN_Version(&pluginMajor, &pluginMinor, &browserMajor, &browserMinor);
    if (browserMinor < 9) {
        quirks.urlNotifyUsable = false;
        quirks.browserResolvesUrls = false;
        quirks.windowSurvivesRequests = false;
    } else if (browserMinor == 9) {
        const char* agent = NPN_UserAgent(instance);
        if (agent && std::strstr(agent, "Explorer")) {
            quirks.urlNotifyUsable = false;
            quirks.windowSurvivesRequests = false;
        }
    }
}

bool IsExplorerAgent(const char* agent)
{
    if (!agent || std::strstr(agent, "Opera")) return false;
    return std::strstr(agent, "Explorer") || std::strstr(agent, "MSIE");
}

void NPN_Version(int* pluginMajor, int* pluginMinor, int* browserMajor, int* browserMinor)
{
    int version = browserFuncs ? browserFuncs->version : 0;
    *pluginMajor = kPluginMajorVersion;
    *pluginMinor = kPluginMinorVersion;
    *browserMajor = (version >> 8) & 0xFF;
    *browserMinor = version & 0xFF;
}

const char* NPN_UserAgent(NPP instance)
{
    return browserFuncs && browserFuncs->uagent ? browserFuncs->uagent(instance) : nullptr;
}

void NPN_Status(NPP instance, const char* message)
{
    if (browserFuncs && browserFuncs->status) browserFuncs->status(instance, message);
}

NPError NPN_GetURL(NPP instance, const char* url, const char* target)
{
    if (!browserFuncs || !browserFuncs->geturl) return NPERR_GENERIC_ERROR;
    return browserFuncs->geturl(instance, url, target);
}

NPError NPN_GetURLNotify(NPP instance, const char* url, const char* target, void* notifyData)
{
    if (BrowserMinor() < 9) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (!browserFuncs->geturlnotify) return NPERR_GENERIC_ERROR;
    return browserFuncs->geturlnotify(instance, url, target, notifyData);
}
