#include "streams/StreamManager.h"

#include <cstring>

#include "plugin/BrowserServices.h"
#include "plugin/PluginInstance.h"
#include "streams/DownloadListener.h"

StreamManager::StreamManager(NPP npp) : npp(npp)
{
    const char* agent = NPN_UserAgent(npp);
    if (agent && (std::strstr(agent, "Explorer") || std::strstr(agent, "MSIE"))) {
        Quirks().browserResolvesUrls = false;
        useWorker = true;
    }
}

StreamManager::~StreamManager() = default;

void StreamManager::Shutdown() {}

void StreamManager::RequestLocation()
{
    if (!Quirks().windowSurvivesRequests) {
        if (PluginInstance* instance = InstanceOf(npp)) ++instance->nullWindowAllowance;
    }
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
        DownloadListener* listener = queuedRequests.front();
        queuedRequests.pop_front();
        Request(listener, nullptr, false);
    }
}

bool StreamManager::Request(DownloadListener* listener, const char* target, bool isApplet)
{
    if (!ready) {
        queuedRequests.push_back(listener);
        return true;
    }
    listener->SetState(StateFailed);
    return false;
}
