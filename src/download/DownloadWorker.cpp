#include "download/DownloadWorker.h"

#include <process.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "download/DownloadUrl.h"
#include "streams/DownloadListener.h"

namespace {

constexpr DWORD kEnqueueWaitMs = 100;
constexpr DWORD kTakeWaitMs = 100;
constexpr DWORD kChunkSize = 1024;
constexpr DWORD kOpenFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_NO_UI;
constexpr DWORD kDecodeFlags = ICU_DECODE | ICU_NO_ENCODE;
constexpr DWORD kStatusBufferSize = 31;

// Creates an empty "orb*" file in the temporary folder; empty when none could be made.
std::string MakeTempFile()
{
    std::vector<char> directory(MAX_PATH + 1);
    DWORD length = GetTempPathA(MAX_PATH, directory.data());
    if (length > MAX_PATH) {
        directory.resize(length + 1);
        length = GetTempPathA(length, directory.data());
    }
    if (length == 0 || length >= directory.size()) return std::string();

    std::vector<char> name(std::max<size_t>(length + 15, MAX_PATH) + 1);
    if (GetTempFileNameA(directory.data(), "orb", 0, name.data()) == 0) return std::string();
    return std::string(name.data());
}

}  // namespace

DownloadWorker::DownloadWorker()
    : lock(CreateMutexA(nullptr, FALSE, nullptr)),
      workReady(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      stopRequested(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
}

DownloadWorker::~DownloadWorker()
{
    Stop();
    for (const std::unique_ptr<DownloadRequest>& request : queue) {
        request->listener->SetState(StateFailed);
        request->listener->Release();
    }
    queue.clear();
    for (const std::string& path : tempFiles) DeleteFileA(path.c_str());
    for (HANDLE handle : {lock, workReady, stopRequested}) {
        if (handle) CloseHandle(handle);
    }
}

bool DownloadWorker::Start()
{
    if (!lock || !workReady || !stopRequested) return false;
    if (!wininet.Load()) return false;
    session = wininet.InternetOpenA(kDownloadUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) return false;
    for (HANDLE& thread : threads) {
        thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WorkerMain, this, 0, nullptr));
    }
    return true;
}

bool DownloadWorker::Enqueue(DownloadListener* listener, const char* url)
{
    if (!TakeLock(kEnqueueWaitMs)) {
        listener->SetState(StateFailed);
        listener->Release();
        return false;
    }
    queue.push_back(std::make_unique<DownloadRequest>(DownloadRequest{listener, url ? url : ""}));
    SetEvent(workReady);
    ReleaseMutex(lock);
    return true;
}

void DownloadWorker::Stop()
{
    if (StopRequested()) return;
    // Closing the session first makes the WinInet calls that threads are blocked in
    // return with an error, so their downloads fail at once instead of running on.
    if (session) wininet.InternetCloseHandle(session);
    SetEvent(stopRequested);

    HANDLE started[kThreadCount];
    DWORD count = 0;
    for (HANDLE thread : threads) {
        if (thread) started[count++] = thread;
    }
    if (count > 0 && WaitForMultipleObjects(count, started, TRUE, kStopWaitMs) >= WAIT_OBJECT_0 + count) {
        // A page must close even when a server or WinInet never lets go of a thread.
        for (HANDLE thread : threads) {
            if (thread && WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) TerminateThread(thread, 0);
        }
    }
    for (HANDLE& thread : threads) {
        if (thread) CloseHandle(thread);
        thread = nullptr;
    }
    session = nullptr;
    wininet.Unload();
}

unsigned __stdcall DownloadWorker::WorkerMain(void* worker)
{
    static_cast<DownloadWorker*>(worker)->Serve();
    return 0;
}

void DownloadWorker::Serve()
{
    HANDLE wake[] = {workReady, stopRequested};
    for (;;) {
        WaitForMultipleObjects(2, wake, FALSE, INFINITE);
        if (StopRequested()) return;
        std::unique_ptr<DownloadRequest> request = TakeRequest();
        if (!request) continue;

        std::string path;
        DownloadListener* listener = request->listener;
        if (Fetch(request->url, path)) {
            listener->SetLocalFile(path.c_str());
            listener->SetState(StateReady);
        } else {
            listener->SetState(StateFailed);
        }
        listener->Release();
    }
}

std::unique_ptr<DownloadRequest> DownloadWorker::TakeRequest()
{
    if (!TakeLock(kTakeWaitMs)) return nullptr;
    std::unique_ptr<DownloadRequest> request;
    if (queue.empty()) {
        // Reset only under the lock that Enqueue signals under, so no request is missed.
        ResetEvent(workReady);
    } else {
        request = std::move(queue.front());
        queue.pop_front();
    }
    ReleaseMutex(lock);
    return request;
}

bool DownloadWorker::Fetch(const std::string& url, std::string& path)
{
    if (!IsLocalUrl(url)) return FetchFromNetwork(url, path);
    // The file is the user's own: it is handed over as it is, and never deleted.
    std::string decoded;
    path = LocalPathFromUrl(Canonicalize(url, kDecodeFlags, decoded) ? decoded : url);
    return true;
}

bool DownloadWorker::FetchFromNetwork(const std::string& url, std::string& path)
{
    std::string canonical;
    if (!Canonicalize(url, 0, canonical)) return false;
    HINTERNET request = wininet.InternetOpenUrlA(session, canonical.c_str(), nullptr, 0, kOpenFlags, 0);
    if (!request) return false;

    bool done = false;
    if (!NeedsStatusCheck(canonical) || StatusAccepted(request)) {
        path = MakeTempFile();
        done = !path.empty() && CopyToFile(request, path);
    }
    wininet.InternetCloseHandle(request);

    if (done) {
        TakeLock(INFINITE);
        tempFiles.push_back(path);
        ReleaseMutex(lock);
        return true;
    }
    if (!path.empty()) DeleteFileA(path.c_str());
    path.clear();
    return false;
}

bool DownloadWorker::Canonicalize(const std::string& url, DWORD flags, std::string& canonical)
{
    char probe[1];
    DWORD length = sizeof probe;
    SetLastError(0);
    if (wininet.InternetCanonicalizeUrlA(url.c_str(), probe, &length, flags)
        || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return false;
    }
    std::vector<char> buffer(length + 1);
    length = static_cast<DWORD>(buffer.size());
    if (!wininet.InternetCanonicalizeUrlA(url.c_str(), buffer.data(), &length, flags)) return false;
    canonical.assign(buffer.data());
    return true;
}

bool DownloadWorker::StatusAccepted(HINTERNET request)
{
    char status[kStatusBufferSize] = {};
    DWORD length = sizeof status;
    if (!wininet.HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, status, &length, nullptr)) return false;
    status[std::min<DWORD>(length, sizeof status - 1)] = '\0';
    return IsAcceptedStatus(status);
}

bool DownloadWorker::CopyToFile(HINTERNET request, const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    char buffer[kChunkSize];
    bool complete = false;
    for (;;) {
        DWORD count = 0;
        if (!wininet.InternetReadFile(request, buffer, sizeof buffer, &count)) break;
        if (count == 0) {
            complete = true;
            break;
        }
        // A full disk fails the download: a short file must never be reported as ready.
        if (std::fwrite(buffer, 1, count, file) != count) break;
        if (StopRequested()) break;
    }
    // Buffered data reaches the disk only here, so a full disk may show first at the close.
    bool written = std::fclose(file) == 0;
    return complete && written;
}

bool DownloadWorker::StopRequested() const
{
    return WaitForSingleObject(stopRequested, 0) == WAIT_OBJECT_0;
}

bool DownloadWorker::TakeLock(DWORD timeoutMs)
{
    // A thread terminated by Stop may have left the mutex abandoned; it is still ours then.
    DWORD result = WaitForSingleObject(lock, timeoutMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}
