// The browser's side of the plug-in interface as the rest of the plug-in sees it: the
// two function tables, what the browser can be trusted to do, and the only calls that
// go into the browser.
#pragma once

#include <windows.h>

#include "browser/NpapiAbi.h"

// Versions this plug-in speaks: 0.11.
constexpr int kPluginMajorVersion = 0;
constexpr int kPluginMinorVersion = 11;

// What the hosting browser can be trusted to do. All true at load; only ever cleared.
struct BrowserQuirks {
    bool urlNotifyUsable = true;          // NPP_URLNotify arrives; streams carry notifyData
    bool browserResolvesUrls = true;      // relative URLs may be handed to the browser as they are
    bool windowSurvivesRequests = true;   // a browser request never costs us our window
};

BrowserQuirks& Quirks();

NPPluginFuncs* PluginFuncs();
void SetPluginFuncs(NPPluginFuncs* funcs);
NPNetscapeFuncs* BrowserFuncs();
void SetBrowserFuncs(NPNetscapeFuncs* funcs);

// The library's own module handle: stored by the first call of the entry routine.
void StoreModuleHandle(HINSTANCE module);
HINSTANCE ModuleHandle();

// Reads the browser's version word and user agent at the start of every NPP_New.
void DetectBrowserQuirks(NPP instance);

// Internet Explorer names itself "Explorer" or "MSIE". Opera also says "MSIE" when it
// poses as Explorer, but it is a Netscape-family browser whose streams work: an agent that
// names Opera is never taken for Explorer.
bool IsExplorerAgent(const char* agent);

void NPN_Version(int* pluginMajor, int* pluginMinor, int* browserMajor, int* browserMinor);
const char* NPN_UserAgent(NPP instance);
void NPN_Status(NPP instance, const char* message);
NPError NPN_GetURL(NPP instance, const char* url, const char* target);
NPError NPN_GetURLNotify(NPP instance, const char* url, const char* target, void* notifyData);
