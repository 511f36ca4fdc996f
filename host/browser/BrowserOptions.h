// How the browser behaves where browsers differed. The defaults are a browser of 0.11's
// time; the test host offers the rest as switches.
#pragma once

#include <cstdint>
#include <string>

#include "SiteMap.h"

// Sizes of the browser's function table a browser may offer: 0.11's own up to the larger
// tables of later browsers.
constexpr int kSmallestTable = 88;
constexpr int kLargestTable = 512;

struct DeliveryOptions {
    int chunkBytes = 8192;    // largest NPP_Write
    int trickleMs = 0;        // pause between two writes of a stream, as on a slow line
    bool atOnce = false;      // a stream runs to its end inside the call that adds it
    bool deleteFiles = false; // a stream's file goes once NPP_DestroyStream returns
    bool longPaths = false;   // files lie deeper than 260 characters
    // The largest body of one stream: far above any applet's file, low enough that a server
    // sending without end cannot fill the disk.
    uint64_t streamLimitBytes = 64ull << 20;
};

struct BrowserOptions {
    uint16_t version = 0x000B;
    std::string userAgent = "Mozilla/4.08 [en] (WinNT; I ;Nav)";
    int tableSize = 0;          // NPNetscapeFuncs size offered; 0: the 0.11 table
    DeliveryOptions delivery;
    // How the page location is answered: "" (as text), refuse, empty, fail, split or never.
    std::string location;
    // >= 0: each src stream waits until the page location's request has had its answer
    // (its stream ended, refused, or withheld), then this many milliseconds more.
    int lateSrcMs = -1;
    std::string withhold;       // URLs containing this text are accepted but never streamed
    bool lateEnds = false;      // at close NPP_Destroy comes first; open streams end after
                                // it, and notifications never come
    bool destroyAreasFirst = false;  // closing destroys the areas before NPP_SetWindow(null)
    bool systemProxy = true;    // network fetches take the system's proxy settings
    SiteMap sites;              // URL prefixes answered from local folders
    // The largest page: it is parsed in memory, and pages of embeds are a few kilobytes.
    uint64_t pageLimitBytes = 4ull << 20;
};
