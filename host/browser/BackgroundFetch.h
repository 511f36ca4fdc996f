// One fetch into a file on a thread of its own, so that the window answers while a server
// trickles. The window's thread starts it, reads its progress, and learns of its end from
// `wake` (posted to the window, never run on the fetch's thread). Cancelling, or dropping
// the object, gives the fetch up at once: the thread owns whatever it still touches and
// ends alone.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "FetchProgress.h"
#include "StreamBody.h"
#include "UrlFetcher.h"

class BackgroundFetch : public StreamBody {
public:

    // With `inCall` the fetch runs inside this constructor, as a browser answering before the
    // call returns would; `wake` then never runs.
    BackgroundFetch(const FetchSettings& settings, Request request, std::function<void()> wake, bool inCall);
    ~BackgroundFetch() override;
    BackgroundFetch(const BackgroundFetch&) = delete;
    BackgroundFetch& operator=(const BackgroundFetch&) = delete;

    bool Done() const override;
    const FetchResult& Result() const override;
    FetchProgress Progress() const override;
    const std::string& File() const override;
    void Cancel() override;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;

    static unsigned long __stdcall ThreadMain(void* parameter);
};
