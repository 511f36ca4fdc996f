// One per plug-in instance: turns requests for URLs into browser streams taken as files
// (or, under Internet Explorer, into download jobs), reports each outcome to its
// listener, and learns the page's own address from the browser.
#pragma once

#include <deque>
#include <string>

#include "plugin/NpapiAbi.h"
#include "streams/RefCounted.h"
#include "streams/ResourceFetcher.h"

class DownloadListener;
class DownloadWorker;

// The page-location request, answered by the browser as a stream of the page's URL.
constexpr const char kLocationUrl[] = "javascript:window.location.href";

struct StreamClass {
    bool isLocation = false;
    bool isAppletCandidate = false;
};

class StreamManager : public ResourceFetcher, public RefCounted {
public:
    explicit StreamManager(NPP npp);

    bool Request(DownloadListener* listener, const char* target, bool isApplet) override;
    void Shutdown() override;
    void AddRef() override { RefCounted::AddRef(); }
    void Release() override { RefCounted::Release(); }

    void RequestLocation();
    StreamClass ClassifyStream(const char* url);
    bool TakeLocation(const char* text);

    bool Ready() const { return ready; }
    bool PageUrlKnown() const { return pageUrlKnown; }
    const std::string& PageUrl() const { return pageUrl; }
    bool UseWorker() const { return useWorker; }

protected:
    ~StreamManager() override;

private:
    void DrainQueue();

    NPP npp;
    bool useWorker = false;
    bool appletClaimed = false;
    bool ready = false;
    bool firstStreamSeen = false;
    bool pageUrlKnown = false;
    std::string pageUrl;
    DownloadWorker* worker = nullptr;
    std::deque<DownloadListener*> queuedRequests;
};
