// The host's command line.
#pragma once

#include <cstdint>
#include <string>

// Sizes of the browser's function table that --table-size accepts: 0.11's own up to the
// larger tables of later browsers.
constexpr int kSmallestTable = 88;
constexpr int kLargestTable = 512;

struct HostOptions {
    std::string pluginPath;  // empty: beside the executable, else the build's library
    std::string findPlugin;  // a MIME type: look the library up as a browser does
    std::string pluginsDir;  // the browser's own plug-in folder for that look-up
    std::string page;        // a file path, or a file:/http: URL
    std::string pageUrl;     // the URL the page claims to have; empty: where it was read from
    uint16_t version = 0x000B;
    std::string userAgent = "Mozilla/4.08 [en] (WinNT; I ;Nav)";
    std::string logPath;     // empty or "-": standard output
    double seconds = 0;      // > 0: close the page after this long
    std::string until;       // close the page once a log line contains this text
    bool untilIdle = false;  // close the page once no stream work is left (after `settleMs`)
    int settleMs = 500;
    int windowWidth = 800;
    int windowHeight = 600;
    int chunkBytes = 8192;   // largest NPP_Write the host makes
    int trickleMs = 0;       // pause between two NPP_Write calls of a stream, as on a slow line
    // >= 0: each src stream waits until the page location's request has had its answer
    // (its stream ended, refused, or withheld), then this many milliseconds more.
    int lateSrcMs = -1;
    std::string withhold;    // URLs containing this text are accepted but never streamed
    // A modal loop (a prompt, a download dialog) inside the first call of this name
    // ("geturl", "geturlnotify" or "status") that is not the page-location request and whose
    // URL contains modalUrl, and what happens while it runs: "" nothing, "kill-renderer",
    // "close-page".
    std::string modalCall;
    int modalMs = 0;
    std::string modalUrl;
    std::string inLoop;
    bool subclassAreas = false;      // an add-on subclasses each area after NPP_SetWindow
    bool destroyAreasFirst = false;  // closing destroys the areas before NPP_SetWindow(null)
    // Behaviours of later browsers, one each:
    bool answerAtOnce = false;  // streams run to their end inside the call that asked
    bool deleteFiles = false;   // a stream's file is deleted once NPP_DestroyStream returns
    std::string location;       // how the page location is answered: "" (as text), refuse,
                                // empty, fail, split or never
    bool lateEnds = false;      // at close NPP_Destroy comes first; open streams end after
                                // it, and notifications never come
    bool longPaths = false;     // files handed over lie deeper than 260 characters
    int tableSize = 0;          // NPNetscapeFuncs size offered; 0: the 0.11 table
    bool help = false;       // --help: print the usage and do nothing else
};

// argv[0] is the program. False with `error` set on a malformed or missing option; --page
// is required unless --help or --find-plugin is given.
bool ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);

extern const char kHostUsage[];
