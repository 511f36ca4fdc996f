// The host's command line.
#pragma once

#include <string>

#include "BrowserOptions.h"

struct HostOptions {
    BrowserOptions browser;  // the habits of real browsers the switches play
    std::string pluginPath;  // empty: beside the executable, else the build's library
    std::string findPlugin;  // a MIME type: look the library up as a browser does
    std::string pluginsDir;  // the browser's own plug-in folder for that look-up
    std::string page;        // a file path, or a file:/http: URL
    std::string pageUrl;     // the URL the page claims to have; empty: where it was read from
    std::string logPath;     // empty or "-": standard output
    double seconds = 0;      // > 0: close the page after this long
    std::string until;       // close the page once a log line contains this text
    bool untilIdle = false;  // close the page once no stream work is left (after `settleMs`)
    int settleMs = 500;
    int windowWidth = 800;
    int windowHeight = 600;
    // A modal loop (a prompt, a download dialog) inside the first call of this name
    // ("geturl", "geturlnotify" or "status") that is not the page-location request and whose
    // URL contains modalUrl, and what happens while it runs: "" nothing, "kill-renderer",
    // "close-page".
    std::string modalCall;
    int modalMs = 0;
    std::string modalUrl;
    std::string inLoop;
    bool subclassAreas = false;      // an add-on subclasses each area after NPP_SetWindow
    bool help = false;       // --help: print the usage and do nothing else
};

// argv[0] is the program. False with `error` set on a malformed or missing option; --page
// is required unless --help or --find-plugin is given.
bool ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);

extern const char kHostUsage[];
