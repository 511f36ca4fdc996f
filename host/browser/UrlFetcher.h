// Fetches what a page or a plug-in asks for into a file: file: URLs and URLs under a mapped
// site from disk, other http: and https: URLs through WinInet, as the browser's network
// layer would. WinInet is loaded at the first network fetch, never linked: the host must run
// where WININET.DLL is absent, so that a plug-in in it meets a process without WinInet.
// A fetcher serves one thread; everything it touches is its own, so that a fetch given up by
// the window may run on to its end alone.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "SiteMap.h"
#include "base/UniqueHandle.h"

// What every fetch copies from the browser's options.
struct FetchSettings {
    std::string userAgent;
    bool systemProxy = true;  // the system's proxy settings, else a direct connection
    SiteMap sites;            // URL prefixes answered from local folders
};

struct FetchResult {
    bool ok = false;
    bool overLimit = false;     // the body passed the fetch's limit
    std::string mimeType;       // the server's Content-Type without parameters; empty for files
    uint32_t lastModified = 0;  // seconds since 1970, 0 when unknown
    std::string finalUrl;       // where the body came from, after redirects
    uint64_t bytes = 0;
    std::string error;
};

// Shared by a fetch's thread and the window's thread: how far it has come, and the way to
// stop it. Closing the WinInet handles from the window's thread makes a call blocked on a
// slow server return at once.
class FetchControl {
public:
    FetchControl() = default;
    FetchControl(const FetchControl&) = delete;
    FetchControl& operator=(const FetchControl&) = delete;
    ~FetchControl() { CloseHandles(); }

    std::atomic<uint64_t> received{0};
    std::atomic<uint64_t> total{0};  // 0: not known

    bool Cancelled() const { return cancelled_; }
    void Cancel();
    // The fetch's thread: the handles Cancel closes, with the call that closes them; false
    // (and nothing kept) when the fetch was cancelled already.
    bool Keep(HINTERNET session, HINTERNET request, BOOL(WINAPI* close)(HINTERNET));
    // The fetch's thread, once done with them: closes whatever Cancel has not.
    void CloseHandles();

private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    HINTERNET session_ = nullptr;
    HINTERNET request_ = nullptr;
    BOOL(WINAPI* close_)(HINTERNET) = nullptr;
};

class UrlFetcher {
public:
    explicit UrlFetcher(FetchSettings settings);
    UrlFetcher(const UrlFetcher&) = delete;
    UrlFetcher& operator=(const UrlFetcher&) = delete;

    // Writes the body of `url` into `file` (made anew), at most `limit` bytes (0: no limit).
    FetchResult Fetch(const std::string& url, const std::string& file, uint64_t limit, FetchControl& control);

private:
    // The entry points the host uses; all found, or the library is not used.
    struct WinInet {
        LoadedModule module;
        decltype(&::InternetOpenA) InternetOpenA = nullptr;
        decltype(&::InternetSetOptionA) InternetSetOptionA = nullptr;
        decltype(&::InternetOpenUrlA) InternetOpenUrlA = nullptr;
        decltype(&::HttpQueryInfoA) HttpQueryInfoA = nullptr;
        decltype(&::InternetQueryOptionA) InternetQueryOptionA = nullptr;
        decltype(&::InternetReadFile) InternetReadFile = nullptr;
        decltype(&::InternetQueryDataAvailable) InternetQueryDataAvailable = nullptr;
        BOOL(WINAPI* closeHandle)(HINTERNET handle) = nullptr;
    };

    FetchSettings settings_;
    WinInet net_;

    bool LoadWinInet();

    FetchResult FetchFile(const std::string& path, const std::string& file, uint64_t limit, FetchControl& control);
    FetchResult FetchHttp(const std::string& url, const std::string& file, uint64_t limit, FetchControl& control);
};
