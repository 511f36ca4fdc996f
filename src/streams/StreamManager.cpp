#include "streams/StreamManager.h"

#include <cstring>
#include <ctime>

#include "base/DownloadListener.h"
#include "browser/BrowserServices.h"
#include "download/DownloadWorker.h"
#include "streams/StreamOwner.h"
#include "streams/StreamRequest.h"
#include "streams/UrlResolution.h"

namespace {

constexpr uint32_t kSweepEveryMs = 5000;
constexpr time_t kStartTimeoutSeconds = 30;

// The reference a request arrives with: given back when the request is done with it,
// unless it is passed on.
class HandedReference {
public:
    explicit HandedReference(DownloadListener* listener) : listener_(listener) {}
    ~HandedReference()
    {
        if (listener_) listener_->Release();
    }
    HandedReference(const HandedReference&) = delete;
    HandedReference& operator=(const HandedReference&) = delete;

    DownloadListener* PassOn()
    {
        DownloadListener* listener = listener_;
        listener_ = nullptr;
        return listener;
    }

private:
    DownloadListener* listener_;
};

}  // namespace

StreamManager::StreamManager(NPP npp, StreamOwner* owner) : npp(npp), owner(owner), lastSweepMs(GetTickCount())
{
    const char* agent = NPN_UserAgent(npp);
    if (agent && (std::strstr(agent, "Explorer") || std::strstr(agent, "MSIE"))) {
        Quirks().browserResolvesUrls = false;
        useWorker = true;
        worker = new DownloadWorker();
        if (!worker->Start()) {
            delete worker;
            worker = nullptr;
        }
    }
}

StreamManager::~StreamManager()
{
    DropPendingRequests();
    delete worker;
    for (QueuedRequest& queued : queuedRequests) queued.listener->Release();
}

void StreamManager::Detach()
{
    npp = nullptr;
    owner = nullptr;
    DropPendingRequests();
}

void StreamManager::DropPendingRequests()
{
    for (StreamRequest* request : pendingRequests) delete request;
    pendingRequests.clear();
}

void StreamManager::Shutdown()
{
    if (worker) worker->Stop();
}

void StreamManager::RaiseNullWindowAllowance()
{
    if (!Quirks().windowSurvivesRequests) ++nullWindowAllowance;
}

bool StreamManager::TakeNullWindowAllowance()
{
    if (Quirks().windowSurvivesRequests || nullWindowAllowance <= 0) return false;
    --nullWindowAllowance;
    return true;
}

void StreamManager::RequestLocation()
{
    if (!npp) return;
    RaiseNullWindowAllowance();
    NPN_GetURL(npp, kLocationUrl, nullptr);
}

StreamClass StreamManager::ClassifyStream(const char* url)
{
    StreamClass kind;
    if (ready) return kind;
    if (url && std::strcmp(url, kLocationUrl) == 0) {
        kind.isLocation = true;
        return kind;
    }
    firstStreamSeen = true;
    ready = pageUrlKnown;
    kind.isAppletCandidate = true;
    if (ready) DrainQueue();
    return kind;
}

bool StreamManager::TakeLocation(const char* text)
{
    if (!text || !*text) return false;
    pageUrl = text;
    pageUrlKnown = true;
    if (owner) owner->PageLocationArrived(pageUrl);
    if (firstStreamSeen) {
        ready = true;
        DrainQueue();
    }
    return true;
}

void StreamManager::DrainQueue()
{
    while (!queuedRequests.empty()) {
        QueuedRequest queued = queuedRequests.front();
        queuedRequests.pop_front();
        Request(queued.listener, queued.hasTarget ? queued.target.c_str() : nullptr, false);
    }
}

bool StreamManager::Request(DownloadListener* listener, const char* target, bool isApplet)
{
    HandedReference handed(listener);
    if (!npp) {
        listener->SetState(StateFailed);
        return false;
    }

    if (isApplet) {
        const bool first = !appletClaimed;
        appletClaimed = true;
        if (appletStream) {
            // The browser's applet stream is open: what is known so far now, the rest
            // when the stream ends (found again by its file name).
            listener->SetLocalFile(appletFilePath.c_str());
            appletStream = nullptr;
            if (first) {
                StreamRequest* request = new StreamRequest(listener);
                // Its stream is already arriving, so the start time-out must not fail it.
                request->started = true;
                TrackRequest(request);
                return true;
            }
        } else if (appletFileState != StateNone) {
            listener->SetState(appletFileState);
            listener->SetLocalFile(appletFilePath.c_str());
            appletFileState = StateNone;
            return true;
        } else if (first) {
            TrackRequest(new StreamRequest(listener));
            return true;
        }
    }

    if (!ready) {
        queuedRequests.push_back({handed.PassOn(), target != nullptr, target ? target : ""});
        return true;
    }

    listener->SetState(StateFetching);
    std::string url = listener->GetUrl();
    if (!Quirks().browserResolvesUrls) url = ResolveUrl(pageUrl, url);
    url = EscapeSpaces(url);

    if (target) {
        RaiseNullWindowAllowance();
        NPN_GetURL(npp, url.c_str(), target);
        return true;
    }
    if (useWorker) {
        if (worker) return worker->Enqueue(handed.PassOn(), url.c_str());
        listener->SetState(StateFailed);
        return false;
    }
    return FetchThroughBrowser(listener, url);
}

bool StreamManager::FetchThroughBrowser(DownloadListener* listener, const std::string& url)
{
    if (!npp) {
        listener->SetState(StateFailed);
        return false;
    }
    StreamRequest* request = new StreamRequest(listener);
    RaiseNullWindowAllowance();

    if (Quirks().urlNotifyUsable) {
        NPError rc = NPN_GetURLNotify(npp, url.c_str(), nullptr, request);
        if (rc == NPERR_NO_ERROR) {
            request->started = true;
            return true;
        }
        if (rc != NPERR_INCOMPATIBLE_VERSION_ERROR) {
            request->ReportFailed();
            delete request;
            return false;
        }
        Quirks().urlNotifyUsable = false;
    }

    TrackRequest(request);
    if (NPN_GetURL(npp, url.c_str(), nullptr) == NPERR_NO_ERROR) return true;
    for (auto it = pendingRequests.begin(); it != pendingRequests.end(); ++it) {
        if (*it == request) {
            pendingRequests.erase(it);
            break;
        }
    }
    request->ReportFailed();
    delete request;
    return false;
}

void StreamManager::TrackRequest(StreamRequest* request)
{
    pendingRequests.push_back(request);
}

void StreamManager::NewStream(NPStream* stream, uint16_t* stype)
{
    StreamClass kind = ClassifyStream(stream->url);
    if (kind.isLocation) {
        locationStream = stream;
        return;
    }
    if (StreamRequest* request = FindStreamRequest(stream, false)) {
        request->started = true;
        if (stype) *stype = NP_ASFILE;
    } else if (kind.isAppletCandidate) {
        appletStream = stream;
        if (stype) *stype = NP_ASFILE;
    }
}

void StreamManager::DestroyStream(NPStream* stream, NPReason reason)
{
    if (StreamRequest* request = FindStreamRequest(stream, true)) {
        if (reason == NPRES_DONE) {
            request->ReportDone();
        } else {
            request->ReportFailed();
        }
        bool travelsAsNotifyData = Quirks().urlNotifyUsable && stream->notifyData == request;
        if (!travelsAsNotifyData) delete request;
        if (owner) owner->FetchEnded();
    } else if (stream && stream == appletStream) {
        appletFileState = reason == NPRES_DONE ? StateReady : StateFailed;
        appletStream = nullptr;
    }
    if (stream && stream == locationStream) locationStream = nullptr;
}

void StreamManager::StreamAsFile(NPStream* stream, const char* fname)
{
    if (StreamRequest* request = FindStreamRequest(stream, false)) {
        if (fname) {
            request->SetLocalFile(fname);
        } else {
            request->ReportFailed();
            if (owner) owner->FetchEnded();
        }
    } else if (stream && stream == appletStream) {
        appletFilePath = fname ? std::string(fname).substr(0, kAppletPathLength) : std::string();
    }
}

void StreamManager::Write(NPStream* stream, int32_t len, const void* buffer)
{
    if (!stream || stream != locationStream || !buffer || len <= 0) return;
    const char* bytes = static_cast<const char*>(buffer);
    std::string text(bytes, strnlen(bytes, static_cast<size_t>(len)));
    if (TakeLocation(text.c_str())) locationStream = nullptr;
}

void StreamManager::UrlNotify(void* notifyData)
{
    StreamRequest* request = static_cast<StreamRequest*>(notifyData);
    if (!request->localFile.empty()) {
        request->ReportDone();
    } else {
        request->ReportFailed();
    }
    delete request;
}

void StreamManager::SweepPendingRequests()
{
    SweepPendingRequests(GetTickCount());
}

void StreamManager::SweepPendingRequests(uint32_t nowMs)
{
    if (Quirks().urlNotifyUsable) return;
    if (nowMs - lastSweepMs < kSweepEveryMs) return;
    lastSweepMs = nowMs;

    const time_t now = time(nullptr);
    for (auto it = pendingRequests.begin(); it != pendingRequests.end();) {
        StreamRequest* request = *it;
        bool expired = !request->started && request->listener &&
                       now - request->created > kStartTimeoutSeconds;
        if (expired) {
            request->ReportFailed();
            delete request;
            it = pendingRequests.erase(it);
        } else {
            ++it;
        }
    }
}

// The last path segment of a URL: after the last '/' (and, for stream URLs, '\\').
static const char* LastSegment(const char* url, bool backslashToo)
{
    const char* slash = std::strrchr(url, '/');
    if (backslashToo) {
        const char* backslash = std::strrchr(url, '\\');
        if (backslash && (!slash || backslash > slash)) slash = backslash;
    }
    return slash ? slash + 1 : url;
}

StreamRequest* StreamManager::FindStreamRequest(NPStream* stream, bool unlink)
{
    if (!stream) return nullptr;
    if (Quirks().urlNotifyUsable && stream->notifyData) {
        return static_cast<StreamRequest*>(stream->notifyData);
    }
    if (!stream->url) return nullptr;
    // Stream URLs come escaped ("a%20b.obv") while request URLs keep their spaces: both
    // sides are compared in the escaped form the request was made with.
    const std::string key = EscapeSpaces(LastSegment(stream->url, true));
    for (auto it = pendingRequests.begin(); it != pendingRequests.end(); ++it) {
        StreamRequest* request = *it;
        if (!request->listener) continue;
        if (EscapeSpaces(LastSegment(request->listener->GetUrl(), false)) != key) continue;
        if (unlink) pendingRequests.erase(it);
        return request;
    }
    return nullptr;
}
