#include "control/ControlFetcher.h"

#include "base/DownloadListener.h"
#include "base/Trace.h"
#include "control/PageServices.h"
#include "download/DownloadWorker.h"
#include "streams/UrlResolution.h"

ControlFetcher::ControlFetcher(PageServices* page, std::string traceSubject)
    : page_(page), traceSubject_(std::move(traceSubject))
{
}

ControlFetcher::~ControlFetcher() = default;

void ControlFetcher::Detach()
{
    page_ = nullptr;
    worker_.reset();
}

bool ControlFetcher::Request(DownloadListener* listener, const char* target, bool)
{
    if (!page_) {
        listener->SetState(StateFailed);
        listener->Release();
        return false;
    }
    listener->SetState(StateFetching);
    const std::string url = EscapeSpaces(page_->ResolveUrl(listener->GetUrl()));
    if (target) {
        // The container may run a message loop in there and close the page: nothing of
        // ours is touched after it but the reference the request came with.
        TraceEvent(traceSubject_, std::string("navigation ") + target + " " + url + " handed to the container");
        page_->Navigate(url, target);
        listener->Release();
        return true;
    }
    if (!worker_) {
        auto worker = std::make_unique<DownloadWorker>(traceSubject_);
        if (worker->Start()) worker_ = std::move(worker);
    }
    if (!worker_) {
        TraceEvent(traceSubject_, std::string("request ") + listener->GetName() + " " + url +
                                      " failed: no download worker (WinInet did not start)");
        listener->SetState(StateFailed);
        listener->Release();
        return false;
    }
    return worker_->Enqueue(listener, url.c_str());
}

void ControlFetcher::DiscardFile(const std::string& localFile)
{
    if (worker_) worker_->Discard(localFile);
}

void ControlFetcher::Shutdown()
{
    worker_.reset();
}
