#include "streams/StreamManager.h"

#include <cstring>

#include "download/DownloadWorker.h"
#include "plugin/BrowserServices.h"
#include "plugin/PluginInstance.h"
#include "streams/DownloadListener.h"
#include "streams/StreamRequest.h"
#include "streams/UrlResolution.h"

namespace {

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

StreamManager::StreamManager(NPP npp) : npp(npp)
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
    delete worker;
    for (QueuedRequest& queued : queuedRequests) queued.listener->Release();
}

void StreamManager::Shutdown()
{
    if (worker) worker->Stop();
}

void StreamManager::RaiseNullWindowAllowance()
{
    if (Quirks().windowSurvivesRequests) return;
    if (PluginInstance* instance = InstanceOf(npp)) ++instance->nullWindowAllowance;
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
    if (PluginInstance* instance = InstanceOf(npp)) instance->SetPageLocation(pageUrl);
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
    PluginInstance* instance = InstanceOf(npp);
    if (!instance) {
        listener->SetState(StateFailed);
        return false;
    }

    if (isApplet) {
        const bool first = !appletClaimed;
        appletClaimed = true;
        if (instance->appletStream) {
            // The browser's applet stream is open: what is known so far now, the rest
            // when the stream ends (found again by its file name).
            listener->SetLocalFile(instance->appletFilePath);
            instance->appletStream = nullptr;
            if (first) {
                StreamRequest* request = new StreamRequest(listener);
                // Its stream is already arriving, so the start time-out must not fail it.
                request->started = true;
                instance->pendingRequests.push_back(request);
                return true;
            }
        } else if (instance->appletFileState != 0) {
            listener->SetState(instance->appletFileState);
            listener->SetLocalFile(instance->appletFilePath);
            instance->appletFileState = 0;
            return true;
        } else if (first) {
            instance->pendingRequests.push_back(new StreamRequest(listener));
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
    PluginInstance* instance = InstanceOf(npp);
    if (!instance) {
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

    instance->pendingRequests.push_back(request);
    if (NPN_GetURL(npp, url.c_str(), nullptr) == NPERR_NO_ERROR) return true;
    for (auto it = instance->pendingRequests.begin(); it != instance->pendingRequests.end(); ++it) {
        if (*it == request) {
            instance->pendingRequests.erase(it);
            break;
        }
    }
    request->ReportFailed();
    delete request;
    return false;
}
