// A browser of our own for tests: a function table with a chosen version word and user
// agent that records every call the plug-in makes into it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "browser/NpapiAbi.h"

struct BrowserCall {
    std::string function;  // "geturl", "geturlnotify", "status", "uagent"
    std::string url;
    std::string target;    // "(null)" for a null target
    void* notifyData = nullptr;
};

class TestBrowser {
public:
    TestBrowser(uint16_t version, const std::string& userAgent);
    ~TestBrowser();

    NPNetscapeFuncs* Table() { return &table_; }
    std::vector<BrowserCall>& Calls() { return calls_; }
    int Count(const std::string& function) const;
    const std::string& LastStatus() const { return lastStatus_; }

    // What the next geturl/geturlnotify calls answer.
    NPError getUrlResult = NPERR_NO_ERROR;
    NPError getUrlNotifyResult = NPERR_NO_ERROR;
    // Runs inside every geturl, geturlnotify and status call once it is recorded: a browser
    // that answers at once, or shows a dialog with its own message loop.
    std::function<void(NPP npp, const BrowserCall& call)> inside;

    static TestBrowser* Current();

private:
    NPNetscapeFuncs table_{};
    std::string userAgent_;
    std::string lastStatus_;
    std::vector<BrowserCall> calls_;

    static void Record(NPP npp, const BrowserCall& call);
    static NPError GetURL(NPP npp, const char* url, const char* target);
    static NPError GetURLNotify(NPP npp, const char* url, const char* target, void* notifyData);
    static void Status(NPP npp, const char* message);
    static const char* UserAgent(NPP);
};
