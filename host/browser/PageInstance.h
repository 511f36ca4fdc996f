// One plug-in embed of the page as the host keeps it: the NPP handle whose ndata points
// back here, the area window and NPWindow record the plug-in was given, and the argument
// arrays of NPP_New, kept alive as long as the instance.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "EmbedParser.h"
#include "browser/NpapiAbi.h"

struct PageInstance {
    int id = 0;               // 1-based, in page order among the plug-in's embeds
    Embed embed;
    std::string mimeType;
    NPP_t npp{};
    HWND area = nullptr;
    NPWindow window{};
    bool created = false;     // NPP_New succeeded
    bool closing = false;     // being torn down: new requests are refused
    std::string lateSrc;      // --late-src: the src stream's URL while it waits
    bool lateSrcDue = false;  // the location has had its answer: the wait has begun
    DWORD lateSrcAt = 0;      // when the src stream starts
    std::vector<char*> argn;  // point into `embed`
    std::vector<char*> argv;
};
