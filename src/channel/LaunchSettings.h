// What the session driver hands to a launch, read once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class ResourceFetcher;

struct LaunchSettings {
    HWND window = nullptr;
    bool alwaysActive = false;
    ResourceFetcher* fetcher = nullptr;  // one reference, handed over to the channel
    int32_t adsMode = 0;
    int32_t siteId = 0;
    std::string pageLocation;
    std::string appletUrl;
    std::string rendererArgs;
};

// The renderer's arguments: the page's CommandLine, then " -width W -height H". The block
// holds at most kArgsLimit bytes with the terminator; the size always survives, and a
// command line too long for it loses its last words (whole words where it has spaces).
std::string RendererArguments(const std::string& commandLine, int width, int height);
