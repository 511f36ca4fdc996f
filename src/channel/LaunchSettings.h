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
