// A test browser that answers the plug-in's requests from its own loop, as a browser does
// after the call that asked has returned: the page location as text, files as streams
// taken by the plug-in in file mode, failures as a browser reports them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "TestBrowser.h"

class AnsweringBrowser {
public:
    // `localFile` maps a requested URL to the file that holds it; "" means the fetch fails.
    AnsweringBrowser(uint16_t version, std::string pageUrl,
                     std::function<std::string(const std::string&)> localFile);

    TestBrowser& Browser() { return browser_; }
    // Answers every call made since the last time (navigations excepted).
    void Answer(NPP npp);
    // A stream of `url` to the instance, as for an embed's src.
    void Deliver(NPP npp, const std::string& url, bool notify, void* notifyData);

    std::string withhold;  // URLs that contain this are never answered

private:
    TestBrowser browser_;
    std::string pageUrl_;
    std::function<std::string(const std::string&)> localFile_;
    size_t answered_ = 0;
};

// Everything waiting in this thread's queue, and the browser's answers, until `done` or the
// time limit; true when `done` said so.
bool PumpUntil(AnsweringBrowser& browser, NPP npp, const std::function<bool()>& done, DWORD limitMs);
