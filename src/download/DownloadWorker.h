// Under Internet Explorer the browser's streams are not used: four threads per instance
// fetch URLs with WinInet into temporary files ("orb*" in the temporary folder) and report
// each outcome to its listener. "file:" URLs are answered with their local path.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>

#include "base/UniqueHandle.h"
#include "download/DownloadRequest.h"
#include "download/WinInetLibrary.h"

class DownloadListener;

// Sent with every request; servers may tell the plug-in's downloads apart by it.
constexpr const char kDownloadUserAgent[] = "Orbolanth Player Resource Downloader (Version 1.3.2 - Win32)";

class DownloadWorker {
public:
    static constexpr int kThreadCount = 4;
    // How long Stop waits for the threads before it terminates them.
    static constexpr DWORD kStopWaitMs = 5000;

    DownloadWorker();
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

private:
    // One thread and what it is working on. Only that thread touches the rest, unless Stop
    // had to terminate it: then Stop finishes the job in its place (the listener hears
    // failure, the partial file goes), so no reference or file is lost with the thread.
    struct Job {
        DownloadWorker* worker = nullptr;
        KernelHandle thread;
        std::unique_ptr<DownloadRequest> request;
        std::string tempFile;
        FILE* file = nullptr;
    };

    static unsigned __stdcall WorkerMain(void* job);
    void Serve(Job& job);
    bool TakeRequest(Job& job);
    bool Fetch(Job& job, std::string& path);
    bool FetchFromNetwork(Job& job, std::string& path);
    bool Canonicalize(const std::string& url, DWORD flags, std::string& canonical);
    bool StatusAccepted(HINTERNET request);
    bool CopyToFile(HINTERNET request, Job& job);
    void FinishTerminated(Job& job);
    bool StopRequested() const;
    bool TakeLock(DWORD timeoutMs);

    KernelHandle lock;
    KernelHandle workReady;
    KernelHandle stopRequested;
    Job jobs[kThreadCount];
    WinInetLibrary wininet;  // before the session, which it closes
    InternetHandle session;
    std::deque<std::string> tempFiles;  // completed downloads, deleted with the worker
    std::deque<std::unique_ptr<DownloadRequest>> queue;
};
