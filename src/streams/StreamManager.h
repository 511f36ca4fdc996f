// One per plug-in instance: turns requests for URLs into browser streams taken as files
// (or, under Internet Explorer, into download jobs), reports each outcome to its
// listener, and learns the page's own address from the browser. It answers the browser's
// stream callbacks for its instance, and keeps the browser's stream of the applet file
// until the renderer asks for it. Every file a stream hands over is kept as the
// instance's own (KeptFiles), since browsers delete theirs, until the renderer is done
// with it or the instance goes. The
// browser may answer a request inside the call that makes it, notify late or never:
// requests are reached only through the lists that hold them, never through a pointer
// the browser hands back.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "base/LiveCount.h"
#include "base/RefCounted.h"
#include "base/ResourceFetcher.h"
#include "base/ResourceState.h"
#include "browser/NpapiAbi.h"
#include "streams/KeptFiles.h"

class DownloadListener;
class DownloadWorker;
class StreamOwner;
class StreamRequest;

// The page-location request, answered by the browser as a stream of the page's URL.
constexpr const char kLocationUrl[] = "javascript:window.location.href";
// How long the page location may take to begin before the page's base is worked out from
// the src stream instead, and the instance shows its logo while that stream is awaited.
constexpr unsigned kLocationWaitMs = 5000;

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
    void DiscardFile(const std::string& localFile) override;
    void Shutdown() override;
    void AddRef() override { RefCounted::AddRef(); }
    void Release() override { RefCounted::Release(); }

    // `src` is the embed's src attribute as written: should the browser never say where
    // the page is, the page's base is the one against which `src` gives the src stream.
    void RequestLocation(const std::string& src);
    StreamClass ClassifyStream(const char* url);
    bool TakeLocation(const char* text);
    bool FetchThroughBrowser(DownloadListener* listener, const std::string& url);

    // The browser's stream callbacks for this instance.
    void NewStream(NPStream* stream, uint16_t* stype);
    void DestroyStream(NPStream* stream, NPReason reason);
    void StreamAsFile(NPStream* stream, const char* fname);
    void Write(NPStream* stream, int32_t len, const void* buffer);
    // The notification for a request that travelled as notifyData. Anything that names no
    // outstanding request (late, repeated, or made up) is ignored.
    void UrlNotify(void* notifyData, NPReason reason);

    // Called on every timer tick, however often that comes: stops waiting for a page location
    // whose stream has not begun to write in time (the src stream's base is then taken
    // whenever it comes), and, looking only every few seconds, fails requests that never started while
    // the browser cannot notify. nowMs is the tick count.
    void SweepPendingRequests();
    void SweepPendingRequests(uint32_t nowMs);
    // A browser that cannot be trusted with its window across requests may hand the
    // instance a null window once for each request made: true uses one such allowance.
    bool TakeNullWindowAllowance();
    void RaiseNullWindowAllowance();
    // A request that waits for its stream by file name, the browser being unable to notify.
    void TrackRequest(StreamRequest* request);
    // A request of this instance, its route named for the trace.
    StreamRequest* NewRequest(DownloadListener* listener, const char* route);
    StreamRequest* FindStreamRequest(NPStream* stream, bool unlink);

    // The instance is going away: no browser call may be made for it any more, later
    // requests fail at once, every request still outstanding is failed and freed (the
    // browser may never notify it), and the kept files are deleted.
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
    const std::deque<StreamRequest*>& NotifyRequests() const { return notifyRequests; }
    const KeptFiles& Kept() const { return kept; }
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

    void StartWorker();
    enum class Location { NotAsked, Waiting, Known, Failed };

    void DrainQueue();
    void DropRequests();
    // Takes the request out of whichever list holds it; false when it has already ended.
    bool Unlink(const StreamRequest* request, uint32_t serial);
    StreamRequest* FindNotifyRequest(void* notifyData) const;
    void EndRequest(StreamRequest* request, NPReason reason);
    void LocationFailed();
    void DeriveLocation();

    NPP npp;
    StreamOwner* owner;
    const std::string traceSubject;
    bool useWorker = false;
    bool appletClaimed = false;
    bool ready = false;
    bool firstStreamSeen = false;
    bool pageUrlKnown = false;
    std::string pageUrl;
    DownloadWorker* worker = nullptr;
    bool workerRetired = false;  // shut down with a renderer; the next request starts anew
    std::deque<QueuedRequest> queuedRequests;

    std::deque<StreamRequest*> pendingRequests;
    // Requests that travel as notifyData (by their cookie); only these are ever reported
    // through a notification.
    std::deque<StreamRequest*> notifyRequests;
    KeptFiles kept;
    NPStream* appletStream = nullptr;
    std::string appletStreamUrl;
    std::string appletFilePath;
    int32_t appletFileState = StateNone;
    NPStream* locationStream = nullptr;
    Location location = Location::NotAsked;
    std::string locationText;  // what the location stream has written so far
    std::string srcAttribute;
    unsigned locationAskedAt = 0;
    bool lateNoted = false;  // the owner has heard that the location is late
    int32_t nullWindowAllowance = 0;
    uint32_t lastSweepMs;
};
