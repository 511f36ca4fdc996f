// Under Internet Explorer the browser's streams are not used: four threads per instance
// fetch URLs with WinInet into temporary files ("orb*" in the temporary folder, or in a
// Protected Mode tab a folder a low-integrity process may write) and report
// each outcome to its listener. "file:" URLs are answered with their local path.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <deque>
#include <memory>
#include <string>

#include "base/UniqueHandle.h"
#include "download/DownloadRequest.h"
#include "download/ReadBuffer.h"
#include "download/WinInetLibrary.h"

class DownloadListener;

class DownloadWorker {
public:
    static constexpr int kThreadCount = 4;
    // How long Stop waits for the threads before it terminates them. The session keeps
    // WinInet's own connect and receive time-outs (a minute or so): a busy host or one waking
    // up may take several seconds to answer and is not failed for it. So a thread blocked in
    // a call that closing the session does not cancel (Wine's WinInet cancels none) is given
    // back by termination, not by a time-out.
    static constexpr DWORD kStopWaitMs = 5000;

    // The trace names the worker's requests after the subject (the instance it serves).
    explicit DownloadWorker(std::string subject = "download worker");
    // Stops, fails every request still queued and deletes every temporary file made.
    virtual ~DownloadWorker();
    DownloadWorker(const DownloadWorker&) = delete;
    DownloadWorker& operator=(const DownloadWorker&) = delete;

    // Loads WinInet, opens the session and starts the threads; false leaves no thread.
    bool Start();
    // Takes over one reference to listener and releases it exactly once, whatever happens.
    // False when the request was failed at once.
    bool Enqueue(DownloadListener* listener, const char* url);
    // Only the first call acts. Requests queued later wait until the destructor fails them.
    void Stop();
    // Deletes a completed download's file now rather than with the worker; other paths are
    // left alone.
    void Discard(const std::string& path);

private:
    // One thread and what it is working on. Only the thread touches its buffer. The listener
    // reference it holds and the partial file it writes are recorded under `lock`, so that
    // Stop can answer for a thread it had to terminate without touching anything that thread
    // may have held: its WinInet request, WinInet's locks, the heap's, or the listener's own.
    struct Job {
        DownloadWorker* worker = nullptr;
        KernelHandle thread;
        ReadBuffer buffer;
        DownloadListener* listener = nullptr;
        std::string tempFile;
        std::string failure;  // why the last fetch failed, for the trace
    };

    static unsigned __stdcall WorkerMain(void* job);
    void Serve(Job& job);
    bool TakeRequest(Job& job, std::string& url);
    bool Fetch(Job& job, const std::string& url, std::string& path);
    bool FetchFromNetwork(Job& job, const std::string& url, std::string& path);
    bool Canonicalize(const std::string& url, DWORD flags, std::string& canonical);
    bool StatusAccepted(HINTERNET request, Job& job);
    static bool Failed(Job& job, std::string why);
    void TraceOutcome(DownloadListener* listener, const std::string& url, const Job& job, bool fetched,
                      DWORD startedMs) const;
    bool CopyToFile(HINTERNET request, Job& job);
    DownloadListener* Settle(Job& job, bool fetched);
    void AnswerForTerminated(Job& job);
    bool StopRequested() const;
    bool TakeLock(DWORD timeoutMs);

    const std::string traceSubject;
    KernelHandle lock;
    KernelHandle workReady;
    KernelHandle stopRequested;  // wakes the waiting threads
    // Set with stopRequested and tested after every read: asking the event costs a call into
    // the system each time (under Wine, a round trip to its server).
    std::atomic<bool> stopping{false};
    Job jobs[kThreadCount];
    WinInetLibrary wininet;  // before the session, which it closes
    InternetHandle session;
    std::string folder;                 // where the files go, chosen once by Start
    std::deque<std::string> tempFiles;  // completed downloads, deleted with the worker
    std::deque<std::unique_ptr<DownloadRequest>> queue;
};
