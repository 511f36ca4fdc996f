#include "StreamDelivery.h"

#include <windows.h>

#include <algorithm>

#include "UrlResolution.h"
#include "base/AnsiPath.h"

struct StreamDelivery::Job {
    enum class Stage { Start, Write, Finish };

    Job(PageInstance& instance, const std::string& url, bool notify, void* notifyData)
        : instance(&instance), url(url), notify(notify), notifyData(notifyData)
    {
    }

    int id = 0;
    PageInstance* instance = nullptr;
    std::string url;
    bool fetch = false;      // body and type come from the URL when the job starts
    bool notifyOnly = false;
    bool logData = false;    // short text answers are shown in the log
    std::string body;
    std::string mimeType;
    uint32_t lastModified = 0;
    bool notify = false;
    void* notifyData = nullptr;
    NPReason endReason = NPRES_DONE;
    size_t chunkBytes = 0;   // 0: the delivery's own
    std::string file;        // what NPP_StreamAsFile named

    Stage stage = Stage::Start;
    bool announced = false;  // NPP_NewStream accepted the stream
    bool waiting = false;    // NPP_WriteReady said 0: wait for Resume
    bool withheld = false;   // never runs; the page's close ends it
    NPStream stream{};
    uint16_t stype = NP_NORMAL;
    size_t written = 0;
};

StreamDelivery::StreamDelivery(CallLog& log, UrlFetcher& fetcher, const PluginRegistration& registration,
                               const NPPluginFuncs& plugin, const Options& options, Hooks hooks)
    : log_(log),
      fetcher_(fetcher),
      registration_(registration),
      plugin_(plugin),
      options_(options),
      hooks_(std::move(hooks))
{
}

StreamDelivery::~StreamDelivery() = default;

void StreamDelivery::DeliverUrl(PageInstance& instance, const std::string& url, bool notify, void* notifyData)
{
    auto job = std::make_unique<Job>(instance, url, notify, notifyData);
    job->fetch = true;
    Add(std::move(job));
}

void StreamDelivery::DeliverText(PageInstance& instance, const std::string& url, const std::string& mimeType,
                                 const Text& answer, bool notify, void* notifyData)
{
    auto job = std::make_unique<Job>(instance, url, notify, notifyData);
    job->body = answer.text;
    job->endReason = answer.endReason;
    job->chunkBytes = answer.chunkBytes;
    job->mimeType = mimeType;
    job->logData = true;
    Add(std::move(job));
}

void StreamDelivery::DeliverNotification(PageInstance& instance, const std::string& url, void* notifyData)
{
    auto job = std::make_unique<Job>(instance, url, true, notifyData);
    job->notifyOnly = true;
    Add(std::move(job));
}

void StreamDelivery::Withhold(PageInstance& instance, const std::string& url, bool notify, void* notifyData)
{
    auto job = std::make_unique<Job>(instance, url, notify, notifyData);
    job->withheld = true;
    job->id = nextId_++;
    jobs_.push_back(std::move(job));
}

bool StreamDelivery::Idle() const
{
    return std::all_of(jobs_.begin(), jobs_.end(), [](const auto& job) { return job->withheld; });
}

void StreamDelivery::Add(std::unique_ptr<Job> job)
{
    job->id = nextId_++;
    if (options_.atOnce) {
        RunToEnd(std::move(job));
        return;
    }
    jobs_.push_back(std::move(job));
    Wake();
}

// Inside the call that asked: the plug-in may ask for more meanwhile, which runs nested.
void StreamDelivery::RunToEnd(std::unique_ptr<Job> job)
{
    log_.Line("* at-once stream=" + std::to_string(job->id) + " url=" + CallLog::Quote(job->url));
    while (!Advance(*job)) {
        if (job->waiting) {
            jobs_.push_back(std::move(job));
            return;
        }
    }
}

void StreamDelivery::Wake()
{
    if (wakePosted_) return;
    wakePosted_ = true;
    hooks_.wake();
}

void StreamDelivery::Resume()
{
    for (auto& job : jobs_) job->waiting = false;
    if (!jobs_.empty()) Wake();
}

void StreamDelivery::Step()
{
    wakePosted_ = false;
    auto runnable = [](const auto& job) { return !job->waiting && !job->withheld; };
    auto next = std::find_if(jobs_.begin(), jobs_.end(), runnable);
    if (next == jobs_.end()) return;
    // Out of the queue while it runs: the plug-in may ask for more streams meanwhile.
    std::unique_ptr<Job> job = std::move(*next);
    jobs_.erase(next);
    if (!Advance(*job)) jobs_.push_back(std::move(job));  // streams take turns
    if (std::any_of(jobs_.begin(), jobs_.end(), runnable)) Wake();
}

bool StreamDelivery::Advance(Job& job)
{
    switch (job.stage) {
    case Job::Stage::Start:
        if (job.notifyOnly) {
            Notify(job, NPRES_DONE);
            return true;
        }
        if (!Announce(job)) return true;
        job.stage = job.stype == NP_ASFILEONLY || job.body.empty() ? Job::Stage::Finish : Job::Stage::Write;
        return false;
    case Job::Stage::Write:
        if (!Write(job)) return true;
        if (job.written >= job.body.size()) {
            job.stage = Job::Stage::Finish;
        } else if (options_.trickleMs > 0 && !options_.atOnce) {
            job.waiting = true;
            hooks_.retryIn(options_.trickleMs);
        }
        return false;
    case Job::Stage::Finish:
        if ((job.stype == NP_ASFILE || job.stype == NP_ASFILEONLY) && job.endReason == NPRES_DONE) {
            job.file = files_.Store(job.id, UrlFileName(job.url, AnsiLeadBytes()), job.body, options_.longPaths);
            if (job.file.empty()) log_.Line("* error stream=" + std::to_string(job.id) + " temporary file not written");
            const char* fname = job.file.empty() ? nullptr : job.file.c_str();
            if (plugin_.asfile) plugin_.asfile(&job.instance->npp, &job.stream, fname);
            log_.Line(Prefix("NPP_StreamAsFile", job) + " fname=" + CallLog::Quote(fname));
        }
        Finish(job, job.endReason);
        return true;
    }
    return true;
}

bool StreamDelivery::Announce(Job& job)
{
    std::string failure;
    if (job.fetch) {
        FetchResult fetched = fetcher_.Fetch(job.url);
        std::string line = "* fetch stream=" + std::to_string(job.id) + " url=" + CallLog::Quote(job.url);
        if (fetched.ok) {
            job.body = std::move(fetched.body);
            job.mimeType = fetched.mimeType.empty() ? registration_.TypeForUrl(job.url) : fetched.mimeType;
            job.lastModified = fetched.lastModified;
            log_.Line(line + " -> ok bytes=" + std::to_string(job.body.size()));
        } else {
            failure = fetched.error;
            job.mimeType = registration_.TypeForUrl(job.url);
            log_.Line(line + " -> failed error=" + CallLog::Quote(failure));
            if (job.notify) {
                Notify(job, NPRES_NETWORK_ERR);
                return false;
            }
        }
    }

    job.stream.ndata = &job;
    job.stream.url = job.url.c_str();
    job.stream.end = static_cast<uint32_t>(job.body.size());
    job.stream.lastmodified = job.lastModified;
    job.stream.notifyData = job.notify ? job.notifyData : nullptr;
    job.stype = NP_NORMAL;
    NPError rc = plugin_.newstream ? plugin_.newstream(&job.instance->npp, const_cast<char*>(job.mimeType.c_str()),
                                                       &job.stream, false, &job.stype)
                                   : NPError{NPERR_GENERIC_ERROR};
    log_.Line(Prefix("NPP_NewStream", job) + " type=" + CallLog::Quote(job.mimeType) +
              " url=" + CallLog::Quote(job.url) + " end=" + std::to_string(job.stream.end) +
              " notifyData=" + CallLog::Pointer(job.stream.notifyData) + " stype=" + std::to_string(job.stype) +
              " -> " + std::to_string(rc));
    if (rc != NPERR_NO_ERROR) {
        // Refused: the stream is gone without NPP_DestroyStream.
        if (job.notify) Notify(job, NPRES_NETWORK_ERR);
        return false;
    }
    job.announced = true;
    if (!failure.empty()) {
        Finish(job, NPRES_NETWORK_ERR);
        return false;
    }
    return true;
}

bool StreamDelivery::Write(Job& job)
{
    int32_t ready = plugin_.writeready ? plugin_.writeready(&job.instance->npp, &job.stream) : 0;
    log_.Line(Prefix("NPP_WriteReady", job) + " -> " + std::to_string(ready));
    if (ready <= 0) {
        job.waiting = true;
        hooks_.retryIn(100);
        return true;
    }
    const size_t chunk = job.chunkBytes > 0 ? job.chunkBytes : static_cast<size_t>(options_.chunkBytes);
    size_t length = std::min({static_cast<size_t>(ready), chunk, job.body.size() - job.written});
    void* data = &job.body[job.written];
    int32_t taken = plugin_.write ? plugin_.write(&job.instance->npp, &job.stream, static_cast<int32_t>(job.written),
                                                  static_cast<int32_t>(length), data)
                                  : -1;
    std::string line = Prefix("NPP_Write", job) + " offset=" + std::to_string(job.written) +
                       " len=" + std::to_string(length);
    if (job.logData) line += " data=" + CallLog::Quote(job.body.substr(job.written, length));
    log_.Line(line + " -> " + std::to_string(taken));
    if (taken < 0) {
        Finish(job, NPRES_NETWORK_ERR);
        return false;
    }
    job.written += std::min(static_cast<size_t>(taken), length);
    return true;
}

void StreamDelivery::Finish(Job& job, NPReason reason)
{
    NPError rc = plugin_.destroystream ? plugin_.destroystream(&job.instance->npp, &job.stream, reason)
                                       : NPError{NPERR_GENERIC_ERROR};
    log_.Line(Prefix("NPP_DestroyStream", job) + " reason=" + std::to_string(reason) + " -> " + std::to_string(rc));
    if (options_.deleteFiles && !job.file.empty()) {
        const bool deleted = files_.Delete(job.file);
        log_.Line("* delete-file stream=" + std::to_string(job.id) + " path=" + CallLog::Quote(job.file) +
                  (deleted ? " -> ok" : " -> failed"));
        job.file.clear();
    }
    job.announced = false;
    job.stream.ndata = nullptr;
    if (job.notify) Notify(job, reason);
    if (hooks_.ended) hooks_.ended(*job.instance, job.url);
}

void StreamDelivery::Notify(Job& job, NPReason reason)
{
    std::string line = "NPP_URLNotify inst=" + std::to_string(job.instance->id) + " url=" + CallLog::Quote(job.url) +
                       " reason=" + std::to_string(reason) + " notifyData=" + CallLog::Pointer(job.notifyData);
    if (!plugin_.urlnotify) {
        log_.Line("* missing " + line);
        return;
    }
    plugin_.urlnotify(&job.instance->npp, job.url.c_str(), reason, job.notifyData);
    log_.Line("> " + line);
}

void StreamDelivery::Cancel(PageInstance& instance, bool notify)
{
    for (;;) {
        auto mine = std::find_if(jobs_.begin(), jobs_.end(),
                                 [&](const auto& job) { return job->instance == &instance; });
        if (mine == jobs_.end()) return;
        std::unique_ptr<Job> job = std::move(*mine);
        jobs_.erase(mine);
        if (!notify) job->notify = false;
        if (job->announced) {
            Finish(*job, NPRES_USER_BREAK);
        } else if (job->notify) {
            Notify(*job, NPRES_USER_BREAK);
        }
    }
}

std::string StreamDelivery::Prefix(const char* name, const Job& job) const
{
    return std::string("> ") + name + " inst=" + std::to_string(job.instance->id) +
           " stream=" + std::to_string(job.id);
}
