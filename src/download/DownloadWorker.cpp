#include "download/DownloadWorker.h"

#include <process.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "OrbolanthVersion.h"
#include "base/AnsiPath.h"
#include "base/DownloadListener.h"
#include "base/Trace.h"
#include "download/DownloadUrl.h"
#include "download/TempFile.h"

namespace {

// Sent with every request; servers may tell the plug-in's downloads apart by it.
constexpr char kDownloadUserAgent[] = "Orbolanth Player Resource Downloader (Version " ORB_VERSION_SHORT " - Win32)";

constexpr DWORD kEnqueueWaitMs = 100;
constexpr DWORD kTakeWaitMs = 100;
constexpr DWORD kOpenFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_NO_UI;
constexpr DWORD kDecodeFlags = ICU_DECODE | ICU_NO_ENCODE;
constexpr DWORD kStatusBufferSize = 31;

void Fail(DownloadListener* listener)
{
    listener->SetState(StateFailed);
    listener->Release();
}

}  // namespace

DownloadWorker::DownloadWorker(std::string subject)
    : traceSubject(std::move(subject)),
      lock(CreateMutexA(nullptr, FALSE, nullptr)),
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
    folder = FetchFolder();
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
    // those downloads fail at once; where it cannot, the threads are terminated below.
    session.Reset();
    stopping = true;
    SetEvent(stopRequested.Get());

    HANDLE started[kThreadCount];
    DWORD count = 0;
    for (const Job& job : jobs) {
        if (job.thread) started[count++] = job.thread.Get();
    }
    bool terminated = false;
    if (count > 0 && WaitForMultipleObjects(count, started, TRUE, kStopWaitMs) >= WAIT_OBJECT_0 + count) {
        // A page must close even when WinInet does not give a thread back.
        for (Job& job : jobs) {
            if (!job.thread || WaitForSingleObject(job.thread.Get(), 0) == WAIT_OBJECT_0) continue;
            TerminateThread(job.thread.Get(), 0);
            terminated = true;
            // Termination completes asynchronously; the job is ours only once the thread is gone.
            if (WaitForSingleObject(job.thread.Get(), kStopWaitMs) == WAIT_OBJECT_0) AnswerForTerminated(job);
        }
    }
    for (Job& job : jobs) job.thread.Reset();
    // A terminated thread may have died inside WinInet, holding its locks and handles that
    // unloading would clean up.
    if (terminated) {
        wininet.Abandon();
    } else {
        wininet.Unload();
    }
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
        std::string url;
        if (!TakeRequest(job, url)) continue;

        std::string path;
        const DWORD startedMs = GetTickCount();
        job.failure.clear();
        bool fetched = Fetch(job, url, path);
        DownloadListener* listener = Settle(job, fetched);
        if (TraceOn()) TraceOutcome(listener, url, job, fetched, startedMs);
        if (fetched) {
            listener->SetLocalFile(path.c_str());
            listener->SetState(StateReady);
            listener->Release();
        } else {
            Fail(listener);
        }
    }
}

bool DownloadWorker::TakeRequest(Job& job, std::string& url)
{
    if (!TakeLock(kTakeWaitMs)) return false;
    std::unique_ptr<DownloadRequest> request;
    if (queue.empty()) {
        // Reset only under the lock that Enqueue signals under, so no request is missed.
        ResetEvent(workReady.Get());
    } else {
        request = std::move(queue.front());
        queue.pop_front();
        job.listener = request->listener;
    }
    ReleaseMutex(lock.Get());
    if (!request) return false;
    url = std::move(request->url);
    return true;
}

// From here on Stop no longer answers for the job's request: the thread reports it. A
// delivered file joins the ones the destructor deletes; a partial one goes now.
DownloadListener* DownloadWorker::Settle(Job& job, bool fetched)
{
    TakeLock(INFINITE);
    DownloadListener* listener = std::exchange(job.listener, nullptr);
    std::string partial;
    if (fetched && !job.tempFile.empty()) {
        tempFiles.push_back(job.tempFile);
    } else {
        partial = job.tempFile;
    }
    job.tempFile.clear();
    ReleaseMutex(lock.Get());
    // Forgotten before it is deleted: the name is free for another thread's file at once.
    if (!partial.empty()) DeleteFileA(partial.c_str());
    return listener;
}

void DownloadWorker::Discard(const std::string& path)
{
    TakeLock(INFINITE);
    auto found = std::find(tempFiles.begin(), tempFiles.end(), path);
    const bool ours = found != tempFiles.end();
    if (ours) tempFiles.erase(found);
    ReleaseMutex(lock.Get());
    // A file the renderer still has open stays; the destructor tries again.
    if (ours && !DeleteFileA(path.c_str())) {
        TakeLock(INFINITE);
        tempFiles.push_back(path);
        ReleaseMutex(lock.Get());
    }
}

void DownloadWorker::AnswerForTerminated(Job& job)
{
    TakeLock(INFINITE);
    DownloadListener* listener = std::exchange(job.listener, nullptr);
    std::string partial = std::move(job.tempFile);
    job.tempFile.clear();
    // The thread opened its file only while writing a full buffer, never while it waited for
    // the network, so normally nothing holds the partial file open and it goes by name. Should
    // the thread have died in a write, its handle stays open for good; the destructor tries
    // the name once more.
    if (!partial.empty() && !DeleteFileA(partial.c_str())) tempFiles.push_back(partial);
    ReleaseMutex(lock.Get());
    // A listener is recorded only until the thread is about to call it, so none of its
    // calls was under way.
    if (listener) Fail(listener);
}

bool DownloadWorker::Fetch(Job& job, const std::string& url, std::string& path)
{
    if (!IsLocalUrl(url)) return FetchFromNetwork(job, url, path);
    // The file is the user's own: it is handed over as it is, and never deleted.
    std::string decoded;
    path = LocalPathFromUrl(Canonicalize(url, kDecodeFlags, decoded) ? decoded : url, AnsiLeadBytes());
    return true;
}

bool DownloadWorker::Failed(Job& job, std::string why)
{
    job.failure = std::move(why);
    return false;
}

void DownloadWorker::TraceOutcome(DownloadListener* listener, const std::string& url, const Job& job, bool fetched,
                                  DWORD startedMs) const
{
    std::string event = std::string("request ") + listener->GetName() + " " + url + " by the download worker: " +
                        (fetched ? "done" : "failed");
    if (!fetched && !job.failure.empty()) event += " (" + job.failure + ")";
    TraceEvent(traceSubject, event + " in " + std::to_string(GetTickCount() - startedMs) + " ms");
}

bool DownloadWorker::FetchFromNetwork(Job& job, const std::string& url, std::string& path)
{
    std::string canonical;
    if (!Canonicalize(url, 0, canonical)) return Failed(job, "a URL WinInet does not take");
    InternetHandle request =
        wininet.Own(wininet.InternetOpenUrlA(session.Get(), canonical.c_str(), nullptr, 0, kOpenFlags, 0));
    if (!request) return Failed(job, "WinInet error " + std::to_string(GetLastError()));
    if (NeedsStatusCheck(canonical) && !StatusAccepted(request.Get(), job)) return false;

    std::string file = MakeTempFile(folder);
    if (file.empty()) return Failed(job, "no temporary file, error " + std::to_string(GetLastError()));
    TakeLock(INFINITE);
    job.tempFile = file;
    ReleaseMutex(lock.Get());
    if (!CopyToFile(request.Get(), job)) {
        return Failed(job, "the body was not read and written whole, error " + std::to_string(GetLastError()));
    }
    path = file;
    return true;
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

bool DownloadWorker::StatusAccepted(HINTERNET request, Job& job)
{
    char status[kStatusBufferSize] = {};
    DWORD length = sizeof status;
    if (!wininet.HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, status, &length, nullptr)) {
        return Failed(job, "no HTTP status, WinInet error " + std::to_string(GetLastError()));
    }
    status[std::min<DWORD>(length, sizeof status - 1)] = '\0';
    return IsAcceptedStatus(status) || Failed(job, std::string("HTTP status ") + status);
}

// Reads only what has arrived, so no read waits on a slow server and the stop is seen after
// every read; only waiting for the next bytes can take long, as long as WinInet's receive
// time-out, and Stop does not wait that long. Each read asks for exactly what the query reported.
// Wine's WinInet reports only what its own 8 KB buffer holds. A read for more gets just that
// buffer with IRF_NO_WAIT, and otherwise (or once the buffer is empty) waits until the whole
// size has come; so under Wine the bytes come 8 KB per query, which bounds how fast a
// loopback download goes.
bool DownloadWorker::CopyToFile(HINTERNET request, Job& job)
{
    ReadBuffer& buffer = job.buffer;
    buffer.Clear();
    // A full disk fails the download: a short file must never be reported as ready.
    auto flush = [&] {
        bool written = buffer.Size() == 0 || AppendToFile(job.tempFile, buffer.Data(), buffer.Size());
        buffer.Clear();
        return written;
    };
    for (;;) {
        DWORD available = 0;
        DWORD count = 0;
        if (!wininet.InternetQueryDataAvailable(request, &available, 0, 0)) return false;
        DWORD size = static_cast<DWORD>(buffer.ReadSize(available));
        if (!wininet.InternetReadFile(request, buffer.Space(), size, &count)) return false;
        buffer.Filled(count);
        bool complete = count == 0;
        if ((complete || buffer.Full()) && !flush()) return false;
        if (complete) return true;
        if (StopRequested()) return false;
    }
}

bool DownloadWorker::StopRequested() const
{
    return stopping.load();
}

bool DownloadWorker::TakeLock(DWORD timeoutMs)
{
    // A thread terminated by Stop may have left the mutex abandoned; it is still ours then.
    DWORD result = WaitForSingleObject(lock.Get(), timeoutMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}
