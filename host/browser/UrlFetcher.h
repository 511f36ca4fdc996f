// Fetches what a page or a plug-in asks for: file: URLs and URLs under a mapped site from
// disk, other http: and https: URLs through WinInet, as the browser's network layer would. WinInet is loaded at the first
// network fetch, never linked: the host must run where WININET.DLL is absent, so that a
// plug-in in it meets a process without WinInet.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "SiteMap.h"
#include "base/UniqueHandle.h"

struct FetchResult {
    bool ok = false;
    std::string body;
    std::string mimeType;  // the server's Content-Type without parameters; empty for files
    uint32_t lastModified = 0;  // seconds since 1970, 0 when unknown
    std::string error;
};

class UrlFetcher {
public:
    // `systemProxy`: the system's proxy settings, else a direct connection. `sites` outlives this.
    UrlFetcher(const std::string& userAgent, bool systemProxy, const SiteMap& sites);
    UrlFetcher(const UrlFetcher&) = delete;
    UrlFetcher& operator=(const UrlFetcher&) = delete;

    FetchResult Fetch(const std::string& url);

private:
    // The entry points the host uses; all found, or the library is not used.
    struct WinInet {
        LoadedModule module;
        decltype(&::InternetOpenA) InternetOpenA = nullptr;
        decltype(&::InternetSetOptionA) InternetSetOptionA = nullptr;
        decltype(&::InternetOpenUrlA) InternetOpenUrlA = nullptr;
        decltype(&::HttpQueryInfoA) HttpQueryInfoA = nullptr;
        decltype(&::InternetReadFile) InternetReadFile = nullptr;
        BOOL(WINAPI* closeHandle)(HINTERNET handle) = nullptr;
    };

    std::string userAgent_;
    bool systemProxy_;
    const SiteMap& sites_;
    WinInet net_;
    // Closed before the library goes.
    InternetHandle session_;

    bool LoadWinInet();
    InternetHandle Own(HINTERNET handle) const { return InternetHandle(handle, {net_.closeHandle}); }

    FetchResult FetchFile(const std::string& path);
    FetchResult FetchHttp(const std::string& url);
};
