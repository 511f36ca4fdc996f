#include "StreamDelivery.h"

#include <windows.h>

#include <algorithm>

#include "UrlResolution.h"
#include "base/AnsiPath.h"

struct StreamDelivery::Job {
    enum class Stage { Start, Fetching, Write, Finish };

    Job(PageInstance& instance, const std::string& url, bool notify, void* notifyData)
        : instance(&instance), url(url), streamUrl(url), notify(notify), notifyData(notifyData)
    {
    }

    // Not waiting for a retry, a server, or the page's close.
    bool Runnable() const
    {
        if (waiting || withheld) return false;
        return stage != Stage::Fetching || stopped || download->Done();
    }

    int id = 0;
    PageInstance* instance = nullptr;
    std::string url;         // as asked for; the notification names it
    std::string streamUrl;   // where the body came from, after redirects
    bool fetch = false;      // body and type come from the URL when the job starts
    bool notifyOnly = false;
    bool logData = false;    // short text answers are shown in the log
    std::string text;        // a text answer, until it is in its file
    std::string bodyFile;    // the body, whole before the stream is announced
    uint64_t bodyBytes = 0;
    FileHandle reader;
    std::unique_ptr<StreamBody> download;
    bool stopped = false;    // the fetch was given up
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

StreamDelivery::StreamDelivery(CallLog& log, const FetchSettings& fetch, TempFolder& files,
                               const PluginRegistration& registration, const NPPluginFuncs& plugin,
                               const Options& options, Hooks hooks)
    : log_(log),
      fetch_(fetch),
      files_(files),
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
    job->text = answer.text;
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
    auto runnable = [](const auto& job) { return job->Runnable(); };
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
        if (job.fetch) {
            StartFetch(job);
            job.stage = Job::Stage::Fetching;
            return false;
        }
        job.bodyFile = files_.Store(job.id, UrlFileName(job.url, AnsiLeadBytes()), job.text, options_.longPaths);
        job.bodyBytes = job.text.size();
        job.text.clear();
        if (job.bodyFile.empty()) {
            log_.Line("* error stream=" + std::to_string(job.id) + " temporary file not written");
            if (!Announce(job, NPRES_NETWORK_ERR)) return true;
        } else if (!Announce(job, NPRES_DONE)) {
            return true;
        }
        break;
    case Job::Stage::Fetching:
        if (!TakeFetch(job)) return true;
        break;
    case Job::Stage::Write:
        if (!Write(job)) return true;
        if (job.written >= job.bodyBytes) {
            job.stage = Job::Stage::Finish;
        } else if (options_.trickleMs > 0 && !options_.atOnce) {
            job.waiting = true;
            hooks_.retryIn(options_.trickleMs);
        }
        return false;
    case Job::Stage::Finish:
        if ((job.stype == NP_ASFILE || job.stype == NP_ASFILEONLY) && job.endReason == NPRES_DONE) {
            job.reader.Reset();  // the plug-in may open the file as it likes
            job.file = job.bodyFile;
            const char* fname = job.file.empty() ? nullptr : job.file.c_str();
            if (plugin_.asfile) plugin_.asfile(&job.instance->npp, &job.stream, fname);
            log_.Line(Prefix("NPP_StreamAsFile", job) + " fname=" + CallLog::Quote(fname));
        }
        Finish(job, job.endReason);
        return true;
    }
    // Announced: the body follows, unless the plug-in wants the file alone.
    job.stage = job.stype == NP_ASFILEONLY || job.bodyBytes == 0 ? Job::Stage::Finish : Job::Stage::Write;
    return false;
}

void StreamDelivery::StartFetch(Job& job)
{
    BackgroundFetch::Request request;
    request.url = job.url;
    request.file = files_.Reserve(std::to_string(job.id), UrlFileName(job.url, AnsiLeadBytes()), options_.longPaths);
    request.limit = options_.streamLimitBytes;
    if (hooks_.bodies) {
        job.download = hooks_.bodies(request, hooks_.wakeFromThread);
    } else {
        job.download = std::make_unique<BackgroundFetch>(fetch_, request, hooks_.wakeFromThread, options_.atOnce);
    }
    if (hooks_.fetching) hooks_.fetching();
}

bool StreamDelivery::TakeFetch(Job& job)
{
    std::string line = "* fetch stream=" + std::to_string(job.id) + " url=" + CallLog::Quote(job.url);
    if (job.stopped) {
        log_.Line(line + " -> stopped");
        job.download.reset();
        job.mimeType = registration_.TypeForUrl(job.url);
        return Announce(job, NPRES_USER_BREAK);
    }
    const FetchResult fetched = job.download->Result();  // the fetch goes below
    job.streamUrl = fetched.finalUrl;
    job.bodyFile = job.download->File();
    job.download.reset();
    if (job.streamUrl != job.url) line += " final=" + CallLog::Quote(job.streamUrl);
    job.mimeType = fetched.mimeType.empty() ? registration_.TypeForUrl(job.streamUrl) : fetched.mimeType;
    if (fetched.ok) {
        job.bodyBytes = fetched.bytes;
        job.lastModified = fetched.lastModified;
        log_.Line(line + " -> ok bytes=" + std::to_string(job.bodyBytes));
        return Announce(job, NPRES_DONE);
    }
    log_.Line(line + " -> failed error=" + CallLog::Quote(fetched.error));
    if (fetched.overLimit && hooks_.overLimit) hooks_.overLimit(fetched.error);
    files_.Delete(job.bodyFile);
    job.bodyFile.clear();
    return Announce(job, NPRES_NETWORK_ERR);
}

// With a `failure` the stream is announced with no data and ends so; a notify request is
// only told.
bool StreamDelivery::Announce(Job& job, NPReason failure)
{
    if (failure != NPRES_DONE) {
        job.bodyBytes = 0;
        if (job.notify) {
            Notify(job, failure);
            return false;
        }
    } else {
        job.reader.Reset(CreateFileW(LongPath(job.bodyFile).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!job.reader) {
            log_.Line("* error stream=" + std::to_string(job.id) + " temporary file not readable");
            failure = NPRES_NETWORK_ERR;
            job.bodyBytes = 0;
        }
    }

    job.stream.ndata = &job;
    job.stream.url = job.streamUrl.c_str();
    job.stream.end = static_cast<uint32_t>(job.bodyBytes);
    job.stream.lastmodified = job.lastModified;
    job.stream.notifyData = job.notify ? job.notifyData : nullptr;
    job.stype = NP_NORMAL;
    NPError rc = plugin_.newstream ? plugin_.newstream(&job.instance->npp, const_cast<char*>(job.mimeType.c_str()),
                                                       &job.stream, false, &job.stype)
                                   : NPError{NPERR_GENERIC_ERROR};
    log_.Line(Prefix("NPP_NewStream", job) + " type=" + CallLog::Quote(job.mimeType) +
              " url=" + CallLog::Quote(job.streamUrl) + " end=" + std::to_string(job.stream.end) +
              " notifyData=" + CallLog::Pointer(job.stream.notifyData) + " stype=" + std::to_string(job.stype) +
              " -> " + std::to_string(rc));
    if (rc != NPERR_NO_ERROR) {
        // Refused: the stream is gone without NPP_DestroyStream.
        if (job.notify) Notify(job, NPRES_NETWORK_ERR);
        Discard(job);
        return false;
    }
    job.announced = true;
    if (failure != NPRES_DONE) {
        Finish(job, failure);
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
    size_t length = std::min({static_cast<size_t>(ready), chunk, static_cast<size_t>(job.bodyBytes - job.written)});
    // The plug-in may take less than it was given: the next piece starts where it stopped.
    std::string data(length, '\0');
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(job.written);
    DWORD got = 0;
    if (!SetFilePointerEx(job.reader.Get(), offset, nullptr, FILE_BEGIN) ||
        !ReadFile(job.reader.Get(), &data[0], static_cast<DWORD>(length), &got, nullptr) || got != length) {
        log_.Line("* error stream=" + std::to_string(job.id) + " temporary file not readable");
        Finish(job, NPRES_NETWORK_ERR);
        return false;
    }
    int32_t taken = plugin_.write ? plugin_.write(&job.instance->npp, &job.stream, static_cast<int32_t>(job.written),
                                                  static_cast<int32_t>(length), &data[0])
                                  : -1;
    std::string line = Prefix("NPP_Write", job) + " offset=" + std::to_string(job.written) +
                       " len=" + std::to_string(length);
    if (job.logData) line += " data=" + CallLog::Quote(data);
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
    Discard(job);
    if (job.notify) Notify(job, reason);
    if (hooks_.ended) hooks_.ended(*job.instance, job.url);
}

void StreamDelivery::Discard(Job& job)
{
    job.reader.Reset();
    // A body the plug-in was not handed as a file is of no more use.
    if (!job.bodyFile.empty() && job.bodyFile != job.file) files_.Delete(job.bodyFile);
    job.bodyFile.clear();
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

void StreamDelivery::StopFetches()
{
    for (auto& job : jobs_) {
        if (!job->download || job->download->Done()) continue;
        job->download->Cancel();
        job->stopped = true;
    }
    if (std::any_of(jobs_.begin(), jobs_.end(), [](const auto& job) { return job->Runnable(); })) Wake();
}

std::vector<FetchProgress> StreamDelivery::Fetches() const
{
    std::vector<FetchProgress> under;
    for (const auto& job : jobs_) {
        if (job->download && !job->stopped && !job->download->Done()) under.push_back(job->download->Progress());
    }
    return under;
}

void StreamDelivery::Cancel(PageInstance& instance, bool notify)
{
    for (;;) {
        auto mine = std::find_if(jobs_.begin(), jobs_.end(),
                                 [&](const auto& job) { return job->instance == &instance; });
        if (mine == jobs_.end()) return;
        std::unique_ptr<Job> job = std::move(*mine);
        jobs_.erase(mine);
        job->download.reset();  // given up; its thread ends alone
        if (!notify) job->notify = false;
        if (job->announced) {
            Finish(*job, NPRES_USER_BREAK);
        } else {
            Discard(*job);
            if (job->notify) Notify(*job, NPRES_USER_BREAK);
        }
    }
}

std::string StreamDelivery::Prefix(const char* name, const Job& job) const
{
    return std::string("> ") + name + " inst=" + std::to_string(job.instance->id) +
           " stream=" + std::to_string(job.id);
}
