// One per plug-in instance: turns requests for URLs into browser streams taken as files
// (or, under Internet Explorer, into download jobs), reports each outcome to its
// listener, and learns the page's own address from the browser. It answers the browser's
// stream callbacks for its instance, and keeps the browser's stream of the applet file
// until the renderer asks for it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "base/LiveCount.h"
#include "base/RefCounted.h"
#include "base/ResourceFetcher.h"
#include "base/ResourceState.h"
#include "browser/NpapiAbi.h"

class DownloadListener;
class DownloadWorker;
class StreamOwner;
class StreamRequest;

// The page-location request, answered by the browser as a stream of the page's URL.
constexpr const char kLocationUrl[] = "javascript:window.location.href";
constexpr size_t kAppletPathLength = 260;

struct StreamClass {
    bool isLocation = false;
    bool isAppletCandidate = false;
};

// Request takes over the reference with which the listener is handed to it: that
// reference is given back (or passed on to the download worker) on every path.
class StreamManager : public ResourceFetcher, public RefCounted, public LiveCount<StreamManager> {
public:
    StreamManager(NPP npp, StreamOwner* owner);

    bool Request(DownloadListener* listener, const char* target, bool isApplet) override;
    void Shutdown() override;
    void AddRef() override { RefCounted::AddRef(); }
    void Release() override { RefCounted::Release(); }

    void RequestLocation();
    StreamClass ClassifyStream(const char* url);
    bool TakeLocation(const char* text);
    bool FetchThroughBrowser(DownloadListener* listener, const std::string& url);

    // The browser's stream callbacks for this instance.
    void NewStream(NPStream* stream, uint16_t* stype);
    void DestroyStream(NPStream* stream, NPReason reason);
    void StreamAsFile(NPStream* stream, const char* fname);
    void Write(NPStream* stream, int32_t len, const void* buffer);
    // The notification for a request that travelled as notifyData; the instance may be gone.
    static void UrlNotify(void* notifyData);

    // Fails requests that never started while the browser cannot notify; called on every
    // timer tick, however often that comes, it looks only every few seconds. nowMs is the
    // tick count.
    void SweepPendingRequests();
    void SweepPendingRequests(uint32_t nowMs);
    // A browser that cannot be trusted with its window across requests may hand the
    // instance a null window once for each request made: true uses one such allowance.
    bool TakeNullWindowAllowance();
    void RaiseNullWindowAllowance();
    // A request that waits for its stream by file name, the browser being unable to notify.
    void TrackRequest(StreamRequest* request);
    StreamRequest* FindStreamRequest(NPStream* stream, bool unlink);

    // The instance is going away: no browser call may be made for it any more, later
    // requests fail at once, and the requests waiting for streams are let go.
    void Detach();

    bool Ready() const { return ready; }
    bool PageUrlKnown() const { return pageUrlKnown; }
    const std::string& PageUrl() const { return pageUrl; }
    bool UseWorker() const { return useWorker; }
    const NPStream* AppletStream() const { return appletStream; }
    const std::string& AppletFilePath() const { return appletFilePath; }
    int32_t AppletFileState() const { return appletFileState; }
    const NPStream* LocationStream() const { return locationStream; }
    const std::deque<StreamRequest*>& PendingRequests() const { return pendingRequests; }
    int32_t NullWindowAllowance() const { return nullWindowAllowance; }
    uint32_t LastSweepMs() const { return lastSweepMs; }

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
    void DropPendingRequests();

    NPP npp;
    StreamOwner* owner;
    bool useWorker = false;
    bool appletClaimed = false;
    bool ready = false;
    bool firstStreamSeen = false;
    bool pageUrlKnown = false;
    std::string pageUrl;
    DownloadWorker* worker = nullptr;
    std::deque<QueuedRequest> queuedRequests;

    std::deque<StreamRequest*> pendingRequests;
    NPStream* appletStream = nullptr;
    std::string appletFilePath;
    int32_t appletFileState = StateNone;
    NPStream* locationStream = nullptr;
    int32_t nullWindowAllowance = 0;
    uint32_t lastSweepMs;
};
