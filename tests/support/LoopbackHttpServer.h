// A small HTTP server on 127.0.0.1 that runs on threads inside the test process, so that
// WinInet and other clients can be tested against answers the test chooses. It counts the
// requests it serves at once, and can trickle or hold a body to keep a download running.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HttpResponse {
    int status = 200;
    std::string body;
    std::string contentType = "application/octet-stream";
    // A trickled body goes out trickleBytes at a time with trickleDelayMs between pieces.
    size_t trickleBytes = 0;
    DWORD trickleDelayMs = 0;
    // A held body waits, after the headers, until ReleaseHeld lets it go.
    bool held = false;
    // A slow server: nothing at all is sent for this long after the request has come.
    DWORD answerDelayMs = 0;
    // A redirect's target (with a 3xx status).
    std::string location = "";
    // Without a Content-Length the body ends where the connection does.
    bool sendLength = true;
};

class LoopbackHttpServer {
public:
    // Listens on a port the system picks; unknown paths are answered with 404.
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool Listening() const { return port_ != 0; }
    unsigned short Port() const { return port_; }
    std::string Url(const std::string& path) const;

    void Serve(const std::string& path, HttpResponse response);
    // Lets count held bodies (present or future) go on.
    void ReleaseHeld(int count);

    // Requests whose answer has begun, answers that have ended (sent or abandoned by the
    // client), answers under way now and the most that were ever under way at once.
    int Started() const;
    int Finished() const;
    int Active() const;
    int MaxActive() const;
    std::vector<std::string> UserAgents() const;
    std::vector<std::string> Paths() const;  // request paths, in the order of UserAgents()

    bool WaitForStarted(int count, DWORD timeoutMs) const;
    bool WaitForFinished(int count, DWORD timeoutMs) const;

private:
    void AcceptLoop();
    void Answer(SOCKET client);
    bool SendAll(SOCKET client, const char* data, size_t size);
    bool WaitUntil(int count, const int& counter, DWORD timeoutMs) const;

    bool winsockStarted_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::string, std::shared_ptr<const HttpResponse>> responses_;
    std::vector<std::thread> clientThreads_;
    std::vector<std::string> userAgents_;
    std::vector<std::string> paths_;
    int releases_ = 0;
    int started_ = 0;
    int finished_ = 0;
    int active_ = 0;
    int maxActive_ = 0;
};
