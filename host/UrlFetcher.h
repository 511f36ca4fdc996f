// Fetches what a page or a plug-in asks for: file: URLs from disk, http: and https: URLs
// through WinInet, as the browser's network layer would.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

struct FetchResult {
    bool ok = false;
    std::string body;
    std::string mimeType;  // the server's Content-Type without parameters; empty for files
    uint32_t lastModified = 0;  // seconds since 1970, 0 when unknown
    std::string error;
};

class UrlFetcher {
public:
    explicit UrlFetcher(const std::string& userAgent);
    ~UrlFetcher();
    UrlFetcher(const UrlFetcher&) = delete;
    UrlFetcher& operator=(const UrlFetcher&) = delete;

    FetchResult Fetch(const std::string& url);

private:
    std::string userAgent_;
    HINTERNET session_ = nullptr;

    FetchResult FetchFile(const std::string& url);
    FetchResult FetchHttp(const std::string& url);
};
