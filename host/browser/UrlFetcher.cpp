#include "UrlFetcher.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "FetchProgress.h"
#include "TempFolder.h"
#include "UrlResolution.h"
#include "base/AnsiPath.h"

namespace {

constexpr DWORD kTimeoutMs = 10000;
constexpr DWORD kPieceBytes = 65536;

uint32_t UnixSeconds(const FILETIME& time)
{
    ULARGE_INTEGER ticks;
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    constexpr unsigned long long kEpochDifference = 116444736000000000ULL;  // 1601 -> 1970 in 100 ns
    if (ticks.QuadPart < kEpochDifference) return 0;
    return static_cast<uint32_t>((ticks.QuadPart - kEpochDifference) / 10000000ULL);
}

// The file a body goes to, piece by piece as it arrives, within the fetch's limit.
class BodyFile {
public:
    BodyFile(const std::string& url, const std::string& path, uint64_t limit, FetchControl& control,
             FetchResult& result)
        : url_(url), limit_(limit), control_(control), result_(result),
          file_(CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        if (!file_) result_.error = "cannot write the temporary file " + path;
    }

    bool Open() const { return static_cast<bool>(file_); }

    // A length announced before the body: one past the limit fails at once.
    bool Expect(uint64_t total)
    {
        control_.total = total;
        return Within(total);
    }

    bool Append(const char* data, DWORD size)
    {
        if (!Within(result_.bytes + size)) return false;
        DWORD written = 0;
        if (!WriteFile(file_.Get(), data, size, &written, nullptr) || written != size) {
            result_.error = "cannot write the temporary file";
            return false;
        }
        result_.bytes += size;
        control_.received = result_.bytes;
        return true;
    }

private:
    bool Within(uint64_t bytes)
    {
        if (!OverLimit(bytes, limit_)) return true;
        result_.overLimit = true;
        result_.error = LimitError(url_, limit_);
        return false;
    }

    const std::string url_;
    uint64_t limit_;
    FetchControl& control_;
    FetchResult& result_;
    FileHandle file_;
};

}  // namespace

void FetchControl::Cancel()
{
    cancelled_ = true;
    CloseHandles();
}

bool FetchControl::Keep(HINTERNET session, HINTERNET request, BOOL(WINAPI* close)(HINTERNET))
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (cancelled_) {
        if (request) close(request);
        return false;
    }
    close_ = close;
    if (session) session_ = session;
    if (request) request_ = request;
    return true;
}

void FetchControl::CloseHandles()
{
    std::lock_guard<std::mutex> guard(mutex_);
    // The request first: closing its session would take it along, and it must be closed once.
    if (request_) close_(request_);
    if (session_) close_(session_);
    request_ = session_ = nullptr;
}

UrlFetcher::UrlFetcher(FetchSettings settings) : settings_(std::move(settings)) {}

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
           find(n.InternetQueryOptionA, "InternetQueryOptionA") &&
           find(n.InternetReadFile, "InternetReadFile") &&
           find(n.InternetQueryDataAvailable, "InternetQueryDataAvailable") && find(n.closeHandle, "InternetCloseHandle");
}

FetchResult UrlFetcher::Fetch(const std::string& url, const std::string& file, uint64_t limit,
                              FetchControl& control)
{
    const std::string scheme = UrlScheme(url);
    FetchResult result;
    if (settings_.sites.Covers(url)) {
        const std::string path = settings_.sites.LocalPath(url);
        if (!path.empty()) return FetchFile(path, file, limit, control);
        result.error = "not a file of the saved site: " + url;
    } else if (scheme == "file") {
        result = FetchFile(FileUrlToPath(url), file, limit, control);
    } else if (scheme == "http" || scheme == "https") {
        result = FetchHttp(url, file, limit, control);
    } else {
        result.error = "unsupported scheme";
    }
    result.finalUrl = RedirectedUrl(url, result.finalUrl);
    return result;
}

FetchResult UrlFetcher::FetchFile(const std::string& path, const std::string& file, uint64_t limit,
                                  FetchControl& control)
{
    FetchResult result;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes) ||
        (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result.error = "no such file: " + path;
        return result;
    }
    result.lastModified = UnixSeconds(attributes.ftLastWriteTime);
    FileHandle source(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source) {
        result.error = "cannot open " + path;
        return result;
    }
    BodyFile body(PathToFileUrl(path, AnsiLeadBytes()), file, limit, control, result);
    const uint64_t size = (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    if (!body.Open() || !body.Expect(size)) return result;
    std::string piece(kPieceBytes, '\0');
    DWORD got = 0;
    bool readOk = true;
    while (!control.Cancelled() && (readOk = ReadFile(source.Get(), &piece[0], kPieceBytes, &got, nullptr)) &&
           got > 0) {
        if (!body.Append(piece.data(), got)) return result;
    }
    if (control.Cancelled()) {
        result.error = "cancelled";
    } else if (!readOk) {
        result.error = "cannot read " + path;
    } else {
        result.ok = true;
    }
    return result;
}

FetchResult UrlFetcher::FetchHttp(const std::string& url, const std::string& file, uint64_t limit,
                                  FetchControl& control)
{
    FetchResult result;
    if (!LoadWinInet()) {
        result.error = "WinInet is not available";
        return result;
    }
    HINTERNET session = net_.InternetOpenA(settings_.userAgent.c_str(),
                                           settings_.systemProxy ? INTERNET_OPEN_TYPE_PRECONFIG
                                                                 : INTERNET_OPEN_TYPE_DIRECT,
                                           nullptr, nullptr, 0);
    if (!session) {
        result.error = "InternetOpen failed: " + std::to_string(GetLastError());
        return result;
    }
    if (!control.Keep(session, nullptr, net_.closeHandle)) {
        net_.closeHandle(session);
        result.error = "cancelled";
        return result;
    }
    DWORD timeout = kTimeoutMs;
    net_.InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    net_.InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;
    // Blocks until the server's headers come; a cancel closes the session under it.
    HINTERNET request = net_.InternetOpenUrlA(session, WithoutFragment(url).c_str(), nullptr, 0, flags, 0);
    if (!request || !control.Keep(nullptr, request, net_.closeHandle)) {
        result.error = control.Cancelled() ? "cancelled" : "InternetOpenUrl failed: " + std::to_string(GetLastError());
        control.CloseHandles();
        return result;
    }
    // WinInet has followed the redirects: this is where the body comes from.
    char where[INTERNET_MAX_URL_LENGTH] = "";
    DWORD size = sizeof where - 1;
    if (net_.InternetQueryOptionA(request, INTERNET_OPTION_URL, where, &size)) result.finalUrl = where;

    DWORD status = 0;
    size = sizeof status;
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
    DWORD length = 0;
    size = sizeof length;
    const bool lengthKnown = net_.HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                                                 &length, &size, nullptr) != FALSE;

    if (status < 200 || status > 299) {
        result.error = "HTTP status " + std::to_string(status);
        control.CloseHandles();
        return result;
    }
    BodyFile body(result.finalUrl, file, limit, control, result);
    if (!body.Open() || (lengthKnown && !body.Expect(length))) {
        control.CloseHandles();
        return result;
    }
    // A read waits until its buffer is full: asking only for what has come lets the
    // progress and a cancel be seen while a server trickles.
    std::string piece(kPieceBytes, '\0');
    DWORD available = 0;
    DWORD got = 0;
    bool readOk = true;
    bool written = true;
    while (!control.Cancelled() && (readOk = net_.InternetQueryDataAvailable(request, &available, 0, 0)) &&
           available > 0 &&
           (readOk = net_.InternetReadFile(request, &piece[0], std::min<DWORD>(available, kPieceBytes), &got)) &&
           got > 0 && (written = body.Append(piece.data(), got))) {
    }
    const DWORD readError = GetLastError();
    control.CloseHandles();
    if (!written) return result;
    if (control.Cancelled()) {
        result.error = "cancelled";
    } else if (!readOk) {
        result.error = "read failed: " + std::to_string(readError);
    } else {
        result.ok = true;
    }
    return result;
}
