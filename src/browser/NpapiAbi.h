// The browser plug-in interface as Windows browsers of NPAPI 0.11 lay it out, 32-bit and
// 64-bit: the same declarations, with every pointer, handle and function slot as wide as
// the target's pointers. (Not named npapi.h: MinGW ships an unrelated header of that name.)
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef unsigned char NPBool;
typedef int16_t NPError;
typedef int16_t NPReason;
typedef char* NPMIMEType;

struct NPP_t {
    void* pdata;  // ours
    void* ndata;  // the browser's
};
typedef NPP_t* NPP;

struct NPSavedData {
    int32_t len;
    void* buf;
};

struct NPRect {
    uint16_t top;
    uint16_t left;
    uint16_t bottom;
    uint16_t right;
};

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

struct NPWindow {
    void* window;  // HWND of the instance's child window
    int32_t x;
    int32_t y;
    uint32_t width;
    uint32_t height;
    NPRect clipRect;
    NPWindowType type;
};

// The 0.11 stream record: a plug-in of this version never reads past notifyData.
struct NPStream {
    void* pdata;
    void* ndata;
    const char* url;
    uint32_t end;
    uint32_t lastmodified;
    void* notifyData;
};

struct NPFullPrint {
    NPBool pluginPrinted;
    NPBool printOne;
    void* platformPrint;
};

struct NPEmbedPrint {
    NPWindow window;
    void* platformPrint;
};

struct NPPrint {
    uint16_t mode;
    union {
        NPFullPrint fullPrint;
        NPEmbedPrint embedPrint;
    } print;
};

enum : NPError {
    NPERR_NO_ERROR = 0,
    NPERR_GENERIC_ERROR = 1,
    NPERR_INVALID_INSTANCE_ERROR = 2,
    NPERR_INVALID_FUNCTABLE_ERROR = 3,
    NPERR_MODULE_LOAD_FAILED_ERROR = 4,
    NPERR_OUT_OF_MEMORY_ERROR = 5,
    NPERR_INVALID_PLUGIN_ERROR = 6,
    NPERR_INVALID_PLUGIN_DIR_ERROR = 7,
    NPERR_INCOMPATIBLE_VERSION_ERROR = 8,
    NPERR_INVALID_PARAM = 9,
    NPERR_INVALID_URL = 10,
    NPERR_FILE_NOT_FOUND = 11,
    NPERR_NO_DATA = 12,
    NPERR_STREAM_NOT_SEEKABLE = 13,
};

enum : NPReason { NPRES_DONE = 0, NPRES_NETWORK_ERR = 1, NPRES_USER_BREAK = 2 };

enum : uint16_t { NP_EMBED = 1, NP_FULL = 2 };
enum : uint16_t { NP_NORMAL = 1, NP_SEEK = 2, NP_ASFILE = 3, NP_ASFILEONLY = 4 };

// Instance callbacks: the C default convention on Win32.
typedef NPError (*NPP_NewProc)(NPMIMEType type, NPP instance, uint16_t mode, int16_t argc,
                               char* argn[], char* argv[], NPSavedData* saved);
typedef NPError (*NPP_DestroyProc)(NPP instance, NPSavedData** save);
typedef NPError (*NPP_SetWindowProc)(NPP instance, NPWindow* window);
typedef NPError (*NPP_NewStreamProc)(NPP instance, NPMIMEType type, NPStream* stream,
                                     NPBool seekable, uint16_t* stype);
typedef NPError (*NPP_DestroyStreamProc)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPP_StreamAsFileProc)(NPP instance, NPStream* stream, const char* fname);
typedef int32_t (*NPP_WriteReadyProc)(NPP instance, NPStream* stream);
typedef int32_t (*NPP_WriteProc)(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                                 void* buffer);
typedef void (*NPP_PrintProc)(NPP instance, NPPrint* platformPrint);
typedef int16_t (*NPP_HandleEventProc)(NPP instance, void* event);
typedef void (*NPP_URLNotifyProc)(NPP instance, const char* url, NPReason reason,
                                  void* notifyData);
typedef NPError (*NPP_GetValueProc)(NPP instance, int variable, void* value);
typedef NPError (*NPP_SetValueProc)(NPP instance, int variable, void* value);

struct NPPluginFuncs {
    uint16_t size;
    uint16_t version;
    NPP_NewProc newp;
    NPP_DestroyProc destroy;
    NPP_SetWindowProc setwindow;
    NPP_NewStreamProc newstream;
    NPP_DestroyStreamProc destroystream;
    NPP_StreamAsFileProc asfile;
    NPP_WriteReadyProc writeready;
    NPP_WriteProc write;
    NPP_PrintProc print;
    NPP_HandleEventProc event;
    NPP_URLNotifyProc urlnotify;
    void* javaClass;
    NPP_GetValueProc getvalue;
    NPP_SetValueProc setvalue;
};

// Browser services: also the C default convention.
typedef NPError (*NPN_GetURLProc)(NPP instance, const char* url, const char* target);
typedef NPError (*NPN_PostURLProc)(NPP instance, const char* url, const char* target, uint32_t len,
                                   const char* buf, NPBool file);
typedef NPError (*NPN_RequestReadProc)(NPStream* stream, void* rangeList);
typedef NPError (*NPN_NewStreamProc)(NPP instance, NPMIMEType type, const char* target,
                                     NPStream** stream);
typedef int32_t (*NPN_WriteProc)(NPP instance, NPStream* stream, int32_t len, void* buffer);
typedef NPError (*NPN_DestroyStreamProc)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPN_StatusProc)(NPP instance, const char* message);
typedef const char* (*NPN_UserAgentProc)(NPP instance);
typedef void* (*NPN_MemAllocProc)(uint32_t size);
typedef void (*NPN_MemFreeProc)(void* ptr);
typedef uint32_t (*NPN_MemFlushProc)(uint32_t size);
typedef void (*NPN_ReloadPluginsProc)(NPBool reloadPages);
typedef void* (*NPN_GetJavaEnvProc)(void);
typedef void* (*NPN_GetJavaPeerProc)(NPP instance);
typedef NPError (*NPN_GetURLNotifyProc)(NPP instance, const char* url, const char* target,
                                        void* notifyData);
typedef NPError (*NPN_PostURLNotifyProc)(NPP instance, const char* url, const char* target,
                                         uint32_t len, const char* buf, NPBool file,
                                         void* notifyData);
typedef NPError (*NPN_GetValueProc)(NPP instance, int variable, void* value);
typedef NPError (*NPN_SetValueProc)(NPP instance, int variable, void* value);
typedef void (*NPN_InvalidateRectProc)(NPP instance, NPRect* rect);
typedef void (*NPN_InvalidateRegionProc)(NPP instance, void* region);
typedef void (*NPN_ForceRedrawProc)(NPP instance);

struct NPNetscapeFuncs {
    uint16_t size;
    uint16_t version;
    NPN_GetURLProc geturl;
    NPN_PostURLProc posturl;
    NPN_RequestReadProc requestread;
    NPN_NewStreamProc newstream;
    NPN_WriteProc write;
    NPN_DestroyStreamProc destroystream;
    NPN_StatusProc status;
    NPN_UserAgentProc uagent;
    NPN_MemAllocProc memalloc;
    NPN_MemFreeProc memfree;
    NPN_MemFlushProc memflush;
    NPN_ReloadPluginsProc reloadplugins;
    NPN_GetJavaEnvProc getJavaEnv;
    NPN_GetJavaPeerProc getJavaPeer;
    NPN_GetURLNotifyProc geturlnotify;
    NPN_PostURLNotifyProc posturlnotify;
    NPN_GetValueProc getvalue;
    NPN_SetValueProc setvalue;
    NPN_InvalidateRectProc invalidaterect;
    NPN_InvalidateRegionProc invalidateregion;
    NPN_ForceRedrawProc forceredraw;
};

// The three exports browsers find by their plain names; __stdcall on Win32.
typedef NPError(__stdcall* NP_GetEntryPointsProc)(NPPluginFuncs* pFuncs);
typedef NPError(__stdcall* NP_InitializeProc)(NPNetscapeFuncs* pFuncs);
typedef NPError(__stdcall* NP_ShutdownProc)(void);

}  // extern "C"

// A browser of the other width cannot load us, so each layout is checked for the target
// being built: any drift from what browsers compile fails the build.
constexpr size_t NpAbi(size_t onWin32, size_t onWin64)
{
    return sizeof(void*) == 4 ? onWin32 : onWin64;
}

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "pointer width");
static_assert(sizeof(NPP_t) == NpAbi(8, 16) && offsetof(NPP_t, ndata) == NpAbi(4, 8), "NPP_t");
static_assert(sizeof(NPSavedData) == NpAbi(8, 16) && offsetof(NPSavedData, buf) == NpAbi(4, 8), "NPSavedData");
static_assert(sizeof(NPRect) == 8 && offsetof(NPRect, left) == 2 && offsetof(NPRect, right) == 6, "NPRect");

static_assert(sizeof(NPWindow) == NpAbi(32, 40), "NPWindow");
static_assert(offsetof(NPWindow, x) == NpAbi(4, 8) && offsetof(NPWindow, y) == NpAbi(8, 12), "NPWindow.x/y");
static_assert(offsetof(NPWindow, width) == NpAbi(12, 16) && offsetof(NPWindow, height) == NpAbi(16, 20),
              "NPWindow.width/height");
static_assert(offsetof(NPWindow, clipRect) == NpAbi(20, 24) && offsetof(NPWindow, type) == NpAbi(28, 32),
              "NPWindow.clipRect/type");

static_assert(sizeof(NPStream) == NpAbi(24, 40), "NPStream");
static_assert(offsetof(NPStream, ndata) == NpAbi(4, 8) && offsetof(NPStream, url) == NpAbi(8, 16), "NPStream.ndata/url");
static_assert(offsetof(NPStream, end) == NpAbi(12, 24) && offsetof(NPStream, lastmodified) == NpAbi(16, 28),
              "NPStream.end/lastmodified");
static_assert(offsetof(NPStream, notifyData) == NpAbi(20, 32), "NPStream.notifyData");

static_assert(sizeof(NPFullPrint) == NpAbi(8, 16) && offsetof(NPFullPrint, platformPrint) == NpAbi(4, 8),
              "NPFullPrint");
static_assert(sizeof(NPEmbedPrint) == NpAbi(36, 48) && offsetof(NPEmbedPrint, platformPrint) == NpAbi(32, 40),
              "NPEmbedPrint");
static_assert(sizeof(NPPrint) == NpAbi(40, 56) && offsetof(NPPrint, print) == NpAbi(4, 8), "NPPrint");

// Two 16-bit words, then one slot per function (after padding to a slot on 64-bit).
static_assert(offsetof(NPPluginFuncs, version) == 2 && offsetof(NPPluginFuncs, newp) == NpAbi(4, 8),
              "NPPluginFuncs head");
static_assert(offsetof(NPPluginFuncs, event) == NpAbi(40, 80) && offsetof(NPPluginFuncs, urlnotify) == NpAbi(44, 88),
              "NPPluginFuncs.event/urlnotify");
static_assert(offsetof(NPPluginFuncs, javaClass) == NpAbi(48, 96) && offsetof(NPPluginFuncs, getvalue) == NpAbi(52, 104),
              "NPPluginFuncs.javaClass/getvalue");
static_assert(offsetof(NPPluginFuncs, setvalue) == NpAbi(56, 112), "NPPluginFuncs.setvalue");
static_assert(sizeof(NPPluginFuncs) == NpAbi(60, 120), "NPPluginFuncs");

static_assert(offsetof(NPNetscapeFuncs, version) == 2 && offsetof(NPNetscapeFuncs, geturl) == NpAbi(4, 8),
              "NPNetscapeFuncs head");
static_assert(offsetof(NPNetscapeFuncs, status) == NpAbi(28, 56) && offsetof(NPNetscapeFuncs, uagent) == NpAbi(32, 64),
              "NPNetscapeFuncs.status/uagent");
static_assert(offsetof(NPNetscapeFuncs, memalloc) == NpAbi(36, 72) && offsetof(NPNetscapeFuncs, memfree) == NpAbi(40, 80),
              "NPNetscapeFuncs.memalloc/memfree");
static_assert(offsetof(NPNetscapeFuncs, geturlnotify) == NpAbi(60, 120) &&
                  offsetof(NPNetscapeFuncs, getvalue) == NpAbi(68, 136),
              "NPNetscapeFuncs.geturlnotify/getvalue");
static_assert(offsetof(NPNetscapeFuncs, forceredraw) == NpAbi(84, 168), "NPNetscapeFuncs.forceredraw");
static_assert(sizeof(NPNetscapeFuncs) == NpAbi(88, 176), "NPNetscapeFuncs");
