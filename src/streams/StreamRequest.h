// One fetch through the browser that has been asked for and has not finished yet.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

#include "base/LiveCount.h"

class DownloadListener;

class StreamRequest : public LiveCount<StreamRequest> {
public:
    // Takes a reference of its own on the listener.
    explicit StreamRequest(DownloadListener* listener);
    virtual ~StreamRequest();
    StreamRequest(const StreamRequest&) = delete;
    StreamRequest& operator=(const StreamRequest&) = delete;

    // Each reports once: the listener is let go with its final state, and the trace, when
    // on, has a line with the outcome and how long the request took.
    void ReportDone();
    void ReportFailed(const std::string& why = std::string());
    // For the trace: whom the request is about and how it travels.
    void TraceAs(std::string subject, const char* route);
    void SetLocalFile(const char* name);

    // What the browser carries as notifyData: a number never used twice in the process,
    // so a notification that arrives late, or twice, can name no other request.
    void* NotifyCookie() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(serial)); }

    DownloadListener* listener;
    const uint32_t serial;
    bool started = false;
    time_t created;
    std::string localFile;

private:
    void Report(int state, const std::string& why);

    std::string traceSubject;
    const char* route = "the browser's stream of the applet";
    const std::chrono::steady_clock::time_point startedAt = std::chrono::steady_clock::now();
};
