// A plug-in that asks the browser for what its embed names, so that the host's serving of
// URLs can be driven without a renderer. What it sees goes back through NPN_Status:
//   fetch=URL      NPN_GetURLNotify (NPN_GetURL when the browser has no notifications)
//   get=URL        NPN_GetURL with a null target
//   navigate=URL   NPN_GetURL with the target "_blank"
//   stall=1        NPP_WriteReady always answers 0, so streams stay open
// Every stream but a javascript: answer is taken as a file; NPP_StreamAsFile reports the file's size
// and first bytes as "asfile URL bytes=N text=FIRST".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "browser/NpapiAbi.h"

namespace {

NPNetscapeFuncs* browser = nullptr;

struct Probe {
    bool stall = false;
};

void Report(NPP npp, const std::string& text)
{
    browser->status(npp, text.c_str());
}

NPError New(NPMIMEType, NPP npp, uint16_t, int16_t argc, char* argn[], char* argv[], NPSavedData*)
{
    auto* probe = new Probe;
    npp->pdata = probe;
    char table[96];
    std::snprintf(table, sizeof table, "browser version=0x%04X geturlnotify=%s", browser->version,
                  browser->geturlnotify ? "present" : "null");
    Report(npp, table);
    for (int i = 0; i < argc; ++i) {
        const std::string name = argn[i];
        void* notifyData = reinterpret_cast<void*>(static_cast<uintptr_t>(0x100 + i));
        if (name == "fetch") {
            if (browser->geturlnotify) {
                browser->geturlnotify(npp, argv[i], nullptr, notifyData);
            } else {
                browser->geturl(npp, argv[i], nullptr);
            }
        } else if (name == "get") {
            browser->geturl(npp, argv[i], nullptr);
        } else if (name == "navigate") {
            browser->geturl(npp, argv[i], "_blank");
        } else if (name == "stall") {
            probe->stall = true;
        }
    }
    return NPERR_NO_ERROR;
}

NPError Destroy(NPP npp, NPSavedData**)
{
    delete static_cast<Probe*>(npp->pdata);
    npp->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError SetWindow(NPP, NPWindow*)
{
    return NPERR_NO_ERROR;
}

NPError NewStream(NPP, NPMIMEType, NPStream* stream, NPBool, uint16_t* stype)
{
    if (std::strncmp(stream->url, "javascript:", 11) != 0) *stype = NP_ASFILE;
    return NPERR_NO_ERROR;
}

int32_t WriteReady(NPP npp, NPStream*)
{
    return static_cast<Probe*>(npp->pdata)->stall ? 0 : 0x0FFFFFFF;
}

int32_t Write(NPP, NPStream*, int32_t, int32_t len, void*)
{
    return len;
}

void StreamAsFile(NPP npp, NPStream* stream, const char* fname)
{
    std::string text;
    long bytes = -1;
    if (FILE* file = fname ? std::fopen(fname, "rb") : nullptr) {
        char first[32] = "";
        size_t got = std::fread(first, 1, sizeof first, file);
        text.assign(first, got);
        std::fseek(file, 0, SEEK_END);
        bytes = std::ftell(file);
        std::fclose(file);
    }
    Report(npp, "asfile " + std::string(stream->url) + " bytes=" + std::to_string(bytes) + " text=" + text);
}

NPError DestroyStream(NPP, NPStream*, NPReason)
{
    return NPERR_NO_ERROR;
}

void UrlNotify(NPP, const char*, NPReason, void*) {}

}  // namespace

extern "C" NPError __stdcall NP_GetEntryPoints(NPPluginFuncs* funcs)
{
    funcs->version = 11;
    funcs->newp = New;
    funcs->destroy = Destroy;
    funcs->setwindow = SetWindow;
    funcs->newstream = NewStream;
    funcs->destroystream = DestroyStream;
    funcs->asfile = StreamAsFile;
    funcs->writeready = WriteReady;
    funcs->write = Write;
    funcs->urlnotify = UrlNotify;
    return NPERR_NO_ERROR;
}

extern "C" NPError __stdcall NP_Initialize(NPNetscapeFuncs* funcs)
{
    browser = funcs;
    return NPERR_NO_ERROR;
}

extern "C" NPError __stdcall NP_Shutdown()
{
    browser = nullptr;
    return NPERR_NO_ERROR;
}
