#include "streams/StreamManager.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/AnsiPath.h"
#include "base/DownloadListener.h"
#include "base/Trace.h"
#include "browser/BrowserServices.h"
#include "download/DownloadWorker.h"
#include "streams/StreamOwner.h"
#include "streams/StreamRequest.h"
#include "streams/UrlResolution.h"

namespace {

constexpr uint32_t kSweepEveryMs = 5000;
constexpr time_t kStartTimeoutSeconds = 30;
constexpr char kAppletStreamRoute[] = "the browser's stream of the applet";

std::string InstanceSubject(NPP npp)
{
    char subject[32];
    std::snprintf(subject, sizeof subject, "instance %p", static_cast<void*>(npp));
    return subject;
}

std::string ReasonText(NPReason reason)
{
    return "NPAPI reason " + std::to_string(reason);
}

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

StreamManager::StreamManager(NPP npp, StreamOwner* owner)
    : npp(npp), owner(owner), traceSubject(InstanceSubject(npp)), lastSweepMs(GetTickCount())
{
    if (IsExplorerAgent(NPN_UserAgent(npp))) {
        Quirks().browserResolvesUrls = false;
        useWorker = true;
        StartWorker();
    }
}

void StreamManager::StartWorker()
{
    worker = new DownloadWorker(traceSubject);
    if (!worker->Start()) {
        delete worker;
        worker = nullptr;
    }
}

StreamManager::~StreamManager()
{
    DropRequests();
    delete worker;
    for (QueuedRequest& queued : queuedRequests) queued.listener->Release();
}

void StreamManager::Detach()
{
    npp = nullptr;
    owner = nullptr;
    DropRequests();
    kept.Clear();
}

// The browser may never end these: each is failed and freed here, and a late stream or
// notification for it finds nothing.
void StreamManager::DropRequests()
{
    for (std::deque<StreamRequest*>* list : {&pendingRequests, &notifyRequests}) {
        std::deque<StreamRequest*> dropped;
        dropped.swap(*list);
        for (StreamRequest* request : dropped) {
            request->ReportFailed("the instance went first");
            delete request;
        }
    }
}

void StreamManager::Shutdown()
{
    // The renderer is gone: its downloads and their files go with the worker, and a
    // renderer started again for the instance gets a worker of its own.
    if (!worker) return;
    delete worker;
    worker = nullptr;
    workerRetired = true;
}

void StreamManager::DiscardFile(const std::string& localFile)
{
    kept.Drop(localFile);
    if (worker) worker->Discard(localFile);
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

void StreamManager::RequestLocation(const std::string& src)
{
    if (!npp) return;
    srcAttribute = src;
    location = Location::Waiting;
    locationAskedAt = GetTickCount();
    RaiseNullWindowAllowance();
    if (NPN_GetURL(npp, kLocationUrl, nullptr) != NPERR_NO_ERROR) LocationFailed();
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
    location = Location::Known;
    if (owner) owner->PageLocationArrived(pageUrl);
    if (firstStreamSeen) {
        ready = true;
        DrainQueue();
    }
    return true;
}

// Refused, empty, failed or late: the page's base comes from the src stream, now or
// whenever that stream is announced while the instance lives.
void StreamManager::LocationFailed()
{
    if (location != Location::Waiting) return;
    location = Location::Failed;
    locationStream = nullptr;
    DeriveLocation();
}

void StreamManager::DeriveLocation()
{
    if (location != Location::Failed || appletStreamUrl.empty()) return;
    TakeLocation(BaseOfSrc(appletStreamUrl, srcAttribute).c_str());
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
                StreamRequest* request = NewRequest(listener, kAppletStreamRoute);
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
            TrackRequest(NewRequest(listener, kAppletStreamRoute));
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
        const NPError rc = NPN_GetURL(npp, url.c_str(), target);
        if (TraceOn()) {
            TraceEvent(traceSubject, std::string("navigation ") + target + " " + url +
                                         " handed to the browser, NPN_GetURL returned " + std::to_string(rc));
        }
        return true;
    }
    if (useWorker) {
        if (!worker && workerRetired) {
            workerRetired = false;
            StartWorker();
        }
        if (worker) return worker->Enqueue(handed.PassOn(), url.c_str());
        TraceEvent(traceSubject, std::string("request ") + listener->GetName() + " " + url +
                                     " failed: no download worker (WinInet did not start)");
        listener->SetState(StateFailed);
        return false;
    }
    return FetchThroughBrowser(listener, url);
}

// The browser may answer inside either call, up to the notification that frees the
// request: after the call the request is reached again only through the list that holds
// it, and one that is no longer listed has already ended.
bool StreamManager::FetchThroughBrowser(DownloadListener* listener, const std::string& url)
{
    if (!npp) {
        listener->SetState(StateFailed);
        return false;
    }
    constexpr char kWithoutNotification[] = "a browser stream without notification";
    StreamRequest* request =
        NewRequest(listener, Quirks().urlNotifyUsable ? "a browser stream with notification" : kWithoutNotification);
    const uint32_t serial = request->serial;
    RaiseNullWindowAllowance();

    if (Quirks().urlNotifyUsable) {
        request->started = true;
        notifyRequests.push_back(request);
        NPError rc = NPN_GetURLNotify(npp, url.c_str(), nullptr, request->NotifyCookie());
        if (rc == NPERR_NO_ERROR) return true;
        if (!Unlink(request, serial)) return false;
        if (rc != NPERR_INCOMPATIBLE_VERSION_ERROR) {
            request->ReportFailed("NPN_GetURLNotify error " + std::to_string(rc));
            delete request;
            return false;
        }
        Quirks().urlNotifyUsable = false;
        request->started = false;
        request->TraceAs(traceSubject, kWithoutNotification);
    }

    TrackRequest(request);
    const NPError rc = NPN_GetURL(npp, url.c_str(), nullptr);
    if (rc == NPERR_NO_ERROR) return true;
    if (!Unlink(request, serial)) return false;
    request->ReportFailed("NPN_GetURL error " + std::to_string(rc));
    delete request;
    return false;
}

bool StreamManager::Unlink(const StreamRequest* request, uint32_t serial)
{
    for (std::deque<StreamRequest*>* list : {&pendingRequests, &notifyRequests}) {
        for (auto it = list->begin(); it != list->end(); ++it) {
            if (*it == request && (*it)->serial == serial) {
                list->erase(it);
                return true;
            }
        }
    }
    return false;
}

void StreamManager::TrackRequest(StreamRequest* request)
{
    pendingRequests.push_back(request);
}

StreamRequest* StreamManager::NewRequest(DownloadListener* listener, const char* route)
{
    StreamRequest* request = new StreamRequest(listener);
    if (TraceOn()) request->TraceAs(traceSubject, route);
    return request;
}

void StreamManager::NewStream(NPStream* stream, uint16_t* stype)
{
    StreamClass kind = ClassifyStream(stream->url);
    if (kind.isLocation) {
        locationStream = stream;
        locationText.clear();
        return;
    }
    if (kind.isAppletCandidate && stream->url) {
        appletStreamUrl = stream->url;
        DeriveLocation();
    }
    if (StreamRequest* request = FindStreamRequest(stream, false)) {
        request->started = true;
        if (stype) *stype = NP_ASFILE;
    } else if (kind.isAppletCandidate) {
        appletStream = stream;
        if (stype) *stype = NP_ASFILE;
    }
}

// Done only with a file: a stream that ends well without one has delivered nothing.
void StreamManager::EndRequest(StreamRequest* request, NPReason reason)
{
    if (reason == NPRES_DONE && !request->localFile.empty()) {
        request->ReportDone();
    } else {
        if (request->listener && !request->localFile.empty()) kept.Drop(request->localFile);
        request->ReportFailed(reason == NPRES_DONE ? "the stream ended without a file" : ReasonText(reason));
    }
}

void StreamManager::DestroyStream(NPStream* stream, NPReason reason)
{
    if (StreamRequest* request = FindStreamRequest(stream, true)) {
        EndRequest(request, reason);
        // A request that travels as notifyData is freed by its notification, or at Detach.
        if (FindNotifyRequest(stream->notifyData) != request) delete request;
        if (owner) owner->FetchEnded();
    } else if (stream && stream == appletStream) {
        appletFileState = reason == NPRES_DONE && !appletFilePath.empty() ? StateReady : StateFailed;
        appletStream = nullptr;
    }
    if (stream && stream == locationStream) {
        locationStream = nullptr;
        if (location == Location::Waiting && (reason != NPRES_DONE || !TakeLocation(locationText.c_str()))) {
            LocationFailed();
        }
    }
}

void StreamManager::StreamAsFile(NPStream* stream, const char* fname)
{
    if (StreamRequest* request = FindStreamRequest(stream, false)) {
        // Kept now: the browser may delete its file as soon as the stream is destroyed.
        const std::string path = fname ? kept.Keep(fname) : std::string();
        if (!path.empty()) {
            request->SetLocalFile(path.c_str());
        } else {
            request->ReportFailed("the stream's file could not be kept");
            if (owner) owner->FetchEnded();
        }
    } else if (stream && stream == appletStream) {
        if (!appletFilePath.empty()) kept.Drop(appletFilePath);
        appletFilePath = fname ? kept.Keep(fname) : std::string();
    }
}

void StreamManager::Write(NPStream* stream, int32_t len, const void* buffer)
{
    if (!stream || stream != locationStream || !buffer || len <= 0) return;
    if (location != Location::Waiting) return;
    // The location may come in pieces; it counts once the stream has ended.
    const char* bytes = static_cast<const char*>(buffer);
    locationText.append(bytes, strnlen(bytes, static_cast<size_t>(len)));
}

void StreamManager::UrlNotify(void* notifyData, NPReason reason)
{
    StreamRequest* request = FindNotifyRequest(notifyData);
    if (!request) return;
    Unlink(request, request->serial);
    if (!request->localFile.empty()) {
        request->ReportDone();
    } else {
        request->ReportFailed("notified without a stream, " + ReasonText(reason));
    }
    delete request;
    if (owner) owner->FetchEnded();
}

StreamRequest* StreamManager::FindNotifyRequest(void* notifyData) const
{
    if (!notifyData) return nullptr;
    for (StreamRequest* request : notifyRequests) {
        if (request->NotifyCookie() == notifyData) return request;
    }
    return nullptr;
}

void StreamManager::SweepPendingRequests()
{
    SweepPendingRequests(GetTickCount());
}

void StreamManager::SweepPendingRequests(uint32_t nowMs)
{
    const bool locationLate = nowMs - locationAskedAt >= kLocationWaitMs;
    // A location stream that has begun to write is waited for to its end: what it has
    // written so far may be only the start of the page's URL. One that has written nothing
    // may never do so, and counts as absent.
    if (location == Location::Waiting && locationLate && (!locationStream || locationText.empty())) LocationFailed();
    if (location == Location::Failed && locationLate && !lateNoted) {
        lateNoted = true;
        if (owner) owner->PageLocationLate();
    }

    if (Quirks().urlNotifyUsable) return;
    if (nowMs - lastSweepMs < kSweepEveryMs) return;
    lastSweepMs = nowMs;

    const time_t now = time(nullptr);
    for (auto it = pendingRequests.begin(); it != pendingRequests.end();) {
        StreamRequest* request = *it;
        bool expired = !request->started && request->listener &&
                       now - request->created > kStartTimeoutSeconds;
        if (expired) {
            request->ReportFailed("the browser did not start its stream within " +
                                  std::to_string(kStartTimeoutSeconds) + " s");
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
    const size_t cut = AnsiLeadBytes().FindLastOf(url, backslashToo ? "/\\" : "/");
    return cut == std::string_view::npos ? url : url + cut + 1;
}

StreamRequest* StreamManager::FindStreamRequest(NPStream* stream, bool unlink)
{
    if (!stream) return nullptr;
    // A cookie that names no outstanding request belongs to one that has ended.
    if (stream->notifyData) {
        if (StreamRequest* request = FindNotifyRequest(stream->notifyData)) return request;
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
