// Streams from the host to plug-in instances, delivered one step per message from the
// host's message loop, never inside the browser call that asked for them:
//   NPP_NewStream (stype preset to NP_NORMAL) -> NPP_WriteReady/NPP_Write chunks ->
//   NPP_StreamAsFile (when the plug-in chose NP_ASFILE or NP_ASFILEONLY) ->
//   NPP_DestroyStream -> NPP_URLNotify (for notify requests).
// A URL's body is fetched into a file on a thread of its own first (the stream waits,
// nothing blocks the window), then announced under the URL it came from after redirects and
// written from that file. A URL that cannot be fetched, or whose body passes the stream's
// limit, gives for a notify request only NPP_URLNotify with NPRES_NETWORK_ERR; otherwise a
// stream announced with no data and destroyed with NPRES_NETWORK_ERR. A fetch that was
// stopped ends the same way with NPRES_USER_BREAK. Later browsers' habits are options:
// streams that run to their end inside the call that asked, files deleted once their stream
// is destroyed, deep paths.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BrowserOptions.h"
#include "CallLog.h"
#include "PageInstance.h"
#include "PluginRegistration.h"
#include "TempFolder.h"
#include "BackgroundFetch.h"
#include "StreamBody.h"
#include "FetchProgress.h"
#include "browser/NpapiAbi.h"

class StreamDelivery {
public:
    struct Hooks {
        std::function<void()> wake;            // run Step again from the message loop
        // The same from a fetch's thread; it may run after this object has gone.
        std::function<void()> wakeFromThread;
        std::function<void()> fetching;        // a fetch has begun
        std::function<void(const std::string& error)> overLimit;  // a body passed the limit
        std::function<void(int ms)> retryIn;  // call Resume after this long
        std::function<void(PageInstance&, const std::string& url)> ended;  // a stream was destroyed
        StreamBodySource bodies;  // where bodies come from; empty: the browser's own fetches
    };

    using Options = DeliveryOptions;
    // Text known now and how its stream goes.
    struct Text {
        std::string text;
        NPReason endReason = NPRES_DONE;
        size_t chunkBytes = 0;    // largest write for this stream; 0: the usual
    };

    StreamDelivery(CallLog& log, const FetchSettings& fetch, TempFolder& files, const PluginRegistration& registration,
                   const NPPluginFuncs& plugin, const Options& options, Hooks hooks);
    ~StreamDelivery();

    // A URL fetched when its turn comes; `url` is absolute and becomes the stream's url.
    void DeliverUrl(PageInstance& instance, const std::string& url, bool notify, void* notifyData);
    // Text known now (the answer to a javascript: URL).
    void DeliverText(PageInstance& instance, const std::string& url, const std::string& mimeType,
                     const Text& answer, bool notify, void* notifyData);
    // Only the notification (a navigation made through NPN_GetURLNotify).
    void DeliverNotification(PageInstance& instance, const std::string& url, void* notifyData);
    // A request that is never answered, as from a server that never replies; only the
    // page's close ends it.
    void Withhold(PageInstance& instance, const std::string& url, bool notify, void* notifyData);

    void Step();
    void Resume();  // after a retry delay
    bool Idle() const;

    // Every fetch under way is given up; its stream ends with NPRES_USER_BREAK.
    void StopFetches();
    std::vector<FetchProgress> Fetches() const;

    // Page close: open streams end with NPRES_USER_BREAK, waiting notify requests are told
    // the same when `notify`, and nothing more reaches the instance.
    void Cancel(PageInstance& instance, bool notify);

private:
    struct Job;

    CallLog& log_;
    const FetchSettings& fetch_;
    TempFolder& files_;
    const PluginRegistration& registration_;
    const NPPluginFuncs& plugin_;
    const Options options_;
    Hooks hooks_;
    std::deque<std::unique_ptr<Job>> jobs_;
    int nextId_ = 1;
    bool wakePosted_ = false;

    void Add(std::unique_ptr<Job> job);
    void RunToEnd(std::unique_ptr<Job> job);
    void Wake();
    bool Advance(Job& job);  // true once the job is finished
    void StartFetch(Job& job);
    // Takes the fetch's result; false when the stream ended with it.
    bool TakeFetch(Job& job);
    bool Announce(Job& job, NPReason failure);
    bool Write(Job& job);
    void Finish(Job& job, NPReason reason);
    void Discard(Job& job);  // the body's file and reader, when the stream is over
    void Notify(Job& job, NPReason reason);
    std::string Prefix(const char* name, const Job& job) const;
};
