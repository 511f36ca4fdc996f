// One per plug-in instance: turns requests for URLs into browser streams taken as files
// (or, under Internet Explorer, into download jobs), reports each outcome to its
// listener, and learns the page's own address from the browser.
#pragma once

#include <deque>
#include <string>

#include "plugin/NpapiAbi.h"
#include "streams/LiveCount.h"
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

// Request takes over the reference with which the listener is handed to it: that
// reference is given back (or passed on to the download worker) on every path.
class StreamManager : public ResourceFetcher, public RefCounted, public LiveCount<StreamManager> {
public:
    explicit StreamManager(NPP npp);

    bool Request(DownloadListener* listener, const char* target, bool isApplet) override;
    void Shutdown() override;
    void AddRef() override { RefCounted::AddRef(); }
    void Release() override { RefCounted::Release(); }

    void RequestLocation();
    StreamClass ClassifyStream(const char* url);
    bool TakeLocation(const char* text);
    bool FetchThroughBrowser(DownloadListener* listener, const std::string& url);

    // The instance is going away: no browser call may be made for it any more, and later
    // requests fail at once.
    void Detach() { npp = nullptr; }

    bool Ready() const { return ready; }
    bool PageUrlKnown() const { return pageUrlKnown; }
    const std::string& PageUrl() const { return pageUrl; }
    bool UseWorker() const { return useWorker; }

protected:
    ~StreamManager() override;

private:
    // A request that waits for the page's location; a navigation keeps its target.
    struct QueuedRequest {
        DownloadListener* listener;
        bool hasTarget;
        std::string target;
    };

    void DrainQueue();
    void RaiseNullWindowAllowance();

    NPP npp;
    bool useWorker = false;
    bool appletClaimed = false;
    bool ready = false;
    bool firstStreamSeen = false;
    bool pageUrlKnown = false;
    std::string pageUrl;
    DownloadWorker* worker = nullptr;
    std::deque<QueuedRequest> queuedRequests;
};
