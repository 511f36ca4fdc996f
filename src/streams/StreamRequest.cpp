#include "streams/StreamRequest.h"

#include <atomic>

#include "base/DownloadListener.h"

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

void StreamRequest::Report(int state)
{
    if (!listener) return;
    listener->SetState(state);
    listener->Release();
    listener = nullptr;
}

void StreamRequest::ReportDone() { Report(StateReady); }
void StreamRequest::ReportFailed() { Report(StateFailed); }

void StreamRequest::SetLocalFile(const char* name)
{
    localFile = name;
    if (listener) listener->SetLocalFile(name);
}
