#include "streams/StreamRequest.h"

#include <atomic>
#include <utility>

#include "base/DownloadListener.h"
#include "base/Trace.h"

namespace {

std::atomic<uint32_t> requestsMade{0};

}  // namespace

StreamRequest::StreamRequest(DownloadListener* listener)
    : listener(listener), serial(++requestsMade), created(time(nullptr))
{
    if (listener) listener->AddRef();
}

StreamRequest::~StreamRequest()
{
    if (listener) listener->Release();
}

void StreamRequest::TraceAs(std::string subject, const char* how)
{
    traceSubject = std::move(subject);
    route = how;
}

void StreamRequest::Report(int state, const std::string& why)
{
    if (!listener) return;
    if (TraceOn()) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                              startedAt).count();
        std::string event = std::string("request ") + listener->GetName() + " " + listener->GetUrl() + " by " + route +
                            (state == StateReady ? ": done" : ": failed");
        if (!why.empty()) event += " (" + why + ")";
        TraceEvent(traceSubject, event + " in " + std::to_string(ms) + " ms");
    }
    listener->SetState(state);
    listener->Release();
    listener = nullptr;
}

void StreamRequest::ReportDone() { Report(StateReady, std::string()); }
void StreamRequest::ReportFailed(const std::string& why) { Report(StateFailed, why); }

void StreamRequest::SetLocalFile(const char* name)
{
    localFile = name;
    if (listener) listener->SetLocalFile(name);
}
