#include "UrlFetcher.h"

#include <cstdio>
#include <type_traits>

#include "UrlResolution.h"

namespace {

constexpr DWORD kTimeoutMs = 10000;

uint32_t UnixSeconds(const FILETIME& time)
{
    ULARGE_INTEGER ticks;
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    constexpr unsigned long long kEpochDifference = 116444736000000000ULL;  // 1601 -> 1970 in 100 ns
    if (ticks.QuadPart < kEpochDifference) return 0;
    return static_cast<uint32_t>((ticks.QuadPart - kEpochDifference) / 10000000ULL);
}

}  // namespace

UrlFetcher::UrlFetcher(const std::string& userAgent, bool systemProxy, const SiteMap& sites)
    : userAgent_(userAgent), systemProxy_(systemProxy), sites_(sites)
{
}

bool UrlFetcher::LoadWinInet()
{
    if (net_.closeHandle) return true;  // looked up last, so every entry is there
    if (!net_.module) net_.module.Reset(LoadLibraryA("wininet.dll"));
    if (!net_.module) return false;
    auto find = [this](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
            reinterpret_cast<void*>(GetProcAddress(net_.module.Get(), name)));
        return entry != nullptr;
    };
    WinInet& n = net_;
    return find(n.InternetOpenA, "InternetOpenA") && find(n.InternetSetOptionA, "InternetSetOptionA") &&
           find(n.InternetOpenUrlA, "InternetOpenUrlA") && find(n.HttpQueryInfoA, "HttpQueryInfoA") &&
           find(n.InternetReadFile, "InternetReadFile") && find(n.closeHandle, "InternetCloseHandle");
}

FetchResult UrlFetcher::Fetch(const std::string& url)
{
    std::string scheme = UrlScheme(url);
    if (sites_.Covers(url)) {
        const std::string path = sites_.LocalPath(url);
        if (!path.empty()) return FetchFile(path);
        FetchResult refused;
        refused.error = "not a file of the saved site: " + url;
        return refused;
    }
    if (scheme == "file") return FetchFile(FileUrlToPath(url));
    if (scheme == "http" || scheme == "https") return FetchHttp(url);
    FetchResult result;
    result.error = "unsupported scheme";
    return result;
}

FetchResult UrlFetcher::FetchFile(const std::string& path)
{
    FetchResult result;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes) ||
        (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result.error = "no such file: " + path;
        return result;
    }
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        result.error = "cannot open " + path;
        return result;
    }
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) result.body.append(buffer, got);
    result.ok = !std::ferror(file);
    std::fclose(file);
    if (!result.ok) result.error = "cannot read " + path;
    result.lastModified = UnixSeconds(attributes.ftLastWriteTime);
    return result;
}

FetchResult UrlFetcher::FetchHttp(const std::string& url)
{
    FetchResult result;
    if (!LoadWinInet()) {
        result.error = "WinInet is not available";
        return result;
    }
    if (!session_) {
        session_ = Own(net_.InternetOpenA(userAgent_.c_str(),
                                              systemProxy_ ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT,
                                              nullptr, nullptr, 0));
        if (!session_) {
            result.error = "InternetOpen failed: " + std::to_string(GetLastError());
            return result;
        }
        DWORD timeout = kTimeoutMs;
        net_.InternetSetOptionA(session_.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
        net_.InternetSetOptionA(session_.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    }
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;
    InternetHandle owned = Own(net_.InternetOpenUrlA(session_.Get(), WithoutFragment(url).c_str(), nullptr, 0,
                                                     flags, 0));
    HINTERNET request = owned.Get();
    if (!request) {
        result.error = "InternetOpenUrl failed: " + std::to_string(GetLastError());
        return result;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    net_.HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    char type[256] = "";
    size = sizeof type - 1;
    if (net_.HttpQueryInfoA(request, HTTP_QUERY_CONTENT_TYPE, type, &size, nullptr)) {
        result.mimeType.assign(type, size);
        result.mimeType = result.mimeType.substr(0, result.mimeType.find(';'));
        while (!result.mimeType.empty() && result.mimeType.back() == ' ') result.mimeType.pop_back();
    }
    SYSTEMTIME modified;
    size = sizeof modified;
    FILETIME fileTime;
    if (net_.HttpQueryInfoA(request, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &modified, &size,
                            nullptr) &&
        SystemTimeToFileTime(&modified, &fileTime)) {
        result.lastModified = UnixSeconds(fileTime);
    }

    char buffer[65536];
    DWORD got = 0;
    bool readOk = true;
    while ((readOk = net_.InternetReadFile(request, buffer, sizeof buffer, &got)) && got > 0) {
        result.body.append(buffer, got);
    }
    owned.Reset();
    if (status < 200 || status > 299) {
        result.error = "HTTP status " + std::to_string(status);
    } else if (!readOk) {
        result.error = "read failed: " + std::to_string(GetLastError());
    } else {
        result.ok = true;
    }
    return result;
}
