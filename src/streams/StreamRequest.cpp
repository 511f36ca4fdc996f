#include "streams/StreamRequest.h"

#include "base/DownloadListener.h"

StreamRequest::StreamRequest(DownloadListener* listener) : listener(listener), created(time(nullptr))
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
