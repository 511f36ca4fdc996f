// One fetch through the browser that has been asked for and has not finished yet.
#pragma once

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

    // Each reports once: the listener is let go with its final state.
    void ReportDone();
    void ReportFailed();
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
    void Report(int state);
};
