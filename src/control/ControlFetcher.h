// The control's fetcher: every file a renderer asks for comes through a download worker
// (WinInet: the user's proxy and cookies apply), its URL resolved against the page; a
// navigation goes to the container. The scheme rule and the navigation throttle have
// been applied by the renderer's table before a request gets here. The renderer's channel
// holds a reference and may outlive the control: Detach cuts the page off, and requests
// after it fail at once.
#pragma once

#include <memory>
#include <string>

#include "base/LiveCount.h"
#include "base/RefCounted.h"
#include "base/ResourceFetcher.h"

class DownloadWorker;
class PageServices;

class ControlFetcher : public ResourceFetcher, public RefCounted, public LiveCount<ControlFetcher> {
public:
    ControlFetcher(PageServices* page, std::string traceSubject);

    bool Request(DownloadListener* listener, const char* target, bool isApplet) override;
    void DiscardFile(const std::string& localFile) override;
    // The renderer is gone: its downloads and their files go with the worker; a renderer
    // started again gets a worker of its own.
    void Shutdown() override;
    void AddRef() override { RefCounted::AddRef(); }
    void Release() override { RefCounted::Release(); }

    void Detach();

protected:
    ~ControlFetcher() override;

private:
    PageServices* page_;
    const std::string traceSubject_;
    std::unique_ptr<DownloadWorker> worker_;
};
