#include "download/DownloadWorker.h"

#include <process.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "download/DownloadUrl.h"
#include "base/DownloadListener.h"

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

void Fail(DownloadListener* listener)
{
    listener->SetState(StateFailed);
    listener->Release();
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
    for (const std::unique_ptr<DownloadRequest>& request : queue) Fail(request->listener);
    queue.clear();
    for (const std::string& path : tempFiles) DeleteFileA(path.c_str());
}

bool DownloadWorker::Start()
{
    if (!lock || !workReady || !stopRequested) return false;
    if (!wininet.Load()) return false;
    session = wininet.Own(wininet.InternetOpenA(kDownloadUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                                nullptr, 0));
    if (!session) return false;
    for (Job& job : jobs) {
        job.worker = this;
        job.thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WorkerMain, &job, 0, nullptr)));
    }
    return true;
}

bool DownloadWorker::Enqueue(DownloadListener* listener, const char* url)
{
    if (!TakeLock(kEnqueueWaitMs)) {
        Fail(listener);
        return false;
    }
    queue.push_back(std::make_unique<DownloadRequest>(DownloadRequest{listener, url ? url : ""}));
    SetEvent(workReady.Get());
    ReleaseMutex(lock.Get());
    return true;
}

void DownloadWorker::Stop()
{
    if (StopRequested()) return;
    // Closing the session first lets WinInet end the calls that threads are blocked in, so
    // those downloads fail at once; where it cannot (a stalled read under Wine), the wait
    // below is bounded.
    session.Reset();
    SetEvent(stopRequested.Get());

    HANDLE started[kThreadCount];
    DWORD count = 0;
    for (const Job& job : jobs) {
        if (job.thread) started[count++] = job.thread.Get();
    }
    if (count > 0 && WaitForMultipleObjects(count, started, TRUE, kStopWaitMs) >= WAIT_OBJECT_0 + count) {
        // A page must close even when a server stalls and WinInet does not give the thread
        // back (closing the session does not cancel a blocked read everywhere).
        for (Job& job : jobs) {
            if (!job.thread || WaitForSingleObject(job.thread.Get(), 0) == WAIT_OBJECT_0) continue;
            TerminateThread(job.thread.Get(), 0);
            // Termination completes asynchronously; the job is ours only once the thread is gone.
            if (WaitForSingleObject(job.thread.Get(), kStopWaitMs) == WAIT_OBJECT_0) FinishTerminated(job);
        }
    }
    for (Job& job : jobs) job.thread.Reset();
    wininet.Unload();
}

unsigned __stdcall DownloadWorker::WorkerMain(void* job)
{
    Job& own = *static_cast<Job*>(job);
    own.worker->Serve(own);
    return 0;
}

void DownloadWorker::Serve(Job& job)
{
    HANDLE wake[] = {workReady.Get(), stopRequested.Get()};
    for (;;) {
        WaitForMultipleObjects(2, wake, FALSE, INFINITE);
        if (StopRequested()) return;
        if (!TakeRequest(job)) continue;

        std::string path;
        bool fetched = Fetch(job, path);
        // From here on Stop no longer answers for this request.
        std::unique_ptr<DownloadRequest> request = std::move(job.request);
        DownloadListener* listener = request->listener;
        if (fetched) {
            listener->SetLocalFile(path.c_str());
            listener->SetState(StateReady);
            listener->Release();
        } else {
            Fail(listener);
        }
    }
}

bool DownloadWorker::TakeRequest(Job& job)
{
    if (!TakeLock(kTakeWaitMs)) return false;
    if (queue.empty()) {
        // Reset only under the lock that Enqueue signals under, so no request is missed.
        ResetEvent(workReady.Get());
    } else {
        job.request = std::move(queue.front());
        queue.pop_front();
    }
    ReleaseMutex(lock.Get());
    return job.request != nullptr;
}

void DownloadWorker::FinishTerminated(Job& job)
{
    // The thread's own file handle would keep the partial file from being deleted.
    if (job.file) std::fclose(job.file);
    job.file = nullptr;
    if (!job.tempFile.empty()) DeleteFileA(job.tempFile.c_str());
    job.tempFile.clear();
    if (job.request) Fail(job.request->listener);
    job.request.reset();
}

bool DownloadWorker::Fetch(Job& job, std::string& path)
{
    const std::string& url = job.request->url;
    if (!IsLocalUrl(url)) return FetchFromNetwork(job, path);
    // The file is the user's own: it is handed over as it is, and never deleted.
    std::string decoded;
    path = LocalPathFromUrl(Canonicalize(url, kDecodeFlags, decoded) ? decoded : url);
    return true;
}

bool DownloadWorker::FetchFromNetwork(Job& job, std::string& path)
{
    std::string canonical;
    const std::string& url = job.request->url;
    if (!Canonicalize(url, 0, canonical)) return false;
    InternetHandle request =
        wininet.Own(wininet.InternetOpenUrlA(session.Get(), canonical.c_str(), nullptr, 0, kOpenFlags, 0));
    if (!request) return false;

    bool done = false;
    if (!NeedsStatusCheck(canonical) || StatusAccepted(request.Get())) {
        job.tempFile = MakeTempFile();
        done = !job.tempFile.empty() && CopyToFile(request.Get(), job);
    }
    request.Reset();

    if (done) {
        TakeLock(INFINITE);
        tempFiles.push_back(job.tempFile);
        ReleaseMutex(lock.Get());
        path = job.tempFile;
    } else if (!job.tempFile.empty()) {
        DeleteFileA(job.tempFile.c_str());
    }
    job.tempFile.clear();
    return done;
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

bool DownloadWorker::CopyToFile(HINTERNET request, Job& job)
{
    job.file = std::fopen(job.tempFile.c_str(), "wb");
    if (!job.file) return false;
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
        if (std::fwrite(buffer, 1, count, job.file) != count) break;
        if (StopRequested()) break;
    }
    // Buffered data reaches the disk only here, so a full disk may show first at the close.
    bool written = std::fclose(job.file) == 0;
    job.file = nullptr;
    return complete && written;
}

bool DownloadWorker::StopRequested() const
{
    return WaitForSingleObject(stopRequested.Get(), 0) == WAIT_OBJECT_0;
}

bool DownloadWorker::TakeLock(DWORD timeoutMs)
{
    // A thread terminated by Stop may have left the mutex abandoned; it is still ours then.
    DWORD result = WaitForSingleObject(lock.Get(), timeoutMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}
